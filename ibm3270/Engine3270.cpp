#include "ibm3270/Engine3270.h"

#include <algorithm>

#include "ibm3270/DataStream.h"
#include "session/HostSession.h"
#include "session/Oia.h"

namespace corvina {

using namespace ds3270;

namespace {

// The largest buffer that 14-bit addresses reach.
constexpr int kMaxBufferSize = 1 << 14;

struct Geometry {
  int defaultRows, defaultColumns, alternateRows, alternateColumns;
};

// A BIND image's sizes are used only when they describe real buffers: no
// empty dimension and sizes that buffer addresses can reach. The default may
// be the larger one (27 x 132 with a 43 x 80 alternate); the buffers then
// grow when it is in use.
bool Fits(const Geometry& g) {
  if (g.defaultRows < 1 || g.defaultColumns < 1 || g.alternateRows < 1 || g.alternateColumns < 1) return false;
  return g.defaultRows * g.defaultColumns <= kMaxBufferSize && g.alternateRows * g.alternateColumns <= kMaxBufferSize;
}

}  // namespace

// ------------------------------------------------------------------ lifecycle

void C3270Engine::Start(CHostSession& session) {
  session_ = &session;
  ps_.emplace(session);
  session.Telnet().ClearBindImage();
  ps_->Allocate();
  ps_->SetSize(session.DefaultRows(), session.DefaultColumns(), true);
  session.SetScreenChanged(false);  // an empty screen is nothing the host wrote
  session.Record().reserve(static_cast<std::size_t>(session.AlternateRows()) *
                           static_cast<std::size_t>(session.AlternateColumns()));
  wcc_ = 0;
  aid_ = kNoAid;
  programCheck_ = 0;
  alarmPending_ = false;
  nvtLine_.clear();
  session.SetLockReason(kUnlocked);
  model_ = RenderModel{};
  Refresh();
}

void C3270Engine::Stop() {
  if (!ps_) return;
  ps_.reset();
  session_->Telnet().ClearBindImage();
  model_ = RenderModel{};
}

int C3270Engine::ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                             unsigned flags) {
  if (!ps_) return 0;
  return ps_->ExtractText(position, count, out, attributes, flags, session_->CodePage());
}

std::vector<C3270Engine::Field> C3270Engine::Fields() const {
  std::vector<Field> fields;
  if (!ps_) return fields;
  const int size = ps_->Size();
  for (int p = 0; p < size; ++p) {
    std::uint8_t a = ps_->Attribute(p);
    if (a == 0) continue;
    if (!fields.empty()) fields.back().length = p - fields.back().attributePosition - 1;
    fields.push_back(Field{p, a, ps_->Extended(p), 0});
  }
  // The last field runs on, across the end of the buffer, to the first.
  if (!fields.empty())
    fields.back().length = size - 1 - fields.back().attributePosition + fields.front().attributePosition;
  return fields;
}

// ----------------------------------------------------------- record dispatch

void C3270Engine::ProcessRecord(std::span<const std::uint8_t> record) {
  if (!ps_ || record.empty()) return;
  CTelnetLayer& telnet = session_->Telnet();
  if (telnet.CorvinaEState() != kCorvinaEOff) {
    if (telnet.TakeInboundHeader(record)) ProcessCorvinaERecord(record);
    return;
  }
  if (IsPrinter() && record[0] == 0x00) {
    PrinterScsData(record);
    return;
  }
  ProcessCommand(record);
}

void C3270Engine::ProcessCorvinaERecord(std::span<const std::uint8_t> data) {
  CTelnetLayer& telnet = session_->Telnet();
  const std::uint8_t type = telnet.InboundHeader().dataType;
  const bool binary = telnet.RemoteBinary();
  switch (telnet.CorvinaEState()) {
    case kCorvinaELuLu:
      switch (type) {
        case telnet::kData3270:
          ProcessCommand(data);
          break;
        case telnet::kDataScs:
          PrinterScsData(data);
          break;
        case telnet::kDataUnbind:
          telnet.ClearBindImage();
          SessionReset();
          telnet.SetCorvinaEState(kCorvinaESscpLu);
          break;
        case telnet::kDataNvt:
          SessionReset();
          nvtLine_.clear();  // text typed in an earlier NVT spell is not this one's
          telnet.SetCorvinaEState(kCorvinaENvt);
          LineModeText(data, binary);
          break;
        case telnet::kDataPrintEoj:
          PrinterEndOfJob();
          break;
        default:
          break;
      }
      break;
    case kCorvinaESscpLu:
      switch (type) {
        case telnet::kDataBindImage:
          telnet.SetBindImage(data);
          SessionReset();
          telnet.SetCorvinaEState(kCorvinaELuLu);
          break;
        case telnet::kDataNvt:
          LineModeText(data, binary);
          break;
        case telnet::kDataSscpLu:
          LineModeText(data, false);
          ps_->sscpStart = ps_->sscpEnd = session_->Cursor();
          break;
        default:
          break;
      }
      break;
    case kCorvinaENvt:
      switch (type) {
        case telnet::kData3270:
          SessionReset();
          telnet.SetCorvinaEState(kCorvinaELuLu);
          ProcessCommand(data);
          break;
        case telnet::kDataNvt:
          LineModeText(data, binary);
          break;
        default:
          break;
      }
      break;
    default:
      break;  // still negotiating
  }
}

void C3270Engine::ProcessCommand(std::span<const std::uint8_t> record) {
  if (record.empty()) return;
  CTelnetLayer& telnet = session_->Telnet();
  const bool handOff = record.size() > 2 && FileTransferActive();
  auto write = [&] {
    if (!Write(record, handOff)) return;
    telnet.SendPositiveResponse();
    if (handOff) HandOffWrite();
  };
  switch (record[0]) {
    case kWrite:
    case kWriteRemote:
      write();
      break;
    case kEraseWrite:
    case kEraseWriteRemote:
      ps_->SetSize(session_->DefaultRows(), session_->DefaultColumns(), true);
      write();
      break;
    case kEraseWriteAlternate:
    case kEraseWriteAlternateRemote:
      ps_->SetSize(session_->AlternateRows(), session_->AlternateColumns(), true);
      write();
      break;
    case kReadBuffer:
    case kReadBufferRemote:
      telnet.SendPositiveResponse();
      ReadBuffer(aid_);
      break;
    case kReadModified:
    case kReadModifiedRemote:
    case kReadModifiedAll:
      telnet.SendPositiveResponse();
      ReadModified(aid_, true, record[0] == kReadModifiedAll);
      break;
    case kEraseAllUnprotected:
    case kEraseAllUnprotectedRemote:
      EraseAllUnprotected();
      telnet.SendPositiveResponse();
      break;
    case kWriteStructuredField:
    case kWriteStructuredFieldRemote:
      WriteStructuredFields(record.subspan(1));
      break;
    default:
      DoProgramCheck(kInvalidCommand);
      break;
  }
}

// ---------------------------------------------------------------------- Write

bool C3270Engine::Write(std::span<const std::uint8_t> r, bool handOff) {
  if (r.size() < 2) return true;
  C3270PresentationSpace& ps = *ps_;
  session_->SetBlinkPhase(true);
  wcc_ = r[1];
  if (wcc_ & kWccResetMdt) ps.ResetAllMdt();
  characterAttributes_ = 0;
  int pos = ps.Wrap(ps.writeAddress);
  bool dataLast = false;
  const std::size_t n = r.size();
  std::size_t i = 2;
  // Every operand is checked against the record: an order cut off by its
  // end, or an address beyond the largest screen, ends the Write here.
  auto has = [&](std::size_t operands) { return n - i >= operands; };
  auto takeAddress = [&](int& address) {
    address = DecodeAddress(r[i], r[i + 1]);
    i += 2;
    return ps.Accommodate(address);
  };
  auto fail = [&] {
    ps.writeAddress = pos;
    DoProgramCheck(kInvalidAddress);
    return false;
  };
  auto advance = [&] { pos = ps.Wrap(pos + 1); };
  while (i < n) {
    const std::uint8_t b = r[i++];
    const bool wasData = dataLast;
    dataLast = false;
    switch (b) {
      case kStartField: {
        if (!has(1)) return fail();
        std::uint8_t attribute = r[i++] | kFaStored;
        ps.PutAttribute(pos, attribute, 0);
        if (attribute & kFaMdt) KeyboardRestore();
        advance();
        break;
      }
      case kStartFieldExtended:
      case kModifyField: {
        if (!has(1) || !has(1 + 2 * std::size_t{r[i]})) return fail();
        const std::size_t pairs = r[i++];
        const bool modify = b == kModifyField;
        if (modify && ps.Attribute(pos) == 0) {
          i += 2 * pairs;  // no field here: nothing to modify
          break;
        }
        std::uint8_t attribute = modify ? ps.Attribute(pos) : kFaStored;
        std::uint32_t extended = modify ? ps.Extended(pos) : 0;
        for (std::size_t k = 0; k < pairs; ++k, i += 2) ApplyFieldPair(r[i], r[i + 1], attribute, extended);
        ps.PutAttribute(pos, attribute, extended);
        advance();
        break;
      }
      case kSetBufferAddress: {
        int address = 0;
        if (!has(2) || !takeAddress(address)) return fail();
        pos = address;
        break;
      }
      case kSetAttribute:
        if (!has(2)) return fail();
        ApplyCharacterPair(r[i], r[i + 1], characterAttributes_);
        i += 2;
        break;
      case kInsertCursor:
        session_->SetCursorPosition(pos, false);
        break;
      case kProgramTab:
        pos = ProgramTab(pos, wasData);
        break;
      case kRepeatToAddress: {
        int stop = 0;
        if (!has(3) || !takeAddress(stop)) return fail();
        std::uint8_t c = r[i++];
        std::uint32_t extended = characterAttributes_;
        if (c == kGraphicEscape) {
          if (!has(1)) return fail();
          c = GraphicEscapeCode(r[i++]);
          extended |= kExtGraphicEscape;
        }
        do {
          ps.PutCharacter(pos, c, extended);
          advance();
        } while (pos != stop);
        break;
      }
      case kEraseUnprotectedToAddress: {
        int stop = 0;
        if (!has(2) || !takeAddress(stop)) return fail();
        int fa = ps.FieldAttributePosition(pos);
        std::uint8_t current = fa < 0 ? kFaStored : ps.Attribute(fa);
        do {
          if (std::uint8_t a = ps.Attribute(pos); a != 0)
            current = a;
          else if (!(current & kFaProtected))
            ps.PutCharacter(pos, 0, 0);
          advance();
        } while (pos != stop);
        break;
      }
      case kGraphicEscape:
        if (!has(1)) return fail();
        ps.PutCharacter(pos, GraphicEscapeCode(r[i++]), characterAttributes_ | kExtGraphicEscape);
        advance();
        break;
      default:
        ps.PutCharacter(pos, b, characterAttributes_);
        advance();
        dataLast = true;
        break;
    }
  }
  ps.writeAddress = pos;
  if (IsPrinter()) {
    PrinterWriteComplete(wcc_);  // the printer answers for itself
    return false;
  }
  if (!handOff) AfterWrite();
  return true;
}

void C3270Engine::HandOffWrite() {
  if (!FileTransferWrite()) AfterWrite();
}

int C3270Engine::ProgramTab(int pos, bool dataWrittenLast) {
  C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  if (dataWrittenLast && ps.Attribute(pos) == 0)
    for (int p = pos; p < size && ps.Attribute(p) == 0; ++p) ps.PutCharacter(p, 0, 0);
  for (int p = pos; p < size; ++p) {
    std::uint8_t a = ps.Attribute(p);
    if (a != 0 && !(a & kFaProtected) && ps.Attribute(p + 1) == 0) return ps.Wrap(p + 1);
  }
  return 0;
}

void C3270Engine::AfterWrite() {
  const bool extendedLuLu = session_->Telnet().CorvinaEState() == kCorvinaELuLu;
  if ((wcc_ & kWccKeyboardRestore) || (extendedLuLu && (wcc_ & kWccReset))) KeyboardRestore();
  Refresh();
  if (session_->LockReason() == kUnlocked && session_->TypeAheadPending()) session_->RequestTypeAheadReplay();
  if (wcc_ & kWccSoundAlarm) Alarm();
}

void C3270Engine::Alarm() {
  if (session_->Profile().hostOptions & kHostSuppressAlarms) return;
  if (session_->Frame().IsVisible(*session_))
    session_->Ui().Beep(platform::BeepKind::Default);
  else
    alarmPending_ = true;
}

void C3270Engine::Refresh() { session_->Frame().ScreenChanged(*session_); }

// --------------------------------------------------- other commands, errors

void C3270Engine::EraseAllUnprotected() {
  KeyboardRestore();
  session_->SetCursorPosition(NullUnprotectedFields(), false);
  Refresh();
  if (session_->BytesLeftInBlock() == 0 && session_->TypeAheadPending()) session_->RequestTypeAheadReplay();
}

int C3270Engine::NullUnprotectedFields() {
  C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  int fa = ps.FieldAttributePosition(0);
  std::uint8_t current = fa < 0 ? kFaStored : ps.Attribute(fa);
  int firstInput = -1;
  for (int p = 0; p < size; ++p) {
    if (std::uint8_t a = ps.Attribute(p); a != 0) {
      current = a;
      if (!(a & kFaProtected)) {
        ps.ResetMdt(p);
        if (firstInput < 0) firstInput = p + 1;
      }
    } else if (!(current & kFaProtected)) {
      ps.PutCharacter(p, 0, 0);
    }
  }
  return firstInput < 0 ? 0 : ps.Wrap(firstInput);
}

void C3270Engine::DoProgramCheck(int number) {
  programCheck_ = number;
  LockKeyboard(kLockProgramCheckReason, true);
  session_->Telnet().SendNegativeResponse(number == kInvalidCommand ? telnet::kReasonCommandReject
                                                                    : telnet::kReasonOperationCheck);
  Refresh();
}

void C3270Engine::KeyboardRestore() {
  if (session_->LockReason() != kUnlocked && programCheck_ == 0) session_->SetLockReason(kUnlocked);
  session_->Responses().Stop(session_->Clock().MonotonicMs());
  aid_ = kNoAid;
}

void C3270Engine::LockKeyboard(int reason, bool forced) {
  if (reason != kLockProgramCheckReason) session_->KeyRefused();
  const std::uint32_t options = session_->Profile().keyboardOptions;
  if (forced || (options & kKeyboardLockOnError)) {
    session_->SetLockReason(reason);
    Refresh();
  }
  if (!(options & kKeyboardSuppressErrorAlarm)) session_->Ui().Beep(platform::BeepKind::Exclamation);
}

void C3270Engine::SessionReset() {
  CHostSession& s = *session_;
  const std::vector<std::uint8_t>& bind = s.Telnet().BindImage();
  std::size_t chunk = 0;
  if (bind.size() > 10 && (bind[10] & 0x80))
    chunk = std::min<std::size_t>(2048, static_cast<std::size_t>(bind[10] >> 4) << (bind[10] & 0x0F));
  s.SetMaxChunk(chunk);

  const int alternateRows = s.AlternateRows(), alternateColumns = s.AlternateColumns();
  std::optional<Geometry> bound;
  if (bind.size() > 24 && (bind[24] == 0x7F || bind[24] == 0x3F))
    bound = Geometry{bind[20], bind[21], bind[22], bind[23]};
  else if (bind.size() > 24 && bind[24] == 0x7E)
    bound = Geometry{bind[20], bind[21], bind[20], bind[21]};
  if (bound && Fits(*bound)) {
    s.SetDefaultSize(bound->defaultRows, bound->defaultColumns);
    s.SetAlternateSize(bound->alternateRows, bound->alternateColumns);
  } else {
    s.UseProfileSizes();
  }
  if (s.AlternateRows() != alternateRows || s.AlternateColumns() != alternateColumns)
    ps_->ResizeBuffers(s.AlternateRows(), s.AlternateColumns());
  ps_->SetSize(s.DefaultRows(), s.DefaultColumns(), true);
  s.SetScreenChanged(false);
  Refresh();
  KeyboardRestore();
}

// ----------------------------------------------------------- line-mode text

void C3270Engine::LineModeText(std::span<const std::uint8_t> text, bool translate) {
  C3270PresentationSpace& ps = *ps_;
  const int columns = std::max(1, ps.Columns());
  int cursor = ps.Wrap(session_->Cursor());
  for (std::uint8_t b : text) {
    const int column = cursor % columns;
    const int rowStart = cursor - column;
    switch (b) {
      case 0x0D:
        cursor = rowStart;
        break;
      case 0x07:
        Alarm();
        break;
      case 0x08:
        if (column > 0) --cursor;
        break;
      case 0x09:
        cursor = rowStart + std::min((column / 8 + 1) * 8, columns - 1);
        break;
      case 0x15:
        for (int p = cursor; p < rowStart + columns; ++p) ps.PutCharacter(p, 0, 0);
        cursor = ps.Wrap(rowStart + columns);
        break;
      case 0x0A:
      case 0x0B:
      case 0x0C:
        cursor = ps.Wrap(cursor + columns);
        break;
      default:
        if (b != 0x00 && b < 0x20) break;  // other controls are ignored
        ps.PutCharacter(cursor, translate ? session_->CodePage().ToEbcdic(b) : b, 0);
        cursor = ps.Wrap(cursor + 1);
        break;
    }
  }
  session_->SetCursorPosition(cursor, true);
  Refresh();
}

}  // namespace corvina
