#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "../session/TestSupport.h"
#include "app/Application.h"
#include "app/Clipboard.h"
#include "app/Engines.h"
#include "platform/IniFile.h"
#include "script/ScriptConverter.h"
#include "script/ScriptParser.h"
#include "session/TlsContexts.h"

namespace corvina::script {
namespace {

using platform::Answer;
using test::ReadFile;
using test::WriteFile;

// ------------------------------------------------------------------ syntax

TEST(ScriptSyntax, LabelsQuotesContinuationAndTheKeywordForm) {
  const ParsedScript s = ParseScript(SplitLines(
      "* a comment\r\n"
      "start:\r\n"
      "ok:  Waitfor \"READY\", \r\n"
      "* skipped while continuing\r\n"
      "  ok:\r\n"
      "\tindented line\r\n"
      "type \"say \"\"hi\"\"\",next,\"a b\" rest ignored\r\n"
      "filetransfer Operation = send,\r\n"
      "\tHost File=\"A, B\",\r\n"
      "\tPCFile=x.txt\r\n"
      "setvar $x,abc,\r\n"
      "\r\n"
      "exit"));
  ASSERT_FALSE(s.errorLine) << s.error;
  EXPECT_EQ(s.lineCount, 13);
  ASSERT_EQ(s.entries.size(), 7u);
  EXPECT_EQ(s.entries[0].label, "start:");  // no CR in the label
  EXPECT_EQ(s.entries[0].command, "");
  EXPECT_EQ(s.entries[1].label, "ok:");
  EXPECT_EQ(s.entries[1].command, "waitfor");
  EXPECT_EQ(s.entries[1].parameters, (std::vector<std::string>{"READY", "ok:"}));
  EXPECT_EQ(s.entries[2].line, 6);  // the indented line: no command, passed over
  EXPECT_EQ(s.entries[2].command, "");
  EXPECT_EQ(s.entries[3].parameters, (std::vector<std::string>{"say \"hi\"", "next", "a b"}));
  EXPECT_EQ(s.entries[4].parameters, (std::vector<std::string>{"Operation =send", "Host File=A, B", "PCFile=x.txt"}));
  EXPECT_EQ(s.entries[5].parameters, (std::vector<std::string>{"$x", "abc"}));  // the empty line ends the list
  EXPECT_EQ(s.entries[6].command, "exit");
}

TEST(ScriptSyntax, UnclosedQuotesContinuationAtTheEndAndBadNumbersAreErrors) {
  const ParsedScript quote = ParseScript({"type ok", "type \"never closed"});
  ASSERT_TRUE(quote.errorLine);
  EXPECT_EQ(*quote.errorLine, 2);
  const ParsedScript end = ParseScript({"waitfor a,", "* only a comment follows"});
  ASSERT_TRUE(end.errorLine);
  EXPECT_EQ(*end.errorLine, 1);
  // A lone carriage return ends its line too.
  EXPECT_EQ(SplitLines("ok:\rexit\r\n"), (std::vector<std::string>{"ok:", "exit"}));
  EXPECT_EQ(ParseNumber("150000", 1, 2147483647), 150000);
  for (const char* bad : {"12abc", "", "-5", "+5", " 5", "2147483648", "99999999999999999999"})
    EXPECT_FALSE(ParseNumber(bad, 1, 2147483647)) << bad;
}

// ------------------------------------------------------------------ running

// Timer intervals of a second or more are recorded and run at once, so a
// long wait takes no time.
class CompressingLoop final : public platform::EventLoop {
 public:
  platform::PollLoop inner;
  bool compress = false;
  std::vector<long long> long_intervals;
  platform::WatchId WatchFd(int fd, unsigned events, IoCallback cb) override { return inner.WatchFd(fd, events, std::move(cb)); }
  void UpdateWatch(platform::WatchId id, unsigned events) override { inner.UpdateWatch(id, events); }
  void RemoveWatch(platform::WatchId id) override { inner.RemoveWatch(id); }
  platform::TimerId AddTimer(std::chrono::milliseconds interval, bool repeat, Task cb) override {
    if (compress && !repeat && interval >= std::chrono::seconds(1)) {
      long_intervals.push_back(interval.count());
      interval = std::chrono::milliseconds(1);
    }
    return inner.AddTimer(interval, repeat, std::move(cb));
  }
  void CancelTimer(platform::TimerId id) override { inner.CancelTimer(id); }
  void Post(Task task) override { inner.Post(std::move(task)); }
};

class Scripts : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = test::MakeTempDir();
    data_ = root_ + "/data/";
    std::filesystem::create_directories(data_);
    settings_.SetPath(root_ + "/Corvina.ini");
    app_ = std::make_unique<app::CCorvinaApp>(
        app::AppEnvironment{loop_, ui_, platform::SystemClock::Instance(), app::CreateEngine, tls_.get()}, settings_);
    app_->onQuit = [this] { ++quits_; };
    app::AppOptions options;
    options.dataFolder = data_;
    options.runtimeFolder = root_ + "/run/";
    ASSERT_TRUE(app_->Initialise(options));
    app_->onScriptEnded = [this](const std::string&, int result) { results_.push_back(result); };
  }
  void TearDown() override {
    app_.reset();
    std::filesystem::remove_all(root_);
  }

  std::string File(const std::string& name, const std::string& text) {
    WriteFile(root_ + "/" + name, text);
    return root_ + "/" + name;
  }
  void Start(const std::string& text, CHostSession* session = nullptr) {
    const std::string file = File("script.txt", text);
    results_.clear();
    app_->Sessions().RunScript(session, file);
  }
  // Runs the script until it ends; its result.
  int Run(const std::string& text, CHostSession* session = nullptr, int ms = 10000) {
    Start(text, session);
    Turn([this] { return !results_.empty(); }, ms);
    return results_.empty() ? -2 : results_.front();
  }
  bool Turn(const std::function<bool()>& done, int ms = 10000) {
    return loop_.inner.RunUntil(done, std::chrono::milliseconds(ms));
  }
  std::string Boxes() const {
    std::string all;
    for (const auto& b : ui_.boxes) all += b.text + "\n--\n";
    return all;
  }
  bool HasBoxEnding(const std::string& text) const {
    for (const auto& b : ui_.boxes)
      if (b.text.size() >= text.size() && b.text.compare(b.text.size() - text.size(), text.size(), text) == 0)
        return true;
    return false;
  }
  void AddProfile(const std::string& name, int port) {
    auto profile = app_->Store().NewProfile();
    profile->name = name;
    profile->host = "127.0.0.1";
    profile->port = port;
    profile->SetTerminalType(app_->Store().TerminalTypes(), kKind3279, 24, 80);
    profile->keyboardOptions |= kKeyboardLockOnError;
    ASSERT_TRUE(app_->Store().Add(profile, false));
  }

  CompressingLoop loop_;
  platform::RecordingUserInterface ui_;
  platform::IniFile settings_;
  std::unique_ptr<TlsContexts> tls_;  // none: sessions cannot offer TLS
  std::unique_ptr<app::CCorvinaApp> app_;
  std::string root_, data_;
  std::vector<int> results_;
  int quits_ = 0;
};

TEST_F(Scripts, OnlyCommentsAndLabelsCompleteAndErrorsReportTheLine) {
  EXPECT_EQ(Run("* nothing\nfirst:\n\n  indented\nlast:\n"), kEndComplete);
  EXPECT_TRUE(ui_.boxes.empty()) << Boxes();

  // OK skips the failing command; Cancel (the default) ends the script.
  ui_.queued = {Answer::Ok};
  EXPECT_EQ(Run("frobnicate now,\"a b\"\ngoto nowhere\nexit\n"), kEndCancelled);
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[0].text, "Script file:\t\t" + root_ +
                                   "/script.txt\nError on Line:\t1\nCommand:\tfrobnicate\nParameter 1\tnow\nParameter "
                                   "2\ta b\n\nInvalid command: frobnicate");
  EXPECT_TRUE(HasBoxEnding("Label not found: nowhere")) << Boxes();
  EXPECT_EQ(ui_.boxes[1].answer, Answer::Cancel);
}

TEST_F(Scripts, SetvarGlobalsAndChildrenEnvironments) {
  // Globals reach a command's environment explicitly; a password does only
  // once the script names it global; the process environment never changes.
  const std::string out = root_ + "/env.txt";
  Start("setvar $y,def\n"
                    "setvar $x,abc,$y\n"
                    "setvar $z,abc,$none\n"
                    "global $x,$z\n"
                    "askfor \"Password\",password,$pw\n"
                    "command \"printf '%s|' \"\"$OrvexScript001\"\" > " + out + "; test -t 0 || echo nostdin >> " + out + "\"\n"
                    "global $pw\n"
                    "command \"printf '%s' \"\"$OrvexScript001\"\" >> " + out + "\"\n");
  // The ask-for dialog stays open until it is answered.
  ASSERT_TRUE(Turn([this] { return !ui_.prompts.empty(); }));
  EXPECT_EQ(ui_.prompts[0].prompt.caption, "Script Processing");
  EXPECT_EQ(ui_.prompts[0].prompt.group, "AskFor Command");
  EXPECT_TRUE(ui_.prompts[0].prompt.password);
  ui_.prompts[0].answer(std::string("secret"));
  ASSERT_TRUE(Turn([this] { return !results_.empty(); }));
  EXPECT_EQ(results_[0], kEndComplete) << Boxes();
  EXPECT_EQ(ReadFile(out), "$x=abcdef\n$z=abc$none\n|nostdin\n$x=abcdef\n$z=abc$none\n$pw=secret\n");
  EXPECT_EQ(::getenv("OrvexScript001"), nullptr);
}

TEST_F(Scripts, CommandsCheckTheirParametersInOrder) {
  // Every line fails; OK skips each one.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"connect nosuch", "Session \"nosuch\" not found"},
      {"session 10", "\"10\" is not a valid session number; Specify a number from 1 to 9"},
      {"session 1x", "\"1x\" is not a valid session number; Specify a number from 1 to 9"},
      {"type hello", "Terminal Emulation is not active"},
      {"waitfor READY", "Terminal Emulation is not active"},
      {"askfor \"Name\"", "Terminal Emulation is not active"},
      {"askfor \"Name\",$v,default,extra", "Parameter 4 is invalid"},
      {"global $a,b", "Parameter 2 is not a valid variable; variables must start with a $ sign"},
      {"setvar x,1", "Parameter 1 is not a valid variable; variables must start with a $ sign"},
      {"setvar $x", "A required parameter is missing"},
      {"goto", "A required parameter is missing"},
      {"key NoSuchKey", "Invalid key name: NoSuchKey"},
      {"include " + root_ + "/missing.txt", "Unable to run script file: " + root_ + "/missing.txt"},
  };
  std::string text;
  for (const auto& [line, error] : cases) text += line + "\n";
  ui_.queued.assign(cases.size() + 1, Answer::Ok);  // the missing file's Retry/Cancel takes Cancel
  EXPECT_EQ(Run(text), kEndComplete) << Boxes();
  std::vector<std::string> errors;
  for (const auto& b : ui_.boxes) errors.push_back(b.text.substr(b.text.rfind('\n') + 1));
  ASSERT_EQ(errors.size(), cases.size() + 1) << Boxes();
  for (std::size_t i = 0, j = 0; i < cases.size(); ++i, ++j) {
    if (cases[i].first.starts_with("include")) {
      EXPECT_EQ(ui_.boxes[j].text, "Can't open file " + root_ + "/missing.txt; Error = File not found.\n");
      ++j;
    }
    EXPECT_EQ(errors[j], cases[i].second) << cases[i].first;
  }
}

TEST_F(Scripts, WaitRunsInStepsOfAMinuteAndChecksItsNumber) {
  loop_.compress = true;
  EXPECT_EQ(Run("wait 150000\n"), kEndComplete) << Boxes();
  EXPECT_EQ(loop_.long_intervals, (std::vector<long long>{60000, 60000, 30000}));
  ui_.queued = {Answer::Ok, Answer::Ok, Answer::Ok};
  EXPECT_EQ(Run("wait 12x\nwait $w\nwait 2147483648\n"), kEndComplete);
  EXPECT_TRUE(HasBoxEnding("Invalid wait parameter; a valid wait time is between 1 and 2147483647 milliseconds"));
  EXPECT_TRUE(HasBoxEnding("Variable $w not found"));
}

TEST_F(Scripts, IncludesShareGlobalsAndEndTheirParents) {
  File("child.txt", "global $from\nsetvar $from,child\n");
  const std::string out = root_ + "/parent.txt";
  EXPECT_EQ(Run("global $from\ninclude child.txt\ncommand \"printf %s \"\"$OrvexScript001\"\" > " + out + "\"\n"),
            kEndComplete)
      << Boxes();
  EXPECT_EQ(ReadFile(out), "$from=child\n");

  // The script itself under another name is still itself.
  ASSERT_EQ(::symlink((root_ + "/script.txt").c_str(), (root_ + "/again.txt").c_str()), 0);
  ui_.queued = {Answer::Ok};
  EXPECT_EQ(Run("include again.txt\nexit\n"), kEndCancelled);
  EXPECT_TRUE(HasBoxEnding("File: " + root_ + "/again.txt is already active; script processing cancelled to prevent looping\n"))
      << Boxes();

  // A child cancelled by its error report ends every script above it.
  ui_.boxes.clear();
  File("bad.txt", "nonsense\n");
  File("middle.txt", "include bad.txt\nexit\n");
  ui_.queued = {Answer::Cancel, Answer::Ok, Answer::Ok};
  EXPECT_EQ(Run("include middle.txt\nexit\n"), kContinue);
  ASSERT_EQ(ui_.boxes.size(), 3u) << Boxes();
  EXPECT_TRUE(HasBoxEnding("Included Script file cancelled: " + root_ + "/bad.txt"));
  EXPECT_TRUE(HasBoxEnding("Included Script file cancelled: " + root_ + "/middle.txt"));
  Turn([this] { return app_->Scripts().Empty(); });
  EXPECT_TRUE(app_->Scripts().Empty());
}

TEST_F(Scripts, CommandKeepsTheLoopTurning) {
  int ticks = 0;
  const auto clock = loop_.inner.AddTimer(std::chrono::milliseconds(100), true, [&] { ++ticks; });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run("command \"sleep 2\"\n"), kEndComplete);
  const auto took = std::chrono::steady_clock::now() - start;
  loop_.inner.CancelTimer(clock);
  EXPECT_GE(took, std::chrono::seconds(2));
  EXPECT_GE(ticks, 15);  // the clock ran on while the child slept

  // The child has stdin, stdout, stderr and nothing else of the emulator's
  // (ls itself opens the folder it lists).
  const std::string out = root_ + "/fds.txt";
  EXPECT_EQ(Run("command \"ls /proc/self/fd > " + out + "\"\n"), kEndComplete);
  EXPECT_EQ(ReadFile(out), "0\n1\n2\n3\n");
}

TEST_F(Scripts, HostExitClosesTheProgramLater) {
  EXPECT_EQ(Run("key HostExit\ntype never\n"), kEndComplete);
  Turn([this] { return quits_ > 0; }, 2000);
  EXPECT_EQ(quits_, 1);
  EXPECT_TRUE(ui_.statuses.empty() || ui_.statuses.back().find("Script complete") == std::string::npos);
}

TEST_F(Scripts, WaitforLabelsCursorToAndTransfersOnTheDemoHost) {
  test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  AddProfile("demo", host.Port());
  ui_.queued = {Answer::Ok, Answer::Ok, Answer::Ok, Answer::Ok, Answer::Ok};
  const std::string text =
      "connect demo\n"
      "waitfor \"Userid\", \n"
      "  ok:\n"
      "type skipped\n"
      "ok: waitfor \"Userid\",ok\n"
      // An operator error locks the keyboard: keys do not wait for it.
      "cursorto 1,1\n"
      "type x\n"
      "key Tab\n"
      "key Reset\n"
      "cursorto 24,80\n"
      "cursorto 25,1\n"
      "filetransfer Operation=get,HostFile=a,PCFile=b,Opsys=vm/cms\n"
      "filetransfer Bogus=1,HostFile=a\n"
      "filetransfer Operation=send,HostFile=a,PCFile=b,Opsys=mvs/tso,Blksize=99999\n"
      "filetransfer Operation=receive,HostFile=a,PCFile=b,Opsys=vm/cms,Mode=wsf\n"
      "exit\n";
  results_.clear();
  app_->Sessions().RunScript(nullptr, File("demo.txt", text));
  ASSERT_TRUE(Turn([this] { return !results_.empty(); }, 20000)) << Boxes();
  EXPECT_EQ(results_[0], kEndCancelled) << Boxes();  // the transfer could not start: Cancel
  EXPECT_TRUE(HasBoxEnding("Label not found: ok")) << Boxes();
  EXPECT_TRUE(HasBoxEnding("Parameter 1 is invalid")) << Boxes();
  EXPECT_TRUE(HasBoxEnding("Keyword \"Operation\" contains an invalid parameter; specify \"send\" or \"receive\""));
  EXPECT_TRUE(HasBoxEnding("The following keyword(s) are required:\n Operation\nPCFile\nOpsys")) << Boxes();
  EXPECT_TRUE(HasBoxEnding("Keyword \"Blksize\" contains an invalid blocksize; a valid blocksize is between 1 and 32760"));
  // The cursor stands in a protected field: the command cannot be typed.
  EXPECT_TRUE(HasBoxEnding("Error sending file transfer command")) << Boxes();
  EXPECT_TRUE(HasBoxEnding("The file transfer did not start: the keyboard refused the command")) << Boxes();
  CHostSession* s = app_->Sessions().Session(1);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Cursor(), 1919);  // key function 51919
  EXPECT_FALSE(ui_.beeps.empty());  // typing into the protected field was an operator error
  const auto rows = s->ScreenRows();
  EXPECT_EQ(rows[8].find("skipped"), std::string::npos);

  // An empty text waits for the next host data, whatever it holds; closing
  // the session a script waits on ends the script.
  results_.clear();
  app_->Sessions().RunScript(s, File("any.txt", "key Reset\nkey Enter\nwaitfor \"\"\nwaitfor NEVER\n"));
  ASSERT_TRUE(Turn([this] { return !ui_.scans.empty() && ui_.scans.back().chooser.texts[0] == "NEVER"; }));
  EXPECT_EQ(ui_.scans[ui_.scans.size() - 2].chooser.texts[0], "<<Any host update>>");
  app_->Sessions().CloseSession(*s);
  ASSERT_TRUE(Turn([this] { return !results_.empty(); }));
  EXPECT_EQ(results_[0], kEndCancelled);
  EXPECT_FALSE(*ui_.scans.back().open);
}

TEST_F(Scripts, EditselectSelectsWholeCellsInEitherCornerOrder) {
  test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  AddProfile("demo", host.Port());
  ASSERT_EQ(Run("connect demo\nwaitfor \"Userid\"\neditselect 9,3,9,15\n"), kEndComplete) << Boxes();
  CHostSession* s = app_->Sessions().Session(1);
  ASSERT_NE(s, nullptr);
  // One row, both end cells included: the label and its arrow.
  ASSERT_TRUE(s->SelectionActive());
  EXPECT_EQ(app::SelectedText(*s), "Userid   ===>");
  ASSERT_EQ(Run("editselect 11,15,9,3\n", s), kEndComplete) << Boxes();
  const CellRect r = s->Selection();
  EXPECT_EQ((std::array{r.left, r.top, r.right, r.bottom}), (std::array{2, 8, 14, 10}));
  EXPECT_EQ(app::SelectedText(*s), "Userid   ===>\r\n             \r\nPassword ===>");
  // The last row and column can be reached.
  ASSERT_EQ(Run("editselect 1,1,24,80\n", s), kEndComplete) << Boxes();
  EXPECT_EQ((std::array{s->Selection().right, s->Selection().bottom}), (std::array{79, 23}));
  ui_.queued = {Answer::Ok};
  ASSERT_EQ(Run("editselect 1,1,25,80\n", s), kEndComplete);
  EXPECT_TRUE(HasBoxEnding("Parameter 3 is invalid")) << Boxes();
}

// A host that talks plain text first and then TLS on the same connection:
// socat prints the banner and hands the connection on to openssl s_server.
class SecureScripts : public Scripts {
 protected:
  void SetUp() override {
    if (!certs_.Ok()) GTEST_SKIP() << "openssl could not make test certificates";
    tls_ = std::make_unique<TlsContexts>(TlsSettings{true, certs_.Path("ca.pem")});
    Scripts::SetUp();
  }
  test::Certificates certs_;
};

TEST_F(SecureScripts, SslconnectTurnsThePlainConnectionIntoTls) {
  const int tlsPort = test::FreePort();
  test::ChildProcess tlsServer({"openssl", "s_server", "-quiet", "-accept", "127.0.0.1:" + std::to_string(tlsPort),
                                "-cert", certs_.Path("server.pem"), "-key", certs_.Path("server.key")});
  ASSERT_TRUE(test::WaitForListener(tlsPort));
  const int plainPort = test::FreePort();
  const std::string relay = File("relay.sh", "printf 'PLAIN BANNER\\r\\n'\nexec socat STDIO TCP:127.0.0.1:" +
                                                 std::to_string(tlsPort) + "\n");
  test::ChildProcess plain({"timeout", "60", "socat",
                            "TCP-LISTEN:" + std::to_string(plainPort) + ",bind=127.0.0.1,reuseaddr,fork",
                            "SYSTEM:/bin/sh " + relay});
  ASSERT_TRUE(test::WaitForListener(plainPort));
  auto profile = app_->Store().NewProfile();
  profile->name = "plain";
  profile->host = "127.0.0.1";
  profile->port = plainPort;
  profile->SetTerminalType(app_->Store().TerminalTypes(), kKindVt100, 24, 80);
  ASSERT_TRUE(app_->Store().Add(profile, false));
  Start("connect plain\nwaitfor \"PLAIN BANNER\"\nsslconnect tlsv1\nwaitfor \"OVER TLS\"\n");
  ASSERT_TRUE(Turn([this] {
    CHostSession* s = app_->Sessions().Session(1);
    return (s && s->Secure()) || !results_.empty();
  })) << Boxes();
  ASSERT_TRUE(results_.empty()) << Boxes();
  tlsServer.Write("HELLO OVER TLS\r\n");
  ASSERT_TRUE(Turn([this] { return !results_.empty(); })) << Boxes();
  EXPECT_EQ(results_[0], kEndComplete) << Boxes();
  EXPECT_TRUE(ui_.boxes.empty()) << Boxes();
}

TEST_F(Scripts, FiletransferMovesFilesBothWaysAndAFailedTransferIsReported) {
  const std::string hostFolder = root_ + "/host";
  std::filesystem::create_directories(hostFolder);
  test::TestHost host("indfile", {"system=vm", "folder=" + hostFolder}, 60);
  ASSERT_TRUE(host.Ready());
  AddProfile("ft", host.Port());
  // Every byte value, 0xFF (doubled on the wire) and CR LF pairs included.
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
  bytes += "\r\n\x1A";
  const std::string pc = File("out.bin", bytes), back = root_ + "/back.bin", missing = root_ + "/missing.bin";
  // The send goes by structured fields, the receive by screen images.
  const std::string text =
      "connect ft\n"
      "waitfor \"Ready;\"\n"
      "filetransfer Operation=send,HostFile=\"TEST DATA A\",PCFile=" + pc + ",Opsys=vm/cms,Options=\"binary nocrlf\"\n"
      "waitfor \"Transfers: 1\"\n"
      "filetransfer Operation=receive,HostFile=\"TEST DATA A\",PCFile=" + back +
      ",Opsys=vm/cms,Options=\"BINARY NOCRLF\",Mode=screenimage\n"
      "waitfor \"Transfers: 2\"\n"
      "filetransfer Operation=receive,HostFile=\"NONE DATA A\",PCFile=" + missing + ",Opsys=vm/cms\n"
      "exit\n";
  ui_.queued = {Answer::Ok};
  results_.clear();
  app_->Sessions().RunScript(nullptr, File("ft.txt", text));
  ASSERT_TRUE(Turn([this] { return !results_.empty(); }, 60000)) << Boxes() << host.Log();
  EXPECT_EQ(results_[0], kEndComplete) << Boxes();
  EXPECT_EQ(ReadFile(hostFolder + "/TEST.DATA.A"), bytes) << host.Log();
  EXPECT_EQ(ReadFile(back), bytes);
  const std::string log = host.Log();
  EXPECT_NE(log.find("command: IND$FILE PUT TEST DATA A"), std::string::npos) << log;
  EXPECT_NE(log.find("GET block 1:"), std::string::npos) << log;  // screen images
  // The host's refusal stops the script with its own words (OK went on);
  // the PC file it named was never made.
  ASSERT_EQ(ui_.boxes.size(), 1u) << Boxes();
  EXPECT_NE(ui_.boxes[0].text.find("Error on Line:\t7\nCommand:\tfiletransfer"), std::string::npos) << Boxes();
  EXPECT_NE(ui_.boxes[0].text.find("\n\nTRANS34 Host file NONE DATA A not found"), std::string::npos) << Boxes();
  EXPECT_FALSE(std::filesystem::exists(missing));
}

// ------------------------------------------------------------------ converter

class Converter : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = test::MakeTempDir();
    std::filesystem::create_directories(root_ + "/data");
    store_ = std::make_unique<CCorvinaPersistentData>(root_ + "/data/", profile_, ui_);
    ASSERT_TRUE(store_->LoadAll());
  }
  void TearDown() override { std::filesystem::remove_all(root_); }
  platform::IniFile profile_;
  platform::RecordingUserInterface ui_;
  std::unique_ptr<CCorvinaPersistentData> store_;
  std::string root_;
};

TEST_F(Converter, RewritesAnOldScriptKeepsTheOldFileAndMakesProfiles) {
  auto existing = store_->NewProfile();
  existing->name = "Prod";
  existing->host = "other";
  ASSERT_TRUE(store_->Add(existing, true));
  const std::string file = root_ + "/old.script.scr";
  const std::string old =
      "* old logon\r\n"
      "Title \"Prod\"\r\n"
      "Terminal \"IBM-3278-2\"\r\n"
      "Connect \"mvs.example\"\r\n"
      "Connect \"mvs.example\"\r\n"
      "Looklist \"\"\"Ready\"\"[ok]\"\"Error\"\"[bad]\"\r\n"
      "Label \"ok\"\r\n"
      "Password \"Your password\"\r\n"
      "TransferPCfilename \"a b.txt\"\r\n"
      "TransferHostfilename \"A\"\r\n"
      "TransferOpsys \"MVS/TSO\"\r\n"
      "TransferBlksize \"800\"\r\n"
      "Transfer \"send\"\r\n"
      "Wait \"1000\"\r\n";
  WriteFile(file, old);
  std::vector<std::string> lines = SplitLines(old);
  CCorvinaScriptConverter converter(*store_, ui_);
  ASSERT_EQ(converter.Convert(file, &lines), CCorvinaScriptConverter::Outcome::kConverted) << ui_.boxes.size();
  const std::vector<std::string> expected = {
      "* old logon",
      "Connect \"Prod_mvs.example\"",
      "Connect \"Prod_mvs.example_IBM 3279-2 (24x80)\"",
      "Waitfor \"Ready\",ok:,\"Error\",bad:",
      "ok:",
      "AskFor \"Your password\",password",
      "FileTransfer Operation=send,",
      "\tPCFile=\"a b.txt\",",
      "\tHostFile=A,",
      "\tOpsys=MVS/TSO,",
      "\tBlksize=800",
      "Wait 1000"};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(ui_.boxes[0].text,
            "Converting your Corvina 2.03 script to the new script format.\n\nYour 2.03 script file will be saved "
            "as:\n\t" + root_ + "/old.script.203\n\nDo you wish to continue?");
  EXPECT_EQ(ReadFile(root_ + "/old.script.203"), old);
  std::string written;
  for (const auto& l : expected) written += l + "\r\n";
  EXPECT_EQ(ReadFile(file), written);
  auto made = store_->FindProfile("Prod_mvs.example");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->host, "mvs.example");
  EXPECT_EQ(made->terminalDisplayName, "IBM 3279-2 (24x80)");
  EXPECT_EQ(store_->FindProfile("Prod")->host, "other");  // never replaced
  // The converted text is a script the interpreter reads.
  EXPECT_FALSE(ParseScript(lines).errorLine);
}

TEST_F(Converter, CurrentScriptsStayAndErrorsChangeNothing) {
  std::vector<std::string> current = {"Connect \"x\"", "Goto \"a\"", "Wait \"1\"", "Exit"};
  CCorvinaScriptConverter converter(*store_, ui_);
  EXPECT_EQ(converter.Convert(root_ + "/none.txt", &current), CCorvinaScriptConverter::Outcome::kCurrent);
  EXPECT_TRUE(ui_.boxes.empty());

  const std::string file = root_ + "/bad";
  const std::string old = "Terminal \"IBM-3278 (60x80)\"\nConnect \"h\"\n";
  WriteFile(file, old);
  std::vector<std::string> lines = SplitLines(old);
  EXPECT_EQ(converter.Convert(file, &lines), CCorvinaScriptConverter::Outcome::kFailed);
  EXPECT_EQ(ui_.boxes.back().text,
            "Script conversion error\nFile:\t" + file + "\nLine:\t1\nCommand:  Terminal\n\nUnknown terminal type:  IBM "
            "3279-4 (60x80)");
  EXPECT_EQ(ReadFile(file), old);
  EXPECT_FALSE(std::filesystem::exists(root_ + "/bad.203"));
  EXPECT_EQ(store_->FindProfile("h"), nullptr);
  EXPECT_EQ(OldScriptBackupName("/a.b/script"), "/a.b/script.203");
}

}  // namespace
}  // namespace corvina::script
