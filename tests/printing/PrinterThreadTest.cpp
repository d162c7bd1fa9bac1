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

TEST(PrinterThreadTest, CancelledJobsStopAtTheNextPageOrNeverStart) {
  TempFolder dir;
  FakeLoop loop;
  // The first page waits until the test lets the printer go on.
  std::mutex mutex;
  std::condition_variable cv;
  bool entered = false, release = false;
  std::vector<std::vector<std::string>> delivered;
  struct HeldSink final : CTextGridSink {
    HeldSink(std::mutex& m, std::condition_variable& c, bool& in, bool& go, std::vector<std::vector<std::string>>& out)
        : CTextGridSink(20, 2), m_(m), c_(c), in_(in), go_(go), out_(out) {}
    bool StartPage() override {
      std::unique_lock lock(m_);
      in_ = true;
      c_.notify_all();
      c_.wait(lock, [this] { return go_; });
      return CTextGridSink::StartPage();
    }
    bool EndDocument(std::string& error) override {
      std::lock_guard lock(m_);
      out_ = Pages();
      return CTextGridSink::EndDocument(error);
    }
    std::mutex& m_;
    std::condition_variable& c_;
    bool &in_, &go_;
    std::vector<std::vector<std::string>>& out_;
  };
  CPrinterThread thread(loop.Poster(), [&](const PrintJob&, std::string&) -> std::unique_ptr<PageSink> {
    return std::make_unique<HeldSink>(mutex, cv, entered, release, delivered);
  });
  int owner = 0, other = 0, files = 0;
  auto job = [&](const void* source, std::string text, Recorder& r) {
    auto j = std::make_shared<PrintJob>();
    j->files = {PrintFile{dir.Write("job" + std::to_string(files++), text)}};
    j->source = source;
    r.Attach(*j);
    thread.Submit(j);
    return j;
  };
  Recorder printing, waiting, others;
  auto first = job(&owner, "one\ntwo\nthree\nfour\n", printing);  // two sheets
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return entered; }));
  }
  auto second = job(&owner, "queued\n", waiting);
  auto third = job(&other, "other\n", others);
  // The owner's printing and queued jobs go; another owner's stays.
  EXPECT_EQ(thread.CancelJobsOf(&owner), 2);
  {
    std::lock_guard lock(mutex);
    release = true;
    cv.notify_all();
  }
  ASSERT_TRUE(loop.RunUntil([&] { return printing.Finished() && waiting.Finished() && others.Finished(); }));
  EXPECT_EQ(printing.states, (std::vector<int>{kJobPrinting, kJobCancelled}));
  EXPECT_EQ(waiting.states, (std::vector<int>{kJobQueued, kJobCancelled}));
  EXPECT_EQ(others.states, (std::vector<int>{kJobQueued, kJobPrinting, kJobComplete}));
  EXPECT_EQ(delivered, (std::vector<std::vector<std::string>>{{"other"}}));
  // An ended job is not cancelled afterwards.
  EXPECT_FALSE(CancelJob(*third));
  EXPECT_EQ(third->state.load(), kJobComplete);
  EXPECT_EQ(thread.CancelJobsOf(&owner), 0);
}

}  // namespace
}  // namespace corvina::printing::test
