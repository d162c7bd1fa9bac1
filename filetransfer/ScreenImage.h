// The screen-image transport's encoding: the four code sets that carry
// every byte value as screen characters, the 64-character alphabet of the
// frame headers, the host's fixed EBCDIC/ASCII table, and the layout of a
// transfer frame on a 24 x 80 screen.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "codepage/CodePage.h"

namespace corvina::filetransfer::screenimage {

// Frame layout.
inline constexpr int kFrameSize = 1920;        // a 24 x 80 screen
inline constexpr int kMagicField = 1919;       // an autoskip attribute marks a frame
inline constexpr int kResponseArea = 1914;     // positions the PC never fills with data
inline constexpr int kGetData = 5;             // host data blocks: data from here
inline constexpr int kPutData = 7;             // PC data blocks: data from here
inline constexpr int kMaxPutPositions = kResponseArea - kPutData;
inline constexpr int kMaxGetPositions = kResponseArea - kGetData;
inline constexpr std::size_t kPutBlockBytes = 950;  // file bytes read for one PC block

// The alphabet of sequence numbers, checksums and lengths (text values).
inline constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz&-.,:+ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
// The index of a text value in the alphabet, -1 when it is none of it.
int AlphabetIndex(char c);

// The host's own EBCDIC to host-ASCII table and its inverse.
extern const CodePageTable kHostEbcdicToAscii;
const CodePageTable& HostAsciiToEbcdic();

// Code sets by their shift characters (text values).
enum class CodeSet : char { kNone = '?', kSemicolon = ';', kEqual = '=', kStar = '*', kApostrophe = '\'' };
bool IsShift(char c);

// The byte a screen code stands for in a set; nullopt when the set has no
// such code.
std::optional<std::uint8_t> DecodeCode(CodeSet set, std::uint8_t screenCode);
// The set and screen code of a byte (every byte has exactly one).
struct Encoded {
  CodeSet set;
  std::uint8_t code;
};
Encoded EncodeByte(std::uint8_t byte);

// One PC block's screen codes from position kPutData on (shift characters
// as the code page's EBCDIC codes), with the running code set and previous
// byte carried from block to block. Stops before the block would need more
// than `maxPositions` positions; `consumed` tells how many file bytes it took.
struct PutEncoder {
  CodeSet set = CodeSet::kNone;
  std::uint8_t previous = 0;  // the last byte encoded (for CR before LF)
  bool ascii = false, crlf = false;
  const CCorvinaCodePage* codePage = nullptr;  // shift characters and ASCII translation

  std::vector<std::uint8_t> Encode(std::span<const std::uint8_t> bytes, std::size_t maxPositions,
                                   std::size_t& consumed);
};

// The three header positions (checksum, length high, length low) of a PC
// block of these screen codes, as EBCDIC codes of the alphabet.
std::vector<std::uint8_t> PutHeader(std::span<const std::uint8_t> codes, const CCorvinaCodePage& codePage);

}  // namespace corvina::filetransfer::screenimage
