// The VT screen ring: rows of cells (character, rendition, colour) for the
// screen and its scroll-back history, addressed through a ring so that
// scrolling into the history copies nothing. Row 0 is the top screen line;
// rows -1, -2, ... are history lines, -1 the newest.
#pragma once

#include <cstdint>
#include <vector>

namespace corvina::vt {

// Rendition bits of a cell.
enum : std::uint8_t {
  kRendBold = 0x80,
  kRendProtected = 0x40,
  kRendInvisible = 0x08,
  kRendUnderline = 0x04,
  kRendReverse = 0x02,
  kRendBlink = 0x01,
};

// Line sizes, kept per line (the rendition's 0x30 bits).
enum : std::uint8_t {
  kLineNormal = 0x00,
  kLineDoubleWidth = 0x10,
  kLineDoubleHeightBottom = 0x20,
  kLineDoubleHeightTop = 0x30,
};

// Colour-scheme indexes of the colour byte (foreground high, background low nibble).
enum : std::uint8_t {
  kColourDefaultBackground = 0,
  kColourDefault = 2,
  kColourRed = 3,
  kColourGreen = 4,
  kColourBlue = 5,
  kColourYellow = 6,
  kColourMagenta = 7,
  kColourCyan = 8,
  kColourBlack = 9,
  kColourWhite = 10,
};
inline constexpr std::uint8_t kDefaultColours = kColourDefault << 4 | kColourDefaultBackground;

struct VtCell {
  std::uint8_t character = ' ';  // Latin-1, or a glyph number below 0x20
  std::uint8_t rendition = 0;
  std::uint8_t colours = kDefaultColours;
  friend bool operator==(const VtCell&, const VtCell&) = default;
};

class CVtScreen {
 public:
  static constexpr int kMaxHistory = 32767;

  // A blank screen of rows x columns with room for `history` lines.
  void Reset(int rows, int columns, int history);
  // New sizes keeping the most recent lines (screen and history) that fit.
  void Resize(int rows, int columns, int history);

  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  int HistoryCapacity() const { return capacity_ - rows_; }
  // History lines in use (lines in use minus rows).
  int HistoryLines() const { return inUse_ - rows_; }

  // Row from -HistoryLines() to Rows() - 1; others are clamped.
  VtCell* Line(int row) { return &cells_[Index(row) * static_cast<std::size_t>(columns_)]; }
  const VtCell* Line(int row) const { return &cells_[Index(row) * static_cast<std::size_t>(columns_)]; }
  std::uint8_t LineSize(int row) const { return sizes_[Index(row)]; }
  void SetLineSize(int row, std::uint8_t size) { sizes_[Index(row)] = size; }

  // Scrolls rows top..bottom (inclusive) up by n. With top 0 (and
  // `intoHistory`) the lines go into the history and the rows below bottom
  // keep their places.
  void ScrollUp(int top, int bottom, int n, VtCell blank, bool intoHistory = true);
  void ScrollDown(int top, int bottom, int n, VtCell blank);
  // Blanks columns from..to (inclusive, clamped) of a screen row.
  void Erase(int row, int from, int to, VtCell blank, bool spareProtected = false);
  void BlankLine(int row, VtCell blank);
  // Inserts or deletes n cells at column within the row.
  void InsertCells(int row, int column, int n, VtCell blank);
  void DeleteCells(int row, int column, int n, VtCell blank);
  // Moves the screen (non-blank or not) into the history and blanks it.
  void PushScreenToHistory(VtCell blank);
  bool ScreenBlank() const;

 private:
  std::size_t Index(int row) const;
  void CopyLine(int to, int from);

  int rows_ = 0, columns_ = 0, capacity_ = 0, inUse_ = 0;
  int top_ = 0;  // ring index of screen row 0
  std::vector<VtCell> cells_;
  std::vector<std::uint8_t> sizes_;
};

}  // namespace corvina::vt
