#include "ibm3270/Printer3270.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <ctime>

#include "ibm3270/DataStream.h"
#include "ibm3270/PrinterTexts3270.h"
#include "platform/Format.h"
#include "platform/FileIo.h"
#include "platform/Text.h"
#include "printing/PrintFiles.h"
#include "printing/PrinterThread.h"
#include "session/DataFile.h"
#include "session/Canvas.h"
#include "session/HostSession.h"
#include "session/SessionPrintJob.h"

namespace corvina {

using namespace ds3270;
namespace t = texts3270;

namespace {

constexpr std::uint8_t kWccStartPrint = 0x08;
constexpr std::uint8_t kWccPrintFormat = 0x30;
// The extended protocol's negative response reason for a printer that cannot print.
constexpr std::uint8_t kReasonInterventionRequired = 0x01;
// The acknowledgement of a printer without the extended protocol.
constexpr std::uint8_t kPlainAcknowledgement[] = {0x01, 0x6C, 0xD9, 0x02, 0x00, telnet::IAC, telnet::EOR};
constexpr std::uint8_t kLogEntry = 4, kLogErrorEntry = 5;

}  // namespace

C3270PrinterEngine::C3270PrinterEngine() = default;

C3270PrinterEngine::~C3270PrinterEngine() {
  if (fd_ >= 0) ::close(fd_);
}

void C3270PrinterEngine::Start(CHostSession& session) {
  C3270Engine::Start(session);
  self_ = std::make_shared<C3270PrinterEngine*>(this);
  log_.clear();
  errorLines_.clear();
  receiving_ = flushed_ = false;
  timeout_ = 0;
  if (const std::string logFile = InDataFolder(session, session.Profile().logFile); !logFile.empty()) {
    const int fd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
  }
  WriteMessage("%s", t::kPrinterConnected);
  ShowState();
}

void C3270PrinterEngine::Stop() {
  if (receiving_) EndJob(true);  // what arrived is not lost
  self_.reset();
  C3270Engine::Stop();
}

// ------------------------------------------------------------- the message log

void C3270PrinterEngine::WriteMessage(const char* format, ...) {
  char text[kMaxMessage + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::string message = text;
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) message.pop_back();
  char prefix[32] = "";
  const std::time_t now = static_cast<std::time_t>(session_->Clock().WallSeconds());
  std::tm tm{};
  if (localtime_r(&now, &tm)) std::strftime(prefix, sizeof prefix, t::kLogTime, &tm);
  const std::string line = prefix + message;
  if (const std::string logFile = InDataFolder(*session_, session_->Profile().logFile); !logFile.empty()) {
    const int fd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0) {
      platform::WriteAll(fd, platform::Latin1ToUtf8(line) + "\r\n");
      ::close(fd);
    }
  }
  const std::size_t width = static_cast<std::size_t>(std::max(1, session_->Columns()));
  const std::size_t indent = std::min(std::strlen(prefix), width - 1);
  const bool error = message.find(t::kErrorMark) != std::string::npos;
  log_.push_back(line.substr(0, width));
  errorLines_.push_back(error);
  for (std::size_t at = width; at < line.size(); at += width - indent) {
    log_.push_back(std::string(indent, ' ') + line.substr(at, width - indent));
    errorLines_.push_back(error);
  }
  const std::size_t rows = static_cast<std::size_t>(std::max(1, session_->Rows()));
  if (log_.size() > rows) {
    const auto drop = static_cast<std::ptrdiff_t>(log_.size() - rows);
    log_.erase(log_.begin(), log_.begin() + drop);
    errorLines_.erase(errorLines_.begin(), errorLines_.begin() + drop);
  }
  session_->SetScreenChanged(true);
  session_->Frame().ScreenChanged(*session_);
}

void C3270PrinterEngine::ShowState() {
  session_->ShowStatus(receiving_ ? platform::Format(t::kPrinterReceiving, jobNumber_) : t::kPrinterIdle);
}

void C3270PrinterEngine::Paint(Canvas& canvas) {
  if (!session_) return;
  const int rows = std::max(1, session_->Rows()), columns = std::max(1, session_->Columns());
  if (logModel_.Rows() != rows || logModel_.Columns() != columns) logModel_.Resize(rows, columns);
  for (int r = 0; r < rows; ++r) {
    const bool has = static_cast<std::size_t>(r) < log_.size();
    const std::uint8_t entry = has && errorLines_[static_cast<std::size_t>(r)] ? kLogErrorEntry : kLogEntry;
    for (int c = 0; c < columns; ++c) {
      const std::string* line = has ? &log_[static_cast<std::size_t>(r)] : nullptr;
      const std::uint8_t ch = line && static_cast<std::size_t>(c) < line->size() ? static_cast<std::uint8_t>((*line)[c]) : std::uint8_t{0x20};
      logModel_.SetCell(r, c, RenderCell{ch, kNoGlyph, CellLook{entry, entry, 0}});
    }
  }
  logModel_.SetCursor(0, 0, false);
  logModel_.SetOia(session_->StatusText());
  PaintModel(logModel_, canvas);
}

int C3270PrinterEngine::ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                                    unsigned) {
  if (!session_) return 0;
  const int columns = std::max(1, session_->Columns()), size = columns * std::max(1, session_->Rows());
  int n = 0;
  for (int p = std::max(0, position); p < size && n < count; ++p, ++n) {
    const std::size_t row = static_cast<std::size_t>(p / columns), column = static_cast<std::size_t>(p % columns);
    out += row < log_.size() && column < log_[row].size() ? log_[row][column] : ' ';
    if (attributes) attributes->push_back(0);
  }
  return n;
}

// ------------------------------------------------------------------ records

void C3270PrinterEngine::ProcessRecord(std::span<const std::uint8_t> record) {
  CTelnetLayer& telnet = session_->Telnet();
  const bool extended = telnet.CorvinaEState() != kCorvinaEOff && record.size() >= 5;
  const std::uint8_t type = extended ? record[0] : 0xFF;
  C3270Engine::ProcessRecord(record);
  // BIND and UNBIND are answered when the host asked.
  if (extended && (type == telnet::kDataBindImage || type == telnet::kDataUnbind)) {
    telnet.SendPositiveResponse();
    session_->FlushOutput();
  }
}

int C3270PrinterEngine::LineLength() const {
  const int columns = session_->Profile().pageLayout.columnsPerPage;
  return columns > 0 ? columns : 132;
}

void C3270PrinterEngine::PrinterScsData(std::span<const std::uint8_t> data) {
  const bool open = OpenJob(1);
  if (open && !flushed_) {
    if (jobToFile_) {
      std::string text;
      scsText_->Feed(data, text);
      WriteJob(platform::Latin1ToUtf8(text));
    } else {
      WriteJob(std::string(data.begin(), data.end()));
    }
  }
  Acknowledge(open && !flushed_);
  timeout_ = kReceiveTimeout;
}

void C3270PrinterEngine::PrinterWriteComplete(std::uint8_t wcc) {
  if (!(wcc & kWccStartPrint)) {
    Acknowledge(true);
    return;
  }
  const bool open = OpenJob(3);
  if (open && !flushed_) {
    const std::string text = BufferText(wcc);
    WriteJob(jobToFile_ ? platform::Latin1ToUtf8(text) : text);
  }
  Acknowledge(open && !flushed_);
  timeout_ = kReceiveTimeout;
}

void C3270PrinterEngine::PrinterEndOfJob() {
  CTelnetLayer& telnet = session_->Telnet();
  const bool failed = receiving_ && flushed_;
  EndJob(false);
  if (telnet.CorvinaEState() == kCorvinaEOff || telnet.InboundHeader().dataType != telnet::kDataPrintEoj) return;
  if (failed)
    telnet.SendNegativeResponse(kReasonInterventionRequired);
  else
    telnet.SendPositiveResponse();
  session_->FlushOutput();
}

void C3270PrinterEngine::Acknowledge(bool ok) {
  CTelnetLayer& telnet = session_->Telnet();
  if (telnet.CorvinaEState() != kCorvinaEOff) {
    if (ok)
      telnet.SendPositiveResponse();
    else
      telnet.SendNegativeResponse(kReasonInterventionRequired);
    session_->FlushOutput();
    return;
  }
  // Without the extended protocol a failure has no answer the host reads.
  if (ok) session_->SendRaw(kPlainAcknowledgement);
}

void C3270PrinterEngine::OnTick() {
  if (!receiving_ || timeout_ <= 0 || --timeout_ > 0) return;
  if (!flushed_) WriteMessage(t::kReceiveTimedOut, jobNumber_);
  EndJob(true);
}

// ---------------------------------------------------------------- job files

bool C3270PrinterEngine::OpenJob(int luType) {
  if (receiving_) return !flushed_;
  const CCorvinaSessionProfile& profile = session_->Profile();
  std::string name, path;
  int fd = -1;
  // A running script's Printer file takes the job whatever the profile says.
  OutputFileOverride* scriptFile = session_->Frame().ScriptPrinterFile(*session_);
  jobToFile_ = scriptFile || (profile.printOptions & kPrintToFile);
  if (scriptFile) {
    name = InDataFolder(*session_, scriptFile->file);
    fd = printing::OpenPrintOutputFile(name, false, scriptFile->append, diskCounter_, &path);
  } else if (jobToFile_) {
    name = InDataFolder(*session_, profile.printerFile);
    if (name != diskFileName_) {
      diskFileName_ = name;
      diskCounter_ = 0;
      diskFileUsed_ = false;
    }
    if (!name.empty())
      fd = printing::OpenPrintOutputFile(name, (profile.printOptions & kPrintNewFileEachTime) != 0, diskFileUsed_,
                                         diskCounter_, &path);
  } else {
    std::string error;
    fd = printing::CreateSpoolFile(&path, &error);
    name = path.empty() ? "spool" : path;
  }
  ++jobNumber_;
  receiving_ = true;
  luType_ = luType;
  lastLineLength_ = LineLength();
  if (fd < 0) {
    WriteMessage(t::kOpenFailed, jobNumber_, name.c_str());
    flushed_ = true;
    ShowState();
    return false;
  }
  fd_ = fd;
  jobFile_ = path;
  flushed_ = false;
  if (jobToFile_) scsText_.emplace(session_->CodePage(), LineLength(), profile.pageLayout.linesPerPage);
  WriteMessage(t::kReceivingJob, jobNumber_);
  ShowState();
  return true;
}

void C3270PrinterEngine::WriteJob(const std::string& bytes) {
  if (fd_ < 0) return;
  const int err = platform::WriteAll(fd_, bytes);
  if (err == 0) return;
  WriteMessage(t::kWriteFailed, jobNumber_, jobFile_.c_str(), std::strerror(err));
  CloseJob(true);
  flushed_ = true;
}

void C3270PrinterEngine::CloseJob(bool deleteFile) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (deleteFile && !jobFile_.empty()) ::unlink(jobFile_.c_str());
}

void C3270PrinterEngine::EndJob(bool timedOut) {
  if (!receiving_) return;
  if (flushed_) {
    if (!timedOut) WriteMessage(t::kJobFlushed, jobNumber_);
  } else {
    const bool closed = fd_ < 0 || ::close(fd_) == 0;
    const int err = errno;
    fd_ = -1;
    if (!closed) {
      WriteMessage(t::kWriteFailed, jobNumber_, jobFile_.c_str(), std::strerror(err));
    } else if (jobToFile_) {
      if (!timedOut) WriteMessage(t::kReceiveCompleteToFile, jobNumber_, jobFile_.c_str());
    } else {
      if (!timedOut) WriteMessage(t::kReceiveComplete, jobNumber_);
      SubmitJob();
    }
  }
  receiving_ = flushed_ = false;
  timeout_ = 0;
  scsText_.reset();
  ShowState();
}

void C3270PrinterEngine::SubmitJob() {
  printing::CPrinterThread* printer = session_->Printer();
  if (!printer) {
    WriteMessage(t::kPrintingFailed, jobNumber_, t::kFailureTexts[printing::kJobPrinterNotAvailable - 4]);
    return;
  }
  auto job = MakeSessionPrintJob(*session_, {printing::PrintFile{jobFile_}});
  job->columns = lastLineLength_;
  job->linesPerPage = 32767;
  if (luType_ == 1) {
    job->options |= printing::kPrintScs;
    job->codePageFile = session_->CodePage().FileName();
  }
  job->jobNumber = jobNumber_;
  job->notify = [self = std::weak_ptr<C3270PrinterEngine*>(self_)](const PrintJob& j, int state) {
    if (auto engine = self.lock()) (*engine)->JobStatus(j, state);
  };
  printer->Submit(std::move(job));
}

void C3270PrinterEngine::PrintJobStatus(const PrintJob& job) { JobStatus(job, job.state.load()); }

void C3270PrinterEngine::JobStatus(const PrintJob& job, int state) {
  switch (state) {
    case printing::kJobQueued: WriteMessage(t::kPrinting, job.jobNumber, t::kStateQueued); return;
    case printing::kJobPrinting: WriteMessage(t::kPrinting, job.jobNumber, t::kStateStarted); return;
    case printing::kJobComplete: WriteMessage(t::kPrinting, job.jobNumber, t::kStateComplete); return;
    case printing::kJobCancelled: WriteMessage(t::kPrinting, job.jobNumber, t::kStateAborted); return;
    default: break;
  }
  std::string reason = printing::JobFailureText(job);
  if (reason.empty() && state >= 4 && state <= 13 && t::kFailureTexts[state - 4]) reason = t::kFailureTexts[state - 4];
  if (reason.empty()) reason = t::kUnknownError;
  WriteMessage(t::kPrintingFailed, job.jobNumber, reason.c_str());
}

// ------------------------------------------------------------ LU type 3 text

std::string C3270PrinterEngine::BufferText(std::uint8_t wcc) const {
  const C3270PresentationSpace& ps = Screen();
  const CCorvinaCodePage& cp = session_->CodePage();
  const int format = wcc & kWccPrintFormat;
  const int length = format == 0x10 ? 40 : format == 0x20 ? 64 : format == 0x30 ? 80 : LineLength();
  const bool nullLines = (session_->Profile().printOptions & kPrintNullLinesAsBlank) != 0;
  std::string out, line;
  bool visible = false, hidden = false, nonDisplay = false;
  auto emit = [&](const char* end) {
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + end;
    line.clear();
    visible = hidden = false;
  };
  auto character = [&](std::uint8_t c) {
    if (nonDisplay) {
      line += ' ';
      hidden = true;
      return;
    }
    const auto a = cp.ToAscii(c);
    const char shown = a < 0x20 || a == 0x7F || (a >= 0x80 && a < 0xA0) ? ' ' : static_cast<char>(a);
    line += shown;
    visible = visible || shown != ' ';
  };
  // A line of the print: with text, or blank when it held hidden text or
  // null lines print; otherwise dropped (unformatted prints keep every line).
  auto finish = [&] {
    if (!format || visible) {
      emit("\r\n");
    } else {
      if (hidden || nullLines) out += "\r\n";
      line.clear();
      visible = hidden = false;
    }
  };
  const int end = format ? ps.Size() : std::min(ps.writeAddress, ps.Size());
  for (int p = 0; p < end; ++p) {
    if (const std::uint8_t a = ps.Attribute(p); a != 0) {
      nonDisplay = (a & kFaDisplayMask) == kFaNonDisplay;
      line += ' ';
    } else {
      const std::uint8_t c = ps.Character(p);
      if (c == 0x2B) {
        // A format control: itself, its kind and the bytes its count covers.
        const int count = p + 2 < end ? std::max<int>(ps.Character(p + 2), 1) : 1;
        p += 1 + count;
        continue;
      }
      if (nonDisplay && c < 0x40) {
        line += ' ';
      } else if (c == 0x0C) {
        if (line.empty()) out += '\f';
        line += ' ';
      } else if (format) {
        if (c == 0x00 || c == 0x0D || c == 0x15 || c == 0x19)
          line += ' ';
        else
          character(c);
      } else if (c == 0x00) {
        continue;  // nulls take no room in an unformatted print
      } else if (c == 0x0D) {
        emit("\r");
        continue;
      } else if (c == 0x15) {
        emit("\r\n");
        continue;
      } else if (c == 0x19) {
        break;  // end of message
      } else {
        character(c);
      }
    }
    if (static_cast<int>(line.size()) >= length) finish();
  }
  if (!line.empty()) finish();
  return out;
}

}  // namespace corvina
