#include "printing/PrinterThread.h"

#include <unistd.h>

#include <cstring>
#include <ctime>
#include <sstream>

#include "printing/JobRenderer.h"
#include "printing/PrintTexts.h"

namespace corvina::printing {

std::string JobFailureText(const PrintJob& job) {
  if (!job.errorText.empty()) return job.errorText;
  return job.error ? std::strerror(job.error) : "";
}

bool CancelJob(PrintJob& job) {
  int state = job.state.load();
  while (state == kJobQueued || state == kJobPrinting)
    if (job.state.compare_exchange_weak(state, kJobCancelled)) return true;
  return false;
}

CPrinterThread::CPrinterThread(Poster post, SinkFactory sinks) : post_(std::move(post)), sinks_(std::move(sinks)) {}

CPrinterThread::~CPrinterThread() { Stop(); }

void CPrinterThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    running_ = false;
    wake_.notify_one();
  }
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}

void CPrinterThread::Submit(std::shared_ptr<PrintJob> job) {
  bool report;
  {
    std::lock_guard lock(mutex_);
    job->state = kJobQueued;
    queue_.push_back(job);
    report = queue_.size() > 1;
    if (!worker_.joinable()) {
      running_ = true;
      worker_ = std::thread([this] { Run(); });
    } else {
      wake_.notify_one();
    }
  }
  if (report) Report(job, kJobQueued);
}

void CPrinterThread::Run() {
  std::unique_lock lock(mutex_);
  while (running_) {
    if (queue_.empty()) {
      wake_.wait(lock, [this] { return !running_ || !queue_.empty(); });
      continue;
    }
    // The head stays queued while it prints: Drain waits for it too.
    std::shared_ptr<PrintJob> job = queue_.front();
    lock.unlock();
    ProcessJob(job);
    lock.lock();
    if (!queue_.empty() && queue_.front() == job) queue_.pop_front();
    if (queue_.empty()) idle_.notify_all();
  }
  idle_.notify_all();
}

int CPrinterThread::CancelJobsOf(const void* source) {
  std::lock_guard lock(mutex_);
  int cancelled = 0;
  for (const auto& job : queue_)
    if (job->source == source && CancelJob(*job)) ++cancelled;
  return cancelled;
}

void CPrinterThread::Drain() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() || !running_; });
}

void CPrinterThread::Report(const std::shared_ptr<PrintJob>& job, int state) {
  if (!post_) return;
  const bool final = state != kJobQueued && state != kJobPrinting;
  post_([job, state, finished = final ? onFinished : nullptr] {
    if (job->notify) job->notify(*job, state);
    if (finished) finished(*job, state);
  });
}

void CPrinterThread::ProcessJob(const std::shared_ptr<PrintJob>& job) {
  // A job cancelled while it waited is not started; one cancelled from now
  // on keeps that state for the renderer to see.
  int queued = kJobQueued;
  if (!job->state.compare_exchange_strong(queued, kJobPrinting)) {
    FinishJob(*job, kJobCancelled);
    job->state = kJobCancelled;
    Report(job, kJobCancelled);
    return;
  }
  Report(job, kJobPrinting);
  std::string error;
  std::unique_ptr<PageSink> sink = sinks_ ? sinks_(*job, error) : nullptr;
  int result;
  if (!sink) {
    job->errorText = error.empty() ? texts::kNoDestination : error;
    result = kJobPrinterNotAvailable;
  } else {
    result = RenderJob(*job, *sink);
  }
  // The owner may have cancelled meanwhile; a finished job stays finished.
  FinishJob(*job, result);
  job->state = result;
  Report(job, result);
}

int CPrinterThread::RenderJob(PrintJob& job, PageSink& sink) { return RenderWith(job, sink, nullptr); }

int CPrinterThread::RenderWith(PrintJob& job, PageSink& sink, const CCorvinaCodePage* codePage) {
  CJobRenderer renderer(job, sink, codePage, std::time(nullptr));
  const int result = renderer.Run();
  job.error = renderer.Error();
  if (result != kJobComplete) job.errorText = renderer.ErrorText();
  return result;
}

void CPrinterThread::FinishJob(PrintJob& job, int result) {
  if (result == kJobComplete || result == kJobCancelled) job.error = 0;
  // A job that failed keeps its spool files, so that nothing is lost.
  if ((job.options & kPrintDeleteFiles) && (result == kJobComplete || result == kJobCancelled))
    for (const PrintFile& file : job.files) ::unlink(file.path.c_str());
}

CPrinterThreadSCS::~CPrinterThreadSCS() { Stop(); }

int CPrinterThreadSCS::RenderJob(PrintJob& job, PageSink& sink) {
  if (!(job.options & kPrintScs)) return CPrinterThread::RenderJob(job, sink);
  std::string error;
  if (job.codePageFile.empty() || !codePage_.Load(job.codePageFile, error)) codePage_.SetDefault();
  return RenderWith(job, sink, &codePage_);
}

}  // namespace corvina::printing
