// Host records written the way a host program writes them, and a 3270
// session connected to a loopback host whose replies are caught as they are
// sent.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../session/TestSupport.h"
#include "ibm3270/Engine3270.h"
#include "printing/PrinterThread.h"
#include "session/SessionTrace.h"

namespace corvina::test {

using Bytes = std::vector<std::uint8_t>;
using Pairs = std::initializer_list<std::pair<std::uint8_t, std::uint8_t>>;

// A 3270 command with its WCC, orders and data.
class HostRecord {
 public:
  explicit HostRecord(std::uint8_t command) : bytes_{command} {}
  static HostRecord Write(std::uint8_t wcc) { return HostRecord(0xF1).Byte(wcc); }
  static HostRecord EraseWrite(std::uint8_t wcc) { return HostRecord(0xF5).Byte(wcc); }
  static HostRecord EraseWriteAlternate(std::uint8_t wcc) { return HostRecord(0x7E).Byte(wcc); }

  HostRecord& Byte(std::uint8_t b);
  HostRecord& Sba(int position);    // 12-bit coded below 4096, 14-bit above
  HostRecord& Sba14(int position);  // always 14-bit
  HostRecord& Sf(std::uint8_t attribute);
  HostRecord& Sfe(Pairs pairs);
  HostRecord& Mf(Pairs pairs);
  HostRecord& Sa(std::uint8_t type, std::uint8_t value);
  HostRecord& Ic();
  HostRecord& Pt();
  HostRecord& Ra(int stop, std::uint8_t ebcdic);
  HostRecord& RaGe(int stop, std::uint8_t code);
  HostRecord& Eua(int stop);
  HostRecord& Ge(std::uint8_t code);
  HostRecord& Text(std::string_view latin1);  // through the built-in code page

  const Bytes& Data() const { return bytes_; }
  operator const Bytes&() const { return bytes_; }

 private:
  HostRecord& Address(int position);
  Bytes bytes_;
};

// Field attributes as hosts write them.
constexpr std::uint8_t kUnprotected = 0x40, kUnprotectedMdt = 0xC1, kProtected = 0x60,
                       kProtectedBright = 0xE8, kNumeric = 0x50, kAutoskip = 0xF0, kHidden = 0x4C;
// WCCs: restore the keyboard (and reset the MDTs); sound the alarm.
constexpr std::uint8_t kWccRestore = 0xC3, kWccNone = 0x40, kWccAlarm = 0xC6;

// The five-byte header of an extended-protocol record.
Bytes Header(std::uint8_t dataType, std::uint8_t responseFlag = 0, std::uint16_t sequence = 0);
Bytes Concat(const Bytes& a, const Bytes& b);
inline std::string Hex(const Bytes& bytes) { return Hex(std::string(bytes.begin(), bytes.end())); }
// The text without its trailing blanks.
inline std::string Trim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

class Frame3270 final : public SessionFrame {
 public:
  bool visible = true;
  int screenChanges = 0;
  bool IsVisible(const CHostSession&) const override { return visible; }
  void CloseSession(CHostSession&) override {}
  void ScreenChanged(CHostSession&) override { ++screenChanges; }
  // A running script's Printer file, when a test sets one.
  OutputFileOverride* scriptPrinter = nullptr;
  OutputFileOverride* ScriptPrinterFile(CHostSession&) override { return scriptPrinter; }
};

struct SessionOptions {
  int port = 0;  // a host to connect to; 0: a loopback host negotiated here
  unsigned kind = kKind3279;
  int rows = 24, columns = 80;  // the profile's (alternate) size
  bool extended = false;        // negotiate the extended protocol, all functions
  std::uint32_t terminalOptions = 0;
  std::uint32_t displayOptions = 0;
  EngineFactory engines = {};  // unset: the plain 3270 engine
  // Printer sessions: profile settings and the printer thread.
  std::function<void(CCorvinaSessionProfile&)> setup = nullptr;
  printing::CPrinterThread* printer = nullptr;
};

// A session negotiated into 3270 mode with a loopback host (or with a host
// of its own). Records go to the engine directly or through the connection;
// what the session sends is caught synchronously.
class Session3270 : private SessionTraceSink {
 public:
  explicit Session3270(SessionOptions options = {});
  ~Session3270() override;

  CHostSession& S() { return *session_; }
  C3270Engine& E() { return *engine_; }
  const C3270PresentationSpace& Ps() { return engine_->Screen(); }
  platform::RecordingUserInterface& Ui() { return ui_; }
  platform::FakeClock& Clock() { return clock_; }
  Frame3270& Frame() { return frame_; }
  bool Ready() const { return engine_ != nullptr; }

  // Runs the event loop until done() or the time is up.
  bool RunUntil(const std::function<bool()>& done, int ms = 10000);
  // Ends the connection.
  void Close() { session_.reset(); }
  // Hands the record to the engine and sends what it queued.
  void Host(const Bytes& record);
  // Bytes sent since the last call.
  Bytes TakeSent();

  // The screen as drawn, row by row (UTF-8), and one row of it.
  std::vector<std::string> Screen();
  std::string Row(int row);
  int Position(int row, int column) const { return row * session_->Columns() + column; }

 private:
  void Entry(const TraceSource&, std::span<const std::uint8_t> bytes, char kind) override {
    if (kind == kTraceSent) sent_.insert(sent_.end(), bytes.begin(), bytes.end());
  }
  void Keystroke(const TraceSource&, int, unsigned) override {}

  platform::PollLoop loop_;
  platform::RecordingUserInterface ui_;
  platform::FakeClock clock_;
  Frame3270 frame_;
  LoopbackServer server_{loop_};
  std::unique_ptr<CHostSession> session_;
  C3270Engine* engine_ = nullptr;
  Bytes sent_;
};

}  // namespace corvina::test
