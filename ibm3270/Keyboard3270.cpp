// The operator side of a 3270 display: key functions, typed characters, the
// mouse functions and the selection operations.
#include <algorithm>
#include <cctype>

#include "ibm3270/DataStream.h"
#include "ibm3270/Engine3270.h"
#include "ibm3270/Texts3270.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "session/HostSession.h"
#include "session/Oia.h"

namespace corvina {

using namespace ds3270;
namespace k = kf::ibm3270;

namespace {

constexpr std::uint8_t kEbcdicBlank = 0x40;

bool Locked(const CHostSession& s) { return s.LockReason() != kUnlocked; }

}  // namespace

// ------------------------------------------------------------ field helpers

C3270Engine::FieldSpan C3270Engine::FieldOf(int position) const {
  const C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  const int fa = ps.FieldAttributePosition(position);
  if (fa < 0) return {0, size};
  const int start = ps.Wrap(fa + 1);
  int length = 0;
  while (length < size - 1 && ps.Attribute(start + length) == 0) ++length;
  return {start, length};
}

bool C3270Engine::InputPosition(int position) const {
  const std::uint8_t a = ps_->GoverningAttribute(position);
  return a != kFaOnAttribute && !(a & kFaProtected);
}

bool C3270Engine::Blank(int position) const {
  const std::uint8_t c = ps_->Character(position);
  return c == 0 || c == kEbcdicBlank;
}

void C3270Engine::MoveCursor(int position) { session_->SetCursorPosition(ps_->Wrap(position), true); }

// ------------------------------------------------------------- entry points

void C3270Engine::KeyFunction(int id) {
  if (!ps_) return;
  CHostSession& s = *session_;
  if (s.SelectionActive() && id != k::kDelete) s.ClearSelection();
  if (s.Telnet().CorvinaEState() == kCorvinaENvt) {
    NvtKey(id);
    return;
  }
  switch (id) {
    case k::kAttn:
      s.ClearTypeAhead();
      s.Telnet().SendAttn();
      return;
    case k::kReset:
      s.ClearTypeAhead();
      if (Locked(s) || s.InsertMode()) {
        s.SetLockReason(kUnlocked);
        programCheck_ = 0;
        s.SetInsertMode(false);
        Refresh();
      }
      return;
    case k::kSystemRequest:
      s.ClearTypeAhead();
      if (s.Telnet().SendSysReq()) SessionReset();
      return;
    default:
      break;
  }
  if (QueuedWhileBusy(kTypeAheadKey, id)) return;
  PerformKey(id);
}

// A key while the keyboard is locked, or while older keys wait and no replay
// runs, joins the type-ahead queue; a full queue locks with "?+".
bool C3270Engine::QueuedWhileBusy(int kind, int value) {
  CHostSession& s = *session_;
  if (!Locked(s) && !(s.TypeAheadPending() && !s.Replaying())) return false;
  if (!s.QueueTypeAhead(kind, value)) LockKeyboard(kLockTypeAheadFull, true);
  return true;
}

void C3270Engine::TypeCharacter(int code) {
  if (!ps_) return;
  CHostSession& s = *session_;
  if (s.Telnet().CorvinaEState() == kCorvinaENvt) {
    if (Locked(s) || s.InsertMode()) {
      LockKeyboard(kLockTypeAheadFull, false);
      return;
    }
    const auto c = static_cast<std::uint8_t>(code);
    LineModeText(std::span(&c, 1), true);
    nvtLine_.push_back(static_cast<char>(c));
    return;
  }
  if (QueuedWhileBusy(kTypeAheadCharacter, code)) return;
  TypeOne(code);
}

void C3270Engine::NvtKey(int id) {
  CHostSession& s = *session_;
  if (Locked(s) || s.InsertMode()) {
    LockKeyboard(kLockTypeAheadFull, false);
    return;
  }
  if (id == k::kBackspace) {
    if (nvtLine_.empty()) return;
    nvtLine_.pop_back();
    const int cursor = ps_->Wrap(s.Cursor() - 1);
    ps_->PutCharacter(cursor, 0, 0);
    MoveCursor(cursor);
  } else if (id == k::kEnter) {
    std::vector<std::uint8_t> line(nvtLine_.begin(), nvtLine_.end());
    line.insert(line.end(), {'\r', '\n'});
    s.Telnet().QueueHeader(telnet::kDataNvt, telnet::kNoResponse);
    s.QueueOutputEscaped(line);
    const std::uint8_t eor[] = {telnet::IAC, telnet::EOR};
    s.QueueOutput(eor);
    const std::uint8_t crlf[] = {'\r', '\n'};
    LineModeText(crlf, false);
    nvtLine_.clear();
  } else {
    s.Ui().Beep(platform::BeepKind::Exclamation);
  }
}

void C3270Engine::AidKey(std::uint8_t aid) {
  switch (aid) {
    case 0x6C:
    case 0x6E:
    case 0x6B:
      ShortRead(aid);
      break;
    case 0x6D:
      ps_->Clear(true);
      if (session_->Telnet().CorvinaEState() <= kCorvinaELuLu) ShortRead(aid);
      break;
    default:
      ReadModified(aid, false);
      break;
  }
}

void C3270Engine::PerformKey(int id) {
  CHostSession& s = *session_;
  const int size = ps_->Size();
  if (size == 0) return;
  const int cursor = ps_->Wrap(s.Cursor());
  const int columns = std::max(1, ps_->Columns());
  if (id >= kf::kCursorTo) {
    // A position from a key binding or a script: outside the buffer it is ignored.
    if (const int position = id - kf::kCursorTo; position < size) MoveCursor(position);
    return;
  }
  if (id == k::kEnter && s.Telnet().CorvinaEState() == kCorvinaESscpLu) {
    SendSscpLuInput();
    return;
  }
  // CursorSelect has the selector pen's AID but sends it only for some fields.
  if (std::uint8_t aid = AidOfKeyFunction(s.Mode(), id); aid != 0 && id != k::kCursorSelect) {
    AidKey(aid);
    return;
  }
  switch (id) {
    case k::kCursorUp: MoveCursor(cursor - columns + size); break;
    case k::kCursorDown: MoveCursor(cursor + columns); break;
    case k::kCursorLeft: MoveCursor(cursor - 1 + size); break;
    case k::kCursorRight: MoveCursor(cursor + 1); break;
    case k::kFastCursorUp: MoveCursor(cursor - 3 * columns + 3 * size); break;
    case k::kFastCursorDown: MoveCursor(cursor + 3 * columns); break;
    case k::kFastCursorLeft: MoveCursor(cursor - 3 + size); break;
    case k::kFastCursorRight: MoveCursor(cursor + 3); break;
    case k::kHome: Home(); break;
    case k::kTab: Tab(); break;
    case k::kBacktab: Backtab(); break;
    case k::kNewline: Newline(); break;
    case k::kFieldEnd: FieldEnd(); break;
    case k::kBackspace: Backspace(); break;
    case k::kDelete:
      if (s.SelectionActive()) {
        EraseSelection();
        s.ClearSelection();
      } else {
        DeleteAt(cursor);
      }
      break;
    case k::kEraseEof: EraseEof(); break;
    case k::kEraseInput: EraseInput(); break;
    case k::kInsert:
      s.SetInsertMode(!s.InsertMode());
      Refresh();
      break;
    case k::kInsertOn:
      s.SetInsertMode(true);
      Refresh();
      break;
    case k::kDup:
      if (TypeOne(kDup) && ps_->Wrap(s.Cursor()) == ps_->Wrap(cursor + 1)) Tab();
      break;
    case k::kFieldMark: TypeOne(kFieldMark); break;
    case k::kCentSign: TypeOne(0xA2); break;
    case k::kCursorSelect: CursorSelect(); break;
    case k::kWordRight: WordRight(); break;
    case k::kWordLeft: WordLeft(); break;
    case k::kWordDelete: WordDelete(); break;
    case k::kTestRequest: s.Telnet().SendTestRequest(); break;
    default: break;
  }
}

// ------------------------------------------------------------------ typing

bool C3270Engine::TypeOne(int code) {
  CHostSession& s = *session_;
  C3270PresentationSpace& ps = *ps_;
  if (code < 0x20 && code != kDup && code != kFieldMark) return true;
  const int cursor = ps.Wrap(s.Cursor());
  if (!InputPosition(cursor)) {
    LockKeyboard(kLockProtectedField, false);
    return false;
  }
  const std::uint8_t attribute = ps.GoverningAttribute(cursor);
  if ((s.Profile().keyboardOptions & kKeyboardRespectNumeric) && ps.Formatted() && (attribute & kFaNumeric)) {
    const bool accepted = (code >= '0' && code <= '9') || code == kDup || code == ' ' || code == '+' ||
                          code == ',' || code == '-' || code == '.';
    if (!accepted) {
      LockKeyboard(kLockNumericField, false);
      return false;
    }
  }
  if (s.InsertMode()) {
    // The rest of the field from the cursor: the first null makes room; in a
    // field without one, the first trailing blank at or after the cursor.
    const FieldSpan field = FieldOf(cursor);
    const int rest = (cursor - field.start + ps.Size()) % ps.Size();
    const int count = field.length - rest;
    int target = -1;
    for (int k = 0; k < count && target < 0; ++k)
      if (ps.Character(cursor + k) == 0) target = k;
    if (target < 0 && count > 0 && ps.Character(cursor + count - 1) == kEbcdicBlank) {
      target = count - 1;
      while (target > 0 && ps.Character(cursor + target - 1) == kEbcdicBlank) --target;
    }
    if (target < 0) {
      LockKeyboard(kLockInsertFieldFull, false);
      return false;
    }
    for (int k = target; k > 0; --k)
      ps.PutCharacter(cursor + k, ps.Character(cursor + k - 1), ps.Extended(cursor + k - 1));
  }
  const auto ebcdic = code == kDup || code == kFieldMark ? static_cast<std::uint8_t>(code)
                                                         : s.CodePage().ToEbcdic(static_cast<std::uint8_t>(code));
  ps.PutCharacter(cursor, ebcdic, 0);
  ps.SetMdt(cursor);
  if (!s.Pasting()) Refresh();
  int next = ps.Wrap(cursor + 1);
  // Skip attributes: into the next input field, or over protected ones.
  for (int steps = 0; ps.Attribute(next) != 0 && steps < ps.Size(); ++steps) {
    const std::uint8_t a = ps.Attribute(next);
    if (!(a & kFaProtected) || (a & kFaNumeric)) {
      s.SetCursorPosition(next, false);
      Tab();
      next = ps.Wrap(s.Cursor());
      break;
    }
    next = ps.Wrap(next + 1);
  }
  s.SetCursorPosition(next, true);
  if (s.Telnet().CorvinaEState() == kCorvinaESscpLu && next > ps.sscpEnd) ps.sscpEnd = next;
  return true;
}

// ------------------------------------------------------- cursor movement

void C3270Engine::Tab() { StepToInputField(1); }

// From a field's first position Backtab goes to the previous field: the
// target is the first input position strictly before the cursor.
void C3270Engine::Backtab() { StepToInputField(-1); }

// Moves to the first position of the next (+1) or previous (-1) input field;
// with "Suppress Autowrap" the screen's edge locks instead of wrapping.
void C3270Engine::StepToInputField(int direction) {
  CHostSession& s = *session_;
  const C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  const bool noWrap = (s.Profile().terminalOptions & kTermSuppressAutowrap) != 0;
  const int edge = direction > 0 ? size - 1 : 0;
  int p = ps.Wrap(s.Cursor());
  for (int n = 0; n < size; ++n) {
    if (p == edge && noWrap) {
      LockKeyboard(kLockTypeAheadFull, false);
      return;
    }
    p = ps.Wrap(p + direction + size);
    const std::uint8_t before = ps.Attribute(p - 1 + size);
    if (before != 0 && !(before & kFaProtected) && ps.Attribute(p) == 0) {
      MoveCursor(p);
      return;
    }
  }
  MoveCursor(0);
}

void C3270Engine::Home() {
  const C3270PresentationSpace& ps = *ps_;
  if (InputPosition(0)) {
    MoveCursor(0);
    return;
  }
  for (int p = 0; p < ps.Size(); ++p)
    if (std::uint8_t a = ps.Attribute(p); a != 0 && !(a & kFaProtected)) {
      MoveCursor(p + 1);
      return;
    }
  MoveCursor(0);
}

void C3270Engine::Newline() {
  const C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size(), columns = std::max(1, ps.Columns());
  const int cursor = ps.Wrap(session_->Cursor());
  const int nextRow = ps.Wrap(cursor - cursor % columns + columns);
  for (int n = 0; n < size; ++n)
    if (InputPosition(nextRow + n)) {
      MoveCursor(nextRow + n);
      return;
    }
  MoveCursor(0);
}

void C3270Engine::FieldEnd() {
  const C3270PresentationSpace& ps = *ps_;
  const int cursor = ps.Wrap(session_->Cursor());
  if (ps.Attribute(cursor) != 0) return;
  const FieldSpan field = FieldOf(cursor);
  int end = 0;  // positions from the field start up to the last non-blank
  for (int k = 0; k < field.length; ++k)
    if (!Blank(field.start + k)) end = k + 1;
  if (end == field.length && end > 0) --end;  // the position after it is the next attribute
  MoveCursor(field.start + end);
}

void C3270Engine::WordRight() {
  const C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size(), columns = std::max(1, ps.Columns());
  int p = ps.Wrap(session_->Cursor());
  // Leave the current word, then find the next one's first character.
  bool inGap = Blank(p) || !InputPosition(p);
  for (int n = 1; n < size; ++n) {
    p = ps.Wrap(p + 1);
    if (!InputPosition(p) || Blank(p)) {
      inGap = true;
      continue;
    }
    if (inGap || p % columns == 0) {
      MoveCursor(p);
      return;
    }
  }
}

void C3270Engine::WordLeft() {
  const C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  int p = ps.Wrap(session_->Cursor());
  auto wordChar = [&](int q) { return InputPosition(q) && !Blank(q); };
  for (int n = 1; n < size; ++n) {
    p = ps.Wrap(p - 1 + size);
    if (wordChar(p) && !wordChar(p - 1 + size)) {
      MoveCursor(p);
      return;
    }
  }
}

// ------------------------------------------------------------------ editing

void C3270Engine::Backspace() {
  CHostSession& s = *session_;
  const int cursor = ps_->Wrap(s.Cursor());
  if (!InputPosition(cursor) || cursor == FieldOf(cursor).start) {
    LockKeyboard(kLockProtectedField, false);
    return;
  }
  MoveCursor(cursor - 1);
  if (s.Profile().keyboardOptions & kKeyboardDestructiveBackspace) DeleteAt(cursor - 1);
}

void C3270Engine::DeleteAt(int position) {
  C3270PresentationSpace& ps = *ps_;
  const int cursor = ps.Wrap(position);
  if (!InputPosition(cursor)) {
    LockKeyboard(kLockProtectedField, false);
    return;
  }
  const FieldSpan field = FieldOf(cursor);
  const int size = ps.Size(), columns = std::max(1, ps.Columns());
  int count = field.length - (cursor - field.start + size) % size;  // to the end of the field
  if (!(session_->Profile().terminalOptions & kTermWholeFieldDelete))
    count = std::min(count, columns - cursor % columns);
  if (!ps.Formatted()) count = std::min(count, size - cursor);
  for (int k = 0; k + 1 < count; ++k)
    ps.PutCharacter(cursor + k, ps.Character(cursor + k + 1), ps.Extended(cursor + k + 1));
  ps.PutCharacter(cursor + count - 1, 0, 0);
  ps.SetMdt(cursor);
  Refresh();
}

void C3270Engine::EraseEof() {
  C3270PresentationSpace& ps = *ps_;
  const int cursor = ps.Wrap(session_->Cursor());
  if (!InputPosition(cursor)) {
    LockKeyboard(kLockProtectedField, false);
    return;
  }
  const FieldSpan field = FieldOf(cursor);
  const int count = ps.Formatted() ? field.length - (cursor - field.start + ps.Size()) % ps.Size()
                                   : ps.Size() - cursor;
  for (int k = 0; k < count; ++k) ps.PutCharacter(cursor + k, 0, 0);
  ps.SetMdt(cursor);
  Refresh();
}

void C3270Engine::EraseInput() {
  MoveCursor(NullUnprotectedFields());
  Refresh();
}

void C3270Engine::WordDelete() {
  C3270PresentationSpace& ps = *ps_;
  const int cursor = ps.Wrap(session_->Cursor());
  if (!InputPosition(cursor)) {
    LockKeyboard(kLockProtectedField, false);
    return;
  }
  if (Blank(cursor)) {
    DeleteAt(cursor);
    return;
  }
  const bool wholeWord = Blank(cursor - 1 + ps.Size()) || cursor == FieldOf(cursor).start;
  const int columns = std::max(1, ps.Columns());
  // Count what goes: the rest of the word and, for a whole word, the blanks
  // after it, never past the row or the field.
  const int limit = std::min(columns - cursor % columns, FieldOf(cursor).length);
  int count = 0;
  while (count < limit && InputPosition(cursor + count) && !Blank(cursor + count)) ++count;
  if (wholeWord)
    while (count < limit && InputPosition(cursor + count) && ps.Character(cursor + count) == kEbcdicBlank) ++count;
  for (int n = 0; n < count; ++n) DeleteAt(cursor);
}

void C3270Engine::CursorSelect() {
  C3270PresentationSpace& ps = *ps_;
  const int cursor = ps.Wrap(session_->Cursor());
  const int fa = ps.FieldAttributePosition(cursor);
  const std::uint8_t display = fa < 0 ? 0 : ps.Attribute(fa) & kFaDisplayMask;
  if (display != kFaDetectable && display != kFaIntensified) {
    LockKeyboard(kLockProtectedField, false);
    return;
  }
  const int designator = ps.Wrap(fa + 1);
  const std::uint8_t c = ps.Character(designator);
  const char pc = c == 0 ? '\0' : static_cast<char>(session_->CodePage().ToAscii(c));
  switch (pc) {
    case '\0':
    case ' ':
      ps.SetMdt(designator);
      ReadModified(0x7E, false);
      break;
    case '&':
      ps.SetMdt(designator);
      ReadModified(0x7D, false);
      break;
    case '>':
      ps.PutCharacter(designator, session_->CodePage().ToEbcdic('?'), ps.Extended(designator));
      ps.ResetMdt(designator);
      Refresh();
      break;
    case '?':
      ps.PutCharacter(designator, session_->CodePage().ToEbcdic('>'), ps.Extended(designator));
      ps.SetMdt(designator);
      Refresh();
      break;
    default:
      break;
  }
}

// ------------------------------------------------------------------ mouse

void C3270Engine::MouseFunction(int id, int column, int row) {
  if (!ps_) return;
  const int columns = std::max(1, ps_->Columns());
  if (column < 0 || row < 0 || column >= columns || row * columns + column >= ps_->Size()) return;
  const int position = row * columns + column;
  if (id == k::kCursorMove) {
    MoveCursor(position);
  } else if (id == k::kCursorSelect) {
    MoveCursor(position);
    KeyFunction(k::kCursorSelect);
  } else if (id == kf::kHotspot) {
    Hotspot(position);
  }
  session_->FlushOutput();
}

void C3270Engine::Hotspot(int position) {
  CHostSession& s = *session_;
  const int columns = std::max(1, ps_->Columns());
  std::string row;
  const int rowStart = position - position % columns;
  ExtractText(rowStart, columns, row, nullptr, 0);
  std::size_t from = static_cast<std::size_t>(position - rowStart), to = from;
  while (from > 0 && row[from - 1] != ' ') --from;
  while (to < row.size() && row[to] != ' ') ++to;
  const std::string word = row.substr(from, to - from);
  if (word.starts_with("http://") || word.starts_with("https://")) {
    if (!s.Ui().OpenUrl(word))
      s.Ui().MessageBox(texts3270::kBrowserFailed, s.Title(), platform::Buttons::Ok, platform::Answer::Ok,
                        platform::Icon::Warning);
    return;
  }
  std::size_t n = 0;
  while (n < word.size() && std::isalnum(static_cast<unsigned char>(word[n]))) ++n;
  if (int id = KeyFunctionIdByAidName(s.Mode(), word.substr(0, n)); n > 0 && id >= 0) {
    KeyFunction(id);
    return;
  }
  MoveCursor(position);
  KeyFunction(k::kEnter);
}

// -------------------------------------------------------------- selection

void C3270Engine::EraseSelection() {
  if (!ps_ || !session_->SelectionActive()) return;
  C3270PresentationSpace& ps = *ps_;
  const CellRect& r = session_->Selection();
  const int columns = std::max(1, ps.Columns()), rows = ps.Size() / columns;
  for (int row = std::max(0, r.top); row <= std::min(r.bottom, rows - 1); ++row)
    for (int column = std::max(0, r.left); column <= std::min(r.right, columns - 1); ++column) {
      const int p = row * columns + column;
      if (!InputPosition(p)) continue;
      ps.PutCharacter(p, kEbcdicBlank, ps.Extended(p));
      ps.SetMdt(p);
    }
  Refresh();
}

std::string C3270Engine::CopyRectangle(const CellRect& rect) {
  std::string out;
  if (!ps_ || rect.Empty()) return out;
  // Field attribute positions copy as tabs when the profile asks.
  const unsigned flags = (session_->Profile().editOptions & kEditFieldAttributeAsTab) ? kExtractAttributeAsTab : 0u;
  const int columns = std::max(1, ps_->Columns()), rows = ps_->Size() / columns;
  const int left = std::max(0, rect.left), right = std::min(rect.right, columns - 1);
  for (int row = std::max(0, rect.top); row <= std::min(rect.bottom, rows - 1) && left <= right; ++row) {
    ExtractText(row * columns + left, right - left + 1, out, nullptr, flags);
    out += "\r\n";
  }
  return out;
}

void C3270Engine::PasteText(std::string_view text) {
  if (!ps_) return;
  CHostSession& s = *session_;
  if (Locked(s)) {
    s.Ui().Beep(platform::BeepKind::Exclamation);
    return;
  }
  C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size(), columns = ps.Columns();
  const int start = ps.Wrap(s.Cursor());
  const int startColumn = start % columns;
  const unsigned mode = s.Profile().editOptions & kEditPasteModeMask;
  s.SetPasting(true);
  std::size_t i = 0;  // the next character of the text
  int after = start;  // the cell after the last typed character

  if (mode == kEditPasteStream) {
    // Tab and line feed go to the next input field; the paste stops at the
    // first character that cannot be typed or when the cursor comes round.
    for (; i < text.size(); ++i) {
      char ch = text[i];
      if (ch == '\r') continue;
      if (ch == '\t' || ch == '\n') {
        Tab();
      } else if (!TypeOne(static_cast<unsigned char>(ch))) {
        break;
      }
      after = ps.Wrap(s.Cursor());
      if (after == start) {
        ++i;
        break;
      }
    }
  } else {
    // Block and overlay block: the text keeps its shape, each line from the
    // start column down the screen.
    const bool overlay = mode == kEditPasteOverlayBlock;
    int pos = start;
    enum class Step { kTyped, kFailed, kRowEnded, kScreenEnded };
    auto typeAt = [&](int code) {
      const int row = pos / columns;
      if (overlay) {  // protected cells are flowed around, consuming nothing
        while (pos < size && !InputPosition(pos))
          if (++pos / columns != row) return Step::kRowEnded;
      }
      if (pos >= size) return Step::kScreenEnded;
      s.SetCursorPosition(pos, false);
      if (!TypeOne(code)) return Step::kFailed;
      after = ++pos;
      return Step::kTyped;
    };
    while (i < text.size() && pos < size) {
      const char ch = text[i];
      const int row = pos / columns;
      Step step = Step::kTyped;
      if (ch == '\r') {
        ++i;
        continue;
      }
      if (ch == '\n') {
        ++i;
        pos = (row + 1) * columns + startColumn;
        continue;
      }
      if (ch == '\t') {
        // Blanks up to the next tab stop, every 8 columns from the start column.
        do step = typeAt(' ');
        while (step == Step::kTyped && pos / columns == row && (pos % columns - startColumn) % 8 != 0);
      } else {
        step = typeAt(static_cast<unsigned char>(ch));
      }
      if (step == Step::kFailed) break;
      if (step == Step::kTyped) ++i;
      if (step == Step::kScreenEnded || pos >= size) break;
      // At the end of the row, or at a field attribute in block mode, the
      // rest of the text line is skipped.
      if (step == Step::kRowEnded || pos / columns != row || (!overlay && ps.Attribute(pos) != 0)) {
        while (i < text.size() && text[i] != '\n') ++i;
        if (i < text.size()) ++i;
        pos = (row + 1) * columns + startColumn;
      }
    }
  }
  // A character that could not be typed was not consumed.
  s.SetPasteOffset(s.PasteOffset() + i);
  s.SetPasting(false);
  s.SetCursorPosition((s.Profile().editOptions & kEditCursorAfterPaste) ? ps.Wrap(after) : start, true);
  Refresh();
}

}  // namespace corvina
