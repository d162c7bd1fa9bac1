#include "app/qt/QtEventLoop.h"
#include "tests/platform/EventLoopConformance.h"
#include "tests/qt/QtSupport.h"

namespace {
struct QtDriver {
  using Loop = corvina::qt::QtEventLoop;
  static void RunFor(Loop&, std::chrono::milliseconds d) { corvina::qt::test::SpinFor(d); }
  static bool RunUntil(Loop&, const std::function<bool()>& done, std::chrono::milliseconds t) {
    return corvina::qt::test::SpinUntil(done, t);
  }
};
}  // namespace

namespace corvina::platform::conformance {
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, EventLoopConformance, ::testing::Types<QtDriver>);
}
