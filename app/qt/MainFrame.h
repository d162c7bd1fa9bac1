// CMainFrame: the one window of the desktop program. Sessions are shown one
// at a time in a stack of views; the Window menu and the session buttons
// switch between the numbered slots. Menus and the standard toolbar offer
// the commands this version has, the status bar shows the lock text, the
// response time, the cursor position and the terminal mode, and the
// window's placement is kept in the application profile.
#pragma once

#include <QMainWindow>
#include <QRect>

#include <array>
#include <map>
#include <memory>
#include <string>

#include "app/Clipboard.h"
#include "app/SessionTable.h"
#include "dialogs/SetupDialogs.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QStackedWidget;
class QToolBar;

namespace corvina::app {
class CCorvinaApp;
}

namespace corvina::qt {

class CCorvinaView;
class QtToolHost;
class CDialogCommands;
class CFileTransferCommands;
class CKeypadToolbar;
class QtUserInterface;

class CMainFrame final : public QMainWindow, private app::SessionTableObserver, public app::ClipboardPort {
  Q_OBJECT

 public:
  CMainFrame(app::CCorvinaApp& application, QtUserInterface& ui);
  ~CMainFrame() override;

  // Runs a frame command (menu, toolbar, key binding, DDE). False when it
  // did nothing.
  bool RunCommand(int id, CHostSession* session = nullptr);
  CCorvinaView* ActiveView() const;
  CKeypadToolbar* KeypadToolbar() const { return keypad_; }
  QToolBar* StandardToolbar() const { return toolBar_; }
  // The toolbars after their objects or the shown profile changed.
  void RefreshToolbars();
  // Where the toolbars are docked, kept in the application profile under
  // "Release 2.2\ToolBars" (saved on close, restored at start).
  void SaveToolbarState();
  void RestoreToolbarState();
  CCorvinaView* ViewOf(const CHostSession& session) const;
  CFileTransferCommands& Transfers() { return *transfers_; }
  QAction* Action(int id) const;
  bool FullScreenMode() const { return fullScreen_; }
  // Fits the frame to the active view's screen (scaling off for this step).
  void FitToScreen();
  // Where the window was, from the application profile; false when none
  // is stored (the frame then fits the first session's screen).
  bool RestorePlacement();
  // Where WriteSnapshot puts a PNG picture of the window (for tests).
  void SetSnapshotFile(const std::string& path) { snapshotFile_ = path; }
  void WriteSnapshot();
  // The "REC" pane of the status bar.
  QLabel* RecordingPane() const { return recPane_; }
  // The four Macros submenus: Replay, Edit, Delete, Assign Key.
  QMenu* MacroSubmenu(int index) const { return macroMenus_[static_cast<std::size_t>(index)]; }
  // Answers file choosers without a dialog (tests).
  app::ChooseFile chooseFileForTests;

  // ClipboardPort.
  std::optional<std::string> Text() override;
  bool SetText(const std::string& utf8) override;
  void SetSelectionText(const std::string& utf8) override;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  // SessionTableObserver.
  void SessionStarted(CHostSession& s) override;
  void SessionClosing(CHostSession& s) override;
  void ActiveSessionChanged(CHostSession* s) override;
  void ScreenChanged(CHostSession& s) override;
  void LastSessionClosed() override;
  void RecordingIndicator(CHostSession& s, bool lit) override;

  void BuildMenus();
  void BuildToolBar();
  // The standard toolbar from its stored object, rebuilt when that changed.
  void RebuildStandardToolbar();
  void BuildStatusBar();
  QAction* AddCommand(QMenu* menu, int id, const QString& text, bool checkable = false);
  void UpdateCommands();
  void UpdateStatusPanes();
  void UpdateWindowMenu();
  void ApplySettings();
  void ToggleFullScreen();
  void SetupFont(CHostSession& session);
  void StepFont(CHostSession& session, bool larger);
  void SetEditOption(std::uint32_t mask, std::uint32_t value);
  void CloseSession(CHostSession& session);
  void SavePlacement();
  // Save As: a window-modal file dialog (the core's loop held meanwhile).
  std::optional<std::string> ChooseFile(const app::FileChoice& choice);
  void ClockTick();
  void BuildMacroMenu();
  void RunMacroCommand(int command, CHostSession& session);
  void StopRecording(CHostSession& session);
  void ShowRecordingPane();
  void KeyboardSetup(CHostSession& session);
  void ShowResponseTimes(CHostSession& session);
  void MarkSessionButton(int slot, bool marked);

  app::CCorvinaApp& app_;
  QtUserInterface& ui_;
  QStackedWidget* stack_ = nullptr;
  QWidget* empty_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QMenu* windowMenu_ = nullptr;
  QMenu* editMenu_ = nullptr;
  std::map<int, QAction*> actions_;
  std::map<const CHostSession*, CCorvinaView*> views_;
  QLabel* lockPane_ = nullptr;
  QLabel* responsePane_ = nullptr;
  QLabel* cursorPane_ = nullptr;
  QLabel* modePane_ = nullptr;
  QLabel* clockPane_ = nullptr;
  bool fullScreen_ = false;
  QRect savedGeometry_;
  bool savedMaximized_ = false;
  bool fitting_ = false;
  bool placed_ = false;  // a stored placement decides the first size
  bool closing_ = false;
  std::string snapshotFile_;
  std::unique_ptr<QtToolHost> toolHost_;
  std::array<QMenu*, 4> macroMenus_{};
  QLabel* recPane_ = nullptr;
  std::unique_ptr<dialogs::DialogServices> services_;
  std::map<int, bool> marked_;  // session buttons with output not yet seen
  std::unique_ptr<CDialogCommands> dialogs_;
  std::unique_ptr<CFileTransferCommands> transfers_;
  CKeypadToolbar* keypad_ = nullptr;
  std::string standardLayout_;  // LayoutKey of the standard toolbar shown
  std::vector<QAction*> standardButtons_;
};

}  // namespace corvina::qt
