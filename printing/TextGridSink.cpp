#include "printing/TextGridSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/Format.h"
#include "platform/FileIo.h"
#include "platform/Text.h"
#include "printing/PrintFiles.h"
#include "printing/PrintTexts.h"

namespace corvina::printing {

CTextGridSink::CTextGridSink(int columns, int lines) : columns_(std::max(1, columns)), lines_(std::max(1, lines)) {}

bool CTextGridSink::StartDocument(const DocumentSetup& setup, std::string&) {
  setup_ = setup;
  return true;
}

bool CTextGridSink::StartPage() {
  grid_.assign(static_cast<std::size_t>(lines_), std::string(static_cast<std::size_t>(columns_), ' '));
  pageOpen_ = true;
  return true;
}

void CTextGridSink::DrawText(double x, double y, std::string_view text) {
  if (!pageOpen_ || y < 0 || y >= lines_) return;
  std::string& row = grid_[static_cast<std::size_t>(y)];
  long column = std::lround(std::floor(x));
  for (char c : text) {
    if (column >= columns_) break;
    if (column >= 0 && c != ' ') row[static_cast<std::size_t>(column)] = c;
    ++column;
  }
}

bool CTextGridSink::EndPage() {
  if (!pageOpen_) return false;
  pageOpen_ = false;
  for (std::string& row : grid_) row.erase(row.find_last_not_of(' ') + 1);
  while (!grid_.empty() && grid_.back().empty()) grid_.pop_back();
  return TakePage(std::move(grid_), error_);
}

bool CTextGridSink::TakePage(std::vector<std::string> page, std::string&) {
  pages_.push_back(std::move(page));
  return true;
}

bool CTextGridSink::WriteRaw(std::span<const char> bytes, std::string& error) { return TakeRaw(bytes, error); }

bool CTextGridSink::TakeRaw(std::span<const char> bytes, std::string&) {
  raw_.append(bytes.data(), bytes.size());
  return true;
}

bool CTextGridSink::EndDocument(std::string& error) {
  if (!error_.empty()) {
    error = error_;
    return false;
  }
  return true;
}

std::unique_ptr<PageSink> TextFileSinkFor(const PrintJob& job, std::string& error) {
  if (job.printerName.rfind("file:", 0) != 0 || job.printerName.size() <= 5) {
    error = platform::Format(texts::kUnknownDestination, job.printerName.c_str());
    return nullptr;
  }
  if (job.options & kPrintRaw) return std::make_unique<CRawFileSink>(job.printerName.substr(5));
  // As wide as any SCS line and as long as the job's page.
  const int lines = job.linesPerPage > 0 && job.linesPerPage <= 255 ? job.linesPerPage : 66;
  return std::make_unique<CTextFileSink>(job.printerName.substr(5), 255, lines);
}

std::string PagesAsText(const std::vector<std::vector<std::string>>& pages) {
  std::string out;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (p > 0) out += "\f\n";
    for (const std::string& line : pages[p]) out += platform::Latin1ToUtf8(line) + "\n";
  }
  return out;
}

// ------------------------------------------------------------------ files

CTextFileSink::CTextFileSink(std::string path, int columns, int lines)
    : CTextGridSink(columns, lines), path_(std::move(path)) {}

CTextFileSink::~CTextFileSink() {
  if (fd_ >= 0) ::close(fd_);
}

bool CTextFileSink::StartDocument(const DocumentSetup& setup, std::string& error) {
  // Jobs follow one another in the file, a form feed between them.
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  struct stat st {};
  if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd_);
    fd_ = -1;
    errno = EISDIR;
  }
  if (fd_ < 0) {
    error = platform::Format(texts::kCannotOpenFile, path_.c_str(), std::strerror(errno));
    return false;
  }
  pagesWritten_ = st.st_size > 0 ? 1 : 0;
  return CTextGridSink::StartDocument(setup, error);
}

bool CTextFileSink::Write(const std::string& bytes, std::string& error) {
  if (fd_ < 0) return false;
  if (const int err = platform::WriteAll(fd_, bytes)) {
    error = platform::Format(texts::kCannotWriteFile, path_.c_str(), std::strerror(err));
    return false;
  }
  return true;
}

bool CTextFileSink::TakePage(std::vector<std::string> page, std::string& error) {
  std::string text = pagesWritten_++ > 0 ? "\f\n" : "";
  for (const std::string& line : page) text += platform::Latin1ToUtf8(line) + "\n";
  return Write(text, error);
}

bool CTextFileSink::TakeRaw(std::span<const char> bytes, std::string& error) {
  return Write(std::string(bytes.data(), bytes.size()), error);
}

bool CTextFileSink::EndDocument(std::string& error) {
  bool ok = CTextGridSink::EndDocument(error);
  if (fd_ >= 0 && ::close(fd_) != 0 && ok) {
    error = platform::Format(texts::kCannotWriteFile, path_.c_str(), std::strerror(errno));
    ok = false;
  }
  fd_ = -1;
  return ok;
}

void CTextFileSink::AbortDocument() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

// ------------------------------------------------------------- raw files

CRawFileSink::~CRawFileSink() {
  if (fd_ >= 0) ::close(fd_);
}

bool CRawFileSink::StartDocument(const DocumentSetup&, std::string& error) {
  int counter = 0;  // numbers in use are skipped
  fd_ = CreateNumberedFile(path_, counter, &file_);
  if (fd_ < 0) error = platform::Format(texts::kCannotOpenFile, path_.c_str(), std::strerror(errno));
  return fd_ >= 0;
}

bool CRawFileSink::WriteRaw(std::span<const char> bytes, std::string& error) {
  if (fd_ < 0) return false;
  if (const int err = platform::WriteAll(fd_, bytes.data(), bytes.size())) {
    error = platform::Format(texts::kCannotWriteFile, file_.c_str(), std::strerror(err));
    return false;
  }
  return true;
}

bool CRawFileSink::EndDocument(std::string& error) {
  const bool ok = fd_ >= 0 && ::close(fd_) == 0;
  fd_ = -1;
  if (!ok) {
    error = platform::Format(texts::kCannotWriteFile, file_.c_str(), std::strerror(errno));
    ::unlink(file_.c_str());
  }
  return ok;
}

void CRawFileSink::AbortDocument() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(file_.c_str());
}

}  // namespace corvina::printing
