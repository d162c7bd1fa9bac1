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

// The emulator's side, set up once: the library opens its area only once a
// process.
struct Rig {
  std::string folder;
  platform::PollLoop loop;
  std::ostringstream sink;
  platform::HeadlessUserInterface ui{sink};
  platform::FakeClock clock;
  NullFrame frame;
  std::unique_ptr<CHostSession> session;
  std::unique_ptr<automation::CHllapiServer> server;
  std::string error;

  Rig() {
    char folderTemplate[] = "/tmp/bench-hllapi-XXXXXX";
    folder = std::string(::mkdtemp(folderTemplate)) + "/";
    ::setenv("CORVINA_RUNTIME_DIR", folder.c_str(), 1);
    auto profile = std::make_shared<CCorvinaSessionProfile>();
    profile->host = "bench";
    profile->tallisShortName = 'A';
    session = std::make_unique<CHostSession>(
        1, profile, SessionEnvironment{loop, ui, clock, frame, [](unsigned) {
                                         return std::unique_ptr<TerminalEngine>(new C3270Engine);
                                       }});
    session->StartEngineFor(kKind3279);
    // A full screen of text.
    std::vector<std::uint8_t> record = {0xF5, 0xC3};
    for (int i = 0; i < 1920; ++i) record.push_back(static_cast<std::uint8_t>(0xC1 + i % 9));
    session->Engine()->ProcessRecord(record);
    server = std::make_unique<automation::CHllapiServer>(loop, folder);
    if (!server->Start(&error) || server->ClaimLetter('A', &error) != automation::CHllapiServer::Claim::kClaimed)
      return;
    server->RegisterSession(*session);
    std::thread([this] { loop.Run(); }).detach();
    std::atexit([] { std::system(("rm -rf '" + Instance().folder + "'").c_str()); });
  }
  static Rig& Instance() {
    static Rig* rig = new Rig;  // serves until the process ends
    return *rig;
  }
};

void BM_HllapiCopyPsRoundTrip(benchmark::State& state) {
  if (!Rig::Instance().error.empty()) {
    state.SkipWithError(Rig::Instance().error.c_str());
    return;
  }
  char data[4096];
  std::uint16_t function = HA_CONNECT_PS, length = 1, rc = 0;
  data[0] = 'A';
  WinHLLAPI(&function, data, &length, &rc);
  if (rc != 0) state.SkipWithError(("Connect answered " + std::to_string(rc)).c_str());
  for (auto _ : state) {
    function = HA_COPY_PS;
    length = 0;
    rc = 0;
    WinHLLAPI(&function, data, &length, &rc);
    if (rc != 0) {
      state.SkipWithError(("Copy PS answered " + std::to_string(rc)).c_str());
      break;
    }
  }
  function = HA_DISCONNECT_PS;
  WinHLLAPI(&function, data, &length, &rc);
}
BENCHMARK(BM_HllapiCopyPsRoundTrip)->UseRealTime();

}  // namespace
