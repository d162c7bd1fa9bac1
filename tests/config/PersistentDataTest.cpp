#include "config/PersistentData.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "StoreFixture.h"
#include "config/StoreTexts.h"

namespace corvina {
namespace {

using platform::Answer;
using test::FakeObject;
using test::ReadFile;
using test::WriteFile;

class PersistentData : public test::StoreTest {
 protected:
  std::shared_ptr<CCorvinaSessionProfile> Profile(CCorvinaPersistentData& store, const std::string& name) {
    auto p = store.NewProfile();
    p->name = name;
    p->host = "host.example";
    return p;
  }
  std::vector<std::string> DataFiles() const {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(data_)) files.push_back(e.path().filename());
    std::sort(files.begin(), files.end());
    return files;
  }
};

TEST_F(PersistentData, FreshFolderGetsTheSettingsFileAndOnlyThePreferencesKey) {
  CCorvinaPersistentData& store = NewStore();
  RegisterFake(store, ObjectKind::kKeyboardMap, {"3270 Default", "5250 Default", "VT100 Default"});
  ASSERT_TRUE(store.LoadAll());
  EXPECT_DOUBLE_EQ(store.Version(), CCorvinaPersistentData::kCurrentVersion);
  EXPECT_EQ(store.preferences, 61u);
  EXPECT_EQ(store.Objects(ObjectKind::kKeyboardMap).size(), 3u);
  EXPECT_TRUE(store.NeedsSettingsFileWrite());
  ASSERT_TRUE(store.SaveAll());
  EXPECT_EQ(ReadFile(data_ + "Corvina.dat"), std::string("\x4d\x3d\xbd\x68\x90\xc2\x01\x40", 8));
  EXPECT_EQ(DataFiles(), (std::vector<std::string>{"3270 Default.tcs", "3270 Default.tkm", "5250 Default.tcs",
                                                   "5250 Default.tkm", "Corvina.dat", "VT100 Default.tcs",
                                                   "VT100 Default.tkm"}));
  EXPECT_EQ(AppProfileText(), "[Configuration]\nPreferences=61\n");
  EXPECT_TRUE(ui_.boxes.empty());

  CCorvinaPersistentData& again = NewStore();
  ASSERT_TRUE(again.LoadAll());
  EXPECT_FALSE(again.NeedsSettingsFileWrite());
}

TEST_F(PersistentData, SettingsBackAtTheirDefaultLoseTheirKeys) {
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  store.scriptExtension = "cmd";
  store.maximumSessions = 4;
  store.sessionName = "Payroll";
  ASSERT_TRUE(store.SaveAll());
  platform::IniFile written(root_ + "/Corvina.ini");
  ASSERT_TRUE(written.Load());
  EXPECT_EQ(written.GetString("Configuration", "ScriptExtension"), "cmd");
  EXPECT_EQ(written.GetInt("Configuration", "MaximumSessions", 0), 4);

  store.scriptExtension = "txt";
  store.maximumSessions = 9;
  store.sessionName.clear();
  ASSERT_TRUE(store.SaveAll());
  EXPECT_EQ(AppProfileText(), "[Configuration]\nPreferences=61\n");
}

TEST_F(PersistentData, SavingKeepsWhatAnotherInstanceWroteMeanwhile) {
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  WriteFile(root_ + "/Corvina.ini", "[Window size]\nRect=0010 0010 0800 0600\n[Configuration]\nMaxInstances=2\n");
  store.logExtension = "trc";
  ASSERT_TRUE(store.SaveAll());
  platform::IniFile written(root_ + "/Corvina.ini");
  ASSERT_TRUE(written.Load());
  EXPECT_EQ(written.GetString("Window size", "Rect"), "0010 0010 0800 0600");
  EXPECT_EQ(written.GetInt("Configuration", "MaxInstances", 0), 2);
  EXPECT_EQ(written.GetString("Configuration", "LogExtension"), "trc");
}

TEST_F(PersistentData, ApplicationProfileWritesAreOwnerOnlyAndNeverClobberAnUnreadFile) {
  const std::string ini = root_ + "/Corvina.ini";
  WriteFile(ini, "[Configuration]\nPreferences=61\n[Window size]\nRect=0001 0002 0003 0004\n");
  ::chmod(ini.c_str(), 0644);
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  const auto mode = [&ini] {
    struct stat st {};
    ::stat(ini.c_str(), &st);
    return st.st_mode & 07777;
  };
  ASSERT_TRUE(store.SaveAll());
  EXPECT_EQ(mode(), 0644u);  // nothing changed, nothing written
  store.sessionName = "Payroll";
  ASSERT_TRUE(store.SaveAll());
  EXPECT_EQ(mode(), 0600u);
  EXPECT_NE(AppProfileText().find("Rect=0001 0002 0003 0004"), std::string::npos) << AppProfileText();

  // Another program left a file that cannot be read: it stays as it is.
  ASSERT_EQ(::truncate(ini.c_str(), platform::IniFile::kMaxFileSize + 1), 0);
  EXPECT_FALSE(store.UpdateAppProfile([](platform::IniFile& f) { f.SetInt("Configuration", "TraceFileBinary", 1); }));
  EXPECT_TRUE(HasBox("Unable to save settings in file " + ini + ".")) << ui_.boxes.size();
  EXPECT_EQ(std::filesystem::file_size(ini), platform::IniFile::kMaxFileSize + 1);
}

TEST_F(PersistentData, ApplicationSettingsAreRead) {
  WriteFile(root_ + "/Corvina.ini",
            "[Configuration]\nSessionName=Prod\nDefaultCodePage=cp500.cpg\nScriptExtension=scr\n"
            "LogExtension=trc\nMaximumSessions=3\nPreferences=2\n");
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  EXPECT_EQ(store.sessionName, "Prod");
  EXPECT_EQ(store.defaultCodePage, "cp500.cpg");
  EXPECT_EQ(store.scriptExtension, "scr");
  EXPECT_EQ(store.logExtension, "trc");
  EXPECT_EQ(store.maximumSessions, 3);
  EXPECT_EQ(store.preferences, 2u);
  EXPECT_EQ(store.NewProfile()->codePageFile, "cp500.cpg");
}

TEST_F(PersistentData, FindIgnoresCaseAndReplacingKeepsTheFile) {
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  ASSERT_TRUE(store.Add(Profile(store, "Payroll"), true));
  EXPECT_EQ(store.FindProfile("PAYROLL")->name, "Payroll");
  EXPECT_EQ(store.Find(ObjectKind::kSessionProfile, "payroll")->fileName, "Payroll.tsp");

  auto replacement = Profile(store, "PAYROLL");
  replacement->port = 992;
  ASSERT_TRUE(store.Add(replacement, true));
  EXPECT_EQ(store.Objects(ObjectKind::kSessionProfile).size(), 1u);
  EXPECT_EQ(replacement->fileName, "Payroll.tsp");
  EXPECT_EQ(DataFiles(), (std::vector<std::string>{"Payroll.tsp"}));
  EXPECT_NE(ReadFile(data_ + "Payroll.tsp").find("Host=host.example,992"), std::string::npos);
}

TEST_F(PersistentData, NamesMappingToOneFileNeverOverwriteEachOther) {
  WriteFile(data_ + "x y.tsp", "not a profile\n");  // a leftover that does not load
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  for (const char* name : {"a:b", "a/b", "a b", "x?y"}) ASSERT_TRUE(store.Add(Profile(store, name), true));
  EXPECT_EQ(store.Find(ObjectKind::kSessionProfile, "a:b")->fileName, "a b.tsp");
  EXPECT_EQ(store.Find(ObjectKind::kSessionProfile, "a/b")->fileName, "a b (2).tsp");
  EXPECT_EQ(store.Find(ObjectKind::kSessionProfile, "a b")->fileName, "a b (3).tsp");
  EXPECT_EQ(store.Find(ObjectKind::kSessionProfile, "x?y")->fileName, "x y (2).tsp");
  EXPECT_EQ(ReadFile(data_ + "x y.tsp"), "not a profile\n");

  // Every one reads back under its own name.
  CCorvinaPersistentData& again = NewStore();
  ASSERT_TRUE(again.LoadAll());
  EXPECT_EQ(again.Objects(ObjectKind::kSessionProfile).size(), 4u);
  EXPECT_EQ(again.FindProfile("a/b")->fileName, "a b (2).tsp");
}

TEST_F(PersistentData, LoadingSkipsBadFilesAndTheLaterOfTwoSameNamesWins) {
  WriteFile(data_ + "first.tsp", "[Session Profile]\nName=Same\nHost=one,23\nTerminalType=VT100,24,80,DEC-VT100\n");
  WriteFile(data_ + "second.TSP", "[Session Profile]\nName=SAME\nHost=two,23\nTerminalType=VT100,24,80,DEC-VT100\n");
  WriteFile(data_ + "broken.tsp", "[Session Profile]\nName=Broken\n");
  std::filesystem::create_directory(data_ + "folder.tsp");
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  ASSERT_EQ(store.Objects(ObjectKind::kSessionProfile).size(), 1u);
  EXPECT_EQ(store.FindProfile("same")->host, "two");
  EXPECT_EQ(store.FindProfile("same")->fileName, "second.TSP");
  EXPECT_FALSE(store.FindProfile("same")->modified);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(PersistentData, ProfileNamesResolveAgainstKindsLoadedBeforeProfiles) {
  test::WriteFile(data_ + "keys.tkm", "[Object]\nName=My Keys\n");
  WriteFile(data_ + "p.tsp",
            "[Session Profile]\nName=P\nHost=h,23\nTerminalType=VT100,24,80,DEC-VT100\nKeyboardMapName=My Keys\n"
            "ColorSchemeName=Gone\n");
  CCorvinaPersistentData& store = NewStore();
  RegisterFake(store, ObjectKind::kKeyboardMap);
  RegisterFake(store, ObjectKind::kColorScheme);
  ASSERT_TRUE(store.LoadAll());
  EXPECT_EQ(store.FindProfile("P")->keyboardMapName, "My Keys");
  EXPECT_EQ(store.FindProfile("P")->colorSchemeName, "VT100 Default");
  // Kinds not built yet keep every name.
  EXPECT_EQ(store.FindProfile("P")->keypadToolbarName, "VT100 Default");
  EXPECT_TRUE(store.Resolver()("Anything", ProfileObjectKind::kKeypadToolbar));
}

TEST_F(PersistentData, CustomisedDefaultObjectsSurviveAMissingSettingsFile) {
  WriteFile(data_ + "3270 Default.tkm", "[Object]\nName=3270 Default\nData=mine\n");
  CCorvinaPersistentData& store = NewStore();
  RegisterFake(store, ObjectKind::kKeyboardMap, {"3270 Default", "5250 Default"});
  ASSERT_TRUE(store.LoadAll());
  EXPECT_EQ(static_cast<FakeObject*>(store.Find(ObjectKind::kKeyboardMap, "3270 Default"))->data, "mine");
  // The built-in objects are written with the next save, never over the user's.
  EXPECT_FALSE(std::filesystem::exists(data_ + "5250 Default.tkm"));
  ASSERT_TRUE(store.SaveAll());
  EXPECT_EQ(ReadFile(data_ + "3270 Default.tkm"), "[Object]\nName=3270 Default\nData=mine\n");
  EXPECT_NE(ReadFile(data_ + "5250 Default.tkm").find("Data=built-in"), std::string::npos);

  // A deleted default comes back at the next start.
  ASSERT_TRUE(store.Delete(ObjectKind::kKeyboardMap, "3270 default", false));
  EXPECT_FALSE(std::filesystem::exists(data_ + "3270 Default.tkm"));
  CCorvinaPersistentData& again = NewStore();
  RegisterFake(again, ObjectKind::kKeyboardMap, {"3270 Default"});
  ASSERT_TRUE(again.LoadAll());
  ASSERT_TRUE(again.SaveAll());
  EXPECT_NE(ReadFile(data_ + "3270 Default.tkm").find("Data=built-in"), std::string::npos);
}

TEST_F(PersistentData, DeleteAsksAndRefusesProfilesInUse) {
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  ASSERT_TRUE(store.Add(Profile(store, "Payroll"), true));

  ui_.queued.push_back(Answer::No);
  EXPECT_FALSE(store.Delete(ObjectKind::kSessionProfile, "payroll", true));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "Are you sure you want to delete the session profile 'Payroll'?");
  EXPECT_EQ(ui_.boxes[0].buttons, platform::Buttons::YesNo);
  EXPECT_TRUE(std::filesystem::exists(data_ + "Payroll.tsp"));

  store.FindProfile("Payroll")->connectedSessions = 1;
  EXPECT_FALSE(store.Delete(ObjectKind::kSessionProfile, "Payroll", false));
  EXPECT_EQ(ui_.boxes.back().text, "Can't delete an active session!");
  store.FindProfile("Payroll")->connectedSessions = 0;

  ui_.queued.push_back(Answer::Yes);
  EXPECT_TRUE(store.Delete(ObjectKind::kSessionProfile, "Payroll", true));
  EXPECT_EQ(store.FindProfile("Payroll"), nullptr);
  EXPECT_FALSE(std::filesystem::exists(data_ + "Payroll.tsp"));
  EXPECT_FALSE(store.Delete(ObjectKind::kSessionProfile, "Payroll", false));
}

TEST_F(PersistentData, AnObjectThatCannotBeWrittenStaysModifiedAndIsReportedOnce) {
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  std::filesystem::create_directory(data_ + "Payroll.tsp");  // in the way of the file
  auto p = Profile(store, "Payroll");
  p->fileName = "Payroll.tsp";
  EXPECT_FALSE(store.Add(p, true));
  EXPECT_TRUE(p->modified);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text.substr(0, ui_.boxes[0].text.find('\n')),
            "Unable to save the session profile 'Payroll' in file " + data_ + "Payroll.tsp.");
  EXPECT_FALSE(store.SaveAll());
  EXPECT_EQ(ui_.boxes.size(), 1u);

  std::filesystem::remove(data_ + "Payroll.tsp");
  EXPECT_TRUE(store.SaveAll());
  EXPECT_FALSE(p->modified);
  std::filesystem::remove(data_ + "Payroll.tsp");
  std::filesystem::create_directory(data_ + "Payroll.tsp");
  p->modified = true;
  EXPECT_FALSE(store.SaveAll());
  EXPECT_EQ(ui_.boxes.size(), 2u);  // reported again after a success
}

TEST_F(PersistentData, AReadOnlySettingsFileIsReportedOnceAndWrittenWhenItCanBe) {
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  const std::string dat = data_ + "Corvina.dat";
  WriteFile(dat, "old");
  ::chmod(dat.c_str(), 0444);
  EXPECT_FALSE(store.SaveAll());
  EXPECT_FALSE(store.SaveAll());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "Unable to save settings in file " + dat + ".");
  EXPECT_TRUE(store.NeedsSettingsFileWrite());
  ::chmod(dat.c_str(), 0644);
  EXPECT_TRUE(store.SaveAll());
  EXPECT_FALSE(store.NeedsSettingsFileWrite());
  EXPECT_EQ(ReadFile(dat).size(), 8u);
  EXPECT_EQ(ui_.boxes.size(), 1u);
}

TEST_F(PersistentData, DamagedAndUnreadableSettingsFiles) {
  WriteFile(data_ + "Corvina.dat", "abc");
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text.rfind("CArchiveException thrown loading " + data_ + "Corvina.dat: ", 0), 0u);
  EXPECT_DOUBLE_EQ(store.Version(), CCorvinaPersistentData::kCurrentVersion);

  // A folder in place of the file cannot be opened: Abort ends start-up,
  // Ignore goes on without it.
  std::filesystem::remove(data_ + "Corvina.dat");
  std::filesystem::create_directory(data_ + "Corvina.dat");
  ui_.boxes.clear();
  EXPECT_FALSE(NewStore().LoadAll());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, data_ + "Corvina.dat file open failure: Access denied");
  EXPECT_EQ(ui_.boxes[0].buttons, platform::Buttons::AbortRetryIgnore);
  ui_.queued = {Answer::Retry, Answer::Ignore};
  EXPECT_TRUE(NewStore().LoadAll());
  EXPECT_EQ(ui_.boxes.size(), 3u);
}

TEST_F(PersistentData, RecentMacrosFollowTheMacrosThatExist) {
  WriteFile(data_ + "a.mac", "[Object]\nName=Alpha\n");
  WriteFile(data_ + "b.mac", "[Object]\nName=Beta\n");
  WriteFile(data_ + "c.mac", "[Object]\nName=Gamma\n");
  WriteFile(root_ + "/Corvina.ini", "[RecentMacrosList]\nMacroCount=3\nMacro1=beta\nMacro2=Deleted\nMacro3=Beta\n");
  CCorvinaPersistentData& store = NewStore();
  RegisterFake(store, ObjectKind::kMacro);
  int menuRebuilds = 0;
  store.macroMenusChanged = [&] { ++menuRebuilds; };
  ASSERT_TRUE(store.LoadAll());
  EXPECT_EQ(store.RecentMacros(), (std::vector<std::string>{"Beta", "Alpha", "Gamma"}));
  EXPECT_NE(AppProfileText().find("MacroCount=3\nMacro1=Beta\nMacro2=Alpha\nMacro3=Gamma\n"), std::string::npos);

  store.NoteMacroUsed("gamma");
  EXPECT_EQ(store.RecentMacros().front(), "gamma");
  ASSERT_TRUE(store.Delete(ObjectKind::kMacro, "Beta", false));
  EXPECT_EQ(store.RecentMacros(), (std::vector<std::string>{"gamma", "Alpha"}));
  EXPECT_NE(AppProfileText().find("MacroCount=2\nMacro1=gamma\nMacro2=Alpha\n"), std::string::npos);
  auto delta = std::make_shared<FakeObject>(ObjectKind::kMacro, "Delta");
  delta->modified = true;
  ASSERT_TRUE(store.Add(delta, true));
  EXPECT_EQ(store.RecentMacros().front(), "Delta");
  EXPECT_TRUE(std::filesystem::exists(data_ + "Delta.mac"));
  EXPECT_EQ(menuRebuilds, 3);

  // A huge count cannot make reading run long: only keys that exist count.
  WriteFile(root_ + "/Corvina.ini", "[RecentMacrosList]\nMacroCount=2000000000\nMacro1=Alpha\n");
  CCorvinaPersistentData& again = NewStore();
  RegisterFake(again, ObjectKind::kMacro);
  ASSERT_TRUE(again.LoadAll());
  EXPECT_EQ(again.RecentMacros().front(), "Alpha");
  EXPECT_EQ(again.RecentMacros().size(), 3u);
}

TEST(DataFolder, FromTheDataPathSetting) {
  EXPECT_EQ(DataFolderFromSetting("", "/home/u"), "/home/u/");
  EXPECT_EQ(DataFolderFromSetting("/srv/corvina/Corvina.dat", "/home/u"), "/srv/corvina/");
  EXPECT_EQ(DataFolderFromSetting("/srv/data", "/home/u"), "/srv/");
  EXPECT_EQ(DataFolderFromSetting("/srv/data/", "/home/u"), "/srv/data/");
  EXPECT_EQ(DataFolderFromSetting("data", "/home/u"), "/home/u/data/");
  EXPECT_EQ(DataFolderFromSetting("sub/file", "/home/u/"), "/home/u/sub/");
}

TEST(WorkingProfile, CopyingBackKeepsTheStoredFileAndUseCount) {
  CCorvinaSessionProfile stored;
  stored.name = "a:b";
  stored.fileName = "a b (2).tsp";
  stored.connectedSessions = 2;
  CCorvinaSessionProfile working = stored;
  working.fileName.clear();
  working.connectedSessions = 0;
  working.host = "new.example";
  working.modified = true;
  stored.AssignSettings(working);
  EXPECT_EQ(stored.host, "new.example");
  EXPECT_TRUE(stored.modified);
  EXPECT_EQ(stored.fileName, "a b (2).tsp");
  EXPECT_EQ(stored.connectedSessions, 2);
}

}  // namespace
}  // namespace corvina
