// Every text corvina-term shows of its own, as printf formats (UTF-8).
#pragma once

namespace corvina::term::texts {

// Start-up.
inline constexpr char kNoTerminal[] = "A terminal is needed on standard input and output (corvina-cli runs without one)";
inline constexpr char kUnknownTerminalType[] = "The terminal type \"%s\" is unknown";

// The status line: a session's tab, no session yet (the command key), the
// scroll-back view, the part of a large screen shown, the command key.
inline constexpr char kTab[] = " %d:%s ";
inline constexpr char kNoSession[] = " No session: %s then connect HOST:PORT";
inline constexpr char kHistory[] = " History: %d of %d lines back ";
inline constexpr char kScreenPart[] = " Screen %dx%d: rows %d-%d, columns %d-%d ";
inline constexpr char kCommandKey[] = " %s: commands ";
inline constexpr char kPrompt[] = "Command: ";

// Pages over the screen.
inline constexpr char kPageClose[] = "%s  (any key closes this page)";
inline constexpr char kHelpTitle[] = "Commands (after %s)";
inline constexpr char kMessagesTitle[] = "Messages";
inline constexpr char kNoMessages[] = "No messages.";

// Commands and menu functions.
inline constexpr char kPasteHint[] = "The terminal did not give its clipboard: paste with the terminal's own paste key.";
inline constexpr char kCopied[] = "Copied %d x %d cells to the terminal's clipboard";
inline constexpr char kScreenWritten[] = "The screen is written to %s";
inline constexpr char kCannotWrite[] = "Cannot write %s: %s";
inline constexpr char kNoSessionShown[] = "No session is shown: connect first";
inline constexpr char kNoSuchSession[] = "There is no session %d";
inline constexpr char kUnknownKeyFunction[] = "Unknown key function \"%s\" (corvina-cli --list-keys lists them)";
// The transfer command: progress, the end, cancelling.
inline constexpr char kTransferStatus[] = "%d: %s";
inline constexpr char kTransferEnded[] = "Session %d: %s";
inline constexpr char kTransferComplete[] = "the file transfer is complete";
inline constexpr char kNoTransferRunning[] = "No file transfer runs on session %d";
inline constexpr char kTransferCancelling[] =
    "Session %d: the host is asked to stop the transfer (cancel again ends it at once)";

// The command line's mistakes.
inline constexpr char kNotClear[] = "\"%s\" is not clear: type more of the command (help lists them)";
inline constexpr char kUnknownCommand[] = "Unknown command \"%s\" (help lists the commands)";
inline constexpr char kNeeds[] = "The command %s needs %s";
inline constexpr char kNeedsConnect[] = "a profile name or a host (HOST:PORT)";
inline constexpr char kNeedsSwitch[] = "a session number, next or previous";
inline constexpr char kNeedsScript[] = "a script file";
inline constexpr char kNeedsMacro[] = "a macro name";
inline constexpr char kNeedsKey[] = "a key function name (Reset, PA1, SysReq, ...)";
inline constexpr char kNeedsTransfer[] =
    "send PCFILE HOSTFILE [WORDS], receive HOSTFILE PCFILE [WORDS] or cancel";
inline constexpr char kWhichSession[] = "Switch to which session? Give its number, next or previous";
inline constexpr char kConnectOptionsOnly[] =
    "Only session options can come with connect (-p, -t, --size, --lu, --tls, --reconnect, --keepalive)";

}  // namespace corvina::term::texts
