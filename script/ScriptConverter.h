// CCorvinaScriptConverter: rewrites a script of the older "2.03" keyword
// format into the current language when it is loaded, keeps the old file
// under the ".203" name, and makes session profiles of its Connect lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace corvina {
class CCorvinaPersistentData;
class CCorvinaSessionProfile;
namespace platform {
class UserInterface;
}
}  // namespace corvina

namespace corvina::script {

// Whether any line starts with a keyword only the old format has.
bool IsOldFormatScript(const std::vector<std::string>& lines);
// The file name with its extension (after the last "." of the last path
// element) replaced by ".203", or ".203" appended.
std::string OldScriptBackupName(const std::string& file);

class CCorvinaScriptConverter {
 public:
  enum class Outcome { kCurrent, kConverted, kFailed };

  CCorvinaScriptConverter(CCorvinaPersistentData& store, platform::UserInterface& ui) : store_(store), ui_(ui) {}

  // On kConverted the file has been rewritten and *lines holds the new
  // lines; on kCurrent nothing changed; on kFailed the user was told and no
  // file or profile changed.
  Outcome Convert(const std::string& file, std::vector<std::string>* lines);
  // The conversion alone: the new lines and the profiles of its Connect
  // lines, nothing written or added. False after a conversion error (shown).
  bool Translate(const std::string& file, const std::vector<std::string>& lines, std::vector<std::string>* out,
                 std::vector<std::shared_ptr<CCorvinaSessionProfile>>* profiles);

 private:
  CCorvinaPersistentData& store_;
  platform::UserInterface& ui_;
};

}  // namespace corvina::script
