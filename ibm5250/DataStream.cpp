#include "ibm5250/DataStream.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace corvina::ds5250 {

namespace {

constexpr std::uint8_t kOutputCommands[] = {kWriteToDisplay, kClearUnitAlternate, kWriteErrorCode, kRoll,
                                            kClearUnit, kClearFormatTable, kWriteStructuredField};
constexpr std::uint8_t kPutGetCommands[] = {kSaveScreen,     kWriteToDisplay,       kClearUnitAlternate,
                                            kWriteErrorCode, kRoll,                 kClearUnit,
                                            kReadInputFields, kClearFormatTable,    kReadMdtFields,
                                            kReadScreen,     kReadImmediate,        kReadMdtAlternate,
                                            kReadMdtImmediateAlternate, kWriteStructuredField};
constexpr std::uint8_t kInviteCommands[] = {kReadInputFields, kReadMdtFields, kReadMdtAlternate};
// Write Error Code is taken too, so that the image of a screen in the error
// state (which ends with one) restores.
constexpr std::uint8_t kRestoreCommands[] = {kWriteToDisplay, kClearUnitRestore, kClearUnitAlternate, kClearUnit,
                                             kWriteErrorCode};
constexpr std::uint8_t kSaveCommands[] = {kSaveScreen};
constexpr std::uint8_t kReadImmediateCommands[] = {kReadImmediate, kReadMdtImmediateAlternate};
constexpr std::uint8_t kReadScreenCommands[] = {kReadScreen};

// Display flags and colour of the attributes 0x20 to 0x3F.
constexpr std::uint8_t kColorDisplay[32] = {
    0x04, 0x84, 0x09, 0x89, 0x44, 0xC4, 0x49, 0x0F, 0x03, 0x83, 0x23, 0xA3, 0x43, 0xC3, 0x63, 0x0F,
    0x18, 0x98, 0x17, 0x97, 0x58, 0xD8, 0x57, 0x0F, 0x06, 0x86, 0x05, 0x85, 0x46, 0xC6, 0x45, 0x0F};
constexpr std::uint8_t kMonochromeDisplay[32] = {
    0x04, 0x84, 0x09, 0x89, 0x44, 0xC4, 0x49, 0x0F, 0x24, 0xA4, 0x29, 0xA9, 0x64, 0xE4, 0x69, 0x0F,
    0x14, 0x94, 0x19, 0x99, 0x54, 0xD4, 0x59, 0x0F, 0x34, 0xB4, 0x39, 0xB9, 0x74, 0xF4, 0x79, 0x0F};

// The query reply around the device type and model: the reply's length,
// class and type, the query-reply flag, controller hardware class and code
// level, reserved bytes, then the device type and model in EBCDIC.
constexpr std::uint8_t kReplyStart[] = {0x00, 0x3A, 0xD9, 0x70, 0x80, 0x06, 0x00, 0x02, 0x02, 0x00,
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
// After the device: keyboard and capabilities; kWideByte's 0x20 says 27 x 132.
constexpr std::uint8_t kReplyEnd[] = {0x02, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00,
                                      0x7F, 0x11, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr std::size_t kWideByte = 13;
constexpr std::uint8_t kWideBit = 0x20;
constexpr std::size_t kDeviceTypeLength = 4, kModelLength = 3;

std::uint8_t EbcdicOfAlphanumeric(char c) {
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(0xF0 + (c - '0'));
  if (c >= 'A' && c <= 'I') return static_cast<std::uint8_t>(0xC1 + (c - 'A'));
  if (c >= 'J' && c <= 'R') return static_cast<std::uint8_t>(0xD1 + (c - 'J'));
  if (c >= 'S' && c <= 'Z') return static_cast<std::uint8_t>(0xE2 + (c - 'S'));
  return kBlank;
}

bool Alphanumeric(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

}  // namespace

bool OperationAccepts(std::uint8_t opcode, std::uint8_t command) {
  std::span<const std::uint8_t> accepted;
  switch (opcode) {
    case kOpInvite: accepted = kInviteCommands; break;
    case kOpOutputOnly: accepted = kOutputCommands; break;
    case kOpPutGet: accepted = kPutGetCommands; break;
    case kOpSaveScreen: accepted = kSaveCommands; break;
    case kOpRestoreScreen: accepted = kRestoreCommands; break;
    case kOpReadImmediate: accepted = kReadImmediateCommands; break;
    case kOpReadScreen: accepted = kReadScreenCommands; break;
    default: return false;
  }
  return std::find(accepted.begin(), accepted.end(), command) != accepted.end();
}

std::uint8_t DisplayOf(std::uint8_t attribute, bool monochrome) {
  if (!IsAttribute(attribute)) return kColorGreen;
  return (monochrome ? kMonochromeDisplay : kColorDisplay)[attribute - kAttributeFirst];
}

int FunctionKeyOfAid(std::uint8_t aid) {
  if (aid >= 0x31 && aid <= 0x3C) return aid - 0x30;
  if (aid >= 0xB1 && aid <= 0xBC) return aid - 0xB0 + 12;
  return 0;
}

std::optional<std::vector<std::uint8_t>> QueryReply(std::string_view terminalType, bool wide) {
  // "IBM-", four characters of device type, "-", one to three of model.
  if (!terminalType.starts_with("IBM-") || terminalType.size() < 10) return std::nullopt;
  const std::string_view type = terminalType.substr(4, kDeviceTypeLength);
  if (terminalType[8] != '-') return std::nullopt;
  const std::string_view model = terminalType.substr(9);
  if (!Alphanumeric(type) || !Alphanumeric(model) || model.size() > kModelLength) return std::nullopt;
  std::vector<std::uint8_t> reply(std::begin(kReplyStart), std::end(kReplyStart));
  for (char c : type) reply.push_back(EbcdicOfAlphanumeric(c));
  // A numeric model is zero-filled on the left ("002"), any other blank-filled (" FC").
  const bool numeric = std::all_of(model.begin(), model.end(), [](char c) { return c >= '0' && c <= '9'; });
  for (std::size_t k = model.size(); k < kModelLength; ++k) reply.push_back(numeric ? kZero : kBlank);
  for (char c : model) reply.push_back(EbcdicOfAlphanumeric(c));
  const std::size_t end = reply.size();
  reply.insert(reply.end(), std::begin(kReplyEnd), std::end(kReplyEnd));
  if (wide) reply[end + kWideByte] |= kWideBit;
  return reply;
}

std::array<std::uint8_t, kHeaderLength> OutboundHeader(std::uint8_t opcode, std::uint8_t flags) {
  return {0x00, 0x00, kRecordTypeHigh, kRecordTypeLow, 0x00, 0x00, kVariableHeaderLength, flags, 0x00, opcode};
}

}  // namespace corvina::ds5250
