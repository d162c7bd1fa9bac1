#include "lpd/LpdServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "lpd/LpdTexts.h"
#include "platform/FileIo.h"
#include "platform/Format.h"

namespace corvina::lpd {

CLpdConnection::CLpdConnection(CPrintQueues& queues, bool trusted, Send send, Log log)
    : queues_(queues), trusted_(trusted), send_(std::move(send)), log_(std::move(log)) {}

CLpdConnection::~CLpdConnection() {
  if (fd_ >= 0) ::close(fd_);
}

void CLpdConnection::LogF(const char* format, ...) {
  if (!log_) return;
  va_list args;
  va_start(args, format);
  const std::string line = platform::FormatV(format, args);
  va_end(args);
  log_(line);
}

bool CLpdConnection::Feed(const char* data, std::size_t size) {
  std::size_t i = 0;
  while (i < size && !closing_) {
    if (state_ == kCommand || state_ == kSubcommand) {
      const char c = data[i++];
      if (code_ < 0) {
        code_ = static_cast<unsigned char>(c);
        operand_.clear();
        lineTooLong_ = false;
        if (c != '\n') continue;
      } else if (c != '\n') {
        if (operand_.size() < kMaxLineLength) {
          operand_ += c;
          continue;
        }
        lineTooLong_ = true;  // refused at once, not when (if ever) the line ends
      }
      if (!LineDone()) closing_ = true;
      code_ = -1;
    } else if (needTerminator_) {
      ++i;  // the zero byte that ends a file, not examined
      needTerminator_ = false;
      FileDone();
    } else {
      const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(expected_ - received_, size - i));
      if (fd_ >= 0 && !writeFailed_) {
        if (const int err = platform::WriteAll(fd_, data + i, take)) {
          writeFailed_ = true;
          LogF((std::string(texts::kFileWriteFailure) + "%s").c_str(), filePath_.c_str(), std::strerror(err));
        }
      }
      received_ += take;
      i += take;
      if (received_ == expected_) needTerminator_ = true;
    }
  }
  return !closing_;
}

bool CLpdConnection::LineDone() {
  if (lineTooLong_) {
    LogF(texts::kLineTooLong, static_cast<int>(kMaxLineLength));
    Nak();
    return false;
  }
  if (state_ == kCommand) {
    Command();
    return state_ == kSubcommand;
  }
  Subcommand();
  return true;
}

void CLpdConnection::Command() {
  std::string_view rest;
  const std::string queue(FirstWord(operand_, &rest));
  const std::string list(rest);
  const bool validName = ValidQueueName(queue);
  if (!validName && code_ >= 1 && code_ <= 5) {
    LogF(texts::kBadQueueName, queue.substr(0, 64).c_str());
    Nak();
    return;
  }
  switch (code_) {
    case 1:
      LogF(texts::kPrintWaiting, queue.c_str());
      queues_.Resume(queue);
      send_(texts::kOk);
      return;
    case 2: {
      LogF(texts::kReceiveJob, queue.c_str());
      CPrintQueue* q = queues_.Find(queue);
      std::string error;
      if (!q && queues_.AllowNetworkQueues()) q = queues_.Define(queue, nullptr, error);
      if (!q) {
        LogF(texts::kRejected, queue.c_str());
        Nak();
        return;
      }
      queue_ = queue;
      folder_ = q->folder;
      state_ = kSubcommand;
      Ack();
      return;
    }
    case 3:
    case 4:
      LogF(texts::kQueueState, queue.c_str(), code_ == 3 ? "short" : "long", list.c_str());
      send_(queues_.Listing(queue));
      return;
    case 5: {
      std::string_view items;
      const std::string agent(FirstWord(list, &items));
      LogF(texts::kRemoveJobs, queue.c_str(), agent.c_str(), std::string(items).c_str());
      const bool privileged = trusted_ && strcasecmp(agent.c_str(), "root") == 0;
      queues_.Remove(queue, agent, privileged, items, send_);
      return;
    }
    default:
      Nak();
      return;
  }
}

void CLpdConnection::Subcommand() {
  std::string_view rest;
  const std::string count(FirstWord(operand_, &rest));
  const std::string name(FirstWord(rest));
  switch (code_) {
    case 1:
      LogF(texts::kAbortJob, queue_.c_str());
      DeleteJobFiles();
      Ack();
      return;
    case 2:
    case 3: {
      const bool control = code_ == 2;
      const long long shown = std::strtoll(count.c_str(), nullptr, 10);  // clamped, only shown
      LogF(control ? texts::kReceiveControl : texts::kReceiveData, queue_.c_str(), name.substr(0, 200).c_str(), shown);
      if (control && !controlName_.empty()) {
        HandOverJob();
        if (!queues_.Find(queue_)) {
          state_ = kCommand;
          Nak();
          return;
        }
      }
      if (!OpenSpoolFile(control, count, name)) {
        state_ = kCommand;
        Nak();
        closing_ = true;
        return;
      }
      state_ = control ? kControlBytes : kDataBytes;
      Ack();
      return;
    }
    default:
      Nak();
      return;
  }
}

bool CLpdConnection::OpenSpoolFile(bool control, const std::string& countText, const std::string& name) {
  if (!ValidSpoolName(name, control ? 'c' : 'd') ||
      (!controlName_.empty() && !control && JobSuffix(name) != JobSuffix(controlName_))) {
    LogF(texts::kBadFileName, queue_.c_str(), name.substr(0, 200).c_str());
    return false;
  }
  // The byte count of a control file is capped well below a job's.
  const auto count = ParseCount(countText, control ? 64 * 1024 : queues_.MaxJobSize());
  if (!count) {
    LogF(texts::kBadCount, queue_.c_str(), countText.substr(0, 40).c_str());
    return false;
  }
  if (!control && jobFiles_.size() >= static_cast<std::size_t>(kMaxDataFiles)) return false;
  const std::string path = folder_ + name + (control ? ".cfa" : ".dfa");
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    if (errno != EEXIST)
      LogF((std::string(texts::kFileOpenFailure) + "%s").c_str(), path.c_str(), std::strerror(errno));
    return false;
  }
  fileControl_ = control;
  filePath_ = path;
  writeFailed_ = false;
  expected_ = *count;
  received_ = 0;
  jobFiles_.push_back(path);
  if (control) controlName_.clear();
  return true;
}

void CLpdConnection::FileDone() {
  bool failed = writeFailed_;
  if (fd_ >= 0 && ::close(fd_) != 0 && !failed) {
    failed = true;
    LogF((std::string(texts::kFileWriteFailure) + "%s").c_str(), filePath_.c_str(), std::strerror(errno));
  }
  fd_ = -1;
  if (failed) {
    // A file that did not reach the disk is not acknowledged: the job goes.
    DeleteJobFiles();
    state_ = kSubcommand;
    Nak();
    return;
  }
  if (fileControl_) {
    const std::string base = filePath_.substr(folder_.size());
    controlName_ = base.substr(0, base.size() - 4);
  }
  state_ = kSubcommand;
  Ack();
}

void CLpdConnection::HandOverJob() {
  if (!queues_.HandOver(queue_, controlName_)) {
    // Not loadable (missing data files): nothing of it stays behind.
    for (const std::string& path : jobFiles_) ::unlink(path.c_str());
  }
  jobFiles_.clear();
  controlName_.clear();
}

void CLpdConnection::DeleteJobFiles() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  for (const std::string& path : jobFiles_) ::unlink(path.c_str());
  jobFiles_.clear();
  controlName_.clear();
}

void CLpdConnection::PeerClosed() {
  if (state_ == kControlBytes || state_ == kDataBytes) DeleteJobFiles();
  if (!controlName_.empty()) HandOverJob();
  else DeleteJobFiles();  // data files without a control file are no job
}

// The server.

struct CLpdServer::Connection {
  int fd = -1;
  TraceSource source;
  platform::WatchId watch = 0;
  std::string peer;
  int peerPort = 0;
  std::string out;
  std::chrono::steady_clock::time_point lastActivity;
  std::unique_ptr<CLpdConnection> protocol;
};

CLpdServer::CLpdServer(platform::EventLoop& loop, CPrintQueues& queues, ServerOptions options, Log log)
    : loop_(loop), queues_(queues), options_(std::move(options)), log_(std::move(log)) {}

CLpdServer::~CLpdServer() {
  while (!connections_.empty()) Close(connections_.begin()->first, false);
  if (sweepTimer_) loop_.CancelTimer(sweepTimer_);
  if (listenWatch_) loop_.RemoveWatch(listenWatch_);
  if (listenFd_ >= 0) ::close(listenFd_);
}

bool CLpdServer::Listen(std::string& error) {
  char text[300];
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(options_.port));
  const int one = 1;
  if (listenFd_ >= 0) ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (listenFd_ < 0 || ::inet_pton(AF_INET, options_.address.c_str(), &address.sin_addr) != 1 ||
      ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno == EADDRINUSE) std::snprintf(text, sizeof text, texts::kPortInUse, options_.port);
    else std::snprintf(text, sizeof text, texts::kCreateError, std::strerror(errno));
    error = text;
    log_({}, error);
    return false;
  }
  if (::listen(listenFd_, SOMAXCONN) != 0) {
    std::snprintf(text, sizeof text, texts::kListenError, std::strerror(errno));
    error = text;
    log_({}, error);
    return false;
  }
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  listenWatch_ = loop_.WatchFd(listenFd_, platform::kIoRead, [this](unsigned) { Accept(); });
  sweepTimer_ = loop_.AddTimer(std::chrono::milliseconds(500), true, [this] {
    const auto now = std::chrono::steady_clock::now();
    std::vector<int> stalled;
    for (auto& [fd, c] : connections_)
      if (now - c->lastActivity > options_.idleTimeout) stalled.push_back(fd);
    for (int fd : stalled) {
      log_({}, texts::kTimedOut);
      Close(fd, true);  // a stalled job is deleted like a dropped one
    }
  });
  return true;
}

void CLpdServer::Accept() {
  while (true) {
    if (static_cast<int>(connections_.size()) >= options_.maxConnections) {
      // Further clients wait in the listen backlog until a connection ends.
      if (!acceptPaused_) {
        char text[120];
        std::snprintf(text, sizeof text, texts::kTooManyConnections, static_cast<int>(connections_.size()));
        log_({}, text);
      }
      acceptPaused_ = true;
      loop_.UpdateWatch(listenWatch_, 0);
      return;
    }
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    auto c = std::make_unique<Connection>();
    c->fd = fd;
    char address[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
    c->peer = address;
    c->peerPort = ntohs(peer.sin_port);
    c->source.socket = fd;
    c->source.host = c->peer;
    c->source.peerIPv4 = peer.sin_addr.s_addr;
    c->source.peerPort = static_cast<std::uint16_t>(c->peerPort);
    c->lastActivity = std::chrono::steady_clock::now();
    const bool trusted = (ntohl(peer.sin_addr.s_addr) >> 24) == 127 ||
                         std::find(options_.trustedHosts.begin(), options_.trustedHosts.end(), c->peer) !=
                             options_.trustedHosts.end();
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, " Socket=%d (%s:%d)", fd, c->peer.c_str(), c->peerPort);
    Connection* raw = c.get();
    auto logLine = [this, p = std::string(prefix)](const std::string& line) { log_(p, line); };
    c->protocol = std::make_unique<CLpdConnection>(
        queues_, trusted, [this, raw](const std::string& bytes) { raw->out += bytes; Flush(*raw); }, logLine);
    c->watch = loop_.WatchFd(fd, platform::kIoRead, [this, raw](unsigned events) { OnIo(*raw, events); });
    connections_[fd] = std::move(c);
    logLine(texts::kAccepted);
  }
}

void CLpdServer::Flush(Connection& c) {
  while (!c.out.empty()) {
    const ssize_t sent = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
    if (sent <= 0) break;
    Trace(c, c.out.data(), static_cast<std::size_t>(sent), kTraceSent);
    c.out.erase(0, static_cast<std::size_t>(sent));
  }
  loop_.UpdateWatch(c.watch, c.out.empty() ? platform::kIoRead : platform::kIoRead | platform::kIoWrite);
}

void CLpdServer::OnIo(Connection& c, unsigned events) {
  const int fd = c.fd;
  if (events & platform::kIoWrite) {
    Flush(c);
    if (c.out.empty() && c.protocol->Closing()) {
      Close(fd, false);
      return;
    }
  }
  if (!(events & (platform::kIoRead | platform::kIoHangup | platform::kIoError))) return;
  if (c.protocol->Closing()) {
    // Waiting for the reply to drain; whatever else comes is ignored.
    char sink[4096];
    if (::recv(fd, sink, sizeof sink, 0) == 0) Close(fd, false);
    return;
  }
  char buffer[65536];
  const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (got <= 0) {
    Close(fd, true);
    return;
  }
  c.lastActivity = std::chrono::steady_clock::now();
  Trace(c, buffer, static_cast<std::size_t>(got), kTraceReceived);
  if (!c.protocol->Feed(buffer, static_cast<std::size_t>(got))) {
    Flush(c);
    if (c.out.empty()) Close(fd, false);
  }
}

void CLpdServer::Trace(const Connection& c, const char* bytes, std::size_t size, char kind) {
  if (!trace_) return;
  for (std::size_t at = 0; at < size; at += CSessionTrace::kMaxRecordData) {
    const std::size_t part = std::min(size - at, CSessionTrace::kMaxRecordData);
    trace_->Entry(c.source, {reinterpret_cast<const std::uint8_t*>(bytes) + at, part}, kind);
  }
}

void CLpdServer::Close(int fd, bool byPeer) {
  auto it = connections_.find(fd);
  if (it == connections_.end()) return;
  std::unique_ptr<Connection> c = std::move(it->second);
  connections_.erase(it);
  loop_.RemoveWatch(c->watch);
  if (byPeer) c->protocol->PeerClosed();
  char prefix[96];
  std::snprintf(prefix, sizeof prefix, " Socket=%d (%s:%d)", fd, c->peer.c_str(), c->peerPort);
  log_(prefix, texts::kDisconnected);
  ::close(fd);
  c->protocol.reset();
  if (acceptPaused_) {
    acceptPaused_ = false;
    loop_.UpdateWatch(listenWatch_, platform::kIoRead);
  }
}

}  // namespace corvina::lpd
