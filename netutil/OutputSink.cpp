#include "netutil/OutputSink.h"

namespace corvina::netutil {

namespace {

// Length of the UTF-8 sequence a lead byte starts; 0 for a byte that starts
// none.
int SequenceLength(std::uint8_t b) {
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 0;
}

// The code point of a whole sequence, or nullopt-like -1 when it is not a
// valid one (overlong, surrogate, beyond U+10FFFF, bad continuation).
long Decode(const std::string& s) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
  const int n = static_cast<int>(s.size());
  long c = p[0] & (0x7F >> n);
  for (int i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return -1;
    c = (c << 6) | (p[i] & 0x3F);
  }
  static const long kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMin[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
  return c;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

void ReceivedText::Put(char32_t c, std::string& out) {
  if (crPending_) {
    crPending_ = false;
    out += "\r\n";
    if (c == '\n') return;
  }
  if (c == '\r') {
    crPending_ = true;
  } else if (c == '\n') {
    out += "\r\n";
  } else if ((c < 0x20 && c != '\t') || (c >= 0x7F && c < 0xA0)) {
    out.push_back('?');
  } else {
    AppendUtf8(c, out);
  }
}

std::string ReceivedText::Feed(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  total_ += bytes.size();
  for (std::uint8_t b : bytes) {
    if (!partial_.empty()) {
      if ((b & 0xC0) == 0x80) {
        partial_.push_back(static_cast<char>(b));
        if (static_cast<int>(partial_.size()) < SequenceLength(static_cast<std::uint8_t>(partial_[0]))) continue;
        long c = Decode(partial_);
        if (c >= 0) {
          Put(static_cast<char32_t>(c), out);
        } else {
          for (char p : partial_) Put(static_cast<std::uint8_t>(p), out);
        }
        partial_.clear();
        continue;
      }
      // Not a continuation: the held bytes were Latin-1 after all.
      for (char p : partial_) Put(static_cast<std::uint8_t>(p), out);
      partial_.clear();
    }
    if (SequenceLength(b) > 0) {
      partial_.push_back(static_cast<char>(b));
    } else {
      Put(b, out);
    }
  }
  return out;
}

std::string ReceivedText::Finish() {
  std::string out;
  for (char p : partial_) Put(static_cast<std::uint8_t>(p), out);
  partial_.clear();
  if (crPending_) {
    crPending_ = false;
    out += "\r\n";
  }
  return out;
}

}  // namespace corvina::netutil
