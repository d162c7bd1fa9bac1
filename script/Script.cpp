// The script object: loading, running one command at a time, the error
// report, ending, included scripts and the globals. The commands are in
// ScriptCommands.cpp.
#include "script/Script.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "config/PersistentData.h"
#include "platform/FileError.h"
#include "platform/FileIo.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "script/ScriptConverter.h"
#include "script/ScriptTexts.h"
#include "session/HostSession.h"

extern char** environ;

namespace corvina::script {

using platform::Format;

namespace {

constexpr std::size_t kMaxScriptBytes = 4u << 20;

const char* ReasonText(unsigned cause, std::string* buffer) {
  switch (cause) {
    case platform::kFileErrorNotFound: return texts::kFileNotFound;
    case platform::kFileErrorBadPath: return texts::kInvalidPath;
    case platform::kFileErrorTooManyOpenFiles: return texts::kTooManyOpenFiles;
    case platform::kFileErrorAccessDenied: return texts::kAccessDenied;
    case platform::kFileErrorInvalidFile: return texts::kUnknownFileHandle;
    case platform::kFileErrorHardIo: return texts::kHardwareError;
    case platform::kFileErrorSharingViolation:
    case platform::kFileErrorLockViolation: return texts::kShareError;
    default:
      *buffer = Format(texts::kUnknownErrorCode, cause);
      return buffer->c_str();
  }
}

// The script's text as the core's Latin-1 lines.
std::vector<std::string> DecodeLines(const std::string& bytes) {
  const std::u32string text = platform::DecodeTextFile(bytes);
  std::string latin1;
  latin1.reserve(text.size());
  for (char32_t c : text) latin1.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return SplitLines(latin1);
}

}  // namespace

CCorvinaScript::CCorvinaScript(CScriptManager& manager, CHostSession* session, CCorvinaScript* parent)
    : manager_(manager), session_(session), parent_(parent), depth_(parent ? parent->depth_ + 1 : 0) {}

CCorvinaScript::~CCorvinaScript() {
  *alive_ = false;
  CloseDialogs();
  child_.reset();
  if (timer_ != 0) manager_.Host().Loop().CancelTimer(timer_);
  CancelWaitLimit();
  if (parent_) {
    RewriteGlobals();
  } else {
    manager_.RemoveEnvironment(EnvironmentName());
  }
}

std::string CCorvinaScript::EnvironmentName() const { return Format("OrvexScript%.3d", number_); }

// ------------------------------------------------------------------ loading

bool CCorvinaScript::Load(const std::string& file) {
  file_ = file;
  platform::UserInterface& ui = manager_.Host().Ui();
  std::string bytes;
  for (int attempt = 0;; ++attempt) {
    const platform::FileIoResult read = platform::ReadWholeFile(file, kMaxScriptBytes, &bytes);
    if (read.Ok()) break;
    std::string buffer;
    std::string reason;
    if (read.status == platform::FileIoStatus::kTooLarge) {
      reason = Format(texts::kFileTooLarge, static_cast<int>(kMaxScriptBytes >> 20));
    } else {
      const unsigned cause = read.status == platform::FileIoStatus::kMissing ? platform::kFileErrorNotFound
                             : read.status == platform::FileIoStatus::kNotRegular
                                 ? platform::kFileErrorAccessDenied
                                 : platform::FileErrorCauseFromErrno(read.err);
      reason = ReasonText(cause, &buffer);
    }
    const auto answer = ui.MessageBox(Format(texts::kCantOpenFile, file.c_str(), reason.c_str()), texts::kCaption,
                                      platform::Buttons::RetryCancel, platform::Answer::Cancel,
                                      platform::Icon::Error);
    if (answer != platform::Answer::Retry || attempt + 1 >= kMaxRetries) return false;
  }
  if (session_ && !WaitForOtherScript(*session_)) return false;
  Attach(session_);

  std::vector<std::string> lines = DecodeLines(bytes);
  CCorvinaScriptConverter converter(manager_.Host().Store(), ui);
  if (converter.Convert(file, &lines) == CCorvinaScriptConverter::Outcome::kFailed) {
    Detach();
    return false;
  }
  ParsedScript parsed = ParseScript(lines);
  if (parsed.errorLine) {
    ui.MessageBox(Format(texts::kSyntaxError, file.c_str(), *parsed.errorLine, parsed.error.c_str()),
                  texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
    Detach();
    return false;
  }
  entries_ = std::move(parsed.entries);
  lineCount_ = parsed.lineCount;
  if (struct stat st {}; ::stat(file.c_str(), &st) == 0) identity_ = FileIdentity{st.st_dev, st.st_ino};
  manager_.PostControl(*this, 0);
  return true;
}

bool CCorvinaScript::WaitForOtherScript(CHostSession& session) {
  for (int attempt = 0; attempt < kMaxRetries; ++attempt) {
    CCorvinaScript* other = manager_.ScriptOf(session);
    if (other == nullptr || other == this) return true;
    const char* name = other->FileName().c_str();
    const auto answer = manager_.Host().Ui().MessageBox(Format(texts::kAlreadyProcessing, name, name),
                                                        texts::kCaption, platform::Buttons::RetryCancel,
                                                        platform::Answer::Cancel, platform::Icon::Warning);
    if (answer != platform::Answer::Retry) return false;
  }
  return false;
}

void CCorvinaScript::Attach(CHostSession* session) {
  session_ = session;
  owner_ = session != nullptr;
}

void CCorvinaScript::Detach() { owner_ = false; }

// ------------------------------------------------------------------ running

void CCorvinaScript::Control(int value) {
  if (value == 0 && !ended_) RunNext();
}

void CCorvinaScript::TimerFired() {
  timer_ = 0;
  if (ended_) return;
  NoteHostBlocks();
  RunNext();
}

// Host data from here on comes after the command that just finished.
void CCorvinaScript::NoteHostBlocks() {
  if (session_) blocksSeen_ = manager_.HostBlocks(*session_);
}

void CCorvinaScript::Resume() {
  NoteHostBlocks();
  manager_.PostControl(*this, 0);
}

void CCorvinaScript::ShowStatus(const std::string& text) {
  status_ = text;
  if (session_) session_->ShowStatus(text);
}

void CCorvinaScript::RunNext() {
  int next = current_ + 1;
  const int count = static_cast<int>(entries_.size());
  while (next < count && entries_[static_cast<std::size_t>(next)].command.empty()) ++next;
  if (next >= count) {
    CancelWaitLimit();
    End(kEndComplete);
    return;
  }
  current_ = next;
  const ScriptEntry entry = entries_[static_cast<std::size_t>(current_)];
  if (session_ && !transferring_)
    ShowStatus(Format(texts::kProcessingLine, entry.line, lineCount_, file_.c_str()));
  unboundedWait_ = false;
  const int result = Run(entry.command, entry.parameters);
  if (ended_) return;  // the command ended the script
  switch (result) {
    case kEndCancelled:
    case kEndComplete:
      CancelWaitLimit();
      End(result);
      break;
    case kContinue:
      CancelWaitLimit();
      Resume();
      break;
    case kWait:
      if (unboundedWait_)
        CancelWaitLimit();
      else
        ArmWaitLimit();
      break;
    default:  // destroyed without ending: HostExit closes the program
      ended_ = true;
      CancelWaitLimit();
      owner_ = false;
      manager_.PostControl(*this, 1);
      if (!parent_ && manager_.scriptEnded) manager_.scriptEnded(file_, kEndComplete);
      break;
  }
}

int CCorvinaScript::ErrorReport(const std::string& text) {
  std::string message;
  if (session_) message += Format(texts::kReportSession, session_->Number());
  if (current_ >= 0 && current_ < static_cast<int>(entries_.size())) {
    const ScriptEntry& e = entries_[static_cast<std::size_t>(current_)];
    message += Format(texts::kReportFile, file_.c_str(), e.line, e.command.c_str());
    for (std::size_t i = 0; i < e.parameters.size(); ++i)
      message += Format(texts::kReportParameter, static_cast<unsigned>(i + 1), e.parameters[i].c_str());
  }
  message += "\n";
  message += text;
  // Unattended runs stop at an error unless told to skip it.
  const auto answer = manager_.Host().Ui().MessageBox(message, texts::kCaption, platform::Buttons::OkCancel,
                                                      platform::Answer::Cancel, platform::Icon::Warning);
  return answer == platform::Answer::Ok ? kContinue : kEndCancelled;
}

void CCorvinaScript::End(int result) {
  if (ended_) return;
  ended_ = true;
  CancelWaitLimit();
  if (timer_ != 0) {
    manager_.Host().Loop().CancelTimer(timer_);
    timer_ = 0;
  }
  CloseDialogs();
  child_.reset();
  if (session_) {
    owner_ = false;
    ShowStatus(Format(texts::kScriptComplete, file_.c_str()));
  }
  manager_.PostControl(*this, 1);
  if (parent_) {
    parent_->ChildEnded(result, file_, session_);
  } else if (manager_.scriptEnded) {
    manager_.scriptEnded(file_, result);
  }
}

void CCorvinaScript::ChildEnded(int result, const std::string& childFile, CHostSession* childSession) {
  if (ended_) return;
  if (result == kEndComplete) {
    LoadGlobals();
    Attach(childSession);
    Resume();
    return;
  }
  End(ErrorReport(Format(texts::kIncludedCancelled, childFile.c_str())));
}

void CCorvinaScript::SessionClosing(CHostSession& session) {
  if (session_ != &session) return;
  const bool running = owner_;
  session_ = nullptr;
  owner_ = false;
  scan_.reset();
  scanDialog_.reset();
  if (running && !ended_) End(kEndCancelled);
}

void CCorvinaScript::CloseDialogs() {
  askDialog_.reset();
  scanDialog_.reset();
  scan_.reset();
}

std::string CCorvinaScript::Subst(const std::string& parameter) const {
  if (parameter.empty() || parameter[0] != '$') return parameter;
  auto it = variables_.find(parameter);
  return it == variables_.end() ? parameter : it->second;
}

// ------------------------------------------------------------------ waiting

int CCorvinaScript::SetWaitTimer(int milliseconds) {
  if (timer_ != 0) manager_.Host().Loop().CancelTimer(timer_);
  timer_ = manager_.AddTimer(*this, std::chrono::milliseconds(milliseconds), &CCorvinaScript::TimerFired);
  return kWait;
}

void CCorvinaScript::ArmWaitLimit() {
  if (!manager_.waitLimit) return;
  if (waitLimitTimer_ != 0 && waitLimitIndex_ == current_) return;  // the same command waits again
  CancelWaitLimit();
  waitLimitIndex_ = current_;
  waitLimitTimer_ = manager_.AddTimer(*this, *manager_.waitLimit, &CCorvinaScript::WaitLimitExpired);
}

void CCorvinaScript::CancelWaitLimit() {
  if (waitLimitTimer_ != 0) manager_.Host().Loop().CancelTimer(waitLimitTimer_);
  waitLimitTimer_ = 0;
  waitLimitIndex_ = -1;
}

void CCorvinaScript::WaitLimitExpired() {
  waitLimitTimer_ = 0;
  if (ended_) return;
  const ScriptEntry& e = entries_[static_cast<std::size_t>(current_)];
  const double seconds = std::chrono::duration<double>(*manager_.waitLimit).count();
  CloseDialogs();
  child_.reset();
  manager_.Host().Ui().MessageBox(Format(texts::kWaitTooLong, file_.c_str(), seconds, e.line, e.command.c_str()),
                                  texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok,
                                  platform::Icon::Error);
  End(kEndCancelled);
}

// ------------------------------------------------------------------ globals

void CCorvinaScript::LoadGlobals() {
  const std::string* items = manager_.Environment(EnvironmentName(), false);
  if (!items) return;
  std::size_t start = 0;
  while (start < items->size()) {
    std::size_t end = items->find('\n', start);
    if (end == std::string::npos) end = items->size();
    const std::string item = items->substr(start, end - start);
    if (const std::size_t eq = item.find('='); eq != std::string::npos && eq > 0)
      variables_[item.substr(0, eq)] = item.substr(eq + 1);
    start = end + 1;
  }
}

void CCorvinaScript::RewriteGlobals() {
  std::string* items = manager_.Environment(EnvironmentName(), false);
  if (!items) return;
  std::string rewritten;
  std::size_t start = 0;
  while (start < items->size()) {
    std::size_t end = items->find('\n', start);
    if (end == std::string::npos) end = items->size();
    const std::string item = items->substr(start, end - start);
    if (const std::size_t eq = item.find('='); eq != std::string::npos && eq > 0) {
      const std::string name = item.substr(0, eq);
      auto it = variables_.find(name);
      rewritten += name + "=" + (it == variables_.end() ? std::string() : it->second) + "\n";
    }
    start = end + 1;
  }
  *items = std::move(rewritten);
}

void CCorvinaScript::AddGlobal(const std::string& name) {
  std::string& items = *manager_.Environment(EnvironmentName(), true);
  const std::string item = name + "=" + variables_[name] + "\n";
  std::size_t start = 0;
  while (start < items.size()) {
    std::size_t end = items.find('\n', start);
    if (end == std::string::npos) end = items.size();
    if (items.compare(start, name.size() + 1, name + "=") == 0) {
      items.replace(start, std::min(end + 1, items.size()) - start, item);
      return;
    }
    start = end + 1;
  }
  items += item;
}

// ------------------------------------------------------------------ manager

CScriptManager::CScriptManager(ScriptHost& host) : host_(host) {}

CScriptManager::~CScriptManager() {
  *alive_ = false;
  for (Entry& e : scripts_) e.script->ended_ = true;
  while (!scripts_.empty()) {
    std::unique_ptr<CCorvinaScript> last = std::move(scripts_.back().script);
    scripts_.pop_back();
    for (Entry& e : scripts_)
      if (e.script->parent_ == last.get()) e.script->ParentGone();
  }
}

CCorvinaScript* CScriptManager::Create(CHostSession* session, CCorvinaScript* parent) {
  auto script = std::make_unique<CCorvinaScript>(*this, session, parent);
  script->timerId_ = scripts_.empty() ? CCorvinaScript::kFirstTimerId : scripts_.back().script->timerId_ + 1;
  script->number_ = parent ? parent->number_ : ++counter_;
  script->LoadGlobals();
  CCorvinaScript* raw = script.get();
  scripts_.push_back(Entry{nextSerial_++, std::move(script)});
  return raw;
}

bool CScriptManager::Start(CHostSession* session, const std::string& file) {
  CCorvinaScript* script = Create(session, nullptr);
  if (script->Load(file)) return true;
  Delete(script);
  if (scriptEnded) scriptEnded(file, -1);
  return false;
}

void CScriptManager::Delete(CCorvinaScript* script) {
  auto it = std::find_if(scripts_.begin(), scripts_.end(), [script](const Entry& e) { return e.script.get() == script; });
  if (it == scripts_.end()) return;
  std::unique_ptr<CCorvinaScript> gone = std::move(it->script);
  scripts_.erase(it);
  for (Entry& e : scripts_)
    if (e.script->parent_ == script) e.script->ParentGone();
  gone.reset();
}

CCorvinaScript* CScriptManager::Find(std::uint64_t serial) const {
  for (const Entry& e : scripts_)
    if (e.serial == serial) return e.script.get();
  return nullptr;
}

std::uint64_t CScriptManager::SerialOf(const CCorvinaScript* script) const {
  for (const Entry& e : scripts_)
    if (e.script.get() == script) return e.serial;
  return 0;
}

void CScriptManager::PostControl(CCorvinaScript& script, int value) {
  host_.Loop().Post([this, alive = alive_, serial = SerialOf(&script), value] {
    if (!*alive) return;
    CCorvinaScript* s = Find(serial);
    if (!s) return;
    if (value == 1)
      Delete(s);
    else
      s->Control(value);
  });
}

platform::TimerId CScriptManager::AddTimer(CCorvinaScript& script, std::chrono::milliseconds interval,
                                           void (CCorvinaScript::*handler)()) {
  return host_.Loop().AddTimer(interval, false, [this, alive = alive_, serial = SerialOf(&script), handler] {
    if (!*alive) return;
    if (CCorvinaScript* s = Find(serial)) (s->*handler)();
  });
}

void CScriptManager::HostDataReceived(CHostSession& session) {
  ++blocks_[&session];
  for (CCorvinaScript* s : Scripts())
    if (s->Session() == &session && s->Scanning()) s->HostData();
}

std::uint64_t CScriptManager::HostBlocks(const CHostSession& session) const {
  auto it = blocks_.find(&session);
  return it == blocks_.end() ? 0 : it->second;
}

void CScriptManager::SessionClosing(CHostSession& session) {
  blocks_.erase(&session);
  for (CCorvinaScript* s : Scripts()) {
    if (Find(SerialOf(s)) == s) s->SessionClosing(session);
  }
}

CCorvinaScript* CScriptManager::ScriptOf(const CHostSession& session) const {
  for (const Entry& e : scripts_)
    if (e.script->session_ == &session && e.script->owner_ && !e.script->ended_) return e.script.get();
  return nullptr;
}

void CScriptManager::SessionActivated(CHostSession& session) {
  CCorvinaScript* script = ScriptOf(session);
  if (!script) return;
  for (auto* dialog : {script->askDialog_.get(), script->scanDialog_.get()})
    if (dialog) dialog->BringToFront();
}

bool CScriptManager::CancelScript(CHostSession& session) {
  CCorvinaScript* script = ScriptOf(session);
  if (!script) return false;
  const auto answer =
      host_.Ui().MessageBox(Format(texts::kCancelScriptQuestion, script->FileName().c_str(), session.Number()),
                            texts::kCaption, platform::Buttons::YesNo, platform::Answer::No,
                            platform::Icon::Question);
  if (answer != platform::Answer::Yes) return false;
  script->End(kEndCancelled);
  return true;
}

std::vector<CCorvinaScript*> CScriptManager::Scripts() const {
  std::vector<CCorvinaScript*> all;
  for (const Entry& e : scripts_) all.push_back(e.script.get());
  return all;
}

std::string* CScriptManager::Environment(const std::string& name, bool create) {
  auto it = environment_.find(name);
  if (it != environment_.end()) return &it->second;
  return create ? &environment_[name] : nullptr;
}

std::vector<std::string> CScriptManager::ChildEnvironment(const CCorvinaScript& script) const {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    if (std::string_view(*e).starts_with("OrvexScript")) continue;
    env.emplace_back(*e);
  }
  const std::string name = script.EnvironmentName();
  if (auto it = environment_.find(name); it != environment_.end()) env.push_back(name + "=" + it->second);
  return env;
}

}  // namespace corvina::script
