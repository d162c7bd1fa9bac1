// Finger (port 79) and whois (port 43): connect, send one line, show what
// comes back until the server closes. Runs on the event loop; the name
// lookup runs off it; one time limit bounds the whole exchange and a cap
// bounds what is kept.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "netutil/OutputSink.h"
#include "platform/EventLoop.h"

namespace corvina {
class CMSocket;
}

namespace corvina::netutil {

class CTextQuery {
 public:
  enum class Kind { Finger, Whois };
  static constexpr int kFingerPort = 79;
  static constexpr int kWhoisPort = 43;
  static constexpr std::size_t kMaxReply = std::size_t{1} << 20;
  static constexpr std::chrono::seconds kDefaultTimeLimit{60};

  CTextQuery(Kind kind, platform::EventLoop& loop, OutputSink& out);
  ~CTextQuery();
  CTextQuery(const CTextQuery&) = delete;
  CTextQuery& operator=(const CTextQuery&) = delete;

  void SetPort(int port) { port_ = port; }
  void SetTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }
  // Clears the output and starts the exchange; the text is sent with CR LF.
  // The caller has refused texts with control characters.
  void Start(const std::string& host, const std::string& text);
  void Stop();
  bool Running() const { return socket_ != nullptr; }
  // Whether the last exchange ended with the server closing after it was
  // connected (not by an error, a time-out or the cap).
  bool Succeeded() const { return succeeded_; }
  // Called once per exchange when it ends, Stop included.
  std::function<void()> onFinished;

 private:
  void OnEvent(int event, int value);
  void Finish();

  Kind kind_;
  platform::EventLoop& loop_;
  OutputSink& out_;
  int port_;
  std::chrono::milliseconds timeLimit_ = kDefaultTimeLimit;
  std::unique_ptr<CMSocket> socket_;
  platform::TimerId timer_ = 0;
  std::string host_, text_;
  ReceivedText received_;
  bool connected_ = false;
  bool succeeded_ = false;
};

}  // namespace corvina::netutil
