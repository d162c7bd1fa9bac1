// The records a 5250 display sends: read responses and the Save Screen image.
#include <algorithm>

#include "ibm5250/DataStream.h"
#include "ibm5250/Engine5250.h"
#include "session/HostSession.h"

namespace corvina {

using namespace ds5250;

namespace {

// Room for field data in one record after its header.
constexpr std::size_t kMaxData = kMaxRecordLength - kHeaderLength;

}  // namespace

void C5250Engine::AppendCursorAddress(std::vector<std::uint8_t>& data, int position) const {
  const int columns = ps_->Columns();
  data.push_back(static_cast<std::uint8_t>(position / columns + 1));
  data.push_back(static_cast<std::uint8_t>(position % columns + 1));
}

int C5250Engine::Cursor() const { return std::clamp(session_->Cursor(), 0, std::max(0, ps_->Size() - 1)); }

void C5250Engine::ReadCommand(std::uint8_t command, std::uint8_t cc1, std::uint8_t cc2) {
  readCommand_ = command;
  readCc1_ = cc1;
  readCc2_ = cc2;
  invited_ = true;
  if (pendingAid_ == kAidNone) return;
  // The operator pressed an AID key before the read came.
  const std::uint8_t aid = pendingAid_;
  invited_ = false;
  pendingAid_ = kAidNone;
  SendReadResponse(command, aid);
  ApplyCc1(cc1);
  ApplyCc2(cc2);
}

void C5250Engine::SendReadResponse(std::uint8_t command, std::uint8_t aid) {
  std::vector<std::uint8_t> data;
  AppendCursorAddress(data, Cursor());
  data.push_back(aid);
  const int functionKey = FunctionKeyOfAid(aid);
  const bool withFields = mdtPresent_ && !AidSendsNoFields(aid) && !(functionKey && table_.SwitchSet(functionKey));
  if (withFields) {
    const bool mdtOnly = command != kReadInputFields;
    const std::uint8_t nullAs = !mdtOnly || (command == kReadMdtFields && aid != kAidNone) ? kBlank : 0x00;
    std::vector<std::uint8_t> field;
    for (int index : FieldsInReadOrder()) {
      const C5250Field& f = table_.fields[static_cast<std::size_t>(index)];
      if (mdtOnly && !f.Mdt()) continue;
      field.clear();
      if (mdtOnly) {
        field.push_back(kSetBufferAddress);
        AppendCursorAddress(field, f.start);
      }
      AppendFieldCells(field, f, mdtOnly, nullAs);
      if (data.size() + field.size() > kMaxData) break;  // a record holds no more
      data.insert(data.end(), field.begin(), field.end());
    }
  }
  SendRecord(0, data);
}

// A field's cells as a read sends them: a signed-numeric field without its
// sign cell, its last digit's zone made negative for a minus; a transparent
// field as stored. MDT reads stop at the last cell that is not null.
void C5250Engine::AppendFieldCells(std::vector<std::uint8_t>& data, const C5250Field& field, bool mdtRead,
                                   std::uint8_t nullAs) const {
  int count = field.SignedNumeric() ? field.length - 1 : field.length;
  if (mdtRead)
    while (count > 0 && ps_->HostAt(field.start + count - 1) == 0) --count;
  const bool transparent = field.HasFcw(kSlotTransparent);
  for (int k = 0; k < count; ++k) {
    const std::uint8_t c = ps_->HostAt(field.start + k);
    data.push_back(c == 0 && !transparent ? nullAs : c);
  }
  if (field.SignedNumeric() && count > 0 && ps_->HostAt(field.end) == kMinus) data.back() &= 0xDF;
}

// Fields in the header's resequence order when it names a first field,
// else in table order; only fields with a format word are read.
std::vector<int> C5250Engine::FieldsInReadOrder() const {
  std::vector<int> order;
  const std::vector<C5250Field>& fields = table_.fields;
  const int first = table_.header[C5250FormatTable::kResequenceByte];
  if (first == 0) {
    for (std::size_t i = 0; i < fields.size(); ++i)
      if (fields[i].HasFfw()) order.push_back(static_cast<int>(i));
    return order;
  }
  int i = table_.IndexOfNumber(first);
  // A chain that loops is cut after as many fields as the table holds.
  for (std::size_t visited = 0; i >= 0 && visited < fields.size(); ++visited) {
    const C5250Field& f = fields[static_cast<std::size_t>(i)];
    if (f.HasFfw()) order.push_back(i);
    if (f.HasFcw(kSlotResequence)) {
      const std::uint8_t next = f.FcwValue(kSlotResequence);
      if (next == kResequenceEnd) break;
      i = table_.IndexOfNumber(next);
    } else {
      i = static_cast<std::size_t>(i) + 1 < fields.size() ? i + 1 : -1;
    }
  }
  return order;
}

// ------------------------------------------------------ Save Screen image

std::vector<std::uint8_t> C5250Engine::SaveScreenImage() const {
  const CHostSession& s = *session_;
  const C5250PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  const bool errorState = state_ == kStateError || state_ == kStateHelpInError;
  std::vector<std::uint8_t> image;
  auto address = [&](int position) {
    if (position < 0) {
      image.insert(image.end(), {1, 0});  // row 1, column 0: before the first cell
    } else {
      AppendCursorAddress(image, position);
    }
  };
  // The host's screen: in the error state the error row as it was, and an
  // attribute a highlight replaced as the host wrote it.
  auto cell = [&](int p) {
    if (p == highlightCell_) return highlightSaved_;
    return errorState ? ps.HostAt(p) : ps.At(p);
  };
  // A cell byte that a Write To Display would take as an order goes as
  // Transparent Data.
  auto literal = [&](std::uint8_t c) {
    if (IsOrder(c)) image.insert(image.end(), {kTransparentData, 0x00, 0x01});
    image.push_back(c);
  };

  const bool alternate = (ps.Rows() != s.DefaultRows() || ps.Columns() != s.DefaultColumns());
  if (alternate)
    image.insert(image.end(), {kEscape, kClearUnitAlternate, 0x00});
  else
    image.insert(image.end(), {kEscape, kClearUnit});
  const bool unlocked = errorState ? errorSaved_ && errorSaved_->lockReason == kUnlocked : !Locked();
  image.insert(image.end(), {kEscape, kWriteToDisplay, 0x20,
                             static_cast<std::uint8_t>((unlocked ? 0x08 : 0) | (blinkingCursor_ ? 0x10 : 0))});
  // A header is sent when there is one, or when it is not the one Clear
  // Unit leaves (a Start of Header of length 0 leaves the error row 0).
  C5250FormatTable cleared;
  cleared.Reset(ps.Rows());
  if (const std::uint8_t length = table_.header[0]; length != 0 || table_.header != cleared.header) {
    image.push_back(kStartOfHeader);
    image.insert(image.end(), table_.header.begin(), table_.header.begin() + 1 + length);
  }
  for (int p = 0; p < size;) {
    const std::uint8_t c = cell(p);
    int run = 1;
    while (p + run < size && cell(p + run) == c) ++run;
    if (run >= 4 && c != 0xFF) {
      image.push_back(kRepeatToAddress);
      address(p + run - 1);
      image.push_back(c);
      p += run;
    } else {
      literal(c);
      ++p;
    }
  }
  // Start of Field puts an attribute before each field and 0x20 after it;
  // cells that held something else are written again afterwards.
  std::vector<int> rewrite;
  static constexpr FcwSlot kSlotOrder[] = {kSlotSelectFirst,  kSlotResequence,        kSlotSelectSecond,
                                           kSlotSelfCheck,    kSlotTransparent,       kSlotCursorProgression,
                                           kSlotHighlight,    kSlotForwardEdge};
  for (const C5250Field& f : table_.fields) {
    image.push_back(kSetBufferAddress);
    address(f.start - 1);
    image.push_back(kStartOfField);
    if (f.ffw != 0) image.insert(image.end(), {static_cast<std::uint8_t>(f.ffw >> 8), static_cast<std::uint8_t>(f.ffw)});
    for (FcwSlot slot : kSlotOrder)
      if (f.fcw[slot] != 0)
        image.insert(image.end(), {static_cast<std::uint8_t>(f.fcw[slot] >> 8), static_cast<std::uint8_t>(f.fcw[slot])});
    std::uint8_t attribute = kAttributeNormal;
    if (f.start > 0) {
      if (IsAttribute(cell(f.start - 1)))
        attribute = cell(f.start - 1);
      else
        rewrite.push_back(f.start - 1);
    }
    image.insert(image.end(), {attribute, static_cast<std::uint8_t>(f.length >> 8), static_cast<std::uint8_t>(f.length)});
    if (f.end + 1 < size && cell(f.end + 1) != kAttributeNormal) rewrite.push_back(f.end + 1);
  }
  for (int p : rewrite) {
    image.push_back(kSetBufferAddress);
    address(p);
    literal(cell(p));
  }
  const SavedState* saved = errorState && errorSaved_ ? &*errorSaved_ : nullptr;
  image.push_back(kInsertCursor);
  AppendCursorAddress(image, saved ? saved->ic : ic_);
  image.push_back(kMoveCursor);
  AppendCursorAddress(image, saved ? std::clamp(saved->cursor, 0, size - 1) : Cursor());
  if (errorState) {
    image.insert(image.end(), {kEscape, kWriteErrorCode});
    const int columns = ps.Columns(), row = ps.ErrorLineSaved() ? ps.SavedErrorRow() : table_.ErrorRow(ps.Rows());
    for (int p = row * columns; p < (row + 1) * columns; ++p) {
      // Write Error Code takes these as its own; the error row never holds them.
      const std::uint8_t c = ps.At(p);
      image.push_back(c == kEscape || c == kInsertCursor || c == kMoveCursor ? 0 : c);
    }
    if (saved && Cursor() != saved->cursor) {
      image.push_back(kInsertCursor);
      AppendCursorAddress(image, Cursor());
    }
  }
  return image;
}

}  // namespace corvina
