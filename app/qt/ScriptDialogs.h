// A script's modeless dialogs: the ask-for dialog (a prompt and a line of
// entry, masked for passwords) and the scan dialog shown while waitfor
// waits. Each answers once through its callback and never after the
// core's handle is gone; the handle closes it on a later turn of the loop,
// never inside one of its own signals. The session and the script's other
// events keep running while they are open.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/UserInterface.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace corvina::qt {

class CAskForDialog final : public QDialog {
  Q_OBJECT

 public:
  CAskForDialog(const platform::TextPrompt& prompt, std::function<void(std::optional<std::string>)> done,
                QWidget* parent);
  QLineEdit* Entry() const { return entry_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* PasteButton() const { return paste_; }
  QPushButton* CancelButton() const { return cancel_; }
  // The handle is gone: no answer any more.
  void Disarm() { done_ = nullptr; }
  void reject() override;  // Esc and the title bar cancel

 private:
  void Answer(std::optional<std::string> text);
  void Paste();

  std::function<void(std::optional<std::string>)> done_;
  QLineEdit* entry_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* paste_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

class CScanDialog final : public QDialog {
  Q_OBJECT

 public:
  CScanDialog(const platform::ScanChooser& chooser, std::function<void(platform::ScanChoice)> done, QWidget* parent);
  QListWidget* Texts() const { return texts_; }
  QPushButton* CancelScriptButton() const { return cancelScript_; }
  QPushButton* CancelScanButton() const { return cancelScan_; }
  void Disarm() { done_ = nullptr; }
  // Esc and the title bar end the script: nothing more is sent to a host
  // whose screen never came.
  void reject() override;

 private:
  void Choose(platform::ScanChoice choice);

  std::function<void(platform::ScanChoice)> done_;
  QListWidget* texts_ = nullptr;
  QPushButton* cancelScript_ = nullptr;
  QPushButton* cancelScan_ = nullptr;
};

std::unique_ptr<platform::ModelessDialog> OpenAskForDialog(const platform::TextPrompt& prompt,
                                                           std::function<void(std::optional<std::string>)> done,
                                                           QWidget* parent);
std::unique_ptr<platform::ModelessDialog> OpenScanDialog(const platform::ScanChooser& chooser,
                                                         std::function<void(platform::ScanChoice)> done,
                                                         QWidget* parent);

}  // namespace corvina::qt
