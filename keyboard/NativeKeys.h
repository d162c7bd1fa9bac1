// The PC keys of the X11 key codes (the Linux input codes plus 8, which
// follow the PC scan codes), so that a key means the same virtual key and
// extended flag whatever the keyboard layout, as the keyboard maps expect.
#pragma once

#include <cstdint>
#include <optional>

namespace corvina {

struct NativeKey {
  std::uint16_t virtualKey = 0;
  bool extended = false;
  friend bool operator==(const NativeKey&, const NativeKey&) = default;
};

// Keypad keys give their digit keys with NumLock on and their cursor keys
// with it off. Nullopt for codes that are no PC key.
std::optional<NativeKey> KeyOfX11KeyCode(unsigned keyCode, bool numLock);

}  // namespace corvina
