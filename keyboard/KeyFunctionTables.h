// The key function vocabulary: function tables per terminal kind, AID tables,
// VT default sequences, and the pure lookups over them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace corvina {

// One row of a function table. An empty mnemonic or description means none.
struct KeyFunctionRow {
  int id;
  int repeatClass;  // 0 no auto-repeat, 1 repeats, 2 never offered for binding
  std::string_view mnemonic;
  std::string_view name;
  std::string_view description;
};

// A function that is never listed in the keyboard-setup dialog.
constexpr int kRepeatClassHidden = 2;

struct AidRow {
  std::uint8_t aid;
  int id;
  std::string_view name;  // empty: not reachable by AID name
};

// Terminal kind 0 selects the system commands; 16-18, 32, 34 and 257-260 the
// terminal tables. Any other kind has no table and every lookup fails.
std::span<const KeyFunctionRow> KeyFunctionTable(unsigned kind);
std::span<const AidRow> AidTable(unsigned kind);

// Case-insensitive; the first row in table order wins. -1 when not found.
int KeyFunctionIdByName(unsigned kind, std::string_view name);
// Exact and case-sensitive; rows without a mnemonic never match. -1 when not found.
int KeyFunctionIdByMnemonic(unsigned kind, std::string_view mnemonic);
const KeyFunctionRow* KeyFunctionRowById(unsigned kind, int id);
// Empty when the kind's table has no such identifier.
std::string_view KeyFunctionName(unsigned kind, int id);
// The status-bar and tooltip text of an identifier, from any table; empty for none.
std::string_view KeyFunctionDescription(int id);

// 0 when the identifier is not an attention key of the kind.
std::uint8_t AidOfKeyFunction(unsigned kind, int id);
// The function name behind an AID byte, or empty.
std::string_view KeyFunctionNameOfAid(unsigned kind, std::uint8_t aid);
// The word is upper-cased and compared with the AID names ("PF3", "ENTER"). -1 when not found.
int KeyFunctionIdByAidName(unsigned kind, std::string_view word);
// A key function as people type its name: the name, an AID name, or either
// half of a two-part name ("RollUp" of "RollUp/PageDown"), without case. -1
// when not found.
int KeyFunctionIdByTypedName(unsigned kind, std::string_view name);

// Characters (targets below 256) always repeat; a function repeats when bit 0
// of its repeat class is set in the kind's table.
bool IsRepeatableTarget(unsigned kind, int target);

// VT byte sequences for identifiers 33101 to 33241; empty when the function
// sends nothing (or in VT52 mode has no sequence).
inline constexpr int kFirstVtSequenceId = 33101;
inline constexpr int kVtSequenceCount = 141;
std::string_view VtDefaultSequence(int id);
std::string_view Vt52Sequence(int id);

// The identifier the VT engine executes in application cursor-key or keypad mode.
int VtApplicationModeFunction(int id, bool applicationCursorKeys, bool applicationKeypad);

}  // namespace corvina
