// Write Structured Field: Read Partition with the query replies, Erase/Reset,
// Set Reply Mode, Outbound 3270DS, and the fields other owners take.
#include <algorithm>

#include "config/TerminalTypes.h"
#include "ibm3270/DataStream.h"
#include "ibm3270/Engine3270.h"
#include "session/HostSession.h"

namespace corvina {

using namespace ds3270;

namespace {

// Structured field identifiers.
constexpr std::uint8_t kSfReadPartition = 0x01, kSfEraseReset = 0x03, kSfSetReplyMode = 0x09,
                       kSfBeginEndOfFile = 0x0F, kSfOutbound3270DS = 0x40, kSfFileTransfer = 0xD0;
// Read Partition types.
constexpr std::uint8_t kRpQuery = 0x02, kRpQueryList = 0x03, kRpReadModified = 0xF6,
                       kRpReadModifiedAll = 0x6E, kRpReadBuffer = 0xF2;
constexpr std::uint8_t kAidQueryReply = 0x88;

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

}  // namespace

std::optional<C3270Engine::ReplySet> C3270Engine::QueryReplySet() const {
  // Only colour displays and printers answer queries; a session that fell
  // back to a 3278 has none.
  unsigned kind = session_->ConfiguredKind();
  if (kind != kKind3279 && kind != kKind3270Printer) return std::nullopt;
  const CCorvinaSessionProfile& p = session_->Profile();
  CCorvinaTerminalTypes types;
  const TerminalTypeRow* row = types.FindByDisplayName(p.terminalDisplayName);
  if (!row && !types.DisplayNameFor(kind, p.rows, p.columns).empty()) row = types.Find(kind, p.rows, p.columns);
  if (!row || (row->code != kKind3279 && row->code != kKind3270Printer)) return std::nullopt;
  return ReplySet{row->rows, row->columns};
}

std::vector<std::uint8_t> C3270Engine::QueryReply(std::uint8_t qcode, const ReplySet& set, bool withDdm) const {
  std::vector<std::uint8_t> r;
  switch (qcode) {
    case 0x80:  // Summary
      r = {0x00, 0x0B, 0x81, 0x80, 0x80, 0x81, 0x85, 0x86, 0x87, 0x88, 0xA6};
      if (withDdm) {
        r[1] = 0x0C;
        r.push_back(0x95);
      }
      break;
    case 0x81:  // Usable Area
      r = {0x00, 0x17, 0x81, 0x81, 0x01, 0x00};
      Put16(r, static_cast<unsigned>(set.columns));
      Put16(r, static_cast<unsigned>(set.rows));
      r.insert(r.end(), {0x00, 0x00, 0x02, 0x00, 0x89, 0x00, 0x02, 0x00, 0x85, 0x09, 0x10});
      Put16(r, static_cast<unsigned>(set.rows * set.columns));
      break;
    case 0x85: {  // Character Sets, with the code page's identifier as it is now
      r = {0x00, 0x14, 0x81, 0x85, 0x82, 0x00, 0x0D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00};
      const CCorvinaCodePage& cp = session_->CodePage();
      Put16(r, cp.CharacterSet());
      Put16(r, cp.CodePageNumber());
      break;
    }
    case 0x86:  // Color
      r = {0x00, 0x16, 0x81, 0x86, 0x00, 0x08, 0x00, 0xF4, 0xF1, 0xF1, 0xF2,
           0xF2, 0xF3, 0xF3, 0xF4, 0xF4, 0xF5, 0xF5, 0xF6, 0xF6, 0xF7, 0xF7};
      break;
    case 0x87:  // Highlighting
      r = {0x00, 0x0F, 0x81, 0x87, 0x05, 0x00, 0xF0, 0xF1, 0xF1, 0xF2, 0xF2, 0xF4, 0xF4, 0xF8, 0xF8};
      break;
    case 0x88:  // Reply Modes
      r = {0x00, 0x07, 0x81, 0x88, 0x00, 0x01, 0x02};
      break;
    case 0x95: {  // Distributed Data Management: both limits are the transfer buffer size
      r = {0x00, 0x0C, 0x81, 0x95, 0x00, 0x00};
      unsigned limit = static_cast<unsigned>(FileTransferBufferSize());
      Put16(r, limit);
      Put16(r, limit);
      r.insert(r.end(), {0x01, 0x01});
      break;
    }
    case 0x9F:  // Begin/End of File
      r = {0x00, 0x06, 0x81, 0x9F, 0x00, 0x00};
      break;
    case 0xA6:  // Implicit Partition: default 80 x 24, alternate the row's size
      r = {0x00, 0x11, 0x81, 0xA6, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x00, 0x50, 0x00, 0x18};
      Put16(r, static_cast<unsigned>(set.columns));
      Put16(r, static_cast<unsigned>(set.rows));
      break;
    case 0xFF:  // Null
      r = {0x00, 0x04, 0x81, 0xFF};
      break;
    default:
      break;
  }
  return r;
}

int C3270Engine::FileTransferBufferSize() const { return session_->Profile().fileTransfer.bufferSize; }

void C3270Engine::SendQueryReply(const ReplySet& set, std::span<const std::uint8_t> qcodes, bool all) {
  const bool ddm = FileTransferWantsDdm();
  std::vector<std::uint8_t> data{kAidQueryReply};
  auto add = [&](std::uint8_t q) {
    auto r = QueryReply(q, set, ddm);
    data.insert(data.end(), r.begin(), r.end());
  };
  if (all) {
    for (std::uint8_t q : {0x80, 0x81, 0x85, 0x86, 0x87, 0x88}) add(q);
    if (ddm) add(0x95);
    add(0xA6);
  } else {
    std::vector<std::uint8_t> seen;
    for (std::uint8_t q : qcodes) {
      if (std::find(seen.begin(), seen.end(), q) != seen.end()) continue;  // named again later: ignored
      seen.push_back(q);
      bool known = q == 0x80 || q == 0x81 || q == 0x85 || q == 0x86 || q == 0x87 || q == 0x88 || q == 0x9F ||
                   q == 0xA6 || (q == 0x95 && ddm);
      if (known) add(q);
    }
    if (data.size() == 1) add(0xFF);
  }
  SendInboundRecord(data);
}

// Returns false when the rest of the record must not be processed.
bool C3270Engine::ReadPartition(std::span<const std::uint8_t> sf, bool& responded) {
  if (sf.size() < 5) return true;  // no type: nothing to do
  CTelnetLayer& telnet = session_->Telnet();
  auto respond = [&] {
    if (!responded) telnet.SendPositiveResponse();
    responded = true;
  };
  const std::uint8_t type = sf[4];
  switch (type) {
    case kRpQuery:
    case kRpQueryList: {
      auto set = QueryReplySet();
      if (!set) {
        telnet.SendNegativeResponse(telnet::kReasonCommandReject);
        responded = true;
        return false;
      }
      respond();
      if (type == kRpQuery) {
        SendQueryReply(*set, {}, true);
        break;
      }
      std::uint8_t request = sf.size() > 5 ? sf[5] : 0xC0;  // none given: nothing asked
      if (request >= 0x40 && request <= 0xBF)
        SendQueryReply(*set, {}, true);
      else if (request <= 0x3F)
        SendQueryReply(*set, sf.subspan(std::min<std::size_t>(6, sf.size())), false);
      else
        SendQueryReply(*set, {}, false);  // only the Null reply
      break;
    }
    case kRpReadModified:
    case kRpReadModifiedAll:
      respond();
      ReadModified(aid_, false, type == kRpReadModifiedAll);  // an operator read: it locks and waits like an AID key
      break;
    case kRpReadBuffer:
      respond();
      ReadBuffer(aid_);
      break;
    default:
      break;
  }
  return true;
}

void C3270Engine::WriteStructuredFields(std::span<const std::uint8_t> fields) {
  CTelnetLayer& telnet = session_->Telnet();
  bool responded = false;
  std::size_t i = 0;
  while (i < fields.size()) {
    const std::size_t left = fields.size() - i;
    std::size_t length = left >= 2 ? (std::size_t{fields[i]} << 8 | fields[i + 1]) : 1;
    if (length == 0) length = left;  // up to the end of the record
    if (length < 3 || length > left) {
      // A length the record cannot hold ends the walk.
      if (telnet.CorvinaEState() != kCorvinaEOff) telnet.SendNegativeResponse(telnet::kReasonOperationCheck);
      return;
    }
    std::span<const std::uint8_t> sf = fields.subspan(i, length);
    i += length;
    switch (sf[2]) {
      case kSfReadPartition:
        if (!ReadPartition(sf, responded)) return;
        break;
      case kSfEraseReset: {
        bool alternate = sf.size() > 3 && (sf[3] & 0x80);
        ps_->SetSize(alternate ? session_->AlternateRows() : session_->DefaultRows(),
                     alternate ? session_->AlternateColumns() : session_->DefaultColumns(), true);
        break;
      }
      case kSfSetReplyMode:
        if (sf.size() >= 5) ps_->SetReplyMode(sf);
        break;
      case kSfBeginEndOfFile:
        if (sf.size() == 7 && sf[3] == 0x85 && IsPrinter() && (sf[5] & 0x40)) PrinterEndOfJob();
        break;
      case kSfOutbound3270DS: {
        if (sf.size() < 5) break;  // no command (Erase All Unprotected has no WCC)
        std::span<const std::uint8_t> record = sf.subspan(4);
        switch (record[0]) {
          case kEraseAllUnprotectedRemote:
            EraseAllUnprotected();
            break;
          case kEraseWriteAlternateRemote:
            ps_->SetSize(session_->AlternateRows(), session_->AlternateColumns(), true);
            if (!Write(record)) responded = true;
            break;
          case kEraseWriteRemote:
            ps_->SetSize(session_->DefaultRows(), session_->DefaultColumns(), true);
            if (!Write(record)) responded = true;
            break;
          case kWriteRemote:
            if (!Write(record)) responded = true;
            break;
          default:
            break;
        }
        break;
      }
      case kSfFileTransfer:
        // The host has its response before the transfer's reply.
        if (FileTransferActive()) {
          if (!responded) telnet.SendPositiveResponse();
          responded = true;
          FileTransferField(sf);
        }
        break;
      default:
        break;  // unknown fields are skipped
    }
  }
  if (!responded) telnet.SendPositiveResponse();
}

}  // namespace corvina
