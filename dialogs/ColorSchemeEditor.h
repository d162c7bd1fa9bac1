// The Colors page's scheme editor: a working copy of the chosen scheme, its
// elements and colour buttons, Save As and Delete.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "config/ColorScheme.h"
#include "dialogs/SetupDialogs.h"

namespace corvina::dialogs {

// The sixteen colour buttons, in order.
extern const std::array<Rgb, 16> kColorButtons;

class CColorSchemeEditor {
 public:
  // `terminalKind` chooses the family; `schemeName` the scheme selected first.
  CColorSchemeEditor(DialogServices& services, unsigned terminalKind, const std::string& schemeName);

  std::vector<std::string> Schemes() const;
  // Empty when nothing is selected.
  const std::string& Selected() const { return selected_; }
  const CCorvinaColorScheme& Working() const { return working_; }
  bool Modified() const { return modified_; }

  // Asks "Save changes to %s color scheme?" first when the copy changed.
  void Select(const std::string& schemeName);
  int element = 0;
  bool editForeground = true;
  // A colour button or "More Colors...": sets the chosen side of the element.
  void SetColor(Rgb color);
  void ResetColor();
  void ResetAll();
  // Writes the copy into the stored scheme and saves it.
  bool Commit();
  bool SaveAs();
  bool Delete();

 private:
  DialogServices& services_;
  unsigned family_;
  std::string selected_;
  CCorvinaColorScheme working_;
  bool modified_ = false;
};

// The Preferences dialog: one check box per bit of the Preferences word.
struct PreferenceRow {
  unsigned bit;
  const char* caption;
};
extern const std::array<PreferenceRow, 9> kPreferenceRows;
// Stores the word and saves; the connect-dialog check box is the same bit.
bool ApplyPreferences(CCorvinaPersistentData& store, unsigned preferences);

}  // namespace corvina::dialogs
