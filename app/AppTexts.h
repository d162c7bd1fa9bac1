// Every text the application shows, as printf formats.
#pragma once

namespace corvina::app::texts {

inline constexpr char kCaption[] = "Corvina";

// Session start refused.
inline constexpr char kAllSessionsInUse[] = "Can't start session %s - all sessions in use.";
inline constexpr char kSessionInUse[] = "Can't start session %s - session %d in use.";
inline constexpr char kTallisInUse[] = "WinHLLAPI session %c in use elsewhere";
inline constexpr char kBadSessionNumber[] = "Please enter a session number between 1 and %d.";

// Closing the program with sessions live.
inline constexpr char kSessionsStillActive[] = "There are still %d sessions active.\r\nAre you sure you want to exit?";

// Command-line host words.
inline constexpr char kEnterHost[] = "Please enter a Host Name or IP address.";
inline constexpr char kEnterPort[] = "Please enter a port number between 1 and 65535.";
// A corvina-cli terminal option the terminal-type list cannot take.
inline constexpr char kNoSuchScreenSize[] = "The terminal %s has no %dx%d screen size.";
// Profile name made from the host and port of a command line.
inline constexpr char kHostProfileName[] = "%s:%d";

// Scripts are not built in yet.
inline constexpr char kScriptsUnavailable[] = "Scripts are not available in this version: the script %s was not run.";

// Start-up.
inline constexpr char kTooManyInstances[] = "Corvina is already running (%d copies), and MaxInstances is %ld: this copy ends.";
inline constexpr char kRuntimeFolderUnusable[] =
    "The runtime folder %s cannot be used (%s); this copy is not counted against MaxInstances.";
inline constexpr char kDataFolderUnusable[] = "The data folder %s cannot be created: %s";

// Causes for kRuntimeFolderUnusable.
inline constexpr char kNotAFolder[] = "it is not a folder";
inline constexpr char kSymbolicLink[] = "it is a symbolic link";
inline constexpr char kOtherOwner[] = "another user owns it";
inline constexpr char kOpenToOthers[] = "other users may use it, mode %04o";

}  // namespace corvina::app::texts
