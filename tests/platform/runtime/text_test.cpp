#include "platform/runtime/text.h"

#include <gtest/gtest.h>

using namespace runtime;

TEST(TrimSpaces, RemovesSpacesOnly)
{
    EXPECT_EQ(trimSpaces(u"  a b  "), u"a b");
    EXPECT_EQ(trimSpaces(u"   "), u"");
    EXPECT_EQ(trimSpaces(u" name.exe\r\n"), u"name.exe\r\n");
    EXPECT_EQ(trimSpaces(u"\tx\t"), u"\tx\t");
}

TEST(FindText, OneBasedPositions)
{
    EXPECT_EQ(findText(u"abcabc", u"b"), 2u);
    EXPECT_EQ(findText(u"abcabc", u"b", 3), 5u);
    EXPECT_EQ(findText(u"abc", u"x"), 0u);
    EXPECT_EQ(findText(u"abc", u"c", 4), 0u);
    EXPECT_EQ(findText(u"", u"a"), 0u);
}

TEST(LowerCase, AsciiAndLatinLetters)
{
    EXPECT_EQ(lowerCase(u"Content-LENGTH: 5"), u"content-length: 5");
    EXPECT_EQ(lowerCase(u"ÇÖÜ"), u"çöü");
}

TEST(Encodings, Utf8RoundTripAndValidity)
{
    const std::u16string text = u"Şimdi Güncelle İptal ığ";
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_TRUE(isValidUtf8(toUtf8(text)));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(
        isValidUtf8("G\xFC"
                    "ncelle"));  // Windows-1254 ü
}

TEST(Encodings, Windows1254TurkishLetters)
{
    EXPECT_EQ(fromWindows1254("\xDE\x69mdi G\xFCncelle \xDDptal \xFD\xF0\xFE\xD0"), u"Şimdi Güncelle İptal ığşĞ");
    EXPECT_EQ(fromWindows1254("\x80"), u"€");
}
