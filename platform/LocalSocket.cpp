#include "platform/LocalSocket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvina::platform {

bool LocalAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

int ListenLocal(const std::string& path, int type, int backlog, std::string* cause) {
  sockaddr_un addr;
  if (!LocalAddress(path, addr)) {
    *cause = "the socket path is too long";
    return -1;
  }
  const int fd = ::socket(AF_UNIX, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  ::unlink(path.c_str());  // left by an earlier process of this number
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0) {
    *cause = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

bool PeerIsOwnUser(int fd, bool rootToo) {
  ucred peer{};
  socklen_t length = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) return false;
  return peer.uid == ::geteuid() || (rootToo && peer.uid == 0);
}

int AcceptOwnUser(int listenFd, bool rootToo, std::string_view refusal) {
  for (;;) {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return -1;
    if (PeerIsOwnUser(fd, rootToo)) return fd;
    if (!refusal.empty()) [[maybe_unused]] auto n = ::send(fd, refusal.data(), refusal.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(fd);
  }
}

}  // namespace corvina::platform
