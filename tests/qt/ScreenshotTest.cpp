// The screens people look at: written as PNG files into the build folder's
// screenshots/ (demo logon and menu, 32 x 80 and 27 x 132 screens, a VT
// screen with line drawing and double-size lines).
#include <gtest/gtest.h>

#include <QTest>

#include "tests/ibm3270/Support3270.h"
#include "tests/qt/Desktop.h"
#include "vt/VtEngine.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;
using corvina::test::HostRecord;

bool ScreenHas(Desktop& d, const std::string& text) {
  for (const std::string& row : d.Session().ScreenRows())
    if (row.find(text) != std::string::npos) return true;
  return false;
}

TEST(Screenshots, DemoLogonAndMenu) {
  corvina::test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\nDisplayOptions=2864\n", "Preferences=4\n", host.Port());
  ASSERT_TRUE(d.Start(kKind3279));
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d, "Userid"); }, 10s));
  SpinFor(100ms);
  SaveScreenshot(d.Frame().grab().toImage(), "demo-logon");
  d.View().setFocus();
  QTest::keyClicks(&d.View(), "demo");
  QTest::keyClick(&d.View(), Qt::Key_Tab);
  QTest::keyClicks(&d.View(), "demo");
  QTest::keyClick(&d.View(), Qt::Key_Return);
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d, "Menu"); }, 10s));
  SpinFor(100ms);
  SaveScreenshot(d.Frame().grab().toImage(), "demo-menu");
}

TEST(Screenshots, A32x80ScreenInColour) {
  Desktop d("TerminalType=3279,32,80,IBM-3279-3-E\nDisplayOptions=2864\nFontOptions=0\n");
  ASSERT_TRUE(d.Start(kKind3279));
  HostRecord r = HostRecord::EraseWriteAlternate(corvina::test::kWccRestore);
  const std::uint8_t colours[] = {0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7};
  for (int row = 0; row < 32; ++row) {
    r.Sba(row * 80).Sfe({{0xC0, corvina::test::kProtected}, {0x42, colours[row % 7]}});
    r.Text("Row " + std::to_string(row + 1) + " of a 32 x 80 screen");
    if (row % 4 == 1) r.Sfe({{0xC0, corvina::test::kUnprotected}, {0x41, 0xF4}}).Text("underlined input");
    if (row % 4 == 3) r.Sfe({{0xC0, corvina::test::kProtected}, {0x41, 0xF2}}).Text("reverse video");
  }
  d.Record(r);
  ASSERT_TRUE(SpinUntil([&] { return d.View().ScreenRows() == 33; }, 5s));
  SpinFor(100ms);
  SaveScreenshot(d.Frame().grab().toImage(), "screen-32x80");
}

TEST(Screenshots, VtLineDrawingDoubleSizeLinesAndTheScrollBar) {
  Desktop d("TerminalType=VT100,24,80,DEC-VT100\nFontOptions=0\n");
  ASSERT_TRUE(d.Start(kKindVt100));
  std::string s;
  for (int i = 1; i <= 40; ++i) s += "history line " + std::to_string(i) + "\r\n";
  s += "\x1b[H\x1b[2J";
  s += "\x1b#3\x1b[1;33mDouble height\x1b[0m\r\n\x1b#4\x1b[1;33mDouble height\x1b[0m\r\n";
  s += "\x1b#6\x1b[36mDouble width line\x1b[0m\r\n\r\n";
  s += "\x1b(0lqqqqqqqqwqqqqqqqqk\r\nx\x1b(B cell 1 \x1b(0x\x1b(B cell 2 \x1b(0x\r\ntqqqqqqqqnqqqqqqqqu\r\n";
  s += "x\x1b(B\x1b[7m reverse\x1b[0m \x1b(0x\x1b(B\x1b[4munderline\x1b(0\x1b[0mx\r\nmqqqqqqqqvqqqqqqqqj\x1b(B\r\n\r\n";
  s += "\x1b(0`a fgjklmnopqrstuvwxyz{|}~\x1b(B  glyphs\r\n\r\n";
  s += "\x1b[31mred \x1b[32mgreen \x1b[34mblue \x1b[1;31mbold red \x1b[1;37mbold white\x1b[0m \x1b[5mblink\x1b[0m\r\n";
  d.Send(s);
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d, "bold white"); }, 5s));
  SpinFor(200ms);
  auto* vt = dynamic_cast<CVtEngine*>(d.Session().Engine());
  ASSERT_NE(vt, nullptr);
  EXPECT_GT(vt->Terminal().Screen().HistoryLines(), 0);
  // The scroll bar appeared and the frame made room for it at the same font size.
  const app::CellSize cell = d.View().Font().Cell();
  EXPECT_TRUE(SpinUntil([&] { return d.Client().width() > 80 * cell.width; }, 2s));
  SaveScreenshot(d.Frame().grab().toImage(), "vt-linedrawing");
  vt->SetViewOffset(10);
  d.View().update();
  SpinFor(100ms);
  SaveScreenshot(d.Frame().grab().toImage(), "vt-scrollback");
}

}  // namespace
}  // namespace corvina::qt::test
