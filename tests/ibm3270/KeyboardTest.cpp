// Key functions and typed characters on a 3270 screen: cursor movement,
// editing, insert mode, numeric fields, lock reasons, type-ahead and the
// mouse and selection operations.
#include <gtest/gtest.h>

#include "Support3270.h"
#include "ibm3270/DataStream.h"
#include "keyboard/KeyFunctions.h"
#include "session/Oia.h"

using namespace corvina;
using namespace corvina::test;
namespace k = corvina::kf::ibm3270;

namespace {

// Row 0: label, input field 6-19 "ABC", protected 20-39, numeric input
// 41-49, autoskip 50-79. Row 1: input field 81-99, protected rest.
HostRecord Form() {
  return std::move(HostRecord::EraseWrite(kWccRestore)
                       .Sf(kProtected).Text("NAME").Sf(kUnprotected).Text("ABC")
                       .Sba(20).Sf(kProtected)
                       .Sba(40).Sf(kNumeric)
                       .Sba(50).Sf(kAutoskip)
                       .Sba(80).Sf(kUnprotected)
                       .Sba(100).Sf(kProtected));
}

struct Keys : Session3270 {
  explicit Keys(SessionOptions o = {}) : Session3270(o) {
    if (!Ready()) return;
    S().Profile().keyboardOptions = kKeyboardLockOnError | kKeyboardRespectNumeric;
    Host(Form());
    TakeSent();
  }
  void Type(std::string_view text) {
    for (char c : text) S().OnCharacter(static_cast<unsigned char>(c));
  }
  void Key(int id) { S().OnKeyFunction(id); }
  void At(int position) { S().SetCursorPosition(position, false); }
  std::string Lock() { return Trim(E().OiaLine().substr(8, 11)); }
};

}  // namespace

TEST(Keyboard, CursorMovementAndFields) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  EXPECT_EQ(t.S().Cursor(), 0);
  t.Key(k::kHome);
  EXPECT_EQ(t.S().Cursor(), 6);
  t.Key(k::kTab);
  EXPECT_EQ(t.S().Cursor(), 41);
  t.Key(k::kTab);
  EXPECT_EQ(t.S().Cursor(), 81);
  t.Key(k::kTab);
  EXPECT_EQ(t.S().Cursor(), 6);  // wraps
  t.At(8);
  t.Key(k::kBacktab);
  EXPECT_EQ(t.S().Cursor(), 6);  // to the start of its own field
  t.Key(k::kBacktab);
  EXPECT_EQ(t.S().Cursor(), 81);  // from a field start to the previous field
  t.At(10);
  t.Key(k::kNewline);
  EXPECT_EQ(t.S().Cursor(), 81);
  t.At(6);
  t.Key(k::kFieldEnd);
  EXPECT_EQ(t.S().Cursor(), 9);
  t.Key(k::kCursorUp);
  EXPECT_EQ(t.S().Cursor(), 1929 % 1920 + 1840);
  t.Key(k::kFastCursorDown);
  EXPECT_EQ(t.S().Cursor(), (1849 + 240) % 1920);
  t.Key(kf::kCursorTo + 1919);
  EXPECT_EQ(t.S().Cursor(), 1919);
  t.Key(kf::kCursorTo + 1920);  // outside the buffer: ignored
  EXPECT_EQ(t.S().Cursor(), 1919);
}

TEST(Keyboard, SuppressAutowrapLocksTab) {
  Keys t({.terminalOptions = kTermSuppressAutowrap});
  ASSERT_TRUE(t.Ready());
  t.At(90);
  t.Key(k::kTab);
  EXPECT_EQ(t.S().Cursor(), 90);
  EXPECT_EQ(t.Lock(), "X ?+");
}

TEST(Keyboard, TypingSkipsAndLocks) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  t.At(47);
  t.Type("123");  // the last position of the numeric field, then autoskip to the next input field
  EXPECT_EQ(t.S().Cursor(), 81);
  EXPECT_EQ(t.Row(0).substr(46, 4), " 123");
  t.At(42);
  t.Type("A");
  EXPECT_EQ(t.S().LockReason(), kLockNumericField);
  EXPECT_EQ(t.Lock(), "X NUM");
  EXPECT_EQ(t.Row(0)[42], ' ');
  t.Type("1");  // locked: queued, not typed
  EXPECT_EQ(t.S().TypeAheadCount(), 1u);
  t.Key(k::kReset);
  EXPECT_EQ(t.S().LockReason(), kUnlocked);
  EXPECT_EQ(t.S().TypeAheadCount(), 0u);
  t.At(25);
  t.Type("Z");
  EXPECT_EQ(t.Lock(), "X <0>");
  t.Key(k::kReset);
  // Without the lock option an error only beeps.
  t.S().Profile().keyboardOptions = 0;
  t.Ui().beeps.clear();
  t.Type("Z");
  EXPECT_EQ(t.S().LockReason(), kUnlocked);
  EXPECT_EQ(t.Ui().beeps.size(), 1u);
}

TEST(Keyboard, InsertMode) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  t.At(6);
  t.Key(k::kInsert);
  EXPECT_EQ(t.E().OiaLine()[47], '^');
  t.Type("X");
  EXPECT_EQ(t.Row(0).substr(6, 5), "XABC ");
  // A full field without a trailing blank locks with "0>".
  t.At(81);
  t.Key(k::kInsert);
  t.Type(std::string(19, 'Q'));
  t.At(81);
  t.Key(k::kInsert);
  t.Type("R");
  EXPECT_EQ(t.S().LockReason(), kLockInsertFieldFull);
  EXPECT_EQ(t.Lock(), "X 0>");
  t.Key(k::kReset);
  EXPECT_FALSE(t.S().InsertMode());
  // A trailing blank makes room; the target is never before the cursor.
  t.At(99);
  t.Type(" ");
  t.At(90);
  t.Key(k::kInsert);
  t.Type("R");
  EXPECT_EQ(t.Row(1).substr(1, 19), "QQQQQQQQQRQQQQQQQQQ");
  t.Key(k::kInsert);
  t.At(98);
  t.Type("  ");
  t.At(99);
  t.Key(k::kInsert);
  t.Type("S");  // the trailing blanks start before the cursor: the one under it is used
  EXPECT_EQ(t.Row(1).substr(1, 19), "QQQQQQQQQRQQQQQQQ S");
}

TEST(Keyboard, EditingKeys) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  t.At(6);
  t.Key(k::kDelete);
  EXPECT_EQ(t.Row(0).substr(6, 4), "BC  ");
  EXPECT_TRUE(t.Ps().Attribute(5) & ds3270::kFaMdt);
  t.At(7);
  t.Key(k::kEraseEof);
  EXPECT_EQ(t.Row(0).substr(6, 4), "B   ");
  t.At(7);
  t.Key(k::kBackspace);
  EXPECT_EQ(t.S().Cursor(), 6);
  t.Key(k::kBackspace);  // the field's first position
  EXPECT_EQ(t.S().LockReason(), kLockProtectedField);
  t.Key(k::kReset);
  t.Key(k::kDup);
  EXPECT_EQ(t.Ps().Character(6), ds3270::kDup);
  EXPECT_EQ(t.S().Cursor(), 41);  // DUP tabs on
  t.At(81);
  t.Type("ONE TWO");
  t.At(81);
  t.Key(k::kWordRight);
  EXPECT_EQ(t.S().Cursor(), 85);
  t.Key(k::kWordLeft);
  EXPECT_EQ(t.S().Cursor(), 81);
  t.Key(k::kWordDelete);
  EXPECT_EQ(Trim(t.Row(1).substr(1, 19)), "TWO");
  t.Key(k::kEraseInput);
  EXPECT_EQ(Trim(t.Row(0).substr(6, 14)), "");
  EXPECT_EQ(t.S().Cursor(), 6);
  EXPECT_FALSE(t.Ps().Attribute(5) & ds3270::kFaMdt);
}

TEST(Keyboard, WholeFieldDelete) {
  Keys t({.terminalOptions = kTermWholeFieldDelete});
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccRestore).Sba(75).Sf(kUnprotected).Text("ABCDEFGH").Sf(kProtected));
  t.At(76);
  t.Key(k::kDelete);
  EXPECT_EQ(t.Row(0).substr(76, 4) + t.Row(1).substr(0, 4), "BCDEFGH ");
}

TEST(Keyboard, TypeAheadReplayAndRing) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  t.S().Profile().typeAheadBufferSize = 4;
  t.S().ApplyProfile();
  t.At(6);
  t.Key(k::kEnter);
  EXPECT_EQ(t.Lock(), "X ENTER");
  t.TakeSent();
  t.Key(k::kEraseEof);
  t.Type("OK");
  EXPECT_EQ(t.S().TypeAheadCount(), 3u);
  EXPECT_EQ(t.Row(0).substr(6, 3), "ABC");
  t.Type("!");  // the ring of four holds three
  EXPECT_EQ(t.Lock(), "X ?+");
  t.Key(k::kReset);
  ASSERT_EQ(t.S().TypeAheadCount(), 0u);

  t.Key(k::kEnter);
  t.Key(k::kEraseEof);
  t.Type("OK");
  t.Host(HostRecord::Write(kWccRestore));
  EXPECT_TRUE(t.RunUntil([&] { return !t.S().TypeAheadPending(); }, 2000));
  EXPECT_EQ(t.Row(0).substr(6, 4), "OK  ");
  EXPECT_EQ(t.S().LockReason(), kUnlocked);
  // Attn and SysReq empty the queue before they act.
  t.Key(k::kEnter);
  t.Type("Q");
  t.Key(k::kAttn);
  EXPECT_EQ(t.S().TypeAheadCount(), 0u);
  t.Type("Q");
  t.Key(k::kSystemRequest);
  EXPECT_EQ(t.S().TypeAheadCount(), 0u);
}

TEST(Keyboard, ResponseTimeAndProgramCheck) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  t.Key(k::kEnter);
  EXPECT_TRUE(t.S().Responses().Running());
  t.Host(HostRecord::Write(kWccRestore));
  EXPECT_FALSE(t.S().Responses().Running());
  EXPECT_EQ(t.S().Responses().Distribution()[0], 1);
  EXPECT_EQ(t.E().OiaLine().substr(56, 9), "00:00.000");
  EXPECT_EQ(ResponseTimes::Format(61'234), "01:01.2");
  t.Host(Bytes{0x99});  // an unknown command: program check 401
  EXPECT_EQ(t.Lock(), "X PROG401");
  t.Host(HostRecord::Write(kWccRestore));
  EXPECT_EQ(t.S().LockReason(), kLockProgramCheckReason);  // only Reset leaves it
  t.Key(k::kReset);
  EXPECT_EQ(t.S().LockReason(), kUnlocked);
}

TEST(Keyboard, CursorSelectAndMouse) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  // Selectable fields with the designators ">", "&" and blank.
  t.Host(HostRecord::EraseWrite(kWccRestore)
             .Sf(0x64).Text(">ONE")
             .Sba(80).Sf(0x64).Text("&TWO")
             .Sba(160).Sf(0x64).Text(" PF3 THREE")
             .Sba(240).Sf(kProtected));
  t.TakeSent();
  t.At(3);
  t.Key(k::kCursorSelect);
  EXPECT_EQ(Hex(t.TakeSent()), "");
  EXPECT_EQ(t.S().LockReason(), 0);
  EXPECT_EQ(t.Row(0).substr(1, 4), "?ONE");
  t.Key(k::kCursorSelect);
  EXPECT_EQ(t.Row(0).substr(1, 4), ">ONE");
  EXPECT_TRUE(t.TakeSent().empty());
  t.E().MouseFunction(k::kCursorSelect, 3, 1);
  EXPECT_EQ(Hex(t.TakeSent()), "7D C1 D3 11 40 C1 6E D6 D5 C5 11 C1 D1 50 E3 E6 D6 FF EF");
  t.Host(HostRecord::Write(kWccRestore | 0x01));
  t.E().MouseFunction(kf::kHotspot, 3, 2);  // the word "PF3"
  EXPECT_EQ(Hex(t.TakeSent()), "F3 C1 D3 FF EF");
  t.Host(HostRecord::Write(kWccRestore));
  t.E().MouseFunction(k::kCursorMove, 79, 23);
  EXPECT_EQ(t.S().Cursor(), 1919);
  t.E().MouseFunction(k::kCursorMove, 80, 0);  // outside the screen: ignored
  EXPECT_EQ(t.S().Cursor(), 1919);
}

TEST(Keyboard, SelectionCopyEraseAndPaste) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  EXPECT_EQ(t.E().CopyRectangle(CellRect{0, 0, 8, 1}), " NAME ABC\r\n         \r\n");
  t.S().SetSelection(CellRect{6, 0, 30, 0});
  t.E().EraseSelection();
  EXPECT_EQ(t.Row(0).substr(0, 10), " NAME     ");
  EXPECT_EQ(t.Ps().Character(6), 0x40);
  t.At(81);
  t.S().Profile().editOptions = kEditPasteStream;  // line feeds go to the next input field
  t.E().PasteText("AB\r\nCD");
  EXPECT_EQ(t.Row(1).substr(1, 2), "AB");
  EXPECT_EQ(t.Row(0).substr(6, 2), "CD");
}

TEST(Keyboard, BlockPasteKeepsTheShapeOfTheText) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccRestore).Sf(kUnprotected).Sba(400).Sf(kProtected));
  t.At(81);
  t.S().SetPasteOffset(0);
  const std::string text = "AB\r\nCD\tE";
  t.E().PasteText(text);  // block mode is the default
  EXPECT_EQ(t.Row(1).substr(1, 2), "AB");
  EXPECT_EQ(Trim(t.Row(2).substr(1)), "CD      E");  // the tab stop is column 1 + 8
  EXPECT_EQ(t.S().Cursor(), 81);                     // back where the paste began
  EXPECT_EQ(t.S().PasteOffset(), text.size());
}

TEST(Keyboard, OverlayPasteFlowsAroundProtectedCellsAndBlockPasteStopsThere) {
  auto screen = [] {
    return HostRecord::EraseWrite(kWccRestore).Sf(kUnprotected).Sba(10).Sf(kProtected).Text("XXXX")
        .Sf(kUnprotected).Sba(100).Sf(kProtected);
  };
  Keys overlay;
  ASSERT_TRUE(overlay.Ready());
  overlay.Host(screen());
  overlay.At(1);
  overlay.S().Profile().editOptions = kEditPasteOverlayBlock | kEditCursorAfterPaste;
  overlay.E().PasteText("ABCDEFGHIJKL");
  EXPECT_EQ(overlay.Row(0).substr(1, 18), "ABCDEFGHI XXXX JKL");
  EXPECT_EQ(overlay.S().Cursor(), 19);  // after the last pasted character
  EXPECT_EQ(overlay.S().PasteOffset(), 12u);

  Keys block;
  ASSERT_TRUE(block.Ready());
  block.Host(screen());
  block.At(1);
  block.E().PasteText("ABCDEFGHIJKL");
  EXPECT_EQ(block.Row(0).substr(1, 18), "ABCDEFGHI XXXX    ");  // the line's rest is skipped
  EXPECT_EQ(block.S().PasteOffset(), 12u);
  EXPECT_EQ(block.S().Cursor(), 1);
}

// The selector pen sends the addresses of the modified fields, no data; on
// an empty selectable field it tags that field only, not the next one.
TEST(Keyboard, SelectorPenSendsAddressesAndTagsOnlyItsOwnField) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccRestore)
             .Sf(0x64).Text(" CHOICE")
             .Sba(80).Sf(0x64).Sf(kProtected)  // an empty selectable field
             .Sba(160).Sf(kUnprotectedMdt).Text("DATA"));
  t.TakeSent();
  t.At(3);
  t.Key(k::kCursorSelect);
  EXPECT_EQ(Hex(t.TakeSent()), "7E 40 C3 11 40 C1 11 C2 61 FF EF");
  t.Host(HostRecord::Write(kWccRestore | 0x01));
  t.At(80);
  t.Key(k::kCursorSelect);
  EXPECT_TRUE(t.Ps().Attribute(80) & 0x01);
  EXPECT_FALSE(t.Ps().Attribute(81) & 0x01);  // the next field's attribute is untouched
  EXPECT_EQ(Hex(t.TakeSent()), "7E C1 50 11 C1 D1 FF EF");
}

// Web addresses are opened whatever their letter case (3270 screens are often
// upper case); a word that was opened never sends an AID.
TEST(Keyboard, HotspotOpensAddressesInAnyLetterCase) {
  Keys t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccRestore).Sf(kProtected).Text("SEE HTTP://EXAMPLE.ORG Https://x.org"));
  t.TakeSent();
  t.E().MouseFunction(kf::kHotspot, 10, 0);
  t.E().MouseFunction(kf::kHotspot, 30, 0);
  EXPECT_TRUE(t.TakeSent().empty());
  ASSERT_EQ(t.Ui().boxes.size(), 2u);  // the test interface opens no browser
  EXPECT_EQ(t.Ui().boxes[0].text, "Unable to launch the default web browser.");
  EXPECT_EQ(t.S().LockReason(), kUnlocked);
}
