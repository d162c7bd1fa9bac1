// What the session's engines see of an HLLAPI request: the request fields
// of an engine-specific function and the return codes they answer with.
#pragma once

#include <cstdint>
#include <span>

namespace corvina {

// Query Field Attribute, Copy String to Presentation Space, Find Field
// Position and Length, Copy String to Field, the file transfers.
struct HllapiRequest {
  std::uint16_t length = 0;    // in: a length or count; out: the answer value
  std::uint16_t position = 0;  // a 1-based position
  std::uint32_t flags = 0;     // the client's option flags
  std::span<const std::uint8_t> data;  // the request string, as long as it is
};

namespace hllapi {

// Option flag bits the emulator reads.
inline constexpr std::uint32_t kFlagFieldMode = 0x1, kFlagDisplay = 0x20000, kFlagCfgSize = 0x40000,
                               kFlagNewOia = 0x80000, kFlagXlate = 0x200000, kFlagEab = 0x400000,
                               kFlagNoReset = 0x1000000, kFlagAttrb = 0x8000000;

// Return codes.
enum Code : int {
  kOk = 0, kNotConnected = 1, kParameterError = 2, kTransferEnded = 3, kBusy = 4, kInhibited = 5,
  kTruncated = 6, kBadPosition = 7, kNotStarted = 8, kSystemError = 9, kNotSupported = 10,
  kResourceUnavailable = 11, kBadKey = 20, kOiaUpdated = 21, kPsUpdated = 22, kBothUpdated = 23,
  kNotFound = 24, kNoKeys = 25, kHostEvent = 26, kTransferTimedOut = 27, kZeroLength = 28,
  kFileNotFound = 302, kFileOpenFailed = 305, kTransferRefused = 310,
};

}  // namespace hllapi
}  // namespace corvina
