#include "app/SessionTable.h"

#include <ctime>

#include <algorithm>

#include "app/AppTexts.h"
#include "app/Preferences.h"
#include "config/PersistentData.h"
#include "config/TerminalTypes.h"
#include "keyboard/KeyFunctions.h"
#include "platform/Format.h"

namespace corvina::app {

using platform::Format;

CSessionTable::CSessionTable(AppEnvironment env, CCorvinaPersistentData& store)
    : env_(std::move(env)), store_(store) {}

CSessionTable::~CSessionTable() {
  // Sessions still in the table go now, while everything they refer to
  // exists; the scripts may be gone already.
  scriptOf = nullptr;
  for (auto& slot : slots_) slot.reset();
}

int CSessionTable::SlotCount() const { return std::clamp(store_.maximumSessions, 1, kMaxSlots); }

CHostSession* CSessionTable::Session(int slot) const {
  return slot >= 1 && slot <= kMaxSlots ? slots_[static_cast<std::size_t>(slot)].get() : nullptr;
}

void CSessionTable::Refuse(const std::string& text) {
  env_.ui.MessageBox(text, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
}

int CSessionTable::FreeSlotFor(const CCorvinaSessionProfile& profile) const {
  const int n = SlotCount();
  if (profile.sessionNumber >= 1 && profile.sessionNumber <= n && !Session(profile.sessionNumber))
    return profile.sessionNumber;
  for (int slot = 1; slot <= n; ++slot) {
    if (!Session(slot)) return slot;
  }
  return 0;
}

bool CSessionTable::TallisLetterInUse(char letter) const {
  for (int slot = 1; slot <= kMaxSlots; ++slot) {
    if (const CHostSession* s = Session(slot); s && s->Profile().tallisShortName == letter) return true;
  }
  return tallisLetterTaken && tallisLetterTaken(letter);
}

bool CSessionTable::EngineAvailable(const CCorvinaSessionProfile& profile) {
  if (env_.engines && env_.engines(profile.terminalType)) return true;
  const std::string kind(TerminalShortName(profile.terminalType));
  Refuse(Format(texts::kNoEngine, profile.name.c_str(), kind.c_str()));
  return false;
}

CHostSession* CSessionTable::StartSession(std::shared_ptr<CCorvinaSessionProfile> profile, int slot,
                                          const std::function<void(CHostSession&)>& prepare) {
  const char* name = profile->name.c_str();
  if (!EngineAvailable(*profile)) return nullptr;
  if (slot == kAnySlot) {
    slot = FreeSlotFor(*profile);
    if (slot == 0) {
      Refuse(Format(texts::kAllSessionsInUse, name));
      return nullptr;
    }
  } else if (slot < 1 || slot > SlotCount()) {
    Refuse(Format(texts::kBadSessionNumber, SlotCount()));
    return nullptr;
  } else if (Session(slot)) {
    Refuse(Format(texts::kSessionInUse, name, slot));
    return nullptr;
  }
  if (profile->tallisShortName != ' ' && TallisLetterInUse(profile->tallisShortName)) {
    Refuse(Format(texts::kTallisInUse, profile->tallisShortName));
    return nullptr;
  }

  SessionEnvironment env{env_.loop,  env_.ui,  env_.clock,   *this, env_.engines, env_.tls, env_.tlsHandshakeTimeout,
                         env_.settings, env_.codePageFolder, store_.DataFolder(), &store_, env_.printer};
  auto& entry = slots_[static_cast<std::size_t>(slot)];
  entry = std::make_unique<CHostSession>(slot, std::move(profile), env);
  CHostSession* session = entry.get();
  files_[static_cast<std::size_t>(slot)] = SessionFiles{SessionFile{session->Profile().logFile, false}, {}};
  ++live_;
  if (observer_) observer_->SessionStarted(*session);
  // A new session's window is the one shown.
  active_ = slot;
  if (observer_) observer_->ActiveSessionChanged(session);
  if (prepare) prepare(*session);
  if (!session->Connect()) {
    CloseSession(*session);
    return nullptr;
  }
  if (const std::string& script = session->Profile().scriptFile; !script.empty()) RunScript(session, script);
  return session;
}

bool CSessionTable::RunScript(CHostSession* session, const std::string& file) {
  if (runScript) return runScript(session, file);
  env_.ui.MessageBox(Format(texts::kScriptsUnavailable, file.c_str()), texts::kCaption, platform::Buttons::Ok,
                     platform::Answer::Ok, platform::Icon::Warning);
  return false;
}

void CSessionTable::CloseSession(CHostSession& session) {
  const int slot = session.Number();
  if (Session(slot) != &session) return;  // closed already
  if (observer_) observer_->SessionClosing(session);
  std::unique_ptr<CHostSession> closing = std::move(slots_[static_cast<std::size_t>(slot)]);
  --live_;
  if (active_ == slot) {
    ActivateStep(+1);  // the slot is empty now, so it is never chosen
    if (active_ == slot) {
      active_ = 0;
      if (observer_) observer_->ActiveSessionChanged(nullptr);
    }
  }
  // The session may be inside one of its own callbacks.
  env_.loop.DeleteLater(std::move(closing));
  if (live_ == 0 && observer_) observer_->LastSessionClosed();
}

void CSessionTable::CloseAll() {
  for (int slot = 1; slot <= kMaxSlots; ++slot) {
    if (CHostSession* s = Session(slot)) CloseSession(*s);
  }
}

void CSessionTable::Tick() {
  // A session may close itself during its tick; each slot is looked at afresh.
  for (int slot = 1; slot <= kMaxSlots; ++slot) {
    if (CHostSession* s = Session(slot)) s->OnTick();
  }
}

void CSessionTable::Activate(CHostSession& session) {
  if (Session(session.Number()) != &session) return;
  active_ = session.Number();
  if (observer_) observer_->ActiveSessionChanged(&session);
  session.ShowStatus();
}

void CSessionTable::ActivateStep(int direction) {
  for (int step = 1; step <= kMaxSlots; ++step) {
    const int slot = ((active_ - 1 + direction * step) % kMaxSlots + kMaxSlots) % kMaxSlots + 1;
    if (CHostSession* s = Session(slot)) {
      if (slot != active_) Activate(*s);
      return;
    }
  }
}

SessionFiles& CSessionTable::FilesOf(const CHostSession& session) {
  return files_[static_cast<std::size_t>(session.Number())];
}

ScriptFiles CSessionTable::ScriptFilesOf(const CHostSession& session) const {
  return app::FilesOf(scriptOf ? scriptOf(session) : nullptr);
}

bool CSessionTable::IsVisible(const CHostSession& session) const {
  return allVisible_ || session.Number() == active_;
}

bool CSessionTable::WarnWhenHostCloses() const { return (store_.preferences & kPrefWarnWhenHostCloses) != 0; }

void CSessionTable::SaveProfile(CHostSession&) { store_.SaveModified(ObjectKind::kSessionProfile); }

bool CSessionTable::SystemCommand(CHostSession& session, int id, int argument) {
  if (id >= kf::sys::kHostSession1 && id <= kf::sys::kHostSession9) {
    if (CHostSession* s = Session(id - kf::sys::kHostSession1 + 1)) Activate(*s);
    return true;
  }
  switch (id) {
    case kf::sys::kViewNextSession:
      ActivateNext();
      return true;
    case kf::sys::kViewPreviousSession:
      ActivatePrevious();
      return true;
    case kf::sys::kMacroStartRecording:
      session.StartRecording();
      return true;
    case kf::sys::kHostPrint:
    case kf::sys::kHostPrintScreen:
      PrintScreen(session, FilesOf(session).print, ScriptFilesOf(session).printer, std::time(nullptr));
      return true;
    case kf::sys::kHostSave:
    case kf::sys::kHostSaveAs:
      SaveScreen(session, FilesOf(session), ScriptFilesOf(session).log, id == kf::sys::kHostSaveAs, chooseFile,
                 store_.logExtension);
      return true;
    default:
      return systemCommand && systemCommand(session, id, argument);
  }
}

void CSessionTable::ScreenChanged(CHostSession& session) {
  if (observer_) observer_->ScreenChanged(session);
}

void CSessionTable::HostDataProcessed(CHostSession& session) {
  if (observer_) observer_->HostDataProcessed(session);
}

void CSessionTable::RecordingIndicator(CHostSession& session, bool lit) {
  if (observer_) observer_->RecordingIndicator(session, lit);
}

}  // namespace corvina::app
