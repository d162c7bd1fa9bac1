#include "app/Engines.h"

#include "config/SessionProfile.h"
#include "ibm3270/Engine3270.h"
#include "ibm5250/Engine5250.h"
#include "session/LineModeEngine.h"

namespace corvina::app {

std::unique_ptr<TerminalEngine> CreateEngine(unsigned mode) {
  switch (mode) {
    case kKind3278:
    case kKind3279:
      return std::make_unique<C3270Engine>();
    case kKind3270Printer:
      return nullptr;  // the 3270 printer variant is not built in yet
    case kKind5250:
      return std::make_unique<C5250Engine>();
    default:
      break;
  }
  if (IsVtFamily(mode)) return std::make_unique<CLineModeEngine>();
  return nullptr;
}

}  // namespace corvina::app
