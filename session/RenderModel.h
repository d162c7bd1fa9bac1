// What a terminal engine shows, cell by cell, independent of any toolkit.
// Engines fill it from their screen buffers; a Canvas draws it (the window,
// a printed page, text for tests and corvina-cli). The model remembers what
// changed since the last paint, so a canvas that keeps its picture is sent
// only the changed cells.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "session/TerminalEngine.h"

namespace corvina {

// Cell flags. The low byte has the values of the VT drawing flags.
enum : std::uint16_t {
  kCellBlink = 0x01,
  kCellReverse = 0x02,    // text and background colours swapped
  kCellUnderline = 0x04,
  kCellInvisible = 0x08,  // text drawn in the background colour
  kCellDoubleHeight = 0x20,
  kCellDoubleWidth = 0x40,
  kCellBold = 0x80,
  // The background is the foreground colour of the background entry (an
  // explicit host colour) rather than that entry's background.
  kCellBackgroundFromForeground = 0x100,
  // An input-field mark at the bottom of the left edge, in the foreground
  // colour of entry kInputMarkEntry.
  kCellInputMark = 0x200,
  // A 3270 field attribute position (the view shows its description as a tool tip).
  kCellFieldAttribute = 0x400,
};

inline constexpr std::uint8_t kNoGlyph = 0xFF;
inline constexpr std::uint8_t kInputMarkEntry = 11;
inline constexpr std::uint8_t kOiaEntry = 1;

// How a row is drawn. Double width shows the first columns / 2 cells, each
// two cells wide; a double-height line is drawn from its top row over the
// row below, which is marked kDoubleHeightBottom and never drawn itself.
enum class LineSize : std::uint8_t { kNormal, kDoubleWidth, kDoubleHeightTop, kDoubleHeightBottom };

// Colours and flags: cells with equal looks are drawn as one run.
struct CellLook {
  std::uint8_t foreground = 0;  // colour-scheme entry of the text
  std::uint8_t background = 0;  // colour-scheme entry of the background
  std::uint16_t flags = 0;
  friend bool operator==(const CellLook&, const CellLook&) = default;
};

struct RenderCell {
  std::uint8_t character = ' ';  // Latin-1; not drawn for a glyph cell
  std::uint8_t glyph = kNoGlyph;  // 0 to 31: a line-drawing or special shape
  CellLook look;
  friend bool operator==(const RenderCell&, const RenderCell&) = default;
};

// A piece of one row with one look: either text or a single glyph.
struct RenderRun {
  int row = 0, column = 0;
  std::string text;                // Latin-1; one character per cell
  std::uint8_t glyph = kNoGlyph;   // a glyph run covers one cell
  CellLook look;
};

class RenderModel {
 public:
  // Blanks every cell and marks everything changed.
  void Resize(int rows, int columns);
  int Rows() const { return rows_; }
  int Columns() const { return columns_; }

  const RenderCell& Cell(int row, int column) const;
  // Stores the cell and marks it changed when it differs. Positions outside
  // the model are ignored.
  void SetCell(int row, int column, const RenderCell& cell);

  // The cursor cell; a cursor outside the model is not shown.
  void SetCursor(int row, int column, bool visible);
  int CursorRow() const { return cursorRow_; }
  int CursorColumn() const { return cursorColumn_; }
  bool CursorVisible() const { return cursorVisible_; }

  // A row's line size; a change marks the whole row changed.
  void SetLineSize(int row, LineSize size);
  LineSize RowLineSize(int row) const;
  // The columns of a row that are drawn: all, or the first half of a
  // double-size row.
  int DrawnColumns(int row) const;

  // The scroll-back view: how many history lines the view can show above
  // the screen, and how far back it shows (0: the live screen).
  void SetScrollBack(int historyLines, int offset);
  int HistoryLines() const { return historyLines_; }
  int ViewOffset() const { return viewOffset_; }
  bool ScrollBackChanged() const { return scrollBackChanged_; }

  // The operator information area line under the screen (Latin-1); an
  // empty text means none is shown.
  void SetOia(std::string_view text);
  const std::string& Oia() const { return oia_; }

  // Changed since the last ClearChanges: per row the first and last changed
  // column (an empty rectangle when the row is unchanged), the OIA, and the
  // bounding rectangle of all changed cells.
  bool RowChanged(int row) const;
  int FirstChangedColumn(int row) const;
  int LastChangedColumn(int row) const;
  bool OiaChanged() const { return oiaChanged_; }
  CellRect ChangedRect() const;
  bool Changed() const;
  void MarkAllChanged();
  void ClearChanges();

  // The picture moves by delta rows (down when positive, as when the view
  // goes further back into the history): the cells and their changes move
  // with it, the uncovered rows are marked changed, and the next paint on a
  // canvas that keeps its picture asks it to move its pixels instead of
  // drawing every row again.
  void ScrollRows(int delta);
  int PendingScroll() const { return pendingScroll_; }

  // Runs of equal look between two columns of a row (inclusive, clamped);
  // every glyph cell is a run of its own.
  void ForEachRun(int row, int firstColumn, int lastColumn,
                  const std::function<void(const RenderRun&)>& draw) const;

 private:
  void MarkChanged(int row, int column);
  // A row the picture's move left without content: drawn whole.
  void Uncover(int row);

  int rows_ = 0, columns_ = 0;
  std::vector<RenderCell> cells_;
  struct Span {
    int first = 0, last = -1;
  };
  std::vector<Span> changed_;
  std::vector<LineSize> lineSizes_;
  int historyLines_ = 0, viewOffset_ = 0;
  bool scrollBackChanged_ = false;
  int pendingScroll_ = 0;
  int cursorRow_ = 0, cursorColumn_ = 0;
  bool cursorVisible_ = false;
  std::string oia_;
  bool oiaChanged_ = false;
};

}  // namespace corvina
