#include "dialogs/MacroDialogs.h"

#include "config/StoreTexts.h"
#include "dialogs/DialogTexts.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyboardTexts.h"
#include "platform/Format.h"
#include "platform/UserInterface.h"

namespace corvina::dialogs {

namespace kt = keyboard_texts;
using platform::Format;

namespace {

void Warn(CCorvinaPersistentData& store, const std::string& text) {
  store.Ui().MessageBox(text, kt::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Warning);
}

CCorvinaMacro* FindMacro(CCorvinaPersistentData& store, std::string_view name) {
  return dynamic_cast<CCorvinaMacro*>(store.Find(ObjectKind::kMacro, name));
}

void MenusChanged(CCorvinaPersistentData& store) {
  if (store.macroMenusChanged) store.macroMenusChanged();
}

}  // namespace

CCorvinaKeyboardMap* StoredMap(CCorvinaPersistentData& store, const CCorvinaKeyboardMap& inUse) {
  auto* map = dynamic_cast<CCorvinaKeyboardMap*>(store.Find(ObjectKind::kKeyboardMap, inUse.name));
  return map == &inUse ? map : nullptr;
}

bool NameAndSaveMacro(DialogServices& services, std::shared_ptr<CCorvinaMacro> macro, const std::string& initial) {
  std::string text = initial;
  for (;;) {
    const auto typed = services.askName ? services.askName(Format(store_texts::kSaveAsTitle, texts::kProduct),
                                                           texts::kSaveAsPrompt, text)
                                        : std::nullopt;
    if (!typed) return false;
    if (SaveNewMacro(services.store, macro, *typed, services.store.Ui()) == MacroNaming::kSaved) return true;
    text = *typed;
  }
}

// ------------------------------------------------------------ the menu

std::optional<MacroChoice> DecodeMacroCommand(int command) {
  for (std::size_t m = 0; m < kMacroMenuBases.size(); ++m) {
    const int index = command - kMacroMenuBases[m];
    if (index >= 0 && index <= kMacroMenuShown) return MacroChoice{static_cast<MacroSubmenu>(m), index};
  }
  return std::nullopt;
}

std::optional<std::string> MacroOfCommand(DialogServices& services, const MacroChoice& choice,
                                          const CCorvinaKeyboardMap& map) {
  const std::vector<std::string> names = MacrosOfFamily(services.store, map.TypeCode());
  if (choice.index == kMacroMenuShown) {
    if (names.size() <= static_cast<std::size_t>(kMacroMenuShown) || !services.chooseMacro) return std::nullopt;
    std::optional<std::string> chosen = services.chooseMacro(names);
    if (!chosen || !services.store.Find(ObjectKind::kMacro, *chosen)) return std::nullopt;
    return chosen;
  }
  if (choice.index < 0 || static_cast<std::size_t>(choice.index) >= names.size()) return std::nullopt;
  return names[static_cast<std::size_t>(choice.index)];
}

bool DeleteMacro(DialogServices& services, const std::string& name, CCorvinaKeyboardMap* map) {
  CCorvinaPersistentData& store = services.store;
  if (!store.Delete(ObjectKind::kMacro, name, true)) return false;
  if (map && !map->BindingsOf(kf::kPlayMacro, name).empty()) {
    map->RemoveBindingsOf(kf::kPlayMacro, name);
    store.SaveModified(ObjectKind::kKeyboardMap);
    MenusChanged(store);
  }
  return true;
}

bool AssignMacroKey(DialogServices& services, const std::string& name, CCorvinaKeyboardMap& map) {
  if (!services.typeKey || !services.store.Find(ObjectKind::kMacro, name)) return false;
  const std::optional<KeyCode> key = services.typeKey();
  if (!key) return false;
  if (!map.AddBinding(KeyBinding{kf::kPlayMacro, name, *key, kBindMacro}, true, true, &services.store.Ui()))
    return false;
  services.store.SaveModified(ObjectKind::kKeyboardMap);
  MenusChanged(services.store);
  return true;
}

// ------------------------------------------------------------ the editor

CMacroEditorModel::CMacroEditorModel(DialogServices& services, const std::string& macroName,
                                     const CCorvinaKeyboardMap& map)
    : services_(services), map_(map), macro_(FindMacro(services.store, macroName)) {
  if (macro_) text = macro_->Text();
}

std::string CMacroEditorModel::Title() const {
  return Format(kt::kMacroEditorTitle, macro_ ? macro_->name.c_str() : "", kt::kProductName);
}

std::optional<std::string> CMacroEditorModel::Insertion(KeyCode key, std::string_view typed) const {
  if (!useTerminalKeys) return std::nullopt;
  if (std::optional<std::string> token = MacroEditorKeyText(map_, key)) return token;
  if (typed == "<") return std::string("<<");
  return std::nullopt;
}

bool CMacroEditorModel::Check() const {
  if (text.empty()) {
    Warn(services_.store, kt::kEnterMacroDefinition);
    return false;
  }
  CCorvinaMacro probe(macro_->name, macro_->TypeCode());
  probe.SetText(text);
  if (const std::optional<std::string> problem = probe.Validate()) {
    Warn(services_.store, *problem);
    return false;
  }
  return true;
}

bool CMacroEditorModel::Ok() {
  if (!macro_ || !Check()) return false;
  if (macro_->Text() != text) {
    macro_->SetText(text);
    services_.store.SaveModified(ObjectKind::kMacro);
  }
  return true;
}

bool CMacroEditorModel::SaveAs() {
  if (!macro_ || !Check()) return false;
  auto copy = std::make_shared<CCorvinaMacro>(std::string(), macro_->TypeCode());
  copy->SetText(text);
  if (!NameAndSaveMacro(services_, copy, macro_->name)) return false;
  macro_ = copy.get();
  return true;
}

// ------------------------------------------------------------ type key

std::string CTypeKeyModel::Title() const { return Format(kt::kTypeKeyTitle, kt::kProductName); }

std::string CTypeKeyModel::Prompt() const { return kt::kTypeKeyPrompt; }

CTypeKeyModel::KeyResult CTypeKeyModel::KeyDown(KeyCode key, bool autoRepeat) {
  constexpr std::uint16_t kCapsLock = 0x14;
  if (autoRepeat || mouse_) return KeyResult::kIgnored;
  if (key.virtualKey == kCapsLock) return KeyResult::kBeep;
  const std::uint8_t held = key.modifiers & (kModAlt | kModCtrl | kModShift);
  const std::uint8_t own = key.virtualKey == kVkControl ? kModCtrl : key.virtualKey == kVkAlt ? kModAlt : 0;
  if (own != 0 && (held & ~own) != 0 && captured_) {
    // Ctrl or Alt added to a combination being held: the key stays.
    captured_->modifiers = static_cast<std::uint8_t>(held | (captured_->modifiers & kModExtended));
    return KeyResult::kTaken;
  }
  captured_ = key;
  return KeyResult::kTaken;
}

void CTypeKeyModel::MouseClick(std::uint16_t button, std::uint8_t modifiers, bool doubleClick) {
  if (button != kVkMouseLeft && button != kVkMouseRight) return;
  std::uint8_t m = modifiers & (kModAlt | kModCtrl | kModShift);
  // Only the left button has a double-click key.
  if (doubleClick && button == kVkMouseLeft) m |= kModExtended;
  captured_ = KeyCode{button, m};
  mouse_ = true;
}

void CTypeKeyModel::Retry() {
  captured_.reset();
  mouse_ = false;
}

std::string CTypeKeyModel::CaptureText() const { return captured_ ? FormatKeyText(*captured_) : std::string(); }

std::optional<std::string> CTypeKeyModel::OkProblem() const {
  if (!captured_) return std::nullopt;
  std::string problem = TypedKeyProblem(*captured_);
  if (problem.empty()) return std::nullopt;
  return problem;
}

// ------------------------------------------------------------ keyboard setup

CKeyboardSetupModel::CKeyboardSetupModel(DialogServices& services, const std::string& mapName)
    : services_(services),
      mapName_(mapName),
      map_(dynamic_cast<CCorvinaKeyboardMap*>(services.store.Find(ObjectKind::kKeyboardMap, mapName))) {
  if (map_) {
    working_ = *map_;
    mapName_ = map_->name;
  }
}

std::string CKeyboardSetupModel::Title() const { return KeyboardSetupTitle(working_); }

bool CKeyboardSetupModel::IsVt() const { return IsVtFamily(working_.TypeCode()); }

std::vector<SetupRow> CKeyboardSetupModel::Rows() const { return KeyboardSetupRows(working_, group, &services_.store); }

const SetupRow* CKeyboardSetupModel::Row(int row, std::vector<SetupRow>& rows) const {
  rows = Rows();
  if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) return nullptr;
  return &rows[static_cast<std::size_t>(row)];
}

std::optional<int> CKeyboardSetupModel::AddKey(int row) {
  std::vector<SetupRow> rows;
  const SetupRow* r = Row(row, rows);
  if (!r || !services_.typeKey) return std::nullopt;
  KeyBinding binding{r->target, r->text, {}, r->category};
  if (r->target < 0) {  // the script chooser row
    const std::optional<std::string> file = services_.chooseScriptFile ? services_.chooseScriptFile() : std::nullopt;
    if (!file || file->empty()) return std::nullopt;
    binding = KeyBinding{kf::kRunScript, *file, {}, kBindScript};
  }
  const std::optional<KeyCode> key = services_.typeKey();
  if (!key) return std::nullopt;
  binding.key = *key;
  const std::string text = binding.text;
  const int target = binding.target;
  if (!working_.AddBinding(std::move(binding), true, true, &services_.store.Ui())) return std::nullopt;
  rows = Rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].target == target && rows[i].text == text) return static_cast<int>(i);
  }
  return row;
}

bool CKeyboardSetupModel::ClearEnabled(int row) const {
  std::vector<SetupRow> rows;
  const SetupRow* r = Row(row, rows);
  return r && !r->assignment.empty();
}

void CKeyboardSetupModel::ClearEntry(int row) {
  std::vector<SetupRow> rows;
  if (const SetupRow* r = Row(row, rows); r && r->target >= 0) working_.RemoveBindingsOf(r->target, r->text);
}

void CKeyboardSetupModel::ResetEntry(int row) {
  std::vector<SetupRow> rows;
  if (const SetupRow* r = Row(row, rows); r && r->target >= 0)
    working_.ResetEntry(r->category, r->target, r->text, &services_.store.Ui());
}

void CKeyboardSetupModel::ResetGroup() { working_.ResetCategory(group, &services_.store.Ui()); }

void CKeyboardSetupModel::ResetAll() { working_.ResetAll(); }

bool CKeyboardSetupModel::SaveAs() {
  if (!map_) return false;
  const std::optional<std::string> name = AskNewObjectName(services_, ObjectKind::kKeyboardMap, working_.name);
  if (!name) return false;
  auto copy = std::make_shared<CCorvinaKeyboardMap>(working_);
  copy->name = *name;
  copy->fileName.clear();
  copy->modified = true;
  if (!services_.store.Add(copy, true)) return false;
  map_ = copy.get();
  mapName_ = copy->name;
  working_.name = copy->name;
  working_.fileName = copy->fileName;
  working_.modified = false;
  MenusChanged(services_.store);
  return true;
}

bool CKeyboardSetupModel::SequenceShown(int row) const {
  std::vector<SetupRow> rows;
  return IsVt() && group == kBindTerminal && Row(row, rows) != nullptr;
}

std::string CKeyboardSetupModel::SequenceText(int row) const {
  std::vector<SetupRow> rows;
  const SetupRow* r = SequenceShown(row) ? Row(row, rows) : nullptr;
  if (!r) return {};
  const std::optional<std::string> bytes = working_.ControlSequence(r->target, false);
  return bytes ? FormatControlSequence(*bytes) : std::string();
}

CKeyboardSetupModel::SequenceChange CKeyboardSetupModel::ChangeSequence(int row, const std::string& text) {
  std::vector<SetupRow> rows;
  const SetupRow* r = SequenceShown(row) ? Row(row, rows) : nullptr;
  if (!r) return SequenceChange::kNoRow;
  if (text.empty()) {
    working_.SetControlSequence(r->target, std::nullopt);
    return SequenceChange::kChanged;
  }
  std::optional<std::string> bytes = ParseControlSequence(text);
  if (!bytes || bytes->empty()) {
    Warn(services_.store, kt::kInvalidControlSequence);
    return SequenceChange::kInvalid;
  }
  working_.SetControlSequence(r->target, std::move(bytes));
  return SequenceChange::kChanged;
}

bool CKeyboardSetupModel::Ok() {
  if (!map_) return false;
  if (!working_.modified) return true;
  *map_ = working_;
  const bool saved = services_.store.SaveAll();
  MenusChanged(services_.store);
  return saved;
}

}  // namespace corvina::dialogs
