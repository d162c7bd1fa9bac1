// What the keyboard-setup dialog and the macro editor list and insert, as
// data: the dialogs only show it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "keyboard/KeyText.h"

namespace corvina {

class CCorvinaKeyboardMap;
class CCorvinaPersistentData;

// One row of the "Function" list of a function group (the groups are the
// binding categories 0 to 4).
struct SetupRow {
  std::string label;       // the "Function" column
  int target = -1;         // -1 for the row that chooses a new script file
  std::string text;        // the macro name or script file name
  std::uint8_t category = 0;
  std::string assignment;  // the "PC Key Assignment" column
};

// System commands, the map's terminal functions (not those never offered),
// characters 32 to 255, the store's macros of the map's family, or the
// script chooser row and every script file the map binds.
std::vector<SetupRow> KeyboardSetupRows(const CCorvinaKeyboardMap& map, std::uint8_t group,
                                        const CCorvinaPersistentData* store);
std::string KeyboardSetupTitle(const CCorvinaKeyboardMap& map);

// The macro editor with "Use terminal emulation keys" ticked: the token a
// key bound to a function inserts; nullopt when the key types its own
// character (characters, macros, scripts and unbound keys).
std::optional<std::string> MacroEditorKeyText(const CCorvinaKeyboardMap& map, KeyCode key);

}  // namespace corvina
