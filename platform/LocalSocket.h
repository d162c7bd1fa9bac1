// AF_UNIX sockets of the per-user servers and their clients: the automation
// servers, libtallis and the LPD server's control socket.
#pragma once

#include <sys/un.h>

#include <string>
#include <string_view>

namespace corvina::platform {

// Fills the address for the path; false when the path does not fit.
bool LocalAddress(const std::string& path, sockaddr_un& address);

// A non-blocking socket of the type (SOCK_STREAM, SOCK_SEQPACKET) listening
// on the path; a file left there by an ended process is replaced. -1, with
// the cause, when it cannot be made.
int ListenLocal(const std::string& path, int type, int backlog, std::string* cause);

// Whether the connected peer runs as this process's user (or as root, when
// rootToo).
bool PeerIsOwnUser(int fd, bool rootToo = false);

// The next waiting connection of this user (non-blocking, close-on-exec), or
// -1 when none waits. Connections of other users are sent the refusal, when
// there is one, and closed.
int AcceptOwnUser(int listenFd, bool rootToo = false, std::string_view refusal = {});

}  // namespace corvina::platform
