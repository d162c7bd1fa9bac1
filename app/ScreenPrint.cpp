#include "app/ScreenPrint.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/AppTexts.h"
#include "app/SaveFiles.h"
#include "config/ColorScheme.h"
#include "platform/Format.h"
#include "platform/FileIo.h"
#include "platform/Text.h"
#include "printing/PrintFiles.h"
#include "printing/PrintTexts.h"
#include "printing/PrinterThread.h"
#include "script/Script.h"
#include "session/DataFile.h"
#include "session/HostSession.h"
#include "session/SessionPrintJob.h"
#include "session/TextCanvas.h"

namespace corvina::app {

namespace {

void Tell(CHostSession& session, const std::string& text) {
  session.Ui().MessageBox(text, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
}

}  // namespace

std::string ScreenPrintText(CHostSession& session, std::time_t now) {
  const CCorvinaSessionProfile& profile = session.Profile();
  const int columns = session.Columns();
  std::string out =
      platform::Latin1ToUtf8(printing::SubstituteHeaderTokens(profile.printScreenHeader, profile.name, columns, now));
  out += "\r\n\r\n";
  TextCanvas canvas;
  if (TerminalEngine* engine = session.Engine()) engine->Paint(canvas);
  for (const std::string& line : canvas.Lines()) out += line + "\r\n";
  if (profile.printOptions & kPrintOia) out += canvas.OiaLine() + "\r\n";
  out += "\r\n" +
         platform::Latin1ToUtf8(printing::SubstituteHeaderTokens(profile.printScreenFooter, profile.name, columns, now)) +
         "\r\n";
  return out;
}

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000;

// Collects the painted screen as runs with their printed colours: text the
// colour of its background is left out (white on white); the rest is in the
// print colour on white when monochrome, else the screen's own background
// becomes white (and white text on it black), every other colour as shown.
class CPrintPageCanvas final : public Canvas {
 public:
  CPrintPageCanvas(printing::ScreenPage& page, const CCorvinaColorScheme& scheme, bool monochrome,
                   std::uint32_t printColour, const std::vector<std::string>& latin1Rows)
      : page_(page), scheme_(scheme), monochrome_(monochrome), printColour_(printColour), rows_(latin1Rows) {}

  void DrawText(int row, int column, std::string_view latin1, const CellLook& look) override {
    Add(row, column, std::string(latin1), platform::Latin1ToUtf8(latin1), look);
  }
  void DrawGlyph(int row, int column, std::uint8_t glyph, const CellLook& look) override {
    const std::size_t r = static_cast<std::size_t>(row), c = static_cast<std::size_t>(column);
    const char shown = r < rows_.size() && c < rows_[r].size() ? rows_[r][c] : ' ';
    Add(row, column, std::string(1, shown), platform::ToUtf8(std::u32string(1, TextCanvas::GlyphCharacter(glyph))),
        look);
  }
  void DrawOia(std::string_view latin1) override { oia_.assign(latin1); }
  // The information line the engine painted (Latin-1).
  const std::string& Oia() const { return oia_; }

 private:
  void Add(int row, int column, std::string latin1, std::string utf8, const CellLook& look) {
    printing::ScreenRun run;
    run.line = row + 2;  // below the header and its blank line
    run.column = column;
    run.bold = (look.flags & kCellBold) != 0;
    run.underline = (look.flags & kCellUnderline) != 0;
    Rgb text = scheme_.Foreground(look.foreground & 31);
    Rgb back = (look.flags & kCellBackgroundFromForeground) ? scheme_.Foreground(look.background & 31)
                                                            : scheme_.Background(look.background & 31);
    if (look.flags & kCellReverse) std::swap(text, back);
    if (look.flags & kCellInvisible) text = back;
    // Text that the screen does not show (hidden fields) is not printed either.
    if (text == back) return;
    if (monochrome_) {
      run.colour = printColour_;
    } else {
      run.colour = ColorRef(text);
      run.background = ColorRef(back);
      if (back == scheme_.Background(0)) {
        run.background = kWhite;
        if (run.colour == kWhite) run.colour = kBlack;
      }
    }
    // Blanks on white leave nothing on the paper.
    if (run.background == kWhite && latin1.find_first_not_of(' ') == std::string::npos) return;
    run.latin1 = std::move(latin1);
    run.utf8 = std::move(utf8);
    page_.runs.push_back(std::move(run));
  }

  printing::ScreenPage& page_;
  const CCorvinaColorScheme& scheme_;
  bool monochrome_;
  std::uint32_t printColour_;
  const std::vector<std::string>& rows_;
  std::string oia_;
};

// A line of the page in the print colour on white.
void AddLine(printing::ScreenPage& page, int line, const std::string& latin1, const std::string& utf8,
             std::uint32_t colour) {
  if (latin1.find_first_not_of(' ') == std::string::npos) return;
  printing::ScreenRun run;
  run.line = line;
  run.latin1 = latin1;
  run.utf8 = utf8;
  run.colour = colour;
  page.runs.push_back(std::move(run));
}

// The file print: a numbered file, the configured one, or a script's.
bool WritePrintFile(CHostSession& session, ScreenPrintFiles& files, script::ScriptFileOverride* scriptPrinter,
                    const std::string& utf8) {
  const CCorvinaSessionProfile& profile = session.Profile();
  const std::string& file = scriptPrinter ? scriptPrinter->file : profile.printerFile;
  const std::string name = InDataFolder(session, file);
  // A script's file is appended to as its flag says; the profile's is numbered when it asks.
  const bool numbered = !scriptPrinter && (profile.printOptions & kPrintNewFileEachTime) != 0;
  bool& used = scriptPrinter ? scriptPrinter->append : files.used;
  std::string path;
  const int fd = printing::OpenPrintOutputFile(name, numbered, used, files.counter, &path);
  if (fd < 0) {
    Tell(session, platform::Format(printing::texts::kUnableToOpenFile, name.c_str()));
    return false;
  }
  // A print that cannot be written whole leaves the file as it was.
  const FileWriteResult r = WriteOpenFile(fd, utf8, false);
  if (!r.ok) Tell(session, platform::Format(texts::kWriteFailed, path.c_str(), r.cause.c_str()));
  return r.ok;
}

bool PrintsToFile(const CHostSession& session, const script::ScriptFileOverride* scriptPrinter) {
  const CCorvinaSessionProfile& profile = session.Profile();
  return scriptPrinter || ((profile.printOptions & kPrintToFile) && !profile.printerFile.empty());
}

// Failures are shown while the session lives; with the profile's abort
// dialog the job can be cancelled while it waits or prints.
void Submit(CHostSession& session, std::shared_ptr<PrintJob> job) {
  auto dialog = std::make_shared<std::unique_ptr<platform::ModelessDialog>>();
  if (session.Profile().printOptions & kPrintAbortDialog) {
    const platform::PrintProgress progress{texts::kPrintingCaption,
                                           platform::Format(texts::kPrintingDocument, job->documentName.c_str()),
                                           texts::kCancelPrinting};
    *dialog = session.Ui().OpenPrintProgress(progress, [weak = std::weak_ptr<PrintJob>(job)] {
      if (auto j = weak.lock()) printing::CancelJob(*j);
    });
  }
  job->notify = [ui = &session.Ui(), alive = session.AliveToken(), dialog](const PrintJob& j, int state) {
    if (state == printing::kJobQueued || state == printing::kJobPrinting) return;
    dialog->reset();  // the job has ended
    if (state == printing::kJobComplete || state == printing::kJobCancelled || !*alive) return;
    const std::string reason = printing::JobFailureText(j);
    ui->MessageBox(platform::Format(texts::kCannotPrint, reason.empty() ? printing::texts::kNoDestination : reason.c_str()),
                   texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
  };
  session.Printer()->Submit(std::move(job));
}

}  // namespace

int CancelPrinting(CHostSession& session) {
  printing::CPrinterThread* printer = session.Printer();
  const int cancelled = printer ? printer->CancelJobsOf(&session) : 0;
  session.Ui().SetStatusText(cancelled ? platform::Format(texts::kPrintJobsCancelled, cancelled) : texts::kNoPrintJobs);
  return cancelled;
}

printing::ScreenPage ScreenPrintPage(CHostSession& session, std::time_t now) {
  const CCorvinaSessionProfile& profile = session.Profile();
  const bool oia = (profile.printOptions & kPrintOia) != 0;
  const int rows = session.Rows(), columns = session.Columns();
  const std::uint32_t colour = 0;  // the print colour
  printing::ScreenPage page;
  page.columns = columns;
  // The rows and one more, the information line, and two lines each for
  // the header and the footer.
  page.lines = rows + 5 + (oia ? 1 : 0);
  page.centre = (profile.printOptions & kPrintCenter) != 0;
  const std::string header = printing::SubstituteHeaderTokens(profile.printScreenHeader, profile.name, columns, now);
  AddLine(page, 0, header, platform::Latin1ToUtf8(header), colour);
  const std::vector<std::string> latin1Rows = session.ScreenRows();
  CPrintPageCanvas canvas(page, session.ColorScheme(), (profile.printOptions & kPrintMonochrome) != 0, colour,
                          latin1Rows);
  if (TerminalEngine* engine = session.Engine()) engine->Paint(canvas);
  int line = rows + 2;
  if (oia) AddLine(page, line++, canvas.Oia(), platform::Latin1ToUtf8(canvas.Oia()), colour);
  const std::string footer = printing::SubstituteHeaderTokens(profile.printScreenFooter, profile.name, columns, now);
  AddLine(page, line + 1, footer, platform::Latin1ToUtf8(footer), colour);
  return page;
}

bool PrintText(CHostSession& session, ScreenPrintFiles& files, script::ScriptFileOverride* scriptPrinter,
               const std::string& utf8, const std::string& latin1) {
  if (PrintsToFile(session, scriptPrinter)) return WritePrintFile(session, files, scriptPrinter, utf8);
  printing::CPrinterThread* printer = session.Printer();
  std::string error, spool;
  const int fd = printer ? printing::CreateSpoolFile(&spool, &error) : -1;
  if (fd < 0) {
    Tell(session, platform::Format(texts::kCannotPrint, printer ? error.c_str() : printing::texts::kNoDestination));
    return false;
  }
  const int writeError = platform::WriteAll(fd, latin1);
  const int closeError = ::close(fd) != 0 ? errno : 0;
  if (writeError || closeError) {
    Tell(session, platform::Format(texts::kCannotPrint, std::strerror(writeError ? writeError : closeError)));
    ::unlink(spool.c_str());
    return false;
  }
  auto job = MakeSessionPrintJob(session, {printing::PrintFile{spool}});
  job->options &= ~printing::kPrintRaw;
  Submit(session, std::move(job));
  return true;
}

bool PrintScreen(CHostSession& session, ScreenPrintFiles& files, script::ScriptFileOverride* scriptPrinter,
                 std::time_t now) {
  if (PrintsToFile(session, scriptPrinter)) {
    // While a VT host prints, what it sent so far goes instead of the screen.
    std::optional<std::string> buffer = session.Engine() ? session.Engine()->PrintBuffer() : std::nullopt;
    return WritePrintFile(session, files, scriptPrinter, buffer ? *buffer : ScreenPrintText(session, now));
  }
  if (!session.Printer()) {
    Tell(session, platform::Format(texts::kCannotPrint, printing::texts::kNoDestination));
    return false;
  }
  auto page = std::make_shared<printing::ScreenPage>(ScreenPrintPage(session, now));
  auto job = MakeSessionPrintJob(session, {});
  job->screen = page;
  job->options &= ~(printing::kPrintRaw | printing::kPrintDeleteFiles);
  // One page per screen: the font shrinks until every line fits.
  job->columns = page->columns;
  job->linesPerPage = page->lines;
  job->options |= printing::kPrintNoInitialFormFeed | printing::kPrintFitLines;
  Submit(session, std::move(job));
  return true;
}

}  // namespace corvina::app
