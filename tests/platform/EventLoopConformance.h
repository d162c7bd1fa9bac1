// What every platform::EventLoop must do, run against each backend. A
// driver turns its loop: struct D { using Loop = ...; static void RunFor(Loop&,
// ms); static bool RunUntil(Loop&, const std::function<bool()>&, ms); }.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/EventLoop.h"

namespace corvina::platform::conformance {

using namespace std::chrono_literals;

template <class Driver>
class EventLoopConformance : public ::testing::Test {
 protected:
  typename Driver::Loop loop;
  void RunFor(std::chrono::milliseconds d) { Driver::RunFor(loop, d); }
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds t = 5s) {
    return Driver::RunUntil(loop, done, t);
  }
};

TYPED_TEST_SUITE_P(EventLoopConformance);

TYPED_TEST_P(EventLoopConformance, PostedTasksRunInOrderFromOtherThreads) {
  std::vector<int> seen;
  std::thread t([&] {
    for (int i = 0; i < 100; ++i) this->loop.Post([&seen, i] { seen.push_back(i); });
  });
  t.join();
  ASSERT_TRUE(this->RunUntil([&] { return seen.size() == 100; }));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
}

TYPED_TEST_P(EventLoopConformance, TimersFireOnceOrRepeatAndCanBeCancelled) {
  int once = 0, repeated = 0, cancelled = 0;
  this->loop.AddTimer(1ms, false, [&] { ++once; });
  TimerId rep = 0;
  rep = this->loop.AddTimer(1ms, true, [&] {
    if (++repeated == 3) this->loop.CancelTimer(rep);
  });
  TimerId never = this->loop.AddTimer(5ms, false, [&] { ++cancelled; });
  this->loop.CancelTimer(never);
  this->RunFor(100ms);
  EXPECT_EQ(once, 1);
  EXPECT_EQ(repeated, 3);
  EXPECT_EQ(cancelled, 0);
}

TYPED_TEST_P(EventLoopConformance, WatchRemovedInsideCallbackIsNotCalledAgain) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  ASSERT_EQ(::write(p[1], "x", 1), 1);
  int calls = 0;
  WatchId id = 0;
  id = this->loop.WatchFd(p[0], kIoRead, [&](unsigned ev) {
    EXPECT_TRUE(ev & kIoRead);
    ++calls;
    this->loop.RemoveWatch(id);
  });
  this->RunFor(30ms);
  EXPECT_EQ(calls, 1);
  ::close(p[0]);
  ::close(p[1]);
}

TYPED_TEST_P(EventLoopConformance, WriteWatchFollowsUpdatesAndEndOfFileIsReadable) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  int writable = 0;
  WatchId id = 0;
  id = this->loop.WatchFd(sv[0], kIoWrite, [&](unsigned ev) {
    EXPECT_TRUE(ev & kIoWrite);
    if (++writable == 2) this->loop.UpdateWatch(id, kIoRead);  // stop asking for writability
  });
  this->RunFor(30ms);
  EXPECT_EQ(writable, 2);
  unsigned seen = 0;
  this->loop.UpdateWatch(id, kIoRead);
  this->loop.RemoveWatch(id);
  id = this->loop.WatchFd(sv[0], kIoRead, [&](unsigned ev) {
    seen |= ev;
    this->loop.RemoveWatch(id);
  });
  ::close(sv[1]);
  ASSERT_TRUE(this->RunUntil([&] { return seen != 0; }));
  EXPECT_TRUE(seen & kIoRead) << seen;  // end of file reads as readable
  ::close(sv[0]);
}

namespace {
struct Tracked {
  explicit Tracked(bool* gone) : gone_(gone) {}
  ~Tracked() { *gone_ = true; }
  bool* gone_;
};
}  // namespace

TYPED_TEST_P(EventLoopConformance, DeleteLaterDestroysAfterTheCallbackReturns) {
  bool gone = false, goneInside = true;
  this->loop.AddTimer(0ms, false, [&] {
    this->loop.DeleteLater(std::make_unique<Tracked>(&gone));
    goneInside = gone;  // still alive inside the callback that closed it
  });
  ASSERT_TRUE(this->RunUntil([&] { return gone; }));
  EXPECT_FALSE(goneInside);
}

TYPED_TEST_P(EventLoopConformance, TasksPostedByATaskRunOnALaterTurn) {
  std::vector<int> order;
  this->loop.Post([&] {
    order.push_back(1);
    this->loop.Post([&] { order.push_back(3); });
  });
  this->loop.Post([&] { order.push_back(2); });
  ASSERT_TRUE(this->RunUntil([&] { return order.size() == 3; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

REGISTER_TYPED_TEST_SUITE_P(EventLoopConformance, PostedTasksRunInOrderFromOtherThreads,
                            TimersFireOnceOrRepeatAndCanBeCancelled, WatchRemovedInsideCallbackIsNotCalledAgain,
                            WriteWatchFollowsUpdatesAndEndOfFileIsReadable, DeleteLaterDestroysAfterTheCallbackReturns,
                            TasksPostedByATaskRunOnALaterTurn);

}  // namespace corvina::platform::conformance
