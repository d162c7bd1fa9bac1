#include "automation/DdeProtocol.h"

#include <array>

#include "config/NamedObject.h"

namespace corvina::automation {

namespace {

// Splits the first word off `rest`.
std::string_view Word(std::string_view& rest) {
  auto space = rest.find(' ');
  std::string_view w = rest.substr(0, space);
  rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
  return w;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr unsigned char kAttributeMin = 0xC0;
constexpr unsigned char kProtected = 0x20;

}  // namespace

bool DdeSameName(std::string_view a, std::string_view b) { return a.size() == b.size() && NameKey(a) == NameKey(b); }

std::string DdeEscape(std::string_view text) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || c == '%') {
      out.push_back('%');
      out.push_back(kDigits[c >> 4]);
      out.push_back(kDigits[c & 15]);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

std::optional<std::string> DdeUnescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int hi = Hex(text[i + 1]), lo = Hex(text[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<char>(hi << 4 | lo));
    i += 2;
  }
  return out;
}

std::optional<DdeRequest> ParseDdeRequest(std::string_view line, std::string* error) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view rest = line;
  const std::string_view verb = Word(rest);
  struct Verb {
    const char* name;
    DdeVerb verb;
    int words;  // 0: none; 1: one word; 2: a word and the rest; 3: the rest
  };
  static const std::array<Verb, 7> kVerbs = {{{"CONNECT", DdeVerb::Connect, 2},
                                              {"REQUEST", DdeVerb::Request, 1},
                                              {"POKE", DdeVerb::Poke, 2},
                                              {"EXECUTE", DdeVerb::Execute, 3},
                                              {"ADVISE", DdeVerb::Advise, 1},
                                              {"UNADVISE", DdeVerb::Unadvise, 1},
                                              {"DISCONNECT", DdeVerb::Disconnect, 0}}};
  for (const Verb& v : kVerbs) {
    if (!DdeSameName(verb, v.name)) continue;
    DdeRequest r;
    r.verb = v.verb;
    if (v.words == 0) {
      if (!rest.empty()) break;
      return r;
    }
    std::string_view first = v.words == 3 ? rest : Word(rest);
    if (first.empty() || (v.words == 1 && !rest.empty())) break;
    auto a = DdeUnescape(first);
    auto b = DdeUnescape(rest);
    if (!a || !b) {
      *error = "bad % escape";
      return std::nullopt;
    }
    r.first = std::move(*a);
    if (v.words == 2) {
      // Connect needs its topic; a poke may be empty.
      if (v.verb == DdeVerb::Connect && b->empty()) break;
      r.second = std::move(*b);
    }
    return r;
  }
  *error = "not a request: " + std::string(verb.substr(0, 32));
  return std::nullopt;
}

DdeItem ParseDdeItem(std::string_view item) {
  static const std::array<std::pair<const char*, DdeItem::Kind>, 9> kNames = {{{"PS", DdeItem::PS},
                                                                               {"Cursor", DdeItem::Cursor},
                                                                               {"Rows", DdeItem::Rows},
                                                                               {"Columns", DdeItem::Columns},
                                                                               {"Emulator", DdeItem::Emulator},
                                                                               {"Keyboard", DdeItem::Keyboard},
                                                                               {"OIA", DdeItem::Oia},
                                                                               {"Keystroke", DdeItem::Keystroke},
                                                                               {"EscChar", DdeItem::EscChar}}};
  for (const auto& [name, kind] : kNames)
    if (DdeSameName(item, name)) return {kind, 0, 0};
  if (item.empty()) return {};
  const char first = static_cast<char>(item[0] & ~0x20);
  if (first != 'R' && first != 'F') return {};
  DdeItem r{first == 'R' ? DdeItem::Row : DdeItem::Field, 0, 0};
  std::string_view digits = item.substr(1);
  if (r.kind == DdeItem::Field && !digits.empty()) {
    const char last = static_cast<char>(digits.back() & ~0x20);
    if (last == 'U' || last == 'P') {
      r.fieldKind = last;
      digits.remove_suffix(1);
    }
  }
  if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string_view::npos)
    return r;
  for (char d : digits) r.number = r.number * 10 + (d - '0');
  return r;
}

std::optional<std::string> DdeFieldText(std::string_view screen, int n, char kind) {
  if (n <= 0 || screen.empty()) return std::nullopt;
  auto isAttribute = [&](std::size_t i) { return static_cast<unsigned char>(screen[i]) >= kAttributeMin; };
  auto wanted = [&](std::size_t i) {
    if (!isAttribute(i)) return false;
    const bool prot = static_cast<unsigned char>(screen[i]) & kProtected;
    return kind == 0 || (kind == 'P') == prot;
  };
  bool any = false;
  int counted = 0;
  for (std::size_t i = 0; i < screen.size(); ++i) {
    if (!isAttribute(i)) continue;
    any = true;
    if (!wanted(i) || ++counted < n) continue;
    std::string text;
    for (std::size_t k = 1; k < screen.size(); ++k) {
      std::size_t at = (i + k) % screen.size();
      if (isAttribute(at)) break;
      text.push_back(screen[at]);
    }
    return text;
  }
  if (!any && n == 1) return std::string(screen);
  return std::nullopt;
}

}  // namespace corvina::automation
