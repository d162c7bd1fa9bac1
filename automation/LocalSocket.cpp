#include "automation/LocalSocket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvina::automation {

int ListenLocal(const std::string& path, int type, int backlog, std::string* cause) {
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) {
    *cause = "the socket path is too long";
    return -1;
  }
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  ::unlink(path.c_str());  // left by an earlier process of this number
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0) {
    *cause = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace corvina::automation
