#include "filetransfer/TransferRequest.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "codepage/CodePage.h"
#include "config/SessionProfile.h"
#include "filetransfer/TransferTexts.h"
#include "platform/Format.h"

namespace corvina::filetransfer {

CTransferRequest RequestFromProfile(const FileTransferDefaults& d, Direction direction) {
  CTransferRequest r;
  r.direction = direction;
  r.pcFile = d.pcFile;
  r.hostFile = d.hostFile;
  r.additionalOptions = d.options;
  r.codePageFile = d.hostCodePageFile;
  r.program = d.program;
  r.flags = d.flags & (kOptionAscii | kOptionCrLf | kOptionNoTruncate | kOptionAppend | kOptionScreenImage);
  r.hostSystem = static_cast<HostSystem>(std::clamp(d.hostSystem, 0, 2));
  r.pcFileOption = static_cast<PcFileOption>(std::clamp(d.pcDisposition, 0, 2));
  r.recordFormat = static_cast<RecordFormat>(std::clamp(d.recordFormat, 0, 3));
  r.lrecl = std::clamp(d.logicalRecordLength, 0, kMaxRecordValue);
  r.blksize = std::clamp(d.blockSize, 0, kMaxRecordValue);
  r.bufferSize = std::clamp(d.bufferSize, kMinBufferSize, kMaxBufferSize);
  return r;
}

std::string HostCommand(const CTransferRequest& r) {
  const bool mvs = r.hostSystem == HostSystem::kMvsTso, cics = r.hostSystem == HostSystem::kCics;
  std::string line = r.program + (r.Get() ? " GET " : " PUT ") + r.hostFile;
  std::string options;
  if (r.Ascii())
    options += " ASCII";
  else if (cics)
    options += " BINARY";
  if (r.CrLf())
    options += " CRLF";
  else if (cics)
    options += " NOCRLF";
  if (r.flags & kOptionNoTruncate) options += " NOTRUNC";
  if (!r.Get()) {
    if (r.flags & kOptionAppend) options += " APPEND";
    if (r.recordFormat != RecordFormat::kDefault) {
      static constexpr char kFormats[] = "?FVU";
      options += std::string(" RECFM") + (mvs ? "(" : " ") + kFormats[static_cast<int>(r.recordFormat)] +
                 (mvs ? ")" : "");
    }
    if (r.lrecl != 0)
      options += platform::Format(mvs ? " LRECL(%d)" : cics ? " LRECL=%d" : " LRECL %d", static_cast<int>(r.lrecl));
    if (r.blksize != 0 && mvs) options += platform::Format(" BLKSIZE(%d)", static_cast<int>(r.blksize));
  }
  if (!r.additionalOptions.empty()) options += " " + r.additionalOptions;
  if (!options.empty()) line += mvs ? options : " (" + options + " )";
  return line;
}

void ParseHllapiTransferString(std::string_view text, CTransferRequest& r) {
  std::string_view rest;
  if (!text.empty() && text.front() == '"') {
    const std::size_t close = text.find('"', 1);
    r.pcFile = std::string(text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    rest = close == std::string_view::npos ? std::string_view() : text.substr(close + 1);
  } else {
    const std::size_t blank = text.find(' ');
    r.pcFile = std::string(text.substr(0, blank));
    rest = blank == std::string_view::npos ? std::string_view() : text.substr(blank);
  }
  // The session's short name ("b:") goes; without one nothing of the host
  // file is known.
  const std::size_t colon = rest.find(':');
  rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  const std::size_t paren = rest.find('(');
  r.hostFile = std::string(rest.substr(0, paren));
  r.additionalOptions.clear();
  if (paren == std::string_view::npos) return;
  std::string options(rest.substr(paren + 1));
  if (options.empty()) return;
  for (char& c : options) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::size_t start = 0;
  while (start <= options.size()) {
    std::size_t end = options.find(' ', start);
    if (end == std::string::npos) end = options.size();
    const std::string word = options.substr(start, end - start);
    if (word == "ASCII")
      r.flags |= kOptionAscii;
    else if (word == "CRLF")
      r.flags |= kOptionCrLf;
    else if (!((word == "BINARY" || word == "NOCRLF") && r.hostSystem == HostSystem::kCics))
      r.additionalOptions += word + " ";
    start = end + 1;
  }
}

bool ApplyTransferOptions(std::string_view text, CTransferRequest& r, std::string* error) {
  auto lower = [](std::string_view w) {
    std::string out(w);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
  };
  auto number = [&](const std::string& word, const std::string& value, int lo, int hi, std::int32_t& out) {
    char* end = nullptr;
    const long v = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != 0 || v < lo || v > hi) {
      *error = platform::Format("The value of %s must be a number from %d to %d", word.c_str(), lo, hi);
      return false;
    }
    out = static_cast<std::int32_t>(v);
    return true;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == ',') {
      ++i;
      continue;
    }
    std::size_t end = text.find_first_of(" ,", i);
    if (end == std::string_view::npos) end = text.size();
    const std::string word = lower(text.substr(i, end - i));
    const std::size_t eq = word.find('=');
    const std::string key = word.substr(0, eq), value = eq == std::string::npos ? "" : word.substr(eq + 1);
    if (key == "options" && eq != std::string::npos) {
      r.additionalOptions = std::string(text.substr(i + eq + 1));  // the rest, as written
      return true;
    }
    // Names keep their letter case.
    const std::string_view original = text.substr(i, end - i);
    const std::string asWritten(eq == std::string::npos ? original : original.substr(eq + 1));
    i = end;
    if (word == "wsf") r.flags &= static_cast<std::uint8_t>(~kOptionScreenImage);
    else if (word == "screenimage") r.flags |= kOptionScreenImage;
    else if (word == "vm" || word == "cms" || word == "vm/cms") r.hostSystem = HostSystem::kVmCms;
    else if (word == "tso" || word == "mvs" || word == "mvs/tso") r.hostSystem = HostSystem::kMvsTso;
    else if (word == "cics") r.hostSystem = HostSystem::kCics;
    else if (word == "ascii") r.flags |= kOptionAscii;
    else if (word == "binary") r.flags &= static_cast<std::uint8_t>(~kOptionAscii);
    else if (word == "crlf") r.flags |= kOptionCrLf;
    else if (word == "nocrlf") r.flags &= static_cast<std::uint8_t>(~kOptionCrLf);
    else if (word == "notrunc") r.flags |= kOptionNoTruncate;
    else if (word == "trunc") r.flags &= static_cast<std::uint8_t>(~kOptionNoTruncate);
    else if (word == "append") {
      r.flags |= kOptionAppend;
      r.pcFileOption = PcFileOption::kAppend;
    } else if (word == "replace") {
      r.flags &= static_cast<std::uint8_t>(~kOptionAppend);
      r.pcFileOption = PcFileOption::kReplace;
    } else if (word == "prompt") r.pcFileOption = PcFileOption::kPrompt;
    else if (key == "recfm" && (value == "f" || value == "fixed")) r.recordFormat = RecordFormat::kFixed;
    else if (key == "recfm" && (value == "v" || value == "variable")) r.recordFormat = RecordFormat::kVariable;
    else if (key == "recfm" && (value == "u" || value == "undefined")) r.recordFormat = RecordFormat::kUndefined;
    else if (key == "recfm" && value == "default") r.recordFormat = RecordFormat::kDefault;
    else if (key == "lrecl" && eq != std::string::npos) {
      if (!number(key, value, 0, kMaxRecordValue, r.lrecl)) return false;
    } else if (key == "blksize" && eq != std::string::npos) {
      if (!number(key, value, 0, kMaxRecordValue, r.blksize)) return false;
    } else if (key == "buffer" && eq != std::string::npos) {
      if (!number(key, value, kMinBufferSize, kMaxBufferSize, r.bufferSize)) return false;
    } else if (key == "program" && !value.empty()) r.program = asWritten;
    else if (key == "codepage" && !value.empty()) r.codePageFile = asWritten;
    else {
      *error = "Unknown transfer option \"" + word +
               "\" (wsf, screenimage, vm, tso, cics, ascii, binary, crlf, nocrlf, notrunc, append, replace, prompt, "
               "recfm=F|V|U, lrecl=N, blksize=N, buffer=N, program=NAME, codepage=FILE, options=TEXT)";
      return false;
    }
  }
  return true;
}

bool CommandLineRequest(const FileTransferDefaults& defaults, Direction direction, const std::string& pcFile,
                        const std::string& hostFile, std::string_view words, CTransferRequest& request,
                        std::string* error) {
  request = RequestFromProfile(defaults, direction);
  request.pcFile = pcFile;
  request.hostFile = hostFile;
  request.additionalOptions.clear();
  if (!ApplyTransferOptions(words, request, error)) return false;
  // A code page that does not load stops the transfer before anything is typed.
  return CodePageLoads(request, error);
}

bool CodePageLoads(const CTransferRequest& request, std::string* error) {
  if (request.codePageFile.empty()) return true;
  CCorvinaCodePage probe;
  std::string why;
  if (probe.Load(request.codePageFile, why)) return true;
  if (error) *error = why;
  return false;
}

std::string StartFailureText(int result) {
  namespace texts = transfer_texts;
  const char* why = result == kStartDeclined         ? texts::kStartDeclined
                    : result == kStartNotFound        ? texts::kStartNotFound
                    : result == kStartOpenFailed      ? texts::kStartOpenFailed
                    : result == kStartKeyboardRefused ? texts::kStartKeyboardRefused
                    : result == kStartBusy            ? texts::kStartBusy
                                                      : texts::kStartNotAvailable;
  return platform::Format(texts::kNotStarted, why);
}

int HllapiStartResult(int result) {
  switch (result) {
    case kStartSent:
      return 0;
    case kStartNotFound:
      return 302;
    case kStartOpenFailed:
    case kStartDeclined:
      return 305;
    default:
      return 310;
  }
}

}  // namespace corvina::filetransfer
