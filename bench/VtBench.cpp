// A large mixed VT stream (text, renditions, cursor movement, erasing,
// scrolling regions) through our VT terminal and, in the same binary,
// through libvterm with its screen layer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>

#include "vt/VtTerminal.h"

#ifdef CORVINA_BENCH_LIBVTERM
#include <vterm.h>
#endif

using namespace corvina;

namespace {

constexpr int kRows = 24, kColumns = 80;
constexpr std::size_t kPiece = 4096;

const std::string& MixedStream() {
  static const std::string stream = [] {
    std::mt19937 rng(2024);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::string s;
    while (s.size() < 4 * 1024 * 1024) {
      switch (pick(10)) {
        case 0: case 1: case 2: case 3: {  // a line of text
          const int n = 20 + pick(60);
          for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(' ' + pick(95)));
          s += "\r\n";
          break;
        }
        case 4:
          s += "\x1B[" + std::to_string(pick(2)) + ";" + std::to_string(31 + pick(7)) + "m";
          break;
        case 5:
          s += "\x1B[" + std::to_string(1 + pick(kRows)) + ";" + std::to_string(1 + pick(kColumns)) + "H";
          break;
        case 6:
          s += "\x1B[K";
          break;
        case 7:
          s += "\x1B[5;20r\x1B[20;1H\n\n\n\x1B[r";
          break;
        case 8:
          s += "\x1B[0m\x1B[2A\x1B[10C";
          break;
        default:
          s += "\x1B[7m status \x1B[27m\t\t";
          break;
      }
    }
    return s;
  }();
  return stream;
}

struct NullHost final : vt::VtTerminalHost {
  void Reply(std::string_view) override {}
};

void BM_VtTerminal(benchmark::State& state) {
  const std::string& stream = MixedStream();
  NullHost host;
  vt::CVtTerminal terminal(host);
  vt::VtConfig config;
  config.rows = kRows;
  config.columns = kColumns;
  config.history = 500;
  terminal.Start(config);
  for (auto _ : state) {
    for (std::size_t at = 0; at < stream.size(); at += kPiece)
      terminal.Feed(std::string_view(stream).substr(at, kPiece));
    benchmark::DoNotOptimize(terminal.CursorRow());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_VtTerminal)->Unit(benchmark::kMillisecond);

#ifdef CORVINA_BENCH_LIBVTERM
void BM_Libvterm(benchmark::State& state) {
  const std::string& stream = MixedStream();
  VTerm* vt = vterm_new(kRows, kColumns);
  vterm_set_utf8(vt, 0);
  vterm_output_set_callback(vt, [](const char*, size_t, void*) {}, nullptr);
  VTermScreen* screen = vterm_obtain_screen(vt);
  vterm_screen_reset(screen, 1);
  for (auto _ : state) {
    // In receive-sized pieces, as a session hands them over.
    for (std::size_t at = 0; at < stream.size(); at += kPiece)
      vterm_input_write(vt, stream.data() + at, std::min(kPiece, stream.size() - at));
    vterm_screen_flush_damage(screen);
  }
  vterm_free(vt);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_Libvterm)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
