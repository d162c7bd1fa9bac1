#include "References.h"

#include <unistd.h>
#include <vterm.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../session/TestSupport.h"
#include "platform/Text.h"
#include "session/TextCanvas.h"

namespace corvina::test {

namespace {

struct QuietHost final : vt::VtTerminalHost {
  void Reply(std::string_view) override {}
};

int AnsiIndex(std::uint8_t colourIndex) {
  switch (colourIndex) {
    case vt::kColourBlack: return 0;
    case vt::kColourRed: return 1;
    case vt::kColourGreen: return 2;
    case vt::kColourYellow: return 3;
    case vt::kColourBlue: return 4;
    case vt::kColourMagenta: return 5;
    case vt::kColourCyan: return 6;
    case vt::kColourWhite: return 7;
    default: return -1;
  }
}

int VtermColour(const VTermColor& c, bool fg) {
  if (fg ? VTERM_COLOR_IS_DEFAULT_FG(&c) : VTERM_COLOR_IS_DEFAULT_BG(&c)) return -1;
  return VTERM_COLOR_IS_INDEXED(&c) ? c.indexed.idx : -2;
}

}  // namespace

std::string Snapshot::Text() const {
  std::string text;
  for (int r = 0; r < rows; ++r) {
    std::u32string line;
    for (int c = 0; c < columns; ++c) line.push_back(At(r, c).ch);
    text += platform::ToUtf8(line) + "\n";
  }
  return text;
}

Snapshot OurSnapshot(const vt::CVtTerminal& terminal, const std::string& name) {
  Snapshot s{name, terminal.Rows(), terminal.Columns(), terminal.CursorRow(), terminal.CursorColumn(), {}};
  for (int r = 0; r < s.rows; ++r) {
    const vt::VtCell* line = terminal.Screen().Line(r);
    for (int c = 0; c < s.columns; ++c) {
      const vt::VtCell& cell = line[c];
      RefCell out;
      out.ch = cell.character < 0x20 ? TextCanvas::GlyphCharacter(cell.character) : char32_t{cell.character};
      out.fg = AnsiIndex(static_cast<std::uint8_t>(cell.colours >> 4));
      out.bg = AnsiIndex(static_cast<std::uint8_t>(cell.colours & 0x0F));
      const std::uint8_t r8 = cell.rendition;
      out.flags = ((r8 & vt::kRendBold) ? kRefBold : 0) | ((r8 & vt::kRendUnderline) ? kRefUnderline : 0) |
                  ((r8 & vt::kRendBlink) ? kRefBlink : 0) | ((r8 & vt::kRendReverse) ? kRefInverse : 0) |
                  ((r8 & vt::kRendInvisible) ? kRefInvisible : 0);
      s.cells.push_back(out);
    }
  }
  return s;
}

Snapshot RunOurs(const Stream& stream, int rows, int columns, unsigned kind) {
  QuietHost host;
  vt::CVtTerminal terminal(host);
  vt::VtConfig config;
  config.kind = kind;
  config.rows = rows;
  config.columns = columns;
  config.history = 0;
  terminal.Start(config);
  terminal.Feed(stream.bytes);
  return OurSnapshot(terminal, stream.name);
}

Snapshot RunLibvterm(const Stream& stream, int rows, int columns) {
  VTerm* vt = vterm_new(rows, columns);
  vterm_set_utf8(vt, 0);
  vterm_output_set_callback(vt, [](const char*, size_t, void*) {}, nullptr);  // replies go nowhere
  VTermScreen* screen = vterm_obtain_screen(vt);
  vterm_screen_reset(screen, 1);
  vterm_input_write(vt, stream.bytes.data(), stream.bytes.size());
  Snapshot s{stream.name, rows, columns, 0, 0, {}};
  VTermPos cursor;
  vterm_state_get_cursorpos(vterm_obtain_state(vt), &cursor);
  s.cursorRow = cursor.row;
  s.cursorColumn = cursor.col;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      VTermScreenCell cell{};
      vterm_screen_get_cell(screen, VTermPos{r, c}, &cell);
      RefCell out;
      out.ch = cell.chars[0] == 0 ? U' ' : static_cast<char32_t>(cell.chars[0]);
      out.fg = VtermColour(cell.fg, true);
      out.bg = VtermColour(cell.bg, false);
      out.flags = (cell.attrs.bold ? kRefBold : 0) | (cell.attrs.underline ? kRefUnderline : 0) |
                  (cell.attrs.blink ? kRefBlink : 0) | (cell.attrs.reverse ? kRefInverse : 0);  // this libvterm keeps no concealed attribute
      s.cells.push_back(out);
    }
  }
  vterm_free(vt);
  return s;
}

std::optional<std::vector<Snapshot>> RunXterm(const std::vector<Stream>& streams, int rows, int columns,
                                              std::string* why) {
  const char* modules = std::getenv("CORVINA_XTERM_MODULES");
  const std::string moduleDir = modules ? modules : CORVINA_BINARY_DIR "/xterm-headless/node_modules";
  if (::access((moduleDir + "/@xterm/headless").c_str(), R_OK) != 0) {
    *why = "@xterm/headless is not installed in " + moduleDir;
    return std::nullopt;
  }
  const std::string dir = MakeTempDir();
  std::string command = "NODE_PATH='" + moduleDir + "' node '" CORVINA_SOURCE_DIR "/tests/vt/xterm-cells.js' " +
                        std::to_string(rows) + " " + std::to_string(columns);
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const std::string file = dir + "/" + std::to_string(i);
    WriteFile(file, streams[i].bytes);
    command += " '" + file + "'";
  }
  command += " > '" + dir + "/out'";
  const int status = std::system(command.c_str());
  std::istringstream in(ReadFile(dir + "/out"));
  std::system(("rm -rf '" + dir + "'").c_str());
  if (status != 0) {
    *why = "node failed: " + command;
    return std::nullopt;
  }
  std::vector<Snapshot> shots;
  std::string word;
  while (in >> word) {
    if (word == "SCREEN") {
      std::size_t index = 0;
      in >> index;
      shots.push_back(Snapshot{index < streams.size() ? streams[index].name : "?", rows, columns, 0, 0, {}});
    } else if (word == "CURSOR" && !shots.empty()) {
      in >> shots.back().cursorRow >> shots.back().cursorColumn;
    } else if (word == "ROW" && !shots.empty()) {
      int row = 0;
      in >> row;
      for (int c = 0; c < columns; ++c) {
        std::string cell;
        in >> cell;
        RefCell out;
        unsigned long code = 32;
        std::sscanf(cell.c_str(), "%lu,%d,%d,%u", &code, &out.fg, &out.bg, &out.flags);
        out.ch = static_cast<char32_t>(code);
        shots.back().cells.push_back(out);
      }
    }
  }
  if (shots.size() != streams.size()) {
    *why = "node printed " + std::to_string(shots.size()) + " screens for " + std::to_string(streams.size());
    return std::nullopt;
  }
  return shots;
}

std::vector<Difference> Compare(const Snapshot& ours, const Snapshot& a, const Snapshot& b) {
  std::vector<Difference> diffs;
  if (ours.rows != a.rows || ours.columns != a.columns || a.rows != b.rows || a.columns != b.columns) {
    diffs.push_back({ours.name, "size", 0, 0, "screen sizes differ"});
    return diffs;
  }
  auto add = [&](const char* aspect, int r, int c, long want, long got) {
    diffs.push_back({ours.name, aspect, r, c, "references " + std::to_string(want) + ", ours " + std::to_string(got), want});
  };
  if (a.cursorRow == b.cursorRow && a.cursorColumn == b.cursorColumn &&
      (ours.cursorRow != a.cursorRow || ours.cursorColumn != a.cursorColumn))
    diffs.push_back({ours.name, "cursor", ours.cursorRow, ours.cursorColumn,
                     "references at " + std::to_string(a.cursorRow) + "," + std::to_string(a.cursorColumn)});
  for (int r = 0; r < ours.rows; ++r) {
    for (int c = 0; c < ours.columns; ++c) {
      const RefCell &o = ours.At(r, c), &x = a.At(r, c), &y = b.At(r, c);
      // Looks count only for a cell whose character the references agree on.
      if (x.ch != y.ch) continue;
      if (o.ch != x.ch) add("char", r, c, static_cast<long>(x.ch), static_cast<long>(o.ch));
      // Blanks: each emulator keeps other parts of the pen in erased cells
      // (libvterm all of it, xterm the background); only the background shows.
      if (o.ch == U' ' && x.ch == U' ') {
        if (x.bg == y.bg && o.bg != x.bg) add("bg", r, c, x.bg, o.bg);
        continue;
      }
      // Only one reference tells invisible text apart.
      const unsigned of = o.flags & ~kRefInvisible, xf = x.flags & ~kRefInvisible, yf = y.flags & ~kRefInvisible;
      if (xf == yf && of != xf) add("attr", r, c, xf, of);
      if (x.fg == y.fg && o.fg != x.fg) add("fg", r, c, x.fg, o.fg);
      if (x.bg == y.bg && o.bg != x.bg) add("bg", r, c, x.bg, o.bg);
    }
  }
  return diffs;
}

AllowList AllowList::Load(const std::string& path) {
  AllowList list;
  std::istringstream in(ReadFile(path));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string stream, aspect;
    if (words >> stream >> aspect) list.entries_.emplace_back(stream, aspect);
  }
  return list;
}

bool AllowList::Allows(const Difference& d) const {
  for (const auto& [stream, aspect] : entries_) {
    const bool nameMatches = !stream.empty() && stream.back() == '*'
                                 ? d.stream.compare(0, stream.size() - 1, stream, 0, stream.size() - 1) == 0
                                 : d.stream == stream;
    if (nameMatches && (aspect == "all" || aspect == d.aspect || aspect == d.aspect + "=" + std::to_string(d.want)))
      return true;
  }
  return false;
}

}  // namespace corvina::test
