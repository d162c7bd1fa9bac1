#include "vt/VtPrintSpool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Format.h"
#include "platform/FileIo.h"
#include "printing/JobRenderer.h"
#include "vt/VtTexts.h"

namespace corvina::vt {

CVtPrintSpool::~CVtPrintSpool() { Close(); }

void CVtPrintSpool::Configure(std::string path, std::function<void(const std::string&)> report) {
  Close();
  path_ = std::move(path);
  report_ = std::move(report);
  struct stat st {};
  fileSize_ = ::stat(path_.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void CVtPrintSpool::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void CVtPrintSpool::Add(std::string_view bytes, bool raw) {
  if (!jobOpen_) {
    jobOpen_ = true;
    jobRaw_ = false;
    reported_ = false;
    jobStart_ = fileSize_;
    jobLength_ = 0;
  }
  jobRaw_ = jobRaw_ || raw;
  if (fileSize_ + memory_.size() + bytes.size() > kFileLimit) {
    const std::uint64_t room = kFileLimit - std::min<std::uint64_t>(kFileLimit, fileSize_ + memory_.size());
    bytes = bytes.substr(0, static_cast<std::size_t>(room));
    if (!reported_ && report_) report_(platform::Format(texts::kSpoolFull, static_cast<std::size_t>(kFileLimit)));
    reported_ = true;
  }
  memory_.append(bytes);
  jobLength_ += bytes.size();
  if (memory_.size() >= kMemoryLimit) Spill();
}

// Appends what memory holds to the spool file; false when it cannot.
bool CVtPrintSpool::Spill() {
  if (memory_.empty()) return true;
  if (fd_ < 0) fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  const int err = fd_ < 0 ? errno : platform::WriteAll(fd_, memory_);
  const bool ok = err == 0;
  if (!ok && !reported_ && report_)
    report_(platform::Format(texts::kSpoolWriteFailed, path_.c_str(), std::strerror(err)));
  if (!ok) reported_ = true;
  if (ok) fileSize_ += memory_.size();
  memory_.clear();
  if (memory_.capacity() > kMemoryLimit) memory_.shrink_to_fit();
  return ok;
}

std::optional<std::string> CVtPrintSpool::OpenJobBytes() const {
  if (!jobOpen_) return std::nullopt;
  std::string out;  // at most the spool file's cap
  printing::CSpoolReader in;
  if (fileSize_ > jobStart_ && in.Open(printing::PrintFile{path_, jobStart_, fileSize_ - jobStart_}))
    for (std::string_view piece = in.NextChunk(); !piece.empty(); piece = in.NextChunk()) out.append(piece);
  return out + memory_;
}

void CVtPrintSpool::EndJob() {
  if (!jobOpen_) return;
  jobOpen_ = false;
  const bool written = Spill();
  Close();
  if (!written || jobLength_ == 0 || !sink_) return;
  const auto now = std::chrono::steady_clock::now();
  if (jobsInWindow_ == 0 || now - windowStart_ >= std::chrono::minutes(1)) {
    windowStart_ = now;
    jobsInWindow_ = 0;
  }
  if (++jobsInWindow_ > kJobsPerMinute) return;  // a host that prints without end
  sink_->SubmitJob(VtPrintJob{path_, jobStart_, jobLength_, jobRaw_});
}

}  // namespace corvina::vt
