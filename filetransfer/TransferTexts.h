// Every text the file transfer shows, as printf formats.
#pragma once

namespace corvina::transfer_texts {

inline constexpr char kProduct[] = "Corvina";

// Starting.
inline constexpr char kReplaceQuestion[] = "File %s already exists.\nDo you want to replace it?";
inline constexpr char kUnableToOpen[] = "Unable to open PC file %s - %s";
inline constexpr char kCommandRefused[] = "Error sending file transfer command";
inline constexpr char kCodePageFailed[] = "Unable to load Code Page: %s";
// Why a start failed, for the starters that tell it themselves.
inline constexpr char kNotStarted[] = "The file transfer did not start: %s";
inline constexpr char kStartDeclined[] = "the PC file was kept";
inline constexpr char kStartNotFound[] = "the PC file was not found";
inline constexpr char kStartOpenFailed[] = "the PC file could not be opened";
inline constexpr char kStartKeyboardRefused[] = "the keyboard refused the command";
inline constexpr char kStartBusy[] = "a transfer already runs";
inline constexpr char kStartNotAvailable[] = "the session is no 3270 display";

// Running.
inline constexpr char kResending[] = "Re-sending PC file %s block %ld";
inline constexpr char kFileError[] = "Session %d.\nError %s PC file %s - %s. File transfer cancelled.";
inline constexpr char kWriting[] = "writing";
inline constexpr char kReading[] = "reading";

// An end without a message of its own.
inline constexpr char kEndCancelled[] = "The file transfer was cancelled";
inline constexpr char kEndFailed[] = "The file transfer failed";

// Progress.
inline constexpr char kProgressTitle[] = "File Transfer Progress - %s";
inline constexpr char kProgressPercentTitle[] = "%ld%% Complete - ";
inline constexpr char kReceiving[] = "Receiving PC file %s\nFile size unknown, bytes received = %ld";
inline constexpr char kSending[] = "Sending PC file %s\nFile size = %ld, bytes sent = %ld\n%d%% Complete";

// Cancelling.
inline constexpr char kCancelFromProgress[] = "Are you sure you want to cancel the file transfer for session %d, %s?";
inline constexpr char kCancelFromMenu[] = "Are you sure you want to cancel file transfer for session %d, %s?";

// The Host menu.
inline constexpr char kMenuTransfer[] = "&File Transfer...";
inline constexpr char kMenuCancel[] = "C&ancel File Transfer";

// The dialog.
inline constexpr char kDialogTitle[] = "File Transfer - %s";
inline constexpr char kBrowseTitle[] = "Select PC File Name - ";
inline constexpr char kBrowseFilter[] = "All Files (*.*)|*.*||";
inline constexpr char kNeedHostFile[] = "Please enter a Host File Name.";
inline constexpr char kNeedPcFile[] = "Please enter a PC File Name.";
inline constexpr char kNeedProgram[] = "Please enter a File Transfer Program Name.";
// Label, lowest, highest.
inline constexpr char kNumberRange[] = "Please enter a number between %d and %d for \"%s\".";
inline constexpr char kHostFileLabel[] = "&Host filename:";
inline constexpr char kPcFileLabel[] = "&PC filename:";
inline constexpr char kBrowse[] = "&Browse...";
inline constexpr char kBrowseCodePage[] = "B&rowse...";
inline constexpr char kHostOpsys[] = "Host Opsys";
inline constexpr const char* kHostSystems[] = {"VM/CMS", "MVS/TSO", "CICS"};
inline constexpr char kTranslation[] = "Translation";
inline constexpr char kAscii[] = "ASCII";
inline constexpr char kCrLf[] = "CRLF";
inline constexpr char kNoTrunc[] = "NOTRUNC";
inline constexpr char kHostFileOptions[] = "Host File Options (PC to Host)";
inline constexpr const char* kRecordFormats[] = {"Default", "Fixed", "Variable", "Undefined"};
inline constexpr char kLrecl[] = "LRECL:";
inline constexpr char kBlksize[] = "BLKSIZE:";
inline constexpr char kAppend[] = "APPEND";
inline constexpr char kTransferMode[] = "File Transfer Mode";
inline constexpr char kScreenImages[] = "Screen images";
inline constexpr char kWsfBuffer[] = "WSF - buffer size:";
inline constexpr char kPcFileOptions[] = "PC File Options (Host to PC)";
inline constexpr const char* kPcFileChoices[] = {"Replace", "Append", "Prompt before replace"};
inline constexpr char kProgramLabel[] = "File Transfer Program Name:";
inline constexpr char kOptionsLabel[] = "Additional options:";
inline constexpr char kHostCodePage[] = "Host Code Page";
inline constexpr char kPutButton[] = "==>";
inline constexpr char kGetButton[] = "<==";
inline constexpr char kHelpButton[] = "Help";
inline constexpr char kCancelButton[] = "Cancel";
// The progress window's second button.
inline constexpr char kSendClear[] = "Send Clear key";

// Faults of the host's data that end a transfer here (the host is told with PF2).
inline constexpr char kBadScreenCode[] = "Session %d.\nThe host sent screen code X'%02X' outside the code sets in block %ld. File transfer cancelled.";
inline constexpr char kBadBlockLength[] = "Session %d.\nThe host's block %ld does not hold the length it claims. File transfer cancelled.";
inline constexpr char kBadSequence[] = "Session %d.\nThe host's block %ld is out of sequence. File transfer cancelled.";
inline constexpr char kBadInsert[] = "Session %d.\nThe host sent a data insert shorter than its header. File transfer cancelled.";

// File error texts by cause.
inline constexpr const char* kFileErrorCauses[] = {
    "No error occured",
    nullptr,
    "File not found",
    "Invalid path",
    "Too many open Files",
    "Access denied",
    "Invalid file handle",
    "The current directory cannot be removed",
    "The directory is full",
    "Error setting file pointer",
    "Hardware I/O error",
    "Sharing violation",
    "Lock violation",
    "The disk is full",
    "End-of-file",
};
inline constexpr char kUnspecifiedError[] = "Unspecified error";

}  // namespace corvina::transfer_texts
