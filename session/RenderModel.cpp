#include "session/RenderModel.h"

#include <algorithm>

#include "session/Canvas.h"

namespace corvina {

void RenderModel::Resize(int rows, int columns) {
  rows_ = std::max(0, rows);
  columns_ = std::max(0, columns);
  cells_.assign(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_), RenderCell{});
  changed_.assign(static_cast<std::size_t>(rows_), Span{});
  lineSizes_.assign(static_cast<std::size_t>(rows_), LineSize::kNormal);
  pendingScroll_ = 0;
  MarkAllChanged();
}

const RenderCell& RenderModel::Cell(int row, int column) const {
  static const RenderCell blank;
  if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return blank;
  return cells_[static_cast<std::size_t>(row * columns_ + column)];
}

void RenderModel::SetCell(int row, int column, const RenderCell& cell) {
  if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return;
  RenderCell& c = cells_[static_cast<std::size_t>(row * columns_ + column)];
  if (c == cell) return;
  c = cell;
  MarkChanged(row, column);
}

void RenderModel::MarkChanged(int row, int column) {
  Span& s = changed_[static_cast<std::size_t>(row)];
  if (s.last < s.first) {
    s.first = s.last = column;
    return;
  }
  s.first = std::min(s.first, column);
  s.last = std::max(s.last, column);
}

void RenderModel::SetLineSize(int row, LineSize size) {
  if (row < 0 || row >= rows_) return;
  LineSize& l = lineSizes_[static_cast<std::size_t>(row)];
  if (l == size) return;
  l = size;
  changed_[static_cast<std::size_t>(row)] = Span{0, columns_ - 1};
}

LineSize RenderModel::RowLineSize(int row) const {
  if (row < 0 || row >= rows_) return LineSize::kNormal;
  return lineSizes_[static_cast<std::size_t>(row)];
}

int RenderModel::DrawnColumns(int row) const {
  switch (RowLineSize(row)) {
    case LineSize::kNormal: return columns_;
    case LineSize::kDoubleHeightBottom: return 0;
    default: return columns_ / 2;
  }
}

void RenderModel::SetScrollBack(int historyLines, int offset) {
  historyLines = std::max(0, historyLines);
  offset = std::clamp(offset, 0, historyLines);
  if (historyLines == historyLines_ && offset == viewOffset_) return;
  historyLines_ = historyLines;
  viewOffset_ = offset;
  scrollBackChanged_ = true;
}

void RenderModel::SetCursor(int row, int column, bool visible) {
  cursorRow_ = row;
  cursorColumn_ = column;
  cursorVisible_ = visible && row >= 0 && row < rows_ && column >= 0 && column < columns_;
}

void RenderModel::SetOia(std::string_view text) {
  if (oia_ == text) return;
  oia_.assign(text);
  oiaChanged_ = true;
}

bool RenderModel::RowChanged(int row) const {
  if (row < 0 || row >= rows_) return false;
  const Span& s = changed_[static_cast<std::size_t>(row)];
  return s.first <= s.last;
}

int RenderModel::FirstChangedColumn(int row) const {
  return RowChanged(row) ? changed_[static_cast<std::size_t>(row)].first : 0;
}

int RenderModel::LastChangedColumn(int row) const {
  return RowChanged(row) ? changed_[static_cast<std::size_t>(row)].last : -1;
}

CellRect RenderModel::ChangedRect() const {
  CellRect r;
  for (int row = 0; row < rows_; ++row) {
    if (!RowChanged(row)) continue;
    const Span& s = changed_[static_cast<std::size_t>(row)];
    if (r.Empty()) {
      r = CellRect{s.first, row, s.last, row};
      continue;
    }
    r.left = std::min(r.left, s.first);
    r.right = std::max(r.right, s.last);
    r.bottom = row;
  }
  return r;
}

bool RenderModel::Changed() const { return oiaChanged_ || !ChangedRect().Empty(); }

void RenderModel::MarkAllChanged() {
  for (Span& s : changed_) s = Span{0, columns_ - 1};
  oiaChanged_ = true;
  scrollBackChanged_ = true;
}

void RenderModel::ClearChanges() {
  for (Span& s : changed_) s = Span{};
  oiaChanged_ = false;
  scrollBackChanged_ = false;
  pendingScroll_ = 0;
}

void RenderModel::Uncover(int row) {
  changed_[static_cast<std::size_t>(row)] = Span{0, columns_ - 1};
  lineSizes_[static_cast<std::size_t>(row)] = LineSize::kNormal;
}

void RenderModel::ScrollRows(int delta) {
  if (delta == 0 || rows_ == 0) return;
  const int total = pendingScroll_ + delta;
  if (delta >= rows_ || -delta >= rows_ || total >= rows_ || -total >= rows_) {
    // Nothing of the old picture stays in view.
    pendingScroll_ = 0;
    MarkAllChanged();
    return;
  }
  pendingScroll_ = total;
  const auto width = static_cast<std::ptrdiff_t>(columns_);
  const int moved = rows_ - (delta > 0 ? delta : -delta);
  if (delta > 0) {
    std::move_backward(cells_.begin(), cells_.begin() + moved * width, cells_.begin() + rows_ * width);
    std::move_backward(changed_.begin(), changed_.begin() + moved, changed_.end());
    std::move_backward(lineSizes_.begin(), lineSizes_.begin() + moved, lineSizes_.end());
    for (int row = 0; row < delta; ++row) Uncover(row);
  } else {
    std::move(cells_.begin() - delta * width, cells_.end(), cells_.begin());
    std::move(changed_.begin() - delta, changed_.end(), changed_.begin());
    std::move(lineSizes_.begin() - delta, lineSizes_.end(), lineSizes_.begin());
    for (int row = moved; row < rows_; ++row) Uncover(row);
  }
}

void RenderModel::ForEachRun(int row, int firstColumn, int lastColumn,
                             const std::function<void(const RenderRun&)>& draw) const {
  if (row < 0 || row >= rows_) return;
  firstColumn = std::max(0, firstColumn);
  lastColumn = std::min(columns_ - 1, lastColumn);
  RenderRun run;
  run.row = row;
  auto flush = [&] {
    if (!run.text.empty()) draw(run);
    run.text.clear();
  };
  for (int c = firstColumn; c <= lastColumn; ++c) {
    const RenderCell& cell = cells_[static_cast<std::size_t>(row * columns_ + c)];
    if (cell.glyph != kNoGlyph) {
      flush();
      draw(RenderRun{row, c, {}, cell.glyph, cell.look});
      continue;
    }
    if (!run.text.empty() && !(run.look == cell.look)) flush();
    if (run.text.empty()) {
      run.column = c;
      run.look = cell.look;
    }
    run.text.push_back(static_cast<char>(cell.character));
  }
  flush();
}

void PaintModel(RenderModel& model, Canvas& canvas) {
  const bool onlyChanges = canvas.KeepsPicture();
  if (onlyChanges && model.PendingScroll() != 0 && !canvas.ScrollRows(model.PendingScroll())) model.MarkAllChanged();
  const bool blinkRepaint = onlyChanges && canvas.BlinkRepaint();
  canvas.BeginPaint(model.Rows(), model.Columns());
  auto draw = [&](const RenderRun& run) {
    if (run.glyph != kNoGlyph)
      canvas.DrawGlyph(run.row, run.column, run.glyph, run.look);
    else
      canvas.DrawText(run.row, run.column, run.text, run.look);
  };
  for (int row = 0; row < model.Rows(); ++row) {
    const int drawn = model.DrawnColumns(row);
    const int first = onlyChanges ? model.FirstChangedColumn(row) : 0;
    const int last = std::min(onlyChanges ? model.LastChangedColumn(row) : model.Columns() - 1, drawn - 1);
    if (first > last && !(blinkRepaint && drawn > 0)) continue;
    canvas.BeginRow(row, model.RowLineSize(row));
    if (first <= last) model.ForEachRun(row, first, last, draw);
    if (!blinkRepaint) continue;
    // The blink phase flipped: the blinking runs outside the changes too.
    model.ForEachRun(row, 0, drawn - 1, [&](const RenderRun& run) {
      const int end = run.column + std::max<int>(1, static_cast<int>(run.text.size())) - 1;
      if ((run.look.flags & kCellBlink) && (end < first || run.column > last)) draw(run);
    });
  }
  if (!onlyChanges || model.OiaChanged()) canvas.DrawOia(model.Oia());
  if (!onlyChanges || model.ScrollBackChanged())
    canvas.DrawScrollBack(model.HistoryLines(), model.ViewOffset());
  canvas.DrawCursor(model.CursorRow(), model.CursorColumn(), model.CursorVisible());
  canvas.EndPaint();
  if (onlyChanges) model.ClearChanges();
}

}  // namespace corvina
