#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "config/PersistentData.h"
#include "dialogs/ColorSchemeEditor.h"
#include "dialogs/PageSetup.h"
#include "dialogs/ResponseTimeView.h"
#include "dialogs/SetupDialogs.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/StoreKinds.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"
#include "session/Oia.h"

namespace corvina::dialogs {
namespace {

using platform::Answer;

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "dialogs-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    data_ = root_ + "/data/";
    std::filesystem::create_directories(data_);
    appProfile_.SetPath(root_ + "/Corvina.ini");
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  CCorvinaPersistentData& Load() {
    store_ = std::make_unique<CCorvinaPersistentData>(data_, appProfile_, ui_);
    RegisterKeyboardObjects(*store_);
    EXPECT_TRUE(store_->LoadAll());
    services_ = std::make_unique<DialogServices>(DialogServices{*store_, {}, {}, {}});
    services_->askName = [this](const std::string&, const std::string&, const std::string& initial)
        -> std::optional<std::string> {
      asked_.push_back(initial);
      if (names_.empty()) return std::nullopt;
      auto n = names_.front();
      names_.pop_front();
      return n;
    };
    services_->profileChanged = [this](const CCorvinaSessionProfile& p) { changed_.push_back(p.name); };
    return *store_;
  }

  std::shared_ptr<CCorvinaSessionProfile> AddProfile(const std::string& name, const std::string& host) {
    auto p = store_->NewProfile();
    p->name = name;
    p->host = host;
    p->modified = true;
    EXPECT_TRUE(store_->Add(p, true));
    return store_->FindProfile(name);
  }

  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& b : ui_.boxes) texts.push_back(b.text);
    return texts;
  }
  bool FileThere(const std::string& file) const { return std::filesystem::exists(data_ + file); }

  std::string root_, data_;
  platform::IniFile appProfile_;
  platform::RecordingUserInterface ui_;
  std::unique_ptr<CCorvinaPersistentData> store_;
  std::unique_ptr<DialogServices> services_;
  std::deque<std::string> names_;
  std::vector<std::string> asked_, changed_;
};

TEST(DialogNumbers, PortsAndCountsOutsideTheirRangeAreRefused) {
  for (const char* bad : {"0", "65536", "123456", "1e3", "", "-1", "+23", " 23", "000023"})
    EXPECT_FALSE(ParseDialogPort(bad)) << bad;
  EXPECT_EQ(ParseDialogPort("23"), 23);
  EXPECT_EQ(ParseDialogPort("65535"), 65535);
  EXPECT_EQ(ParseDialogPort("00023"), 23);
}

TEST_F(Dialogs, ConnectRefusesBadTextsAndCreatesTheNewProfileItConnects) {
  Load();
  CConnectDialogModel connect(*services_);
  EXPECT_EQ(connect.Caption(), "Connect to Host - Corvina");
  connect.name = "Payroll";
  connect.host = "";
  connect.port = "23";
  connect.terminalType = "VT100";
  EXPECT_EQ(connect.Validate()->field, "host");
  connect.host = "mvs.example.com";
  for (const char* bad : {"0", "65536", "123456", "1e3"}) {
    connect.port = bad;
    auto refusal = connect.Validate();
    ASSERT_TRUE(refusal) << bad;
    EXPECT_EQ(refusal->message, "Please enter a port number between 1 and 65535.");
    EXPECT_EQ(refusal->field, "port");
    EXPECT_FALSE(connect.Connect());
  }
  EXPECT_EQ(store_->FindProfile("Payroll"), nullptr);
  EXPECT_EQ(ui_.boxes.back().text, "Please enter a port number between 1 and 65535.");

  connect.port = "23";
  connect.ChooseType("VT100");
  ASSERT_TRUE(connect.Connect());
  auto stored = store_->FindProfile("Payroll");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->terminalType, kKindVt100);
  EXPECT_EQ(stored->rows, 24);
  EXPECT_EQ(stored->columns, 80);
  EXPECT_EQ(stored->host, "mvs.example.com");
  EXPECT_EQ(stored->keyboardMapName, "VT100 Default");
  EXPECT_TRUE(FileThere(stored->fileName));
  EXPECT_EQ(store_->sessionName, "Payroll");

  // An empty name takes the host.
  CConnectDialogModel second(*services_);
  EXPECT_EQ(second.name, "Payroll");
  second.name = "";
  second.host = "h2";
  ASSERT_TRUE(second.Connect());
  EXPECT_NE(store_->FindProfile("h2"), nullptr);
  EXPECT_EQ(store_->sessionName, "h2");
}

TEST_F(Dialogs, ConnectSwitchingAwayAnsweredNoDiscardsTheWorkingCopy) {
  Load();
  AddProfile("One", "one.example");
  AddProfile("Two", "two.example");
  store_->sessionName = "One";
  CConnectDialogModel connect(*services_);
  EXPECT_EQ(connect.host, "one.example");
  connect.host = "changed.example";
  ui_.queued.push_back(Answer::No);
  ASSERT_TRUE(connect.ChooseName("Two"));
  EXPECT_EQ(ui_.boxes.back().text, "Save changes to One?");
  EXPECT_EQ(store_->FindProfile("One")->host, "one.example");
  EXPECT_EQ(connect.host, "two.example");

  // A refused text keeps the old name and changes nothing.
  connect.port = "0";
  EXPECT_FALSE(connect.ChooseName("One"));
  EXPECT_EQ(connect.name, "Two");

  // The type list is off while a session uses the profile.
  connect.port = "23";
  EXPECT_TRUE(connect.TypeEnabled());
  store_->FindProfile("Two")->connectedSessions = 1;
  EXPECT_FALSE(connect.TypeEnabled());
}

TEST_F(Dialogs, PagesRefuseOutOfRangeValuesAndLeaveTheProfileAlone) {
  Load();
  AddProfile("P", "host");
  CSessionSetupModel setup(*services_, "P");
  EXPECT_EQ(setup.ShownPage().name, "Host");
  auto values = setup.ShownValues();
  const auto before = setup.Working();

  auto expectRefused = [&](const char* field, const char* text, const std::string& message) {
    auto v = values;
    v[field] = text;
    auto refusal = setup.ShowPage(1, v);
    ASSERT_TRUE(refusal) << field << "=" << text;
    EXPECT_EQ(refusal->message, message);
    EXPECT_EQ(refusal->field, field);
    EXPECT_EQ(setup.ShownIndex(), 0);
    EXPECT_TRUE(SameSettings(setup.Working(), before));
  };
  expectRefused("port", "65536", "Please enter a port number between 1 and 65535.");
  expectRefused("session", "10", "Please enter a session number between 1 and 9.");
  expectRefused("session", "0", "Please enter a session number between 1 and 9.");
  expectRefused("host", "", "Please enter a Host Name or IP address.");
  expectRefused("reconnectDelay", "100", "Please enter a number between 0 and 99 for \"Delay:\".");
  expectRefused("keepAlive", "70000", "Please enter a number between 0 and 32767 for \"Keep-alive Interval:\".");

  values["session"] = "3";
  values["ssl"] = "TLSv1";
  ASSERT_FALSE(setup.ShowPage(1, values));
  EXPECT_EQ(setup.Working().sessionNumber, 3);
  EXPECT_EQ(setup.Working().hostOptions & kHostSecurityMask, kHostSecurityTlsV1);
  EXPECT_TRUE(setup.Modified());
  EXPECT_EQ(store_->FindProfile("P")->sessionNumber, -1);  // only stored on Apply

  // Terminal: a custom size outside 20..72 x 80..200, then one inside.
  values = setup.ShownValues();
  EXPECT_EQ(values["type"], "3279");
  values["size"] = "Custom";
  values["rows"] = "19";
  values["columns"] = "100";
  EXPECT_TRUE(setup.ShowPage(3, values));
  values["rows"] = "30";
  values["telnetType"] = "";
  EXPECT_EQ(setup.ShowPage(3, values)->message, "Please enter a Telnet Terminal Type.");
  values["telnetType"] = "IBM-3278-2-E";
  ASSERT_FALSE(setup.ShowPage(4, values));
  EXPECT_EQ(setup.Working().rows, 30);
  EXPECT_EQ(setup.Working().columns, 100);
  EXPECT_EQ(setup.Working().telnetTerminalType, "IBM-3279-5-E");  // the new terminal's own type

  // Printer: a disk file needs a file name.
  values = setup.ShownValues();
  values["printer"] = "<<Disk File: incremental>>";
  EXPECT_EQ(setup.ShowPage(0, values)->message, "Please enter a file name.");
  values["file"] = "out.txt";
  ASSERT_FALSE(setup.ShowPage(0, values));
  EXPECT_EQ(setup.Working().printOptions & (kPrintToFile | kPrintNewFileEachTime), kPrintToFile | kPrintNewFileEachTime);

  ASSERT_FALSE(setup.Apply(setup.ShownValues()));
  EXPECT_EQ(store_->FindProfile("P")->sessionNumber, 3);
  EXPECT_EQ(store_->FindProfile("P")->rows, 30);
  EXPECT_EQ(changed_, std::vector<std::string>{"P"});
  EXPECT_FALSE(setup.Modified());
}

TEST_F(Dialogs, DeletingTheLastProfileLeavesDefaultsAndOkRunsSaveAs) {
  Load();
  AddProfile("Only", "host");
  CSessionSetupModel setup(*services_, "Only");
  ui_.queued.push_back(Answer::Yes);
  ASSERT_TRUE(setup.Delete(setup.ShownValues()));
  EXPECT_FALSE(setup.HasCurrent());
  EXPECT_EQ(setup.Name(), "");
  EXPECT_TRUE(store_->Profiles().empty());
  EXPECT_EQ(setup.Working().host, store_->NewProfile()->host);

  auto values = setup.ShownValues();
  values["host"] = "new.example";
  names_ = {"Fresh"};
  ASSERT_TRUE(setup.Ok(values));
  auto fresh = store_->FindProfile("Fresh");
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->host, "new.example");
  EXPECT_TRUE(FileThere(fresh->fileName));
  EXPECT_EQ(store_->sessionName, "Fresh");
}

TEST_F(Dialogs, SaveAsAsksAgainForAUsedNameOrAnExistingFile) {
  Load();
  AddProfile("Used", "host");
  std::ofstream(data_ + "Stray.tsp") << "not a profile\n";
  CSessionSetupModel setup(*services_, "Used");
  names_ = {"", "USED", "Stray", "Copy"};
  ASSERT_TRUE(setup.SaveAs(setup.ShownValues()));
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"Please type a name for the item you want to save.",
                                                "That name already exists, please choose another.",
                                                "File \"Stray.tsp\" already exists, please choose another name."}));
  EXPECT_EQ(asked_.front(), "");  // the dialog's name is the profile's own
  EXPECT_EQ(asked_.back(), "Stray");
  ASSERT_NE(store_->FindProfile("Copy"), nullptr);
  EXPECT_EQ(store_->FindProfile("Copy")->host, "host");
  EXPECT_EQ(setup.Name(), "Copy");
  EXPECT_NE(store_->FindProfile("Used"), nullptr);

  // Cancel leaves everything as it was.
  names_.clear();
  EXPECT_FALSE(setup.SaveAs(setup.ShownValues()));
  EXPECT_EQ(store_->Profiles().size(), 2u);
}

TEST_F(Dialogs, DeletingTheMapOfARunningSessionPutsItOnTheFamilyDefault) {
  Load();
  auto map = std::make_shared<CCorvinaKeyboardMap>(CCorvinaKeyboardMap::BuiltIn(kKind3279));
  map->name = "Mine";
  map->fileName.clear();
  map->modified = true;
  ASSERT_TRUE(store_->Add(map, true));
  auto running = AddProfile("Running", "host");
  running->keyboardMapName = "Mine";
  running->connectedSessions = 1;
  CSessionSetupModel setup(*services_, "Running", 5);
  EXPECT_EQ(setup.ShownPage().name, "Keyboard");
  EXPECT_EQ(setup.ShownValues()["map"], "Mine");
  EXPECT_FALSE(setup.DeleteEnabled());

  EXPECT_FALSE(setup.DeleteKeyboardMap("3270 Default"));
  EXPECT_EQ(ui_.boxes.back().text, "Can't delete the default keyboard map");
  EXPECT_FALSE(setup.DeleteKeyboardMap(""));
  EXPECT_EQ(ui_.boxes.back().text, "Please select a keyboard map");

  ui_.queued.push_back(Answer::Yes);
  ASSERT_TRUE(setup.DeleteKeyboardMap("Mine"));
  EXPECT_EQ(store_->Find(ObjectKind::kKeyboardMap, "Mine"), nullptr);
  EXPECT_EQ(running->keyboardMapName, "3270 Default");
  EXPECT_EQ(setup.Working().keyboardMapName, "3270 Default");
  EXPECT_EQ(setup.ShownValues()["map"], "3270 Default");
  EXPECT_EQ(changed_, std::vector<std::string>{"Running"});

  // The running session's profile itself cannot go.
  EXPECT_FALSE(setup.Delete(setup.ShownValues()));
  EXPECT_EQ(ui_.boxes.back().text, "Can't delete an active session!");
  EXPECT_NE(store_->FindProfile("Running"), nullptr);
}

TEST_F(Dialogs, KeypadCustomizeUnderANewNameKeepsTheOldToolbar) {
  Load();
  AddProfile("P", "host");
  CSessionSetupModel setup(*services_, "P", 6);
  auto* bar = dynamic_cast<CCorvinaToolbar*>(store_->Find(ObjectKind::kToolbar, "3270 Default"));
  ASSERT_NE(bar, nullptr);
  const auto original = bar->buttons;
  std::vector<ToolbarButton> fewer(original.begin(), original.begin() + 3);
  names_ = {"3270 Default", "Short"};
  asked_.clear();
  // The same name first keeps the changes in place.
  ASSERT_TRUE(setup.FinishKeypadCustomize("3270 Default", fewer));
  EXPECT_EQ(bar->buttons, fewer);
  bar->buttons = original;
  ASSERT_TRUE(setup.FinishKeypadCustomize("3270 Default", fewer));
  EXPECT_EQ(asked_.back(), "3270 Default");
  EXPECT_EQ(bar->buttons, original);
  auto* made = dynamic_cast<CCorvinaToolbar*>(store_->Find(ObjectKind::kToolbar, "Short"));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->buttons, fewer);
  EXPECT_TRUE(FileThere(made->fileName));
  EXPECT_EQ(setup.Working().keypadToolbarName, "Short");

  EXPECT_FALSE(setup.DeleteKeypadToolbar("3270 Default"));
  EXPECT_EQ(ui_.boxes.back().text, "Can't delete the default keypad toolbar");
  // Columns out of range never reach the toolbar.
  auto values = setup.ShownValues();
  values["columns"] = "65";
  EXPECT_TRUE(setup.ShowPage(0, values));
  EXPECT_EQ(made->columns, 0);
}

TEST_F(Dialogs, ColorSchemeEditorAsksBeforeSwitchingAndKeepsTheDefaults) {
  Load();
  CColorSchemeEditor editor(*services_, kKind3279, "3270 Default");
  EXPECT_EQ(editor.Selected(), "3270 Default");
  editor.element = 3;
  editor.SetColor(Rgb{1, 2, 3});
  names_ = {"Dark"};
  ASSERT_TRUE(editor.SaveAs());
  EXPECT_EQ(editor.Selected(), "Dark");
  auto* dark = dynamic_cast<CCorvinaColorScheme*>(store_->Find(ObjectKind::kColorScheme, "Dark"));
  ASSERT_NE(dark, nullptr);
  EXPECT_EQ(dark->Foreground(3), (Rgb{1, 2, 3}));
  EXPECT_EQ(dynamic_cast<CCorvinaColorScheme*>(store_->Find(ObjectKind::kColorScheme, "3270 Default"))->Foreground(3),
            (Rgb{255, 0, 0}));

  editor.element = 3;
  editor.ResetColor();
  ui_.queued.push_back(Answer::No);
  editor.Select("3270 Default");
  EXPECT_EQ(ui_.boxes.back().text, "Save changes to Dark color scheme?");
  EXPECT_EQ(dark->Foreground(3), (Rgb{1, 2, 3}));
  EXPECT_FALSE(editor.Delete());
  EXPECT_EQ(ui_.boxes.back().text, "Can't delete the default color scheme");
  editor.Select("Dark");
  ui_.queued.push_back(Answer::Yes);
  ASSERT_TRUE(editor.Delete());
  EXPECT_EQ(editor.Selected(), "3270 Default");
}

TEST_F(Dialogs, ObjectFilesOthersCanWriteAreNotLoaded) {
  auto write = [&](const std::string& file, const std::string& name) {
    std::ofstream(data_ + file) << "[Session Profile]\nName=" << name
                                << "\nHost=evil.example,23\nTerminalType=3279,24,80,IBM-3278-2-E\nHostOptions=1\n"
                                   "ScriptFile=/tmp/x\n";
  };
  write("open.tsp", "Open");
  ::chmod((data_ + "open.tsp").c_str(), 0666);
  write("target.txt", "Linked");
  ::symlink((data_ + "target.txt").c_str(), (data_ + "linked.tsp").c_str());
  write("fine.tsp", "Fine");
  Load();
  EXPECT_EQ(store_->FindProfile("Open"), nullptr);
  EXPECT_EQ(store_->FindProfile("Linked"), nullptr);
  EXPECT_NE(store_->FindProfile("Fine"), nullptr);
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "The file " + data_ + "linked.tsp is not loaded: it is a symbolic link.");
  EXPECT_EQ(boxes[1], "The file " + data_ + "open.tsp is not loaded: other users may write to it, mode 0666.");
}

TEST(ResponseTimeWindow, CountsAndTimesOfTheDistribution) {
  ResponseTimes times;
  auto view = BuildResponseTimeView(times, "A");
  EXPECT_EQ(view.last, "--:--.-");
  EXPECT_EQ(view.bars[0].share, 0.0);
  times.Start(0);
  times.Stop(250);
  times.Start(1000);
  times.Stop(13500);
  view = BuildResponseTimeView(times, "Session 1");
  EXPECT_EQ(view.caption, "Response Time - Session 1");
  EXPECT_EQ(view.count, 2);
  EXPECT_EQ(view.last, "00:12.5");
  EXPECT_EQ(view.longest, "00:12.5");
  EXPECT_EQ(view.average, "00:06.3");
  EXPECT_EQ(view.bars[0].count, 1);
  EXPECT_EQ(view.bars[10].label, "10 s or more");
  EXPECT_DOUBLE_EQ(view.bars[10].share, 0.5);
}


TEST(PageSetup, MarginsAreShownAndTakenInTheProfilesUnit) {
  CCorvinaSessionProfile p;
  p.name = "Host";
  p.pageLayout.leftMargin = 1500;
  p.pageLayout.topMargin = 250;
  CPageSetupModel inches(p);
  EXPECT_EQ(inches.MarginsTitle(), "Margins (inches)");
  EXPECT_EQ(inches.margins[0], "1.500");
  EXPECT_EQ(inches.margins[1], "0.250");
  EXPECT_EQ(inches.margins[2], "0.000");
  // In millimetres 1.5 is 150; the other unit converts what is valid and keeps the rest as typed.
  inches.margins[3] = "1.2.3";
  inches.SetMetric(true);
  EXPECT_EQ(inches.MarginsTitle(), "Margins (millimeters)");
  EXPECT_EQ(inches.margins[0], "38.10");
  EXPECT_EQ(inches.margins[3], "1.2.3");
  inches.margins[0] = "1.5";
  inches.landscape = true;
  const std::optional<Refusal> refused = inches.Store(p);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->message, "Invalid margin specification.");
  EXPECT_EQ(refused->field, "bottom");
  EXPECT_EQ(p.pageLayout.leftMargin, 1500);  // nothing stored
  EXPECT_FALSE(p.modified);
  for (const char* bad : {"", "1,5", "-1", " 1", "123456"}) {
    inches.margins[3] = bad;
    EXPECT_TRUE(inches.Store(p)) << bad;
  }
  inches.margins[3] = ".5";
  ASSERT_FALSE(inches.Store(p));
  EXPECT_EQ(p.pageLayout.leftMargin, 150);
  EXPECT_EQ(p.pageLayout.bottomMargin, 50);
  EXPECT_EQ(p.printOptions & (kPrintLandscape | kPrintMetricMargins), kPrintLandscape | kPrintMetricMargins);
  EXPECT_TRUE(p.modified);
  CPageSetupModel again(p);
  EXPECT_EQ(again.margins[0], "1.50");
  EXPECT_TRUE(again.landscape);
  // Back to inches: 1.50 mm is 0.059 inch.
  again.SetMetric(false);
  EXPECT_EQ(again.margins[0], "0.059");
}

}  // namespace
}  // namespace corvina::dialogs
