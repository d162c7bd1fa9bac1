#include "app/Clipboard.h"

#include "app/AppTexts.h"
#include "config/SessionProfile.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "session/HostSession.h"

namespace corvina::app {

using platform::Format;

std::string ToClipboardText(std::string_view latin1) {
  std::string lf;
  lf.reserve(latin1.size());
  for (std::size_t i = 0; i < latin1.size(); ++i) {
    const char c = latin1[i];
    if (c == '\r') {
      lf += '\n';
      if (i + 1 < latin1.size() && latin1[i + 1] == '\n') ++i;
      continue;
    }
    lf += c;
  }
  return platform::Latin1ToUtf8(lf);
}

namespace {

// The clipboard's characters with CR LF line ends and without NULs.
std::u32string ClipboardLines(std::string_view text) {
  const std::u32string decoded = platform::DecodeTextFile(text);
  std::u32string out;
  out.reserve(decoded.size());
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    const char32_t c = decoded[i];
    if (c == U'\r' || c == U'\n') {
      out += U"\r\n";
      if (c == U'\r' && i + 1 < decoded.size() && decoded[i + 1] == U'\n') ++i;
    } else if (c != 0) {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string FromClipboardText(std::string_view text) {
  if (text.size() > kMaxClipboardText) {
    text = text.substr(0, kMaxClipboardText);
    // A UTF-8 sequence cut at the cap would make the whole text Latin-1.
    std::size_t cut = text.size();
    while (cut > 0 && cut + 4 > text.size() && (static_cast<unsigned char>(text[cut - 1]) & 0xC0) == 0x80) --cut;
    if (cut > 0 && static_cast<unsigned char>(text[cut - 1]) >= 0xC0) text = text.substr(0, cut - 1);
  }
  std::string out;
  for (const char32_t c : ClipboardLines(text)) out += c <= 0xFF ? static_cast<char>(c) : '?';
  return out;
}

std::string SelectedText(CHostSession& session) {
  TerminalEngine* engine = session.Engine();
  if (!engine) return {};
  const CellRect rect = session.SelectionActive()
                            ? session.Selection()
                            : CellRect{0, 0, session.Columns() - 1, session.Rows() - 1};
  std::string text = engine->CopyRectangle(rect);
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
  return text;
}

bool Copy(CHostSession& session, ClipboardPort& clipboard, bool append) {
  platform::UserInterface& ui = session.Ui();
  std::string result;
  if (append) {
    const std::optional<std::string> old = clipboard.Text();
    if (!old) {
      ui.MessageBox(texts::kClipboardOpen, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok,
                    platform::Icon::Error);
      return false;
    }
    result = FromClipboardText(*old) + "\r\n";
  }
  result += SelectedText(session);
  if (!clipboard.SetText(ToClipboardText(result))) {
    ui.MessageBox(texts::kClipboardSet, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok,
                  platform::Icon::Error);
    return false;
  }
  session.ClearSelection();
  return true;
}

bool Cut(CHostSession& session, ClipboardPort& clipboard, bool append) {
  if (!session.SelectionActive() || !session.Engine()) return false;
  const CellRect selection = session.Selection();
  if (!Copy(session, clipboard, append)) return false;
  // A locked keyboard keeps the screen as it is: the cut only copied.
  if (session.LockReason() != 0) {
    session.Ui().Beep(platform::BeepKind::Exclamation);
    return false;
  }
  session.SetSelection(selection);  // the engine erases what was selected
  session.Engine()->EraseSelection();
  session.ClearSelection();
  session.FlushOutput();
  return true;
}

namespace {

bool PasteFrom(CHostSession& session, const std::string& text, std::size_t from) {
  TerminalEngine* engine = session.Engine();
  if (from >= text.size()) return false;
  session.SetPasteOffset(from);
  // The engine adds what it consumed.
  engine->PasteText(std::string_view(text).substr(from));
  std::size_t offset = session.PasteOffset();
  if (offset >= text.size()) offset = 0;
  session.SetPasteOffset(offset);
  session.FlushOutput();
  return true;
}

}  // namespace

bool Paste(CHostSession& session, ClipboardPort& clipboard) {
  if (!session.Engine()) return false;
  session.ClearSelection();
  const std::optional<std::string> raw = clipboard.Text();
  if (!raw) {
    session.Ui().MessageBox(texts::kClipboardOpen, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok,
                            platform::Icon::Error);
    return false;
  }
  const std::string text = FromClipboardText(*raw);
  if (text.empty()) return false;
  return PasteFrom(session, text, 0);
}

bool PasteContinue(CHostSession& session, ClipboardPort& clipboard) {
  if (!session.Engine()) return false;
  const std::optional<std::string> raw = clipboard.Text();
  const std::string text = raw ? FromClipboardText(*raw) : std::string();
  if (session.PasteOffset() >= text.size()) {
    session.Ui().Beep(platform::BeepKind::Exclamation);
    session.SetPasteOffset(0);
    return false;
  }
  return PasteFrom(session, text, session.PasteOffset());
}

std::string ClipboardFileText(std::string_view text) { return platform::ToUtf8(ClipboardLines(text)); }

bool SaveClipboard(CHostSession& session, ClipboardPort& clipboard, bool saveAs, SessionFile* scriptClipboard,
                   const ChooseFile& choose) {
  const std::optional<std::string> raw = clipboard.Text();
  if (!raw || raw->empty()) return false;
  std::optional<SessionFile> chosen;
  SessionFile* target = !saveAs && scriptClipboard && !scriptClipboard->file.empty() ? scriptClipboard : nullptr;
  if (!target) {
    std::string name = session.Profile().clipboardFile;
    if (name.empty()) name = session.Profile().name;
    if (saveAs || name.size() < 4 || name.compare(name.size() - 4, 4, ".txt") != 0)
      name += saveAs ? texts::kClipboardSaveAsSuffix : ".txt";
    chosen = AskSaveFile(session.Ui(), choose,
                         FileChoice{std::string(texts::kClipboardTitle) + texts::kCaption, texts::kClipboardFilter,
                                    session.DataFolder(), name, "txt"});
    if (!chosen) return false;
    target = &*chosen;
  }
  return WriteSessionFile(session.Ui(), *target, session.DataFolder(), ClipboardFileText(*raw), "\r\n");
}

bool PrintClipboard(CHostSession& session, ClipboardPort& clipboard, ScreenPrintFiles& files,
                    SessionFile* scriptPrinter) {
  const std::optional<std::string> raw = clipboard.Text();
  if (!raw || raw->empty()) return false;
  // Each print ends its last line, so that prints appended to one file stay apart.
  return PrintText(session, files, scriptPrinter, ClipboardFileText(*raw) + "\r\n", FromClipboardText(*raw) + "\r\n");
}

}  // namespace corvina::app
