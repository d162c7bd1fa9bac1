// IND$FILE transfers of one 3270 display session: the public entry points
// every starter calls, and the transfer itself, which the session's 3270
// engine feeds with each host Write and each 0xD0 structured field.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codepage/CodePage.h"
#include "filetransfer/PcFile.h"
#include "filetransfer/ScreenImage.h"
#include "filetransfer/TransferRequest.h"

namespace corvina {

class CHostSession;

namespace filetransfer {

class C3270TransferEngine;

// What the progress window shows.
struct TransferProgress {
  bool get = true;
  long total = 0;     // bytes of the PC file transferred so far
  long fileSize = 0;  // PUT only
  int percent = 0;    // PUT only
  std::string title, text;
};

struct TransferOutcome {
  bool success = false;
  bool cancelled = false;
  long total = 0;
  std::string message;  // the host's final message, or why it failed here
};

// Why an ended transfer failed: the host's message or ours; empty when it
// succeeded.
std::string OutcomeFailure(const TransferOutcome& outcome);

// The front end's part: the progress window and the end. Called on the
// session's thread; the observer must outlive the transfer or be detached.
class TransferObserver {
 public:
  virtual ~TransferObserver() = default;
  virtual void Progress(const TransferProgress&) {}
  virtual void Ended(const TransferOutcome&) {}
};

// Starting, cancelling and watching: what the dialog, the script command,
// HLLAPI and corvina-cli call. The script command fills a request from its
// keywords (RequestFromProfile for the defaults), reports *codePageError,
// and waits until FileTransferState is 0; HLLAPI Send/Receive File takes
// RequestFromProfile, ParseHllapiTransferString and HllapiStartResult and
// does not wait. A start returns one of the kStart* results;
// when the request names a code page file that does not load, *codePageError
// gets the reason and the built-in tables are used.
int StartFileTransfer(CHostSession& session, const CTransferRequest& request, TransferObserver* observer = nullptr,
                      std::string* codePageError = nullptr);
bool FileTransferRunning(CHostSession& session);
// A 3270 display engine with no transfer running: what the menu entry, the
// key function and a dropped file ask before the dialog opens.
bool FileTransferCanStart(CHostSession& session);
// The transfer state (0 idle, 1 to 6 as the transfer runs).
int FileTransferState(CHostSession& session);
// The state with the bytes moved and the PC file's size (PUT) of the
// current transfer, or of the last one once it has ended.
struct TransferStatus {
  int state = 0;
  long total = 0;
  long fileSize = 0;
};
TransferStatus FileTransferStatus(CHostSession& session);
// Cancel, as the user, a script or HLLAPI asks: the first asks the host to
// stop, a second (or one before the host answered) ends the transfer here.
void CancelFileTransfer(CHostSession& session);
// Stops calling the observer (a front end that goes away first).
void DetachFileTransferObserver(CHostSession& session, TransferObserver* observer);

class CFileTransfer {
 public:
  enum State : int {
    kIdle = 0,
    kGetCommandSent = 1,
    kGetScreenImage = 2,
    kPutCommandSent = 3,
    kPutScreenImage = 4,
    kGetWsf = 5,
    kPutWsf = 6,
  };

  explicit CFileTransfer(C3270TransferEngine& engine) : engine_(engine) {}
  CFileTransfer(const CFileTransfer&) = delete;
  CFileTransfer& operator=(const CFileTransfer&) = delete;

  int Start(const CTransferRequest& request, TransferObserver* observer, std::string* codePageError);
  void Cancel();
  int State() const { return state_; }
  long Total() const { return total_; }
  long FileSize() const { return fileSize_; }
  bool Running() const { return state_ != kIdle; }
  const CTransferRequest& Request() const { return request_; }
  void Detach(TransferObserver* observer) {
    if (observer_ == observer) observer_ = nullptr;
  }

  // The engine's calls.
  bool WantsDdm() const { return (state_ == kGetCommandSent || state_ == kPutCommandSent) && !request_.ScreenImage(); }
  int BufferSize() const { return bufferSize_; }
  // After a host Write: true when the transfer took the screen.
  bool HostWrite();
  void HostField(std::span<const std::uint8_t> field);
  // The session's connection or engine goes away.
  void Abandon();

 private:
  // Screen-image transport (ScreenImageTransfer.cpp).
  bool FrameOnScreen() const;
  char TextAt(int position) const;
  std::string ScreenMessage(int from) const;
  bool ScreenImageStep();
  void GetBlock();
  void PutBlock(bool again);
  void Reply(bool enter);
  // Structured-field transport (WsfTransfer.cpp).
  void WsfInsert(std::span<const std::uint8_t> data);
  void WsfGet();
  void SendReply(const std::vector<std::uint8_t>& bytes);

  void Fail(const std::string& text);  // a fault here: told, and the host is asked to stop
  void FileFailed(bool writing, int error);
  void ShowMessage(const std::string& text);
  void UpdateProgress();
  void End(bool success, const std::string& message);

  C3270TransferEngine& engine_;
  CTransferRequest request_;
  TransferObserver* observer_ = nullptr;
  int state_ = kIdle;
  int cancelState_ = 0;  // 0 none, 1 requested, 2 cancel key sent
  bool hostScreen_ = false;
  bool failed_ = false;  // a fault here ended or is ending the transfer
  std::string failure_;
  CPcFile file_;
  long total_ = 0;
  long block_ = 0;
  long fileSize_ = 0;
  int lastPercent_ = -1;
  int bufferSize_ = 8192;
  CCorvinaCodePage codePage_;
  // Screen-image state.
  screenimage::CodeSet getSet_ = screenimage::CodeSet::kSemicolon;
  std::uint8_t history_[2] = {0xFF, 0xFF};  // the last two bytes output (GET, ASCII with CRLF)
  int lastSequence_ = -1;                   // of the host's last frame
  screenimage::PutEncoder encoder_;
  screenimage::PutEncoder blockStart_;  // the encoder as the current block began
  std::vector<std::uint8_t> putBuffer_;  // the bytes of the current block
  std::size_t putConsumed_ = 0;
  bool putSent_ = false;  // a block went to the host: "<" has one to send again
  // Structured-field state.
  int wsfKind_ = 0;  // 0 none, 1 data, 2 message
  std::uint8_t wsfPrevious_ = 0;
};

}  // namespace filetransfer
}  // namespace corvina
