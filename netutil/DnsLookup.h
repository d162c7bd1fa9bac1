// DNS lookup: a dotted address by address, any other name by name, on a
// worker thread so the user-interface thread never waits on a resolver.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "netutil/Background.h"
#include "netutil/OutputSink.h"

namespace corvina::netutil {

struct HostEntry {
  bool found = false;
  std::string officialName;
  std::vector<std::uint32_t> addresses;  // IPv4, network byte order
  std::vector<std::string> aliases;
};

// Four decimal numbers 0 to 255 joined by dots, nothing else; the address
// in network byte order.
std::optional<std::uint32_t> ParseDottedDecimal(std::string_view text);
std::string DottedDecimal(std::uint32_t address);

// The resolver's entry for a name, or for a dotted address. Blocks.
HostEntry LookUpHost(const std::string& name);

// The output block of a lookup: its failure line, or the official name,
// every address and every alias.
std::string DescribeLookup(const std::string& name, const HostEntry& entry);

// What the socket layer says of itself when a tool opens (two lines).
std::string SocketsDescription();

class CDnsLookup {
 public:
  CDnsLookup(platform::EventLoop& loop, OutputSink& out) : loop_(loop), out_(out) {}
  // Appends the "Looking up" line now and the result when it comes.
  void Start(const std::string& name);
  bool Running() const { return request_.Pending(); }
  // Whether the last lookup found the host.
  bool Found() const { return found_; }
  std::function<void()> onFinished;

 private:
  platform::EventLoop& loop_;
  OutputSink& out_;
  BackgroundRequest request_;
  bool found_ = false;
};

}  // namespace corvina::netutil
