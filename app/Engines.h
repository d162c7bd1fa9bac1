// The terminal engines built into the application, by terminal mode.
#pragma once

#include <memory>

#include "session/TerminalEngine.h"

namespace corvina::app {

// Null when no engine handles the mode.
std::unique_ptr<TerminalEngine> CreateEngine(unsigned mode);

}  // namespace corvina::app
