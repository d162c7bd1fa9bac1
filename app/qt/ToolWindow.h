// The network utilities' dialogs drawn with Qt: the library describes each
// form (fields, buttons, an output area) through app/ToolDialogs.h and
// drives it; this draws it and reports the buttons.
#pragma once

#include <string>

#include "app/ToolDialogs.h"

class QWidget;

namespace corvina::qt {

class QtEventLoop;
class QtUserInterface;

class QtToolHost final : public app::ToolHost {
 public:
  QtToolHost(QtUserInterface& ui, std::string settingsFile, QWidget* parent)
      : ui_(ui), settingsFile_(std::move(settingsFile)), parent_(parent) {}

  platform::EventLoop& Loop() override;
  platform::UserInterface& Ui() override;
  std::string SettingsFile() const override { return settingsFile_; }
  int Show(const app::ToolForm& form, app::ToolWindowEvents& events, bool modal) override;

 private:
  QtUserInterface& ui_;
  std::string settingsFile_;
  QWidget* parent_;
};

}  // namespace corvina::qt
