// Files people and other programs write: INI settings, session profiles,
// code pages, traces, old settings archives (with every kind of object),
// keyboard maps, macros, colour schemes and toolbars. The first byte picks
// the parser.
#include <algorithm>
#include <cstdint>
#include <string>

#include "codepage/CodePageFile.h"
#include "config/ColorScheme.h"
#include "config/PersistentData.h"
#include "config/SessionProfile.h"
#include "config/TerminalTypes.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/Macro.h"
#include "keyboard/StoreKinds.h"
#include "keyboard/Toolbar.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"
#include "session/SessionTrace.h"

using namespace corvina;

namespace {

// Reads an object from the text; what it writes must read back the same.
// A carriage return inside a value cannot be written (it becomes a blank),
// so with one in the text only the second round trip must be exact.
template <typename T, typename Same>
void RoundTrip(std::string_view text, Same same) {
  platform::IniFile ini;
  ini.SetText(text);
  T object;
  if (!object.ReadFrom(ini)) return;
  auto again = [](const T& from) {
    platform::IniFile out;
    from.WriteTo(out);
    T back;
    if (!back.ReadFrom(out)) __builtin_trap();
    return back;
  };
  const T back = again(object);
  if (text.find('\r') == std::string_view::npos ? !same(object, back) : !same(back, again(back))) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 9) {
    case 0: {
      platform::IniFile ini;
      ini.SetText(text);
      for (const auto& s : ini.Sections())
        for (const auto& k : ini.Keys(s)) (void)ini.GetInt(s, k, 0);
      ini.SetString("Section", "Key", text.substr(0, 40));
      (void)ini.Text();
      break;
    }
    case 1: {
      platform::IniFile ini;
      ini.SetText(text);
      CCorvinaTerminalTypes types;
      CCorvinaSessionProfile profile;
      if (profile.ReadFrom(ini, types)) {
        platform::IniFile out;
        profile.WriteTo(out);
      }
      break;
    }
    case 2: {
      CodePageDefinition def;
      std::string error;
      (void)ParseCodePageFile(text, "fuzz.cpg", def, error);
      break;
    }
    case 4: {
      // Nothing is written: the store only saves when asked.
      platform::IniFile appProfile;
      platform::RecordingUserInterface ui;
      CCorvinaPersistentData store("/nonexistent/corvina-fuzz/", appProfile, ui);
      RegisterKeyboardObjects(store);
      (void)store.ConvertOldSettings(std::string(text));
      break;
    }
    case 5:
      RoundTrip<CCorvinaKeyboardMap>(text, [](const CCorvinaKeyboardMap& a, const CCorvinaKeyboardMap& b) {
        if (a.Bindings() != b.Bindings()) return false;
        for (int id = kFirstVtSequenceId; id < kFirstVtSequenceId + kVtSequenceCount; ++id)
          if (a.ControlSequence(id, false) != b.ControlSequence(id, false)) return false;
        return true;
      });
      break;
    case 6: {
      RoundTrip<CCorvinaMacro>(text, [](const CCorvinaMacro& a, const CCorvinaMacro& b) { return a.Text() == b.Text(); });
      constexpr unsigned kFamilies[] = {kKind3278, kKind5250, kKindVt100};
      CCorvinaMacro macro("fuzz", kFamilies[data[size - 1] % 3]);
      macro.SetText(std::string(text));
      (void)macro.Validate(1920);
      CMacroReader reader(text);
      for (MacroPiece piece = reader.Next(); piece.kind != MacroPiece::kEnd; piece = reader.Next()) {
        if (piece.kind == MacroPiece::kToken) (void)ResolveMacroToken(piece.text, kKindVt220, 1920);
      }
      break;
    }
    case 7:
      RoundTrip<CCorvinaColorScheme>(text, [](const CCorvinaColorScheme& a, const CCorvinaColorScheme& b) {
        return std::ranges::equal(a.Values(), b.Values());
      });
      break;
    case 8:
      RoundTrip<CCorvinaToolbar>(text, [](const CCorvinaToolbar& a, const CCorvinaToolbar& b) {
        return a.buttons == b.buttons && a.columns == b.columns && a.dockable == b.dockable;
      });
      break;
    default: {
      std::size_t offset = 0;
      TraceRecord r;
      std::string error;
      while (ReadTraceRecord(std::span(data + 1, size - 1), offset, r, &error)) {
      }
      break;
    }
  }
  return 0;
}
