// Screens of the reference emulators (libvterm in this process,
// @xterm/headless through node) and of ours, cell by cell, and the
// differences where both references agree and ours does not.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vt/VtTerminal.h"

namespace corvina::test {

// Cell flags compared.
inline constexpr unsigned kRefBold = 1, kRefUnderline = 2, kRefBlink = 4, kRefInverse = 8, kRefInvisible = 16;

struct RefCell {
  char32_t ch = U' ';
  int fg = -1, bg = -1;  // -1: default; 0-7 the ANSI colours; others as the emulator says
  unsigned flags = 0;
};

struct Snapshot {
  std::string name;
  int rows = 0, columns = 0;
  int cursorRow = 0, cursorColumn = 0;
  std::vector<RefCell> cells;
  const RefCell& At(int row, int column) const { return cells[static_cast<std::size_t>(row * columns + column)]; }
  std::string Text() const;  // rows as UTF-8, for messages
};

struct Stream {
  std::string name;
  std::string bytes;
};

Snapshot OurSnapshot(const vt::CVtTerminal& terminal, const std::string& name);
Snapshot RunOurs(const Stream& stream, int rows, int columns, unsigned kind = vt::kVtVt220);
Snapshot RunLibvterm(const Stream& stream, int rows, int columns);
// Empty, with the reason in *why, when node or the module is missing.
std::optional<std::vector<Snapshot>> RunXterm(const std::vector<Stream>& streams, int rows, int columns,
                                              std::string* why);

struct Difference {
  std::string stream;
  std::string aspect;  // "char", "attr", "fg", "bg", "cursor"
  int row = 0, column = 0;
  std::string detail;
  long want = -1;  // what the references show (cells)
};
std::vector<Difference> Compare(const Snapshot& ours, const Snapshot& a, const Snapshot& b);

// Intended differences: "STREAM ASPECT REASON" lines; STREAM may end in "*",
// ASPECT "char=95" allows a character difference only where the references
// show code 95.
class AllowList {
 public:
  static AllowList Load(const std::string& path);
  bool Allows(const Difference& d) const;

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace corvina::test
