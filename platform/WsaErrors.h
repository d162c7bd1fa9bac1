// Socket error codes keep their classic Windows Sockets numbers and names,
// because users, traces and scripts quote them.
#pragma once

namespace corvina::platform {

constexpr int kWsaBase = 10000;           // also "no standard name"
constexpr int kWsaHostNotFound = 11001;   // name lookup failed
constexpr int kWsaTryAgain = 11002;       // name lookup failed for now

// Maps an errno value to its Windows Sockets code; unmapped values give 10000.
int WsaFromErrno(int err);

// The constant's name ("WSAECONNREFUSED") or nullptr when the code has none.
const char* WsaName(int code);

}  // namespace corvina::platform
