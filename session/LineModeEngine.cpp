#include "session/LineModeEngine.h"

#include "session/HostSession.h"

namespace corvina {

void CLineModeEngine::Start(CHostSession& session) {
  session_ = &session;
  rows_ = session.Rows();
  columns_ = session.Columns();
  cells_.assign(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_), ' ');
  row_ = column_ = 0;
  escape_ = Escape::None;
  session.SetCursorPosition(0, false);
}

void CLineModeEngine::Stop() {
  cells_.clear();
  rows_ = columns_ = 0;
}

void CLineModeEngine::NewLine() {
  if (row_ + 1 < rows_) {
    ++row_;
    return;
  }
  // Scroll up one line.
  cells_.erase(0, static_cast<std::size_t>(columns_));
  cells_.append(static_cast<std::size_t>(columns_), ' ');
}

void CLineModeEngine::Put(std::uint8_t c) {
  if (column_ >= columns_) {
    column_ = 0;
    NewLine();
  }
  cells_[static_cast<std::size_t>(row_ * columns_ + column_)] = static_cast<char>(c);
  ++column_;
}

void CLineModeEngine::ProcessRecord(std::span<const std::uint8_t> bytes) {
  if (cells_.empty()) return;
  for (std::uint8_t b : bytes) {
    // Control sequences of a full terminal are skipped, not shown.
    if (escape_ == Escape::Esc) {
      escape_ = b == '[' ? Escape::Csi : Escape::None;
      continue;
    }
    if (escape_ == Escape::Csi) {
      if (b >= 0x40 && b <= 0x7E) escape_ = Escape::None;
      continue;
    }
    switch (b) {
      case '\r':
        column_ = 0;
        break;
      case '\n':
        NewLine();
        break;
      case '\b':
        if (column_ > 0) --column_;
        break;
      case 0x1B:
        escape_ = Escape::Esc;
        break;
      default:
        if (b >= 0x20 && b != 0x7F) Put(b);
        break;
    }
  }
  session_->SetScreenChanged(true);
  session_->SetCursorPosition(row_ * columns_ + std::min(column_, columns_ - 1), true);
}

void CLineModeEngine::TypeCharacter(int code) {
  if (code < 0 || code > 0xFF) return;
  auto b = static_cast<std::uint8_t>(code);
  session_->QueueOutputEscaped(std::span(&b, 1));
}

int CLineModeEngine::ExtractText(int position, int count, std::string& out,
                                 std::vector<std::uint8_t>* attributes, unsigned) {
  int size = static_cast<int>(cells_.size());
  if (position < 0 || count <= 0 || position >= size) return 0;
  count = std::min(count, size - position);
  out.append(cells_, static_cast<std::size_t>(position), static_cast<std::size_t>(count));
  if (attributes) attributes->insert(attributes->end(), static_cast<std::size_t>(count), 0);
  return count;
}

}  // namespace corvina
