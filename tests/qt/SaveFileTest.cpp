// Save As of the screen through the desktop's file dialog and its append
// question, and the Printer page's page setup; pictures of each.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/qt/SetupDialogs.h"
#include "keyboard/KeyFunctions.h"
#include "tests/ibm3270/Support3270.h"
#include "tests/qt/Desktop.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;

TEST(SaveFiles, SaveAsOffersTheLogFileAndAsksBeforeAppending) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  ASSERT_TRUE(d.Start(kKind3279));
  corvina::test::HostRecord r = corvina::test::HostRecord::EraseWrite(corvina::test::kWccRestore);
  r.Sba(0).Text("SAVED SCREEN");
  d.Record(r);
  ASSERT_TRUE(SpinUntil([&] { return d.Session().ScreenRows()[0].rfind("SAVED SCREEN", 0) == 0; }, 5s));
  const QString file = QString::fromStdString(d.Root() + "/screen.log");
  QString title, offered;
  QStringList filters;
  auto choose = [&](QFileDialog& dialog) {
    title = dialog.windowTitle();
    filters = dialog.nameFilters();
    offered = dialog.selectedFiles().value(0);
    SaveScreenshot(dialog.grab().toImage(), "dialog-save-screen");
    dialog.selectFile(file);
    static_cast<QDialog&>(dialog).accept();  // as the Save button does
  };
  OnNextModal<QFileDialog>(choose);
  d.Frame().RunCommand(kf::sys::kHostSaveAs);
  EXPECT_EQ(title, QStringLiteral("Select Log File Name - Corvina"));
  EXPECT_EQ(filters, QStringList({QStringLiteral("Log files (*.log)"), QStringLiteral("All Files (*)")}));
  EXPECT_TRUE(offered.endsWith(QStringLiteral("/Session1.log"))) << offered.toStdString();
  const std::string once = corvina::test::ReadFile(file.toStdString());
  ASSERT_EQ(once.rfind("SAVED SCREEN", 0), 0u) << once;
  EXPECT_EQ(once.size(), 24u * 82u);

  // The same file again: the question, answered Yes, appends.
  QString question;
  OnNextModal<QFileDialog>([&](QFileDialog& dialog) {
    OnNextModal<QMessageBox>([&](QMessageBox& box) {
      question = box.text();
      SaveScreenshot(box.grab().toImage(), "dialog-save-append");
      box.button(QMessageBox::Yes)->click();
    });
    choose(dialog);
  });
  d.Frame().RunCommand(kf::sys::kHostSaveAs);
  EXPECT_EQ(question, QStringLiteral("File ") + file + QStringLiteral(" already exists.\nDo you want to append to it?"));
  EXPECT_EQ(corvina::test::ReadFile(file.toStdString()), once + once);
  // Save goes to that file without asking.
  d.Frame().RunCommand(kf::sys::kHostSave);
  EXPECT_EQ(corvina::test::ReadFile(file.toStdString()), once + once + once);
}

TEST(SaveFiles, PageSetupRefusesABadMarginAndStoresUnitAndOrientation) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\nPageLayout=1000,500,0,0,66,132\n");
  CSessionSetupDialog setup(d.App(), "Test", 4, &d.Frame());
  setup.show();
  SpinFor(50ms);
  QPushButton* button = setup.Button(QStringLiteral("Page Setup..."));
  ASSERT_NE(button, nullptr);
  QString refusal, inchesTitle, metricTitle, shownLeft;
  bool selected = false;
  OnNextModal<CPageSetupDialog>([&](CPageSetupDialog& p) {
    inchesTitle = p.MarginsBox()->title();
    shownLeft = p.Margin(0)->text();
    SaveScreenshot(p.grab().toImage(), "dialog-page-setup");
    p.Margin(1)->setText(QStringLiteral("1.2.3"));
    OnNextModal<QMessageBox>([&](QMessageBox& box) {
      refusal = box.text();
      box.button(QMessageBox::Ok)->click();
    });
    p.accept();
    selected = p.isVisible() && p.Margin(1)->selectedText() == QStringLiteral("1.2.3");
    p.MetricButton()->click();
    metricTitle = p.MarginsBox()->title();
    p.Margin(1)->setText(QStringLiteral("1.5"));
    p.LandscapeButton()->click();
    SaveScreenshot(p.grab().toImage(), "dialog-page-setup-metric");
    p.accept();
  });
  button->click();
  EXPECT_EQ(inchesTitle, QStringLiteral("Margins (inches)"));
  EXPECT_EQ(shownLeft, QStringLiteral("1.000"));
  EXPECT_EQ(refusal, QStringLiteral("Invalid margin entry."));
  EXPECT_TRUE(selected);
  EXPECT_EQ(metricTitle, QStringLiteral("Margins (millimeters)"));
  QPushButton* apply = setup.Button(QStringLiteral("Apply"));
  ASSERT_NE(apply, nullptr);
  EXPECT_TRUE(apply->isEnabled());
  apply->click();
  auto stored = d.App().Store().FindProfile("Test");
  EXPECT_EQ(stored->pageLayout.leftMargin, 2540);  // 1 inch
  EXPECT_EQ(stored->pageLayout.topMargin, 150);
  EXPECT_EQ(stored->printOptions & (kPrintLandscape | kPrintMetricMargins), kPrintLandscape | kPrintMetricMargins);
}

}  // namespace
}  // namespace corvina::qt::test
