// Page layout of text, FORTRAN, banner and header jobs on the text grid.
#include <gtest/gtest.h>

#include "printing/PrintTexts.h"
#include "tests/printing/PrintSupport.h"

namespace corvina::printing::test {
namespace {

class LayoutTest : public ::testing::Test {
 protected:
  Printed Print(const std::string& data, unsigned options = 0, int columns = 40, int lines = 12) {
    job_.files = {PrintFile{dir_.Write("job" + std::to_string(n_++), data)}};
    job_.options |= options;
    return PrintOnGrid(job_, columns, lines);
  }
  TempFolder dir_;
  PrintJob job_;
  int n_ = 0;
};

TEST_F(LayoutTest, LinesTabsReturnsAndStaircase) {
  job_.columns = 40;
  // A tab at a stop moves on to the next stop; CR overprints; BS steps back.
  auto p = Print("ab\tc\td\r\n\tx\t\ty\r\nover\rOV\r\nq\bQ\r\n");
  ASSERT_EQ(p.state, kJobComplete);
  EXPECT_EQ(p.pages, (std::vector<Page>{{"ab      c       d", "        x               y", "OVer", "Q"}}));
  // Line feeds alone step down from where the line ended, unless asked.
  EXPECT_EQ(Print("one\ntwo\nsix\n").pages, (std::vector<Page>{{"one", "   two", "      six"}}));
  EXPECT_EQ(Print("one\ntwo\n", kPrintLineFeedReturns).pages, (std::vector<Page>{{"one", "two"}}));
}

TEST_F(LayoutTest, PagesFormFeedsAndCutColumns) {
  job_.columns = 10;
  job_.linesPerPage = 3;
  auto p = Print("\f1\r\n2\r\n3\r\n4 is longer than ten\f\f\r\n\r\n5");
  // The leading form feed gives a blank page; empty pages are skipped.
  EXPECT_EQ(p.pages, (std::vector<Page>{{}, {"1", "2", "3"}, {"4 is longe"}, {"", "", "5"}}));
  EXPECT_EQ(Print("\fA", kPrintNoInitialFormFeed).pages, (std::vector<Page>{{"A"}}));
  // NUL and other controls leave no mark.
  EXPECT_EQ(Print(std::string("a\0b\x1b" "c", 5)).pages, (std::vector<Page>{{"abc"}}));
}

TEST_F(LayoutTest, PageLongerThanTheSheetGoesOnToTheNextSheet) {
  job_.linesPerPage = 32767;
  std::string data;
  for (int i = 1; i <= 7; ++i) data += "L" + std::to_string(i) + "\r\n";
  auto p = Print(data, 0, 20, 3);
  EXPECT_EQ(p.pages, (std::vector<Page>{{"L1", "L2", "L3"}, {"L4", "L5", "L6"}, {"L7"}}));
}

TEST_F(LayoutTest, FortranCarriageControl) {
  auto p = Print(" one\n0two\n-three\n+     ___\n1four\n five\n\n six\n", kPrintFortran);
  EXPECT_EQ(p.pages, (std::vector<Page>{{"one", "", "two", "", "", "three___"}, {"four", "five", "", "six"}}));
  job_.linesPerPage = 2;
  EXPECT_EQ(Print(" a\n b\n c\n", kPrintFortran).pages, (std::vector<Page>{{"a", "b"}, {"c"}}));
}

TEST_F(LayoutTest, BannerAndHeader) {
  job_.owner = "ann";
  job_.jobClass = "A";
  job_.jobName = "report";
  job_.jobNumber = 42;
  job_.documentName = "Doc";
  job_.columns = 40;
  auto p = Print("text\r\n", kPrintBanner | kPrintPageHeader, 40, 14);
  ASSERT_EQ(p.pages.size(), 2u);
  const Page& banner = p.pages[0];
  ASSERT_EQ(banner.size(), 11u);
  EXPECT_EQ(banner[0], "Owner:      ann");
  EXPECT_EQ(banner[2], "Class:      A");
  EXPECT_EQ(banner[4], "Job Name:   report");
  EXPECT_EQ(banner[6], "Job Number: 42");
  EXPECT_EQ(banner[8].substr(0, 12), "Created:    ");
  EXPECT_EQ(banner[10].substr(0, 12), "Printed:    ");
  // Start time, title and page number span the columns; the text starts two lines lower.
  const Page& page = p.pages[1];
  ASSERT_EQ(page.size(), 3u);
  EXPECT_EQ(page[0].size(), 40u);
  EXPECT_EQ(page[0].substr(page[0].size() - 6), "Page 2");
  EXPECT_NE(page[0].find(" Doc "), std::string::npos);
  EXPECT_EQ(page[1], "");
  EXPECT_EQ(page[2], "text");
  // A title that does not fit leaves the header out.
  job_.options = 0;
  job_.headerTitle = std::string(30, 'T');
  EXPECT_EQ(Print("text\r\n", kPrintPageHeader).pages, (std::vector<Page>{{"", "", "text"}}));
}

TEST_F(LayoutTest, FilesOfOneJobAndFailures) {
  job_.files = {PrintFile{dir_.Write("a", "first\r\n")}, PrintFile{dir_.Write("b", "0123456789")}};
  job_.files[1].offset = 3;
  job_.files[1].length = 4;
  EXPECT_EQ(PrintOnGrid(job_).pages, (std::vector<Page>{{"first"}, {"3456"}}));
  // The second file missing: the first still prints, the job fails with 7.
  job_.files[1] = PrintFile{dir_.Path() + "/missing"};
  auto p = PrintOnGrid(job_);
  EXPECT_EQ(p.state, kJobFileOpenFailed);
  EXPECT_NE(p.error.find("missing"), std::string::npos);
  EXPECT_EQ(p.pages, (std::vector<Page>{{"first"}}));
  // A folder in place of a spool file cannot be read as one.
  job_.files = {PrintFile{dir_.Path()}};
  EXPECT_EQ(PrintOnGrid(job_).state, kJobFileOpenFailed);
}

TEST_F(LayoutTest, MarginsThatLeaveNoAreaAreRefused) {
  struct NarrowSink final : CTextGridSink {
    NarrowSink() : CTextGridSink(10, 10) {}
    PageArea Area() const override { return {-5, 10}; }
  } sink;
  job_.files = {PrintFile{dir_.Write("a", "x")}};
  CJobRenderer renderer(job_, sink, nullptr, 0);
  EXPECT_EQ(renderer.Run(), kJobStartDocFailed);
  EXPECT_EQ(renderer.ErrorText(), texts::kNoPrintableArea);
  EXPECT_TRUE(sink.Pages().empty());
}

TEST_F(LayoutTest, RawJobsPassBytesUnchanged) {
  job_.options = kPrintRaw;
  job_.files = {PrintFile{dir_.Write("a", std::string("\x1b[1m\0x\f", 7))}, PrintFile{dir_.Write("b", "y")}};
  CTextGridSink sink(10, 10);
  CJobRenderer renderer(job_, sink, nullptr, 0);
  EXPECT_EQ(renderer.Run(), kJobComplete);
  EXPECT_EQ(sink.RawData(), std::string("\x1b[1m\0x\fy", 8));
  EXPECT_TRUE(sink.Setup().raw);
}

TEST_F(LayoutTest, RawJobsToAFileEachGetAFileOfTheirOwn) {
  job_.options = kPrintRaw;
  job_.printerName = "file:" + dir_.Path() + "/out.prn";
  dir_.Write("out.000.prn", "an earlier job");
  auto print = [this](const std::string& data, bool cancel = false) {
    job_.files = {PrintFile{dir_.Write("data", data)}};
    job_.state = cancel ? kJobCancelled : kJobPrinting;
    std::string error;
    auto sink = TextFileSinkFor(job_, error);
    EXPECT_TRUE(sink) << error;
    return CJobRenderer(job_, *sink, nullptr, 0).Run();
  };
  EXPECT_EQ(print("\x1b" "E first"), kJobComplete);
  EXPECT_EQ(print("second\f"), kJobComplete);
  // A cancelled job leaves no file behind, and its number is taken again.
  EXPECT_EQ(print("cancelled", true), kJobCancelled);
  EXPECT_EQ(print("third"), kJobComplete);
  auto read = [this](const char* name) {
    std::ifstream in(dir_.Path() + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(read("out.000.prn"), "an earlier job");
  EXPECT_EQ(read("out.001.prn"), "\x1b" "E first");
  EXPECT_EQ(read("out.002.prn"), "second\f");
  EXPECT_EQ(read("out.003.prn"), "third");
  EXPECT_FALSE(std::ifstream(dir_.Path() + "/out.004.prn"));
  EXPECT_FALSE(std::ifstream(dir_.Path() + "/out.prn"));
}

}  // namespace
}  // namespace corvina::printing::test
