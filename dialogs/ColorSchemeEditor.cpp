#include "dialogs/ColorSchemeEditor.h"

#include "app/Preferences.h"
#include "config/StoreTexts.h"
#include "config/TerminalTypes.h"
#include "dialogs/DialogTexts.h"
#include "platform/Format.h"
#include "platform/UserInterface.h"

namespace corvina::dialogs {

const std::array<Rgb, 16> kColorButtons = {{
    {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255},
    {255, 255, 255},
}};

const std::array<PreferenceRow, 9> kPreferenceRows = {{
    {app::kPrefConnectDialogAtStartup, "Show Connect dialog box at startup"},
    {app::kPrefExitWithLastSession, "Terminate automatically when the last session closes"},
    {app::kPrefWarnWhenHostCloses, "Warn me when the host closes a session"},
    {app::kPrefConfirmSessionClose, "Ask for confirmation if I close a session"},
    {app::kPrefConfirmExitWithSessions, "Ask for confirmation before terminating if sessions are still connected"},
    {app::kPrefFullScreenInstructions, "Show instructions when going to full screen mode"},
    {app::kPrefHonorSessionToolbars, "Honor session settings for toolbar, status bar and OIA"},
    {app::kPrefMainMenuBar, "Display main menu bar"},
    {app::kPrefAlwaysOnTop, "Always on top"},
}};

bool ApplyPreferences(CCorvinaPersistentData& store, unsigned preferences) {
  store.preferences = preferences;
  return store.SaveAll();
}

using platform::Answer;
using platform::Buttons;
using platform::Icon;

CColorSchemeEditor::CColorSchemeEditor(DialogServices& services, unsigned terminalKind, const std::string& schemeName)
    : services_(services), family_(FamilyType(terminalKind)), working_({}, family_) {
  selected_.clear();
  if (auto* scheme = dynamic_cast<CCorvinaColorScheme*>(services_.store.Find(ObjectKind::kColorScheme, schemeName));
      scheme && scheme->TypeCode() == family_) {
    selected_ = scheme->name;
    working_ = *scheme;
  }
}

std::vector<std::string> CColorSchemeEditor::Schemes() const {
  std::vector<std::string> names;
  for (const auto& [key, object] : services_.store.Objects(ObjectKind::kColorScheme)) {
    if (object->TypeCode() == family_) names.push_back(object->name);
  }
  return names;
}

void CColorSchemeEditor::Select(const std::string& schemeName) {
  if (modified_ && !selected_.empty() &&
      services_.store.Ui().MessageBox(platform::Format(store_texts::kSaveSchemeChanges, selected_.c_str()), texts::kProduct,
                                      Buttons::YesNo, Answer::Yes, Icon::Question) == Answer::Yes) {
    Commit();
  }
  modified_ = false;
  auto* scheme = dynamic_cast<CCorvinaColorScheme*>(services_.store.Find(ObjectKind::kColorScheme, schemeName));
  if (!scheme || scheme->TypeCode() != family_) {
    selected_.clear();
    working_ = CCorvinaColorScheme({}, family_);
    return;
  }
  selected_ = scheme->name;
  working_ = *scheme;
  element = 0;
}

void CColorSchemeEditor::SetColor(Rgb color) {
  if (editForeground) {
    working_.SetForeground(element, color);
  } else {
    working_.SetBackground(element, color);
  }
  modified_ = true;
}

void CColorSchemeEditor::ResetColor() {
  working_.ResetElement(element);
  modified_ = true;
}

void CColorSchemeEditor::ResetAll() {
  working_.ResetAll();
  modified_ = true;
}

bool CColorSchemeEditor::Commit() {
  auto* scheme = dynamic_cast<CCorvinaColorScheme*>(services_.store.Find(ObjectKind::kColorScheme, selected_));
  if (!scheme) return false;
  if (modified_) {
    const std::string file = scheme->fileName;
    *scheme = working_;
    scheme->fileName = file;
    scheme->modified = true;
  }
  modified_ = false;
  return services_.store.SaveModified(ObjectKind::kColorScheme);
}

bool CColorSchemeEditor::SaveAs() {
  auto chosen = AskNewObjectName(services_, ObjectKind::kColorScheme, {});
  if (!chosen) return false;
  auto created = std::make_shared<CCorvinaColorScheme>(working_);
  created->name = *chosen;
  created->fileName.clear();
  created->modified = true;
  if (!services_.store.Add(created, true)) return false;
  modified_ = false;
  Select(*chosen);
  return true;
}

bool CColorSchemeEditor::Delete() {
  if (selected_.empty()) {
    ShowWarning(services_.store, store_texts::kSelectColorScheme);
    return false;
  }
  if (NameKey(selected_) == NameKey(DefaultObjectNameForKind(family_))) {
    ShowWarning(services_.store, store_texts::kCantDeleteDefaultScheme);
    return false;
  }
  if (!services_.store.Delete(ObjectKind::kColorScheme, selected_, true)) return false;
  modified_ = false;
  Select(std::string(DefaultObjectNameForKind(family_)));
  return true;
}

}  // namespace corvina::dialogs
