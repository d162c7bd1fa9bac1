// Command line of corvina-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/RunOptions.h"
#include "cli/Actions.h"
#include "platform/UserInterface.h"

namespace corvina::cli {

// The shared options (the session, TLS, files) and those of corvina-cli.
struct CliOptions : app::RunOptions {
  // Instead of running: list the key functions of a terminal kind (0 is
  // the system commands), or show what a session profile file holds.
  std::optional<unsigned> listKeysKind;
  std::string showProfile;
  // List the data folder's keyboard maps, or show one as its file holds it.
  bool listMaps = false;
  // List the print destinations.
  bool listPrinters = false;
  std::string showMap;
  // Record the keyboard steps of this run into a macro of this name.
  std::string recordMacro;

  std::optional<double> runSeconds;  // unset: until the last session ends
  std::vector<platform::Answer> answers;
  std::vector<std::string> answerTexts;  // for scripts' askfor, in order
  bool quiet = false;
  bool fields = false;  // also print the 3270 fields with their attributes
  bool oia = false;     // also print the operator information area line
  // Keyboard steps in command-line order; the run ends after the last one.
  std::vector<CliStep> steps;
  double stepTimeoutSeconds = 30;
  bool help = false;
};

// Parses argv; on a usage error returns nullopt with the message in *error.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args, std::string* error);

const char* UsageText();

}  // namespace corvina::cli
