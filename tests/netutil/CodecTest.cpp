// The byte-level pieces of the network utilities: received-text cleaning,
// the saved-password code, POP3 reply lines, echo packets, dotted addresses.
#include <gtest/gtest.h>

#include "netutil/DnsLookup.h"
#include "netutil/OutputSink.h"
#include "netutil/Ping.h"
#include "netutil/Pop3.h"

using namespace corvina::netutil;

namespace {

std::span<const std::uint8_t> B(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

TEST(ReceivedText, LineEndsBecomeCrLfAcrossReadsAndControlsAreNeutralised) {
  ReceivedText t;
  EXPECT_EQ(t.Feed(B("one\r")), "one");  // the CR waits for the next read
  EXPECT_EQ(t.Feed(B("\ntwo\nthree\rfour")), "\r\ntwo\r\nthree\r\nfour");
  EXPECT_EQ(t.Feed(B("\x1b[2J\x07\tok\x7f")), "?[2J?\tok?");
  EXPECT_EQ(t.Feed(B("\r")), "");
  EXPECT_EQ(t.Finish(), "\r\n");
}

TEST(ReceivedText, Utf8StaysWholeAcrossReadsOtherBytesAreLatin1) {
  ReceivedText t;
  EXPECT_EQ(t.Feed(B("caf\xC3")), "caf");
  EXPECT_EQ(t.Feed(B("\xA9 ")), "\xC3\xA9 ");
  EXPECT_EQ(t.Feed(B("\xE9t\xE9")), "\xC3\xA9t");  // Latin-1 é, then a held lead byte
  EXPECT_EQ(t.Finish(), "\xC3\xA9");
  // A C1 control encoded in UTF-8 is a control too; an overlong form is not UTF-8.
  EXPECT_EQ(ReceivedText().Feed(B("\xC2\x9B" "x")), "?x");
  EXPECT_EQ(ReceivedText().Feed(B("\xC0\xAF")), "\xC3\x80\xC2\xAF");
  ReceivedText counted;
  counted.Feed(B("abc"));
  EXPECT_EQ(counted.Total(), 3u);
}

TEST(SavedPassword, GroupsOfSevenBase36DigitsRoundTrip) {
  // 'A' = 65 = 1 * 36 + 29.
  EXPECT_EQ(EncodePassword("A"), "AAAAAB3");
  EXPECT_EQ(EncodePassword("abcde").size(), 14u);
  for (std::string p : {"abcd", "abcdefgh", "secret", "p@ss w0rd!", "\xE9t\xE9"})
    EXPECT_EQ(DecodePassword(EncodePassword(p)), p) << p;
  // Characters beyond the last full group are ignored.
  EXPECT_EQ(DecodePassword("AAAAAB3ZZ"), "A");
  EXPECT_EQ(DecodePassword(""), "");
  // Not a digit of the code, or a group beyond 32 bits: not a password.
  EXPECT_EQ(DecodePassword("aaaaab3"), std::nullopt);
  EXPECT_EQ(DecodePassword("9999999"), std::nullopt);
}

TEST(Pop3Lines, RepliesAreAssembledIntoLinesAndCapped) {
  Pop3LineAssembler a;
  std::vector<std::string> lines;
  EXPECT_TRUE(a.Feed(B("+O"), &lines));
  EXPECT_TRUE(lines.empty());
  EXPECT_TRUE(a.Feed(B("K ready\r\n+OK\r\n-ERR no"), &lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"+OK ready", "+OK"}));
  EXPECT_TRUE(a.Feed(B("\n"), &lines));
  EXPECT_EQ(lines.back(), "-ERR no");
  EXPECT_FALSE(a.Feed(B(std::string(Pop3LineAssembler::kMaxLine + 1, 'x')), &lines));
  EXPECT_FALSE(a.Feed(B("\r\n"), &lines));

  EXPECT_EQ(JudgePop3Reply("+OK"), Pop3Reply::Ok);
  EXPECT_EQ(JudgePop3Reply("-ERR"), Pop3Reply::Err);
  EXPECT_EQ(JudgePop3Reply("+ok"), Pop3Reply::Other);
}

TEST(Pop3Lines, StatIsParsedStrictly) {
  EXPECT_EQ(ParseStatCount("+OK 3 96"), 3);
  EXPECT_EQ(ParseStatCount("+OK 0 0 mailbox"), 0);
  EXPECT_EQ(ParseStatCount("+OK 2147483647 1"), 2147483647);
  for (const char* bad : {"+OK", "+OK 3", "+OK3 96", "+OK -1 5", "+OK 3x 96", "+OK 2147483648 1", "+OK  3 96",
                          "+OK 3 96x", "-ERR 3 96", "+OK 99999999999999999999 1"})
    EXPECT_EQ(ParseStatCount(bad), std::nullopt) << bad;
}

TEST(Echo, DataAndRequestAreLaidOutByteForByte) {
  const auto data = EchoData(32, 0x1234, 7, 0x01020304);
  ASSERT_EQ(data.size(), 32u);
  const std::vector<std::uint8_t> head = {8, 0, data[2], data[3], 0x34, 0x12, 7, 0, 4, 3, 2, 1};
  EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.begin() + 12), head);
  for (std::size_t i = 12; i < data.size(); ++i) EXPECT_EQ(data[i], '!');
  // The checksum covers the whole block of data size + 12 bytes.
  std::vector<std::uint8_t> block(data);
  block.resize(44, '!');
  EXPECT_EQ(InternetChecksum(block), 0);

  const auto request = EchoRequest(0xBEEF, 0x0102, data);
  ASSERT_EQ(request.size(), 40u);
  EXPECT_EQ(std::vector<std::uint8_t>(request.begin(), request.begin() + 8),
            (std::vector<std::uint8_t>{8, 0, request[2], request[3], 0xBE, 0xEF, 0x01, 0x02}));
  EXPECT_EQ(InternetChecksum(request), 0);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), request.begin() + 8));
}

TEST(Echo, RepliesAreMatchedByTypeIdentifierAndSequence) {
  const auto data = EchoData(32, 1, 9, 0);
  auto reply = EchoRequest(0xBEEF, 9, data);
  reply[0] = 0;
  auto outcome = MatchEchoPacket(reply, false, 0, 9);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->status, kIpSuccess);
  EXPECT_EQ(outcome->dataBytes, 32);
  EXPECT_FALSE(MatchEchoPacket(reply, false, 0, 10));                 // another sequence
  EXPECT_FALSE(MatchEchoPacket(EchoRequest(0xBEEF, 9, data), false, 0, 9));  // our own request
  EXPECT_FALSE(MatchEchoPacket(std::span(reply).first(7), false, 0, 9));

  // A raw socket sees the IP header, and replies to other processes.
  std::vector<std::uint8_t> ip = {0x45, 0, 0, 0, 0, 0, 0, 0, 64, 1, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1};
  std::vector<std::uint8_t> raw(ip);
  raw.insert(raw.end(), reply.begin(), reply.end());
  EXPECT_TRUE(MatchEchoPacket(raw, true, 0xBEEF, 9));
  EXPECT_FALSE(MatchEchoPacket(raw, true, 0xBEEE, 9));
  raw[0] = 0x4F;  // a header longer than the packet
  EXPECT_FALSE(MatchEchoPacket(std::span(raw).first(40), true, 0xBEEF, 9));

  // An error quotes our request's IP header and first 8 bytes.
  std::vector<std::uint8_t> error(ip);
  for (std::uint8_t b : {3, 1, 0, 0, 0, 0, 0, 0}) error.push_back(b);
  error.insert(error.end(), ip.begin(), ip.end());
  const auto request = EchoRequest(0xBEEF, 9, data);
  error.insert(error.end(), request.begin(), request.begin() + 8);
  outcome = MatchEchoPacket(error, true, 0xBEEF, 9);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->status, kIpDestHostUnreachable);
  EXPECT_FALSE(MatchEchoPacket(error, true, 0xBEEF, 8));
  EXPECT_EQ(StatusOfIcmpError(3, 0), kIpDestNetUnreachable);
  EXPECT_EQ(StatusOfIcmpError(11, 0), kIpTtlExpiredTransit);
}

TEST(Dotted, OnlyFourDecimalNumbersAreAnAddress) {
  EXPECT_EQ(DottedDecimal(*ParseDottedDecimal("10.1.2.255")), "10.1.2.255");
  for (const char* no : {"127.1", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "1..2.3", "0x7f.0.0.1", "", "a.b.c.d",
                         "1.2.3.0004"})
    EXPECT_EQ(ParseDottedDecimal(no), std::nullopt) << no;
  EXPECT_EQ(DescribeLookup("10.7.7.7", {}), "Can't get \"10.7.7.7\" IP address.\r\n");
  EXPECT_EQ(DescribeLookup("nosuch", {}), "Can't get \"nosuch\" host entry.\r\n");
  HostEntry e{true, "host1.corvina.test", {*ParseDottedDecimal("10.1.2.3")}, {"www.corvina.test"}};
  EXPECT_EQ(DescribeLookup("www.corvina.test", e),
            "Official Name: host1.corvina.test\r\nIP Address: 10.1.2.3\r\nAlias: www.corvina.test\r\n");
}
