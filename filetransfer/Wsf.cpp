#include "filetransfer/Wsf.h"

#include <algorithm>
#include <cctype>

namespace corvina::filetransfer::wsf {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::size_t v) {
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v >> 16);
  Put16(out, v & 0xFFFF);
}

bool SameName(std::span<const std::uint8_t> data, const char* name) {
  std::size_t i = 0;
  for (; name[i] != 0; ++i)
    if (i >= data.size() || std::toupper(data[i]) != std::toupper(static_cast<unsigned char>(name[i]))) return false;
  return i == data.size();
}

}  // namespace

Request Parse(std::span<const std::uint8_t> f) {
  Request r;
  if (f.size() < 4 || f[2] != kFieldId) {
    r.malformed = true;
    return r;
  }
  r.type = f[3];
  r.qualifier = f.size() > 4 ? f[4] : 0;
  switch (r.type) {
    case kOpen: {
      std::size_t i = 5;
      while (i + 2 <= f.size()) {
        const std::size_t length = f[i + 1];
        // A sub-field that does not advance the scan or runs past the
        // field's end ends it.
        if (length < 2 || i + length > f.size()) {
          r.malformed = true;
          break;
        }
        std::span<const std::uint8_t> sub = f.subspan(i, length);
        if (sub[0] == 0x03) {
          std::span<const std::uint8_t> name = sub.subspan(2);
          r.kind = SameName(name, "FT:DATA") ? Kind::kData : SameName(name, "FT:MSG ") ? Kind::kMessage : Kind::kNone;
        } else if (sub[0] == 0x08 && length == 6) {
          r.size = static_cast<unsigned>(sub[4]) << 8 | sub[5];
        }
        i += length;
      }
      break;
    }
    case kInsert:
      if (r.qualifier != kDataInsert) break;
      r.dataInsert = true;
      if (f.size() < kInsertHeader) {
        r.malformed = true;
        break;
      }
      {
        // The inner length counts the data and five header bytes; data the
        // host claims but does not send is a fault, never read.
        const std::size_t claimed = static_cast<std::size_t>(f[8]) << 8 | f[9];
        const std::size_t present = f.size() - kInsertHeader;
        if (claimed < 5 || claimed - 5 > present) {
          r.malformed = true;
          break;
        }
        r.data = f.subspan(kInsertHeader, claimed - 5);
      }
      break;
    default:
      break;
  }
  return r;
}

std::vector<std::uint8_t> OpenReply() { return {kAidStructuredField, 0x00, 0x05, kFieldId, 0x00, 0x09}; }
std::vector<std::uint8_t> CloseReply() { return {kAidStructuredField, 0x00, 0x05, kFieldId, 0x41, 0x09}; }

std::vector<std::uint8_t> InsertAck(std::uint32_t block) {
  std::vector<std::uint8_t> r{kAidStructuredField, 0x00, 0x0B, kFieldId, 0x47, 0x05, 0x63, 0x06};
  Put32(r, block);
  return r;
}

std::vector<std::uint8_t> EndOfFileReply() {
  return {kAidStructuredField, 0x00, 0x09, kFieldId, 0x46, 0x08, 0x69, 0x04, 0x22, 0x00};
}

std::vector<std::uint8_t> DataReply(std::uint32_t block, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> r{kAidStructuredField};
  r.reserve(kDataReplyHeader + data.size());
  Put16(r, data.size() + 16);
  r.insert(r.end(), {kFieldId, 0x46, 0x05, 0x63, 0x06});
  Put32(r, block);
  r.insert(r.end(), {0xC0, 0x80, 0x61});
  Put16(r, data.size() + 5);
  r.insert(r.end(), data.begin(), data.end());
  return r;
}

std::size_t DataRoom(int bufferSize) {
  return static_cast<std::size_t>(std::max(bufferSize, static_cast<int>(kDataReplyHeader) + 1)) - kDataReplyHeader;
}

}  // namespace corvina::filetransfer::wsf
