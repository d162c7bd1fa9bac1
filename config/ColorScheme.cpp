#include "config/ColorScheme.h"

#include <algorithm>
#include <iterator>

#include "config/Archive.h"
#include "config/LegacySettings.h"
#include "config/TerminalTypes.h"
#include "platform/Format.h"
#include "platform/IniFile.h"

namespace corvina {

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kPink{255, 0, 255};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kTurquoise{0, 255, 255};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kGrey{192, 192, 192};
constexpr Rgb kDarkGrey{128, 128, 128};

constexpr ColorElement k3270Elements[] = {
    {"Uniform Foreground/Background", kGreen},
    {"Operator Information Area", kGreen},
    {"Unprotected Normal Intensity", kGreen},
    {"Unprotected High Intensity", kRed},
    {"Protected Normal Intensity", kBlue},
    {"Protected High Intensity", kWhite},
    {"Attribute Character", kGrey},
    {"3279 Default", kGreen},
    {"3279 Blue", kBlue},
    {"3279 Red", kRed},
    {"3279 Pink", kPink},
    {"3279 Green", kGreen},
    {"3279 Turquoise", kTurquoise},
    {"3279 Yellow", kYellow},
    {"3279 White", kWhite},
};
static_assert(std::size(k3270Elements) == 15);

constexpr ColorElement k5250Elements[] = {
    {"Uniform Foreground/Background", kGreen},
    {"Operator Information Area", kGreen},
    {"Black", kBlack},
    {"Red", kRed},
    {"Green", kGreen},
    {"Blue", kBlue},
    {"Pink", kPink},
    {"Yellow", kYellow},
    {"Turquoise", kTurquoise},
    {"White", kWhite},
    {"Attribute Character", kGrey},
    {"Column Separator", kWhite},
};
static_assert(std::size(k5250Elements) == 12);

constexpr ColorElement kVtElements[] = {
    {"Uniform Foreground/Background", kGreen},
    {"Operator Information Area", kGreen},
    {"Default", kGreen},
    {"Red", kRed},
    {"Green", kGreen},
    {"Blue", kBlue},
    {"Yellow", kYellow},
    {"Magenta", kPink},
    {"Cyan", kTurquoise},
    {"Black", kDarkGrey},
    {"White", kWhite},
    {"Bold Default", kYellow},
    {"Bold Red", kRed},
    {"Bold Green", kGreen},
    {"Bold Blue", kBlue},
    {"Bold Yellow", kYellow},
    {"Bold Magenta", kPink},
    {"Bold Cyan", kTurquoise},
    {"Bold Black", kDarkGrey},
    {"Bold White", kWhite},
};
static_assert(std::size(kVtElements) == 20);

// "r,g,b,r,g,b" with every part 0 to 255.
bool ParseColorPair(std::string_view text, ColorPair* out) {
  std::uint8_t parts[6];
  for (std::size_t i = 0; i < std::size(parts); ++i) {
    const std::size_t comma = i + 1 < std::size(parts) ? text.find(',') : text.size();
    if (comma == std::string_view::npos) return false;
    const auto value = StrictNumber(text.substr(0, comma), 0, 255);
    if (!value) return false;
    parts[i] = static_cast<std::uint8_t>(*value);
    text.remove_prefix(std::min(text.size(), comma + 1));
  }
  *out = ColorPair{{parts[0], parts[1], parts[2]}, {parts[3], parts[4], parts[5]}};
  return true;
}

}  // namespace

std::span<const ColorElement> ColorSchemeElements(unsigned type) {
  switch (FamilyType(type)) {
    case kKind3278: return k3270Elements;
    case kKind5250: return k5250Elements;
    case kKindVt100: return kVtElements;
    default: return {};
  }
}

CCorvinaColorScheme::CCorvinaColorScheme(std::string schemeName, unsigned type) : type_(FamilyType(type)) {
  name = std::move(schemeName);
  ResetAll();
}

const CCorvinaColorScheme& CCorvinaColorScheme::BuiltIn(unsigned type) {
  static const CCorvinaColorScheme schemes[] = {
      CCorvinaColorScheme(std::string(DefaultObjectNameForKind(kKind3278)), kKind3278),
      CCorvinaColorScheme(std::string(DefaultObjectNameForKind(kKind5250)), kKind5250),
      CCorvinaColorScheme(std::string(DefaultObjectNameForKind(kKindVt100)), kKindVt100), CCorvinaColorScheme()};
  switch (FamilyType(type)) {
    case kKind3278: return schemes[0];
    case kKind5250: return schemes[1];
    case kKindVt100: return schemes[2];
    default: return schemes[3];
  }
}

std::string_view CCorvinaColorScheme::ElementName(int element) const {
  const auto elements = ColorSchemeElements(type_);
  return element >= 0 && static_cast<std::size_t>(element) < elements.size() ? elements[element].name
                                                                              : std::string_view{};
}

ColorPair CCorvinaColorScheme::Colors(int element) const {
  if (values_.empty()) return {};
  const std::size_t n = element >= 0 && element < ElementCount() ? static_cast<std::size_t>(element) : 0;
  return ColorPair{RgbOfColorRef(values_[2 * n]), RgbOfColorRef(values_[2 * n + 1])};
}

void CCorvinaColorScheme::Set(std::size_t index, Rgb color) {
  if (index >= values_.size()) return;
  values_[index] = ColorRef(color);
  modified = true;
}

void CCorvinaColorScheme::SetForeground(int element, Rgb color) {
  if (element >= 0) Set(2 * static_cast<std::size_t>(element), color);
}

void CCorvinaColorScheme::SetBackground(int element, Rgb color) {
  if (element >= 0) Set(2 * static_cast<std::size_t>(element) + 1, color);
}

void CCorvinaColorScheme::ResetElement(int element) {
  const auto elements = ColorSchemeElements(type_);
  if (element < 0 || static_cast<std::size_t>(element) >= elements.size()) return;
  SetForeground(element, elements[element].foreground);
  SetBackground(element, kBlack);
}

void CCorvinaColorScheme::ResetAll() {
  values_.clear();
  for (const ColorElement& e : ColorSchemeElements(type_)) {
    values_.push_back(ColorRef(e.foreground));
    values_.push_back(ColorRef(kBlack));
  }
  modified = true;
}

bool CCorvinaColorScheme::ReadFrom(const platform::IniFile& ini) {
  const CIniSection section(ini, kColorSchemeSection);
  CCorvinaColorScheme read(section.Get("Name"), FamilyTypeOfName(section.Get("Type")));
  if (read.name.empty() || read.type_ == 0) return false;
  for (int n = 0; n < read.ElementCount(); ++n) {
    ColorPair pair;
    const std::string* value = section.Find(platform::Format("Color_%d", n));
    if (!value || !ParseColorPair(*value, &pair)) continue;
    read.SetForeground(n, pair.foreground);
    read.SetBackground(n, pair.background);
  }
  read.fileName = fileName;
  *this = std::move(read);
  return true;
}

void CCorvinaColorScheme::WriteTo(platform::IniFile& ini) const {
  ini.DeleteSection(kColorSchemeSection);
  ini.SetString(kColorSchemeSection, "Name", name);
  ini.SetString(kColorSchemeSection, "Type", FamilyTypeName(type_));
  for (int n = 0; n < ElementCount(); ++n) {
    const ColorPair c = Colors(n);
    ini.SetString(kColorSchemeSection, platform::Format("Color_%d", n),
                  platform::Format("%d,%d,%d,%d,%d,%d", c.foreground.red, c.foreground.green, c.foreground.blue,
                                   c.background.red, c.background.green, c.background.blue));
  }
}

bool CCorvinaColorScheme::Load(const std::string& dataFolder, const std::string& file, std::string* error) {
  return LoadIni(dataFolder, file, [this](const platform::IniFile& ini) { return ReadFrom(ini); }, "color scheme",
                 error);
}

bool CCorvinaColorScheme::Save(const std::string& dataFolder, const std::string& file, std::string* error) {
  return SaveIni(dataFolder, file, [this](platform::IniFile& ini) { WriteTo(ini); }, error);
}

std::vector<std::shared_ptr<CCorvinaNamedObject>> DefaultColorSchemes() {
  std::vector<std::shared_ptr<CCorvinaNamedObject>> schemes;
  for (unsigned family : {unsigned{kKind3278}, unsigned{kKind5250}, unsigned{kKindVt100}})
    schemes.push_back(std::make_shared<CCorvinaColorScheme>(std::string(DefaultObjectNameForKind(family)), family));
  return schemes;
}

std::shared_ptr<CCorvinaColorScheme> ReadLegacyColorScheme(CArchiveReader& archive) {
  std::string schemeName = archive.ReadString();
  const unsigned type = ConvertOldTerminalType(archive.ReadU32());
  auto scheme = std::make_shared<CCorvinaColorScheme>(std::move(schemeName), type);
  const std::uint32_t count = archive.ReadCount(4);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t ref = archive.ReadU32();
    if (i < scheme->values_.size()) scheme->values_[i] = ref & 0x00FFFFFF;
  }
  if (scheme->name.empty() || scheme->type_ == 0) return nullptr;
  scheme->modified = true;
  return scheme;
}

}  // namespace corvina
