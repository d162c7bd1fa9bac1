#include "keyboard/KeyFunctionTables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "keyboard/KeyFunctions.h"

namespace corvina {
namespace {

TEST(KeyFunctionTables, RowCountsPerKind) {
  EXPECT_EQ(KeyFunctionTable(0).size(), 48u);
  for (unsigned kind : {16u, 17u, 18u}) {
    EXPECT_EQ(KeyFunctionTable(kind).size(), 67u);
    EXPECT_EQ(AidTable(kind).size(), 30u);
  }
  for (unsigned kind : {32u, 34u}) {
    EXPECT_EQ(KeyFunctionTable(kind).size(), 73u);
    EXPECT_EQ(AidTable(kind).size(), 35u);
  }
  for (unsigned kind : {257u, 258u, 259u, 260u}) {
    EXPECT_EQ(KeyFunctionTable(kind).size(), 152u);
    EXPECT_TRUE(AidTable(kind).empty());
  }
  for (unsigned kind : {1u, 19u, 33u, 256u, 261u, 0x110u}) {
    EXPECT_TRUE(KeyFunctionTable(kind).empty()) << kind;
    EXPECT_TRUE(AidTable(kind).empty()) << kind;
    EXPECT_EQ(KeyFunctionIdByName(kind, "Enter"), -1);
  }
  EXPECT_TRUE(AidTable(0).empty());
}

TEST(KeyFunctionTables, IdentifiersAndNamesAreUniqueAndAboveCharacters) {
  for (unsigned kind : {0u, 16u, 32u, 259u}) {
    std::set<int> ids;
    std::set<std::string> names;
    for (const KeyFunctionRow& row : KeyFunctionTable(kind)) {
      EXPECT_GE(row.id, 256);
      EXPECT_TRUE(ids.insert(row.id).second) << kind << " " << row.id;
      EXPECT_TRUE(names.insert(std::string(row.name)).second) << kind << " " << row.name;
    }
  }
}

TEST(KeyFunctionTables, RowsInTableOrder) {
  auto sys = KeyFunctionTable(0);
  EXPECT_EQ(sys.front().name, "HostConnect");
  EXPECT_EQ(sys[12].name, "HostSession1");
  EXPECT_EQ(sys[12].description, "Activate this session\nSession 1\nSess 1");
  EXPECT_EQ(sys.back().id, kf::sys::kPopupMenu);
  EXPECT_TRUE(sys.back().description.empty());

  auto t3270 = KeyFunctionTable(16);
  EXPECT_EQ(t3270.front().id, kf::ibm3270::kAttn);
  EXPECT_EQ(t3270.front().mnemonic, "AQ");
  EXPECT_EQ(t3270.front().description, "Attention Key\nAttention\nAttn");
  EXPECT_EQ(t3270[7].name, "CursorMove");
  EXPECT_TRUE(t3270[7].mnemonic.empty());
  EXPECT_EQ(t3270.back().id, kf::kCursorTo);
  EXPECT_EQ(t3270.back().repeatClass, kRepeatClassHidden);

  const KeyFunctionRow* pf24 = KeyFunctionRowById(17, kf::ibm3270::kPF24);
  ASSERT_NE(pf24, nullptr);
  EXPECT_EQ(pf24->id, 32946);
  EXPECT_EQ(pf24->mnemonic, "o");
  EXPECT_EQ(pf24->description, "PF24 Key\nPF24");

  auto t5250 = KeyFunctionTable(32);
  EXPECT_EQ(t5250[3].name, "CentSign");
  EXPECT_EQ(t5250[3].id, 33030);
  const KeyFunctionRow* rollUp = KeyFunctionRowById(34, 33024);
  ASSERT_NE(rollUp, nullptr);
  EXPECT_EQ(rollUp->name, "RollUp/PageDown");
  EXPECT_EQ(rollUp->mnemonic, "v");

  auto vt = KeyFunctionTable(258);
  EXPECT_EQ(vt.front().name, "Backspace");
  EXPECT_EQ(vt[18].name, "Keypad0");
  EXPECT_EQ(vt[19].name, "Keypad0ApplMode");
  EXPECT_EQ(vt.back().name, "TelnetInterruptProcess");
  for (const KeyFunctionRow& row : vt) EXPECT_EQ(row.repeatClass, 1) << row.name;
  EXPECT_EQ(KeyFunctionName(259, 33161), "F15(Help)");
  EXPECT_EQ(KeyFunctionName(259, 33219), "F60");
  EXPECT_EQ(KeyFunctionRowById(259, 33219)->mnemonic, "Ac");
}

TEST(KeyFunctionTables, OnlyCursorToIsHidden) {
  for (unsigned kind : {0u, 16u, 32u, 259u}) {
    for (const KeyFunctionRow& row : KeyFunctionTable(kind)) {
      EXPECT_EQ(row.repeatClass == kRepeatClassHidden, row.id == kf::kCursorTo) << row.name;
    }
  }
}

TEST(KeyFunctionLookup, ByNameIgnoresCaseAndDependsOnKind) {
  EXPECT_EQ(KeyFunctionIdByName(16, "pf1"), kf::ibm3270::kPF1);
  EXPECT_EQ(KeyFunctionIdByName(16, "Attn"), 32900);
  EXPECT_EQ(KeyFunctionIdByName(32, "ATTN"), 33000);
  EXPECT_EQ(KeyFunctionIdByName(0, "Attn"), -1);
  EXPECT_EQ(KeyFunctionIdByName(0, "hostsession9"), 32009);
  EXPECT_EQ(KeyFunctionIdByName(260, "del(vt220)"), kf::vt::kDelVT220);
  EXPECT_EQ(KeyFunctionIdByName(16, "EditSelectionUp"), kf::kEditSelectionUp);
  EXPECT_EQ(KeyFunctionIdByName(16, ""), -1);
  EXPECT_EQ(KeyFunctionIdByName(16, "PF1 "), -1);
}

TEST(KeyFunctionLookup, ByMnemonicIsExactAndFirstMatch) {
  EXPECT_EQ(KeyFunctionIdByMnemonic(16, "AQ"), 32900);
  EXPECT_EQ(KeyFunctionIdByMnemonic(16, "aq"), -1);
  EXPECT_EQ(KeyFunctionIdByMnemonic(16, "a"), kf::ibm3270::kPF10);
  EXPECT_EQ(KeyFunctionIdByMnemonic(32, "A+"), kf::ibm5250::kFieldPlus);
  EXPECT_EQ(KeyFunctionIdByMnemonic(16, ""), -1);
  EXPECT_EQ(KeyFunctionIdByMnemonic(0, "E"), -1);
  // PF1 comes before F49 in the VT table and shares its mnemonic.
  EXPECT_EQ(KeyFunctionIdByMnemonic(259, "A1"), kf::vt::kPF1);
  EXPECT_EQ(KeyFunctionIdByMnemonic(259, "A5"), kf::vt::kF53);
  EXPECT_EQ(KeyFunctionIdByMnemonic(259, "S1"), kf::vt::kF25);
  EXPECT_EQ(KeyFunctionIdByMnemonic(259, "k"), kf::vt::kF20);
}

TEST(KeyFunctionLookup, ByIdentifierAndDescription) {
  EXPECT_EQ(KeyFunctionName(16, 33302), "EditSelectionUp");
  EXPECT_EQ(KeyFunctionName(0, 33302), "");
  EXPECT_EQ(KeyFunctionName(16, 33000), "");
  EXPECT_EQ(KeyFunctionRowById(32, 33029), nullptr);
  EXPECT_EQ(KeyFunctionDescription(33029), "Record Backspace Key\nRecord Backspace");
  EXPECT_EQ(KeyFunctionDescription(32917), "Home Key\nHome\nHome");
  EXPECT_EQ(KeyFunctionDescription(33021), "Home Key\nHome");
  EXPECT_EQ(KeyFunctionDescription(33127), "Return Key\nReturn");
  EXPECT_EQ(KeyFunctionDescription(32786), "Select a screen font\nScreen font\nFont");
  EXPECT_EQ(KeyFunctionDescription(33382), "");
  EXPECT_EQ(KeyFunctionDescription(33302), "");
}

TEST(KeyFunctionLookup, AidsOf3270) {
  EXPECT_EQ(AidOfKeyFunction(16, kf::ibm3270::kPF1), 0xF1);
  EXPECT_EQ(AidOfKeyFunction(17, kf::ibm3270::kPF12), 0x7C);
  EXPECT_EQ(AidOfKeyFunction(18, kf::ibm3270::kPF13), 0xC1);
  EXPECT_EQ(AidOfKeyFunction(16, kf::ibm3270::kPF24), 0x4C);
  EXPECT_EQ(AidOfKeyFunction(16, kf::ibm3270::kPA3), 0x6B);
  EXPECT_EQ(AidOfKeyFunction(16, kf::ibm3270::kCursorSelect), 0x7E);
  EXPECT_EQ(AidOfKeyFunction(16, kf::ibm3270::kTab), 0);
  EXPECT_EQ(AidOfKeyFunction(32, kf::ibm3270::kEnter), 0);
  EXPECT_EQ(KeyFunctionNameOfAid(16, 0x6D), "Clear");
  EXPECT_EQ(KeyFunctionNameOfAid(16, 0x00), "");
  EXPECT_EQ(KeyFunctionIdByAidName(16, "pf3"), kf::ibm3270::kPF3);
  EXPECT_EQ(KeyFunctionIdByAidName(16, "Clear"), kf::ibm3270::kClear);
  // CursorSelect's AID row has no name, so an empty word finds nothing.
  EXPECT_EQ(KeyFunctionIdByAidName(16, ""), -1);
  EXPECT_EQ(KeyFunctionIdByAidName(16, "F3"), -1);
}

TEST(KeyFunctionLookup, AidsOf5250) {
  EXPECT_EQ(AidOfKeyFunction(32, kf::ibm5250::kEnter), 0xF1);
  EXPECT_EQ(KeyFunctionNameOfAid(32, 0x3F), "Enter");
  EXPECT_EQ(KeyFunctionNameOfAid(34, 0xF1), "Enter");
  EXPECT_EQ(AidOfKeyFunction(32, kf::ibm5250::kF24), 0xBC);
  EXPECT_EQ(AidOfKeyFunction(32, kf::ibm5250::kRecordBackspace), 0xF8);
  EXPECT_EQ(AidOfKeyFunction(32, kf::ibm5250::kRollUpPageDown), 0xF5);
  // Record Backspace has an AID but no function row, hence no name.
  EXPECT_EQ(KeyFunctionNameOfAid(32, 0xF8), "");
  EXPECT_EQ(KeyFunctionIdByAidName(32, "help"), kf::ibm5250::kHelp);
  EXPECT_EQ(KeyFunctionIdByAidName(32, "F12"), kf::ibm5250::kF12);
  EXPECT_EQ(KeyFunctionIdByAidName(32, "PF12"), -1);
  EXPECT_EQ(KeyFunctionIdByAidName(259, "PF1"), -1);
  EXPECT_EQ(AidOfKeyFunction(259, kf::vt::kPF1), 0);
}

TEST(KeyFunctionLookup, Repeatability) {
  EXPECT_TRUE(IsRepeatableTarget(16, 'A'));
  EXPECT_TRUE(IsRepeatableTarget(99, 0));
  EXPECT_TRUE(IsRepeatableTarget(16, kf::ibm3270::kBackspace));
  EXPECT_FALSE(IsRepeatableTarget(16, kf::ibm3270::kEnter));
  EXPECT_FALSE(IsRepeatableTarget(16, kf::kCursorTo));
  EXPECT_FALSE(IsRepeatableTarget(32, kf::ibm3270::kBackspace));
  EXPECT_FALSE(IsRepeatableTarget(16, kf::kPlayMacro));
  EXPECT_TRUE(IsRepeatableTarget(259, kf::vt::kF60));
  EXPECT_FALSE(IsRepeatableTarget(0, kf::sys::kEditCopy));
}

TEST(VtSequences, DefaultsAndVt52) {
  EXPECT_EQ(VtDefaultSequence(kf::vt::kCursorUp), "\x1b[A");
  EXPECT_EQ(Vt52Sequence(kf::vt::kCursorUp), "\x1b" "A");
  EXPECT_EQ(VtDefaultSequence(kf::vt::kKeypad5ApplMode), "\x1bOu");
  EXPECT_EQ(Vt52Sequence(kf::vt::kKeypadEnterApplMode), "\x1b?M");
  EXPECT_EQ(VtDefaultSequence(kf::vt::kEnter), "\r\n");
  EXPECT_EQ(VtDefaultSequence(kf::vt::kNull), std::string_view("\0", 1));
  EXPECT_EQ(VtDefaultSequence(kf::vt::kTelnetInterruptProcess), "\xff\xf4");
  EXPECT_EQ(Vt52Sequence(kf::vt::kTelnetBreak), "\xff\xf3");
  EXPECT_EQ(VtDefaultSequence(kf::vt::kF15Help), "\x1b[28~");
  EXPECT_EQ(VtDefaultSequence(kf::vt::kF20), "\x1b[34~");
  EXPECT_EQ(VtDefaultSequence(kf::vt::kF21), "\x1b[g");
  EXPECT_EQ(VtDefaultSequence(kf::vt::kF43), "\x1b[\\");
  EXPECT_EQ(VtDefaultSequence(kf::vt::kF48), "\x1b[{");
  EXPECT_EQ(VtDefaultSequence(kf::vt::kF49), VtDefaultSequence(kf::vt::kF37));
  EXPECT_EQ(VtDefaultSequence(kf::vt::kF60), VtDefaultSequence(kf::vt::kF48));
  EXPECT_TRUE(Vt52Sequence(kf::vt::kF1).empty());
  EXPECT_TRUE(Vt52Sequence(kf::vt::kBacktab).empty());
  EXPECT_TRUE(VtDefaultSequence(kf::vt::kUDK1).empty());
  EXPECT_TRUE(VtDefaultSequence(kFirstVtSequenceId - 1).empty());
  EXPECT_TRUE(VtDefaultSequence(kFirstVtSequenceId + kVtSequenceCount).empty());
  EXPECT_TRUE(Vt52Sequence(kf::kEditSelectionUp).empty());
  for (int id = kFirstVtSequenceId; id < kFirstVtSequenceId + kVtSequenceCount; ++id) {
    EXPECT_LE(VtDefaultSequence(id).size(), 6u) << id;
    EXPECT_NE(KeyFunctionRowById(259, id), nullptr) << id;
  }
}

TEST(VtSequences, ApplicationModeShifts) {
  EXPECT_EQ(VtApplicationModeFunction(kf::vt::kCursorDown, true, false), kf::vt::kCursorDownApplMode);
  EXPECT_EQ(VtApplicationModeFunction(kf::vt::kCursorUp, true, true), kf::vt::kCursorUpApplMode);
  EXPECT_EQ(VtApplicationModeFunction(kf::vt::kCursorUp, false, true), kf::vt::kCursorUp);
  EXPECT_EQ(VtApplicationModeFunction(kf::vt::kKeypad0, false, true), kf::vt::kKeypad0ApplMode);
  EXPECT_EQ(VtApplicationModeFunction(kf::vt::kKeypadMinus, false, true), kf::vt::kKeypadMinusApplMode);
  EXPECT_EQ(VtApplicationModeFunction(kf::vt::kKeypad9, true, false), kf::vt::kKeypad9);
  EXPECT_EQ(VtApplicationModeFunction(kf::vt::kLineFeed, true, true), kf::vt::kLineFeed);
  EXPECT_EQ(VtApplicationModeFunction(kf::vt::kEscape, true, true), kf::vt::kEscape);
  EXPECT_EQ(KeyFunctionName(259, VtApplicationModeFunction(kf::vt::kKeypadComma, false, true)),
            "KeypadCommaApplMode");
}

}  // namespace
}  // namespace corvina
