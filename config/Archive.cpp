#include "config/Archive.h"

#include <cstring>

#include "config/StoreTexts.h"

namespace corvina {

namespace {

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTag = 0x8000;
constexpr std::uint16_t kBigObjectTag = 0x7FFF;
constexpr std::uint32_t kBigClassTag = 0x80000000;
constexpr std::size_t kMaxClassName = 64;

}  // namespace

void CArchiveReader::Need(std::size_t count) const {
  if (count > Remaining()) throw CArchiveError(store_texts::kArchiveEndOfFile);
}

std::uint8_t CArchiveReader::ReadU8() {
  Need(1);
  return bytes_[pos_++];
}

std::uint16_t CArchiveReader::ReadU16() {
  Need(2);
  std::uint16_t v = static_cast<std::uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
  pos_ += 2;
  return v;
}

std::uint32_t CArchiveReader::ReadU32() {
  const std::uint32_t low = ReadU16();
  return low | std::uint32_t{ReadU16()} << 16;
}

double CArchiveReader::ReadDouble() {
  const std::uint64_t low = ReadU32();
  const std::uint64_t bits = low | std::uint64_t{ReadU32()} << 32;
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

std::span<const std::uint8_t> CArchiveReader::ReadBytes(std::size_t count) {
  Need(count);
  auto piece = bytes_.subspan(pos_, count);
  pos_ += count;
  return piece;
}

std::string CArchiveReader::ReadString() {
  std::uint32_t length = ReadU8();
  if (length == 0xFF) {
    length = ReadU16();
    if (length == 0xFFFF) length = ReadU32();
  }
  auto chars = ReadBytes(length);
  return std::string(chars.begin(), chars.end());
}

std::uint32_t CArchiveReader::ReadCount(std::size_t minBytesEach) {
  const std::uint32_t count = ReadU32();
  if (minBytesEach > 0 && count > Remaining() / minBytesEach) throw CArchiveError(store_texts::kArchiveEndOfFile);
  return count;
}

CArchiveReader::ObjectTag CArchiveReader::ReadObjectTag() {
  const std::uint16_t tag = ReadU16();
  std::uint32_t reference;
  if (tag == kBigObjectTag) {
    reference = ReadU32();
  } else {
    reference = (std::uint32_t{tag} & kClassTag) << 16 | (tag & ~kClassTag);
  }

  ObjectTag result;
  if (tag != kNewClassTag && !(reference & kBigClassTag)) {
    if (reference == 0) return result;  // the null object
    if (reference >= loaded_.size() || loaded_[reference].isClass) throw CArchiveError(store_texts::kArchiveBadObjectTag);
    result.kind = ObjectTag::kOld;
    result.className = loaded_[reference].className;
    result.objectIndex = reference;
    return result;
  }

  if (tag == kNewClassTag) {
    ReadU16();  // the class's schema number; the readers know their own layout
    const std::uint16_t length = ReadU16();
    if (length == 0 || length > kMaxClassName) throw CArchiveError(store_texts::kArchiveBadClassName);
    auto chars = ReadBytes(length);
    result.className.assign(chars.begin(), chars.end());
    loaded_.push_back({true, result.className});
  } else {
    const std::uint32_t index = reference & ~kBigClassTag;
    if (index >= loaded_.size() || !loaded_[index].isClass) throw CArchiveError(store_texts::kArchiveBadClassTag);
    result.className = loaded_[index].className;
  }
  result.kind = ObjectTag::kNew;
  result.objectIndex = loaded_.size();
  loaded_.push_back({false, result.className});
  return result;
}

}  // namespace corvina
