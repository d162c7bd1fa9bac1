// The print destinations of the programs: PDF pages drawn with Cairo and
// Pango, delivered to a CUPS destination with libcups (raw jobs through its
// raw format) or written to a file. Only programs link this library.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "printing/PageSink.h"
#include "printing/PrinterThread.h"

namespace corvina::printing::backends {

// A page sink that draws PDF pages into a file.
std::unique_ptr<PageSink> CreatePdfFileSink(const std::string& path);

// The sinks for job destinations: "file:PATH" (PDF when PATH ends in
// ".pdf", else text; a raw job in a numbered file of its own), a CUPS
// destination by name, or the CUPS default for an empty name.
SinkFactory DestinationSinks();

struct Destination {
  std::string name;
  bool isDefault = false;
};
// The CUPS destinations (printers and classes); empty when none or no
// scheduler answers.
std::vector<Destination> ListDestinations();

}  // namespace corvina::printing::backends
