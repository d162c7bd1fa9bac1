// Splits the bytes a text terminal sends into key presses, typed characters,
// mouse reports and pasted text. Keys come out as the PC key codes the
// keyboard maps store (virtual key plus Shift/Ctrl/Alt/extended bits), so a
// terminal key goes through the session's map like a key of the desktop.
//
// Understood: UTF-8 characters, control bytes as Ctrl+letter, ESC before a
// key as Alt, the CSI and SS3 forms of xterm (with its modifier parameter),
// rxvt and the Linux console, CSI u, SGR and X10 mouse reports, bracketed
// paste. A lone ESC is the Esc key once no byte follows it in time: the
// caller calls Flush when its escape delay has passed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "keyboard/KeyText.h"

namespace corvina::term {

// Windows virtual keys of the keys terminals send sequences for.
enum : std::uint16_t {
  kVkBack = 0x08,
  kVkTab = 0x09,
  kVkClear = 0x0C,  // keypad 5 without Num Lock
  kVkReturn = 0x0D,
  kVkEscape = 0x1B,
  kVkSpace = 0x20,
  kVkPrior = 0x21,
  kVkNext = 0x22,
  kVkEnd = 0x23,
  kVkHome = 0x24,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
  kVkInsert = 0x2D,
  kVkDelete = 0x2E,
  kVkNumpad0 = 0x60,
  kVkMultiply = 0x6A,
  kVkAdd = 0x6B,
  kVkSubtract = 0x6D,
  kVkDecimal = 0x6E,
  kVkDivide = 0x6F,
  kVkF1 = 0x70,
  kVkOem6 = 0xDD,  // ]
  kVkOem5 = 0xDC,  // backslash
  kVkOemMinus = 0xBD,
};

struct TermMouse {
  enum Action : std::uint8_t { kPress, kRelease, kDrag, kWheelUp, kWheelDown };
  Action action = kPress;
  int button = 0;  // 1 left, 2 right, 4 middle (the mouse pseudo keys); 0 for none
  std::uint8_t modifiers = 0;  // kModShift, kModCtrl, kModAlt
  int column = 0, row = 0;  // from 0
};

struct TermInput {
  enum Kind : std::uint8_t { kKey, kMouse, kPaste };
  Kind kind = kKey;
  // kKey: the PC key, virtual key 0 when no PC key types the character.
  KeyCode key;
  // kKey: the character the key types (a control byte for Ctrl+letter),
  // 0 for keys that type none.
  char32_t character = 0;
  TermMouse mouse;
  std::string paste;  // kPaste: UTF-8 as the terminal sent it
};

class CKeyDecoder {
 public:
  // Longest escape sequence kept; a longer one is dropped whole.
  static constexpr std::size_t kMaxSequence = 64;
  // Longest pasted text kept; the rest of a longer paste is dropped.
  static constexpr std::size_t kMaxPaste = 1 << 20;

  using Sink = std::function<void(const TermInput&)>;
  explicit CKeyDecoder(Sink sink) : sink_(std::move(sink)) {}

  void Feed(std::string_view bytes);
  // No more bytes came in time: an unfinished sequence stands for what its
  // bytes are alone (ESC is Esc, ESC x is Alt+x).
  void Flush();
  // Whether bytes wait for more (the caller then arms its escape delay).
  bool Pending() const { return !buffer_.empty() || discarding_; }
  // After asking the terminal for its clipboard (OSC 52 ?): its answer,
  // ESC ] 52 ; c ; BASE64 (BEL or ST), comes out as pasted text with
  // CR line ends, as a terminal pastes. At other times ESC ] is Alt+].
  void ExpectClipboardReply(bool expect) { expectingOsc_ = expect; }
  bool ExpectsClipboardReply() const { return expectingOsc_ || inOsc_; }

 private:
  // How much of buffer_ one event takes: 0 when more bytes are needed.
  std::size_t DecodeOne(bool final);
  std::size_t DecodeEscape(bool final);
  std::size_t DecodeCsi(std::size_t start, std::uint8_t alt);
  std::size_t DecodeSs3(std::size_t start, std::uint8_t alt);
  std::size_t DecodeUtf8(std::size_t start, std::uint8_t alt, bool final);
  void EmitKey(std::uint16_t vk, std::uint8_t mods, char32_t character = 0);
  void EmitCharacter(char32_t c, std::uint8_t mods);
  // b: the xterm button byte, less 32.
  void EmitMouse(int b, int column, int row, bool release);
  void PasteByte(char c);
  void OscByte(char c);
  void EndOsc();

  Sink sink_;
  std::string buffer_;
  // An overlong sequence is skipped up to its final byte.
  bool discarding_ = false;
  bool pasting_ = false;
  std::size_t pasteMatched_ = 0;  // bytes of the paste end marker seen
  std::string paste_;
  bool expectingOsc_ = false, inOsc_ = false, oscEscape_ = false;
  std::string osc_;
};

}  // namespace corvina::term
