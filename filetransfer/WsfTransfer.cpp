// The structured-field transport: the host opens a data set (FT:DATA for
// the file, FT:MSG for its final message), inserts blocks into the PC file
// or gets them from it, and closes it.
#include <algorithm>

#include "filetransfer/FileTransfer.h"
#include "filetransfer/TransferEngine3270.h"
#include "filetransfer/Wsf.h"

namespace corvina::filetransfer {

namespace {

// The host's message for a transfer that went through.
constexpr std::string_view kCompleteMessageId = "TRANS03";

}  // namespace

void CFileTransfer::WsfInsert(std::span<const std::uint8_t> data) {
  if (state_ == kGetWsf && wsfKind_ == 1) {
    if (cancelState_ == 0 && !failed_) {
      if (request_.Ascii() && request_.CrLf() && !data.empty() && data.back() == 0x1A) data = data.first(data.size() - 1);
      if (const int e = file_.Write(data); e != 0) {
        FileFailed(true, e);
      } else {
        total_ += static_cast<long>(data.size());
      }
    }
    ++block_;
    SendReply(wsf::InsertAck(static_cast<std::uint32_t>(block_)));
    UpdateProgress();
    return;
  }
  if (wsfKind_ == 2 || state_ == kPutWsf) {
    const auto end = std::find(data.begin(), data.end(), static_cast<std::uint8_t>('$'));
    std::string message(data.begin(), end);
    while (!message.empty() && message.back() == ' ') message.pop_back();
    ShowMessage(message);
    SendReply(wsf::InsertAck(1));
    End(message.compare(0, kCompleteMessageId.size(), kCompleteMessageId) == 0, message);
  }
}

void CFileTransfer::WsfGet() {
  if (state_ != kPutWsf || cancelState_ != 0 || failed_) {
    SendReply(wsf::EndOfFileReply());
    return;
  }
  putBuffer_.resize(static_cast<std::size_t>(bufferSize_));
  const long n = file_.ReadAt(static_cast<std::uint64_t>(total_), putBuffer_);
  if (n < 0) {
    FileFailed(false, static_cast<int>(-n));
    return;
  }
  if (n == 0) {
    putBuffer_.clear();
    SendReply(wsf::EndOfFileReply());
    return;
  }
  const std::size_t room = wsf::DataRoom(bufferSize_);
  std::vector<std::uint8_t> data;
  data.reserve(room);
  std::size_t consumed = 0;
  std::uint8_t previous = wsfPrevious_;
  for (long i = 0; i < n; ++i) {
    const std::uint8_t b = putBuffer_[static_cast<std::size_t>(i)];
    const bool addCr = request_.CrLf() && b == 0x0A && previous != 0x0D;
    if (data.size() + (addCr ? 2 : 1) > room) break;
    if (addCr) data.push_back(0x0D);
    data.push_back(b);
    previous = b;
    ++consumed;
  }
  wsfPrevious_ = previous;
  ++block_;
  SendReply(wsf::DataReply(static_cast<std::uint32_t>(block_), data));
  total_ += static_cast<long>(consumed);
  UpdateProgress();
}

}  // namespace corvina::filetransfer
