#include "keyboard/StoreKinds.h"

#include "config/PersistentData.h"
#include "config/SessionProfile.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/Macro.h"
#include "keyboard/Toolbar.h"

namespace corvina {

namespace {

// A loader of one file into a new object of class T.
template <typename T>
std::function<std::shared_ptr<CCorvinaNamedObject>(const std::string&)> Loader(const CCorvinaPersistentData& store) {
  return [&store](const std::string& file) -> std::shared_ptr<CCorvinaNamedObject> {
    auto object = std::make_shared<T>();
    if (!object->Load(store.DataFolder(), file)) return nullptr;
    return object;
  };
}

}  // namespace

void RegisterKeyboardObjects(CCorvinaPersistentData& store) {
  CCorvinaPersistentData::KindHandler maps;
  maps.load = Loader<CCorvinaKeyboardMap>(store);
  maps.defaults = [] {
    std::vector<std::shared_ptr<CCorvinaNamedObject>> defaults;
    for (unsigned family : {unsigned{kKind3278}, unsigned{kKind5250}, unsigned{kKindVt100}})
      defaults.push_back(CCorvinaKeyboardMap::CreateDefault(family));
    return defaults;
  };
  maps.legacyClass = kKeyboardMapClassName;
  maps.readLegacy = [](CArchiveReader& archive) -> std::shared_ptr<CCorvinaNamedObject> {
    return ReadLegacyKeyboardMap(archive);
  };
  store.RegisterKind(ObjectKind::kKeyboardMap, std::move(maps));

  CCorvinaPersistentData::KindHandler macros;
  macros.load = Loader<CCorvinaMacro>(store);
  store.RegisterKind(ObjectKind::kMacro, std::move(macros));

  CCorvinaPersistentData::KindHandler toolbars;
  toolbars.load = Loader<CCorvinaToolbar>(store);
  toolbars.defaults = CCorvinaToolbar::Defaults;
  toolbars.legacyClass = kToolbarClassName;
  toolbars.readLegacy = [](CArchiveReader& archive) -> std::shared_ptr<CCorvinaNamedObject> {
    return ReadLegacyToolbar(archive);
  };
  store.RegisterKind(ObjectKind::kToolbar, std::move(toolbars));
}

}  // namespace corvina
