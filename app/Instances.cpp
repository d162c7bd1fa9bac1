#include "app/Instances.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace corvina::app {

namespace {

constexpr char kInstancePrefix[] = "instance.";
constexpr char kGuardFile[] = "instances.lock";
// Registration holds the guard only for a moment; a holder that is stopped
// must not stop every later start.
constexpr auto kGuardWait = std::chrono::seconds(2);

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Files of this folder are opened without following links: only this user
// can write the folder, but the check costs nothing.
int OpenInFolder(const std::string& path, int flags) {
  return ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
}

bool LockWithin(int fd, std::chrono::steady_clock::duration limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Whether another process holds the file's lock. A file whose lock is free
// belongs to an instance that ended without removing it: it goes.
bool HeldByLiveInstance(const std::string& path) {
  FileDescriptor fd(OpenInFolder(path, O_RDONLY | O_NONBLOCK));
  if (fd.Get() < 0) return false;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) {
    ::unlink(path.c_str());
    return false;
  }
  return errno == EWOULDBLOCK;
}

}  // namespace

CInstanceRegistration::~CInstanceRegistration() {
  if (fd_ < 0) return;
  ::unlink(path_.c_str());
  ::close(fd_);
}

int CInstanceRegistration::Register(const std::string& folder, std::string* cause) {
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  // One registration at a time, so that two copies starting together count each other.
  FileDescriptor guard(OpenInFolder(prefix + kGuardFile, O_RDWR | O_CREAT));
  if (guard.Get() < 0) {
    *cause = std::strerror(errno);
    return 0;
  }
  const bool guarded = LockWithin(guard.Get(), kGuardWait);

  if (fd_ < 0) {
    path_ = prefix + kInstancePrefix + std::to_string(::getpid());
    FileDescriptor own(OpenInFolder(path_, O_RDWR | O_CREAT));
    if (own.Get() < 0 || ::flock(own.Get(), LOCK_EX | LOCK_NB) != 0) {
      *cause = std::strerror(errno);
      return 0;
    }
    // The pid is only for people looking; the lock is what counts.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(own.Get(), 0) == 0) [[maybe_unused]] auto n = ::write(own.Get(), pid.data(), pid.size());
    fd_ = own.Release();
  }

  int count = 1;
  if (DIR* dir = ::opendir(prefix.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string path = prefix + entry->d_name;
      if (std::strncmp(entry->d_name, kInstancePrefix, sizeof kInstancePrefix - 1) != 0 || path == path_) continue;
      if (HeldByLiveInstance(path)) ++count;
    }
    ::closedir(dir);
  }
  if (guarded) ::flock(guard.Get(), LOCK_UN);
  return count;
}

}  // namespace corvina::app
