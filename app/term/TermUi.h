// What the core asks of the user, in a text terminal: boxes never wait (the
// UI thread must keep serving the sessions) but are shown on the status line
// and kept for the messages command; beeps ring the terminal's bell.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "platform/UserInterface.h"

namespace corvina::term {

class CTermUi final : public platform::UserInterface {
 public:
  static constexpr std::size_t kKeptMessages = 100;

  // Called after anything shown changed, and for each beep.
  std::function<void()> onChange;
  std::function<void()> onBeep;

  void Beep(platform::BeepKind) override {
    if (onBeep) onBeep();
  }
  void SetStatusText(const std::string& text) override;
  const std::string& StatusText() const { return status_; }
  // The newest box not acknowledged yet (UTF-8), empty when none.
  const std::string& Message() const { return message_; }
  void AcknowledgeMessage() { message_.clear(); }
  // Every box of this run, oldest first (UTF-8).
  const std::deque<std::string>& Messages() const { return messages_; }
  // Shows a message of the front end itself (UTF-8).
  void Tell(const std::string& text);

 protected:
  platform::Answer ShowMessageBox(const std::string& text, const std::string& caption, platform::Buttons buttons,
                                  platform::Answer defaultButton, platform::Icon icon) override;

 private:
  std::string status_, message_;
  std::deque<std::string> messages_;
};

}  // namespace corvina::term
