// The Edit menu's clipboard commands of a session, without a toolkit: copy
// (optionally appending), cut, paste in the profile's mode, paste continue,
// and saving the clipboard to a file. The toolkit's clipboard sits behind
// ClipboardPort and holds UTF-8 with LF line ends; inside, text is the
// core's Latin-1 with CR LF.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// Save Clipboard (As): `choose` offers a file name (the default given) and
// returns the one chosen, nullopt for Cancel. Only regular files are
// written (no links followed, no FIFOs or devices); an existing one is
// appended to or replaced as the user answers.
using ChooseFile = std::function<std::optional<std::string>(const std::string& defaultName)>;
bool SaveClipboard(CHostSession& session, ClipboardPort& clipboard, bool saveAs, const ChooseFile& choose);
// Writes the clipboard text to a file as Save Clipboard does after the
// questions; false with *error set when it cannot.
bool WriteClipboardFile(const std::string& path, std::string_view utf8, bool append, std::string* error);

}  // namespace corvina::app
