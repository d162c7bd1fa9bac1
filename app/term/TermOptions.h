// Command line of corvina-term: the options it shares with corvina-cli and
// its own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/RunOptions.h"
#include "keyboard/KeyText.h"

namespace corvina::term {

// Ctrl+]: what terminal users know as the escape of telnet.
inline constexpr KeyCode kDefaultCommandKey{0xDD, kModCtrl};
inline constexpr int kDefaultEscapeDelayMs = 50;

struct TermOptions : app::RunOptions {
  std::optional<KeyCode> commandKey;  // unset: the setting, else Ctrl+]
  int escapeDelayMs = kDefaultEscapeDelayMs;
  bool mouse = true;
  bool help = false;
};

std::optional<TermOptions> ParseTermCommandLine(const std::vector<std::string>& args, std::string* error);

const char* TermUsageText();

}  // namespace corvina::term
