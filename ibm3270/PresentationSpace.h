// The screen model of a 3270 display session: characters, field attributes
// and extended attributes of every buffer position, and the rules that read
// them. The geometry and the cursor are the session's; the buffers always
// hold the alternate size and the current one, and every position is reduced
// modulo the current buffer size before it reaches them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvina {

class CCorvinaCodePage;
class CHostSession;

class C3270PresentationSpace {
 public:
  explicit C3270PresentationSpace(CHostSession& session) : session_(session) {}

  // Cleared buffers for the session's alternate size.
  void Allocate();

  // Positions in use (rows x columns of the current size); 0 without buffers.
  int Size() const;
  int Columns() const;
  // The position reduced modulo the buffer size (0 without buffers).
  int Wrap(int position) const;

  std::uint8_t Character(int position) const { return Size() ? chars_[Index(position)] : 0; }
  std::uint8_t Attribute(int position) const { return Size() ? attrs_[Index(position)] : 0; }
  std::uint32_t Extended(int position) const { return Size() ? ext_[Index(position)] : 0; }

  // Stores a character with its extended word; a field attribute there is
  // removed. Marks the screen changed.
  void PutCharacter(int position, std::uint8_t c, std::uint32_t extended);
  // Stores a field attribute (kFaStored is added) and its extended word; the
  // position's character becomes null.
  void PutAttribute(int position, std::uint8_t attribute, std::uint32_t extended);

  // The position of the field attribute that governs the position (searching
  // backwards and wrapping); -1 on an unformatted screen.
  int FieldAttributePosition(int position) const;
  // The attribute of the position's field; kFaOnAttribute on an attribute
  // position; kFaStored (unprotected, normal) on an unformatted screen.
  std::uint8_t GoverningAttribute(int position) const;
  bool Formatted() const;
  void SetMdt(int position);
  void ResetMdt(int position);
  void ResetAllMdt();

  // Empties all three buffers, puts the cursor, the write address and the
  // SSCP-LU input area at 0 and marks the screen changed; refreshes the
  // window when asked.
  void Clear(bool refresh);
  // Makes rows x columns the current size (never beyond the buffers, which
  // grow when it would be), clearing when asked.
  void SetSize(int rows, int columns, bool clear);
  // New buffers for a new alternate size; the first positions are kept.
  void ResizeBuffers(int alternateRows, int alternateColumns);
  // Makes room for a host address at or beyond the buffer by growing the
  // screen to the smallest standard model; false when none holds it.
  bool Accommodate(int address);

  // Tool-tip text of an attribute position; empty for any other position.
  std::string DescribeAttribute(int position) const;
  // Text of count positions from position (see TerminalEngine::ExtractText).
  int ExtractText(int position, int count, std::string& out, std::vector<std::uint8_t>* attributes,
                  unsigned flags, const CCorvinaCodePage& codePage) const;

  // Reply modes: how reads describe attributes.
  enum ReplyMode : std::uint8_t { kReplyField = 0, kReplyExtendedField = 1, kReplyCharacter = 2 };
  // A copy of the last Set Reply Mode structured field (a clear discards it).
  void SetReplyMode(std::span<const std::uint8_t> structuredField) {
    replyMode_.assign(structuredField.begin(), structuredField.end());
  }
  std::uint8_t ReplyModeKind() const { return replyMode_.size() > 4 ? replyMode_[4] : std::uint8_t{kReplyField}; }
  // The attribute types character mode sends as SA orders.
  std::span<const std::uint8_t> ReplyModeTypes() const {
    return replyMode_.size() > 5 ? std::span(replyMode_).subspan(5) : std::span<const std::uint8_t>();
  }

  // The write buffer address used by the orders of a Write.
  int writeAddress = 0;
  // The SSCP-LU input area (start and end positions).
  int sscpStart = 0, sscpEnd = 0;

 private:
  std::size_t Index(int position) const { return static_cast<std::size_t>(Wrap(position)); }
  void ScreenChanged();
  // Buffers of n positions, never fewer than the current size uses.
  void SizeBuffers(std::size_t n);

  CHostSession& session_;
  std::vector<std::uint8_t> chars_, attrs_;
  std::vector<std::uint32_t> ext_;
  std::vector<std::uint8_t> replyMode_;
};

}  // namespace corvina
