// The command-line options every front end of the application shares: the
// session to start and its settings for this run, the connection's TLS
// settings, the settings file, the data folder and the trace.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "session/TlsContexts.h"

namespace corvina::platform {
class IniFile;
}

namespace corvina::app {

// Walks a command line word by word; "--name=value" is one option with its
// value.
class CommandLineWords {
 public:
  explicit CommandLineWords(const std::vector<std::string>& args) : args_(args) {}
  // Moves to the next word; false after the last.
  bool Next();
  // The option name (or the plain word) at the current position.
  const std::string& Word() const { return word_; }
  // The option's value: written inline or the following word. False, with
  // "Option X needs WHAT" in *error, when there is none.
  bool Value(const char* what, std::string* value, std::string* error);
  // The two words that follow (an option written "--name=value" has none).
  bool TwoValues(std::string* first, std::string* second);

 private:
  const std::vector<std::string>& args_;
  std::size_t next_ = 0;
  std::string word_, inlineValue_;
  bool hasInline_ = false;
};

struct RunOptions {
  // The words that are not options, joined by blanks: a profile name, a
  // session file, a script file or host words.
  std::string target;
  SessionOverrides overrides;  // for the command line's session, this run only
  std::optional<bool> verifyServer;  // unset: from the settings file
  std::string caFile;
  std::string settingsFile;
  std::string dataFolder;
  std::string traceFile;  // of the command line's session
  bool traceText = false;
};

enum class OptionResult { kNotMine, kTaken, kError };

// Takes the current word when it is a shared option or a plain word.
OptionResult ParseRunOption(CommandLineWords& words, RunOptions& o, std::string* error);
// After the last word: the target in Latin-1, the trace options checked.
bool FinishRunOptions(RunOptions& o, std::string* error);

// The words people type, in UTF-8 or Latin-1, become the Latin-1 of the
// screens and profiles; false with a message naming `where` when they
// cannot.
bool ToLatin1(const std::string& where, std::string* text, std::string* error);
bool EqualsNoCase(const std::string& a, const char* b);
// A session's terminal kind by its short name (3278 ... VT220, any case).
std::optional<unsigned> SessionKindByName(const std::string& name);

// The usage lines of the shared options.
extern const char kSessionOptionsUsage[];
extern const char kConnectionOptionsUsage[];
extern const char kFileOptionsUsage[];

// The settings' [SSL] section with the command line's choices over it.
TlsSettings ReadTlsSettings(const platform::IniFile& settings, const RunOptions& o);

}  // namespace corvina::app
