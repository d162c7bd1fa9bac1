#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TestSupport.h"
#include "session/SessionTrace.h"

using namespace corvina;
using namespace corvina::test;

namespace {

std::string Status(const char* fmt, const std::string& host, int port) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, host.c_str(), port);
  return buf;
}

// Connects a session to a loopback server and waits until both ends are up.
struct Connected {
  TestFrame frame;
  LoopbackServer server{frame.loop};
  CHostSession* session = nullptr;

  explicit Connected(std::shared_ptr<CCorvinaSessionProfile> profile = nullptr) {
    if (!profile) profile = ProfileFor(server.Port());
    profile->port = server.Port();
    session = &frame.Start(profile);
    EXPECT_TRUE(frame.RunUntil([&] { return server.Accepted() == 1 && session->State() == kSocketConnected; }));
  }
};

}  // namespace

TEST(HostSessionConnect, RefusedPortShowsTheSocketErrorAndCloses) {
  TestFrame frame;
  int port = FreePort();
  frame.Start(ProfileFor(port));
  ASSERT_TRUE(frame.RunUntil([&] { return frame.closes == 1; }));
  ASSERT_EQ(frame.ui.boxes.size(), 1u);
  EXPECT_EQ(frame.ui.boxes[0].text, "Session 1: Socket error 10061: WSAECONNREFUSED");
  EXPECT_EQ(frame.ui.boxes[0].caption, "Corvina");
  EXPECT_TRUE(frame.HasStatus(Status("Trying to connect to %s port %d", "127.0.0.1", port)));
}

TEST(HostSessionConnect, UnresolvableHostIsUnreachable) {
  TestFrame frame;
  auto profile = ProfileFor(23);
  profile->host = "nosuch.invalid";
  frame.Start(profile);
  ASSERT_TRUE(frame.RunUntil([&] { return frame.closes == 1; }, 20000));
  ASSERT_EQ(frame.ui.boxes.size(), 1u);
  EXPECT_EQ(frame.ui.boxes[0].text, "Host nosuch.invalid port 23 is unreachable");
  EXPECT_EQ(frame.ui.statuses.back(), "Host nosuch.invalid port 23 is unreachable");
}

TEST(HostSessionConnect, StatusTextsTitleAndProfileUseCount) {
  auto profile = ProfileFor(0);
  profile->name = "prod";
  Connected c(profile);
  EXPECT_EQ(profile->connectedSessions, 1);
  EXPECT_EQ(c.session->Title(), "1: prod");
  profile->tallisShortName = 'B';
  EXPECT_EQ(c.session->Title(), "1[B]: prod");
  EXPECT_EQ(c.session->StatusText(), Status("Connected to %s port %d", "127.0.0.1", c.server.Port()));
  c.frame.CloseSession(*c.session);
  c.frame.loop.RunOnce(std::chrono::milliseconds(0));
  EXPECT_EQ(profile->connectedSessions, 0);
}

TEST(HostSessionConnect, NoTlsContextMeansSslInitializationFailed) {
  TestFrame frame;
  auto profile = ProfileFor(FreePort());
  profile->hostOptions |= kHostSecurityTlsV1;
  frame.Start(profile, nullptr);
  EXPECT_EQ(frame.closes, 1);
  EXPECT_EQ(frame.ui.statuses.back(), "SSL initialization failed.");
  ASSERT_EQ(frame.ui.boxes.size(), 1u);
  EXPECT_EQ(frame.ui.boxes[0].text, "SSL initialization failed.");
}

TEST(HostSessionReceive, LineModeShowsHostTextAndCommandsSplitAcrossBlocks) {
  TestFrame frame;
  frame.lineModeEngine = true;
  LoopbackServer server(frame.loop);
  auto& s = frame.Start(ProfileFor(server.Port()));
  ASSERT_TRUE(frame.RunUntil([&] { return server.Accepted() == 1 && s.State() == kSocketConnected; }));
  server.Send("Hello\r\nWorld\xFF");  // a command split across two blocks
  ASSERT_TRUE(frame.RunUntil([&] { return s.ScreenRows()[1].rfind("World", 0) == 0; }));
  EXPECT_TRUE(s.Telnet().Assembling());
  server.Send(std::string("\xFB\x01", 2) + "!");  // IAC WILL ECHO completes, then data
  ASSERT_TRUE(frame.RunUntil([&] { return server.Received() == std::string("\xFF\xFD\x01", 3); }));
  ASSERT_TRUE(frame.RunUntil([&] { return s.ScreenRows()[1].rfind("World!", 0) == 0; }));
  EXPECT_EQ(s.ScreenRows()[0].substr(0, 5), "Hello");
  EXPECT_EQ(s.ScreenRows()[0].size(), 80u);
}

TEST(HostSessionReceive, EscapedIacInARecordIsOneDataByte) {
  Connected c;
  c.session->SetMode(kKind3279);  // 3270 data goes to the record buffer
  c.server.Send(std::string("\x11\xFF\xFF\x22\xFF\x05", 6));
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.session->Record().size() >= 4; }));
  // IAC IAC is one 0xFF; IAC with a byte below EOR keeps both bytes.
  EXPECT_EQ(std::string(c.session->Record().begin(), c.session->Record().end()),
            std::string("\x11\xFF\x22\xFF\x05", 5));
  c.session->DeliverRecord();
  ASSERT_EQ(c.frame.engineLog.records.size(), 1u);
  EXPECT_EQ(c.frame.engineLog.records[0], std::string("\x11\xFF\x22\xFF\x05", 5));
  EXPECT_TRUE(c.session->Record().empty());
}

TEST(HostSessionReceive, EndlessRecordIsDroppedNotKept) {
  Connected c;
  c.session->SetMode(kKind3279);
  std::string chunk(1024 * 1024, 'A');
  for (int i = 0; i < 16; ++i) c.server.Send(chunk);
  c.server.Send("A");  // one byte past the limit, the last one sent
  ASSERT_TRUE(c.frame.RunUntil(
      [&] { return c.frame.HasStatus("A host record longer than 16777216 bytes was discarded"); }, 30000));
  EXPECT_LE(c.session->Record().size(), CHostSession::kMaxRecord);
  c.session->DeliverRecord();  // the end of the dropped record delivers nothing
  EXPECT_TRUE(c.frame.engineLog.records.empty());
  c.server.Send("BC");
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.session->Record().size() == 2; }));
}

TEST(HostSessionOutput, EscapingChunkingAndTrace) {
  struct Trace : SessionTraceSink {
    std::string sent, texts;
    void Entry(const TraceSource& s, std::span<const std::uint8_t> b, char kind) override {
      EXPECT_EQ(s.session, 1);
      if (kind == kTraceSent) sent.append(b.begin(), b.end());
      if (kind == kTraceText) texts += std::string(b.begin(), b.end()) + "\n";
    }
    void Keystroke(const TraceSource&, int, unsigned) override {}
  } trace;
  Connected c;
  c.session->SetTrace(&trace);
  const std::uint8_t data[] = {0x01, 0xFF, 0x02};
  c.session->QueueOutputEscaped(data);
  c.session->QueueOutput(data);
  EXPECT_EQ(c.session->QueuedOutput(), 7u);
  c.session->SetMaxChunk(2);
  c.session->FlushOutput();
  EXPECT_EQ(c.session->QueuedOutput(), 0u);
  const std::uint8_t nop[] = {0xFF, 0xF1};
  EXPECT_EQ(c.session->SendRaw(nop), 2u);
  std::string expected("\x01\xFF\xFF\x02\x01\xFF\x02\xFF\xF1", 9);
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.server.Received().size() == expected.size(); }));
  EXPECT_EQ(c.server.Received(), expected);
  EXPECT_EQ(trace.sent, expected);
  c.session->ShowStatus("hello");
  EXPECT_EQ(trace.texts, "hello\n");
  c.session->SetTrace(nullptr);
}

TEST(HostSessionOutput, NothingIsSentWhileNotConnected) {
  TestFrame frame;
  auto& s = frame.Start(ProfileFor(FreePort()));
  const std::uint8_t nop[] = {0xFF, 0xF1};
  EXPECT_EQ(s.SendRaw(nop), 0u);
  s.QueueOutput(nop);
  s.FlushOutput();
  EXPECT_EQ(s.QueuedOutput(), 0u);
}

TEST(HostSessionDisconnect, ReconnectCountdownThenNewConnection) {
  auto profile = ProfileFor(0);
  profile->hostOptions |= kHostReconnect;
  profile->reconnectDelay = 5;
  Connected c(profile);
  std::size_t before = c.frame.ui.statuses.size();
  c.server.CloseConnection();
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.session->ReconnectCountdown() == 5; }));
  for (int i = 0; i < 5; ++i) c.session->OnTick();
  EXPECT_EQ(c.frame.closes, 0);
  EXPECT_EQ(c.server.Accepted(), 1);
  std::vector<std::string> seen(c.frame.ui.statuses.begin() + static_cast<long>(before), c.frame.ui.statuses.end());
  std::string gone = "Session 1 disconnected by host 127.0.0.1. ";
  std::vector<std::string> expected = {gone};
  for (int n = 5; n >= 1; --n) expected.push_back(gone + "Seconds until automatic reconnect: " + std::to_string(n));
  expected.push_back(Status("Trying to connect to %s port %d", "127.0.0.1", c.server.Port()));
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(c.frame.ui.beeps.size(), 1u);
  c.session->OnTick();  // the new connection starts one tick later
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.server.Accepted() == 2 && c.session->State() == kSocketConnected; }));
  // The line-mode screen got the status line.
  EXPECT_GE(c.frame.engineLog.records.size(), 1u);
}

TEST(HostSessionDisconnect, AKeyDuringTheCountdownReconnectsAtOnce) {
  auto profile = ProfileFor(0);
  profile->hostOptions |= kHostReconnect;
  profile->reconnectDelay = 5;
  Connected c(profile);
  c.server.CloseConnection();
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.session->ReconnectCountdown() == 5; }));
  c.session->OnTick();
  c.session->OnCharacter('x');
  EXPECT_FALSE(c.session->ReconnectPending());
  EXPECT_EQ(c.session->StatusText(), Status("Trying to connect to %s port %d", "127.0.0.1", c.server.Port()));
  c.session->OnTick();
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.server.Accepted() == 2 && c.session->State() == kSocketConnected; }));
}

TEST(HostSessionDisconnect, WithoutReconnectOrWarningTheSessionCloses) {
  Connected c;
  c.frame.warn = false;
  c.server.CloseConnection();
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.frame.closes == 1; }));
  EXPECT_TRUE(c.frame.ui.boxes.empty());
  c.frame.loop.RunOnce(std::chrono::milliseconds(0));
  EXPECT_EQ(c.frame.Session(), nullptr);  // destroyed on a later turn
}

TEST(HostSessionDisconnect, WarningAsksAndYesReconnectsAtOnce) {
  Connected c;
  c.frame.ui.queued.push_back(platform::Answer::Yes);
  c.server.CloseConnection();
  ASSERT_TRUE(c.frame.RunUntil([&] { return !c.frame.ui.boxes.empty(); }));
  EXPECT_EQ(c.frame.ui.boxes[0].text, "Session 1 disconnected by host 127.0.0.1. Reconnect?");
  EXPECT_EQ(c.frame.ui.boxes[0].buttons, platform::Buttons::YesNo);
  EXPECT_EQ(c.frame.closes, 0);
  c.session->OnTick();
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.server.Accepted() == 2; }));
}

TEST(HostSessionDisconnect, WarningAnsweredNoCloses) {
  Connected c;
  c.server.CloseConnection();
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.frame.closes == 1; }));
  ASSERT_EQ(c.frame.ui.boxes.size(), 1u);
  EXPECT_EQ(c.frame.ui.boxes[0].answer, platform::Answer::No);
}

TEST(HostSessionClock, KeepAliveSendsNopEverySixtySecondsEvenWhileTyping) {
  auto profile = ProfileFor(0);
  profile->keepAliveInterval = 1;
  Connected c(profile);
  auto tick = [&](int seconds) {
    for (int i = 0; i < seconds; ++i) {
      c.frame.clock.AdvanceSeconds(1);
      c.session->OnTick();
      c.session->OnCharacter('a');  // typing does not delay the keep-alive
    }
    c.frame.loop.RunFor(std::chrono::milliseconds(30));
  };
  tick(59);
  EXPECT_EQ(c.server.Received(), "");
  tick(1);
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.server.Received() == "\xFF\xF1"; }));
  tick(59);
  EXPECT_EQ(c.server.Received(), "\xFF\xF1");
  tick(1);
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.server.Received() == "\xFF\xF1\xFF\xF1"; }));
}

TEST(HostSessionClock, NoKeepAliveWhenIntervalIsZero) {
  Connected c;
  for (int i = 0; i < 600; ++i) {
    c.frame.clock.AdvanceSeconds(1);
    c.session->OnTick();
  }
  c.frame.loop.RunFor(std::chrono::milliseconds(30));
  EXPECT_EQ(c.server.Received(), "");
}

TEST(HostSessionClock, ArmTickRunsOnceAfterItsTicks) {
  Connected c;
  int runs = 0;
  EXPECT_TRUE(c.session->ArmTick(2, [&] { ++runs; }));
  EXPECT_FALSE(c.session->ArmTick(1, [&] { runs += 100; }));  // one armed at a time
  c.session->OnTick();
  EXPECT_EQ(runs, 0);
  c.session->OnTick();
  EXPECT_EQ(runs, 1);
  c.session->OnTick();
  EXPECT_EQ(runs, 1);
}

TEST(HostSessionKeyboard, TypeAheadQueuesThreeRefusesTheFourthAndReplaysInOrder) {
  auto profile = ProfileFor(0);
  profile->typeAheadBufferSize = 4;
  Connected c(profile);
  c.session->SetLockReason(1);  // waiting for the host
  c.session->OnCharacter('a');
  c.session->OnKeyFunction(33012);
  c.session->OnCharacter('b');
  EXPECT_EQ(c.session->TypeAheadCount(), 3u);
  EXPECT_EQ(c.session->LockReason(), 1);
  c.session->OnCharacter('c');
  EXPECT_EQ(c.session->LockReason(), 4);  // "?+"
  EXPECT_EQ(c.session->TypeAheadCount(), 3u);
  EXPECT_TRUE(c.frame.engineLog.keys.empty());
  c.session->SetLockReason(0);
  c.session->RequestTypeAheadReplay();
  c.frame.loop.RunOnce(std::chrono::milliseconds(0));
  EXPECT_EQ(c.frame.engineLog.keys, (std::vector<int>{'a', 33012, 'b'}));
  EXPECT_FALSE(c.session->TypeAheadPending());
  EXPECT_FALSE(c.session->Replaying());
}

TEST(HostSessionKeyboard, TypeAheadOffOrDisabledRefusesEveryKey) {
  auto profile = ProfileFor(0);
  profile->typeAheadBufferSize = 0;
  Connected c(profile);
  EXPECT_FALSE(c.session->QueueTypeAhead(kTypeAheadCharacter, 'a'));
  profile->typeAheadBufferSize = 8;
  profile->keyboardOptions |= kKeyboardDisableTypeAhead;
  c.session->ApplyProfile();
  EXPECT_FALSE(c.session->QueueTypeAhead(kTypeAheadCharacter, 'a'));
}

TEST(HostSessionKeyboard, SessionLevelFunctionsDoNotReachTheEngine) {
  Connected c;
  auto& p = c.session->Profile();
  std::uint32_t before = p.displayOptions;
  c.session->OnKeyFunction(33307);  // cross-hair toggle
  EXPECT_EQ(p.displayOptions, before ^ kDisplayCrossHairNormal);
  EXPECT_TRUE(p.modified);
  EXPECT_EQ(c.frame.saves, 1);
  c.session->SetCursorPosition(81, false);  // row 1, column 1
  c.session->OnKeyFunction(33303);          // selection down
  c.session->OnKeyFunction(33305);          // selection right
  ASSERT_TRUE(c.session->SelectionActive());
  EXPECT_EQ(c.session->Selection().top, 1);
  EXPECT_EQ(c.session->Selection().bottom, 2);
  EXPECT_EQ(c.session->Selection().left, 1);
  EXPECT_EQ(c.session->Selection().right, 2);
  c.session->OnCharacter('z');  // typing clears the selection
  EXPECT_FALSE(c.session->SelectionActive());
  EXPECT_EQ(c.frame.engineLog.keys, std::vector<int>{'z'});
}

TEST(HostSessionKeyboard, DisabledKeyboardAndFileTransferBeep) {
  Connected c;
  c.session->SetKeyboardDisabled(true);
  EXPECT_EQ(c.session->OnKeyFunction(33012), 0);
  c.session->SetKeyboardDisabled(false);
  c.session->SetFileTransferRunning(true);
  c.session->OnKeyFunction(33012);
  EXPECT_EQ(c.frame.ui.beeps.size(), 2u);
  EXPECT_TRUE(c.frame.engineLog.keys.empty());
}

TEST(HostSessionGeometry, CursorWrapsAroundTheBufferBothWays) {
  Connected c;
  c.session->SetCursorPosition(24 * 80 + 5, false);
  EXPECT_EQ(c.session->Cursor(), 5);
  c.session->SetCursorPosition(-1, false);
  EXPECT_EQ(c.session->Cursor(), 24 * 80 - 1);
  c.session->SetCursorPosition(-3 * 24 * 80 - 2, false);
  EXPECT_EQ(c.session->Cursor(), 24 * 80 - 2);
}

TEST(HostSessionGeometry, SmallerAlternateSizeBecomesTheDefault) {
  TestFrame frame;
  auto profile = ProfileFor(FreePort());
  profile->rows = 20;
  profile->columns = 80;
  CHostSession s(2, profile,
                 SessionEnvironment{frame.loop, frame.ui, frame.clock, frame, nullptr});
  EXPECT_EQ(s.DefaultRows(), 20);
  EXPECT_EQ(s.Rows(), 20);
  profile->rows = 43;
  CHostSession big(3, profile, SessionEnvironment{frame.loop, frame.ui, frame.clock, frame, nullptr});
  EXPECT_EQ(big.DefaultRows(), 24);
  EXPECT_EQ(big.AlternateRows(), 43);
}

TEST(HostSessionModes, VtKindsStartInTheirKindOthersInLineMode) {
  TestFrame frame;
  auto& s = frame.Start(ProfileFor(FreePort(), kKindVt220));
  EXPECT_EQ(s.Mode(), unsigned{kKindVt220});
  frame.loop.RunFor(std::chrono::milliseconds(10));
  TestFrame other;
  auto& t = other.Start(ProfileFor(FreePort(), kKind3279));
  EXPECT_EQ(t.Mode(), unsigned{kKindLineMode});
  t.SetMode(kKindVt100);
  t.ResetToNvt();
  EXPECT_EQ(t.Mode(), unsigned{kKindVt100});  // VT modes stay
  t.SetMode(kKind3279);
  t.ResetToNvt();
  EXPECT_EQ(t.Mode(), unsigned{kKindLineMode});
  EXPECT_EQ(other.engineLog.starts, 3);
  EXPECT_EQ(other.engineLog.stops, 2);
}

// A connect the system refuses at once (no route to a broadcast address)
// reaches the session after Connect returned, through the normal path.
TEST(HostSessionConnect, ImmediateConnectFailureIsReportedAfterConnectReturns) {
  TestFrame frame;
  auto profile = ProfileFor(23);
  profile->host = "255.255.255.255";
  frame.Start(profile);
  EXPECT_EQ(frame.closes, 0);
  EXPECT_TRUE(frame.ui.boxes.empty());
  ASSERT_TRUE(frame.RunUntil([&] { return frame.closes == 1; }));
  ASSERT_EQ(frame.ui.boxes.size(), 1u);
  EXPECT_EQ(frame.ui.boxes[0].text.rfind("Host 255.255.255.255 port 23 is unreachable: Socket error 100", 0), 0u)
      << frame.ui.boxes[0].text;
}

// Keys queued for one mode or connection, the lock and a half-received
// record never outlive it.
TEST(HostSessionModes, ModeSwitchesAndReconnectsStartFromCleanState) {
  auto profile = ProfileFor(0, kKind3279);
  profile->typeAheadBufferSize = 8;
  Connected c(profile);
  CHostSession& s = *c.session;
  const char negotiation[] = "\xFF\xFA\x18\x01\xFF\xF0\xFF\xFB\x00\xFF\xFB\x19";  // TERMINAL-TYPE, BINARY, EOR
  c.server.Send(std::string(negotiation, sizeof negotiation - 1));
  ASSERT_TRUE(c.frame.RunUntil([&] { return s.Mode() == kKind3279; }));
  auto queueKeys = [&] {
    s.SetLockReason(kLockWaitingForHost);
    s.OnCharacter('a');
    s.OnKeyFunction(1234);
    EXPECT_EQ(s.TypeAheadCount(), 2u);
  };
  queueKeys();
  c.server.Send("half a record");
  ASSERT_TRUE(c.frame.RunUntil([&] { return s.Record().size() == 13; }));
  c.server.Send(std::string("\xFF\xFC\x00", 3));  // WONT BINARY: back to line mode
  ASSERT_TRUE(c.frame.RunUntil([&] { return s.Mode() == kKindLineMode; }));
  EXPECT_EQ(s.TypeAheadCount(), 0u);
  EXPECT_EQ(s.LockReason(), kUnlocked);
  EXPECT_TRUE(s.Record().empty());
  EXPECT_FALSE(s.Replaying());

  queueKeys();
  c.frame.ui.queued.push_back(platform::Answer::Yes);
  c.server.CloseConnection();
  ASSERT_TRUE(c.frame.RunUntil([&] { return !c.frame.ui.boxes.empty(); }));
  EXPECT_EQ(s.TypeAheadCount(), 0u);
  EXPECT_EQ(s.LockReason(), kUnlocked);
  s.OnTick();
  ASSERT_TRUE(c.frame.RunUntil([&] { return c.server.Accepted() == 2 && s.State() == kSocketConnected; }));
  c.frame.loop.RunFor(std::chrono::milliseconds(20));
  EXPECT_TRUE(c.frame.engineLog.keys.empty());  // nothing typed for the old host was replayed
}

// A hostile host repeating TERMINAL-TYPE SEND for a megabyte: the answers go
// out, but no engine is stopped and started for each.
TEST(HostSessionReceive, RepeatedTerminalTypeRequestsDoNotRestartTheEngine) {
  auto profile = ProfileFor(0, kKind3279);
  profile->telnetTerminalType = "IBM-3278-2-E";
  Connected c(profile);
  std::string flood;
  const std::string send = "\xFF\xFA\x18\x01\xFF\xF0";
  while (flood.size() < (1u << 20)) flood += send;
  const std::string bytes = flood;
  c.session->ProcessReceived(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  EXPECT_LE(c.frame.engineLog.starts, 2);
  EXPECT_EQ(c.session->QueuedOutput(), 0u);
  EXPECT_EQ(c.session->Telnet().TerminalTypeString(), "IBM-3278-2");
  EXPECT_EQ(c.session->State(), kSocketConnected);
}

// Output for a host that never reads is held up to the cap; then the
// session gives up with a status text instead of growing without end.
TEST(HostSessionOutput, AHostThatNeverReadsIsCutOffAtTheCap) {
  int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), len), 0);
  ASSERT_EQ(::listen(listener, 1), 0);  // never accepted, never read
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  TestFrame frame;
  frame.warn = false;
  CHostSession& s = frame.Start(ProfileFor(ntohs(addr.sin_port)));
  ASSERT_TRUE(frame.RunUntil([&] { return s.State() == kSocketConnected; }));
  const std::vector<std::uint8_t> chunk(1u << 20, 'x');
  for (int i = 0; i < 64 && frame.closes == 0; ++i) {
    s.SendRaw(chunk);
    ASSERT_LE(s.PendingOutput(), CHostSession::kMaxPendingOutput);
    frame.loop.RunFor(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(frame.closes, 1);
  EXPECT_TRUE(frame.HasStatus("Session 1 closed: host 127.0.0.1 stopped reading and more than 8 MB of output "
                              "waited for it"));
  ::close(listener);
}
