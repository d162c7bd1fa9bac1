#include "session/TextCanvas.h"

#include <algorithm>

#include "platform/Text.h"

namespace corvina {

namespace {

// The DEC Special Graphics shapes behind glyph numbers 0 to 31.
constexpr char32_t kGlyphs[32] = {
    U' ',      U'\u25C6', U'\u2592', U'\u2409', U'\u240C', U'\u240D', U'\u240A', U'\u00B0',
    U'\u00B1', U'\u2424', U'\u240B', U'\u2518', U'\u2510', U'\u250C', U'\u2514', U'\u253C',
    U'\u23BA', U'\u23BB', U'\u2500', U'\u23BC', U'\u23BD', U'\u251C', U'\u2524', U'\u2534',
    U'\u252C', U'\u2502', U'\u2264', U'\u2265', U'\u03C0', U'\u2260', U'\u00A3', U'\u00B7'};

}  // namespace

char32_t TextCanvas::GlyphCharacter(std::uint8_t glyph) { return glyph < 32 ? kGlyphs[glyph] : U' '; }

void TextCanvas::BeginPaint(int rows, int columns) {
  if (rows == rows_ && columns == columns_) return;
  rows_ = std::max(0, rows);
  columns_ = std::max(0, columns);
  std::size_t n = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_);
  text_.assign(n, U' ');
  looks_.assign(n, CellLook{});
}

void TextCanvas::Put(int row, int column, char32_t c, const CellLook& look) {
  if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return;
  std::size_t i = static_cast<std::size_t>(row * columns_ + column);
  text_[i] = (look.flags & kCellInvisible) ? U' ' : c;
  looks_[i] = look;
}

void TextCanvas::DrawText(int row, int column, std::string_view latin1, const CellLook& look) {
  for (char ch : latin1) Put(row, column++, static_cast<unsigned char>(ch), look);
}

void TextCanvas::DrawGlyph(int row, int column, std::uint8_t glyph, const CellLook& look) {
  Put(row, column, GlyphCharacter(glyph), look);
}

void TextCanvas::DrawCursor(int row, int column, bool visible) {
  cursorRow_ = row;
  cursorColumn_ = column;
  cursorVisible_ = visible;
}

std::vector<std::string> TextCanvas::Lines() const {
  std::vector<std::string> lines;
  for (int r = 0; r < rows_; ++r)
    lines.push_back(platform::ToUtf8(std::u32string_view(text_).substr(
        static_cast<std::size_t>(r * columns_), static_cast<std::size_t>(columns_))));
  return lines;
}

std::string TextCanvas::OiaLine() const { return platform::Latin1ToUtf8(oia_); }

char32_t TextCanvas::CharacterAt(int row, int column) const {
  if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return U' ';
  return text_[static_cast<std::size_t>(row * columns_ + column)];
}

CellLook TextCanvas::LookAt(int row, int column) const {
  if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return {};
  return looks_[static_cast<std::size_t>(row * columns_ + column)];
}

}  // namespace corvina
