// PDF pages drawn with Cairo and Pango: a 132-column SCS job, looked at as
// PNG pages in the build folder, whose text (pdftotext) is the text grid's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

}  // namespace
}  // namespace corvina::printing::test
