#include "dialogs/FileTransferDialog.h"

#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "codepage/CodePageTexts.h"
#include "config/SessionProfile.h"
#include "dialogs/SetupDialogs.h"
#include "filetransfer/TransferTexts.h"
#include "platform/Format.h"
#include "platform/UserInterface.h"
#include "session/HostSession.h"

namespace corvina::dialogs {

namespace texts = transfer_texts;
using filetransfer::Direction;
using platform::Format;

namespace {

constexpr std::uint8_t kDialogFlags =
    kTransferAscii | kTransferCrLf | kTransferNoTruncate | kTransferAppend | kTransferScreenImage;

// A number box: at most 9 decimal digits (so it cannot overflow) within the range.
std::optional<int> Number(const std::string& text, int lowest, int highest) {
  const auto n = ParseBoundedNumber(text, lowest, highest, 9);
  return n ? std::optional<int>(static_cast<int>(*n)) : std::nullopt;
}

std::string LabelWithoutColon(const char* label) {
  std::string s = label;
  if (!s.empty() && s.back() == ':') s.pop_back();
  return s;
}

}  // namespace

bool DroppableFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string HostNameOfDroppedFile(const std::string& path) {
  std::string base = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  std::replace(base.begin(), base.end(), '.', ' ');
  return base;
}

CFileTransferModel::CFileTransferModel(CCorvinaPersistentData& store, CCorvinaSessionProfile& profile,
                                       std::string codePageFolder)
    : store_(store), profile_(profile), codePageFolder_(std::move(codePageFolder)) {
  const FileTransferDefaults& d = profile.fileTransfer;
  hostFile = d.hostFile;
  pcFile = d.pcFile;
  program = d.program;
  options = d.options;
  lrecl = std::to_string(d.logicalRecordLength);
  blksize = std::to_string(d.blockSize);
  bufferSize = std::to_string(d.bufferSize);
  ascii = d.flags & kTransferAscii;
  crlf = d.flags & kTransferCrLf;
  noTruncate = d.flags & kTransferNoTruncate;
  append = d.flags & kTransferAppend;
  screenImage = d.flags & kTransferScreenImage;
  recordFormat = std::clamp(d.recordFormat, 0, 3);
  pcFileOption = std::clamp(d.pcDisposition, 0, 2);
  codePageFile_ = d.hostCodePageFile;
  SetHostSystem(std::clamp(d.hostSystem, 0, 2));
}

std::string CFileTransferModel::Caption() const { return Format(texts::kDialogTitle, texts::kProduct); }

void CFileTransferModel::SetHostSystem(int system) {
  hostSystem_ = std::clamp(system, 0, 2);
  if ((hostSystem_ == kVmCms && recordFormat == 3) || hostSystem_ == kCics) recordFormat = 0;
}

void CFileTransferModel::TakeDroppedFile(const std::string& path) {
  pcFile = path;
  hostFile = HostNameOfDroppedFile(path);
}

std::string CFileTransferModel::CodePagePath() const {
  if (codePageFile_.empty() || codePageFile_.front() == '/' || codePageFolder_.empty()) return codePageFile_;
  return codePageFolder_ + (codePageFolder_.back() == '/' ? "" : "/") + codePageFile_;
}

std::string CFileTransferModel::CodePageName() const {
  if (codePageFile_.empty()) return codepage_text::kDefaultName;
  CCorvinaCodePage page;
  std::string error;
  // One that does not load shows its file name; "==>" and "<==" tell why.
  return page.Load(CodePagePath(), error) && !page.Name().empty() ? page.Name() : codePageFile_;
}

FileTransferDefaults CFileTransferModel::Fields() const {
  FileTransferDefaults d = profile_.fileTransfer;
  d.hostFile = hostFile;
  d.pcFile = pcFile;
  d.program = program;
  d.options = options;
  d.hostCodePageFile = codePageFile_;
  d.hostSystem = hostSystem_;
  d.recordFormat = recordFormat;
  d.pcDisposition = pcFileOption;
  std::uint8_t flags = 0;
  if (ascii) flags |= kTransferAscii;
  if (crlf) flags |= kTransferCrLf;
  if (noTruncate) flags |= kTransferNoTruncate;
  if (append) flags |= kTransferAppend;
  if (screenImage) flags |= kTransferScreenImage;
  d.flags = static_cast<std::uint8_t>((d.flags & ~kDialogFlags) | flags);
  // A box the host system disables, or the buffer of screen-image mode,
  // keeps what was stored.
  if (LreclEnabled())
    if (auto n = Number(lrecl, 0, filetransfer::kMaxRecordValue)) d.logicalRecordLength = *n;
  if (BlksizeEnabled())
    if (auto n = Number(blksize, 0, filetransfer::kMaxRecordValue)) d.blockSize = *n;
  if (!screenImage)
    if (auto n = Number(bufferSize, kMinDialogBuffer, filetransfer::kMaxBufferSize)) d.bufferSize = *n;
  return d;
}

std::optional<Refusal> CFileTransferModel::Check() const {
  if (hostFile.empty()) return Refusal{texts::kNeedHostFile, "hostFile"};
  if (pcFile.empty()) return Refusal{texts::kNeedPcFile, "pcFile"};
  if (program.empty()) return Refusal{texts::kNeedProgram, "program"};
  auto range = [](const std::string& text, int lowest, int highest, const char* label,
                  const char* field) -> std::optional<Refusal> {
    if (Number(text, lowest, highest)) return std::nullopt;
    return Refusal{Format(texts::kNumberRange, lowest, highest, LabelWithoutColon(label).c_str()), field};
  };
  if (LreclEnabled())
    if (auto r = range(lrecl, 0, filetransfer::kMaxRecordValue, texts::kLrecl, "lrecl")) return r;
  if (BlksizeEnabled())
    if (auto r = range(blksize, 0, filetransfer::kMaxRecordValue, texts::kBlksize, "blksize")) return r;
  if (!screenImage)
    if (auto r = range(bufferSize, kMinDialogBuffer, filetransfer::kMaxBufferSize, texts::kWsfBuffer, "bufferSize"))
      return r;
  std::string why;
  if (!filetransfer::CodePageLoads(Request(Direction::kGet), &why))
    return Refusal{Format(texts::kCodePageFailed, codePageFile_.c_str()) + "\n\n" + why, "codePage"};
  return std::nullopt;
}

filetransfer::CTransferRequest CFileTransferModel::Request(Direction direction) const {
  filetransfer::CTransferRequest r = filetransfer::RequestFromProfile(Fields(), direction);
  r.codePageFile = CodePagePath();
  return r;
}

void CFileTransferModel::Commit() {
  const FileTransferDefaults d = Fields();
  if (d == profile_.fileTransfer) return;
  profile_.fileTransfer = d;
  profile_.modified = true;
  store_.SaveAll();
}

std::optional<Refusal> CFileTransferModel::Accept() {
  std::optional<Refusal> refusal = Check();
  if (refusal)
    ShowWarning(store_, refusal->message);
  else
    Commit();
  return refusal;
}

CFileTransferModel::Outcome CFileTransferModel::Transfer(Direction direction, CHostSession& session,
                                                         filetransfer::TransferObserver* observer) {
  Outcome outcome;
  outcome.refusal = Accept();
  if (outcome.refusal) return outcome;
  outcome.start = filetransfer::StartFileTransfer(session, Request(direction), observer);
  // The transfer tells its own refusals (the PC file, the keyboard); these
  // two it cannot.
  if (outcome.start == filetransfer::kStartBusy || outcome.start == filetransfer::kStartNotAvailable)
    ShowWarning(store_, filetransfer::StartFailureText(outcome.start));
  return outcome;
}

bool ConfirmCancelTransfer(CHostSession& session, bool fromProgress) {
  if (!filetransfer::FileTransferRunning(session)) return false;
  const std::string question = Format(fromProgress ? texts::kCancelFromProgress : texts::kCancelFromMenu,
                                      session.Number(), session.Profile().name.c_str());
  if (session.Ui().MessageBox(question, texts::kProduct, platform::Buttons::YesNo, platform::Answer::Yes,
                              platform::Icon::Question) != platform::Answer::Yes)
    return false;
  filetransfer::CancelFileTransfer(session);
  return true;
}

}  // namespace corvina::dialogs
