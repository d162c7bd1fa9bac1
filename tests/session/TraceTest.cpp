#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "TestSupport.h"
#include "codepage/CodePage.h"
#include "keyboard/KeyFunctions.h"
#include "session/SessionTrace.h"

using namespace corvina;
using namespace corvina::test;

namespace {

// 2023-11-14 22:13:20 UTC, a Tuesday, plus 250 ms.
struct TraceFile {
  platform::FakeClock clock{1'700'000'000};
  CSessionTrace trace{clock};
  std::string dir = MakeTempDir();
  std::string path = dir + "/corvina.trc";
  explicit TraceFile(bool binary) {
    clock.AdvanceMs(250);
    EXPECT_TRUE(trace.Open(path, binary));
  }
  ~TraceFile() { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string Contents() {
    trace.Close();
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
};

TraceSource Source() {
  TraceSource s;
  s.session = 2;
  s.host = "mvs.example";
  s.port = 23;
  s.socket = 7;
  s.peerIPv4 = htonl(0x7F000001);
  s.peerPort = 23;
  return s;
}

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Skips the two opening texts of a text trace.
std::string AfterOpening(const std::string& text) {
  auto first = text.find("\r\n");
  auto second = text.find("\r\n", first + 2);
  return text.substr(second + 2);
}

}  // namespace

TEST(Trace, TextFormHasHeaderLineAndTranslatedHexDump) {
  TraceFile f(false);
  TraceSource s = Source();
  CCorvinaCodePage ebcdic;
  s.remoteBinary = true;
  s.ebcdicToAscii = ebcdic.EbcdicToAscii().data();
  // A 3270 Read Modified: Enter, cursor, SBA, "AB".
  f.trace.Entry(s, Bytes(std::string("\x7D\x40\x40\x11\x40\x40\xC1", 7)), kTraceSent);
  std::string text = f.Contents();
  EXPECT_EQ(text.rfind("Corvina release ", 0), 0u);
  EXPECT_NE(text.find("Trace started "), std::string::npos);
  // Groups of four bytes, one more blank after sixteen; missing bytes are blanks.
  std::string hex = "7D404011 4040C1   " + std::string(2 * 9, ' ') + " " + std::string(4 * 9, ' ') + " ";
  std::string expected = "22:13:20.250 Session 2 (mvs.example:23): 7 bytes sent\r\n"
                         "00000000  " + hex + "'  .  A\r\n";
  EXPECT_EQ(AfterOpening(text), expected);
}

TEST(Trace, TextFormWithoutBinaryShowsBytesAsTheyAre) {
  TraceFile f(false);
  std::string block(40, 'x');
  f.trace.Entry(Source(), Bytes(block), kTraceReceived);
  f.trace.Text(Source(), "Connected to mvs.example port 23");
  std::string body = AfterOpening(f.Contents());
  std::istringstream lines(body);
  std::string l1, l2, l3, l4;
  std::getline(lines, l1);
  std::getline(lines, l2);
  std::getline(lines, l3);
  std::getline(lines, l4);
  EXPECT_EQ(l1, "22:13:20.250 Session 2 (mvs.example:23): 40 bytes rcvd\r");
  EXPECT_EQ(l2.substr(0, 10), "00000000  ");
  EXPECT_EQ(l2.substr(l2.size() - 33), std::string(32, 'x') + "\r");
  EXPECT_EQ(l3.substr(0, 10), "00000020  ");
  EXPECT_EQ(l3.substr(l3.size() - 9), std::string(8, 'x') + "\r");
  EXPECT_EQ(l4, "22:13:20.250 Session 2 (mvs.example:23): Connected to mvs.example port 23\r");
}

TEST(Trace, BinaryRecordLayoutIsExact) {
  TraceFile f(true);
  std::string block(100, '\x5A');
  f.trace.Entry(Source(), Bytes(block), kTraceReceived);
  std::string all = f.Contents();
  // Skip the two opening text records.
  std::size_t at = 0;
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(static_cast<std::uint8_t>(all[at]), 0xFF);
    EXPECT_EQ(all[at + 1], ';');
    std::size_t len = static_cast<std::uint8_t>(all[at + 30]) | static_cast<std::uint8_t>(all[at + 31]) << 8;
    at += 32 + len;
  }
  std::string header = all.substr(at, 32);
  const unsigned char expected[32] = {0xFF, '<',  30, 0,    0xE7, 0x07, 11, 0, 2,    0,  14, 0, 22, 0, 13, 0,
                                      20,   0,    250, 0,   7,    0,    0,  0, 127,  0,  0,  1, 23, 0, 100, 0};
  EXPECT_EQ(header, std::string(reinterpret_cast<const char*>(expected), 32));
  EXPECT_EQ(all.substr(at + 32), block);
}

TEST(Trace, BinaryBlocksLongerThanTheLengthFieldAreSplit) {
  TraceFile f(true);
  std::string block(70000, 'q');
  f.trace.Entry(Source(), Bytes(block), kTraceSent);
  std::string all = f.Contents();
  std::vector<std::size_t> lengths;
  for (std::size_t at = 0; at + 32 <= all.size();) {
    std::size_t len = static_cast<std::uint8_t>(all[at + 30]) | static_cast<std::uint8_t>(all[at + 31]) << 8;
    if (all[at + 1] == '>') lengths.push_back(len);
    at += 32 + len;
  }
  EXPECT_EQ(lengths, (std::vector<std::size_t>{65535, 70000 - 65535}));
}

TEST(Trace, KeystrokeTexts) {
  EXPECT_EQ(CSessionTrace::KeystrokeText(kf::ibm3270::kPF3, kKind3279), "<PF3>");
  EXPECT_EQ(CSessionTrace::KeystrokeText('a', kKind3279), "a");
  EXPECT_EQ(CSessionTrace::KeystrokeText(50085, kKind3279), "<CursorTo 85>");
  EXPECT_EQ(CSessionTrace::KeystrokeText(-1, kKind3279), "");
  TraceFile f(false);
  f.trace.Keystroke(Source(), kf::ibm3270::kPF3, kKind3279);
  f.trace.Keystroke(Source(), -1, kKind3279);
  EXPECT_EQ(AfterOpening(f.Contents()), "22:13:20.250 Session 2 (mvs.example:23): KeyStroke: <PF3>\r\n");
}

TEST(Trace, UnwritableFileReportsAndStaysClosed) {
  platform::FakeClock clock;
  CSessionTrace trace(clock);
  std::string error;
  EXPECT_FALSE(trace.Open("/nonexistent-folder/x.trc", true, &error));
  EXPECT_EQ(error, "Unable to open trace file");
  EXPECT_FALSE(trace.IsOpen());
  trace.Entry(Source(), Bytes("ignored"), kTraceSent);  // nothing open: nothing happens
}

TEST(Trace, SessionBlocksBecomeBinaryRecordsThatReassemble) {
  TestFrame frame;
  LoopbackServer server(frame.loop);
  CSessionTrace trace(platform::SystemClock::Instance());
  std::string dir = MakeTempDir();
  ASSERT_TRUE(trace.Open(dir + "/s.trc", true));
  auto& s = frame.Start(ProfileFor(server.Port()));
  s.SetTrace(&trace);
  ASSERT_TRUE(frame.RunUntil([&] { return server.Accepted() == 1 && s.State() == kSocketConnected; }));
  std::string block(200 * 1024, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('a' + i % 26);
  server.Send(block);
  std::size_t seen = 0;
  ASSERT_TRUE(frame.RunUntil([&] {
    for (const auto& r : frame.engineLog.records) seen += r.size();
    bool done = seen >= block.size();
    seen = 0;
    return done;
  }));
  s.SetTrace(nullptr);
  trace.Close();

  std::ifstream in(dir + "/s.trc", std::ios::binary);
  std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t offset = 0;
  TraceRecord r;
  std::string error, data;
  int received = 0;
  while (ReadTraceRecord(file, offset, r, &error)) {
    if (r.kind != kTraceReceived) continue;
    ++received;
    EXPECT_LE(r.data.size(), CSessionTrace::kMaxRecordData);
    EXPECT_EQ(r.socket, static_cast<std::uint32_t>(s.Handle()));
    EXPECT_EQ(r.peerIPv4, htonl(0x7F000001));
    EXPECT_EQ(r.peerPort, server.Port());
    EXPECT_GE(r.time[0], 2024);
    data.append(r.data.begin(), r.data.end());
  }
  EXPECT_TRUE(error.empty()) << error;
  EXPECT_GE(received, 4);  // 200 KB never fits one 16-bit record
  EXPECT_TRUE(data == block);
  std::system(("rm -rf '" + dir + "'").c_str());
}

// The trace holds everything typed, passwords included: only the user may
// read it, and programs the emulator starts do not inherit it.
TEST(Trace, FileIsPrivateAndNotInherited) {
  std::string dir = MakeTempDir();
  std::string path = dir + "/old.trc";
  WriteFile(path, "older trace");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  platform::FakeClock clock;
  CSessionTrace trace(clock);
  ASSERT_TRUE(trace.Open(path, true));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  int flags = -1;
  for (int fd = 3; fd < 1024 && flags < 0; ++fd) {
    char target[4096] = {};
    std::string link = "/proc/self/fd/" + std::to_string(fd);
    ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == path) flags = ::fcntl(fd, F_GETFD);
  }
  ASSERT_GE(flags, 0) << "the trace file is not open";
  EXPECT_TRUE(flags & FD_CLOEXEC);
  trace.Close();
  std::system(("rm -rf '" + dir + "'").c_str());
}

// The texts a session writes after its socket closed still name it.
TEST(Trace, DisconnectTextsCarryTheSessionsSocket) {
  TestFrame frame;
  frame.warn = false;
  LoopbackServer server(frame.loop);
  std::string dir = MakeTempDir();
  CSessionTrace trace(frame.clock);
  ASSERT_TRUE(trace.Open(dir + "/s.trc", true));
  auto& s = frame.Start(ProfileFor(server.Port()));
  s.SetTrace(&trace);
  ASSERT_TRUE(frame.RunUntil([&] { return server.Accepted() == 1 && s.State() == kSocketConnected; }));
  const auto handle = static_cast<std::uint32_t>(s.Handle());
  server.CloseConnection();
  ASSERT_TRUE(frame.RunUntil([&] { return frame.closes == 1; }));
  trace.Close();
  std::string file = ReadFile(dir + "/s.trc");
  std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
  std::size_t offset = 0;
  TraceRecord r;
  bool found = false;
  while (ReadTraceRecord(bytes, offset, r, nullptr)) {
    std::string text(r.data.begin(), r.data.end());
    if (r.kind != kTraceText || text.find("disconnected by host") == std::string::npos) continue;
    found = true;
    EXPECT_EQ(r.socket, handle);
    EXPECT_EQ(r.peerIPv4, htonl(0x7F000001));
  }
  EXPECT_TRUE(found);
  std::system(("rm -rf '" + dir + "'").c_str());
}
