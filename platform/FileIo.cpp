#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace corvina::platform {

namespace {

FileIoResult SystemError(int err) { return {FileIoStatus::kSystemError, err, {}}; }

// Makes a rename durable; the file is already in place, so failure is not reported.
void SyncFolder(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int WriteAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

int MakeFolders(const std::string& dir) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  for (std::size_t pos = dir.find('/', 1);; pos = dir.find('/', pos + 1)) {
    std::string part = dir.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    if (pos == std::string::npos) break;
  }
  if (::stat(dir.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

FileIoResult ReadWholeFile(const std::string& path, std::size_t maxSize, std::string* data) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? FileIoResult{FileIoStatus::kMissing, ENOENT, {}} : SystemError(errno);
  FileIoResult result;
  std::string bytes;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    result = SystemError(errno);
  } else if (!S_ISREG(st.st_mode)) {
    result.status = FileIoStatus::kNotRegular;
  } else if (static_cast<std::uintmax_t>(st.st_size) > maxSize) {
    result.status = FileIoStatus::kTooLarge;
  } else {
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        result = SystemError(errno);
        break;
      }
      if (n == 0) break;
      // The file may have grown since fstat.
      if (bytes.size() + static_cast<std::size_t>(n) > maxSize) {
        result.status = FileIoStatus::kTooLarge;
        break;
      }
      bytes.append(buf, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  if (result.Ok()) *data = std::move(bytes);
  return result;
}

FileIoResult WriteFileAtomically(const std::string& path, std::string_view data, FileMode fileMode) {
  std::string target = path;
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  std::size_t slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return {FileIoStatus::kNotRegular, 0, {}};

  if (int err = MakeFolders(dir)) return {FileIoStatus::kCannotCreateFolder, err, dir};
  mode_t mode = 0600;
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return {FileIoStatus::kNotRegular, 0, {}};
    // No write bit counts even for root, like a read-only attribute.
    if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return {FileIoStatus::kReadOnly, 0, {}};
    if (fileMode == FileMode::kKeep) mode = st.st_mode & 07777;
  }

  std::string temp = dir + "/." + name + ".XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return SystemError(errno);
  int err = ::fchmod(fd, mode) == 0 ? 0 : errno;
  if (!err) err = WriteAll(fd, data);
  if (!err && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
  if (!err && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err) {
    ::unlink(temp.c_str());
    return SystemError(err);
  }
  SyncFolder(dir);
  return {};
}

}  // namespace corvina::platform
