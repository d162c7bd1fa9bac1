#include "app/SaveFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/AppTexts.h"
#include "platform/FileIo.h"
#include "platform/Format.h"
#include "platform/UserInterface.h"
#include "printing/PrintTexts.h"
#include "script/ScriptParser.h"
#include "session/HostSession.h"
#include "session/TextCanvas.h"

namespace corvina::app {

using platform::Format;

FileWriteResult WriteOpenFile(int fd, std::string_view bytes, bool truncate) {
  FileWriteResult r;
  r.opened = true;
  struct stat st {};
  const off_t start = truncate || ::fstat(fd, &st) != 0 ? 0 : st.st_size;
  int err = truncate && ::ftruncate(fd, 0) != 0 ? errno : 0;
  if (err == 0) err = platform::WriteAll(fd, bytes);
  if (err != 0) {
    r.cause = std::strerror(err);
    if (::ftruncate(fd, start) != 0) r.cause += " (and the file could not be cut back)";
    ::close(fd);
    return r;
  }
  if (::close(fd) != 0) {
    r.cause = std::strerror(errno);
    return r;
  }
  r.ok = true;
  return r;
}

FileWriteResult WriteUserFile(const std::string& path, std::string_view bytes, bool append) {
  // No links followed, and a FIFO cannot block the open.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : 0),
                        0600);
  FileWriteResult r;
  if (fd < 0) {
    r.cause = std::strerror(errno);
    return r;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    r.cause = texts::kNotRegularFile;
    return r;
  }
  return WriteOpenFile(fd, bytes, !append);
}

bool WriteSessionFile(platform::UserInterface& ui, SessionFile& file, const std::string& dataFolder,
                      std::string_view bytes, std::string_view appendPrefix) {
  const std::string path = file.file.empty() || file.file[0] == '/' ? file.file : dataFolder + file.file;
  struct stat st {};
  const bool append = file.append && ::lstat(path.c_str(), &st) == 0;
  std::string text;
  if (append) text.assign(appendPrefix);
  text.append(bytes);
  const FileWriteResult r = WriteUserFile(path, text, append);
  if (!r.ok) {
    ui.MessageBox(r.opened ? Format(texts::kWriteFailed, path.c_str(), r.cause.c_str())
                           : Format(printing::texts::kUnableToOpenFile, path.c_str()),
                  texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
    return false;
  }
  file.append = true;
  return true;
}

FileChoice ScriptFileChoice(const std::string& scriptExtension, const std::string& dataFolder) {
  FileChoice choice{std::string(texts::kScriptFileTitle) + texts::kCaption, texts::kScriptFilter, dataFolder,
                    texts::kScriptDefaultName, "txt", true};
  if (!script::SameWord(scriptExtension, "txt"))
    choice.filter = Format(texts::kScriptExtensionFilter, scriptExtension.c_str(), scriptExtension.c_str()) +
                    choice.filter;
  return choice;
}

std::optional<SessionFile> AskSaveFile(platform::UserInterface& ui, const ChooseFile& choose, const FileChoice& choice) {
  if (!choose) {
    ui.MessageBox(texts::kNoFileChooser, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok,
                  platform::Icon::Warning);
    return std::nullopt;
  }
  const std::optional<std::string> chosen = choose(choice);
  if (!chosen || chosen->empty()) return std::nullopt;
  SessionFile file{*chosen, false};
  struct stat st {};
  if (::lstat(file.file.c_str(), &st) != 0) return file;
  if (!S_ISREG(st.st_mode) || ::access(file.file.c_str(), W_OK) != 0) {
    ui.MessageBox(Format(texts::kCantWriteFile, file.file.c_str()), texts::kCaption, platform::Buttons::Ok,
                  platform::Answer::Ok, platform::Icon::Warning);
    return std::nullopt;
  }
  const platform::Answer a = ui.MessageBox(Format(texts::kFileExistsAppend, file.file.c_str()), texts::kCaption,
                                           platform::Buttons::YesNoCancel, platform::Answer::Yes,
                                           platform::Icon::Question);
  if (a == platform::Answer::Cancel) return std::nullopt;
  file.append = a == platform::Answer::Yes;
  return file;
}

std::string SaveScreenText(CHostSession& session) {
  TextCanvas canvas;
  if (TerminalEngine* engine = session.Engine()) engine->Paint(canvas);
  std::string out;
  for (const std::string& line : canvas.Lines()) out += line + "\r\n";
  return out;
}

bool SaveScreen(CHostSession& session, SessionFiles& files, SessionFile* scriptLog, bool saveAs,
                const ChooseFile& choose, const std::string& logExtension) {
  if (!session.Engine()) return false;
  SessionFile* target = scriptLog && !scriptLog->file.empty() ? scriptLog : &files.saveScreen;
  if (saveAs || target->file.empty()) {
    const FileChoice choice{std::string(texts::kSaveScreenTitle) + texts::kCaption,
                            Format(texts::kLogFilter, logExtension.c_str(), logExtension.c_str()), session.DataFolder(),
                            Format(texts::kSaveScreenDefaultName, session.Number(), logExtension.c_str()),
                            logExtension};
    std::optional<SessionFile> chosen = AskSaveFile(session.Ui(), choose, choice);
    if (!chosen) return false;
    files.saveScreen = std::move(*chosen);
    target = &files.saveScreen;
  }
  return WriteSessionFile(session.Ui(), *target, session.DataFolder(), SaveScreenText(session));
}

ScriptFiles FilesOf(script::CCorvinaScript* script) {
  ScriptFiles f;
  if (!script) return f;
  if (!script->LogFile().file.empty()) f.log = &script->LogFile();
  if (!script->PrinterFile().file.empty()) f.printer = &script->PrinterFile();
  if (!script->ClipboardFile().file.empty()) f.clipboard = &script->ClipboardFile();
  return f;
}

}  // namespace corvina::app
