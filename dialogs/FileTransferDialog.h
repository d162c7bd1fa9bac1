// The File Transfer dialog without its window: the fields of the session
// profile's transfer settings, their rules, the checks of "==>" and "<==",
// and the one start every desktop transfer takes; and what a file dropped
// on a session window may start.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "codepage/CodePage.h"
#include "config/PersistentData.h"
#include "dialogs/SetupPages.h"
#include "filetransfer/FileTransfer.h"

namespace corvina::dialogs {

// The dialog asks more of the WSF buffer than a script may.
inline constexpr int kMinDialogBuffer = 1024;

// A dropped path that may become the PC file: an existing regular file
// (not a folder, device or pipe, which would hang the transfer).
bool DroppableFile(const std::string& path);
// The host file name a dropped file suggests: its base name with every "."
// as a blank ("report.txt" becomes "report txt").
std::string HostNameOfDroppedFile(const std::string& path);

class CFileTransferModel {
 public:
  // Fields of the two radio groups.
  enum HostSystemChoice { kVmCms = 0, kMvsTso = 1, kCics = 2 };

  // `codePageFolder` is where the Host Code Page's chooser looks and where
  // a relative code page file name is found.
  CFileTransferModel(CCorvinaPersistentData& store, CCorvinaSessionProfile& profile, std::string codePageFolder);

  std::string Caption() const;

  // The texts and choices the controls show.
  std::string hostFile, pcFile, program, options;
  std::string lrecl, blksize, bufferSize;
  bool ascii = true, crlf = true, noTruncate = false, append = false;
  bool screenImage = false;
  int recordFormat = 0;  // 0 Default, 1 Fixed, 2 Variable, 3 Undefined
  int pcFileOption = 0;  // 0 Replace, 1 Append, 2 Prompt before replace

  int HostSystem() const { return hostSystem_; }
  // The rules that follow the host system: VM/CMS has no Undefined and no
  // BLKSIZE; CICS takes neither record format, LRECL nor BLKSIZE.
  void SetHostSystem(int system);
  bool UndefinedEnabled() const { return hostSystem_ == kMvsTso; }
  bool RecordFormatEnabled() const { return hostSystem_ != kCics; }
  bool LreclEnabled() const { return hostSystem_ != kCics; }
  bool BlksizeEnabled() const { return hostSystem_ == kMvsTso; }

  // A file dropped on the session window.
  void TakeDroppedFile(const std::string& path);

  // The read-only Host Code Page box: the code page's own name.
  const std::string& CodePageFile() const { return codePageFile_; }
  std::string CodePageName() const;
  void ChooseCodePage(const std::string& fileName) { codePageFile_ = fileName; }

  // The checks of "==>" and "<==" in order, a refusal shown and returned
  // for its control to take the focus; once they pass, the fields go back
  // into the profile, saved when one changed.
  std::optional<Refusal> Accept();
  // "==>" (PUT) or "<==" (GET): Accept, then the transfer starts.
  struct Outcome {
    std::optional<Refusal> refusal;
    int start = filetransfer::kStartDeclined;  // a kStart* result once the checks passed
  };
  Outcome Transfer(filetransfer::Direction direction, CHostSession& session, filetransfer::TransferObserver* observer);

  // The request the fields make (after a passed check).
  filetransfer::CTransferRequest Request(filetransfer::Direction direction) const;

 private:
  std::optional<Refusal> Check() const;
  void Commit();
  std::string CodePagePath() const;
  FileTransferDefaults Fields() const;

  CCorvinaPersistentData& store_;
  CCorvinaSessionProfile& profile_;
  std::string codePageFolder_;
  int hostSystem_ = kVmCms;
  std::string codePageFile_;
};

// The question of the progress window's Cancel (`fromProgress`) or of the
// menu's "C&ancel File Transfer"; on Yes the transfer is cancelled. False
// when the user said No or nothing runs.
bool ConfirmCancelTransfer(CHostSession& session, bool fromProgress);

}  // namespace corvina::dialogs
