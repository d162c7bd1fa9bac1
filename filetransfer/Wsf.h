// The structured-field transport: the 0xD0 fields a host sends, checked
// against their own lengths, and the inbound replies.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvina::filetransfer::wsf {

inline constexpr std::uint8_t kFieldId = 0xD0;
inline constexpr std::uint8_t kAidStructuredField = 0x88;

// Request types (byte 3).
enum : std::uint8_t { kOpen = 0x00, kClose = 0x41, kSetCursor = 0x45, kGet = 0x46, kInsert = 0x47 };
inline constexpr std::uint8_t kDataInsert = 0x04;  // the qualifier of an Insert that carries data
inline constexpr std::size_t kInsertHeader = 10;   // D0 47 04 C0 80 61 and the length, after the field length
inline constexpr std::size_t kDataReplyHeader = 17;

// Data-set kinds of an Open.
enum class Kind { kNone, kData, kMessage };

struct Request {
  std::uint8_t type = 0xFF;
  std::uint8_t qualifier = 0;
  // Open: the data-set kind, and a size sub-field's value (0: none).
  Kind kind = Kind::kNone;
  unsigned size = 0;
  // A data insert: its data.
  std::span<const std::uint8_t> data;
  bool dataInsert = false;
  // Set when the field is too short for what its type needs, or a length
  // inside it claims more than the field holds.
  bool malformed = false;
};

// Reads one 0xD0 structured field (its length bytes included). Never reads
// beyond `field`; sub-fields of length 0 or 1 end the Open scan.
Request Parse(std::span<const std::uint8_t> field);

// Replies, without the extended-protocol header and IAC EOR.
std::vector<std::uint8_t> OpenReply();
std::vector<std::uint8_t> CloseReply();
std::vector<std::uint8_t> InsertAck(std::uint32_t block);
std::vector<std::uint8_t> EndOfFileReply();
// A data reply: the 17-byte header for `data`, then the data.
std::vector<std::uint8_t> DataReply(std::uint32_t block, std::span<const std::uint8_t> data);

// The largest data a Get reply of this buffer size carries.
std::size_t DataRoom(int bufferSize);

}  // namespace corvina::filetransfer::wsf
