// How 3270 positions are drawn: characters, glyphs, colour-scheme entries,
// highlighting, and painting only what changed.
#include <gtest/gtest.h>

#include "Support3270.h"
#include "session/Oia.h"
#include "session/TextCanvas.h"

using namespace corvina;
using namespace corvina::test;

namespace {

CellLook Look(Session3270& t, int position) {
  TextCanvas canvas;
  t.E().Paint(canvas);
  int columns = t.S().Columns();
  return canvas.LookAt(position / columns, position % columns);
}

// Counts the cells it is sent.
struct CountingCanvas : Canvas {
  int cells = 0;
  bool keeps = false;
  bool KeepsPicture() const override { return keeps; }
  void DrawText(int, int, std::string_view text, const CellLook&) override { cells += static_cast<int>(text.size()); }
  void DrawGlyph(int, int, std::uint8_t, const CellLook&) override { ++cells; }
  void DrawOia(std::string_view) override {}
};

}  // namespace

TEST(Render, FieldColoursIn3279AndBaseEntriesIn3278) {
  const Bytes screen = HostRecord::EraseWrite(kWccNone)
                           .Sfe({{0xC0, 0x60}, {0x42, 0xF2}}).Text("RED")          // 0-3
                           .Sf(kUnprotected).Text("I").Sa(0x42, 0xF5).Text("T").Sa(0, 0)  // 4-6
                           .Sf(kProtectedBright).Text("B")                         // 7-8
                           .Sfe({{0xC0, 0xE8}, {0x42, 0x00}}).Text("D")            // 9-10
                           .Sfe({{0xC0, 0x40}, {0x45, 0xF1}}).Text("G");           // 11-12
  Session3270 color;
  ASSERT_TRUE(color.Ready());
  color.Host(screen);
  EXPECT_EQ(Look(color, 0), (CellLook{6, 6, kCellFieldAttribute}));
  EXPECT_EQ(Look(color, 1).foreground, 9);   // field red
  EXPECT_EQ(Look(color, 5), (CellLook{2, 2, 0}));
  EXPECT_EQ(Look(color, 6).foreground, 12);  // character turquoise
  EXPECT_EQ(Look(color, 8), (CellLook{5, 5, 0}));
  EXPECT_EQ(Look(color, 10).foreground, 5);  // default colour of an intensified field
  EXPECT_EQ(Look(color, 12), (CellLook{2, 8, kCellBackgroundFromForeground}));

  Session3270 mono({.kind = kKind3278});
  ASSERT_TRUE(mono.Ready());
  mono.Host(screen);
  EXPECT_EQ(Look(mono, 1), (CellLook{4, 4, 0}));
  EXPECT_EQ(Look(mono, 6), (CellLook{2, 2, 0}));
  EXPECT_EQ(Look(mono, 12), (CellLook{2, 2, 0}));
}

TEST(Render, HighlightingHiddenFieldsAndMarks) {
  Session3270 t({.terminalOptions = kTermIdentifyInputFields});
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone)
             .Sfe({{0xC0, 0x60}, {0x41, 0xF2}}).Text("R")       // 0-1 reverse
             .Sf(kProtected).Sa(0x41, 0xF4).Text("U")            // 2-3 underscore
             .Sa(0x41, 0xF1).Text("K").Sa(0, 0)                  // 4 blink
             .Sf(kHidden).Text("SECRET")                         // 5-11
             .Sf(kProtected));                                   // 12
  TextCanvas canvas;
  t.E().Paint(canvas);
  EXPECT_EQ(canvas.LookAt(0, 1).flags, kCellReverse);
  EXPECT_EQ(canvas.LookAt(0, 3).flags, kCellUnderline);
  EXPECT_EQ(canvas.LookAt(0, 4).flags, kCellBlink);
  EXPECT_EQ(canvas.LookAt(0, 6).flags, kCellInvisible | kCellInputMark);
  EXPECT_EQ(canvas.Lines()[0].substr(0, 13), " R UK" + std::string(8, ' '));

  Session3270 r({.terminalOptions = kTermIdentifyInputFields | kTermNoColumnSeparators,
                 .displayOptions = kDisplayBlinkAsReverse | kDisplayAttributeChars});
  ASSERT_TRUE(r.Ready());
  r.Host(HostRecord::EraseWrite(kWccNone).Sf(kUnprotected).Sa(0x41, 0xF1).Text("K"));
  TextCanvas c2;
  r.E().Paint(c2);
  EXPECT_EQ(c2.LookAt(0, 1).flags, kCellReverse);
  EXPECT_EQ(c2.Lines()[0].substr(0, 2), "@K");  // attribute characters shown
}

TEST(Render, OnlyChangedCellsAreSentToAKeptPicture) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Text("HELLO"));
  TextCanvas kept;
  t.E().Paint(kept);  // a first paint draws everything
  t.E().Paint(kept);  // later ones take the changes
  EXPECT_FALSE(t.E().Model().Changed());

  // The kept picture, brought up to date, equals a fresh one.
  t.Host(HostRecord::Write(kWccNone).Sba(0).Ra(200, 0xC1).Ge(0xC5));
  t.E().Paint(kept);
  TextCanvas fresh;
  t.E().Paint(fresh);
  EXPECT_EQ(kept.Lines(), fresh.Lines());
  EXPECT_EQ(kept.Lines()[2].substr(40, 3), "\u250C");
  EXPECT_TRUE(fresh.CursorShown());

  t.Host(HostRecord::Write(kWccNone).Sba(85).Text("XY").Sba(1000).Text("C"));
  CountingCanvas page;  // a new page gets everything and leaves the changes alone
  t.E().Paint(page);
  EXPECT_EQ(page.cells, 1920);
  CountingCanvas counting;
  counting.keeps = true;
  t.E().Paint(counting);
  EXPECT_EQ(counting.cells, 2 + 1);  // the changed cells of two rows
  EXPECT_FALSE(t.E().Model().Changed());
}

TEST(Render, OperatorInformationArea) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Sba(81).Ic());
  t.S().SetInsertMode(true);
  TextCanvas canvas;
  t.E().Paint(canvas);
  std::string oia = canvas.OiaLine();
  ASSERT_EQ(oia.size(), 80u);
  EXPECT_EQ(oia.substr(0, 3), "TA\x7F");
  EXPECT_EQ(oia.substr(20, 6), "1:test");
  EXPECT_EQ(oia[47], '^');
  EXPECT_EQ(oia.substr(49, 7), "02,02  ");
}

// The clock blinks the blinking cells (only they are repainted); without
// them it redraws the OIA when its minute changes and every second while
// the keyboard is locked.
TEST(Render, TheClockBlinksCellsOrRedrawsTheOiaClock) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccRestore).Text("STILL").Sa(0x41, 0xF1).Text("BLINK"));
  CountingCanvas canvas;
  canvas.keeps = true;
  t.E().Paint(canvas);
  int changes = t.Frame().screenChanges;
  t.S().OnTick();
  EXPECT_EQ(t.Frame().screenChanges, changes + 1);
  EXPECT_FALSE(t.S().BlinkPhase());
  canvas.cells = 0;
  t.E().Paint(canvas);
  EXPECT_EQ(canvas.cells, 5);  // only the blinking word
  EXPECT_TRUE(Look(t, 6).flags & kCellInvisible);
  EXPECT_FALSE(Look(t, 1).flags & kCellInvisible);
  t.S().OnTick();
  EXPECT_TRUE(t.S().BlinkPhase());
  EXPECT_FALSE(Look(t, 6).flags & kCellInvisible);

  t.Host(HostRecord::EraseWrite(kWccRestore).Text("STILL"));
  t.E().Paint(canvas);
  t.S().OnTick();  // the first tick draws the clock
  changes = t.Frame().screenChanges;
  t.S().OnTick();
  EXPECT_EQ(t.Frame().screenChanges, changes);  // same minute, unlocked: nothing to draw
  t.Clock().AdvanceSeconds(60);
  t.S().OnTick();
  EXPECT_EQ(t.Frame().screenChanges, changes + 1);
  t.S().SetLockReason(kLockWaitingForHost);
  t.S().OnTick();
  t.S().OnTick();
  EXPECT_EQ(t.Frame().screenChanges, changes + 3);  // the waiting time counts up
}
