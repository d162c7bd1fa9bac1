#include "session/Oia.h"

#include <time.h>

#include <algorithm>

#include "platform/Format.h"
#include "session/SessionTexts.h"

namespace corvina {

using platform::Format;

std::string LockText(int reason, std::string_view aidName, int programCheck) {
  switch (reason) {
    case kLockWaitingForHost:
      return aidName.empty() ? std::string(texts::kLockSystem) : std::string(aidName);
    case kLockSystemWait:
      return texts::kLockSystem;
    case kLockProgramCheckReason:
      return Format(texts::kLockProgramCheck, programCheck);
    case kLockTypeAheadFull:
      return texts::kLockTypeAhead;
    case kLockMinusFunctionReason:
      return texts::kLockMinusFunction;
    case kLockProtectedField:
      return texts::kLockProtected;
    case kLockInsertFieldFull:
      return texts::kLockFieldFull;
    case kLockNumericField:
      return texts::kLockNumeric;
    default:
      return {};
  }
}

void ResponseTimes::Stop(std::int64_t nowMs) {
  if (!Running()) return;
  lastMs_ = std::max<std::int64_t>(0, nowMs - startedMs_);
  startedMs_ = -1;
  longestMs_ = std::max(longestMs_, lastMs_);
  totalMs_ += lastMs_;
  ++counts_[static_cast<std::size_t>(std::min<std::int64_t>(lastMs_ / 1000, 10))];
}

std::int64_t ResponseTimes::Average() const {
  int responses = 0;
  for (int c : counts_) responses += c;
  return totalMs_ / std::max(1, responses);
}

std::string ResponseTimes::Format(std::int64_t ms) {
  return platform::Format(texts::kResponseTimeShort, static_cast<int>(std::min<std::int64_t>(ms / 60000, 99)),
                          static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000 / 100));
}

std::string FormatOiaLine(const OiaStatus& s, int width) {
  std::string line(static_cast<std::size_t>(std::max(80, width)), ' ');
  auto put = [&line](std::size_t column, std::string_view text, std::size_t most) {
    line.replace(column, std::min(text.size(), most), text.substr(0, most));
  };
  line[0] = 'T';
  line[1] = s.extended ? 'B' : 'A';
  line[2] = s.sscpLu ? '!' : '\x7F';
  if (!s.lockText.empty())
    put(8, texts::kOiaLocked + s.lockText, 11);
  else if (s.scrollBack)
    put(8, texts::kOiaScrollBack, 11);
  std::string name = Format(texts::kOiaSession, s.sessionNumber, s.sessionName.c_str());
  if (name.size() > 26) name = name.substr(0, 23) + "...";
  put(20, name, 26);
  if (s.insertMode) line[47] = '^';
  put(49, Format(s.columns >= 100 ? texts::kOiaCursorWide : texts::kOiaCursor, s.cursorRow + 1, s.cursorColumn + 1), 7);
  if (s.responseMs >= 0) {
    std::int64_t ms = s.responseMs;
    put(56, Format(texts::kOiaResponseTime, static_cast<int>(std::min<std::int64_t>(ms / 60000, 99)),
                   static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)), 9);
  }
  time_t t = static_cast<time_t>(s.wallSeconds);
  tm local{};
  localtime_r(&t, &local);
  char buf[32];
  if (strftime(buf, sizeof buf, texts::kOiaTimeOfDay, &local) > 0) put(66, buf, 6);
  if (!s.deviceName.empty())
    put(72, s.deviceName, 8);
  else if (strftime(buf, sizeof buf, texts::kOiaDate, &local) > 0)
    put(72, buf, 8);
  return line;
}

}  // namespace corvina
