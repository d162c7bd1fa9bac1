// Jobs through a real CUPS scheduler: the test starts its own cupsd on a
// socket in a private folder, with a queue whose back end appends every job
// to a device file; PDF pages and raw data must both reach that file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <cups/cups.h>

#include "../session/TestSupport.h"
#include "printing/backends/Backends.h"
#include "tests/printing/PrintSupport.h"

namespace corvina::printing::test {
namespace {

namespace fs = std::filesystem;

bool Wait(const std::function<bool()>& done, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CupsScheduler {
 public:
  CupsScheduler() : dir_(corvina::test::MakeTempDir()) {
    for (const char* sub : {"spool", "cache", "state", "log", "tmp", "ppd", "bin/backend"}) fs::create_directories(dir_ + "/" + sub);
    fs::create_directories(dir_ + "/out");
    ::chmod(dir_.c_str(), 0755);
    ::chmod((dir_ + "/out").c_str(), 0777);  // back ends run as the scheduler's user
    ::chmod((dir_ + "/tmp").c_str(), 01777);
    for (const char* sub : {"filter", "daemon", "cgi-bin", "notifier", "monitor"})
      fs::create_symlink(std::string("/usr/lib/cups/") + sub, dir_ + "/bin/" + sub);
    fs::copy_file(CORVINA_SOURCE_DIR "/tests/printing/cups/capture", dir_ + "/bin/backend/capture");
    ::chmod((dir_ + "/bin/backend/capture").c_str(), 0755);
    std::ofstream(dir_ + "/cupsd.conf") << "Listen " << Socket() << "\nBrowsing Off\nDefaultAuthType None\n"
                                        << "WebInterface No\nLogLevel info\n<Location />\n  Order allow,deny\n"
                                        << "  Allow all\n</Location>\n";
    std::ofstream(dir_ + "/cups-files.conf")
        << "ServerRoot " << dir_ << "\nServerBin " << dir_ << "/bin\nRequestRoot " << dir_ << "/spool\nCacheDir "
        << dir_ << "/cache\nStateDir " << dir_ << "/state\nTempDir " << dir_ << "/tmp\nErrorLog " << dir_
        << "/log/error_log\nAccessLog " << dir_ << "/log/access_log\nPageLog " << dir_ << "/log/page_log\n";
    cupsd_ = std::make_unique<corvina::test::ChildProcess>(std::vector<std::string>{
        "cupsd", "-f", "-c", dir_ + "/cupsd.conf", "-s", dir_ + "/cups-files.conf"});
    ::setenv("CUPS_SERVER", Socket().c_str(), 1);
    ready_ = Wait([this] { return fs::exists(Socket()); }, 10) && AddQueue();
  }
  ~CupsScheduler() {
    cupsd_.reset();
    fs::remove_all(dir_);
  }
  bool Ready() const { return ready_; }
  // The queue "capture", enabled and accepting, as lpadmin -p capture -E -v
  // would make it (lpadmin's package conflicts with LPRng's).
  bool AddQueue() const {
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/printers/capture");
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, ("capture:" + Device()).c_str());
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/admin/");
    const bool ok = response && cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
    ippDelete(response);
    return ok;
  }
  std::string Socket() const { return dir_ + "/cups.sock"; }
  std::string Device() const { return dir_ + "/out/device.prn"; }
  std::string Log() const { return Contents(dir_ + "/log/error_log"); }

 private:
  std::string dir_;
  std::unique_ptr<corvina::test::ChildProcess> cupsd_;
  bool ready_ = false;
};

TEST(Cups, PdfAndRawJobsReachTheDeviceFile) {
  // cupsd and lpadmin live in sbin, which a user's PATH may lack.
  const char* path = std::getenv("PATH");
  ::setenv("PATH", (std::string(path ? path : "/usr/bin:/bin") + ":/usr/sbin:/sbin").c_str(), 1);
  if (::geteuid() != 0 || std::system("command -v cupsd >/dev/null") != 0)
    GTEST_SKIP() << "needs root and the CUPS scheduler";
  CupsScheduler cups;
  ASSERT_TRUE(cups.Ready()) << cups.Log();
  const auto destinations = backends::ListDestinations();
  ASSERT_EQ(destinations.size(), 1u);
  EXPECT_EQ(destinations[0].name, "capture");

  std::mutex mutex;
  std::vector<int> finished;
  std::vector<std::string> reasons;
  CPrinterThreadSCS thread([](std::function<void()> task) { task(); }, backends::DestinationSinks());
  TempFolder dir;
  auto submit = [&](const std::string& data, unsigned options) {
    auto job = std::make_shared<PrintJob>();
    job->printerName = "capture";
    job->documentName = "CUPS test";
    job->files = {PrintFile{dir.Write("job" + std::to_string(options), data)}};
    job->options = options | kPrintFitColumns;
    job->notify = [&](const PrintJob& j, int state) {
      if (state == kJobQueued || state == kJobPrinting) return;
      std::lock_guard lock(mutex);
      finished.push_back(state);
      reasons.push_back(j.errorText);
    };
    thread.Submit(job);
  };
  submit("Printed through CUPS\r\n", 0);
  submit("RAW BYTES\x1B\f", kPrintRaw);
  ASSERT_TRUE(Wait([&] { std::lock_guard lock(mutex); return finished.size() == 2; }, 30));
  EXPECT_EQ(finished, (std::vector<int>{kJobComplete, kJobComplete})) << reasons[0] << reasons[1];
  // The scheduler prints them in turn: the PDF first, then the raw bytes.
  ASSERT_TRUE(Wait([&] { return Contents(cups.Device()).find("RAW BYTES\x1B\f") != std::string::npos; }, 30))
      << cups.Log();
  const std::string device = Contents(cups.Device());
  EXPECT_EQ(device.rfind("%PDF-", 0), 0u);
  EXPECT_EQ(device.substr(device.size() - 11), "RAW BYTES\x1B\f");

  // A destination the scheduler does not have fails with the reason.
  auto missing = std::make_shared<PrintJob>();
  missing->printerName = "nowhere";
  missing->files = {PrintFile{dir.Write("x", "x")}};
  int state = 0;
  std::string reason;
  missing->notify = [&](const PrintJob& j, int s) {
    std::lock_guard lock(mutex);
    state = s;
    reason = j.errorText;
  };
  thread.Submit(missing);
  ASSERT_TRUE(Wait([&] { std::lock_guard lock(mutex); return state == kJobPrinterNotAvailable; }, 30));
  EXPECT_EQ(reason, "the printer \"nowhere\" is not available");
  EXPECT_TRUE(fs::exists(missing->files[0].path));
}

}  // namespace
}  // namespace corvina::printing::test
