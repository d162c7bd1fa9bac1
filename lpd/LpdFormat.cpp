#include "lpd/LpdFormat.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace corvina::lpd {

namespace {

bool HostChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

int SmallNumber(std::string_view text) {
  int value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    value = std::min(value * 10 + (c - '0'), 9999);
  }
  return value;
}

bool IsPrintLine(char c) { return c == 'f' || c == 'l' || c == 'p'; }

}  // namespace

bool ValidSpoolName(std::string_view name, char kind) {
  if (name.size() < 7 || name.size() > kMaxNameLength) return false;
  if (name[0] != kind || name[1] != 'f' || !std::isalpha(static_cast<unsigned char>(name[2])))
    return false;
  for (int i = 3; i < 6; ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  if (name[6] == '.') return false;
  return std::all_of(name.begin() + 6, name.end(), HostChar);
}

std::string_view JobSuffix(std::string_view spoolName) {
  return spoolName.size() > 3 ? spoolName.substr(3) : std::string_view{};
}

int JobNumberOf(std::string_view spoolName) {
  return spoolName.size() >= 6 ? SmallNumber(spoolName.substr(3, 3)) : 0;
}

bool ValidQueueName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength || name[0] == '.') return false;
  return std::all_of(name.begin(), name.end(), HostChar);
}

std::optional<std::uint64_t> ParseCount(std::string_view text, std::uint64_t max) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text[0] == '+') return std::nullopt;
  if (value == 0 || value > max) return std::nullopt;
  return value;
}

bool IsWordSeparator(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\n'; }

std::string_view FirstWord(std::string_view text, std::string_view* rest) {
  std::size_t start = 0;
  while (start < text.size() && IsWordSeparator(text[start])) ++start;
  std::size_t end = start;
  while (end < text.size() && !IsWordSeparator(text[end])) ++end;
  if (rest) {
    std::size_t next = end;
    while (next < text.size() && IsWordSeparator(text[next])) ++next;
    *rest = text.substr(next);
  }
  return text.substr(start, end - start);
}

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  while (true) {
    std::string_view word = FirstWord(text, &text);
    if (word.empty()) break;
    words.emplace_back(word);
  }
  return words;
}

bool ParseControlFile(std::string_view text, std::string_view controlName, ControlFile& out) {
  out = ControlFile{};
  const std::string_view suffix = JobSuffix(controlName);
  auto ownFile = [&](std::string_view name) {
    return ValidSpoolName(name, 'd') && JobSuffix(name) == suffix;
  };
  // N and T lines seen since the last print line: they belong to the next
  // print line (LPRng) unless the current file has none yet (CUPS, BSD).
  std::string pendingName, pendingTitle;
  bool havePendingName = false, havePendingTitle = false;
  ControlDataFile* current = nullptr;
  std::string lastPrinted;
  while (!text.empty()) {
    std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const char command = line[0];
    std::string_view operand = line.substr(1);
    if (operand.size() > kMaxLineLength) operand = operand.substr(0, kMaxLineLength);
    switch (command) {
      case 'C': out.jobClass = operand; break;
      case 'H': out.host = operand; break;
      case 'I': out.indent = SmallNumber(operand); break;
      case 'J': out.jobName = operand; break;
      case 'P': out.owner = operand; break;
      case 'L': out.banner = true; break;
      case 'W': out.width = SmallNumber(operand); break;
      case 'U':
        if (ownFile(operand)) out.unlink.emplace_back(operand);
        break;
      case 'N':
      case 'T': {
        std::string& target = command == 'N' ? (current ? current->sourceName : pendingName)
                                             : (current ? current->title : pendingTitle);
        bool& pending = command == 'N' ? havePendingName : havePendingTitle;
        if (current && target.empty() && !pending) {
          target = operand;
        } else {
          (command == 'N' ? pendingName : pendingTitle) = operand;
          pending = true;
        }
        break;
      }
      default:
        if (!IsPrintLine(command) || !ownFile(operand)) break;
        if (current && operand == lastPrinted) {
          if (current->copies < kMaxCopies) ++current->copies;
          break;
        }
        if (static_cast<int>(out.files.size()) >= kMaxDataFiles) {
          current = nullptr;
          lastPrinted.clear();
          break;
        }
        out.files.push_back({std::string(operand), {}, {}, command, 1});
        current = &out.files.back();
        lastPrinted = operand;
        if (havePendingName) current->sourceName = std::move(pendingName);
        if (havePendingTitle) current->title = std::move(pendingTitle);
        pendingName.clear();
        pendingTitle.clear();
        havePendingName = havePendingTitle = false;
        break;
    }
  }
  return !out.files.empty();
}

}  // namespace corvina::lpd
