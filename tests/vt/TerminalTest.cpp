// The terminal state layer with a host that records what it is told.
#include <gtest/gtest.h>

#include "vt/VtTerminal.h"

using namespace corvina::vt;

namespace {

struct Host final : VtTerminalHost {
  std::string replies, printed;
  int jobs = 0, resized = 0;
  void Reply(std::string_view b) override { replies += b; }
  void PrinterData(std::string_view b) override { printed += b; }
  void PrinterJobEnd() override { ++jobs; }
  void ScreenResized() override { ++resized; }
};

struct Term {
  Host host;
  CVtTerminal t{host};
  explicit Term(unsigned kind = kVtVt220, int history = 48, std::string answerback = {}) {
    VtConfig c;
    c.kind = kind;
    c.rows = 24;
    c.columns = 80;
    c.history = history;
    c.answerback = std::move(answerback);
    t.Start(c);
  }
  std::string Row(int r) const {
    std::string s = t.LineText(r);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }
};

}  // namespace

TEST(VtTerminal, ReportsHaveTheirExactBytes) {
  Term term(kVtVt220, 48, "hello");
  term.t.Feed("\x1B[c\x1B[0c\x1BZ\x1B[5n\x05");
  term.t.Feed("\x1B[5;20r\x1B[?6h\x1B[2;3H\x1B[6n\x1B[0x\x1B[1x\x1B[2x\x1B[?2l\x1BZ");
  EXPECT_EQ(term.host.replies,
            "\x1B[?1;0c\x1B[?1;0c\x1B[?1;0c\x1B[0nhello"
            "\x1B[6;3R\x1B[2;1;1;120;120;1;0x\x1B[3;1;1;120;120;1;0x\x1B/Z");
}

TEST(VtTerminal, ExtendedColoursConsumeTheirParameters) {
  Term term;
  term.t.Feed("\x1B[38;5;4ma\x1B[0;48;2;255;0;0;1mb\x1B[0;38:5:1mc");
  const VtCell* row = term.t.Screen().Line(0);
  EXPECT_EQ(row[0].rendition, 0) << "4 of 38;5;4 is a colour, not underline";
  EXPECT_EQ(row[0].colours >> 4, kColourBlue);
  EXPECT_EQ(row[1].rendition, kRendBold);
  EXPECT_EQ(row[1].colours & 0x0F, kColourRed);
  EXPECT_EQ(row[2].colours >> 4, kColourRed);
}

TEST(VtTerminal, HistoryTakesWhatScrollsOffTheTopAndClearedScreens) {
  Term term;
  term.t.Feed("first\x1B[24;1H\nsecond");
  EXPECT_EQ(term.t.Screen().HistoryLines(), 1);
  EXPECT_EQ(term.t.LineText(-1).substr(0, 5), "first");
  term.t.Feed("\x1B[2J");
  EXPECT_EQ(term.t.Screen().HistoryLines(), 25) << "the screen down to its last non-blank line goes";
  EXPECT_EQ(term.Row(-1), "second");
  term.t.Feed("\x1B[2J");
  EXPECT_EQ(term.t.Screen().HistoryLines(), 25) << "a blank screen is not pushed";
  // A region from the top feeds the history; a lower one does not.
  term.t.Feed("\x1B[1;10r\x1B[10;1H\n\x1B[5;10r\x1B[10;1H\n\n");
  EXPECT_EQ(term.t.Screen().HistoryLines(), 26);
  // Deleting lines never does.
  term.t.Feed("\x1B[r\x1B[H\x1B[5M");
  EXPECT_EQ(term.t.Screen().HistoryLines(), 26);
  Term none(kVtVt220, 0);
  none.t.Feed("a\x1B[24;1H\n\n\x1B[2J");
  EXPECT_EQ(none.t.Screen().HistoryLines(), 0);
}

TEST(VtTerminal, ColumnSwitchNeedsPermissionAndClears) {
  Term term;
  term.t.Feed("text\x1B[?40l\x1B[?3h");
  EXPECT_EQ(term.t.Columns(), 80);
  term.t.Feed("\x1B[?40h\x1B[?3h");
  EXPECT_EQ(term.t.Columns(), 132);
  EXPECT_EQ(term.host.resized, 1);
  EXPECT_EQ(term.Row(0), "");
  EXPECT_EQ(term.Row(-1), "text") << "the old screen went into the history";
  term.t.Feed("\x1B[1;132Hx\x1B[?3l");
  EXPECT_EQ(term.t.Columns(), 80);
}

TEST(VtTerminal, UserDefinedKeysOnVt220Only) {
  Term term;
  term.t.Feed("\x1BP0|17/41424344;23/4546\x1B\\");
  EXPECT_EQ(term.t.UserKey(5), "ABCD");   // key 17 is F6
  EXPECT_EQ(term.t.UserKey(10), "EF");    // key 23 is F11
  // P1 1 keeps the others; an invalid item ends the definition.
  term.t.Feed("\x1BP1|11/31;12/3;13/33\x1B\\");
  EXPECT_EQ(term.t.UserKey(0), "1");
  EXPECT_EQ(term.t.UserKey(1), "");
  EXPECT_EQ(term.t.UserKey(2), "");
  EXPECT_EQ(term.t.UserKey(5), "ABCD");
  term.t.Feed("\x1BP|11/" + std::string(258, '4') + "\x1B\\");
  EXPECT_EQ(term.t.UserKey(0), "") << "cleared, and too long a value is refused";
  Term vt100(kVtVt100);
  vt100.t.Feed("\x1BP0|17/41\x1B\\");
  EXPECT_EQ(vt100.t.UserKey(5), "");
  EXPECT_EQ(vt100.Row(0), "") << "nothing of the string is shown";
}

TEST(VtTerminal, PrinterControllerTakesEverythingUpToItsEnd) {
  Term term;
  term.t.Feed("on screen\x1B[5ito the \x1B[1mprinter\x1B[");
  term.t.Feed("4");
  term.t.Feed("i back\r\n\x1B[?5iauto\nprinted\x1B[?4i");
  EXPECT_EQ(term.host.printed, "to the \x1B[1mprinter" "auto\r\n");
  EXPECT_EQ(term.host.jobs, 2);
  EXPECT_EQ(term.Row(0), "on screen back");
  EXPECT_EQ(term.Row(1), "auto");
  EXPECT_EQ(term.t.Screen().Line(1)[0].rendition, 0) << "the sequence went to the printer";
  // VT220 also ends it with the 8-bit CSI.
  term.t.Feed("\x1B[5i\x9B" "4i" "x");
  EXPECT_EQ(term.host.jobs, 3);
  EXPECT_EQ(term.Row(2), "    printedx");
}

TEST(VtTerminal, CharacterSetsAndKinds) {
  Term term;
  term.t.Feed("\x1B(0lqqk\x1B(Bq\x1B(A#\x1B(B\x1B)0\x0Ex\x0Fx\x1B*0\x1BN" "q" "q");
  const VtCell* row = term.t.Screen().Line(0);
  const std::uint8_t want[] = {13, 18, 18, 12, 'q', 0xA3, 25, 'x', 18, 'q'};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(row[i].character, want[i]) << i;
  // 0x9B: a character on a VT100, a control sequence on a VT220.
  Term vt100(kVtVt100);
  vt100.t.Feed("\x9B" "2J");
  EXPECT_EQ(vt100.Row(0), "\x9B" "2J");
  term.t.Feed("\x9B" "2J");
  EXPECT_EQ(term.Row(0), "");
  // ANSI: PC box drawing becomes glyphs, and other control bytes are characters.
  Term ansi(kVtAnsi);
  ansi.t.Feed("\xC4\xB3\x01z");
  row = ansi.t.Screen().Line(0);
  EXPECT_EQ(row[0].character, 18);
  EXPECT_EQ(row[1].character, 25);
  EXPECT_EQ(row[2].character, 1);
  EXPECT_EQ(row[3].character, 'z');
}

TEST(VtTerminal, HugeCountsFinishAtOnceAndClampToTheScreen) {
  Term term;
  term.t.Feed("\x1B[5;5H\x1B[2147483647E\x1B[2147483647C\x1B[2147483647@\x1B[2147483647L\x1B[2147483647S");
  EXPECT_EQ(term.t.CursorRow(), 23);
  EXPECT_EQ(term.t.CursorColumn(), 0);
  term.t.Feed("\x1B[2147483647b\x1B[2147483647I\x1B[2147483647Z\x1B[2147483647X");
  EXPECT_EQ(term.t.CursorColumn(), 0);
}

TEST(VtTerminal, TabStopsClearedMeansTheLastColumn) {
  Term term;
  term.t.Feed("\ta\x1B[3g\r\tb\x1B[2;20H\x1BH\r\tc");
  EXPECT_EQ(term.Row(0).find('a'), 8u);
  EXPECT_EQ(term.Row(0).back(), 'b');
  EXPECT_EQ(term.Row(1).find('c'), 19u);
}
