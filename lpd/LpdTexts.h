// The texts of the LPD server: log lines, replies and messages.
#pragma once

namespace corvina::lpd::texts {

// Protocol log lines.
inline constexpr char kAccepted[] = "Accepted a connection";
inline constexpr char kDisconnected[] = "Disconnected";
inline constexpr char kPrintWaiting[] = "Queue %s: Print any waiting jobs";
inline constexpr char kReceiveJob[] = "Queue %s: Receive printer job";
inline constexpr char kRejected[] = "Queue %s: Rejected - queue not defined";
inline constexpr char kQueueState[] = "Queue %s: Send queue state (%s). List= %s";
inline constexpr char kRemoveJobs[] = "Queue %s: Remove jobs. Agent= %s, List= %s";
inline constexpr char kAbortJob[] = "Queue %s: Abort job";
inline constexpr char kReceiveControl[] = "Queue %s: Receive control file %s, size= %lld";
inline constexpr char kReceiveData[] = "Queue %s: Receive data file %s, size= %lld";
inline constexpr char kPortInUse[] = "Port %d is in use by another application.";
inline constexpr char kCreateError[] = "Create error: %s";
inline constexpr char kListenError[] = "Listen error: %s";
inline constexpr char kFileOpenFailure[] = "%s file open failure: ";
inline constexpr char kFileWriteFailure[] = "%s file write failure: ";
// Refusals of hostile or malformed input (not in the original program).
inline constexpr char kBadFileName[] = "Queue %s: Refused file name %s";
inline constexpr char kBadCount[] = "Queue %s: Refused byte count %s";
inline constexpr char kBadQueueName[] = "Refused queue name %s";
inline constexpr char kLineTooLong[] = "Refused a command line longer than %d bytes";
inline constexpr char kTimedOut[] = "Closed a stalled connection";
inline constexpr char kTooManyConnections[] = "%d connections are open: further clients wait";
inline constexpr char kStrayFile[] = "Queue %s: Removed %s left without a job";

// Replies.
inline constexpr char kOk[] = "Ok";
inline constexpr char kListHeader[] = "Rank   Owner      Job  Files                                 Total Size\n";
inline constexpr char kListRow[] = "%-6.6s %-10.10s %-4.1d %-37.37s %lld bytes\n";
inline constexpr char kQueueEmpty[] = "Queue is empty.\n";
inline constexpr char kJobNotFound[] = "Job number %d not found\n";
inline constexpr char kJobDenied[] = "Job number %d permission denied\n";
inline constexpr char kUserDenied[] = "User %s permission denied\n";
inline constexpr char kDequeued[] = "%s dequeued\n";

// Job states and their log lines.
inline constexpr const char* kStatus[] = {"Ready", "Paused", "Printing", "Held"};
inline constexpr char kJobReport[] = "Queue %s job number %d %s";
inline constexpr char kQueued[] = "queued";
inline constexpr char kPrinting[] = "printing";
inline constexpr char kCompleteHeld[] = "complete (held)";
inline constexpr char kCompleteDeleted[] = "complete (deleted)";
inline constexpr char kCompleteAborted[] = "complete (aborted)";
inline constexpr char kFailed[] = "failed: %s";
inline constexpr char kFailureKinds[][24] = {"invalid parameter list", "printer not available",
                                             "StartDoc() failed",      "file open failure",
                                             "file read failure",      "StartPage() failed"};
inline constexpr char kEndPageFailed[] = "EndPage() failed";
inline constexpr char kUnknownError[] = "unknown error";

// Settings and spool.
inline constexpr char kSpoolFolderBusy[] = "Cannot change spool folder. Job number %d is still printing.";
inline constexpr char kSpoolFolderError[] = "Unable to create spool folder '%s': %s";
inline constexpr char kNameWhiteSpace[] = "A queue name cannot contain white space. Please choose another name.";
inline constexpr char kDefaultLogFile[] = "Lpd %s.log";
inline constexpr char kQueueExists[] = "Queue \"%s\" already exists. Please choose another name.";
inline constexpr char kConfirmDelete[] = "Are you sure you want to delete the %s queue?";

// The queue setup, as the control interface shows and takes it.
inline constexpr char kSetupTitle[] = "Print Queue Setup - %s";
inline constexpr char kProgramName[] = "Corvina";
inline constexpr char kFontShown[] = "%s - %dpt";
inline constexpr char kPortrait[] = "&Portrait";
inline constexpr char kLandscape[] = "L&andscape";
inline constexpr char kMarginsInches[] = "Margins (inches)";
inline constexpr char kMarginsMillimeters[] = "Margins (millimeters)";
// The check boxes of the option bits 0x01, 0x02, 0x08, 0x10, 0x20, 0x40, 0x80.
inline constexpr struct {
  unsigned bit;
  const char* label;
} kOptionLabels[] = {{0x01, "SNA Character String (SCS) printer"}, {0x02, "Suppress banner page"},
                     {0x08, "Hold jobs in queue after printing"},  {0x10, "Pause printing"},
                     {0x20, "Hold jobs in queue without printing"}, {0x40, "Substitute CR/LF for LF"},
                     {0x80, "Compress font width to fit page"}};
// Refusals of the control interface (its own; the dialogs had fields instead).
inline constexpr char kQueueHasJobs[] = "Queue %s still has jobs: remove them first";
inline constexpr char kBadMargins[] = "Invalid margin entry: give four margins, left,top,right,bottom (%s)";
inline constexpr char kBadRows[] = "Rows must be a number from 0 to 999";
inline constexpr char kBadColumns[] = "Columns must be a number from 1 to 999";
inline constexpr char kBadOrientation[] = "Orientation must be portrait or landscape";
inline constexpr char kBadFont[] = "Font must be FACE,POINTS or FACE,POINTS,COLOUR (1 to 199 points)";
inline constexpr char kCodePageNeedsScs[] = "The host code page applies only to an SCS printer queue (option 1)";
inline constexpr char kBadOptions[] = "options must be a number of the option bits (0 to 0x1FF)";

// Socket trace.
inline constexpr char kTraceOpenFailed[] = "Unable to open trace file";
inline constexpr char kCodePageNotLoaded[] = "Code page %s is not loaded (%s): the built-in table is used";

}  // namespace corvina::lpd::texts
