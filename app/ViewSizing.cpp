#include "app/ViewSizing.h"

#include <algorithm>

namespace corvina::app {

namespace {

bool Before(CellSize a, CellSize b) { return a.height != b.height ? a.height < b.height : a.width < b.width; }

// Each step lowers the height or the width, or ends: no more steps than this.
constexpr int kMaxScalingSteps = 4096;

}  // namespace

PixelSize ScreenPixels(CellSize cell, int rows, int columns) {
  return {std::max(0, columns) * std::max(1, cell.width), std::max(0, rows) * std::max(1, cell.height)};
}

int CentredOffset(int client, int screen) { return std::max(0, (client - screen) / 2); }

CellSize TargetCell(PixelSize client, int rows, int columns) {
  return {std::max(0, client.width) / std::max(1, columns), std::max(0, client.height) / std::max(1, rows)};
}

ScaledFont ScaleScalableFont(PixelSize client, int rows, int columns, const MeasureCell& measure) {
  const CellSize target = TargetCell(client, rows, columns);
  int n = std::max(target.height, kMinimumCell.height);
  int m = std::max(target.width, kMinimumCell.width);
  ScaledFont last;
  for (int step = 0; step < kMaxScalingSteps; ++step) {
    CellSize c = measure(n, m);
    c.width = std::max(1, c.width);
    c.height = std::max(1, c.height);
    last = {n, m, c};
    const PixelSize screen = ScreenPixels(c, rows, columns);
    const bool tall = screen.height > client.height, wide = screen.width > client.width;
    if (!tall && !wide) return last;  // heights and widths only fall: the first fit is the largest
    const int nextN = tall ? std::max(kMinimumCell.height, n - 1) : std::min(n, c.height);
    const int nextM = wide ? std::max(kMinimumCell.width, m - 1) : std::min(m, c.width);
    if (nextN == n && nextM == m) break;  // at the minimum
    n = nextN;
    m = nextM;
  }
  return last;
}

std::optional<CellSize> LargestFixedSize(std::span<const CellSize> sizes, CellSize target) {
  std::optional<CellSize> best;
  for (const CellSize& s : sizes)
    if (s.height <= target.height && s.width <= target.width && (!best || Before(*best, s))) best = s;
  return best;
}

std::optional<CellSize> NextFixedSize(std::span<const CellSize> sizes, CellSize current, bool larger) {
  std::optional<CellSize> next;
  for (const CellSize& s : sizes) {
    if (larger ? Before(current, s) : Before(s, current))
      if (!next || (larger ? Before(s, *next) : Before(*next, s))) next = s;
  }
  return next;
}

std::optional<int> NextPointSize(int currentPoints, int profileSize, bool larger) {
  if (larger) {
    if (currentPoints >= kLargestPointSize) return std::nullopt;
    return std::max(kSmallestPointSize, currentPoints + 1);
  }
  if (profileSize <= kSmallestPointSize || currentPoints <= kSmallestPointSize) return std::nullopt;
  return std::min(kLargestPointSize, currentPoints - 1);
}

PixelSize FittedFrameSize(PixelSize frame, PixelSize client, PixelSize screen, PixelSize available) {
  PixelSize out{frame.width + screen.width - client.width, frame.height + screen.height - client.height};
  if (available.width > 0) out.width = std::min(out.width, available.width);
  if (available.height > 0) out.height = std::min(out.height, available.height);
  return {std::max(1, out.width), std::max(1, out.height)};
}

}  // namespace corvina::app
