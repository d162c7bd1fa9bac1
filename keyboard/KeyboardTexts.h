// Every text of keyboard maps, macros and toolbars, and of the dialogs and
// menus that edit them, as printf formats.
#pragma once

namespace corvina::keyboard_texts {

inline constexpr char kCaption[] = "Corvina";
inline constexpr char kProductName[] = "Corvina";

// Type-key dialog ("%s" takes the product name).
inline constexpr char kTypeKeyTitle[] = "Type Key - %s";
inline constexpr char kTypeKeyPrompt[] =
    "Type the desired key combination or position the mouse pointer over this text and click a mouse button.\n"
    "Click 'OK' when done.";
inline constexpr char kInvalidKeySelection[] = "That key selection is invalid.\nPlease choose another.";
inline constexpr char kNotConfigurable[] = "The key you have chosen is not configurable. Reason: '%s'";
// Reasons for kNotConfigurable.
inline constexpr char kReasonUsedBySystem[] = "Used by Windows";
inline constexpr char kReasonSystemMenu[] = "System menu";
inline constexpr char kReasonEditMenu[] = "Edit menu";
inline constexpr char kReasonHelpMenu[] = "Help menu";
inline constexpr char kReasonInternetMenu[] = "Internet menu";
inline constexpr char kReasonMacrosMenu[] = "Macros menu";
inline constexpr char kReasonHostMenu[] = "Host menu";
inline constexpr char kReasonSetupMenu[] = "Setup menu";
inline constexpr char kReasonViewMenu[] = "View menu";
inline constexpr char kReasonWindowMenu[] = "Window menu";
inline constexpr char kReasonNotConfigurable[] = "Not configurable";

// Adding a binding.
inline constexpr char kMouseOnlyFunction[] = "The '%s' function is a mouse-only function.";
inline constexpr char kBothCtrlKeys[] =
    "Warning: configuring both Ctrl keys may preclude\nthe use of other Ctrl key functions.\n\nContinue anyway?";
inline constexpr char kCtrlKeysConfigured[] =
    "Warning: both Ctrl keys are already configured.\nThis selection may be inoperative.\n\nContinue anyway?";
inline constexpr char kBothAltKeys[] = "Cannot configure both Alt keys.";
inline constexpr char kAlreadyAssigned[] =
    "The '%s' key is already assigned to the '%s' function.\nDo you want to replace the existing assignment?";
inline constexpr char kMacroTarget[] = "Macro: %s";
inline constexpr char kScriptTarget[] = "Script: %s";

// Keyboard-setup dialog.
inline constexpr char kKeyboardSetupTitle[] = "Keyboard Setup [%s] - %s";
inline constexpr const char* kFunctionGroups[] = {"System Commands", "Terminal Keys", "Characters", "Macros",
                                                  "Scripts"};
inline constexpr char kFunctionColumn[] = "Function";
inline constexpr char kAssignmentColumn[] = "PC Key Assignment";
inline constexpr char kCharacterRow[] = "%c     (%d, 0x%.2X)";
inline constexpr char kSelectScriptRow[] = "<<Select Script File Name>>";
inline constexpr char kAssignmentSeparator[] = ", ";
inline constexpr char kInvalidControlSequence[] = "An invalid control sequence was entered.";

// Naming a recorded or copied macro (the texts of other Save As dialogs are
// the store's).
inline constexpr char kMacroNameExists[] = "That name already exists, do you want to replace it?";

// Macros.
inline constexpr char kUntitledMacro[] = "Untitled";
inline constexpr char kInvalidPause[] = "Invalid pause command in macro: <%s>";
inline constexpr char kInvalidKeyName[] = "Invalid key name in macro: <%s>";
inline constexpr char kMacroNotFound[] = "Macro '%s' not found";
inline constexpr char kEnterMacroDefinition[] = "Please enter a macro definition.";
inline constexpr char kRecordingIndicator[] = "REC";
inline constexpr char kMacroEditorTitle[] = "Macro Editor: %s - %s";
inline constexpr char kMacroDefinitionLabel[] = "Macro definition:";
inline constexpr char kUseTerminalKeys[] = "Use terminal emulation keys";
inline constexpr char kSelectMacroTitle[] = "Select Macro - %s";
inline constexpr char kSelectMacroList[] = "Select &Macro";

// The Macros menu.
inline constexpr char kMacrosMenu[] = "&Macros";
inline constexpr char kStartRecording[] = "&Start Recording";
inline constexpr char kStopRecording[] = "St&op Recording";
inline constexpr const char* kMacroSubmenus[] = {"&Replay", "&Edit", "&Delete", "&Assign Key"};
inline constexpr char kMacroMenuItem[] = "&%d %s";
inline constexpr char kMoreMacros[] = "&More Macros...";
inline constexpr char kEmptyMenu[] = "(Empty)";

// Toolbars.
inline constexpr char kCantCreateToolbar[] = "Can't create toolbar";
inline constexpr char kCantDeleteDefaultToolbar[] = "Can't delete the default keypad toolbar";
inline constexpr char kSelectKeypadToolbar[] = "Please select a keypad toolbar";
inline constexpr char kSeparatorName[] = "Separator";

}  // namespace corvina::keyboard_texts
