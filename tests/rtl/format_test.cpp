#include "rtl/format.h"

#include <gtest/gtest.h>

#include <limits>

#include "rtl/exceptions.h"

using namespace rtl;

TEST(Format, ReplacesDirectivesInOrder) {
    EXPECT_EQ(Format(u"%s: %s", {u"SQLQuery1", u"Field 'x' not found"}), u"SQLQuery1: Field 'x' not found");
    EXPECT_EQ(Format(u"%s_%d", {u"id", 2}), u"id_2");
    EXPECT_EQ(Format(u"Invalid Ordinal:  %d", {-1}), u"Invalid Ordinal:  -1");
    EXPECT_EQ(Format(u"[0x%.4x]: %s", {5, u"Operation Not Supported"}), u"[0x0005]: Operation Not Supported");
    EXPECT_EQ(Format(u"100%% %5d|%-3s|", {42, u"a"}), u"100%    42|a  |");
    EXPECT_EQ(Format(u"%.4d|%.4d|%.2d", {-123, 7, -12345}), u"-0123|0007|-12345");
    EXPECT_EQ(Format(u"%d", {std::numeric_limits<long long>::min()}), u"-9223372036854775808");
}

TEST(Format, MismatchedArgumentsRaise) {
    EXPECT_THROW(Format(u"%s %s", {u"one"}), EConvertError);
    EXPECT_THROW(Format(u"%d", {u"text"}), EConvertError);
    EXPECT_THROW(Format(u"%s", {7}), EConvertError);
    EXPECT_THROW(Format(u"50%", {}), EConvertError);
    EXPECT_THROW(Format(u"%q", {1}), EConvertError);
}

TEST(IntegerText, ConvertsBothWays) {
    EXPECT_EQ(IntToStr(0), u"0");
    EXPECT_EQ(IntToStr(-250000), u"-250000");
    EXPECT_EQ(IntToHex(255, 4), u"00FF");
    struct Case {
        String text;
        std::int64_t value;
    } cases[] = {
        {u"1234", 1234},
        {u" -17 ", -17},
        {u"+5", 5},
        {u"$ff", 255},
        {u"0x10", 16},
        {u"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {u"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
    };
    for (const auto& c : cases) EXPECT_EQ(StrToInt64(c.text), c.value) << StringToUtf8(c.text);
}

TEST(IntegerText, InvalidTextRaisesConvertError) {
    for (String bad : {u"", u"12a", u"-", u"9223372036854775808", u"1 2", u"١٢"}) {
        EXPECT_FALSE(TryStrToInt64(bad).has_value()) << StringToUtf8(bad);
    }
    try {
        StrToInt(u"abc");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"'abc' is not a valid integer value");
    }
    EXPECT_THROW(StrToInt(u"4294967296"), EConvertError);  // beyond 32 bits
}

TEST(FloatText, ShortestFormWithFifteenDigits) {
    EXPECT_EQ(FloatToStr(1.5), u"1.5");
    EXPECT_EQ(FloatToStr(-3), u"-3");
    EXPECT_EQ(FloatToStr(0.1 + 0.2), u"0.3");
    EXPECT_EQ(FloatToStr(1e20), u"1E20");
    EXPECT_EQ(FloatToStr(1.25e-7), u"1.25E-7");
}

TEST(Exceptions, CarryUtf16MessageAndInnerChain) {
    auto inner = std::make_shared<EConvertError>(u"ішкі қате");
    Exception outer(u"", inner);
    EXPECT_EQ(outer.InnerException(), inner.get());
    EXPECT_EQ(outer.InnerException()->Message(), u"ішкі қате");
    EXPECT_STREQ(inner->what(), "ішкі қате");
    EXPECT_THROW(Abort(), EAbort);
}
