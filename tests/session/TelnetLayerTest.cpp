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
  Wire() {
    session = &frame.Start(ProfileFor(server.Port()));
    EXPECT_TRUE(frame.RunUntil([&] { return server.Accepted() == 1 && session->State() == kSocketConnected; }));
  }
  std::string Data() const {
    std::string all;
    for (const auto& r : frame.engineLog.records) all += r;
    return all;
  }
  void Send(const std::string& s) { server.Send(s); }
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
