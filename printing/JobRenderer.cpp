#include "printing/JobRenderer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/Format.h"
#include "printing/PrintTexts.h"

namespace corvina::printing {

// ------------------------------------------------------------- spool reader

CSpoolReader::~CSpoolReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool CSpoolReader::Open(const PrintFile& file) {
  // Non-blocking, so that a FIFO in place of a spool file cannot hang the thread.
  fd_ = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd_);
    fd_ = -1;
    errno = EINVAL;
  }
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  const std::uint64_t offset = std::min(file.offset, size);
  if (offset > 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    error_ = errno;
    return false;
  }
  left_ = std::min(file.length, size - offset);
  return true;
}

bool CSpoolReader::Fill() {
  buffer_.clear();
  pos_ = 0;
  if (fd_ < 0 || left_ == 0 || failed_) return false;
  buffer_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, left_)));
  ssize_t n;
  do n = ::read(fd_, buffer_.data(), buffer_.size());
  while (n < 0 && errno == EINTR);
  if (n < 0) {
    failed_ = true;
    error_ = errno;
    buffer_.clear();
    return false;
  }
  buffer_.resize(static_cast<std::size_t>(n));
  left_ = n == 0 ? 0 : left_ - static_cast<std::uint64_t>(n);  // a file that shrank ends here
  return n > 0;
}

std::string_view CSpoolReader::NextChunk() {
  if (pos_ >= buffer_.size() && !Fill()) return {};
  std::string_view piece(buffer_.data() + pos_, buffer_.size() - pos_);
  pos_ = buffer_.size();
  return piece;
}

// ----------------------------------------------------------------- the job

namespace {

double MarginPoints(int value, bool metric) {
  const double v = std::max(0, value);
  return metric ? v / 2540.0 * 72.0 : v * 72.0 / 1000.0;
}

// Jobs come from outside (LPD clients, stored profiles): keep sizes sane.
constexpr int kMaxColumns = 1000;
constexpr int kMaxLines = 32767;

}  // namespace

CJobRenderer::CJobRenderer(const PrintJob& job, PageSink& sink, const CCorvinaCodePage* codePage,
                           std::time_t started)
    : job_(job), sink_(sink), codePage_(codePage), started_(started) {}

int CJobRenderer::Fail(int state, std::string text, int err) {
  if (failed_ == 0) {
    failed_ = state;
    errorText_ = std::move(text);
    error_ = err;
  }
  return failed_;
}

int CJobRenderer::Run() {
  DocumentSetup setup;
  setup.name = job_.documentName;
  setup.landscape = (job_.options & kPrintLandscape) != 0;
  setup.raw = (job_.options & kPrintRaw) != 0;
  for (int i = 0; i < 4; ++i) setup.margins[i] = MarginPoints(job_.margins[i], job_.options & kPrintMetricMargins);
  setup.textColour = job_.textColour;
  std::string error;
  if (!sink_.StartDocument(setup, error)) return Fail(setup.raw ? kJobPrinterNotAvailable : kJobStartDocFailed, error);
  if (setup.raw) return RunRaw();

  area_ = sink_.Area();
  if (!(area_.width > 0) || !(area_.height > 0)) {
    sink_.AbortDocument();
    return Fail(kJobStartDocFailed, texts::kNoPrintableArea);
  }
  columns_ = job_.columns < 1 ? 80 : std::min(job_.columns, kMaxColumns);
  tabWidth_ = job_.tabWidth < 1 ? 8 : std::min(job_.tabWidth, kMaxColumns);
  leftColumn_ = std::clamp(job_.leftColumn, 0, columns_ - 1) + 1;
  font_ = sink_.SelectFont(job_.font, (job_.options & kPrintFitColumns) ? area_.width / columns_ : 0);
  if (!(font_.lineHeight > 0) || !(font_.charWidth > 0)) font_ = {1, 1};
  headerLines_ = (job_.options & kPrintPageHeader) ? 2 : 0;
  if ((job_.options & kPrintFitLines) && job_.linesPerPage > 0) {
    const double needed = (job_.linesPerPage + headerLines_) * font_.lineHeight;
    if (needed > area_.height) {
      font_ = sink_.SelectFont(job_.font, font_.charWidth * area_.height / needed);
      if (!(font_.lineHeight > 0) || !(font_.charWidth > 0)) font_ = {1, 1};
    }
  }
  const int fit = static_cast<int>(std::clamp(std::floor(area_.height / font_.lineHeight), 1.0, double(kMaxLines)));
  sheetLines_ = std::max(1, fit - headerLines_);
  linesPerPage_ = job_.linesPerPage < 1 ? sheetLines_ : std::min(job_.linesPerPage, kMaxLines);

  if (job_.options & kPrintBanner) RenderBanner();
  if (job_.screen) RenderScreen(*job_.screen);
  for (const PrintFile& file : job_.files) {
    if (failed_ || job_.screen) break;
    CSpoolReader in;
    if (!in.Open(file)) {
      Fail(kJobFileOpenFailed, platform::Format(texts::kCannotOpenFile, file.path.c_str(), std::strerror(in.Error())),
           in.Error());
      break;
    }
    RenderFile(in);
    if (in.Failed())
      Fail(kJobFileReadFailed, platform::Format(texts::kCannotReadFile, file.path.c_str(), std::strerror(in.Error())),
           in.Error());
  }
  // What printed before a spool file failed is still delivered; a failing
  // or cancelled destination delivers nothing.
  if (failed_ && failed_ != kJobFileOpenFailed && failed_ != kJobFileReadFailed) {
    sink_.AbortDocument();
    return failed_;
  }
  if (!sink_.EndDocument(error)) return Fail(kJobEndDocFailed, error), kJobEndDocFailed;
  return failed_ ? failed_ : kJobComplete;
}

int CJobRenderer::RunRaw() {
  std::string error;
  for (const PrintFile& file : job_.files) {
    CSpoolReader in;
    if (!in.Open(file)) {
      Fail(kJobFileOpenFailed, platform::Format(texts::kCannotOpenFile, file.path.c_str(), std::strerror(in.Error())),
           in.Error());
      break;
    }
    for (std::string_view piece = in.NextChunk(); !piece.empty(); piece = in.NextChunk())
      if (!sink_.WriteRaw(piece, error)) {
        Fail(kJobPageWriteFailed, error);
        break;
      }
    if (failed_) break;
    if (in.Failed()) {
      Fail(kJobFileReadFailed, platform::Format(texts::kCannotReadFile, file.path.c_str(), std::strerror(in.Error())),
           in.Error());
      break;
    }
    if (job_.state.load() == kJobCancelled) {
      Fail(kJobCancelled, {});
      break;
    }
  }
  if (failed_ == kJobPageWriteFailed || failed_ == kJobCancelled) {
    sink_.AbortDocument();
    return failed_;
  }
  if (!sink_.EndDocument(error)) return Fail(kJobEndDocFailed, error), kJobEndDocFailed;
  return failed_ ? failed_ : kJobComplete;
}

void CJobRenderer::RenderFile(CSpoolReader& in) {
  line_ = 1;
  left_ = column_ = leftColumn_;
  maxPrint_ = columns_;
  maxLine_ = bottomMargin_ = linesPerPage_;
  topMargin_ = 1;
  htabs_.clear();
  vtabs_.clear();
  sheetBase_ = 0;
  printedInFile_ = leadingFormFeedDone_ = false;
  fortranFresh_ = atLineStart_ = true;
  if ((job_.options & kPrintScs) && codePage_)
    RenderScs(in);
  else
    RenderText(in);
  EndLogicalPage(false);
}

void CJobRenderer::RenderBanner() {
  auto when = [](std::time_t t) {
    char text[64] = "";
    std::tm tm{};
    if (localtime_r(&t, &tm)) std::strftime(text, sizeof text, "%x %X", &tm);
    return std::string(text);
  };
  const std::string banner =
      platform::Format(texts::kBanner, job_.owner.c_str(), job_.jobClass.c_str(), job_.jobName.c_str(),
                       job_.jobNumber, when(job_.created ? job_.created : started_).c_str(), when(started_).c_str());
  PrintFont big = job_.font;
  big.heightTenths = 140;
  big.bold = false;
  const int jobSheetLines = sheetLines_, jobHeaderLines = headerLines_;
  font_ = sink_.SelectFont(big, 0);
  if (!(font_.lineHeight > 0) || !(font_.charWidth > 0)) font_ = {1, 1};
  headerLines_ = 0;
  sheetLines_ = std::max(1, static_cast<int>(std::min(area_.height / font_.lineHeight, double(kMaxLines))));
  line_ = 1;
  left_ = column_ = 1;
  maxPrint_ = kMaxColumns;
  maxLine_ = linesPerPage_;
  for (char c : banner) TextByte(static_cast<std::uint8_t>(c));
  EndLogicalPage(false);
  font_ = sink_.SelectFont(job_.font, (job_.options & kPrintFitColumns) ? area_.width / columns_ : 0);
  if (!(font_.lineHeight > 0) || !(font_.charWidth > 0)) font_ = {1, 1};
  sheetLines_ = jobSheetLines;
  headerLines_ = jobHeaderLines;
}

// ------------------------------------------------------------ screen pages

void CJobRenderer::RenderScreen(const ScreenPage& page) {
  double x0 = 0, y0 = 0;
  if (const auto paper = sink_.PaperOf(); paper && page.centre) {
    // In the middle of the sheet, but never off its edges.
    x0 = std::max(-paper->left, (paper->width - font_.charWidth * page.columns) / 2 - paper->left);
    y0 = std::max(-paper->top, (paper->height - font_.lineHeight * page.lines) / 2 - paper->top);
  }
  line_ = 1;
  sheetBase_ = 0;
  if (!OpenSheet()) return;
  for (const ScreenRun& run : page.runs) {
    if (run.line < 0 || run.line >= page.lines || run.column < 0 || run.column >= page.columns) continue;
    const double y = y0 + (run.line + headerLines_) * font_.lineHeight;
    sink_.DrawScreenRun(x0 + run.column * font_.charWidth, y, double(run.latin1.size()) * font_.charWidth,
                        font_.lineHeight, run);
  }
  EndLogicalPage(false);
}

// --------------------------------------------------------------- text pages

void CJobRenderer::RenderText(CSpoolReader& in) {
  for (int b = in.Next(); b >= 0 && !failed_; b = in.Next()) TextByte(b);
}

void CJobRenderer::TextByte(int b) {
  const bool fortran = (job_.options & kPrintFortran) != 0;
  if (b == 0) return;
  if (fortran && atLineStart_ && b != '\f') {
    // The carriage control replaces the usual one-line advance.
    atLineStart_ = false;
    int advance = 1;
    switch (b) {
      case '0': advance = 2; break;
      case '-': advance = 3; break;
      case '+': advance = 0; break;
      case '1':
        EndLogicalPage(false);
        fortranFresh_ = false;
        line_ = 1;
        return;
      default: break;
    }
    if (fortranFresh_) {
      line_ = std::max(1, advance);
      fortranFresh_ = false;
    } else if (line_ + advance > linesPerPage_) {
      EndLogicalPage(false);
      fortranFresh_ = false;
      line_ = 1;
    } else {
      line_ += advance;
    }
    if (b != '\n') return;  // an empty record still advances
  }
  switch (b) {
    case '\n':
      Flush();
      if (fortran) {
        column_ = left_;
        atLineStart_ = true;
        return;
      }
      LineFeed(linesPerPage_);
      if (job_.options & kPrintLineFeedReturns) column_ = left_;
      return;
    case '\f':
      EndLogicalPage(true);
      atLineStart_ = true;
      return;
    case '\r':
      Flush();
      column_ = left_;
      return;
    case '\b':
      if (column_ > left_) {
        Flush();
        --column_;
      }
      return;
    case '\t':
      NextTab();
      return;
    default:
      if (b < 0x20 || b == 0x7F) return;  // other controls have no mark to make
      Put(static_cast<char>(b));
  }
}

// ----------------------------------------------------------------- drawing

void CJobRenderer::Put(char c) {
  if (column_ > maxPrint_) {
    column_ = maxPrint_ + 1;  // cut at the last printable column
    return;
  }
  if (!run_.empty() && runColumn_ + static_cast<int>(run_.size()) != column_) Flush();
  if (run_.empty()) runColumn_ = column_;
  run_ += c;
  ++column_;
}

void CJobRenderer::Flush() {
  if (run_.empty()) return;
  if (run_.find_first_not_of(' ') != std::string::npos && OpenSheet())
    sink_.DrawText((runColumn_ - 1) * font_.charWidth, (line_ - sheetBase_ - 1 + headerLines_) * font_.lineHeight,
                   run_);
  run_.clear();
}

bool CJobRenderer::OpenSheet() {
  if (failed_) return false;
  if (line_ - sheetBase_ > sheetLines_) {
    // A page longer than the sheet goes on over the next sheets.
    if (sheetOpen_) {
      sheetOpen_ = false;
      if (!sink_.EndPage()) return Fail(kJobEndPageFailed, {}), false;
    }
    sheetBase_ = line_ - 1;
  }
  if (!sheetOpen_) {
    if (job_.state.load() == kJobCancelled) return Fail(kJobCancelled, {}), false;
    if (!sink_.StartPage()) return Fail(kJobStartPageFailed, {}), false;
    sheetOpen_ = true;
    ++sheets_;
    DrawHeader();
  }
  printedInFile_ = true;
  return true;
}

void CJobRenderer::EndLogicalPage(bool formFeed) {
  Flush();
  if (sheetOpen_) {
    sheetOpen_ = false;
    if (!sink_.EndPage()) Fail(kJobEndPageFailed, {});
  } else if (formFeed && !printedInFile_ && !leadingFormFeedDone_ && !(job_.options & kPrintNoInitialFormFeed) &&
             !failed_) {
    // A form feed before the first printed character gives a blank page.
    leadingFormFeedDone_ = true;
    if (!sink_.StartPage()) {
      Fail(kJobStartPageFailed, {});
    } else {
      ++sheets_;
      DrawHeader();
      if (!sink_.EndPage()) Fail(kJobEndPageFailed, {});
    }
  }
  leadingFormFeedDone_ = leadingFormFeedDone_ || printedInFile_;
  if (!failed_ && job_.state.load() == kJobCancelled) Fail(kJobCancelled, {});
  line_ = topMargin_;
  column_ = left_;
  sheetBase_ = 0;
  fortranFresh_ = true;
}

void CJobRenderer::LineFeed(int limit) {
  Flush();
  if (line_ >= limit)
    EndLogicalPage(false);
  else
    ++line_;
}

void CJobRenderer::NextTab() {
  Flush();
  for (int stop : htabs_)
    if (stop > column_ && stop <= maxPrint_) {
      column_ = stop;
      return;
    }
  if (!htabs_.empty() || (job_.options & kPrintScs)) {
    ++column_;  // no stop ahead: one blank
  } else {
    // Default stops every tab width from the left margin, strictly ahead.
    column_ = left_ + tabWidth_ * ((std::max(column_, left_) - left_) / tabWidth_ + 1);
  }
  column_ = std::min(column_, maxPrint_ + 1);
}

void CJobRenderer::DrawHeader() {
  if (!headerLines_) return;
  char when[64] = "";
  std::tm tm{};
  if (localtime_r(&started_, &tm)) std::strftime(when, sizeof when, "%x %X", &tm);
  const std::string& title = job_.headerTitle.empty() ? job_.documentName : job_.headerTitle;
  const std::string page = platform::Format(texts::kPageNumber, sheets_);
  const int used = static_cast<int>(std::strlen(when) + title.size() + page.size());
  if (used > columns_ - 2) return;
  const int free = columns_ - used, first = free / 2;
  const std::string line = when + std::string(static_cast<std::size_t>(first), ' ') + title +
                           std::string(static_cast<std::size_t>(free - first), ' ') + page;
  sink_.DrawText(0, 0, line);
}

// ---------------------------------------------------------------- SCS pages

namespace {
namespace scs {
constexpr int kNull = 0x00, kPp = 0x34, kTrn = 0x35, kSa = 0x28, kFormat = 0x2B, kGe = 0x08;
constexpr int kVcs = 0x04, kHt = 0x05, kRnl = 0x06, kVt = 0x0B, kFf = 0x0C, kCr = 0x0D, kNl = 0x15,
              kBs = 0x16, kIrs = 0x1E, kLf = 0x25, kRff = 0x3A;
constexpr int kShf = 0xC1, kSvf = 0xC2;
constexpr int kRdpp = 0x4C, kAhpp = 0xC0, kAvpp = 0xC4, kRhpp = 0xC8;
}  // namespace scs
}  // namespace

void CJobRenderer::PutScs(char c) {
  // A character beyond the last print position goes on the next line, as on
  // an SCS printer.
  if (column_ > maxPrint_) {
    Flush();
    column_ = left_;
    LineFeed(bottomMargin_);
  }
  Put(c);
}

char CJobRenderer::Translate(int ebcdic) const {
  const auto c = static_cast<std::uint8_t>(codePage_->ToAscii(static_cast<std::uint8_t>(ebcdic)));
  return (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) ? ' ' : static_cast<char>(c);
}

void CJobRenderer::RenderScs(CSpoolReader& in) {
  using namespace scs;
  for (int b = in.Next(); b >= 0 && !failed_; b = in.Next()) {
    switch (b) {
      case kNull: case 0x14: case 0x24: case 0x2F: case 0x36:
        break;
      case kVcs:
        in.Next();
        LineFeed(bottomMargin_);
        break;
      case kHt:
        NextTab();
        break;
      case kRnl: case kNl: case kIrs:
        Flush();
        column_ = left_;
        LineFeed(bottomMargin_);
        break;
      case kGe:
        if (int c = in.Next(); c >= 0) PutScs(Translate(c));
        break;
      case kVt: {
        Flush();
        auto stop = std::find_if(vtabs_.begin(), vtabs_.end(), [this](int v) { return v > line_ && v <= maxLine_; });
        if (stop != vtabs_.end())
          line_ = *stop;
        else
          LineFeed(bottomMargin_);
        break;
      }
      case kFf: case kRff:
        EndLogicalPage(true);
        break;
      case kCr:
        Flush();
        column_ = left_;
        break;
      case kBs:
        if (column_ > left_) {
          Flush();
          --column_;
        }
        break;
      case kLf:
        LineFeed(bottomMargin_);
        break;
      case kSa:
        in.Next();
        in.Next();
        break;
      case kFormat: {
        const int kind = in.Next(), count = in.Next();
        if (kind < 0 || count < 0) break;
        std::vector<std::uint8_t> p;
        for (int i = 1; i < count; ++i) {
          const int c = in.Next();
          if (c < 0) break;
          p.push_back(static_cast<std::uint8_t>(c));
        }
        if (kind == kShf) SetHorizontalFormat(p);
        if (kind == kSvf) SetVerticalFormat(p);
        break;
      }
      case kPp: {
        const int kind = in.Next(), n = in.Next();
        if (kind >= 0 && n > 0) Position(static_cast<std::uint8_t>(kind), n);
        break;
      }
      case kTrn: {
        const int n = in.Next();
        for (int i = 0; i < n; ++i) {
          const int c = in.Next();
          if (c < 0) break;
          PutScs(Translate(c));
        }
        break;
      }
      case 0xFF:
        if (in.Peek() == 0xEF) {
          in.Next();
          break;
        }
        PutScs(Translate(b));
        break;
      default:
        if (b < 0x40) break;  // a control this printer does not know
        PutScs(Translate(b));
        break;
    }
  }
}

void CJobRenderer::SetHorizontalFormat(const std::vector<std::uint8_t>& p) {
  Flush();
  auto at = [&p](std::size_t i, int def) { return i < p.size() && p[i] ? int(p[i]) : def; };
  maxPrint_ = at(0, 132);
  left_ = at(1, 1);
  if (left_ > maxPrint_) left_ = 1;
  htabs_.clear();
  for (std::size_t i = 3; i < p.size(); ++i)
    if (p[i] > left_ && p[i] <= maxPrint_) htabs_.push_back(p[i]);
  std::sort(htabs_.begin(), htabs_.end());
  htabs_.erase(std::unique(htabs_.begin(), htabs_.end()), htabs_.end());
  column_ = std::clamp(column_, left_, maxPrint_ + 1);
}

void CJobRenderer::SetVerticalFormat(const std::vector<std::uint8_t>& p) {
  Flush();
  auto at = [&p](std::size_t i, int def) { return i < p.size() && p[i] ? int(p[i]) : def; };
  maxLine_ = at(0, linesPerPage_);
  topMargin_ = at(1, 1);
  // A printer takes a top margin that does not fit the page as no margin,
  // and a bottom margin above the top one or below the page as the page's end.
  if (topMargin_ > maxLine_) topMargin_ = 1;
  bottomMargin_ = at(2, maxLine_);
  if (bottomMargin_ < topMargin_ || bottomMargin_ > maxLine_) bottomMargin_ = maxLine_;
  vtabs_.clear();
  for (std::size_t i = 3; i < p.size(); ++i)
    if (p[i] >= topMargin_ && p[i] <= maxLine_) vtabs_.push_back(p[i]);
  std::sort(vtabs_.begin(), vtabs_.end());
  vtabs_.erase(std::unique(vtabs_.begin(), vtabs_.end()), vtabs_.end());
  if (line_ < topMargin_) line_ = topMargin_;
}

void CJobRenderer::Position(std::uint8_t kind, int n) {
  using namespace scs;
  switch (kind) {
    case kRdpp:
      Flush();
      line_ += n;
      if (line_ > maxLine_) {
        const int overflow = line_ - maxLine_;
        EndLogicalPage(false);
        line_ = std::clamp(overflow, topMargin_, maxLine_);
      }
      break;
    case kAhpp:
      if (n < column_) Flush();
      column_ = std::min(n, maxPrint_ + 1);
      break;
    case kAvpp:
      Flush();
      if (n < line_) {
        EndLogicalPage(false);
        line_ = std::clamp(n, topMargin_, maxLine_);
      } else {
        line_ = std::min(n, maxLine_);
      }
      break;
    case kRhpp:
      column_ = std::min(column_ + n, maxPrint_ + 1);
      break;
    default:
      break;
  }
}

}  // namespace corvina::printing
