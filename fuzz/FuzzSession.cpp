// Host bytes into a session: Telnet commands, negotiation and record
// assembly. The first byte picks the terminal kind.
#include <cstdint>
#include <sstream>

#include "platform/Clock.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"
#include "session/HostSession.h"
#include "session/LineModeEngine.h"

using namespace corvina;

namespace {

struct NullFrame : SessionFrame {
  void CloseSession(CHostSession&) override {}
};

class NullEngine final : public TerminalEngine {
 public:
  void Start(CHostSession& s) override { session_ = &s; }
  void Stop() override {}
  void ProcessRecord(std::span<const std::uint8_t>) override {}
  int ExtractText(int, int, std::string&, std::vector<std::uint8_t>*, unsigned) override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const unsigned kKinds[] = {kKind3278, kKind3279, kKind3270Printer, kKind5250, kKindAnsi, kKindVt100,
                                    kKindVt220};
  static platform::PollLoop loop;
  static std::ostringstream sink;
  static platform::HeadlessUserInterface ui(sink);
  static platform::FakeClock clock;
  static NullFrame frame;
  auto profile = std::make_shared<CCorvinaSessionProfile>();
  profile->host = "fuzz";
  profile->terminalType = static_cast<std::uint16_t>(kKinds[data[0] % 7]);
  profile->luName = "LU1;LU2,LU3";
  SessionEnvironment env{loop, ui, clock, frame, [](unsigned mode) -> std::unique_ptr<TerminalEngine> {
                           if (IsVtFamily(mode)) return std::make_unique<CLineModeEngine>();
                           return std::make_unique<NullEngine>();
                         }};
  {
    CHostSession session(1, profile, env);
    session.ApplyProfile();
    session.ResetToNvt();
    session.ProcessReceived(std::span(data + 1, size - 1));
    session.DeliverRecord();
  }
  loop.RunOnce(std::chrono::milliseconds(0));  // engines handed to DeleteLater
  return 0;
}
