#include "session/SessionTrace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "platform/Format.h"
#include "session/SessionTexts.h"

#ifndef CORVINA_RELEASE
#define CORVINA_RELEASE "0.0"
#endif

namespace corvina {

using platform::Format;

namespace {

void Put16(std::uint8_t* p, unsigned v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFF);
  p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

std::tm Utc(std::int64_t ms) {
  std::time_t secs = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  gmtime_r(&secs, &tm);
  return tm;
}

}  // namespace

bool CSessionTrace::Open(const std::string& path, bool binary, std::string* error) {
  Close();
  // Everything typed goes into it, passwords too: the user's alone, and not
  // handed to the programs the emulator starts.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd >= 0 && ::fchmod(fd, 0600) == 0) file_ = ::fdopen(fd, "wb");
  if (!file_ && fd >= 0) ::close(fd);
  if (!file_) {
    if (error) *error = texts::kTraceOpenFailed;
    return false;
  }
  binary_ = binary;
  TraceSource program;
  Text(program, Format(texts::kTraceRelease, texts::kCaption, CORVINA_RELEASE, __DATE__, __TIME__));
  std::time_t now = static_cast<std::time_t>(clock_.WallMs() / 1000);
  std::tm local{};
  localtime_r(&now, &local);
  char when[128];
  std::strftime(when, sizeof when, "%x %X", &local);
  Text(program, Format(texts::kTraceStarted, when));
  return true;
}

void CSessionTrace::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void CSessionTrace::WriteBinary(char kind, const TraceSource& source, std::span<const std::uint8_t> bytes) {
  std::int64_t ms = clock_.WallMs();
  std::tm tm = Utc(ms);
  // A block longer than the 16-bit length field becomes several records.
  std::size_t at = 0;
  do {
    std::size_t n = std::min(bytes.size() - at, kMaxRecordData);
    std::uint8_t h[kHeaderSize + 2] = {};
    h[0] = 0xFF;
    h[1] = static_cast<std::uint8_t>(kind);
    Put16(h + 2, kHeaderSize);
    const unsigned fields[8] = {static_cast<unsigned>(tm.tm_year + 1900), static_cast<unsigned>(tm.tm_mon + 1),
                                static_cast<unsigned>(tm.tm_wday), static_cast<unsigned>(tm.tm_mday),
                                static_cast<unsigned>(tm.tm_hour), static_cast<unsigned>(tm.tm_min),
                                static_cast<unsigned>(tm.tm_sec), static_cast<unsigned>(ms % 1000)};
    for (int i = 0; i < 8; ++i) Put16(h + 4 + 2 * i, fields[i]);
    auto socket = static_cast<std::uint32_t>(source.socket);
    for (int i = 0; i < 4; ++i) h[20 + i] = static_cast<std::uint8_t>(socket >> (8 * i));
    std::memcpy(h + 24, &source.peerIPv4, 4);  // already in network order
    Put16(h + 28, source.peerPort);
    Put16(h + 30, static_cast<unsigned>(n));
    std::fwrite(h, 1, sizeof h, file_);
    if (n) std::fwrite(bytes.data() + at, 1, n, file_);
    at += n;
  } while (at < bytes.size());
  std::fflush(file_);
}

void CSessionTrace::WriteRecord(char kind, const TraceSource& source, std::span<const std::uint8_t> bytes) {
  if (!file_) return;
  if (binary_) {
    WriteBinary(kind, source, bytes);
    return;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), file_);
  if (kind == kTraceText) std::fwrite("\r\n", 1, 2, file_);
  std::fflush(file_);
}

void CSessionTrace::Text(const TraceSource& source, const std::string& text) {
  Entry(source, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), kTraceText);
}

void CSessionTrace::Entry(const TraceSource& source, std::span<const std::uint8_t> bytes, char kind) {
  if (!file_) return;
  if (binary_) {
    WriteBinary(kind, source, bytes);
    return;
  }
  if (source.session == 0) {  // the program's own texts carry no prefix
    WriteRecord(kind, source, bytes);
    return;
  }
  std::int64_t ms = clock_.WallMs();
  std::tm tm = Utc(ms);
  std::string who = Format("Session %d (%s:%d)", source.session, source.host.c_str(), source.port);
  std::string line = EntryLine(tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms % 1000), who, kind, bytes);
  if (kind == kTraceSent || kind == kTraceReceived)
    line += HexDump(bytes, source.remoteBinary ? source.ebcdicToAscii : nullptr);
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

std::string CSessionTrace::EntryLine(int hour, int minute, int second, int ms, const std::string& who, char kind,
                                     std::span<const std::uint8_t> bytes) {
  std::string line = Format("%.2d:%.2d:%.2d.%.3d %s: ", hour, minute, second, ms, who.c_str());
  switch (kind) {
    case kTraceSent: line += Format("%d bytes sent", static_cast<int>(bytes.size())); break;
    case kTraceReceived: line += Format("%d bytes rcvd", static_cast<int>(bytes.size())); break;
    case kTraceKeystroke: line += "KeyStroke: " + std::string(bytes.begin(), bytes.end()); break;
    default: line += std::string(bytes.begin(), bytes.end()); break;
  }
  return line + "\r\n";
}

bool ReadTraceRecord(std::span<const std::uint8_t> file, std::size_t& offset, TraceRecord& record,
                     std::string* error) {
  if (offset >= file.size()) return false;
  auto fail = [&](const char* why) {
    if (error) *error = Format("%s at offset %zu", why, offset);
    return false;
  };
  auto get16 = [&](std::size_t at) { return static_cast<std::uint16_t>(file[at] | file[at + 1] << 8); };
  std::size_t left = file.size() - offset;
  if (left < 4 || file[offset] != 0xFF) return fail("Not a trace record");
  std::size_t headerLength = get16(offset + 2);
  if (headerLength < CSessionTrace::kHeaderSize || left < headerLength + 2) return fail("Truncated trace record");
  std::size_t dataLength = get16(offset + headerLength);
  if (left < headerLength + 2 + dataLength) return fail("Truncated trace record");
  record.kind = static_cast<char>(file[offset + 1]);
  for (int i = 0; i < 8; ++i) record.time[i] = get16(offset + 4 + 2 * static_cast<std::size_t>(i));
  record.socket = 0;
  for (int i = 0; i < 4; ++i) record.socket |= std::uint32_t{file[offset + 20 + i]} << (8 * i);
  std::memcpy(&record.peerIPv4, file.data() + offset + 24, 4);
  record.peerPort = get16(offset + 28);
  record.data = file.subspan(offset + headerLength + 2, dataLength);
  offset += headerLength + 2 + dataLength;
  return true;
}

void CSessionTrace::Keystroke(const TraceSource& source, int functionId, unsigned terminalKind) {
  std::string text = KeystrokeText(functionId, terminalKind);
  if (text.empty()) return;
  Entry(source, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), kTraceKeystroke);
}

std::string CSessionTrace::KeystrokeText(int id, unsigned kind) {
  if (id == -1) return {};
  if (id >= 0 && id < 256) return std::string(1, static_cast<char>(id));
  if (id >= kf::kCursorTo)
    return Format("<%s %d>", std::string(KeyFunctionName(kind, kf::kCursorTo)).c_str(), id - kf::kCursorTo);
  std::string_view name = KeyFunctionName(kind, id);
  if (name.empty()) name = KeyFunctionName(0, id);  // a system command
  if (name.empty()) return Format("<%d>", id);
  return "<" + std::string(name) + ">";
}

std::string CSessionTrace::HexDump(std::span<const std::uint8_t> bytes, const std::uint8_t* ebcdicToAscii) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t line = 0; line < bytes.size(); line += 32) {
    out += Format("%.8X  ", static_cast<unsigned>(line));
    for (std::size_t i = 0; i < 32; ++i) {
      if (line + i < bytes.size()) {
        std::uint8_t b = bytes[line + i];
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
      } else {
        out += "  ";
      }
      if ((i + 1) % 4 == 0) out += ' ';
      if ((i + 1) % 16 == 0) out += ' ';
    }
    for (std::size_t i = 0; i < 32 && line + i < bytes.size(); ++i) {
      std::uint8_t c = bytes[line + i];
      if (ebcdicToAscii) c = ebcdicToAscii[c];
      out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace corvina
