// The screen as drawn, the operator information area, the text HLLAPI and
// the clipboard read, and the description of an attribute cell.
#include <gtest/gtest.h>

#include "Support5250.h"
#include "keyboard/KeyFunctions.h"
#include "session/TextCanvas.h"

namespace corvina::test {
namespace {

namespace k = kf::ibm5250;

// Row 2: red, reverse green, underscored, non-display, turquoise with column
// separators, and DUP and Field Mark characters; a field at row 3.
Record5250 Attributes() {
  return Record5250().ClearUnit().Wtd().Sba(2, 1).Byte(0x28).Text("R").Byte(0x21).Text("V").Byte(0x24).Text("U")
      .Byte(0x27).Text("H").Byte(0x30).Text("S").Byte(0x20).Bytes({0x1C, 0x1E}).Sba(3, 9)
      .Sof(kDigitsOnly | kMdt | kMandatoryEnter | kZeroFill, 4, 0x24, {0x8501}).Text("7");
}

TEST(Render5250, AttributesGiveColoursAndHighlighting) {
  Session5250 s({.displayOptions = kDisplayAttributeChars});
  ASSERT_TRUE(s.Ready());
  s.Host(Attributes());
  TextCanvas canvas;
  s.E().Paint(canvas);
  EXPECT_EQ(canvas.Lines()[1].substr(0, 13), "@R@V@U@ @S@*;");  // hidden text is not drawn
  EXPECT_EQ(canvas.LookAt(1, 1), (CellLook{3, 3, 0}));
  EXPECT_EQ(canvas.LookAt(1, 3), (CellLook{4, 4, kCellReverse}));
  EXPECT_EQ(canvas.LookAt(1, 5), (CellLook{4, 4, kCellUnderline}));
  EXPECT_EQ(canvas.LookAt(1, 7).flags & kCellUnderline, 0);
  EXPECT_EQ(canvas.LookAt(1, 9), (CellLook{8, 8, kCellInputMark}));
  EXPECT_EQ(canvas.LookAt(1, 10), (CellLook{10, 10, kCellFieldAttribute | kCellInputMark}));
  EXPECT_EQ(canvas.LookAt(1, 0), (CellLook{10, 10, kCellFieldAttribute}));
  // Monochrome takes the other table: red becomes blinking green.
  Session5250 mono({.terminalOptions = kTermMonochrome | kTermNoColumnSeparators});
  ASSERT_TRUE(mono.Ready());
  mono.Host(Attributes());
  TextCanvas plain;
  mono.E().Paint(plain);
  EXPECT_EQ(plain.LookAt(1, 1), (CellLook{4, 4, kCellBlink}));
  EXPECT_EQ(plain.LookAt(1, 9), (CellLook{4, 4, 0}));  // no separators when they are turned off
}

TEST(Render5250, TextAndAttributeDescriptions) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Attributes());
  std::string text;
  std::vector<std::uint8_t> attributes;
  EXPECT_EQ(s.E().ExtractText(s.Position(2, 1), 13, text, &attributes, 0), 13);
  EXPECT_EQ(text, " R V U   S *;");
  EXPECT_EQ(attributes[7], 0x27);
  text.clear();
  s.E().ExtractText(s.Position(2, 1), 13, text, nullptr, kExtractShowNonDisplay | kExtractAttributeAsTab);
  EXPECT_EQ(text, "\tR\tV\tU\tH\tS\t*;");
  // Attribute bytes as HLLAPI gives them: 0xC0 with the field's shift, bypass
  // and MDT; 0xE0 outside input fields; non-display on base 0x80.
  text.clear();
  s.E().ExtractText(s.Position(3, 9), 2, text, nullptr, kExtractAttributeBytes | kExtractExtendedAttributes);
  EXPECT_EQ(Hex(Bytes(text.begin(), text.end())), "CB 40 37 40");
  text.clear();
  s.E().ExtractText(s.Position(2, 7), 1, text, nullptr, kExtractAttributeBytes);
  EXPECT_EQ(Hex(Bytes(text.begin(), text.end())), "A0");
  text.clear();
  s.E().ExtractText(s.Position(3, 10), 100, text, nullptr, kExtractFieldMode);  // stops at the next attribute
  EXPECT_EQ(text, "7   ");
  text.clear();
  EXPECT_EQ(s.E().ExtractText(1919, 100, text, nullptr, 0), 1);  // never wraps
  EXPECT_EQ(s.E().DescribeAttribute(s.Position(3, 9)),
            "3, 9, unprotected, MDT on, digits only, mandatory enter, right adjust zero fill, forward edge "
            "trigger, underscore, green");
  EXPECT_EQ(s.E().DescribeAttribute(s.Position(2, 9)), "2, 9, protected, column separators, turquoise");
  EXPECT_EQ(s.E().DescribeAttribute(s.Position(2, 7)), "2, 7, protected, non-display");
  EXPECT_EQ(s.E().DescribeAttribute(s.Position(2, 2)), "");
  // Copy: the rows of the rectangle, CR LF after each.
  EXPECT_EQ(s.E().CopyRectangle(CellRect{1, 1, 5, 2}), "R V U\r\n     \r\n");
}

TEST(Render5250, TheOperatorInformationArea) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Attributes().ReadMdt());
  std::string oia = s.E().OiaLine();
  EXPECT_EQ(oia.substr(0, 2), "TA");
  EXPECT_EQ(oia.substr(49, 6), "03,10 ");
  s.Key(k::kInsert);
  EXPECT_EQ(s.E().OiaLine()[47], '^');
  s.Key(k::kF12);
  oia = s.E().OiaLine();
  EXPECT_EQ(oia.substr(8, 5), "X F12");
  EXPECT_EQ(oia[47], ' ');  // an AID ends insert mode
  s.Host(Record5250().Wtd(0x20, 0x01));
  oia = s.E().OiaLine();
  EXPECT_EQ(oia.substr(8, 8), "X SYSTEM");
  EXPECT_EQ(oia.substr(4, 2), "MW");
}

}  // namespace
}  // namespace corvina::test
