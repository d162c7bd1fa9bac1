// poll(2) + eventfd event loop for headless programs and tests.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "platform/EventLoop.h"

namespace corvina::platform {

class PollLoop final : public EventLoop {
 public:
  PollLoop();
  ~PollLoop() override;
  PollLoop(const PollLoop&) = delete;
  PollLoop& operator=(const PollLoop&) = delete;

  WatchId WatchFd(int fd, unsigned events, IoCallback cb) override;
  void UpdateWatch(WatchId id, unsigned events) override;
  void RemoveWatch(WatchId id) override;
  TimerId AddTimer(std::chrono::milliseconds interval, bool repeat, Task cb) override;
  void CancelTimer(TimerId id) override;
  void Post(Task task) override;

  // Runs until Quit().
  void Run();
  // Thread-safe; Run returns after the current turn.
  void Quit();
  // One turn: waits at most `timeout` for something to happen, then runs
  // everything that is ready.
  void RunOnce(std::chrono::milliseconds timeout);
  // Turns the loop until `done` holds or `timeout` passes; returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Turns the loop for the given time.
  void RunFor(std::chrono::milliseconds duration);

 private:
  using Clock = std::chrono::steady_clock;
  struct Watch {
    int fd;
    unsigned events;
    std::shared_ptr<IoCallback> cb;
  };
  struct Timer {
    Clock::time_point due;
    std::chrono::milliseconds interval;
    bool repeat;
    std::shared_ptr<Task> cb;
  };

  void RunPosted();
  void RunDueTimers();
  int PollTimeoutMs(std::chrono::milliseconds limit) const;

  int wakeFd_ = -1;
  std::map<WatchId, Watch> watches_;
  std::map<TimerId, Timer> timers_;
  std::uint64_t nextId_ = 1;
  std::mutex postMutex_;
  std::vector<Task> posted_;
  bool quit_ = false;
};

}  // namespace corvina::platform
