#include "config/TerminalTypes.h"

#include <iterator>

#include "config/SessionProfile.h"
#include "platform/Format.h"

namespace corvina {

namespace {

struct ShortName {
  unsigned code;
  std::string_view name;
  int rows;  // the size the connect dialog selects
  int columns;
};

constexpr ShortName kShortNames[] = {
    {kKind3278, "3278", 24, 80},   {kKind3279, "3279", 24, 80},  {kKind3270Printer, "3270P", 24, 80},
    {kKind5250, "5250", 27, 132},  {kKind5250Printer, "5250P", 24, 80}, {kKindAnsi, "ANSI", 24, 80},
    {kKindVt100, "VT100", 24, 80}, {kKindVt220, "VT220", 24, 80},
};

struct BuiltInRow {
  const char* displayName;
  const char* telnetType;
  std::uint16_t code;
  std::uint16_t rows;
  std::uint16_t columns;
};

constexpr BuiltInRow kBuiltIn[] = {
    {"IBM 3278-2 (24x80)", "IBM-3278-2", kKind3278, 24, 80},
    {"IBM 3278-3 (32x80)", "IBM-3278-3", kKind3278, 32, 80},
    {"IBM 3278-4 (43x80)", "IBM-3278-4", kKind3278, 43, 80},
    {"IBM 3278-5 (27x132)", "IBM-3278-5", kKind3278, 27, 132},
    {"IBM 3279-2 (24x80)", "IBM-3278-2-E", kKind3279, 24, 80},
    {"IBM 3279-3 (32x80)", "IBM-3278-3-E", kKind3279, 32, 80},
    {"IBM 3279-4 (43x80)", "IBM-3278-4-E", kKind3279, 43, 80},
    {"IBM 3279-5 (27x132)", "IBM-3278-5-E", kKind3279, 27, 132},
    {"IBM 5250 (24x80)", "IBM-3179-2", kKind5250, 24, 80},
    {"IBM 5250 (27x132)", "IBM-3477-FC", kKind5250, 27, 132},
    {"VT100", "DEC-VT100", kKindVt100, 24, 80},
    {"VT220", "DEC-VT220", kKindVt220, 24, 80},
    {"ANSI", "ANSI", kKindAnsi, 24, 80},
    {"IBM 3287-1", "IBM-3287-1", kKind3270Printer, 24, 80},
};
static_assert(std::size(kBuiltIn) == CCorvinaTerminalTypes::kBuiltInCount);

// Display name pattern and Telnet type of the kinds that allow a custom size.
struct CustomKind {
  unsigned code;
  const char* displayFormat;
  const char* telnetType;
};

constexpr CustomKind kCustomKinds[] = {
    {kKind3279, "IBM 3279-5 (%dx%d)", "IBM-3279-5-E"},
    {kKindAnsi, "ANSI (%dx%d)", "ANSI"},
    {kKindVt100, "VT100 (%dx%d)", "DEC-VT100"},
    {kKindVt220, "VT220 (%dx%d)", "DEC-VT220"},
};

}  // namespace

std::string_view TerminalShortName(unsigned code) {
  for (const ShortName& entry : kShortNames) {
    if (entry.code == code) return entry.name;
  }
  return {};
}

unsigned TerminalCodeOfShortName(std::string_view shortName) {
  for (const ShortName& entry : kShortNames) {
    if (entry.name == shortName) return entry.code;
  }
  return 0;
}

std::optional<TerminalSize> TerminalSelectionForShortName(std::string_view shortName) {
  for (const ShortName& entry : kShortNames) {
    if (entry.name == shortName) return TerminalSize{entry.code, entry.rows, entry.columns};
  }
  return std::nullopt;
}

std::string_view DefaultObjectNameForKind(unsigned code) {
  if (Is3270Family(code)) return "3270 Default";
  if (Is5250Family(code)) return "5250 Default";
  if (IsVtFamily(code)) return "VT100 Default";
  return {};
}

unsigned FamilyType(unsigned code) {
  if (Is3270Family(code)) return kKind3278;
  if (Is5250Family(code)) return kKind5250;
  if (IsVtFamily(code)) return kKindVt100;
  return 0;
}

std::string_view FamilyTypeName(unsigned code) {
  switch (FamilyType(code)) {
    case kKind3278: return "3270";
    case kKind5250: return "5250";
    case kKindVt100: return "VT100";
    default: return {};
  }
}

unsigned FamilyTypeOfName(std::string_view name) {
  for (unsigned family : {unsigned{kKind3278}, unsigned{kKind5250}, unsigned{kKindVt100}}) {
    if (name == FamilyTypeName(family)) return family;
  }
  return 0;
}

CCorvinaTerminalTypes::CCorvinaTerminalTypes() {
  rows_.reserve(std::size(kBuiltIn));
  for (const BuiltInRow& row : kBuiltIn) {
    rows_.push_back({row.displayName, row.telnetType, row.code, row.rows, row.columns});
  }
}

const TerminalTypeRow* CCorvinaTerminalTypes::Find(unsigned code, int rows, int columns) const {
  for (const TerminalTypeRow& row : rows_) {
    if (row.code == code && row.rows == rows && row.columns == columns) return &row;
  }
  return nullptr;
}

const TerminalTypeRow* CCorvinaTerminalTypes::FindByDisplayName(std::string_view displayName) const {
  for (const TerminalTypeRow& row : rows_) {
    if (row.displayName == displayName) return &row;
  }
  return nullptr;
}

std::string CCorvinaTerminalTypes::DisplayNameFor(unsigned code, int rows, int columns) {
  if (const TerminalTypeRow* row = Find(code, rows, columns)) return row->displayName;
  // Sizes outside what the Terminal page offers would overflow the 16-bit
  // screen buffer size or make no screen at all.
  if (rows < kCustomRowsMin || rows > kCustomRowsMax || columns < kCustomColumnsMin ||
      columns > kCustomColumnsMax) {
    return {};
  }
  for (const CustomKind& kind : kCustomKinds) {
    if (kind.code != code) continue;
    rows_.push_back({platform::Format(kind.displayFormat, rows, columns), kind.telnetType, static_cast<std::uint16_t>(code), static_cast<std::uint16_t>(rows),
                     static_cast<std::uint16_t>(columns)});
    return rows_.back().displayName;
  }
  return {};
}

bool CCorvinaTerminalTypes::IsBuiltIn(unsigned code, int rows, int columns) {
  for (const BuiltInRow& row : kBuiltIn) {
    if (row.code == code && row.rows == rows && row.columns == columns) return true;
  }
  return false;
}

}  // namespace corvina
