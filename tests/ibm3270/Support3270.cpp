#include "Support3270.h"

#include <gtest/gtest.h>

#include "codepage/CodePage.h"
#include "ibm3270/Printer3270.h"
#include "session/TextCanvas.h"

namespace corvina::test {

namespace {

// The 3270 six-bit address codes, written out as host programmers list them.
constexpr std::uint8_t kSixBitCodes[64] = {
    0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F};

}  // namespace

HostRecord& HostRecord::Byte(std::uint8_t b) {
  bytes_.push_back(b);
  return *this;
}

HostRecord& HostRecord::Address(int position) {
  if (position < 4096) {
    bytes_.push_back(kSixBitCodes[position / 64]);
    bytes_.push_back(kSixBitCodes[position % 64]);
  } else {
    bytes_.push_back(static_cast<std::uint8_t>(position >> 8));
    bytes_.push_back(static_cast<std::uint8_t>(position & 0xFF));
  }
  return *this;
}

HostRecord& HostRecord::Sba(int position) { return Byte(0x11).Address(position); }

HostRecord& HostRecord::Sba14(int position) {
  return Byte(0x11).Byte(static_cast<std::uint8_t>(position >> 8)).Byte(static_cast<std::uint8_t>(position & 0xFF));
}

HostRecord& HostRecord::Sf(std::uint8_t attribute) { return Byte(0x1D).Byte(attribute); }

HostRecord& HostRecord::Sfe(Pairs pairs) {
  Byte(0x29).Byte(static_cast<std::uint8_t>(pairs.size()));
  for (auto [type, value] : pairs) Byte(type).Byte(value);
  return *this;
}

HostRecord& HostRecord::Mf(Pairs pairs) {
  Byte(0x2C).Byte(static_cast<std::uint8_t>(pairs.size()));
  for (auto [type, value] : pairs) Byte(type).Byte(value);
  return *this;
}

HostRecord& HostRecord::Sa(std::uint8_t type, std::uint8_t value) { return Byte(0x28).Byte(type).Byte(value); }
HostRecord& HostRecord::Ic() { return Byte(0x13); }
HostRecord& HostRecord::Pt() { return Byte(0x05); }
HostRecord& HostRecord::Ra(int stop, std::uint8_t ebcdic) { return Byte(0x3C).Address(stop).Byte(ebcdic); }
HostRecord& HostRecord::RaGe(int stop, std::uint8_t code) { return Byte(0x3C).Address(stop).Byte(0x08).Byte(code); }
HostRecord& HostRecord::Eua(int stop) { return Byte(0x12).Address(stop); }
HostRecord& HostRecord::Ge(std::uint8_t code) { return Byte(0x08).Byte(code); }

HostRecord& HostRecord::Text(std::string_view latin1) {
  static const CCorvinaCodePage codePage;
  for (char c : latin1) bytes_.push_back(codePage.ToEbcdic(static_cast<std::uint8_t>(c)));
  return *this;
}

Bytes Header(std::uint8_t dataType, std::uint8_t responseFlag, std::uint16_t sequence) {
  return {dataType, 0, responseFlag, static_cast<std::uint8_t>(sequence >> 8),
          static_cast<std::uint8_t>(sequence & 0xFF)};
}

Bytes Concat(const Bytes& a, const Bytes& b) {
  Bytes r = a;
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

Session3270::Session3270(SessionOptions o) {
  auto profile = ProfileFor(o.port != 0 ? o.port : server_.Port(), o.kind);
  profile->rows = static_cast<std::uint16_t>(o.rows);
  profile->columns = static_cast<std::uint16_t>(o.columns);
  profile->terminalOptions = o.terminalOptions;
  profile->displayOptions = o.displayOptions;
  if (o.setup) o.setup(*profile);
  EngineFactory engines = o.engines ? o.engines : [](unsigned mode) -> std::unique_ptr<TerminalEngine> {
    if (mode == kKind3278 || mode == kKind3279) return std::make_unique<C3270Engine>();
    if (mode == kKind3270Printer) return std::make_unique<C3270PrinterEngine>();
    return nullptr;
  };
  SessionEnvironment env{loop_, ui_, clock_, frame_, engines};
  env.printer = o.printer;
  session_ = std::make_unique<CHostSession>(1, profile, env);
  if (!session_->Connect() ||
      !RunUntil([&] { return session_->State() == kSocketConnected && (o.port != 0 || server_.Accepted() == 1); })) {
    ADD_FAILURE() << "no connection";
    return;
  }
  std::string host;
  if (o.extended) {
    static constexpr char kExtended[] = "\xFF\xFD\x28"                                          // DO extended protocol
                                        "\xFF\xFA\x28\x08\x02\xFF\xF0"                         // SEND DEVICE-TYPE
                                        "\xFF\xFA\x28\x02\x04IBM-3278-2-E\x01TERM0001\xFF\xF0"  // DEVICE-TYPE IS
                                        "\xFF\xFA\x28\x03\x04\x00\x01\x02\x03\x04\xFF\xF0";    // FUNCTIONS IS
    host.assign(kExtended, sizeof kExtended - 1);
  } else {
    static constexpr char kPlain[] = "\xFF\xFD\x18\xFF\xFA\x18\x01\xFF\xF0"  // terminal type
                                     "\xFF\xFB\x19\xFF\xFD\x19"              // END-OF-RECORD
                                     "\xFF\xFB\x00\xFF\xFD\x00";             // BINARY
    host.assign(kPlain, sizeof kPlain - 1);
  }
  if (o.port == 0) server_.Send(host);
  if (!RunUntil([&] { return session_->Mode() == o.kind && session_->Engine() != nullptr; })) {
    ADD_FAILURE() << "the session did not reach 3270 mode";
    return;
  }
  engine_ = dynamic_cast<C3270Engine*>(session_->Engine());
  session_->SetTrace(this);
}

Session3270::~Session3270() {
  if (session_) session_->SetTrace(nullptr);
}

bool Session3270::RunUntil(const std::function<bool()>& done, int ms) {
  return loop_.RunUntil(done, std::chrono::milliseconds(ms));
}

void Session3270::Host(const Bytes& record) {
  engine_->ProcessRecord(record);
  session_->FlushOutput();
}

Bytes Session3270::TakeSent() {
  Bytes r;
  r.swap(sent_);
  return r;
}

std::vector<std::string> Session3270::Screen() {
  TextCanvas canvas;
  engine_->Paint(canvas);
  return canvas.Lines();
}

std::string Session3270::Row(int row) {
  auto lines = Screen();
  return row >= 0 && row < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(row)] : std::string();
}

}  // namespace corvina::test
