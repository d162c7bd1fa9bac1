// The operator information area: one text line under the screen telling the
// keyboard state, the session, the cursor position, the response time and
// the time of day. Shared by the 3270, 5250 and VT engines.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvina {

// Keyboard lock reasons.
enum LockReason : int {
  kUnlocked = 0,
  kLockWaitingForHost = 1,
  kLockSystemWait = 2,
  kLockProgramCheckReason = 3,
  kLockTypeAheadFull = 4,
  kLockMinusFunctionReason = 5,
  kLockProtectedField = 6,
  kLockInsertFieldFull = 7,
  kLockNumericField = 8,
};

// The OIA text of a lock reason; empty when unlocked. `aidName` is the name
// of the AID key that is waiting (reason 1), `programCheck` the number of
// the program check (reason 3).
std::string LockText(int reason, std::string_view aidName, int programCheck);

struct OiaStatus {
  bool extended = false;  // the extended 3270 protocol is on
  bool sscpLu = false;    // ... and the session is an SSCP-LU session
  std::string lockText;   // empty: the keyboard is unlocked
  bool scrollBack = false;
  int sessionNumber = 0;
  std::string sessionName;
  bool insertMode = false;
  int cursorRow = 0, cursorColumn = 0;  // from 0
  int columns = 80;
  std::int64_t responseMs = -1;  // -1: nothing to show
  std::int64_t wallSeconds = 0;  // for the time of day and the date
  std::string deviceName;        // shown instead of the date when set
};

// The response times of the AIDs a session sent: from the AID to the host's
// answer that restored the keyboard.
class ResponseTimes {
 public:
  void Start(std::int64_t nowMs) { startedMs_ = nowMs; }
  // Ends a running measurement and counts it.
  void Stop(std::int64_t nowMs);
  bool Running() const { return startedMs_ >= 0; }
  // The time waited so far while running, else the last response (-1: none).
  std::int64_t Shown(std::int64_t nowMs) const { return Running() ? nowMs - startedMs_ : lastMs_; }
  std::int64_t Last() const { return lastMs_; }
  std::int64_t Longest() const { return longestMs_; }
  std::int64_t Average() const;
  // Responses that took 0, 1, ..., 9 seconds, and 10 seconds or more.
  const std::array<int, 11>& Distribution() const { return counts_; }
  // "mm:ss.t" for the distribution window.
  static std::string Format(std::int64_t ms);

 private:
  std::int64_t startedMs_ = -1;
  std::int64_t lastMs_ = -1, longestMs_ = 0, totalMs_ = 0;
  std::array<int, 11> counts_{};
};

// The line, at least 80 characters and padded with blanks to `width`.
std::string FormatOiaLine(const OiaStatus& status, int width);

}  // namespace corvina
