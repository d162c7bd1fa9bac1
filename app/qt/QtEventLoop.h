// platform::EventLoop on Qt's own loop: QSocketNotifier for descriptors,
// QTimer for timers and one posted event per batch of posted tasks, so the
// core runs unchanged inside the desktop program.
#pragma once

#include <QObject>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/EventLoop.h"

class QSocketNotifier;
class QTimer;

namespace corvina::qt {

class QtEventLoop final : public QObject, public platform::EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;

  platform::WatchId WatchFd(int fd, unsigned events, IoCallback cb) override;
  void UpdateWatch(platform::WatchId id, unsigned events) override;
  void RemoveWatch(platform::WatchId id) override;
  platform::TimerId AddTimer(std::chrono::milliseconds interval, bool repeat, Task cb) override;
  void CancelTimer(platform::TimerId id) override;
  void Post(Task task) override;

  // While held (a modal box runs a nested Qt loop) no watch, timer or posted
  // task of the core runs: nothing can re-enter or delete an object whose
  // callback raised the box. What came due meanwhile runs after the last
  // Release. Holds nest.
  void Hold();
  void Release();
  bool Held() const { return holds_ > 0; }

 protected:
  bool event(QEvent* e) override;

 private:
  struct Watch {
    int fd = -1;
    unsigned events = 0;
    std::shared_ptr<IoCallback> cb;
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
  };
  struct Timer {
    QTimer* timer = nullptr;
    bool repeat = false;
    bool missed = false;  // came due while held
    std::shared_ptr<Task> cb;
  };

  void Activated(platform::WatchId id);
  void Fired(platform::TimerId id);
  void ApplyNotifiers(Watch& w);
  void RunPosted();
  void WakeForPosted();

  std::map<platform::WatchId, Watch> watches_;
  std::map<platform::TimerId, Timer> timers_;
  std::uint64_t nextId_ = 1;
  int holds_ = 0;
  std::mutex postMutex_;
  std::vector<Task> posted_;
  bool wakePending_ = false;  // guarded by postMutex_
};

// Holds the loop while a modal dialog of the desktop runs.
class LoopHold {
 public:
  explicit LoopHold(QtEventLoop& loop) : loop_(loop) { loop_.Hold(); }
  ~LoopHold() { loop_.Release(); }
  LoopHold(const LoopHold&) = delete;
  LoopHold& operator=(const LoopHold&) = delete;

 private:
  QtEventLoop& loop_;
};

}  // namespace corvina::qt
