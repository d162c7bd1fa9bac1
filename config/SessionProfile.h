// A stored description of one host session.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "config/NamedObject.h"

namespace corvina {

namespace platform {
class IniFile;
}

class CCorvinaTerminalTypes;

// Terminal type codes.
enum TerminalKind : std::uint16_t {
  kKind3278 = 16,
  kKind3279 = 17,
  kKind3270Printer = 18,
  kKind5250 = 32,
  kKind5250Printer = 34,
  kKindLineMode = 257,
  kKindAnsi = 258,
  kKindVt100 = 259,
  kKindVt220 = 260,
};

constexpr bool Is3270Family(unsigned kind) { return (kind & 0x10) != 0 && kind < 0x100; }
constexpr bool Is5250Family(unsigned kind) { return (kind & 0x20) != 0 && kind < 0x100; }
constexpr bool IsVtFamily(unsigned kind) { return (kind & 0x100) != 0; }

// Host options bits.
enum : std::uint32_t {
  kHostConnectAtStartup = 0x01,
  kHostReconnect = 0x02,
  kHostBringToTop = 0x04,
  kHostSuppressAlarms = 0x08,
  kHostSecurityMask = 0x0F00,
  kHostSecurityNone = 0x000,
  kHostSecuritySslV2 = 0x100,
  kHostSecuritySslV3 = 0x200,
  kHostSecurityTlsV1 = 0x300,
};

// Terminal options bits.
enum : std::uint32_t {
  kTermSendCrForCrLf = 0x1,
  kTermLineWrap = 0x2,
  kTermLocalEcho = 0x4,
  kTermNullSpace = 0x8,
  kTermNoColumnSeparators = 0x10,
  kTermMonochrome = 0x20,
  kTermSuppressAutowrap = 0x40,
  kTermWholeFieldDelete = 0x80,
  kTermComputerNameAsLu = 0x100,
  kTermDisableCorvinaE = 0x200,
  kTermIdentifyInputFields = 0x400,
  kTermCorvinaEAssociate = 0x800,
  kTermDisableNonBlinkCursor = 0x1000,
};

// Display options bits.
enum : std::uint32_t {
  kDisplayCursorShapeMask = 0x0F,
  kDisplayCursorSolid = 0x0,
  kDisplayCursorUnderscore = 0x1,
  kDisplayCursorVerticalBar = 0x2,
  kDisplayCursorBlinks = 0x10,
  kDisplaySolidFrame = 0x20,
  kDisplayAttributeChars = 0x40,
  kDisplayBlinkAsReverse = 0x80,
  kDisplayOiaInWindow = 0x100,
  kDisplayStandardToolbar = 0x200,
  kDisplayKeypadToolbar = 0x400,
  kDisplayStatusBar = 0x800,
  kDisplayInsertCursorShapeMask = 0xF000,
  kDisplayInsertCursorSolid = 0x0000,
  kDisplayInsertCursorUnderscore = 0x1000,
  kDisplayInsertCursorVerticalBar = 0x2000,
  kDisplayInsertCursorBlinks = 0x10000,
  kDisplayCrossHairNormal = 0x20000,
  kDisplayCrossHairInsert = 0x40000,
  // Cross-hair style: horizontal alone, vertical alone, or neither for both.
  kDisplayCrossHairHorizontal = 0x100000,
  kDisplayCrossHairVertical = 0x200000,
};

// Keyboard options bits.
enum : std::uint32_t {
  kKeyboardDisableTypeAhead = 0x1,
  kKeyboardDestructiveBackspace = 0x2,
  kKeyboardRespectNumeric = 0x4,
  kKeyboardLockOnError = 0x8,
  kKeyboardTypematicAid = 0x10,
  kKeyboardSuppressErrorAlarm = 0x20,
};

// Print options bits.
enum : std::uint32_t {
  kPrintOia = 0x1,
  kPrintLandscape = 0x2,      // set in the page setup
  kPrintMetricMargins = 0x4,  // margins in hundredths of a millimetre, not thousandths of an inch
  kPrintToFile = 0x8,
  kPrintCenter = 0x10,
  kPrintAbortDialog = 0x20,
  kPrintRaw = 0x100,
  kPrintNewFileEachTime = 0x200,  // with kPrintToFile; otherwise the file is appended to
  kPrintNullLinesAsBlank = 0x400,
  kPrintMonochrome = 0x800,
  kPrintNoInitialFormFeed = 0x1000,
};

// Font options bits.
enum : std::uint32_t {
  kFontScaleToWindow = 0x1,
};

// Edit options bits.
enum : std::uint32_t {
  kEditPasteModeMask = 0x0F,
  kEditPasteBlock = 0x1,
  kEditPasteOverlayBlock = 0x2,
  kEditPasteStream = 0x4,
  kEditRubberBandSelection = 0x10,
  kEditFieldAttributeAsTab = 0x20,
  kEditCursorAfterPaste = 0x40,
};

// File-transfer flags byte.
enum : std::uint8_t {
  kTransferScreenImage = 0x02,  // clear: structured-field mode
  kTransferAppend = 0x08,
  kTransferNoTruncate = 0x10,
  kTransferCrLf = 0x20,
  kTransferAscii = 0x40,
};

// A font as the profile file stores it.
struct FontDescription {
  std::int32_t height = 16;
  std::int32_t width = 8;
  std::int32_t escapement = 0;
  std::int32_t orientation = 0;
  std::int32_t weight = 400;
  std::uint8_t italic = 0;
  std::uint8_t underline = 0;
  std::uint8_t strikeOut = 0;
  std::uint8_t charSet = 0;
  std::uint8_t outPrecision = 0;
  std::uint8_t clipPrecision = 0;
  std::uint8_t quality = 0;
  std::uint8_t pitchAndFamily = 1;  // fixed pitch
  std::string faceName = "Courier New";  // at most kMaxFaceNameLength characters
};

inline constexpr std::size_t kMaxFaceNameLength = 31;

// "height,width,escapement,orientation,weight,italic,underline,strikeOut,
// charSet,outPrecision,clipPrecision,quality,pitchAndFamily,faceName".
std::string FormatFontDescription(const FontDescription& font);
// Missing numbers read as 0, and so do numbers out of their field's range.
FontDescription ParseFontDescription(std::string_view text);

struct FileTransferDefaults {
  std::string pcFile;
  std::string hostFile;
  std::string options;
  std::string hostCodePageFile;
  std::string program = "IND$FILE";
  std::uint8_t flags = kTransferCrLf | kTransferAscii;
  std::int32_t hostSystem = 0;      // 0 VM/CMS, 1 MVS/TSO, 2 CICS
  std::int32_t pcDisposition = 0;   // 0 replace, 1 append, 2 prompt
  std::int32_t recordFormat = 0;    // 0 default, 1 fixed, 2 variable, 3 undefined
  std::int32_t logicalRecordLength = 0;
  std::int32_t blockSize = 0;
  std::int32_t bufferSize = 8192;

  bool operator==(const FileTransferDefaults&) const = default;
};

// Where the session window was; not written to the profile file.
struct WindowPlacement {
  std::uint32_t length = 44;
  std::uint32_t flags = 0;
  std::uint32_t showCommand = 0xFFFF;
  std::int32_t minX = 0, minY = 0;
  std::int32_t maxX = 0, maxY = 0;
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct PageLayout {
  std::int32_t leftMargin = 0;
  std::int32_t topMargin = 0;
  std::int32_t rightMargin = 0;
  std::int32_t bottomMargin = 0;
  std::int32_t linesPerPage = 66;
  std::int32_t columnsPerPage = 132;
};

// Kinds of named objects a profile refers to by name.
enum class ProfileObjectKind { kKeyboardMap, kColorScheme, kKeypadToolbar };
// Answers whether the store has an object of that kind and name.
using ProfileNameResolver = std::function<bool(std::string_view name, ProfileObjectKind kind)>;

inline constexpr std::string_view kSessionProfileSection = "Session Profile";

class CCorvinaSessionProfile : public CCorvinaNamedObject {
 public:
  // Copies are deep: every field is a value.

  ObjectKind Kind() const override { return ObjectKind::kSessionProfile; }

  // For a new profile or Save As: the next save writes a file derived from
  // the new name, no session uses it, and the log file follows the name.
  void NameNewProfile(std::string_view newName, std::string_view logExtension);

  // Takes the display name and Telnet terminal type from the list (which may
  // gain a custom row) and resets the keyboard map, colour scheme and keypad
  // toolbar to the kind's defaults. False when the list has no such terminal.
  bool SetTerminalType(CCorvinaTerminalTypes& types, unsigned code, int rows, int columns);
  // Falls back to "VT100" for an unknown display name.
  void SetTerminalByDisplayName(CCorvinaTerminalTypes& types, std::string_view displayName);

  // Reads the "Session Profile" section. Fails, leaving the profile as it
  // was, when Name, Host or TerminalType is missing or invalid. Names the
  // resolver does not know become the kind's defaults; without a resolver
  // every name is kept.
  bool ReadFrom(const platform::IniFile& ini, CCorvinaTerminalTypes& types,
                const ProfileNameResolver& resolver = {});
  // Replaces the "Session Profile" section.
  void WriteTo(platform::IniFile& ini) const;

  // The same on the file `file` in `dataFolder`, which becomes the profile's
  // file name. Save keeps other sections of an existing file and clears the
  // modified flag.
  bool Load(const std::string& dataFolder, const std::string& file, CCorvinaTerminalTypes& types,
            const ProfileNameResolver& resolver = {}, std::string* error = nullptr);
  bool Save(const std::string& dataFolder, const std::string& file, std::string* error = nullptr) override;

  // Takes every setting of a working copy (a dialog's) but keeps what belongs
  // to this stored object: its file name and its connected-session count.
  void AssignSettings(const CCorvinaSessionProfile& working);

  std::string host;
  std::int32_t port = 23;
  std::string terminalDisplayName = "IBM 3279-2 (24x80)";
  std::string codePageFile;
  std::string scriptFile;
  std::string logFile;
  std::string clipboardFile;
  std::string telnetTerminalType = "IBM-3278-2-E";
  std::string luName;
  std::string printScreenHeader;
  std::string printScreenFooter;
  std::string printerFile;

  std::int16_t screenFontSize1 = 16;
  std::int16_t screenFontSize2 = 8;
  FontDescription screenFont;
  std::int16_t printerFontPointSize = 16;
  std::int16_t printerFontSize = 8;
  std::int32_t printerFontValue = 0;
  FontDescription printerFont;

  std::uint32_t sessionOptions = 0;
  std::uint32_t hostOptions = 0;
  std::uint32_t terminalOptions = 0;
  std::uint32_t fontOptions = 1;
  std::uint32_t displayOptions = 2608;
  std::uint32_t keyboardOptions = 2;
  std::uint32_t printOptions = 0;
  std::uint32_t editOptions = 1;

  std::uint16_t terminalType = kKind3279;
  std::uint16_t rows = 24;
  std::uint16_t columns = 80;
  std::int16_t sessionNumber = -1;
  std::uint16_t scrollBackLines = 48;
  std::uint16_t typeAheadBufferSize = 512;
  std::uint16_t reconnectDelay = 0;
  std::uint16_t keepAliveInterval = 0;

  std::string keyboardMapName = "3270 Default";
  std::string colorSchemeName = "3270 Default";
  std::string keypadToolbarName = "3270 Default";
  WindowPlacement windowPlacement;

  FileTransferDefaults fileTransfer;
  std::string ddeTopic;
  std::string printerName;
  PageLayout pageLayout;
  char tallisShortName = ' ';  // 'A' to 'Z', or space for none
  std::string tallisLongName;

  std::uint16_t connectedSessions = 0;

  unsigned SecurityChoice() const { return (hostOptions & kHostSecurityMask) >> 8; }
};

}  // namespace corvina
