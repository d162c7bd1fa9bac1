// corvina-term: the emulator full-screen in a text terminal.
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <iostream>

#include "app/Application.h"
#include "app/Engines.h"
#include "app/RunOptions.h"
#include "app/term/TermFrontEnd.h"
#include "app/term/TermOptions.h"
#include "config/PersistentData.h"
#include "platform/AppProfile.h"
#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "platform/PollLoop.h"
#include "session/TlsContexts.h"

using namespace corvina;

namespace {

// Boxes shown before the terminal is taken over, or after it is given
// back, go to standard error.
void PrintMessages(const term::CTermUi& ui, std::size_t from) {
  for (std::size_t i = from; i < ui.Messages().size(); ++i) std::cerr << "corvina-term: " << ui.Messages()[i] << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto parsed = term::ParseTermCommandLine(args, &error);
  if (!parsed) {
    std::cerr << "corvina-term: " << error << "\nTry 'corvina-term --help'.\n";
    return 2;
  }
  const term::TermOptions& o = *parsed;
  if (o.help) {
    std::cout << term::TermUsageText();
    return 0;
  }
  // Nothing is started (or made) for a run that could not show it.
  if (!term::CTermFrontEnd::TerminalAvailable(&error)) {
    std::cerr << "corvina-term: " << error << "\n";
    return 1;
  }
  if (!o.settingsFile.empty()) platform::SetAppProfilePathOverride(o.settingsFile);

  CSessionTrace trace(platform::SystemClock::Instance());
  platform::PollLoop loop;
  term::CTermUi ui;
  platform::IniFile settings(platform::AppProfilePath());
  if (std::string error; !settings.Path().empty() && !settings.Load(&error))
    std::cerr << "corvina-term: " << error << " (using defaults)\n";

  term::TermSettings termSettings;
  termSettings.escapeDelayMs = o.escapeDelayMs;
  termSettings.mouse = o.mouse;
  std::optional<KeyCode> commandKey = o.commandKey;
  if (!commandKey) {
    const std::string stored = settings.GetString("Terminal", "CommandKey");
    if (!stored.empty() && !(commandKey = ParseKeyText(stored)))
      std::cerr << "corvina-term: The setting CommandKey=" << stored << " is no key text; Ctrl+] is used\n";
  }
  termSettings.commandKey = commandKey.value_or(term::kDefaultCommandKey);
  termSettings.commandKeyText = FormatKeyText(termSettings.commandKey);

  TlsContexts tls(app::ReadTlsSettings(settings, o));
  app::CCorvinaApp application(app::AppEnvironment{loop, ui, platform::SystemClock::Instance(), app::CreateEngine, &tls},
                               settings);
  term::CTermFrontEnd view(loop, ui, application, termSettings);
  application.SetObserver(&view);
  application.onQuit = [&loop] { loop.Quit(); };
  app::AppOptions options;
  options.dataFolder = o.dataFolder;
  options.commandLine = o.target;
  options.overrides = o.overrides;
  if (!o.traceFile.empty()) {
    bool binary = !o.traceText && settings.GetInt(kConfigurationSection, "TraceFileBinary", 1) != 0;
    if (std::string error; !trace.Open(o.traceFile, binary, &error)) {
      std::cerr << "corvina-term: " << error << " " << o.traceFile << "\n";
      return 1;
    }
    options.prepareCommandLineSession = [&trace](CHostSession& s) { s.SetTrace(&trace); };
  }
  if (!application.Initialise(std::move(options))) {
    PrintMessages(ui, 0);
    return 1;
  }
  PrintMessages(ui, 0);
  const std::size_t shownBefore = ui.Messages().size();

  // Ctrl+C reaches the host as a key (the terminal is raw); these signals
  // end the sessions cleanly, and a new terminal size is drawn for.
  sigset_t signals;
  sigemptyset(&signals);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGWINCH}) sigaddset(&signals, sig);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  const int sigFd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (sigFd >= 0)
    loop.WatchFd(sigFd, platform::kIoRead, [&](unsigned) {
      signalfd_siginfo info{};
      while (::read(sigFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGWINCH) view.Resized();
        else application.CloseProgram(false);
      }
    });

  if (!view.Start(&error)) {
    std::cerr << "corvina-term: " << error << "\n";
    return 1;
  }
  application.StartUp();
  loop.Run();
  application.CloseProgram(false);
  loop.RunOnce(std::chrono::milliseconds(0));  // the closed sessions go
  view.Stop();
  // What the last screen said stays readable in the shell.
  PrintMessages(ui, shownBefore);
  if (sigFd >= 0) close(sigFd);
  return 0;
}
