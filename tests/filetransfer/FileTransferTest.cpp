// IND$FILE on a 3270 session fed host records directly: the host command,
// the HLLAPI string, both transports' byte layouts and the faults a hostile
// host can send. Whole transfers through the test host and s3270 are in
// transfer_peers.py.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "../ibm3270/Support3270.h"
#include "codepage/CodePage.h"
#include "config/SessionProfile.h"
#include "filetransfer/FileTransfer.h"
#include "filetransfer/ScreenImage.h"
#include "filetransfer/TransferEngine3270.h"
#include "filetransfer/Wsf.h"

namespace corvina::test {
namespace {

using namespace filetransfer;
namespace fs = std::filesystem;

CTransferRequest Request(Direction d, HostSystem system, std::uint8_t flags) {
  CTransferRequest r;
  r.direction = d;
  r.hostFile = d == Direction::kPut ? "PROFILE EXEC A" : "DATA.SET";
  r.hostSystem = system;
  r.flags = flags;
  return r;
}

TEST(HostCommand, SpellsTheOptionsAsEachHostSystemWantsThem) {
  CTransferRequest vm = Request(Direction::kPut, HostSystem::kVmCms, kOptionAscii | kOptionCrLf);
  vm.recordFormat = RecordFormat::kVariable;
  vm.lrecl = 255;
  vm.blksize = 6160;  // never sent to VM/CMS
  EXPECT_EQ(HostCommand(vm), "IND$FILE PUT PROFILE EXEC A ( ASCII CRLF RECFM V LRECL 255 )");
  CTransferRequest tso = vm;
  tso.hostSystem = HostSystem::kMvsTso;
  tso.hostFile = "DATA.SET";
  EXPECT_EQ(HostCommand(tso), "IND$FILE PUT DATA.SET ASCII CRLF RECFM(V) LRECL(255) BLKSIZE(6160)");
  tso.lrecl = tso.blksize = 0;
  tso.recordFormat = RecordFormat::kDefault;
  tso.flags = 0;
  EXPECT_EQ(HostCommand(tso), "IND$FILE PUT DATA.SET");
  // CICS always names both the translation and the line ends.
  CTransferRequest cics = Request(Direction::kGet, HostSystem::kCics, 0);
  cics.hostFile = "FILE1";
  EXPECT_EQ(HostCommand(cics), "IND$FILE GET FILE1 ( BINARY NOCRLF )");
  cics.direction = Direction::kPut;
  cics.lrecl = 80;
  cics.blksize = 800;
  cics.flags = kOptionAscii | kOptionAppend;
  cics.additionalOptions = "EXTRA";
  EXPECT_EQ(HostCommand(cics), "IND$FILE PUT FILE1 ( ASCII NOCRLF APPEND LRECL=80 EXTRA )");
  CTransferRequest get = Request(Direction::kGet, HostSystem::kVmCms, kOptionAppend);
  EXPECT_EQ(HostCommand(get), "IND$FILE GET DATA.SET") << "APPEND is a PUT option";
}

TEST(HllapiString, SplitsPcFileHostFileAndOptions) {
  CTransferRequest r;
  r.flags = 0;
  ParseHllapiTransferString("c:\\data\\file.txt b:FILE DATA (ASCII CRLF", r);
  EXPECT_EQ(r.pcFile, "c:\\data\\file.txt");
  EXPECT_EQ(r.hostFile, "FILE DATA ");
  EXPECT_EQ(r.flags, kOptionAscii | kOptionCrLf);
  EXPECT_EQ(r.additionalOptions, "");

  CTransferRequest q;
  q.hostSystem = HostSystem::kCics;
  ParseHllapiTransferString("\"my file.bin\" a:NAME (binary nocrlf  lrecl=80", q);
  EXPECT_EQ(q.pcFile, "my file.bin");
  EXPECT_EQ(q.hostFile, "NAME ");
  EXPECT_EQ(q.additionalOptions, " LRECL=80 ") << "the empty word between two blanks is kept";

  CTransferRequest none;
  ParseHllapiTransferString("only-a-pc-file NAME", none);
  EXPECT_EQ(none.hostFile, "") << "without a session short name nothing names the host file";
}

TEST(TransferOptions, CommandLineWordsAndTheirLimits) {
  CTransferRequest r;
  std::string error;
  ASSERT_TRUE(ApplyTransferOptions("tso,binary nocrlf screenimage lrecl=80 recfm=F buffer=512 "
                                   "options=SPACE(1,1) TRACKS",
                                   r, &error))
      << error;
  EXPECT_EQ(r.hostSystem, HostSystem::kMvsTso);
  EXPECT_EQ(r.flags, kOptionScreenImage);
  EXPECT_EQ(r.lrecl, 80);
  EXPECT_EQ(r.recordFormat, RecordFormat::kFixed);
  EXPECT_EQ(r.additionalOptions, "SPACE(1,1) TRACKS");
  EXPECT_FALSE(ApplyTransferOptions("buffer=511", r, &error));
  EXPECT_FALSE(ApplyTransferOptions("lrecl=32761", r, &error));
  EXPECT_FALSE(ApplyTransferOptions("fast", r, &error));
  EXPECT_NE(error.find("fast"), std::string::npos);
}

TEST(ScreenImageCodec, EveryByteHasOneCodeThatDecodesBack) {
  for (int b = 0; b < 256; ++b) {
    const screenimage::Encoded e = screenimage::EncodeByte(static_cast<std::uint8_t>(b));
    ASSERT_TRUE(screenimage::IsShift(static_cast<char>(e.set))) << b;
    EXPECT_EQ(screenimage::DecodeCode(e.set, e.code), std::optional<std::uint8_t>(b)) << b;
  }
  // The host table is a permutation.
  for (int e = 0; e < 256; ++e)
    EXPECT_EQ(screenimage::HostAsciiToEbcdic()[screenimage::kHostEbcdicToAscii[e]], e);
}

TEST(ScreenImageCodec, BlocksStayInsideTheDataPositions) {
  CCorvinaCodePage cp;
  screenimage::PutEncoder encoder;
  encoder.codePage = &cp;
  // Bytes of alternating sets take two positions each: 950 of them end at 1906.
  std::vector<std::uint8_t> alternating;
  for (int i = 0; i < 950; ++i) alternating.push_back(i % 2 ? 0x00 : 0x40);
  std::size_t consumed = 0;
  auto codes = encoder.Encode(alternating, screenimage::kMaxPutPositions, consumed);
  EXPECT_EQ(consumed, 950u);
  EXPECT_EQ(screenimage::kPutData + static_cast<int>(codes.size()) - 1, 1906);
  // With CRLF every LF after a byte of another set needs four positions:
  // the block is cut short, and a CR never goes without its LF.
  encoder.crlf = encoder.ascii = true;
  encoder.previous = 0;
  std::vector<std::uint8_t> lines;
  for (int i = 0; i < 950; ++i) lines.push_back(i % 2 ? '\n' : 'a');
  codes = encoder.Encode(lines, screenimage::kMaxPutPositions, consumed);
  EXPECT_LE(codes.size(), static_cast<std::size_t>(screenimage::kMaxPutPositions));
  EXPECT_LT(consumed, 950u);
  // What the host decodes is the bytes taken, each LF with its CR.
  std::string decoded, expected;
  screenimage::CodeSet set = screenimage::CodeSet::kNone;
  for (std::uint8_t code : codes) {
    const char text = static_cast<char>(cp.ToAscii(code));
    if (screenimage::IsShift(text)) {
      set = static_cast<screenimage::CodeSet>(text);
      continue;
    }
    const std::optional<std::uint8_t> b = screenimage::DecodeCode(set, code);
    ASSERT_TRUE(b);
    decoded.push_back(static_cast<char>(cp.ToAscii(screenimage::HostAsciiToEbcdic()[*b])));
  }
  for (std::size_t i = 0; i < consumed; ++i) expected += lines[i] == '\n' ? "\r\n" : "a";
  EXPECT_EQ(decoded, expected);
}

TEST(WsfParse, LengthsInsideTheFieldAreChecked) {
  using B = std::vector<std::uint8_t>;
  // Sub-fields of length 0 or 1, or past the end, end the scan.
  for (std::uint8_t bad : {0, 1, 40}) {
    const B open{0x00, 0x0C, 0xD0, 0x00, 0x12, 0x01, bad, 0x03, 0x09, 'F', 'T', ':'};
    const wsf::Request r = wsf::Parse(open);
    EXPECT_TRUE(r.malformed) << int(bad);
    EXPECT_EQ(r.kind, wsf::Kind::kNone);
  }
  const B named{0x00, 0x15, 0xD0, 0x00, 0x12, 0x08, 0x06, 0x00, 0x00, 0x02, 0x00,
                0x03, 0x09, 'f', 't', ':', 'd', 'a', 't', 'a'};
  wsf::Request r = wsf::Parse(named);
  EXPECT_FALSE(r.malformed);
  EXPECT_EQ(r.kind, wsf::Kind::kData) << "names compare without case";
  EXPECT_EQ(r.size, 512u);
  // An insert shorter than its header, and one claiming more than it holds.
  EXPECT_TRUE(wsf::Parse(B{0x00, 0x08, 0xD0, 0x47, 0x04, 0xC0, 0x80, 0x61}).malformed);
  EXPECT_TRUE(wsf::Parse(B{0x00, 0x0C, 0xD0, 0x47, 0x04, 0xC0, 0x80, 0x61, 0x00, 0x09, 'a', 'b'}).malformed);
  const B insert{0x00, 0x0C, 0xD0, 0x47, 0x04, 0xC0, 0x80, 0x61, 0x00, 0x07, 'a', 'b'};
  r = wsf::Parse(insert);
  ASSERT_FALSE(r.malformed);
  EXPECT_EQ(std::string(r.data.begin(), r.data.end()), "ab");
}

// A 3270 session whose engine runs transfers, with PC files in a folder of its own.
class TransferSession : public ::testing::Test {
 protected:
  void SetUp() override {
    SessionOptions o;
    o.engines = [](unsigned mode) -> std::unique_ptr<TerminalEngine> {
      if (mode == kKind3278 || mode == kKind3279) return std::make_unique<C3270TransferEngine>();
      return nullptr;
    };
    s_ = std::make_unique<Session3270>(o);
    ASSERT_TRUE(s_->Ready());
    folder_ = fs::temp_directory_path() / ("corvina-ft-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const char* name) { return (folder_ / name).string(); }
  static void WriteFile(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> FolderEntries() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder_)) names.push_back(e.path().filename().string());
    return names;
  }

  int Start(CTransferRequest r) {
    s_->TakeSent();
    const int result = StartFileTransfer(s_->S(), r, &observer_);
    s_->TakeSent();
    return result;
  }
  // The inbound records sent since the last call, without IAC EOR.
  std::vector<Bytes> Replies() {
    std::vector<Bytes> records;
    Bytes sent = s_->TakeSent(), current;
    for (std::size_t i = 0; i < sent.size(); ++i) {
      if (sent[i] == 0xFF && i + 1 < sent.size() && sent[i + 1] == 0xEF) {
        records.push_back(current);
        current.clear();
        ++i;
      } else if (sent[i] == 0xFF && i + 1 < sent.size() && sent[i + 1] == 0xFF) {
        current.push_back(0xFF);
        ++i;
      } else {
        current.push_back(sent[i]);
      }
    }
    return records;
  }
  // A screen-image frame: text from position 0, the autoskip field at 1919.
  static Bytes Frame(const Bytes& ebcdic) {
    HostRecord r = HostRecord::EraseWrite(kWccRestore).Sba(0);
    for (std::uint8_t b : ebcdic) r.Byte(b);
    return r.Sba(1919).Sf(kAutoskip);
  }
  static Bytes E(std::string_view text) {
    static const CCorvinaCodePage cp;
    Bytes b;
    for (char c : text) b.push_back(cp.ToEbcdic(static_cast<std::uint8_t>(c)));
    return b;
  }
  static Bytes Wsf(std::initializer_list<Bytes> fields) {
    Bytes r{0xF3};
    for (const Bytes& f : fields) r.insert(r.end(), f.begin(), f.end());
    return r;
  }
  static Bytes Open(const char* name, int size = 0) {
    Bytes f{0x00, 0x00, 0xD0, 0x00, 0x12, 0x01, 0x06, 0x01, 0x01, 0x03, 0x0A};
    if (size) f.insert(f.end(), {0x08, 0x06, 0x00, 0x00, std::uint8_t(size >> 8), std::uint8_t(size)});
    f.insert(f.end(), {0x03, 0x09});
    f.insert(f.end(), name, name + 7);
    f[1] = static_cast<std::uint8_t>(f.size());
    return f;
  }
  static Bytes Insert(std::string_view data) {
    Bytes f{0x00, 0x00, 0xD0, 0x47, 0x04, 0xC0, 0x80, 0x61, std::uint8_t((data.size() + 5) >> 8),
            std::uint8_t(data.size() + 5)};
    f.insert(f.end(), data.begin(), data.end());
    f[0] = std::uint8_t(f.size() >> 8);
    f[1] = std::uint8_t(f.size());
    return f;
  }

  struct Observer : TransferObserver {
    std::vector<TransferProgress> progress;
    std::vector<TransferOutcome> ended;
    void Progress(const TransferProgress& p) override { progress.push_back(p); }
    void Ended(const TransferOutcome& o) override { ended.push_back(o); }
  } observer_;
  std::unique_ptr<Session3270> s_;
  fs::path folder_;
};

TEST_F(TransferSession, WsfGetWritesTheFileOnlyWhenTheHostSaysItIsComplete) {
  WriteFile(Path("out.txt"), "old content");
  CTransferRequest r = Request(Direction::kGet, HostSystem::kVmCms, kOptionAscii | kOptionCrLf);
  r.pcFile = Path("out.txt");
  ASSERT_EQ(Start(r), kStartSent);
  EXPECT_EQ(Trim(s_->Row(0)), "IND$FILE GET DATA.SET ( ASCII CRLF )");
  EXPECT_EQ(FileTransferState(s_->S()), CFileTransfer::kGetCommandSent);
  s_->Host(Wsf({Open("FT:DATA")}));
  EXPECT_EQ(FileTransferState(s_->S()), CFileTransfer::kGetWsf);
  EXPECT_EQ(Replies(), std::vector<Bytes>{wsf::OpenReply()});
  s_->Host(Wsf({{0x00, 0x05, 0xD0, 0x47, 0x11}, Insert("line\r\n\x1A")}));
  EXPECT_EQ(Replies(), std::vector<Bytes>{wsf::InsertAck(1)});
  EXPECT_EQ(ReadFile(Path("out.txt")), "old content") << "nothing replaces the file before the end";
  s_->Host(Wsf({{0x00, 0x05, 0xD0, 0x41, 0x12}}));
  s_->Host(Wsf({Open("FT:MSG ")}));
  s_->Host(Wsf({Insert("TRANS03 File transfer complete$")}));
  ASSERT_EQ(observer_.ended.size(), 1u);
  EXPECT_TRUE(observer_.ended[0].success);
  EXPECT_EQ(observer_.ended[0].message, "TRANS03 File transfer complete");
  EXPECT_EQ(ReadFile(Path("out.txt")), "line\r\n") << "the final end-of-file byte is dropped";
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"out.txt"}) << "no temporary file is left";
  EXPECT_EQ(s_->S().LockReason(), 0);
}

TEST_F(TransferSession, AHostClaimingMoreThanItSendsEndsTheTransferAndKeepsTheOldFile) {
  WriteFile(Path("keep.bin"), "good");
  CTransferRequest r = Request(Direction::kGet, HostSystem::kMvsTso, 0);
  r.pcFile = Path("keep.bin");
  ASSERT_EQ(Start(r), kStartSent);
  s_->Host(Wsf({Open("FT:DATA")}));
  Replies();
  Bytes lying = Insert("abc");
  lying[9] = 0x40;  // claims 59 bytes
  s_->Host(Wsf({lying}));
  const std::vector<Bytes> replies = Replies();
  ASSERT_FALSE(replies.empty());
  EXPECT_EQ(replies.back()[0], 0xF2) << "the host is told with PF2";
  EXPECT_TRUE(s_->Ui().boxes.size() == 1 && s_->Ui().boxes[0].text.find("shorter than its header") != std::string::npos);
  s_->Host(Wsf({Open("FT:MSG ")}));
  s_->Host(Wsf({Insert("TRANS13 File transfer canceled$")}));
  ASSERT_EQ(observer_.ended.size(), 1u);
  EXPECT_FALSE(observer_.ended[0].success);
  EXPECT_EQ(ReadFile(Path("keep.bin")), "good");
  EXPECT_EQ(FolderEntries().size(), 1u);
}

TEST_F(TransferSession, DdmIsOfferedOnlyToAStartedWsfTransferWithItsBufferSize) {
  auto queryReply = [&] {
    s_->Host({0xF3, 0x00, 0x05, 0x01, 0xFF, 0x02});
    const std::vector<Bytes> r = Replies();
    return r.empty() ? Bytes() : r.back();
  };
  auto hasDdm = [](const Bytes& reply) {
    for (std::size_t i = 1; i + 4 <= reply.size();) {
      const std::size_t length = std::size_t{reply[i]} << 8 | reply[i + 1];
      if (reply[i + 3] == 0x95) return length == 12 && reply[i + 6] == 0x10 && reply[i + 7] == 0x00;
      if (length < 4) return false;
      i += length;
    }
    return false;
  };
  EXPECT_FALSE(hasDdm(queryReply()));
  CTransferRequest r = Request(Direction::kPut, HostSystem::kVmCms, 0);
  WriteFile(Path("in"), "x");
  r.pcFile = Path("in");
  r.bufferSize = 4096;
  ASSERT_EQ(Start(r), kStartSent);
  EXPECT_TRUE(hasDdm(queryReply()));
  CancelFileTransfer(s_->S());  // before the host answered: ends at once
  EXPECT_FALSE(FileTransferRunning(s_->S()));
  EXPECT_EQ(s_->S().LockReason(), 0);
  r.flags = kOptionScreenImage;
  ASSERT_EQ(Start(r), kStartSent);
  EXPECT_FALSE(hasDdm(queryReply())) << "screen-image mode asks for no DDM";
}

TEST_F(TransferSession, WsfPutHonoursTheOpenSizeAndTheCrlfRule) {
  WriteFile(Path("text"), std::string(600, 'a') + "\n" + std::string(10, 'b'));
  CTransferRequest r = Request(Direction::kPut, HostSystem::kVmCms, kOptionAscii | kOptionCrLf);
  r.pcFile = Path("text");
  r.bufferSize = 8192;
  ASSERT_EQ(Start(r), kStartSent);
  s_->Host(Wsf({Open("FT:DATA", 0x7FFF)}));  // larger than ours: no change
  Replies();
  s_->Host(Wsf({Open("FT:DATA", 0x0200)}));  // 512: lowered
  Replies();
  s_->Host(Wsf({{0x00, 0x05, 0xD0, 0x46, 0x11}}));
  std::vector<Bytes> replies = Replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].size(), 512u) << "a full block of the lowered size";
  EXPECT_EQ(Bytes(replies[0].begin(), replies[0].begin() + 17),
            Concat({0x88, 0x01, 0xFF, 0xD0, 0x46, 0x05, 0x63, 0x06, 0, 0, 0, 1, 0xC0, 0x80, 0x61}, {0x01, 0xF4}));
  s_->Host(Wsf({{0x00, 0x05, 0xD0, 0x46, 0x11}}));
  replies = Replies();
  ASSERT_EQ(replies.size(), 1u);
  const std::string data(replies[0].begin() + 17, replies[0].end());
  EXPECT_EQ(data, std::string(600 - 495, 'a') + "\r\n" + std::string(10, 'b'));
  s_->Host(Wsf({{0x00, 0x05, 0xD0, 0x46, 0x11}}));
  EXPECT_EQ(Replies(), std::vector<Bytes>{wsf::EndOfFileReply()});
}

TEST_F(TransferSession, ScreenImageGetChecksEveryBlockBeforeWritingIt) {
  CTransferRequest r = Request(Direction::kGet, HostSystem::kVmCms, kOptionScreenImage);
  r.pcFile = Path("got");
  ASSERT_EQ(Start(r), kStartSent);
  // A host screen that happens to start with the frame letters is no frame.
  s_->Host(HostRecord::EraseWrite(kWccRestore).Text("Caaa not a frame"));
  EXPECT_EQ(FileTransferState(s_->S()), CFileTransfer::kGetCommandSent);
  s_->Host(Frame(E("Caaa")));
  EXPECT_EQ(FileTransferState(s_->S()), CFileTransfer::kGetScreenImage);
  ASSERT_EQ(Replies().size(), 1u);
  // Block 1: ";" then "AB" (same set), sequence b.
  const Bytes data = Concat(E(";"), {0xC1, 0xC2});
  std::uint8_t sum = 0;
  for (std::uint8_t c : data) sum ^= c;
  auto block = [&](char sequence, const Bytes& d, std::uint8_t check, int length) {
    return Frame(Concat(Concat(E("A"), E(std::string(1, sequence))),
                        Concat(E(std::string{screenimage::kAlphabet[check & 63], screenimage::kAlphabet[length / 64],
                                             screenimage::kAlphabet[length % 64]}),
                               d)));
  };
  s_->Host(block('b', data, sum, 3));
  std::vector<Bytes> replies = Replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0][0], 0x7D);
  // Block 2 claims 5 positions but holds 3.
  s_->Host(block('c', data, sum, 5));
  replies = Replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0][0], 0xF2);
  EXPECT_NE(s_->Ui().boxes.back().text.find("does not hold the length"), std::string::npos);
  // Whatever the host sends now goes nowhere; its end frame ends the transfer.
  s_->Host(block('d', data, sum, 3));
  s_->Host(Frame(E("Ceaq canceled$")));
  ASSERT_EQ(observer_.ended.size(), 1u);
  EXPECT_FALSE(observer_.ended[0].success);
  EXPECT_FALSE(fs::exists(Path("got"))) << "a failed GET leaves no file";
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(TransferSession, ScreenImageGetRefusesAScreenCodeOutsideTheCodeSets) {
  CTransferRequest r = Request(Direction::kGet, HostSystem::kVmCms, kOptionScreenImage);
  r.pcFile = Path("got");
  ASSERT_EQ(Start(r), kStartSent);
  s_->Host(Frame(E("Caaa")));
  Replies();
  const Bytes data = Concat(E("'"), {0x82});  // no byte has 0x82 in the apostrophe set
  const std::uint8_t sum = data[0] ^ data[1];
  s_->Host(Frame(Concat(E(std::string("Ab") + screenimage::kAlphabet[sum & 63] + "ac"), data)));
  EXPECT_EQ(Replies().back()[0], 0xF2);
  EXPECT_NE(s_->Ui().boxes.back().text.find("X'82'"), std::string::npos);
}

TEST_F(TransferSession, ScreenImagePutOfAnEmptyFileSendsOnlyTheEndMark) {
  WriteFile(Path("empty"), "");
  CTransferRequest r = Request(Direction::kPut, HostSystem::kVmCms, kOptionScreenImage);
  r.pcFile = Path("empty");
  ASSERT_EQ(Start(r), kStartSent);
  s_->Host(Frame(E("Caaa")));
  Replies();
  // A data request: B, its input field, the data code and sequence.
  s_->Host(HostRecord::EraseWrite(kWccRestore).Sba(0).Text("B").Sf(kUnprotectedMdt).Text("Ab").Sba(1919).Sf(kAutoskip));
  const std::vector<Bytes> replies = Replies();
  ASSERT_EQ(replies.size(), 1u);
  // Enter, the cursor, SBA to position 2, then data code, sequence,
  // checksum, length 2 and the codes of "*" and "z".
  const Bytes& reply = replies[0];
  ASSERT_GE(reply.size(), 6u);
  EXPECT_EQ(reply[0], 0x7D);
  const Bytes field(reply.begin() + 6, reply.end());
  const std::uint8_t sum = E("*")[0] ^ E("z")[0];
  EXPECT_EQ(field, Concat(E(std::string("Ab") + screenimage::kAlphabet[sum & 63] + "ac"), E("*z")));
  EXPECT_EQ(s_->Ps().Attribute(1) & 0x0D, 0x0D) << "the field is modified and hidden";
  s_->Host(Frame(E("Cdai complete$")));
  ASSERT_EQ(observer_.ended.size(), 1u);
  EXPECT_TRUE(observer_.ended[0].success);
}

TEST_F(TransferSession, CancelAsksTheHostFirstAndASecondCancelEndsIt) {
  CTransferRequest r = Request(Direction::kGet, HostSystem::kVmCms, 0);
  r.pcFile = Path("c");
  ASSERT_EQ(Start(r), kStartSent);
  s_->Host(Wsf({Open("FT:DATA")}));
  Replies();
  CancelFileTransfer(s_->S());
  EXPECT_TRUE(FileTransferRunning(s_->S()));
  EXPECT_TRUE(Replies().empty()) << "PF2 goes with the next answer";
  s_->Host(Wsf({Insert("data")}));
  const std::vector<Bytes> replies = Replies();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[1][0], 0xF2);
  CancelFileTransfer(s_->S());
  EXPECT_FALSE(FileTransferRunning(s_->S()));
  EXPECT_EQ(s_->S().LockReason(), 0);
  ASSERT_EQ(observer_.ended.size(), 1u);
  EXPECT_TRUE(observer_.ended[0].cancelled);
  EXPECT_TRUE(FolderEntries().empty()) << "nothing of the cancelled file stays";
  // Once idle, further fields are the host's own business.
  s_->Host(Wsf({Insert("late")}));
  EXPECT_TRUE(Replies().empty());
}

TEST(TransferHandOff, TheHostHasItsResponseBeforeTheTransferAnswers) {
  SessionOptions o;
  o.extended = true;
  o.engines = [](unsigned mode) -> std::unique_ptr<TerminalEngine> {
    if (mode == kKind3278 || mode == kKind3279) return std::make_unique<C3270TransferEngine>();
    return nullptr;
  };
  Session3270 s(o);
  ASSERT_TRUE(s.Ready());
  s.Host(Concat(Header(0x03), {}));  // BIND: the LU-LU session
  const std::string file = (fs::temp_directory_path() / ("corvina-ft-handoff-" + std::to_string(::getpid()))).string();
  CTransferRequest r = Request(Direction::kGet, HostSystem::kVmCms, kOptionScreenImage);
  r.pcFile = file;
  ASSERT_EQ(StartFileTransfer(s.S(), r), kStartSent);
  s.TakeSent();
  static const CCorvinaCodePage cp;
  HostRecord frame = HostRecord::EraseWrite(kWccRestore).Sba(0);
  for (char c : std::string("Caaa")) frame.Byte(cp.ToEbcdic(static_cast<std::uint8_t>(c)));
  frame.Sba(1919).Sf(kAutoskip);
  s.Host(Concat(Header(0x00, 0x02, 7), frame));  // ALWAYS-RESPONSE
  const Bytes sent = s.TakeSent();
  ASSERT_GE(sent.size(), 10u);
  EXPECT_EQ(sent[0], 0x02) << "first the response";
  EXPECT_EQ(sent[3], 0x00);
  EXPECT_EQ(sent[4], 0x07);
  const std::size_t eor = Hex(sent).find("FF EF");
  ASSERT_NE(eor, std::string::npos);
  const Bytes second(sent.begin() + static_cast<long>(eor / 3) + 2, sent.end());
  ASSERT_GE(second.size(), 6u);
  EXPECT_EQ(second[0], 0x00);
  EXPECT_EQ(second[5], 0x7D) << "then the transfer's Enter";
  CancelFileTransfer(s.S());
  CancelFileTransfer(s.S());
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(TransferSession, StartIsRefusedWhileATransferRunsOrTheFileCannotBeOpened) {
  CTransferRequest r = Request(Direction::kPut, HostSystem::kVmCms, 0);
  r.pcFile = Path("missing");
  EXPECT_EQ(Start(r), kStartNotFound);
  EXPECT_EQ(HllapiStartResult(kStartNotFound), 302);
  EXPECT_NE(s_->Ui().boxes.back().text.find("Unable to open PC file"), std::string::npos);
  EXPECT_NE(s_->Ui().boxes.back().text.find("File not found"), std::string::npos);
  WriteFile(Path("there"), "x");
  r.pcFile = Path("there");
  ASSERT_EQ(Start(r), kStartSent);
  EXPECT_EQ(Start(r), kStartBusy);
  EXPECT_EQ(HllapiStartResult(kStartBusy), 310);
}

TEST_F(TransferSession, ScreenImageTranslatesThroughTheNamedCodePage) {
  // IBM 273 puts "{", "}" and "\xE4" at EBCDIC 43, DC and C0, where the
  // built-in tables have other characters; the host's ASCII of those is
  // A2, F0 and 7B.
  const std::string cp273 = std::string(CORVINA_SOURCE_DIR) + "/codepage/files/IBM273.cpg";
  const Bytes hostCodes = {0x5E, 0xA2, 0xF0, 0x5C, 0x6C};  // ";" A2 F0 "*" (7B in the "*" set)
  std::uint8_t sum = 0;
  for (std::uint8_t c : hostCodes) sum ^= c;
  const std::string header = std::string{screenimage::kAlphabet[sum & 63], 'a', 'f'};  // 5 positions

  WriteFile(Path("out"), "{}\xE4");
  CTransferRequest r = Request(Direction::kPut, HostSystem::kVmCms, kOptionScreenImage | kOptionAscii);
  r.pcFile = Path("out");
  r.codePageFile = cp273;
  ASSERT_EQ(Start(r), kStartSent);
  s_->Host(Frame(E("Caaa")));
  Replies();
  s_->Host(HostRecord::EraseWrite(kWccRestore).Sba(0).Text("B").Sf(kUnprotectedMdt).Text("Ab").Sba(1919).Sf(kAutoskip));
  std::vector<Bytes> replies = Replies();
  ASSERT_EQ(replies.size(), 1u);
  ASSERT_GE(replies[0].size(), 6u);
  EXPECT_EQ(Bytes(replies[0].begin() + 6, replies[0].end()), Concat(E("Ab" + header), hostCodes));
  s_->Host(Frame(E("Cdai complete$")));
  ASSERT_EQ(observer_.ended.size(), 1u);
  EXPECT_TRUE(observer_.ended[0].success);

  // The same host block received comes back as the same PC bytes.
  s_->Host(HostRecord::EraseWrite(kWccRestore).Sba(0).Text("READY"));
  r = Request(Direction::kGet, HostSystem::kVmCms, kOptionScreenImage | kOptionAscii);
  r.pcFile = Path("in");
  r.codePageFile = cp273;
  ASSERT_EQ(Start(r), kStartSent);
  s_->Host(Frame(E("Caaa")));
  s_->Host(Frame(Concat(E("Ab" + header), hostCodes)));
  s_->Host(Frame(E("Ccai complete$")));
  ASSERT_EQ(observer_.ended.size(), 2u);
  EXPECT_TRUE(observer_.ended[1].success) << observer_.ended[1].message;
  EXPECT_EQ(ReadFile(Path("in")), "{}\xE4");
}

TEST(TransferCodePage, AFileThatDoesNotLoadStopsTheTransferWithTheReason) {
  const std::string bad = ::testing::TempDir() + "corvina-bad-" + std::to_string(::getpid()) + ".cpg";
  std::ofstream(bad) << "CodePage\nName \"half\"\nBegin\n00: zz\nEnd\n";
  CTransferRequest r;
  std::string error;
  for (const std::string& file : {bad, std::string("/nonexistent/IBM999.cpg")}) {
    error.clear();
    EXPECT_FALSE(CommandLineRequest(FileTransferDefaults{}, Direction::kPut, "/tmp/pc", "HOST FILE A",
                                    "screenimage codepage=" + file, r, &error));
    EXPECT_NE(error.find(file), std::string::npos) << error;
    EXPECT_TRUE(error.find("Error loading Code Page file") == 0 || error.find("Can't open Code Page file") == 0)
        << error;
  }
  r.codePageFile.clear();
  EXPECT_TRUE(CodePageLoads(r, &error)) << "no file named: the built-in tables";
  std::remove(bad.c_str());
}

}  // namespace
}  // namespace corvina::test
