// Every text the connect, session-setup, preferences and response-time
// dialogs show, as printf formats. Texts the store or the application show
// as well stay in their own tables.
#pragma once

namespace corvina::dialogs::texts {

inline constexpr char kProduct[] = "Corvina";

inline constexpr char kConnectTitle[] = "Connect to Host - %s";
inline constexpr char kSetupTitle[] = "Session Setup - %s";
inline constexpr char kSaveAsPrompt[] = "Save this item as:";
inline constexpr char kSaveChanges[] = "Save changes to %s?";
inline constexpr char kShowConnectAtStartup[] = "Show Connect Dialog at startup";

inline constexpr char kEnterHost[] = "Please enter a Host Name or IP address.";
inline constexpr char kEnterPort[] = "Please enter a port number between 1 and 65535.";
inline constexpr char kSelectTerminalType[] = "Please select a terminal type.";
inline constexpr char kSelectScreenSize[] = "Please select a screen size.";
inline constexpr char kEnterTelnetType[] = "Please enter a Telnet Terminal Type.";
inline constexpr char kBadSessionNumber[] = "Please enter a session number between 1 and %d.";
inline constexpr char kEnterFileName[] = "Please enter a file name.";
// The Printer page's typed entries: "file:PATH" or a printer the list shows.
inline constexpr char kPrintFileNotAbsolute[] = "Please enter the full path of the print file after \"file:\" (for example file:/tmp/screen.pdf).";
inline constexpr char kPrinterNotListed[] = "That printer is not installed. Please choose one from the list, or type file: and a file name.";
inline constexpr char kBadPrinterName[] = "Please enter a printer name without blanks, slashes or control characters.";
inline constexpr char kSelectKeyboardMap[] = "Please select a keyboard map";
inline constexpr char kCantDeleteDefaultMap[] = "Can't delete the default keyboard map";
inline constexpr char kCantDeleteDefaultToolbar[] = "Can't delete the default keypad toolbar";
inline constexpr char kSelectKeypadToolbar[] = "Please select a keypad toolbar";
inline constexpr char kCantRenameDefaultToolbar[] = "Can't rename the default keypad toolbar";
// Numbers the pages take that no message was given for: label, lowest, highest.
inline constexpr char kNumberRange[] = "Please enter a number between %d and %d for \"%s\".";
// Kind short name, rows, columns: the terminal-type list has no such row.
inline constexpr char kNoSuchSize[] = "The %s terminal has no %d x %d screen size.";

// Pages, in order.
inline constexpr const char* kPageNames[] = {"Host", "Terminal", "Colors", "Display", "Printer", "Keyboard", "Toolbars"};

// The response-time window.
inline constexpr char kResponseTitle[] = "Response Time - %s";
inline constexpr char kResponseLast[] = "Last:";
inline constexpr char kResponseAverage[] = "Average:";
inline constexpr char kResponseLongest[] = "Longest:";
inline constexpr char kResponseCount[] = "Responses:";
inline constexpr char kResponseSeconds[] = "%d s";
inline constexpr char kResponseTenOrMore[] = "10 s or more";
inline constexpr char kResponseNone[] = "--:--.-";

inline constexpr char kPreferencesTitle[] = "Preferences - %s";

// The page setup of the Printer page.
inline constexpr char kPageSetupTitle[] = "Page Setup - %s";  // the profile's name
inline constexpr char kMarginsInches[] = "Margins (inches)";
inline constexpr char kMarginsMillimeters[] = "Margins (millimeters)";
inline constexpr char kInvalidMargin[] = "Invalid margin entry.";
inline constexpr const char* kMarginLabels[] = {"&Left:", "&Top:", "&Right:", "&Bottom:"};
inline constexpr char kOrientation[] = "Orientation";
inline constexpr char kPortrait[] = "&Portrait";
inline constexpr char kLandscape[] = "L&andscape";
inline constexpr char kUnits[] = "Units";
inline constexpr char kInches[] = "&Inches";
inline constexpr char kMillimeters[] = "&Millimeters";
inline constexpr char kPageSetupButton[] = "Page Setup...";
inline constexpr char kBrowseButton[] = "Browse...";
inline constexpr char kChangeButton[] = "Change...";
inline constexpr char kCustomizeButton[] = "Customize...";
inline constexpr char kRenameButton[] = "Rename...";

// The pages' file dialogs, each with the product name after the title.
inline constexpr char kLogFileTitle[] = "Select Log File Name - %s";
inline constexpr char kClipboardFileTitle[] = "Select Clipboard File Name - %s";
inline constexpr char kPrinterFileTitle[] = "Select Printer File Name - %s";
inline constexpr char kLogFilter[] = "Log files (*.%s)|*.%s|All Files (*.*)|*.*||";
inline constexpr char kTextFilter[] = "Text files (*.txt)|*.txt|All Files (*.*)|*.*||";
inline constexpr char kPrinterFilter[] = "Text files (*.%s)|*.%s|All Files (*.*)|*.*||";
// The code-page chooser behind the Host page's "Browse...".
inline constexpr char kCodePageTitle[] = "Select Code Page - %s";
inline constexpr char kCodePagePrompt[] = "Code Page:";

// The toolbar customisation dialog.
inline constexpr char kCustomizeTitle[] = "Customize Toolbar - %s";
inline constexpr char kAvailableButtons[] = "Available buttons:";
inline constexpr char kToolbarButtons[] = "Toolbar buttons:";
inline constexpr char kAddButton[] = "&Add ->";
inline constexpr char kRemoveButton[] = "<- &Remove";
inline constexpr char kSeparatorButton[] = "&Separator";
inline constexpr char kMoveUpButton[] = "Move &Up";
inline constexpr char kMoveDownButton[] = "Move &Down";
inline constexpr char kLabelButton[] = "&Label...";
inline constexpr char kLabelPrompt[] = "Button label (empty for the function's own):";
inline constexpr char kResetButton[] = "R&eset";

}  // namespace corvina::dialogs::texts
