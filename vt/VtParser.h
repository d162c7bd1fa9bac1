// The VT byte parser: one table-driven state machine in the DEC/ECMA-48
// model. It splits the host's bytes into printable runs, controls, escape
// and control sequences and device control strings, and knows nothing of
// screens. Every sequence is consumed to its final byte, known or not;
// strings end at BEL or ST and keep at most kMaxStringLength bytes; CAN
// and SUB abort whatever is being collected.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvina::vt {

inline constexpr int kMaxParameters = 32;
inline constexpr int kMaxParameterValue = 65535;
inline constexpr int kMaxIntermediates = 2;
inline constexpr std::size_t kMaxStringLength = 8192;

// An escape or control sequence as collected.
struct VtSequence {
  std::uint8_t prefix = 0;  // a private marker '<', '=', '>' or '?'; 0 for none
  std::array<char, kMaxIntermediates> intermediates{};
  int intermediateCount = 0;
  std::uint8_t final = 0;
  int count = 0;  // parameters given (an empty sequence has none)
  std::array<int, kMaxParameters> parameters{};  // -1: omitted
  std::uint32_t subParameters = 0;  // bit i: parameter i is followed by ':'

  std::string_view Intermediates() const { return {intermediates.data(), static_cast<std::size_t>(intermediateCount)}; }
  // Parameter i, or `fallback` when it is omitted or absent.
  int Get(int i, int fallback) const {
    return i < count && parameters[static_cast<std::size_t>(i)] >= 0 ? parameters[static_cast<std::size_t>(i)] : fallback;
  }
  // A count: omitted or 0 means 1.
  int Count(int i) const { return std::max(1, Get(i, 1)); }
  bool HasSub(int i) const { return i < 32 && (subParameters >> i) & 1u; }
};

class VtParserListener {
 public:
  virtual ~VtParserListener() = default;
  // Bytes that are characters: 0x20-0x7E, and 0x80-0xFF unless they are C1 controls.
  virtual void Print(std::span<const std::uint8_t> run) = 0;
  // C0 controls (and DEL); C1 controls that are not sequence introducers
  // arrive as EscDispatch with final = byte - 0x40.
  virtual void Execute(std::uint8_t control) = 0;
  virtual void EscDispatch(const VtSequence& sequence) = 0;
  virtual void CsiDispatch(const VtSequence& sequence) = 0;
  // A device control string ended by ST (or BEL); `truncated` when more
  // than kMaxStringLength bytes came and the rest was dropped.
  virtual void DcsDispatch(const VtSequence& header, std::string_view data, bool truncated) = 0;
  // VT52 ESC Y: row and column from 0 (bytes minus 32).
  virtual void Vt52CursorAddress(int row, int column) = 0;
};

class VtParser {
 public:
  enum State : std::uint8_t {
    kGround,
    kEscape,
    kEscapeIntermediate,
    kCsiEntry,
    kCsiParam,
    kCsiIntermediate,
    kCsiIgnore,
    kDcsEntry,
    kDcsParam,
    kDcsIntermediate,
    kDcsPassthrough,
    kDcsIgnore,
    kStringIgnore,   // OSC, SOS, PM, APC: consumed and dropped
    kStringEscape,   // ESC inside a string: "\" ends it
    kVt52Escape,
    kVt52Row,
    kVt52Column,
    kStateCount
  };

  explicit VtParser(VtParserListener& listener) : listener_(listener) {}

  // 8-bit C1 controls (VT220 outside VT52 mode); otherwise 0x80-0x9F are characters.
  void SetC1Controls(bool on) { c1_ = on; }
  bool C1Controls() const { return c1_; }
  // VT52 escape sequences instead of ANSI ones.
  void SetVt52(bool on) { vt52_ = on; }
  void Reset();
  // Returns the bytes consumed: all of them unless a listener called Stop.
  std::size_t Feed(std::span<const std::uint8_t> bytes);
  // From inside an event: Feed returns after the current byte.
  void Stop() { stop_ = true; }
  State CurrentState() const { return state_; }
  std::size_t StringBytesKept() const { return string_.size(); }

 private:
  void Act(std::uint8_t action, std::uint8_t byte);
  void Clear();
  void Param(std::uint8_t byte);

  VtParserListener& listener_;
  State state_ = kGround;
  bool c1_ = false;
  bool vt52_ = false;
  VtSequence seq_;
  bool full_ = false;      // kMaxParameters reached
  bool tooMany_ = false;   // more intermediates than kept: not dispatched
  bool dcs_ = false;       // a DCS string is being collected
  bool stop_ = false;
  std::string string_;  // DCS data kept
  bool truncated_ = false;
  int vt52Row_ = 0;
};

}  // namespace corvina::vt
