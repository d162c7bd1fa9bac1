// Every text a 3270 printer session logs, as printf formats.
#pragma once

namespace corvina::texts3270 {

inline constexpr char kPrinterConnected[] = "Printer session connected. Waiting for work";
inline constexpr char kReceivingJob[] = "[%d] Receiving print job";
inline constexpr char kReceiveComplete[] = "[%d] Receive complete";
inline constexpr char kReceiveCompleteToFile[] = "[%d] Receive complete to file %s";
inline constexpr char kReceiveTimedOut[] = "[%d] Receive timed out";
inline constexpr char kJobFlushed[] = "[%d] Job flushed";
inline constexpr char kOpenFailed[] = "[%d] ERROR: printer file %s open failed";
inline constexpr char kWriteFailed[] = "[%d] ERROR: printer file %s write failed (%s)";
inline constexpr char kPrinting[] = "[%d] Printing %s";
inline constexpr char kPrintingFailed[] = "[%d] ERROR: Printing failed: %s";
inline constexpr char kLogTime[] = "%H:%M:%S ";
inline constexpr char kErrorMark[] = "ERROR: ";

// Job states as the log names them.
inline constexpr char kStateQueued[] = "queued";
inline constexpr char kStateStarted[] = "started";
inline constexpr char kStateComplete[] = "complete";
inline constexpr char kStateAborted[] = "complete (aborted)";
inline constexpr const char* kFailureTexts[] = {
    "invalid parameter list",  // 4
    "printer not available",   // 5
    "StartDoc() failed",       // 6
    "file open failure",       // 7
    "file read failure",       // 8
    "StartPage() failed",      // 9
    "PrintPage() failed",      // 10
    "EndPage() failed",        // 11
    nullptr,                   // 12 is no failure
    "EndDoc() failed",         // 13
};
inline constexpr char kUnknownError[] = "unknown error";

// The printer status line.
inline constexpr char kPrinterIdle[] = "Printer ready";
inline constexpr char kPrinterReceiving[] = "Printer receiving job %d";

}  // namespace corvina::texts3270
