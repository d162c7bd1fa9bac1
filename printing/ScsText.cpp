#include "printing/ScsText.h"

#include <algorithm>

namespace corvina::printing {

CScsTextConverter::CScsTextConverter(const CCorvinaCodePage& codePage, int lineLength, int pageLength)
    : codePage_(codePage),
      defaultLineLength_(lineLength > 0 ? std::min(lineLength, 255) : 132),
      defaultPageLength_(pageLength > 0 ? std::min(pageLength, 255) : 66) {
  Reset();
}

void CScsTextConverter::Reset() {
  lineLength_ = defaultLineLength_;
  pageLength_ = bottom_ = defaultPageLength_;
  left_ = top_ = 1;
  htabs_.clear();
  vtabs_.clear();
  line_ = column_ = 1;
  pending_.clear();
}

std::size_t CScsTextConverter::ControlLength(std::span<const std::uint8_t> d, std::size_t i) {
  const std::size_t left = d.size() - i;
  std::size_t need = 1;
  switch (d[i]) {
    case 0x04: case 0x08: case 0x35: need = 2; break;
    case 0x28: case 0x34: need = 3; break;
    case 0x2B: need = 3; break;
    default: break;
  }
  if (left < need) return 0;
  if (d[i] == 0x35) need = 2 + d[i + 1];
  if (d[i] == 0x2B) need = 2 + std::max<std::size_t>(d[i + 2], 1);  // the count includes itself
  return left < need ? 0 : need;
}

void CScsTextConverter::Feed(std::span<const std::uint8_t> data, std::string& out) {
  std::vector<std::uint8_t> joined;
  if (!pending_.empty()) {
    joined = std::move(pending_);
    pending_.clear();
    joined.insert(joined.end(), data.begin(), data.end());
    data = joined;
  }
  std::size_t i = 0;
  while (i < data.size()) {
    const std::size_t n = ControlLength(data, i);
    if (n == 0) {
      pending_.assign(data.begin() + static_cast<std::ptrdiff_t>(i), data.end());  // at most 257 bytes
      return;
    }
    Control(data.subspan(i, n), out);
    i += n;
  }
}

void CScsTextConverter::NewLine(std::string& out) {
  out += "\r";
  column_ = left_;
  LineFeed(out);
}

void CScsTextConverter::LineFeed(std::string& out) {
  out += "\n";
  if (++line_ > bottom_) NewPage(out);
}

// To a line the host named: below the bottom margin too, never past it to a new page.
void CScsTextConverter::MoveDown(int to, std::string& out) {
  for (; line_ < to; ++line_) out += "\n";
}

void CScsTextConverter::NewPage(std::string& out) {
  out += "\f";
  for (line_ = 1; line_ < top_; ++line_) out += "\n";
}

void CScsTextConverter::Character(std::uint8_t ebcdic, std::string& out) {
  const auto c = codePage_.ToAscii(ebcdic);
  if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return;
  // A character past the last print position starts a new line, as on a printer.
  if (column_ > lineLength_) NewLine(out);
  out += static_cast<char>(c);
  ++column_;
}

void CScsTextConverter::Control(std::span<const std::uint8_t> d, std::string& out) {
  auto param = [&d](std::size_t k, int def) { return k < d.size() && d[k] ? int(d[k]) : def; };
  switch (d[0]) {
    case 0x00: case 0x14: case 0x24: case 0x2F: case 0x36: case 0x28:
      break;
    case 0x05: {
      auto stop = std::find_if(htabs_.begin(), htabs_.end(), [this](int t) { return t > column_; });
      const int to = stop != htabs_.end() ? *stop : column_ + 1;
      for (; column_ < to; ++column_) out += ' ';
      break;
    }
    case 0x06: case 0x15: case 0x1E:
      NewLine(out);
      break;
    case 0x0D:
      out += "\r";
      column_ = left_;
      break;
    case 0x25:
      LineFeed(out);
      break;
    case 0x04:
      LineFeed(out);
      break;
    case 0x0B: {
      auto stop = std::find_if(vtabs_.begin(), vtabs_.end(), [this](int t) { return t > line_; });
      if (stop == vtabs_.end()) {
        LineFeed(out);
        break;
      }
      MoveDown(*stop, out);
      break;
    }
    case 0x0C: case 0x3A:
      out += "\n";
      NewPage(out);
      break;
    case 0x16:
      out += "\b";
      if (column_ > 1) --column_;
      break;
    case 0x08: {
      // A graphic escape prints its character whatever it translates to.
      const auto c = codePage_.ToAscii(d[1]);
      out += static_cast<char>(c < 0x20 ? ' ' : c);
      ++column_;
      break;
    }
    case 0x2B:
      if (d[1] == 0xC1) {
        lineLength_ = param(3, defaultLineLength_);
        left_ = param(4, 1);
        if (left_ > lineLength_) left_ = 1;
        htabs_.clear();
        for (std::size_t k = 6; k < d.size(); ++k)
          if (d[k] && d[k] <= lineLength_) htabs_.push_back(d[k]);
        std::sort(htabs_.begin(), htabs_.end());
      } else if (d[1] == 0xC2) {
        pageLength_ = param(3, defaultPageLength_);
        top_ = param(4, 1);
        // A top margin that does not fit the page is no margin; a bottom
        // margin above it or below the page is the page's end.
        if (top_ > pageLength_) top_ = 1;
        bottom_ = param(5, pageLength_);
        if (bottom_ < top_ || bottom_ > pageLength_) bottom_ = pageLength_;
        vtabs_.clear();
        for (std::size_t k = 6; k < d.size(); ++k)
          if (d[k] && d[k] <= pageLength_) vtabs_.push_back(d[k]);
        std::sort(vtabs_.begin(), vtabs_.end());
      }
      break;
    case 0x34: {
      const int n = d[2];
      if (n == 0) break;
      switch (d[1]) {
        case 0x4C:  // relative: down n lines
          for (int k = 0; k < n; ++k) LineFeed(out);
          break;
        case 0xC4:
          if (n < line_) NewPage(out);
          MoveDown(std::min(n, pageLength_), out);
          break;
        case 0xC0:
          if (n < column_) {
            out += "\r";
            column_ = left_;
          }
          for (; column_ < std::min(n, lineLength_ + 1); ++column_) out += ' ';
          break;
        case 0xC8:  // relative: n blanks
          for (int k = 0; k < n && column_ <= lineLength_; ++k, ++column_) out += ' ';
          break;
        default:
          break;
      }
      break;
    }
    case 0x35:
      for (std::size_t k = 2; k < d.size(); ++k) Character(d[k], out);
      break;
    default:
      if (d[0] >= 0x40) Character(d[0], out);
      break;
  }
}

}  // namespace corvina::printing
