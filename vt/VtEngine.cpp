#include "vt/VtEngine.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "config/ColorScheme.h"
#include "config/SessionProfile.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyboardMap.h"
#include "platform/Format.h"
#include "session/DataFile.h"
#include "session/Canvas.h"
#include "platform/FileIo.h"
#include "printing/JobRenderer.h"
#include "printing/PrintFiles.h"
#include "printing/PrintTexts.h"
#include "printing/PrinterThread.h"
#include "session/HostSession.h"
#include "session/SessionPrintJob.h"
#include "session/Oia.h"
#include "vt/VtTexts.h"

namespace corvina {

namespace k = kf::vt;
using vt::CVtScreen;
using vt::VtCell;

namespace {

// Text for readers of the screen (HLLAPI, the clipboard, corvina-cli's
// searches): the nearest Latin-1 character of each glyph.
constexpr char kGlyphText[33] = " *#HFCL\xB0\xB1NV+++++-----++++|<>p#\xA3\xB7";

// Line size bits as the render model's line sizes.
LineSize ModelLineSize(std::uint8_t size) {
  switch (size) {
    case vt::kLineDoubleWidth: return LineSize::kDoubleWidth;
    case vt::kLineDoubleHeightTop: return LineSize::kDoubleHeightTop;
    case vt::kLineDoubleHeightBottom: return LineSize::kDoubleHeightBottom;
    default: return LineSize::kNormal;
  }
}

int HistoryOf(const CCorvinaSessionProfile& profile) {
  return std::clamp<int>(profile.scrollBackLines, 0, CVtScreen::kMaxHistory);
}

}  // namespace

CVtEngine::CVtEngine() : terminal_(*this) {}

CVtEngine::~CVtEngine() = default;

unsigned CVtEngine::Mode() const { return terminal_.Config().kind; }

void CVtEngine::Start(CHostSession& session) {
  session_ = &session;
  const CCorvinaSessionProfile& profile = session.Profile();
  vt::VtConfig config;
  config.kind = session.Mode();
  config.rows = session.Rows();
  config.columns = session.Columns();
  config.history = HistoryOf(profile);
  config.lineWrap = (profile.terminalOptions & kTermLineWrap) != 0;
  config.answerback = profile.luName;
  terminal_.Start(config);
  viewOffset_ = 0;
  spool_.Configure(session.DataFolder() + platform::Format(vt::texts::kSpoolFileName, session.Number()),
                   [&session](const std::string& text) { session.ShowStatus(text); });
  alive_ = std::make_shared<CHostSession*>(&session);
  spool_.SetSink(&printerSink_);
  model_.Resize(terminal_.Rows(), terminal_.Columns());
  running_ = true;
  session.SetCursorPosition(0, false);
  // The sequences a keyboard map replaces, from the map the session has at each key.
  if (!override_) {
    override_ = [&session](int id) -> std::optional<std::string> {
      const CCorvinaKeyboardMap& map = session.KeyboardMap();
      return map.HasControlSequenceOverride(id) ? map.ControlSequence(id, false) : std::nullopt;
    };
  }
}

void CVtEngine::ProfileChanged() {
  if (!running_) return;
  const int history = HistoryOf(session_->Profile());
  if (history == terminal_.Screen().HistoryCapacity()) return;
  terminal_.SetHistory(history);
  viewOffset_ = 0;
  model_.MarkAllChanged();
  session_->Frame().ScreenChanged(*session_);
}

void CVtEngine::Stop() {
  if (!running_) return;
  spool_.Silence();
  spool_.EndJob();
  alive_.reset();
  running_ = false;
}

void CVtEngine::CPrinterThreadSink::SubmitJob(const vt::VtPrintJob& spooled) {
  CHostSession& session = *engine_.session_;
  if (OutputFileOverride* file = session.Frame().ScriptPrinterFile(session)) {
    WriteToFile(spooled, *file);
    return;
  }
  if (!session.Printer()) return;  // the job stays in the spool file
  // The spool file holds the session's earlier jobs too: it stays.
  auto job = MakeSessionPrintJob(session, {printing::PrintFile{spooled.path, spooled.offset, spooled.length}});
  job->options &= ~printing::kPrintDeleteFiles;
  if (spooled.raw) job->options |= printing::kPrintRaw;
  job->notify = [alive = std::weak_ptr<CHostSession*>(engine_.alive_)](const PrintJob& j, int state) {
    if (state == printing::kJobQueued || state == printing::kJobPrinting || state == printing::kJobComplete) return;
    if (auto s = alive.lock()) {
      std::string reason = printing::JobFailureText(j);
      if (reason.empty()) reason = platform::Format(vt::texts::kPrintFailedState, state);
      (*s)->ShowStatus(platform::Format(vt::texts::kPrintFailed, reason.c_str()));
    }
  };
  session.Printer()->Submit(std::move(job));
}

// A running script's Printer file takes the job's bytes as they came.
void CVtEngine::CPrinterThreadSink::WriteToFile(const vt::VtPrintJob& spooled, OutputFileOverride& file) {
  CHostSession& session = *engine_.session_;
  const std::string name = InDataFolder(session, file.file);
  std::string path, failure;
  int counter = 0;
  const int fd = printing::OpenPrintOutputFile(name, false, file.append, counter, &path);
  printing::CSpoolReader in;
  if (fd < 0) {
    failure = platform::Format(printing::texts::kCannotOpenFile, name.c_str(), std::strerror(errno));
  } else if (!in.Open(printing::PrintFile{spooled.path, spooled.offset, spooled.length})) {
    failure = platform::Format(printing::texts::kCannotReadFile, spooled.path.c_str(), std::strerror(in.Error()));
  } else {
    int err = 0;
    for (std::string_view piece = in.NextChunk(); !piece.empty() && !err; piece = in.NextChunk())
      err = platform::WriteAll(fd, piece);
    if (!err && in.Failed()) failure = platform::Format(printing::texts::kCannotReadFile, spooled.path.c_str(),
                                                        std::strerror(in.Error()));
    if (err) failure = platform::Format(printing::texts::kCannotWriteFile, path.c_str(), std::strerror(err));
  }
  if (fd >= 0 && ::close(fd) != 0 && failure.empty())
    failure = platform::Format(printing::texts::kCannotWriteFile, path.c_str(), std::strerror(errno));
  if (!failure.empty()) session.ShowStatus(platform::Format(vt::texts::kPrintFailed, failure.c_str()));
}

// ------------------------------------------------------------- host data

void CVtEngine::ProcessRecord(std::span<const std::uint8_t> bytes) {
  if (!running_) return;
  const int historyBefore = terminal_.Screen().HistoryLines();
  terminal_.Feed(bytes);
  AfterHostData(historyBefore);
}

void CVtEngine::AfterHostData(int historyBefore) {
  // A view scrolled back keeps its lines in view while the history grows;
  // once it is full the view moves on with the newer lines.
  const int history = terminal_.Screen().HistoryLines();
  if (viewOffset_ > 0) viewOffset_ = std::min(history, viewOffset_ + std::max(0, history - historyBefore));
  session_->SetScreenChanged(true);
  session_->SetCursorPosition(terminal_.CursorRow() * terminal_.Columns() + terminal_.CursorColumn(), true);
}

void CVtEngine::Reply(std::string_view bytes) { Send(bytes); }

void CVtEngine::Bell() {
  if (!(session_->Profile().hostOptions & kHostSuppressAlarms)) session_->Ui().Beep(platform::BeepKind::Default);
}

void CVtEngine::PrintScreen() {
  for (int r = 0; r < terminal_.Rows(); ++r) {
    std::string line = RowText(r + viewOffset_);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    spool_.Add(line + "\r\n", false);
  }
  spool_.EndJob();
}

void CVtEngine::PrinterData(std::string_view bytes) { spool_.Add(bytes, terminal_.PrinterController()); }

void CVtEngine::PrinterJobEnd() { spool_.EndJob(); }

void CVtEngine::ScreenResized() {
  session_->SetSize(terminal_.Rows(), terminal_.Columns());
  model_.Resize(terminal_.Rows(), terminal_.Columns());
  viewOffset_ = 0;
  session_->Frame().ScreenChanged(*session_);
}

// ------------------------------------------------------------------- keys

bool CVtEngine::LocalEchoOn() const {
  const CTelnetLayer& telnet = session_->Telnet();
  return !telnet.RemoteEcho() && (telnet.LocalEcho() || (session_->Profile().terminalOptions & kTermLocalEcho));
}

void CVtEngine::Echo(std::string_view bytes) {
  if (!LocalEchoOn()) return;
  const int historyBefore = terminal_.Screen().HistoryLines();
  terminal_.Feed(bytes);
  AfterHostData(historyBefore);
}

void CVtEngine::Send(std::string_view bytes) {
  std::vector<std::uint8_t> out;
  out.reserve(bytes.size() + 1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(static_cast<std::uint8_t>(bytes[i]));
    if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) out.push_back(0);
  }
  session_->QueueOutputEscaped(out);
}

void CVtEngine::LineModeKey(int id) {
  const unsigned kind = session_->ConfiguredKind();
  const int backspace = Is3270Family(kind) ? kf::ibm3270::kBackspace : Is5250Family(kind) ? kf::ibm5250::kBackspace : k::kBackspace;
  const int enter = Is3270Family(kind) ? kf::ibm3270::kEnter : Is5250Family(kind) ? kf::ibm5250::kEnter : k::kEnter;
  const int tab = Is3270Family(kind) ? kf::ibm3270::kTab : Is5250Family(kind) ? kf::ibm5250::kTab : k::kTab;
  if (id == backspace) {
    Send("\b");
    Echo("\b \b");
  } else if (id == enter) {
    Send(session_->Profile().terminalOptions & kTermSendCrForCrLf ? "\r" : "\r\n");
    Echo("\r\n");
  } else if (id == tab) {
    Send("\t");
  }
}

bool CVtEngine::HistoryKey(int id) {
  const int rows = terminal_.Rows();
  switch (id) {
    case k::kScrollLineUp: SetViewOffset(viewOffset_ + 1); return true;
    case k::kScrollLineDown: SetViewOffset(viewOffset_ - 1); return true;
    case k::kScrollPageUp: SetViewOffset(viewOffset_ + rows); return true;
    case k::kScrollPageDown: SetViewOffset(viewOffset_ - rows); return true;
    case k::kScrollHome: SetViewOffset(session_->Profile().scrollBackLines); return true;
    case k::kScrollEnd: SetViewOffset(0); return true;
    default: return false;
  }
}

void CVtEngine::SetViewOffset(int offset) {
  offset = std::clamp(offset, 0, terminal_.Screen().HistoryLines());
  if (offset == viewOffset_) return;
  // A move of up to half a screen moves the picture; the rest is drawn anew.
  if (std::abs(offset - viewOffset_) <= terminal_.Rows() / 2) model_.ScrollRows(offset - viewOffset_);
  viewOffset_ = offset;
  session_->Frame().ScreenChanged(*session_);
}

void CVtEngine::ReturnToLive() {
  if (viewOffset_ == 0) return;
  SetViewOffset(0);
  model_.MarkAllChanged();
}

void CVtEngine::KeyFunction(int id) {
  if (!running_) return;
  if (Mode() == vt::kVtLineMode) {
    LineModeKey(id);
    return;
  }
  if (HistoryKey(id)) return;
  ReturnToLive();
  if (terminal_.KeyboardLocked()) {
    session_->Ui().Beep(platform::BeepKind::Exclamation);
    return;
  }
  if (id >= k::kUDK1 && id <= k::kUDK20) {
    Send(terminal_.UserKey(id - k::kUDK1));
    return;
  }
  if (id >= k::kF1 && id <= k::kF20 && !terminal_.UserKey(id - k::kF1).empty()) {
    Send(terminal_.UserKey(id - k::kF1));
    return;
  }
  id = VtApplicationModeFunction(id, terminal_.CursorKeysApplication(), terminal_.KeypadApplication());
  std::string sequence;
  if (terminal_.Vt52()) {
    sequence = Vt52Sequence(id);
  } else if (std::optional<std::string> mapped = override_ ? override_(id) : std::nullopt) {
    sequence = std::move(*mapped);
  } else {
    sequence = VtDefaultSequence(id);
  }
  if (sequence.empty()) return;
  if (id >= k::kTelnetAbortOutput && id <= k::kTelnetInterruptProcess && sequence.size() == 2 &&
      static_cast<std::uint8_t>(sequence[0]) == 0xFF) {
    // A Telnet command, not data.
    session_->QueueOutput(std::span(reinterpret_cast<const std::uint8_t*>(sequence.data()), sequence.size()));
    return;
  }
  if (id == k::kEnter && sequence == "\r\n" &&
      ((session_->Profile().terminalOptions & kTermSendCrForCrLf) || (Mode() != vt::kVtAnsi && !terminal_.NewLineMode())))
    sequence = "\r";
  Send(sequence);
  if (id == k::kBackspace) Echo("\b \b");
  if (id == k::kEnter) Echo("\r\n");
  if (id == k::kTab) Echo("\t");
}

void CVtEngine::TypeCharacter(int code) {
  if (!running_ || code < 0 || code > 0xFF) return;
  ReturnToLive();
  if (Mode() != vt::kVtLineMode && terminal_.KeyboardLocked()) {
    session_->Ui().Beep(platform::BeepKind::Exclamation);
    return;
  }
  const char c = static_cast<char>(code);
  Send(std::string_view(&c, 1));
  if (c == '\b')
    Echo("\b \b");
  else if (c == '\r')
    Echo("\r\n");
  else
    Echo(std::string_view(&c, 1));
}

void CVtEngine::PasteText(std::string_view text) {
  if (!running_) return;
  ReturnToLive();
  Send(text);
  Echo(text);
  session_->SetPasteOffset(session_->PasteOffset() + text.size());  // all of it went
}

// ------------------------------------------------------------ the screen

std::string CVtEngine::RowText(int line) const {
  const CVtScreen& screen = terminal_.Screen();
  const VtCell* cells = screen.Line(line);
  std::string text(static_cast<std::size_t>(screen.Columns()), ' ');
  const bool lineMode = Mode() == vt::kVtLineMode;
  for (int c = 0; c < screen.Columns(); ++c) {
    const std::uint8_t ch = cells[c].character;
    text[static_cast<std::size_t>(c)] = ch < 0x20 && !lineMode ? kGlyphText[ch] : static_cast<char>(ch);
  }
  return text;
}

int CVtEngine::ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                           unsigned) {
  if (!running_) return 0;
  const int columns = terminal_.Columns(), size = terminal_.Rows() * columns;
  if (position < 0 || count <= 0 || position >= size) return 0;
  count = std::min(count, size - position);
  for (int p = position; p < position + count;) {
    const int row = p / columns, column = p % columns;
    const int n = std::min(columns - column, position + count - p);
    out.append(RowText(row), static_cast<std::size_t>(column), static_cast<std::size_t>(n));
    if (attributes) {
      const VtCell* cells = terminal_.Screen().Line(row);
      for (int c = column; c < column + n; ++c) attributes->push_back(cells[c].rendition);
    }
    p += n;
  }
  return count;
}

// The rows on display: a view scrolled back copies history text.
std::string CVtEngine::CopyRectangle(const CellRect& rect) {
  std::string text;
  if (!running_ || rect.Empty()) return text;
  const int top = std::max(0, rect.top), bottom = std::min(terminal_.Rows() - 1, rect.bottom);
  const int left = std::max(0, rect.left), right = std::min(terminal_.Columns() - 1, rect.right);
  for (int r = top; r <= bottom && left <= right; ++r) {
    std::string row = RowText(r - viewOffset_).substr(static_cast<std::size_t>(left), static_cast<std::size_t>(right - left + 1));
    while (!row.empty() && row.back() == ' ') row.pop_back();
    text += row;
    if (r < bottom) text += "\r\n";
  }
  return text;
}

RenderCell CVtEngine::CellOf(const VtCell& cell, std::uint8_t lineSize) const {
  RenderCell out;
  const bool lineMode = Mode() == vt::kVtLineMode;
  if (cell.character < 0x20 && !lineMode)
    out.glyph = cell.character;
  else
    out.character = cell.character;
  const std::uint8_t r = cell.rendition;
  std::uint16_t flags = r & 0x8F;
  if (lineSize == vt::kLineDoubleHeightTop) flags |= kCellDoubleHeight | kCellDoubleWidth;
  if (lineSize == vt::kLineDoubleWidth) flags |= kCellDoubleWidth;
  if (lineMode) {
    out.look = CellLook{0, 0, flags};
    return out;
  }
  int f = cell.colours >> 4, b = cell.colours & 0x0F;
  if (f >= kSchemeElements) f = vt::kColourDefault;
  if (b >= kSchemeElements) b = vt::kColourDefaultBackground;
  // Bold shows as the bold element's colours when they differ from the
  // normal ones, else as the bold font.
  const int bold = f + 9;
  const CCorvinaColorScheme& scheme = session_->ColorScheme();
  if ((r & vt::kRendBold) && bold < kSchemeElements && scheme.Colors(bold) != scheme.Colors(f)) {
    f = bold;
    flags &= static_cast<std::uint16_t>(~kCellBold);
  }
  if ((r & vt::kRendBlink) && (session_->Profile().displayOptions & kDisplayBlinkAsReverse)) {
    flags ^= kCellReverse;
    flags &= static_cast<std::uint16_t>(~kCellBlink);
  }
  if (terminal_.ScreenReverse()) flags ^= kCellReverse;
  out.look.foreground = static_cast<std::uint8_t>(f);
  if (b == 0) {
    out.look.background = static_cast<std::uint8_t>(f);
  } else {
    out.look.background = static_cast<std::uint8_t>(b);
    flags |= kCellBackgroundFromForeground;
  }
  out.look.flags = flags;
  return out;
}

void CVtEngine::UpdateModel() {
  const CVtScreen& screen = terminal_.Screen();
  const int rows = screen.Rows(), columns = screen.Columns();
  if (model_.Rows() != rows || model_.Columns() != columns) model_.Resize(rows, columns);
  for (int i = 0; i < rows; ++i) {
    const int line = i - viewOffset_;
    const std::uint8_t size = screen.LineSize(line);
    model_.SetLineSize(i, ModelLineSize(size));
    const VtCell* cells = screen.Line(line);
    for (int c = 0; c < columns; ++c) model_.SetCell(i, c, CellOf(cells[c], size));
  }
  model_.SetCursor(terminal_.CursorRow(), terminal_.CursorColumn(), terminal_.CursorVisible() && viewOffset_ == 0);
  model_.SetScrollBack(screen.HistoryLines(), viewOffset_);
  model_.SetOia(OiaLine());
}

void CVtEngine::Paint(Canvas& canvas) {
  if (!running_) return;
  UpdateModel();
  PaintModel(model_, canvas);
}

std::string CVtEngine::OiaLine() const {
  const CHostSession& s = *session_;
  OiaStatus status;
  status.lockText = LockText(s.LockReason(), {}, 0);
  status.scrollBack = viewOffset_ != 0;
  status.sessionNumber = s.Number();
  status.sessionName = s.Profile().name;
  status.insertMode = terminal_.InsertMode();
  status.cursorRow = terminal_.CursorRow();
  status.cursorColumn = terminal_.CursorColumn();
  status.columns = terminal_.Columns();
  status.wallSeconds = s.Clock().WallSeconds();
  return FormatOiaLine(status, terminal_.Columns());
}

}  // namespace corvina
