#include "app/Engines.h"

#include "config/SessionProfile.h"
#include "filetransfer/TransferEngine3270.h"
#include "ibm3270/Engine3270.h"
#include "ibm3270/Printer3270.h"
#include "ibm5250/Engine5250.h"
#include "session/LineModeEngine.h"
#include "vt/VtEngine.h"

namespace corvina::app {

std::unique_ptr<TerminalEngine> CreateEngine(unsigned mode) {
  switch (mode) {
    case kKind3278:
    case kKind3279:
      return std::make_unique<filetransfer::C3270TransferEngine>();
    case kKind3270Printer:
      return std::make_unique<C3270PrinterEngine>();
    case kKind5250:
      return std::make_unique<C5250Engine>();
    case kKindAnsi:
    case kKindVt100:
    case kKindVt220:
      return std::make_unique<CVtEngine>();
    default:
      break;
  }
  // Line mode keeps the minimal engine.
  if (IsVtFamily(mode)) return std::make_unique<CLineModeEngine>();
  return nullptr;
}

}  // namespace corvina::app
