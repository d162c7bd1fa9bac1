// The mail check against a scripted POP3 server on 127.0.0.1 that splits
// and joins its replies, refuses, stays silent or floods.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "netutil/Pop3.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"
#include "session/MSocket.h"

using namespace corvina;
using namespace corvina::netutil;

namespace {

// Answers each line the client sends with what the script returns; the
// greeting goes out on connection. An answer of "<close>" closes.
class ScriptedServer {
 public:
  using Script = std::function<std::vector<std::string>(const std::string& line)>;
  ScriptedServer(platform::EventLoop& loop, std::vector<std::string> greeting, Script script)
      : listener_(loop), greeting_(std::move(greeting)), script_(std::move(script)) {
    listener_.SetOwner([this](CMSocket& s, int event, int) {
      if (event != kSockAccepted) return;
      conn_ = s.TakeAccepted();
      conn_->SetOwner([this](CMSocket& c, int ev, int) {
        if (ev != kSockData) return;
        auto in = c.TakeInput();
        pending_.append(in.begin(), in.end());
        for (std::size_t at; (at = pending_.find("\r\n")) != std::string::npos;) {
          std::string line = pending_.substr(0, at);
          pending_.erase(0, at + 2);
          received.push_back(line);
          Send(script_(line));
        }
      });
      ++connections;
      Send(greeting_);
    });
    listener_.Listen("127.0.0.1", 0);
  }
  int Port() const { return listener_.LocalPort(); }
  std::vector<std::string> received;
  int connections = 0;

 private:
  void Send(const std::vector<std::string>& pieces) {
    for (const std::string& p : pieces) {
      if (p == "<close>") {
        conn_->Close();
        return;
      }
      conn_->Send(p.data(), p.size());
    }
  }
  CMSocket listener_;
  std::unique_ptr<CMSocket> conn_;
  std::vector<std::string> greeting_;
  Script script_;
  std::string pending_;
};

// A well-behaved mailbox whose replies come in pieces.
std::vector<std::string> Mailbox(const std::string& line, int* count) {
  if (line.starts_with("USER")) return {"+O", "K\r\n"};
  if (line.starts_with("PASS")) return {"+OK logged in\r\n"};
  if (line == "STAT") return {"+OK " + std::to_string(*count) + " 4", "00\r\n"};
  if (line == "QUIT") return {"+OK bye\r\n", "<close>"};
  return {"-ERR what\r\n"};
}

struct Rig {
  platform::PollLoop loop;
  TextOutput out;
  platform::RecordingUserInterface ui;
  CMailChecker checker{loop, out, ui, "Check Mail - Corvina"};
  MailAccount Account(int port) { return {"127.0.0.1", port, "demo", "secret"}; }
  bool Idle(int ms = 5000) {
    return loop.RunUntil([&] { return checker.GetState() != CMailChecker::State::Checking; },
                         std::chrono::milliseconds(ms));
  }
};

}  // namespace

TEST(MailCheck, CountsMessagesFromSplitRepliesAndTellsOnlyOfMore) {
  Rig rig;
  int count = 2;
  ScriptedServer server(rig.loop, {"+OK re", "ady\r\n"}, [&](const std::string& l) { return Mailbox(l, &count); });
  rig.checker.Start(rig.Account(server.Port()), 0);
  ASSERT_TRUE(rig.Idle());
  EXPECT_TRUE(rig.checker.LastSucceeded());
  EXPECT_EQ(rig.checker.LastCount(), 2);
  EXPECT_EQ(server.received, (std::vector<std::string>{"USER demo", "PASS secret", "STAT", "QUIT"}));
  const std::string& text = rig.out.Text();
  EXPECT_NE(text.find(" Connecting to host 127.0.0.1\r\nConnected to host 127.0.0.1\r\n+OK ready\r\nUSER demo\r\n"
                      "+OK\r\nPASS\r\n+OK logged in\r\nSTAT\r\n+OK 2 400\r\nQUIT\r\n+OK bye\r\n"
                      "Disconnected by host 127.0.0.1\r\ndemo has 2 message(s).\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("secret"), std::string::npos);  // the password is never shown
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].text, "demo has 2 message(s).");

  // The same count again tells nothing; one more does.
  rig.checker.Start(rig.Account(server.Port()), 0);
  ASSERT_TRUE(rig.Idle());
  EXPECT_EQ(rig.ui.boxes.size(), 1u);
  count = 3;
  rig.checker.Start(rig.Account(server.Port()), 0);
  ASSERT_TRUE(rig.Idle());
  EXPECT_EQ(rig.ui.boxes.size(), 2u);
}

TEST(MailCheck, RepliesJoinedInOneReadAreJudgedOneByOne) {
  Rig rig;
  ScriptedServer server(rig.loop, {"+OK ready\r\n"}, [](const std::string& l) -> std::vector<std::string> {
    if (l.starts_with("USER")) return {"+OK\r\n+OK\r\n"};  // USER's and, early, PASS's
    if (l == "STAT") return {"+OK 5 100\r\n"};
    if (l == "QUIT") return {"+OK\r\n", "<close>"};
    return {};
  });
  rig.checker.Start(rig.Account(server.Port()), 0);
  ASSERT_TRUE(rig.Idle());
  EXPECT_EQ(rig.checker.LastCount(), 5);
  EXPECT_EQ(server.received, (std::vector<std::string>{"USER demo", "PASS secret", "STAT", "QUIT"}));
}

TEST(MailCheck, RefusalsAndBadCountsGiveNoCount) {
  {
    Rig rig;
    ScriptedServer server(rig.loop, {"-ERR go away\r\n"}, [](const std::string&) {
      return std::vector<std::string>{"-ERR still no\r\n", "<close>"};
    });
    rig.checker.Start(rig.Account(server.Port()), 5);
    ASSERT_TRUE(rig.Idle());
    EXPECT_FALSE(rig.checker.LastSucceeded());
    EXPECT_EQ(rig.checker.GetState(), CMailChecker::State::Idle);  // no timed check after an error
    EXPECT_EQ(server.received, (std::vector<std::string>{"QUIT"}));  // one QUIT, whatever it answers
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].text, "-ERR go away");
    EXPECT_EQ(rig.out.Text().find("message(s)"), std::string::npos);
  }
  {
    Rig rig;
    int unused = 0;
    ScriptedServer server(rig.loop, {"+OK\r\n"}, [&](const std::string& l) -> std::vector<std::string> {
      if (l == "STAT") return {"+OK lots\r\n"};
      return Mailbox(l, &unused);
    });
    rig.checker.Start(rig.Account(server.Port()), 0);
    ASSERT_TRUE(rig.Idle());
    EXPECT_FALSE(rig.checker.LastSucceeded());
    EXPECT_NE(rig.out.Text().find("The server's STAT reply has no message count.\r\nQUIT\r\n"), std::string::npos);
    EXPECT_TRUE(rig.ui.boxes.empty());
  }
  {
    // A server that closes before STAT has said nothing about the mailbox.
    Rig rig;
    ScriptedServer server(rig.loop, {"+OK\r\n", "<close>"}, [](const std::string&) {
      return std::vector<std::string>{};
    });
    rig.checker.Start(rig.Account(server.Port()), 0);
    ASSERT_TRUE(rig.Idle());
    EXPECT_FALSE(rig.checker.LastSucceeded());
    EXPECT_EQ(rig.out.Text().find("message(s)"), std::string::npos) << rig.out.Text();
  }
}

TEST(MailCheck, SilentAndFloodingServersEndTheCheck) {
  {
    Rig rig;
    ScriptedServer server(rig.loop, {}, [](const std::string&) { return std::vector<std::string>{}; });
    rig.checker.SetTimeLimit(std::chrono::milliseconds(300));
    rig.checker.Start(rig.Account(server.Port()), 0);
    ASSERT_TRUE(rig.Idle());
    EXPECT_NE(rig.out.Text().find("The exchange with host 127.0.0.1 took longer than 1 s and was ended.\r\n"), std::string::npos)
        << rig.out.Text();
  }
  for (const std::string& flood : {std::string(200 * 1024, 'x'), [] {
         std::string s;
         while (s.size() < 100 * 1024) s += "+XX junk line\r\n";
         return s;
       }()}) {
    Rig rig;
    ScriptedServer server(rig.loop, {flood}, [](const std::string&) { return std::vector<std::string>{}; });
    rig.checker.Start(rig.Account(server.Port()), 0);
    ASSERT_TRUE(rig.Idle());
    EXPECT_FALSE(rig.checker.LastSucceeded());
    EXPECT_NE(rig.out.Text().find("exceeds"), std::string::npos);
    EXPECT_LT(rig.out.Text().size(), 80u * 1024);
  }
}

TEST(MailCheck, TheTimerChecksAgainAndStopEndsIt) {
  Rig rig;
  int count = 1;
  ScriptedServer server(rig.loop, {"+OK\r\n"}, [&](const std::string& l) { return Mailbox(l, &count); });
  rig.checker.SetMinute(std::chrono::milliseconds(50));
  rig.checker.Start(rig.Account(server.Port()), 2);
  ASSERT_TRUE(rig.Idle());
  EXPECT_EQ(rig.checker.GetState(), CMailChecker::State::WaitingForNextCheck);
  ASSERT_TRUE(rig.loop.RunUntil([&] { return server.connections == 2; }, std::chrono::seconds(5)));
  ASSERT_TRUE(rig.Idle());
  rig.checker.Stop();
  EXPECT_EQ(rig.checker.GetState(), CMailChecker::State::Idle);
  rig.loop.RunFor(std::chrono::milliseconds(300));
  EXPECT_EQ(server.connections, 2);
}
