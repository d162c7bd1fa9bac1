#include "cli/CliOptions.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>

#include "filetransfer/TransferRequest.h"
#include "platform/Text.h"

#include "keyboard/KeyText.h"

namespace corvina::cli {

namespace {

constexpr app::OptionResult kTaken = app::OptionResult::kTaken;
using app::EqualsNoCase;
using app::ToLatin1;

// The 5250 printer is no session kind of its own: it has no terminal type.
constexpr unsigned k5250Printer = 34;

}  // namespace

const char* UsageText() {
  static const std::string text = R"(Usage: corvina-cli [options] [PROFILE | FILE | HOST [PORT]]
Runs terminal sessions without a window: the session profiles marked to
connect at start-up, and the one the command line names. Prints each
session's status texts as they change and its screen when it ends.

The command line (all words that are not options) names one of:
  PROFILE                 a session profile in the data folder
  FILE                    a session file: the stored profile of its name;
                          any other file is a script, run without a session
                          (its connect command starts one); the run ends when
                          the script ends, with status 0 when it completed
  [telnet|corvina] HOST [PORT]
                          a host; words may also be separated by ":" or "/"
                          ("HOST:PORT"). "telnet" asks for a VT100. The
                          profile "HOST:PORT" is used, or created and saved
                          on first use. A host name without a dot needs
                          "telnet", "corvina" or a port, so that a mistyped
                          profile name creates no profile.

)" + std::string(app::kSessionOptionsUsage) + app::kConnectionOptionsUsage + R"(Information (no connection):
      --list-keys KIND    list the key functions of a terminal kind (3278 ... ANSI,
                          5250P, or SYSTEM for the system commands)
      --show-profile FILE show the settings a session profile file (.tsp) holds
      --list-maps         list the keyboard maps of the data folder
      --list-printers     list the CUPS printers (the default marked "*")
      --show-map NAME     show a keyboard map as its file (.tkm) holds it
Running:
      --for SECONDS       end every session after SECONDS (default: run until
                          the last session ends)
      --answer yes|no|ok|cancel|abort|retry|ignore
                          answer the next question that offers this button
                          (repeatable, in order; other questions get their
                          default answer, boxes with only OK take OK)
)" + app::kFileOptionsUsage + R"(      --fields            after a 3270 or 5250 screen, print its fields with
                          their attributes
      --oia               after a 3270 or 5250 screen, print its operator
                          information area line
Keyboard (played in order on the command line's session; the run ends after
the last step, printing the screen):
      --type TEXT         type the text
      --key NAME          press a key function by name (Enter, Tab, PF3,
                          Clear, EraseEOF, ...; on 5250 FieldExit, FieldPlus,
                          RollUp, F3, ...; see --list-keys), or run a system
                          command (HostPrintScreen; --list-keys SYSTEM)
      --press KEY         press a key as the session's keyboard map binds it,
                          written as in map files (Shift+F1, RightCtrl, Alt+A);
                          an unbound character key types its character
      --macro NAME        play a stored macro and wait until it has played
      --wait-unlock       wait until the host has answered and the keyboard is
                          unlocked (--type and --key wait for this too)
      --wait-text TEXT    wait until the text is on the screen
      --save-screen FILE  save the screen image to FILE, each row ending in
                          CR LF (an existing FILE is appended to; with
                          --answer no it is replaced); the key HostSave
                          appends to it later
      --timeout SECONDS   the longest wait of one step (default 30); a step
                          that times out ends the run with status 1. Scripts
                          wait as long at most for host text, an unlocked
                          keyboard, an answer, a command or a transfer (a
                          script's wait command pauses its full time)
      --answer-text TEXT  answer the next askfor of a script with TEXT
                          (repeatable, in order; an askfor with no answer left
                          cancels the script)
      --record NAME       record what the steps type and press into the macro
                          NAME, saved in the data folder when the run ends (a
                          macro of that name is replaced only with --answer yes)
File transfer (IND$FILE, on a 3270 display session; steps like the keyboard's):
      --send PCFILE HOSTFILE
                          copy a PC file to the host
      --receive HOSTFILE PCFILE
                          copy a host file to the PC (written under a temporary
                          name and renamed when the transfer succeeds)
      --ft-options WORDS  for the transfers that follow, words separated by
                          blanks or commas: wsf (default) or screenimage; vm
                          (default), tso or cics; ascii or binary; crlf or
                          nocrlf; notrunc; append; replace or prompt (receive);
                          recfm=F|V|U, lrecl=N, blksize=N (send); buffer=N (WSF
                          buffer size, 512-65535); program=NAME; codepage=FILE;
                          options=TEXT (the rest: further host options). Not
                          given: the session profile's transfer settings.
                          A progress line goes to standard error; a transfer
                          that fails ends the run with status 1 and the
                          host's message.
  -q, --quiet             do not print status texts
  -h, --help              show this text

Status texts and messages go to standard error, the screens (UTF-8) to
standard output when the program ends; a 3270 or 5250 screen is printed
whole, every row all columns wide. Exit status: 0 when the sessions ran and ended, 1 when
something failed or a script was cancelled (the message says why), 2 for a
command-line error.
)";
  return text.c_str();
}

std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string* error) {
  CliOptions o;
  std::string ftOptions;  // for the transfers that follow
  app::CommandLineWords words(args);
  while (words.Next()) {
    const std::string& a = words.Word();
    std::string value;
    auto need = [&](const char* what) { return words.Value(what, &value, error); };
    if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else if (a == "--fields") {
      o.fields = true;
    } else if (a == "--oia") {
      o.oia = true;
    } else if (a == "--type" || a == "--key" || a == "--wait-text") {
      if (!need(a == "--key" ? "a key function name" : "a text")) return std::nullopt;
      if (value.empty()) {
        *error = "Option " + a + " needs a text that is not empty";
        return std::nullopt;
      }
      if (a != "--key" && !ToLatin1(a, &value, error)) return std::nullopt;
      o.steps.push_back({a == "--type" ? CliStep::kType : a == "--key" ? CliStep::kKey : CliStep::kWaitText, value});
    } else if (a == "--press") {
      if (!need("a key text")) return std::nullopt;
      if (!ParseKeyText(value)) {
        *error = "Invalid key text \"" + value + "\" (for example Shift+F1; key names are case-sensitive)";
        return std::nullopt;
      }
      o.steps.push_back({CliStep::kPress, value});
    } else if (a == "--macro" || a == "--record") {
      if (!need("a macro name")) return std::nullopt;
      if (value.empty()) {
        *error = "Option " + a + " needs a macro name that is not empty";
        return std::nullopt;
      }
      if (!ToLatin1(a, &value, error)) return std::nullopt;
      if (a == "--macro") o.steps.push_back({CliStep::kMacro, value});
      else o.recordMacro = value;
    } else if (a == "--list-maps") {
      o.listMaps = true;
    } else if (a == "--list-printers") {
      o.listPrinters = true;
    } else if (a == "--show-map") {
      if (!need("a keyboard map name") || !ToLatin1(a, &value, error)) return std::nullopt;
      o.showMap = value;
    } else if (a == "--send" || a == "--receive") {
      std::string first, second;
      if (!words.TwoValues(&first, &second)) {
        *error = "Option " + a + (a == "--send" ? " needs PCFILE HOSTFILE" : " needs HOSTFILE PCFILE");
        return std::nullopt;
      }
      const bool send = a == "--send";
      // The PC file is a path, used byte for byte; the host file is typed on the screen.
      CliStep step{send ? CliStep::kSend : CliStep::kReceive, send ? first : second, send ? second : first, ftOptions};
      if (!ToLatin1(a, &step.hostFile, error)) return std::nullopt;
      if (step.value.empty() || step.hostFile.empty()) {
        *error = "Option " + a + " needs a PC file and a host file that are not empty";
        return std::nullopt;
      }
      o.steps.push_back(std::move(step));
    } else if (a == "--ft-options") {
      if (!need("transfer options")) return std::nullopt;
      if (!ToLatin1(a, &value, error)) return std::nullopt;
      filetransfer::CTransferRequest probe;
      if (!filetransfer::ApplyTransferOptions(value, probe, error)) return std::nullopt;
      ftOptions = value;
    } else if (a == "--save-screen") {
      if (!need("a file name")) return std::nullopt;
      if (value.empty()) {
        *error = "Option " + a + " needs a file name that is not empty";
        return std::nullopt;
      }
      // Used byte for byte, from the folder the program was started in.
      std::error_code ec;
      const std::filesystem::path path = std::filesystem::absolute(value, ec);
      o.steps.push_back({CliStep::kSaveScreen, ec ? value : path.string()});
    } else if (a == "--wait-unlock") {
      o.steps.push_back({CliStep::kWaitUnlock, {}});
    } else if (a == "--timeout") {
      if (!need("a number of seconds")) return std::nullopt;
      char* end = nullptr;
      double s = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || *end != 0 || !(s > 0) || s > 86400) {
        *error = "Invalid time \"" + value + "\" for --timeout";
        return std::nullopt;
      }
      o.stepTimeoutSeconds = s;
    } else if (a == "--list-keys") {
      if (!need("a terminal kind")) return std::nullopt;
      if (EqualsNoCase(value, "system")) o.listKeysKind = 0;
      if (EqualsNoCase(value, "5250P")) o.listKeysKind = k5250Printer;
      if (const auto kind = app::SessionKindByName(value)) o.listKeysKind = kind;
      if (!o.listKeysKind) {
        *error = "Unknown terminal kind \"" + value + "\" (3278, 3279, 3270P, 5250, 5250P, VT100, VT220, ANSI, SYSTEM)";
        return std::nullopt;
      }
    } else if (a == "--show-profile") {
      if (!need("a file name")) return std::nullopt;
      o.showProfile = value;
    } else if (a == "--for") {
      if (!need("a number of seconds")) return std::nullopt;
      char* end = nullptr;
      double s = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || *end != 0 || !(s > 0) || s > 86400 * 365) {
        *error = "Invalid time \"" + value + "\" for --for";
        return std::nullopt;
      }
      o.runSeconds = s;
    } else if (a == "--answer") {
      if (!need("an answer")) return std::nullopt;
      using platform::Answer;
      const Answer all[] = {Answer::Yes, Answer::No, Answer::Ok, Answer::Cancel, Answer::Abort, Answer::Retry,
                            Answer::Ignore};
      const Answer* answer = std::find_if(std::begin(all), std::end(all),
                                          [&](Answer each) { return EqualsNoCase(value, platform::AnswerName(each)); });
      if (answer == std::end(all)) {
        *error = "Invalid answer \"" + value + "\" (yes, no, ok, cancel, abort, retry or ignore)";
        return std::nullopt;
      }
      o.answers.push_back(*answer);
    } else if (a == "--answer-text") {
      if (!need("a text") || !ToLatin1(a, &value, error)) return std::nullopt;
      o.answerTexts.push_back(value);
    } else if (const app::OptionResult shared = app::ParseRunOption(words, o, error); shared != kTaken) {
      if (shared == app::OptionResult::kNotMine) *error = "Unknown option " + a;
      return std::nullopt;
    }
  }
  if (!o.recordMacro.empty() && o.steps.empty()) {
    *error = "--record needs keyboard steps to record (--type, --key, --press, --macro)";
    return std::nullopt;
  }
  if (!o.steps.empty() && o.target.empty()) {
    *error = "Keyboard steps need a session: name a profile, a session file or a host";
    return std::nullopt;
  }
  if (!app::FinishRunOptions(o, error)) return std::nullopt;
  return o;
}

}  // namespace corvina::cli
