#include "printing/PrintFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Format.h"
#include "platform/UserFolders.h"
#include "printing/PrintTexts.h"

namespace corvina::printing {

int CreateSpoolFile(std::string* path, std::string* error) {
  std::string cause;
  const std::string runtime = platform::RuntimeFolderPath();
  const std::string folder = runtime + "spool/";
  if (!platform::PreparePrivateFolder(runtime, &cause) || !platform::PreparePrivateFolder(folder, &cause)) {
    *error = cause;
    return -1;
  }
  std::string name = folder + "job-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);  // 0600, never an existing file
  if (fd < 0) {
    *error = platform::Format(texts::kCannotOpenFile, name.c_str(), std::strerror(errno));
    return -1;
  }
  *path = name;
  return fd;
}

std::string NumberedFileName(const std::string& file, int counter) {
  const std::size_t slash = file.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : file.substr(0, slash + 1);
  const std::string name = file.substr(dir.size());
  const std::size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  const std::string ext = name.substr(base.size());
  return platform::Format(texts::kNumberedFile, "", dir.c_str(), base.c_str(), counter, ext.c_str());
}

int CreateNumberedFile(const std::string& file, int& counter, std::string* path) {
  // Three digits give a thousand names; beyond them the numbers just grow.
  for (int tries = 0; tries < 10000; ++tries) {
    const std::string name = NumberedFileName(file, counter++);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      *path = name;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

int OpenPrintOutputFile(const std::string& file, bool numbered, bool& used, int& counter, std::string* path) {
  if (numbered) return CreateNumberedFile(file, counter, path);
  // A FIFO in place of the file cannot block the open; it is refused below.
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (used ? O_APPEND : O_TRUNC), 0600);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  used = true;
  *path = file;
  return fd;
}

namespace {

std::string TimeText(const char* format, std::time_t now) {
  char text[128] = "";
  std::tm tm{};
  if (localtime_r(&now, &tm)) std::strftime(text, sizeof text, format, &tm);
  return text;
}

void ReplaceFirst(std::string& text, std::string_view token, const std::string& value) {
  std::size_t at = text.find(std::string("%").append(token));
  if (at == std::string::npos) at = text.find(std::string("$").append(token));
  if (at != std::string::npos) text.replace(at, token.size() + 1, value);
}

}  // namespace

std::string SubstituteHeaderTokens(std::string_view text, std::string_view sessionName, int columns,
                                   std::time_t now) {
  std::string out(text);
  ReplaceFirst(out, "DATE", TimeText("%x", now));
  ReplaceFirst(out, "LONGDATE", TimeText("%A, %B %d, %Y", now));
  ReplaceFirst(out, "TIME", TimeText("%H:%M", now));
  ReplaceFirst(out, "SESSION", std::string(sessionName));
  out.resize(static_cast<std::size_t>(std::max(0, columns)), ' ');
  return out;
}

std::string FormatMargin(int value, bool metric) {
  const int unit = metric ? 100 : 1000;
  return platform::Format(metric ? texts::kMarginMillimeters : texts::kMarginInches, value / unit, value % unit);
}

std::optional<int> ParseMargin(std::string_view text, bool metric) {
  const std::size_t digits = metric ? 2 : 3;
  std::string whole, fraction;
  bool point = false;
  for (char c : text) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      (point ? fraction : whole) += c;
    } else {
      return std::nullopt;
    }
  }
  if (whole.empty() && fraction.empty()) return std::nullopt;
  fraction.resize(digits, '0');
  if (whole.size() > 5) return std::nullopt;  // no page is that wide
  return std::stoi(whole.empty() ? "0" : whole) * (metric ? 100 : 1000) + std::stoi(fraction);
}

}  // namespace corvina::printing
