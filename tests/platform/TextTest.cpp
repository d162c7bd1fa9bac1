#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/FileError.h"
#include "platform/Text.h"

using namespace corvina::platform;

TEST(DecodeTextFile, Utf8WhenValidElseLatin1) {
  EXPECT_EQ(DecodeTextFile("G\xC3\xB6 \xE2\x82\xAC"), U"G\u00F6 \u20AC");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFName"), U"Name");  // byte-order mark dropped
  EXPECT_EQ(DecodeTextFile("G\xF6"), U"G\u00F6");           // Latin-1
  // Overlong forms, surrogates and truncated sequences are not UTF-8.
  EXPECT_EQ(DecodeTextFile("\xC0\xAF"), U"\u00C0\u00AF");
  EXPECT_EQ(DecodeTextFile("\xED\xA0\x80"), U"\u00ED\u00A0\u0080");
  EXPECT_EQ(DecodeTextFile("a\xE2\x82"), U"a\u00E2\u0082");
  EXPECT_EQ(DecodeTextFile(std::string_view("\0\xFF", 2)), std::u32string(U"\0\u00FF", 2));
}

TEST(ToUtf8, EncodesEveryLengthAndReplacesNonCharacters) {
  EXPECT_EQ(ToUtf8(U"A\u00A2\u20AC\U0001F600"), "A\xC2\xA2\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(ToUtf8(std::u32string(1, char32_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(std::u32string(1, char32_t(0x110000))), "\xEF\xBF\xBD");
}

TEST(Utf8ToLatin1, TypedTextInEitherEncoding) {
  EXPECT_EQ(Utf8ToLatin1("Caf\xC3\xA9"), "Caf\xE9");
  EXPECT_EQ(Utf8ToLatin1("Caf\xE9"), "Caf\xE9");  // not UTF-8: Latin-1 already
  EXPECT_EQ(Utf8ToLatin1("\xC3\xBF"), "\xFF");
  EXPECT_EQ(Utf8ToLatin1("1 \xE2\x82\xAC"), std::nullopt);  // the euro sign is not in Latin-1
}

TEST(FileError, CausesAndTexts) {
  EXPECT_EQ(FileErrorCauseFromErrno(ENOENT), kFileErrorNotFound);
  EXPECT_EQ(FileErrorCauseFromErrno(ENOTDIR), kFileErrorBadPath);
  EXPECT_EQ(FileErrorCauseFromErrno(EACCES), kFileErrorAccessDenied);
  EXPECT_EQ(FileErrorCauseFromErrno(EISDIR), kFileErrorAccessDenied);
  EXPECT_EQ(FileErrorCauseFromErrno(ENOSPC), kFileErrorDiskFull);
  EXPECT_EQ(FileErrorCauseFromErrno(EPROTO), kFileErrorGeneric);
  EXPECT_STREQ(FileErrorText(0), "No error occured");
  EXPECT_STREQ(FileErrorText(2), "File not found");
  EXPECT_STREQ(FileErrorText(14), "End-of-file");
  EXPECT_STREQ(FileErrorText(1), "Unspecified error");
  EXPECT_STREQ(FileErrorText(99), "Unspecified error");
}
