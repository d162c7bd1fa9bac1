#include "vt/VtCharsets.h"

namespace corvina::vt {

namespace {

// DEC Special Graphics: 0x5F-0x7E become glyphs 0-31.
constexpr VtCharset::Change kSpecialGraphics[] = {
    {0x5F, 0},  {0x60, 1},  {0x61, 2},  {0x62, 3},  {0x63, 4},  {0x64, 5},  {0x65, 6},  {0x66, 7},
    {0x67, 8},  {0x68, 9},  {0x69, 10}, {0x6A, 11}, {0x6B, 12}, {0x6C, 13}, {0x6D, 14}, {0x6E, 15},
    {0x6F, 16}, {0x70, 17}, {0x71, 18}, {0x72, 19}, {0x73, 20}, {0x74, 21}, {0x75, 22}, {0x76, 23},
    {0x77, 24}, {0x78, 25}, {0x79, 26}, {0x7A, 27}, {0x7B, 28}, {0x7C, 29}, {0x7D, 30}, {0x7E, 31},
};
// United Kingdom: the pound sign in place of "#".
constexpr VtCharset::Change kUnitedKingdom[] = {{0x23, 0xA3}};

// DEC Supplemental Graphics as a 94-character set in GL: the Latin-1 upper
// half (the few codes it lacks stay as they are).
struct Supplemental {
  VtCharset::Change changes[94];
};
constexpr Supplemental MakeSupplemental() {
  Supplemental s{};
  for (int b = 0x21; b <= 0x7E; ++b)
    s.changes[b - 0x21] = {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(b | 0x80)};
  return s;
}
constexpr Supplemental kSupplemental = MakeSupplemental();

// "1" and "2" are the alternate character ROM: its standard characters are
// ASCII on every terminal these sessions meet.
constexpr VtCharset kCharsets[] = {
    {'B', nullptr, 0},
    {'1', nullptr, 0},
    {'2', nullptr, 0},
    {'0', kSpecialGraphics, static_cast<int>(std::size(kSpecialGraphics))},
    {'A', kUnitedKingdom, static_cast<int>(std::size(kUnitedKingdom))},
    {'<', kSupplemental.changes, 94},
};

// ANSI sessions: the PC box-drawing codes.
struct HighTable {
  std::uint8_t map[128];
};
constexpr HighTable MakeHighTable() {
  HighTable t{};
  for (int b = 0; b < 128; ++b) t.map[b] = static_cast<std::uint8_t>(b + 0x80);
  struct Group {
    std::uint8_t glyph;
    std::uint8_t codes[4];
  };
  constexpr Group kGroups[] = {
      {25, {0xB3, 0xBA, 0, 0}},          {22, {0xB4, 0xB5, 0xB6, 0xB9}}, {12, {0xB7, 0xB8, 0xBB, 0xBF}},
      {11, {0xBC, 0xBD, 0xBE, 0xD9}},    {14, {0xC0, 0xC8, 0xD3, 0xD4}}, {23, {0xC1, 0xCA, 0xCE, 0xD0}},
      {24, {0xC2, 0xCB, 0xD1, 0xD2}},    {21, {0xC3, 0xC6, 0xC7, 0xCC}}, {18, {0xC4, 0xCD, 0, 0}},
      {15, {0xC5, 0xD7, 0xD8, 0}},       {13, {0xC9, 0xD5, 0xDA, 0}},
  };
  for (const Group& g : kGroups)
    for (std::uint8_t c : g.codes)
      if (c != 0) t.map[c - 0x80] = g.glyph;
  return t;
}
constexpr HighTable kHigh = MakeHighTable();

}  // namespace

const VtCharset* FindCharset(char designator) {
  for (const VtCharset& c : kCharsets)
    if (c.designator == designator) return &c;
  return nullptr;
}

const VtCharset& AsciiCharset() { return kCharsets[0]; }

void BuildTranslation(const VtCharset& gl, VtTranslation& out) {
  for (int b = 0; b < 256; ++b) out[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(b);
  for (int i = 0; i < gl.changeCount; ++i) out[gl.changes[i].byte] = gl.changes[i].shown;
}

std::uint8_t AnsiHighCharacter(std::uint8_t byte) { return byte < 0x80 ? byte : kHigh.map[byte - 0x80]; }

}  // namespace corvina::vt
