#include "cli/Actions.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "filetransfer/FileTransfer.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyText.h"
#include "keyboard/KeyboardMap.h"
#include "platform/Clock.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "session/HostSession.h"

namespace corvina::cli {

// The progress window of a command-line transfer: one line on standard
// error, rewritten at most four times a second, with the bytes and the rate.
class CTransferProgressLine final : public filetransfer::TransferObserver {
 public:
  CTransferProgressLine(std::string what, bool quiet)
      : what_(std::move(what)), quiet_(quiet), tty_(::isatty(2) == 1),
        startMs_(platform::SystemClock::Instance().MonotonicMs()) {}
  ~CTransferProgressLine() override {
    if (session_) filetransfer::DetachFileTransferObserver(*session_, this);
  }
  void Attach(CHostSession& s) { session_ = &s; }
  void Progress(const filetransfer::TransferProgress& p) override {
    total_ = p.total;
    size_ = p.get ? -1 : p.fileSize;
    lastMoveMs_ = platform::SystemClock::Instance().MonotonicMs();
    if (lastMoveMs_ - shownMs_ >= 250) Show(false);
  }
  void Ended(const filetransfer::TransferOutcome& outcome) override {
    outcome_ = outcome;
    total_ = outcome.total;
    ended_ = true;
    // The next step waits for the screen the host draws after the transfer.
    if (session_) session_->SetScreenChanged(false);
    session_ = nullptr;
    Show(true);
  }
  bool Over() const { return ended_; }
  const filetransfer::TransferOutcome& Outcome() const { return outcome_; }
  std::int64_t LastMoveMs() const { return lastMoveMs_; }

 private:
  void Show(bool last) {
    const std::int64_t now = platform::SystemClock::Instance().MonotonicMs();
    shownMs_ = now;
    if (quiet_) return;
    const double seconds = std::max<std::int64_t>(now - startMs_, 1) / 1000.0;
    const double rate = total_ / seconds;
    std::string line = what_ + ": " + std::to_string(total_);
    if (size_ >= 0) line += platform::Format(" of %ld bytes (%ld%%)", size_, size_ ? total_ * 100 / size_ : 100L);
    else line += " bytes";
    line += rate >= 1 << 20 ? platform::Format(", %.1f MiB/s", rate / (1 << 20)) : platform::Format(", %.1f KiB/s", rate / 1024);
    if (tty_) std::fprintf(stderr, "\r%s\033[K%s", line.c_str(), last ? "\n" : "");
    else if (last || now - printedMs_ >= 1000) {
      std::fprintf(stderr, "%s\n", line.c_str());
      printedMs_ = now;
    }
    std::fflush(stderr);
  }

  std::string what_;
  bool quiet_, tty_;
  std::int64_t startMs_, shownMs_ = 0, printedMs_ = 0, lastMoveMs_ = 0;
  long total_ = 0, size_ = -1;
  bool ended_ = false;
  filetransfer::TransferOutcome outcome_;
  CHostSession* session_ = nullptr;
};

CActionRunner::CActionRunner(std::vector<CliStep> steps, std::int64_t timeoutMs, bool quiet)
    : steps_(std::move(steps)), timeoutMs_(timeoutMs), quiet_(quiet) {}

CActionRunner::~CActionRunner() = default;

bool CActionRunner::StartTransfer(CHostSession& s, const CliStep& step, std::string* error) {
  const bool send = step.kind == CliStep::kSend;
  filetransfer::CTransferRequest request;
  if (!filetransfer::CommandLineRequest(s.Profile().fileTransfer,
                                        send ? filetransfer::Direction::kPut : filetransfer::Direction::kGet,
                                        step.value, step.hostFile, step.ftOptions, request, error))
    return false;
  transfer_ = std::make_unique<CTransferProgressLine>((send ? "Sending " : "Receiving ") + step.value, quiet_);
  const int result = filetransfer::StartFileTransfer(s, request, transfer_.get());
  if (result != filetransfer::kStartSent) {
    *error = filetransfer::StartFailureText(result);
    transfer_.reset();
    return false;
  }
  if (!quiet_) std::fprintf(stderr, "%s\n", platform::Latin1ToUtf8(filetransfer::HostCommand(request)).c_str());
  transfer_->Attach(s);
  return true;
}

bool CActionRunner::Ready(CHostSession& s) {
  return s.State() == kSocketConnected && s.EngineRunning() && s.Mode() == s.ConfiguredKind() &&
         s.LockReason() == 0 && s.ScreenChangedFlag() && !s.TypeAheadPending();
}

bool CActionRunner::ScreenHolds(CHostSession& s, const std::string& text) {
  for (const std::string& row : s.ScreenRows())
    if (row.find(text) != std::string::npos) return true;
  return false;
}

CActionRunner::Result CActionRunner::Poll(CHostSession* session, std::int64_t nowMs, std::string* error) {
  while (next_ < steps_.size()) {
    const CliStep& step = steps_[next_];
    if (stepStartMs_ < 0) stepStartMs_ = nowMs;
    if (transfer_) {
      if (!transfer_->Over()) {
        if (nowMs - std::max(stepStartMs_, transfer_->LastMoveMs()) < timeoutMs_) return Result::kWaiting;
        if (session) {
          filetransfer::CancelFileTransfer(*session);
          filetransfer::CancelFileTransfer(*session);
        }
        *error = "Timed out waiting for the file transfer";
        transfer_.reset();
        return Result::kFailed;
      }
      const filetransfer::TransferOutcome outcome = transfer_->Outcome();
      transfer_.reset();
      if (!outcome.success) {
        *error = filetransfer::OutcomeFailure(outcome);
        return Result::kFailed;
      }
      if (!quiet_ && !outcome.message.empty()) std::fprintf(stderr, "%s\n", platform::Latin1ToUtf8(outcome.message).c_str());
      ++next_;
      stepStartMs_ = -1;
      continue;
    }
    const bool ready = session && (step.kind == CliStep::kWaitText ? ScreenHolds(*session, step.value)
                                   : macroStarted_               ? !session->MacroPlaying()
                                                                 : Ready(*session));
    if (!ready) {
      if (nowMs - stepStartMs_ < timeoutMs_) return Result::kWaiting;
      static constexpr const char* kWhat[] = {"to type",           "to press a key", "for the keyboard to unlock",
                                              "for the text",      "to press a key", "to play the macro",
                                              "to start the transfer", "to start the transfer"};
      *error = platform::Format("Timed out waiting %s", macroStarted_ ? "for the macro to end" : kWhat[step.kind]) +
               (step.kind == CliStep::kWaitText ? " \"" + step.value + "\"" : std::string());
      return Result::kFailed;
    }
    if (macroStarted_) {
      macroStarted_ = false;
    } else if (step.kind == CliStep::kType) {
      session->TypeText(step.value);
    } else if (step.kind == CliStep::kKey) {
      const int id = KeyFunctionIdByTypedName(session->Mode(), step.value);
      // A system command (HostPrintScreen, ...) is performed as its menu command.
      const int command = id < 0 ? KeyFunctionIdByName(0, step.value) : -1;
      if (id < 0 && command < 0) {
        *error = "Unknown key function \"" + step.value + "\" (corvina-cli --list-keys lists them)";
        return Result::kFailed;
      }
      if (id >= 0)
        session->OnKeyFunction(id);
      else
        session->Frame().SystemCommand(*session, command, 0);
    } else if (step.kind == CliStep::kPress) {
      const std::optional<KeyCode> key = ParseKeyText(step.value);
      if (!key || !session->OnKeyEvent(key->virtualKey, key->modifiers)) {
        // A key the map leaves alone types its character, as at a keyboard.
        const std::optional<char> c = key ? CharacterOfKey(*key) : std::nullopt;
        if (!c) {
          *error = "The key " + step.value + " is not assigned in the keyboard map \"" +
                   session->KeyboardMap().name + "\" (corvina-cli --show-map shows the map)";
          return Result::kFailed;
        }
        session->TypeText(std::string(1, *c));
      }
    } else if (step.kind == CliStep::kSend || step.kind == CliStep::kReceive) {
      if (!StartTransfer(*session, step, error)) return Result::kFailed;
      stepStartMs_ = nowMs;
      continue;
    } else if (step.kind == CliStep::kMacro) {
      if (!session->PlayMacro(step.value)) {
        *error = "The macro \"" + step.value + "\" could not be played";
        return Result::kFailed;
      }
      if (session->MacroPlaying()) {
        macroStarted_ = true;
        stepStartMs_ = nowMs;
        continue;
      }
    }
    // The host's answer comes with the next screen.
    const bool pressed = step.kind == CliStep::kKey || step.kind == CliStep::kPress || step.kind == CliStep::kMacro;
    if (pressed && session->LockReason() != 0) session->SetScreenChanged(false);
    ++next_;
    stepStartMs_ = -1;
  }
  return Result::kDone;
}

}  // namespace corvina::cli
