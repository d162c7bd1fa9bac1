// Every text scripts and the script converter show, as printf formats.
#pragma once

namespace corvina::script::texts {

inline constexpr char kCaption[] = "Corvina";
inline constexpr char kProductName[] = "Corvina";

// Loading.
inline constexpr char kCantOpenFile[] = "Can't open file %s; Error = %s\n";
inline constexpr char kFileNotFound[] = "File not found.";
inline constexpr char kInvalidPath[] = "Invalid path.";
inline constexpr char kTooManyOpenFiles[] = "The permitted number of open files was exceeded.";
inline constexpr char kAccessDenied[] = "The file can not be accessed.";
inline constexpr char kUnknownFileHandle[] = "Unknown file handle.";
inline constexpr char kHardwareError[] = "Hardware error.";
inline constexpr char kShareError[] = "The SHARE.EXE was not loaded, or a shared region was locked.";
inline constexpr char kUnknownErrorCode[] = "Unknown error code: %u";
// The file is bigger than a script can be (its size limit in MiB).
inline constexpr char kFileTooLarge[] = "The file is larger than %d MiB.";
inline constexpr char kAlreadyProcessing[] =
    "%s is already processing in this session\nClick cancel to cancel the script\nor wait for %s to finish "
    "processing and click retry";
// A script whose text breaks the syntax: file, line, what is wrong.
inline constexpr char kSyntaxError[] = "Script file:\t%s\nError on Line:\t%i\n\n%s";
inline constexpr char kUnterminatedQuote[] = "A quoted parameter has no closing double quote";
inline constexpr char kContinuationAtEnd[] = "The last parameter line ends with a comma: the file ends before the next parameter";

// Running.
inline constexpr char kProcessingLine[] = "Script processing line %i of %i: %s";
inline constexpr char kScriptComplete[] = "Script complete: %s";
inline constexpr char kInvalidCommand[] = "Invalid command: %s";
inline constexpr char kParameterMissing[] = "A required parameter is missing";
inline constexpr char kTooManyParameters[] = "Too many parameters specified";
inline constexpr char kParameterInvalid[] = "Parameter %d is invalid";
inline constexpr char kNotAVariable[] = "Parameter %i is not a valid variable; variables must start with a $ sign";
inline constexpr char kNotActive[] = "Terminal Emulation is not active";
inline constexpr char kCancelScriptQuestion[] = "Are you sure you want to cancel script: %s for session %d,?";

// The error report.
inline constexpr char kReportSession[] = "Session:\t\t%i\n";
inline constexpr char kReportFile[] = "Script file:\t\t%s\nError on Line:\t%i\nCommand:\t%s\n";
inline constexpr char kReportParameter[] = "Parameter %u\t%s\n";

// Included scripts.
inline constexpr char kIncludedCancelled[] = "Included Script file cancelled: %s";
inline constexpr char kAlreadyActive[] = "File: %s is already active; script processing cancelled to prevent looping\n";
inline constexpr char kUnableToRun[] = "Unable to run script file: %s";
// Included scripts nested deeper than the limit (the limit, the file).
inline constexpr char kNestedTooDeep[] = "Scripts are included more than %d deep: %s is not run";

// A headless run's wait limit (file, seconds, line, command).
inline constexpr char kWaitTooLong[] =
    "The script %s waited longer than %g seconds on line %i (%s) and is cancelled.";

// askfor.
inline constexpr char kDialogCaptionSession[] = "Script Processing: Session %i";
inline constexpr char kDialogCaption[] = "Script Processing";
inline constexpr char kAskForGroup[] = "AskFor Command";
inline constexpr char kClipboardPaste[] = "Clipboard Paste";

// command.
inline constexpr char kNoInterpreter[] = "System command interpreter cannot be found";
inline constexpr char kCommandTooBig[] = "COMMAND parameter is too big";
inline constexpr char kBadInterpreter[] = "System command-interpreter file has an invalid format and is not executable";
inline constexpr char kNoMemory[] = "Insufficient memory to execute the command";

// connect and session.
inline constexpr char kSessionNotFound[] = "Session \"%s\" not found";
inline constexpr char kMaxSessions[] = "Maximum number of sessions already connected";
inline constexpr char kSessionConnected[] = "Session %i is already connected";
inline constexpr char kBadSessionNumber[] = "\"%s\" is not a valid session number; Specify a number from 1 to %i";

// goto, key, wait.
inline constexpr char kLabelNotFound[] = "Label not found: %s";
inline constexpr char kInvalidKeyName[] = "Invalid key name: %s";
inline constexpr char kVariableNotFound[] = "Variable %s not found";
inline constexpr char kInvalidWait[] =
    "Invalid wait parameter; a valid wait time is between 1 and 2147483647 milliseconds";

// waitfor.
inline constexpr char kMustContainLabel[] = "Parameter %i must contain a label";
inline constexpr char kScanStringMissing[] = "Scan string %i is missing";
inline constexpr char kAnyHostUpdate[] = "<<Any host update>>";
inline constexpr char kScanGroup[] = "Scanning for the following string(s):";
inline constexpr char kCancelScript[] = "Cancel Script";
inline constexpr char kCancelScan[] = "Cancel Scan";
inline constexpr char kScanConnectionFailed[] = "Script scan failed due to connection failure.";

// filetransfer.
inline constexpr char kKeywordTwice[] = "Keyword \"%s\" specified more than once";
inline constexpr char kKeywordsRequired[] = "The following keyword(s) are required:\n %s";
inline constexpr char kKeywordsInvalid[] = "The following keyword(s) are invalid:\n %s";
inline constexpr char kBadOperation[] = "Keyword \"%s\" contains an invalid parameter; specify \"send\" or \"receive\"";
inline constexpr char kBadOpsys[] = "%s parameter %s is invalid; specify \"vm/cms\", \"mvs/tso\" or \"cics\"";
inline constexpr char kBadLrecl[] =
    "Keyword \"%s\" contains an invalid logical record length; a valid length is between 1 and 32760";
inline constexpr char kBadRecfm[] =
    "Keyword \"%s\" contains an invalid record format; specify \"default\", \"fixed\", \"variable\" or \"undefined\"";
inline constexpr char kBadBlksize[] =
    "Keyword \"%s\" contains an invalid blocksize; a valid blocksize is between 1 and 32760";
inline constexpr char kBadPcOptions[] =
    "Keyword \"%s\" contains an invalid option; specify \"replace\", \"prompt\" or \"append\"";
inline constexpr char kBadMode[] = "Keyword \"%s\" contains an invalid mode; specify \"wsf\" or \"screenimage\"";
inline constexpr char kBadBufferSize[] =
    "Keyword \"%s\" contains an invalid buffer size; a valid buffer size is between 512 and 65535";
inline constexpr char kCodePageNotLoaded[] = "Unable to load Code Page: %s";

// The converter.
inline constexpr char kConvertQuestion[] =
    "Converting your %s 2.03 script to the new script format.\n\nYour 2.03 script file will be saved "
    "as:\n\t%s\n\nDo you wish to continue?";
inline constexpr char kConversionError[] = "Script conversion error\nFile:\t%s\nLine:\t%i\nCommand:  %s\n\n%s";
// An old Connect line with an empty host.
inline constexpr char kConnectWithoutHost[] = "Connect names no host";
// An old Port line whose value is no port.
inline constexpr char kBadPort[] = "The port %s is not a number from 1 to 65535";
inline constexpr char kUnknownTerminal[] = "Unknown terminal type:  %s";
inline constexpr char kBackupExists[] =
    "Saving version 2.03 script file.\n\nFile \"%s\" already exists.\nDo you want to replace it?";
inline constexpr char kRenameFailed[] = "File \"%s\" not found, cause = %d";
inline constexpr char kStoreFailed[] = "CArchiveException thrown storing converted script file, m_cause = %d\n";

}  // namespace corvina::script::texts
