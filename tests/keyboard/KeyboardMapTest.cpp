#include "keyboard/KeyboardMap.h"

#include <gtest/gtest.h>

#include <set>

#include "config/Archive.h"
#include "config/ObjectFileName.h"
#include "config/SessionProfile.h"
#include "keyboard/KeyFunctions.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"

namespace corvina {
namespace {

using platform::Answer;

KeyCode Key(std::string_view text) {
  const std::optional<KeyCode> key = ParseKeyText(text);
  EXPECT_TRUE(key) << text;
  return key.value_or(KeyCode{});
}

CCorvinaKeyboardMap Read(const std::string& text) {
  platform::IniFile ini;
  ini.SetText(text);
  CCorvinaKeyboardMap map;
  EXPECT_TRUE(map.ReadFrom(ini)) << text;
  return map;
}

std::string Written(const CCorvinaKeyboardMap& map) {
  platform::IniFile ini;
  map.WriteTo(ini);
  return ini.Text();
}

// Little-endian archive bytes.
struct Bytes {
  std::string b;
  Bytes& U8(std::uint8_t v) { return b += static_cast<char>(v), *this; }
  Bytes& U16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  Bytes& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Bytes& Text(const std::string& s) { return U8(static_cast<std::uint8_t>(s.size())), b += s, *this; }
  CArchiveReader Reader() const { return CArchiveReader(std::span(reinterpret_cast<const std::uint8_t*>(b.data()), b.size())); }
};

TEST(KeyboardMapDefaults, EveryFamilyGetsItsWholeLayoutWithoutAKeyBoundTwice) {
  struct Family {
    unsigned type;
    std::size_t terminal, system;
  };
  for (const Family f : {Family{kKind3278, 84, 20}, Family{kKind5250, 76, 20}, Family{kKindVt100, 84, 14}}) {
    SCOPED_TRACE(f.type);
    std::set<std::pair<int, int>> keys;
    for (auto rows : {DefaultTerminalBindings(f.type), DefaultSystemBindings(f.type)}) {
      for (const DefaultBinding& row : rows) {
        const KeyCode key = Key(row.keyText);
        EXPECT_TRUE(keys.insert({key.virtualKey, key.modifiers}).second) << row.keyText << " is bound twice";
      }
    }
    const auto map = CCorvinaKeyboardMap::CreateDefault(f.type);
    EXPECT_EQ(map->Bindings().size(), f.terminal + f.system);
    EXPECT_EQ(map->name, map->DefaultLayoutName());
  }
  const CCorvinaKeyboardMap& map3270 = CCorvinaKeyboardMap::BuiltIn(kKind3279);
  EXPECT_EQ(map3270.TargetOf(Key("Shift+F1")), kf::ibm3270::kPF13);
  EXPECT_EQ(map3270.TargetOf(Key("RightCtrl")), kf::ibm3270::kEnter);
  EXPECT_EQ(map3270.TargetOf(Key("LeftCtrl")), kf::ibm3270::kReset);
  EXPECT_EQ(map3270.TargetOf(Key("Ctrl+C")), kf::sys::kEditCopy);
  // Ctrl letters belong to a VT host.
  EXPECT_EQ(CCorvinaKeyboardMap::BuiltIn(kKindVt220).TargetOf(Key("Ctrl+C")), -1);
  EXPECT_EQ(CCorvinaKeyboardMap::BuiltIn(kKindVt220).TargetOf(Key("Ctrl+Space")), kf::vt::kNull);
  EXPECT_EQ(CCorvinaKeyboardMap::BuiltIn(kKind5250).TargetOf(Key("NumEnter")), kf::ibm5250::kFieldExit);
}

TEST(KeyboardMapFile, BindingsReadAsTheFileGivesThem) {
  // One character binding is a layout of its own: no defaults are added.
  const CCorvinaKeyboardMap onlyA = Read("[Keyboard Map]\nName=A only\nType=3270\nChar65=F1\n");
  EXPECT_EQ(onlyA.Bindings().size(), 1u);
  EXPECT_EQ(onlyA.TargetOf(Key("F1")), 'A');
  EXPECT_EQ(onlyA.FindBinding(Key("F1"))->category, kBindCharacter);
  EXPECT_FALSE(onlyA.modified);
  // No binding at all gets the whole built-in layout.
  EXPECT_EQ(Read("[Keyboard Map]\nName=Empty\nType=5250\n").Bindings().size(), 96u);

  // Only the first ":" of a script binding splits: the drive colon stays in the file name.
  const CCorvinaKeyboardMap scripts = Read(
      "[Keyboard Map]\nName=S\nType=VT100\nScript_1=Ctrl+F1:C:\\scripts\\logon.txt\nScript_2=Bad+Key:x.txt\n"
      "Script_3=Shift+F2:y.txt\nScript_5=Shift+F3:never.txt\n");
  const KeyBinding* script = scripts.FindBinding(Key("Ctrl+F1"));
  ASSERT_NE(script, nullptr);
  EXPECT_EQ(script->target, kf::kRunScript);
  EXPECT_EQ(script->text, "C:\\scripts\\logon.txt");
  EXPECT_EQ(scripts.TargetOf(Key("Shift+F2")), kf::kRunScript);
  EXPECT_EQ(scripts.TargetOf(Key("Shift+F3")), -1);  // numbering ended at the missing Script_4

  // A later binding of one key wins, however the file spells the modifiers.
  const CCorvinaKeyboardMap twice = Read("[Keyboard Map]\nName=T\nType=3270\nPF1=Alt+Shift+F1\nPF2=Shift+Alt+F1\n");
  EXPECT_EQ(twice.Bindings().size(), 1u);
  EXPECT_EQ(twice.TargetOf(Key("Shift+Alt+F1")), kf::ibm3270::kPF2);

  // Macro names may hold ":"; key texts never do.
  const CCorvinaKeyboardMap macros = Read("[Keyboard Map]\nName=M\nType=3270\nMacro_1=Log:on:Alt+L\nmacro_2=x:ctrl+F1\n");
  EXPECT_EQ(macros.FindBinding(Key("Alt+L"))->text, "Log:on");
  EXPECT_EQ(macros.Bindings().size(), 1u);  // key texts are case-sensitive

  platform::IniFile bad;
  CCorvinaKeyboardMap map;
  for (const char* text : {"[Keyboard Map]\nType=3270\n", "[Keyboard Map]\nName=x\nType=3279\n",
                           "[Keyboard Map]\nName=x\n"}) {
    bad.SetText(text);
    EXPECT_FALSE(map.ReadFrom(bad)) << text;
  }
}

TEST(KeyboardMapFile, WritesWhatReadsBackAndOnlyTheSectionsItHas) {
  CCorvinaKeyboardMap map("a/b", kKind3279);
  ASSERT_TRUE(map.AddBinding({'A', {}, Key("F1"), kBindCharacter}, false, false, nullptr));
  ASSERT_TRUE(map.AddBinding({'A', {}, Key("Shift+F1"), kBindCharacter}, false, false, nullptr));
  ASSERT_TRUE(map.AddBinding({kf::kPlayMacro, "Log:on", Key("Alt+L"), kBindMacro}, false, false, nullptr));
  ASSERT_TRUE(map.AddBinding({kf::kRunScript, "C:\\a.txt", Key("Ctrl+F2"), kBindScript}, false, false, nullptr));
  ASSERT_TRUE(map.AddBinding({kf::ibm3270::kEnter, {}, Key("RightCtrl"), kBindTerminal}, false, false, nullptr));
  ASSERT_TRUE(map.AddBinding({kf::ibm3270::kEnter, {}, Key("NumEnter"), kBindTerminal}, false, false, nullptr));
  EXPECT_EQ(ObjectFileName(map.name, "tkm"), "a b.tkm");
  EXPECT_EQ(map.FileName(), "a b.tkm");
  const std::string text = Written(map);
  // Two bindings of one character make one key.
  EXPECT_NE(text.find("\nChar65=F1:Shift+F1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nEnter=NumEnter:RightCtrl\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nMacro_1=Log:on:Alt+L\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nScript_1=Ctrl+F2:C:\\a.txt\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Control Sequences"), std::string::npos) << text;  // a 3270 map never has one
  EXPECT_EQ(Read(text).Bindings(), map.Bindings());

  CCorvinaKeyboardMap vt("vt", kKindVt100);
  ASSERT_TRUE(vt.AddBinding({kf::vt::kPF1, {}, Key("F1"), kBindTerminal}, false, false, nullptr));
  EXPECT_EQ(Written(vt).find("Control Sequences"), std::string::npos);
  vt.SetControlSequence(kf::vt::kPF1, std::string("\x1bOP\xff", 4));
  vt.SetControlSequence(kf::vt::kUDK1, std::string("x y"));
  const std::string vtText = Written(vt);
  EXPECT_NE(vtText.find("[Control Sequences]\nPF1=^[OP0xff\nUDK1=x0x20y\n"), std::string::npos) << vtText;
  const CCorvinaKeyboardMap back = Read(vtText);
  EXPECT_EQ(back.ControlSequence(kf::vt::kPF1, false), std::string("\x1bOP\xff", 4));
  EXPECT_EQ(back.ControlSequence(kf::vt::kPF1, true), "\x1bP");  // VT52 cannot be replaced
  EXPECT_EQ(back.ControlSequence(kf::vt::kUDK1, false), "x y");
  EXPECT_EQ(back.ControlSequence(kf::vt::kUDK2, false), std::nullopt);
  EXPECT_EQ(back.ControlSequence(kf::vt::kNull, false), std::string(1, '\0'));
  vt.SetControlSequence(kf::vt::kPF1, std::nullopt);
  vt.SetControlSequence(kf::vt::kUDK1, std::string());
  EXPECT_EQ(Written(vt).find("Control Sequences"), std::string::npos);
  EXPECT_EQ(CCorvinaKeyboardMap::BuiltIn(kKind3278).ControlSequence(kf::vt::kPF1, false), std::nullopt);
}

TEST(KeyboardMapLegacy, CountsAndCodesFromOldArchivesAreBounded) {
  // A count far beyond what the archive holds fails before anything is read.
  Bytes huge;
  huge.Text("Old").U32(1).U32(0x40000000);
  CArchiveReader hugeReader = huge.Reader();
  EXPECT_THROW(ReadLegacyKeyboardMap(hugeReader), CArchiveError);

  Bytes old;
  old.Text("Old").U32(1);  // old code 1: a 3279
  old.U32(2).U16('1').U8(kModAlt).U32(kf::sys::kHostSession1).U16(0x0170).U8(0).U32(kf::sys::kHostExit);
  old.U32(5);
  old.U16(0x0170).U8(0).U32(kf::ibm3270::kPF1);  // key code 0x170: never indexed
  old.U16(0x70).U8(0xF0).U32(kf::ibm3270::kPF1);  // unknown modifier bits go
  old.U16(0x71).U8(0).U32(123456);                // no such function
  old.U16(0x72).U8(0).U32(kf::kRunScript).Text("C:\\s.txt");
  old.U16(0x73).U8(0).U32('x');
  CArchiveReader reader = old.Reader();
  const auto map = ReadLegacyKeyboardMap(reader);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(reader.Remaining(), 0u);
  EXPECT_EQ(map->TypeCode(), kKind3278);
  EXPECT_TRUE(map->modified);
  EXPECT_EQ(map->Bindings().size(), 4u);
  EXPECT_EQ(map->TargetOf(Key("Alt+1")), kf::sys::kHostSession1);
  EXPECT_EQ(map->TargetOf(Key("F1")), kf::ibm3270::kPF1);
  EXPECT_EQ(map->FindBinding(Key("F3"))->text, "C:\\s.txt");
  EXPECT_EQ(map->TargetOf(Key("F4")), 'x');
  EXPECT_EQ(map->TargetOf(KeyCode{0x170, 0}), -1);
}

TEST(KeyboardMapEditing, AddingFollowsTheKeyAndConflictRules) {
  platform::RecordingUserInterface ui;
  CCorvinaKeyboardMap map("m", kKind3278);
  auto add = [&](int target, std::string_view key, std::uint8_t category, std::string text = {}) {
    return map.AddBinding({target, std::move(text), Key(key), category}, true, true, &ui);
  };
  EXPECT_FALSE(add(kf::ibm3270::kCursorMove, "F5", kBindTerminal));
  EXPECT_EQ(ui.boxes.back().text, "The 'CursorMove' function is a mouse-only function.");
  EXPECT_TRUE(add(kf::ibm3270::kCursorMove, "MouseLeftClick", kBindTerminal));

  EXPECT_TRUE(add(kf::ibm3270::kReset, "LeftCtrl", kBindTerminal));
  ui.queued.push_back(Answer::No);
  EXPECT_FALSE(add(kf::ibm3270::kEnter, "RightCtrl", kBindTerminal));
  EXPECT_EQ(ui.boxes.back().text,
            "Warning: configuring both Ctrl keys may preclude\nthe use of other Ctrl key functions.\n\nContinue anyway?");
  ui.queued.push_back(Answer::Yes);
  EXPECT_TRUE(add(kf::ibm3270::kEnter, "RightCtrl", kBindTerminal));
  EXPECT_FALSE(add('c', "Ctrl+F1", kBindCharacter));  // both Ctrl keys bound: asked, default No
  EXPECT_EQ(ui.boxes.back().text,
            "Warning: both Ctrl keys are already configured.\nThis selection may be inoperative.\n\nContinue anyway?");

  EXPECT_TRUE(add(kf::ibm3270::kAttn, "LeftAlt", kBindTerminal));
  EXPECT_FALSE(add(kf::ibm3270::kAttn, "RightAlt", kBindTerminal));
  EXPECT_EQ(ui.boxes.back().text, "Cannot configure both Alt keys.");

  EXPECT_TRUE(add(kf::kPlayMacro, "F2", kBindMacro, "Logon"));
  const std::size_t asked = ui.boxes.size();
  EXPECT_TRUE(add(kf::kPlayMacro, "F2", kBindMacro, "Logon"));  // the same target: no question
  EXPECT_EQ(ui.boxes.size(), asked);
  ui.queued.push_back(Answer::No);
  EXPECT_FALSE(add(kf::kRunScript, "F2", kBindScript, "x.txt"));
  EXPECT_EQ(ui.boxes.back().text,
            "The 'F2' key is already assigned to the 'Macro: Logon' function.\n"
            "Do you want to replace the existing assignment?");
  EXPECT_EQ(map.FindBinding(Key("F2"))->text, "Logon");
  ui.queued.push_back(Answer::Yes);
  EXPECT_TRUE(add(kf::kRunScript, "F2", kBindScript, "x.txt"));
  EXPECT_EQ(map.FindBinding(Key("F2"))->category, kBindScript);
  EXPECT_EQ(map.Bindings().size(), 5u);

  EXPECT_FALSE(map.AddBinding({'z', {}, KeyCode{0x100, 0}, kBindCharacter}, false, false, nullptr));
}

TEST(KeyboardMapEditing, TheTypeKeyDialogRefusesReservedKeys) {
  EXPECT_EQ(TypedKeyProblem(Key("Shift+F1")), "");
  EXPECT_EQ(TypedKeyProblem(Key("Alt+PrtScr")), "");
  EXPECT_EQ(TypedKeyProblem(Key("Ctrl+Alt+F1")), "");
  EXPECT_EQ(TypedKeyProblem(KeyCode{kVkControl, kModCtrl | kModShift}),
            "That key selection is invalid.\nPlease choose another.");
  EXPECT_EQ(TypedKeyProblem(Key("Ctrl+PrtScr")), "The key you have chosen is not configurable. Reason: 'Used by Windows'");
  EXPECT_EQ(TypedKeyProblem(Key("Alt+M")), "The key you have chosen is not configurable. Reason: 'Macros menu'");
  EXPECT_EQ(TypedKeyProblem(Key("Shift+Alt+Space")), "The key you have chosen is not configurable. Reason: 'System menu'");
  EXPECT_EQ(TypedKeyProblem(Key("Ctrl+Esc")), "The key you have chosen is not configurable. Reason: 'Used by Windows'");
  EXPECT_EQ(TypedKeyProblem(Key("Ctrl+Alt+Del")), "The key you have chosen is not configurable. Reason: 'Used by Windows'");
  EXPECT_EQ(TypedKeyProblem(Key("Shift+Num5")), "The key you have chosen is not configurable. Reason: 'Not configurable'");
}

TEST(KeyboardMapEditing, ResetsBringTheBuiltInKeysBack) {
  auto map = CCorvinaKeyboardMap::CreateDefault(kKind3279);
  map->RemoveBindingsOf(kf::ibm3270::kEnter);
  ASSERT_TRUE(map->AddBinding({'q', {}, Key("Enter"), kBindCharacter}, false, false, nullptr));
  ASSERT_TRUE(map->AddBinding({kf::kPlayMacro, "M", Key("Alt+Q"), kBindMacro}, false, false, nullptr));
  EXPECT_EQ(map->AssignmentText(kf::ibm3270::kEnter), "");
  map->ResetEntry(kBindTerminal, kf::ibm3270::kEnter);
  EXPECT_EQ(map->AssignmentText(kf::ibm3270::kEnter), "Enter, NumEnter, RightCtrl");
  map->ResetCategory(kBindMacro);
  EXPECT_EQ(map->TargetOf(Key("Alt+Q")), -1);
  map->RemoveCategory(kBindSystem);
  EXPECT_EQ(map->TargetOf(Key("Alt+F4")), -1);
  map->ResetCategory(kBindSystem);
  EXPECT_EQ(map->TargetOf(Key("Alt+F4")), kf::sys::kHostExit);
  map->ResetAll();
  EXPECT_EQ(map->Bindings(), CCorvinaKeyboardMap::BuiltIn(kKind3278).Bindings());
}

}  // namespace
}  // namespace corvina
