// The print queues behind the protocol: queues with their settings and
// spool folders, the jobs loaded from control files, the program job list,
// listing and removal, and the hand-over to the printer thread. Everything
// here runs on the event-loop thread; the printer thread reports back
// through posted tasks.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lpd/LpdFormat.h"
#include "platform/IniFile.h"
#include "printing/PrintJob.h"
#include "printing/PrinterThread.h"

namespace corvina::lpd {

enum QueueOption : unsigned {
  kOptScs = 0x01,
  kOptNoBanner = 0x02,
  kOptHoldAfter = 0x08,
  kOptPause = 0x10,
  kOptHold = 0x20,
  kOptCrLf = 0x40,
  kOptCompress = 0x80,
  kOptMetric = 0x100,
};

enum JobStatus : int { kReady = 0, kPaused = 1, kPrinting = 2, kHeld = 3 };

struct QueueSettings {
  std::string printerName;
  std::string spoolFolder;  // empty: data folder + queue name
  int margins[4] = {250, 250, 250, 250};
  bool landscape = false;
  int linesPerPage = 66;
  int lineWidth = 132;
  printing::PrintFont font;
  // The stored font's fields after the point size and colour: height,
  // width, escapement, orientation, weight, italic, underline, strike-out,
  // character set, output, clip precision, quality, pitch and family. Kept
  // so that a save writes back what it read.
  std::array<long, 13> fontFields{100, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 49};
  std::uint32_t fontColour = 0;
  unsigned options = kOptCrLf | kOptCompress;
  std::string codePage;
};

struct CPrintQueue;

struct CPrintJob {
  CPrintQueue* queue = nullptr;
  int number = 0;
  std::string controlName;  // without ".cfa"
  std::time_t created = 0;
  std::uint64_t sequence = 0;  // order among jobs of the same time
  ControlFile control;
  std::vector<std::uint64_t> sizes;  // per data file
  int status = kReady;
  bool deleteFiles = false;
  std::shared_ptr<PrintJob> request;  // while with the printer thread

  std::uint64_t TotalSize() const;
  std::string FileNames() const;
};

struct CPrintQueue {
  std::string name;
  QueueSettings settings;
  std::string folder;  // full path ending in '/'
  std::map<std::string, std::unique_ptr<CPrintJob>> jobs;  // by control file name
};

// Whether the process's measurement locale is metric; the C and POSIX
// locales count as inches, the unit margins had before the locale was read.
bool LocaleMeasuresInMetric();

class CPrintQueues {
 public:
  using Logger = std::function<void(const std::string&)>;

  // settings: the settings file (sections "Settings", "Queues", "Queues\NAME");
  // dataFolder: where default spool folders go (ending in '/').
  CPrintQueues(platform::IniFile& settings, std::string dataFolder, Logger log,
               printing::CPrinterThread* printer);
  ~CPrintQueues();
  CPrintQueues(const CPrintQueues&) = delete;
  CPrintQueues& operator=(const CPrintQueues&) = delete;

  // Reads the queue names and creates each queue, loading the jobs left in
  // its spool folder as "Held" and removing files no job owns.
  void Start();

  CPrintQueue* Find(const std::string& name);
  // Creates a queue with default settings (or the given ones) and saves it;
  // null with a message when the name or the folder is unusable.
  CPrintQueue* Define(const std::string& name, const QueueSettings* settings, std::string& error);
  // Removes a queue without jobs from the queue list (its settings and
  // spool folder stay); false with a message otherwise.
  bool DeleteQueue(const std::string& name, std::string& error);
  // Margins count in hundredths of a millimetre when the locale measures in
  // metric; every queue's metric option follows this at load and define,
  // whatever was stored. Set it before Start().
  void SetMetricUnits(bool metric) { metric_ = metric; }
  bool MetricUnits() const { return metric_; }
  bool AllowNetworkQueues() const;
  std::uint64_t MaxJobSize() const;

  // Loads the job of the control file (in the queue's spool folder) and
  // lists it, printing it when the queue allows. False when not loaded.
  bool HandOver(const std::string& queue, const std::string& controlName);
  // Clears "Pause printing" and restarts the paused jobs.
  void Resume(const std::string& queue);
  void Pause(const std::string& queue);
  std::string Listing(const std::string& queue) const;
  // Remove request of the protocol (and the control interface); replies go
  // to `send` item by item.
  void Remove(const std::string& queue, const std::string& agent, bool privileged,
              std::string_view list, const std::function<void(const std::string&)>& send);
  // Moves a job that is not printing back to "Ready".
  bool Reprint(const std::string& queue, int number);

  // The program job list in its order.
  std::vector<const CPrintJob*> JobList() const;
  const std::vector<std::string>& Names() const { return names_; }
  std::size_t PrintingOrPending() const;

 private:
  void LoadQueueSettings(CPrintQueue& queue);
  void SaveQueue(const CPrintQueue& queue);
  void SaveNames();
  bool SetSpoolFolder(CPrintQueue& queue, std::string& error);
  CPrintJob* LoadJob(CPrintQueue& queue, const std::string& controlName, bool recovering);
  void SetStatus(CPrintJob& job, int status);
  void Submit(CPrintJob& job);
  void OnReport(CPrintQueue* queue, const std::string& controlName, int state, int error,
                const std::string& errorText);
  void RemoveJob(CPrintJob& job, std::string* reply);
  void DeleteJob(CPrintQueue& queue, const std::string& controlName);
  void Requeue();
  // The file of a queue's code page; empty (the built-in table) when it does not load.
  std::string CodePagePath(const std::string& name);
  void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));

  platform::IniFile& ini_;
  std::string dataFolder_;
  Logger log_;
  printing::CPrinterThread* printer_;
  std::vector<std::string> names_;
  std::map<std::string, std::unique_ptr<CPrintQueue>> queues_;
  std::uint64_t sequence_ = 0;
  bool metric_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace corvina::lpd
