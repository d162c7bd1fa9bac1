#include "ibm5250/PresentationSpace.h"

#include <algorithm>

namespace corvina {

void C5250PresentationSpace::Allocate(int rows, int columns) {
  rows = std::max(1, rows);
  columns = std::max(1, columns);
  cells_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), 0);
  rows_ = rows;
  columns_ = columns;
  saved_.reset();
}

void C5250PresentationSpace::SetSize(int rows, int columns) {
  rows = std::max(1, rows);
  columns = std::max(1, columns);
  if (static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns) > cells_.size()) return;
  rows_ = rows;
  columns_ = columns;
  saved_.reset();
}

void C5250PresentationSpace::Clear() {
  std::fill(cells_.begin(), cells_.begin() + Size(), std::uint8_t{0});
}

void C5250PresentationSpace::SaveErrorLine(int row) {
  if (saved_ || row < 0 || row >= rows_) return;
  const auto from = cells_.begin() + row * columns_;
  saved_.emplace(from, from + columns_);
  savedRow_ = row;
  std::fill(from, from + columns_, std::uint8_t{0});
}

void C5250PresentationSpace::RestoreErrorLine() {
  if (!saved_) return;
  std::copy(saved_->begin(), saved_->end(), cells_.begin() + savedRow_ * columns_);
  saved_.reset();
}

std::uint8_t C5250PresentationSpace::HostAt(int position) const {
  if (InSavedRow(position)) return (*saved_)[static_cast<std::size_t>(position % columns_)];
  return At(position);
}

void C5250PresentationSpace::HostPut(int position, std::uint8_t b) {
  if (InSavedRow(position))
    (*saved_)[static_cast<std::size_t>(position % columns_)] = b;
  else
    Put(position, b);
}

}  // namespace corvina
