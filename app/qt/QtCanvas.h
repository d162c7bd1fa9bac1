// The render model drawn into an image with QPainter: colours from the
// session's colour scheme, attributes, glyphs, double-size lines and the
// OIA line. The view keeps the image between paints, so only what changed
// is drawn; the cursor and the selection are drawn over it by the view.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>

#include <array>
#include <string>

#include "session/Canvas.h"

class QPainter;

namespace corvina {
class CCorvinaColorScheme;
}

namespace corvina::qt {

class ScreenFont;

class QtCanvas final : public Canvas {
 public:
  // Before each paint. The OIA line is drawn under the screen when shown.
  void Setup(const ScreenFont& font, const CCorvinaColorScheme& scheme, bool showOia, bool blinkPhaseOn);
  // The next paint draws everything (a new font, new colours).
  void Invalidate() { valid_ = false; }
  const QImage& Image() const { return image_; }

  bool KeepsPicture() const override { return valid_; }
  bool BlinkRepaint() const override { return blinkRepaint_; }
  bool ScrollRows(int delta) override;
  void BeginPaint(int rows, int columns) override;
  void BeginRow(int row, LineSize size) override;
  void DrawText(int row, int column, std::string_view latin1, const CellLook& look) override;
  void DrawGlyph(int row, int column, std::uint8_t glyph, const CellLook& look) override;
  void DrawOia(std::string_view latin1) override;
  void DrawScrollBack(int historyLines, int offset) override;
  void DrawCursor(int row, int column, bool visible) override;
  void EndPaint() override;

  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  bool ShowsOia() const { return showOia_; }
  // The last OIA line the model sent, shown or not (Latin-1).
  const std::string& OiaText() const { return oiaText_; }
  int CursorRow() const { return cursorRow_; }
  int CursorColumn() const { return cursorColumn_; }
  bool CursorVisible() const { return cursorVisible_; }
  int HistoryLines() const { return historyLines_; }
  int ViewOffset() const { return viewOffset_; }
  // Some cell drawn since the last full paint blinks.
  bool Blinking() const { return blinking_; }
  // The looks a cell is drawn with, for the view's overlays.
  QColor TextColor(int entry) const;
  QColor BackColor(int entry) const;

 private:
  struct Colors {
    QColor text, back;
  };
  Colors ColorsOf(const CellLook& look) const;
  void DrawString(int x, int y, std::string_view latin1, bool bold, int cells);
  void DrawInputMarks(int x, int y, int cells, int cellWidth, int height);

  QImage image_;
  QPainter* painter_ = nullptr;
  const ScreenFont* font_ = nullptr;
  const CCorvinaColorScheme* scheme_ = nullptr;
  std::array<QColor, 32> fore_{}, back_{};
  bool valid_ = false;
  bool showOia_ = false;
  bool blinkOn_ = true;
  bool blinking_ = false;
  bool blinkRepaint_ = false;
  int rows_ = 0, columns_ = 0;
  int cellWidth_ = 8, lineHeight_ = 16, ascent_ = 12;
  LineSize rowSize_ = LineSize::kNormal;
  int cursorRow_ = 0, cursorColumn_ = 0;
  bool cursorVisible_ = false;
  int historyLines_ = 0, viewOffset_ = 0;
  std::string oiaText_;
};

}  // namespace corvina::qt
