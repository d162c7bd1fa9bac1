// Host records and operator input into the 5250 engine. The first byte
// picks the screen size, the terminal type and the profile's options; the
// rest is pieces separated by IAC EOR: a piece whose first byte is even is
// a host record, one whose first byte is odd is keys, characters, mouse
// clicks and a paste. Every few host records the screen is drawn and read
// back; at the end it is saved and restored into a second engine, which
// must show the same.
#include <cstdint>
#include <cstdlib>
#include <ostream>

#include "ibm5250/Engine5250.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "platform/Clock.h"
#include "platform/PollLoop.h"
#include "platform/UserInterface.h"
#include "session/HostSession.h"
#include "session/TextCanvas.h"

using namespace corvina;

namespace {

struct NullFrame : SessionFrame {
  void CloseSession(CHostSession&) override {}
};

struct Size {
  std::uint16_t rows, columns;
  const char* terminalType;
};

void Operate(C5250Engine& engine, CHostSession& session, std::span<const std::uint8_t> input) {
  const auto keys = KeyFunctionTable(kKind5250);
  for (std::size_t i = 0; i < input.size(); ++i) {
    const std::uint8_t b = input[i];
    if (b < 0x80) {
      engine.TypeCharacter(b + (i % 3 == 0 ? 0x80 : 0));
    } else if (b < 0xF0) {
      const int id = keys[b % keys.size()].id;
      engine.KeyFunction(id == kf::kCursorTo ? id + b * 37 : id);
    } else if (b < 0xF8 && i + 2 < input.size()) {
      engine.MouseFunction(b & 1 ? kf::ibm5250::kCursorMove : kf::kHotspot, input[i + 1], input[i + 2]);
      i += 2;
    } else if (b < 0xFC && i + 4 < input.size()) {
      session.SetSelection(CellRect{input[i + 1], input[i + 2], input[i + 3], input[i + 4]});
      engine.EraseSelection();
      session.ClearSelection();
      i += 4;
    } else {
      const std::string_view text(reinterpret_cast<const char*>(input.data() + i + 1), input.size() - i - 1);
      engine.PasteText(text);
      break;
    }
    if (session.TypeAheadPending() && session.LockReason() == 0) session.ReplayTypeAhead();
  }
}

// The saved screen, restored into a fresh engine, shows the same cells.
void CheckSaveRestore(C5250Engine& engine, CHostSession& copySession) {
  const int state = engine.State();
  if (state == C5250Engine::kStateSystemRequest) return;  // the request's own line and table
  std::vector<std::uint8_t> record = {0, 0, 0x12, 0xA0, 0, 0, 0x04, 0, 0, 5};
  const std::vector<std::uint8_t> image = engine.SaveScreenImage();
  record.insert(record.end(), image.begin(), image.end());
  if (record.size() > 0xFFFF) return;
  record[0] = static_cast<std::uint8_t>(record.size() >> 8);
  record[1] = static_cast<std::uint8_t>(record.size());
  C5250Engine copy;
  copy.Start(copySession);
  copy.ProcessRecord(record);
  const C5250PresentationSpace &a = engine.Screen(), &b = copy.Screen();
  bool same = a.Rows() == b.Rows() && a.Columns() == b.Columns() &&
              engine.Format().fields.size() == copy.Format().fields.size() && engine.Format().header == copy.Format().header;
  for (int p = 0; same && p < a.Size(); ++p) same = a.At(p) == b.At(p) && a.HostAt(p) == b.HostAt(p);
  if (!same) std::abort();
  copy.Stop();
  copySession.FlushOutput();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const Size kSizes[] = {{24, 80, "IBM-3179-2"},  {27, 132, "IBM-3477-FC"}, {24, 80, "IBM-5555-C01"},
                                {1, 1, "IBM-3179-2"},    {2, 3, "X"},             {72, 200, "IBM-3180-2"},
                                {24, 80, "IBM-DYNAMIC"}, {0, 0, "IBM-3179-2"}};
  static platform::PollLoop loop;
  static std::ostream sink(nullptr);  // message boxes and beeps go nowhere
  static platform::HeadlessUserInterface ui(sink);
  static platform::FakeClock clock;
  static NullFrame frame;
  const std::uint8_t pick = data[0];
  auto profile = std::make_shared<CCorvinaSessionProfile>();
  profile->host = "fuzz";
  profile->terminalType = kKind5250;
  const Size& chosen = kSizes[pick & 7];
  profile->rows = chosen.rows;
  profile->columns = chosen.columns;
  profile->telnetTerminalType = chosen.terminalType;
  profile->keyboardOptions = (pick & 0x08 ? std::uint32_t{kKeyboardLockOnError} : 0u) |
                             (pick & 0x10 ? std::uint32_t{kKeyboardDestructiveBackspace} : 0u);
  profile->terminalOptions = pick & 0x20 ? std::uint32_t{kTermMonochrome | kTermNoColumnSeparators} : 0u;
  profile->editOptions = pick & 0xC0 ? (pick >> 6) == 3 ? 4 : pick >> 6 : 1;
  profile->typeAheadBufferSize = 8;
  SessionEnvironment env{loop, ui, clock, frame, nullptr};
  CHostSession session(1, profile, env), copySession(2, profile, env);
  session.SetMode(kKind5250);
  copySession.SetMode(kKind5250);
  C5250Engine engine;
  engine.Start(session);
  TextCanvas canvas;
  std::span<const std::uint8_t> rest(data + 1, size - 1);
  for (int records = 0; !rest.empty();) {
    std::size_t end = 0;
    while (end < rest.size() && !(rest[end] == 0xFF && end + 1 < rest.size() && rest[end + 1] == 0xEF)) ++end;
    const std::span<const std::uint8_t> piece = rest.first(end);
    rest = rest.subspan(std::min(rest.size(), end + 2));
    if (piece.empty()) continue;
    if (piece[0] & 1) {
      Operate(engine, session, piece.subspan(1));
    } else {
      engine.ProcessRecord(piece.subspan(1));
      if (++records % 4 == 0) {
        engine.Paint(canvas);
        std::string text;
        engine.ExtractText(static_cast<int>(piece.size() % 2000), 5000, text, nullptr,
                           piece.size() % 3 ? kExtractFieldMode | kExtractAttributeBytes : kExtractExtendedAttributes);
      }
    }
    session.FlushOutput();
  }
  engine.Paint(canvas);
  CheckSaveRestore(engine, copySession);
  engine.Stop();
  return 0;
}
