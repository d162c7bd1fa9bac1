// CCorvinaColorScheme: the foreground and background colour of every screen
// element a terminal family distinguishes. Engines give each cell element
// numbers; the window and printed pages look the colours up here.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/NamedObject.h"

namespace corvina {

class CArchiveReader;

struct Rgb {
  std::uint8_t red = 0, green = 0, blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct ColorPair {
  Rgb foreground;
  Rgb background;
  friend bool operator==(const ColorPair&, const ColorPair&) = default;
};

// The stored form of a colour: 0x00BBGGRR.
constexpr std::uint32_t ColorRef(Rgb c) {
  return std::uint32_t{c.red} | std::uint32_t{c.green} << 8 | std::uint32_t{c.blue} << 16;
}
constexpr Rgb RgbOfColorRef(std::uint32_t ref) {
  return Rgb{static_cast<std::uint8_t>(ref), static_cast<std::uint8_t>(ref >> 8), static_cast<std::uint8_t>(ref >> 16)};
}

// One screen element: its label on the Colors page and its built-in
// foreground (every built-in background is black).
struct ColorElement {
  std::string_view name;
  Rgb foreground;
};

// The elements of a family in order (15 for 3270, 12 for 5250, 20 for VT);
// empty for kinds without a family.
std::span<const ColorElement> ColorSchemeElements(unsigned type);

inline constexpr char kColorSchemeSection[] = "Color Scheme";
inline constexpr char kColorSchemeClassName[] = "CCorvinaColorScheme";

class CCorvinaColorScheme : public CCorvinaNamedObject {
 public:
  // The built-in colours of the type's family.
  CCorvinaColorScheme(std::string schemeName = {}, unsigned type = 0);

  // The built-in colours of a family, for a session whose scheme is gone.
  static const CCorvinaColorScheme& BuiltIn(unsigned type);

  ObjectKind Kind() const override { return ObjectKind::kColorScheme; }
  // The family: 16, 32 or 259 (0 when the scheme has none).
  unsigned TypeCode() const override { return type_; }

  int ElementCount() const { return static_cast<int>(values_.size() / 2); }
  // Empty for an element the family does not have.
  std::string_view ElementName(int element) const;
  // Elements outside the family read as element 0, so a canvas always gets a colour.
  ColorPair Colors(int element) const;
  Rgb Foreground(int element) const { return Colors(element).foreground; }
  Rgb Background(int element) const { return Colors(element).background; }
  // Elements outside the family are ignored.
  void SetForeground(int element, Rgb color);
  void SetBackground(int element, Rgb color);
  void ResetElement(int element);
  void ResetAll();
  // Foreground and background of element n at 2n and 2n + 1, as 0x00BBGGRR.
  std::span<const std::uint32_t> Values() const { return values_; }

  // "Name", "Type" and one "Color_%d" per element; absent or malformed
  // elements keep the built-in colours. False without a name or a family.
  bool ReadFrom(const platform::IniFile& ini);
  // Replaces the "Color Scheme" section.
  void WriteTo(platform::IniFile& ini) const;
  bool Load(const std::string& dataFolder, const std::string& file, std::string* error = nullptr);
  bool Save(const std::string& dataFolder, const std::string& file, std::string* error = nullptr) override;

 private:
  friend std::shared_ptr<CCorvinaColorScheme> ReadLegacyColorScheme(CArchiveReader& archive);
  void Set(std::size_t index, Rgb color);

  unsigned type_ = 0;
  std::vector<std::uint32_t> values_;
};

// The three built-in schemes, "3270 Default", "5250 Default" and "VT100 Default".
std::vector<std::shared_ptr<CCorvinaNamedObject>> DefaultColorSchemes();

// The archived form of old settings: name, old terminal code, a count and
// that many colour references. Values past the family's count are skipped,
// missing ones keep the built-in colours. Null without a name or a family.
std::shared_ptr<CCorvinaColorScheme> ReadLegacyColorScheme(CArchiveReader& archive);

}  // namespace corvina
