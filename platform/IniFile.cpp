#include "platform/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <unordered_set>

#include "platform/FileIo.h"

namespace corvina::platform {

namespace {

// Error texts of Load and Save; "%s" takes the path (or folder), then the reason.
constexpr std::string_view kNoPath = "No settings file name is set";
constexpr std::string_view kCannotRead = "Cannot read settings file \"%s\": %s";
constexpr std::string_view kNotRegular = "Settings file \"%s\" is not a regular file";
constexpr std::string_view kTooBig = "Settings file \"%s\" is larger than 16 MiB";
constexpr std::string_view kReadOnly = "Settings file \"%s\" is read-only";
constexpr std::string_view kCannotCreateFolder = "Cannot create folder \"%s\": %s";
constexpr std::string_view kCannotWrite = "Cannot write settings file \"%s\": %s";
static_assert(IniFile::kMaxFileSize == 16u << 20, "kTooBig names the limit");

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string Fill(std::string_view format, std::string_view first, std::string_view second = {}) {
  std::string out;
  std::string_view args[] = {first, second};
  std::size_t used = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (used < 2 && format.substr(i, 2) == "%s") {
      out += args[used++];
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

std::string Reason(int err) { return std::generic_category().message(err); }

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Lower case of ASCII and Latin-1 letters. Valid UTF-8 never folds onto other
// valid UTF-8 this way, so UTF-8 names stay distinct.
unsigned char Fold(char ch) {
  auto c = static_cast<unsigned char>(ch);
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  return c;
}

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return Fold(x) == Fold(y); });
}

std::string Folded(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(Fold(c));
  return out;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool Enclosed(std::string_view v) {
  return v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front();
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

enum class Kind { Other, Section, Key };

struct Parsed {
  Kind kind = Kind::Other;
  std::string_view name;  // trimmed section or key name
  std::size_t value = 0;  // key lines: the first byte after "="
};

// Blank lines, ";" comments, lines without "=" and lines with an empty key
// are Other: kept, never matched.
Parsed Parse(std::string_view line) {
  std::size_t first = 0;
  while (first < line.size() && IsBlank(line[first])) ++first;
  if (first == line.size() || line[first] == ';') return {};
  if (line[first] == '[') {
    std::string_view name = line.substr(first + 1);
    // Up to the last "]", so names holding "]" read back; a missing "]" is tolerated.
    if (std::size_t close = name.rfind(']'); close != std::string_view::npos)
      name = name.substr(0, close);
    return {Kind::Section, Trim(name), 0};
  }
  std::size_t eq = line.find('=', first);
  if (eq == std::string_view::npos) return {};
  std::string_view key = Trim(line.substr(first, eq - first));
  if (key.empty()) return {};
  return {Kind::Key, key, eq + 1};
}

std::string ValueOf(std::string_view line, const Parsed& p) {
  std::string_view v = Trim(line.substr(p.value));
  if (Enclosed(v)) v = v.substr(1, v.size() - 2);
  return std::string(v);
}

// A key must come back as a key line of the same name.
bool StorableKey(std::string_view key) {
  return !key.empty() && key.front() != ';' && key.front() != '[' &&
         key.find('=') == std::string_view::npos && !HasLineBreak(key);
}

// The text after "=" that reads back as the value.
std::string Encode(std::string_view value) {
  std::string v(value);
  std::ranges::replace_if(
      v, [](char c) { return c == '\r' || c == '\n'; }, ' ');
  if (!v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) || Enclosed(v))) return '"' + v + '"';
  return v;
}

}  // namespace

bool IniFile::Load(std::string* error) {
  if (path_.empty()) return Fail(error, std::string(kNoPath));
  std::string data;
  FileIoResult r = ReadWholeFile(path_, kMaxFileSize, &data);
  switch (r.status) {
    case FileIoStatus::kOk: break;
    case FileIoStatus::kMissing: break;
    case FileIoStatus::kNotRegular: return Fail(error, Fill(kNotRegular, path_));
    case FileIoStatus::kTooLarge: return Fail(error, Fill(kTooBig, path_));
    default: return Fail(error, Fill(kCannotRead, path_, Reason(r.err)));
  }
  SetText(data);
  return true;
}

bool IniFile::Save(std::string* error, FileMode mode) const {
  if (path_.empty()) return Fail(error, std::string(kNoPath));
  FileIoResult r = WriteFileAtomically(path_, Text(), mode);
  switch (r.status) {
    case FileIoStatus::kOk: return true;
    case FileIoStatus::kNotRegular: return Fail(error, Fill(kNotRegular, path_));
    case FileIoStatus::kReadOnly: return Fail(error, Fill(kReadOnly, path_));
    case FileIoStatus::kCannotCreateFolder: return Fail(error, Fill(kCannotCreateFolder, r.folder, Reason(r.err)));
    default: return Fail(error, Fill(kCannotWrite, path_, Reason(r.err)));
  }
}

std::vector<IniFile::Range> IniFile::SectionRanges(std::string_view section) const {
  std::string_view want = Trim(section);
  std::vector<Range> ranges;
  bool open = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    Parsed p = Parse(lines_[i]);
    if (p.kind != Kind::Section) continue;
    if (open) ranges.back().end = i;
    open = SameName(p.name, want);
    if (open) ranges.push_back({i, lines_.size()});
  }
  return ranges;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  std::string_view want = Trim(key);
  for (const Range& r : SectionRanges(section)) {
    for (std::size_t i = r.header + 1; i < r.end; ++i) {
      Parsed p = Parse(lines_[i]);
      if (p.kind == Kind::Key && SameName(p.name, want)) return ValueOf(lines_[i], p);
    }
  }
  return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view def) const {
  std::optional<std::string> v = Get(section, key);
  return v ? std::move(*v) : std::string(def);
}

long IniFile::GetInt(std::string_view section, std::string_view key, long def) const {
  std::optional<std::string> v = Get(section, key);
  if (!v || v->empty()) return def;
  std::string_view s = *v;
  bool negative = s.front() == '-';
  if (negative || s.front() == '+') s.remove_prefix(1);
  constexpr long kMax = std::numeric_limits<long>::max();
  constexpr long kMin = std::numeric_limits<long>::min();
  long result = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    int d = c - '0';
    // Negative values accumulate downwards so that the minimum is reachable.
    if (negative) {
      if (result < (kMin + d) / 10) return kMin;
      result = result * 10 - d;
    } else {
      if (result > (kMax - d) / 10) return kMax;
      result = result * 10 + d;
    }
  }
  return result;
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
  std::string_view sec = Trim(section);
  std::string_view k = Trim(key);
  if (HasLineBreak(sec) || !StorableKey(k)) return;
  std::string text = Encode(value);
  std::vector<Range> ranges = SectionRanges(sec);
  if (ranges.empty()) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + std::string(sec) + "]");
    lines_.push_back(std::string(k) + "=" + text);
    return;
  }
  for (const Range& r : ranges) {
    for (std::size_t i = r.header + 1; i < r.end; ++i) {
      Parsed p = Parse(lines_[i]);
      if (p.kind != Kind::Key || !SameName(p.name, k)) continue;
      // Keep the key as written and the spacing around "=".
      std::string& line = lines_[i];
      std::size_t keep = p.value;
      while (keep < line.size() && IsBlank(line[keep])) ++keep;
      line.resize(keep);
      line += text;
      return;
    }
  }
  const Range& first = ranges.front();
  std::size_t at = first.header + 1;
  for (std::size_t i = at; i < first.end; ++i)
    if (Parse(lines_[i]).kind == Kind::Key) at = i + 1;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::string(k) + "=" + text);
}

void IniFile::SetInt(std::string_view section, std::string_view key, long value) {
  SetString(section, key, std::to_string(value));
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
  std::string_view want = Trim(key);
  std::vector<bool> doomed(lines_.size());
  for (const Range& r : SectionRanges(section)) {
    for (std::size_t i = r.header + 1; i < r.end; ++i) {
      Parsed p = Parse(lines_[i]);
      doomed[i] = p.kind == Kind::Key && SameName(p.name, want);
    }
  }
  RemoveLines(doomed);
}

void IniFile::DeleteSection(std::string_view section) {
  std::vector<bool> doomed(lines_.size());
  for (const Range& r : SectionRanges(section))
    std::fill(doomed.begin() + static_cast<std::ptrdiff_t>(r.header),
              doomed.begin() + static_cast<std::ptrdiff_t>(r.end), true);
  RemoveLines(doomed);
}

void IniFile::RemoveLines(const std::vector<bool>& doomed) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (doomed[i]) continue;
    if (out != i) lines_[out] = std::move(lines_[i]);
    ++out;
  }
  lines_.resize(out);
}

bool IniFile::HasSection(std::string_view section) const { return !SectionRanges(section).empty(); }

std::vector<std::string> IniFile::Sections() const {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (const std::string& line : lines_) {
    Parsed p = Parse(line);
    if (p.kind == Kind::Section && seen.insert(Folded(p.name)).second) names.emplace_back(p.name);
  }
  return names;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  std::unordered_set<std::string> seen;
  for (const Range& r : SectionRanges(section)) {
    for (std::size_t i = r.header + 1; i < r.end; ++i) {
      Parsed p = Parse(lines_[i]);
      if (p.kind == Kind::Key && seen.insert(Folded(p.name)).second) keys.emplace_back(p.name);
    }
  }
  return keys;
}

std::vector<std::pair<std::string, std::string>> IniFile::Entries(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  std::unordered_set<std::string> seen;
  for (const Range& r : SectionRanges(section)) {
    for (std::size_t i = r.header + 1; i < r.end; ++i) {
      Parsed p = Parse(lines_[i]);
      if (p.kind == Kind::Key && seen.insert(Folded(p.name)).second)
        entries.emplace_back(std::string(p.name), ValueOf(lines_[i], p));
    }
  }
  return entries;
}

std::string IniFile::Text() const {
  std::string_view eol = crlf_ ? "\r\n" : "\n";
  std::size_t size = bom_ ? kBom.size() : 0;
  for (const std::string& line : lines_) size += line.size() + eol.size();
  std::string out;
  out.reserve(size);
  if (bom_) out += kBom;
  for (const std::string& line : lines_) {
    out += line;
    out += eol;
  }
  return out;
}

void IniFile::SetText(std::string_view text) {
  lines_.clear();
  bom_ = text.starts_with(kBom);
  if (bom_) text.remove_prefix(kBom.size());
  // The first line end decides how the file is written back.
  std::size_t firstBreak = text.find('\n');
  crlf_ = firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r';
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines_.emplace_back(line);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
  }
}

}  // namespace corvina::platform
