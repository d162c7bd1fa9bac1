#include "vt/VtScreen.h"

#include <algorithm>

namespace corvina::vt {

void CVtScreen::Reset(int rows, int columns, int history) {
  rows_ = std::max(1, rows);
  columns_ = std::max(1, columns);
  capacity_ = rows_ + std::clamp(history, 0, kMaxHistory);
  inUse_ = rows_;
  top_ = 0;
  cells_.assign(static_cast<std::size_t>(capacity_) * static_cast<std::size_t>(columns_), VtCell{});
  sizes_.assign(static_cast<std::size_t>(capacity_), kLineNormal);
}

void CVtScreen::Resize(int rows, int columns, int history) {
  CVtScreen old = std::move(*this);
  Reset(rows, columns, history);
  // The most recent lines that fit: the newest at the bottom of the screen.
  const int keep = std::min(old.inUse_, capacity_);
  const int oldFirst = old.rows_ - keep;  // oldest kept line, in old rows
  const int newFirst = rows_ - keep;      // where it goes, in new rows
  inUse_ = std::max(rows_, keep);
  const int width = std::min(columns_, old.columns_);
  for (int i = 0; i < keep; ++i) {
    const VtCell* from = old.Line(oldFirst + i);
    VtCell* to = Line(newFirst + i);
    std::copy(from, from + width, to);
    SetLineSize(newFirst + i, old.LineSize(oldFirst + i));
  }
}

std::size_t CVtScreen::Index(int row) const {
  row = std::clamp(row, rows_ - inUse_, rows_ - 1);
  int i = (top_ + row) % capacity_;
  if (i < 0) i += capacity_;
  return static_cast<std::size_t>(i);
}

void CVtScreen::CopyLine(int to, int from) {
  const VtCell* f = Line(from);
  std::copy(f, f + columns_, Line(to));
  SetLineSize(to, LineSize(from));
}

void CVtScreen::BlankLine(int row, VtCell blank) {
  VtCell* l = Line(row);
  std::fill(l, l + columns_, blank);
  SetLineSize(row, kLineNormal);
}

void CVtScreen::ScrollUp(int top, int bottom, int n, VtCell blank, bool intoHistory) {
  top = std::max(0, top);
  bottom = std::min(rows_ - 1, bottom);
  if (top > bottom || n <= 0) return;
  n = std::min(n, bottom - top + 1);
  if (top == 0 && intoHistory && capacity_ > rows_) {
    for (int k = 0; k < n; ++k) {
      // The top line becomes the newest history line; the recycled line
      // (the oldest history line, or a spare one) becomes the last row.
      top_ = (top_ + 1) % capacity_;
      inUse_ = std::min(capacity_, inUse_ + 1);
      for (int r = rows_ - 1; r > bottom; --r) CopyLine(r, r - 1);
      BlankLine(bottom, blank);
    }
    return;
  }
  for (int r = top; r + n <= bottom; ++r) CopyLine(r, r + n);
  for (int r = bottom - n + 1; r <= bottom; ++r) BlankLine(r, blank);
}

void CVtScreen::ScrollDown(int top, int bottom, int n, VtCell blank) {
  top = std::max(0, top);
  bottom = std::min(rows_ - 1, bottom);
  if (top > bottom || n <= 0) return;
  n = std::min(n, bottom - top + 1);
  for (int r = bottom; r - n >= top; --r) CopyLine(r, r - n);
  for (int r = top; r < top + n; ++r) BlankLine(r, blank);
}

void CVtScreen::Erase(int row, int from, int to, VtCell blank, bool spareProtected) {
  from = std::max(0, from);
  to = std::min(columns_ - 1, to);
  VtCell* l = Line(row);
  for (int c = from; c <= to; ++c)
    if (!spareProtected || !(l[c].rendition & kRendProtected)) l[c] = blank;
}

void CVtScreen::InsertCells(int row, int column, int n, VtCell blank) {
  if (column < 0 || column >= columns_ || n <= 0) return;
  n = std::min(n, columns_ - column);
  VtCell* l = Line(row);
  std::move_backward(l + column, l + columns_ - n, l + columns_);
  std::fill(l + column, l + column + n, blank);
}

void CVtScreen::DeleteCells(int row, int column, int n, VtCell blank) {
  if (column < 0 || column >= columns_ || n <= 0) return;
  n = std::min(n, columns_ - column);
  VtCell* l = Line(row);
  std::move(l + column + n, l + columns_, l + column);
  std::fill(l + columns_ - n, l + columns_, blank);
}

bool CVtScreen::ScreenBlank() const {
  for (int r = 0; r < rows_; ++r) {
    const VtCell* l = Line(r);
    for (int c = 0; c < columns_; ++c)
      if (l[c].character != ' ') return false;
  }
  return true;
}

void CVtScreen::PushScreenToHistory(VtCell blank) {
  // The last non-blank row decides how much goes: trailing blank rows stay out.
  int last = rows_ - 1;
  auto blankRow = [&](int r) {
    const VtCell* l = Line(r);
    return std::all_of(l, l + columns_, [](const VtCell& c) { return c.character == ' '; });
  };
  while (last >= 0 && blankRow(last)) --last;
  if (last < 0) return;
  ScrollUp(0, rows_ - 1, last + 1, blank);
  for (int r = 0; r < rows_; ++r) BlankLine(r, blank);
}

}  // namespace corvina::vt
