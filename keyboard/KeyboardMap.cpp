#include "keyboard/KeyboardMap.h"

#include <algorithm>
#include <map>

#include "config/Archive.h"
#include "config/LegacySettings.h"
#include "config/SessionProfile.h"
#include "config/TerminalTypes.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyboardTexts.h"
#include "platform/Format.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"

namespace corvina {

namespace kt = keyboard_texts;
using platform::Format;

namespace {

// A legacy binding is a 16-bit key, a modifier byte and a 32-bit target.
constexpr std::size_t kLegacyBindingSize = 7;
// Bits of the modifier byte that mean anything.
constexpr std::uint8_t kModifierBits = kModAlt | kModCtrl | kModShift | kModExtended;
constexpr std::uint8_t kModifierKeys = kModAlt | kModCtrl | kModShift;

bool IsMouseKey(std::uint16_t virtualKey) {
  return virtualKey == kVkMouseLeft || virtualKey == kVkMouseRight || virtualKey == kVkMouseMiddle;
}

bool IsMouseOnlyFunction(int id) {
  return id == kf::ibm3270::kCursorMove || id == kf::ibm5250::kCursorMove || id == kf::kHotspot ||
         id == kf::kCursorTo;
}

bool IsVtSequenceId(int id) { return id >= kFirstVtSequenceId && id < kFirstVtSequenceId + kVtSequenceCount; }

bool Ask(platform::UserInterface* ui, const std::string& question) {
  return ui && ui->MessageBox(question, kt::kCaption, platform::Buttons::YesNo, platform::Answer::No,
                              platform::Icon::Question) == platform::Answer::Yes;
}

void Tell(platform::UserInterface* ui, const std::string& text) {
  if (ui) ui->MessageBox(text, kt::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Warning);
}

// Calls `piece` for every ":"-separated part of a value.
template <typename F>
void ForEachPiece(std::string_view value, F piece) {
  for (;;) {
    const std::size_t colon = value.find(':');
    piece(value.substr(0, colon));
    if (colon == std::string_view::npos) return;
    value.remove_prefix(colon + 1);
  }
}

// Key texts never hold ":", so either end of a value can be the key text.
struct Split {
  std::string_view before, after;
};
std::optional<Split> SplitAt(std::string_view value, std::size_t colon) {
  if (colon == std::string_view::npos) return std::nullopt;
  return Split{value.substr(0, colon), value.substr(colon + 1)};
}

}  // namespace

std::string TypedKeyProblem(KeyCode key) {
  const std::uint8_t held = key.modifiers & kModifierKeys;
  const std::uint16_t vk = key.virtualKey;
  if ((vk == kVkControl && held != kModCtrl) || (vk == kVkAlt && held != kModAlt)) return kt::kInvalidKeySelection;
  const char* reason = nullptr;
  if (vk == 0x2C) {  // PrtScr
    if (held != 0 && held != kModAlt) reason = kt::kReasonUsedBySystem;
  } else if ((held & kModAlt) && !(held & kModCtrl)) {
    switch (vk) {
      case 0x09: case 0x1B: reason = kt::kReasonUsedBySystem; break;
      case ' ': reason = kt::kReasonSystemMenu; break;
      case 'E': reason = kt::kReasonEditMenu; break;
      case 'H': reason = kt::kReasonHelpMenu; break;
      case 'I': reason = kt::kReasonInternetMenu; break;
      case 'M': reason = kt::kReasonMacrosMenu; break;
      case 'O': reason = kt::kReasonHostMenu; break;
      case 'P': reason = kt::kReasonSetupMenu; break;
      case 'V': reason = kt::kReasonViewMenu; break;
      case 'W': reason = kt::kReasonWindowMenu; break;
      default: break;
    }
  } else if ((vk == 0x1B && held == kModCtrl) || (vk == 0x2E && (held & (kModCtrl | kModAlt)) == (kModCtrl | kModAlt))) {
    reason = kt::kReasonUsedBySystem;  // Ctrl+Esc, Ctrl+Alt+Del
  }
  if (reason == nullptr && ((vk >= 0x60 && vk <= 0x69) || vk == 0x6E) && (held & kModShift))
    reason = kt::kReasonNotConfigurable;
  return reason ? Format(kt::kNotConfigurable, reason) : std::string();
}

// ---------------------------------------------------------------- creating

CCorvinaKeyboardMap::CCorvinaKeyboardMap(std::string mapName, unsigned type) : type_(FamilyType(type)) {
  name = std::move(mapName);
  RebuildIndex();
}

std::shared_ptr<CCorvinaKeyboardMap> CCorvinaKeyboardMap::CreateDefault(unsigned type) {
  auto map = std::make_shared<CCorvinaKeyboardMap>(std::string(DefaultObjectNameForKind(type)), type);
  map->ResetAll();
  return map;
}

const CCorvinaKeyboardMap& CCorvinaKeyboardMap::BuiltIn(unsigned type) {
  static const std::shared_ptr<CCorvinaKeyboardMap> maps[] = {CreateDefault(kKind3278), CreateDefault(kKind5250),
                                                              CreateDefault(kKindVt100), std::make_shared<CCorvinaKeyboardMap>()};
  switch (FamilyType(type)) {
    case kKind3278: return *maps[0];
    case kKind5250: return *maps[1];
    case kKindVt100: return *maps[2];
    default: return *maps[3];
  }
}

std::string_view CCorvinaKeyboardMap::DefaultLayoutName() const { return DefaultObjectNameForKind(type_); }

// ----------------------------------------------------------------- finding

const KeyBinding* CCorvinaKeyboardMap::FindBinding(KeyCode key) const {
  if (key.virtualKey >= kIndexedKeys) return nullptr;
  for (std::int32_t i = index_[key.virtualKey]; i >= 0 && static_cast<std::size_t>(i) < bindings_.size(); ++i) {
    const KeyBinding& b = bindings_[static_cast<std::size_t>(i)];
    if (b.key.virtualKey != key.virtualKey) break;
    if (b.key.modifiers == key.modifiers) return &b;
  }
  return nullptr;
}

int CCorvinaKeyboardMap::TargetOf(KeyCode key) const {
  const KeyBinding* b = FindBinding(key);
  return b ? b->target : -1;
}

bool CCorvinaKeyboardMap::IsRepeatable(int target) const { return IsRepeatableTarget(type_, target); }

std::vector<const KeyBinding*> CCorvinaKeyboardMap::BindingsOf(int target, std::optional<std::string_view> text) const {
  std::vector<const KeyBinding*> found;
  for (const KeyBinding& b : bindings_) {
    if (b.target == target && (!text || b.text == *text)) found.push_back(&b);
  }
  return found;
}

std::string CCorvinaKeyboardMap::AssignmentText(int target, std::optional<std::string_view> text) const {
  std::string joined;
  for (const KeyBinding* b : BindingsOf(target, text)) {
    if (!joined.empty()) joined += kt::kAssignmentSeparator;
    joined += FormatKeyText(b->key);
  }
  return joined;
}

// ------------------------------------------------------- control sequences

std::optional<std::string> CCorvinaKeyboardMap::ControlSequence(int id, bool vt52) const {
  if (!IsVtFamily(type_) || !IsVtSequenceId(id)) return std::nullopt;
  const std::size_t i = static_cast<std::size_t>(id - kFirstVtSequenceId);
  if (!vt52 && i < overrides_.size() && overrides_[i]) return overrides_[i];
  const std::string_view sequence = vt52 ? Vt52Sequence(id) : VtDefaultSequence(id);
  if (sequence.empty()) return std::nullopt;
  return std::string(sequence);
}

bool CCorvinaKeyboardMap::HasControlSequenceOverride(int id) const {
  if (!IsVtSequenceId(id)) return false;
  const std::size_t i = static_cast<std::size_t>(id - kFirstVtSequenceId);
  return i < overrides_.size() && overrides_[i].has_value();
}

void CCorvinaKeyboardMap::SetControlSequence(int id, std::optional<std::string> bytes) {
  if (!IsVtFamily(type_) || !IsVtSequenceId(id)) return;
  if (bytes && (bytes->empty() || bytes->size() > kMaxControlSequenceLength)) bytes.reset();
  if (!bytes && overrides_.empty()) return;
  overrides_.resize(kVtSequenceCount);
  overrides_[static_cast<std::size_t>(id - kFirstVtSequenceId)] = std::move(bytes);
  modified = true;
}

// ----------------------------------------------------------------- editing

void CCorvinaKeyboardMap::RebuildIndex() {
  index_.fill(-1);
  for (std::size_t i = bindings_.size(); i-- > 0;) index_[bindings_[i].key.virtualKey] = static_cast<std::int32_t>(i);
}

void CCorvinaKeyboardMap::Insert(KeyBinding binding) {
  // Only keys the index covers can ever be found again.
  if (binding.key.virtualKey == 0 || binding.key.virtualKey >= kIndexedKeys) return;
  if (const KeyBinding* same = FindBinding(binding.key)) {
    bindings_[static_cast<std::size_t>(same - bindings_.data())] = std::move(binding);
    return;
  }
  const auto at = std::upper_bound(bindings_.begin(), bindings_.end(), binding.key.virtualKey,
                                   [](std::uint16_t vk, const KeyBinding& b) { return vk < b.key.virtualKey; });
  bindings_.insert(at, std::move(binding));
  RebuildIndex();
}

std::string CCorvinaKeyboardMap::DescribeTarget(const KeyBinding& b) const {
  switch (b.category) {
    case kBindSystem: return std::string(KeyFunctionName(0, b.target));
    case kBindCharacter: return std::string(1, static_cast<char>(b.target));
    case kBindMacro: return Format(kt::kMacroTarget, b.text.c_str());
    case kBindScript: return Format(kt::kScriptTarget, b.text.c_str());
    default: {
      std::string text(KeyFunctionName(type_, b.target));
      if (b.target == kf::kRunScript) text += ": " + b.text;
      return text;
    }
  }
}

bool CCorvinaKeyboardMap::KeyRulesAllow(const KeyBinding& b, platform::UserInterface* ui) const {
  const std::uint16_t vk = b.key.virtualKey;
  const bool extended = (b.key.modifiers & kModExtended) != 0;
  if (b.category == kBindTerminal && IsMouseOnlyFunction(b.target) && !IsMouseKey(vk)) {
    Tell(ui, Format(kt::kMouseOnlyFunction, std::string(KeyFunctionName(type_, b.target)).c_str()));
    return false;
  }
  // Left Ctrl is the Ctrl key with the Ctrl bit, right Ctrl has the extended bit too.
  constexpr KeyCode kLeftCtrl{kVkControl, kModCtrl}, kRightCtrl{kVkControl, kModCtrl | kModExtended};
  if (vk == kVkControl) {
    if (FindBinding(extended ? kLeftCtrl : kRightCtrl) && !Ask(ui, kt::kBothCtrlKeys)) return false;
  } else if ((b.key.modifiers & kModCtrl) && FindBinding(kLeftCtrl) && FindBinding(kRightCtrl) &&
             !Ask(ui, kt::kCtrlKeysConfigured)) {
    return false;
  }
  if (vk == kVkAlt && FindBinding(KeyCode{kVkAlt, static_cast<std::uint8_t>(extended ? kModAlt : kModAlt | kModExtended)})) {
    Tell(ui, kt::kBothAltKeys);
    return false;
  }
  return true;
}

bool CCorvinaKeyboardMap::AddBinding(KeyBinding binding, bool keyRules, bool confirm, platform::UserInterface* ui) {
  if (binding.key.virtualKey == 0 || binding.key.virtualKey >= kIndexedKeys) return false;
  if (keyRules && !KeyRulesAllow(binding, ui)) return false;
  if (confirm) {
    const KeyBinding* old = FindBinding(binding.key);
    if (old && (old->target != binding.target || old->text != binding.text)) {
      const std::string question = Format(kt::kAlreadyAssigned, FormatKeyText(binding.key).c_str(),
                                          DescribeTarget(*old).c_str());
      if (!Ask(ui, question)) return false;
    }
  }
  Insert(std::move(binding));
  modified = true;
  return true;
}

void CCorvinaKeyboardMap::RemoveBindingsOf(int target, std::optional<std::string_view> text) {
  const std::size_t before = bindings_.size();
  std::erase_if(bindings_, [&](const KeyBinding& b) { return b.target == target && (!text || b.text == *text); });
  if (bindings_.size() == before) return;
  RebuildIndex();
  modified = true;
}

void CCorvinaKeyboardMap::RemoveBinding(KeyCode key) {
  const KeyBinding* b = FindBinding(key);
  if (!b) return;
  bindings_.erase(bindings_.begin() + (b - bindings_.data()));
  RebuildIndex();
  modified = true;
}

void CCorvinaKeyboardMap::RemoveCategory(std::uint8_t category) {
  std::erase_if(bindings_, [&](const KeyBinding& b) { return b.category == category; });
  RebuildIndex();
  modified = true;
}

void CCorvinaKeyboardMap::AddDefaults(std::uint8_t category, std::optional<int> onlyTarget,
                                      platform::UserInterface* ui) {
  if (category != kBindSystem && category != kBindTerminal) return;
  for (const DefaultBinding& row : category == kBindSystem ? DefaultSystemBindings(type_) : DefaultTerminalBindings(type_)) {
    if (onlyTarget && row.id != *onlyTarget) continue;
    if (const std::optional<KeyCode> key = ParseKeyText(row.keyText))
      AddBinding(KeyBinding{row.id, {}, *key, category}, false, ui != nullptr, ui);
  }
}

void CCorvinaKeyboardMap::ResetCategory(std::uint8_t category, platform::UserInterface* ui) {
  RemoveCategory(category);
  AddDefaults(category, std::nullopt, ui);
}

void CCorvinaKeyboardMap::ResetEntry(std::uint8_t category, int target, std::optional<std::string_view> text,
                                     platform::UserInterface* ui) {
  RemoveBindingsOf(target, text);
  AddDefaults(category, target, ui);
  modified = true;
}

void CCorvinaKeyboardMap::ResetAll() {
  bindings_.clear();
  RebuildIndex();
  AddDefaults(kBindTerminal, std::nullopt, nullptr);
  AddDefaults(kBindSystem, std::nullopt, nullptr);
  modified = true;
}

// ------------------------------------------------------------------- files

bool CCorvinaKeyboardMap::ReadFrom(const platform::IniFile& ini) {
  const CIniSection section(ini, kKeyboardMapSection);
  CCorvinaKeyboardMap read(section.Get("Name"), FamilyTypeOfName(section.Get("Type")));
  if (read.name.empty() || read.type_ == 0) return false;
  auto add = [&read](std::string_view keyText, int target, std::uint8_t category, std::string_view text) {
    if (const std::optional<KeyCode> key = ParseKeyText(keyText))
      read.Insert(KeyBinding{target, std::string(text), *key, category});
  };
  for (const auto& table : {std::pair{kBindSystem, 0u}, std::pair{kBindTerminal, read.type_}}) {
    for (const KeyFunctionRow& row : KeyFunctionTable(table.second)) {
      if (const std::string* value = section.Find(row.name))
        ForEachPiece(*value, [&](std::string_view piece) { add(piece, row.id, table.first, {}); });
    }
  }
  // Numbered keys end at the first that is missing; there cannot be more than the section holds.
  for (std::size_t n = 1; n <= section.Size(); ++n) {
    const std::string* value = section.Find(Format("Script_%zu", n));
    if (!value || value->empty()) break;
    if (const auto parts = SplitAt(*value, value->find(':')); parts && !parts->after.empty())
      add(parts->before, kf::kRunScript, kBindScript, parts->after);
  }
  for (std::size_t n = 1; n <= section.Size(); ++n) {
    const std::string* value = section.Find(Format("Macro_%zu", n));
    if (!value || value->empty()) break;
    // The macro name may hold ":" itself; the key text after it never does.
    if (const auto parts = SplitAt(*value, value->rfind(':')); parts && !parts->before.empty())
      add(parts->after, kf::kPlayMacro, kBindMacro, parts->before);
  }
  for (int c = 0; c < 256; ++c) {
    if (const std::string* value = section.Find(Format("Char%d", c)))
      ForEachPiece(*value, [&](std::string_view piece) { add(piece, c, kBindCharacter, {}); });
  }
  if (IsVtFamily(read.type_)) {
    const CIniSection sequences(ini, kControlSequencesSection);
    for (const KeyFunctionRow& row : KeyFunctionTable(read.type_)) {
      const std::string* value = sequences.Find(row.name);
      if (!value || value->empty() || !IsVtSequenceId(row.id)) continue;
      if (std::optional<std::string> bytes = ParseControlSequence(*value)) read.SetControlSequence(row.id, std::move(bytes));
    }
  }
  if (read.bindings_.empty()) read.ResetAll();
  read.fileName = fileName;
  read.modified = false;
  *this = std::move(read);
  return true;
}

void CCorvinaKeyboardMap::WriteTo(platform::IniFile& ini) const {
  ini.DeleteSection(kKeyboardMapSection);
  ini.DeleteSection(kControlSequencesSection);
  ini.SetString(kKeyboardMapSection, "Name", name);
  ini.SetString(kKeyboardMapSection, "Type", FamilyTypeName(type_));
  for (unsigned kind : {0u, type_}) {
    for (const KeyFunctionRow& row : KeyFunctionTable(kind)) {
      if (row.id <= 255 || row.id == kf::kPlayMacro || row.id == kf::kRunScript) continue;
      std::string keys;
      for (const KeyBinding* b : BindingsOf(row.id)) {
        const std::string text = FormatKeyText(b->key);
        if (text.empty()) continue;
        if (!keys.empty()) keys += ':';
        keys += text;
      }
      if (!keys.empty()) ini.SetString(kKeyboardMapSection, row.name, keys);
    }
  }
  int scripts = 0, macros = 0;
  std::map<int, std::string> characters;
  std::vector<int> characterOrder;
  for (const KeyBinding& b : bindings_) {
    const std::string keyText = FormatKeyText(b.key);
    if (keyText.empty()) continue;
    if (b.target == kf::kRunScript) {
      ini.SetString(kKeyboardMapSection, Format("Script_%d", ++scripts), keyText + ":" + b.text);
    } else if (b.target == kf::kPlayMacro) {
      ini.SetString(kKeyboardMapSection, Format("Macro_%d", ++macros), b.text + ":" + keyText);
    } else if (b.target >= 0 && b.target < 256) {
      std::string& keys = characters[b.target];
      if (keys.empty()) characterOrder.push_back(b.target);
      else keys += ':';
      keys += keyText;
    }
  }
  for (int c : characterOrder) ini.SetString(kKeyboardMapSection, Format("Char%d", c), characters[c]);
  for (std::size_t i = 0; i < overrides_.size(); ++i) {
    if (!overrides_[i]) continue;
    const std::string_view function = KeyFunctionName(type_, kFirstVtSequenceId + static_cast<int>(i));
    if (!function.empty()) ini.SetString(kControlSequencesSection, function, FormatControlSequence(*overrides_[i]));
  }
}

bool CCorvinaKeyboardMap::Load(const std::string& dataFolder, const std::string& file, std::string* error) {
  return LoadIni(dataFolder, file, [this](const platform::IniFile& ini) { return ReadFrom(ini); }, "keyboard map",
                 error);
}

bool CCorvinaKeyboardMap::Save(const std::string& dataFolder, const std::string& file, std::string* error) {
  return SaveIni(dataFolder, file, [this](platform::IniFile& ini) { WriteTo(ini); }, error);
}

std::shared_ptr<CCorvinaKeyboardMap> ReadLegacyKeyboardMap(CArchiveReader& archive) {
  std::string mapName = archive.ReadString();
  auto map = std::make_shared<CCorvinaKeyboardMap>(std::move(mapName), ConvertOldTerminalType(archive.ReadU32()));
  for (const bool terminal : {false, true}) {
    const std::uint32_t count = archive.ReadCount(kLegacyBindingSize);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint16_t vk = archive.ReadU16();
      const KeyCode key{vk, static_cast<std::uint8_t>(archive.ReadU8() & kModifierBits)};
      const int id = archive.ReadI32();
      std::string text;
      if (terminal && id == kf::kRunScript) text = archive.ReadString();
      // Only what the map file can hold again is kept.
      std::optional<std::uint8_t> category;
      if (!terminal) {
        if (KeyFunctionRowById(0, id)) category = kBindSystem;
      } else if (id >= 0 && id < 256) {
        category = kBindCharacter;
      } else if (id == kf::kRunScript) {
        if (!text.empty()) category = kBindScript;
      } else if (KeyFunctionRowById(map->type_, id)) {
        category = kBindTerminal;
      }
      if (category && !FormatKeyText(key).empty()) map->Insert(KeyBinding{id, std::move(text), key, *category});
    }
  }
  if (map->name.empty() || map->type_ == 0) return nullptr;
  if (map->bindings_.empty()) map->ResetAll();
  map->modified = true;
  return map;
}

}  // namespace corvina
