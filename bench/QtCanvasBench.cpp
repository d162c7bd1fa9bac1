// Painting a whole screen onto an offscreen image with the desktop's canvas:
// 24 x 80 and 62 x 160, text runs of changing colours, highlighting and a
// few glyphs, every cell drawn each time.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cstring>

#include "app/qt/QtCanvas.h"
#include "app/qt/ScreenFont.h"
#include "config/ColorScheme.h"
#include "config/TerminalTypes.h"
#include "session/RenderModel.h"

using namespace corvina;

namespace {

void Fill(RenderModel& model, int rows, int columns) {
  model.Resize(rows, columns);
  const char* words = "CORVINA DEMO Userid ===> Password Account form Function keys PF3=Exit ";
  const int length = static_cast<int>(std::strlen(words));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      RenderCell cell;
      cell.character = static_cast<std::uint8_t>(words[(r * columns + c) % length]);
      const int run = c / 8;
      cell.look.foreground = static_cast<std::uint8_t>(2 + (run + r) % 12);
      cell.look.background = 0;
      if (run % 5 == 3) cell.look.flags |= kCellUnderline;
      if (run % 7 == 4) cell.look.flags |= kCellReverse;
      if ((r + c) % 97 == 0) cell.glyph = static_cast<std::uint8_t>(11 + (c % 15));
      model.SetCell(r, c, cell);
    }
  model.SetOia("TA  X SYSTEM     1:bench                 ^ 01,01  00:00.002 12:00   12/09/26");
}

void BM_QtCanvasFullRepaint(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0)), columns = static_cast<int>(state.range(1));
  FontDescription description;
  const qt::ScreenFont font = qt::ScreenFont::Make(description, 16, 8);
  const CCorvinaColorScheme& scheme = CCorvinaColorScheme::BuiltIn(kKind3279);
  RenderModel model;
  Fill(model, rows, columns);
  qt::QtCanvas canvas;
  for (auto _ : state) {
    canvas.Setup(font, scheme, true, true);
    canvas.Invalidate();  // everything, as after a new font or a blink step
    PaintModel(model, canvas);
    benchmark::DoNotOptimize(canvas.Image().constBits());
  }
  state.SetItemsProcessed(state.iterations() * rows * columns);
}
BENCHMARK(BM_QtCanvasFullRepaint)->Args({24, 80})->Args({62, 160})->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
