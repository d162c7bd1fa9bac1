#include "app/RunOptions.h"

#include <cctype>
#include <charconv>

#include "platform/IniFile.h"
#include "platform/Text.h"

namespace corvina::app {

namespace {

struct KindName {
  const char* name;
  unsigned kind;
};
// The 5250 printer is no session kind of its own: it has no terminal type.
constexpr KindName kSessionKinds[] = {{"3278", 16}, {"3279", 17},  {"3270P", 18}, {"5250", 32},
                                      {"ANSI", 258}, {"VT100", 259}, {"VT220", 260}};

bool ParseInt(const std::string& s, int lo, int hi, int* out) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

bool CommandLineWords::Next() {
  if (next_ >= args_.size()) return false;
  word_ = args_[next_++];
  hasInline_ = false;
  inlineValue_.clear();
  if (word_.rfind("--", 0) == 0) {
    if (auto eq = word_.find('='); eq != std::string::npos) {
      inlineValue_ = word_.substr(eq + 1);
      word_.resize(eq);
      hasInline_ = true;
    }
  }
  return true;
}

bool CommandLineWords::Value(const char* what, std::string* value, std::string* error) {
  if (hasInline_) {
    *value = inlineValue_;
    return true;
  }
  if (next_ >= args_.size()) {
    *error = "Option " + word_ + " needs " + what;
    return false;
  }
  *value = args_[next_++];
  return true;
}

bool CommandLineWords::TwoValues(std::string* first, std::string* second) {
  if (hasInline_ || next_ + 2 > args_.size()) return false;
  *first = args_[next_++];
  *second = args_[next_++];
  return true;
}

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

std::optional<unsigned> SessionKindByName(const std::string& name) {
  for (const auto& k : kSessionKinds)
    if (EqualsNoCase(name, k.name)) return k.kind;
  return std::nullopt;
}

OptionResult ParseRunOption(CommandLineWords& words, RunOptions& o, std::string* error) {
  const std::string& a = words.Word();
  SessionOverrides& session = o.overrides;
  std::string value;
  auto need = [&](const char* what) { return words.Value(what, &value, error); };
  if (a == "--tls") {
    session.tls = true;
  } else if (a == "--no-verify") {
    o.verifyServer = false;
  } else if (a == "-p" || a == "--port") {
    if (!need("a port number")) return OptionResult::kError;
    session.port = ParsePort(value);
    if (!session.port) {
      *error = "Please enter a port number between 1 and 65535.";
      return OptionResult::kError;
    }
  } else if (a == "-t" || a == "--terminal") {
    if (!need("a terminal kind")) return OptionResult::kError;
    session.terminalKind = SessionKindByName(value);
    if (!session.terminalKind) {
      *error = "Unknown terminal kind \"" + value + "\" (3278, 3279, 3270P, 5250, VT100, VT220, ANSI)";
      return OptionResult::kError;
    }
  } else if (a == "--size") {
    if (!need("ROWSxCOLS")) return OptionResult::kError;
    auto x = value.find_first_of("xX");
    int rows = 0, columns = 0;
    if (x == std::string::npos || !ParseInt(value.substr(0, x), 1, 255, &rows) ||
        !ParseInt(value.substr(x + 1), 1, 255, &columns) || rows * columns > 16383) {
      *error = "Invalid screen size \"" + value + "\" (for example 24x80)";
      return OptionResult::kError;
    }
    session.rows = rows;
    session.columns = columns;
  } else if (a == "--print-to") {
    if (!need("a print destination")) return OptionResult::kError;
    if (value == "file:") {
      *error = "--print-to file: needs a file name (file:PATH)";
      return OptionResult::kError;
    }
    session.printTo = value;
  } else if (a == "--lu") {
    if (!need("LU names")) return OptionResult::kError;
    session.luNames = value;
  } else if (a == "--ca-file") {
    if (!need("a file name")) return OptionResult::kError;
    o.caFile = value;
  } else if (a == "--reconnect") {
    int v = 0;
    if (!need("a number of seconds") || !ParseInt(value, 0, 99, &v)) {
      if (error->empty()) *error = "The reconnect delay is 0 to 99 seconds";
      return OptionResult::kError;
    }
    session.reconnectDelay = v;
  } else if (a == "--keepalive") {
    int v = 0;
    if (!need("a number of minutes") || !ParseInt(value, 0, 32767, &v)) {
      if (error->empty()) *error = "The keep-alive interval is 0 to 32767 minutes";
      return OptionResult::kError;
    }
    session.keepAliveMinutes = v;
  } else if (a == "--trace") {
    if (!need("a file name")) return OptionResult::kError;
    o.traceFile = value;
  } else if (a == "--trace-text") {
    o.traceText = true;
  } else if (a == "--settings") {
    if (!need("a file name")) return OptionResult::kError;
    o.settingsFile = value;
  } else if (a == "--data-dir") {
    if (!need("a folder")) return OptionResult::kError;
    if (value.empty()) {
      *error = "The data folder name is empty";
      return OptionResult::kError;
    }
    o.dataFolder = value;
  } else if (!a.empty() && a[0] == '-' && a != "-") {
    return OptionResult::kNotMine;
  } else {
    // Words join as one command line, so "telnet host 23" needs no quotes.
    if (!o.target.empty()) o.target += ' ';
    o.target += a;
  }
  return OptionResult::kTaken;
}

bool FinishRunOptions(RunOptions& o, std::string* error) {
  if (!ToLatin1("the command line", &o.target, error)) return false;
  // The trace is of the command line's session; without one it would stay empty.
  if (!o.traceFile.empty() && o.target.empty()) {
    *error = "--trace needs a session: name a profile, a session file or a host";
    return false;
  }
  if (o.traceText && o.traceFile.empty()) {
    *error = "--trace-text needs --trace FILE";
    return false;
  }
  return true;
}

const char kSessionOptionsUsage[] = R"(Session options (for the command line's session, this run only; the stored
profile does not change):
  -p, --port N            port (for a host: also the profile name's port)
  -t, --terminal KIND     3278, 3279, 3270P, 5250, VT100, VT220 or ANSI (a
                          kind this version cannot emulate yet is refused)
      --size ROWSxCOLS    screen size (default 24x80 with --terminal)
      --lu NAMES          LU or device names to ask for, separated by ";"
      --tls               connect with TLS
      --reconnect SECONDS reconnect this many seconds after the host disconnects
      --keepalive MINUTES send a Telnet NOP every MINUTES minutes
      --print-to DEST     where host print jobs (3270P) go: file:PATH (a PDF
                          when PATH ends in .pdf, else text pages; raw jobs
                          each in PATH numbered .000, .001, ...), a CUPS
                          printer, or "" for the default printer
)";

const char kConnectionOptionsUsage[] = R"(Connection:
      --no-verify         do not verify the host's certificate
      --ca-file FILE      also trust the certificates in FILE (PEM)
)";

const char kFileOptionsUsage[] = R"(      --trace FILE        write a trace of everything the command line's session
                          sends and receives (binary unless the setting
                          TraceFileBinary is 0)
      --trace-text        write the trace as text with hex dumps
      --data-dir DIR      the data folder with the session profiles, which must
                          exist (default: the DataPath setting, else
                          $XDG_DATA_HOME/Orvex/Corvina, made on first use)
      --settings FILE     application settings file (default
                          $XDG_CONFIG_HOME/Orvex/Corvina.ini; also CORVINA_SETTINGS)
)";

TlsSettings ReadTlsSettings(const platform::IniFile& settings, const RunOptions& o) {
  TlsSettings s;
  s.verifyServer = settings.GetInt("SSL", "VerifyServer", 1) != 0;
  s.caFile = settings.GetString("SSL", "CAFile");
  if (o.verifyServer) s.verifyServer = *o.verifyServer;
  if (!o.caFile.empty()) s.caFile = o.caFile;
  return s;
}

}  // namespace corvina::app
