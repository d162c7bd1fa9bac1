#include "app/qt/QtCanvas.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>
#include <QPolygon>

#include <cstdlib>
#include <cstring>

#include "app/qt/ScreenFont.h"
#include "config/ColorScheme.h"
#include "session/GlyphGeometry.h"

namespace corvina::qt {

namespace {

QColor ToQColor(Rgb c) { return QColor(c.red, c.green, c.blue); }

}  // namespace

void QtCanvas::Setup(const ScreenFont& font, const CCorvinaColorScheme& scheme, bool showOia, bool blinkPhaseOn) {
  if (font_ != &font || font.Cell().width != cellWidth_ || font.Cell().height != lineHeight_) valid_ = false;
  if (showOia != showOia_) valid_ = false;
  // A new blink phase redraws only the blinking cells.
  if (blinkPhaseOn != blinkOn_ && blinking_) blinkRepaint_ = true;
  font_ = &font;
  showOia_ = showOia;
  blinkOn_ = blinkPhaseOn;
  cellWidth_ = font.Cell().width;
  lineHeight_ = font.Cell().height;
  ascent_ = QFontMetrics(font.Normal()).ascent();
  for (int e = 0; e < 32; ++e) {
    const QColor f = ToQColor(scheme.Foreground(e)), b = ToQColor(scheme.Background(e));
    if (scheme_ == &scheme && (f != fore_[static_cast<std::size_t>(e)] || b != back_[static_cast<std::size_t>(e)]))
      valid_ = false;
    fore_[static_cast<std::size_t>(e)] = f;
    back_[static_cast<std::size_t>(e)] = b;
  }
  if (scheme_ != &scheme) valid_ = false;
  scheme_ = &scheme;
}

QColor QtCanvas::TextColor(int entry) const { return fore_[static_cast<std::size_t>(entry & 31)]; }
QColor QtCanvas::BackColor(int entry) const { return back_[static_cast<std::size_t>(entry & 31)]; }

void QtCanvas::BeginPaint(int rows, int columns) {
  const int width = std::max(1, columns * cellWidth_);
  const int height = std::max(1, (rows + (showOia_ ? 1 : 0)) * lineHeight_);
  if (rows != rows_ || columns != columns_ || image_.width() != width || image_.height() != height) {
    image_ = QImage(width, height, QImage::Format_RGB32);
    image_.fill(back_[0]);
    rows_ = rows;
    columns_ = columns;
  }
  if (!valid_) image_.fill(back_[0]);
  // Which cells blink is learnt again whenever all of them are drawn.
  if (!valid_ || blinkRepaint_) blinking_ = false;
  painter_ = new QPainter(&image_);
  painter_->setRenderHint(QPainter::Antialiasing, false);
  painter_->setRenderHint(QPainter::TextAntialiasing, true);
  // Double-height text on the last row shows only its upper half.
  painter_->setClipRect(0, 0, width, rows * lineHeight_);
}

void QtCanvas::BeginRow(int, LineSize size) { rowSize_ = size; }

QtCanvas::Colors QtCanvas::ColorsOf(const CellLook& look) const {
  Colors c;
  c.text = fore_[look.foreground & 31];
  c.back = (look.flags & kCellBackgroundFromForeground) ? fore_[look.background & 31] : back_[look.background & 31];
  if (look.flags & kCellReverse) std::swap(c.text, c.back);
  if (look.flags & kCellInvisible) c.text = c.back;
  if ((look.flags & kCellBlink) && !blinkOn_) c.text = c.back;
  return c;
}

void QtCanvas::DrawString(int x, int y, std::string_view latin1, bool bold, int cells) {
  // The font's glyphs placed on the grid: no text layout per run.
  const QRawFont& raw = font_->Raw(bold);
  QList<quint32> glyphs;
  QList<QPointF> positions;
  glyphs.reserve(cells);
  positions.reserve(cells);
  bool slow = false;
  for (int i = 0; i < cells && i < static_cast<int>(latin1.size()); ++i) {
    const auto c = static_cast<unsigned char>(latin1[static_cast<std::size_t>(i)]);
    if (c == ' ') continue;
    const quint32 g = raw.isValid() ? font_->GlyphIndex(c, bold) : 0;
    if (g == 0) {
      slow = true;
      continue;
    }
    glyphs.push_back(g);
    positions.push_back(QPointF(x + i * cellWidth_, y + ascent_));
  }
  if (!glyphs.isEmpty()) {
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter_->drawGlyphRun(QPointF(0, 0), run);
  }
  if (!slow) return;
  // Characters the glyph table lacks (DEL, fallback fonts) one at a time.
  painter_->setFont(bold ? font_->Bold() : font_->Normal());
  for (int i = 0; i < cells && i < static_cast<int>(latin1.size()); ++i) {
    const auto c = static_cast<unsigned char>(latin1[static_cast<std::size_t>(i)]);
    if (c == ' ' || (raw.isValid() && font_->GlyphIndex(c, bold) != 0)) continue;
    const QChar shown = c == 0x7F ? QChar(0x2302) : QChar(static_cast<char16_t>(c));
    painter_->drawText(QPoint(x + i * cellWidth_, y + ascent_), QString(shown));
  }
}

void QtCanvas::DrawInputMarks(int x, int y, int cells, int cellWidth, int height) {
  painter_->setPen(fore_[kInputMarkEntry]);
  const int tick = std::max(1, height / 4);
  for (int i = 0; i < cells; ++i) {
    const int left = x + i * cellWidth;
    painter_->drawLine(left, y + height - tick, left, y + height - 1);
  }
}

void QtCanvas::DrawText(int row, int column, std::string_view latin1, const CellLook& look) {
  if (!painter_ || latin1.empty()) return;
  if (look.flags & kCellBlink) blinking_ = true;
  const bool wide = rowSize_ == LineSize::kDoubleWidth || rowSize_ == LineSize::kDoubleHeightTop;
  const bool tall = rowSize_ == LineSize::kDoubleHeightTop;
  const int cells = static_cast<int>(latin1.size());
  const int scaleX = wide ? 2 : 1, scaleY = tall ? 2 : 1;
  const int x = column * cellWidth_ * scaleX, y = row * lineHeight_;
  const int width = cells * cellWidth_ * scaleX, height = lineHeight_ * scaleY;
  const Colors c = ColorsOf(look);
  painter_->fillRect(x, y, width, height, c.back);
  painter_->setPen(c.text);
  const bool bold = (look.flags & kCellBold) != 0;
  if (scaleX == 1 && scaleY == 1) {
    DrawString(x, y, latin1, bold, cells);
  } else {
    painter_->save();
    painter_->translate(x, y);
    painter_->scale(scaleX, scaleY);
    DrawString(0, 0, latin1, bold, cells);
    painter_->restore();
  }
  if (look.flags & kCellUnderline) painter_->drawLine(x, y + height - 2, x + width - 1, y + height - 2);
  if (look.flags & kCellInputMark) DrawInputMarks(x, y, cells, cellWidth_ * scaleX, height);
}

void QtCanvas::DrawGlyph(int row, int column, std::uint8_t glyph, const CellLook& look) {
  if (!painter_) return;
  if (look.flags & kCellBlink) blinking_ = true;
  const bool wide = rowSize_ == LineSize::kDoubleWidth || rowSize_ == LineSize::kDoubleHeightTop;
  const bool tall = rowSize_ == LineSize::kDoubleHeightTop;
  const int w = cellWidth_ * (wide ? 2 : 1), h = lineHeight_ * (tall ? 2 : 1);
  const int x = column * w, y = row * lineHeight_;
  const Colors c = ColorsOf(look);
  painter_->fillRect(x, y, w, h, c.back);
  const GlyphShape shape = GlyphGeometry(glyph, x, y, w, h);
  painter_->setPen(QPen(c.text, 0));
  for (const GlyphLine& l : shape.lines) painter_->drawLine(l.from.x, l.from.y, l.to.x, l.to.y);
  if (shape.diamond) {
    QPolygon p;
    for (const GlyphPoint& pt : shape.corners) p << QPoint(pt.x, pt.y);
    painter_->setBrush(c.text);
    painter_->drawPolygon(p);
    painter_->setBrush(Qt::NoBrush);
  }
  if (shape.checkerboard) {
    for (int yy = 0; yy < h; ++yy)
      for (int xx = yy % 2; xx < w; xx += 2) painter_->drawPoint(x + xx, y + yy);
  }
  if (!shape.characters.empty()) {
    painter_->save();
    painter_->translate(x, y);
    painter_->scale(wide ? 2 : 1, tall ? 2 : 1);
    painter_->setFont(font_->Normal());
    for (char ch : shape.characters)
      painter_->drawText(QPoint(0, ascent_), QString(QChar::fromLatin1(ch)));
    painter_->restore();
    if (shape.underlined) painter_->drawLine(x, y + h - 2, x + w - 1, y + h - 2);
  }
  if (look.flags & kCellUnderline) painter_->drawLine(x, y + h - 2, x + w - 1, y + h - 2);
}

void QtCanvas::DrawOia(std::string_view latin1) {
  oiaText_.assign(latin1);
  if (!painter_ || !showOia_) return;
  painter_->setClipping(false);
  const int y = rows_ * lineHeight_;
  painter_->fillRect(0, y, image_.width(), lineHeight_, back_[kOiaEntry]);
  painter_->setPen(fore_[kOiaEntry]);
  painter_->drawLine(0, y, image_.width() - 1, y);
  std::string_view text = latin1.substr(0, static_cast<std::size_t>(std::max(0, columns_)));
  DrawString(0, y, text, false, static_cast<int>(text.size()));
}

void QtCanvas::DrawScrollBack(int historyLines, int offset) {
  historyLines_ = historyLines;
  viewOffset_ = offset;
}

void QtCanvas::DrawCursor(int row, int column, bool visible) {
  cursorRow_ = row;
  cursorColumn_ = column;
  cursorVisible_ = visible;
}

void QtCanvas::EndPaint() {
  delete painter_;
  painter_ = nullptr;
  valid_ = true;
  blinkRepaint_ = false;
}

bool QtCanvas::ScrollRows(int delta) {
  const int moved = rows_ - std::abs(delta);
  if (!valid_ || image_.isNull() || moved <= 0) return false;
  // The rows' pixels move inside the screen area; the OIA line below stays.
  const qsizetype line = image_.bytesPerLine() * lineHeight_;
  uchar* bits = image_.bits();
  if (delta > 0)
    std::memmove(bits + delta * line, bits, static_cast<std::size_t>(moved * line));
  else
    std::memmove(bits, bits - delta * line, static_cast<std::size_t>(moved * line));
  return true;
}

}  // namespace corvina::qt
