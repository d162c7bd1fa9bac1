#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "codepage/CodePage.h"

using namespace corvina;
namespace fs = std::filesystem;

namespace {

class CodePageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "codepage-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& contents) {
    fs::path path = fs::path(dir_) / name;
    std::ofstream(path, std::ios::binary) << contents;
    return path.string();
  }

  fs::path dir_;
};

const char kGerman[] = "CodePage\nName German\nCGCSGID 697 273\nBegin\n4A \xC4\n5A \xDC\nEnd\n";

void ExpectBuiltIn(const CCorvinaCodePage& page) {
  EXPECT_EQ(page.Name(), "Default Code Page");
  EXPECT_EQ(page.FileName(), "");
  EXPECT_EQ(page.CharacterSet(), 697u);
  EXPECT_EQ(page.CodePageNumber(), 37u);
  EXPECT_EQ(page.EbcdicToAscii(), kDefaultEbcdicToAscii);
}

}  // namespace

TEST(BuiltInCodePage, KnownValuesAndTheFourExchanges) {
  CCorvinaCodePage page;
  ExpectBuiltIn(page);
  EXPECT_EQ(page.ToAscii(0x40), ' ');
  EXPECT_EQ(page.ToAscii(0xC1), 'A');
  EXPECT_EQ(page.ToAscii(0x81), 'a');
  EXPECT_EQ(page.ToAscii(0xF0), '0');
  EXPECT_EQ(page.ToAscii(0x4A), 0xA2);  // cent sign
  EXPECT_EQ(page.ToAscii(0x25), '\n');
  EXPECT_EQ(page.ToAscii(0xAD), '[');
  EXPECT_EQ(page.ToAscii(0xBD), ']');
  EXPECT_EQ(page.ToAscii(0xBA), 0xDD);
  EXPECT_EQ(page.ToAscii(0xBB), 0xA8);
  EXPECT_EQ(page.ToEbcdic('['), 0xAD);
  EXPECT_EQ(page.ToEbcdic('A'), 0xC1);
}

TEST(BuiltInCodePage, IsAPermutationWithACompleteInverse) {
  CCorvinaCodePage page;
  bool seen[256] = {};
  for (unsigned e = 0; e < 256; ++e) {
    EXPECT_FALSE(seen[page.ToAscii(e)]) << e;
    seen[page.ToAscii(e)] = true;
    EXPECT_EQ(page.ToEbcdic(page.ToAscii(e)), e);
  }
  for (unsigned c = 0; c < 256; ++c) EXPECT_EQ(page.ToAscii(page.ToEbcdic(c)), c);
}

TEST(DeriveAsciiToEbcdic, HigherByteWinsAndUnreachedEntriesStay) {
  CodePageTable toAscii;
  for (unsigned e = 0; e < 256; ++e) toAscii[e] = static_cast<std::uint8_t>(e);
  toAscii[0x4A] = 0xA2;  // 0x4A and 0xA2 both give 0xA2; nothing gives 0x4A
  CodePageTable toEbcdic;
  toEbcdic.fill(0x99);
  DeriveAsciiToEbcdic(toAscii, toEbcdic);
  EXPECT_EQ(toEbcdic[0xA2], 0xA2);
  EXPECT_EQ(toEbcdic[0x4A], 0x99);
  EXPECT_EQ(toEbcdic[0x41], 0x41);
}

TEST_F(CodePageFiles, LoadReplacesEverythingAndEmptyNameRestoresTheDefault) {
  std::string path = Write("german.cpg", kGerman);
  CCorvinaCodePage page;
  std::string error;
  ASSERT_TRUE(page.Load(path, error)) << error;
  EXPECT_EQ(page.FileName(), path);
  EXPECT_EQ(page.Name(), "German");
  EXPECT_EQ(page.CharacterSet(), 697u);
  EXPECT_EQ(page.CodePageNumber(), 273u);
  EXPECT_EQ(page.ToAscii(0x4A), 0xC4);
  EXPECT_EQ(page.ToAscii(0x5A), 0xDC);
  EXPECT_EQ(page.ToAscii(0xC1), 0xC1);  // unassigned bytes are not the built-in ones

  CCorvinaCodePage copy;
  copy = page;
  EXPECT_EQ(copy.Name(), "German");
  EXPECT_EQ(copy.AsciiToEbcdic(), page.AsciiToEbcdic());
  EXPECT_EQ(copy.EbcdicToAscii(), page.EbcdicToAscii());

  ASSERT_TRUE(page.Load("", error));
  ExpectBuiltIn(page);
}

TEST_F(CodePageFiles, DerivedTableDoesNotDependOnWhatWasLoadedBefore) {
  // 0x4A and 0xA2 both give the cent sign: 0xA2 wins it, and the "J" that
  // nothing gives keeps the built-in EBCDIC code.
  std::string cent = Write("cent.cpg", "CodePage\nName Cent\nBegin\n4A A2\nEnd\n");
  std::string german = Write("german.cpg", kGerman);
  CCorvinaCodePage fresh, reused;
  std::string error;
  ASSERT_TRUE(fresh.Load(cent, error)) << error;
  ASSERT_TRUE(reused.Load(german, error)) << error;
  ASSERT_TRUE(reused.Load(cent, error)) << error;
  EXPECT_EQ(fresh.ToEbcdic(0xA2), 0xA2);
  EXPECT_EQ(fresh.ToEbcdic(0x4A), 0xD1);
  EXPECT_EQ(reused.AsciiToEbcdic(), fresh.AsciiToEbcdic());
}

TEST_F(CodePageFiles, FailedLoadKeepsWhatWasThere) {
  std::string bad = Write("bad.cpg", "CodePage\nName Bad\nBegin\n4A 5B\nBA 0x5B\nEnd\n");
  std::string error;
  CCorvinaCodePage page;
  EXPECT_FALSE(page.Load(bad, error));
  EXPECT_EQ(error, "Error loading Code Page file " + bad +
                       ".\nLine 5: \"BA 0x5B\"\nDuplicate ASCII value");
  ExpectBuiltIn(page);
  EXPECT_EQ(page.ToEbcdic('['), 0xAD);

  ASSERT_TRUE(page.Load(Write("german.cpg", kGerman), error)) << error;
  CCorvinaCodePage before = page;
  EXPECT_FALSE(page.Load(bad, error));
  EXPECT_FALSE(page.Load((dir_ / "missing.cpg").string(), error));
  EXPECT_EQ(page.Name(), "German");
  EXPECT_EQ(page.FileName(), before.FileName());
  EXPECT_EQ(page.CodePageNumber(), 273u);
  EXPECT_EQ(page.EbcdicToAscii(), before.EbcdicToAscii());
  EXPECT_EQ(page.AsciiToEbcdic(), before.AsciiToEbcdic());
}

TEST_F(CodePageFiles, FilesThatCannotBeRead) {
  CCorvinaCodePage page;
  std::string error;
  std::string missing = (dir_ / "missing.cpg").string();
  EXPECT_FALSE(page.Load(missing, error));
  EXPECT_EQ(error, "Can't open Code Page file " + missing + ", error = 2\n");
  EXPECT_FALSE(page.Load(dir_.string(), error));
  EXPECT_EQ(error, "Can't open Code Page file " + dir_.string() + ", error = 5\n");
  std::string under = Write("plain.cpg", kGerman) + "/x.cpg";
  EXPECT_FALSE(page.Load(under, error));
  EXPECT_EQ(error, "Can't open Code Page file " + under + ", error = 3\n");

  std::string big = Write("big.cpg", std::string(1024 * 1024 + 1, '*'));
  EXPECT_FALSE(page.Load(big, error));
  EXPECT_EQ(error, "Error loading Code Page file " + big + ".\nThe file is larger than 1 MB");
  ExpectBuiltIn(page);
}

TEST_F(CodePageFiles, ListOffersTheDefaultThenLoadableFilesByName) {
  Write("b.cpg", "CodePage\nName \"Bee page\"\nBegin\nEnd\n");
  Write("A.CPG", kGerman);
  Write("c.cpg", "CodePage\nName Broken\nBegin\nZZ\nEnd\n");
  Write("d.txt", kGerman);
  fs::create_directory(dir_ / "e.cpg");
  std::vector<CodePageChoice> list = ListCodePages(dir_.string());
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "Default Code Page");
  EXPECT_EQ(list[0].path, "");
  EXPECT_EQ(list[1].fileName, "A.CPG");
  EXPECT_EQ(list[1].name, "German");
  EXPECT_EQ(list[1].path, (dir_ / "A.CPG").string());
  EXPECT_EQ(list[2].fileName, "b.cpg");
  EXPECT_EQ(list[2].name, "Bee page");

  list = ListCodePages((dir_ / "nowhere").string());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, "Default Code Page");
}

TEST(ShippedCodePages, LoadWithTheirNumbersAndNationalCharacters) {
  const std::string folder = std::string(CORVINA_SOURCE_DIR) + "/codepage/files";
  ASSERT_EQ(ListCodePages(folder).size(), 4u);  // the default and every file
  struct Expected {
    const char* file;
    std::uint32_t number;
    std::uint8_t at4A, at5A;
  };
  for (const Expected& e : {Expected{"IBM037.cpg", 37, 0xA2, '!'}, Expected{"IBM273.cpg", 273, 0xC4, 0xDC},
                            Expected{"IBM500.cpg", 500, '[', ']'}}) {
    SCOPED_TRACE(e.file);
    CCorvinaCodePage page;
    std::string error;
    ASSERT_TRUE(page.Load(folder + "/" + e.file, error)) << error;
    EXPECT_EQ(page.CharacterSet(), 697u);
    EXPECT_EQ(page.CodePageNumber(), e.number);
    EXPECT_EQ(page.ToAscii(0x4A), e.at4A);
    EXPECT_EQ(page.ToAscii(0x5A), e.at5A);
    EXPECT_EQ(page.ToAscii(0xC1), 'A');
    EXPECT_EQ(page.ToAscii(0xF0), '0');
    EXPECT_EQ(page.ToAscii(0x40), ' ');
    // Each is a permutation: typing gives back every byte the host sends.
    for (unsigned b = 0; b < 256; ++b) EXPECT_EQ(page.ToEbcdic(page.ToAscii(static_cast<std::uint8_t>(b))), b) << b;
  }
}
