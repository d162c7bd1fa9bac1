// SCS jobs on the text grid: every control, the format controls' bounds and
// hostile values.
#include <gtest/gtest.h>

#include "tests/printing/PrintSupport.h"

namespace corvina::printing::test {
namespace {

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}
const std::string NL = B({0x15}), CR = B({0x0D}), LF = B({0x25}), FF = B({0x0C}), HT = B({0x05});

class ScsTest : public ::testing::Test {
 protected:
  Printed Print(const std::string& data, int columns = 40, int lines = 12) {
    job_.options |= kPrintScs;
    job_.files = {PrintFile{dir_.Write("job" + std::to_string(n_++), data)}};
    return PrintOnGrid(job_, columns, lines, true);
  }
  TempFolder dir_;
  PrintJob job_;
  int n_ = 0;
};

TEST_F(ScsTest, LineControlsAndTranslation) {
  job_.columns = 40;
  auto p = Print(Ebcdic("one") + NL + Ebcdic("two") + CR + Ebcdic("TW") + LF + Ebcdic("x") + B({0x06}) +
                 Ebcdic("y") + B({0x1E}) + Ebcdic("abc") + B({0x16}) + Ebcdic("_") + B({0x00, 0x14, 0x24, 0x2F, 0x36}) +
                 NL + B({0x35, 0x03}) + Ebcdic("TRN") + B({0x08, 0xC1, 0x28, 0x42, 0x01}) + Ebcdic("z") +
                 B({0xFF, 0xEF}) + Ebcdic("\xe9") + NL);
  ASSERT_EQ(p.state, kJobComplete);
  EXPECT_EQ(p.pages, (std::vector<Page>{{"one", "TWo", "  x", "y", "ab_", "TRNAz\xe9"}}));
}

TEST_F(ScsTest, HorizontalFormatAndTabs) {
  job_.columns = 80;
  // SHF: maximum print position 20, left margin 3, right margin 20, tabs at 8
  // and 12; text beyond the print position goes on at the next line's margin.
  auto p = Print(B({0x2B, 0xC1, 0x06, 20, 3, 20, 8, 12}) + Ebcdic("a") + HT + Ebcdic("b") + HT + Ebcdic("c") + HT +
                 Ebcdic("d") + NL + Ebcdic("0123456789012345678901234") + NL);
  EXPECT_EQ(p.pages, (std::vector<Page>{{"  a    b   c d", "  012345678901234567", "  8901234"}}));
  // A count of 2 sets only the print position; margin 1 and no stops follow.
  p = Print(B({0x2B, 0xC1, 0x02, 5}) + Ebcdic("a") + HT + Ebcdic("b12345") + NL);
  EXPECT_EQ(p.pages, (std::vector<Page>{{"a b12", "345"}}));
}

TEST_F(ScsTest, VerticalFormatTopMarginAndTabs) {
  // Page length 6, top margin 2, vertical tab stops at 4 and 6; a new page
  // starts at the top margin and the left margin.
  auto p = Print(B({0x2B, 0xC2, 0x06, 6, 2, 6, 4, 6}) + Ebcdic("a") + B({0x0B}) + Ebcdic("b") + B({0x0B}) +
                 Ebcdic("c") + B({0x0B}) + Ebcdic("d") + LF + LF + Ebcdic("e") + FF + Ebcdic("f"));
  EXPECT_EQ(p.pages, (std::vector<Page>{{"", "a", "", " b", "", "  c"}, {"", "d", "", " e"}, {"", "f"}}));
}

TEST_F(ScsTest, BottomMarginEndsThePageButPositionsMayGoBelowIt) {
  // Page length 8, top margin 2, bottom margin 4: line advances past line 4
  // go on at the next page's top margin; AVPP may still print at line 7.
  auto p = Print(B({0x2B, 0xC2, 0x04, 8, 2, 4}) + Ebcdic("a") + NL + Ebcdic("b") + NL + Ebcdic("c") + NL +
                 Ebcdic("d") + NL + B({0x34, 0xC4, 7}) + Ebcdic("e") + LF + Ebcdic("f") + B({0x0B}) + Ebcdic("g"));
  EXPECT_EQ(p.pages, (std::vector<Page>{{"", "a", "b", "c"}, {"", "d", "", "", "", "", "e"}, {"", "f", " g"}}));
  // A bottom margin above the top margin or past the page is the page's end.
  for (int bottom : {1, 9}) {
    p = Print(B({0x2B, 0xC2, 0x04, 3, 2, bottom}) + Ebcdic("a") + NL + Ebcdic("b") + NL + Ebcdic("c"));
    EXPECT_EQ(p.pages, (std::vector<Page>{{"", "a", "b"}, {"", "c"}})) << bottom;
  }
}

TEST_F(ScsTest, PresentationPositions) {
  job_.linesPerPage = 8;
  // AHPP 10, RHPP 2, AHPP back to 3 (overprint from the left), RDPP 2, AVPP 1 (a new page).
  auto p = Print(Ebcdic("ab") + B({0x34, 0xC0, 10}) + Ebcdic("c") + B({0x34, 0xC8, 2}) + Ebcdic("d") +
                 B({0x34, 0xC0, 3}) + Ebcdic("X") + B({0x34, 0x4C, 2}) + Ebcdic("e") + B({0x34, 0xC4, 6}) +
                 Ebcdic("f") + B({0x34, 0xC4, 1}) + Ebcdic("g") + B({0x34, 0x4C, 9}) + Ebcdic("h") +
                 B({0x34, 0x99, 5, 0x34, 0xC0, 0}) + Ebcdic("i"));
  EXPECT_EQ(p.pages, (std::vector<Page>{{"abX      c  d", "", "   e", "", "", "    f"},
                                        {"g"},
                                        {"", "hi"}}));
}

TEST_F(ScsTest, HostileFormatsCannotLoop) {
  // A page length of 0 and a top margin below the page end are corrected.
  auto p = Print(B({0x2B, 0xC2, 0x04, 0, 200, 0}) + Ebcdic("a") + NL + Ebcdic("b") + NL);
  EXPECT_EQ(p.pages, (std::vector<Page>{{"a", "b"}}));
  // (The bottom margin of 1 then gives pages of one line.)
  p = Print(B({0x2B, 0xC2, 0x04, 3, 9, 1}) + Ebcdic("a") + NL + Ebcdic("b") + NL + Ebcdic("c") + NL + Ebcdic("d"));
  EXPECT_EQ(p.pages, (std::vector<Page>{{"a"}, {"b"}, {"c"}, {"d"}}));
  // Endless line and form feeds print nothing more; cut controls end quietly.
  std::string flood(100000, '\x0C');
  flood += std::string(100000, '\x25') + Ebcdic("x") + B({0x2B, 0xC1, 0xFF, 1, 2});
  p = Print(flood);
  EXPECT_EQ(p.state, kJobComplete);
  EXPECT_EQ(p.pages.size(), 2u);  // the leading blank page, then x
  for (std::string cut : {B({0x34}), B({0x34, 0xC0}), B({0x35, 0x40}), B({0x2B, 0xC2}), B({0x08}), B({0x28, 1})})
    EXPECT_EQ(Print(Ebcdic("k") + cut).pages, (std::vector<Page>{{"k"}}));
}

}  // namespace
}  // namespace corvina::printing::test
