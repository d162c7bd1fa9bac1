// corvina-dde: one DDE-style conversation with a running emulator from the
// command line.
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/DdeProtocol.h"
#include "platform/UserFolders.h"

using namespace corvina;
using namespace corvina::automation;

namespace {

const char kUsage[] = R"(Usage: corvina-dde [OPTIONS] TOPIC request|poke|execute|advise ITEM [TEXT]
Talks to a running Corvina through its DDE-style server.

  TOPIC      SYSTEM for frame commands, or a session's DDE topic (its
             profile's DDETopic, else the profile name); the name of a stored
             profile that is not running starts that session
  request ITEM        prints the item's text: PS, Cursor, Rows, Columns,
                      Emulator, Keyboard, OIA, Rn (row n), Fn, FnU, FnP (field n)
  poke ITEM TEXT      Keystroke (keys as "demo@E"), Cursor (position) or
                      EscChar (the escape character of Keystroke)
  execute COMMAND     a key function of the session (Enter, PF3, ...) or, on
                      SYSTEM, a frame command (HostExit, ...)
  advise ITEM         prints PS or Cursor each time it changes

Options:
  --socket PATH    the server's socket; default: every running instance in
                   the runtime folder, newest first, until one has TOPIC
  --timeout SECONDS  how long to wait for an answer (10)
  --count N        advise: end after N notices
  -h, --help       show this text

Exit status: 0 done, 1 the server refused or had no data, 2 a wrong command
line or no server that has TOPIC.
)";

int Usage(const std::string& error) {
  std::cerr << "corvina-dde: " << error << "\nTry 'corvina-dde --help'.\n";
  return 2;
}

class Client {
 public:
  Client() = default;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Open(const std::string& path) {
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  bool Send(const std::string& line) {
    std::string all = line + "\n";
    for (std::size_t at = 0; at < all.size();) {
      ssize_t n = ::send(fd_, all.data() + at, all.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return false;
      at += static_cast<std::size_t>(n);
    }
    return true;
  }
  // The next line, or nullopt at the end or after `ms` (negative: no limit).
  std::optional<std::string> Line(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      if (auto at = buffer_.find('\n'); at != std::string::npos) {
        std::string line = buffer_.substr(0, at);
        buffer_.erase(0, at + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      if (buffer_.size() > kDdeMaxLine * 16) return std::nullopt;
      int wait = -1;
      if (ms >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        wait = static_cast<int>(left.count());
      }
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, wait) <= 0) return std::nullopt;
      char chunk[16 * 1024];
      ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_ = -1;
  std::string buffer_;
};

// The instances' sockets, newest first.
std::vector<std::string> Sockets() {
  std::vector<std::pair<long long, std::string>> found;
  const std::string folder = platform::RuntimeFolderPath();
  std::string cause;
  if (!platform::PreparePrivateFolder(folder, &cause)) {
    std::cerr << "corvina-dde: the runtime folder " << folder << " cannot be used (" << cause << ")\n";
    return {};
  }
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (!name.starts_with("dde-") || !name.ends_with(".sock")) continue;
      struct stat st {};
      if (::lstat((folder + name).c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        found.emplace_back(static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
                           folder + name);
    }
    ::closedir(d);
  }
  std::sort(found.rbegin(), found.rend());
  std::vector<std::string> paths;
  for (auto& f : found) paths.push_back(f.second);
  return paths;
}

// Prints a text the server sent.
bool Print(std::string_view escaped) {
  auto text = DdeUnescape(escaped);
  if (!text) return false;
  std::cout << *text << '\n' << std::flush;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string socket;
  int timeoutMs = 10'000;
  long count = -1;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--socket" || a == "--timeout" || a == "--count") {
      if (i + 1 >= argc) return Usage(a + " needs a value");
      std::string v = argv[++i];
      if (a == "--socket") {
        socket = v;
        continue;
      }
      if (v.empty() || v.size() > 6 || v.find_first_not_of("0123456789") != std::string::npos || std::stol(v) < 1)
        return Usage(a + " takes a number from 1");
      (a == "--timeout" ? timeoutMs = static_cast<int>(std::stol(v) * 1000) : count = std::stol(v));
      continue;
    }
    if (a.size() > 1 && a[0] == '-' && words.size() < 3) return Usage("unknown option " + a);
    words.push_back(a);
  }
  if (words.size() < 3) return Usage("give TOPIC, an action and ITEM");
  const std::string& topic = words[0];
  const std::string& action = words[1];
  const std::string& item = words[2];
  const bool poke = action == "poke";
  if (action != "request" && action != "execute" && action != "advise" && !poke) return Usage("unknown action " + action);
  if (words.size() != (poke ? 4u : 3u)) return Usage(poke ? "poke takes ITEM TEXT" : action + " takes ITEM");
  if (topic.find_first_of("\r\n") != std::string::npos || item.find_first_of(" \r\n") != std::string::npos)
    return Usage("TOPIC and ITEM are single lines, ITEM without blanks");

  std::unique_ptr<Client> connection;
  for (const std::string& path : socket.empty() ? Sockets() : std::vector<std::string>{socket}) {
    auto candidate = std::make_unique<Client>();
    if (!candidate->Open(path)) continue;
    // A server that refuses says why and closes, perhaps before this is sent.
    candidate->Send(std::string("CONNECT ") + kDdeService + " " + DdeEscape(topic));
    auto answer = candidate->Line(timeoutMs);
    if (answer && answer->starts_with("ERROR ")) std::cerr << "corvina-dde: " << path << ": " << answer->substr(6) << "\n";
    if (answer == "OK") {
      connection = std::move(candidate);
      break;
    }
  }
  if (!connection) {
    std::cerr << "corvina-dde: no running Corvina has the topic \"" << topic << "\"\n";
    return 2;
  }
  Client& client = *connection;
  std::string request;
  if (action == "request") request = "REQUEST " + DdeEscape(item);
  if (action == "execute") request = "EXECUTE " + DdeEscape(item);
  if (action == "advise") request = "ADVISE " + DdeEscape(item);
  if (poke) request = "POKE " + DdeEscape(item) + " " + DdeEscape(words[3]);
  if (!client.Send(request)) return 1;
  auto answer = client.Line(timeoutMs);
  if (!answer) {
    std::cerr << "corvina-dde: no answer\n";
    return 1;
  }
  if (action == "request") {
    if (!answer->starts_with("DATA ")) return 1;
    return Print(std::string_view(*answer).substr(5)) ? 0 : 1;
  }
  if (action != "advise") return *answer == "ACK" ? 0 : 1;
  if (*answer != "OK") return 1;
  for (long seen = 0; count < 0 || seen < count;) {
    auto line = client.Line(-1);
    if (!line) return seen > 0 ? 0 : 1;
    if (!line->starts_with("NOTIFY ")) continue;
    auto space = line->find(' ', 7);
    if (space == std::string::npos) continue;
    Print(std::string_view(*line).substr(space + 1));
    ++seen;
  }
  return 0;
}
