#include "platform/PollLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace corvina::platform {

PollLoop::PollLoop() {
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

PollLoop::~PollLoop() {
  // Posted tasks may own objects handed to DeleteLater: destroy them here.
  std::vector<Task> rest;
  {
    std::lock_guard lock(postMutex_);
    rest.swap(posted_);
  }
  rest.clear();
  ::close(wakeFd_);
}

WatchId PollLoop::WatchFd(int fd, unsigned events, IoCallback cb) {
  WatchId id = nextId_++;
  watches_[id] = Watch{fd, events, std::make_shared<IoCallback>(std::move(cb))};
  return id;
}

void PollLoop::UpdateWatch(WatchId id, unsigned events) {
  auto it = watches_.find(id);
  if (it != watches_.end()) it->second.events = events;
}

void PollLoop::RemoveWatch(WatchId id) { watches_.erase(id); }

TimerId PollLoop::AddTimer(std::chrono::milliseconds interval, bool repeat, Task cb) {
  if (interval.count() < 0) interval = std::chrono::milliseconds(0);
  TimerId id = nextId_++;
  timers_[id] = Timer{Clock::now() + interval, interval, repeat, std::make_shared<Task>(std::move(cb))};
  return id;
}

void PollLoop::CancelTimer(TimerId id) { timers_.erase(id); }

void PollLoop::Post(Task task) {
  {
    std::lock_guard lock(postMutex_);
    posted_.push_back(std::move(task));
  }
  std::uint64_t one = 1;
  // A full counter still wakes the loop, so a failed write loses nothing.
  [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
}

void PollLoop::Quit() {
  Post([this] { quit_ = true; });
}

void PollLoop::Run() {
  quit_ = false;
  while (!quit_) RunOnce(std::chrono::milliseconds(-1));
}

int PollLoop::PollTimeoutMs(std::chrono::milliseconds limit) const {
  long long ms = limit.count();  // negative: no limit
  auto now = Clock::now();
  for (const auto& [id, t] : timers_) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(t.due - now).count();
    if (left < 0) left = 0;
    if (ms < 0 || left < ms) ms = left;
  }
  if (ms > 60'000) ms = 60'000;
  return static_cast<int>(ms);
}

void PollLoop::RunOnce(std::chrono::milliseconds timeout) {
  std::vector<pollfd> fds;
  std::vector<WatchId> ids;
  fds.push_back(pollfd{wakeFd_, POLLIN, 0});
  ids.push_back(0);
  for (const auto& [id, w] : watches_) {
    short ev = 0;
    if (w.events & kIoRead) ev |= POLLIN;
    if (w.events & kIoWrite) ev |= POLLOUT;
    fds.push_back(pollfd{w.fd, ev, 0});
    ids.push_back(id);
  }
  {
    std::lock_guard lock(postMutex_);
    if (!posted_.empty()) timeout = std::chrono::milliseconds(0);
  }
  int n = ::poll(fds.data(), fds.size(), PollTimeoutMs(timeout));
  if (n < 0 && errno != EINTR) throw std::system_error(errno, std::generic_category(), "poll");

  if (n > 0) {
    if (fds[0].revents & POLLIN) {
      std::uint64_t count;
      [[maybe_unused]] auto r = ::read(wakeFd_, &count, sizeof count);
    }
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      auto it = watches_.find(ids[i]);
      if (it == watches_.end()) continue;  // removed by an earlier callback
      unsigned got = 0;
      if (fds[i].revents & POLLIN) got |= kIoRead;
      if (fds[i].revents & POLLOUT) got |= kIoWrite;
      if (fds[i].revents & POLLHUP) got |= kIoHangup;
      if (fds[i].revents & (POLLERR | POLLNVAL)) got |= kIoError;
      auto cb = it->second.cb;  // keep alive while it runs
      (*cb)(got);
    }
  }
  RunDueTimers();
  RunPosted();
}

void PollLoop::RunDueTimers() {
  auto now = Clock::now();
  std::vector<TimerId> due;
  for (const auto& [id, t] : timers_)
    if (t.due <= now) due.push_back(id);
  for (TimerId id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // cancelled by an earlier timer
    auto cb = it->second.cb;
    if (it->second.repeat) {
      // Never schedule in the past: a slow turn skips ticks instead of bursting.
      it->second.due += it->second.interval;
      if (it->second.due <= now) it->second.due = now + it->second.interval;
      if (it->second.interval.count() == 0) it->second.due = now + std::chrono::milliseconds(1);
    } else {
      timers_.erase(it);
    }
    (*cb)();
  }
}

void PollLoop::RunPosted() {
  std::vector<Task> batch;
  {
    std::lock_guard lock(postMutex_);
    batch.swap(posted_);
  }
  for (auto& task : batch) task();
}

bool PollLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  auto end = Clock::now() + timeout;
  while (!done()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() <= 0) return done();
    RunOnce(std::min(left, std::chrono::milliseconds(50)));
  }
  return true;
}

void PollLoop::RunFor(std::chrono::milliseconds duration) {
  auto end = Clock::now() + duration;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() <= 0) return;
    RunOnce(left);
  }
}

}  // namespace corvina::platform
