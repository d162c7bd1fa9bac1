// Clocks that tests can replace.
#pragma once

#include <cstdint>

namespace corvina::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds from an arbitrary start; never goes backwards.
  virtual std::int64_t MonotonicMs() const = 0;
  // Milliseconds since the Unix epoch.
  virtual std::int64_t WallMs() const = 0;
  std::int64_t WallSeconds() const { return WallMs() / 1000; }
};

class SystemClock final : public Clock {
 public:
  std::int64_t MonotonicMs() const override;
  std::int64_t WallMs() const override;
  static SystemClock& Instance();
};

class FakeClock final : public Clock {
 public:
  explicit FakeClock(std::int64_t wallSeconds = 1'700'000'000) : wall_(wallSeconds) {}
  std::int64_t MonotonicMs() const override { return mono_; }
  std::int64_t WallMs() const override { return wall_ * 1000 + mono_; }
  void AdvanceMs(std::int64_t ms) { mono_ += ms; }
  void AdvanceSeconds(std::int64_t s) { mono_ += s * 1000; }

 private:
  std::int64_t wall_;
  std::int64_t mono_ = 0;
};

}  // namespace corvina::platform
