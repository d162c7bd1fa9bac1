// 3270 record processing: a full formatted screen written with Erase/Write,
// a stream of small Writes, and drawing the screen into a render model.
#include <benchmark/benchmark.h>

#include <sstream>

#include "codepage/CodePage.h"
#include "ibm3270/DataStream.h"
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

// A 3279 session without a connection, its engine started by hand.
struct Rig {
  platform::PollLoop loop;
  std::ostringstream sink;
  platform::HeadlessUserInterface ui{sink};
  platform::FakeClock clock;
  NullFrame frame;
  std::unique_ptr<CHostSession> session;
  C3270Engine engine;

  Rig() {
    auto profile = std::make_shared<CCorvinaSessionProfile>();
    profile->host = "bench";
    session = std::make_unique<CHostSession>(1, profile, SessionEnvironment{loop, ui, clock, frame, nullptr});
    session->SetMode(kKind3279);
    engine.Start(*session);
  }
  ~Rig() { engine.Stop(); }
};

class Writer {
 public:
  explicit Writer(std::initializer_list<std::uint8_t> start) : bytes_(start) {}
  Writer& Sba(int p) {
    auto a = ds3270::EncodeAddress(p);
    bytes_.insert(bytes_.end(), {ds3270::kSetBufferAddress, a[0], a[1]});
    return *this;
  }
  Writer& Raw(std::initializer_list<std::uint8_t> b) {
    bytes_.insert(bytes_.end(), b);
    return *this;
  }
  Writer& Text(std::string_view s) {
    static const CCorvinaCodePage cp;
    for (char c : s) bytes_.push_back(cp.ToEbcdic(static_cast<std::uint8_t>(c)));
    return *this;
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// A menu or data-entry screen as applications write it: a coloured title,
// twenty rows of a protected label and an input field each, a status line.
std::vector<std::uint8_t> FullScreen() {
  Writer w({0xF5, 0xC3});
  w.Sba(0).Raw({0x29, 0x02, 0xC0, 0xE8, 0x42, 0xF6}).Text("  CORVINA ORDER ENTRY SYSTEM - MAIN MENU").Raw({0x1D, 0x60});
  for (int row = 2; row < 22; ++row) {
    w.Sba(row * 80).Raw({0x1D, 0x60}).Text("Field number " + std::to_string(row) + " . . . . . :");
    w.Raw({0x29, 0x02, 0xC0, 0x40, 0x41, 0xF4}).Text("value of the field " + std::to_string(row)).Raw({0x1D, 0xF0});
  }
  w.Sba(22 * 80).Raw({0x28, 0x42, 0xF2}).Text("F1=Help  F3=Exit  F7=Back  F8=Forward  F12=Cancel").Raw({0x28, 0x00, 0x00});
  w.Sba(3 * 80 + 34).Raw({0x13});
  return w.Bytes();
}

void BM_FullScreenEraseWrite(benchmark::State& state) {
  Rig rig;
  const auto record = FullScreen();
  for (auto _ : state) rig.engine.ProcessRecord(record);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * record.size()));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_FullScreenEraseWrite);

// Updates as a busy application sends them: a few characters at an address.
void BM_SmallWrites(benchmark::State& state) {
  Rig rig;
  rig.engine.ProcessRecord(FullScreen());
  std::vector<std::vector<std::uint8_t>> writes;
  for (int i = 0; i < 64; ++i)
    writes.push_back(Writer({0xF1, 0xC2}).Sba((2 + i % 20) * 80 + 34).Text("UPDATED " + std::to_string(i)).Raw({0x13}).Bytes());
  std::size_t bytes = 0, i = 0;
  for (auto _ : state) {
    const auto& w = writes[i++ % writes.size()];
    rig.engine.ProcessRecord(w);
    bytes += w.size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_SmallWrites);

// Drawing after each small Write: the render model is brought up to date and
// only the changed cells go to a canvas that keeps its picture.
void BM_PaintAfterSmallWrite(benchmark::State& state) {
  Rig rig;
  rig.engine.ProcessRecord(FullScreen());
  TextCanvas canvas;
  rig.engine.Paint(canvas);
  const auto a = Writer({0xF1, 0xC2}).Sba(5 * 80 + 34).Text("FIRST ").Bytes();
  const auto b = Writer({0xF1, 0xC2}).Sba(5 * 80 + 34).Text("SECOND").Bytes();
  bool flip = false;
  for (auto _ : state) {
    rig.engine.ProcessRecord((flip = !flip) ? a : b);
    rig.engine.Paint(canvas);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_PaintAfterSmallWrite);

}  // namespace
