#include "platform/UserFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Format.h"

namespace corvina::platform {

namespace {

// Causes, completing "... cannot be used (%s)" and the like.
constexpr char kNotAFolder[] = "it is not a folder";
constexpr char kNotAFile[] = "it is not a regular file";
constexpr char kSymbolicLink[] = "it is a symbolic link";
constexpr char kOtherOwner[] = "another user owns it";
constexpr char kOpenToOthers[] = "other users may use it, mode %04o";
constexpr char kWritableByOthers[] = "other users may write to it, mode %04o";

unsigned Permissions(const struct stat& st) { return static_cast<unsigned>(st.st_mode & 07777); }

}  // namespace

std::string RuntimeFolderPath() {
  if (const char* own = std::getenv("CORVINA_RUNTIME_DIR"); own != nullptr && own[0] == '/') {
    std::string folder = own;
    if (folder.back() != '/') folder += '/';
    return folder;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    std::string folder = runtime;
    if (folder.back() != '/') folder += '/';
    return folder + "corvina/";
  }
  return Format("/tmp/corvina-%u/", static_cast<unsigned>(::getuid()));
}

bool PreparePrivateFolder(const std::string& folder, std::string* cause) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    *cause = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) {
    *cause = std::strerror(errno);
    return false;
  }
  if (S_ISLNK(st.st_mode)) {
    *cause = kSymbolicLink;
  } else if (!S_ISDIR(st.st_mode)) {
    *cause = kNotAFolder;
  } else if (st.st_uid != ::getuid()) {
    *cause = kOtherOwner;
  } else if ((st.st_mode & 077) != 0) {
    *cause = Format(kOpenToOthers, Permissions(st));
  } else {
    return true;
  }
  return false;
}

bool CheckTrustedFolder(const std::string& folder, std::string* cause) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) {
    *cause = std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    *cause = kNotAFolder;
  } else if (st.st_uid != ::getuid() && st.st_uid != 0) {
    *cause = kOtherOwner;
  } else if ((st.st_mode & S_IWOTH) != 0) {
    *cause = Format(kWritableByOthers, Permissions(st));
  } else {
    return true;
  }
  return false;
}

bool CheckTrustedFile(const std::string& path, std::string* cause) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    *cause = std::strerror(errno);
    return false;
  }
  if (S_ISLNK(st.st_mode)) {
    *cause = kSymbolicLink;
  } else if (!S_ISREG(st.st_mode)) {
    *cause = kNotAFile;
  } else if (st.st_uid != ::getuid() && st.st_uid != 0) {
    *cause = kOtherOwner;
  } else if ((st.st_mode & S_IWOTH) != 0) {
    *cause = Format(kWritableByOthers, Permissions(st));
  } else {
    return true;
  }
  return false;
}

}  // namespace corvina::platform
