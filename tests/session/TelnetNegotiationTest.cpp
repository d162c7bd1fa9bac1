// Negotiation against the scriptable test host: the scenarios check what the
// session sends, these tests what the session does.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace corvina;
using namespace corvina::test;

namespace {

struct HostRun {
  TestHost host;
  TestFrame frame;
  CHostSession* session = nullptr;

  HostRun(const char* scenario, std::shared_ptr<CCorvinaSessionProfile> profile,
          std::vector<std::string> options = {})
      : host(scenario, options) {
    EXPECT_TRUE(host.Ready()) << "the test host did not start";
    profile->port = host.Port();
    session = &frame.Start(profile);
  }
  bool Until(const std::function<bool()>& done) { return frame.RunUntil(done, 10000); }
  // Ends the session; the scenario's status tells whether it saw what it wanted.
  int Finish() {
    if (frame.Session()) frame.CloseSession(*frame.Session());
    frame.loop.RunOnce(std::chrono::milliseconds(0));
    return host.Wait();
  }
};

std::shared_ptr<CCorvinaSessionProfile> Profile3279(const std::string& lu = "") {
  auto p = ProfileFor(0, kKind3279);
  p->telnetTerminalType = "IBM-3278-2-E";
  p->luName = lu;
  return p;
}

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

}  // namespace

TEST(TelnetNegotiation, RefusedExtendedTypeFallsBackToA3278) {
  HostRun run("session/scenarios/ttype_fallback.py", Profile3279());
  ASSERT_TRUE(run.Until([&] { return run.session->Mode() == kKind3278; })) << run.host.Log();
  EXPECT_EQ(run.session->ConfiguredKind(), unsigned{kKind3278});
  EXPECT_EQ(run.session->Telnet().TerminalTypeString(), "IBM-3278-2");
  EXPECT_EQ(run.frame.engineLog.modes.back(), unsigned{kKind3278});
  EXPECT_EQ(run.Finish(), 0) << run.host.Log();
}

TEST(TelnetNegotiation, RejectedLusAreTriedInTurnThenTheExtendedProtocolEnds) {
  HostRun run("session/scenarios/lu_reject.py", Profile3279("LUA;LUB"));
  ASSERT_TRUE(run.Until([&] { return run.session->Mode() == kKind3279; })) << run.host.Log();
  EXPECT_EQ(run.session->Telnet().CorvinaEState(), unsigned{kCorvinaEOff});
  EXPECT_EQ(run.Finish(), 0) << run.host.Log();
  std::string sent = run.host.ClientHex();
  std::string requestA = Hex(B({0xFF, 0xFA, 0x28, 0x02, 0x07}) + "IBM-3278-2-E" + B({0x01}) + "LUA" + B({0xFF, 0xF0}));
  std::string requestB = Hex(B({0xFF, 0xFA, 0x28, 0x02, 0x07}) + "IBM-3278-2-E" + B({0x01}) + "LUB" + B({0xFF, 0xF0}));
  auto a = sent.find(requestA), b = sent.find(requestB), wont = sent.find("FF FC 28");
  ASSERT_NE(a, std::string::npos) << sent;
  ASSERT_NE(b, std::string::npos) << sent;
  ASSERT_NE(wont, std::string::npos) << sent;
  EXPECT_LT(a, b);
  EXPECT_LT(b, wont);
}

TEST(TelnetNegotiation, DecTypeRefusedOnceLosesItsPrefix) {
  auto p = ProfileFor(0, kKindVt220);
  p->telnetTerminalType = "DEC-VT220";
  HostRun run("session/scenarios/dec_refused.py", p);
  ASSERT_TRUE(run.Until([&] { return run.session->Telnet().TerminalTypeString() == "VT220"; }));
  EXPECT_EQ(run.Finish(), 0) << run.host.Log();
}

TEST(TelnetNegotiation, UnlistedSizeAsksForADynamicDeviceAndSendsItsWindowSize) {
  auto p = Profile3279();
  p->rows = 62;
  p->columns = 160;
  HostRun run("session/scenarios/dynamic.py", p);
  ASSERT_TRUE(run.Until([&] { return run.session->Mode() == kKind3279; })) << run.host.Log();
  EXPECT_EQ(run.session->Telnet().AssignedDeviceName(), "TERM0001");
  ASSERT_TRUE(run.Until([&] { return run.host.ClientHex().find("FF FA 1F 00 A0 00 3E FF F0") != std::string::npos; }))
      << run.host.Log();
  EXPECT_EQ(run.Finish(), 0) << run.host.Log();
}

TEST(TelnetNegotiation, LosingBinaryReturnsToLineModeAndRegainingItSwitchesBack) {
  HostRun run("session/scenarios/binary_toggle.py", Profile3279());
  ASSERT_TRUE(run.Until([&] { return run.session->Mode() == kKind3279; })) << run.host.Log();
  auto say = [&](std::string text) {
    text += B({0xFF, 0xEF});  // a record: END-OF-RECORD stays agreed
    run.session->SendRaw(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  };
  say("in 3270");
  ASSERT_TRUE(run.Until([&] { return run.session->Mode() == kKindLineMode; })) << run.host.Log();
  say("in line mode");
  ASSERT_TRUE(run.Until([&] { return run.session->Mode() == kKind3279; })) << run.host.Log();
  EXPECT_EQ(run.frame.engineLog.modes,
            (std::vector<unsigned>{kKindLineMode, kKind3279, kKindLineMode, kKind3279}));
  EXPECT_EQ(run.Finish(), 0) << run.host.Log();
}

TEST(TelnetNegotiation, ExtendedRecordsCarryHeadersAndSequenceNumbers) {
  HostRun run("session/scenarios/extended.py", Profile3279());
  ASSERT_TRUE(run.Until([&] { return !run.frame.engineLog.records.empty(); })) << run.host.Log();
  auto& telnet = run.session->Telnet();
  EXPECT_EQ(telnet.CorvinaEState(), unsigned{kCorvinaESscpLu});  // BIND-IMAGE agreed, no BIND yet
  EXPECT_EQ(telnet.CorvinaEFunctions(), 0x1Fu);
  // What a 3270 engine does with the record: take the header, answer it.
  const std::string& record = run.frame.engineLog.records[0];
  std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(record.data()), record.size());
  ASSERT_TRUE(telnet.TakeInboundHeader(bytes));
  EXPECT_EQ(telnet.InboundHeader().sequence, 0x00FF);
  EXPECT_EQ(bytes.size(), 2u);
  telnet.SendPositiveResponse();
  // Outbound 3270 data is numbered from 0; the 256th record carries 0x00FF.
  for (int i = 0; i < 256; ++i) {
    telnet.QueueHeader(telnet::kData3270, 0);
    const std::uint8_t body[] = {0x7D, 0x40, 0x40, telnet::IAC, telnet::EOR};
    run.session->QueueOutput(body);
  }
  run.session->FlushOutput();
  ASSERT_TRUE(run.Until([&] { return run.host.ClientHex().find("00 00 00 00 FF FF 7D 40 40 FF EF") != std::string::npos; }))
      << run.host.ClientHex().substr(0, 400);
  std::string sent = run.host.ClientHex();
  EXPECT_NE(sent.find("02 00 00 00 FF FF 00 FF EF"), std::string::npos);  // the response, 0x00FF doubled
  EXPECT_NE(sent.find("00 00 00 00 00 7D 40 40 FF EF"), std::string::npos);
  EXPECT_EQ(run.Finish(), 0) << run.host.Log();
}

// Turning the extended protocol off drops the BINARY and END-OF-RECORD it
// implied: the host's WILL END-OF-RECORD and WILL BINARY are answered again.
TEST(TelnetNegotiation, FallingBackFromTheExtendedProtocolNegotiatesBinaryAndRecordsAgain) {
  HostRun run("session/scenarios/extended_fallback.py", Profile3279());
  ASSERT_TRUE(run.Until([&] {
    return run.session->Telnet().CorvinaEState() == kCorvinaEOff && run.session->Mode() == kKind3279 &&
           run.host.ClientHex().find("FF FB 00") != std::string::npos;
  })) << run.host.Log();
  std::string sent = run.host.ClientHex();
  auto wont = sent.find("FF FC 28"), doEor = sent.find("FF FD 19"), doBinary = sent.find("FF FD 00");
  ASSERT_NE(wont, std::string::npos) << sent;
  ASSERT_NE(doEor, std::string::npos) << sent;
  ASSERT_NE(doBinary, std::string::npos) << sent;
  EXPECT_LT(wont, doEor);
  EXPECT_LT(wont, doBinary);
  EXPECT_EQ(run.Finish(), 0) << run.host.Log();
}

// A terminal type refused after the 3270 engine started restarts the engine
// as the plainer kind.
TEST(TelnetNegotiation, LateTerminalTypeFallbackRestartsTheEngineAsA3278) {
  HostRun run("session/scenarios/ttype_late_fallback.py", Profile3279());
  ASSERT_TRUE(run.Until([&] { return run.session->ConfiguredKind() == kKind3278; })) << run.host.Log();
  EXPECT_EQ(run.session->Mode(), unsigned{kKind3278});
  EXPECT_EQ(run.frame.engineLog.modes, (std::vector<unsigned>{kKindLineMode, kKind3279, kKind3278}));
  EXPECT_EQ(run.Finish(), 0) << run.host.Log();
}
