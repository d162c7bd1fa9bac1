// HLLAPI requests into the server: random function, letter, length,
// position, option flags and data against a 3270 session (formatted or
// not), a 5250 session or a VT session. The first byte picks the session
// and its screen; then each request is: function, letter, length (2 bytes),
// position (2), flags (4), a data count and that many data bytes, written
// into the shared area as a client would before its message.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "automation/HllapiServer.h"
#include "ibm3270/Engine3270.h"
#include "ibm5250/Engine5250.h"
#include "platform/Clock.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"
#include "session/HostSession.h"
#include "vt/VtEngine.h"

using namespace corvina;

namespace {

struct NullFrame : SessionFrame {
  void CloseSession(CHostSession&) override {}
};

std::unique_ptr<TerminalEngine> MakeEngine(unsigned mode) {
  if (mode == kKind3278 || mode == kKind3279) return std::make_unique<C3270Engine>();
  if (mode == kKind5250) return std::make_unique<C5250Engine>();
  if (mode == kKindVt220) return std::make_unique<CVtEngine>();
  return nullptr;
}

// A protected label, an unprotected field, a hidden field and an attribute
// in the last position; the alternative is an unformatted screen.
const std::uint8_t kFormatted[] = {0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xD5, 0x81, 0x94, 0x85,
                                   0x11, 0x40, 0x4A, 0x1D, 0x40, 0xD1, 0xD6, 0xC8, 0xD5, 0x11, 0x40,
                                   0x54, 0x1D, 0x4C, 0xE2, 0xC5, 0xC3, 0x11, 0x5D, 0x7F, 0x1D, 0x60};
const std::uint8_t kUnformatted[] = {0xF5, 0xC3, 0xC8, 0xC5, 0xD3, 0xD3, 0xD6};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static platform::PollLoop loop;
  static std::ostringstream sink;
  static platform::HeadlessUserInterface ui(sink);
  static platform::FakeClock clock;
  static NullFrame frame;
  static char folderTemplate[] = "/tmp/fuzz-hllapi-XXXXXX";
  static const std::string folder = [] {
    std::string made = std::string(::mkdtemp(folderTemplate)) + "/";
    std::atexit([] { std::system((std::string("rm -rf ") + folderTemplate).c_str()); });
    return made;
  }();
  static automation::CHllapiServer server(loop, folder, 1);
  sink.str("");

  static const unsigned kKinds[] = {kKind3279, kKind3278, kKind5250, kKindVt220};
  const std::uint8_t pick = data[0];
  auto profile = std::make_shared<CCorvinaSessionProfile>();
  profile->host = "fuzz";
  profile->terminalType = static_cast<std::uint16_t>(kKinds[pick & 3]);
  profile->tallisShortName = 'A';
  profile->tallisLongName = "FUZZ";
  CHostSession session(1, profile, SessionEnvironment{loop, ui, clock, frame, MakeEngine});
  session.StartEngineFor(profile->terminalType);
  if (auto* e = dynamic_cast<C3270Engine*>(session.Engine())) {
    if (pick & 4)
      e->ProcessRecord(kFormatted);
    else
      e->ProcessRecord(kUnformatted);
  }
  std::string cause;
  if (server.ClaimLetter('A', &cause) != automation::CHllapiServer::Claim::kClaimed) std::abort();
  server.RegisterSession(session);

  std::uint8_t* area = server.Area().Bytes();
  std::size_t at = 1;
  while (size - at >= 11) {
    const std::uint8_t function = data[at], letter = data[at + 1];
    std::memcpy(area + hllapi::kRequestLength, data + at + 2, 8);  // length, position, flags
    std::size_t n = std::min<std::size_t>(data[at + 10], size - at - 11);
    std::memcpy(area + hllapi::kDataArea, data + at + 11, n);
    at += 11 + n;
    // Letter bit 7 set: the session's own letter, so most requests reach it.
    server.Handle(1, letter & 0x80 ? 'A' : static_cast<char>(letter), function);
    // Keys the requests may have left intercepted, so that Get Key finds some.
    session.OnCharacter('k');
    session.OnKeyFunction(letter);
  }
  server.UnregisterSession(session);
  return 0;
}
