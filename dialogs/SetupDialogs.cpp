#include "dialogs/SetupDialogs.h"

#include <algorithm>

#include "app/Preferences.h"
#include "config/StoreTexts.h"
#include "config/TerminalTypes.h"
#include "dialogs/DialogTexts.h"
#include "platform/Format.h"
#include "platform/UserInterface.h"

namespace corvina::dialogs {

using platform::Format;

namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

bool AskYesNo(CCorvinaPersistentData& store, const std::string& text) {
  return store.Ui().MessageBox(text, texts::kProduct, Buttons::YesNo, Answer::Yes, Icon::Question) == Answer::Yes;
}

std::vector<std::string> ProfileNames(const CCorvinaPersistentData& store) {
  std::vector<std::string> names;
  for (const auto& profile : store.Profiles()) names.push_back(profile->name);
  return names;
}

}  // namespace

void ShowWarning(CCorvinaPersistentData& store, const std::string& text) {
  store.Ui().MessageBox(text, texts::kProduct, Buttons::Ok, Answer::Ok, Icon::Warning);
}

std::optional<std::string> AskNewObjectName(DialogServices& services, ObjectKind kind, const std::string& initial) {
  std::string text = initial;
  for (;;) {
    auto typed = services.askName ? services.askName(Format(store_texts::kSaveAsTitle, texts::kProduct),
                                                     texts::kSaveAsPrompt, text)
                                  : std::nullopt;
    if (!typed) return std::nullopt;
    const std::string problem = services.store.NewNameProblem(kind, *typed);
    if (problem.empty()) return typed;
    ShowWarning(services.store, problem);
    text = *typed;
  }
}

// ---- Connect dialog ----

CConnectDialogModel::CConnectDialogModel(DialogServices& services) : services_(services) {
  working_ = *services_.store.NewProfile();
  name = services_.store.sessionName;
  const auto names = Names();
  if (!names.empty()) {
    auto stored = services_.store.FindProfile(name);
    if (!stored) stored = services_.store.FindProfile(names.front());
    working_ = *stored;
    working_.modified = false;
  }
  Fill();
}

std::string CConnectDialogModel::Caption() const { return Format(texts::kConnectTitle, texts::kProduct); }

std::vector<std::string> CConnectDialogModel::Names() const { return ProfileNames(services_.store); }

void CConnectDialogModel::Fill() {
  name = working_.name;
  host = working_.host;
  port = Format("%d", working_.port);
  terminalType.clear();
  const std::string shortName(TerminalShortName(working_.terminalType));
  for (const char* offered : kConnectTerminalTypes) {
    if (shortName == offered) terminalType = offered;
  }
}

bool CConnectDialogModel::TypeEnabled() const {
  auto stored = services_.store.FindProfile(working_.name);
  return !(stored && stored->connectedSessions > 0);
}

bool CConnectDialogModel::ShowAtStartup() const {
  return (services_.store.preferences & app::kPrefConnectDialogAtStartup) != 0;
}

void CConnectDialogModel::SetShowAtStartup(bool show) {
  unsigned& p = services_.store.preferences;
  p = show ? (p | app::kPrefConnectDialogAtStartup) : (p & ~app::kPrefConnectDialogAtStartup);
}

void CConnectDialogModel::Show(const Refusal& refusal) const { ShowWarning(services_.store, refusal.message); }

std::optional<Refusal> CConnectDialogModel::Validate() {
  std::optional<Refusal> refusal;
  const auto parsedPort = ParseDialogPort(port);
  if (host.empty()) {
    refusal = Refusal{texts::kEnterHost, "host"};
  } else if (!parsedPort) {
    refusal = Refusal{texts::kEnterPort, "port"};
  } else if (TerminalCodeOfShortName(terminalType) == 0) {
    refusal = Refusal{texts::kSelectTerminalType, "type"};
  }
  lastRefusal_ = refusal;
  if (refusal) {
    Show(*refusal);
    return refusal;
  }
  if (name.empty()) name = host;
  if (working_.name != name || working_.host != host || working_.port != *parsedPort) working_.modified = true;
  working_.name = name;
  working_.host = host;
  working_.port = *parsedPort;
  return std::nullopt;
}

void CConnectDialogModel::TakeProfile(const std::string& profileName) {
  if (auto stored = services_.store.FindProfile(profileName)) {
    working_ = *stored;
    working_.modified = false;
  } else {
    working_.NameNewProfile(profileName, services_.store.logExtension);
  }
}

bool CConnectDialogModel::ChooseName(const std::string& chosen) {
  const std::string previous = working_.name;
  if (Validate()) {
    name = previous;
    return false;
  }
  if (working_.modified && AskYesNo(services_.store, Format(texts::kSaveChanges, working_.name.c_str()))) Commit();
  TakeProfile(chosen);
  Fill();
  return true;
}

void CConnectDialogModel::ChooseType(const std::string& shortName) {
  const auto size = TerminalSelectionForShortName(shortName);
  if (!size) return;
  working_.SetTerminalType(services_.store.TerminalTypes(), size->code, size->rows, size->columns);
  working_.modified = true;
  terminalType = shortName;
}

void CConnectDialogModel::Commit() {
  CCorvinaPersistentData& store = services_.store;
  auto stored = store.FindProfile(working_.name);
  if (!stored) {
    auto created = std::make_shared<CCorvinaSessionProfile>(working_);
    created->fileName.clear();
    created->connectedSessions = 0;
    created->modified = true;
    store.Add(created, false);
  } else if (working_.modified) {
    stored->AssignSettings(working_);
    stored->modified = true;
    if (services_.profileChanged) services_.profileChanged(*stored);
  }
  working_.modified = false;
  store.SaveAll();
}

bool CConnectDialogModel::Connect() {
  if (Validate()) return false;
  if (services_.store.sessionName != name) services_.store.sessionName = name;
  Commit();
  return true;
}

bool CConnectDialogModel::Advanced(const std::function<std::optional<std::string>(const std::string&)>& openSetup) {
  if (Validate()) return false;
  Commit();
  if (auto chosen = openSetup(name)) name = *chosen;
  if (auto stored = services_.store.FindProfile(name)) {
    working_ = *stored;
    working_.modified = false;
  } else {
    working_ = *services_.store.NewProfile();
    if (!services_.store.Profiles().empty()) {
      working_ = *services_.store.Profiles().front();
      working_.modified = false;
    }
  }
  Fill();
  return true;
}

// ---- Session Setup dialog ----

CSessionSetupModel::CSessionSetupModel(DialogServices& services, const std::string& profileName, int page)
    : services_(services), shown_(std::clamp(page, 0, kPageCount - 1)) {
  auto profile = services_.store.FindProfile(profileName.empty() ? services_.store.sessionName : profileName);
  if (!profile && !services_.store.Profiles().empty()) profile = services_.store.Profiles().front();
  working_ = *services_.store.NewProfile();
  Become(profile);
}

std::string CSessionSetupModel::Caption() const { return Format(texts::kSetupTitle, texts::kProduct); }

std::vector<std::string> CSessionSetupModel::Names() const { return ProfileNames(services_.store); }

PageContext CSessionSetupModel::Context() const {
  return PageContext{services_.store, current_ && current_->connectedSessions > 0, services_.printers};
}

void CSessionSetupModel::Reload() { page_ = BuildPage(static_cast<PageId>(shown_), working_, Context()); }

void CSessionSetupModel::Become(std::shared_ptr<CCorvinaSessionProfile> profile) {
  current_ = std::move(profile);
  if (current_) {
    working_ = *current_;
    name_ = current_->name;
  } else {
    working_ = *services_.store.NewProfile();
    name_.clear();
  }
  working_.modified = false;
  modified_ = false;
  Reload();
}

void CSessionSetupModel::Show(const Refusal& refusal) const { ShowWarning(services_.store, refusal.message); }

std::optional<Refusal> CSessionSetupModel::StoreShown(const FieldValues& shown) {
  auto refusal = page_.Store(shown, working_);
  if (refusal) {
    Show(*refusal);
    return refusal;
  }
  if (working_.modified) modified_ = true;
  return std::nullopt;
}

std::optional<Refusal> CSessionSetupModel::ShowPage(int index, const FieldValues& shown) {
  if (auto refusal = StoreShown(shown)) return refusal;
  shown_ = std::clamp(index, 0, kPageCount - 1);
  Reload();
  return std::nullopt;
}

bool CSessionSetupModel::Store() {
  CCorvinaPersistentData& store = services_.store;
  if (auto stored = store.FindProfile(working_.name)) {
    if (modified_ || working_.modified) {
      stored->AssignSettings(working_);
      stored->modified = true;
    }
    current_ = stored;
    if (services_.profileChanged) services_.profileChanged(*stored);
  } else {
    auto created = std::make_shared<CCorvinaSessionProfile>(working_);
    created->modified = true;
    if (!store.Add(created, false)) return false;
    current_ = store.FindProfile(working_.name);
  }
  working_.modified = false;
  modified_ = false;
  name_ = working_.name;
  return store.SaveAll();
}

std::optional<Refusal> CSessionSetupModel::ChooseProfile(const std::string& chosen, const FieldValues& shown) {
  if (auto refusal = StoreShown(shown)) return refusal;
  if (modified_ && AskYesNo(services_.store, Format(texts::kSaveChanges, working_.name.c_str()))) Store();
  auto profile = services_.store.FindProfile(chosen);
  if (profile) Become(profile);
  return std::nullopt;
}

std::optional<Refusal> CSessionSetupModel::Apply(const FieldValues& shown) {
  if (!current_) {
    if (!SaveAs(shown)) return Refusal{};
    return std::nullopt;
  }
  if (auto refusal = StoreShown(shown)) return refusal;
  if (!Store()) return Refusal{};
  return std::nullopt;
}

bool CSessionSetupModel::Ok(const FieldValues& shown) {
  if (Apply(shown)) return false;
  if (services_.store.sessionName != name_) {
    services_.store.sessionName = name_;
    services_.store.SaveAll();
  }
  return true;
}

bool CSessionSetupModel::SaveAs(const FieldValues& shown) {
  if (StoreShown(shown)) return false;
  const std::string initial = current_ && NameKey(name_) == NameKey(current_->name) ? std::string() : name_;
  auto chosen = AskNewObjectName(services_, ObjectKind::kSessionProfile, initial);
  if (!chosen) return false;
  working_.NameNewProfile(*chosen, services_.store.logExtension);
  const bool ok = Store();
  Reload();
  return ok;
}

bool CSessionSetupModel::Delete(const FieldValues& shown) {
  if (StoreShown(shown) || !current_) return false;
  const auto names = Names();
  const auto position = std::find(names.begin(), names.end(), current_->name) - names.begin();
  if (!services_.store.Delete(ObjectKind::kSessionProfile, current_->name, true)) return false;
  const auto left = Names();
  std::shared_ptr<CCorvinaSessionProfile> next;
  if (!left.empty()) next = services_.store.FindProfile(left[std::min<std::size_t>(position, left.size() - 1)]);
  Become(next);
  return true;
}

bool CSessionSetupModel::DeleteFamilyObject(ObjectKind kind, const std::string& objectName,
                                            const char* defaultRefusal, const char* noneRefusal) {
  CCorvinaPersistentData& store = services_.store;
  CCorvinaNamedObject* object = objectName.empty() ? nullptr : store.Find(kind, objectName);
  if (!object) {
    ShowWarning(store, noneRefusal);
    return false;
  }
  const std::string defaultName(DefaultObjectNameForKind(object->TypeCode()));
  if (NameKey(objectName) == NameKey(defaultName)) {
    ShowWarning(store, defaultRefusal);
    return false;
  }
  auto field = [kind](CCorvinaSessionProfile& p) -> std::string& {
    return kind == ObjectKind::kKeyboardMap ? p.keyboardMapName
           : kind == ObjectKind::kColorScheme ? p.colorSchemeName
                                              : p.keypadToolbarName;
  };
  std::vector<std::shared_ptr<CCorvinaSessionProfile>> running;
  for (const auto& profile : store.Profiles()) {
    if (profile->connectedSessions > 0 && NameKey(field(*profile)) == NameKey(objectName)) running.push_back(profile);
  }
  if (!store.Delete(kind, objectName, true)) return false;
  if (NameKey(field(working_)) == NameKey(objectName)) {
    field(working_) = std::string(DefaultObjectNameForKind(working_.terminalType));
    working_.modified = true;
    modified_ = true;
  }
  for (const auto& profile : running) {
    if (services_.profileChanged) services_.profileChanged(*profile);
  }
  Reload();
  return true;
}

bool CSessionSetupModel::DeleteKeyboardMap(const std::string& mapName) {
  return DeleteFamilyObject(ObjectKind::kKeyboardMap, mapName, texts::kCantDeleteDefaultMap, texts::kSelectKeyboardMap);
}

bool CSessionSetupModel::DeleteKeypadToolbar(const std::string& toolbarName) {
  return DeleteFamilyObject(ObjectKind::kToolbar, toolbarName, texts::kCantDeleteDefaultToolbar,
                            texts::kSelectKeypadToolbar);
}

void CSessionSetupModel::TakeKeyboardMap(const std::string& mapName) {
  if (!services_.store.Find(ObjectKind::kKeyboardMap, mapName)) return;
  working_.keyboardMapName = mapName;
  working_.modified = true;
  modified_ = true;
  Reload();
}

bool CSessionSetupModel::FinishKeypadCustomize(const std::string& toolbarName,
                                               const std::vector<ToolbarButton>& customised) {
  CCorvinaPersistentData& store = services_.store;
  auto* bar = dynamic_cast<CCorvinaToolbar*>(store.Find(ObjectKind::kToolbar, toolbarName));
  if (!bar) {
    ShowWarning(store, texts::kSelectKeypadToolbar);
    return false;
  }
  std::string text = bar->name;
  for (;;) {
    auto typed = services_.askName
                     ? services_.askName(Format(store_texts::kSaveAsTitle, texts::kProduct), texts::kSaveAsPrompt, text)
                     : std::nullopt;
    if (!typed) return false;
    if (NameKey(*typed) == NameKey(bar->name)) {
      bar->buttons = customised;
      bar->modified = true;
      return store.SaveModified(ObjectKind::kToolbar);
    }
    if (std::string problem = store.NewNameProblem(ObjectKind::kToolbar, *typed); !problem.empty()) {
      ShowWarning(store, problem);
      text = *typed;
      continue;
    }
    // The customised buttons go to the new toolbar; the old one keeps its own.
    auto created = std::make_shared<CCorvinaToolbar>(*bar);
    created->name = *typed;
    created->fileName.clear();
    created->buttons = customised;
    created->modified = true;
    if (!store.Add(created, true)) return false;
    working_.keypadToolbarName = *typed;
    working_.modified = true;
    modified_ = true;
    Reload();
    return true;
  }
}

bool CSessionSetupModel::FinishStandardCustomize(const std::vector<ToolbarButton>& customised) {
  CCorvinaPersistentData& store = services_.store;
  auto* bar = dynamic_cast<CCorvinaToolbar*>(store.Find(ObjectKind::kToolbar, kStandardToolbarName));
  if (!bar || customised.empty()) return false;
  if (bar->buttons == customised) return true;
  bar->buttons = customised;
  bar->modified = true;
  return store.SaveModified(ObjectKind::kToolbar);
}

bool CSessionSetupModel::RenameKeypadToolbar(const std::string& toolbarName) {
  CCorvinaPersistentData& store = services_.store;
  auto old = std::dynamic_pointer_cast<CCorvinaToolbar>(store.FindShared(ObjectKind::kToolbar, toolbarName));
  if (!old || old->TypeCode() == 0) {
    ShowWarning(store, texts::kSelectKeypadToolbar);
    return false;
  }
  if (NameKey(old->name) == NameKey(old->DefaultName())) {
    ShowWarning(store, texts::kCantRenameDefaultToolbar);
    return false;
  }
  const auto typed = AskNewObjectName(services_, ObjectKind::kToolbar, old->name);
  if (!typed) return false;
  // The new file is written before the old one goes: a failed save loses nothing.
  auto renamed = std::make_shared<CCorvinaToolbar>(*old);
  renamed->name = *typed;
  renamed->fileName.clear();
  renamed->modified = true;
  if (!store.Add(renamed, true)) return false;
  const std::string oldKey = NameKey(old->name);
  std::vector<std::shared_ptr<CCorvinaSessionProfile>> running;
  for (const auto& p : store.Profiles()) {
    if (NameKey(p->keypadToolbarName) != oldKey) continue;
    p->keypadToolbarName = *typed;
    p->modified = true;
    if (p->connectedSessions > 0) running.push_back(p);
  }
  store.Delete(ObjectKind::kToolbar, old->name, false);
  if (NameKey(working_.keypadToolbarName) == oldKey) {
    working_.keypadToolbarName = *typed;
    working_.modified = true;
    modified_ = true;
  }
  store.SaveModified(ObjectKind::kSessionProfile);
  for (const auto& p : running) {
    if (services_.profileChanged) services_.profileChanged(*p);
  }
  Reload();
  return true;
}

std::optional<Refusal> CSessionSetupModel::ChooseTerminalType(const std::string& shortName, FieldValues shown) {
  const auto size = TerminalSelectionForShortName(shortName);
  if (!size || page_.id != PageId::kTerminal) return std::nullopt;
  shown["type"] = shortName;
  const std::string text = Format("%d x %d", size->rows, size->columns);
  shown["size"] = std::find(std::begin(kScreenSizes), std::end(kScreenSizes), text) != std::end(kScreenSizes)
                      ? text
                      : std::string("Custom");
  shown["rows"] = std::to_string(size->rows);
  shown["columns"] = std::to_string(size->columns);
  if (auto refusal = StoreShown(shown)) return refusal;
  Reload();
  return std::nullopt;
}

}  // namespace corvina::dialogs
