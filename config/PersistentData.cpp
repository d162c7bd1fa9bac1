#include "config/PersistentData.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

#include "config/Archive.h"
#include "config/ColorScheme.h"
#include "config/LegacySettings.h"
#include "config/ObjectFileName.h"
#include "config/StoreTexts.h"
#include "platform/FileError.h"
#include "platform/FileIo.h"
#include "platform/Format.h"
#include "platform/IniFile.h"
#include "platform/UserFolders.h"
#include "platform/UserInterface.h"

namespace corvina {

using platform::Answer;
using platform::Buttons;
using platform::Format;
using platform::Icon;

namespace {

// Profiles load last, so that the names they hold resolve against the maps,
// schemes and toolbars already loaded.
constexpr ObjectKind kLoadOrder[] = {ObjectKind::kKeyboardMap, ObjectKind::kMacro, ObjectKind::kColorScheme,
                                     ObjectKind::kToolbar, ObjectKind::kSessionProfile};
// Macros first: the recent-macro list is rewritten after them.
constexpr ObjectKind kSaveOrder[] = {ObjectKind::kMacro, ObjectKind::kKeyboardMap, ObjectKind::kColorScheme,
                                     ObjectKind::kToolbar, ObjectKind::kSessionProfile};

// Block tags of old archives.
struct BlockTag {
  std::string_view tag;
  ObjectKind kind;
};
constexpr BlockTag kBlockTags[] = {{"csch", ObjectKind::kColorScheme},
                                   {"kmap", ObjectKind::kKeyboardMap},
                                   {"sdat", ObjectKind::kSessionProfile},
                                   {"tbar", ObjectKind::kToolbar}};

// A free file name is looked for among this many numbered variants.
constexpr int kMaxFileNameVariants = 1000;

bool EndsWithExtension(const std::string& file, std::string_view extension) {
  if (file.size() <= extension.size() + 1) return false;
  const std::size_t dot = file.size() - extension.size() - 1;
  return file[dot] == '.' && NameKey(file.substr(dot + 1)) == NameKey(extension);
}

// The regular files of the folder with the extension (any letter case), in
// name order, so that of two files holding the same name the later one wins
// the same way every time.
std::vector<std::string> FilesWithExtension(const std::string& folder, std::string_view extension) {
  std::vector<std::string> files;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return files;
  while (const dirent* entry = ::readdir(dir)) {
    std::string file = entry->d_name;
    if (!EndsWithExtension(file, extension)) continue;
    struct stat st {};
    if (::stat(JoinPath(folder, file).c_str(), &st) == 0 && S_ISREG(st.st_mode)) files.push_back(std::move(file));
  }
  ::closedir(dir);
  std::sort(files.begin(), files.end());
  return files;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string FileIoCauseText(const platform::FileIoResult& r) {
  if (r.status == platform::FileIoStatus::kNotRegular || r.status == platform::FileIoStatus::kReadOnly)
    return platform::FileErrorText(platform::kFileErrorAccessDenied);
  return platform::FileErrorText(platform::FileErrorCauseFromErrno(r.err));
}

}  // namespace

std::string DataFolderFromSetting(std::string_view dataPath, const std::string& workingFolder) {
  std::string folder;
  if (dataPath.empty()) {
    folder = workingFolder;
  } else {
    const std::size_t slash = dataPath.rfind('/');
    folder = std::string(slash == std::string_view::npos ? dataPath : dataPath.substr(0, slash + 1));
    if (folder.front() != '/') folder = JoinPath(workingFolder, folder);
  }
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

CCorvinaPersistentData::CCorvinaPersistentData(std::string dataFolder, platform::IniFile& appProfile,
                                               platform::UserInterface& ui)
    : dataFolder_(std::move(dataFolder)), appProfile_(appProfile), ui_(ui) {
  if (dataFolder_.empty() || dataFolder_.back() != '/') dataFolder_ += '/';
  RegisterProfiles();
  RegisterColorSchemes();
}

void CCorvinaPersistentData::RegisterProfiles() {
  KindHandler h;
  h.load = [this](const std::string& file) -> std::shared_ptr<CCorvinaNamedObject> {
    auto profile = std::make_shared<CCorvinaSessionProfile>();
    if (!profile->Load(dataFolder_, file, types_, Resolver())) return nullptr;
    return profile;
  };
  h.legacyClass = kSessionProfileClassName;
  h.readLegacy = [this](CArchiveReader& archive) -> std::shared_ptr<CCorvinaNamedObject> {
    return ReadLegacySessionProfile(archive, types_, Resolver());
  };
  RegisterKind(ObjectKind::kSessionProfile, std::move(h));
}

void CCorvinaPersistentData::RegisterColorSchemes() {
  KindHandler h;
  h.load = [this](const std::string& file) -> std::shared_ptr<CCorvinaNamedObject> {
    auto scheme = std::make_shared<CCorvinaColorScheme>();
    if (!scheme->Load(dataFolder_, file)) return nullptr;
    return scheme;
  };
  h.defaults = DefaultColorSchemes;
  h.legacyClass = kColorSchemeClassName;
  h.readLegacy = [](CArchiveReader& archive) -> std::shared_ptr<CCorvinaNamedObject> {
    return ReadLegacyColorScheme(archive);
  };
  RegisterKind(ObjectKind::kColorScheme, std::move(h));
}

void CCorvinaPersistentData::RegisterKind(ObjectKind kind, KindHandler handler) {
  handlers_[Index(kind)] = std::move(handler);
}

ProfileNameResolver CCorvinaPersistentData::Resolver() const {
  return [this](std::string_view name, ProfileObjectKind which) {
    const ObjectKind kind = which == ProfileObjectKind::kKeyboardMap   ? ObjectKind::kKeyboardMap
                            : which == ProfileObjectKind::kColorScheme ? ObjectKind::kColorScheme
                                                                       : ObjectKind::kToolbar;
    return !HasKind(kind) || Find(kind, name) != nullptr;
  };
}

std::shared_ptr<CCorvinaSessionProfile> CCorvinaPersistentData::NewProfile() const {
  auto profile = std::make_shared<CCorvinaSessionProfile>();
  profile->codePageFile = defaultCodePage;
  profile->modified = true;
  return profile;
}

// ------------------------------------------------------------------ finding

CCorvinaNamedObject* CCorvinaPersistentData::Find(ObjectKind kind, std::string_view name) const {
  return FindShared(kind, name).get();
}

std::shared_ptr<CCorvinaNamedObject> CCorvinaPersistentData::FindShared(ObjectKind kind, std::string_view name) const {
  const Collection& c = collections_[Index(kind)];
  auto it = c.find(NameKey(name));
  return it == c.end() ? nullptr : it->second;
}

std::shared_ptr<CCorvinaSessionProfile> CCorvinaPersistentData::FindProfile(std::string_view name) const {
  const Collection& c = collections_[Index(ObjectKind::kSessionProfile)];
  auto it = c.find(NameKey(name));
  return it == c.end() ? nullptr : std::static_pointer_cast<CCorvinaSessionProfile>(it->second);
}

std::vector<std::shared_ptr<CCorvinaSessionProfile>> CCorvinaPersistentData::Profiles() const {
  std::vector<std::shared_ptr<CCorvinaSessionProfile>> profiles;
  for (const auto& [key, object] : Objects(ObjectKind::kSessionProfile))
    profiles.push_back(std::static_pointer_cast<CCorvinaSessionProfile>(object));
  return profiles;
}

// ------------------------------------------------------- adding and deleting

bool CCorvinaPersistentData::ObjectFileExists(const std::string& file) const { return FileExists(dataFolder_ + file); }

std::string CCorvinaPersistentData::NewNameProblem(ObjectKind kind, std::string_view name) const {
  if (name.empty()) return store_texts::kTypeAName;
  if (Find(kind, name)) return store_texts::kNameExists;
  const std::string file = ObjectFileName(name, ObjectExtension(kind));
  if (ObjectFileExists(file)) return Format(store_texts::kFileExists, file.c_str());
  return {};
}

bool CCorvinaPersistentData::FileNameTaken(ObjectKind kind, const std::string& file,
                                           const CCorvinaNamedObject* except) const {
  for (const auto& [key, object] : collections_[Index(kind)]) {
    if (object.get() != except && object->fileName == file) return true;
  }
  return FileExists(dataFolder_ + file);
}

// Two names can map to one file name ("a:b" and "a/b"); a new object never
// takes a file that another object or an unreadable leftover already has.
bool CCorvinaPersistentData::ChooseFileName(CCorvinaNamedObject& object, const CCorvinaNamedObject* replaced) const {
  if (!object.fileName.empty()) return true;
  if (replaced != nullptr && !replaced->fileName.empty()) {
    object.fileName = replaced->fileName;
    return true;
  }
  const ObjectKind kind = object.Kind();
  const std::string_view extension = ObjectExtension(kind);
  std::string file = ObjectFileName(object.name, extension);
  for (int n = 2; FileNameTaken(kind, file, replaced); ++n) {
    if (n > kMaxFileNameVariants) return false;
    file = ObjectFileName(Format("%s (%d)", object.name.c_str(), n), extension);
  }
  object.fileName = file;
  return true;
}

bool CCorvinaPersistentData::Add(std::shared_ptr<CCorvinaNamedObject> object, bool save) {
  if (!object || object->name.empty()) return false;
  const ObjectKind kind = object->Kind();
  if (!HasKind(kind)) return false;
  Collection& c = collections_[Index(kind)];
  const std::string key = NameKey(object->name);
  auto existing = c.find(key);
  const CCorvinaNamedObject* replaced = existing == c.end() ? nullptr : existing->second.get();
  if (!ChooseFileName(*object, replaced)) return false;
  c[key] = std::move(object);
  if (!save) return true;
  if (kind == ObjectKind::kMacro) NoteMacroUsed(c[key]->name);
  bool ok = SaveModified(kind);
  if (kind == ObjectKind::kMacro) ok = WriteRecentMacros() && ok;
  return ok;
}

bool CCorvinaPersistentData::Delete(ObjectKind kind, std::string_view name, bool ask) {
  Collection& c = collections_[Index(kind)];
  auto it = c.find(NameKey(name));
  if (it == c.end()) return false;
  CCorvinaNamedObject& object = *it->second;
  if (kind == ObjectKind::kSessionProfile && static_cast<CCorvinaSessionProfile&>(object).connectedSessions > 0) {
    ui_.MessageBox(store_texts::kCantDeleteActive, store_texts::kCaption, Buttons::Ok, Answer::Ok, Icon::Warning);
    return false;
  }
  if (ask) {
    const std::string word(ObjectWord(kind));
    const std::string question = Format(store_texts::kDeleteQuestion, word.c_str(), object.name.c_str());
    if (ui_.MessageBox(question, store_texts::kCaption, Buttons::YesNo, Answer::No, Icon::Question) != Answer::Yes)
      return false;
  }
  if (!object.fileName.empty()) {
    const std::string path = dataFolder_ + object.fileName;
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
      const std::string cause = platform::FileErrorText(platform::FileErrorCauseFromErrno(errno));
      ui_.MessageBox(Format(store_texts::kUnableToDelete, path.c_str()) + cause, store_texts::kCaption, Buttons::Ok,
                     Answer::Ok, Icon::Error);
      return false;
    }
  }
  const std::string objectName = object.name;
  c.erase(it);
  bool ok = SaveModified(kind);
  if (RepointProfiles(kind, objectName)) ok = SaveModified(ObjectKind::kSessionProfile) && ok;
  if (kind == ObjectKind::kMacro) {
    std::erase_if(recentMacros_, [&](const std::string& n) { return NameKey(n) == NameKey(objectName); });
    ok = WriteRecentMacros() && ok;
    if (macroMenusChanged) macroMenusChanged();
  }
  return ok;
}

bool CCorvinaPersistentData::RepointProfiles(ObjectKind kind, const std::string& removedName) {
  bool changed = false;
  for (const auto& [key, object] : collections_[Index(ObjectKind::kSessionProfile)]) {
    auto& profile = static_cast<CCorvinaSessionProfile&>(*object);
    std::string* field = kind == ObjectKind::kKeyboardMap   ? &profile.keyboardMapName
                         : kind == ObjectKind::kColorScheme ? &profile.colorSchemeName
                         : kind == ObjectKind::kToolbar     ? &profile.keypadToolbarName
                                                            : nullptr;
    if (field == nullptr || NameKey(*field) != NameKey(removedName)) continue;
    const std::string_view fallback = DefaultObjectNameForKind(profile.terminalType);
    if (*field == fallback) continue;
    *field = std::string(fallback);
    profile.modified = true;
    changed = true;
  }
  return changed;
}

void CCorvinaPersistentData::NoteMacroUsed(std::string_view name) {
  const std::string key = NameKey(name);
  std::erase_if(recentMacros_, [&](const std::string& n) { return NameKey(n) == key; });
  recentMacros_.insert(recentMacros_.begin(), std::string(name));
  if (macroMenusChanged) macroMenusChanged();
}

// ------------------------------------------------------------------- saving

void CCorvinaPersistentData::WriteFailed(const std::string& path, const std::string& text) {
  if (!failedWrites_.insert(path).second) return;
  ui_.MessageBox(text, store_texts::kCaption, Buttons::Ok, Answer::Ok, Icon::Error);
}

bool CCorvinaPersistentData::SaveModified(ObjectKind kind) {
  bool ok = true;
  for (const auto& [key, object] : collections_[Index(kind)]) {
    if (!object->modified) continue;
    const std::string file = object->FileName();
    const std::string path = dataFolder_ + file;
    std::string error;
    if (object->Save(dataFolder_, file, &error)) {
      WriteSucceeded(path);
      continue;
    }
    ok = false;
    const std::string word(ObjectWord(kind));
    WriteFailed(path, Format(store_texts::kUnableToSaveObject, word.c_str(), object->name.c_str(), path.c_str()) +
                          "\n" + error);
  }
  return ok;
}

bool CCorvinaPersistentData::WriteSettingsFile() {
  std::string bytes(sizeof(double), '\0');
  std::uint64_t bits;
  std::memcpy(&bits, &kCurrentVersion, sizeof bits);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(bits >> (8 * i));
  const std::string path = SettingsFilePath();
  if (!platform::WriteFileAtomically(path, bytes).Ok()) {
    WriteFailed(path, Format(store_texts::kUnableToSaveSettings, path.c_str()));
    return false;
  }
  WriteSucceeded(path);
  return true;
}

bool CCorvinaPersistentData::UpdateAppProfile(const std::function<void(platform::IniFile&)>& change) {
  const std::string before = appProfile_.Text();
  change(appProfile_);
  // Nothing new to keep: the file stays as it is, whatever another instance made of it.
  if (appProfile_.Path().empty() || appProfile_.Text() == before) return true;
  platform::IniFile fresh(appProfile_.Path());
  std::string error;
  if (fresh.Load(&error)) {
    change(fresh);
    if (fresh.Save(&error, platform::FileMode::kOwnerOnly)) {
      WriteSucceeded(fresh.Path());
      return true;
    }
  }
  WriteFailed(fresh.Path(), Format(store_texts::kUnableToSaveSettings, fresh.Path().c_str()) + "\n" + error);
  return false;
}

bool CCorvinaPersistentData::WriteConfiguration() {
  return UpdateAppProfile([this](platform::IniFile& ini) {
    // A value back at its default loses its key, so the next start reads the default too.
    auto text = [&ini](const char* key, const std::string& value, std::string_view omitted) {
      if (value == omitted) ini.DeleteKey(kConfigurationSection, key);
      else ini.SetString(kConfigurationSection, key, value);
    };
    text("SessionName", sessionName, "");
    text("DefaultCodePage", defaultCodePage, "");
    text("ScriptExtension", scriptExtension, kDefaultScriptExtension);
    text("LogExtension", logExtension, kDefaultLogExtension);
    if (maximumSessions == kDefaultMaximumSessions) ini.DeleteKey(kConfigurationSection, "MaximumSessions");
    else ini.SetInt(kConfigurationSection, "MaximumSessions", maximumSessions);
    ini.SetInt(kConfigurationSection, "Preferences", static_cast<long>(preferences));
  });
}

bool CCorvinaPersistentData::WriteRecentMacros() {
  if (!HasKind(ObjectKind::kMacro)) return true;
  return UpdateAppProfile([this](platform::IniFile& ini) {
    ini.DeleteSection(kRecentMacrosSection);
    ini.SetInt(kRecentMacrosSection, "MacroCount", static_cast<long>(recentMacros_.size()));
    for (std::size_t i = 0; i < recentMacros_.size(); ++i)
      ini.SetString(kRecentMacrosSection, Format("Macro%zu", i + 1), recentMacros_[i]);
  });
}

bool CCorvinaPersistentData::SaveAll() {
  bool ok = WriteConfiguration();
  bool objectsSaved = true;
  for (ObjectKind kind : kSaveOrder) {
    objectsSaved = SaveModified(kind) && objectsSaved;
    if (kind == ObjectKind::kMacro) ok = WriteRecentMacros() && ok;
  }
  // Converted objects have the old archive as their only copy until each
  // one has a file of its own: only then is the archive replaced.
  if (objectsSaved) converted_ = false;
  // The flag stays until the file is written, so that a failed write is tried again.
  if (needsWrite_ && !converted_) needsWrite_ = !WriteSettingsFile();
  return ok && objectsSaved && !needsWrite_;
}

// ------------------------------------------------------------------ loading

void CCorvinaPersistentData::ArchiveError(const std::string& cause) {
  ui_.MessageBox(Format(store_texts::kArchiveException, SettingsFilePath().c_str()) + cause, store_texts::kCaption,
                 Buttons::Ok, Answer::Ok, Icon::Error);
}

// False when the user chose Abort; *present tells whether there is a file to read.
bool CCorvinaPersistentData::ReadSettingsFile(std::string* bytes, bool* present) {
  const std::string path = SettingsFilePath();
  *present = false;
  for (;;) {
    const platform::FileIoResult r = platform::ReadWholeFile(path, kMaxSettingsFileSize, bytes);
    *present = r.Ok();
    if (r.Ok() || r.status == platform::FileIoStatus::kMissing) return true;
    if (r.status == platform::FileIoStatus::kTooLarge) {
      ArchiveError(Format(store_texts::kArchiveTooLarge, kMaxSettingsFileSize));
      return true;
    }
    const Answer answer = ui_.MessageBox(Format(store_texts::kFileOpenFailure, path.c_str()) + FileIoCauseText(r),
                                         store_texts::kCaption, Buttons::AbortRetryIgnore, Answer::Abort, Icon::Error);
    if (answer == Answer::Abort) return false;
    if (answer != Answer::Retry) return true;
  }
}

bool CCorvinaPersistentData::LoadAll() {
  version_ = -1.0;
  bool saveAtEnd = false;
  std::string bytes;
  bool present = false;
  if (!ReadSettingsFile(&bytes, &present)) return false;
  if (present) {
    try {
      CArchiveReader archive(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
      const double version = archive.ReadDouble();
      if (!std::isfinite(version)) throw CArchiveError(store_texts::kArchiveBadVersion);
      version_ = version;
    } catch (const CArchiveError& e) {
      ArchiveError(e.what());
    }
    if (version_ >= kCurrentVersion) needsWrite_ = false;
    else if (version_ > 0) saveAtEnd = true;
  }

  if (version_ > 0 && version_ < kObjectFilesVersion) {
    if (!ConvertOldSettings(bytes)) return false;
    for (ObjectKind kind : kLoadOrder) CreateDefaults(kind);
    ReadApplicationSettings();
    ReadRecentMacros();
    converted_ = true;
  } else {
    if (version_ == -1.0) {
      // No usable settings file. The defaults are created after the object
      // files are read, so that a customised default object is never
      // overwritten by the built-in one.
      version_ = kCurrentVersion;
      preferences = kDefaultPreferences;
    }
    ReadApplicationSettings();
    for (ObjectKind kind : kLoadOrder) {
      LoadObjectFiles(kind);
      CreateDefaults(kind);
      if (kind == ObjectKind::kMacro) ReadRecentMacros();
    }
  }
  if (saveAtEnd) SaveAll();
  return true;
}

void CCorvinaPersistentData::ReadApplicationSettings() {
  // The current values are the defaults, so that values converted from an
  // old archive survive when the profile has no key for them.
  const platform::IniFile& ini = appProfile_;
  sessionName = ini.GetString(kConfigurationSection, "SessionName", sessionName);
  defaultCodePage = ini.GetString(kConfigurationSection, "DefaultCodePage", defaultCodePage);
  scriptExtension = ini.GetString(kConfigurationSection, "ScriptExtension", scriptExtension);
  logExtension = ini.GetString(kConfigurationSection, "LogExtension", logExtension);
  maximumSessions = static_cast<int>(
      std::clamp<long>(ini.GetInt(kConfigurationSection, "MaximumSessions", maximumSessions), INT_MIN, INT_MAX));
  preferences = static_cast<unsigned>(ini.GetInt(kConfigurationSection, "Preferences", preferences));
}

void CCorvinaPersistentData::ReadRecentMacros() {
  if (!HasKind(ObjectKind::kMacro)) return;
  const Collection& macros = Objects(ObjectKind::kMacro);
  const platform::IniFile& ini = appProfile_;
  const long count = ini.GetInt(kRecentMacrosSection, "MacroCount", 0);
  // Only keys that exist can name a macro, so a huge count ends early.
  const long keys = static_cast<long>(ini.Keys(kRecentMacrosSection).size());
  recentMacros_.clear();
  std::set<std::string> listed;
  for (long i = 1; i <= std::min(count, keys); ++i) {
    auto it = macros.find(NameKey(ini.GetString(kRecentMacrosSection, Format("Macro%ld", i))));
    if (it != macros.end() && listed.insert(it->first).second) recentMacros_.push_back(it->second->name);
  }
  // Names of macros that are gone drop out, and every macro is listed, so
  // that the menus reach it; a list that changed is written back.
  bool changed = static_cast<long>(recentMacros_.size()) != count;
  for (const auto& [key, macro] : macros) {
    if (!listed.insert(key).second) continue;
    recentMacros_.push_back(macro->name);
    changed = true;
  }
  if (changed) WriteRecentMacros();
}

void CCorvinaPersistentData::LoadObjectFiles(ObjectKind kind) {
  const KindHandler& handler = handlers_[Index(kind)];
  if (!handler.load) return;
  for (const std::string& file : FilesWithExtension(dataFolder_, ObjectExtension(kind))) {
    // Profiles connect and start scripts, maps and macros send keys: nothing
    // another user could have written is taken.
    if (std::string cause; !platform::CheckTrustedFile(dataFolder_ + file, &cause)) {
      ui_.MessageBox(Format(store_texts::kUntrustedFile, (dataFolder_ + file).c_str(), cause.c_str()),
                     store_texts::kCaption, Buttons::Ok, Answer::Ok, Icon::Warning);
      continue;
    }
    std::shared_ptr<CCorvinaNamedObject> object = handler.load(file);
    if (!object || object->name.empty() || object->Kind() != kind) continue;
    object->fileName = file;
    object->modified = false;
    collections_[Index(kind)][NameKey(object->name)] = std::move(object);
  }
}

// New default objects are written with the next save, so that a run that
// ends before saving anything leaves the data folder as it was.
void CCorvinaPersistentData::CreateDefaults(ObjectKind kind) {
  const KindHandler& handler = handlers_[Index(kind)];
  if (!handler.defaults) return;
  for (std::shared_ptr<CCorvinaNamedObject>& object : handler.defaults()) {
    if (!object || Find(kind, object->name) != nullptr) continue;
    object->modified = true;
    Add(std::move(object), false);
  }
}

// ---------------------------------------------------------------- migration

void CCorvinaPersistentData::ReadOldSettingsValues(CArchiveReader& archive) {
  sessionName = archive.ReadString();
  defaultCodePage = archive.ReadString();
  scriptExtension = archive.ReadString();
  logExtension = archive.ReadString();
  maximumSessions = archive.ReadI32();
  preferences = archive.ReadU32();
}

bool CCorvinaPersistentData::ConvertOldSettings(const std::string& bytes) {
  try {
    CArchiveReader archive(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    const double version = archive.ReadDouble();
    if (version < kOldestConvertible) throw CArchiveError(Format(store_texts::kArchiveTooOld, version));
    ReadOldSettingsValues(archive);
    // A block is at least a tag length and an object count; an object at least its tag.
    const std::uint32_t blocks = archive.ReadCount(5);
    for (std::uint32_t b = 0; b < blocks; ++b) {
      const std::string tag = archive.ReadString();
      const BlockTag* block = nullptr;
      for (const BlockTag& known : kBlockTags) {
        if (known.tag == tag) block = &known;
      }
      if (block == nullptr) throw CArchiveError(Format(store_texts::kArchiveUnknownBlock, tag.c_str()));
      const std::uint32_t objects = archive.ReadCount(2);
      for (std::uint32_t i = 0; i < objects; ++i) {
        const CArchiveReader::ObjectTag object = archive.ReadObjectTag();
        // Nothing there, or an object listed again: already taken.
        if (object.kind != CArchiveReader::ObjectTag::kNew) continue;
        const KindHandler* handler = nullptr;
        ObjectKind kind{};
        for (std::size_t k = 0; k < kObjectKindCount; ++k) {
          if (handlers_[k].readLegacy && handlers_[k].legacyClass == object.className) {
            handler = &handlers_[k];
            kind = static_cast<ObjectKind>(k);
          }
        }
        if (handler == nullptr) throw CArchiveError(Format(store_texts::kArchiveUnknownClass, object.className.c_str()));
        if (kind != block->kind) {
          throw CArchiveError(
              Format(store_texts::kArchiveWrongBlock, tag.c_str(), object.className.c_str()));
        }
        if (std::shared_ptr<CCorvinaNamedObject> read = handler->readLegacy(archive)) {
          read->modified = true;
          Add(std::move(read), false);
        }
      }
    }
  } catch (const CArchiveError& e) {
    ArchiveError(e.what());
    return false;
  }
  return true;
}

}  // namespace corvina
