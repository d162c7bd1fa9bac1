// Delivery to CUPS: pages are drawn into a private PDF spool file and
// printed with cupsPrintFile; raw jobs stream through the raw format.
#include <cups/cups.h>
#include <unistd.h>

#include <cstring>

#include "platform/Format.h"
#include "printing/PrintFiles.h"
#include "printing/PrintTexts.h"
#include "printing/TextGridSink.h"
#include "printing/backends/Backends.h"

namespace corvina::printing::backends {

namespace {

constexpr char kCupsFailed[] = "CUPS: %s";
constexpr char kNoSuchDestination[] = "the printer \"%s\" is not available";
constexpr char kNoDefaultDestination[] = "no default printer is set up";

class CCupsSink final : public PageSink {
 public:
  explicit CCupsSink(std::string destination) : destination_(std::move(destination)) {}
  ~CCupsSink() override { Discard(); }

  bool StartDocument(const DocumentSetup& setup, std::string& error) override {
    setup_ = setup;
    if (setup.raw) {
      job_ = cupsCreateJob(CUPS_HTTP_DEFAULT, destination_.c_str(), setup.name.c_str(), 0, nullptr);
      if (job_ == 0 || cupsStartDocument(CUPS_HTTP_DEFAULT, destination_.c_str(), job_, setup.name.c_str(),
                                         CUPS_FORMAT_RAW, 1) != HTTP_STATUS_CONTINUE) {
        error = platform::Format(kCupsFailed, cupsLastErrorString());
        return false;
      }
      return true;
    }
    const int fd = CreateSpoolFile(&spool_, &error);
    if (fd < 0) return false;
    ::close(fd);
    pdf_ = CreatePdfFileSink(spool_);
    return pdf_->StartDocument(setup, error);
  }
  PageArea Area() const override { return pdf_ ? pdf_->Area() : PageArea{}; }
  FontMetrics SelectFont(const PrintFont& font, double fitWidth) override { return pdf_->SelectFont(font, fitWidth); }
  bool StartPage() override { return pdf_->StartPage(); }
  void DrawText(double x, double y, std::string_view text) override { pdf_->DrawText(x, y, text); }
  bool EndPage() override { return pdf_->EndPage(); }

  bool WriteRaw(std::span<const char> bytes, std::string& error) override {
    if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, bytes.data(), bytes.size()) != HTTP_STATUS_CONTINUE) {
      error = platform::Format(kCupsFailed, cupsLastErrorString());
      return false;
    }
    return true;
  }

  bool EndDocument(std::string& error) override {
    if (setup_.raw) {
      const bool ok = cupsFinishDocument(CUPS_HTTP_DEFAULT, destination_.c_str()) == IPP_STATUS_OK;
      job_ = 0;
      if (!ok) error = platform::Format(kCupsFailed, cupsLastErrorString());
      return ok;
    }
    if (!pdf_->EndDocument(error)) return false;
    cups_option_t* options = nullptr;
    int count = cupsAddOption("document-format", CUPS_FORMAT_PDF, 0, &options);
    const int id = cupsPrintFile(destination_.c_str(), spool_.c_str(), setup_.name.c_str(), count, options);
    cupsFreeOptions(count, options);
    if (id == 0) {
      error = platform::Format(kCupsFailed, cupsLastErrorString());
      return false;  // the PDF stays in the spool folder
    }
    ::unlink(spool_.c_str());
    spool_.clear();
    return true;
  }

  void AbortDocument() override { Discard(); }

 private:
  void Discard() {
    if (job_ != 0) cupsCancelJob2(CUPS_HTTP_DEFAULT, destination_.c_str(), job_, 0);
    job_ = 0;
    if (pdf_) pdf_->AbortDocument();
    pdf_.reset();
    if (!spool_.empty()) ::unlink(spool_.c_str());
    spool_.clear();
  }

  std::string destination_;
  DocumentSetup setup_;
  std::unique_ptr<PageSink> pdf_;
  std::string spool_;
  int job_ = 0;
};

bool EndsWithPdf(const std::string& path) {
  return path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".pdf") == 0;
}

}  // namespace

SinkFactory DestinationSinks() {
  return [](const PrintJob& job, std::string& error) -> std::unique_ptr<PageSink> {
    const std::string& name = job.printerName;
    if (name.rfind("file:", 0) == 0) {
      const std::string path = name.substr(5);
      // Raw bytes are never drawn, whatever the name says.
      if (EndsWithPdf(path) && !(job.options & kPrintRaw)) return CreatePdfFileSink(path);
      return TextFileSinkFor(job, error);
    }
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.empty() ? nullptr : name.c_str(), nullptr);
    if (!dest) {
      error = name.empty() ? kNoDefaultDestination : platform::Format(kNoSuchDestination, name.c_str());
      return nullptr;
    }
    std::string chosen = dest->name;
    cupsFreeDests(1, dest);
    return std::make_unique<CCupsSink>(chosen);
  };
}

std::vector<Destination> ListDestinations() {
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  std::vector<Destination> out;
  for (int i = 0; i < count; ++i) out.push_back(Destination{dests[i].name, dests[i].is_default != 0});
  cupsFreeDests(count, dests);
  return out;
}

}  // namespace corvina::printing::backends
