// What scripts need of the application that runs them, and the file
// transfer request a script's filetransfer command hands to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace corvina {
class CHostSession;
class CCorvinaPersistentData;
class CCorvinaSessionProfile;
namespace platform {
class EventLoop;
class UserInterface;
}  // namespace platform
}  // namespace corvina

namespace corvina::script {

// A checked filetransfer command. Flags are the profile's transfer flag
// bits (ASCII, CR/LF, no truncation, screen image, append).
struct ScriptTransferRequest {
  bool send = false;        // PC to host; false: host to PC
  int opsys = 0;            // 0 VM/CMS, 1 MVS/TSO, 2 CICS
  std::string hostFile, pcFile;
  int lrecl = 0;            // 0: not given
  int recfm = 0;            // 0 default, 1 fixed, 2 variable, 3 undefined
  int blksize = 0;          // 0: not given (MVS/TSO sends only)
  int pcOptions = 0;        // receive: 0 replace, 1 append, 2 prompt
  std::uint8_t flags = 0;
  std::string hostOptions;  // further words for the host, blank-separated
  int bufferSize = 0;       // the profile's buffer size unless given
  std::string codePageFile; // the session's unless Language named one
  std::string program;      // the profile's transfer program unless given
};

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;
  virtual platform::EventLoop& Loop() = 0;
  virtual platform::UserInterface& Ui() = 0;
  virtual CCorvinaPersistentData& Store() = 0;
  virtual int MaxSessions() = 0;
  // The live session of a slot, or null.
  virtual CHostSession* SessionInSlot(int number) = 0;
  // Starts the profile's session in the slot (0: any free one). Null when it
  // did not start; the user has been told.
  virtual CHostSession* StartSession(std::shared_ptr<CCorvinaSessionProfile> profile, int slot) = 0;
  virtual void Activate(CHostSession& session) = 0;
  // A system command performed as the frame's menu command of that
  // identifier; the session is null for a script without one.
  virtual void SystemCommand(CHostSession* session, int id) = 0;
  // HostExit: the program closes on a later turn of the loop.
  virtual void PostHostExit() = 0;
  // Starts the transfer on the session; false with the reason when none
  // can start.
  virtual bool StartFileTransfer(CHostSession& session, const ScriptTransferRequest& request,
                                 std::string* error) = 0;
  // Whether the transfer started on the session still runs; once it has
  // ended, *failure says why it failed (empty when it succeeded).
  virtual bool FileTransferActive(CHostSession& session, std::string* failure) = 0;
  // Whether a code-page file of that name can be loaded for a transfer.
  virtual bool CodePageLoads(const std::string& file) = 0;
};

}  // namespace corvina::script
