// A file that takes the place of a profile's output file while a script
// runs (its filespec): with `append` clear the first write replaces it.
#pragma once

#include <string>

namespace corvina {

struct OutputFileOverride {
  std::string file;
  bool append = false;
};

}  // namespace corvina
