// The seam between the network utilities library and the program that
// loads it. The library describes each tool's dialog (title, fields,
// buttons) and drives it; the program draws it with its toolkit and reports
// button presses. Both sides are built from this tree with one compiler, so
// the interfaces are C++; the library's entry points are C.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvina::platform {
class EventLoop;
class UserInterface;
}  // namespace corvina::platform

namespace corvina::app {

enum class ToolFieldKind {
  Text,
  Password,  // shown as dots
  Number,    // a spin box from minimum to maximum
  Check,     // a check box: text "1" or "0"
};

struct ToolField {
  int id = 0;
  ToolFieldKind kind = ToolFieldKind::Text;
  std::string label;  // before the field; for a check box its caption
  std::string after;  // a label after the field ("minutes.")
  std::string text;   // initial text
  long minimum = 0, maximum = 0;
};

struct ToolButton {
  int id = 0;
  std::string label;  // '&' marks the mnemonic
  bool enabled = true;
};

// One tool's dialog: the fields top to bottom, the buttons, then a
// read-only multi-line output area. A Help button opens the help topic.
struct ToolForm {
  std::string title;
  int helpTopic = 0;
  std::vector<ToolField> fields;
  std::vector<ToolButton> buttons;
};

// A dialog the program shows; it belongs to the program.
class ToolWindow {
 public:
  virtual ~ToolWindow() = default;
  // UTF-8; a check box gives "1" or "0".
  virtual std::string Text(int field) const = 0;
  virtual void SetText(int field, const std::string& text) = 0;
  virtual void EnableButton(int button, bool on) = 0;
  virtual void Focus(int field) = 0;
  // The output area: UTF-8 with CR LF line ends, appended at the end.
  virtual void AppendOutput(std::string_view text) = 0;
  virtual void ClearOutput() = 0;
  // Restores a minimised dialog, otherwise gives it the focus.
  virtual void Raise() = 0;
  // Closes the dialog as its close box does.
  virtual void Close() = 0;
};

// What the library hears from a dialog.
class ToolWindowEvents {
 public:
  virtual ~ToolWindowEvents() = default;
  // The dialog exists (before Show returns); its fields hold the form's
  // texts.
  virtual void Opened(ToolWindow& window) = 0;
  virtual void Pressed(int button) = 0;
  // The dialog is going: the last call, with the window still whole.
  virtual void Closed() = 0;
};

// The loading program, as the library's entry points receive it through
// their owner parameter.
class ToolHost {
 public:
  virtual ~ToolHost() = default;
  virtual platform::EventLoop& Loop() = 0;
  // Message boxes, owned by the tool's dialog where the toolkit can.
  virtual platform::UserInterface& Ui() = 0;
  // The library's settings file (Orvex/Sondra.ini).
  virtual std::string SettingsFile() const = 0;
  // Shows the dialog. Modeless: returns 1 once Opened was called. Modal:
  // returns the dialog's result after Closed.
  virtual int Show(const ToolForm& form, ToolWindowEvents& events, bool modal) = 0;
};

}  // namespace corvina::app
