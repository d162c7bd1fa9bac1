// The printer thread: reports through the owner's loop, failures with their
// reasons, spool files kept on failure and removed once printed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "printing/PrinterThread.h"
#include "tests/printing/PrintSupport.h"

namespace corvina::printing::test {
namespace {

// Stands in for the owner's event loop: tasks run on the test thread.
class FakeLoop {
 public:
  printing::Poster Poster() {
    return [this](std::function<void()> task) {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
      cv_.notify_all();
    };
  }
  // Runs posted tasks until `done` holds (at most five seconds).
  bool RunUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
      std::unique_lock lock(mutex_);
      if (!cv_.wait_until(lock, end, [this] { return !tasks_.empty(); })) return false;
      auto task = std::move(tasks_.front());
      tasks_.erase(tasks_.begin());
      lock.unlock();
      task();
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::function<void()>> tasks_;
};

struct Recorder {
  std::vector<int> states;
  std::string errorText;
  void Attach(PrintJob& job) {
    job.notify = [this](const PrintJob& j, int state) {
      states.push_back(state);
      errorText = j.errorText;
    };
  }
  bool Finished() const { return !states.empty() && states.back() != kJobQueued && states.back() != kJobPrinting; }
};

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

TEST(PrinterThreadTest, PrintsReportsAndRemovesSpoolFiles) {
  TempFolder dir;
  FakeLoop loop;
  struct KeepingSink final : CTextGridSink {
    explicit KeepingSink(std::vector<std::vector<std::string>>* out) : CTextGridSink(20, 5), out_(out) {}
    bool EndDocument(std::string& error) override {
      *out_ = Pages();
      return CTextGridSink::EndDocument(error);
    }
    std::vector<std::vector<std::string>>* out_;
  };
  std::vector<std::vector<std::string>> pages;
  CPrinterThreadSCS thread(loop.Poster(), [&](const PrintJob& job, std::string& error) -> std::unique_ptr<PageSink> {
    if (job.printerName == "absent") {
      error = "destination absent does not exist";
      return nullptr;
    }
    return std::make_unique<KeepingSink>(&pages);
  });

  auto good = std::make_shared<PrintJob>();
  good->files = {PrintFile{dir.Write("good", Ebcdic("hello") + "\x15")}};
  good->options = kPrintScs | kPrintDeleteFiles;
  Recorder goodReports;
  goodReports.Attach(*good);
  auto bad = std::make_shared<PrintJob>();
  bad->printerName = "absent";
  bad->files = {PrintFile{dir.Write("bad", "x")}};
  bad->options = kPrintDeleteFiles;
  Recorder badReports;
  badReports.Attach(*bad);

  thread.Submit(good);
  thread.Submit(bad);
  ASSERT_TRUE(loop.RunUntil([&] { return goodReports.Finished() && badReports.Finished(); }));
  EXPECT_EQ(goodReports.states, (std::vector<int>{kJobPrinting, kJobComplete}));
  EXPECT_EQ(pages, (std::vector<std::vector<std::string>>{{"hello"}}));
  EXPECT_FALSE(Exists(good->files[0].path));
  // Queued behind another job it is told so first; its spool file stays.
  EXPECT_EQ(badReports.states, (std::vector<int>{kJobQueued, kJobPrinting, kJobPrinterNotAvailable}));
  EXPECT_EQ(badReports.errorText, "destination absent does not exist");
  EXPECT_TRUE(Exists(bad->files[0].path));

}

}  // namespace
}  // namespace corvina::printing::test
