// The Telnet layer of a session: assembles and answers IAC sequences,
// negotiates terminal type, window size, NEW-ENVIRON and the extended 3270
// protocol (CorvinaE), decides when the session leaves line mode, and frames
// 3270 records with the CorvinaE header.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvina {

class CHostSession;

namespace telnet {
constexpr std::uint8_t IAC = 0xFF, DONT = 0xFE, DO = 0xFD, WONT = 0xFC, WILL = 0xFB, SB = 0xFA,
                       SE = 0xF0, EOR = 0xEF, NOP = 0xF1;
// Options.
constexpr std::uint8_t kBinary = 0, kEcho = 1, kSga = 3, kTimingMark = 6, kTerminalType = 24,
                       kEndOfRecord = 25, kNaws = 31, kLflow = 33, kNewEnviron = 39, kCorvinaE = 40;
// CorvinaE negotiation codes.
constexpr std::uint8_t kAssociate = 0, kConnect = 1, kDeviceType = 2, kFunctions = 3, kIs = 4,
                       kReject = 6, kRequest = 7, kSend = 8;
// CorvinaE functions (bit n of the functions set is function n).
constexpr std::uint8_t kFnBindImage = 0, kFnDataStreamCtl = 1, kFnResponses = 2, kFnScsCtlCodes = 3,
                       kFnSysReq = 4;
// CorvinaE data types.
constexpr std::uint8_t kData3270 = 0, kDataScs = 1, kDataResponse = 2, kDataBindImage = 3,
                       kDataUnbind = 4, kDataNvt = 5, kDataRequest = 6, kDataSscpLu = 7,
                       kDataPrintEoj = 8;
// Response flags.
constexpr std::uint8_t kNoResponse = 0, kErrorResponse = 1, kAlwaysResponse = 2;
// Negative response reasons.
constexpr std::uint8_t kReasonCommandReject = 0x00, kReasonOperationCheck = 0x02;
}  // namespace telnet

// CorvinaE states.
enum CorvinaEState : unsigned {
  kCorvinaEOff = 0,
  kCorvinaELuLu = 1,
  kCorvinaEDeviceType = 2,
  kCorvinaEFunctions = 3,
  kCorvinaENvt = 4,
  kCorvinaESscpLu = 5,
};

class CTelnetLayer {
 public:
  // Longest IAC sequence kept; longer subnegotiations are dropped whole.
  static constexpr std::size_t kMaxCommand = 1024;
  // Longest device name kept from the server.
  static constexpr std::size_t kMaxDeviceName = 64;

  struct RecordHeader {
    std::uint8_t dataType = 0;
    std::uint8_t requestFlag = 0;
    std::uint8_t responseFlag = 0;
    std::uint16_t sequence = 0;
  };

  // Takes the terminal type and LU list from the session's profile.
  explicit CTelnetLayer(CHostSession& session);

  // Command assembly: an IAC outside a command starts one; each later byte is
  // added until the command is complete and handled.
  void BeginCommand();
  bool Assembling() const { return assembling_; }
  void AddCommandByte(std::uint8_t b);

  // Clears every option flag, the terminal-type-sent flag, the flow-control
  // state and the CorvinaE state (connect, reconnect).
  void ResetOptions();

  // Option state.
  bool RemoteBinary() const { return remoteBinary_; }
  bool LocalBinary() const { return localBinary_; }
  bool RemoteEndOfRecord() const { return remoteEor_; }
  bool LocalEndOfRecord() const { return localEor_; }
  bool RemoteEcho() const { return remoteEcho_; }
  bool LocalEcho() const { return localEcho_; }
  bool TerminalTypeSent() const { return terminalTypeSent_; }
  std::uint16_t FlowControl() const { return flowControl_; }
  const std::string& TerminalTypeString() const { return terminalType_; }
  const std::string& AssignedDeviceName() const { return deviceName_; }

  // CorvinaE.
  unsigned CorvinaEState() const { return tn3270eState_; }
  void SetCorvinaEState(unsigned state) { tn3270eState_ = state; }
  std::uint32_t CorvinaEFunctions() const { return functions_; }
  bool FunctionAgreed(std::uint8_t fn) const { return (functions_ >> fn) & 1u; }
  const std::vector<std::uint8_t>& BindImage() const { return bindImage_; }
  void SetBindImage(std::span<const std::uint8_t> image) { bindImage_.assign(image.begin(), image.end()); }
  void ClearBindImage() { bindImage_.clear(); }
  // The header of the last inbound record.
  const RecordHeader& InboundHeader() const { return inbound_; }
  // In every CorvinaE state but 0, takes the five header bytes off the front
  // of an inbound record and keeps them. False (record untouched) when the
  // record is shorter than a header; true with nothing taken in state 0.
  bool TakeInboundHeader(std::span<const std::uint8_t>& record);
  // Queues the header of an outbound record (nothing in state 0).
  void QueueHeader(std::uint8_t dataType, std::uint8_t responseFlag);
  // After a command completed: a positive response when the host asked for
  // one. After a data-stream error: a negative response, or without CorvinaE
  // the error report bytes.
  void SendPositiveResponse();
  void SendNegativeResponse(std::uint8_t reason);

  // 3270 keys that speak Telnet.
  void SendAttn();
  // True when the SSCP-LU/LU-LU state toggled: the caller resets the screen.
  bool SendSysReq();
  void SendTestRequest();

 private:
  void Dispatch();
  void OnWill(std::uint8_t option);
  void OnWont(std::uint8_t option);
  void OnDo(std::uint8_t option);
  void OnDont(std::uint8_t option);
  void OnSubnegotiation(std::span<const std::uint8_t> body);
  void Reply(std::uint8_t verb, std::uint8_t option);
  void SendWindowSize();
  void TerminalTypeRequest();
  void SendTerminalType();
  void NewEnvironRequest(std::span<const std::uint8_t> body);
  void CorvinaESubnegotiation(std::span<const std::uint8_t> body);
  void SendDeviceTypeRequest();
  void RefuseCorvinaE();
  void EndCorvinaE();
  std::string TakeLu(const char* delimiters);
  void ReloadLuList();
  std::vector<std::uint8_t> KeyString(const char* key, const char* def, const char* message);
  std::vector<std::uint8_t> HeaderBytes(std::uint8_t dataType, std::uint8_t responseFlag);

  CHostSession& session_;
  std::vector<std::uint8_t> cmd_;
  bool assembling_ = false;
  bool overflow_ = false;
  std::size_t iacRun_ = 0;

  bool remoteBinary_ = false, localBinary_ = false;
  bool remoteEor_ = false, localEor_ = false;
  bool remoteEcho_ = false, localEcho_ = false;
  bool remoteSga_ = false, localSga_ = false;
  bool naws_ = false, timingMark_ = false;
  // Options agreed once are not answered again (RFC 1143), so a peer that
  // repeats itself neither loops with us nor resets a running session.
  bool remoteTtype_ = false, localTtype_ = false, localLflow_ = false, localEnviron_ = false;
  bool remoteCorvinaE_ = false, localCorvinaE_ = false;
  // BINARY and END-OF-RECORD that came with the CorvinaE functions, not by
  // negotiation of their own; falling back to plain Corvina drops them.
  bool impliedBinary_ = false, impliedEor_ = false;
  bool terminalTypeSent_ = false;
  std::uint16_t flowControl_ = 0;
  std::string terminalType_;
  std::string luList_;
  std::string deviceName_;

  unsigned tn3270eState_ = kCorvinaEOff;
  std::uint32_t functions_ = 0;
  RecordHeader inbound_;
  std::uint16_t outboundSequence_ = 0;
  std::vector<std::uint8_t> bindImage_;
};

}  // namespace corvina
