// Toolbars, colour schemes and what the settings store does with every kind
// of object.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "config/Archive.h"
#include "config/ColorScheme.h"
#include "config/PersistentData.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/StoreKinds.h"
#include "keyboard/Toolbar.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"

namespace corvina {
namespace {

template <typename T>
bool Reads(T& object, const std::string& text) {
  platform::IniFile ini;
  ini.SetText(text);
  return object.ReadFrom(ini);
}

TEST(Toolbar, BuiltInButtonsPressTheirFamilysFunctions) {
  const CCorvinaToolbar standard(kStandardToolbarName, 0);
  EXPECT_EQ(standard.resourceId, 120);
  EXPECT_EQ(standard.buttons.size(), 28u);
  EXPECT_EQ(standard.buttons.front().id, kf::sys::kHostConnect);
  EXPECT_EQ(standard.ButtonLabel(standard.buttons.front()), "Conn");
  const CCorvinaToolbar vt("VT100 Default", kKindVt220);
  EXPECT_EQ(vt.resourceId, 133);
  EXPECT_EQ(vt.buttons.size(), 41u);
  EXPECT_EQ(vt.buttons[9].id, kf::vt::kHomeFind);
  EXPECT_EQ(CCorvinaToolbar("3270 Default", kKind3279).buttons.size(), 54u);
  EXPECT_EQ(CCorvinaToolbar("5250 Default", kKind5250).buttons.size(), 58u);
  EXPECT_EQ(CCorvinaToolbar::Defaults().size(), 4u);
}

TEST(Toolbar, FilesLoseButtonsOfOtherTablesAndOutOfRangeValuesFail) {
  CCorvinaToolbar toolbar;
  const std::string head = "[Toolbar]\nName=Mine\nType=3270\nID=131\nDockable=0\nColumns=4\n";
  ASSERT_TRUE(Reads(toolbar, head + "Buttons=5\nButton_0=PF3,Exit\nButton_1=Separator,label\nButton_2=FieldExit\n"
                                    "Button_3=pa1\nButton_4=HostExit\n"));
  ASSERT_EQ(toolbar.buttons.size(), 3u);  // FieldExit is 5250's, HostExit the standard toolbar's
  EXPECT_EQ(toolbar.buttons[0], (ToolbarButton{kf::ibm3270::kPF3, "Exit"}));
  EXPECT_EQ(toolbar.buttons[1], (ToolbarButton{0, ""}));  // separators never carry labels
  EXPECT_EQ(toolbar.buttons[2].id, kf::ibm3270::kPA1);
  EXPECT_FALSE(toolbar.dockable);
  EXPECT_EQ(toolbar.columns, 4);
  platform::IniFile out;
  toolbar.WriteTo(out);
  CCorvinaToolbar back;
  ASSERT_TRUE(Reads(back, out.Text()));
  EXPECT_EQ(back.buttons, toolbar.buttons);

  // Name, type, ID, Dockable, Columns, Buttons and the first button.
  auto file = [](const char* type, const char* id, const char* dockable, const char* columns, const char* buttons,
                 const char* first) {
    return std::string("[Toolbar]\nName=x\nType=") + type + "\nID=" + id + "\nDockable=" + dockable +
           "\nColumns=" + columns + "\nButtons=" + buttons + "\nButton_0=" + first + "\n";
  };
  CCorvinaToolbar fine;
  EXPECT_TRUE(Reads(fine, file("Standard", "120", "1", "0", "1", "HostExit")));
  EXPECT_EQ(fine.TypeCode(), 0u);
  CCorvinaToolbar failed;
  for (const std::string& text :
       {file("3270", "131", "1", "-1", "1", "PF3"), file("3270", "0", "1", "0", "1", "PF3"),
        file("3270", "131", "2", "0", "1", "PF3"), file("3270", "131", "1", "0", "0", "PF3"),
        file("3270", "131", "1", "0", "100000", "PF3"), file("3270", "131", "1", "999", "1", "PF3"),
        file("3270", "131", "1", "0", "1", "FieldExit"), file("3279", "131", "1", "0", "1", "PF3")}) {
    EXPECT_FALSE(Reads(failed, text)) << text;
  }
}

TEST(ColorScheme, ElementsAndFilesKeepTheDefaultsForWhatIsMissingOrBad) {
  const CCorvinaColorScheme vt("VT100 Default", kKindAnsi);
  EXPECT_EQ(vt.ElementCount(), 20);
  EXPECT_EQ(vt.ElementName(9), "Black");
  EXPECT_EQ(vt.Foreground(9), (Rgb{128, 128, 128}));
  EXPECT_EQ(vt.Colors(99), vt.Colors(0));  // an element the family lacks reads as the uniform one
  EXPECT_EQ(CCorvinaColorScheme("", kKind3278).ElementCount(), 15);
  EXPECT_EQ(CCorvinaColorScheme("", kKind5250Printer).ElementName(11), "Column Separator");

  CCorvinaColorScheme scheme;
  ASSERT_TRUE(Reads(scheme, "[Color Scheme]\nName=Night\nType=3270\nColor_3=1,2,3,4,5,6\nColor_4=1,2,3,4,5,256\n"
                            "Color_5=1,2,3\nColor_6=a,b,c,d,e,f\nColor_99=9,9,9,9,9,9\n"));
  EXPECT_EQ(scheme.Colors(3), (ColorPair{{1, 2, 3}, {4, 5, 6}}));
  EXPECT_EQ(scheme.Colors(4), CCorvinaColorScheme::BuiltIn(kKind3278).Colors(4));
  EXPECT_EQ(scheme.Colors(5), (ColorPair{{255, 255, 255}, {0, 0, 0}}));
  EXPECT_EQ(scheme.Colors(6), (ColorPair{{192, 192, 192}, {0, 0, 0}}));
  EXPECT_EQ(scheme.Values()[7], 0x060504u);
  scheme.ResetElement(3);
  EXPECT_EQ(scheme.Colors(3), (ColorPair{{255, 0, 0}, {0, 0, 0}}));
  EXPECT_FALSE(Reads(scheme, "[Color Scheme]\nName=x\nType=VT220\n"));

  // Old archives: extra values are skipped, missing ones keep the defaults.
  std::string bytes = std::string("\x03Old", 4) + std::string("\x02\0\0\0", 4) + std::string("\x02\0\0\0", 4) +
                      std::string("\x11\x22\x33\xFF", 4) + std::string("\x44\x55\x66\x00", 4);
  CArchiveReader reader(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  const auto old = ReadLegacyColorScheme(reader);
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(old->TypeCode(), kKind5250);
  EXPECT_EQ(old->Colors(0), (ColorPair{{0x11, 0x22, 0x33}, {0x44, 0x55, 0x66}}));
  EXPECT_EQ(old->Colors(1), CCorvinaColorScheme::BuiltIn(kKind5250).Colors(1));
}

class Store : public ::testing::Test {
 protected:
  Store() {
    char tmpl[] = "/tmp/corvina-store-XXXXXX";
    dir_ = std::string(::mkdtemp(tmpl)) + "/";
  }
  ~Store() override { std::filesystem::remove_all(dir_); }
  CCorvinaPersistentData& Load() {
    store_ = std::make_unique<CCorvinaPersistentData>(dir_, profile_, ui_);
    RegisterKeyboardObjects(*store_);
    EXPECT_TRUE(store_->LoadAll());
    return *store_;
  }
  void Write(const std::string& file, const std::string& text) { std::ofstream(dir_ + file) << text; }

  std::string dir_;
  platform::IniFile profile_;
  platform::RecordingUserInterface ui_;
  std::unique_ptr<CCorvinaPersistentData> store_;
};

TEST_F(Store, DefaultObjectsOfEveryKindAndProfilesRepointedToThem) {
  Write("p.tsp", "[Session Profile]\nName=P\nHost=h\nTerminalType=3279,24,80,IBM-3278-2-E\n"
                 "KeyboardMapName=Gone\nColorSchemeName=Night\nKeypadToolbarName=Gone\n");
  Write("night.tcs", "[Color Scheme]\nName=Night\nType=3270\n");
  Write("mine.tkm", "[Keyboard Map]\nName=Mine\nType=3270\nEnter=RightCtrl\n");
  CCorvinaPersistentData& store = Load();
  EXPECT_FALSE(std::filesystem::exists(dir_ + "3270 Default.tkm"));  // not before the first save
  ASSERT_TRUE(store.SaveAll());
  for (const char* name : {"3270 Default", "5250 Default", "VT100 Default"}) {
    EXPECT_NE(store.Find(ObjectKind::kKeyboardMap, name), nullptr) << name;
    EXPECT_NE(store.Find(ObjectKind::kColorScheme, name), nullptr) << name;
    EXPECT_NE(store.Find(ObjectKind::kToolbar, name), nullptr) << name;
    EXPECT_TRUE(std::filesystem::exists(dir_ + name + ".tkm")) << name;
  }
  EXPECT_NE(store.Find(ObjectKind::kToolbar, "Standard"), nullptr);
  auto profile = store.FindProfile("P");
  EXPECT_EQ(profile->keyboardMapName, "3270 Default");  // no map "Gone"
  EXPECT_EQ(profile->keypadToolbarName, "3270 Default");
  EXPECT_EQ(profile->colorSchemeName, "Night");

  // Deleting what a profile names points it at its family's default, saved.
  profile->keyboardMapName = "Mine";
  ASSERT_TRUE(store.Delete(ObjectKind::kKeyboardMap, "MINE", false));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "mine.tkm"));
  EXPECT_EQ(profile->keyboardMapName, "3270 Default");
  ASSERT_TRUE(store.Delete(ObjectKind::kColorScheme, "night", false));
  EXPECT_EQ(profile->colorSchemeName, "3270 Default");
  EXPECT_FALSE(profile->modified);
  platform::IniFile saved(dir_ + "p.tsp");
  ASSERT_TRUE(saved.Load());
  EXPECT_EQ(saved.GetString("Session Profile", "ColorSchemeName"), "3270 Default");

  // A deleted default comes back with the built-in layout at the next start.
  ASSERT_TRUE(store.Delete(ObjectKind::kKeyboardMap, "3270 Default", false));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "3270 Default.tkm"));
  CCorvinaPersistentData& again = Load();
  const auto* map = static_cast<CCorvinaKeyboardMap*>(again.Find(ObjectKind::kKeyboardMap, "3270 Default"));
  ASSERT_NE(map, nullptr);
  EXPECT_TRUE(map->modified);
  EXPECT_EQ(map->Bindings(), CCorvinaKeyboardMap::BuiltIn(kKind3278).Bindings());
  EXPECT_EQ(again.NewNameProblem(ObjectKind::kKeyboardMap, "3270 default"),
            "That name already exists, please choose another.");
  EXPECT_EQ(again.NewNameProblem(ObjectKind::kKeyboardMap, "p"), "");
  Write("x y.tkm", "not a map");
  EXPECT_EQ(again.NewNameProblem(ObjectKind::kKeyboardMap, "x/y"),
            "File \"x y.tkm\" already exists, please choose another name.");
  EXPECT_EQ(again.NewNameProblem(ObjectKind::kColorScheme, "3270 Default"),
            "That name already exists, please choose another.");
}

}  // namespace
}  // namespace corvina

namespace corvina {
namespace {

TEST_F(Store, OldArchivesBringMapsSchemesAndToolbarsAlong) {
  // The fuzz corpus's old archive: one map, one scheme and one toolbar.
  std::ifstream in(CORVINA_SOURCE_DIR "/fuzz/corpus/fuzz_files/settings_archive_objects", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 1u);
  store_ = std::make_unique<CCorvinaPersistentData>(dir_, profile_, ui_);
  RegisterKeyboardObjects(*store_);
  ASSERT_TRUE(store_->ConvertOldSettings(bytes.substr(1))) << (ui_.boxes.empty() ? "" : ui_.boxes.back().text);
  const auto* map = dynamic_cast<CCorvinaKeyboardMap*>(store_->Find(ObjectKind::kKeyboardMap, "Old map"));
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->Bindings().size(), 3u);  // the key above 255 is gone
  EXPECT_EQ(map->FindBinding(*ParseKeyText("F2"))->text, "C:\\x.txt");
  const auto* scheme = dynamic_cast<CCorvinaColorScheme*>(store_->Find(ObjectKind::kColorScheme, "Old colours"));
  ASSERT_NE(scheme, nullptr);
  EXPECT_EQ(scheme->Colors(0), (ColorPair{{0x33, 0x22, 0x11}, {0x66, 0x55, 0x44}}));
  const auto* toolbar = dynamic_cast<CCorvinaToolbar*>(store_->Find(ObjectKind::kToolbar, "Old bar"));
  ASSERT_NE(toolbar, nullptr);
  EXPECT_EQ(toolbar->TypeCode(), kKindVt100);
  EXPECT_EQ(toolbar->resourceId, 133);
  EXPECT_TRUE(toolbar->modified);
}

}  // namespace
}  // namespace corvina
