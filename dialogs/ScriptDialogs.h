// How a script's scan dialog shows itself, without a toolkit.
#pragma once

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

}  // namespace corvina::dialogs
