// Every text the code page subsystem shows.
#pragma once

namespace corvina::codepage_text {

inline constexpr char kDefaultName[] = "Default Code Page";

// File name, file error cause.
inline constexpr char kCantOpen[] = "Can't open Code Page file %s, error = %u\n";
// File name, line number, the line without trailing blanks, reason.
inline constexpr char kLineError[] = "Error loading Code Page file %s.\nLine %d: \"%s\"\n%s";
// File name, reason.
inline constexpr char kFileError[] = "Error loading Code Page file %s.\n%s";

// Reasons for kLineError.
inline constexpr char kInvalidEbcdic[] = "Invalid EBCDIC value";
inline constexpr char kMissingAscii[] = "Missing ASCII value";
inline constexpr char kInvalidAscii[] = "Invalid ASCII value";
inline constexpr char kDuplicateEbcdic[] = "Duplicate EBCDIC value";
inline constexpr char kDuplicateAscii[] = "Duplicate ASCII value";
inline constexpr char kInvalidCgcsgid[] =
    "Invalid CGCSGID value (two decimal numbers from 0 to 65535 expected)";

// Reasons for kFileError.
inline constexpr char kTooLarge[] = "The file is larger than 1 MB";
// The keyword that was never found.
inline constexpr char kMissingKeyword[] = "No \"%s\" line found";

}  // namespace corvina::codepage_text
