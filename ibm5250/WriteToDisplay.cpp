// Write To Display with its orders, Write Error Code, Roll and Write
// Structured Field. Every operand is checked against the record and every
// address against the screen before anything is written, so an order that
// fails writes nothing; what earlier orders wrote stays.
#include <algorithm>

#include "ibm5250/DataStream.h"
#include "ibm5250/Engine5250.h"
#include "session/HostSession.h"

namespace corvina {

using namespace ds5250;

std::optional<int> C5250Engine::TakeAddress(Reader& r) const {
  const int row = r.Take(), column = r.Take();
  if (row == 1 && column == 0) return ps_->Size();  // just before the first cell
  if (row < 1 || row > ps_->Rows() || column < 1 || column > ps_->Columns()) return std::nullopt;
  return (row - 1) * ps_->Columns() + column - 1;
}

// A cell the host writes: into the saved error row while one is kept. A
// highlighted attribute the host overwrites is not put back later.
void C5250Engine::HostWrite(int position, std::uint8_t b) {
  if (position == highlightCell_) highlightCell_ = -1;
  ps_->HostPut(position, b);
  session_->SetScreenChanged(true);
}

C5250Engine::Failure C5250Engine::WriteToDisplay(Reader& r) {
  if (!r.Has(2)) return kErrorLength;
  const std::uint8_t cc1 = r.Take(), cc2 = r.Take();
  ApplyCc1(cc1);
  const int size = ps_->Size();
  std::optional<int> moveCursor;
  // Cursor addresses of row 1, column 0 mean the first cell.
  auto cursorCell = [size](int address) { return address == size ? 0 : address; };
  while (!r.AtEnd() && r.Peek() != kEscape) {
    const std::uint8_t order = r.Take();
    Failure failure = kOk;
    switch (order) {
      case kStartOfHeader:
        failure = StartOfHeader(r);
        break;
      case kStartOfField:
        failure = StartOfField(r);
        break;
      case kRepeatToAddress:
      case kEraseToAddress: {
        if (!r.Has(3)) return kErrorLength;
        const std::optional<int> target = TakeAddress(r);
        std::uint8_t fill = r.Take();
        if (order == kEraseToAddress) {
          // The length byte counts itself and the attribute types after it.
          const std::uint8_t length = fill;
          if (length < kEraseLengthMin || length > kEraseLengthMax) return kErrorLength;
          if (!r.Has(length - 1u)) return kErrorLength;
          bool characters = false;
          for (int k = 1; k < length; ++k) {
            const std::uint8_t type = r.Take();
            characters = characters || type == kEraseCharacters || type == kEraseAllTypes;
          }
          if (!characters) {
            if (!target) return kErrorAddress;
            break;
          }
          fill = 0;
        }
        if (!target) return kErrorAddress;
        if (*target >= size) return kErrorPastEnd;
        if (*target < address_) return kErrorAddress;  // it never runs backwards
        for (int p = address_; p <= *target; ++p) HostWrite(p, fill);
        address_ = *target + 1;
        break;
      }
      case kTransparentData: {
        if (!r.Has(2)) return kErrorLength;
        const std::size_t length = (std::size_t{r.Take()} << 8) | r.Take();
        if (!r.Has(length)) return kErrorLength;
        if (length > static_cast<std::size_t>(size - address_)) return kErrorPastEnd;
        for (std::size_t k = 0; k < length; ++k) HostWrite(address_++, r.Take());
        break;
      }
      case kSetBufferAddress:
      case kInsertCursor:
      case kMoveCursor: {
        if (!r.Has(2)) return kErrorLength;
        const std::optional<int> address = TakeAddress(r);
        if (!address) return kErrorAddress;
        if (order == kSetBufferAddress)
          address_ = *address;
        else if (order == kInsertCursor)
          ic_ = cursorCell(*address);
        else
          moveCursor = cursorCell(*address);
        break;
      }
      case kWriteExtendedAttribute:
        if (!r.Has(2)) return kErrorLength;
        r.at += 2;
        break;
      case kWriteDisplayStructuredField:
        return kErrorNotSupported;
      default:
        if (address_ >= size) return kErrorPastEnd;
        HostWrite(address_++, order);
        break;
    }
    if (failure != kOk) return failure;
  }
  Refresh();
  ApplyCc2(cc2);
  PlaceCursorAfterWrite(moveCursor, cc2);
  return kOk;
}

void C5250Engine::PlaceCursorAfterWrite(std::optional<int> moveCursor, std::uint8_t cc2) {
  if (moveCursor) {
    PlaceCursor(*moveCursor);
  } else if (!Locked() && !(cc2 & 0x40)) {
    PlaceCursor(HomePosition());
  }
}

C5250Engine::Failure C5250Engine::StartOfHeader(Reader& r) {
  if (!r.Has(1)) return kErrorLength;
  const std::size_t length = r.Take();
  if (length > kMaxHeaderLength) return kErrorHeaderLength;
  if (!r.Has(length)) return kErrorLength;
  ClearFormatTable();
  // A short header leaves the bytes it does not reach zero.
  table_.header.fill(0);
  table_.header[0] = static_cast<std::uint8_t>(length);
  for (std::size_t k = 1; k <= length; ++k) table_.header[k] = r.Take();
  return kOk;
}

C5250Engine::Failure C5250Engine::StartOfField(Reader& r) {
  std::optional<std::uint16_t> ffw;
  std::vector<std::uint16_t> fcws;
  auto word = [&r] { return static_cast<std::uint16_t>((r.Take() << 8) | r.Take()); };
  if (r.Has(1) && IsFfwByte(r.Peek())) {
    if (!r.Has(2)) return kErrorLength;
    ffw = word();
  }
  while (r.Has(1) && IsFcwByte(r.Peek())) {
    if (!r.Has(2)) return kErrorLength;
    fcws.push_back(word());
  }
  if (!r.Has(3)) return kErrorLength;
  const std::uint8_t attribute = r.Take();
  const int length = (r.Take() << 8) | r.Take();

  const int size = ps_->Size();
  const int attributeCell = address_ == size ? -1 : address_;  // -1: before the first cell
  const int start = attributeCell + 1;
  std::vector<C5250Field>& fields = table_.fields;
  auto found = std::find_if(fields.begin(), fields.end(), [start](const C5250Field& f) { return f.end >= start; });
  const bool reuse = found != fields.end() && found->start == start;
  if (found != fields.end() && !reuse) return kErrorFieldOverlap;
  if (!reuse) {
    if (fields.size() >= C5250FormatTable::kMaxFields) return kErrorTooManyFields;
    if (length < 1 || start + length > size) return kErrorFieldLength;
  }

  if (ffw) {
    HostLock();
    if (*ffw & kFfwMdt) mdtPresent_ = true;
  }
  if (reuse) {
    if (ffw) found->ffw = *ffw;  // the field control words of a reused field are skipped
  } else {
    C5250Field field;
    field.start = start;
    field.length = length;
    field.end = start + length - 1;
    field.ffw = ffw.value_or(0);
    const bool monochrome = Monochrome();
    for (std::uint16_t fcw : fcws) {
      const std::uint8_t value = fcw & 0xFF;
      switch (fcw >> 8) {
        case kFcwResequence: field.fcw[kSlotResequence] = fcw; break;
        case kFcwCursorSelect:
          if (value & 1) field.fcw[kSlotSelectFirst] = static_cast<std::uint16_t>(kFcwCursorSelect << 8 | 1);
          if (value & 2) field.fcw[kSlotSelectSecond] = static_cast<std::uint16_t>(kFcwCursorSelect << 8 | 2);
          break;
        case kFcwTransparent: field.fcw[kSlotTransparent] = fcw; break;
        case kFcwForwardEdge:
          if (value == 1) field.fcw[kSlotForwardEdge] = fcw;
          break;
        case kFcwCursorProgression:
          field.fcw[kSlotCursorProgression] = fcw;
          cursorProgression_ = true;
          break;
        case kFcwHighlight:
          if (value < (monochrome ? 0x80 : 0xC0) && !(value & 0x40)) field.fcw[kSlotHighlight] = fcw;
          break;
        case kFcwSelfCheck:
          if (value == kSelfCheckModulus10 || value == kSelfCheckModulus11) field.fcw[kSlotSelfCheck] = fcw;
          break;
        default: break;
      }
    }
    fields.push_back(field);
    found = fields.end() - 1;
  }
  if (attributeCell >= 0) HostWrite(attributeCell, attribute);
  address_ = start;
  if (found->end + 1 < size) HostWrite(found->end + 1, kAttributeNormal);
  return kOk;
}

C5250Engine::Failure C5250Engine::WriteErrorCode(Reader& r) {
  const int columns = ps_->Columns(), size = ps_->Size();
  const int row = table_.ErrorRow(ps_->Rows());
  if (state_ != kStateError && state_ != kStateHelpInError) SaveState(errorSaved_);
  ps_->SaveErrorLine(row);
  // Each message replaces the last one.
  for (int p = row * columns; p < (row + 1) * columns; ++p) ps_->Put(p, 0);
  state_ = kStateError;
  session_->SetInsertMode(false);
  session_->SetLockReason(kLockSystemWait);
  pendingAid_ = 0;
  int at = row * columns;
  while (!r.AtEnd() && r.Peek() != kEscape) {
    const std::uint8_t b = r.Take();
    if (b == kInsertCursor || b == kMoveCursor) {
      if (!r.Has(2)) return kErrorLength;
      const std::optional<int> address = TakeAddress(r);
      if (!address) return kErrorAddress;
      PlaceCursor(*address == size ? 0 : *address);
      continue;
    }
    if (at >= size) return kErrorPastEnd;
    ps_->Put(at++, b);
  }
  session_->SetScreenChanged(true);
  Refresh();
  return kOk;
}

C5250Engine::Failure C5250Engine::Roll(Reader& r) {
  if (!r.Has(3)) return kErrorLength;
  const std::uint8_t direction = r.Take();
  const int top = r.Take(), bottom = r.Take();
  const int count = direction & 0x1F;
  if (top == 0 || bottom > ps_->Rows() || top >= bottom || bottom - top < count) return kErrorRoll;
  if (count == 0) return kOk;
  const int columns = ps_->Columns();
  auto copyRow = [&](int from, int to) {  // rows from 1
    for (int c = 0; c < columns; ++c) HostWrite((to - 1) * columns + c, ps_->HostAt((from - 1) * columns + c));
  };
  if (direction & 0x80) {
    for (int row = bottom; row >= top + count; --row) copyRow(row - count, row);
  } else {
    for (int row = top; row <= bottom - count; ++row) copyRow(row + count, row);
  }
  Refresh();
  return kOk;
}

C5250Engine::Failure C5250Engine::WriteStructuredField(Reader& r) {
  if (!r.Has(2)) return kErrorLength;
  // The length counts its own two bytes, the class and the type.
  const std::size_t length = (std::size_t{r.Take()} << 8) | r.Take();
  if (length < 4 || !r.Has(length - 2)) return kErrorLength;
  const std::span<const std::uint8_t> field = r.bytes.subspan(r.at, length - 2);
  r.at += length - 2;
  if (field[0] != kQueryClass || field[1] != kQueryType || field.size() < 3 || field[2] != 0)
    return kErrorStructuredField;
  const auto reply = QueryReply(session_->Telnet().TerminalTypeString(), session_->AlternateColumns() >= 132);
  if (!reply) return kErrorNoQueryReply;
  std::vector<std::uint8_t> data;
  AppendCursorAddress(data, Cursor());
  data.push_back(kAidQueryReply);
  data.insert(data.end(), reply->begin(), reply->end());
  SendRecord(0, data);
  return kOk;
}

}  // namespace corvina
