// The program-wide trace: every byte sent and received by every session, the
// keys pressed and the status texts shown, as binary records or as text with
// hex dumps. Writers describe themselves with a TraceSource, so that programs
// without sessions (the LPD server) can trace too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "platform/Clock.h"

namespace corvina {

// Who writes a record.
struct TraceSource {
  int session = 0;            // 0: the program itself
  std::string host;           // as the user named it
  int port = 0;
  int socket = 0;             // handle; identifies the writer in binary records
  std::uint32_t peerIPv4 = 0; // network byte order; 0 without an IPv4 peer
  std::uint16_t peerPort = 0;
  bool remoteBinary = false;  // host data is EBCDIC: dump it translated
  const std::uint8_t* ebcdicToAscii = nullptr;  // 256 entries, or null
};

// Record kinds.
enum : char { kTraceReceived = '<', kTraceSent = '>', kTraceText = ';', kTraceKeystroke = '~' };

// What a session writes to; null in the session means tracing is off.
class SessionTraceSink {
 public:
  virtual ~SessionTraceSink() = default;
  virtual void Entry(const TraceSource& source, std::span<const std::uint8_t> bytes, char kind) = 0;
  virtual void Keystroke(const TraceSource& source, int functionId, unsigned terminalKind) = 0;
};

// One record read back from a binary trace.
struct TraceRecord {
  char kind = 0;
  std::uint16_t time[8] = {};  // year, month, day of week, day, hour, minute, second, ms (UTC)
  std::uint32_t socket = 0;
  std::uint32_t peerIPv4 = 0;  // network byte order
  std::uint16_t peerPort = 0;
  std::span<const std::uint8_t> data;  // points into the file's bytes
};

// Reads the record at `offset` and moves past it. False at the end, or with
// *error set when the bytes there are not a whole record.
bool ReadTraceRecord(std::span<const std::uint8_t> file, std::size_t& offset, TraceRecord& record,
                     std::string* error);

class CSessionTrace final : public SessionTraceSink {
 public:
  static constexpr std::size_t kHeaderSize = 30;
  static constexpr std::size_t kMaxRecordData = 0xFFFF;  // the length field is 16-bit

  explicit CSessionTrace(const platform::Clock& clock) : clock_(clock) {}
  ~CSessionTrace() override { Close(); }
  CSessionTrace(const CSessionTrace&) = delete;
  CSessionTrace& operator=(const CSessionTrace&) = delete;

  // Creates (or replaces) the file and writes the opening texts.
  bool Open(const std::string& path, bool binary, std::string* error = nullptr);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  bool Binary() const { return binary_; }

  // One raw record: binary header and data, or the bytes (and CR LF for texts).
  void WriteRecord(char kind, const TraceSource& source, std::span<const std::uint8_t> bytes);
  void Entry(const TraceSource& source, std::span<const std::uint8_t> bytes, char kind) override;
  void Keystroke(const TraceSource& source, int functionId, unsigned terminalKind) override;
  void Text(const TraceSource& source, const std::string& text);

  // "<PF3>", "a", "<CursorTo 85>"; empty for -1.
  static std::string KeystrokeText(int functionId, unsigned terminalKind);
  // The hex dump lines of the text form, each ending in CR LF.
  static std::string HexDump(std::span<const std::uint8_t> bytes, const std::uint8_t* ebcdicToAscii);
  // The text form's first line for a record: "hh:mm:ss.mmm <who>: 7 bytes sent".
  static std::string EntryLine(int hour, int minute, int second, int ms, const std::string& who, char kind,
                               std::span<const std::uint8_t> bytes);

 private:
  void WriteBinary(char kind, const TraceSource& source, std::span<const std::uint8_t> bytes);

  const platform::Clock& clock_;
  std::FILE* file_ = nullptr;
  bool binary_ = true;
};

}  // namespace corvina
