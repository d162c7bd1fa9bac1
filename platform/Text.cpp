#include "platform/Text.h"

namespace corvina::platform {

namespace {

// Strict decoding: no overlong forms, no surrogates, nothing above U+10FFFF.
bool DecodeUtf8(std::string_view bytes, std::u32string& out) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    std::size_t extra;
    char32_t c, min;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (bytes.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      auto cont = static_cast<unsigned char>(bytes[i + k]);
      if ((cont & 0xC0) != 0x80) return false;
      c = (c << 6) | (cont & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out.push_back(c);
    i += extra + 1;
  }
  return true;
}

}  // namespace

std::u32string DecodeTextFile(std::string_view bytes) {
  std::u32string text;
  if (DecodeUtf8(bytes, text)) {
    if (!text.empty() && text.front() == U'\uFEFF') text.erase(0, 1);
    return text;
  }
  text.clear();
  for (char b : bytes) text.push_back(static_cast<unsigned char>(b));
  return text;
}

std::string ToUtf8(std::u32string_view text) {
  std::string out;
  for (char32_t c : text) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
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
  return out;
}

std::string Latin1ToUtf8(std::string_view latin1) {
  std::u32string wide;
  wide.reserve(latin1.size());
  for (char ch : latin1) wide.push_back(static_cast<unsigned char>(ch));
  return ToUtf8(wide);
}

std::optional<std::string> Utf8ToLatin1(std::string_view text) {
  std::u32string wide;
  if (!DecodeUtf8(text, wide)) return std::string(text);
  std::string latin1;
  latin1.reserve(wide.size());
  for (char32_t c : wide) {
    if (c > 0xFF) return std::nullopt;
    latin1.push_back(static_cast<char>(c));
  }
  return latin1;
}

}  // namespace corvina::platform
