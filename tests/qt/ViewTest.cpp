// The terminal view's sizing rules and what it draws, with screenshots.
#include <gtest/gtest.h>

#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolTip>

#include "app/ViewSizing.h"
#include "config/SessionProfile.h"
#include "keyboard/KeyFunctions.h"
#include "tests/ibm3270/Support3270.h"
#include "tests/qt/Desktop.h"
#include "vt/VtEngine.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;
using corvina::test::HostRecord;

constexpr char k3279x27[] = "TerminalType=3279,27,132,IBM-3279-5-E\n";
// The screen font at S points (W 0) or as an S x W pixel cell.
std::string ScreenFont(int s, int w) {
  return "ScreenFont=" + std::to_string(s) + "," + std::to_string(w) + ",16,8,0,0,400,0,0,0,0,0,0,0,1,Courier New\n";
}

// A logon-like screen: a protected title, an unprotected field, a bright one.
HostRecord DemoScreen(bool alternate) {
  HostRecord r = alternate ? HostRecord::EraseWriteAlternate(corvina::test::kWccRestore)
                           : HostRecord::EraseWrite(corvina::test::kWccRestore);
  r.Sba(0).Sf(corvina::test::kProtectedBright).Text("CORVINA TEST SCREEN");
  r.Sba(160).Sf(corvina::test::kProtected).Text("Userid ===>").Sf(corvina::test::kUnprotected).Ic();
  r.Sba(240).Sf(0xF0);
  return r;
}

app::CellSize Cell(Desktop& d) { return d.View().Font().Cell(); }

bool ScreenHas(Desktop& d, const std::string& text) {
  for (const std::string& row : d.Session().ScreenRows())
    if (row.find(text) != std::string::npos) return true;
  return false;
}

TEST(View, WithoutScalingTheFrameFitsA27x132ScreenAndItsOiaLine) {
  // The offscreen screen is 800 pixels wide: a 6 x 12 cell fits 132 columns.
  Desktop d(std::string(k3279x27) + "FontOptions=0\nDisplayOptions=2864\n" + ScreenFont(12, 6));  // 0xB30: OIA line
  ASSERT_TRUE(d.Start(kKind3279));
  d.Record(DemoScreen(true));
  ASSERT_TRUE(SpinUntil([&] { return d.View().ScreenColumns() == 132; }, 5s));
  const app::CellSize cell = Cell(d);
  ASSERT_TRUE(SpinUntil([&] { return d.Client() == QSize(132 * cell.width, 28 * cell.height); }, 5s))
      << d.Client().width() << "x" << d.Client().height() << " for a cell of " << cell.width << "x" << cell.height;
  EXPECT_EQ(d.View().ScreenOrigin(), QPoint(0, 0));
  SaveScreenshot(d.Frame().grab().toImage(), "screen-27x132");
}

TEST(View, ScalingKeepsTheLargestFontThatFitsAndNeverGoesBelowTheMinimumCell) {
  Desktop d(std::string(k3279x27) + "FontOptions=1\n");
  ASSERT_TRUE(d.Start(kKind3279));
  d.Record(DemoScreen(false));
  ASSERT_TRUE(SpinUntil([&] { return d.View().ScreenRows() == 24; }, 5s));
  d.Frame().resize(1000, 700);
  ASSERT_TRUE(SpinUntil([&] { return d.Frame().width() == 1000; }, 5s));
  SpinFor(50ms);
  const QSize client = d.Client();
  app::CellSize cell = Cell(d);
  EXPECT_LE(80 * cell.width, client.width());
  EXPECT_LE(24 * cell.height, client.height());
  // Fitting: the next larger cell would not fit in one direction at least.
  EXPECT_TRUE(80 * (cell.width + 1) > client.width() || 24 * (cell.height + 1) > client.height());
  // The profile keeps the cell for the store's next save, not at once.
  EXPECT_EQ(d.Session().Profile().screenFontSize1, cell.height);
  EXPECT_EQ(d.Session().Profile().screenFontSize2, cell.width);
  EXPECT_TRUE(d.Session().Profile().modified);
  EXPECT_EQ(corvina::test::ReadFile(d.Root() + "/data/Test.tsp").find("ScreenFont="), std::string::npos);

  d.Frame().resize(120, 100);
  SpinFor(100ms);
  cell = Cell(d);
  EXPECT_GE(cell.width, app::kMinimumCell.width);
  EXPECT_GE(cell.height, app::kMinimumCell.height);
  EXPECT_LT(d.View().width(), 80 * cell.width + 1);  // the screen is larger than the window
}

TEST(View, FontSizeCommandsStepWithinTheirLimits) {
  Desktop d(std::string(k3279x27) + "FontOptions=0\n" + ScreenFont(7, 0));
  ASSERT_TRUE(d.Start(kKind3279));
  d.Record(DemoScreen(false));
  ASSERT_TRUE(SpinUntil([&] { return d.View().ScreenRows() == 24; }, 5s));
  const int beeps = d.Ui().BeepCount();
  const app::CellSize before = Cell(d);
  EXPECT_TRUE(d.Frame().RunCommand(kf::sys::kSetupFontSmaller));
  EXPECT_EQ(d.Session().Profile().screenFontSize1, 6);
  EXPECT_EQ(d.Session().Profile().screenFontSize2, 0);
  EXPECT_EQ(d.Ui().BeepCount(), beeps);
  d.Frame().RunCommand(kf::sys::kSetupFontSmaller);  // at 6 points: a beep, nothing else
  EXPECT_EQ(d.Ui().BeepCount(), beeps + 1);
  EXPECT_EQ(d.Session().Profile().screenFontSize1, 6);
  EXPECT_LE(Cell(d).height, before.height);
  // The frame follows the new size, and the store saved the profile.
  ASSERT_TRUE(SpinUntil([&] { return d.Client() == QSize(80 * Cell(d).width, 24 * Cell(d).height); }, 5s));
  EXPECT_NE(corvina::test::ReadFile(d.Root() + "/data/Test.tsp").find("ScreenFont=6,0,"), std::string::npos);
  for (int i = 0; i < 80; ++i) d.Frame().RunCommand(kf::sys::kSetupFontLarger);
  EXPECT_EQ(d.Session().Profile().screenFontSize1, app::kLargestPointSize);
  EXPECT_GT(d.Ui().BeepCount(), beeps + 1);  // the upper limit beeps
  // Fitting never exceeds the screen.
  const QRect available = d.Frame().screen()->availableGeometry();
  EXPECT_LE(d.Frame().frameGeometry().width(), available.width());
  EXPECT_LE(d.Frame().frameGeometry().height(), available.height());
}

TEST(View, FullScreenFillsTheScreenShowsTheOiaAndRestoresTheWindow) {
  Desktop d(std::string(k3279x27) + "FontOptions=0\n", "Preferences=4\n");
  ASSERT_TRUE(d.Start(kKind3279));
  d.Record(DemoScreen(false));
  ASSERT_TRUE(SpinUntil([&] { return d.View().ScreenRows() == 24; }, 5s));
  SpinFor(50ms);
  const QRect before = d.Frame().geometry();
  EXPECT_FALSE(d.View().OiaShown());
  d.Frame().RunCommand(kf::sys::kViewFullScreen);
  ASSERT_TRUE(SpinUntil([&] { return d.Frame().isFullScreen(); }, 5s));
  // Preferences bit 0x40 clear: the OIA line is drawn, toolbar and status bar go.
  EXPECT_TRUE(d.View().OiaShown());
  EXPECT_FALSE(d.Frame().statusBar()->isVisible());
  SpinFor(50ms);
  EXPECT_EQ(d.Frame().geometry().size(), d.Frame().screen()->geometry().size());
  d.Frame().RunCommand(kf::sys::kViewFullScreen);
  ASSERT_TRUE(SpinUntil([&] { return !d.Frame().isFullScreen(); }, 5s));
  SpinFor(50ms);
  EXPECT_EQ(d.Frame().geometry(), before);
  EXPECT_FALSE(d.View().OiaShown());
}

// The kept picture after a small scroll-back move (pixels moved, uncovered
// rows drawn) and after blink steps (only blinking cells drawn) equals a
// picture drawn whole.
TEST(View, MovedAndBlinkRepaintedPicturesEqualFullRepaints) {
  Desktop d("TerminalType=VT100,24,80,DEC-VT100\nFontOptions=0\n");
  ASSERT_TRUE(d.Start(kKindVt100));
  std::string s;
  for (int i = 1; i <= 60; ++i) s += "line " + std::to_string(i) + (i % 7 ? "" : " \x1b[7mreversed\x1b[0m") + "\r\n";
  s += "\x1b[5mblinking\x1b[0m steady";
  d.Send(s);
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d, "steady"); }, 5s));
  auto* vt = dynamic_cast<CVtEngine*>(d.Session().Engine());
  ASSERT_NE(vt, nullptr);
  d.View().StopBlinkClock();  // the test steps it
  auto picture = [&] { return d.View().Grab(); };
  auto whole = [&] {
    d.View().ApplyProfile();
    return picture();
  };
  for (int offset : {5, 8, 2, 14, 13}) {  // moves of at most half a screen, both ways
    vt->SetViewOffset(offset);
    const QImage moved = picture();
    EXPECT_TRUE(moved == whole()) << "offset " << offset;
  }
  vt->SetViewOffset(0);
  whole();
  QImage phases[2];
  for (QImage& phase : phases) {
    d.View().BlinkStep();
    phase = picture();
    EXPECT_TRUE(phase == whole());
  }
  EXPECT_FALSE(phases[0] == phases[1]);  // the blinking text came or went
}

// An attribute's description shows after the mouse rests on it for a second.
TEST(View, AttributeTipsWaitASecond) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\nFontOptions=0\nDisplayOptions=64\n");
  ASSERT_TRUE(d.Start(kKind3279));
  d.Record(DemoScreen(false));
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d, "Userid"); }, 5s));
  const app::CellSize cell = Cell(d);
  const QPoint attribute = d.View().ScreenOrigin() + QPoint(cell.width / 2, cell.height / 2);  // row 1, column 1
  QTest::mouseMove(&d.View(), attribute);
  SpinFor(500ms);
  EXPECT_FALSE(QToolTip::isVisible());
  ASSERT_TRUE(SpinUntil([&] { return QToolTip::isVisible(); }, 2s));
  EXPECT_EQ(QToolTip::text().toStdString(), "1, 1, protected, high intensity, selectable");
  QTest::mouseMove(&d.View(), attribute + QPoint(5 * cell.width, 0));  // a character cell: no tip
  SpinFor(1500ms);
  EXPECT_FALSE(QToolTip::isVisible());
}

TEST(ViewSizing, ScalingEndsEvenWhenTheFontMeasuresOddly) {
  // A face whose cell comes out larger than asked, whatever is asked.
  int calls = 0;
  const app::ScaledFont f = app::ScaleScalableFont({400, 300}, 25, 80, [&](int h, int w) {
    ++calls;
    return app::CellSize{w + 3, h + 5};
  });
  EXPECT_LT(calls, 5000);
  EXPECT_EQ(f.width, app::kMinimumCell.width);  // still too wide at the minimum
  EXPECT_LE(25 * (f.height + 5), 300);          // the largest height that fits
  EXPECT_GT(25 * (f.height + 6), 300);
  // A zero cell neither divides nor loops.
  const app::ScaledFont z = app::ScaleScalableFont({0, 0}, 0, 0, [](int, int) { return app::CellSize{0, 0}; });
  EXPECT_GE(z.cell.width, 1);
}

TEST(ViewSizing, FixedSizesAndPointSteps) {
  const app::CellSize sizes[] = {{6, 10}, {8, 13}, {8, 16}, {10, 20}};
  EXPECT_EQ(app::LargestFixedSize(sizes, {9, 17}), (app::CellSize{8, 16}));
  EXPECT_EQ(app::LargestFixedSize(sizes, {5, 9}), std::nullopt);  // the frame is fitted instead
  EXPECT_EQ(app::NextFixedSize(sizes, {8, 13}, true), (app::CellSize{8, 16}));
  EXPECT_EQ(app::NextFixedSize(sizes, {10, 20}, true), std::nullopt);
  EXPECT_EQ(app::NextFixedSize(sizes, {6, 10}, false), std::nullopt);
  EXPECT_EQ(app::NextPointSize(10, 10, true), 11);
  EXPECT_EQ(app::NextPointSize(7, 6, false), std::nullopt);
  EXPECT_EQ(app::NextPointSize(72, 72, true), std::nullopt);
  EXPECT_EQ(app::FittedFrameSize({800, 600}, {780, 520}, {1056, 448}, {1024, 768}), (app::PixelSize{1024, 528}));
  EXPECT_EQ(app::CentredOffset(100, 140), 0);
  EXPECT_EQ(app::CentredOffset(100, 60), 20);
}

}  // namespace
}  // namespace corvina::qt::test
