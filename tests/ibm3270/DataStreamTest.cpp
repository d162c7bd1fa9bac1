#include <gtest/gtest.h>

#include "ibm3270/DataStream.h"

using namespace corvina::ds3270;

TEST(Addresses, TwelveAndFourteenBitForms) {
  EXPECT_EQ(DecodeAddress(0x40, 0x40), 0);
  EXPECT_EQ(DecodeAddress(0x40, 0xF6), 54);
  EXPECT_EQ(DecodeAddress(0x5D, 0x7F), 1919);
  EXPECT_EQ(DecodeAddress(0x10, 0x04), 4100);  // two high bits clear: binary
  EXPECT_EQ(DecodeAddress(0x3F, 0xFF), 16383);
  EXPECT_EQ(EncodeAddress(54), (std::array<std::uint8_t, 2>{0x40, 0xF6}));
  EXPECT_EQ(EncodeAddress(1919), (std::array<std::uint8_t, 2>{0x5D, 0x7F}));
  EXPECT_EQ(EncodeAddress(4095), (std::array<std::uint8_t, 2>{0x7F, 0x7F}));
  EXPECT_EQ(EncodeAddress(4100), (std::array<std::uint8_t, 2>{0x10, 0x04}));
  for (int p = 0; p < 16384; ++p) {
    auto a = EncodeAddress(p);
    ASSERT_EQ(DecodeAddress(a[0], a[1]), p) << p;
  }
}

TEST(Addresses, GrowthToTheSmallestStandardModel) {
  auto rows = [](int address) { return StandardModelFor(address)->rows; };
  EXPECT_EQ(rows(1920), 32);
  EXPECT_EQ(rows(2559), 32);
  EXPECT_EQ(rows(2560), 43);
  EXPECT_EQ(rows(3439), 43);
  EXPECT_EQ(rows(3440), 27);
  EXPECT_EQ(StandardModelFor(3563)->columns, 132);
  EXPECT_FALSE(StandardModelFor(3564));
  EXPECT_FALSE(StandardModelFor(16383));
}

TEST(AttributePairs, FieldAttributeIsOredNeverAdded) {
  std::uint8_t attribute = kFaStored;
  std::uint32_t w = 0;
  ApplyFieldPair(kTypeFieldAttribute, 0xC1, attribute, w);
  EXPECT_EQ(attribute, 0xC1);  // 0xC1 + 0x40 would wrap to 0x01
  ApplyFieldPair(kTypeFieldAttribute, 0x20, attribute, w);
  EXPECT_EQ(attribute, 0x60);
}

TEST(AttributePairs, FieldAndCharacterColourForms) {
  std::uint8_t attribute = kFaStored;
  std::uint32_t field = 0;
  ApplyFieldPair(kTypeForeground, 0xF2, attribute, field);  // red
  ApplyFieldPair(kTypeBackground, 0x00, attribute, field);  // default
  ApplyFieldPair(kTypeHighlighting, 0xF4, attribute, field);
  ApplyFieldPair(kTypeValidation, 0xFF, attribute, field);
  ApplyFieldPair(kTypeOutlining, 0x0A, attribute, field);
  ApplyFieldPair(0x99, 0xFF, attribute, field);  // unknown: skipped
  EXPECT_EQ(ExtForeground(field), 3u);
  EXPECT_EQ(ExtBackground(field), 1u);
  EXPECT_EQ(ExtHighlight(field), 4u);
  EXPECT_EQ(field >> kExtValidationShift, 7u);
  EXPECT_EQ((field & kExtOutlining) >> kExtOutliningShift, 0xAu);

  std::uint32_t c = 0;
  ApplyCharacterPair(kTypeForeground, 0xF2, c);
  ApplyCharacterPair(kTypeCharacterSet, 0xF1, c);
  EXPECT_EQ(ExtForeground(c), 2u);
  EXPECT_EQ((c & kExtCharacterSet) >> kExtCharacterSetShift, 0xF1u);
  ApplyCharacterPair(kTypeForeground, 0xF0, c);  // inherits again
  EXPECT_EQ(ExtForeground(c), 0u);
  ApplyCharacterPair(kTypeReset, 0, c);
  EXPECT_EQ(c, 0u);
}
