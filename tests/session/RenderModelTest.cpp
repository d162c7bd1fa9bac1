#include <gtest/gtest.h>

#include "session/Oia.h"
#include "session/RenderModel.h"
#include "session/TextCanvas.h"

using namespace corvina;

namespace {

RenderCell Text(char c, CellLook look = {}) { return RenderCell{static_cast<std::uint8_t>(c), kNoGlyph, look}; }
RenderCell Glyph(std::uint8_t g) { return RenderCell{' ', g, {}}; }

}  // namespace

TEST(RenderModel, RunsSplitAtLookChangesAndGlyphs) {
  RenderModel m;
  m.Resize(2, 10);
  const CellLook red{9, 2, 0}, reverse{2, 2, kCellReverse};
  for (int c = 0; c < 3; ++c) m.SetCell(0, c, Text("abc"[c], red));
  m.SetCell(0, 3, Glyph(18));
  m.SetCell(0, 4, Glyph(18));
  m.SetCell(0, 5, Text('x', reverse));
  std::vector<std::string> runs;
  m.ForEachRun(0, -5, 99, [&](const RenderRun& r) {
    runs.push_back(std::to_string(r.column) + (r.glyph != kNoGlyph ? "#" + std::to_string(r.glyph) : ":" + r.text));
  });
  EXPECT_EQ(runs, (std::vector<std::string>{"0:abc", "3#18", "4#18", "5:x", "6:    "}));
  m.SetCell(5, 5, Text('z'));  // outside: ignored
  EXPECT_EQ(m.Cell(5, 5).character, ' ');
}

TEST(RenderModel, ChangesAreKeptPerRowUntilCleared) {
  RenderModel m;
  m.Resize(3, 10);
  EXPECT_EQ(m.ChangedRect().right, 9);  // a resize changes everything
  m.ClearChanges();
  EXPECT_FALSE(m.Changed());
  m.SetCell(1, 7, Text('a'));
  m.SetCell(1, 2, Text('b'));
  m.SetCell(2, 4, Text(' '));  // equal to what is there: no change
  EXPECT_EQ(m.FirstChangedColumn(1), 2);
  EXPECT_EQ(m.LastChangedColumn(1), 7);
  EXPECT_FALSE(m.RowChanged(2));
  CellRect r = m.ChangedRect();
  EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{2, 1, 7, 1}));
  m.SetOia("TA");
  m.ClearChanges();
  m.SetOia("TA");
  EXPECT_FALSE(m.Changed());
}

TEST(RenderModel, TextCanvasKeepsThePictureAcrossPartialPaints) {
  RenderModel m;
  m.Resize(2, 4);
  m.SetCell(0, 0, Text('\xE9'));  // Latin-1 e acute
  m.SetCell(1, 1, Glyph(13));
  m.SetCell(1, 2, Text('h', CellLook{2, 2, kCellInvisible}));
  m.SetCursor(1, 3, true);
  TextCanvas canvas;
  PaintModel(m, canvas);
  PaintModel(m, canvas);
  EXPECT_FALSE(m.Changed());
  m.SetCell(0, 3, Text('!'));
  PaintModel(m, canvas);
  EXPECT_EQ(canvas.Lines(), (std::vector<std::string>{"\u00E9  !", " \u250C  "}));
  EXPECT_TRUE(canvas.CursorShown());
  EXPECT_EQ(canvas.CursorColumn(), 3);
  m.SetCursor(7, 0, true);  // outside the model: not shown
  EXPECT_FALSE(m.CursorVisible());
  m.Resize(1, 2);
  PaintModel(m, canvas);
  EXPECT_EQ(canvas.Lines(), (std::vector<std::string>{"  "}));
}

TEST(RenderModel, LineSizesLimitWhatIsDrawnAndScrollBackIsClamped) {
  struct Recorder : Canvas {
    std::vector<std::string> calls;
    bool KeepsPicture() const override { return true; }
    void BeginRow(int row, LineSize size) override {
      calls.push_back("row" + std::to_string(row) + "/" + std::to_string(static_cast<int>(size)));
    }
    void DrawText(int row, int column, std::string_view t, const CellLook&) override {
      calls.push_back(std::to_string(row) + "," + std::to_string(column) + ":" + std::string(t));
    }
    void DrawGlyph(int, int, std::uint8_t, const CellLook&) override {}
    void DrawOia(std::string_view) override {}
    void DrawScrollBack(int history, int offset) override {
      calls.push_back("sb" + std::to_string(history) + "/" + std::to_string(offset));
    }
  } canvas;
  RenderModel m;
  m.Resize(3, 6);
  m.SetLineSize(0, LineSize::kDoubleWidth);
  m.SetLineSize(1, LineSize::kDoubleHeightTop);
  m.SetLineSize(2, LineSize::kDoubleHeightBottom);
  m.SetScrollBack(4, 9);  // offset clamped to the history
  PaintModel(m, canvas);
  EXPECT_EQ(canvas.calls, (std::vector<std::string>{"row0/1", "0,0:   ", "row1/2", "1,0:   ", "sb4/4"}));
  canvas.calls.clear();
  m.SetLineSize(2, LineSize::kNormal);  // the whole row is drawn again
  PaintModel(m, canvas);
  EXPECT_EQ(canvas.calls, (std::vector<std::string>{"row2/0", "2,0:      "}));
}

TEST(Oia, LineLayoutAndLockTexts) {
  OiaStatus s;
  s.extended = true;
  s.sscpLu = true;
  s.lockText = LockText(kLockProgramCheckReason, "", 401);
  s.sessionNumber = 3;
  s.sessionName = "a very long session name indeed";
  s.insertMode = true;
  s.cursorRow = 4;
  s.cursorColumn = 119;
  s.columns = 132;
  s.responseMs = 61'234;
  s.deviceName = "TERM0001X";
  std::string line = FormatOiaLine(s, 132);
  ASSERT_EQ(line.size(), 132u);
  EXPECT_EQ(line.substr(0, 3), "TB!");
  EXPECT_EQ(line.substr(8, 11), "X PROG401  ");
  EXPECT_EQ(line.substr(20, 26), "3:a very long session n...");
  EXPECT_EQ(line[47], '^');
  EXPECT_EQ(line.substr(49, 7), "05,120 ");
  EXPECT_EQ(line.substr(56, 9), "01:01.234");
  EXPECT_EQ(line.substr(72, 8), "TERM0001");
  EXPECT_EQ(LockText(kLockWaitingForHost, "PF3", 0), "PF3");
  EXPECT_EQ(LockText(kLockWaitingForHost, "", 0), "SYSTEM");
  EXPECT_EQ(LockText(kLockNumericField, "", 0), "NUM");
  EXPECT_EQ(LockText(kUnlocked, "", 0), "");
  OiaStatus plain;
  plain.scrollBack = true;
  EXPECT_EQ(FormatOiaLine(plain, 40).substr(0, 18), "TA\x7F     SCROLLBACK");
}

namespace {

// A window-like canvas: keeps its picture, records what it is sent.
struct RecordingCanvas : Canvas {
  bool blinkRepaint = false, canScroll = true;
  std::vector<int> scrolls;
  std::vector<std::string> runs;
  bool KeepsPicture() const override { return true; }
  bool BlinkRepaint() const override { return blinkRepaint; }
  bool ScrollRows(int delta) override {
    scrolls.push_back(delta);
    return canScroll;
  }
  void DrawText(int row, int column, std::string_view text, const CellLook&) override {
    runs.push_back(std::to_string(row) + ":" + std::to_string(column) + ":" + std::string(text));
  }
  void DrawGlyph(int, int, std::uint8_t, const CellLook&) override {}
  void DrawOia(std::string_view) override {}
};

void Fill(RenderModel& m, int row, const std::string& text, CellLook look = {}) {
  for (int c = 0; c < static_cast<int>(text.size()); ++c) m.SetCell(row, c, Text(text[static_cast<std::size_t>(c)], look));
}

}  // namespace

TEST(RenderModel, ABlinkRepaintDrawsTheBlinkingRunsBesideTheChanges) {
  RenderModel m;
  m.Resize(3, 6);
  Fill(m, 1, "ab", CellLook{2, 0, kCellBlink});
  m.ClearChanges();
  m.SetCell(0, 4, Text('x'));
  RecordingCanvas canvas;
  canvas.blinkRepaint = true;
  PaintModel(m, canvas);
  EXPECT_EQ(canvas.runs, (std::vector<std::string>{"0:4:x", "1:0:ab"}));
  canvas.runs.clear();
  canvas.blinkRepaint = false;
  PaintModel(m, canvas);  // nothing changed, no blink step
  EXPECT_TRUE(canvas.runs.empty());
}

TEST(RenderModel, ScrolledRowsMoveTheirCellsAndOnlyUncoveredRowsAreDrawn) {
  RenderModel m;
  m.Resize(4, 3);
  for (int row = 0; row < 4; ++row) Fill(m, row, std::string(3, static_cast<char>('a' + row)));
  m.SetLineSize(2, LineSize::kDoubleWidth);
  m.ClearChanges();
  m.SetCell(0, 1, Text('X'));  // an unpainted change moves with its row
  m.ScrollRows(1);
  EXPECT_EQ(m.Cell(1, 1).character, 'X');
  EXPECT_EQ(m.Cell(3, 0).character, 'c');
  EXPECT_EQ(m.RowLineSize(3), LineSize::kDoubleWidth);
  EXPECT_EQ(m.PendingScroll(), 1);
  RecordingCanvas canvas;
  PaintModel(m, canvas);
  EXPECT_EQ(canvas.scrolls, std::vector<int>{1});
  EXPECT_EQ(canvas.runs, (std::vector<std::string>{"0:0:aXa", "1:1:X"}));
  EXPECT_EQ(m.PendingScroll(), 0);

  // Up again by two: the two bottom rows are uncovered.
  m.ScrollRows(-2);
  EXPECT_EQ(m.Cell(0, 0).character, 'b');
  canvas.runs.clear();
  PaintModel(m, canvas);
  EXPECT_EQ(m.RowLineSize(1), LineSize::kDoubleWidth);
  EXPECT_EQ(canvas.runs, (std::vector<std::string>{"2:0:bbb", "3:0:ccc"}));

  // A canvas that cannot move its pixels, and moves that leave nothing in view, draw everything.
  m.ScrollRows(-1);
  canvas.canScroll = false;
  canvas.runs.clear();
  PaintModel(m, canvas);
  EXPECT_EQ(canvas.runs.size(), 4u);
  m.ScrollRows(3);
  m.ScrollRows(1);
  EXPECT_EQ(m.PendingScroll(), 0);
  EXPECT_EQ(m.ChangedRect().bottom, 3);
}
