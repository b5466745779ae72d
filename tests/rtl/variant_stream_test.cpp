#include <gtest/gtest.h>

#include "rtl/exceptions.h"
#include "rtl/stream.h"
#include "rtl/variant.h"

using namespace rtl;

TEST(Variant, KindsAndConversions) {
    EXPECT_TRUE(Variant().IsEmpty());
    EXPECT_TRUE(Variant::Null().IsNull());
    EXPECT_NE(Variant(), Variant::Null());
    EXPECT_EQ(Variant(std::int32_t{42}).AsString(), u"42");
    EXPECT_EQ(Variant(std::int64_t{1} << 40).AsInt64(), std::int64_t{1} << 40);
    EXPECT_EQ(Variant(u"17").AsInteger(), 17);
    EXPECT_EQ(Variant(true).AsString(), u"True");
    EXPECT_TRUE(Variant(u"true").AsBoolean());
    EXPECT_DOUBLE_EQ(Variant(2.5).AsDouble(), 2.5);
    EXPECT_EQ(Variant(TBytes{1, 2, 3}).AsBytes().size(), 3u);
}

TEST(Variant, ImpossibleConversionsRaise) {
    EXPECT_THROW(Variant::Null().AsInteger(), EVariantError);
    EXPECT_THROW(Variant(u"x").AsBytes(), EVariantError);
    EXPECT_THROW(Variant(u"abc").AsInt64(), EConvertError);
    EXPECT_THROW(Variant(TBytes{}).AsString(), EVariantError);
}

TEST(MemoryStream, ReadsWritesAndSeeks) {
    TMemoryStream s;
    const char text[] = "abcdef";
    s.WriteBuffer(text, 6);
    EXPECT_EQ(s.Size(), 6);
    s.SetPosition(2);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4);
    EXPECT_STREQ(buf, "cdef");
    s.Seek(-3, TSeekOrigin::soEnd);
    EXPECT_EQ(s.ReadRemaining(), (TBytes{'d', 'e', 'f'}));
    s.SetPosition(5);
    EXPECT_THROW(s.ReadBuffer(buf, 2), EStreamError);
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    EXPECT_EQ(s.Bytes(), (TBytes{'a', 'b'}));
}
