// INI files with the private-profile rules that stored settings files expect:
// sections and keys compared without case (ASCII and Latin-1 letters), the
// first match wins, values trimmed of blanks and tabs, one pair of enclosing
// quotes stripped. Lines are kept as bytes, so comments, unknown lines, the
// line-end style and a UTF-8 byte-order mark survive a rewrite.
//
// A section name may appear more than once in a file; its occurrences are
// read as one section in file order. Lines before the first section header
// belong to no section and are only preserved.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FileIo.h"

namespace corvina::platform {

class IniFile {
 public:
  // Files larger than this are refused by Load.
  static constexpr std::size_t kMaxFileSize = std::size_t{16} << 20;

  IniFile() = default;  // in memory, no path
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  // A missing file loads as empty and succeeds. An unreadable, oversized or
  // non-regular file fails with a message in *error and leaves the contents
  // as they were.
  bool Load(std::string* error = nullptr);
  // Writes a temporary file in the same folder, syncs it and renames it over
  // the file. Missing parent folders are created with mode 0700; a new file
  // gets mode 0600, an existing one keeps its mode unless `mode` says
  // otherwise. A file without write permission is left alone and reported as
  // read-only.
  bool Save(std::string* error = nullptr, FileMode mode = FileMode::kKeep) const;

  const std::string& Path() const { return path_; }
  void SetPath(std::string path) { path_ = std::move(path); }

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view def = {}) const;
  // Missing or empty value: def. Otherwise an optional sign and the decimal
  // digits that follow, clamped to the range of long; other text gives 0.
  long GetInt(std::string_view section, std::string_view key, long def) const;

  // A value that would not read back unchanged (leading or trailing blanks,
  // or enclosed in quotes) is written inside double quotes; line breaks in a
  // value become spaces. Names that cannot be stored (a key that is empty,
  // holds "=" or starts with ";" or "[", a name with a line break) are
  // ignored, so nothing can inject lines into the file.
  void SetString(std::string_view section, std::string_view key, std::string_view value);
  void SetInt(std::string_view section, std::string_view key, long value);
  // Removes every line of the key in the section (so no older copy shows up).
  void DeleteKey(std::string_view section, std::string_view key);
  // Removes every occurrence of the section with all its lines.
  void DeleteSection(std::string_view section);

  bool HasSection(std::string_view section) const;
  std::vector<std::string> Sections() const;  // file order, each name once, as first written
  std::vector<std::string> Keys(std::string_view section) const;  // file order, each once
  // Every key of the section with the value Get would give, in file order,
  // each once: one pass for readers of large sections.
  std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

  std::string Text() const;  // what Save writes
  void SetText(std::string_view text);

 private:
  struct Range {
    std::size_t header, end;  // the header line and one past the section's last line
  };
  std::vector<Range> SectionRanges(std::string_view section) const;
  void RemoveLines(const std::vector<bool>& doomed);

  std::string path_;
  std::vector<std::string> lines_;  // without line ends
  bool crlf_ = false;
  bool bom_ = false;
};

}  // namespace corvina::platform
