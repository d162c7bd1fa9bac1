// The Telnet layer of a session: assembles and answers IAC sequences.
// For now it completes commands by their length, refuses every option and
// passes data escapes through; negotiation comes on top of this interface.
#pragma once

#include <cstdint>
#include <vector>

namespace corvina {

class CHostSession;

namespace telnet {
constexpr std::uint8_t IAC = 0xFF, DONT = 0xFE, DO = 0xFD, WONT = 0xFC, WILL = 0xFB, SB = 0xFA,
                       SE = 0xF0, EOR = 0xEF, NOP = 0xF1;
}  // namespace telnet

class CTelnetLayer {
 public:
  // Longest IAC sequence kept; longer subnegotiations are dropped whole.
  static constexpr std::size_t kMaxCommand = 1024;

  explicit CTelnetLayer(CHostSession& session) : session_(session) {}

  // An IAC outside a command starts one.
  void BeginCommand();
  bool Assembling() const { return assembling_; }
  // Adds the next byte of the command; handles the command when it is
  // complete.
  void AddCommandByte(std::uint8_t b);

  // Clears every option flag and the negotiation state (connect, reconnect).
  void ResetOptions();

  bool TerminalTypeSent() const { return false; }
  bool RemoteBinary() const { return false; }
  bool RemoteEndOfRecord() const { return false; }

 private:
  void Dispatch();

  CHostSession& session_;
  std::vector<std::uint8_t> cmd_;
  bool assembling_ = false;
  bool overflow_ = false;     // subnegotiation too long: content dropped
  std::size_t iacRun_ = 0;    // IACs in a row at the end of a subnegotiation
};

}  // namespace corvina
