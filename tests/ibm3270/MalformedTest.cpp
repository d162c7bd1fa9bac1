// Hostile and broken records: nothing crashes, nothing is read or written
// outside the record and the buffers (run under ASan), and the screen stays
// consistent.
#include <gtest/gtest.h>

#include <random>

#include "Support3270.h"
#include "session/TextCanvas.h"

using namespace corvina;
using namespace corvina::test;

namespace {

// Records that look like 3270 data: commands, orders and addresses mixed
// with random bytes, of random lengths.
Bytes RandomRecord(std::mt19937& rng) {
  static constexpr std::uint8_t kInteresting[] = {0x01, 0x05, 0x08, 0x0D, 0x0F, 0x11, 0x12, 0x13, 0x1C, 0x1D,
                                                  0x1E, 0x28, 0x29, 0x2C, 0x3C, 0x6E, 0x6F, 0x7E, 0xF1, 0xF2,
                                                  0xF3, 0xF5, 0xF6, 0xFF, 0x00, 0x3F, 0x40, 0xC0, 0x41, 0x42};
  std::uniform_int_distribution<int> length(0, 40), byte(0, 255), pick(0, sizeof kInteresting - 1), coin(0, 2);
  Bytes r;
  int n = length(rng);
  for (int i = 0; i < n; ++i)
    r.push_back(coin(rng) == 0 ? static_cast<std::uint8_t>(byte(rng)) : kInteresting[pick(rng)]);
  return r;
}

void CheckConsistent(Session3270& t) {
  const int size = t.Ps().Size();
  ASSERT_GT(size, 0);
  // A BIND may make the default the larger size.
  ASSERT_LE(size, std::max(t.S().AlternateRows() * t.S().AlternateColumns(),
                           t.S().DefaultRows() * t.S().DefaultColumns()));
  ASSERT_GE(t.S().Cursor(), 0);
  ASSERT_LT(t.S().Cursor(), size);
  ASSERT_GE(t.Ps().writeAddress, 0);
  ASSERT_LT(t.Ps().writeAddress, size);
}

}  // namespace

TEST(Malformed, RandomRecordsInEveryState) {
  std::mt19937 rng(3270);
  for (bool extended : {false, true}) {
    Session3270 t({.extended = extended});
    ASSERT_TRUE(t.Ready());
    std::uniform_int_distribution<int> type(0, 9);
    for (int i = 0; i < 4000; ++i) {
      Bytes record = RandomRecord(rng);
      if (extended) {
        Bytes header = Header(static_cast<std::uint8_t>(type(rng)), static_cast<std::uint8_t>(i % 3),
                              static_cast<std::uint16_t>(i));
        // Some headers come cut short, some records carry a random BIND image.
        if (i % 17 == 0) header.resize(static_cast<std::size_t>(i % 5));
        record = Concat(header, record);
      }
      t.Host(record);
      t.TakeSent();
      CheckConsistent(t);
      if (i % 100 == 0) {
        t.Screen();
        std::string out;
        t.E().ExtractText(i % t.Ps().Size(), 5000, out, nullptr, kExtractFieldMode | kExtractExtendedAttributes);
        t.S().SetLockReason(0);  // keep program checks from hiding later paths
      }
    }
  }
}

TEST(Malformed, RandomBindImagesNeverBreakTheBuffers) {
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> byte(0, 255), length(0, 40);
  Session3270 t({.extended = true});
  ASSERT_TRUE(t.Ready());
  for (int i = 0; i < 500; ++i) {
    Bytes bind(static_cast<std::size_t>(length(rng)));
    for (auto& b : bind) b = static_cast<std::uint8_t>(byte(rng));
    if (bind.size() > 24) bind[24] = i % 2 ? 0x7F : 0x7E;
    t.Host(Concat(Header(4), {}));  // UNBIND: SSCP-LU again
    t.Host(Concat(Header(3), bind));
    CheckConsistent(t);
    t.Host(Concat(Header(0), HostRecord::EraseWriteAlternate(kWccRestore).Sba14(16383).Ra(0, 0xC1)));
    t.Host(Concat(Header(0), Bytes{0xF2}));
    CheckConsistent(t);
  }
}

// The same record split into every prefix: an order cut anywhere.
TEST(Malformed, EveryPrefixOfARealScreen) {
  const Bytes screen = HostRecord::EraseWrite(kWccRestore)
                           .Sba(0).Sfe({{0xC0, 0x60}, {0x42, 0xF4}, {0x41, 0xF2}}).Text("TITLE")
                           .Sba(80).Sf(kUnprotected).Sa(0x42, 0xF2).Text("IN").Mf({{0xC0, 0x40}})
                           .Ra(200, 0x40).RaGe(240, 0xC5).Eua(400).Ge(0xA2).Pt().Ic();
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  for (std::size_t n = 0; n <= screen.size(); ++n) {
    t.S().SetLockReason(0);
    t.Host(Bytes(screen.begin(), screen.begin() + static_cast<std::ptrdiff_t>(n)));
    CheckConsistent(t);
  }
  EXPECT_EQ(t.Row(0).substr(1, 5), "TITLE");
}
