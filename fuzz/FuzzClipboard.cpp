// Clipboard text from other programs, as the Edit menu takes it in: the
// conversion to the core's Latin-1 with CR LF line ends, and back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/Clipboard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string inside = corvina::app::FromClipboardText(text);
  // Never larger than the cap allows (a line end may double), no NUL, and
  // every CR followed by LF.
  if (inside.size() > 2 * corvina::app::kMaxClipboardText) std::abort();
  for (std::size_t i = 0; i < inside.size(); ++i) {
    if (inside[i] == '\0') std::abort();
    if (inside[i] == '\r' && (i + 1 >= inside.size() || inside[i + 1] != '\n')) std::abort();
    if (inside[i] == '\n' && (i == 0 || inside[i - 1] != '\r')) std::abort();
  }
  // Out and in again gives the same text (when it stays under the cap).
  if (inside.size() < corvina::app::kMaxClipboardText / 2 &&
      corvina::app::FromClipboardText(corvina::app::ToClipboardText(inside)) != inside)
    std::abort();
  return 0;
}
