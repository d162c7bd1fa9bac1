// Every text the network utilities show, as printf formats. Output texts end
// in CR LF as the output area keeps them.
#pragma once

namespace corvina::netutil::texts {

inline constexpr char kProduct[] = "Corvina";

// Dialog titles, formatted with the product name.
inline constexpr char kFingerTitle[] = "Finger - %s";
inline constexpr char kWhoisTitle[] = "Whois - %s";
inline constexpr char kCheckMailTitle[] = "Check Mail - %s";
inline constexpr char kPingTitle[] = "Ping - %s";
inline constexpr char kDnsTitle[] = "DNS Lookup - %s";

// Field checks.
inline constexpr char kEnterHost[] = "Please enter a Host Name or IP address.";
inline constexpr char kEnterUser[] = "Please enter a User Name.";
inline constexpr char kEnterHostName[] = "Please enter a host name.";
inline constexpr char kEnterPop3Host[] = "Please enter your POP3 account name.";
inline constexpr char kEnterPop3User[] = "Please enter your user name.";
inline constexpr char kEnterPassword[] = "Please enter your password.";
// A field that would let a user smuggle commands or lines into the exchange.
inline constexpr char kControlCharacters[] = "The %s must not contain control characters.";
inline constexpr char kNumberRange[] = "Please enter a number between %ld and %ld for %s";

// Connections (finger, whois, mail check).
inline constexpr char kSocketFailed[] = "Failed to create new socket.\r\n";
inline constexpr char kUnableToConnect[] = "Unable to connect to host %s\r\n";
inline constexpr char kConnected[] = "Connected to host %s\r\n";
inline constexpr char kDisconnected[] = "Disconnected by host %s\r\n";
inline constexpr char kErrorOnHost[] = "Error occured on host %s\r\n";
inline constexpr char kLine[] = "%s\r\n";
// The exchange took longer than its time limit.
inline constexpr char kTimedOut[] = "The exchange with host %s took longer than %d s and was ended.\r\n";
// The reply exceeded what is kept.
inline constexpr char kReplyTooLong[] = "The reply of host %s exceeds %zu bytes; the connection was closed.\r\n";

// DNS lookup.
inline constexpr char kLookingUp[] = "Looking up host \"%s\".\r\n";
inline constexpr char kNoAddress[] = "Can't get \"%s\" IP address.\r\n";
inline constexpr char kNoHostEntry[] = "Can't get \"%s\" host entry.\r\n";
inline constexpr char kOfficialName[] = "Official Name: %s\r\n";
inline constexpr char kIpAddress[] = "IP Address: %s\r\n";
inline constexpr char kAlias[] = "Alias: %s\r\n";

// Ping.
inline constexpr char kPinging[] = "Pinging %s [%d.%d.%d.%d] from %s with %d bytes of data:\r\n";
inline constexpr char kReply[] = "Reply from %d.%d.%d.%d: bytes=%d time=%dms\r\n";
inline constexpr char kNetUnreachable[] = "Reply from %d.%d.%d.%d: Destination network unreachable.\r\n";
inline constexpr char kHostUnreachable[] = "Reply from %d.%d.%d.%d: Destination host unreachable.\r\n";
inline constexpr char kPingFailed[] = "Reply from %d.%d.%d.%d: ping failed, status = %d.\r\n";
inline constexpr char kRequestTimedOut[] = "Request timed out.\r\n";
inline constexpr char kSummary[] = "Sent=%d Received=%d Loss=%d%% Time(min/avg/max)=%d/%d/%d (ms)";
inline constexpr char kStopped[] = "Stopped.\r\n";
inline constexpr char kSetTimerFailed[] = "Error: SetTimer failed";
// Neither an ICMP datagram socket nor a raw one may be opened.
inline constexpr char kNoIcmp[] =
    "ICMP echo is not allowed for this user: %s. Allow datagram ICMP sockets for the user's group with "
    "sysctl net.ipv4.ping_group_range, or grant the program CAP_NET_RAW.\r\n";
inline constexpr char kSendFailed[] = "Sending the echo request failed: %s\r\n";

// Mail check.
inline constexpr char kConnecting[] = "%s Connecting to host %s\r\n";
inline constexpr char kMessages[] = "%s has %d message(s).\r\n";
inline constexpr char kPassEcho[] = "PASS\r\n";
// A STAT answer without a message count.
inline constexpr char kBadStat[] = "The server's STAT reply has no message count.\r\n";

// The socket layer as the platform describes itself when a tool opens.
inline constexpr char kSocketsDescription[] = "%s %s sockets\r\n";
inline constexpr char kSocketsRunning[] = "Running\r\n";

}  // namespace corvina::netutil::texts
