// Spool files in a private folder and jobs printed on a text grid.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "codepage/CodePage.h"
#include "printing/JobRenderer.h"
#include "printing/TextGridSink.h"

namespace corvina::printing::test {

class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/corvina-print-XXXXXX";
    path_ = ::mkdtemp(name);
  }
  ~TempFolder() {
    std::string command = "rm -rf '" + path_ + "'";
    [[maybe_unused]] int rc = std::system(command.c_str());
  }
  std::string Write(const std::string& name, const std::string& data) const {
    const std::string path = path_ + "/" + name;
    std::ofstream(path, std::ios::binary) << data;
    return path;
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Latin-1 text as EBCDIC through the built-in table.
inline std::string Ebcdic(const std::string& text) {
  CCorvinaCodePage cp;
  std::string out;
  for (unsigned char c : text) out.push_back(static_cast<char>(cp.ToEbcdic(c)));
  return out;
}

struct Printed {
  int state = 0;
  std::string error;
  std::vector<std::vector<std::string>> pages;
};

inline Printed PrintOnGrid(PrintJob& job, int columns = 40, int lines = 12, bool scs = false) {
  CTextGridSink sink(columns, lines);
  CCorvinaCodePage cp;
  CJobRenderer renderer(job, sink, scs ? &cp : nullptr, 1'700'000'000);
  Printed p;
  p.state = renderer.Run();
  p.error = renderer.ErrorText();
  p.pages = sink.Pages();
  return p;
}

using Page = std::vector<std::string>;

}  // namespace corvina::printing::test
