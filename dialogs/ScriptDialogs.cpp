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

std::string_view PasteLine(std::string_view clipboard) {
  return clipboard.substr(0, clipboard.find_first_of("\r\n"));
}

}  // namespace corvina::dialogs
