// Checks of what the user typed into a tool's fields.
#pragma once

#include <string_view>

namespace corvina::netutil {

// CR, LF and the other C0 controls and DEL would let a field add lines (and
// so commands) to an exchange.
inline bool HasControlCharacters(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

}  // namespace corvina::netutil
