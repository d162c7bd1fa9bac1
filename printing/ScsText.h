// SCS data turned into plain text, for print jobs that go to a disk file:
// lines end with CR LF, pages with a form feed. The host's records are fed
// one at a time; a control cut at the end of a record is completed from the
// next. The text is Latin-1.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codepage/CodePage.h"

namespace corvina::printing {

class CScsTextConverter {
 public:
  // Line and page length when the host sets none (132 and 66 when not above 0).
  CScsTextConverter(const CCorvinaCodePage& codePage, int lineLength, int pageLength);

  void Feed(std::span<const std::uint8_t> data, std::string& out);
  // Back to the start of a job: formats and tab stops cleared.
  void Reset();

 private:
  // Bytes the control at data[i] needs, 0 when they are not all there yet.
  static std::size_t ControlLength(std::span<const std::uint8_t> data, std::size_t i);
  void Control(std::span<const std::uint8_t> control, std::string& out);
  void Character(std::uint8_t ebcdic, std::string& out);
  void LineFeed(std::string& out);
  void NewPage(std::string& out);
  void MoveDown(int to, std::string& out);
  void NewLine(std::string& out);

  const CCorvinaCodePage& codePage_;
  int defaultLineLength_, defaultPageLength_;
  int lineLength_ = 132, pageLength_ = 66, left_ = 1, top_ = 1;
  int bottom_ = 66;  // a line feed past it starts a new page
  std::vector<int> htabs_, vtabs_;
  int line_ = 1, column_ = 1;
  std::vector<std::uint8_t> pending_;
};

}  // namespace corvina::printing
