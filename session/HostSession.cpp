#include "session/HostSession.h"

#include <algorithm>

#include "keyboard/KeyFunctions.h"
#include "platform/Format.h"
#include "platform/WsaErrors.h"
#include "session/SessionTexts.h"
#include "session/SessionTrace.h"
#include "session/TlsContexts.h"

namespace corvina {

using platform::Format;

namespace {

bool IsRecordMode(unsigned mode) { return Is3270Family(mode) || Is5250Family(mode); }

bool IsSystemSocketError(int code) { return code >= 10000 && code <= 10101; }

}  // namespace

CHostSession::CHostSession(int number, std::shared_ptr<CCorvinaSessionProfile> profile,
                           SessionEnvironment env)
    : CMSslSocket(env.loop), number_(number), profile_(std::move(profile)), env_(std::move(env)),
      telnet_(*this) {
  ++profile_->connectedSessions;
  host_ = profile_->host;
  port_ = profile_->port;
  configuredKind_ = profile_->terminalType;
  mode_ = IsVtFamily(configuredKind_) ? configuredKind_ : unsigned{kKindLineMode};
  UseProfileSizes();
  rows_ = defaultRows_;
  columns_ = defaultColumns_;
  status_ = texts::kNotConnected;
  SetHandshakeTimeout(env_.tlsHandshakeTimeout);
}

CHostSession::~CHostSession() {
  *alive_ = false;
  if (engine_) {
    engine_->Stop();
    engine_.reset();
  }
  Close(true);
  if (profile_->connectedSessions > 0) --profile_->connectedSessions;
}

std::string CHostSession::Title() const {
  if (profile_->tallisShortName != ' ')
    return Format(texts::kTitleWithShortName, number_, profile_->tallisShortName, profile_->name.c_str());
  return Format(texts::kTitle, number_, profile_->name.c_str());
}

// ---------------------------------------------------------------- connecting

bool CHostSession::Connect() {
  ApplyProfile();
  StartEngine();
  env_.frame.ScreenChanged(*this);
  return OpenConnection();
}

void CHostSession::ApplyProfile() {
  if (!codePageName_ || *codePageName_ != profile_->codePageFile) {
    codePageName_ = profile_->codePageFile;  // a failed file is not retried until it changes
    std::string path = profile_->codePageFile;
    if (!path.empty() && path.front() != '/' && !env_.codePageFolder.empty())
      path = env_.codePageFolder + "/" + path;
    std::string error;
    CCorvinaCodePage page;
    if (page.Load(path, error))
      codePage_ = page;
    else
      env_.ui.MessageBox(error, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok,
                         platform::Icon::Warning);
  }
  if (typeAhead_.size() != profile_->typeAheadBufferSize) {
    typeAhead_.assign(profile_->typeAheadBufferSize, TypeAheadEntry{0, 0});
    taRead_ = taWrite_ = 0;
  }
  if (profile_->keyboardOptions & kKeyboardDisableTypeAhead) ClearTypeAhead();
  if (profile_->keepAliveInterval != keepAliveMinutes_) {
    keepAliveMinutes_ = profile_->keepAliveInterval;
    nextKeepAlive_ = env_.clock.WallSeconds() + std::int64_t{keepAliveMinutes_} * 60;
  }
  if (engine_) engine_->ProfileChanged();
}

bool CHostSession::OpenConnection() {
  telnet_.ResetOptions();
  closeReported_ = false;
  if (profile_->SecurityChoice() != 0) {
    std::string why;
    if (env_.tls == nullptr || env_.tls->ForChoice(profile_->SecurityChoice(), &why) == nullptr) {
      ShowStatus(texts::kSslInitFailed);
      std::string text = texts::kSslInitFailed;
      if (!why.empty()) text += "\n" + why;
      env_.ui.MessageBox(text, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok,
                         platform::Icon::Error);
      return false;
    }
  }
  ShowStatus(Format(texts::kTryingToConnect, host_.c_str(), port_));
  int error = 0;
  if (CMSocket::Connect(host_, port_, &error)) return true;
  std::string text = Format(texts::kHostUnreachable, host_.c_str(), port_);
  ShowStatus(text);
  ErrorBox(text);
  return false;
}

void CHostSession::OnConnected(int error) {
  if (error != 0) {
    std::string text;
    switch (LastConnectFailure()) {
      case ConnectFailure::Lookup:
        text = Format(texts::kHostUnreachable, host_.c_str(), port_);
        if (IsSystemSocketError(error)) text += ": " + ErrorText(error);
        ShowStatus(text);
        break;
      case ConnectFailure::CreateSocket:
        text = Format(texts::kFailedToCreateSocket, ErrorText(error).c_str());
        ShowStatus(text);
        break;
      default:
        text = Format(texts::kSessionError, number_, ErrorText(error).c_str());
        break;
    }
    ErrorBox(text);
    return;
  }
  ShowStatus(Format(texts::kConnectedTo, host_.c_str(), port_));
  if (profile_->SecurityChoice() == 0) return;
  SSL_CTX* ctx = env_.tls ? env_.tls->ForChoice(profile_->SecurityChoice()) : nullptr;
  if (!StartSslClient(ctx, host_)) SslClientHandshakeComplete(kSslErrorSsl);
}

void CHostSession::SslClientHandshakeComplete(int result) {
  if (result == 0) return;
  std::string text = Format(texts::kSessionError, number_, ErrorText(result).c_str());
  if (!SslErrorDetail().empty()) text += " (" + SslErrorDetail() + ")";
  Close(true);
  ErrorBox(text);
  AfterNotification();
}

void CHostSession::ErrorBox(const std::string& text) {
  env_.ui.MessageBox(text, texts::kCaption, platform::Buttons::Ok, platform::Answer::Ok,
                     platform::Icon::Error);
}

// ------------------------------------------------------ socket notifications

void CHostSession::Notify(int event, int value) {
  OnSocketEvent(event, value);
  AfterNotification();
}

void CHostSession::OnSocketEvent(int event, int value) {
  switch (event) {
    case kSockConnected:
      OnConnected(value);
      break;
    case kSockData: {
      ClearSelection();
      std::vector<std::uint8_t> bytes = TakeInput();
      ProcessReceived(bytes);
      break;
    }
    case kSockClosed:
      HostDisconnected();
      break;
    case kSockError: {
      std::string text = Format(texts::kSessionError, number_, ErrorText(value).c_str());
      if (value >= 1 && value <= 7 && !SslErrorDetail().empty()) text += " (" + SslErrorDetail() + ")";
      ErrorBox(text);
      break;
    }
    default:
      break;
  }
}

void CHostSession::AfterNotification() {
  if (State() == kSocketClosed && !ReconnectPending()) {
    if (!closeReported_) {
      closeReported_ = true;
      env_.frame.CloseSession(*this);
    }
    return;
  }
  if (replaying_ && lockReason_ == 0 && TypeAheadPending()) ReplayTypeAhead();
}

// ----------------------------------------------------------------- receiving

void CHostSession::ProcessReceived(std::span<const std::uint8_t> bytes) {
  if (trace_) trace_->Entry(TraceInfo(), bytes, kTraceReceived);
  const std::size_t n = bytes.size();
  // Bytes after the connection closed under us belong to no one.
  const bool connected = State() == kSocketConnected;
  std::size_t i = 0;
  while (i < n && (!connected || State() == kSocketConnected)) {
    std::uint8_t b = bytes[i];
    bytesLeft_ = n - i - 1;
    if (telnet_.Assembling()) {
      ++i;
      telnet_.AddCommandByte(b);
      continue;
    }
    if (b == telnet::IAC) {
      ++i;
      telnet_.BeginCommand();
      continue;
    }
    if (!output_.empty()) FlushOutput();
    if (IsRecordMode(mode_)) {
      AppendRecordByte(b);
      ++i;
      continue;
    }
    // VT modes: the parser takes everything up to the next IAC.
    std::size_t j = i;
    while (j < n && bytes[j] != telnet::IAC) ++j;
    bytesLeft_ = n - j;
    if (engine_) engine_->ProcessRecord(bytes.subspan(i, j - i));
    i = j;
  }
  bytesLeft_ = 0;
  env_.frame.ScreenChanged(*this);
  FlushOutput();
}

void CHostSession::AppendRecordByte(std::uint8_t b) {
  if (recordOverflow_) return;
  if (record_.size() >= kMaxRecord) {
    // A host that never ends its record: drop it up to its end.
    recordOverflow_ = true;
    record_.clear();
    record_.shrink_to_fit();
    ShowStatus(Format(texts::kRecordTooLong, kMaxRecord));
    return;
  }
  if (record_.size() == record_.capacity()) record_.reserve(record_.size() + std::max<std::size_t>(256, record_.size()));
  record_.push_back(b);
}

void CHostSession::CommandAsData(std::uint8_t second) {
  if (IsRecordMode(mode_)) {
    AppendRecordByte(telnet::IAC);
    if (second != telnet::IAC) AppendRecordByte(second);
    return;
  }
  if (engine_) engine_->ProcessRecord(std::span<const std::uint8_t>(&second, 1));
}

void CHostSession::DeliverRecord() {
  if (recordOverflow_) {
    recordOverflow_ = false;
    record_.clear();
    return;
  }
  if (!engine_) {
    record_.clear();
    return;
  }
  // The engine may add to the buffer while it works; hand it a stable copy.
  std::vector<std::uint8_t> record;
  record.swap(record_);
  engine_->ProcessRecord(record);
  if (record_.empty()) {
    record.clear();
    record_.swap(record);
  }
}

// -------------------------------------------------------------------- output

void CHostSession::QueueOutput(std::span<const std::uint8_t> bytes) {
  output_.insert(output_.end(), bytes.begin(), bytes.end());
}

void CHostSession::QueueOutputEscaped(std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) {
    output_.push_back(b);
    if (b == telnet::IAC) output_.push_back(b);
  }
}

void CHostSession::FlushOutput() {
  if (output_.empty()) return;
  std::vector<std::uint8_t> out;
  out.swap(output_);
  if (State() != kSocketConnected) return;  // nothing to send it on
  if (trace_) trace_->Entry(TraceInfo(), out, kTraceSent);
  std::size_t chunk = maxChunk_ == 0 ? out.size() : maxChunk_;
  for (std::size_t at = 0; at < out.size(); at += chunk)
    Send(out.data() + at, std::min(chunk, out.size() - at));
}

std::size_t CHostSession::SendRaw(std::span<const std::uint8_t> bytes) {
  if (State() != kSocketConnected || bytes.empty()) return 0;
  if (trace_) trace_->Entry(TraceInfo(), bytes, kTraceSent);
  Send(bytes.data(), bytes.size());
  return bytes.size();
}

// ------------------------------------------------------------------ keyboard

bool CHostSession::KeyboardEntry() {
  if (keyboardDisabled_) {
    env_.ui.Beep(platform::BeepKind::Exclamation);
    return false;
  }
  if (ReconnectPending()) {
    CancelTick();
    ReconnectNow();
  }
  return engine_ != nullptr;
}

int CHostSession::OnKeyFunction(int id) {
  if (!KeyboardEntry()) return 0;
  RecordKey(id, mode_);
  if (trace_) trace_->Keystroke(TraceInfo(), id, mode_);
  if (fileTransferRunning_) {
    env_.ui.Beep(platform::BeepKind::Exclamation);
    return 1;
  }
  if (SessionLevelKey(id)) return 1;
  engine_->KeyFunction(id);
  FlushOutput();
  return 1;
}

void CHostSession::OnCharacter(int code) {
  if (!KeyboardEntry()) return;
  RecordKey(code, mode_);
  if (trace_) trace_->Keystroke(TraceInfo(), code, mode_);
  ClearSelection();
  engine_->TypeCharacter(code);
  FlushOutput();
}

bool CHostSession::SessionLevelKey(int id) {
  switch (id) {
    case kf::kPlayMacro:
    case kf::kRunScript:
      return true;  // their bindings name the macro or script: OnKeyEvent runs them
    case kf::kEditSelectionUp:
      ExtendSelection(-1, 0);
      return true;
    case kf::kEditSelectionDown:
      ExtendSelection(1, 0);
      return true;
    case kf::kEditSelectionLeft:
      ExtendSelection(0, -1);
      return true;
    case kf::kEditSelectionRight:
      ExtendSelection(0, 1);
      return true;
    case kf::kToggleCrossHairCursor:
      profile_->displayOptions ^= insertMode_ ? kDisplayCrossHairInsert : kDisplayCrossHairNormal;
      profile_->modified = true;
      env_.frame.SaveProfile(*this);
      env_.frame.ScreenChanged(*this);
      return true;
    default:
      return false;
  }
}

void CHostSession::ExtendSelection(int dRow, int dColumn) {
  if (columns_ <= 0 || rows_ <= 0) return;
  if (!selectionActive_) {
    int r = cursor_ / columns_, c = cursor_ % columns_;
    selection_ = CellRect{c, r, c, r};
    selectionActive_ = true;
  }
  // Up and left move the top-left corner; down and right the bottom-right.
  if (dRow < 0) selection_.top = std::max(0, selection_.top - 1);
  if (dRow > 0) selection_.bottom = std::min(rows_ - 1, selection_.bottom + 1);
  if (dColumn < 0) selection_.left = std::max(0, selection_.left - 1);
  if (dColumn > 0) selection_.right = std::min(columns_ - 1, selection_.right + 1);
  env_.frame.ScreenChanged(*this);
}

void CHostSession::SetSelection(const CellRect& r) {
  selection_ = r;
  selectionActive_ = !r.Empty();
}

void CHostSession::ClearSelection() {
  if (!selectionActive_) return;
  selectionActive_ = false;
  selection_ = CellRect{};
  env_.frame.ScreenChanged(*this);
}

// ---------------------------------------------------------------- type-ahead

bool CHostSession::QueueTypeAhead(int kind, int value) {
  std::size_t cap = typeAhead_.size();
  if (cap == 0 || (profile_->keyboardOptions & kKeyboardDisableTypeAhead)) return false;
  std::size_t next = (taWrite_ + 1) % cap;
  if (next == taRead_) return false;  // a ring of n holds n - 1 keys
  typeAhead_[taWrite_] = TypeAheadEntry{kind, value};
  taWrite_ = next;
  return true;
}

std::size_t CHostSession::TypeAheadCount() const {
  std::size_t cap = typeAhead_.size();
  return cap == 0 ? 0 : (taWrite_ + cap - taRead_) % cap;
}

void CHostSession::ClearTypeAhead() {
  taRead_ = taWrite_ = 0;
  replaying_ = false;
}

void CHostSession::RequestTypeAheadReplay() {
  if (!TypeAheadPending() || replayPosted_) return;
  replayPosted_ = true;
  env_.loop.Post([this, alive = alive_] {
    if (!*alive) return;
    replayPosted_ = false;
    ReplayTypeAhead();
  });
}

void CHostSession::ReplayTypeAhead() {
  if (!engine_ || !TypeAheadPending()) return;
  replaying_ = true;
  env_.frame.ScreenChanged(*this);
  while (engine_ && TypeAheadPending() && lockReason_ == 0) {
    TypeAheadEntry e = typeAhead_[taRead_];
    taRead_ = (taRead_ + 1) % typeAhead_.size();
    if (e.kind == kTypeAheadCharacter)
      engine_->TypeCharacter(e.value);
    else
      engine_->KeyFunction(e.value);
  }
  FlushOutput();
  if (!TypeAheadPending()) replaying_ = false;
}

// ---------------------------------------------------------- status and clock

void CHostSession::ShowStatus() {
  if (env_.frame.IsVisible(*this)) env_.ui.SetStatusText(status_);
  if (trace_)
    trace_->Entry(TraceInfo(), std::span(reinterpret_cast<const std::uint8_t*>(status_.data()), status_.size()),
                  kTraceText);
}

void CHostSession::ShowStatus(const std::string& text) {
  status_ = text;
  ShowStatus();
}

bool CHostSession::ArmTick(int ticks, std::function<void()> callback) {
  if (tickCallback_) return false;
  tickCallback_ = std::move(callback);
  tickCountdown_ = ticks;
  return true;
}

void CHostSession::CancelTick() {
  tickCallback_ = nullptr;
  tickCountdown_ = 0;
}

void CHostSession::OnTick() {
  if (!engine_) return;
  if (tickCallback_ && --tickCountdown_ <= 0) {
    auto cb = std::move(tickCallback_);
    tickCallback_ = nullptr;
    cb();
  }
  if (keepAliveMinutes_ > 0) {
    std::int64_t now = env_.clock.WallSeconds();
    if (now >= nextKeepAlive_) {
      static constexpr std::uint8_t kNop[] = {telnet::IAC, telnet::NOP};
      SendRaw(kNop);
      nextKeepAlive_ = now + std::int64_t{keepAliveMinutes_} * 60;
    }
  }
  MacroTick();
}

// ---------------------------------------------------- disconnect, reconnect

void CHostSession::HostDisconnected() {
  ShowStatus(Format(texts::kDisconnectedByHost, number_, host_.c_str()));
  if (profile_->hostOptions & kHostReconnect) {
    reconnectCountdown_ = profile_->reconnectDelay;
    env_.ui.Beep(platform::BeepKind::Exclamation);
  } else if (!env_.frame.WarnWhenHostCloses()) {
    return;
  } else {
    auto answer = env_.ui.MessageBox(status_ + texts::kReconnectQuestion, texts::kCaption,
                                     platform::Buttons::YesNo, platform::Answer::No,
                                     platform::Icon::Question);
    if (answer != platform::Answer::Yes) return;
    reconnectCountdown_ = 0;
  }
  Close(true);
  SetState(kSocketConnecting);
  if (reconnectCountdown_ > 0) {
    ShowStatus(status_ + Format(texts::kSecondsUntilReconnect, reconnectCountdown_));
    if (!ArmTick(1, [this] { CountdownStep(); })) ReconnectNow();
    return;
  }
  ReconnectNow();
}

void CHostSession::CountdownStep() {
  if (--reconnectCountdown_ <= 0) {
    ReconnectNow();
    return;
  }
  std::size_t end = status_.size();
  while (end > 0 && status_[end - 1] >= '0' && status_[end - 1] <= '9') --end;
  ShowStatus(status_.substr(0, end) + std::to_string(reconnectCountdown_));
  if (!ArmTick(1, [this] { CountdownStep(); })) ReconnectNow();
}

void CHostSession::ReconnectNow() {
  reconnectCountdown_ = 0;
  reconnectPending_ = true;
  ShowStatus(Format(texts::kTryingToConnect, host_.c_str(), port_));
  ResetToNvt();
  telnet_.ResetOptions();
  if (engine_) {
    std::string line = status_ + "\r\n";
    engine_->ProcessRecord(std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
  }
  reconnectPending_ = false;
  ArmTick(1, [this] { ReconnectConnect(); });
}

void CHostSession::ReconnectConnect() {
  if (!OpenConnection()) {
    SetState(kSocketClosed);
    AfterNotification();
  }
}

// ------------------------------------------------------------- terminal modes

void CHostSession::StartEngine() {
  engine_ = env_.engines ? env_.engines(mode_) : nullptr;
  if (engine_) engine_->Start(*this);
}

void CHostSession::StopEngine() {
  if (!engine_) return;
  engine_->Stop();
  // The engine may be the caller; let it finish before it goes.
  env_.loop.DeleteLater(std::move(engine_));
}

void CHostSession::SwitchToConfiguredKind() {
  if (mode_ == configuredKind_ || !telnet_.TerminalTypeSent() || !telnet_.RemoteBinary() ||
      !telnet_.RemoteEndOfRecord())
    return;
  StopEngine();
  mode_ = configuredKind_;
  StartEngine();
  env_.frame.ScreenChanged(*this);
}

void CHostSession::ResetToNvt() {
  StopEngine();
  rows_ = defaultRows_;
  columns_ = defaultColumns_;
  mode_ = (mode_ >= kKindAnsi && mode_ <= kKindVt220) ? mode_ : unsigned{kKindLineMode};
  env_.frame.ScreenChanged(*this);
  StartEngine();
}

// ------------------------------------------------------------------ geometry

void CHostSession::SetSize(int rows, int columns) {
  rows_ = std::max(1, rows);
  columns_ = std::max(1, columns);
}

void CHostSession::SetDefaultSize(int rows, int columns) {
  defaultRows_ = std::max(1, rows);
  defaultColumns_ = std::max(1, columns);
}

void CHostSession::SetAlternateSize(int rows, int columns) {
  alternateRows_ = std::max(1, rows);
  alternateColumns_ = std::max(1, columns);
}

void CHostSession::UseProfileSizes() {
  SetDefaultSize(24, 80);
  SetAlternateSize(profile_->rows, profile_->columns);
  if (alternateRows_ * alternateColumns_ < defaultRows_ * defaultColumns_) SetDefaultSize(alternateRows_, alternateColumns_);
}

void CHostSession::SetCursorPosition(int position, bool show) {
  int size = BufferSize();
  if (size <= 0) {
    cursor_ = 0;
    return;
  }
  position %= size;
  if (position < 0) position += size;
  cursor_ = position;
  if (show && env_.frame.IsVisible(*this) && !pasting_) env_.frame.ScreenChanged(*this);
}

std::vector<std::string> CHostSession::ScreenRows() {
  std::vector<std::string> rows;
  if (!engine_) return rows;
  for (int r = 0; r < rows_; ++r) {
    std::string line;
    engine_->ExtractText(r * columns_, columns_, line, nullptr, 0);
    rows.push_back(std::move(line));
  }
  return rows;
}

TraceSource CHostSession::TraceInfo() const {
  TraceSource s;
  s.session = number_;
  s.host = host_;
  s.port = port_;
  s.socket = std::max(Handle(), 0);
  PeerIPv4(&s.peerIPv4, &s.peerPort);
  s.remoteBinary = telnet_.RemoteBinary();
  s.ebcdicToAscii = codePage_.EbcdicToAscii().data();
  return s;
}

void TerminalEngine::SetCursor(int position, bool show) {
  if (session_) session_->SetCursorPosition(position, show);
}

}  // namespace corvina
