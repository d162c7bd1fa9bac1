#include "vt/VtParser.h"

#include <algorithm>

namespace corvina::vt {

namespace {

enum Action : std::uint8_t {
  aNone,
  aExecute,
  aEscape,      // ESC: a new escape sequence (VT52 or ANSI)
  aClear,       // CSI or DCS introducer: a new sequence
  aCollect,     // an intermediate byte
  aPrefix,      // a private marker
  aParam,       // a digit, ";" or ":"
  aEscDispatch,
  aCsiDispatch,
  aHook,        // the final byte of a DCS header
  aPut,         // a byte of a DCS string
  aStringStart, // OSC, SOS, PM, APC: consumed and dropped
  aStringEnd,   // BEL or ST
  aStringEsc,   // ESC inside a string
  aReEscape,    // ESC inside a string not followed by "\": the string is dropped
  aC1,          // an 8-bit control that stands for ESC and byte - 0x40
  aAbort,       // CAN, SUB, or a byte that cannot belong to the sequence
  aVt52Row,
  aVt52Dispatch,
};

using S = VtParser::State;

struct Entry {
  std::uint8_t action;
  std::uint8_t next;
};

constexpr bool InString(int s) { return s == S::kDcsPassthrough || s == S::kDcsIgnore || s == S::kStringIgnore; }

constexpr Entry Transition(bool c1, int s, int b) {
  // Anywhere.
  if (b == 0x18 || b == 0x1A) return {aAbort, S::kGround};
  if (b == 0x1B) return InString(s) || s == S::kStringEscape ? Entry{aStringEsc, S::kStringEscape} : Entry{aEscape, S::kEscape};
  if (c1 && b >= 0x81 && b <= 0x9F) {
    switch (b) {
      case 0x90: return {aClear, S::kDcsEntry};
      case 0x9B: return {aClear, S::kCsiEntry};
      case 0x9C: return {aStringEnd, S::kGround};
      case 0x98: case 0x9D: case 0x9E: case 0x9F: return {aStringStart, S::kStringIgnore};
      default: return {aC1, S::kGround};
    }
  }
  if (b >= 0x80) {
    if (s == S::kGround) return {aNone, S::kGround};  // printed by the fast path
    if (InString(s)) return {s == S::kDcsPassthrough ? aPut : aNone, static_cast<std::uint8_t>(s)};
    return {aAbort, S::kGround};
  }
  const bool c0 = b < 0x20;
  switch (s) {
    case S::kGround:
      return {aExecute, S::kGround};  // controls and DEL; characters take the fast path
    case S::kEscape:
      if (c0) return {aExecute, S::kEscape};
      if (b <= 0x2F) return {aCollect, S::kEscapeIntermediate};
      if (b == '[') return {aClear, S::kCsiEntry};
      if (b == 'P') return {aClear, S::kDcsEntry};
      if (b == ']' || b == 'X' || b == '^' || b == '_') return {aStringStart, S::kStringIgnore};
      if (b == 0x7F) return {aNone, S::kEscape};
      return {aEscDispatch, S::kGround};
    case S::kEscapeIntermediate:
      if (c0) return {aExecute, S::kEscapeIntermediate};
      if (b <= 0x2F) return {aCollect, S::kEscapeIntermediate};
      if (b == 0x7F) return {aNone, S::kEscapeIntermediate};
      return {aEscDispatch, S::kGround};
    case S::kCsiEntry:
    case S::kCsiParam:
    case S::kCsiIntermediate: {
      if (c0) return {aExecute, static_cast<std::uint8_t>(s)};
      if (b == 0x7F) return {aNone, static_cast<std::uint8_t>(s)};
      if (b <= 0x2F) return {aCollect, S::kCsiIntermediate};
      if (b <= 0x3B) return s == S::kCsiIntermediate ? Entry{aNone, S::kCsiIgnore} : Entry{aParam, S::kCsiParam};
      if (b <= 0x3F) return s == S::kCsiEntry ? Entry{aPrefix, S::kCsiParam} : Entry{aNone, S::kCsiIgnore};
      return {aCsiDispatch, S::kGround};
    }
    case S::kCsiIgnore:
      if (c0) return {aExecute, S::kCsiIgnore};
      if (b <= 0x3F || b == 0x7F) return {aNone, S::kCsiIgnore};
      return {aNone, S::kGround};
    case S::kDcsEntry:
    case S::kDcsParam:
    case S::kDcsIntermediate:
      if (c0 || b == 0x7F) return {aNone, static_cast<std::uint8_t>(s)};
      if (b <= 0x2F) return {aCollect, S::kDcsIntermediate};
      if (b <= 0x3B) return s == S::kDcsIntermediate ? Entry{aNone, S::kDcsIgnore} : Entry{aParam, S::kDcsParam};
      if (b <= 0x3F) return s == S::kDcsEntry ? Entry{aPrefix, S::kDcsParam} : Entry{aNone, S::kDcsIgnore};
      return {aHook, S::kDcsPassthrough};
    case S::kDcsPassthrough:
      if (b == 0x07) return {aStringEnd, S::kGround};
      if (b == 0x7F) return {aNone, S::kDcsPassthrough};
      return {aPut, S::kDcsPassthrough};
    case S::kDcsIgnore:
    case S::kStringIgnore:
      if (b == 0x07) return {aStringEnd, S::kGround};
      return {aNone, static_cast<std::uint8_t>(s)};
    case S::kStringEscape:
      if (b == '\\') return {aStringEnd, S::kGround};
      return {aReEscape, S::kEscape};
    case S::kVt52Escape:
      if (c0) return {aExecute, S::kVt52Escape};
      if (b == 'Y') return {aNone, S::kVt52Row};
      return {aEscDispatch, S::kGround};
    case S::kVt52Row:
      if (c0) return {aExecute, S::kVt52Row};
      return {aVt52Row, S::kVt52Column};
    case S::kVt52Column:
      if (c0) return {aExecute, S::kVt52Column};
      return {aVt52Dispatch, S::kGround};
    default:
      return {aNone, S::kGround};
  }
}

struct Tables {
  Entry entries[2][S::kStateCount][256];
  bool printable[2][256];
};

constexpr Tables MakeTables() {
  Tables t{};
  for (int c1 = 0; c1 < 2; ++c1) {
    for (int s = 0; s < S::kStateCount; ++s)
      for (int b = 0; b < 256; ++b) t.entries[c1][s][b] = Transition(c1 != 0, s, b);
    for (int b = 0; b < 256; ++b)
      t.printable[c1][b] = b >= 0x20 && b != 0x7F && (b < 0x80 || !c1 || b == 0x80 || b >= 0xA0);
  }
  return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

void VtParser::Reset() {
  state_ = kGround;
  Clear();
  string_.clear();
  string_.shrink_to_fit();
  truncated_ = false;
  dcs_ = false;
}

void VtParser::Clear() {
  seq_.prefix = 0;
  seq_.intermediateCount = 0;
  seq_.final = 0;
  seq_.count = 0;
  seq_.subParameters = 0;
  tooMany_ = false;
}

void VtParser::Param(std::uint8_t b) {
  if (b >= '0' && b <= '9') {
    if (seq_.count == 0) {
      seq_.count = 1;
      seq_.parameters[0] = -1;
    }
    if (full_) return;
    int& p = seq_.parameters[static_cast<std::size_t>(seq_.count - 1)];
    p = p < 0 ? b - '0' : std::min(kMaxParameterValue, p * 10 + (b - '0'));
    return;
  }
  // ";" or ":" ends a parameter (an empty one is omitted).
  if (seq_.count == 0) {
    seq_.count = 1;
    seq_.parameters[0] = -1;
  }
  if (full_) return;
  if (b == ':') seq_.subParameters |= 1u << (seq_.count - 1);
  if (seq_.count == kMaxParameters) {
    full_ = true;  // further parameters are ignored
    return;
  }
  seq_.parameters[static_cast<std::size_t>(seq_.count++)] = -1;
}

void VtParser::Act(std::uint8_t action, std::uint8_t b) {
  switch (action) {
    case aNone:
      return;
    case aExecute:
      listener_.Execute(b);
      return;
    case aEscape:
      Clear();
      full_ = false;
      if (vt52_) state_ = kVt52Escape;
      return;
    case aClear:
      Clear();
      full_ = false;
      return;
    case aCollect:
      if (seq_.intermediateCount < kMaxIntermediates)
        seq_.intermediates[static_cast<std::size_t>(seq_.intermediateCount++)] = static_cast<char>(b);
      else
        tooMany_ = true;
      return;
    case aPrefix:
      seq_.prefix = b;
      return;
    case aParam:
      Param(b);
      return;
    case aEscDispatch:
      seq_.final = b;
      if (!tooMany_) listener_.EscDispatch(seq_);
      return;
    case aCsiDispatch:
      seq_.final = b;
      if (!tooMany_) listener_.CsiDispatch(seq_);
      return;
    case aHook:
      seq_.final = b;
      string_.clear();
      truncated_ = false;
      dcs_ = !tooMany_;
      return;
    case aPut:
      if (string_.size() < kMaxStringLength)
        string_.push_back(static_cast<char>(b));
      else
        truncated_ = true;
      return;
    case aStringStart:
      dcs_ = false;
      return;
    case aStringEnd:
      if (dcs_) listener_.DcsDispatch(seq_, string_, truncated_);
      dcs_ = false;
      string_.clear();
      if (string_.capacity() > 1024) string_.shrink_to_fit();
      return;
    case aStringEsc:
      return;
    case aReEscape: {
      dcs_ = false;
      string_.clear();
      Clear();
      full_ = false;
      if (vt52_) state_ = kVt52Escape;
      const Entry e = kTables.entries[c1_][state_][b];
      state_ = static_cast<State>(e.next);
      Act(e.action, b);
      return;
    }
    case aC1:
      Clear();
      seq_.final = static_cast<std::uint8_t>(b - 0x40);
      listener_.EscDispatch(seq_);
      return;
    case aAbort:
      dcs_ = false;
      string_.clear();
      return;
    case aVt52Row:
      vt52Row_ = b - 0x20;
      return;
    case aVt52Dispatch:
      listener_.Vt52CursorAddress(vt52Row_, b - 0x20);
      return;
    default:
      return;
  }
}

std::size_t VtParser::Feed(std::span<const std::uint8_t> bytes) {
  const std::size_t n = bytes.size();
  const bool* printable = kTables.printable[c1_];
  std::size_t i = 0;
  while (i < n) {
    if (state_ == kGround) {
      std::size_t j = i;
      while (j < n && printable[bytes[j]]) ++j;
      if (j > i) {
        listener_.Print(bytes.subspan(i, j - i));
        i = j;
        if (i == n) break;
        // A listener may switch modes (VT52, C1) from inside Print only
        // through sequences, so the tables stay valid here.
      }
    }
    const std::uint8_t b = bytes[i++];
    const Entry e = kTables.entries[c1_][state_][b];
    state_ = static_cast<State>(e.next);
    Act(e.action, b);
    if (stop_) {
      stop_ = false;
      return i;
    }
    printable = kTables.printable[c1_];
  }
  return n;
}

}  // namespace corvina::vt
