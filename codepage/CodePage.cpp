#include "codepage/CodePage.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "codepage/CodePageFile.h"
#include "codepage/CodePageTexts.h"
#include "platform/FileError.h"
#include "platform/Format.h"

namespace corvina {

namespace {

namespace text = codepage_text;
using platform::Format;

const CodePageTable& DefaultAsciiToEbcdic() {
  static const CodePageTable table = [] {
    CodePageTable t{};
    DeriveAsciiToEbcdic(kDefaultEbcdicToAscii, t);
    return t;
  }();
  return table;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads the whole file, refusing anything but a regular file of sensible
// size (a FIFO or device must not block or feed us forever).
bool ReadCodePageFile(const std::string& fileName, std::string& contents, std::string& error) {
  auto cantOpen = [&](unsigned cause) {
    error = Format(text::kCantOpen, fileName.c_str(), cause);
    return false;
  };
  FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) return cantOpen(platform::FileErrorCauseFromErrno(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return cantOpen(platform::FileErrorCauseFromErrno(errno));
  if (!S_ISREG(st.st_mode)) return cantOpen(platform::kFileErrorAccessDenied);
  auto tooLarge = [&] {
    error = Format(text::kFileError, fileName.c_str(), text::kTooLarge);
    return false;
  };
  if (static_cast<std::uintmax_t>(st.st_size) > kMaxCodePageFileSize) return tooLarge();
  contents.clear();
  char buffer[16384];
  while (true) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return cantOpen(platform::FileErrorCauseFromErrno(errno));
    }
    if (n == 0) return true;
    // The file may have grown since fstat.
    if (contents.size() + static_cast<std::size_t>(n) > kMaxCodePageFileSize) return tooLarge();
    contents.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

void DeriveAsciiToEbcdic(const CodePageTable& ebcdicToAscii, CodePageTable& asciiToEbcdic) {
  for (unsigned e = 0; e < 256; ++e) asciiToEbcdic[ebcdicToAscii[e]] = static_cast<std::uint8_t>(e);
}

CCorvinaCodePage::CCorvinaCodePage() { SetDefault(); }

void CCorvinaCodePage::SetDefault() {
  fileName_.clear();
  name_ = text::kDefaultName;
  characterSet_ = kDefaultCharacterSet;
  codePageNumber_ = kDefaultCodePageNumber;
  ebcdicToAscii_ = kDefaultEbcdicToAscii;
  asciiToEbcdic_ = DefaultAsciiToEbcdic();
}

bool CCorvinaCodePage::Load(const std::string& fileName, std::string& error) {
  if (fileName.empty()) {
    SetDefault();
    return true;
  }
  std::string contents;
  CodePageDefinition def;
  if (!ReadCodePageFile(fileName, contents, error) ||
      !ParseCodePageFile(contents, fileName, def, error)) {
    return false;
  }
  fileName_ = fileName;
  name_ = std::move(def.name);
  characterSet_ = def.characterSet;
  codePageNumber_ = def.codePageNumber;
  ebcdicToAscii_ = def.ebcdicToAscii;
  // Characters that no EBCDIC byte gives start from the built-in inverse,
  // not from whatever this object held, so a file always loads the same.
  asciiToEbcdic_ = DefaultAsciiToEbcdic();
  DeriveAsciiToEbcdic(ebcdicToAscii_, asciiToEbcdic_);
  return true;
}

std::vector<CodePageChoice> ListCodePages(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<CodePageChoice> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string fileName = it->path().filename().string();
    if (fileName.size() < 4 || ::strcasecmp(fileName.c_str() + fileName.size() - 4, ".cpg") != 0) {
      continue;
    }
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    CCorvinaCodePage page;
    std::string error;
    if (page.Load(it->path().string(), error)) {
      files.push_back({fileName, it->path().string(), page.Name()});
    }
  }
  std::sort(files.begin(), files.end(), [](const CodePageChoice& a, const CodePageChoice& b) {
    int c = ::strcasecmp(a.fileName.c_str(), b.fileName.c_str());
    return c != 0 ? c < 0 : a.fileName < b.fileName;
  });
  std::vector<CodePageChoice> choices{{"", "", text::kDefaultName}};
  choices.insert(choices.end(), files.begin(), files.end());
  return choices;
}

}  // namespace corvina
