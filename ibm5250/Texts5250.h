// Every text the 5250 engine shows, as printf formats.
#pragma once

namespace corvina::texts5250 {

// Description of an attribute cell (its tool tip).
inline constexpr char kAttrPosition[] = "%d, %d, ";
inline constexpr char kAttrBypass[] = "bypass";
inline constexpr char kAttrUnprotected[] = "unprotected";
inline constexpr char kAttrProtected[] = "protected";
inline constexpr char kAttrMdtOn[] = ", MDT on";
inline constexpr char kAttrDupEnabled[] = ", DUP/FM enabled";
inline constexpr char kAttrSeparator[] = ", ";
// The shift names by the field format word's shift value 0 to 7.
inline constexpr const char* kShiftNames[8] = {"alpha shift",  " alpha only", "numeric shift", "numeric only",
                                               "Katakana",     "digits only", "I/O",           "signed numeric"};
inline constexpr char kAttrAutoEnter[] = ", auto enter";
inline constexpr char kAttrFieldExitRequired[] = ", field exit required";
inline constexpr char kAttrMonocase[] = ", monocase";
inline constexpr char kAttrMandatoryEnter[] = ", mandatory enter";
inline constexpr char kAttrZeroFill[] = ", right adjust zero fill";
inline constexpr char kAttrBlankFill[] = ", right adjust blank fill";
inline constexpr char kAttrMandatoryFill[] = ", mandatory fill";
inline constexpr char kAttrForwardEdge[] = ", forward edge trigger";
inline constexpr char kAttrReverse[] = ", reverse";
inline constexpr char kAttrUnderscore[] = ", underscore";
inline constexpr char kAttrBlink[] = ", blink";
inline constexpr char kAttrColumnSeparators[] = ", column separators";
inline constexpr char kAttrNonDisplay[] = ", non-display";
// Colour names by the display colour 3 to 9.
inline constexpr const char* kColorNames[7] = {"red", "green", "blue", "pink", "yellow", "turquoise", "white"};

// The message-waiting indicator in the operator information area.
inline constexpr char kOiaMessageWaiting[] = "MW";

// A hotspot's address could not be opened.
inline constexpr char kBrowserFailed[] = "Unable to launch the default web browser.";

}  // namespace corvina::texts5250
