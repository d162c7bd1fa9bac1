#include "automation/KeyString.h"

#include <string>

#include "keyboard/KeyFunctionTables.h"
#include "session/HostSession.h"

namespace corvina::automation {

bool PlayKeyString(CHostSession& session, char escape, std::string_view keys) {
  if (!session.EngineRunning()) return false;
  const unsigned kind = session.ConfiguredKind();
  auto type = [&](char c) { return session.OnCharacter(static_cast<unsigned char>(c)); };
  std::size_t i = 0;
  while (i < keys.size()) {
    if (keys[i] != escape || i + 1 >= keys.size()) {
      if (!type(keys[i++])) return false;
      continue;
    }
    if (keys[i + 1] == escape) {
      if (!type(escape)) return false;
      i += 2;
      continue;
    }
    std::string mnemonic;
    std::size_t at = i + 1;
    if (keys[at] == 'A' || keys[at] == 'S') {
      mnemonic.push_back(keys[at]);
      if (at + 2 >= keys.size() || keys[at + 1] != escape) {
        i = at + 2;  // the prefix and the byte after it go
        continue;
      }
      at += 2;
    }
    mnemonic.push_back(keys[at]);
    if (int id = KeyFunctionIdByMnemonic(kind, mnemonic); id >= 0) {
      session.OnKeyFunction(id);  // its outcome does not end the string
      if (!session.EngineRunning()) return true;
      i = at + 1;
    } else {
      // The escape before the last mnemonic byte is typed; that byte is next.
      if (!type(escape)) return false;
      i = at;
    }
  }
  return true;
}

}  // namespace corvina::automation
