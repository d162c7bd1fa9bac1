// What the core asks of a user interface: message boxes, beeps, status text.
// The desktop program shows dialogs; headless programs print and answer the
// default; tests record.
#pragma once

#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvina::platform {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

// Values of the classic dialog answer codes, which scripts and files rely on.
enum class Answer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

enum class Icon { None, Error, Warning, Information, Question };

enum class BeepKind { Default, Error, Exclamation, Information, Question };

const char* AnswerName(Answer a);

// A dialog that stays open while the program runs on (a script's ask-for
// and scan dialogs). Destroying the handle closes it without calling back.
class ModelessDialog {
 public:
  virtual ~ModelessDialog() = default;
  virtual void BringToFront() {}
};

// A line of text asked for: the caption, a group title around the prompt and
// the entry box, the text the box starts with, and whether the entry is
// masked.
struct TextPrompt {
  std::string caption, group, prompt, initial;
  bool password = false;
  std::string pasteButton;  // the button that pastes the clipboard; empty: none
};

// What a scan dialog lists while a script waits for host text, and how it
// shows itself.
struct ScanChooser {
  enum class Show { kNormal, kMinimized, kHidden };
  std::string caption, group;
  std::vector<std::string> texts;
  std::string cancelScriptButton, cancelScanButton;
  Show show = Show::kNormal;
};
enum class ScanChoice { kCancelScript, kCancelScan };

// The dialog shown while a print job prints: its caption, what it prints,
// and the button that cancels it.
struct PrintProgress {
  std::string caption, text, cancelButton;
};

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
  // Modeless dialogs: `done` is called once, perhaps before the call returns,
  // with the text (nullopt on Cancel) or the button chosen; never after the
  // handle is destroyed. Null when the dialog could not be shown (`done` has
  // then been called with Cancel).
  virtual std::unique_ptr<ModelessDialog> OpenTextPrompt(const TextPrompt& prompt,
                                                         std::function<void(std::optional<std::string>)> done);
  virtual std::unique_ptr<ModelessDialog> OpenScanChooser(const ScanChooser& chooser,
                                                          std::function<void(ScanChoice)> done);
  // The abort dialog of a print job: `cancel` is called when the user asks
  // (at most once); the owner destroys the handle when the job has ended.
  // Null where no such dialog can be shown.
  virtual std::unique_ptr<ModelessDialog> OpenPrintProgress(const PrintProgress&, std::function<void()> /*cancel*/) {
    return nullptr;
  }

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
  // The answers to text prompts, in order; a prompt with none left is
  // cancelled.
  void QueueText(std::string text) { texts_.push_back(std::move(text)); }

  // Printed as "[caption] group: prompt -> text" (a password as stars).
  std::unique_ptr<ModelessDialog> OpenTextPrompt(const TextPrompt& prompt,
                                                 std::function<void(std::optional<std::string>)> done) override;
  // Printed once; nothing is ever chosen: the wait ends from elsewhere.
  std::unique_ptr<ModelessDialog> OpenScanChooser(const ScanChooser& chooser,
                                                  std::function<void(ScanChoice)> done) override;

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
  std::deque<std::string> texts_;
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
  // Open dialogs; a test answers them by calling `done`. A dialog whose
  // handle is gone has open == false.
  struct OpenDialog {
    TextPrompt prompt;  // text prompts
    ScanChooser chooser;  // scan choosers
    std::function<void(std::optional<std::string>)> answer;
    std::function<void(ScanChoice)> choose;
    std::shared_ptr<bool> open;
  };
  std::vector<OpenDialog> prompts, scans;
  struct OpenProgress {
    PrintProgress progress;
    std::function<void()> cancel;
    std::shared_ptr<bool> open;
  };
  std::vector<OpenProgress> printing;

  std::unique_ptr<ModelessDialog> OpenTextPrompt(const TextPrompt& prompt,
                                                 std::function<void(std::optional<std::string>)> done) override;
  std::unique_ptr<ModelessDialog> OpenScanChooser(const ScanChooser& chooser,
                                                  std::function<void(ScanChoice)> done) override;
  std::unique_ptr<ModelessDialog> OpenPrintProgress(const PrintProgress& progress,
                                                    std::function<void()> cancel) override;

  void Beep(BeepKind kind) override { beeps.push_back(kind); }
  void SetStatusText(const std::string& text) override { statuses.push_back(text); }

 protected:
  Answer ShowMessageBox(const std::string& text, const std::string& caption, Buttons buttons,
                        Answer defaultButton, Icon icon) override;
};

}  // namespace corvina::platform
