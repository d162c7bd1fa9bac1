// Every text a session shows, as printf formats.
#pragma once

namespace corvina::texts {

inline constexpr char kCaption[] = "Corvina";
inline constexpr char kNotConnected[] = "Not connected";
inline constexpr char kTitle[] = "%d: %s";
inline constexpr char kTitleWithShortName[] = "%d[%c]: %s";
inline constexpr char kConnectedTo[] = "Connected to %s port %d";
inline constexpr char kTryingToConnect[] = "Trying to connect to %s port %d";
inline constexpr char kDisconnectedByHost[] = "Session %d disconnected by host %s. ";
inline constexpr char kReconnectQuestion[] = "Reconnect?";
inline constexpr char kSecondsUntilReconnect[] = "Seconds until automatic reconnect: %d";
inline constexpr char kSessionError[] = "Session %d: %s";
inline constexpr char kFailedToCreateSocket[] = "Failed to create new socket: %s";
inline constexpr char kHostUnreachable[] = "Host %s port %d is unreachable";
inline constexpr char kSslInitFailed[] = "SSL initialization failed.";
inline constexpr char kAttnKeyStringInvalid[] = "3270 Attn key string '%s' is invalid - using default (%s)";
inline constexpr char kSysreqKeyStringInvalid[] = "3270 Sysreq key string '%s' is invalid - using default (%s)";
inline constexpr char kTraceOpenFailed[] = "Unable to open trace file";
inline constexpr char kTraceRelease[] = "%s release %s built %s %s.";
inline constexpr char kTraceStarted[] = "Trace started %s local.";
inline constexpr char kRecordTooLong[] = "A host record longer than %zu bytes was discarded";
inline constexpr char kCommandTooLong[] = "A Telnet subnegotiation longer than %zu bytes was discarded";
inline constexpr char kHostNotReading[] =
    "Session %d closed: host %s stopped reading and more than %zu MB of output waited for it";

// Operator information area.
inline constexpr char kOiaLocked[] = "X ";
inline constexpr char kOiaScrollBack[] = "SCROLLBACK";
inline constexpr char kOiaSession[] = "%d:%s";
inline constexpr char kOiaCursor[] = "%02d,%02d ";
inline constexpr char kOiaCursorWide[] = "%02d,%03d";
inline constexpr char kOiaResponseTime[] = "%.2d:%.2d.%.3d";
// The response-time distribution window's average and longest time.
inline constexpr char kResponseTimeShort[] = "%.2d:%.2d.%.1d";
inline constexpr char kOiaTimeOfDay[] = "%H:%M ";
inline constexpr char kOiaDate[] = "%x";
// Keyboard lock reasons 2 to 8 (1 shows the AID key's name, or kLockSystem).
inline constexpr char kLockSystem[] = "SYSTEM";
inline constexpr char kLockProgramCheck[] = "PROG%.3d";
inline constexpr char kLockTypeAhead[] = "?+";
inline constexpr char kLockMinusFunction[] = "-f";
inline constexpr char kLockProtected[] = "<0>";
inline constexpr char kLockFieldFull[] = "0>";
inline constexpr char kLockNumeric[] = "NUM";

}  // namespace corvina::texts
