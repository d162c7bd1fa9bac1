#include "session/GlyphGeometry.h"

#include <gtest/gtest.h>

namespace corvina {
namespace {

TEST(GlyphGeometry, CornersAndTeesMeetAtTheCellCentre) {
  // An 8 x 16 cell at (80, 32): centre (84, 40), edges 80..87 and 32..47.
  const GlyphShape lowerRight = GlyphGeometry(11, 80, 32, 8, 16);
  ASSERT_EQ(lowerRight.lines.size(), 2u);
  EXPECT_EQ(lowerRight.lines[0], (GlyphLine{{80, 40}, {84, 40}}));
  EXPECT_EQ(lowerRight.lines[1], (GlyphLine{{84, 40}, {84, 32}}));  // the top pixel row included
  const GlyphShape upperLeft = GlyphGeometry(13, 80, 32, 8, 16);
  EXPECT_EQ(upperLeft.lines[0], (GlyphLine{{87, 40}, {84, 40}}));
  EXPECT_EQ(upperLeft.lines[1], (GlyphLine{{84, 40}, {84, 47}}));
  const GlyphShape cross = GlyphGeometry(15, 80, 32, 8, 16);
  EXPECT_EQ(cross.lines[0], (GlyphLine{{80, 40}, {87, 40}}));
  EXPECT_EQ(cross.lines[1], (GlyphLine{{84, 32}, {84, 47}}));
  const GlyphShape bottomTee = GlyphGeometry(23, 0, 0, 8, 16);
  EXPECT_EQ(bottomTee.lines[1], (GlyphLine{{4, 0}, {4, 8}}));
}

TEST(GlyphGeometry, ScanLinesStepThroughTheCell) {
  std::vector<int> rows;
  for (int g = 16; g <= 20; ++g) rows.push_back(GlyphGeometry(static_cast<std::uint8_t>(g), 0, 0, 8, 16).lines[0].from.y);
  EXPECT_EQ(rows, (std::vector<int>{2, 4, 8, 12, 14}));
}

TEST(GlyphGeometry, DiamondCheckerboardAndCharacterGlyphs) {
  const GlyphShape d = GlyphGeometry(1, 0, 0, 8, 16);
  ASSERT_TRUE(d.diamond);
  // s = min(8, 16) - 2 = 6, x0 = 1, centre row 8.
  EXPECT_EQ(d.corners[0], (GlyphPoint{1, 8}));
  EXPECT_EQ(d.corners[1], (GlyphPoint{4, 5}));
  EXPECT_EQ(d.corners[2], (GlyphPoint{7, 8}));
  EXPECT_EQ(d.corners[3], (GlyphPoint{4, 11}));
  EXPECT_TRUE(GlyphGeometry(2, 0, 0, 8, 16).checkerboard);
  EXPECT_EQ(GlyphGeometry(7, 0, 0, 8, 16).characters, "\xB0");
  EXPECT_EQ(GlyphGeometry(29, 0, 0, 8, 16).characters, "=/");
  const GlyphShape le = GlyphGeometry(26, 0, 0, 8, 16);
  EXPECT_EQ(le.characters, "<");
  EXPECT_TRUE(le.underlined);
  for (int g : {0, 3, 4, 5, 6, 9, 10, 28, 32, 255}) {
    const GlyphShape none = GlyphGeometry(static_cast<std::uint8_t>(g), 0, 0, 8, 16);
    EXPECT_TRUE(none.lines.empty() && !none.diamond && !none.checkerboard && none.characters.empty()) << g;
  }
}

TEST(GlyphGeometry, EveryLineStaysInsideTheCellAtAnySize) {
  for (int w : {1, 2, 3, 7, 16}) {
    for (int h : {1, 2, 5, 13, 32}) {
      for (int g = 0; g < 32; ++g) {
        const GlyphShape s = GlyphGeometry(static_cast<std::uint8_t>(g), 10, 20, w, h);
        for (const GlyphLine& l : s.lines)
          for (const GlyphPoint& p : {l.from, l.to}) {
            EXPECT_GE(p.x, 10);
            EXPECT_LT(p.x, 10 + w);
            EXPECT_GE(p.y, 20);
            EXPECT_LT(p.y, 20 + h) << "glyph " << g << " in " << w << "x" << h;
          }
        if (s.diamond)
          for (const GlyphPoint& p : s.corners) {
            EXPECT_GE(p.x, 10);
            EXPECT_LE(p.x, 10 + w);
            EXPECT_GE(p.y, 20);
            EXPECT_LE(p.y, 20 + h);
          }
      }
    }
  }
  EXPECT_TRUE(GlyphGeometry(15, 0, 0, 0, 16).lines.empty());
}

}  // namespace
}  // namespace corvina
