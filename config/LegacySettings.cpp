#include "config/LegacySettings.h"

#include <iterator>
#include <string>

#include "config/Archive.h"
#include "config/TerminalTypes.h"

namespace corvina {

namespace {

constexpr std::size_t kFontRecordSize = 60;
constexpr std::size_t kFaceNameSize = 32;
constexpr std::size_t kPlacementWords = 11;

std::int32_t Int32At(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::int32_t>(std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
                                   std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24);
}

// Five 32-bit numbers, eight bytes and a face name of up to 32 bytes ended by
// a zero byte.
FontDescription ReadFont(CArchiveReader& archive) {
  const auto raw = archive.ReadBytes(kFontRecordSize);
  FontDescription font;
  std::int32_t* numbers[] = {&font.height, &font.width, &font.escapement, &font.orientation, &font.weight};
  for (std::size_t i = 0; i < std::size(numbers); ++i) *numbers[i] = Int32At(raw, 4 * i);
  std::uint8_t* bytes[] = {&font.italic,       &font.underline,     &font.strikeOut, &font.charSet,
                           &font.outPrecision, &font.clipPrecision, &font.quality,   &font.pitchAndFamily};
  for (std::size_t i = 0; i < std::size(bytes); ++i) *bytes[i] = raw[20 + i];
  const auto face = raw.subspan(kFontRecordSize - kFaceNameSize);
  std::size_t length = 0;
  while (length < face.size() && face[length] != 0) ++length;
  font.faceName.assign(face.begin(), face.begin() + static_cast<std::ptrdiff_t>(length));
  // A profile file would clamp every number; so does the round trip.
  return ParseFontDescription(FormatFontDescription(font));
}

WindowPlacement ReadPlacement(CArchiveReader& archive) {
  const auto raw = archive.ReadBytes(4 * kPlacementWords);
  WindowPlacement w;
  w.length = static_cast<std::uint32_t>(Int32At(raw, 0));
  w.flags = static_cast<std::uint32_t>(Int32At(raw, 4));
  w.showCommand = static_cast<std::uint32_t>(Int32At(raw, 8));
  std::int32_t* rest[] = {&w.minX, &w.minY, &w.maxX, &w.maxY, &w.left, &w.top, &w.right, &w.bottom};
  for (std::size_t i = 0; i < std::size(rest); ++i) *rest[i] = Int32At(raw, 12 + 4 * i);
  return w;
}

template <typename T>
T InRange(long value, long min, long max, T fallback) {
  return value < min || value > max ? fallback : static_cast<T>(value);
}

void Skip32(CArchiveReader& archive, int count) {
  for (int i = 0; i < count; ++i) archive.ReadU32();
}

}  // namespace

unsigned ConvertOldTerminalType(std::uint32_t oldCode) {
  constexpr unsigned kCodes[] = {kKind3278, kKind3279, kKind5250, kKindAnsi, kKindVt100, kKindVt220, kKindLineMode};
  return oldCode < std::size(kCodes) ? kCodes[oldCode] : 0;
}

std::shared_ptr<CCorvinaSessionProfile> ReadLegacySessionProfile(CArchiveReader& archive,
                                                                 CCorvinaTerminalTypes& types,
                                                                 const ProfileNameResolver& resolver) {
  auto p = std::make_shared<CCorvinaSessionProfile>();
  const CCorvinaSessionProfile defaults;
  p->name = archive.ReadString();
  p->host = archive.ReadString();
  const std::string displayName = archive.ReadString();
  const std::string telnetType = archive.ReadString();
  p->luName = archive.ReadString();
  p->codePageFile = archive.ReadString();
  p->scriptFile = archive.ReadString();
  p->logFile = archive.ReadString();
  const std::string mapName = archive.ReadString();
  const std::string schemeName = archive.ReadString();
  const std::string toolbarName = archive.ReadString();
  p->screenFont = ReadFont(archive);
  p->printerFont = ReadFont(archive);
  p->printerFontValue = archive.ReadI32();
  p->windowPlacement = ReadPlacement(archive);
  p->port = InRange<std::int32_t>(archive.ReadI32(), 1, 65535, defaults.port);
  for (std::uint32_t* word : {&p->sessionOptions, &p->hostOptions, &p->terminalOptions, &p->fontOptions,
                              &p->printOptions, &p->displayOptions, &p->keyboardOptions, &p->editOptions}) {
    *word = archive.ReadU32();
  }
  Skip32(archive, 4);
  const unsigned code = ConvertOldTerminalType(archive.ReadU16());
  const int rows = archive.ReadU16();
  const int columns = archive.ReadU16();
  p->screenFontSize1 = InRange<std::int16_t>(archive.ReadI16(), 0, 32767, defaults.screenFontSize1);
  p->screenFontSize2 = InRange<std::int16_t>(archive.ReadI16(), 0, 32767, defaults.screenFontSize2);
  p->printerFontPointSize = InRange<std::int16_t>(archive.ReadI16(), 0, 32767, defaults.printerFontPointSize);
  p->sessionNumber = InRange<std::int16_t>(archive.ReadI16(), 1, 32767, -1);
  p->scrollBackLines = InRange<std::uint16_t>(archive.ReadI16(), 0, 32767, defaults.scrollBackLines);
  p->typeAheadBufferSize = InRange<std::uint16_t>(archive.ReadI16(), 0, 32767, defaults.typeAheadBufferSize);
  archive.ReadU16();
  Skip32(archive, 10);
  if (archive.ReadU32() != 0) {
    FileTransferDefaults& t = p->fileTransfer;
    t.pcFile = archive.ReadString();
    t.hostFile = archive.ReadString();
    t.options = archive.ReadString();
    t.hostCodePageFile = archive.ReadString();
    t.program = archive.ReadString();
    if (t.program.empty()) t.program = FileTransferDefaults().program;
    t.flags = archive.ReadU8();
    t.hostSystem = InRange<std::int32_t>(archive.ReadI32(), 0, 2, 0);
    t.pcDisposition = InRange<std::int32_t>(archive.ReadI32(), 0, 2, 0);
    t.recordFormat = InRange<std::int32_t>(archive.ReadI32(), 0, 3, 0);
    t.logicalRecordLength = InRange<std::int32_t>(archive.ReadI32(), 0, 32760, 0);
    t.blockSize = InRange<std::int32_t>(archive.ReadI32(), 0, 32760, 0);
  }
  if (p->name.empty() || p->host.empty()) return nullptr;

  // The terminal first: setting it resets the three object names. Custom
  // sizes join the terminal-type list; a code or size the list cannot take
  // falls back to the display name the old file had.
  if (!p->SetTerminalType(types, code, rows, columns)) p->SetTerminalByDisplayName(types, displayName);
  if (!telnetType.empty()) p->telnetTerminalType = telnetType;
  struct Named {
    const std::string& value;
    std::string* field;
    ProfileObjectKind kind;
  };
  for (const Named& named : {Named{mapName, &p->keyboardMapName, ProfileObjectKind::kKeyboardMap},
                             Named{schemeName, &p->colorSchemeName, ProfileObjectKind::kColorScheme},
                             Named{toolbarName, &p->keypadToolbarName, ProfileObjectKind::kKeypadToolbar}}) {
    if (!named.value.empty() && (!resolver || resolver(named.value, named.kind))) *named.field = named.value;
  }
  if (Is5250Family(p->terminalType)) p->keyboardOptions |= kKeyboardLockOnError;
  p->modified = true;
  return p;
}

}  // namespace corvina
