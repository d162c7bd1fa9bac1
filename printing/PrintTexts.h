// The texts of the printing subsystem.
#pragma once

namespace corvina::printing::texts {

// Banner page and page header.
inline constexpr char kBanner[] =
    "Owner:      %s\r\n\r\nClass:      %s\r\n\r\nJob Name:   %s\r\n\r\nJob Number: %d\r\n\r\n"
    "Created:    %s\r\n\r\nPrinted:    %s\r\n\r\n";
inline constexpr char kPageNumber[] = "Page %d";

// Why a job failed, when the system has no message for it.
inline constexpr char kNoPrintableArea[] = "the margins leave no printable area on the page";
inline constexpr char kNoDestination[] = "no print destination is available";
inline constexpr char kUnknownDestination[] = "the print destination \"%s\" is not available (only file:PATH here)";
inline constexpr char kCannotOpenFile[] = "cannot open %s: %s";
inline constexpr char kCannotReadFile[] = "cannot read %s: %s";
inline constexpr char kCannotWriteFile[] = "cannot write %s: %s";

// Screen printing.
inline constexpr char kUnableToOpenFile[] = "Unable to open file %s";
inline constexpr char kMarginInches[] = "%d.%.3d";
inline constexpr char kMarginMillimeters[] = "%d.%.2d";
inline constexpr char kNumberedFile[] = "%s%s%s.%.3d%s";

}  // namespace corvina::printing::texts
