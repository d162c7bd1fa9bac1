// The named configuration objects: session profiles, keyboard maps, macros,
// colour schemes and toolbars. Each keeps its name in its own letter case
// (compared without case), lives in one INI-format file of the data folder
// and knows whether it changed since it was last saved.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace corvina {

namespace platform {
class IniFile;
}

enum class ObjectKind { kSessionProfile, kKeyboardMap, kMacro, kColorScheme, kToolbar };
inline constexpr std::size_t kObjectKindCount = 5;

// The file extension of a kind, without the dot ("tsp", "tkm", "mac", "tcs", "ttb").
std::string_view ObjectExtension(ObjectKind kind);
// The word the user sees for a kind ("session profile", "keyboard map", ...).
std::string_view ObjectWord(ObjectKind kind);

class CCorvinaNamedObject {
 public:
  virtual ~CCorvinaNamedObject() = default;

  virtual ObjectKind Kind() const = 0;
  // The terminal kind the object belongs to; 0 for kinds without one (profiles).
  virtual unsigned TypeCode() const { return 0; }

  // The stored file name, or the one derived from the name (then stored).
  const std::string& FileName();

  // Writes the object to `file` in `dataFolder`. On success the file becomes
  // the object's file name and the modified flag clears; on failure both stay.
  virtual bool Save(const std::string& dataFolder, const std::string& file, std::string* error = nullptr) = 0;

  std::string fileName;  // relative to the data folder; empty until first needed
  std::string name;
  bool modified = false;

 protected:
  // Reads `file` of `dataFolder` through `read`; on success the file becomes
  // the object's file name and the modified flag clears. `what` names the
  // kind in the error ("not a keyboard map").
  bool LoadIni(const std::string& dataFolder, const std::string& file,
               const std::function<bool(const platform::IniFile&)>& read, std::string_view what,
               std::string* error);
  // Rewrites the object's sections through `write`, keeping any other
  // section of an existing file.
  bool SaveIni(const std::string& dataFolder, const std::string& file,
               const std::function<void(platform::IniFile&)>& write, std::string* error);

  CCorvinaNamedObject() = default;
  CCorvinaNamedObject(const CCorvinaNamedObject&) = default;
  CCorvinaNamedObject& operator=(const CCorvinaNamedObject&) = default;
  CCorvinaNamedObject(CCorvinaNamedObject&&) = default;
  CCorvinaNamedObject& operator=(CCorvinaNamedObject&&) = default;
};

// The upper-case form under which the store keeps a name: ASCII and Latin-1
// letters fold, everything else stays.
std::string NameKey(std::string_view name);

// One section of an INI file read in one pass, its keys found without
// regard to case: readers of files with many keys stay linear.
class CIniSection {
 public:
  CIniSection(const platform::IniFile& ini, std::string_view section);
  // Null when the key is absent.
  const std::string* Find(std::string_view key) const;
  std::string Get(std::string_view key) const;
  std::size_t Size() const { return values_.size(); }

 private:
  std::unordered_map<std::string, std::string> values_;  // by NameKey
};

// A decimal number with an optional sign and surrounding blanks, and
// nothing else, within [min, max]; nullopt otherwise.
std::optional<long> StrictNumber(std::string_view text, long min, long max);

// Joins a folder (with or without its trailing "/") and a file name.
std::string JoinPath(const std::string& folder, const std::string& file);

}  // namespace corvina
