// The VT engine in a session connected to a loopback host: what goes to
// the host, the scroll-back view, the render model and the print spool.
#include <gtest/gtest.h>

#include "../session/TestSupport.h"
#include <filesystem>

#include "config/PersistentData.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/StoreKinds.h"
#include "session/TextCanvas.h"
#include "vt/VtEngine.h"

using namespace corvina;
using namespace corvina::test;
namespace k = corvina::kf::vt;

namespace {

struct VtSession {
  TestFrame frame;
  LoopbackServer server{frame.loop};
  CHostSession* session = nullptr;
  CVtEngine* engine = nullptr;
  std::string dataDir = MakeTempDir() + "/";

  explicit VtSession(unsigned kind = kKindVt220, int scrollBack = 48, std::uint32_t terminalOptions = 0,
                     CCorvinaPersistentData* store = nullptr) {
    frame.store = store;
    frame.engines = [this](unsigned) {
      auto e = std::make_unique<CVtEngine>();
      engine = e.get();
      return e;
    };
    auto profile = ProfileFor(server.Port(), kind);
    profile->scrollBackLines = static_cast<std::uint16_t>(scrollBack);
    profile->terminalOptions = terminalOptions;
    frame.dataFolder = dataDir;
    session = &frame.Start(profile);
    EXPECT_TRUE(frame.RunUntil([&] { return server.Accepted() == 1 && session->State() == kSocketConnected; }));
  }
  ~VtSession() { std::system(("rm -rf '" + dataDir + "'").c_str()); }
  void Host(std::string_view bytes) { engine->ProcessRecord(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())); }
  // What the host received since the last call (Telnet negotiation aside).
  std::string Sent() {
    frame.RunUntil([] { return false; }, 100);
    std::string all = server.Received();
    std::string fresh = all.substr(seen_);
    seen_ = all.size();
    return fresh;
  }

 private:
  std::size_t seen_ = 0;
};

}  // namespace

TEST(VtEngine, EverythingForTheHostGoesThroughNvtEscaping) {
  VtSession vt;
  vt.Sent();
  vt.session->OnKeyFunction(k::kEnter);
  EXPECT_EQ(vt.Sent(), std::string("\r\0", 2)) << "a bare CR is CR NUL";
  vt.Host("\x1B[20h");
  vt.session->OnKeyFunction(k::kEnter);
  EXPECT_EQ(vt.Sent(), "\r\n") << "new-line mode sends CR LF";
  vt.engine->PasteText("a\xFF" "b\r");
  vt.session->FlushOutput();
  EXPECT_EQ(vt.Sent(), std::string("a\xFF\xFF" "b\r\0", 6));
  vt.Host("\x1BP0|17/41FF0D\x1B\\");
  vt.session->OnKeyFunction(k::kF6);
  EXPECT_EQ(vt.Sent(), std::string("A\xFF\xFF\r\0", 5)) << "user-defined keys are data too";
  vt.session->OnKeyFunction(k::kTelnetInterruptProcess);
  EXPECT_EQ(vt.Sent(), "\xFF\xF4") << "a Telnet command is not data";
  vt.session->OnCharacter(0xFF);
  EXPECT_EQ(vt.Sent(), "\xFF\xFF");
}

TEST(VtEngine, KeysFollowTheHostsModes) {
  VtSession vt;
  vt.Sent();
  vt.session->OnKeyFunction(k::kCursorUp);
  vt.Host("\x1B[?1h\x1B=");
  vt.session->OnKeyFunction(k::kCursorUp);
  vt.session->OnKeyFunction(k::kKeypad5);
  vt.Host("\x1B[?2l");
  vt.session->OnKeyFunction(k::kCursorUp);
  vt.session->OnKeyFunction(k::kKeypad5);
  vt.session->OnKeyFunction(k::kF6);  // nothing in VT52 mode
  vt.Host("\x1B<\x1B>\x1B[?1l");
  vt.session->OnKeyFunction(k::kKeypad5);
  vt.session->OnKeyFunction(k::kF6);
  EXPECT_EQ(vt.Sent(), "\x1B[A\x1BOA\x1BOu\x1B" "A\x1B?u5\x1B[17~");
  vt.Host("\x1B[2h");  // keyboard locked by the host
  vt.session->OnCharacter('x');
  EXPECT_EQ(vt.Sent(), "");
}

TEST(VtEngine, ScrollBackViewFollowsTheHistory) {
  VtSession vt(kKindVt220, 500);
  for (int i = 0; i < 33; ++i) vt.Host("line " + std::to_string(i) + "\r\n");
  // 24 rows, 34 lines written (the last empty): 10 in the history.
  vt.session->OnKeyFunction(k::kScrollHome);
  EXPECT_EQ(vt.engine->ViewOffset(), 10) << "clamped to the history in use";
  EXPECT_EQ(vt.engine->CopyRectangle(CellRect{0, 0, 10, 1}), "line 0\r\nline 1") << "copying takes the lines on view";
  EXPECT_NE(vt.engine->OiaLine().find("SCROLLBACK"), std::string::npos);
  vt.session->OnKeyFunction(k::kScrollEnd);
  for (int i = 0; i < 20; ++i) vt.Host("more\r\n");
  vt.session->OnKeyFunction(k::kScrollPageUp);
  EXPECT_EQ(vt.engine->ViewOffset(), 24);
  vt.session->OnKeyFunction(k::kScrollPageUp);
  EXPECT_EQ(vt.engine->ViewOffset(), 30);
  vt.session->OnKeyFunction(k::kScrollEnd);
  vt.session->OnKeyFunction(k::kScrollLineUp);
  for (int i = 0; i < 4; ++i) vt.session->OnKeyFunction(k::kScrollLineUp);
  vt.Host("\n");
  EXPECT_EQ(vt.engine->ViewOffset(), 6) << "the lines in view stay in view";
  vt.session->OnCharacter('x');
  EXPECT_EQ(vt.engine->ViewOffset(), 0) << "typing returns to the live screen";

  // Once the history is full the view moves on with the newer lines.
  VtSession small(kKindVt220, 5);
  for (int i = 0; i < 40; ++i) small.Host("x\r\n");
  small.session->OnKeyFunction(k::kScrollLineUp);
  small.session->OnKeyFunction(k::kScrollLineUp);
  small.Host("\n\n\n\n\n\n\n\n");
  EXPECT_EQ(small.engine->ViewOffset(), 2);
}

TEST(VtEngine, AnEditedScrollBackSizeRemakesTheHistoryKeepingTheNewestLines) {
  VtSession vt(kKindVt220, 500);
  for (int i = 0; i < 60; ++i) vt.Host("line " + std::to_string(i) + "\r\n");
  vt.session->OnKeyFunction(k::kScrollPageUp);
  vt.session->Profile().scrollBackLines = 8;
  vt.session->ApplyProfile();
  EXPECT_EQ(vt.engine->Terminal().Screen().HistoryCapacity(), 8);
  EXPECT_EQ(vt.engine->Terminal().Screen().HistoryLines(), 8);
  EXPECT_EQ(vt.engine->ViewOffset(), 0);
  vt.session->OnKeyFunction(k::kScrollHome);
  EXPECT_EQ(vt.engine->CopyRectangle(CellRect{0, 0, 10, 0}), "line 29") << "the oldest lines are the ones dropped";
  vt.session->OnKeyFunction(k::kScrollEnd);
  vt.Host("\x1B[2J\x1B[Hlive");
  vt.session->ApplyProfile();  // unchanged: the screen is left alone
  EXPECT_EQ(vt.engine->CopyRectangle(CellRect{0, 0, 10, 0}), "live");
}

TEST(VtEngine, RenderModelCarriesLooksLineSizesAndGlyphs) {
  VtSession vt;
  vt.Host("\x1B[1mB\x1B[31mR\x1B[0;5mK\x1B[44mb\x1B(0q\x1B(B\r\n\x1B#3Big\r\n\x1B#4Big");
  TextCanvas canvas;
  vt.engine->Paint(canvas);
  const RenderModel& m = vt.engine->Model();
  // Bold default shows as "Bold Default" in the normal font; bold red,
  // whose bold element has the same colours, in the bold font.
  EXPECT_EQ(m.Cell(0, 0).look.foreground, 11);
  EXPECT_FALSE(m.Cell(0, 0).look.flags & kCellBold);
  EXPECT_EQ(m.Cell(0, 1).look.foreground, 3);
  EXPECT_TRUE(m.Cell(0, 1).look.flags & kCellBold);
  EXPECT_TRUE(m.Cell(0, 2).look.flags & kCellBlink);
  EXPECT_EQ(m.Cell(0, 3).look.background, 5);
  EXPECT_TRUE(m.Cell(0, 3).look.flags & kCellBackgroundFromForeground);
  EXPECT_EQ(m.Cell(0, 4).glyph, 18);
  EXPECT_EQ(m.RowLineSize(1), LineSize::kDoubleHeightTop);
  EXPECT_EQ(m.RowLineSize(2), LineSize::kDoubleHeightBottom);
  EXPECT_TRUE(m.Cell(1, 0).look.flags & kCellDoubleHeight);
  EXPECT_EQ(canvas.Lines()[0].substr(0, 7), "BRKb\u2500");
  // Blink shown as reverse video.
  vt.session->Profile().displayOptions |= kDisplayBlinkAsReverse;
  vt.engine->Paint(canvas);
  EXPECT_FALSE(m.Cell(0, 2).look.flags & kCellBlink);
  EXPECT_TRUE(m.Cell(0, 2).look.flags & kCellReverse);
}

TEST(VtEngine, PrintJobsSpillToACappedSpoolFile) {
  struct Sink final : vt::VtPrintSink {
    std::vector<vt::VtPrintJob> jobs;
    void SubmitJob(const vt::VtPrintJob& job) override { jobs.push_back(job); }
  } sink;
  VtSession vt;
  vt.engine->SetPrintSink(&sink);
  vt.Host("\x1B[5i");
  const std::string chunk(100 * 1024, 'p');
  for (int i = 0; i < 3; ++i) vt.Host(chunk);
  vt.Host("\x1B[4iscreen");
  ASSERT_EQ(sink.jobs.size(), 1u);
  EXPECT_EQ(sink.jobs[0].length, 3 * chunk.size());
  EXPECT_TRUE(sink.jobs[0].raw);
  EXPECT_EQ(ReadFile(vt.engine->SpoolPath()), std::string(3 * chunk.size(), 'p'));
  EXPECT_EQ(vt.session->ScreenRows()[0].substr(0, 6), "screen");
  // A host that prints without end is capped, and its jobs are paced.
  for (int i = 0; i < 30; ++i) vt.Host("\x1B[5ijob\x1B[4i");
  EXPECT_EQ(sink.jobs.size(), std::size_t{vt::CVtPrintSpool::kJobsPerMinute});
  vt.Host("\x1B[5i");
  const std::string mega(1024 * 1024, 'q');
  for (int i = 0; i < 20; ++i) vt.Host(mega);
  vt.Host("\x1B[4i");
  EXPECT_LE(ReadFile(vt.engine->SpoolPath()).size(), vt::CVtPrintSpool::kFileLimit);
  EXPECT_TRUE(vt.frame.HasStatus("Printer output beyond 16777216 bytes was discarded"));
}

TEST(VtEngine, LineModeActsOnThreeKeysOnly) {
  VtSession vt(kKindVt100, 48, kTermLocalEcho);
  vt.session->SetMode(kKindLineMode);
  vt.session->ResetToNvt();
  vt.frame.RunUntil([] { return false; }, 20);
  vt.Sent();
  vt.session->OnCharacter('a');
  vt.session->OnKeyFunction(k::kTab);
  vt.session->OnKeyFunction(k::kCursorUp);
  vt.session->OnKeyFunction(k::kBackspace);
  vt.session->OnKeyFunction(k::kEnter);
  EXPECT_EQ(vt.Sent(), "a\t\b\r\n");
  EXPECT_EQ(vt.session->ScreenRows()[0].substr(0, 2), "  ") << "local echo: a, then BS blank BS";
}

TEST(VtEngine, KeysSendWhatTheSessionsKeyboardMapReplaces) {
  const std::string storeDir = MakeTempDir() + "/";
  platform::IniFile appProfile;
  platform::RecordingUserInterface storeUi;
  CCorvinaPersistentData store(storeDir, appProfile, storeUi);
  RegisterKeyboardObjects(store);
  ASSERT_TRUE(store.LoadAll());
  {
    VtSession vt(kKindVt220, 48, 0, &store);
    vt.Sent();
    auto& map = static_cast<CCorvinaKeyboardMap&>(*store.Find(ObjectKind::kKeyboardMap, "VT100 Default"));
    map.SetControlSequence(k::kPF1, std::string("\x1b[17~\xff", 6));
    vt.session->OnKeyFunction(k::kPF1);
    EXPECT_EQ(vt.Sent(), std::string("\x1b[17~\xff\xff", 7));
    map.SetControlSequence(k::kPF1, std::nullopt);
    vt.session->OnKeyFunction(k::kPF1);
    EXPECT_EQ(vt.Sent(), "\x1bOP");
  }
  std::filesystem::remove_all(storeDir);
}
