// The decisions of a script's ask-for and scan dialogs, without a toolkit:
// how a scan dialog shows itself, and what Clipboard Paste puts into the
// ask-for entry.
#pragma once

#include <string_view>

#include "platform/UserInterface.h"

namespace corvina::dialogs {

struct ScanWindow {
  bool shown = true;      // on the screen at all
  bool minimized = false;
  bool activated = true;  // takes the focus when it opens
  // Comes to the front when its session is shown again: only a dialog the
  // script did not ask to keep out of the way.
  bool raisedWithSession = true;
};
ScanWindow ScanWindowFor(platform::ScanChooser::Show show);

// The entry holds one line: the clipboard's text up to its first line end.
std::string_view PasteLine(std::string_view clipboard);

}  // namespace corvina::dialogs
