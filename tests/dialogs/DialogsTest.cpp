#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "config/PersistentData.h"
#include "dialogs/ColorSchemeEditor.h"
#include "dialogs/FileTransferDialog.h"
#include "dialogs/PageSetup.h"
#include "dialogs/MacroDialogs.h"
#include "dialogs/ResponseTimeView.h"
#include "dialogs/SetupDialogs.h"
#include "dialogs/ToolbarCustomizer.h"
#include "keyboard/KeyFunctions.h"
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

// ---- macros and keyboard maps ----

constexpr KeyCode kF1{0x70, 0};
constexpr KeyCode kShiftAltF5{0x74, kModShift | kModAlt};

CCorvinaMacro& AddMacro(CCorvinaPersistentData& store, const std::string& name, unsigned type, const std::string& text) {
  auto m = std::make_shared<CCorvinaMacro>(name, type);
  m->SetText(text);
  EXPECT_TRUE(store.Add(m, true));
  return *dynamic_cast<CCorvinaMacro*>(store.Find(ObjectKind::kMacro, name));
}

CCorvinaKeyboardMap& Map(CCorvinaPersistentData& store, const std::string& name) {
  return *dynamic_cast<CCorvinaKeyboardMap*>(store.Find(ObjectKind::kKeyboardMap, name));
}

TEST_F(Dialogs, MacroEditorRefusesBadTextsAndInsertsTerminalKeys) {
  Load();
  CCorvinaMacro& logon = AddMacro(*store_, "Logon", kKind3279, "A");
  CCorvinaKeyboardMap& map = Map(*store_, "3270 Default");
  CMacroEditorModel editor(*services_, "logon", map);
  ASSERT_TRUE(editor.Valid());
  EXPECT_EQ(editor.Title(), "Macro Editor: Logon - Corvina");
  EXPECT_EQ(editor.text, "A");
  const std::pair<const char*, const char*> refused[] = {
      {"", "Please enter a macro definition."},
      {"x<,x>", "Invalid pause command in macro: <,x>"},
      {"<PF3><Bogus 2>", "Invalid key name in macro: <Bogus 2>"},
      {"<PF3", "Invalid key name in macro: <PF3>"},
      {"<^[[A>", "Invalid key name in macro: <^[[A>"},  // raw bytes are for VT hosts only
  };
  for (const auto& [text, message] : refused) {
    editor.text = text;
    EXPECT_FALSE(editor.Ok()) << text;
    EXPECT_EQ(ui_.boxes.back().text, message);
    EXPECT_EQ(logon.Text(), "A");
  }
  editor.text = "A<<<PF3><,,,><CursorMove 0><HostSession2>";
  ASSERT_TRUE(editor.Ok());
  EXPECT_EQ(logon.Text(), editor.text);
  EXPECT_FALSE(logon.modified);  // saved
  platform::IniFile file;
  file.SetPath(data_ + logon.fileName);
  ASSERT_TRUE(file.Load());
  EXPECT_EQ(file.GetString("Macro", "Data"), editor.text);

  // With the terminal keys ticked a bound key inserts its function's token.
  EXPECT_EQ(editor.Insertion(kF1, ""), std::nullopt);
  editor.useTerminalKeys = true;
  EXPECT_EQ(editor.Insertion(kF1, ""), "<PF1>");
  EXPECT_EQ(editor.Insertion(KeyCode{'A', kModCtrl}, ""), "<EditSelectAll>");
  EXPECT_EQ(editor.Insertion(KeyCode{0xBC, kModShift}, "<"), "<<");
  EXPECT_EQ(editor.Insertion(KeyCode{'Q', 0}, "q"), std::nullopt);
  map.AddBinding(KeyBinding{'z', {}, KeyCode{'Q', kModAlt}, kBindCharacter}, false, false, nullptr);
  EXPECT_EQ(editor.Insertion(KeyCode{'Q', kModAlt}, ""), std::nullopt);  // a character binding types itself

  // Save As a used name: No asks again, and the copy goes under the next name.
  AddMacro(*store_, "Other", kKind3279, "B");
  names_ = {"Other", "Logoff"};
  ui_.queued.push_back(Answer::No);
  editor.text = "<PF3>";
  ASSERT_TRUE(editor.SaveAs());
  EXPECT_EQ(asked_, (std::vector<std::string>{"Logon", "Other"}));
  EXPECT_EQ(ui_.boxes.back().text, "That name already exists, do you want to replace it?");
  auto* logoff = dynamic_cast<CCorvinaMacro*>(store_->Find(ObjectKind::kMacro, "Logoff"));
  ASSERT_NE(logoff, nullptr);
  EXPECT_EQ(logoff->Text(), "<PF3>");
  EXPECT_EQ(logoff->TypeCode(), kKind3278);
  EXPECT_TRUE(FileThere("Logoff.mac"));
  EXPECT_EQ(store_->RecentMacros().front(), "Logoff");
  EXPECT_EQ(logon.Text(), "A<<<PF3><,,,><CursorMove 0><HostSession2>");
  EXPECT_EQ(editor.Title(), "Macro Editor: Logoff - Corvina");
}

TEST_F(Dialogs, NamingARecordedMacroReplacesOnlyWhenAskedAndRefusesTakenFiles) {
  Load();
  AddMacro(*store_, "Old", kKind3279, "old");
  std::ofstream(data_ + "Taken.mac") << "not a macro\n";
  auto recorded = std::make_shared<CCorvinaMacro>(std::string(), kKind3279);
  recorded->Record('A', kKind3279);
  recorded->Record('<', kKind3279);
  recorded->Record(kf::ibm3270::kPF3, kKind3279);
  EXPECT_EQ(recorded->Text(), "A<<<PF3>");
  names_ = {"", "Taken", "Old"};
  ui_.queued.push_back(Answer::Yes);
  ASSERT_TRUE(NameAndSaveMacro(*services_, recorded));
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"Please type a name for the item you want to save.",
                                               "File \"Taken.mac\" already exists, please choose another name.",
                                               "That name already exists, do you want to replace it?"}));
  auto* old = dynamic_cast<CCorvinaMacro*>(store_->Find(ObjectKind::kMacro, "Old"));
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(old->Text(), "A<<<PF3>");
  // Cancel discards.
  names_ = {};
  EXPECT_FALSE(NameAndSaveMacro(*services_, std::make_shared<CCorvinaMacro>(std::string(), kKind3279)));
  EXPECT_EQ(store_->Find(ObjectKind::kMacro, "Untitled"), nullptr);
}

TEST_F(Dialogs, MacroMenuCommandsReachTheirMacroAndKeepBindingsOfARefusedDelete) {
  Load();
  for (int i = 0; i < 11; ++i) AddMacro(*store_, "M" + std::to_string(i), kKind3279, "x");
  AddMacro(*store_, "Vt", kKindVt100, "y");
  CCorvinaKeyboardMap& map = Map(*store_, "3270 Default");
  EXPECT_EQ(DecodeMacroCommand(33352)->submenu, MacroSubmenu::kEdit);
  EXPECT_EQ(DecodeMacroCommand(33379)->index, 9);
  EXPECT_FALSE(DecodeMacroCommand(33380));
  EXPECT_FALSE(DecodeMacroCommand(33339));
  EXPECT_EQ(MacroOfCommand(*services_, {MacroSubmenu::kReplay, 0}, map), "M10");  // the most recent
  EXPECT_EQ(MacroOfCommand(*services_, {MacroSubmenu::kReplay, 8}, map), "M2");
  std::vector<std::string> listed;
  services_->chooseMacro = [&](const std::vector<std::string>& names) -> std::optional<std::string> {
    listed = names;
    return names.back();
  };
  EXPECT_EQ(MacroOfCommand(*services_, {MacroSubmenu::kDelete, 9}, map), "M0");
  EXPECT_EQ(listed.size(), 11u);  // the VT macro is not offered

  // Assign Key: a key of another function asks; No leaves the map alone.
  std::optional<KeyCode> typed = kF1;
  services_->typeKey = [&] { return typed; };
  int rebuilt = 0;
  store_->macroMenusChanged = [&] { ++rebuilt; };
  ui_.queued.push_back(Answer::No);
  EXPECT_FALSE(AssignMacroKey(*services_, "M10", map));
  EXPECT_EQ(ui_.boxes.back().text,
            "The 'F1' key is already assigned to the 'PF1' function.\nDo you want to replace the existing assignment?");
  EXPECT_EQ(map.TargetOf(kF1), kf::ibm3270::kPF1);
  typed = kShiftAltF5;
  ASSERT_TRUE(AssignMacroKey(*services_, "M10", map));
  EXPECT_EQ(rebuilt, 1);
  EXPECT_FALSE(map.modified);
  auto menus = BuildMacroMenus(*store_, &map);
  EXPECT_EQ(menus[0][0].text, "&1 M10\tShift+Alt+F5");
  EXPECT_EQ(menus[1][0].text, "&1 M10");

  // Delete answered No keeps the macro and its key; Yes removes both.
  ui_.queued.push_back(Answer::No);
  EXPECT_FALSE(DeleteMacro(*services_, "M10", &map));
  EXPECT_EQ(ui_.boxes.back().text, "Are you sure you want to delete the macro 'M10'?");
  EXPECT_EQ(map.TargetOf(kShiftAltF5), kf::kPlayMacro);
  ui_.queued.push_back(Answer::Yes);
  ASSERT_TRUE(DeleteMacro(*services_, "M10", &map));
  EXPECT_EQ(map.TargetOf(kShiftAltF5), -1);
  EXPECT_EQ(store_->Find(ObjectKind::kMacro, "M10"), nullptr);
  EXPECT_FALSE(FileThere("M10.mac"));
  platform::IniFile saved;
  saved.SetPath(data_ + map.fileName);
  ASSERT_TRUE(saved.Load());
  EXPECT_EQ(saved.GetString("Keyboard Map", "Macro_1"), "");
}

TEST(TypeKeyDialog, CapturesKeysAndClicksAndRefusesReservedOnes) {
  CTypeKeyModel capture;
  EXPECT_EQ(capture.Title(), "Type Key - Corvina");
  EXPECT_FALSE(capture.Captured());
  EXPECT_EQ(capture.KeyDown({0x14, 0}, false), CTypeKeyModel::KeyResult::kBeep);  // Caps Lock
  EXPECT_FALSE(capture.Captured());
  EXPECT_EQ(capture.KeyDown({0x1B, 0}, false), CTypeKeyModel::KeyResult::kTaken);
  EXPECT_EQ(capture.CaptureText(), "Esc");
  EXPECT_EQ(capture.KeyDown({0x70, 0}, true), CTypeKeyModel::KeyResult::kIgnored);  // auto-repeat
  EXPECT_EQ(capture.CaptureText(), "Esc");
  // Shift+F1, then Ctrl pressed too: F1 stays, with both modifiers.
  capture.KeyDown({0x10, kModShift}, false);
  capture.KeyDown({0x70, kModShift}, false);
  capture.KeyDown({0x11, kModShift | kModCtrl}, false);
  EXPECT_EQ(capture.Key(), (KeyCode{0x70, kModShift | kModCtrl}));
  EXPECT_EQ(capture.OkProblem(), std::nullopt);
  // Ctrl alone is the Ctrl key; Alt+V belongs to the View menu.
  capture.Retry();
  capture.KeyDown({0x11, kModCtrl}, false);
  EXPECT_EQ(capture.Key(), (KeyCode{0x11, kModCtrl}));
  EXPECT_EQ(capture.OkProblem(), std::nullopt);
  capture.KeyDown({'V', kModAlt}, false);
  EXPECT_EQ(capture.OkProblem(), "The key you have chosen is not configurable. Reason: 'View menu'");
  capture.KeyDown({0x12, kModAlt | kModShift}, false);
  capture.Retry();
  capture.KeyDown({0x11, kModCtrl | kModShift}, false);  // nothing held before: the Ctrl key itself
  EXPECT_EQ(capture.OkProblem(), "That key selection is invalid.\nPlease choose another.");
  // A click is kept: keys no longer replace it until Retry.
  capture.MouseClick(1, kModShift, true);
  EXPECT_TRUE(capture.MouseCaptured());
  EXPECT_EQ(capture.Key(), (KeyCode{1, kModShift | kModExtended}));
  EXPECT_EQ(capture.KeyDown({0x70, 0}, false), CTypeKeyModel::KeyResult::kIgnored);
  capture.Retry();
  EXPECT_FALSE(capture.Captured());
  EXPECT_FALSE(capture.MouseCaptured());
  capture.MouseClick(2, 0, true);
  EXPECT_EQ(capture.CaptureText(), "MouseRightClick");
  capture.Retry();
  capture.MouseClick(4, 0, false);  // only the left and right buttons are offered
  EXPECT_FALSE(capture.Captured());
}

TEST_F(Dialogs, KeyboardSetupEditsAWorkingCopyUntilOk) {
  Load();
  AddMacro(*store_, "Logon", kKind3279, "x");
  AddMacro(*store_, "VtOnly", kKindVt100, "y");
  CCorvinaKeyboardMap& stored = Map(*store_, "3270 Default");
  CKeyboardSetupModel setup(*services_, "3270 default");
  ASSERT_TRUE(setup.Valid());
  EXPECT_EQ(setup.Title(), "Keyboard Setup [3270 Default] - Corvina");
  EXPECT_EQ(setup.group, kBindTerminal);
  auto rowOf = [&](const std::string& label) {
    const auto rows = setup.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].label == label) return static_cast<int>(i);
    return -1;
  };
  const int pf1 = rowOf("PF1");
  ASSERT_GE(pf1, 0);
  EXPECT_EQ(setup.Rows()[static_cast<std::size_t>(pf1)].assignment, "F1");
  std::optional<KeyCode> typed = kShiftAltF5;
  services_->typeKey = [&] { return typed; };
  // F13 for PF1, then F1 cleared: the stored map has not changed.
  ASSERT_EQ(setup.AddKey(pf1), pf1);
  EXPECT_EQ(setup.Rows()[static_cast<std::size_t>(pf1)].assignment, "F1, Shift+Alt+F5");
  setup.ClearEntry(pf1);
  EXPECT_FALSE(setup.ClearEnabled(pf1));
  EXPECT_EQ(stored.TargetOf(kF1), kf::ibm3270::kPF1);
  setup.ResetEntry(pf1);
  EXPECT_EQ(setup.Rows()[static_cast<std::size_t>(pf1)].assignment, "F1");

  // A macro row; F1 is taken, and No keeps it.
  setup.group = kBindMacro;
  ASSERT_EQ(setup.Rows().size(), 1u);
  typed = kF1;
  ui_.queued.push_back(Answer::No);
  EXPECT_FALSE(setup.AddKey(0));
  typed = KeyCode{'L', kModAlt};
  ASSERT_EQ(setup.AddKey(0), 0);
  EXPECT_EQ(setup.Rows()[0].assignment, "Alt+L");
  // The script chooser row adds the file's row.
  setup.group = kBindScript;
  services_->chooseScriptFile = [] { return std::optional<std::string>("C:\\logon.scr"); };
  typed = KeyCode{0x75, kModShift | kModAlt};
  ASSERT_EQ(setup.AddKey(0), 1);
  EXPECT_EQ(setup.Rows()[1].label, "C:\\logon.scr");
  EXPECT_EQ(setup.Rows()[1].assignment, "Shift+Alt+F6");
  EXPECT_EQ(stored.TargetOf(KeyCode{0x75, kModShift | kModAlt}), -1);

  // Reset Group: terminal keys back to the built-in layout.
  setup.group = kBindTerminal;
  setup.ClearEntry(pf1);
  setup.ResetGroup();
  EXPECT_EQ(setup.Rows()[static_cast<std::size_t>(pf1)].assignment, "F1");
  EXPECT_EQ(setup.Working().TargetOf(KeyCode{0x75, kModShift | kModAlt}), kf::kRunScript);

  // Save As refuses a used name and goes on with the copy; OK writes it.
  names_ = {"5250 default", "Mine"};
  ASSERT_TRUE(setup.SaveAs());
  EXPECT_EQ(ui_.boxes.back().text, "That name already exists, please choose another.");
  EXPECT_EQ(setup.MapName(), "Mine");
  EXPECT_EQ(setup.Title(), "Keyboard Setup [Mine] - Corvina");
  EXPECT_TRUE(FileThere("Mine.tkm"));
  setup.group = kBindTerminal;
  setup.ClearEntry(pf1);
  ASSERT_TRUE(setup.Ok());
  CCorvinaKeyboardMap& mine = Map(*store_, "Mine");
  EXPECT_EQ(mine.TargetOf(kF1), -1);
  EXPECT_EQ(mine.TargetOf(KeyCode{'L', kModAlt}), kf::kPlayMacro);
  EXPECT_FALSE(mine.modified);
  EXPECT_EQ(stored.TargetOf(kF1), kf::ibm3270::kPF1);
  EXPECT_EQ(stored.TargetOf(KeyCode{'L', kModAlt}), -1);
}

TEST_F(Dialogs, KeyboardSetupChangesVtControlSequences) {
  Load();
  CKeyboardSetupModel setup(*services_, "VT100 Default");
  ASSERT_TRUE(setup.Valid());
  int pf1 = -1;
  const auto rows = setup.Rows();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].label == "PF1") pf1 = static_cast<int>(i);
  ASSERT_GE(pf1, 0);
  EXPECT_FALSE(setup.SequenceShown(-1));
  EXPECT_EQ(setup.ChangeSequence(-1, "x"), CKeyboardSetupModel::SequenceChange::kNoRow);
  ASSERT_TRUE(setup.SequenceShown(pf1));
  EXPECT_EQ(setup.SequenceText(pf1), "^[OP");
  EXPECT_EQ(setup.ChangeSequence(pf1, "^1"), CKeyboardSetupModel::SequenceChange::kInvalid);
  EXPECT_EQ(ui_.boxes.back().text, "An invalid control sequence was entered.");
  EXPECT_EQ(setup.ChangeSequence(pf1, "^[[11~"), CKeyboardSetupModel::SequenceChange::kChanged);
  EXPECT_EQ(setup.SequenceText(pf1), "^[[11~");
  ASSERT_TRUE(setup.Ok());
  CCorvinaKeyboardMap& stored = Map(*store_, "VT100 Default");
  EXPECT_EQ(stored.ControlSequence(kf::vt::kPF1, false), "\x1b[11~");
  CKeyboardSetupModel again(*services_, "VT100 Default");
  EXPECT_EQ(again.ChangeSequence(pf1, ""), CKeyboardSetupModel::SequenceChange::kChanged);
  EXPECT_EQ(again.SequenceText(pf1), "^[OP");
  setup.group = kBindSystem;
  EXPECT_FALSE(setup.SequenceShown(pf1));
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
  EXPECT_EQ(refused->message, "Invalid margin entry.");
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

TEST_F(Dialogs, ToolbarCustomizerEditsAWorkingListThatPersistsThroughTheStore) {
  Load();
  AddProfile("P", "host");
  auto* standard = dynamic_cast<CCorvinaToolbar*>(store_->Find(ObjectKind::kToolbar, "Standard"));
  ASSERT_NE(standard, nullptr);
  const auto original = standard->buttons;
  CToolbarCustomizer c(*standard);
  // Functions on the bar are not offered again; others of the table are.
  auto offered = [&](int id) {
    const auto a = c.Available();
    return std::find(a.begin(), a.end(), id) != a.end();
  };
  EXPECT_FALSE(offered(kf::sys::kEditCopy));
  EXPECT_TRUE(offered(kf::sys::kSetupSessions));
  EXPECT_EQ(c.Add(kf::ibm3270::kPF3, 0), -1);  // another table's
  EXPECT_EQ(c.Add(kf::sys::kEditCopy, 0), -1);  // already there
  ASSERT_EQ(c.Add(kf::sys::kSetupSessions, 1), 1);
  EXPECT_FALSE(offered(kf::sys::kSetupSessions));
  EXPECT_EQ(c.AddSeparator(2), 2);
  EXPECT_EQ(c.Move(1, -1), 0);
  EXPECT_EQ(c.Move(0, -1), -1);
  EXPECT_EQ(c.Buttons()[0].id, kf::sys::kSetupSessions);
  EXPECT_FALSE(c.SetLabel(2, "never"));  // a separator
  // Commas and control characters cannot reach the file's "id,label" form.
  ASSERT_TRUE(c.SetLabel(0, "Set,up\x01"));
  EXPECT_EQ(c.Buttons()[0].label, "Setup");
  EXPECT_EQ(c.Remove(static_cast<int>(c.Buttons().size()) - 1), static_cast<int>(c.Buttons().size()) - 2);
  EXPECT_EQ(standard->buttons, original);
  EXPECT_TRUE(c.Changed());
  const auto made = c.Buttons();

  CSessionSetupModel setup(*services_, "P", 6);
  ASSERT_TRUE(setup.FinishStandardCustomize(made));
  // A second store reads the same buttons back from the file.
  CCorvinaPersistentData again(data_, appProfile_, ui_);
  RegisterKeyboardObjects(again);
  ASSERT_TRUE(again.LoadAll());
  auto* reread = dynamic_cast<CCorvinaToolbar*>(again.Find(ObjectKind::kToolbar, "Standard"));
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(reread->buttons, made);
  EXPECT_EQ(reread->ButtonLabel(reread->buttons[0]), "Setup");

  // Reset brings the built-in buttons back; the last button is never removed.
  CToolbarCustomizer r(*reread);
  r.Reset();
  EXPECT_EQ(r.Buttons(), original);
  while (r.Buttons().size() > 1) ASSERT_GE(r.Remove(0), 0);
  EXPECT_EQ(r.Remove(0), -1);
}

TEST_F(Dialogs, KeypadRenameMovesProfilesAndRefusesTheDefaults) {
  Load();
  auto p = AddProfile("P", "host");
  CSessionSetupModel setup(*services_, "P", 6);
  names_ = {"Mine"};
  ASSERT_TRUE(setup.FinishKeypadCustomize("3270 Default", {{kf::ibm3270::kPF3, "Quit"}}));
  ASSERT_TRUE(setup.Apply(setup.ShownValues()) == std::nullopt);
  ASSERT_EQ(p->keypadToolbarName, "Mine");
  const std::string oldFile = store_->Find(ObjectKind::kToolbar, "Mine")->fileName;

  EXPECT_FALSE(setup.RenameKeypadToolbar("3270 Default"));
  EXPECT_EQ(ui_.boxes.back().text, "Can't rename the default keypad toolbar");
  names_ = {"3270 default", "Yours"};  // a used name is asked again
  ASSERT_TRUE(setup.RenameKeypadToolbar("Mine"));
  EXPECT_EQ(ui_.boxes.back().text, "That name already exists, please choose another.");
  EXPECT_EQ(store_->Find(ObjectKind::kToolbar, "Mine"), nullptr);
  auto* yours = dynamic_cast<CCorvinaToolbar*>(store_->Find(ObjectKind::kToolbar, "Yours"));
  ASSERT_NE(yours, nullptr);
  EXPECT_EQ(yours->buttons, (std::vector<ToolbarButton>{{kf::ibm3270::kPF3, "Quit"}}));
  EXPECT_TRUE(FileThere(yours->fileName));
  EXPECT_FALSE(FileThere(oldFile));
  EXPECT_EQ(p->keypadToolbarName, "Yours");
  EXPECT_EQ(setup.Working().keypadToolbarName, "Yours");
  EXPECT_EQ(setup.ShownValues()["keypadName"], "Yours");
}

TEST_F(Dialogs, PrinterListOffersFileAndRefusesBadEntries) {
  Load();
  AddProfile("P", "host");
  services_->printers = {"office", "lab"};
  CSessionSetupModel setup(*services_, "P", 4);
  const Field* printer = setup.ShownPage().Find("printer");
  ASSERT_NE(printer, nullptr);
  EXPECT_TRUE(printer->editable);
  EXPECT_EQ(printer->choices, (std::vector<std::string>{"Application Default", "<<Disk File: append>>",
                                                        "<<Disk File: incremental>>", "office", "lab", "file:"}));
  auto refused = [&](const std::string& text) {
    auto v = setup.ShownValues();
    v["printer"] = text;
    auto r = setup.ShowPage(4, v);
    return r ? r->message : std::string();
  };
  EXPECT_EQ(refused("file:"), "Please enter a file name.");
  EXPECT_EQ(refused("file:out.pdf"),
            "Please enter the full path of the print file after \"file:\" (for example file:/tmp/screen.pdf).");
  EXPECT_EQ(refused("file:/tmp/"),
            "Please enter the full path of the print file after \"file:\" (for example file:/tmp/screen.pdf).");
  EXPECT_EQ(refused("attic"),
            "That printer is not installed. Please choose one from the list, or type file: and a file name.");
  EXPECT_EQ(refused("a b"), "Please enter a printer name without blanks, slashes or control characters.");
  EXPECT_EQ(refused("file:/tmp/x\n.pdf"), "Please enter a printer name without blanks, slashes or control characters.");
  EXPECT_TRUE(setup.Working().printerName.empty());
  EXPECT_EQ(refused("file:/tmp/screen.pdf"), "");
  EXPECT_EQ(setup.Working().printerName, "file:/tmp/screen.pdf");
  EXPECT_EQ(refused("lab"), "");
  EXPECT_EQ(setup.Working().printerName, "lab");
  ASSERT_FALSE(setup.Apply(setup.ShownValues()));
  // A printer the scheduler no longer lists stays when nothing else changes.
  services_->printers.clear();
  CSessionSetupModel later(*services_, "P", 4);
  EXPECT_EQ(later.ShownValues()["printer"], "lab");
  EXPECT_FALSE(later.ShowPage(0, later.ShownValues()));
  EXPECT_EQ(later.Working().printerName, "lab");
}

TEST_F(Dialogs, TerminalTypeChangeRefreshesTheTerminalPage) {
  Load();
  AddProfile("P", "host");
  CSessionSetupModel setup(*services_, "P", 1);
  auto labels = [&] {
    std::vector<std::string> l;
    for (const Field& f : setup.ShownPage().fields) l.push_back(f.group.empty() ? f.label : f.group + "/" + f.label);
    return l;
  };
  auto has = [&](const std::string& label) {
    const auto l = labels();
    return std::find(l.begin(), l.end(), label) != l.end();
  };
  EXPECT_TRUE(has("Resource Name"));
  EXPECT_TRUE(has("3270 Options/Disable CorvinaE"));
  auto shown = setup.ShownValues();
  shown["scrollBack"] = "500";  // typed before the change: kept
  ASSERT_FALSE(setup.ChooseTerminalType("5250", shown));
  auto v = setup.ShownValues();
  EXPECT_EQ(v["type"], "5250");
  EXPECT_EQ(v["size"], "27 x 132");
  EXPECT_EQ(v["telnetType"], setup.Working().telnetTerminalType);
  EXPECT_EQ(setup.Working().telnetTerminalType.rfind("IBM-3477", 0), 0u) << setup.Working().telnetTerminalType;
  EXPECT_EQ(v["scrollBack"], "500");
  EXPECT_TRUE(has("Device Name"));
  EXPECT_TRUE(has("5250 Options/Monochrome display"));
  EXPECT_FALSE(has("3270 Options/Disable CorvinaE"));
  EXPECT_EQ(setup.Working().keypadToolbarName, "5250 Default");
  EXPECT_FALSE(setup.ShownPage().Find("associate")->enabled);

  ASSERT_FALSE(setup.ChooseTerminalType("VT220", setup.ShownValues()));
  EXPECT_EQ(setup.ShownValues()["size"], "24 x 80");
  EXPECT_TRUE(has("DEC Answerback"));
  EXPECT_TRUE(has("ANSI/VT Options/Local Echo"));
  EXPECT_EQ(setup.Working().keyboardMapName, "VT100 Default");
  ASSERT_FALSE(setup.ChooseTerminalType("3270P", setup.ShownValues()));
  EXPECT_TRUE(setup.ShownPage().Find("associate")->enabled);
  // A refused text elsewhere on the page keeps the old type.
  auto bad = setup.ShownValues();
  bad["scrollBack"] = "40000";
  EXPECT_TRUE(setup.ChooseTerminalType("VT100", bad));
  EXPECT_EQ(setup.Working().terminalType, kKind3270Printer);
  EXPECT_EQ(store_->FindProfile("P")->terminalType, kKind3279);  // stored only on Apply
}

TEST_F(Dialogs, BrowseButtonsOpenTheirPagesFileDialogs) {
  Load();
  auto script = FileBrowseFor(PageId::kHost, "script", *store_, "");
  ASSERT_TRUE(script);
  EXPECT_TRUE(script->existing);
  EXPECT_EQ(script->title, "Select Script File Name - Corvina");
  EXPECT_EQ(script->defaultName, "*.txt");
  auto log = FileBrowseFor(PageId::kHost, "log", *store_, "P.log");
  ASSERT_TRUE(log);
  EXPECT_FALSE(log->existing);
  EXPECT_EQ(log->title, "Select Log File Name - Corvina");
  EXPECT_EQ(log->filter, "Log files (*.log)|*.log|All Files (*.*)|*.*||");
  EXPECT_EQ(log->defaultName, "P.log");
  EXPECT_EQ(log->folder, store_->DataFolder());
  auto clip = FileBrowseFor(PageId::kHost, "clipboard", *store_, "");
  ASSERT_TRUE(clip);
  EXPECT_EQ(clip->title, "Select Clipboard File Name - Corvina");
  EXPECT_EQ(clip->filter, "Text files (*.txt)|*.txt|All Files (*.*)|*.*||");
  auto file = FileBrowseFor(PageId::kPrinter, "file", *store_, "");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->title, "Select Printer File Name - Corvina");
  EXPECT_EQ(file->defaultName, store_->DataFolder() + "*.txt");
  EXPECT_FALSE(FileBrowseFor(PageId::kHost, "host", *store_, ""));
  EXPECT_FALSE(FileBrowseFor(PageId::kPrinter, "log", *store_, ""));
}

}  // namespace
}  // namespace corvina::dialogs

// ------------------------------------------------------------ file transfer

namespace corvina::dialogs {
namespace {

class TransferDialog : public Dialogs {
 protected:
  void SetUp() override {
    Dialogs::SetUp();
    Load();
    profile_ = AddProfile("Host", "h");
    profile_->modified = false;
    codePages_ = root_ + "/cpg";
    std::filesystem::create_directories(codePages_);
    std::filesystem::copy_file(std::string(CORVINA_SOURCE_DIR) + "/codepage/files/IBM273.cpg", codePages_ + "/IBM273.cpg");
  }
  CFileTransferModel Model() { return CFileTransferModel(*store_, *profile_, codePages_); }
  std::string Refused(CFileTransferModel& m) {
    const auto r = m.Accept();
    return r ? r->field + ": " + r->message : "";
  }

  std::shared_ptr<CCorvinaSessionProfile> profile_;
  std::string codePages_;
};

TEST_F(TransferDialog, HostSystemDecidesTheRecordControls) {
  profile_->fileTransfer.recordFormat = 3;
  CFileTransferModel m = Model();
  EXPECT_EQ(m.recordFormat, 0) << "VM/CMS has no Undefined";
  EXPECT_FALSE(m.UndefinedEnabled());
  EXPECT_FALSE(m.BlksizeEnabled());
  EXPECT_TRUE(m.LreclEnabled());
  m.SetHostSystem(CFileTransferModel::kMvsTso);
  EXPECT_TRUE(m.UndefinedEnabled() && m.BlksizeEnabled() && m.RecordFormatEnabled());
  m.recordFormat = 3;
  m.SetHostSystem(CFileTransferModel::kMvsTso);
  EXPECT_EQ(m.recordFormat, 3);
  m.recordFormat = 2;
  m.SetHostSystem(CFileTransferModel::kCics);
  EXPECT_EQ(m.recordFormat, 0);
  EXPECT_FALSE(m.RecordFormatEnabled() || m.LreclEnabled() || m.BlksizeEnabled());
}

TEST_F(TransferDialog, ChecksComeInOrderAndNumbersKeepTheirRanges) {
  CFileTransferModel m = Model();
  m.program.clear();
  m.lrecl = "junk";
  EXPECT_EQ(Refused(m), "hostFile: Please enter a Host File Name.");
  m.hostFile = "FILE DATA A";
  EXPECT_EQ(Refused(m), "pcFile: Please enter a PC File Name.");
  m.pcFile = "/tmp/x";
  EXPECT_EQ(Refused(m), "program: Please enter a File Transfer Program Name.");
  m.program = "IND$FILE";
  EXPECT_EQ(Refused(m), "lrecl: Please enter a number between 0 and 32760 for \"LRECL\".");
  m.lrecl = "32761";
  EXPECT_NE(Refused(m), "");
  m.lrecl = "32760";
  m.blksize = "-1";  // VM/CMS: the box is disabled and not read
  m.bufferSize = "1023";
  EXPECT_EQ(Refused(m), "bufferSize: Please enter a number between 1024 and 65535 for \"WSF - buffer size\".");
  m.screenImage = true;  // the buffer box is not read in screen-image mode
  m.SetHostSystem(CFileTransferModel::kMvsTso);
  EXPECT_EQ(Refused(m), "blksize: Please enter a number between 0 and 32760 for \"BLKSIZE\".");
  m.blksize = "99999999999999999999";
  EXPECT_NE(Refused(m), "");
  m.blksize = "6160";
  m.ChooseCodePage("missing.cpg");
  const std::string refusal = Refused(m);
  EXPECT_EQ(refusal.rfind("codePage: Unable to load Code Page: missing.cpg\n\n", 0), 0u) << refusal;
  ASSERT_FALSE(ui_.boxes.empty());
  EXPECT_EQ(ui_.boxes.back().text, refusal.substr(10)) << "each refusal is shown";
  EXPECT_EQ(profile_->fileTransfer, FileTransferDefaults{}) << "nothing refused reaches the profile";
}

TEST_F(TransferDialog, AcceptedFieldsGoBackIntoTheProfileAndAreSavedOnlyWhenChanged) {
  const std::string file = data_ + profile_->FileName();
  ASSERT_TRUE(std::filesystem::exists(file)) << file;
  std::filesystem::remove(file);
  {
    CFileTransferModel m = Model();
    m.hostFile = "H";
    m.pcFile = "/p";
    EXPECT_EQ(Refused(m), "");
  }
  ASSERT_TRUE(std::filesystem::exists(file));
  std::filesystem::remove(file);
  CFileTransferModel m = Model();
  EXPECT_EQ(m.hostFile, "H");
  EXPECT_EQ(Refused(m), "");
  EXPECT_FALSE(std::filesystem::exists(file)) << "nothing changed, nothing written";
  m.SetHostSystem(CFileTransferModel::kMvsTso);
  m.recordFormat = 3;
  m.lrecl = "80";
  m.blksize = "8000";
  m.bufferSize = "2048";
  m.ascii = false;
  m.noTruncate = true;
  m.pcFileOption = 2;
  m.ChooseCodePage("IBM273.cpg");
  EXPECT_EQ(m.CodePageName(), "IBM 273 Germany/Austria");
  EXPECT_EQ(Refused(m), "");
  const FileTransferDefaults& t = profile_->fileTransfer;
  EXPECT_EQ(t.hostSystem, 1);
  EXPECT_EQ(t.recordFormat, 3);
  EXPECT_EQ(t.logicalRecordLength, 80);
  EXPECT_EQ(t.blockSize, 8000);
  EXPECT_EQ(t.bufferSize, 2048);
  EXPECT_EQ(t.flags, kTransferCrLf | kTransferNoTruncate);
  EXPECT_EQ(t.pcDisposition, 2);
  EXPECT_EQ(t.hostCodePageFile, "IBM273.cpg");
  // The request the transfer gets finds the file in the code page folder.
  const filetransfer::CTransferRequest r = m.Request(filetransfer::Direction::kPut);
  EXPECT_EQ(r.codePageFile, codePages_ + "/IBM273.cpg");
  EXPECT_EQ(r.hostFile, "H");
  EXPECT_FALSE(r.Get());
  // Stored and read back.
  store_.reset();
  Load();
  EXPECT_EQ(store_->FindProfile("Host")->fileTransfer, t);
}

TEST_F(TransferDialog, OnlyARegularFileIsTakenFromADrop) {
  const std::string file = root_ + "/report.final.txt", fifo = root_ + "/pipe";
  std::ofstream(file) << "x";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(DroppableFile(file));
  EXPECT_FALSE(DroppableFile(fifo)) << "a pipe would hang the transfer";
  EXPECT_FALSE(DroppableFile(root_));
  EXPECT_FALSE(DroppableFile(root_ + "/none"));
  EXPECT_FALSE(DroppableFile(""));
  CFileTransferModel m = Model();
  m.TakeDroppedFile(file);
  EXPECT_EQ(m.pcFile, file);
  EXPECT_EQ(m.hostFile, "report final txt");
  EXPECT_EQ(HostNameOfDroppedFile("plain"), "plain");
}

}  // namespace
}  // namespace corvina::dialogs
