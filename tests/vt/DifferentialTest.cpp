// The same byte streams through our engine and two reference emulators
// (libvterm, @xterm/headless): a difference counts where both references
// agree and ours does not, unless differential-allow.txt lists it.
#include <gtest/gtest.h>

#include <random>

#include "../session/TestSupport.h"
#include "References.h"

using namespace corvina;
using namespace corvina::test;

namespace {

constexpr int kRows = 24, kColumns = 80;

std::string Esc(std::string_view s) { return "\x1B" + std::string(s); }
std::string Csi(std::string_view s) { return "\x1B[" + std::string(s); }

// One stream per row of the sequence tables, with text around each.
std::vector<Stream> TableStreams() {
  const std::string fill = [] {
    std::string s;
    for (int r = 0; r < kRows; ++r) s += Csi(std::to_string(r + 1) + ";1H") + std::string(70, static_cast<char>('a' + r % 26));
    return s;
  }();
  return {
      {"index", Csi("24;5H") + "A" + Esc("D") + "B" + Esc("E") + "C" + Csi("1;5H") + Esc("M") + "D"},
      {"tabs", "a\tb\t" + Csi("1;20H") + Esc("H") + "\r\tx" + Csi("3g") + "\r\n\ty\r\n" + Csi("2I") + "z" + Csi("Z") + "w"},
      {"tab-clear-one", Csi("1;9H") + Csi("0g") + "\r\tA\t\tB"},
      {"save-restore", Csi("5;5H") + Csi("1;4m") + Esc("7") + Csi("10;10H") + Csi("0m") + "x" + Esc("8") + "y"},
      {"reset", fill + Csi("5;10r") + Csi("1m") + Esc("c") + "after"},
      {"charsets", Esc("(0") + "lqqk\r\nx  x\r\nmqqj" + Esc("(B") + " ascii " + Esc(")0") + "\x0E" + "abc`fg~" + "\x0F" + "abc" + Esc("(A") + "#"},
      {"line-sizes", Csi("3;1H") + Esc("#3") + "upper" + Csi("4;1H") + Esc("#4") + "lower" + Csi("6;1H") + Esc("#6") + "wide" + Csi("7;1H") + Esc("#5") + "normal"},
      {"alignment", Esc("#8") + Csi("5;5H") + "x"},
      {"cursor-moves", fill + Csi("10;10H") + Csi("3A") + "1" + Csi("2B") + "2" + Csi("4C") + "3" + Csi("6D") + "4" + Csi("20;30f") + "5" +
                           Csi("40G") + "6" + Csi("12`") + "7" + Csi("7d") + "8" + Csi("2e") + "9" + Csi("3a") + "0" + Csi("H") + "h"},
      {"cursor-clamps", Csi("999;999H") + "a" + Csi("0;0H") + "b" + Csi("999A") + "c" + Csi("999B") + Csi("999C") + "d" + Csi("999D") + "e"},
      {"next-previous-line", fill + Csi("10;10H") + Csi("2E") + "n" + Csi("3F") + "p" + Csi("24;5H") + Csi("5E") + "q"},
      {"huge-count", Csi("5;5H") + Csi("2147483647E") + "a" + Csi("99999999999999999999A") + "b" + Csi("2147483647C") + "c"},
      {"erase-display-below", fill + Csi("12;30H") + Csi("J")},
      {"erase-display-above", fill + Csi("12;30H") + Csi("1J")},
      {"erase-display-all", fill + Csi("12;30H") + Csi("2J") + "x"},
      {"erase-line", fill + Csi("3;10H") + Csi("K") + Csi("4;10H") + Csi("1K") + Csi("5;10H") + Csi("2K")},
      {"selective-erase", Csi("1\"q") + "keep" + Csi("0\"q") + "gone" + Csi("?2K") + Csi("2;1H") + "plain" + Csi("?J")},
      {"insert-delete-lines", fill + Csi("5;1H") + Csi("3L") + "new" + Csi("10;1H") + Csi("2M") + "del"},
      {"lines-in-region", fill + Csi("5;15r") + Csi("8;1H") + Csi("2L") + Csi("12;1H") + Csi("3M") + Csi("20;1H") + Csi("2L") + Csi("r")},
      {"insert-delete-chars", fill + Csi("3;10H") + Csi("5@") + "I" + Csi("4;10H") + Csi("5P") + Csi("5;75H") + Csi("20@") + Csi("6;10H") + Csi("7X")},
      {"erase-chars-at-end", Csi("1;78H") + Csi("50X") + "abcdefghijklmnopqrstuvwxyz" + Csi("1;78H") + Csi("9X")},
      {"scroll-up-down", fill + Csi("3S") + Csi("2T") + Csi("5;10r") + Csi("2S") + Csi("T") + Csi("r")},
      {"region-scrolling", fill + Csi("5;10r") + Csi("10;1H") + "\n\n\nx" + Csi("5;1H") + Esc("M") + Esc("M") + "y" + Csi("r") + "z"},
      {"region-refused", fill + Csi("10;5r") + Csi("24;1H") + "\n" + Csi("7;7r") + Csi("24;1H") + "\nend"},
      {"region-cursor-stops", Csi("5;10r") + Csi("7;1H") + Csi("20A") + "a" + Csi("20B") + "b" + Csi("12;1H") + Csi("20A") + "c" + Csi("3;1H") +
                                  Csi("20B") + "d" + Csi("r")},
      {"origin-mode", Csi("5;10r") + Csi("?6h") + "o" + Csi("3;3H") + "p" + Csi("99;1H") + "q" + Csi("?6l") + "r"},
      {"save-restore-position", Csi("5;5H") + Csi("s") + Csi("10;10H") + Csi("u") + "x"},
      {"insert-mode", "abcdef" + Csi("1;3H") + Csi("4h") + "XY" + Csi("4l") + "Z"},
      {"newline-mode", "ab\n" + Csi("20h") + "cd\nef" + Csi("20l") + "\ngh"},
      {"autowrap", std::string(85, 'w') + Csi("?7l") + Csi("3;1H") + std::string(85, 'n') + Csi("?7h")},
      {"wrap-pending-backspace", std::string(80, 'x') + "\bY"},
      {"wrap-pending-cr", std::string(80, 'x') + "\rY"},
      {"wrap-pending-move", std::string(80, 'x') + Csi("D") + "Y" + Csi("3;1H") + std::string(80, 'z') + Csi("K") + "Q"},
      {"wrap-at-bottom", Csi("24;1H") + std::string(90, 'b')},
      {"sgr", Csi("1m") + "b" + Csi("4m") + "u" + Csi("5m") + "k" + Csi("7m") + "r" + Csi("8m") + "i" + Csi("22m") + "n" + Csi("24m") +
                  "n" + Csi("25m") + "n" + Csi("27m") + "n" + Csi("28m") + "n" + Csi("0m") + "plain" + Csi("1;4;7m") + "all" + Csi("m") + "x"},
      {"sgr-colours", Csi("31m") + "r" + Csi("32m") + "g" + Csi("33m") + "y" + Csi("34m") + "b" + Csi("35m") + "m" + Csi("36m") + "c" +
                          Csi("37m") + "w" + Csi("30m") + "k" + Csi("39m") + "d" + Csi("41m") + "R" + Csi("42m") + "G" + Csi("47m") + "W" +
                          Csi("49m") + "D" + Csi("43;34m") + "x" + Csi("40m") + "y" + Csi("0m")},
      {"sgr-extended-consumed", Csi("38;5;196;4m") + "a" + Csi("48;2;0;0;255;1m") + "b" + Csi("0;38;2;1;2;3m") + "c" + Csi("38;5;1m") + "d"},
      {"unknown-sequences", "a" + Csi("?1234h") + Csi("5;5}") + Csi(">0c") + Esc(" F") + "b" + Esc("P1$tx") + Esc("\\") + "c" + Esc("]0;title\x07") +
                                "d" + Esc("]2;t") + Esc("\\") + "e" + Esc("^privacy") + Esc("\\") + "f" + Esc("_app") + Esc("\\") + "g" + Csi("1;2;3 $z") + "h"},
      {"cancel", "a" + Csi("12") + "\x18" + "b" + Esc("(") + "\x1A" + "c" + Esc("]0;x\x18") + "d" + Csi("3;") + "\x1B[5Ge"},
      {"controls-inside-sequences", "a" + Csi("2\bC") + "b" + Csi("1;\r5H") + "c" + "\x1B\x0D" + "[" + "d"},
      {"repeat", "ab" + Csi("5b") + Csi("2;78H") + "c" + Csi("10b")},
      {"shift-columns", fill + Csi("3 @") + Csi("2 A")},
      {"device-reports", "a" + Csi("c") + Csi("5n") + Csi("6n") + Csi("0x") + Esc("Z") + "b"},
      {"c1-controls", std::string("a\x9B") + "5;5H" + "b" + "\x84" + "c" + "\x8D" + "d" + "\x85" + "e" + "\x90" + "1$t\x9C" + "f"},
      {"vt52", "a" + Csi("?2l") + Esc("Y%%") + "b" + Esc("A") + Esc("C") + "c" + Esc("H") + Esc("J") + Esc("<") + "d"},
      {"screen-reverse", "x" + Csi("?5h") + "y" + Csi("?5l")},
      {"keypad-cursor-modes", "a" + Esc("=") + Csi("?1h") + "b" + Esc(">") + Csi("?1l") + "c"},
      {"answerback-enq", "a\x05" "b\x07" "c\x00" "d\x7F" "e"},
      {"latin1", "caf\xE9 \xA3 \xFF \xB5"},
  };
}

// Random streams of sequences both references implement alike.
std::vector<Stream> RandomStreams(int count, unsigned seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto num = [&](int most) { return std::to_string(pick(most + 1)); };
  std::vector<Stream> streams;
  for (int s = 0; s < count; ++s) {
    std::string b;
    for (int t = 0; t < 300; ++t) {
      switch (pick(24)) {
        case 0: case 1: case 2: case 3: {
          const int n = 1 + pick(30);
          for (int i = 0; i < n; ++i) b.push_back(static_cast<char>('!' + pick(94)));
          break;
        }
        case 4: b += Csi(num(26) + ";" + num(82) + "H"); break;
        case 5: b += Csi(num(5) + "ABCD"[pick(4)]); break;
        case 6: b += Csi(num(2) + "JK"[pick(2)]); break;
        case 7: b += Csi(num(4) + "LM"[pick(2)]); break;
        case 8: b += Csi(num(6) + "@PX"[pick(3)]); break;
        case 9: b += Csi(std::string(1, "0123457"[pick(7)]) + ";" + std::to_string(30 + pick(8)) + ";" + std::to_string(41 + pick(9)) + "m"); break;  // 40 is ours to differ on
        case 10: b += Csi(std::to_string(1 + pick(12)) + ";" + std::to_string(13 + pick(12)) + "r"); break;
        case 11: b += std::string(1, "\r\n\b\t"[pick(4)]); break;
        case 12: b += Esc(std::string(1, "DEM78"[pick(5)])); break;
        case 13: b += Esc(pick(2) ? "(0" : "(B"); break;
        case 14: b += Csi(pick(2) ? "?7h" : "?7l"); break;
        case 15: b += Csi(pick(2) ? "?6h" : "?6l"); break;
        case 16: b += Csi(pick(2) ? "4h" : "4l"); break;
        case 17: b += Csi(num(3) + "ST"[pick(2)]); break;
        case 18: b += Csi(num(80) + "G"); break;
        case 19: b += Csi(num(24) + "d"); break;
        case 20: b += Csi("m"); break;
        case 21: b += std::string(static_cast<std::size_t>(70 + pick(20)), 'w'); break;
        case 22: b += Csi(num(3) + "EF"[pick(2)]); break;
        default: b += Csi("r"); break;
      }
    }
    streams.push_back({"random-" + std::to_string(s), b});
  }
  return streams;
}

std::vector<Stream> Recordings() {
  std::vector<Stream> streams;
  for (const char* name : {"vi", "less", "top"})
    streams.push_back({std::string("recorded-") + name, ReadFile(std::string(CORVINA_SOURCE_DIR "/tests/vt/recordings/") + name)});
  return streams;
}

void CheckAgainstReferences(const std::vector<Stream>& streams) {
  std::string why;
  auto xterm = RunXterm(streams, kRows, kColumns, &why);
  if (!xterm) GTEST_SKIP() << why;
  const AllowList allow = AllowList::Load(CORVINA_SOURCE_DIR "/tests/vt/differential-allow.txt");
  int allowed = 0;
  for (std::size_t i = 0; i < streams.size(); ++i) {
    ASSERT_FALSE(streams[i].bytes.empty()) << streams[i].name;
    const Snapshot ours = RunOurs(streams[i], kRows, kColumns);
    const Snapshot vterm = RunLibvterm(streams[i], kRows, kColumns);
    std::string report;
    int shown = 0;
    for (const Difference& d : Compare(ours, vterm, (*xterm)[i])) {
      if (allow.Allows(d)) {
        ++allowed;
        continue;
      }
      if (shown++ < 8)
        report += d.aspect + " at " + std::to_string(d.row) + "," + std::to_string(d.column) + ": " + d.detail + "\n";
    }
    EXPECT_EQ(shown, 0) << streams[i].name << ": " << shown << " differences\n"
                        << report << "ours:\n" << ours.Text() << "libvterm:\n" << vterm.Text();
  }
  ::testing::Test::RecordProperty("allowed_differences", allowed);
}

}  // namespace

TEST(Differential, SequenceTables) { CheckAgainstReferences(TableStreams()); }

TEST(Differential, RecordedSessions) { CheckAgainstReferences(Recordings()); }

TEST(Differential, RandomStreams) { CheckAgainstReferences(RandomStreams(60, 14)); }

