// Whole-file reads with a size limit and atomic whole-file writes, for the
// settings and configuration files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvina::platform {

enum class FileIoStatus {
  kOk,
  kMissing,            // read: the file does not exist
  kNotRegular,         // a folder, device or FIFO in place of the file
  kTooLarge,           // read: over the limit
  kReadOnly,           // write: the existing file has no write permission
  kCannotCreateFolder, // write: a parent folder could not be made (folder names it)
  kSystemError,        // err holds the errno
};

struct FileIoResult {
  FileIoStatus status = FileIoStatus::kOk;
  int err = 0;
  std::string folder;
  bool Ok() const { return status == FileIoStatus::kOk; }
};

// Reads a regular file of at most maxSize bytes into *data. A FIFO in place
// of the file cannot hang the call.
FileIoResult ReadWholeFile(const std::string& path, std::size_t maxSize, std::string* data);

// The mode an existing file has after a write; a new file always gets 0600.
enum class FileMode {
  kKeep,       // as it was
  kOwnerOnly,  // 0600, for files that hold the user's settings
};

// Writes a temporary file in the same folder, syncs it and renames it over
// the file, so readers see the old contents or the new, never a part.
// Missing parent folders are created with mode 0700. A symbolic link is
// written through, not replaced. A file without write permission is left
// alone (kReadOnly).
FileIoResult WriteFileAtomically(const std::string& path, std::string_view data, FileMode mode = FileMode::kKeep);

// Writes every byte, going on after signals and short writes. Returns 0 or
// the errno of the failure (ENOSPC when the file takes nothing).
int WriteAll(int fd, const void* data, std::size_t size);
inline int WriteAll(int fd, std::string_view data) { return WriteAll(fd, data.data(), data.size()); }

// Creates the missing folders of a path with mode 0700. Returns 0 or an errno
// (ENOTDIR when something other than a folder is in the way).
int MakeFolders(const std::string& dir);

}  // namespace corvina::platform
