// corvina: the desktop emulator.
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Engines.h"
#include "app/qt/MainFrame.h"
#include "app/qt/QtEventLoop.h"
#include "app/qt/QtUserInterface.h"
#include "platform/AppProfile.h"
#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "platform/Text.h"
#include "session/TlsContexts.h"

using namespace corvina;

namespace {

constexpr char kUsage[] =
    "Usage: corvina [OPTIONS] [PROFILE | SESSION-FILE | SCRIPT-FILE | HOST[:PORT] | telnet HOST [PORT]]\n"
    "The Corvina desktop emulator: 3270, 5250 and VT sessions in one window.\n"
    "\n"
    "  --data-dir DIR     the data folder (session profiles, keyboard maps, macros,\n"
    "                     colour schemes, toolbars); else the DataPath setting,\n"
    "                     else ~/.local/share/Orvex/Corvina\n"
    "  --settings FILE    the application settings file (default\n"
    "                     ~/.config/Orvex/Corvina.ini; also $CORVINA_SETTINGS)\n"
    "  --snapshot FILE    write a PNG picture of the window to FILE on SIGUSR1\n"
    "  --open FILE        open a session file: start the stored profile it names,\n"
    "                     never run the file as a script (file managers use this)\n"
    "  --help             show this text and end\n"
    "\n"
    "Qt's own options (-platform NAME, -display DISPLAY, ...) are accepted too.\n"
    "Without a display, corvina-cli runs the same sessions in a terminal.\n";

struct Options {
  std::string dataFolder, settingsFile, snapshot, open;
  std::vector<std::string> words;
};

bool Parse(int argc, char** argv, Options& o, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) {
        *error = a + " needs a value";
        return false;
      }
      into = argv[++i];
      return true;
    };
    if (a == "--data-dir") {
      if (!value(o.dataFolder)) return false;
    } else if (a == "--settings") {
      if (!value(o.settingsFile)) return false;
    } else if (a == "--snapshot") {
      if (!value(o.snapshot)) return false;
    } else if (a == "--open") {
      if (!value(o.open)) return false;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      *error = "unknown option " + a;
      return false;
    } else {
      o.words.push_back(a);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUsage;
      return 0;
    }
  ::signal(SIGPIPE, SIG_IGN);
  // SIGINT and SIGTERM close the program as its Exit command does (without
  // questions); SIGUSR1 writes the --snapshot picture. Blocked before Qt
  // starts its threads, so that every thread leaves them to the signalfd.
  sigset_t handled;
  sigemptyset(&handled);
  sigaddset(&handled, SIGINT);
  sigaddset(&handled, SIGTERM);
  sigaddset(&handled, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &handled, nullptr);
  QApplication qapp(argc, argv);  // takes Qt's own options out of argv
  QApplication::setApplicationName(QStringLiteral("Corvina"));
  QApplication::setOrganizationName(QStringLiteral("Orvex"));
  Options o;
  std::string error;
  if (!Parse(argc, argv, o, &error)) {
    std::cerr << "corvina: " << error << "\nTry 'corvina --help'.\n";
    return 2;
  }
  if (!o.settingsFile.empty()) platform::SetAppProfilePathOverride(o.settingsFile);

  qt::QtEventLoop loop;
  qt::QtUserInterface ui(loop);
  platform::IniFile settings(platform::AppProfilePath());
  if (std::string e; !settings.Path().empty() && !settings.Load(&e)) std::cerr << "corvina: " << e << " (using defaults)\n";
  TlsSettings tlsSettings;
  tlsSettings.verifyServer = settings.GetInt("SSL", "VerifyServer", 1) != 0;
  tlsSettings.caFile = settings.GetString("SSL", "CAFile");
  TlsContexts tls(tlsSettings);

  app::CCorvinaApp application(
      app::AppEnvironment{loop, ui, platform::SystemClock::Instance(), app::CreateEngine, &tls}, settings);
  app::AppOptions options;
  options.dataFolder = o.dataFolder;
  for (const std::string& w : o.words) options.commandLine += (options.commandLine.empty() ? "" : " ") + w;
  if (!o.open.empty()) {
    if (!options.commandLine.empty()) {
      std::cerr << "corvina: --open takes the place of a command line\nTry 'corvina --help'.\n";
      return 2;
    }
    options.commandLine = o.open;
    options.sessionFileOnly = true;
  }
  if (!application.Initialise(std::move(options))) return 1;

  qt::CMainFrame frame(application, ui);
  frame.SetSnapshotFile(o.snapshot);
  application.onQuit = [&frame] { QTimer::singleShot(0, &frame, [&frame] { frame.close(); }); };
  const int signalFd = signalfd(-1, &handled, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signalFd >= 0)
    loop.WatchFd(signalFd, platform::kIoRead, [&](unsigned) {
      signalfd_siginfo info{};
      while (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGUSR1)
          frame.WriteSnapshot();
        else
          application.CloseProgram(false);
      }
    });
  frame.RestorePlacement();
  frame.show();
  // The start-up work runs once the window is shown.
  QTimer::singleShot(0, &frame, [&application] { application.StartUp(); });
  const int status = QApplication::exec();
  application.CloseProgram(false);
  if (signalFd >= 0) ::close(signalFd);
  return status;
}
