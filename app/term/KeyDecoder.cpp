#include "app/term/KeyDecoder.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace corvina::term {

namespace {

constexpr std::uint8_t kEsc = 0x1B;

// The PC key (and whether Shift is held) that types each ASCII character
// on the layout the maps are written for.
struct AsciiKey {
  std::uint16_t vk = 0;
  bool shift = false;
};
const std::array<AsciiKey, 128>& AsciiKeys() {
  static const std::array<AsciiKey, 128> table = [] {
    std::array<AsciiKey, 128> t{};
    for (int shift = 1; shift >= 0; --shift)
      for (std::uint16_t vk = 1; vk < 256; ++vk)
        if (auto c = CharacterOfKey(KeyCode{vk, static_cast<std::uint8_t>(shift ? kModShift : 0)});
            c && static_cast<unsigned char>(*c) < 128)
          t[static_cast<unsigned char>(*c)] = AsciiKey{vk, shift != 0};
    return t;
  }();
  return table;
}

// The xterm modifier parameter: 1 + Shift 1, Alt 2, Ctrl 4, Meta 8.
std::uint8_t ModifiersOfParameter(int m) {
  if (m < 2 || m > 16) return 0;
  const int bits = m - 1;
  std::uint8_t mods = 0;
  if (bits & 1) mods |= kModShift;
  if (bits & (2 | 8)) mods |= kModAlt;
  if (bits & 4) mods |= kModCtrl;
  return mods;
}

struct Parameters {
  static constexpr int kMax = 16;
  int values[kMax] = {};
  int count = 0;
  int Get(int i, int absent) const { return i < count && values[i] >= 0 ? values[i] : absent; }
};

// Digits, ";" and ":" of a sequence; -1 for an empty parameter.
Parameters ParseParameters(std::string_view text) {
  Parameters p;
  int current = -1;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      current = std::min(65535, (current < 0 ? 0 : current) * 10 + (c - '0'));
    } else if (p.count < Parameters::kMax) {
      p.values[p.count++] = current;
      current = -1;
    }
  }
  if (p.count < Parameters::kMax) p.values[p.count++] = current;
  return p;
}

// The keys of "CSI n ~" (VT220 editing keypad and function keys; rxvt's
// 7 and 8 for Home and End). F13 to F20 are Shift+F1 to Shift+F8.
struct TildeKey {
  std::uint16_t vk;
  std::uint8_t mods;
};
TildeKey TildeKeyOf(int n) {
  switch (n) {
    case 1: case 7: return {kVkHome, kModExtended};
    case 2: return {kVkInsert, kModExtended};
    case 3: return {kVkDelete, kModExtended};
    case 4: case 8: return {kVkEnd, kModExtended};
    case 5: return {kVkPrior, kModExtended};
    case 6: return {kVkNext, kModExtended};
    case 11: case 12: case 13: case 14: case 15: return {static_cast<std::uint16_t>(kVkF1 + n - 11), 0};
    case 17: case 18: case 19: case 20: case 21: return {static_cast<std::uint16_t>(kVkF1 + 5 + n - 17), 0};
    case 23: case 24: return {static_cast<std::uint16_t>(kVkF1 + 10 + n - 23), 0};
    case 25: case 26: return {static_cast<std::uint16_t>(kVkF1 + n - 25), kModShift};
    case 28: case 29: return {static_cast<std::uint16_t>(kVkF1 + 2 + n - 28), kModShift};
    case 31: case 32: case 33: case 34: return {static_cast<std::uint16_t>(kVkF1 + 4 + n - 31), kModShift};
    default: return {0, 0};
  }
}

// Cursor keys and the keypad centre by their final letter.
std::uint16_t CursorKeyOf(char final) {
  switch (final) {
    case 'A': return kVkUp;
    case 'B': return kVkDown;
    case 'C': return kVkRight;
    case 'D': return kVkLeft;
    case 'H': return kVkHome;
    case 'F': return kVkEnd;
    default: return 0;
  }
}

constexpr std::string_view kPasteEnd = "\x1b[201~";

}  // namespace

void CKeyDecoder::EmitKey(std::uint16_t vk, std::uint8_t mods, char32_t character) {
  TermInput in;
  in.key = KeyCode{vk, mods};
  in.character = character;
  sink_(in);
}

void CKeyDecoder::EmitCharacter(char32_t c, std::uint8_t mods) {
  if (c < 0x20 || c == 0x7F) {
    switch (c) {
      case 0x00: return EmitKey(kVkSpace, mods | kModCtrl, 0);
      case 0x08: case 0x7F: return EmitKey(kVkBack, mods);
      case 0x09: return EmitKey(kVkTab, mods);
      case 0x0D: return EmitKey(kVkReturn, mods);
      case 0x1B: return EmitKey(kVkEscape, mods);
      case 0x1C: return EmitKey(kVkOem5, mods | kModCtrl, c);
      case 0x1D: return EmitKey(kVkOem6, mods | kModCtrl, c);
      case 0x1E: return EmitKey('6', mods | kModCtrl, c);
      case 0x1F: return EmitKey(kVkOemMinus, mods | kModCtrl, c);
      default: return EmitKey(static_cast<std::uint16_t>('A' + c - 1), mods | kModCtrl, c);
    }
  }
  if (c < 0x80) {
    const AsciiKey& k = AsciiKeys()[c];
    return EmitKey(k.vk, static_cast<std::uint8_t>(mods | (k.shift ? kModShift : 0)), c);
  }
  EmitKey(0, mods, c);
}

void CKeyDecoder::EmitMouse(int b, int column, int row, bool release) {
  TermMouse m;
  m.column = std::clamp(column, 0, 9999);
  m.row = std::clamp(row, 0, 9999);
  if (b & 4) m.modifiers |= kModShift;
  if (b & 8) m.modifiers |= kModAlt;
  if (b & 16) m.modifiers |= kModCtrl;
  static constexpr int kButtons[] = {kVkMouseLeft, kVkMouseMiddle, kVkMouseRight, 0};
  m.button = kButtons[b & 3];
  if (b & 64) {
    if ((b & 3) > 1) return;  // sideways wheels
    m.action = (b & 1) ? TermMouse::kWheelDown : TermMouse::kWheelUp;
    m.button = 0;
  } else if (b & 32) {
    if (m.button == 0) return;  // moves without a button
    m.action = TermMouse::kDrag;
  } else {
    m.action = release ? TermMouse::kRelease : TermMouse::kPress;
  }
  TermInput in;
  in.kind = TermInput::kMouse;
  in.mouse = m;
  sink_(in);
}

void CKeyDecoder::PasteByte(char c) {
  // The end marker is matched byte by byte, so it may arrive in pieces.
  std::size_t matched = pasteMatched_;
  if (c == kPasteEnd[matched]) {
    if (++matched == kPasteEnd.size()) {
      pasting_ = false;
      pasteMatched_ = 0;
      TermInput in;
      in.kind = TermInput::kPaste;
      in.paste = std::move(paste_);
      paste_.clear();
      sink_(in);
      return;
    }
    pasteMatched_ = matched;
    return;
  }
  // Not the marker after all: what looked like its start is text.
  const std::string_view held = kPasteEnd.substr(0, matched);
  pasteMatched_ = 0;
  for (char h : held)
    if (paste_.size() < kMaxPaste) paste_.push_back(h);
  if (c == kPasteEnd[0]) {
    pasteMatched_ = 1;
    return;
  }
  if (paste_.size() < kMaxPaste) paste_.push_back(c);
}

namespace {

// Base64 of an OSC 52 answer; nothing when it is not base64.
std::optional<std::string> DecodeBase64(std::string_view text) {
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    else if (c == '=') break;
    else return std::nullopt;
    bits = bits << 6 | static_cast<std::uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>((bits >> count) & 0xFF));
    }
  }
  return out;
}

}  // namespace

void CKeyDecoder::OscByte(char c) {
  if (c == '\a' || (oscEscape_ && c == '\\')) return EndOsc();
  if (oscEscape_) osc_.push_back('\x1b');
  oscEscape_ = c == '\x1b';
  // Room for a whole paste in base64; the rest of a longer answer is dropped.
  if (!oscEscape_ && osc_.size() < kMaxPaste / 3 * 4 + 16) osc_.push_back(c);
}

void CKeyDecoder::EndOsc() {
  inOsc_ = oscEscape_ = false;
  std::string answer = std::move(osc_);
  osc_.clear();
  constexpr std::string_view kClipboard = "52;";
  const std::size_t data = answer.find(';', kClipboard.size());
  if (answer.compare(0, kClipboard.size(), kClipboard) != 0 || data == std::string::npos) return;
  const auto text = DecodeBase64(std::string_view(answer).substr(data + 1));
  if (!text || text->empty()) return;
  TermInput in;
  in.kind = TermInput::kPaste;
  for (std::size_t i = 0; i < text->size() && in.paste.size() < kMaxPaste; ++i) {
    const char c = (*text)[i];
    if (c == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n') continue;
    in.paste.push_back(c == '\n' ? '\r' : c);
  }
  sink_(in);
}

void CKeyDecoder::Feed(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (pasting_) {
      PasteByte(bytes[i]);
      continue;
    }
    if (inOsc_) {
      OscByte(bytes[i]);
      continue;
    }
    if (discarding_) {
      const auto c = static_cast<std::uint8_t>(bytes[i]);
      if (c >= 0x20 && c < 0x40) continue;
      discarding_ = false;
      if (c >= 0x40 && c <= 0x7E) continue;  // its final byte
    }
    buffer_.push_back(bytes[i]);
    while (!buffer_.empty() && !pasting_ && !inOsc_) {
      const std::size_t n = DecodeOne(false);
      if (n == 0) break;
      buffer_.erase(0, n);
    }
    // Bytes after a paste start are pasted text, after an OSC start its text.
    if ((pasting_ || inOsc_) && !buffer_.empty()) {
      const std::string rest = std::move(buffer_);
      buffer_.clear();
      for (char c : rest) pasting_ ? PasteByte(c) : OscByte(c);
    }
  }
}

void CKeyDecoder::Flush() {
  discarding_ = false;
  while (!buffer_.empty() && !pasting_ && !inOsc_) {
    const std::size_t n = DecodeOne(true);
    buffer_.erase(0, std::max<std::size_t>(n, 1));
  }
}

std::size_t CKeyDecoder::DecodeOne(bool final) {
  const auto b = static_cast<std::uint8_t>(buffer_[0]);
  if (b == kEsc) return DecodeEscape(final);
  if (b < 0x80) {
    EmitCharacter(b, 0);
    return 1;
  }
  return DecodeUtf8(0, 0, final);
}

std::size_t CKeyDecoder::DecodeUtf8(std::size_t start, std::uint8_t alt, bool final) {
  const auto lead = static_cast<std::uint8_t>(buffer_[start]);
  std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (lead >= 0xF5) length = 0;
  char32_t c = lead;
  std::size_t have = 1;
  if (length > 0) {
    c = lead & (0x7F >> length);
    for (; have < length && start + have < buffer_.size(); ++have) {
      const auto next = static_cast<std::uint8_t>(buffer_[start + have]);
      if ((next & 0xC0) != 0x80) break;
      c = c << 6 | (next & 0x3F);
    }
    if (have < length && start + have == buffer_.size() && !final) return 0;  // the rest is on its way
    const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
    if (have < length || overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      // Not UTF-8: the byte is a Latin-1 character.
      c = lead;
      have = 1;
    }
  }
  EmitCharacter(c, alt);
  return start + have;
}

std::size_t CKeyDecoder::DecodeEscape(bool final) {
  if (buffer_.size() < 2) {
    if (!final) return 0;
    EmitKey(kVkEscape, 0);
    return 1;
  }
  const auto next = static_cast<std::uint8_t>(buffer_[1]);
  std::size_t n = 0;
  if (next == '[') {
    n = DecodeCsi(2, 0);
  } else if (next == 'O') {
    n = DecodeSs3(2, 0);
  } else if (next == ']' && expectingOsc_) {
    expectingOsc_ = false;
    inOsc_ = true;
    return 2;
  } else if (next == kEsc) {
    // ESC before a sequence is Alt with that key (rxvt); ESC ESC is Alt+Esc.
    if (buffer_.size() < 3) {
      if (!final) return 0;
    } else if (buffer_[2] == '[' || buffer_[2] == 'O') {
      n = buffer_[2] == '[' ? DecodeCsi(3, kModAlt) : DecodeSs3(3, kModAlt);
      if (n != 0) return n;
      if (!final) return 0;
    }
    EmitKey(kVkEscape, kModAlt);
    return 2;
  } else if (next >= 0x80) {
    return DecodeUtf8(1, kModAlt, final);
  } else {
    EmitCharacter(next, kModAlt);
    return 2;
  }
  if (n == 0 && final) {
    // An unfinished sequence: ESC and the byte after it are Alt with that key.
    EmitCharacter(next, kModAlt);
    return 2;
  }
  return n;
}

std::size_t CKeyDecoder::DecodeCsi(std::size_t start, std::uint8_t alt) {
  std::size_t i = start;
  // The Linux console's function keys: ESC [ [ A to E.
  if (i < buffer_.size() && buffer_[i] == '[') {
    if (i + 1 >= buffer_.size()) return 0;
    const char f = buffer_[i + 1];
    if (f >= 'A' && f <= 'E') EmitKey(static_cast<std::uint16_t>(kVkF1 + (f - 'A')), alt);
    return i + 2;
  }
  char prefix = 0;
  if (i < buffer_.size() && (buffer_[i] == '<' || buffer_[i] == '?' || buffer_[i] == '>' || buffer_[i] == '=')) {
    prefix = buffer_[i];
    ++i;
  }
  const std::size_t paramStart = i;
  for (; i < buffer_.size(); ++i) {
    const auto c = static_cast<std::uint8_t>(buffer_[i]);
    if ((c >= '0' && c <= '9') || c == ';' || c == ':') continue;
    break;
  }
  if (i >= buffer_.size()) {
    if (i - start < kMaxSequence) return 0;
    discarding_ = true;  // endless parameters: dropped up to the final byte
    return i;
  }
  const auto finalByte = static_cast<std::uint8_t>(buffer_[i]);
  const std::string_view paramText(buffer_.data() + paramStart, i - paramStart);
  const Parameters p = ParseParameters(paramText);
  const std::size_t end = i + 1;

  // Intermediates and anything else before the final byte: skipped whole.
  if (finalByte < 0x40 || finalByte > 0x7E) {
    if (finalByte == '$' && !paramText.empty()) {  // rxvt: Shift with an editing or function key
      const TildeKey k = TildeKeyOf(p.Get(0, 0));
      if (k.vk) EmitKey(k.vk, static_cast<std::uint8_t>(k.mods | kModShift | alt));
      return end;
    }
    if (finalByte < 0x20 || finalByte > 0x7E) return i;  // a control byte ends the sequence unread
    for (; i < buffer_.size() && i - start < kMaxSequence; ++i) {
      const auto c = static_cast<std::uint8_t>(buffer_[i]);
      if (c >= 0x40 && c <= 0x7E) return i + 1;
      if (c < 0x20 || c > 0x7E) return i;
    }
    if (i - start < kMaxSequence) return 0;
    discarding_ = true;
    return i;
  }

  const std::uint8_t mods = static_cast<std::uint8_t>(ModifiersOfParameter(p.Get(1, 1)) | alt);
  if (prefix == '<' && (finalByte == 'M' || finalByte == 'm')) {
    EmitMouse(p.Get(0, 0), p.Get(1, 1) - 1, p.Get(2, 1) - 1, finalByte == 'm');
    return end;
  }
  if (prefix != 0) return end;  // reports this program never asks for
  if (finalByte == 'M' && paramText.empty()) {
    // X10 mouse: three bytes, each 32 more than its value; button 3 is a release.
    if (end + 3 > buffer_.size()) return 0;
    const int b = static_cast<std::uint8_t>(buffer_[end]) - 32;
    EmitMouse(b, static_cast<std::uint8_t>(buffer_[end + 1]) - 33, static_cast<std::uint8_t>(buffer_[end + 2]) - 33,
              (b & 0x63) == 3);
    return end + 3;
  }

  if (const std::uint16_t vk = CursorKeyOf(static_cast<char>(finalByte))) {
    EmitKey(vk, static_cast<std::uint8_t>(mods | kModExtended));
  } else if (finalByte == 'E') {
    EmitKey(kVkClear, mods);
  } else if (finalByte >= 'P' && finalByte <= 'S') {
    EmitKey(static_cast<std::uint16_t>(kVkF1 + (finalByte - 'P')), mods);
  } else if (finalByte == 'Z') {
    EmitKey(kVkTab, static_cast<std::uint8_t>(mods | kModShift));
  } else if (finalByte >= 'a' && finalByte <= 'd' && paramText.empty()) {  // rxvt: Shift with a cursor key
    static constexpr std::uint16_t kArrows[] = {kVkUp, kVkDown, kVkRight, kVkLeft};
    EmitKey(kArrows[finalByte - 'a'], static_cast<std::uint8_t>(kModShift | kModExtended | alt));
  } else if (finalByte == '~' || finalByte == '^' || finalByte == '@') {
    const int n = p.Get(0, 0);
    if (n == 200) {
      pasting_ = true;
      pasteMatched_ = 0;
      paste_.clear();
      return end;
    }
    std::uint8_t m = mods;
    if (finalByte == '^') m |= kModCtrl;  // rxvt
    if (finalByte == '@') m |= kModCtrl | kModShift;
    if (n == 27) {  // xterm's modifyOtherKeys: CSI 27 ; modifiers ; code ~
      const int code = p.Get(2, 0);
      if (code > 0 && code <= 0x10FFFF) EmitCharacter(static_cast<char32_t>(code), mods);
      return end;
    }
    const TildeKey k = TildeKeyOf(n);
    if (k.vk) EmitKey(k.vk, static_cast<std::uint8_t>(k.mods | m));
  } else if (finalByte == 'u') {  // CSI code ; modifiers u
    const int code = p.Get(0, 0);
    if (code > 0 && code <= 0x10FFFF) {
      if (code == 27 || code == 9 || code == 13 || code == 127)
        EmitCharacter(static_cast<char32_t>(code), mods);
      else if (mods & kModCtrl && code >= 'a' && code <= 'z')
        EmitKey(static_cast<std::uint16_t>(code - 'a' + 'A'), mods, static_cast<char32_t>(code - 'a' + 1));
      else
        EmitCharacter(static_cast<char32_t>(code), mods);
    }
  }
  // Focus reports and anything else: nothing.
  return end;
}

std::size_t CKeyDecoder::DecodeSs3(std::size_t start, std::uint8_t alt) {
  std::size_t i = start;
  // Some terminals put the modifier parameter after SS3: ESC O 5 A.
  while (i < buffer_.size() && i - start < 4 && buffer_[i] >= '0' && buffer_[i] <= '9') ++i;
  if (i >= buffer_.size()) return i - start >= 4 ? i : 0;
  const char f = buffer_[i];
  const std::uint8_t mods = static_cast<std::uint8_t>(
      ModifiersOfParameter(ParseParameters(std::string_view(buffer_.data() + start, i - start)).Get(0, 1)) | alt);
  if (const std::uint16_t vk = CursorKeyOf(f)) {
    EmitKey(vk, static_cast<std::uint8_t>(mods | kModExtended));
  } else if (f >= 'P' && f <= 'S') {
    EmitKey(static_cast<std::uint16_t>(kVkF1 + (f - 'P')), mods);
  } else if (f >= 'p' && f <= 'y') {
    EmitKey(static_cast<std::uint16_t>(kVkNumpad0 + (f - 'p')), mods);
  } else if (f >= 'a' && f <= 'd') {  // rxvt: Ctrl with a cursor key
    static constexpr std::uint16_t kArrows[] = {kVkUp, kVkDown, kVkRight, kVkLeft};
    EmitKey(kArrows[f - 'a'], static_cast<std::uint8_t>(mods | kModCtrl | kModExtended));
  } else {
    switch (f) {
      case 'M': EmitKey(kVkReturn, static_cast<std::uint8_t>(mods | kModExtended)); break;
      case 'j': EmitKey(kVkMultiply, mods); break;
      case 'k': case 'l': EmitKey(kVkAdd, mods); break;  // the VT keypad's comma is the PC's plus
      case 'm': EmitKey(kVkSubtract, mods); break;
      case 'n': EmitKey(kVkDecimal, mods); break;
      case 'o': EmitKey(kVkDivide, static_cast<std::uint8_t>(mods | kModExtended)); break;
      case 'E': EmitKey(kVkClear, mods); break;
      case 'X': EmitCharacter('=', mods); break;
      case 'I': EmitKey(kVkTab, mods); break;
      case ' ': EmitCharacter(' ', mods); break;
      default: break;
    }
  }
  return i + 1;
}

}  // namespace corvina::term
