// Event loop seam: fd readiness, timers and cross-thread posting. The headless
// programs and tests run PollLoop; the desktop program supplies its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace corvina::platform {

// Readiness bits for WatchFd; the callback receives the ones that fired.
enum IoEvent : unsigned {
  kIoRead = 1,
  kIoWrite = 2,
  kIoHangup = 4,  // reported only, never requested
  kIoError = 8,   // reported only, never requested
};

using WatchId = std::uint64_t;
using TimerId = std::uint64_t;

class EventLoop {
 public:
  using IoCallback = std::function<void(unsigned events)>;
  using Task = std::function<void()>;

  virtual ~EventLoop() = default;

  // Watches stay until removed. Removing or changing a watch from inside any
  // callback is allowed; a removed watch is never called again.
  virtual WatchId WatchFd(int fd, unsigned events, IoCallback cb) = 0;
  virtual void UpdateWatch(WatchId id, unsigned events) = 0;
  virtual void RemoveWatch(WatchId id) = 0;

  virtual TimerId AddTimer(std::chrono::milliseconds interval, bool repeat, Task cb) = 0;
  virtual void CancelTimer(TimerId id) = 0;

  // Thread-safe; tasks run on the loop thread in posting order.
  virtual void Post(Task task) = 0;

  // An object closed from inside its own callback must outlive that callback:
  // hand it here and it is destroyed on a later turn of the loop.
  template <class T>
  void DeleteLater(std::unique_ptr<T> object) {
    std::shared_ptr<T> holder(std::move(object));
    Post([holder]() mutable { holder.reset(); });
  }
};

}  // namespace corvina::platform
