// A page sink of character cells: one unit is one character, one line is
// one unit high. Tests read its pages; as a file destination it writes each
// page as UTF-8 text lines, pages separated by form feeds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "printing/PageSink.h"

namespace corvina::printing {

class CTextGridSink : public PageSink {
 public:
  // Columns and lines of every sheet.
  CTextGridSink(int columns, int lines);

  bool StartDocument(const DocumentSetup& setup, std::string& error) override;
  PageArea Area() const override { return {double(columns_), double(lines_)}; }
  FontMetrics SelectFont(const PrintFont&, double) override { return {1, 1}; }
  bool StartPage() override;
  void DrawText(double x, double y, std::string_view latin1) override;
  bool EndPage() override;
  bool WriteRaw(std::span<const char> bytes, std::string& error) override;
  bool EndDocument(std::string& error) override;

  // Finished sheets, each as lines with trailing blanks and trailing empty
  // lines removed (Latin-1).
  const std::vector<std::vector<std::string>>& Pages() const { return pages_; }
  const std::string& RawData() const { return raw_; }
  const DocumentSetup& Setup() const { return setup_; }

 protected:
  // A finished sheet; kept in Pages() unless a subclass takes it.
  virtual bool TakePage(std::vector<std::string> page, std::string& error);
  virtual bool TakeRaw(std::span<const char> bytes, std::string& error);

 private:
  int columns_, lines_;
  DocumentSetup setup_;
  std::vector<std::string> grid_;
  bool pageOpen_ = false;
  std::string error_;
  std::vector<std::vector<std::string>> pages_;
  std::string raw_;
};

// The text grid appended to a file (created 0600), a form feed before each
// job but the file's first.
class CTextFileSink final : public CTextGridSink {
 public:
  CTextFileSink(std::string path, int columns, int lines);
  ~CTextFileSink() override;
  bool StartDocument(const DocumentSetup& setup, std::string& error) override;
  bool EndDocument(std::string& error) override;
  void AbortDocument() override;

 protected:
  bool TakePage(std::vector<std::string> page, std::string& error) override;
  bool TakeRaw(std::span<const char> bytes, std::string& error) override;

 private:
  bool Write(const std::string& bytes, std::string& error);
  std::string path_;
  int fd_ = -1;
  int pagesWritten_ = 0;
};

// A raw job's bytes in a file of their own: PATH numbered as print files are
// ("out.prn" gives "out.000.prn", "out.001.prn", ...), never over an
// earlier file. A job that fails or is cancelled leaves no file.
class CRawFileSink final : public PageSink {
 public:
  explicit CRawFileSink(std::string path) : path_(std::move(path)) {}
  ~CRawFileSink() override;
  bool StartDocument(const DocumentSetup& setup, std::string& error) override;
  PageArea Area() const override { return {}; }
  FontMetrics SelectFont(const PrintFont&, double) override { return {}; }
  bool StartPage() override { return false; }
  void DrawText(double, double, std::string_view) override {}
  bool EndPage() override { return false; }
  bool WriteRaw(std::span<const char> bytes, std::string& error) override;
  bool EndDocument(std::string& error) override;
  void AbortDocument() override;

 private:
  std::string path_, file_;
  int fd_ = -1;
};

// Sinks for "file:PATH" destinations without a PDF back end: the text grid
// written to PATH, or a raw job's bytes to a numbered file of its own.
std::unique_ptr<PageSink> TextFileSinkFor(const PrintJob& job, std::string& error);

// Pages as one text: lines joined with "\n", pages with "\f\n" (UTF-8).
std::string PagesAsText(const std::vector<std::vector<std::string>>& pages);

}  // namespace corvina::printing
