// CCorvinaScript: a script file run one command at a time on the event
// loop, resumed only by posted control messages, its timer, its dialogs,
// host data, a child script, a child process or a transfer. CScriptManager
// is the frame's list of running scripts: timer identifiers, script
// numbers, the globals table and the control messages.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/UserInterface.h"
#include "script/ChildProcess.h"
#include "script/ScriptHost.h"
#include "script/ScriptParser.h"
#include "session/OutputFile.h"

namespace corvina::script {

class CScriptManager;

// Command results.
enum : int { kEndCancelled = 0, kEndComplete = 1, kContinue = 2, kWait = 3, kDestroy = 4 };

// Where filespec sends the screen image, printed files and saved clipboard;
// with `append` clear the first write replaces the file.
using ScriptFileOverride = OutputFileOverride;

class CCorvinaScript {
 public:
  static constexpr int kFirstTimerId = 110;
  static constexpr int kMaxIncludeDepth = 16;
  static constexpr int kMaxRetries = 100;

  CCorvinaScript(CScriptManager& manager, CHostSession* session, CCorvinaScript* parent);
  ~CCorvinaScript();
  CCorvinaScript(const CCorvinaScript&) = delete;
  CCorvinaScript& operator=(const CCorvinaScript&) = delete;

  // Loads, converts when old, parses and posts the first run. False when it
  // did not load (the user was told).
  bool Load(const std::string& file);
  void End(int result);

  const std::string& FileName() const { return file_; }
  CHostSession* Session() const { return session_; }
  CCorvinaScript* Parent() const { return parent_; }
  int TimerId() const { return timerId_; }
  int Number() const { return number_; }
  std::string EnvironmentName() const;
  bool Ended() const { return ended_; }
  const ScriptFileOverride& LogFile() const { return log_; }
  const ScriptFileOverride& PrinterFile() const { return printer_; }
  const ScriptFileOverride& ClipboardFile() const { return clipboard_; }
  // The files' append flags are set once they have been written.
  ScriptFileOverride& LogFile() { return log_; }
  ScriptFileOverride& PrinterFile() { return printer_; }
  ScriptFileOverride& ClipboardFile() { return clipboard_; }
  // The scan texts while waitfor waits.
  bool Scanning() const { return scan_.has_value(); }
  const std::string& StatusText() const { return status_; }

  // Events the manager delivers.
  void Control(int value);
  void TimerFired();
  void HostData();
  void SessionClosing(CHostSession& session);
  void ParentGone() { parent_ = nullptr; }

 private:
  friend class CScriptManager;
  using Params = std::vector<std::string>;

  void RunNext();
  void Resume();  // posts the control message that runs the next command
  void NoteHostBlocks();
  void ShowStatus(const std::string& text);
  int ErrorReport(const std::string& text);
  void ChildEnded(int result, const std::string& childFile, CHostSession* childSession);
  void Attach(CHostSession* session);
  void Detach();
  std::string Subst(const std::string& parameter) const;
  int SetWaitTimer(int milliseconds);
  void ArmWaitLimit();
  void CancelWaitLimit();
  void WaitLimitExpired();
  void CloseDialogs();
  bool WaitForOtherScript(CHostSession& session);

  // Globals.
  void LoadGlobals();
  void RewriteGlobals();
  void AddGlobal(const std::string& name);

  // Commands.
  int Run(const std::string& command, const Params& p);
  void AskForDone(std::optional<std::string> text);
  int AskFor(const Params& p);
  int Command(const Params& p);
  int Connect(const Params& p);
  int CursorTo(const Params& p);
  int EditSelect(const Params& p);
  int FileSpec(const Params& p);
  int FileTransfer(const Params& p);
  int Global(const Params& p);
  int Goto(const Params& p);
  int Include(const Params& p);
  int Key(const Params& p);
  int RunProgram(const Params& p);
  int SessionCommand(const Params& p);
  int SetVar(const Params& p);
  int SslConnect(const Params& p);
  int Type(const Params& p);
  int Wait(const Params& p);
  int WaitFor(const Params& p);
  // Sets the index so that the next command run is the label's; false when
  // no entry has it.
  bool JumpTo(const std::string& label);
  void ScanCheck();
  void ScanFinished(std::optional<std::string> label);
  void ScanChosen(platform::ScanChoice choice);
  void ChildExited();
  // Runs the member on a later turn unless the script is gone by then.
  void Later(std::function<void(CCorvinaScript&)> task);

  CScriptManager& manager_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::string file_;
  struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
  };
  std::optional<FileIdentity> identity_;
  std::vector<ScriptEntry> entries_;
  int lineCount_ = 0;
  int current_ = -1;
  CHostSession* session_ = nullptr;
  bool owner_ = false;  // the session's running script
  CCorvinaScript* parent_ = nullptr;
  int depth_ = 0;
  int timerId_ = kFirstTimerId;
  int number_ = 0;
  std::map<std::string, std::string> variables_;
  int targetSession_ = -1;
  ScriptFileOverride log_, printer_, clipboard_;
  bool transferring_ = false;
  long long remainingWait_ = -1;
  std::unique_ptr<platform::ModelessDialog> askDialog_, scanDialog_;
  struct Scan {
    std::vector<std::string> texts, labels;
    bool anyUpdate = false;
    bool decided = false;  // a check found its outcome; it is being acted on
  };
  std::string askVariable_;
  // The session's count of host data blocks when the last command finished.
  std::uint64_t blocksSeen_ = 0;
  std::optional<Scan> scan_;
  std::string runDirectory_;
  std::string status_;
  platform::TimerId timer_ = 0;
  platform::TimerId waitLimitTimer_ = 0;
  int waitLimitIndex_ = -1;
  bool unboundedWait_ = false;  // the current wait is a fixed pause or a child script
  std::unique_ptr<CChildWatch> child_;
  bool ended_ = false;
};

class CScriptManager {
 public:
  explicit CScriptManager(ScriptHost& host);
  ~CScriptManager();
  CScriptManager(const CScriptManager&) = delete;
  CScriptManager& operator=(const CScriptManager&) = delete;

  // Starts a top-level script on the session (or none). False when it did
  // not load; it is deleted at once.
  bool Start(CHostSession* session, const std::string& file);
  // Every block of host data the session has processed.
  void HostDataReceived(CHostSession& session);
  // Before the session goes: its script ends, nobody keeps a pointer to it.
  void SessionClosing(CHostSession& session);
  // The session's window is shown: its script's dialogs come to the front.
  void SessionActivated(CHostSession& session);
  // How many blocks of host data the session has processed.
  std::uint64_t HostBlocks(const CHostSession& session) const;
  // The session's running script, or null.
  CCorvinaScript* ScriptOf(const CHostSession& session) const;
  bool Empty() const { return scripts_.empty(); }
  std::size_t Count() const { return scripts_.size(); }
  // Every running script, in the order they were created.
  std::vector<CCorvinaScript*> Scripts() const;
  // The Cancel Script command: asks, and on Yes ends the session's script.
  bool CancelScript(CHostSession& session);

  // A top-level script ended (result 1 complete, else cancelled or failed;
  // -1 when it did not load).
  std::function<void(const std::string& file, int result)> scriptEnded;
  // The longest a script waits for anything but a fixed pause or a child
  // script before it is cancelled; unset: no limit.
  std::optional<std::chrono::milliseconds> waitLimit;

  ScriptHost& Host() { return host_; }
  // The globals table: environment name to "name=value\n" items. Children
  // get it in their environment; the process environment never changes.
  std::string* Environment(const std::string& name, bool create);
  void RemoveEnvironment(const std::string& name) { environment_.erase(name); }
  // The environment for a child process of the script: the process's own
  // without script variables, plus the script's globals.
  std::vector<std::string> ChildEnvironment(const CCorvinaScript& script) const;

 private:
  friend class CCorvinaScript;
  CCorvinaScript* Create(CHostSession* session, CCorvinaScript* parent);
  // The control message: 0 runs the next command, 1 deletes the script.
  void PostControl(CCorvinaScript& script, int value);
  void Delete(CCorvinaScript* script);
  CCorvinaScript* Find(std::uint64_t serial) const;
  std::uint64_t SerialOf(const CCorvinaScript* script) const;
  platform::TimerId AddTimer(CCorvinaScript& script, std::chrono::milliseconds interval,
                             void (CCorvinaScript::*handler)());

  ScriptHost& host_;
  struct Entry {
    std::uint64_t serial;
    std::unique_ptr<CCorvinaScript> script;
  };
  std::list<Entry> scripts_;
  std::uint64_t nextSerial_ = 1;
  int counter_ = 0;
  std::map<std::string, std::string> environment_;
  std::map<const CHostSession*, std::uint64_t> blocks_;  // host data blocks per session
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace corvina::script
