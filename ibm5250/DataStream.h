// The 5250 data stream's codes: the record header, operation codes,
// commands, Write To Display orders, field format and control words, error
// responses, AIDs, the screen attributes' display table and the query reply.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace corvina::ds5250 {

// Record header: length (2), record type 0x12A0 (2), reserved (2), variable
// header length (1), flags (2), operation code (1); data from byte 10.
constexpr std::size_t kHeaderLength = 10;
constexpr std::size_t kFlagsOffset = 7;
constexpr std::size_t kOpcodeOffset = 9;
constexpr std::uint8_t kRecordTypeHigh = 0x12, kRecordTypeLow = 0xA0, kVariableHeaderLength = 0x04;
// The longest record the 2-byte length field describes.
constexpr std::size_t kMaxRecordLength = 0xFFFF;

// Header flags (byte 7) of records to the host.
constexpr std::uint8_t kFlagError = 0x80;     // an error response
constexpr std::uint8_t kFlagAttention = 0x40;
constexpr std::uint8_t kFlagSystemRequest = 0x04;
constexpr std::uint8_t kFlagHelp = 0x01;      // a help request in the error state

// Operation codes of host records.
constexpr std::uint8_t kOpNoOperation = 0, kOpInvite = 1, kOpOutputOnly = 2, kOpPutGet = 3,
                       kOpSaveScreen = 4, kOpRestoreScreen = 5, kOpReadImmediate = 6, kOpReadScreen = 8,
                       kOpCancelInvite = 10, kOpMessageLightOn = 11, kOpMessageLightOff = 12;

// Commands: the escape byte, then the command code.
constexpr std::uint8_t kEscape = 0x04;
constexpr std::uint8_t kClearUnit = 0x40;
constexpr std::uint8_t kClearUnitRestore = 0x12;  // Clear Unit inside a Restore Screen
constexpr std::uint8_t kClearUnitAlternate = 0x20;
constexpr std::uint8_t kClearFormatTable = 0x50;
constexpr std::uint8_t kWriteToDisplay = 0x11;
constexpr std::uint8_t kWriteErrorCode = 0x21;
constexpr std::uint8_t kRoll = 0x23;
constexpr std::uint8_t kWriteStructuredField = 0xF3;
constexpr std::uint8_t kReadInputFields = 0x42;
constexpr std::uint8_t kReadMdtFields = 0x52;
constexpr std::uint8_t kReadMdtAlternate = 0x82;
constexpr std::uint8_t kReadImmediate = 0x72;
constexpr std::uint8_t kReadMdtImmediateAlternate = 0x83;
constexpr std::uint8_t kReadScreen = 0x62;
constexpr std::uint8_t kSaveScreen = 0x02;

// Whether an operation code takes a command (false for unknown codes too).
bool OperationAccepts(std::uint8_t opcode, std::uint8_t command);

// Write To Display orders.
constexpr std::uint8_t kStartOfHeader = 0x01;
constexpr std::uint8_t kRepeatToAddress = 0x02;
constexpr std::uint8_t kEraseToAddress = 0x03;
constexpr std::uint8_t kTransparentData = 0x10;
constexpr std::uint8_t kSetBufferAddress = 0x11;
constexpr std::uint8_t kWriteExtendedAttribute = 0x12;
constexpr std::uint8_t kInsertCursor = 0x13;
constexpr std::uint8_t kMoveCursor = 0x14;
constexpr std::uint8_t kWriteDisplayStructuredField = 0x15;
constexpr std::uint8_t kStartOfField = 0x1D;
// A byte that a Write To Display takes as an order rather than a character.
constexpr bool IsOrder(std::uint8_t b) {
  return b == kEscape || b == kStartOfHeader || b == kRepeatToAddress || b == kEraseToAddress ||
         (b >= kTransparentData && b <= kWriteDisplayStructuredField) || b == kStartOfField;
}
// Start of Header: at most this many bytes after its length byte.
constexpr std::size_t kMaxHeaderLength = 7;
// Erase to Address: the length byte counts itself and 1 to 4 attribute types.
constexpr std::uint8_t kEraseLengthMin = 2, kEraseLengthMax = 5;
constexpr std::uint8_t kEraseAllTypes = 0xFF, kEraseCharacters = 0x00;

// Field format word (the first byte's top two bits are 01).
constexpr std::uint16_t kFfwMarkMask = 0xC000, kFfwMark = 0x4000;
constexpr std::uint16_t kFfwBypass = 0x2000;
constexpr std::uint16_t kFfwDupEnabled = 0x1000;
constexpr std::uint16_t kFfwMdt = 0x0800;
constexpr std::uint16_t kFfwShiftMask = 0x0700;
constexpr unsigned kFfwShiftShift = 8;
constexpr std::uint16_t kFfwAutoEnter = 0x0080;
constexpr std::uint16_t kFfwFieldExitRequired = 0x0040;
constexpr std::uint16_t kFfwMonocase = 0x0020;
constexpr std::uint16_t kFfwMandatoryEnter = 0x0008;
constexpr std::uint16_t kFfwAdjustMask = 0x0007;
constexpr bool IsFfwByte(std::uint8_t b) { return (b & 0xC0) == 0x40; }
constexpr bool IsFcwByte(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// Shift/edit values of the field format word.
enum Shift : unsigned {
  kShiftAlpha = 0,
  kShiftAlphaOnly = 1,
  kShiftNumeric = 2,
  kShiftNumericOnly = 3,
  kShiftKatakana = 4,
  kShiftDigitsOnly = 5,
  kShiftIo = 6,
  kShiftSignedNumeric = 7,
};
// Mandatory fill and right adjust values.
constexpr unsigned kAdjustZeroFill = 5, kAdjustBlankFill = 6, kAdjustMandatoryFill = 7;

// Field control words by kind (the first byte).
constexpr std::uint8_t kFcwResequence = 0x80;
constexpr std::uint8_t kFcwCursorSelect = 0x81;  // second byte 1, 2 or 3 (both kinds)
constexpr std::uint8_t kFcwTransparent = 0x84;
constexpr std::uint8_t kFcwForwardEdge = 0x85;
constexpr std::uint8_t kFcwCursorProgression = 0x88;
constexpr std::uint8_t kFcwHighlight = 0x89;
constexpr std::uint8_t kFcwSelfCheck = 0xB1;
constexpr std::uint8_t kSelfCheckModulus10 = 0xA0, kSelfCheckModulus11 = 0x40;
constexpr std::uint8_t kResequenceEnd = 0xFF;

// Screen attributes occupy their cell.
constexpr std::uint8_t kAttributeFirst = 0x20, kAttributeLast = 0x3F;
constexpr bool IsAttribute(std::uint8_t b) { return b >= kAttributeFirst && b <= kAttributeLast; }
constexpr std::uint8_t kAttributeNormal = 0x20;      // green
constexpr std::uint8_t kAttributeWhite = 0x22;       // the error row during a help request
constexpr std::uint8_t kAttributeNonDisplay = 0x27;
constexpr std::uint8_t kAttributeErrorCode = 0x2A;   // red, blinking
constexpr std::uint8_t kAttributeSystemRequest = 0x34;

// Display of a screen attribute: flags and a colour in the low four bits.
constexpr std::uint8_t kDisplayReverse = 0x80, kDisplayUnderscore = 0x40, kDisplayBlink = 0x20,
                       kDisplayColumnSeparators = 0x10, kDisplayColorMask = 0x0F;
constexpr std::uint8_t kColorRed = 3, kColorGreen = 4, kColorBlue = 5, kColorPink = 6, kColorYellow = 7,
                       kColorTurquoise = 8, kColorWhite = 9, kColorNonDisplay = 15;
std::uint8_t DisplayOf(std::uint8_t attribute, bool monochrome);

// Characters with a meaning of their own.
constexpr std::uint8_t kDup = 0x1C, kFieldMark = 0x1E;
constexpr std::uint8_t kBlank = 0x40, kZero = 0xF0, kMinus = 0x60;

// AIDs.
constexpr std::uint8_t kAidNone = 0x00;
constexpr std::uint8_t kAidEnter = 0xF1, kAidAutoEnterSelection = 0x3F, kAidForwardEdge = 0x50;
constexpr std::uint8_t kAidHelp = 0xF3, kAidRollDown = 0xF4, kAidRollUp = 0xF5, kAidPrint = 0xF6,
                       kAidRecordBackspace = 0xF8, kAidClear = 0xBD, kAidPA1 = 0x6C, kAidPA2 = 0x6E,
                       kAidPA3 = 0x6B, kAidQueryReply = 0x88;
// AIDs whose read responses never carry field data.
constexpr bool AidSendsNoFields(std::uint8_t aid) {
  return aid == kAidPA3 || aid == kAidPA1 || aid == kAidPA2 || aid == kAidClear || aid == kAidHelp ||
         aid == kAidPrint || aid == kAidRecordBackspace;
}
// The function key number of a PF AID (1 to 24), 0 for any other AID.
int FunctionKeyOfAid(std::uint8_t aid);

// Error response codes (the four data bytes, big-endian).
constexpr std::uint32_t kErrorNotSupported = 0x10030101;
constexpr std::uint32_t kErrorStructuredField = 0x10050111;
constexpr std::uint32_t kErrorNoQueryReply = 0x10050112;
constexpr std::uint32_t kErrorLength = 0x10050121;
constexpr std::uint32_t kErrorAddress = 0x10050122;
constexpr std::uint32_t kErrorFieldOverlap = 0x10050126;
constexpr std::uint32_t kErrorFieldLength = 0x10050128;
constexpr std::uint32_t kErrorTooManyFields = 0x10050129;
constexpr std::uint32_t kErrorPastEnd = 0x1005012A;
constexpr std::uint32_t kErrorHeaderLength = 0x1005012B;
constexpr std::uint32_t kErrorRoll = 0x1005012C;

// Write Structured Field: class and type of the 5250 query.
constexpr std::uint8_t kQueryClass = 0xD9, kQueryType = 0x70;
// The query reply of a Telnet terminal type "IBM-tttt-mm" (its first two
// bytes are its length); none for a type of another form. `wide`: the
// display also has the 27 x 132 size.
std::optional<std::vector<std::uint8_t>> QueryReply(std::string_view terminalType, bool wide);

// The 10-byte header of a record to the host, its length still zero.
std::array<std::uint8_t, kHeaderLength> OutboundHeader(std::uint8_t opcode, std::uint8_t flags);

}  // namespace corvina::ds5250
