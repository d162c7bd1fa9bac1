// What the core asks of a user interface: message boxes, beeps, status text.
// The desktop program shows dialogs; headless programs print and answer the
// default; tests record.
#pragma once

#include <deque>
#include <iosfwd>
#include <string>
#include <vector>

namespace corvina::platform {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

// Values of the classic dialog answer codes, which scripts and files rely on.
enum class Answer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

enum class Icon { None, Error, Warning, Information, Question };

enum class BeepKind { Default, Error, Exclamation, Information, Question };

const char* AnswerName(Answer a);

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Never blocks a headless program; the desktop runs a modal dialog.
  Answer MessageBox(const std::string& text, const std::string& caption, Buttons buttons,
                    Answer defaultButton, Icon icon = Icon::None) {
    return ShowMessageBox(text, caption, buttons, defaultButton, icon);
  }
  virtual void Beep(BeepKind kind) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  // Opens the address in the default web browser; false when none could be
  // started (a headless program has none).
  virtual bool OpenUrl(const std::string& /*url*/) { return false; }

 protected:
  virtual Answer ShowMessageBox(const std::string& text, const std::string& caption,
                                Buttons buttons, Answer defaultButton, Icon icon) = 0;
};

// Prints each box as "[caption] text -> answer" (the core's Latin-1 texts as
// UTF-8) and answers the default, or the next queued answer (given on a
// command line, say) when the box offers that button; a queued answer the
// box does not offer waits for a box that does. A box with only OK is no
// question: it takes OK and leaves the queue alone.
class HeadlessUserInterface final : public UserInterface {
 public:
  explicit HeadlessUserInterface(std::ostream& boxes, std::ostream* status = nullptr)
      : boxes_(boxes), status_(status) {}
  void QueueAnswer(Answer a) { queued_.push_back(a); }

  void Beep(BeepKind) override {}
  void SetStatusText(const std::string& text) override;

 protected:
  Answer ShowMessageBox(const std::string& text, const std::string& caption, Buttons buttons,
                        Answer defaultButton, Icon icon) override;

 private:
  std::ostream& boxes_;
  std::ostream* status_;
  std::string lastStatus_;
  std::deque<Answer> queued_;
};

// Records everything for tests; answers like the headless one.
class RecordingUserInterface final : public UserInterface {
 public:
  struct Box {
    std::string text, caption;
    Buttons buttons;
    Answer answer;
  };
  std::vector<Box> boxes;
  std::vector<BeepKind> beeps;
  std::vector<std::string> statuses;
  std::deque<Answer> queued;

  void Beep(BeepKind kind) override { beeps.push_back(kind); }
  void SetStatusText(const std::string& text) override { statuses.push_back(text); }

 protected:
  Answer ShowMessageBox(const std::string& text, const std::string& caption, Buttons buttons,
                        Answer defaultButton, Icon icon) override;
};

}  // namespace corvina::platform
