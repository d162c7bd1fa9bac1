// The clipboard commands through the desktop's clipboard, and the rules at
// its edge.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QTest>

#include "app/Clipboard.h"
#include "keyboard/KeyFunctions.h"
#include "tests/ibm3270/Support3270.h"
#include "tests/qt/Desktop.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;
using corvina::test::HostRecord;
namespace sys = kf::sys;

QString Clipboard() { return QGuiApplication::clipboard()->text(); }

class ClipboardInAView : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(d.Start(kKind3279));
    HostRecord r = HostRecord::EraseWrite(corvina::test::kWccRestore);
    r.Sba(0).Sf(corvina::test::kProtected).Text("Userid").Sf(corvina::test::kUnprotected).Ic();
    r.Sba(40).Sf(corvina::test::kProtected).Text("Second half");
    r.Sba(80).Text("Row two");
    d.Record(r);
    ASSERT_TRUE(SpinUntil([&] { return d.Session().Cursor() == 8; }, 5s));
  }
  Desktop d{"TerminalType=3279,24,80,IBM-3279-2-E\n"};
};

TEST_F(ClipboardInAView, CopyTakesTheWholeScreenOrTheSelectionAndAppends) {
  d.Frame().RunCommand(sys::kEditCopy);
  const QStringList lines = Clipboard().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 24);  // LF line ends, none after the last row
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral(" Userid ")));
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Row two")));
  EXPECT_FALSE(Clipboard().contains(QLatin1Char('\r')));
  // A selection by mouse: from row 0, column 1 to row 1, column 6.
  const app::CellSize cell = d.View().Font().Cell();
  const QPoint o = d.View().ScreenOrigin();
  const QPoint from = o + QPoint(1 * cell.width + 2, cell.height / 2), to = o + QPoint(6 * cell.width + 2, cell.height + 3);
  QTest::mousePress(&d.View(), Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseMove(&d.View(), to);
  QTest::mouseRelease(&d.View(), Qt::LeftButton, Qt::NoModifier, to);
  ASSERT_TRUE(d.Session().SelectionActive());
  EXPECT_EQ(d.Session().Selection().right, 6);
  SaveScreenshot(d.View().Grab(), "selection-reverse-video");
  d.Frame().RunCommand(sys::kEditCopyAppend);
  EXPECT_FALSE(d.Session().SelectionActive());
  EXPECT_TRUE(Clipboard().endsWith(QStringLiteral("\nUserid\now two")));
  EXPECT_TRUE(Clipboard().startsWith(QStringLiteral(" Userid ")));
  // Field attribute positions as tabs, when the profile asks.
  d.Session().Profile().editOptions |= kEditFieldAttributeAsTab;
  d.Session().SetSelection(CellRect{0, 0, 7, 0});
  d.Frame().RunCommand(sys::kEditCopy);
  EXPECT_EQ(Clipboard(), QStringLiteral("\tUserid\t"));
}

TEST_F(ClipboardInAView, CutWhileLockedOnlyCopiesAndBeeps) {
  QTest::keyClicks(&d.View(), "abc");
  ASSERT_TRUE(SpinUntil([&] { return d.Session().Cursor() == 11; }, 2s));
  d.Session().SetSelection(CellRect{8, 0, 10, 0});
  d.Session().SetLockReason(1);
  const int beeps = d.Ui().BeepCount();
  d.Frame().RunCommand(sys::kEditCut);
  EXPECT_EQ(Clipboard(), QStringLiteral("abc"));
  EXPECT_EQ(d.Ui().BeepCount(), beeps + 1);
  std::string row;
  d.Session().Engine()->ExtractText(8, 3, row, nullptr, 0);
  EXPECT_EQ(row, "abc");  // nothing erased
  d.Session().SetLockReason(0);
  d.Session().SetSelection(CellRect{8, 0, 10, 0});
  d.Frame().RunCommand(sys::kEditCut);
  row.clear();
  d.Session().Engine()->ExtractText(8, 3, row, nullptr, 0);
  EXPECT_EQ(row, "   ");
  EXPECT_FALSE(d.Session().SelectionActive());
}

TEST_F(ClipboardInAView, PasteTurnsLineEndsIntoRowsAndPasteContinueResumes) {
  d.Session().Profile().editOptions = kEditPasteStream;
  // Stream mode: the text stops at the end of the only input field (32 cells).
  QGuiApplication::clipboard()->setText(QStringLiteral("D\u00e9mo\u20ac") + QString(40, QLatin1Char('x')));
  d.Frame().RunCommand(sys::kEditPaste);
  std::string row;
  d.Session().Engine()->ExtractText(8, 6, row, nullptr, 0);
  EXPECT_EQ(row, "D\xE9mo?x");  // Latin-1 inside; the euro sign has no place there
  const std::size_t offset = d.Session().PasteOffset();
  EXPECT_GT(offset, 0u);
  EXPECT_LT(offset, 45u);
  const int beeps = d.Ui().BeepCount();
  d.Session().SetPasteOffset(45);  // all consumed: Paste Continue beeps and starts over
  d.Frame().RunCommand(sys::kEditPasteContinue);
  EXPECT_EQ(d.Ui().BeepCount(), beeps + 1);
  EXPECT_EQ(d.Session().PasteOffset(), 0u);
}

TEST(ClipboardText, LineEndsCharactersAndTheCap) {
  EXPECT_EQ(app::ToClipboardText("a\r\nb\xE9\r\n"), "a\nb\xC3\xA9\n");
  EXPECT_EQ(app::FromClipboardText("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(app::FromClipboardText(std::string("\xE2\x82\xAC x\0y", 7)), "? xy");
  EXPECT_EQ(app::FromClipboardText("caf\xE9"), "caf\xE9");  // not UTF-8: taken as Latin-1
  std::string huge(app::kMaxClipboardText - 1, 'a');
  huge += "\xC3\xA9\xC3\xA9 and more";  // a character across the cap
  const std::string in = app::FromClipboardText(huge);
  EXPECT_EQ(in.size(), app::kMaxClipboardText - 1);
  EXPECT_EQ(in.back(), 'a');
}

TEST_F(ClipboardInAView, SaveClipboardWritesOnlyRegularFiles) {
  QGuiApplication::clipboard()->setText(QStringLiteral("line one\nline two"));
  const std::string dir = d.Root();
  std::string chosen;
  d.Frame().chooseFileForTests = [&](const app::FileChoice& c) -> std::optional<std::string> {
    EXPECT_EQ(c.defaultName, "Test.txt");
    return chosen;
  };
  chosen = dir + "/saved.txt";
  d.Frame().RunCommand(sys::kEditSaveClipboard);
  EXPECT_EQ(corvina::test::ReadFile(chosen), "line one\r\nline two");
  QString question;
  AnswerNextBox(QMessageBox::Yes, &question);  // append
  d.Frame().RunCommand(sys::kEditSaveClipboard);
  EXPECT_EQ(question, QString::fromStdString("File " + chosen + " already exists.\nDo you want to append to it?"));
  EXPECT_EQ(corvina::test::ReadFile(chosen), "line one\r\nline two\r\nline one\r\nline two");
  // A FIFO (which would block) and a link are refused.
  chosen = dir + "/fifo.txt";
  ASSERT_EQ(::mkfifo(chosen.c_str(), 0600), 0);
  QString refused;
  AnswerNextBox(QMessageBox::Ok, &refused);
  d.Frame().RunCommand(sys::kEditSaveClipboard);
  EXPECT_EQ(refused, QString::fromStdString("Can't write to file " + chosen + "."));
  chosen = dir + "/link.txt";
  ASSERT_EQ(::symlink((dir + "/target.txt").c_str(), chosen.c_str()), 0);
  AnswerNextBox(QMessageBox::Ok, &refused);
  d.Frame().RunCommand(sys::kEditSaveClipboard);
  EXPECT_EQ(refused, QString::fromStdString("Can't write to file " + chosen + "."));
  EXPECT_TRUE(corvina::test::ReadFile(dir + "/target.txt").empty());
  EXPECT_FALSE(app::WriteUserFile(chosen, "x", false).ok);  // not even without the questions
}

}  // namespace
}  // namespace corvina::qt::test
