// CCorvinaPersistentData: the settings store. It owns every named
// configuration object (one collection per kind, keyed by the upper-case
// name), the application-wide settings of the application profile, the
// settings-version file "Corvina.dat" and the terminal-type list; it loads
// everything at start-up, saves what changed, and converts settings archives
// of older versions.
//
// Object kinds plug in through RegisterKind: how a file of the kind loads,
// which built-in objects it has, and how its objects read from an old
// archive. Session profiles and colour schemes are registered by the store
// itself; keyboard maps, macros and toolbars by the keyboard library.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/NamedObject.h"
#include "config/SessionProfile.h"
#include "config/TerminalTypes.h"

namespace corvina {

namespace platform {
class IniFile;
class UserInterface;
}  // namespace platform

class CArchiveReader;

// The data folder a "DataPath" setting names: its text up to and including
// the last "/" (a value without one is used whole), or the working folder
// when the value is empty. Relative values are taken from the working folder.
// The result always ends in "/".
std::string DataFolderFromSetting(std::string_view dataPath, const std::string& workingFolder);

inline constexpr char kConfigurationSection[] = "Configuration";
inline constexpr char kRecentMacrosSection[] = "RecentMacrosList";

class CCorvinaPersistentData {
 public:
  static constexpr double kCurrentVersion = 2.2200020010711;
  // Settings files older than this hold the objects themselves.
  static constexpr double kObjectFilesVersion = 2.06;
  // The oldest archive layout that can be converted.
  static constexpr double kOldestConvertible = 2.05;
  static constexpr char kSettingsFileName[] = "Corvina.dat";
  static constexpr std::size_t kMaxSettingsFileSize = std::size_t{64} << 20;

  static constexpr int kDefaultMaximumSessions = 9;
  static constexpr unsigned kDefaultPreferences = 61;
  static constexpr char kDefaultScriptExtension[] = "txt";
  static constexpr char kDefaultLogExtension[] = "log";

  using Collection = std::map<std::string, std::shared_ptr<CCorvinaNamedObject>>;

  struct KindHandler {
    // Loads one file of the data folder; null when it holds no object of the kind.
    std::function<std::shared_ptr<CCorvinaNamedObject>(const std::string& file)> load;
    // The built-in objects; each is added when no object of its name exists.
    std::function<std::vector<std::shared_ptr<CCorvinaNamedObject>>()> defaults;
    // The class name objects of the kind carry in old archives, and their reader.
    std::string legacyClass;
    std::function<std::shared_ptr<CCorvinaNamedObject>(CArchiveReader&)> readLegacy;
  };

  // dataFolder ends in "/". The application profile must outlive the store.
  CCorvinaPersistentData(std::string dataFolder, platform::IniFile& appProfile, platform::UserInterface& ui);

  void RegisterKind(ObjectKind kind, KindHandler handler);
  bool HasKind(ObjectKind kind) const { return handlers_[Index(kind)].load != nullptr; }

  // Reads the settings file (converting an old one), the application
  // settings and every object file. False when start-up must end: the user
  // chose Abort, or an old archive could not be converted.
  bool LoadAll();
  // Writes the application settings, every modified object and the settings
  // file when needed. False when something could not be written (each
  // failure is shown once until that file is written again).
  bool SaveAll();
  // The one way to write the application profile: applies the change to
  // the copy in memory and, when it changed something, to a fresh read of
  // the file, so that what another instance wrote meanwhile survives. A file
  // that cannot be read is never overwritten (the failure is shown once).
  // The file is left with mode 0600.
  bool UpdateAppProfile(const std::function<void(platform::IniFile&)>& change);
  // Takes the objects and settings values of a settings archive older than
  // 2.06 (its bytes, version first). False, shown to the user, when the
  // archive is damaged or holds what cannot be converted.
  bool ConvertOldSettings(const std::string& bytes);

  CCorvinaNamedObject* Find(ObjectKind kind, std::string_view name) const;
  // Shared with the store, for holders that must outlive a delete or replace.
  std::shared_ptr<CCorvinaNamedObject> FindShared(ObjectKind kind, std::string_view name) const;
  std::shared_ptr<CCorvinaSessionProfile> FindProfile(std::string_view name) const;
  // In name order.
  const Collection& Objects(ObjectKind kind) const { return collections_[Index(kind)]; }
  std::vector<std::shared_ptr<CCorvinaSessionProfile>> Profiles() const;

  // Inserts under the upper-case name, replacing an object of the same name
  // (whose file name it inherits). An object without a file name gets the
  // name-derived one, or, when another object or an existing file already
  // has that, the first free "NAME (n).EXT". With `save`, saves the kind's
  // modified objects. False when the object cannot be stored (empty name,
  // unregistered kind, no free file name).
  bool Add(std::shared_ptr<CCorvinaNamedObject> object, bool save);
  // Removes the object and its file. With `ask`, the user confirms first.
  // Profiles that named a removed map, scheme or toolbar name their type's
  // default from then on. False for No, an unknown name, a profile in use,
  // or a file that could not be removed (shown).
  bool Delete(ObjectKind kind, std::string_view name, bool ask);
  // Saves every modified object of the kind.
  bool SaveModified(ObjectKind kind);
  // Whether the data folder has a file (or anything else) of that name.
  bool ObjectFileExists(const std::string& file) const;
  // Why Save As cannot give a new object of the kind this name: none typed,
  // the name is used, or its file exists. Empty when it can.
  std::string NewNameProblem(ObjectKind kind, std::string_view name) const;

  // A new profile with the defaults and the default host code page; not added.
  std::shared_ptr<CCorvinaSessionProfile> NewProfile() const;
  // Resolves names against the store; kinds not registered keep every name.
  ProfileNameResolver Resolver() const;

  // Recent macros, most recent first.
  const std::vector<std::string>& RecentMacros() const { return recentMacros_; }
  void NoteMacroUsed(std::string_view name);
  // Told when the recent list or the set of macros changed (menus rebuild).
  std::function<void()> macroMenusChanged;

  const std::string& DataFolder() const { return dataFolder_; }
  std::string SettingsFilePath() const { return dataFolder_ + kSettingsFileName; }
  double Version() const { return version_; }
  bool NeedsSettingsFileWrite() const { return needsWrite_; }
  CCorvinaTerminalTypes& TerminalTypes() { return types_; }
  platform::UserInterface& Ui() { return ui_; }

  // Application settings (section "Configuration").
  std::string sessionName;
  std::string defaultCodePage;
  std::string scriptExtension = kDefaultScriptExtension;
  std::string logExtension = kDefaultLogExtension;
  int maximumSessions = kDefaultMaximumSessions;
  unsigned preferences = kDefaultPreferences;

 private:
  static std::size_t Index(ObjectKind kind) { return static_cast<std::size_t>(kind); }

  void RegisterProfiles();
  void RegisterColorSchemes();
  // Profiles that named a removed map, scheme or toolbar take their type's
  // default name. True when one changed.
  bool RepointProfiles(ObjectKind kind, const std::string& removedName);
  bool ReadSettingsFile(std::string* bytes, bool* present);
  void ReadOldSettingsValues(CArchiveReader& archive);
  void ReadApplicationSettings();
  void ReadRecentMacros();
  bool WriteRecentMacros();
  void LoadObjectFiles(ObjectKind kind);
  void CreateDefaults(ObjectKind kind);
  bool WriteSettingsFile();
  bool WriteConfiguration();
  bool ChooseFileName(CCorvinaNamedObject& object, const CCorvinaNamedObject* replaced) const;
  bool FileNameTaken(ObjectKind kind, const std::string& file, const CCorvinaNamedObject* except) const;
  void ArchiveError(const std::string& cause);
  // Shows a write failure the first time it happens for `path`.
  void WriteFailed(const std::string& path, const std::string& text);
  void WriteSucceeded(const std::string& path) { failedWrites_.erase(path); }

  std::string dataFolder_;
  platform::IniFile& appProfile_;
  platform::UserInterface& ui_;
  CCorvinaTerminalTypes types_;
  std::array<Collection, kObjectKindCount> collections_;
  std::array<KindHandler, kObjectKindCount> handlers_;
  std::vector<std::string> recentMacros_;
  double version_ = -1.0;
  bool needsWrite_ = true;
  bool converted_ = false;  // objects from an old archive not all written yet
  std::set<std::string> failedWrites_;
};

}  // namespace corvina
