// Write Structured Field: query replies byte for byte, Query List, Erase/Reset,
// Set Reply Mode, Outbound 3270DS, responses and malformed fields.
#include <gtest/gtest.h>

#include <fstream>

#include "Support3270.h"
#include "session/Oia.h"
#include "session/Telnet.h"

using namespace corvina;
using namespace corvina::test;

namespace {

Bytes Wsf(std::initializer_list<Bytes> fields) {
  Bytes r{0xF3};
  for (const Bytes& f : fields) r.insert(r.end(), f.begin(), f.end());
  return r;
}

// A structured field with its two length bytes in front.
Bytes Field(Bytes body) {
  std::size_t n = body.size() + 2;
  body.insert(body.begin(), {static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n & 0xFF)});
  return body;
}

const Bytes kQuery = Field({0x01, 0xFF, 0x02});

std::string HexOf(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return Hex(all);
}

const Bytes kSummary = {0x00, 0x0B, 0x81, 0x80, 0x80, 0x81, 0x85, 0x86, 0x87, 0x88, 0xA6};
const Bytes kColor = {0x00, 0x16, 0x81, 0x86, 0x00, 0x08, 0x00, 0xF4, 0xF1, 0xF1, 0xF2,
                      0xF2, 0xF3, 0xF3, 0xF4, 0xF4, 0xF5, 0xF5, 0xF6, 0xF6, 0xF7, 0xF7};
const Bytes kHighlighting = {0x00, 0x0F, 0x81, 0x87, 0x05, 0x00, 0xF0, 0xF1, 0xF1, 0xF2, 0xF2, 0xF4, 0xF4, 0xF8, 0xF8};
const Bytes kReplyModes = {0x00, 0x07, 0x81, 0x88, 0x00, 0x01, 0x02};

Bytes CharacterSets(std::uint8_t cs1, std::uint8_t cs2, std::uint8_t cp1, std::uint8_t cp2) {
  return {0x00, 0x14, 0x81, 0x85, 0x82, 0x00, 0x0D, 0x1D, 0x00, 0x00,
          0x00, 0x00, 0x07, 0x00, 0x00, 0x00, cs1,  cs2,  cp1,  cp2};
}

}  // namespace

TEST(QueryReply, Model2AnswersEveryReplyInOrder) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(Wsf({kQuery}));
  Bytes usable = {0x00, 0x17, 0x81, 0x81, 0x01, 0x00, 0x00, 0x50, 0x00, 0x18, 0x00, 0x00,
                  0x02, 0x00, 0x89, 0x00, 0x02, 0x00, 0x85, 0x09, 0x10, 0x07, 0x80};
  Bytes implicit = {0x00, 0x11, 0x81, 0xA6, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x00, 0x50, 0x00, 0x18,
                    0x00, 0x50, 0x00, 0x18};
  EXPECT_EQ(Hex(t.TakeSent()), HexOf({{0x88}, kSummary, usable, CharacterSets(0x02, 0xB9, 0x00, 0x25), kColor,
                                      kHighlighting, kReplyModes, implicit, {0xFF, 0xEF}}));
}

TEST(QueryReply, Model4AndAnotherCodePage) {
  Session3270 t({.rows = 43, .columns = 80});
  ASSERT_TRUE(t.Ready());
  t.S().Profile().terminalDisplayName = "IBM 3279-4 (43x80)";
  std::string dir = MakeTempDir();
  std::ofstream(dir + "/euro.cpg") << "CodePage\nName \"Euro\"\nCGCSGID 697 1140\nBegin\nEnd\n";
  t.S().Profile().codePageFile = dir + "/euro.cpg";
  t.S().ApplyProfile();
  t.Host(Wsf({kQuery}));
  std::string sent = Hex(t.TakeSent());
  // Usable Area: width 80, height 43, 3440 positions.
  EXPECT_NE(sent.find("00 17 81 81 01 00 00 50 00 2B 00 00 02 00 89 00 02 00 85 09 10 0D 70"), std::string::npos)
      << sent;
  EXPECT_NE(sent.find("00 11 81 A6 00 00 0B 01 00 00 50 00 18 00 50 00 2B"), std::string::npos) << sent;
  EXPECT_NE(sent.find(Hex(CharacterSets(0x02, 0xB9, 0x04, 0x74))), std::string::npos) << sent;
  std::system(("rm -rf '" + dir + "'").c_str());
}

TEST(QueryReply, QueryListSendsEachNamedReplyOnceOrTheNullReply) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(Wsf({Field({0x01, 0xFF, 0x03, 0x00, 0x85, 0x85, 0x81})}));
  std::string sent = Hex(t.TakeSent());
  std::string cs = Hex(CharacterSets(0x02, 0xB9, 0x00, 0x25));
  EXPECT_EQ(sent.rfind("88 " + cs + " 00 17 81 81", 0), 0u) << sent;
  EXPECT_EQ(sent.find(cs, 3 + cs.size()), std::string::npos);  // once

  t.Host(Wsf({Field({0x01, 0xFF, 0x03, 0x00, 0x8A})}));  // nothing it knows
  EXPECT_EQ(Hex(t.TakeSent()), "88 00 04 81 FF FF FF EF");  // the Null reply's 0xFF doubled
  t.Host(Wsf({Field({0x01, 0xFF, 0x03, 0xC0})}));
  EXPECT_EQ(Hex(t.TakeSent()), "88 00 04 81 FF FF FF EF");
  t.Host(Wsf({Field({0x01, 0xFF, 0x03, 0x80})}));  // "equivalent": everything
  EXPECT_EQ(Hex(t.TakeSent()).rfind("88 " + Hex(kSummary), 0), 0u);
}

TEST(QueryReply, A3278IsNotQueried) {
  Session3270 plain({.kind = kKind3278});
  ASSERT_TRUE(plain.Ready());
  plain.Host(Wsf({kQuery, Field({0x03, 0x80})}));
  EXPECT_EQ(Hex(plain.TakeSent()), "01 6C D9 10 03 FF EF");
  EXPECT_EQ(plain.S().Rows(), 24);  // the fields after the query were not processed
}

// An extended-protocol session bound to its LU, so 3270 data is processed.
struct Bound : Session3270 {
  Bound() : Session3270({.extended = true}) {
    if (Ready()) Host(Concat(Header(0x03), Bytes{0x31}));  // BIND-IMAGE (sizes from the profile)
    TakeSent();
  }
};

TEST(StructuredFields, OnePositiveResponseForSeveralFields) {
  Bound t;
  ASSERT_TRUE(t.Ready());
  t.Host(Concat(Header(0x00, telnet::kAlwaysResponse, 7),
                Wsf({Field({0x03, 0x00}), Field({0x09, 0x00, 0x02, 0x41, 0x42}), kQuery})));
  std::string sent = Hex(t.TakeSent());
  EXPECT_EQ(sent.rfind("02 00 00 00 07 00 FF EF 00 00 00 00 00 88 ", 0), 0u) << sent;
  EXPECT_EQ(sent.find("02 00 00 00 07", 10), std::string::npos) << sent;
  EXPECT_EQ(t.Ps().ReplyModeKind(), C3270PresentationSpace::kReplyCharacter);
  EXPECT_EQ(Hex(Bytes(t.Ps().ReplyModeTypes().begin(), t.Ps().ReplyModeTypes().end())), "41 42");
}

TEST(StructuredFields, EraseResetOutboundDataStreamAndShortFields) {
  Session3270 t({.rows = 27, .columns = 132});
  ASSERT_TRUE(t.Ready());
  t.Host(Wsf({Field({0x03, 0x80})}));
  EXPECT_EQ(t.S().Columns(), 132);
  t.Host(Wsf({Field({0x03, 0x00})}));
  EXPECT_EQ(t.S().Columns(), 80);
  Bytes write = HostRecord::Write(kWccRestore).Sba(0).Text("OUTBOUND");
  Bytes outbound{0x40, 0x00};
  outbound.insert(outbound.end(), write.begin(), write.end());
  t.Host(Wsf({Field(outbound)}));
  EXPECT_EQ(Trim(t.Row(0)), "OUTBOUND");
  // A Set Reply Mode without its mode byte, and an Outbound 3270DS without a
  // command, are left alone.
  t.Host(Wsf({Field({0x09, 0x00}), Field({0x40, 0x00})}));
  EXPECT_EQ(t.Ps().ReplyModeKind(), C3270PresentationSpace::kReplyField);
  EXPECT_TRUE(t.TakeSent().empty());
}

TEST(StructuredFields, LengthsTheRecordCannotHoldEndTheWalk) {
  Bound t;
  ASSERT_TRUE(t.Ready());
  // Length 2 (shorter than a header), then a field claiming more than is there.
  t.Host(Concat(Header(0x00, telnet::kErrorResponse, 3), Bytes{0xF3, 0x00, 0x02, 0x01}));
  EXPECT_EQ(Hex(t.TakeSent()), "02 00 01 00 03 02 FF EF");
  t.Host(Concat(Header(0x00, telnet::kErrorResponse, 4), Bytes{0xF3, 0x00, 0x40, 0x01, 0xFF, 0x02}));
  EXPECT_EQ(Hex(t.TakeSent()), "02 00 01 00 04 02 FF EF");
  // Length 0 reaches to the end of the record.
  t.Host(Concat(Header(0x00), Wsf({Bytes{0x00, 0x00, 0x01, 0xFF, 0x03, 0x00, 0x8A}})));
  EXPECT_EQ(Hex(t.TakeSent()), "00 00 00 00 00 88 00 04 81 FF FF FF EF");
}

TEST(StructuredFields, CharacterReplyModeAddsSetAttributeOrdersToReadModified) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccRestore).Sf(kUnprotectedMdt).Text("A").Sa(0x42, 0xF4).Text("B")
             .Sa(0x41, 0xF1).Text("C").Sa(0x42, 0x00).Sa(0x41, 0x00).Text("D"));
  t.Host(Wsf({Field({0x09, 0x00, 0x02, 0x41, 0x42})}));  // character mode: highlighting, colour
  t.TakeSent();
  t.E().ReadModified(0x7D);
  t.S().FlushOutput();
  // SBA to the field, then an SA before every character whose named
  // attributes differ from the character before it.
  EXPECT_EQ(Hex(t.TakeSent()), "7D 40 40 11 40 C1 C1 28 42 F4 C2 28 41 F1 C3 28 41 00 28 42 00 C4 FF EF");
  // Field mode again after a clear: no SA orders.
  t.Host(HostRecord::EraseWrite(kWccRestore).Sf(kUnprotectedMdt).Text("A").Sa(0x42, 0xF4).Text("B"));
  t.TakeSent();
  t.E().ReadModified(0x7D);
  t.S().FlushOutput();
  EXPECT_EQ(Hex(t.TakeSent()), "7D 40 40 11 40 C1 C1 C2 FF EF");
}

// Erase All Unprotected inside Outbound 3270DS is five bytes: no WCC follows.
TEST(StructuredFields, OutboundEraseAllUnprotectedWithoutWcc) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccRestore).Sf(kProtected).Text("KEEP").Sf(kUnprotectedMdt).Text("GONE")
             .Sf(kProtected));
  t.S().SetCursorPosition(100, false);
  t.Host(Wsf({Field({0x40, 0x00, 0x6F})}));
  EXPECT_EQ(Trim(t.Row(0)), " KEEP");
  EXPECT_EQ(t.S().Cursor(), 6);
  EXPECT_FALSE(t.Ps().Attribute(5) & 0x01);  // the MDT is reset
}

// Read Partition Read Modified is an operator read: it locks, leaves insert
// mode and starts the response clock.
TEST(StructuredFields, ReadPartitionReadModifiedIsAnOperatorRead) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccRestore).Sf(kUnprotected));
  t.S().SetInsertMode(true);
  t.TakeSent();
  t.Host(Wsf({Field({0x01, 0xFF, 0xF6})}));
  EXPECT_EQ(Hex(t.TakeSent()), "60 40 40 FF EF");
  EXPECT_EQ(t.S().LockReason(), kLockWaitingForHost);
  EXPECT_FALSE(t.S().InsertMode());
  EXPECT_TRUE(t.S().Responses().Running());
  t.Host(HostRecord::Write(kWccRestore));
  EXPECT_EQ(t.S().LockReason(), kUnlocked);
  EXPECT_FALSE(t.S().Responses().Running());
}
