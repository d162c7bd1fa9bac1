// The LPD server on 127.0.0.1 with a port chosen at run time, driven by a
// plain socket client: protocol replies, spool files, hostile input, the
// hand-over to the printer thread and a parallel load.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include "lpd/LpdControl.h"
#include "lpd/LpdFormat.h"
#include "lpd/LpdServer.h"
#include "platform/PollLoop.h"
#include "printing/TextGridSink.h"

namespace fs = std::filesystem;
using namespace corvina;
using namespace corvina::lpd;

namespace {

// A blocking client with a time limit on every read.
struct Client {
  int fd = -1;
  explicit Client(int port) {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) { ::close(fd); fd = -1; }
  }
  ~Client() { if (fd >= 0) ::close(fd); }
  void Send(const std::string& bytes) const { (void)!::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // One reply byte, or -1 on close or after 5 s.
  int Byte() const {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) return -1;
    unsigned char c;
    return ::recv(fd, &c, 1, 0) == 1 ? c : -1;
  }
  std::string ReadAll() const {
    std::string out;
    char b[4096];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 5000) == 1) {
      const ssize_t n = ::recv(fd, b, sizeof b, 0);
      if (n <= 0) break;
      out.append(b, static_cast<size_t>(n));
    }
    return out;
  }
};

std::string Control(const std::string& data, const std::string& user,
                    const std::string& source) {
  return "Hclient\nP" + user + "\nJ" + source + "\nN" + source + "\nf" + data + "\nU" + data + "\n";
}

// Sends one job over one connection; true when every step was acknowledged.
bool SendJob(int port, const std::string& queue, int number, const std::string& host, const std::string& text,
             const std::string& user = "alice", bool dataFirst = false) {
  Client c(port);
  char num[8];
  std::snprintf(num, sizeof num, "%03d", number);
  const std::string cf = std::string("cfA") + num + host, df = std::string("dfA") + num + host;
  const std::string control = Control(df, user, "report.txt");
  c.Send("\x02" + queue + "\n");
  if (c.Byte() != 0) return false;
  auto sendFile = [&](char code, const std::string& name, const std::string& body) {
    c.Send(std::string(1, code) + std::to_string(body.size()) + " " + name + "\n");
    if (c.Byte() != 0) return false;
    c.Send(body + std::string(1, '\0'));
    return c.Byte() == 0;
  };
  bool ok = dataFirst ? sendFile('\x03', df, text) && sendFile('\x02', cf, control)
                      : sendFile('\x02', cf, control) && sendFile('\x03', df, text);
  return ok;
}

std::string Query(int port, const std::string& line) {
  Client c(port);
  c.Send(line);
  return c.ReadAll();
}

std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files.insert(fs::relative(e.path(), root).string());
  return files;
}

class LpdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("lpdtest-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "data");
    ini_.SetPath((root_ / "lpd.ini").string());
  }
  void TearDown() override {
    StopServer();
    fs::remove_all(root_);
  }
  void StartServer(unsigned options = 0, bool hold = false) {
    printer_ = std::make_unique<printing::CPrinterThread>(
        [this](std::function<void()> task) { loop_.Post(std::move(task)); },
        [](const PrintJob& job, std::string& error) { return printing::TextFileSinkFor(job, error); });
    queues_ = std::make_unique<CPrintQueues>(ini_, (root_ / "data").string() + "/",
                                             [this](const std::string& l) { log_ += l + "\n"; }, printer_.get());
    queues_->Start();
    QueueSettings s;
    s.printerName = "file:" + (root_ / "out.txt").string();
    s.options |= options | (hold ? unsigned{kOptHold} : 0u);
    std::string error;
    ASSERT_NE(queues_->Define("lp", &s, error), nullptr) << error;
    ServerOptions so;
    so.port = 0;
    so.maxConnections = 64;
    so.idleTimeout = std::chrono::milliseconds(800);
    server_ = std::make_unique<CLpdServer>(loop_, *queues_, so,
                                           [this](const std::string& s, const std::string& m) {
                                             log_ += s + ": " + m + "\n";
                                             if (server_) maxSeen_ = std::max(maxSeen_, server_->Connections());
                                           });
    ASSERT_TRUE(server_->Listen(error)) << error;
    port_ = server_->Port();
    running_ = true;
    thread_ = std::thread([this] { while (running_) loop_.RunOnce(std::chrono::milliseconds(20)); });
  }
  void StopServer() {
    if (!running_) return;
    running_ = false;
    thread_.join();
    server_.reset();
    printer_->Stop();
    queues_.reset();
  }
  // Runs on the loop thread and waits for it.
  template <class F>
  auto OnLoop(F f) {
    std::promise<decltype(f())> p;
    loop_.Post([&] { p.set_value(f()); });
    return p.get_future().get();
  }
  bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    for (int i = 0; i < ms / 20; ++i) {
      if (OnLoop(done)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  std::set<std::string> Spool() { return FilesUnder(root_ / "data"); }

  fs::path root_;
  platform::IniFile ini_;
  platform::PollLoop loop_;
  std::unique_ptr<printing::CPrinterThread> printer_;
  std::unique_ptr<CPrintQueues> queues_;
  std::unique_ptr<CLpdServer> server_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  int port_ = 0;
  std::string log_;
  size_t maxSeen_ = 0;
};

}  // namespace

TEST(LpdFormat, NamesCountsAndControlFiles) {
  EXPECT_TRUE(ValidSpoolName("cfA123host.example", 'c'));
  for (const char* bad : {"cfA12host", "cfA123../x", "cfA123a/b", "dfA123host", "cfA123", "cfA123\x01h", "cfA123.."})
    EXPECT_FALSE(ValidSpoolName(bad, 'c')) << bad;
  EXPECT_FALSE(ValidSpoolName("cfA123" + std::string(200, 'h'), 'c'));
  EXPECT_EQ(JobNumberOf("cfA123host"), 123);
  EXPECT_FALSE(ValidQueueName("../etc"));
  EXPECT_FALSE(ValidQueueName(".hidden"));
  EXPECT_EQ(ParseCount("1048576", 1 << 20), 1048576u);
  for (const char* bad : {"-1", "+5", "0", "12x", "", "99999999999999999999999", "1048577"})
    EXPECT_FALSE(ParseCount(bad, 1 << 20)) << bad;

  // LPRng puts N before the print line, CUPS and BSD after it; two f lines
  // in a row are two copies; a line naming another job's file is ignored.
  ControlFile c;
  ASSERT_TRUE(ParseControlFile("Hh\nPbob\nNone.txt\nfdfA001h\nfdfA001h\nUdfA001h\nNtwo.txt\nldfB001h\n"
                               "fdfA002other\nU../../etc/passwd\n", "cfA001h", c));
  ASSERT_EQ(c.files.size(), 2u);
  EXPECT_EQ(c.files[0].sourceName, "one.txt");
  EXPECT_EQ(c.files[0].copies, 2);
  EXPECT_EQ(c.files[1].sourceName, "two.txt");
  EXPECT_EQ(c.unlink.size(), 1u);
  ASSERT_TRUE(ParseControlFile("Pbob\nldfA001h\nUdfA001h\nNcups.txt\n", "cfA001h", c));
  EXPECT_EQ(c.files[0].sourceName, "cups.txt");
  EXPECT_FALSE(ParseControlFile("Pbob\nfdfA002h\n", "cfA001h", c));
}

TEST_F(LpdTest, JobsArriveListPrintAndAreRemoved) {
  StartServer(0, /*hold=*/true);
  ASSERT_TRUE(SendJob(port_, "lp", 7, "client", "hello lpd\n"));
  ASSERT_TRUE(SendJob(port_, "lp", 7, "other", "second\n", "bob", /*dataFirst=*/true));  // same number, other host
  ASSERT_TRUE(WaitFor([&] { return queues_->JobList().size() == 2; }));
  const std::string listing = Query(port_, "\x03lp\n");
  EXPECT_EQ(listing,
            "Rank   Owner      Job  Files                                 Total Size\n"
            "1st    alice      7    report.txt                            10 bytes\n"
            "2nd    bob        7    report.txt                            7 bytes\n");
  EXPECT_EQ(Query(port_, "\x03nosuch\n"), "Queue is empty.\n");
  // bob may not remove alice's job; root from the local machine may.
  EXPECT_EQ(Query(port_, "\x05lp bob alice\n"), "User alice permission denied\n");
  EXPECT_EQ(Query(port_, "\x05lp ROOT alice\n"), "dfA007client dequeued\ncfA007client dequeued\n");
  EXPECT_EQ(Query(port_, "\x05lp bob 9\n"), "Job number 9 not found\n");
  // The held job prints once asked to.
  ASSERT_TRUE(OnLoop([&] { return queues_->Reprint("lp", 7); }));
  ASSERT_TRUE(WaitFor([&] { return queues_->JobList().empty(); }));
  std::ifstream out(root_ / "out.txt");
  std::stringstream text;
  text << out.rdbuf();
  EXPECT_NE(text.str().find("second"), std::string::npos);
  EXPECT_EQ(Spool(), std::set<std::string>{});
  EXPECT_NE(log_.find(": Queue lp: Receive control file cfA007client, size= "), std::string::npos);
  EXPECT_NE(log_.find("complete (deleted)"), std::string::npos);
}

TEST_F(LpdTest, HostileInputLeavesNothingBehind) {
  StartServer(kOptPause);
  auto refused = [&](const std::string& sub) {
    Client c(port_);
    c.Send("\x02lp\n");
    if (c.Byte() != 0) return false;
    c.Send(sub);
    return c.Byte() == 0x0A;
  };
  EXPECT_TRUE(refused("\x02" "10 ../../cfA001x\n"));
  EXPECT_TRUE(refused("\x03" "10 dfA001/../../x\n"));
  EXPECT_TRUE(refused("\x03" "-5 dfA001x\n"));
  EXPECT_TRUE(refused("\x03" "99999999999999999999999 dfA001x\n"));
  EXPECT_TRUE(refused("\x03" "0 dfA001x\n"));
  EXPECT_EQ(Query(port_, "\x02../x\n"), "\x0A");
  EXPECT_EQ(Query(port_, "\x02undefined\n"), "\x0A");
  EXPECT_EQ(Query(port_, "\x02" + std::string(10000, 'q')), "\x0A");
  {  // a file longer than announced: the extra bytes are read as subcommands
    Client c(port_);
    c.Send("\x02lp\n");
    ASSERT_EQ(c.Byte(), 0);
    c.Send("\x03" "3 dfA002x\n");
    ASSERT_EQ(c.Byte(), 0);
    c.Send(std::string("abcdefgh") + '\0');
    c.ReadAll();
  }
  {  // a connection dropped in the middle of a file
    Client c(port_);
    c.Send("\x02lp\n");
    ASSERT_EQ(c.Byte(), 0);
    c.Send("\x03" "100 dfA003x\nhalf");
    ASSERT_EQ(c.Byte(), 0);
  }
  {  // connections that never send are closed by the time-out; beyond the cap, refused
    std::vector<std::unique_ptr<Client>> idle;
    for (int i = 0; i < 200; ++i) idle.push_back(std::make_unique<Client>(port_));
    EXPECT_TRUE(WaitFor([&] { return server_->Connections() == 0; }, 20000));
    EXPECT_LE(maxSeen_, 64u);
  }
  EXPECT_TRUE(WaitFor([&] { return Spool().empty(); }));
  EXPECT_EQ(FilesUnder(root_), (std::set<std::string>{"lpd.ini"}));
  // Still serving, and a paused queue takes jobs until resumed.
  ASSERT_TRUE(SendJob(port_, "lp", 10, "client", "after\n"));
  EXPECT_EQ(Query(port_, "\x01lp\n"), "Ok");
  EXPECT_TRUE(WaitFor([&] { return queues_->JobList().empty(); }));
}

TEST_F(LpdTest, ParallelClientsEachJobOnce) {
  StartServer();
  constexpr int kClients = 50, kJobs = 20;
  std::atomic<int> acknowledged{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c)
    clients.emplace_back([&, c] {
      for (int j = 0; j < kJobs; ++j)
        if (SendJob(port_, "lp", j, "host" + std::to_string(c), "job " + std::to_string(c) + "/" + std::to_string(j) + "\n"))
          ++acknowledged;
    });
  for (auto& t : clients) t.join();
  EXPECT_EQ(acknowledged.load(), kClients * kJobs);
  ASSERT_TRUE(WaitFor([&] { return queues_->JobList().empty() && queues_->PrintingOrPending() == 0; }, 60000));
  EXPECT_EQ(std::count(log_.begin(), log_.end(), '\n') > 0, true);
  size_t printed = 0;
  for (size_t at = 0; (at = log_.find("complete (deleted)", at)) != std::string::npos; ++at) ++printed;
  EXPECT_EQ(printed, static_cast<size_t>(kClients * kJobs));
  EXPECT_TRUE(Spool().empty());
}

TEST_F(LpdTest, RecoveryLoadsCompleteJobsHeldAndCleansTheRest) {
  fs::create_directories(root_ / "data" / "lp");
  std::ofstream(root_ / "data/lp/cfA001h.cfa") << "Pamy\nfdfA001h\n";
  std::ofstream(root_ / "data/lp/dfA001h.dfa") << "kept\n";
  std::ofstream(root_ / "data/lp/dfA002h.dfa") << "stray\n";
  std::ofstream(root_ / "data/lp/cfA003h.cfa") << "Pamy\nfdfA003h\n";  // its data file is gone
  ini_.SetString("Queues", "Names", "lp");
  StartServer();
  EXPECT_EQ(Spool(), (std::set<std::string>{"lp/cfA001h.cfa", "lp/dfA001h.dfa"}));
  EXPECT_EQ(Query(port_, "\x04lp\n"),
            "Rank   Owner      Job  Files                                 Total Size\n"
            "1st    amy        1                                          5 bytes\n");
}

// LPRng's own clients against the server, with a client configuration of
// the test's own that sends straight to the server's port.
TEST_F(LpdTest, LprngClientsSubmitListAndRemove) {
  if (::access("/usr/bin/lpr", X_OK) != 0 || ::access("/etc/printcap", R_OK) != 0)
    GTEST_SKIP() << "LPRng is not installed (scripts/setup)";
  StartServer(0, /*hold=*/true);
  const std::string conf = (root_ / "client.conf").string();
  std::ofstream(conf) << "force_localhost@\nprintcap_path=" << (root_ / "printcap").string() << "\n";
  std::ofstream(root_ / "printcap") << "";
  std::ofstream(root_ / "doc.txt") << "printed by lprng\n";
  const std::string printer = "lp@127.0.0.1%" + std::to_string(port_);
  auto run = [&](const std::string& command) {
    const std::string line = "LPD_CONF=" + conf + " USER=carol LOGNAME=carol timeout 20 " + command + " 2>&1";
    std::string out;
    if (FILE* p = ::popen(line.c_str(), "r")) {
      char b[512];
      while (std::fgets(b, sizeof b, p)) out += b;
      ::pclose(p);
    }
    return out;
  };
  run("lpr -P " + printer + " -J report " + (root_ / "doc.txt").string());
  ASSERT_TRUE(WaitFor([&] { return queues_->JobList().size() == 1; }));
  const CPrintJob* job = OnLoop([&] { return queues_->JobList().front(); });
  EXPECT_EQ(OnLoop([&] { return job->control.files.size(); }), 1u);
  EXPECT_EQ(OnLoop([&] { return job->control.files[0].sourceName; }), (root_ / "doc.txt").string());
  EXPECT_EQ(OnLoop([&] { return job->control.jobName; }), "report");
  const std::string owner = OnLoop([&] { return job->control.owner; });
  const int number = OnLoop([&] { return job->number; });
  const std::string listing = run("lpq -P " + printer);
  EXPECT_NE(listing.find("1st    " + owner), std::string::npos) << listing;
  // The held job prints; a second one is removed with lprm.
  ASSERT_TRUE(OnLoop([&] { return queues_->Reprint("lp", number); }));
  ASSERT_TRUE(WaitFor([&] { return queues_->JobList().empty(); }));
  std::ifstream out(root_ / "out.txt");
  std::stringstream text;
  text << out.rdbuf();
  EXPECT_NE(text.str().find("printed by lprng"), std::string::npos);
  run("lpr -P " + printer + " " + (root_ / "doc.txt").string());
  ASSERT_TRUE(WaitFor([&] { return queues_->JobList().size() == 1; }));
  const int second = OnLoop([&] { return queues_->JobList().front()->number; });
  EXPECT_NE(run("lprm -P " + printer + " " + std::to_string(second)).find("dequeued"), std::string::npos);
  EXPECT_TRUE(WaitFor([&] { return queues_->JobList().empty(); }));
  EXPECT_TRUE(Spool().empty());
}

// The control socket: define, pause and resume, list and remove, and the
// refusals, with the socket file private to the server's user.
TEST_F(LpdTest, ControlInterface) {
  StartServer();
  const std::string path = (root_ / "run" / "control").string();
  fs::create_directories(root_ / "run");
  std::string traced;
  auto control = OnLoop([&] {
    auto c = std::make_unique<CLpdControl>(loop_, *queues_, [&](const std::string& p) { traced = p; return std::string(); });
    std::string error;
    EXPECT_TRUE(c->Listen(path, error)) << error;
    return std::shared_ptr<CLpdControl>(std::move(c));
  });
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_all);
  std::string reply;
  auto ask = [&](const std::string& request) {
    EXPECT_TRUE(ControlRequest(path, request, reply)) << request;
    return reply;
  };
  EXPECT_EQ(ask("define\tbad name"), "error: A queue name cannot contain white space. Please choose another name.\n");
  EXPECT_EQ(ask("define\tq2\tprinter=file:" + (root_ / "q2.txt").string() + "\toptions=0x10"), "ok\n");
  EXPECT_EQ(ask("define\tq2\toptions=0x999"), "error: options must be a number of the option bits (0 to 0x1FF)\n");
  ASSERT_TRUE(SendJob(port_, "q2", 5, "h", "paused job\n", "dave"));
  ASSERT_TRUE(WaitFor([&] { return queues_->JobList().size() == 1; }));
  EXPECT_NE(ask("list").find("q2\tdave\t5\treport.txt\t11\t"), std::string::npos) << reply;
  EXPECT_NE(reply.find("\tPaused\n"), std::string::npos);
  EXPECT_EQ(ask("remove\tq2\t6"), "ok\nJob number 6 not found\n");
  EXPECT_EQ(ask("pause\tnone"), "error: no queue none\n");
  EXPECT_EQ(ask("print\tq2\t77"), "error: no job 77 to print in q2\n");
  EXPECT_EQ(ask("resume\tq2"), "ok\n");
  EXPECT_TRUE(WaitFor([&] { return queues_->JobList().empty(); }));
  EXPECT_EQ(ask("trace\t/tmp/x.trc"), "ok\n");
  EXPECT_EQ(traced, "/tmp/x.trc");
  EXPECT_EQ(ask("nonsense"), "error: unknown request\n");
  OnLoop([&] { control.reset(); return 0; });
  EXPECT_FALSE(fs::exists(path));
}

// The queue setup through the control interface: the settings as the setup
// dialog shows them, its refusals, New and Delete, the metric locale and the
// job list's sort orders.
TEST_F(LpdTest, QueueSetupNewDeleteAndTheSortedJobList) {
  StartServer();
  const std::string path = (root_ / "control").string();
  auto control = OnLoop([&] {
    auto c = std::make_shared<CLpdControl>(loop_, *queues_, nullptr);
    std::string error;
    EXPECT_TRUE(c->Listen(path, error)) << error;
    return c;
  });
  std::string reply;
  auto ask = [&](const std::string& request) {
    EXPECT_TRUE(ControlRequest(path, request, reply)) << request;
    return reply;
  };
  const std::string folder = (root_ / "spool3").string();
  EXPECT_EQ(ask("new\tq3\tprinter=file:/dev/null\toptions=0x41\tmargins=0.5,0.25,1,0\torientation=landscape"
                "\trows=0\tcolumns=80\tfont=Liberation Mono,12,255\tcodepage=IBM037.cpg\tspool=" + folder),
            "ok\n");
  EXPECT_EQ(ask("show\tq3"),
            "ok\nPrint Queue Setup - Corvina\nQueue: q3\nPrinter: file:/dev/null\n"
            "Margins (inches): left 0.500, top 0.250, right 1.000, bottom 0.000\nOrientation: Landscape\n"
            "Rows: 66\nColumns: 80\nFont: Liberation Mono - 12pt, colour 255\nSpool folder: " + folder + "/\n"
            "[x] SNA Character String (SCS) printer\n[ ] Suppress banner page\n"
            "[ ] Hold jobs in queue after printing\n[ ] Pause printing\n[ ] Hold jobs in queue without printing\n"
            "[x] Substitute CR/LF for LF\n[ ] Compress font width to fit page\nHost code page: IBM037.cpg\n");
  EXPECT_EQ(ask("new\tq3"), "error: Queue \"q3\" already exists. Please choose another name.\n");
  for (const char* bad : {"margins=1,2,3", "margins=1,2,3,x", "margins=1,2,3,4,5", "rows=1000", "columns=0",
                          "font=Mono,0", "font=,10", "orientation=up", "options=-1", "colour=3"}) {
    ask(std::string("define\tq3\t") + bad);
    EXPECT_EQ(reply.rfind("error: ", 0), 0u) << bad << " -> " << reply;
  }
  EXPECT_EQ(ask("new\tq4\tcodepage=IBM037.cpg"),
            "error: The host code page applies only to an SCS printer queue (option 1)\n");
  EXPECT_EQ(queues_->Find("q4"), nullptr);
  EXPECT_EQ(ini_.GetString("Queues\\q3", "PageLayout"), "500,250,1000,0,1,66,80");

  // A metric locale: margins in hundredths of a millimetre and the metric
  // bit set whatever was asked, and cleared again by a load in inches.
  OnLoop([&] { queues_->SetMetricUnits(true); return 0; });
  EXPECT_EQ(ask("define\tq3\tmargins=6.35,0,0,10.5\toptions=0x41"), "ok\n");
  EXPECT_NE(ask("show\tq3").find("Margins (millimeters): left 6.35, top 0.00, right 0.00, bottom 10.50\n"),
            std::string::npos) << reply;
  EXPECT_EQ(ini_.GetInt("Queues\\q3", "Options", 0), 0x141);
  {
    CPrintQueues inches(ini_, (root_ / "data").string() + "/", nullptr, nullptr);
    inches.Start();
    EXPECT_EQ(inches.Find("q3")->settings.options, 0x41u);
  }

  // Jobs of two owners in a paused queue, sorted by owner either way.
  ASSERT_EQ(ask("define\tlp\toptions=0x10"), "ok\n");
  ASSERT_TRUE(SendJob(port_, "lp", 1, "h", "one\n", "bob"));
  ASSERT_TRUE(SendJob(port_, "lp", 2, "h", "two\n", "Alice"));
  ASSERT_TRUE(WaitFor([&] { return queues_->JobList().size() == 2; }));
  auto owners = [&](const std::string& request) {
    std::string found;
    std::istringstream lines(ask(request));
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("lp\t", 0) == 0) found += line.substr(3, line.find('\t', 3) - 3) + " ";
    return found;
  };
  EXPECT_EQ(owners("list"), "bob Alice ");
  EXPECT_EQ(owners("list\towner"), "Alice bob ");
  EXPECT_EQ(owners("list\towner\treverse"), "bob Alice ");
  EXPECT_EQ(owners("list\tcreated\treverse"), "Alice bob ");
  EXPECT_EQ(ask("list\tcolour"), "error: no column colour (printer, owner, job, files, size, created, status)\n");

  EXPECT_EQ(ask("delete\tlp"), "error: Queue lp still has jobs: remove them first\n");
  EXPECT_EQ(ask("delete\tq3"), "ok\n");
  EXPECT_EQ(ask("queues"), "ok\nlp\n");
  EXPECT_EQ(ini_.GetString("Queues", "Names"), "lp");
  OnLoop([&] { control.reset(); return 0; });
}

// CUPS's lpd back end, run standalone: its N line comes after the print line.
TEST_F(LpdTest, CupsBackendSubmits) {
  const char* backend = "/usr/local/lib/corvina-test/cups-lpd";
  if (::access(backend, X_OK) != 0) GTEST_SKIP() << "the CUPS lpd back end is not unpacked (scripts/setup)";
  StartServer();
  std::ofstream(root_ / "c.txt") << "sent by cups\n";
  const std::string line = "DEVICE_URI='lpd://127.0.0.1:" + std::to_string(port_) + "/lp?contimeout=5' timeout 30 " +
                           backend + " 42 erin 'cups job' 2 '' " + (root_ / "c.txt").string() + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(line.c_str()), 0);
  ASSERT_TRUE(WaitFor([&] { return log_.find("complete (deleted)") != std::string::npos; }));
  EXPECT_NE(log_.find("Receive control file cfA"), std::string::npos);
  std::ifstream out(root_ / "out.txt");
  std::stringstream text;
  text << out.rdbuf();
  // Two copies: the l line is sent twice in a row.
  const std::string printed = text.str();
  const size_t first = printed.find("sent by cups");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(printed.find("sent by cups", first + 1), std::string::npos);
  EXPECT_TRUE(WaitFor([&] { return Spool().empty(); }));
}

// Settings files of older versions: margins, page size, orientation and the
// font's weight come through; a page size of 0 takes the default.
TEST_F(LpdTest, OlderQueueSettingsAndTheWholeFontAreRead) {
  std::string devMode(44 * 2, '0');
  devMode += "0200";  // orientation 2, landscape
  ini_.SetString("Queues", "Names", "old:new");
  ini_.SetString("Queues\\old", "PageSetup", "100,200,300,400,9,9");
  ini_.SetInt("Queues\\old", "LinesPerPage", 0);
  ini_.SetInt("Queues\\old", "LineWidth", 100);
  ini_.SetString("Queues\\old", "PrinterDevMode", devMode);
  ini_.SetString("Queues\\old", "Font", "12,255,120,0,0,0,700,0,0,0,0,0,0,0,49,Liberation Mono");
  ini_.SetString("Queues\\new", "PageLayout", "1,2,3,4,0,60,80");
  ini_.SetString("Queues\\new", "PageSetup", "100,200,300,400");
  ini_.SetString("Queues\\new", "PrinterDevMode", devMode);
  const std::string italic = "9,0,90,0,0,0,400,1,1,1,255,3,2,1,49,DejaVu Sans Mono";
  ini_.SetString("Queues\\new", "Font", italic);
  CPrintQueues queues(ini_, (root_ / "data").string() + "/", nullptr, nullptr);
  queues.Start();
  const QueueSettings& old = queues.Find("old")->settings;
  EXPECT_EQ(std::vector<int>(old.margins, old.margins + 4), (std::vector<int>{100, 200, 300, 400}));
  EXPECT_EQ(old.linesPerPage, 66);
  EXPECT_EQ(old.lineWidth, 100);
  EXPECT_TRUE(old.landscape);
  EXPECT_EQ(old.font.heightTenths, 120);
  EXPECT_TRUE(old.font.bold);
  EXPECT_EQ(old.font.face, "Liberation Mono");
  EXPECT_EQ(old.fontColour, 255u);
  const QueueSettings& now = queues.Find("new")->settings;  // the older keys are not read
  EXPECT_EQ(std::vector<int>(now.margins, now.margins + 4), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(now.linesPerPage, 60);
  EXPECT_FALSE(now.landscape);
  EXPECT_FALSE(now.font.bold);
  EXPECT_TRUE(now.font.italic);
  // Start saved every queue: the fields the print path does not use stay.
  EXPECT_EQ(ini_.GetString("Queues\\new", "Font"), italic);

  // What a queue saves reads back the same.
  QueueSettings saved = old;
  saved.font.face = "DejaVu Sans Mono";
  std::string error;
  ASSERT_NE(queues.Define("again", &saved, error), nullptr) << error;
  CPrintQueues reread(ini_, (root_ / "data").string() + "/", nullptr, nullptr);
  reread.Start();
  const QueueSettings& back = reread.Find("again")->settings;
  EXPECT_EQ(back.font.face, "DejaVu Sans Mono");
  EXPECT_TRUE(back.font.bold);
  EXPECT_TRUE(back.landscape);
  EXPECT_EQ(back.lineWidth, 100);
}

// A queue's code page is a file of the code page folder; one that does not
// load is said in the log and the job still prints.
TEST_F(LpdTest, AQueuesCodePageThatDoesNotLoadIsLogged) {
  StartServer();
  QueueSettings s;
  s.printerName = "file:" + (root_ / "scs.txt").string();
  s.options |= kOptScs;
  s.codePage = "nothere.cpg";
  std::string error;
  ASSERT_TRUE(OnLoop([&] { return queues_->Define("scs", &s, error) != nullptr; })) << error;
  ASSERT_TRUE(SendJob(port_, "scs", 7, "h", "\xC1\xC2\x15"));
  ASSERT_TRUE(WaitFor([&] { return log_.find("complete") != std::string::npos; })) << log_;
  EXPECT_NE(log_.find("Code page nothere.cpg is not loaded"), std::string::npos) << log_;
}

// Under a service manager the server says when it is ready and when it stops.
TEST(LpdProgram, TellsTheServiceManagerItIsReadyAndStopping) {
  const fs::path root = fs::temp_directory_path() / ("lpdnotify-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root);
  const std::string socketPath = (root / "notify").string();
  const int listener = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("NOTIFY_SOCKET", socketPath.c_str(), 1);
    const std::string settings = (root / "lpd.ini").string(), data = (root / "data/").string(),
                      control = (root / "run/control").string();
    ::execl(CORVINA_LPD_PROGRAM, "corvina-lpd", "--address", "127.0.0.1", "--port", "0", "--settings",
            settings.c_str(), "--data-dir", data.c_str(), "--control", control.c_str(), nullptr);
    ::_exit(127);
  }
  auto next = [&] {
    char text[64] = "";
    pollfd p{listener, POLLIN, 0};
    if (::poll(&p, 1, 20000) != 1) return std::string("(nothing)");
    const ssize_t n = ::recv(listener, text, sizeof text - 1, 0);
    return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
  };
  EXPECT_EQ(next(), "READY=1");
  ::kill(pid, SIGTERM);
  EXPECT_EQ(next(), "STOPPING=1");
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ::close(listener);
  fs::remove_all(root);
}
