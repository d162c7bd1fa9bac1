#include "app/term/TermFrontEnd.h"
#include "app/term/TermTexts.h"

#include <curses.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/SaveFiles.h"
#include "config/ColorScheme.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "platform/Format.h"
#include "platform/FileIo.h"
#include "platform/Text.h"
#include "session/HostSession.h"

namespace corvina::term {

namespace {

// Keypad transmit comes from terminfo; these are the xterm private modes for
// button and drag reports in the SGR form, and bracketed paste.
constexpr char kModesOn[] = "\x1b[?1000h\x1b[?1002h\x1b[?1006h";
constexpr char kModesOff[] = "\x1b[?1006l\x1b[?1002l\x1b[?1000l";
constexpr char kPasteOn[] = "\x1b[?2004h";
constexpr char kPasteOff[] = "\x1b[?2004l";
constexpr auto kDoubleClick = std::chrono::milliseconds(400);
constexpr int kWheelRows = 3;
constexpr auto kClipboardWait = std::chrono::milliseconds(1000);

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], kDigits[v & 63]};
  }
  if (i + 1 == bytes.size()) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], '=', '='};
  } else if (i + 2 == bytes.size()) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], '='};
  }
  return out;
}

// Text people typed or pasted (UTF-8, else Latin-1) in the core's Latin-1;
// characters Latin-1 lacks become "?".
std::string ToLatin1Lossy(std::string_view text) {
  std::string out;
  for (char32_t c : platform::DecodeTextFile(text)) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return out;
}

// Writes text from a column, clipped at `width` columns.
void PutText(int row, int column, const std::u32string& text, int width, attr_t attributes, int pair = 0) {
  wattr_set(stdscr, attributes, 0, &pair);
  int x = column;
  for (char32_t c : text) {
    if (x >= width) break;
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = U' ';
    wchar_t w[2] = {static_cast<wchar_t>(c), 0};
    mvwaddnwstr(stdscr, row, x, w, 1);
    ++x;
  }
  int none = 0;
  wattr_set(stdscr, A_NORMAL, 0, &none);
}

std::u32string U32(std::string_view utf8) { return platform::DecodeTextFile(utf8); }

bool SameRect(const CellRect& a, const CellRect& b) {
  return (a.Empty() && b.Empty()) ||
         (a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom);
}

}  // namespace

CTermFrontEnd::CTermFrontEnd(platform::EventLoop& loop, CTermUi& ui, app::CCorvinaApp& app, TermSettings settings)
    : loop_(loop),
      ui_(ui),
      app_(app),
      settings_(std::move(settings)),
      decoder_([this](const TermInput& in) { OnInput(in); }) {
  ui_.onChange = [this] { ScheduleRepaint(); };
  ui_.onBeep = [this] {
    if (started_) beep();
  };
  app_.openConnectDialog = [this] { OpenCommandLine(U"connect "); };
}

class CTermFrontEnd::TransferWatch final : public filetransfer::TransferObserver {
 public:
  TransferWatch(CTermFrontEnd& owner, CHostSession& session) : owner_(owner), session_(session) {}
  void Progress(const filetransfer::TransferProgress& p) override {
    owner_.ui_.SetStatusText(platform::Format(texts::kTransferStatus, session_.Number(), p.text.c_str()));
  }
  void Ended(const filetransfer::TransferOutcome& outcome) override { owner_.TransferEnded(session_, outcome); }

 private:
  CTermFrontEnd& owner_;
  CHostSession& session_;
};

CTermFrontEnd::~CTermFrontEnd() {
  *alive_ = false;
  for (auto& [session, watch] : transfers_) filetransfer::DetachFileTransferObserver(*session, watch.get());
  Stop();
  ui_.onChange = nullptr;
  ui_.onBeep = nullptr;
  app_.openConnectDialog = nullptr;
  if (hooked_) app_.Sessions().systemCommand = nullptr;
}

bool CTermFrontEnd::TerminalAvailable(std::string* error) {
  if (::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO)) return true;
  *error = texts::kNoTerminal;
  return false;
}

bool CTermFrontEnd::Start(std::string* error) {
  if (!TerminalAvailable(error)) return false;
  SCREEN* screen = newterm(nullptr, stdout, stdin);
  if (!screen) {
    *error = platform::Format(texts::kUnknownTerminalType, getenv("TERM") ? getenv("TERM") : "");
    return false;
  }
  screen_ = screen;
  started_ = true;
  // The menu commands of key bindings: the application exists by now.
  app_.Sessions().systemCommand = [this](CHostSession& s, int id, int) { return SystemCommand(s, id); };
  hooked_ = true;
  raw();
  noecho();
  nonl();
  keypad(stdscr, FALSE);  // the key decoder reads the bytes itself
  leaveok(stdscr, FALSE);
  if (has_colors()) start_color();
  if (const char* smkx = tigetstr("smkx"); smkx && smkx != reinterpret_cast<char*>(-1)) putp(smkx);
  fflush(stdout);
  if (settings_.mouse) WriteTerminal(kModesOn);
  WriteTerminal(kPasteOn);
  inputWatch_ = loop_.WatchFd(STDIN_FILENO, platform::kIoRead, [this](unsigned) { OnReadable(); });
  // The OIA's clock and response time move on without a host write.
  clockTimer_ = loop_.AddTimer(std::chrono::seconds(1), true, [this] { ScheduleRepaint(); });
  layoutChanged_ = true;
  ScheduleRepaint();
  return true;
}

void CTermFrontEnd::Stop() {
  if (!started_) return;
  if (inputWatch_) loop_.RemoveWatch(inputWatch_);
  inputWatch_ = 0;
  if (escapeTimer_) loop_.CancelTimer(escapeTimer_);
  escapeTimer_ = 0;
  if (clockTimer_) loop_.CancelTimer(clockTimer_);
  clockTimer_ = 0;
  if (clipboardTimer_) loop_.CancelTimer(clipboardTimer_);
  clipboardTimer_ = 0;
  WriteTerminal(kPasteOff);
  if (settings_.mouse) WriteTerminal(kModesOff);
  if (const char* rmkx = tigetstr("rmkx"); rmkx && rmkx != reinterpret_cast<char*>(-1)) putp(rmkx);
  endwin();
  delscreen(static_cast<SCREEN*>(screen_));
  screen_ = nullptr;
  started_ = false;
}

void CTermFrontEnd::WriteTerminal(const std::string& bytes) {
  fflush(stdout);
  platform::WriteAll(STDOUT_FILENO, bytes);
}

void CTermFrontEnd::Resized() {
  if (!started_) return;
  struct winsize ws {};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0)
    resize_term(ws.ws_row, ws.ws_col);
  layoutChanged_ = true;
  ScheduleRepaint();
}

void CTermFrontEnd::SessionClosing(CHostSession& s) {
  if (&s == shown_) shown_ = nullptr;
  if (const auto it = transfers_.find(&s); it != transfers_.end()) {
    filetransfer::DetachFileTransferObserver(s, it->second.get());
    transfers_.erase(it);
  }
  ScheduleRepaint();
}

// ------------------------------------------------------------------ input

void CTermFrontEnd::OnReadable() {
  char buffer[4096];
  const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
    // The terminal is gone (the ssh connection dropped): end cleanly.
    loop_.RemoveWatch(inputWatch_);
    inputWatch_ = 0;
    loop_.Post([this, alive = alive_] {
      if (*alive) app_.CloseProgram(false);
    });
    return;
  }
  if (n < 0) return;
  if (escapeTimer_) loop_.CancelTimer(escapeTimer_);
  escapeTimer_ = 0;
  decoder_.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
  if (decoder_.Pending())
    escapeTimer_ = loop_.AddTimer(std::chrono::milliseconds(settings_.escapeDelayMs), false, [this] {
      escapeTimer_ = 0;
      decoder_.Flush();
    });
}

void CTermFrontEnd::OnInput(const TermInput& in) {
  ScheduleRepaint();
  if (!overlay_.empty() && in.kind == TermInput::kKey) {
    overlay_.clear();
    layoutChanged_ = true;
    return;
  }
  if (in.kind == TermInput::kKey) ui_.AcknowledgeMessage();
  if (commandOpen_) {
    if (in.kind == TermInput::kKey) CommandLineKey(in);
    return;
  }
  if (in.kind == TermInput::kKey && in.key == settings_.commandKey) {
    OpenCommandLine();
    return;
  }
  CHostSession* s = app_.Sessions().Active();
  if (!s) return;
  switch (in.kind) {
    case TermInput::kKey: SessionKey(*s, in); break;
    case TermInput::kMouse: SessionMouse(*s, in.mouse); break;
    case TermInput::kPaste: SessionPaste(*s, in.paste); break;
  }
}

void CTermFrontEnd::SessionKey(CHostSession& s, const TermInput& in) {
  if (in.key.virtualKey != 0 && s.OnKeyEvent(in.key.virtualKey, in.key.modifiers)) return;
  const char32_t c = in.character;
  if (c == 0 || c > 0xFF) return;  // a key the map leaves alone, or a character Latin-1 lacks
  const bool vt = (s.Mode() & 0x100) != 0;
  const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0) || (in.key.modifiers & (kModCtrl | kModAlt));
  if (!vt) {
    // Block-mode screens take only characters.
    if (!control) s.TypeText(std::string(1, static_cast<char>(c)));
    return;
  }
  // A VT host gets control characters, and Alt as ESC before the character.
  std::string bytes;
  if (in.key.modifiers & kModAlt) bytes.push_back('\x1b');
  bytes.push_back(static_cast<char>(c));
  s.TypeText(bytes);
}

void CTermFrontEnd::SessionMouse(CHostSession& s, const TermMouse& m) {
  const int row = m.row + top_, column = m.column + left_;
  const bool onScreen = row < canvas_.Rows() && column < canvas_.Columns() && m.row < viewRows_;
  if (m.action == TermMouse::kWheelUp || m.action == TermMouse::kWheelDown) {
    const bool up = m.action == TermMouse::kWheelUp;
    if (s.Mode() & 0x100) {
      for (int i = 0; i < kWheelRows; ++i) s.OnKeyFunction(up ? kf::vt::kScrollLineUp : kf::vt::kScrollLineDown);
    } else {
      top_ += up ? -kWheelRows : kWheelRows;  // a screen taller than the terminal
    }
    ScheduleRepaint();
    return;
  }
  if (!onScreen) return;
  if (m.action == TermMouse::kPress) {
    const auto now = std::chrono::steady_clock::now();
    const bool twice = row == lastClickRow_ && column == lastClickColumn_ && now - lastClick_ < kDoubleClick;
    lastClick_ = twice ? std::chrono::steady_clock::time_point{} : now;
    lastClickRow_ = row;
    lastClickColumn_ = column;
    s.ClearSelection();
    if (m.button == kVkMouseLeft) {
      anchorRow_ = row;
      anchorColumn_ = column;
    }
    s.OnMouseEvent(m.button, m.modifiers | (twice ? kModExtended : 0), column, row);
    return;
  }
  if (m.action == TermMouse::kDrag && m.button == kVkMouseLeft && anchorRow_ >= 0) {
    s.SetSelection(CellRect{std::min(anchorColumn_, column), std::min(anchorRow_, row),
                            std::max(anchorColumn_, column), std::max(anchorRow_, row)});
    ScheduleRepaint();
    return;
  }
  if (m.action == TermMouse::kRelease) anchorRow_ = anchorColumn_ = -1;
}

void CTermFrontEnd::SessionPaste(CHostSession& s, const std::string& utf8) {
  TerminalEngine* engine = s.Engine();
  if (!engine) return;
  std::string text = ToLatin1Lossy(utf8);
  // Terminals paste line ends as CR, which a VT host takes as Enter; the
  // block-mode engines split lines at LF.
  if (!(s.Mode() & 0x100)) {
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      lines.push_back(text[i] == '\r' ? '\n' : text[i]);
    }
    text = std::move(lines);
  }
  engine->PasteText(text);
  s.FlushOutput();
}

bool CTermFrontEnd::SystemCommand(CHostSession& s, int id) {
  switch (id) {
    case kf::sys::kEditCopy:
      Copy(s);
      return true;
    case kf::sys::kEditSelectAll:
      s.SetSelection(CellRect{0, 0, s.Columns() - 1, s.Rows() - 1});
      ScheduleRepaint();
      return true;
    case kf::sys::kEditDeselect:
      s.ClearSelection();
      return true;
    case kf::sys::kEditPaste:
      RequestClipboard();
      return true;
    case kf::sys::kPopupMenu:
      OpenCommandLine();
      return true;
    case kf::sys::kHostConnect:
      OpenCommandLine(U"connect ");
      return true;
    case kf::sys::kHostClose:
      app_.Sessions().CloseSession(s);
      return true;
    case kf::sys::kHostExit:
      app_.CloseProgram(false);
      return true;
    case kf::sys::kHostPrint:
    case kf::sys::kHostPrintScreen:
      PrintScreen(s, {});
      return true;
    default:
      return false;
  }
}

// OSC 52 "?": a terminal that allows it answers with its clipboard, which
// the decoder hands over as a paste. One that stays silent gets the hint.
void CTermFrontEnd::RequestClipboard() {
  if (clipboardTimer_) return;  // already asked
  decoder_.ExpectClipboardReply(true);
  WriteTerminal("\x1b]52;c;?\a");
  clipboardTimer_ = loop_.AddTimer(kClipboardWait, false, [this] {
    clipboardTimer_ = 0;
    if (!decoder_.ExpectsClipboardReply()) return;
    decoder_.ExpectClipboardReply(false);
    ui_.Tell(texts::kPasteHint);
    ScheduleRepaint();
  });
}

void CTermFrontEnd::Copy(CHostSession& s) {
  TerminalEngine* engine = s.Engine();
  if (!engine) return;
  const CellRect r = s.SelectionActive() ? s.Selection() : CellRect{0, 0, s.Columns() - 1, s.Rows() - 1};
  const std::string text = platform::Latin1ToUtf8(engine->CopyRectangle(r));
  // OSC 52: the terminal (or tmux) puts it on its clipboard.
  WriteTerminal("\x1b]52;c;" + Base64(text) + "\a");
  ui_.Tell(platform::Format(texts::kCopied, r.bottom - r.top + 1,
                            r.right - r.left + 1));
}

// Without a file: Print Screen as the profile sets it (its print file or
// the printer). With one: the screen as Save writes it, into that file.
void CTermFrontEnd::PrintScreen(CHostSession& s, const std::string& file) {
  if (file.empty()) {
    app_.Sessions().SystemCommand(s, kf::sys::kHostPrintScreen, 0);
    return;
  }
  const app::FileWriteResult written = app::WriteUserFile(file, app::SaveScreenText(s), false);
  ui_.Tell(written.ok ? platform::Format(texts::kScreenWritten, file.c_str())
                      : platform::Format(texts::kCannotWrite, file.c_str(), written.cause.c_str()));
}

// ----------------------------------------------------------- command line

void CTermFrontEnd::OpenCommandLine(const std::u32string& text) {
  commandOpen_ = true;
  commandText_ = text;
  commandCursor_ = text.size();
  historyIndex_ = history_.size();
  ScheduleRepaint();
}

void CTermFrontEnd::CommandLineKey(const TermInput& in) {
  const std::uint16_t vk = in.key.virtualKey;
  const std::uint8_t mods = in.key.modifiers & ~kModExtended;
  if (in.key == settings_.commandKey) {
    // The command key twice: the key itself goes to the session.
    commandOpen_ = false;
    if (CHostSession* s = app_.Sessions().Active(); s && commandText_.empty()) SessionKey(*s, in);
    return;
  }
  if (vk == kVkEscape || (mods == kModCtrl && in.character == 0x03)) {
    commandOpen_ = false;
  } else if (vk == kVkReturn) {
    commandOpen_ = false;
    if (!commandText_.empty()) history_.push_back(commandText_);
    const std::string line = platform::ToUtf8(commandText_);
    commandText_.clear();
    RunCommand(line);
  } else if (vk == kVkBack) {
    if (commandCursor_ > 0) commandText_.erase(--commandCursor_, 1);
  } else if (vk == kVkDelete) {
    if (commandCursor_ < commandText_.size()) commandText_.erase(commandCursor_, 1);
  } else if (vk == kVkLeft) {
    if (commandCursor_ > 0) --commandCursor_;
  } else if (vk == kVkRight) {
    if (commandCursor_ < commandText_.size()) ++commandCursor_;
  } else if (vk == kVkHome || (mods == kModCtrl && in.character == 0x01)) {
    commandCursor_ = 0;
  } else if (vk == kVkEnd || (mods == kModCtrl && in.character == 0x05)) {
    commandCursor_ = commandText_.size();
  } else if (vk == kVkUp || vk == kVkDown) {
    if (history_.empty()) return;
    if (vk == kVkUp && historyIndex_ > 0) --historyIndex_;
    if (vk == kVkDown && historyIndex_ < history_.size()) ++historyIndex_;
    commandText_ = historyIndex_ < history_.size() ? history_[historyIndex_] : std::u32string();
    commandCursor_ = commandText_.size();
  } else if (in.character >= 0x20 && in.character != 0x7F && !(mods & (kModCtrl | kModAlt))) {
    if (commandText_.size() < 1000) commandText_.insert(commandCursor_++, 1, in.character);
  }
}

void CTermFrontEnd::RunCommand(const std::string& utf8) {
  std::string error;
  const std::optional<TermCommand> command = ParseTermCommand(utf8, &error);
  if (!command) {
    if (!error.empty()) ui_.Tell(error);
    return;
  }
  app::CSessionTable& table = app_.Sessions();
  CHostSession* s = table.Active();
  const bool needsSession = command->kind == TermCommand::kDisconnect || command->kind == TermCommand::kMacro ||
                            command->kind == TermCommand::kKey || command->kind == TermCommand::kTransfer ||
                            command->kind == TermCommand::kPrint || command->kind == TermCommand::kCopy;
  if (needsSession && !s) {
    ui_.Tell(texts::kNoSessionShown);
    return;
  }
  switch (command->kind) {
    case TermCommand::kConnect:
      app_.StartFromCommandLine(app::StripEnclosingQuotes(command->argument), command->overrides);
      break;
    case TermCommand::kDisconnect:
      table.CloseSession(*s);
      break;
    case TermCommand::kSwitch:
      if (command->argument == "next") {
        table.ActivateNext();
      } else if (command->argument == "previous") {
        table.ActivatePrevious();
      } else if (CHostSession* target = table.Session(command->number)) {
        table.Activate(*target);
      } else {
        ui_.Tell(platform::Format(texts::kNoSuchSession, command->number));
      }
      break;
    case TermCommand::kScript:
      table.RunScript(s, ToLatin1Lossy(command->argument));
      break;
    case TermCommand::kMacro:
      s->PlayMacro(ToLatin1Lossy(command->argument));
      break;
    case TermCommand::kKey: {
      const int id = KeyFunctionIdByTypedName(s->Mode(), ToLatin1Lossy(command->argument));
      if (id < 0) ui_.Tell(platform::Format(texts::kUnknownKeyFunction, command->argument.c_str()));
      else s->OnKeyFunction(id);
      break;
    }
    case TermCommand::kTransfer:
      Transfer(*s, *command);
      break;
    case TermCommand::kPrint:
      PrintScreen(*s, command->argument);
      break;
    case TermCommand::kCopy:
      Copy(*s);
      break;
    case TermCommand::kMessages: {
      std::vector<std::string> lines(ui_.Messages().begin(), ui_.Messages().end());
      if (lines.empty()) lines.push_back(texts::kNoMessages);
      ShowOverlay(texts::kMessagesTitle, lines);
      break;
    }
    case TermCommand::kHelp: {
      std::vector<std::string> lines;
      std::string text = TermCommandHelp();
      for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
      }
      ShowOverlay(platform::Format(texts::kHelpTitle, settings_.commandKeyText.c_str()), lines);
      break;
    }
    case TermCommand::kQuit:
      app_.CloseProgram(false);
      break;
  }
}

void CTermFrontEnd::Transfer(CHostSession& s, const TermCommand& command) {
  using namespace filetransfer;
  if (command.argument == "cancel") {
    if (!FileTransferRunning(s)) {
      ui_.Tell(platform::Format(texts::kNoTransferRunning, s.Number()));
      return;
    }
    CancelFileTransfer(s);
    if (FileTransferRunning(s)) ui_.Tell(platform::Format(texts::kTransferCancelling, s.Number()));
    return;
  }
  const bool send = command.argument == "send";
  CTransferRequest request;
  std::string error;
  if (!CommandLineRequest(s.Profile().fileTransfer, send ? Direction::kPut : Direction::kGet, command.pcFile,
                          command.hostFile, command.transferWords, request, &error)) {
    ui_.Tell(error);
    return;
  }
  auto watch = std::make_unique<TransferWatch>(*this, s);
  const int result = StartFileTransfer(s, request, watch.get());
  if (result != kStartSent) {
    ui_.Tell(StartFailureText(result));
    return;
  }
  transfers_[&s] = std::move(watch);
  ui_.SetStatusText(platform::Format(texts::kTransferStatus, s.Number(), HostCommand(request).c_str()));
}

void CTermFrontEnd::TransferEnded(CHostSession& s, const filetransfer::TransferOutcome& outcome) {
  const std::string failure = filetransfer::OutcomeFailure(outcome);
  const std::string& said = !failure.empty()           ? failure
                            : !outcome.message.empty() ? outcome.message
                                                       : std::string(texts::kTransferComplete);
  ui_.Tell(platform::Format(texts::kTransferEnded, s.Number(), platform::Latin1ToUtf8(said).c_str()));
  // The watch is still in its own call: it goes on a later turn.
  loop_.Post([this, alive = alive_, session = &s] {
    if (!*alive) return;
    const auto it = transfers_.find(session);
    if (it != transfers_.end() && !filetransfer::FileTransferRunning(*session)) transfers_.erase(it);
  });
}

void CTermFrontEnd::ShowOverlay(const std::string& title, const std::vector<std::string>& lines) {
  overlay_.clear();
  overlay_.push_back(platform::Format(texts::kPageClose, title.c_str()));
  overlay_.push_back("");
  overlay_.insert(overlay_.end(), lines.begin(), lines.end());
  layoutChanged_ = true;
  ScheduleRepaint();
}

// ---------------------------------------------------------------- drawing

void CTermFrontEnd::ScheduleRepaint() {
  if (repaintPosted_ || !started_) return;
  repaintPosted_ = true;
  loop_.Post([this, alive = alive_] {
    if (!*alive) return;
    repaintPosted_ = false;
    Repaint();
  });
}

std::string CTermFrontEnd::StatusLine(int width, std::vector<std::pair<int, int>>* bold) const {
  const app::CSessionTable& table = app_.Sessions();
  std::string line;
  for (int slot = 1; slot <= app::CSessionTable::kMaxSlots; ++slot) {
    const CHostSession* s = table.Session(slot);
    if (!s) continue;
    const std::string tab = platform::Format(texts::kTab, slot, platform::Latin1ToUtf8(s->Profile().name).c_str());
    if (s == table.Active()) bold->push_back({static_cast<int>(U32(line).size()), static_cast<int>(U32(tab).size())});
    line += tab;
  }
  if (table.LiveCount() == 0) line += platform::Format(texts::kNoSession, settings_.commandKeyText.c_str());
  line += " ";
  const std::string& message = ui_.Message();
  if (!message.empty()) {
    bold->push_back({static_cast<int>(U32(line).size()), static_cast<int>(U32(message).size())});
    line += message;
  } else {
    line += ui_.StatusText();
  }
  std::string right;
  if (canvas_.ScrollBackOffset() > 0)
    right = platform::Format(texts::kHistory, canvas_.ScrollBackOffset(), canvas_.HistoryLines());
  const int viewRows = viewRows_;
  if (canvas_.Rows() > viewRows || canvas_.Columns() > COLS) {
    right += platform::Format(texts::kScreenPart, canvas_.Rows(), canvas_.Columns(),
                             top_ + 1, std::min(canvas_.Rows(), top_ + viewRows), left_ + 1,
                             std::min(canvas_.Columns(), left_ + COLS));
  }
  right += platform::Format(texts::kCommandKey, settings_.commandKeyText.c_str());
  // What part of the screen is shown matters more than the status text.
  std::u32string left = U32(line);
  const std::u32string tail = U32(right);
  const std::size_t room = width > static_cast<int>(tail.size()) ? static_cast<std::size_t>(width) - tail.size() : 0;
  if (left.size() > room) left.resize(room);
  left.append(room - left.size(), U' ');
  return platform::ToUtf8(left + tail);
}

void CTermFrontEnd::DrawBottom(int oiaRow, int statusRow) {
  const int width = COLS;
  if (oiaRow >= 0) {
    wmove(stdscr, oiaRow, 0);
    wclrtoeol(stdscr);
    unsigned attributes = 0;
    int pair = 0;
    canvas_.AttributesOf(CellLook{kOiaEntry, 0, 0}, false, &attributes, &pair);
    std::u32string oia;
    for (char c : canvas_.Oia()) oia.push_back(static_cast<unsigned char>(c));
    PutText(oiaRow, 0, oia, width, attributes, pair);
  }
  wmove(stdscr, statusRow, 0);
  wclrtoeol(stdscr);
  if (commandOpen_) {
    const std::u32string prompt = U32(texts::kPrompt);
    PutText(statusRow, 0, prompt, width, A_BOLD);
    // Long commands scroll so that the cursor stays in sight.
    const int room = std::max(1, width - static_cast<int>(prompt.size()) - 1);
    const std::size_t first = commandCursor_ > static_cast<std::size_t>(room) ? commandCursor_ - room : 0;
    PutText(statusRow, static_cast<int>(prompt.size()), commandText_.substr(first), width - 1, A_NORMAL);
    wmove(stdscr, statusRow, static_cast<int>(prompt.size() + commandCursor_ - first));
    return;
  }
  std::vector<std::pair<int, int>> bold;
  const std::u32string line = U32(StatusLine(width, &bold));
  // The last cell of the last line is left alone: writing it scrolls some terminals.
  PutText(statusRow, 0, line + std::u32string(static_cast<std::size_t>(std::max(0, width)), U' '), width - 1,
          A_REVERSE);
  for (const auto& [start, length] : bold)
    if (start < width - 1) PutText(statusRow, start, line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length)), width - 1, A_BOLD);
}

void CTermFrontEnd::Repaint() {
  if (!started_) return;
  CHostSession* s = app_.Sessions().Active();
  if (s != shown_) {
    shown_ = s;
    canvas_.StartOver();
    top_ = left_ = 0;
    lastCursorRow_ = lastCursorColumn_ = -1;
    layoutChanged_ = true;
  }
  bool drawn = false;
  if (s && s->Engine()) {
    const CellRect selection = s->SelectionActive() ? s->Selection() : CellRect{};
    if (!SameRect(selection, canvas_.Selection())) {
      canvas_.SetSelection(selection);
      canvas_.StartOver();
    }
    canvas_.SetScheme(&s->ColorScheme());
    s->Engine()->Paint(canvas_);
    drawn = canvas_.Pad() != nullptr;
  }

  const bool oia = drawn && !canvas_.Oia().empty();
  const int bottom = oia ? 2 : 1;
  const int viewRows = std::max(0, LINES - bottom), viewColumns = COLS;
  if (viewRows != viewRows_) layoutChanged_ = true;
  viewRows_ = viewRows;
  if (layoutChanged_) {
    werase(stdscr);
    wnoutrefresh(stdscr);
    if (canvas_.Pad()) touchwin(canvas_.Pad());
    layoutChanged_ = false;
  }
  if (drawn) {
    // Follow the cursor when it moved; otherwise keep what the wheel chose.
    const int cr = canvas_.CursorRow(), cc = canvas_.CursorColumn();
    if (canvas_.CursorVisible() && (cr != lastCursorRow_ || cc != lastCursorColumn_)) {
      if (cr < top_) top_ = cr;
      if (cr >= top_ + viewRows) top_ = cr - viewRows + 1;
      if (cc < left_) left_ = cc;
      if (cc >= left_ + viewColumns) left_ = cc - viewColumns + 1;
      lastCursorRow_ = cr;
      lastCursorColumn_ = cc;
    }
    const int oldTop = top_, oldLeft = left_;
    top_ = std::clamp(top_, 0, std::max(0, canvas_.Rows() - viewRows));
    left_ = std::clamp(left_, 0, std::max(0, canvas_.Columns() - viewColumns));
    if (oldTop != top_ || oldLeft != left_) touchwin(canvas_.Pad());
  }
  DrawBottom(oia ? LINES - 2 : -1, LINES - 1);
  if (!commandOpen_) wnoutrefresh(stdscr);
  bool cursorShown = commandOpen_;
  if (drawn && viewRows > 0) {
    WINDOW* pad = canvas_.Pad();
    const int cr = canvas_.CursorRow() - top_, cc = canvas_.CursorColumn() - left_;
    const bool inView = canvas_.CursorVisible() && cr >= 0 && cr < viewRows && cc >= 0 && cc < viewColumns;
    if (inView) wmove(pad, canvas_.CursorRow(), canvas_.CursorColumn());
    cursorShown = cursorShown || inView;
    pnoutrefresh(pad, top_, left_, 0, 0, std::min(viewRows, canvas_.Rows() - top_) - 1,
                 std::min(viewColumns, canvas_.Columns() - left_) - 1);
  }
  if (!overlay_.empty()) {
    const int rows = std::min(static_cast<int>(overlay_.size()) + 2, std::max(1, LINES - 1));
    WINDOW* page = newwin(rows, COLS, 0, 0);
    if (page) {
      werase(page);
      box(page, 0, 0);
      for (int i = 0; i + 2 < rows && i < static_cast<int>(overlay_.size()); ++i) {
        const std::u32string text = U32(overlay_[static_cast<std::size_t>(i)]);
        wmove(page, i + 1, 2);
        for (std::size_t k = 0; k < text.size() && static_cast<int>(k) + 4 < COLS; ++k) {
          wchar_t w[2] = {static_cast<wchar_t>(text[k]), 0};
          waddnwstr(page, w, 1);
        }
      }
      wnoutrefresh(page);
      delwin(page);
    }
    cursorShown = false;
    layoutChanged_ = true;  // drawn again whole once the page goes
  }
  if (commandOpen_) wnoutrefresh(stdscr);
  curs_set(cursorShown ? 1 : 0);
  doupdate();
}

}  // namespace corvina::term
