#include "TestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstdlib>
#include <thread>

#include "session/LineModeEngine.h"

namespace corvina::test {

LoopbackServer::LoopbackServer(platform::EventLoop& loop) : listener_(loop) {
  listener_.SetOwner([this](CMSocket& s, int event, int) {
    if (event != kSockAccepted) return;
    auto conn = std::make_unique<Conn>();
    conn->socket = s.TakeAccepted();
    Conn* c = conn.get();
    c->socket->SetOwner([c](CMSocket& sock, int ev, int) {
      c->events.push_back(ev);
      if (ev == kSockData) {
        auto in = sock.TakeInput();
        c->received.append(in.begin(), in.end());
      }
    });
    connections_.push_back(std::move(conn));
  });
  listener_.Listen("127.0.0.1", 0);
}

const std::string& LoopbackServer::Received() const {
  static const std::string none;
  return connections_.empty() ? none : connections_.back()->received;
}

const std::vector<int>& LoopbackServer::Events() const {
  static const std::vector<int> none;
  return connections_.empty() ? none : connections_.back()->events;
}

void LoopbackServer::Send(const std::string& bytes) {
  if (!connections_.empty()) connections_.back()->socket->Send(bytes.data(), bytes.size());
}

void LoopbackServer::CloseConnection() {
  if (!connections_.empty()) connections_.back()->socket->Close();
}

namespace {

class RecordingEngine final : public TerminalEngine {
 public:
  explicit RecordingEngine(EngineLog& log) : log_(log) {}
  void Start(CHostSession& s) override {
    session_ = &s;
    ++log_.starts;
    log_.modes.push_back(s.Mode());
  }
  void Stop() override { ++log_.stops; }
  void ProcessRecord(std::span<const std::uint8_t> r) override {
    log_.records.emplace_back(r.begin(), r.end());
  }
  void KeyFunction(int id) override { Key(kTypeAheadKey, id); }
  void TypeCharacter(int code) override { Key(kTypeAheadCharacter, code); }
  void MouseFunction(int id, int column, int row) override { log_.mouse.push_back({id, column, row}); }
  int ExtractText(int, int count, std::string& out, std::vector<std::uint8_t>*, unsigned) override {
    out.append(static_cast<std::size_t>(count), ' ');
    return count;
  }

 private:
  void Key(int kind, int value) {
    bool queueing = session_->LockReason() != 0 || (session_->TypeAheadPending() && !session_->Replaying());
    if (queueing) {
      if (!session_->QueueTypeAhead(kind, value)) session_->SetLockReason(4);
      return;
    }
    log_.keys.push_back(value);
  }
  EngineLog& log_;
};

}  // namespace

std::unique_ptr<TerminalEngine> MakeRecordingEngine(EngineLog& log) {
  return std::make_unique<RecordingEngine>(log);
}

CHostSession& TestFrame::Start(std::shared_ptr<CCorvinaSessionProfile> profile, TlsContexts* tls,
                               std::chrono::milliseconds handshake) {
  SessionEnvironment env{loop, ui, clock, *this,
                         [this](unsigned mode) -> std::unique_ptr<TerminalEngine> {
                           if (engines) return engines(mode);
                           if (lineModeEngine && IsVtFamily(mode)) return std::make_unique<CLineModeEngine>();
                           return MakeRecordingEngine(engineLog);
                         },
                         tls, handshake, &settings};
  env.dataFolder = dataFolder;
  env.store = store;
  session_ = std::make_unique<CHostSession>(1, std::move(profile), env);
  CHostSession* s = session_.get();  // stays alive until the next turn even when closed
  if (!s->Connect()) CloseSession(*s);
  return *s;
}

void TestFrame::CloseSession(CHostSession&) {
  ++closes;
  loop.DeleteLater(std::move(session_));
}

bool TestFrame::HasStatus(const std::string& text) const {
  for (const auto& s : ui.statuses)
    if (s == text) return true;
  return false;
}

bool TestFrame::HasBoxContaining(const std::string& text) const {
  for (const auto& b : ui.boxes)
    if (b.text.find(text) != std::string::npos) return true;
  return false;
}

std::shared_ptr<CCorvinaSessionProfile> ProfileFor(int port, unsigned kind) {
  auto p = std::make_shared<CCorvinaSessionProfile>();
  p->name = "test";
  p->host = "127.0.0.1";
  p->port = port;
  p->terminalType = static_cast<std::uint16_t>(kind);
  return p;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& outputFile,
                           const std::string& workDir) {
  int p[2];
  if (::pipe2(p, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(p[0], 0);
    int out = ::open(outputFile.empty() ? "/dev/null" : outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) ::_exit(126);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::close(p[0]);
  stdinFd_ = p[1];
}

ChildProcess::~ChildProcess() {
  if (stdinFd_ >= 0) ::close(stdinFd_);
  if (pid_ > 0 && status_ < 0) {
    ::kill(pid_, SIGTERM);
    if (Wait(5000) < 0) {  // it ignored the request
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
}

int ChildProcess::Wait(int ms) {
  if (pid_ <= 0) return -1;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (status_ < 0) {
    int st = 0;
    pid_t r = ::waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      break;
    }
    if (std::chrono::steady_clock::now() >= end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

TestHost::TestHost(const std::string& scenario, const std::vector<std::string>& options, int timeoutSeconds) {
  dir_ = MakeTempDir();
  std::string file = scenario;
  if (file.size() > 3 && file.compare(file.size() - 3, 3, ".py") == 0 && file[0] != '/')
    file = std::string(CORVINA_SOURCE_DIR) + "/tests/" + file;
  std::vector<std::string> argv = {"python3", std::string(CORVINA_SOURCE_DIR) + "/testhost/corvina_testhost.py",
                                   "--scenario", file, "--once", "--port-file", dir_ + "/port",
                                   "--log", dir_ + "/log", "--timeout", std::to_string(timeoutSeconds)};
  for (const auto& o : options) {
    argv.push_back("--option");
    argv.push_back(o);
  }
  process_ = std::make_unique<ChildProcess>(argv);
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < end) {
    std::ifstream in(dir_ + "/port");
    if (in >> port_ && port_ > 0) break;
    port_ = 0;
    if (process_->Wait(0) >= 0) break;  // it failed to start
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TestHost::~TestHost() {
  process_.reset();
  std::system(("rm -rf '" + dir_ + "'").c_str());
}

std::string TestHost::Log() const { return ReadFile(dir_ + "/log"); }

bool TestHost::FirstRecordStartsWith(const std::string& prefix) const {
  const std::string hex = ClientHex();
  const auto start = hex.rfind("FF FD 00 ");
  return start != std::string::npos && hex.compare(start + 9, prefix.size() + 1, prefix + " ") == 0 &&
         hex.find("FF EF", start) != std::string::npos;
}

std::string TestHost::ClientHex() const {
  std::istringstream in(Log());
  std::string line, all;
  while (std::getline(in, line)) {
    if (line.rfind("< ", 0) != 0) continue;
    std::string hex = line.substr(2, line.find("  #") == std::string::npos ? std::string::npos : line.find("  #") - 2);
    while (!hex.empty() && hex.back() == ' ') hex.pop_back();
    if (hex.empty()) continue;
    if (!all.empty()) all += ' ';
    all += hex;
  }
  return all;
}

bool HerculesHost::Installed() { return ::access("/usr/bin/hercules", X_OK) == 0; }

HerculesHost::HerculesHost(const std::vector<std::string>& devices) {
  dir_ = MakeTempDir();
  port_ = FreePort();
  std::ofstream config(dir_ + "/hercules.cnf");
  config << "CPUSERIAL 000611\nCPUMODEL 3090\nMAINSIZE 16\nNUMCPU 1\nARCHMODE S/370\nPANRATE SLOW\n"
         << "CNSLPORT 127.0.0.1:" << port_ << "\n";
  for (const auto& d : devices) config << d << "\n";
  config.close();
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"hercules", "-f", dir_ + "/hercules.cnf", "-d"}, dir_ + "/hercules.log", dir_);
  // Connect only once it is fully up; a probe connection would take a device.
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Log().find("HHCAO001I") == std::string::npos && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ready_ = Log().find("Waiting for console connection") != std::string::npos;
}

HerculesHost::~HerculesHost() {
  if (process_) ::kill(process_->Pid(), SIGKILL);  // it does not stop on SIGTERM
  process_.reset();
  std::system(("rm -rf '" + dir_ + "'").c_str());
}

std::string HerculesHost::Log() const { return ReadFile(dir_ + "/hercules.log"); }

std::string Hex(const std::string& s) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

void ChildProcess::Write(const std::string& bytes) {
  if (stdinFd_ >= 0) [[maybe_unused]] auto n = ::write(stdinFd_, bytes.data(), bytes.size());
}

int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

bool WaitForListener(int port, int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

Certificates::Certificates() {
  dir_ = MakeTempDir();
  std::ofstream(dir_ + "/ext.cnf") << "subjectAltName=IP:127.0.0.1\n";
  const auto run = [](const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0; };
  const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  ok_ = run("openssl req -x509" + ec + " -keyout " + dir_ + "/ca.key -out " + dir_ +
            "/ca.pem -days 2 -subj /CN=Corvina-Test-CA -addext basicConstraints=critical,CA:TRUE"
            " -addext keyUsage=keyCertSign,cRLSign") &&
        run("openssl req" + ec + " -keyout " + dir_ + "/server.key -out " + dir_ + "/server.csr -subj /CN=127.0.0.1") &&
        run("openssl x509 -req -in " + dir_ + "/server.csr -CA " + dir_ + "/ca.pem -CAkey " + dir_ +
            "/ca.key -CAcreateserial -out " + dir_ + "/server.pem -days 2 -extfile " + dir_ + "/ext.cnf");
}

Certificates::~Certificates() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string MakeTempDir() {
  std::string tmpl = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + std::string("/corvina-test-XXXXXX");
  char* d = ::mkdtemp(tmpl.data());
  return d ? std::string(d) : std::string();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace corvina::test
