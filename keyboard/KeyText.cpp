#include "keyboard/KeyText.h"

#include <cstdio>
#include <iterator>

namespace corvina {

namespace {

// In the order that decides which name a key formats as: the first row with
// the key's virtual key and extended flag wins.
constexpr PcKeyRow kPcKeys[] = {
    {0x01, false, 0x00, "MouseLeftClick"},
    {0x01, true, 0x00, "MouseLeftDoubleClick"},
    {0x02, false, 0x00, "MouseRightClick"},
    {0x02, true, 0x00, "MouseRightDoubleClick"},
    {0x04, false, 0x00, "MouseMiddleClick"},
    {0x04, true, 0x00, "MouseMiddleDoubleClick"},
    {0x1B, false, 0x01, "Esc"},
    {0x2C, false, 0x01, "PrtScr"},
    {0x00, false, 0x02, "1"},
    {0x00, false, 0x03, "2"},
    {0x00, false, 0x04, "3"},
    {0x00, false, 0x05, "4"},
    {0x00, false, 0x06, "5"},
    {0x00, false, 0x07, "6"},
    {0x00, false, 0x08, "7"},
    {0x00, false, 0x09, "8"},
    {0x00, false, 0x0A, "9"},
    {0x00, false, 0x0B, "0"},
    {0x00, false, 0x0C, "-"},
    {0x00, false, 0x0D, "="},
    {0x08, false, 0x0E, "Bksp"},
    {0x09, false, 0x0F, "Tab"},
    {0x00, false, 0x10, "Q"},
    {0x00, false, 0x11, "W"},
    {0x00, false, 0x12, "E"},
    {0x00, false, 0x13, "R"},
    {0x00, false, 0x14, "T"},
    {0x00, false, 0x15, "Y"},
    {0x00, false, 0x16, "U"},
    {0x00, false, 0x17, "I"},
    {0x00, false, 0x18, "O"},
    {0x00, false, 0x19, "P"},
    {0x00, false, 0x1A, "["},
    {0x00, false, 0x1B, "]"},
    {0x0D, false, 0x1C, "Enter"},
    {0x0D, true, 0x1C, "NumEnter"},
    {0x11, false, 0x1D, "LeftCtrl"},
    {0x11, true, 0x1D, "RightCtrl"},
    {0x00, false, 0x1E, "A"},
    {0x00, false, 0x1F, "S"},
    {0x00, false, 0x20, "D"},
    {0x00, false, 0x21, "F"},
    {0x00, false, 0x22, "G"},
    {0x00, false, 0x23, "H"},
    {0x00, false, 0x24, "J"},
    {0x00, false, 0x25, "K"},
    {0x00, false, 0x26, "L"},
    {0x00, false, 0x27, ";"},
    {0x00, false, 0x28, "'"},
    {0x00, false, 0x29, "`"},
    {0x10, false, 0x2A, "Shift"},
    {0x00, false, 0x2B, "\\"},
    {0x00, false, 0x2C, "Z"},
    {0x00, false, 0x2D, "X"},
    {0x00, false, 0x2E, "C"},
    {0x00, false, 0x2F, "V"},
    {0x00, false, 0x30, "B"},
    {0x00, false, 0x31, "N"},
    {0x00, false, 0x32, "M"},
    {0x00, false, 0x33, ","},
    {0x00, false, 0x34, "."},
    {0x00, false, 0x35, "/"},
    {0x6F, true, 0x35, "Num/"},
    {0x10, false, 0x36, "Shift"},
    {0x6A, false, 0x37, "Num*"},
    {0x12, false, 0x38, "LeftAlt"},
    {0x12, true, 0x38, "RightAlt"},
    {0x00, false, 0x39, "Space"},
    {0x14, false, 0x3A, "Caps"},
    {0x70, false, 0x3B, "F1"},
    {0x71, false, 0x3C, "F2"},
    {0x72, false, 0x3D, "F3"},
    {0x73, false, 0x3E, "F4"},
    {0x74, false, 0x3F, "F5"},
    {0x75, false, 0x40, "F6"},
    {0x76, false, 0x41, "F7"},
    {0x77, false, 0x42, "F8"},
    {0x78, false, 0x43, "F9"},
    {0x79, false, 0x44, "F10"},
    {0x13, false, 0x45, "Pause"},
    {0x13, true, 0x45, "NumLock"},
    {0x90, true, 0x45, "NumLock"},
    {0x91, false, 0x46, "ScrollLock"},
    {0x67, false, 0x47, "Num7"},
    {0x24, false, 0x47, "NumHome"},
    {0x24, true, 0x47, "Home"},
    {0x68, false, 0x48, "Num8"},
    {0x26, false, 0x48, "NumUp"},
    {0x26, true, 0x48, "Up"},
    {0x69, false, 0x49, "Num9"},
    {0x21, false, 0x49, "NumPageUp"},
    {0x21, true, 0x49, "PageUp"},
    {0x6D, false, 0x4A, "Num-"},
    {0x64, false, 0x4B, "Num4"},
    {0x25, false, 0x4B, "NumLeft"},
    {0x25, true, 0x4B, "Left"},
    {0x65, false, 0x4C, "Num5"},
    {0x0C, false, 0x4C, "NumCenter"},
    {0x66, false, 0x4D, "Num6"},
    {0x27, false, 0x4D, "NumRight"},
    {0x27, true, 0x4D, "Right"},
    {0x6B, false, 0x4E, "NumAdd"},
    {0x61, false, 0x4F, "Num1"},
    {0x23, false, 0x4F, "NumEnd"},
    {0x23, true, 0x4F, "End"},
    {0x62, false, 0x50, "Num2"},
    {0x28, false, 0x50, "NumDown"},
    {0x28, true, 0x50, "Down"},
    {0x63, false, 0x51, "Num3"},
    {0x22, false, 0x51, "NumPageDown"},
    {0x22, true, 0x51, "PageDown"},
    {0x60, false, 0x52, "Num0"},
    {0x2D, false, 0x52, "NumIns"},
    {0x2D, true, 0x52, "Ins"},
    {0x6E, false, 0x53, "Num."},
    {0x2E, false, 0x53, "NumDel"},
    {0x2E, true, 0x53, "Del"},
    {0x7A, false, 0x57, "F11"},
    {0x7B, false, 0x58, "F12"},
    {0x5B, true, 0x5B, "LeftWin"},
    {0x5C, true, 0x5C, "RightWin"},
    {0x5D, true, 0x5D, "Appl"},
};
static_assert(std::size(kPcKeys) == 122);

// Scan code, virtual key and characters (plain, with Shift) of every
// character key on a US English layout.
struct LayoutKey {
  std::uint8_t scanCode;
  std::uint16_t virtualKey;
  char plain, shifted;
};

constexpr LayoutKey kLayout[] = {
    {0x02, '1', '1', '!'}, {0x03, '2', '2', '@'},  {0x04, '3', '3', '#'},  {0x05, '4', '4', '$'},
    {0x06, '5', '5', '%'}, {0x07, '6', '6', '^'},  {0x08, '7', '7', '&'},  {0x09, '8', '8', '*'},
    {0x0A, '9', '9', '('}, {0x0B, '0', '0', ')'},  {0x0C, 0xBD, '-', '_'}, {0x0D, 0xBB, '=', '+'},
    {0x10, 'Q', 'q', 'Q'}, {0x11, 'W', 'w', 'W'},  {0x12, 'E', 'e', 'E'},  {0x13, 'R', 'r', 'R'},
    {0x14, 'T', 't', 'T'}, {0x15, 'Y', 'y', 'Y'},  {0x16, 'U', 'u', 'U'},  {0x17, 'I', 'i', 'I'},
    {0x18, 'O', 'o', 'O'}, {0x19, 'P', 'p', 'P'},  {0x1A, 0xDB, '[', '{'}, {0x1B, 0xDD, ']', '}'},
    {0x1E, 'A', 'a', 'A'}, {0x1F, 'S', 's', 'S'},  {0x20, 'D', 'd', 'D'},  {0x21, 'F', 'f', 'F'},
    {0x22, 'G', 'g', 'G'}, {0x23, 'H', 'h', 'H'},  {0x24, 'J', 'j', 'J'},  {0x25, 'K', 'k', 'K'},
    {0x26, 'L', 'l', 'L'}, {0x27, 0xBA, ';', ':'}, {0x28, 0xDE, '\'', '"'}, {0x29, 0xC0, '`', '~'},
    {0x2B, 0xDC, '\\', '|'}, {0x2C, 'Z', 'z', 'Z'}, {0x2D, 'X', 'x', 'X'},  {0x2E, 'C', 'c', 'C'},
    {0x2F, 'V', 'v', 'V'}, {0x30, 'B', 'b', 'B'},  {0x31, 'N', 'n', 'N'},  {0x32, 'M', 'm', 'M'},
    {0x33, 0xBC, ',', '<'}, {0x34, 0xBE, '.', '>'}, {0x35, 0xBF, '/', '?'}, {0x39, ' ', ' ', ' '},
};

// The name of a key, or empty.
std::string_view KeyName(std::uint16_t virtualKey, bool extended) {
  if (virtualKey == 0) return {};
  for (const PcKeyRow& row : kPcKeys) {
    if (row.virtualKey == virtualKey && row.extended == extended) return row.name;
  }
  const std::uint8_t scanCode = ScanCodeOfVirtualKey(virtualKey);
  if (scanCode == 0) return {};
  for (const PcKeyRow& row : kPcKeys) {
    if (row.virtualKey == 0 && row.scanCode == scanCode) return row.name;
  }
  return {};
}

// The key a name stands for: named rows first, then character rows.
std::optional<KeyCode> KeyOfName(std::string_view name) {
  // The modifier words alone stand for the modifier keys themselves.
  if (name == "Ctrl") return KeyCode{kVkControl, 0};
  if (name == "Alt") return KeyCode{kVkAlt, 0};
  for (const PcKeyRow& row : kPcKeys) {
    if (row.virtualKey != 0 && row.name == name) {
      return KeyCode{row.virtualKey, row.extended ? kModExtended : std::uint8_t{0}};
    }
  }
  for (const PcKeyRow& row : kPcKeys) {
    if (row.virtualKey == 0 && row.name == name) {
      const std::uint16_t virtualKey = VirtualKeyOfScanCode(row.scanCode);
      if (virtualKey == 0) return std::nullopt;
      return KeyCode{virtualKey, 0};
    }
  }
  return std::nullopt;
}

std::optional<std::uint8_t> ModifierOfWord(std::string_view word) {
  if (word == "Shift") return kModShift;
  if (word == "Ctrl") return kModCtrl;
  if (word == "Alt") return kModAlt;
  return std::nullopt;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::span<const PcKeyRow> PcKeyTable() { return kPcKeys; }

std::uint8_t ScanCodeOfVirtualKey(std::uint16_t virtualKey) {
  for (const LayoutKey& key : kLayout) {
    if (key.virtualKey == virtualKey) return key.scanCode;
  }
  return 0;
}

std::uint16_t VirtualKeyOfScanCode(std::uint8_t scanCode) {
  for (const LayoutKey& key : kLayout) {
    if (key.scanCode == scanCode) return key.virtualKey;
  }
  return 0;
}

std::optional<char> CharacterOfKey(KeyCode key) {
  if (key.modifiers & (kModCtrl | kModAlt | kModExtended)) return std::nullopt;
  for (const LayoutKey& k : kLayout) {
    if (k.virtualKey == key.virtualKey) return (key.modifiers & kModShift) ? k.shifted : k.plain;
  }
  return std::nullopt;
}

std::string FormatKeyText(KeyCode key) {
  const std::string_view name = KeyName(key.virtualKey, (key.modifiers & kModExtended) != 0);
  if (name.empty()) return {};
  std::string text;
  auto append = [&text](std::string_view part) {
    if (!text.empty()) text += '+';
    text += part;
  };
  if ((key.modifiers & kModShift) && key.virtualKey != kVkShift) append("Shift");
  if ((key.modifiers & kModCtrl) && key.virtualKey != kVkControl) append("Ctrl");
  if ((key.modifiers & kModAlt) && key.virtualKey != kVkAlt) append("Alt");
  append(name);
  return text;
}

std::optional<KeyCode> ParseKeyText(std::string_view text) {
  std::uint8_t modifiers = 0;
  for (;;) {
    const std::size_t plus = text.find('+');
    if (plus == std::string_view::npos) break;
    const std::optional<std::uint8_t> modifier = ModifierOfWord(text.substr(0, plus));
    if (!modifier) return std::nullopt;
    modifiers |= *modifier;
    text.remove_prefix(plus + 1);
  }
  std::optional<KeyCode> key = KeyOfName(text);
  if (!key) return std::nullopt;
  key->modifiers |= modifiers;
  if (key->virtualKey == kVkControl) key->modifiers |= kModCtrl;
  if (key->virtualKey == kVkAlt) key->modifiers |= kModAlt;
  return key;
}

std::string FormatControlSequence(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    const auto byte = static_cast<unsigned char>(c);
    const char next = i + 1 < bytes.size() ? bytes[i + 1] : '\0';
    // A caret before any byte, or a zero before an x, would read back as
    // notation, so those are written in hexadecimal.
    const bool ambiguous = (c == '^' && i + 1 < bytes.size()) || (c == '0' && (next == 'x' || next == 'X'));
    if (byte < 0x20) {
      text += '^';
      text += static_cast<char>(byte + 0x40);
    } else if (byte == 0x7F) {
      text += "^?";
    } else if (byte > 0x20 && byte < 0x7F && !ambiguous) {
      text += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "0x%02x", byte);
      text += hex;
    }
  }
  return text;
}

std::optional<std::string> ParseControlSequence(std::string_view text) {
  std::string bytes;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '^' && i + 1 < text.size()) {
      const char next = text[i + 1];
      if (next == '?') {
        bytes += '\x7F';
      } else {
        const char upper = (next >= 'a' && next <= 'z') ? static_cast<char>(next - 'a' + 'A') : next;
        if (upper < 0x40 || upper > 0x5F) return std::nullopt;
        bytes += static_cast<char>(upper - 0x40);
      }
      i += 2;
    } else if (c == '0' && i + 3 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
      const int high = HexDigit(text[i + 2]);
      const int low = HexDigit(text[i + 3]);
      if (high < 0 || low < 0) return std::nullopt;
      bytes += static_cast<char>(high * 16 + low);
      i += 4;
    } else {
      bytes += c;
      ++i;
    }
    if (bytes.size() > kMaxControlSequenceLength) return std::nullopt;
  }
  return bytes;
}

}  // namespace corvina
