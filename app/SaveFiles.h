// The files a session writes text into for the user: Save (the screen
// image), Save As, Save Clipboard. Each has an already-written flag: the
// first write creates or truncates the file, later ones append. A running
// script's filespec files take the place of the session's.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/ScreenPrint.h"
#include "script/Script.h"

namespace corvina {
class CHostSession;
namespace platform {
class UserInterface;
}
}  // namespace corvina

namespace corvina::app {

// A file and its flag (set: the next write appends). A script's filespec
// file has the same shape; its Append word starts it set.
using SessionFile = script::ScriptFileOverride;

// Per session.
struct SessionFiles {
  SessionFile saveScreen;  // starts as the profile's log file
  ScreenPrintFiles print;
};

// What a file chooser offers: the title, a filter in the form
// "Text files (*.txt)|*.txt|All Files (*.*)|*.*||", the name it starts with
// (in `folder` when not absolute) and the extension added to a bare name.
// With `existing` the chooser asks for a file to read, which must exist.
struct FileChoice {
  std::string title, filter, folder, defaultName, defaultExtension;
  bool existing = false;
};
// The name chosen; nullopt for Cancel.
using ChooseFile = std::function<std::optional<std::string>(const FileChoice&)>;

// The Run Script chooser: text files, led by the script extension's files
// when that is another one, starting in the data folder.
FileChoice ScriptFileChoice(const std::string& scriptExtension, const std::string& dataFolder);

// Writes to a regular file only: no links followed, no FIFO or device (and
// no blocking on one). Created 0600 or truncated, or appended to. A write
// that fails midway is cut back, so the file never keeps part of the bytes.
struct FileWriteResult {
  bool ok = false;
  bool opened = false;  // false: the file could not be opened as one to write
  std::string cause;    // the system's reason when !ok
};
FileWriteResult WriteUserFile(const std::string& path, std::string_view bytes, bool append);
// The same on a descriptor already open for writing (emptied first with
// `truncate`); it is closed.
FileWriteResult WriteOpenFile(int fd, std::string_view bytes, bool truncate);

// Writes the bytes to the file as its flag says (`appendPrefix` first when
// appending to an existing file) and sets the flag. A relative name is in
// `dataFolder`. False when it could not: the user has been told ("Unable to
// open file %s", or why the write failed).
bool WriteSessionFile(platform::UserInterface& ui, SessionFile& file, const std::string& dataFolder,
                      std::string_view bytes, std::string_view appendPrefix = {});

// Save As: offers the choice; an existing file that is not a regular
// writable one is refused ("Can't write to file %s."), another asks whether
// to append (Yes), replace (No) or stop (Cancel). The file chosen with its
// flag; nullopt when nothing is to be written (without a chooser the user
// is told that none can be asked).
std::optional<SessionFile> AskSaveFile(platform::UserInterface& ui, const ChooseFile& choose, const FileChoice& choice);

// The screen as Save writes it: each row (UTF-8) followed by CR LF.
std::string SaveScreenText(CHostSession& session);

// Save: to the running script's Log file when it set one, else the
// session's save-screen file; with neither, or `saveAs`, the user chooses
// (the chosen file becomes the session's). False when nothing was written.
bool SaveScreen(CHostSession& session, SessionFiles& files, SessionFile* scriptLog, bool saveAs,
                const ChooseFile& choose, const std::string& logExtension);

// The running script's filespec files; null where it set none.
struct ScriptFiles {
  SessionFile* log = nullptr;
  SessionFile* printer = nullptr;
  SessionFile* clipboard = nullptr;
};
ScriptFiles FilesOf(script::CCorvinaScript* script);

}  // namespace corvina::app
