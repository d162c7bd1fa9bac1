// Bytes from a text terminal into corvina-term's key decoder: keys, UTF-8,
// escape sequences, mouse reports and pastes, in pieces whose sizes the
// first byte picks, with the escape delay running out now and then and a
// clipboard answer expected when the first byte's high bit is set.
#include <cstdint>
#include <cstdlib>

#include "app/term/KeyDecoder.h"

using namespace corvina;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::size_t events = 0;
  term::CKeyDecoder decoder([&](const term::TermInput& in) {
    ++events;
    if (in.kind == term::TermInput::kMouse &&
        (in.mouse.column < 0 || in.mouse.column > 9999 || in.mouse.row < 0 || in.mouse.row > 9999))
      std::abort();
    if (in.kind == term::TermInput::kPaste && in.paste.size() > term::CKeyDecoder::kMaxPaste) std::abort();
    if (in.kind == term::TermInput::kKey && (in.key.virtualKey > 0xFF || in.character > 0x10FFFF)) std::abort();
  });
  const std::size_t step = 1 + data[0] % 16;
  for (std::size_t i = 1; i < size; i += step) {
    const std::size_t n = std::min(step, size - i);
    if (data[0] & 0x80) decoder.ExpectClipboardReply(true);
    decoder.Feed(std::string_view(reinterpret_cast<const char*>(data + i), n));
    if (data[i] == 0x7F) decoder.Flush();
  }
  decoder.Flush();
  // Every byte makes at most one event.
  if (events > size) std::abort();
  return 0;
}
