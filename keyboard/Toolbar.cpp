#include "keyboard/Toolbar.h"

#include <iterator>
#include <optional>
#include <span>

#include "config/Archive.h"
#include "config/LegacySettings.h"
#include "config/SessionProfile.h"
#include "config/TerminalTypes.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyboardTexts.h"
#include "platform/Format.h"
#include "platform/IniFile.h"

namespace corvina {

namespace kt = keyboard_texts;
using platform::Format;

namespace {

// The built-in buttons; 0 is a separator.
constexpr int kStandardButtons[] = {
    kf::sys::kHostConnect, kf::sys::kHostClose, kf::sys::kHostSave, 0, kf::sys::kHostFileTransfer,
    kf::sys::kHostRunScript, 0, kf::sys::kEditCut, kf::sys::kEditCopy, kf::sys::kEditPaste, 0,
    kf::sys::kViewFullScreen, 0, kf::sys::kHostPrintScreen, 0, kf::sys::kSetupFont, kf::sys::kSetupFontLarger,
    kf::sys::kSetupFontSmaller, 0, kf::sys::kHostSession1, kf::sys::kHostSession2, kf::sys::kHostSession3,
    kf::sys::kHostSession4, kf::sys::kHostSession5, kf::sys::kHostSession6, kf::sys::kHostSession7,
    kf::sys::kHostSession8, kf::sys::kHostSession9,
};
static_assert(std::size(kStandardButtons) == 28);

constexpr int k3270Buttons[] = {
    kf::ibm3270::kCursorLeft, kf::ibm3270::kCursorUp, kf::ibm3270::kCursorRight, kf::ibm3270::kBacktab,
    kf::ibm3270::kCursorDown, kf::ibm3270::kTab, 0, kf::ibm3270::kAttn, kf::ibm3270::kBackspace,
    kf::ibm3270::kCentSign, kf::ibm3270::kClear, kf::ibm3270::kCursorSelect, kf::ibm3270::kDelete,
    kf::ibm3270::kDup, kf::ibm3270::kFieldEnd, kf::ibm3270::kEnter, kf::ibm3270::kEraseEof,
    kf::ibm3270::kEraseInput, kf::ibm3270::kFieldMark, kf::ibm3270::kHome, kf::ibm3270::kInsert,
    kf::ibm3270::kNewline, kf::ibm3270::kReset, kf::ibm3270::kSystemRequest, kf::ibm3270::kTestRequest, 0,
    kf::ibm3270::kPA1, kf::ibm3270::kPA2, kf::ibm3270::kPA3, 0, kf::ibm3270::kPF1, kf::ibm3270::kPF2,
    kf::ibm3270::kPF3, kf::ibm3270::kPF4, kf::ibm3270::kPF5, kf::ibm3270::kPF6, kf::ibm3270::kPF7,
    kf::ibm3270::kPF8, kf::ibm3270::kPF9, kf::ibm3270::kPF10, kf::ibm3270::kPF11, kf::ibm3270::kPF12,
    kf::ibm3270::kPF13, kf::ibm3270::kPF14, kf::ibm3270::kPF15, kf::ibm3270::kPF16, kf::ibm3270::kPF17,
    kf::ibm3270::kPF18, kf::ibm3270::kPF19, kf::ibm3270::kPF20, kf::ibm3270::kPF21, kf::ibm3270::kPF22,
    kf::ibm3270::kPF23, kf::ibm3270::kPF24,
};
static_assert(std::size(k3270Buttons) == 54);

constexpr int k5250Buttons[] = {
    kf::ibm5250::kCursorLeft, kf::ibm5250::kCursorUp, kf::ibm5250::kCursorRight, kf::ibm5250::kBacktab,
    kf::ibm5250::kCursorDown, kf::ibm5250::kTab, 0, kf::ibm5250::kAttn, kf::ibm5250::kBackspace,
    kf::ibm5250::kCentSign, kf::ibm5250::kClear, kf::ibm5250::kDelete, kf::ibm5250::kDup,
    kf::ibm5250::kFieldEnd, kf::ibm5250::kEnter, kf::ibm5250::kEraseEof, kf::ibm5250::kEraseInput,
    kf::ibm5250::kFieldExit, kf::ibm5250::kFieldMark, kf::ibm5250::kFieldMinus, kf::ibm5250::kFieldPlus,
    kf::ibm5250::kHelp, kf::ibm5250::kHome, kf::ibm5250::kInsert, kf::ibm5250::kNewline,
    kf::ibm5250::kRollUpPageDown, kf::ibm5250::kRollDownPageUp, kf::ibm5250::kErrorReset,
    kf::ibm5250::kSystemRequest, 0, kf::ibm5250::kPA1, kf::ibm5250::kPA2, kf::ibm5250::kPA3, 0,
    kf::ibm5250::kF1, kf::ibm5250::kF2, kf::ibm5250::kF3, kf::ibm5250::kF4, kf::ibm5250::kF5,
    kf::ibm5250::kF6, kf::ibm5250::kF7, kf::ibm5250::kF8, kf::ibm5250::kF9, kf::ibm5250::kF10,
    kf::ibm5250::kF11, kf::ibm5250::kF12, kf::ibm5250::kF13, kf::ibm5250::kF14, kf::ibm5250::kF15,
    kf::ibm5250::kF16, kf::ibm5250::kF17, kf::ibm5250::kF18, kf::ibm5250::kF19, kf::ibm5250::kF20,
    kf::ibm5250::kF21, kf::ibm5250::kF22, kf::ibm5250::kF23, kf::ibm5250::kF24,
};
static_assert(std::size(k5250Buttons) == 58);

constexpr int kVtButtons[] = {
    kf::vt::kCursorLeft, kf::vt::kCursorUp, kf::vt::kCursorRight, kf::vt::kEnter, kf::vt::kCursorDown,
    kf::vt::kTab, 0, kf::vt::kInsert, kf::vt::kDelete, kf::vt::kHomeFind, kf::vt::kEndSelect, kf::vt::kPageUp,
    kf::vt::kPageDown, kf::vt::kBackspace, kf::vt::kEscape, 0, kf::vt::kPF1, kf::vt::kPF2, kf::vt::kPF3,
    kf::vt::kPF4, 0, kf::vt::kF1, kf::vt::kF2, kf::vt::kF3, kf::vt::kF4, kf::vt::kF5, kf::vt::kF6,
    kf::vt::kF7, kf::vt::kF8, kf::vt::kF9, kf::vt::kF10, kf::vt::kF11, kf::vt::kF12, kf::vt::kF13,
    kf::vt::kF14, kf::vt::kF15Help, kf::vt::kF16Do, kf::vt::kF17, kf::vt::kF18, kf::vt::kF19, kf::vt::kF20,
};
static_assert(std::size(kVtButtons) == 41);

std::span<const int> DefaultButtons(unsigned type) {
  switch (type) {
    case 0: return kStandardButtons;
    case kKind3278: return k3270Buttons;
    case kKind5250: return k5250Buttons;
    case kKindVt100: return kVtButtons;
    default: return {};
  }
}

int DefaultResourceId(unsigned type) {
  switch (type) {
    case kKind3278: return k3270KeypadId;
    case kKind5250: return k5250KeypadId;
    case kKindVt100: return kVtKeypadId;
    default: return kStandardToolbarId;
  }
}

// "Standard" is type 0; a family name its family.
std::optional<unsigned> ToolbarTypeOfName(std::string_view name) {
  if (name == kStandardToolbarName) return 0u;
  if (const unsigned family = FamilyTypeOfName(name)) return family;
  return std::nullopt;
}

}  // namespace

CCorvinaToolbar::CCorvinaToolbar(std::string toolbarName, unsigned type) : type_(FamilyType(type)) {
  name = std::move(toolbarName);
  resourceId = DefaultResourceId(type_);
  ResetButtons();
}

std::vector<std::shared_ptr<CCorvinaNamedObject>> CCorvinaToolbar::Defaults() {
  std::vector<std::shared_ptr<CCorvinaNamedObject>> toolbars;
  toolbars.push_back(std::make_shared<CCorvinaToolbar>(kStandardToolbarName, 0));
  for (unsigned family : {unsigned{kKind3278}, unsigned{kKind5250}, unsigned{kKindVt100}})
    toolbars.push_back(std::make_shared<CCorvinaToolbar>(std::string(DefaultObjectNameForKind(family)), family));
  return toolbars;
}

std::string_view CCorvinaToolbar::DefaultName() const {
  return type_ == 0 ? std::string_view(kStandardToolbarName) : DefaultObjectNameForKind(type_);
}

void CCorvinaToolbar::ResetButtons() {
  buttons.clear();
  for (int id : DefaultButtons(type_)) buttons.push_back({id, {}});
  modified = true;
}

bool CCorvinaToolbar::Offers(int id) const { return id > 255 && KeyFunctionRowById(type_, id) != nullptr; }

std::string CCorvinaToolbar::ButtonLabel(const ToolbarButton& button) const {
  if (!button.label.empty()) return button.label;
  std::string_view description = KeyFunctionDescription(button.id);
  // "prompt\ntooltip\nshort label": the last part is the shortest.
  if (const std::size_t last = description.rfind('\n'); last != std::string_view::npos)
    return std::string(description.substr(last + 1));
  return std::string(KeyFunctionName(type_, button.id));
}

std::string CCorvinaToolbar::LayoutKey() const {
  std::string key = Format("%s\n%d\n%d", name.c_str(), dockable ? 1 : 0, columns);
  for (const ToolbarButton& b : buttons) key += Format("\n%d,", b.id) + b.label;
  return key;
}

bool CCorvinaToolbar::ReadFrom(const platform::IniFile& ini) {
  const CIniSection section(ini, kToolbarSection);
  const std::optional<unsigned> type = ToolbarTypeOfName(section.Get("Type"));
  const std::string toolbarName = section.Get("Name");
  if (toolbarName.empty() || !type) return false;
  CCorvinaToolbar read(toolbarName, *type);
  const auto id = StrictNumber(section.Get("ID"), 1, INT32_MAX);
  const auto dockable = StrictNumber(section.Get("Dockable"), 0, 1);
  const auto columns = StrictNumber(section.Get("Columns"), 0, kMaxToolbarColumns);
  const auto count = StrictNumber(section.Get("Buttons"), 1, kMaxToolbarButtons);
  if (!id || !dockable || !columns || !count) return false;
  read.resourceId = static_cast<int>(*id);
  read.dockable = *dockable != 0;
  read.columns = static_cast<int>(*columns);
  read.buttons.clear();
  for (long n = 0; n < *count; ++n) {
    const std::string* value = section.Find(Format("Button_%ld", n));
    if (!value) continue;
    const std::size_t comma = value->find(',');
    const std::string_view function = std::string_view(*value).substr(0, comma);
    const std::string label = comma == std::string::npos ? std::string() : value->substr(comma + 1);
    if (function == kt::kSeparatorName) {
      read.buttons.push_back({0, {}});
    } else if (const int fid = KeyFunctionIdByName(read.type_, function); fid > 255) {
      read.buttons.push_back({fid, label});
    }
  }
  if (read.buttons.empty()) return false;
  read.fileName = fileName;
  read.modified = false;
  *this = std::move(read);
  return true;
}

void CCorvinaToolbar::WriteTo(platform::IniFile& ini) const {
  ini.DeleteSection(kToolbarSection);
  ini.SetString(kToolbarSection, "Name", name);
  ini.SetString(kToolbarSection, "Type", type_ == 0 ? std::string_view(kStandardToolbarName) : FamilyTypeName(type_));
  ini.SetInt(kToolbarSection, "ID", resourceId);
  ini.SetInt(kToolbarSection, "Dockable", dockable ? 1 : 0);
  ini.SetInt(kToolbarSection, "Columns", columns);
  ini.SetInt(kToolbarSection, "Buttons", static_cast<long>(buttons.size()));
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const ToolbarButton& b = buttons[i];
    std::string value = b.IsSeparator() ? std::string(kt::kSeparatorName) : std::string(KeyFunctionName(type_, b.id));
    if (!b.IsSeparator() && !b.label.empty()) value += "," + b.label;
    ini.SetString(kToolbarSection, Format("Button_%zu", i), value);
  }
}

bool CCorvinaToolbar::Load(const std::string& dataFolder, const std::string& file, std::string* error) {
  return LoadIni(dataFolder, file, [this](const platform::IniFile& ini) { return ReadFrom(ini); }, "toolbar", error);
}

bool CCorvinaToolbar::Save(const std::string& dataFolder, const std::string& file, std::string* error) {
  return SaveIni(dataFolder, file, [this](platform::IniFile& ini) { WriteTo(ini); }, error);
}

std::shared_ptr<CCorvinaToolbar> ReadLegacyToolbar(CArchiveReader& archive) {
  std::string toolbarName = archive.ReadString();
  auto toolbar = std::make_shared<CCorvinaToolbar>(std::move(toolbarName), ConvertOldTerminalType(archive.ReadU32()));
  const std::uint16_t resource = archive.ReadU16();
  archive.ReadU16();  // the number of its saved state in the old system's settings
  if (resource != 0) toolbar->resourceId = resource;
  if (toolbar->name.empty()) return nullptr;
  toolbar->modified = true;
  return toolbar;
}

}  // namespace corvina
