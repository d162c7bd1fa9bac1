// libtallis: the WinHLLAPI entry points. Each call checks and marshals its
// parameters, takes the shared area's lock, forwards the request to the
// emulator instance that owns the named session and unmarshals the answer.
// One process-wide mutex keeps the threads of a process apart; both it and
// the area's lock are let go while a call sleeps or waits.
#include "tallis.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "automation/HllapiArea.h"
#include "platform/LocalSocket.h"
#include "platform/UserFolders.h"

namespace corvina::hllapi {

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// A holder never keeps the lock longer than one request takes: a lock held
// this long belongs to a stopped or stuck process.
constexpr milliseconds kLockLimit{3000};
// The longest an instance may take to answer one request.
constexpr int kAnswerLimitMs = 10'000;
constexpr milliseconds kWaitSlice{500};
constexpr milliseconds kWaitLimit{60'000};

// Option flags of Set Session Parameters.
constexpr std::uint32_t kStrEot = 0x40000000, kSrchFrom = 0x20000000, kSrchBkwd = 0x10000000,
                        kAttrb = 0x8000000, kIPause = 0x4000000, kXlate = 0x200000, kEab = 0x400000,
                        kDisplay = 0x20000, kWaitMask = 0x300, kLWait = 0x200, kNWait = 0x100;
constexpr std::uint32_t kCopyOptions = kAttrb | kEab | kXlate | kDisplay;

struct Keyword {
  const char* name;
  std::uint32_t clears, sets;
};
constexpr Keyword kKeywords[] = {
    {"STRLEN", 0x40000000, 0},        {"STREOT", 0, 0x40000000},      {"SRCHALL", 0x20000000, 0},
    {"SRCHFROM", 0, 0x20000000},      {"SRCHFRWD", 0x10000000, 0},    {"SRCHBKWD", 0, 0x10000000},
    {"NOATTRB", 0x8000000, 0},        {"ATTRB", 0, 0x8000000},        {"FPAUSE", 0x4000000, 0},
    {"IPAUSE", 0, 0x4000000},         {"NOQUIET", 0x2000000, 0},      {"QUIET", 0, 0x2000000},
    {"AUTORESET", 0x1000000, 0},      {"NORESET", 0, 0x1000000},      {"TWAIT", 0x300, 0},
    {"LWAIT", 0x300, 0x200},          {"NWAIT", 0x300, 0x100},        {"TROFF", 0x800000, 0},
    {"TRON", 0, 0x800000},            {"NOEAB", 0x400000, 0},         {"EAB", 0, 0x400000},
    {"NOXLATE", 0x200000, 0},         {"XLATE", 0, 0x200000},         {"CONLOG", 0x100000, 0},
    {"CONPHYS", 0, 0x100000},         {"OLDOIA", 0x80000, 0},         {"NEWOIA", 0, 0x80000},
    {"NOCFGSIZE", 0x40000, 0},        {"CFGSIZE", 0, 0x40000},        {"NODISPLAY", 0x20000, 0},
    {"DISPLAY", 0, 0x20000},          {"WRITE_SUPER", 0xFC00, 0x8000}, {"WRITE_WRITE", 0xFC00, 0x4000},
    {"WRITE_READ", 0xFC00, 0x2000},   {"WRITE_NONE", 0xFC00, 0x1000}, {"SUPER_WRITE", 0xFC00, 0x800},
    {"READ_WRITE", 0xFC00, 0x400},    {"NOKEY", 0x10000, 0},
};

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

std::uint32_t ThreadId() { return static_cast<std::uint32_t>(::syscall(SYS_gettid)); }

int Upper(std::uint8_t c) { return std::toupper(c); }

// Search: the 0-based offset of the string in the copy, or -1.
long Find(std::string_view copy, std::string_view text, bool backward) {
  if (text.empty() || text.size() > copy.size()) return -1;
  const std::size_t at = backward ? copy.rfind(text) : copy.find(text);
  return at == std::string_view::npos ? -1 : static_cast<long>(at);
}

class CClient {
 public:
  int Call(int function, std::uint8_t* data, std::uint16_t* length, std::uint16_t* rc);
  void Unload();

 private:
  // The lock: 0 taken, else the code to answer.
  int TakeLock();
  void ReleaseLock() { area_.Unlock(); }
  // Sleeps with neither the lock nor the process's mutex held.
  void Sleep(milliseconds time);
  WaitResult WaitFor(Event e, std::uint32_t seen, milliseconds limit);

  static int IndexOf(std::uint8_t letter) {
    const int c = Upper(letter);
    return c >= 'A' && c <= 'Z' ? c - 'A' : -1;
  }
  std::uint8_t* Slot(int index) { return area_.Slot(index); }
  // A slot whose instance still serves; a stale one is cleared. Takes the lock.
  int CheckSlot(int index);
  int CurrentSlot() { return current_ < 0 ? kNotConnected : CheckSlot(current_); }
  int NamedSlot(const std::uint8_t* data, int* index);
  // The request, sent to the slot's instance; its code, 9 on a transport failure.
  int Send(int index, int function, std::uint32_t length, std::uint32_t position, std::uint32_t flags,
           const std::uint8_t* data = nullptr, std::size_t n = 0);
  int Exchange(std::uint32_t instance, int index, int function);
  int Connection(std::uint32_t instance);
  void Disconnect(std::uint32_t instance);
  int StatusRefresh(int index);
  std::uint16_t AnswerLength() { return Get16(area_.Bytes() + kRequestLength); }
  // The string's length under STRLEN or STREOT; -1 when an EOT is missing.
  long StringLength(const std::uint8_t* data, std::uint16_t length) const;
  int FieldCopy(int index, std::uint32_t flags, std::uint16_t position, std::uint16_t* copyPosition);

  int Connect(std::uint8_t* data);
  int DisconnectPs();
  int SendKey(std::uint8_t* data, std::uint16_t length, std::uint16_t position);
  int Wait();
  int Search(int function, std::uint8_t* data, std::uint16_t* length, std::uint16_t position);
  int SetParameters(const std::uint8_t* data, std::uint16_t* length);
  int QuerySessions(std::uint8_t* data, std::uint16_t* length);
  int Pause(std::uint16_t halfSeconds);
  int ResetSystem();
  int GetKey(std::uint8_t* data, std::uint16_t position);
  int Transfer(int function, std::uint8_t* data, std::uint16_t* length, std::uint16_t position);
  int Convert(std::uint8_t* data, std::uint16_t* length, std::uint16_t position);

  std::mutex mutex_;
  std::unique_lock<std::mutex>* held_ = nullptr;  // the running call's hold on mutex_
  std::string folder_;
  CHllapiArea area_;
  std::map<std::uint32_t, int> connections_;  // instance id to socket
  int current_ = -1;
  std::uint32_t options_ = 0;
  std::uint8_t eot_ = 0, escape_ = '@';
  int timeout_ = 30;
  std::array<char, 8> key_{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  int hostEventStarts_ = 0;
  bool keyEvent_ = false;
  // What this process set up, so that a reset undoes only that.
  std::array<bool, kSlotCount> notifying_{}, intercepting_{}, reserved_{}, connected_{};

  friend int Dispatch(int, std::uint8_t*, std::uint16_t*, std::uint16_t*);
};

CClient& Client() {
  static CClient* client = new CClient;  // lives until the library goes
  return *client;
}

// -------------------------------------------------------------- plumbing

int CClient::TakeLock() {
  if (area_.Locked()) return kOk;
  if (!area_.IsOpen()) {
    folder_ = platform::RuntimeFolderPath();
    std::string cause;
    if (!platform::PreparePrivateFolder(folder_, &cause) || !area_.Open(folder_, &cause)) return kSystemError;
  }
  return area_.Lock(kLockLimit) ? kOk : kBusy;
}

void CClient::Sleep(milliseconds time) {
  ReleaseLock();
  if (held_) held_->unlock();
  std::this_thread::sleep_for(time);
  if (held_) held_->lock();
}

WaitResult CClient::WaitFor(Event e, std::uint32_t seen, milliseconds limit) {
  ReleaseLock();
  if (held_) held_->unlock();
  const WaitResult r = area_.Wait(e, seen, limit);
  if (held_) held_->lock();
  return r;
}

int CClient::CheckSlot(int index) {
  if (index < 0) return kNotConnected;
  if (int code = TakeLock()) return code;
  std::uint8_t* slot = Slot(index);
  const std::uint32_t instance = Get32(slot + kSlotWindow);
  if (instance == 0) return kNotConnected;
  if (Connection(instance) >= 0) return kOk;
  if (!InstanceAlive(folder_, instance)) {
    std::memset(slot, 0, kSlotSize);  // its emulator has ended
    return kNotConnected;
  }
  return kSystemError;
}

int CClient::Connection(std::uint32_t instance) {
  if (auto it = connections_.find(instance); it != connections_.end()) {
    pollfd p{it->second, POLLIN, 0};
    // An answer left over, or a hang-up: the connection is no use.
    if (::poll(&p, 1, 0) == 0) return it->second;
    Disconnect(instance);
  }
  const std::string path = SocketPath(folder_, instance);
  sockaddr_un addr;
  if (!platform::LocalAddress(path, addr)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  const auto end = Clock::now() + milliseconds(kAnswerLimitMs);
  int result;
  // A full backlog: the instance is busy, try again for a while.
  while ((result = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr)) != 0 && errno == EAGAIN &&
         Clock::now() < end)
    std::this_thread::sleep_for(milliseconds(1));
  if (result != 0 || !platform::PeerIsOwnUser(fd)) {
    ::close(fd);
    return -1;
  }
  connections_[instance] = fd;
  return fd;
}

void CClient::Disconnect(std::uint32_t instance) {
  if (auto it = connections_.find(instance); it != connections_.end()) {
    ::close(it->second);
    connections_.erase(it);
  }
}

int CClient::Exchange(std::uint32_t instance, int index, int function) {
  const int fd = Connection(instance);
  if (fd < 0) return kSystemError;
  std::uint8_t message[kMessageSize] = {static_cast<std::uint8_t>('A' + index), 0};
  Put16(message + 2, static_cast<std::uint32_t>(function));
  if (::send(fd, message, sizeof message, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof message)) {
    Disconnect(instance);
    return kSystemError;
  }
  pollfd p{fd, POLLIN, 0};
  int ready;
  while ((ready = ::poll(&p, 1, kAnswerLimitMs)) < 0 && errno == EINTR) {
  }
  std::uint8_t answer[kMessageSize + 1];
  // No answer in time: a late one must not pass for the next call's.
  if (ready <= 0 || ::recv(fd, answer, sizeof answer, 0) != static_cast<ssize_t>(kMessageSize)) {
    Disconnect(instance);
    return kSystemError;
  }
  return Get16(answer);
}

int CClient::Send(int index, int function, std::uint32_t length, std::uint32_t position, std::uint32_t flags,
                  const std::uint8_t* data, std::size_t n) {
  if (int code = TakeLock()) return code;
  std::uint8_t* area = area_.Bytes();
  Put16(area + kRequestLength, length);
  Put16(area + kRequestPosition, position);
  Put32(area + kRequestFlags, flags);
  if (data && n > 0) std::memcpy(area_.Data(), data, std::min(n, kDataCapacity));
  return Exchange(Get32(Slot(index) + kSlotWindow), index, function);
}

int CClient::StatusRefresh(int index) {
  if (index < 0) return 9998;
  if (int code = CheckSlot(index)) return code;
  return Send(index, kQueryStatus, 0, 0, options_);
}

int CClient::NamedSlot(const std::uint8_t* data, int* index) {
  *index = data[0] == ' ' || data[0] == 0 ? current_ : IndexOf(data[0]);
  return *index < 0 ? kNotConnected : CheckSlot(*index);
}

long CClient::StringLength(const std::uint8_t* data, std::uint16_t length) const {
  if (!(options_ & kStrEot)) return length;
  const void* end = std::memchr(data, eot_, kDataCapacity);
  return end ? static_cast<const std::uint8_t*>(end) - data : -1;
}

// ------------------------------------------------------------ functions

int CClient::Call(int function, std::uint8_t* data, std::uint16_t* length, std::uint16_t* rc) {
  const std::uint16_t position = *rc;
  switch (function) {
    case kConnect:
      return Connect(data);
    case kDisconnect:
      return DisconnectPs();
    case kSendKey:
      return SendKey(data, *length, position);
    case kWait:
      return Wait();
    case kCopyPs: {
      if (int code = CurrentSlot()) return code;
      const int code = Send(current_, kCopyPsToString, 0, 1, options_ & kCopyOptions);
      if (code != kNotConnected && code != kSystemError) std::memcpy(data, area_.Data(), AnswerLength());
      return code;
    }
    case kSearchPs:
    case kSearchField:
      return Search(function, data, length, position);
    case kQueryCursor: {
      if (current_ < 0) return kNotConnected;
      if (int code = StatusRefresh(current_)) return code;
      *length = Get16(Slot(current_) + kSlotCursor);
      return kOk;
    }
    case kCopyPsToString: {
      if (int code = CurrentSlot()) return code;
      if (*length == 0) return kParameterError;
      const int code = Send(current_, kCopyPsToString, *length, position, options_ & (kAttrb | kXlate | kDisplay));
      if (code != kNotConnected && code != kSystemError)
        std::memcpy(data, area_.Data(), std::min(*length, AnswerLength()));
      return code;
    }
    case kSetParameters:
      return SetParameters(data, length);
    case kQuerySessions:
      return QuerySessions(data, length);
    case kReserve:
    case kRelease: {
      if (int code = CurrentSlot()) return code;
      const int code = Send(current_, function, *length, position, options_);
      if (code == kOk) reserved_[current_] = function == kReserve;
      return code;
    }
    case kCopyOia: {
      if (int code = CurrentSlot()) return code;
      if (*length < 103) return kParameterError;
      const int code = Send(current_, kCopyOia, *length, position, options_);
      if (code != kNotConnected && code != kSystemError)
        std::memcpy(data, area_.Data(), std::min<std::size_t>(*length, kDataCapacity));
      return code;
    }
    case kQueryFieldAttribute: {
      if (int code = CurrentSlot()) return code;
      const int code = Send(current_, kQueryFieldAttribute, 0, position, options_);
      *length = AnswerLength();
      return code;
    }
    case kCopyStringToPs:
    case kCopyStringToField: {
      if (int code = CurrentSlot()) return code;
      const long n = StringLength(data, *length);
      if (n <= 0) return kParameterError;
      return Send(current_, function, static_cast<std::uint32_t>(n), position, options_, data,
                  static_cast<std::size_t>(n));
    }
    case kPause:
      return Pause(*length);
    case kQuerySystem:
      std::memset(data, 0, 35);
      data[0] = '1';
      data[1] = '0';
      data[2] = '1';
      data[12] = 'U';
      data[13] = 'E';
      return kOk;
    case kResetSystem:
      return ResetSystem();
    case kQueryStatus: {
      if (*length != kStatusSize) return kParameterError;
      int index;
      if (int code = NamedSlot(data, &index)) return code;
      if (int code = StatusRefresh(index)) return code;
      std::memcpy(data, Slot(index) + kSlotStatus, kStatusSize);
      return kOk;
    }
    case kStartHostNotify: {
      int index;
      if (int code = NamedSlot(data, &index)) return code;
      const int option = Upper(data[1]);
      if (option != 'P' && option != 'O' && option != 'B') return kParameterError;
      if (LoadByte(Slot(index) + kSlotUpdateFlags) & kUpdateStarted) return kOk;
      ++hostEventStarts_;
      const int code = Send(index, kStartHostNotify, *length, position, options_, data, 7);
      if (code == kOk) notifying_[index] = true;
      return code;
    }
    case kQueryHostUpdate: {
      int index;
      if (int code = NamedSlot(data, &index)) return code;
      std::uint8_t* flags = Slot(index) + kSlotUpdateFlags;
      if (!(LoadByte(flags) & kUpdateStarted)) return kNotStarted;
      const std::uint8_t bits = AndByte(flags, static_cast<std::uint8_t>(~(kUpdatePs | kUpdateOia)));
      const bool ps = bits & kUpdatePs, oia = bits & kUpdateOia;
      return ps && oia ? kBothUpdated : ps ? kPsUpdated : oia ? kOiaUpdated : kOk;
    }
    case kStopHostNotify: {
      int index;
      if (int code = NamedSlot(data, &index)) return code;
      const int code = Send(index, kStopHostNotify, *length, position, options_);
      if (hostEventStarts_ > 0) --hostEventStarts_;
      notifying_[index] = false;
      return code;
    }
    case kFindFieldPosition:
    case kFindFieldLength: {
      *length = 0;
      if (int code = CurrentSlot()) return code;
      if (!std::strchr(" NPT", data[0]) || !std::strchr(" PU", data[1]) || data[0] == 0 || data[1] == 0)
        return kParameterError;
      const int code = Send(current_, function, 0, position, options_, data, 2);
      *length = AnswerLength();
      return code;
    }
    case kCopyFieldToString: {
      if (int code = CurrentSlot()) return code;
      if (*length == 0) return kParameterError;
      std::uint16_t at;
      if (int code = FieldCopy(current_, options_ & kCopyOptions, position, &at)) return code;
      const std::uint16_t produced = AnswerLength();
      if (produced == 0) return kNotFound;
      std::memcpy(data, area_.Data(), std::min(produced, *length));
      return produced != *length ? kTruncated : kOk;
    }
    case kSetCursor: {
      if (int code = CurrentSlot()) return code;
      Put16(Slot(current_) + kSlotCursor, position);
      return Send(current_, kSetCursor, *length, position, options_);
    }
    case kStartIntercept: {
      int index;
      if (int code = NamedSlot(data, &index)) return code;
      const int option = Upper(data[1]);
      if (option != 'D' && option != 'L') return kParameterError;
      if (LoadByte(Slot(index) + kSlotInterceptFlags) & kInterceptStarted) return kBusy;
      keyEvent_ = true;
      const int code = Send(index, kStartIntercept, *length, position, options_, data, 6);
      if (code == kOk) intercepting_[index] = true;
      return code;
    }
    case kGetKey:
      return GetKey(data, position);
    case kPostIntercept: {
      int index;
      if (int code = NamedSlot(data, &index)) return code;
      const int option = Upper(data[1]);
      if (option != 'A' && option != 'R') return kParameterError;
      if (!(LoadByte(Slot(index) + kSlotInterceptFlags) & kInterceptStarted)) return kNotStarted;
      return Send(index, kPostIntercept, static_cast<std::uint32_t>(option), position, options_);
    }
    case kStopIntercept: {
      int index;
      if (int code = NamedSlot(data, &index)) return code;
      const int code = Send(index, kStopIntercept, *length, position, options_);
      keyEvent_ = false;
      intercepting_[index] = false;
      return code;
    }
    case kSendFile:
    case kReceiveFile:
      return Transfer(function, data, length, position);
    case kConvertPosition:
      return Convert(data, length, position);
    default:
      return kNotSupported;
  }
}

int CClient::Connect(std::uint8_t* data) {
  const int index = IndexOf(data[0]);
  if (int code = CheckSlot(index)) return code;
  const std::uint32_t thread = Get32(Slot(index) + kSlotClientThread);
  if (thread != 0 && thread != ThreadId()) return kResourceUnavailable;
  const int code = Send(index, kConnect, 0, 0, options_);
  if (code == kSystemError) return code;
  if (current_ >= 0 && current_ != index && CheckSlot(current_) == kOk) {
    Send(current_, kDisconnect, 0, 0, options_);
    Put32(Slot(current_) + kSlotClientThread, 0);
    connected_[current_] = false;
  }
  current_ = index;
  connected_[index] = true;
  Put32(Slot(index) + kSlotClientThread, ThreadId());
  return code;
}

int CClient::DisconnectPs() {
  if (int code = CurrentSlot()) return code;
  if (int code = Send(current_, kDisconnect, 0, 0, options_); code == kSystemError) return code;
  Put32(Slot(current_) + kSlotClientThread, 0);
  connected_[current_] = reserved_[current_] = false;
  current_ = -1;
  return kOk;
}

int CClient::SendKey(std::uint8_t* data, std::uint16_t length, std::uint16_t position) {
  if (int code = CurrentSlot()) return code;
  const long n = StringLength(data, length);
  if (n <= 0 || n >= 256) return kParameterError;
  std::uint8_t request[256];
  request[0] = escape_;
  std::memcpy(request + 1, data, static_cast<std::size_t>(n));
  return Send(current_, kSendKey, static_cast<std::uint32_t>(n), position, options_, request,
              static_cast<std::size_t>(n) + 1);
}

int CClient::Wait() {
  const bool forever = (options_ & kWaitMask) == kLWait;
  const auto end = Clock::now() + kWaitLimit;
  while (forever || Clock::now() < end) {
    if (int code = CurrentSlot()) return code;
    const int code = Send(current_, kWait, 0, 0, options_);
    if ((options_ & kWaitMask) == kNWait || code == kOk || code == kNotConnected || code == kSystemError) return code;
    Sleep(kWaitSlice);
  }
  return kBusy;
}

int CClient::FieldCopy(int index, std::uint32_t flags, std::uint16_t position, std::uint16_t* copyPosition) {
  flags |= kFlagFieldMode;
  *copyPosition = position;
  if (!(flags & kSrchFrom)) {
    static constexpr std::uint8_t kThisField[2] = {' ', ' '};
    if (int code = Send(index, kFindFieldPosition, 0, position, flags, kThisField, 2)) return code;
    *copyPosition = AnswerLength();
  }
  const int code = Send(index, kCopyPsToString, 0, *copyPosition, flags);
  return code == kNotConnected || code == kBadPosition || code == kSystemError ? code : kOk;
}

int CClient::Search(int function, std::uint8_t* data, std::uint16_t* length, std::uint16_t position) {
  if (int code = CurrentSlot()) return code;
  const long n = StringLength(data, *length);
  if (n <= 0) return kParameterError;
  const std::uint32_t flags = options_ & (kSrchFrom | kSrchBkwd);
  std::uint16_t from = (options_ & kSrchFrom) ? position : 1;
  int code;
  if (function == kSearchPs) {
    code = Send(current_, kCopyPsToString, 0, from, flags);
    if (code == kNotConnected || code == kBadPosition || code == kSystemError) return code;
  } else if ((code = FieldCopy(current_, flags, position, &from)) != kOk) {
    return code;
  }
  const std::string_view copy(reinterpret_cast<const char*>(area_.Data()), AnswerLength());
  if (copy.empty()) return kNotFound;
  // The string is kept apart from the area: it may be longer than the copy.
  const std::string text(reinterpret_cast<const char*>(data), static_cast<std::size_t>(n));
  const long at = Find(copy, text, (options_ & kSrchBkwd) != 0);
  if (at < 0) return kNotFound;
  *length = static_cast<std::uint16_t>(from + at);
  return function == kSearchPs ? code : kOk;
}

int CClient::SetParameters(const std::uint8_t* data, std::uint16_t* length) {
  std::string text(reinterpret_cast<const char*>(data), *length);
  text.resize(std::strlen(text.c_str()));  // a 0 byte ends the string
  int accepted = 0;
  bool rejected = false;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = text.find_first_not_of(" ,", at);
    if (start == std::string::npos) break;
    std::size_t end = text.find_first_of(" ,", start);
    if (end == std::string::npos) end = text.size();
    const std::string_view token = std::string_view(text).substr(start, end - start);
    at = end;
    if (token.empty()) break;
    const Keyword* keyword = std::find_if(std::begin(kKeywords), std::end(kKeywords),
                                          [&](const Keyword& k) { return SameWord(token, k.name); });
    auto prefix = [&](std::string_view p, std::size_t size) {
      return token.size() == size && SameWord(token.substr(0, p.size()), p);
    };
    if (keyword != std::end(kKeywords)) {
      options_ = (options_ & ~keyword->clears) | keyword->sets;
    } else if (prefix("EOT=", 5)) {
      eot_ = static_cast<std::uint8_t>(token[4]);
    } else if (prefix("ESC=", 5)) {
      escape_ = static_cast<std::uint8_t>(token[4]);
    } else if (prefix("KEY$", 12)) {
      std::memcpy(key_.data(), token.data() + 4, 8);
    } else if (prefix("TIMEOUT=", 9) && ((token[8] >= '0' && token[8] <= '9') || (token[8] >= 'J' && token[8] <= 'N'))) {
      const char c = token[8];
      timeout_ = 30 * (c <= '9' ? c - '0' : c - 64);
    } else {
      rejected = true;
      continue;
    }
    ++accepted;
  }
  if (!rejected) return kOk;
  *length = static_cast<std::uint16_t>(accepted);
  return kParameterError;
}

int CClient::QuerySessions(std::uint8_t* data, std::uint16_t* length) {
  const std::size_t room = *length;
  *length = 0;
  if (TakeLock() != kOk) return kOk;
  std::size_t count = 0;
  for (int i = 0; i < static_cast<int>(kSlotCount); ++i) {
    if (Get32(Slot(i) + kSlotWindow) == 0 || StatusRefresh(i) != kOk) continue;
    ++count;
    if (count * 12 > room) continue;
    const std::uint8_t* status = Slot(i) + kSlotStatus;
    std::uint8_t* entry = data + (count - 1) * 12;
    entry[0] = status[0];
    std::memcpy(entry + 1, status + 1, 8);
    entry[9] = 'H';
    Put16(entry + 10, Get16(status + 11) * Get16(status + 13));
  }
  *length = static_cast<std::uint16_t>(count);
  return room < count * 12 ? kParameterError : kOk;
}

int CClient::Pause(std::uint16_t halfSeconds) {
  const milliseconds time(500 * halfSeconds);
  if (!(options_ & kIPause) || hostEventStarts_ == 0) {
    Sleep(time);
    return kOk;
  }
  if (TakeLock() != kOk) return kSystemError;
  // Read before looking: an update set after the look still ends the wait.
  const std::uint32_t seen = area_.Generation(kHostUpdateEvent);
  for (int i = 0; i < static_cast<int>(kSlotCount); ++i)
    if (LoadByte(Slot(i) + kSlotUpdateFlags) & (kUpdatePs | kUpdateOia)) return kHostEvent;
  return WaitFor(kHostUpdateEvent, seen, time) == WaitResult::kWoken ? kHostEvent : kOk;
}

int CClient::ResetSystem() {
  if (int code = TakeLock()) return code;
  options_ = 0;
  key_.fill(' ');
  current_ = -1;
  eot_ = 0;
  escape_ = '@';
  timeout_ = 30;
  Put32(area_.Bytes() + kRequestFlags, 0);
  // Only what this process set up: other clients' sessions stay as they are.
  for (int i = 0; i < static_cast<int>(kSlotCount); ++i) {
    const bool ours = notifying_[i] || intercepting_[i] || reserved_[i] || connected_[i];
    if (ours && CheckSlot(i) == kOk) {
      if (notifying_[i]) Send(i, kStopHostNotify, 0, 0, 0);
      if (intercepting_[i]) Send(i, kStopIntercept, 0, 0, 0);
      if (reserved_[i]) Send(i, kRelease, 0, 0, 0);
      if (connected_[i]) Send(i, kDisconnect, 0, 0, 0);
      Send(i, kQueryStatus, 0, 0, 0);
    }
    if (connected_[i] && area_.Locked() && Get32(Slot(i) + kSlotClientThread) != 0) Put32(Slot(i) + kSlotClientThread, 0);
    notifying_[i] = intercepting_[i] = reserved_[i] = connected_[i] = false;
  }
  hostEventStarts_ = 0;
  keyEvent_ = false;
  return kOk;
}

int CClient::GetKey(std::uint8_t* data, std::uint16_t position) {
  int index;
  if (int code = NamedSlot(data, &index)) return code;
  for (bool first = true;; first = false) {
    if (!(LoadByte(Slot(index) + kSlotInterceptFlags) & kInterceptStarted)) return first ? kNotStarted : kNoKeys;
    // Read before asking, so that a key queued after the answer still wakes us.
    const std::uint32_t seen = area_.Generation(kKeystrokeEvent);
    const int code = Send(index, kGetKey, 8, position, options_, &escape_, 1);
    if (code == kOk) {
      std::memcpy(data + 1, area_.Data() + 1, 7);
      return kOk;
    }
    if (code != kNoKeys || (options_ & kWaitMask) == kNWait) return code;
    // Slices, so that an emulator that ends is noticed.
    if (WaitFor(kKeystrokeEvent, seen, milliseconds(1000)) == WaitResult::kInterrupted) return kNoKeys;
    if (int check = CheckSlot(index)) return check;
  }
}

int CClient::Transfer(int function, std::uint8_t* data, std::uint16_t* length, std::uint16_t position) {
  const long n = StringLength(data, *length);
  if (n < 1 || n > 255) return kParameterError;
  const std::string_view text(reinterpret_cast<const char*>(data), static_cast<std::size_t>(n));
  std::size_t at;
  if (text[0] == '"') {
    at = text.find('"', 1);
    if (at == std::string_view::npos) return kParameterError;
    ++at;
  } else {
    at = text.find(' ');
    if (at == std::string_view::npos) return kParameterError;
  }
  at = text.find_first_not_of(' ', at);
  if (at == std::string_view::npos || at + 1 >= text.size() || text[at + 1] != ':') return kParameterError;
  const int index = IndexOf(static_cast<std::uint8_t>(text[at]));
  if (index < 0) return kParameterError;
  if (int code = CheckSlot(index)) return code;
  if (int code = Send(index, function, static_cast<std::uint32_t>(n), position, options_, data,
                      static_cast<std::size_t>(n)))
    return code;
  const milliseconds limit(1000 * timeout_);
  auto deadline = Clock::now() + limit;
  std::uint32_t seen = 0;
  if (Send(index, kQueryStatus, 0, 0, options_) == kSystemError) return kSystemError;
  for (;;) {
    const std::uint8_t* slot = Slot(index);
    if (Get32(slot + kSlotTransferState) == 0) return kTransferEnded;
    if (Get32(slot + kSlotTransferred) != seen) {
      seen = Get32(slot + kSlotTransferred);
      deadline = Clock::now() + limit;
    }
    Sleep(kWaitSlice);
    if (int code = CheckSlot(index)) return code;
    if (Clock::now() >= deadline) {
      const std::uint8_t cancel[3] = {escape_, escape_, '2'};
      Send(index, kSendKey, 2, 0, options_, cancel, 3);
      return kTransferTimedOut;
    }
    if (Send(index, kQueryStatus, 0, 0, options_) == kSystemError) return kSystemError;
  }
}

int CClient::Convert(std::uint8_t* data, std::uint16_t* length, std::uint16_t position) {
  const int index = IndexOf(data[0]);
  if (StatusRefresh(index) != kOk) return 9998;
  const std::uint8_t* status = Slot(index) + kSlotStatus;
  const int rows = Get16(status + 11), columns = Get16(status + 13);
  if (data[1] == 'P') {
    if (position == 0 || columns == 0 || position > rows * columns) return 0;
    *length = static_cast<std::uint16_t>((position - 1) / columns + 1);
    return (position - 1) % columns + 1;
  }
  if (data[1] == 'R') {
    const int row = *length, column = position;
    if (row == 0 || row > rows) {
      *length = 0;
      return 0;
    }
    if (column == 0 || column > columns) return 0;
    return (row - 1) * columns + column;
  }
  return 9999;
}

void CClient::Unload() {
  std::unique_lock<std::mutex> hold(mutex_);
  held_ = &hold;
  if (area_.IsOpen()) ResetSystem();
  held_ = nullptr;
  for (auto& [instance, fd] : connections_) ::close(fd);
  connections_.clear();
  area_.Close();
}

int Dispatch(int function, std::uint8_t* data, std::uint16_t* length, std::uint16_t* rc) {
  CClient& c = Client();
  std::unique_lock<std::mutex> hold(c.mutex_);
  c.held_ = &hold;
  const int code = c.Call(function, data, length, rc);
  c.held_ = nullptr;
  c.ReleaseLock();
  return code;
}

__attribute__((destructor)) void UnloadLibrary() { Client().Unload(); }

}  // namespace

}  // namespace corvina::hllapi

extern "C" {

__attribute__((visibility("default"))) void WinHLLAPI(uint16_t* function, char* data, uint16_t* length,
                                                       uint16_t* returnCode) {
  if (!function || !returnCode) return;
  if (!data || !length) {
    *returnCode = corvina::hllapi::kParameterError;
    return;
  }
  const int number = *function;
  const int code = number >= 1 && number <= 105
                       ? corvina::hllapi::Dispatch(number, reinterpret_cast<std::uint8_t*>(data), length, returnCode)
                       : corvina::hllapi::kNotSupported;
  *returnCode = static_cast<uint16_t>(code);
}

__attribute__((visibility("default"))) void hllapi(uint16_t* function, char* data, uint16_t* length,
                                                    uint16_t* returnCode) {
  WinHLLAPI(function, data, length, returnCode);
}

__attribute__((visibility("default"))) int WinHLLAPIStartup(uint16_t versionRequested, WHLLAPIDATA* data) {
  if (data) {
    data->wVersion = 0x0101;
    std::memset(data->szDescription, 0, sizeof data->szDescription);
    std::strcpy(data->szDescription, "Corvina WinHLLAPI");
  }
  const int major = versionRequested & 0xFF, minor = versionRequested >> 8;
  if (major == 0) return 0xF001;
  if (major > 1 || minor > 1) return 0xF004;
  return 0;
}

__attribute__((visibility("default"))) int WinHLLAPICleanup(void) { return 1; }

}  // extern "C"
