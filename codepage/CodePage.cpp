#include "codepage/CodePage.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>

#include "codepage/CodePageFile.h"
#include "codepage/CodePageTexts.h"
#include "platform/FileError.h"
#include "platform/FileIo.h"
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

// Reads the whole file, refusing anything but a regular file of sensible
// size (a FIFO or device must not block or feed us forever).
bool ReadCodePageFile(const std::string& fileName, std::string& contents, std::string& error) {
  const platform::FileIoResult r = platform::ReadWholeFile(fileName, kMaxCodePageFileSize, &contents);
  switch (r.status) {
    case platform::FileIoStatus::kOk:
      return true;
    case platform::FileIoStatus::kTooLarge:
      error = Format(text::kFileError, fileName.c_str(), text::kTooLarge);
      return false;
    case platform::FileIoStatus::kNotRegular:
      error = Format(text::kCantOpen, fileName.c_str(), platform::kFileErrorAccessDenied);
      return false;
    default:
      error = Format(text::kCantOpen, fileName.c_str(), platform::FileErrorCauseFromErrno(r.err));
      return false;
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
