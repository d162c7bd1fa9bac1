// corvina-cli: the emulator without a window.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>

#include "app/Engines.h"
#include "cli/CliOptions.h"
#include "config/TerminalTypes.h"
#include "platform/AppProfile.h"
#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "platform/PollLoop.h"
#include "platform/Text.h"
#include "session/HostSession.h"
#include "session/TlsContexts.h"

using namespace corvina;

namespace {

// Prints boxes and status texts; remembers whether an error was shown.
class CliUserInterface final : public platform::UserInterface {
 public:
  CliUserInterface(bool quiet, const std::vector<platform::Answer>& answers)
      : inner_(std::cerr, quiet ? nullptr : &std::cerr) {
    for (auto a : answers) inner_.QueueAnswer(a);
  }
  bool ErrorShown() const { return errorShown_; }
  void Beep(platform::BeepKind) override {}
  void SetStatusText(const std::string& text) override { inner_.SetStatusText(text); }

 protected:
  platform::Answer ShowMessageBox(const std::string& text, const std::string& caption,
                                  platform::Buttons buttons, platform::Answer def,
                                  platform::Icon icon) override {
    if (icon == platform::Icon::Error) errorShown_ = true;
    return inner_.MessageBox(platform::Latin1ToUtf8(text), caption, buttons, def, icon);
  }

 private:
  platform::HeadlessUserInterface inner_;
  bool errorShown_ = false;
};

class CliFrame final : public SessionFrame {
 public:
  explicit CliFrame(platform::PollLoop& loop) : loop_(loop) {}
  void CloseSession(CHostSession&) override {
    closed_ = true;
    loop_.Quit();
  }
  bool Closed() const { return closed_; }

 private:
  platform::PollLoop& loop_;
  bool closed_ = false;
};

void PrintScreen(const std::vector<std::string>& rows) {
  std::size_t last = rows.size();
  auto trimmed = [](std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  };
  while (last > 0 && trimmed(rows[last - 1]).empty()) --last;
  for (std::size_t i = 0; i < last; ++i) std::cout << platform::Latin1ToUtf8(trimmed(rows[i])) << '\n';
  std::cout.flush();
}

TlsSettings ReadTlsSettings(const platform::IniFile& settings, const cli::CliOptions& o) {
  TlsSettings s;
  s.verifyServer = settings.GetInt("SSL", "VerifyServer", 1) != 0;
  s.caFile = settings.GetString("SSL", "CAFile");
  if (o.verifyServer) s.verifyServer = *o.verifyServer;
  if (!o.caFile.empty()) s.caFile = o.caFile;
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto parsed = cli::ParseCommandLine(args, &error);
  if (!parsed) {
    std::cerr << "corvina-cli: " << error << "\nTry 'corvina-cli --help'.\n";
    return 2;
  }
  const cli::CliOptions& o = *parsed;
  if (o.help) {
    std::cout << cli::UsageText();
    return 0;
  }
  if (!o.settingsFile.empty()) platform::SetAppProfilePathOverride(o.settingsFile);

  platform::PollLoop loop;
  CliUserInterface ui(o.quiet, o.answers);
  CliFrame frame(loop);
  platform::IniFile settings(platform::AppProfilePath());
  if (std::string error; !settings.Path().empty() && !settings.Load(&error))
    std::cerr << "corvina-cli: " << error << " (using defaults)\n";
  TlsContexts tls(ReadTlsSettings(settings, o));

  auto profile = std::make_shared<CCorvinaSessionProfile>();
  profile->name = o.host + ":" + std::to_string(o.port);
  profile->host = o.host;
  profile->port = o.port;
  CCorvinaTerminalTypes terminalTypes;
  if (!profile->SetTerminalType(terminalTypes, o.terminalKind, o.rows, o.columns)) {
    std::cerr << "corvina-cli: the terminal " << TerminalShortName(o.terminalKind) << " has no " << o.rows
              << "x" << o.columns << " screen size\n";
    return 2;
  }
  profile->luName = o.luNames;
  if (o.tls) profile->hostOptions |= kHostSecurityTlsV1;
  if (o.reconnectDelay) {
    profile->hostOptions |= kHostReconnect;
    profile->reconnectDelay = static_cast<std::uint16_t>(*o.reconnectDelay);
  }
  profile->keepAliveInterval = static_cast<std::uint16_t>(o.keepAliveMinutes);

  SessionEnvironment env{loop, ui, platform::SystemClock::Instance(), frame, app::CreateEngine, &tls};
  env.settings = &settings;
  auto session = std::make_unique<CHostSession>(1, profile, env);

  // Ctrl+C and SIGTERM end the session cleanly and still print the screen.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  int sigFd = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (sigFd >= 0) loop.WatchFd(sigFd, platform::kIoRead, [&](unsigned) { loop.Quit(); });

  loop.AddTimer(std::chrono::seconds(1), true, [&] { session->OnTick(); });
  if (o.runSeconds)
    loop.AddTimer(std::chrono::milliseconds(static_cast<long long>(*o.runSeconds * 1000)), false,
                  [&] { loop.Quit(); });

  if (session->Connect()) loop.Run();
  if (!o.quiet) {
    std::string mode(session->Mode() == kKindLineMode ? "NVT" : TerminalShortName(session->Mode()));
    std::cerr << "Terminal mode: " << mode << "\n";
    if (!session->Telnet().AssignedDeviceName().empty())
      std::cerr << "Device name: " << platform::Latin1ToUtf8(session->Telnet().AssignedDeviceName()) << "\n";
  }
  PrintScreen(session->ScreenRows());
  session.reset();
  if (sigFd >= 0) close(sigFd);
  return ui.ErrorShown() ? 1 : 0;
}
