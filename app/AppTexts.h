// Every text the application shows, as printf formats.
#pragma once

namespace corvina::app::texts {

inline constexpr char kCaption[] = "Corvina";
inline constexpr char kCannotPrint[] = "Unable to print: %s";

// Session start refused.
inline constexpr char kAllSessionsInUse[] = "Can't start session %s - all sessions in use.";
inline constexpr char kSessionInUse[] = "Can't start session %s - session %d in use.";
inline constexpr char kTallisInUse[] = "WinHLLAPI session %c in use elsewhere";
inline constexpr char kBadSessionNumber[] = "Please enter a session number between 1 and %d.";
// Profile name, terminal short name: no engine emulates that kind yet.
inline constexpr char kNoEngine[] = "Can't start session %s - %s terminals are not available in this version.";

// Closing the program with sessions live.
inline constexpr char kSessionsStillActive[] = "There are still %d sessions active.\r\nAre you sure you want to exit?";

// Command-line host words.
inline constexpr char kEnterHost[] = "Please enter a Host Name or IP address.";
inline constexpr char kEnterPort[] = "Please enter a port number between 1 and 65535.";
// The command line, the data folder: neither a stored profile nor host words.
inline constexpr char kNotAProfileOrHost[] =
    "\"%s\" is neither a session profile in %s nor a host. Give a profile name, a host name with its domain, an IP "
    "address, or HOST:PORT.";
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
inline constexpr char kNoSuchDataFolder[] = "The data folder %s does not exist.";
inline constexpr char kDataFolderNotCreated[] = "The data folder %s cannot be created: %s";
inline constexpr char kDataFolderUnusable[] = "The data folder %s cannot be used: %s";

// The DDE server could not start (the cause); the program runs on.
inline constexpr char kDdeFailed[] = "DDE initialization failed (%s)";

// The network utilities library could not be loaded (the cause).
inline constexpr char kNetUtilitiesMissing[] =
    "The network utilities are not available (%s): the Internet menu is not shown.";
inline constexpr char kNetUtilitiesNoEntry[] = "the library has no entry point %s";

}  // namespace corvina::app::texts
