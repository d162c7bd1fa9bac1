#include "dialogs/ScriptDialogs.h"

namespace corvina::dialogs {

ScanWindow ScanWindowFor(platform::ScanChooser::Show show) {
  switch (show) {
    case platform::ScanChooser::Show::kMinimized: return {true, true, false, false};
    case platform::ScanChooser::Show::kHidden: return {false, false, false, false};
    case platform::ScanChooser::Show::kNormal: break;
  }
  return {};
}

}  // namespace corvina::dialogs
