#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "TestSupport.h"
#include "platform/WsaErrors.h"
#include "session/MSocket.h"

using namespace corvina;
using namespace corvina::test;
using namespace std::chrono_literals;

TEST(SocketErrorText, NamesWindowsSocketsAndTlsCodes) {
  EXPECT_EQ(CMSocket::ErrorText(10061), "Socket error 10061: WSAECONNREFUSED");
  EXPECT_EQ(CMSocket::ErrorText(10035), "Socket error 10035: WSAEWOULDBLOCK");
  EXPECT_EQ(CMSocket::ErrorText(10101), "Socket error 10101: WSAEDISCON");
  EXPECT_EQ(CMSocket::ErrorText(10000), "Socket error 10000: WSAEUNDEFINED");
  EXPECT_EQ(CMSocket::ErrorText(10090), "Socket error 10090: WSAEUNDEFINED");  // no name in range
  EXPECT_EQ(CMSocket::ErrorText(1), "Socket error 1: SSL_ERROR_SSL");
  EXPECT_EQ(CMSocket::ErrorText(3), "Socket error 3: SSL_ERROR_WANT_WRITE");
  EXPECT_EQ(CMSocket::ErrorText(7), "Socket error 7: SSL_ERROR_WANT_CONNECT");
  EXPECT_EQ(CMSocket::ErrorText(0), "Socket error 0: WSAEUNDEFINED");
  EXPECT_EQ(CMSocket::ErrorText(-5), "Socket error -5: WSAEUNDEFINED");
}

TEST(SocketErrorText, ErrnoMapsToWindowsSocketsCodes) {
  EXPECT_EQ(platform::WsaFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(platform::WsaFromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(platform::WsaFromErrno(EHOSTUNREACH), 10065);
  EXPECT_EQ(platform::WsaFromErrno(EADDRINUSE), 10048);
  EXPECT_EQ(platform::WsaFromErrno(EAGAIN), 10035);
  EXPECT_EQ(platform::WsaFromErrno(EDOM), 10000);  // unmapped
}

namespace {

// A plain client socket that records its events.
struct Client {
  explicit Client(platform::EventLoop& loop) : socket(loop) {
    socket.SetOwner([this](CMSocket& s, int ev, int value) {
      events.push_back(ev);
      values.push_back(value);
      if (ev == kSockData) {
        auto in = s.TakeInput();
        received.append(in.begin(), in.end());
      }
    });
  }
  CMSocket socket;
  std::vector<int> events, values;
  std::string received;
};

// A blocking listener on 127.0.0.1 outside the event loop.
int RawListener(int* port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0 || ::listen(fd, 1) != 0) {
    ::close(fd);
    return -1;
  }
  *port = ntohs(a.sin_port);
  return fd;
}

}  // namespace

TEST(Socket, ConnectRaisesStartThenResultAndRefusedPortNamesTheError) {
  platform::PollLoop loop;
  Client c(loop);
  int port = FreePort();
  ASSERT_TRUE(c.socket.Connect("127.0.0.1", port));
  EXPECT_EQ(c.socket.State(), kSocketConnecting);
  ASSERT_TRUE(loop.RunUntil([&] { return c.events.size() >= 2; }, 5s));
  EXPECT_EQ(c.events[0], kSockConnecting);
  EXPECT_EQ(c.events[1], kSockConnected);
  EXPECT_EQ(c.values[1], 10061);
  EXPECT_EQ(c.socket.State(), kSocketClosed);
  EXPECT_EQ(c.socket.LastConnectFailure(), CMSocket::ConnectFailure::Connect);
}

TEST(Socket, UnknownHostFailsInTheLookup) {
  platform::PollLoop loop;
  Client c(loop);
  ASSERT_TRUE(c.socket.Connect("nosuch.invalid", 23));
  ASSERT_TRUE(loop.RunUntil([&] { return c.events.size() >= 2; }, 20s));
  EXPECT_EQ(c.events[1], kSockConnected);
  EXPECT_NE(c.values[1], 0);
  EXPECT_EQ(c.socket.LastConnectFailure(), CMSocket::ConnectFailure::Lookup);
}

TEST(Socket, DestroyedDuringLookupIgnoresTheLateResult) {
  platform::PollLoop loop;
  {
    Client c(loop);
    ASSERT_TRUE(c.socket.Connect("nosuch.invalid", 23));
  }
  loop.RunFor(200ms);  // the lookup's post must not reach the dead socket
}

TEST(Socket, DataFollowedByCloseGivesDataBeforeClose) {
  platform::PollLoop loop;
  LoopbackServer server(loop);
  Client c(loop);
  ASSERT_TRUE(c.socket.Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(loop.RunUntil([&] { return server.Accepted() == 1 && c.socket.State() == kSocketConnected; }, 5s));
  server.Send("last words");
  server.CloseConnection();
  ASSERT_TRUE(loop.RunUntil([&] { return c.socket.State() == kSocketClosed; }, 5s));
  EXPECT_EQ(c.received, "last words");
  ASSERT_GE(c.events.size(), 4u);
  EXPECT_EQ(c.events[c.events.size() - 2], kSockData);
  EXPECT_EQ(c.events.back(), kSockClosed);
}

TEST(Socket, LargeSendToASlowReaderArrivesCompleteAndInOrder) {
  platform::PollLoop loop;
  int port = 0;
  int lfd = RawListener(&port);
  ASSERT_GE(lfd, 0);

  constexpr std::size_t kSize = 8 * 1024 * 1024;
  std::string payload(kSize, '\0');
  for (std::size_t i = 0; i < kSize; ++i) payload[i] = static_cast<char>((i * 7 + i / 4096) & 0xFF);
  std::string got;
  std::thread reader([&] {
    int fd = ::accept(lfd, nullptr, nullptr);
    char buf[32 * 1024];
    for (;;) {
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, static_cast<std::size_t>(n));
      if (got.size() % (1024 * 1024) < sizeof buf) std::this_thread::sleep_for(2ms);  // slow
    }
    ::close(fd);
  });

  Client c(loop);
  ASSERT_TRUE(c.socket.Connect("127.0.0.1", port));
  ASSERT_TRUE(loop.RunUntil([&] { return c.socket.State() == kSocketConnected; }, 5s));
  EXPECT_EQ(c.socket.Send(payload.data(), payload.size()), 0);
  EXPECT_GT(c.socket.PendingOutput(), 0u);  // the network did not take it all at once
  ASSERT_TRUE(loop.RunUntil([&] { return c.socket.PendingOutput() == 0; }, 60s));
  EXPECT_EQ(c.events.back(), kSockWritable);
  c.socket.Close();
  reader.join();
  ::close(lfd);
  ASSERT_EQ(got.size(), payload.size());
  EXPECT_TRUE(got == payload);
}

TEST(Socket, ResetByPeerRaisesOneErrorThenClosed) {
  platform::PollLoop loop;
  int port = 0;
  int lfd = RawListener(&port);
  ASSERT_GE(lfd, 0);
  Client c(loop);
  ASSERT_TRUE(c.socket.Connect("127.0.0.1", port));
  int fd = ::accept(lfd, nullptr, nullptr);
  ASSERT_TRUE(loop.RunUntil([&] { return c.socket.State() == kSocketConnected; }, 5s));
  linger lg{1, 0};  // close with RST
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
  ::close(fd);
  ::close(lfd);
  ASSERT_TRUE(loop.RunUntil([&] { return c.socket.State() == kSocketClosed; }, 5s));
  loop.RunFor(50ms);
  int errors = 0;
  for (std::size_t i = 0; i < c.events.size(); ++i)
    if (c.events[i] == kSockError) {
      ++errors;
      EXPECT_EQ(c.values[i], 10054);
    }
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(c.events.back(), kSockClosed);
}

TEST(Socket, ListenAcceptAndSendBothWays) {
  platform::PollLoop loop;
  LoopbackServer server(loop);
  ASSERT_GT(server.Port(), 0);
  Client c(loop);
  ASSERT_TRUE(c.socket.Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(loop.RunUntil([&] { return server.Accepted() == 1 && c.socket.State() == kSocketConnected; }, 5s));
  c.socket.Send("ping", 4);
  server.Send("pong");
  ASSERT_TRUE(loop.RunUntil([&] { return server.Received() == "ping" && c.received == "pong"; }, 5s));
}

TEST(Socket, ListenOnABusyPortReportsAddressInUse) {
  platform::PollLoop loop;
  LoopbackServer first(loop);
  CMSocket second(loop);
  int error = 0;
  EXPECT_FALSE(second.Listen("127.0.0.1", first.Port(), 5, &error));
  EXPECT_EQ(error, 10048);
  EXPECT_EQ(second.State(), kSocketClosed);
}

namespace {
struct ProbeSocket : CMSocket {
  using CMSocket::CMSocket;
  using CMSocket::HandleReadable;
};
}  // namespace

TEST(Socket, ReadReadyWithNothingToReadRaisesNoEvent) {
  platform::PollLoop loop;
  LoopbackServer server(loop);
  ProbeSocket s(loop);
  std::vector<int> events;
  s.SetOwner([&](CMSocket&, int ev, int) { events.push_back(ev); });
  ASSERT_TRUE(s.Connect("127.0.0.1", server.Port()));
  ASSERT_TRUE(loop.RunUntil([&] { return s.State() == kSocketConnected; }, 5s));
  events.clear();
  s.HandleReadable();  // a spurious wake-up
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(s.State(), kSocketConnected);
}
