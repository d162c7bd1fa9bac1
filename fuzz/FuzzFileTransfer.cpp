// Host records into a 3270 session with a running IND$FILE transfer. The
// first byte picks the direction, the transport, ASCII and CRLF, the host
// system and the buffer size; the rest is records separated by IAC EOR,
// screen-image frames and 0xD0 structured fields alike. Now and then the
// user cancels; at the end the host goes away.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "filetransfer/FileTransfer.h"
#include "filetransfer/TransferEngine3270.h"
#include "filetransfer/Wsf.h"
#include "platform/Clock.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"
#include "session/HostSession.h"

using namespace corvina;

namespace {

struct NullFrame : SessionFrame {
  void CloseSession(CHostSession&) override {}
};

// Kept until the very end, for the clean-up at exit.
const std::string& Folder() {
  static const std::string& folder = *new std::string([] {
    // In memory where there is such a folder: a received file is synced
    // before it takes its name, which costs a disk's latency.
    char shm[] = "/dev/shm/corvina-fuzz-ft-XXXXXX";
    char tmp[] = "/tmp/corvina-fuzz-ft-XXXXXX";
    const char* made = ::mkdtemp(shm);
    if (!made) made = ::mkdtemp(tmp);
    std::string f = made ? made : "/tmp";
    if (made) std::atexit([] { std::filesystem::remove_all(Folder()); });
    // A PC file to send: every byte value, LFs and CR LFs among them.
    std::ofstream out(f + "/send.bin", std::ios::binary);
    for (int i = 0; i < 3000; ++i) out.put(static_cast<char>(i % 7 == 0 ? '\n' : i % 251));
    return f;
  }());
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static platform::PollLoop loop;
  static std::ostringstream sink;
  static platform::HeadlessUserInterface ui(sink);
  static platform::FakeClock clock;
  static NullFrame frame;
  sink.str({});
  const std::uint8_t pick = data[0];
  auto profile = std::make_shared<CCorvinaSessionProfile>();
  profile->host = "fuzz";
  profile->terminalType = kKind3279;
  SessionEnvironment env{loop, ui, clock, frame, nullptr};
  CHostSession session(1, profile, env);
  session.SetMode(kKind3279);
  auto engine = std::make_unique<filetransfer::C3270TransferEngine>();
  engine->Start(session);

  filetransfer::CTransferRequest request;
  const bool get = pick & 1;
  request.direction = get ? filetransfer::Direction::kGet : filetransfer::Direction::kPut;
  request.pcFile = Folder() + (get ? "/got.bin" : "/send.bin");
  request.hostFile = "FUZZ DATA A";
  request.flags = static_cast<std::uint8_t>((pick & 2 ? filetransfer::kOptionScreenImage : 0) |
                                            (pick & 4 ? filetransfer::kOptionAscii : 0) |
                                            (pick & 8 ? filetransfer::kOptionCrLf : 0));
  request.hostSystem = static_cast<filetransfer::HostSystem>((pick >> 4) % 3);
  request.bufferSize = pick & 0x40 ? 512 : 8192;
  request.pcFileOption = pick & 0x80 ? filetransfer::PcFileOption::kAppend : filetransfer::PcFileOption::kReplace;
  // The session is not connected: the transfer runs on what the records say.
  const int started = engine->Transfer().Start(request, nullptr, nullptr);
  (void)started;
  std::span<const std::uint8_t> rest(data + 1, size - 1);
  for (int n = 0; !rest.empty(); ++n) {
    std::size_t end = 0;
    while (end < rest.size() && !(rest[end] == 0xFF && end + 1 < rest.size() && rest[end + 1] == 0xEF)) ++end;
    const std::span<const std::uint8_t> record = rest.first(end);
    filetransfer::wsf::Parse(record);
    engine->ProcessRecord(record);
    session.FlushOutput();
    rest = rest.subspan(std::min(rest.size(), end + 2));
    if (n % 16 == 15) engine->Transfer().Cancel();
  }
  engine->Stop();
  return 0;
}
