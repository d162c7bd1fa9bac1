// The command line that the command key opens at the bottom of the screen.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/CommandLine.h"

namespace corvina::term {

struct TermCommand {
  enum Kind {
    kConnect,     // argument: a profile name, session file or host words (Latin-1)
    kDisconnect,  // the session shown
    kSwitch,      // number: the slot; 0 with argument "next" or "previous"
    kScript,      // argument: the script file
    kMacro,       // argument: the macro name
    kKey,         // argument: a key function's name (Reset, PA1, FieldExit, ...)
    kTransfer,    // argument: the transfer words
    kPrint,       // argument: the file, or empty for the printer
    kCopy,        // the selection (or the whole screen) to the terminal's clipboard
    kMessages,    // the messages shown so far
    kHelp,
    kQuit,
  };
  Kind kind = kHelp;
  std::string argument;
  int number = 0;
  // kConnect: the session options given before the target (-t 5250, --tls, ...).
  app::SessionOverrides overrides;
  // kTransfer: argument "send", "receive" or "cancel"; the files (the host
  // file in Latin-1) and corvina-cli's --ft-options words.
  std::string pcFile, hostFile, transferWords;
};

// Words are separated by blanks; the command word may be shortened to any
// unambiguous start ("d" is disconnect, "s 2" switch 2). Empty: nothing to do.
std::optional<TermCommand> ParseTermCommand(std::string_view line, std::string* error);

// One line per command, for the help screen.
const char* TermCommandHelp();

}  // namespace corvina::term
