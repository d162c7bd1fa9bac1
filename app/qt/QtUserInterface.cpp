#include "app/qt/QtUserInterface.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <vector>

#include "app/qt/QtEventLoop.h"
#include "app/qt/ScriptDialogs.h"
#include "app/qt/WidgetText.h"

namespace corvina::qt {

using platform::Answer;
using platform::Buttons;

namespace {

struct ButtonOf {
  Answer answer;
  QMessageBox::StandardButton button;
};

constexpr ButtonOf kButtons[] = {
    {Answer::Ok, QMessageBox::Ok},       {Answer::Cancel, QMessageBox::Cancel}, {Answer::Abort, QMessageBox::Abort},
    {Answer::Retry, QMessageBox::Retry}, {Answer::Ignore, QMessageBox::Ignore}, {Answer::Yes, QMessageBox::Yes},
    {Answer::No, QMessageBox::No},
};

std::vector<Answer> AnswersOf(Buttons b) {
  switch (b) {
    case Buttons::Ok: return {Answer::Ok};
    case Buttons::OkCancel: return {Answer::Ok, Answer::Cancel};
    case Buttons::YesNo: return {Answer::Yes, Answer::No};
    case Buttons::YesNoCancel: return {Answer::Yes, Answer::No, Answer::Cancel};
    case Buttons::RetryCancel: return {Answer::Retry, Answer::Cancel};
    case Buttons::AbortRetryIgnore: return {Answer::Abort, Answer::Retry, Answer::Ignore};
  }
  return {Answer::Ok};
}

QMessageBox::StandardButton ButtonFor(Answer a) {
  for (const ButtonOf& b : kButtons)
    if (b.answer == a) return b.button;
  return QMessageBox::Ok;
}

// The core's texts are Latin-1 with CR LF line ends.
QString FromCore(const std::string& latin1) {
  QString s = QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()));
  s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return s;
}

QMessageBox::Icon IconFor(platform::Icon icon) {
  switch (icon) {
    case platform::Icon::Error: return QMessageBox::Critical;
    case platform::Icon::Warning: return QMessageBox::Warning;
    case platform::Icon::Information: return QMessageBox::Information;
    case platform::Icon::Question: return QMessageBox::Question;
    case platform::Icon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

Answer QtUserInterface::ShowMessageBox(const std::string& text, const std::string& caption, Buttons buttons,
                                       Answer defaultButton, platform::Icon icon) {
  const std::vector<Answer> answers = AnswersOf(buttons);
  QMessageBox box(IconFor(icon), FromCore(caption), FromCore(text), QMessageBox::NoButton, parent_);
  for (Answer a : answers) box.addButton(ButtonFor(a));
  bool offered = false;
  for (Answer a : answers) offered = offered || a == defaultButton;
  const Answer def = offered ? defaultButton : answers.front();
  box.setDefaultButton(ButtonFor(def));
  // Closing the box with Esc or its title bar answers Cancel where it is
  // offered, else the default.
  bool hasCancel = false;
  for (Answer a : answers) hasCancel = hasCancel || a == Answer::Cancel;
  box.setEscapeButton(ButtonFor(hasCancel ? Answer::Cancel : def));
  if (parent_) box.setWindowModality(Qt::WindowModal);
  int result = 0;
  {
    LoopHold hold(loop_);
    result = box.exec();
  }
  for (const ButtonOf& b : kButtons)
    if (b.button == result) return b.answer;
  return def;
}

void QtUserInterface::Beep(platform::BeepKind) {
  ++beeps_;
  QApplication::beep();
}

void QtUserInterface::SetStatusText(const std::string& text) {
  if (showStatus) showStatus(text);
}

bool QtUserInterface::OpenUrl(const std::string& url) {
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

std::unique_ptr<platform::ModelessDialog> QtUserInterface::OpenTextPrompt(
    const platform::TextPrompt& prompt, std::function<void(std::optional<std::string>)> done) {
  return OpenAskForDialog(prompt, std::move(done), parent_);
}

std::unique_ptr<platform::ModelessDialog> QtUserInterface::OpenScanChooser(
    const platform::ScanChooser& chooser, std::function<void(platform::ScanChoice)> done) {
  return OpenScanDialog(chooser, std::move(done), parent_);
}

namespace {

// Closed with the handle; deleteLater, because the last owner of a job
// (and so of this handle) may let it go on another thread.
class CPrintProgressHandle final : public platform::ModelessDialog {
 public:
  explicit CPrintProgressHandle(QDialog* dialog) : dialog_(dialog) {}
  ~CPrintProgressHandle() override {
    if (dialog_) dialog_->deleteLater();
  }
  void BringToFront() override {
    if (!dialog_) return;
    dialog_->raise();
    dialog_->activateWindow();
  }

 private:
  QPointer<QDialog> dialog_;
};

}  // namespace

std::unique_ptr<platform::ModelessDialog> QtUserInterface::OpenPrintProgress(const platform::PrintProgress& progress,
                                                                            std::function<void()> cancel) {
  auto* dialog = new QDialog(parent_);
  dialog->setObjectName(QStringLiteral("printProgress"));
  dialog->setWindowTitle(FromCore(progress.caption));
  dialog->setModal(false);
  dialog->setMinimumWidth(320);
  auto* layout = new QVBoxLayout(dialog);
  auto* text = new QLabel(FromCore(progress.text));
  text->setObjectName(QStringLiteral("printProgressText"));
  layout->addWidget(text);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  QPushButton* stop = AddButton(buttons, FromCore(progress.cancelButton));
  stop->setObjectName(QStringLiteral("printProgressCancel"));
  layout->addLayout(buttons);
  // Cancel asks once; the dialog stays until the job has stopped.
  QObject::connect(stop, &QPushButton::clicked, dialog, [stop, cancel = std::move(cancel)] {
    stop->setEnabled(false);
    if (cancel) cancel();
  });
  // Closing the window cancels too, and leaves the owner's handle to it.
  QObject::connect(dialog, &QDialog::rejected, stop, [stop] {
    if (stop->isEnabled()) stop->click();
  });
  dialog->show();
  return std::make_unique<CPrintProgressHandle>(dialog);
}

}  // namespace corvina::qt
