// The HLLAPI shared area and what goes with it, shared by the emulator's
// server and the client library: the byte layout of the area, the lock, the
// two events and the request message. Everything lives in the per-user
// runtime folder, so only this user reaches it:
//   hllapi.area    the area, a mapped file of exactly kAreaSize bytes, 0600;
//   hllapi.lock    an open-file-description lock (the kernel drops it when
//                  its holder dies);
//   hllapi.events  two futex generation counters (host update, keystroke);
//   hllapi-<id>.sock  one SOCK_SEQPACKET socket per emulator instance, whose
//                  id is what a slot's window field holds.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "session/HllapiRequest.h"

namespace corvina::hllapi {

// ------------------------------------------------------------ the layout

inline constexpr std::size_t kSlotCount = 26;
inline constexpr std::size_t kSlotSize = 42;
inline constexpr std::size_t kRequestLength = 1092;    // u16
inline constexpr std::size_t kRequestPosition = 1094;  // u16
inline constexpr std::size_t kRequestFlags = 1096;     // u32
inline constexpr std::size_t kCapacityWord = 1100;     // u32
inline constexpr std::size_t kDataArea = 1104;
inline constexpr std::size_t kDataCapacity = 65536;
inline constexpr std::size_t kAreaSize = kDataArea + kDataCapacity;  // 66,640
static_assert(kAreaSize == 66640);
static_assert(kSlotCount * kSlotSize == kRequestLength);

// Offsets inside a slot.
inline constexpr std::size_t kSlotWindow = 0;          // u32, 0: free
inline constexpr std::size_t kSlotClientThread = 4;    // u32
inline constexpr std::size_t kSlotCursor = 8;          // u16, 1-based
inline constexpr std::size_t kSlotUpdateFlags = 10;    // u8
inline constexpr std::size_t kSlotInterceptFlags = 11; // u8
inline constexpr std::size_t kSlotTransferState = 12;  // u32
inline constexpr std::size_t kSlotTransferred = 16;    // u32
inline constexpr std::size_t kSlotFileSize = 20;       // u32
inline constexpr std::size_t kSlotStatus = 24;         // 18 bytes
inline constexpr std::size_t kStatusSize = 18;

// Host-update flags.
inline constexpr std::uint8_t kUpdateStarted = 0x80, kUpdateWantPs = 0x40, kUpdateWantOia = 0x20,
                              kUpdatePs = 0x10, kUpdateOia = 0x08;
// Keystroke-intercept flags.
inline constexpr std::uint8_t kInterceptStarted = 0x80, kInterceptAidOnly = 0x40;

// Function numbers the emulator answers.
enum Function : int {
  kConnect = 1, kDisconnect = 2, kSendKey = 3, kWait = 4, kCopyPs = 5, kSearchPs = 6, kQueryCursor = 7,
  kCopyPsToString = 8, kSetParameters = 9, kQuerySessions = 10, kReserve = 11, kRelease = 12, kCopyOia = 13,
  kQueryFieldAttribute = 14, kCopyStringToPs = 15, kPause = 18, kQuerySystem = 20, kResetSystem = 21,
  kQueryStatus = 22, kStartHostNotify = 23, kQueryHostUpdate = 24, kStopHostNotify = 25, kSearchField = 30,
  kFindFieldPosition = 31, kFindFieldLength = 32, kCopyStringToField = 33, kCopyFieldToString = 34,
  kSetCursor = 40, kStartIntercept = 50, kGetKey = 51, kPostIntercept = 52, kStopIntercept = 53,
  kSendFile = 90, kReceiveFile = 91, kConvertPosition = 99,
};

// Little-endian accessors: the area is packed, so no field is aligned.
inline std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
// The flags bytes are changed by both sides without the lock.
inline std::uint8_t LoadByte(const std::uint8_t* p) { return __atomic_load_n(p, __ATOMIC_SEQ_CST); }
inline void StoreByte(std::uint8_t* p, std::uint8_t v) { __atomic_store_n(p, v, __ATOMIC_SEQ_CST); }
inline std::uint8_t OrByte(std::uint8_t* p, std::uint8_t v) { return __atomic_fetch_or(p, v, __ATOMIC_SEQ_CST); }
inline std::uint8_t AndByte(std::uint8_t* p, std::uint8_t v) { return __atomic_fetch_and(p, v, __ATOMIC_SEQ_CST); }

// --------------------------------------------------- the request message

// Client to server: the letter, a zero byte, the function number (u16).
// Server to client: the return code (u16), two zero bytes.
inline constexpr std::size_t kMessageSize = 4;

// The two events.
enum Event : int { kHostUpdateEvent = 0, kKeystrokeEvent = 1 };
enum class WaitResult { kWoken, kTimedOut, kInterrupted };

std::string SocketPath(const std::string& folder, std::uint32_t instance);

// The area, the lock and the events of one process, opened in a folder that
// platform::PreparePrivateFolder accepts.
class CHllapiArea {
 public:
  CHllapiArea() = default;
  ~CHllapiArea();
  CHllapiArea(const CHllapiArea&) = delete;
  CHllapiArea& operator=(const CHllapiArea&) = delete;

  // Creates or opens and maps the three files. A file that another user
  // owns, that others may use, that is a link or not a regular file, or an
  // area of another size, is refused. False, with the cause, on failure.
  bool Open(const std::string& folder, std::string* cause);
  void Close();
  bool IsOpen() const { return area_ != nullptr; }

  std::uint8_t* Bytes() { return area_; }
  std::uint8_t* Slot(int index) { return area_ + static_cast<std::size_t>(index) * kSlotSize; }
  std::uint8_t* Data() { return area_ + kDataArea; }

  // The lock. TryLock never waits; Lock waits in short slices up to the
  // limit (false: not taken). Holding it twice is holding it once.
  bool TryLock();
  bool Lock(std::chrono::milliseconds limit);
  void Unlock();
  bool Locked() const { return locked_; }

  // Events: a pulse wakes every waiter; a waiter reads the generation while
  // it holds the lock, releases it, then waits for a change, so no pulse in
  // between is missed.
  std::uint32_t Generation(Event e) const;
  void Pulse(Event e);
  WaitResult Wait(Event e, std::uint32_t seen, std::chrono::milliseconds limit);

 private:
  int areaFd_ = -1, lockFd_ = -1, eventsFd_ = -1;
  std::uint8_t* area_ = nullptr;
  std::uint32_t* events_ = nullptr;
  bool locked_ = false;
};

// Whether the emulator instance with that id still serves: its socket takes
// a connection. Never waits.
bool InstanceAlive(const std::string& folder, std::uint32_t instance);

// Claims the slot of the letter for the instance under the lock (held for at
// most `limit`): free, held by an instance that no longer serves, or held
// by this instance already. True when the slot is this instance's now.
enum class ClaimResult { kClaimed, kInUse, kBusy };
ClaimResult ClaimSlot(CHllapiArea& area, const std::string& folder, char letter, std::uint32_t instance,
                      std::chrono::milliseconds limit);
// Clears the slot when it is this instance's; false when the lock was busy.
bool ReleaseSlot(CHllapiArea& area, char letter, std::uint32_t instance, std::chrono::milliseconds limit);

}  // namespace corvina::hllapi
