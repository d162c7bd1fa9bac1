// SCS to text for disk files, header tokens, margins as typed, and print
// file names.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "printing/PrintFiles.h"
#include "printing/ScsText.h"
#include "tests/printing/PrintSupport.h"

namespace corvina::printing::test {
namespace {

std::string Convert(const std::vector<std::string>& records, int lineLength = 132, int pageLength = 66) {
  CCorvinaCodePage cp;
  CScsTextConverter converter(cp, lineLength, pageLength);
  std::string out;
  for (const std::string& r : records)
    converter.Feed(std::span(reinterpret_cast<const std::uint8_t*>(r.data()), r.size()), out);
  return out;
}

TEST(ScsText, ControlsBecomeTextAndCutControlsAreCompleted) {
  // SHF (line length 10, tabs at 4 and 8) cut after its count byte; a TRN cut
  // inside its data; past the line length text goes on at the next line.
  EXPECT_EQ(Convert({"\x2B\xC1\x06", std::string("\x0A\x01\x0A\x04\x08", 5) + Ebcdic("a") + "\x05" + Ebcdic("b") +
                                         "\x05" + Ebcdic("c") + "\x05" + Ebcdic("dddd") + "\x35\x03" + Ebcdic("X"),
                     Ebcdic("YZ") + "\x15" + Ebcdic("caf\xE9") + "\x0D" + Ebcdic("CAF") + "\x25"}),
            "a  b   c d\r\ndddXYZ\r\ncaf\xE9\rCAF\n");
  // A character past the line length starts a new line; PP moves by lines and blanks.
  EXPECT_EQ(Convert({Ebcdic("abcdef") + "\x34\xC8\x02" + Ebcdic("x") + "\x15\x34\x4C\x02" + Ebcdic("y")}, 4),
            "abcd\r\nef  \r\nx\r\n\n\ny");
}

TEST(ScsText, PagesAndTopMargins) {
  // Page length 3 with top margin 2: a form feed and the margin's line feeds.
  EXPECT_EQ(Convert({std::string("\x2B\xC2\x04\x03\x02\x00", 6) + Ebcdic("1") + "\x15" + Ebcdic("2") + "\x15" + Ebcdic("3") + "\x15" +
                     Ebcdic("4") + "\x0C" + Ebcdic("5")}),
            "1\r\n2\r\n3\r\n\f\n4\n\f\n5");
  // A page length of 0 and a top margin beyond the page are corrected.
  const std::string hostile = Convert({std::string("\x2B\xC2\x04\x00\xFF\x00", 6) + std::string(300, '\x25')});
  EXPECT_EQ(std::count(hostile.begin(), hostile.end(), '\f'), 4);
}

TEST(ScsText, BottomMarginStartsANewPageAndTabsBelowItCannotLoop) {
  // Page length 6, top margin 1, bottom margin 2, vertical tab stop at 5.
  EXPECT_EQ(Convert({std::string("\x2B\xC2\x05\x06\x01\x02\x05", 7) + Ebcdic("1") + "\x15" + Ebcdic("2") +
                     "\x15" + Ebcdic("3") + "\x0B" + Ebcdic("4") + "\x34\xC4\x06" + Ebcdic("5") + "\x25" +
                     Ebcdic("6")}),
            "1\r\n2\r\n\f3\n\n\n\n4\n5\n\f6");
}

TEST(HeaderTokens, FirstOfEachReplacedAndCutToTheWidth) {
  const std::time_t t = 1'700'000'000;
  char date[64], time[64];
  std::tm tm{};
  localtime_r(&t, &tm);
  std::strftime(date, sizeof date, "%x", &tm);
  std::strftime(time, sizeof time, "%H:%M", &tm);
  EXPECT_EQ(SubstituteHeaderTokens("%DATE %DATE $TIME|%SESSION", "Prod", 60, t),
            std::string(date) + " %DATE " + time + "|Prod" +
                std::string(60 - std::strlen(date) - 7 - std::strlen(time) - 5, ' '));
  EXPECT_EQ(SubstituteHeaderTokens("$SESSION and more", "Production", 12, t), "Production a");
  EXPECT_EQ(SubstituteHeaderTokens("", "x", 3, t), "   ");
}

TEST(Margins, TypedAndShown) {
  EXPECT_EQ(ParseMargin("1.5", true), 150);
  EXPECT_EQ(ParseMargin("1.5", false), 1500);
  EXPECT_EQ(FormatMargin(150, true), "1.50");
  EXPECT_EQ(FormatMargin(1500, false), "1.500");
  EXPECT_EQ(ParseMargin(".25", false), 250);
  EXPECT_EQ(ParseMargin("2.12345", true), 212);
  for (const char* bad : {"1.2.3", "", ".", "1,5", "-1", "999999"}) EXPECT_FALSE(ParseMargin(bad, false)) << bad;
}

TEST(PrintFileNames, NumberedFilesSkipNumbersInUse) {
  TempFolder dir;
  EXPECT_EQ(NumberedFileName("/a/b/job.txt", 7), "/a/b/job.007.txt");
  EXPECT_EQ(NumberedFileName("job", 12), "job.012");
  EXPECT_EQ(NumberedFileName("/a.b/.profile", 1), "/a.b/.profile.001");
  dir.Write("p.000.txt", "kept");
  int counter = 0;
  std::string path;
  const int fd = CreateNumberedFile(dir.Path() + "/p.txt", counter, &path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_EQ(path, dir.Path() + "/p.001.txt");
  EXPECT_EQ(counter, 2);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // The configured file: made anew on first use, appended to later.
  dir.Write("log.txt", "old");
  bool used = false;
  for (const char* text : {"one", "two"}) {
    const int f = OpenPrintOutputFile(dir.Path() + "/log.txt", false, used, counter, &path);
    ASSERT_GE(f, 0);
    ASSERT_EQ(::write(f, text, 3), 3);
    ::close(f);
  }
  std::ifstream in(dir.Path() + "/log.txt");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "onetwo");
  EXPECT_LT(OpenPrintOutputFile(dir.Path(), false, used, counter, &path), 0);  // a folder
  // A FIFO without a reader is refused at once instead of blocking the open.
  ASSERT_EQ(::mkfifo((dir.Path() + "/fifo").c_str(), 0600), 0);
  EXPECT_LT(OpenPrintOutputFile(dir.Path() + "/fifo", false, used, counter, &path), 0);
}

}  // namespace
}  // namespace corvina::printing::test
