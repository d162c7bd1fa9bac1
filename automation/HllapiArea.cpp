#include "automation/HllapiArea.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <thread>

#include "platform/Format.h"
#include "platform/LocalSocket.h"

namespace corvina::hllapi {

namespace {

constexpr char kAreaFile[] = "hllapi.area";
constexpr char kLockFile[] = "hllapi.lock";
constexpr char kEventsFile[] = "hllapi.events";
constexpr std::size_t kEventsSize = 8;

// Opens one of the files and checks it is this user's own. `size` is what
// it must hold; a new (empty) file is given that size, zero-filled.
int OpenOwnFile(const std::string& path, std::size_t size, std::string* cause) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
  if (fd < 0) {
    *cause = platform::Format("%s: %s", path.c_str(), std::strerror(errno));
    return -1;
  }
  struct stat st {};
  const char* wrong = nullptr;
  if (::fstat(fd, &st) != 0)
    wrong = std::strerror(errno);
  else if (!S_ISREG(st.st_mode))
    wrong = "it is not a regular file";
  else if (st.st_uid != ::geteuid())
    wrong = "another user owns it";
  else if ((st.st_mode & 077) != 0)
    wrong = "other users may use it";
  else if (st.st_size != 0 && static_cast<std::size_t>(st.st_size) != size)
    wrong = "it has the wrong size";
  // Two first users may both grow it: to the same size, zeros either way.
  else if (st.st_size == 0 && ::ftruncate(fd, static_cast<off_t>(size)) != 0)
    wrong = std::strerror(errno);
  if (wrong) {
    *cause = platform::Format("%s: %s", path.c_str(), wrong);
    ::close(fd);
    return -1;
  }
  return fd;
}

void* MapShared(int fd, std::size_t size) {
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return p == MAP_FAILED ? nullptr : p;
}

bool SetLock(int fd, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

}  // namespace

std::string SocketPath(const std::string& folder, std::uint32_t instance) {
  return platform::Format("%shllapi-%u.sock", folder.c_str(), static_cast<unsigned>(instance));
}

CHllapiArea::~CHllapiArea() { Close(); }

bool CHllapiArea::Open(const std::string& folder, std::string* cause) {
  if (IsOpen()) return true;
  areaFd_ = OpenOwnFile(folder + kAreaFile, kAreaSize, cause);
  if (areaFd_ >= 0) lockFd_ = OpenOwnFile(folder + kLockFile, 1, cause);
  if (lockFd_ >= 0) eventsFd_ = OpenOwnFile(folder + kEventsFile, kEventsSize, cause);
  if (eventsFd_ >= 0) {
    area_ = static_cast<std::uint8_t*>(MapShared(areaFd_, kAreaSize));
    events_ = static_cast<std::uint32_t*>(MapShared(eventsFd_, kEventsSize));
    if (!area_ || !events_) *cause = std::strerror(errno);
  }
  if (!area_ || !events_) {
    Close();
    return false;
  }
  if (Get32(area_ + kCapacityWord) != kDataCapacity) Put32(area_ + kCapacityWord, kDataCapacity);
  return true;
}

void CHllapiArea::Close() {
  if (locked_) Unlock();
  if (area_) ::munmap(area_, kAreaSize);
  if (events_) ::munmap(events_, kEventsSize);
  area_ = nullptr;
  events_ = nullptr;
  for (int* fd : {&areaFd_, &lockFd_, &eventsFd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

bool CHllapiArea::TryLock() {
  if (locked_) return true;
  if (lockFd_ < 0 || !SetLock(lockFd_, F_WRLCK)) return false;
  locked_ = true;
  return true;
}

bool CHllapiArea::Lock(std::chrono::milliseconds limit) {
  if (TryLock()) return true;
  const auto end = std::chrono::steady_clock::now() + limit;
  auto pause = std::chrono::microseconds(20);
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(pause);
    if (TryLock()) return true;
    if (lockFd_ < 0 || (errno != EAGAIN && errno != EACCES && errno != EINTR)) return false;
    pause = std::min(pause * 2, std::chrono::microseconds(2000));
  }
  return false;
}

void CHllapiArea::Unlock() {
  if (!locked_) return;
  SetLock(lockFd_, F_UNLCK);
  locked_ = false;
}

std::uint32_t CHllapiArea::Generation(Event e) const {
  return events_ ? __atomic_load_n(&events_[e], __ATOMIC_SEQ_CST) : 0;
}

void CHllapiArea::Pulse(Event e) {
  if (!events_) return;
  __atomic_add_fetch(&events_[e], 1, __ATOMIC_SEQ_CST);
  ::syscall(SYS_futex, &events_[e], FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

WaitResult CHllapiArea::Wait(Event e, std::uint32_t seen, std::chrono::milliseconds limit) {
  if (!events_) return WaitResult::kTimedOut;
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (Generation(e) != seen) return WaitResult::kWoken;
    const auto left = end - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return WaitResult::kTimedOut;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    if (::syscall(SYS_futex, &events_[e], FUTEX_WAIT, seen, &ts, nullptr, 0) != 0 && errno == EINTR)
      return WaitResult::kInterrupted;
  }
}

bool InstanceAlive(const std::string& folder, std::uint32_t instance) {
  const std::string path = SocketPath(folder, instance);
  sockaddr_un addr;
  if (!platform::LocalAddress(path, addr)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;  // cannot tell: keep it
  const bool alive = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 || errno == EAGAIN;
  ::close(fd);
  return alive;
}

ClaimResult ClaimSlot(CHllapiArea& area, const std::string& folder, char letter, std::uint32_t instance,
                      std::chrono::milliseconds limit) {
  if (letter < 'A' || letter > 'Z' || instance == 0) return ClaimResult::kInUse;
  const bool held = area.Locked();
  if (!area.Lock(limit)) return ClaimResult::kBusy;
  std::uint8_t* slot = area.Slot(letter - 'A');
  const std::uint32_t owner = Get32(slot + kSlotWindow);
  ClaimResult result = ClaimResult::kInUse;
  if (owner == instance) {
    result = ClaimResult::kClaimed;
  } else if (owner == 0 || !InstanceAlive(folder, owner)) {
    std::memset(slot, 0, kSlotSize);
    Put32(slot + kSlotWindow, instance);
    result = ClaimResult::kClaimed;
  }
  if (!held) area.Unlock();
  return result;
}

bool ReleaseSlot(CHllapiArea& area, char letter, std::uint32_t instance, std::chrono::milliseconds limit) {
  if (letter < 'A' || letter > 'Z') return true;
  const bool held = area.Locked();
  if (!area.Lock(limit)) return false;
  std::uint8_t* slot = area.Slot(letter - 'A');
  if (Get32(slot + kSlotWindow) == instance) std::memset(slot, 0, kSlotSize);
  if (!held) area.Unlock();
  return true;
}

}  // namespace corvina::hllapi
