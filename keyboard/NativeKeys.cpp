#include "keyboard/NativeKeys.h"

#include "keyboard/KeyText.h"

namespace corvina {

namespace {

// Linux input codes of keys that have no scan code of their own below 89.
struct Special {
  unsigned code;
  NativeKey key;
};
constexpr Special kSpecial[] = {
    {69, {0x90, true}},    // NumLock
    {96, {0x0D, true}},    // keypad Enter
    {97, {0x11, true}},    // right Ctrl
    {98, {0x6F, true}},    // keypad slash
    {99, {0x2C, false}},   // Print Screen
    {100, {0x12, true}},   // right Alt (AltGr)
    {102, {0x24, true}},   // Home
    {103, {0x26, true}},   // Up
    {104, {0x21, true}},   // Page Up
    {105, {0x25, true}},   // Left
    {106, {0x27, true}},   // Right
    {107, {0x23, true}},   // End
    {108, {0x28, true}},   // Down
    {109, {0x22, true}},   // Page Down
    {110, {0x2D, true}},   // Insert
    {111, {0x2E, true}},   // Delete
    {119, {0x13, false}},  // Pause
    {125, {0x5B, true}},   // left Windows key
    {126, {0x5C, true}},   // right Windows key
    {127, {0x5D, true}},   // Menu
};

constexpr unsigned kLastScanCode = 88;  // F12

}  // namespace

std::optional<NativeKey> KeyOfX11KeyCode(unsigned keyCode, bool numLock) {
  if (keyCode < 9) return std::nullopt;
  const unsigned code = keyCode - 8;
  for (const Special& s : kSpecial)
    if (s.code == code) return s.key;
  if (code > kLastScanCode) return std::nullopt;
  // The non-extended rows of the scan code: one, or a keypad key's digit
  // row followed by its cursor row.
  const PcKeyRow* first = nullptr;
  const PcKeyRow* second = nullptr;
  for (const PcKeyRow& row : PcKeyTable()) {
    if (row.scanCode != code || row.extended || row.virtualKey == kVkMouseLeft) continue;
    if (!first)
      first = &row;
    else if (!second)
      second = &row;
  }
  if (!first) return std::nullopt;
  const bool keypad = code >= 0x47 && code <= 0x53;
  const PcKeyRow& row = (keypad && second && !numLock) ? *second : *first;
  const std::uint16_t vk = row.virtualKey != 0 ? row.virtualKey : VirtualKeyOfScanCode(row.scanCode);
  if (vk == 0) return std::nullopt;
  return NativeKey{vk, false};
}

}  // namespace corvina
