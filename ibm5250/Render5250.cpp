// The 5250 screen as a render model, the operator information area, the
// text of a run of cells and the description of an attribute cell.
#include <algorithm>

#include "ibm5250/DataStream.h"
#include "ibm5250/Engine5250.h"
#include "ibm5250/Texts5250.h"
#include "keyboard/KeyFunctionTables.h"
#include "platform/Format.h"
#include "session/Canvas.h"
#include "session/HostSession.h"
#include "session/Oia.h"

namespace corvina {

using namespace ds5250;

namespace {

// Colour-scheme entries of a 5250 session: the colours 3 to 9 are entries
// of their own number, each with its background.
constexpr std::uint8_t kEntryAttribute = 10;
// Where the OIA shows the message-waiting indicator.
constexpr std::size_t kOiaMessageColumn = 4;

// The character a cell shows: nulls and controls blank, DUP and Field Mark
// as "*" and ";".
std::uint8_t Shown(std::uint8_t c, const CCorvinaCodePage& page) {
  if (c == kDup) return '*';
  if (c == kFieldMark) return ';';
  if (c < kBlank || c == 0xFF) return ' ';
  return page.ToAscii(c);
}

}  // namespace

bool C5250Engine::Monochrome() const { return (session_->Profile().terminalOptions & kTermMonochrome) != 0; }

void C5250Engine::Paint(Canvas& canvas) {
  if (!ps_) return;
  if (alarmPending_) {
    alarmPending_ = false;
    session_->Ui().Beep(platform::BeepKind::Default);
  }
  UpdateModel();
  PaintModel(model_, canvas);
}

void C5250Engine::UpdateModel() {
  const C5250PresentationSpace& ps = *ps_;
  const CCorvinaSessionProfile& profile = session_->Profile();
  const int rows = ps.Rows(), columns = ps.Columns();
  if (model_.Rows() != rows || model_.Columns() != columns) model_.Resize(rows, columns);
  const bool monochrome = Monochrome();
  const bool separators = !(profile.terminalOptions & kTermNoColumnSeparators);
  const bool blinkAsReverse = (profile.displayOptions & kDisplayBlinkAsReverse) != 0;
  const bool attributeCharacters = (profile.displayOptions & kDisplayAttributeChars) != 0;
  std::uint8_t display = DisplayOf(kAttributeNormal, monochrome);
  for (int p = 0; p < rows * columns; ++p) {
    const int row = p / columns, column = p % columns;
    const std::uint8_t c = ps.At(p);
    RenderCell cell;
    if (IsAttribute(c)) {
      cell.character = attributeCharacters ? '@' : ' ';
      cell.look = CellLook{kEntryAttribute, kEntryAttribute, kCellFieldAttribute};
      // It keeps the separator mark of the field before it, except in column 1.
      if (separators && column > 0 && (display & kDisplayColumnSeparators)) cell.look.flags |= kCellInputMark;
      display = DisplayOf(c, monochrome);
      model_.SetCell(row, column, cell);
      continue;
    }
    const std::uint8_t color = display & kDisplayColorMask;
    const std::uint8_t entry = color >= kColorRed && color <= kColorWhite ? color : kColorGreen;
    cell.look = CellLook{entry, entry, 0};
    if (color == kColorNonDisplay) {
      cell.look.flags |= kCellInvisible;
    } else {
      cell.character = Shown(c, session_->CodePage());
      if (display & kDisplayUnderscore) cell.look.flags |= kCellUnderline;
    }
    if (display & kDisplayReverse) cell.look.flags ^= kCellReverse;
    if (display & kDisplayBlink) cell.look.flags |= blinkAsReverse ? kCellReverse : kCellBlink;
    if (separators && (display & kDisplayColumnSeparators)) cell.look.flags |= kCellInputMark;
    model_.SetCell(row, column, cell);
  }
  const int cursor = Cursor();
  model_.SetCursor(cursor / columns, cursor % columns, true);
  model_.SetOia(OiaLine());
}

std::string C5250Engine::OiaLine() const {
  if (!ps_) return {};
  const CHostSession& s = *session_;
  OiaStatus status;
  std::string_view aidName;
  for (const AidRow& row : AidTable(kKind5250))
    if (row.aid == shownAid_ && !row.name.empty()) aidName = row.name;
  status.lockText = LockText(s.LockReason(), aidName, 0);
  status.sessionNumber = s.Number();
  status.sessionName = s.Profile().name;
  status.insertMode = s.InsertMode();
  const int cursor = Cursor(), columns = ps_->Columns();
  status.cursorRow = cursor / columns;
  status.cursorColumn = cursor % columns;
  status.columns = columns;
  status.responseMs = s.Responses().Shown(s.Clock().MonotonicMs());
  status.wallSeconds = s.Clock().WallSeconds();
  std::string line = FormatOiaLine(status, columns);
  if (messageLight_) line.replace(kOiaMessageColumn, 2, texts5250::kOiaMessageWaiting);
  return line;
}

// ------------------------------------------------------------ text of cells

std::uint8_t C5250Engine::AttributeByte(const C5250Field* f) {
  if (!f || !f->HasFfw()) return 0xE0;
  return static_cast<std::uint8_t>(0xC0 | (f->Shift() << 1) | (f->Bypass() ? 0x20 : 0) | (f->Mdt() ? 0x01 : 0));
}

std::uint8_t C5250Engine::QueryAttributeByte(int attributePosition) const {
  const int index = table_.FieldAt(attributePosition + 1);
  return AttributeByte(index >= 0 ? &table_.fields[static_cast<std::size_t>(index)] : nullptr);
}

int C5250Engine::ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                             unsigned flags) {
  if (!ps_) return 0;
  const C5250PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  if (position < 0 || position >= size || count <= 0) return 0;
  const bool monochrome = Monochrome();
  // The attribute of the field that holds the start position.
  std::uint8_t attribute = kAttributeNormal;
  for (int p = position - 1; p >= 0; --p)
    if (IsAttribute(ps.At(p))) {
      attribute = ps.At(p);
      break;
    }
  const std::size_t before = out.size();
  for (int p = position; p < size && p - position < count; ++p) {
    const std::uint8_t c = ps.At(p);
    char shown;
    if (IsAttribute(c)) {
      if (flags & kExtractFieldMode) break;
      attribute = c;
      if (flags & kExtractAttributeBytes) {
        std::uint8_t b = QueryAttributeByte(p);
        if ((DisplayOf(c, monochrome) & kDisplayColorMask) == kColorNonDisplay) b = static_cast<std::uint8_t>((b & 0x3F) | 0x80);
        shown = static_cast<char>(b);
      } else {
        shown = (flags & kExtractAttributeAsTab) ? '\t' : ' ';
      }
    } else if ((DisplayOf(attribute, monochrome) & kDisplayColorMask) == kColorNonDisplay &&
               !(flags & kExtractShowNonDisplay)) {
      shown = (flags & kExtractNonDisplayAsNull) ? '\0' : ' ';
    } else {
      shown = static_cast<char>(Shown(c, session_->CodePage()));
    }
    out.push_back(shown);
    if (flags & kExtractExtendedAttributes) out.push_back(static_cast<char>(DisplayOf(attribute, monochrome) & 0xF0));
    if (attributes) attributes->push_back(attribute);
  }
  return static_cast<int>(out.size() - before);
}

std::string C5250Engine::DescribeAttribute(int position) const {
  if (!ps_ || !IsAttribute(ps_->At(position))) return {};
  namespace t = texts5250;
  const int columns = ps_->Columns();
  std::string text = platform::Format(t::kAttrPosition, position / columns + 1, position % columns + 1);
  const int index = table_.FieldAt(position + 1);
  const C5250Field* f = index >= 0 ? &table_.fields[static_cast<std::size_t>(index)] : nullptr;
  if (f && f->start == position + 1 && f->HasFfw()) {
    text += f->Bypass() ? t::kAttrBypass : t::kAttrUnprotected;
    if (f->Mdt()) text += t::kAttrMdtOn;
    if (f->Has(kFfwDupEnabled)) text += t::kAttrDupEnabled;
    text += t::kAttrSeparator;
    text += t::kShiftNames[f->Shift()];
    if (f->Has(kFfwAutoEnter)) text += t::kAttrAutoEnter;
    if (f->Has(kFfwFieldExitRequired)) text += t::kAttrFieldExitRequired;
    if (f->Has(kFfwMonocase)) text += t::kAttrMonocase;
    if (f->Has(kFfwMandatoryEnter)) text += t::kAttrMandatoryEnter;
    if (f->Adjust() == kAdjustZeroFill) text += t::kAttrZeroFill;
    if (f->Adjust() == kAdjustBlankFill) text += t::kAttrBlankFill;
    if (f->Adjust() == kAdjustMandatoryFill) text += t::kAttrMandatoryFill;
    if (f->HasFcw(kSlotForwardEdge)) text += t::kAttrForwardEdge;
  } else {
    text += t::kAttrProtected;
  }
  const std::uint8_t display = DisplayOf(ps_->At(position), Monochrome());
  if (display & kDisplayReverse) text += t::kAttrReverse;
  if (display & kDisplayUnderscore) text += t::kAttrUnderscore;
  if (display & kDisplayBlink) text += t::kAttrBlink;
  if (display & kDisplayColumnSeparators) text += t::kAttrColumnSeparators;
  const std::uint8_t color = display & kDisplayColorMask;
  if (color == kColorNonDisplay)
    text += t::kAttrNonDisplay;
  else if (color >= kColorRed && color <= kColorWhite)
    text += std::string(t::kAttrSeparator) + t::kColorNames[color - kColorRed];
  return text;
}

}  // namespace corvina
