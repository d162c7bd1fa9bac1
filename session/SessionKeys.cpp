// The session's key path: key events through the keyboard map, macro
// playback and recording. Everything goes through the keyboard entry points,
// so it works the same on every engine.
#include <algorithm>

#include "config/ColorScheme.h"
#include "config/PersistentData.h"
#include "config/TerminalTypes.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "keyboard/KeyboardMap.h"
#include "keyboard/KeyboardTexts.h"
#include "keyboard/Macro.h"
#include "platform/Format.h"
#include "session/HostSession.h"

namespace corvina {

namespace kt = keyboard_texts;

namespace {

// The profile's object when the store has it for the family, else the
// family's default object; null when neither is there.
const CCorvinaNamedObject* FamilyObject(const CCorvinaPersistentData* store, ObjectKind kind, const std::string& name,
                                        unsigned terminalKind) {
  if (!store) return nullptr;
  const unsigned family = FamilyType(terminalKind);
  for (std::string_view candidate : {std::string_view(name), DefaultObjectNameForKind(terminalKind)}) {
    const CCorvinaNamedObject* object = store->Find(kind, candidate);
    if (object && object->TypeCode() == family) return object;
  }
  return nullptr;
}

// Functions that act on the clicked cell.
bool IsCellFunction(int id) {
  return id == kf::ibm3270::kCursorMove || id == kf::ibm5250::kCursorMove || id == kf::ibm3270::kCursorSelect ||
         id == kf::ibm5250::kCursorSelect || id == kf::kHotspot;
}

}  // namespace

const CCorvinaKeyboardMap& CHostSession::KeyboardMap() const {
  const auto* map = FamilyObject(env_.store, ObjectKind::kKeyboardMap, profile_->keyboardMapName, configuredKind_);
  return map ? static_cast<const CCorvinaKeyboardMap&>(*map) : CCorvinaKeyboardMap::BuiltIn(configuredKind_);
}

const CCorvinaColorScheme& CHostSession::ColorScheme() const {
  const auto* scheme = FamilyObject(env_.store, ObjectKind::kColorScheme, profile_->colorSchemeName, configuredKind_);
  return scheme ? static_cast<const CCorvinaColorScheme&>(*scheme) : CCorvinaColorScheme::BuiltIn(configuredKind_);
}

// ------------------------------------------------------------ key events

bool CHostSession::OnKeyEvent(int virtualKey, int modifiers, bool autoRepeat) {
  if (virtualKey <= 0 || virtualKey >= CCorvinaKeyboardMap::kIndexedKeys || modifiers < 0 || modifiers > 0xFF)
    return false;
  const CCorvinaKeyboardMap& map = KeyboardMap();
  const KeyBinding* found =
      map.FindBinding(KeyCode{static_cast<std::uint16_t>(virtualKey), static_cast<std::uint8_t>(modifiers)});
  if (!found) return false;
  // A copy: what the binding does may change or replace the map.
  const KeyBinding binding = *found;
  if (autoRepeat && !map.IsRepeatable(binding.target)) return true;
  PerformBinding(binding);
  return true;
}

bool CHostSession::OnMouseEvent(int button, int modifiers, int column, int row) {
  if (button != kVkMouseLeft && button != kVkMouseRight && button != kVkMouseMiddle) return false;
  if (modifiers < 0 || modifiers > 0xFF) return false;
  const CCorvinaKeyboardMap& map = KeyboardMap();
  const KeyBinding* found =
      map.FindBinding(KeyCode{static_cast<std::uint16_t>(button), static_cast<std::uint8_t>(modifiers)});
  if (!found) return false;
  const KeyBinding binding = *found;
  const int id = binding.category == kBindTerminal ? FunctionForMode(binding.target, map.TypeCode()) : -1;
  if (IsCellFunction(id))
    OnMouseFunction(id, column, row);
  else
    PerformBinding(binding);
  return true;
}

void CHostSession::TypeText(std::string_view latin1) {
  for (unsigned char c : latin1) OnCharacter(c);
}

int CHostSession::FunctionForMode(int id, unsigned mapFamily) const {
  // Before negotiation a 3270 or 5250 session runs in line mode: its keys
  // reach that engine under their names there.
  if (id < 256 || id >= kf::kCursorTo || FamilyType(mode_) == FamilyType(mapFamily)) return id;
  return KeyFunctionIdByName(mode_, KeyFunctionName(mapFamily, id));
}

void CHostSession::PerformBinding(const KeyBinding& binding) {
  switch (binding.category) {
    case kBindSystem:
      PerformSystemCommand(binding.target);
      break;
    case kBindCharacter:
      OnCharacter(binding.target);
      break;
    case kBindMacro:
      if (KeyboardEntry()) PlayMacro(binding.text);
      break;
    case kBindScript:
      if (KeyboardEntry()) env_.frame.RunScript(this, binding.text);
      break;
    default:
      if (const int id = FunctionForMode(binding.target, KeyboardMap().TypeCode()); id >= 0) OnKeyFunction(id);
      break;
  }
}

void CHostSession::PerformSystemCommand(int id) {
  // The recording keys themselves are no part of the recording.
  if (id != kf::sys::kMacroStartRecording && id != kf::sys::kMacroStopRecording) RecordKey(id, 0);
  if (trace_) trace_->Keystroke(TraceInfo(), id, 0);
  env_.frame.SystemCommand(*this, id, 0);
}

void CHostSession::OnMouseFunction(int id, int column, int row) {
  if (column < 0 || row < 0 || column >= columns_ || row >= rows_) return;
  if (!KeyboardEntry()) return;
  const int cell = kf::kCursorTo + row * columns_ + column;
  // Replaying needs the cell: a click is recorded as a move there first.
  RecordKey(cell, mode_);
  if (id != kf::ibm3270::kCursorMove && id != kf::ibm5250::kCursorMove) RecordKey(id, mode_);
  if (trace_) trace_->Keystroke(TraceInfo(), id == kf::ibm3270::kCursorMove || id == kf::ibm5250::kCursorMove ? cell : id, mode_);
  if (fileTransferRunning_) {
    env_.ui.Beep(platform::BeepKind::Exclamation);
    return;
  }
  engine_->MouseFunction(id, column, row);
  FlushOutput();
}

void CHostSession::SendControlSequence(const std::string& bytes) {
  // Raw bytes are for VT hosts only; 3270 and 5250 hosts take records.
  if (!IsVtFamily(mode_) || !KeyboardEntry()) return;
  if (recorder_) recorder_->AppendText(MacroToken(FormatControlSequence(bytes)));
  QueueOutputEscaped(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  FlushOutput();
}

void CHostSession::RecordKey(int id, unsigned kind) {
  if (recorder_) recorder_->Record(id, kind);
}

// ------------------------------------------------------------- recording

void CHostSession::StartRecording() {
  if (recorder_) return;
  recorder_ = std::make_shared<CCorvinaMacro>(std::string(), configuredKind_);
  recorder_->recording = true;
  recordingLit_ = true;
  env_.frame.RecordingIndicator(*this, true);
}

std::shared_ptr<CCorvinaMacro> CHostSession::StopRecording() {
  std::shared_ptr<CCorvinaMacro> macro = std::move(recorder_);
  recorder_.reset();
  if (!macro) return nullptr;
  macro->recording = false;
  recordingLit_ = false;
  env_.frame.RecordingIndicator(*this, false);
  return macro->Text().empty() ? nullptr : macro;
}

// -------------------------------------------------------------- playback

bool CHostSession::PlayMacro(std::string_view name) {
  auto macro = env_.store ? std::dynamic_pointer_cast<const CCorvinaMacro>(env_.store->FindShared(ObjectKind::kMacro, name))
                          : nullptr;
  if (!macro) {
    env_.ui.MessageBox(platform::Format(kt::kMacroNotFound, std::string(name).c_str()), kt::kCaption,
                       platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Warning);
    return false;
  }
  env_.store->NoteMacroUsed(macro->name);
  StartPlayback(std::move(macro), true);
  return true;
}

void CHostSession::PlayMacro(std::shared_ptr<const CCorvinaMacro> macro) {
  if (macro) StartPlayback(std::move(macro), false);
}

void CHostSession::StartPlayback(std::shared_ptr<const CCorvinaMacro> macro, bool fromStore) {
  // At most one macro plays: a new one takes the place of the old.
  playback_ = MacroPlayback{macro, macro->Text(), fromStore, 0, 0, ++playbackGeneration_};
  // Inside a playback (a macro's command started this one) the running loop carries on with it.
  if (!continuingMacro_) ContinueMacro();
}

void CHostSession::ContinueMacro() {
  continuingMacro_ = true;
  auto current = [this](unsigned generation) { return playback_ && playback_->generation == generation; };
  while (playback_ && playback_->pauseTicks == 0) {
    MacroPlayback& p = *playback_;
    const unsigned generation = p.generation;
    // A macro deleted or replaced in the store plays no further.
    if (p.fromStore && (!env_.store || env_.store->Find(ObjectKind::kMacro, p.macro->name) != p.macro.get())) {
      playback_.reset();
      break;
    }
    CMacroReader reader(p.text, p.position);
    const MacroPiece piece = reader.Next();
    p.position = reader.Position();
    if (piece.kind == MacroPiece::kEnd) {
      playback_.reset();
      break;
    }
    if (piece.kind == MacroPiece::kPause) {
      p.pauseTicks = piece.ticks;
      break;
    }
    if (piece.kind == MacroPiece::kCharacters) {
      for (unsigned char c : piece.text) {
        if (!current(generation)) break;
        OnCharacter(c);
      }
      continue;
    }
    const MacroStep step =
        piece.closed ? ResolveMacroToken(piece.text, mode_, std::max(1, BufferSize())) : MacroStep{};
    switch (step.kind) {
      case MacroStep::kFunction:
        OnKeyFunction(step.id);
        break;
      case MacroStep::kSystemCommand:
        PerformSystemCommand(step.id);
        break;
      case MacroStep::kControlSequence:
        SendControlSequence(step.bytes);
        break;
      case MacroStep::kInvalidPause:
      case MacroStep::kInvalidName: {
        const char* format = step.kind == MacroStep::kInvalidPause ? kt::kInvalidPause : kt::kInvalidKeyName;
        const std::string shown = step.kind == MacroStep::kInvalidPause ? piece.text : step.name;
        playback_.reset();
        env_.ui.MessageBox(platform::Format(format, shown.c_str()), kt::kCaption, platform::Buttons::Ok,
                           platform::Answer::Ok, platform::Icon::Warning);
        break;
      }
    }
  }
  continuingMacro_ = false;
}

void CHostSession::MacroTick() {
  if (recorder_) {
    recordingLit_ = !recordingLit_;
    env_.frame.RecordingIndicator(*this, recordingLit_);
  }
  if (playback_ && playback_->pauseTicks > 0 && --playback_->pauseTicks == 0 && !continuingMacro_) ContinueMacro();
}

}  // namespace corvina
