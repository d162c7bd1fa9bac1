// The Edit menu's clipboard commands of a session, without a toolkit: copy
// (optionally appending), cut, paste in the profile's mode, paste continue,
// and saving the clipboard to a file. The toolkit's clipboard sits behind
// ClipboardPort and holds UTF-8 with LF line ends; inside, text is the
// core's Latin-1 with CR LF.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "app/SaveFiles.h"

namespace corvina {
class CHostSession;
namespace platform {
class UserInterface;
}
}  // namespace corvina

namespace corvina::app {

class ClipboardPort {
 public:
  virtual ~ClipboardPort() = default;
  // Nullopt when the clipboard cannot be read; empty when it holds no text.
  virtual std::optional<std::string> Text() = 0;
  virtual bool SetText(const std::string& utf8) = 0;
  // The X11 PRIMARY selection, set at the end of a mouse selection.
  virtual void SetSelectionText(const std::string& /*utf8*/) {}
};

// Text taken from the clipboard is capped (bytes of UTF-8).
inline constexpr std::size_t kMaxClipboardText = 1 << 20;

// Core text to clipboard text: Latin-1 to UTF-8, CR LF (and a lone CR) to LF.
std::string ToClipboardText(std::string_view latin1);
// Clipboard text to core text: at most kMaxClipboardText bytes are read
// (a character cut at the cap is dropped), UTF-8 when valid else Latin-1,
// characters Latin-1 lacks become "?", line ends become CR LF, NULs go.
std::string FromClipboardText(std::string_view text);

// The selected cells as core text (the whole screen when nothing is
// selected), one line per row joined by CR LF, no trailing CR LF.
std::string SelectedText(CHostSession& session);

// The commands; each false when it did nothing (a beep or a message told why).
bool Copy(CHostSession& session, ClipboardPort& clipboard, bool append);
// Only with a selection; while the keyboard is locked it copies and beeps.
bool Cut(CHostSession& session, ClipboardPort& clipboard, bool append);
bool Paste(CHostSession& session, ClipboardPort& clipboard);
bool PasteContinue(CHostSession& session, ClipboardPort& clipboard);

// Save Clipboard (As), when the clipboard holds text: Save goes to the
// running script's Clipboard file without asking when it set one; otherwise
// the user chooses (the profile's clipboard file name, else the session's,
// offered first). The file gets the text, after CR LF when appended to.
bool SaveClipboard(CHostSession& session, ClipboardPort& clipboard, bool saveAs, SessionFile* scriptClipboard,
                   const ChooseFile& choose);
// The clipboard's text as files hold it: UTF-8 with CR LF line ends.
std::string ClipboardFileText(std::string_view text);
// Print Clipboard: the text to the print file or the printer, as Print
// Screen sends the screen.
bool PrintClipboard(CHostSession& session, ClipboardPort& clipboard, ScreenPrintFiles& files,
                    SessionFile* scriptPrinter);

}  // namespace corvina::app
