#include "session/SessionPrintJob.h"

#include <algorithm>

#include "session/HostSession.h"

namespace corvina {

std::shared_ptr<PrintJob> MakeSessionPrintJob(const CHostSession& session, std::vector<printing::PrintFile> files) {
  const CCorvinaSessionProfile& profile = session.Profile();
  auto job = std::make_shared<PrintJob>();
  job->printerName = profile.printerName;
  job->files = std::move(files);
  job->documentName = session.Title();
  job->jobName = job->documentName;
  const PageLayout& page = profile.pageLayout;
  job->margins[0] = page.leftMargin;
  job->margins[1] = page.topMargin;
  job->margins[2] = page.rightMargin;
  job->margins[3] = page.bottomMargin;
  job->columns = page.columnsPerPage;
  job->linesPerPage = page.linesPerPage;
  job->font.face = profile.printerFont.faceName;
  job->font.heightTenths = std::clamp<int>(profile.printerFontPointSize, 1, 200) * 10;
  job->font.bold = profile.printerFont.weight >= 700;
  job->options = printing::kPrintFitColumns | printing::kPrintDeleteFiles;
  if (profile.printOptions & kPrintLandscape) job->options |= printing::kPrintLandscape;
  if (profile.printOptions & kPrintMetricMargins) job->options |= printing::kPrintMetricMargins;
  if (profile.printOptions & kPrintRaw) job->options |= printing::kPrintRaw;
  if (profile.printOptions & kPrintNoInitialFormFeed) job->options |= printing::kPrintNoInitialFormFeed;
  job->created = static_cast<std::time_t>(session.Clock().WallSeconds());
  job->source = &session;
  return job;
}

}  // namespace corvina
