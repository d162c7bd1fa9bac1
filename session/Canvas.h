// Where a render model is drawn: the session window, a printed page, or text.
#pragma once

#include <cstdint>
#include <string_view>

#include "session/RenderModel.h"

namespace corvina {

class Canvas {
 public:
  virtual ~Canvas() = default;
  // A canvas that still shows the last paint of the model (a window, a text
  // canvas after its first paint) is sent only what changed since; any other
  // (a new page) is sent everything.
  virtual bool KeepsPicture() const { return false; }
  // On a canvas that keeps its picture: the blink phase flipped since the
  // last paint, so the blinking cells are drawn again with the changes.
  virtual bool BlinkRepaint() const { return false; }
  // On a canvas that keeps its picture: moves the screen rows' pixels by
  // delta rows (down when positive). False when it cannot; everything is
  // then drawn again.
  virtual bool ScrollRows(int /*delta*/) { return false; }
  // The screen size of this paint; a canvas that keeps its picture starts
  // over when it changed.
  virtual void BeginPaint(int /*rows*/, int /*columns*/) {}
  // Before the runs of a row: how the row is drawn (double-width rows get
  // only their first columns / 2 cells; double-height bottoms none).
  virtual void BeginRow(int /*row*/, LineSize /*size*/) {}
  // Latin-1 text, one character per cell, from the cell at row and column.
  virtual void DrawText(int row, int column, std::string_view latin1, const CellLook& look) = 0;
  virtual void DrawGlyph(int row, int column, std::uint8_t glyph, const CellLook& look) = 0;
  // The operator information area line; empty when none is shown.
  virtual void DrawOia(std::string_view latin1) = 0;
  // The scroll-back view (a scroll bar): history lines above the screen and
  // how far back the view is; both 0 when there is no history.
  virtual void DrawScrollBack(int /*historyLines*/, int /*offset*/) {}
  virtual void DrawCursor(int /*row*/, int /*column*/, bool /*visible*/) {}
  virtual void EndPaint() {}
};

// Draws the model: only its changes on a canvas that keeps its picture (the
// changes are then cleared), everything on any other canvas.
void PaintModel(RenderModel& model, Canvas& canvas);

}  // namespace corvina
