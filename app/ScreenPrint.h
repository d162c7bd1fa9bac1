// Print Screen: the screen with the profile's header and footer, written to
// the print file (numbered or appended) when the profile prints to a file,
// else handed to the printer thread as one page in the screen's colours.
#pragma once

#include <ctime>
#include <string>

#include "printing/PrintJob.h"
#include "script/Script.h"

namespace corvina {
class CHostSession;
}

namespace corvina::app {

// Per session: the print file's state.
struct ScreenPrintFiles {
  bool used = false;  // the configured file was written once: append
  int counter = 0;    // the next number of a numbered print file
};

// Header, blank line, the rows, the operator information line when the
// profile asks for it, blank line, footer; each line ends with CR LF. UTF-8,
// line-drawing characters as their shapes.
std::string ScreenPrintText(CHostSession& session, std::time_t now);

// The same lines as a printed page: every cell with its colours and
// renditions (the printer's colour rules applied), centred when the
// profile asks for it.
printing::ScreenPage ScreenPrintPage(CHostSession& session, std::time_t now);

// Text to the print file (UTF-8) when a script set one or the profile
// prints to a file, else to the printer thread (Latin-1). False when
// nothing could be printed; the user has been told why.
bool PrintText(CHostSession& session, ScreenPrintFiles& files, script::ScriptFileOverride* scriptPrinter,
               const std::string& utf8, const std::string& latin1);

// The screen to the print file (or, while a VT host prints, its print
// buffer), else as one page to the printer; a running script's Printer
// file (or null) takes the place of the profile's.
bool PrintScreen(CHostSession& session, ScreenPrintFiles& files, script::ScriptFileOverride* scriptPrinter,
                 std::time_t now);

// Cancels the session's print jobs that wait or print (its status line says
// how many); a 3270 printer session's and VT jobs too.
int CancelPrinting(CHostSession& session);

}  // namespace corvina::app
