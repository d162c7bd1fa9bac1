// Bits of the Preferences word (section "Configuration", key "Preferences").
#pragma once

namespace corvina::app {

enum : unsigned {
  kPrefConnectDialogAtStartup = 0x01,
  kPrefExitWithLastSession = 0x02,
  kPrefWarnWhenHostCloses = 0x04,
  kPrefConfirmSessionClose = 0x08,
  kPrefConfirmExitWithSessions = 0x10,
  kPrefFullScreenInstructions = 0x20,
  kPrefHonorSessionToolbars = 0x40,
  kPrefMainMenuBar = 0x80,
  kPrefAlwaysOnTop = 0x100,
};

}  // namespace corvina::app
