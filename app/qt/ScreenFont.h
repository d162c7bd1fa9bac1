// The screen font of a session and its bold variant, made from the
// profile's font description through fontconfig, with its cell size and,
// for a face that does not scale, its list of sizes.
#pragma once

#include <QFont>
#include <QRawFont>
#include <QString>

#include <array>
#include <vector>

#include "app/ViewSizing.h"
#include "config/SessionProfile.h"

namespace corvina::qt {

inline constexpr char kDefaultScreenFace[] = "DejaVu Sans Mono";

class ScreenFont {
 public:
  // The family a stored face name shows as: "Courier New" is Liberation
  // Mono; a face the system lacks, or one that neither scales nor has a
  // size list, is the default monospace face.
  static QString ResolveFamily(const std::string& faceName);

  // S and W of the profile: W 0 means S points, else S x W pixels (height,
  // width). Bad sizes fall back to sensible ones.
  static ScreenFont Make(const FontDescription& description, int s, int w);
  // The same face with a pixel height and cell width (for scaling).
  ScreenFont WithPixels(int height, int width) const;
  // The same face at the largest size whose cell fits the given one.
  ScreenFont WithCell(app::CellSize cell) const;

  const QFont& Normal() const { return normal_; }
  const QFont& Bold() const { return bold_; }
  app::CellSize Cell() const { return cell_; }
  bool Scalable() const { return scalable_; }
  // Fixed sizes (pixel cells) ascending; empty for a scalable face.
  const std::vector<app::CellSize>& Sizes() const { return sizes_; }
  const QString& Family() const { return family_; }
  // The font's height in points, rounded.
  int PointSize() const;
  // The font's own glyphs of the Latin-1 characters (0: none; drawn the
  // slow way), so that runs are drawn without text layout.
  const QRawFont& Raw(bool bold) const { return bold ? rawBold_ : rawNormal_; }
  quint32 GlyphIndex(unsigned char c, bool bold) const { return (bold ? boldGlyphs_ : normalGlyphs_)[c]; }

 private:
  void Measure();

  QString family_;
  QFont normal_, bold_;
  app::CellSize cell_{8, 16};
  bool scalable_ = true;
  std::vector<app::CellSize> sizes_;
  QRawFont rawNormal_, rawBold_;
  std::array<quint32, 256> normalGlyphs_{}, boldGlyphs_{};
};

}  // namespace corvina::qt
