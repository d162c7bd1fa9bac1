// Readers of the objects that settings files older than 2.06 hold inside the
// settings archive.
#pragma once

#include <cstdint>
#include <memory>

#include "config/SessionProfile.h"

namespace corvina {

class CArchiveReader;

inline constexpr char kSessionProfileClassName[] = "CCorvinaSessionProfile";

// Old terminal type codes: 0 3278, 1 3279, 2 5250, 3 ANSI, 4 VT100, 5 VT220,
// 6 line mode; anything else gives 0.
unsigned ConvertOldTerminalType(std::uint32_t oldCode);

// Reads one session profile in its archived form and marks it modified. The
// numbers get the same range checks as a profile file. Null when the profile
// has no name or no host: it could never be stored or loaded again.
std::shared_ptr<CCorvinaSessionProfile> ReadLegacySessionProfile(CArchiveReader& archive,
                                                                 CCorvinaTerminalTypes& types,
                                                                 const ProfileNameResolver& resolver);

}  // namespace corvina
