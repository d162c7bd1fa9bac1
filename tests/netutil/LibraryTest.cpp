// libsondra.so as the emulator loads it: the five entry points behind the
// loader, one dialog per tool, the checks of the fields, the settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "tests/session/TestSupport.h"
#include "app/NetUtilities.h"
#include "netutil/Pop3.h"
#include "platform/IniFile.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"

using namespace corvina;
using namespace corvina::app;

namespace {

class FakeWindow final : public ToolWindow {
 public:
  explicit FakeWindow(const ToolForm& f) : form(f) {
    for (const ToolField& field : form.fields) fields[field.id] = field.text;
    for (const ToolButton& b : form.buttons) enabled[b.id] = b.enabled;
  }
  std::string Text(int field) const override { return fields.at(field); }
  void SetText(int field, const std::string& text) override { fields[field] = text; }
  void EnableButton(int button, bool on) override { enabled[button] = on; }
  void Focus(int field) override { focused = field; }
  void AppendOutput(std::string_view text) override { output += text; }
  void ClearOutput() override { output.clear(); }
  void Raise() override { ++raised; }
  void Close() override { closeAsked = true; }

  ToolForm form;
  std::map<int, std::string> fields;
  std::map<int, bool> enabled;
  std::string output;
  int focused = 0, raised = 0;
  bool closeAsked = false;
  ToolWindowEvents* events = nullptr;
};

class FakeHost final : public ToolHost {
 public:
  explicit FakeHost(std::string settings) : settings_(std::move(settings)) {}
  platform::EventLoop& Loop() override { return loop; }
  platform::UserInterface& Ui() override { return ui; }
  std::string SettingsFile() const override { return settings_; }
  int Show(const ToolForm& form, ToolWindowEvents& events, bool) override {
    windows.push_back(std::make_unique<FakeWindow>(form));
    windows.back()->events = &events;
    events.Opened(*windows.back());
    return 1;
  }
  void Close(FakeWindow& w) {
    w.events->Closed();
    loop.RunOnce(std::chrono::milliseconds(0));
  }

  platform::PollLoop loop;
  platform::RecordingUserInterface ui;
  std::vector<std::unique_ptr<FakeWindow>> windows;

 private:
  std::string settings_;
};

class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeTempDir();
    ASSERT_TRUE(utilities_.Load(CORVINA_SONDRA_LIBRARY)) << utilities_.Error();
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string dir_;
  CNetUtilities utilities_;
};

}  // namespace

TEST(NetUtilities, AMissingLibraryIsReportedAndOpensNothing) {
  CNetUtilities missing;
  EXPECT_FALSE(missing.Load("/nonexistent/libsondra.so.1"));
  EXPECT_FALSE(missing.Available());
  EXPECT_NE(missing.Error().find("The network utilities are not available ("), std::string::npos);
  EXPECT_NE(missing.Error().find("the Internet menu is not shown."), std::string::npos);
  FakeHost host("");
  EXPECT_EQ(missing.Open(NetTool::Finger, host), 0);
}

TEST_F(Library, EachToolHasOneDialogWithItsTitleAndHelpTopic) {
  FakeHost host(dir_ + "/Sondra.ini");
  const std::pair<NetTool, std::pair<const char*, int>> tools[] = {
      {NetTool::Finger, {"Finger - Corvina", 834}},        {NetTool::Whois, {"Whois - Corvina", 836}},
      {NetTool::CheckMail, {"Check Mail - Corvina", 831}}, {NetTool::Ping, {"Ping - Corvina", 833}},
      {NetTool::DnsLookup, {"DNS Lookup - Corvina", 835}}};
  for (const auto& [tool, expected] : tools) {
    EXPECT_EQ(utilities_.Open(tool, host), 1);
    EXPECT_EQ(host.windows.back()->form.title, expected.first);
    EXPECT_EQ(host.windows.back()->form.helpTopic, expected.second);
  }
  ASSERT_EQ(host.windows.size(), 5u);
  // A second menu command raises the open dialog.
  EXPECT_EQ(utilities_.Open(NetTool::Finger, host), 1);
  EXPECT_EQ(host.windows.size(), 5u);
  EXPECT_EQ(host.windows[0]->raised, 1);
  // Once closed, the next command opens a new one.
  host.Close(*host.windows[0]);
  EXPECT_EQ(utilities_.Open(NetTool::Finger, host), 1);
  EXPECT_EQ(host.windows.size(), 6u);
  for (std::size_t i = 1; i < host.windows.size(); ++i) host.Close(*host.windows[i]);
}

TEST_F(Library, FieldsAreCheckedBeforeAnythingIsSent) {
  FakeHost host(dir_ + "/Sondra.ini");
  utilities_.Open(NetTool::Finger, host);
  FakeWindow& finger = *host.windows.back();
  finger.events->Pressed(1);
  ASSERT_EQ(host.ui.boxes.size(), 1u);
  EXPECT_EQ(host.ui.boxes[0].text, "Please enter a Host Name or IP address.");
  EXPECT_EQ(host.ui.boxes[0].caption, "Finger - Corvina");
  EXPECT_EQ(finger.focused, 2);
  finger.fields[2] = "127.0.0.1";
  finger.events->Pressed(1);
  EXPECT_EQ(host.ui.boxes.back().text, "Please enter a User Name.");
  EXPECT_EQ(finger.focused, 1);
  finger.fields[1] = "root\r\nroot";  // one query may not become two
  finger.events->Pressed(1);
  EXPECT_EQ(host.ui.boxes.back().text, "The user name must not contain control characters.");
  EXPECT_TRUE(finger.enabled[1]);

  utilities_.Open(NetTool::Ping, host);
  FakeWindow& ping = *host.windows.back();
  EXPECT_EQ(ping.fields[2], "4");  // the defaults
  EXPECT_EQ(ping.fields[3], "32");
  EXPECT_EQ(ping.fields[4], "5");
  ping.fields[3] = "1001";
  ping.events->Pressed(1);
  EXPECT_EQ(host.ui.boxes.back().text, "Please enter a number between 32 and 1000 for Data Size");
  EXPECT_EQ(ping.focused, 3);
  EXPECT_TRUE(ping.enabled[1]);
  EXPECT_FALSE(ping.enabled[2]);

  utilities_.Open(NetTool::CheckMail, host);
  FakeWindow& mail = *host.windows.back();
  mail.fields[1] = "127.0.0.1";
  mail.events->Pressed(1);
  EXPECT_EQ(host.ui.boxes.back().text, "Please enter your user name.");
  mail.fields[2] = "demo";
  mail.events->Pressed(1);
  EXPECT_EQ(host.ui.boxes.back().text, "Please enter your password.");
  mail.fields[3] = "x\nSTAT";
  mail.events->Pressed(1);
  EXPECT_EQ(host.ui.boxes.back().text, "The password must not contain control characters.");
  for (auto& w : host.windows) host.Close(*w);
}

TEST_F(Library, SettingsAreWrittenWhenADialogClosesAndReadWhenItOpens) {
  const std::string path = dir_ + "/Orvex/Sondra.ini";
  {
    FakeHost host(path);
    utilities_.Open(NetTool::CheckMail, host);
    FakeWindow& mail = *host.windows.back();
    mail.fields = {{1, "pop.corvina.test"}, {2, "demo"}, {3, "abcde"}, {4, "1"}, {5, "15"}};
    host.Close(mail);
    utilities_.Open(NetTool::Ping, host);
    FakeWindow& ping = *host.windows.back();
    ping.fields = {{1, "10.1.2.3"}, {2, "7"}, {3, "64"}, {4, "2"}};
    ping.events->Pressed(1);  // the values are taken
    host.Close(ping);
  }
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  platform::IniFile ini(path);
  ASSERT_TRUE(ini.Load());
  EXPECT_EQ(ini.GetString("CheckMail", "Password"), netutil::EncodePassword("abcde"));
  EXPECT_EQ(ini.GetString("CheckMail", "Password").size(), 14u);
  EXPECT_EQ(ini.GetInt("CheckMail", "Timer", 0), 15);
  EXPECT_EQ(ini.GetInt("CheckMail", "Port", 0), 110);
  EXPECT_EQ(ini.GetInt("Ping", "Packets", 0), 7);
  EXPECT_EQ(ini.GetInt("Ping", "DataSize", 0), 64);
  EXPECT_EQ(ini.GetInt("Ping", "Timeout", 0), 2);
  EXPECT_EQ(ini.GetString("Ping", "Host"), "10.1.2.3");

  FakeHost host(path);
  utilities_.Open(NetTool::CheckMail, host);
  FakeWindow& mail = *host.windows.back();
  EXPECT_EQ(mail.fields[1], "pop.corvina.test");
  EXPECT_EQ(mail.fields[3], "abcde");
  EXPECT_EQ(mail.fields[4], "1");
  // Without "Save Password" the stored one goes.
  mail.fields[4] = "0";
  host.Close(mail);
  ASSERT_TRUE(ini.Load());
  EXPECT_FALSE(ini.Get("CheckMail", "Password"));
  EXPECT_EQ(ini.GetInt("CheckMail", "SavePassword", 1), 0);
}
