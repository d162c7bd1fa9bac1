#include "ibm5250/FormatTable.h"

#include <algorithm>

namespace corvina {

void C5250FormatTable::Reset(int rows) {
  header.fill(0);
  header[kErrorRowByte] = static_cast<std::uint8_t>(std::clamp(rows, 0, 255));
  fields.clear();
}

int C5250FormatTable::ErrorRow(int rows) const {
  const int row = header[kErrorRowByte];
  return row >= 1 && row <= rows ? row - 1 : std::max(0, rows - 1);
}

bool C5250FormatTable::SwitchSet(int functionKey) const {
  if (functionKey < 1 || functionKey > 24) return false;
  // Byte 7 holds F8 ... F1, byte 6 F16 ... F9, byte 5 F24 ... F17.
  const std::size_t byte = kSwitchBytes + 2 - static_cast<std::size_t>((functionKey - 1) / 8);
  return (header[byte] >> ((functionKey - 1) % 8)) & 1;
}

int C5250FormatTable::FieldAt(int position) const {
  // Fields are kept in start order and never overlap.
  auto it = std::upper_bound(fields.begin(), fields.end(), position,
                             [](int p, const C5250Field& f) { return p < f.start; });
  if (it == fields.begin()) return -1;
  --it;
  return it->Contains(position) ? static_cast<int>(it - fields.begin()) : -1;
}

int C5250FormatTable::InputFieldAt(int position) const {
  const int i = FieldAt(position);
  return i >= 0 && fields[static_cast<std::size_t>(i)].Input() ? i : -1;
}

int C5250FormatTable::FirstInputField() const {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].Input()) return static_cast<int>(i);
  return -1;
}

int C5250FormatTable::LastInputField() const {
  for (std::size_t i = fields.size(); i-- > 0;)
    if (fields[i].Input()) return static_cast<int>(i);
  return -1;
}

int C5250FormatTable::NextInputField(int position) const {
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].Input() && fields[i].start > position) return static_cast<int>(i);
  return -1;
}

int C5250FormatTable::PreviousInputField(int position) const {
  for (std::size_t i = fields.size(); i-- > 0;)
    if (fields[i].Input() && fields[i].end < position) return static_cast<int>(i);
  return -1;
}

int C5250FormatTable::IndexOfNumber(int number) const {
  return number >= 1 && static_cast<std::size_t>(number) <= fields.size() ? number - 1 : -1;
}

bool C5250FormatTable::AnyMdt() const {
  return std::any_of(fields.begin(), fields.end(), [](const C5250Field& f) { return f.Mdt(); });
}

}  // namespace corvina
