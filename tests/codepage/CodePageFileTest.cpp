#include <gtest/gtest.h>

#include <random>
#include <string>

#include "codepage/CodePageFile.h"

using namespace corvina;

namespace {

const std::string kPrelude = "CodePage\nName Test\nBegin\n";  // lines 1 to 3

CodePageDefinition Parse(const std::string& contents) {
  CodePageDefinition def;
  std::string error;
  EXPECT_TRUE(ParseCodePageFile(contents, "t.cpg", def, error)) << error;
  return def;
}

std::string ParseError(const std::string& contents) {
  CodePageDefinition def;
  std::string error;
  EXPECT_FALSE(ParseCodePageFile(contents, "t.cpg", def, error));
  return error;
}

std::string LineError(int line, const std::string& quoted, const std::string& reason) {
  return "Error loading Code Page file t.cpg.\nLine " + std::to_string(line) + ": \"" + quoted +
         "\"\n" + reason;
}

}  // namespace

TEST(CodePageFile, ReadsEveryForm) {
  CodePageDefinition def = Parse(
      "* A comment before the header\n"
      "\n"
      "C1 Z\n"  // before the header: skipped
      "codepage\n"
      "  NAME   \"My Test Page\"  \n"
      "\tcgcsgid 697 1140\n"
      "BEGIN\n"
      "C0: { A B C D E F G H I 0xAD 0XF4 f6 F2 F3 F5\n"
      "40 \" \"\n"   // a quoted blank
      "7F \"\n"      // a lone quote stands for itself
      "F0 0\n"       // one character, literally
      "F1 31\n"      // two hexadecimal digits
      "   * an indented comment\n"
      "end\n"
      "ZZ this line comes after the end\n");
  EXPECT_EQ(def.name, "My Test Page");
  EXPECT_EQ(def.characterSet, 697u);
  EXPECT_EQ(def.codePageNumber, 1140u);
  const std::uint8_t row[16] = {'{', 'A', 'B', 'C', 'D', 'E', 'F', 'G',
                                'H', 'I', 0xAD, 0xF4, 0xF6, 0xF2, 0xF3, 0xF5};
  for (unsigned i = 0; i < 16; ++i) EXPECT_EQ(def.ebcdicToAscii[0xC0 + i], row[i]) << i;
  EXPECT_EQ(def.ebcdicToAscii[0x40], ' ');
  EXPECT_EQ(def.ebcdicToAscii[0x7F], '"');
  EXPECT_EQ(def.ebcdicToAscii[0xF0], '0');
  EXPECT_EQ(def.ebcdicToAscii[0xF1], '1');
  // Bytes the file leaves alone map to the character of the same value.
  EXPECT_EQ(def.ebcdicToAscii[0x41], 0x41);
  EXPECT_EQ(def.ebcdicToAscii[0xFF], 0xFF);
}

TEST(CodePageFile, MinimalFileIsTheIdentityWithDefaultNumbers) {
  CodePageDefinition def = Parse("CodePage\nName Plain\nBegin\nEnd\n");
  EXPECT_EQ(def.name, "Plain");
  EXPECT_EQ(def.characterSet, 697u);
  EXPECT_EQ(def.codePageNumber, 37u);
  for (unsigned e = 0; e < 256; ++e) EXPECT_EQ(def.ebcdicToAscii[e], e);
  // "Begin" may stand where CGCSGID is expected; a mapping before it is skipped.
  def = Parse("CodePage\nName X\nC1 Z\nBegin\nC1 B\n");  // and "End" may be missing
  EXPECT_EQ(def.ebcdicToAscii[0xC1], 'B');
}

TEST(CodePageFile, TextEncodingsAndLineEnds) {
  // UTF-8 and Latin-1 spellings of the same file load alike; CRLF is fine.
  for (const char* file :
       {"CodePage\r\nName \"Gr\xC3\xB6\xC3\x9F\x65\"\r\nBegin\r\n4A \xC2\xA2\r\nEnd\r\n",
        "CodePage\r\nName \"Gr\xF6\xDF\x65\"\r\nBegin\r\n4A \xA2\r\nEnd\r\n"}) {
    CodePageDefinition def = Parse(file);
    EXPECT_EQ(def.name, "Gr\xC3\xB6\xC3\x9F\x65");  // names are UTF-8
    EXPECT_EQ(def.ebcdicToAscii[0x4A], 0xA2);
  }
  // A character beyond Latin-1 has no byte; the message quotes the line in UTF-8.
  EXPECT_EQ(ParseError(kPrelude + "4A \xE2\x82\xAC\n"),
            LineError(4, "4A \xE2\x82\xAC", "Invalid ASCII value"));
}

TEST(CodePageFile, EveryMappingErrorNamesItsLine) {
  struct Case {
    std::string mapping, quoted, reason;
    int line;
  };
  const Case cases[] = {
      {"ZZ A", "ZZ A", "Invalid EBCDIC value", 4},
      {"C1: A", "C1: A", "Invalid EBCDIC value", 4},  // a row must start at x0
      {"C1A B", "C1A B", "Invalid EBCDIC value", 4},
      {"C0X B", "C0X B", "Invalid EBCDIC value", 4},
      {"Begin", "Begin", "Invalid EBCDIC value", 4},
      {"40: a b c d e f g h i j k l m n o", "40: a b c d e f g h i j k l m n o",
       "Missing ASCII value", 4},
      {"C1", "C1", "Missing ASCII value", 4},
      {"C1 zz", "C1 zz", "Invalid ASCII value", 4},
      {"C1 0y41", "C1 0y41", "Invalid ASCII value", 4},
      {"C1 ABC", "C1 ABC", "Invalid ASCII value", 4},
      {"C1 \"\"", "C1 \"\"", "Invalid ASCII value", 4},
      {"C1 A\nC1 B", "C1 B", "Duplicate EBCDIC value", 5},
      {"C0: a b c d e f g h i j k l m n o p\n* note\nc5 x", "c5 x", "Duplicate EBCDIC value", 6},
      {"4A 5B\nBA 0x5B", "BA 0x5B", "Duplicate ASCII value", 5},
      // Leading blanks are kept in the quote, trailing ones are not.
      {"\n   ZZ  A \t ", "   ZZ  A", "Invalid EBCDIC value", 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseError(kPrelude + c.mapping + "\n"), LineError(c.line, c.quoted, c.reason))
        << c.mapping;
  }
}

TEST(CodePageFile, CgcsgidMustBeTwoSmallNumbers) {
  for (const char* line :
       {"CGCSGID 697", "CGCSGID 697 70000", "CGCSGID x 37", "CGCSGID -1 37"}) {
    EXPECT_EQ(ParseError(std::string("CodePage\nName T\n") + line + "\nBegin\nEnd\n"),
              LineError(3, line,
                        "Invalid CGCSGID value (two decimal numbers from 0 to 65535 expected)"));
  }
}

TEST(CodePageFile, FileWithoutMappingSectionIsNoCodePage) {
  EXPECT_EQ(ParseError(""), "Error loading Code Page file t.cpg.\nNo \"CodePage\" line found");
  EXPECT_EQ(ParseError("CodePage\nBegin\nC1 A\nEnd\n"),
            "Error loading Code Page file t.cpg.\nNo \"Name\" line found");
  EXPECT_EQ(ParseError("CodePage\nName T\nCGCSGID 1 2\n"),
            "Error loading Code Page file t.cpg.\nNo \"Begin\" line found");
}

TEST(CodePageFile, LongLinesAreReadInPiecesOf254) {
  // 300 characters: a comment piece of 254 (line 4), then 46 x's as line 5.
  std::string longComment = "*" + std::string(299, 'x');
  EXPECT_EQ(ParseError(kPrelude + longComment + "\n"),
            LineError(5, std::string(46, 'x'), "Invalid EBCDIC value"));
  // Exactly 254 characters is still one line.
  EXPECT_EQ(ParseError(kPrelude + "*" + std::string(253, 'x') + "\nZZ A\n"),
            LineError(5, "ZZ A", "Invalid EBCDIC value"));
}

TEST(CodePageFile, ArbitraryBytesNeverBreakTheParser) {
  const std::string seed =
      "CodePage\nName \"A b\"\nCGCSGID 1 2\nBegin\n"
      "C0: { A B C D E F G H I J K L M N O\n4A 0xA2\n7F \"\nEnd\n";
  const char alphabet[] = " \t\n\r\":0x*C1AFfEnd\xC3\xA2\xFF";
  std::mt19937 random(12345);
  for (int round = 0; round < 3000; ++round) {
    std::string input = seed;
    auto pick = [&] { return alphabet[random() % (sizeof alphabet - 1)]; };
    for (int edits = 1 + static_cast<int>(random() % 8); edits > 0; --edits) {
      std::size_t at = random() % (input.size() + 1);
      switch (random() % 3) {
        case 0: input.insert(at, 1, pick()); break;
        case 1: input.erase(at, 1); break;
        default: input.insert(at, std::string(random() % 300, pick()));
      }
    }
    CodePageDefinition def;
    std::string error;
    if (!ParseCodePageFile(input, "t.cpg", def, error)) {
      EXPECT_EQ(error.rfind("Error loading Code Page file t.cpg.\n", 0), 0u) << error;
    }
  }
}
