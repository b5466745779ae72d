#include "rtl/strings.h"

#include <gtest/gtest.h>

using namespace rtl;

TEST(Utf8, RoundTripsKazakhAndAstralText) {
    const std::string utf8 = "Қазақ тілі әліпбиі ғ ү ұ һ і ө ң — 😀";
    const String text = Utf8ToString(utf8);
    EXPECT_EQ(text.substr(0, 5), u"Қазақ");
    EXPECT_EQ(text.back(), 0xDE00);  // low surrogate of U+1F600
    EXPECT_EQ(StringToUtf8(text), utf8);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToString("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(Utf8ToString("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");        // overlong
    EXPECT_EQ(StringToUtf8(String(1, char16_t(0xD800))), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(CaseMapping, UpperCasesEveryKazakhLetterWithoutLocale) {
    const String small = u"аәбвгғдеёжзийкқлмнңоөпрстуұүфхһцчшщъыіьэюя";
    const String capital = u"АӘБВГҒДЕЁЖЗИЙКҚЛМНҢОӨПРСТУҰҮФХҺЦЧШЩЪЫІЬЭЮЯ";
    EXPECT_EQ(AnsiUpperCase(small), capital);
    EXPECT_EQ(AnsiLowerCase(capital), small);
}

TEST(CaseMapping, KeepsLengthAndLeavesOtherUnitsAlone) {
    struct Case {
        String in, out;
    } cases[] = {
        {u"kitap", u"KITAP"},  // Latin i never becomes a dotted capital
        {u"кітап", u"КІТАП"},
        {u"  а'%_1 ", u"  А'%_1 "},  // spaces, quotes, wildcards, digits stay
        {u"straße", u"STRAßE"},      // ß has no one-unit capital
        {String(u"x\xD83D\xDE00"), String(u"X\xD83D\xDE00")},
        {u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnsiUpperCase(c.in), c.out);
        EXPECT_EQ(AnsiUpperCase(c.in).size(), c.in.size());
    }
}

TEST(CaseMapping, AsciiCasingLeavesCyrillic) {
    EXPECT_EQ(UpperCase(u"select ә"), u"SELECT ә");
    EXPECT_EQ(LowerCase(u"FROM Ә"), u"from Ә");
}

TEST(TextComparison, IgnoresLetterCaseAcrossScripts) {
    EXPECT_TRUE(SameText(u"LX_Word", u"lx_word"));
    EXPECT_TRUE(SameText(u"Сөздік", u"СӨЗДІК"));
    EXPECT_FALSE(SameText(u"abc", u"abd"));
    EXPECT_LT(CompareText(u"abc", u"ABD"), 0);
    EXPECT_GT(CompareText(u"abcd", u"ABC"), 0);
    EXPECT_EQ(TextHash(u"Қазақ"), TextHash(u"ҚАЗАҚ"));
}

TEST(TextComparison, TrimsBlanks) { EXPECT_EQ(Trim(u" \r\n a b \t"), u"a b"); }
