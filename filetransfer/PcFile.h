// The PC side of a transfer. A received file is written to a temporary file
// in the target's folder and takes the target's name only when the transfer
// succeeds, so a failed or cancelled transfer never leaves a truncated file
// where a good one was; in append mode the old content is copied in first.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace corvina::filetransfer {

// The file error text of an errno value (the causes of the classic file
// exception).
std::string FileErrorText(int error);
int FileErrorCause(int error);

class CPcFile {
 public:
  CPcFile() = default;
  CPcFile(const CPcFile&) = delete;
  CPcFile& operator=(const CPcFile&) = delete;
  ~CPcFile() { Discard(); }

  // 0 or the errno of the failure.
  int OpenForReceive(const std::string& path, bool append);
  int OpenForSend(const std::string& path);
  bool Open() const { return fd_ >= 0; }
  static bool Exists(const std::string& path);

  // 0 or errno.
  int Write(std::span<const std::uint8_t> bytes);
  // Bytes read at `offset` (up to buffer's size), or -errno.
  long ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer);
  std::uint64_t Size() const { return size_; }

  // A received file takes its name; 0 or errno (the temporary file goes).
  int Commit();
  // Closes; a received file's temporary copy is removed.
  void Discard();

 private:
  int fd_ = -1;
  std::string path_, temporary_;
  std::uint64_t size_ = 0;
};

}  // namespace corvina::filetransfer
