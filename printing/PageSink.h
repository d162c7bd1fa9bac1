// Where rendered pages go: a PDF document for a print destination or a
// file, or a grid of characters for tests and text files. Coordinates and
// sizes are in the sink's own units; text is Latin-1.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "printing/PrintJob.h"

namespace corvina::printing {

struct DocumentSetup {
  std::string name;
  bool landscape = false;
  bool raw = false;     // the bytes go to the destination unchanged
  // Left, top, right, bottom in points (1/72 inch).
  double margins[4] = {0, 0, 0, 0};
  std::uint32_t textColour = 0;
};

struct PageArea {
  double width = 0, height = 0;
};

struct FontMetrics {
  double charWidth = 1, lineHeight = 1;
};

class PageSink {
 public:
  virtual ~PageSink() = default;
  // False with a reason when the destination cannot take the document.
  virtual bool StartDocument(const DocumentSetup& setup, std::string& error) = 0;
  // The printable area within the margins (valid after StartDocument).
  virtual PageArea Area() const = 0;
  // Selects the font; fitWidth > 0 asks for a character width of that size.
  virtual FontMetrics SelectFont(const PrintFont& font, double fitWidth) = 0;
  virtual bool StartPage() = 0;
  // Text at x, y from the top-left of the printable area; blanks leave what
  // is under them (transparent background).
  virtual void DrawText(double x, double y, std::string_view latin1) = 0;
  // A printed screen's cell run: its background filled (when not white)
  // and its text in its colour and renditions. Destinations without colour
  // take the text alone.
  virtual void DrawScreenRun(double x, double y, double width, double height, const ScreenRun& run) {
    (void)width, (void)height;
    DrawText(x, y, run.latin1);
  }
  // The whole sheet and where the printable area lies on it, for output
  // centred on the paper; nullopt where the sheet is the printable area.
  struct Paper {
    double width = 0, height = 0, left = 0, top = 0;
  };
  virtual std::optional<Paper> PaperOf() const { return std::nullopt; }
  virtual bool EndPage() = 0;
  // Raw documents only.
  virtual bool WriteRaw(std::span<const char> /*bytes*/, std::string& error) {
    error = "raw data is not supported here";
    return false;
  }
  virtual bool EndDocument(std::string& error) = 0;
  // After a failure: nothing of the document is delivered.
  virtual void AbortDocument() {}
};

}  // namespace corvina::printing
