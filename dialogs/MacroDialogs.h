// The Macros menu's commands, the macro editor, the type-key dialog and the
// keyboard-setup dialog without their windows. Questions and refusals go
// through the store's user interface; the window only shows the state.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/SetupDialogs.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/KeyboardSetup.h"
#include "keyboard/Macro.h"

namespace corvina::dialogs {

// The stored map a session's lookups reach (the map object itself, which
// menus and dialogs change); null when the session runs on a built-in layout.
CCorvinaKeyboardMap* StoredMap(CCorvinaPersistentData& store, const CCorvinaKeyboardMap& inUse);

// Asks for a name (starting with `initial`) until the macro is stored under
// it; false when the user cancels.
bool NameAndSaveMacro(DialogServices& services, std::shared_ptr<CCorvinaMacro> macro, const std::string& initial = {});

// A command of the four Macros submenus.
enum class MacroSubmenu { kReplay = 0, kEdit = 1, kDelete = 2, kAssignKey = 3 };
struct MacroChoice {
  MacroSubmenu submenu;
  int index;  // into MacrosOfFamily; kMacroMenuShown for "&More Macros..."
};
std::optional<MacroChoice> DecodeMacroCommand(int command);
// The macro a command names for the map's family; "More Macros..." asks
// `services.chooseMacro` with the whole list. Nullopt when there is none.
std::optional<std::string> MacroOfCommand(DialogServices& services, const MacroChoice& choice,
                                          const CCorvinaKeyboardMap& map);

// Delete: the store asks first; only then do the macro's bindings leave
// `map` (saved), so a refused delete loses nothing.
bool DeleteMacro(DialogServices& services, const std::string& name, CCorvinaKeyboardMap* map);
// Assign Key: the type-key dialog, then the interactive, confirming addition;
// the map is saved and the menus are told.
bool AssignMacroKey(DialogServices& services, const std::string& name, CCorvinaKeyboardMap& map);

class CMacroEditorModel {
 public:
  // `map` is the session's map, for "Use terminal emulation keys".
  CMacroEditorModel(DialogServices& services, const std::string& macroName, const CCorvinaKeyboardMap& map);

  bool Valid() const { return macro_ != nullptr; }
  std::string Title() const;
  std::string text;  // the "Macro definition:" box
  bool useTerminalKeys = false;
  // What a key typed into the box inserts instead of its own text (`typed`
  // is that text): a function's token, or "<<" for "<". Nullopt: the box
  // takes the key itself.
  std::optional<std::string> Insertion(KeyCode key, std::string_view typed) const;
  // OK: refused (told) when empty or invalid; otherwise the text is stored.
  bool Ok();
  // Save As: the text, checked the same way, in a new macro of the family;
  // the editor goes on with the new macro.
  bool SaveAs();

 private:
  bool Check() const;

  DialogServices& services_;
  const CCorvinaKeyboardMap& map_;
  CCorvinaMacro* macro_ = nullptr;
};

// The type-key dialog's capture.
class CTypeKeyModel {
 public:
  std::string Title() const;
  std::string Prompt() const;
  enum class KeyResult { kTaken, kBeep, kIgnored };
  // A key-down in the capture box (modifiers as Part of the key code,
  // the key's own bit included for Shift, Ctrl and Alt).
  KeyResult KeyDown(KeyCode key, bool autoRepeat);
  // A click over the prompt: button 1 or 2; a left double click has bit 8.
  void MouseClick(std::uint16_t button, std::uint8_t modifiers, bool doubleClick);
  void Retry();
  bool Captured() const { return captured_.has_value(); }
  bool MouseCaptured() const { return mouse_; }
  std::optional<KeyCode> Key() const { return captured_; }
  // The capture box: the display text of the combination.
  std::string CaptureText() const;
  // OK: nullopt when the key may be bound, else the refusal (shown by the window).
  std::optional<std::string> OkProblem() const;

 private:
  std::optional<KeyCode> captured_;
  bool mouse_ = false;
};

class CKeyboardSetupModel {
 public:
  CKeyboardSetupModel(DialogServices& services, const std::string& mapName);

  bool Valid() const { return map_ != nullptr; }
  std::string Title() const;
  // The map being edited (another after Save As).
  const std::string& MapName() const { return mapName_; }
  const CCorvinaKeyboardMap& Working() const { return working_; }
  bool IsVt() const;

  std::uint8_t group = kBindTerminal;
  std::vector<SetupRow> Rows() const;
  // Rows are indices into Rows(); out-of-range rows do nothing.
  // "Add Key...": the type-key dialog (after the script file chooser on the
  // chooser row). Returns the row the new binding is listed in, or nullopt.
  std::optional<int> AddKey(int row);
  bool ClearEnabled(int row) const;
  void ClearEntry(int row);
  void ResetEntry(int row);
  void ResetGroup();
  void ResetAll();
  bool SaveAs();

  // "Ctrl Seq:" (VT maps, "Terminal Keys", a row chosen).
  bool SequenceShown(int row) const;
  std::string SequenceText(int row) const;
  enum class SequenceChange { kChanged, kInvalid, kNoRow };
  // kInvalid has been told; kNoRow wants a beep.
  SequenceChange ChangeSequence(int row, const std::string& text);

  // OK: the working copy goes into the map; a changed map is saved and the
  // menus are told.
  bool Ok();

 private:
  const SetupRow* Row(int row, std::vector<SetupRow>& rows) const;

  DialogServices& services_;
  std::string mapName_;
  CCorvinaKeyboardMap* map_ = nullptr;
  CCorvinaKeyboardMap working_;
};

}  // namespace corvina::dialogs
