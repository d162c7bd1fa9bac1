// The records a 3270 display sends: Read Modified, the short read, Read
// Buffer and SSCP-LU input.
#include <algorithm>

#include "ibm3270/DataStream.h"
#include "ibm3270/Engine3270.h"
#include "session/HostSession.h"
#include "session/Oia.h"

namespace corvina {

using namespace ds3270;

namespace {

void AppendAddress(std::vector<std::uint8_t>& data, int position) {
  auto address = EncodeAddress(position);
  data.insert(data.end(), address.begin(), address.end());
}

// The Set Attribute value of one attribute type of an extended word:
// colours and highlighting as 0xF0 plus the stored value, 0x00 for none.
std::uint8_t CharacterAttributeValue(std::uint8_t type, std::uint32_t extended) {
  switch (type) {
    case kTypeHighlighting:
      return ExtHighlight(extended) ? static_cast<std::uint8_t>(0xF0 | ExtHighlight(extended)) : 0;
    case kTypeForeground:
      return ExtForeground(extended) ? static_cast<std::uint8_t>(0xF0 | ExtForeground(extended)) : 0;
    case kTypeBackground:
      return ExtBackground(extended) ? static_cast<std::uint8_t>(0xF0 | ExtBackground(extended)) : 0;
    case kTypeCharacterSet:
      return static_cast<std::uint8_t>((extended & kExtCharacterSet) >> kExtCharacterSetShift);
    case kTypeTransparency: {
      const unsigned t = (extended & kExtTransparency) >> kExtTransparencyShift;
      return t ? static_cast<std::uint8_t>(0xF0 | t) : 0;
    }
    default:
      return 0;
  }
}

}  // namespace

void C3270Engine::SendInboundRecord(const std::vector<std::uint8_t>& data) {
  session_->Telnet().QueueHeader(telnet::kData3270, telnet::kNoResponse);
  session_->QueueOutputEscaped(data);
  const std::uint8_t end[] = {telnet::IAC, telnet::EOR};
  session_->QueueOutput(end);
}

// A character position's byte: characters that came by Graphic Escape go
// back as GE and their host code, never as the internal code (0x11 would
// read as SBA); host data bytes go back as they came. In character reply
// mode, attribute changes precede it as SA.
void C3270Engine::AppendCharacter(std::vector<std::uint8_t>& data, int position,
                                  std::uint32_t& lastExtended) const {
  if (ps_->ReplyModeKind() == C3270PresentationSpace::kReplyCharacter) {
    const std::uint32_t extended = ps_->Extended(position);
    for (std::uint8_t type : ps_->ReplyModeTypes()) {
      const std::uint8_t value = CharacterAttributeValue(type, extended);
      if (value != CharacterAttributeValue(type, lastExtended))
        data.insert(data.end(), {kSetAttribute, type, value});
    }
    lastExtended = extended;
  }
  const std::uint8_t c = ps_->Character(position);
  if (std::uint8_t host = GraphicEscapeHostCode(c); host != 0 && (ps_->Extended(position) & kExtGraphicEscape))
    data.insert(data.end(), {kGraphicEscape, host});
  else
    data.push_back(c);
}

void C3270Engine::AppendFieldAttribute(std::vector<std::uint8_t>& data, int position) const {
  const std::uint8_t attribute = ps_->Attribute(position);
  if (ps_->ReplyModeKind() == C3270PresentationSpace::kReplyField) {
    data.insert(data.end(), {kStartField, CodedAttribute(attribute)});
    return;
  }
  const std::uint32_t w = ps_->Extended(position);
  std::vector<std::uint8_t> pairs;
  auto pair = [&pairs](std::uint8_t type, std::uint8_t value) { pairs.insert(pairs.end(), {type, value}); };
  // Field colours are stored as the host's value + 1; 1 is the default.
  auto colour = [](unsigned stored) { return static_cast<std::uint8_t>(stored <= 1 ? 0 : 0xF0 | (stored - 1)); };
  if (attribute != kFaStored) pair(kTypeFieldAttribute, CodedAttribute(attribute));
  if (unsigned v = (w & kExtValidation) >> kExtValidationShift) pair(kTypeValidation, static_cast<std::uint8_t>(v));
  if (unsigned o = (w & kExtOutlining) >> kExtOutliningShift) pair(kTypeOutlining, static_cast<std::uint8_t>(o));
  if (unsigned h = ExtHighlight(w)) pair(kTypeHighlighting, static_cast<std::uint8_t>(0xF0 | h));
  if (unsigned f = ExtForeground(w)) pair(kTypeForeground, colour(f));
  if (unsigned b = ExtBackground(w)) pair(kTypeBackground, colour(b));
  if (w & kExtCharacterSet) pair(kTypeCharacterSet, CharacterAttributeValue(kTypeCharacterSet, w));
  if (w & kExtTransparency) pair(kTypeTransparency, CharacterAttributeValue(kTypeTransparency, w));
  data.insert(data.end(), {kStartFieldExtended, static_cast<std::uint8_t>(pairs.size() / 2)});
  data.insert(data.end(), pairs.begin(), pairs.end());
}

bool C3270Engine::StartAid(std::uint8_t aid) {
  CHostSession& s = *session_;
  if (s.Telnet().CorvinaEState() > kCorvinaELuLu) {
    LockKeyboard(kLockMinusFunctionReason, false);
    return false;
  }
  aid_ = aid;
  s.SetLockReason(kLockWaitingForHost);
  s.SetInsertMode(false);
  s.Responses().Start(s.Clock().MonotonicMs());
  Refresh();
  return true;
}

void C3270Engine::ReadBuffer(std::uint8_t aid) {
  if (!ps_) return;
  const C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  std::vector<std::uint8_t> data;
  data.reserve(static_cast<std::size_t>(size) + 3);
  data.push_back(aid);
  aid_ = kNoAid;
  AppendAddress(data, session_->Cursor());
  std::uint32_t lastExtended = 0;
  for (int p = 0; p < size; ++p) {
    if (ps.Attribute(p) != 0) {
      AppendFieldAttribute(data, p);
      lastExtended = 0;
    } else {
      AppendCharacter(data, p, lastExtended);
    }
  }
  SendInboundRecord(data);
}

void C3270Engine::ReadModified(std::uint8_t aid, bool hostRequested, bool all) {
  if (!ps_) return;
  if (!hostRequested && !StartAid(aid)) return;
  const bool withData = all || aid != kAidSelectorPen;
  const C3270PresentationSpace& ps = *ps_;
  const int size = ps.Size();
  const bool nullsAsBlanks = (session_->Profile().terminalOptions & kTermNullSpace) != 0;
  std::vector<std::uint8_t> data{aid};
  AppendAddress(data, session_->Cursor());
  // The characters of `count` positions from `from` (wrapping): nulls left
  // out, or sent as blanks when more characters follow and the profile
  // asks for it.
  auto addText = [&](int from, int count) {
    int last = count - 1;
    while (last >= 0 && ps.Character(from + last) == 0) --last;
    std::uint32_t lastExtended = 0;
    for (int k = 0; k <= last; ++k) {
      if (ps.Character(from + k) != 0)
        AppendCharacter(data, ps.Wrap(from + k), lastExtended);
      else if (nullsAsBlanks)
        data.push_back(0x40);
    }
  };
  if (!ps.Formatted()) {
    addText(0, size);
  } else {
    for (int p = 0; p < size; ++p) {
      if (!(ps.Attribute(p) & kFaMdt)) continue;
      // A field runs to the next attribute; the last one wraps past the
      // end of the buffer to the first attribute.
      const int start = ps.Wrap(p + 1);
      int length = 0;
      while (length < size - 1 && ps.Attribute(start + length) == 0) ++length;
      data.push_back(kSetBufferAddress);
      AppendAddress(data, start);
      if (withData) addText(start, length);
    }
  }
  SendInboundRecord(data);
}

void C3270Engine::ShortRead(std::uint8_t aid) {
  if (!StartAid(aid)) return;
  SendInboundRecord({aid});
}

void C3270Engine::SendSscpLuInput() {
  const C3270PresentationSpace& ps = *ps_;
  std::vector<std::uint8_t> data;
  const int end = std::min(ps.sscpEnd, ps.Size());
  for (int p = std::max(0, ps.sscpStart); p < end; ++p)
    if (std::uint8_t c = ps.Character(p); c != 0) data.push_back(c);
  session_->Telnet().QueueHeader(telnet::kDataSscpLu, telnet::kNoResponse);
  session_->QueueOutputEscaped(data);
  const std::uint8_t eor[] = {telnet::IAC, telnet::EOR};
  session_->QueueOutput(eor);
}

}  // namespace corvina
