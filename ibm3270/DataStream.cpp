#include "ibm3270/DataStream.h"

namespace corvina::ds3270 {

namespace {

// The six-bit address code of each value 0 to 63.
constexpr std::uint8_t kAddressCodes[64] = {
    0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F};

std::uint32_t WithNibble(std::uint32_t word, unsigned shift, unsigned value) {
  return (word & ~(0xFu << shift)) | ((value & 0xFu) << shift);
}

// Pairs that Start Field Extended, Modify Field and Set Attribute share.
bool ApplyCommonPair(std::uint8_t type, std::uint8_t value, std::uint32_t& w) {
  switch (type) {
    case kTypeHighlighting:
      w = WithNibble(w, kExtHighlightShift, value);
      return true;
    case kTypeCharacterSet:
      w = (w & ~kExtCharacterSet) | (std::uint32_t{value} << kExtCharacterSetShift);
      return true;
    case kTypeTransparency:
      w = WithNibble(w, kExtTransparencyShift, value);
      return true;
    default:
      return false;
  }
}

}  // namespace

void ApplyFieldPair(std::uint8_t type, std::uint8_t value, std::uint8_t& attribute, std::uint32_t& w) {
  if (ApplyCommonPair(type, value, w)) return;
  switch (type) {
    case kTypeFieldAttribute:
      attribute = value | kFaStored;
      break;
    case kTypeForeground:
      w = WithNibble(w, kExtForegroundShift, value + 1u);
      break;
    case kTypeBackground:
      w = WithNibble(w, kExtBackgroundShift, value + 1u);
      break;
    case kTypeValidation:
      w = (w & ~kExtValidation) | ((std::uint32_t{value} & 0x7u) << kExtValidationShift);
      break;
    case kTypeOutlining:
      w = WithNibble(w, kExtOutliningShift, value);
      break;
    default:
      break;
  }
}

void ApplyCharacterPair(std::uint8_t type, std::uint8_t value, std::uint32_t& w) {
  if (ApplyCommonPair(type, value, w)) return;
  switch (type) {
    case kTypeReset:
      w = 0;
      break;
    case kTypeForeground:
      w = WithNibble(w, kExtForegroundShift, value);
      break;
    case kTypeBackground:
      w = WithNibble(w, kExtBackgroundShift, value);
      break;
    default:
      break;
  }
}

std::uint8_t GraphicEscapeCode(std::uint8_t code) {
  switch (code) {
    case 0xC5: return 0x10;
    case 0x85: case 0xBF: return 0x11;
    case 0xC4: return 0x12;
    case 0xD7: return 0x13;
    case 0xD3: return 0x21;
    case 0xC7: return 0x22;
    case 0xD6: return 0x23;
    case 0x9F: return 0x25;
    case 0x71: return 0x26;
    case 0xD5: return 0x30;
    case 0xC6: return 0x31;
    case 0xD4: return 0x32;
    case 0xA2: return 0x33;
    case 0x8F: return 0x35;
    case 0x78: return 0x36;
    case 0xB6: case 0xB7: return 0xE0;
    default: return 0x40;
  }
}

std::uint8_t GraphicEscapeHostCode(std::uint8_t internal) {
  switch (internal) {
    case 0x10: return 0xC5;
    case 0x11: return 0x85;
    case 0x12: return 0xC4;
    case 0x13: return 0xD7;
    case 0x21: return 0xD3;
    case 0x22: return 0xC7;
    case 0x23: return 0xD6;
    case 0x25: return 0x9F;
    case 0x26: return 0x71;
    case 0x30: return 0xD5;
    case 0x31: return 0xC6;
    case 0x32: return 0xD4;
    case 0x33: return 0xA2;
    case 0x35: return 0x8F;
    case 0x36: return 0x78;
    default: return 0;
  }
}

std::uint8_t LineDrawingGlyph(std::uint8_t code) {
  switch (code) {
    case 0x10: return 13;  // upper-left corner
    case 0x11: return 25;  // vertical line
    case 0x12: return 14;  // lower-left corner
    case 0x13: return 24;  // top tee
    case 0x21: return 15;  // crossing
    case 0x22: return 23;  // bottom tee
    case 0x23: return 22;  // right tee
    case 0x30: return 12;  // upper-right corner
    case 0x31: return 21;  // left tee
    case 0x32: return 11;  // lower-right corner
    case 0x33: return 18;  // horizontal line
    default: return 0xFF;
  }
}

char InternalCodeCharacter(std::uint8_t code) {
  switch (code) {
    case kDup: return '*';
    case kFieldMark: return ';';
    case 0x25: return '<';
    case 0x26: return '^';
    case 0x35: return '>';
    case 0x36: return 'v';
    default: return 0;
  }
}

int DecodeAddress(std::uint8_t b1, std::uint8_t b2) {
  if ((b1 & 0xC0) == 0) return (b1 << 8) | b2;
  return ((b1 & 0x3F) << 6) | (b2 & 0x3F);
}

std::array<std::uint8_t, 2> EncodeAddress(int position) {
  if (position < 4096)
    return {kAddressCodes[(position >> 6) & 0x3F], kAddressCodes[position & 0x3F]};
  return {static_cast<std::uint8_t>((position >> 8) & 0x3F), static_cast<std::uint8_t>(position & 0xFF)};
}

std::uint8_t CodedAttribute(std::uint8_t attribute) { return kAddressCodes[attribute & 0x3F]; }

std::optional<ScreenSize> StandardModelFor(int address) {
  if (address < 0) return std::nullopt;
  if (address < 2560) return ScreenSize{32, 80};
  if (address < 3440) return ScreenSize{43, 80};
  if (address < 3564) return ScreenSize{27, 132};
  return std::nullopt;
}

}  // namespace corvina::ds3270
