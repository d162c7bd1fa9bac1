// Whole sessions against the scriptable test host: its scenarios check what
// the session sends, these tests what the screen shows.
#include <gtest/gtest.h>

#include "Support3270.h"

using namespace corvina;
using namespace corvina::test;

TEST(HostScenario, LogonScreenReadModifiedAndErrorReport) {
  TestHost host("ibm3270/scenarios/logon.py");
  ASSERT_TRUE(host.Ready()) << "the test host did not start";
  Session3270 t({.port = host.Port()});
  ASSERT_TRUE(t.Ready()) << host.Log();
  ASSERT_TRUE(t.RunUntil([&] { return t.E().ProgramCheck() == 401; })) << host.Log();
  auto screen = t.Screen();
  EXPECT_EQ(screen[0].substr(30, 21), " CORVINA TEST SYSTEM ");
  EXPECT_EQ(screen[2].substr(0, 18), " Userid  ==> GUEST");
  EXPECT_EQ(screen[3].substr(0, 22), " Password==>          ");  // hidden
  EXPECT_EQ(screen[22].substr(0, 6), "\u2500\u2500");
  EXPECT_EQ(screen[23].substr(0, 8), "PF3=End ");
  t.Close();
  EXPECT_EQ(host.Wait(), 0) << host.Log();
}

TEST(HostScenario, ExtendedProtocolBindResponsesAndProgramCheck) {
  TestHost host("ibm3270/scenarios/extended.py");
  ASSERT_TRUE(host.Ready()) << "the test host did not start";
  Session3270 t({.port = host.Port()});
  ASSERT_TRUE(t.Ready()) << host.Log();
  ASSERT_TRUE(t.RunUntil([&] { return t.E().ProgramCheck() == 402; })) << host.Log();
  EXPECT_EQ(t.S().Columns(), 132);
  auto screen = t.Screen();
  EXPECT_EQ(screen[0].substr(0, 12), " WIDE SCREEN");
  EXPECT_EQ(screen[26].substr(120), " CORNERKEPT ");
  EXPECT_EQ(t.S().LockReason(), 3);
  t.Close();
  EXPECT_EQ(host.Wait(), 0) << host.Log();
}
