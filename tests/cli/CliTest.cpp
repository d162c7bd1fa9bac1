#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "../session/TestSupport.h"
#include "cli/CliOptions.h"

using namespace corvina;
using namespace corvina::cli;

namespace {

const std::string kCli = CORVINA_BINARY_DIR "/cli/corvina-cli";

std::optional<CliOptions> Parse(std::vector<std::string> args, std::string* error = nullptr) {
  std::string e;
  auto o = ParseCommandLine(args, &e);
  if (error) *error = e;
  return o;
}

using test::ReadFile;
using test::WriteFile;

// Every run gets its own settings file, data folder and runtime folder, so
// that no test touches the user's settings or another test's instances.
class Sandbox {
 public:
  Sandbox() : root_(test::MakeTempDir()) {
    std::filesystem::create_directories(Data());
    ::mkdir(Runtime().c_str(), 0700);
  }
  ~Sandbox() { std::filesystem::remove_all(root_); }
  std::string Data() const { return root_ + "/data/"; }
  std::string Settings() const { return root_ + "/Corvina.ini"; }
  std::string Runtime() const { return root_ + "/run"; }
  std::vector<std::string> Args() const {
    return {"env", "XDG_RUNTIME_DIR=" + Runtime(), kCli, "--settings", Settings(), "--data-dir", Data()};
  }
  std::vector<std::string> DataFiles() const {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(Data())) files.push_back(e.path().filename());
    std::sort(files.begin(), files.end());
    return files;
  }

 private:
  std::string root_;
};

struct Result {
  int status;
  std::string out;
};

std::string Quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs a shell command; standard error is merged into out.
Result RunShell(const std::string& cmd) {
  Result r{-1, {}};
  FILE* f = ::popen((cmd + " 2>&1").c_str(), "r");
  if (!f) return r;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) r.out.append(buf.data(), n);
  int st = ::pclose(f);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

// Runs corvina-cli in the sandbox with a time limit.
Result RunCli(const Sandbox& box, const std::vector<std::string>& args) {
  std::string cmd = "timeout 30";
  for (const auto& a : box.Args()) cmd += " " + Quote(a);
  for (const auto& a : args) cmd += " " + Quote(a);
  return RunShell(cmd);
}

// A port that takes connections into its backlog and never answers.
class SilentListener {
 public:
  SilentListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 16);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~SilentListener() { ::close(fd_); }
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

std::string Profile(const std::string& name, int port, int hostOptions = 0) {
  return "[Session Profile]\nName=" + name + "\nHost=127.0.0.1," + std::to_string(port) +
         "\nTerminalType=VT100,24,80,DEC-VT100\nHostOptions=" + std::to_string(hostOptions) + "\n";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The files given and the built-in maps, colour schemes and toolbars every start creates, in name order.
std::vector<std::string> WithBuiltIns(std::vector<std::string> files) {
  for (const char* family : {"3270", "5250", "VT100"})
    for (const char* extension : {".tcs", ".tkm", ".ttb"}) files.push_back(std::string(family) + " Default" + extension);
  files.push_back("Standard.ttb");
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

TEST(CliOptions, WordsJoinIntoOneCommandLine) {
  auto o = Parse({"--terminal", "vt220", "--size", "27x132", "telnet", "host", "--tls", "992", "--for=2.5"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->target, "telnet host 992");
  EXPECT_EQ(o->overrides.terminalKind, 260u);
  EXPECT_EQ(o->overrides.rows, 27);
  EXPECT_EQ(o->overrides.columns, 132);
  EXPECT_TRUE(o->overrides.tls);
  EXPECT_FALSE(o->overrides.port);
  EXPECT_DOUBLE_EQ(*o->runSeconds, 2.5);
  auto plain = Parse({"-p", "3270", "--lu", "A;B", "--keepalive", "5", "--data-dir", "/srv/d", "host:23"});
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->target, "host:23");
  EXPECT_EQ(plain->overrides.port, 3270);
  EXPECT_EQ(plain->overrides.luNames, "A;B");
  EXPECT_EQ(plain->overrides.keepAliveMinutes, 5);
  EXPECT_EQ(plain->dataFolder, "/srv/d");
  auto none = Parse({"-q"});
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->target.empty());
  EXPECT_TRUE(none->overrides.Empty());
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
  std::string e;
  EXPECT_FALSE(Parse({"-p", "0", "host"}, &e));
  EXPECT_EQ(e, "Please enter a port number between 1 and 65535.");
  EXPECT_FALSE(Parse({"-p", "99999", "host"}, &e));
  EXPECT_FALSE(Parse({"-t", "3180", "host"}, &e));
  EXPECT_NE(e.find("Unknown terminal kind"), std::string::npos);
  EXPECT_FALSE(Parse({"--size", "0x80", "host"}, &e));
  EXPECT_FALSE(Parse({"--reconnect", "100", "host"}, &e));
  EXPECT_FALSE(Parse({"--data-dir="}, &e));
  EXPECT_EQ(e, "The data folder name is empty");
  EXPECT_FALSE(Parse({"--bogus", "host"}, &e));
  EXPECT_EQ(e, "Unknown option --bogus");
  EXPECT_FALSE(Parse({"--port"}, &e));
  EXPECT_EQ(e, "Option --port needs a port number");
}

TEST(CliProgram, HelpUsageErrorsAndNothingToStart) {
  Sandbox box;
  auto help = RunCli(box, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Contains(help.out, "Usage: corvina-cli"));
  auto bad = RunCli(box, {"--frobnicate"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_TRUE(Contains(bad.out, "Unknown option --frobnicate"));
  auto nothing = RunCli(box, {});
  EXPECT_EQ(nothing.status, 2) << nothing.out;
  EXPECT_TRUE(Contains(nothing.out, "Nothing to start")) << nothing.out;
}

TEST(CliProgram, RefusedConnectionFailsWithTheErrorText) {
  Sandbox box;
  auto r = RunCli(box, {"127.0.0.1:" + std::to_string(test::FreePort())});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.out, "[Corvina] Session 1: Socket error 10061: WSAECONNREFUSED -> OK")) << r.out;
}

TEST(CliProgram, TelnetHostWordsCreateTheProfileOnce) {
  // A test host that serves one client after another.
  const std::string work = test::MakeTempDir();
  test::ChildProcess host({"python3", CORVINA_SOURCE_DIR "/testhost/corvina_testhost.py", "--scenario", "nvt-banner",
                           "--port-file", work + "/port", "--timeout", "60"});
  int port = 0;
  for (int i = 0; i < 500 && port == 0; ++i) {
    std::ifstream(work + "/port") >> port;
    if (port == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_GT(port, 0) << "the test host did not start";
  const std::string p = std::to_string(port);

  Sandbox box;
  auto first = RunCli(box, {"--for", "2", "telnet 127.0.0.1 " + p});
  EXPECT_EQ(first.status, 0) << first.out;
  EXPECT_TRUE(Contains(first.out, "login:")) << first.out;
  const std::string file = "127.0.0.1 " + p + ".tsp";
  ASSERT_EQ(box.DataFiles(), WithBuiltIns({file, "Corvina.dat"}));
  const std::string text = ReadFile(box.Data() + file);
  EXPECT_TRUE(Contains(text, "Name=127.0.0.1:" + p + "\n")) << text;
  EXPECT_TRUE(Contains(text, "TerminalType=VT100,24,80,DEC-VT100\n")) << text;
  EXPECT_EQ(ReadFile(box.Data() + "Corvina.dat"), std::string("\x4d\x3d\xbd\x68\x90\xc2\x01\x40", 8));

  auto second = RunCli(box, {"--for", "2", "127.0.0.1:" + p});
  EXPECT_EQ(second.status, 0) << second.out;
  EXPECT_TRUE(Contains(second.out, "Terminal mode: VT100")) << second.out;
  EXPECT_EQ(box.DataFiles(), WithBuiltIns({file, "Corvina.dat"}));
  std::filesystem::remove_all(work);
}

TEST(CliProgram, AProfileNameStartsThatProfile) {
  SilentListener host;
  Sandbox box;
  WriteFile(box.Data() + "mine.tsp", Profile("My Host", host.Port()));
  auto r = RunCli(box, {"--for", "1", "My", "Host"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Contains(r.out, "Connected to 127.0.0.1 port " + std::to_string(host.Port()))) << r.out;
  EXPECT_EQ(box.DataFiles(), WithBuiltIns({"Corvina.dat", "mine.tsp"}));
}

TEST(CliProgram, ProfilesMarkedToConnectRunTogether) {
  SilentListener host;
  Sandbox box;
  WriteFile(box.Data() + "a.tsp", Profile("Alpha", host.Port(), 1));
  WriteFile(box.Data() + "b.tsp", Profile("Beta", host.Port(), 1));
  auto r = RunCli(box, {"--for", "1"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Contains(r.out, "--- 1: Alpha ---\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "--- 2: Beta ---\n")) << r.out;

  WriteFile(box.Settings(), "[Configuration]\nMaximumSessions=1\n");
  auto limited = RunCli(box, {"--for", "1"});
  EXPECT_EQ(limited.status, 1) << limited.out;
  EXPECT_TRUE(Contains(limited.out, "[Corvina] Can't start session Beta - all sessions in use. -> OK\n"))
      << limited.out;
}

TEST(CliProgram, ALogonScriptReachesTheMenuAndAWaitThatNeverEndsFails) {
  auto run = [](const std::string& text, const std::vector<std::string>& options) {
    test::TestHost host("demo");
    EXPECT_TRUE(host.Ready());
    Sandbox box;
    WriteFile(box.Data() + "demo.tsp", "[Session Profile]\nName=demo\nHost=127.0.0.1," + std::to_string(host.Port()) +
                                           "\nTerminalType=3279,24,80,IBM-3278-2-E\n");
    const std::string script = box.Data() + "../logon.txt";
    WriteFile(script, text);
    std::vector<std::string> args = options;
    args.push_back(script);
    const auto start = std::chrono::steady_clock::now();
    Result r = RunCli(box, args);
    r.out += "\n(" + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count()) + " s)";
    return r;
  };
  const std::string logon =
      "connect demo\nwaitfor \"Userid\"\ntype demo\nkey Tab\naskfor \"Password\",password,$pw\ntype $pw\n"
      "key Enter\nwaitfor \"Main Menu\",menu:,\"not valid\",bad:\nbad:\nkey HostExit\nmenu: exit\n";
  auto ok = run(logon, {"--answer-text", "demo"});
  EXPECT_EQ(ok.status, 0) << ok.out;
  EXPECT_TRUE(Contains(ok.out, "Welcome, DEMO.")) << ok.out;
  EXPECT_TRUE(Contains(ok.out, "[Script Processing: Session 1] AskFor Command: Password -> ****")) << ok.out;
  // No answer to give: the askfor cancels the script.
  auto unanswered = run(logon, {});
  EXPECT_EQ(unanswered.status, 1) << unanswered.out;
  EXPECT_TRUE(Contains(unanswered.out, "Password -> Cancel (no answer was given)")) << unanswered.out;
  auto never = run("connect demo\nwaitfor \"NEVER SHOWN\"\nexit\n", {"--timeout", "1"});
  EXPECT_EQ(never.status, 1) << never.out;
  EXPECT_TRUE(Contains(never.out, "waited longer than 1 seconds on line 2 (waitfor) and is cancelled.")) << never.out;
  // Bounded by the time-out, not by the test's own limit; a slow machine
  // only adds start-up time.
  const std::size_t took = never.out.rfind("\n(");
  ASSERT_NE(took, std::string::npos);
  EXPECT_LT(std::stoi(never.out.substr(took + 2)), 15) << never.out;
}

TEST(CliProgram, MaxInstancesCountsRunningCopiesOnly) {
  SilentListener host;
  Sandbox box;
  WriteFile(box.Settings(), "[Configuration]\nMaxInstances=1\n");
  std::vector<std::string> argv = box.Args();
  argv.insert(argv.end(), {"--for", "60", "127.0.0.1:" + std::to_string(host.Port())});
  auto first = std::make_unique<test::ChildProcess>(argv);
  const std::string own = box.Runtime() + "/corvina/instance." + std::to_string(first->Pid());
  bool registered = false;
  for (int i = 0; i < 500 && !registered; ++i) {
    registered = std::filesystem::exists(own);
    if (!registered) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(registered);

  const std::string refused = "Corvina is already running (1 copies), and MaxInstances is 1: this copy ends.";
  auto second = RunCli(box, {"127.0.0.1:" + std::to_string(host.Port())});
  EXPECT_EQ(second.status, 1);
  EXPECT_TRUE(Contains(second.out, refused)) << second.out;

  ::kill(first->Pid(), SIGKILL);
  first->Wait(5000);
  first.reset();
  EXPECT_TRUE(std::filesystem::exists(own));  // a crash leaves its file behind
  auto third = RunCli(box, {"127.0.0.1:" + std::to_string(test::FreePort())});
  EXPECT_FALSE(Contains(third.out, refused)) << third.out;
  EXPECT_TRUE(Contains(third.out, "WSAECONNREFUSED")) << third.out;
  EXPECT_FALSE(std::filesystem::exists(own));
}

TEST(CliProgram, ShowsTheLoginBannerOfARealTelnetServer) {
  if (::access("/usr/sbin/telnetd", X_OK) != 0 || ::access("/usr/bin/socat", X_OK) != 0)
    GTEST_SKIP() << "inetutils-telnetd and socat are not installed";
  if (::geteuid() != 0) GTEST_SKIP() << "telnetd needs root to start a login";
  int port = test::FreePort();
  // One telnetd per connection, so the readiness probe costs nothing.
  test::ChildProcess socat({"socat", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,fork",
                            "EXEC:/usr/sbin/telnetd,nofork"});
  ASSERT_TRUE(test::WaitForListener(port)) << "socat did not start";
  Sandbox box;
  auto r = RunCli(box, {"-q", "--for", "4", "-t", "vt100", "127.0.0.1:" + std::to_string(port)});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Contains(r.out, "login:")) << r.out;
}

TEST(CliProgram, DrawsVtScreensAndPlaysKeyboardStepsOnThem) {
  if (::access("/usr/sbin/telnetd", X_OK) != 0 || ::access("/usr/bin/socat", X_OK) != 0)
    GTEST_SKIP() << "inetutils-telnetd and socat are not installed";
  const std::string dir = test::MakeTempDir();
  const std::string script = dir + "/vt-host";
  test::WriteFile(script, "#!/bin/sh\nprintf '\\033[1mName?\\033[0m \\033(0lqk\\033(B\\r\\n'\nread line\n"
                          "printf 'got:%s\\r\\n' \"$line\"\nsleep 1\n");
  ::chmod(script.c_str(), 0700);
  const int port = test::FreePort();
  test::ChildProcess socat({"socat", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,fork",
                            "EXEC:/usr/sbin/telnetd -h -E " + script + ",nofork"});
  ASSERT_TRUE(test::WaitForListener(port)) << "socat did not start";
  Sandbox box;
  auto r = RunCli(box, {"-q", "-t", "vt220", "--wait-text", "Name?", "--type", "corvina", "--key", "Enter",
                        "--wait-text", "got:", "127.0.0.1:" + std::to_string(port)});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Contains(r.out, "Name? \u250C\u2500\u2510")) << r.out;
  EXPECT_TRUE(Contains(r.out, "got:corvina")) << r.out;
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(CliProgram, ShowsTheNegotiatedModeAndDeviceName) {
  test::TestHost host("tn3270e", {"device-name=CORV0042"});
  ASSERT_TRUE(host.Ready());
  Sandbox box;
  auto r = RunCli(box, {"--for", "2", "-t", "3279", "127.0.0.1:" + std::to_string(host.Port())});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Contains(r.out, "Terminal mode: 3279\n")) << r.out << host.Log();
  EXPECT_TRUE(Contains(r.out, "Device name: CORV0042\n")) << r.out << host.Log();
}

TEST(CliProgram, WritesATraceThatTheTraceToolPrints) {
  test::TestHost host("nvt-close");
  ASSERT_TRUE(host.Ready());
  Sandbox box;
  const std::string traceFile = box.Data() + "../t.trc";
  auto r = RunCli(box, {"-q", "--trace", traceFile, "-t", "vt100", "127.0.0.1:" + std::to_string(host.Port())});
  EXPECT_EQ(r.status, 0) << r.out;
  const auto print = [](const std::string& file) {
    std::string cmd = "timeout 30 " CORVINA_BINARY_DIR "/tools/corvina-trace " + Quote(file) + " 2>&1";
    Result out{-1, {}};
    FILE* f = ::popen(cmd.c_str(), "r");
    char buf[4096];
    std::size_t n;
    while (f && (n = std::fread(buf, 1, sizeof buf, f)) > 0) out.out.append(buf, n);
    out.status = f ? WEXITSTATUS(::pclose(f)) : -1;
    return out;
  };
  Result text = print(traceFile);
  EXPECT_EQ(text.status, 0) << text.out;
  EXPECT_EQ(text.out.rfind("Corvina release ", 0), 0u) << text.out;
  EXPECT_TRUE(Contains(text.out, "bytes rcvd\r\n00000000  ")) << text.out;
  EXPECT_TRUE(Contains(text.out, ": Connected to 127.0.0.1 port ")) << text.out;
  // The setting is created with its default.
  EXPECT_TRUE(Contains(ReadFile(box.Settings()), "TraceFileBinary=1")) << ReadFile(box.Settings());
  // A damaged file is reported, not misread.
  WriteFile(box.Data() + "../bad.trc", std::string("\xFF<\x1E\x00", 4) + "short");
  Result bad = print(box.Data() + "../bad.trc");
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(Contains(bad.out, "Truncated trace record at offset 0")) << bad.out;
}

TEST(CliProgram, ListsKeyFunctionsAndShowsProfiles) {
  Sandbox box;
  auto keys = RunCli(box, {"--list-keys", "3279"});
  EXPECT_EQ(keys.status, 0);
  EXPECT_EQ(std::count(keys.out.begin(), keys.out.end(), '\n'), 67);
  EXPECT_TRUE(Contains(keys.out, "32925  PF3")) << keys.out;
  auto system = RunCli(box, {"--list-keys", "system"});
  EXPECT_EQ(std::count(system.out.begin(), system.out.end(), '\n'), 48);
  EXPECT_EQ(RunCli(box, {"--list-keys", "3180"}).status, 2);

  WriteFile(box.Data() + "custom.tsp",
            "[Session Profile]\nName=prod\nHost=mvs.example\nTerminalType=3279,30,100,IBM-3279-5-E\n");
  auto shown = RunCli(box, {"--show-profile", box.Data() + "custom.tsp"});
  EXPECT_EQ(shown.status, 0) << shown.out;
  EXPECT_EQ(shown.out.rfind("Terminal: IBM 3279-5 (30x100)\n", 0), 0u) << shown.out;
  EXPECT_TRUE(Contains(shown.out, "Host=mvs.example,23\n")) << shown.out;
  WriteFile(box.Data() + "bad.tsp",
            "[Session Profile]\nName=prod\nHost=mvs.example\nTerminalType=3278,30,100,IBM-3278-5\n");
  auto bad = RunCli(box, {"--show-profile", box.Data() + "bad.tsp"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(Contains(bad.out, "not a session profile")) << bad.out;
}

TEST(CliProgram, Prints3270ScreenWholeAndItsFields) {
  test::TestHost host("ibm3270/scenarios/logon.py");
  ASSERT_TRUE(host.Ready());
  Sandbox box;
  auto r = RunCli(box, {"-q", "--fields", "--for", "2", "-t", "3279", "127.0.0.1:" + std::to_string(host.Port())});
  EXPECT_EQ(r.status, 0) << r.out;
  std::istringstream lines(r.out);
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line) && !line.empty();) rows.push_back(line);
  ASSERT_EQ(rows.size(), 24u) << r.out;
  EXPECT_EQ(rows[3], " Password==>" + std::string(68, ' '));  // hidden text stays hidden
  EXPECT_EQ(rows[23], "PF3=End" + std::string(73, ' '));
  EXPECT_NE(r.out.find("\nFields:\n1, 31, protected, high intensity, selectable; attribute 0xE8, extended "
                       "0x00000000: \"CORVINA TEST SYSTEM\"\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\n4, 13, unprotected, non-display; attribute 0x4C, extended 0x00000000: \"" +
                       std::string(17, ' ') + "\"\n"),
            std::string::npos)
      << r.out;
}

TEST(CliOptions, KeyboardStepsKeepTheirOrder) {
  auto o = Parse({"--type", "HELLO", "--key", "Enter", "--wait-unlock", "--wait-text=READY", "--timeout", "5",
                  "--oia", "host"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->steps, (std::vector<CliStep>{{CliStep::kType, "HELLO"},
                                            {CliStep::kKey, "Enter"},
                                            {CliStep::kWaitUnlock, ""},
                                            {CliStep::kWaitText, "READY"}}));
  EXPECT_DOUBLE_EQ(o->stepTimeoutSeconds, 5);
  EXPECT_TRUE(o->oia);
  std::string e;
  EXPECT_FALSE(Parse({"--type", "X"}, &e));
  EXPECT_EQ(e, "Keyboard steps need a session: name a profile, a session file or a host");
  EXPECT_FALSE(Parse({"--key=", "host"}, &e));
  EXPECT_EQ(e, "Option --key needs a text that is not empty");
  EXPECT_FALSE(Parse({"--timeout", "0", "host"}, &e));
}

namespace {

// The records the client sent, as the test host logged them.
std::vector<std::string> ClientRecords(const std::string& log) {
  std::vector<std::string> records;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("< ", 0) == 0 && Contains(line, "# record")) records.push_back(line.substr(0, line.find("  #")));
  return records;
}

}  // namespace

TEST(CliProgram, TypesAndPressesKeysOnTheDemoHost) {
  for (bool extended : {false, true}) {
    SCOPED_TRACE(extended ? "TN3270E" : "plain 3270");
    test::TestHost host("demo", extended ? std::vector<std::string>{"tn3270e=1"} : std::vector<std::string>{});
    ASSERT_TRUE(host.Ready());
    Sandbox box;
    auto r = RunCli(box, {"-q", "-t", "3279", "--oia", "--type", "HELLO", "--key", "Enter", "--wait-unlock",
                          "127.0.0.1:" + std::to_string(host.Port())});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "Userid or password not valid.")) << r.out;
    // The OIA line follows the screen: unlocked, the cursor back in the user field.
    EXPECT_TRUE(Contains(r.out, std::string("\nT") + (extended ? "B" : "A") + "\x7F     ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "09,21")) << r.out;
    host.Wait();
    // AID, the cursor after the text, SBA to the user field and the text.
    const std::string record = "7D 4A D9 11 4A D4 C8 C5 D3 D3 D6 FF EF";
    EXPECT_EQ(ClientRecords(host.Log()),
              std::vector<std::string>{"< " + std::string(extended ? "00 00 00 00 00 " : "") + record})
        << host.Log();
  }
}

TEST(CliProgram, LogsOnToTheDemoMenuAndFailsAStepThatTimesOut) {
  // Each run gets a demo host of its own.
  auto run = [](const std::vector<std::string>& args) {
    test::TestHost host("demo");
    EXPECT_TRUE(host.Ready());
    Sandbox box;
    std::vector<std::string> all{"-q", "-t", "3279"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back("127.0.0.1:" + std::to_string(host.Port()));
    return RunCli(box, all);
  };
  auto r = run({"--type", "demo", "--key", "Tab", "--type", "demo", "--key", "ENTER", "--wait-text", "Main Menu"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Contains(r.out, "Welcome, DEMO.")) << r.out;
  auto bad = run({"--timeout", "1", "--wait-text", "NEVER SHOWN"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(Contains(bad.out, "corvina-cli: Timed out waiting for the text \"NEVER SHOWN\"")) << bad.out;
  auto unknown = run({"--key", "Frobnicate"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_TRUE(Contains(unknown.out, "Unknown key function \"Frobnicate\"")) << unknown.out;
}

TEST(CliProgram, SendsTheSameRecordAsAnotherClient) {
  if (::access("/usr/bin/s3270", X_OK) != 0) GTEST_SKIP() << "s3270 is not installed";
  test::TestHost ours("demo");
  test::TestHost theirs("demo");
  ASSERT_TRUE(ours.Ready() && theirs.Ready());
  Sandbox box;
  auto r = RunCli(box, {"-q", "-t", "3279", "--type", "HELLO", "--key", "Enter", "--wait-unlock",
                        "127.0.0.1:" + std::to_string(ours.Port())});
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string dir = test::MakeTempDir();
  {
    test::ChildProcess s3270({"s3270", "-model", "3279-2"}, dir + "/s3270.out");
    s3270.Write("Connect(127.0.0.1:" + std::to_string(theirs.Port()) +
                ")\nWait(10,InputField)\nString(HELLO)\nEnter()\nWait(10,Unlock)\nDisconnect()\nQuit()\n");
    ASSERT_EQ(s3270.Wait(20000), 0);
  }
  std::filesystem::remove_all(dir);
  ours.Wait();
  theirs.Wait();
  auto records = ClientRecords(ours.Log());
  ASSERT_EQ(records.size(), 1u) << ours.Log();
  EXPECT_EQ(records, ClientRecords(theirs.Log())) << theirs.Log();
}

TEST(CliOptions, KeyTextsAndMacroNamesAreCheckedFirst) {
  std::string error;
  auto o = Parse({"--record", "logon", "--press", "Shift+F1", "--macro", "m", "host"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->recordMacro, "logon");
  EXPECT_EQ(o->steps, (std::vector<CliStep>{{CliStep::kPress, "Shift+F1"}, {CliStep::kMacro, "m"}}));
  EXPECT_FALSE(Parse({"--press", "shift+F1", "host"}, &error));
  EXPECT_EQ(error, "Invalid key text \"shift+F1\" (for example Shift+F1; key names are case-sensitive)");
  EXPECT_FALSE(Parse({"--record", "x", "host"}, &error));
  EXPECT_EQ(error, "--record needs keyboard steps to record (--type, --key, --press, --macro)");
}

TEST(CliProgram, PressesKeysThroughTheKeyboardMap) {
  {
    test::TestHost host("demo");
    ASSERT_TRUE(host.Ready());
    Sandbox box;
    auto r = RunCli(box, {"-q", "-t", "3279", "--press", "Shift+F1", "--wait-unlock",
                          "127.0.0.1:" + std::to_string(host.Port())});
    EXPECT_EQ(r.status, 0) << r.out;
    host.Wait();
    const auto records = ClientRecords(host.Log());
    ASSERT_EQ(records.size(), 1u) << host.Log();
    EXPECT_EQ(records[0].substr(0, 5), "< C1 ") << host.Log();
  }
  // A map of the user's own replaces the built-in layout: Enter is on RightCtrl only.
  test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  Sandbox box;
  WriteFile(box.Data() + "3270 Default.tkm", "[Keyboard Map]\nName=3270 Default\nType=3270\nEnter=RightCtrl\n");
  const std::string target = "127.0.0.1:" + std::to_string(host.Port());
  // An unbound character key types its character.
  auto r = RunCli(box, {"-q", "-t", "3279", "--press", "A", "--press", "RightCtrl", "--wait-unlock", target});
  EXPECT_EQ(r.status, 0) << r.out;
  host.Wait();
  EXPECT_EQ(ClientRecords(host.Log()), std::vector<std::string>{"< 7D 4A D5 11 4A D4 81 FF EF"}) << host.Log();
  auto shown = RunCli(box, {"--show-map", "3270 DEFAULT"});
  EXPECT_EQ(shown.out, "[Keyboard Map]\nName=3270 Default\nType=3270\nEnter=RightCtrl\n");
  auto listed = RunCli(box, {"--list-maps"});
  EXPECT_TRUE(Contains(listed.out, "3270 Default             3270      1 bindings  3270 Default.tkm\n")) << listed.out;
  EXPECT_TRUE(Contains(listed.out, "VT100 Default            VT100    98 bindings  VT100 Default.tkm\n")) << listed.out;
  test::TestHost again("demo");
  auto unbound = RunCli(box, {"-q", "-t", "3279", "--press", "Enter", "127.0.0.1:" + std::to_string(again.Port())});
  EXPECT_EQ(unbound.status, 1);
  EXPECT_TRUE(Contains(unbound.out, "The key Enter is not assigned in the keyboard map \"3270 Default\"")) << unbound.out;
}

TEST(CliProgram, ARecordedLogonReplaysAsAMacro) {
  Sandbox box;
  auto run = [&](const std::vector<std::string>& args) {
    test::TestHost host("demo");
    EXPECT_TRUE(host.Ready());
    std::vector<std::string> all{"-q", "-t", "3279"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back("127.0.0.1:" + std::to_string(host.Port()));
    Result r = RunCli(box, all);
    host.Wait();
    return std::pair{r, ClientRecords(host.Log())};
  };
  auto [recorded, sent] = run({"--record", "logon", "--type", "demo", "--press", "Tab", "--type", "demo", "--key",
                               "Enter", "--wait-text", "Main Menu"});
  EXPECT_EQ(recorded.status, 0) << recorded.out;
  EXPECT_EQ(ReadFile(box.Data() + "logon.mac"), "[Macro]\nName=logon\nType=3270\nData=demo<Tab>demo<Enter>\n");
  auto [replayed, replayedSent] = run({"--macro", "LOGON", "--wait-text", "Main Menu"});
  EXPECT_EQ(replayed.status, 0) << replayed.out;
  EXPECT_TRUE(Contains(replayed.out, "Welcome, DEMO.")) << replayed.out;
  EXPECT_EQ(replayedSent, sent);

  // A second recording of that name replaces it only when the user says so.
  auto kept = RunCli(box, {"-q", "--record", "logon", "--type", "x", "127.0.0.1:1"});
  EXPECT_EQ(kept.status, 1);
  EXPECT_TRUE(Contains(kept.out, "The macro \"logon\" is kept")) << kept.out;
  auto missing = RunCli(box, {"-q", "--macro", "nosuch", "127.0.0.1:1"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Contains(missing.out, "corvina-cli: Macro 'nosuch' not found")) << missing.out;
}

TEST(CliOptions, SessionKindsAnswersAndTextsInLatin1) {
  std::string e;
  EXPECT_FALSE(Parse({"-t", "5250P", "host"}, &e));  // a printer kind with no terminal type
  EXPECT_EQ(e, "Unknown terminal kind \"5250P\" (3278, 3279, 3270P, 5250, VT100, VT220, ANSI)");
  auto answers = Parse({"--answer", "abort", "--answer=Retry", "--answer", "IGNORE", "host"});
  ASSERT_TRUE(answers);
  EXPECT_EQ(answers->answers, (std::vector<platform::Answer>{platform::Answer::Abort, platform::Answer::Retry,
                                                             platform::Answer::Ignore}));
  // UTF-8 as typed in a terminal becomes the Latin-1 of screens and profiles.
  auto typed = Parse({"--type", "\xC3\xA9", "--wait-text", "Men\xC3\xBC", "Caf\xC3\xA9"});
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->target, "Caf\xE9");
  EXPECT_EQ(typed->steps, (std::vector<CliStep>{{CliStep::kType, "\xE9"}, {CliStep::kWaitText, "Men\xFC"}}));
  EXPECT_FALSE(Parse({"--trace", "t.trc"}, &e));  // would trace nothing, yet write the file
  EXPECT_EQ(e, "--trace needs a session: name a profile, a session file or a host");
  EXPECT_FALSE(Parse({"--type", "5 \xE2\x82\xAC", "host"}, &e));
  EXPECT_EQ(e, "The text \"5 \xE2\x82\xAC\" of --type holds characters that Latin-1 lacks");
}

TEST(CliProgram, ANewUserRunWritesOnlyUnderTheXdgFolders) {
  const std::string root = test::MakeTempDir();
  const std::string home = root + "/home", cwd = root + "/cwd";
  std::filesystem::create_directories(home);
  std::filesystem::create_directories(cwd);
  const auto run = [&](const std::string& args) {
    return RunShell("cd " + Quote(cwd) + " && timeout 30 env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u CORVINA_SETTINGS" +
                    " HOME=" + Quote(home) + " XDG_RUNTIME_DIR=" + Quote(root) + " " + kCli + " " + args);
  };
  const auto files = [](const std::string& folder) {
    std::vector<std::string> all;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
      all.push_back(e.path().string().substr(folder.size()));
    std::sort(all.begin(), all.end());
    return all;
  };
  auto nothing = run("");
  EXPECT_EQ(nothing.status, 2) << nothing.out;
  EXPECT_TRUE(Contains(nothing.out, "Nothing to start")) << nothing.out;
  EXPECT_TRUE(files(home).empty());
  EXPECT_TRUE(files(cwd).empty());

  const std::string port = std::to_string(test::FreePort());
  auto refused = run("127.0.0.1:" + port);
  EXPECT_EQ(refused.status, 1) << refused.out;
  EXPECT_TRUE(files(cwd).empty());
  const std::string data = "/.local/share/Orvex/Corvina";
  EXPECT_TRUE(std::filesystem::exists(home + data + "/127.0.0.1 " + port + ".tsp")) << refused.out;
  struct stat st {};
  ASSERT_EQ(::stat((home + data).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  std::filesystem::remove_all(root);
}

TEST(CliProgram, ATraceRunNeverOverwritesAnUnreadableSettingsFile) {
  test::TestHost host("nvt-close");
  ASSERT_TRUE(host.Ready());
  Sandbox box;
  WriteFile(box.Settings(), "[Configuration]\nMaximumSessions=3\n");
  const auto size = std::filesystem::file_size(box.Settings()) + (std::uintmax_t{16} << 20);
  ASSERT_EQ(::truncate(box.Settings().c_str(), static_cast<off_t>(size)), 0);
  auto r = RunCli(box, {"-q", "--trace", box.Data() + "../t.trc", "-t", "vt100",
                        "127.0.0.1:" + std::to_string(host.Port())});
  EXPECT_TRUE(Contains(r.out, "is larger than 16 MiB (using defaults)")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Unable to save settings in file " + box.Settings() + ".")) << r.out;
  EXPECT_EQ(std::filesystem::file_size(box.Settings()), size);
  EXPECT_EQ(ReadFile(box.Settings()).rfind("[Configuration]\nMaximumSessions=3\n", 0), 0u);
}

TEST(CliProgram, RefusesWhatItCannotRunAndSaysWhy) {
  SilentListener host;
  Sandbox box;
  // A 3270 printer session runs now; it waits for the host's negotiation.
  Sandbox printerBox;
  auto printer = RunCli(printerBox, {"-t", "3270P", "--for", "1", "127.0.0.1:" + std::to_string(host.Port())});
  EXPECT_FALSE(Contains(printer.out, "not available in this version")) << printer.out;
  auto word = RunCli(box, {"Prdo"});
  EXPECT_EQ(word.status, 1) << word.out;
  EXPECT_TRUE(Contains(word.out, "\"Prdo\" is neither a session profile in " + box.Data() + " nor a host."))
      << word.out;
  EXPECT_TRUE(box.DataFiles().empty());
  auto missing = RunCli(box, {"--show-profile", box.Data() + "gone.tsp"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out,
            "corvina-cli: Cannot read session profile \"" + box.Data() + "gone.tsp\": No such file or directory\n");
}

TEST(CliProgram, ALatin1ProfileIsFoundByItsUtf8NameAndTypesOneCharacter) {
  test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  Sandbox box;
  WriteFile(box.Data() + "cafe.tsp", "[Session Profile]\nName=Caf\xE9\nHost=127.0.0.1," + std::to_string(host.Port()) +
                                         "\nTerminalType=3279,24,80,IBM-3278-2-E\n");
  auto r = RunCli(box, {"-q", "--type", "\xC3\xA9", "--key", "Enter", "--wait-unlock", "Caf\xC3\xA9"});
  EXPECT_EQ(r.status, 0) << r.out;
  host.Wait();
  // AID, cursor, the user field and one EBCDIC e-acute.
  EXPECT_EQ(ClientRecords(host.Log()), std::vector<std::string>{"< 7D 4A D5 11 4A D4 51 FF EF"}) << host.Log();
}

// ------------------------------------------------------- 3270 printer sessions

TEST(CliPrinter, ScsAndLu3JobsFromAPrinterLuReachTheFileWithTheirResponses) {
  Sandbox box;
  test::TestHost host("printer");
  ASSERT_TRUE(host.Ready());
  const std::string out = box.Data() + "../print.txt";
  auto r = RunCli(box, {"-t", "3270P", "--print-to", "file:" + out, "127.0.0.1:" + std::to_string(host.Port())});
  EXPECT_EQ(r.status, 0) << r.out;
  // The host checked a positive response to every record and PRINT-EOJ.
  EXPECT_EQ(host.Wait(), 0) << host.Log();
  EXPECT_TRUE(Contains(r.out, "Print job 1 printed")) << r.out;
  EXPECT_TRUE(Contains(r.out, "Print job 2 printed")) << r.out;
  EXPECT_EQ(ReadFile(out),
            "CORVINA PRINT TEST\n" + [] {
              std::string ruler;
              for (int i = 0; i < 13; ++i) ruler += "1234567890";
              return ruler + "12\n";
            }() + "A        B         C\n"
                  "Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e\n"
                  "    at 5\n\n        two down\n"
                  "\f\nPage two\n"
                  "\f\nLU3 LINE ONE\nLU3 LINE TWO\n");
  // The window shows the job log.
  EXPECT_TRUE(Contains(r.out, "Printer session connected. Waiting for work")) << r.out;
  EXPECT_TRUE(Contains(r.out, "[1] Receiving print job")) << r.out;
  EXPECT_TRUE(Contains(r.out, "[2] Receive complete")) << r.out;
}

// pr3287 prints the same jobs: the SCS controls both know (pr3287 has no
// presentation positions and passes transparent data untranslated) and
// formatted and unformatted LU type 3 writes.
TEST(CliPrinter, PrintsTheSameJobsAsPr3287AndAnswersTheHostAlike) {
  if (::access("/usr/bin/pr3287", X_OK) != 0) GTEST_SKIP() << "pr3287 is not installed";
  const std::vector<std::string> jobs{"jobs=common,lu3,lu3u"};
  test::TestHost ours("printer", jobs);
  test::TestHost theirs("printer", jobs);
  ASSERT_TRUE(ours.Ready() && theirs.Ready());
  Sandbox box;
  const std::string mine = box.Data() + "../ours.txt", other = box.Data() + "../pr3287.txt";
  auto r = RunCli(box, {"-t", "3270P", "--print-to", "file:" + mine, "127.0.0.1:" + std::to_string(ours.Port())});
  EXPECT_EQ(r.status, 0) << r.out;
  {
    // Form feeds pass through, and each job ends with one.
    test::ChildProcess pr3287({"pr3287", "-ffthru", "-ffeoj", "-command", "cat >>" + Quote(other),
                               "127.0.0.1:" + std::to_string(theirs.Port())},
                              box.Data() + "../pr3287.out");
    ASSERT_EQ(pr3287.Wait(20000), 0) << ReadFile(box.Data() + "../pr3287.out");
  }
  EXPECT_EQ(ours.Wait(), 0) << ours.Log();
  EXPECT_EQ(theirs.Wait(), 0) << theirs.Log();
  // Our text file writes each page (and job) as whole lines after a form
  // feed line; pr3287 writes the form feed where the order came, before the
  // next line's text, and one (with a line end) after the last job.
  std::string text = ReadFile(mine), reference = ReadFile(other);
  for (std::size_t at; (at = text.find("\f\n")) != std::string::npos;) text.erase(at + 1, 1);
  const std::size_t last = reference.rfind('\f');
  if (last != std::string::npos && reference.find_first_not_of('\n', last + 1) == std::string::npos)
    reference.erase(last);
  EXPECT_EQ(text, reference);
  EXPECT_NE(text.find("\xC3\x80 la fa\xC3\xA7on\n\fSecond page\n\fLU3 LINE ONE\n"), std::string::npos) << text;
  EXPECT_NE(text.find("UNFORMATTED TWO\n\nAFTER A BLANK LINE\n"), std::string::npos) << text;
  const auto responses = ClientRecords(ours.Log());
  // The BIND, the three records of the SCS job, each LU type 3 write and each PRINT-EOJ.
  EXPECT_EQ(responses.size(), 9u) << ours.Log();
  EXPECT_EQ(responses, ClientRecords(theirs.Log())) << theirs.Log();
}

TEST(CliPrinter, AJobThatCannotBeSpooledIsAnsweredNegatively) {
  Sandbox box;
  test::TestHost host("printer", {"jobs=scs", "expect=negative"});
  ASSERT_TRUE(host.Ready());
  // The spool folder is a file: no spool file can be made.
  ::mkdir((box.Runtime() + "/corvina").c_str(), 0700);
  WriteFile(box.Runtime() + "/corvina/spool", "in the way");
  auto r = RunCli(box, {"-t", "3270P", "--print-to", "file:/dev/null", "127.0.0.1:" + std::to_string(host.Port())});
  EXPECT_EQ(host.Wait(), 0) << host.Log();
  EXPECT_TRUE(Contains(r.out, "[1] ERROR: printer file")) << r.out;
  EXPECT_TRUE(Contains(r.out, "[1] Job flushed")) << r.out;
}

// ------------------------------------------------------------ screen printing

TEST(CliPrinter, PrintScreenToPdfShowsTheScreenText) {
  if (RunShell("command -v pdftotext pdftoppm").out.empty()) GTEST_SKIP() << "poppler-utils are not installed";
  Sandbox box;
  test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  const std::string pdf = CORVINA_BINARY_DIR "/tests/cli/screen-print.pdf";
  std::filesystem::remove(pdf);
  auto r = RunCli(box, {"-q", "--print-to", "file:" + pdf, "--wait-text", "Password", "--key", "HostPrintScreen",
                        "127.0.0.1:" + std::to_string(host.Port())});
  EXPECT_EQ(r.status, 0) << r.out;
  RunShell("pdftoppm -png -r 60 '" + pdf + "' " CORVINA_BINARY_DIR "/tests/cli/screen-print");
  auto words = [](const std::string& text) {
    std::vector<std::string> w;
    std::istringstream in(text);
    for (std::string word; in >> word;) w.push_back(word);
    return w;
  };
  // The screen as corvina-cli prints it, after its own status lines.
  const std::string screen = r.out.substr(r.out.find("CORVINA DEMO"));
  EXPECT_EQ(words(RunShell("pdftotext -layout '" + pdf + "' -").out), words(screen));
}

TEST(CliPrinter, PrintScreenToNumberedFilesWithHeaderAndFooter) {
  Sandbox box;
  test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  const std::string port = std::to_string(host.Port());
  WriteFile(box.Data() + "demo.tsp", "[Session Profile]\nName=Demo\nHost=127.0.0.1," + port +
                                         "\nTerminalType=3279,24,80,IBM-3278-2-E\nPrintOptions=520\n"
                                         "PrinterFile=" + box.Data() + "../screen.txt\n"
                                         "PrintScreenHeader=%SESSION $SESSION at %TIME\n"
                                         "PrintScreenFooter=End of %SESSION\n");
  WriteFile(box.Data() + "../screen.000.txt", "an earlier print");
  auto r = RunCli(box, {"-q", "--wait-text", "Password", "--key", "HostPrintScreen", "--key", "HostPrintScreen", "Demo"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadFile(box.Data() + "../screen.000.txt"), "an earlier print");
  const std::string first = ReadFile(box.Data() + "../screen.001.txt");
  EXPECT_EQ(first, ReadFile(box.Data() + "../screen.002.txt"));
  // The first of each token is replaced; header and footer are as wide as the screen.
  ASSERT_EQ(first.rfind("Demo $SESSION at ", 0), 0u) << first;
  const std::size_t end = first.find("\r\n");
  EXPECT_EQ(end, 80u);
  EXPECT_EQ(first.substr(end, 4), "\r\n\r\n");
  EXPECT_NE(first.find("\r\n  CORVINA DEMO"), std::string::npos) << first;
  EXPECT_EQ(first.substr(first.size() - 86), "\r\n\r\nEnd of Demo" + std::string(69, ' ') + "\r\n");
}

TEST(CliPrinter, SaveScreenWritesTheRowsAndHostSaveAppendsToTheSameFile) {
  Sandbox box;
  test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  const std::string file = box.Data() + "../saved.log";
  WriteFile(file, "kept\r\n");
  // The file exists: the question is answered No, so the first save replaces it.
  auto r = RunCli(box, {"-q", "--answer", "no", "--wait-text", "Password", "--save-screen", file, "--key", "HostSave",
                        "127.0.0.1:" + std::to_string(host.Port())});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Contains(r.out, "already exists.\nDo you want to append to it? -> No")) << r.out;
  const std::string saved = ReadFile(file);
  ASSERT_EQ(saved.size() % 2, 0u);
  const std::string one = saved.substr(0, saved.size() / 2);
  EXPECT_EQ(one, saved.substr(saved.size() / 2));
  // 24 rows, each 80 columns and CR LF, nothing else.
  std::size_t rows = 0;
  for (std::size_t at = 0; at < one.size(); ++rows) {
    const std::size_t end = one.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(end - at, 80u) << "row " << rows;
    at = end + 2;
  }
  EXPECT_EQ(rows, 24u);
  EXPECT_NE(one.find("CORVINA DEMO"), std::string::npos) << one;
}

TEST(CliOptions, TransfersAreStepsWithTheOptionsGivenBeforeThem) {
  auto o = Parse({"--type", "x", "--send", "/tmp/\xC3\xA4.txt", "PROFILE EXEC A", "--ft-options", "tso,binary",
                  "--receive", "DATA.SET", "out.bin", "host:23"});
  ASSERT_TRUE(o);
  ASSERT_EQ(o->steps.size(), 3u);
  EXPECT_EQ(o->steps[1], (CliStep{CliStep::kSend, "/tmp/\xC3\xA4.txt", "PROFILE EXEC A", ""}))
      << "the PC file stays as the file system names it";
  EXPECT_EQ(o->steps[2], (CliStep{CliStep::kReceive, "out.bin", "DATA.SET", "tso,binary"}));
  std::string error;
  EXPECT_FALSE(Parse({"host:23", "--send", "only-one"}, &error));
  EXPECT_NE(error.find("PCFILE HOSTFILE"), std::string::npos);
  EXPECT_FALSE(Parse({"--ft-options", "buffer=70000", "host:23"}, &error));
  EXPECT_NE(error.find("512"), std::string::npos);
}
