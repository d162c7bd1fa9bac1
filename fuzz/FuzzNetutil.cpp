// POP3 replies as a server sends them (in pieces, line assembly, STAT), the
// saved-password code and the received-text cleaning. The first byte picks
// where the pieces are cut.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "netutil/OutputSink.h"
#include "netutil/Pop3.h"

using namespace corvina::netutil;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t cut = data[0] % 16 + 1;
  std::span<const std::uint8_t> rest(data + 1, size - 1);

  Pop3LineAssembler lines;
  ReceivedText text;
  std::string shown;
  for (std::size_t at = 0; at < rest.size(); at += cut) {
    auto piece = rest.subspan(at, std::min(cut, rest.size() - at));
    std::vector<std::string> got;
    lines.Feed(piece, &got);
    for (const std::string& line : got) {
      if (line.size() > Pop3LineAssembler::kMaxLine) std::abort();
      JudgePop3Reply(line);
      if (auto count = ParseStatCount(line); count && *count < 0) std::abort();
    }
    shown += text.Feed(piece);
  }
  shown += text.Finish();
  // What is shown holds no controls but TAB and CR LF pairs.
  for (std::size_t i = 0; i < shown.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(shown[i]);
    if (c == '\r' && (i + 1 >= shown.size() || shown[i + 1] != '\n')) std::abort();
    if (c == '\n' && (i == 0 || shown[i - 1] != '\r')) std::abort();
    if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') std::abort();
    if (c == 0x7F) std::abort();
  }

  // The password code: any stored text decodes or is refused; a password
  // without zero bytes comes back as it was.
  const std::string raw(reinterpret_cast<const char*>(rest.data()), rest.size());
  if (auto decoded = DecodePassword(raw); decoded && decoded->size() > raw.size()) std::abort();
  std::string password = raw.substr(0, 256);
  for (char& c : password)
    if (c == 0) c = 'x';
  const std::string stored = EncodePassword(password);
  if (stored.size() != (password.size() + 3) / 4 * 7 || DecodePassword(stored) != password) std::abort();
  return 0;
}
