// The 3270 data stream's codes: commands, orders, the write control
// character, field and extended attributes, and buffer addresses.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace corvina::ds3270 {

// Commands, in their local (channel) and remote forms.
constexpr std::uint8_t kWrite = 0x01, kWriteRemote = 0xF1;
constexpr std::uint8_t kEraseWrite = 0x05, kEraseWriteRemote = 0xF5;
constexpr std::uint8_t kEraseWriteAlternate = 0x0D, kEraseWriteAlternateRemote = 0x7E;
constexpr std::uint8_t kReadBuffer = 0x02, kReadBufferRemote = 0xF2;
constexpr std::uint8_t kReadModified = 0x06, kReadModifiedRemote = 0xF6;
constexpr std::uint8_t kReadModifiedAll = 0x6E;
constexpr std::uint8_t kEraseAllUnprotected = 0x0F, kEraseAllUnprotectedRemote = 0x6F;
constexpr std::uint8_t kWriteStructuredField = 0x11, kWriteStructuredFieldRemote = 0xF3;

// Orders inside a Write.
constexpr std::uint8_t kProgramTab = 0x05;
constexpr std::uint8_t kGraphicEscape = 0x08;
constexpr std::uint8_t kSetBufferAddress = 0x11;
constexpr std::uint8_t kEraseUnprotectedToAddress = 0x12;
constexpr std::uint8_t kInsertCursor = 0x13;
constexpr std::uint8_t kStartField = 0x1D;
constexpr std::uint8_t kSetAttribute = 0x28;
constexpr std::uint8_t kStartFieldExtended = 0x29;
constexpr std::uint8_t kModifyField = 0x2C;
constexpr std::uint8_t kRepeatToAddress = 0x3C;

// Write control character bits.
constexpr std::uint8_t kWccResetMdt = 0x01;
constexpr std::uint8_t kWccKeyboardRestore = 0x02;
constexpr std::uint8_t kWccSoundAlarm = 0x04;
constexpr std::uint8_t kWccReset = 0x40;

// Field attribute bits. A stored attribute always has kFaStored.
constexpr std::uint8_t kFaStored = 0x40;
constexpr std::uint8_t kFaProtected = 0x20;
constexpr std::uint8_t kFaNumeric = 0x10;
constexpr std::uint8_t kFaDisplayMask = 0x0C;
constexpr std::uint8_t kFaDetectable = 0x04;
constexpr std::uint8_t kFaIntensified = 0x08;
constexpr std::uint8_t kFaNonDisplay = 0x0C;
constexpr std::uint8_t kFaMdt = 0x01;
// What an attribute position counts as when asked for its governing attribute.
constexpr std::uint8_t kFaOnAttribute = 0xFF;

// Attribute types of Start Field Extended, Modify Field and Set Attribute.
constexpr std::uint8_t kTypeReset = 0x00;
constexpr std::uint8_t kTypeFieldAttribute = 0xC0;
constexpr std::uint8_t kTypeHighlighting = 0x41;
constexpr std::uint8_t kTypeForeground = 0x42;
constexpr std::uint8_t kTypeCharacterSet = 0x43;
constexpr std::uint8_t kTypeBackground = 0x45;
constexpr std::uint8_t kTypeTransparency = 0x46;
constexpr std::uint8_t kTypeValidation = 0xC1;
constexpr std::uint8_t kTypeOutlining = 0xC2;

// The extended attribute word of a position.
constexpr unsigned kExtBackgroundShift = 0, kExtForegroundShift = 4, kExtCharacterSetShift = 8,
                   kExtHighlightShift = 16, kExtTransparencyShift = 20, kExtOutliningShift = 24,
                   kExtValidationShift = 28;
constexpr std::uint32_t kExtBackground = 0xFu << kExtBackgroundShift;
constexpr std::uint32_t kExtForeground = 0xFu << kExtForegroundShift;
constexpr std::uint32_t kExtCharacterSet = 0xFFu << kExtCharacterSetShift;
constexpr std::uint32_t kExtHighlight = 0xFu << kExtHighlightShift;
constexpr std::uint32_t kExtTransparency = 0xFu << kExtTransparencyShift;
constexpr std::uint32_t kExtOutlining = 0xFu << kExtOutliningShift;
constexpr std::uint32_t kExtValidation = 0x7u << kExtValidationShift;
// A character that came by Graphic Escape: its byte is an internal
// line-drawing code, drawn as such and sent back as GE and the host's code.
// A host data byte of the same value is an ordinary character.
constexpr std::uint32_t kExtGraphicEscape = 1u << 31;
inline unsigned ExtBackground(std::uint32_t w) { return (w & kExtBackground) >> kExtBackgroundShift; }
inline unsigned ExtForeground(std::uint32_t w) { return (w & kExtForeground) >> kExtForegroundShift; }
inline unsigned ExtHighlight(std::uint32_t w) { return (w & kExtHighlight) >> kExtHighlightShift; }

// Highlighting values (the low nibble of the host's value).
constexpr unsigned kHighlightBlink = 1, kHighlightReverse = 2, kHighlightUnderscore = 4;

// Applies one (type, value) pair of Start Field Extended or Modify Field to a
// field attribute and its extended word. Colours are stored in the field
// form (host value + 1, so 1 is the default colour); unknown types are skipped.
void ApplyFieldPair(std::uint8_t type, std::uint8_t value, std::uint8_t& attribute, std::uint32_t& extended);
// Applies one Set Attribute pair to the current character attributes.
// Colours are stored in the character form (0 takes the field's colour).
void ApplyCharacterPair(std::uint8_t type, std::uint8_t value, std::uint32_t& extended);

// Characters with a meaning of their own.
constexpr std::uint8_t kDup = 0x1C, kFieldMark = 0x1E;
// The AID byte meaning "no AID", and the selector pen's.
constexpr std::uint8_t kNoAid = 0x60, kAidSelectorPen = 0x7E;

// The internal code a Graphic Escape stores for a code of the line-drawing set.
std::uint8_t GraphicEscapeCode(std::uint8_t code);
// The host code a Graphic Escape sends for an internal line-drawing code,
// or 0 when the code is not one.
std::uint8_t GraphicEscapeHostCode(std::uint8_t internal);
// The glyph number drawn for an internal line-drawing code, or 0xFF when the
// code is not one.
std::uint8_t LineDrawingGlyph(std::uint8_t code);
// The character an internal code below 0x40 is drawn as ("*" for DUP, "<"
// for 0x25, ...), or 0 when it is drawn blank or as a glyph.
char InternalCodeCharacter(std::uint8_t code);

// Buffer addresses from the host: 14-bit binary when the two high bits of
// the first byte are 0, otherwise 12-bit coded.
int DecodeAddress(std::uint8_t b1, std::uint8_t b2);
// Buffer addresses to the host: 12-bit coded below 4096, 14-bit above.
std::array<std::uint8_t, 2> EncodeAddress(int position);
// A field attribute as reads send it: its six low bits in the coded graphic
// form of buffer addresses (0x40 for 0x00, 0xC1 for 0x01, ...).
std::uint8_t CodedAttribute(std::uint8_t attribute);

// The smallest standard screen that holds an address at or beyond the
// current buffer; none for an address beyond the largest model.
struct ScreenSize {
  int rows, columns;
};
std::optional<ScreenSize> StandardModelFor(int address);

}  // namespace corvina::ds3270
