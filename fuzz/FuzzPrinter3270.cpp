// Host records into the 3270 printer engine: SCS and 3270 print jobs, job
// ends and the receive time-out, with jobs written as text to a disk file.
// The first byte picks the protocol state, the print format options and the
// clock ticks between records; the rest is records separated by IAC EOR.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "ibm3270/Printer3270.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const unsigned kStates[] = {kCorvinaEOff, kCorvinaELuLu, kCorvinaENvt, kCorvinaESscpLu};
  static platform::PollLoop loop;
  static std::ostringstream sink;
  static platform::HeadlessUserInterface ui(sink);
  static platform::FakeClock clock;
  static NullFrame frame;
  static const std::string folder = [] {
    char name[] = "/tmp/corvina-fuzz-printer-XXXXXX";
    const char* made = ::mkdtemp(name);
    return std::string(made ? made : "/tmp");
  }();
  const std::uint8_t pick = data[0];
  auto profile = std::make_shared<CCorvinaSessionProfile>();
  profile->host = "fuzz";
  profile->terminalType = kKind3270Printer;
  profile->printOptions = kPrintToFile;
  if (pick & 0x08) profile->printOptions |= kPrintNullLinesAsBlank;
  profile->printerFile = folder + "/job.txt";
  profile->logFile.clear();
  profile->pageLayout.columnsPerPage = pick & 0x10 ? 0 : 80;
  profile->pageLayout.linesPerPage = pick & 0x20 ? 0 : 5;
  SessionEnvironment env{loop, ui, clock, frame, nullptr};
  CHostSession session(1, profile, env);
  session.SetMode(kKind3270Printer);
  session.Telnet().SetCorvinaEState(kStates[(pick >> 1) & 3]);
  C3270PrinterEngine engine;
  engine.Start(session);
  TextCanvas canvas;
  const int ticks = pick & 0x40 ? 31 : 1;
  std::span<const std::uint8_t> rest(data + 1, size - 1);
  for (int n = 0; !rest.empty(); ++n) {
    std::size_t end = 0;
    while (end < rest.size() && !(rest[end] == 0xFF && end + 1 < rest.size() && rest[end + 1] == 0xEF)) ++end;
    engine.ProcessRecord(rest.first(end));
    rest = rest.subspan(std::min(rest.size(), end + 2));
    for (int t = 0; t < ticks; ++t) engine.OnTick();
    if (n % 4 == 3) engine.Paint(canvas);
  }
  engine.Paint(canvas);
  engine.Stop();
  return 0;
}
