#include "script/ScriptConverter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <memory>
#include <optional>

#include "config/NamedObject.h"
#include "config/PersistentData.h"
#include "config/SessionProfile.h"
#include "config/TerminalTypes.h"
#include "platform/FileError.h"
#include "platform/FileIo.h"
#include "platform/Format.h"
#include "platform/UserInterface.h"
#include "script/ScriptParser.h"
#include "script/ScriptTexts.h"

namespace corvina::script {

using platform::Format;

namespace {

constexpr std::array<std::string_view, 20> kOldOnlyKeywords = {
    "connectname", "label", "language", "logfile", "lookfor", "looklist", "password",
    "port", "prompt", "terminal", "title", "transfer", "transferblksize", "transferhostfilename",
    "transferlrecl", "transferopsys", "transferoptions", "transferpcfilename", "transferpcoptions", "transferrecfm"};

// Old terminal names and the display names they became.
struct TerminalRename {
  std::string_view oldName, newName;
};
constexpr TerminalRename kTerminalRenames[] = {
    {"IBM-3278-2", "IBM 3279-2 (24x80)"},          {"IBM-3278 (24x80)", "IBM 3279-2 (24x80)"},
    {"IBM 3270 (24x80)", "IBM 3279-2 (24x80)"},    {"IBM-3278-3", "IBM 3279-3 (32x80)"},
    {"IBM-3278 (32x80)", "IBM 3279-3 (32x80)"},    {"IBM 3270 (32x80)", "IBM 3279-3 (32x80)"},
    {"IBM-3278-4", "IBM 3279-4 (43x80)"},          {"IBM-3278 (43x80)", "IBM 3279-4 (43x80)"},
    {"IBM 3270 (43x80)", "IBM 3279-4 (43x80)"},    {"IBM-3278 (60x80)", "IBM 3279-4 (60x80)"},
    {"IBM 3270 (60x80)", "IBM 3279-4 (60x80)"},    {"IBM-3278-5", "IBM 3279-5 (27x132)"},
    {"IBM-3278 (27x132)", "IBM 3279-5 (27x132)"},  {"IBM 3270 (27x132)", "IBM 3279-5 (27x132)"},
    {"IBM 3270 (40x132)", "IBM 3279-5 (40x132)"},  {"IBM-3278 (60x132)", "IBM 3279-5 (60x132)"},
    {"IBM 3270 (60x132)", "IBM 3279-5 (60x132)"},  {"DEC-VT100", "VT100"},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The detection word: up to the first blank, tab, line feed or quote; none
// when the line has no such character.
std::optional<std::string> DetectionWord(const std::string& line) {
  const std::size_t end = line.find_first_of(" \t\n\"");
  if (end == std::string::npos) return std::nullopt;
  return Lower(line.substr(0, end));
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

struct OldLine {
  std::string keyword, separator;
  std::string value;      // the parameter without its quotes
  std::string parameter;  // the parameter as written back
  std::string rest;
  std::string afterSeparator;  // everything after the separator
};

OldLine SplitOldLine(const std::string& line) {
  OldLine o;
  std::size_t k = 0;
  while (k < line.size() && !IsBlank(line[k]) && line[k] != '"') ++k;
  o.keyword = line.substr(0, k);
  std::size_t j = k;
  while (j < line.size() && IsBlank(line[j])) ++j;
  o.separator = j > k ? line.substr(k, j - k) : " ";
  o.afterSeparator = line.substr(j);
  if (j < line.size() && line[j] == '"') {
    std::size_t i = j + 1;
    for (; i < line.size(); ++i) {
      if (line[i] != '"') {
        o.value += line[i];
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        o.value += '"';
        ++i;
      } else {
        break;
      }
    }
    o.rest = i < line.size() ? line.substr(i + 1) : std::string();
  } else {
    std::size_t i = j;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    o.value = line.substr(j, i - j);
    o.rest = line.substr(i);
  }
  o.parameter = o.value.find_first_of(" \t\"") == std::string::npos ? o.value : Quoted(o.value);
  return o;
}

// A Looklist's quoted texts with their bracketed labels as waitfor pairs.
std::string ConvertLooklist(std::string_view list) {
  std::string out = "\"";
  for (char c : list) {
    if (c == '"') continue;
    if (c == '[')
      out += "\",";
    else if (c == ']')
      out += ":,\"";
    else
      out += c;
  }
  out.resize(out.size() >= 2 ? out.size() - 2 : 0);
  return out;
}

struct Collected {
  std::string title;
  int port = 23;
  std::string terminal = "IBM 3278-2 (24x80)";
  std::string codePage, logFile;
  std::string pcFile, hostFile, opsys, options, pcOptions, lrecl, recfm, blksize;
};

// Writes the lines to a new file beside `file`; its name, or empty with the
// errno in *err.
std::string WriteTemporary(const std::string& file, const std::vector<std::string>& lines, int* err) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  std::string temp = file + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    *err = errno;
    return {};
  }
  if (struct stat st {}; ::stat(file.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
  if (const int e = platform::WriteAll(fd, text)) {
    *err = e;
    ::close(fd);
    ::unlink(temp.c_str());
    return {};
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    *err = errno;
    ::unlink(temp.c_str());
    return {};
  }
  return temp;
}

}  // namespace

bool IsOldFormatScript(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const auto word = DetectionWord(line);
    if (word && std::find(kOldOnlyKeywords.begin(), kOldOnlyKeywords.end(), *word) != kOldOnlyKeywords.end())
      return true;
  }
  return false;
}

std::string OldScriptBackupName(const std::string& file) {
  const std::size_t slash = file.rfind('/');
  const std::size_t dot = file.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return file + ".203";
  return file.substr(0, dot) + ".203";
}

CCorvinaScriptConverter::Outcome CCorvinaScriptConverter::Convert(const std::string& file,
                                                                  std::vector<std::string>* lines) {
  if (!IsOldFormatScript(*lines)) return Outcome::kCurrent;
  const std::string backup = OldScriptBackupName(file);
  if (ui_.MessageBox(Format(texts::kConvertQuestion, texts::kProductName, backup.c_str()), texts::kCaption,
                     platform::Buttons::YesNo, platform::Answer::Yes, platform::Icon::Question) != platform::Answer::Yes)
    return Outcome::kFailed;

  std::vector<std::string> out;
  std::vector<std::shared_ptr<CCorvinaSessionProfile>> profiles;
  if (!Translate(file, *lines, &out, &profiles)) return Outcome::kFailed;

  // The old file becomes the backup only once the new text is safely on
  // disk; the new file then takes its place.
  struct stat st {};
  if (::stat(backup.c_str(), &st) == 0 &&
      ui_.MessageBox(Format(texts::kBackupExists, backup.c_str()), texts::kCaption, platform::Buttons::YesNo,
                     platform::Answer::No, platform::Icon::Question) != platform::Answer::Yes)
    return Outcome::kFailed;
  int err = 0;
  const std::string temp = WriteTemporary(file, out, &err);
  auto storeFailed = [&](int e) {
    ui_.MessageBox(Format(texts::kStoreFailed, static_cast<int>(platform::FileErrorCauseFromErrno(e))),
                   texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
    return Outcome::kFailed;
  };
  if (temp.empty()) return storeFailed(err);
  if (::rename(file.c_str(), backup.c_str()) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    ui_.MessageBox(Format(texts::kRenameFailed, file.c_str(), static_cast<int>(platform::FileErrorCauseFromErrno(e))),
                   texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Error);
    return Outcome::kFailed;
  }
  if (::rename(temp.c_str(), file.c_str()) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    ::rename(backup.c_str(), file.c_str());
    return storeFailed(e);
  }
  for (auto& profile : profiles) store_.Add(profile, true);
  *lines = std::move(out);
  return Outcome::kConverted;
}

bool CCorvinaScriptConverter::Translate(const std::string& file, const std::vector<std::string>& lines,
                                        std::vector<std::string>* output,
                                        std::vector<std::shared_ptr<CCorvinaSessionProfile>>* made) {
  Collected c;
  std::vector<std::string>& out = *output;
  std::vector<std::shared_ptr<CCorvinaSessionProfile>>& profiles = *made;
  CCorvinaTerminalTypes builtIn;
  auto nameTaken = [&](const std::string& name) {
    if (store_.FindProfile(name)) return true;
    return std::any_of(profiles.begin(), profiles.end(), [&](const auto& p) { return NameKey(p->name) == NameKey(name); });
  };
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    const OldLine o = SplitOldLine(line);
    const std::string k = Lower(o.keyword);
    auto error = [&](const std::string& text) {
      ui_.MessageBox(Format(texts::kConversionError, file.c_str(), static_cast<int>(n + 1), o.keyword.c_str(),
                            text.c_str()),
                     texts::kCaption, platform::Buttons::OkCancel, platform::Answer::Ok, platform::Icon::Error);
      return false;
    };
    const std::string& sep = o.separator;
    if (k == "connect") {
      if (o.value.empty()) return error(texts::kConnectWithoutHost);
      auto profile = store_.NewProfile();
      profile->host = o.value;
      profile->port = c.port;
      profile->codePageFile = c.codePage;
      profile->logFile = c.logFile;
      profile->SetTerminalByDisplayName(builtIn, c.terminal);
      std::string name;
      if (!c.title.empty() && !nameTaken(c.title)) {
        name = c.title;
      } else {
        name = c.title.empty() ? o.value : c.title + "_" + o.value;
        if (nameTaken(name)) name += "_" + c.terminal;
        if (nameTaken(name)) name += "_" + std::to_string(c.port);
        if (nameTaken(name) && !c.codePage.empty()) name += "_" + c.codePage;
        if (nameTaken(name) && !c.logFile.empty()) name += "_" + c.logFile;
        // An existing profile is never replaced.
        const std::string base = name;
        for (int i = 2; nameTaken(name); ++i) name = base + "_" + std::to_string(i);
      }
      profile->name = name;
      profiles.push_back(profile);
      out.push_back("Connect" + sep + Quoted(name));
    } else if (k == "connectname") {
      out.push_back("Connect" + sep + o.parameter + o.rest);
    } else if (k == "goto") {
      out.push_back(o.keyword + sep + o.parameter + ":" + o.rest);
    } else if (k == "label") {
      out.push_back(o.parameter + ":" + o.rest);
    } else if (k == "language") {
      c.codePage = o.value;
    } else if (k == "logfile") {
      c.logFile = o.value;
    } else if (k == "lookfor") {
      out.push_back("Waitfor" + sep + o.parameter + o.rest);
    } else if (k == "looklist") {
      // The list is quoted whole (its quotes doubled) or text by text up to
      // its last label.
      if (o.value.find('[') != std::string::npos) {
        out.push_back("Waitfor" + sep + ConvertLooklist(o.value) + o.rest);
      } else {
        const std::size_t close = o.afterSeparator.rfind(']');
        const std::size_t end = close == std::string::npos ? o.afterSeparator.size() : close + 1;
        out.push_back("Waitfor" + sep + ConvertLooklist(std::string_view(o.afterSeparator).substr(0, end)) +
                      o.afterSeparator.substr(end));
      }
    } else if (k == "password") {
      out.push_back("AskFor" + sep + o.parameter + ",password" + o.rest);
    } else if (k == "port") {
      const auto port = ParseNumber(o.value, 1, 65535);
      if (!port) return error(Format(texts::kBadPort, o.value.c_str()));
      c.port = static_cast<int>(*port);
    } else if (k == "prompt") {
      out.push_back("AskFor" + sep + o.parameter + o.rest);
    } else if (k == "terminal") {
      std::string name = o.value;
      for (const TerminalRename& r : kTerminalRenames)
        if (name == r.oldName) name = r.newName;
      if (!builtIn.FindByDisplayName(name)) return error(Format(texts::kUnknownTerminal, name.c_str()));
      c.terminal = name;
    } else if (k == "title") {
      c.title = o.value;
    } else if (k == "transfer") {
      out.push_back("FileTransfer" + sep + "Operation=" + o.parameter + ",");
      out.push_back("\tPCFile=" + c.pcFile + ",");
      out.push_back("\tHostFile=" + c.hostFile + ",");
      out.push_back("\tOpsys=" + c.opsys + ",");
      if (SameWord(o.value, "send")) {
        if (c.opsys == "MVS/TSO" && !c.blksize.empty()) out.push_back("\tBlksize=" + c.blksize + ",");
        if (!c.lrecl.empty()) out.push_back("\tLrecl=" + c.lrecl + ",");
        if (!c.recfm.empty()) out.push_back("\tRecfm=" + c.recfm + ",");
      } else if (!c.pcOptions.empty()) {
        out.push_back("\tPCOptions=" + c.pcOptions + ",");
      }
      if (!c.options.empty()) out.push_back("\tOptions=" + c.options);
      std::string& last = out.back();
      while (!last.empty() && IsBlank(last.back())) last.pop_back();
      if (!last.empty() && last.back() == ',') last.pop_back();
    } else if (k == "transferblksize") {
      c.blksize = o.parameter;
    } else if (k == "transferhostfilename") {
      c.hostFile = o.parameter;
    } else if (k == "transferlrecl") {
      c.lrecl = o.parameter;
    } else if (k == "transferopsys") {
      c.opsys = o.parameter;
    } else if (k == "transferoptions") {
      c.options = o.parameter;
    } else if (k == "transferpcfilename") {
      c.pcFile = o.parameter;
    } else if (k == "transferpcoptions") {
      c.pcOptions = o.parameter;
    } else if (k == "transferrecfm") {
      c.recfm = o.parameter;
    } else if (k == "exit" || k == "key" || k == "session" || k == "wait") {
      out.push_back(o.keyword + sep + o.parameter + o.rest);
    } else {
      out.push_back(line);
    }
  }
  return true;
}

}  // namespace corvina::script
