// The printer thread: one worker per owner takes jobs from a queue guarded
// by a mutex and a wake-up, prints each on the page sink its destination
// gives, and reports every state change by posting to the owner's event
// loop. It touches no object of its owner: reports go through the job's
// own notify function, which the owner guards against its own end.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "codepage/CodePage.h"
#include "printing/PageSink.h"
#include "printing/PrintJob.h"

namespace corvina::printing {

// Makes the sink for a job's destination; null with a reason when the
// destination is not available.
using SinkFactory = std::function<std::unique_ptr<PageSink>(const PrintJob& job, std::string& error)>;
// Runs a task on the owner's event loop (thread-safe).
using Poster = std::function<void(std::function<void()>)>;

class CPrinterThread {
 public:
  CPrinterThread(Poster post, SinkFactory sinks);
  virtual ~CPrinterThread();
  CPrinterThread(const CPrinterThread&) = delete;
  CPrinterThread& operator=(const CPrinterThread&) = delete;

  // Ends the worker after the current job; queued jobs, and jobs submitted
  // later, stay unprinted.
  void Stop();
  // Any thread. The job is queued (state 1); the first starts the worker.
  void Submit(std::shared_ptr<PrintJob> job);
  // Cancels the queued and printing jobs of one submitter; how many.
  int CancelJobsOf(const void* source);
  // Blocks until every queued job has finished (for programs that end once
  // their work is printed; never on a user-interface thread).
  void Drain();
  // Told, on the owner's loop, of every job's end (after its own notify).
  std::function<void(const PrintJob& job, int state)> onFinished;

 protected:
  // Prints one job on its sink and returns the final state.
  virtual int RenderJob(PrintJob& job, PageSink& sink);
  int RenderWith(PrintJob& job, PageSink& sink, const CCorvinaCodePage* codePage);
  void ProcessJob(const std::shared_ptr<PrintJob>& job);
  void Report(const std::shared_ptr<PrintJob>& job, int state);
  void FinishJob(PrintJob& job, int result);

 private:
  void Run();

  Poster post_;
  SinkFactory sinks_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::shared_ptr<PrintJob>> queue_;
  std::thread worker_;
  bool running_ = false;
};

// The printer thread that also renders SCS jobs through their code page.
class CPrinterThreadSCS final : public CPrinterThread {
 public:
  using CPrinterThread::CPrinterThread;
  ~CPrinterThreadSCS() override;

 protected:
  int RenderJob(PrintJob& job, PageSink& sink) override;

 private:
  CCorvinaCodePage codePage_;
};

}  // namespace corvina::printing
