// File names as profiles and scripts give them: absolute, or in the
// session's data folder.
#pragma once

#include <string>

#include "session/HostSession.h"

namespace corvina {

// An empty name stays empty.
inline std::string InDataFolder(const CHostSession& session, const std::string& name) {
  return name.empty() || name[0] == '/' ? name : session.DataFolder() + name;
}

}  // namespace corvina
