#include "app/qt/MainFrame.h"
#include "app/qt/WidgetText.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>

#include "app/AppTexts.h"
#include "app/Application.h"
#include "app/Preferences.h"
#include "app/ScreenPrint.h"
#include "app/qt/FileChooser.h"
#include "app/qt/FileTransferDialog.h"
#include "app/qt/MacroDialogs.h"
#include "app/qt/QtEventLoop.h"
#include "app/qt/SetupDialogs.h"
#include "app/qt/QtUserInterface.h"
#include "app/qt/TerminalView.h"
#include "app/qt/ToolWindow.h"
#include "app/NetUtilities.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/KeyboardTexts.h"
#include "keyboard/Macro.h"
#include "keyboard/Toolbar.h"
#include "config/PersistentData.h"
#include "dialogs/MacroDialogs.h"
#include "filetransfer/FileTransfer.h"
#include "filetransfer/TransferTexts.h"
#include "config/TerminalTypes.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "session/HostSession.h"

namespace corvina::qt {

namespace sys = kf::sys;
using platform::Format;

namespace {


QString StatusTip(int id) {
  const KeyFunctionRow* row = KeyFunctionRowById(0, id);
  if (!row) return {};
  std::string_view d = row->description.substr(0, row->description.find('\n'));
  return QString::fromLatin1(d.data(), static_cast<qsizetype>(d.size()));
}

// The OIA line's columns that the status panes repeat (every engine formats
// the line the same way).
std::string OiaColumns(const std::string& oia, std::size_t from, std::size_t count) {
  if (from >= oia.size()) return {};
  std::string s = oia.substr(from, count);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  return s;
}

constexpr char kPlacementSection[] = "Settings";
constexpr char kPlacementKey[] = "WindowPlacement";
constexpr char kToolbarStateKey[] = "State";

// "Release 2.2\ToolBars": the settings version with two decimals, its last
// digit dropped.
std::string ToolbarStateSection() {
  std::string release = Format("Release %.2f", CCorvinaPersistentData::kCurrentVersion);
  release.pop_back();
  return release + "\\ToolBars";
}

}  // namespace

CMainFrame::CMainFrame(app::CCorvinaApp& application, QtUserInterface& ui) : app_(application), ui_(ui) {
  setWindowTitle(QString::fromLatin1(app::texts::kCaption));
  stack_ = new QStackedWidget(this);
  empty_ = new QWidget(stack_);
  empty_->setAutoFillBackground(true);
  QPalette pal = empty_->palette();
  pal.setColor(QPalette::Window, Qt::black);
  empty_->setPalette(pal);
  stack_->addWidget(empty_);
  setCentralWidget(stack_);
  dialogs_ = std::make_unique<CDialogCommands>(app_, this);
  transfers_ = std::make_unique<CFileTransferCommands>(app_, ui_, this);
  transfers_->changed = [this] { UpdateCommands(); };
  services_ = std::make_unique<dialogs::DialogServices>(MakeDialogServices(app_, this));
  BuildMenus();
  BuildToolBar();
  keypad_ = new CKeypadToolbar(app_, this);
  addToolBarBreak();
  addToolBar(Qt::TopToolBarArea, keypad_);
  RestoreToolbarState();
  app_.openConnectDialog = [this] { QTimer::singleShot(0, this, [this] { dialogs_->Connect(); }); };
  BuildStatusBar();
  app_.SetObserver(this);
  app_.Sessions().systemCommand = [this](CHostSession& s, int id, int) { return RunCommand(id, &s); };
  app_.Sessions().chooseFile = [this](const app::FileChoice& choice) { return ChooseFile(choice); };
  app_.runSystemCommand = [this](int id) { RunCommand(id); };
  app_.bringToFront = [this] {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
  };
  ui_.SetParent(this);
  ui_.showStatus = [this](const std::string& text) { statusBar()->showMessage(L1(text)); };
  // Rebuilt on a later turn: the change may come from one of their own items.
  app_.Store().macroMenusChanged = [this] { QTimer::singleShot(0, this, [this] { BuildMacroMenu(); }); };
  auto* clock = new QTimer(this);
  connect(clock, &QTimer::timeout, this, [this] { ClockTick(); });
  clock->start(1000);
  resize(800, 560);
  ApplySettings();  // "Always on top" before the window is first shown
  BuildMacroMenu();
}

CMainFrame::~CMainFrame() {
  app_.SetObserver(nullptr);
  app_.Sessions().systemCommand = nullptr;
  app_.Sessions().chooseFile = nullptr;
  app_.runSystemCommand = nullptr;
  app_.bringToFront = nullptr;
  app_.openConnectDialog = nullptr;
  ui_.SetParent(nullptr);
  ui_.showStatus = nullptr;
  app_.Store().macroMenusChanged = nullptr;
  for (auto& [session, view] : views_) view->Detach();
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text, bool checkable) {
  QAction* a = menu->addAction(text);
  a->setCheckable(checkable);
  a->setStatusTip(StatusTip(id));
  a->setData(id);
  connect(a, &QAction::triggered, this, [this, id] { RunCommand(id); });
  actions_[id] = a;
  return a;
}

QAction* CMainFrame::Action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::BuildMenus() {
  QMenu* host = menuBar()->addMenu(tr("&Host"));
  AddCommand(host, sys::kHostConnect, tr("C&onnect..."));
  AddCommand(host, sys::kHostClose, tr("&Close"));
  host->addSeparator();
  AddCommand(host, sys::kHostSave, tr("&Save"));
  AddCommand(host, sys::kHostSaveAs, tr("Save &As..."));
  AddCommand(host, sys::kHostPrintScreen, tr("&Print Screen"));
  // Cancel Printing has no function number of its own.
  QAction* cancelPrinting = host->addAction(tr("Cancel Prin&ting"));
  cancelPrinting->setObjectName(QStringLiteral("cancelPrinting"));
  connect(cancelPrinting, &QAction::triggered, this, [this] {
    if (CHostSession* s = app_.Sessions().Active()) app::CancelPrinting(*s);
  });
  actions_[-sys::kHostPrintScreen] = cancelPrinting;
  host->addSeparator();
  AddCommand(host, sys::kHostFileTransfer, QString::fromLatin1(transfer_texts::kMenuTransfer));
  AddCommand(host, sys::kHostCancelFileTransfer, QString::fromLatin1(transfer_texts::kMenuCancel));
  AddCommand(host, sys::kHostRunScript, L1(app::texts::kRunScriptMenu));
  AddCommand(host, sys::kHostCancelScript, L1(app::texts::kCancelScriptMenu));
  host->addSeparator();
  AddCommand(host, sys::kHostExit, tr("E&xit"));
  // Scripts and transfers start and end without the frame hearing of it.
  connect(host, &QMenu::aboutToShow, this, [this] { UpdateCommands(); });

  editMenu_ = menuBar()->addMenu(tr("&Edit"));
  AddCommand(editMenu_, sys::kEditCut, tr("Cu&t"));
  AddCommand(editMenu_, sys::kEditCutAppend, tr("Cut A&ppend"));
  AddCommand(editMenu_, sys::kEditCopy, tr("&Copy"));
  AddCommand(editMenu_, sys::kEditCopyAppend, tr("Copy &Append"));
  AddCommand(editMenu_, sys::kEditPaste, tr("&Paste"));
  AddCommand(editMenu_, sys::kEditPasteContinue, tr("Paste Co&ntinue"));
  editMenu_->addSeparator();
  AddCommand(editMenu_, sys::kEditSelectAll, tr("Select A&ll"));
  AddCommand(editMenu_, sys::kEditDeselect, tr("&Deselect"));
  editMenu_->addSeparator();
  AddCommand(editMenu_, sys::kEditSaveClipboard, tr("Sa&ve Clipboard"));
  // Save Clipboard As has no function number of its own.
  QAction* saveAs = editMenu_->addAction(tr("Save Clipboard &As..."));
  connect(saveAs, &QAction::triggered, this, [this] {
    if (CHostSession* s = app_.Sessions().Active())
      app::SaveClipboard(*s, *this, true, nullptr, app_.Sessions().chooseFile);
  });
  actions_[-sys::kEditSaveClipboard] = saveAs;
  AddCommand(editMenu_, sys::kEditPrintClipboard, tr("P&rint Clipboard"));
  editMenu_->addSeparator();
  // Paste modes and copy options of the visible session's profile.
  auto* modes = new QActionGroup(this);
  struct Option {
    const char* text;
    std::uint32_t mask, value;
  };
  const Option options[] = {
      {"&Block Mode", kEditPasteModeMask, kEditPasteBlock},
      {"&Overlay Block Mode", kEditPasteModeMask, kEditPasteOverlayBlock},
      {"&Stream Mode", kEditPasteModeMask, kEditPasteStream},
      {"Rubber &Band", kEditRubberBandSelection, kEditRubberBandSelection},
      {"&Reverse Video", kEditRubberBandSelection, 0},
      {"Change Field Attribute to &Tab", kEditFieldAttributeAsTab, kEditFieldAttributeAsTab},
      {"&Move Cursor After Paste", kEditCursorAfterPaste, kEditCursorAfterPaste},
  };
  auto* selectionGroup = new QActionGroup(this);
  int n = 0;
  for (const Option& o : options) {
    if (n == 3) editMenu_->addSeparator();
    QAction* a = editMenu_->addAction(QString::fromLatin1(o.text));
    a->setCheckable(true);
    if (o.mask == kEditPasteModeMask) modes->addAction(a);
    if (o.mask == kEditRubberBandSelection) selectionGroup->addAction(a);
    const std::uint32_t mask = o.mask, value = o.value;
    const bool toggles = mask == kEditFieldAttributeAsTab || mask == kEditCursorAfterPaste;
    connect(a, &QAction::triggered, this, [this, mask, value, toggles, a] {
      SetEditOption(mask, toggles ? (a->isChecked() ? value : 0) : value);
    });
    actions_[-1000 - n] = a;
    ++n;
  }

  QMenu* view = menuBar()->addMenu(tr("&View"));
  AddCommand(view, sys::kViewStandardToolbar, tr("Standard &Toolbar"), true);
  AddCommand(view, sys::kViewStatusBar, tr("&Status Bar"), true);
  AddCommand(view, sys::kViewOperatorInformationArea, tr("&Operator Information Area"), true);
  AddCommand(view, sys::kViewResponseTime, tr("&Response Time..."));
  view->addSeparator();
  AddCommand(view, sys::kViewFullScreen, QString::fromLatin1("&Full Screen"), true);
  AddCommand(view, sys::kViewResponseTime, tr("&Response Time..."));
  view->addSeparator();
  AddCommand(view, sys::kViewNextSession, tr("&Next Session"));
  AddCommand(view, sys::kViewPreviousSession, tr("&Previous Session"));

  QMenu* setup = menuBar()->addMenu(tr("&Setup"));
  AddCommand(setup, sys::kSetupSessions, tr("S&essions..."));
  // Preferences has no function number of its own.
  connect(setup->addAction(tr("&Preferences...")), &QAction::triggered, this, [this] {
    dialogs_->Preferences();
    ApplySettings();
  });
  setup->addSeparator();
  AddCommand(setup, sys::kSetupFont, tr("&Font..."));
  AddCommand(setup, sys::kSetupFontLarger, tr("Next &Larger Font"));
  AddCommand(setup, sys::kSetupFontSmaller, tr("Next &Smaller Font"));
  setup->addSeparator();
  // The shown session's keyboard map; Session Setup reaches every map.
  QAction* keyboard = setup->addAction(tr("&Keyboard Map..."));
  connect(keyboard, &QAction::triggered, this, [this] {
    if (CHostSession* s = app_.Sessions().Active()) KeyboardSetup(*s);
  });
  actions_[-2000] = keyboard;

  QMenu* macros = menuBar()->addMenu(QString::fromLatin1(keyboard_texts::kMacrosMenu));
  AddCommand(macros, sys::kMacroStartRecording, QString::fromLatin1(keyboard_texts::kStartRecording));
  AddCommand(macros, sys::kMacroStopRecording, QString::fromLatin1(keyboard_texts::kStopRecording));
  for (std::size_t m = 0; m < macroMenus_.size(); ++m) {
    macroMenus_[m] = macros->addMenu(QString::fromLatin1(keyboard_texts::kMacroSubmenus[m]));
    macroMenus_[m]->setObjectName(QString::fromLatin1(keyboard_texts::kMacroSubmenus[m]).remove(QLatin1Char('&')));
  }
  connect(macros, &QMenu::aboutToShow, this, [this] { BuildMacroMenu(); });

  // The network utilities, when their library is loaded; greyed otherwise.
  QMenu* internet = menuBar()->addMenu(tr("&Internet"));
  const struct {
    const char* text;
    app::NetTool tool;
  } tools[] = {{"&Finger...", app::NetTool::Finger},
               {"&Whois...", app::NetTool::Whois},
               {"&Ping...", app::NetTool::Ping},
               {"&DNS Lookup...", app::NetTool::DnsLookup},
               {"Check &Mail...", app::NetTool::CheckMail}};
  toolHost_ = std::make_unique<QtToolHost>(ui_, app::NetUtilitiesSettingsPath(app_.AppProfile().Path()), this);
  for (const auto& t : tools) {
    const app::NetTool tool = t.tool;
    QAction* a = internet->addAction(QString::fromLatin1(t.text));
    connect(a, &QAction::triggered, this, [this, tool] { app_.NetUtilities().Open(tool, *toolHost_); });
  }
  internet->setEnabled(app_.NetUtilities().Available());

  windowMenu_ = menuBar()->addMenu(tr("&Window"));
  QMenu* help = menuBar()->addMenu(tr("&Help"));
  QAction* about = help->addAction(tr("&About Corvina"));
  connect(about, &QAction::triggered, this, [this] {
    QMessageBox::about(this, tr("About Corvina"),
                       tr("Corvina %1\n3270, 5250 and VT host sessions over Telnet and TLS.").arg(QStringLiteral(
                           CORVINA_VERSION)));
  });
}

void CMainFrame::BuildToolBar() {
  toolBar_ = addToolBar(tr("Standard"));
  toolBar_->setObjectName(QStringLiteral("StandardToolbar"));
  RebuildStandardToolbar();
}

void CMainFrame::RebuildStandardToolbar() {
  const auto* stored =
      dynamic_cast<const CCorvinaToolbar*>(app_.Store().Find(ObjectKind::kToolbar, kStandardToolbarName));
  const CCorvinaToolbar builtIn(kStandardToolbarName, 0);
  const CCorvinaToolbar& bar = stored ? *stored : builtIn;
  const std::string layout = bar.LayoutKey();
  if (layout == standardLayout_) return;
  standardLayout_ = layout;
  for (int n = 1; n <= 9; ++n) actions_.erase(sys::kHostSession1 + n - 1);
  toolBar_->clear();
  qDeleteAll(standardButtons_);
  standardButtons_.clear();
  for (const ToolbarButton& b : bar.buttons) {
    if (b.IsSeparator()) {
      toolBar_->addSeparator();
      continue;
    }
    const int id = b.id;
    QAction* button = toolBar_->addAction(L1(bar.ButtonLabel(b)));
    standardButtons_.push_back(button);
    if (id >= sys::kHostSession1 && id <= sys::kHostSession9) {
      // Pressed for the shown session.
      if (b.label.empty()) button->setText(QString::number(id - sys::kHostSession1 + 1));
      button->setCheckable(true);
      button->setData(id);
      connect(button, &QAction::triggered, this, [this, id] { RunCommand(id); });
      actions_[id] = button;
      continue;
    }
    button->setToolTip(StatusTip(id));
    button->setStatusTip(StatusTip(id));
    if (QAction* command = Action(id)) {
      // The button runs the menu's action.
      button->setToolTip(command->text().remove(QLatin1Char('&')));
      button->setCheckable(command->isCheckable());
      button->setEnabled(command->isEnabled());
      button->setChecked(command->isChecked());
      connect(button, &QAction::triggered, command, &QAction::trigger);
      connect(command, &QAction::changed, button, [button, command] {
        button->setEnabled(command->isEnabled());
        button->setChecked(command->isChecked());
      });
    } else {
      // A command this version has no menu item for does nothing: it shows so.
      button->setEnabled(false);
    }
  }
  toolBar_->setMovable(bar.dockable);
  toolBar_->setFloatable(bar.dockable);
  // The session buttons take their state and marks again.
  const auto marks = marked_;
  marked_.clear();
  for (const auto& [slot, marked] : marks) MarkSessionButton(slot, marked);
  if (windowMenu_) UpdateWindowMenu();
}

void CMainFrame::RefreshToolbars() {
  RebuildStandardToolbar();
  keypad_->ShowFor(app_.Sessions().Active());
  ApplySettings();
}

void CMainFrame::BuildStatusBar() {
  auto pane = [this](const char* placeholder) {
    auto* l = new QLabel(QString::fromLatin1(placeholder), this);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QString::fromLatin1(placeholder)) + 12);
    l->setAlignment(Qt::AlignCenter);
    statusBar()->addPermanentWidget(l);
    return l;
  };
  lockPane_ = pane(app::texts::kPaneLockPlaceholder);
  responsePane_ = pane(app::texts::kPaneResponsePlaceholder);
  cursorPane_ = pane(app::texts::kPaneCursorPlaceholder);
  modePane_ = pane(app::texts::kPaneModePlaceholder);
  clockPane_ = pane("00:00");
  recPane_ = pane(keyboard_texts::kRecordingIndicator);
  recPane_->setObjectName(QStringLiteral("RecordingPane"));
  recPane_->hide();
  for (QLabel* l : {lockPane_, responsePane_, cursorPane_, modePane_}) l->clear();
}

CCorvinaView* CMainFrame::ActiveView() const {
  CHostSession* s = app_.Sessions().Active();
  return s ? ViewOf(*s) : nullptr;
}

CCorvinaView* CMainFrame::ViewOf(const CHostSession& session) const {
  auto it = views_.find(&session);
  return it == views_.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------- sessions

void CMainFrame::SessionStarted(CHostSession& s) {
  auto* view = new CCorvinaView(s, stack_);
  views_[&s] = view;
  stack_->addWidget(view);
  view->fitFrame = [this, view] {
    if (view == ActiveView()) FitToScreen();
  };
  view->selectionEnded = [this, view] {
    if (CHostSession* session = view->Session()) SetSelectionText(app::ToClipboardText(app::SelectedText(*session)));
  };
  // The pop-up: the Edit menu and Full Screen, the way back when the menu
  // bar is hidden.
  view->popupMenu = [this](QPoint at) {
    auto* popup = new QMenu(this);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->addActions(editMenu_->actions());
    popup->addSeparator();
    popup->addAction(Action(sys::kViewFullScreen));
    popup->popup(at);
  };
  view->mayScale = [this] { return placed_ && !fitting_; };
  view->filesDropped = [this, view](const std::vector<std::string>& paths) {
    if (CHostSession* session = view->Session()) transfers_->Drop(*session, paths);
  };
  UpdateWindowMenu();
}

void CMainFrame::SessionClosing(CHostSession& s) {
  transfers_->SessionClosing(s);
  auto it = views_.find(&s);
  if (it == views_.end()) return;
  CCorvinaView* view = it->second;
  views_.erase(it);
  view->Detach();
  stack_->removeWidget(view);
  view->deleteLater();
  if (views_.empty() && fullScreen_) ToggleFullScreen();
  UpdateWindowMenu();
}

void CMainFrame::ActiveSessionChanged(CHostSession* s) {
  CCorvinaView* view = s ? ViewOf(*s) : nullptr;
  if (view) {
    MarkSessionButton(s->Number(), false);
    stack_->setCurrentWidget(view);
    view->setFocus();
    setWindowTitle(QString::fromLatin1(Format(app::texts::kFrameTitle, s->Title().c_str(), app::texts::kCaption).c_str()));
    ApplySettings();
    keypad_->ShowFor(s);
    QTimer::singleShot(0, this, [this, view] {
      if (view != ActiveView()) return;
      // Without a stored placement the first screen sets the window's size.
      if (placed_ && (view->Session()->Profile().fontOptions & kFontScaleToWindow) && view->ScaleToWindow()) return;
      placed_ = true;
      FitToScreen();
    });
  } else {
    keypad_->ShowFor(nullptr);
    stack_->setCurrentWidget(empty_);
    setWindowTitle(QString::fromLatin1(app::texts::kCaption));
  }
  UpdateWindowMenu();
  UpdateCommands();
  UpdateStatusPanes();
  recPane_->setText(QString::fromLatin1(keyboard_texts::kRecordingIndicator));
  ShowRecordingPane();
  BuildMacroMenu();
}

void CMainFrame::ScreenChanged(CHostSession& s) {
  CCorvinaView* view = ViewOf(s);
  if (!view) return;
  if (view == ActiveView()) {
    view->ScreenChanged();
    UpdateStatusPanes();
    // Output while the view is scrolled back waits to be seen.
    MarkSessionButton(s.Number(), view->ScrolledBack());
  } else {
    MarkSessionButton(s.Number(), true);  // output in a session not shown
  }
}

void CMainFrame::MarkSessionButton(int slot, bool marked) {
  if (slot < 1 || slot > 9 || marked_[slot] == marked) return;
  marked_[slot] = marked;
  QAction* button = Action(sys::kHostSession1 + slot - 1);
  if (!button) return;
  QFont f = button->font();
  f.setBold(marked);
  f.setUnderline(marked);
  button->setFont(f);
}

void CMainFrame::LastSessionClosed() {
  if (fullScreen_) ToggleFullScreen();
  toolBar_->show();
  statusBar()->show();
  menuBar()->show();
  UpdateCommands();
}

void CMainFrame::UpdateWindowMenu() {
  windowMenu_->clear();
  app::CSessionTable& table = app_.Sessions();
  for (int slot = 1; slot <= app::CSessionTable::kMaxSlots; ++slot) {
    CHostSession* s = table.Session(slot);
    const int id = sys::kHostSession1 + slot - 1;
    if (QAction* button = slot <= 9 ? Action(id) : nullptr) {
      button->setEnabled(s != nullptr);
      button->setChecked(s && s == table.Active());
      button->setToolTip(s ? L1(s->Title() + (s->StatusText().empty() ? "" : " (" + s->StatusText() + ")"))
                           : QString::fromLatin1(Format(app::texts::kSessionInactive, slot).c_str()));
    }
    if (!s) continue;
    const std::string text = Format(slot <= 9 ? app::texts::kSessionMenuItem : app::texts::kSessionMenuItemHigh, slot,
                                    s->Title().c_str());
    QAction* a = windowMenu_->addAction(L1(text));
    a->setCheckable(true);
    a->setChecked(s == table.Active());
    connect(a, &QAction::triggered, this, [this, slot] {
      if (CHostSession* session = app_.Sessions().Session(slot)) app_.Sessions().Activate(*session);
    });
  }
  if (windowMenu_->isEmpty()) windowMenu_->addAction(tr("(no sessions)"))->setEnabled(false);
}

void CMainFrame::UpdateCommands() {
  CHostSession* s = app_.Sessions().Active();
  const bool live = s && s->Engine();
  for (int id : {sys::kHostClose, sys::kEditCopy, sys::kEditCopyAppend, sys::kEditPaste, sys::kEditPasteContinue,
                 sys::kEditSelectAll, sys::kEditDeselect, sys::kEditSaveClipboard, sys::kEditPrintClipboard,
                 sys::kHostSave, sys::kHostSaveAs, sys::kHostPrintScreen, sys::kSetupFont,
                 sys::kSetupFontLarger, sys::kSetupFontSmaller, sys::kViewOperatorInformationArea})
    if (QAction* a = Action(id)) a->setEnabled(s != nullptr);
  for (int id : {sys::kEditCut, sys::kEditCutAppend})
    if (QAction* a = Action(id)) a->setEnabled(live);
  if (QAction* a = Action(-sys::kEditSaveClipboard)) a->setEnabled(s != nullptr);
  if (QAction* a = Action(-sys::kHostPrintScreen)) a->setEnabled(s != nullptr);
  if (QAction* a = Action(sys::kViewResponseTime)) a->setEnabled(s != nullptr);
  if (QAction* a = Action(sys::kHostCancelScript)) a->setEnabled(app_.CanCancelScript());
  if (QAction* a = Action(sys::kMacroStartRecording)) a->setEnabled(live && !s->Recording());
  if (QAction* a = Action(sys::kMacroStopRecording)) a->setEnabled(s && s->Recording());
  for (QMenu* m : macroMenus_)
    if (m) m->setEnabled(!(s && s->Recording()));
  if (QAction* a = Action(-2000)) a->setEnabled(s != nullptr);
  if (QAction* a = Action(sys::kHostFileTransfer)) a->setEnabled(s && filetransfer::FileTransferCanStart(*s));
  if (QAction* a = Action(sys::kHostCancelFileTransfer)) a->setEnabled(s && filetransfer::FileTransferRunning(*s));
  if (QAction* a = Action(sys::kViewNextSession)) a->setEnabled(app_.Sessions().LiveCount() > 1);
  if (QAction* a = Action(sys::kViewPreviousSession)) a->setEnabled(app_.Sessions().LiveCount() > 1);
  if (QAction* a = Action(sys::kViewFullScreen)) {
    a->setEnabled(s != nullptr || fullScreen_);
    a->setChecked(fullScreen_);
  }
  if (QAction* a = Action(sys::kViewStandardToolbar)) a->setChecked(toolBar_->isVisible() || !isVisible());
  if (QAction* a = Action(sys::kViewStatusBar)) a->setChecked(statusBar()->isVisible() || !isVisible());
  if (QAction* a = Action(sys::kViewOperatorInformationArea)) a->setChecked(ActiveView() && ActiveView()->OiaShown());
  // Paste modes and copy options: 3270 and 5250 sessions only.
  const bool block = s && s->ConfiguredKind() < 256;
  const std::uint32_t edit = s ? s->Profile().editOptions : 0;
  const std::uint32_t values[] = {kEditPasteBlock, kEditPasteOverlayBlock, kEditPasteStream};
  for (int n = 0; n < 7; ++n) {
    QAction* a = Action(-1000 - n);
    if (!a) continue;
    a->setEnabled(n >= 3 && n <= 4 ? s != nullptr : block);
    if (n < 3) a->setChecked((edit & kEditPasteModeMask) == values[n]);
    if (n == 3) a->setChecked(edit & kEditRubberBandSelection);
    if (n == 4) a->setChecked(!(edit & kEditRubberBandSelection));
    if (n == 5) a->setChecked(edit & kEditFieldAttributeAsTab);
    if (n == 6) a->setChecked(edit & kEditCursorAfterPaste);
  }
}

void CMainFrame::UpdateStatusPanes() {
  CHostSession* s = app_.Sessions().Active();
  CCorvinaView* view = ActiveView();
  if (!s || !view || !s->Engine()) {
    for (QLabel* l : {lockPane_, responsePane_, cursorPane_, modePane_}) l->clear();
    return;
  }
  // The panes repeat the OIA line's lock text, insert mark, cursor and
  // response time.
  const std::string& oia = view->OiaText();
  std::string lock = OiaColumns(oia, 8, 11);
  if (s->InsertMode()) lock += "^";
  lockPane_->setText(L1(lock));
  responsePane_->setText(L1(OiaColumns(oia, 56, 9)));
  cursorPane_->setText(L1(OiaColumns(oia, 49, 7)));
  const unsigned state = s->Telnet().CorvinaEState();
  std::string mode;
  if (s->Mode() == kKindAnsi)
    mode = app::texts::kModeAnsi;
  else if (s->Mode() == kKindLineMode || state == 4)
    mode = app::texts::kModeNvt;
  else if (state == 5)
    mode = app::texts::kModeSscpLu;
  else if (!s->Telnet().AssignedDeviceName().empty())
    mode = s->Telnet().AssignedDeviceName();
  else
    mode = s->Telnet().TerminalTypeString();
  modePane_->setText(L1(mode));
}

void CMainFrame::ClockTick() {
  clockPane_->setText(QTime::currentTime().toString(QStringLiteral("HH:mm")));
  if (CCorvinaView* view = ActiveView()) view->ScreenChanged();
  UpdateStatusPanes();
  UpdateWindowMenu();
}

// ---------------------------------------------------------------- commands

bool CMainFrame::RunCommand(int id, CHostSession* session) {
  app::CSessionTable& table = app_.Sessions();
  CHostSession* s = session ? session : table.Active();
  if (id >= sys::kHostSession1 && id <= sys::kHostSession9) {
    if (CHostSession* target = table.Session(id - sys::kHostSession1 + 1)) table.Activate(*target);
    UpdateWindowMenu();
    return true;
  }
  switch (id) {
    case sys::kHostExit:
      close();
      return true;
    case sys::kViewNextSession:
      table.ActivateNext();
      return true;
    case sys::kViewPreviousSession:
      table.ActivatePrevious();
      return true;
    case sys::kViewFullScreen:
      ToggleFullScreen();
      return true;
    case sys::kHostConnect:
      dialogs_->Connect();
      RefreshToolbars();
      return true;
    case sys::kHostRunScript:
      app_.RunScriptCommand();
      UpdateCommands();
      return true;
    case sys::kHostCancelScript:
      app_.CancelScriptCommand();
      UpdateCommands();
      return true;
    case sys::kSetupSessions:
      dialogs_->SetupSessions();
      RefreshToolbars();
      return true;
    case sys::kViewResponseTime:
      dialogs_->ResponseTime();
      return true;
    case sys::kViewStandardToolbar:
      toolBar_->setVisible(!toolBar_->isVisible());
      UpdateCommands();
      return true;
    case sys::kViewStatusBar:
      statusBar()->setVisible(!statusBar()->isVisible());
      UpdateCommands();
      return true;
    default:
      break;
  }
  if (!s) return false;
  if (dialogs::DecodeMacroCommand(id)) {
    RunMacroCommand(id, *s);
    return true;
  }
  switch (id) {
    case sys::kHostClose:
      CloseSession(*s);
      return true;
    case sys::kEditCopy:
    case sys::kEditCopyAppend:
      app::Copy(*s, *this, id == sys::kEditCopyAppend);
      return true;
    case sys::kEditCut:
    case sys::kEditCutAppend:
      app::Cut(*s, *this, id == sys::kEditCutAppend);
      return true;
    case sys::kEditPaste:
      app::Paste(*s, *this);
      return true;
    case sys::kEditPasteContinue:
      app::PasteContinue(*s, *this);
      return true;
    case sys::kEditSelectAll:
      s->SetSelection(CellRect{0, 0, s->Columns() - 1, s->Rows() - 1});
      if (CCorvinaView* v = ViewOf(*s)) v->update();
      return true;
    case sys::kEditDeselect:
      s->ClearSelection();
      if (CCorvinaView* v = ViewOf(*s)) v->update();
      return true;
    case sys::kEditSaveClipboard:
      app::SaveClipboard(*s, *this, false, table.ScriptFilesOf(*s).clipboard, table.chooseFile);
      return true;
    case sys::kEditPrintClipboard:
      app::PrintClipboard(*s, *this, table.FilesOf(*s).print, table.ScriptFilesOf(*s).printer);
      return true;
    case sys::kHostSave:
    case sys::kHostSaveAs:
    case sys::kHostPrintScreen:
      return table.SystemCommand(*s, id, 0);
    case sys::kViewOperatorInformationArea:
      s->Profile().displayOptions ^= kDisplayOiaInWindow;
      s->Profile().modified = true;
      app_.Store().SaveAll();
      ApplySettings();
      FitToScreen();
      return true;
    case sys::kSetupFont:
      SetupFont(*s);
      return true;
    case sys::kHostFileTransfer:
      transfers_->Open(*s);
      UpdateCommands();
      return true;
    case sys::kHostCancelFileTransfer:
      transfers_->Cancel(*s);
      UpdateCommands();
      return true;
    case sys::kViewResponseTime:
      ShowResponseTimes(*s);
      return true;
    case sys::kMacroStartRecording:
      if (!s->Recording() && s->Engine()) s->StartRecording();
      UpdateCommands();
      return true;
    case sys::kMacroStopRecording:
      StopRecording(*s);
      return true;
    case sys::kSetupFontLarger:
    case sys::kSetupFontSmaller:
      StepFont(*s, id == sys::kSetupFontLarger);
      return true;
    default:
      return false;
  }
}

void CMainFrame::CloseSession(CHostSession& session) {
  if (app_.Store().preferences & app::kPrefConfirmSessionClose) {
    const std::string text = "Close session " + session.Title() + "?";
    if (ui_.MessageBox(text, app::texts::kCaption, platform::Buttons::YesNo, platform::Answer::Yes,
                       platform::Icon::Question) != platform::Answer::Yes)
      return;
  }
  app_.Sessions().CloseSession(session);
}

void CMainFrame::SetEditOption(std::uint32_t mask, std::uint32_t value) {
  CHostSession* s = app_.Sessions().Active();
  if (!s) return;
  CCorvinaSessionProfile& p = s->Profile();
  p.editOptions = (p.editOptions & ~mask) | value;
  p.modified = true;
  app_.Store().SaveAll();
  UpdateCommands();
  if (CCorvinaView* v = ViewOf(*s)) v->update();
}

// ------------------------------------------------------------- clipboard

std::optional<std::string> CMainFrame::ChooseFile(const app::FileChoice& choice) {
  if (chooseFileForTests) return chooseFileForTests(choice);
  return ChooseFileWindowModal(this, ui_, choice);
}

std::optional<std::string> CMainFrame::Text() {
  QClipboard* c = QGuiApplication::clipboard();
  if (!c) return std::nullopt;
  // Capped before it is converted: a huge clipboard cannot flood the host.
  QByteArray bytes = c->text().left(static_cast<qsizetype>(app::kMaxClipboardText)).toUtf8();
  if (bytes.size() > static_cast<qsizetype>(app::kMaxClipboardText)) bytes.truncate(app::kMaxClipboardText);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool CMainFrame::SetText(const std::string& utf8) {
  QClipboard* c = QGuiApplication::clipboard();
  if (!c) return false;
  c->setText(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())), QClipboard::Clipboard);
  return true;
}

void CMainFrame::SetSelectionText(const std::string& utf8) {
  QClipboard* c = QGuiApplication::clipboard();
  if (c && c->supportsSelection())
    c->setText(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())), QClipboard::Selection);
}

// ----------------------------------------------------------- the screen

void CMainFrame::ApplySettings() {
  const unsigned prefs = app_.Store().preferences;
  const bool onTop = prefs & app::kPrefAlwaysOnTop;
  if (onTop != bool(windowFlags() & Qt::WindowStaysOnTopHint)) {
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);  // hides a shown window
    if (shown) show();
  }
  CHostSession* s = app_.Sessions().Active();
  CCorvinaView* view = ActiveView();
  if (!s || !view) return;
  const std::uint32_t display = s->Profile().displayOptions;
  if (fullScreen_) {
    const bool honor = prefs & app::kPrefHonorSessionToolbars;
    menuBar()->setVisible(prefs & app::kPrefMainMenuBar);
    toolBar_->setVisible(honor && (display & kDisplayStandardToolbar));
    statusBar()->setVisible(honor && (display & kDisplayStatusBar));
    view->SetOiaShown(!honor || (display & kDisplayOiaInWindow));
  } else {
    menuBar()->show();
    toolBar_->setVisible(display & kDisplayStandardToolbar);
    statusBar()->setVisible(display & kDisplayStatusBar);
    view->SetOiaShown(display & kDisplayOiaInWindow);
  }
  view->SetFullScreen(fullScreen_);
  UpdateCommands();
}

void CMainFrame::FitToScreen() {
  CCorvinaView* view = ActiveView();
  if (!view || fitting_ || fullScreen_ || isMaximized() || isFullScreen() || isMinimized()) return;
  fitting_ = true;
  const app::PixelSize screen = view->ScreenSize();
  const QSize client = stack_->size();
  app::PixelSize available{0, 0};
  if (QScreen* sc = this->screen()) {
    // The frame's decoration counts against the available area too.
    const QRect area = sc->availableGeometry();
    const QSize decoration = frameGeometry().size() - size();
    available = {area.width() - decoration.width(), area.height() - decoration.height()};
  }
  const app::PixelSize frame = app::FittedFrameSize({width(), height()}, {client.width(), client.height()}, screen,
                                                    available);
  if (frame.width != width() || frame.height != height()) resize(frame.width, frame.height);
  // Dragging the border cannot make the window larger than the screen needs
  // at this font, unless the font scales with the window.
  const bool scales = view->Session() && (view->Session()->Profile().fontOptions & kFontScaleToWindow);
  stack_->setMaximumSize(scales ? QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX) : QSize(screen.width, screen.height));
  fitting_ = false;
  view->update();
}

void CMainFrame::StepFont(CHostSession& session, bool larger) {
  CCorvinaView* view = ViewOf(session);
  if (!view) return;
  CCorvinaSessionProfile& p = session.Profile();
  const ScreenFont& font = view->Font();
  if (font.Scalable()) {
    const std::optional<int> points = app::NextPointSize(font.PointSize(), p.screenFontSize2 == 0 ? p.screenFontSize1 : font.PointSize(), larger);
    if (!points) {
      ui_.Beep(platform::BeepKind::Exclamation);
      return;
    }
    p.screenFontSize1 = static_cast<std::int16_t>(*points);
    p.screenFontSize2 = 0;
  } else {
    const std::optional<app::CellSize> next = app::NextFixedSize(font.Sizes(), font.Cell(), larger);
    if (!next) {
      ui_.Beep(platform::BeepKind::Exclamation);
      return;
    }
    p.screenFontSize1 = static_cast<std::int16_t>(next->height);
    p.screenFontSize2 = static_cast<std::int16_t>(next->width);
  }
  view->ApplyProfile();
  // The frame follows the new size; the client it gets is the screen at
  // that size, so the scaling rule leaves the font alone.
  if (view == ActiveView()) FitToScreen();
  p.modified = true;
  app_.Store().SaveAll();
}

void CMainFrame::SetupFont(CHostSession& session) {
  CCorvinaView* view = ViewOf(session);
  if (!view) return;
  bool ok = false;
  QFont initial = view->Font().Normal();
  if (initial.pointSize() <= 0) initial.setPointSize(view->Font().PointSize());
  QFont chosen;
  {
    LoopHold hold(ui_.Loop());
    chosen = QFontDialog::getFont(&ok, initial, this, tr("Screen Font"), QFontDialog::MonospacedFonts);
  }
  if (!ok) return;
  CCorvinaSessionProfile& p = session.Profile();
  p.screenFont.faceName = chosen.family().toLatin1().left(static_cast<qsizetype>(kMaxFaceNameLength)).toStdString();
  p.screenFont.weight = chosen.bold() ? 700 : 400;
  p.screenFont.italic = chosen.italic() ? 1 : 0;
  p.screenFontSize1 = static_cast<std::int16_t>(std::clamp(static_cast<int>(std::lround(chosen.pointSizeF())),
                                                           app::kSmallestPointSize, app::kLargestPointSize));
  p.screenFontSize2 = 0;
  const ScreenFont made = ScreenFont::Make(p.screenFont, p.screenFontSize1, 0);
  if (made.Scalable() || made.Sizes().size() > 1)
    p.fontOptions |= kFontScaleToWindow;
  else
    p.fontOptions &= ~kFontScaleToWindow;
  p.modified = true;
  app_.Store().SaveAll();
  // Every session of the profile takes it again, and the frame fits it.
  for (auto& [s, v] : views_)
    if (&s->Profile() == &p) v->ApplyProfile();
  FitToScreen();
}

void CMainFrame::ToggleFullScreen() {
  if (!fullScreen_) {
    if (app_.Store().preferences & app::kPrefFullScreenInstructions) {
      QDialog dialog(this);
      dialog.setWindowTitle(QString::fromLatin1(Format(app::texts::kFullScreenTitle, app::texts::kCaption).c_str()));
      auto* layout = new QVBoxLayout(&dialog);
      auto* text = new QLabel(L1(app::texts::kFullScreenText).replace(QLatin1String("\r\n"), QLatin1String("\n")));
      text->setWordWrap(true);
      layout->addWidget(text);
      auto* reminder = new QCheckBox(QString::fromLatin1(app::texts::kFullScreenReminder));
      reminder->setChecked(true);
      layout->addWidget(reminder);
      auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
      connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
      connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
      layout->addWidget(buttons);
      int result = 0;
      {
        LoopHold hold(ui_.Loop());
        result = dialog.exec();
      }
      if (result != QDialog::Accepted) return;
      if (!reminder->isChecked()) {
        app_.Store().preferences &= ~app::kPrefFullScreenInstructions;
        app_.Store().SaveAll();
      }
    }
    savedMaximized_ = isMaximized();
    savedGeometry_ = savedMaximized_ ? normalGeometry() : geometry();
    stack_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    fullScreen_ = true;
    showFullScreen();
  } else {
    fullScreen_ = false;
    showNormal();
    QTimer::singleShot(0, this, [this] { FitToScreen(); });
    if (savedMaximized_) showMaximized();
    else setGeometry(savedGeometry_);
    menuBar()->show();
  }
  ApplySettings();
  UpdateCommands();
}

// ---------------------------------------------------------------- macros

void CMainFrame::BuildMacroMenu() {
  CHostSession* s = app_.Sessions().Active();
  const auto menus = BuildMacroMenus(app_.Store(), s ? &s->KeyboardMap() : nullptr);
  for (std::size_t m = 0; m < menus.size(); ++m) {
    QMenu* menu = macroMenus_[m];
    menu->clear();
    for (const MacroMenuItem& item : menus[m]) {
      QAction* a = menu->addAction(L1(item.text));
      a->setEnabled(item.enabled && item.command != 0);
      a->setData(item.command);
      const int command = item.command;
      // Queued: the command's dialogs may rebuild this very menu.
      connect(
          a, &QAction::triggered, this,
          [this, command] {
            if (CHostSession* session = app_.Sessions().Active()) RunMacroCommand(command, *session);
          },
          Qt::QueuedConnection);
    }
  }
  UpdateCommands();
}

void CMainFrame::RunMacroCommand(int command, CHostSession& session) {
  const std::optional<dialogs::MacroChoice> choice = dialogs::DecodeMacroCommand(command);
  if (!choice || session.Recording()) return;
  LoopHold hold(ui_.Loop());
  const CCorvinaKeyboardMap& map = session.KeyboardMap();
  const std::optional<std::string> name = dialogs::MacroOfCommand(*services_, *choice, map);
  if (!name) return;
  switch (choice->submenu) {
    case dialogs::MacroSubmenu::kReplay:
      session.PlayMacro(*name);
      break;
    case dialogs::MacroSubmenu::kEdit: {
      CMacroEditorDialog editor(*services_, *name, map, this);
      if (editor.Valid()) editor.exec();
      break;
    }
    case dialogs::MacroSubmenu::kDelete:
      dialogs::DeleteMacro(*services_, *name, dialogs::StoredMap(app_.Store(), map));
      break;
    case dialogs::MacroSubmenu::kAssignKey:
      if (CCorvinaKeyboardMap* stored = dialogs::StoredMap(app_.Store(), map))
        dialogs::AssignMacroKey(*services_, *name, *stored);
      else
        ui_.Beep(platform::BeepKind::Exclamation);
      break;
  }
  BuildMacroMenu();
}

void CMainFrame::KeyboardSetup(CHostSession& session) {
  CCorvinaKeyboardMap* map = dialogs::StoredMap(app_.Store(), session.KeyboardMap());
  if (!map) {
    ui_.Beep(platform::BeepKind::Exclamation);
    return;
  }
  LoopHold hold(ui_.Loop());
  CKeyboardSetupDialog setup(*services_, map->name, this);
  setup.exec();
  BuildMacroMenu();
}

void CMainFrame::RecordingIndicator(CHostSession& s, bool lit) {
  if (&s != app_.Sessions().Active()) return;
  recPane_->setText(lit ? QString::fromLatin1(keyboard_texts::kRecordingIndicator) : QString());
  ShowRecordingPane();
  UpdateCommands();
}

void CMainFrame::ShowRecordingPane() {
  CHostSession* s = app_.Sessions().Active();
  recPane_->setVisible(s && s->Recording());
}

void CMainFrame::StopRecording(CHostSession& session) {
  std::shared_ptr<CCorvinaMacro> macro = session.StopRecording();
  UpdateCommands();
  if (!macro) return;
  LoopHold hold(ui_.Loop());
  // Unnamed, the recording is discarded.
  dialogs::NameAndSaveMacro(*services_, macro);
}

void CMainFrame::ShowResponseTimes(CHostSession& session) {
  const ResponseTimes& r = session.Responses();
  QString text = tr("Last response: %1 ms\nLongest: %2 ms\nAverage: %3 ms\n\n")
                     .arg(r.Last() < 0 ? 0 : r.Last())
                     .arg(r.Longest() < 0 ? 0 : r.Longest())
                     .arg(r.Average() < 0 ? 0 : r.Average());
  const auto& counts = r.Distribution();
  for (std::size_t i = 0; i < counts.size(); ++i)
    text += (i + 1 < counts.size() ? tr("%1 s: %2\n").arg(i) : tr("10 s or more: %1\n")).arg(counts[i]);
  LoopHold hold(ui_.Loop());
  QMessageBox::information(this, tr("Response Time - %1").arg(L1(session.Title())), text);
}

// ------------------------------------------------------------ placement

bool CMainFrame::RestorePlacement() {
  const std::string value = app_.AppProfile().GetString(kPlacementSection, kPlacementKey);
  int x = 0, y = 0, w = 0, h = 0, maximized = 0;
  if (std::sscanf(value.c_str(), "%d,%d,%d,%d,%d", &x, &y, &w, &h, &maximized) < 4 || w < 100 || h < 80) return false;
  QRect r(x, y, w, h);
  // Never off every screen.
  bool onScreen = false;
  for (QScreen* sc : QGuiApplication::screens()) onScreen = onScreen || sc->availableGeometry().intersects(r);
  if (!onScreen) r.moveTopLeft(QPoint(0, 0));
  setGeometry(r);
  if (maximized) setWindowState(windowState() | Qt::WindowMaximized);
  placed_ = true;
  return true;
}

void CMainFrame::SavePlacement() {
  const QRect r = fullScreen_ ? savedGeometry_ : (isMaximized() ? normalGeometry() : geometry());
  const bool maximized = fullScreen_ ? savedMaximized_ : isMaximized();
  const std::string value = Format("%d,%d,%d,%d,%d", r.x(), r.y(), r.width(), r.height(), maximized ? 1 : 0);
  app_.Store().UpdateAppProfile(
      [&value](platform::IniFile& ini) { ini.SetString(kPlacementSection, kPlacementKey, value); });
}

void CMainFrame::SaveToolbarState() {
  const QByteArray state = saveState().toBase64();
  const std::string value(state.constData(), static_cast<std::size_t>(state.size()));
  app_.Store().UpdateAppProfile(
      [&value](platform::IniFile& ini) { ini.SetString(ToolbarStateSection(), kToolbarStateKey, value); });
}

void CMainFrame::RestoreToolbarState() {
  const std::string value = app_.AppProfile().GetString(ToolbarStateSection(), kToolbarStateKey);
  // A damaged value is refused by the toolkit and changes nothing.
  if (!value.empty()) restoreState(QByteArray::fromBase64(QByteArray::fromStdString(value)));
}

void CMainFrame::WriteSnapshot() {
  if (snapshotFile_.empty()) return;
  QImage image(size(), QImage::Format_RGB32);
  render(&image);
  image.save(QString::fromStdString(snapshotFile_), "PNG");
}

void CMainFrame::closeEvent(QCloseEvent* e) {
  if (closing_) {
    e->accept();
    return;
  }
  SavePlacement();
  SaveToolbarState();
  if (!app_.CloseProgram(true)) {
    e->ignore();
    return;
  }
  closing_ = true;
  e->accept();
  QApplication::quit();
}

}  // namespace corvina::qt
