#include "dialogs/ToolbarCustomizer.h"

#include <algorithm>

#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyboardTexts.h"

namespace corvina::dialogs {

namespace {

// Labels typed into the dialog: one line, no comma (the file splits there).
std::string CleanLabel(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != ',' && c != 0x7F) out += c;
  }
  return out.substr(0, 64);
}

}  // namespace

CToolbarCustomizer::CToolbarCustomizer(const CCorvinaToolbar& toolbar) : toolbar_(toolbar), original_(toolbar.buttons) {}

std::vector<int> CToolbarCustomizer::Available() const {
  std::vector<int> ids;
  for (const KeyFunctionRow& row : KeyFunctionTable(toolbar_.TypeCode())) {
    if (row.repeatClass == kRepeatClassHidden || !toolbar_.Offers(row.id)) continue;
    const bool onBar = std::any_of(toolbar_.buttons.begin(), toolbar_.buttons.end(),
                                   [&](const ToolbarButton& b) { return b.id == row.id; });
    if (!onBar && std::find(ids.begin(), ids.end(), row.id) == ids.end()) ids.push_back(row.id);
  }
  return ids;
}

std::string CToolbarCustomizer::Label(const ToolbarButton& button) const {
  if (button.IsSeparator()) return std::string(keyboard_texts::kSeparatorName);
  return toolbar_.ButtonLabel(button);
}

int CToolbarCustomizer::Insert(ToolbarButton button, int at) {
  auto& list = toolbar_.buttons;
  if (static_cast<int>(list.size()) >= kMaxToolbarButtons) return -1;
  if (at < 0 || at > static_cast<int>(list.size())) at = static_cast<int>(list.size());
  list.insert(list.begin() + at, std::move(button));
  return at;
}

int CToolbarCustomizer::Add(int id, int at) {
  const auto available = Available();
  if (std::find(available.begin(), available.end(), id) == available.end()) return -1;
  return Insert(ToolbarButton{id, {}}, at);
}

int CToolbarCustomizer::AddSeparator(int at) { return Insert(ToolbarButton{0, {}}, at); }

int CToolbarCustomizer::Remove(int index) {
  // The file needs one button at least.
  if (!Valid(index) || toolbar_.buttons.size() < 2) return -1;
  toolbar_.buttons.erase(toolbar_.buttons.begin() + index);
  return std::min(index, static_cast<int>(toolbar_.buttons.size()) - 1);
}

int CToolbarCustomizer::Move(int index, int delta) {
  const int to = index + delta;
  if (!Valid(index) || !Valid(to) || delta == 0) return -1;
  auto& list = toolbar_.buttons;
  ToolbarButton moved = std::move(list[static_cast<std::size_t>(index)]);
  list.erase(list.begin() + index);
  list.insert(list.begin() + to, std::move(moved));
  return to;
}

bool CToolbarCustomizer::SetLabel(int index, const std::string& label) {
  if (!Valid(index)) return false;
  ToolbarButton& b = toolbar_.buttons[static_cast<std::size_t>(index)];
  if (b.IsSeparator()) return false;
  std::string clean = CleanLabel(label);
  // The function's own text is no custom label.
  if (clean == toolbar_.ButtonLabel(ToolbarButton{b.id, {}})) clean.clear();
  b.label = std::move(clean);
  return true;
}

void CToolbarCustomizer::Reset() { toolbar_.ResetButtons(); }

}  // namespace corvina::dialogs
