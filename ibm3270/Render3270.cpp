// The 3270 screen as a render model: which character or glyph, which
// colour-scheme entries and which highlighting each position shows.
#include <algorithm>

#include "ibm3270/DataStream.h"
#include "ibm3270/Engine3270.h"
#include "keyboard/KeyFunctionTables.h"
#include "session/Canvas.h"
#include "session/HostSession.h"
#include "session/Oia.h"

namespace corvina {

using namespace ds3270;

namespace {

// Colour-scheme entries of a 3270 session.
constexpr std::uint8_t kEntryUnprotected = 2, kEntryAttribute = 6, kEntryDefaultColor = 7;

}  // namespace

void C3270Engine::Paint(Canvas& canvas) {
  if (!ps_) return;
  if (alarmPending_) {
    alarmPending_ = false;
    session_->Ui().Beep(platform::BeepKind::Default);
  }
  UpdateModel();
  PaintModel(model_, canvas);
}

void C3270Engine::UpdateModel() {
  const C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  const int columns = std::max(1, ps.Columns());
  const int rows = size / columns;
  if (model_.Rows() != rows || model_.Columns() != columns) model_.Resize(rows, columns);
  const bool attributeCharacters = (session_->Profile().displayOptions & kDisplayAttributeChars) != 0;
  const RenderCell attributeCell{static_cast<std::uint8_t>(attributeCharacters ? '@' : ' '), kNoGlyph,
                                 CellLook{kEntryAttribute, kEntryAttribute, kCellFieldAttribute}};
  // One pass, carrying the governing field along (the field of position 0
  // may begin near the end of the buffer).
  const int first = ps.FieldAttributePosition(0);
  const bool formatted = first >= 0;
  std::uint8_t attribute = formatted ? ps.Attribute(first) : kFaStored;
  std::uint32_t fieldExtended = formatted ? ps.Extended(first) : 0;
  bool blinks = false;
  for (int p = 0; p < rows * columns; ++p) {
    if (std::uint8_t a = ps.Attribute(p); a != 0) {
      attribute = a;
      fieldExtended = ps.Extended(p);
      model_.SetCell(p / columns, p % columns, attributeCell);
      continue;
    }
    const RenderCell cell = CellAt(p, attribute, formatted, fieldExtended);
    blinks = blinks || (cell.look.flags & kCellBlink);
    model_.SetCell(p / columns, p % columns, cell);
  }
  session_->SetScreenBlinks(blinks);
  const int cursor = ps.Wrap(session_->Cursor());
  model_.SetCursor(cursor / columns, cursor % columns, true);
  model_.SetOia(OiaText());
}

RenderCell C3270Engine::CellAt(int position, std::uint8_t attribute, bool formatted,
                               std::uint32_t fieldExtended) const {
  const CCorvinaSessionProfile& profile = session_->Profile();
  const bool intensified = (attribute & kFaDisplayMask) == kFaIntensified;
  const bool isProtected = (attribute & kFaProtected) != 0;
  const auto base = static_cast<std::uint8_t>(kEntryUnprotected + (isProtected ? 2 : 0) + (intensified ? 1 : 0));
  const std::uint32_t own = ps_->Extended(position) & ~kExtGraphicEscape;
  const bool graphicEscape = (ps_->Extended(position) & kExtGraphicEscape) != 0;
  RenderCell cell;
  cell.look = CellLook{base, base, 0};

  if (session_->Mode() == kKind3279) {
    // Character colours are 1 (blue) to 7 (white), 0 taking the field's;
    // field colours are 1 (default) to 8 (white). Other values are ignored.
    const unsigned ownFg = ExtForeground(own), fieldFg = ExtForeground(fieldExtended);
    int foreground = -1;
    if (ownFg >= 1 && ownFg <= 7)
      foreground = kEntryDefaultColor + ownFg;
    else if (fieldFg >= 1 && fieldFg <= 8)
      foreground = kEntryDefaultColor - 1 + fieldFg;
    if (foreground == kEntryDefaultColor && intensified) foreground = base;
    if (foreground >= 0) cell.look.foreground = static_cast<std::uint8_t>(foreground);
    // A background is the colour itself; the default one is the base entry's.
    const unsigned ownBg = ExtBackground(own), fieldBg = ExtBackground(fieldExtended);
    if (ownBg >= 1 && ownBg <= 7) {
      cell.look.background = static_cast<std::uint8_t>(kEntryDefaultColor + ownBg);
      cell.look.flags |= kCellBackgroundFromForeground;
    } else if (fieldBg >= 2 && fieldBg <= 8) {
      cell.look.background = static_cast<std::uint8_t>(kEntryDefaultColor - 1 + fieldBg);
      cell.look.flags |= kCellBackgroundFromForeground;
    }
  }

  const unsigned highlight = ExtHighlight(own != 0 ? own : fieldExtended);
  if (highlight & kHighlightReverse) cell.look.flags ^= kCellReverse;
  if (highlight & kHighlightUnderscore) cell.look.flags |= kCellUnderline;
  if (highlight & kHighlightBlink) {
    if (profile.displayOptions & kDisplayBlinkAsReverse)
      cell.look.flags ^= kCellReverse;
    else
      cell.look.flags |= kCellBlink | (session_->BlinkPhase() ? 0 : kCellInvisible);
  }
  if (formatted && !isProtected && (profile.terminalOptions & kTermIdentifyInputFields) &&
      !(profile.terminalOptions & kTermNoColumnSeparators))
    cell.look.flags |= kCellInputMark;

  if ((attribute & kFaDisplayMask) == kFaNonDisplay) {
    cell.look.flags |= kCellInvisible;
    return cell;
  }
  const std::uint8_t c = ps_->Character(position);
  if (c >= 0x40) {
    cell.character = session_->CodePage().ToAscii(c);
  } else if (std::uint8_t glyph = graphicEscape ? LineDrawingGlyph(c) : kNoGlyph; glyph != kNoGlyph) {
    cell.glyph = glyph;
  } else if (char shown = InternalCodeCharacter(c); shown != 0 && (graphicEscape || c == kDup || c == kFieldMark)) {
    cell.character = static_cast<std::uint8_t>(shown);
  }
  return cell;
}

std::string C3270Engine::OiaText() const {
  const CHostSession& s = *session_;
  OiaStatus status;
  const unsigned state = session_->Telnet().CorvinaEState();
  status.extended = state != kCorvinaEOff;
  status.sscpLu = state == kCorvinaESscpLu;
  std::string_view aidName;
  for (const AidRow& row : AidTable(s.Mode()))
    if (row.aid == aid_) aidName = row.name;
  status.lockText = LockText(s.LockReason(), aidName, programCheck_);
  status.sessionNumber = s.Number();
  status.sessionName = s.Profile().name;
  status.insertMode = s.InsertMode();
  const int columns = std::max(1, ps_->Columns());
  const int cursor = ps_->Wrap(s.Cursor());
  status.cursorRow = cursor / columns;
  status.cursorColumn = cursor % columns;
  status.columns = columns;
  status.responseMs = s.Responses().Shown(s.Clock().MonotonicMs());
  status.wallSeconds = s.Clock().WallSeconds();
  status.deviceName = session_->Telnet().AssignedDeviceName();
  return FormatOiaLine(status, columns);
}

}  // namespace corvina
