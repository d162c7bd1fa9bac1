#include "app/CommandLine.h"

#include <arpa/inet.h>

#include <charconv>
#include <vector>

#include "config/SessionProfile.h"
#include "config/TerminalTypes.h"

namespace corvina::app {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ':' || c == '/'; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool IsIpv6Address(std::string_view text) {
  in6_addr address{};
  return ::inet_pton(AF_INET6, std::string(text).c_str(), &address) == 1;
}

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    // "[v6]" is one word without its brackets.
    if (text[i] == '[') {
      if (std::size_t close = text.find(']', i); close != std::string_view::npos) {
        words.emplace_back(text.substr(i + 1, close - i - 1));
        i = close + 1;
        continue;
      }
    }
    // A bare IPv6 address runs to the next blank or slash.
    std::size_t end = text.find_first_of(" \t/", i);
    if (end == std::string_view::npos) end = text.size();
    if (IsIpv6Address(text.substr(i, end - i))) {
      words.emplace_back(text.substr(i, end - i));
      i = end;
      continue;
    }
    end = i;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    words.emplace_back(text.substr(i, end - i));
    i = end;
  }
  return words;
}

}  // namespace

std::string StripEnclosingQuotes(std::string_view argument) {
  if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')
    argument = argument.substr(1, argument.size() - 2);
  return std::string(argument);
}

HostCommand ParseHostCommand(std::string_view argument) {
  const std::vector<std::string> words = SplitWords(argument);
  HostCommand command;
  std::size_t next = 0;
  if (!words.empty() && (EqualsNoCase(words[0], "Corvina") || EqualsNoCase(words[0], "Telnet"))) {
    command.telnet = EqualsNoCase(words[0], "Telnet");
    next = 1;
  }
  if (next < words.size()) command.host = words[next];
  if (next + 1 < words.size()) command.port = words[next + 1];
  return command;
}

std::optional<int> ParsePort(std::string_view word) {
  int port = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), port);
  if (word.empty() || word.front() == '-' || word.front() == '+' || ec != std::errc() ||
      end != word.data() + word.size() || port < 1 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

bool SessionOverrides::Empty() const {
  return !port && !terminalKind && !rows && !tls && !reconnectDelay && !keepAliveMinutes;
}

void SessionOverrides::ApplyTo(CCorvinaSessionProfile& profile, CCorvinaTerminalTypes& types) const {
  if (port) profile.port = *port;
  if (terminalKind || rows) {
    const unsigned code = terminalKind.value_or(profile.terminalType);
    const int r = rows.value_or(terminalKind ? 24 : profile.rows);
    const int c = columns.value_or(terminalKind ? 80 : profile.columns);
    const std::string telnetType = profile.telnetTerminalType;
    if (!profile.SetTerminalType(types, code, r, c)) {
      // A size the list has no row for: the kind's first row names the terminal.
      profile.telnetTerminalType = telnetType;
      for (const TerminalTypeRow& row : types.Rows()) {
        if (row.code == code) {
          profile.telnetTerminalType = row.telnetType;
          break;
        }
      }
    }
  }
  if (tls) profile.hostOptions = (profile.hostOptions & ~kHostSecurityMask) | kHostSecurityTlsV1;
  if (reconnectDelay) {
    profile.hostOptions |= kHostReconnect;
    profile.reconnectDelay = static_cast<std::uint16_t>(*reconnectDelay);
  }
  if (keepAliveMinutes) profile.keepAliveInterval = static_cast<std::uint16_t>(*keepAliveMinutes);
}

}  // namespace corvina::app
