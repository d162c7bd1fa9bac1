// A minimal line-mode terminal: printable bytes, CR, LF, BS and scrolling.
// It shows the host's text while no full VT engine is built in.
#pragma once

#include <string>

#include "session/TerminalEngine.h"

namespace corvina {

class CLineModeEngine final : public TerminalEngine {
 public:
  void Start(CHostSession& session) override;
  void Stop() override;
  void ProcessRecord(std::span<const std::uint8_t> bytes) override;
  void TypeCharacter(int code) override;
  int ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                  unsigned flags) override;

 private:
  void NewLine();
  void Put(std::uint8_t c);

  int rows_ = 0, columns_ = 0;
  int row_ = 0, column_ = 0;
  std::string cells_;
  enum class Escape { None, Esc, Csi } escape_ = Escape::None;
};

}  // namespace corvina
