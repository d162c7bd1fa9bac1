// Puts the test process, before main, into a network namespace of its own
// with only loopback, and a mount namespace whose /etc/hosts and
// /etc/resolv.conf are the test's: servers can take their fixed ports and
// nothing leaves the machine. ctest runs each test in a process of its own,
// so each test gets its own network.
#include "tests/netutil/PrivateNetwork.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace corvina::test {

namespace {

std::string gProblem = "not entered";

bool WriteText(const std::string& path, const std::string& text) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

bool BindFile(const std::string& text, const char* target, const std::string& folder) {
  const std::string source = folder + "/" + (std::strrchr(target, '/') + 1);
  return WriteText(source, text) && ::mount(source.c_str(), target, nullptr, MS_BIND, nullptr) == 0;
}

std::string Enter() {
  if (::geteuid() != 0) return "the tests need root for their own network namespace";
  if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return std::string("mount: ") + std::strerror(errno);
  int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq ifr{};
  std::strcpy(ifr.ifr_name, "lo");
  bool up = s >= 0 && ::ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
  ifr.ifr_flags |= IFF_UP;
  up = up && ::ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
  if (s >= 0) ::close(s);
  if (!up) return "loopback cannot be brought up";
  char folder[] = "/tmp/corvina-netns-XXXXXX";
  if (::mkdtemp(folder) == nullptr) return "no temporary folder";
  // Names come from the test's DNS server only; a lookup gives up after
  // 2 x 3 seconds.
  if (!BindFile("127.0.0.1 localhost\n", "/etc/hosts", folder) ||
      !BindFile("nameserver 127.0.0.1\noptions timeout:3 attempts:2\n", "/etc/resolv.conf", folder))
    return std::string("bind mount: ") + std::strerror(errno);
  // The files stay reachable through the mounts; the folder itself can go.
  ::unlink((std::string(folder) + "/hosts").c_str());
  ::unlink((std::string(folder) + "/resolv.conf").c_str());
  ::rmdir(folder);
  return {};
}

const bool gEntered = [] {
  gProblem = Enter();
  return gProblem.empty();
}();

}  // namespace

const std::string& PrivateNetworkProblem() { return gProblem; }

bool SetSysctl(const std::string& name, const std::string& value) {
  std::string path = "/proc/sys/" + name;
  for (std::size_t i = 10; i < path.size(); ++i)
    if (path[i] == '.') path[i] = '/';
  return WriteText(path, value + "\n");
}

}  // namespace corvina::test
