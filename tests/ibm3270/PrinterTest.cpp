// The 3270 printer session: job boundaries, responses, the time-out, disk
// files, LU type 3 buffers and the printer thread's reports.
#include <gtest/gtest.h>

#include <filesystem>

#include "ibm3270/Printer3270.h"
#include "printing/TextGridSink.h"
#include "tests/ibm3270/Support3270.h"

namespace corvina::test {
namespace {

constexpr std::uint8_t kScs = 1, kPrintEoj = 8, kBind = 3, kAlways = 2;

Bytes Ebcdic(std::string_view text) {
  CCorvinaCodePage cp;
  Bytes out;
  for (unsigned char c : text) out.push_back(cp.ToEbcdic(c));
  return out;
}

bool Logged(C3270PrinterEngine& e, const std::string& text) {
  for (const std::string& line : e.Log())
    if (line.find(text) != std::string::npos) return true;
  return false;
}

// A printer session with a printer thread that prints on text grids.
class PrinterSession {
 public:
  explicit PrinterSession(bool extended, std::function<void(CCorvinaSessionProfile&)> setup = {},
                          bool printerAvailable = true)
      : printer_([this](std::function<void()> task) { loop_->Post(std::move(task)); },
                 [this, printerAvailable](const PrintJob&, std::string& error) -> std::unique_ptr<printing::PageSink> {
                   if (!printerAvailable) {
                     error = "the printer is switched off";
                     return nullptr;
                   }
                   return std::make_unique<Sink>(this);
                 }) {
    SessionOptions o;
    o.kind = kKind3270Printer;
    o.extended = extended;
    o.setup = std::move(setup);
    o.printer = &printer_;
    session_ = std::make_unique<Session3270>(o);
    loop_ = &session_->S().Loop();  // outlives the session
  }
  ~PrinterSession() { printer_.Stop(); }
  Session3270& T() { return *session_; }
  C3270PrinterEngine& E() { return dynamic_cast<C3270PrinterEngine&>(session_->E()); }
  std::vector<std::vector<std::string>> Pages() {
    std::lock_guard lock(mutex_);
    return pages_;
  }
  printing::CPrinterThreadSCS& Printer() { return printer_; }

 private:
  struct Sink final : printing::CTextGridSink {
    explicit Sink(PrinterSession* owner) : CTextGridSink(132, 20), owner_(owner) {}
    bool TakePage(std::vector<std::string> page, std::string&) override {
      std::lock_guard lock(owner_->mutex_);
      owner_->pages_.push_back(std::move(page));
      return true;
    }
    PrinterSession* owner_;
  };
  std::mutex mutex_;
  std::vector<std::vector<std::string>> pages_;
  std::unique_ptr<Session3270> session_;
  platform::EventLoop* loop_ = nullptr;
  printing::CPrinterThreadSCS printer_;
};

TEST(PrinterSession, ScsJobIsSpooledPrintedAndAnswered) {
  PrinterSession p(true);
  ASSERT_TRUE(p.T().Ready());
  auto& e = p.E();
  EXPECT_TRUE(Logged(e, "Printer session connected. Waiting for work"));
  p.T().Host(Concat(Header(kBind, kAlways), {0x31, 0x01}));
  EXPECT_EQ(Hex(p.T().TakeSent()), "02 00 00 00 00 00 FF EF");  // BIND answered
  // An SHF cut between two records is completed from the second.
  p.T().Host(Concat(Concat(Header(kScs, kAlways, 7), Ebcdic("hello")), {0x15, 0x2B, 0xC1}));
  EXPECT_EQ(Hex(p.T().TakeSent()), "02 00 00 00 07 00 FF EF");
  EXPECT_TRUE(Logged(e, "[1] Receiving print job"));
  EXPECT_TRUE(e.Receiving());
  p.T().Host(Concat(Concat(Header(kScs, kAlways, 8), {0x02, 0x05}), Ebcdic("world, cut at five")));
  p.T().TakeSent();
  p.T().Host(Header(kPrintEoj, kAlways));
  EXPECT_EQ(Hex(p.T().TakeSent()), "02 00 00 00 00 00 FF EF");
  EXPECT_TRUE(Logged(e, "[1] Receive complete"));
  ASSERT_TRUE(p.T().RunUntil([&] { return Logged(e, "[1] Printing complete"); })) << e.Log().back();
  EXPECT_TRUE(Logged(e, "[1] Printing started"));
  EXPECT_EQ(p.Pages(), (std::vector<std::vector<std::string>>{{"hello", "world", ", cut", " at f", "ive"}}));
}

TEST(PrinterSession, PlainPrinterAcknowledgesEveryPieceAndPrintsLu3Buffers) {
  const std::string dir = MakeTempDir();
  PrinterSession p(false, [&](CCorvinaSessionProfile& profile) {
    profile.printOptions = kPrintToFile;
    profile.printerFile = dir + "/out.txt";
  });
  ASSERT_TRUE(p.T().Ready());
  auto& e = p.E();
  const std::string ack = "01 6C D9 02 00 FF EF";
  // A write without start-print prints nothing but is acknowledged.
  p.T().Host(HostRecord::EraseWrite(0xC3).Text("NOT PRINTED"));
  EXPECT_EQ(Hex(p.T().TakeSent()), ack);
  EXPECT_FALSE(e.Receiving());
  // Start-print with 40-character lines; a hidden field prints as a blank line.
  p.T().Host(HostRecord::EraseWrite(0xD8).Text("LINE ONE").Sba(40).Sf(kHidden).Text("secret").Sba(80).Sf(kProtected)
                 .Text("caf\xE9").Sba(200).Text("FIVE"));
  EXPECT_EQ(Hex(p.T().TakeSent()), ack);
  EXPECT_TRUE(Logged(e, "[1] Receiving print job"));
  // An SCS record (first byte 0x00) in the same job.
  p.T().Host(Concat({0x00}, Concat(Ebcdic("SCS"), {0x15})));
  EXPECT_EQ(Hex(p.T().TakeSent()), ack);
  // No end of job without the extended protocol: the time-out ends it.
  for (int i = 0; i < 29; ++i) p.T().S().OnTick();
  EXPECT_TRUE(e.Receiving());
  p.T().S().OnTick();
  EXPECT_FALSE(e.Receiving());
  EXPECT_TRUE(Logged(e, "[1] Receive timed out"));
  EXPECT_FALSE(Logged(e, "Receive complete"));
  EXPECT_EQ(ReadFile(dir + "/out.txt"), "LINE ONE\r\n\r\n caf\xC3\xA9\r\nFIVE\r\nSCS\r\n");
  std::filesystem::remove_all(dir);
}

TEST(PrinterSession, IncrementalDiskFilesNeverOverwrite) {
  const std::string dir = MakeTempDir();
  WriteFile(dir + "/job.001.txt", "earlier");
  PrinterSession p(true, [&](CCorvinaSessionProfile& profile) {
    profile.printOptions = kPrintToFile | kPrintNewFileEachTime;
    profile.printerFile = dir + "/job.txt";
  });
  ASSERT_TRUE(p.T().Ready());
  p.T().Host(Concat(Header(kBind, 0), {0x31}));
  for (const char* text : {"first", "second"}) {
    p.T().Host(Concat(Concat(Header(kScs, 0), Ebcdic(text)), {0x15}));
    p.T().Host(Header(kPrintEoj, 0));
  }
  EXPECT_EQ(ReadFile(dir + "/job.000.txt"), "first\r\n");
  EXPECT_EQ(ReadFile(dir + "/job.001.txt"), "earlier");
  EXPECT_EQ(ReadFile(dir + "/job.002.txt"), "second\r\n");
  EXPECT_TRUE(Logged(p.E(), "[2] Receive complete to file " + dir + "/job.002.txt"));
  EXPECT_TRUE(p.T().TakeSent().empty());  // no response asked for
  std::filesystem::remove_all(dir);
}

TEST(PrinterSession, AScriptsPrinterFileTakesTheJobsInsteadOfThePrinter) {
  const std::string dir = MakeTempDir();
  WriteFile(dir + "/script.txt", "before\r\n");
  PrinterSession p(true);
  ASSERT_TRUE(p.T().Ready());
  OutputFileOverride file{dir + "/script.txt", true};
  p.T().Frame().scriptPrinter = &file;
  p.T().Host(Concat(Header(kBind, 0), {0x31}));
  for (const char* text : {"first", "second"}) {
    p.T().Host(Concat(Concat(Header(kScs, 0), Ebcdic(text)), {0x15}));
    p.T().Host(Header(kPrintEoj, 0));
  }
  // Appended to as the script asked, as text; nothing went to the printer.
  EXPECT_EQ(ReadFile(dir + "/script.txt"), "before\r\nfirst\r\nsecond\r\n");
  EXPECT_TRUE(Logged(p.E(), "[2] Receive complete to file " + dir + "/script.txt"));
  // Without Append the script's first job replaces the file; once the
  // script is over the printer prints again.
  OutputFileOverride fresh{dir + "/script.txt", false};
  p.T().Frame().scriptPrinter = &fresh;
  p.T().Host(Concat(Concat(Header(kScs, 0), Ebcdic("third")), {0x15}));
  p.T().Host(Header(kPrintEoj, 0));
  EXPECT_EQ(ReadFile(dir + "/script.txt"), "third\r\n");
  p.T().Frame().scriptPrinter = nullptr;
  p.T().Host(Concat(Concat(Header(kScs, 0), Ebcdic("printed")), {0x15}));
  p.T().Host(Header(kPrintEoj, 0));
  ASSERT_TRUE(p.T().RunUntil([&] { return Logged(p.E(), "[4] Printing complete"); }));
  EXPECT_EQ(p.Pages(), (std::vector<std::vector<std::string>>{{"printed"}}));
  std::filesystem::remove_all(dir);
}

TEST(PrinterSession, FailedPrintingIsReportedAndKeepsTheSpoolFile) {
  PrinterSession p(true, {}, false);
  ASSERT_TRUE(p.T().Ready());
  auto& e = p.E();
  p.T().Host(Concat(Header(kBind, 0), {0x31}));
  p.T().Host(Concat(Header(kScs, 0), Ebcdic("x")));
  p.T().Host(Header(kPrintEoj, 0));
  ASSERT_TRUE(p.T().RunUntil([&] { return Logged(e, "ERROR: Printing failed"); }));
  EXPECT_TRUE(Logged(e, "[1] ERROR: Printing failed: the printer is switched off"));
  // The message log keeps to the screen's rows, oldest lines going first.
  for (int i = 0; i < 30; ++i) e.WriteMessage("line %d", i);
  EXPECT_EQ(e.Log().size(), 24u);
  EXPECT_NE(e.Log().back().find("line 29"), std::string::npos);
}

TEST(PrinterSession, ASessionClosedWhileItsJobPrintsGetsNoReport) {
  PrinterSession p(true);
  ASSERT_TRUE(p.T().Ready());
  p.T().Host(Concat(Header(kBind, 0), {0x31}));
  p.T().Host(Concat(Header(kScs, 0), Ebcdic("late")));
  p.T().Host(Header(kPrintEoj, 0));
  p.T().Close();
  p.Printer().Drain();
  p.T().RunUntil([] { return false; }, 100);  // the reports find no engine
  EXPECT_EQ(p.Pages().size(), 1u);
}

}  // namespace
}  // namespace corvina::test
