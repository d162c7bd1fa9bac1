// The DDE-style conversation over a local stream socket: one request per
// line, one answer line per request, advise data as NOTIFY lines.
//
//   CONNECT service topic   OK | NACK        (a later CONNECT replaces it)
//   REQUEST item            DATA text | NACK
//   POKE item text          ACK | NACK
//   EXECUTE command         ACK | NACK
//   ADVISE item             OK | NACK        (advise start)
//   UNADVISE item           OK | NACK        (advise stop)
//   DISCONNECT              OK, then the server closes
//   (server)                NOTIFY item text (advise data)
//   (server)                ERROR text       (a line it cannot read)
//
// Lines are UTF-8 and end in LF (a CR before it is dropped). In texts the
// bytes '%', CR, LF and the other control characters travel as %XX.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina::automation {

inline constexpr char kDdeService[] = "Corvina";
inline constexpr char kDdeSystemTopic[] = "SYSTEM";
// Longest request line taken; a longer one ends the connection.
inline constexpr std::size_t kDdeMaxLine = 64 * 1024;
// Longest poke text played or stored.
inline constexpr std::size_t kDdeMaxPoke = 16 * 1024;

// Services, topics, items and verbs compare ignoring case (ASCII and
// Latin-1 letters, as profile names do).
bool DdeSameName(std::string_view a, std::string_view b);

enum class DdeVerb { Connect, Request, Poke, Execute, Advise, Unadvise, Disconnect };

struct DdeRequest {
  DdeVerb verb = DdeVerb::Disconnect;
  std::string first;   // service, item or command
  std::string second;  // topic, or the poked text (unescaped)
};

// Nullopt, with the reason, for a line that is no request.
std::optional<DdeRequest> ParseDdeRequest(std::string_view line, std::string* error);

std::string DdeEscape(std::string_view text);
// Nullopt for a '%' that is not followed by two hexadecimal digits.
std::optional<std::string> DdeUnescape(std::string_view text);

// Items of a session topic; Row and Field carry a number.
struct DdeItem {
  enum Kind { PS, Cursor, Rows, Columns, Emulator, Keyboard, Oia, Row, Field, Keystroke, EscChar, Unknown };
  Kind kind = Unknown;
  int number = 0;         // Row, Field: 1 or more, or 0 for none
  char fieldKind = 0;     // Field: 0 any, 'U' unprotected, 'P' protected
};
// Names ignore case; R and F are told by the first character. A number that
// is not all digits, or beyond 9999, gives number 0 (no such row or field).
DdeItem ParseDdeItem(std::string_view item);

// The n-th field of a screen read with attribute bytes kept (every attribute
// position holds a byte of 0xC0 or more; bit 0x20 marks protection): the
// characters after its attribute up to the next attribute, wrapping at the
// end. A screen without attributes is one field. Nullopt when there is no
// such field.
std::optional<std::string> DdeFieldText(std::string_view screen, int n, char kind);

}  // namespace corvina::automation
