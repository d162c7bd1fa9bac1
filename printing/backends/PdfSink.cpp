// PDF pages with Cairo and Pango. "Courier New" is drawn with Liberation
// Mono, which has the same metrics.
#include <cairo-pdf.h>
#include <fcntl.h>
#include <pango/pangocairo.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/Format.h"
#include "platform/Text.h"
#include "printing/PrintTexts.h"
#include "printing/backends/Backends.h"

namespace corvina::printing::backends {

namespace {

// The system's paper: /etc/papersize names it; A4 unless it says letter.
void PaperSize(double& width, double& height) {
  std::ifstream in("/etc/papersize");
  std::string name;
  in >> name;
  if (const char* env = std::getenv("PAPERSIZE")) name = env;
  if (name == "letter") {
    width = 612;
    height = 792;
  } else {
    width = 595.276;
    height = 841.89;
  }
}

std::string FaceFor(const std::string& face) {
  if (face.empty() || platform::Latin1ToUtf8(face) == "Courier New" || face == "Courier") return "Liberation Mono";
  return platform::Latin1ToUtf8(face);
}

class CPdfSink final : public PageSink {
 public:
  explicit CPdfSink(std::string path) : path_(std::move(path)) {}
  ~CPdfSink() override { Release(); }

  bool StartDocument(const DocumentSetup& setup, std::string& error) override {
    setup_ = setup;
    PaperSize(width_, height_);
    if (setup.landscape) std::swap(width_, height_);
    // Created 0600 before Cairo writes into it.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
      error = platform::Format(texts::kCannotOpenFile, path_.c_str(), std::strerror(errno));
      return false;
    }
    ::close(fd);
    surface_ = cairo_pdf_surface_create(path_.c_str(), width_, height_);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
      error = platform::Format(texts::kCannotOpenFile, path_.c_str(), cairo_status_to_string(cairo_surface_status(surface_)));
      return false;
    }
    cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, platform::Latin1ToUtf8(setup.name).c_str());
    cr_ = cairo_create(surface_);
    layout_ = pango_cairo_create_layout(cr_);
    return true;
  }

  PageArea Area() const override {
    return {width_ - setup_.margins[0] - setup_.margins[2], height_ - setup_.margins[1] - setup_.margins[3]};
  }

  FontMetrics SelectFont(const PrintFont& font, double fitWidth) override {
    font_ = font;
    points_ = std::max(1, font.heightTenths) / 10.0;
    FontMetrics m = Apply(font, points_);
    if (fitWidth > 0 && m.charWidth > 0) m = Apply(font, points_ *= fitWidth / m.charWidth);
    return m;
  }

  bool StartPage() override {
    SetColour(setup_.textColour);
    return cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
  }

  void DrawText(double x, double y, std::string_view latin1) override {
    const std::string text = platform::Latin1ToUtf8(latin1);
    pango_layout_set_text(layout_, text.c_str(), static_cast<int>(text.size()));
    cairo_move_to(cr_, setup_.margins[0] + x, setup_.margins[1] + y);
    pango_cairo_show_layout(cr_, layout_);
  }

  void DrawScreenRun(double x, double y, double width, double height, const ScreenRun& run) override {
    x += setup_.margins[0];
    y += setup_.margins[1];
    if (run.background != 0xFFFFFF) {
      SetColour(run.background);
      cairo_rectangle(cr_, x, y, width, height);
      cairo_fill(cr_);
    }
    SetColour(run.colour);
    if (run.bold != font_.bold) {
      PrintFont bold = font_;
      bold.bold = run.bold;
      Apply(bold, points_);
    }
    pango_layout_set_text(layout_, run.utf8.c_str(), static_cast<int>(run.utf8.size()));
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, layout_);
    if (run.bold != font_.bold) Apply(font_, points_);
    if (run.underline) {
      const double thickness = std::max(0.5, height / 16);
      cairo_rectangle(cr_, x, y + height - 2 * thickness, width, thickness);
      cairo_fill(cr_);
    }
    SetColour(setup_.textColour);
  }

  std::optional<Paper> PaperOf() const override {
    return Paper{width_, height_, setup_.margins[0], setup_.margins[1]};
  }

  bool EndPage() override {
    cairo_show_page(cr_);
    return cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
  }

  bool EndDocument(std::string& error) override {
    cairo_surface_finish(surface_);
    const cairo_status_t status = cairo_surface_status(surface_);
    Release();
    if (status != CAIRO_STATUS_SUCCESS) {
      error = platform::Format(texts::kCannotWriteFile, path_.c_str(), cairo_status_to_string(status));
      return false;
    }
    return true;
  }

  void AbortDocument() override {
    Release();
    ::unlink(path_.c_str());
  }

 private:
  FontMetrics Apply(const PrintFont& font, double points) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, FaceFor(font.face).c_str());
    pango_font_description_set_weight(d, font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d, points * PANGO_SCALE);
    pango_layout_set_font_description(layout_, d);
    PangoContext* context = pango_layout_get_context(layout_);
    PangoFontMetrics* metrics = pango_context_get_metrics(context, d, nullptr);
    FontMetrics m;
    m.charWidth = pango_font_metrics_get_approximate_char_width(metrics) / double(PANGO_SCALE);
    m.lineHeight = (pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics)) / double(PANGO_SCALE);
    pango_font_metrics_unref(metrics);
    pango_font_description_free(d);
    if (!(m.lineHeight > 0)) m.lineHeight = points * 1.2;
    if (!(m.charWidth > 0)) m.charWidth = points * 0.6;
    return m;
  }

  void SetColour(std::uint32_t c) {
    cairo_set_source_rgb(cr_, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
  }

  void Release() {
    if (layout_) g_object_unref(layout_);
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
    layout_ = nullptr;
    cr_ = nullptr;
    surface_ = nullptr;
  }

  std::string path_;
  DocumentSetup setup_;
  double width_ = 595.276, height_ = 841.89;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  PangoLayout* layout_ = nullptr;
  PrintFont font_;  // the font selected last, at points_
  double points_ = 10;
};

}  // namespace

std::unique_ptr<PageSink> CreatePdfFileSink(const std::string& path) { return std::make_unique<CPdfSink>(path); }

}  // namespace corvina::printing::backends
