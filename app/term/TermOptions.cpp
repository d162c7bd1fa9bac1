#include "app/term/TermOptions.h"

#include <charconv>

namespace corvina::term {

const char* TermUsageText() {
  static const std::string text = std::string(R"(Usage: corvina-term [options] [PROFILE | FILE | HOST [PORT]]
Runs terminal sessions full-screen in this text terminal: the session
profiles marked to connect at start-up, and the one the command line names
(as for corvina-cli: a profile, a session file, or [telnet|corvina] HOST
[PORT], also written HOST:PORT).

Keys go through the session's keyboard map as in the desktop program
(F1-F12, Shift+F1-F12 for PF13-PF24, Alt+1 ... Alt+9 switch sessions). The
command key (Ctrl+] unless set otherwise) opens a command line: connect,
disconnect, switch, script, macro, transfer, print, copy, messages, help,
quit. A screen larger than the terminal scrolls with the cursor.

)") + app::kSessionOptionsUsage + app::kConnectionOptionsUsage + R"(Files:
)" + app::kFileOptionsUsage + R"(Terminal:
      --command-key KEY   the key that opens the command line, as in keyboard
                          map files (default Ctrl+]; also the setting
                          CommandKey of the section [Terminal])
      --escape-delay MS   how long a lone ESC waits to be the Esc key rather
                          than the start of a key's sequence (default 50)
      --no-mouse          leave the mouse to the terminal (its own selection)
  -h, --help              show this text

Exit status: 0 when the program ran and ended, 1 when it could not start,
2 for a command-line error.
)";
  return text.c_str();
}

std::optional<TermOptions> ParseTermCommandLine(const std::vector<std::string>& args, std::string* error) {
  TermOptions o;
  app::CommandLineWords words(args);
  while (words.Next()) {
    const std::string& a = words.Word();
    std::string value;
    if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "--no-mouse") {
      o.mouse = false;
    } else if (a == "--command-key") {
      if (!words.Value("a key text", &value, error)) return std::nullopt;
      o.commandKey = ParseKeyText(value);
      if (!o.commandKey) {
        *error = "Invalid key text \"" + value + "\" (for example Ctrl+] or F12; key names are case-sensitive)";
        return std::nullopt;
      }
    } else if (a == "--escape-delay") {
      if (!words.Value("a number of milliseconds", &value, error)) return std::nullopt;
      int ms = 0;
      auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), ms);
      if (ec != std::errc() || p != value.data() + value.size() || ms < 1 || ms > 5000) {
        *error = "The escape delay is 1 to 5000 milliseconds";
        return std::nullopt;
      }
      o.escapeDelayMs = ms;
    } else if (const app::OptionResult shared = app::ParseRunOption(words, o, error);
               shared != app::OptionResult::kTaken) {
      if (shared == app::OptionResult::kNotMine) *error = "Unknown option " + a;
      return std::nullopt;
    }
  }
  if (!app::FinishRunOptions(o, error)) return std::nullopt;
  return o;
}

}  // namespace corvina::term
