// The files of printing: private spool files, print output files with
// numbered names, header and footer texts, and page margins as typed.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace corvina::printing {

// A new spool file, 0600, in the spool folder of the user's private runtime
// folder. Returns its descriptor (-1 with *error set).
int CreateSpoolFile(std::string* path, std::string* error);

// "dir/base.txt" with counter 7 gives "dir/base.007.txt".
std::string NumberedFileName(const std::string& file, int counter);

// Opens the next numbered file that does not exist yet, created 0600 and
// never over an earlier one: numbers in use are skipped and the counter
// moves past the one taken. -1 with errno when none could be made.
int CreateNumberedFile(const std::string& file, int& counter, std::string* path);

// The file for one print job with the print-to-file option: numbered, or the
// configured file, truncated on first use (`used` false) and appended to later.
int OpenPrintOutputFile(const std::string& file, bool numbered, bool& used, int& counter, std::string* path);

// Header and footer tokens: the first "%DATE" (else "$DATE") becomes the
// short date, "%LONGDATE" the long date, "%TIME" the time without seconds,
// "%SESSION" the session name; the result is cut or padded to `columns`.
std::string SubstituteHeaderTokens(std::string_view text, std::string_view sessionName, int columns, std::time_t now);

// Margins as the page-setup dialog shows and takes them: thousandths of an
// inch as "%d.%.3d", hundredths of a millimetre as "%d.%.2d".
std::string FormatMargin(int value, bool metric);
// Digits with at most one "."; nullopt for anything else or a value that
// does not fit.
std::optional<int> ParseMargin(std::string_view text, bool metric);

}  // namespace corvina::printing
