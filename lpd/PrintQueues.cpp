#include "lpd/PrintQueues.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "codepage/CodePage.h"
#include "lpd/LpdTexts.h"
#include "platform/Format.h"

namespace corvina::lpd {

namespace {

constexpr char kSettings[] = "Settings";

// The orientation of a printer device mode saved by older versions as hex
// bytes: a 16-bit little-endian value at byte 44. 0 when it is not there.
int DevModeOrientation(std::string_view hex) {
  constexpr std::size_t kAt = 44;
  std::uint8_t bytes[2];
  std::size_t have = 0, digits = 0;
  unsigned value = 0;
  for (char c : hex) {
    if (c == ' ' || c == ',') continue;
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return 0;
    value = value * 16 + static_cast<unsigned>(d);
    if (++digits % 2) continue;
    if (have >= kAt && have < kAt + 2) bytes[have - kAt] = static_cast<std::uint8_t>(value);
    value = 0;
    if (++have == kAt + 2) return bytes[0] | bytes[1] << 8;
  }
  return 0;
}
constexpr char kQueues[] = "Queues";
constexpr std::uint64_t kDefaultMaxJobSize = std::uint64_t{256} << 20;
constexpr std::size_t kMaxControlFileSize = 64 * 1024;

std::string SectionOf(const std::string& queue) { return std::string("Queues\\") + queue; }

bool ReadSmallFile(const std::string& path, std::string& out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  out.clear();
  char buffer[4096];
  ssize_t got;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
    out.append(buffer, static_cast<std::size_t>(got));
    if (out.size() > kMaxControlFileSize) break;
  }
  ::close(fd);
  return got >= 0 && out.size() <= kMaxControlFileSize;
}

bool RegularFileSize(const std::string& path, std::uint64_t& size, std::time_t* created = nullptr) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  if (created) *created = st.st_mtime;
  return true;
}

std::string Ordinal(int n) {
  const char* suffix = "th";
  const int lastTwo = n % 100;
  if (lastTwo < 11 || lastTwo > 13) {
    switch (n % 10) {
      case 1: suffix = "st"; break;
      case 2: suffix = "nd"; break;
      case 3: suffix = "rd"; break;
      default: break;
    }
  }
  return std::to_string(n) + suffix;
}

}  // namespace

std::uint64_t CPrintJob::TotalSize() const {
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < control.files.size() && i < sizes.size(); ++i)
    total += sizes[i] * static_cast<std::uint64_t>(control.files[i].copies);
  return total;
}

std::string CPrintJob::FileNames() const {
  std::string names;
  for (const ControlDataFile& file : control.files) {
    if (!names.empty()) names += ", ";
    names += file.sourceName;
  }
  if (names.size() > 34) names = names.substr(0, 33) + " ...";
  return names;
}

CPrintQueues::CPrintQueues(platform::IniFile& settings, std::string dataFolder, Logger log,
                           printing::CPrinterThread* printer)
    : ini_(settings), dataFolder_(std::move(dataFolder)), log_(std::move(log)), printer_(printer) {}

CPrintQueues::~CPrintQueues() {
  *alive_ = false;
  // Jobs still with the printer thread are not printed after this.
  for (auto& [name, queue] : queues_)
    for (auto& [control, job] : queue->jobs)
      if (job->request && job->request->state.load() == printing::kJobQueued)
        job->request->state = printing::kJobCancelled;
}

void CPrintQueues::Log(const char* format, ...) {
  if (!log_) return;
  va_list args;
  va_start(args, format);
  const std::string line = platform::FormatV(format, args);
  va_end(args);
  log_(line);
}

std::string CPrintQueues::CodePagePath(const std::string& name) {
  if (name.empty()) return {};
  // A name is a file of the code page folder, as the sessions' are.
  std::string path = name;
  if (path.front() != '/') {
    std::string folder = ini_.GetString("Configuration", "CodePageFolder", dataFolder_);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    path = folder + name;
  }
  CCorvinaCodePage probe;
  std::string error;
  if (probe.Load(path, error)) return path;
  Log(texts::kCodePageNotLoaded, name.c_str(), error.c_str());
  return {};
}

bool CPrintQueues::AllowNetworkQueues() const { return ini_.GetInt(kSettings, "CreateQueues", 0) != 0; }

std::uint64_t CPrintQueues::MaxJobSize() const {
  const long value = ini_.GetInt(kSettings, "MaxJobSize", 0);
  return value > 0 ? static_cast<std::uint64_t>(value) : kDefaultMaxJobSize;
}

void CPrintQueues::Start() {
  std::string list = ini_.GetString(kQueues, "Names");
  std::string_view rest = list;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string name(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
    std::string error;
    if (!ValidQueueName(name) || queues_.count(name)) continue;
    auto queue = std::make_unique<CPrintQueue>();
    queue->name = name;
    LoadQueueSettings(*queue);
    if (!SetSpoolFolder(*queue, error)) {
      Log("%s", error.c_str());
      continue;
    }
    SaveQueue(*queue);
    names_.push_back(name);
    queues_[name] = std::move(queue);
  }
}

bool LocaleMeasuresInMetric() {
  const char* name = ::setlocale(LC_MEASUREMENT, nullptr);
  const std::string_view locale = name ? name : "C";
  if (locale == "C" || locale == "POSIX" || locale.substr(0, 2) == "C.") return false;
  const char* measurement = ::nl_langinfo(_NL_MEASUREMENT_MEASUREMENT);
  return measurement && measurement[0] == 1;
}

CPrintQueue* CPrintQueues::Find(const std::string& name) {
  auto it = queues_.find(name);
  return it == queues_.end() ? nullptr : it->second.get();
}

CPrintQueue* CPrintQueues::Define(const std::string& name, const QueueSettings* settings,
                                  std::string& error) {
  if (!ValidQueueName(name)) {
    error = texts::kNameWhiteSpace;
    return nullptr;
  }
  CPrintQueue* existing = Find(name);
  if (existing) {
    if (!settings) return existing;
    for (auto& [control, job] : existing->jobs)
      if (job->status == kPrinting && settings->spoolFolder != existing->settings.spoolFolder) {
        char text[160];
        std::snprintf(text, sizeof text, texts::kSpoolFolderBusy, job->number);
        error = text;
        return nullptr;
      }
  }
  auto queue = std::make_unique<CPrintQueue>();
  queue->name = name;
  if (settings) {
    queue->settings = *settings;
    queue->settings.options = (settings->options & ~kOptMetric) | (metric_ ? unsigned{kOptMetric} : 0u);
  } else {
    LoadQueueSettings(*queue);
  }
  if (!SetSpoolFolder(*queue, error)) return nullptr;
  if (existing) {
    // Jobs of the old folder are forgotten (their files stay), unless it is the same folder.
    if (queue->folder == existing->folder) {
      queue->jobs = std::move(existing->jobs);
      for (auto& [control, job] : queue->jobs) job->queue = queue.get();
    } else {
      for (auto& [control, job] : existing->jobs)
        if (job->request) job->request->state = printing::kJobCancelled;
    }
  } else {
    names_.push_back(name);
  }
  CPrintQueue* result = queue.get();
  queues_[name] = std::move(queue);
  SaveQueue(*result);
  SaveNames();
  Requeue();
  return result;
}

bool CPrintQueues::DeleteQueue(const std::string& name, std::string& error) {
  auto it = queues_.find(name);
  if (it == queues_.end()) {
    error = "no queue " + name;
    return false;
  }
  if (!it->second->jobs.empty()) {
    error = platform::Format(texts::kQueueHasJobs, name.c_str());
    return false;
  }
  queues_.erase(it);
  names_.erase(std::remove(names_.begin(), names_.end(), name), names_.end());
  SaveNames();
  return true;
}

void CPrintQueues::LoadQueueSettings(CPrintQueue& queue) {
  const std::string section = SectionOf(queue.name);
  QueueSettings& s = queue.settings;
  s.printerName = ini_.GetString(section, "PrinterName");
  s.spoolFolder = ini_.GetString(section, "SpoolFolder");
  s.options = (static_cast<unsigned>(ini_.GetInt(section, "Options", kOptCrLf | kOptCompress)) & 0xFF) |
              (metric_ ? unsigned{kOptMetric} : 0u);
  s.codePage = ini_.GetString(section, "CodePage");
  auto setPage = [&s](long lines, long width) {
    s.linesPerPage = lines > 0 ? static_cast<int>(std::min(lines, 999L)) : 66;
    s.lineWidth = width > 0 ? static_cast<int>(std::min(width, 999L)) : 132;
  };
  auto setMargins = [&s](const long* v) {
    for (int i = 0; i < 4; ++i) s.margins[i] = static_cast<int>(std::clamp(v[i], 0L, 100000L));
  };
  long v[7];
  if (const auto layout = ini_.Get(section, "PageLayout")) {
    if (std::sscanf(layout->c_str(), "%ld,%ld,%ld,%ld,%ld,%ld,%ld", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                    &v[6]) == 7) {
      setMargins(v);
      s.landscape = v[4] != 0;
      setPage(v[5], v[6]);
    }
  } else {
    // Settings of older versions.
    const std::string margins = ini_.GetString(section, "PageSetup");
    if (std::sscanf(margins.c_str(), "%ld,%ld,%ld,%ld", &v[0], &v[1], &v[2], &v[3]) == 4) setMargins(v);
    setPage(ini_.GetInt(section, "LinesPerPage", 66), ini_.GetInt(section, "LineWidth", 132));
    s.landscape = DevModeOrientation(ini_.GetString(section, "PrinterDevMode")) == 2;
  }
  const std::string font = ini_.GetString(section, "Font");
  int points = 0;
  long colour = 0;
  int used = 0;
  if (std::sscanf(font.c_str(), "%d,%ld,%n", &points, &colour, &used) == 2 && points > 0 && points < 200) {
    s.font.heightTenths = points * 10;
    s.fontColour = static_cast<std::uint32_t>(colour);
    // The 14 fields that follow: height, width, escapement, orientation,
    // weight, italic, ... and the face name last.
    std::string_view fields = std::string_view(font).substr(static_cast<std::size_t>(used));
    for (std::size_t i = 0; i < s.fontFields.size() && !fields.empty(); ++i) {
      s.fontFields[i] = std::strtol(std::string(fields.substr(0, fields.find(','))).c_str(), nullptr, 10);
      const std::size_t comma = fields.find(',');
      fields = comma == std::string_view::npos ? std::string_view{} : fields.substr(comma + 1);
    }
    s.font.bold = s.fontFields[4] >= 600;
    s.font.italic = s.fontFields[5] != 0;
    if (!fields.empty()) s.font.face = std::string(fields.substr(0, 31));
  }
}

void CPrintQueues::SaveQueue(const CPrintQueue& queue) {
  const std::string section = SectionOf(queue.name);
  const QueueSettings& s = queue.settings;
  ini_.SetString(section, "PrinterName", s.printerName);
  ini_.SetString(section, "SpoolFolder", s.spoolFolder);
  char text[512];
  std::array<long, 13> f = s.fontFields;
  f[0] = s.font.heightTenths;
  if ((f[4] >= 600) != s.font.bold) f[4] = s.font.bold ? 700 : 400;
  f[5] = s.font.italic ? (f[5] ? f[5] : 1) : 0;
  std::snprintf(text, sizeof text, "%d,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%s",
                s.font.heightTenths / 10, static_cast<long>(s.fontColour), f[0], f[1], f[2], f[3], f[4], f[5], f[6],
                f[7], f[8], f[9], f[10], f[11], f[12], s.font.face.c_str());
  ini_.SetString(section, "Font", text);
  std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d,%d", s.margins[0], s.margins[1], s.margins[2],
                s.margins[3], s.landscape ? 1 : 0, s.linesPerPage, s.lineWidth);
  ini_.SetString(section, "PageLayout", text);
  ini_.SetInt(section, "Options", static_cast<long>(s.options));
  if (!s.codePage.empty()) ini_.SetString(section, "CodePage", s.codePage);
  std::string error;
  if (!ini_.Path().empty() && !ini_.Save(&error)) Log("%s", error.c_str());
}

void CPrintQueues::SaveNames() {
  std::string list;
  for (const std::string& name : names_) list += (list.empty() ? "" : ":") + name;
  ini_.SetString(kQueues, "Names", list);
  std::string error;
  if (!ini_.Path().empty() && !ini_.Save(&error)) Log("%s", error.c_str());
}

bool CPrintQueues::SetSpoolFolder(CPrintQueue& queue, std::string& error) {
  std::string folder = queue.settings.spoolFolder.empty() ? dataFolder_ + queue.name : queue.settings.spoolFolder;
  if (folder.empty() || folder.back() != '/') folder += '/';
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    char text[600];
    std::snprintf(text, sizeof text, texts::kSpoolFolderError, folder.c_str(), std::strerror(errno));
    error = text;
    return false;
  }
  struct stat st {};
  if (::lstat(folder.substr(0, folder.size() - 1).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    char text[600];
    std::snprintf(text, sizeof text, texts::kSpoolFolderError, folder.c_str(), std::strerror(ENOTDIR));
    error = text;
    return false;
  }
  queue.folder = folder;
  queue.jobs.clear();
  // Recovery: every complete job left behind is loaded "Held"; what no job
  // owns (a crash in the middle of a transfer) is removed.
  std::vector<std::string> controls, datas;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".cfa") == 0) controls.push_back(name.substr(0, name.size() - 4));
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dfa") == 0) datas.push_back(name.substr(0, name.size() - 4));
    }
    ::closedir(dir);
  }
  std::sort(controls.begin(), controls.end());
  for (const std::string& control : controls) {
    if (!ValidSpoolName(control, 'c') || !LoadJob(queue, control, true)) {
      Log(texts::kStrayFile, queue.name.c_str(), (control + ".cfa").c_str());
      ::unlink((folder + control + ".cfa").c_str());
    }
  }
  for (const std::string& data : datas) {
    bool owned = false;
    for (const auto& [control, job] : queue.jobs)
      for (const ControlDataFile& file : job->control.files) owned = owned || file.spoolName == data;
    if (!owned) {
      Log(texts::kStrayFile, queue.name.c_str(), (data + ".dfa").c_str());
      ::unlink((folder + data + ".dfa").c_str());
    }
  }
  return true;
}

CPrintJob* CPrintQueues::LoadJob(CPrintQueue& queue, const std::string& controlName, bool recovering) {
  if (queue.jobs.count(controlName)) return nullptr;
  std::string text;
  if (!ReadSmallFile(queue.folder + controlName + ".cfa", text)) return nullptr;
  auto job = std::make_unique<CPrintJob>();
  if (!ParseControlFile(text, controlName, job->control)) return nullptr;
  std::uint64_t size = 0;
  if (!RegularFileSize(queue.folder + controlName + ".cfa", size, &job->created)) return nullptr;
  for (const ControlDataFile& file : job->control.files) {
    if (!RegularFileSize(queue.folder + file.spoolName + ".dfa", size)) return nullptr;
    job->sizes.push_back(size);
  }
  job->queue = &queue;
  job->number = JobNumberOf(controlName);
  job->controlName = controlName;
  job->sequence = ++sequence_;
  const unsigned options = queue.settings.options;
  job->status = recovering || (options & kOptHold) ? kHeld : (options & kOptPause) ? kPaused : kReady;
  CPrintJob* result = job.get();
  queue.jobs[controlName] = std::move(job);
  return result;
}

bool CPrintQueues::HandOver(const std::string& queueName, const std::string& controlName) {
  CPrintQueue* queue = Find(queueName);
  if (!queue || !ValidSpoolName(controlName, 'c')) return false;
  CPrintJob* job = LoadJob(*queue, controlName, false);
  if (!job) return false;
  if (job->status == kReady) Submit(*job);
  return true;
}

void CPrintQueues::Submit(CPrintJob& job) {
  if (job.request) return;  // never handed over twice
  const CPrintQueue& queue = *job.queue;
  const QueueSettings& s = queue.settings;
  auto request = std::make_shared<PrintJob>();
  for (std::size_t i = 0; i < job.control.files.size(); ++i)
    for (int copy = 0; copy < job.control.files[i].copies; ++copy)
      request->files.push_back({queue.folder + job.control.files[i].spoolName + ".dfa"});
  if (request->files.empty()) return;
  const ControlDataFile& first = job.control.files.front();
  request->printerName = s.printerName;
  request->documentName = first.sourceName;
  request->headerTitle = first.title;
  request->codePageFile = CodePagePath(s.codePage);
  std::copy(std::begin(s.margins), std::end(s.margins), request->margins);
  request->font = s.font;
  request->textColour = s.fontColour;
  unsigned options = 0;
  if (s.landscape) options |= printing::kPrintLandscape;
  if (s.options & kOptMetric) options |= printing::kPrintMetricMargins;
  if (s.options & kOptScs) options |= printing::kPrintScs;
  if (s.options & kOptCompress) options |= printing::kPrintFitColumns;
  if (s.options & kOptCrLf) options |= printing::kPrintLineFeedReturns;
  if (first.format == 'p') options |= printing::kPrintPageHeader;
  if (job.control.banner && !(s.options & kOptNoBanner)) options |= printing::kPrintBanner;
  request->options = options;
  request->columns = job.control.width > 0 ? job.control.width : s.lineWidth;
  request->linesPerPage = s.linesPerPage;
  request->leftColumn = job.control.indent;
  request->owner = job.control.owner;
  request->jobClass = job.control.jobClass;
  request->jobName = job.control.jobName;
  request->jobNumber = job.number;
  request->created = job.created;
  std::weak_ptr<bool> alive = alive_;
  CPrintQueue* queuePtr = job.queue;
  const std::string controlName = job.controlName;
  request->notify = [this, alive, queuePtr, controlName](const PrintJob& done, int state) {
    if (auto flag = alive.lock(); flag && *flag) OnReport(queuePtr, controlName, state, done.error, done.errorText);
  };
  job.request = request;
  if (printer_) printer_->Submit(request);
}

void CPrintQueues::SetStatus(CPrintJob& job, int status) {
  job.status = status;
  if (status == kReady) Submit(job);
}

void CPrintQueues::OnReport(CPrintQueue* queue, const std::string& controlName, int state, int error,
                            const std::string& errorText) {
  bool known = false;
  for (auto& [name, q] : queues_) known = known || q.get() == queue;
  if (!known) return;
  auto it = queue->jobs.find(controlName);
  if (it == queue->jobs.end()) return;
  CPrintJob& job = *it->second;
  const char* name = queue->name.c_str();
  switch (state) {
    case printing::kJobQueued:
      Log(texts::kJobReport, name, job.number, texts::kQueued);
      return;
    case printing::kJobPrinting:
      job.status = kPrinting;
      Log(texts::kJobReport, name, job.number, texts::kPrinting);
      return;
    case printing::kJobComplete:
      job.request.reset();
      if ((queue->settings.options & kOptHoldAfter) && !job.deleteFiles) {
        job.status = kHeld;
        Log(texts::kJobReport, name, job.number, texts::kCompleteHeld);
      } else {
        Log(texts::kJobReport, name, job.number, texts::kCompleteDeleted);
        DeleteJob(*queue, controlName);
      }
      return;
    case printing::kJobCancelled:
      Log(texts::kJobReport, name, job.number, texts::kCompleteAborted);
      DeleteJob(*queue, controlName);
      return;
    default: {
      job.request.reset();
      std::string reason;
      if (error != 0) reason = std::strerror(error);
      else if (state >= printing::kJobLockFailed && state <= printing::kJobStartPageFailed)
        reason = texts::kFailureKinds[state - printing::kJobLockFailed];
      else if (state == printing::kJobEndPageFailed) reason = texts::kEndPageFailed;
      else reason = texts::kUnknownError;
      if (!errorText.empty()) reason += " (" + errorText + ")";
      char text[400];
      std::snprintf(text, sizeof text, texts::kFailed, reason.c_str());
      Log(texts::kJobReport, name, job.number, text);
      if (job.deleteFiles) DeleteJob(*queue, controlName);
      else job.status = kPaused;
      return;
    }
  }
}

void CPrintQueues::DeleteJob(CPrintQueue& queue, const std::string& controlName) {
  auto it = queue.jobs.find(controlName);
  if (it == queue.jobs.end()) return;
  for (const ControlDataFile& file : it->second->control.files)
    ::unlink((queue.folder + file.spoolName + ".dfa").c_str());
  ::unlink((queue.folder + controlName + ".cfa").c_str());
  queue.jobs.erase(it);
}

void CPrintQueues::RemoveJob(CPrintJob& job, std::string* reply) {
  if (reply) {
    char line[200];
    for (const ControlDataFile& file : job.control.files) {
      std::snprintf(line, sizeof line, texts::kDequeued, file.spoolName.c_str());
      *reply += line;
    }
    std::snprintf(line, sizeof line, texts::kDequeued, job.controlName.c_str());
    *reply += line;
  }
  job.deleteFiles = true;
  if (job.request) {
    // Still with the printer thread (queued or printing): it reports the
    // cancellation, and the files go then.
    job.request->state = printing::kJobCancelled;
    return;
  }
  DeleteJob(*job.queue, job.controlName);
}

void CPrintQueues::Requeue() {
  for (auto& [name, queue] : queues_) {
    if (queue->settings.options & kOptPause) continue;
    for (auto& [control, job] : queue->jobs)
      if (job->status == kPaused) SetStatus(*job, kReady);
  }
}

void CPrintQueues::Resume(const std::string& name) {
  CPrintQueue* queue = Find(name);
  if (!queue || !(queue->settings.options & kOptPause)) return;
  queue->settings.options &= ~kOptPause;
  SaveQueue(*queue);
  Requeue();
}

void CPrintQueues::Pause(const std::string& name) {
  CPrintQueue* queue = Find(name);
  if (!queue || (queue->settings.options & kOptPause)) return;
  queue->settings.options |= kOptPause;
  SaveQueue(*queue);
}

bool CPrintQueues::Reprint(const std::string& name, int number) {
  CPrintQueue* queue = Find(name);
  if (!queue) return false;
  bool any = false;
  for (auto& [control, job] : queue->jobs)
    if (job->number == number && job->status != kPrinting && !job->request) {
      SetStatus(*job, kReady);
      any = true;
    }
  return any;
}

std::vector<const CPrintJob*> CPrintQueues::JobList() const {
  std::vector<const CPrintJob*> list;
  for (const auto& [name, queue] : queues_)
    for (const auto& [control, job] : queue->jobs)
      if (!job->deleteFiles) list.push_back(job.get());
  std::sort(list.begin(), list.end(), [](const CPrintJob* a, const CPrintJob* b) {
    return a->created != b->created ? a->created < b->created : a->sequence < b->sequence;
  });
  return list;
}

std::size_t CPrintQueues::PrintingOrPending() const {
  std::size_t count = 0;
  for (const auto& [name, queue] : queues_)
    for (const auto& [control, job] : queue->jobs) count += job->request ? 1 : 0;
  return count;
}

std::string CPrintQueues::Listing(const std::string& queue) const {
  std::string rows;
  int rank = 0;
  for (const CPrintJob* job : JobList()) {
    ++rank;
    if (job->queue->name != queue) continue;
    const std::string rankText = job->status == kPrinting ? "active" : Ordinal(rank);
    char row[256];
    std::snprintf(row, sizeof row, texts::kListRow, rankText.c_str(), job->control.owner.c_str(),
                  job->number, job->FileNames().c_str(), static_cast<long long>(job->TotalSize()));
    rows += row;
  }
  return rows.empty() ? std::string(texts::kQueueEmpty) : texts::kListHeader + rows;
}

void CPrintQueues::Remove(const std::string& queueName, const std::string& agent, bool privileged,
                          std::string_view list, const std::function<void(const std::string&)>& send) {
  CPrintQueue* queue = Find(queueName);
  if (!queue || agent.empty()) return;
  auto jobsOf = [&](auto&& wanted) {
    std::vector<CPrintJob*> found;
    for (auto& [control, job] : queue->jobs)
      if (!job->deleteFiles && wanted(*job)) found.push_back(job.get());
    return found;
  };
  std::vector<std::string> items = SplitWords(list);
  if (items.empty()) {
    auto active = jobsOf([](const CPrintJob& job) { return job.status == kPrinting; });
    if (active.empty()) return;
    items.push_back(std::to_string(active.front()->number));
  }
  for (const std::string& item : items) {
    std::string reply;
    char line[300];
    if (item[0] >= '1' && item[0] <= '9') {
      int number = 0;
      for (char c : item) {
        if (c < '0' || c > '9') break;
        number = std::min(number * 10 + (c - '0'), 100000);
      }
      auto found = jobsOf([&](const CPrintJob& job) { return job.number == number; });
      if (found.empty()) {
        std::snprintf(line, sizeof line, texts::kJobNotFound, number);
        reply = line;
      }
      bool denied = false;
      for (CPrintJob* job : found) {
        if (privileged || job->control.owner == agent) RemoveJob(*job, &reply);
        else denied = true;
      }
      if (denied) {
        std::snprintf(line, sizeof line, texts::kJobDenied, number);
        reply += line;
      }
    } else if (item == "-") {
      for (CPrintJob* job : jobsOf([&](const CPrintJob& job) { return privileged || job.control.owner == agent; }))
        RemoveJob(*job, &reply);
    } else if (privileged || item == agent) {
      for (CPrintJob* job : jobsOf([&](const CPrintJob& job) { return job.control.owner == item; }))
        RemoveJob(*job, &reply);
    } else {
      std::snprintf(line, sizeof line, texts::kUserDenied, item.substr(0, 100).c_str());
      reply = line;
    }
    if (!reply.empty()) send(reply);
  }
}

}  // namespace corvina::lpd
