// The text format of code page files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "codepage/CodePage.h"

namespace corvina {

// Real files are a few kilobytes; anything this big is not a code page.
constexpr std::size_t kMaxCodePageFileSize = 1024 * 1024;

struct CodePageDefinition {
  std::string name;  // UTF-8
  std::uint32_t characterSet = CCorvinaCodePage::kDefaultCharacterSet;
  std::uint32_t codePageNumber = CCorvinaCodePage::kDefaultCodePageNumber;
  CodePageTable ebcdicToAscii{};
};

// Parses the contents of a code page file (UTF-8 or Latin-1). fileName only
// names the file in the error text. Stops at the first error.
[[nodiscard]] bool ParseCodePageFile(std::string_view contents, const std::string& fileName,
                                     CodePageDefinition& out, std::string& error);

}  // namespace corvina
