#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "platform/PollLoop.h"
#include "tests/platform/EventLoopConformance.h"

using namespace corvina::platform;
using namespace std::chrono_literals;

TEST(PollLoop, PostedTasksRunInOrderFromOtherThreads) {
  PollLoop loop;
  std::vector<int> seen;
  std::thread t([&] {
    for (int i = 0; i < 100; ++i) loop.Post([&seen, i] { seen.push_back(i); });
  });
  t.join();
  ASSERT_TRUE(loop.RunUntil([&] { return seen.size() == 100; }, 5s));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
}

TEST(PollLoop, TimersFireOnceOrRepeatAndCanBeCancelled) {
  PollLoop loop;
  int once = 0, repeated = 0;
  loop.AddTimer(1ms, false, [&] { ++once; });
  TimerId rep = 0;
  rep = loop.AddTimer(1ms, true, [&] {
    if (++repeated == 3) loop.CancelTimer(rep);
  });
  loop.RunFor(100ms);
  EXPECT_EQ(once, 1);
  EXPECT_EQ(repeated, 3);
}

TEST(PollLoop, WatchRemovedInsideCallbackIsNotCalledAgain) {
  PollLoop loop;
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  ASSERT_EQ(::write(p[1], "x", 1), 1);
  int calls = 0;
  WatchId id = 0;
  id = loop.WatchFd(p[0], kIoRead, [&](unsigned ev) {
    EXPECT_TRUE(ev & kIoRead);
    ++calls;
    loop.RemoveWatch(id);
  });
  loop.RunFor(30ms);
  EXPECT_EQ(calls, 1);
  ::close(p[0]);
  ::close(p[1]);
}

namespace {
struct Tracked {
  explicit Tracked(bool* gone) : gone_(gone) {}
  ~Tracked() { *gone_ = true; }
  bool* gone_;
};
}  // namespace

TEST(PollLoop, DeleteLaterDestroysOnALaterTurn) {
  PollLoop loop;
  bool gone = false;
  loop.Post([&] {
    loop.DeleteLater(std::make_unique<Tracked>(&gone));
    EXPECT_FALSE(gone);  // still alive inside the callback that closed it
  });
  loop.RunOnce(0ms);
  EXPECT_FALSE(gone);
  loop.RunOnce(0ms);
  EXPECT_TRUE(gone);
}

TEST(PollLoop, QuitFromAnotherThreadEndsRun) {
  PollLoop loop;
  std::thread t([&] {
    std::this_thread::sleep_for(20ms);
    loop.Quit();
  });
  loop.Run();
  t.join();
}

namespace {
struct PollDriver {
  using Loop = PollLoop;
  static void RunFor(PollLoop& loop, std::chrono::milliseconds d) { loop.RunFor(d); }
  static bool RunUntil(PollLoop& loop, const std::function<bool()>& done, std::chrono::milliseconds t) {
    return loop.RunUntil(done, t);
  }
};
}  // namespace

namespace corvina::platform::conformance {
INSTANTIATE_TYPED_TEST_SUITE_P(Poll, EventLoopConformance, ::testing::Types<PollDriver>);
}
