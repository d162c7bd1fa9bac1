// Character sets as data: what a byte of 0x20-0x7F shows in each set a host
// can designate into G0-G3, as a Latin-1 character or a glyph number 0-31
// (the DEC Special Graphics shapes, below 0x20 in a cell).
#pragma once

#include <array>
#include <cstdint>

namespace corvina::vt {

// One designatable set: the final byte of ESC ( x and the bytes it changes.
struct VtCharset {
  char designator;
  struct Change {
    std::uint8_t byte, shown;
  };
  const Change* changes;
  int changeCount;
};

// Null for a designator no set has ("B", "0", "1", "2", "A" and "<" exist).
const VtCharset* FindCharset(char designator);
const VtCharset& AsciiCharset();

// The 256-entry translation of a set invoked into GL (bytes 0x20-0x7F); every
// other byte maps to itself.
using VtTranslation = std::array<std::uint8_t, 256>;
void BuildTranslation(const VtCharset& gl, VtTranslation& out);

// The high-character table of ANSI sessions: PC box-drawing codes 0x80-0xFF
// to line-drawing glyphs, every other byte to itself.
std::uint8_t AnsiHighCharacter(std::uint8_t byte);

}  // namespace corvina::vt
