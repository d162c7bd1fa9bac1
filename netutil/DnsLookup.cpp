#include "netutil/DnsLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/utsname.h>

#include <cerrno>
#include <cstring>

#include "netutil/NetTexts.h"
#include "platform/Format.h"

namespace corvina::netutil {

using platform::Format;

namespace {

// Resolver answers larger than this are not believed.
constexpr std::size_t kMaxEntryBuffer = std::size_t{1} << 20;
constexpr std::size_t kMaxListed = 256;

HostEntry FromHostent(const hostent& h) {
  HostEntry e;
  e.found = true;
  e.officialName = h.h_name ? h.h_name : "";
  if (h.h_addrtype == AF_INET && h.h_length == 4 && h.h_addr_list)
    for (char** a = h.h_addr_list; *a && e.addresses.size() < kMaxListed; ++a) {
      std::uint32_t v;
      std::memcpy(&v, *a, 4);
      e.addresses.push_back(v);
    }
  if (h.h_aliases)
    for (char** a = h.h_aliases; *a && e.aliases.size() < kMaxListed; ++a) e.aliases.emplace_back(*a);
  return e;
}

// Calls one of the reentrant lookups with a buffer that grows while the
// answer does not fit.
template <class Call>
HostEntry WithBuffer(Call call) {
  std::vector<char> buffer(4096);
  for (;;) {
    hostent h{};
    hostent* result = nullptr;
    int herr = 0;
    int rc = call(&h, buffer.data(), buffer.size(), &result, &herr);
    if (rc == ERANGE && buffer.size() < kMaxEntryBuffer) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != 0 || result == nullptr) return {};
    return FromHostent(h);
  }
}

}  // namespace

std::optional<std::uint32_t> ParseDottedDecimal(std::string_view text) {
  std::uint8_t bytes[4];
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return std::nullopt;
      ++at;
    }
    std::size_t start = at;
    unsigned value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 3)
      value = value * 10 + static_cast<unsigned>(text[at++] - '0');
    if (at == start || value > 255) return std::nullopt;
    bytes[part] = static_cast<std::uint8_t>(value);
  }
  if (at != text.size()) return std::nullopt;
  std::uint32_t v;
  std::memcpy(&v, bytes, 4);
  return v;
}

std::string DottedDecimal(std::uint32_t address) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(&address);
  return Format("%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

HostEntry LookUpHost(const std::string& name) {
  if (auto address = ParseDottedDecimal(name)) {
    std::uint32_t a = *address;
    return WithBuffer([&](hostent* h, char* buf, std::size_t len, hostent** res, int* herr) {
      return ::gethostbyaddr_r(&a, sizeof a, AF_INET, h, buf, len, res, herr);
    });
  }
  return WithBuffer([&](hostent* h, char* buf, std::size_t len, hostent** res, int* herr) {
    return ::gethostbyname2_r(name.c_str(), AF_INET, h, buf, len, res, herr);
  });
}

std::string DescribeLookup(const std::string& name, const HostEntry& entry) {
  if (!entry.found)
    return Format(ParseDottedDecimal(name) ? texts::kNoAddress : texts::kNoHostEntry, name.c_str());
  std::string out = Format(texts::kOfficialName, entry.officialName.c_str());
  for (std::uint32_t a : entry.addresses) out += Format(texts::kIpAddress, DottedDecimal(a).c_str());
  for (const std::string& alias : entry.aliases) out += Format(texts::kAlias, alias.c_str());
  return out;
}

std::string SocketsDescription() {
  utsname u{};
  if (::uname(&u) != 0) return Format(texts::kSocketsDescription, "POSIX", "") + texts::kSocketsRunning;
  return Format(texts::kSocketsDescription, u.sysname, u.release) + texts::kSocketsRunning;
}

void CDnsLookup::Start(const std::string& name) {
  found_ = false;
  out_.Append(Format(texts::kLookingUp, name.c_str()));
  request_.Run<HostEntry>(
      loop_, [name] { return LookUpHost(name); },
      [this, name](HostEntry entry) {
        found_ = entry.found;
        out_.Append(DescribeLookup(name, entry));
        if (onFinished) onFinished();
      });
}

}  // namespace corvina::netutil
