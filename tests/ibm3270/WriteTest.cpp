// Writes and their orders, as a host sends them.
#include <gtest/gtest.h>

#include "Support3270.h"
#include "ibm3270/DataStream.h"

using namespace corvina;
using namespace corvina::test;

TEST(Write, FormattedScreenShowsFieldsWithAttributesAsBlanks) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccRestore)
             .Sba(0).Sf(kProtected).Text("Name:")
             .Sf(kUnprotectedMdt).Text("ALICE")
             .Sba(80).Sf(kProtectedBright).Text("Done").Sf(kProtected));
  EXPECT_EQ(Trim(t.Row(0)), " Name: ALICE");
  EXPECT_EQ(Trim(t.Row(1)), " Done");
  EXPECT_EQ(t.Ps().Attribute(0), kProtected);
  EXPECT_EQ(t.Ps().GoverningAttribute(3), kProtected);
  EXPECT_EQ(t.Ps().GoverningAttribute(0), ds3270::kFaOnAttribute);
  EXPECT_EQ(t.Ps().Attribute(6), kUnprotectedMdt);
  EXPECT_EQ(t.Ps().writeAddress, 86);
  EXPECT_EQ(t.TakeSent(), Bytes{});  // no response without the extended protocol
}

TEST(Write, TwoWritesWithoutAddressContinueWhereTheFirstEnded) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sba(160).Text("ABC"));
  t.Host(HostRecord::Write(kWccNone).Text("DEF"));
  EXPECT_EQ(Trim(t.Row(2)), "ABCDEF");
}

TEST(Write, AddressesWrapAndGrowTheScreen) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sba(1918).Text("XYZ"));  // wraps to position 0
  EXPECT_EQ(t.Row(23).substr(78), "XY");
  EXPECT_EQ(Trim(t.Row(0)), "Z");

  t.Host(HostRecord::Write(kWccNone).Sba(2000).Text("GROWN"));  // beyond 24 x 80
  EXPECT_EQ(t.S().Rows(), 32);
  EXPECT_EQ(t.S().DefaultRows(), 32);
  EXPECT_EQ(t.S().AlternateRows(), 32);  // the buffers grew with it
  EXPECT_EQ(t.Row(25).substr(0, 5), "GROWN");
  EXPECT_EQ(t.Row(23).substr(78), "XY");  // nothing was cleared

  t.Host(HostRecord::Write(kWccNone).Sba14(3500).Text("W"));  // 14-bit, 27 x 132
  EXPECT_EQ(t.S().Columns(), 132);
  EXPECT_EQ(t.Ps().Character(3500), 0xE6);
}

TEST(Write, AddressBeyondTheLargestModelIsProgramCheck402) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccRestore).Text("KEPT").Sba14(3564).Text("LOST"));
  EXPECT_EQ(Trim(t.Row(0)), "KEPT");
  EXPECT_EQ(t.S().Rows(), 24);
  EXPECT_EQ(t.S().LockReason(), 3);
  EXPECT_EQ(t.E().ProgramCheck(), 402);
  EXPECT_EQ(t.Ps().writeAddress, 4);
  EXPECT_EQ(Hex(t.TakeSent()), "01 6C D9 10 05 FF EF");  // operation check
  // The keyboard stays locked: the WCC's restore was not applied and no
  // later Write unlocks a program check.
  t.Host(HostRecord::Write(kWccRestore).Text("!"));
  EXPECT_EQ(t.S().LockReason(), 3);
  t.Screen();
  EXPECT_EQ(t.E().Model().Oia().substr(8, 9), "X PROG402");
}

TEST(Write, RepeatToAddressAndEraseUnprotectedToAddress) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  // RA whose stop is the current address fills the whole buffer.
  t.Host(HostRecord::EraseWrite(kWccNone).Sba(100).Ra(100, 0x5C));
  EXPECT_EQ(t.Row(0), std::string(80, '*'));
  EXPECT_EQ(t.Row(23), std::string(80, '*'));
  EXPECT_EQ(t.Ps().writeAddress, 100);

  t.Host(HostRecord::EraseWrite(kWccNone).Sba(10).Ra(20, 0xC1).RaGe(24, 0xA2));
  EXPECT_EQ(t.Row(0).substr(10, 22), "AAAAAAAAAA\u2500\u2500\u2500\u2500");

  // EUA nulls unprotected characters only, and the address ends at the stop.
  t.Host(HostRecord::EraseWrite(kWccNone)
             .Sf(kProtected).Text("PROT").Sf(kUnprotected).Text("INPUT").Sf(kProtected).Text("TAIL")
             .Sba(0).Eua(0));
  EXPECT_EQ(Trim(t.Row(0)), " PROT" + std::string(7, ' ') + "TAIL");
  EXPECT_EQ(t.Ps().writeAddress, 0);
  t.Host(HostRecord::Write(kWccNone).Sba(6).Text("ABCDE").Sba(6).Eua(8));
  EXPECT_EQ(Trim(t.Row(0)), " PROT   CDE TAIL");
  EXPECT_EQ(t.Ps().writeAddress, 8);
}

TEST(Write, ProgramTabNullsTheFieldRestOnlyAfterData) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone)
             .Sf(kUnprotected).Text("OLDOLDOLD").Sf(kProtected).Text("P")
             .Sf(kUnprotected).Sf(kUnprotected).Text("SECOND").Sf(kProtected));
  // After data: the rest of the field is nulled, then the next input field.
  t.Host(HostRecord::Write(kWccNone).Sba(1).Text("NEW").Pt().Text("X"));
  EXPECT_EQ(Trim(t.Row(0)), " NEW" + std::string(7, ' ') + "P  XECOND");  // the empty field is passed over
  // After an order: nothing is nulled.
  t.Host(HostRecord::Write(kWccNone).Sba(1).Text("AB").Sba(4).Pt().Text("Y"));
  EXPECT_EQ(Trim(t.Row(0)), " ABW" + std::string(7, ' ') + "P  YECOND");
  // No input field after the address: position 0.
  t.Host(HostRecord::Write(kWccNone).Sba(30).Pt());
  EXPECT_EQ(t.Ps().writeAddress, 0);
}

TEST(Write, StartFieldExtendedModifyFieldAndSetAttribute) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone)
             .Sfe({{0xC0, 0x20}, {0x42, 0xF2}, {0x41, 0xF2}}).Text("RED")
             .Sa(0x42, 0xF5).Text("T").Sa(0x00, 0).Text("U"));
  EXPECT_EQ(t.Ps().Attribute(0), 0x60);
  EXPECT_EQ(ds3270::ExtForeground(t.Ps().Extended(0)), 3u);
  EXPECT_EQ(ds3270::ExtHighlight(t.Ps().Extended(0)), 2u);
  EXPECT_EQ(ds3270::ExtForeground(t.Ps().Extended(4)), 5u);
  EXPECT_EQ(t.Ps().Extended(5), 0u);
  // MF on the attribute changes it and moves on; elsewhere it does nothing.
  t.Host(HostRecord::Write(kWccNone).Sba(0).Mf({{0xC0, 0x00}, {0x41, 0xF4}}).Text("M")
             .Sba(10).Mf({{0xC0, 0x20}}).Text("N"));
  EXPECT_EQ(t.Ps().Attribute(0), 0x40);
  EXPECT_EQ(ds3270::ExtHighlight(t.Ps().Extended(0)), 4u);
  EXPECT_EQ(ds3270::ExtForeground(t.Ps().Extended(0)), 3u);  // kept
  EXPECT_EQ(t.Ps().Attribute(10), 0);
  EXPECT_EQ(Trim(t.Row(0)), " MEDTU    N");
  // Set Attribute values last only for their Write.
  t.Host(HostRecord::Write(kWccNone).Sba(20).Sa(0x42, 0xF1).Text("A"));
  t.Host(HostRecord::Write(kWccNone).Text("B"));
  EXPECT_NE(t.Ps().Extended(20), 0u);
  EXPECT_EQ(t.Ps().Extended(21), 0u);
}

TEST(Write, DataOverAnAttributeRemovesTheField) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sba(5).Sf(kProtected).Sba(5).Text("Z"));
  EXPECT_EQ(t.Ps().Attribute(5), 0);
  EXPECT_FALSE(t.Ps().Formatted());
}

TEST(Write, InsertCursorAndGraphicEscape) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sba(81).Ge(0xC5).Ge(0xA2).Ge(0xD5).Ic().Ge(0x9F).Ge(0x01));
  EXPECT_EQ(t.Row(1).rfind(" \u250C\u2500\u2510<  ", 0), 0u);
  EXPECT_EQ(t.S().Cursor(), 84);
}

TEST(Write, KeyboardRestoreAndModifiedTags) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sf(kUnprotectedMdt).Sba(40).Sf(kUnprotected));
  t.S().SetLockReason(1);
  t.Host(HostRecord::Write(kWccNone).Text("x"));
  EXPECT_EQ(t.S().LockReason(), 1);
  t.Host(HostRecord::Write(0x42));  // restore
  EXPECT_EQ(t.S().LockReason(), 0);
  EXPECT_EQ(t.E().CurrentAid(), 0x60);
  // An SF with the MDT set restores without the WCC bit.
  t.S().SetLockReason(1);
  t.Host(HostRecord::Write(kWccNone).Sba(60).Sf(kUnprotectedMdt));
  EXPECT_EQ(t.S().LockReason(), 0);
  // WCC bit 0x01 resets every MDT.
  t.Host(HostRecord::Write(0x41));
  EXPECT_EQ(t.Ps().Attribute(0), 0xC0);
  EXPECT_EQ(t.Ps().Attribute(60), 0xC0);
}

TEST(Write, SoundAlarmBeepsAtOnceOrAtTheNextPaint) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::Write(kWccAlarm));
  EXPECT_EQ(t.Ui().beeps.size(), 1u);
  t.Frame().visible = false;
  t.Host(HostRecord::Write(kWccAlarm));
  EXPECT_EQ(t.Ui().beeps.size(), 1u);
  t.Frame().visible = true;
  t.Screen();
  EXPECT_EQ(t.Ui().beeps.size(), 2u);
  t.Screen();
  EXPECT_EQ(t.Ui().beeps.size(), 2u);
}

// Every order cut off by the end of its record ends the Write with a
// program check; nothing past the record is read (ASan build) and no
// positive response follows.
TEST(Write, TruncatedOrdersEndTheWrite) {
  const Bytes cut[] = {
      {0xF1, 0xC3, 0x1D},                    // SF without its attribute
      {0xF1, 0xC3, 0x29},                    // SFE without its count
      {0xF1, 0xC3, 0x29, 0x02, 0xC0, 0x60},  // SFE with one of two pairs
      {0xF1, 0xC3, 0x11, 0x40},              // SBA with one address byte
      {0xF1, 0xC3, 0x28, 0x42},              // SA without its value
      {0xF1, 0xC3, 0x2C, 0x01, 0xC0},        // MF with half a pair
      {0xF1, 0xC3, 0x3C, 0x40, 0x40},        // RA without its character
      {0xF1, 0xC3, 0x3C, 0x40, 0x40, 0x08},  // RA with a GE but no code
      {0xF1, 0xC3, 0x12, 0x40},              // EUA with one address byte
      {0xF1, 0xC3, 0x08},                    // GE without its code
  };
  for (const Bytes& record : cut) {
    Session3270 t({.extended = true});
    ASSERT_TRUE(t.Ready());
    t.Host(Concat(Header(3), Bytes(26, 0)));  // BIND: LU-LU session
    t.Host(Concat(Header(0, 2, 9), record));
    SCOPED_TRACE(Hex(record));
    EXPECT_EQ(t.E().ProgramCheck(), 402);
    EXPECT_EQ(Hex(t.TakeSent()), "02 00 01 00 09 02 FF EF");  // negative, operation check
  }
}

// A host data byte equal to an internal line-drawing code (0x33) is an
// ordinary character: drawn as the code page has it and read back as it
// came. Only characters that came by Graphic Escape go back as GE.
TEST(Write, HostBytesEqualToLineDrawingCodesStayData) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Byte(0x33).Ge(0xA2).Byte(0x10).Ge(0xC5)
             .Ra(6, 0x33).RaGe(8, 0xA2));
  EXPECT_EQ(t.Row(0).rfind(" \u2500 \u250C  \u2500\u2500 ", 0), 0u) << t.Row(0);
  t.TakeSent();
  t.E().ReadBuffer(0x60);
  t.S().FlushOutput();
  Bytes sent = t.TakeSent();
  ASSERT_GE(sent.size(), 15u);
  EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + 15)), "60 40 40 33 08 A2 10 08 C5 33 33 08 A2 08 A2");
}
