// corvina-cli as a 5250 display against the test host's 5250 demo
// application: what the host's own decoder makes of the records it gets,
// and the screens the program prints.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "../session/TestSupport.h"

namespace corvina::test {
namespace {

struct CliRun {
  int status = -1;
  std::string out;
};

CliRun Output(const std::string& command) {
  CliRun r;
  if (FILE* f = ::popen(command.c_str(), "r")) {
    std::array<char, 4096> buf;
    for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), f)) > 0;) r.out.append(buf.data(), n);
    const int st = ::pclose(f);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  return r;
}

// corvina-cli -q -t 5250 with the arguments against 127.0.0.1:port, with
// settings, data and runtime folders of its own.
CliRun RunCli(int port, const std::vector<std::string>& args) {
  const std::string dir = MakeTempDir();
  ::mkdir((dir + "/run").c_str(), 0700);
  ::mkdir((dir + "/data").c_str(), 0700);
  std::string cmd = "env XDG_RUNTIME_DIR=" + dir + "/run timeout 60 " CORVINA_BINARY_DIR "/cli/corvina-cli --settings " +
                    dir + "/Corvina.ini --data-dir " + dir + "/data -q -t 5250";
  for (const std::string& a : args) cmd += " '" + a + "'";
  cmd += " 127.0.0.1:" + std::to_string(port) + " 2>&1";
  CliRun r = Output(cmd);
  std::filesystem::remove_all(dir);
  return r;
}

// The same against a demo host of its own; the host's log after.
CliRun DemoRun(const std::vector<std::string>& args, std::string* log) {
  TestHost host("demo5250");
  EXPECT_TRUE(host.Ready());
  CliRun r = RunCli(host.Port(), args);
  host.Wait();
  *log = host.Log();
  return r;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}


TEST(DemoHost5250, SignOnDecodesToTheFieldsAidAndCursor) {
  std::string log;
  const CliRun r = DemoRun({"--type", "demo", "--key", "FieldExit", "--type", "demo", "--key", "Enter", "--wait-text",
                         "Main Menu"},
                        &log);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Contains(r.out, "Corvina Demo Main Menu")) << r.out;
  // The display said what it is, then sent one read: the cursor after the
  // password, Enter, the two modified fields (monocase made them upper case).
  EXPECT_TRUE(Contains(log, "\n# 5250 query reply: device 3179-002\n")) << log;
  EXPECT_TRUE(Contains(log, "\n< 00 1B 12 A0 00 00 04 00 00 03 07 39 F1 11 06 35 C4 C5 D4 D6 11 07 35 C4 C5 D4 D6 FF EF  "))
      << log;
  EXPECT_TRUE(Contains(log, "\n# 5250 read: cursor 7,57 AID F1 Enter; field 6,53 \"DEMO\"; field 7,53 \"DEMO\"\n"))
      << log;
}

// Debian's protocol analyser, given a loopback capture of the sign-on,
// reads the same fields, AID and cursor from the display's record.
TEST(DemoHost5250, TheAnalyserDecodesTheSignOn) {
  if (::access("/usr/bin/tshark", X_OK) != 0) GTEST_SKIP() << "tshark is not installed";
  if (::geteuid() != 0) GTEST_SKIP() << "capturing on the loopback interface needs root";
  TestHost host("demo5250");
  ASSERT_TRUE(host.Ready());
  const std::string dir = MakeTempDir(), capture = dir + "/sign-on.pcapng", port = std::to_string(host.Port());
  {
    ChildProcess tshark({"tshark", "-i", "lo", "-f", "tcp port " + port, "-w", capture, "-a", "duration:60"},
                        dir + "/tshark.out");
    // It is capturing once it says so.
    for (int i = 0; i < 1000 && !Contains(ReadFile(dir + "/tshark.out"), "Capture started"); ++i) ::usleep(10000);
    ASSERT_TRUE(Contains(ReadFile(dir + "/tshark.out"), "Capture started")) << ReadFile(dir + "/tshark.out");
    const CliRun r = RunCli(host.Port(), {"--type", "demo", "--key", "FieldExit", "--type", "demo", "--key", "Enter",
                                          "--wait-text", "Main Menu"});
    EXPECT_EQ(r.status, 0) << r.out;
    ::usleep(200000);  // the last packets reach the capture
    ::kill(tshark.Pid(), SIGINT);
    EXPECT_EQ(tshark.Wait(10000), 0) << ReadFile(dir + "/tshark.out");
  }
  host.Wait();
  const CliRun decoded = Output("tshark -r " + capture + " -d tcp.port==" + port +
                                ",telnet -V -Y 'tn5250.aid == 0xf1' 2>/dev/null");
  std::filesystem::remove_all(dir);
  EXPECT_EQ(decoded.status, 0);
  std::string fields;  // the record's decoded lines without their indentation
  for (const std::string& line : Lines(decoded.out))
    if (const auto text = line.find_first_not_of(' '); text != std::string::npos && line.find("TN5250 SNA Record") == std::string::npos)
      fields += line.substr(text) + "\n";
  EXPECT_TRUE(Contains(fields, "TN5250 Operation Code: Put or Get Operation (0x03)\nRow Address: 7\nColumn Address: 57\n"
                               "Attention Identification: Enter or Record Adv (0xf1)\n"
                               "Order Code: Set Buffer Address (SBA) (0x11)\nRow Address: 6\nColumn Address: 53\n"
                               "Repeated Character: DEMO\n"
                               "Order Code: Set Buffer Address (SBA) (0x11)\nRow Address: 7\nColumn Address: 53\n"
                               "Repeated Character: DEMO\n"))
      << decoded.out;
}

TEST(DemoHost5250, AWrongPasswordIsAnErrorUntilReset) {
  std::string log;
  const CliRun r = DemoRun({"--oia", "--type", "demo", "--key", "FieldExit", "--type", "nope", "--key", "Enter",
                         "--wait-text", "CPF1107"},
                        &log);
  EXPECT_EQ(r.status, 0) << r.out;
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 25u) << r.out;
  EXPECT_EQ(lines[23].substr(0, 48), " CPF1107 Password not correct for user profile. ") << r.out;
  EXPECT_EQ(lines[24].substr(8, 8), "X SYSTEM") << r.out;  // locked until Reset
}

TEST(DemoHost5250, OrderFormAndARollingList) {
  std::string log;
  const CliRun r = DemoRun({"--type", "demo", "--key", "FieldExit", "--type", "demo", "--key", "Enter", "--wait-text",
                         "Main Menu", "--type", "1", "--key", "Enter", "--wait-text", "Order Entry",
                         "--type", "ann", "--key", "FieldExit", "--type", "5", "--key", "FieldExit", "--type", "1250",
                         "--key", "FieldMinus", "--type", "123455", "--key", "Enter", "--wait-text", "Order saved",
                         "--key", "F3", "--wait-text", "Main Menu", "--type", "2", "--key", "Enter", "--wait-text",
                         "Customer List", "--key", "RollUp", "--wait-text", "C00023", "--key", "RollUp",
                         "--wait-text", "C00034", "--key", "RollDown", "--wait-text", "C00012"},
                        &log);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Contains(log, "\n# order: name \"ann\" quantity 00005 amount -1250 account 123455\n")) << log;
  // Rolled up twice and down once: the rows the host wrote after each roll
  // and the rows the rolls moved make the page of items 12 to 23.
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 17u) << r.out;
  for (int k = 0; k < 12; ++k) {
    char number[8];
    std::snprintf(number, sizeof number, "C%05d", 12 + k);
    EXPECT_EQ(lines[static_cast<std::size_t>(4 + k)].substr(2, 6), number) << r.out;
  }
  EXPECT_TRUE(Contains(lines[16], "More...")) << r.out;
  EXPECT_TRUE(Contains(log, "AID F5 RollUp")) << log;
}

}  // namespace
}  // namespace corvina::test
