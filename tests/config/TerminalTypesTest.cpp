#include "config/TerminalTypes.h"

#include <gtest/gtest.h>

#include "config/SessionProfile.h"

namespace corvina {
namespace {

TEST(TerminalKinds, ShortNamesBothWays) {
  for (unsigned code : {16u, 17u, 18u, 32u, 34u, 258u, 259u, 260u}) {
    EXPECT_EQ(TerminalCodeOfShortName(TerminalShortName(code)), code);
  }
  EXPECT_EQ(TerminalShortName(18), "3270P");
  EXPECT_EQ(TerminalShortName(257), "");
  EXPECT_EQ(TerminalShortName(0), "");
  EXPECT_EQ(TerminalCodeOfShortName("vt100"), 0u);
  EXPECT_EQ(TerminalCodeOfShortName(""), 0u);
  EXPECT_EQ(TerminalCodeOfShortName("VT100 "), 0u);
}

TEST(TerminalKinds, ConnectDialogSelectionAndDefaultNames) {
  auto selection = TerminalSelectionForShortName("5250");
  ASSERT_TRUE(selection);
  EXPECT_EQ(selection->code, 32u);
  EXPECT_EQ(selection->rows, 27);
  EXPECT_EQ(selection->columns, 132);
  EXPECT_EQ(TerminalSelectionForShortName("5250P")->rows, 24);
  EXPECT_FALSE(TerminalSelectionForShortName("3277"));
  EXPECT_EQ(DefaultObjectNameForKind(18), "3270 Default");
  EXPECT_EQ(DefaultObjectNameForKind(34), "5250 Default");
  EXPECT_EQ(DefaultObjectNameForKind(258), "VT100 Default");
  EXPECT_EQ(DefaultObjectNameForKind(0), "");
}

TEST(TerminalTypes, BuiltInRowsInOrder) {
  CCorvinaTerminalTypes types;
  const auto& rows = types.Rows();
  ASSERT_EQ(rows.size(), 14u);
  EXPECT_EQ(rows[0].displayName, "IBM 3278-2 (24x80)");
  EXPECT_EQ(rows[4].displayName, "IBM 3279-2 (24x80)");
  EXPECT_EQ(rows[4].telnetType, "IBM-3278-2-E");
  EXPECT_EQ(rows[9].telnetType, "IBM-3477-FC");
  EXPECT_EQ(rows[12].code, 258);
  EXPECT_EQ(rows[13].displayName, "IBM 3287-1");
  EXPECT_EQ(rows[13].code, 18);
  const TerminalTypeRow* row = types.Find(16, 43, 80);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->telnetType, "IBM-3278-4");
  EXPECT_EQ(types.Find(34, 24, 80), nullptr);
  EXPECT_EQ(types.FindByDisplayName("VT220")->code, 260);
  EXPECT_EQ(types.FindByDisplayName("vt220"), nullptr);
}

TEST(TerminalTypes, CustomRowsOnlyForAllowedKindsAndSizes) {
  CCorvinaTerminalTypes types;
  EXPECT_EQ(types.DisplayNameFor(17, 30, 100), "IBM 3279-5 (30x100)");
  ASSERT_EQ(types.Rows().size(), 15u);
  EXPECT_EQ(types.Rows().back().telnetType, "IBM-3279-5-E");
  EXPECT_EQ(types.DisplayNameFor(17, 30, 100), "IBM 3279-5 (30x100)");
  EXPECT_EQ(types.Rows().size(), 15u);
  EXPECT_EQ(types.DisplayNameFor(259, 27, 132), "VT100 (27x132)");
  EXPECT_EQ(types.Find(259, 27, 132)->telnetType, "DEC-VT100");
  EXPECT_EQ(types.DisplayNameFor(258, 72, 200), "ANSI (72x200)");
  EXPECT_EQ(types.DisplayNameFor(260, 20, 80), "VT220 (20x80)");
  EXPECT_EQ(types.Rows().size(), 18u);

  for (unsigned code : {16u, 18u, 32u, 34u, 257u, 261u}) {
    EXPECT_EQ(types.DisplayNameFor(code, 30, 100), "") << code;
  }
  EXPECT_EQ(types.DisplayNameFor(17, 19, 80), "");
  EXPECT_EQ(types.DisplayNameFor(17, 73, 80), "");
  EXPECT_EQ(types.DisplayNameFor(17, 24, 79), "");
  EXPECT_EQ(types.DisplayNameFor(17, 24, 201), "");
  EXPECT_EQ(types.DisplayNameFor(17, 0, 0), "");
  EXPECT_EQ(types.DisplayNameFor(17, -24, -80), "");
  EXPECT_EQ(types.Rows().size(), 18u);
  // Built-in sizes are found, never added.
  EXPECT_EQ(types.DisplayNameFor(16, 27, 132), "IBM 3278-5 (27x132)");
  EXPECT_EQ(types.Rows().size(), 18u);
}

TEST(TerminalTypes, BuiltInCheckIgnoresAddedRows) {
  CCorvinaTerminalTypes types;
  types.DisplayNameFor(17, 62, 160);
  EXPECT_NE(types.Find(17, 62, 160), nullptr);
  EXPECT_FALSE(CCorvinaTerminalTypes::IsBuiltIn(17, 62, 160));
  EXPECT_TRUE(CCorvinaTerminalTypes::IsBuiltIn(17, 27, 132));
  EXPECT_TRUE(CCorvinaTerminalTypes::IsBuiltIn(18, 24, 80));
  EXPECT_FALSE(CCorvinaTerminalTypes::IsBuiltIn(18, 27, 132));
}

}  // namespace
}  // namespace corvina
