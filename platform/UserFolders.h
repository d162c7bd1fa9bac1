// The per-user runtime folder, and the checks that keep other users out of
// the folders this user's files come from.
#pragma once

#include <string>

namespace corvina::platform {

// $CORVINA_RUNTIME_DIR when it is absolute (tests), else
// $XDG_RUNTIME_DIR/corvina/ (an absolute XDG_RUNTIME_DIR only), otherwise
// /tmp/corvina-<uid>/.
std::string RuntimeFolderPath();

// Creates the folder with mode 0700 when it is missing. False, with the
// cause, when it is not a private folder of this user: a symbolic link,
// something other than a folder, another owner, or open to others.
bool PreparePrivateFolder(const std::string& folder, std::string* cause);

// A folder whose files this user may trust (the data folder): a folder, or a
// link to one, that this user or root owns and that no other user can write.
// False, with the cause, otherwise or when it cannot be looked at.
bool CheckTrustedFolder(const std::string& folder, std::string* cause);

// A file of a trusted folder that this user may act on (a profile that
// connects or starts a script): a regular file, not a symbolic link, owned
// by this user or root and not writable by other users.
bool CheckTrustedFile(const std::string& path, std::string* cause);

}  // namespace corvina::platform
