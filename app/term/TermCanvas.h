// The session's render model drawn into an ncurses pad the size of the host
// screen; the view shows the part of it that fits the terminal. Colours come
// from the session's colour scheme, mapped to the nearest colours the
// terminal has.
#pragma once

#include <cstdint>
#include <string>

#include "config/ColorScheme.h"
#include "session/Canvas.h"

typedef struct _win_st WINDOW;

namespace corvina::term {

// The nearest terminal colour: an index of the xterm 256-colour palette
// (`colors` >= 256), of the 16 ANSI colours (>= 16) or of the 8 (else).
int NearestColor(Rgb c, int colors);

class CTermCanvas final : public Canvas {
 public:
  CTermCanvas();
  ~CTermCanvas() override;
  CTermCanvas(const CTermCanvas&) = delete;
  CTermCanvas& operator=(const CTermCanvas&) = delete;

  // The colours of the session drawn next; null: the built-in 3270 colours.
  void SetScheme(const CCorvinaColorScheme* scheme) { scheme_ = scheme; }
  // The next paint draws everything (another session, a new selection).
  void StartOver() { painted_ = false; }
  // Cells shown in reverse: the selection of the session drawn.
  void SetSelection(const CellRect& r) { selection_ = r; }
  const CellRect& Selection() const { return selection_; }

  bool KeepsPicture() const override { return painted_ && pad_ != nullptr; }
  void BeginPaint(int rows, int columns) override;
  void BeginRow(int row, LineSize size) override;
  void DrawText(int row, int column, std::string_view latin1, const CellLook& look) override;
  void DrawGlyph(int row, int column, std::uint8_t glyph, const CellLook& look) override;
  void DrawOia(std::string_view latin1) override { oia_.assign(latin1); }
  void DrawScrollBack(int historyLines, int offset) override;
  void DrawCursor(int row, int column, bool visible) override;
  void EndPaint() override { painted_ = true; }

  WINDOW* Pad() const { return pad_; }
  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  const std::string& Oia() const { return oia_; }  // Latin-1
  // How far back the scroll-back view is (0: the live screen) of how many lines.
  int ScrollBackOffset() const { return scrollBackOffset_; }
  int HistoryLines() const { return historyLines_; }
  bool CursorVisible() const { return cursorVisible_; }
  int CursorRow() const { return cursorRow_; }
  int CursorColumn() const { return cursorColumn_; }

  // The curses attributes and colour pair of a look (pairs are made as
  // they are first needed).
  void AttributesOf(const CellLook& look, bool selected, unsigned* attributes, int* pair) const;

 private:
  void Put(int row, int column, char32_t c, const CellLook& look);
  void PutCell(int row, int column, char32_t c, const CellLook& look);

  const CCorvinaColorScheme* scheme_ = nullptr;
  WINDOW* pad_ = nullptr;
  int rows_ = 0, columns_ = 0;
  bool painted_ = false;
  CellRect selection_;
  std::string oia_;
  // A double-width (or double-height) row shows each cell over two columns.
  int wideRow_ = -1;
  int historyLines_ = 0, scrollBackOffset_ = 0;
  int cursorRow_ = 0, cursorColumn_ = 0;
  bool cursorVisible_ = false;
};

}  // namespace corvina::term
