// Throughput of the session receive loop: host bytes through the socket,
// Telnet command assembly and into the engine.
#include <benchmark/benchmark.h>

#include <memory>
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

// Takes records and does nothing with them, to time the session alone.
class NullEngine final : public TerminalEngine {
 public:
  void Start(CHostSession& s) override { session_ = &s; }
  void Stop() override {}
  void ProcessRecord(std::span<const std::uint8_t>) override {}
  int ExtractText(int, int, std::string&, std::vector<std::uint8_t>*, unsigned) override { return 0; }
};

// One session connected to a loopback peer that sends `block` repeatedly.
struct Rig {
  platform::PollLoop loop;
  std::ostringstream sink;
  platform::HeadlessUserInterface ui{sink};
  NullFrame frame;
  CMSocket listener{loop};
  std::unique_ptr<CMSocket> peer;
  std::unique_ptr<CHostSession> session;

  Rig(unsigned kind, bool lineMode) {
    listener.SetOwner([this](CMSocket& s, int ev, int) {
      if (ev == kSockAccepted) peer = s.TakeAccepted();
    });
    listener.Listen("127.0.0.1", 0);
    auto profile = std::make_shared<CCorvinaSessionProfile>();
    profile->host = "127.0.0.1";
    profile->port = listener.LocalPort();
    profile->terminalType = static_cast<std::uint16_t>(kind);
    SessionEnvironment env{loop, ui, platform::SystemClock::Instance(), frame,
                           [lineMode](unsigned) -> std::unique_ptr<TerminalEngine> {
                             if (lineMode) return std::make_unique<CLineModeEngine>();
                             return std::make_unique<NullEngine>();
                           }};
    session = std::make_unique<CHostSession>(1, profile, env);
    session->Connect();
    loop.RunUntil([this] { return peer && session->State() == kSocketConnected; }, std::chrono::seconds(5));
  }
};

void BM_ReceiveLineModeText(benchmark::State& state) {
  Rig rig(kKindVt100, true);
  std::string block;
  while (block.size() < 64 * 1024) block += "READY; T=0.01/0.01 12:00:00 some host output line\r\n";
  for (auto _ : state) {
    rig.peer->Send(block.data(), block.size());
    rig.loop.RunUntil([&] { return rig.peer->PendingOutput() == 0 && rig.session->PendingInput() == 0; },
                      std::chrono::seconds(5));
    rig.loop.RunOnce(std::chrono::milliseconds(0));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(block.size()));
}
BENCHMARK(BM_ReceiveLineModeText);

void BM_ReceiveRecordBytesWithEscapes(benchmark::State& state) {
  Rig rig(kKindVt100, false);
  rig.session->SetMode(kKind3279);  // bytes go to the record buffer
  std::string block;
  std::size_t escapes = 0;
  for (int i = 0; block.size() < 64 * 1024; ++i) {
    block += "\x11\x40\x40\x1D\xF0 HOST FIELD DATA ";
    if (i % 8 == 0) {
      block += "\xFF\xFF";  // escaped 0xFF data
      ++escapes;
    }
  }
  const std::size_t decoded = block.size() - escapes;
  std::size_t seen = 0;
  for (auto _ : state) {
    rig.peer->Send(block.data(), block.size());
    rig.loop.RunUntil([&] { return rig.session->Record().size() >= seen + decoded; }, std::chrono::seconds(5));
    seen = rig.session->Record().size();
    if (seen > 8 * 1024 * 1024) {
      rig.session->DeliverRecord();
      seen = 0;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(block.size()));
}
BENCHMARK(BM_ReceiveRecordBytesWithEscapes);

}  // namespace

BENCHMARK_MAIN();
