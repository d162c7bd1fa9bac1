// The records a display sends: Read Modified after an AID key or on the
// host's request, short reads, Read Buffer in each reply mode, SSCP-LU and
// NVT input, with and without the extended protocol's header.
#include <gtest/gtest.h>

#include "Support3270.h"
#include "ibm3270/DataStream.h"
#include "keyboard/KeyFunctions.h"
#include "session/Oia.h"

using namespace corvina;
using namespace corvina::test;
namespace k = corvina::kf::ibm3270;

namespace {

const Bytes kEor{0xFF, 0xEF};

struct Extended : Session3270 {
  Extended() : Session3270(SessionOptions{.extended = true}) {}
  void Bind() {
    Bytes bind(25, 0);
    bind[0] = 0x31;
    bind[20] = 24, bind[21] = 80, bind[22] = 24, bind[23] = 80, bind[24] = 0x7E;
    Host(Concat(Header(3), bind));
  }
};

// A logon-like screen: a protected label, an input field at 10, a
// protected label, an input field at 90.
HostRecord Form() {
  return std::move(HostRecord::EraseWrite(kWccRestore)
                       .Sf(kProtected).Text("USER").Sf(kUnprotected).Ic()
                       .Sba(80).Sf(kProtected).Text("CODE").Sf(kUnprotected)
                       .Sba(160).Sf(kProtected));
}

void Type(Session3270& t, std::string_view text) {
  for (char c : text) t.S().OnCharacter(static_cast<unsigned char>(c));
}

}  // namespace

TEST(Inbound, EnterSendsAidCursorAndModifiedField) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(Form());
  t.TakeSent();
  Type(t, "HELLO");
  EXPECT_EQ(t.S().Cursor(), 11);
  t.S().OnKeyFunction(k::kEnter);
  // AID, cursor 11, SBA 6, the field's text.
  EXPECT_EQ(Hex(t.TakeSent()), Hex(Concat(Bytes{0x7D, 0x40, 0x4B, 0x11, 0x40, 0xC6, 0xC8, 0xC5, 0xD3, 0xD3, 0xD6},
                                          kEor)));
  EXPECT_EQ(t.S().LockReason(), kLockWaitingForHost);
  EXPECT_EQ(t.E().CurrentAid(), 0x7D);
  EXPECT_EQ(t.E().OiaLine().substr(8, 7), "X ENTER");
  // Nothing modified: only the AID and the cursor address.
  t.Host(Form());
  t.TakeSent();
  t.S().OnKeyFunction(k::kPF3);
  EXPECT_EQ(Hex(t.TakeSent()), Hex(Concat(Bytes{0xF3, 0x40, 0xC6}, kEor)));
  EXPECT_EQ(t.E().OiaLine().substr(8, 5), "X PF3");
}

TEST(Inbound, ExtendedHeaderPrecedesTheRecord) {
  Extended t;
  ASSERT_TRUE(t.Ready());
  t.Bind();
  t.Host(Concat(Header(0), Form()));
  t.TakeSent();
  Type(t, "HELLO");
  t.S().OnKeyFunction(k::kEnter);
  EXPECT_EQ(Hex(t.TakeSent()),
            Hex(Concat(Concat(Header(0), Bytes{0x7D, 0x40, 0x4B, 0x11, 0x40, 0xC6, 0xC8, 0xC5, 0xD3, 0xD3, 0xD6}),
                       kEor)));
}

TEST(Inbound, NullsWrapAndGraphicEscape) {
  Session3270 t({.terminalOptions = kTermNullSpace});
  ASSERT_TRUE(t.Ready());
  // A modified field with an inner null, trailing nulls and a line-drawing
  // character; the last field wraps past the end of the buffer.
  t.Host(HostRecord::EraseWrite(kWccNone)
             .Sba(5).Sf(kUnprotectedMdt).Text("A").Byte(0x00).Ge(0x85).Text("B")
             .Sba(15).Sf(kProtected)
             .Sba(1915).Sf(kUnprotectedMdt).Text("WXYZ").Text("ST"));
  t.TakeSent();
  t.E().ReadModified(0x7D);
  t.S().FlushOutput();
  EXPECT_EQ(Hex(t.TakeSent()), Hex(Concat(Bytes{0x7D, 0x40, 0x40,
                                                0x11, 0x40, 0xC6, 0xC1, 0x40, 0x08, 0x85, 0xC2,
                                                0x11, 0x5D, 0x7C, 0xE6, 0xE7, 0xE8, 0xE9, 0xE2, 0xE3},
                                          kEor)));
  EXPECT_EQ(t.S().LockReason(), kUnlocked);  // a host-requested read does not lock
}

TEST(Inbound, NullsLeftOutWithoutTheOption) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sf(kUnprotectedMdt).Text("A").Byte(0x00).Text("B").Sba(10).Sf(kProtected));
  t.TakeSent();
  t.E().ReadModified(0x7D);
  t.S().FlushOutput();
  EXPECT_EQ(Hex(t.TakeSent()), Hex(Concat(Bytes{0x7D, 0x40, 0x40, 0x11, 0x40, 0xC1, 0xC1, 0xC2}, kEor)));
}

TEST(Inbound, ReadBufferOfAFullScreen) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sf(kProtected).Text("AB").Sba(1919).Ge(0xC5).Data());
  t.TakeSent();
  t.E().ReadBuffer(0x60);
  t.S().FlushOutput();
  Bytes sent = t.TakeSent();
  ASSERT_EQ(sent.size(), 3u + 2 + 1919 + 1 + 2);  // AID, cursor, SF pair, 1918 + GE pair, EOR
  EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + 7)), "60 40 40 1D 60 C1 C2");
  EXPECT_EQ(sent[7], 0x00);  // nulls are sent
  EXPECT_EQ(Hex(Bytes(sent.end() - 4, sent.end())), "08 C5 FF EF");

  // Extended field mode: SFE with the attribute pair (none for 0x40) and
  // the colour; character mode adds SA orders where attributes change.
  t.Host(HostRecord::EraseWrite(kWccNone)
             .Sfe({{0xC0, 0x60}, {0x42, 0xF2}}).Text("A")
             .Sfe({{0xC0, 0x40}}).Sa(0x42, 0xF4).Text("B").Sa(0x42, 0x00).Text("C")
             .Sba(1919).Sf(kProtected));
  t.TakeSent();
  t.Host({0xF3, 0x00, 0x05, 0x09, 0x00, 0x01});  // Set Reply Mode: extended field
  t.E().ReadBuffer(0x60);
  t.S().FlushOutput();
  sent = t.TakeSent();
  EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + 15)), "60 40 40 29 02 C0 60 42 F2 C1 29 00 C2 C3 00");
  t.Host({0xF3, 0x00, 0x06, 0x09, 0x00, 0x02, 0x42});  // character mode, foreground
  t.E().ReadBuffer(0x60);
  t.S().FlushOutput();
  sent = t.TakeSent();
  EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + 21)),
            "60 40 40 29 02 C0 60 42 F2 C1 29 00 28 42 F4 C2 28 42 00 C3 00");
}

TEST(Inbound, ShortReadsAndClear) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(Form());
  Type(t, "X");
  t.TakeSent();
  t.S().OnKeyFunction(k::kPA2);
  EXPECT_EQ(Hex(t.TakeSent()), "6E FF EF");
  EXPECT_EQ(t.E().OiaLine().substr(8, 5), "X PA2");
  t.Host(HostRecord::Write(kWccRestore));
  t.S().OnKeyFunction(k::kClear);
  EXPECT_EQ(Hex(t.TakeSent()), "6D FF EF");
  EXPECT_EQ(Trim(t.Row(0)), "");
}

TEST(Inbound, SscpLuInputAndMinusFunction) {
  Extended t;
  ASSERT_TRUE(t.Ready());
  t.Host(Concat(Header(7), HostRecord(0xC8).Text("I").Byte(0x15).Data()));  // "HI", new line
  t.TakeSent();
  Type(t, "LOGON");
  EXPECT_EQ(t.Ps().sscpEnd, 85);
  t.S().OnKeyFunction(k::kEnter);
  EXPECT_EQ(Hex(t.TakeSent()), Hex(Concat(Concat(Header(7), Bytes{0xD3, 0xD6, 0xC7, 0xD6, 0xD5}), kEor)));
  EXPECT_EQ(t.S().LockReason(), kUnlocked);
  // An AID key outside LU-LU: refused with "-f" (locking with the option).
  t.S().Profile().keyboardOptions |= kKeyboardLockOnError;
  t.S().OnKeyFunction(k::kPA2);
  EXPECT_TRUE(t.TakeSent().empty());
  EXPECT_EQ(t.E().OiaLine().substr(8, 4), "X -f");
}

TEST(Inbound, NvtLineBuffer) {
  Extended t;
  ASSERT_TRUE(t.Ready());
  t.Bind();
  t.Host(Concat(Header(5), Bytes{'>', ' '}));
  ASSERT_EQ(t.S().Telnet().CorvinaEState(), kCorvinaENvt);
  t.TakeSent();
  Type(t, "lsx");
  t.S().OnKeyFunction(k::kBackspace);
  EXPECT_EQ(t.E().NvtLine(), "ls");
  EXPECT_EQ(Trim(t.Row(0)), "> ls");
  t.S().OnKeyFunction(k::kEnter);
  EXPECT_EQ(Hex(t.TakeSent()), Hex(Concat(Concat(Header(5), Bytes{'l', 's', '\r', '\n'}), kEor)));
  EXPECT_EQ(t.E().NvtLine(), "");
  EXPECT_EQ(t.S().Cursor(), 80);
}


// Attributes the host wrote without their graphic bits are read back in the
// coded form a 3270 sends: 0x01 as 0xC1, 0x20 as 0x60.
TEST(Inbound, ReadBufferSendsAttributesInTheirCodedForm) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sf(0x01).Sba(5).Sf(0x20).Sba(10).Sfe({{0xC0, 0x08}}));
  t.TakeSent();
  t.E().ReadBuffer(0x60);
  t.S().FlushOutput();
  Bytes sent = t.TakeSent();
  ASSERT_GE(sent.size(), 12u);
  EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + 5)), "60 40 40 1D C1");
  EXPECT_EQ(Hex(Bytes(sent.begin() + 7, sent.begin() + 12)), "00 00 1D 60 00");
  // Extended field mode: the 0xC0 pair carries the coded form too.
  t.Host(Bytes{0xF3, 0x00, 0x05, 0x09, 0x00, 0x01});  // Set Reply Mode: extended field
  t.TakeSent();
  t.E().ReadBuffer(0x60);
  t.S().FlushOutput();
  sent = t.TakeSent();
  ASSERT_GE(sent.size(), 8u);
  EXPECT_EQ(Hex(Bytes(sent.begin(), sent.begin() + 7)), "60 40 40 29 01 C0 C1");
}
