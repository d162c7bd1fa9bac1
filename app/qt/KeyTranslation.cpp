#include "app/qt/KeyTranslation.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include "keyboard/KeyText.h"
#include "keyboard/NativeKeys.h"

namespace corvina::qt {

namespace {

// X11 modifier state bits.
constexpr unsigned kX11NumLock = 0x10;   // Mod2
constexpr unsigned kX11Level3 = 0x80;    // Mod5: AltGr on layouts that have it

struct QtKeyRow {
  int key;
  std::uint16_t virtualKey;
  bool extended;
};

// Without a native key code: Qt::Key, the keypad told by Qt::KeypadModifier.
constexpr QtKeyRow kQtKeys[] = {
    {Qt::Key_Escape, 0x1B, false},   {Qt::Key_Tab, 0x09, false},       {Qt::Key_Backtab, 0x09, false},
    {Qt::Key_Backspace, 0x08, false}, {Qt::Key_Return, 0x0D, false},   {Qt::Key_Enter, 0x0D, true},
    {Qt::Key_Insert, 0x2D, true},    {Qt::Key_Delete, 0x2E, true},     {Qt::Key_Pause, 0x13, false},
    {Qt::Key_Print, 0x2C, false},    {Qt::Key_Home, 0x24, true},       {Qt::Key_End, 0x23, true},
    {Qt::Key_Left, 0x25, true},      {Qt::Key_Up, 0x26, true},         {Qt::Key_Right, 0x27, true},
    {Qt::Key_Down, 0x28, true},      {Qt::Key_PageUp, 0x21, true},     {Qt::Key_PageDown, 0x22, true},
    {Qt::Key_Shift, 0x10, false},    {Qt::Key_Control, 0x11, false},   {Qt::Key_Alt, 0x12, false},
    {Qt::Key_AltGr, 0x12, true},     {Qt::Key_Meta, 0x5B, true},       {Qt::Key_Menu, 0x5D, true},
    {Qt::Key_CapsLock, 0x14, false}, {Qt::Key_NumLock, 0x90, true},    {Qt::Key_ScrollLock, 0x91, false},
    {Qt::Key_Space, 0x20, false},    {Qt::Key_Clear, 0x0C, false},
    {Qt::Key_Semicolon, 0xBA, false}, {Qt::Key_Colon, 0xBA, false},    {Qt::Key_Equal, 0xBB, false},
    {Qt::Key_Plus, 0xBB, false},     {Qt::Key_Comma, 0xBC, false},     {Qt::Key_Less, 0xBC, false},
    {Qt::Key_Minus, 0xBD, false},    {Qt::Key_Underscore, 0xBD, false}, {Qt::Key_Period, 0xBE, false},
    {Qt::Key_Greater, 0xBE, false},  {Qt::Key_Slash, 0xBF, false},     {Qt::Key_Question, 0xBF, false},
    {Qt::Key_QuoteLeft, 0xC0, false}, {Qt::Key_AsciiTilde, 0xC0, false}, {Qt::Key_BracketLeft, 0xDB, false},
    {Qt::Key_BraceLeft, 0xDB, false}, {Qt::Key_Backslash, 0xDC, false}, {Qt::Key_Bar, 0xDC, false},
    {Qt::Key_BracketRight, 0xDD, false}, {Qt::Key_BraceRight, 0xDD, false}, {Qt::Key_Apostrophe, 0xDE, false},
    {Qt::Key_QuoteDbl, 0xDE, false},
};

// Keypad keys without a native code: digits with NumLock, cursor keys without.
std::optional<NativeKey> KeypadKey(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return NativeKey{static_cast<std::uint16_t>(0x60 + key - Qt::Key_0), false};
  switch (key) {
    case Qt::Key_Asterisk: return NativeKey{0x6A, false};
    case Qt::Key_Plus: return NativeKey{0x6B, false};
    case Qt::Key_Minus: return NativeKey{0x6D, false};
    case Qt::Key_Period: return NativeKey{0x6E, false};
    case Qt::Key_Slash: return NativeKey{0x6F, true};
    case Qt::Key_Enter: return NativeKey{0x0D, true};
    case Qt::Key_Home: return NativeKey{0x24, false};
    case Qt::Key_End: return NativeKey{0x23, false};
    case Qt::Key_Left: return NativeKey{0x25, false};
    case Qt::Key_Up: return NativeKey{0x26, false};
    case Qt::Key_Right: return NativeKey{0x27, false};
    case Qt::Key_Down: return NativeKey{0x28, false};
    case Qt::Key_PageUp: return NativeKey{0x21, false};
    case Qt::Key_PageDown: return NativeKey{0x22, false};
    case Qt::Key_Insert: return NativeKey{0x2D, false};
    case Qt::Key_Delete: return NativeKey{0x2E, false};
    case Qt::Key_Clear: return NativeKey{0x0C, false};
    default: return std::nullopt;
  }
}

std::optional<NativeKey> FromQtKey(int key, bool keypad) {
  if (keypad) {
    if (auto k = KeypadKey(key)) return k;
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return NativeKey{static_cast<std::uint16_t>('A' + key - Qt::Key_A), false};
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return NativeKey{static_cast<std::uint16_t>('0' + key - Qt::Key_0), false};
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return NativeKey{static_cast<std::uint16_t>(0x70 + key - Qt::Key_F1), false};
  // Shifted digits of a US layout.
  static constexpr struct {
    int key;
    char digit;
  } kShiftedDigits[] = {{Qt::Key_Exclam, '1'}, {Qt::Key_At, '2'},        {Qt::Key_NumberSign, '3'},
                        {Qt::Key_Dollar, '4'}, {Qt::Key_Percent, '5'},   {Qt::Key_AsciiCircum, '6'},
                        {Qt::Key_Ampersand, '7'}, {Qt::Key_Asterisk, '8'}, {Qt::Key_ParenLeft, '9'},
                        {Qt::Key_ParenRight, '0'}};
  for (const auto& d : kShiftedDigits)
    if (d.key == key) return NativeKey{static_cast<std::uint16_t>(d.digit), false};
  for (const QtKeyRow& row : kQtKeys)
    if (row.key == key) return NativeKey{row.virtualKey, row.extended};
  return std::nullopt;
}

}  // namespace

std::optional<TranslatedKey> TranslateKey(const QKeyEvent& event) {
  const unsigned native = event.nativeModifiers();
  std::optional<NativeKey> key;
  if (event.nativeScanCode() != 0) key = KeyOfX11KeyCode(event.nativeScanCode(), (native & kX11NumLock) != 0);
  if (!key) key = FromQtKey(event.key(), (event.modifiers() & Qt::KeypadModifier) != 0);
  if (!key) return std::nullopt;
  TranslatedKey out;
  out.virtualKey = key->virtualKey;
  const Qt::KeyboardModifiers m = event.modifiers();
  out.altGr = (native & kX11Level3) != 0 || (m & Qt::GroupSwitchModifier) || event.key() == Qt::Key_AltGr;
  if (m & Qt::ShiftModifier) out.modifiers |= kModShift;
  if (!out.altGr) {
    if (m & Qt::ControlModifier) out.modifiers |= kModCtrl;
    if (m & Qt::AltModifier) out.modifiers |= kModAlt;
  }
  if (key->extended) out.modifiers |= kModExtended;
  out.modifierKey = out.virtualKey == kVkShift || out.virtualKey == kVkControl || out.virtualKey == kVkAlt;
  // A modifier key carries its own bit, as the stored key texts have it
  // ("RightCtrl" is Ctrl with the extended bit).
  if (out.virtualKey == kVkShift) out.modifiers |= kModShift;
  if (out.virtualKey == kVkControl) out.modifiers |= kModCtrl;
  if (out.virtualKey == kVkAlt && !out.altGr) out.modifiers |= kModAlt;
  return out;
}

}  // namespace corvina::qt
