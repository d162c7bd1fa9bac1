// The parser alone: what reaches a listener for hostile and malformed input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vt/VtParser.h"

using namespace corvina::vt;

namespace {

struct Log final : VtParserListener {
  std::string printed;
  std::vector<std::string> events;
  void Print(std::span<const std::uint8_t> run) override { printed.append(run.begin(), run.end()); }
  void Execute(std::uint8_t c) override { events.push_back("exec " + std::to_string(c)); }
  void EscDispatch(const VtSequence& s) override { events.push_back("esc " + std::string(s.Intermediates()) + char(s.final)); }
  void CsiDispatch(const VtSequence& s) override {
    std::string e = "csi ";
    if (s.prefix) e += char(s.prefix);
    for (int i = 0; i < s.count; ++i) e += std::to_string(s.parameters[static_cast<std::size_t>(i)]) + (s.HasSub(i) ? ":" : ";");
    events.push_back(e + std::string(s.Intermediates()) + char(s.final));
  }
  void DcsDispatch(const VtSequence& s, std::string_view data, bool truncated) override {
    events.push_back("dcs " + std::to_string(s.Get(0, -1)) + char(s.final) + std::string(data) + (truncated ? " truncated" : ""));
  }
  void Vt52CursorAddress(int row, int column) override { events.push_back("vt52 " + std::to_string(row) + "," + std::to_string(column)); }
};

void Feed(VtParser& p, std::string_view s) { p.Feed(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size())); }

}  // namespace

TEST(VtParser, ParametersAreCappedAndExtrasIgnored) {
  Log log;
  VtParser p(log);
  Feed(p, "\x1B[2147483647;99999999999999999999E");
  std::string many = "\x1B[";
  for (int i = 0; i < 40; ++i) many += std::to_string(i + 1) + ";";
  Feed(p, many + "m");
  ASSERT_EQ(log.events.size(), 2u);
  EXPECT_EQ(log.events[0], "csi 65535;65535;E");
  std::string want = "csi ";
  for (int i = 0; i < kMaxParameters; ++i) want += std::to_string(i + 1) + ";";
  EXPECT_EQ(log.events[1], want + "m");
}

TEST(VtParser, UnknownSequencesAreConsumedWholeAndNothingOfThemPrinted) {
  Log log;
  VtParser p(log);
  Feed(p, "a\x1B[?1;2$z" "b\x1B]0;a title\x07" "c\x1B_apc\x1B\\" "d\x1B^pm\x1B\\" "e\x1BX" "sos\x1B\\" "f\x1B[1;2;3!!!x" "g");
  EXPECT_EQ(log.printed, "abcdefg");
  // CAN and SUB abort; a control inside a sequence runs and the sequence goes on.
  log = Log{};
  Feed(p, "\x1B[12\x18" "h\x1B(\x1A" "i\x1B[3\r;4H");
  EXPECT_EQ(log.printed, "hi");
  EXPECT_EQ(log.events, (std::vector<std::string>{"exec 13", "csi 3;4;H"}));
}

TEST(VtParser, HundredMegabyteDcsWithoutEndKeepsItsBound) {
  Log log;
  VtParser p(log);
  Feed(p, "\x1BP1|");
  const std::string chunk(64 * 1024, 'A');
  for (int i = 0; i < 1600; ++i) {
    Feed(p, chunk);
    ASSERT_LE(p.StringBytesKept(), kMaxStringLength);
  }
  Feed(p, "\x1B\\after");
  EXPECT_EQ(log.printed, "after");
  ASSERT_EQ(log.events.size(), 1u);
  EXPECT_NE(log.events[0].find("truncated"), std::string::npos);
  EXPECT_EQ(p.StringBytesKept(), 0u);
}

TEST(VtParser, EightBitControlsOnlyWhenAsked) {
  Log log;
  VtParser p(log);
  Feed(p, "\x9B" "5n\x84");
  EXPECT_EQ(log.printed, "\x9B" "5n\x84");
  log = Log{};
  p.SetC1Controls(true);
  Feed(p, "\x9B" "5n\x84\x80\x90" "0|x\x9C");
  EXPECT_EQ(log.printed, "\x80");
  EXPECT_EQ(log.events, (std::vector<std::string>{"csi 5;n", "esc D", "dcs 0|x"}));
}

TEST(VtParser, Vt52CursorAddressAndColonSubParameters) {
  Log log;
  VtParser p(log);
  p.SetVt52(true);
  Feed(p, "\x1BY%*\x1B" "A");
  p.SetVt52(false);
  Feed(p, "\x1B[38:5:196m");
  EXPECT_EQ(log.events, (std::vector<std::string>{"vt52 5,10", "esc A", "csi 38:5:196;m"}));
}
