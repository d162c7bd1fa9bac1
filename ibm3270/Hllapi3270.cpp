// The 3270 engine's HLLAPI functions: field attributes, field searches and
// strings written into the presentation space.
#include <algorithm>

#include "codepage/CodePage.h"
#include "ibm3270/DataStream.h"
#include "ibm3270/Engine3270.h"
#include "session/HostSession.h"

namespace corvina {

using namespace ds3270;

namespace {

// Whether a field of this attribute is of the kind a search code's second
// byte asks for: blank any, 'P' protected, 'U' unprotected.
bool OfKind(std::uint8_t attribute, std::uint8_t kind) {
  if (kind == 'P') return (attribute & kFaProtected) != 0;
  if (kind == 'U') return (attribute & kFaProtected) == 0;
  return true;
}

}  // namespace

int C3270Engine::FindField(int position, std::uint8_t direction, std::uint8_t kind) const {
  const C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  switch (direction) {
    case ' ':
    case 'T':
      return ps.FieldAttributePosition(position);
    case 'N':
      for (int n = 1; n <= size; ++n) {
        const int p = ps.Wrap(position + n);
        if (ps.Attribute(p) != 0 && OfKind(ps.Attribute(p), kind)) return p;
      }
      return -1;
    case 'P': {
      const int start = ps.FieldAttributePosition(position);
      if (start < 0) return -1;
      // Each step lands on an earlier attribute, so this ends at the start
      // within one round of the fields.
      int at = start;
      for (int n = 0; n < size; ++n) {
        at = ps.FieldAttributePosition(ps.Wrap(at - 1));
        if (at == start || OfKind(ps.Attribute(at), kind)) return at;
      }
      return start;
    }
    default:
      return -2;
  }
}

int C3270Engine::HllapiFunction(int number, HllapiRequest& r) {
  if (!ps_) return hllapi::kNotSupported;
  C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  const bool known = number == 14 || number == 15 || number == 31 || number == 32 || number == 33;
  if (!known || IsPrinter()) return hllapi::kNotSupported;  // the file transfers are not offered here yet
  if (r.position == 0 || r.position > size) return hllapi::kBadPosition;
  const int position = r.position - 1;

  if (number == 14) {
    const int fa = ps.FieldAttributePosition(position);
    if (fa < 0) return hllapi::kNotFound;
    r.length = ps.Attribute(fa) | 0xC0;
    return hllapi::kOk;
  }

  if (number == 31 || number == 32) {
    if (r.data.size() < 2) return hllapi::kParameterError;
    const int fa = FindField(position, r.data[0], r.data[1]);
    if (fa == -2) return hllapi::kParameterError;
    if (fa < 0) return hllapi::kNotFound;
    const int first = ps.Wrap(fa + 1);
    if (number == 31) {
      if (ps.Attribute(first) != 0) return hllapi::kZeroLength;
      r.length = static_cast<std::uint16_t>(first + 1);
      return hllapi::kOk;
    }
    int count = 0;
    while (count < size - 1 && ps.Attribute(first + count) == 0) ++count;
    if (count == 0) return hllapi::kZeroLength;
    r.length = static_cast<std::uint16_t>(count);
    return hllapi::kOk;
  }

  // 15 and 33: a string into the presentation space.
  const int fa = ps.FieldAttributePosition(position);
  if (number == 33 && fa < 0) return hllapi::kNotFound;
  if (fa >= 0 && (fa == position || (ps.Attribute(fa) & kFaProtected))) return hllapi::kInhibited;
  const std::size_t given = std::min<std::size_t>(r.length, r.data.size());
  const std::size_t step = (r.flags & hllapi::kFlagEab) ? 2 : 1;  // EAB: an attribute byte follows each character
  int p = number == 15 ? position : ps.Wrap(fa + 1);
  std::size_t used = 0;
  int stored = 0;
  // Never more than one screenful: a longer string would write over its own start.
  while (used < given && stored < size) {
    if (ps.Attribute(p) != 0) break;
    const std::uint8_t c = r.data[used];
    if (c >= 0x80) break;
    ps.PutCharacter(p, session_->CodePage().ToEbcdic(c), ps.Extended(p));
    if (stored++ == 0) ps.SetMdt(p);
    used = std::min(used + step, given);
    p = ps.Wrap(p + 1);
  }
  r.length = static_cast<std::uint16_t>(used);
  if (stored > 0) Refresh();
  return used < given ? hllapi::kTruncated : hllapi::kOk;
}

}  // namespace corvina
