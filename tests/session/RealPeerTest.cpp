// Negotiation with real peers from the distribution: a telnet server and a
// 3270 console host. Skipped, with the reason, where they are not installed.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "TestSupport.h"
#include "codepage/CodePage.h"
#include "config/TerminalTypes.h"

using namespace corvina;
using namespace corvina::test;

namespace {

bool Installed(const char* path) { return ::access(path, X_OK) == 0; }

}  // namespace

TEST(RealPeer, TelnetServerSeesTheVt220TypeAndTheWindowSize) {
  if (!Installed("/usr/sbin/telnetd") || !Installed("/usr/bin/socat"))
    GTEST_SKIP() << "inetutils-telnetd and socat are not installed";
  std::string dir = MakeTempDir();
  std::string script = dir + "/show-terminal";
  std::ofstream(script) << "#!/bin/sh\nsleep 0.5\necho \"TERM=$TERM\"\necho \"SIZE=$(stty size)\"\nsleep 5\n";
  ::chmod(script.c_str(), 0700);
  int port = FreePort();
  ChildProcess socat({"socat", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,fork",
                      "EXEC:/usr/sbin/telnetd -h -E " + script + ",nofork"});
  ASSERT_TRUE(WaitForListener(port)) << "socat did not start";

  TestFrame frame;
  frame.lineModeEngine = true;
  auto profile = ProfileFor(port, kKindVt220);
  CCorvinaTerminalTypes types;
  ASSERT_TRUE(profile->SetTerminalType(types, kKindVt220, 30, 100));
  auto& s = frame.Start(profile);
  auto screen = [&] {
    std::string all;
    for (const auto& row : s.ScreenRows()) all += row + "\n";
    return all;
  };
  EXPECT_TRUE(frame.RunUntil([&] { return screen().find("SIZE=") != std::string::npos; }, 15000)) << screen();
  EXPECT_NE(screen().find("TERM=vt220"), std::string::npos) << screen();
  EXPECT_NE(screen().find("SIZE=30 100"), std::string::npos) << screen();
  std::system(("rm -rf '" + dir + "'").c_str());
}

class Hercules : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Installed("/usr/bin/hercules")) GTEST_SKIP() << "hercules is not installed";
    dir_ = MakeTempDir();
    port_ = FreePort();
    std::ofstream(dir_ + "/hercules.cnf") << "CPUSERIAL 000611\nCPUMODEL 3090\nMAINSIZE 16\nNUMCPU 1\n"
                                             "ARCHMODE S/370\nPANRATE SLOW\nCNSLPORT 127.0.0.1:"
                                          << port_ << "\n0009 3215-C /\n0010 3270\n0011 3270\n0012 3270\n";
    hercules_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"hercules", "-f", dir_ + "/hercules.cnf", "-d"}, dir_ + "/hercules.log", dir_);
    // Connect only once it is fully up; a probe connection would take a device.
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Log().find("HHCAO001I") == std::string::npos && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_NE(Log().find("Waiting for console connection"), std::string::npos) << Log();
  }
  void TearDown() override {
    if (hercules_) ::kill(hercules_->Pid(), SIGKILL);  // it does not stop on SIGTERM
    hercules_.reset();
    if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  std::string Log() const { return ReadFile(dir_ + "/hercules.log"); }

  std::string dir_;
  int port_ = 0;
  std::unique_ptr<ChildProcess> hercules_;
};

TEST_F(Hercules, NegotiatesInto3270Mode) {
  TestFrame frame;
  auto profile = ProfileFor(port_, kKind3279);
  profile->telnetTerminalType = "IBM-3278-2-E";
  auto& s = frame.Start(profile);
  ASSERT_TRUE(frame.RunUntil([&] { return s.Mode() == kKind3279; }, 15000)) << Log();
  EXPECT_TRUE(s.Telnet().TerminalTypeSent());
  EXPECT_TRUE(s.Telnet().RemoteBinary());
  EXPECT_TRUE(s.Telnet().RemoteEndOfRecord());
  EXPECT_EQ(s.Telnet().CorvinaEState(), unsigned{kCorvinaEOff});
}

TEST_F(Hercules, LuNameSelectsTheDevice) {
  TestFrame frame;
  auto profile = ProfileFor(port_, kKind3278);
  profile->telnetTerminalType = "IBM-3278-2";
  profile->luName = "0012";  // sent as IBM-3278-2@0012
  auto& s = frame.Start(profile);
  ASSERT_TRUE(frame.RunUntil([&] { return s.Mode() == kKind3278; }, 15000)) << Log();
  // Its welcome screen names the device the LU name selected.
  ASSERT_TRUE(frame.RunUntil([&] { return !frame.engineLog.records.empty(); }, 15000)) << Log();
  CCorvinaCodePage ebcdic;
  std::string text;
  for (char b : frame.engineLog.records[0]) {
    char ch = static_cast<char>(ebcdic.ToAscii(static_cast<std::uint8_t>(b)));
    text.push_back(ch >= ' ' && ch < 0x7F ? ch : '.');
  }
  auto at = text.find("Device number");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_NE(text.find("0012", at), std::string::npos) << text;
}
