// The Connect dialog and the Session Setup dialog without their windows:
// each edits a working copy of one profile and commits it to the store,
// which then saves everything modified. Refusals are shown as message boxes
// through the store's user interface and returned, so that the window can
// focus the control.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/PersistentData.h"
#include "dialogs/SetupPages.h"
#include "keyboard/KeyText.h"
#include "keyboard/Toolbar.h"

namespace corvina::dialogs {

struct DialogServices {
  CCorvinaPersistentData& store;
  // The generic name dialog: caption, prompt, starting text; nullopt for Cancel.
  std::function<std::optional<std::string>(const std::string&, const std::string&, const std::string&)> askName;
  // A stored profile changed: sessions that use it take the new settings.
  std::function<void(const CCorvinaSessionProfile&)> profileChanged;
  // Installed printers, for the Printer page.
  std::vector<std::string> printers;
  // The type-key dialog: the combination typed, nullopt for Cancel.
  std::function<std::optional<KeyCode>()> typeKey = {};
  // The script file chooser of "Add Key..." on the script row.
  std::function<std::optional<std::string>()> chooseScriptFile = {};
  // The macro list dialog of "&More Macros...": one of the names, or nullopt.
  std::function<std::optional<std::string>(const std::vector<std::string>&)> chooseMacro = {};
};

// A refusal's message box.
void ShowWarning(CCorvinaPersistentData& store, const std::string& text);

// Save As of any kind: asks until the name is free (each refusal shown);
// nullopt when the user cancels.
std::optional<std::string> AskNewObjectName(DialogServices& services, ObjectKind kind, const std::string& initial);

class CConnectDialogModel {
 public:
  explicit CConnectDialogModel(DialogServices& services);

  std::string Caption() const;
  std::vector<std::string> Names() const;
  // The texts the controls show.
  std::string name, host, port;
  std::string terminalType;  // a short name of kConnectTerminalTypes, or "" for none
  bool TypeEnabled() const;
  bool ShowAtStartup() const;
  void SetShowAtStartup(bool show);
  const CCorvinaSessionProfile& Working() const { return working_; }

  // Checks the texts and copies them into the working profile.
  std::optional<Refusal> Validate();
  // The refusal of the last check, for the window to focus its control.
  const std::optional<Refusal>& LastRefusal() const { return lastRefusal_; }
  // A name chosen from the list or typed: false (the old name shown again)
  // when the texts are refused.
  bool ChooseName(const std::string& chosen);
  void ChooseType(const std::string& shortName);
  // "&Connect": true when the dialog closes; Name() is the profile to start.
  bool Connect();
  // "&Advanced...": `openSetup` runs the Session Setup dialog on a name and
  // returns the name current there when it closed with OK.
  bool Advanced(const std::function<std::optional<std::string>(const std::string&)>& openSetup);

 private:
  void Fill();
  void TakeProfile(const std::string& profileName);
  void Commit();
  void Show(const Refusal& refusal) const;

  DialogServices& services_;
  CCorvinaSessionProfile working_;
  std::optional<Refusal> lastRefusal_;
};

class CSessionSetupModel {
 public:
  // `page` is the page last shown (0 for "Host").
  CSessionSetupModel(DialogServices& services, const std::string& profileName, int page = 0);

  std::string Caption() const;
  std::vector<std::string> Names() const;
  const std::string& Name() const { return name_; }
  CCorvinaSessionProfile& Working() { return working_; }
  bool HasCurrent() const { return current_ != nullptr; }
  bool DeleteEnabled() const { return current_ && current_->connectedSessions == 0; }
  bool Modified() const { return modified_; }
  // Any change on a page.
  void MarkModified() { modified_ = true; }

  int ShownIndex() const { return shown_; }
  const Page& ShownPage() const { return page_; }
  // The shown page's texts from the working profile.
  FieldValues ShownValues() const { return page_.Load(working_); }
  // Page switches and the buttons take the texts the shown page has now.
  std::optional<Refusal> ShowPage(int index, const FieldValues& shown);
  std::optional<Refusal> ChooseProfile(const std::string& chosen, const FieldValues& shown);
  std::optional<Refusal> Apply(const FieldValues& shown);
  // True when the dialog closes.
  bool Ok(const FieldValues& shown);
  bool SaveAs(const FieldValues& shown);
  bool Delete(const FieldValues& shown);

  // The Keyboard and Toolbars pages' Delete buttons (the default of the
  // family refused); profiles naming it, the working one included, take the
  // family's default.
  bool DeleteKeyboardMap(const std::string& mapName);
  bool DeleteKeypadToolbar(const std::string& toolbarName);
  // After the keyboard-setup dialog closed with OK on `mapName`.
  void TakeKeyboardMap(const std::string& mapName);
  // Keypad "Customize...": `customised` holds the buttons the user made of
  // the toolbar `toolbarName`; asks for a name as the Part says.
  bool FinishKeypadCustomize(const std::string& toolbarName, const std::vector<ToolbarButton>& customised);
  // Standard "Customize...": the buttons go into the "Standard" toolbar in place.
  bool FinishStandardCustomize(const std::vector<ToolbarButton>& customised);
  // Keypad "Rename...": the name dialog until the name is free; the default
  // toolbars keep theirs. Profiles naming the toolbar take the new name.
  bool RenameKeypadToolbar(const std::string& toolbarName);
  // The Terminal page's type list changed: the type's own screen size and
  // Telnet type, and the page rebuilt for the new family (labels, option
  // groups, the other pages' default names).
  std::optional<Refusal> ChooseTerminalType(const std::string& shortName, FieldValues shown);

  // The page shown rebuilt (after lists or the family changed).
  void Reload();

 private:
  PageContext Context() const;
  std::optional<Refusal> StoreShown(const FieldValues& shown);
  bool Store();
  void Become(std::shared_ptr<CCorvinaSessionProfile> profile);
  bool DeleteFamilyObject(ObjectKind kind, const std::string& objectName, const char* defaultRefusal,
                          const char* noneRefusal);
  void Show(const Refusal& refusal) const;

  DialogServices& services_;
  std::string name_;
  std::shared_ptr<CCorvinaSessionProfile> current_;
  CCorvinaSessionProfile working_;
  bool modified_ = false;
  int shown_ = 0;
  Page page_;
};

}  // namespace corvina::dialogs
