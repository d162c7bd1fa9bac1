// A print job of a session's spool file, as every session-side printer
// (3270 printer sessions, VT printing, screen printing) hands it to the
// program's printer thread: the profile's printer, page layout, font and
// options. The caller adjusts it and submits it.
#pragma once

#include <memory>
#include <vector>

#include "printing/PrintJob.h"

namespace corvina {

class CHostSession;

std::shared_ptr<PrintJob> MakeSessionPrintJob(const CHostSession& session, std::vector<printing::PrintFile> files);

}  // namespace corvina
