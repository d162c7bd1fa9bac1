// Every text the application shows, as printf formats.
#pragma once

namespace corvina::app::texts {

inline constexpr char kCaption[] = "Corvina";
inline constexpr char kCannotPrint[] = "Unable to print: %s";
// The abort dialog while a print job prints, and cancelling from the menu.
inline constexpr char kPrintingCaption[] = "Printing";
inline constexpr char kPrintingDocument[] = "Printing %s...";
inline constexpr char kCancelPrinting[] = "Cancel";
inline constexpr char kPrintJobsCancelled[] = "Print jobs cancelled: %d";
inline constexpr char kNoPrintJobs[] = "No print job is waiting or printing";

// Session start refused.
inline constexpr char kAllSessionsInUse[] = "Can't start session %s - all sessions in use.";
inline constexpr char kSessionInUse[] = "Can't start session %s - session %d in use.";
inline constexpr char kTallisInUse[] = "WinHLLAPI session %c in use elsewhere";
// The letter, the cause: the session runs without HLLAPI access.
inline constexpr char kTallisNotServed[] = "WinHLLAPI session %c is not served: %s";
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
// --open: a file from elsewhere is never run as a script.
inline constexpr char kNotAStoredSession[] =
    "%s names no session profile stored in %s, so it is not opened. Copy it into that folder to use it.";
// A corvina-cli terminal option the terminal-type list cannot take.
inline constexpr char kNoSuchScreenSize[] = "The terminal %s has no %dx%d screen size.";
// Profile name made from the host and port of a command line.
inline constexpr char kHostProfileName[] = "%s:%d";

// A table without a script runner (tests).
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
inline constexpr char kHllapiFailed[] = "WinHLLAPI initialization failed (%s)";

// The network utilities library could not be loaded (the cause).
inline constexpr char kNetUtilitiesMissing[] =
    "The network utilities are not available (%s): the Internet menu is not shown.";
inline constexpr char kNetUtilitiesNoEntry[] = "the library has no entry point %s";

}  // namespace corvina::app::texts

namespace corvina::app::texts {

// Clipboard commands.
inline constexpr char kClipboardOpen[] = "Unable to open the Clipboard";
inline constexpr char kClipboardEmpty[] = "Unable to empty the Clipboard";
inline constexpr char kClipboardMemory[] = "Unable to get Clipboard memory";
inline constexpr char kClipboardLock[] = "Unable to lock Clipboard memory";
inline constexpr char kClipboardSet[] = "Unable to set Clipboard data";
inline constexpr char kClipboardSaveAsSuffix[] = " Clipboard data.txt";
inline constexpr char kClipboardFilter[] = "Text files (*.txt)|*.txt|All Files (*.*)|*.*||";
inline constexpr char kCantWriteFile[] = "Can't write to file %s.";
inline constexpr char kFileExistsAppend[] = "File %s already exists.\nDo you want to append to it?";
inline constexpr char kClipboardTitle[] = "Select Clipboard File Name - ";  // and the caption
// The file and the system's reason: opened, but the write failed.
inline constexpr char kWriteFailed[] = "Can't write to file %s: %s";

inline constexpr char kNotRegularFile[] = "not a regular file";  // a cause

// Run Script.
inline constexpr char kScriptFileTitle[] = "Select Script File Name - ";  // and the caption
inline constexpr char kScriptFilter[] = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
inline constexpr char kScriptExtensionFilter[] = "Script Files (*.%s)|*.%s|";  // before the text files
inline constexpr char kScriptDefaultName[] = "*.txt";
inline constexpr char kRunScriptMenu[] = "&Run Script...";
inline constexpr char kCancelScriptMenu[] = "Cance&l Script...";

// Save and Save As of the screen image.
inline constexpr char kSaveScreenTitle[] = "Select Log File Name - ";  // and the caption
inline constexpr char kLogFilter[] = "Log files (*.%s)|*.%s|All Files (*.*)|*.*||";
inline constexpr char kSaveScreenDefaultName[] = "Session%d.%s";  // session number, log extension
// Save As (or Save without a file) where no file chooser can be shown.
inline constexpr char kNoFileChooser[] =
    "Nothing was saved: no file can be chosen here. Set the session's log file, or give one (corvina-cli "
    "--save-screen FILE).";

}  // namespace corvina::app::texts

namespace corvina::app::texts {

// The frame and the terminal view.
inline constexpr char kFrameTitle[] = "%s - %s";  // session title, caption
inline constexpr char kSessionMenuItem[] = "&%d %s";
inline constexpr char kSessionMenuItemHigh[] = "%d %s";  // session numbers above 9
inline constexpr char kSessionInactive[] = "Session %d (inactive)";
inline constexpr char kFullScreenTitle[] = "Full Screen Mode - %s";
inline constexpr char kFullScreenText[] =
    "To return to normal window mode, activate the pop-up menu by pressing the Alt+SpaceBar key, then select "
    "\"View, Full Screen\" again.\r\n\r\nFull screen mode removes the window frame, toolbar and status bar, adds the "
    "Operator Information Area (OIA) and maximizes the terminal window.\r\n\r\nYou may continue to use your session "
    "settings for the toolbar, status bar and OIA by selecting that option below.";
inline constexpr char kFullScreenReminder[] = "Show this reminder next time";
// Status-bar placeholders before a session shows its own.
inline constexpr char kPaneLockPlaceholder[] = "SCROLLBACK";
inline constexpr char kPaneResponsePlaceholder[] = "00:00.000";
inline constexpr char kPaneCursorPlaceholder[] = "000,00";
inline constexpr char kPaneModePlaceholder[] = "IBM-3278-2-E";
// Terminal mode pane.
inline constexpr char kModeAnsi[] = "ANSI";
inline constexpr char kModeNvt[] = "NVT";
inline constexpr char kModeSscpLu[] = "SSCP-LU";

}  // namespace corvina::app::texts
