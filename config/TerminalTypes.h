// Terminal kinds by short name, and the list of terminal models a session can
// emulate.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

// "3278", "3279", "3270P", "5250", "5250P", "ANSI", "VT100", "VT220"; empty
// for any other code (line mode 257 included).
std::string_view TerminalShortName(unsigned code);
// Exact comparison; 0 for anything else.
unsigned TerminalCodeOfShortName(std::string_view shortName);

// The name of the keyboard map, colour scheme and keypad toolbar a terminal
// kind starts with; empty for kinds without a family.
std::string_view DefaultObjectNameForKind(unsigned code);

// Keyboard maps, macros, colour schemes and keypad toolbars belong to a
// family, stored as "3270" (16), "5250" (32) or "VT100" (259).
// The family code of a kind; 0 for kinds without a family.
unsigned FamilyType(unsigned code);
// Empty for kinds without a family.
std::string_view FamilyTypeName(unsigned code);
// Exact comparison; 0 for anything else.
unsigned FamilyTypeOfName(std::string_view name);

struct TerminalSize {
  unsigned code = 0;
  int rows = 0;
  int columns = 0;
};

// The kind and size the connect dialog selects for a short name.
std::optional<TerminalSize> TerminalSelectionForShortName(std::string_view shortName);

// The sizes a custom terminal row may have.
inline constexpr int kCustomRowsMin = 20;
inline constexpr int kCustomRowsMax = 72;
inline constexpr int kCustomColumnsMin = 80;
inline constexpr int kCustomColumnsMax = 200;

struct TerminalTypeRow {
  std::string displayName;
  std::string telnetType;
  std::uint16_t code;
  std::uint16_t rows;
  std::uint16_t columns;
};

class CCorvinaTerminalTypes {
 public:
  static constexpr std::size_t kBuiltInCount = 14;

  CCorvinaTerminalTypes();

  const std::vector<TerminalTypeRow>& Rows() const { return rows_; }
  // Exact match, first in list order.
  const TerminalTypeRow* Find(unsigned code, int rows, int columns) const;
  const TerminalTypeRow* FindByDisplayName(std::string_view displayName) const;
  // The row's display name, appending a custom row first for kinds 17 and
  // 258 to 260 when the size is one the Terminal page allows. Empty when the
  // triple names no terminal.
  std::string DisplayNameFor(unsigned code, int rows, int columns);

  // Whether one of the fourteen built-in rows has this kind and size; rows
  // added later never count.
  static bool IsBuiltIn(unsigned code, int rows, int columns);

 private:
  std::vector<TerminalTypeRow> rows_;
};

}  // namespace corvina
