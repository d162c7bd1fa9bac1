// The printer variant of the 3270 engine (terminal kind 3270P): host print
// jobs, as SCS strings (LU type 1) or as writes to the printer's buffer (LU
// type 3), become spool files for the printer thread or text in a disk
// file. The window shows a log of job messages instead of a screen.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ibm3270/Engine3270.h"
#include "printing/ScsText.h"

namespace corvina {

class C3270PrinterEngine final : public C3270Engine {
 public:
  // Seconds without data before a job ends by itself.
  static constexpr int kReceiveTimeout = 30;
  static constexpr std::size_t kMaxMessage = 512;

  C3270PrinterEngine();
  ~C3270PrinterEngine() override;

  void Start(CHostSession& session) override;
  void Stop() override;
  void ProcessRecord(std::span<const std::uint8_t> record) override;
  void Paint(Canvas& canvas) override;
  void KeyFunction(int) override {}
  void TypeCharacter(int) override {}
  void MouseFunction(int, int, int) override {}
  void EraseSelection() override {}
  void PasteText(std::string_view) override {}
  void PrintJobStatus(const PrintJob& job) override;
  void JobStatus(const PrintJob& job, int state);
  int ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                  unsigned flags) override;
  void OnTick() override;

  // The message log, oldest first.
  const std::vector<std::string>& Log() const { return log_; }
  void WriteMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));
  bool Receiving() const { return receiving_; }
  // The 3270 buffer as print text (LU type 3), as it would be printed now.
  std::string BufferText(std::uint8_t wcc) const;

 protected:
  bool IsPrinter() const override { return true; }
  void PrinterScsData(std::span<const std::uint8_t> data) override;
  void PrinterEndOfJob() override;
  void PrinterWriteComplete(std::uint8_t wcc) override;

 private:
  bool OpenJob(int luType);
  void WriteJob(const std::string& bytes);
  void CloseJob(bool deleteFile);
  void EndJob(bool timedOut);
  void Acknowledge(bool ok);
  void SubmitJob();
  int LineLength() const;
  void ShowState();

  std::vector<std::string> log_;
  bool receiving_ = false;
  bool flushed_ = false;
  bool jobToFile_ = false;  // the job goes to a disk file as text
  int jobNumber_ = 0;
  int luType_ = 1;
  int fd_ = -1;
  std::string jobFile_;
  int timeout_ = 0;
  int diskCounter_ = 0;
  std::string diskFileName_;  // the profile's name the counter counts for
  bool diskFileUsed_ = false;
  int lastLineLength_ = 132;
  std::optional<printing::CScsTextConverter> scsText_;
  std::vector<bool> errorLines_;  // per log line: drawn as an error
  RenderModel logModel_;
  // Reports of the printer thread reach the engine only while it lives.
  std::shared_ptr<C3270PrinterEngine*> self_;
};

}  // namespace corvina
