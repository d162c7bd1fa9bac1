#include "keyboard/KeyboardSetup.h"

#include <set>

#include "config/PersistentData.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/KeyboardTexts.h"
#include "keyboard/Macro.h"
#include "platform/Format.h"

namespace corvina {

namespace kt = keyboard_texts;
using platform::Format;

std::vector<SetupRow> KeyboardSetupRows(const CCorvinaKeyboardMap& map, std::uint8_t group,
                                        const CCorvinaPersistentData* store) {
  std::vector<SetupRow> rows;
  auto add = [&](std::string label, int target, std::string text) {
    std::string assignment = map.AssignmentText(target, text);
    rows.push_back({std::move(label), target, std::move(text), group, std::move(assignment)});
  };
  switch (group) {
    case kBindSystem:
    case kBindTerminal:
      for (const KeyFunctionRow& row : KeyFunctionTable(group == kBindSystem ? 0 : map.TypeCode())) {
        if (row.repeatClass != kRepeatClassHidden) add(std::string(row.name), row.id, {});
      }
      break;
    case kBindCharacter:
      for (int c = 32; c < 256; ++c) add(Format(kt::kCharacterRow, c, c, c), c, {});
      break;
    case kBindMacro:
      if (store) {
        for (const auto& [key, macro] : store->Objects(ObjectKind::kMacro)) {
          if (macro->TypeCode() == map.TypeCode()) add(macro->name, kf::kPlayMacro, macro->name);
        }
      }
      break;
    case kBindScript: {
      rows.push_back({kt::kSelectScriptRow, -1, {}, group, {}});
      std::set<std::string> files;
      for (const KeyBinding& b : map.Bindings()) {
        if (b.target == kf::kRunScript && files.insert(b.text).second) add(b.text, kf::kRunScript, b.text);
      }
      break;
    }
    default:
      break;
  }
  return rows;
}

std::string KeyboardSetupTitle(const CCorvinaKeyboardMap& map) {
  return Format(kt::kKeyboardSetupTitle, map.name.c_str(), kt::kProductName);
}

std::optional<std::string> MacroEditorKeyText(const CCorvinaKeyboardMap& map, KeyCode key) {
  const KeyBinding* b = map.FindBinding(key);
  if (!b || (b->category != kBindSystem && b->category != kBindTerminal)) return std::nullopt;
  const std::string_view name = KeyFunctionName(b->category == kBindSystem ? 0 : map.TypeCode(), b->target);
  if (name.empty()) return std::nullopt;
  return MacroToken(name);
}

}  // namespace corvina
