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
inline constexpr char kSelectKeyboardMap[] = "Please select a keyboard map";
inline constexpr char kCantDeleteDefaultMap[] = "Can't delete the default keyboard map";
inline constexpr char kCantDeleteDefaultToolbar[] = "Can't delete the default keypad toolbar";
inline constexpr char kSelectKeypadToolbar[] = "Please select a keypad toolbar";
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

}  // namespace corvina::dialogs::texts
