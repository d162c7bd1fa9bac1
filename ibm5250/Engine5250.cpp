#include "ibm5250/Engine5250.h"

#include <algorithm>

#include "ibm5250/DataStream.h"
#include "session/HostSession.h"
#include "session/Oia.h"

namespace corvina {

using namespace ds5250;

// ------------------------------------------------------------------ lifecycle

void C5250Engine::Start(CHostSession& session) {
  session_ = &session;
  ps_.emplace();
  ps_->Allocate(session.AlternateRows(), session.AlternateColumns());
  ps_->SetSize(session.DefaultRows(), session.DefaultColumns());
  session.SetSize(ps_->Rows(), ps_->Columns());
  session.Record().reserve(static_cast<std::size_t>(ps_->Size()) + kHeaderLength);
  table_.Reset(ps_->Rows());
  savedTable_.reset();
  errorSaved_.reset();
  requestSaved_.reset();
  pendingAid_ = shownAid_ = readCommand_ = readCc1_ = readCc2_ = 0;
  invited_ = messageLight_ = blinkingCursor_ = mdtPresent_ = cursorProgression_ = false;
  opcode_ = 0;
  address_ = ic_ = errorCode_ = 0;
  waitingForFieldExit_ = dataTyped_ = alarmPending_ = false;
  cursorField_ = highlightCell_ = -1;
  model_ = RenderModel{};
  // Power-on: one field over the whole screen after the first cell, so the
  // operator can type before the host writes. It gets a field format word
  // (alpha shift) since a field without one takes no input.
  ps_->Put(0, kAttributeNormal);
  table_.header[0] = kMaxHeaderLength;
  table_.header[C5250FormatTable::kErrorRowByte] = 1;
  if (ps_->Size() > 1) {
    C5250Field field;
    field.start = 1;
    field.end = ps_->Size() - 1;
    field.length = field.end;
    field.ffw = kFfwMark;
    table_.fields.push_back(field);
  }
  state_ = kStatePowerOn;
  session.SetLockReason(kUnlocked);
  session.SetInsertMode(false);
  PlaceCursor(std::min(1, ps_->Size() - 1));
  session.SetScreenChanged(false);  // nothing the host wrote
  Refresh();
}

void C5250Engine::Stop() {
  if (!ps_) return;
  ps_.reset();
  table_ = C5250FormatTable{};
  savedTable_.reset();
  model_ = RenderModel{};
}

// ------------------------------------------------------------ record intake

void C5250Engine::ProcessRecord(std::span<const std::uint8_t> record) {
  if (!ps_ || record.empty()) return;
  // The header must be whole and its length field must tell the truth;
  // nothing of a record that fails is read.
  if (record.size() < kHeaderLength || ((std::size_t{record[0]} << 8) | record[1]) != record.size()) {
    SendError(kErrorLength);
    return;
  }
  opcode_ = record[kOpcodeOffset];
  Reader r{record, kHeaderLength};
  switch (opcode_) {
    case kOpNoOperation:
      return;
    case kOpCancelInvite: {
      invited_ = false;
      session_->QueueOutputEscaped(record);
      const std::uint8_t eor[] = {telnet::IAC, telnet::EOR};
      session_->QueueOutput(eor);
      return;
    }
    case kOpMessageLightOn:
    case kOpMessageLightOff:
      messageLight_ = opcode_ == kOpMessageLightOn;
      if (messageLight_) HostAlarm();
      Refresh();
      return;
    case kOpInvite:
    case kOpOutputOnly:
    case kOpPutGet:
    case kOpSaveScreen:
    case kOpRestoreScreen:
    case kOpReadImmediate:
    case kOpReadScreen:
      // Host output ends a system request the operator was typing.
      if (state_ == kStateSystemRequest) EndSystemRequest(false);
      ProcessCommands(r);
      break;
    default:
      SendError(kErrorNotSupported);
      return;
  }
  TrackCursorField();
  Refresh();
  if (!Locked() && session_->TypeAheadPending()) session_->RequestTypeAheadReplay();
}

void C5250Engine::ProcessCommands(Reader& r) {
  while (!r.AtEnd()) {
    if (r.Take() != kEscape) {
      SendError(kErrorNotSupported);
      return;
    }
    if (!r.Has(1)) {
      SendError(kErrorLength);
      return;
    }
    const std::uint8_t command = r.Take();
    if (!OperationAccepts(opcode_, command)) {
      SendError(kErrorNotSupported);
      return;
    }
    if (const Failure failure = Command(command, r); failure != kOk) {
      SendError(failure);
      return;
    }
  }
}

C5250Engine::Failure C5250Engine::Command(std::uint8_t command, Reader& r) {
  CHostSession& s = *session_;
  switch (command) {
    case kClearUnit:
    case kClearUnitRestore:
      ClearUnit(s.DefaultRows(), s.DefaultColumns());
      return kOk;
    case kClearUnitAlternate:
      if (!r.Has(1)) return kErrorLength;
      r.Take();
      ClearUnit(s.AlternateRows(), s.AlternateColumns());
      return kOk;
    case kClearFormatTable:
      ClearFormatTable();
      return kOk;
    case kWriteToDisplay:
      return WriteToDisplay(r);
    case kWriteErrorCode:
      return WriteErrorCode(r);
    case kRoll:
      return Roll(r);
    case kWriteStructuredField:
      return WriteStructuredField(r);
    case kReadInputFields:
    case kReadMdtFields:
    case kReadMdtAlternate: {
      if (!r.Has(2)) return kErrorLength;
      const std::uint8_t cc1 = r.Take(), cc2 = r.Take();
      ReadCommand(command, cc1, cc2);
      return kOk;
    }
    case kReadImmediate:
      SendReadResponse(kReadInputFields, kAidNone);
      return kOk;
    case kReadMdtImmediateAlternate:
      SendReadResponse(kReadMdtAlternate, kAidNone);
      return kOk;
    case kReadScreen: {
      std::vector<std::uint8_t> cells;
      for (int p = 0; p < ps_->Size(); ++p) cells.push_back(ps_->At(p));
      SendRecord(0, cells);
      return kOk;
    }
    case kSaveScreen:
      SendRecord(0, SaveScreenImage());
      return kOk;
    default:
      return kErrorNotSupported;
  }
}

// --------------------------------------------------------- clearing, locks

void C5250Engine::ClearUnit(int rows, int columns) {
  Unhighlight();
  ps_->SetSize(rows, columns);
  session_->SetSize(ps_->Rows(), ps_->Columns());
  ClearFormatTable();
  ps_->Clear();
  ps_->Put(0, kAttributeNormal);
  address_ = 0;
  ic_ = 0;
  pendingAid_ = 0;
  PlaceCursor(std::min(1, ps_->Size() - 1));
  session_->SetScreenChanged(true);
  Refresh();
}

void C5250Engine::ClearFormatTable() {
  Unhighlight();
  table_.Reset(ps_->Rows());
  savedTable_.reset();
  errorSaved_.reset();
  requestSaved_.reset();
  HostLock();
  state_ = kStateHostLocked;  // an error shown is gone with its saved row
  session_->SetInsertMode(false);
  ps_->DropErrorLine();
  ic_ = 0;
  mdtPresent_ = cursorProgression_ = false;
  waitingForFieldExit_ = dataTyped_ = false;
  cursorField_ = -1;
}

// An error the operator has not reset stays: the keyboard is locked either way.
void C5250Engine::HostLock() {
  pendingAid_ = 0;
  if (state_ != kStateError && state_ != kStateHelpInError) state_ = kStateHostLocked;
  session_->SetLockReason(kLockSystemWait);
}

void C5250Engine::ApplyCc1(std::uint8_t cc1) {
  const unsigned action = cc1 >> 5;
  if (action == 0) return;
  HostLock();
  const bool nullModified = action == 4 || action == 6, nullAll = action == 5 || action == 7;
  const bool resetInput = action == 2 || action == 5 || action == 6, resetAll = action == 3 || action == 7;
  for (C5250Field& f : table_.fields) {
    if (!f.HasFfw()) continue;
    if (f.Input() && (nullAll || (nullModified && f.Mdt())))
      for (int p = f.start; p <= f.end; ++p) HostWrite(p, 0);
    if (resetAll || (resetInput && f.Input())) f.SetMdt(false);
  }
  mdtPresent_ = mdtPresent_ && table_.AnyMdt();
}

void C5250Engine::ApplyCc2(std::uint8_t cc2) {
  if (!(session_->Profile().terminalOptions & kTermDisableNonBlinkCursor)) {
    if (cc2 & 0x20) blinkingCursor_ = false;
    if (cc2 & 0x10) blinkingCursor_ = true;
  }
  if ((cc2 & 0x08) && Locked()) Unlock();
  if (cc2 & 0x04) HostAlarm();
  if (cc2 & 0x02) messageLight_ = false;
  if (cc2 & 0x01) messageLight_ = true;
}

// The host's unlock ends an error as Reset does, so that the row's saved
// copy never outlives it.
void C5250Engine::Unlock() {
  if (state_ == kStateError || state_ == kStateHelpInError) {
    ps_->RestoreErrorLine();
    errorSaved_.reset();
  }
  state_ = kStateNormal;
  session_->SetInsertMode(false);
  session_->SetLockReason(kUnlocked);
  pendingAid_ = 0;
  session_->Responses().Stop(session_->Clock().MonotonicMs());
  Refresh();
}

bool C5250Engine::Locked() const { return session_->LockReason() != kUnlocked; }

void C5250Engine::HostAlarm() {
  if (session_->Profile().hostOptions & kHostSuppressAlarms) return;
  if (session_->Frame().IsVisible(*session_))
    session_->Ui().Beep(platform::BeepKind::Default);
  else
    alarmPending_ = true;
}

void C5250Engine::OperatorAlarm() {
  session_->KeyRefused();
  if (session_->Profile().keyboardOptions & kKeyboardSuppressErrorAlarm) return;
  session_->Ui().Beep(platform::BeepKind::Exclamation);
}

void C5250Engine::Refresh() { session_->Frame().ScreenChanged(*session_); }

// ------------------------------------------------------------ records out

// The record goes through the session's output buffer, which doubles every
// 0xFF byte (the length bytes too) once; IAC EOR ends it.
void C5250Engine::SendRecord(std::uint8_t flags, std::span<const std::uint8_t> data, std::uint8_t opcode) {
  const auto header = OutboundHeader(opcode, flags);
  std::vector<std::uint8_t> record(header.begin(), header.end());
  record.insert(record.end(), data.begin(), data.end());
  if (record.size() > kMaxRecordLength) return;  // the builders keep within it
  record[0] = static_cast<std::uint8_t>(record.size() >> 8);
  record[1] = static_cast<std::uint8_t>(record.size() & 0xFF);
  session_->QueueOutputEscaped(record);
  const std::uint8_t eor[] = {telnet::IAC, telnet::EOR};
  session_->QueueOutput(eor);
}

void C5250Engine::SendError(Failure code) {
  const std::uint8_t data[] = {static_cast<std::uint8_t>(code >> 24), static_cast<std::uint8_t>(code >> 16),
                               static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
  SendRecord(kFlagError, data);
}

}  // namespace corvina
