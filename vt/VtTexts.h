// The exact bytes the VT engine sends as reports, and its texts.
#pragma once

namespace corvina::vt::texts {

inline constexpr char kDeviceAttributes[] = "\x1B[?1;0c";
inline constexpr char kVt52Identify[] = "\x1B/Z";
inline constexpr char kStatusOk[] = "\x1B[0n";
inline constexpr char kCursorPositionReport[] = "\x1B[%d;%dR";
inline constexpr char kTerminalParameters0[] = "\x1B[2;1;1;120;120;1;0x";
inline constexpr char kTerminalParameters1[] = "\x1B[3;1;1;120;120;1;0x";

// Printing: jobs wait in the spool file until the printer thread takes them.
inline constexpr char kSpoolFileName[] = "VtPrint%d.prn";
inline constexpr char kSpoolFull[] = "Printer output beyond %zu bytes was discarded";
inline constexpr char kSpoolWriteFailed[] = "Printer output cannot be written to %s: %s";
inline constexpr char kPrintFailed[] = "Printing failed: %s";
inline constexpr char kPrintFailedState[] = "job state %d";

}  // namespace corvina::vt::texts
