// The transfer request: what a starter (the File Transfer dialog, the
// script command FileTransfer, HLLAPI Send/Receive File, corvina-cli) asks
// for, and the host command line it becomes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

struct FileTransferDefaults;

namespace filetransfer {

// Option flags.
enum : std::uint8_t {
  kOptionScreenImage = 0x02,  // clear: structured-field (WSF) mode
  kOptionAppend = 0x08,       // PUT: append to the host file
  kOptionNoTruncate = 0x10,
  kOptionCrLf = 0x20,
  kOptionAscii = 0x40,
  kOptionGet = 0x80,  // the direction: host to PC
};

enum class Direction { kGet, kPut };
enum class HostSystem : std::uint16_t { kVmCms = 0, kMvsTso = 1, kCics = 2 };
enum class PcFileOption : std::uint16_t { kReplace = 0, kAppend = 1, kPrompt = 2 };
enum class RecordFormat : std::uint16_t { kDefault = 0, kFixed = 1, kVariable = 2, kUndefined = 3 };

// Buffer size limits of WSF mode.
inline constexpr int kMinBufferSize = 512;
inline constexpr int kMaxBufferSize = 65535;
inline constexpr int kMaxRecordValue = 32760;  // LRECL and BLKSIZE

struct CTransferRequest {
  Direction direction = Direction::kGet;
  std::string pcFile;
  std::string hostFile;
  std::string additionalOptions;
  std::string codePageFile;  // screen-image translation; empty: the built-in tables
  std::string program = "IND$FILE";
  std::uint8_t flags = kOptionAscii | kOptionCrLf;  // kOptionGet follows direction
  HostSystem hostSystem = HostSystem::kVmCms;
  PcFileOption pcFileOption = PcFileOption::kReplace;
  RecordFormat recordFormat = RecordFormat::kDefault;
  std::int32_t lrecl = 0;
  std::int32_t blksize = 0;
  std::int32_t bufferSize = 8192;

  bool Get() const { return direction == Direction::kGet; }
  bool Ascii() const { return flags & kOptionAscii; }
  bool CrLf() const { return flags & kOptionCrLf; }
  bool ScreenImage() const { return flags & kOptionScreenImage; }
  // The flags with the direction bit as the direction says.
  std::uint8_t Flags() const {
    return static_cast<std::uint8_t>((flags & ~kOptionGet) | (Get() ? kOptionGet : 0));
  }
};

// A request filled from a session profile's transfer settings.
CTransferRequest RequestFromProfile(const FileTransferDefaults& defaults, Direction direction);

// "IND$FILE GET name ( ASCII CRLF )" and its variants for the three hosts.
std::string HostCommand(const CTransferRequest& request);

// HLLAPI Send File and Receive File: "PC-file [x:]host-file [(options]"
// into a request that already holds the session's defaults.
void ParseHllapiTransferString(std::string_view text, CTransferRequest& request);

// Result codes of a start.
enum : int {
  kStartSent = 0,
  kStartDeclined = -1,  // the user kept the existing PC file
  kStartNotFound = -2,
  kStartOpenFailed = -3,
  kStartKeyboardRefused = -4,
  kStartBusy = -5,          // a transfer already runs on the session
  kStartNotAvailable = -6,  // the session runs no 3270 display engine
};

// The words of corvina-cli's --ft-options, separated by blanks or commas,
// applied to a request: wsf, screenimage, vm, tso (mvs), cics, ascii,
// binary, crlf, nocrlf, notrunc, append, replace, prompt, recfm=F|V|U|default,
// lrecl=N, blksize=N, buffer=N, program=NAME, codepage=FILE and
// options=TEXT (the rest of the text: further host options). False with the
// reason in *error for a word it does not know or a value out of range.
bool ApplyTransferOptions(std::string_view text, CTransferRequest& request, std::string* error);

// corvina-cli's --send/--receive and corvina-term's transfer command: the
// profile's defaults with the two files and the --ft-options words over
// them (further host options come only from the words). False with the
// reason when a word is wrong or the code page file named does not load.
bool CommandLineRequest(const FileTransferDefaults& defaults, Direction direction, const std::string& pcFile,
                        const std::string& hostFile, std::string_view words, CTransferRequest& request,
                        std::string* error);

// False with the loader's reason when the request names a code page file
// that does not load (a transfer through tables nobody chose would carry
// the wrong bytes).
bool CodePageLoads(const CTransferRequest& request, std::string* error);

// The HLLAPI return code of a start result (0, 302, 305 or 310).
int HllapiStartResult(int startResult);
// "The file transfer did not start: ..." for a start result other than kStartSent.
std::string StartFailureText(int startResult);

}  // namespace filetransfer
}  // namespace corvina
