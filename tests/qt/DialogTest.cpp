// The configuration dialogs on the offscreen platform: the Connect dialog
// reaching the test host, the keypad toolbar pressing PF3, refusals with the
// dialogs' texts, and a screenshot of every dialog and page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app/qt/SetupDialogs.h"
#include "keyboard/KeyFunctions.h"
#include "tests/qt/Desktop.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;

bool ScreenHas(CHostSession& s, const std::string& text) {
  for (const std::string& row : s.ScreenRows())
    if (row.find(text) != std::string::npos) return true;
  return false;
}

// Runs `step` on the modal dialog of type T once it is open.
template <typename T>
void OnNextDialog(std::function<void(T&)> step, int ms = 100) {
  QTimer::singleShot(ms, [step] {
    if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget())) step(*d);
  });
}

TEST(Dialogs, ConnectDialogRefusesBadPortsAndConnectsToTheTestHost) {
  corvina::test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n", "Preferences=4\n", host.Port());
  QStringList refusals;
  OnNextDialog<CConnectDialog>([&](CConnectDialog& c) {
    SaveScreenshot(c.grab().toImage(), "dialog-connect");
    c.NameBox()->setEditText(QStringLiteral("Demo"));
    c.HostBox()->setText(QStringLiteral("127.0.0.1"));
    c.TypeBox()->setCurrentIndex(c.TypeBox()->findText(QStringLiteral("3279")));
    for (const char* bad : {"0", "65536", "123456"}) {
      c.PortBox()->setText(QString::fromLatin1(bad));
      QString text;
      AnswerNextBox(QMessageBox::Ok, &text);
      c.ConnectButton()->click();
      refusals << text;
      EXPECT_TRUE(c.isVisible());
    }
    c.PortBox()->setText(QString::number(host.Port()));
    c.ConnectButton()->click();
  });
  d.Frame().RunCommand(kf::sys::kHostConnect);
  for (const QString& r : refusals) EXPECT_EQ(r, QStringLiteral("Please enter a port number between 1 and 65535."));
  EXPECT_EQ(refusals.size(), 3);
  auto demo = d.App().Store().FindProfile("Demo");
  ASSERT_NE(demo, nullptr);
  EXPECT_EQ(demo->port, host.Port());
  CHostSession* s = d.App().Sessions().Active();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Profile().name, "Demo");
  EXPECT_TRUE(SpinUntil([&] { return ScreenHas(*s, "Userid"); }, 10s));
}

TEST(Dialogs, KeypadToolbarPf3SendsItsAid) {
  corvina::test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  // DisplayOptions 3632: the defaults and the keypad toolbar.
  // PF3 ends the demo's logon: no box about the host closing.
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\nDisplayOptions=3632\n", "Preferences=0\n", host.Port());
  ASSERT_TRUE(d.Start(kKind3279));
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d.Session(), "Userid"); }, 10s));
  CKeypadToolbar* keypad = d.Frame().KeypadToolbar();
  ASSERT_TRUE(keypad->isVisible());
  QAction* pf3 = keypad->ButtonFor(kf::ibm3270::kPF3);
  ASSERT_NE(pf3, nullptr);
  EXPECT_EQ(pf3->text(), QStringLiteral("PF3"));
  SpinFor(100ms);
  SaveScreenshot(d.Frame().grab().toImage(), "keypad-toolbar");
  pf3->trigger();
  EXPECT_TRUE(SpinUntil([&] { return host.FirstRecordStartsWith("F3"); }, 5s)) << host.ClientHex();
}

TEST(Dialogs, SessionSetupRefusesAndShowsEveryPage) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  CSessionSetupDialog setup(d.App(), "Test", 0, &d.Frame());
  setup.show();
  SpinFor(50ms);
  auto* port = qobject_cast<QLineEdit*>(setup.Page()->Control("port"));
  ASSERT_NE(port, nullptr);
  const QString before = port->text();
  port->setText(QStringLiteral("123456"));
  QString text;
  AnswerNextBox(QMessageBox::Ok, &text);
  setup.ShowPage(1);
  EXPECT_EQ(text, QStringLiteral("Please enter a port number between 1 and 65535."));
  EXPECT_EQ(setup.Items()->currentRow(), 0);
  EXPECT_EQ(d.App().Store().FindProfile("Test")->port, before.toInt());
  port->setText(before);

  const char* names[] = {"host", "terminal", "colors", "display", "printer", "keyboard", "toolbars"};
  for (int page = 0; page < 7; ++page) {
    setup.ShowPage(page);
    SpinFor(30ms);
    ASSERT_EQ(setup.Items()->currentRow(), page);
    SaveScreenshot(setup.grab().toImage(), std::string("dialog-setup-") + names[page]);
  }
  // A change on a page enables Apply; Apply stores it.
  setup.ShowPage(3);
  auto* frame = qobject_cast<QCheckBox*>(setup.Page()->Control("solidFrame"));
  ASSERT_NE(frame, nullptr);
  const bool was = frame->isChecked();
  frame->click();
  QPushButton* apply = setup.Button(QStringLiteral("Apply"));
  ASSERT_NE(apply, nullptr);
  EXPECT_TRUE(apply->isEnabled());
  apply->click();
  EXPECT_EQ((d.App().Store().FindProfile("Test")->displayOptions & kDisplaySolidFrame) != 0, !was);
  EXPECT_FALSE(apply->isEnabled());

  // Save As through the name dialog.
  OnNextDialog<QInputDialog>([](QInputDialog& n) {
    SaveScreenshot(n.grab().toImage(), "dialog-save-as");
    n.setTextValue(QStringLiteral("Copy of Test"));
    n.accept();
  });
  setup.Button(QStringLiteral("Save As..."))->click();
  EXPECT_NE(d.App().Store().FindProfile("Copy of Test"), nullptr);
  EXPECT_EQ(setup.Name(), "Copy of Test");
}

TEST(Dialogs, PreferencesAndResponseTimeWindows) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n", "Preferences=61\n");
  OnNextDialog<CPreferencesDialog>([](CPreferencesDialog& p) {
    SaveScreenshot(p.grab().toImage(), "dialog-preferences");
    auto boxes = p.findChildren<QCheckBox*>();
    ASSERT_EQ(boxes.size(), 9);
    EXPECT_TRUE(boxes[0]->isChecked());
    EXPECT_FALSE(boxes[1]->isChecked());
    boxes[1]->click();
    boxes[8]->click();  // "Always on top"
    p.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  for (QAction* a : d.Frame().findChildren<QAction*>()) {
    if (a->text() == QStringLiteral("&Preferences...")) a->trigger();
  }
  EXPECT_EQ(d.App().Store().preferences, 63u | 0x100u);
  EXPECT_NE(d.App().AppProfile().GetString("Configuration", "Preferences").find("319"), std::string::npos);
  EXPECT_TRUE(d.Frame().windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(d.Frame().isVisible());

  d.Frame().RunCommand(kf::sys::kViewResponseTime);
  auto* window = d.Frame().findChild<CResponseTimeWindow*>();
  ASSERT_NE(window, nullptr);
  SpinFor(50ms);
  SaveScreenshot(window->grab().toImage(), "dialog-response-time");
}

}  // namespace
}  // namespace corvina::qt::test
