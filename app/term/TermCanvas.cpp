#include "app/term/TermCanvas.h"

#include <curses.h>

#include <algorithm>
#include <climits>

#include "config/SessionProfile.h"
#include "session/TextCanvas.h"

namespace corvina::term {

namespace {

int Square(int v) { return v * v; }
int Distance(Rgb a, int r, int g, int b) { return Square(a.red - r) + Square(a.green - g) + Square(a.blue - b); }

}  // namespace

int NearestColor(Rgb c, int colors) {
  if (colors >= 256) {
    // The 6x6x6 cube from 16, then the grey ramp from 232.
    static constexpr int kLevels[] = {0, 95, 135, 175, 215, 255};
    auto level = [](int v) {
      int best = 0;
      for (int i = 1; i < 6; ++i)
        if (std::abs(kLevels[i] - v) < std::abs(kLevels[best] - v)) best = i;
      return best;
    };
    const int r = level(c.red), g = level(c.green), b = level(c.blue);
    const int cube = 16 + 36 * r + 6 * g + b;
    const int cubeDistance = Distance(c, kLevels[r], kLevels[g], kLevels[b]);
    const int average = (c.red + c.green + c.blue) / 3;
    const int grey = std::clamp((average - 8 + 5) / 10, 0, 23);
    const int greyValue = 8 + 10 * grey;
    return Distance(c, greyValue, greyValue, greyValue) < cubeDistance ? 232 + grey : cube;
  }
  // ANSI order: bit 0 red, bit 1 green, bit 2 blue; 8 more for bright.
  const int index = (c.red >= 0x80 ? 1 : 0) | (c.green >= 0x80 ? 2 : 0) | (c.blue >= 0x80 ? 4 : 0);
  const bool bright = std::max({c.red, c.green, c.blue}) > 0xC0 || (index == 0 && c.red + c.green + c.blue > 0x120);
  if (colors >= 16 && bright) return index + 8;
  if (index == 0 && bright) return 7;  // a light grey on 8 colours
  return index;
}

CTermCanvas::CTermCanvas() = default;

CTermCanvas::~CTermCanvas() {
  if (pad_) delwin(pad_);
}

void CTermCanvas::BeginPaint(int rows, int columns) {
  rows = std::max(1, rows);
  columns = std::max(1, columns);
  if (pad_ && rows == rows_ && columns == columns_) return;
  if (pad_) delwin(pad_);
  pad_ = newpad(rows, columns);
  rows_ = rows;
  columns_ = columns;
  painted_ = false;
  wideRow_ = -1;
}

void CTermCanvas::AttributesOf(const CellLook& look, bool selected, unsigned* attributes, int* pair) const {
  const CCorvinaColorScheme& scheme = scheme_ ? *scheme_ : CCorvinaColorScheme::BuiltIn(kKind3279);
  Rgb fg = scheme.Foreground(look.foreground);
  Rgb bg = (look.flags & kCellBackgroundFromForeground) ? scheme.Foreground(look.background)
                                                          : scheme.Background(look.background);
  if (look.flags & kCellReverse) std::swap(fg, bg);
  if (look.flags & kCellInvisible) fg = bg;
  unsigned a = A_NORMAL;
  if (look.flags & kCellBold) a |= A_BOLD;
  if (look.flags & kCellUnderline) a |= A_UNDERLINE;
  if (look.flags & kCellBlink) a |= A_BLINK;
  if (selected) a |= A_REVERSE;
  *attributes = a;
  *pair = 0;
  if (has_colors()) {
    const int colors = COLORS;
    const int p = alloc_pair(NearestColor(fg, colors), NearestColor(bg, colors));
    *pair = p > 0 ? p : 0;
  }
}

void CTermCanvas::BeginRow(int row, LineSize size) {
  wideRow_ = size == LineSize::kNormal ? -1 : row;
}

void CTermCanvas::DrawScrollBack(int historyLines, int offset) {
  historyLines_ = historyLines;
  scrollBackOffset_ = offset;
}

void CTermCanvas::Put(int row, int column, char32_t c, const CellLook& look) {
  if (row != wideRow_) return PutCell(row, column, c, look);
  PutCell(row, 2 * column, c, look);
  PutCell(row, 2 * column + 1, U' ', look);
}

void CTermCanvas::PutCell(int row, int column, char32_t c, const CellLook& look) {
  if (!pad_ || row < 0 || row >= rows_ || column < 0 || column >= columns_) return;
  const bool selected = !selection_.Empty() && row >= selection_.top && row <= selection_.bottom &&
                        column >= selection_.left && column <= selection_.right;
  unsigned attributes = 0;
  int pair = 0;
  AttributesOf(look, selected, &attributes, &pair);
  if ((look.flags & kCellInvisible) || c < 0x20 || (c >= 0x7F && c < 0xA0)) c = U' ';
  wchar_t text[2] = {static_cast<wchar_t>(c), 0};
  cchar_t cell;
  setcchar(&cell, text, attributes, static_cast<short>(std::min(pair, SHRT_MAX)), &pair);
  // The bottom right cell scrolls nothing in a pad; the error is harmless.
  mvwadd_wch(pad_, row, column, &cell);
}

void CTermCanvas::DrawText(int row, int column, std::string_view latin1, const CellLook& look) {
  for (char ch : latin1) Put(row, column++, static_cast<unsigned char>(ch), look);
}

void CTermCanvas::DrawGlyph(int row, int column, std::uint8_t glyph, const CellLook& look) {
  Put(row, column, TextCanvas::GlyphCharacter(glyph), look);
}

void CTermCanvas::DrawCursor(int row, int column, bool visible) {
  cursorRow_ = row;
  cursorColumn_ = column;
  cursorVisible_ = visible;
}

}  // namespace corvina::term
