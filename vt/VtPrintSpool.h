// VT print jobs (printer controller, auto print, print line, print screen):
// collected in memory up to a bound, spilled beyond it to a capped spool
// file in the data folder, and handed at their end to a print sink. Until a
// print path takes them the spool file is the output.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvina::vt {

struct VtPrintJob {
  std::string path;          // the spool file holding the job
  std::uint64_t offset = 0;  // where the job starts in it
  std::uint64_t length = 0;
  bool raw = false;          // printer-controller data: the printer interprets it
};

// The seam for the print path: it takes each finished job from the spool
// file (and may remove the file once done).
class VtPrintSink {
 public:
  virtual ~VtPrintSink() = default;
  virtual void SubmitJob(const VtPrintJob& job) = 0;
};

class CVtPrintSpool {
 public:
  static constexpr std::size_t kMemoryLimit = 64 * 1024;
  static constexpr std::uint64_t kFileLimit = 16ull * 1024 * 1024;
  // Jobs handed to the sink in any minute; more are kept in the file only.
  static constexpr int kJobsPerMinute = 20;

  CVtPrintSpool() = default;
  ~CVtPrintSpool();
  CVtPrintSpool(const CVtPrintSpool&) = delete;
  CVtPrintSpool& operator=(const CVtPrintSpool&) = delete;

  // `report` shows a message (a full spool, a write failure) once per job.
  void Configure(std::string path, std::function<void(const std::string&)> report);
  void SetSink(VtPrintSink* sink) { sink_ = sink; }
  // No more messages (the session that showed them is going).
  void Silence() { report_ = nullptr; }

  void Add(std::string_view bytes, bool raw);
  void EndJob();
  bool JobOpen() const { return jobOpen_; }
  // The bytes of the job under way so far; nullopt when none is.
  std::optional<std::string> OpenJobBytes() const;
  std::size_t Buffered() const { return memory_.size(); }
  const std::string& Path() const { return path_; }

 private:
  bool Spill();
  void Close();

  std::string path_;
  std::function<void(const std::string&)> report_;
  VtPrintSink* sink_ = nullptr;
  std::string memory_;
  int fd_ = -1;
  std::uint64_t fileSize_ = 0;  // bytes in the spool file
  std::uint64_t jobStart_ = 0, jobLength_ = 0;
  bool jobOpen_ = false, jobRaw_ = false, reported_ = false;
  std::chrono::steady_clock::time_point windowStart_{};
  int jobsInWindow_ = 0;
};

}  // namespace corvina::vt
