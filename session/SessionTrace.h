// Where a session writes its trace records. Null means tracing is off.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace corvina {

class SessionTraceSink {
 public:
  virtual ~SessionTraceSink() = default;
  virtual void Received(std::span<const std::uint8_t> bytes) = 0;
  virtual void Sent(std::span<const std::uint8_t> bytes) = 0;
  virtual void Text(const std::string& text) = 0;
  virtual void Keystroke(int functionId) = 0;
};

}  // namespace corvina
