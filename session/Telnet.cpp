#include "session/Telnet.h"

#include <algorithm>

#include "config/TerminalTypes.h"
#include "platform/Format.h"
#include "session/HostSession.h"
#include "session/SessionTexts.h"

namespace corvina {

using namespace telnet;

namespace {

constexpr std::uint8_t kTerminalTypeIs = 0;
// NEW-ENVIRON codes.
constexpr std::uint8_t kEnvIs = 0, kEnvVar = 0, kEnvValue = 1, kEnvEsc = 2, kEnvUserVar = 3;

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool EndsWith(const std::string& s, const char* suffix) {
  std::size_t n = std::char_traits<char>::length(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Appends subnegotiation data, doubling IAC.
void AppendEscaped(std::vector<std::uint8_t>& out, const std::string& text) {
  for (char ch : text) {
    auto b = static_cast<std::uint8_t>(ch);
    out.push_back(b);
    if (b == IAC) out.push_back(IAC);
  }
}

// Appends a NEW-ENVIRON name or value: its own codes escaped with ESC.
void AppendEnvText(std::vector<std::uint8_t>& out, const std::string& text) {
  for (char ch : text) {
    auto b = static_cast<std::uint8_t>(ch);
    if (b == kEnvVar || b == kEnvValue || b == kEnvEsc || b == kEnvUserVar) out.push_back(kEnvEsc);
    out.push_back(b);
    if (b == IAC) out.push_back(IAC);
  }
}

bool ParseHex(const std::string& text, std::vector<std::uint8_t>* out) {
  if (text.empty() || text.size() % 2 != 0) return false;
  out->clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int v = 0;
    for (std::size_t k = i; k < i + 2; ++k) {
      char c = text[k];
      int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
      if (d < 0) return false;
      v = v * 16 + d;
    }
    out->push_back(static_cast<std::uint8_t>(v));
  }
  return true;
}

}  // namespace

CTelnetLayer::CTelnetLayer(CHostSession& session) : session_(session) {
  terminalType_ = session.Profile().telnetTerminalType;
  luList_ = session.Profile().luName;
}

// ------------------------------------------------------------ command assembly

void CTelnetLayer::BeginCommand() {
  cmd_.assign(1, IAC);
  assembling_ = true;
  overflow_ = false;
  iacRun_ = 0;
}

void CTelnetLayer::AddCommandByte(std::uint8_t b) {
  if (!assembling_) return;
  if (cmd_.size() < kMaxCommand)
    cmd_.push_back(b);
  else
    overflow_ = true;
  if (cmd_.size() == 2 && !overflow_) {
    if (b == SB || (b >= WILL && b <= DONT)) return;  // more bytes follow
    Dispatch();
    return;
  }
  std::uint8_t verb = cmd_[1];
  if (verb >= WILL && verb <= DONT) {
    Dispatch();
    return;
  }
  // Subnegotiation: it ends at an SE that follows an odd run of IACs (an
  // even run is escaped 0xFF data). The option byte is not data, but an IAC
  // there may begin the IAC SE of an empty subnegotiation.
  if (cmd_.size() == 3 && !overflow_ && b != IAC) return;
  if (b == IAC) {
    ++iacRun_;
    return;
  }
  bool end = b == SE && (iacRun_ % 2) == 1;
  iacRun_ = 0;
  if (end) Dispatch();
}

void CTelnetLayer::Dispatch() {
  assembling_ = false;
  if (overflow_) {
    cmd_.clear();
    session_.ShowStatus(platform::Format(texts::kCommandTooLong, kMaxCommand));
    return;
  }
  std::vector<std::uint8_t> cmd;
  cmd.swap(cmd_);
  std::uint8_t verb = cmd[1];
  switch (verb) {
    case WILL:
      OnWill(cmd[2]);
      break;
    case WONT:
      OnWont(cmd[2]);
      break;
    case DO:
      OnDo(cmd[2]);
      break;
    case DONT:
      OnDont(cmd[2]);
      break;
    case SB: {
      // Body without IAC SB and the closing IAC SE, with doubled IACs undone.
      std::vector<std::uint8_t> body;
      for (std::size_t i = 2; i + 2 < cmd.size(); ++i) {
        body.push_back(cmd[i]);
        if (cmd[i] == IAC && i + 3 < cmd.size() && cmd[i + 1] == IAC) ++i;
      }
      OnSubnegotiation(body);
      break;
    }
    case EOR:
      if (remoteEor_) session_.DeliverRecord();
      break;
    default:
      if (verb < EOR || verb == IAC) session_.CommandAsData(verb);
      break;  // NOP, SE and the other commands are ignored
  }
}

void CTelnetLayer::Reply(std::uint8_t verb, std::uint8_t option) {
  const std::uint8_t r[] = {IAC, verb, option};
  session_.QueueOutput(r);
}

void CTelnetLayer::ResetOptions() {
  assembling_ = overflow_ = false;
  cmd_.clear();
  remoteBinary_ = localBinary_ = remoteEor_ = localEor_ = false;
  remoteEcho_ = localEcho_ = remoteSga_ = localSga_ = false;
  naws_ = timingMark_ = false;
  remoteTtype_ = localTtype_ = localLflow_ = localEnviron_ = false;
  remoteCorvinaE_ = localCorvinaE_ = impliedBinary_ = impliedEor_ = false;
  terminalTypeSent_ = false;
  flowControl_ = 0;
  tn3270eState_ = kCorvinaEOff;
  functions_ = 0;
  inbound_ = RecordHeader{};
  outboundSequence_ = 0;
  bindImage_.clear();
  deviceName_.clear();
}

// ---------------------------------------------------------- option negotiation

void CTelnetLayer::OnWill(std::uint8_t option) {
  unsigned kind = session_.ConfiguredKind();
  switch (option) {
    case kBinary:
      if (remoteBinary_) break;
      if (kind >= 256) {
        Reply(DONT, option);
        break;
      }
      remoteBinary_ = true;
      Reply(DO, option);
      session_.SwitchToConfiguredKind();
      break;
    case kEcho:
      if (remoteEcho_) break;
      if (localEcho_) {
        Reply(DONT, option);
        break;
      }
      remoteEcho_ = true;
      Reply(DO, option);
      break;
    case kSga:
      if (remoteSga_) break;
      remoteSga_ = true;
      Reply(DO, option);
      break;
    case kTerminalType:
      if (remoteTtype_) break;
      remoteTtype_ = true;
      Reply(DO, option);
      break;
    case kEndOfRecord:
      if (remoteEor_) break;
      remoteEor_ = true;
      Reply(DO, option);
      session_.SwitchToConfiguredKind();
      break;
    case kCorvinaE:
      if (remoteCorvinaE_) break;
      // The profile's "Disable CorvinaE" holds whichever side offers it first.
      if (Is3270Family(kind) && !(session_.Profile().terminalOptions & kTermDisableCorvinaE)) {
        remoteCorvinaE_ = true;
        if (tn3270eState_ == kCorvinaEOff) tn3270eState_ = kCorvinaEDeviceType;
        Reply(DO, option);
      } else {
        Reply(DONT, option);
      }
      break;
    default:
      Reply(DONT, option);
      break;
  }
}

void CTelnetLayer::OnWont(std::uint8_t option) {
  switch (option) {
    case kBinary:
      if (!remoteBinary_) break;
      remoteBinary_ = false;
      Reply(DONT, option);
      session_.ResetToNvt();
      break;
    case kEcho:
      if (!remoteEcho_) break;
      remoteEcho_ = false;
      Reply(DONT, option);
      break;
    case kSga:
      if (!remoteSga_) break;
      remoteSga_ = false;
      Reply(DONT, option);
      break;
    case kEndOfRecord:
      if (!remoteEor_) break;
      remoteEor_ = false;
      Reply(DONT, option);
      session_.ResetToNvt();
      break;
    case kTerminalType:
      if (!remoteTtype_) break;
      remoteTtype_ = false;
      Reply(DONT, option);
      break;
    case kCorvinaE:
      if (remoteCorvinaE_) {
        remoteCorvinaE_ = false;
        Reply(DONT, option);
      }
      if (tn3270eState_ != kCorvinaEOff) EndCorvinaE();
      break;
    default:
      break;  // already off: an answer would only start a loop
  }
}

void CTelnetLayer::OnDo(std::uint8_t option) {
  unsigned kind = session_.ConfiguredKind();
  switch (option) {
    case kBinary:
      if (localBinary_) break;
      if (kind >= 256) {
        Reply(WONT, option);
        break;
      }
      localBinary_ = true;
      Reply(WILL, option);
      session_.SwitchToConfiguredKind();
      break;
    case kEcho:
      if (localEcho_) break;
      if (remoteEcho_) {
        Reply(WONT, option);
        break;
      }
      localEcho_ = true;
      Reply(WILL, option);
      break;
    case kSga:
      if (localSga_) break;
      localSga_ = true;
      Reply(WILL, option);
      break;
    case kTimingMark:
      // A request for a mark, answered every time (it turns nothing on).
      timingMark_ = true;
      Reply(WILL, option);
      break;
    case kTerminalType:
      if (localTtype_) break;
      localTtype_ = true;
      Reply(WILL, option);
      break;
    case kLflow:
      if (localLflow_) break;
      localLflow_ = true;
      Reply(WILL, option);
      break;
    case kEndOfRecord:
      if (localEor_) break;
      localEor_ = true;
      Reply(WILL, option);
      session_.SwitchToConfiguredKind();
      break;
    case kNaws:
      // Asked again: the size goes again, the agreement is not repeated.
      if (!naws_) Reply(WILL, option);
      naws_ = true;
      SendWindowSize();
      break;
    case kNewEnviron:
      if (localEnviron_) break;
      localEnviron_ = kind == kKind5250 && !luList_.empty();
      Reply(localEnviron_ ? WILL : WONT, option);
      break;
    case kCorvinaE:
      if (localCorvinaE_) break;
      if (Is3270Family(kind) && !(session_.Profile().terminalOptions & kTermDisableCorvinaE)) {
        localCorvinaE_ = true;
        if (tn3270eState_ == kCorvinaEOff) tn3270eState_ = kCorvinaEDeviceType;
        Reply(WILL, option);
      } else {
        Reply(WONT, option);
      }
      break;
    default:
      Reply(WONT, option);
      break;
  }
}

void CTelnetLayer::OnDont(std::uint8_t option) {
  switch (option) {
    case kBinary:
      if (!localBinary_) break;
      localBinary_ = false;
      Reply(WONT, option);
      session_.ResetToNvt();
      break;
    case kEcho:
      if (!localEcho_) break;
      localEcho_ = false;
      Reply(WONT, option);
      break;
    case kSga:
      if (!localSga_) break;
      localSga_ = false;
      Reply(WONT, option);
      break;
    case kTimingMark:
      if (!timingMark_) break;
      timingMark_ = false;
      Reply(WONT, option);
      break;
    case kEndOfRecord:
      if (!localEor_) break;
      localEor_ = false;
      Reply(WONT, option);
      session_.ResetToNvt();
      break;
    case kNaws:
      if (!naws_) break;
      naws_ = false;
      Reply(WONT, option);
      break;
    case kTerminalType:
      if (!localTtype_) break;
      localTtype_ = false;
      Reply(WONT, option);
      break;
    case kLflow:
      if (!localLflow_) break;
      localLflow_ = false;
      Reply(WONT, option);
      break;
    case kNewEnviron:
      if (!localEnviron_) break;
      localEnviron_ = false;
      Reply(WONT, option);
      break;
    case kCorvinaE:
      if (localCorvinaE_) {
        localCorvinaE_ = false;
        Reply(WONT, option);
      }
      if (tn3270eState_ != kCorvinaEOff) EndCorvinaE();
      break;
    default:
      break;  // already off: an answer would only start a loop
  }
}

void CTelnetLayer::SendWindowSize() {
  std::vector<std::uint8_t> out = {IAC, SB, kNaws};
  for (int v : {session_.AlternateColumns(), session_.AlternateRows()}) {
    for (std::uint8_t b : {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v & 0xFF)}) {
      out.push_back(b);
      if (b == IAC) out.push_back(IAC);
    }
  }
  out.push_back(IAC);
  out.push_back(SE);
  session_.QueueOutput(out);
}

// ---------------------------------------------------------- subnegotiations

void CTelnetLayer::OnSubnegotiation(std::span<const std::uint8_t> body) {
  if (body.empty()) return;
  switch (body[0]) {
    case kLflow:
      if (body.size() > 1) flowControl_ = body[1];
      break;
    case kTerminalType:
      TerminalTypeRequest();
      break;
    case kNewEnviron:
      NewEnvironRequest(body.size() > 2 ? body.subspan(2) : std::span<const std::uint8_t>());
      break;
    case kCorvinaE:
      CorvinaESubnegotiation(body.subspan(1));
      break;
    default:
      break;
  }
}

std::string CTelnetLayer::TakeLu(const char* delimiters) {
  if (luList_.empty()) return {};
  std::size_t at = luList_.find_first_of(delimiters);
  std::string name;
  if (at == std::string::npos) {
    name.swap(luList_);
  } else {
    name = luList_.substr(0, at);
    luList_.erase(0, at + 1);
  }
  return name;
}

void CTelnetLayer::ReloadLuList() { luList_ = session_.Profile().luName; }

void CTelnetLayer::TerminalTypeRequest() {
  unsigned kind = session_.ConfiguredKind();
  if (!terminalTypeSent_) {
    terminalTypeSent_ = true;
    if (Is3270Family(kind) || Is5250Family(kind))
      session_.SwitchToConfiguredKind();
    else if (kind == kKindVt100 || kind == kKindVt220)
      session_.SetMode(kind);
    ReloadLuList();
    SendTerminalType();
    return;
  }
  const std::string& profileLu = session_.Profile().luName;
  if (Is3270Family(kind) && !profileLu.empty() && luList_ != profileLu) {
    bool last = luList_.empty();
    SendTerminalType();
    if (last) ReloadLuList();
    return;
  }
  // The host refused the type: offer a plainer one.
  if (StartsWith(terminalType_, "IBM-327") && EndsWith(terminalType_, "-E")) {
    terminalType_.resize(terminalType_.size() - 2);
    session_.SetConfiguredKind(kKind3278);
    // A 3270 engine already running restarts as the plainer kind.
    if (Is3270Family(session_.Mode())) session_.SwitchToConfiguredKind();
    ReloadLuList();
    SendTerminalType();
  } else if (StartsWith(terminalType_, "DEC-")) {
    terminalType_.erase(0, 4);
    SendTerminalType();
  } else {
    SendTerminalType();
    session_.ResetToNvt();
  }
}

void CTelnetLayer::SendTerminalType() {
  std::vector<std::uint8_t> out = {IAC, SB, kTerminalType, kTerminalTypeIs};
  AppendEscaped(out, terminalType_);
  if (Is3270Family(session_.ConfiguredKind()) && !luList_.empty()) {
    out.push_back('@');
    AppendEscaped(out, TakeLu(";"));
  }
  out.push_back(IAC);
  out.push_back(SE);
  session_.QueueOutput(out);
}

void CTelnetLayer::NewEnvironRequest(std::span<const std::uint8_t> entries) {
  std::vector<std::uint8_t> out = {IAC, SB, kNewEnviron, kEnvIs};
  auto devName = [this] {
    std::string name = TakeLu(",;");
    if (luList_.empty()) luList_ = name;  // the last name repeats
    return name;
  };
  auto answer = [&out](std::uint8_t type, const std::string& name, const std::string& value) {
    out.push_back(type);
    AppendEnvText(out, name);
    out.push_back(kEnvValue);
    AppendEnvText(out, value);
  };
  bool sendAll = true;
  std::size_t i = 0;
  while (i < entries.size()) {
    std::uint8_t type = entries[i++];
    if (type != kEnvVar && type != kEnvUserVar) continue;  // stray byte
    std::string name;
    while (i < entries.size() && entries[i] != kEnvVar && entries[i] != kEnvUserVar) {
      if (entries[i] == kEnvEsc && i + 1 < entries.size()) ++i;
      name.push_back(static_cast<char>(entries[i++]));
    }
    if (name.empty()) {
      if (type == kEnvUserVar) sendAll = true;
      continue;
    }
    sendAll = false;
    if (type == kEnvVar)
      answer(kEnvVar, name, "");
    else if (name == "DEVNAME")
      answer(kEnvUserVar, name, devName());
    else if (StartsWith(name, "IBMRSEED"))
      answer(kEnvUserVar, "IBMRSEED", "");
    else
      answer(kEnvUserVar, name, "");
  }
  if (sendAll) answer(kEnvUserVar, "DEVNAME", devName());
  out.push_back(IAC);
  out.push_back(SE);
  session_.QueueOutput(out);
}

// ------------------------------------------------------------------ CorvinaE

void CTelnetLayer::CorvinaESubnegotiation(std::span<const std::uint8_t> m) {
  auto functionList = [](std::span<const std::uint8_t> codes) {
    std::uint32_t set = 0;
    for (std::uint8_t c : codes)
      if (c <= kFnSysReq) set |= 1u << c;
    return set;
  };
  auto functionsAgreed = [this] {
    impliedBinary_ = impliedBinary_ || !remoteBinary_;
    impliedEor_ = impliedEor_ || !remoteEor_;
    remoteBinary_ = remoteEor_ = true;
    session_.SwitchToConfiguredKind();
    tn3270eState_ = FunctionAgreed(kFnBindImage) ? kCorvinaESscpLu : kCorvinaELuLu;
  };
  if (tn3270eState_ == kCorvinaEDeviceType && m.size() >= 2 && m[0] == kDeviceType && m[1] == kIs) {
    auto connect = std::find(m.begin() + 2, m.end(), kConnect);
    deviceName_.clear();
    if (connect != m.end())
      for (auto it = connect + 1; it != m.end() && deviceName_.size() < kMaxDeviceName; ++it)
        deviceName_.push_back(static_cast<char>(*it));
    const std::uint8_t request[] = {IAC, SB, kCorvinaE, kFunctions, kRequest, kFnBindImage, kFnResponses,
                                    kFnSysReq, kFnDataStreamCtl, kFnScsCtlCodes, IAC, SE};
    session_.QueueOutput(request);
    functions_ = 0x1F;
    tn3270eState_ = kCorvinaEFunctions;
    return;
  }
  if (tn3270eState_ == kCorvinaEDeviceType && m.size() >= 2 && m[0] == kDeviceType && m[1] == kReject &&
      !luList_.empty()) {
    SendDeviceTypeRequest();
    return;
  }
  if (tn3270eState_ == kCorvinaEDeviceType && m.size() >= 2 && m[0] == kSend && m[1] == kDeviceType) {
    ReloadLuList();
    SendDeviceTypeRequest();
    terminalTypeSent_ = true;
    return;
  }
  if (tn3270eState_ == kCorvinaEFunctions && m.size() >= 2 && m[0] == kFunctions && m[1] == kIs) {
    // The host's list is what was agreed.
    functions_ = functionList(m.subspan(2));
    functionsAgreed();
    return;
  }
  if (tn3270eState_ == kCorvinaEFunctions && m.size() >= 2 && m[0] == kFunctions && m[1] == kRequest) {
    auto codes = m.subspan(2);
    functions_ = functionList(codes);
    bool allKnown = std::all_of(codes.begin(), codes.end(), [](std::uint8_t c) { return c <= kFnSysReq; });
    std::vector<std::uint8_t> out = {IAC, SB, kCorvinaE, kFunctions, allKnown ? kIs : kRequest};
    for (std::uint8_t c : codes)
      if (c <= kFnSysReq) out.push_back(c);
    out.push_back(IAC);
    out.push_back(SE);
    session_.QueueOutput(out);
    if (allKnown) functionsAgreed();
    return;
  }
  RefuseCorvinaE();
}

void CTelnetLayer::SendDeviceTypeRequest() {
  unsigned kind = session_.ConfiguredKind();
  if (!CCorvinaTerminalTypes::IsBuiltIn(kind, session_.AlternateRows(), session_.AlternateColumns()))
    terminalType_ = "IBM-DYNAMIC";
  std::vector<std::uint8_t> out = {IAC, SB, kCorvinaE, kDeviceType, kRequest};
  AppendEscaped(out, terminalType_);
  if (Is3270Family(kind) && !luList_.empty()) {
    out.push_back((session_.Profile().terminalOptions & kTermCorvinaEAssociate) ? kAssociate : kConnect);
    AppendEscaped(out, TakeLu(";"));
  }
  out.push_back(IAC);
  out.push_back(SE);
  session_.QueueOutput(out);
}

void CTelnetLayer::RefuseCorvinaE() {
  Reply(WONT, kCorvinaE);
  localCorvinaE_ = false;
  EndCorvinaE();
}

void CTelnetLayer::EndCorvinaE() {
  tn3270eState_ = kCorvinaEOff;
  terminalType_ = session_.Profile().telnetTerminalType;
  terminalTypeSent_ = false;
  if (impliedBinary_ || impliedEor_) {
    // Plain Corvina negotiates BINARY and END-OF-RECORD itself: they must be
    // off for the host's WILL to be answered, and the 3270 engine waits.
    if (impliedBinary_) remoteBinary_ = false;
    if (impliedEor_) remoteEor_ = false;
    impliedBinary_ = impliedEor_ = false;
    session_.ResetToNvt();
  }
}

// ----------------------------------------------------------- record headers

bool CTelnetLayer::TakeInboundHeader(std::span<const std::uint8_t>& record) {
  if (tn3270eState_ == kCorvinaEOff) return true;
  if (record.size() < 5) return false;
  inbound_ = RecordHeader{record[0], record[1], record[2],
                          static_cast<std::uint16_t>(record[3] << 8 | record[4])};
  record = record.subspan(5);
  return true;
}

std::vector<std::uint8_t> CTelnetLayer::HeaderBytes(std::uint8_t dataType, std::uint8_t responseFlag) {
  std::uint16_t seq = 0;
  if (dataType == kDataResponse) {
    seq = inbound_.sequence;
  } else if (dataType == kData3270) {
    seq = outboundSequence_;
    if (FunctionAgreed(kFnResponses)) ++outboundSequence_;
  }
  std::vector<std::uint8_t> out;
  for (std::uint8_t b : {dataType, std::uint8_t{0}, responseFlag, static_cast<std::uint8_t>(seq >> 8),
                         static_cast<std::uint8_t>(seq & 0xFF)}) {
    out.push_back(b);
    if (b == IAC) out.push_back(IAC);
  }
  return out;
}

void CTelnetLayer::QueueHeader(std::uint8_t dataType, std::uint8_t responseFlag) {
  if (tn3270eState_ == kCorvinaEOff) return;
  session_.QueueOutput(HeaderBytes(dataType, responseFlag));
}

void CTelnetLayer::SendPositiveResponse() {
  if (tn3270eState_ == kCorvinaEOff || inbound_.responseFlag != kAlwaysResponse ||
      !FunctionAgreed(kFnResponses))
    return;
  QueueHeader(kDataResponse, 0);
  const std::uint8_t tail[] = {0x00, IAC, EOR};
  session_.QueueOutput(tail);
}

void CTelnetLayer::SendNegativeResponse(std::uint8_t reason) {
  std::vector<std::uint8_t> out;
  if (tn3270eState_ != kCorvinaEOff) {
    if (inbound_.responseFlag == kNoResponse || !FunctionAgreed(kFnResponses)) return;
    out = HeaderBytes(kDataResponse, 1);
    out.push_back(reason);
  } else {
    std::uint8_t status = reason == kReasonCommandReject ? 0x03 : 0x05;
    out = {0x01, 0x6C, 0xD9, 0x10, status};
  }
  out.push_back(IAC);
  out.push_back(EOR);
  session_.SendRaw(out);
}

// ------------------------------------------------------------ Attn, SysReq

std::vector<std::uint8_t> CTelnetLayer::KeyString(const char* key, const char* def, const char* message) {
  std::string value;
  if (const platform::IniFile* settings = session_.Settings()) value = settings->GetString("3270", key);
  std::vector<std::uint8_t> bytes;
  if (value.empty() || !ParseHex(value, &bytes)) {
    if (!value.empty())
      session_.Ui().MessageBox(platform::Format(message, value.c_str(), def), texts::kCaption,
                               platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Warning);
    ParseHex(def, &bytes);
  }
  return bytes;
}

void CTelnetLayer::SendAttn() {
  bool e = tn3270eState_ != kCorvinaEOff;
  session_.SendRaw(KeyString("AttnKeyString", e ? "FFF4" : "FFF3", texts::kAttnKeyStringInvalid));
}

bool CTelnetLayer::SendSysReq() {
  bool e = tn3270eState_ != kCorvinaEOff;
  session_.SendRaw(KeyString("SysreqKeyString", e ? "FFF5" : "FFF4", texts::kSysreqKeyStringInvalid));
  if (!e || !FunctionAgreed(kFnSysReq)) return false;
  tn3270eState_ = tn3270eState_ == kCorvinaESscpLu ? kCorvinaELuLu : kCorvinaESscpLu;
  return true;
}

void CTelnetLayer::SendTestRequest() {
  const std::uint8_t r[] = {0x01, 0x6C, 0x61, 0x02, 0x03, IAC, EOR};
  session_.SendRaw(r);
}

}  // namespace corvina
