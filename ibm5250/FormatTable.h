// The 5250 format table: the header of the last Start of Header and the
// fields the host defined, in the order of their start positions.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "ibm5250/DataStream.h"

namespace corvina {

// The field control words a field keeps, one slot per kind. The 0x81 word
// has two kinds; a word naming both fills both slots.
enum FcwSlot : std::size_t {
  kSlotResequence,
  kSlotSelectFirst,
  kSlotSelectSecond,
  kSlotTransparent,
  kSlotForwardEdge,
  kSlotCursorProgression,
  kSlotHighlight,
  kSlotSelfCheck,
  kFcwSlotCount,
};

struct C5250Field {
  int start = 0;   // first data cell
  int end = 0;     // last data cell
  int length = 0;  // end - start + 1
  std::uint16_t ffw = 0;  // 0: an output-only field
  std::array<std::uint16_t, kFcwSlotCount> fcw{};  // 0: absent

  bool HasFfw() const { return ffw != 0; }
  // A field the operator types into.
  bool Input() const { return HasFfw() && !(ffw & ds5250::kFfwBypass); }
  bool Bypass() const { return (ffw & ds5250::kFfwBypass) != 0; }
  bool Mdt() const { return (ffw & ds5250::kFfwMdt) != 0; }
  void SetMdt(bool on) {
    if (HasFfw()) ffw = static_cast<std::uint16_t>(on ? ffw | ds5250::kFfwMdt : ffw & ~ds5250::kFfwMdt);
  }
  bool Has(std::uint16_t bit) const { return (ffw & bit) != 0; }
  unsigned Shift() const { return (ffw & ds5250::kFfwShiftMask) >> ds5250::kFfwShiftShift; }
  unsigned Adjust() const { return ffw & ds5250::kFfwAdjustMask; }
  bool SignedNumeric() const { return Shift() == ds5250::kShiftSignedNumeric; }
  bool RightAdjust() const { return Adjust() == ds5250::kAdjustZeroFill || Adjust() == ds5250::kAdjustBlankFill; }
  // The cells that hold data: all but a signed-numeric field's sign cell.
  int DataLength() const { return SignedNumeric() && length > 1 ? length - 1 : length; }
  bool Contains(int position) const { return position >= start && position <= end; }
  std::uint8_t FcwValue(FcwSlot slot) const { return static_cast<std::uint8_t>(fcw[slot] & 0xFF); }
  bool HasFcw(FcwSlot slot) const { return fcw[slot] != 0; }
  // Auto enter, or the forward-edge trigger: the field's end sends Enter.
  bool EntersAtEnd() const { return Has(ds5250::kFfwAutoEnter) || HasFcw(kSlotForwardEdge); }
};

class C5250FormatTable {
 public:
  static constexpr std::size_t kMaxFields = 256;
  // Header bytes: [0] the length, [1] flags, [2] reserved, [3] the first
  // field of resequencing, [4] the error row, [5..7] the command-key switches.
  static constexpr std::size_t kResequenceByte = 3, kErrorRowByte = 4, kSwitchBytes = 5;

  // No fields; the header zero with the error row on the last row.
  void Reset(int rows);

  std::array<std::uint8_t, 8> header{};
  std::vector<C5250Field> fields;

  // The error row, from 0; a header row outside the screen means the last.
  int ErrorRow(int rows) const;
  // Whether the header's switch for function key 1 to 24 says "no field data".
  bool SwitchSet(int functionKey) const;

  // Indexes into fields; -1 for none.
  int FieldAt(int position) const;
  int InputFieldAt(int position) const;
  int FirstInputField() const;
  int LastInputField() const;
  // The first input field starting after the position, or before it.
  int NextInputField(int position) const;
  int PreviousInputField(int position) const;
  // A field number (1-based) of the host: the index, or -1 when the table
  // holds no such field.
  int IndexOfNumber(int number) const;
  bool AnyMdt() const;
};

}  // namespace corvina
