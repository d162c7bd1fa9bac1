#include "script/ScriptParser.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "script/ScriptTexts.h"

namespace corvina::script {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Where a first token or command word ends: a blank, a double quote or the
// line end.
std::size_t TokenEnd(const std::string& line, std::size_t from) {
  std::size_t i = from;
  while (i < line.size() && !IsBlank(line[i]) && line[i] != '"') ++i;
  return i;
}

struct Cursor {
  const std::vector<std::string>& lines;
  std::size_t line;  // index into lines
  std::size_t pos;
  const std::string& Text() const { return lines[line]; }
  bool AtEnd() const { return pos >= Text().size(); }
  char Here() const { return Text()[pos]; }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(Here())) ++pos;
  }
};

// Rule 5: a quoted parameter (doubled quotes stand for one) or a word up to
// a blank or comma. False when a quote is never closed.
bool ReadValue(Cursor& c, std::string* out) {
  c.SkipBlanks();
  const std::string& t = c.Text();
  if (!c.AtEnd() && c.Here() == '"') {
    ++c.pos;
    for (;;) {
      if (c.pos >= t.size()) return false;
      if (t[c.pos] == '"') {
        if (c.pos + 1 < t.size() && t[c.pos + 1] == '"') {
          out->push_back('"');
          c.pos += 2;
          continue;
        }
        ++c.pos;
        return true;
      }
      out->push_back(t[c.pos++]);
    }
  }
  while (!c.AtEnd() && !IsBlank(c.Here()) && c.Here() != ',') out->push_back(t[c.pos++]);
  while (!out->empty() && IsBlank(out->back())) out->pop_back();
  return true;
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

ParsedScript ParseScript(const std::vector<std::string>& lines) {
  ParsedScript result;
  result.lineCount = static_cast<int>(lines.size());
  auto fail = [&](std::size_t index, const char* text) {
    result.errorLine = static_cast<int>(index) + 1;
    result.error = text;
  };
  std::size_t i = 0;
  while (i < lines.size()) {
    const std::string& line = lines[i];
    if (line.empty() || line[0] == '*') {
      ++i;
      continue;
    }
    ScriptEntry entry;
    entry.line = static_cast<int>(i) + 1;
    std::size_t end = TokenEnd(line, 0);
    std::string first = line.substr(0, end);
    if (!first.empty() && first.back() == ':') {
      entry.label = std::move(first);
      std::size_t p = end;
      while (p < line.size() && IsBlank(line[p])) ++p;
      end = TokenEnd(line, p);
      first = line.substr(p, end - p);
    }
    for (char& ch : first) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    entry.command = std::move(first);
    if (entry.command.empty()) {
      result.entries.push_back(std::move(entry));
      ++i;
      continue;
    }
    const bool keywordForm = entry.command == "filetransfer";
    Cursor c{lines, i, end < line.size() ? end + 1 : end};
    for (;;) {
      c.SkipBlanks();
      if (c.AtEnd()) break;
      std::string parameter;
      if (keywordForm) {
        const std::string& t = c.Text();
        const std::size_t eq = t.find('=', c.pos);
        if (eq == std::string::npos) {
          // A keyword without a value: the rest of the line.
          parameter = t.substr(c.pos);
          c.pos = t.size();
        } else {
          parameter = t.substr(c.pos, eq - c.pos + 1);
          c.pos = eq + 1;
        }
      }
      if (!ReadValue(c, &parameter)) {
        fail(c.line, texts::kUnterminatedQuote);
        return result;
      }
      entry.parameters.push_back(std::move(parameter));
      if (c.AtEnd() || c.Here() != ',') break;
      if (c.pos + 1 < c.Text().size() && !IsBlank(c.Text()[c.pos + 1])) {
        ++c.pos;
        continue;
      }
      // The next parameter starts on the next line that is no comment.
      std::size_t next = c.line + 1;
      while (next < lines.size() && !lines[next].empty() && lines[next][0] == '*') ++next;
      if (next >= lines.size()) {
        fail(c.line, texts::kContinuationAtEnd);
        return result;
      }
      c.line = next;
      c.pos = 0;
      if (lines[next].empty()) break;
    }
    i = c.line + 1;
    result.entries.push_back(std::move(entry));
  }
  return result;
}

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<long long> ParseNumber(std::string_view text, long long lo, long long hi) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  long long value = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || p != text.data() + text.size() || value < lo || value > hi) return std::nullopt;
  return value;
}

}  // namespace corvina::script
