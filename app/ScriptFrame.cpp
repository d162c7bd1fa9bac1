// The application as the frame of its scripts.
#include <sys/stat.h>

#include "app/AppTexts.h"
#include "app/Application.h"
#include "codepage/CodePage.h"

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

bool CCorvinaApp::CodePageLoads(const std::string& file) {
  std::string path = file;
  if (!path.empty() && path.front() != '/' && !env_.codePageFolder.empty()) path = env_.codePageFolder + "/" + path;
  CCorvinaCodePage page;
  std::string error;
  return page.Load(path, error);
}

// The IND$FILE transfer starts here once it is built in: until then a
// script's filetransfer is checked in full and then told that transfers
// are not available.
bool CCorvinaApp::StartFileTransfer(CHostSession&, const script::ScriptTransferRequest&, std::string* error) {
  *error = texts::kTransfersUnavailable;
  return false;
}

bool CCorvinaApp::FileTransferActive(CHostSession&) { return false; }

}  // namespace corvina::app
