// Scripts in the desktop: the ask-for dialog (masking, Clipboard Paste, OK
// and Cancel) and the scan dialog in each of its window states, both
// modeless while the session goes on receiving; Run Script and Cancel
// Script from the Host menu and from a key.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QTest>

#include "app/AppTexts.h"
#include "app/qt/ScriptDialogs.h"
#include "keyboard/KeyFunctions.h"
#include "tests/ibm3270/Support3270.h"
#include "tests/qt/Desktop.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;
using corvina::test::HostRecord;
namespace sys = kf::sys;

bool ScreenHas(CHostSession& s, const std::string& text) {
  for (const std::string& row : s.ScreenRows())
    if (row.find(text) != std::string::npos) return true;
  return false;
}

QStringList Items(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

class ScriptsInTheDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(d.Start(kKind3279));
    HostRecord r = HostRecord::EraseWrite(corvina::test::kWccRestore);
    r.Sba(0).Sf(corvina::test::kProtected).Text("Name:").Sf(corvina::test::kUnprotected).Ic();
    r.Sba(40).Sf(corvina::test::kProtected);
    d.Record(r);
    ASSERT_TRUE(SpinUntil([&] { return d.Session().Cursor() == 7; }, 5s));
    d.App().onScriptEnded = [this](const std::string&, int result) { results.push_back(result); };
  }
  void Run(const std::string& text) {
    file = d.Root() + "/script.txt";
    corvina::test::WriteFile(file, text);
    results.clear();
    d.App().Sessions().RunScript(&d.Session(), file);
  }
  // The open dialog of the type, once the script has shown it.
  template <typename T>
  T* Dialog() {
    T* found = nullptr;
    SpinUntil(
        [&] {
          for (T* t : d.Frame().findChildren<T*>())
            if (t->property("answered").isNull()) found = t;
          return found != nullptr;
        },
        5s);
    if (found) found->setProperty("answered", true);  // the next call waits for the next one
    return found;
  }
  // Host data while a dialog is open.
  void HostWrites(int row, const std::string& text) {
    HostRecord r = HostRecord::EraseWrite(corvina::test::kWccRestore);
    r.Sba(row * 80).Text(text);
    d.Record(r);
  }
  bool Ended() {
    return SpinUntil([&] { return !results.empty(); }, 5s);
  }

  Desktop d{"TerminalType=3279,24,80,IBM-3279-2-E\n"};
  std::string file;
  std::vector<int> results;
};

TEST_F(ScriptsInTheDesktop, AskForPastesTheClipboardAndTypesTheAnswerWhileTheHostTalks) {
  Run("askfor \"Your name, please:\",\"Smith\"\nkey Enter\n");
  CAskForDialog* ask = Dialog<CAskForDialog>();
  ASSERT_NE(ask, nullptr);
  EXPECT_TRUE(ask->isVisible());
  EXPECT_FALSE(ask->isModal());
  EXPECT_EQ(ask->windowTitle(), QStringLiteral("Script Processing: Session 1"));
  EXPECT_EQ(ask->findChild<QGroupBox*>()->title(), QStringLiteral("AskFor Command"));
  EXPECT_EQ(ask->Entry()->text(), QStringLiteral("Smith"));
  EXPECT_EQ(ask->Entry()->echoMode(), QLineEdit::Normal);
  EXPECT_EQ(ask->PasteButton()->text(), QStringLiteral("Clipboard Paste"));
  SaveScreenshot(ask->grab().toImage(), "dialog-askfor");
  // The loop turns: the session takes the host's writes meanwhile.
  HostRecord r = HostRecord::Write(corvina::test::kWccRestore);
  r.Sba(80).Text("Host still talks");
  d.Record(r);
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d.Session(), "Host still talks"); }, 5s));
  // The default is selected: the pasted first line takes its place.
  QGuiApplication::clipboard()->setText(QStringLiteral("Jones\nsecond line"));
  ask->PasteButton()->click();
  EXPECT_EQ(ask->Entry()->text(), QStringLiteral("Jones"));
  EXPECT_TRUE(ask->Entry()->hasFocus());
  d.TakeSent();
  ask->OkButton()->click();
  ASSERT_TRUE(Ended());
  EXPECT_EQ(results[0], 1);
  EXPECT_TRUE(ScreenHas(d.Session(), "Name: Jones"));
  EXPECT_NE(d.TakeSent().find('\x7D'), std::string::npos);  // then Enter went to the host
}

TEST_F(ScriptsInTheDesktop, AskForMasksAPasswordAndCancelEndsTheScript) {
  Run("askfor \"Password:\",password,$pw,\"secret\"\ntype $pw\n");
  CAskForDialog* ask = Dialog<CAskForDialog>();
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(ask->Entry()->echoMode(), QLineEdit::Password);
  EXPECT_EQ(ask->Entry()->displayText(), QStringLiteral("******"));
  EXPECT_EQ(ask->Entry()->text(), QStringLiteral("secret"));
  ask->Entry()->deselect();  // the stars show plainly
  SaveScreenshot(ask->grab().toImage(), "dialog-askfor-password");
  ask->CancelButton()->click();
  ASSERT_TRUE(Ended());
  EXPECT_EQ(results[0], 0);
  EXPECT_FALSE(ScreenHas(d.Session(), "secret"));
  EXPECT_TRUE(SpinUntil([&] { return d.Frame().findChildren<CAskForDialog*>().isEmpty(); }, 2s));
  // Esc answers as Cancel does; closing the session closes an open dialog.
  Run("askfor \"Password:\",password,$pw\n");
  ask = Dialog<CAskForDialog>();
  ASSERT_NE(ask, nullptr);
  QTest::keyClick(ask->Entry(), Qt::Key_Escape);
  ASSERT_TRUE(Ended());
  EXPECT_EQ(results[0], 0);
  Run("askfor \"Password:\",password,$pw\n");
  ASSERT_NE(Dialog<CAskForDialog>(), nullptr);
  d.App().Sessions().CloseSession(d.Session());
  ASSERT_TRUE(Ended());
  EXPECT_EQ(results[0], 0);
  EXPECT_TRUE(SpinUntil([&] { return d.Frame().findChildren<CAskForDialog*>().isEmpty(); }, 2s));
}

TEST_F(ScriptsInTheDesktop, TheScanDialogInEachWindowState) {
  Run("waitfor \"READY\"\n"
      "waitfor \"WELCOME\",ok:,\"LOGON FAILED\",bad:\n"
      "ok: waitfor \"\",Minimized\n"
      "waitfor \"NEVER\",Hidden\n"
      "bad: exit\n");
  // Shown normally, until the text comes.
  CScanDialog* scan = Dialog<CScanDialog>();
  ASSERT_NE(scan, nullptr);
  EXPECT_TRUE(scan->isVisible());
  EXPECT_FALSE(scan->isMinimized());
  EXPECT_EQ(scan->windowTitle(), QStringLiteral("Script Processing: Session 1"));
  EXPECT_EQ(scan->findChild<QGroupBox*>()->title(), QStringLiteral("Scanning for the following string(s):"));
  EXPECT_EQ(Items(scan->Texts()), QStringList{QStringLiteral("READY")});
  EXPECT_EQ(scan->CancelScriptButton()->text(), QStringLiteral("Cancel Script"));
  EXPECT_EQ(scan->CancelScanButton()->text(), QStringLiteral("Cancel Scan"));
  SaveScreenshot(scan->grab().toImage(), "dialog-scan");
  HostWrites(2, "READY");
  // Texts with labels; Cancel Scan goes on with the next command.
  scan = Dialog<CScanDialog>();
  ASSERT_NE(scan, nullptr);
  EXPECT_EQ(Items(scan->Texts()), (QStringList{QStringLiteral("WELCOME"), QStringLiteral("LOGON FAILED")}));
  SaveScreenshot(scan->grab().toImage(), "dialog-scan-labels");
  scan->CancelScanButton()->click();
  // Minimized without taking the focus, waiting for any host update.
  scan = Dialog<CScanDialog>();
  ASSERT_NE(scan, nullptr);
  EXPECT_TRUE(scan->isMinimized());
  EXPECT_TRUE(scan->testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_EQ(Items(scan->Texts()), QStringList{QStringLiteral("<<Any host update>>")});
  scan->showNormal();  // a minimized window has nothing to look at
  SpinFor(50ms);
  SaveScreenshot(scan->grab().toImage(), "dialog-scan-any-update");
  HostWrites(3, "anything");
  // Hidden: waits unseen; session activation leaves it so.
  scan = Dialog<CScanDialog>();
  ASSERT_NE(scan, nullptr);
  SpinFor(50ms);
  EXPECT_FALSE(scan->isVisible());
  d.App().Sessions().Activate(d.Session());
  EXPECT_FALSE(scan->isVisible());
  EXPECT_TRUE(results.empty());
  scan->CancelScriptButton()->click();
  ASSERT_TRUE(Ended());
  EXPECT_EQ(results[0], 0);
  EXPECT_TRUE(SpinUntil([&] { return d.Frame().findChildren<CScanDialog*>().isEmpty(); }, 2s));
}

TEST_F(ScriptsInTheDesktop, CancelScriptIsOfferedWhileAScriptRunsAndAsksFirst) {
  QMenu* host = d.Frame().menuBar()->actions().front()->menu();
  ASSERT_NE(host, nullptr);
  QAction* cancel = d.Frame().Action(sys::kHostCancelScript);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), QStringLiteral("Cance&l Script..."));
  emit host->aboutToShow();
  EXPECT_FALSE(cancel->isEnabled());
  EXPECT_TRUE(d.Frame().Action(sys::kHostRunScript)->isEnabled());
  Run("waitfor \"NEVER\"\n");
  ASSERT_NE(Dialog<CScanDialog>(), nullptr);
  host->popup(d.Frame().mapToGlobal(QPoint(0, 0)));
  ASSERT_TRUE(SpinUntil([&] { return host->isVisible(); }, 2s));
  EXPECT_TRUE(cancel->isEnabled());
  SpinFor(50ms);
  SaveScreenshot(host->grab().toImage(), "menu-host-scripts");
  host->hide();
  // No keeps it running; Yes ends it.
  QString question;
  AnswerNextBox(QMessageBox::No, &question);
  d.Frame().RunCommand(sys::kHostCancelScript);
  EXPECT_EQ(question, QString::fromStdString("Are you sure you want to cancel script: " + file + " for session 1,?"));
  EXPECT_TRUE(results.empty());
  AnswerNextBox(QMessageBox::Yes);
  d.Frame().RunCommand(sys::kHostCancelScript);
  ASSERT_TRUE(Ended());
  EXPECT_EQ(results[0], 0);
  emit host->aboutToShow();
  EXPECT_FALSE(cancel->isEnabled());
}

TEST(ScriptCommands, RunScriptLogsOnToTheDemoHostAndAKeyCancelsAScript) {
  corvina::test::TestHost demo("demo");
  ASSERT_TRUE(demo.Ready());
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n", "Preferences=4\n", demo.Port());
  ASSERT_TRUE(d.Start(kKind3279));
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d.Session(), "Userid"); }, 10s));
  std::vector<int> results;
  d.App().onScriptEnded = [&](const std::string&, int result) { results.push_back(result); };
  const std::string logon = d.Root() + "/logon.txt";
  corvina::test::WriteFile(logon, "waitfor \"Userid\"\ntype demo\nkey Tab\ntype demo\nkey Enter\nwaitfor \"Menu\"\n");
  // The chooser opens existing text files in the data folder.
  QString title, folder;
  QStringList filters;
  bool opens = false;
  OnNextModal<QFileDialog>([&](QFileDialog& dialog) {
    title = dialog.windowTitle();
    filters = dialog.nameFilters();
    folder = dialog.directory().absolutePath() + QLatin1Char('/');
    opens = dialog.acceptMode() == QFileDialog::AcceptOpen && dialog.fileMode() == QFileDialog::ExistingFile;
    SaveScreenshot(dialog.grab().toImage(), "dialog-run-script");
    dialog.selectFile(QString::fromStdString(logon));
    static_cast<QDialog&>(dialog).accept();  // as the Open button does
  });
  d.Frame().RunCommand(sys::kHostRunScript);
  EXPECT_EQ(title, QStringLiteral("Select Script File Name - Corvina"));
  EXPECT_EQ(filters, QStringList({QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")}));
  EXPECT_EQ(folder.toStdString(), d.App().DataFolder());
  EXPECT_TRUE(opens);
  ASSERT_TRUE(SpinUntil([&] { return !results.empty(); }, 15s));
  EXPECT_EQ(results[0], 1);
  EXPECT_TRUE(ScreenHas(d.Session(), "Menu"));

  // Another script extension leads the filter; a key bound to Cancel Script
  // goes the way of the menu command.
  d.App().Store().scriptExtension = "scr";
  app::FileChoice asked;
  std::string chosen = d.Root() + "/wait.scr";
  d.Frame().chooseFileForTests = [&](const app::FileChoice& c) -> std::optional<std::string> {
    asked = c;
    return chosen;
  };
  corvina::test::WriteFile(chosen, "waitfor \"NEVER\"\n");
  results.clear();
  d.Frame().RunCommand(sys::kHostRunScript);
  EXPECT_EQ(asked.filter, "Script Files (*.scr)|*.scr|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
  ASSERT_TRUE(SpinUntil([&] { return !d.Frame().findChildren<CScanDialog*>().isEmpty(); }, 5s));
  AnswerNextBox(QMessageBox::Yes);
  d.App().Sessions().SystemCommand(d.Session(), sys::kHostCancelScript, 0);
  ASSERT_TRUE(SpinUntil([&] { return !results.empty(); }, 5s));
  EXPECT_EQ(results[0], 0);
  // Cancel in the chooser starts nothing.
  chosen.clear();
  results.clear();
  d.Frame().RunCommand(sys::kHostRunScript);
  SpinFor(50ms);
  EXPECT_TRUE(results.empty());
  EXPECT_FALSE(d.App().CanCancelScript());
}

}  // namespace
}  // namespace corvina::qt::test
