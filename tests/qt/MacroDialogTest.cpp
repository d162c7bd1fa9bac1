// The Macros menu, the macro editor, the type-key dialog and the
// keyboard-setup dialog on the offscreen platform, driven by keys and
// clicks; each writes its picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include "app/qt/MacroDialogs.h"
#include "app/qt/SetupDialogs.h"
#include "config/PersistentData.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/Macro.h"
#include "tests/qt/Desktop.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;

template <typename T>
void OnNextDialog(std::function<void(T&)> step, int ms = 100) {
  QTimer::singleShot(ms, [step] {
    if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget())) step(*d);
  });
}

CCorvinaMacro* FindMacro(Desktop& d, const std::string& name) {
  return dynamic_cast<CCorvinaMacro*>(d.App().Store().Find(ObjectKind::kMacro, name));
}

void AddMacro(Desktop& d, const std::string& name, const std::string& text, unsigned kind = kKind3279) {
  auto m = std::make_shared<CCorvinaMacro>(name, kind);
  m->SetText(text);
  ASSERT_TRUE(d.App().Store().Add(m, true));
}

QStringList Items(QMenu* menu) {
  QStringList texts;
  for (QAction* a : menu->actions()) texts << a->text();
  return texts;
}

void SaveMenu(QMenu* menu, const std::string& name) {
  menu->popup(QPoint(0, 0));
  SpinFor(50ms);
  SaveScreenshot(menu->grab().toImage(), name);
  menu->hide();
}

bool ScreenHas(CHostSession& s, const std::string& text) {
  for (const std::string& row : s.ScreenRows())
    if (row.find(text) != std::string::npos) return true;
  return false;
}

TEST(MacroMenu, RecordingBlinksRecAndTheNamedMacroReachesTheSubmenus) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  ASSERT_TRUE(d.Start(kKind3279));
  QLabel* rec = d.Frame().RecordingPane();
  EXPECT_FALSE(rec->isVisible());
  EXPECT_EQ(Items(d.Frame().MacroSubmenu(0)), QStringList{QStringLiteral("(Empty)")});
  EXPECT_FALSE(d.Frame().MacroSubmenu(0)->actions().front()->isEnabled());

  d.Frame().RunCommand(kf::sys::kMacroStartRecording);
  EXPECT_TRUE(rec->isVisible());
  EXPECT_EQ(rec->text(), QStringLiteral("REC"));
  EXPECT_FALSE(d.Frame().Action(kf::sys::kMacroStartRecording)->isEnabled());
  EXPECT_TRUE(d.Frame().Action(kf::sys::kMacroStopRecording)->isEnabled());
  EXPECT_FALSE(d.Frame().MacroSubmenu(0)->isEnabled());
  d.View().setFocus();
  QTest::keyClicks(&d.View(), "A");
  QTest::keyClick(&d.View(), '<');
  QTest::keyClick(&d.View(), Qt::Key_F3);
  SpinFor(50ms);
  SaveScreenshot(d.Frame().grab().toImage(), "macro-recording");
  SaveMenu(qobject_cast<QMenu*>(d.Frame().MacroSubmenu(0)->parentWidget()), "menu-macros-recording");
  // The indicator blinks with the clock.
  d.App().Sessions().Tick();
  EXPECT_TRUE(rec->text().isEmpty());
  EXPECT_TRUE(rec->isVisible());
  d.App().Sessions().Tick();
  EXPECT_EQ(rec->text(), QStringLiteral("REC"));

  // A name already taken is asked about; No asks again.
  AddMacro(d, "Logon", "old");
  QStringList asked;
  QString question;
  OnNextDialog<QInputDialog>([&](QInputDialog& n) {
    SaveScreenshot(n.grab().toImage(), "dialog-macro-name");
    asked << n.windowTitle();
    n.setTextValue(QStringLiteral("Logon"));
    AnswerNextBox(QMessageBox::No, &question);
    n.accept();
    OnNextDialog<QInputDialog>([&](QInputDialog& again) {
      asked << again.textValue();
      again.setTextValue(QStringLiteral("Logon2"));
      again.accept();
    }, 200);
  });
  d.Frame().RunCommand(kf::sys::kMacroStopRecording);
  EXPECT_EQ(asked, (QStringList{QStringLiteral("Save As - Corvina"), QStringLiteral("Logon")}));
  EXPECT_EQ(question, QStringLiteral("That name already exists, do you want to replace it?"));
  EXPECT_FALSE(rec->isVisible());
  ASSERT_NE(FindMacro(d, "Logon2"), nullptr);
  EXPECT_EQ(FindMacro(d, "Logon2")->Text(), "A<<<PF3>");
  EXPECT_EQ(FindMacro(d, "Logon")->Text(), "old");
  SpinFor(20ms);
  EXPECT_EQ(Items(d.Frame().MacroSubmenu(0)), (QStringList{QStringLiteral("&1 Logon2"), QStringLiteral("&2 Logon")}));
  EXPECT_EQ(Items(d.Frame().MacroSubmenu(2)), (QStringList{QStringLiteral("&1 Logon2"), QStringLiteral("&2 Logon")}));
  SaveMenu(d.Frame().MacroSubmenu(0), "menu-macros-replay");
}

TEST(MacroMenu, MoreMacrosAssignKeyAndDelete) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  for (int i = 0; i < 10; ++i) AddMacro(d, "M" + std::to_string(i), "m" + std::to_string(i));
  AddMacro(d, "Hello", "hello");
  AddMacro(d, "Vt", "vt", kKindVt100);
  ASSERT_TRUE(d.Start(kKind3279));
  QMenu* replay = d.Frame().MacroSubmenu(0);
  ASSERT_EQ(replay->actions().size(), 10);
  EXPECT_EQ(replay->actions()[0]->text(), QStringLiteral("&1 Hello"));
  EXPECT_EQ(replay->actions()[9]->text(), QStringLiteral("&More Macros..."));

  // The eleventh macro is reached through the list, which plays it.
  QStringList listed;
  OnNextDialog<CMacroListDialog>([&](CMacroListDialog& list) {
    SaveScreenshot(list.grab().toImage(), "dialog-select-macro");
    listed << list.windowTitle();
    for (int i = 0; i < list.List()->count(); ++i) listed << list.List()->item(i)->text();
    list.List()->setCurrentRow(list.List()->count() - 1);
    list.accept();
  });
  replay->actions()[9]->trigger();
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d.Session(), "m0"); }, 3s));
  EXPECT_EQ(listed.size(), 12);
  EXPECT_EQ(listed.front(), QStringLiteral("Select Macro - Corvina"));
  EXPECT_FALSE(listed.contains(QStringLiteral("Vt")));
  EXPECT_EQ(d.App().Store().RecentMacros().front(), "M0");

  // Assign Key: the type-key dialog's combination is shown after a tab.
  OnNextDialog<CTypeKeyDialog>([](CTypeKeyDialog& t) {
    QTest::keyClick(t.CaptureBox(), Qt::Key_F6, Qt::ShiftModifier | Qt::AltModifier);
    t.OkButton()->click();
  });
  d.Frame().RunCommand(33370);  // Assign Key, the first macro
  SpinFor(20ms);
  EXPECT_EQ(replay->actions()[0]->text(), QStringLiteral("&1 M0\tShift+Alt+F6"));
  QTest::keyClick(&d.View(), Qt::Key_F6, Qt::ShiftModifier | Qt::AltModifier);
  EXPECT_TRUE(ScreenHas(d.Session(), "m0m0"));

  // Delete: the macro and its key binding go.
  QString question;
  AnswerNextBox(QMessageBox::Yes, &question);
  d.Frame().RunCommand(33360);
  EXPECT_EQ(question, QStringLiteral("Are you sure you want to delete the macro 'M0'?"));
  EXPECT_EQ(FindMacro(d, "M0"), nullptr);
  EXPECT_EQ(d.Session().KeyboardMap().TargetOf(KeyCode{0x75, kModShift | kModAlt}), -1);
  SpinFor(20ms);
  EXPECT_EQ(replay->actions()[0]->text(), QStringLiteral("&1 Hello"));
}

TEST(MacroEditor, RefusesBadTextsAndTurnsBoundKeysIntoTokens) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  AddMacro(d, "Logon", "user");
  ASSERT_TRUE(d.Start(kKind3279));
  QStringList refusals;
  OnNextDialog<CMacroEditorDialog>([&](CMacroEditorDialog& e) {
    EXPECT_EQ(e.windowTitle(), QStringLiteral("Macro Editor: Logon - Corvina"));
    EXPECT_EQ(e.TextBox()->toPlainText(), QStringLiteral("user"));
    e.TextBox()->setPlainText(QStringLiteral("<,x>"));
    QString text;
    AnswerNextBox(QMessageBox::Ok, &text);
    e.Button(QStringLiteral("OK"))->click();
    refusals << text;
    e.TextBox()->setPlainText(QStringLiteral("user"));
    e.TextBox()->moveCursor(QTextCursor::End);
    e.TextBox()->setFocus();
    QTest::keyClick(e.TextBox(), Qt::Key_F1);  // unticked: F1 types nothing
    e.TerminalKeys()->click();
    QTest::keyClick(e.TextBox(), Qt::Key_Tab);
    QTest::keyClick(e.TextBox(), Qt::Key_F1);
    QTest::keyClick(e.TextBox(), '<');
    QTest::keyClick(e.TextBox(), Qt::Key_Return);
    SaveScreenshot(e.grab().toImage(), "dialog-macro-editor");
    EXPECT_TRUE(e.isVisible());
    e.Button(QStringLiteral("OK"))->click();
  });
  d.Frame().RunCommand(33350);  // Edit, the first macro
  EXPECT_EQ(refusals, QStringList{QStringLiteral("Invalid pause command in macro: <,x>")});
  EXPECT_EQ(FindMacro(d, "Logon")->Text(), "user<Tab><PF1><<<Enter>");
}

TEST(TypeKeyDialog, EscTabAndAltTakenByTheBoxReservedKeysRefusedClicksCaptured) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  CTypeKeyDialog t(d.App().Store().Ui(), &d.Frame());
  t.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&t));
  EXPECT_EQ(t.windowTitle(), QStringLiteral("Type Key - Corvina"));
  EXPECT_FALSE(t.OkButton()->isEnabled());
  EXPECT_FALSE(t.RetryButton()->isEnabled());
  t.CaptureBox()->setFocus();
  QTest::keyClick(t.CaptureBox(), Qt::Key_Escape);
  EXPECT_TRUE(t.isVisible());
  EXPECT_EQ(t.CaptureBox()->text(), QStringLiteral("Esc"));
  QTest::keyClick(t.CaptureBox(), Qt::Key_Tab);
  EXPECT_EQ(t.CaptureBox()->text(), QStringLiteral("Tab"));
  EXPECT_EQ(t.focusWidget(), t.CaptureBox());
  EXPECT_TRUE(t.OkButton()->isEnabled());
  QTest::keyClick(t.CaptureBox(), Qt::Key_R, Qt::AltModifier);  // not the Retry button's
  EXPECT_EQ(t.CaptureBox()->text(), QStringLiteral("Alt+R"));
  QTest::keyClick(t.CaptureBox(), Qt::Key_V, Qt::AltModifier);
  EXPECT_EQ(t.CaptureBox()->text(), QStringLiteral("Alt+V"));
  SaveScreenshot(t.grab().toImage(), "dialog-type-key");
  QString refusal;
  AnswerNextBox(QMessageBox::Ok, &refusal);
  t.OkButton()->click();
  EXPECT_EQ(refusal, QStringLiteral("The key you have chosen is not configurable. Reason: 'View menu'"));
  EXPECT_TRUE(t.isVisible());
  t.RetryButton()->click();
  EXPECT_TRUE(t.CaptureBox()->text().isEmpty());
  EXPECT_FALSE(t.OkButton()->isEnabled());
  QTest::mouseClick(t.Prompt(), Qt::RightButton, Qt::ShiftModifier);
  EXPECT_EQ(t.CaptureBox()->text(), QStringLiteral("Shift+MouseRightClick"));
  EXPECT_EQ(t.focusWidget(), t.OkButton());
  QTest::keyClick(t.CaptureBox(), Qt::Key_F1);  // a click stays until Retry
  EXPECT_EQ(t.CaptureBox()->text(), QStringLiteral("Shift+MouseRightClick"));
  t.OkButton()->click();
  EXPECT_EQ(t.result(), QDialog::Accepted);
  EXPECT_EQ(t.Key(), (KeyCode{kVkMouseRight, kModShift}));
}

TEST(KeyboardSetup, AddsClearsAndResetsAndTheSessionUsesTheMapAtOnce) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  ASSERT_TRUE(d.Start(kKind3279));
  dialogs::DialogServices services = MakeDialogServices(d.App(), &d.Frame());
  auto setup = std::make_unique<CKeyboardSetupDialog>(services, "3270 Default", &d.Frame());
  setup->show();
  SpinFor(50ms);
  EXPECT_EQ(setup->windowTitle(), QStringLiteral("Keyboard Setup [3270 Default] - Corvina"));
  EXPECT_EQ(setup->Groups()->currentRow(), 1);
  EXPECT_FALSE(setup->SequenceBox()->isVisible());
  ASSERT_TRUE(setup->SelectRow(QStringLiteral("PF1")));
  auto assignment = [&] { return setup->Rows()->currentItem()->text(1); };
  EXPECT_EQ(assignment(), QStringLiteral("F1"));
  OnNextDialog<CTypeKeyDialog>([](CTypeKeyDialog& t) {
    QTest::keyClick(t.CaptureBox(), Qt::Key_F5, Qt::ShiftModifier | Qt::AltModifier);
    t.OkButton()->click();
  });
  setup->Button(QStringLiteral("Add Key..."))->click();
  EXPECT_EQ(assignment(), QStringLiteral("F1, Shift+Alt+F5"));
  SaveScreenshot(setup->grab().toImage(), "dialog-keyboard-setup");
  ASSERT_TRUE(setup->SelectRow(QStringLiteral("PF2")));
  setup->Button(QStringLiteral("Clear Entry"))->click();
  EXPECT_EQ(assignment(), QString());
  EXPECT_FALSE(setup->Button(QStringLiteral("Clear Entry"))->isEnabled());
  setup->Button(QStringLiteral("Reset Entry"))->click();
  EXPECT_EQ(assignment(), QStringLiteral("F2"));
  setup->Groups()->setCurrentRow(2);
  EXPECT_EQ(setup->Rows()->topLevelItem(33)->text(0), QStringLiteral("A     (65, 0x41)"));
  // Not yet in the map the session uses.
  EXPECT_EQ(d.Session().KeyboardMap().TargetOf(KeyCode{0x74, kModShift | kModAlt}), -1);
  setup->Button(QStringLiteral("OK"))->click();
  EXPECT_EQ(setup->result(), QDialog::Accepted);
  d.TakeSent();
  d.View().setFocus();
  QTest::keyClick(&d.View(), Qt::Key_F5, Qt::ShiftModifier | Qt::AltModifier);
  EXPECT_TRUE(SpinUntil([&] { return d.TakeSent().find('\xF1') != std::string::npos; }, 2s));  // the PF1 AID
  setup.reset();

  // A VT map shows its control sequences.
  CKeyboardSetupDialog vt(services, "VT100 Default", &d.Frame());
  vt.show();
  SpinFor(30ms);
  ASSERT_TRUE(vt.SelectRow(QStringLiteral("PF1")));
  EXPECT_TRUE(vt.SequenceBox()->isVisible());
  EXPECT_EQ(vt.SequenceBox()->text(), QStringLiteral("^[OP"));
  vt.SequenceBox()->setText(QStringLiteral("^1"));
  QString refusal;
  AnswerNextBox(QMessageBox::Ok, &refusal);
  vt.Button(QStringLiteral("Change"))->click();
  EXPECT_EQ(refusal, QStringLiteral("An invalid control sequence was entered."));
  SaveScreenshot(vt.grab().toImage(), "dialog-keyboard-setup-vt");
}

TEST(KeyboardSetup, ConfigureOnTheKeyboardPageTakesTheMapSavedAs) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  CSessionSetupDialog setup(d.App(), "Test", 5, &d.Frame());
  setup.show();
  SpinFor(30ms);
  OnNextDialog<CKeyboardSetupDialog>([](CKeyboardSetupDialog& k) {
    OnNextDialog<QInputDialog>([](QInputDialog& n) {
      n.setTextValue(QStringLiteral("Mine"));
      n.accept();
    });
    k.Button(QStringLiteral("Save As..."))->click();
    EXPECT_EQ(k.windowTitle(), QStringLiteral("Keyboard Setup [Mine] - Corvina"));
    k.Button(QStringLiteral("OK"))->click();
  });
  setup.Button(QStringLiteral("Configure..."))->click();
  EXPECT_EQ(setup.Model().Working().keyboardMapName, "Mine");
  EXPECT_TRUE(setup.Button(QStringLiteral("Apply"))->isEnabled());
  EXPECT_NE(d.App().Store().Find(ObjectKind::kKeyboardMap, "Mine"), nullptr);
}

}  // namespace
}  // namespace corvina::qt::test
