#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>

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
