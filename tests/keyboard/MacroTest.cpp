#include "keyboard/Macro.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "config/PersistentData.h"
#include "config/SessionProfile.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/KeyboardSetup.h"
#include "keyboard/StoreKinds.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"

namespace corvina {
namespace {

using platform::Answer;

std::optional<std::string> Validate(const std::string& text, unsigned type = kKind3278) {
  CCorvinaMacro macro("m", type);
  macro.SetText(text);
  return macro.Validate();
}

TEST(MacroText, RecordingWritesWhatPlaysBack) {
  CCorvinaMacro macro(std::string(), kKind3279);
  EXPECT_EQ(macro.name, "Untitled");
  EXPECT_EQ(macro.TypeCode(), kKind3278);
  macro.Record('A', kKind3279);
  macro.Record('<', kKind3279);
  macro.Record(kf::ibm3270::kPF3, kKind3279);
  EXPECT_EQ(macro.Text(), "A<<<PF3>");
  macro.Record(kf::kCursorTo + 85, kKind3279);
  macro.Record(kf::sys::kHostSession2, 0);
  macro.Record('\r', kKind3279);  // a 3270 field takes no line end
  macro.Record(12345, kKind3279);  // nothing has that number
  EXPECT_EQ(macro.Text(), "A<<<PF3><CursorTo 85><HostSession2>");

  CCorvinaMacro vt(std::string(), kKindVt220);
  vt.Record('\r', kKindVt220);
  vt.Record('>', kKindVt220);
  EXPECT_EQ(vt.Text(), "<^M>>");
  EXPECT_EQ(MacroToken("a>b"), "<a>>b>");

  // The pieces as playback takes them.
  CMacroReader reader("ab<<c<PF3><,,,><a>>b><Enter");
  std::vector<std::pair<MacroPiece::Kind, std::string>> pieces;
  for (MacroPiece p = reader.Next(); p.kind != MacroPiece::kEnd; p = reader.Next()) {
    pieces.emplace_back(p.kind, p.text);
    if (p.kind == MacroPiece::kPause) {
      EXPECT_EQ(p.ticks, 3);
    }
    EXPECT_EQ(p.closed, p.text != "Enter");
  }
  EXPECT_EQ(pieces, (std::vector<std::pair<MacroPiece::Kind, std::string>>{{MacroPiece::kCharacters, "ab<c"},
                                                                           {MacroPiece::kToken, "PF3"},
                                                                           {MacroPiece::kPause, ",,,"},
                                                                           {MacroPiece::kToken, "a>b"},
                                                                           {MacroPiece::kToken, "Enter"}}));
}

TEST(MacroText, TokensResolveOnlyToWhatTheyCanMean) {
  EXPECT_EQ(ResolveMacroToken("pf3", kKind3279, 1920).id, kf::ibm3270::kPF3);
  EXPECT_EQ(ResolveMacroToken("CursorMove 0", kKind3279, 1920).id, kf::kCursorTo);
  EXPECT_EQ(ResolveMacroToken("CursorTo 1919", kKind3279, 1920).id, kf::kCursorTo + 1919);
  EXPECT_EQ(ResolveMacroToken("HostExit", kKind3279, 1920).kind, MacroStep::kSystemCommand);
  // A number means a screen position and nothing else.
  for (const char* token : {"CursorMove 1920", "CursorMove 99999", "CursorMove -1", "CursorMove 1x", "PF1 2",
                            "HostSession1 1", "Enter "}) {
    EXPECT_EQ(ResolveMacroToken(token, kKind3279, 1920).kind, MacroStep::kInvalidName) << token;
  }
  // Raw bytes for VT hosts only, and only in the notation.
  const MacroStep up = ResolveMacroToken("^[[A0xff", kKindVt100, 1920);
  EXPECT_EQ(up.kind, MacroStep::kControlSequence);
  EXPECT_EQ(up.bytes, "\x1b[A\xff");
  EXPECT_EQ(ResolveMacroToken("^[[A", kKind3279, 1920).kind, MacroStep::kInvalidName);
  EXPECT_EQ(ResolveMacroToken("Entr", kKindVt100, 1920).kind, MacroStep::kInvalidName);
  EXPECT_EQ(ResolveMacroToken("^[[A", kKindVt100, 1920).name, "^[[A");

  EXPECT_EQ(Validate("A<<<PF3><,,,><CursorMove 0><HostExit>"), std::nullopt);
  EXPECT_EQ(Validate("<,x>"), "Invalid pause command in macro: <,x>");
  EXPECT_EQ(Validate("x<CursorMove 99999>"), "Invalid key name in macro: <CursorMove 99999>");
  EXPECT_EQ(Validate("<Frobnicate>"), "Invalid key name in macro: <Frobnicate>");
  EXPECT_EQ(Validate("<Enter"), "Invalid key name in macro: <Enter>");
  EXPECT_EQ(Validate("<^[[A>"), "Invalid key name in macro: <^[[A>");
  EXPECT_EQ(Validate("<^[[A>", kKindVt100), std::nullopt);
}

TEST(MacroFile, RoundTripAndRefusals) {
  CCorvinaMacro macro("Log on", kKind5250);
  macro.SetText(" \"quoted\" <Enter> ");
  platform::IniFile ini;
  macro.WriteTo(ini);
  CCorvinaMacro back;
  ASSERT_TRUE(back.ReadFrom(ini));
  EXPECT_EQ(back.name, "Log on");
  EXPECT_EQ(back.TypeCode(), kKind5250);
  EXPECT_EQ(back.Text(), macro.Text());
  EXPECT_EQ(back.FileName(), "Log on.mac");
  for (const char* text : {"[Macro]\nType=3270\nData=x\n", "[Macro]\nName=x\nType=3278\nData=x\n"}) {
    ini.SetText(text);
    EXPECT_FALSE(back.ReadFrom(ini)) << text;
  }
}

class MacroStore : public ::testing::Test {
 protected:
  MacroStore() {
    char tmpl[] = "/tmp/corvina-macro-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    store_ = std::make_unique<CCorvinaPersistentData>(dir_ + "/", profile_, ui_);
    RegisterKeyboardObjects(*store_);
    EXPECT_TRUE(store_->LoadAll());
  }
  ~MacroStore() override { std::filesystem::remove_all(dir_); }
  std::shared_ptr<CCorvinaMacro> Macro(const std::string& text, unsigned type = kKind3278) {
    auto m = std::make_shared<CCorvinaMacro>(std::string(), type);
    m->SetText(text);
    return m;
  }

  std::string dir_;
  platform::IniFile profile_;
  platform::RecordingUserInterface ui_;
  std::unique_ptr<CCorvinaPersistentData> store_;
};

TEST_F(MacroStore, NamingAskBeforeReplacingAndNeverTakesAnotherFile) {
  ASSERT_EQ(SaveNewMacro(*store_, Macro("one"), "Logon", ui_), MacroNaming::kSaved);
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/Logon.mac"));
  EXPECT_EQ(store_->RecentMacros(), std::vector<std::string>{"Logon"});

  EXPECT_EQ(SaveNewMacro(*store_, Macro("two"), "LOGON", ui_), MacroNaming::kChooseAnother);
  EXPECT_EQ(ui_.boxes.back().text, "That name already exists, do you want to replace it?");
  EXPECT_EQ(static_cast<CCorvinaMacro*>(store_->Find(ObjectKind::kMacro, "logon"))->Text(), "one");
  ui_.queued.push_back(Answer::Yes);
  ASSERT_EQ(SaveNewMacro(*store_, Macro("two"), "LOGON", ui_), MacroNaming::kSaved);
  EXPECT_EQ(static_cast<CCorvinaMacro*>(store_->Find(ObjectKind::kMacro, "logon"))->Text(), "two");
  EXPECT_EQ(store_->Objects(ObjectKind::kMacro).size(), 1u);

  std::filesystem::create_directory(dir_ + "/a b.mac");
  EXPECT_EQ(SaveNewMacro(*store_, Macro("x"), "a:b", ui_), MacroNaming::kChooseAnother);
  EXPECT_EQ(ui_.boxes.back().text, "File \"a b.mac\" already exists, please choose another name.");
  EXPECT_EQ(SaveNewMacro(*store_, Macro("x"), "", ui_), MacroNaming::kChooseAnother);
  EXPECT_EQ(ui_.boxes.back().text, "Please type a name for the item you want to save.");
}

TEST_F(MacroStore, MenusOfferTheFamilysMacrosInRecentOrder) {
  const CCorvinaKeyboardMap& map3270 = static_cast<CCorvinaKeyboardMap&>(*store_->Find(ObjectKind::kKeyboardMap, "3270 Default"));
  auto empty = BuildMacroMenus(*store_, &map3270);
  for (const auto& menu : empty) {
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0].text, "(Empty)");
    EXPECT_FALSE(menu[0].enabled);
  }
  for (int i = 1; i <= 11; ++i) SaveNewMacro(*store_, Macro("x"), "M" + std::to_string(i), ui_);
  SaveNewMacro(*store_, Macro("x", kKindVt100), "VT", ui_);
  auto* map = static_cast<CCorvinaKeyboardMap*>(store_->Find(ObjectKind::kKeyboardMap, "3270 Default"));
  map->AddBinding({kf::kPlayMacro, "M11", *ParseKeyText("Alt+F11"), kBindMacro}, false, false, nullptr);
  const auto menus = BuildMacroMenus(*store_, map);
  ASSERT_EQ(menus[0].size(), 10u);
  EXPECT_EQ(menus[0][0].text, "&1 M11\tAlt+F11");
  EXPECT_EQ(menus[0][0].command, 33340);
  EXPECT_EQ(menus[2][0].text, "&1 M11");  // Delete shows no key
  EXPECT_EQ(menus[3][8].text, "&9 M3");
  EXPECT_EQ(menus[3][9].text, "&More Macros...");
  EXPECT_EQ(menus[3][9].command, 33379);
  EXPECT_EQ(MacrosOfFamily(*store_, kKindVt220), std::vector<std::string>{"VT"});
  EXPECT_EQ(BuildMacroMenus(*store_, nullptr)[0][0].text, "(Empty)");
}

}  // namespace
}  // namespace corvina

namespace corvina {
namespace {

TEST_F(MacroStore, TheSetupDialogsListsAndTheEditorsKeysComeFromTheMap) {
  auto* map = static_cast<CCorvinaKeyboardMap*>(store_->Find(ObjectKind::kKeyboardMap, "3270 Default"));
  SaveNewMacro(*store_, Macro("x"), "Logon", ui_);
  SaveNewMacro(*store_, Macro("x", kKindVt100), "Other", ui_);
  map->AddBinding({kf::kPlayMacro, "Logon", *ParseKeyText("Alt+L"), kBindMacro}, false, false, nullptr);
  map->AddBinding({kf::kRunScript, "a.txt", *ParseKeyText("Alt+1"), kBindScript}, false, false, nullptr);
  map->AddBinding({kf::kRunScript, "a.txt", *ParseKeyText("Alt+2"), kBindScript}, false, false, nullptr);
  EXPECT_EQ(KeyboardSetupTitle(*map), "Keyboard Setup [3270 Default] - Corvina");

  const auto terminal = KeyboardSetupRows(*map, kBindTerminal, store_.get());
  EXPECT_EQ(terminal.size(), 66u);  // CursorTo is never offered
  EXPECT_EQ(terminal[0].label, "Attn");
  EXPECT_EQ(terminal[0].assignment, "Alt+A");
  const auto characters = KeyboardSetupRows(*map, kBindCharacter, store_.get());
  ASSERT_EQ(characters.size(), 224u);
  EXPECT_EQ(characters[33].label, "A     (65, 0x41)");
  const auto macros = KeyboardSetupRows(*map, kBindMacro, store_.get());
  ASSERT_EQ(macros.size(), 1u);
  EXPECT_EQ(macros[0].assignment, "Alt+L");
  const auto scripts = KeyboardSetupRows(*map, kBindScript, store_.get());
  ASSERT_EQ(scripts.size(), 2u);
  EXPECT_EQ(scripts[0].label, "<<Select Script File Name>>");
  EXPECT_EQ(scripts[1].assignment, "Alt+1, Alt+2");

  EXPECT_EQ(MacroEditorKeyText(*map, *ParseKeyText("F3")), "<PF3>");
  EXPECT_EQ(MacroEditorKeyText(*map, *ParseKeyText("Ctrl+C")), "<EditCopy>");
  EXPECT_EQ(MacroEditorKeyText(*map, *ParseKeyText("Alt+L")), std::nullopt);
  EXPECT_EQ(MacroEditorKeyText(*map, *ParseKeyText("Q")), std::nullopt);
}

}  // namespace
}  // namespace corvina
