#include "app/qt/ScreenFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace corvina::qt {

namespace {

constexpr char kCellSample[] = "AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz1234567890";
constexpr int kCellSampleLength = 62;
constexpr int kLargestPixelHeight = 512;

bool Known(const QString& family) { return QFontDatabase::families().contains(family, Qt::CaseInsensitive); }

// Bitmap faces list their sizes; scalable ones do not.
std::vector<int> PointSizesOf(const QString& family) {
  std::vector<int> out;
  for (int p : QFontDatabase::pointSizes(family)) out.push_back(p);
  return out;
}

}  // namespace

QString ScreenFont::ResolveFamily(const std::string& faceName) {
  QString family = QString::fromLatin1(faceName.c_str());
  if (family.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0) family = QStringLiteral("Liberation Mono");
  if (family.isEmpty() || !Known(family)) family = QString::fromLatin1(kDefaultScreenFace);
  if (!QFontDatabase::isScalable(family) && PointSizesOf(family).empty())
    family = QString::fromLatin1(kDefaultScreenFace);
  return family;
}

ScreenFont ScreenFont::Make(const FontDescription& description, int s, int w) {
  ScreenFont f;
  f.family_ = ResolveFamily(description.faceName);
  f.scalable_ = QFontDatabase::isScalable(f.family_);
  f.normal_ = QFont(f.family_);
  f.normal_.setStyleHint(QFont::TypeWriter, QFont::PreferDefault);
  f.normal_.setFixedPitch(true);
  f.normal_.setKerning(false);
  // Terminal text needs no shaping; skipping it makes painting much cheaper.
  f.normal_.setStyleStrategy(QFont::PreferNoShaping);
  f.normal_.setItalic(description.italic != 0);
  if (!f.scalable_) {
    for (int p : PointSizesOf(f.family_)) {
      QFont probe = f.normal_;
      probe.setPointSize(p);
      const QFontMetrics m(probe);
      f.sizes_.push_back({std::max(1, m.averageCharWidth()), std::max(1, m.height() + m.leading())});
    }
    std::sort(f.sizes_.begin(), f.sizes_.end(), [](auto a, auto b) {
      return a.height != b.height ? a.height < b.height : a.width < b.width;
    });
  }
  if (w > 0 && s > 0) return f.WithCell({w, std::min(s, kLargestPixelHeight)});
  int points = s > 0 ? s : 10;
  points = std::clamp(points, app::kSmallestPointSize, app::kLargestPointSize);
  if (!f.scalable_ && !f.sizes_.empty()) {
    // A point size the face lacks: the first size at least that high.
    const double dpi = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInchY() : 96;
    const int want = static_cast<int>(std::lround(points * dpi / 72.0));
    app::CellSize pick = f.sizes_.back();
    for (const app::CellSize& c : f.sizes_)
      if (c.height >= want) {
        pick = c;
        break;
      }
    return f.WithCell(pick);
  }
  f.normal_.setPointSize(points);
  f.Measure();
  return f;
}

ScreenFont ScreenFont::WithPixels(int height, int width) const {
  ScreenFont f = *this;
  height = std::clamp(height, 1, kLargestPixelHeight);
  width = std::max(1, width);
  f.normal_.setStretch(QFont::Unstretched);
  f.normal_.setPixelSize(height);
  // Qt has no font width: stretch the face until its cell is that wide.
  const QFontMetricsF natural(f.normal_);
  const double advance = natural.horizontalAdvance(QLatin1Char('M'));
  if (advance > 0) {
    const int stretch = static_cast<int>(std::lround(100.0 * width / advance));
    f.normal_.setStretch(std::clamp(stretch, 1, 4000));
  }
  f.Measure();
  return f;
}

ScreenFont ScreenFont::WithCell(app::CellSize cell) const {
  if (!scalable_) return WithPixels(cell.height, cell.width);
  // The font whose cell is the given one: the largest that fits it.
  const app::ScaledFont scaled =
      app::ScaleScalableFont({cell.width, cell.height}, 1, 1, [this](int h, int w) { return WithPixels(h, w).Cell(); });
  return WithPixels(scaled.height, scaled.width);
}

void ScreenFont::Measure() {
  normal_.setLetterSpacing(QFont::AbsoluteSpacing, 0);
  const QFontMetrics m(normal_);
  if (scalable_) {
    const int width = m.horizontalAdvance(QLatin1String(kCellSample));
    cell_.width = std::max(1, static_cast<int>(std::lround(width / static_cast<double>(kCellSampleLength))));
    cell_.height = std::max(1, m.height());
  } else {
    cell_.width = std::max(1, m.averageCharWidth());
    cell_.height = std::max(1, m.height() + m.leading());
  }
  // Spacing makes every character advance exactly one cell, so that text
  // drawn as strings stays on the grid.
  auto fit = [this](QFont& font) {
    const double advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('M'));
    font.setLetterSpacing(QFont::AbsoluteSpacing, cell_.width - advance);
  };
  fit(normal_);
  bold_ = normal_;
  bold_.setWeight(QFont::Bold);
  bold_.setLetterSpacing(QFont::AbsoluteSpacing, 0);
  fit(bold_);
  auto table = [](const QFont& font, QRawFont& raw, std::array<quint32, 256>& glyphs) {
    QFont plain = font;
    plain.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    raw = QRawFont::fromFont(plain);
    glyphs.fill(0);
    if (!raw.isValid()) return;
    for (int c = 0x20; c < 0x100; ++c) {
      if (c == 0x7F) continue;
      const QList<quint32> g = raw.glyphIndexesForString(QString(QChar(static_cast<char16_t>(c))));
      if (g.size() == 1) glyphs[static_cast<std::size_t>(c)] = g[0];
    }
  };
  table(normal_, rawNormal_, normalGlyphs_);
  table(bold_, rawBold_, boldGlyphs_);
}

int ScreenFont::PointSize() const {
  if (normal_.pointSize() > 0) return normal_.pointSize();
  const double dpi = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInchY() : 96;
  return static_cast<int>(std::lround(normal_.pixelSize() * 72.0 / dpi));
}

}  // namespace corvina::qt
