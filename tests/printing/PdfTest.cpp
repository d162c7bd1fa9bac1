// PDF pages drawn with Cairo and Pango: a 132-column SCS job, looked at as
// PNG pages in the build folder, whose text (pdftotext) is the text grid's.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/Text.h"
#include "printing/backends/Backends.h"
#include "tests/printing/PrintSupport.h"

namespace corvina::printing::test {
namespace {

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* f = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    ::pclose(f);
  }
  return out;
}

// The words of each non-empty line: pdftotext keeps the words and their
// order, not every blank.
std::vector<std::vector<std::string>> Words(const std::string& text) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (!w.empty()) lines.push_back(w);
  }
  return lines;
}

TEST(PdfPages, ScsJobOf132ColumnsMatchesTheTextGrid) {
  if (Shell("command -v pdftotext pdftoppm").empty()) GTEST_SKIP() << "poppler-utils are not installed";
  TempFolder dir;
  std::string data = "\x2B\xC1\x02\x84";  // SHF: 132 print positions
  std::string ruler;
  for (int i = 0; i < 13; ++i) ruler += "1234567890";
  data += Ebcdic("CORVINA 132-COLUMN SCS JOB") + "\x15" + Ebcdic(ruler + "12") + "\x15";
  for (int i = 1; i <= 70; ++i)
    data += Ebcdic("Line " + std::to_string(i) + " caf\xE9") + "\x34\xC0\x64" + Ebcdic("column 100") + "\x15";
  PrintJob job;
  job.files = {PrintFile{dir.Write("scs", data)}};
  job.options = kPrintScs | kPrintFitColumns;
  job.columns = 132;
  job.linesPerPage = 60;
  job.margins[0] = job.margins[1] = job.margins[2] = job.margins[3] = 500;  // half an inch
  job.textColour = 0x000000;
  const Printed grid = PrintOnGrid(job, 132, 60, true);
  ASSERT_EQ(grid.state, kJobComplete);
  ASSERT_EQ(grid.pages.size(), 2u);

  const std::string pdf = CORVINA_BINARY_DIR "/tests/printing/scs132.pdf";
  auto sink = backends::CreatePdfFileSink(pdf);
  CCorvinaCodePage cp;
  CJobRenderer renderer(job, *sink, &cp, 1'700'000'000);
  ASSERT_EQ(renderer.Run(), kJobComplete) << renderer.ErrorText();
  Shell("pdftoppm -png -r 80 '" + pdf + "' " CORVINA_BINARY_DIR "/tests/printing/scs132");
  const std::string text = Shell("pdftotext -layout '" + pdf + "' -");
  std::string expected;
  for (const auto& page : grid.pages)
    for (const std::string& line : page) expected += line + "\n";
  EXPECT_EQ(Words(text), Words(platform::Latin1ToUtf8(expected)));
  EXPECT_NE(text.find("1234567890123456789012345678901234567890"), std::string::npos);
  const auto info = Words(Shell("pdfinfo '" + pdf + "'"));
  EXPECT_NE(std::find(info.begin(), info.end(), std::vector<std::string>{"Pages:", "2"}), info.end());
}

// A page rendered by pdftoppm as RGB pixels.
struct Pixels {
  int width = 0, height = 0;
  std::string rgb;
  // The box of the pixels that pass `match`: left, top, right, bottom (-1 when none).
  template <typename Match>
  std::array<int, 4> Box(Match match) const {
    std::array<int, 4> box{-1, -1, -1, -1};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const auto* p = reinterpret_cast<const unsigned char*>(rgb.data()) + 3 * (std::size_t(y) * width + x);
        if (!match(p[0], p[1], p[2])) continue;
        if (box[0] < 0 || x < box[0]) box[0] = x;
        if (box[1] < 0) box[1] = y;
        box[2] = std::max(box[2], x);
        box[3] = y;
      }
    return box;
  }
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Pixels ReadPpm(const std::string& bytes) {
  Pixels p;
  std::istringstream in(bytes);
  std::string magic;
  int max = 0;
  in >> magic >> p.width >> p.height >> max;
  in.get();
  if (magic != "P6" || max != 255) return {};
  p.rgb.assign(std::istreambuf_iterator<char>(in), {});
  if (p.rgb.size() != std::size_t(p.width) * p.height * 3) return {};
  return p;
}

TEST(PdfPages, APrintedScreenHasItsColoursAndSitsInTheMiddleOfTheSheet) {
  if (Shell("command -v pdftotext pdftoppm").empty()) GTEST_SKIP() << "poppler-utils are not installed";
  auto page = std::make_shared<ScreenPage>();
  page->columns = 80;
  page->lines = 29;
  page->centre = true;
  auto run = [&](int line, int column, const std::string& latin1, std::uint32_t colour, std::uint32_t background,
                 bool bold = false, bool underline = false, std::string utf8 = {}) {
    page->runs.push_back(ScreenRun{line, column, latin1, utf8.empty() ? latin1 : utf8, colour, background, bold,
                                   underline});
  };
  const std::string wide = "  RED BAR ACROSS THE SCREEN" + std::string(53, ' ');
  run(0, 0, wide, 0xFFFFFF, 0x0000FF);  // white on red (0x00BBGGRR)
  run(2, 2, "CORVINA DEMO", 0x00A000, 0xFFFFFF, true);
  run(4, 2, "WHITE ON BLUE", 0xFFFFFF, 0xFF0000);
  run(4, 20, "UNDERLINED", 0x000000, 0xFFFFFF, false, true);
  run(6, 2, "+--+", 0x000000, 0xFFFFFF, false, false, "\u250C\u2500\u2500\u2510");
  run(28, 0, std::string(80, ' '), 0x000000, 0x00C000);  // a green bar on the last line
  PrintJob job;
  job.screen = page;
  job.columns = 80;
  job.linesPerPage = 29;
  job.options = kPrintFitColumns | kPrintFitLines | kPrintNoInitialFormFeed;
  job.margins[0] = 2000;  // two inches on the left: centring ignores the margins
  job.margins[1] = job.margins[2] = job.margins[3] = 500;

  // The text path: the same lines, no colours.
  const Printed grid = PrintOnGrid(job, 80, 29);
  ASSERT_EQ(grid.state, kJobComplete);
  ASSERT_EQ(grid.pages.size(), 1u);
  EXPECT_EQ(grid.pages[0][0], "  RED BAR ACROSS THE SCREEN");
  EXPECT_EQ(grid.pages[0][4], "  WHITE ON BLUE     UNDERLINED");
  EXPECT_EQ(grid.pages[0][6], "  +--+");

  const std::string base = CORVINA_BINARY_DIR "/tests/printing/screen-page";
  auto sink = backends::CreatePdfFileSink(base + ".pdf");
  CJobRenderer renderer(job, *sink, nullptr, 1'700'000'000);
  ASSERT_EQ(renderer.Run(), kJobComplete) << renderer.ErrorText();
  Shell("pdftoppm -png -r 60 '" + base + ".pdf' '" + base + "'");
  EXPECT_EQ(Words(Shell("pdftotext -layout '" + base + ".pdf' -")),
            Words("RED BAR ACROSS THE SCREEN\nCORVINA DEMO\nWHITE ON BLUE UNDERLINED\n\u250C\u2500\u2500\u2510\n"));
  Shell("pdftoppm -r 50 -singlefile '" + base + ".pdf' '" + base + "'");
  const Pixels pixels = ReadPpm(ReadAll(base + ".ppm"));
  ASSERT_GT(pixels.width, 0);
  const auto red = pixels.Box([](int r, int g, int b) { return r > 200 && g < 60 && b < 60; });
  const auto green = pixels.Box([](int r, int g, int b) { return g > 150 && r < 60 && b < 60; });
  const auto blue = pixels.Box([](int r, int g, int b) { return b > 200 && r < 60 && g < 60; });
  ASSERT_GE(red[0], 0);
  ASSERT_GE(green[0], 0);
  ASSERT_GE(blue[0], 0);
  // The bars span the screen's width: as much paper left as right, and as
  // much above the first line as below the last.
  EXPECT_NEAR(red[0], pixels.width - 1 - red[2], 3);
  EXPECT_NEAR(red[1], pixels.height - 1 - green[3], 3);
  EXPECT_GT(blue[1], red[3]);  // the blue run is below the red bar
}

}  // namespace
}  // namespace corvina::printing::test
