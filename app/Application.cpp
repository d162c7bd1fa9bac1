#include "app/Application.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "app/AppTexts.h"
#include "config/TerminalTypes.h"
#include "ibm3270/Engine3270.h"
#include "ibm5250/Engine5250.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/StoreKinds.h"
#include "vt/VtEngine.h"
#include "platform/AppProfile.h"
#include "platform/FileIo.h"
#include "platform/Format.h"
#include "platform/IniFile.h"
#include "platform/UserFolders.h"

namespace corvina::app {

using platform::Format;

namespace {

constexpr auto kClockPeriod = std::chrono::seconds(1);

std::string WorkingFolder() {
  std::error_code ec;
  std::string folder = std::filesystem::current_path(ec).string();
  return ec ? std::string("/") : folder;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

}  // namespace

std::string DataFolderFor(const platform::IniFile& appProfile, const std::string& option) {
  if (!option.empty()) {
    std::string folder = option;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return DataFolderFromSetting(folder + "/", WorkingFolder());
  }
  const std::string setting = appProfile.GetString(kConfigurationSection, "DataPath");
  if (setting.empty() && !platform::DefaultDataFolder().empty()) return platform::DefaultDataFolder();
  return DataFolderFromSetting(setting, WorkingFolder());
}

CCorvinaApp::CCorvinaApp(AppEnvironment env, platform::IniFile& appProfile)
    : env_(std::move(env)), appProfile_(appProfile) {
  env_.settings = &appProfile_;
}

CCorvinaApp::~CCorvinaApp() {
  *alive_ = false;
  if (clock_ != 0) env_.loop.CancelTimer(clock_);
  dde_.reset();
  hllapi_.reset();
  scripts_.reset();
  table_.reset();
}

void CCorvinaApp::Error(const std::string& text) {
  env_.ui.MessageBox(text, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
}

bool CCorvinaApp::Initialise(AppOptions options) {
  options_ = std::move(options);
  // A folder named for this run is never made up: a typing error would
  // otherwise leave a new, empty data folder behind.
  const std::string folder = DataFolderFor(appProfile_, options_.dataFolder);
  if (!options_.dataFolder.empty() && !Exists(folder)) {
    Error(Format(texts::kNoSuchDataFolder, folder.c_str()));
    return false;
  }

  // Every copy registers, so that a copy with a limit counts the others too.
  const long limit = appProfile_.GetInt(kConfigurationSection, "MaxInstances", -1);
  const std::string runtime = options_.runtimeFolder.empty() ? platform::RuntimeFolderPath() : options_.runtimeFolder;
  std::string cause;
  instances_ = platform::PreparePrivateFolder(runtime, &cause) ? registration_.Register(runtime, &cause) : 0;
  if (instances_ > 0) runtimeFolder_ = runtime;
  if (instances_ == 0) {
    env_.ui.MessageBox(Format(texts::kRuntimeFolderUnusable, runtime.c_str(), cause.c_str()), texts::kCaption,
                       platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Warning);
  } else if (limit >= 1 && instances_ > limit) {
    // Below 1 there is no limit: 0 would let no copy run at all.
    Error(Format(texts::kTooManyInstances, instances_ - 1, limit));
    return false;
  }

  // Profiles can name scripts to run: only this user may put files there.
  if (!Exists(folder)) {
    if (int err = platform::MakeFolders(folder)) {
      Error(Format(texts::kDataFolderNotCreated, folder.c_str(), std::strerror(err)));
      return false;
    }
  } else if (!platform::CheckTrustedFolder(folder, &cause)) {
    Error(Format(texts::kDataFolderUnusable, folder.c_str(), cause.c_str()));
    return false;
  }

  store_ = std::make_unique<CCorvinaPersistentData>(folder, appProfile_, env_.ui);
  RegisterKeyboardObjects(*store_);
  if (!store_->LoadAll()) return false;
  const std::string ownFolder = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
  env_.codePageFolder = appProfile_.GetString(kConfigurationSection, "CodePageFolder", ownFolder);
  table_ = std::make_unique<CSessionTable>(env_, *store_);
  table_->SetObserver(this);
  table_->SetAllSessionsVisible(options_.headless);
  scripts_ = std::make_unique<script::CScriptManager>(static_cast<script::ScriptHost&>(*this));
  scripts_->scriptEnded = [this](const std::string& file, int result) { ScriptEnded(file, result); };
  table_->runScript = [this](CHostSession* session, const std::string& file) { return RunScript(session, file); };
  table_->scriptOf = [this](const CHostSession& session) { return scripts_->ScriptOf(session); };
  commandLine_ = StripEnclosingQuotes(options_.commandLine);
  return true;
}

void CCorvinaApp::StartUp() {
  clock_ = env_.loop.AddTimer(kClockPeriod, true, [this] { table_->Tick(); });
  // Without the library the program runs on; the status line tells why.
  if (!options_.headless && !netUtilities_.Load()) env_.ui.SetStatusText(netUtilities_.Error());
  // Without DDE the program runs on; the user is told once.
  if (!runtimeFolder_.empty()) {
    dde_ = std::make_unique<automation::CDdeServer>(env_.loop, static_cast<automation::DdeFrame&>(*this));
    if (std::string cause; !dde_->Start(runtimeFolder_, &cause)) {
      dde_.reset();
      env_.ui.MessageBox(Format(texts::kDdeFailed, cause.c_str()), texts::kCaption, platform::Buttons::Ok,
                         platform::Answer::Ok, platform::Icon::Warning);
    }
  }
  if (!runtimeFolder_.empty()) {
    hllapi_ = std::make_unique<automation::CHllapiServer>(env_.loop, runtimeFolder_);
    if (std::string cause; !hllapi_->Start(&cause)) {
      hllapi_.reset();
      env_.ui.MessageBox(Format(texts::kHllapiFailed, cause.c_str()), texts::kCaption, platform::Buttons::Ok,
                         platform::Answer::Ok, platform::Icon::Warning);
    } else {
      hllapi_->showSession = [this](CHostSession& s) {
        table_->Activate(s);
        if (bringToFront) bringToFront();
      };
      table_->tallisLetterTaken = [this](char letter) { return !ClaimTallisLetter(letter); };
    }
  }
  for (const auto& profile : store_->Profiles()) {
    if (profile->hostOptions & kHostConnectAtStartup) table_->StartSession(profile);
  }
  if (!commandLine_.empty()) {
    StartFromCommandLine(commandLine_);
  } else if ((store_->preferences & kPrefConnectDialogAtStartup) && openConnectDialog) {
    openConnectDialog();
  }
  if (options_.headless && table_->LiveCount() == 0 && !ScriptsRunning()) CloseLater();
}

std::shared_ptr<CCorvinaSessionProfile> CCorvinaApp::RunProfile(
    const std::shared_ptr<CCorvinaSessionProfile>& profile) {
  if (options_.overrides.Empty()) return profile;
  // The run's own copy: the stored profile stays as it is.
  auto run = std::make_shared<CCorvinaSessionProfile>(*profile);
  run->connectedSessions = 0;
  const SessionOverrides& o = options_.overrides;
  if (!o.ApplyTo(*run, store_->TerminalTypes())) {
    const std::string kind(TerminalShortName(o.KindFor(*profile)));
    Error(Format(texts::kNoSuchScreenSize, kind.c_str(), o.RowsFor(*profile), o.ColumnsFor(*profile)));
    return nullptr;
  }
  run->modified = false;
  return run;
}

CHostSession* CCorvinaApp::StartProfile(const std::shared_ptr<CCorvinaSessionProfile>& profile) {
  auto run = RunProfile(profile);
  return run ? table_->StartSession(run, CSessionTable::kAnySlot, options_.prepareCommandLineSession) : nullptr;
}

CHostSession* CCorvinaApp::StartFromCommandLine(const std::string& argument) {
  if (auto profile = store_->FindProfile(argument)) return StartProfile(profile);
  if (IsRegularFile(argument)) {
    platform::IniFile file(argument);
    std::string name;
    if (file.Load()) name = file.GetString(kSessionProfileSection, "Name");
    if (auto profile = name.empty() ? nullptr : store_->FindProfile(name)) return StartProfile(profile);
    if (options_.sessionFileOnly)
      Error(Format(texts::kNotAStoredSession, argument.c_str(), store_->DataFolder().c_str()));
    else
      table_->RunScript(nullptr, argument);
    return nullptr;
  }
  return StartHost(argument);
}

CHostSession* CCorvinaApp::StartFromCommandLine(const std::string& argument, const SessionOverrides& overrides) {
  const SessionOverrides own = std::exchange(options_.overrides, overrides);
  CHostSession* s = StartFromCommandLine(argument);
  options_.overrides = own;
  return s;
}

CHostSession* CCorvinaApp::StartHost(const std::string& argument) {
  const HostCommand command = ParseHostCommand(argument);
  if (command.host.empty()) {
    Error(texts::kEnterHost);
    return nullptr;
  }
  if (!LooksLikeHost(command)) {
    Error(Format(texts::kNotAProfileOrHost, argument.c_str(), store_->DataFolder().c_str()));
    return nullptr;
  }
  int port = CCorvinaSessionProfile().port;
  if (options_.overrides.port) {
    port = *options_.overrides.port;
  } else if (command.port) {
    const auto parsed = ParsePort(*command.port);
    if (!parsed) {
      Error(texts::kEnterPort);
      return nullptr;
    }
    port = *parsed;
  }
  const std::string name = Format(texts::kHostProfileName, command.host.c_str(), port);
  if (auto profile = store_->FindProfile(name)) return StartProfile(profile);
  auto profile = store_->NewProfile();
  profile->name = name;
  profile->host = command.host;
  profile->port = port;
  if (command.telnet) profile->SetTerminalType(store_->TerminalTypes(), kKindVt100, 24, 80);
  // A run that is refused leaves no profile behind.
  auto run = RunProfile(profile);
  if (!run || !table_->EngineAvailable(*run)) return nullptr;
  store_->Add(profile, false);
  store_->SaveAll();
  return table_->StartSession(run, CSessionTable::kAnySlot, options_.prepareCommandLineSession);
}

bool CCorvinaApp::CloseProgram(bool ask) {
  if (closed_) return true;
  const int live = table_ ? table_->LiveCount() : 0;
  if (ask && live > 0 && (store_->preferences & kPrefConfirmExitWithSessions)) {
    const auto answer = env_.ui.MessageBox(Format(texts::kSessionsStillActive, live), texts::kCaption,
                                           platform::Buttons::YesNo, platform::Answer::No,
                                           platform::Icon::Question);
    if (answer != platform::Answer::Yes) return false;
  }
  closed_ = true;
  if (table_) table_->CloseAll();
  if (store_ && (sessionsStarted_ > 0 || !options_.headless)) store_->SaveAll();
  dde_.reset();
  hllapi_.reset();
  if (onQuit) onQuit();
  return true;
}

// The table may be inside a session's callback: close on a later turn.
void CCorvinaApp::CloseLater() {
  env_.loop.Post([this, alive = alive_] {
    if (*alive) CloseProgram(false);
  });
}

bool CCorvinaApp::ClaimTallisLetter(char letter) {
  std::string cause;
  switch (hllapi_->ClaimLetter(letter, &cause)) {
    case automation::CHllapiServer::Claim::kClaimed:
      return true;
    case automation::CHllapiServer::Claim::kInUse:
      return false;
    case automation::CHllapiServer::Claim::kUnavailable:
      break;
  }
  // The session runs, without HLLAPI access.
  env_.ui.MessageBox(Format(texts::kTallisNotServed, letter, cause.c_str()), texts::kCaption, platform::Buttons::Ok,
                     platform::Answer::Ok, platform::Icon::Warning);
  return true;
}

void CCorvinaApp::SessionStarted(CHostSession& s) {
  ++sessionsStarted_;
  if (hllapi_) hllapi_->RegisterSession(s);
  if (client_) client_->SessionStarted(s);
}

void CCorvinaApp::SessionClosing(CHostSession& s) {
  if (dde_) dde_->SessionClosing(s);
  if (hllapi_) hllapi_->UnregisterSession(s);
  if (scripts_) scripts_->SessionClosing(s);
  ForgetScriptTransfer(s);
  if (client_) client_->SessionClosing(s);
}

void CCorvinaApp::ActiveSessionChanged(CHostSession* s) {
  if (s && scripts_) scripts_->SessionActivated(*s);
  if (client_) client_->ActiveSessionChanged(s);
}

void CCorvinaApp::ScreenChanged(CHostSession& s) {
  if (dde_) dde_->SessionChanged(s);
  if (client_) client_->ScreenChanged(s);
}

void CCorvinaApp::HostDataProcessed(CHostSession& s) {
  if (hllapi_ && s.ScreenChangedFlag() && s.Engine() != nullptr) hllapi_->HostUpdate(s);
  if (scripts_) scripts_->HostDataReceived(s);
  if (client_) client_->HostDataProcessed(s);
}

void CCorvinaApp::RecordingIndicator(CHostSession& s, bool lit) {
  if (client_) client_->RecordingIndicator(s, lit);
}

void CCorvinaApp::LastSessionClosed() {
  if (client_) client_->LastSessionClosed();
  if (closed_) return;
  // A headless run ends with its last session unless a script runs on.
  if ((options_.headless && !ScriptsRunning()) || (store_->preferences & kPrefExitWithLastSession)) CloseLater();
}

}  // namespace corvina::app

namespace corvina::app {

CHostSession* CCorvinaApp::SessionByTopic(std::string_view topic) {
  for (int slot = 1; slot <= CSessionTable::kMaxSlots; ++slot) {
    CHostSession* s = table_->Session(slot);
    if (s == nullptr) continue;
    const CCorvinaSessionProfile& p = s->Profile();
    if (automation::DdeSameName(p.ddeTopic.empty() ? p.name : p.ddeTopic, topic)) return s;
  }
  return nullptr;
}

bool CCorvinaApp::StartProfileSession(std::string_view name) {
  auto profile = store_->FindProfile(std::string(name));
  if (!profile || table_->LiveCount() >= table_->SlotCount()) return false;
  // One session per profile, whatever its topic.
  for (int slot = 1; slot <= CSessionTable::kMaxSlots; ++slot)
    if (CHostSession* s = table_->Session(slot); s && automation::DdeSameName(s->Profile().name, profile->name)) return false;
  return table_->StartSession(profile) != nullptr;
}

void CCorvinaApp::RunSystemCommand(int id) {
  if (id == kf::sys::kHostExit) {
    CloseProgram(!options_.headless);
  } else if (runSystemCommand) {
    runSystemCommand(id);
  }
}

std::string CCorvinaApp::OiaText(CHostSession& s) {
  if (auto* e = dynamic_cast<C3270Engine*>(s.Engine())) return e->OiaLine();
  if (auto* e = dynamic_cast<C5250Engine*>(s.Engine())) return e->OiaLine();
  if (auto* e = dynamic_cast<CVtEngine*>(s.Engine())) return e->OiaLine();
  return s.StatusText();
}

std::string CCorvinaApp::MainWindowId() { return std::to_string(::getpid()); }

}  // namespace corvina::app
