// The 5250 engine's HLLAPI functions: field attributes, field searches and
// strings written into input fields. Nothing wraps on a 5250 screen.
#include <algorithm>

#include "codepage/CodePage.h"
#include "ibm5250/DataStream.h"
#include "ibm5250/Engine5250.h"
#include "session/HostSession.h"

namespace corvina {

using namespace ds5250;

namespace {

constexpr std::uint8_t kProtectedBit = 0x20;

}  // namespace

int C5250Engine::AttributeAtOrBefore(int position) const {
  for (int p = position; p >= 0; --p)
    if (IsAttribute(ps_->At(p))) return p;
  return -1;
}

int C5250Engine::FindField(int position, std::uint8_t direction, std::uint8_t kind) const {
  const int size = ps_->Size();
  auto wanted = [&](int attribute) {
    const bool isProtected = (QueryAttributeByte(attribute) & kProtectedBit) != 0;
    return kind == 'P' ? isProtected : kind == 'U' ? !isProtected : true;
  };
  switch (direction) {
    case ' ':
    case 'T':
      return AttributeAtOrBefore(position);
    case 'N':
      for (int p = position + 1; p < size - 1; ++p)
        if (IsAttribute(ps_->At(p)) && wanted(p)) return p;
      return -1;
    case 'P': {
      const int current = AttributeAtOrBefore(position);
      for (int p = current - 1; current >= 0 && p >= 0; --p)
        if (IsAttribute(ps_->At(p)) && wanted(p)) return p;
      return -1;
    }
    default:
      return -2;
  }
}

int C5250Engine::HllapiFunction(int number, HllapiRequest& r) {
  if (!ps_) return hllapi::kNotSupported;
  const int size = ps_->Size();
  if (number != 14 && number != 15 && number != 31 && number != 32 && number != 33) return hllapi::kNotSupported;
  if (r.position == 0 || r.position > size) return hllapi::kBadPosition;
  const int position = r.position - 1;

  if (number == 14) {
    if (AttributeAtOrBefore(position) < 0) return hllapi::kNotFound;
    const int index = table_.FieldAt(position);
    r.length = AttributeByte(index >= 0 ? &table_.fields[static_cast<std::size_t>(index)] : nullptr);
    return hllapi::kOk;
  }

  if (number == 31 || number == 32) {
    if (r.data.size() < 2) return hllapi::kParameterError;
    const int fa = FindField(position, r.data[0], r.data[1]);
    if (fa == -2) return hllapi::kParameterError;
    if (fa < 0) return hllapi::kNotFound;
    int count = 0;
    while (fa + 1 + count < size && !IsAttribute(ps_->At(fa + 1 + count))) ++count;
    if (count == 0) return hllapi::kZeroLength;
    r.length = static_cast<std::uint16_t>(number == 31 ? fa + 2 : count);
    return hllapi::kOk;
  }

  // 15 and 33: a string into an input field.
  const int index = table_.FieldAt(position);
  if (index < 0) return hllapi::kInhibited;
  C5250Field& field = table_.fields[static_cast<std::size_t>(index)];
  if (!field.HasFfw() || field.Bypass()) return hllapi::kInhibited;
  const std::size_t given = std::min<std::size_t>(r.length, r.data.size());
  const std::size_t step = (r.flags & hllapi::kFlagEab) ? 2 : 1;  // EAB: an attribute byte follows each character
  std::size_t used = 0;
  int p = number == 15 ? position : field.start;
  bool stored = false;
  while (used < given && p <= field.end) {
    const std::uint8_t c = r.data[used];
    if (c >= 0x80) break;
    ps_->Put(p++, session_->CodePage().ToEbcdic(c));
    stored = true;
    used = std::min(used + step, given);
  }
  if (stored) {
    field.SetMdt(true);
    mdtPresent_ = true;
    session_->SetScreenChanged(true);
    Refresh();
  }
  r.length = static_cast<std::uint16_t>(used);
  return used < given ? hllapi::kTruncated : hllapi::kOk;
}

}  // namespace corvina
