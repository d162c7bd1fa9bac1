// The twenty script commands.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "config/PersistentData.h"
#include "config/TerminalTypes.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyText.h"
#include "platform/Format.h"
#include "script/Script.h"
#include "script/ScriptTexts.h"
#include "session/HostSession.h"

namespace corvina::script {

using platform::Format;

namespace {

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

// The folder part of a file name, with its "/"; empty for none.
std::string FolderOf(const std::string& file) {
  const std::size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

using Handler = int (CCorvinaScript::*)(const std::vector<std::string>&);

}  // namespace

int CCorvinaScript::Run(const std::string& command, const Params& p) {
  struct Row {
    std::string_view name;
    Handler handler;
  };
  static const std::array<Row, 20> kCommands = {{
      {"askfor", &CCorvinaScript::AskFor},           {"command", &CCorvinaScript::Command},
      {"connect", &CCorvinaScript::Connect},         {"cursorto", &CCorvinaScript::CursorTo},
      {"editselect", &CCorvinaScript::EditSelect},   {"exit", nullptr},
      {"filespec", &CCorvinaScript::FileSpec},       {"filetransfer", &CCorvinaScript::FileTransfer},
      {"global", &CCorvinaScript::Global},           {"goto", &CCorvinaScript::Goto},
      {"include", &CCorvinaScript::Include},         {"key", &CCorvinaScript::Key},
      {"run", &CCorvinaScript::RunProgram},          {"rundirectory", nullptr},
      {"session", &CCorvinaScript::SessionCommand},  {"setvar", &CCorvinaScript::SetVar},
      {"sslconnect", &CCorvinaScript::SslConnect},   {"type", &CCorvinaScript::Type},
      {"wait", &CCorvinaScript::Wait},               {"waitfor", &CCorvinaScript::WaitFor},
  }};
  const auto row = std::find_if(kCommands.begin(), kCommands.end(), [&](const Row& r) { return r.name == command; });
  if (row == kCommands.end()) return ErrorReport(Format(texts::kInvalidCommand, command.c_str()));
  if (command == "exit") return kEndComplete;
  if (p.empty()) return ErrorReport(texts::kParameterMissing);
  if (command == "rundirectory") {
    runDirectory_ = Subst(p[0]);
    return kContinue;
  }
  return (this->*(row->handler))(p);
}

void CCorvinaScript::Later(std::function<void(CCorvinaScript&)> task) {
  manager_.Host().Loop().Post([alive = alive_, this, task = std::move(task)] {
    if (*alive) task(*this);
  });
}

// ------------------------------------------------------------------ askfor

int CCorvinaScript::AskFor(const Params& p) {
  platform::TextPrompt prompt;
  prompt.prompt = p[0].substr(0, 100);
  std::size_t k = 1;
  if (k < p.size() && SameWord(p[k], "password")) {
    prompt.password = true;
    ++k;
  }
  std::string variable;
  if (k < p.size() && !p[k].empty() && p[k][0] == '$') variable = p[k++];
  std::optional<std::string> initial;
  if (k < p.size()) initial = p[k++];
  if (k < p.size()) return ErrorReport(Format(texts::kParameterInvalid, static_cast<int>(k + 1)));
  if (variable.empty() && !session_) return ErrorReport(texts::kNotActive);
  if (initial) {
    prompt.initial = *initial;
  } else if (auto it = variables_.find(variable); !variable.empty() && it != variables_.end()) {
    prompt.initial = it->second;
  }
  prompt.caption = session_ ? Format(texts::kDialogCaptionSession, session_->Number()) : texts::kDialogCaption;
  prompt.group = texts::kAskForGroup;
  prompt.pasteButton = texts::kClipboardPaste;
  askVariable_ = variable;
  // The answer may come before the dialog call returns: it is acted on later.
  askDialog_ = manager_.Host().Ui().OpenTextPrompt(prompt, [this, alive = alive_](std::optional<std::string> text) {
    if (*alive) Later([text = std::move(text)](CCorvinaScript& s) { s.AskForDone(text); });
  });
  return kWait;
}

void CCorvinaScript::AskForDone(std::optional<std::string> text) {
  askDialog_.reset();
  if (ended_) return;
  if (!text) {
    End(kEndCancelled);
    return;
  }
  // One line: a line feed would split the globals' items.
  std::erase_if(*text, [](char c) { return c == '\n' || c == '\r'; });
  if (!askVariable_.empty()) {
    variables_[askVariable_] = *text;
    RewriteGlobals();
  } else if (session_) {
    session_->TypeText(*text);
  }
  CancelWaitLimit();
  Resume();
}

// ------------------------------------------------------------------ command, run

int CCorvinaScript::Command(const Params& p) {
  const std::vector<std::string> argv = {"/bin/sh", "-c", Subst(p[0])};
  const SpawnResult started = SpawnProcess(argv, manager_.ChildEnvironment(*this), {}, false);
  if (started.pid < 0) {
    switch (started.err) {
      case ENOENT:
      case EACCES: return ErrorReport(texts::kNoInterpreter);
      case E2BIG: return ErrorReport(texts::kCommandTooBig);
      case ENOEXEC: return ErrorReport(texts::kBadInterpreter);
      case ENOMEM:
      case EAGAIN: return ErrorReport(texts::kNoMemory);
      default: return ErrorReport(std::strerror(started.err));
    }
  }
  child_ = std::make_unique<CChildWatch>(manager_.Host().Loop(), started.pid, [this, alive = alive_] {
    if (*alive) Later([](CCorvinaScript& s) { s.ChildExited(); });
  });
  return kWait;
}

void CCorvinaScript::ChildExited() {
  child_.reset();
  if (ended_) return;
  CancelWaitLimit();
  Resume();
}

int CCorvinaScript::RunProgram(const Params& p) {
  const std::vector<std::string> words = SplitCommandLine(Subst(p[0]));
  std::string folder = std::move(runDirectory_);
  runDirectory_.clear();
  // A program named by its full path runs in its own folder.
  if (folder.empty() && !words.empty() && words[0].starts_with('/')) folder = FolderOf(words[0]);
  if (words.empty()) return ErrorReport(std::strerror(ENOENT));
  const SpawnResult started = SpawnProcess(words, manager_.ChildEnvironment(*this), folder, true);
  if (started.err != 0) return ErrorReport(std::strerror(started.err));
  return kContinue;
}

// ------------------------------------------------------------------ sessions

int CCorvinaScript::Connect(const Params& p) {
  const std::string name = Subst(p[0]);
  ScriptHost& host = manager_.Host();
  auto profile = host.Store().FindProfile(name);
  if (!profile) return ErrorReport(Format(texts::kSessionNotFound, name.c_str()));
  const int slot = targetSession_ > 0 ? targetSession_ : 0;
  if (slot == 0) {
    bool free = false;
    for (int n = 1; n <= host.MaxSessions() && !free; ++n) free = host.SessionInSlot(n) == nullptr;
    if (!free) return ErrorReport(texts::kMaxSessions);
  } else if (host.SessionInSlot(slot)) {
    return ErrorReport(Format(texts::kSessionConnected, slot));
  }
  CHostSession* started = host.StartSession(profile, slot);
  if (ended_) return kEndCancelled;
  if (!started) return kEndCancelled;
  targetSession_ = -1;
  Attach(started);
  return kContinue;
}

int CCorvinaScript::SessionCommand(const Params& p) {
  const std::string text = Subst(p[0]);
  ScriptHost& host = manager_.Host();
  const int max = host.MaxSessions();
  const auto number = ParseNumber(text, 1, max);
  if (!number) return ErrorReport(Format(texts::kBadSessionNumber, text.c_str(), max));
  targetSession_ = static_cast<int>(*number);
  if (!session_) return kContinue;
  if (session_->Number() == targetSession_) {
    targetSession_ = -1;
    return kContinue;
  }
  if (CHostSession* other = host.SessionInSlot(targetSession_)) {
    if (!WaitForOtherScript(*other)) return kEndCancelled;
    host.Activate(*other);
    Attach(other);
    targetSession_ = -1;
    return kContinue;
  }
  session_ = nullptr;
  owner_ = false;
  return kContinue;
}

int CCorvinaScript::SslConnect(const Params& p) {
  if (!session_ || session_->State() != kSocketConnected) return ErrorReport(texts::kNotActive);
  const std::string choice = Subst(p[0]);
  unsigned value = 0;
  if (SameWord(choice, "SSLv2")) value = 0x100;
  else if (SameWord(choice, "SSLv3")) value = 0x200;
  else if (SameWord(choice, "TLSv1")) value = 0x300;
  else return ErrorReport(Format(texts::kParameterInvalid, 1));
  session_->StartSslOnConnection(value);
  return kContinue;
}

// ------------------------------------------------------------------ keys and text

int CCorvinaScript::Type(const Params& p) {
  if (!session_) return ErrorReport(texts::kNotActive);
  session_->TypeText(Subst(p[0]));
  return kContinue;
}

int CCorvinaScript::CursorTo(const Params& p) {
  if (!session_) return ErrorReport(texts::kNotActive);
  if (p.size() < 2) return ErrorReport(texts::kParameterMissing);
  if (p.size() > 2) return ErrorReport(texts::kTooManyParameters);
  const auto row = ParseNumber(Subst(p[0]), 1, session_->Rows());
  if (!row) return ErrorReport(Format(texts::kParameterInvalid, 1));
  const auto column = ParseNumber(Subst(p[1]), 1, session_->Columns());
  if (!column) return ErrorReport(Format(texts::kParameterInvalid, 2));
  session_->OnKeyFunction(kf::kCursorTo + static_cast<int>((*row - 1) * session_->Columns() + (*column - 1)));
  return kContinue;
}

int CCorvinaScript::EditSelect(const Params& p) {
  if (!session_) return ErrorReport(texts::kNotActive);
  if (p.size() < 4) return ErrorReport(texts::kParameterMissing);
  if (p.size() > 4) return ErrorReport(texts::kTooManyParameters);
  std::array<int, 4> v{};
  for (std::size_t i = 0; i < 4; ++i) {
    const int limit = i % 2 == 0 ? session_->Rows() : session_->Columns();
    const auto n = ParseNumber(Subst(p[i]), 1, limit);
    if (!n) return ErrorReport(Format(texts::kParameterInvalid, static_cast<int>(i + 1)));
    v[i] = static_cast<int>(*n);
  }
  // Both corner cells are inside, whichever order they come in: a corner
  // taken as an edge could never reach the last row or column, and a
  // one-row selection would be empty.
  session_->SetSelection(CellRect{std::min(v[1], v[3]) - 1, std::min(v[0], v[2]) - 1, std::max(v[1], v[3]) - 1,
                                  std::max(v[0], v[2]) - 1});
  return kContinue;
}

int CCorvinaScript::Key(const Params& p) {
  const std::string name = Subst(p[0]);
  ScriptHost& host = manager_.Host();
  if (session_) {
    const int id = KeyFunctionIdByName(session_->ConfiguredKind(), name);
    if (id >= 0) {
      // Only the host's answer is worth waiting for; the keys that clear an
      // operator error or interrupt the host act at once.
      const bool atOnce = SameWord(name, "Reset") || SameWord(name, "ErrorReset") || SameWord(name, "Attn") ||
                          SameWord(name, "SystemRequest");
      if (!atOnce && (session_->LockReason() == 1 || session_->TypeAheadPending())) {
        --current_;
        return SetWaitTimer(100);
      }
      // Before negotiation the session may run another engine, which knows
      // the key by the same name.
      const int modeId = KeyFunctionIdByName(session_->Mode(), name);
      session_->OnKeyFunction(modeId >= 0 ? modeId : id);
      return kContinue;
    }
  }
  if (const int id = KeyFunctionIdByName(0, name); id >= 0) {
    if (id == kf::sys::kHostExit) {
      host.PostHostExit();
      return kDestroy;
    }
    host.SystemCommand(session_, id);
    return kContinue;
  }
  if (session_ && (session_->Mode() & 0x100) != 0) {
    if (const auto key = ParseKeyText(name); key && key->modifiers == kModCtrl && key->virtualKey >= 64 &&
                                             key->virtualKey <= 95) {
      session_->OnCharacter(key->virtualKey - 64);
      return kContinue;
    }
  }
  return ErrorReport(Format(texts::kInvalidKeyName, name.c_str()));
}

// ------------------------------------------------------------------ variables and flow

int CCorvinaScript::SetVar(const Params& p) {
  if (p[0].empty() || p[0][0] != '$') return ErrorReport(Format(texts::kNotAVariable, 1));
  if (p.size() < 2) return ErrorReport(texts::kParameterMissing);
  std::string value;
  for (std::size_t i = 1; i < p.size(); ++i) value += Subst(p[i]);
  variables_[p[0]] = std::move(value);
  RewriteGlobals();
  return kContinue;
}

int CCorvinaScript::Global(const Params& p) {
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i].empty() || p[i][0] != '$') return ErrorReport(Format(texts::kNotAVariable, static_cast<int>(i + 1)));
    AddGlobal(p[i]);
  }
  return kContinue;
}

bool CCorvinaScript::JumpTo(const std::string& label) {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].label == label) {
      current_ = static_cast<int>(i) - 1;
      return true;
    }
  }
  return false;
}

int CCorvinaScript::Goto(const Params& p) {
  const std::string label = Subst(p[0]);
  if (!JumpTo(label)) return ErrorReport(Format(texts::kLabelNotFound, label.c_str()));
  return kContinue;
}

int CCorvinaScript::Wait(const Params& p) {
  if (remainingWait_ < 0) {
    const std::string text = Subst(p[0]);
    if (text.starts_with('$')) return ErrorReport(Format(texts::kVariableNotFound, text.c_str()));
    const auto n = ParseNumber(text, 1, 2147483647);
    if (!n) return ErrorReport(texts::kInvalidWait);
    remainingWait_ = *n;
  }
  constexpr long long kStep = 60000;
  const long long step = std::min(remainingWait_, kStep);
  remainingWait_ -= step;
  if (remainingWait_ > 0)
    --current_;  // the command runs again with the rest
  else
    remainingWait_ = -1;
  unboundedWait_ = true;
  return SetWaitTimer(static_cast<int>(step));
}

int CCorvinaScript::Include(const Params& p) {
  std::string file = Subst(p[0]);
  // A relative name is looked for beside the including script first.
  if (!file.starts_with('/')) {
    const std::string beside = FolderOf(file_) + file;
    if (struct stat st {}; !FolderOf(file_).empty() && ::stat(beside.c_str(), &st) == 0) file = beside;
  }
  if (struct stat st {}; ::stat(file.c_str(), &st) == 0) {
    for (const CCorvinaScript* s = this; s; s = s->parent_) {
      if (s->identity_ && s->identity_->device == st.st_dev && s->identity_->inode == st.st_ino) {
        ErrorReport(Format(texts::kAlreadyActive, file.c_str()));
        return kEndCancelled;
      }
    }
  }
  if (depth_ + 1 > kMaxIncludeDepth) {
    ErrorReport(Format(texts::kNestedTooDeep, kMaxIncludeDepth, file.c_str()));
    return kEndCancelled;
  }
  const bool wasOwner = owner_;
  owner_ = false;
  CCorvinaScript* child = manager_.Create(session_, this);
  if (!child->Load(file)) {
    manager_.Delete(child);
    owner_ = wasOwner && session_ != nullptr;
    return ErrorReport(Format(texts::kUnableToRun, file.c_str()));
  }
  unboundedWait_ = true;
  return kWait;
}

// ------------------------------------------------------------------ files

int CCorvinaScript::FileSpec(const Params& p) {
  if (!session_) return ErrorReport(texts::kNotActive);
  if (p.size() < 2) return ErrorReport(texts::kParameterMissing);
  if (p.size() > 3) return ErrorReport(texts::kTooManyParameters);
  if (p.size() == 3 && !SameWord(p[2], "Append")) return ErrorReport(Format(texts::kParameterInvalid, 3));
  ScriptFileOverride* target = SameWord(p[0], "Log")         ? &log_
                               : SameWord(p[0], "Printer")   ? &printer_
                               : SameWord(p[0], "Clipboard") ? &clipboard_
                                                               : nullptr;
  if (!target) return ErrorReport(Format(texts::kParameterInvalid, 1));
  *target = ScriptFileOverride{p[1], p.size() == 3};
  return kContinue;
}

int CCorvinaScript::FileTransfer(const Params& p) {
  if (!session_) return ErrorReport(texts::kNotActive);
  ScriptHost& host = manager_.Host();
  if (transferring_) {
    if (std::string failure; !host.FileTransferActive(*session_, &failure)) {
      transferring_ = false;
      // A transfer that failed is no reason to go on as if the file had moved.
      return failure.empty() ? kContinue : ErrorReport(failure);
    }
    --current_;
    return SetWaitTimer(500);
  }
  enum { kOperation, kHostFile, kPcFile, kOpsys, kLrecl, kRecfm, kPcOptions, kBlksize, kLanguage, kProgram,
         kOptions, kMode, kBufferSize, kKeywordCount };
  static constexpr std::array<const char*, kKeywordCount> kKeywords = {
      "Operation", "HostFile", "PCFile", "Opsys",   "Lrecl", "Recfm",     "PCOptions",
      "Blksize",   "Language", "Program", "Options", "Mode", "BufferSize"};
  std::array<std::optional<std::string>, kKeywordCount> given;
  std::string invalid;
  for (const std::string& parameter : p) {
    const std::size_t eq = parameter.find('=');
    const std::string keyword = Trim(std::string_view(parameter).substr(0, eq));
    const std::string value = eq == std::string::npos ? std::string() : Trim(std::string_view(parameter).substr(eq + 1));
    const auto known = std::find_if(kKeywords.begin(), kKeywords.end(), [&](const char* k) { return SameWord(k, keyword); });
    if (known == kKeywords.end()) {
      invalid += (invalid.empty() ? "" : "\n") + keyword;
      continue;
    }
    auto& slot = given[static_cast<std::size_t>(known - kKeywords.begin())];
    if (slot && !slot->empty()) return ErrorReport(Format(texts::kKeywordTwice, *known));
    slot = value;
  }
  std::string missing;
  for (int k : {kOperation, kHostFile, kPcFile, kOpsys})
    if (!given[k] || given[k]->empty()) missing += (missing.empty() ? "" : "\n") + std::string(kKeywords[k]);
  if (!missing.empty()) return ErrorReport(Format(texts::kKeywordsRequired, missing.c_str()));
  if (!invalid.empty()) return ErrorReport(Format(texts::kKeywordsInvalid, invalid.c_str()));
  std::array<std::string, kKeywordCount> v;
  for (std::size_t k = 0; k < v.size(); ++k) v[k] = given[k] ? Subst(*given[k]) : std::string();

  const CCorvinaSessionProfile& profile = session_->Profile();
  ScriptTransferRequest request;
  if (SameWord(v[kOperation], "send")) request.send = true;
  else if (!SameWord(v[kOperation], "receive")) return ErrorReport(Format(texts::kBadOperation, kKeywords[kOperation]));
  if (SameWord(v[kOpsys], "vm/cms")) request.opsys = 0;
  else if (SameWord(v[kOpsys], "mvs/tso")) request.opsys = 1;
  else if (SameWord(v[kOpsys], "cics")) request.opsys = 2;
  else return ErrorReport(Format(texts::kBadOpsys, kKeywords[kOpsys], v[kOpsys].c_str()));
  request.hostFile = v[kHostFile];
  request.pcFile = v[kPcFile];
  if (request.send) {
    if (!v[kLrecl].empty()) {
      const auto n = ParseNumber(v[kLrecl], 1, 32760);
      if (!n) return ErrorReport(Format(texts::kBadLrecl, kKeywords[kLrecl]));
      request.lrecl = static_cast<int>(*n);
    }
    static constexpr std::array<const char*, 4> kRecfmWords = {"default", "fixed", "variable", "undefined"};
    if (!v[kRecfm].empty()) {
      const auto f = std::find_if(kRecfmWords.begin(), kRecfmWords.end(),
                                  [&](const char* r) { return SameWord(r, v[kRecfm]); });
      if (f == kRecfmWords.end()) return ErrorReport(Format(texts::kBadRecfm, kKeywords[kRecfm]));
      request.recfm = static_cast<int>(f - kRecfmWords.begin());
    }
    if (request.opsys == 1 && !v[kBlksize].empty()) {
      const auto n = ParseNumber(v[kBlksize], 1, 32760);
      if (!n) return ErrorReport(Format(texts::kBadBlksize, kKeywords[kBlksize]));
      request.blksize = static_cast<int>(*n);
    }
  } else if (!v[kPcOptions].empty()) {
    static constexpr std::array<const char*, 3> kPcOptionWords = {"replace", "append", "prompt"};
    const auto f = std::find_if(kPcOptionWords.begin(), kPcOptionWords.end(),
                                [&](const char* r) { return SameWord(r, v[kPcOptions]); });
    if (f == kPcOptionWords.end()) return ErrorReport(Format(texts::kBadPcOptions, kKeywords[kPcOptions]));
    request.pcOptions = static_cast<int>(f - kPcOptionWords.begin());
  }
  request.flags = profile.fileTransfer.flags;
  for (const std::string& word : SplitCommandLine(v[kOptions])) {
    if (SameWord(word, "ASCII")) request.flags |= kTransferAscii;
    else if (SameWord(word, "BINARY")) request.flags &= static_cast<std::uint8_t>(~kTransferAscii);
    else if (SameWord(word, "CRLF")) request.flags |= kTransferCrLf;
    else if (SameWord(word, "NOCRLF")) request.flags &= static_cast<std::uint8_t>(~kTransferCrLf);
    else if (SameWord(word, "NOTRUNC")) request.flags |= kTransferNoTruncate;
    else if (SameWord(word, "TRUNC")) request.flags &= static_cast<std::uint8_t>(~kTransferNoTruncate);
    else request.hostOptions += (request.hostOptions.empty() ? "" : " ") + word;
  }
  if (SameWord(v[kMode], "screenimage")) request.flags |= kTransferScreenImage;
  else if (v[kMode].empty() || SameWord(v[kMode], "wsf")) request.flags &= static_cast<std::uint8_t>(~kTransferScreenImage);
  else return ErrorReport(Format(texts::kBadMode, kKeywords[kMode]));
  request.bufferSize = profile.fileTransfer.bufferSize;
  if (given[kBufferSize]) {
    const auto n = ParseNumber(v[kBufferSize], 512, 65535);
    if (!n) return ErrorReport(Format(texts::kBadBufferSize, kKeywords[kBufferSize]));
    request.bufferSize = static_cast<int>(*n);
  }
  request.codePageFile = profile.codePageFile;
  if (!v[kLanguage].empty()) {
    request.codePageFile = v[kLanguage];
    if (!host.CodePageLoads(request.codePageFile)) {
      if (ErrorReport(Format(texts::kCodePageNotLoaded, request.codePageFile.c_str())) == kEndCancelled)
        return kEndCancelled;
      request.codePageFile = profile.codePageFile;
    }
  }
  request.program = v[kProgram].empty() ? profile.fileTransfer.program : v[kProgram];
  if (std::string error; !host.StartFileTransfer(*session_, request, &error)) return ErrorReport(error);
  transferring_ = true;
  --current_;
  return SetWaitTimer(200);
}

// ------------------------------------------------------------------ waitfor

int CCorvinaScript::WaitFor(const Params& given) {
  if (!session_) return ErrorReport(texts::kNotActive);
  Params p = given;
  platform::ScanChooser chooser;
  if (p.size() >= 2) {
    if (SameWord(p.back(), "Minimized")) chooser.show = platform::ScanChooser::Show::kMinimized;
    else if (SameWord(p.back(), "Hidden")) chooser.show = platform::ScanChooser::Show::kHidden;
    if (chooser.show != platform::ScanChooser::Show::kNormal) p.pop_back();
  }
  Scan scan;
  if (p.size() == 1) {
    scan.texts.push_back(Subst(p[0]));
    scan.anyUpdate = scan.texts[0].empty();
  } else {
    if (p.size() % 2 != 0) return ErrorReport(Format(texts::kMustContainLabel, static_cast<int>(p.size() + 1)));
    for (std::size_t i = 0; i < p.size(); i += 2) {
      scan.texts.push_back(Subst(p[i]));
      scan.labels.push_back(Subst(p[i + 1]));
    }
    for (std::size_t i = 0; i < scan.texts.size(); ++i) {
      if (scan.texts[i].empty()) return ErrorReport(Format(texts::kScanStringMissing, static_cast<int>(i + 1)));
      if (scan.labels[i].empty()) return ErrorReport(Format(texts::kLabelNotFound, ""));
    }
  }
  chooser.caption = Format(texts::kDialogCaptionSession, session_->Number());
  chooser.group = texts::kScanGroup;
  chooser.texts = scan.anyUpdate ? std::vector<std::string>{texts::kAnyHostUpdate} : scan.texts;
  chooser.cancelScriptButton = texts::kCancelScript;
  chooser.cancelScanButton = texts::kCancelScan;
  const bool anyUpdate = scan.anyUpdate;
  scan_ = std::move(scan);
  scanDialog_ = manager_.Host().Ui().OpenScanChooser(chooser, [this, alive = alive_](platform::ScanChoice choice) {
    if (*alive) Later([choice](CCorvinaScript& s) { s.ScanChosen(choice); });
  });
  if (!anyUpdate) {
    Later([](CCorvinaScript& s) { s.ScanCheck(); });
  } else if (manager_.HostBlocks(*session_) > blocksSeen_) {
    // The host answered the previous command before this one ran: that
    // answer is the update waited for.
    scan_->decided = true;
    Later([](CCorvinaScript& s) { s.ScanFinished(std::nullopt); });
  }
  return kWait;
}

void CCorvinaScript::HostData() { ScanCheck(); }

void CCorvinaScript::ScanCheck() {
  if (ended_ || !scan_ || scan_->decided) return;
  if (!session_ || (session_->State() != kSocketConnecting && session_->State() != kSocketConnected)) {
    scan_->decided = true;
    Later([](CCorvinaScript& s) {
      if (s.ended_) return;
      s.manager_.Host().Ui().MessageBox(texts::kScanConnectionFailed, texts::kCaption, platform::Buttons::Ok,
                                        platform::Answer::Ok, platform::Icon::Warning);
      s.ScanFinished(std::nullopt);
    });
    return;
  }
  std::optional<std::optional<std::string>> outcome;  // set: the scan is over (with the label to go to)
  if (scan_->anyUpdate) {
    outcome.emplace();
  } else {
    std::string screen;
    for (const std::string& row : session_->ScreenRows()) screen += row;
    for (std::size_t i = 0; i < scan_->texts.size() && !outcome; ++i) {
      if (screen.find(scan_->texts[i]) == std::string::npos) continue;
      if (scan_->labels.empty())
        outcome.emplace();
      else
        outcome.emplace(scan_->labels[i]);
    }
  }
  if (!outcome) return;
  scan_->decided = true;
  // Acted on after the session's receive path has finished with the block.
  Later([label = *outcome](CCorvinaScript& s) { s.ScanFinished(label); });
}

void CCorvinaScript::ScanFinished(std::optional<std::string> label) {
  scan_.reset();
  scanDialog_.reset();
  if (ended_) return;
  CancelWaitLimit();
  if (label && !JumpTo(*label) && ErrorReport(Format(texts::kLabelNotFound, label->c_str())) == kEndCancelled) {
    End(kEndCancelled);
    return;
  }
  Resume();
}

void CCorvinaScript::ScanChosen(platform::ScanChoice choice) {
  if (ended_ || !scan_) return;
  if (choice == platform::ScanChoice::kCancelScript)
    End(kEndCancelled);
  else
    ScanFinished(std::nullopt);
}

}  // namespace corvina::script
