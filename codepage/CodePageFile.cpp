#include "codepage/CodePageFile.h"

#include <array>
#include <optional>
#include <vector>

#include "codepage/CodePageTexts.h"
#include "platform/Format.h"
#include "platform/Text.h"

namespace corvina {

namespace {

namespace text = codepage_text;
using platform::Format;
using platform::ToUtf8;

// Longer lines are read in pieces of this many characters, each a line.
constexpr std::size_t kMaxLineLength = 254;

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t'; }
bool IsTrimmed(char32_t c) { return IsBlank(c) || c == U'\n' || c == U'\r'; }

std::optional<unsigned> HexDigit(char32_t c) {
  if (c >= U'0' && c <= U'9') return c - U'0';
  if (c >= U'A' && c <= U'F') return c - U'A' + 10;
  if (c >= U'a' && c <= U'f') return c - U'a' + 10;
  return std::nullopt;
}

std::optional<std::uint8_t> HexByte(char32_t high, char32_t low) {
  auto h = HexDigit(high), l = HexDigit(low);
  if (!h || !l) return std::nullopt;
  return static_cast<std::uint8_t>(*h << 4 | *l);
}

bool IsKeyword(std::u32string_view token, std::string_view keyword) {
  if (token.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < token.size(); ++i) {
    char32_t c = token[i];
    if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
    char k = keyword[i];
    if (k >= 'A' && k <= 'Z') k += 'a' - 'A';
    if (c != static_cast<char32_t>(k)) return false;
  }
  return true;
}

// Tokens are separated by blanks or tabs. A double quote that is not the
// last character starts a token running to the next double quote (or the
// end of the line); the quotes are not part of it.
std::vector<std::u32string_view> Tokenize(std::u32string_view line) {
  std::vector<std::u32string_view> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == U'"' && i + 1 < line.size()) {
      std::size_t close = line.find(U'"', i + 1);
      std::size_t end = close == std::u32string_view::npos ? line.size() : close;
      tokens.push_back(line.substr(i + 1, end - i - 1));
      i = end == line.size() ? end : end + 1;
      continue;
    }
    std::size_t end = i;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    tokens.push_back(line.substr(i, end - i));
    i = end;
  }
  return tokens;
}

// A PC character: one character taken literally, two hexadecimal digits, or
// "0x" and two hexadecimal digits. Characters beyond Latin-1 have no byte.
std::optional<std::uint8_t> ParsePcCharacter(std::u32string_view token) {
  switch (token.size()) {
    case 1:
      if (token[0] > 0xFF) return std::nullopt;
      return static_cast<std::uint8_t>(token[0]);
    case 2: return HexByte(token[0], token[1]);
    case 4:
      if (token[0] != U'0' || (token[1] != U'x' && token[1] != U'X')) return std::nullopt;
      return HexByte(token[2], token[3]);
    default: return std::nullopt;
  }
}

bool ParseCgcsgidNumber(std::u32string_view token, std::uint32_t& out) {
  if (token.empty() || token.size() > 5) return false;
  std::uint32_t value = 0;
  for (char32_t c : token) {
    if (c < U'0' || c > U'9') return false;
    value = value * 10 + (c - U'0');
  }
  if (value > 0xFFFF) return false;
  out = value;
  return true;
}

enum class Stage { Header, Name, Cgcsgid, Begin, Mapping, Done };

class Parser {
 public:
  Parser(const std::string& fileName, CodePageDefinition& def, std::string& error)
      : fileName_(fileName), def_(def), error_(error) {}

  bool Run(std::u32string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && stage_ != Stage::Done) {
      std::size_t newline = text.find(U'\n', pos);
      std::size_t end = newline == std::u32string_view::npos ? text.size() : newline;
      std::u32string_view physical = text.substr(pos, end - pos);
      pos = end + 1;
      if (!physical.empty() && physical.back() == U'\r') physical.remove_suffix(1);
      do {
        std::u32string_view piece = physical.substr(0, kMaxLineLength);
        physical.remove_prefix(piece.size());
        ++lineNumber_;
        if (!Line(piece)) return false;
      } while (!physical.empty() && stage_ != Stage::Done);
    }
    return Finish();
  }

 private:
  bool Line(std::u32string_view piece) {
    while (!piece.empty() && IsTrimmed(piece.back())) piece.remove_suffix(1);
    line_ = piece;
    while (!piece.empty() && IsTrimmed(piece.front())) piece.remove_prefix(1);
    if (piece.empty() || piece.front() == U'*') return true;
    std::vector<std::u32string_view> tokens = Tokenize(piece);
    if (tokens.empty()) return true;
    std::u32string_view first = tokens.front();
    switch (stage_) {
      case Stage::Header:
        if (IsKeyword(first, "CodePage")) stage_ = Stage::Name;
        return true;
      case Stage::Name:
        if (IsKeyword(first, "Name")) {
          def_.name = tokens.size() > 1 ? ToUtf8(tokens[1]) : std::string();
          stage_ = Stage::Cgcsgid;
        }
        return true;
      case Stage::Cgcsgid:
        if (IsKeyword(first, "Begin")) {
          stage_ = Stage::Mapping;
        } else if (IsKeyword(first, "CGCSGID")) {
          if (tokens.size() < 3 || !ParseCgcsgidNumber(tokens[1], def_.characterSet) ||
              !ParseCgcsgidNumber(tokens[2], def_.codePageNumber)) {
            return Fail(text::kInvalidCgcsgid);
          }
          stage_ = Stage::Begin;
        }
        return true;
      case Stage::Begin:
        if (IsKeyword(first, "Begin")) stage_ = Stage::Mapping;
        return true;
      case Stage::Mapping:
        if (IsKeyword(first, "End")) {
          stage_ = Stage::Done;
          return true;
        }
        return Mapping(tokens);
      case Stage::Done: return true;
    }
    return true;
  }

  // "C1 A" assigns one EBCDIC byte; "C0: ..." the sixteen bytes C0 to CF.
  bool Mapping(const std::vector<std::u32string_view>& tokens) {
    std::u32string_view first = tokens.front();
    unsigned start;
    std::size_t count;
    if (first.size() == 2 && HexByte(first[0], first[1])) {
      start = *HexByte(first[0], first[1]);
      count = 1;
    } else if (first.size() == 3 && HexDigit(first[0]) && first[1] == U'0' && first[2] == U':') {
      start = *HexDigit(first[0]) << 4;
      count = 16;
    } else {
      return Fail(text::kInvalidEbcdic);
    }
    if (tokens.size() - 1 < count) return Fail(text::kMissingAscii);
    for (std::size_t i = 0; i < count; ++i) {
      std::optional<std::uint8_t> pc = ParsePcCharacter(tokens[1 + i]);
      if (!pc) return Fail(text::kInvalidAscii);
      std::size_t ebcdic = start + i;
      if (ebcdicAssigned_[ebcdic]) return Fail(text::kDuplicateEbcdic);
      if (asciiAssigned_[*pc]) return Fail(text::kDuplicateAscii);
      ebcdicAssigned_[ebcdic] = asciiAssigned_[*pc] = true;
      def_.ebcdicToAscii[ebcdic] = *pc;
    }
    return true;
  }

  bool Fail(const char* reason) {
    error_ = Format(text::kLineError, fileName_.c_str(), lineNumber_, ToUtf8(line_).c_str(),
                    reason);
    return false;
  }

  // Without the sections before "Begin" the mapping would silently be lost,
  // so such a file is not a code page. A missing "End" is tolerated.
  bool Finish() {
    const char* missing = nullptr;
    switch (stage_) {
      case Stage::Header: missing = "CodePage"; break;
      case Stage::Name: missing = "Name"; break;
      case Stage::Cgcsgid:
      case Stage::Begin: missing = "Begin"; break;
      case Stage::Mapping:
      case Stage::Done: return true;
    }
    error_ = Format(text::kFileError, fileName_.c_str(),
                    Format(text::kMissingKeyword, missing).c_str());
    return false;
  }

  const std::string& fileName_;
  CodePageDefinition& def_;
  std::string& error_;
  Stage stage_ = Stage::Header;
  int lineNumber_ = 0;
  std::u32string_view line_;
  std::array<bool, 256> ebcdicAssigned_{};
  std::array<bool, 256> asciiAssigned_{};
};

}  // namespace

bool ParseCodePageFile(std::string_view contents, const std::string& fileName,
                       CodePageDefinition& out, std::string& error) {
  CodePageDefinition def;
  for (unsigned e = 0; e < 256; ++e) def.ebcdicToAscii[e] = static_cast<std::uint8_t>(e);
  std::u32string text = platform::DecodeTextFile(contents);
  if (!Parser(fileName, def, error).Run(text)) return false;
  out = std::move(def);
  return true;
}

}  // namespace corvina
