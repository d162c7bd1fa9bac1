// CCorvinaMacro: a named sequence of characters, key functions, pauses and
// raw control sequences, recorded from a session or written by hand, that a
// session replays. The text syntax: any character but "<" types itself,
// "<<" types "<", and "<...>" is a token (">>" inside it is ">"): commas
// only pause one clock tick each; a function name (with a screen position
// after CursorMove or CursorTo); or, for VT macros, a control sequence.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/NamedObject.h"

namespace corvina {

namespace platform {
class UserInterface;
}
class CCorvinaKeyboardMap;
class CCorvinaPersistentData;

inline constexpr char kMacroSection[] = "Macro";
// The most screen positions a session has (a 14-bit buffer address), for
// checking positions when no screen is at hand.
inline constexpr int kMaxScreenPositions = 16384;

// One piece of macro text.
struct MacroPiece {
  enum Kind { kEnd, kCharacters, kPause, kToken };
  Kind kind = kEnd;
  std::string text;  // kCharacters: what is typed; kToken: the token between its brackets
  int ticks = 0;     // kPause: one per comma
  bool closed = true;  // kToken: false when the text ended before its ">"
};

// Walks macro text left to right.
class CMacroReader {
 public:
  explicit CMacroReader(std::string_view text, std::size_t position = 0) : text_(text), pos_(position) {}
  MacroPiece Next();
  std::size_t Position() const { return pos_; }

 private:
  std::string_view text_;
  std::size_t pos_;
};

// "<" text ">" with every ">" of the text doubled.
std::string MacroToken(std::string_view text);

// What a token does on a session of a terminal kind.
struct MacroStep {
  enum Kind { kFunction, kSystemCommand, kControlSequence, kInvalidPause, kInvalidName };
  Kind kind = kInvalidName;
  int id = 0;         // kFunction, kSystemCommand
  std::string bytes;  // kControlSequence
  std::string name;   // the token up to its first blank (for messages)
};

// Names resolve in the kind's table, then among the system commands. A
// number after the name is a screen position, allowed only after CursorMove
// and CursorTo and only below `positions`. Control sequences are raw bytes
// for VT hosts only, and must use the notation ("^[[A", "0x1b"): plain text
// in brackets is a mistyped name, never bytes sent to the host.
MacroStep ResolveMacroToken(std::string_view token, unsigned kind, int positions);

class CCorvinaMacro : public CCorvinaNamedObject {
 public:
  // Without a name the macro is "Untitled"; the type becomes its family.
  explicit CCorvinaMacro(std::string macroName = {}, unsigned type = 0);

  ObjectKind Kind() const override { return ObjectKind::kMacro; }
  unsigned TypeCode() const override { return type_; }

  const std::string& Text() const { return text_; }
  void SetText(std::string text);
  void AppendText(std::string_view text);

  // Appends one function a session executed: a character as itself ("<"
  // doubled), a screen position as "<CursorTo n>", any other identifier as
  // "<" name ">", named in the kind's table (0: the system commands).
  // Control characters of VT sessions become control sequences; a function
  // without a name is left out.
  void Record(int id, unsigned kind);
  bool recording = false;

  // The message the macro editor shows for the first bad token; nullopt
  // when every token is valid for the macro's family.
  std::optional<std::string> Validate(int positions = kMaxScreenPositions) const;

  // "Name", "Type" and "Data"; ReadFrom fails without a name or a family.
  bool ReadFrom(const platform::IniFile& ini);
  void WriteTo(platform::IniFile& ini) const;
  bool Load(const std::string& dataFolder, const std::string& file, std::string* error = nullptr);
  bool Save(const std::string& dataFolder, const std::string& file, std::string* error = nullptr) override;

 private:
  unsigned type_ = 0;
  std::string text_;
};

// Naming a recorded macro or a Save As copy. A name another macro has asks
// kMacroNameExists; Yes replaces that macro, No means another name is
// needed. A name whose file exists already is refused with kFileExists.
enum class MacroNaming { kSaved, kChooseAnother };
MacroNaming SaveNewMacro(CCorvinaPersistentData& store, std::shared_ptr<CCorvinaMacro> macro, const std::string& name,
                         platform::UserInterface& ui);

// The macros of a family in recent-list order: what the Macros menu offers.
std::vector<std::string> MacrosOfFamily(const CCorvinaPersistentData& store, unsigned type);

// The four submenus of the Macros menu (Replay, Edit, Delete, Assign Key),
// with their command ranges.
inline constexpr std::array<int, 4> kMacroMenuBases = {33340, 33350, 33360, 33370};
inline constexpr int kMacroMenuShown = 9;
struct MacroMenuItem {
  int command = 0;  // 0 for the grayed "(Empty)"
  std::string text;
  bool enabled = true;
};
// For the active session's map (null: no active session, every submenu is
// empty). Item i of a submenu is macro i of MacrosOfFamily; the tenth,
// "&More Macros...", opens the list of them all.
std::array<std::vector<MacroMenuItem>, 4> BuildMacroMenus(const CCorvinaPersistentData& store,
                                                          const CCorvinaKeyboardMap* map);

}  // namespace corvina
