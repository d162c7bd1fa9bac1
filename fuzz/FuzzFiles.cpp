// Files people and other programs write: INI settings, session profiles,
// code pages, traces and old settings archives. The first byte picks the
// parser.
#include <cstdint>
#include <string>

#include "codepage/CodePageFile.h"
#include "config/PersistentData.h"
#include "config/SessionProfile.h"
#include "config/TerminalTypes.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"
#include "session/SessionTrace.h"

using namespace corvina;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 5) {
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
      (void)store.ConvertOldSettings(std::string(text));
      break;
    }
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
