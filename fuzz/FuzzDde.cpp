// Request lines as a DDE client sends them: the line parser, the escapes,
// the item names, and the field scan over the same bytes taken as a screen.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "automation/DdeProtocol.h"

using namespace corvina::automation;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  for (std::size_t end; start <= input.size(); start = end + 1) {
    end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    const std::string_view line(input.data() + start, end - start);
    std::string error;
    if (auto r = ParseDdeRequest(line, &error)) {
      // What the parser took comes back through the escapes unchanged.
      if (DdeUnescape(DdeEscape(r->first)) != r->first || DdeUnescape(DdeEscape(r->second)) != r->second)
        std::abort();
      const DdeItem item = ParseDdeItem(r->first);
      if (item.number < 0 || item.number > 9999) std::abort();
    } else if (error.empty()) {
      std::abort();
    }
  }
  // The bytes as a screen read with attribute bytes.
  if (size > 0) {
    const int n = data[0] % 8;
    for (char kind : {'\0', 'U', 'P'})
      if (auto field = DdeFieldText(input, n, kind); field && field->size() > input.size()) std::abort();
  }
  return 0;
}
