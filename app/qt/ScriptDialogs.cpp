#include "app/qt/ScriptDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProxyStyle>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "app/qt/WidgetText.h"
#include "dialogs/ScriptDialogs.h"

namespace corvina::qt {

namespace {

// A masked entry shows a star for every character, whatever the style's
// own mark.
class CStarStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

template <typename Dialog>
class CDialogHandle final : public platform::ModelessDialog {
 public:
  CDialogHandle(Dialog* dialog, bool raise) : dialog_(dialog), raise_(raise) {}
  ~CDialogHandle() override {
    if (!dialog_) return;
    dialog_->Disarm();
    dialog_->hide();
    dialog_->deleteLater();
  }
  void BringToFront() override {
    if (!dialog_ || !raise_ || !dialog_->isVisible() || dialog_->isMinimized()) return;
    dialog_->raise();
    dialog_->activateWindow();
  }

 private:
  QPointer<Dialog> dialog_;
  bool raise_;
};

QHBoxLayout* ButtonRow(QVBoxLayout* outer) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  outer->addLayout(row);
  return row;
}

}  // namespace

CAskForDialog::CAskForDialog(const platform::TextPrompt& prompt, std::function<void(std::optional<std::string>)> done,
                             QWidget* parent)
    : QDialog(parent), done_(std::move(done)) {
  setObjectName(QStringLiteral("AskForDialog"));
  setWindowTitle(L1(prompt.caption));
  setMinimumWidth(380);
  auto* outer = new QVBoxLayout(this);
  auto* group = new QGroupBox(L1(prompt.group), this);
  auto* inner = new QVBoxLayout(group);
  auto* label = new QLabel(L1(prompt.prompt), group);
  label->setWordWrap(true);
  inner->addWidget(label);
  entry_ = new QLineEdit(L1(prompt.initial), group);
  entry_->setObjectName(QStringLiteral("AskForEntry"));
  if (prompt.password) {
    auto* stars = new CStarStyle;
    stars->setParent(this);
    entry_->setStyle(stars);
    entry_->setEchoMode(QLineEdit::Password);
  }
  label->setBuddy(entry_);
  inner->addWidget(entry_);
  outer->addWidget(group);
  QHBoxLayout* row = ButtonRow(outer);
  ok_ = new QPushButton(QStringLiteral("OK"));
  ok_->setDefault(true);
  row->addWidget(ok_);
  if (!prompt.pasteButton.empty()) paste_ = AddButton(row, L1(prompt.pasteButton));
  cancel_ = AddButton(row, QStringLiteral("Cancel"));
  connect(ok_, &QPushButton::clicked, this, [this] { Answer(ToL1(entry_->text())); });
  if (paste_) connect(paste_, &QPushButton::clicked, this, [this] { Paste(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { Answer(std::nullopt); });
  entry_->selectAll();
  entry_->setFocus();
}

void CAskForDialog::reject() { Answer(std::nullopt); }

void CAskForDialog::Answer(std::optional<std::string> text) {
  hide();
  if (auto done = std::exchange(done_, nullptr)) done(std::move(text));
}

void CAskForDialog::Paste() {
  // The entry holds one line: the clipboard's first.
  QClipboard* clipboard = QGuiApplication::clipboard();
  QString line = clipboard ? clipboard->text() : QString();
  if (const qsizetype end = line.indexOf(QRegularExpression(QStringLiteral("[\r\n]"))); end >= 0) line.truncate(end);
  entry_->insert(line);
  entry_->setFocus();
}

CScanDialog::CScanDialog(const platform::ScanChooser& chooser, std::function<void(platform::ScanChoice)> done,
                         QWidget* parent)
    : QDialog(parent), done_(std::move(done)) {
  setObjectName(QStringLiteral("ScanDialog"));
  setWindowTitle(L1(chooser.caption));
  setWindowFlag(Qt::WindowMinimizeButtonHint);
  setMinimumWidth(380);
  auto* outer = new QVBoxLayout(this);
  auto* group = new QGroupBox(L1(chooser.group), this);
  auto* inner = new QVBoxLayout(group);
  texts_ = new QListWidget(group);
  texts_->setSelectionMode(QAbstractItemView::NoSelection);
  texts_->setFocusPolicy(Qt::NoFocus);
  for (const std::string& text : chooser.texts) texts_->addItem(L1(text));
  // Room for a few texts; more scroll.
  const int rows = std::clamp(texts_->count(), 1, 6);
  texts_->setFixedHeight(rows * texts_->fontMetrics().height() + 4 * texts_->frameWidth() + 6);
  inner->addWidget(texts_);
  outer->addWidget(group);
  QHBoxLayout* row = ButtonRow(outer);
  cancelScript_ = AddButton(row, L1(chooser.cancelScriptButton));
  cancelScan_ = AddButton(row, L1(chooser.cancelScanButton));
  connect(cancelScript_, &QPushButton::clicked, this, [this] { Choose(platform::ScanChoice::kCancelScript); });
  connect(cancelScan_, &QPushButton::clicked, this, [this] { Choose(platform::ScanChoice::kCancelScan); });
}

void CScanDialog::reject() { Choose(platform::ScanChoice::kCancelScript); }

void CScanDialog::Choose(platform::ScanChoice choice) {
  hide();
  if (auto done = std::exchange(done_, nullptr)) done(choice);
}

std::unique_ptr<platform::ModelessDialog> OpenAskForDialog(const platform::TextPrompt& prompt,
                                                           std::function<void(std::optional<std::string>)> done,
                                                           QWidget* parent) {
  auto* dialog = new CAskForDialog(prompt, std::move(done), parent);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return std::make_unique<CDialogHandle<CAskForDialog>>(dialog, true);
}

std::unique_ptr<platform::ModelessDialog> OpenScanDialog(const platform::ScanChooser& chooser,
                                                         std::function<void(platform::ScanChoice)> done,
                                                         QWidget* parent) {
  auto* dialog = new CScanDialog(chooser, std::move(done), parent);
  const dialogs::ScanWindow window = dialogs::ScanWindowFor(chooser.show);
  dialog->setAttribute(Qt::WA_ShowWithoutActivating, !window.activated);
  if (window.shown && window.minimized) {
    dialog->adjustSize();  // its size when the user restores it
    dialog->showMinimized();
  } else if (window.shown) {
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
  }
  return std::make_unique<CDialogHandle<CScanDialog>>(dialog, window.raisedWithSession);
}

}  // namespace corvina::qt
