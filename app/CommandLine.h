// The emulator's command-line argument: a profile name, a session file, a
// script file, or host words ("telnet host 2323", "corvina:host", "host/23").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvina {
class CCorvinaSessionProfile;
class CCorvinaTerminalTypes;
}  // namespace corvina

namespace corvina::app {

// The argument with one pair of enclosing double quotes removed.
std::string StripEnclosingQuotes(std::string_view argument);

// Host words: split at blanks, colons and slashes (empty words dropped). A
// first word "Corvina" keeps the default terminal type and "Telnet" asks for
// a VT100 (any letter case); then come the host and the port. Any other
// first word is the host itself, followed by the port. An IPv6 address,
// bare or in brackets, stays one word.
struct HostCommand {
  bool typeWord = false;  // the first word was "Corvina" or "Telnet"
  bool telnet = false;
  std::string host;
  std::optional<std::string> port;  // as written
};
HostCommand ParseHostCommand(std::string_view argument);

// Whether the words can name a host rather than being, say, a mistyped
// profile name: an IP address, or a host name (letters, digits, "-" and
// "_" in dot-separated labels) that has a dot, is "localhost", or comes
// with a type word or a port; a port word must be digits.
bool LooksLikeHost(const HostCommand& command);

// A port word: 1 to 65535 in decimal digits.
std::optional<int> ParsePort(std::string_view word);

// Settings given for one run (corvina-cli options). They change the session
// started from the command line, never the stored profile.
struct SessionOverrides {
  std::optional<int> port;
  std::optional<unsigned> terminalKind;
  std::optional<int> rows, columns;  // both or neither
  std::optional<std::string> luNames;  // ";"-separated
  bool tls = false;
  std::optional<int> reconnectDelay;
  std::optional<int> keepAliveMinutes;
  std::optional<std::string> printTo;  // the printer: "file:PATH" or a destination

  bool Empty() const;
  // False when the terminal kind has no such screen size.
  bool ApplyTo(CCorvinaSessionProfile& profile, CCorvinaTerminalTypes& types) const;
  // The kind and size ApplyTo asks of a profile.
  unsigned KindFor(const CCorvinaSessionProfile& profile) const;
  int RowsFor(const CCorvinaSessionProfile& profile) const;
  int ColumnsFor(const CCorvinaSessionProfile& profile) const;
};

}  // namespace corvina::app
