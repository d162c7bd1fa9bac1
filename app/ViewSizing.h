// The terminal view's sizing rules without a toolkit: where the screen sits
// in the view, how the frame is fitted to it, how a font is scaled to the
// window and stepped larger or smaller. The toolkit measures fonts; these
// functions decide.
#pragma once

#include <functional>
#include <optional>
#include <span>

namespace corvina::app {

struct PixelSize {
  int width = 0, height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// A font cell: the cell width and the line height, both at least 1.
using CellSize = PixelSize;

// Smallest cell the scaling makes (width 4, height 6), and the point sizes
// the size commands step between.
inline constexpr CellSize kMinimumCell{4, 6};
inline constexpr int kSmallestPointSize = 6;
inline constexpr int kLargestPointSize = 72;

// The screen in pixels: columns cells wide, rows (OIA line included) high.
PixelSize ScreenPixels(CellSize cell, int rows, int columns);

// The screen centred in the client area, never left of or above it.
int CentredOffset(int client, int screen);

// The cell that would make the screen fill the client area.
CellSize TargetCell(PixelSize client, int rows, int columns);

// Scaling a scalable face to the client area: `measure` makes the font with
// a pixel height and width and returns its cell. Heights and widths only
// step down (from the target, not below the minimum cell), a bounded number
// of times, and the largest size whose screen fits is kept; when none fits
// the minimum is used (the screen is then larger than the window).
struct ScaledFont {
  int height = 0, width = 0;  // what the font was made with
  CellSize cell;              // what it measured
};
using MeasureCell = std::function<CellSize(int height, int width)>;
ScaledFont ScaleScalableFont(PixelSize client, int rows, int columns, const MeasureCell& measure);

// A face with fixed sizes (ascending by height, then width): the largest
// whose height and width do not exceed the target; none when even the
// smallest is too big (the frame is fitted instead).
std::optional<CellSize> LargestFixedSize(std::span<const CellSize> sizes, CellSize target);

// The next larger or smaller fixed size than the current one, comparing
// heights, then widths; none at the end of the list (the command beeps).
std::optional<CellSize> NextFixedSize(std::span<const CellSize> sizes, CellSize current, bool larger);

// The next point size of a scalable face, from its current size in points
// (rounded) and the profile's size S; none at the limits (the command beeps):
// smaller when S is 6 or less, larger at kLargestPointSize.
std::optional<int> NextPointSize(int currentPoints, int profileSize, bool larger);

// The frame size whose client area holds the screen exactly, limited to the
// available screen area (frame minus client is the frame's decoration).
PixelSize FittedFrameSize(PixelSize frame, PixelSize client, PixelSize screen, PixelSize available);

}  // namespace corvina::app
