// Ping: ICMP echo requests from a timer, one at a time, each waiting for its
// reply or its time-out on the event loop. An ICMP datagram socket is used
// where the system allows it for this user (net.ipv4.ping_group_range), a
// raw socket otherwise (CAP_NET_RAW).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "netutil/Background.h"
#include "netutil/OutputSink.h"
#include "platform/EventLoop.h"

namespace corvina::netutil {

struct PingSettings {
  static constexpr int kMinPackets = 1, kMaxPackets = 32767;
  static constexpr int kMinDataSize = 32, kMaxDataSize = 1000;
  static constexpr int kMinTimeout = 1, kMaxTimeout = 32767;
  int packets = 4;
  int dataSize = 32;
  int timeoutSeconds = 5;
  bool Valid() const;
};

// Echo reply statuses, with the classic numbers users know.
enum : int {
  kIpSuccess = 0,
  kIpDestNetUnreachable = 11002,
  kIpDestHostUnreachable = 11003,
  kIpDestProtUnreachable = 11004,
  kIpDestPortUnreachable = 11005,
  kIpPacketTooBig = 11009,
  kIpTtlExpiredTransit = 11013,
  kIpTtlExpiredReassembly = 11014,
  kIpParamProblem = 11015,
  kIpSourceQuench = 11016,
  kIpGeneralFailure = 11050,
};

// RFC 1071 over the bytes, as a big-endian 16-bit value.
std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes);

// The echo data of one request: the first dataSize bytes of a block of
// dataSize + 12 bytes that starts like an echo header (type 8, code 0, the
// block's checksum, the process number, the sequence number, the
// millisecond tick) and is filled with '!'.
std::vector<std::uint8_t> EchoData(int dataSize, std::uint16_t process, std::uint16_t sequence,
                                   std::uint32_t tick);

// A whole echo request: the 8-byte ICMP header and the data, checksummed.
std::vector<std::uint8_t> EchoRequest(std::uint16_t identifier, std::uint16_t sequence,
                                      std::span<const std::uint8_t> data);

// What a received packet says about the request (identifier, sequence).
struct EchoOutcome {
  int status = kIpSuccess;
  int dataBytes = 0;  // of an echo reply
};
// A packet read from the ICMP socket: with its IP header (raw sockets) or
// without (datagram sockets, where the system checks the identifier). Null
// when it is not about this request: another type, another identifier or
// sequence, our own request seen on loopback, or a truncated packet.
std::optional<EchoOutcome> MatchEchoPacket(std::span<const std::uint8_t> packet, bool withIpHeader,
                                           std::uint16_t identifier, std::uint16_t sequence);
// The status of an ICMP error type and code.
int StatusOfIcmpError(int type, int code);

class CPinger {
 public:
  CPinger(platform::EventLoop& loop, OutputSink& out);
  ~CPinger();
  CPinger(const CPinger&) = delete;
  CPinger& operator=(const CPinger&) = delete;

  // Clears the output, resolves the host (off the loop for names) and
  // starts the requests.
  void Start(const std::string& host, const PingSettings& settings);
  // Appends "Stopped." when requests were running.
  void Stop();
  bool Running() const { return running_; }
  int Sent() const { return sent_; }
  int Received() const { return received_; }
  std::function<void()> onFinished;

  // Forces a kind of socket (tests): 0 any, SOCK_DGRAM or SOCK_RAW.
  void ForceSocketType(int type) { forcedType_ = type; }
  int SocketType() const { return socketType_; }

 private:
  void Resolved(std::uint32_t address);
  bool OpenSocket();
  void CloseSocket();
  void SendOne();
  void OnReadable(unsigned events);
  void ReadErrorQueue();
  void Outcome(std::optional<EchoOutcome> outcome, std::uint32_t from);
  void Next();
  void Finish();

  platform::EventLoop& loop_;
  OutputSink& out_;
  PingSettings settings_;
  std::string host_;
  BackgroundRequest lookup_;
  bool running_ = false;
  int forcedType_ = 0;
  int socketType_ = 0;
  int fd_ = -1;
  platform::WatchId watch_ = 0;
  platform::TimerId timer_ = 0;
  std::uint32_t address_ = 0;
  std::uint16_t identifier_ = 0;
  std::uint16_t sequence_ = 0;
  bool waiting_ = false;
  std::chrono::steady_clock::time_point sentAt_;
  int sent_ = 0, received_ = 0;
  long long total_ = 0;
  int minimum_ = 0, maximum_ = 0;
};

}  // namespace corvina::netutil
