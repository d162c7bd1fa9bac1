// Host records into the 3270 engine, in every state of the extended
// protocol. The first byte picks the terminal kind, the protocol state and
// the profile's screen size; the rest is records separated by IAC EOR.
// Every few records the screen is also drawn, read back and read by the host.
#include <cstdint>
#include <sstream>

#include "ibm3270/Engine3270.h"
#include "platform/Clock.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"
#include "session/HostSession.h"
#include "session/TextCanvas.h"

using namespace corvina;

namespace {

struct NullFrame : SessionFrame {
  void CloseSession(CHostSession&) override {}
};

struct Size {
  std::uint16_t rows, columns;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const unsigned kStates[] = {kCorvinaEOff, kCorvinaELuLu, kCorvinaENvt, kCorvinaESscpLu};
  static const Size kSizes[] = {{24, 80}, {32, 80}, {43, 80}, {27, 132}, {62, 160}, {1, 1}, {255, 255}, {0, 0}};
  static platform::PollLoop loop;
  static std::ostringstream sink;
  static platform::HeadlessUserInterface ui(sink);
  static platform::FakeClock clock;
  static NullFrame frame;
  const std::uint8_t pick = data[0];
  auto profile = std::make_shared<CCorvinaSessionProfile>();
  profile->host = "fuzz";
  profile->terminalType = static_cast<std::uint16_t>(pick & 1 ? kKind3279 : kKind3278);
  profile->rows = kSizes[(pick >> 3) & 7].rows;
  profile->columns = kSizes[(pick >> 3) & 7].columns;
  profile->terminalOptions = pick & 0x40 ? kTermNullSpace | kTermIdentifyInputFields : 0;
  profile->displayOptions = pick & 0x80 ? kDisplayAttributeChars | kDisplayBlinkAsReverse : 0;
  SessionEnvironment env{loop, ui, clock, frame, nullptr};
  CHostSession session(1, profile, env);
  session.SetMode(profile->terminalType);
  session.Telnet().SetCorvinaEState(kStates[(pick >> 1) & 3]);
  C3270Engine engine;
  engine.Start(session);
  TextCanvas canvas;
  std::span<const std::uint8_t> rest(data + 1, size - 1);
  for (int n = 0; !rest.empty(); ++n) {
    std::size_t end = 0;
    while (end < rest.size() && !(rest[end] == 0xFF && end + 1 < rest.size() && rest[end + 1] == 0xEF)) ++end;
    engine.ProcessRecord(rest.first(end));
    rest = rest.subspan(std::min(rest.size(), end + 2));
    if (n % 4 == 3) {
      engine.Paint(canvas);
      std::string text;
      engine.ExtractText(n % 2000, 5000, text, nullptr, n % 3 ? kExtractFieldMode : kExtractExtendedAttributes);
      engine.ReadModified(0x7D);
      session.FlushOutput();
    }
  }
  engine.Paint(canvas);
  engine.Stop();
  return 0;
}
