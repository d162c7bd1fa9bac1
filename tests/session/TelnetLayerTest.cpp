#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace corvina;
using namespace corvina::test;

namespace {

// A VT session on a loopback server: data reaches the engine as records.
struct Wire {
  TestFrame frame;
  LoopbackServer server{frame.loop};
  CHostSession* session;
  explicit Wire(unsigned kind = kKindVt100, const std::string& lu = "") {
    auto profile = ProfileFor(server.Port(), kind);
    profile->luName = lu;
    session = &frame.Start(profile);
    EXPECT_TRUE(frame.RunUntil([&] { return server.Accepted() == 1 && session->State() == kSocketConnected; }));
  }
  std::string Data() const {
    std::string all;
    for (const auto& r : frame.engineLog.records) all += r;
    return all;
  }
  void Send(const std::string& s) { server.Send(s); }
  // Sends host bytes and returns what the session answers.
  std::string Ask(const std::string& request, std::size_t atLeast = 1) {
    std::size_t before = server.Received().size();
    server.Send(request);
    frame.RunUntil([&] { return server.Received().size() >= before + atLeast; });
    frame.loop.RunFor(std::chrono::milliseconds(20));
    return server.Received().substr(before);
  }
  bool WaitData(const std::string& expected) {
    return frame.RunUntil([&] { return Data() == expected; });
  }
};

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

}  // namespace

TEST(TelnetLayer, AnswersOptionsByTheTablesForAVtSession) {
  Wire w;
  auto ask = [&](std::initializer_list<int> request, const std::string& answer) {
    std::size_t before = w.server.Received().size();
    w.Send(B(request));
    EXPECT_TRUE(w.frame.RunUntil([&] { return w.server.Received().size() >= before + answer.size(); }))
        << "no answer";
    w.frame.loop.RunFor(std::chrono::milliseconds(20));
    EXPECT_EQ(w.server.Received().substr(before), answer);
  };
  ask({0xFF, 0xFB, 0x00}, B({0xFF, 0xFE, 0x00}));  // WILL BINARY: a VT session refuses
  ask({0xFF, 0xFD, 0x00}, B({0xFF, 0xFC, 0x00}));  // DO BINARY
  ask({0xFF, 0xFB, 0x01}, B({0xFF, 0xFD, 0x01}));  // WILL ECHO
  ask({0xFF, 0xFB, 0x01}, "");                     // already on: no answer
  ask({0xFF, 0xFD, 0x01}, B({0xFF, 0xFC, 0x01}));  // DO ECHO while the host echoes
  ask({0xFF, 0xFB, 0x03}, B({0xFF, 0xFD, 0x03}));  // WILL SGA
  ask({0xFF, 0xFD, 0x18}, B({0xFF, 0xFB, 0x18}));  // DO TERMINAL-TYPE
  ask({0xFF, 0xFD, 0x1F}, B({0xFF, 0xFB, 0x1F, 0xFF, 0xFA, 0x1F, 0x00, 0x50, 0x00, 0x18, 0xFF, 0xF0}));
  ask({0xFF, 0xFD, 0x27}, B({0xFF, 0xFC, 0x27}));  // NEW-ENVIRON is for 5250 sessions
  ask({0xFF, 0xFD, 0x28}, B({0xFF, 0xFC, 0x28}));  // CorvinaE is for 3270 sessions
  ask({0xFF, 0xFD, 0x63}, B({0xFF, 0xFC, 0x63}));  // unknown option
  ask({0xFF, 0xFC, 0x01}, B({0xFF, 0xFE, 0x01}));  // WONT ECHO turns it off
  ask({0xFF, 0xFD, 0x03}, B({0xFF, 0xFB, 0x03}));  // DO SGA
  ask({0xFF, 0xFE, 0x03}, B({0xFF, 0xFC, 0x03}));  // DONT SGA turns ours off
  ask({0xFF, 0xFE, 0x03}, "");                     // already off: no answer
  ask({0xFF, 0xFA, 0x21, 0x01, 0xFF, 0xF0}, "");   // LFLOW state
  EXPECT_EQ(w.session->Telnet().FlowControl(), 1);
}

TEST(TelnetLayer, SubnegotiationEndsAtSeAfterAnOddRunOfIacs) {
  Wire w;
  // Empty five-byte subnegotiation.
  w.Send(B({0xFF, 0xFA, 0x18, 0xFF, 0xF0}) + "a");
  ASSERT_TRUE(w.WaitData("a"));
  // A doubled 0xFF right before the end: FF FF FF F0.
  w.Send(B({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xFF, 0xFF, 0xF0}) + "b");
  ASSERT_TRUE(w.WaitData("ab"));
  // An escaped 0xFF followed by an SE data byte does not end it.
  w.Send(B({0xFF, 0xFA, 0x18, 0xFF, 0xFF, 0xF0, 'z', 0xFF, 0xF0}) + "c");
  ASSERT_TRUE(w.WaitData("abc"));
}

TEST(TelnetLayer, OverlongSubnegotiationIsDroppedAndScanningGoesOn) {
  Wire w;
  std::string sb = B({0xFF, 0xFA, 0x18}) + std::string(5000, 'x') + B({0xFF, 0xFF}) +
                   std::string(3000, 'y') + B({0xFF, 0xF0});
  w.Send(sb + "ok");
  ASSERT_TRUE(w.WaitData("ok"));
  EXPECT_FALSE(w.session->Telnet().Assembling());
}

TEST(TelnetLayer, DataEscapesReachTheVtParser) {
  Wire w;
  // IAC IAC is a 0xFF data byte; IAC and a byte below EOR gives that byte.
  w.Send("a" + B({0xFF, 0xFF}) + "b" + B({0xFF, 0x41}) + "c" + B({0xFF, 0xF1, 0xFF, 0xEF}) + "d");
  ASSERT_TRUE(w.WaitData("a\xFF" "bAcd"));
}

TEST(TelnetLayer, NewEnvironNamesDevicesInTurnAndRepeatsTheLast) {
  Wire w(kKind5250, "DEV1,DEV2");
  EXPECT_EQ(w.Ask(B({0xFF, 0xFD, 0x27})), B({0xFF, 0xFB, 0x27}));
  // USERVAR DEVNAME, USERVAR IBMRSEED+seed, VAR alone, USERVAR alone (send all).
  std::string request = B({0xFF, 0xFA, 0x27, 0x01, 0x03}) + "DEVNAME" + B({0x03}) + "IBMRSEED" +
                        "ABCDEFGH" + B({0x00, 0x03, 0xFF, 0xF0});
  EXPECT_EQ(w.Ask(request), B({0xFF, 0xFA, 0x27, 0x00, 0x03}) + "DEVNAME" + B({0x01}) + "DEV1" + B({0x03}) +
                                "IBMRSEED" + B({0x01, 0x03}) + "DEVNAME" + B({0x01}) + "DEV2" + B({0xFF, 0xF0}));
  std::string again = B({0xFF, 0xFA, 0x27, 0x01, 0x00}) + "USER" + B({0x03}) + "DEVNAME" + B({0xFF, 0xF0});
  EXPECT_EQ(w.Ask(again), B({0xFF, 0xFA, 0x27, 0x00, 0x00}) + "USER" + B({0x01, 0x03}) + "DEVNAME" + B({0x01}) +
                              "DEV2" + B({0xFF, 0xF0}));
}

TEST(TelnetLayer, NewEnvironIsRefusedWithoutADeviceName) {
  Wire w(kKind5250);
  EXPECT_EQ(w.Ask(B({0xFF, 0xFD, 0x27})), B({0xFF, 0xFC, 0x27}));
}

TEST(TelnetLayer, AttnSysReqAndTestRequestBytesWithoutTheExtendedProtocol) {
  Wire w(kKind3279);
  auto& t = w.session->Telnet();
  t.SendAttn();
  EXPECT_FALSE(t.SendSysReq());
  t.SendTestRequest();
  t.SendNegativeResponse(telnet::kReasonCommandReject);
  t.SendNegativeResponse(telnet::kReasonOperationCheck);
  std::string expected = B({0xFF, 0xF3, 0xFF, 0xF4, 0x01, 0x6C, 0x61, 0x02, 0x03, 0xFF, 0xEF,
                            0x01, 0x6C, 0xD9, 0x10, 0x03, 0xFF, 0xEF, 0x01, 0x6C, 0xD9, 0x10, 0x05, 0xFF, 0xEF});
  ASSERT_TRUE(w.frame.RunUntil([&] { return w.server.Received().size() >= expected.size(); }));
  EXPECT_EQ(w.server.Received(), expected);
  EXPECT_TRUE(w.frame.ui.boxes.empty());
}

TEST(TelnetLayer, KeyStringsComeFromTheSettingsAndBadOnesAreReported) {
  Wire w(kKind3279);
  w.frame.settings.SetString("3270", "AttnKeyString", "FFF4FFF0");
  w.frame.settings.SetString("3270", "SysreqKeyString", "FFZ");
  w.session->Telnet().SendAttn();
  w.session->Telnet().SendSysReq();
  std::string expected = B({0xFF, 0xF4, 0xFF, 0xF0, 0xFF, 0xF4});
  ASSERT_TRUE(w.frame.RunUntil([&] { return w.server.Received().size() >= expected.size(); }));
  EXPECT_EQ(w.server.Received(), expected);
  ASSERT_EQ(w.frame.ui.boxes.size(), 1u);
  EXPECT_EQ(w.frame.ui.boxes[0].text, "3270 Sysreq key string 'FFZ' is invalid - using default (FFF4)");
}

TEST(TelnetLayer, ExtendedProtocolBoundsWhatTheHostSends) {
  Wire w(kKind3279);
  EXPECT_EQ(w.Ask(B({0xFF, 0xFD, 0x28})), B({0xFF, 0xFB, 0x28}));
  EXPECT_EQ(w.Ask(B({0xFF, 0xFA, 0x28, 0x08, 0x02, 0xFF, 0xF0})),
            B({0xFF, 0xFA, 0x28, 0x02, 0x07}) + "IBM-3278-2-E" + B({0xFF, 0xF0}));
  // A device name far longer than any LU name is cut, not kept whole.
  std::string is = B({0xFF, 0xFA, 0x28, 0x02, 0x04}) + "IBM-3278-2-E" + B({0x01}) + std::string(300, 'N') +
                   B({0xFF, 0xF0});
  EXPECT_EQ(w.Ask(is), B({0xFF, 0xFA, 0x28, 0x03, 0x07, 0x00, 0x02, 0x04, 0x01, 0x03, 0xFF, 0xF0}));
  EXPECT_EQ(w.session->Telnet().AssignedDeviceName(), std::string(CTelnetLayer::kMaxDeviceName, 'N'));
  // The host asks for fewer functions and an unknown one: the known ones go back as REQUEST.
  EXPECT_EQ(w.Ask(B({0xFF, 0xFA, 0x28, 0x03, 0x07, 0x02, 0x09, 0xFF, 0xF0})),
            B({0xFF, 0xFA, 0x28, 0x03, 0x07, 0x02, 0xFF, 0xF0}));
  EXPECT_EQ(w.session->Telnet().CorvinaEState(), unsigned{kCorvinaEFunctions});
  w.Ask(B({0xFF, 0xFA, 0x28, 0x03, 0x04, 0x02, 0xFF, 0xF0}), 0);
  EXPECT_EQ(w.session->Telnet().CorvinaEState(), unsigned{kCorvinaELuLu});  // no BIND-IMAGE agreed
  EXPECT_EQ(w.session->Telnet().CorvinaEFunctions(), 0x04u);
  // A record shorter than its header is not read past its end.
  const std::uint8_t shortRecord[] = {0x00, 0x00, 0x02};
  std::span<const std::uint8_t> r(shortRecord);
  EXPECT_FALSE(w.session->Telnet().TakeInboundHeader(r));
  EXPECT_EQ(r.size(), 3u);
  // Any message it does not expect ends the extended protocol.
  EXPECT_EQ(w.Ask(B({0xFF, 0xFA, 0x28, 0x02, 0x04, 0xFF, 0xF0})), B({0xFF, 0xFC, 0x28}));
  EXPECT_EQ(w.session->Telnet().CorvinaEState(), unsigned{kCorvinaEOff});
  EXPECT_FALSE(w.session->Telnet().TerminalTypeSent());
}

namespace {

// Sends one negotiation and returns what the session answers within a while.
std::string Answer(Wire& w, std::initializer_list<int> request) {
  std::size_t before = w.server.Received().size();
  w.Send(B(request));
  w.frame.loop.RunFor(std::chrono::milliseconds(60));
  return w.server.Received().substr(before);
}

}  // namespace

// An option already on is not agreed again, an option already off is not
// refused again: two such peers cannot loop, and a running session is not
// reset by a host that repeats itself.
TEST(TelnetLayer, RepeatedAgreementsAndRefusalsOfOffOptionsGetNoAnswer) {
  Wire w;
  EXPECT_EQ(Answer(w, {0xFF, 0xFD, 0x18}), B({0xFF, 0xFB, 0x18}));  // DO TERMINAL-TYPE
  EXPECT_EQ(Answer(w, {0xFF, 0xFD, 0x18}), "");
  EXPECT_EQ(Answer(w, {0xFF, 0xFD, 0x21}), B({0xFF, 0xFB, 0x21}));  // DO LFLOW
  EXPECT_EQ(Answer(w, {0xFF, 0xFD, 0x21}), "");
  EXPECT_EQ(Answer(w, {0xFF, 0xFB, 0x18}), B({0xFF, 0xFD, 0x18}));  // WILL TERMINAL-TYPE
  EXPECT_EQ(Answer(w, {0xFF, 0xFB, 0x18}), "");
  EXPECT_EQ(Answer(w, {0xFF, 0xFE, 0x18}), B({0xFF, 0xFC, 0x18}));  // DONT TERMINAL-TYPE turns it off
  EXPECT_EQ(Answer(w, {0xFF, 0xFE, 0x18}), "");
  EXPECT_EQ(Answer(w, {0xFF, 0xFC, 0x63}), "");  // WONT and DONT of options that are off
  EXPECT_EQ(Answer(w, {0xFF, 0xFE, 0x63}), "");
  EXPECT_EQ(Answer(w, {0xFF, 0xFE, 0x06}), "");
  EXPECT_EQ(Answer(w, {0xFF, 0xFE, 0x1F}), "");
  EXPECT_EQ(Answer(w, {0xFF, 0xFC, 0x28}), "");
  EXPECT_EQ(Answer(w, {0xFF, 0xFD, 0x06}), B({0xFF, 0xFB, 0x06}));  // a timing mark is answered each time
  EXPECT_EQ(Answer(w, {0xFF, 0xFD, 0x06}), B({0xFF, 0xFB, 0x06}));

  // A repeated DO of the extended protocol leaves the agreed session alone.
  Wire e(kKind3279);
  EXPECT_EQ(Answer(e, {0xFF, 0xFD, 0x28}), B({0xFF, 0xFB, 0x28}));
  Answer(e, {0xFF, 0xFA, 0x28, 0x08, 0x02, 0xFF, 0xF0});                    // SEND DEVICE-TYPE
  Answer(e, {0xFF, 0xFA, 0x28, 0x02, 0x04, 'X', 0x01, 'T', 0xFF, 0xF0});    // DEVICE-TYPE IS
  Answer(e, {0xFF, 0xFA, 0x28, 0x03, 0x04, 0x00, 0x02, 0xFF, 0xF0});        // FUNCTIONS IS
  ASSERT_EQ(e.session->Telnet().CorvinaEState(), unsigned{kCorvinaESscpLu});
  ASSERT_EQ(e.session->Mode(), unsigned{kKind3279});
  const int starts = e.frame.engineLog.starts;
  EXPECT_EQ(Answer(e, {0xFF, 0xFD, 0x28}), "");
  EXPECT_EQ(Answer(e, {0xFF, 0xFB, 0x28}), B({0xFF, 0xFD, 0x28}));
  EXPECT_EQ(Answer(e, {0xFF, 0xFB, 0x28}), "");
  EXPECT_EQ(e.session->Telnet().CorvinaEState(), unsigned{kCorvinaESscpLu});
  EXPECT_EQ(e.frame.engineLog.starts, starts);
}

// IAC SB IAC SE is an empty subnegotiation; one longer than the command
// buffer is dropped whole and said so. The data after either is kept.
TEST(TelnetLayer, EmptyAndOverlongSubnegotiationsEndAndDataGoesOn) {
  Wire w;
  w.Send(B({0xFF, 0xFA, 0xFF, 0xF0}) + "a");
  EXPECT_TRUE(w.WaitData("a")) << w.Data();
  w.Send(B({0xFF, 0xFA, 0x18}) + std::string(4000, 'x') + B({0xFF, 0xF0}) + "b");
  EXPECT_TRUE(w.WaitData("ab")) << w.Data();
  EXPECT_TRUE(w.frame.HasStatus("A Telnet subnegotiation longer than 1024 bytes was discarded"));
}
