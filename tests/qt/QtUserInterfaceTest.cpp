#include "app/qt/QtUserInterface.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

#include "app/Application.h"
#include "app/Engines.h"
#include "app/qt/QtEventLoop.h"
#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "tests/qt/QtSupport.h"
#include "tests/session/TestSupport.h"

namespace corvina::qt {
namespace {

using namespace std::chrono_literals;
using platform::Answer;

// Clicks the button of the open box after `ms`, doing `meanwhile` first.
void AnswerBoxLater(int ms, QMessageBox::StandardButton button, std::function<void()> meanwhile = {}) {
  QTimer::singleShot(ms, [button, meanwhile] {
    if (meanwhile) meanwhile();
    QTimer::singleShot(100, [button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      box->button(button)->click();
    });
  });
}

TEST(QtUserInterface, BoxShowsTheTextsAndButtonsAndReturnsTheAnswer) {
  QtEventLoop loop;
  QtUserInterface ui(loop);
  QString seenText, seenCaption;
  int buttons = 0;
  QTimer::singleShot(50, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seenText = box->text();
    seenCaption = box->windowTitle();
    buttons = static_cast<int>(box->buttons().size());
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    box->button(QMessageBox::Yes)->click();
  });
  const Answer a = ui.MessageBox("There are still 2 sessions active.\r\nAre you sure you want to exit?", "Corvina",
                                 platform::Buttons::YesNo, Answer::No, platform::Icon::Question);
  EXPECT_EQ(a, Answer::Yes);
  EXPECT_EQ(seenText, "There are still 2 sessions active.\nAre you sure you want to exit?");
  EXPECT_EQ(seenCaption, "Corvina");
  EXPECT_EQ(buttons, 2);
}

TEST(QtUserInterface, NothingOfTheCoreRunsWhileABoxIsOpen) {
  QtEventLoop loop;
  QtUserInterface ui(loop);
  int ticks = 0, posted = 0;
  loop.AddTimer(10ms, true, [&] { ++ticks; });
  ASSERT_TRUE(test::SpinUntil([&] { return ticks > 0; }, 2s));
  int ticksBefore = 0;
  loop.AddTimer(0ms, false, [&] {
    loop.Post([&] { ++posted; });
    ticksBefore = ticks;
    AnswerBoxLater(50, QMessageBox::Ok);
    ui.MessageBox("Held", "Corvina", platform::Buttons::Ok, Answer::Ok);
    EXPECT_EQ(ticks, ticksBefore);  // the clock did not run under this frame
    EXPECT_EQ(posted, 0);
  });
  ASSERT_TRUE(test::SpinUntil([&] { return posted == 1; }, 5s));
  EXPECT_TRUE(test::SpinUntil([&] { return ticks > ticksBefore; }, 2s));  // and runs again
}

// The host closes the connection: the session asks whether to reconnect. While
// the box is open the session is also closed from elsewhere (the user, a DDE
// client); it must be deleted only after its own callback has returned (ASan
// shows a use after free otherwise).
TEST(QtUserInterface, ABoxThatClosesItsSessionDeletesItAfterTheCallback) {
  QtEventLoop loop;
  QtUserInterface ui(loop);
  const std::string root = corvina::test::MakeTempDir();
  std::filesystem::create_directories(root + "/data");
  corvina::test::LoopbackServer server(loop);
  corvina::test::WriteFile(root + "/data/Closing.tsp",
                  "[Session Profile]\nName=Closing\nHost=127.0.0.1," + std::to_string(server.Port()) +
                      "\nTerminalType=VT100,24,80,DEC-VT100\nHostOptions=0\n");
  {
    platform::IniFile settings(root + "/Corvina.ini");
    app::CCorvinaApp application(app::AppEnvironment{loop, ui, platform::SystemClock::Instance(), app::CreateEngine},
                                 settings);
    app::AppOptions options;
    options.dataFolder = root + "/data/";
    options.runtimeFolder = root + "/run/";
    ASSERT_TRUE(application.Initialise(options));
    CHostSession* session = application.StartFromCommandLine("Closing");
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(test::SpinUntil([&] { return server.Accepted() == 1; }, 5s));
    test::SpinFor(50ms);
    AnswerBoxLater(50, QMessageBox::No, [&] { application.Sessions().CloseSession(*session); });
    server.CloseConnection();
    ASSERT_TRUE(test::SpinUntil([&] { return application.Sessions().LiveCount() == 0; }, 5s));
    test::SpinFor(50ms);
    application.CloseProgram(false);
    test::SpinFor(20ms);
  }
  std::filesystem::remove_all(root);
}

TEST(QtUserInterface, ThePrintProgressDialogLeavesTheLoopRunningAndCancelsOnce) {
  QtEventLoop loop;
  QtUserInterface ui(loop);
  int cancels = 0, ticks = 0;
  loop.AddTimer(10ms, true, [&] { ++ticks; });
  auto handle = ui.OpenPrintProgress({"Printing", "Printing Session A - Production...", "Cancel"}, [&] { ++cancels; });
  ASSERT_NE(handle, nullptr);
  QPointer<QDialog> dialog;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "printProgress") dialog = qobject_cast<QDialog*>(w);
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(dialog->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  ASSERT_TRUE(test::SpinUntil([&] { return dialog->isVisible() && ticks > 2; }, 2s));  // the loop goes on
  EXPECT_EQ(dialog->windowTitle(), "Printing");
  auto* text = dialog->findChild<QLabel*>("printProgressText");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text(), "Printing Session A - Production...");
  test::SaveScreenshot(dialog->grab().toImage(), "dialog-print-progress");
  auto* cancel = dialog->findChild<QPushButton*>("printProgressCancel");
  ASSERT_NE(cancel, nullptr);
  cancel->click();
  cancel->click();  // disabled after the first
  dialog->reject();  // closing the window asks no more
  EXPECT_EQ(cancels, 1);
  EXPECT_FALSE(cancel->isEnabled());
  // The owner lets the handle go once the job has ended: the window goes.
  handle.reset();
  EXPECT_TRUE(test::SpinUntil([&] { return dialog.isNull(); }, 2s));
  // Closing the window cancels too.
  handle = ui.OpenPrintProgress({"Printing", "x", "Cancel"}, [&] { ++cancels; });
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "printProgress" && w->isVisible()) dialog = qobject_cast<QDialog*>(w);
  ASSERT_TRUE(dialog);
  dialog->reject();
  EXPECT_EQ(cancels, 2);
}

}  // namespace
}  // namespace corvina::qt
