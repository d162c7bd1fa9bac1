// The application as the frame of its scripts.
#include <sys/stat.h>

#include "app/AppTexts.h"
#include "app/Application.h"
#include "app/SaveFiles.h"
#include "codepage/CodePage.h"
#include "filetransfer/FileTransfer.h"

namespace corvina::app {

bool CCorvinaApp::ScriptsRunning() const {
  if (!scripts_) return false;
  for (const script::CCorvinaScript* s : scripts_->Scripts())
    if (!s->Ended()) return true;
  return false;
}

bool CCorvinaApp::RunScript(CHostSession* session, const std::string& file) {
  // A profile's relative script name is the data folder's file when the
  // working folder has none.
  std::string path = file;
  struct stat st {};
  if (!path.empty() && path.front() != '/' && ::stat(path.c_str(), &st) != 0 &&
      ::stat((DataFolder() + path).c_str(), &st) == 0)
    path = DataFolder() + path;
  return scripts_->Start(session, path);
}

bool CCorvinaApp::RunScriptCommand() {
  if (!table_->chooseFile) return false;
  const std::optional<std::string> file = table_->chooseFile(ScriptFileChoice(store_->scriptExtension, DataFolder()));
  if (!file || file->empty()) return false;
  return scripts_->Start(table_->Active(), *file);
}

bool CCorvinaApp::CancelScriptCommand() {
  CHostSession* active = table_->Active();
  return active && scripts_->CancelScript(*active);
}

bool CCorvinaApp::CanCancelScript() const {
  const CHostSession* active = table_->Active();
  return active && scripts_ && scripts_->ScriptOf(*active);
}

void CCorvinaApp::ScriptEnded(const std::string& file, int result) {
  if (onScriptEnded) onScriptEnded(file, result);
  // Nothing is left to wait for.
  if (options_.headless && table_->LiveCount() == 0 && !ScriptsRunning()) CloseLater();
}

CHostSession* CCorvinaApp::StartSession(std::shared_ptr<CCorvinaSessionProfile> profile, int slot) {
  return table_->StartSession(std::move(profile), slot);
}

void CCorvinaApp::SystemCommand(CHostSession* session, int id) {
  if (session)
    table_->SystemCommand(*session, id, 0);
  else
    RunSystemCommand(id);
}

void CCorvinaApp::PostHostExit() {
  env_.loop.Post([this, alive = alive_] {
    if (*alive) CloseProgram(!options_.headless);
  });
}

std::string CCorvinaApp::CodePagePath(const std::string& file) const {
  if (file.empty() || file.front() == '/' || env_.codePageFolder.empty()) return file;
  return env_.codePageFolder + "/" + file;
}

bool CCorvinaApp::CodePageLoads(const std::string& file) {
  CCorvinaCodePage page;
  std::string error;
  return page.Load(CodePagePath(file), error);
}

bool CCorvinaApp::StartFileTransfer(CHostSession& session, const script::ScriptTransferRequest& given,
                                    std::string* error) {
  using namespace filetransfer;
  CTransferRequest r =
      RequestFromProfile(session.Profile().fileTransfer, given.send ? Direction::kPut : Direction::kGet);
  r.pcFile = given.pcFile;
  r.hostFile = given.hostFile;
  r.hostSystem = static_cast<HostSystem>(given.opsys);
  r.lrecl = given.lrecl;
  r.recordFormat = static_cast<RecordFormat>(given.recfm);
  r.blksize = given.blksize;
  r.pcFileOption = static_cast<PcFileOption>(given.pcOptions);
  r.flags = given.flags;
  r.additionalOptions = given.hostOptions;
  r.bufferSize = given.bufferSize;
  r.codePageFile = CodePagePath(given.codePageFile);
  r.program = given.program;
  // The script has reported a code page that does not load already.
  auto watcher = std::make_unique<ScriptTransfer>();
  const int result = filetransfer::StartFileTransfer(session, r, watcher.get());
  if (result != kStartSent) {
    *error = StartFailureText(result);
    return false;
  }
  scriptTransfers_[&session] = std::move(watcher);
  return true;
}

bool CCorvinaApp::FileTransferActive(CHostSession& session, std::string* failure) {
  const auto it = scriptTransfers_.find(&session);
  if (it == scriptTransfers_.end()) return false;
  if (!it->second->ended && filetransfer::FileTransferRunning(session)) return true;
  // A transfer that went without telling how (its engine replaced) failed.
  *failure = filetransfer::OutcomeFailure(it->second->ended ? it->second->outcome : filetransfer::TransferOutcome{});
  scriptTransfers_.erase(it);
  return false;
}

void CCorvinaApp::ForgetScriptTransfer(CHostSession& session) {
  const auto it = scriptTransfers_.find(&session);
  if (it == scriptTransfers_.end()) return;
  filetransfer::DetachFileTransferObserver(session, it->second.get());
  scriptTransfers_.erase(it);
}

}  // namespace corvina::app
