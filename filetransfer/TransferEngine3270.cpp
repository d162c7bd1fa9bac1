#include "filetransfer/TransferEngine3270.h"

#include "session/HostSession.h"

namespace corvina::filetransfer {

void C3270TransferEngine::Stop() {
  // The host is gone (or the session leaves 3270 mode): the transfer ends.
  transfer_.Abandon();
  C3270Engine::Stop();
}

namespace {

CFileTransfer* TransferOf(CHostSession& session) {
  auto* engine = dynamic_cast<C3270TransferEngine*>(session.Engine());
  return engine ? &engine->Transfer() : nullptr;
}

}  // namespace

int StartFileTransfer(CHostSession& session, const CTransferRequest& request, TransferObserver* observer,
                      std::string* codePageError) {
  CFileTransfer* t = TransferOf(session);
  if (!t) return kStartNotAvailable;
  if (t->Running()) return kStartBusy;
  return t->Start(request, observer, codePageError);
}

bool FileTransferRunning(CHostSession& session) {
  CFileTransfer* t = TransferOf(session);
  return t && t->Running();
}

bool FileTransferCanStart(CHostSession& session) {
  CFileTransfer* t = TransferOf(session);
  return t && !t->Running();
}

int FileTransferState(CHostSession& session) {
  CFileTransfer* t = TransferOf(session);
  return t ? t->State() : 0;
}

TransferStatus FileTransferStatus(CHostSession& session) {
  CFileTransfer* t = TransferOf(session);
  if (!t) return {};
  return {t->State(), t->Total(), t->FileSize()};
}

void CancelFileTransfer(CHostSession& session) {
  if (CFileTransfer* t = TransferOf(session); t && t->Running()) t->Cancel();
}

void DetachFileTransferObserver(CHostSession& session, TransferObserver* observer) {
  if (CFileTransfer* t = TransferOf(session)) t->Detach(observer);
}

}  // namespace corvina::filetransfer
