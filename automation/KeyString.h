// Key strings as HLLAPI's Send Key and DDE's Keystroke poke play them: text
// with escape sequences ("@E" Enter, "@A@Q" Attn, "@@" one '@').
#pragma once

#include <string_view>

namespace corvina {
class CHostSession;
}

namespace corvina::automation {

// Plays the keys into the session through its key-function and character
// entries. A mnemonic no function has is typed as it stands, escape
// character included; "@A" or "@S" not followed by the escape character is
// dropped with the byte after it. False when the session has no engine or
// refuses a character (playing stops there).
bool PlayKeyString(CHostSession& session, char escape, std::string_view keys);

}  // namespace corvina::automation
