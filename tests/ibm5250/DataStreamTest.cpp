// Host records: commands, orders, the format table, and every error
// response with the screen left as it was.
#include <gtest/gtest.h>

#include "Support5250.h"
#include "keyboard/KeyFunctions.h"

namespace corvina::test {
namespace {

namespace k = kf::ibm5250;

// A title, a 5-cell alpha field at row 3, column 10 and a 3-cell digits
// field at row 4, column 10 holding "12" with its MDT on.
Record5250 Form() {
  Record5250 r;
  r.ClearUnit().Wtd(0x00, 0x08).Sba(1, 2).Byte(0x22).Text("Title").Byte(0x20);
  r.Sba(3, 9).Sof(kAlpha, 5).Sba(4, 9).Sof(kDigitsOnly | kMdt, 3).Text("12");
  return r;
}

TEST(DataStream5250, WriteToDisplayBuildsFieldsAndPlacesTheCursor) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Form());
  EXPECT_TRUE(s.TakeSent().empty());
  EXPECT_EQ(s.Row(0), "  Title");
  EXPECT_EQ(s.Row(3), "         12");
  const auto& fields = s.E().Format().fields;
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0].start, s.Position(3, 10));
  EXPECT_EQ(fields[0].end, s.Position(3, 14));
  EXPECT_EQ(fields[1].ffw, kDigitsOnly | kMdt);
  EXPECT_EQ(s.E().Screen().At(s.Position(3, 9)), 0x24);
  EXPECT_EQ(s.E().Screen().At(s.Position(3, 15)), 0x20);  // the attribute after each field
  EXPECT_TRUE(s.E().MdtPresent());
  // Unlocked, no insert cursor: the cursor goes to the first input field.
  EXPECT_EQ(s.E().State(), C5250Engine::kStateNormal);
  EXPECT_EQ(s.S().LockReason(), 0);
  EXPECT_EQ(s.Cursor(), s.Position(3, 10));
  // An insert cursor wins; Move Cursor wins over both.
  s.Host(Record5250().Wtd(0x00, 0x08).Ic(4, 11));
  EXPECT_EQ(s.Cursor(), s.Position(4, 11));
  s.Host(Record5250().Wtd(0x00, 0x08).Ic(4, 11).Mc(2, 2));
  EXPECT_EQ(s.Cursor(), s.Position(2, 2));
}

TEST(DataStream5250, StartOfFieldAtColumnZeroAndReusedFields) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  // Row 1, column 0: the field starts in the first cell and has no attribute cell.
  s.Host(Record5250().ClearUnit().Wtd().Sba(1, 0).Sof(kAlpha | kMonocase, 3, 0x24, {0x8801}).Text("ABC"));
  EXPECT_EQ(s.Cells(0)[0], 0xC1);
  EXPECT_EQ(s.Cells(0)[3], 0x20);
  ASSERT_EQ(s.E().Format().fields.size(), 1u);
  EXPECT_EQ(s.E().Format().fields[0].start, 0);
  // The same start again replaces the format word only: length and control words stay.
  s.Host(Record5250().Wtd().Sba(1, 0).Sof(kDigitsOnly, 9, 0x22, {0x8501}));
  ASSERT_EQ(s.E().Format().fields.size(), 1u);
  const C5250Field& f = s.E().Format().fields[0];
  EXPECT_EQ(f.ffw, kDigitsOnly);
  EXPECT_EQ(f.length, 3);
  EXPECT_TRUE(f.HasFcw(kSlotCursorProgression));
  EXPECT_FALSE(f.HasFcw(kSlotForwardEdge));
}

TEST(DataStream5250, AFieldWithoutFormatWordTakesNoInput) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Record5250().ClearUnit().Wtd().Sba(2, 9).Sof(0, 4, 0x22).Text("OUT").Sba(3, 9).Sof(kAlpha, 4).ReadInput());
  ASSERT_EQ(s.E().Format().fields.size(), 2u);
  EXPECT_EQ(s.Cursor(), s.Position(3, 10));  // the output field is no place for the cursor
  s.Key(k::kBacktab);                        // nor a tab stop
  EXPECT_EQ(s.Cursor(), s.Position(3, 10));
  s.Type("X");
  s.Key(k::kEnter);
  // Only the input field is read.
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({3, 11, 0xF1, 0xE7, 0x40, 0x40, 0x40})));
}

TEST(DataStream5250, EveryErrorResponseLeavesTheScreenAsItWas) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Form());
  const auto screen = s.Screen();
  const std::size_t fields = s.E().Format().fields.size();
  const Bytes tooShort = {0x00, 0x05, 0x12, 0xA0, 0x00};
  Bytes wrongLength = Record5250().Wtd().Data();
  wrongLength[1] += 1;
  struct Case {
    const char* what;
    Bytes record;
    Bytes reply;
  };
  const std::vector<Case> cases = {
      {"short record", tooShort, Negative(0x10050121)},
      {"length field", wrongLength, Negative(0x10050121)},
      {"operation code 7", Record5250(7).Wtd(), Negative(0x10030101, 7)},
      {"read in an output-only record", Record5250(2).ReadInput(), Negative(0x10030101, 2)},
      {"no escape", Record5250().Byte(0x05).Byte(0x11), Negative(0x10030101)},
      {"escape without command", Record5250().Byte(0x04), Negative(0x10050121)},
      {"structured field order", Record5250().Wtd().Byte(0x15), Negative(0x10030101)},
      {"other structured field", Record5250().Command(0xF3).Bytes({0x00, 0x05, 0xD9, 0x71, 0x00}),
       Negative(0x10050111)},
      {"structured field past the end", Record5250().Command(0xF3).Bytes({0x00, 0x09, 0xD9, 0x70, 0x00}),
       Negative(0x10050121)},
      {"transparent data past the end", Record5250().Wtd().Sba(5, 1).Bytes({0x10, 0x00, 0x04, 0xC1}),
       Negative(0x10050121)},
      {"transparent data past the screen", Record5250().Wtd().Sba(24, 79).Bytes({0x10, 0x00, 0x03, 1, 2, 3}),
       Negative(0x1005012A)},
      {"erase length 1", Record5250().Wtd().Sba(5, 1).Bytes({0x03, 6, 1, 1}), Negative(0x10050121)},
      {"erase length 6", Record5250().Wtd().Sba(5, 1).Bytes({0x03, 6, 1, 6, 0, 0, 0, 0, 0}), Negative(0x10050121)},
      {"row 25", Record5250().Wtd().Sba(25, 1).Text("X"), Negative(0x10050122)},
      {"column 81", Record5250().Wtd().Ic(1, 81), Negative(0x10050122)},
      {"repeat backwards", Record5250().Wtd().Sba(5, 10).Bytes({0x02, 5, 1, 0xC1}), Negative(0x10050122)},
      {"repeat past the end", Record5250().Wtd().Sba(5, 10).Bytes({0x02, 1, 0, 0xC1}), Negative(0x1005012A)},
      {"field inside a field", Record5250().Wtd().Sba(3, 10).Sof(kAlpha, 2), Negative(0x10050126)},
      {"field past the screen", Record5250().Wtd().Sba(24, 78).Sof(kAlpha, 3), Negative(0x10050128)},
      {"field of length 0", Record5250().Wtd().Sba(10, 1).Sof(kAlpha, 0), Negative(0x10050128)},
      {"field cut short", Record5250().Wtd().Sba(10, 1).Bytes({0x1D, 0x40, 0x00, 0x24}), Negative(0x10050121)},
      {"data past the end", Record5250().Wtd().Sba(24, 80).Byte(0x00).Text("X"), Negative(0x1005012A)},
      {"header of 8", Record5250().Wtd().Bytes({0x01, 8, 0, 0, 0, 0, 0, 0, 0, 0}), Negative(0x1005012B)},
      {"roll from row 0", Record5250().Command(0x23).Bytes({0x01, 0, 5}), Negative(0x1005012C)},
      {"roll past the screen", Record5250().Command(0x23).Bytes({0x01, 20, 25}), Negative(0x1005012C)},
      {"roll of more rows than the area", Record5250().Command(0x23).Bytes({0x05, 2, 5}), Negative(0x1005012C)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    s.Host(c.record);
    EXPECT_EQ(Hex(s.TakeSent()), Hex(c.reply));
    EXPECT_EQ(s.Screen(), screen);
    EXPECT_EQ(s.E().Format().fields.size(), fields);
  }
}

TEST(DataStream5250, TheFormatTableHoldsAtMost256Fields) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  Record5250 r;
  r.ClearUnit().Wtd();
  for (int n = 0; n < 256; ++n) r.Sba(1 + n / 40, 1 + n % 40 * 2).Sof(kAlpha, 1);
  s.Host(r);
  EXPECT_TRUE(s.TakeSent().empty());
  ASSERT_EQ(s.E().Format().fields.size(), 256u);
  const auto screen = s.Screen();
  s.Host(Record5250().Wtd().Sba(20, 1).Sof(kAlpha, 2));
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Negative(0x10050129)));
  EXPECT_EQ(s.Screen(), screen);
}

TEST(DataStream5250, ControlCharactersResetModifiedTagsAndNullFields) {
  // A modified input field, a modified bypass field, an unmodified input field.
  struct Case {
    std::uint8_t cc1;
    bool nullA, mdtA, mdtB, nullC;
  };
  const Case cases[] = {
      {0x20, false, true, true, false}, {0x40, false, false, true, false}, {0x60, false, false, false, false},
      {0x80, true, true, true, false},  {0xA0, true, false, true, true},   {0xC0, true, false, true, false},
      {0xE0, true, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cc1);
    Session5250 s;
    ASSERT_TRUE(s.Ready());
    s.Host(Record5250().ClearUnit().Wtd().Sba(2, 1).Sof(kAlpha | kMdt, 3).Text("AAA").Sba(3, 1)
               .Sof(kAlpha | kBypass | kMdt, 3).Text("BBB").Sba(4, 1).Sof(kAlpha, 3).Text("CCC"));
    s.Host(Record5250().Wtd(c.cc1, 0x00));
    const auto& f = s.E().Format().fields;
    EXPECT_EQ(s.Row(1), c.nullA ? "" : " AAA");
    EXPECT_EQ(s.Row(2), " BBB");
    EXPECT_EQ(s.Row(3), c.nullC ? "" : " CCC");
    EXPECT_EQ(f[0].Mdt(), c.mdtA);
    EXPECT_EQ(f[1].Mdt(), c.mdtB);
    EXPECT_EQ(s.E().MdtPresent(), c.mdtA || c.mdtB);
    EXPECT_EQ(s.S().LockReason(), kLockSystemWait);  // any CC1 action locks
  }
}

TEST(DataStream5250, SecondControlCharacterUnlocksSoundsAndLightsTheMessage) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Form());
  s.Host(Record5250().Wtd(0x20, 0x00));
  EXPECT_EQ(s.E().State(), C5250Engine::kStateHostLocked);
  s.Ui().beeps.clear();
  s.Host(Record5250().Wtd(0x00, 0x08 | 0x04 | 0x01 | 0x40).Sba(1, 1));
  EXPECT_EQ(s.E().State(), C5250Engine::kStateNormal);
  EXPECT_EQ(s.S().LockReason(), 0);
  EXPECT_EQ(s.Ui().beeps.size(), 1u);
  EXPECT_TRUE(s.E().MessageLight());
  EXPECT_EQ(s.E().OiaLine().substr(4, 2), "MW");
  EXPECT_EQ(s.Cursor(), s.Position(3, 10));  // 0x40: the cursor stays
  s.Host(Record5250().Wtd(0x00, 0x02));
  EXPECT_FALSE(s.E().MessageLight());
  s.Host(Record5250(11));  // the message-light operations
  EXPECT_TRUE(s.E().MessageLight());
  s.Host(Record5250(12));
  EXPECT_FALSE(s.E().MessageLight());
}

TEST(DataStream5250, ClearUnitSizesAndStartOfHeader) {
  Session5250 s({.rows = 27, .columns = 132, .terminalType = "IBM-3477-FC"});
  ASSERT_TRUE(s.Ready());
  s.Host(Record5250().Command(0x20).Byte(0x00));
  EXPECT_EQ(s.E().Screen().Rows(), 27);
  EXPECT_EQ(s.S().Columns(), 132);
  s.Host(Record5250().ClearUnit());
  EXPECT_EQ(s.E().Screen().Rows(), 24);
  EXPECT_EQ(s.S().Columns(), 80);
  // Clear Unit locks; a header shorter than seven bytes leaves the rest zero.
  EXPECT_EQ(s.S().LockReason(), kLockSystemWait);
  s.Host(Record5250().Wtd().Soh({0x00, 0x00, 0x00, 0x05, 0xFF, 0xFF, 0xFF}));
  s.Host(Record5250().Wtd().Soh({0x00, 0x00, 0x02}));
  const auto& header = s.E().Format().header;
  EXPECT_EQ((std::vector<std::uint8_t>(header.begin(), header.end())),
            (std::vector<std::uint8_t>{3, 0, 0, 2, 0, 0, 0, 0}));
  EXPECT_EQ(s.E().Format().ErrorRow(24), 23);  // row 0 is off the screen: the last row
}

TEST(DataStream5250, EraseRepeatAndTransparentData) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Record5250().ClearUnit().Wtd().Sba(2, 1).Bytes({0x02, 2, 10, 0xC1}).Bytes({0x10, 0x00, 0x03, 0x04, 0x1D, 0xC2}));
  EXPECT_EQ(s.Row(1), "AAAAAAAAAA  B");  // 0x04 and 0x1D are stored, shown blank
  EXPECT_EQ(s.Cells(1)[10], 0x04);
  // Erase to Address nulls only when its types name characters.
  s.Host(Record5250().Wtd().Sba(2, 3).Bytes({0x03, 2, 4, 2, 0x01}));
  EXPECT_EQ(s.Row(1), "AAAAAAAAAA  B");
  s.Host(Record5250().Wtd().Sba(2, 3).Bytes({0x03, 2, 4, 3, 0x01, 0xFF}));
  EXPECT_EQ(s.Row(1), "AA  AAAAAA  B");
}

TEST(DataStream5250, WriteErrorCodeShowsTheMessageUntilReset) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Record5250().ClearUnit().Wtd().Sba(24, 2).Text("Function keys").Sba(3, 9).Sof(kAlpha, 5));
  s.Host(Record5250().Command(0x21).Byte(0x22).Text("Bad value").Ic(3, 12).ReadMdt());
  EXPECT_EQ(s.Row(23), " Bad value");
  EXPECT_EQ(s.Cursor(), s.Position(3, 12));
  EXPECT_EQ(s.E().State(), C5250Engine::kStateError);
  EXPECT_NE(s.S().LockReason(), 0);
  // What the host writes to the error row meanwhile goes to the saved row.
  s.Host(Record5250().Wtd(0x00, 0x00).Sba(24, 20).Text("more"));
  EXPECT_EQ(s.Row(23), " Bad value");
  s.Type("X");  // locked: typed ahead, then dropped by Reset
  s.Key(k::kErrorReset);
  EXPECT_EQ(s.Row(23), " Function keys     more");
  EXPECT_EQ(s.E().State(), C5250Engine::kStateNormal);
  EXPECT_EQ(s.S().LockReason(), 0);
  EXPECT_FALSE(s.S().TypeAheadPending());
  // A host that unlocks the keyboard ends the error as Reset does: later
  // writes to the error row are seen.
  s.Host(Record5250().Command(0x21).Text("Again"));
  s.Host(Record5250().Wtd(0x20, 0x08).Sba(24, 2).Text("Back"));
  EXPECT_EQ(s.E().State(), C5250Engine::kStateNormal);
  EXPECT_EQ(s.Row(23), " Backtion keys     more");
  s.Host(Record5250().Wtd().Sba(24, 30).Text("seen"));
  EXPECT_EQ(s.Row(23), " Backtion keys     more      seen");
}

TEST(DataStream5250, RollMovesRowsAndKeepsTheVacatedOnes) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  Record5250 r;
  r.ClearUnit().Wtd();
  for (int row = 2; row <= 5; ++row) r.Sba(row, 2).Text("R" + std::to_string(row));
  s.Host(r);
  s.Host(Record5250().Command(0x23).Bytes({0x01, 2, 5}));
  EXPECT_EQ((std::vector<std::string>{s.Row(1), s.Row(2), s.Row(3), s.Row(4)}),
            (std::vector<std::string>{" R3", " R4", " R5", " R5"}));
  s.Host(Record5250().Command(0x23).Bytes({0x82, 2, 5}));
  EXPECT_EQ((std::vector<std::string>{s.Row(1), s.Row(2), s.Row(3), s.Row(4)}),
            (std::vector<std::string>{" R3", " R4", " R3", " R4"}));
  EXPECT_TRUE(s.TakeSent().empty());
}

TEST(DataStream5250, CancelInviteEchoesTheRecordDoublingIacOnce) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Form().ReadMdt());
  EXPECT_TRUE(s.E().Invited());
  const Bytes cancel = Record5250(10).Byte(0xFF).Data();
  s.Host(cancel);
  EXPECT_FALSE(s.E().Invited());
  EXPECT_EQ(Hex(s.TakeSent()), "00 0B 12 A0 00 00 04 00 00 0A FF FF FF EF");
}

}  // namespace
}  // namespace corvina::test
