// The screen-image transport: the host writes frames on a 24 x 80 screen
// and the PC answers each with Enter (or PF2 to stop), after writing a
// block of its own into a data request.
#include <algorithm>

#include "filetransfer/FileTransfer.h"
#include "filetransfer/TransferEngine3270.h"
#include "filetransfer/TransferTexts.h"
#include "ibm3270/DataStream.h"
#include "platform/Format.h"
#include "session/HostSession.h"

namespace corvina::filetransfer {

namespace texts = transfer_texts;
namespace si = screenimage;
using platform::Format;

namespace {

constexpr std::uint8_t kAidEnter = 0x7D, kAidPf2 = 0xF2;

}  // namespace

char CFileTransfer::TextAt(int position) const {
  return static_cast<char>(codePage_.ToAscii(engine_.Screen().Character(position)));
}

// A frame fills a 24 x 80 screen whose last position is an autoskip
// attribute; any other screen is the host's own.
bool CFileTransfer::FrameOnScreen() const {
  const C3270PresentationSpace& ps = engine_.Screen();
  if (ps.Size() != si::kFrameSize) return false;
  const std::uint8_t a = ps.Attribute(si::kMagicField);
  return a != 0 && (a & ds3270::kFaProtected) && (a & ds3270::kFaNumeric);
}

std::string CFileTransfer::ScreenMessage(int from) const {
  std::string text;
  const int size = std::min(engine_.Screen().Size(), si::kFrameSize);
  for (int p = from; p < size; ++p) {
    if (engine_.Screen().Character(p) == 0) break;
    const char c = TextAt(p);
    if (c == '$') break;
    text.push_back(c);
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

void CFileTransfer::Reply(bool enter) {
  engine_.ReadModified(enter ? kAidEnter : kAidPf2, true);
  if (!enter) cancelState_ = 2;
}

bool CFileTransfer::ScreenImageStep() {
  const bool frame = FrameOnScreen();
  const char type = frame ? TextAt(0) : 0;
  if (state_ == kGetCommandSent || state_ == kPutCommandSent) {
    if (type != 'C' || TextAt(1) != 'a' || TextAt(2) != 'a') return false;
    const char code = TextAt(3);
    if (code == 'a') {
      state_ = state_ == kGetCommandSent ? kGetScreenImage : kPutScreenImage;
      getSet_ = si::CodeSet::kSemicolon;
      encoder_.set = si::CodeSet::kNone;
      encoder_.previous = 0;
      lastSequence_ = 0;
      Reply(true);
      return true;
    }
    if (code == 'm' || code == 'q') {
      const std::string message = ScreenMessage(4);
      ShowMessage(message);
      Reply(true);
      End(false, message);
      return true;
    }
    return false;  // the host may still be working
  }
  const bool get = state_ == kGetScreenImage;
  if (type == 'C') {
    const std::string message = ScreenMessage(4);
    ShowMessage(message);
    const bool complete = TextAt(2) == 'a' && TextAt(3) == 'i';
    Reply(true);
    End(complete, message);
    return true;
  }
  if (get && type == 'A') {
    GetBlock();
    return true;
  }
  // A data request carries its input field right after the frame type.
  if (!get && (type == 'B' || type == '<') && engine_.Screen().Attribute(1) != 0) {
    PutBlock(type == '<');
    return true;
  }
  hostScreen_ = true;
  return false;
}

void CFileTransfer::GetBlock() {
  const int session = engine_.Session().Number();
  if (cancelState_ != 0 || failed_) {
    Reply(false);  // nothing more goes into the file
    return;
  }
  const C3270PresentationSpace& ps = engine_.Screen();
  const long number = block_ + 1;
  const int sequence = si::AlphabetIndex(TextAt(1)), sum = si::AlphabetIndex(TextAt(2));
  const int high = si::AlphabetIndex(TextAt(3)), low = si::AlphabetIndex(TextAt(4));
  if (sequence < 0 || sum < 0 || high < 0 || low < 0) {
    Fail(Format(texts::kBadBlockLength, session, number));
    Reply(false);
    return;
  }
  if (lastSequence_ >= 0 && sequence != (lastSequence_ + 1) % 64) {
    Fail(Format(texts::kBadSequence, session, number));
    Reply(false);
    return;
  }
  // The block must hold every position its length claims, before the
  // response area, with no field or null among them, and its checksum.
  const int length = high * 64 + low;
  bool whole = length <= si::kMaxGetPositions;
  std::uint8_t check = 0;
  for (int i = 0; whole && i < length; ++i) {
    const int p = si::kGetData + i;
    whole = ps.Attribute(p) == 0 && ps.Character(p) != 0;
    check ^= ps.Character(p);
  }
  if (!whole || (check & 63) != sum) {
    Fail(Format(texts::kBadBlockLength, session, number));
    Reply(false);
    return;
  }
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(length));
  const bool ascii = request_.Ascii(), asciiCrLf = ascii && request_.CrLf();
  for (int i = 0; i < length; ++i) {
    const std::uint8_t code = ps.Character(si::kGetData + i);
    const char text = TextAt(si::kGetData + i);
    if (si::IsShift(text)) {
      getSet_ = static_cast<si::CodeSet>(text);
      continue;
    }
    if (text == 'z' && getSet_ == si::CodeSet::kStar) continue;  // the end-of-file mark
    const std::optional<std::uint8_t> decoded = si::DecodeCode(getSet_, code);
    if (!decoded) {
      Fail(Format(texts::kBadScreenCode, session, static_cast<unsigned>(code), number));
      Reply(false);
      return;
    }
    std::uint8_t b = *decoded;
    if (ascii) b = codePage_.ToAscii(si::HostAsciiToEbcdic()[b]);
    // An end-of-file character right after a line end is the host's, not the file's.
    if (asciiCrLf && b == 0x1A && history_[0] == 0x0D && history_[1] == 0x0A &&
        total_ + static_cast<long>(out.size()) > 1)
      continue;
    history_[0] = history_[1];
    history_[1] = b;
    out.push_back(b);
  }
  if (const int e = file_.Write(out); e != 0) {
    FileFailed(true, e);
    Reply(false);
    return;
  }
  total_ += static_cast<long>(out.size());
  block_ = number;
  lastSequence_ = sequence;
  UpdateProgress();
  Reply(cancelState_ == 0);
}

void CFileTransfer::PutBlock(bool again) {
  C3270PresentationSpace& ps = engine_.TransferScreen();
  again = again && putSent_;  // nothing sent yet: the first block it is
  putSent_ = true;
  if (!again) {
    if (cancelState_ != 0 || failed_) {
      Reply(false);
      return;
    }
    blockStart_ = encoder_;
    putBuffer_.resize(si::kPutBlockBytes);
    const long n = file_.ReadAt(static_cast<std::uint64_t>(total_), putBuffer_);
    if (n < 0) {
      FileFailed(false, static_cast<int>(-n));
      Reply(false);
      return;
    }
    putBuffer_.resize(static_cast<std::size_t>(n));
  } else {
    encoder_ = blockStart_;
    ShowMessage(Format(texts::kResending, request_.pcFile.c_str(), block_));
  }
  std::vector<std::uint8_t> codes;
  std::size_t consumed = 0;
  if (putBuffer_.empty()) {
    codes = {codePage_.ToEbcdic('*'), codePage_.ToEbcdic('z')};
  } else {
    codes = encoder_.Encode(putBuffer_, si::kMaxPutPositions, consumed);
  }
  // Never past the data positions: the response area and the frame's last
  // field stay as the host wrote them.
  ps.PutAttribute(1, static_cast<std::uint8_t>(ps.Attribute(1) | 0x0D), ps.Extended(1));
  const std::vector<std::uint8_t> header = si::PutHeader(codes, codePage_);
  for (std::size_t i = 0; i < header.size(); ++i) ps.PutCharacter(4 + static_cast<int>(i), header[i], 0);
  for (int p = si::kPutData; p < si::kResponseArea; ++p) {
    const std::size_t i = static_cast<std::size_t>(p - si::kPutData);
    ps.PutCharacter(p, i < codes.size() ? codes[i] : 0, 0);
  }
  if (!again && consumed > 0) {
    total_ += static_cast<long>(consumed);
    ++block_;
  }
  UpdateProgress();
  Reply(cancelState_ == 0);
}

}  // namespace corvina::filetransfer
