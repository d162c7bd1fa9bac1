// The transfer's life: starting, messages, progress, cancel and the end;
// the two transports are in ScreenImageTransfer.cpp and WsfTransfer.cpp.
#include "filetransfer/FileTransfer.h"

#include <algorithm>

#include "filetransfer/TransferEngine3270.h"
#include "filetransfer/TransferTexts.h"
#include "filetransfer/Wsf.h"
#include "keyboard/KeyFunctions.h"
#include "platform/Format.h"
#include "session/HostSession.h"

namespace corvina::filetransfer {

namespace texts = transfer_texts;
using platform::Format;

namespace {

// The smallest buffer a Get reply can carry a CR LF pair in.
constexpr int kSmallestGetBuffer = static_cast<int>(wsf::kDataReplyHeader) + 2;

}  // namespace

std::string OutcomeFailure(const TransferOutcome& outcome) {
  if (outcome.success) return {};
  if (!outcome.message.empty()) return outcome.message;
  return outcome.cancelled ? texts::kEndCancelled : texts::kEndFailed;
}

int CFileTransfer::Start(const CTransferRequest& request, TransferObserver* observer, std::string* codePageError) {
  if (Running()) return kStartBusy;
  CHostSession& s = engine_.Session();
  request_ = request;
  request_.flags = request.Flags();
  observer_ = observer;
  codePage_.SetDefault();
  if (!request_.codePageFile.empty()) {
    std::string why;
    if (!codePage_.Load(request_.codePageFile, why) && codePageError)
      *codePageError = Format(texts::kCodePageFailed, request_.codePageFile.c_str());
  }
  total_ = block_ = fileSize_ = 0;
  lastPercent_ = -1;
  cancelState_ = 0;
  hostScreen_ = failed_ = false;
  failure_.clear();
  bufferSize_ = std::clamp(static_cast<int>(request_.bufferSize), kMinBufferSize, kMaxBufferSize);
  wsfKind_ = 0;
  wsfPrevious_ = 0;
  history_[0] = history_[1] = 0xFF;
  lastSequence_ = -1;
  putBuffer_.clear();
  encoder_ = screenimage::PutEncoder{};
  encoder_.ascii = request_.Ascii();
  encoder_.crlf = request_.CrLf();
  encoder_.codePage = &codePage_;
  blockStart_ = encoder_;
  putSent_ = false;

  platform::UserInterface& ui = s.Ui();
  const std::string& pc = request_.pcFile;
  int error = 0;
  if (request_.Get()) {
    if (request_.pcFileOption == PcFileOption::kPrompt && CPcFile::Exists(pc) &&
        ui.MessageBox(Format(texts::kReplaceQuestion, pc.c_str()), texts::kProduct, platform::Buttons::YesNo,
                      platform::Answer::No, platform::Icon::Question) != platform::Answer::Yes)
      return kStartDeclined;
    error = file_.OpenForReceive(pc, request_.pcFileOption == PcFileOption::kAppend);
  } else {
    error = file_.OpenForSend(pc);
    fileSize_ = static_cast<long>(std::min<std::uint64_t>(file_.Size(), 0x7FFFFFFF));
  }
  if (error != 0) {
    ui.MessageBox(Format(texts::kUnableToOpen, pc.c_str(), FileErrorText(error).c_str()), texts::kProduct,
                  platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
    return FileErrorCause(error) == 2 ? kStartNotFound : kStartOpenFailed;
  }

  // The command is typed at the cursor like any text; a keyboard that
  // refuses a character refuses the command.
  const std::string command = HostCommand(request_);
  bool typed = s.LockReason() == 0;
  for (std::size_t i = 0; typed && i < command.size(); ++i) {
    const int before = s.Cursor();
    const std::uint8_t c = static_cast<std::uint8_t>(command[i]);
    engine_.TypeCharacter(c);
    typed = s.LockReason() == 0 && s.Cursor() != before &&
            engine_.Screen().Character(before) == s.CodePage().ToEbcdic(c);
  }
  if (!typed) {
    file_.Discard();
    ui.MessageBox(texts::kCommandRefused, texts::kProduct, platform::Buttons::Ok, platform::Answer::Ok,
                  platform::Icon::Error);
    return kStartKeyboardRefused;
  }
  state_ = request_.Get() ? kGetCommandSent : kPutCommandSent;
  engine_.KeyFunction(kf::ibm3270::kEnter);
  s.FlushOutput();
  s.SetFileTransferRunning(true);
  return kStartSent;
}

void CFileTransfer::Cancel() {
  if (!Running()) return;
  if (cancelState_ == 0 && state_ != kGetCommandSent && state_ != kPutCommandSent) {
    if (hostScreen_) {
      // The host shows a screen of its own: Clear takes the user out of it.
      engine_.ShortRead(0x6D);
      engine_.Session().FlushOutput();
      cancelState_ = 2;
    } else {
      cancelState_ = 1;  // the next answer to the host is PF2
    }
    return;
  }
  End(false, "");
}

void CFileTransfer::Abandon() {
  if (Running()) End(false, "");
}

void CFileTransfer::HostField(std::span<const std::uint8_t> field) {
  if (state_ == kGetCommandSent) {
    state_ = kGetWsf;
    wsfKind_ = 0;
  } else if (state_ == kPutCommandSent) {
    state_ = kPutWsf;
    wsfKind_ = 0;
  }
  if (state_ != kGetWsf && state_ != kPutWsf) return;
  const wsf::Request r = wsf::Parse(field);
  switch (r.type) {
    case wsf::kOpen:
      wsfKind_ = r.kind == wsf::Kind::kData ? 1 : r.kind == wsf::Kind::kMessage ? 2 : 0;
      // A host may lower the buffer size, never below what a Get needs.
      if (r.size != 0 && static_cast<int>(r.size) < bufferSize_)
        bufferSize_ = std::max(static_cast<int>(r.size), kSmallestGetBuffer);
      SendReply(wsf::OpenReply());
      break;
    case wsf::kClose:
      putBuffer_.clear();
      wsfKind_ = 0;
      SendReply(wsf::CloseReply());
      break;
    case wsf::kGet:
      WsfGet();
      break;
    case wsf::kInsert:
      if (!r.dataInsert) break;
      if (r.malformed) {
        Fail(Format(texts::kBadInsert, engine_.Session().Number()));
        break;
      }
      WsfInsert(r.data);
      break;
    default:
      break;
  }
  if (Running() && cancelState_ == 1) {
    engine_.ReadModified(0xF2, true);
    cancelState_ = 2;
  }
}

bool CFileTransfer::HostWrite() {
  if (state_ == kGetWsf || state_ == kPutWsf) {
    hostScreen_ = true;
    return false;
  }
  return ScreenImageStep();
}

void CFileTransfer::SendReply(const std::vector<std::uint8_t>& bytes) { engine_.SendInboundRecord(bytes); }

void CFileTransfer::ShowMessage(const std::string& text) { engine_.Session().ShowStatus(text); }

void CFileTransfer::Fail(const std::string& text) {
  if (failed_) return;
  failed_ = true;
  failure_ = text;
  engine_.Session().Ui().MessageBox(text, texts::kProduct, platform::Buttons::Ok, platform::Answer::Ok,
                                    platform::Icon::Error);
  if (cancelState_ == 0) cancelState_ = 1;
}

void CFileTransfer::FileFailed(bool writing, int error) {
  Fail(Format(texts::kFileError, engine_.Session().Number(), writing ? texts::kWriting : texts::kReading,
              request_.pcFile.c_str(), FileErrorText(error).c_str()));
  if (!writing) putBuffer_.clear();
}

void CFileTransfer::UpdateProgress() {
  if (!observer_) return;
  TransferProgress p;
  p.get = request_.Get();
  p.total = total_;
  p.fileSize = fileSize_;
  p.title = Format(texts::kProgressTitle, texts::kProduct);
  if (p.get) {
    if (cancelState_ != 0) return;
    p.text = Format(texts::kReceiving, request_.pcFile.c_str(), total_);
  } else {
    long long percent = fileSize_ == 0 ? 0 : static_cast<long long>(total_) * 100 / fileSize_;
    p.percent = static_cast<int>(std::clamp<long long>(percent, 0, 100));
    if (p.percent > lastPercent_) lastPercent_ = p.percent;
    p.title = Format(texts::kProgressPercentTitle, static_cast<long>(lastPercent_)) + p.title;
    p.text = Format(texts::kSending, request_.pcFile.c_str(), fileSize_, total_, p.percent);
  }
  observer_->Progress(p);
}

void CFileTransfer::End(bool success, const std::string& message) {
  CHostSession& s = engine_.Session();
  TransferOutcome outcome;
  outcome.cancelled = cancelState_ != 0 && !failed_;
  outcome.success = success && cancelState_ == 0 && !failed_;
  outcome.total = total_;
  outcome.message = failed_ ? failure_ : message;
  if (request_.Get() && outcome.success) {
    if (const int e = file_.Commit(); e != 0) {
      outcome.success = false;
      outcome.message = Format(texts::kFileError, s.Number(), texts::kWriting, request_.pcFile.c_str(),
                               FileErrorText(e).c_str());
      s.Ui().MessageBox(outcome.message, texts::kProduct, platform::Buttons::Ok, platform::Answer::Ok,
                        platform::Icon::Error);
    }
  }
  file_.Discard();
  putBuffer_.clear();
  state_ = kIdle;
  cancelState_ = 0;
  hostScreen_ = failed_ = false;
  wsfKind_ = 0;
  codePage_.SetDefault();
  s.SetFileTransferRunning(false);
  engine_.KeyboardRestore();
  s.Frame().ScreenChanged(s);
  TransferObserver* observer = observer_;
  observer_ = nullptr;
  if (observer) observer->Ended(outcome);
}

}  // namespace corvina::filetransfer
