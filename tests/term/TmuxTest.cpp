// corvina-term end to end: the program runs in a tmux pane of its own
// server, keys go in with send-keys and the screen comes back with
// capture-pane, against the demo host and a shell behind telnetd.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "../session/TestSupport.h"

namespace corvina {
namespace {

// Runs a program and returns what it wrote on standard output.
std::string Capture(const std::vector<std::string>& argv) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    ::close(fds[0]);
    ::close(fds[1]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string out;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return out;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// A tmux server of this test alone, with one pane running a command.
class Tmux {
 public:
  Tmux(const std::vector<std::string>& command, int columns = 80, int rows = 26) {
    static int counter = 0;
    socket_ = "corvina-term-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    ::setenv("TERM", "xterm-256color", 0);
    std::string line = "TERM=tmux-256color";
    for (const std::string& word : command) line += " " + Quote(word);
    // The pane stays after the program ended, with its exit status shown.
    line += "; echo EXIT=$?; sleep 60";
    Tmux::Run({"-f", "/dev/null", "new-session", "-d", "-x", std::to_string(columns), "-y", std::to_string(rows),
               "sh", "-c", line});
    Run({"set-option", "-g", "set-clipboard", "on"});
  }
  ~Tmux() { Run({"kill-server"}); }
  std::string Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"tmux", "-L", socket_});
    return Capture(args);
  }
  void Keys(const std::vector<std::string>& keys) {
    std::vector<std::string> args{"send-keys", "-t", "0"};
    args.insert(args.end(), keys.begin(), keys.end());
    Run(args);
  }
  void Type(const std::string& text) { Run({"send-keys", "-t", "0", "-l", "--", text}); }
  std::string Screen() { return Run({"capture-pane", "-p", "-t", "0"}); }
  // Polls the pane until it shows the text.
  bool WaitFor(const std::string& text, int ms = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      if (Screen().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

 private:
  std::string socket_;
};

struct Sandbox {
  std::string dir = test::MakeTempDir();
  std::string data = dir + "/data";
  Sandbox() { std::system(("mkdir -p '" + data + "'").c_str()); }
  ~Sandbox() { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::vector<std::string> Command(std::vector<std::string> args) const {
    std::vector<std::string> c{CORVINA_BINARY_DIR "/app/term/corvina-term", "--data-dir", data, "--settings",
                               dir + "/Corvina.ini"};
    c.insert(c.end(), args.begin(), args.end());
    return c;
  }
};

bool HaveTmux() { return ::access("/usr/bin/tmux", X_OK) == 0; }

TEST(TermInTmux, LogsOnToTheDemoPressesPf3AndSeesTheLogonAgain) {
  if (!HaveTmux()) GTEST_SKIP() << "tmux is not installed";
  test::TestHost host("demo", {}, 60);
  ASSERT_TRUE(host.Ready());
  Sandbox box;
  const std::string target = "127.0.0.1:" + std::to_string(host.Port());
  Tmux tmux(box.Command({"-t", "3279", target}));
  ASSERT_TRUE(tmux.WaitFor("Userid")) << tmux.Screen();
  // The OIA and the status line with the session's tab under the screen.
  EXPECT_TRUE(tmux.WaitFor(" 1:" + target + " ")) << tmux.Screen();

  // The command line copies the screen to the terminal's clipboard (OSC 52).
  tmux.Keys({"C-]"});
  ASSERT_TRUE(tmux.WaitFor("Command:")) << tmux.Screen();
  tmux.Type("copy");
  tmux.Keys({"Enter"});
  ASSERT_TRUE(tmux.WaitFor("Copied 24 x 80 cells")) << tmux.Screen();
  EXPECT_NE(tmux.Run({"show-buffer"}).find("Userid"), std::string::npos);

  // xterm mouse reports: a drag selects "Userid", copy takes only that; a
  // click moves the cursor (the OIA shows where).
  tmux.Type("\x1b[<0;3;9M\x1b[<32;8;9M\x1b[<0;8;9m");
  tmux.Keys({"C-]"});
  tmux.Type("copy");
  tmux.Keys({"Enter"});
  ASSERT_TRUE(tmux.WaitFor("Copied 1 x 6 cells")) << tmux.Screen();
  EXPECT_EQ(tmux.Run({"show-buffer"}).substr(0, 6), "Userid");
  tmux.Type("\x1b[<0;21;11M\x1b[<0;21;11m");
  EXPECT_TRUE(tmux.WaitFor("11,21")) << tmux.Screen();
  tmux.Type("\x1b[<0;21;9M\x1b[<0;21;9m");
  EXPECT_TRUE(tmux.WaitFor("09,21")) << tmux.Screen();

  tmux.Type("demo");
  tmux.Keys({"Tab"});
  tmux.Type("demo");
  tmux.Keys({"Enter"});
  ASSERT_TRUE(tmux.WaitFor("Main Menu")) << tmux.Screen() << host.Log();

  // A terminal smaller than the screen scrolls with the cursor and says so.
  tmux.Run({"resize-window", "-t", "0", "-x", "60", "-y", "15"});
  EXPECT_TRUE(tmux.WaitFor("Screen 24x80: rows")) << tmux.Screen();
  tmux.Run({"resize-window", "-t", "0", "-x", "80", "-y", "26"});
  EXPECT_TRUE(tmux.WaitFor("Main Menu"));

  // "print FILE" writes the screen as Save does: every row ended by CR LF.
  const std::string saved = box.dir + "/screen.txt";
  tmux.Keys({"C-]"});
  tmux.Type("print " + saved);
  tmux.Keys({"Enter"});
  ASSERT_TRUE(tmux.WaitFor("The screen is written to")) << tmux.Screen();
  std::ifstream in(saved, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Main Menu"), std::string::npos);
  std::size_t rows = 0;
  for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; ++at, ++rows)
    EXPECT_TRUE(at > 0 && text[at - 1] == '\r') << at;
  EXPECT_GE(rows, 24u) << text;

  tmux.Keys({"F3"});
  ASSERT_TRUE(tmux.WaitFor("Userid")) << tmux.Screen() << host.Log();
  EXPECT_EQ(tmux.Screen().find("Main Menu"), std::string::npos);

  tmux.Keys({"C-]"});
  tmux.Type("quit");
  tmux.Keys({"Enter"});
  EXPECT_TRUE(tmux.WaitFor("EXIT=0")) << tmux.Screen();
}

TEST(TermInTmux, AVtSessionRunsAShellCommandBehindTelnetd) {
  if (!HaveTmux()) GTEST_SKIP() << "tmux is not installed";
  if (::access("/usr/sbin/telnetd", X_OK) != 0 || ::access("/usr/bin/socat", X_OK) != 0)
    GTEST_SKIP() << "inetutils-telnetd and socat are not installed";
  const int port = test::FreePort();
  test::ChildProcess socat({"socat", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,fork",
                            "EXEC:/usr/sbin/telnetd -h -E /bin/sh,nofork"});
  ASSERT_TRUE(test::WaitForListener(port)) << "socat did not start";
  Sandbox box;
  Tmux tmux(box.Command({"-t", "vt220", "127.0.0.1:" + std::to_string(port)}));
  ASSERT_TRUE(tmux.WaitFor(" 1:127.0.0.1:")) << tmux.Screen();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the shell's prompt
  tmux.Type("echo corvina$((6*7)); printf '\\033(0lqk\\033(B\\n'");
  tmux.Keys({"Enter"});
  ASSERT_TRUE(tmux.WaitFor("corvina42")) << tmux.Screen();
  // Line drawing arrives as box characters.
  EXPECT_NE(tmux.Screen().find("\u250C\u2500\u2510"), std::string::npos) << tmux.Screen();
  // The host's bell rings the terminal's.
  EXPECT_EQ(tmux.Run({"display-message", "-p", "-t", "0", "#{window_bell_flag}"}), "0\n");
  tmux.Type("printf '\\007'");
  tmux.Keys({"Enter"});
  bool rang = false;
  for (int i = 0; i < 50 && !rang; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(100)))
    rang = tmux.Run({"display-message", "-p", "-t", "0", "#{window_bell_flag}"}) == "1\n";
  EXPECT_TRUE(rang);
  // A bracketed paste goes to the host as it is, its line end as Enter.
  tmux.Run({"set-buffer", "echo pasted$((2+3))\n"});
  tmux.Run({"paste-buffer", "-p", "-t", "0"});
  EXPECT_TRUE(tmux.WaitFor("pasted5", 5000)) << tmux.Screen();
  // Ctrl+C reaches the host as the interrupt character.
  tmux.Type("sleep 30");
  tmux.Keys({"Enter"});
  tmux.Keys({"C-c"});
  tmux.Type("echo after$((1+1))");
  tmux.Keys({"Enter"});
  EXPECT_TRUE(tmux.WaitFor("after2", 5000)) << tmux.Screen();
  tmux.Keys({"C-]"});
  tmux.Type("quit");
  tmux.Keys({"Enter"});
  EXPECT_TRUE(tmux.WaitFor("EXIT=0")) << tmux.Screen();
}

TEST(TermInTmux, ConnectsFromItsCommandLineAndSignsOnToThe5250Demo) {
  if (!HaveTmux()) GTEST_SKIP() << "tmux is not installed";
  test::TestHost host("demo5250", {}, 60);
  ASSERT_TRUE(host.Ready());
  Sandbox box;
  // Started with no session, it opens its command line at "connect" (the
  // preference to show the Connect dialog at start-up).
  Tmux tmux(box.Command({}));
  ASSERT_TRUE(tmux.WaitFor("Command: connect")) << tmux.Screen();
  tmux.Type("-t 5250 127.0.0.1:" + std::to_string(host.Port()));
  tmux.Keys({"Enter"});
  ASSERT_TRUE(tmux.WaitFor("Sign On")) << tmux.Screen();
  // The keypad's Enter in application mode is FieldExit in the 5250 map.
  tmux.Type("demo");
  tmux.Keys({"KPEnter"});
  tmux.Type("demo");
  tmux.Keys({"Enter"});
  ASSERT_TRUE(tmux.WaitFor("Menu")) << tmux.Screen() << host.Log();
  tmux.Keys({"C-]"});
  tmux.Type("quit");
  tmux.Keys({"Enter"});
  EXPECT_TRUE(tmux.WaitFor("EXIT=0")) << tmux.Screen();
}

TEST(TermInTmux, TransfersAFileBothWaysByCommandAndByScript) {
  if (!HaveTmux()) GTEST_SKIP() << "tmux is not installed";
  Sandbox box;
  const std::string folder = box.dir + "/host";
  std::system(("mkdir -p '" + folder + "'").c_str());
  test::TestHost host("indfile", {"system=vm", "folder=" + folder}, 60);
  ASSERT_TRUE(host.Ready());
  std::string bytes;
  for (int i = 0; i < 3000; ++i) bytes.push_back(static_cast<char>(i * 11 & 0xFF));
  const std::string source = box.dir + "/source.bin", back = box.dir + "/back.bin";
  test::WriteFile(source, bytes);
  Tmux tmux(box.Command({"-t", "3279", "127.0.0.1:" + std::to_string(host.Port())}), 120);
  ASSERT_TRUE(tmux.WaitFor("Ready;")) << tmux.Screen();

  tmux.Keys({"C-]"});
  tmux.Type("transfer send " + source + " \"TEST DATA A\" binary nocrlf");
  tmux.Keys({"Enter"});
  ASSERT_TRUE(tmux.WaitFor("Session 1: TRANS03 File transfer complete")) << tmux.Screen() << host.Log();
  EXPECT_EQ(test::ReadFile(folder + "/TEST.DATA.A"), bytes);

  // The script runner takes the script command: back by screen images.
  test::WriteFile(box.dir + "/back.txt", "filetransfer Operation=receive,HostFile=\"TEST DATA A\",PCFile=" + back +
                                             ",Opsys=vm/cms,Options=\"binary nocrlf\",Mode=screenimage\n");
  tmux.Keys({"C-]"});
  tmux.Type("script " + box.dir + "/back.txt");
  tmux.Keys({"Enter"});
  ASSERT_TRUE(tmux.WaitFor("Transfers: 2")) << tmux.Screen() << host.Log();
  for (int i = 0; i < 100 && test::ReadFile(back) != bytes; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(test::ReadFile(back), bytes);

  // The host's refusal is told, and no PC file is left behind.
  tmux.Keys({"C-]"});
  tmux.Type("transfer receive \"NONE DATA A\" " + box.dir + "/none.bin");
  tmux.Keys({"Enter"});
  ASSERT_TRUE(tmux.WaitFor("Session 1: TRANS34 Host file NONE DATA A not found")) << tmux.Screen();
  EXPECT_NE(::access((box.dir + "/none.bin").c_str(), F_OK), 0);
  tmux.Keys({"C-]"});
  tmux.Type("transfer cancel");
  tmux.Keys({"Enter"});
  EXPECT_TRUE(tmux.WaitFor("No file transfer runs on session 1")) << tmux.Screen();
  tmux.Keys({"C-]"});
  tmux.Type("quit");
  tmux.Keys({"Enter"});
  EXPECT_TRUE(tmux.WaitFor("EXIT=0")) << tmux.Screen();
}

}  // namespace
}  // namespace corvina
