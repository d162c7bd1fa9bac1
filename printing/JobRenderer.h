// Lays a job out on a page sink: plain text with form feeds and tabs,
// FORTRAN carriage control, SCS data, banner pages and page headers, or the
// bytes unchanged for raw jobs. The spool files are read in pieces, never
// whole; every count in the data is bounded by the data and the page.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "codepage/CodePage.h"
#include "printing/PageSink.h"
#include "printing/PrintJob.h"

namespace corvina::printing {

// Reads one spool file (or part of one) in pieces.
class CSpoolReader {
 public:
  static constexpr std::size_t kChunk = 64 * 1024;
  CSpoolReader() = default;
  ~CSpoolReader();
  CSpoolReader(const CSpoolReader&) = delete;
  CSpoolReader& operator=(const CSpoolReader&) = delete;

  // False with errno kept when the file cannot be opened.
  bool Open(const PrintFile& file);
  // The next byte, or -1 at the end (or on a read error: Failed()).
  int Next() {
    if (pos_ < buffer_.size()) return static_cast<std::uint8_t>(buffer_[pos_++]);
    return Fill() ? static_cast<std::uint8_t>(buffer_[pos_++]) : -1;
  }
  int Peek() {
    if (pos_ < buffer_.size()) return static_cast<std::uint8_t>(buffer_[pos_]);
    return Fill() ? static_cast<std::uint8_t>(buffer_[pos_]) : -1;
  }
  // The next piece for raw printing; empty at the end.
  std::string_view NextChunk();
  bool Failed() const { return failed_; }
  int Error() const { return error_; }

 private:
  bool Fill();
  int fd_ = -1;
  std::uint64_t left_ = 0;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool failed_ = false;
  int error_ = 0;
};

class CJobRenderer {
 public:
  // codePage null: SCS data is not understood and prints as text.
  CJobRenderer(const PrintJob& job, PageSink& sink, const CCorvinaCodePage* codePage, std::time_t started);

  // Prints the whole job; returns its final state.
  int Run();
  int Error() const { return error_; }
  const std::string& ErrorText() const { return errorText_; }

 private:
  int RunRaw();
  int Fail(int state, std::string text, int err = 0);
  void RenderFile(CSpoolReader& in);
  void RenderText(CSpoolReader& in);
  void RenderScs(CSpoolReader& in);
  void RenderBanner();
  void RenderScreen(const ScreenPage& page);
  void TextByte(int b);

  // Drawing.
  void Put(char c);
  void PutScs(char c);
  void Flush();
  bool OpenSheet();
  void EndLogicalPage(bool formFeed);
  void LineFeed(int limit);
  void NextTab();
  void DrawHeader();

  // SCS controls.
  void SetHorizontalFormat(const std::vector<std::uint8_t>& p);
  void SetVerticalFormat(const std::vector<std::uint8_t>& p);
  void Position(std::uint8_t kind, int n);
  char Translate(int ebcdic) const;

  const PrintJob& job_;
  PageSink& sink_;
  const CCorvinaCodePage* codePage_;
  std::time_t started_;
  int failed_ = 0;  // a state that ends the job
  int error_ = 0;
  std::string errorText_;

  FontMetrics font_;
  PageArea area_;
  int columns_ = 80, linesPerPage_ = 0, tabWidth_ = 8, leftColumn_ = 1;
  int sheetLines_ = 1;   // lines that fit on one sheet below the header
  int headerLines_ = 0;  // 2 when the sheet carries a header
  // Position on the logical page (lines and columns from 1).
  int line_ = 1, column_ = 1;
  int left_ = 1;          // left margin column
  int maxPrint_ = 80;     // last printable column
  int maxLine_ = 0;       // last line of a logical page
  int topMargin_ = 1;
  int bottomMargin_ = 0;  // SCS line advances past it go to the next page
  std::vector<int> htabs_, vtabs_;
  int sheetBase_ = 0;     // logical line drawn on the sheet's first line, less 1
  bool sheetOpen_ = false;
  int sheets_ = 0;
  bool printedInFile_ = false;  // anything drawn since the file started
  bool leadingFormFeedDone_ = false;
  bool fortranFresh_ = true;    // no line printed yet on this FORTRAN page
  bool atLineStart_ = true;
  std::string run_;
  int runColumn_ = 1;
};

}  // namespace corvina::printing
