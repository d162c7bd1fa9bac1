#include "app/Application.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "../session/TestSupport.h"
#include "app/Clipboard.h"
#include "app/Engines.h"
#include "app/ScreenPrint.h"
#include "keyboard/KeyFunctions.h"
#include "platform/IniFile.h"
#include "printing/PrintJob.h"
#include "printing/PrinterThread.h"
#include "printing/TextGridSink.h"
#include "session/LineModeEngine.h"
#include "session/SessionPrintJob.h"

namespace corvina::app {
namespace {

using platform::Answer;

using test::ReadFile;
using test::WriteFile;

std::string ProfileText(const std::string& name, int port, int hostOptions = 0, const std::string& more = "") {
  return "[Session Profile]\nName=" + name + "\nHost=127.0.0.1," + std::to_string(port) +
         "\nTerminalType=VT100,24,80,DEC-VT100\nHostOptions=" + std::to_string(hostOptions) + "\n" + more;
}

// The built-in engines less the 3270 printer.
std::unique_ptr<TerminalEngine> WithoutPrinter(unsigned kind) {
  return kind == kKind3270Printer ? nullptr : CreateEngine(kind);
}

class Application : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = test::MakeTempDir();
    ASSERT_FALSE(root_.empty());
    data_ = root_ + "/data/";
    runtime_ = root_ + "/run/";
    std::filesystem::create_directories(data_);
    settings_.SetPath(root_ + "/Corvina.ini");
  }
  void TearDown() override {
    app_.reset();
    std::filesystem::remove_all(root_);
  }

  void Settings(const std::string& text) { WriteFile(root_ + "/Corvina.ini", "[Configuration]\n" + text); }

  bool Initialise(const std::string& commandLine = "", bool headless = false, SessionOverrides overrides = {},
                  bool sessionFileOnly = false) {
    settings_.Load();
    AppEnvironment env{loop_, ui_, clock_, engines_};
    env.printer = printer_;
    app_ = std::make_unique<CCorvinaApp>(env, settings_);
    app_->onQuit = [this] { ++quits_; };
    AppOptions options;
    options.dataFolder = data_;
    options.commandLine = commandLine;
    options.headless = headless;
    options.overrides = overrides;
    options.runtimeFolder = runtime_;
    options.sessionFileOnly = sessionFileOnly;
    return app_->Initialise(options);
  }

  bool HasBox(const std::string& text) const {
    for (const auto& b : ui_.boxes)
      if (b.text == text) return true;
    return false;
  }
  std::string Boxes() const {
    std::string all;
    for (const auto& b : ui_.boxes) all += b.text + "\n";
    return all;
  }
  std::vector<std::string> DataFiles() const {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(data_)) files.push_back(e.path().filename());
    std::sort(files.begin(), files.end());
    return files;
  }
  std::string NameIn(int slot) {
    CHostSession* s = app_->Sessions().Session(slot);
    return s ? s->Profile().name : "";
  }

  std::string root_, data_, runtime_;
  platform::PollLoop loop_;
  platform::RecordingUserInterface ui_;
  platform::FakeClock clock_;
  platform::IniFile settings_;
  std::unique_ptr<CCorvinaApp> app_;
  printing::CPrinterThread* printer_ = nullptr;  // set before Initialise
  // The engines the application has; a kind without one is refused.
  EngineFactory engines_ = CreateEngine;
  int quits_ = 0;
};

TEST_F(Application, ProfilesMarkedToConnectStartInFreeSlots) {
  test::LoopbackServer server(loop_);
  WriteFile(data_ + "a.tsp", ProfileText("Alpha", server.Port(), kHostConnectAtStartup));
  WriteFile(data_ + "b.tsp", ProfileText("Beta", server.Port(), kHostConnectAtStartup));
  WriteFile(data_ + "c.tsp", ProfileText("Gamma", server.Port(), kHostConnectAtStartup, "SessionNumber=1\n"));
  WriteFile(data_ + "d.tsp", ProfileText("Delta", server.Port()));
  ASSERT_TRUE(Initialise());
  app_->StartUp();
  // Gamma's own number is taken by then: it gets the lowest free slot.
  EXPECT_EQ(NameIn(1), "Alpha");
  EXPECT_EQ(NameIn(2), "Beta");
  EXPECT_EQ(NameIn(3), "Gamma");
  EXPECT_EQ(app_->Sessions().LiveCount(), 3);
  EXPECT_EQ(app_->Store().FindProfile("alpha")->connectedSessions, 1);
  EXPECT_EQ(app_->Sessions().Active()->Number(), 3);
  EXPECT_TRUE(ui_.boxes.empty()) << Boxes();
}

TEST_F(Application, RefusalsNameTheProfileAndTheSlot) {
  test::LoopbackServer server(loop_);
  WriteFile(data_ + "a.tsp", ProfileText("Alpha", server.Port(), kHostConnectAtStartup, "SessionNumber=2\n"));
  WriteFile(data_ + "b.tsp", ProfileText("Beta", server.Port(), kHostConnectAtStartup, "TallisId=Q,QUEUE\n"));
  WriteFile(data_ + "c.tsp", ProfileText("Gamma", server.Port(), 0, "TallisId=Q,OTHER\n"));
  Settings("MaximumSessions=2\n");
  ASSERT_TRUE(Initialise());
  app_->StartUp();
  EXPECT_EQ(NameIn(2), "Alpha");
  EXPECT_EQ(NameIn(1), "Beta");

  CSessionTable& table = app_->Sessions();
  auto gamma = app_->Store().FindProfile("Gamma");
  EXPECT_EQ(table.StartSession(gamma), nullptr);
  EXPECT_TRUE(HasBox("Can't start session Gamma - all sessions in use.")) << Boxes();
  EXPECT_EQ(table.StartSession(gamma, 2), nullptr);
  EXPECT_TRUE(HasBox("Can't start session Gamma - session 2 in use.")) << Boxes();
  EXPECT_EQ(table.StartSession(gamma, 3), nullptr);
  EXPECT_TRUE(HasBox("Please enter a session number between 1 and 2.")) << Boxes();

  table.CloseSession(*table.Session(2));
  EXPECT_EQ(table.StartSession(gamma), nullptr);
  EXPECT_TRUE(HasBox("WinHLLAPI session Q in use elsewhere")) << Boxes();
  table.tallisLetterTaken = [](char letter) { return letter == 'Z'; };
  gamma->tallisShortName = 'Z';
  EXPECT_EQ(table.StartSession(gamma), nullptr);
  EXPECT_TRUE(HasBox("WinHLLAPI session Z in use elsewhere")) << Boxes();
  gamma->tallisShortName = 'R';
  ASSERT_NE(table.StartSession(gamma), nullptr);
  EXPECT_EQ(NameIn(2), "Gamma");
}

TEST_F(Application, HostWordsCreateOneProfileAndReuseIt) {
  test::LoopbackServer server(loop_);
  const std::string port = std::to_string(server.Port());
  ASSERT_TRUE(Initialise("\"telnet 127.0.0.1 " + port + "\""));
  app_->StartUp();
  const std::string name = "127.0.0.1:" + port;
  ASSERT_EQ(NameIn(1), name);
  auto profile = app_->Store().FindProfile(name);
  EXPECT_EQ(profile->terminalType, kKindVt100);
  EXPECT_FALSE(profile->modified);
  // The profile, the settings file and the built-in maps, schemes and toolbars.
  const std::vector<std::string> files{"127.0.0.1 " + port + ".tsp", "3270 Default.tcs", "3270 Default.tkm",
                                       "3270 Default.ttb", "5250 Default.tcs", "5250 Default.tkm",
                                       "5250 Default.ttb", "Corvina.dat", "Standard.ttb",
                                       "VT100 Default.tcs", "VT100 Default.tkm", "VT100 Default.ttb"};
  EXPECT_EQ(DataFiles(), files);
  EXPECT_NE(ReadFile(data_ + "127.0.0.1 " + port + ".tsp").find("Name=" + name + "\n"), std::string::npos);

  // The other spellings reach the same profile.
  for (const std::string& words : {"127.0.0.1:" + port, "corvina/127.0.0.1/" + port, "TELNET 127.0.0.1 " + port})
    EXPECT_NE(app_->StartFromCommandLine(words), nullptr) << words;
  EXPECT_EQ(app_->Sessions().LiveCount(), 4);
  EXPECT_EQ(app_->Store().Objects(ObjectKind::kSessionProfile).size(), 1u);
  EXPECT_EQ(DataFiles(), files);
  EXPECT_EQ(profile->connectedSessions, 4);

  EXPECT_EQ(app_->StartFromCommandLine("telnet host 0"), nullptr);
  EXPECT_TRUE(HasBox("Please enter a port number between 1 and 65535."));
  EXPECT_EQ(app_->StartFromCommandLine("telnet"), nullptr);
  EXPECT_TRUE(HasBox("Please enter a Host Name or IP address."));
}

TEST_F(Application, RefusedCommandLinesLeaveNothingBehind) {
  const auto run = [this](const std::string& commandLine, SessionOverrides overrides = {}) {
    ASSERT_TRUE(Initialise(commandLine, true, overrides));
    app_->StartUp();
    loop_.RunFor(std::chrono::milliseconds(20));
  };
  run("Prod");
  EXPECT_TRUE(HasBox("\"Prod\" is neither a session profile in " + data_ +
                     " nor a host. Give a profile name, a host name with its domain, an IP address, or HOST:PORT."))
      << Boxes();
  SessionOverrides size;
  size.terminalKind = kKind3278;
  size.rows = 30;
  size.columns = 100;
  run("127.0.0.1:23", size);
  EXPECT_TRUE(HasBox("The terminal 3278 has no 30x100 screen size.")) << Boxes();
  SessionOverrides kind;
  kind.terminalKind = kKind3270Printer;
  engines_ = WithoutPrinter;
  run("127.0.0.1:23", kind);
  EXPECT_TRUE(HasBox("Can't start session 127.0.0.1:23 - 3270P terminals are not available in this version."))
      << Boxes();
  EXPECT_EQ(quits_, 3);
  // Not even the settings: a headless run that started nothing saves nothing.
  EXPECT_TRUE(DataFiles().empty());
  EXPECT_FALSE(std::filesystem::exists(root_ + "/Corvina.ini"));

  for (const char* host : {"localhost", "corvina:prod", "prod:23", "10.0.0.1", "host.example", "[::1]"})
    EXPECT_TRUE(LooksLikeHost(ParseHostCommand(host))) << host;
  for (const char* word : {"prod", "My Hots", "-x.example", "a..b", "caf\xE9.example", "23"})
    EXPECT_FALSE(LooksLikeHost(ParseHostCommand(word))) << word;
}

TEST_F(Application, KindsStartWhenTheEngineFactoryHasAnEngine) {
  test::LoopbackServer server(loop_);
  WriteFile(data_ + "a.tsp", "[Session Profile]\nName=Printer\nHost=127.0.0.1," + std::to_string(server.Port()) +
                                 "\nTerminalType=3270P,24,80,IBM-3287-1\nHostOptions=1\n");
  engines_ = WithoutPrinter;
  ASSERT_TRUE(Initialise());
  app_->StartUp();
  EXPECT_EQ(app_->Sessions().LiveCount(), 0);
  EXPECT_TRUE(HasBox("Can't start session Printer - 3270P terminals are not available in this version."))
      << Boxes();
  app_.reset();
  app_ = std::make_unique<CCorvinaApp>(AppEnvironment{loop_, ui_, clock_, CreateEngine}, settings_);
  AppOptions options;
  options.dataFolder = data_;
  options.runtimeFolder = runtime_;
  ASSERT_TRUE(app_->Initialise(options));
  app_->StartUp();
  EXPECT_EQ(NameIn(1), "Printer");
}

TEST_F(Application, ProfileNamesSessionFilesAndScriptFiles) {
  test::LoopbackServer server(loop_);
  WriteFile(data_ + "p.tsp", ProfileText("My Host", server.Port()));
  WriteFile(root_ + "/elsewhere.tsp", ProfileText("MY HOST", 1));
  WriteFile(root_ + "/logon.txt", "wait 1\n");
  ASSERT_TRUE(Initialise());
  EXPECT_NE(app_->StartFromCommandLine("my host"), nullptr);
  EXPECT_NE(app_->StartFromCommandLine(root_ + "/elsewhere.tsp"), nullptr);
  EXPECT_EQ(app_->Sessions().Session(2)->Port(), server.Port());  // the stored profile, not the file
  // Any other file is a script, run without a session.
  EXPECT_EQ(app_->StartFromCommandLine(root_ + "/logon.txt"), nullptr);
  EXPECT_TRUE(app_->ScriptsRunning()) << Boxes();
  EXPECT_EQ(app_->Scripts().Scripts().front()->FileName(), root_ + "/logon.txt");

  std::string ran;
  app_->Sessions().runScript = [&](CHostSession* session, const std::string& file) {
    ran = file + (session ? " on a session" : " alone");
    return true;
  };
  app_->StartFromCommandLine(root_ + "/logon.txt");
  EXPECT_EQ(ran, root_ + "/logon.txt alone");
  app_->Store().FindProfile("My Host")->scriptFile = "logon.txt";
  app_->StartFromCommandLine("My Host");
  EXPECT_EQ(ran, "logon.txt on a session");
}

// What a file manager opens: a session file naming a stored profile starts
// it; any other file, a script in disguise say, is refused, never run.
TEST_F(Application, AnOpenedSessionFileNeverRunsAsAScript) {
  test::LoopbackServer server(loop_);
  WriteFile(data_ + "p.tsp", ProfileText("My Host", server.Port()));
  WriteFile(root_ + "/mail.tsp", "command \"touch " + root_ + "/ran\"\n");
  ASSERT_TRUE(Initialise(root_ + "/mail.tsp", false, {}, true));
  app_->StartUp();
  EXPECT_FALSE(app_->ScriptsRunning());
  EXPECT_TRUE(HasBox(root_ + "/mail.tsp names no session profile stored in " + data_ +
                     ", so it is not opened. Copy it into that folder to use it."))
      << Boxes();
  EXPECT_NE(app_->StartFromCommandLine(data_ + "p.tsp"), nullptr);
  loop_.RunFor(std::chrono::milliseconds(50));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/ran"));
}

TEST_F(Application, RunOverridesLeaveTheStoredProfileAlone) {
  test::LoopbackServer server(loop_);
  WriteFile(data_ + "p.tsp", ProfileText("Host", 1));
  SessionOverrides o;
  o.port = server.Port();
  o.terminalKind = kKindVt220;
  o.keepAliveMinutes = 5;
  ASSERT_TRUE(Initialise("Host", false, o));
  app_->StartUp();
  CHostSession* s = app_->Sessions().Session(1);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Port(), server.Port());
  EXPECT_EQ(s->Profile().telnetTerminalType, "DEC-VT220");
  auto stored = app_->Store().FindProfile("Host");
  EXPECT_EQ(stored->port, 1);
  EXPECT_EQ(stored->terminalType, kKindVt100);
  EXPECT_FALSE(stored->modified);

  SessionOverrides bad;
  bad.terminalKind = kKind3278;
  bad.rows = 30;
  bad.columns = 100;
  app_.reset();
  ASSERT_TRUE(Initialise("Host", false, bad));
  app_->StartUp();
  EXPECT_TRUE(HasBox("The terminal 3278 has no 30x100 screen size.")) << Boxes();
  EXPECT_EQ(app_->Sessions().LiveCount(), 0);
}

TEST_F(Application, TheClockTicksEverySession) {
  test::LoopbackServer one(loop_), two(loop_);
  WriteFile(data_ + "a.tsp", ProfileText("A", one.Port(), kHostConnectAtStartup, "KeepAliveInterval=1\n"));
  WriteFile(data_ + "b.tsp", ProfileText("B", two.Port(), kHostConnectAtStartup, "KeepAliveInterval=1\n"));
  ASSERT_TRUE(Initialise());
  app_->StartUp();
  ASSERT_TRUE(loop_.RunUntil([&] { return one.Accepted() == 1 && two.Accepted() == 1; }, std::chrono::seconds(5)));
  clock_.AdvanceSeconds(61);
  app_->Sessions().Tick();
  EXPECT_TRUE(loop_.RunUntil([&] { return one.Received() == "\xFF\xF1" && two.Received() == "\xFF\xF1"; },
                             std::chrono::seconds(5)))
      << test::Hex(one.Received()) << " / " << test::Hex(two.Received());
}

TEST_F(Application, TheHeadlessProgramEndsWithItsLastSessionAndSaves) {
  test::LoopbackServer server(loop_);
  WriteFile(data_ + "a.tsp", ProfileText("A", server.Port(), kHostConnectAtStartup));
  ASSERT_TRUE(Initialise("", true));
  app_->StartUp();
  ASSERT_TRUE(loop_.RunUntil([&] { return server.Accepted() == 1; }, std::chrono::seconds(5)));
  server.CloseConnection();
  EXPECT_TRUE(loop_.RunUntil([&] { return quits_ == 1; }, std::chrono::seconds(5)));
  EXPECT_TRUE(HasBox("Session 1 disconnected by host 127.0.0.1. Reconnect?")) << Boxes();
  EXPECT_EQ(app_->Sessions().LiveCount(), 0);
  EXPECT_EQ(ReadFile(data_ + "Corvina.dat").size(), 8u);
  EXPECT_EQ(app_->Store().FindProfile("A")->connectedSessions, 0);
}

TEST_F(Application, TheDesktopEndsWithItsLastSessionOnlyWhenAsked) {
  for (unsigned prefs : {61u, 63u}) {
    test::LoopbackServer server(loop_);
    WriteFile(data_ + "a.tsp", ProfileText("A", server.Port(), kHostConnectAtStartup));
    Settings("Preferences=" + std::to_string(prefs) + "\n");
    quits_ = 0;
    ASSERT_TRUE(Initialise());
    app_->StartUp();
    app_->Sessions().CloseSession(*app_->Sessions().Session(1));
    loop_.RunFor(std::chrono::milliseconds(50));
    EXPECT_EQ(quits_, prefs & kPrefExitWithLastSession ? 1 : 0) << prefs;
    app_.reset();
  }
}

TEST_F(Application, ClosingWithLiveSessionsAsksFirst) {
  test::LoopbackServer server(loop_);
  WriteFile(data_ + "a.tsp", ProfileText("A", server.Port(), kHostConnectAtStartup));
  WriteFile(data_ + "b.tsp", ProfileText("B", server.Port(), kHostConnectAtStartup));
  ASSERT_TRUE(Initialise());
  app_->StartUp();
  ui_.queued.push_back(Answer::No);
  EXPECT_FALSE(app_->CloseProgram(true));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "There are still 2 sessions active.\r\nAre you sure you want to exit?");
  EXPECT_EQ(app_->Sessions().LiveCount(), 2);
  EXPECT_FALSE(std::filesystem::exists(data_ + "Corvina.dat"));

  ui_.queued.push_back(Answer::Yes);
  EXPECT_TRUE(app_->CloseProgram(true));
  EXPECT_EQ(app_->Sessions().LiveCount(), 0);
  EXPECT_EQ(quits_, 1);
  EXPECT_TRUE(std::filesystem::exists(data_ + "Corvina.dat"));
}

TEST_F(Application, DataPathNamesTheFolderOfItsLastSlash) {
  Settings("DataPath=" + root_ + "/fresh/Corvina.dat\n");
  settings_.Load();
  app_ = std::make_unique<CCorvinaApp>(AppEnvironment{loop_, ui_, clock_, CreateEngine}, settings_);
  AppOptions options;
  options.runtimeFolder = runtime_;
  ASSERT_TRUE(app_->Initialise(options));
  EXPECT_EQ(app_->DataFolder(), root_ + "/fresh/");
  EXPECT_TRUE(std::filesystem::is_directory(root_ + "/fresh"));
}

TEST_F(Application, TheDataFolderIsTheUsersOwn) {
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string savedValue = saved ? saved : "";
  ::setenv("XDG_DATA_HOME", (root_ + "/xdg").c_str(), 1);
  settings_.Load();
  app_ = std::make_unique<CCorvinaApp>(AppEnvironment{loop_, ui_, clock_, CreateEngine}, settings_);
  AppOptions options;
  options.runtimeFolder = runtime_;
  const bool initialised = app_->Initialise(options);
  if (saved) ::setenv("XDG_DATA_HOME", savedValue.c_str(), 1);
  else ::unsetenv("XDG_DATA_HOME");
  ASSERT_TRUE(initialised) << Boxes();
  EXPECT_EQ(app_->DataFolder(), root_ + "/xdg/Orvex/Corvina/");
  struct stat st {};
  ASSERT_EQ(::stat((root_ + "/xdg/Orvex/Corvina").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);

  // A folder given for the run must exist; one others can write to is refused.
  data_ = root_ + "/missing";
  EXPECT_FALSE(Initialise());
  EXPECT_TRUE(HasBox("The data folder " + root_ + "/missing/ does not exist.")) << Boxes();
  EXPECT_FALSE(std::filesystem::exists(data_));
  data_ = root_ + "/open//";
  std::filesystem::create_directory(data_);
  ::chmod(data_.c_str(), 0777);
  EXPECT_FALSE(Initialise());
  EXPECT_TRUE(HasBox("The data folder " + root_ + "/open/ cannot be used: other users may write to it, mode 0777"))
      << Boxes();
}

TEST_F(Application, MaxInstancesCountsLiveCopiesOnly) {
  std::filesystem::create_directory(runtime_);
  ::chmod(runtime_.c_str(), 0700);
  // Another copy: a lock held on its file.
  const std::string other = runtime_ + "instance.999999";
  int fd = ::open(other.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);

  Settings("MaxInstances=1\n");
  EXPECT_FALSE(Initialise());
  EXPECT_TRUE(HasBox("Corvina is already running (1 copies), and MaxInstances is 1: this copy ends.")) << Boxes();
  app_.reset();
  for (const char* noLimit : {"MaxInstances=0\n", "MaxInstances=-5\n", "MaxInstances=2\n"}) {
    Settings(noLimit);
    EXPECT_TRUE(Initialise()) << noLimit;
    EXPECT_EQ(app_->InstanceCount(), 2);
    app_.reset();
  }

  ::close(fd);  // the other copy ends without cleaning up
  Settings("MaxInstances=1\n");
  EXPECT_TRUE(Initialise());
  EXPECT_EQ(app_->InstanceCount(), 1);
  EXPECT_FALSE(std::filesystem::exists(other));
  const std::string own = runtime_ + "instance." + std::to_string(::getpid());
  EXPECT_TRUE(std::filesystem::exists(own));
  app_.reset();
  EXPECT_FALSE(std::filesystem::exists(own));
}

TEST(CommandLine, HostWords) {
  struct Case {
    const char* argument;
    bool telnet;
    const char* host;
    const char* port;  // null: none
  };
  const Case cases[] = {
      {"telnet host 2323", true, "host", "2323"},
      {"Telnet:host:23", true, "host", "23"},
      {"CORVINA/host", false, "host", nullptr},
      {"host 992", false, "host", "992"},
      {"host:992 extra", false, "host", "992"},
      {"  telnet   host  ", true, "host", nullptr},
      {"[::1]:2323", false, "::1", "2323"},
      {"telnet fe80::1 23", true, "fe80::1", "23"},
      {"fe80::1", false, "fe80::1", nullptr},
      {"telnet", true, "", nullptr},
      {"", false, "", nullptr},
  };
  for (const Case& c : cases) {
    HostCommand h = ParseHostCommand(c.argument);
    EXPECT_EQ(h.telnet, c.telnet) << c.argument;
    EXPECT_EQ(h.host, c.host) << c.argument;
    EXPECT_EQ(h.port.has_value(), c.port != nullptr) << c.argument;
    if (c.port && h.port) {
      EXPECT_EQ(*h.port, c.port) << c.argument;
    }
  }
  EXPECT_EQ(ParsePort("65535"), 65535);
  for (const char* bad : {"0", "65536", "", "+23", "-1", "23x", "x"}) EXPECT_FALSE(ParsePort(bad)) << bad;
  EXPECT_EQ(StripEnclosingQuotes("\"My Host\""), "My Host");
  EXPECT_EQ(StripEnclosingQuotes("\"\"a\"\""), "\"a\"");
  EXPECT_EQ(StripEnclosingQuotes("\"open"), "\"open");
}


// ------------------------------------------------------------ saved files

// A VT100 session showing two lines of host text.
class SavedFiles : public Application {
 protected:
  CHostSession& Start(const std::string& more = "") {
    WriteFile(data_ + "a.tsp", ProfileText("Alpha", server_.Port(), 0, more));
    EXPECT_TRUE(Initialise());
    CHostSession* s = app_->StartFromCommandLine("Alpha");
    EXPECT_NE(s, nullptr);
    EXPECT_TRUE(loop_.RunUntil([&] { return server_.Accepted() == 1 && s->Engine(); }, std::chrono::seconds(5)));
    server_.Send("Hello\r\nW\xF6rld");  // Latin-1 from the host, UTF-8 in the file
    EXPECT_TRUE(loop_.RunUntil([&] { return s->ScreenRows()[1].rfind("W\xF6rld", 0) == 0; }, std::chrono::seconds(5)));
    return *s;
  }
  bool Command(CHostSession& s, int id) { return app_->Sessions().SystemCommand(s, id, 0); }
  // The screen as Save writes it, byte for byte.
  static std::string Screen() {
    std::string out = "Hello" + std::string(75, ' ') + "\r\nW\xC3\xB6rld" + std::string(75, ' ') + "\r\n";
    for (int row = 2; row < 24; ++row) out += std::string(80, ' ') + "\r\n";
    return out;
  }
  test::LoopbackServer server_{loop_};
};

TEST_F(SavedFiles, SaveReplacesTheLogFileFirstAndAppendsAfter) {
  WriteFile(data_ + "alpha.log", "an older run\r\n");
  CHostSession& s = Start("LogFile=alpha.log\n");  // in the data folder
  ASSERT_TRUE(Command(s, kf::sys::kHostSave));
  EXPECT_EQ(ReadFile(data_ + "alpha.log"), Screen());
  Command(s, kf::sys::kHostSave);
  EXPECT_EQ(ReadFile(data_ + "alpha.log"), Screen() + Screen());
  EXPECT_TRUE(ui_.boxes.empty()) << Boxes();
}

TEST_F(SavedFiles, SaveAsOffersTheSessionNameAndAsksBeforeAppending) {
  CHostSession& s = Start();
  // A program that cannot ask says so.
  Command(s, kf::sys::kHostSave);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text.rfind("Nothing was saved: no file can be chosen here.", 0), 0u);
  ui_.boxes.clear();
  std::vector<FileChoice> offered;
  std::string chosen = root_ + "/saved.log";
  app_->Sessions().chooseFile = [&](const FileChoice& c) -> std::optional<std::string> {
    offered.push_back(c);
    return chosen;
  };
  // No log file yet: Save asks.
  Command(s, kf::sys::kHostSave);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].title, "Select Log File Name - Corvina");
  EXPECT_EQ(offered[0].filter, "Log files (*.log)|*.log|All Files (*.*)|*.*||");
  EXPECT_EQ(offered[0].defaultName, "Session1.log");
  EXPECT_EQ(offered[0].folder, data_);
  EXPECT_EQ(ReadFile(chosen), Screen());
  EXPECT_TRUE(ui_.boxes.empty()) << Boxes();
  // Now the session's file: appended to without asking.
  Command(s, kf::sys::kHostSave);
  EXPECT_EQ(offered.size(), 1u);
  EXPECT_EQ(ReadFile(chosen), Screen() + Screen());
  // Save As on it: No replaces, Cancel leaves it, Yes appends.
  ui_.queued = {Answer::No};
  Command(s, kf::sys::kHostSaveAs);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "File " + chosen + " already exists.\nDo you want to append to it?");
  EXPECT_EQ(ui_.boxes[0].buttons, platform::Buttons::YesNoCancel);
  EXPECT_EQ(ReadFile(chosen), Screen());
  ui_.queued = {Answer::Cancel};
  Command(s, kf::sys::kHostSaveAs);
  EXPECT_EQ(ReadFile(chosen), Screen());
  ui_.queued = {Answer::Yes};
  Command(s, kf::sys::kHostSaveAs);
  EXPECT_EQ(ReadFile(chosen), Screen() + Screen());
  // A folder, a link and a file without write permission are refused before anything is written.
  ui_.boxes.clear();
  std::filesystem::create_directories(root_ + "/folder");
  std::filesystem::create_symlink(chosen, root_ + "/link.log");
  WriteFile(root_ + "/locked.log", "locked");
  ::chmod((root_ + "/locked.log").c_str(), 0400);
  for (const char* name : {"/folder", "/link.log", "/locked.log"}) {
    chosen = root_ + name;
    Command(s, kf::sys::kHostSaveAs);
  }
  ASSERT_EQ(ui_.boxes.size(), 3u) << Boxes();
  EXPECT_EQ(ui_.boxes[0].text, "Can't write to file " + root_ + "/folder.");
  EXPECT_EQ(ui_.boxes[1].text, "Can't write to file " + root_ + "/link.log.");
  if (::geteuid() != 0) {
    EXPECT_EQ(ui_.boxes[2].text, "Can't write to file " + root_ + "/locked.log.");
  }
  EXPECT_EQ(ReadFile(root_ + "/saved.log"), Screen() + Screen());
  // A file that cannot be made.
  ui_.boxes.clear();
  chosen = root_ + "/no/such/folder.log";
  Command(s, kf::sys::kHostSaveAs);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "Unable to open file " + chosen);
}

TEST_F(SavedFiles, AScriptsFilespecFilesTakeThePlaceOfTheSessions) {
  WriteFile(data_ + "printed.txt", "before\r\n");
  CHostSession& s = Start("LogFile=alpha.log\nPrintOptions=8\nPrinterFile=profile-print.txt\n");
  WriteFile(root_ + "/files.txt",
            "filespec Log,script.log\nkey HostSave\nkey HostSave\nfilespec Printer,printed.txt,Append\n"
            "key HostPrintScreen\n");
  ASSERT_TRUE(app_->Scripts().Start(&s, root_ + "/files.txt")) << Boxes();
  ASSERT_TRUE(loop_.RunUntil([&] { return !app_->ScriptsRunning(); }, std::chrono::seconds(5)));
  EXPECT_EQ(ReadFile(data_ + "script.log"), Screen() + Screen());
  const std::string printed = ReadFile(data_ + "printed.txt");
  EXPECT_EQ(printed.rfind("before\r\n", 0), 0u) << printed;
  EXPECT_NE(printed.find("\r\n\r\nHello"), std::string::npos) << printed;
  EXPECT_FALSE(std::filesystem::exists(data_ + "alpha.log"));
  EXPECT_FALSE(std::filesystem::exists(data_ + "profile-print.txt"));
  EXPECT_TRUE(ui_.boxes.empty()) << Boxes();
  // Once the script has ended the session's own files are used again.
  Command(s, kf::sys::kHostSave);
  EXPECT_EQ(ReadFile(data_ + "alpha.log"), Screen());
}

TEST_F(SavedFiles, AVtHostsPrintBufferGoesToThePrintFileAndAScriptsPrinterFileTakesItsJobs) {
  CHostSession& s = Start("PrintOptions=8\nPrinterFile=screen.txt\n");
  // The printer controller is on: Print Screen to a file writes what the host printed so far.
  server_.Send("\x1b[5iFIRST LINE\r\n\x1b[1mSECOND\r\n");
  ASSERT_TRUE(loop_.RunUntil([&] { return s.Engine()->PrintBuffer().value_or("").ends_with("SECOND\r\n"); },
                             std::chrono::seconds(5)));
  ASSERT_TRUE(Command(s, kf::sys::kHostPrintScreen));
  EXPECT_EQ(ReadFile(data_ + "screen.txt"), "FIRST LINE\r\n\x1b[1mSECOND\r\n");
  // The job ends while a script with a Printer file waits: the file takes it as it came.
  WriteFile(data_ + "vt.txt", "kept\r\n");
  WriteFile(root_ + "/print.txt", "filespec Printer,vt.txt,Append\nwaitfor DONE\n");
  ASSERT_TRUE(app_->Scripts().Start(&s, root_ + "/print.txt")) << Boxes();
  ASSERT_TRUE(loop_.RunUntil([&] { return app_->Sessions().ScriptFilesOf(s).printer; }, std::chrono::seconds(5)));
  server_.Send("THIRD\x1b[4iDONE");
  ASSERT_TRUE(loop_.RunUntil([&] { return !app_->ScriptsRunning(); }, std::chrono::seconds(5)));
  EXPECT_EQ(ReadFile(data_ + "vt.txt"), "kept\r\nFIRST LINE\r\n\x1b[1mSECOND\r\nTHIRD");
  // With no job under way the screen is printed again.
  EXPECT_FALSE(s.Engine()->PrintBuffer());
  ASSERT_TRUE(Command(s, kf::sys::kHostPrintScreen));
  EXPECT_NE(ReadFile(data_ + "screen.txt").find("\r\nHello"), std::string::npos);
  EXPECT_TRUE(ui_.boxes.empty()) << Boxes();
}

TEST_F(SavedFiles, APrintedScreenKeepsItsColoursOnWhitePaper) {
  CHostSession& s = Start("PrintScreenHeader=Top of %SESSION\nPrintScreenFooter=Bottom\nPrintOptions=17\n");
  server_.Send("\r\n\x1b[1;31;44mRED ON BLUE\x1b[0m \x1b[7mREVERSED\x1b[0m \x1b[8mHIDDEN\x1b[0m \x1b[4mUNDER\x1b[0m");
  ASSERT_TRUE(loop_.RunUntil([&] { return s.ScreenRows()[2].find("UNDER") != std::string::npos; }, std::chrono::seconds(5)));
  auto find = [](const printing::ScreenPage& page, const std::string& text) -> const printing::ScreenRun* {
    for (const auto& run : page.runs)
      if (run.latin1.find(text) != std::string::npos) return &run;
    return nullptr;
  };
  printing::ScreenPage page = ScreenPrintPage(s, 0);
  // Header, blank line, 24 rows, the information line, blank line, footer
  // and a line to spare; centred.
  EXPECT_EQ(page.lines, 24 + 6);
  EXPECT_EQ(page.columns, 80);
  EXPECT_TRUE(page.centre);
  ASSERT_TRUE(find(page, "Top of Alpha"));
  EXPECT_EQ(find(page, "Top of Alpha")->line, 0);
  ASSERT_TRUE(find(page, "Bottom"));
  EXPECT_EQ(find(page, "Bottom")->line, 28);
  const auto* plain = find(page, "Hello");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->line, 2);
  // The screen's black background is the paper; the default green stays.
  EXPECT_EQ(plain->background, 0xFFFFFFu);
  EXPECT_EQ(plain->colour, 0x00FF00u);
  const auto* coloured = find(page, "RED ON BLUE");
  ASSERT_TRUE(coloured);
  EXPECT_EQ(coloured->line, 4);
  EXPECT_TRUE(coloured->bold);
  EXPECT_NE(coloured->background, 0xFFFFFFu);
  EXPECT_NE(coloured->colour, coloured->background);
  const auto* reversed = find(page, "REVERSED");
  ASSERT_TRUE(reversed);
  EXPECT_EQ(reversed->colour, 0u);  // black on green, as shown
  EXPECT_EQ(reversed->background, 0x00FF00u);
  EXPECT_TRUE(find(page, "UNDER") && find(page, "UNDER")->underline);
  EXPECT_FALSE(find(page, "HIDDEN"));  // text the colour of its background: white on white
  // Monochrome: everything in the print colour on white.
  s.Profile().printOptions |= kPrintMonochrome;
  page = ScreenPrintPage(s, 0);
  ASSERT_TRUE(find(page, "RED ON BLUE"));
  for (const auto& run : page.runs) EXPECT_TRUE(run.colour == 0 && run.background == 0xFFFFFFu) << run.latin1;
  EXPECT_FALSE(find(page, "HIDDEN"));  // hidden text stays hidden on paper too
}

TEST_F(SavedFiles, TheAbortDialogAndTheMenuCancelPrintScreensThatWaitOrPrint) {
  // A printer whose pages wait until the test lets them go.
  std::mutex mutex;
  std::condition_variable cv;
  int entered = 0;
  bool release = false;
  struct HeldSink final : printing::CTextGridSink {
    HeldSink(std::mutex& m, std::condition_variable& c, int& in, bool& go)
        : CTextGridSink(132, 66), m_(m), c_(c), in_(in), go_(go) {}
    bool StartPage() override {
      std::unique_lock lock(m_);
      ++in_;
      c_.notify_all();
      c_.wait(lock, [this] { return go_; });
      return CTextGridSink::StartPage();
    }
    std::mutex& m_;
    std::condition_variable& c_;
    int& in_;
    bool& go_;
  };
  printing::CPrinterThread printer([this](std::function<void()> task) { loop_.Post(std::move(task)); },
                                   [&](const PrintJob&, std::string&) -> std::unique_ptr<printing::PageSink> {
                                     return std::make_unique<HeldSink>(mutex, cv, entered, release);
                                   });
  printer_ = &printer;
  CHostSession& s = Start("PrintOptions=32\n");  // the abort dialog
  auto printing = [&] {
    std::unique_lock lock(mutex);
    return cv.wait_for(lock, std::chrono::seconds(5), [&] { return entered > 0; });
  };
  auto finish = [&] {
    std::lock_guard lock(mutex);
    release = true;
    cv.notify_all();
  };
  ASSERT_TRUE(Command(s, kf::sys::kHostPrintScreen));
  ASSERT_EQ(ui_.printing.size(), 1u);
  EXPECT_EQ(ui_.printing[0].progress.caption, "Printing");
  EXPECT_EQ(ui_.printing[0].progress.text, "Printing " + s.Title() + "...");
  EXPECT_EQ(ui_.printing[0].progress.cancelButton, "Cancel");
  ASSERT_TRUE(printing());
  ui_.printing[0].cancel();  // while its page is being drawn
  finish();
  ASSERT_TRUE(loop_.RunUntil([&] { return !*ui_.printing[0].open; }, std::chrono::seconds(5)));
  EXPECT_TRUE(ui_.boxes.empty()) << Boxes();  // a cancelled job is no failure
  // From the menu: the printing job and the one queued behind it.
  {
    std::lock_guard lock(mutex);
    release = false;
    entered = 0;
  }
  ASSERT_TRUE(Command(s, kf::sys::kHostPrintScreen));
  ASSERT_TRUE(printing());
  ASSERT_TRUE(Command(s, kf::sys::kHostPrintScreen));
  EXPECT_EQ(CancelPrinting(s), 2);
  EXPECT_EQ(ui_.statuses.back(), "Print jobs cancelled: 2");
  finish();
  ASSERT_TRUE(loop_.RunUntil([&] { return !*ui_.printing[1].open && !*ui_.printing[2].open; }, std::chrono::seconds(5)));
  EXPECT_EQ(entered, 1);  // the queued one never started
  EXPECT_EQ(CancelPrinting(s), 0);
  EXPECT_EQ(ui_.statuses.back(), "No print job is waiting or printing");
  EXPECT_TRUE(ui_.boxes.empty()) << Boxes();
  app_.reset();  // before the printer goes
}

class FakeClipboard final : public ClipboardPort {
 public:
  std::optional<std::string> Text() override { return text; }
  bool SetText(const std::string& utf8) override {
    text = utf8;
    return true;
  }
  std::optional<std::string> text;
};

TEST_F(SavedFiles, TheClipboardIsSavedAndPrintedWithCrLfAndAllItsCharacters) {
  CHostSession& s = Start("PrintOptions=8\nPrinterFile=clip-print.txt\n");
  FakeClipboard clipboard;
  clipboard.text = "line one\nline \xE2\x82\xAC";  // the euro sign is no Latin-1 character
  SessionFile script{root_ + "/clip.txt", false};
  int asked = 0;
  const ChooseFile choose = [&](const FileChoice& c) -> std::optional<std::string> {
    ++asked;
    EXPECT_EQ(c.defaultName, "Alpha Clipboard data.txt");
    EXPECT_EQ(c.filter, "Text files (*.txt)|*.txt|All Files (*.*)|*.*||");
    return root_ + "/chosen.txt";
  };
  // A script's file is written without asking; the second save is appended after CR LF.
  ASSERT_TRUE(SaveClipboard(s, clipboard, false, &script, choose));
  SaveClipboard(s, clipboard, false, &script, choose);
  EXPECT_EQ(ReadFile(root_ + "/clip.txt"), "line one\r\nline \xE2\x82\xAC\r\nline one\r\nline \xE2\x82\xAC");
  EXPECT_EQ(asked, 0);
  ASSERT_TRUE(SaveClipboard(s, clipboard, true, &script, choose));  // Save As always asks
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(ReadFile(root_ + "/chosen.txt"), "line one\r\nline \xE2\x82\xAC");
  // Print Clipboard goes where Print Screen does: here the print file.
  ASSERT_TRUE(PrintClipboard(s, clipboard, app_->Sessions().FilesOf(s).print, nullptr));
  EXPECT_EQ(ReadFile(data_ + "clip-print.txt"), "line one\r\nline \xE2\x82\xAC\r\n");
  clipboard.text = "";
  EXPECT_FALSE(SaveClipboard(s, clipboard, true, &script, choose));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(ui_.boxes.empty()) << Boxes();
  // The profile's orientation and margin unit reach its print jobs.
  s.Profile().printOptions |= kPrintLandscape | kPrintMetricMargins;
  const auto job = MakeSessionPrintJob(s, {});
  EXPECT_EQ(job->options & (printing::kPrintLandscape | printing::kPrintMetricMargins),
            printing::kPrintLandscape | printing::kPrintMetricMargins);
}

TEST(UserFiles, OnlyRegularFilesAreWrittenAndAFailedWriteLeavesNoPart) {
  const std::string dir = test::MakeTempDir();
  const std::string fifo = dir + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(WriteUserFile(fifo, "x", false).ok);  // refused at once, no reader awaited
  ::symlink((dir + "/target").c_str(), (dir + "/link").c_str());
  const FileWriteResult link = WriteUserFile(dir + "/link", "x", false);
  EXPECT_FALSE(link.ok);
  EXPECT_FALSE(link.opened);
  EXPECT_FALSE(std::filesystem::exists(dir + "/target"));
  const std::string file = dir + "/file";
  ASSERT_TRUE(WriteUserFile(file, "first\r\n", false).ok);
  EXPECT_EQ(::access(file.c_str(), F_OK), 0);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A write cut short by the file size limit: the file is as it was.
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{10, 10};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const FileWriteResult r = WriteUserFile(file, std::string(100, 'x'), true);
    ::_exit(!r.ok && r.opened ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(file), "first\r\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace corvina::app
