// Reader of the binary archives older versions wrote their settings in:
// little-endian numbers, length-prefixed texts, and objects introduced by a
// class tag (a new class by name, or a back reference to a class or to an
// object read earlier). Every read is bounds-checked; a damaged archive
// throws CArchiveError with a readable cause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvina {

class CArchiveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CArchiveReader {
 public:
  explicit CArchiveReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t ReadU8();
  std::uint16_t ReadU16();
  std::uint32_t ReadU32();
  std::int16_t ReadI16() { return static_cast<std::int16_t>(ReadU16()); }
  std::int32_t ReadI32() { return static_cast<std::int32_t>(ReadU32()); }
  double ReadDouble();
  std::span<const std::uint8_t> ReadBytes(std::size_t count);
  // A length byte; 0xFF then a 16-bit length; 0xFF 0xFFFF then a 32-bit length.
  std::string ReadString();

  // A count that the rest of the archive can hold at `minBytesEach` bytes per
  // item, so that a hostile count cannot make a reader loop for long.
  std::uint32_t ReadCount(std::size_t minBytesEach);

  // The tag in front of an archived object.
  struct ObjectTag {
    enum Kind { kNull, kNew, kOld } kind = kNull;
    std::string className;   // kNew: the object's class
    std::size_t objectIndex = 0;  // kNew: the index the object gets; kOld: the object referred to
  };
  // Reads the tag; a new object is registered, so that later back references
  // to it are valid. The caller then reads the object's contents.
  ObjectTag ReadObjectTag();

  std::size_t Remaining() const { return bytes_.size() - pos_; }
  std::size_t Position() const { return pos_; }

 private:
  void Need(std::size_t count) const;

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  // Index 0 is the null object; classes and objects share the numbering.
  struct Entry {
    bool isClass;
    std::string className;
  };
  std::vector<Entry> loaded_{Entry{false, {}}};
};

}  // namespace corvina
