#include "app/CommandLine.h"

#include <arpa/inet.h>
#include <strings.h>

#include <charconv>
#include <vector>

#include "config/SessionProfile.h"
#include "config/TerminalTypes.h"

namespace corvina::app {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ':' || c == '/'; }

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
  if (!words.empty() && (::strcasecmp(words[0].c_str(), "Corvina") == 0 || ::strcasecmp(words[0].c_str(), "Telnet") == 0)) {
    command.typeWord = true;
    command.telnet = ::strcasecmp(words[0].c_str(), "Telnet") == 0;
    next = 1;
  }
  if (next < words.size()) command.host = words[next];
  if (next + 1 < words.size()) command.port = words[next + 1];
  return command;
}

bool LooksLikeHost(const HostCommand& command) {
  const std::string& host = command.host;
  if (command.port && command.port->find_first_not_of("0123456789") != std::string::npos) return false;
  in_addr v4{};
  if (::inet_pton(AF_INET, host.c_str(), &v4) == 1 || IsIpv6Address(host)) return true;
  std::string_view name = host;
  if (name.ends_with('.')) name.remove_suffix(1);
  if (name.empty() || name.size() > 253) return false;
  for (std::size_t start = 0; start <= name.size();) {
    std::size_t end = name.find('.', start);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view label = name.substr(start, end - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
    for (char c : label) {
      const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (!letterOrDigit && c != '-' && c != '_') return false;
    }
    start = end + 1;
  }
  return command.typeWord || command.port || name.find('.') != std::string_view::npos ||
         (name.size() == 9 && ::strncasecmp(name.data(), "localhost", 9) == 0);
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
  return !port && !terminalKind && !rows && !luNames && !tls && !reconnectDelay && !keepAliveMinutes && !printTo;
}

// A kind without a size takes 24x80; a size without a kind keeps the profile's kind.
unsigned SessionOverrides::KindFor(const CCorvinaSessionProfile& profile) const {
  return terminalKind.value_or(profile.terminalType);
}

int SessionOverrides::RowsFor(const CCorvinaSessionProfile& profile) const {
  return rows.value_or(terminalKind ? 24 : profile.rows);
}

int SessionOverrides::ColumnsFor(const CCorvinaSessionProfile& profile) const {
  return columns.value_or(terminalKind ? 80 : profile.columns);
}

bool SessionOverrides::ApplyTo(CCorvinaSessionProfile& profile, CCorvinaTerminalTypes& types) const {
  if (port) profile.port = *port;
  if ((terminalKind || rows) &&
      !profile.SetTerminalType(types, KindFor(profile), RowsFor(profile), ColumnsFor(profile))) {
    return false;
  }
  if (luNames) profile.luName = *luNames;
  if (tls) profile.hostOptions = (profile.hostOptions & ~kHostSecurityMask) | kHostSecurityTlsV1;
  if (reconnectDelay) {
    profile.hostOptions |= kHostReconnect;
    profile.reconnectDelay = static_cast<std::uint16_t>(*reconnectDelay);
  }
  if (keepAliveMinutes) profile.keepAliveInterval = static_cast<std::uint16_t>(*keepAliveMinutes);
  if (printTo) profile.printerName = *printTo;
  return true;
}

}  // namespace corvina::app
