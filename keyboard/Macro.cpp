#include "keyboard/Macro.h"

#include <algorithm>

#include "config/PersistentData.h"
#include "config/ObjectFileName.h"
#include "config/StoreTexts.h"
#include "config/TerminalTypes.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyText.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/KeyboardTexts.h"
#include "platform/Format.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"

namespace corvina {

namespace kt = keyboard_texts;
using platform::Format;

namespace {

constexpr char kCursorToName[] = "CursorTo";

bool IsPositionFunction(int id) {
  return id == kf::ibm3270::kCursorMove || id == kf::ibm5250::kCursorMove || id == kf::kCursorTo;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

MacroPiece CMacroReader::Next() {
  MacroPiece piece;
  const std::size_t size = text_.size();
  if (pos_ >= size) return piece;
  auto doubled = [&](char c) { return pos_ + 1 < size && text_[pos_ + 1] == c; };
  if (text_[pos_] != '<' || doubled('<')) {
    piece.kind = MacroPiece::kCharacters;
    while (pos_ < size) {
      if (text_[pos_] == '<') {
        if (!doubled('<')) break;
        ++pos_;
      }
      piece.text += text_[pos_++];
    }
    return piece;
  }
  ++pos_;
  piece.kind = MacroPiece::kToken;
  piece.closed = false;
  while (pos_ < size) {
    if (text_[pos_] == '>') {
      if (!doubled('>')) {
        ++pos_;
        piece.closed = true;
        break;
      }
      ++pos_;
    }
    piece.text += text_[pos_++];
  }
  if (piece.closed && !piece.text.empty() && piece.text.find_first_not_of(',') == std::string::npos) {
    piece.kind = MacroPiece::kPause;
    piece.ticks = static_cast<int>(std::min<std::size_t>(piece.text.size(), INT32_MAX));
  }
  return piece;
}

std::string MacroToken(std::string_view text) {
  std::string token = "<";
  for (char c : text) {
    token += c;
    if (c == '>') token += '>';
  }
  return token + ">";
}

MacroStep ResolveMacroToken(std::string_view token, unsigned kind, int positions) {
  MacroStep step;
  const std::size_t blank = token.find(' ');
  const std::string_view namePart = token.substr(0, blank);
  step.name = std::string(namePart);
  if (!token.empty() && token.front() == ',') {
    step.kind = MacroStep::kInvalidPause;
    return step;
  }
  std::optional<int> number;
  if (blank != std::string_view::npos) {
    const std::string_view digits = token.substr(blank + 1);
    if (!AllDigits(digits)) return step;
    number = static_cast<int>(StrictNumber(digits, 0, kMaxScreenPositions).value_or(kMaxScreenPositions));
  }
  if (const int id = KeyFunctionIdByName(kind, namePart); id >= 0) {
    if (!number) {
      step.kind = MacroStep::kFunction;
      step.id = id;
    } else if (IsPositionFunction(id) && *number < positions) {
      step.kind = MacroStep::kFunction;
      step.id = kf::kCursorTo + *number;
    }
    return step;
  }
  if (const int id = KeyFunctionIdByName(0, namePart); id >= 0) {
    if (!number) {
      step.kind = MacroStep::kSystemCommand;
      step.id = id;
    }
    return step;
  }
  if (!number && IsVtFamily(kind)) {
    std::optional<std::string> bytes = ParseControlSequence(namePart);
    if (bytes && !bytes->empty() && *bytes != namePart) {
      step.kind = MacroStep::kControlSequence;
      step.bytes = std::move(*bytes);
    }
  }
  return step;
}

// ------------------------------------------------------------------ macro

CCorvinaMacro::CCorvinaMacro(std::string macroName, unsigned type) : type_(FamilyType(type)) {
  name = macroName.empty() ? std::string(kt::kUntitledMacro) : std::move(macroName);
}

void CCorvinaMacro::SetText(std::string text) {
  text_ = std::move(text);
  modified = true;
}

void CCorvinaMacro::AppendText(std::string_view text) {
  text_ += text;
  modified = true;
}

void CCorvinaMacro::Record(int id, unsigned kind) {
  if (id >= 0 && id < 256) {
    const char c = static_cast<char>(id);
    if (c == '<') {
      AppendText("<<");
    } else if (id < 0x20 || id == 0x7F) {
      // A line end would not survive the macro file; VT hosts take it as a sequence.
      if (IsVtFamily(type_)) AppendText(MacroToken(FormatControlSequence(std::string(1, c))));
    } else {
      AppendText(std::string(1, c));
    }
    return;
  }
  if (id >= kf::kCursorTo) {
    AppendText(Format("<%s %d>", kCursorToName, id - kf::kCursorTo));
    return;
  }
  const std::string_view function = KeyFunctionName(kind, id);
  if (!function.empty()) AppendText(MacroToken(function));
}

std::optional<std::string> CCorvinaMacro::Validate(int positions) const {
  CMacroReader reader(text_);
  for (MacroPiece piece = reader.Next(); piece.kind != MacroPiece::kEnd; piece = reader.Next()) {
    if (piece.kind != MacroPiece::kToken) continue;
    const MacroStep step = piece.closed ? ResolveMacroToken(piece.text, type_, positions) : MacroStep{};
    if (step.kind == MacroStep::kInvalidPause) return Format(kt::kInvalidPause, piece.text.c_str());
    if (step.kind == MacroStep::kInvalidName) return Format(kt::kInvalidKeyName, piece.text.c_str());
  }
  return std::nullopt;
}

bool CCorvinaMacro::ReadFrom(const platform::IniFile& ini) {
  const CIniSection section(ini, kMacroSection);
  CCorvinaMacro read(section.Get("Name"), FamilyTypeOfName(section.Get("Type")));
  if (section.Get("Name").empty() || read.type_ == 0) return false;
  read.text_ = section.Get("Data");
  read.fileName = fileName;
  *this = std::move(read);
  return true;
}

void CCorvinaMacro::WriteTo(platform::IniFile& ini) const {
  ini.DeleteSection(kMacroSection);
  ini.SetString(kMacroSection, "Name", name);
  ini.SetString(kMacroSection, "Type", FamilyTypeName(type_));
  ini.SetString(kMacroSection, "Data", text_);
}

bool CCorvinaMacro::Load(const std::string& dataFolder, const std::string& file, std::string* error) {
  return LoadIni(dataFolder, file, [this](const platform::IniFile& ini) { return ReadFrom(ini); }, "macro", error);
}

bool CCorvinaMacro::Save(const std::string& dataFolder, const std::string& file, std::string* error) {
  return SaveIni(dataFolder, file, [this](platform::IniFile& ini) { WriteTo(ini); }, error);
}

// ------------------------------------------------------ naming and menus

MacroNaming SaveNewMacro(CCorvinaPersistentData& store, std::shared_ptr<CCorvinaMacro> macro, const std::string& name,
                         platform::UserInterface& ui) {
  if (name.empty()) {
    ui.MessageBox(store_texts::kTypeAName, kt::kCaption, platform::Buttons::Ok, platform::Answer::Ok,
                  platform::Icon::Warning);
    return MacroNaming::kChooseAnother;
  }
  if (store.Find(ObjectKind::kMacro, name)) {
    if (ui.MessageBox(kt::kMacroNameExists, kt::kCaption, platform::Buttons::YesNo, platform::Answer::No,
                      platform::Icon::Question) != platform::Answer::Yes)
      return MacroNaming::kChooseAnother;
    store.Delete(ObjectKind::kMacro, name, false);
  }
  const std::string file = ObjectFileName(name, ObjectExtension(ObjectKind::kMacro));
  if (store.ObjectFileExists(file)) {
    ui.MessageBox(Format(store_texts::kFileExists, file.c_str()), kt::kCaption, platform::Buttons::Ok,
                  platform::Answer::Ok, platform::Icon::Warning);
    return MacroNaming::kChooseAnother;
  }
  macro->name = name;
  macro->fileName = file;
  macro->recording = false;
  macro->modified = true;
  store.Add(std::move(macro), true);
  return MacroNaming::kSaved;
}

std::vector<std::string> MacrosOfFamily(const CCorvinaPersistentData& store, unsigned type) {
  std::vector<std::string> names;
  const unsigned family = FamilyType(type);
  for (const std::string& name : store.RecentMacros()) {
    const CCorvinaNamedObject* macro = store.Find(ObjectKind::kMacro, name);
    if (macro && family != 0 && macro->TypeCode() == family) names.push_back(macro->name);
  }
  return names;
}

std::array<std::vector<MacroMenuItem>, 4> BuildMacroMenus(const CCorvinaPersistentData& store,
                                                          const CCorvinaKeyboardMap* map) {
  std::array<std::vector<MacroMenuItem>, 4> menus;
  const std::vector<std::string> names = map ? MacrosOfFamily(store, map->TypeCode()) : std::vector<std::string>{};
  for (std::size_t m = 0; m < menus.size(); ++m) {
    const bool showKey = m == 0 || m == 3;  // Replay and Assign Key
    for (std::size_t i = 0; i < names.size() && i < kMacroMenuShown; ++i) {
      std::string text = Format(kt::kMacroMenuItem, static_cast<int>(i + 1), names[i].c_str());
      if (showKey) {
        const std::vector<const KeyBinding*> keys = map->BindingsOf(kf::kPlayMacro, names[i]);
        if (!keys.empty()) text += "\t" + FormatKeyText(keys.front()->key);
      }
      menus[m].push_back({kMacroMenuBases[m] + static_cast<int>(i), std::move(text), true});
    }
    if (names.size() > kMacroMenuShown) menus[m].push_back({kMacroMenuBases[m] + kMacroMenuShown, kt::kMoreMacros, true});
    if (menus[m].empty()) menus[m].push_back({0, kt::kEmptyMenu, false});
  }
  return menus;
}

}  // namespace corvina
