#include "Support5250.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "codepage/CodePage.h"
#include "session/TextCanvas.h"

namespace corvina::test {

Record5250::Record5250(std::uint8_t opcode) : bytes_{0, 0, 0x12, 0xA0, 0, 0, 0x04, 0, 0, opcode} {}

Record5250& Record5250::Byte(std::uint8_t b) {
  bytes_.push_back(b);
  return *this;
}

Record5250& Record5250::Bytes(std::initializer_list<std::uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes);
  return *this;
}

Record5250& Record5250::Sof(std::uint16_t ffw, int length, std::uint8_t attribute,
                            std::initializer_list<std::uint16_t> fcws) {
  Byte(0x1D);
  if (ffw != 0) Byte(static_cast<std::uint8_t>(ffw >> 8)).Byte(static_cast<std::uint8_t>(ffw));
  for (std::uint16_t w : fcws) Byte(static_cast<std::uint8_t>(w >> 8)).Byte(static_cast<std::uint8_t>(w));
  return Byte(attribute).Byte(static_cast<std::uint8_t>(length >> 8)).Byte(static_cast<std::uint8_t>(length));
}

Record5250& Record5250::Soh(std::initializer_list<std::uint8_t> bytes) {
  Byte(0x01).Byte(static_cast<std::uint8_t>(bytes.size()));
  return Bytes(bytes);
}

Record5250& Record5250::Text(std::string_view latin1) {
  const test::Bytes text = Ebcdic(latin1);
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  return *this;
}

test::Bytes Record5250::Data() const {
  test::Bytes r = bytes_;
  r[0] = static_cast<std::uint8_t>(r.size() >> 8);
  r[1] = static_cast<std::uint8_t>(r.size() & 0xFF);
  return r;
}

Bytes Ebcdic(std::string_view latin1) {
  static const CCorvinaCodePage codePage;
  Bytes out;
  for (char c : latin1) out.push_back(codePage.ToEbcdic(static_cast<std::uint8_t>(c)));
  return out;
}

Bytes Sent(const Bytes& data, std::uint8_t flags, std::uint8_t opcode) {
  Bytes record{0, 0, 0x12, 0xA0, 0, 0, 0x04, flags, 0, opcode};
  record.insert(record.end(), data.begin(), data.end());
  record[0] = static_cast<std::uint8_t>(record.size() >> 8);
  record[1] = static_cast<std::uint8_t>(record.size() & 0xFF);
  Bytes wire;
  for (std::uint8_t b : record) {
    wire.push_back(b);
    if (b == 0xFF) wire.push_back(b);
  }
  wire.insert(wire.end(), {0xFF, 0xEF});
  return wire;
}

Bytes Sent(std::initializer_list<std::uint8_t> data, std::uint8_t flags, std::uint8_t opcode) {
  return Sent(Bytes(data), flags, opcode);
}

Bytes Negative(std::uint32_t code, std::uint8_t opcode) {
  return Sent({static_cast<std::uint8_t>(code >> 24), static_cast<std::uint8_t>(code >> 16),
               static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)},
              0x80, opcode);
}

std::string Hex(const Bytes& bytes) {
  std::string s;
  char buf[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, s.empty() ? "%02X" : " %02X", b);
    s += buf;
  }
  return s;
}

Session5250::Session5250(Options5250 o) {
  auto profile = ProfileFor(server_.Port(), kKind5250);
  profile->rows = static_cast<std::uint16_t>(o.rows);
  profile->columns = static_cast<std::uint16_t>(o.columns);
  profile->telnetTerminalType = o.terminalType;
  profile->keyboardOptions = o.keyboardOptions;
  profile->terminalOptions = o.terminalOptions;
  profile->displayOptions = o.displayOptions;
  profile->editOptions = o.editOptions;
  profile->typeAheadBufferSize = static_cast<std::uint16_t>(o.typeAhead);
  SessionEnvironment env{loop_, ui_, clock_, frame_, [](unsigned mode) -> std::unique_ptr<TerminalEngine> {
                           if (mode == kKind5250) return std::make_unique<C5250Engine>();
                           return nullptr;
                         }};
  session_ = std::make_unique<CHostSession>(1, profile, env);
  auto run = [&](const std::function<bool()>& done) { return loop_.RunUntil(done, std::chrono::seconds(10)); };
  if (!session_->Connect() || !run([&] { return session_->State() == kSocketConnected && server_.Accepted() == 1; })) {
    ADD_FAILURE() << "no connection";
    return;
  }
  static constexpr char kNegotiation[] = "\xFF\xFD\x18\xFF\xFA\x18\x01\xFF\xF0"  // terminal type
                                         "\xFF\xFB\x19\xFF\xFD\x19"              // END-OF-RECORD
                                         "\xFF\xFB\x00\xFF\xFD\x00";             // BINARY
  server_.Send(std::string(kNegotiation, sizeof kNegotiation - 1));
  if (!run([&] { return session_->Mode() == kKind5250 && session_->Engine() != nullptr; })) {
    ADD_FAILURE() << "the session did not reach 5250 mode";
    return;
  }
  engine_ = dynamic_cast<C5250Engine*>(session_->Engine());
  session_->SetTrace(this);
}

Session5250::~Session5250() {
  if (session_) session_->SetTrace(nullptr);
}

void Session5250::Host(const Bytes& record) {
  engine_->ProcessRecord(record);
  session_->FlushOutput();
}

void Session5250::Key(int id) { session_->OnKeyFunction(id); }

void Session5250::Type(std::string_view text) {
  for (char c : text) session_->OnCharacter(static_cast<unsigned char>(c));
}

Bytes Session5250::TakeSent() {
  Bytes r;
  r.swap(sent_);
  return r;
}

std::vector<std::string> Session5250::Screen() {
  TextCanvas canvas;
  engine_->Paint(canvas);
  return canvas.Lines();
}

std::string Session5250::Row(int row) {
  const auto lines = Screen();
  std::string s = row >= 0 && row < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(row)] : "";
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

Bytes Session5250::Cells(int row) {
  Bytes cells;
  const int columns = engine_->Screen().Columns();
  for (int c = 0; c < columns; ++c) cells.push_back(engine_->Screen().At(row * columns + c));
  return cells;
}

Bytes Session5250::Cells(int row, int column, int count) {
  Bytes cells;
  for (int k = 0; k < count; ++k) cells.push_back(engine_->Screen().At(Position(row, column) + k));
  return cells;
}

}  // namespace corvina::test
