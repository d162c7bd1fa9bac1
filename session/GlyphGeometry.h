// The shapes of the 32 glyph numbers in a cell, in pixels, for every canvas
// that draws pixels (the window, printed pages). Lines are one pixel wide
// with both end points inside the cell.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvina {

struct GlyphPoint {
  int x = 0, y = 0;
  friend bool operator==(const GlyphPoint&, const GlyphPoint&) = default;
};

struct GlyphLine {
  GlyphPoint from, to;  // both drawn
  friend bool operator==(const GlyphLine&, const GlyphLine&) = default;
};

struct GlyphShape {
  std::vector<GlyphLine> lines;
  bool diamond = false;  // a filled four-corner polygon
  std::array<GlyphPoint, 4> corners{};
  bool checkerboard = false;  // every second pixel, alternating by row
  // Latin-1 characters of the display font drawn over one another at the
  // cell origin, optionally underlined.
  std::string characters;
  bool underlined = false;
};

// The cell is w pixels wide and h high from (x, y): twice the cell width on
// a double-width line, twice the line height on a double-height one.
// Glyph numbers without a shape (and cells with no area) give an empty shape.
GlyphShape GlyphGeometry(std::uint8_t glyph, int x, int y, int w, int h);

}  // namespace corvina
