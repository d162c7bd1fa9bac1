// The control interface of the running server: one request line per
// connection on a local stream socket that only the server's own user (and
// root) may use, answered with text. The command line of corvina-lpd is
// its client.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lpd/PrintQueues.h"
#include "platform/EventLoop.h"

namespace corvina::lpd {

// Requests are words separated by tabs: "list", "pause\tQ", "resume\tQ",
// "remove\tQ\tJOB", "print\tQ\tJOB" (a held, paused or failed job
// prints again), "define\tQ\tPRINTER\tOPTIONS" (empty fields keep the
// queue's value), "trace\tFILE" (empty FILE: stop). The reply's first line
// is "ok" or "error: TEXT"; the rest is the answer.
class CLpdControl {
 public:
  // Starts or stops the socket trace; returns an error text or empty.
  using TraceSwitch = std::function<std::string(const std::string& path)>;
  CLpdControl(platform::EventLoop& loop, CPrintQueues& queues, TraceSwitch trace);
  ~CLpdControl();
  bool Listen(const std::string& path, std::string& error);
  // The answer to one request (also used without a socket).
  std::string Execute(const std::string& request);

 private:
  struct Client;
  void Accept();
  void OnIo(int fd);
  void Close(int fd);

  platform::EventLoop& loop_;
  CPrintQueues& queues_;
  TraceSwitch trace_;
  int fd_ = -1;
  std::string path_;
  platform::WatchId watch_ = 0;
  std::map<int, std::unique_ptr<Client>> clients_;
};

// Sends one request to the server at `path` and returns its reply; false
// with the reason when the server cannot be reached.
bool ControlRequest(const std::string& path, const std::string& request, std::string& reply);

}  // namespace corvina::lpd
