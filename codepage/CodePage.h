// Translation between a host's EBCDIC bytes and the PC's Latin-1 characters.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvina {

using CodePageTable = std::array<std::uint8_t, 256>;

// EBCDIC 037 to Latin-1, except that 0xAD and 0xBD give "[" and "]" (and
// 0xBA, 0xBB take their places). A permutation, so its inverse is complete.
extern const CodePageTable kDefaultEbcdicToAscii;

// For e from 0 to 255 in turn, asciiToEbcdic[ebcdicToAscii[e]] = e: when two
// EBCDIC bytes give one character the higher wins; characters that no byte
// gives keep the value they had.
void DeriveAsciiToEbcdic(const CodePageTable& ebcdicToAscii, CodePageTable& asciiToEbcdic);

class CCorvinaCodePage {
 public:
  static constexpr std::uint32_t kDefaultCharacterSet = 697;
  static constexpr std::uint32_t kDefaultCodePageNumber = 37;

  // The built-in default.
  CCorvinaCodePage();

  void SetDefault();

  // An empty file name sets the built-in default. Otherwise reads and parses
  // the file; on failure returns false with the user-visible text in error
  // and keeps everything as it was.
  [[nodiscard]] bool Load(const std::string& fileName, std::string& error);

  // Empty for the built-in default.
  const std::string& FileName() const { return fileName_; }
  // UTF-8.
  const std::string& Name() const { return name_; }
  // The two halves of the CGCSGID sent to hosts.
  std::uint32_t CharacterSet() const { return characterSet_; }
  std::uint32_t CodePageNumber() const { return codePageNumber_; }

  const CodePageTable& AsciiToEbcdic() const { return asciiToEbcdic_; }
  const CodePageTable& EbcdicToAscii() const { return ebcdicToAscii_; }
  std::uint8_t ToEbcdic(std::uint8_t pc) const { return asciiToEbcdic_[pc]; }
  std::uint8_t ToAscii(std::uint8_t ebcdic) const { return ebcdicToAscii_[ebcdic]; }

 private:
  std::string fileName_;
  std::string name_;
  std::uint32_t characterSet_ = kDefaultCharacterSet;
  std::uint32_t codePageNumber_ = kDefaultCodePageNumber;
  CodePageTable asciiToEbcdic_{};
  CodePageTable ebcdicToAscii_{};
};

struct CodePageChoice {
  std::string fileName;  // within the folder; empty for the built-in default
  std::string path;      // what Load takes; empty for the built-in default
  std::string name;      // the code page's own name
};

// What a code page chooser offers: the built-in default first, then every
// file with the extension "cpg" (any case) in folder that loads without
// error, ordered by file name. A missing or unreadable folder adds nothing.
std::vector<CodePageChoice> ListCodePages(const std::string& folder);

}  // namespace corvina
