#include "lpd/LpdControl.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "lpd/LpdTexts.h"
#include "platform/LocalSocket.h"

namespace corvina::lpd {

namespace {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

std::string ListJobs(const CPrintQueues& queues) {
  std::string out = "Printer\tOwner\tJob\tFiles\tTotal Size\tCreated On\tStatus\n";
  for (const CPrintJob* job : queues.JobList()) {
    char created[32];
    std::tm local{};
    localtime_r(&job->created, &local);
    std::strftime(created, sizeof created, "%Y-%m-%d %H:%M:%S", &local);
    out += job->queue->name + "\t" + job->control.owner + "\t" + std::to_string(job->number) + "\t" +
           job->FileNames() + "\t" + std::to_string(job->TotalSize()) + "\t" + created + "\t" +
           texts::kStatus[job->status] + "\n";
  }
  return out;
}

}  // namespace

struct CLpdControl::Client {
  platform::WatchId watch = 0;
  std::string in;
};

CLpdControl::CLpdControl(platform::EventLoop& loop, CPrintQueues& queues, TraceSwitch trace)
    : loop_(loop), queues_(queues), trace_(std::move(trace)) {}

CLpdControl::~CLpdControl() {
  while (!clients_.empty()) Close(clients_.begin()->first);
  if (watch_) loop_.RemoveWatch(watch_);
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(path_.c_str());
  }
}

bool CLpdControl::Listen(const std::string& path, std::string& error) {
  // A socket file left by a crash would make every start fail; one that
  // still answers belongs to a running server.
  std::string ignored;
  if (ControlRequest(path, "ping", ignored)) {
    error = "another corvina-lpd is running (" + path + ")";
    return false;
  }
  std::string cause;
  const mode_t old = ::umask(0077);
  fd_ = platform::ListenLocal(path, SOCK_STREAM, 16, &cause);
  ::umask(old);
  if (fd_ < 0) {
    error = "cannot listen on " + path + ": " + cause;
    return false;
  }
  path_ = path;
  watch_ = loop_.WatchFd(fd_, platform::kIoRead, [this](unsigned) { Accept(); });
  return true;
}

void CLpdControl::Accept() {
  while (true) {
    const int fd = platform::AcceptOwnUser(fd_, true);
    if (fd < 0) return;
    if (clients_.size() >= 16) {
      ::close(fd);
      continue;
    }
    auto client = std::make_unique<Client>();
    client->watch = loop_.WatchFd(fd, platform::kIoRead, [this, fd](unsigned) { OnIo(fd); });
    clients_[fd] = std::move(client);
  }
}

void CLpdControl::OnIo(int fd) {
  Client& client = *clients_.at(fd);
  char buffer[4096];
  const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (got <= 0 || client.in.size() + static_cast<std::size_t>(got) > 8192) {
    Close(fd);
    return;
  }
  client.in.append(buffer, static_cast<std::size_t>(got));
  const std::size_t eol = client.in.find('\n');
  if (eol == std::string::npos) return;
  const std::string reply = Execute(client.in.substr(0, eol));
  // Replies are small; a client that does not read them loses them.
  (void)!::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  Close(fd);
}

void CLpdControl::Close(int fd) {
  auto it = clients_.find(fd);
  if (it == clients_.end()) return;
  loop_.RemoveWatch(it->second->watch);
  ::close(fd);
  clients_.erase(it);
}

std::string CLpdControl::Execute(const std::string& request) {
  const std::vector<std::string> f = Fields(request);
  const std::string& verb = f[0];
  auto queue = [&]() -> CPrintQueue* { return f.size() > 1 ? queues_.Find(f[1]) : nullptr; };
  auto noQueue = [&] { return "error: no queue " + (f.size() > 1 ? f[1] : std::string()) + "\n"; };
  if (verb == "ping") return "ok\n";
  if (verb == "list") return "ok\n" + ListJobs(queues_);
  if ((verb == "pause" || verb == "resume") && f.size() == 2) {
    if (!queue()) return noQueue();
    if (verb == "pause") queues_.Pause(f[1]);
    else queues_.Resume(f[1]);
    return "ok\n";
  }
  if (verb == "remove" && f.size() == 3) {
    if (!queue()) return noQueue();
    std::string reply;
    queues_.Remove(f[1], "root", true, f[2], [&](const std::string& text) { reply += text; });
    if (reply.empty()) return "error: nothing to remove\n";
    return "ok\n" + reply;
  }
  if (verb == "print" && f.size() == 3) {
    if (!queue()) return noQueue();
    char* end = nullptr;
    const long number = std::strtol(f[2].c_str(), &end, 10);
    if (*end || number < 1 || number > 999 || !queues_.Reprint(f[1], static_cast<int>(number)))
      return "error: no job " + f[2] + " to print in " + f[1] + "\n";
    return "ok\n";
  }
  if (verb == "define" && f.size() == 4) {
    QueueSettings settings;
    if (const CPrintQueue* q = queue()) settings = q->settings;
    if (!f[2].empty()) settings.printerName = f[2];
    if (!f[3].empty()) {
      char* end = nullptr;
      const unsigned long options = std::strtoul(f[3].c_str(), &end, 0);
      if (*end || options > 0x1FF) return "error: options must be a number of the option bits (0 to 0x1FF)\n";
      settings.options = static_cast<unsigned>(options);
    }
    std::string error;
    if (!queues_.Define(f[1], &settings, error)) return "error: " + error + "\n";
    return "ok\n";
  }
  if (verb == "trace" && f.size() == 2) {
    const std::string error = trace_ ? trace_(f[1]) : std::string("tracing is not available");
    return error.empty() ? "ok\n" : "error: " + error + "\n";
  }
  return "error: unknown request\n";
}

bool ControlRequest(const std::string& path, const std::string& request, std::string& reply) {
  sockaddr_un address;
  if (!platform::LocalAddress(path, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  const std::string line = request + "\n";
  ok = ok && ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
  reply.clear();
  char buffer[4096];
  pollfd p{fd, POLLIN, 0};
  while (ok && ::poll(&p, 1, 10000) == 1) {
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return ok && !reply.empty();
}

}  // namespace corvina::lpd
