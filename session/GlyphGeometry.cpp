#include "session/GlyphGeometry.h"

#include <algorithm>

namespace corvina {

GlyphShape GlyphGeometry(std::uint8_t glyph, int x, int y, int w, int h) {
  GlyphShape shape;
  if (w <= 0 || h <= 0) return shape;
  const int hw = w / 2, hh = h / 2;
  const int left = x, right = x + w - 1, top = y, bottom = y + h - 1;
  const int cx = x + hw, cy = y + hh;
  auto line = [&](int x1, int y1, int x2, int y2) { shape.lines.push_back({{x1, y1}, {x2, y2}}); };
  auto across = [&](int row) { line(left, std::clamp(row, top, bottom), right, std::clamp(row, top, bottom)); };
  auto down = [&](int column) { line(column, top, column, bottom); };
  switch (glyph) {
    case 1: {
      const int s = std::max(0, std::min(2 * hw, 2 * hh) - 2);
      const int x0 = x + (w - s) / 2;
      shape.diamond = true;
      shape.corners = {GlyphPoint{x0, cy}, GlyphPoint{x0 + s / 2, cy - s / 2}, GlyphPoint{x0 + s, cy},
                       GlyphPoint{x0 + s / 2, cy - s / 2 + s}};
      break;
    }
    case 2: shape.checkerboard = true; break;
    case 7: shape.characters = "\xB0"; break;
    case 8: shape.characters = "\xB1"; break;
    case 11:  // lower-right corner
      line(left, cy, cx, cy);
      line(cx, cy, cx, top);
      break;
    case 12:  // upper-right corner
      line(left, cy, cx, cy);
      line(cx, cy, cx, bottom);
      break;
    case 13:  // upper-left corner
      line(right, cy, cx, cy);
      line(cx, cy, cx, bottom);
      break;
    case 14:  // lower-left corner
      line(right, cy, cx, cy);
      line(cx, cy, cx, top);
      break;
    case 15:
      across(cy);
      down(cx);
      break;
    case 16: across(y + hh / 3); break;
    case 17: across(y + 2 * (hh / 3)); break;
    case 18: across(cy); break;
    case 19: across(y + h - 2 * (hh / 3)); break;
    case 20: across(y + h - hh / 3); break;
    case 21:  // left tee
      down(cx);
      line(right, cy, cx, cy);
      break;
    case 22:  // right tee
      down(cx);
      line(left, cy, cx, cy);
      break;
    case 23:  // bottom tee
      across(cy);
      line(cx, top, cx, cy);
      break;
    case 24:  // top tee
      across(cy);
      line(cx, cy, cx, bottom);
      break;
    case 25: down(cx); break;
    case 26:
      shape.characters = "<";
      shape.underlined = true;
      break;
    case 27:
      shape.characters = ">";
      shape.underlined = true;
      break;
    case 29: shape.characters = "=/"; break;
    case 30: shape.characters = "\xA3"; break;
    case 31: shape.characters = "\xB7"; break;
    default: break;  // blank, control-character symbols, pi, and numbers above 31
  }
  return shape;
}

}  // namespace corvina
