// Key codes, the PC key names stored in keyboard-map files, the key text
// notation ("Shift+Ctrl+Tab") and the control-sequence notation ("^[[A").
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvina {

// Modifier bits of a key code.
inline constexpr std::uint8_t kModAlt = 0x01;
inline constexpr std::uint8_t kModCtrl = 0x02;
inline constexpr std::uint8_t kModShift = 0x04;
// An extended key (grey cursor block, right Ctrl and Alt, keypad Enter and
// slash), or a double click for the mouse pseudo keys.
inline constexpr std::uint8_t kModExtended = 0x08;

// Windows virtual-key codes that the notation treats specially. Mouse buttons
// are pseudo keys.
inline constexpr std::uint16_t kVkMouseLeft = 0x01;
inline constexpr std::uint16_t kVkMouseRight = 0x02;
inline constexpr std::uint16_t kVkMouseMiddle = 0x04;
inline constexpr std::uint16_t kVkShift = 0x10;
inline constexpr std::uint16_t kVkControl = 0x11;
inline constexpr std::uint16_t kVkAlt = 0x12;

struct KeyCode {
  std::uint16_t virtualKey = 0;
  std::uint8_t modifiers = 0;
  friend bool operator==(const KeyCode&, const KeyCode&) = default;
};

// One PC key. Rows with virtual key 0 are character keys, known by scan code
// only; the keyboard layout gives their virtual key.
struct PcKeyRow {
  std::uint16_t virtualKey;
  bool extended;
  std::uint8_t scanCode;
  std::string_view name;
};

std::span<const PcKeyRow> PcKeyTable();

// The keyboard layout (US English) behind the character rows: 0 when the key
// or scan code is not a character key.
std::uint8_t ScanCodeOfVirtualKey(std::uint16_t virtualKey);
std::uint16_t VirtualKeyOfScanCode(std::uint8_t scanCode);

// The character a key types on that layout (Shift alone may be held);
// nullopt for keys that type none and for Ctrl or Alt combinations.
std::optional<char> CharacterOfKey(KeyCode key);

// Modifiers in the order Shift, Ctrl, Alt, then the key name, joined by "+".
// Empty when the key has no name.
std::string FormatKeyText(KeyCode key);
// Modifier words and key names are case-sensitive. Every token but the last
// must be "Shift", "Ctrl" or "Alt"; the last is the key, so "Ctrl" alone is
// the Ctrl key itself.
std::optional<KeyCode> ParseKeyText(std::string_view text);

// Control-sequence notation: "^X" for control bytes, "^?" for DEL, "0xhh" for
// space and bytes above 0x7F, any other byte as itself. A caret that is not
// last and a zero before "x" are written in hexadecimal so that every byte
// string reads back unchanged.
inline constexpr std::size_t kMaxControlSequenceLength = 255;
std::string FormatControlSequence(std::string_view bytes);
// Fails on "^" before a character outside @..._ (or a-z), on bad hex digits,
// and when the result would exceed kMaxControlSequenceLength bytes.
std::optional<std::string> ParseControlSequence(std::string_view text);

}  // namespace corvina
