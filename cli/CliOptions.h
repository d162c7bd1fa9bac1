// Command line of corvina-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/UserInterface.h"

namespace corvina::cli {

struct CliOptions {
  std::string host;
  int port = 23;
  unsigned terminalKind = 17;  // 3279
  int rows = 24, columns = 80;
  std::string luNames;  // LU or device names, ";"-separated
  bool tls = false;
  std::optional<bool> verifyServer;  // unset: from the settings file
  std::string caFile;
  std::optional<int> reconnectDelay;
  int keepAliveMinutes = 0;
  std::optional<double> runSeconds;  // unset: until the host closes
  std::vector<platform::Answer> answers;
  std::string settingsFile;
  bool quiet = false;
  bool help = false;
};

// Parses argv; on a usage error returns nullopt with the message in *error.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string* error);

const char* UsageText();

}  // namespace corvina::cli
