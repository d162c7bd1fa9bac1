#include "cli/Actions.h"

#include <algorithm>
#include <cctype>

#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyText.h"
#include "keyboard/KeyboardMap.h"
#include "platform/Format.h"
#include "session/HostSession.h"

namespace corvina::cli {

namespace {

// Either half of a name with two ("RollUp" of "RollUp/PageDown"), without case.
int IdByNamePart(unsigned kind, std::string_view name) {
  auto same = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
  };
  for (const KeyFunctionRow& row : KeyFunctionTable(kind))
    if (const auto slash = row.name.find('/'); slash != std::string_view::npos &&
        (same(row.name.substr(0, slash), name) || same(row.name.substr(slash + 1), name)))
      return row.id;
  return -1;
}

}  // namespace

bool CActionRunner::Ready(CHostSession& s) {
  return s.State() == kSocketConnected && s.EngineRunning() && s.Mode() == s.ConfiguredKind() &&
         s.LockReason() == 0 && s.ScreenChangedFlag() && !s.TypeAheadPending();
}

bool CActionRunner::ScreenHolds(CHostSession& s, const std::string& text) {
  for (const std::string& row : s.ScreenRows())
    if (row.find(text) != std::string::npos) return true;
  return false;
}

CActionRunner::Result CActionRunner::Poll(CHostSession* session, std::int64_t nowMs, std::string* error) {
  while (next_ < steps_.size()) {
    const CliStep& step = steps_[next_];
    if (stepStartMs_ < 0) stepStartMs_ = nowMs;
    const bool ready = session && (step.kind == CliStep::kWaitText ? ScreenHolds(*session, step.value)
                                   : macroStarted_               ? !session->MacroPlaying()
                                                                 : Ready(*session));
    if (!ready) {
      if (nowMs - stepStartMs_ < timeoutMs_) return Result::kWaiting;
      static constexpr const char* kWhat[] = {"to type",           "to press a key", "for the keyboard to unlock",
                                              "for the text",      "to press a key", "to play the macro"};
      *error = platform::Format("Timed out waiting %s", macroStarted_ ? "for the macro to end" : kWhat[step.kind]) +
               (step.kind == CliStep::kWaitText ? " \"" + step.value + "\"" : std::string());
      return Result::kFailed;
    }
    if (macroStarted_) {
      macroStarted_ = false;
    } else if (step.kind == CliStep::kType) {
      session->TypeText(step.value);
    } else if (step.kind == CliStep::kKey) {
      int id = KeyFunctionIdByName(session->Mode(), step.value);
      if (id < 0) id = KeyFunctionIdByAidName(session->Mode(), step.value);
      if (id < 0) id = IdByNamePart(session->Mode(), step.value);
      // A system command (HostPrintScreen, ...) is performed as its menu command.
      const int command = id < 0 ? KeyFunctionIdByName(0, step.value) : -1;
      if (id < 0 && command < 0) {
        *error = "Unknown key function \"" + step.value + "\" (corvina-cli --list-keys lists them)";
        return Result::kFailed;
      }
      if (id >= 0)
        session->OnKeyFunction(id);
      else
        session->Frame().SystemCommand(*session, command, 0);
    } else if (step.kind == CliStep::kPress) {
      const std::optional<KeyCode> key = ParseKeyText(step.value);
      if (!key || !session->OnKeyEvent(key->virtualKey, key->modifiers)) {
        // A key the map leaves alone types its character, as at a keyboard.
        const std::optional<char> c = key ? CharacterOfKey(*key) : std::nullopt;
        if (!c) {
          *error = "The key " + step.value + " is not assigned in the keyboard map \"" +
                   session->KeyboardMap().name + "\" (corvina-cli --show-map shows the map)";
          return Result::kFailed;
        }
        session->TypeText(std::string(1, *c));
      }
    } else if (step.kind == CliStep::kMacro) {
      if (!session->PlayMacro(step.value)) {
        *error = "The macro \"" + step.value + "\" could not be played";
        return Result::kFailed;
      }
      if (session->MacroPlaying()) {
        macroStarted_ = true;
        stepStartMs_ = nowMs;
        continue;
      }
    }
    // The host's answer comes with the next screen.
    const bool pressed = step.kind == CliStep::kKey || step.kind == CliStep::kPress || step.kind == CliStep::kMacro;
    if (pressed && session->LockReason() != 0) session->SetScreenChanged(false);
    ++next_;
    stepStartMs_ = -1;
  }
  return Result::kDone;
}

}  // namespace corvina::cli
