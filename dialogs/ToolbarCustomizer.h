// The toolbar customisation dialog without its window: a working list of a
// toolbar's buttons, the functions its type offers that are not on it, and
// the edits (add, remove, move, separators, labels, reset). The toolbar
// itself changes only when the caller commits the working list.
#pragma once

#include <string>
#include <vector>

#include "keyboard/Toolbar.h"

namespace corvina::dialogs {

class CToolbarCustomizer {
 public:
  explicit CToolbarCustomizer(const CCorvinaToolbar& toolbar);

  const std::string& Name() const { return toolbar_.name; }
  unsigned TypeCode() const { return toolbar_.TypeCode(); }
  const std::vector<ToolbarButton>& Buttons() const { return toolbar_.buttons; }
  // The functions of the toolbar's type not on it, in table order.
  std::vector<int> Available() const;
  // A button's text in the lists; separators read as "Separator".
  std::string Label(const ToolbarButton& button) const;
  std::string FunctionLabel(int id) const { return Label(ToolbarButton{id, {}}); }

  // Each edit returns the index of the button it leaves selected, or -1
  // when it did nothing. `at` past the end (or negative) appends.
  int Add(int id, int at);
  int AddSeparator(int at);
  int Remove(int index);
  int Move(int index, int delta);
  // An empty label goes back to the function's own text.
  bool SetLabel(int index, const std::string& label);
  // The type's built-in buttons.
  void Reset();
  // Whether the working list differs from the toolbar's.
  bool Changed() const { return toolbar_.buttons != original_; }

 private:
  int Insert(ToolbarButton button, int at);
  bool Valid(int index) const { return index >= 0 && index < static_cast<int>(toolbar_.buttons.size()); }

  CCorvinaToolbar toolbar_;
  std::vector<ToolbarButton> original_;
};

}  // namespace corvina::dialogs
