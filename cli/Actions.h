// The keyboard steps of corvina-cli (--type, --key, --press, --macro,
// --wait-unlock, --wait-text), played in order on the command line's session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvina {
class CHostSession;
}

namespace corvina::cli {

struct CliStep {
  enum Kind { kType, kKey, kWaitUnlock, kWaitText, kPress, kMacro };
  Kind kind;
  // The text typed or waited for, the key function's name, the key text
  // pressed or the macro's name.
  std::string value;
  bool operator==(const CliStep&) const = default;
};

class CActionRunner {
 public:
  enum class Result { kWaiting, kDone, kFailed };

  CActionRunner(std::vector<CliStep> steps, std::int64_t timeoutMs) : steps_(std::move(steps)), timeoutMs_(timeoutMs) {}

  // Plays every step that can run now. A step that types, presses a key
  // or plays a macro first waits until the host has drawn a screen and the
  // keyboard is unlocked; after a key that locked it, the next step waits
  // for the host's answer, and after a macro until it has played.
  // `session` is null until the session exists.
  Result Poll(CHostSession* session, std::int64_t nowMs, std::string* error);
  bool Empty() const { return steps_.empty(); }

 private:
  static bool Ready(CHostSession& s);
  static bool ScreenHolds(CHostSession& s, const std::string& text);

  std::vector<CliStep> steps_;
  std::size_t next_ = 0;
  std::int64_t timeoutMs_;
  std::int64_t stepStartMs_ = -1;
  bool macroStarted_ = false;  // the current step's macro is playing
};

}  // namespace corvina::cli
