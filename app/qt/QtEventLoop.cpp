#include "app/qt/QtEventLoop.h"

#include <poll.h>

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>

namespace corvina::qt {

namespace {

const QEvent::Type kPostedTasks = static_cast<QEvent::Type>(QEvent::registerEventType());

// What poll(2) reports for the descriptor now, as the PollLoop reports it.
unsigned ReadyEvents(int fd, unsigned wanted) {
  pollfd p{fd, 0, 0};
  if (wanted & platform::kIoRead) p.events |= POLLIN;
  if (wanted & platform::kIoWrite) p.events |= POLLOUT;
  if (::poll(&p, 1, 0) <= 0) return 0;
  unsigned got = 0;
  if (p.revents & POLLIN) got |= platform::kIoRead;
  if (p.revents & POLLOUT) got |= platform::kIoWrite;
  if (p.revents & POLLHUP) got |= platform::kIoHangup;
  if (p.revents & (POLLERR | POLLNVAL)) got |= platform::kIoError;
  return got;
}

// Notifiers and timers are deleted later: one may be removed from inside
// its own signal.
void Discard(QObject* object) {
  if (!object) return;
  object->disconnect();
  object->deleteLater();
}

}  // namespace

QtEventLoop::QtEventLoop() = default;

QtEventLoop::~QtEventLoop() {
  for (auto& [id, w] : watches_) {
    delete w.read;
    delete w.write;
  }
  for (auto& [id, t] : timers_) delete t.timer;
  // Posted tasks may own objects handed to DeleteLater: destroy them here.
  std::vector<Task> rest;
  {
    std::lock_guard lock(postMutex_);
    rest.swap(posted_);
  }
  rest.clear();
}

platform::WatchId QtEventLoop::WatchFd(int fd, unsigned events, IoCallback cb) {
  const platform::WatchId id = nextId_++;
  Watch& w = watches_[id];
  w.fd = fd;
  w.events = events;
  w.cb = std::make_shared<IoCallback>(std::move(cb));
  w.read = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  w.write = new QSocketNotifier(fd, QSocketNotifier::Write, this);
  connect(w.read, &QSocketNotifier::activated, this, [this, id] { Activated(id); });
  connect(w.write, &QSocketNotifier::activated, this, [this, id] { Activated(id); });
  ApplyNotifiers(w);
  return id;
}

void QtEventLoop::ApplyNotifiers(Watch& w) {
  const bool run = holds_ == 0;
  w.read->setEnabled(run && (w.events & platform::kIoRead));
  w.write->setEnabled(run && (w.events & platform::kIoWrite));
}

void QtEventLoop::UpdateWatch(platform::WatchId id, unsigned events) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  it->second.events = events;
  ApplyNotifiers(it->second);
}

void QtEventLoop::RemoveWatch(platform::WatchId id) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  // Disabled now: the descriptor may be closed before the notifier goes.
  it->second.read->setEnabled(false);
  it->second.write->setEnabled(false);
  Discard(it->second.read);
  Discard(it->second.write);
  watches_.erase(it);
}

void QtEventLoop::Activated(platform::WatchId id) {
  auto it = watches_.find(id);
  if (it == watches_.end() || holds_ > 0) return;
  const unsigned got = ReadyEvents(it->second.fd, it->second.events);
  if (got == 0) return;
  auto cb = it->second.cb;  // keep alive while it runs
  (*cb)(got);
}

platform::TimerId QtEventLoop::AddTimer(std::chrono::milliseconds interval, bool repeat, Task cb) {
  const platform::TimerId id = nextId_++;
  Timer& t = timers_[id];
  t.repeat = repeat;
  t.cb = std::make_shared<Task>(std::move(cb));
  t.timer = new QTimer(this);
  t.timer->setTimerType(Qt::PreciseTimer);
  t.timer->setSingleShot(!repeat);
  // A repeating zero interval would starve everything else.
  long long ms = std::max<long long>(interval.count(), repeat ? 1 : 0);
  t.timer->setInterval(static_cast<int>(std::min<long long>(ms, 0x7FFFFFFF)));
  connect(t.timer, &QTimer::timeout, this, [this, id] { Fired(id); });
  t.timer->start();
  return id;
}

void QtEventLoop::CancelTimer(platform::TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second.timer->stop();
  Discard(it->second.timer);
  timers_.erase(it);
}

void QtEventLoop::Fired(platform::TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  if (holds_ > 0) {
    it->second.missed = true;
    return;
  }
  auto cb = it->second.cb;
  if (!it->second.repeat) {
    Discard(it->second.timer);
    timers_.erase(it);
  }
  (*cb)();
}

void QtEventLoop::Post(Task task) {
  std::lock_guard lock(postMutex_);
  posted_.push_back(std::move(task));
  if (!wakePending_) {
    wakePending_ = true;
    // postEvent is thread-safe; the event is handled on this object's thread.
    QCoreApplication::postEvent(this, new QEvent(kPostedTasks));
  }
}

bool QtEventLoop::event(QEvent* e) {
  if (e->type() != kPostedTasks) return QObject::event(e);
  RunPosted();
  return true;
}

void QtEventLoop::RunPosted() {
  std::vector<Task> batch;
  {
    std::lock_guard lock(postMutex_);
    wakePending_ = false;
    if (holds_ > 0) return;  // Release posts again
    batch.swap(posted_);
  }
  // Tasks posted by these run on a later turn, as in the PollLoop.
  for (auto& task : batch) task();
}

void QtEventLoop::WakeForPosted() {
  std::lock_guard lock(postMutex_);
  if (!posted_.empty() && !wakePending_) {
    wakePending_ = true;
    QCoreApplication::postEvent(this, new QEvent(kPostedTasks));
  }
}

void QtEventLoop::Hold() {
  if (holds_++ > 0) return;
  for (auto& [id, w] : watches_) ApplyNotifiers(w);
}

void QtEventLoop::Release() {
  if (holds_ == 0 || --holds_ > 0) return;
  for (auto& [id, w] : watches_) ApplyNotifiers(w);
  // Timers that came due meanwhile fire once on the next turn.
  for (auto& [id, t] : timers_)
    if (t.missed) {
      t.missed = false;
      QTimer::singleShot(0, this, [this, id = id] { Fired(id); });
    }
  WakeForPosted();
}

}  // namespace corvina::qt
