// A stored description of one host session.
#pragma once

#include <cstdint>
#include <string>

namespace corvina {

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
  kDisplayCursorBlinks = 0x10,
  kDisplaySolidFrame = 0x20,
  kDisplayAttributeChars = 0x40,
  kDisplayBlinkAsReverse = 0x80,
  kDisplayOiaInWindow = 0x100,
  kDisplayStandardToolbar = 0x200,
  kDisplayKeypadToolbar = 0x400,
  kDisplayStatusBar = 0x800,
  kDisplayInsertCursorShapeMask = 0xF000,
  kDisplayInsertCursorBlinks = 0x10000,
  kDisplayCrossHairNormal = 0x20000,
  kDisplayCrossHairInsert = 0x40000,
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
  std::string faceName = "Courier New";  // at most 31 characters
};

struct FileTransferDefaults {
  std::string pcFile;
  std::string hostFile;
  std::string options;
  std::string hostCodePageFile;
  std::string program = "IND$FILE";
  std::uint8_t flags = 96;
  std::int32_t hostSystem = 0;      // 0 VM/CMS, 1 MVS/TSO, 2 CICS
  std::int32_t pcDisposition = 0;   // 0 replace, 1 append, 2 prompt
  std::int32_t recordFormat = 0;    // 0 default, 1 fixed, 2 variable, 3 undefined
  std::int32_t logicalRecordLength = 0;
  std::int32_t blockSize = 0;
  std::int32_t bufferSize = 8192;
};

struct PageLayout {
  std::int32_t leftMargin = 0;
  std::int32_t topMargin = 0;
  std::int32_t rightMargin = 0;
  std::int32_t bottomMargin = 0;
  std::int32_t linesPerPage = 66;
  std::int32_t columnsPerPage = 132;
};

class CCorvinaSessionProfile {
 public:
  std::string fileName;
  std::string name;
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

  FileTransferDefaults fileTransfer;
  std::string ddeTopic;
  std::string printerName;
  PageLayout pageLayout;
  char tallisShortName = ' ';
  std::string tallisLongName;

  bool modified = false;
  std::uint16_t connectedSessions = 0;

  unsigned SecurityChoice() const { return (hostOptions & kHostSecurityMask) >> 8; }
};

}  // namespace corvina
