// The network utilities against real servers from the distribution, each
// test in a network namespace of its own (PrivateNetwork.cpp) where the
// servers take their usual ports: fingerd behind socat, a whois server
// compared with the whois client, dnsmasq compared with getent and dig,
// ICMP echo on loopback, dovecot's POP3 server.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "netutil/DnsLookup.h"
#include "netutil/Ping.h"
#include "netutil/Pop3.h"
#include "netutil/TextQuery.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"
#include "tests/netutil/PrivateNetwork.h"
#include "tests/session/TestSupport.h"

using namespace corvina;
using namespace corvina::netutil;
using namespace corvina::test;

namespace {

bool Installed(const char* path) { return ::access(path, X_OK) == 0; }

// A command's standard output.
std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    ::pclose(p);
  }
  return out;
}

std::string WithoutCr(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
  return s;
}

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  auto a = text.find(from);
  if (a == std::string::npos) return {};
  a += from.size();
  auto b = text.find(to, a);
  return text.substr(a, b == std::string::npos ? std::string::npos : b - a);
}

struct Rig {
  platform::PollLoop loop;
  TextOutput out;
  bool Until(const std::function<bool()>& done, int ms = 15000) {
    return loop.RunUntil(done, std::chrono::milliseconds(ms));
  }
};

}  // namespace

TEST(Finger, ShowsWhatTheFingerClientShows) {
  REQUIRE_PRIVATE_NETWORK();
  if (!Installed("/usr/sbin/in.fingerd") || !Installed("/usr/bin/finger") || !Installed("/usr/bin/socat"))
    GTEST_SKIP() << "fingerd, finger and socat are not installed";
  Rig rig;
  CTextQuery finger(CTextQuery::Kind::Finger, rig.loop, rig.out);
  // Nothing listens yet.
  finger.Start("127.0.0.1", "daemon");
  ASSERT_TRUE(rig.Until([&] { return !finger.Running(); }));
  EXPECT_EQ(rig.out.Text(), "Unable to connect to host 127.0.0.1\r\nSocket error 10061: WSAECONNREFUSED\r\n");

  ChildProcess fingerd({"socat", "TCP-LISTEN:79,bind=127.0.0.1,reuseaddr,fork", "EXEC:/usr/sbin/in.fingerd,nofork"});
  ASSERT_TRUE(WaitForListener(79));
  finger.Start("127.0.0.1", "daemon");
  ASSERT_TRUE(rig.Until([&] { return !finger.Running(); }));
  EXPECT_TRUE(finger.Succeeded());
  const std::string text = rig.out.Text();
  ASSERT_TRUE(text.starts_with("Connected to host 127.0.0.1\r\n")) << text;
  ASSERT_TRUE(text.ends_with("Disconnected by host 127.0.0.1\r\n")) << text;
  const std::string body = Between(text, "Connected to host 127.0.0.1\r\n", "Disconnected by host");
  EXPECT_NE(body.find("Login: daemon"), std::string::npos) << body;
  EXPECT_EQ(body.find("\n\n"), std::string::npos);  // every line end is CR LF
  EXPECT_EQ(WithoutCr(body), Output("finger daemon@127.0.0.1"));
}

TEST(Whois, SendsWhatTheWhoisClientSendsAndShowsTheReplySafely) {
  REQUIRE_PRIVATE_NETWORK();
  if (!Installed("/usr/bin/whois")) GTEST_SKIP() << "whois is not installed";
  const std::string dir = MakeTempDir();
  // Records each request; answers with LF line ends, an escape sequence and
  // a Latin-1 letter.
  WriteFile(dir + "/whois.py", R"(import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 43)); s.listen(5)
while True:
    c, _ = s.accept(); data = b""
    while not data.endswith(b"\n"):
        more = c.recv(4096)
        if not more: break
        data += more
    if data:
        open(sys.argv[1], "ab").write(data.hex().encode() + b"\n")
        c.sendall(b"Domain: corvina.test\n\x1b[31mRegistrar: Caf\xe9\r\n")
    c.close()
)");
  ChildProcess server({"python3", dir + "/whois.py", dir + "/requests"});
  ASSERT_TRUE(WaitForListener(43));
  Output("whois -h 127.0.0.1 corvina.test >/dev/null");
  Rig rig;
  CTextQuery whois(CTextQuery::Kind::Whois, rig.loop, rig.out);
  whois.Start("127.0.0.1", "corvina.test");
  ASSERT_TRUE(rig.Until([&] { return !whois.Running(); }));
  std::istringstream requests(ReadFile(dir + "/requests"));
  std::string theirs, ours;
  std::getline(requests, theirs);
  std::getline(requests, ours);
  EXPECT_EQ(theirs, "636f7276696e612e746573740d0a");  // "corvina.test\r\n"
  EXPECT_EQ(ours, theirs);
  EXPECT_EQ(rig.out.Text(),
            "Connected to host 127.0.0.1\r\nDomain: corvina.test\r\n?[31mRegistrar: Caf\xC3\xA9\r\n"
            "Disconnected by host 127.0.0.1\r\n");
  std::system(("rm -rf '" + dir + "'").c_str());
}

class Dns : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PRIVATE_NETWORK();
    if (!Installed("/usr/sbin/dnsmasq") || !Installed("/usr/bin/dig")) GTEST_SKIP() << "dnsmasq and dig are not installed";
    dir_ = MakeTempDir();
    WriteFile(dir_ + "/hosts", "10.1.2.3 host1.corvina.test\n10.1.2.4 host1.corvina.test\n10.9.9.9 other.corvina.test\n");
    server_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "dnsmasq", "--keep-in-foreground", "--no-daemon", "--user=root", "--no-resolv", "--no-hosts",
        "--addn-hosts=" + dir_ + "/hosts", "--listen-address=127.0.0.1", "--bind-interfaces", "--port=53",
        "--cname=www.corvina.test,host1.corvina.test", "--pid-file=" + dir_ + "/pid", "--log-facility=" + dir_ + "/log"});
    for (int i = 0; i < 100 && Output("dig +short +time=1 +tries=1 @127.0.0.1 other.corvina.test").empty(); ++i)
      ::usleep(50'000);
  }
  void TearDown() override {
    server_.reset();
    if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  std::string Lookup(const std::string& name) {
    Rig rig;
    CDnsLookup lookup(rig.loop, rig.out);
    lookup.Start(name);
    EXPECT_TRUE(rig.Until([&] { return !lookup.Running(); }));
    return rig.out.Text();
  }
  std::string dir_;
  std::unique_ptr<ChildProcess> server_;
};

TEST_F(Dns, ForwardReverseAndAliasesAgreeWithGetentAndDig) {
  // Forward: the addresses dig finds, the names getent gives.
  std::string text = Lookup("host1.corvina.test");
  EXPECT_TRUE(text.starts_with("Looking up host \"host1.corvina.test\".\r\nOfficial Name: host1.corvina.test\r\n"))
      << text;
  std::set<std::string> ours, dig;
  for (std::istringstream in(text); std::getline(in, text);)
    if (text.starts_with("IP Address: ")) ours.insert(WithoutCr(text.substr(12)));
  for (std::istringstream in(Output("dig +short @127.0.0.1 host1.corvina.test A")); std::getline(in, text);) dig.insert(text);
  EXPECT_EQ(ours, (std::set<std::string>{"10.1.2.3", "10.1.2.4"}));
  EXPECT_EQ(ours, dig);

  // An alias: the official name is the target, the alias is listed.
  text = Lookup("www.corvina.test");
  EXPECT_NE(text.find("Official Name: host1.corvina.test\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Alias: www.corvina.test\r\n"), std::string::npos) << text;
  std::istringstream getent(Output("getent hosts www.corvina.test"));
  std::string address, official, alias;
  getent >> address >> official >> alias;
  EXPECT_EQ(official, "host1.corvina.test");
  EXPECT_EQ(alias, "www.corvina.test");

  // Reverse: a dotted address is looked up by address.
  text = Lookup("10.9.9.9");
  EXPECT_EQ(text, "Looking up host \"10.9.9.9\".\r\nOfficial Name: other.corvina.test\r\nIP Address: 10.9.9.9\r\n");
  EXPECT_EQ(Output("dig +short @127.0.0.1 -x 10.9.9.9"), "other.corvina.test.\n");

  EXPECT_EQ(Lookup("nosuch.corvina.test"),
            "Looking up host \"nosuch.corvina.test\".\r\nCan't get \"nosuch.corvina.test\" host entry.\r\n");
  EXPECT_EQ(Lookup("10.7.7.7"), "Looking up host \"10.7.7.7\".\r\nCan't get \"10.7.7.7\" IP address.\r\n");
}

class Ping : public ::testing::Test {
 protected:
  void SetUp() override { REQUIRE_PRIVATE_NETWORK(); }
  std::string RunPing(const std::string& host, PingSettings settings, int type = 0, int* used = nullptr) {
    Rig rig;
    CPinger pinger(rig.loop, rig.out);
    pinger.ForceSocketType(type);
    pinger.Start(host, settings);
    EXPECT_TRUE(rig.Until([&] { return !pinger.Running(); }, 20000));
    if (used) *used = pinger.SocketType();
    return rig.out.Text();
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};

TEST_F(Ping, LoopbackAnswersEveryRequestThroughADatagramOrARawSocket) {
  ASSERT_TRUE(SetSysctl("net.ipv4.ping_group_range", "0 2147483647"));
  int used = 0;
  std::string text = RunPing("127.0.0.1", {3, 56, 2}, 0, &used);
  EXPECT_EQ(used, SOCK_DGRAM);
  EXPECT_TRUE(text.starts_with("Pinging 127.0.0.1 [127.0.0.1] from ")) << text;
  EXPECT_NE(text.find(" with 56 bytes of data:\r\n"), std::string::npos);
  EXPECT_EQ(Count(text, "Reply from 127.0.0.1: bytes=56 time="), 3) << text;
  EXPECT_NE(text.find("Sent=3 Received=3 Loss=0% Time(min/avg/max)="), std::string::npos) << text;

  // Without datagram ICMP for this group the raw socket serves; it also
  // sees its own requests on loopback, which are not replies.
  ASSERT_TRUE(SetSysctl("net.ipv4.ping_group_range", "1 0"));
  text = RunPing("127.0.0.1", {3, 32, 2}, 0, &used);
  EXPECT_EQ(used, SOCK_RAW);
  EXPECT_EQ(Count(text, "Reply from 127.0.0.1: bytes=32 time="), 3) << text;
  EXPECT_NE(text.find("Sent=3 Received=3 Loss=0%"), std::string::npos) << text;

  // An address no route leads to.
  text = RunPing("10.0.0.1", {1, 32, 1});
  EXPECT_NE(text.find("Reply from 10.0.0.1: Destination network unreachable.\r\nSent=1 Received=0 Loss=100%"),
            std::string::npos)
      << text;
}

TEST_F(Ping, AHostThatDoesNotAnswerTimesOut) {
  ASSERT_TRUE(SetSysctl("net.ipv4.icmp_echo_ignore_all", "1"));
  for (int type : {SOCK_DGRAM, SOCK_RAW}) {
    ASSERT_TRUE(SetSysctl("net.ipv4.ping_group_range", type == SOCK_DGRAM ? "0 2147483647" : "1 0"));
    const std::string text = RunPing("127.0.0.1", {1, 32, 1}, type);
    EXPECT_TRUE(text.ends_with("Request timed out.\r\nSent=1 Received=0 Loss=100% Time(min/avg/max)=0/0/0 (ms)"))
        << text;
  }
}

TEST_F(Ping, AUserAllowedNeitherSocketIsToldWhy) {
  if (!Installed("/usr/bin/setpriv")) GTEST_SKIP() << "setpriv is not installed";
  ASSERT_TRUE(SetSysctl("net.ipv4.ping_group_range", "1 0"));
  const std::string out = Output("setpriv --bounding-set=-net_raw --inh-caps=-net_raw " CORVINA_NETUTIL_PROGRAM
                              " ping 127.0.0.1 --packets 1; echo \"exit=$?\"");
  EXPECT_NE(out.find("ICMP echo is not allowed for this user: Operation not permitted."), std::string::npos) << out;
  EXPECT_NE(out.find("net.ipv4.ping_group_range"), std::string::npos);
  EXPECT_NE(out.find("exit=1"), std::string::npos) << out;
}

class Dovecot : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PRIVATE_NETWORK();
    if (!Installed("/usr/sbin/dovecot")) GTEST_SKIP() << "dovecot-pop3d is not installed";
    dir_ = MakeTempDir();
    ::chmod(dir_.c_str(), 0755);
    const std::string maildir = dir_ + "/home/demo/Maildir";
    std::system(("mkdir -p " + maildir + "/cur " + maildir + "/new " + maildir + "/tmp").c_str());
    for (int i = 1; i <= 3; ++i)
      WriteFile(maildir + "/new/" + std::to_string(i) + ".msg", "From: a@corvina.test\r\nSubject: " +
                                                                    std::to_string(i) + "\r\n\r\nbody\r\n");
    std::system(("chown -R nobody:nogroup " + dir_ + "/home").c_str());
    WriteFile(dir_ + "/passwd", "demo:{PLAIN}secret\n");
    WriteFile(dir_ + "/dovecot.conf",
              "protocols = pop3\nlisten = 127.0.0.1\nbase_dir = " + dir_ + "/run\nstate_dir = " + dir_ +
                  "/state\nlog_path = " + dir_ + "/log\nssl = no\ndisable_plaintext_auth = no\n"
                  "auth_mechanisms = plain\nfirst_valid_uid = 1\n"
                  "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u " + dir_ + "/passwd\n}\n"
                  "userdb {\n  driver = static\n  args = uid=nobody gid=nogroup home=" + dir_ + "/home/%u\n}\n"
                  "mail_location = maildir:~/Maildir\n"
                  "service pop3-login {\n  inet_listener pop3 {\n    port = 110\n  }\n}\n");
    server_ = std::make_unique<ChildProcess>(std::vector<std::string>{"dovecot", "-F", "-c", dir_ + "/dovecot.conf"});
    ASSERT_TRUE(WaitForListener(110)) << ReadFile(dir_ + "/log");
  }
  void TearDown() override {
    server_.reset();
    if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  std::string dir_;
  std::unique_ptr<ChildProcess> server_;
};

TEST_F(Dovecot, CountsTheMailboxAndReportsARefusedPassword) {
  Rig rig;
  platform::RecordingUserInterface ui;
  CMailChecker checker(rig.loop, rig.out, ui, "Check Mail - Corvina");
  auto idle = [&] { return checker.GetState() == CMailChecker::State::Idle; };
  checker.Start({"127.0.0.1", 110, "demo", "secret"}, 0);
  ASSERT_TRUE(rig.Until(idle)) << rig.out.Text();
  EXPECT_TRUE(checker.LastSucceeded()) << rig.out.Text() << ReadFile(dir_ + "/log");
  EXPECT_EQ(checker.LastCount(), 3);
  EXPECT_TRUE(rig.out.Text().ends_with("Disconnected by host 127.0.0.1\r\ndemo has 3 message(s).\r\n"))
      << rig.out.Text();
  ASSERT_EQ(ui.boxes.size(), 1u);

  checker.Start({"127.0.0.1", 110, "demo", "wrong"}, 0);
  ASSERT_TRUE(rig.Until(idle));
  EXPECT_FALSE(checker.LastSucceeded());
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_TRUE(ui.boxes[1].text.starts_with("-ERR")) << ui.boxes[1].text;
  EXPECT_EQ(ui.boxes[1].answer, platform::Answer::Ok);
}

// The one-second clock runs on while a lookup hangs on a silent name
// server, a POP3 server says nothing and a ping waits 5 s for its reply.
TEST(EventLoop, TheClockTicksWhileToolsWait) {
  REQUIRE_PRIVATE_NETWORK();
  ASSERT_TRUE(SetSysctl("net.ipv4.icmp_echo_ignore_all", "1"));
  // A name server that takes the questions and never answers.
  int silentDns = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(53);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(silentDns, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  // A POP3 server that accepts (the kernel does it) and never greets.
  int silentPop = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  a.sin_port = htons(110);
  ASSERT_EQ(::bind(silentPop, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(silentPop, 4), 0);

  Rig rig;
  TextOutput dnsOut, mailOut;
  platform::RecordingUserInterface ui;
  CDnsLookup lookup(rig.loop, dnsOut);
  CMailChecker checker(rig.loop, mailOut, ui, "Check Mail - Corvina");
  CPinger pinger(rig.loop, rig.out);
  int ticks = 0;
  rig.loop.AddTimer(std::chrono::seconds(1), true, [&] { ++ticks; });
  const auto start = std::chrono::steady_clock::now();
  lookup.Start("hangs.corvina.test");
  checker.Start({"127.0.0.1", 110, "demo", "secret"}, 0);
  pinger.Start("127.0.0.1", {1, 32, 5});
  ASSERT_TRUE(rig.Until([&] { return !pinger.Running(); }, 10000));
  const auto seconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count() / 1000.0;
  EXPECT_GE(seconds, 5.0);
  EXPECT_GE(ticks, 4) << "the loop was held for " << seconds << " s";
  EXPECT_NE(rig.out.Text().find("Request timed out.\r\n"), std::string::npos);
  EXPECT_TRUE(lookup.Running());  // still waiting for the name server
  EXPECT_EQ(checker.GetState(), CMailChecker::State::Checking);
  EXPECT_NE(mailOut.Text().find("Connected to host 127.0.0.1\r\n"), std::string::npos);
  checker.Stop();
  ::close(silentDns);
  ::close(silentPop);
}
