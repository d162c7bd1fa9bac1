#include "ibm3270/PresentationSpace.h"

#include <algorithm>

#include "codepage/CodePage.h"
#include "ibm3270/DataStream.h"
#include "ibm3270/Texts3270.h"
#include "platform/Format.h"
#include "session/HostSession.h"

namespace corvina {

using namespace ds3270;

namespace {

// An extended attribute byte of a text copy.
std::uint8_t ExtendedAttributeByte(std::uint32_t w, bool colorForm) {
  if (colorForm) {
    // Colour codes 8 to 14 in PC colour form, foreground low, background high.
    static constexpr std::uint8_t kPcColors[7] = {0x1, 0x4, 0x5, 0x2, 0x3, 0x6, 0x7};
    auto pc = [](unsigned code) -> std::uint8_t { return code >= 8 && code <= 14 ? kPcColors[code - 8] : 0; };
    return static_cast<std::uint8_t>(pc(ExtForeground(w)) | (pc(ExtBackground(w)) << 4));
  }
  auto b = static_cast<std::uint8_t>(((w >> 4) & 0x7u) << 3);
  switch (ExtHighlight(w)) {
    case kHighlightBlink: return b | 0x40;
    case kHighlightReverse: return b | 0x80;
    case kHighlightUnderscore: return b | 0xC0;
    default: return b;
  }
}

char TextOf(std::uint8_t c, const CCorvinaCodePage& codePage) {
  switch (c) {
    case 0x00: case 0x0C: case 0x0D: case 0x15: case 0x19: case 0xFF:
      return ' ';
    case kDup:
      return '*';
    case kFieldMark:
      return ';';
    default:
      return static_cast<char>(codePage.ToAscii(c));
  }
}

}  // namespace

void C3270PresentationSpace::Allocate() {
  std::size_t n = static_cast<std::size_t>(session_.AlternateRows()) *
                  static_cast<std::size_t>(session_.AlternateColumns());
  chars_.assign(n, 0);
  attrs_.assign(n, 0);
  ext_.assign(n, 0);
}

int C3270PresentationSpace::Size() const {
  return std::min(session_.BufferSize(), static_cast<int>(chars_.size()));
}

int C3270PresentationSpace::Columns() const { return session_.Columns(); }

int C3270PresentationSpace::Wrap(int position) const {
  int size = Size();
  if (size <= 0) return 0;
  position %= size;
  return position < 0 ? position + size : position;
}

void C3270PresentationSpace::ScreenChanged() { session_.SetScreenChanged(true); }

void C3270PresentationSpace::PutCharacter(int position, std::uint8_t c, std::uint32_t extended) {
  if (Size() == 0) return;
  std::size_t i = Index(position);
  chars_[i] = c;
  attrs_[i] = 0;
  ext_[i] = extended;
  ScreenChanged();
}

void C3270PresentationSpace::PutAttribute(int position, std::uint8_t attribute, std::uint32_t extended) {
  if (Size() == 0) return;
  std::size_t i = Index(position);
  chars_[i] = 0;
  attrs_[i] = attribute | kFaStored;
  ext_[i] = extended;
  ScreenChanged();
}

int C3270PresentationSpace::FieldAttributePosition(int position) const {
  int size = Size();
  int p = Wrap(position);
  for (int n = 0; n < size; ++n) {
    if (attrs_[static_cast<std::size_t>(p)] != 0) return p;
    p = p == 0 ? size - 1 : p - 1;
  }
  return -1;
}

std::uint8_t C3270PresentationSpace::GoverningAttribute(int position) const {
  if (Attribute(position) != 0) return kFaOnAttribute;
  int fa = FieldAttributePosition(position);
  return fa < 0 ? kFaStored : attrs_[static_cast<std::size_t>(fa)];
}

bool C3270PresentationSpace::Formatted() const {
  int size = Size();
  return std::any_of(attrs_.begin(), attrs_.begin() + size, [](std::uint8_t a) { return a != 0; });
}

void C3270PresentationSpace::SetMdt(int position) {
  int fa = FieldAttributePosition(position);
  if (fa >= 0) attrs_[static_cast<std::size_t>(fa)] |= kFaMdt;
}

void C3270PresentationSpace::ResetMdt(int position) {
  int fa = FieldAttributePosition(position);
  if (fa >= 0) attrs_[static_cast<std::size_t>(fa)] &= static_cast<std::uint8_t>(~kFaMdt);
}

void C3270PresentationSpace::ResetAllMdt() {
  for (std::uint8_t& a : attrs_) a &= static_cast<std::uint8_t>(~kFaMdt);
}

void C3270PresentationSpace::Clear(bool refresh) {
  std::fill(chars_.begin(), chars_.end(), 0);
  std::fill(attrs_.begin(), attrs_.end(), 0);
  std::fill(ext_.begin(), ext_.end(), 0);
  session_.SetCursorPosition(0, false);
  writeAddress = 0;
  sscpStart = sscpEnd = 0;
  replyMode_.clear();
  ScreenChanged();
  if (refresh) session_.Frame().ScreenChanged(session_);
}

void C3270PresentationSpace::SetSize(int rows, int columns, bool clear) {
  rows = std::max(1, rows);
  columns = std::max(1, columns);
  if (const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns); n > chars_.size())
    SizeBuffers(n);
  int before = session_.BufferSize();
  session_.SetSize(rows, columns);
  if (clear) Clear(false);
  if (session_.BufferSize() != before) session_.Frame().ScreenChanged(session_);
}

void C3270PresentationSpace::ResizeBuffers(int alternateRows, int alternateColumns) {
  session_.SetAlternateSize(alternateRows, alternateColumns);
  SizeBuffers(static_cast<std::size_t>(session_.AlternateRows()) * static_cast<std::size_t>(session_.AlternateColumns()));
}

void C3270PresentationSpace::SizeBuffers(std::size_t n) {
  n = std::max(n, static_cast<std::size_t>(session_.BufferSize()));
  chars_.resize(n, 0);
  attrs_.resize(n, 0);
  ext_.resize(n, 0);
}

bool C3270PresentationSpace::Accommodate(int address) {
  if (address >= 0 && address < Size()) return true;
  auto model = StandardModelFor(address);
  if (!model) return false;
  session_.SetDefaultSize(model->rows, model->columns);
  // The grown screen is the alternate one too, so reads and Erase/Write
  // Alternate reach the host's addresses.
  if (static_cast<std::size_t>(model->rows) * static_cast<std::size_t>(model->columns) > chars_.size())
    ResizeBuffers(model->rows, model->columns);
  SetSize(model->rows, model->columns, false);
  ScreenChanged();
  return true;
}

std::string C3270PresentationSpace::DescribeAttribute(int position) const {
  std::uint8_t a = Attribute(position);
  if (a == 0) return {};
  int p = Wrap(position);
  int columns = std::max(1, Columns());
  std::string text = platform::Format(texts3270::kAttrPosition, p / columns + 1, p % columns + 1);
  bool isProtected = (a & kFaProtected) != 0;
  text += isProtected ? texts3270::kAttrProtected : texts3270::kAttrUnprotected;
  if (a & kFaNumeric) text += isProtected ? texts3270::kAttrAutoskip : texts3270::kAttrNumeric;
  switch (a & kFaDisplayMask) {
    case kFaDetectable:
      text += texts3270::kAttrSelectable;
      break;
    case kFaIntensified:
      text += texts3270::kAttrHighIntensity;
      text += texts3270::kAttrSelectable;
      break;
    case kFaNonDisplay:
      text += texts3270::kAttrNonDisplay;
      break;
    default:
      break;
  }
  if (a & kFaMdt) text += texts3270::kAttrMdtOn;
  switch (ExtHighlight(Extended(position))) {
    case kHighlightBlink:
      text += texts3270::kAttrBlink;
      break;
    case kHighlightReverse:
      text += texts3270::kAttrReverse;
      break;
    case kHighlightUnderscore:
      text += texts3270::kAttrUnderscore;
      break;
    default:
      break;
  }
  return text;
}

int C3270PresentationSpace::ExtractText(int position, int count, std::string& out,
                                        std::vector<std::uint8_t>* attributes, unsigned flags,
                                        const CCorvinaCodePage& codePage) const {
  const int size = Size();
  if (size == 0 || position < 0 || position >= size || count <= 0) return 0;
  const bool fieldMode = (flags & kExtractFieldMode) != 0;
  if (fieldMode) count = std::min(count, size);  // a field never holds more
  const std::size_t before = out.size();
  int fa = FieldAttributePosition(position);
  std::uint8_t current = fa < 0 ? kFaStored : attrs_[static_cast<std::size_t>(fa)];
  int p = position;
  for (int n = 0; n < count; ++n, ++p) {
    if (p >= size) {
      if (!fieldMode) break;
      p = 0;
    }
    const auto i = static_cast<std::size_t>(p);
    char c;
    if (attrs_[i] != 0) {
      if (fieldMode) break;
      current = attrs_[i];
      c = (flags & kExtractAttributeBytes) ? static_cast<char>(current | 0xC0)
          : (flags & kExtractAttributeAsTab) ? '\t'
                                             : ' ';
    } else if ((current & kFaDisplayMask) == kFaNonDisplay && !(flags & kExtractShowNonDisplay)) {
      c = (flags & kExtractNonDisplayAsNull) ? '\0' : ' ';
    } else {
      c = TextOf(chars_[i], codePage);
    }
    out.push_back(c);
    if (flags & kExtractExtendedAttributes)
      out.push_back(static_cast<char>(ExtendedAttributeByte(ext_[i], (flags & kExtractColorForm) != 0)));
    if (attributes) attributes->push_back(attrs_[i] != 0 ? kFaOnAttribute : current);
  }
  return static_cast<int>(out.size() - before);
}

}  // namespace corvina
