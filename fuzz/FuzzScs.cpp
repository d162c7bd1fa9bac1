// Print job data from hosts and LPD clients: the SCS renderer, the text and
// FORTRAN layout on the text grid, and the SCS-to-text conversion fed in
// pieces. The first byte picks the job's options, the second the grid and
// the piece sizes; the rest is the spool file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "codepage/CodePage.h"
#include "printing/JobRenderer.h"
#include "printing/ScsText.h"
#include "printing/TextGridSink.h"

using namespace corvina;
using namespace corvina::printing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const int fd = ::memfd_create("fuzz-spool", MFD_CLOEXEC);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  static const CCorvinaCodePage codePage;
  const std::uint8_t options = data[0], shape = data[1];
  const std::uint8_t* body = data + 2;
  const std::size_t length = size - 2;
  if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, body, length, 0) != static_cast<ssize_t>(length)) return 0;

  PrintJob job;
  job.files = {PrintFile{path}};
  static constexpr unsigned kFlags[] = {kPrintScs, kPrintFortran, kPrintBanner, kPrintPageHeader,
                                        kPrintLineFeedReturns, kPrintNoInitialFormFeed, kPrintFitColumns};
  for (int bit = 0; bit < 7; ++bit)
    if (options & (1 << bit)) job.options |= kFlags[bit];
  job.columns = (shape & 3) == 0 ? 0 : (shape & 3) * 60;
  job.linesPerPage = (shape & 12) == 12 ? 32767 : (shape >> 2 & 3) * 5;
  job.tabWidth = shape >> 4 & 7;
  job.leftColumn = options >> 7;
  CTextGridSink sink(1 + (shape & 0x70), 1 + (shape >> 3 & 0x1F));
  CJobRenderer renderer(job, sink, &codePage, 0);
  renderer.Run();

  CScsTextConverter text(codePage, shape & 0x7F, shape >> 1);
  std::string out;
  const std::size_t piece = 1 + (shape & 15);
  for (std::size_t at = 0; at < length; at += piece) {
    text.Feed(std::span(body + at, std::min(piece, length - at)), out);
    if (out.size() > 1 << 20) out.clear();
  }
  return 0;
}
