// The named configuration objects: session profiles, keyboard maps, macros,
// colour schemes and toolbars. Each keeps its name in its own letter case
// (compared without case), lives in one INI-format file of the data folder
// and knows whether it changed since it was last saved.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvina {

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
  CCorvinaNamedObject() = default;
  CCorvinaNamedObject(const CCorvinaNamedObject&) = default;
  CCorvinaNamedObject& operator=(const CCorvinaNamedObject&) = default;
  CCorvinaNamedObject(CCorvinaNamedObject&&) = default;
  CCorvinaNamedObject& operator=(CCorvinaNamedObject&&) = default;
};

// The upper-case form under which the store keeps a name: ASCII and Latin-1
// letters fold, everything else stays.
std::string NameKey(std::string_view name);

// Joins a folder (with or without its trailing "/") and a file name.
std::string JoinPath(const std::string& folder, const std::string& file);

}  // namespace corvina
