// The listening AF_UNIX sockets of the automation servers.
#pragma once

#include <string>

namespace corvina::automation {

// A non-blocking socket of the type (SOCK_STREAM, SOCK_SEQPACKET) listening
// on the path; a file left there by an ended process is replaced. -1, with
// the cause, when it cannot be made.
int ListenLocal(const std::string& path, int type, int backlog, std::string* cause);

}  // namespace corvina::automation
