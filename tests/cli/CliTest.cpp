#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "../session/TestSupport.h"
#include "cli/CliOptions.h"

using namespace corvina;
using namespace corvina::cli;

namespace {

std::optional<CliOptions> Parse(std::vector<std::string> args, std::string* error = nullptr) {
  std::string e;
  auto o = ParseCommandLine(args, &e);
  if (error) *error = e;
  return o;
}

struct Result {
  int status;
  std::string out;
};

// Runs corvina-cli with a time limit; standard error is merged into out.
Result RunCli(const std::string& args) {
  std::string cmd = "timeout 30 " CORVINA_BINARY_DIR "/cli/corvina-cli " + args + " 2>&1";
  Result r{-1, {}};
  FILE* f = ::popen(cmd.c_str(), "r");
  if (!f) return r;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) r.out.append(buf.data(), n);
  int st = ::pclose(f);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace

TEST(CliOptions, HostPortAndOptions) {
  auto o = Parse({"--terminal", "vt220", "--size", "27x132", "mainframe.example:992", "--tls", "--for=2.5"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->host, "mainframe.example");
  EXPECT_EQ(o->port, 992);
  EXPECT_EQ(o->terminalKind, 260u);
  EXPECT_EQ(o->rows, 27);
  EXPECT_EQ(o->columns, 132);
  EXPECT_TRUE(o->tls);
  EXPECT_DOUBLE_EQ(*o->runSeconds, 2.5);
  auto v6 = Parse({"[::1]:2323"});
  ASSERT_TRUE(v6);
  EXPECT_EQ(v6->host, "::1");
  EXPECT_EQ(v6->port, 2323);
  auto bare6 = Parse({"fe80::1"});
  ASSERT_TRUE(bare6);
  EXPECT_EQ(bare6->host, "fe80::1");
  EXPECT_EQ(bare6->port, 23);
  auto explicitPort = Parse({"-p", "3270", "host:23"});  // the option wins
  EXPECT_EQ(explicitPort->port, 3270);
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
  std::string e;
  EXPECT_FALSE(Parse({}, &e));
  EXPECT_EQ(e, "Please enter a Host Name or IP address.");
  EXPECT_FALSE(Parse({"host:0"}, &e));
  EXPECT_EQ(e, "Please enter a port number between 1 and 65535.");
  EXPECT_FALSE(Parse({"host:99999"}, &e));
  EXPECT_FALSE(Parse({"-t", "3180", "host"}, &e));
  EXPECT_NE(e.find("Unknown terminal kind"), std::string::npos);
  EXPECT_FALSE(Parse({"--size", "0x80", "host"}, &e));
  EXPECT_FALSE(Parse({"--reconnect", "100", "host"}, &e));
  EXPECT_FALSE(Parse({"--bogus", "host"}, &e));
  EXPECT_EQ(e, "Unknown option --bogus");
  EXPECT_FALSE(Parse({"a", "b"}, &e));
  EXPECT_FALSE(Parse({"--port"}, &e));
  EXPECT_EQ(e, "Option --port needs a port number");
}

TEST(CliProgram, HelpAndUsageErrorExitStatus) {
  auto help = RunCli("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: corvina-cli"), std::string::npos);
  auto bad = RunCli("--frobnicate");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.out.find("Unknown option --frobnicate"), std::string::npos);
}

TEST(CliProgram, RefusedConnectionFailsWithTheErrorText) {
  auto r = RunCli("127.0.0.1:" + std::to_string(test::FreePort()));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("[Corvina] Session 1: Socket error 10061: WSAECONNREFUSED -> OK"), std::string::npos) << r.out;
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
  auto r = RunCli("-q --for 4 -t vt100 127.0.0.1:" + std::to_string(port));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("login:"), std::string::npos) << r.out;
}

TEST(CliProgram, ShowsTheNegotiatedModeAndDeviceName) {
  test::TestHost host("tn3270e", {"device-name=CORV0042"});
  ASSERT_TRUE(host.Ready());
  auto r = RunCli("--for 2 -t 3279 127.0.0.1:" + std::to_string(host.Port()));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Terminal mode: 3279\n"), std::string::npos) << r.out << host.Log();
  EXPECT_NE(r.out.find("Device name: CORV0042\n"), std::string::npos) << r.out << host.Log();
}

TEST(CliProgram, WritesATraceThatTheTraceToolPrints) {
  test::TestHost host("nvt-close");
  ASSERT_TRUE(host.Ready());
  std::string dir = test::MakeTempDir();
  auto r = RunCli("-q --settings " + dir + "/Corvina.ini --trace " + dir + "/t.trc -t vt100 127.0.0.1:" +
                  std::to_string(host.Port()));
  EXPECT_EQ(r.status, 0) << r.out;
  std::string cmd = "timeout 30 " CORVINA_BINARY_DIR "/tools/corvina-trace " + dir + "/t.trc 2>&1";
  FILE* f = ::popen(cmd.c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::string text;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  EXPECT_EQ(WEXITSTATUS(::pclose(f)), 0) << text;
  EXPECT_EQ(text.rfind("Corvina release ", 0), 0u) << text;
  EXPECT_NE(text.find("bytes rcvd\r\n00000000  "), std::string::npos) << text;
  EXPECT_NE(text.find(": Connected to 127.0.0.1 port "), std::string::npos) << text;
  // The setting is created with its default.
  std::ifstream ini(dir + "/Corvina.ini");
  std::stringstream ss;
  ss << ini.rdbuf();
  EXPECT_NE(ss.str().find("TraceFileBinary=1"), std::string::npos) << ss.str();
  // A damaged file is reported, not misread.
  std::ofstream(dir + "/bad.trc", std::ios::binary) << std::string("\xFF<\x1E\x00", 4) << "short";
  std::string bad = "timeout 30 " CORVINA_BINARY_DIR "/tools/corvina-trace " + dir + "/bad.trc 2>&1";
  f = ::popen(bad.c_str(), "r");
  text.clear();
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  EXPECT_EQ(WEXITSTATUS(::pclose(f)), 1);
  EXPECT_NE(text.find("Truncated trace record at offset 0"), std::string::npos) << text;
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(CliProgram, ListsKeyFunctionsAndShowsProfiles) {
  auto keys = RunCli("--list-keys 3279");
  EXPECT_EQ(keys.status, 0);
  EXPECT_EQ(std::count(keys.out.begin(), keys.out.end(), '\n'), 67);
  EXPECT_NE(keys.out.find("32925  PF3"), std::string::npos) << keys.out;
  auto system = RunCli("--list-keys system");
  EXPECT_EQ(std::count(system.out.begin(), system.out.end(), '\n'), 48);
  EXPECT_EQ(RunCli("--list-keys 3180").status, 2);

  std::string dir = test::MakeTempDir();
  std::ofstream(dir + "/custom.tsp") << "[Session Profile]\nName=prod\nHost=mvs.example\n"
                                        "TerminalType=3279,30,100,IBM-3279-5-E\n";
  auto shown = RunCli("--show-profile " + dir + "/custom.tsp");
  EXPECT_EQ(shown.status, 0) << shown.out;
  EXPECT_EQ(shown.out.rfind("Terminal: IBM 3279-5 (30x100)\n", 0), 0u) << shown.out;
  EXPECT_NE(shown.out.find("Host=mvs.example,23\n"), std::string::npos) << shown.out;
  std::ofstream(dir + "/bad.tsp") << "[Session Profile]\nName=prod\nHost=mvs.example\n"
                                     "TerminalType=3278,30,100,IBM-3278-5\n";
  auto bad = RunCli("--show-profile " + dir + "/bad.tsp");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("not a session profile"), std::string::npos) << bad.out;
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(CliProgram, Prints3270ScreenWholeAndItsFields) {
  test::TestHost host("ibm3270/scenarios/logon.py");
  ASSERT_TRUE(host.Ready());
  auto r = RunCli("-q --fields --for 2 -t 3279 127.0.0.1:" + std::to_string(host.Port()));
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
