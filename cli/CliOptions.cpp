#include "cli/CliOptions.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace corvina::cli {

namespace {

struct KindName {
  const char* name;
  unsigned kind;
};
constexpr KindName kKinds[] = {{"3278", 16},   {"3279", 17},   {"3270P", 18},  {"5250", 32},
                               {"5250P", 34},  {"ANSI", 258},  {"VT100", 259}, {"VT220", 260}};

bool ParseInt(const std::string& s, int lo, int hi, int* out) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool EqualsNoCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && b[i] == 0;
}

// HOST, HOST:PORT, [V6]:PORT or a bare IPv6 address.
bool SplitHostPort(const std::string& arg, std::string* host, int* port, std::string* error) {
  std::string h = arg, p;
  if (!arg.empty() && arg.front() == '[') {
    auto close = arg.find(']');
    if (close == std::string::npos) {
      *error = "Missing ']' in host address \"" + arg + "\"";
      return false;
    }
    h = arg.substr(1, close - 1);
    if (close + 1 < arg.size()) {
      if (arg[close + 1] != ':') {
        *error = "Unexpected text after ']' in \"" + arg + "\"";
        return false;
      }
      p = arg.substr(close + 2);
    }
  } else if (auto colon = arg.find(':'); colon != std::string::npos && arg.find(':', colon + 1) == std::string::npos) {
    h = arg.substr(0, colon);
    p = arg.substr(colon + 1);
  }
  if (h.empty()) {
    *error = "Please enter a Host Name or IP address.";
    return false;
  }
  *host = h;
  if (!p.empty() && !ParseInt(p, 1, 65535, port)) {
    *error = "Please enter a port number between 1 and 65535.";
    return false;
  }
  return true;
}

}  // namespace

const char* UsageText() {
  return R"(Usage: corvina-cli [options] HOST[:PORT]
Connects to a host as a terminal session without a window, prints the session's
status texts as they change and the screen when the session ends.

Connection:
  -p, --port N            port (default 23)
  -t, --terminal KIND     3278, 3279, 3270P, 5250, 5250P, VT100, VT220 or ANSI
                          (default 3279)
      --size ROWSxCOLS    screen size (default 24x80)
      --lu NAMES          LU or device names to ask for, separated by ";"
      --tls               connect with TLS
      --no-verify         do not verify the host's certificate
      --ca-file FILE      also trust the certificates in FILE (PEM)
      --reconnect SECONDS reconnect this many seconds after the host disconnects
      --keepalive MINUTES send a Telnet NOP every MINUTES minutes
Running:
      --for SECONDS       end the session after SECONDS (default: when the host
                          closes it)
      --answer yes|no|ok|cancel
                          answer the next question (repeatable, in order;
                          otherwise each question gets its default answer)
      --settings FILE     application settings file (default
                          $XDG_CONFIG_HOME/Orvex/Corvina.ini; also CORVINA_SETTINGS)
  -q, --quiet             do not print status texts
  -h, --help              show this text

Status texts and messages go to standard error, the final screen (UTF-8) to
standard output. Exit status: 0 when the session ran and ended, 1 when it
failed (the message says why), 2 for a command-line error.
)";
}

std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string* error) {
  CliOptions o;
  bool portGiven = false;
  std::string target;
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
    } else if (a == "--tls") {
      o.tls = true;
    } else if (a == "--no-verify") {
      o.verifyServer = false;
    } else if (a == "-p" || a == "--port") {
      if (!need("a port number")) return std::nullopt;
      if (!ParseInt(value, 1, 65535, &o.port)) {
        *error = "Please enter a port number between 1 and 65535.";
        return std::nullopt;
      }
      portGiven = true;
    } else if (a == "-t" || a == "--terminal") {
      if (!need("a terminal kind")) return std::nullopt;
      bool found = false;
      for (const auto& k : kKinds)
        if (EqualsNoCase(value, k.name)) {
          o.terminalKind = k.kind;
          found = true;
        }
      if (!found) {
        *error = "Unknown terminal kind \"" + value + "\" (3278, 3279, 3270P, 5250, 5250P, VT100, VT220, ANSI)";
        return std::nullopt;
      }
    } else if (a == "--size") {
      if (!need("ROWSxCOLS")) return std::nullopt;
      auto x = value.find_first_of("xX");
      if (x == std::string::npos || !ParseInt(value.substr(0, x), 1, 255, &o.rows) ||
          !ParseInt(value.substr(x + 1), 1, 255, &o.columns) || o.rows * o.columns > 16383) {
        *error = "Invalid screen size \"" + value + "\" (for example 24x80)";
        return std::nullopt;
      }
    } else if (a == "--lu") {
      if (!need("LU names")) return std::nullopt;
      o.luNames = value;
    } else if (a == "--ca-file") {
      if (!need("a file name")) return std::nullopt;
      o.caFile = value;
    } else if (a == "--reconnect") {
      int v = 0;
      if (!need("a number of seconds") || !ParseInt(value, 0, 99, &v)) {
        if (error->empty()) *error = "The reconnect delay is 0 to 99 seconds";
        return std::nullopt;
      }
      o.reconnectDelay = v;
    } else if (a == "--keepalive") {
      if (!need("a number of minutes") || !ParseInt(value, 0, 32767, &o.keepAliveMinutes)) {
        if (error->empty()) *error = "The keep-alive interval is 0 to 32767 minutes";
        return std::nullopt;
      }
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
      if (EqualsNoCase(value, "yes")) o.answers.push_back(Answer::Yes);
      else if (EqualsNoCase(value, "no")) o.answers.push_back(Answer::No);
      else if (EqualsNoCase(value, "ok")) o.answers.push_back(Answer::Ok);
      else if (EqualsNoCase(value, "cancel")) o.answers.push_back(Answer::Cancel);
      else {
        *error = "Invalid answer \"" + value + "\" (yes, no, ok or cancel)";
        return std::nullopt;
      }
    } else if (a == "--settings") {
      if (!need("a file name")) return std::nullopt;
      o.settingsFile = value;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      *error = "Unknown option " + a;
      return std::nullopt;
    } else if (target.empty()) {
      target = a;
    } else {
      *error = "Only one host can be given (\"" + target + "\" and \"" + a + "\")";
      return std::nullopt;
    }
  }
  if (o.help) return o;
  if (target.empty()) {
    *error = "Please enter a Host Name or IP address.";
    return std::nullopt;
  }
  int port = o.port;
  if (!SplitHostPort(target, &o.host, &port, error)) return std::nullopt;
  if (!portGiven) o.port = port;
  return o;
}

}  // namespace corvina::cli
