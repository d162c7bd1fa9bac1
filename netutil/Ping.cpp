#include "netutil/Ping.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "netutil/DnsLookup.h"
#include "netutil/NetTexts.h"
#include "platform/Format.h"

namespace corvina::netutil {

using platform::Format;

namespace {

constexpr std::uint8_t kEchoRequest = 8, kEchoReply = 0;
constexpr std::size_t kHeader = 8;
constexpr auto kRequestGap = std::chrono::milliseconds(250);
// Packets taken per read notification, so a flood cannot hold the loop.
constexpr int kPacketsPerNotification = 64;
constexpr std::size_t kReceiveBuffer = 2048;

// Shared by every ping of the process.
std::atomic<std::uint16_t> gSequence{0};

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

std::uint16_t ProcessNumber() { return static_cast<std::uint16_t>(::getpid() & 0xFFFF); }

std::uint32_t TickMs() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

std::string LocalHostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

std::array<int, 4> Bytes(std::uint32_t address) {
  std::uint8_t b[4];
  std::memcpy(b, &address, 4);
  return {b[0], b[1], b[2], b[3]};
}

}  // namespace

bool PingSettings::Valid() const {
  return packets >= kMinPackets && packets <= kMaxPackets && dataSize >= kMinDataSize &&
         dataSize <= kMaxDataSize && timeoutSeconds >= kMinTimeout && timeoutSeconds <= kMaxTimeout;
}

std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) sum += static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
  if (i < bytes.size()) sum += static_cast<std::uint32_t>(bytes[i] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

std::vector<std::uint8_t> EchoData(int dataSize, std::uint16_t process, std::uint16_t sequence, std::uint32_t tick) {
  std::vector<std::uint8_t> block(static_cast<std::size_t>(dataSize) + 12, '!');
  block[0] = kEchoRequest;
  block[1] = 0;
  block[2] = block[3] = 0;
  // The fields as the classic tool stored them: in the machine's order.
  std::memcpy(&block[4], &process, 2);
  std::memcpy(&block[6], &sequence, 2);
  std::memcpy(&block[8], &tick, 4);
  Put16(&block[2], InternetChecksum(block));
  block.resize(static_cast<std::size_t>(dataSize));
  return block;
}

std::vector<std::uint8_t> EchoRequest(std::uint16_t identifier, std::uint16_t sequence,
                                      std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> packet(kHeader + data.size());
  packet[0] = kEchoRequest;
  Put16(&packet[4], identifier);
  Put16(&packet[6], sequence);
  std::copy(data.begin(), data.end(), packet.begin() + kHeader);
  Put16(&packet[2], InternetChecksum(packet));
  return packet;
}

int StatusOfIcmpError(int type, int code) {
  switch (type) {
    case 3:
      switch (code) {
        case 0: return kIpDestNetUnreachable;
        case 2: return kIpDestProtUnreachable;
        case 3: return kIpDestPortUnreachable;
        case 4: return kIpPacketTooBig;
        default: return kIpDestHostUnreachable;
      }
    case 4: return kIpSourceQuench;
    case 11: return code == 0 ? kIpTtlExpiredTransit : kIpTtlExpiredReassembly;
    case 12: return kIpParamProblem;
    default: return kIpGeneralFailure;
  }
}

std::optional<EchoOutcome> MatchEchoPacket(std::span<const std::uint8_t> packet, bool withIpHeader,
                                           std::uint16_t identifier, std::uint16_t sequence) {
  // Skips an IPv4 header; 0 when there is none that fits.
  auto ipHeader = [](std::span<const std::uint8_t> p) -> std::size_t {
    if (p.size() < 20 || (p[0] >> 4) != 4) return 0;
    std::size_t length = static_cast<std::size_t>(p[0] & 0x0F) * 4;
    return length >= 20 && length <= p.size() ? length : 0;
  };
  std::size_t at = 0;
  if (withIpHeader && (at = ipHeader(packet)) == 0) return std::nullopt;
  if (packet.size() - at < kHeader) return std::nullopt;
  const std::uint8_t* icmp = packet.data() + at;
  const std::uint8_t type = icmp[0];
  // The system has already checked the identifier of a datagram socket.
  auto ours = [&](const std::uint8_t* header) {
    return (!withIpHeader || Get16(header + 4) == identifier) && Get16(header + 6) == sequence;
  };
  if (type == kEchoReply) {
    if (!ours(icmp)) return std::nullopt;
    return EchoOutcome{kIpSuccess, static_cast<int>(packet.size() - at - kHeader)};
  }
  if (type != 3 && type != 4 && type != 11 && type != 12) return std::nullopt;  // our own request, too
  // An error quotes the IP header and the first 8 bytes of our request.
  auto quoted = packet.subspan(at + kHeader);
  std::size_t inner = ipHeader(quoted);
  if (inner == 0 || quoted.size() - inner < kHeader) return std::nullopt;
  const std::uint8_t* request = quoted.data() + inner;
  if (request[0] != kEchoRequest || !ours(request)) return std::nullopt;
  return EchoOutcome{StatusOfIcmpError(type, icmp[1]), 0};
}

CPinger::CPinger(platform::EventLoop& loop, OutputSink& out) : loop_(loop), out_(out) {}

CPinger::~CPinger() {
  lookup_.Cancel();
  if (timer_ != 0) loop_.CancelTimer(timer_);
  CloseSocket();
}

void CPinger::Start(const std::string& host, const PingSettings& settings) {
  if (running_) Finish();
  out_.Clear();
  host_ = host;
  settings_ = settings;
  settings_.packets = std::clamp(settings_.packets, PingSettings::kMinPackets, PingSettings::kMaxPackets);
  settings_.dataSize = std::clamp(settings_.dataSize, PingSettings::kMinDataSize, PingSettings::kMaxDataSize);
  settings_.timeoutSeconds =
      std::clamp(settings_.timeoutSeconds, PingSettings::kMinTimeout, PingSettings::kMaxTimeout);
  sent_ = received_ = 0;
  total_ = 0;
  minimum_ = maximum_ = 0;
  running_ = true;
  if (auto address = ParseDottedDecimal(host)) {
    Resolved(*address);
    return;
  }
  lookup_.Run<HostEntry>(
      loop_, [host] { return LookUpHost(host); },
      [this](HostEntry entry) {
        if (!entry.found || entry.addresses.empty()) {
          out_.Append(Format(texts::kNoHostEntry, host_.c_str()));
          Finish();
          return;
        }
        Resolved(entry.addresses.front());
      });
}

void CPinger::Resolved(std::uint32_t address) {
  address_ = address;
  if (!OpenSocket()) {
    Finish();
    return;
  }
  const auto b = Bytes(address);
  out_.Append(Format(texts::kPinging, host_.c_str(), b[0], b[1], b[2], b[3], LocalHostName().c_str(),
                     settings_.dataSize));
  timer_ = loop_.AddTimer(kRequestGap, false, [this] {
    timer_ = 0;
    SendOne();
  });
}

bool CPinger::OpenSocket() {
  socketType_ = forcedType_ != 0 ? forcedType_ : SOCK_DGRAM;
  fd_ = ::socket(AF_INET, socketType_ | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd_ < 0 && forcedType_ == 0) {
    socketType_ = SOCK_RAW;
    fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
  }
  if (fd_ < 0) {
    out_.Append(Format(texts::kNoIcmp, std::strerror(errno)));
    return false;
  }
  int ttl = 255, tos = 8, pmtu = IP_PMTUDISC_DO, on = 1;
  ::setsockopt(fd_, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
  ::setsockopt(fd_, IPPROTO_IP, IP_TOS, &tos, sizeof tos);
  ::setsockopt(fd_, IPPROTO_IP, IP_MTU_DISCOVER, &pmtu, sizeof pmtu);
  // Errors for a datagram socket's requests arrive on its error queue.
  if (socketType_ == SOCK_DGRAM) ::setsockopt(fd_, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
  identifier_ = ProcessNumber();
  watch_ = loop_.WatchFd(fd_, platform::kIoRead, [this](unsigned events) { OnReadable(events); });
  return true;
}

void CPinger::CloseSocket() {
  if (watch_ != 0) loop_.RemoveWatch(watch_);
  watch_ = 0;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void CPinger::SendOne() {
  sequence_ = ++gSequence;
  const auto data = EchoData(settings_.dataSize, ProcessNumber(), sequence_, TickMs());
  const auto packet = EchoRequest(identifier_, sequence_, data);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address_;
  ++sent_;
  waiting_ = true;
  sentAt_ = std::chrono::steady_clock::now();
  if (::sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
    const int err = errno;
    if (err == ENETUNREACH) return Outcome(EchoOutcome{kIpDestNetUnreachable, 0}, address_);
    if (err == EHOSTUNREACH) return Outcome(EchoOutcome{kIpDestHostUnreachable, 0}, address_);
    out_.Append(Format(texts::kSendFailed, std::strerror(err)));
    return Outcome(EchoOutcome{kIpGeneralFailure, 0}, address_);
  }
  timer_ = loop_.AddTimer(std::chrono::seconds(settings_.timeoutSeconds), false, [this] {
    timer_ = 0;
    Outcome(std::nullopt, 0);
  });
}

void CPinger::OnReadable(unsigned events) {
  if (events & platform::kIoError) ReadErrorQueue();
  std::uint8_t buffer[kReceiveBuffer];
  for (int i = 0; i < kPacketsPerNotification && fd_ >= 0; ++i) {
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) ReadErrorQueue();
      return;
    }
    if (!waiting_) continue;
    auto match = MatchEchoPacket(std::span(buffer, static_cast<std::size_t>(n)), socketType_ == SOCK_RAW,
                                 identifier_, sequence_);
    if (match) Outcome(match, from.sin_addr.s_addr);
  }
}

void CPinger::ReadErrorQueue() {
  for (int i = 0; i < kPacketsPerNotification && fd_ >= 0; ++i) {
    std::uint8_t data[kReceiveBuffer];
    alignas(cmsghdr) char control[512];
    iovec iov{data, sizeof data};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n = ::recvmsg(fd_, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (n < 0) return;
    // The queued packet is our request as sent: its sequence tells whose.
    if (!waiting_ || n < static_cast<ssize_t>(kHeader) || Get16(data + 6) != sequence_) continue;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
      if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
      sock_extended_err ee;
      std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
      int status = kIpGeneralFailure;
      if (ee.ee_origin == SO_EE_ORIGIN_ICMP)
        status = StatusOfIcmpError(ee.ee_type, ee.ee_code);
      else if (ee.ee_errno == EMSGSIZE)
        status = kIpPacketTooBig;
      sockaddr_in offender{};
      std::memcpy(&offender, reinterpret_cast<const std::uint8_t*>(CMSG_DATA(c)) + sizeof ee,
                  std::min(sizeof offender, static_cast<std::size_t>(c->cmsg_len) - CMSG_LEN(sizeof ee)));
      Outcome(EchoOutcome{status, 0}, offender.sin_family == AF_INET ? offender.sin_addr.s_addr : address_);
      break;
    }
  }
}

void CPinger::Outcome(std::optional<EchoOutcome> outcome, std::uint32_t from) {
  if (!waiting_) return;
  waiting_ = false;
  if (timer_ != 0) loop_.CancelTimer(timer_);
  timer_ = 0;
  const auto b = Bytes(from);
  if (!outcome) {
    out_.Append(texts::kRequestTimedOut);
  } else if (outcome->status == kIpSuccess) {
    const int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - sentAt_)
                                        .count());
    out_.Append(Format(texts::kReply, b[0], b[1], b[2], b[3], outcome->dataBytes, ms));
    if (received_ == 0 || ms < minimum_) minimum_ = ms;
    maximum_ = std::max(maximum_, ms);
    total_ += ms;
    ++received_;
  } else if (outcome->status == kIpDestNetUnreachable) {
    out_.Append(Format(texts::kNetUnreachable, b[0], b[1], b[2], b[3]));
  } else if (outcome->status == kIpDestHostUnreachable) {
    out_.Append(Format(texts::kHostUnreachable, b[0], b[1], b[2], b[3]));
  } else {
    out_.Append(Format(texts::kPingFailed, b[0], b[1], b[2], b[3], outcome->status));
  }
  Next();
}

void CPinger::Next() {
  if (sent_ < settings_.packets) {
    timer_ = loop_.AddTimer(kRequestGap, false, [this] {
      timer_ = 0;
      SendOne();
    });
    return;
  }
  const int loss = (sent_ - received_) * 100 / sent_;
  const int average = received_ > 0 ? static_cast<int>(total_ / received_) : 0;
  out_.Append(Format(texts::kSummary, sent_, received_, loss, minimum_, average, maximum_));
  Finish();
}

void CPinger::Stop() {
  if (!running_) return;
  out_.Append(texts::kStopped);
  Finish();
}

void CPinger::Finish() {
  lookup_.Cancel();
  if (timer_ != 0) loop_.CancelTimer(timer_);
  timer_ = 0;
  waiting_ = false;
  CloseSocket();
  running_ = false;
  if (onFinished) onFinished();
}

}  // namespace corvina::netutil
