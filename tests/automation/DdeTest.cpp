// The DDE-style server: its line protocol and items, the server with a
// frame of its own (system commands, other users, clients that stop
// reading), and corvina-cli serving the demo host to corvina-dde and to a
// client that speaks the protocol itself.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "app/Application.h"
#include "app/Engines.h"
#include "automation/DdeProtocol.h"
#include "automation/DdeServer.h"
#include "keyboard/KeyFunctions.h"
#include "platform/PollLoop.h"
#include "tests/session/TestSupport.h"

using namespace corvina;
using namespace corvina::automation;

namespace {

// A protocol client with a blocking socket; the server may run on the same
// thread, so reads turn the given loop while they wait.
class LineClient {
 public:
  explicit LineClient(const std::string& path, platform::PollLoop* loop = nullptr) : loop_(loop) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~LineClient() { ::close(fd_); }
  bool Connected() const { return connected_; }
  void Send(const std::string& line) {
    std::string all = line + "\n";
    [[maybe_unused]] auto n = ::send(fd_, all.data(), all.size(), MSG_NOSIGNAL);
  }
  std::optional<std::string> Line(int ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      if (auto at = buffer_.find('\n'); at != std::string::npos) {
        std::string line = buffer_.substr(0, at);
        buffer_.erase(0, at + 1);
        return line;
      }
      if (loop_) loop_->RunOnce(std::chrono::milliseconds(0));
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, loop_ ? 5 : 50) <= 0) continue;
      char chunk[65536];
      ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
    return std::nullopt;
  }
  std::string Ask(const std::string& line) {
    Send(line);
    return Line().value_or("<none>");
  }
  int Fd() const { return fd_; }

 private:
  platform::PollLoop* loop_;
  int fd_;
  bool connected_ = false;
  std::string buffer_;
};

class FakeFrame final : public DdeFrame {
 public:
  CHostSession* SessionByTopic(std::string_view) override { return nullptr; }
  bool StartProfileSession(std::string_view name) override {
    started.emplace_back(name);
    return false;
  }
  void RunSystemCommand(int id) override {
    commands.push_back(id);
    if (onCommand) onCommand();
  }
  std::function<void()> onCommand;
  std::string OiaText(CHostSession&) override { return {}; }
  std::string MainWindowId() override { return "1"; }
  std::vector<int> commands;
  std::vector<std::string> started;
};

}  // namespace

TEST(DdeProtocol, RequestLinesAndEscapes) {
  std::string error;
  auto r = ParseDdeRequest("CONNECT corvina My Profile\r", &error);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->verb, DdeVerb::Connect);
  EXPECT_EQ(r->first, "corvina");
  EXPECT_EQ(r->second, "My Profile");
  r = ParseDdeRequest("poke Keystroke a b%25%0D", &error);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->first, "Keystroke");
  EXPECT_EQ(r->second, "a b%\r");
  r = ParseDdeRequest("EXECUTE Erase EOF", &error);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->first, "Erase EOF");
  for (const char* bad : {"", "CONNECT Corvina", "REQUEST", "REQUEST R1 extra", "DISCONNECT now", "FROB x",
                          "POKE Cursor %4", "POKE Cursor %G1"})
    EXPECT_FALSE(ParseDdeRequest(bad, &error)) << bad;
  EXPECT_EQ(DdeEscape("a%b\r\n\x1b\x7f"), "a%25b%0D%0A%1B%7F");
  EXPECT_EQ(DdeUnescape(DdeEscape("x\ny%z")), "x\ny%z");
}

TEST(DdeProtocol, ItemNumbersAreStrictAndBounded) {
  EXPECT_EQ(ParseDdeItem("ps").kind, DdeItem::PS);
  EXPECT_EQ(ParseDdeItem("cursor").kind, DdeItem::Cursor);
  auto item = ParseDdeItem("r1");
  EXPECT_EQ(item.kind, DdeItem::Row);
  EXPECT_EQ(item.number, 1);
  item = ParseDdeItem("F2u");
  EXPECT_EQ(item.kind, DdeItem::Field);
  EXPECT_EQ(item.number, 2);
  EXPECT_EQ(item.fieldKind, 'U');
  for (const char* none : {"R0", "R", "R1x", "R-1", "R 1", "R99999", "F", "FU", "F2X"}) {
    item = ParseDdeItem(none);
    EXPECT_TRUE(item.kind == DdeItem::Row || item.kind == DdeItem::Field) << none;
    EXPECT_EQ(item.number, 0) << none;
  }
  EXPECT_EQ(ParseDdeItem("Whatever").kind, DdeItem::Unknown);
}

TEST(DdeProtocol, FieldsAreCountedByKindAndWrapAtTheEnd) {
  // Attribute bytes: 0xE0 protected, 0xC0 unprotected.
  const std::string screen = std::string("\xE0") + "Name" + "\xC0" + "abc" + "\xE0" + "Pass" + "\xC0" + "xy";
  EXPECT_EQ(DdeFieldText(screen, 1, 0), "Name");
  // The second unprotected field runs on from the end to the first attribute.
  EXPECT_EQ(DdeFieldText(screen, 2, 'U'), "xy");
  EXPECT_EQ(DdeFieldText(screen, 1, 'U'), "abc");
  EXPECT_EQ(DdeFieldText(screen, 2, 'P'), "Pass");
  EXPECT_EQ(DdeFieldText(screen, 3, 'P'), std::nullopt);
  EXPECT_EQ(DdeFieldText(screen, 0, 0), std::nullopt);
  // The last field runs past the end to the first attribute.
  const std::string wrapping = std::string("ab") + "\xE0" + "cd" + "\xC0" + "ef";
  EXPECT_EQ(DdeFieldText(wrapping, 2, 0), "efab");
  // No attributes at all: field 1 is the whole screen, there is no field 2.
  EXPECT_EQ(DdeFieldText("plain text", 1, 0), "plain text");
  EXPECT_EQ(DdeFieldText("plain text", 2, 0), std::nullopt);
}

class DdeServer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeTempDir();
    std::string cause;
    ASSERT_TRUE(server_.Start(dir_, &cause)) << cause;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string dir_;
  platform::PollLoop loop_;
  FakeFrame frame_;
  CDdeServer server_{loop_, frame_};
};

TEST_F(DdeServer, SystemCommandsAreAcknowledgedBeforeTheyRun) {
  LineClient c(server_.SocketPath(), &loop_);
  ASSERT_TRUE(c.Connected());
  EXPECT_EQ(c.Ask("CONNECT Other SYSTEM"), "NACK");
  EXPECT_EQ(c.Ask("EXECUTE HostExit"), "NACK");  // no conversation
  EXPECT_EQ(c.Ask("CONNECT CORVINA system"), "OK");
  // When the command runs (it may end the program) the answer is sent.
  std::string sentBefore;
  frame_.onCommand = [&] {
    char peek[16] = {};
    sentBefore.assign(peek, static_cast<std::size_t>(std::max<ssize_t>(0, ::recv(c.Fd(), peek, sizeof peek, MSG_PEEK | MSG_DONTWAIT))));
  };
  c.Send("EXECUTE HostExit");
  EXPECT_EQ(c.Line(), "ACK");
  loop_.RunFor(std::chrono::milliseconds(20));
  EXPECT_EQ(sentBefore, "ACK\n");
  EXPECT_EQ(frame_.commands, (std::vector<int>{kf::sys::kHostExit}));
  EXPECT_EQ(c.Ask("EXECUTE NoSuchCommand"), "NACK");
  EXPECT_EQ(c.Ask("REQUEST PS"), "NACK");
  EXPECT_TRUE(c.Ask("HELLO").starts_with("ERROR not a request"));
  EXPECT_EQ(c.Ask("CONNECT Corvina Stored"), "NACK");
  EXPECT_EQ(frame_.started, (std::vector<std::string>{"Stored"}));
  EXPECT_EQ(c.Ask("DISCONNECT"), "OK");
  EXPECT_EQ(c.Line(500), std::nullopt);  // closed
}

TEST_F(DdeServer, AnotherUserIsRefused) {
  if (::access("/usr/bin/setpriv", X_OK) != 0 || ::geteuid() != 0) GTEST_SKIP() << "needs root and setpriv";
  ::chmod(dir_.c_str(), 0755);
  ::chmod(server_.SocketPath().c_str(), 0777);
  test::ChildProcess other({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", CORVINA_DDE_PROGRAM,
                            "--socket", server_.SocketPath(), "SYSTEM", "execute", "HostExit"},
                           dir_ + "/other.out");
  int status = -1;
  ASSERT_TRUE(loop_.RunUntil([&] { return (status = other.Wait(0)) >= 0; }, std::chrono::seconds(10)));
  EXPECT_EQ(status, 2);
  EXPECT_NE(test::ReadFile(dir_ + "/other.out").find("this server answers its own user only"), std::string::npos)
      << test::ReadFile(dir_ + "/other.out");
  loop_.RunFor(std::chrono::milliseconds(50));
  EXPECT_TRUE(frame_.commands.empty());
  EXPECT_EQ(server_.Connections(), 0u);
}

TEST_F(DdeServer, AClientThatStopsReadingIsDroppedOthersGoOn) {
  server_.SetMaxPendingOutput(64 * 1024);
  LineClient stalled(server_.SocketPath(), &loop_);
  int small = 4096;
  ::setsockopt(stalled.Fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  std::string burst;
  for (int i = 0; i < 100000; ++i) burst += "REQUEST PS\n";
  // Sent from a thread: the server reads while we write.
  std::thread writer([&] { [[maybe_unused]] auto n = ::send(stalled.Fd(), burst.data(), burst.size(), MSG_NOSIGNAL); });
  ASSERT_TRUE(loop_.RunUntil([&] { return server_.Connections() == 1; }, std::chrono::seconds(5)));
  ASSERT_TRUE(loop_.RunUntil([&] { return server_.Connections() == 0; }, std::chrono::seconds(20)));
  ::shutdown(stalled.Fd(), SHUT_RDWR);
  writer.join();
  LineClient next(server_.SocketPath(), &loop_);
  EXPECT_EQ(next.Ask("CONNECT Corvina SYSTEM"), "OK");
}

// corvina-cli on the demo host, driven over its DDE socket.
class DdeDemo : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = std::make_unique<test::TestHost>("demo", std::vector<std::string>{}, 60);
    ASSERT_TRUE(host_->Ready());
    dir_ = test::MakeTempDir();
    ::mkdir((dir_ + "/run").c_str(), 0700);
    ::mkdir((dir_ + "/data").c_str(), 0700);
    topic_ = "127.0.0.1:" + std::to_string(host_->Port());
    cli_ = std::make_unique<test::ChildProcess>(
        std::vector<std::string>{"env", "XDG_RUNTIME_DIR=" + dir_ + "/run", CORVINA_CLI_PROGRAM, "-q", "--settings",
                                 dir_ + "/Corvina.ini", "--data-dir", dir_ + "/data", "-t", "3279", "--for", "60",
                                 topic_},
        dir_ + "/cli.out");
    socket_ = dir_ + "/run/corvina/dde-" + std::to_string(cli_->Pid()) + ".sock";
    struct stat st {};
    for (int i = 0; i < 200 && ::stat(socket_.c_str(), &st) != 0; ++i) ::usleep(25'000);
    ASSERT_TRUE(S_ISSOCK(st.st_mode)) << test::ReadFile(dir_ + "/cli.out");
  }
  void TearDown() override {
    cli_.reset();
    host_.reset();
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  // Polls a request until its answer holds the text.
  bool WaitFor(LineClient& c, const std::string& request, const std::string& text) {
    for (int i = 0; i < 100; ++i) {
      if (c.Ask(request).find(text) != std::string::npos) return true;
      ::usleep(50'000);
    }
    return false;
  }
  std::string Dde(const std::vector<std::string>& args, int* status) {
    std::vector<std::string> argv{CORVINA_DDE_PROGRAM, "--socket", socket_};
    argv.insert(argv.end(), args.begin(), args.end());
    test::ChildProcess p(argv, dir_ + "/dde.out");
    *status = p.Wait(15000);
    return test::ReadFile(dir_ + "/dde.out");
  }
  std::unique_ptr<test::TestHost> host_;
  std::unique_ptr<test::ChildProcess> cli_;
  std::string dir_, topic_, socket_;
};

TEST_F(DdeDemo, ItemsPokesAdviseAndHostExit) {
  LineClient c(socket_);
  ASSERT_EQ(c.Ask("CONNECT Corvina " + topic_), "OK");
  ASSERT_TRUE(WaitFor(c, "REQUEST R1", "Logon"));
  EXPECT_EQ(c.Ask("REQUEST R0"), "NACK");
  EXPECT_EQ(c.Ask("REQUEST R99"), "NACK");
  EXPECT_EQ(c.Ask("REQUEST r1"), c.Ask("REQUEST R1"));
  EXPECT_EQ(c.Ask("REQUEST Rows"), "DATA 24");
  EXPECT_EQ(c.Ask("REQUEST Columns"), "DATA 80");
  EXPECT_EQ(c.Ask("REQUEST Keyboard"), "DATA Clear");
  const std::string ps = c.Ask("REQUEST PS");
  EXPECT_EQ(ps.size(), 5u + 24 * 80) << ps;
  EXPECT_EQ(c.Ask("REQUEST F9U"), "NACK");
  EXPECT_EQ(c.Ask("POKE EscChar ##"), "NACK");

  // Advise links are the connection's own; typing in one turn is one notice.
  LineClient watcher(socket_);
  ASSERT_EQ(watcher.Ask("CONNECT Corvina " + topic_), "OK");
  ASSERT_EQ(watcher.Ask("ADVISE PS"), "OK");
  EXPECT_EQ(c.Ask("POKE Keystroke demo"), "ACK");
  auto notice = watcher.Line();
  ASSERT_TRUE(notice);
  EXPECT_TRUE(notice->starts_with("NOTIFY PS ")) << *notice;
  EXPECT_NE(notice->find("demo"), std::string::npos);
  EXPECT_EQ(watcher.Line(500), std::nullopt);
  EXPECT_EQ(c.Ask("REQUEST F1U"), "DATA demo    ");

  // The rest of the logon, with an escape character of our own.
  EXPECT_EQ(c.Ask("POKE EscChar #"), "ACK");
  EXPECT_EQ(c.Ask("POKE Keystroke #Tdemo#E"), "ACK");
  EXPECT_TRUE(WaitFor(c, "REQUEST R1", "Main Menu")) << c.Ask("REQUEST PS");
  EXPECT_EQ(c.Ask("EXECUTE NoSuchKey"), "NACK");

  int status = -1;
  EXPECT_NE(Dde({topic_, "request", "R1"}, &status).find("Main Menu"), std::string::npos);
  EXPECT_EQ(status, 0);
  Dde({topic_, "request", "R0"}, &status);
  EXPECT_EQ(status, 1);
  Dde({"nosuch", "request", "R1"}, &status);
  EXPECT_EQ(status, 2);

  LineClient system(socket_);
  ASSERT_EQ(system.Ask("CONNECT Corvina SYSTEM"), "OK");
  EXPECT_EQ(system.Ask("EXECUTE HostExit"), "ACK");
  EXPECT_EQ(cli_->Wait(10000), 0) << test::ReadFile(dir_ + "/cli.out");
  EXPECT_NE(test::ReadFile(dir_ + "/cli.out").find("Main Menu"), std::string::npos);
}

// The application's side: topics, and sessions started by a connect.
TEST(DdeApplication, AProfileTopicStartsAtMostOneSessionAndNoneWhenTheSlotsAreFull) {
  const std::string root = test::MakeTempDir();
  ::mkdir((root + "/data").c_str(), 0700);
  platform::PollLoop loop;
  platform::RecordingUserInterface ui;
  platform::FakeClock clock;
  test::LoopbackServer host(loop);
  auto profile = [&](const std::string& name, const std::string& more) {
    test::WriteFile(root + "/data/" + name + ".tsp", "[Session Profile]\nName=" + name + "\nHost=127.0.0.1," +
                                                         std::to_string(host.Port()) +
                                                         "\nTerminalType=VT100,24,80,DEC-VT100\n" + more);
  };
  profile("Alpha", "DDETopic=Ledger\n");
  profile("Beta", "");
  profile("Gamma", "");
  test::WriteFile(root + "/Corvina.ini", "[Configuration]\nMaximumSessions=2\n");
  platform::IniFile settings(root + "/Corvina.ini");
  ASSERT_TRUE(settings.Load());
  {
    app::CCorvinaApp application(app::AppEnvironment{loop, ui, clock, app::CreateEngine}, settings);
    app::AppOptions options;
    options.dataFolder = root + "/data";
    options.runtimeFolder = root + "/run/";
    options.headless = false;
    ASSERT_TRUE(application.Initialise(options));
    application.StartUp();
    ASSERT_NE(application.DdeServer(), nullptr);
    LineClient c(application.DdeServer()->SocketPath(), &loop);
    // Alpha starts, but its topic is Ledger: refused, and not started twice.
    EXPECT_EQ(c.Ask("CONNECT Corvina alpha"), "NACK");
    EXPECT_EQ(application.Sessions().LiveCount(), 1);
    EXPECT_EQ(c.Ask("CONNECT Corvina Alpha"), "NACK");
    EXPECT_EQ(application.Sessions().LiveCount(), 1);
    EXPECT_EQ(c.Ask("CONNECT Corvina LEDGER"), "OK");
    EXPECT_EQ(c.Ask("REQUEST Rows"), "DATA 24");
    EXPECT_EQ(c.Ask("CONNECT Corvina Beta"), "OK");
    EXPECT_EQ(application.Sessions().LiveCount(), 2);
    // No slot is left for Gamma, and no box asks anyone.
    EXPECT_EQ(c.Ask("CONNECT Corvina Gamma"), "NACK");
    EXPECT_EQ(application.Sessions().LiveCount(), 2);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(c.Ask("CONNECT Corvina Nobody"), "NACK");
    application.CloseProgram(false);
    loop.RunFor(std::chrono::milliseconds(20));
  }
  std::system(("rm -rf '" + root + "'").c_str());
}
