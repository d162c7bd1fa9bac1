// Qt key events as the stored virtual-key codes and modifier bits: from the
// native X11 key code when there is one (left and right Ctrl, keypad keys
// and NumLock as a PC keyboard has them, whatever the layout), else from
// Qt::Key (synthetic events).
#pragma once

#include <QString>

#include <optional>

class QKeyEvent;

namespace corvina::qt {

struct TranslatedKey {
  int virtualKey = 0;
  int modifiers = 0;        // Alt 1, Ctrl 2, Shift 4, extended 8
  bool modifierKey = false;  // Shift, Ctrl or Alt itself
  // AltGr (ISO level 3) was held: the key is a character of the layout,
  // not a Ctrl+Alt combination.
  bool altGr = false;
};

// Nullopt for keys no PC key stands for.
std::optional<TranslatedKey> TranslateKey(const QKeyEvent& event);

}  // namespace corvina::qt
