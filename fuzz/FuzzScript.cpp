// Script files: the syntax of the current language (labels, quotes,
// continuation, the Keyword=value form, numbers) and the conversion of the
// older keyword format, over the same bytes.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "config/PersistentData.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"
#include "script/ScriptConverter.h"
#include "script/ScriptParser.h"

using namespace corvina;

namespace {

// A store over an empty folder: the converter only looks profiles up.
CCorvinaPersistentData& Store() {
  static platform::IniFile profile;
  static platform::RecordingUserInterface ui;
  static const std::string folder = [] {
    auto dir = std::filesystem::temp_directory_path() / "corvina-fuzz-script";
    std::filesystem::create_directories(dir);
    return dir.string() + "/";
  }();
  static CCorvinaPersistentData store(folder, profile, ui);
  return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = script::SplitLines(input);
  const script::ParsedScript parsed = script::ParseScript(lines);
  if (parsed.lineCount != static_cast<int>(lines.size())) std::abort();
  int last = 0;
  for (const script::ScriptEntry& e : parsed.entries) {
    // Entries keep their order, no label holds a carriage return or blank.
    if (e.line <= last || e.line > parsed.lineCount) std::abort();
    last = e.line;
    if (e.label.find_first_of("\r \t\"") != std::string::npos) std::abort();
    for (char c : e.command)
      if (c >= 'A' && c <= 'Z') std::abort();
  }
  if (parsed.errorLine && (*parsed.errorLine < 1 || *parsed.errorLine > parsed.lineCount)) std::abort();
  if (auto n = script::ParseNumber(input, 1, 2147483647); n && (*n < 1 || *n > 2147483647)) std::abort();

  platform::RecordingUserInterface ui;
  script::CCorvinaScriptConverter converter(Store(), ui);
  std::vector<std::string> out;
  std::vector<std::shared_ptr<CCorvinaSessionProfile>> profiles;
  if (script::IsOldFormatScript(lines) && converter.Translate("fuzz.txt", lines, &out, &profiles)) {
    // What the converter writes is a script of the current language.
    const script::ParsedScript again = script::ParseScript(out);
    if (again.lineCount != static_cast<int>(out.size())) std::abort();
    for (const auto& p : profiles)
      if (p->name.empty()) std::abort();
  }
  return 0;
}
