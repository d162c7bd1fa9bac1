// What comes over the wire and into the spool: file, queue and user names,
// byte counts and control files. Every check here guards a file system
// path or a loop against client data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina::lpd {

inline constexpr std::size_t kMaxNameLength = 128;
inline constexpr std::size_t kMaxLineLength = 4096;
inline constexpr int kMaxDataFiles = 52;
inline constexpr int kMaxCopies = 100;

// "cfA123host" / "dfA123host": prefix ("cf" or "df"), one letter, three
// digits and a host name of letters, digits, '.', '-' and '_'.
bool ValidSpoolName(std::string_view name, char kind /* 'c' or 'd' */);
// The job-number-and-host part that ties a job's files together ("123host").
std::string_view JobSuffix(std::string_view spoolName);
int JobNumberOf(std::string_view spoolName);
// Queue names become folder names: letters, digits, '.', '-', '_' (not
// starting with '.'), at most kMaxNameLength.
bool ValidQueueName(std::string_view name);
// A plain decimal count, 1 to max; anything else (sign, blank, overflow, 0,
// above max) is nullopt.
std::optional<std::uint64_t> ParseCount(std::string_view text, std::uint64_t max);

// Blank, tab, vertical tab, form feed and line feed.
bool IsWordSeparator(char c);
std::vector<std::string> SplitWords(std::string_view text);
// The first word and the rest after the separators that follow it.
std::string_view FirstWord(std::string_view text, std::string_view* rest = nullptr);

struct ControlDataFile {
  std::string spoolName;
  std::string sourceName;  // N
  std::string title;       // T
  char format = 'f';       // the first print line's letter
  int copies = 0;
};

struct ControlFile {
  std::string jobClass, host, jobName, owner;
  int indent = 0;
  int width = 0;  // 0: the queue's
  bool banner = false;
  std::vector<ControlDataFile> files;
  std::vector<std::string> unlink;  // U lines naming this job's files
};

// Parses a control file. Print lines (f, l, p) that name a file of another
// job, or beyond the caps, are ignored; N and T lines go to the data file
// of the print line they belong to, whether they come before it (as LPRng
// sends them) or after it. False when no data file remains.
bool ParseControlFile(std::string_view text, std::string_view controlName, ControlFile& out);

}  // namespace corvina::lpd
