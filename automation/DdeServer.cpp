#include "automation/DdeServer.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "automation/KeyString.h"
#include "keyboard/KeyFunctionTables.h"
#include "platform/Format.h"
#include "platform/LocalSocket.h"
#include "platform/Text.h"
#include "session/HostSession.h"

namespace corvina::automation {

namespace {

// Bytes read per notification, so one client cannot hold the loop.
constexpr std::size_t kReadPerNotification = 256 * 1024;

// The core's Latin-1 screen text on the wire.
std::string Wire(const std::string& latin1) { return DdeEscape(platform::Latin1ToUtf8(latin1)); }

std::string ScreenText(CHostSession& s, unsigned flags) {
  std::string out;
  if (TerminalEngine* e = s.Engine()) e->ExtractText(0, s.BufferSize(), out, nullptr, flags);
  return out;
}

}  // namespace

struct CDdeServer::Connection {
  std::uint64_t id = 0;
  int fd = -1;
  platform::WatchId watch = 0;
  std::string in, out;
  bool dead = false, closeWhenSent = false;
  // The conversation: SYSTEM, a session topic, or none.
  std::string topic;
  bool system = false;
  const CHostSession* session = nullptr;  // the session its advise links watch
  bool adviseScreen = false, adviseCursor = false, changed = false;
  std::string lastScreen;
  int lastCursor = -1;
};

CDdeServer::CDdeServer(platform::EventLoop& loop, DdeFrame& frame) : loop_(loop), frame_(frame) {}

CDdeServer::~CDdeServer() {
  *alive_ = false;
  Stop();
}

bool CDdeServer::Start(const std::string& folder, std::string* cause) {
  Stop();
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += platform::Format("dde-%d.sock", static_cast<int>(::getpid()));
  listenFd_ = platform::ListenLocal(path, SOCK_STREAM, 16, cause);
  if (listenFd_ < 0) return false;
  path_ = path;
  listenWatch_ = loop_.WatchFd(listenFd_, platform::kIoRead, [this](unsigned) { Accept(); });
  return true;
}

void CDdeServer::Stop() {
  for (auto& [id, c] : connections_) {
    if (c->watch != 0) loop_.RemoveWatch(c->watch);
    if (c->fd >= 0) ::close(c->fd);
  }
  connections_.clear();
  if (listenWatch_ != 0) loop_.RemoveWatch(listenWatch_);
  listenWatch_ = 0;
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(path_.c_str());
  }
  listenFd_ = -1;
  path_.clear();
}

void CDdeServer::Accept() {
  for (;;) {
    const int fd = platform::AcceptOwnUser(listenFd_, false, "ERROR this server answers its own user only\n");
    if (fd < 0) return;
    auto c = std::make_unique<Connection>();
    c->id = nextId_++;
    c->fd = fd;
    Connection* raw = c.get();
    c->watch = loop_.WatchFd(fd, platform::kIoRead, [this, raw](unsigned events) { OnReady(*raw, events); });
    connections_[c->id] = std::move(c);
  }
}

void CDdeServer::Drop(Connection& c) {
  if (c.dead) return;
  c.dead = true;
  if (c.watch != 0) loop_.RemoveWatch(c.watch);
  c.watch = 0;
  ::close(c.fd);
  c.fd = -1;
  // Inside its own callback: it goes on a later turn.
  loop_.Post([this, id = c.id, alive = alive_] {
    if (*alive) connections_.erase(id);
  });
}

void CDdeServer::OnReady(Connection& c, unsigned events) {
  if (c.dead) return;
  if (events & platform::kIoWrite) Flush(c);
  if (c.dead || !(events & (platform::kIoRead | platform::kIoHangup | platform::kIoError))) return;
  char buffer[16 * 1024];
  std::size_t taken = 0;
  while (taken < kReadPerNotification && !c.dead) {
    ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      Drop(c);
      return;
    }
    if (n < 0) break;
    taken += static_cast<std::size_t>(n);
    c.in.append(buffer, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t end; !c.dead && !c.closeWhenSent && (end = c.in.find('\n', start)) != std::string::npos;
         start = end + 1)
      HandleLine(c, std::string_view(c.in).substr(start, end - start));
    c.in.erase(0, start);
    if (c.in.size() > kDdeMaxLine) {
      Send(c, "ERROR line too long\n");
      c.closeWhenSent = true;
      Flush(c);
      return;
    }
  }
}

void CDdeServer::HandleLine(Connection& c, std::string_view line) {
  if (line.size() > kDdeMaxLine) {
    Send(c, "ERROR line too long\n");
    return;
  }
  std::string error;
  auto request = ParseDdeRequest(line, &error);
  if (!request) {
    Send(c, "ERROR " + DdeEscape(error) + "\n");
    return;
  }
  Send(c, Answer(c, *request) + "\n");
  if (request->verb == DdeVerb::Disconnect) {
    c.closeWhenSent = true;
    Flush(c);
  }
}

std::string CDdeServer::Answer(Connection& c, const DdeRequest& r) {
  if (r.verb == DdeVerb::Connect) {
    c.topic.clear();
    c.system = false;
    c.session = nullptr;
    c.adviseScreen = c.adviseCursor = false;
    if (!DdeSameName(r.first, kDdeService)) return "NACK";
    if (DdeSameName(r.second, kDdeSystemTopic)) {
      c.topic = kDdeSystemTopic;
      c.system = true;
      return "OK";
    }
    CHostSession* s = frame_.SessionByTopic(r.second);
    if (s == nullptr && frame_.StartProfileSession(r.second)) s = frame_.SessionByTopic(r.second);
    if (s == nullptr) return "NACK";
    c.topic = r.second;
    c.session = s;
    return "OK";
  }
  if (r.verb == DdeVerb::Disconnect) {
    c.topic.clear();
    c.session = nullptr;
    c.adviseScreen = c.adviseCursor = false;
    return "OK";
  }
  if (c.topic.empty()) return "NACK";
  if (c.system) {
    if (r.verb != DdeVerb::Execute) return "NACK";
    const int id = KeyFunctionIdByName(0, r.first);
    if (id < 0) return "NACK";
    // Acknowledged first: the command may end the program.
    loop_.Post([this, id, alive = alive_] {
      if (*alive) frame_.RunSystemCommand(id);
    });
    return "ACK";
  }
  CHostSession* s = frame_.SessionByTopic(c.topic);
  if (s == nullptr) return "NACK";
  const DdeItem item = ParseDdeItem(r.first);
  switch (r.verb) {
    case DdeVerb::Request: {
      auto text = RequestItem(*s, item);
      return text ? "DATA " + Wire(*text) : "NACK";
    }
    case DdeVerb::Poke: {
      auto text = platform::Utf8ToLatin1(r.second);
      return text && text->size() <= kDdeMaxPoke && Poke(*s, item, *text) ? "ACK" : "NACK";
    }
    case DdeVerb::Execute: {
      const int id = KeyFunctionIdByName(s->Mode(), r.first);
      if (id < 0 || !s->EngineRunning()) return "NACK";
      s->OnKeyFunction(id);
      return "ACK";
    }
    case DdeVerb::Advise:
    case DdeVerb::Unadvise: {
      const bool on = r.verb == DdeVerb::Advise;
      if (item.kind == DdeItem::PS) {
        c.adviseScreen = on;
        c.lastScreen = on ? ScreenText(*s, kExtractShowNonDisplay) : std::string();
      } else if (item.kind == DdeItem::Cursor) {
        c.adviseCursor = on;
        c.lastCursor = s->Cursor();
      } else {
        return "NACK";
      }
      c.session = s;
      return "OK";
    }
    default:
      return "NACK";
  }
}

std::optional<std::string> CDdeServer::RequestItem(CHostSession& s, const DdeItem& item) {
  if (!s.EngineRunning()) return std::nullopt;
  switch (item.kind) {
    case DdeItem::PS:
      return ScreenText(s, kExtractShowNonDisplay);
    case DdeItem::Cursor:
      return std::to_string(s.Cursor() + 1);
    case DdeItem::Rows:
      return std::to_string(s.Rows());
    case DdeItem::Columns:
      return std::to_string(s.Columns());
    case DdeItem::Emulator:
      return frame_.MainWindowId();
    case DdeItem::Keyboard:
      return std::string(s.LockReason() != 0 ? "Locked" : "Clear");
    case DdeItem::Oia:
      return frame_.OiaText(s);
    case DdeItem::Row: {
      if (item.number < 1 || item.number > s.Rows()) return std::nullopt;
      std::string out;
      s.Engine()->ExtractText((item.number - 1) * s.Columns(), s.Columns(), out, nullptr, kExtractShowNonDisplay);
      return out;
    }
    case DdeItem::Field:
      return DdeFieldText(ScreenText(s, kExtractAttributeBytes | kExtractShowNonDisplay), item.number,
                          item.fieldKind);
    case DdeItem::Keystroke:
    case DdeItem::EscChar:
      return std::nullopt;
    case DdeItem::Unknown:
      return std::string();
  }
  return std::nullopt;
}

char& CDdeServer::EscapeOf(CHostSession& s) { return escapes_.try_emplace(&s, '@').first->second; }

bool CDdeServer::Poke(CHostSession& s, const DdeItem& item, const std::string& text) {
  switch (item.kind) {
    case DdeItem::Keystroke:
      return PlayKeyString(s, EscapeOf(s), text);
    case DdeItem::Cursor: {
      if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos ||
          !s.EngineRunning())
        return false;
      const int position = std::stoi(text) - 1;
      if (position < 0 || position >= s.BufferSize()) return false;
      s.Engine()->SetCursor(position, true);
      return true;
    }
    case DdeItem::EscChar:
      if (text.size() != 1) return false;
      EscapeOf(s) = text[0];
      return true;
    default:
      return false;
  }
}

void CDdeServer::Send(Connection& c, const std::string& line) {
  if (c.dead) return;
  c.out += line;
  if (c.out.size() > maxPending_) {
    Drop(c);  // it stopped reading
    return;
  }
  Flush(c);
}

void CDdeServer::Flush(Connection& c) {
  while (!c.dead && !c.out.empty()) {
    ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      c.out.erase(0, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    Drop(c);
    return;
  }
  if (c.dead) return;
  if (c.out.empty() && c.closeWhenSent) {
    Drop(c);
    return;
  }
  loop_.UpdateWatch(c.watch, platform::kIoRead | (c.out.empty() ? 0u : unsigned{platform::kIoWrite}));
}

void CDdeServer::SessionChanged(CHostSession& session) {
  bool any = false;
  for (auto& [id, c] : connections_)
    if (!c->dead && c->session == &session && (c->adviseScreen || c->adviseCursor)) any = c->changed = true;
  if (!any || advisePosted_) return;
  advisePosted_ = true;
  // Every change of this turn goes out as one notice per item.
  loop_.Post([this, alive = alive_] {
    if (*alive) FlushAdvise();
  });
}

void CDdeServer::FlushAdvise() {
  advisePosted_ = false;
  for (auto& [id, c] : connections_) {
    if (c->dead || !c->changed) continue;
    c->changed = false;
    CHostSession* s = frame_.SessionByTopic(c->topic);
    if (s == nullptr || s != c->session || !s->EngineRunning()) continue;
    if (c->adviseScreen) {
      std::string screen = ScreenText(*s, kExtractShowNonDisplay);
      if (screen != c->lastScreen) {
        Send(*c, "NOTIFY PS " + Wire(screen) + "\n");
        c->lastScreen = std::move(screen);
      }
    }
    if (c->adviseCursor && !c->dead && s->Cursor() != c->lastCursor) {
      c->lastCursor = s->Cursor();
      Send(*c, "NOTIFY Cursor " + std::to_string(c->lastCursor + 1) + "\n");
    }
  }
}

void CDdeServer::SessionClosing(CHostSession& session) {
  escapes_.erase(&session);
  for (auto& [id, c] : connections_) {
    if (c->session != &session) continue;
    c->session = nullptr;
    c->topic.clear();
    c->adviseScreen = c->adviseCursor = false;
  }
}

}  // namespace corvina::automation
