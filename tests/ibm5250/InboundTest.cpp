// The records a 5250 display sends, byte for byte: read responses, the AIDs
// that carry no fields, the query reply, Read Screen and the Save Screen
// image, and Save Screen followed by Restore Screen over random screens.
#include <gtest/gtest.h>

#include <random>

#include "Support5250.h"
#include "keyboard/KeyFunctions.h"

namespace corvina::test {
namespace {

namespace k = kf::ibm5250;

// An alpha field at 2,2 (5 cells), a signed-numeric one at 3,2 (6 cells)
// holding 00012 and a minus, a transparent one at 4,2 (4 cells) holding
// A, null, B; all but the first with their MDT on.
Record5250 Fields() {
  Record5250 r;
  r.ClearUnit().Wtd().Sba(2, 1).Sof(kAlpha, 5).Sba(3, 1).Sof(kSigned | kMdt, 6).Text("00012-");
  r.Sba(4, 1).Sof(kAlpha | kMdt, 4, 0x24, {0x8400}).Text("A").Byte(0x00).Text("B");
  return r;
}

TEST(Inbound5250, ReadInputFieldsSendsEveryFieldAsTheHostReadsIt) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Fields().ReadInput());
  s.Type("AB");
  s.Key(k::kEnter);
  // Nulls go as blanks, the sign cell not at all (its minus makes the last
  // digit's zone D), the transparent field as stored.
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({2, 4, 0xF1, 0xC1, 0xC2, 0x40, 0x40, 0x40, 0xF0, 0xF0, 0xF0, 0xF1, 0xD2,
                                         0xC1, 0x00, 0xC2, 0x00})));
  EXPECT_FALSE(s.E().Invited());
  EXPECT_EQ(s.S().LockReason(), kLockWaitingForHost);
}

TEST(Inbound5250, ReadMdtFieldsSendsModifiedFieldsByAddress) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Fields().Sba(5, 1).Sof(kAlpha | kMdt, 6).Text("X").Byte(0x00).Text("Y").ReadMdt());
  s.Key(k::kEnter);
  const Bytes mdt = {2, 2, 0xF1,
                     0x11, 3, 2, 0xF0, 0xF0, 0xF0, 0xF1, 0xD2,
                     0x11, 4, 2, 0xC1, 0x00, 0xC2,
                     0x11, 5, 2, 0xE7, 0x40, 0xE8};
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent(mdt)));
  // Read MDT Alternate and the immediate read send nulls as nulls.
  s.Host(Record5250().Wtd().Command(0x82).Bytes({0, 0}));
  s.Key(k::kF4);
  Bytes alternate = mdt;
  alternate[2] = 0x34;
  alternate[21] = 0x00;
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent(alternate)));
  s.Host(Record5250(6).Command(0x83));
  alternate[2] = 0x00;
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent(alternate, 0, 6)));
  s.Host(Record5250(6).Command(0x72));
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({2, 2, 0x00, 0x40, 0x40, 0x40, 0x40, 0x40, 0xF0, 0xF0, 0xF0, 0xF1, 0xD2,
                                         0xC1, 0x00, 0xC2, 0x00, 0xE7, 0x40, 0xE8, 0x40, 0x40, 0x40},
                                        0, 6)));
}

TEST(Inbound5250, AidOnlyKeysWithAndWithoutAPendingRead) {
  // The header's switch for F3 (byte 7, 0x04) says: no field data.
  struct Case {
    int key;
    std::uint8_t aid;
    bool fields;
  };
  const Case cases[] = {{k::kPA1, 0x6C, false},  {k::kPA2, 0x6E, false},  {k::kPA3, 0x6B, false},
                        {k::kClear, 0xBD, false}, {k::kHelp, 0xF3, false}, {k::kPrint, 0xF6, false},
                        {k::kF3, 0x33, false},    {k::kF4, 0x34, true},    {k::kF24, 0xBC, true},
                        {k::kRollUpPageDown, 0xF5, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.aid);
    Session5250 s;
    ASSERT_TRUE(s.Ready());
    s.Host(Record5250().ClearUnit().Wtd().Soh({0, 0, 0, 0, 0, 0, 0x04}).Sba(2, 1).Sof(kAlpha | kMdt, 2).Text("OK"));
    // No read yet: the AID waits, the keyboard locked.
    s.Key(c.key);
    EXPECT_TRUE(s.TakeSent().empty());
    EXPECT_EQ(s.E().PendingAid(), c.aid);
    EXPECT_EQ(s.S().LockReason(), kLockWaitingForHost);
    const Bytes data = c.fields ? Bytes{2, 2, c.aid, 0x11, 2, 2, 0xD6, 0xD2} : Bytes{2, 2, c.aid};
    s.Host(Record5250().ReadMdt());
    EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent(data)));
    // With the read pending, the key sends at once.
    s.Host(Record5250().Wtd().ReadMdt());
    s.Key(c.key);
    EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent(data)));
  }
}

TEST(Inbound5250, HeaderResequencesTheFieldsItNames) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  // Fields 1 to 3 read as 3, 1 (field 1 ends the chain); a number beyond the table ends it too.
  s.Host(Record5250().ClearUnit().Wtd().Soh({0, 0, 3}).Sba(2, 1).Sof(kAlpha | kMdt, 1, 0x24, {0x80FF}).Text("A")
             .Sba(3, 1).Sof(kAlpha | kMdt, 1).Text("B").Sba(4, 1).Sof(kAlpha | kMdt, 1, 0x24, {0x8001}).Text("C")
             .ReadInput());
  s.Key(k::kEnter);
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({2, 2, 0xF1, 0xC3, 0xC1})));
  s.Host(Record5250().Wtd().Soh({0, 0, 9}).Sba(2, 1).Sof(kAlpha | kMdt, 1).Text("A").ReadInput());
  s.Key(k::kEnter);
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({2, 2, 0xF1})));
}

TEST(Inbound5250, QueryRepliesComeFromTheTerminalType) {
  // The cursor, the AID, the reply up to the device type, the device, the rest.
  const Bytes head = {1,    2,    0x88, 0x00, 0x3A, 0xD9, 0x70, 0x80, 0x06, 0x00, 0x02, 0x02, 0x00, 0, 0,
                      0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0, 0x01};
  const Bytes tail = {0x02, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00,
                      0x7F, 0x11, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  auto reply = [&](const Bytes& device, std::uint8_t wide) {
    Bytes r = head;
    for (std::uint8_t b : device) r.push_back(b);
    for (std::uint8_t b : tail) r.push_back(b);
    r[head.size() + device.size() + 13] = wide;
    return r;
  };
  const Bytes query = Record5250().Command(0xF3).Bytes({0x00, 0x05, 0xD9, 0x70, 0x00});
  struct Case {
    Options5250 options;
    Bytes device;
    std::uint8_t wide;
  };
  const Case cases[] = {
      {{}, {0xF3, 0xF1, 0xF7, 0xF9, 0xF0, 0xF0, 0xF2}, 0x11},
      {{.rows = 27, .columns = 132, .terminalType = "IBM-3477-FC"}, {0xF3, 0xF4, 0xF7, 0xF7, 0x40, 0xC6, 0xC3}, 0x31},
      {{.terminalType = "IBM-5555-C01"}, {0xF5, 0xF5, 0xF5, 0xF5, 0xC3, 0xF0, 0xF1}, 0x11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.terminalType);
    Session5250 s(c.options);
    ASSERT_TRUE(s.Ready());
    s.Host(query);
    EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent(reply(c.device, c.wide))));
  }
  Session5250 other({.terminalType = "IBM-DYNAMIC"});
  ASSERT_TRUE(other.Ready());
  const auto screen = other.Screen();
  other.Host(query);
  EXPECT_EQ(Hex(other.TakeSent()), Hex(Negative(0x10050112)));
  EXPECT_EQ(other.Screen(), screen);
}

TEST(Inbound5250, ReadScreenAndTheSaveScreenImage) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Record5250().ClearUnit().Wtd().Sba(1, 2).Byte(0x22).Text("AAAABBB").Byte(0x20).Sba(3, 2)
             .Sof(kAlpha | kMdt, 3, 0x24, {0x8501}).Text("XY"));
  s.Host(Record5250(8).Command(0x62));
  Bytes cells(1920, 0);
  cells[0] = 0x20;
  cells[1] = 0x22;
  for (int p = 2; p < 6; ++p) cells[static_cast<std::size_t>(p)] = 0xC1;
  for (int p = 6; p < 9; ++p) cells[static_cast<std::size_t>(p)] = 0xC2;
  cells[9] = 0x20;
  cells[161] = 0x24;
  cells[162] = 0xE7;
  cells[163] = 0xE8;
  cells[165] = 0x20;
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent(cells, 0, 8)));
  // Four equal bytes become one Repeat to Address, three stay as they are.
  s.Host(Record5250(4).Command(0x02));
  const Bytes image = {0x04, 0x40, 0x04, 0x11, 0x20, 0x08,
                       0x20, 0x22, 0x02, 1, 6, 0xC1, 0xC2, 0xC2, 0xC2, 0x20, 0x02, 3, 1, 0x00,
                       0x24, 0xE7, 0xE8, 0x00, 0x20, 0x02, 24, 80, 0x00,
                       0x11, 3, 2, 0x1D, 0x48, 0x00, 0x85, 0x01, 0x24, 0x00, 0x03,
                       0x13, 1, 1, 0x14, 3, 3};
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent(image, 0, 4)));
}

// A screen of random text, order bytes written as transparent data, fields
// of every kind, a header, the cursor and the insert cursor, sometimes the
// alternate size and an error message.
Record5250 RandomScreen(std::mt19937& random, int rows, int columns, bool alternate) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  Record5250 r;
  if (alternate)
    r.Command(0x20).Byte(0x00);
  else
    r.ClearUnit();
  r.Wtd(0x00, static_cast<std::uint8_t>(pick(0, 1) ? 0x08 : 0x00));
  if (pick(0, 1)) r.Soh({0, 0, 0, static_cast<std::uint8_t>(pick(0, rows)), 0, 0, static_cast<std::uint8_t>(pick(0, 255))});
  const int size = rows * columns;
  for (int n = pick(0, 12); n > 0; --n) {
    const int p = pick(0, size - 8);
    r.Sba(p / columns + 1, p % columns + 1).Byte(0x10).Byte(0).Byte(4);
    for (int k = 0; k < 4; ++k) r.Byte(static_cast<std::uint8_t>(pick(0, 255)));
  }
  static constexpr std::uint16_t kFcws[] = {0x8002, 0x8101, 0x8102, 0x8103, 0x8400, 0x8501,
                                            0x8803, 0x8905, 0xB1A0, 0xB140, 0x8A00};
  for (int p = pick(-1, 30); p + 3 < size;) {
    const int length = pick(1, std::min(60, size - p - 2));
    const std::uint16_t ffw = pick(0, 5) == 0 ? 0 : static_cast<std::uint16_t>(0x4000 | pick(0, 0x3FFF));
    if (p < 0)
      r.Sba(1, 0);
    else
      r.Sba(p / columns + 1, p % columns + 1);
    std::initializer_list<std::uint16_t> none = {};
    const std::uint16_t fcw = kFcws[pick(0, 10)];
    if (pick(0, 1))
      r.Sof(ffw, length, static_cast<std::uint8_t>(pick(0x20, 0x3F)), {fcw});
    else
      r.Sof(ffw, length, static_cast<std::uint8_t>(pick(0x20, 0x3F)), none);
    for (int k = pick(0, length); k > 0; --k) r.Byte(static_cast<std::uint8_t>(pick(0x40, 0xFE)));
    // Sometimes the host writes over the cell after the field or its attribute.
    if (pick(0, 3) == 0) r.Byte(static_cast<std::uint8_t>(pick(0x40, 0xFE)));
    p += length + 1 + pick(0, 40);
  }
  const int ic = pick(0, size - 1), cursor = pick(0, size - 1);
  r.Ic(ic / columns + 1, ic % columns + 1).Mc(cursor / columns + 1, cursor % columns + 1);
  if (pick(0, 3) == 0) r.Command(0x21).Byte(0x22).Text("Message").Byte(0x20);
  return r;
}

void ExpectSameScreen(Session5250& a, Session5250& b) {
  const C5250PresentationSpace &x = a.E().Screen(), &y = b.E().Screen();
  ASSERT_EQ(x.Rows(), y.Rows());
  ASSERT_EQ(x.Columns(), y.Columns());
  for (int p = 0; p < x.Size(); ++p) {
    ASSERT_EQ(x.At(p), y.At(p)) << "cell " << p;
    ASSERT_EQ(x.HostAt(p), y.HostAt(p)) << "cell " << p << " as the host sees it";
  }
  const C5250FormatTable &f = a.E().Format(), &g = b.E().Format();
  EXPECT_EQ(f.header, g.header);
  ASSERT_EQ(f.fields.size(), g.fields.size());
  for (std::size_t i = 0; i < f.fields.size(); ++i) {
    EXPECT_EQ(f.fields[i].start, g.fields[i].start);
    EXPECT_EQ(f.fields[i].length, g.fields[i].length);
    EXPECT_EQ(f.fields[i].ffw, g.fields[i].ffw);
    EXPECT_EQ(f.fields[i].fcw, g.fields[i].fcw);
  }
  EXPECT_EQ(a.Cursor(), b.Cursor());
  EXPECT_EQ(a.E().InsertCursor(), b.E().InsertCursor());
  EXPECT_EQ(a.E().State(), b.E().State());
  EXPECT_EQ(a.S().LockReason(), b.S().LockReason());
  EXPECT_EQ(a.E().MdtPresent(), b.E().MdtPresent());
}

TEST(Inbound5250, SaveScreenThenRestoreScreenGivesTheSameScreen) {
  std::mt19937 random(5250);
  for (int n = 0; n < 150; ++n) {
    SCOPED_TRACE(n);
    const bool wide = n % 3 == 0;
    Options5250 options;
    if (wide) options = {.rows = 27, .columns = 132, .terminalType = "IBM-3477-FC"};
    Session5250 original(options), restored(options);
    ASSERT_TRUE(original.Ready() && restored.Ready());
    const bool alternate = wide && n % 2 == 0;
    original.Host(RandomScreen(random, alternate ? 27 : 24, alternate ? 132 : 80, alternate));
    original.TakeSent();
    original.Host(Record5250(4).Command(0x02));
    Bytes image = original.TakeSent();
    ASSERT_GE(image.size(), 12u);
    // The sent record, IAC doubling undone and IAC EOR taken off, is the Restore Screen record.
    Bytes record;
    for (std::size_t i = 0; i + 2 < image.size(); ++i) {
      record.push_back(image[i]);
      if (image[i] == 0xFF) ++i;
    }
    record[9] = 5;
    restored.Host(record);
    EXPECT_TRUE(restored.TakeSent().empty());
    ExpectSameScreen(original, restored);
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace corvina::test
