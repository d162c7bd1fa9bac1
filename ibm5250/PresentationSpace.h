// The 5250 character buffer: one byte per cell (a null, an EBCDIC
// character or a screen attribute), allocated for the configured size, of
// which the current size is in use; and the saved copy of the error row
// that host writes go to while an error is shown.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace corvina {

class C5250PresentationSpace {
 public:
  // Cleared buffers for a screen of at most rows x columns.
  void Allocate(int rows, int columns);
  // Makes rows x columns the current size (never beyond the buffers).
  void SetSize(int rows, int columns);
  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  int Size() const { return rows_ * columns_; }
  bool Inside(int position) const { return position >= 0 && position < Size(); }

  // The cell as shown; 0 outside the screen.
  std::uint8_t At(int position) const { return Inside(position) ? cells_[Index(position)] : 0; }
  // Writes the cell shown; nothing outside the screen.
  void Put(int position, std::uint8_t b) {
    if (Inside(position)) cells_[Index(position)] = b;
  }
  // Every cell of the current size becomes null.
  void Clear();

  // The error row's copy: while it is saved, the host's writes into that row
  // (HostPut) go to the copy and reads (HostAt) come from it.
  bool ErrorLineSaved() const { return saved_.has_value(); }
  int SavedErrorRow() const { return savedRow_; }
  // Copies the row (once; a row saved already stays saved) and nulls it.
  void SaveErrorLine(int row);
  // Puts the copy back; nothing when none is saved.
  void RestoreErrorLine();
  void DropErrorLine() { saved_.reset(); }
  std::uint8_t HostAt(int position) const;
  void HostPut(int position, std::uint8_t b);

 private:
  std::size_t Index(int position) const { return static_cast<std::size_t>(position); }
  bool InSavedRow(int position) const {
    return saved_ && Inside(position) && position / columns_ == savedRow_;
  }

  std::vector<std::uint8_t> cells_;
  int rows_ = 0, columns_ = 0;
  std::optional<std::vector<std::uint8_t>> saved_;
  int savedRow_ = 0;
};

}  // namespace corvina
