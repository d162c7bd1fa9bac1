// The 3270 display engine with its file transfer: the engine's transfer
// hooks handed to the session's one CFileTransfer.
#pragma once

#include "filetransfer/FileTransfer.h"
#include "ibm3270/Engine3270.h"

namespace corvina::filetransfer {

class C3270TransferEngine final : public C3270Engine {
 public:
  C3270TransferEngine() : transfer_(*this) {}
  void Stop() override;
  CFileTransfer& Transfer() { return transfer_; }
  CHostSession& Session() { return *session_; }

 protected:
  bool FileTransferActive() const override { return transfer_.Running(); }
  bool FileTransferWantsDdm() const override { return transfer_.WantsDdm(); }
  int FileTransferBufferSize() const override {
    return transfer_.Running() ? transfer_.BufferSize() : C3270Engine::FileTransferBufferSize();
  }
  void FileTransferField(std::span<const std::uint8_t> field) override { transfer_.HostField(field); }
  bool FileTransferWrite() override { return transfer_.HostWrite(); }

 private:
  friend class CFileTransfer;
  CFileTransfer transfer_;
};

}  // namespace corvina::filetransfer
