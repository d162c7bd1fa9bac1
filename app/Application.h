// The application without a window toolkit: decides whether this copy may
// run, fixes the data folder, loads the settings store, keeps the session
// table, runs the one-second clock, starts the sessions of start-up and of
// the command line, and closes everything at exit. The desktop frame and
// corvina-cli both build on it.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "app/CommandLine.h"
#include "automation/DdeServer.h"
#include "automation/HllapiServer.h"
#include "app/Instances.h"
#include "app/NetUtilities.h"
#include "app/Preferences.h"
#include "app/SessionTable.h"
#include "config/PersistentData.h"
#include "filetransfer/FileTransfer.h"
#include "script/Script.h"

namespace corvina::app {

struct AppOptions {
  // Used whole instead of the DataPath setting when not empty; it must exist.
  std::string dataFolder;
  // A profile name, a session file, a script file or host words; one pair
  // of enclosing double quotes is removed.
  std::string commandLine;
  // Applied to the session the command line starts, for this run only.
  SessionOverrides overrides;
  // Sees the command line's session before it connects (a trace, say).
  std::function<void(CHostSession&)> prepareCommandLineSession;
  // The command line is a session file opened from a file manager: only a
  // stored profile it names is started; it never runs as a script.
  bool sessionFileOnly = false;
  // Headless: with no window to stay open for, the program ends with its
  // last session, and every session's status is shown.
  bool headless = false;
  // The per-user runtime folder; empty: RuntimeFolderPath().
  std::string runtimeFolder;
};

// The data folder of a run, ending in "/": the folder option when given,
// else the DataPath setting, else platform::DefaultDataFolder(), else the
// working folder. Relative names are taken from the working folder.
std::string DataFolderFor(const platform::IniFile& appProfile, const std::string& option);

class CCorvinaApp final : private SessionTableObserver, private automation::DdeFrame, private script::ScriptHost {
 public:
  // The application profile must be loaded and outlive the application.
  CCorvinaApp(AppEnvironment env, platform::IniFile& appProfile);
  ~CCorvinaApp() override;
  CCorvinaApp(const CCorvinaApp&) = delete;
  CCorvinaApp& operator=(const CCorvinaApp&) = delete;

  // Start-up: the instance limit, the data folder, the settings store. False
  // when this process must end (the user was told why).
  bool Initialise(AppOptions options);
  // The start-up work once the program runs: the clock, the profiles marked
  // to connect at start-up, then the command line.
  void StartUp();
  // Starts what a command-line argument names. Null when nothing started.
  CHostSession* StartFromCommandLine(const std::string& argument);
  // The same with other session settings than the program's command line
  // gave (a front end's own connect command).
  CHostSession* StartFromCommandLine(const std::string& argument, const SessionOverrides& overrides);
  // Closes every session in slot order and saves the store; with `ask`, and
  // sessions live, and the preference set, the user confirms first. False
  // when the user said No. A headless run that started no session has
  // changed nothing worth keeping and saves nothing.
  bool CloseProgram(bool ask);

  CSessionTable& Sessions() { return *table_; }
  CCorvinaPersistentData& Store() { return *store_; }
  const std::string& DataFolder() const { return store_->DataFolder(); }
  const std::string& CommandLine() const { return commandLine_; }
  int InstanceCount() const { return instances_; }
  // The application profile (settings) the program runs with.
  const platform::IniFile& AppProfile() const { return appProfile_; }

  // Told of the session table's events.
  void SetObserver(SessionTableObserver* observer) { client_ = observer; }
  // Called once when the program should end.
  std::function<void()> onQuit;
  // Opens the Connect dialog at start-up (Preferences bit 0) when set.
  std::function<void()> openConnectDialog;
  // Runs a frame command a DDE client executed on the SYSTEM topic, other
  // than HostExit (which closes the program); unset: the others do nothing.
  std::function<void(int id)> runSystemCommand;
  // The front end brings its window forward (HLLAPI Connect with CONPHYS).
  std::function<void()> bringToFront;
  // The network utilities library, loaded at start-up by a program with a
  // window (the Internet menu is offered when it is available).
  CNetUtilities& NetUtilities() { return netUtilities_; }
  // The DDE server; null when it could not start.
  automation::CDdeServer* DdeServer() { return dde_.get(); }
  // The HLLAPI server; null when it could not start.
  automation::CHllapiServer* HllapiServer() { return hllapi_.get(); }
  // The running scripts (after Initialise).
  script::CScriptManager& Scripts() { return *scripts_; }
  // Whether a script is running that has not ended yet.
  bool ScriptsRunning() const;
  // Run Script: asks for a file with the session table's chooser and runs
  // it on the active session (or none). False when nothing was started.
  bool RunScriptCommand();
  // Cancel Script on the active session's script: asks, and on Yes ends
  // it. False when there was none or the user said No.
  bool CancelScriptCommand();
  // Whether Cancel Script has a script to end.
  bool CanCancelScript() const;
  // A top-level script ended: 1 complete, 0 or 2 cancelled, -1 not loaded.
  std::function<void(const std::string& file, int result)> onScriptEnded;

 private:
  // The profile a command-line start runs: the stored one, or with the run's
  // overrides a copy of it. Null when the overrides do not fit (the user is
  // told).
  std::shared_ptr<CCorvinaSessionProfile> RunProfile(const std::shared_ptr<CCorvinaSessionProfile>& profile);
  // A profile the command line names, with the run's overrides.
  CHostSession* StartProfile(const std::shared_ptr<CCorvinaSessionProfile>& profile);
  CHostSession* StartHost(const std::string& argument);
  void Error(const std::string& text);
  void CloseLater();

  // SessionTableObserver.
  void SessionStarted(CHostSession& s) override;
  void SessionClosing(CHostSession& s) override;
  void ActiveSessionChanged(CHostSession* s) override;
  void ScreenChanged(CHostSession& s) override;
  void HostDataProcessed(CHostSession& s) override;
  void LastSessionClosed() override;
  void RecordingIndicator(CHostSession& s, bool lit) override;
  bool ClaimTallisLetter(char letter);

  // ScriptHost.
  platform::EventLoop& Loop() override { return env_.loop; }
  platform::UserInterface& Ui() override { return env_.ui; }
  int MaxSessions() override { return table_->SlotCount(); }
  CHostSession* SessionInSlot(int number) override { return table_->Session(number); }
  CHostSession* StartSession(std::shared_ptr<CCorvinaSessionProfile> profile, int slot) override;
  void Activate(CHostSession& session) override { table_->Activate(session); }
  void SystemCommand(CHostSession* session, int id) override;
  void PostHostExit() override;
  bool StartFileTransfer(CHostSession& session, const script::ScriptTransferRequest& request,
                         std::string* error) override;
  bool FileTransferActive(CHostSession& session, std::string* failure) override;
  bool CodePageLoads(const std::string& file) override;
  // A code page file name as the sessions find it.
  std::string CodePagePath(const std::string& file) const;
  void ForgetScriptTransfer(CHostSession& session);
  bool RunScript(CHostSession* session, const std::string& file);
  void ScriptEnded(const std::string& file, int result);

  // DdeFrame.
  CHostSession* SessionByTopic(std::string_view topic) override;
  bool StartProfileSession(std::string_view name) override;
  void RunSystemCommand(int id) override;
  std::string OiaText(CHostSession& session) override;
  std::string MainWindowId() override;

  AppEnvironment env_;
  platform::IniFile& appProfile_;
  AppOptions options_;
  std::string commandLine_;
  CInstanceRegistration registration_;
  std::string runtimeFolder_;  // empty when it cannot be used
  int instances_ = 0;
  int sessionsStarted_ = 0;
  std::unique_ptr<CCorvinaPersistentData> store_;
  // The transfers scripts started and wait for, by session, kept until the
  // script has seen how they ended.
  struct ScriptTransfer final : filetransfer::TransferObserver {
    bool ended = false;
    filetransfer::TransferOutcome outcome;
    void Ended(const filetransfer::TransferOutcome& o) override {
      ended = true;
      outcome = o;
    }
  };
  std::map<CHostSession*, std::unique_ptr<ScriptTransfer>> scriptTransfers_;
  std::unique_ptr<CSessionTable> table_;
  SessionTableObserver* client_ = nullptr;
  platform::TimerId clock_ = 0;
  std::unique_ptr<automation::CDdeServer> dde_;
  std::unique_ptr<automation::CHllapiServer> hllapi_;
  std::unique_ptr<script::CScriptManager> scripts_;
  CNetUtilities netUtilities_;
  bool closed_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace corvina::app
