// One Copy PS round trip of an HLLAPI client: from the library call to the
// answer copied out, through the shared area and the request socket, with
// the server answering on its own loop thread from a 24 x 80 3270 screen.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "automation/HllapiServer.h"
#include "ibm3270/Engine3270.h"
#include "platform/Clock.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"
#include "session/HostSession.h"
#include "tallis.h"

using namespace corvina;

namespace {

struct NullFrame : SessionFrame {
  void CloseSession(CHostSession&) override {}
};

void BM_HllapiCopyPsRoundTrip(benchmark::State& state) {
  char folderTemplate[] = "/tmp/bench-hllapi-XXXXXX";
  const std::string folder = std::string(::mkdtemp(folderTemplate)) + "/";
  ::setenv("CORVINA_RUNTIME_DIR", folder.c_str(), 1);
  platform::PollLoop loop;
  std::ostringstream sink;
  platform::HeadlessUserInterface ui(sink);
  platform::FakeClock clock;
  NullFrame frame;
  auto profile = std::make_shared<CCorvinaSessionProfile>();
  profile->host = "bench";
  profile->tallisShortName = 'A';
  CHostSession session(1, profile, SessionEnvironment{loop, ui, clock, frame, [](unsigned) {
                                                        return std::unique_ptr<TerminalEngine>(new C3270Engine);
                                                      }});
  session.StartEngineFor(kKind3279);
  // A full screen of text.
  std::vector<std::uint8_t> record = {0xF5, 0xC3};
  for (int i = 0; i < 1920; ++i) record.push_back(static_cast<std::uint8_t>(0xC1 + i % 9));
  session.Engine()->ProcessRecord(record);
  automation::CHllapiServer server(loop, folder);
  std::string cause;
  if (!server.Start(&cause) || server.ClaimLetter('A', &cause) != automation::CHllapiServer::Claim::kClaimed) {
    state.SkipWithError(cause.c_str());
    return;
  }
  server.RegisterSession(session);
  std::thread serving([&] { loop.Run(); });

  char data[4096];
  std::uint16_t function = HA_CONNECT_PS, length = 1, rc = 0;
  data[0] = 'A';
  WinHLLAPI(&function, data, &length, &rc);
  for (auto _ : state) {
    function = HA_COPY_PS;
    length = 0;
    rc = 0;
    WinHLLAPI(&function, data, &length, &rc);
    if (rc != 0) state.SkipWithError("Copy PS failed");
  }
  function = HA_RESET_SYSTEM;
  WinHLLAPI(&function, data, &length, &rc);
  loop.Post([&] { loop.Quit(); });
  serving.join();
  server.UnregisterSession(session);
  std::system(("rm -rf '" + folder + "'").c_str());
}
BENCHMARK(BM_HllapiCopyPsRoundTrip)->UseRealTime();

}  // namespace
