#include "app/term/TermCommands.h"

#include <cctype>
#include <charconv>
#include <sstream>
#include <vector>

#include "app/RunOptions.h"
#include "app/term/TermTexts.h"
#include "filetransfer/TransferRequest.h"
#include "platform/Format.h"
#include "script/ChildProcess.h"

namespace corvina::term {

namespace {

struct CommandName {
  const char* name;
  TermCommand::Kind kind;
  bool needsArgument;
};
constexpr CommandName kCommands[] = {
    {"connect", TermCommand::kConnect, true},   {"disconnect", TermCommand::kDisconnect, false},
    {"switch", TermCommand::kSwitch, true},     {"script", TermCommand::kScript, true},
    {"macro", TermCommand::kMacro, true},       {"key", TermCommand::kKey, true},
    {"transfer", TermCommand::kTransfer, true},
    {"print", TermCommand::kPrint, false},      {"copy", TermCommand::kCopy, false},
    {"messages", TermCommand::kMessages, false}, {"help", TermCommand::kHelp, false},
    {"quit", TermCommand::kQuit, false},        {"exit", TermCommand::kQuit, false},
};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// "send PCFILE HOSTFILE [WORDS]", "receive HOSTFILE PCFILE [WORDS]" or
// "cancel", with corvina-cli's spellings (--send, --ft-options) taken too;
// double quotes group words.
bool ParseTransfer(std::string_view rest, TermCommand& command, std::string* error) {
  std::vector<std::string> words = script::SplitCommandLine(std::string(rest));
  std::string what = Lower(words.empty() ? std::string() : words[0]);
  if (what.rfind("--", 0) == 0) what.erase(0, 2);
  const bool send = what == "send", receive = what == "receive";
  if (what == "cancel" && words.size() == 1) {
    command.argument = what;
    return true;
  }
  if ((!send && !receive) || words.size() < 3 || words[1].empty() || words[2].empty()) {
    *error = platform::Format(texts::kNeeds, "transfer", texts::kNeedsTransfer);
    return false;
  }
  command.argument = what;
  command.pcFile = words[send ? 1 : 2];
  command.hostFile = words[send ? 2 : 1];
  if (!app::ToLatin1("transfer", &command.hostFile, error)) return false;
  std::size_t first = 3;
  if (words.size() > first && words[first] == "--ft-options") ++first;
  for (std::size_t i = first; i < words.size(); ++i)
    command.transferWords += (command.transferWords.empty() ? "" : " ") + words[i];
  if (!app::ToLatin1("transfer", &command.transferWords, error)) return false;
  filetransfer::CTransferRequest probe;
  return filetransfer::ApplyTransferOptions(command.transferWords, probe, error);
}

}  // namespace

std::optional<TermCommand> ParseTermCommand(std::string_view line, std::string* error) {
  line = Trim(line);
  if (line.empty()) return std::nullopt;
  const std::size_t blank = line.find_first_of(" \t");
  const std::string word = Lower(line.substr(0, blank));
  const std::string_view rest = blank == std::string_view::npos ? std::string_view() : Trim(line.substr(blank));
  const CommandName* found = nullptr;
  for (const CommandName& c : kCommands) {
    const std::string_view name(c.name);
    if (name == word) {
      found = &c;
      break;
    }
    if (name.rfind(word, 0) != 0) continue;
    // "s" could be switch or script: a short word must name one command.
    if (found && found->kind != c.kind) {
      *error = platform::Format(texts::kNotClear, word.c_str());
      return std::nullopt;
    }
    found = &c;
  }
  if (!found) {
    *error = platform::Format(texts::kUnknownCommand, word.c_str());
    return std::nullopt;
  }
  if (found->needsArgument && rest.empty()) {
    *error = platform::Format(texts::kNeeds, found->name,
                              found->kind == TermCommand::kConnect  ? texts::kNeedsConnect
                              : found->kind == TermCommand::kSwitch ? texts::kNeedsSwitch
                              : found->kind == TermCommand::kScript ? texts::kNeedsScript
                              : found->kind == TermCommand::kMacro  ? texts::kNeedsMacro
                              : found->kind == TermCommand::kKey    ? texts::kNeedsKey
                                                                    : texts::kNeedsTransfer);
    return std::nullopt;
  }
  TermCommand command;
  command.kind = found->kind;
  command.argument = std::string(rest);
  if (command.kind == TermCommand::kConnect) {
    // The session options of the program's command line may come first.
    std::vector<std::string> words;
    std::istringstream in{std::string(rest)};
    for (std::string word; in >> word;) words.push_back(word);
    app::RunOptions run;
    app::CommandLineWords reader(words);
    while (reader.Next()) {
      const app::OptionResult r = app::ParseRunOption(reader, run, error);
      if (r == app::OptionResult::kNotMine) *error = "Unknown option " + reader.Word();
      if (r != app::OptionResult::kTaken) return std::nullopt;
    }
    if (!run.settingsFile.empty() || !run.dataFolder.empty() || !run.traceFile.empty() || run.traceText ||
        !run.caFile.empty() || run.verifyServer) {
      *error = texts::kConnectOptionsOnly;
      return std::nullopt;
    }
    if (!app::FinishRunOptions(run, error)) return std::nullopt;
    if (run.target.empty()) {
      *error = platform::Format(texts::kNeeds, "connect", texts::kNeedsConnect);
      return std::nullopt;
    }
    command.argument = run.target;
    command.overrides = run.overrides;
  }
  if (command.kind == TermCommand::kTransfer && !ParseTransfer(rest, command, error)) return std::nullopt;
  if (command.kind == TermCommand::kSwitch) {
    const std::string which = Lower(rest);
    if (which == "next" || which == "n" || which == "+") {
      command.argument = "next";
    } else if (which == "previous" || which == "prev" || which == "p" || which == "-") {
      command.argument = "previous";
    } else {
      int n = 0;
      auto [p, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), n);
      if (ec != std::errc() || p != rest.data() + rest.size() || n < 1 || n > 99) {
        *error = texts::kWhichSession;
        return std::nullopt;
      }
      command.number = n;
      command.argument.clear();
    }
  }
  return command;
}

const char* TermCommandHelp() {
  return "connect [-t KIND ...] PROFILE|HOST:PORT\n"
         "                            start a session (words and session options as on the\n"
         "                            command line: -t 5250, --size 27x132, --tls, ...)\n"
         "disconnect                  end the session shown\n"
         "switch N|next|previous      show another session (also Alt+1 ... Alt+9)\n"
         "script FILE                 run a script on the session shown\n"
         "macro NAME                  play a stored macro on the session shown\n"
         "key NAME                    press a key function the terminal has no key for\n"
         "                            (Reset, PA1, Attn, SysReq, FieldExit, ...)\n"
         "transfer send PCFILE HOSTFILE [WORDS]\n"
         "transfer receive HOSTFILE PCFILE [WORDS]\n"
         "                            IND$FILE file transfer on the session shown; WORDS as\n"
         "                            corvina-cli --ft-options takes them (binary, crlf,\n"
         "                            screenimage, tso, lrecl=N, ...); quote names with blanks\n"
         "transfer cancel             stop it (a second cancel ends it at once)\n"
         "print [FILE]                print the screen, or write it to FILE as text\n"
         "copy                        the selection (or the screen) to the terminal's clipboard\n"
         "messages                    show the messages of this run\n"
         "quit                        end every session and the program\n"
         "The mouse moves the cursor and selects. The command key twice sends it to the host.";
}

}  // namespace corvina::term
