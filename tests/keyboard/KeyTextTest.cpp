#include "keyboard/KeyText.h"

#include <gtest/gtest.h>

#include <string>

namespace corvina {
namespace {

KeyCode Key(std::uint16_t vk, std::uint8_t mods = 0) { return KeyCode{vk, mods}; }

TEST(PcKeys, TableShapeAndLayout) {
  auto table = PcKeyTable();
  ASSERT_EQ(table.size(), 122u);
  EXPECT_EQ(table.front().name, "MouseLeftClick");
  EXPECT_EQ(table.back().name, "Appl");
  int characterRows = 0;
  for (const PcKeyRow& row : table) {
    if (row.virtualKey != 0) continue;
    ++characterRows;
    const std::uint16_t vk = VirtualKeyOfScanCode(row.scanCode);
    EXPECT_NE(vk, 0) << row.name;
    EXPECT_EQ(ScanCodeOfVirtualKey(vk), row.scanCode) << row.name;
  }
  EXPECT_EQ(characterRows, 48);
  EXPECT_EQ(VirtualKeyOfScanCode(0x1E), 'A');
  EXPECT_EQ(VirtualKeyOfScanCode(0x39), 0x20);
  EXPECT_EQ(ScanCodeOfVirtualKey(0x70), 0);  // F1 is a named key
}

TEST(KeyTextFormat, ModifiersComeInFixedOrder) {
  EXPECT_EQ(FormatKeyText(Key(0x09, kModAlt | kModCtrl | kModShift)), "Shift+Ctrl+Alt+Tab");
  EXPECT_EQ(FormatKeyText(Key(0x09, kModCtrl | kModShift)), "Shift+Ctrl+Tab");
  EXPECT_EQ(FormatKeyText(Key(0x70)), "F1");
  EXPECT_EQ(FormatKeyText(Key(0x73, kModAlt)), "Alt+F4");
}

TEST(KeyTextFormat, ExtendedBitChoosesTheGreyKey) {
  EXPECT_EQ(FormatKeyText(Key(0x23, kModShift | kModExtended)), "Shift+End");
  EXPECT_EQ(FormatKeyText(Key(0x23, kModShift)), "Shift+NumEnd");
  EXPECT_EQ(FormatKeyText(Key(0x0D, kModExtended)), "NumEnter");
  EXPECT_EQ(FormatKeyText(Key(kVkControl, kModCtrl | kModExtended)), "RightCtrl");
  EXPECT_EQ(FormatKeyText(Key(kVkControl, kModCtrl)), "LeftCtrl");
  EXPECT_EQ(FormatKeyText(Key(kVkAlt, kModAlt | kModExtended)), "RightAlt");
  EXPECT_EQ(FormatKeyText(Key(kVkShift, kModShift)), "Shift");
  EXPECT_EQ(FormatKeyText(Key(kVkMouseLeft, kModExtended)), "MouseLeftDoubleClick");
  EXPECT_EQ(FormatKeyText(Key(kVkMouseMiddle, kModShift)), "Shift+MouseMiddleClick");
}

TEST(KeyTextFormat, CharacterKeysAndUnnamedKeys) {
  EXPECT_EQ(FormatKeyText(Key('A', kModCtrl)), "Ctrl+A");
  EXPECT_EQ(FormatKeyText(Key('1', kModAlt)), "Alt+1");
  EXPECT_EQ(FormatKeyText(Key(0xBA)), ";");
  EXPECT_EQ(FormatKeyText(Key(0xDC)), "\\");
  EXPECT_EQ(FormatKeyText(Key(0x20, kModCtrl)), "Ctrl+Space");
  EXPECT_EQ(FormatKeyText(Key(0xFF, kModCtrl)), "");
  EXPECT_EQ(FormatKeyText(Key(0)), "");
}

TEST(KeyTextParse, NamesAreCaseSensitive) {
  EXPECT_EQ(ParseKeyText("ctrl+F1"), std::nullopt);
  EXPECT_EQ(ParseKeyText("Ctrl+f1"), std::nullopt);
  EXPECT_EQ(ParseKeyText("Ctrl+F1"), Key(0x70, kModCtrl));
  EXPECT_EQ(ParseKeyText("Shift+Ctrl+Tab"), Key(0x09, kModShift | kModCtrl));
  EXPECT_EQ(ParseKeyText("Alt+Shift+Del"), Key(0x2E, kModShift | kModAlt | kModExtended));
  EXPECT_EQ(ParseKeyText("Ctrl+A"), Key('A', kModCtrl));
  EXPECT_EQ(ParseKeyText("Space"), Key(0x20));
  EXPECT_EQ(ParseKeyText("MouseRightDoubleClick"), Key(kVkMouseRight, kModExtended));
}

TEST(KeyTextParse, LoneModifierWordIsTheKeyItself) {
  EXPECT_EQ(ParseKeyText("Shift"), Key(kVkShift, 0));
  EXPECT_EQ(ParseKeyText("Ctrl"), Key(kVkControl, kModCtrl));
  EXPECT_EQ(ParseKeyText("Alt"), Key(kVkAlt, kModAlt));
  EXPECT_EQ(FormatKeyText(*ParseKeyText("Ctrl")), "LeftCtrl");
  EXPECT_EQ(ParseKeyText("RightCtrl"), Key(kVkControl, kModCtrl | kModExtended));
  EXPECT_EQ(ParseKeyText("Shift+Ctrl"), Key(kVkControl, kModShift | kModCtrl));
}

TEST(KeyTextParse, Failures) {
  EXPECT_EQ(ParseKeyText(""), std::nullopt);
  EXPECT_EQ(ParseKeyText("Ctrl+"), std::nullopt);
  EXPECT_EQ(ParseKeyText("+"), std::nullopt);
  EXPECT_EQ(ParseKeyText("+F1"), std::nullopt);
  EXPECT_EQ(ParseKeyText("F13"), std::nullopt);
  EXPECT_EQ(ParseKeyText("Ctrl+F1+Alt"), std::nullopt);
  EXPECT_EQ(ParseKeyText("F1+Ctrl"), std::nullopt);
  EXPECT_EQ(ParseKeyText("Ctrl+ F1"), std::nullopt);
}

TEST(KeyTextParse, EveryNamedKeyRoundTrips) {
  for (const PcKeyRow& row : PcKeyTable()) {
    const std::uint16_t vk = row.virtualKey ? row.virtualKey : VirtualKeyOfScanCode(row.scanCode);
    if (vk == kVkShift || vk == kVkControl || vk == kVkAlt) continue;
    // The second NumLock row reads back as the first one.
    if (row.virtualKey == 0x90) continue;
    for (std::uint8_t mods = 0; mods < 8; ++mods) {
      const KeyCode key{vk, static_cast<std::uint8_t>(mods | (row.extended ? kModExtended : 0))};
      const std::string text = FormatKeyText(key);
      EXPECT_EQ(ParseKeyText(text), key) << text;
    }
  }
}

TEST(ControlSequence, Format) {
  EXPECT_EQ(FormatControlSequence("\x1b[A"), "^[[A");
  EXPECT_EQ(FormatControlSequence(" "), "0x20");
  EXPECT_EQ(FormatControlSequence("\x7f"), "^?");
  EXPECT_EQ(FormatControlSequence(std::string_view("\0\x1f", 2)), "^@^_");
  EXPECT_EQ(FormatControlSequence("\xff\xf4"), "0xff0xf4");
  EXPECT_EQ(FormatControlSequence("a~!"), "a~!");
  EXPECT_EQ(FormatControlSequence(""), "");
  EXPECT_EQ(FormatControlSequence("\x1b[^"), "^[[^");
}

TEST(ControlSequence, FormatKeepsNotationCharactersUnambiguous) {
  EXPECT_EQ(FormatControlSequence("^A"), "0x5eA");
  EXPECT_EQ(FormatControlSequence("^1"), "0x5e1");
  EXPECT_EQ(FormatControlSequence("0x41"), "0x30x41");
  EXPECT_EQ(FormatControlSequence("0X"), "0x30X");
  EXPECT_EQ(FormatControlSequence("00"), "00");
  for (std::string_view bytes : {"^A", "^1", "^?", "0x41", "0xzz", "a^^^"}) {
    EXPECT_EQ(ParseControlSequence(FormatControlSequence(bytes)), bytes) << bytes;
  }
}

TEST(ControlSequence, Parse) {
  EXPECT_EQ(ParseControlSequence("^[[A"), "\x1b[A");
  EXPECT_EQ(ParseControlSequence("^a^z"), "\x01\x1a");
  EXPECT_EQ(ParseControlSequence("^?"), "\x7f");
  EXPECT_EQ(ParseControlSequence("^@"), std::string(1, '\0'));
  EXPECT_EQ(ParseControlSequence("ab^"), "ab^");
  EXPECT_EQ(ParseControlSequence("0x4"), "0x4");
  EXPECT_EQ(ParseControlSequence("0XfF0x20"), "\xff ");
  EXPECT_EQ(ParseControlSequence("x0"), "x0");
  EXPECT_EQ(ParseControlSequence(""), "");
  EXPECT_EQ(ParseControlSequence("^1"), std::nullopt);
  EXPECT_EQ(ParseControlSequence("^`"), std::nullopt);
  EXPECT_EQ(ParseControlSequence("^\xe1"), std::nullopt);
  EXPECT_EQ(ParseControlSequence("0x4g"), std::nullopt);
  EXPECT_EQ(ParseControlSequence("0xg4"), std::nullopt);
}

TEST(ControlSequence, LengthLimitAndRoundTrip) {
  EXPECT_TRUE(ParseControlSequence(std::string(255, 'a')).has_value());
  EXPECT_EQ(ParseControlSequence(std::string(256, 'a')), std::nullopt);
  EXPECT_EQ(ParseControlSequence(std::string(255, 'a') + "^["), std::nullopt);
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string first(all, 0, 128), second(all, 128);
  EXPECT_EQ(ParseControlSequence(FormatControlSequence(first)), first);
  EXPECT_EQ(ParseControlSequence(FormatControlSequence(second)), second);
}

}  // namespace
}  // namespace corvina
