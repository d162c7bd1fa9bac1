// Command line of corvina-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "platform/UserInterface.h"

namespace corvina::cli {

struct CliOptions {
  // The words that are not options, joined by blanks: a profile name, a
  // session file, a script file or host words.
  std::string target;
  // Session options: the command line's session, for this run only.
  app::SessionOverrides overrides;
  std::optional<bool> verifyServer;  // unset: from the settings file
  std::string caFile;
  std::optional<double> runSeconds;  // unset: until the last session ends
  std::vector<platform::Answer> answers;
  std::string settingsFile;
  std::string dataFolder;
  bool quiet = false;
  bool help = false;
};

// Parses argv; on a usage error returns nullopt with the message in *error.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string* error);

const char* UsageText();

}  // namespace corvina::cli
