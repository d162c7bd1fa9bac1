#include "session/MSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include "platform/WsaErrors.h"

namespace corvina {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
// Bytes taken per read notification, so one busy host cannot starve the loop.
constexpr std::size_t kReadPerNotification = 1024 * 1024;

const char* const kSslErrorNames[] = {
    "SSL_ERROR_SSL",     "SSL_ERROR_WANT_READ",    "SSL_ERROR_WANT_WRITE",
    "SSL_ERROR_WANT_X509_LOOKUP", "SSL_ERROR_SYSCALL", "SSL_ERROR_ZERO_RETURN",
    "SSL_ERROR_WANT_CONNECT",
};

int LastSocketError() { return platform::WsaFromErrno(errno); }

void IgnoreSigpipeOnce() {
  static const bool done = [] {
    std::signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)done;
}

int MakeSocket(int family) {
  int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd >= 0 && family != AF_UNIX) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  return fd;
}

}  // namespace

std::string CMSocket::ErrorText(int code) {
  const char* name = nullptr;
  if (code >= 1 && code <= 7)
    name = kSslErrorNames[code - 1];
  else if (code >= 10000 && code <= 10101)
    name = platform::WsaName(code);
  if (name == nullptr) name = "WSAEUNDEFINED";
  return "Socket error " + std::to_string(code) + ": " + name;
}

CMSocket::CMSocket(platform::EventLoop& loop) : loop_(loop) { IgnoreSigpipeOnce(); }

struct CMSocket::Lookup {
  std::mutex mutex;
  platform::EventLoop* loop;  // null once cancelled
};

CMSocket::~CMSocket() {
  CancelLookup();
  ReleaseFd();
}

void CMSocket::CancelLookup() {
  if (!lookup_) return;
  std::lock_guard lock(lookup_->mutex);
  lookup_->loop = nullptr;
  lookup_.reset();
}

void CMSocket::Notify(int event, int value) {
  if (owner_) owner_(*this, event, value);
}

void CMSocket::WatchFor(bool read, bool write) {
  if (fd_ < 0) return;
  unsigned ev = (read ? platform::kIoRead : 0u) | (write ? platform::kIoWrite : 0u);
  if (watch_ == 0)
    watch_ = loop_.WatchFd(fd_, ev, [this](unsigned got) { OnReady(got); });
  else
    loop_.UpdateWatch(watch_, ev);
}

void CMSocket::ReleaseFd() {
  if (watch_ != 0) {
    loop_.RemoveWatch(watch_);
    watch_ = 0;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

bool CMSocket::Connect(const std::string& host, int port, int* error) {
  if (error) *error = 0;
  CancelLookup();
  if (fd_ >= 0) Close(true);
  failure_ = ConnectFailure::None;
  output_.clear();
  outputStart_ = 0;
  input_.clear();
  addrs_.clear();
  nextAddr_ = 0;
  if (port < 1 || port > 65535) {
    failure_ = ConnectFailure::Lookup;
    if (error) *error = platform::kWsaHostNotFound;
    return false;
  }
  state_ = kSocketConnecting;
  Notify(kSockConnecting, 0);
  if (state_ != kSocketConnecting) return false;  // owner closed us

  // Numeric addresses need no lookup; names are looked up on a worker thread
  // so the user-interface thread never waits on the network.
  in6_addr a6;
  in_addr a4;
  if (::inet_pton(AF_INET, host.c_str(), &a4) == 1 || ::inet_pton(AF_INET6, host.c_str(), &a6) == 1) {
    OnResolved(Resolve(host, port));
    return true;
  }
  lookup_ = std::make_shared<Lookup>();
  lookup_->loop = &loop_;
  std::thread([pending = lookup_, this, host, port]() {
    Resolved resolved = Resolve(host, port);
    std::lock_guard lock(pending->mutex);
    if (pending->loop == nullptr) return;
    pending->loop->Post([pending, this, resolved = std::move(resolved)]() mutable {
      // Runs on the loop thread, where cancelling happens too.
      if (pending->loop == nullptr) return;
      lookup_.reset();
      OnResolved(std::move(resolved));
    });
  }).detach();
  return true;
}

CMSocket::Resolved CMSocket::Resolve(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_ADDRCONFIG;
  addrinfo* res = nullptr;
  std::string service = std::to_string(port);
  int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
  Resolved r;
  if (rc == EAI_SYSTEM)
    r.error = platform::WsaFromErrno(errno);
  else if (rc == EAI_AGAIN)
    r.error = platform::kWsaTryAgain;
  else if (rc != 0)
    r.error = platform::kWsaHostNotFound;
  for (addrinfo* p = res; p != nullptr; p = p->ai_next) {
    if (p->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Address a{};
    std::memcpy(&a.storage, p->ai_addr, p->ai_addrlen);
    a.length = p->ai_addrlen;
    r.addresses.push_back(a);
  }
  if (res) ::freeaddrinfo(res);
  if (r.error == 0 && r.addresses.empty()) r.error = platform::kWsaHostNotFound;
  return r;
}

void CMSocket::OnResolved(Resolved resolved) {
  if (resolved.error != 0) {
    failure_ = ConnectFailure::Lookup;
    state_ = kSocketClosed;
    Notify(kSockConnected, resolved.error);
    return;
  }
  addrs_ = std::move(resolved.addresses);
  nextAddr_ = 0;
  StartAttempt();
}

// Tries the next address; the last failure is the one reported.
void CMSocket::StartAttempt() {
  int lastError = platform::kWsaHostNotFound;
  failure_ = ConnectFailure::Connect;
  while (nextAddr_ < addrs_.size()) {
    const sockaddr_storage& addr = addrs_[nextAddr_].storage;
    socklen_t len = addrs_[nextAddr_].length;
    ++nextAddr_;
    fd_ = MakeSocket(addr.ss_family);
    if (fd_ < 0) {
      lastError = LastSocketError();
      failure_ = ConnectFailure::CreateSocket;
      continue;
    }
    failure_ = ConnectFailure::Connect;
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), len) == 0) {
      ConnectComplete(0);
      return;
    }
    if (errno == EINPROGRESS) {
      WatchFor(false, true);
      return;
    }
    lastError = LastSocketError();
    failure_ = ConnectFailure::Unreachable;
    ReleaseFd();
  }
  state_ = kSocketClosed;
  // Reported on a later turn of the loop (as a refusal that took time would
  // be), so that an owner never sees the failure inside its own Connect call.
  CancelLookup();
  lookup_ = std::make_shared<Lookup>();
  lookup_->loop = &loop_;
  loop_.Post([pending = lookup_, this, lastError] {
    if (pending->loop == nullptr) return;  // closed or destroyed meanwhile
    lookup_.reset();
    Notify(kSockConnected, lastError);
  });
}

void CMSocket::ConnectComplete(int error) {
  if (error != 0) {
    ReleaseFd();
    if (nextAddr_ < addrs_.size()) {
      StartAttempt();
      return;
    }
    state_ = kSocketClosed;
    Notify(kSockConnected, error);
    return;
  }
  addrs_.clear();
  failure_ = ConnectFailure::None;
  state_ = kSocketConnected;
  WatchFor(true, OutSize() > 0);
  TcpConnected();
  Notify(kSockConnected, 0);
}

bool CMSocket::Listen(const std::string& address, int port, int backlog, int* error) {
  auto fail = [&](int code) {
    if (error) *error = code;
    ReleaseFd();
    return false;
  };
  if (fd_ >= 0) Close(true);
  sockaddr_storage ss{};
  socklen_t len = 0;
  auto* s4 = reinterpret_cast<sockaddr_in*>(&ss);
  auto* s6 = reinterpret_cast<sockaddr_in6*>(&ss);
  if (port < 0 || port > 65535) return fail(10022);
  if (::inet_pton(AF_INET, address.c_str(), &s4->sin_addr) == 1) {
    s4->sin_family = AF_INET;
    s4->sin_port = htons(static_cast<std::uint16_t>(port));
    len = sizeof *s4;
  } else if (::inet_pton(AF_INET6, address.c_str(), &s6->sin6_addr) == 1) {
    s6->sin6_family = AF_INET6;
    s6->sin6_port = htons(static_cast<std::uint16_t>(port));
    len = sizeof *s6;
  } else {
    return fail(10022);
  }
  fd_ = MakeSocket(ss.ss_family);
  if (fd_ < 0) return fail(LastSocketError());
  int one = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&ss), len) != 0) return fail(LastSocketError());
  if (::listen(fd_, backlog) != 0) return fail(LastSocketError());
  state_ = kSocketListening;
  WatchFor(true, false);
  if (error) *error = 0;
  return true;
}

int CMSocket::LocalPort() const {
  sockaddr_storage ss{};
  socklen_t len = sizeof ss;
  if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&ss), &len) != 0) return 0;
  if (ss.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
  if (ss.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port);
  return 0;
}

bool CMSocket::PeerIPv4(std::uint32_t* address, std::uint16_t* port) const {
  sockaddr_storage ss{};
  socklen_t len = sizeof ss;
  if (fd_ < 0 || ::getpeername(fd_, reinterpret_cast<sockaddr*>(&ss), &len) != 0 || ss.ss_family != AF_INET)
    return false;
  const auto* in = reinterpret_cast<const sockaddr_in*>(&ss);
  *address = in->sin_addr.s_addr;
  *port = ntohs(in->sin_port);
  return true;
}

void CMSocket::AcceptOne() {
  int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
    Notify(kSockError, LastSocketError());
    return;
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  auto conn = std::make_unique<CMSocket>(loop_);
  conn->fd_ = fd;
  conn->state_ = kSocketConnected;
  conn->WatchFor(true, false);
  accepted_.push_back(std::move(conn));
  Notify(kSockAccepted, fd);
}

std::unique_ptr<CMSocket> CMSocket::TakeAccepted() {
  if (accepted_.empty()) return nullptr;
  auto s = std::move(accepted_.front());
  accepted_.pop_front();
  return s;
}

int CMSocket::Send(const void* data, std::size_t length) {
  if (length == 0) return 0;
  const auto* p = static_cast<const std::uint8_t*>(data);
  output_.insert(output_.end(), p, p + length);
  if (state_ != kSocketConnected) return 0;  // sent once connected
  int err = FlushPending();
  if (err != 0 && sendErrorsAsEvents_) {
    Notify(kSockError, err);
    return 0;
  }
  if (OutSize() > 0) WatchFor(true, true);
  return err;
}

void CMSocket::RemoveOutputFront(std::size_t n) {
  outputStart_ += n;
  if (outputStart_ >= output_.size()) {
    output_.clear();
    outputStart_ = 0;
  } else if (outputStart_ > 64 * 1024 && outputStart_ > output_.size() / 2) {
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(outputStart_));
    outputStart_ = 0;
  }
}

int CMSocket::FlushPending() {
  while (OutSize() > 0) {
    ssize_t n = ::send(fd_, OutData(), OutSize(), MSG_NOSIGNAL);
    if (n > 0) {
      RemoveOutputFront(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return n < 0 ? LastSocketError() : 0;
  }
  return 0;
}

std::vector<std::uint8_t> CMSocket::TakeInput() {
  std::vector<std::uint8_t> out;
  out.swap(input_);
  return out;
}

CMSocket::ReadResult CMSocket::ReadAvailable(std::vector<std::uint8_t>& into) {
  ReadResult r;
  std::size_t total = 0;
  while (total < kReadPerNotification) {
    std::size_t old = into.size();
    into.resize(old + kReadChunk);
    ssize_t n = ::recv(fd_, into.data() + old, kReadChunk, 0);
    into.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
    if (n > 0) {
      total += static_cast<std::size_t>(n);
      continue;
    }
    if (n == 0) {
      r.eof = true;
      break;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK && total == 0) r.error = LastSocketError();
    break;
  }
  return r;
}

void CMSocket::FailAndClose(int error) {
  Notify(kSockError, error);
  if (state_ == kSocketClosed) return;
  Close(true);
  Notify(kSockClosed, 0);
}

void CMSocket::PeerClosed() {
  if (state_ == kSocketClosed) return;
  if (!input_.empty()) Notify(kSockData, 0);
  if (state_ == kSocketClosed) return;
  Close(true);
  Notify(kSockClosed, 0);
}

void CMSocket::OnReady(unsigned events) {
  if (state_ == kSocketListening) {
    AcceptOne();
    return;
  }
  if (state_ == kSocketConnecting && fd_ >= 0) {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    if (err == 0 && !(events & (platform::kIoWrite | platform::kIoHangup | platform::kIoError)))
      return;
    ConnectComplete(err == 0 ? 0 : platform::WsaFromErrno(err));
    return;
  }
  if (state_ != kSocketConnected) return;
  if (HandleReadyBeforeData(events)) return;

  if (events & platform::kIoWrite) {
    bool hadOutput = OutSize() > 0;
    int err = FlushPending();
    if (err != 0) {
      FailAndClose(err);
      return;
    }
    if (OutSize() == 0) {
      WatchFor(true, false);
      if (hadOutput) Notify(kSockWritable, 0);
      if (state_ != kSocketConnected) return;
    }
  }
  if (events & (platform::kIoRead | platform::kIoHangup | platform::kIoError)) HandleReadable();
}

void CMSocket::HandleReadable() {
  std::size_t before = input_.size();
  ReadResult r = ReadAvailable(input_);
  bool got = input_.size() > before;
  if (r.error != 0 && !got) {
    FailAndClose(r.error);
    return;
  }
  if (r.eof) {
    PeerClosed();
    return;
  }
  if (got) Notify(kSockData, 0);
}

void CMSocket::Close(bool) {
  CancelLookup();
  ReleaseFd();
  output_.clear();
  output_.shrink_to_fit();
  outputStart_ = 0;
  input_.clear();
  input_.shrink_to_fit();
  addrs_.clear();
  state_ = kSocketClosed;
}

}  // namespace corvina
