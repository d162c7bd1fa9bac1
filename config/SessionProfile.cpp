#include "config/SessionProfile.h"

#include <unistd.h>

#include <cctype>
#include <climits>
#include <iterator>
#include <vector>

#include "config/ObjectFileName.h"
#include "config/TerminalTypes.h"
#include "platform/Format.h"
#include "platform/IniFile.h"

namespace corvina {

using platform::Format;

namespace {

constexpr std::string_view kSection = kSessionProfileSection;
constexpr int kDefaultPort = 23;
constexpr std::int32_t kDefaultTransferBufferSize = 8192;

// Like atol: leading blanks, an optional sign and decimal digits; anything
// else reads as 0, and overlong numbers stop at the limits.
long LenientNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value > (LONG_MAX - digit) / 10) return negative ? LONG_MIN : LONG_MAX;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

// A number from a file that must lie in [min, max]; anything else is the fallback.
long InRangeOr(long value, long min, long max, long fallback) {
  return value < min || value > max ? fallback : value;
}

// Splits at "," into at most `count` parts, the last taking the rest.
// Missing parts read as empty.
class Fields {
 public:
  Fields(std::string_view text, std::size_t count) {
    while (parts_.size() + 1 < count) {
      const std::size_t comma = text.find(',');
      if (comma == std::string_view::npos) break;
      parts_.push_back(text.substr(0, comma));
      text.remove_prefix(comma + 1);
    }
    parts_.push_back(text);
  }
  std::string_view operator[](std::size_t i) const { return i < parts_.size() ? parts_[i] : std::string_view{}; }
  long Number(std::size_t i, long min, long max, long fallback) const {
    return InRangeOr(LenientNumber((*this)[i]), min, max, fallback);
  }

 private:
  std::vector<std::string_view> parts_;
};

// Option words are written signed ("%ld" of a 32-bit word) but may come back
// unsigned from other writers.
std::uint32_t OptionWord(const platform::IniFile& ini, std::string_view key, std::uint32_t current) {
  const long value = ini.GetInt(kSection, key, static_cast<std::int32_t>(current));
  return static_cast<std::uint32_t>(InRangeOr(value, INT32_MIN, UINT32_MAX, static_cast<std::int32_t>(current)));
}

template <typename T>
T NumberKey(const platform::IniFile& ini, std::string_view key, T current, long min, long max) {
  return static_cast<T>(InRangeOr(ini.GetInt(kSection, key, current), min, max, current));
}

std::string MachineNetworkName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace

std::string FormatFontDescription(const FontDescription& font) {
  return Format("%ld,%ld,%ld,%ld,%ld,%d,%d,%d,%d,%d,%d,%d,%d,", static_cast<long>(font.height),
                static_cast<long>(font.width), static_cast<long>(font.escapement),
                static_cast<long>(font.orientation), static_cast<long>(font.weight), font.italic, font.underline,
                font.strikeOut, font.charSet, font.outPrecision, font.clipPrecision, font.quality,
                font.pitchAndFamily) +
         font.faceName.substr(0, kMaxFaceNameLength);
}

FontDescription ParseFontDescription(std::string_view text) {
  const Fields f(text, 14);
  FontDescription font;
  font.height = f.Number(0, -32768, 32767, 0);
  font.width = f.Number(1, -32768, 32767, 0);
  font.escapement = f.Number(2, -3600, 3600, 0);
  font.orientation = f.Number(3, -3600, 3600, 0);
  font.weight = f.Number(4, 0, 1000, 0);
  std::uint8_t* bytes[] = {&font.italic,       &font.underline,     &font.strikeOut, &font.charSet,
                           &font.outPrecision, &font.clipPrecision, &font.quality,   &font.pitchAndFamily};
  for (std::size_t i = 0; i < std::size(bytes); ++i) *bytes[i] = static_cast<std::uint8_t>(f.Number(5 + i, 0, 255, 0));
  font.faceName = std::string(f[13].substr(0, kMaxFaceNameLength));
  return font;
}

void CCorvinaSessionProfile::NameNewProfile(std::string_view newName, std::string_view logExtension) {
  name = newName;
  fileName.clear();
  connectedSessions = 0;
  logFile = ObjectFileName(newName, logExtension);
  modified = true;
}

void CCorvinaSessionProfile::AssignSettings(const CCorvinaSessionProfile& working) {
  const std::string keepFile = fileName;
  const std::uint16_t keepCount = connectedSessions;
  *this = working;
  fileName = keepFile;
  connectedSessions = keepCount;
}

bool CCorvinaSessionProfile::SetTerminalType(CCorvinaTerminalTypes& types, unsigned code, int rows, int columns) {
  terminalType = static_cast<std::uint16_t>(code);
  this->rows = static_cast<std::uint16_t>(rows);
  this->columns = static_cast<std::uint16_t>(columns);
  terminalDisplayName = types.DisplayNameFor(code, rows, columns);
  const TerminalTypeRow* row = types.Find(code, rows, columns);
  telnetTerminalType = row ? row->telnetType : std::string();
  const std::string defaultName(DefaultObjectNameForKind(code));
  keyboardMapName = colorSchemeName = keypadToolbarName = defaultName;
  modified = true;
  return row != nullptr;
}

void CCorvinaSessionProfile::SetTerminalByDisplayName(CCorvinaTerminalTypes& types, std::string_view displayName) {
  const TerminalTypeRow* row = types.FindByDisplayName(displayName);
  if (!row) row = types.FindByDisplayName("VT100");  // a built-in row, always there
  SetTerminalType(types, row->code, row->rows, row->columns);
}

bool CCorvinaSessionProfile::ReadFrom(const platform::IniFile& ini, CCorvinaTerminalTypes& types,
                                      const ProfileNameResolver& resolver) {
  CCorvinaSessionProfile p = *this;

  p.name = ini.GetString(kSection, "Name");
  if (p.name.empty()) return false;

  const std::string hostValue = ini.GetString(kSection, "Host");
  const Fields host(hostValue, 2);
  if (host[0].empty()) return false;
  p.host = std::string(host[0]);
  p.port = static_cast<std::int32_t>(host.Number(1, 1, 65535, kDefaultPort));

  // The size must be a built-in one or a custom size the list accepts.
  const std::string typeValue = ini.GetString(kSection, "TerminalType");
  const Fields type(typeValue, 4);
  const unsigned code = TerminalCodeOfShortName(type[0]);
  const int rows = static_cast<int>(type.Number(1, 1, 65535, 0));
  const int columns = static_cast<int>(type.Number(2, 1, 65535, 0));
  if (!p.SetTerminalType(types, code, rows, columns) || type[3].empty()) return false;
  p.telnetTerminalType = std::string(type[3]);

  struct TextKey {
    std::string_view key;
    std::string* field;
  };
  for (const TextKey& text : {TextKey{"LUname", &p.luName}, TextKey{"LanguageFile", &p.codePageFile},
                              TextKey{"ScriptFile", &p.scriptFile}, TextKey{"LogFile", &p.logFile},
                              TextKey{"ClipboardFile", &p.clipboardFile},
                              TextKey{"PrintScreenHeader", &p.printScreenHeader},
                              TextKey{"PrintScreenFooter", &p.printScreenFooter},
                              TextKey{"PrinterFile", &p.printerFile}, TextKey{"DDETopic", &p.ddeTopic},
                              TextKey{"PrinterName", &p.printerName}}) {
    *text.field = ini.GetString(kSection, text.key, *text.field);
  }

  struct NameKey {
    std::string_view key;
    std::string* field;
    ProfileObjectKind kind;
  };
  for (const NameKey& named : {NameKey{"KeyboardMapName", &p.keyboardMapName, ProfileObjectKind::kKeyboardMap},
                               NameKey{"ColorSchemeName", &p.colorSchemeName, ProfileObjectKind::kColorScheme},
                               NameKey{"KeypadToolbarName", &p.keypadToolbarName, ProfileObjectKind::kKeypadToolbar}}) {
    const std::string value = ini.GetString(kSection, named.key);
    if (value.empty()) continue;
    *named.field = !resolver || resolver(value, named.kind) ? value : std::string(DefaultObjectNameForKind(code));
  }

  if (const auto screen = ini.Get(kSection, "ScreenFont")) {
    const Fields f(*screen, 3);
    p.screenFontSize1 = static_cast<std::int16_t>(f.Number(0, 0, 32767, p.screenFontSize1));
    p.screenFontSize2 = static_cast<std::int16_t>(f.Number(1, 0, 32767, p.screenFontSize2));
    p.screenFont = ParseFontDescription(f[2]);
  }
  if (const auto printer = ini.Get(kSection, "PrinterFont")) {
    const Fields f(*printer, 4);
    p.printerFontPointSize = static_cast<std::int16_t>(f.Number(0, 0, 32767, p.printerFontPointSize));
    p.printerFontSize = static_cast<std::int16_t>(f.Number(1, 0, 32767, p.printerFontSize));
    p.printerFontValue = static_cast<std::int32_t>(f.Number(2, INT32_MIN, INT32_MAX, 0));
    p.printerFont = ParseFontDescription(f[3]);
  }

  p.sessionOptions = OptionWord(ini, "SessionOptions", p.sessionOptions);
  p.hostOptions = OptionWord(ini, "HostOptions", p.hostOptions);
  p.terminalOptions = OptionWord(ini, "TerminalOptions", p.terminalOptions);
  p.fontOptions = OptionWord(ini, "FontOptions", p.fontOptions);
  p.printOptions = OptionWord(ini, "PrintOptions", p.printOptions);
  p.displayOptions = OptionWord(ini, "DisplayOptions", p.displayOptions);
  p.keyboardOptions = OptionWord(ini, "KeyboardOptions", p.keyboardOptions);
  p.editOptions = OptionWord(ini, "EditOptions", p.editOptions);
  // -1 means no preferred session; 0 and other negatives mean nothing.
  p.sessionNumber = NumberKey(ini, "SessionNumber", p.sessionNumber, -1, 32767);
  if (p.sessionNumber == 0) p.sessionNumber = -1;
  p.typeAheadBufferSize = NumberKey(ini, "TypeAheadBufferSize", p.typeAheadBufferSize, 0, 32767);
  p.scrollBackLines = NumberKey(ini, "ScrollBackLines", p.scrollBackLines, 0, 32767);
  p.reconnectDelay = NumberKey(ini, "ReconnectDelay", p.reconnectDelay, 0, 99);
  p.keepAliveInterval = NumberKey(ini, "KeepAliveInterval", p.keepAliveInterval, 0, 32767);

  if (const auto transfer = ini.Get(kSection, "FileTransfer")) {
    const Fields f(*transfer, 12);
    FileTransferDefaults& t = p.fileTransfer;
    t.pcFile = std::string(f[0]);
    t.hostFile = std::string(f[1]);
    t.options = std::string(f[2]);
    t.hostCodePageFile = std::string(f[3]);
    t.program = f[4].empty() ? FileTransferDefaults().program : std::string(f[4]);
    t.flags = static_cast<std::uint8_t>(f.Number(5, 0, 255, FileTransferDefaults().flags));
    t.hostSystem = static_cast<std::int32_t>(f.Number(6, 0, 2, 0));
    t.pcDisposition = static_cast<std::int32_t>(f.Number(7, 0, 2, 0));
    t.recordFormat = static_cast<std::int32_t>(f.Number(8, 0, 3, 0));
    t.logicalRecordLength = static_cast<std::int32_t>(f.Number(9, 0, 32760, 0));
    t.blockSize = static_cast<std::int32_t>(f.Number(10, 0, 32760, 0));
    t.bufferSize = static_cast<std::int32_t>(f.Number(11, 1024, 65535, kDefaultTransferBufferSize));
  }

  if (const auto layout = ini.Get(kSection, "PageLayout")) {
    const Fields f(*layout, 6);
    const PageLayout defaults;
    PageLayout& l = p.pageLayout;
    l.leftMargin = static_cast<std::int32_t>(f.Number(0, 0, 32767, defaults.leftMargin));
    l.topMargin = static_cast<std::int32_t>(f.Number(1, 0, 32767, defaults.topMargin));
    l.rightMargin = static_cast<std::int32_t>(f.Number(2, 0, 32767, defaults.rightMargin));
    l.bottomMargin = static_cast<std::int32_t>(f.Number(3, 0, 32767, defaults.bottomMargin));
    l.linesPerPage = static_cast<std::int32_t>(f.Number(4, 1, 32767, defaults.linesPerPage));
    l.columnsPerPage = static_cast<std::int32_t>(f.Number(5, 1, 32767, defaults.columnsPerPage));
  }

  if (const auto tallis = ini.Get(kSection, "TallisId")) {
    const Fields f(*tallis, 2);
    // The letter picks one of the 26 HLLAPI slots.
    const char letter = f[0].size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(f[0][0]))) : ' ';
    p.tallisShortName = letter >= 'A' && letter <= 'Z' ? letter : ' ';
    p.tallisLongName = std::string(f[1]);
  }

  if (p.terminalOptions & kTermComputerNameAsLu) p.luName = MachineNetworkName();

  p.modified = false;
  *this = std::move(p);
  return true;
}

void CCorvinaSessionProfile::WriteTo(platform::IniFile& ini) const {
  auto text = [&ini](std::string_view key, std::string_view value) {
    if (!value.empty()) ini.SetString(kSection, key, value);
  };
  auto number = [&ini](std::string_view key, long value) { ini.SetInt(kSection, key, value); };

  ini.DeleteSection(kSection);
  text("Name", name);
  ini.SetString(kSection, "Host", Format("%s,%d", host.c_str(), static_cast<int>(port)));
  // Line mode (257) has no short name; such a profile reads back as a VT100.
  std::string_view shortName = TerminalShortName(terminalType);
  if (shortName.empty() && IsVtFamily(terminalType)) shortName = TerminalShortName(kKindVt100);
  ini.SetString(kSection, "TerminalType",
                Format("%.*s,%d,%d,%s", static_cast<int>(shortName.size()), shortName.data(), rows, columns,
                       telnetTerminalType.c_str()));
  text("LUname", luName);
  text("LanguageFile", codePageFile);
  text("ScriptFile", scriptFile);
  text("LogFile", logFile);
  text("ClipboardFile", clipboardFile);
  text("KeyboardMapName", keyboardMapName);
  text("ColorSchemeName", colorSchemeName);
  text("KeypadToolbarName", keypadToolbarName);
  ini.SetString(kSection, "ScreenFont",
                Format("%d,%d,", screenFontSize1, screenFontSize2) + FormatFontDescription(screenFont));
  ini.SetString(kSection, "PrinterFont",
                Format("%d,%d,%ld,", printerFontPointSize, printerFontSize, static_cast<long>(printerFontValue)) +
                    FormatFontDescription(printerFont));
  text("PrintScreenHeader", printScreenHeader);
  text("PrintScreenFooter", printScreenFooter);
  text("PrinterFile", printerFile);
  number("SessionOptions", static_cast<std::int32_t>(sessionOptions));
  number("HostOptions", static_cast<std::int32_t>(hostOptions));
  number("TerminalOptions", static_cast<std::int32_t>(terminalOptions));
  number("FontOptions", static_cast<std::int32_t>(fontOptions));
  number("PrintOptions", static_cast<std::int32_t>(printOptions));
  number("DisplayOptions", static_cast<std::int32_t>(displayOptions));
  number("KeyboardOptions", static_cast<std::int32_t>(keyboardOptions));
  number("EditOptions", static_cast<std::int32_t>(editOptions));
  number("SessionNumber", sessionNumber);
  number("TypeAheadBufferSize", typeAheadBufferSize);
  number("ScrollBackLines", scrollBackLines);
  number("ReconnectDelay", reconnectDelay);
  number("KeepAliveInterval", keepAliveInterval);
  if (Is3270Family(terminalType)) {
    const FileTransferDefaults& t = fileTransfer;
    ini.SetString(kSection, "FileTransfer",
                  Format("%s,%s,%s,%s,%s,%d,%d,%d,%d,%d,%d,%d", t.pcFile.c_str(), t.hostFile.c_str(),
                         t.options.c_str(), t.hostCodePageFile.c_str(), t.program.c_str(), t.flags, t.hostSystem,
                         t.pcDisposition, t.recordFormat, t.logicalRecordLength, t.blockSize, t.bufferSize));
  }
  text("DDETopic", ddeTopic);
  text("PrinterName", printerName);
  const PageLayout& l = pageLayout;
  ini.SetString(kSection, "PageLayout",
                Format("%ld,%ld,%ld,%ld,%ld,%ld", static_cast<long>(l.leftMargin), static_cast<long>(l.topMargin),
                       static_cast<long>(l.rightMargin), static_cast<long>(l.bottomMargin),
                       static_cast<long>(l.linesPerPage), static_cast<long>(l.columnsPerPage)));
  if (tallisShortName != ' ') ini.SetString(kSection, "TallisId", Format("%c,%s", tallisShortName, tallisLongName.c_str()));
}

bool CCorvinaSessionProfile::Load(const std::string& dataFolder, const std::string& file, CCorvinaTerminalTypes& types,
                                  const ProfileNameResolver& resolver, std::string* error) {
  const std::string path = JoinPath(dataFolder, file);
  platform::IniFile ini(path);
  if (!ini.Load(error)) return false;
  if (!ReadFrom(ini, types, resolver)) {
    if (error) *error = path + ": not a session profile (missing or invalid Name, Host or TerminalType)";
    return false;
  }
  fileName = file;
  return true;
}

bool CCorvinaSessionProfile::Save(const std::string& dataFolder, const std::string& file, std::string* error) {
  platform::IniFile ini(JoinPath(dataFolder, file));
  if (!ini.Load(error)) return false;
  WriteTo(ini);
  if (!ini.Save(error)) return false;
  fileName = file;
  modified = false;
  return true;
}

}  // namespace corvina
