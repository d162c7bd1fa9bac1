// The operator side of a 5250 display: key functions by keyboard state,
// typing under the field format word's rules, Field Exit, the checks made
// when leaving a field or pressing an AID key, operator errors, System
// Request, Help and the cursor movements.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <string_view>

#include "ibm5250/DataStream.h"
#include "ibm5250/Engine5250.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "session/HostSession.h"
#include "session/Oia.h"

namespace corvina {

using namespace ds5250;
namespace k = kf::ibm5250;

namespace {

// Operator error codes (shown as four hexadecimal digits).
constexpr int kErrIoField = 0x0004, kErrNotInField = 0x0005, kErrMandatoryEnter = 0x0007,
              kErrAlphaOnly = 0x0008, kErrNumericOnly = 0x0009, kErrDigitsOnly = 0x0010,
              kErrSignCell = 0x0011, kErrInsertFull = 0x0012, kErrSelfCheck = 0x0015,
              kErrMandatoryFill = 0x0017, kErrFieldExitRequired = 0x0018, kErrDupNotAllowed = 0x0019,
              kErrFieldExitNeeded = 0x0020, kErrNotEntered = 0x0021, kErrFieldMinus = 0x0026;

// The key-state table. Columns: normal with insert on, normal, power-on,
// system request, host-locked, error, help in error. 0 allows the key,
// kBeep refuses it with the alarm, any other value raises that error.
constexpr int kBeep = -1;
constexpr int B = kBeep;
struct KeyStateRow {
  int row;
  std::array<int, 7> columns;
};
// The rows' identifiers; 33004, 33008 and 33019 stand for groups of keys.
constexpr int kRowCursorKeys = 33004, kRowCharacters = 33008, kRowFunctionKeys = 33019;
constexpr KeyStateRow kKeyStates[] = {
    {k::kAttn, {0, 0, 0x01, 0x06, 0, 0, 0}},
    {k::kBackspace, {0, 0, 0, 0, B, B, B}},
    {k::kBacktab, {0, 0, 0, 0, B, B, B}},
    {k::kClear, {0, 0, 0, 0x06, B, B, B}},
    {kRowCursorKeys, {0, 0, 0, 0, B, B, B}},
    {kRowCharacters, {0, 0, 0, 0, B, B, B}},
    {k::kDelete, {0, 0, 0, 0, B, B, B}},
    {k::kDup, {0x13, 0, 0x01, 0x06, B, B, B}},
    {k::kFieldEnd, {0, 0, 0, 0, B, B, B}},
    {k::kEnter, {0, 0, 0x01, 0, B, B, B}},
    {k::kEraseEof, {0, 0, 0, 0, B, B, B}},
    {k::kEraseInput, {0x13, 0, 0x01, 0, B, B, B}},
    {k::kFieldExit, {0x13, 0, 0, 0, B, B, B}},
    {k::kFieldMark, {0x13, 0, 0x01, 0x06, B, B, B}},
    {k::kFieldMinus, {0x13, 0, 0x01, 0x06, B, B, B}},
    {k::kFieldPlus, {0x13, 0, 0, 0, B, B, B}},
    {kRowFunctionKeys, {0, 0, 0x01, 0x06, B, B, B}},
    {k::kHelp, {0, 0, 0x01, 0x06, B, 0, B}},
    {k::kHome, {0x13, 0, 0, 0, B, B, B}},
    {k::kInsert, {0, 0, 0, 0, B, B, B}},
    {k::kNewline, {0, 0, 0, 0, B, B, B}},
    {k::kRollUpPageDown, {0, 0, 0x01, 0x06, B, B, B}},
    {k::kRollDownPageUp, {0, 0, 0x01, 0x06, B, B, B}},
    // Reset also leaves the help-in-error state: every operator error asks
    // for help at once, and a host that does not answer would leave the
    // keyboard locked for good.
    {k::kErrorReset, {0, 0, 0, 0, B, 0, 0}},
    {k::kSystemRequest, {0x13, 0, 0, B, 0, B, B}},
    {k::kTab, {0, 0, 0, 0, B, B, B}},
    {k::kRecordBackspace, {0x13, 0, 0x01, 0x06, B, B, B}},
};

// The row of the key-state table a key function looks up; 0 for keys that
// are not looked up.
int KeyStateRowOf(int id) {
  if (id >= k::kF1 && id <= k::kF24) return kRowFunctionKeys;
  switch (id) {
    case k::kPA1:
    case k::kPA2:
    case k::kPA3:
      return k::kClear;
    case k::kCursorUp:
    case k::kCursorDown:
    case k::kCursorLeft:
    case k::kCursorRight:
    case k::kFastCursorUp:
    case k::kFastCursorDown:
    case k::kFastCursorLeft:
    case k::kFastCursorRight:
      return kRowCursorKeys;
    case k::kCentSign:
      return kRowCharacters;
    case k::kPrint:
    case k::kCursorSelect:
    case k::kCursorMove:
    case k::kWordLeft:
    case k::kWordRight:
    case k::kWordDelete:
    case k::kInsertOn:
      return 0;
    default:
      return id;
  }
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsLetter(int c) { return c < 0x80 && std::isalpha(c); }

// The language of the keyboard layout: the locale's two letters.
std::string_view LayoutLanguage() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
    if (const char* value = std::getenv(name); value && value[0] && value[1]) return std::string_view(value, 2);
  return {};
}

// Monocase fields take upper case: below 128 as the C library does, above
// only the letters of the layout's language that have a capital form.
int Monocase(int c) {
  if (c < 0x80) return std::toupper(c);
  const std::string_view language = LayoutLanguage();
  std::string_view letters;
  if (language == "da" || language == "no" || language == "nb" || language == "nn")
    letters = "\xE5\xE6\xF8";
  else if (language == "de")
    letters = "\xE4\xF6\xFC";
  else if (language == "es")
    letters = "\xF1";
  else if (language == "fi" || language == "sv")
    letters = "\xE4\xE5\xE9\xF6";
  else if (language == "pt")
    letters = "\xE3\xE7\xE9\xF5";
  return letters.find(static_cast<char>(c)) != std::string_view::npos ? c - 32 : c;
}

}  // namespace

// ------------------------------------------------------------- entry points

void C5250Engine::KeyFunction(int id) {
  if (!ps_) return;
  CHostSession& s = *session_;
  if (s.SelectionActive() && id != k::kDelete) s.ClearSelection();
  if (id == k::kAttn || id == k::kHelp || id == k::kErrorReset || id == k::kSystemRequest) {
    s.ClearTypeAhead();
    PerformKey(id);
    return;
  }
  if (QueuedWhileBusy(kTypeAheadKey, id)) return;
  PerformKey(id);
}

void C5250Engine::TypeCharacter(int code) {
  if (!ps_) return;
  if (QueuedWhileBusy(kTypeAheadCharacter, code)) return;
  TypeCharacterNow(code);
}

// A key while the keyboard is locked, or while older keys wait and no
// replay runs, joins the type-ahead queue; a key it cannot take sounds the
// alarm.
bool C5250Engine::QueuedWhileBusy(int kind, int value) {
  CHostSession& s = *session_;
  if (!Locked() && !(s.TypeAheadPending() && !s.Replaying())) return false;
  if (!s.QueueTypeAhead(kind, value)) OperatorAlarm();
  return true;
}

int C5250Engine::KeyStateColumn() const {
  switch (state_) {
    case kStateNormal: return session_->InsertMode() ? 0 : 1;
    case kStatePowerOn: return 2;
    case kStateSystemRequest: return 3;
    case kStateHostLocked: return 4;
    case kStateError: return 5;
    default: return 6;
  }
}

bool C5250Engine::KeyAllowed(int row) {
  const auto* entry = std::find_if(std::begin(kKeyStates), std::end(kKeyStates),
                                   [row](const KeyStateRow& r) { return r.row == row; });
  if (entry == std::end(kKeyStates)) return true;
  const int verdict = entry->columns[static_cast<std::size_t>(KeyStateColumn())];
  if (verdict == 0) return true;
  if (verdict == kBeep)
    OperatorAlarm();
  else
    OperatorError(verdict);
  return false;
}

void C5250Engine::PerformKey(int id) {
  CHostSession& s = *session_;
  const int size = ps_->Size(), columns = ps_->Columns();
  if (id >= kf::kCursorTo) {
    MoveCursor(std::min(id - kf::kCursorTo, size - 1));  // a position from a binding or a script
    return;
  }
  if (id >= 0 && id < 256) {
    TypeCharacterNow(id);
    return;
  }
  if (const int row = KeyStateRowOf(id); row != 0 && !KeyAllowed(row)) return;
  const int cursor = Cursor();
  if (const std::uint8_t aid = AidOfKeyFunction(kKind5250, id); aid != kAidNone && id != k::kHelp && id != k::kClear) {
    if (id == k::kEnter && state_ == kStateSystemRequest)
      EndSystemRequest(true);
    else
      AidKey(id, aid);
    return;
  }
  switch (id) {
    case k::kAttn: SendRecord(kFlagAttention, {}, kOpNoOperation); break;
    case k::kHelp: HelpKey(); break;
    case k::kErrorReset: ErrorReset(); break;
    case k::kSystemRequest: SystemRequest(); break;
    case k::kClear:
      if (state_ == kStatePowerOn) {
        ps_->Clear();
        ps_->Put(0, kAttributeNormal);
        PlaceCursor(std::min(1, size - 1));
        Refresh();
      } else {
        AidKey(id, kAidClear);
      }
      break;
    case k::kCursorUp: MoveCursor((cursor - columns + size) % size); break;
    case k::kCursorDown: MoveCursor((cursor + columns) % size); break;
    case k::kCursorLeft: MoveCursor((cursor - 1 + size) % size); break;
    case k::kCursorRight: MoveCursor((cursor + 1) % size); break;
    case k::kFastCursorUp: MoveCursor(((cursor - 3 * columns) % size + size) % size); break;
    case k::kFastCursorDown: MoveCursor((cursor + 3 * columns) % size); break;
    case k::kFastCursorLeft: MoveCursor(((cursor - 3) % size + size) % size); break;
    case k::kFastCursorRight: MoveCursor((cursor + 3) % size); break;
    case k::kTab: Tab(); break;
    case k::kBacktab: Backtab(); break;
    case k::kNewline: Newline(); break;
    case k::kHome: Home(); break;
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
    case k::kFieldExit:
    case k::kFieldPlus:
    case k::kFieldMinus: FieldExit(id); break;
    case k::kDup: Dup(); break;
    case k::kFieldMark: TypeCharacterNow(kFieldMark); break;
    case k::kCentSign: TypeCharacterNow(0xA2); break;
    case k::kInsert:
    case k::kInsertOn:
      if (CursorInputField()) {
        s.SetInsertMode(id == k::kInsertOn || !s.InsertMode());
        Refresh();
      }
      break;
    case k::kCursorSelect: CursorSelect(); break;
    case k::kWordLeft: WordLeft(); break;
    case k::kWordRight: WordRight(); break;
    case k::kWordDelete: WordDelete(); break;
    default: break;
  }
}

// --------------------------------------------------------------- AID keys

void C5250Engine::AidKey(int id, std::uint8_t aid) {
  CHostSession& s = *session_;
  // Print is not in the key-state table; on the system request line it is
  // refused as the other AID keys are.
  if (state_ == kStateSystemRequest) {
    OperatorError(0x0006);
    return;
  }
  // Enter, the function keys and the roll keys check the field and the
  // mandatory-enter fields; Help and Record Backspace only that the field
  // had its Field Exit; the others nothing.
  const bool checked = id == k::kEnter || (id >= k::kF1 && id <= k::kF24) || id == k::kRollUpPageDown ||
                       id == k::kRollDownPageUp;
  if (checked || id == k::kHelp || id == k::kRecordBackspace) {
    if (C5250Field* f = CursorInputField(); f && f->Mdt()) {
      if (dataTyped_ && (f->RightAdjust() || f->SignedNumeric())) {
        OperatorError(kErrFieldExitNeeded);
        return;
      }
      if (checked && !LeaveChecks(*f)) return;
    }
  }
  if (checked) {
    if (mdtPresent_)
      for (const C5250Field& f : table_.fields)
        if (f.Input() && f.Has(kFfwMandatoryEnter) && !f.Mdt()) {
          PlaceCursor(f.start);
          OperatorError(kErrMandatoryEnter);
          return;
        }
  }
  if (id == k::kEnter) {
    if (const C5250Field* f = CursorInputField()) {
      if (f->HasFcw(kSlotSelectSecond) && f->Has(kFfwAutoEnter))
        aid = kAidAutoEnterSelection;
      else if (f->HasFcw(kSlotForwardEdge) && Cursor() == f->end)
        aid = kAidForwardEdge;
    }
  }
  state_ = kStateHostLocked;
  s.SetInsertMode(false);
  s.SetLockReason(kLockWaitingForHost);
  pendingAid_ = shownAid_ = aid;
  s.Responses().Start(s.Clock().MonotonicMs());
  Refresh();
  if (!invited_) return;  // the next read collects it
  invited_ = false;
  pendingAid_ = kAidNone;
  SendReadResponse(readCommand_, aid);
  ApplyCc1(readCc1_);
  ApplyCc2(readCc2_);
}

// Mandatory fill and the self-check of a modified field the cursor leaves.
bool C5250Engine::LeaveChecks(const C5250Field& f) {
  if (!f.Mdt()) return true;
  if (f.Adjust() == kAdjustMandatoryFill) {
    int nulls = 0;
    for (int p = f.start; p <= f.end; ++p) nulls += ps_->At(p) == 0;
    if (nulls != 0 && nulls != f.length) {
      OperatorError(kErrMandatoryFill);
      return false;
    }
  }
  return SelfCheck(f);
}

bool C5250Engine::SelfCheck(const C5250Field& f) {
  if (!f.HasFcw(kSlotSelfCheck)) return true;
  const int limit = f.SignedNumeric() ? f.length - 1 : f.length;
  int last = limit - 1;
  while (last >= 0 && ps_->At(f.start + last) == 0) --last;
  const int count = std::min(last + 1, f.SignedNumeric() ? 32 : 33);
  if (count <= 1) return true;
  auto digit = [&](int index) {
    const int d = ps_->At(f.start + index) & 0x0F;
    return d > 9 ? 0 : d;
  };
  // The digits before the check digit, weighted from the right.
  int sum = 0;
  const bool modulus10 = f.FcwValue(kSlotSelfCheck) == kSelfCheckModulus10;
  for (int n = 1; n < count; ++n) {
    const int d = digit(last - n);
    if (modulus10) {
      const int product = d * (n % 2 == 1 ? 2 : 1);
      sum += product / 10 + product % 10;
    } else {
      sum += d * (2 + (n - 1) % 6);
    }
  }
  int check = 0;
  if (modulus10) {
    check = 9 - (sum + 9) % 10;
  } else {
    const int remainder = sum % 11;
    if (remainder == 1) return true;
    check = remainder == 0 ? 0 : 11 - remainder;
  }
  if (digit(last) == check) return true;
  PlaceCursor(f.start + last);
  OperatorError(kErrSelfCheck);
  return false;
}

// ------------------------------------------------------- operator errors

void C5250Engine::SaveState(std::optional<SavedState>& slot) {
  slot = SavedState{state_, session_->LockReason(), session_->InsertMode(), Cursor(), ic_,
                    mdtPresent_, cursorProgression_};
}

void C5250Engine::OperatorError(int code) {
  CHostSession& s = *session_;
  if (!(s.Profile().keyboardOptions & kKeyboardLockOnError)) {
    OperatorAlarm();
    return;
  }
  const int columns = ps_->Columns(), row = table_.ErrorRow(ps_->Rows()), start = row * columns;
  if (state_ != kStateError && state_ != kStateHelpInError) SaveState(errorSaved_);
  ps_->SaveErrorLine(row);
  for (int p = start; p < start + columns; ++p) ps_->Put(p, 0);
  state_ = kStateError;
  s.SetInsertMode(false);
  s.SetLockReason(kLockSystemWait);
  errorCode_ = code & 0xFFFF;
  pendingAid_ = kAidNone;
  static constexpr char kHex[] = "0123456789abcdef";
  const std::uint8_t shown[] = {kAttributeErrorCode,
                                s.CodePage().ToEbcdic(static_cast<std::uint8_t>(kHex[(errorCode_ >> 12) & 15])),
                                s.CodePage().ToEbcdic(static_cast<std::uint8_t>(kHex[(errorCode_ >> 8) & 15])),
                                s.CodePage().ToEbcdic(static_cast<std::uint8_t>(kHex[(errorCode_ >> 4) & 15])),
                                s.CodePage().ToEbcdic(static_cast<std::uint8_t>(kHex[errorCode_ & 15])),
                                kAttributeNonDisplay};
  for (int n = 0; n < static_cast<int>(sizeof shown) && n < columns; ++n) ps_->Put(start + n, shown[n]);
  s.SetScreenChanged(true);
  OperatorAlarm();
  HelpKey();  // the help request with the code goes to the host at once
}

void C5250Engine::HelpKey() {
  if (state_ == kStateError) {
    state_ = kStateHelpInError;
    const std::uint8_t code[] = {static_cast<std::uint8_t>(errorCode_ >> 8), static_cast<std::uint8_t>(errorCode_)};
    SendRecord(kFlagHelp, code);
    ps_->Put(table_.ErrorRow(ps_->Rows()) * ps_->Columns(), kAttributeWhite);
    Refresh();
    return;
  }
  AidKey(k::kHelp, kAidHelp);
}

void C5250Engine::ErrorReset() {
  CHostSession& s = *session_;
  switch (state_) {
    case kStateNormal:
      if (s.InsertMode()) {
        s.SetInsertMode(false);
        Refresh();
      }
      break;
    case kStateError:
    case kStateHelpInError: {
      ps_->RestoreErrorLine();
      state_ = kStateNormal;
      s.SetLockReason(kUnlocked);
      const bool onRequestLine = errorSaved_ && errorSaved_->state == kStateSystemRequest;
      if (errorSaved_) ic_ = errorSaved_->ic;
      errorSaved_.reset();
      // An error on the system request line shared its saved row: the
      // request ends with it.
      if (onRequestLine) EndSystemRequest(false);
      s.SetScreenChanged(true);
      Refresh();
      break;
    }
    case kStateSystemRequest:
      EndSystemRequest(false);
      break;
    default:
      break;
  }
}

// ------------------------------------------------------- system request

void C5250Engine::SystemRequest() {
  if (const C5250Field* f = CursorInputField(); f && !LeaveChecks(*f)) return;
  const int columns = ps_->Columns(), row = table_.ErrorRow(ps_->Rows()), start = row * columns;
  if (columns < 3) {
    OperatorAlarm();
    return;
  }
  Unhighlight();
  SaveState(requestSaved_);
  savedTable_ = table_;
  ps_->SaveErrorLine(row);
  state_ = kStateSystemRequest;
  session_->SetInsertMode(false);
  session_->SetLockReason(kUnlocked);
  ps_->Put(start, kAttributeSystemRequest);
  ps_->Put(start + columns - 1, kAttributeNonDisplay);
  // One field on the error row: alpha shift, typed into like any other.
  C5250Field field;
  field.start = start + 1;
  field.length = columns - 2;
  field.end = field.start + field.length - 1;
  field.ffw = kFfwMark;
  table_.fields.assign(1, field);
  mdtPresent_ = cursorProgression_ = false;
  cursorField_ = -1;
  ic_ = field.start;
  PlaceCursor(field.start);
  session_->SetScreenChanged(true);
  Refresh();
}

void C5250Engine::EndSystemRequest(bool send) {
  if (send && !table_.fields.empty()) {
    const C5250Field& f = table_.fields.front();
    int end = f.end;
    while (end >= f.start && ps_->At(end) == 0) --end;
    std::vector<std::uint8_t> text;
    for (int p = f.start; p <= end; ++p) text.push_back(ps_->At(p) == 0 ? kBlank : ps_->At(p));
    SendRecord(kFlagSystemRequest, text);
  }
  Unhighlight();
  ps_->RestoreErrorLine();
  if (savedTable_) table_ = *savedTable_;
  savedTable_.reset();
  cursorField_ = -1;
  if (requestSaved_) {
    const SavedState saved = *requestSaved_;
    requestSaved_.reset();
    state_ = saved.state;
    session_->SetLockReason(saved.lockReason);
    session_->SetInsertMode(saved.insert);
    ic_ = saved.ic;
    mdtPresent_ = saved.mdtPresent;
    cursorProgression_ = saved.cursorProgression;
    PlaceCursor(saved.cursor);
  }
  session_->SetScreenChanged(true);
  Refresh();
}

// ------------------------------------------------------------------ typing

void C5250Engine::TypeCharacterNow(int code) {
  if (!KeyAllowed(kRowCharacters)) return;
  const int typed = TypeOne(code);
  if (typed < 0) return;
  const C5250Field& f = table_.fields[static_cast<std::size_t>(typed)];
  const int cursor = Cursor();
  if (cursor < f.end)
    PlaceCursor(cursor + 1);
  else
    AfterLastCell(typed);
}

// Stores the character at the cursor under the field's rules. The index of
// the field typed into, kIgnored for a control, kRefused after an operator error.
int C5250Engine::TypeOne(int code) {
  CHostSession& s = *session_;
  if (code < 0 || code > 0xFF) return kIgnored;
  const bool dupOrMark = code == kDup || code == kFieldMark;
  // A character that becomes an EBCDIC control would type an attribute or
  // an order into the field: it is not typed, as codes below 0x20 are not.
  const std::uint8_t ebcdic =
      dupOrMark ? static_cast<std::uint8_t>(code) : s.CodePage().ToEbcdic(static_cast<std::uint8_t>(code));
  if (!dupOrMark && (code < 0x20 || ebcdic < kBlank || ebcdic == 0xFF)) return kIgnored;
  const int cursor = Cursor();
  const int index = table_.InputFieldAt(cursor);
  if (index < 0) {
    OperatorError(kErrNotInField);
    return kRefused;
  }
  C5250Field& f = table_.fields[static_cast<std::size_t>(index)];
  const bool signCell = f.SignedNumeric() && cursor == f.end;
  int refusal = 0;
  if (dupOrMark) {
    if (!f.Has(kFfwDupEnabled)) refusal = kErrDupNotAllowed;
  } else {
    switch (f.Shift()) {
      case kShiftAlphaOnly:
        if (!IsLetter(code) && code != ' ' && code != ',' && code != '-' && code != '.') refusal = kErrAlphaOnly;
        break;
      case kShiftNumericOnly:
        if (!IsDigit(code) && code != ' ' && code != '+' && code != ',' && code != '-' && code != '.')
          refusal = kErrNumericOnly;
        break;
      case kShiftDigitsOnly:
        if (!IsDigit(code)) refusal = kErrDigitsOnly;
        break;
      case kShiftIo:
        refusal = kErrIoField;
        break;
      case kShiftSignedNumeric:
        refusal = !IsDigit(code) ? kErrDigitsOnly : signCell ? kErrSignCell : 0;
        break;
      default:
        break;
    }
  }
  if (refusal == 0 && cursor == f.end && waitingForFieldExit_ && f.Has(kFfwFieldExitRequired))
    refusal = kErrFieldExitRequired;
  if (refusal != 0) {
    OperatorError(refusal);
    return kRefused;
  }
  if (cursor != f.end) waitingForFieldExit_ = false;
  if (s.InsertMode()) {
    // The data cells from the cursor move one to the right.
    const int end = signCell ? f.end : f.start + f.DataLength() - 1;
    if (ps_->At(end) != 0) {
      OperatorError(kErrInsertFull);
      return kRefused;
    }
    for (int p = end; p > cursor; --p) ps_->Put(p, ps_->At(p - 1));
  }
  ps_->Put(cursor, f.Has(kFfwMonocase) && !dupOrMark ? s.CodePage().ToEbcdic(static_cast<std::uint8_t>(Monocase(code)))
                                                    : ebcdic);
  f.SetMdt(true);
  mdtPresent_ = true;
  dataTyped_ = true;
  s.SetScreenChanged(true);
  if (!s.Pasting()) Refresh();
  return index;
}

// The last cell of a field was typed: a field that needs Field Exit keeps
// the cursor there; an auto-enter field sends Enter; any other tabs on.
void C5250Engine::AfterLastCell(int index) {
  const C5250Field& f = table_.fields[static_cast<std::size_t>(index)];
  waitingForFieldExit_ = dataTyped_ = false;
  if (f.Has(kFfwFieldExitRequired) || f.RightAdjust())
    waitingForFieldExit_ = true;
  else if (f.EntersAtEnd())
    PerformKey(k::kEnter);
  else
    Tab();
}

void C5250Engine::Dup() {
  const int index = table_.InputFieldAt(Cursor());
  if (index < 0) {
    OperatorError(kErrNotInField);
    return;
  }
  C5250Field& f = table_.fields[static_cast<std::size_t>(index)];
  if (!f.Has(kFfwDupEnabled)) {
    OperatorError(kErrDupNotAllowed);
    return;
  }
  for (int p = Cursor(); p < f.start + f.DataLength(); ++p) ps_->Put(p, kDup);
  f.SetMdt(true);
  mdtPresent_ = true;
  session_->SetScreenChanged(true);
  Refresh();
  AfterLastCell(index);
}

void C5250Engine::FieldExit(int id) {
  const int cursor = Cursor();
  const int index = table_.InputFieldAt(cursor);
  if (index < 0) {
    OperatorError(kErrNotInField);
    return;
  }
  C5250Field& f = table_.fields[static_cast<std::size_t>(index)];
  if (f.Has(kFfwMandatoryEnter) && !f.Mdt()) {
    OperatorError(kErrNotEntered);
    return;
  }
  const bool minus = id == k::kFieldMinus;
  const bool numericOnly = f.Shift() == kShiftNumericOnly;
  bool changed = false;
  auto put = [&](int p, std::uint8_t b) {
    if (ps_->At(p) == b) return;
    ps_->Put(p, b);
    changed = true;
  };
  if (!(cursor == f.end && waitingForFieldExit_))
    for (int p = cursor; p <= f.end; ++p) put(p, minus && numericOnly ? kBlank : 0);
  if (f.RightAdjust() || f.SignedNumeric()) {
    // Shift the data right over its trailing empty cells, filling from the
    // left; an empty blank-filled field moves at most length - 1 cells.
    const int n = f.DataLength();
    auto empty = [&](int k) { return ps_->At(f.start + k) == 0 || ps_->At(f.start + k) == kBlank; };
    int trailing = 0;
    while (trailing < n && empty(n - 1 - trailing)) ++trailing;
    const bool zeroFill = f.Adjust() == kAdjustZeroFill;
    const int shift = zeroFill ? trailing : std::min(trailing, n - 1);
    if (shift > 0) {
      for (int k = n - 1; k >= shift; --k) put(f.start + k, ps_->At(f.start + k - shift));
      for (int k = 0; k < shift; ++k) put(f.start + k, zeroFill ? kZero : kBlank);
    }
  }
  if (minus && numericOnly) {
    const std::uint8_t last = ps_->At(f.end);
    if (last >= 0xF0 && last <= 0xF9) {
      put(f.end, last & 0xDF);
    } else if (last == kBlank || last == 0) {
      put(f.end, 0xD0);
    } else {
      PlaceCursor(f.end);
      OperatorError(kErrFieldMinus);
      return;
    }
  }
  if (f.SignedNumeric()) put(f.end, minus ? kMinus : kBlank);
  waitingForFieldExit_ = dataTyped_ = false;
  if (changed) {
    f.SetMdt(true);
    mdtPresent_ = true;
    session_->SetScreenChanged(true);
  }
  Refresh();
  if (f.EntersAtEnd())
    PerformKey(k::kEnter);
  else
    Tab();
}

// --------------------------------------------------------- cursor movement

C5250Field* C5250Engine::CursorInputField() {
  const int index = table_.InputFieldAt(Cursor());
  return index < 0 ? nullptr : &table_.fields[static_cast<std::size_t>(index)];
}

int C5250Engine::HomePosition() const {
  if (ic_ != 0) return ic_;
  const int first = table_.FirstInputField();
  return first < 0 ? 0 : table_.fields[static_cast<std::size_t>(first)].start;
}

bool C5250Engine::MoveCursor(int position) {
  position = std::clamp(position, 0, std::max(0, ps_->Size() - 1));
  const int from = table_.InputFieldAt(Cursor());
  if (from >= 0 && from != table_.FieldAt(position) && !LeaveChecks(table_.fields[static_cast<std::size_t>(from)]))
    return false;
  PlaceCursor(position);
  return true;
}

void C5250Engine::PlaceCursor(int position) {
  session_->SetCursorPosition(std::clamp(position, 0, std::max(0, ps_->Size() - 1)), true);
  TrackCursorField();
}

void C5250Engine::TrackCursorField() {
  const int index = table_.FieldAt(Cursor());
  if (index == cursorField_) return;
  Unhighlight();
  waitingForFieldExit_ = dataTyped_ = false;
  cursorField_ = index;
  if (index < 0) return;
  const C5250Field& f = table_.fields[static_cast<std::size_t>(index)];
  if (!f.HasFcw(kSlotHighlight) || f.start == 0) return;
  highlightCell_ = f.start - 1;
  highlightSaved_ = ps_->At(highlightCell_);
  ps_->Put(highlightCell_, static_cast<std::uint8_t>(kAttributeFirst + (f.FcwValue(kSlotHighlight) & 0x1F)));
  Refresh();
}

void C5250Engine::Unhighlight() {
  if (highlightCell_ < 0) return;
  ps_->Put(highlightCell_, highlightSaved_);
  highlightCell_ = -1;
  Refresh();
}

void C5250Engine::SetCursor(int position, bool /*show*/) {
  if (ps_) MoveCursor(position);
}

// Each search looks at the format table once; a screen without input
// fields sends the cursor to the first cell.
void C5250Engine::Tab() {
  const int cursor = Cursor();
  if (const C5250Field* f = CursorInputField(); f && f->HasFcw(kSlotCursorProgression) && !f->HasFcw(kSlotResequence)) {
    const int next = table_.IndexOfNumber(f->FcwValue(kSlotCursorProgression));
    if (next >= 0 && table_.fields[static_cast<std::size_t>(next)].Input()) {
      MoveCursor(table_.fields[static_cast<std::size_t>(next)].start);
      return;
    }
  }
  int next = table_.NextInputField(cursor);
  if (next < 0) next = table_.FirstInputField();
  MoveCursor(next < 0 ? 0 : table_.fields[static_cast<std::size_t>(next)].start);
}

void C5250Engine::Backtab() {
  const int cursor = Cursor();
  const int current = table_.InputFieldAt(cursor);
  if (current >= 0) {
    const C5250Field& f = table_.fields[static_cast<std::size_t>(current)];
    if (cursor != f.start) {
      MoveCursor(f.start);
      return;
    }
    if (cursorProgression_)
      for (const C5250Field& g : table_.fields)
        if (g.Input() && g.HasFcw(kSlotCursorProgression) && g.FcwValue(kSlotCursorProgression) == current + 1) {
          MoveCursor(g.start);
          return;
        }
  }
  int previous = table_.PreviousInputField(cursor);
  if (previous < 0) previous = table_.LastInputField();
  MoveCursor(previous < 0 ? 0 : table_.fields[static_cast<std::size_t>(previous)].start);
}

void C5250Engine::Newline() {
  const int size = ps_->Size(), columns = ps_->Columns();
  const int nextRow = (Cursor() / columns + 1) * columns % size;
  for (const C5250Field& f : table_.fields)
    if (f.Input() && f.start >= nextRow) {
      MoveCursor(f.start);
      return;
    }
  const int first = table_.FirstInputField();
  MoveCursor(first < 0 ? nextRow : table_.fields[static_cast<std::size_t>(first)].start);
}

void C5250Engine::Home() {
  const int home = HomePosition();
  if (Cursor() != home) {
    MoveCursor(home);
    return;
  }
  // At the home position Home is Record Backspace.
  if (KeyAllowed(k::kRecordBackspace)) AidKey(k::kRecordBackspace, kAidRecordBackspace);
}

void C5250Engine::FieldEnd() {
  const C5250Field* f = CursorInputField();
  if (!f) return;
  int end = f->start;  // the cell after the last character that is neither null nor blank
  for (int p = f->start; p <= f->end; ++p)
    if (ps_->At(p) != 0 && ps_->At(p) != kBlank) end = p + 1;
  MoveCursor(std::min(end, f->end));
}

void C5250Engine::Backspace() {
  const int cursor = Cursor(), size = ps_->Size();
  const int current = table_.InputFieldAt(cursor);
  int target = (cursor - 1 + size) % size;
  if (current >= 0 && cursor == table_.fields[static_cast<std::size_t>(current)].start) {
    int previous = table_.PreviousInputField(cursor);
    if (previous < 0) previous = table_.LastInputField();
    target = table_.fields[static_cast<std::size_t>(previous)].end;
  }
  if (!MoveCursor(target)) return;
  if ((session_->Profile().keyboardOptions & kKeyboardDestructiveBackspace) && table_.InputFieldAt(target) >= 0)
    DeleteAt(target);
}

bool C5250Engine::DeleteAt(int position) {
  const int index = table_.InputFieldAt(position);
  if (index < 0) {
    OperatorError(kErrNotInField);
    return false;
  }
  C5250Field& f = table_.fields[static_cast<std::size_t>(index)];
  // The data cells move; a signed-numeric field's sign stays where it is.
  const int end = f.SignedNumeric() && position < f.end ? f.end - 1 : f.end;
  for (int p = position; p < end; ++p) ps_->Put(p, ps_->At(p + 1));
  ps_->Put(end, 0);
  f.SetMdt(true);
  mdtPresent_ = true;
  session_->SetScreenChanged(true);
  Refresh();
  return true;
}

void C5250Engine::EraseEof() {
  const int cursor = Cursor();
  C5250Field* f = CursorInputField();
  if (!f) {
    OperatorError(kErrNotInField);
    return;
  }
  for (int p = cursor; p <= f->end; ++p) ps_->Put(p, 0);
  f->SetMdt(true);
  mdtPresent_ = true;
  session_->SetScreenChanged(true);
  Refresh();
}

void C5250Engine::EraseInput() {
  for (const C5250Field& f : table_.fields)
    if (f.Input() && f.Mdt())
      for (int p = f.start; p <= f.end; ++p) ps_->Put(p, 0);
  session_->SetScreenChanged(true);
  MoveCursor(HomePosition());
  Refresh();
}

void C5250Engine::CursorSelect() {
  const int index = table_.FieldAt(Cursor());
  if (index < 0) return;
  C5250Field& f = table_.fields[static_cast<std::size_t>(index)];
  if (!f.HasFcw(kSlotSelectSecond)) return;
  const CCorvinaCodePage& page = session_->CodePage();
  const std::uint8_t shown = page.ToAscii(ps_->At(f.start));
  if (shown == '?') {
    ps_->Put(f.start, page.ToEbcdic('>'));
    f.SetMdt(true);
    mdtPresent_ = true;
    Refresh();
    if (f.EntersAtEnd()) PerformKey(k::kEnter);
  } else if (shown == '>') {
    ps_->Put(f.start, page.ToEbcdic('?'));
    f.SetMdt(false);
    mdtPresent_ = table_.AnyMdt();
    Refresh();
  }
}

// A word is a run of cells above 0x40.
void C5250Engine::WordRight() {
  const int cursor = Cursor(), columns = ps_->Columns();
  int limit = cursor - cursor % columns + columns - 1;
  if (const int index = table_.FieldAt(cursor); index >= 0)
    limit = std::min(limit, table_.fields[static_cast<std::size_t>(index)].end);
  int p = cursor;
  while (p < limit && ps_->At(p) > kBlank) ++p;
  while (p < limit && ps_->At(p) <= kBlank) ++p;
  MoveCursor(p);
}

void C5250Engine::WordLeft() {
  int p = Cursor();
  while (p > 0 && ps_->At(p - 1) <= kBlank) --p;
  while (p > 0 && ps_->At(p - 1) > kBlank) --p;
  MoveCursor(p);
}

void C5250Engine::WordDelete() {
  const int cursor = Cursor();
  const C5250Field* f = CursorInputField();
  if (!f) {
    OperatorError(kErrNotInField);
    return;
  }
  int count = 0;
  while (cursor + count <= f->end && ps_->At(cursor + count) > kBlank) ++count;
  while (cursor + count <= f->end && ps_->At(cursor + count) == kBlank) ++count;
  for (int n = 0; n < count; ++n) DeleteAt(cursor);
}

}  // namespace corvina
