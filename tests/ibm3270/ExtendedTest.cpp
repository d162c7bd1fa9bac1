// Records of the extended protocol: BIND and UNBIND, line-mode and SSCP-LU
// text, and the session reset they bring.
#include <gtest/gtest.h>

#include "Support3270.h"
#include "keyboard/KeyFunctions.h"
#include "session/Telnet.h"

using namespace corvina;
using namespace corvina::test;

namespace {

Bytes Bind(int rows, int columns, int altRows, int altColumns, std::uint8_t usage) {
  Bytes b(26, 0);
  b[0] = 0x31;
  b[10] = 0x87;
  b[20] = static_cast<std::uint8_t>(rows);
  b[21] = static_cast<std::uint8_t>(columns);
  b[22] = static_cast<std::uint8_t>(altRows);
  b[23] = static_cast<std::uint8_t>(altColumns);
  b[24] = usage;
  return b;
}

struct Extended : Session3270 {
  explicit Extended(SessionOptions o = {}) : Session3270(With(o)) {}
  static SessionOptions With(SessionOptions o) {
    o.extended = true;
    return o;
  }
  unsigned State() { return S().Telnet().CorvinaEState(); }
};

}  // namespace

TEST(ExtendedRecords, BindImageSetsTheScreenSizes) {
  Extended t;
  ASSERT_TRUE(t.Ready());
  EXPECT_EQ(t.State(), kCorvinaESscpLu);
  t.Host(Concat(Header(3), Bind(24, 80, 27, 132, 0x7F)));
  EXPECT_EQ(t.State(), kCorvinaELuLu);
  EXPECT_EQ(t.S().AlternateRows(), 27);
  EXPECT_EQ(t.S().AlternateColumns(), 132);
  EXPECT_EQ(t.S().Rows(), 24);
  t.Host(Concat(Header(0), HostRecord::EraseWriteAlternate(kWccRestore).Sba(3563).Text("E")));
  EXPECT_EQ(t.S().Columns(), 132);
  EXPECT_EQ(t.Row(26).substr(131), "E");

  // 0x7E: one size for both.
  t.Host(Concat(Header(4), Bytes{}));  // UNBIND
  t.Host(Concat(Header(3), Bind(32, 80, 0, 0, 0x7E)));
  EXPECT_EQ(t.S().DefaultRows(), 32);
  EXPECT_EQ(t.S().AlternateRows(), 32);
  EXPECT_EQ(t.S().AlternateColumns(), 80);
}

// Sizes that do not describe real buffers are refused; the profile's stay.
TEST(ExtendedRecords, BindSizesThatDoNotFitKeepTheProfileSizes) {
  const Bytes bad[] = {
      Bind(0, 80, 24, 80, 0x7F),    // no rows
      Bind(24, 0, 24, 80, 0x7F),    // no columns
      Bind(24, 80, 0, 0, 0x7F),     // no alternate
      Bind(24, 80, 200, 200, 0x3F), // beyond 14-bit addresses
      Bind(0, 0, 0, 0, 0x7E),
  };
  for (const Bytes& bind : bad) {
    Extended t({.rows = 32, .columns = 80});
    ASSERT_TRUE(t.Ready());
    t.Host(Concat(Header(3), bind));
    SCOPED_TRACE(Hex(bind));
    EXPECT_EQ(t.State(), kCorvinaELuLu);
    EXPECT_EQ(t.S().DefaultRows(), 24);
    EXPECT_EQ(t.S().AlternateRows(), 32);
    EXPECT_EQ(t.S().AlternateColumns(), 80);
    t.Host(Concat(Header(0), HostRecord::EraseWriteAlternate(kWccRestore).Sba(2559).Text("OK")));
    EXPECT_EQ(t.Row(31).substr(79), "O");
  }
}

TEST(ExtendedRecords, UnbindClearsAndReturnsToSscpLu) {
  Extended t({.rows = 27, .columns = 132});
  ASSERT_TRUE(t.Ready());
  t.Host(Concat(Header(3), Bind(24, 80, 24, 80, 0x7E)));
  EXPECT_EQ(t.S().AlternateColumns(), 80);
  t.Host(Concat(Header(0), HostRecord::EraseWrite(kWccRestore).Text("BOUND")));
  t.Host(Concat(Header(4), Bytes{0x32, 0x01}));
  EXPECT_EQ(t.State(), kCorvinaESscpLu);
  EXPECT_TRUE(t.S().Telnet().BindImage().empty());
  EXPECT_EQ(t.Row(0), std::string(80, ' '));
  EXPECT_EQ(t.S().AlternateColumns(), 132);  // the profile's again
  t.Screen();
  EXPECT_EQ(t.E().Model().Oia().substr(0, 3), "TB!");
  // 3270 data is not for the SSCP-LU session.
  t.Host(Concat(Header(0), HostRecord::EraseWrite(kWccRestore).Text("IGNORED")));
  EXPECT_EQ(t.Row(0), std::string(80, ' '));
}

TEST(ExtendedRecords, SscpLuTextIsShownAtTheCursor) {
  Extended t;
  ASSERT_TRUE(t.Ready());
  Bytes text = HostRecord(0xC8).Text("ELLO").Byte(0x15).Text("READY").Data();  // "HELLO" NL "READY"
  t.Host(Concat(Header(7), text));
  EXPECT_EQ(Trim(t.Row(0)), "HELLO");
  EXPECT_EQ(Trim(t.Row(1)), "READY");
  EXPECT_EQ(t.S().Cursor(), 85);
  EXPECT_EQ(t.Ps().sscpStart, 85);
  EXPECT_EQ(t.Ps().sscpEnd, 85);
}

TEST(ExtendedRecords, NvtTextThenBackTo3270) {
  Extended t;
  ASSERT_TRUE(t.Ready());
  t.Host(Concat(Header(3), Bind(24, 80, 24, 80, 0x7E)));
  t.Host(Concat(Header(0), HostRecord::EraseWrite(kWccRestore).Text("SCREEN")));
  std::string nvt = "line one\r\nAB\bC\tT\x01\x07";
  t.Host(Concat(Header(5), Bytes(nvt.begin(), nvt.end())));
  EXPECT_EQ(t.State(), kCorvinaENvt);
  EXPECT_EQ(Trim(t.Row(0)), "line one");  // the session was reset first
  EXPECT_EQ(Trim(t.Row(1)), "AC      T");
  EXPECT_EQ(t.Ui().beeps.size(), 1u);
  t.Host(Concat(Header(0), HostRecord::EraseWrite(kWccRestore).Text("BACK")));
  EXPECT_EQ(t.State(), kCorvinaELuLu);
  EXPECT_EQ(Trim(t.Row(0)), "BACK");
}

// The default may be the larger size: 27 x 132 with a 43 x 80 alternate.
TEST(ExtendedRecords, BindDefaultLargerThanTheAlternateIsUsed) {
  Extended t;
  ASSERT_TRUE(t.Ready());
  t.Host(Concat(Header(3), Bind(27, 132, 43, 80, 0x7F)));
  EXPECT_EQ(t.S().DefaultRows(), 27);
  EXPECT_EQ(t.S().DefaultColumns(), 132);
  EXPECT_EQ(t.S().AlternateRows(), 43);
  EXPECT_EQ(t.S().AlternateColumns(), 80);
  t.Host(Concat(Header(0), HostRecord::EraseWrite(kWccRestore).Sba(3563).Text("D")));
  EXPECT_EQ(t.S().Columns(), 132);
  EXPECT_EQ(t.Row(26).substr(131), "D");
  t.Host(Concat(Header(0), HostRecord::EraseWriteAlternate(kWccRestore).Sba(3439).Text("A")));
  EXPECT_EQ(t.S().Rows(), 43);
  EXPECT_EQ(t.S().Columns(), 80);
  EXPECT_EQ(t.Row(42).substr(79), "A");
}

TEST(ExtendedRecords, EnteringNvtModeEmptiesTheLineBuffer) {
  Extended t;
  ASSERT_TRUE(t.Ready());
  t.Host(Concat(Header(3), Bind(24, 80, 24, 80, 0x7E)));
  const Bytes nvt{'>', ' '};
  t.Host(Concat(Header(5), nvt));
  ASSERT_EQ(t.State(), kCorvinaENvt);
  for (char c : std::string("old")) t.S().OnCharacter(c);
  EXPECT_EQ(t.E().NvtLine(), "old");
  t.Host(Concat(Header(0), HostRecord::EraseWrite(kWccRestore).Text("3270")));
  ASSERT_EQ(t.State(), kCorvinaELuLu);
  t.Host(Concat(Header(5), nvt));
  EXPECT_EQ(t.E().NvtLine(), "");
  t.TakeSent();
  for (char c : std::string("new")) t.S().OnCharacter(c);
  t.S().OnKeyFunction(kf::ibm3270::kEnter);
  EXPECT_EQ(Hex(t.TakeSent()), "05 00 00 00 00 6E 65 77 0D 0A FF EF");
}
