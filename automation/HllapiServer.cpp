#include "automation/HllapiServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "automation/KeyString.h"
#include "filetransfer/FileTransfer.h"
#include "ibm3270/Engine3270.h"
#include "ibm5250/Engine5250.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "platform/LocalSocket.h"
#include "session/HostSession.h"

namespace corvina::automation {

using namespace hllapi;

namespace {

// Messages taken per notification, so one client cannot hold the loop.
constexpr int kMessagesPerNotification = 64;
constexpr auto kRetryPeriod = std::chrono::milliseconds(20);

// The option bits a copy passes on to the engine's text extraction.
constexpr std::uint32_t kCopyFlags = kFlagFieldMode | kFlagDisplay | kFlagXlate | kFlagEab | kFlagAttrb;
constexpr std::uint32_t kFlagConPhys = 0x100000;

constexpr std::size_t kOiaRecord = 103, kOiaImage = 1, kOiaGroups = 81;

// The OIA character set's codes shown in ASCII; a code not here is a blank.
char OiaAscii(std::uint8_t c) {
  static constexpr struct {
    std::uint8_t code;
    char text;
  } kTable[] = {{0x08, '>'}, {0x09, '<'}, {0x0A, '['}, {0x0B, ']'}, {0x0C, ')'}, {0x0D, '('}, {0x0E, '}'},
                {0x0F, '{'}, {0x11, '='}, {0x12, '\''}, {0x13, '"'}, {0x14, '/'}, {0x15, '\\'}, {0x16, '|'},
                {0x17, '|'}, {0x18, '?'}, {0x19, '!'}, {0x1A, '$'}, {0x2C, '#'}, {0x2D, '@'}, {0x2E, '%'},
                {0x2F, '_'}, {0x30, '&'}, {0x31, '-'}, {0x32, '.'}, {0x33, ','}, {0x34, ':'}, {0x35, '+'},
                {0x3A, '^'}, {0x3B, '~'}, {0xC4, '('}, {0xC5, ')'}, {0xC6, 'X'}, {0xC8, '<'}, {0xCC, 'A'},
                {0xCD, 'B'}, {0xCF, 0x7F}, {0xF0, 0x7F}, {0xD0, '^'}, {0xE2, '>'}, {0xE4, '0'}, {0xF4, '4'}};
  if (c >= 0x20 && c <= 0x29) return static_cast<char>('0' + (c - 0x20));
  if (c >= 0x80 && c <= 0x99) return static_cast<char>('a' + (c - 0x80));
  if (c >= 0xA0 && c <= 0xB9) return static_cast<char>('A' + (c - 0xA0));
  for (const auto& e : kTable)
    if (e.code == c) return e.text;
  return ' ';
}

// The keyboard lock reasons in the OIA image (from its byte 8), with the
// group byte and bit each sets.
struct LockText {
  std::uint8_t text[8];
  std::size_t size;
  std::size_t group;
  std::uint8_t bit;
};
constexpr LockText kLockTexts[] = {
    {{}, 0, 0, 0},
    {{0xC6, 0xF6, 0xB2, 0xB8, 0xB2, 0xB3, 0xA4, 0xAC}, 8, 10, 0x20},  // X SYSTEM
    {{0xC6, 0xF6, 0xB2, 0xB8, 0xB2, 0xB3, 0xA4, 0xAC}, 8, 10, 0x20},
    {{0xC6, 0xF6, 0xAF, 0xB1, 0xAE, 0xA6}, 6, 7, 0x08},  // X PROG
    {{0xC6, 0xF6, 0x18, 0x35}, 4, 0, 0},                  // X ?+
    {{0xC6, 0xF6, 0x31, 0x85}, 4, 8, 0x10},               // X -f
    {{0xC6, 0xF6, 0xC8, 0xE4, 0xE2}, 5, 9, 0x08},         // X <0>
    {{0xC6, 0xF6, 0xE4, 0x08}, 4, 8, 0x08},               // X 0>
    {{0xC6, 0xF6, 0xAD, 0xB4, 0xAC}, 5, 8, 0x01},         // X NUM
};

char SessionType(unsigned kind) {
  switch (kind) {
    case kKind3278:
    case kKind3279: return 'D';
    case kKind3270Printer: return 'E';
    case kKind5250: return 'F';
    case kKind5250Printer: return 'G';
    default: return 'A';
  }
}

int LetterIndex(char letter) {
  const int upper = std::toupper(static_cast<unsigned char>(letter));
  return upper >= 'A' && upper <= 'Z' ? upper - 'A' : -1;
}

}  // namespace

struct CHllapiServer::Connection {
  std::uint64_t id = 0;
  int fd = -1;
  platform::WatchId watch = 0;
  bool dead = false;
};

CHllapiServer::CHllapiServer(platform::EventLoop& loop, std::string folder, std::uint32_t instance)
    : loop_(loop), folder_(std::move(folder)), instance_(instance != 0 ? instance : static_cast<std::uint32_t>(::getpid())) {
  if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

CHllapiServer::~CHllapiServer() {
  *alive_ = false;
  if (retryTimer_ != 0) loop_.CancelTimer(retryTimer_);
  for (auto& [id, c] : connections_) {
    if (c->watch != 0) loop_.RemoveWatch(c->watch);
    if (c->fd >= 0) ::close(c->fd);
  }
  connections_.clear();
  if (listenWatch_ != 0) loop_.RemoveWatch(listenWatch_);
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(path_.c_str());
  }
  for (int i = 0; i < static_cast<int>(kSlotCount); ++i) {
    if (sessions_[i]) {
      sessions_[i]->session->SetKeyCapture(nullptr);
      sessions_[i]->session->SetKeyboardDisabled(false);
    }
    // A slot the lock keeps from us is left to the next claimer, who sees
    // that this instance no longer serves.
    if ((sessions_[i] || claimed_[i] || releasePending_[i]) && area_.IsOpen())
      ReleaseSlot(area_, static_cast<char>('A' + i), instance_, kLockSlice);
  }
  if (area_.IsOpen()) {
    area_.Pulse(kHostUpdateEvent);
    area_.Pulse(kKeystrokeEvent);
  }
}

bool CHllapiServer::Start(std::string* cause) {
  path_ = SocketPath(folder_, instance_);
  listenFd_ = platform::ListenLocal(path_, SOCK_SEQPACKET, 64, cause);
  if (listenFd_ < 0) return false;
  listenWatch_ = loop_.WatchFd(listenFd_, platform::kIoRead, [this](unsigned) { Accept(); });
  AreaReady();
  return true;
}

bool CHllapiServer::AreaReady() {
  std::string cause;
  return area_.IsOpen() || area_.Open(folder_, &cause);
}

// ----------------------------------------------------------------- slots

CHllapiServer::Claim CHllapiServer::ClaimLetter(char letter, std::string* cause) {
  const int index = LetterIndex(letter);
  if (index < 0) return Claim::kInUse;
  if (!area_.IsOpen() && !area_.Open(folder_, cause)) return Claim::kUnavailable;
  switch (ClaimSlot(area_, folder_, static_cast<char>('A' + index), instance_, kLockSlice)) {
    case ClaimResult::kClaimed:
      claimed_[index] = true;
      releasePending_[index] = false;
      return Claim::kClaimed;
    case ClaimResult::kInUse:
      return Claim::kInUse;
    case ClaimResult::kBusy:
      break;
  }
  *cause = "the shared area stays locked";
  return Claim::kUnavailable;
}

void CHllapiServer::RegisterSession(CHostSession& session) {
  const int index = LetterIndex(session.Profile().tallisShortName);
  if (index < 0 || !claimed_[index] || sessions_[index]) return;
  sessions_[index] = SessionState();
  sessions_[index]->session = &session;
}

void CHllapiServer::UnregisterSession(CHostSession& session) {
  const int index = LetterIndex(session.Profile().tallisShortName);
  if (index < 0 || !sessions_[index] || sessions_[index]->session != &session) return;
  session.SetKeyCapture(nullptr);
  session.SetKeyboardDisabled(false);
  sessions_[index].reset();
  claimed_[index] = false;
  if (!ReleaseSlot(area_, static_cast<char>('A' + index), instance_, std::chrono::milliseconds(0))) {
    releasePending_[index] = true;
    RetryPending();
  }
  // Waiters on this session look again and find it gone.
  area_.Pulse(kHostUpdateEvent);
  area_.Pulse(kKeystrokeEvent);
}

void CHllapiServer::RetryPending() {
  if (retryTimer_ != 0) return;
  retryTimer_ = loop_.AddTimer(kRetryPeriod, true, [this] {
    if (!area_.TryLock()) return;
    for (std::size_t i = 0; i < kSlotCount; ++i) {
      std::uint8_t* slot = Slot(static_cast<int>(i));
      if (releasePending_[i] && Get32(slot + kSlotWindow) == instance_) std::memset(slot, 0, kSlotSize);
      if (clientClearPending_[i] && Get32(slot + kSlotWindow) == instance_) Put32(slot + kSlotClientThread, 0);
      releasePending_[i] = clientClearPending_[i] = false;
    }
    area_.Unlock();
    loop_.CancelTimer(retryTimer_);
    retryTimer_ = 0;
  });
}

void CHllapiServer::HostUpdate(CHostSession& session) {
  const int index = LetterIndex(session.Profile().tallisShortName);
  if (index < 0 || !sessions_[index] || sessions_[index]->session != &session || !sessions_[index]->notifying) return;
  // Atomic bit changes instead of the lock: the client clears the same byte.
  std::uint8_t* flags = Slot(index) + kSlotUpdateFlags;
  const std::uint8_t wanted = LoadByte(flags);
  std::uint8_t set = 0;
  if (wanted & kUpdateWantPs) set |= kUpdatePs;
  if (wanted & kUpdateWantOia) set |= kUpdateOia;
  if (set == 0) return;
  OrByte(flags, set);
  area_.Pulse(kHostUpdateEvent);
}

// ----------------------------------------------------------- connections

void CHllapiServer::Accept() {
  for (;;) {
    const int fd = platform::AcceptOwnUser(listenFd_);
    if (fd < 0) return;
    auto c = std::make_unique<Connection>();
    c->id = nextId_++;
    c->fd = fd;
    Connection* raw = c.get();
    c->watch = loop_.WatchFd(fd, platform::kIoRead, [this, raw](unsigned events) { OnReady(*raw, events); });
    connections_[c->id] = std::move(c);
  }
}

void CHllapiServer::OnReady(Connection& c, unsigned events) {
  if (c.dead) return;
  for (int n = 0; n < kMessagesPerNotification && !c.dead; ++n) {
    std::uint8_t message[kMessageSize + 1];
    const ssize_t got = ::recv(c.fd, message, sizeof message, MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
    if (got != static_cast<ssize_t>(kMessageSize)) {
      Drop(c);  // hung up, or not our protocol
      return;
    }
    const int code = Handle(c.id, static_cast<char>(message[0]), Get16(message + 2));
    std::uint8_t answer[kMessageSize] = {};
    Put16(answer, static_cast<std::uint32_t>(code));
    if (c.dead) return;
    if (::send(c.fd, answer, sizeof answer, MSG_DONTWAIT | MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof answer)) {
      Drop(c);  // it does not take its answers
      return;
    }
  }
  if (events & (platform::kIoHangup | platform::kIoError)) Drop(c);
}

void CHllapiServer::Drop(Connection& c) {
  if (c.dead) return;
  c.dead = true;
  if (c.watch != 0) loop_.RemoveWatch(c.watch);
  ::close(c.fd);
  c.fd = -1;
  ClientGone(c.id);
  loop_.Post([this, id = c.id, alive = alive_] {
    if (*alive) connections_.erase(id);
  });
}

void CHllapiServer::ClientGone(std::uint64_t client) {
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    if (!sessions_[i]) continue;
    SessionState& st = *sessions_[i];
    if (st.reservedBy == client) SetReserved(st, false, 0);
    if (st.interceptedBy == client && st.intercepting) StopIntercept(static_cast<int>(i), st);
    if (st.connectedBy == client) {
      st.connectedBy = 0;
      clientClearPending_[i] = true;
      RetryPending();
    }
  }
}

// -------------------------------------------------------------- requests

int CHllapiServer::Handle(std::uint64_t client, char letter, int function) {
  const int index = LetterIndex(letter);
  if (index < 0 || !sessions_[index] || !AreaReady()) return kSystemError;
  return Request(client, index, *sessions_[index], function);
}

void CHllapiServer::SetReserved(SessionState& st, bool on, std::uint64_t client) {
  st.reserved = on;
  st.reservedBy = on ? client : 0;
  st.session->SetKeyboardDisabled(on);
}

int CHllapiServer::Request(std::uint64_t client, int index, SessionState& st, int function) {
  CHostSession& s = *st.session;
  std::uint8_t* area = area_.Bytes();
  // Read once: the client may change the area while we work.
  const std::uint16_t length = Get16(area + kRequestLength);
  const std::uint16_t position = Get16(area + kRequestPosition);
  const std::uint32_t flags = Get32(area + kRequestFlags);
  const bool locked = s.LockReason() != 0;
  std::uint8_t* slot = Slot(index);
  std::uint8_t* data = area_.Data();
  switch (function) {
    case kConnect:
      st.connectedBy = client;
      if ((flags & kFlagConPhys) && showSession) showSession(s);
      return locked ? kBusy : kOk;
    case kDisconnect:
      SetReserved(st, false, 0);
      if (st.connectedBy == client) st.connectedBy = 0;
      return kOk;
    case kSendKey:
      return SendKey(st, flags, length);
    case kWait:
      return locked ? kInhibited : kOk;
    case kCopyPsToString:
      return Copy(st, length, position, flags);
    case kReserve:
      if (locked) return kInhibited;
      SetReserved(st, true, client);
      return kOk;
    case kRelease:
      SetReserved(st, false, 0);
      return kOk;
    case kCopyOia:
      return CopyOia(index, st, flags);
    case kQueryStatus:
      StatusRefresh(index, st, flags);
      return kOk;
    case kStartHostNotify: {
      st.notifying = true;
      std::uint8_t f = kUpdateStarted;
      switch (std::toupper(data[1])) {
        case 'P': f |= kUpdateWantPs; break;
        case 'O': f |= kUpdateWantOia; break;
        case 'B': f |= kUpdateWantPs | kUpdateWantOia; break;
        default: break;
      }
      StoreByte(slot + kSlotUpdateFlags, f);
      return kOk;
    }
    case kStopHostNotify:
      if (!st.notifying) return kNotStarted;
      st.notifying = false;
      StoreByte(slot + kSlotUpdateFlags, 0);
      return kOk;
    case kSetCursor:
      return SetCursor(index, st);
    case kStartIntercept:
      return StartIntercept(client, index, st);
    case kGetKey:
      return GetKey(st);
    case kPostIntercept:
      if (length == 'R') s.Ui().Beep(platform::BeepKind::Exclamation);
      return kOk;
    case kStopIntercept:
      if (!st.intercepting) return kNotStarted;
      StopIntercept(index, st);
      return kOk;
    case kSendFile:
    case kReceiveFile:
      return StartTransfer(s, function == kSendFile, length);
    default: {
      TerminalEngine* engine = s.Engine();
      if (!engine) return kNotSupported;
      // The request string, as much of it as the area holds (at least the
      // two code bytes of the field searches).
      const std::size_t n = std::min<std::size_t>(std::max<std::size_t>(length, 8), kDataCapacity);
      std::vector<std::uint8_t> in(data, data + n);
      HllapiRequest r{length, position, flags, in};
      const int code = engine->HllapiFunction(function, r);
      Put16(area + kRequestLength, r.length);
      return code;
    }
  }
}

void CHllapiServer::StatusRefresh(int index, SessionState& st, std::uint32_t flags) {
  CHostSession& s = *st.session;
  const CCorvinaSessionProfile& p = s.Profile();
  std::uint8_t* slot = Slot(index);
  Put16(slot + kSlotCursor, static_cast<std::uint32_t>(s.Cursor() + 1));
  std::uint8_t* status = slot + kSlotStatus;
  std::memset(status, 0, kStatusSize);
  status[0] = static_cast<std::uint8_t>('A' + index);
  std::memset(status + 1, ' ', 8);
  std::memcpy(status + 1, p.tallisLongName.data(), std::min<std::size_t>(8, p.tallisLongName.size()));
  const unsigned kind = s.ConfiguredKind();
  status[9] = static_cast<std::uint8_t>(SessionType(kind));
  status[10] = kind == kKind3279 ? 0x80 : 0;
  if (kind == kKind3278 || kind == kKind3279) {
    const filetransfer::TransferStatus t = filetransfer::FileTransferStatus(s);
    Put32(slot + kSlotTransferState, static_cast<std::uint32_t>(t.state));
    Put32(slot + kSlotTransferred, static_cast<std::uint32_t>(t.total));
    Put32(slot + kSlotFileSize, static_cast<std::uint32_t>(t.fileSize));
  }
  if (kind != kKind3270Printer && kind != kKind5250Printer) {
    const bool configured = (flags & kFlagCfgSize) != 0;
    Put16(status + 11, static_cast<std::uint32_t>(configured ? p.rows : s.Rows()));
    Put16(status + 13, static_cast<std::uint32_t>(configured ? p.columns : s.Columns()));
    Put16(status + 15, s.CodePage().CodePageNumber());
  }
}

int CHllapiServer::StartTransfer(CHostSession& s, bool send, std::uint16_t length) {
  using namespace filetransfer;
  CTransferRequest r = RequestFromProfile(s.Profile().fileTransfer, send ? Direction::kPut : Direction::kGet);
  r.recordFormat = RecordFormat::kDefault;
  r.lrecl = r.blksize = 0;
  // The caller's options say ASCII and CRLF; without them the file moves
  // as it is, whatever the dialog last used. The mode stays the profile's.
  r.flags &= kOptionScreenImage;
  const std::string text(reinterpret_cast<const char*>(area_.Data()), std::min<std::size_t>(length, kDataCapacity));
  ParseHllapiTransferString(text, r);
  // Not a 3270 display (a printer, 5250, VT, or not in 3270 mode yet).
  const int result = StartFileTransfer(s, r);
  return result == kStartNotAvailable ? kNotSupported : HllapiStartResult(result);
}

int CHllapiServer::SendKey(SessionState& st, std::uint32_t flags, std::uint16_t length) {
  CHostSession& s = *st.session;
  if (s.LockReason() != 0) {
    if (flags & kFlagNoReset) return kInhibited;
    TerminalEngine* engine = s.Engine();
    if (engine && Is3270Family(s.Mode()) && s.Mode() != kKind3270Printer) engine->KeyFunction(kf::ibm3270::kReset);
    if (engine && s.Mode() == kKind5250) engine->KeyFunction(kf::ibm5250::kErrorReset);
    s.FlushOutput();
    if (s.LockReason() != 0) return kInhibited;
  }
  const std::uint8_t* data = area_.Data();
  const std::size_t n = std::min<std::size_t>(length, kDataCapacity - 1);
  const std::string keys(reinterpret_cast<const char*>(data + 1), n);
  const char escape = static_cast<char>(data[0]);
  // The session outlives the request: a key that closes it only schedules
  // its end. Its HLLAPI state may be gone, so nothing of that is used after.
  s.SetPlayingKeys(true);
  const bool played = PlayKeyString(s, escape, keys);
  s.SetPlayingKeys(false);
  return played ? kOk : kInhibited;
}

int CHllapiServer::Copy(SessionState& st, std::uint16_t length, std::uint16_t position, std::uint32_t flags) {
  CHostSession& s = *st.session;
  TerminalEngine* engine = s.Engine();
  const int size = s.BufferSize();
  if (position == 0 || position > size || !engine) return kBadPosition;
  const int count = length != 0 ? length : size * ((flags & kFlagEab) ? 2 : 1);
  std::string out;
  engine->ExtractText(position - 1, count, out, nullptr, flags & kCopyFlags);
  const std::size_t n = std::min(out.size(), kDataCapacity);
  std::memcpy(area_.Data(), out.data(), n);
  Put16(area_.Bytes() + kRequestLength, static_cast<std::uint32_t>(std::min<std::size_t>(n, 0xFFFF)));
  return s.LockReason() != 0 ? kBusy : kOk;
}

int CHllapiServer::CopyOia(int index, SessionState& st, std::uint32_t flags) {
  CHostSession& s = *st.session;
  std::uint8_t* d = area_.Data();
  std::memset(d, 0, kOiaRecord);
  std::uint8_t* image = d + kOiaImage;
  std::uint8_t* groups = d + kOiaGroups;
  std::memset(image, 0xF6, 80);
  const unsigned kind = s.ConfiguredKind();
  d[0] = kind == kKind3278 || kind == kKind3279 ? '1' : kind == kKind5250 ? '9' : '5';
  image[0] = 0xF4;
  groups[0] = 0x04;
  const unsigned corvinaE = s.Telnet().CorvinaEState();
  if (corvinaE != 0) {
    image[1] = 0xCD;
    if (corvinaE == kCorvinaESscpLu) {
      groups[0] = 0x24;
      image[2] = 0xF0;
    } else {
      groups[0] = 0x14;
      image[2] = 0xCF;
    }
  } else {
    image[1] = 0xCC;
    image[2] = 0xCF;
  }
  image[17] = static_cast<std::uint8_t>(0xA0 + index);
  if (s.InsertMode()) {
    image[51] = 0xD0;
    groups[6] |= 0x80;
  }
  const int reason = s.LockReason();
  if (reason >= 1 && reason < static_cast<int>(std::size(kLockTexts))) {
    const LockText& t = kLockTexts[reason];
    std::memcpy(image + 8, t.text, t.size);
    groups[t.group] |= t.bit;
  }
  if (reason == 3) {  // the program check's number after "X PROG"
    const auto* e = dynamic_cast<const C3270Engine*>(s.Engine());
    const int number = e ? e->ProgramCheck() % 1000 : 0;
    image[14] = static_cast<std::uint8_t>(0x20 + number / 100);
    image[15] = static_cast<std::uint8_t>(0x20 + number / 10 % 10);
    image[16] = static_cast<std::uint8_t>(0x20 + number % 10);
  }
  if (kind == kKind5250)
    if (const auto* e = dynamic_cast<const C5250Engine*>(s.Engine()); e && e->MessageLight()) groups[15] |= 0x01;
  if ((flags & kFlagNewOia) || kind == kKind5250 || kind >= 256)
    for (int i = 0; i < 80; ++i) image[i] = static_cast<std::uint8_t>(OiaAscii(image[i]));
  Put16(area_.Bytes() + kRequestLength, kOiaRecord);
  return s.LockReason() != 0 ? kBusy : kOk;
}

int CHllapiServer::SetCursor(int index, SessionState& st) {
  CHostSession& s = *st.session;
  if (s.LockReason() != 0) return kBusy;
  const int position = Get16(Slot(index) + kSlotCursor);
  if (position == 0 || position > s.BufferSize()) return kBadPosition;
  if (!s.Engine() || s.Mode() == kKind3270Printer || s.Mode() == kKind5250Printer) return kNotSupported;
  s.Engine()->SetCursor(position - 1, true);
  return kOk;
}

// ------------------------------------------------------ keystroke capture

int CHllapiServer::StartIntercept(std::uint64_t client, int index, SessionState& st) {
  std::uint8_t* flags = Slot(index) + kSlotInterceptFlags;
  StoreByte(flags, 0);
  st.intercepting = true;
  st.interceptedBy = client;
  st.attentionOnly = std::toupper(area_.Data()[1]) == 'D';
  StoreByte(flags, kInterceptStarted | (st.attentionOnly ? kInterceptAidOnly : 0));
  st.session->SetKeyCapture([this, index](int kind, int value) { return Capture(index, kind, value); });
  return kOk;
}

void CHllapiServer::StopIntercept(int index, SessionState& st) {
  st.intercepting = st.attentionOnly = false;
  st.interceptedBy = 0;
  st.queue.clear();
  st.queue.shrink_to_fit();
  st.read = st.write = 0;
  st.session->SetKeyCapture(nullptr);
  if (area_.IsOpen()) StoreByte(Slot(index) + kSlotInterceptFlags, 0);
}

KeyCapture CHllapiServer::Capture(int index, int kind, int value) {
  if (!sessions_[index] || !sessions_[index]->intercepting) return KeyCapture::kPassed;
  SessionState& st = *sessions_[index];
  if (st.attentionOnly && (kind == kTypeAheadCharacter || AidOfKeyFunction(st.session->Mode(), value) == 0))
    return KeyCapture::kPassed;
  if (st.queue.empty()) st.queue.assign(2 * kQueueSize, 0);
  const std::size_t next = (st.write + 1) % kQueueSize;
  if (next == st.read) return KeyCapture::kDropped;  // a ring of n holds n - 1
  st.queue[2 * st.write] = static_cast<std::uint32_t>(kind);
  st.queue[2 * st.write + 1] = static_cast<std::uint32_t>(value);
  st.write = next;
  area_.Pulse(kKeystrokeEvent);
  return KeyCapture::kTaken;
}

int CHllapiServer::GetKey(SessionState& st) {
  std::uint8_t* d = area_.Data();
  const std::uint8_t escape = d[0];
  std::memset(d + 1, 0, 7);
  if (st.queue.empty() || st.read == st.write) return kNoKeys;
  const std::uint32_t kind = st.queue[2 * st.read], value = st.queue[2 * st.read + 1];
  st.read = (st.read + 1) % kQueueSize;
  if (kind == kTypeAheadCharacter) {
    d[1] = 'A';
    d[2] = static_cast<std::uint8_t>(value);
    return kOk;
  }
  const KeyFunctionRow* row = KeyFunctionRowById(st.session->Mode(), static_cast<int>(value));
  if (!row || row->mnemonic.empty()) return kBadKey;
  d[1] = 'M';
  d[2] = escape;
  d[3] = static_cast<std::uint8_t>(row->mnemonic[0]);
  if (row->mnemonic.size() > 1) {
    d[4] = escape;
    d[5] = static_cast<std::uint8_t>(row->mnemonic[1]);
  }
  return kOk;
}

}  // namespace corvina::automation
