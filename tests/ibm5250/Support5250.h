// 5250 records written the way a host program writes them, the records a
// display sends back, and a 5250 session connected to a loopback host whose
// replies are caught as they are sent.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../session/TestSupport.h"
#include "ibm5250/Engine5250.h"
#include "session/SessionTrace.h"

namespace corvina::test {

using Bytes = std::vector<std::uint8_t>;

// One host record: the header with its operation code, then commands and
// orders; Data() fills in the length.
class Record5250 {
 public:
  explicit Record5250(std::uint8_t opcode = 3);
  Record5250& Byte(std::uint8_t b);
  Record5250& Bytes(std::initializer_list<std::uint8_t> bytes);
  Record5250& Command(std::uint8_t command) { return Byte(0x04).Byte(command); }
  Record5250& ClearUnit() { return Command(0x40); }
  Record5250& Wtd(std::uint8_t cc1 = 0x00, std::uint8_t cc2 = 0x08) { return Command(0x11).Byte(cc1).Byte(cc2); }
  // Orders, rows and columns from 1.
  Record5250& Sba(int row, int column) { return Byte(0x11).Byte(static_cast<std::uint8_t>(row)).Byte(static_cast<std::uint8_t>(column)); }
  Record5250& Ic(int row, int column) { return Byte(0x13).Byte(static_cast<std::uint8_t>(row)).Byte(static_cast<std::uint8_t>(column)); }
  Record5250& Mc(int row, int column) { return Byte(0x14).Byte(static_cast<std::uint8_t>(row)).Byte(static_cast<std::uint8_t>(column)); }
  // Start of Field; an ffw of 0 sends none (an output-only field).
  Record5250& Sof(std::uint16_t ffw, int length, std::uint8_t attribute = 0x24,
                  std::initializer_list<std::uint16_t> fcws = {});
  Record5250& Soh(std::initializer_list<std::uint8_t> bytes);
  Record5250& Text(std::string_view latin1);  // through the built-in code page
  Record5250& ReadMdt() { return Command(0x52).Byte(0).Byte(0); }
  Record5250& ReadInput() { return Command(0x42).Byte(0).Byte(0); }

  // The record with its length.
  test::Bytes Data() const;
  operator test::Bytes() const { return Data(); }

 private:
  test::Bytes bytes_;
};

// Field format words as hosts write them.
constexpr std::uint16_t kAlpha = 0x4000, kAlphaOnly = 0x4100, kNumericOnly = 0x4300, kDigitsOnly = 0x4500,
                        kIo = 0x4600, kSigned = 0x4700, kBypass = 0x2000, kDupOk = 0x1000, kMdt = 0x0800,
                        kAutoEnter = 0x0080, kFieldExitRequired = 0x0040, kMonocase = 0x0020,
                        kMandatoryEnter = 0x0008, kZeroFill = 0x0005, kBlankFill = 0x0006, kMandatoryFill = 0x0007;

// What a display sends: the header (with the host's last operation code
// and these flags), the data, IAC doubled and IAC EOR.
Bytes Sent(std::initializer_list<std::uint8_t> data, std::uint8_t flags = 0, std::uint8_t opcode = 3);
Bytes Sent(const Bytes& data, std::uint8_t flags = 0, std::uint8_t opcode = 3);
// An error response.
Bytes Negative(std::uint32_t code, std::uint8_t opcode = 3);
Bytes Ebcdic(std::string_view latin1);
std::string Hex(const Bytes& bytes);

class Frame5250 final : public SessionFrame {
 public:
  void CloseSession(CHostSession&) override {}
};

struct Options5250 {
  int rows = 24, columns = 80;  // the profile's (alternate) size
  std::string terminalType = "IBM-3179-2";
  std::uint32_t keyboardOptions = 0;
  std::uint32_t terminalOptions = 0;
  std::uint32_t displayOptions = 0;
  std::uint32_t editOptions = 1;
  int typeAhead = 16;
};

// A session negotiated into 5250 mode with a loopback host. Records go to
// the engine directly; what the session sends is caught synchronously.
class Session5250 : private SessionTraceSink {
 public:
  explicit Session5250(Options5250 options = {});
  ~Session5250() override;

  CHostSession& S() { return *session_; }
  C5250Engine& E() { return *engine_; }
  platform::RecordingUserInterface& Ui() { return ui_; }
  bool Ready() const { return engine_ != nullptr; }

  // Hands the record to the engine and sends what it queued.
  void Host(const Bytes& record);
  void Key(int id);
  void Type(std::string_view text);
  // Bytes sent since the last call.
  Bytes TakeSent();

  // The screen as drawn, row by row, and one row without trailing blanks.
  std::vector<std::string> Screen();
  std::string Row(int row);  // from 0
  // The raw cells of a row (from 0), or of count cells from a row and column (from 1).
  Bytes Cells(int row);
  Bytes Cells(int row, int column, int count);
  int Cursor() { return session_->Cursor(); }
  int Position(int row, int column) const { return (row - 1) * session_->Columns() + column - 1; }  // from 1

 private:
  void Entry(const TraceSource&, std::span<const std::uint8_t> bytes, char kind) override {
    if (kind == kTraceSent) sent_.insert(sent_.end(), bytes.begin(), bytes.end());
  }
  void Keystroke(const TraceSource&, int, unsigned) override {}

  platform::PollLoop loop_;
  platform::RecordingUserInterface ui_;
  platform::FakeClock clock_;
  Frame5250 frame_;
  LoopbackServer server_{loop_};
  std::unique_ptr<CHostSession> session_;
  C5250Engine* engine_ = nullptr;
  Bytes sent_;
};

}  // namespace corvina::test
