// CCorvinaKeyboardMap: binds PC key combinations and mouse clicks to key
// functions, characters, macros and scripts, and for VT maps holds the
// control sequences that replace VT functions' defaults. One map serves
// every session of its family; each lives in its own ".tkm" file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/NamedObject.h"
#include "keyboard/KeyText.h"

namespace corvina {

namespace platform {
class UserInterface;
}
class CArchiveReader;

// What a binding produces.
enum BindingCategory : std::uint8_t {
  kBindSystem = 0,     // a system command, performed by the frame
  kBindTerminal = 1,   // a terminal function
  kBindCharacter = 2,  // one character, 0 to 255
  kBindMacro = 3,      // plays the macro named by the text
  kBindScript = 4,     // runs the script file named by the text
};
inline constexpr int kBindingCategoryCount = 5;

struct KeyBinding {
  int target = -1;   // identifier, 33300, 33301 or a character
  std::string text;  // the macro name or the script file name
  KeyCode key;
  std::uint8_t category = kBindTerminal;
  friend bool operator==(const KeyBinding&, const KeyBinding&) = default;
};

// One row of a built-in layout.
struct DefaultBinding {
  int id;
  std::string_view keyText;
};

// The built-in rows of a family: the terminal functions, and the system
// commands (fewer for VT maps: Ctrl letters belong to the host). Empty for
// kinds without a family.
std::span<const DefaultBinding> DefaultTerminalBindings(unsigned type);
std::span<const DefaultBinding> DefaultSystemBindings(unsigned type);

// Why the type-key dialog refuses a captured combination: an invalid Ctrl
// or Alt combination or a reserved key. Empty when it may be bound.
std::string TypedKeyProblem(KeyCode key);

inline constexpr char kKeyboardMapSection[] = "Keyboard Map";
inline constexpr char kControlSequencesSection[] = "Control Sequences";
inline constexpr char kKeyboardMapClassName[] = "CCorvinaKeyboardMap";

class CCorvinaKeyboardMap : public CCorvinaNamedObject {
 public:
  // Keys above this never match: the key index has one entry per code below it.
  static constexpr int kIndexedKeys = 256;

  // No name, type 0, no bindings.
  CCorvinaKeyboardMap() { RebuildIndex(); }
  // Named, of the family of `type`, without bindings.
  CCorvinaKeyboardMap(std::string mapName, unsigned type);
  // The family's default map: its default name and the full built-in layout.
  static std::shared_ptr<CCorvinaKeyboardMap> CreateDefault(unsigned type);
  // The built-in layout of a family, for a session whose map is gone.
  static const CCorvinaKeyboardMap& BuiltIn(unsigned type);

  ObjectKind Kind() const override { return ObjectKind::kKeyboardMap; }
  // The family: 16, 32, 259, or 0 for a map without one.
  unsigned TypeCode() const override { return type_; }
  // "3270 Default", "5250 Default", "VT100 Default"; empty without a family.
  std::string_view DefaultLayoutName() const;

  // Sorted by virtual key; equal keys in the order they were added.
  const std::vector<KeyBinding>& Bindings() const { return bindings_; }
  const KeyBinding* FindBinding(KeyCode key) const;
  // -1 when the key is not bound.
  int TargetOf(KeyCode key) const;
  bool IsRepeatable(int target) const;
  // The bindings of a target (and text, when one is given), in binding order.
  std::vector<const KeyBinding*> BindingsOf(int target, std::optional<std::string_view> text = {}) const;
  // Their key texts joined by ", ": the keyboard-setup list's assignment column.
  std::string AssignmentText(int target, std::optional<std::string_view> text = {}) const;

  // VT maps only: the override or the default sequence, or (vt52) the VT52
  // sequence. Nullopt when the function sends nothing or is no VT function.
  std::optional<std::string> ControlSequence(int id, bool vt52) const;
  bool HasControlSequenceOverride(int id) const;
  // Nullopt or an empty sequence removes the override.
  void SetControlSequence(int id, std::optional<std::string> bytes);

  // Adds a binding; a binding of the same key is replaced in place.
  // `keyRules` (an interactive addition) applies the mouse-only, Ctrl and Alt
  // rules; `confirm` asks before replacing another target's binding. The
  // questions and refusals go to `ui` (null: every question is answered No).
  // False when a rule or an answer refused it; the map is then unchanged.
  bool AddBinding(KeyBinding binding, bool keyRules, bool confirm, platform::UserInterface* ui);
  // Every binding of the target (with that text, when one is given).
  void RemoveBindingsOf(int target, std::optional<std::string_view> text = {});
  void RemoveBinding(KeyCode key);
  void RemoveCategory(std::uint8_t category);
  // Categories 0 and 1 get their built-in rows back; the others end empty.
  // With `ui` the additions confirm before replacing other bindings.
  void ResetCategory(std::uint8_t category, platform::UserInterface* ui = nullptr);
  // The target's bindings go; a system or terminal function gets its
  // built-in keys back.
  void ResetEntry(std::uint8_t category, int target, std::optional<std::string_view> text = {},
                  platform::UserInterface* ui = nullptr);
  // Only the built-in layout remains (no overrides are touched).
  void ResetAll();

  // The "Keyboard Map" and "Control Sequences" sections. ReadFrom fails
  // without a name or with a type other than "3270", "5250" and "VT100";
  // a file without any binding gets the built-in layout.
  bool ReadFrom(const platform::IniFile& ini);
  void WriteTo(platform::IniFile& ini) const;
  bool Load(const std::string& dataFolder, const std::string& file, std::string* error = nullptr);
  bool Save(const std::string& dataFolder, const std::string& file, std::string* error = nullptr) override;

 private:
  friend std::shared_ptr<CCorvinaKeyboardMap> ReadLegacyKeyboardMap(CArchiveReader& archive);

  // Puts the binding in key order, replacing one of the same key.
  void Insert(KeyBinding binding);
  void RebuildIndex();
  void AddDefaults(std::uint8_t category, std::optional<int> onlyTarget, platform::UserInterface* ui);
  bool KeyRulesAllow(const KeyBinding& binding, platform::UserInterface* ui) const;
  std::string DescribeTarget(const KeyBinding& binding) const;

  unsigned type_ = 0;
  std::vector<KeyBinding> bindings_;
  std::array<std::int32_t, kIndexedKeys> index_{};  // first binding of each key, or -1
  std::vector<std::optional<std::string>> overrides_;  // empty, or one per VT sequence
};

// The archived form of old settings. Bindings the map file could not hold
// (no key name, unknown functions, codes above 255) are dropped; counts are
// checked against the archive's size before anything is read. Null without
// a name or a family.
std::shared_ptr<CCorvinaKeyboardMap> ReadLegacyKeyboardMap(CArchiveReader& archive);

}  // namespace corvina
