// corvina-cli: the emulator without a window.
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

#include "app/Application.h"
#include "app/Engines.h"
#include "cli/CliOptions.h"
#include "config/TerminalTypes.h"
#include "ibm3270/Engine3270.h"
#include "ibm5250/Engine5250.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/KeyboardTexts.h"
#include "keyboard/Macro.h"
#include "platform/AppProfile.h"
#include "platform/Clock.h"
#include "platform/Format.h"
#include "platform/IniFile.h"
#include "platform/PollLoop.h"
#include "platform/Text.h"
#include "printing/PrinterThread.h"
#include "printing/backends/Backends.h"
#include "session/HostSession.h"
#include "session/TextCanvas.h"
#include "session/TlsContexts.h"
#include "vt/VtEngine.h"

using namespace corvina;

namespace {

// Prints boxes and status texts; remembers whether an error was shown.
class CliUserInterface final : public platform::UserInterface {
 public:
  CliUserInterface(bool quiet, const std::vector<platform::Answer>& answers, const std::vector<std::string>& texts)
      : inner_(std::cerr, quiet ? nullptr : &std::cerr) {
    for (auto a : answers) inner_.QueueAnswer(a);
    for (const auto& t : texts) inner_.QueueText(t);
  }
  bool ErrorShown() const { return errorShown_; }
  void Beep(platform::BeepKind) override {}
  void SetStatusText(const std::string& text) override { inner_.SetStatusText(text); }
  std::unique_ptr<platform::ModelessDialog> OpenTextPrompt(
      const platform::TextPrompt& prompt, std::function<void(std::optional<std::string>)> done) override {
    return inner_.OpenTextPrompt(prompt, std::move(done));
  }
  std::unique_ptr<platform::ModelessDialog> OpenScanChooser(const platform::ScanChooser& chooser,
                                                            std::function<void(platform::ScanChoice)> done) override {
    return inner_.OpenScanChooser(chooser, std::move(done));
  }

 protected:
  platform::Answer ShowMessageBox(const std::string& text, const std::string& caption,
                                  platform::Buttons buttons, platform::Answer def,
                                  platform::Icon icon) override {
    if (icon == platform::Icon::Error) errorShown_ = true;
    return inner_.MessageBox(text, caption, buttons, def, icon);
  }

 private:
  platform::HeadlessUserInterface inner_;
  bool errorShown_ = false;
};

// What a session showed when it ended; printed when the program ends.
struct SessionReport {
  int number;
  std::string title;
  std::string mode;
  std::string deviceName;
  std::vector<std::string> rows;  // Latin-1; printed without trailing blanks
  // A 3270, 5250 or VT screen as it is drawn (UTF-8), printed whole, and on
  // request one line per field: its attribute described, the attribute byte
  // and extended attribute word (3270) or the field format word (5250), and
  // its text.
  std::vector<std::string> screen;
  std::optional<std::vector<std::string>> fields3270;
  std::string oiaLine;  // on request
};

class CliObserver final : public app::SessionTableObserver {
 public:
  CliObserver(bool fields, bool oia) : fields_(fields), oia_(oia) {}
  void SessionStarted(CHostSession&) override { ++started_; }
  // The command line's session while it exists.
  CHostSession* commandLineSession = nullptr;
  // What it recorded (--record), taken when it closes.
  std::shared_ptr<CCorvinaMacro> recorded;
  void SessionClosing(CHostSession& s) override;
  int Started() const { return started_; }
  void Print(bool quiet);

 private:
  void Report5250(C5250Engine& engine, SessionReport& r) const;
  bool fields_, oia_;
  int started_ = 0;
  std::vector<SessionReport> reports_;
};

void CliObserver::SessionClosing(CHostSession& s) {
  if (&s == commandLineSession) {
    commandLineSession = nullptr;
    if (s.Recording()) recorded = s.StopRecording();
  }
  std::string mode(s.Mode() == kKindLineMode ? "NVT" : TerminalShortName(s.Mode()));
  SessionReport r{s.Number(), s.Title(), mode, s.Telnet().AssignedDeviceName(), {}, {}, {}, {}};
  if (auto* vt = dynamic_cast<CVtEngine*>(s.Engine())) {
    TextCanvas canvas;
    vt->Paint(canvas);
    r.screen = canvas.Lines();
    if (oia_) r.oiaLine = platform::Latin1ToUtf8(vt->OiaLine());
    reports_.push_back(std::move(r));
    return;
  }
  if (auto* engine5250 = dynamic_cast<C5250Engine*>(s.Engine())) {
    Report5250(*engine5250, r);
    reports_.push_back(std::move(r));
    return;
  }
  auto* engine = dynamic_cast<C3270Engine*>(s.Engine());
  if (!engine) {
    r.rows = s.ScreenRows();
    reports_.push_back(std::move(r));
    return;
  }
  TextCanvas canvas;
  engine->Paint(canvas);
  r.screen = canvas.Lines();
  if (oia_) r.oiaLine = engine->OiaLine();
  if (fields_) {
    r.fields3270.emplace();
    const C3270PresentationSpace& screen = engine->Screen();
    for (const C3270Engine::Field& f : engine->Fields()) {
      std::string text;
      engine->ExtractText(screen.Wrap(f.attributePosition + 1), f.length, text, nullptr, kExtractFieldMode);
      r.fields3270->push_back(platform::Format("%s; attribute 0x%02X, extended 0x%08X: \"",
                                               screen.DescribeAttribute(f.attributePosition).c_str(),
                                               f.attribute, static_cast<unsigned>(f.extended)) +
                              platform::Latin1ToUtf8(text) + "\"");
    }
  }
  reports_.push_back(std::move(r));
}

void CliObserver::Report5250(C5250Engine& engine, SessionReport& r) const {
  TextCanvas canvas;
  engine.Paint(canvas);
  r.screen = canvas.Lines();
  if (oia_) r.oiaLine = engine.OiaLine();
  if (!fields_) return;
  r.fields3270.emplace();
  const int columns = engine.Screen().Columns();
  for (const C5250Field& f : engine.Format().fields) {
    std::string text;
    engine.ExtractText(f.start, f.length, text, nullptr, 0);
    const std::string where = f.start > 0 ? engine.DescribeAttribute(f.start - 1)
                                          : platform::Format("%d, %d", f.start / columns + 1, f.start % columns + 1);
    r.fields3270->push_back(platform::Format("%s; FFW 0x%04X: \"", where.c_str(), f.ffw) +
                            platform::Latin1ToUtf8(text) + "\"");
  }
}

void PrintScreen(const std::vector<std::string>& rows) {
  std::size_t last = rows.size();
  auto trimmed = [](std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  };
  while (last > 0 && trimmed(rows[last - 1]).empty()) --last;
  for (std::size_t i = 0; i < last; ++i) std::cout << platform::Latin1ToUtf8(trimmed(rows[i])) << '\n';
}

// One session prints as before; several get their title in front.
void CliObserver::Print(bool quiet) {
  std::stable_sort(reports_.begin(), reports_.end(),
                   [](const SessionReport& a, const SessionReport& b) { return a.number < b.number; });
  const bool several = reports_.size() > 1;
  for (const SessionReport& r : reports_) {
    const std::string title = platform::Latin1ToUtf8(r.title);
    if (!quiet) {
      const std::string prefix = several ? title + ": " : "";
      std::cerr << prefix << "Terminal mode: " << r.mode << "\n";
      if (!r.deviceName.empty()) std::cerr << prefix << "Device name: " << platform::Latin1ToUtf8(r.deviceName) << "\n";
    }
    if (several) std::cout << "--- " << title << " ---\n";
    for (const std::string& line : r.screen) std::cout << line << '\n';
    if (!r.oiaLine.empty()) std::cout << r.oiaLine << '\n';
    if (r.fields3270) {
      std::cout << "\nFields:\n";
      for (const std::string& line : *r.fields3270) std::cout << line << '\n';
    }
    PrintScreen(r.rows);
  }
  std::cout.flush();
}

int ListKeys(unsigned kind) {
  for (const KeyFunctionRow& row : KeyFunctionTable(kind)) {
    std::string_view description = row.description.substr(0, row.description.find('\n'));
    std::printf("%5d  %-26.*s %-4.*s %.*s\n", row.id, static_cast<int>(row.name.size()), row.name.data(),
                static_cast<int>(row.mnemonic.size()), row.mnemonic.data(), static_cast<int>(description.size()),
                description.data());
  }
  return 0;
}

int ShowProfile(const std::string& path) {
  // A missing file would read as an empty profile.
  if (struct stat st {}; ::stat(path.c_str(), &st) != 0) {
    std::cerr << "corvina-cli: Cannot read session profile \"" << path << "\": " << std::strerror(errno) << "\n";
    return 1;
  }
  std::string folder = ".", file = path;
  if (auto slash = path.rfind('/'); slash != std::string::npos) {
    folder = path.substr(0, slash);
    file = path.substr(slash + 1);
  }
  CCorvinaTerminalTypes types;
  CCorvinaSessionProfile profile;
  std::string error;
  if (!profile.Load(folder.empty() ? "/" : folder, file, types, {}, &error)) {
    std::cerr << "corvina-cli: " << platform::Latin1ToUtf8(error) << "\n";
    return 1;
  }
  std::cout << "Terminal: " << platform::Latin1ToUtf8(profile.terminalDisplayName) << "\n";
  platform::IniFile normalized;
  profile.WriteTo(normalized);
  std::cout << platform::Latin1ToUtf8(normalized.Text());
  return 0;
}

int ListMaps(const CCorvinaPersistentData& store) {
  for (const auto& [key, object] : store.Objects(ObjectKind::kKeyboardMap)) {
    const auto& map = static_cast<const CCorvinaKeyboardMap&>(*object);
    std::printf("%-24s %-6.*s %4zu bindings  %s\n", platform::Latin1ToUtf8(map.name).c_str(),
                static_cast<int>(FamilyTypeName(map.TypeCode()).size()), FamilyTypeName(map.TypeCode()).data(),
                map.Bindings().size(), platform::Latin1ToUtf8(map.fileName).c_str());
  }
  return 0;
}

int ShowMap(const CCorvinaPersistentData& store, const std::string& name) {
  const auto* map = dynamic_cast<const CCorvinaKeyboardMap*>(store.Find(ObjectKind::kKeyboardMap, name));
  if (!map) {
    std::cerr << "corvina-cli: No keyboard map \"" << platform::Latin1ToUtf8(name) << "\" in the data folder "
              << store.DataFolder() << " (corvina-cli --list-maps lists them)\n";
    return 1;
  }
  platform::IniFile text;
  map->WriteTo(text);
  std::cout << platform::Latin1ToUtf8(text.Text());
  return 0;
}

// Before anything runs: every macro to play exists, and a recording may
// take its name (a macro of that name goes only when the user says so).
bool CheckMacroNames(CCorvinaPersistentData& store, const cli::CliOptions& o, platform::UserInterface& ui,
                     bool* replace) {
  for (const cli::CliStep& step : o.steps) {
    if (step.kind == cli::CliStep::kMacro && !store.Find(ObjectKind::kMacro, step.value)) {
      std::cerr << "corvina-cli: "
                << platform::Latin1ToUtf8(platform::Format(keyboard_texts::kMacroNotFound, step.value.c_str())) << "\n";
      return false;
    }
  }
  *replace = false;
  if (o.recordMacro.empty()) return true;
  if (store.Find(ObjectKind::kMacro, o.recordMacro)) {
    *replace = ui.MessageBox(keyboard_texts::kMacroNameExists, keyboard_texts::kCaption, platform::Buttons::YesNo,
                             platform::Answer::No, platform::Icon::Question) == platform::Answer::Yes;
    if (!*replace)
      std::cerr << "corvina-cli: The macro \"" << platform::Latin1ToUtf8(o.recordMacro)
                << "\" is kept; record under another name, or replace it with --answer yes\n";
    return *replace;
  }
  if (const std::string problem = store.NewNameProblem(ObjectKind::kMacro, o.recordMacro); !problem.empty()) {
    std::cerr << "corvina-cli: " << platform::Latin1ToUtf8(problem) << "\n";
    return false;
  }
  return true;
}

// Stores what --record recorded. False when nothing could be stored.
bool SaveRecording(CCorvinaPersistentData& store, const cli::CliOptions& o, std::shared_ptr<CCorvinaMacro> macro,
                   bool replace, platform::UserInterface& ui) {
  if (!macro) {
    std::cerr << "corvina-cli: Nothing was recorded: the macro \"" << platform::Latin1ToUtf8(o.recordMacro)
              << "\" was not saved\n";
    return false;
  }
  if (replace) store.Delete(ObjectKind::kMacro, o.recordMacro, false);
  if (SaveNewMacro(store, std::move(macro), o.recordMacro, ui) != MacroNaming::kSaved) return false;
  if (!o.quiet) std::cerr << "Recorded the macro \"" << platform::Latin1ToUtf8(o.recordMacro) << "\"\n";
  return true;
}

int ListPrinters() {
  const auto destinations = printing::backends::ListDestinations();
  for (const auto& d : destinations) std::cout << (d.isDefault ? "* " : "  ") << d.name << "\n";
  if (destinations.empty()) std::cerr << "corvina-cli: no CUPS printers (file:PATH still prints to a file)\n";
  return 0;
}

int NothingToStart() {
  std::cerr << "corvina-cli: Nothing to start: name a session profile, a session file or a host, or mark "
               "profiles to connect at start-up.\nTry 'corvina-cli --help'.\n";
  return 2;
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
  if (o.listKeysKind) return ListKeys(*o.listKeysKind);
  if (o.listPrinters) return ListPrinters();
  if (!o.showProfile.empty()) return ShowProfile(o.showProfile);
  if (!o.settingsFile.empty()) platform::SetAppProfilePathOverride(o.settingsFile);

  // Declared before the loop: sessions the loop still holds may write to it.
  CSessionTrace trace(platform::SystemClock::Instance());
  platform::PollLoop loop;
  CliUserInterface ui(o.quiet, o.answers, o.answerTexts);
  platform::IniFile settings(platform::AppProfilePath());
  if (std::string error; !settings.Path().empty() && !settings.Load(&error))
    std::cerr << "corvina-cli: " << error << " (using defaults)\n";
  // Without a data folder there is no profile to start: nothing is made for
  // a run that does nothing.
  if (o.target.empty() && o.dataFolder.empty() && !o.listMaps && o.showMap.empty()) {
    struct stat st {};
    if (::stat(app::DataFolderFor(settings, {}).c_str(), &st) != 0 && errno == ENOENT) return NothingToStart();
  }
  TlsContexts tls(app::ReadTlsSettings(settings, o));

  // Host print jobs; reports come back through the loop.
  printing::CPrinterThreadSCS printer([&loop](std::function<void()> task) { loop.Post(std::move(task)); },
                                      printing::backends::DestinationSinks());
  bool printFailed = false;
  printer.onFinished = [&](const PrintJob& job, int state) {
    if (state == printing::kJobComplete) {
      if (!o.quiet) std::cerr << "Print job " << job.jobNumber << " printed\n";
      return;
    }
    printFailed = true;
    std::cerr << "corvina-cli: print job " << job.jobNumber << " failed (state " << state << ")"
              << (job.errorText.empty() ? "" : ": " + job.errorText) << "\n";
  };
  app::AppEnvironment environment{loop, ui, platform::SystemClock::Instance(), app::CreateEngine, &tls};
  environment.printer = &printer;
  app::CCorvinaApp application(environment, settings);
  CliObserver observer(o.fields, o.oia);
  application.SetObserver(&observer);
  application.onQuit = [&loop] { loop.Quit(); };
  app::AppOptions options;
  options.dataFolder = o.dataFolder;
  options.commandLine = o.target;
  options.overrides = o.overrides;
  options.headless = true;

  if (!o.traceFile.empty()) {
    bool binary = !o.traceText && settings.GetInt(kConfigurationSection, "TraceFileBinary", 1) != 0;
    if (std::string error; !trace.Open(o.traceFile, binary, &error)) {
      std::cerr << "corvina-cli: " << error << " " << o.traceFile << "\n";
      return 1;
    }
  }
  options.prepareCommandLineSession = [&observer, &trace, traced = !o.traceFile.empty(),
                                       recording = !o.recordMacro.empty()](CHostSession& s) {
    observer.commandLineSession = &s;
    if (traced) s.SetTrace(&trace);
    if (recording) s.StartRecording();
  };
  if (!application.Initialise(std::move(options))) return 1;
  // The setting is written with its default the first time a trace is made.
  if (!o.traceFile.empty())
    application.Store().UpdateAppProfile([](platform::IniFile& ini) {
      if (!ini.Get(kConfigurationSection, "TraceFileBinary")) ini.SetInt(kConfigurationSection, "TraceFileBinary", 1);
    });
  if (o.listMaps) return ListMaps(application.Store());
  if (!o.showMap.empty()) return ShowMap(application.Store(), o.showMap);
  bool replaceMacro = false;
  if (!CheckMacroNames(application.Store(), o, ui, &replaceMacro)) return 1;

  // Ctrl+C and SIGTERM end the sessions cleanly and still print the screens.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  int sigFd = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (sigFd >= 0) loop.WatchFd(sigFd, platform::kIoRead, [&](unsigned) { application.CloseProgram(false); });
  if (o.runSeconds)
    loop.AddTimer(std::chrono::milliseconds(static_cast<long long>(*o.runSeconds * 1000)), false,
                  [&] { application.CloseProgram(false); });

  // Keyboard steps are polled until the last has run; a step that fails
  // ends the run.
  cli::CActionRunner steps(o.steps, static_cast<std::int64_t>(o.stepTimeoutSeconds * 1000), o.quiet);
  steps.saveScreenAs = [&application](CHostSession& s, const std::string& file) {
    app::CSessionTable& table = application.Sessions();
    return app::SaveScreen(s, table.FilesOf(s), nullptr, true,
                           [&file](const app::FileChoice&) -> std::optional<std::string> { return file; },
                           application.Store().logExtension);
  };
  bool stepFailed = false, stepsOver = false;
  if (!steps.Empty())
    loop.AddTimer(std::chrono::milliseconds(20), true, [&] {
      if (stepsOver) return;
      std::string error;
      switch (steps.Poll(observer.commandLineSession, platform::SystemClock::Instance().MonotonicMs(), &error)) {
        case cli::CActionRunner::Result::kWaiting:
          return;
        case cli::CActionRunner::Result::kFailed:
          std::cerr << "corvina-cli: " << platform::Latin1ToUtf8(error) << "\n";
          stepFailed = true;
          break;
        case cli::CActionRunner::Result::kDone:
          break;
      }
      stepsOver = true;
      if (!stepFailed && o.runSeconds) return;  // --for decides when the run ends
      loop.Post([&] { application.CloseProgram(false); });
    });

  // Scripts wait at most --timeout for anything but their own pauses; the
  // run ends with the last script unless --for or steps keep it going.
  application.Scripts().waitLimit = std::chrono::milliseconds(static_cast<long long>(o.stepTimeoutSeconds * 1000));
  bool scriptRan = false, scriptFailed = false;
  application.onScriptEnded = [&](const std::string&, int result) {
    scriptRan = true;
    if (result != 1) scriptFailed = true;
    if (application.ScriptsRunning() || o.runSeconds || (!steps.Empty() && !stepsOver)) return;
    loop.Post([&] { application.CloseProgram(false); });
  };

  application.StartUp();
  loop.Run();
  application.CloseProgram(false);
  loop.RunOnce(std::chrono::milliseconds(0));  // the closed sessions go
  printer.Drain();  // the last jobs are printed before the program ends
  loop.RunOnce(std::chrono::milliseconds(0));  // and reported
  observer.Print(o.quiet);
  const bool recordFailed = !o.recordMacro.empty() &&
                            !SaveRecording(application.Store(), o, std::move(observer.recorded), replaceMacro, ui);
  if (sigFd >= 0) close(sigFd);
  if (observer.Started() == 0 && o.target.empty() && !scriptRan) return NothingToStart();
  return ui.ErrorShown() || stepFailed || recordFailed || printFailed || scriptFailed ||
                 (observer.Started() == 0 && !scriptRan)
             ? 1
             : 0;
}
