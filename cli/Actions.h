// The keyboard steps of corvina-cli (--type, --key, --press, --macro,
// --wait-unlock, --wait-text), played in order on the command line's session.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvina {
class CHostSession;
}

namespace corvina::cli {

struct CliStep {
  enum Kind { kType, kKey, kWaitUnlock, kWaitText, kPress, kMacro, kSend, kReceive, kSaveScreen };
  Kind kind;
  // The text typed or waited for, the key function's name, the key text
  // pressed or the macro's name; for a transfer the PC file; the file a
  // screen is saved to.
  std::string value;
  std::string hostFile = {};   // a transfer's host file
  std::string ftOptions = {};  // a transfer's --ft-options, as given
  bool operator==(const CliStep&) const = default;
};

class CTransferProgressLine;

class CActionRunner {
 public:
  enum class Result { kWaiting, kDone, kFailed };

  CActionRunner(std::vector<CliStep> steps, std::int64_t timeoutMs, bool quiet = false);
  ~CActionRunner();

  // Plays every step that can run now. A step that types, presses a key
  // or plays a macro first waits until the host has drawn a screen and the
  // keyboard is unlocked; after a key that locked it, the next step waits
  // for the host's answer, and after a macro until it has played. A
  // transfer runs until it ends; its wait times out only when no data moved
  // for the step time-out.
  // `session` is null until the session exists.
  Result Poll(CHostSession* session, std::int64_t nowMs, std::string* error);
  bool Empty() const { return steps_.empty(); }
  // Save As of the screen to the file (--save-screen); false when nothing
  // was written (the user was told).
  std::function<bool(CHostSession& session, const std::string& file)> saveScreenAs;

 private:
  static bool Ready(CHostSession& s);
  static bool ScreenHolds(CHostSession& s, const std::string& text);
  bool StartTransfer(CHostSession& s, const CliStep& step, std::string* error);

  std::vector<CliStep> steps_;
  std::size_t next_ = 0;
  std::int64_t timeoutMs_;
  std::int64_t stepStartMs_ = -1;
  bool macroStarted_ = false;  // the current step's macro is playing
  bool quiet_ = false;
  std::unique_ptr<CTransferProgressLine> transfer_;  // the current step's transfer
};

}  // namespace corvina::cli
