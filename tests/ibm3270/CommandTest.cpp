// Command dispatch, program checks, responses and the reads a host asks for.
#include <gtest/gtest.h>

#include "Support3270.h"

using namespace corvina;
using namespace corvina::test;

namespace {

const Bytes kBind26 = Bytes(26, 0);  // a BIND image that names no sizes

// An extended-protocol session already bound (LU-LU).
struct Bound : Session3270 {
  Bound() : Session3270({.extended = true}) {
    if (!Ready()) return;
    Host(Concat(Header(3), kBind26));
    TakeSent();
  }
};

}  // namespace

TEST(Commands, UnknownCommandIsProgramCheck401) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(Bytes{0x99, 0xC3, 0xC1});
  EXPECT_EQ(t.E().ProgramCheck(), 401);
  EXPECT_EQ(t.S().LockReason(), 3);
  ASSERT_EQ(t.Ui().beeps.size(), 1u);
  EXPECT_EQ(t.Ui().beeps[0], platform::BeepKind::Exclamation);
  EXPECT_EQ(Hex(t.TakeSent()), "01 6C D9 10 03 FF EF");  // command reject
  t.Screen();
  EXPECT_EQ(t.E().Model().Oia().substr(0, 17), "TA\x7F     X PROG401");
}

TEST(Commands, UnknownCommandWithTheExtendedProtocol) {
  Bound t;
  ASSERT_TRUE(t.Ready());
  t.Host(Concat(Header(0, 1, 0x0102), Bytes{0x99}));  // ERROR-RESPONSE asked
  EXPECT_EQ(Hex(t.TakeSent()), "02 00 01 01 02 00 FF EF");
  EXPECT_EQ(t.S().LockReason(), 3);
  t.Host(Concat(Header(0, 0, 3), Bytes{0x99}));  // no response asked
  EXPECT_EQ(t.TakeSent(), Bytes{});
  t.Screen();
  EXPECT_EQ(t.E().Model().Oia().substr(0, 3), "TB\x7F");
}

TEST(Commands, PositiveResponsesCarryTheRecordsSequenceNumber) {
  Bound t;
  ASSERT_TRUE(t.Ready());
  t.Host(Concat(Header(0, 2, 5), HostRecord::EraseWrite(kWccRestore).Text("HI")));
  EXPECT_EQ(Hex(t.TakeSent()), "02 00 00 00 05 00 FF EF");
  t.Host(Concat(Header(0, 2, 0x00FF), HostRecord::Write(kWccNone)));
  EXPECT_EQ(Hex(t.TakeSent()), "02 00 00 00 FF FF 00 FF EF");  // 0xFF doubled
  t.Host(Concat(Header(0, 2, 6), Bytes{0x6F}));  // Erase All Unprotected
  EXPECT_EQ(Hex(t.TakeSent()), "02 00 00 00 06 00 FF EF");
  t.Host(Concat(Header(0, 1, 7), HostRecord::Write(kWccNone)));  // only errors answered
  EXPECT_EQ(t.TakeSent(), Bytes{});
}

TEST(Commands, EraseWriteAndEraseWriteAlternateSizes) {
  Session3270 t({.rows = 27, .columns = 132});
  ASSERT_TRUE(t.Ready());
  EXPECT_EQ(t.S().Rows(), 24);
  t.Host(HostRecord::EraseWriteAlternate(kWccNone).Sba(3000).Text("ALT"));
  EXPECT_EQ(t.S().Rows(), 27);
  EXPECT_EQ(t.S().Columns(), 132);
  EXPECT_EQ(t.Row(22).substr(96, 3), "ALT");
  t.Host(HostRecord(0x0D).Byte(kWccNone));  // local form
  EXPECT_EQ(t.Ps().Character(3000), 0);     // cleared
  t.Host(HostRecord(0x05).Byte(kWccNone).Text("DEF"));
  EXPECT_EQ(t.S().Rows(), 24);
  EXPECT_EQ(t.S().Columns(), 80);
  EXPECT_EQ(t.Row(0).substr(0, 3), "DEF");
}

TEST(Commands, ShortEmptyAndStructuredFieldRecords) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Text("SAME"));
  t.Host(Bytes{});
  t.Host(Bytes{0xF1});                    // a Write without WCC does nothing
  t.Host(Bytes{0xF3, 0x00, 0x05, 0x01});  // structured fields are not answered here
  EXPECT_EQ(t.Row(0).substr(0, 4), "SAME");
  EXPECT_EQ(t.E().ProgramCheck(), 0);
  EXPECT_EQ(t.TakeSent(), Bytes{});
}

TEST(Commands, EraseAllUnprotected) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone)
             .Sf(kProtected).Text("LABEL").Sf(kUnprotectedMdt).Text("INPUT")
             .Sf(kNumeric).Text("123").Sf(kAutoskip).Text("SKIP").Ic());
  t.S().SetLockReason(1);
  t.Host(Bytes{0x6F});
  EXPECT_EQ(t.Row(0).substr(0, 27), " LABEL" + std::string(11, ' ') + "SKIP" + std::string(6, ' '));
  EXPECT_EQ(t.Ps().Attribute(6), 0xC0);  // MDT reset
  EXPECT_EQ(t.S().Cursor(), 7);          // first input field
  EXPECT_EQ(t.S().LockReason(), 0);

  t.Host(HostRecord::EraseWrite(kWccNone).Text("ALL INPUT").Sba(500).Ic());
  t.Host(Bytes{0x0F});  // unformatted: everything goes
  EXPECT_EQ(t.Row(0), std::string(80, ' '));
  EXPECT_EQ(t.S().Cursor(), 0);
}

TEST(Commands, ReadBufferSendsEveryPosition) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sf(kProtected).Text("AB").Sba(1919).Text("Z").Sba(3).Ic());
  t.Host(Bytes{0xF2});
  Bytes sent = t.TakeSent();
  ASSERT_EQ(sent.size(), 3u + 1921u + 2u);
  EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + 8)), "60 40 C3 1D 60 C1 C2 00");
  EXPECT_EQ(Hex(Bytes(sent.end() - 3, sent.end())), "E9 FF EF");
  EXPECT_EQ(t.E().CurrentAid(), 0x60);
}

TEST(Commands, ReadModifiedSendsTheModifiedFields) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone)
             .Sf(kProtected).Text("ID")
             .Sf(kUnprotectedMdt).Text("AB").Sba(8).Text("C")  // a null between B and C
             .Sba(20).Sf(kUnprotected).Text("NOT SENT")
             .Sba(40).Sf(kUnprotectedMdt)                        // empty
             .Sba(60).Sf(kProtected).Sba(81).Ic());
  t.Host(Bytes{0xF6});
  EXPECT_EQ(Hex(t.TakeSent()), "60 C1 D1 11 40 C4 C1 C2 C3 11 40 E9 FF EF");
  t.Host(Bytes{0x6E});  // Read Modified All is the same
  EXPECT_EQ(Hex(t.TakeSent()), "60 C1 D1 11 40 C4 C1 C2 C3 11 40 E9 FF EF");

  t.Host(HostRecord::Write(0x41));  // reset the MDTs
  t.Host(Bytes{0x06});
  EXPECT_EQ(Hex(t.TakeSent()), "60 C1 D1 FF EF");
}

TEST(Commands, ReadModifiedWithNullsAsBlanksAndOnUnformattedScreens) {
  Session3270 t({.terminalOptions = kTermNullSpace});
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sf(kUnprotectedMdt).Text("A").Sba(4).Text("B").Sba(30).Sf(kProtected));
  t.Host(Bytes{0xF6});
  EXPECT_EQ(Hex(t.TakeSent()), "60 40 40 11 40 C1 C1 40 40 C2 FF EF");  // trailing nulls left out

  t.Host(HostRecord::EraseWrite(kWccNone).Sba(1).Text("X").Byte(0xFF).Sba(1900).Text("Y"));
  t.Host(Bytes{0xF6});
  Bytes sent = t.TakeSent();
  EXPECT_EQ(sent.size(), 3u + 1901u + 1u + 2u);  // 0xFF doubled; the leading null too is a blank
  EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + 7)), "60 40 40 40 E7 FF FF");
}
