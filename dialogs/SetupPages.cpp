#include "dialogs/SetupPages.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>

#include "config/PersistentData.h"
#include "config/StoreTexts.h"
#include "config/TerminalTypes.h"
#include "dialogs/DialogTexts.h"
#include "keyboard/Toolbar.h"
#include "platform/Format.h"
#include "platform/IniFile.h"

namespace corvina::dialogs {

using platform::Format;

namespace {

using Profile = CCorvinaSessionProfile;

constexpr const char* kCursorShapes[] = {"Solid", "Underscore", "Vertical Bar"};
constexpr const char* kCrossHairStyles[] = {"Horizontal", "Vertical", "Both"};
constexpr const char* kSecurityChoices[] = {"No SSL", "SSLv2", "SSLv3", "TLSv1"};
constexpr char kNoShortName[] = "None";
constexpr char kPrinterDefault[] = "Application Default";
constexpr char kPrinterAppend[] = "<<Disk File: append>>";
constexpr char kPrinterIncremental[] = "<<Disk File: incremental>>";
constexpr char kPrintFileChoice[] = "file:";
constexpr int kMaxSessionSlots = 10;

template <std::size_t N>
std::vector<std::string> Choices(const char* const (&list)[N]) {
  return {std::begin(list), std::end(list)};
}

int IndexOf(const std::vector<std::string>& list, const std::string& text) {
  auto it = std::find(list.begin(), list.end(), text);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

Field Text(std::string id, std::string label, std::string Profile::*member, const char* emptyMessage = nullptr) {
  Field f{std::move(id), std::move(label)};
  f.get = [member](const Profile& p) { return p.*member; };
  f.set = [member, emptyMessage](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    if (emptyMessage != nullptr && text.empty()) return std::string(emptyMessage);
    p.*member = text;
    return std::string();
  };
  return f;
}

Field Bit(std::string id, std::string label, std::uint32_t Profile::*member, std::uint32_t bit) {
  Field f{std::move(id), std::move(label), FieldType::kCheck};
  f.get = [member, bit](const Profile& p) { return std::string((p.*member & bit) ? "1" : "0"); };
  f.set = [member, bit](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    p.*member = text == "1" ? (p.*member | bit) : (p.*member & ~bit);
    return std::string();
  };
  return f;
}

// A 16-bit count with its own range; the message names the field.
template <typename T>
Field Number(std::string id, std::string label, T Profile::*member, long low, long high) {
  Field f{std::move(id), label};
  f.get = [member](const Profile& p) { return std::to_string(p.*member); };
  f.set = [member, low, high, label](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    const auto value = ParseBoundedNumber(text, low, high, 5);
    if (!value) return Format(texts::kNumberRange, static_cast<int>(low), static_cast<int>(high), label.c_str());
    p.*member = static_cast<T>(*value);
    return std::string();
  };
  return f;
}

Field ReadOnly(std::string id, std::string label, std::function<std::string(const Profile&)> get) {
  Field f{std::move(id), std::move(label), FieldType::kReadOnly};
  f.get = std::move(get);
  return f;
}

Field WithButton(Field f, std::string button) {
  f.button = std::move(button);
  return f;
}

Field InGroup(Field f, std::string group) {
  f.group = std::move(group);
  return f;
}

Field Enabled(Field f, bool enabled) {
  f.enabled = enabled;
  return f;
}

// A choice that stands for a few bits of an option word: choice n is `values[n]`.
Field BitChoice(std::string id, std::string label, std::uint32_t Profile::*member, std::uint32_t mask,
                std::vector<std::string> choices, std::vector<std::uint32_t> values) {
  Field f{std::move(id), std::move(label), FieldType::kChoice, choices};
  f.get = [=](const Profile& p) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      if ((p.*member & mask) == values[i]) return choices[i];
    }
    return std::string();
  };
  f.set = [=](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    const int i = IndexOf(choices, text);
    if (i >= 0) p.*member = (p.*member & ~mask) | values[static_cast<std::size_t>(i)];
    return std::string();
  };
  return f;
}

std::vector<std::string> FamilyNames(const CCorvinaPersistentData& store, ObjectKind kind, unsigned terminalKind) {
  std::vector<std::string> names;
  const unsigned family = FamilyType(terminalKind);
  for (const auto& [key, object] : store.Objects(kind)) {
    if (object->TypeCode() == family && family != 0) names.push_back(object->name);
  }
  return names;
}

// The stored name as the list spells it, or "" when the list lacks it.
Field FamilyChoice(std::string id, std::string label, std::string Profile::*member, std::vector<std::string> names,
                   const char* noneMessage) {
  Field f{std::move(id), std::move(label), FieldType::kChoice, names};
  f.get = [member, names](const Profile& p) {
    for (const auto& n : names) {
      if (NameKey(n) == NameKey(p.*member)) return n;
    }
    return std::string();
  };
  f.set = [member, names, noneMessage](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    if (IndexOf(names, text) < 0) return std::string(noneMessage);
    p.*member = text;
    return std::string();
  };
  return f;
}

CCorvinaToolbar* KeypadToolbar(CCorvinaPersistentData& store, const Profile& p) {
  return dynamic_cast<CCorvinaToolbar*>(store.Find(ObjectKind::kToolbar, p.keypadToolbarName));
}

std::string LuLabel(unsigned kind) {
  if (Is3270Family(kind)) return "Resource Name";
  if (Is5250Family(kind)) return "Device Name";
  return "DEC Answerback";
}

std::string SizeText(int rows, int columns) {
  for (const char* size : kScreenSizes) {
    if (std::string(size) == Format("%d x %d", rows, columns)) return size;
  }
  return "Custom";
}

Page HostPage(const Profile& profile, const PageContext& context) {
  Page page{PageId::kHost, texts::kPageNames[0], 901};
  auto& f = page.fields;
  f.push_back(Text("host", "Host Name:", &Profile::host, texts::kEnterHost));
  Field port{"port", "Port:"};
  port.get = [](const Profile& p) { return std::to_string(p.port); };
  port.set = [](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    const auto value = ParseDialogPort(text);
    if (!value) return std::string(texts::kEnterPort);
    p.port = *value;
    return std::string();
  };
  f.push_back(std::move(port));
  f.push_back(WithButton(ReadOnly("codePage", "Code Page:", [](const Profile& p) { return p.codePageFile; }),
                         texts::kBrowseButton));
  f.push_back(WithButton(Text("script", "Script File:", &Profile::scriptFile), texts::kBrowseButton));
  f.push_back(WithButton(Text("log", "Log File:", &Profile::logFile), texts::kBrowseButton));
  f.push_back(WithButton(Text("clipboard", "Clipboard File:", &Profile::clipboardFile), texts::kBrowseButton));
  const int slots = std::clamp(context.store.maximumSessions, 1, kMaxSessionSlots);
  Field session{"session", "Session Number:"};
  session.get = [](const Profile& p) { return p.sessionNumber < 1 ? std::string() : std::to_string(p.sessionNumber); };
  session.set = [slots](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    if (text.empty()) {
      p.sessionNumber = -1;
      return std::string();
    }
    const auto value = ParseBoundedNumber(text, 1, slots, 2);
    if (!value) return Format(texts::kBadSessionNumber, slots);
    p.sessionNumber = static_cast<std::int16_t>(*value);
    return std::string();
  };
  f.push_back(std::move(session));
  f.push_back(Number("keepAlive", "Keep-alive Interval:", &Profile::keepAliveInterval, 0, 32767));
  const std::string options = "Host Options";
  f.push_back(InGroup(Bit("connectAtStartup", "Connect at startup", &Profile::hostOptions, kHostConnectAtStartup), options));
  f.push_back(InGroup(Bit("reconnect", "Reconnect if disconnected by host:", &Profile::hostOptions, kHostReconnect), options));
  f.push_back(InGroup(Number("reconnectDelay", "Delay:", &Profile::reconnectDelay, 0, 99), options));
  f.push_back(InGroup(Bit("bringToTop", "Bring to top when host updates screen", &Profile::hostOptions, kHostBringToTop), options));
  f.push_back(InGroup(Bit("suppressAlarms", "Suppress alarms from host", &Profile::hostOptions, kHostSuppressAlarms), options));
  f.push_back(BitChoice("ssl", "SSL", &Profile::hostOptions, kHostSecurityMask, Choices(kSecurityChoices),
                        {kHostSecurityNone, kHostSecuritySslV2, kHostSecuritySslV3, kHostSecurityTlsV1}));
  const bool printer = profile.terminalType == kKind3270Printer || profile.terminalType == kKind5250Printer;
  std::vector<std::string> letters{kNoShortName};
  for (char c = 'A'; c <= 'Z'; ++c) letters.emplace_back(1, c);
  Field tallis{"tallis", "WinHLLAPI Short Name Session ID:", FieldType::kChoice, letters};
  tallis.enabled = !printer;
  tallis.get = [printer](const Profile& p) {
    return !printer && p.tallisShortName >= 'A' && p.tallisShortName <= 'Z' ? std::string(1, p.tallisShortName)
                                                                             : std::string(kNoShortName);
  };
  tallis.set = [printer](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    p.tallisShortName = !printer && text.size() == 1 && text[0] >= 'A' && text[0] <= 'Z' ? text[0] : ' ';
    return std::string();
  };
  f.push_back(std::move(tallis));
  return page;
}

Page TerminalPage(const Profile& profile, const PageContext& context) {
  Page page{PageId::kTerminal, texts::kPageNames[1], 902};
  auto& f = page.fields;
  CCorvinaTerminalTypes& types = context.store.TerminalTypes();
  const bool locked = context.inUse;
  Field type{"type", "Terminal Type", FieldType::kChoice, Choices(kSetupTerminalTypes)};
  type.enabled = !locked;
  type.get = [](const Profile& p) { return std::string(TerminalShortName(p.terminalType)); };
  type.set = [locked](const std::string& text, const FieldValues&, const Profile&, Profile&) {
    if (!locked && TerminalCodeOfShortName(text) == 0) return std::string(texts::kSelectTerminalType);
    return std::string();
  };
  f.push_back(std::move(type));
  Field size{"size", "Screen Size", FieldType::kChoice, Choices(kScreenSizes)};
  size.enabled = !locked;
  size.get = [](const Profile& p) { return SizeText(p.rows, p.columns); };
  size.set = [locked, &types](const std::string& text, const FieldValues& all, const Profile&, Profile& p) {
    if (locked) return std::string();
    if (IndexOf(Choices(kScreenSizes), text) < 0) return std::string(texts::kSelectScreenSize);
    int rows = 0, columns = 0;
    if (text == "Custom") {
      auto field = [&](const char* id) { auto it = all.find(id); return it == all.end() ? std::string() : it->second; };
      const auto r = ParseBoundedNumber(field("rows"), kCustomRowsMin, kCustomRowsMax, 2);
      if (!r) return Format(texts::kNumberRange, kCustomRowsMin, kCustomRowsMax, "Rows:");
      const auto c = ParseBoundedNumber(field("columns"), kCustomColumnsMin, kCustomColumnsMax, 3);
      if (!c) return Format(texts::kNumberRange, kCustomColumnsMin, kCustomColumnsMax, "Columns:");
      rows = static_cast<int>(*r);
      columns = static_cast<int>(*c);
    } else {
      std::sscanf(text.c_str(), "%d x %d", &rows, &columns);
    }
    const std::string shortName = all.count("type") ? all.at("type") : std::string();
    const unsigned code = TerminalCodeOfShortName(shortName);
    if (code == p.terminalType && rows == p.rows && columns == p.columns) return std::string();
    if (!p.SetTerminalType(types, code, rows, columns)) return Format(texts::kNoSuchSize, shortName.c_str(), rows, columns);
    return std::string();
  };
  f.push_back(std::move(size));
  Field rows{"rows", "Rows:"};
  rows.get = [](const Profile& p) { return std::to_string(p.rows); };
  rows.enabled = !locked;
  f.push_back(std::move(rows));
  Field columns{"columns", "Columns:"};
  columns.get = [](const Profile& p) { return std::to_string(p.columns); };
  columns.enabled = !locked;
  f.push_back(std::move(columns));
  Field telnet{"telnetType", "Telnet Terminal Type:"};
  telnet.get = [](const Profile& p) { return p.telnetTerminalType; };
  telnet.set = [](const std::string& text, const FieldValues&, const Profile& before, Profile& p) {
    if (text.empty()) return std::string(texts::kEnterTelnetType);
    // A new terminal brings its own Telnet type unless one was typed.
    const bool newTerminal = before.terminalType != p.terminalType || before.rows != p.rows || before.columns != p.columns;
    if (!newTerminal || text != before.telnetTerminalType) p.telnetTerminalType = text;
    return std::string();
  };
  f.push_back(std::move(telnet));
  const unsigned kind = profile.terminalType;
  f.push_back(Text("lu", LuLabel(kind), &Profile::luName));
  f.push_back(Bit("computerName", "Use Computer Name", &Profile::terminalOptions, kTermComputerNameAsLu));
  f.push_back(Enabled(Bit("associate", "CorvinaE Associate", &Profile::terminalOptions, kTermCorvinaEAssociate),
                      kind == kKind3270Printer));
  if (Is3270Family(kind)) {
    const std::string g = "3270 Options";
    f.push_back(InGroup(Bit("nullSpace", "Null/space processing", &Profile::terminalOptions, kTermNullSpace), g));
    f.push_back(InGroup(Bit("noAutowrap", "Suppress autowrap", &Profile::terminalOptions, kTermSuppressAutowrap), g));
    f.push_back(InGroup(Bit("wholeField", "Whole-field delete", &Profile::terminalOptions, kTermWholeFieldDelete), g));
    f.push_back(InGroup(Bit("noCorvinaE", "Disable CorvinaE", &Profile::terminalOptions, kTermDisableCorvinaE), g));
  } else if (Is5250Family(kind)) {
    const std::string g = "5250 Options";
    f.push_back(InGroup(Bit("noSeparators", "No column separators", &Profile::terminalOptions, kTermNoColumnSeparators), g));
    f.push_back(InGroup(Bit("monochrome", "Monochrome display", &Profile::terminalOptions, kTermMonochrome), g));
    f.push_back(InGroup(Bit("noSteadyCursor", "Disable non-blink cursor", &Profile::terminalOptions,
                            kTermDisableNonBlinkCursor), g));
  } else {
    const std::string g = "ANSI/VT Options";
    f.push_back(InGroup(Bit("sendCr", "Send CR for CR/LF", &Profile::terminalOptions, kTermSendCrForCrLf), g));
    f.push_back(InGroup(Bit("lineWrap", "Enable line wrap", &Profile::terminalOptions, kTermLineWrap), g));
    f.push_back(InGroup(Bit("localEcho", "Local Echo", &Profile::terminalOptions, kTermLocalEcho), g));
  }
  f.push_back(Number("scrollBack", "Scrollback lines:", &Profile::scrollBackLines, 0, 32767));
  f.push_back(Bit("identifyFields", "Identify input fields", &Profile::terminalOptions, kTermIdentifyInputFields));
  return page;
}

Page ColorsPage(const Profile& profile, const PageContext& context) {
  Page page{PageId::kColors, texts::kPageNames[2], 903};
  page.fields.push_back(FamilyChoice("scheme", "Color Scheme", &Profile::colorSchemeName,
                                     FamilyNames(context.store, ObjectKind::kColorScheme, profile.terminalType),
                                     store_texts::kSelectColorScheme));
  return page;
}

std::vector<std::uint32_t> ShapeValues(std::uint32_t unit) { return {0, unit, 2 * unit}; }

Page DisplayPage(const Profile&, const PageContext&) {
  Page page{PageId::kDisplay, texts::kPageNames[3], 904};
  auto& f = page.fields;
  f.push_back(ReadOnly("font", "Screen Font", [](const Profile& p) {
    return Format("%s - %dx%d", p.screenFont.faceName.c_str(), p.screenFontSize2, p.screenFontSize1);
  }));
  f.push_back(Bit("scaleFont", "Scale font to fit terminal window", &Profile::fontOptions, kFontScaleToWindow));
  const std::string normal = "Normal Cursor", insert = "Insert Mode Cursor";
  f.push_back(InGroup(BitChoice("cursor", "Shape", &Profile::displayOptions, kDisplayCursorShapeMask,
                                Choices(kCursorShapes), ShapeValues(1)), normal));
  f.push_back(InGroup(Bit("cursorBlink", "Blink", &Profile::displayOptions, kDisplayCursorBlinks), normal));
  f.push_back(InGroup(Bit("cursorCross", "Cross Hair", &Profile::displayOptions, kDisplayCrossHairNormal), normal));
  f.push_back(InGroup(BitChoice("insertCursor", "Shape", &Profile::displayOptions, kDisplayInsertCursorShapeMask,
                                Choices(kCursorShapes), ShapeValues(0x1000)), insert));
  f.push_back(InGroup(Bit("insertBlink", "Blink", &Profile::displayOptions, kDisplayInsertCursorBlinks), insert));
  f.push_back(InGroup(Bit("insertCross", "Cross Hair", &Profile::displayOptions, kDisplayCrossHairInsert), insert));
  f.push_back(BitChoice("crossStyle", "Cross Hair Style", &Profile::displayOptions,
                        kDisplayCrossHairHorizontal | kDisplayCrossHairVertical, Choices(kCrossHairStyles),
                        {kDisplayCrossHairHorizontal, kDisplayCrossHairVertical, 0}));
  f.push_back(Bit("solidFrame", "Solid terminal window frame", &Profile::displayOptions, kDisplaySolidFrame));
  f.push_back(Bit("attributes", "Display attribute characters", &Profile::displayOptions, kDisplayAttributeChars));
  f.push_back(Bit("blinkReverse", "Display blink fields as reverse video", &Profile::displayOptions,
                  kDisplayBlinkAsReverse));
  f.push_back(Bit("oia", "Display Operator Information Area in terminal window", &Profile::displayOptions,
                  kDisplayOiaInWindow));
  return page;
}

// What a typed printer entry may be: "file:" and an absolute path of a file
// (not a folder), or a destination name the scheduler would take.
std::string PrintDestinationProblem(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return texts::kBadPrinterName;
  }
  if (text.rfind(kPrintFileChoice, 0) == 0) {
    const std::string path = text.substr(sizeof(kPrintFileChoice) - 1);
    if (path.empty()) return texts::kEnterFileName;
    if (path.front() != '/' || path.back() == '/') return texts::kPrintFileNotAbsolute;
    return std::string();
  }
  // Destination names: printable, no blank, slash or '#', at most 127 bytes.
  if (text.empty() || text.size() > 127 || text.find_first_of(" /#\\") != std::string::npos)
    return texts::kBadPrinterName;
  return texts::kPrinterNotListed;
}

Page PrinterPage(const Profile&, const PageContext& context) {
  Page page{PageId::kPrinter, texts::kPageNames[4], 905};
  auto& f = page.fields;
  std::vector<std::string> printers{kPrinterDefault, kPrinterAppend, kPrinterIncremental};
  for (const std::string& name : context.printers) {
    if (!name.empty() && IndexOf(printers, name) < 0) printers.push_back(name);
  }
  printers.push_back(kPrintFileChoice);
  Field printer{"printer", "Printer:", FieldType::kChoice, printers};
  printer.get = [](const Profile& p) {
    if (p.printOptions & kPrintToFile) return std::string((p.printOptions & kPrintNewFileEachTime) ? kPrinterIncremental : kPrinterAppend);
    return p.printerName.empty() ? std::string(kPrinterDefault) : p.printerName;
  };
  printer.editable = true;  // for "file:PATH"
  printer.set = [printers](const std::string& text, const FieldValues&, const Profile& before, Profile& p) {
    // A name the profile had stays even when the scheduler does not list it now.
    const bool file = text.rfind(kPrintFileChoice, 0) == 0;
    if (file || (IndexOf(printers, text) < 0 && text != before.printerName)) {
      if (std::string problem = PrintDestinationProblem(text); !problem.empty()) return problem;
    }
    p.printOptions &= ~(kPrintToFile | kPrintNewFileEachTime);
    if (text == kPrinterAppend) {
      p.printOptions |= kPrintToFile;
    } else if (text == kPrinterIncremental) {
      p.printOptions |= kPrintToFile | kPrintNewFileEachTime;
    } else {
      p.printerName = text == kPrinterDefault ? std::string() : text;
    }
    return std::string();
  };
  f.push_back(std::move(printer));
  Field file = Text("file", "Filename:", &Profile::printerFile);
  file.set = [](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    // The Printer field was stored first.
    if ((p.printOptions & (kPrintToFile | kPrintNewFileEachTime)) && text.empty()) return std::string(texts::kEnterFileName);
    p.printerFile = text;
    return std::string();
  };
  f.push_back(WithButton(std::move(file), texts::kBrowseButton));
  f.push_back(WithButton(ReadOnly("font", "Font:", [](const Profile& p) {
    return Format("%s - %dpt", p.printerFont.faceName.c_str(), static_cast<int>(p.printerFontPointSize));
  }), texts::kChangeButton));
  f.push_back(Bit("printOia", "Print Operator Information Area", &Profile::printOptions, kPrintOia));
  f.push_back(Bit("center", "Center Print Screen output on page", &Profile::printOptions, kPrintCenter));
  f.push_back(Bit("monochrome", "Monochrome Print Screen", &Profile::printOptions, kPrintMonochrome));
  f.push_back(Bit("abortDialog", "Display Abort dialog while printing", &Profile::printOptions, kPrintAbortDialog));
  f.push_back(Bit("raw", "Send raw data to printer", &Profile::printOptions, kPrintRaw));
  f.push_back(Bit("nullLines", "Print null lines as blank lines", &Profile::printOptions, kPrintNullLinesAsBlank));
  f.push_back(Bit("noFormFeed", "Suppress initial form feed", &Profile::printOptions, kPrintNoInitialFormFeed));
  f.push_back(Text("header", "Print Screen header:", &Profile::printScreenHeader));
  f.push_back(Text("footer", "Print Screen footer:", &Profile::printScreenFooter));
  return page;
}

Page KeyboardPage(const Profile& profile, const PageContext& context) {
  Page page{PageId::kKeyboard, texts::kPageNames[5], 906};
  auto& f = page.fields;
  f.push_back(FamilyChoice("map", "Keyboard Map Name",
                           &Profile::keyboardMapName,
                           FamilyNames(context.store, ObjectKind::kKeyboardMap, profile.terminalType),
                           texts::kSelectKeyboardMap));
  const std::string g = "Type-ahead";
  f.push_back(InGroup(Number("typeAhead", "Buffer Size:", &Profile::typeAheadBufferSize, 0, 32767), g));
  f.push_back(InGroup(Bit("noTypeAhead", "Disable", &Profile::keyboardOptions, kKeyboardDisableTypeAhead), g));
  f.push_back(Bit("destructive", "Destructive Backspace", &Profile::keyboardOptions, kKeyboardDestructiveBackspace));
  f.push_back(Enabled(Bit("numeric", "Respect numeric fields", &Profile::keyboardOptions, kKeyboardRespectNumeric),
                      Is3270Family(profile.terminalType)));
  f.push_back(Bit("lockOnError", "Lock keyboard on operator error", &Profile::keyboardOptions, kKeyboardLockOnError));
  f.push_back(Bit("quietError", "Suppress alarm on operator error", &Profile::keyboardOptions,
                  kKeyboardSuppressErrorAlarm));
  f.push_back(Bit("typematic", "Typematic AID keys", &Profile::keyboardOptions, kKeyboardTypematicAid));
  return page;
}

Page ToolbarsPage(const Profile& profile, const PageContext& context) {
  Page page{PageId::kToolbars, texts::kPageNames[6], 907};
  auto& f = page.fields;
  f.push_back(WithButton(Bit("standard", "Standard toolbar", &Profile::displayOptions, kDisplayStandardToolbar),
                         texts::kCustomizeButton));
  f.push_back(Bit("statusBar", "Status bar", &Profile::displayOptions, kDisplayStatusBar));
  f.push_back(Bit("keypad", "Keypad toolbar", &Profile::displayOptions, kDisplayKeypadToolbar));
  f.push_back(FamilyChoice("keypadName", "Keypad Toolbar Name", &Profile::keypadToolbarName,
                           FamilyNames(context.store, ObjectKind::kToolbar, profile.terminalType),
                           texts::kSelectKeypadToolbar));
  // These two belong to the chosen toolbar, which is saved when they change.
  CCorvinaPersistentData* store = &context.store;
  Field dockable{"dockable", "Dockable", FieldType::kCheck};
  dockable.get = [store](const Profile& p) {
    const auto* bar = KeypadToolbar(*store, p);
    return std::string(bar && bar->dockable ? "1" : "0");
  };
  dockable.set = [store](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    if (auto* bar = KeypadToolbar(*store, p); bar && bar->dockable != (text == "1")) {
      bar->dockable = text == "1";
      bar->modified = true;
    }
    return std::string();
  };
  f.push_back(std::move(dockable));
  const std::string columnsLabel = "Fixed width: number of columns";
  Field columns{"columns", columnsLabel};
  columns.get = [store](const Profile& p) {
    const auto* bar = KeypadToolbar(*store, p);
    return std::to_string(bar ? bar->columns : 0);
  };
  columns.set = [store, columnsLabel](const std::string& text, const FieldValues&, const Profile&, Profile& p) {
    const auto value = ParseBoundedNumber(text, 0, kMaxToolbarColumns, 2);
    if (!value) return Format(texts::kNumberRange, 0, kMaxToolbarColumns, columnsLabel.c_str());
    if (auto* bar = KeypadToolbar(*store, p); bar && bar->columns != *value) {
      bar->columns = static_cast<int>(*value);
      bar->modified = true;
    }
    return std::string();
  };
  f.push_back(std::move(columns));
  return page;
}

}  // namespace

bool SameSettings(const CCorvinaSessionProfile& a, const CCorvinaSessionProfile& b) {
  platform::IniFile left, right;
  a.WriteTo(left);
  b.WriteTo(right);
  const auto keys = left.Keys(kSessionProfileSection);
  if (keys != right.Keys(kSessionProfileSection)) return false;
  for (const auto& key : keys) {
    if (left.GetString(kSessionProfileSection, key) != right.GetString(kSessionProfileSection, key)) return false;
  }
  return true;
}

std::optional<long> ParseBoundedNumber(const std::string& text, long low, long high, std::size_t digits) {
  if (text.empty() || text.size() > digits) return std::nullopt;
  long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.front() == '-' || text.front() == '+')
    return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<int> ParseDialogPort(const std::string& text) {
  const auto value = ParseBoundedNumber(text, 1, 65535, 5);
  return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

std::optional<app::FileChoice> FileBrowseFor(PageId page, const std::string& fieldId,
                                             const CCorvinaPersistentData& store, const std::string& text) {
  app::FileChoice c;
  if (page == PageId::kHost && fieldId == "script") {
    c = app::ScriptFileChoice(store.scriptExtension, store.DataFolder());
  } else if (page == PageId::kHost && fieldId == "log") {
    const std::string& ext = store.logExtension;
    c.title = Format(texts::kLogFileTitle, texts::kProduct);
    c.filter = Format(texts::kLogFilter, ext.c_str(), ext.c_str());
    c.defaultExtension = ext;
  } else if (page == PageId::kHost && fieldId == "clipboard") {
    c.title = Format(texts::kClipboardFileTitle, texts::kProduct);
    c.filter = texts::kTextFilter;
    c.defaultExtension = "txt";
  } else if (page == PageId::kPrinter && fieldId == "file") {
    c.title = Format(texts::kPrinterFileTitle, texts::kProduct);
    c.filter = Format(texts::kPrinterFilter, "txt", "txt");
    c.defaultExtension = "txt";
    c.defaultName = store.DataFolder() + "*.txt";
  } else {
    return std::nullopt;
  }
  c.folder = store.DataFolder();
  if (!text.empty()) c.defaultName = text;
  return c;
}

FieldValues Page::Load(const CCorvinaSessionProfile& profile) const {
  FieldValues values;
  for (const Field& field : fields) values[field.id] = field.get ? field.get(profile) : std::string();
  return values;
}

std::optional<Refusal> Page::Store(const FieldValues& values, CCorvinaSessionProfile& profile) const {
  CCorvinaSessionProfile copy(profile);
  for (const Field& field : fields) {
    if (!field.set || !field.enabled) continue;
    auto it = values.find(field.id);
    const std::string text = it == values.end() ? std::string() : it->second;
    if (std::string message = field.set(text, values, profile, copy); !message.empty())
      return Refusal{std::move(message), field.id};
  }
  copy.modified = profile.modified || !SameSettings(copy, profile);
  profile = std::move(copy);
  return std::nullopt;
}

const Field* Page::Find(const std::string& id) const {
  for (const Field& field : fields) {
    if (field.id == id) return &field;
  }
  return nullptr;
}

Page BuildPage(PageId id, const CCorvinaSessionProfile& profile, const PageContext& context) {
  switch (id) {
    case PageId::kHost: return HostPage(profile, context);
    case PageId::kTerminal: return TerminalPage(profile, context);
    case PageId::kColors: return ColorsPage(profile, context);
    case PageId::kDisplay: return DisplayPage(profile, context);
    case PageId::kPrinter: return PrinterPage(profile, context);
    case PageId::kKeyboard: return KeyboardPage(profile, context);
    case PageId::kToolbars: return ToolbarsPage(profile, context);
  }
  return {};
}

}  // namespace corvina::dialogs
