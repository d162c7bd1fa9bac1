// corvina-lpd: the LPD print server, and the client of its control socket.
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/time.h>

#include "lpd/LpdControl.h"
#include "lpd/LpdServer.h"
#include "lpd/LpdTexts.h"
#include "platform/AppProfile.h"
#include "platform/Clock.h"
#include "platform/FileIo.h"
#include "platform/PollLoop.h"
#include "platform/UserFolders.h"
#include "printing/PrinterThread.h"
#include "printing/backends/Backends.h"

using namespace corvina;
using namespace corvina::lpd;

namespace {

constexpr char kUsage[] =
    "Usage: corvina-lpd [OPTIONS]                 run the server in the foreground\n"
    "       corvina-lpd [OPTIONS] REQUEST         ask the running server\n"
    "\n"
    "Server options:\n"
    "  --port N            listening port (default: the Port setting, else 515)\n"
    "  --address A         listening IPv4 address (default 0.0.0.0)\n"
    "  --settings FILE     settings file\n"
    "  --data-dir DIR      folder of the log file and of the default spool folders\n"
    "  --control PATH      control socket\n"
    "  --trust HOST        an address whose agent \"root\" may remove any job (repeatable)\n"
    "Requests:\n"
    "  --pause QUEUE, --resume QUEUE   pause or resume printing\n"
    "  --remove QUEUE JOB              remove a job (a number, a user or -)\n"
    "  --print QUEUE JOB               print a held, paused or failed job (again)\n"
    "  --list [--sort COLUMN] [--reverse]\n"
    "                                  sorted by printer, owner, job, files, size, created\n"
    "                                  (the default) or status\n"
    "  --queues                        the queue names\n"
    "  --show QUEUE                    a queue's setup\n"
    "  --define QUEUE [SETTINGS]       create or change a queue\n"
    "  --new QUEUE [SETTINGS]          create a queue that does not exist yet\n"
    "  --delete QUEUE [--yes]          delete a queue without jobs (asks unless --yes)\n"
    "Settings of --define and --new:\n"
    "  --printer DEST                  a CUPS destination or file:PATH (empty: the default)\n"
    "  --options BITS                  1 SCS, 2 no banner, 8 hold after printing, 16 pause,\n"
    "                                  32 hold, 64 CR/LF for LF, 128 compress to fit\n"
    "  --margins L,T,R,B               inches (0.250), or millimetres in a metric locale\n"
    "  --orientation portrait|landscape\n"
    "  --rows N, --columns N           lines per page (0-999, 0: 66) and line width (1-999)\n"
    "  --font FACE,POINTS[,COLOUR]     the print font\n"
    "  --spool-folder DIR              the queue's spool folder (empty: the default)\n"
    "  --code-page NAME                the host code page of an SCS queue\n"
    "  --trace FILE                    start the socket trace; --trace '' stops it\n"
    "  --help                          this text\n";

struct Paths {
  std::string settings, data, control;
};

Paths DefaultPaths() {
  Paths p;
  if (::geteuid() == 0) {
    p.settings = "/etc/corvina-lpd/corvina-lpd.ini";
    p.data = "/var/spool/corvina-lpd/";
    p.control = "/run/corvina-lpd/control";
    return p;
  }
  const std::string profile = platform::AppProfilePath();
  p.settings = profile.empty() ? std::string() : profile.substr(0, profile.rfind('/') + 1) + "Lpd.ini";
  p.data = platform::DefaultDataFolder();
  p.control = platform::RuntimeFolderPath() + "lpd.sock";
  return p;
}

std::string Timestamp() {
  timeval now{};
  ::gettimeofday(&now, nullptr);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  char text[40];
  std::snprintf(text, sizeof text, "%.4d-%.2d-%.2d %.2d:%.2d:%.2d.%.3d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(now.tv_usec / 1000));
  return text;
}

// Tells a service manager that supervises the server (NOTIFY_SOCKET, a path
// or an abstract "@name") how it stands: "READY=1", "STOPPING=1".
void NotifyServiceManager(const char* state) {
  const char* socketPath = std::getenv("NOTIFY_SOCKET");
  sockaddr_un address{};
  const std::size_t length = socketPath ? std::strlen(socketPath) : 0;
  if (length < 2 || length >= sizeof address.sun_path || (socketPath[0] != '/' && socketPath[0] != '@')) return;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketPath, length);
  if (address.sun_path[0] == '@') address.sun_path[0] = '\0';
  const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length + (socketPath[0] == '/'));
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  [[maybe_unused]] auto n =
      ::sendto(fd, state, std::strlen(state), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address), size);
  ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  Paths paths = DefaultPaths();
  int port = -1;
  std::string address = "0.0.0.0";
  std::vector<std::string> trusted;
  std::string request, sortColumn, deleteName;
  std::vector<std::string> settings;
  bool reverse = false, yes = false;
  auto need = [&](int& i, int count) {
    if (i + count >= argc) {
      std::fprintf(stderr, "corvina-lpd: %s needs %d argument%s\n%s", argv[i], count, count > 1 ? "s" : "", kUsage);
      std::exit(2);
    }
  };
  static constexpr struct {
    const char* option;
    const char* key;
  } kSettings[] = {{"--printer", "printer"}, {"--options", "options"},         {"--margins", "margins"},
                   {"--orientation", "orientation"}, {"--rows", "rows"},     {"--columns", "columns"},
                   {"--font", "font"},       {"--spool-folder", "spool"},    {"--code-page", "codepage"}};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto* setting = std::find_if(std::begin(kSettings), std::end(kSettings),
                                       [&](const auto& s) { return a == s.option; });
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--port") {
      need(i, 1);
      char* end = nullptr;
      const long value = std::strtol(argv[++i], &end, 10);
      if (*end || value < 0 || value > 65535) {
        std::fprintf(stderr, "corvina-lpd: bad port %s\n", argv[i]);
        return 2;
      }
      port = static_cast<int>(value);
    } else if (a == "--address") { need(i, 1); address = argv[++i];
    } else if (a == "--settings") { need(i, 1); paths.settings = argv[++i];
    } else if (a == "--data-dir") {
      need(i, 1);
      paths.data = argv[++i];
      if (paths.data.empty() || paths.data.back() != '/') paths.data += '/';
    } else if (a == "--control") { need(i, 1); paths.control = argv[++i];
    } else if (a == "--trust") { need(i, 1); trusted.push_back(argv[++i]);
    } else if (a == "--list") { request = "list";
    } else if (a == "--sort") { need(i, 1); sortColumn = argv[++i];
    } else if (a == "--reverse") { reverse = true;
    } else if (a == "--queues") { request = "queues";
    } else if (a == "--show") { need(i, 1); request = std::string("show\t") + argv[++i];
    } else if (a == "--pause" || a == "--resume") { need(i, 1); request = a.substr(2) + "\t" + argv[++i];
    } else if (a == "--remove") { need(i, 2); request = std::string("remove\t") + argv[i + 1] + "\t" + argv[i + 2]; i += 2;
    } else if (a == "--print") { need(i, 2); request = std::string("print\t") + argv[i + 1] + "\t" + argv[i + 2]; i += 2;
    } else if (a == "--define" || a == "--new") { need(i, 1); request = a.substr(2) + "\t" + argv[++i];
    } else if (a == "--delete") { need(i, 1); deleteName = argv[++i]; request = "delete\t" + deleteName;
    } else if (a == "--yes") { yes = true;
    } else if (setting != std::end(kSettings)) { need(i, 1); settings.push_back(std::string(setting->key) + "=" + argv[++i]);
    } else if (a == "--trace") { need(i, 1); request = std::string("trace\t") + argv[++i];
    } else {
      std::fprintf(stderr, "corvina-lpd: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  const bool defining = request.rfind("define\t", 0) == 0 || request.rfind("new\t", 0) == 0;
  if ((!settings.empty() && !defining) || ((!sortColumn.empty() || reverse) && request != "list") ||
      (yes && deleteName.empty())) {
    std::fprintf(stderr, "corvina-lpd: settings go with --define or --new, --sort and --reverse with --list, "
                         "--yes with --delete\n");
    return 2;
  }
  for (const std::string& field : settings)
    if (std::any_of(field.begin(), field.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
      std::fprintf(stderr, "corvina-lpd: a setting may not hold control characters: %s\n", field.c_str());
      return 2;
    }
  for (const std::string& field : settings) request += "\t" + field;
  if (request == "list" && (!sortColumn.empty() || reverse))
    request += "\t" + (sortColumn.empty() ? std::string("created") : sortColumn) + (reverse ? "\treverse" : "");
  if (!deleteName.empty() && !yes) {
    if (!::isatty(STDIN_FILENO)) {
      std::fprintf(stderr, "corvina-lpd: the %s queue is not deleted: confirm with --yes\n", deleteName.c_str());
      return 1;
    }
    std::printf(texts::kConfirmDelete, deleteName.c_str());
    std::printf(" [y/N] ");
    std::fflush(stdout);
    char answer[16] = "";
    if (!std::fgets(answer, sizeof answer, stdin) || (answer[0] != 'y' && answer[0] != 'Y')) return 1;
  }

  if (!request.empty()) {
    std::string reply;
    if (!ControlRequest(paths.control, request, reply)) {
      std::fprintf(stderr, "corvina-lpd: no server answers on %s\n", paths.control.c_str());
      return 1;
    }
    const std::size_t eol = reply.find('\n');
    const std::string status = reply.substr(0, eol);
    std::fputs(eol == std::string::npos ? "" : reply.c_str() + eol + 1, stdout);
    if (status != "ok") {
      std::fprintf(stderr, "corvina-lpd: %s\n", status.rfind("error: ", 0) == 0 ? status.c_str() + 7 : status.c_str());
      return 1;
    }
    return 0;
  }

  // The server.
  ::signal(SIGPIPE, SIG_IGN);
  if (paths.data.empty() || platform::MakeFolders(paths.data) != 0) {
    std::fprintf(stderr, "corvina-lpd: cannot use the data folder %s\n", paths.data.c_str());
    return 1;
  }
  platform::IniFile ini(paths.settings);
  std::string error;
  if (!ini.Load(&error)) {
    std::fprintf(stderr, "corvina-lpd: %s\n", error.c_str());
    return 1;
  }
  const auto logSetting = ini.Get("Configuration", "LogFileName");
  std::string logFormat = logSetting ? *logSetting : texts::kDefaultLogFile;
  if (!logFormat.empty() && logFormat.find('/') == std::string::npos) logFormat = paths.data + logFormat;
  // A format with anything but one %s would read past its argument.
  if (logFormat.find('%') != std::string::npos &&
      (logFormat.find("%s") != logFormat.rfind('%') || logFormat.find("%s") == std::string::npos))
    logFormat.clear();

  CSessionTrace trace(platform::SystemClock::Instance());
  auto log = [&](const std::string& socket, const std::string& message) {
    const std::string stamp = Timestamp();
    std::string line = stamp + socket + ": " + message;
    if (line.size() > 600) line.resize(600);
    std::fprintf(stderr, "%s\n", line.c_str());
    if (trace.IsOpen()) trace.Text(TraceSource{}, line);
    if (logFormat.empty()) return;
    char file[4200];
    std::snprintf(file, sizeof file, logFormat.c_str(), stamp.substr(0, 10).c_str());
    if (std::FILE* f = std::fopen(file, "ab")) {
      std::fprintf(f, "%s\r\n", line.c_str());
      std::fclose(f);
    }
  };

  platform::PollLoop loop;
  printing::CPrinterThreadSCS printer([&loop](std::function<void()> task) { loop.Post(std::move(task)); },
                                      printing::backends::DestinationSinks());
  CPrintQueues queues(ini, paths.data, [&](const std::string& line) { log({}, line); }, &printer);
  ::setlocale(LC_MEASUREMENT, "");
  queues.SetMetricUnits(LocaleMeasuresInMetric());
  queues.Start();
  if (queues.Names().empty()) {
    QueueSettings settings;
    if (!queues.Define("lp", &settings, error)) log({}, error);
  }
  ServerOptions serverOptions;
  serverOptions.address = address;
  serverOptions.port = port >= 0 ? port : static_cast<int>(ini.GetInt("Settings", "Port", 515));
  serverOptions.trustedHosts = trusted;
  CLpdServer server(loop, queues, serverOptions, log);
  if (!server.Listen(error)) std::fprintf(stderr, "corvina-lpd: %s\n", error.c_str());
  else log({}, "Listening on " + address + ":" + std::to_string(server.Port()));

  CLpdControl control(loop, queues, [&](const std::string& path) -> std::string {
    if (path.empty()) {
      server.SetTrace(nullptr);
      trace.Close();
      return {};
    }
    std::string traceError;
    if (!trace.Open(path, false, &traceError)) return texts::kTraceOpenFailed;
    server.SetTrace(&trace);
    return {};
  });
  std::string cause;
  const std::string controlFolder = paths.control.substr(0, paths.control.rfind('/') + 1);
  // Owner-only: the folder is private and the server checks each peer's user.
  if (platform::MakeFolders(controlFolder) != 0 || !platform::PreparePrivateFolder(controlFolder, &cause))
    log({}, "control socket folder " + controlFolder + ": " + cause);
  else if (!control.Listen(paths.control, error))
    log({}, error);

  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGHUP);
  ::sigprocmask(SIG_BLOCK, &stop, nullptr);
  const int signals = ::signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC);
  loop.WatchFd(signals, platform::kIoRead, [&](unsigned) { loop.Quit(); });
  NotifyServiceManager("READY=1");
  loop.Run();
  NotifyServiceManager("STOPPING=1");
  printer.Stop();
  return 0;
}
