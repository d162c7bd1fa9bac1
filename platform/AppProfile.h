// Where the application profile (the application-wide settings file) and
// the default data folder live.
#pragma once

#include <string>

namespace corvina::platform {

// The first of: the override, $CORVINA_SETTINGS, $XDG_CONFIG_HOME/Orvex/Corvina.ini
// (an absolute XDG_CONFIG_HOME only), $HOME/.config/Orvex/Corvina.ini (the
// home folder from the user database when HOME is unset). Unset and empty
// values are skipped; empty when no home folder is known.
std::string AppProfilePath();

// Set from a command-line option; an empty path removes the override.
void SetAppProfilePathOverride(std::string path);

// The data folder when no setting names one: $XDG_DATA_HOME/Orvex/Corvina/
// (an absolute XDG_DATA_HOME only), else $HOME/.local/share/Orvex/Corvina/.
// Empty when no home folder is known.
std::string DefaultDataFolder();

}  // namespace corvina::platform
