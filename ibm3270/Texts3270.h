// Every text the 3270 engine shows, as printf formats.
#pragma once

namespace corvina::texts3270 {

// Description of a field attribute (the tool tip of an attribute position).
inline constexpr char kAttrPosition[] = "%d, %d, ";
inline constexpr char kAttrUnprotected[] = "unprotected";
inline constexpr char kAttrProtected[] = "protected";
inline constexpr char kAttrNumeric[] = ", numeric";
inline constexpr char kAttrAutoskip[] = ", autoskip";
inline constexpr char kAttrSelectable[] = ", selectable";
inline constexpr char kAttrHighIntensity[] = ", high intensity";
inline constexpr char kAttrNonDisplay[] = ", non-display";
inline constexpr char kAttrMdtOn[] = ", MDT on";
inline constexpr char kAttrBlink[] = ", blink";
inline constexpr char kAttrReverse[] = ", reverse";
inline constexpr char kAttrUnderscore[] = ", underscore";

// A hotspot's address could not be opened.
inline constexpr char kBrowserFailed[] = "Unable to launch the default web browser.";

}  // namespace corvina::texts3270
