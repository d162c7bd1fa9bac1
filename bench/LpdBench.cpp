// LPD job intake: jobs per second that corvina-lpd takes from one client,
// small and 1 MiB, and the same for LPRng's lpd when it is installed (run
// in a mount namespace of its own with a configuration of the benchmark's).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "lpd/LpdServer.h"
#include "platform/PollLoop.h"

namespace fs = std::filesystem;
using namespace corvina;
using namespace corvina::lpd;

namespace {

bool Ack(int fd) {
  char c = 1;
  return ::recv(fd, &c, 1, 0) == 1 && c == 0;
}

// One job over one connection, as lpr sends it.
bool SendJob(int port, int number, const std::string& host, const std::string& data) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  char num[8];
  std::snprintf(num, sizeof num, "%03d", number % 1000);
  const std::string df = std::string("dfA") + num + host, cf = std::string("cfA") + num + host;
  const std::string control = "H" + host + "\nPbench\nNdata.txt\nf" + df + "\nU" + df + "\n";
  auto put = [&](const std::string& s) { return ::send(fd, s.data(), s.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(s.size()); };
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && put("\x02lp\n") && Ack(fd) &&
            put("\x02" + std::to_string(control.size()) + " " + cf + "\n") && Ack(fd) &&
            put(control + std::string(1, '\0')) && Ack(fd) &&
            put("\x03" + std::to_string(data.size()) + " " + df + "\n") && Ack(fd) && put(data + std::string(1, '\0')) &&
            Ack(fd);
  ::close(fd);
  return ok;
}

void RunIntake(benchmark::State& state, int port, const std::function<void()>& tidy) {
  const std::string data(static_cast<std::size_t>(state.range(0)), 'x');
  int n = 0;
  for (auto _ : state) {
    if (!SendJob(port, n, "bench" + std::to_string(n / 1000), data)) {
      state.SkipWithError("a job was not acknowledged");
      break;
    }
    if (++n % 200 == 0 && tidy) {
      state.PauseTiming();
      tidy();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(n);
  state.SetBytesProcessed(static_cast<int64_t>(n) * state.range(0));
}

void BM_CorvinaLpdIntake(benchmark::State& state) {
  const fs::path root = fs::temp_directory_path() / ("lpdbench-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root);
  platform::IniFile ini;
  platform::PollLoop loop;
  {
    CPrintQueues queues(ini, root.string() + "/", nullptr, nullptr);
    QueueSettings settings;
    settings.options |= kOptHold;  // intake only: nothing prints
    std::string error;
    queues.Define("lp", &settings, error);
    ServerOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    CLpdServer server(loop, queues, options, [](const std::string&, const std::string&) {});
    server.Listen(error);
    std::atomic<bool> running{true};
    std::thread thread([&] { while (running) loop.RunOnce(std::chrono::milliseconds(20)); });
    RunIntake(state, server.Port(), [&] {
      std::promise<void> done;
      loop.Post([&] { queues.Remove("lp", "root", true, "-", [](const std::string&) {}); done.set_value(); });
      done.get_future().wait();
    });
    running = false;
    thread.join();
  }
  fs::remove_all(root);
}
BENCHMARK(BM_CorvinaLpdIntake)->Arg(100)->Arg(1 << 20)->UseRealTime();

void BM_LprngLpdIntake(benchmark::State& state) {
  if (::access("/usr/sbin/lpd", X_OK) != 0 || ::geteuid() != 0) {
    state.SkipWithError("LPRng's lpd is not installed, or not root");
    return;
  }
  const fs::path root = fs::temp_directory_path() / ("lprngbench-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "lp");
  fs::permissions(root, fs::perms::all);
  fs::permissions(root / "lp", fs::perms::all);
  const int port = 47000 + ::getpid() % 2000;
  std::ofstream(root / "lpd.conf") << "lpd_port=" << port << "\nlpd_listen_port=" << port << "\nprintcap_path=" << (root / "printcap").string()
                                   << "\nlpd_printcap_path=" << (root / "printcap").string() << "\nlockfile=" << (root / "lpd.lock").string()
                                   << "\nperms_path=" << (root / "perms").string() << "\n";
  std::ofstream(root / "printcap") << "lp:sd=" << (root / "lp").string() << ":lp=/dev/null:sh:mx=0\n";
  std::ofstream(root / "perms") << "DEFAULT ACCEPT\n";
  const pid_t child = ::fork();
  if (child == 0) {
    const std::string script = "mount --bind " + (root / "lpd.conf").string() + " /etc/lprng/lpd.conf && exec lpd -F";
    ::execlp("unshare", "unshare", "-m", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    up = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
  }
  if (up) RunIntake(state, port, nullptr);
  else state.SkipWithError("LPRng's lpd did not start");
  ::kill(child, SIGTERM);
  ::waitpid(child, nullptr, 0);
  // lpd forks its servers; they leave with the listening socket's owner.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  fs::remove_all(root);
}
BENCHMARK(BM_LprngLpdIntake)->Arg(100)->Arg(1 << 20)->UseRealTime();

}  // namespace
