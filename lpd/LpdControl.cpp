#include "lpd/LpdControl.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>

#include "lpd/LpdTexts.h"
#include "platform/Format.h"
#include "platform/LocalSocket.h"
#include "printing/PrintFiles.h"

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

// The job list; by "Created On", oldest first, unless a column is named.
// Names compare ignoring case, the rest as numbers.
std::optional<std::string> ListJobs(const CPrintQueues& queues, const std::string& column, bool reverse) {
  static constexpr const char* kColumns[] = {"printer", "owner", "job", "files", "size", "created", "status"};
  const auto* found = std::find(std::begin(kColumns), std::end(kColumns), column.empty() ? "created" : column);
  if (found == std::end(kColumns)) return std::nullopt;
  const int by = static_cast<int>(found - std::begin(kColumns));
  std::vector<const CPrintJob*> jobs = queues.JobList();
  auto names = [](const std::string& a, const std::string& b) { return ::strcasecmp(a.c_str(), b.c_str()); };
  auto order = [&](const CPrintJob* a, const CPrintJob* b) {
    switch (by) {
      case 0: return names(a->queue->name, b->queue->name);
      case 1: return names(a->control.owner, b->control.owner);
      case 2: return (a->number > b->number) - (a->number < b->number);
      case 3: return names(a->FileNames(), b->FileNames());
      case 4: return (a->TotalSize() > b->TotalSize()) - (a->TotalSize() < b->TotalSize());
      case 6: return (a->status > b->status) - (a->status < b->status);
      default:  // "Created On"; jobs of the same second in their order of arrival
        if (a->created != b->created) return a->created < b->created ? -1 : 1;
        return (a->sequence > b->sequence) - (a->sequence < b->sequence);
    }
  };
  std::stable_sort(jobs.begin(), jobs.end(), [&](const CPrintJob* a, const CPrintJob* b) {
    const int c = order(a, b);
    return reverse ? c > 0 : c < 0;
  });
  std::string out = "Printer\tOwner\tJob\tFiles\tTotal Size\tCreated On\tStatus\n";
  for (const CPrintJob* job : jobs) {
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

std::string WithoutAccelerator(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
  return text;
}

// A queue's setup as the setup dialog shows it.
std::string ShowQueue(const CPrintQueue& q, bool metric) {
  const QueueSettings& s = q.settings;
  std::string out = platform::Format(texts::kSetupTitle, texts::kProgramName) + "\nQueue: " + q.name +
                    "\nPrinter: " + (s.printerName.empty() ? "(the default printer)" : s.printerName) + "\n" +
                    (metric ? texts::kMarginsMillimeters : texts::kMarginsInches) + ":";
  static constexpr const char* kSides[] = {"left", "top", "right", "bottom"};
  for (int i = 0; i < 4; ++i)
    out += std::string(i ? ", " : " ") + kSides[i] + " " + printing::FormatMargin(s.margins[i], metric);
  out += "\nOrientation: " + WithoutAccelerator(s.landscape ? texts::kLandscape : texts::kPortrait) +
         "\nRows: " + std::to_string(s.linesPerPage) + "\nColumns: " + std::to_string(s.lineWidth) +
         "\nFont: " + platform::Format(texts::kFontShown, s.font.face.c_str(), s.font.heightTenths / 10) +
         (s.font.bold ? ", bold" : "") + (s.font.italic ? ", italic" : "") + ", colour " + std::to_string(s.fontColour) + "\nSpool folder: " + q.folder +
         "\n";
  for (const auto& option : texts::kOptionLabels)
    out += std::string((s.options & option.bit) ? "[x] " : "[ ] ") + option.label + "\n";
  out += "Host code page: " + (s.codePage.empty() ? std::string("(built in)") : s.codePage) + "\n";
  return out;
}

// base 0 takes 0x hex too (option bits, colours).
bool ParseNumber(const std::string& text, long low, long high, long& value, int base = 10) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, base);
  return !*end && errno == 0 && value >= low && value <= high;
}

// Applies the "key=value" fields of a define or new request; empty when
// every one is taken, else the refusal.
std::string ApplySettings(const std::vector<std::string>& fields, bool metric, QueueSettings& s) {
  bool codePageGiven = false;
  for (std::size_t i = 2; i < fields.size(); ++i) {
    const std::size_t equals = fields[i].find('=');
    if (equals == std::string::npos) return "unknown setting " + fields[i];
    const std::string key = fields[i].substr(0, equals), value = fields[i].substr(equals + 1);
    long number = 0;
    if (key == "printer") {
      s.printerName = value;
    } else if (key == "options") {
      if (!ParseNumber(value, 0, 0x1FF, number, 0)) return texts::kBadOptions;
      s.options = static_cast<unsigned>(number);
    } else if (key == "margins") {
      int margins[4];
      std::size_t start = 0;
      for (int m = 0; m < 4; ++m) {
        const std::size_t comma = value.find(',', start);
        if ((m < 3) == (comma == std::string::npos)) return platform::Format(texts::kBadMargins, value.c_str());
        const auto parsed = printing::ParseMargin(value.substr(start, comma - start), metric);
        if (!parsed || *parsed > 100000) return platform::Format(texts::kBadMargins, value.c_str());
        margins[m] = *parsed;
        start = comma + 1;
      }
      std::copy(margins, margins + 4, s.margins);
    } else if (key == "orientation") {
      if (value != "portrait" && value != "landscape") return texts::kBadOrientation;
      s.landscape = value == "landscape";
    } else if (key == "rows") {
      if (!ParseNumber(value, 0, 999, number)) return texts::kBadRows;
      s.linesPerPage = number ? static_cast<int>(number) : 66;
    } else if (key == "columns") {
      if (!ParseNumber(value, 1, 999, number)) return texts::kBadColumns;
      s.lineWidth = static_cast<int>(number);
    } else if (key == "font") {
      // FACE,POINTS[,COLOUR]; the face may itself hold commas.
      std::vector<std::string> parts;
      for (std::size_t start = 0;;) {
        const std::size_t comma = value.find(',', start);
        parts.push_back(value.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      long colour = 0, points = 0;
      std::size_t faceParts = parts.size() - 1;
      if (parts.size() >= 3 && ParseNumber(parts.back(), 0, 0xFFFFFF, colour, 0) &&
          ParseNumber(parts[parts.size() - 2], 1, 199, points)) {
        faceParts = parts.size() - 2;
      } else if (parts.size() < 2 || !ParseNumber(parts.back(), 1, 199, points)) {
        return texts::kBadFont;
      } else {
        colour = static_cast<long>(s.fontColour);
      }
      std::string face;
      for (std::size_t p = 0; p < faceParts; ++p) face += (p ? "," : "") + parts[p];
      if (face.empty() || face.size() > 31) return texts::kBadFont;
      s.font.face = face;
      s.font.heightTenths = static_cast<int>(points) * 10;
      s.fontColour = static_cast<std::uint32_t>(colour);
    } else if (key == "spool") {
      s.spoolFolder = value;
    } else if (key == "codepage") {
      s.codePage = value;
      codePageGiven = true;
    } else {
      return "unknown setting " + key;
    }
  }
  if (codePageGiven && !s.codePage.empty() && !(s.options & kOptScs)) return texts::kCodePageNeedsScs;
  return {};
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
  if (verb == "list" && f.size() <= 3) {
    const auto list = ListJobs(queues_, f.size() > 1 ? f[1] : std::string(), f.size() > 2 && f[2] == "reverse");
    return list ? "ok\n" + *list : "error: no column " + f[1] + " (printer, owner, job, files, size, created, status)\n";
  }
  if (verb == "queues") {
    std::string out = "ok\n";
    for (const std::string& name : queues_.Names()) out += name + "\n";
    return out;
  }
  if (verb == "show" && f.size() == 2) {
    const CPrintQueue* q = queue();
    return q ? "ok\n" + ShowQueue(*q, queues_.MetricUnits()) : noQueue();
  }
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
    long number = 0;
    if (!ParseNumber(f[2], 1, 999, number) || !queues_.Reprint(f[1], static_cast<int>(number)))
      return "error: no job " + f[2] + " to print in " + f[1] + "\n";
    return "ok\n";
  }
  if ((verb == "define" || verb == "new") && f.size() >= 2) {
    QueueSettings settings;
    if (const CPrintQueue* q = queue()) {
      if (verb == "new") return "error: " + platform::Format(texts::kQueueExists, f[1].c_str()) + "\n";
      settings = q->settings;
    }
    std::string error = ApplySettings(f, queues_.MetricUnits(), settings);
    if (!error.empty()) return "error: " + error + "\n";
    if (!queues_.Define(f[1], &settings, error)) return "error: " + error + "\n";
    return "ok\n";
  }
  if (verb == "delete" && f.size() == 2) {
    std::string error;
    return queues_.DeleteQueue(f[1], error) ? "ok\n" : "error: " + error + "\n";
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
