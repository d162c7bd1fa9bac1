#include "app/Engines.h"

#include "config/SessionProfile.h"
#include "session/LineModeEngine.h"

namespace corvina::app {

std::unique_ptr<TerminalEngine> CreateEngine(unsigned mode) {
  if (IsVtFamily(mode)) return std::make_unique<CLineModeEngine>();
  return nullptr;
}

}  // namespace corvina::app
