// The script file syntax: lines into command entries (labels, command words,
// quoted and continued parameters, the Keyword=value form of filetransfer).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina::script {

struct ScriptEntry {
  int line = 0;              // 1-based source line
  std::string label;         // with its colon; may be empty
  std::string command;       // lower case; empty: passed over when running
  std::vector<std::string> parameters;  // as written, quotes resolved
};

struct ParsedScript {
  std::vector<ScriptEntry> entries;
  int lineCount = 0;
  // Set when the text breaks the syntax; entries are then incomplete.
  std::optional<int> errorLine;
  std::string error;
};

// Splits text into lines ended by CR LF, LF or a lone CR, so that a carriage
// return is never part of a line. A final line end opens no line.
std::vector<std::string> SplitLines(std::string_view text);

ParsedScript ParseScript(const std::vector<std::string>& lines);

// Words of the language (commands, keywords, options) compare without
// regard to ASCII case.
bool SameWord(std::string_view a, std::string_view b);

// A whole decimal number from lo to hi: no sign, blanks or trailing
// characters; nullopt otherwise (also on overflow).
std::optional<long long> ParseNumber(std::string_view text, long long lo, long long hi);

}  // namespace corvina::script
