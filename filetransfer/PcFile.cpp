#include "filetransfer/PcFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "filetransfer/TransferTexts.h"
#include "platform/FileIo.h"

namespace corvina::filetransfer {

int FileErrorCause(int error) {
  switch (error) {
    case 0:
      return 0;
    case ENOENT:
      return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
      return 3;
    case EMFILE:
    case ENFILE:
      return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EEXIST:
      return 5;
    case EBADF:
      return 6;
    case ESPIPE:
      return 9;
    case EIO:
      return 10;
    case ETXTBSY:
      return 11;
    case ENOLCK:
      return 12;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return 13;
    default:
      return -1;
  }
}

std::string FileErrorText(int error) {
  const int cause = FileErrorCause(error);
  constexpr int kCount = sizeof transfer_texts::kFileErrorCauses / sizeof transfer_texts::kFileErrorCauses[0];
  if (cause >= 0 && cause < kCount && transfer_texts::kFileErrorCauses[cause])
    return transfer_texts::kFileErrorCauses[cause];
  return transfer_texts::kUnspecifiedError;
}

bool CPcFile::Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

int CPcFile::OpenForReceive(const std::string& path, bool append) {
  Discard();
  if (path.empty()) return ENOENT;
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.empty()) return EISDIR;
  struct stat folderStat {};
  if (::stat(folder.c_str(), &folderStat) != 0) return errno;
  if (!S_ISDIR(folderStat.st_mode)) return ENOTDIR;
  struct stat target {};
  const bool exists = ::stat(path.c_str(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode)) return EISDIR;
  if (exists && ::access(path.c_str(), W_OK) != 0) return errno;
  std::string name = folder + "/." + base + ".XXXXXX";
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  temporary_ = buffer.data();
  fd_ = fd;
  path_ = path;
  // The received file gets the old file's mode, or the usual one of a new file.
  mode_t mode = 0666;
  if (exists) {
    mode = target.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  ::fchmod(fd_, mode);
  if (append && exists) {
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
      const int e = errno;
      Discard();
      return e;
    }
    std::vector<std::uint8_t> chunk(1 << 16);
    for (;;) {
      const ssize_t n = ::read(in, chunk.data(), chunk.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        const int e = n < 0 ? errno : 0;
        ::close(in);
        if (e != 0) {
          Discard();
          return e;
        }
        break;
      }
      if (int e = Write(std::span(chunk.data(), static_cast<std::size_t>(n))); e != 0) {
        ::close(in);
        Discard();
        return e;
      }
    }
  }
  return 0;
}

int CPcFile::OpenForSend(const std::string& path) {
  Discard();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    return e;
  }
  fd_ = fd;
  path_ = path;
  size_ = static_cast<std::uint64_t>(st.st_size);
  return 0;
}

int CPcFile::Write(std::span<const std::uint8_t> bytes) {
  if (fd_ < 0) return EBADF;
  return platform::WriteAll(fd_, bytes.data(), bytes.size());
}

long CPcFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) {
  if (fd_ < 0) return -EBADF;
  std::size_t got = 0;
  while (got < buffer.size()) {
    const ssize_t n = ::pread(fd_, buffer.data() + got, buffer.size() - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -errno;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<long>(got);
}

int CPcFile::Commit() {
  if (fd_ < 0) return EBADF;
  int e = 0;
  if (!temporary_.empty()) {
    if (::fsync(fd_) != 0) e = errno;
    if (::close(fd_) != 0 && e == 0) e = errno;
    fd_ = -1;
    if (e == 0 && ::rename(temporary_.c_str(), path_.c_str()) != 0) e = errno;
    if (e != 0) ::unlink(temporary_.c_str());
    temporary_.clear();
    return e;
  }
  ::close(fd_);
  fd_ = -1;
  return 0;
}

void CPcFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  size_ = 0;
}

}  // namespace corvina::filetransfer
