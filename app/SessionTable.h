// The table of live sessions: slots 1 to N, each empty or holding one
// session. It starts sessions from profiles, closes them, drives their
// one-second clock and is the frame every session talks to.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/SaveFiles.h"
#include "session/HostSession.h"

namespace corvina {
class CCorvinaPersistentData;
}

namespace corvina::app {

// What every session of the application shares.
struct AppEnvironment {
  platform::EventLoop& loop;
  platform::UserInterface& ui;
  const platform::Clock& clock;
  EngineFactory engines;
  TlsContexts* tls = nullptr;
  const platform::IniFile* settings = nullptr;  // the application profile
  std::chrono::milliseconds tlsHandshakeTimeout{10'000};
  std::string codePageFolder = {};  // set by the application from its settings
  printing::CPrinterThread* printer = nullptr;  // host print jobs go here
};

// Told of what happens in the table (the window, or the headless front end).
class SessionTableObserver {
 public:
  virtual ~SessionTableObserver() = default;
  virtual void SessionStarted(CHostSession&) {}
  // Still whole; destroyed on a later turn of the event loop.
  virtual void SessionClosing(CHostSession&) {}
  virtual void ActiveSessionChanged(CHostSession*) {}
  virtual void ScreenChanged(CHostSession&) {}
  // A block of host data was processed (ScreenChangedFlag: the host has
  // written to the screen since the engine started).
  virtual void HostDataProcessed(CHostSession&) {}
  virtual void LastSessionClosed() {}
  // A recording session's "REC" indicator: lit, dark (blinking), or off
  // once the session no longer records.
  virtual void RecordingIndicator(CHostSession&, bool /*lit*/) {}
};

class CSessionTable final : public SessionFrame {
 public:
  static constexpr int kMaxSlots = 10;
  static constexpr int kAnySlot = 0;

  CSessionTable(AppEnvironment env, CCorvinaPersistentData& store);
  ~CSessionTable() override;
  CSessionTable(const CSessionTable&) = delete;
  CSessionTable& operator=(const CSessionTable&) = delete;

  void SetObserver(SessionTableObserver* observer) { observer_ = observer; }
  // Headless: every session's status is shown, not only the active one's.
  void SetAllSessionsVisible(bool on) { allVisible_ = on; }
  // Whether another instance uses an HLLAPI short name letter; asked just
  // before a session of that letter starts, so an answer of false may claim
  // the letter for it. Unset: only this instance's sessions are checked.
  std::function<bool(char letter)> tallisLetterTaken;
  // Runs a script file, bound to a session or (null) to none. Unset:
  // scripts are not available and the user is told.
  std::function<bool(CHostSession* session, const std::string& file)> runScript;
  // The system commands the table does not perform itself (it switches
  // sessions and starts recordings): the front end's menu commands.
  std::function<bool(CHostSession& session, int id, int argument)> systemCommand;
  // The session's running script, whose filespec files take the place of
  // the session's; unset: none.
  std::function<script::CCorvinaScript*(const CHostSession& session)> scriptOf;
  // The front end's file chooser for Save As; unset: none can be asked.
  ChooseFile chooseFile;

  // The files the session saves and prints to (valid while it lives).
  SessionFiles& FilesOf(const CHostSession& session);
  ScriptFiles ScriptFilesOf(const CHostSession& session) const;

  // The usable slots: the store's MaximumSessions, limited to 1..10.
  int SlotCount() const;
  // Starts a session in the slot (kAnySlot: the profile's own session number
  // when that slot is free, else the lowest free one). Null when the start
  // was refused (the user is told) or the connection could not be started.
  // `prepare` sees the new session before it connects.
  CHostSession* StartSession(std::shared_ptr<CCorvinaSessionProfile> profile, int slot = kAnySlot,
                             const std::function<void(CHostSession&)>& prepare = {});
  // Whether an engine emulates the profile's terminal kind; when none does,
  // the user is told and StartSession refuses the profile.
  bool EngineAvailable(const CCorvinaSessionProfile& profile);
  // Empties the slot; the session is destroyed on a later turn of the loop.
  void CloseSession(CHostSession& session) override;
  // Closes every live session in slot order.
  void CloseAll();

  // Runs the script through runScript, or tells the user it cannot.
  bool RunScript(CHostSession* session, const std::string& file) override;

  // Calls every live session's OnTick in slot order.
  void Tick();

  int LiveCount() const { return live_; }
  CHostSession* Session(int slot) const;
  CHostSession* Active() const { return Session(active_); }
  void Activate(CHostSession& session);
  // Cycle through occupied slots in slot order.
  void ActivateNext() { ActivateStep(+1); }
  void ActivatePrevious() { ActivateStep(-1); }

  // SessionFrame.
  bool IsVisible(const CHostSession& session) const override;
  bool WarnWhenHostCloses() const override;
  void SaveProfile(CHostSession& session) override;
  void ScreenChanged(CHostSession& session) override;
  void HostDataProcessed(CHostSession& session) override;
  bool SystemCommand(CHostSession& session, int id, int argument) override;
  void RecordingIndicator(CHostSession& session, bool lit) override;
  OutputFileOverride* ScriptPrinterFile(CHostSession& session) override { return ScriptFilesOf(session).printer; }

 private:
  int FreeSlotFor(const CCorvinaSessionProfile& profile) const;
  bool TallisLetterInUse(char letter) const;
  void ActivateStep(int direction);
  void Refuse(const std::string& text);

  AppEnvironment env_;
  CCorvinaPersistentData& store_;
  SessionTableObserver* observer_ = nullptr;
  bool allVisible_ = false;
  std::array<std::unique_ptr<CHostSession>, kMaxSlots + 1> slots_;  // [0] unused
  std::array<SessionFiles, kMaxSlots + 1> files_;
  int live_ = 0;
  int active_ = 0;
};

}  // namespace corvina::app
