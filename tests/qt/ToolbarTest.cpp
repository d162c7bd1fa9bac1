// The toolbars in the window and their customisation, and the Session Setup
// pages' choosers: a user toolbar's buttons reach the demo host, the
// customisation dialog's work survives a reload of the store, the Printer
// page's list, and the Terminal page following its type list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include <atomic>
#include <filesystem>
#include <thread>
#include <QAbstractItemView>

#include "app/qt/PrinterList.h"
#include "app/qt/SetupDialogs.h"
#include "config/PersistentData.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/StoreKinds.h"
#include "keyboard/Toolbar.h"
#include "platform/UserInterface.h"
#include "tests/qt/Desktop.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;

bool ScreenHas(CHostSession& s, const std::string& text) {
  for (const std::string& row : s.ScreenRows())
    if (row.find(text) != std::string::npos) return true;
  return false;
}

QStringList Texts(const QList<QAction*>& actions) {
  QStringList out;
  for (QAction* a : actions)
    if (!a->isSeparator() && !a->text().isEmpty()) out << a->text();
  return out;
}

// The label the page's form shows in front of a field.
QString FormLabel(CFieldPage* page, const std::string& id) {
  QWidget* control = page->Control(id);
  for (QFormLayout* form : page->findChildren<QFormLayout*>()) {
    if (auto* label = qobject_cast<QLabel*>(form->labelForField(control))) return label->text();
  }
  return {};
}

TEST(UserToolbars, AUserKeypadPressesItsFunctionsAndFollowsItsObject) {
  corvina::test::TestHost host("demo");
  ASSERT_TRUE(host.Ready());
  // DisplayOptions 3632: the defaults and the keypad toolbar.
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\nDisplayOptions=3632\n", "Preferences=0\n", host.Port());
  CCorvinaPersistentData& store = d.App().Store();
  auto mine = std::make_shared<CCorvinaToolbar>("Mine", kKind3279);
  mine->buttons = {{kf::ibm3270::kEnter, "Send"}, {0, {}}, {kf::ibm3270::kPF3, "Quit"}, {kf::ibm3270::kClear, {}}};
  mine->columns = 2;
  ASSERT_TRUE(store.Add(mine, true));
  store.FindProfile("Test")->keypadToolbarName = "Mine";
  auto* standard = dynamic_cast<CCorvinaToolbar*>(store.Find(ObjectKind::kToolbar, "Standard"));
  ASSERT_NE(standard, nullptr);
  standard->buttons = {{kf::sys::kHostConnect, {}}, {kf::sys::kSetupSessions, "Setup"}, {0, {}},
                       {kf::sys::kHostSession1, {}}, {kf::sys::kHostSession2, {}}};
  standard->dockable = false;
  d.Frame().RefreshToolbars();
  EXPECT_EQ(Texts(d.Frame().StandardToolbar()->actions()),
            QStringList({QStringLiteral("Conn"), QStringLiteral("Setup"), QStringLiteral("1"), QStringLiteral("2")}));
  EXPECT_FALSE(d.Frame().StandardToolbar()->isMovable());

  ASSERT_TRUE(d.Start(kKind3279));
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d.Session(), "Userid"); }, 10s));
  CKeypadToolbar* keypad = d.Frame().KeypadToolbar();
  ASSERT_TRUE(keypad->isVisible());
  QAction* quit = keypad->ButtonFor(kf::ibm3270::kPF3);
  ASSERT_NE(quit, nullptr);
  EXPECT_EQ(quit->text(), QStringLiteral("Quit"));
  // Two columns, the separator starting a row: Send / Quit Clear.
  EXPECT_EQ(keypad->findChildren<QToolButton*>(QStringLiteral("KeypadButton")).size(), 3);
  EXPECT_TRUE(d.Frame().Action(kf::sys::kHostSession1)->isChecked());
  SpinFor(100ms);
  SaveScreenshot(d.Frame().grab().toImage(), "user-toolbars");

  // The toolbar's object changes: the window follows.
  mine->buttons.pop_back();
  mine->buttons[0].label.clear();
  d.Frame().RefreshToolbars();
  EXPECT_EQ(keypad->ButtonFor(kf::ibm3270::kClear), nullptr);
  EXPECT_EQ(keypad->ButtonFor(kf::ibm3270::kEnter)->text(), QStringLiteral("Enter"));
  // The profile hides it, and shows it again.
  d.Session().Profile().displayOptions &= ~kDisplayKeypadToolbar;
  d.Frame().RefreshToolbars();
  EXPECT_FALSE(keypad->isVisible());
  d.Session().Profile().displayOptions |= kDisplayKeypadToolbar;
  d.Frame().RefreshToolbars();
  ASSERT_TRUE(keypad->isVisible());

  // PF3 under its own label reaches the host (and ends the demo's logon).
  quit = keypad->ButtonFor(kf::ibm3270::kPF3);
  ASSERT_NE(quit, nullptr);
  quit->trigger();
  EXPECT_TRUE(SpinUntil([&] { return host.FirstRecordStartsWith("F3"); }, 5s)) << host.ClientHex();
}

TEST(UserToolbars, CustomisingUnderANewNamePersistsAfterSaveAndReload) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  CSessionSetupDialog setup(d.App(), "Test", 6, &d.Frame());
  setup.show();
  SpinFor(30ms);
  auto* customize = setup.findChild<QPushButton*>(QStringLiteral("keypadCustomize"));
  ASSERT_NE(customize, nullptr);
  std::vector<ToolbarButton> made;
  QString nameAsked;
  OnNextModal<CToolbarCustomizeDialog>([&](CToolbarCustomizeDialog& c) {
    QListWidget* buttons = c.ButtonList();
    QListWidget* available = c.AvailableList();
    EXPECT_EQ(buttons->item(0)->text(), QStringLiteral("Left"));
    const int offered = available->count();
    buttons->setCurrentRow(0);
    c.Button(QStringLiteral("<- Remove"))->click();  // CursorLeft
    ASSERT_EQ(available->count(), offered + 1);
    buttons->setCurrentRow(2);
    for (int i = 0; i < available->count(); ++i)
      if (available->item(i)->data(Qt::UserRole).toInt() == kf::ibm3270::kCursorLeft) available->setCurrentRow(i);
    c.Button(QStringLiteral("Add ->"))->click();  // back after the third button
    c.Button(QStringLiteral("Move Up"))->click();
    c.Button(QStringLiteral("Separator"))->click();
    SaveScreenshot(c.grab().toImage(), "dialog-customize-toolbar");
    made = c.Buttons();
    OnNextModal<QInputDialog>([&](QInputDialog& n) {
      nameAsked = n.textValue();
      n.setTextValue(QStringLiteral("Custom"));
      n.accept();
    });
    c.accept();
  });
  customize->click();
  EXPECT_EQ(nameAsked, QStringLiteral("3270 Default"));
  ASSERT_EQ(made.size(), 55u);
  EXPECT_EQ(made[2].id, kf::ibm3270::kCursorLeft);
  EXPECT_TRUE(made[3].IsSeparator());
  EXPECT_EQ(qobject_cast<QComboBox*>(setup.Page()->Control("keypadName"))->currentText(), QStringLiteral("Custom"));
  setup.Button(QStringLiteral("OK"))->click();
  EXPECT_EQ(d.App().Store().FindProfile("Test")->keypadToolbarName, "Custom");

  platform::IniFile settings;
  settings.SetPath(d.Root() + "/Corvina.ini");
  platform::RecordingUserInterface ui;
  CCorvinaPersistentData again(d.Root() + "/data/", settings, ui);
  RegisterKeyboardObjects(again);
  ASSERT_TRUE(again.LoadAll());
  auto* reread = dynamic_cast<CCorvinaToolbar*>(again.Find(ObjectKind::kToolbar, "Custom"));
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(reread->buttons, made);
  auto* kept = dynamic_cast<CCorvinaToolbar*>(again.Find(ObjectKind::kToolbar, "3270 Default"));
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->buttons, CCorvinaToolbar("x", kKind3279).buttons);
  EXPECT_EQ(again.FindProfile("Test")->keypadToolbarName, "Custom");
}

TEST(SetupPages, PrinterListOffersFileAndRefusesBadEntries) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  CSessionSetupDialog setup(d.App(), "Test", 4, &d.Frame(), {"office", "lab"});
  setup.show();
  SpinFor(30ms);
  auto* printer = qobject_cast<QComboBox*>(setup.Page()->Control("printer"));
  ASSERT_NE(printer, nullptr);
  EXPECT_TRUE(printer->isEditable());
  EXPECT_GE(printer->findText(QStringLiteral("office")), 0);
  EXPECT_EQ(printer->itemText(printer->count() - 1), QStringLiteral("file:"));
  SaveScreenshot(setup.grab().toImage(), "dialog-setup-printer");
  printer->showPopup();
  SpinFor(50ms);
  SaveScreenshot(printer->view()->window()->grab().toImage(), "dialog-setup-printer-list");
  printer->hidePopup();
  SpinFor(50ms);
  printer->setEditText(QStringLiteral("file:"));
  QString text;
  AnswerNextBox(QMessageBox::Ok, &text);
  setup.ShowPage(0);
  EXPECT_EQ(text, QStringLiteral("Please enter a file name."));
  EXPECT_EQ(setup.Items()->currentRow(), 4);
  printer->setEditText(QStringLiteral("lab"));

  // "Browse..." beside the file name: the printer file dialog, window-modal.
  const QString out = QString::fromStdString(d.Root() + "/print.txt");
  QString title;
  Qt::WindowModality modality = Qt::NonModal;
  OnNextModal<QFileDialog>([&](QFileDialog& f) {
    title = f.windowTitle();
    modality = f.windowModality();
    f.selectFile(out);
    static_cast<QDialog&>(f).accept();
  });
  setup.Page()->Button("file")->click();
  EXPECT_EQ(title, QStringLiteral("Select Printer File Name - Corvina"));
  EXPECT_EQ(modality, Qt::WindowModal);
  EXPECT_EQ(qobject_cast<QLineEdit*>(setup.Page()->Control("file"))->text(), out);

  // "Change..." beside the font: the font chooser.
  OnNextModal<QFontDialog>([&](QFontDialog& f) {
    QFont font = f.currentFont();
    font.setPointSize(14);
    f.setCurrentFont(font);
    f.accept();
  });
  setup.Page()->Button("font")->click();
  EXPECT_EQ(d.App().Store().FindProfile("Test")->printerFontPointSize, 16);  // not before Apply
  EXPECT_TRUE(qobject_cast<QLineEdit*>(setup.Page()->Control("font"))->text().endsWith(QStringLiteral(" - 14pt")));

  printer = qobject_cast<QComboBox*>(setup.Page()->Control("printer"));
  printer->setEditText(QStringLiteral("file:") + QString::fromStdString(d.Root()) + QStringLiteral("/screen.pdf"));
  setup.Button(QStringLiteral("OK"))->click();
  auto stored = d.App().Store().FindProfile("Test");
  EXPECT_EQ(stored->printerName, "file:" + d.Root() + "/screen.pdf");
  EXPECT_EQ(stored->printerFile, out.toStdString());
  EXPECT_EQ(stored->printerFontPointSize, 14);
}

TEST(SetupPages, TerminalPageFollowsItsTypeListAndHostBrowseFillsTheLogFile) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  CSessionSetupDialog setup(d.App(), "Test", 1, &d.Frame());
  setup.show();
  SpinFor(30ms);
  EXPECT_EQ(FormLabel(setup.Page(), "lu"), QStringLiteral("Resource Name"));
  EXPECT_FALSE(setup.Page()->Control("rows")->isEnabled());
  SaveScreenshot(setup.grab().toImage(), "dialog-setup-terminal-3270");
  auto* type = qobject_cast<QComboBox*>(setup.Page()->Control("type"));
  const int vt = type->findText(QStringLiteral("VT220"));
  type->setCurrentIndex(vt);
  emit type->activated(vt);
  SpinFor(30ms);
  EXPECT_EQ(FormLabel(setup.Page(), "lu"), QStringLiteral("DEC Answerback"));
  EXPECT_NE(setup.Page()->Control("localEcho"), nullptr);
  EXPECT_EQ(setup.Page()->Control("noCorvinaE"), nullptr);
  EXPECT_EQ(qobject_cast<QComboBox*>(setup.Page()->Control("size"))->currentText(), QStringLiteral("24 x 80"));
  EXPECT_EQ(qobject_cast<QLineEdit*>(setup.Page()->Control("telnetType"))->text(), QStringLiteral("DEC-VT220"));
  EXPECT_TRUE(setup.Button(QStringLiteral("Apply"))->isEnabled());
  SaveScreenshot(setup.grab().toImage(), "dialog-setup-terminal-vt");
  // A custom size opens rows and columns.
  auto* size = qobject_cast<QComboBox*>(setup.Page()->Control("size"));
  const int custom = size->findText(QStringLiteral("Custom"));
  size->setCurrentIndex(custom);
  emit size->activated(custom);
  EXPECT_TRUE(setup.Page()->Control("rows")->isEnabled());

  setup.ShowPage(0);
  SpinFor(30ms);
  const QString log = QString::fromStdString(d.Root() + "/session.log");
  QString title;
  OnNextModal<QFileDialog>([&](QFileDialog& f) {
    title = f.windowTitle();
    f.selectFile(log);
    static_cast<QDialog&>(f).accept();
  });
  setup.Page()->Button("log")->click();
  EXPECT_EQ(title, QStringLiteral("Select Log File Name - Corvina"));
  setup.Button(QStringLiteral("OK"))->click();
  auto stored = d.App().Store().FindProfile("Test");
  EXPECT_EQ(stored->terminalType, kKindVt220);
  EXPECT_EQ(stored->logFile, log.toStdString());
  EXPECT_EQ(stored->keypadToolbarName, "VT100 Default");
}

TEST(UserToolbars, DockingIsKeptUnderTheReleaseKeyAndADamagedValueChangesNothing) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\nDisplayOptions=3632\n");
  ASSERT_TRUE(d.Start(kKind3279));
  CMainFrame& frame = d.Frame();
  CKeypadToolbar* keypad = frame.KeypadToolbar();
  ASSERT_TRUE(keypad->isVisible());
  frame.addToolBar(Qt::LeftToolBarArea, keypad);
  frame.SaveToolbarState();
  EXPECT_FALSE(d.App().AppProfile().GetString("Release 2.2\\ToolBars", "State").empty());
  frame.addToolBar(Qt::TopToolBarArea, keypad);
  frame.RestoreToolbarState();
  EXPECT_EQ(frame.toolBarArea(keypad), Qt::LeftToolBarArea);
  d.App().Store().UpdateAppProfile(
      [](platform::IniFile& ini) { ini.SetString("Release 2.2\\ToolBars", "State", "not a state"); });
  frame.RestoreToolbarState();
  EXPECT_EQ(frame.toolBarArea(keypad), Qt::LeftToolBarArea);
}

TEST(UserToolbars, ThePrinterListIsAskedOffTheWindowsThread) {
  std::atomic<int> asked{0};
  CPrinterList list([&asked] {
    ++asked;
    std::this_thread::sleep_for(100ms);
    return std::vector<std::string>{"office"};
  });
  list.Refresh();
  list.Refresh();  // one query at a time
  EXPECT_TRUE(list.Names().empty());
  ASSERT_TRUE(SpinUntil([&] { return list.Idle(); }, 5s));
  EXPECT_EQ(list.Names(), std::vector<std::string>{"office"});
  EXPECT_EQ(asked.load(), 1);
}

TEST(SetupPages, CodePageBrowseOffersTheFolderAndStoresTheFileName) {
  Desktop d("TerminalType=3279,24,80,IBM-3279-2-E\n");
  const std::string folder = d.App().CodePageFolder();
  ASSERT_FALSE(folder.empty());
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(std::string(CORVINA_SOURCE_DIR) + "/codepage/files/IBM273.cpg", folder + "/IBM273.cpg",
                             std::filesystem::copy_options::overwrite_existing);
  CSessionSetupDialog setup(d.App(), "Test", 0, &d.Frame());
  setup.show();
  SpinFor(30ms);
  QStringList offered;
  OnNextModal<QInputDialog>([&](QInputDialog& c) {
    offered = c.comboBoxItems();
    if (offered.size() > 1) c.setTextValue(offered[1]);
    c.accept();
  });
  setup.Page()->Button("codePage")->click();
  ASSERT_EQ(offered.size(), 2) << offered.join(QStringLiteral(",")).toStdString();
  EXPECT_EQ(offered[0], QStringLiteral("Default Code Page"));
  EXPECT_TRUE(offered[1].endsWith(QStringLiteral("(IBM273.cpg)"))) << offered[1].toStdString();
  EXPECT_EQ(qobject_cast<QLineEdit*>(setup.Page()->Control("codePage"))->text(), QStringLiteral("IBM273.cpg"));
  EXPECT_TRUE(setup.Button(QStringLiteral("Apply"))->isEnabled());
}

}  // namespace
}  // namespace corvina::qt::test
