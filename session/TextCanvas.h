// A canvas that keeps the screen as text: for tests, corvina-cli and text
// dumps. Glyphs become their Unicode shapes; invisible text becomes blanks.
#pragma once

#include <string>
#include <vector>

#include "session/Canvas.h"

namespace corvina {

class TextCanvas final : public Canvas {
 public:
  bool KeepsPicture() const override { return painted_; }
  void BeginPaint(int rows, int columns) override;
  void DrawText(int row, int column, std::string_view latin1, const CellLook& look) override;
  void DrawGlyph(int row, int column, std::uint8_t glyph, const CellLook& look) override;
  void DrawOia(std::string_view latin1) override { oia_.assign(latin1); }
  void DrawCursor(int row, int column, bool visible) override;
  void EndPaint() override { painted_ = true; }

  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  // Each row as UTF-8, all columns wide.
  std::vector<std::string> Lines() const;
  std::string OiaLine() const;  // UTF-8
  char32_t CharacterAt(int row, int column) const;
  CellLook LookAt(int row, int column) const;
  bool CursorShown() const { return cursorVisible_; }
  int CursorRow() const { return cursorRow_; }
  int CursorColumn() const { return cursorColumn_; }

  // The Unicode character of a glyph number (a blank for none).
  static char32_t GlyphCharacter(std::uint8_t glyph);

 private:
  void Put(int row, int column, char32_t c, const CellLook& look);

  int rows_ = 0, columns_ = 0;
  std::u32string text_;
  std::vector<CellLook> looks_;
  std::string oia_;
  int cursorRow_ = 0, cursorColumn_ = 0;
  bool cursorVisible_ = false;
  bool painted_ = false;
};

}  // namespace corvina
