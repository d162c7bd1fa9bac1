// The core's message boxes, beeps and status text as Qt dialogs, and a
// script's modeless ask-for and scan dialogs. A box runs a nested Qt loop,
// so the event loop is held meanwhile: no socket, timer or posted task of
// the core runs under the frame of the callback that asked, and nothing it
// closed is deleted before that callback has returned.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/UserInterface.h"

class QWidget;

namespace corvina::qt {

class QtEventLoop;

class QtUserInterface final : public platform::UserInterface {
 public:
  explicit QtUserInterface(QtEventLoop& loop) : loop_(loop) {}
  // The window the boxes belong to (window-modal on it); null: none yet.
  void SetParent(QWidget* parent) { parent_ = parent; }
  QtEventLoop& Loop() { return loop_; }
  // Where status texts go (the frame's status bar).
  std::function<void(const std::string& latin1)> showStatus;

  void Beep(platform::BeepKind kind) override;
  int BeepCount() const { return beeps_; }
  void SetStatusText(const std::string& text) override;
  bool OpenUrl(const std::string& url) override;
  // Modeless: shown on the frame and answered from the loop.
  std::unique_ptr<platform::ModelessDialog> OpenTextPrompt(
      const platform::TextPrompt& prompt, std::function<void(std::optional<std::string>)> done) override;
  std::unique_ptr<platform::ModelessDialog> OpenScanChooser(const platform::ScanChooser& chooser,
                                                            std::function<void(platform::ScanChoice)> done) override;
  // A small window beside the frame; it never holds the event loop.
  std::unique_ptr<platform::ModelessDialog> OpenPrintProgress(const platform::PrintProgress& progress,
                                                              std::function<void()> cancel) override;

 protected:
  platform::Answer ShowMessageBox(const std::string& text, const std::string& caption, platform::Buttons buttons,
                                  platform::Answer defaultButton, platform::Icon icon) override;

 private:
  QtEventLoop& loop_;
  QWidget* parent_ = nullptr;
  int beeps_ = 0;
};

}  // namespace corvina::qt
