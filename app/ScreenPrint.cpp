#include "app/ScreenPrint.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/AppTexts.h"
#include "platform/Format.h"
#include "platform/FileIo.h"
#include "platform/Text.h"
#include "printing/PrintFiles.h"
#include "printing/PrintTexts.h"
#include "printing/PrinterThread.h"
#include "session/HostSession.h"
#include "session/SessionPrintJob.h"
#include "session/TextCanvas.h"

namespace corvina::app {

namespace {

void Tell(CHostSession& session, const std::string& text) {
  session.Ui().MessageBox(text, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
}

}  // namespace

std::string ScreenPrintText(CHostSession& session, std::time_t now, bool utf8) {
  const CCorvinaSessionProfile& profile = session.Profile();
  const int columns = session.Columns();
  auto edge = [utf8](const std::string& latin1) { return utf8 ? platform::Latin1ToUtf8(latin1) : latin1; };
  std::string out = edge(printing::SubstituteHeaderTokens(profile.printScreenHeader, profile.name, columns, now));
  out += "\r\n\r\n";
  TextCanvas canvas;
  if (TerminalEngine* engine = session.Engine()) engine->Paint(canvas);
  if (utf8) {
    for (const std::string& line : canvas.Lines()) out += line + "\r\n";
  } else {
    for (const std::string& row : session.ScreenRows()) out += row + "\r\n";
  }
  if (profile.printOptions & kPrintOia) {
    const std::string oia = canvas.OiaLine();
    out += (utf8 ? oia : platform::Utf8ToLatin1(oia).value_or(std::string())) + "\r\n";
  }
  out += "\r\n" + edge(printing::SubstituteHeaderTokens(profile.printScreenFooter, profile.name, columns, now)) + "\r\n";
  return out;
}

bool PrintScreen(CHostSession& session, ScreenPrintFiles& files, std::time_t now) {
  const CCorvinaSessionProfile& profile = session.Profile();
  if ((profile.printOptions & kPrintToFile) && !profile.printerFile.empty()) {
    const std::string name = profile.printerFile[0] == '/' ? profile.printerFile : session.DataFolder() + profile.printerFile;
    std::string path;
    const int fd = printing::OpenPrintOutputFile(name, (profile.printOptions & kPrintNewFileEachTime) != 0, files.used,
                                                 files.counter, &path);
    if (fd < 0) {
      Tell(session, platform::Format(printing::texts::kUnableToOpenFile, name.c_str()));
      return false;
    }
    const bool written = platform::WriteAll(fd, ScreenPrintText(session, now, true)) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) Tell(session, platform::Format(printing::texts::kUnableToOpenFile, path.c_str()));
    return written && closed;
  }
  printing::CPrinterThread* printer = session.Printer();
  std::string error, spool;
  const int fd = printer ? printing::CreateSpoolFile(&spool, &error) : -1;
  if (fd < 0) {
    Tell(session, platform::Format(texts::kCannotPrint, printer ? error.c_str() : printing::texts::kNoDestination));
    return false;
  }
  const int writeError = platform::WriteAll(fd, ScreenPrintText(session, now, false));
  const int closeError = ::close(fd) != 0 ? errno : 0;
  if (writeError || closeError) {
    Tell(session, platform::Format(texts::kCannotPrint, std::strerror(writeError ? writeError : closeError)));
    ::unlink(spool.c_str());
    return false;
  }
  auto job = MakeSessionPrintJob(session, {printing::PrintFile{spool}});
  // One page per screen: the font shrinks until every line fits.
  job->columns = session.Columns();
  job->linesPerPage = session.Rows() + 5 + ((profile.printOptions & kPrintOia) ? 1 : 0);
  job->options &= ~printing::kPrintRaw;
  job->options |= printing::kPrintNoInitialFormFeed | printing::kPrintFitLines;
  job->notify = [ui = &session.Ui(), alive = session.AliveToken()](const PrintJob& j, int state) {
    if (state == printing::kJobQueued || state == printing::kJobPrinting || state == printing::kJobComplete) return;
    if (!*alive) return;
    const std::string reason = printing::JobFailureText(j);
    ui->MessageBox(platform::Format(texts::kCannotPrint, reason.empty() ? printing::texts::kNoDestination : reason.c_str()),
                   texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
  };
  printer->Submit(std::move(job));
  return true;
}

}  // namespace corvina::app
