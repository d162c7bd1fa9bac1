// Host bytes into the VT engine of a session: parser, terminal state,
// screen ring, printing and drawing. The first byte picks the kind, the
// screen size and the scroll-back; the bytes that follow are fed in pieces
// whose sizes the input also picks, with a key now and then.
#include <cstdint>
#include <sstream>

#include "keyboard/KeyFunctions.h"
#include "platform/Clock.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"
#include "session/HostSession.h"
#include "session/TextCanvas.h"
#include "vt/VtEngine.h"

using namespace corvina;

namespace {

struct NullFrame : SessionFrame {
  void CloseSession(CHostSession&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const unsigned kKinds[] = {kKindAnsi, kKindVt100, kKindVt220, kKindVt220};
  static platform::PollLoop loop;
  static std::ostringstream sink;
  static platform::HeadlessUserInterface ui(sink);
  static platform::FakeClock clock;
  static NullFrame frame;
  auto profile = std::make_shared<CCorvinaSessionProfile>();
  profile->host = "fuzz";
  profile->terminalType = static_cast<std::uint16_t>(kKinds[data[0] & 3]);
  profile->rows = (data[0] & 4) ? 24 : 5;
  profile->columns = (data[0] & 8) ? 80 : 10;
  profile->scrollBackLines = (data[0] & 16) ? 48 : 0;
  profile->luName = "answer\r\xFF";
  profile->terminalOptions = (data[0] & 32) ? kTermLineWrap | kTermLocalEcho : 0;
  SessionEnvironment env{loop, ui, clock, frame, [](unsigned) { return std::make_unique<CVtEngine>(); }};
  env.dataFolder = "/tmp/corvina-fuzz-vt-";
  {
    CHostSession session(1, profile, env);
    session.ApplyProfile();
    session.ResetToNvt();
    auto* engine = static_cast<CVtEngine*>(session.Engine());
    static const int kKeys[] = {kf::vt::kEnter,      kf::vt::kCursorUp, kf::vt::kF6,         kf::vt::kUDK1,
                                kf::vt::kKeypad5,    kf::vt::kPF1,      kf::vt::kScrollPageUp, kf::vt::kScrollHome};
    std::size_t i = 2;
    const std::size_t step = 1 + data[1] % 64;
    while (i < size) {
      const std::size_t n = std::min(step, size - i);
      engine->ProcessRecord(std::span(data + i, n));
      i += n;
      if (data[i - 1] == 0x7F) engine->KeyFunction(kKeys[data[i - n] & 7]);
    }
    engine->TypeCharacter('\r');
    TextCanvas canvas;
    engine->Paint(canvas);
    engine->CopyRectangle(CellRect{0, 0, 200, 200});
  }
  loop.RunOnce(std::chrono::milliseconds(0));
  return 0;
}
