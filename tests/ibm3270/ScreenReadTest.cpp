// Reading the presentation space: governing attributes, attribute
// descriptions and text extraction with its flags.
#include <gtest/gtest.h>

#include "Support3270.h"
#include "ibm3270/DataStream.h"

using namespace corvina;
using namespace corvina::test;

TEST(ScreenRead, UnformattedScreenAndWrapAroundField) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone).Text("FREE"));
  EXPECT_FALSE(t.Ps().Formatted());
  EXPECT_EQ(t.Ps().FieldAttributePosition(100), -1);
  EXPECT_EQ(t.Ps().GoverningAttribute(100), 0x40);
  // A field attribute at the last position governs position 0.
  t.Host(HostRecord::Write(kWccNone).Sba(1919).Sf(kProtected));
  EXPECT_EQ(t.Ps().FieldAttributePosition(0), 1919);
  EXPECT_EQ(t.Ps().GoverningAttribute(0), kProtected);
  EXPECT_EQ(t.Ps().GoverningAttribute(-1), ds3270::kFaOnAttribute);  // reduced modulo the size
}

TEST(ScreenRead, AttributeDescriptions) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone)
             .Sf(0x50)
             .Sba(10).Sfe({{0xC0, 0xF9}, {0x41, 0xF4}})
             .Sba(81).Sf(0x64)
             .Sba(90).Sfe({{0xC0, 0x4C}, {0x41, 0xF1}}));
  EXPECT_EQ(t.Ps().DescribeAttribute(0), "1, 1, unprotected, numeric");
  EXPECT_EQ(t.Ps().DescribeAttribute(10), "1, 11, protected, autoskip, high intensity, selectable, MDT on, underscore");
  EXPECT_EQ(t.Ps().DescribeAttribute(81), "2, 2, protected, selectable");
  EXPECT_EQ(t.Ps().DescribeAttribute(90), "2, 11, unprotected, non-display, blink");
  EXPECT_EQ(t.Ps().DescribeAttribute(5), "");
}

TEST(ScreenRead, ExtractTextFlags) {
  Session3270 t;
  ASSERT_TRUE(t.Ready());
  t.Host(HostRecord::EraseWrite(kWccNone)
             .Sf(kProtected).Text("AB").Byte(0x1C).Byte(0x1E).Byte(0x00).Byte(0x15)
             .Sf(kHidden).Text("PW")
             .Sf(kProtected).Sa(0x42, 0xF2).Sa(0x41, 0xF1).Text("R"));
  std::string out;
  // Without flags attributes, nulls and hidden text are blanks.
  EXPECT_EQ(t.E().ExtractText(0, 14, out, nullptr, 0), 14);
  EXPECT_EQ(out, " AB*;" + std::string(6, ' ') + "R  ");
  out.clear();
  t.E().ExtractText(0, 14, out, nullptr, kExtractAttributeAsTab | kExtractNonDisplayAsNull);
  EXPECT_EQ(out, std::string("\tAB*;  \t\0\0\tR", 12) + "  ");
  out.clear();
  t.E().ExtractText(7, 3, out, nullptr, kExtractAttributeBytes | kExtractShowNonDisplay);
  EXPECT_EQ(out, "\xCCPW");

  // Field mode starts in a field, stops at the next attribute and wraps.
  out.clear();
  EXPECT_EQ(t.E().ExtractText(8, 100, out, nullptr, kExtractFieldMode | kExtractShowNonDisplay), 2);
  EXPECT_EQ(out, "PW");
  t.Host(HostRecord::Write(kWccNone).Sba(1918).Text("YZ"));
  out.clear();
  t.E().ExtractText(1918, 3, out, nullptr, 0);  // stops at the end
  EXPECT_EQ(out, "YZ");
  out.clear();
  std::vector<std::uint8_t> attributes;
  t.E().ExtractText(1918, 3, out, &attributes, kExtractFieldMode);
  EXPECT_EQ(out, "YZ");  // then position 0 holds an attribute
  EXPECT_EQ(attributes, (std::vector<std::uint8_t>{kProtected, kProtected}));

  // Extended attribute bytes after each character, in both forms.
  out.clear();
  EXPECT_EQ(t.E().ExtractText(11, 1, out, nullptr, kExtractExtendedAttributes), 2);
  EXPECT_EQ(out, std::string("R\x50", 2));  // red (2) in bits 5-3, blink 0x40
  out.clear();
  t.E().ExtractText(9, 1, out, nullptr, kExtractExtendedAttributes | kExtractColorForm);
  EXPECT_EQ(out, std::string(" \0", 2));

  EXPECT_EQ(t.E().ExtractText(1920, 1, out, nullptr, 0), 0);
  EXPECT_EQ(t.E().ExtractText(-1, 1, out, nullptr, 0), 0);
}
