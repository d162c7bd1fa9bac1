// The key function, AID and VT sequence tables, in the order the keyboard
// setup dialog lists them and keyboard maps write them.
#include "keyboard/KeyFunctionTables.h"

#include <cctype>
#include <iterator>

#include "keyboard/KeyFunctions.h"

namespace corvina {

using namespace std::string_view_literals;

namespace {

// Default and VT52 sequences of one VT identifier.
struct VtSequenceRow {
  int id;
  std::string_view normal;
  std::string_view vt52;
};

constexpr KeyFunctionRow kSystemRows[] = {
    {kf::sys::kHostConnect, 0, {}, "HostConnect", "Connect to a host computer\nConnect\nConn"},
    {kf::sys::kHostClose, 0, {}, "HostClose", "Disconnect from Host\nDisconnect\nDisc"},
    {kf::sys::kHostSave, 0, {}, "HostSave", "Save the current screen image\nSave"},
    {kf::sys::kHostSaveAs, 0, {}, "HostSaveAs", "Save the current screen image with a new name\nSave As"},
    {kf::sys::kHostPrint, 0, {}, "HostPrint", "Print the current screen image\nPrintScreen"},
    {kf::sys::kHostPrintScreen, 0, {}, "HostPrintScreen", "Print the current screen image\nPrintScreen"},
    {kf::sys::kHostPrintSetup, 0, {}, "HostPrintSetup", "Change the printer and printing options\nPrint Setup"},
    {kf::sys::kHostPrintPreview, 0, {}, "HostPrintPreview", "Preview how the current screen image will look when printed\nPrint Preview"},
    {kf::sys::kHostFileTransfer, 0, {}, "HostFileTransfer", "Transfer a file to/from the host\nFile Transfer\nTrans"},
    {kf::sys::kHostCancelFileTransfer, 0, {}, "HostCancelFileTransfer", "Cancel File Transfer\nCancel"},
    {kf::sys::kHostRunScript, 0, {}, "HostRunScript", "Run a script file\nRun Script\nScript"},
    {kf::sys::kHostCancelScript, 0, {}, "HostCancelScript", "Cancel an active script\nCancel Script"},
    {kf::sys::kHostSession1, 0, {}, "HostSession1", "Activate this session\nSession 1\nSess 1"},
    {kf::sys::kHostSession2, 0, {}, "HostSession2", "Activate this session\nSession 2\nSess 2"},
    {kf::sys::kHostSession3, 0, {}, "HostSession3", "Activate this session\nSession 3\nSess 3"},
    {kf::sys::kHostSession4, 0, {}, "HostSession4", "Activate this session\nSession 4\nSess 4"},
    {kf::sys::kHostSession5, 0, {}, "HostSession5", "Activate this session\nSession 5\nSess 5"},
    {kf::sys::kHostSession6, 0, {}, "HostSession6", "Activate this session\nSession 6\nSess 6"},
    {kf::sys::kHostSession7, 0, {}, "HostSession7", "Activate this session\nSession 7\nSess 7"},
    {kf::sys::kHostSession8, 0, {}, "HostSession8", "Activate this session\nSession 8\nSess 8"},
    {kf::sys::kHostSession9, 0, {}, "HostSession9", "Activate this session\nSession 9\nSess 9"},
    {kf::sys::kHostExit, 0, {}, "HostExit", "Quit the application\nExit"},
    {kf::sys::kEditCut, 0, {}, "EditCut", "Cut the selection and put it on the Clipboard\nCut"},
    {kf::sys::kEditCutAppend, 0, {}, "EditCutAppend", "Cut the selection and append it to the clipboard\nCut Append"},
    {kf::sys::kEditCopy, 0, {}, "EditCopy", "Copy the selection and put it on the Clipboard\nCopy"},
    {kf::sys::kEditCopyAppend, 0, {}, "EditCopyAppend", "Copy the selection and append it to the clipboard\nCopy Append"},
    {kf::sys::kEditPaste, 0, {}, "EditPaste", "Insert clipboard contents at the cursor location\nPaste"},
    {kf::sys::kEditPasteContinue, 0, {}, "EditPasteContinue", "Continue inserting clipboard contents at the cursor location\nPaste Continue"},
    {kf::sys::kEditSelectAll, 0, {}, "EditSelectAll", "Select the entire screen image\nSelect All"},
    {kf::sys::kEditDeselect, 0, {}, "EditDeselect", "Remove the selection\nDeselect"},
    {kf::sys::kEditPrintClipboard, 0, {}, "EditPrintClipboard", "Print the clipboard data\nPrint Clipboard"},
    {kf::sys::kEditSaveClipboard, 0, {}, "EditSaveClipboard", "Save the clipboard data to a disk file\nSave Clipboard"},
    {kf::sys::kViewStandardToolbar, 0, {}, "ViewStandardToolbar", "Show or hide the standard toolbar\nToggle Standard ToolBar"},
    {kf::sys::kViewKeypadToolbar, 0, {}, "ViewKeypadToolbar", "Show or hide the keypad toolbar\nToggle Keypad ToolBar"},
    {kf::sys::kViewStatusBar, 0, {}, "ViewStatusBar", "Show or hide the status bar\nToggle StatusBar"},
    {kf::sys::kViewOperatorInformationArea, 0, {}, "ViewOperatorInformationArea", "Show or hide the operator information area\nToggle OIA"},
    {kf::sys::kViewFullScreen, 0, {}, "ViewFullScreen", "Toggles full screen mode on and off\nToggle full screen mode\nFull"},
    {kf::sys::kViewResponseTime, 0, {}, "ViewResponseTime", "Display the response time frequency distribution\nResponse Time"},
    {kf::sys::kViewNextSession, 0, {}, "ViewNextSession", "Cycle through sessions\nNext Session"},
    {kf::sys::kViewPreviousSession, 0, {}, "ViewPreviousSession", "Cycle backwards through sessions\nPrevious Session"},
    {kf::sys::kSetupSessions, 0, {}, "SetupSessions", "Setup session profiles\nSession Profiles"},
    {kf::sys::kSetupFont, 0, {}, "SetupFont", "Select a screen font\nScreen font\nFont"},
    {kf::sys::kSetupFontLarger, 0, {}, "SetupFontLarger", "Next larger font\nLarger font\nFont +"},
    {kf::sys::kSetupFontSmaller, 0, {}, "SetupFontSmaller", "Next smaller font\nSmaller font\nFont -"},
    {kf::sys::kMacroStartRecording, 0, {}, "MacroStartRecording", "Start recording keystrokes\nRecord"},
    {kf::sys::kMacroStopRecording, 0, {}, "MacroStopRecording", "Stop recording keystrokes\nStop Recording"},
    {kf::sys::kHelpTopics, 0, {}, "HelpTopics", "List Help topics\nHelp Topics"},
    {kf::sys::kPopupMenu, 0, {}, "PopupMenu", {}},
};

constexpr KeyFunctionRow k3270Rows[] = {
    {kf::ibm3270::kAttn, 0, "AQ", "Attn", "Attention Key\nAttention\nAttn"},
    {kf::ibm3270::kBackspace, 1, "<", "Backspace", "Backspace Key\nBackspace\nBkSp"},
    {kf::ibm3270::kBacktab, 1, "B", "Backtab", "Backtab Key\nBacktab\nBkTab"},
    {kf::ibm3270::kCentSign, 1, "S$", "CentSign", "Cent Sign Key\nCent Sign\nCent"},
    {kf::ibm3270::kClear, 0, "C", "Clear", "Clear Key\nClear\nClear"},
    {kf::ibm3270::kCursorDown, 1, "V", "CursorDown", "Cursor Down Key\nCursor Down\nDown"},
    {kf::ibm3270::kCursorLeft, 1, "L", "CursorLeft", "Cursor Left Key\nCursor Left\nLeft"},
    {kf::ibm3270::kCursorMove, 1, {}, "CursorMove", {}},
    {kf::ibm3270::kCursorRight, 1, "Z", "CursorRight", "Cursor Right Key\nCursor Right\nRight"},
    {kf::ibm3270::kCursorSelect, 1, "AJ", "CursorSelect", "Cursor Select Key\nCursor Select\nCurSel"},
    {kf::ibm3270::kCursorUp, 1, "U", "CursorUp", "Cursor Up Key\nCursor Up\nUp"},
    {kf::ibm3270::kDelete, 1, "D", "Delete", "Delete Key\nDelete\nDel"},
    {kf::ibm3270::kDup, 1, "Sx", "Dup", "Dup Key\nDup\nDup"},
    {kf::kEditSelectionDown, 1, {}, "EditSelectionDown", {}},
    {kf::kEditSelectionLeft, 1, {}, "EditSelectionLeft", {}},
    {kf::kEditSelectionRight, 1, {}, "EditSelectionRight", {}},
    {kf::kEditSelectionUp, 1, {}, "EditSelectionUp", {}},
    {kf::ibm3270::kEnter, 0, "E", "Enter", "Enter Key\nEnter\nEnter"},
    {kf::ibm3270::kEraseEof, 0, "F", "EraseEof", "Erase Eof Key\nErase Eof\nErsEof"},
    {kf::ibm3270::kEraseInput, 0, "AF", "EraseInput", "Erase Input Key\nErase Input\nErsInp"},
    {kf::ibm3270::kFastCursorDown, 1, "AV", "FastCursorDown", {}},
    {kf::ibm3270::kFastCursorLeft, 1, "AL", "FastCursorLeft", {}},
    {kf::ibm3270::kFastCursorRight, 1, "AZ", "FastCursorRight", {}},
    {kf::ibm3270::kFastCursorUp, 1, "AU", "FastCursorUp", {}},
    {kf::ibm3270::kFieldEnd, 0, "q", "FieldEnd", "End Key\nEnd\nEnd"},
    {kf::ibm3270::kFieldMark, 1, "Sy", "FieldMark", "Field Mark Key\nField Mark\nFmark"},
    {kf::ibm3270::kHome, 0, "0", "Home", "Home Key\nHome\nHome"},
    {kf::kHotspot, 0, {}, "Hotspot", {}},
    {kf::ibm3270::kInsert, 0, "AI", "Insert", "Insert Key\nInsert\nInsert"},
    {kf::ibm3270::kInsertOn, 0, "I", "InsertOn", {}},
    {kf::ibm3270::kNewline, 1, "N", "Newline", "New Line Key\nNew Line\nNewLn"},
    {kf::ibm3270::kPA1, 0, "x", "PA1", "PA1 Key\nPA1"},
    {kf::ibm3270::kPA2, 0, "y", "PA2", "PA2 Key\nPA2"},
    {kf::ibm3270::kPA3, 0, "z", "PA3", "PA3 Key\nPA3"},
    {kf::ibm3270::kPF1, 0, "1", "PF1", "PF1 Key\nPF1"},
    {kf::ibm3270::kPF2, 0, "2", "PF2", "PF2 Key\nPF2"},
    {kf::ibm3270::kPF3, 0, "3", "PF3", "PF3 Key\nPF3"},
    {kf::ibm3270::kPF4, 0, "4", "PF4", "PF4 Key\nPF4"},
    {kf::ibm3270::kPF5, 0, "5", "PF5", "PF5 Key\nPF5"},
    {kf::ibm3270::kPF6, 0, "6", "PF6", "PF6 Key\nPF6"},
    {kf::ibm3270::kPF7, 0, "7", "PF7", "PF7 Key\nPF7"},
    {kf::ibm3270::kPF8, 0, "8", "PF8", "PF8 Key\nPF8"},
    {kf::ibm3270::kPF9, 0, "9", "PF9", "PF9 Key\nPF9"},
    {kf::ibm3270::kPF10, 0, "a", "PF10", "PF10 Key\nPF10"},
    {kf::ibm3270::kPF11, 0, "b", "PF11", "PF11 Key\nPF11"},
    {kf::ibm3270::kPF12, 0, "c", "PF12", "PF12 Key\nPF12"},
    {kf::ibm3270::kPF13, 0, "d", "PF13", "PF13 Key\nPF13"},
    {kf::ibm3270::kPF14, 0, "e", "PF14", "PF14 Key\nPF14"},
    {kf::ibm3270::kPF15, 0, "f", "PF15", "PF15 Key\nPF15"},
    {kf::ibm3270::kPF16, 0, "g", "PF16", "PF16 Key\nPF16"},
    {kf::ibm3270::kPF17, 0, "h", "PF17", "PF17 Key\nPF17"},
    {kf::ibm3270::kPF18, 0, "i", "PF18", "PF18 Key\nPF18"},
    {kf::ibm3270::kPF19, 0, "j", "PF19", "PF19 Key\nPF19"},
    {kf::ibm3270::kPF20, 0, "k", "PF20", "PF20 Key\nPF20"},
    {kf::ibm3270::kPF21, 0, "l", "PF21", "PF21 Key\nPF21"},
    {kf::ibm3270::kPF22, 0, "m", "PF22", "PF22 Key\nPF22"},
    {kf::ibm3270::kPF23, 0, "n", "PF23", "PF23 Key\nPF23"},
    {kf::ibm3270::kPF24, 0, "o", "PF24", "PF24 Key\nPF24"},
    {kf::ibm3270::kReset, 0, "R", "Reset", "Reset Key\nReset\nReset"},
    {kf::ibm3270::kSystemRequest, 0, "AH", "SystemRequest", "System Request Key\nSystem Request\nSysreq"},
    {kf::ibm3270::kTab, 1, "T", "Tab", "Tab Key\nTab\nTab"},
    {kf::ibm3270::kTestRequest, 0, "AC", "TestRequest", "Test Request Key\nTest Request\nTstreq"},
    {kf::kToggleCrossHairCursor, 0, {}, "ToggleCrossHairCursor", {}},
    {kf::ibm3270::kWordDelete, 1, "AD", "WordDelete", {}},
    {kf::ibm3270::kWordLeft, 1, "Az", "WordLeft", {}},
    {kf::ibm3270::kWordRight, 1, "Ay", "WordRight", {}},
    {kf::kCursorTo, 2, {}, "CursorTo", {}},
};

constexpr KeyFunctionRow k5250Rows[] = {
    {kf::ibm5250::kAttn, 0, "AQ", "Attn", "Attention Key\nAttention\nAttn"},
    {kf::ibm5250::kBackspace, 1, "<", "Backspace", "Backspace Key\nBackspace\nBkSp"},
    {kf::ibm5250::kBacktab, 1, "B", "Backtab", "Backtab Key\nBacktab\nBkTab"},
    {kf::ibm5250::kCentSign, 1, "S$", "CentSign", "Cent Sign Key\nCent Sign\nCent"},
    {kf::ibm5250::kClear, 0, "C", "Clear", "Clear Key\nClear"},
    {kf::ibm5250::kCursorDown, 1, "V", "CursorDown", "Cursor Down Key\nCursor Down\nDown"},
    {kf::ibm5250::kCursorLeft, 1, "L", "CursorLeft", "Cursor Left Key\nCursor Left\nLeft"},
    {kf::ibm5250::kCursorMove, 1, {}, "CursorMove", {}},
    {kf::ibm5250::kCursorRight, 1, "Z", "CursorRight", "Cursor Right Key\nCursor Right\nRight"},
    {kf::ibm5250::kCursorSelect, 1, "AJ", "CursorSelect", {}},
    {kf::ibm5250::kCursorUp, 1, "U", "CursorUp", "Cursor Up Key\nCursor Up\nUp"},
    {kf::ibm5250::kDelete, 1, "D", "Delete", "Delete Key\nDelete\nDel"},
    {kf::ibm5250::kDup, 1, "Sx", "Dup", "Dup Key\nDup"},
    {kf::kEditSelectionDown, 1, {}, "EditSelectionDown", {}},
    {kf::kEditSelectionLeft, 1, {}, "EditSelectionLeft", {}},
    {kf::kEditSelectionRight, 1, {}, "EditSelectionRight", {}},
    {kf::kEditSelectionUp, 1, {}, "EditSelectionUp", {}},
    {kf::ibm5250::kEnter, 0, "E", "Enter", "Enter Key\nEnter"},
    {kf::ibm5250::kEraseEof, 0, "F", "EraseEof", "Erase Eof Key\nErase Eof\nErsEof"},
    {kf::ibm5250::kEraseInput, 0, "AF", "EraseInput", "Erase Input Key\nErase Input\nErsInp"},
    {kf::ibm5250::kErrorReset, 0, "R", "ErrorReset", "Reset Key\nReset"},
    {kf::ibm5250::kFastCursorDown, 1, "AV", "FastCursorDown", {}},
    {kf::ibm5250::kFastCursorLeft, 1, "AL", "FastCursorLeft", {}},
    {kf::ibm5250::kFastCursorRight, 1, "AZ", "FastCursorRight", {}},
    {kf::ibm5250::kFastCursorUp, 1, "AU", "FastCursorUp", {}},
    {kf::ibm5250::kFieldEnd, 0, "q", "FieldEnd", "End Key\nEnd"},
    {kf::ibm5250::kFieldExit, 1, "AE", "FieldExit", "Field Exit Key\nField Exit\nFldxit"},
    {kf::ibm5250::kFieldMark, 1, "Sy", "FieldMark", "Field Mark Key\nField Mark\nFmark"},
    {kf::ibm5250::kFieldMinus, 1, "A-", "FieldMinus", "Field Minus Key\nField Minus\nFld -"},
    {kf::ibm5250::kFieldPlus, 1, "A+", "FieldPlus", "Field Plus Key\nField Plus\nFld +"},
    {kf::ibm5250::kF1, 0, "1", "F1", "F1 Key\nF1"},
    {kf::ibm5250::kF2, 0, "2", "F2", "F2 Key\nF2"},
    {kf::ibm5250::kF3, 0, "3", "F3", "F3 Key\nF3"},
    {kf::ibm5250::kF4, 0, "4", "F4", "F4 Key\nF4"},
    {kf::ibm5250::kF5, 0, "5", "F5", "F5 Key\nF5"},
    {kf::ibm5250::kF6, 0, "6", "F6", "F6 Key\nF6"},
    {kf::ibm5250::kF7, 0, "7", "F7", "F7 Key\nF7"},
    {kf::ibm5250::kF8, 0, "8", "F8", "F8 Key\nF8"},
    {kf::ibm5250::kF9, 0, "9", "F9", "F9 Key\nF9"},
    {kf::ibm5250::kF10, 0, "a", "F10", "F10 Key\nF10"},
    {kf::ibm5250::kF11, 0, "b", "F11", "F11 Key\nF11"},
    {kf::ibm5250::kF12, 0, "c", "F12", "F12 Key\nF12"},
    {kf::ibm5250::kF13, 0, "d", "F13", "F13 Key\nF13"},
    {kf::ibm5250::kF14, 0, "e", "F14", "F14 Key\nF14"},
    {kf::ibm5250::kF15, 0, "f", "F15", "F15 Key\nF15"},
    {kf::ibm5250::kF16, 0, "g", "F16", "F16 Key\nF16"},
    {kf::ibm5250::kF17, 0, "h", "F17", "F17 Key\nF17"},
    {kf::ibm5250::kF18, 0, "i", "F18", "F18 Key\nF18"},
    {kf::ibm5250::kF19, 0, "j", "F19", "F19 Key\nF19"},
    {kf::ibm5250::kF20, 0, "k", "F20", "F20 Key\nF20"},
    {kf::ibm5250::kF21, 0, "l", "F21", "F21 Key\nF21"},
    {kf::ibm5250::kF22, 0, "m", "F22", "F22 Key\nF22"},
    {kf::ibm5250::kF23, 0, "n", "F23", "F23 Key\nF23"},
    {kf::ibm5250::kF24, 0, "o", "F24", "F24 Key\nF24"},
    {kf::ibm5250::kHelp, 0, "H", "Help", "Help Key\nHelp"},
    {kf::ibm5250::kHome, 0, "0", "Home", "Home Key\nHome"},
    {kf::kHotspot, 0, {}, "Hotspot", {}},
    {kf::ibm5250::kInsert, 0, "AI", "Insert", "Insert Key\nInsert"},
    {kf::ibm5250::kInsertOn, 0, "I", "InsertOn", {}},
    {kf::ibm5250::kNewline, 1, "N", "Newline", "New Line Key\nNew Line\nNewLn"},
    {kf::ibm5250::kPA1, 0, "x", "PA1", "PA1 Key\nPA1"},
    {kf::ibm5250::kPA2, 0, "y", "PA2", "PA2 Key\nPA2"},
    {kf::ibm5250::kPA3, 0, "z", "PA3", "PA3 Key\nPA3"},
    {kf::ibm5250::kPrint, 0, "At", "Print", {}},
    {kf::ibm5250::kRollDownPageUp, 0, "u", "RollDown/PageUp", "Page Up Key\nPage Up\nPgUp"},
    {kf::ibm5250::kRollUpPageDown, 0, "v", "RollUp/PageDown", "Page Down Key\nPage Down\nPgDn"},
    {kf::ibm5250::kSystemRequest, 0, "AH", "SystemRequest", "System Request Key\nSystem Request\nSysreq"},
    {kf::ibm5250::kTab, 1, "T", "Tab", "Tab Key\nTab\nTab"},
    {kf::kToggleCrossHairCursor, 0, {}, "ToggleCrossHairCursor", {}},
    {kf::ibm5250::kWordDelete, 1, "AD", "WordDelete", {}},
    {kf::ibm5250::kWordLeft, 1, "Az", "WordLeft", {}},
    {kf::ibm5250::kWordRight, 1, "Ay", "WordRight", {}},
    {kf::kCursorTo, 2, {}, "CursorTo", {}},
};

constexpr KeyFunctionRow kVtRows[] = {
    {kf::vt::kBackspace, 1, "<", "Backspace", "Backspace Key\nBackspace\nBkSp"},
    {kf::vt::kBacktab, 1, "B", "Backtab", {}},
    {kf::vt::kClear, 1, "C", "Clear", {}},
    {kf::vt::kCursorDown, 1, "V", "CursorDown", "Cursor Down Key\nCursor Down\nDown"},
    {kf::vt::kCursorDownApplMode, 1, {}, "CursorDownApplMode", {}},
    {kf::vt::kCursorLeft, 1, "L", "CursorLeft", "Cursor Left Key\nCursor Left\nLeft"},
    {kf::vt::kCursorLeftApplMode, 1, {}, "CursorLeftApplMode", {}},
    {kf::vt::kCursorRight, 1, "Z", "CursorRight", "Cursor Right Key\nCursor Right\nRight"},
    {kf::vt::kCursorRightApplMode, 1, {}, "CursorRightApplMode", {}},
    {kf::vt::kCursorUp, 1, "U", "CursorUp", "Cursor Up Key\nCursor Up\nUp"},
    {kf::vt::kCursorUpApplMode, 1, {}, "CursorUpApplMode", {}},
    {kf::vt::kDelete, 1, "D", "Delete", "Delete Key\nDelete\nDel"},
    {kf::kEditSelectionDown, 1, {}, "EditSelectionDown", {}},
    {kf::kEditSelectionLeft, 1, {}, "EditSelectionLeft", {}},
    {kf::kEditSelectionRight, 1, {}, "EditSelectionRight", {}},
    {kf::kEditSelectionUp, 1, {}, "EditSelectionUp", {}},
    {kf::vt::kEnter, 1, "E", "Enter", "Return Key\nReturn"},
    {kf::vt::kEscape, 1, {}, "Escape", "Escape Key\nEscape\nEsc"},
    {kf::vt::kKeypad0, 1, {}, "Keypad0", {}},
    {kf::vt::kKeypad0ApplMode, 1, {}, "Keypad0ApplMode", {}},
    {kf::vt::kKeypad1, 1, {}, "Keypad1", {}},
    {kf::vt::kKeypad1ApplMode, 1, {}, "Keypad1ApplMode", {}},
    {kf::vt::kKeypad2, 1, {}, "Keypad2", {}},
    {kf::vt::kKeypad2ApplMode, 1, {}, "Keypad2ApplMode", {}},
    {kf::vt::kKeypad3, 1, {}, "Keypad3", {}},
    {kf::vt::kKeypad3ApplMode, 1, {}, "Keypad3ApplMode", {}},
    {kf::vt::kKeypad4, 1, {}, "Keypad4", {}},
    {kf::vt::kKeypad4ApplMode, 1, {}, "Keypad4ApplMode", {}},
    {kf::vt::kKeypad5, 1, {}, "Keypad5", {}},
    {kf::vt::kKeypad5ApplMode, 1, {}, "Keypad5ApplMode", {}},
    {kf::vt::kKeypad6, 1, {}, "Keypad6", {}},
    {kf::vt::kKeypad6ApplMode, 1, {}, "Keypad6ApplMode", {}},
    {kf::vt::kKeypad7, 1, {}, "Keypad7", {}},
    {kf::vt::kKeypad7ApplMode, 1, {}, "Keypad7ApplMode", {}},
    {kf::vt::kKeypad8, 1, {}, "Keypad8", {}},
    {kf::vt::kKeypad8ApplMode, 1, {}, "Keypad8ApplMode", {}},
    {kf::vt::kKeypad9, 1, {}, "Keypad9", {}},
    {kf::vt::kKeypad9ApplMode, 1, {}, "Keypad9ApplMode", {}},
    {kf::vt::kKeypadComma, 1, {}, "KeypadComma", {}},
    {kf::vt::kKeypadCommaApplMode, 1, {}, "KeypadCommaApplMode", {}},
    {kf::vt::kKeypadDecimal, 1, {}, "KeypadDecimal", {}},
    {kf::vt::kKeypadDecimalApplMode, 1, {}, "KeypadDecimalApplMode", {}},
    {kf::vt::kKeypadEnter, 1, {}, "KeypadEnter", {}},
    {kf::vt::kKeypadEnterApplMode, 1, {}, "KeypadEnterApplMode", {}},
    {kf::vt::kKeypadMinus, 1, {}, "KeypadMinus", {}},
    {kf::vt::kKeypadMinusApplMode, 1, {}, "KeypadMinusApplMode", {}},
    {kf::vt::kLineFeed, 1, "N", "LineFeed", "Line Feed Key\nLine Feed"},
    {kf::vt::kNull, 1, {}, "Null", {}},
    {kf::vt::kPF1, 1, "A1", "PF1", "PF1 Key\nPF1"},
    {kf::vt::kPF2, 1, "A2", "PF2", "PF2 Key\nPF2"},
    {kf::vt::kPF3, 1, "A3", "PF3", "PF3 Key\nPF3"},
    {kf::vt::kPF4, 1, "A4", "PF4", "PF4 Key\nPF4"},
    {kf::vt::kScrollLineUp, 1, {}, "ScrollLineUp", {}},
    {kf::vt::kScrollLineDown, 1, {}, "ScrollLineDown", {}},
    {kf::vt::kScrollPageUp, 1, {}, "ScrollPageUp", {}},
    {kf::vt::kScrollPageDown, 1, {}, "ScrollPageDown", {}},
    {kf::vt::kScrollHome, 1, {}, "ScrollHome", {}},
    {kf::vt::kScrollEnd, 1, {}, "ScrollEnd", {}},
    {kf::vt::kTab, 1, "T", "Tab", "Tab Key\nTab"},
    {kf::kToggleCrossHairCursor, 1, {}, "ToggleCrossHairCursor", {}},
    {kf::vt::kF1, 1, "1", "F1", "F1 Key\nF1"},
    {kf::vt::kF2, 1, "2", "F2", "F2 Key\nF2"},
    {kf::vt::kF3, 1, "3", "F3", "F3 Key\nF3"},
    {kf::vt::kF4, 1, "4", "F4", "F4 Key\nF4"},
    {kf::vt::kF5, 1, "5", "F5", "F5 Key\nF5"},
    {kf::vt::kF6, 1, "6", "F6", "F6 Key\nF6"},
    {kf::vt::kF7, 1, "7", "F7", "F7 Key\nF7"},
    {kf::vt::kF8, 1, "8", "F8", "F8 Key\nF8"},
    {kf::vt::kF9, 1, "9", "F9", "F9 Key\nF9"},
    {kf::vt::kF10, 1, "a", "F10", "F10 Key\nF10"},
    {kf::vt::kF11, 1, "b", "F11", "F11 Key\nF11"},
    {kf::vt::kF12, 1, "c", "F12", "F12 Key\nF12"},
    {kf::vt::kF13, 1, "d", "F13", "F13 Key\nF13"},
    {kf::vt::kF14, 1, "e", "F14", "F14 Key\nF14"},
    {kf::vt::kF15Help, 1, "f", "F15(Help)", "F15 Key\nF15"},
    {kf::vt::kF16Do, 1, "g", "F16(Do)", "F16 Key\nF16"},
    {kf::vt::kF17, 1, "h", "F17", "F17 Key\nF17"},
    {kf::vt::kF18, 1, "i", "F18", "F18 Key\nF18"},
    {kf::vt::kF19, 1, "j", "F19", "F19 Key\nF19"},
    {kf::vt::kF20, 1, "k", "F20", "F20 Key\nF20"},
    {kf::vt::kF21, 1, "l", "F21", {}},
    {kf::vt::kF22, 1, "m", "F22", {}},
    {kf::vt::kF23, 1, "n", "F23", {}},
    {kf::vt::kF24, 1, "o", "F24", {}},
    {kf::vt::kF25, 1, "S1", "F25", {}},
    {kf::vt::kF26, 1, "S2", "F26", {}},
    {kf::vt::kF27, 1, "S3", "F27", {}},
    {kf::vt::kF28, 1, "S4", "F28", {}},
    {kf::vt::kF29, 1, "S5", "F29", {}},
    {kf::vt::kF30, 1, "S6", "F30", {}},
    {kf::vt::kF31, 1, "S7", "F31", {}},
    {kf::vt::kF32, 1, "S8", "F32", {}},
    {kf::vt::kF33, 1, "S9", "F33", {}},
    {kf::vt::kF34, 1, "Sa", "F34", {}},
    {kf::vt::kF35, 1, "Sb", "F35", {}},
    {kf::vt::kF36, 1, "Sc", "F36", {}},
    {kf::vt::kF37, 1, "Sd", "F37", {}},
    {kf::vt::kF38, 1, "Se", "F38", {}},
    {kf::vt::kF39, 1, "Sf", "F39", {}},
    {kf::vt::kF40, 1, "Sg", "F40", {}},
    {kf::vt::kF41, 1, "Sh", "F41", {}},
    {kf::vt::kF42, 1, "Si", "F42", {}},
    {kf::vt::kF43, 1, "Sj", "F43", {}},
    {kf::vt::kF44, 1, "Sk", "F44", {}},
    {kf::vt::kF45, 1, "Sl", "F45", {}},
    {kf::vt::kF46, 1, "Sm", "F46", {}},
    {kf::vt::kF47, 1, "Sn", "F47", {}},
    {kf::vt::kF48, 1, "So", "F48", {}},
    {kf::vt::kF49, 1, "A1", "F49", {}},
    {kf::vt::kF50, 1, "A2", "F50", {}},
    {kf::vt::kF51, 1, "A3", "F51", {}},
    {kf::vt::kF52, 1, "A4", "F52", {}},
    {kf::vt::kF53, 1, "A5", "F53", {}},
    {kf::vt::kF54, 1, "A6", "F54", {}},
    {kf::vt::kF55, 1, "A7", "F55", {}},
    {kf::vt::kF56, 1, "A8", "F56", {}},
    {kf::vt::kF57, 1, "A9", "F57", {}},
    {kf::vt::kF58, 1, "Aa", "F58", {}},
    {kf::vt::kF59, 1, "Ab", "F59", {}},
    {kf::vt::kF60, 1, "Ac", "F60", {}},
    {kf::vt::kUDK1, 1, {}, "UDK1", {}},
    {kf::vt::kUDK2, 1, {}, "UDK2", {}},
    {kf::vt::kUDK3, 1, {}, "UDK3", {}},
    {kf::vt::kUDK4, 1, {}, "UDK4", {}},
    {kf::vt::kUDK5, 1, {}, "UDK5", {}},
    {kf::vt::kUDK6, 1, {}, "UDK6", {}},
    {kf::vt::kUDK7, 1, {}, "UDK7", {}},
    {kf::vt::kUDK8, 1, {}, "UDK8", {}},
    {kf::vt::kUDK9, 1, {}, "UDK9", {}},
    {kf::vt::kUDK10, 1, {}, "UDK10", {}},
    {kf::vt::kUDK11, 1, {}, "UDK11", {}},
    {kf::vt::kUDK12, 1, {}, "UDK12", {}},
    {kf::vt::kUDK13, 1, {}, "UDK13", {}},
    {kf::vt::kUDK14, 1, {}, "UDK14", {}},
    {kf::vt::kUDK15, 1, {}, "UDK15", {}},
    {kf::vt::kUDK16, 1, {}, "UDK16", {}},
    {kf::vt::kUDK17, 1, {}, "UDK17", {}},
    {kf::vt::kUDK18, 1, {}, "UDK18", {}},
    {kf::vt::kUDK19, 1, {}, "UDK19", {}},
    {kf::vt::kUDK20, 1, {}, "UDK20", {}},
    {kf::vt::kHomeFind, 1, "0", "Home(Find)", "Home Key\nHome"},
    {kf::vt::kEndSelect, 1, "q", "End(Select)", "End Key\nEnd"},
    {kf::vt::kInsert, 1, "I", "Insert", "Insert Key\nInsert\nIns"},
    {kf::vt::kDelVT220, 1, "AD", "Del(VT220)", "Delete Key\nDelete"},
    {kf::vt::kPageUp, 1, "u", "PageUp", "Page Up Key\nPage Up\nPgUp"},
    {kf::vt::kPageDown, 1, "v", "PageDown", "Page Down Key\nPage Down\nPgDn"},
    {kf::vt::kTelnetAbortOutput, 1, {}, "TelnetAbortOutput", {}},
    {kf::vt::kTelnetAreYouThere, 1, {}, "TelnetAreYouThere", {}},
    {kf::vt::kTelnetBreak, 1, {}, "TelnetBreak", {}},
    {kf::vt::kTelnetEraseCharacter, 1, {}, "TelnetEraseCharacter", {}},
    {kf::vt::kTelnetEraseLine, 1, {}, "TelnetEraseLine", {}},
    {kf::vt::kTelnetInterruptProcess, 1, {}, "TelnetInterruptProcess", {}},
};

constexpr AidRow k3270Aids[] = {
    {0xF1, kf::ibm3270::kPF1, "PF1"},
    {0xF2, kf::ibm3270::kPF2, "PF2"},
    {0xF3, kf::ibm3270::kPF3, "PF3"},
    {0xF4, kf::ibm3270::kPF4, "PF4"},
    {0xF5, kf::ibm3270::kPF5, "PF5"},
    {0xF6, kf::ibm3270::kPF6, "PF6"},
    {0xF7, kf::ibm3270::kPF7, "PF7"},
    {0xF8, kf::ibm3270::kPF8, "PF8"},
    {0xF9, kf::ibm3270::kPF9, "PF9"},
    {0x7A, kf::ibm3270::kPF10, "PF10"},
    {0x7B, kf::ibm3270::kPF11, "PF11"},
    {0x7C, kf::ibm3270::kPF12, "PF12"},
    {0xC1, kf::ibm3270::kPF13, "PF13"},
    {0xC2, kf::ibm3270::kPF14, "PF14"},
    {0xC3, kf::ibm3270::kPF15, "PF15"},
    {0xC4, kf::ibm3270::kPF16, "PF16"},
    {0xC5, kf::ibm3270::kPF17, "PF17"},
    {0xC6, kf::ibm3270::kPF18, "PF18"},
    {0xC7, kf::ibm3270::kPF19, "PF19"},
    {0xC8, kf::ibm3270::kPF20, "PF20"},
    {0xC9, kf::ibm3270::kPF21, "PF21"},
    {0x4A, kf::ibm3270::kPF22, "PF22"},
    {0x4B, kf::ibm3270::kPF23, "PF23"},
    {0x4C, kf::ibm3270::kPF24, "PF24"},
    {0x6C, kf::ibm3270::kPA1, "PA1"},
    {0x6E, kf::ibm3270::kPA2, "PA2"},
    {0x6B, kf::ibm3270::kPA3, "PA3"},
    {0x6D, kf::ibm3270::kClear, "CLEAR"},
    {0x7D, kf::ibm3270::kEnter, "ENTER"},
    {0x7E, kf::ibm3270::kCursorSelect, {}},
};

constexpr AidRow k5250Aids[] = {
    {0x31, kf::ibm5250::kF1, "F1"},
    {0x32, kf::ibm5250::kF2, "F2"},
    {0x33, kf::ibm5250::kF3, "F3"},
    {0x34, kf::ibm5250::kF4, "F4"},
    {0x35, kf::ibm5250::kF5, "F5"},
    {0x36, kf::ibm5250::kF6, "F6"},
    {0x37, kf::ibm5250::kF7, "F7"},
    {0x38, kf::ibm5250::kF8, "F8"},
    {0x39, kf::ibm5250::kF9, "F9"},
    {0x3A, kf::ibm5250::kF10, "F10"},
    {0x3B, kf::ibm5250::kF11, "F11"},
    {0x3C, kf::ibm5250::kF12, "F12"},
    {0xB1, kf::ibm5250::kF13, "F13"},
    {0xB2, kf::ibm5250::kF14, "F14"},
    {0xB3, kf::ibm5250::kF15, "F15"},
    {0xB4, kf::ibm5250::kF16, "F16"},
    {0xB5, kf::ibm5250::kF17, "F17"},
    {0xB6, kf::ibm5250::kF18, "F18"},
    {0xB7, kf::ibm5250::kF19, "F19"},
    {0xB8, kf::ibm5250::kF20, "F20"},
    {0xB9, kf::ibm5250::kF21, "F21"},
    {0xBA, kf::ibm5250::kF22, "F22"},
    {0xBB, kf::ibm5250::kF23, "F23"},
    {0xBC, kf::ibm5250::kF24, "F24"},
    {0x6C, kf::ibm5250::kPA1, "PA1"},
    {0x6E, kf::ibm5250::kPA2, "PA2"},
    {0x6B, kf::ibm5250::kPA3, "PA3"},
    {0xBD, kf::ibm5250::kClear, "CLEAR"},
    {0xF1, kf::ibm5250::kEnter, "ENTER"},
    {0xF3, kf::ibm5250::kHelp, "HELP"},
    {0xF4, kf::ibm5250::kRollDownPageUp, {}},
    {0xF5, kf::ibm5250::kRollUpPageDown, {}},
    {0xF6, kf::ibm5250::kPrint, {}},
    {0xF8, kf::ibm5250::kRecordBackspace, {}},
    {0x3F, kf::ibm5250::kEnter, {}},
};

// One entry per identifier from 33101 to 33241; empty means none.
constexpr VtSequenceRow kVtSequences[] = {
    {kf::vt::kBackspace, "\010"sv, "\010"sv},
    {kf::vt::kCursorDown, "\033[B"sv, "\033B"sv},
    {kf::vt::kCursorLeft, "\033[D"sv, "\033D"sv},
    {kf::vt::kCursorRight, "\033[C"sv, "\033C"sv},
    {kf::vt::kCursorUp, "\033[A"sv, "\033A"sv},
    {kf::vt::kDelete, "\177"sv, "\177"sv},
    {kf::vt::kEscape, "\033"sv, "\033"sv},
    {kf::vt::kKeypad0, "0"sv, "0"sv},
    {kf::vt::kKeypad1, "1"sv, "1"sv},
    {kf::vt::kKeypad2, "2"sv, "2"sv},
    {kf::vt::kKeypad3, "3"sv, "3"sv},
    {kf::vt::kKeypad4, "4"sv, "4"sv},
    {kf::vt::kKeypad5, "5"sv, "5"sv},
    {kf::vt::kKeypad6, "6"sv, "6"sv},
    {kf::vt::kKeypad7, "7"sv, "7"sv},
    {kf::vt::kKeypad8, "8"sv, "8"sv},
    {kf::vt::kKeypad9, "9"sv, "9"sv},
    {kf::vt::kKeypadComma, ","sv, ","sv},
    {kf::vt::kKeypadDecimal, "."sv, "."sv},
    {kf::vt::kKeypadEnter, "\015"sv, "\015"sv},
    {kf::vt::kKeypadMinus, "-"sv, "-"sv},
    {kf::vt::kLineFeed, "\012"sv, "\012"sv},
    {kf::vt::kPF1, "\033OP"sv, "\033P"sv},
    {kf::vt::kPF2, "\033OQ"sv, "\033Q"sv},
    {kf::vt::kPF3, "\033OR"sv, "\033R"sv},
    {kf::vt::kPF4, "\033OS"sv, "\033S"sv},
    {kf::vt::kEnter, "\015\012"sv, "\015\012"sv},
    {kf::vt::kTab, "\011"sv, "\011"sv},
    {kf::vt::kCursorDownApplMode, "\033OB"sv, "\033B"sv},
    {kf::vt::kCursorLeftApplMode, "\033OD"sv, "\033D"sv},
    {kf::vt::kCursorRightApplMode, "\033OC"sv, "\033C"sv},
    {kf::vt::kCursorUpApplMode, "\033OA"sv, "\033A"sv},
    {kf::vt::kKeypad0ApplMode, "\033Op"sv, "\033?p"sv},
    {kf::vt::kKeypad1ApplMode, "\033Oq"sv, "\033?q"sv},
    {kf::vt::kKeypad2ApplMode, "\033Or"sv, "\033?r"sv},
    {kf::vt::kKeypad3ApplMode, "\033Os"sv, "\033?s"sv},
    {kf::vt::kKeypad4ApplMode, "\033Ot"sv, "\033?t"sv},
    {kf::vt::kKeypad5ApplMode, "\033Ou"sv, "\033?u"sv},
    {kf::vt::kKeypad6ApplMode, "\033Ov"sv, "\033?v"sv},
    {kf::vt::kKeypad7ApplMode, "\033Ow"sv, "\033?w"sv},
    {kf::vt::kKeypad8ApplMode, "\033Ox"sv, "\033?x"sv},
    {kf::vt::kKeypad9ApplMode, "\033Oy"sv, "\033?y"sv},
    {kf::vt::kKeypadCommaApplMode, "\033Ol"sv, "\033?l"sv},
    {kf::vt::kKeypadDecimalApplMode, "\033On"sv, "\033?n"sv},
    {kf::vt::kKeypadEnterApplMode, "\033OM"sv, "\033?M"sv},
    {kf::vt::kKeypadMinusApplMode, "\033Om"sv, "\033?m"sv},
    {kf::vt::kF1, "\033[11~"sv, {}},
    {kf::vt::kF2, "\033[12~"sv, {}},
    {kf::vt::kF3, "\033[13~"sv, {}},
    {kf::vt::kF4, "\033[14~"sv, {}},
    {kf::vt::kF5, "\033[15~"sv, {}},
    {kf::vt::kF6, "\033[17~"sv, {}},
    {kf::vt::kF7, "\033[18~"sv, {}},
    {kf::vt::kF8, "\033[19~"sv, {}},
    {kf::vt::kF9, "\033[20~"sv, {}},
    {kf::vt::kF10, "\033[21~"sv, {}},
    {kf::vt::kF11, "\033[23~"sv, {}},
    {kf::vt::kF12, "\033[24~"sv, {}},
    {kf::vt::kF13, "\033[25~"sv, {}},
    {kf::vt::kF14, "\033[26~"sv, {}},
    {kf::vt::kF15Help, "\033[28~"sv, {}},
    {kf::vt::kF16Do, "\033[29~"sv, {}},
    {kf::vt::kF17, "\033[31~"sv, {}},
    {kf::vt::kF18, "\033[32~"sv, {}},
    {kf::vt::kF19, "\033[33~"sv, {}},
    {kf::vt::kF20, "\033[34~"sv, {}},
    {kf::vt::kInsert, "\033[2~"sv, {}},
    {kf::vt::kDelVT220, "\033[3~"sv, {}},
    {kf::vt::kHomeFind, "\033[1~"sv, {}},
    {kf::vt::kEndSelect, "\033[4~"sv, {}},
    {kf::vt::kPageUp, "\033[5~"sv, {}},
    {kf::vt::kPageDown, "\033[6~"sv, {}},
    {kf::vt::kTelnetAbortOutput, "\377\365"sv, "\377\365"sv},
    {kf::vt::kTelnetAreYouThere, "\377\366"sv, "\377\366"sv},
    {kf::vt::kTelnetBreak, "\377\363"sv, "\377\363"sv},
    {kf::vt::kTelnetEraseCharacter, "\377\367"sv, "\377\367"sv},
    {kf::vt::kTelnetEraseLine, "\377\370"sv, "\377\370"sv},
    {kf::vt::kTelnetInterruptProcess, "\377\364"sv, "\377\364"sv},
    {kf::vt::kNull, "\000"sv, "\000"sv},
    {kf::vt::kF21, "\033[g"sv, {}},
    {kf::vt::kF22, "\033[h"sv, {}},
    {kf::vt::kF23, "\033[i"sv, {}},
    {kf::vt::kF24, "\033[j"sv, {}},
    {kf::vt::kF25, "\033[k"sv, {}},
    {kf::vt::kF26, "\033[l"sv, {}},
    {kf::vt::kF27, "\033[m"sv, {}},
    {kf::vt::kF28, "\033[n"sv, {}},
    {kf::vt::kF29, "\033[o"sv, {}},
    {kf::vt::kF30, "\033[p"sv, {}},
    {kf::vt::kF31, "\033[q"sv, {}},
    {kf::vt::kF32, "\033[r"sv, {}},
    {kf::vt::kF33, "\033[s"sv, {}},
    {kf::vt::kF34, "\033[t"sv, {}},
    {kf::vt::kF35, "\033[u"sv, {}},
    {kf::vt::kF36, "\033[v"sv, {}},
    {kf::vt::kF37, "\033[w"sv, {}},
    {kf::vt::kF38, "\033[x"sv, {}},
    {kf::vt::kF39, "\033[y"sv, {}},
    {kf::vt::kF40, "\033[z"sv, {}},
    {kf::vt::kF41, "\033[@"sv, {}},
    {kf::vt::kF42, "\033[["sv, {}},
    {kf::vt::kF43, "\033[\\"sv, {}},
    {kf::vt::kF44, "\033[]"sv, {}},
    {kf::vt::kF45, "\033[^"sv, {}},
    {kf::vt::kF46, "\033[_"sv, {}},
    {kf::vt::kF47, "\033[,"sv, {}},
    {kf::vt::kF48, "\033[{"sv, {}},
    {kf::vt::kF49, "\033[w"sv, {}},
    {kf::vt::kF50, "\033[x"sv, {}},
    {kf::vt::kF51, "\033[y"sv, {}},
    {kf::vt::kF52, "\033[z"sv, {}},
    {kf::vt::kF53, "\033[@"sv, {}},
    {kf::vt::kF54, "\033[["sv, {}},
    {kf::vt::kF55, "\033[\\"sv, {}},
    {kf::vt::kF56, "\033[]"sv, {}},
    {kf::vt::kF57, "\033[^"sv, {}},
    {kf::vt::kF58, "\033[_"sv, {}},
    {kf::vt::kF59, "\033[,"sv, {}},
    {kf::vt::kF60, "\033[{"sv, {}},
    {kf::vt::kBacktab, "\011"sv, {}},
    {kf::vt::kClear, "\033[E"sv, {}},
    {kf::vt::kUDK1, {}, {}},
    {kf::vt::kUDK2, {}, {}},
    {kf::vt::kUDK3, {}, {}},
    {kf::vt::kUDK4, {}, {}},
    {kf::vt::kUDK5, {}, {}},
    {kf::vt::kUDK6, {}, {}},
    {kf::vt::kUDK7, {}, {}},
    {kf::vt::kUDK8, {}, {}},
    {kf::vt::kUDK9, {}, {}},
    {kf::vt::kUDK10, {}, {}},
    {kf::vt::kUDK11, {}, {}},
    {kf::vt::kUDK12, {}, {}},
    {kf::vt::kUDK13, {}, {}},
    {kf::vt::kUDK14, {}, {}},
    {kf::vt::kUDK15, {}, {}},
    {kf::vt::kUDK16, {}, {}},
    {kf::vt::kUDK17, {}, {}},
    {kf::vt::kUDK18, {}, {}},
    {kf::vt::kUDK19, {}, {}},
    {kf::vt::kUDK20, {}, {}},
};

static_assert(std::size(kSystemRows) == 48);
static_assert(std::size(k3270Rows) == 67);
static_assert(std::size(k5250Rows) == 73);
static_assert(std::size(kVtRows) == 152);
static_assert(std::size(k3270Aids) == 30);
static_assert(std::size(k5250Aids) == 35);
static_assert(std::size(kVtSequences) == kVtSequenceCount);

constexpr bool SequencesInIdOrder() {
  for (int i = 0; i < kVtSequenceCount; ++i) {
    if (kVtSequences[i].id != kFirstVtSequenceId + i) return false;
  }
  return true;
}
static_assert(SequencesInIdOrder(), "the sequence table is indexed by identifier");

constexpr std::string_view kRecordBackspaceDescription = "Record Backspace Key\nRecord Backspace";

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::span<const KeyFunctionRow> KeyFunctionTable(unsigned kind) {
  switch (kind) {
    case 0: return kSystemRows;
    case 16: case 17: case 18: return k3270Rows;
    case 32: case 34: return k5250Rows;
    case 257: case 258: case 259: case 260: return kVtRows;
    default: return {};
  }
}

std::span<const AidRow> AidTable(unsigned kind) {
  switch (kind) {
    case 16: case 17: case 18: return k3270Aids;
    case 32: case 34: return k5250Aids;
    default: return {};
  }
}

int KeyFunctionIdByName(unsigned kind, std::string_view name) {
  for (const KeyFunctionRow& row : KeyFunctionTable(kind)) {
    if (EqualsIgnoreCase(row.name, name)) return row.id;
  }
  return -1;
}

int KeyFunctionIdByMnemonic(unsigned kind, std::string_view mnemonic) {
  for (const KeyFunctionRow& row : KeyFunctionTable(kind)) {
    if (!row.mnemonic.empty() && row.mnemonic == mnemonic) return row.id;
  }
  return -1;
}

const KeyFunctionRow* KeyFunctionRowById(unsigned kind, int id) {
  for (const KeyFunctionRow& row : KeyFunctionTable(kind)) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

std::string_view KeyFunctionName(unsigned kind, int id) {
  const KeyFunctionRow* row = KeyFunctionRowById(kind, id);
  return row ? row->name : std::string_view{};
}

std::string_view KeyFunctionDescription(int id) {
  if (id == kf::ibm5250::kRecordBackspace) return kRecordBackspaceDescription;
  for (unsigned kind : {0u, 16u, 32u, 259u}) {
    const KeyFunctionRow* row = KeyFunctionRowById(kind, id);
    if (row && !row->description.empty()) return row->description;
  }
  return {};
}

std::uint8_t AidOfKeyFunction(unsigned kind, int id) {
  for (const AidRow& row : AidTable(kind)) {
    if (row.id == id) return row.aid;
  }
  return 0;
}

std::string_view KeyFunctionNameOfAid(unsigned kind, std::uint8_t aid) {
  for (const AidRow& row : AidTable(kind)) {
    if (row.aid == aid) return KeyFunctionName(kind, row.id);
  }
  return {};
}

int KeyFunctionIdByAidName(unsigned kind, std::string_view word) {
  if (word.empty()) return -1;
  // AID names are upper case, so a case-blind comparison is the upper-case one.
  for (const AidRow& row : AidTable(kind)) {
    if (!row.name.empty() && EqualsIgnoreCase(row.name, word)) return row.id;
  }
  return -1;
}

int KeyFunctionIdByTypedName(unsigned kind, std::string_view name) {
  if (int id = KeyFunctionIdByName(kind, name); id >= 0) return id;
  if (int id = KeyFunctionIdByAidName(kind, name); id >= 0) return id;
  for (const KeyFunctionRow& row : KeyFunctionTable(kind))
    if (const auto slash = row.name.find('/'); slash != std::string_view::npos &&
        (EqualsIgnoreCase(row.name.substr(0, slash), name) || EqualsIgnoreCase(row.name.substr(slash + 1), name)))
      return row.id;
  return -1;
}

bool IsRepeatableTarget(unsigned kind, int target) {
  if (target >= 0 && target < 256) return true;
  const KeyFunctionRow* row = KeyFunctionRowById(kind, target);
  return row && (row->repeatClass & 1) != 0;
}

std::string_view VtDefaultSequence(int id) {
  if (id < kFirstVtSequenceId || id >= kFirstVtSequenceId + kVtSequenceCount) return {};
  return kVtSequences[id - kFirstVtSequenceId].normal;
}

std::string_view Vt52Sequence(int id) {
  if (id < kFirstVtSequenceId || id >= kFirstVtSequenceId + kVtSequenceCount) return {};
  return kVtSequences[id - kFirstVtSequenceId].vt52;
}

int VtApplicationModeFunction(int id, bool applicationCursorKeys, bool applicationKeypad) {
  constexpr int kCursorShift = kf::vt::kCursorDownApplMode - kf::vt::kCursorDown;
  constexpr int kKeypadShift = kf::vt::kKeypad0ApplMode - kf::vt::kKeypad0;
  if (applicationCursorKeys && id >= kf::vt::kCursorDown && id <= kf::vt::kCursorUp) {
    return id + kCursorShift;
  }
  if (applicationKeypad && id >= kf::vt::kKeypad0 && id <= kf::vt::kKeypadMinus) {
    return id + kKeypadShift;
  }
  return id;
}

}  // namespace corvina
