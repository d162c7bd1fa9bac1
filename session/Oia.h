// The operator information area: one text line under the screen telling the
// keyboard state, the session, the cursor position, the response time and
// the time of day. Shared by the 3270, 5250 and VT engines.
#pragma once

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

// The line, at least 80 characters and padded with blanks to `width`.
std::string FormatOiaLine(const OiaStatus& status, int width);

}  // namespace corvina
