// The HLLAPI server against a 3270 session fed by a loopback host: exact
// layouts of the slot, the OIA record and the copies, the field functions
// and their edge positions, Send Key, interception, clients that hang up,
// and the area's own checks. Requests are written into the area as a client
// writes them and handed to the server directly.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "../ibm3270/Support3270.h"
#include "automation/HllapiServer.h"
#include "filetransfer/TransferEngine3270.h"
#include "keyboard/KeyFunctions.h"
#include "platform/PollLoop.h"

namespace corvina::test {
namespace {

using namespace hllapi;
using automation::CHllapiServer;

SessionOptions SessionWith(bool transfers) {
  SessionOptions o;
  if (transfers)
    o.engines = [](unsigned mode) -> std::unique_ptr<TerminalEngine> {
      if (mode == kKind3278 || mode == kKind3279) return std::make_unique<filetransfer::C3270TransferEngine>();
      return nullptr;
    };
  return o;
}

// With the plain 3270 engine, or with the one that runs IND$FILE transfers.
template <bool kTransfers>
class HllapiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(s_.Ready());
    s_.S().Profile().tallisShortName = 'C';
    s_.S().Profile().tallisLongName = "PAYROLL-SYSTEM";
    folder_ = MakeTempDir() + "/";
    server_ = std::make_unique<CHllapiServer>(loop_, folder_, 4242);
    std::string cause;
    ASSERT_TRUE(server_->Start(&cause)) << cause;
    ASSERT_EQ(server_->ClaimLetter('c', &cause), CHllapiServer::Claim::kClaimed) << cause;
    server_->RegisterSession(s_.S());
  }
  void TearDown() override {
    server_.reset();
    std::filesystem::remove_all(folder_);
  }

  int Ask(int function, std::string_view data = {}, int length = -1, int position = 0, std::uint32_t flags = 0) {
    std::uint8_t* area = server_->Area().Bytes();
    Put16(area + kRequestLength, length < 0 ? static_cast<std::uint32_t>(data.size()) : static_cast<std::uint32_t>(length));
    Put16(area + kRequestPosition, static_cast<std::uint32_t>(position));
    Put32(area + kRequestFlags, flags);
    if (!data.empty()) std::memcpy(area + kDataArea, data.data(), data.size());
    return server_->Handle(0, 'C', function);
  }
  std::uint16_t Answer() { return Get16(server_->Area().Bytes() + kRequestLength); }
  std::string Data(std::size_t n) { return std::string(reinterpret_cast<char*>(server_->Area().Data()), n); }
  std::uint8_t* SlotC() { return server_->Area().Slot(2); }

  // Row 0: a protected label, an unprotected field, a hidden field; the
  // last position holds an attribute, whose field wraps to position 0.
  void FormattedScreen() {
    s_.Host(HostRecord::EraseWrite(kWccRestore)
                .Sba(1).Sf(kProtected).Text("Name")
                .Sba(10).Sf(kUnprotected).Text("JOHN")
                .Sba(20).Sf(kProtected)
                .Sba(30).Sf(kHidden).Text("SECRET")
                .Sba(40).Sf(kProtected)
                .Sba(1919).Sf(kProtected));
  }

  platform::PollLoop loop_;
  Session3270 s_{SessionWith(kTransfers)};
  std::string folder_;
  std::unique_ptr<CHllapiServer> server_;
};
using HllapiServerTest = HllapiFixture<false>;
using HllapiTransferTest = HllapiFixture<true>;

TEST_F(HllapiServerTest, StatusRecordAndSlotByteForByte) {
  EXPECT_EQ(Get32(SlotC() + kSlotWindow), 4242u);
  s_.S().SetCursorPosition(81, false);
  EXPECT_EQ(Ask(kQueryStatus), 0);
  EXPECT_EQ(Get16(SlotC() + kSlotCursor), 82);
  const std::string status(reinterpret_cast<char*>(SlotC() + kSlotStatus), kStatusSize);
  EXPECT_EQ(status, std::string("CPAYROLL-D\x80\x18\x00\x50\x00\x25\x00\x00", 18));
  EXPECT_EQ(Ask(kQueryStatus, {}, 0, 0, kFlagCfgSize), 0);
  // No other letter, nothing for a letter outside A to Z.
  EXPECT_EQ(server_->Handle(0, 'D', kQueryStatus), kSystemError);
  EXPECT_EQ(server_->Handle(0, '[', kQueryStatus), kSystemError);
}

TEST_F(HllapiServerTest, OiaRecordByteForByte) {
  EXPECT_EQ(Ask(kCopyOia, {}, 103), 0);
  EXPECT_EQ(Answer(), 103);
  std::string expected(103, '\0');
  expected[0] = '1';
  for (int i = 1; i <= 80; ++i) expected[i] = '\xF6';
  expected[1] = '\xF4';
  expected[2] = '\xCC';
  expected[3] = '\xCF';
  expected[18] = '\xA2';  // C
  expected[81] = '\x04';
  EXPECT_EQ(Data(103), expected);

  s_.S().SetLockReason(3);
  s_.S().SetInsertMode(true);
  EXPECT_EQ(Ask(kCopyOia, {}, 103, 0, kFlagNewOia), kBusy);
  const std::string image = Data(81).substr(1);
  EXPECT_EQ(image.substr(0, 18), std::string("4A\x7F     X PROG000C", 18));
  EXPECT_EQ(image[51], '^');
  EXPECT_EQ(Data(103)[81 + 6], '\x80');
  EXPECT_EQ(Data(103)[81 + 7], '\x08');
}

TEST_F(HllapiServerTest, CopiesHonourTheOptionBitsAndTheirLimits) {
  FormattedScreen();
  EXPECT_EQ(Ask(kCopyPsToString, {}, 0, 1, kFlagEab), 0);
  EXPECT_EQ(Answer(), 3840);
  EXPECT_EQ(Ask(kCopyPsToString, {}, 40, 1), 0);
  EXPECT_EQ(Data(40), "  Name     JOHN" + std::string(25, ' '));
  EXPECT_EQ(Ask(kCopyPsToString, {}, 40, 1, kFlagDisplay | kFlagAttrb), 0);
  EXPECT_EQ(Data(40).substr(30, 7), "\xCC" "SECRET");
  EXPECT_EQ(static_cast<std::uint8_t>(Data(2)[1]), 0xE0);
  EXPECT_EQ(Ask(kCopyPsToString, {}, 0, 0), kBadPosition);
  EXPECT_EQ(Ask(kCopyPsToString, {}, 0, 1921), kBadPosition);
  // A field copy stops at the next attribute.
  EXPECT_EQ(Ask(kCopyPsToString, {}, 0, 12, kFlagFieldMode), 0);
  EXPECT_EQ(Data(Answer()), "JOHN     ");
  // On an unformatted screen a field copy takes one screenful, no more.
  s_.Host(HostRecord::EraseWrite(kWccRestore).Text("HELLO"));
  EXPECT_EQ(Ask(kCopyPsToString, {}, 0, 5, kFlagFieldMode | kFlagEab), 0);
  EXPECT_EQ(Answer(), 3840);
}

TEST_F(HllapiServerTest, FieldSearchesAndAttributesAtTheEdges) {
  FormattedScreen();
  // The field whose attribute is in the last position starts at position 1.
  EXPECT_EQ(Ask(kFindFieldPosition, "  ", 0, 1), 0);
  EXPECT_EQ(Answer(), 1);
  EXPECT_EQ(Ask(kFindFieldLength, "  ", 0, 1), 0);
  EXPECT_EQ(Answer(), 1);
  EXPECT_EQ(Ask(kFindFieldPosition, "NU", 0, 1), 0);
  EXPECT_EQ(Answer(), 12);
  EXPECT_EQ(Ask(kFindFieldLength, "T ", 0, 12), 0);
  EXPECT_EQ(Answer(), 9);
  EXPECT_EQ(Ask(kFindFieldPosition, "PU", 0, 25), 0);
  EXPECT_EQ(Answer(), 12);
  // Previous protected from the Name field: round the screen to the last one.
  EXPECT_EQ(Ask(kFindFieldPosition, "PP", 0, 3), 0);
  EXPECT_EQ(Answer(), 1);
  // A field right before another attribute has no characters.
  s_.Host(HostRecord::EraseWrite(kWccRestore).Sba(100).Sf(kProtected).Sf(kProtected));
  EXPECT_EQ(Ask(kFindFieldPosition, "T ", 0, 101), kZeroLength);
  EXPECT_EQ(Ask(kFindFieldLength, "T ", 0, 101), kZeroLength);
  EXPECT_EQ(Ask(kFindFieldPosition, "NU", 0, 101), kNotFound);
  EXPECT_EQ(Ask(kFindFieldPosition, "T ", 0, 0), kBadPosition);
  EXPECT_EQ(Ask(kQueryFieldAttribute, {}, 0, 150), 0);
  EXPECT_EQ(Answer(), 0xE0);
  s_.Host(HostRecord::EraseWrite(kWccRestore).Text("x"));
  EXPECT_EQ(Ask(kQueryFieldAttribute, {}, 0, 150), kNotFound);
  EXPECT_EQ(Ask(kCopyStringToField, "ab", -1, 150), kNotFound);
}

TEST_F(HllapiServerTest, StringsGoIntoUnprotectedFieldsOnly) {
  FormattedScreen();
  EXPECT_EQ(Ask(kCopyStringToField, "MARY", -1, 15), 0);
  EXPECT_EQ(Answer(), 4);
  EXPECT_EQ(Ask(kCopyPsToString, {}, 9, 12), 0);
  EXPECT_EQ(Data(9), "MARY     ");
  // Longer than the field: cut at the next attribute.
  EXPECT_EQ(Ask(kCopyStringToPs, "ABCDEFGHIJKL", -1, 12), kTruncated);
  EXPECT_EQ(Answer(), 9);
  EXPECT_EQ(Ask(kCopyStringToPs, "A\x01" "B\x02", -1, 12, kFlagEab), 0);
  EXPECT_EQ(Answer(), 4);
  EXPECT_EQ(Ask(kCopyStringToPs, "x", -1, 3), kInhibited);   // protected
  EXPECT_EQ(Ask(kCopyStringToPs, "x", -1, 11), kInhibited);  // the attribute itself
  // An unformatted screen takes at most one screenful of a long string.
  s_.Host(HostRecord::EraseWrite(kWccRestore));
  EXPECT_EQ(Ask(kCopyStringToPs, std::string(3000, 'z'), -1, 1), kTruncated);
  EXPECT_EQ(Answer(), 1920);
}

TEST_F(HllapiServerTest, SendKeyPlaysEscapesAndResetsOnlyWhenAllowed) {
  FormattedScreen();
  s_.S().SetCursorPosition(11, false);
  EXPECT_EQ(Ask(kSendKey, "@@@@?ab@A", 8), 0);
  EXPECT_EQ(Ask(kCopyPsToString, {}, 5, 12), 0);
  EXPECT_EQ(Data(5), "@@?ab");
  s_.S().SetLockReason(5);
  EXPECT_EQ(Ask(kSendKey, "@x", 1, 0, kFlagNoReset), kInhibited);
  EXPECT_EQ(s_.S().LockReason(), 5);
  EXPECT_EQ(Ask(kSendKey, "@y", 1), 0);
  EXPECT_EQ(s_.S().LockReason(), 0);
  // A refused character (the cursor on a protected field) fails the string.
  s_.S().SetCursorPosition(2, false);
  EXPECT_EQ(Ask(kSendKey, "@q", 1), kInhibited);
  // Enter: the AID goes to the host.
  s_.TakeSent();
  EXPECT_EQ(Ask(kSendKey, "@@E", 2), 0);  // the escape, then @E
  EXPECT_EQ(s_.TakeSent().at(0), 0x7D);
}

TEST_F(HllapiServerTest, InterceptionQueuesKeysForGetKey) {
  EXPECT_EQ(Ask(kGetKey, "@"), kNoKeys);
  EXPECT_EQ(Ask(kStopIntercept), kNotStarted);
  EXPECT_EQ(Ask(kStartIntercept, "CD"), 0);
  EXPECT_EQ(*(SlotC() + kSlotInterceptFlags), kInterceptStarted | kInterceptAidOnly);
  // Attention keys only: characters pass, Enter is taken.
  EXPECT_TRUE(s_.S().OnCharacter('x'));
  EXPECT_EQ(s_.S().OnKeyFunction(kf::ibm3270::kEnter), 1);
  EXPECT_EQ(s_.S().LockReason(), 0);  // Enter did not run
  EXPECT_EQ(Ask(kGetKey, "#"), 0);
  EXPECT_EQ(Data(8), std::string("#M#E\0\0\0\0", 8));
  EXPECT_EQ(Ask(kGetKey, "@"), kNoKeys);
  // 'L' after 'D': every key is captured again; the ring holds 1023 keys.
  EXPECT_EQ(Ask(kStartIntercept, "CL"), 0);
  EXPECT_EQ(s_.S().OnKeyFunction(kf::ibm3270::kAttn), 1);
  EXPECT_EQ(Ask(kGetKey, "@"), 0);
  EXPECT_EQ(Data(8), std::string("@M@A@Q\0\0", 8));
  for (int i = 0; i < 1023; ++i) ASSERT_TRUE(s_.S().OnCharacter('k')) << i;
  EXPECT_FALSE(s_.S().OnCharacter('k'));
  EXPECT_EQ(Ask(kGetKey, "@"), 0);
  EXPECT_EQ(Data(3), std::string("@Ak"));
  EXPECT_EQ(Ask(kStopIntercept), 0);
  EXPECT_EQ(*(SlotC() + kSlotInterceptFlags), 0);
  EXPECT_EQ(Ask(kStopIntercept), kNotStarted);
}

TEST_F(HllapiServerTest, HostUpdatesSetTheWantedBitsOnly) {
  EXPECT_EQ(Ask(kStopHostNotify), kNotStarted);
  EXPECT_EQ(Ask(kStartHostNotify, "Co"), 0);
  EXPECT_EQ(*(SlotC() + kSlotUpdateFlags), kUpdateStarted | kUpdateWantOia);
  const std::uint32_t before = server_->Area().Generation(kHostUpdateEvent);
  server_->HostUpdate(s_.S());
  EXPECT_EQ(*(SlotC() + kSlotUpdateFlags), kUpdateStarted | kUpdateWantOia | kUpdateOia);
  EXPECT_NE(server_->Area().Generation(kHostUpdateEvent), before);
  EXPECT_EQ(Ask(kStopHostNotify), 0);
  EXPECT_EQ(*(SlotC() + kSlotUpdateFlags), 0);
}

// A client over the socket: what it set up goes when it hangs up, and a
// peer of another user is not served.
TEST_F(HllapiServerTest, ConnectBringsTheSessionForwardOnlyWithConPhys) {
  int shown = 0;
  server_->showSession = [&](CHostSession& s) { shown += &s == &s_.S(); };
  EXPECT_EQ(Ask(kConnect, "C"), 0);
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(Ask(kConnect, "C", -1, 0, 0x100000), 0);
  EXPECT_EQ(shown, 1);
}

TEST_F(HllapiServerTest, AClientThatHangsUpLeavesNothingBehind) {
  const std::string path = SocketPath(folder_, 4242);
  auto connect = [&] {
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
  };
  const int fd = connect();
  auto request = [&](int function, std::string_view data) {
    std::uint8_t* area = server_->Area().Bytes();
    Put16(area + kRequestLength, static_cast<std::uint32_t>(data.size()));
    std::memcpy(area + kDataArea, data.data(), data.size());
    const std::uint8_t message[4] = {'C', 0, static_cast<std::uint8_t>(function), 0};
    EXPECT_EQ(::send(fd, message, 4, 0), 4);
    std::uint8_t answer[4] = {0xFF, 0xFF};
    EXPECT_TRUE(s_.RunUntil([&] { loop_.RunFor(std::chrono::milliseconds(5)); return ::recv(fd, answer, 4, MSG_DONTWAIT) == 4; }));
    return Get16(answer);
  };
  EXPECT_EQ(request(kConnect, ""), 0);
  EXPECT_EQ(request(kReserve, ""), 0);
  EXPECT_EQ(request(kStartIntercept, "CL"), 0);
  EXPECT_FALSE(s_.S().OnCharacter('x'));  // reserved: refused
  Put32(SlotC() + kSlotClientThread, 777);
  ::close(fd);
  EXPECT_TRUE(s_.RunUntil([&] {
    loop_.RunFor(std::chrono::milliseconds(5));
    return Get32(SlotC() + kSlotClientThread) == 0;
  }));
  EXPECT_EQ(*(SlotC() + kSlotInterceptFlags), 0);
  EXPECT_TRUE(s_.S().OnCharacter('x'));

  // Another user reaches the socket only through a folder opened for the
  // test, and is still not answered.
  if (::geteuid() != 0) return;
  ::chmod(folder_.c_str(), 0711);
  ::chmod(path.c_str(), 0777);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    const int other = connect();
    const std::uint8_t message[4] = {'C', 0, kQueryStatus, 0};
    ::send(other, message, 4, MSG_NOSIGNAL);
    std::uint8_t answer[4];
    ::_exit(::recv(other, answer, 4, 0) == 4 ? 1 : 0);
  }
  int status = -1;
  EXPECT_TRUE(s_.RunUntil([&] {
    loop_.RunFor(std::chrono::milliseconds(5));
    return ::waitpid(child, &status, WNOHANG) == child;
  }));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ::chmod(folder_.c_str(), 0700);
}

TEST_F(HllapiServerTest, TransfersNeedTheTransferEngine) {
  EXPECT_EQ(Ask(kReceiveFile, "/tmp/x c:FILE DATA"), kNotSupported);
}

TEST_F(HllapiTransferTest, ReceiveFileTypesTheCommandAndTheSlotFollowsTheTransfer) {
  s_.Host(HostRecord::EraseWrite(kWccRestore).Text("Ready;"));
  const std::string pc = folder_ + "file.txt";
  s_.TakeSent();
  EXPECT_EQ(Ask(kReceiveFile, pc + " c:FILE DATA (ascii crlf"), kOk);
  // The host file keeps its blank; the options count in any case.
  const std::string command = "IND$FILE GET FILE DATA  ( ASCII CRLF )";
  std::string ebcdic;
  for (char c : command) ebcdic.push_back(static_cast<char>(s_.S().CodePage().ToEbcdic(static_cast<std::uint8_t>(c))));
  const Bytes sent = s_.TakeSent();
  EXPECT_NE(std::string(sent.begin(), sent.end()).find(ebcdic), std::string::npos);
  EXPECT_EQ(Ask(kQueryStatus), kOk);
  EXPECT_EQ(Get32(SlotC() + kSlotTransferState), 1u);  // the GET command is sent
  // One transfer at a time; the PC file appears only with a complete transfer.
  EXPECT_EQ(Ask(kSendFile, pc + " c:OTHER DATA"), 310);
  EXPECT_FALSE(std::filesystem::exists(pc));

  // The host's end (a screen-image "C" frame) ends it: the slot says idle.
  s_.Host(HostRecord::EraseWrite(kWccRestore).Sba(0).Text("Caam TRANS34 Host file FILE DATA not found$")
              .Sba(1919).Sf(kAutoskip));
  EXPECT_EQ(Ask(kQueryStatus), kOk);
  EXPECT_EQ(Get32(SlotC() + kSlotTransferState), 0u);
  EXPECT_FALSE(std::filesystem::exists(pc));
  EXPECT_EQ(Ask(kSendFile, folder_ + "none c:FILE DATA"), 302);
  EXPECT_EQ(Ask(kReceiveFile, folder_ + " c:FILE DATA"), 305);  // a folder
}

TEST(HllapiArea, RefusesFilesItCannotTrust) {
  const std::string folder = MakeTempDir() + "/";
  std::string cause;
  {
    CHllapiArea area;
    ASSERT_TRUE(area.Open(folder, &cause)) << cause;
    EXPECT_EQ(std::filesystem::file_size(folder + "hllapi.area"), 66640u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(area.Bytes() + kCapacityWord), 4), std::string("\0\0\1\0", 4));
  }
  ASSERT_EQ(::truncate((folder + "hllapi.area").c_str(), 4096), 0);
  CHllapiArea wrongSize;
  EXPECT_FALSE(wrongSize.Open(folder, &cause));
  EXPECT_NE(cause.find("wrong size"), std::string::npos) << cause;
  ASSERT_EQ(::truncate((folder + "hllapi.area").c_str(), 66640), 0);
  ::chmod((folder + "hllapi.area").c_str(), 0644);
  CHllapiArea open;
  EXPECT_FALSE(open.Open(folder, &cause));
  std::filesystem::remove(folder + "hllapi.area");
  std::filesystem::create_symlink("/dev/zero", folder + "hllapi.area");
  CHllapiArea link;
  EXPECT_FALSE(link.Open(folder, &cause));
  std::filesystem::remove_all(folder);
}

// Fifty instances, each with a live socket, claim letter A at once.
TEST(HllapiArea, FiftyRacingClaimsHaveOneWinner) {
  const std::string folder = MakeTempDir() + "/";
  int go[2], done[2], results[2];
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(done), 0);
  ASSERT_EQ(::pipe(results), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < 50; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(go[1]);
      ::close(done[1]);
      const std::uint32_t id = 1000 + static_cast<std::uint32_t>(i);
      const int listener = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
      sockaddr_un addr{};
      addr.sun_family = AF_UNIX;
      std::strcpy(addr.sun_path, SocketPath(folder, id).c_str());
      if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listener, 4) != 0)
        ::_exit(3);
      CHllapiArea area;
      std::string cause;
      char byte;
      if (!area.Open(folder, &cause) || ::read(go[0], &byte, 1) != 0) ::_exit(3);
      const ClaimResult r = ClaimSlot(area, folder, 'A', id, std::chrono::milliseconds(10000));
      const char result = r == ClaimResult::kClaimed ? 0 : r == ClaimResult::kInUse ? 1 : 2;
      if (::write(results[1], &result, 1) != 1) ::_exit(3);
      [[maybe_unused]] auto n = ::read(done[0], &byte, 1);  // alive until all have claimed
      ::_exit(result);
    }
    children.push_back(child);
  }
  ::close(go[0]);
  ::close(done[0]);
  ::close(results[1]);
  ::close(go[1]);  // all start together
  char result;
  for (int i = 0; i < 50; ++i) ASSERT_EQ(::read(results[0], &result, 1), 1);
  ::close(done[1]);
  int winners = 0, losers = 0;
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    winners += code == 0;
    losers += code == 1;
  }
  EXPECT_EQ(winners, 1);
  EXPECT_EQ(losers, 49);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace corvina::test
