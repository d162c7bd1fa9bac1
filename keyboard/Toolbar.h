// CCorvinaToolbar: the standard toolbar and the keypad toolbars, as stored
// objects. Each button presses a key function of the toolbar's table (the
// system commands for the standard toolbar); the desktop draws the bar.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/NamedObject.h"

namespace corvina {

class CArchiveReader;

inline constexpr char kToolbarSection[] = "Toolbar";
inline constexpr char kToolbarClassName[] = "CCorvinaToolbar";
inline constexpr char kStandardToolbarName[] = "Standard";

// Resource numbers of the built-in toolbars' images.
inline constexpr int kStandardToolbarId = 120;
inline constexpr int k3270KeypadId = 131;
inline constexpr int k5250KeypadId = 132;
inline constexpr int kVtKeypadId = 133;

// Bounds for values read from files.
inline constexpr int kMaxToolbarButtons = 256;
inline constexpr int kMaxToolbarColumns = 64;

struct ToolbarButton {
  int id = 0;         // the key function pressed; 0 is a separator
  std::string label;  // a custom label; separators never have one
  bool IsSeparator() const { return id == 0; }
  friend bool operator==(const ToolbarButton&, const ToolbarButton&) = default;
};

class CCorvinaToolbar : public CCorvinaNamedObject {
 public:
  // Type 0 is the standard toolbar; otherwise the type's family. The
  // buttons are the built-in ones of the type, the resource number its own.
  CCorvinaToolbar(std::string toolbarName = {}, unsigned type = 0);
  // The built-in toolbars: "Standard" and the three families' keypads.
  static std::vector<std::shared_ptr<CCorvinaNamedObject>> Defaults();

  ObjectKind Kind() const override { return ObjectKind::kToolbar; }
  // 0 for the standard toolbar, else 16, 32 or 259.
  unsigned TypeCode() const override { return type_; }
  // "Standard" for type 0, else the family's default name.
  std::string_view DefaultName() const;

  int resourceId = 0;
  bool dockable = true;
  int columns = 0;  // fixed width in button columns; 0 for none
  std::vector<ToolbarButton> buttons;

  // The buttons the type starts with.
  void ResetButtons();
  // The button's text: its custom label, else the short label of the
  // function's description, else the function's name.
  std::string ButtonLabel(const ToolbarButton& button) const;
  // Whether the function belongs on this toolbar (customising offers these).
  bool Offers(int id) const;
  // What a window shows of it: name, placement settings and every button.
  // Two toolbars with the same key look the same.
  std::string LayoutKey() const;

  // Fails without a name, with an unknown type, an ID of 0, Dockable other
  // than 0 or 1, Columns outside 0 to kMaxToolbarColumns, or no button left
  // once the buttons of other tables are dropped.
  bool ReadFrom(const platform::IniFile& ini);
  void WriteTo(platform::IniFile& ini) const;
  bool Load(const std::string& dataFolder, const std::string& file, std::string* error = nullptr);
  bool Save(const std::string& dataFolder, const std::string& file, std::string* error = nullptr) override;

 private:
  friend std::shared_ptr<CCorvinaToolbar> ReadLegacyToolbar(CArchiveReader& archive);
  unsigned type_ = 0;
};

// The archived form of old settings: name, old terminal code and two
// numbers. Its buttons lived in the old system's own settings, which are not
// available here: a converted toolbar has the type's built-in buttons.
std::shared_ptr<CCorvinaToolbar> ReadLegacyToolbar(CArchiveReader& archive);

}  // namespace corvina
