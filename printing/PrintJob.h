// The print job record: what a printer session, VT printing, clipboard
// printing and the LPD queues hand to the printer thread. Nothing in it
// refers to sessions, so every owner can build one.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvina {

namespace printing {

// Job state codes (the owners show them with their own texts).
enum JobState : int {
  kJobQueued = 1,
  kJobPrinting = 2,
  kJobComplete = 3,
  kJobLockFailed = 4,
  kJobPrinterNotAvailable = 5,
  kJobStartDocFailed = 6,
  kJobFileOpenFailed = 7,
  kJobFileReadFailed = 8,
  kJobStartPageFailed = 9,
  kJobPageWriteFailed = 10,
  kJobEndPageFailed = 11,
  kJobCancelled = 12,
  kJobEndDocFailed = 13,
};

// Option flags.
enum : unsigned {
  kPrintFitColumns = 0x01,        // the font is as wide as the columns need
  kPrintLandscape = 0x02,
  kPrintMetricMargins = 0x04,     // margins in hundredths of a millimetre
  kPrintBanner = 0x08,
  kPrintPageHeader = 0x10,
  kPrintLineFeedReturns = 0x20,   // every line feed also returns to the left margin
  kPrintFortran = 0x40,           // FORTRAN carriage control
  kPrintDeleteFiles = 0x80,       // the spool files go once printed
  kPrintScs = 0x100,
  kPrintRaw = 0x200,
  kPrintNoInitialFormFeed = 0x400,
  // With kPrintFitColumns: the font is also small enough for the lines per
  // page to fit the sheet (one screen on one page).
  kPrintFitLines = 0x800,
};

// One spool file of a job, or a part of one (VT jobs share a spool file).
struct PrintFile {
  std::string path;
  std::uint64_t offset = 0;
  std::uint64_t length = UINT64_MAX;  // to the end of the file
};

// A screen as Print Screen puts it on a page: runs of cells with their
// printed colours and renditions on a grid of lines (header, rows, the
// operator information line, footer).
struct ScreenRun {
  int line = 0, column = 0;
  std::string latin1;  // one character per cell, for text destinations
  std::string utf8;    // the shapes drawn (glyphs as their Unicode shapes)
  std::uint32_t colour = 0;             // 0x00BBGGRR
  std::uint32_t background = 0xFFFFFF;  // white is left unfilled
  bool bold = false, underline = false;
};

struct ScreenPage {
  int lines = 0, columns = 0;
  bool centre = false;  // in the middle of the paper, not at the margins
  std::vector<ScreenRun> runs;
};

struct PrintFont {
  std::string face = "Courier New";
  int heightTenths = 100;  // tenths of a point
  bool bold = false;
  bool italic = false;
};

}  // namespace printing

// Declared by name in the engine seam, so that engines can be told of the
// jobs they submitted.
struct PrintJob {
  // Empty: the default destination; "file:PATH": a file; else a destination name.
  std::string printerName;
  std::vector<printing::PrintFile> files;
  // Set: the job is this one page, not its files.
  std::shared_ptr<const printing::ScreenPage> screen;
  std::string documentName;
  std::string headerTitle;   // empty: the document name
  std::string codePageFile;  // SCS jobs; empty: the built-in table
  // Left, top, right, bottom in thousandths of an inch (hundredths of a
  // millimetre with kPrintMetricMargins).
  int margins[4] = {0, 0, 0, 0};
  printing::PrintFont font;
  std::uint32_t textColour = 0;  // 0x00BBGGRR
  unsigned options = 0;
  int columns = 0;       // below 1: 80
  int linesPerPage = 0;  // below 1: as many as fit
  int leftColumn = 0;
  int tabWidth = 0;      // 0: 8
  // Banner page data.
  std::string owner, jobClass, jobName;
  int jobNumber = 0;
  std::time_t created = 0;

  // Who submitted it, so that its jobs can be cancelled together; never
  // dereferenced.
  const void* source = nullptr;

  // Written by the printer thread; the owner cancels with CancelJob.
  std::atomic<int> state{0};
  int error = 0;          // errno of a failure, 0 when none
  std::string errorText;  // what failed, for the user

  // Called on the owner's event loop at each state change (after Submit).
  std::function<void(const PrintJob&, int state)> notify;
};

namespace printing {
// Why a job failed: its own reason, else the system's text of its error;
// empty when it has neither.
std::string JobFailureText(const PrintJob& job);
// Any thread: a job that is queued or printing is cancelled (the printer
// thread stops it at the next page or file and reports kJobCancelled);
// false for one that has ended.
bool CancelJob(PrintJob& job);
}  // namespace printing

}  // namespace corvina
