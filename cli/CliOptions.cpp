#include "cli/CliOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <iterator>

#include "filetransfer/TransferRequest.h"
#include "platform/Text.h"

#include "keyboard/KeyText.h"

namespace corvina::cli {

namespace {

struct KindName {
  const char* name;
  unsigned kind;
};
// The 5250 printer is no session kind of its own: it has no terminal type.
constexpr KindName kSessionKinds[] = {{"3278", 16}, {"3279", 17},  {"3270P", 18}, {"5250", 32},
                                      {"ANSI", 258}, {"VT100", 259}, {"VT220", 260}};
constexpr KindName k5250Printer = {"5250P", 34};

bool ParseInt(const std::string& s, int lo, int hi, int* out) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || v < lo || v > hi) return false;
  *out = v;
  return true;
}

// The words people type, in UTF-8 or Latin-1, become the Latin-1 of the
// screens and profiles.
bool ToLatin1(const std::string& where, std::string* text, std::string* error) {
  if (std::optional<std::string> latin1 = platform::Utf8ToLatin1(*text)) {
    *text = std::move(*latin1);
    return true;
  }
  *error = "The text \"" + *text + "\" of " + where + " holds characters that Latin-1 lacks";
  return false;
}

bool EqualsNoCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && b[i] == 0;
}

}  // namespace

const char* UsageText() {
  return R"(Usage: corvina-cli [options] [PROFILE | FILE | HOST [PORT]]
Runs terminal sessions without a window: the session profiles marked to
connect at start-up, and the one the command line names. Prints each
session's status texts as they change and its screen when it ends.

The command line (all words that are not options) names one of:
  PROFILE                 a session profile in the data folder
  FILE                    a session file: the stored profile of its name
                          (any other file is a script; scripts are not
                          available yet)
  [telnet|corvina] HOST [PORT]
                          a host; words may also be separated by ":" or "/"
                          ("HOST:PORT"). "telnet" asks for a VT100. The
                          profile "HOST:PORT" is used, or created and saved
                          on first use. A host name without a dot needs
                          "telnet", "corvina" or a port, so that a mistyped
                          profile name creates no profile.

Session options (for the command line's session, this run only; the stored
profile does not change):
  -p, --port N            port (for a host: also the profile name's port)
  -t, --terminal KIND     3278, 3279, 3270P, 5250, VT100, VT220 or ANSI (a
                          kind this version cannot emulate yet is refused)
      --size ROWSxCOLS    screen size (default 24x80 with --terminal)
      --lu NAMES          LU or device names to ask for, separated by ";"
      --tls               connect with TLS
      --reconnect SECONDS reconnect this many seconds after the host disconnects
      --keepalive MINUTES send a Telnet NOP every MINUTES minutes
Connection:
      --no-verify         do not verify the host's certificate
      --ca-file FILE      also trust the certificates in FILE (PEM)
Information (no connection):
      --list-keys KIND    list the key functions of a terminal kind (3278 ... ANSI,
                          5250P, or SYSTEM for the system commands)
      --show-profile FILE show the settings a session profile file (.tsp) holds
      --list-maps         list the keyboard maps of the data folder
      --show-map NAME     show a keyboard map as its file (.tkm) holds it
Running:
      --for SECONDS       end every session after SECONDS (default: run until
                          the last session ends)
      --answer yes|no|ok|cancel|abort|retry|ignore
                          answer the next question that offers this button
                          (repeatable, in order; other questions get their
                          default answer, boxes with only OK take OK)
      --trace FILE        write a trace of everything the command line's session
                          sends and receives (binary unless the setting
                          TraceFileBinary is 0)
      --trace-text        write the trace as text with hex dumps
      --data-dir DIR      the data folder with the session profiles, which must
                          exist (default: the DataPath setting, else
                          $XDG_DATA_HOME/Orvex/Corvina, made on first use)
      --settings FILE     application settings file (default
                          $XDG_CONFIG_HOME/Orvex/Corvina.ini; also CORVINA_SETTINGS)
      --fields            after a 3270 or 5250 screen, print its fields with
                          their attributes
      --oia               after a 3270 or 5250 screen, print its operator
                          information area line
Keyboard (played in order on the command line's session; the run ends after
the last step, printing the screen):
      --type TEXT         type the text
      --key NAME          press a key function by name (Enter, Tab, PF3,
                          Clear, EraseEOF, ...; on 5250 FieldExit, FieldPlus,
                          RollUp, F3, ...; see --list-keys)
      --press KEY         press a key as the session's keyboard map binds it,
                          written as in map files (Shift+F1, RightCtrl, Alt+A);
                          an unbound character key types its character
      --macro NAME        play a stored macro and wait until it has played
      --wait-unlock       wait until the host has answered and the keyboard is
                          unlocked (--type and --key wait for this too)
      --wait-text TEXT    wait until the text is on the screen
      --timeout SECONDS   the longest wait of one step (default 30); a step
                          that times out ends the run with status 1
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
something failed (the message says why), 2 for a command-line error.
)";
}

std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string* error) {
  CliOptions o;
  app::SessionOverrides& session = o.overrides;
  std::string ftOptions;  // for the transfers that follow
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    std::string value;
    bool hasInline = false;
    if (a.rfind("--", 0) == 0) {
      if (auto eq = a.find('='); eq != std::string::npos) {
        value = a.substr(eq + 1);
        a = a.substr(0, eq);
        hasInline = true;
      }
    }
    auto need = [&](const char* what) -> bool {
      if (hasInline) return true;
      if (i + 1 >= args.size()) {
        *error = std::string("Option ") + a + " needs " + what;
        return false;
      }
      value = args[++i];
      return true;
    };
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
    } else if (a == "--show-map") {
      if (!need("a keyboard map name") || !ToLatin1(a, &value, error)) return std::nullopt;
      o.showMap = value;
    } else if (a == "--send" || a == "--receive") {
      if (hasInline || i + 2 >= args.size()) {
        *error = "Option " + a + (a == "--send" ? " needs PCFILE HOSTFILE" : " needs HOSTFILE PCFILE");
        return std::nullopt;
      }
      std::string first = args[++i], second = args[++i];
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
    } else if (a == "--tls") {
      session.tls = true;
    } else if (a == "--no-verify") {
      o.verifyServer = false;
    } else if (a == "-p" || a == "--port") {
      if (!need("a port number")) return std::nullopt;
      session.port = app::ParsePort(value);
      if (!session.port) {
        *error = "Please enter a port number between 1 and 65535.";
        return std::nullopt;
      }
    } else if (a == "-t" || a == "--terminal") {
      if (!need("a terminal kind")) return std::nullopt;
      for (const auto& k : kSessionKinds)
        if (EqualsNoCase(value, k.name)) session.terminalKind = k.kind;
      if (!session.terminalKind) {
        *error = "Unknown terminal kind \"" + value + "\" (3278, 3279, 3270P, 5250, VT100, VT220, ANSI)";
        return std::nullopt;
      }
    } else if (a == "--size") {
      if (!need("ROWSxCOLS")) return std::nullopt;
      auto x = value.find_first_of("xX");
      int rows = 0, columns = 0;
      if (x == std::string::npos || !ParseInt(value.substr(0, x), 1, 255, &rows) ||
          !ParseInt(value.substr(x + 1), 1, 255, &columns) || rows * columns > 16383) {
        *error = "Invalid screen size \"" + value + "\" (for example 24x80)";
        return std::nullopt;
      }
      session.rows = rows;
      session.columns = columns;
    } else if (a == "--list-keys") {
      if (!need("a terminal kind")) return std::nullopt;
      if (EqualsNoCase(value, "system")) o.listKeysKind = 0;
      if (EqualsNoCase(value, k5250Printer.name)) o.listKeysKind = k5250Printer.kind;
      for (const auto& k : kSessionKinds)
        if (EqualsNoCase(value, k.name)) o.listKeysKind = k.kind;
      if (!o.listKeysKind) {
        *error = "Unknown terminal kind \"" + value + "\" (3278, 3279, 3270P, 5250, 5250P, VT100, VT220, ANSI, SYSTEM)";
        return std::nullopt;
      }
    } else if (a == "--show-profile") {
      if (!need("a file name")) return std::nullopt;
      o.showProfile = value;
    } else if (a == "--lu") {
      if (!need("LU names")) return std::nullopt;
      session.luNames = value;
    } else if (a == "--ca-file") {
      if (!need("a file name")) return std::nullopt;
      o.caFile = value;
    } else if (a == "--reconnect") {
      int v = 0;
      if (!need("a number of seconds") || !ParseInt(value, 0, 99, &v)) {
        if (error->empty()) *error = "The reconnect delay is 0 to 99 seconds";
        return std::nullopt;
      }
      session.reconnectDelay = v;
    } else if (a == "--keepalive") {
      int v = 0;
      if (!need("a number of minutes") || !ParseInt(value, 0, 32767, &v)) {
        if (error->empty()) *error = "The keep-alive interval is 0 to 32767 minutes";
        return std::nullopt;
      }
      session.keepAliveMinutes = v;
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
    } else if (a == "--trace") {
      if (!need("a file name")) return std::nullopt;
      o.traceFile = value;
    } else if (a == "--trace-text") {
      o.traceText = true;
    } else if (a == "--settings") {
      if (!need("a file name")) return std::nullopt;
      o.settingsFile = value;
    } else if (a == "--data-dir") {
      if (!need("a folder")) return std::nullopt;
      if (value.empty()) {
        *error = "The data folder name is empty";
        return std::nullopt;
      }
      o.dataFolder = value;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      *error = "Unknown option " + a;
      return std::nullopt;
    } else {
      // Words join as one command line, so "telnet host 23" needs no quotes.
      if (!o.target.empty()) o.target += ' ';
      o.target += a;
    }
  }
  if (!ToLatin1("the command line", &o.target, error)) return std::nullopt;
  if (!o.recordMacro.empty() && o.steps.empty()) {
    *error = "--record needs keyboard steps to record (--type, --key, --press, --macro)";
    return std::nullopt;
  }
  if (!o.steps.empty() && o.target.empty()) {
    *error = "Keyboard steps need a session: name a profile, a session file or a host";
    return std::nullopt;
  }
  // The trace is of the command line's session; without one it would stay empty.
  if (!o.traceFile.empty() && o.target.empty()) {
    *error = "--trace needs a session: name a profile, a session file or a host";
    return std::nullopt;
  }
  if (o.traceText && o.traceFile.empty()) {
    *error = "--trace-text needs --trace FILE";
    return std::nullopt;
  }
  return o;
}

}  // namespace corvina::cli
