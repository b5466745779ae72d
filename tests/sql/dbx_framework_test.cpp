#include <gtest/gtest.h>

#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "sql/dbx_common.h"
#include "sql/dbx_value_byte_reader.h"
#include "sql_test_support.h"

using namespace sql;
using sql_test::CatchDBXError;

// ---- property lists ---------------------------------------------------------

TEST(DBXProperties, ValuesAreFoundIgnoringCaseAndEmptyValuesRemoveLines) {
    TDBXProperties p;
    p.SetValue(u"Database", u"a.db");
    p.SetValue(u"DriverName", u"Sqlite");
    EXPECT_EQ(p.GetValue(u"database"), u"a.db");
    EXPECT_EQ(p.GetValue(u"Missing"), u"");
    p.SetValue(u"DATABASE", u"b.db");
    EXPECT_EQ(p.GetCount(), 2);
    EXPECT_EQ(p.GetValue(u"Database"), u"b.db");
    p.SetValue(u"Database", u"");
    EXPECT_EQ(p.GetCount(), 1);
    EXPECT_FALSE(p.HasName(u"Database"));
    // Add appends without looking; GetValue then gives the first line.
    p.Add(u"DriverName", u"Other");
    EXPECT_EQ(p.GetCount(), 2);
    EXPECT_EQ(p.GetValue(u"DriverName"), u"Sqlite");
    // A value may itself hold "=".
    p.SetValue(u"Expr", u"a=b");
    EXPECT_EQ(p.GetValue(u"expr"), u"a=b");
}

TEST(DBXProperties, BooleanIntegerAndRequiredValues) {
    TDBXProperties p;
    struct Case {
        const char16_t* value;
        bool expected;
    };
    for (const Case& c : {Case{u"True", true}, Case{u"true", true}, Case{u"TRUE", true}, Case{u"tx", true},
                          Case{u"False", false}, Case{u"", false}, Case{u"yes", false}, Case{u" True", false}}) {
        p.SetValue(u"Flag", c.value);
        EXPECT_EQ(p.GetBoolean(u"Flag"), c.expected) << rtl::StringToUtf8(c.value);
    }
    EXPECT_EQ(p.GetInteger(u"RowSetSize"), -1);
    p.SetValue(u"RowSetSize", u"50");
    EXPECT_EQ(p.GetInteger(u"rowsetsize"), 50);
    p.SetValue(u"RowSetSize", u"many");
    EXPECT_THROW(p.GetInteger(u"RowSetSize"), rtl::EConvertError);

    const TDBXError e = CatchDBXError([&] { p.GetRequiredValue(u"Database"); });
    EXPECT_EQ(e.ErrorCode(), 29);
    EXPECT_EQ(e.Message(), u"Database property not set");
    p.SetValue(u"Database", u"x");
    EXPECT_EQ(p.GetRequiredValue(u"Database"), u"x");
}

TEST(DBXProperties, AddMergeAndUniqueKeepTheirOwnRules) {
    rtl::TStringList list{u"A= 1 ", u"b=2"};

    TDBXProperties empty;
    empty.AddProperties(list);  // taken over whole, untrimmed
    EXPECT_EQ(empty.GetProperties().Lines(), (std::vector<String>{u"A= 1 ", u"b=2"}));

    TDBXProperties some;
    some.SetValue(u"a", u"0");
    some.AddProperties(list);  // appended, trimmed, duplicates allowed
    EXPECT_EQ(some.GetProperties().Lines(), (std::vector<String>{u"a=0", u"A=1", u"b=2"}));

    TDBXProperties unique;
    unique.SetValue(u"a", u"0");
    unique.AddUniqueProperties(list);
    EXPECT_EQ(unique.GetProperties().Lines(), (std::vector<String>{u"a=0", u"b=2"}));

    TDBXProperties merged;
    merged.SetValue(u"B", u"old");
    merged.SetValue(u"C", u"3");
    merged.MergeProperties(list);
    EXPECT_EQ(merged.GetProperties().Lines(), (std::vector<String>{u"B=2", u"C=3", u"A= 1 "}));

    auto clone = merged.Clone();
    EXPECT_EQ(clone->GetProperties().Lines(), merged.GetProperties().Lines());
    clone->SetValue(u"C", u"");
    EXPECT_EQ(merged.GetValue(u"C"), u"3");

    int changes = 0;
    TDBXProperties watched;
    watched.OnChange = [&](TDBXProperties&) { ++changes; };
    watched.SetValue(u"X", u"1");
    watched.SetValue(u"X", u"");
    EXPECT_EQ(changes, 2);
}

// ---- errors -----------------------------------------------------------------

TEST(DBXError, CodeTextsAndTheEmptyMessageRule) {
    struct Case {
        int code;
        const char16_t* text;
    };
    const Case cases[] = {
        {0, u"None"},
        {3, u"Unsupported field type"},
        {4, u"Unexpected internal error. DBX Object such as a connection, command, or reader may already be closed."},
        {10, u"No more rows"},
        {17, u"Duplicate transaction id"},
        {18, u"Error Code:  18"},
        {19, u"Transaction active"},
        {22,
         u"Driver could not be properly initialized.  Client library may be missing, not installed properly, of "
         u"the wrong version, or the driver may be missing from the system path."},
        {29, u"Invalid argument"},
        {30, u"Error Code:  30"},
        {31, u"Unrecognized command type."},
        {32, u"Error Code:  32"},
        {33, u"Schema or user name separated by a '.' must be specified."},
        {37, u"VendorLib must be specified"},
        {100, u"No data"},
        {101, u"Vendor error"},
        {-5, u"Error Code:  -5"},
    };
    for (const Case& c : cases) EXPECT_EQ(TDBXError::ErrorCodeToString(c.code), c.text) << c.code;

    const TDBXError empty(22, u"");
    EXPECT_EQ(empty.ErrorCode(), 22);
    EXPECT_EQ(empty.Message(), u"DBX Error:  " + TDBXError::ErrorCodeToString(22));
    const TDBXError given(1, u"no such table: t");
    EXPECT_EQ(given.Message(), u"no such table: t");
    EXPECT_EQ(given.ErrorMessage(), u"no such table: t");
}

TEST(DBXContext, ErrorHookSeesEachErrorBeforeItIsRaisedAndTraceNeedsAHook) {
    TDBXContext context;
    context.Trace(TDBXTraceFlags::Vendor, u"nobody listens");  // no hook: nothing happens
    std::vector<int> seen;
    std::vector<TDBXTraceInfo> traced;
    context.SetOnError([&](TDBXError& e) { seen.push_back(e.ErrorCode()); });
    context.SetOnTrace([&](const TDBXTraceInfo& info) { traced.push_back(info); });
    EXPECT_EQ(context.TraceFlags(), 0x4EDF);
    EXPECT_THROW(context.Error(8, u"x"), TDBXError);
    EXPECT_EQ(seen, std::vector<int>{8});
    context.Trace(TDBXTraceFlags::Vendor, u"sqlite3_step");
    ASSERT_EQ(traced.size(), 1u);
    EXPECT_EQ(traced[0].FTraceMessage, u"sqlite3_step");
    EXPECT_EQ(traced[0].FTraceLevel, 5);

    TDBXContext copy(context);  // hooks travel with the copy
    EXPECT_THROW(copy.Error(7, u""), TDBXError);
    EXPECT_EQ(seen, (std::vector<int>{8, 7}));
}

// ---- value types ------------------------------------------------------------

TEST(DBXValueType, DataTypeNames) {
    EXPECT_EQ(TDBXValueType::DataTypeName(18), u"TDBXTypes.INT64");
    EXPECT_EQ(TDBXValueType::DataTypeName(26), u"TDBXTypes.WideString");
    EXPECT_EQ(TDBXValueType::DataTypeName(25), u"TDBXTypes.Currency");
    EXPECT_EQ(TDBXValueType::DataTypeName(0), u"TDBXTypes.UNKNOWN");
    EXPECT_EQ(TDBXValueType::DataTypeName(14), u"TDBXTypes.UNKNOWN(14)");
    EXPECT_EQ(TDBXValueType::DataTypeName(38), u"TDBXTypes.UNKNOWN(38)");
    EXPECT_EQ(TDBXValueType::DataTypeName(99), u"TDBXTypes.UNKNOWN(99)");
}

TEST(DBXValueType, AFrozenDescriptionRefusesChangesButItsWritableCloneDoesNot) {
    TDBXValueType type;
    type.SetName(u"w");
    type.SetDataType(26);
    type.SetSize(40);
    type.SetNullable(true);
    type.SetFlags(type.GetFlags() | TDBXValueTypeFlags::ReadOnlyType);
    EXPECT_TRUE(type.IsReadOnlyType());

    const TDBXError e = CatchDBXError([&] { type.SetSize(10); });
    EXPECT_EQ(e.ErrorCode(), 9);
    EXPECT_EQ(e.Message(), u"w type cannot be modified");
    EXPECT_THROW(type.SetName(u"v"), TDBXError);
    EXPECT_THROW(type.SetHidden(true), TDBXError);
    type.SetHidden(false);         // no change of flags: allowed
    type.SetDisplayName(u"Word");  // not guarded
    EXPECT_EQ(type.GetSize(), 40);

    auto clone = type.Clone();
    EXPECT_TRUE(clone->IsReadOnlyType());
    EXPECT_EQ(clone->GetDisplayName(), u"Word");
    auto writable = type.WritableClone();
    EXPECT_FALSE(writable->IsReadOnlyType());
    EXPECT_TRUE(writable->IsNullable());
    writable->SetSize(10);
    EXPECT_EQ(writable->GetSize(), 10);
    EXPECT_EQ(type.GetSize(), 40);
}

// ---- values -----------------------------------------------------------------

namespace {

// A row with one value per column, counting how often it is asked.
class FakeRow : public TDBXRow {
public:
    FakeRow() : TDBXRow(std::make_shared<TDBXContext>()) {}
    int Calls = 0;
    std::int64_t Int = 0;
    std::vector<std::uint8_t> Bytes;
    bool Null = false;

    void GetInt64(TDBXWritableValue&, std::int64_t& Value, bool& IsNull) override {
        ++Calls;
        IsNull = Null;
        if (!Null) Value = Int;
    }
    void GetByteLength(TDBXWritableValue&, std::int64_t& Length, bool& IsNull) override {
        ++Calls;
        IsNull = Null;
        Length = static_cast<std::int64_t>(Bytes.size());
    }
    void GetBytes(TDBXWritableValue&, std::int64_t, std::vector<std::uint8_t>& Buffer, std::int64_t BufferOffset,
                  std::int64_t Length, std::int64_t& ReturnLength, bool& IsNull) override {
        IsNull = Null;
        ReturnLength = std::min<std::int64_t>(Length, static_cast<std::int64_t>(Bytes.size()));
        std::copy_n(Bytes.begin(), ReturnLength, Buffer.begin() + BufferOffset);
    }
};

std::unique_ptr<TDBXWritableValue> MakeValue(int DataType, int SubType, TDBXRow* Row) {
    auto type = TDBXDriverHelp::CreateTDBXValueType(Row ? Row->DBXContext() : nullptr);
    type->SetDataType(DataType);
    type->SetSubType(SubType);
    return TDBXValue::CreateValue(nullptr, std::move(type), Row, true);
}

}  // namespace

TEST(DBXValue, EveryListedTypeGetsItsClassAndTheOthersFailWithCode3) {
    struct Case {
        int type, subType;
        bool (*is)(TDBXValue*);
    };
#define KALIMDAR_IS(Class) [](TDBXValue* v) { return dynamic_cast<Class*>(v) != nullptr; }
    const Case cases[] = {
        {1, 0, KALIMDAR_IS(TDBXAnsiStringBuilderValue)},
        {2, 0, KALIMDAR_IS(TDBXDateValue)},
        {3, 22, KALIMDAR_IS(TDBXAnsiMemoValue)},
        {3, 33, KALIMDAR_IS(TDBXAnsiMemoValue)},
        {3, 32, KALIMDAR_IS(TDBXWideMemoValue)},
        {3, 23, KALIMDAR_IS(TDBXStreamValue)},
        {3, 0, KALIMDAR_IS(TDBXStreamValue)},
        {4, 0, KALIMDAR_IS(TDBXBooleanValue)},
        {5, 0, KALIMDAR_IS(TDBXInt16Value)},
        {6, 0, KALIMDAR_IS(TDBXInt32Value)},
        {7, 0, KALIMDAR_IS(TDBXDoubleValue)},
        {8, 0, KALIMDAR_IS(TDBXBcdValue)},
        {9, 32, KALIMDAR_IS(TDBXWideMemoValue)},
        {10, 0, KALIMDAR_IS(TDBXTimeValue)},
        {11, 0, KALIMDAR_IS(TDBXTimeStampValue)},
        {12, 0, KALIMDAR_IS(TDBXUInt16Value)},
        {15, 22, KALIMDAR_IS(TDBXAnsiMemoValue)},
        {17, 0, KALIMDAR_IS(TDBXCursorValue)},
        {18, 0, KALIMDAR_IS(TDBXInt64Value)},
        {20, 0, KALIMDAR_IS(TDBXStreamValue)},
        {21, 32, KALIMDAR_IS(TDBXWideMemoValue)},
        {23, 0, KALIMDAR_IS(TDBXReaderValue)},
        {24, 0, KALIMDAR_IS(TDBXTimeStampValue)},
        {25, 0, KALIMDAR_IS(TDBXBcdValue)},
        {26, 0, KALIMDAR_IS(TDBXWideStringBuilderValue)},
        {27, 0, KALIMDAR_IS(TDBXSingleValue)},
        {28, 0, KALIMDAR_IS(TDBXInt8Value)},
        {29, 0, KALIMDAR_IS(TDBXUInt8Value)},
        {33, 0, KALIMDAR_IS(TDBXStreamValue)},
        {34, 0, KALIMDAR_IS(TDBXConnectionValue)},
        {35, 0, KALIMDAR_IS(TDBXStreamValue)},
        {36, 0, KALIMDAR_IS(TDBXTimeStampOffsetValue)},
        {37, 0, KALIMDAR_IS(TDBXJSONValue)},
        {38, 0, KALIMDAR_IS(TDBXCallbackValue)},
    };
#undef KALIMDAR_IS
    for (const Case& c : cases) {
        auto value = MakeValue(c.type, c.subType, nullptr);
        EXPECT_TRUE(c.is(value.get())) << c.type << "/" << c.subType;
        EXPECT_TRUE(value->GetValueType().IsReadOnlyType());
    }
    for (int type : {0, 13, 14, 16, 19, 22, 30, 31, 32, 39, -1}) {
        const TDBXError e = CatchDBXError([&] { MakeValue(type, 0, nullptr); });
        EXPECT_EQ(e.ErrorCode(), 3);
        EXPECT_EQ(e.Message(), u"Unexpected data type " + rtl::IntToStr(type));
    }
}

TEST(DBXValue, FetchesOncePerRowAndOnlyWhenRead) {
    FakeRow row;
    auto value = MakeValue(18, 0, &row);
    row.Int = 7;
    EXPECT_EQ(row.Calls, 0);
    row.NextGeneration();
    EXPECT_EQ(row.Calls, 0);  // not read yet
    EXPECT_EQ(value->GetInt64(), 7);
    EXPECT_FALSE(value->IsNull());
    EXPECT_EQ(value->GetAsString(), u"7");
    EXPECT_EQ(value->GetAsInt16(), 7);
    EXPECT_EQ(value->GetAsDouble(), 7.0);
    EXPECT_EQ(row.Calls, 1);
    row.Int = 8;
    EXPECT_EQ(value->GetInt64(), 7);  // same row: cached
    row.NextGeneration();
    EXPECT_EQ(value->GetInt64(), 8);
    row.Null = true;
    row.NextGeneration();
    EXPECT_TRUE(value->IsNull());
    EXPECT_EQ(value->GetAsString(), u"");
    EXPECT_EQ(row.Calls, 3);
}

TEST(DBXValue, WrongTypedGetterNamesBothTypes) {
    FakeRow row;
    auto value = MakeValue(18, 0, &row);
    const TDBXError e = CatchDBXError([&] { value->GetWideString(); });
    EXPECT_EQ(e.ErrorCode(), 7);
    EXPECT_EQ(e.Message(), u"TDBXTypes.INT64 value type cannot be accessed as TDBXTypes.WideString value type");
    EXPECT_THROW(value->GetInt32(), TDBXError);
    EXPECT_THROW(value->GetDouble(), TDBXError);
}

TEST(DBXValue, WideMemoDropsOnlyATwoByteTerminator) {
    FakeRow row;
    auto value = MakeValue(3, 32, &row);
    struct Case {
        std::vector<std::uint8_t> bytes;
        String text;
        std::size_t kept;
    };
    const Case cases[] = {
        // clang-format off
        {{'a', 0, 'b', 0, 0, 0}, u"ab", 4},         // terminator dropped
        {{'a', 0, 'b', 0}, u"ab", 4},               // nothing to drop
        {{'a', 0, 0, 0x04}, u"a\u0400", 4},          // a zero byte before the last: kept
        {{'a', 0, 0}, u"", 1},                      // the last two bytes decide, whatever precedes them
        {{0, 0}, u"", 0},                           // only a terminator
        {{0x1A, 0x04, 0x30, 0x04}, u"\u041A\u0430", 4},  // Cyrillic
    };
    // clang-format on
    for (const Case& c : cases) {
        row.Bytes = c.bytes;
        row.NextGeneration();
        EXPECT_EQ(value->GetWideString(), c.text);
        EXPECT_EQ(value->GetAsString(), c.text);
        EXPECT_EQ(static_cast<TDBXByteArrayValue&>(*value).Bytes().size(), c.kept);
    }
    row.Null = true;
    row.NextGeneration();
    EXPECT_TRUE(value->IsNull());
    EXPECT_EQ(value->GetWideString(), u"");
}

namespace {

// A row that serves dates and BCD values only.
class DateRow : public TDBXRow {
public:
    DateRow() : TDBXRow(std::make_shared<TDBXContext>()) {}
    void GetDate(TDBXWritableValue&, TDBXDate& Value, bool& IsNull) override {
        IsNull = false;
        Value = 738000;
    }
    void GetBcd(TDBXWritableValue&, TBcd& Value, bool& IsNull) override {
        IsNull = false;
        Value.Precision = 5;
    }
};

}  // namespace

TEST(DBXValue, DateAndBcdValuesConvertOnlyToTheirOwnType) {
    DateRow row;
    row.NextGeneration();
    auto date = MakeValue(TDBXDataTypes::DateType, 0, &row);
    EXPECT_EQ(date->GetAsDate(), 738000);
    const TDBXError e = CatchDBXError([&] { date->GetAsBcd(); });
    EXPECT_EQ(e.ErrorCode(), 7);
    EXPECT_EQ(e.Message(), u"TDBXTypes.DATE value type cannot be accessed as TDBXTypes.BCD value type");
    auto bcd = MakeValue(TDBXDataTypes::BcdType, 0, &row);
    EXPECT_EQ(bcd->GetAsBcd().Precision, 5);
    EXPECT_EQ(CatchDBXError([&] { bcd->GetAsTimeStamp(); }).ErrorCode(), 7);
    auto integer = MakeValue(TDBXDataTypes::Int64Type, 0, &row);
    for (const auto& convert : std::vector<std::function<void()>>{
             [&] { integer->GetAsDate(); }, [&] { integer->GetAsTime(); }, [&] { integer->GetAsTimeStamp(); },
             [&] { integer->GetAsTimeStampOffset(); }, [&] { integer->GetAsBcd(); }})
        EXPECT_EQ(CatchDBXError(convert).ErrorCode(), 7);
}

TEST(DBXRow, EveryOperationARowDoesNotServeFailsWithCode27) {
    TDBXRow row(std::make_shared<TDBXContext>());
    auto value = MakeValue(TDBXDataTypes::Int64Type, 0, nullptr);
    TDBXWritableValue& v = *value;
    bool isNull = false;
    std::vector<char16_t> wide;
    std::vector<char> ansi;
    std::vector<std::uint8_t> bytes;
    std::int64_t length = 0;
    TDBXReader* reader = nullptr;
    TDBXConnection* connection = nullptr;
    bool b = false;
    std::int64_t i64 = 0;
    std::int32_t i32 = 0;
    std::int16_t i16 = 0;
    std::uint16_t u16 = 0;
    std::int8_t i8 = 0;
    std::uint8_t u8 = 0;
    float f = 0;
    double d = 0;
    TBcd bcd;
    TDBXDate date = 0;
    TDBXTime time = 0;
    TSQLTimeStamp stamp;
    TSQLTimeStampOffset offset;
    const std::vector<std::function<void()>> operations = {
        [&] { row.GetAnsiString(v, ansi, isNull); },
        [&] { row.GetWideString(v, wide, isNull); },
        [&] { row.GetBoolean(v, b, isNull); },
        [&] { row.GetUInt8(v, u8, isNull); },
        [&] { row.GetInt8(v, i8, isNull); },
        [&] { row.GetUInt16(v, u16, isNull); },
        [&] { row.GetInt16(v, i16, isNull); },
        [&] { row.GetInt32(v, i32, isNull); },
        [&] { row.GetInt64(v, i64, isNull); },
        [&] { row.GetSingle(v, f, isNull); },
        [&] { row.GetDouble(v, d, isNull); },
        [&] { row.GetBcd(v, bcd, isNull); },
        [&] { row.GetDate(v, date, isNull); },
        [&] { row.GetTime(v, time, isNull); },
        [&] { row.GetTimeStamp(v, stamp, isNull); },
        [&] { row.GetTimeStampOffset(v, offset, isNull); },
        [&] { row.GetBytes(v, 0, bytes, 0, 1, length, isNull); },
        [&] { row.GetByteLength(v, length, isNull); },
        [&] { row.GetWideChars(v, wide, isNull); },
        [&] { row.GetAnsiChars(v, ansi, isNull); },
        [&] { row.GetDBXReader(v, reader, isNull); },
        [&] { row.GetDBXConnection(v, connection, isNull); },
        [&] { row.IsStoredNull(v); },
        [&] { row.SetNull(v); },
        [&] { row.SetString(v, "x"); },
        [&] { row.SetAnsiString(v, "x"); },
        [&] { row.SetWideString(v, u"x"); },
        [&] { row.SetBoolean(v, true); },
        [&] { row.SetUInt8(v, 1); },
        [&] { row.SetInt8(v, 1); },
        [&] { row.SetUInt16(v, 1); },
        [&] { row.SetInt16(v, 1); },
        [&] { row.SetInt32(v, 1); },
        [&] { row.SetInt64(v, 1); },
        [&] { row.SetSingle(v, 1); },
        [&] { row.SetDouble(v, 1); },
        [&] { row.SetBCD(v, bcd); },
        [&] { row.SetDate(v, 1); },
        [&] { row.SetTime(v, 1); },
        [&] { row.SetTimestamp(v, stamp); },
        [&] { row.SetTimestampOffset(v, offset); },
        [&] { row.SetWideChars(v, u"x"); },
        [&] { row.SetAnsiChars(v, "x"); },
        [&] { row.SetWideMemo(v, u"x"); },
        [&] { row.SetAnsiMemo(v, "x"); },
        [&] { row.SetDBXReader(v, nullptr); },
        [&] { row.SetDBXConnection(v, nullptr); },
        [&] { row.SetDynamicBytes(v, 0, bytes, 0, 0); },
        [&] { row.SetValueType(v); },
    };
    for (std::size_t i = 0; i < operations.size(); ++i) {
        const TDBXError e = CatchDBXError(operations[i]);
        EXPECT_EQ(e.ErrorCode(), 27) << "operation " << i;
        EXPECT_EQ(e.Message(), u"Feature not implemented") << "operation " << i;
    }
    EXPECT_EQ(row.CreateCustomValue(v.GetValueType()), nullptr);
}

namespace {

// A row with a text column and an integer column.
class TextRow : public TDBXRow {
public:
    explicit TextRow(TDBXContextPtr Context) : TDBXRow(std::move(Context)) {}
    String Text;
    std::int64_t Int = 0;
    bool Null = false;

    void GetWideString(TDBXWritableValue&, std::vector<char16_t>& Value, bool& IsNull) override {
        IsNull = Null;
        Value.assign(Text.begin(), Text.end());
        Value.push_back(u'\0');
    }
    using TDBXRow::GetWideString;
    void GetInt64(TDBXWritableValue&, std::int64_t& Value, bool& IsNull) override {
        IsNull = Null;
        Value = Int;
    }
};

// A reader of as many rows as asked, serving its values only.
class ValuesReader : public TDBXReader {
public:
    ValuesReader(TDBXContextPtr Context, std::unique_ptr<TDBXRow> Row) : TDBXReader(Context, nullptr, std::move(Row)) {}
    ~ValuesReader() override { CloseReader(); }
    int Rows = 2;

protected:
    bool DerivedNext() override { return Rows-- > 0; }
    void DerivedClose() override {}
};

}  // namespace

TEST(DBXValueByteReader, CopiesValuesAsADriversByteReaderWould) {
    auto context = std::make_shared<TDBXContext>();
    auto ownedRow = std::make_unique<TextRow>(context);
    TextRow& row = *ownedRow;
    ValuesReader reader(context, std::move(ownedRow));
    std::vector<std::unique_ptr<TDBXWritableValue>> values;
    for (int type : {TDBXDataTypes::WideStringType, TDBXDataTypes::Int64Type}) {
        auto description = TDBXDriverHelp::CreateTDBXValueType(context);
        description->SetOrdinal(static_cast<int>(values.size()));
        description->SetDataType(type);
        values.push_back(TDBXValue::CreateValue(context, std::move(description), &reader.DbxRow(), true));
    }
    reader.SetValues(std::move(values));
    EXPECT_FALSE(reader.HasByteReader());
    TDBXValueByteReader bytes(reader);

    ASSERT_TRUE(reader.Next());
    row.Text = u"\u0421\u04E9\u0437\u0434\u0456\u043A";  // Сөздік
    row.Int = 42;
    bool isNull = true;
    // Text and its terminator, cut to the buffer; nothing beyond them written.
    std::vector<std::uint8_t> room(16, 0xFF);
    bytes.GetWideString(0, room, 0, isNull);
    EXPECT_FALSE(isNull);
    EXPECT_EQ(room,
              (std::vector<std::uint8_t>{0x21, 4, 0xE9, 4, 0x37, 4, 0x34, 4, 0x56, 4, 0x3A, 4, 0, 0, 0xFF, 0xFF}));
    std::vector<std::uint8_t> cut(4, 0xFF);
    bytes.GetWideString(0, cut, 0, isNull);
    EXPECT_EQ(cut, (std::vector<std::uint8_t>{0x21, 4, 0xE9, 4}));
    std::int64_t length = 0;
    bytes.GetByteLength(0, length, isNull);
    EXPECT_EQ(length, 12);
    std::vector<std::uint8_t> part(4, 0);
    EXPECT_EQ(bytes.GetBytes(0, 2, part, 0, 4, isNull), 4);
    EXPECT_EQ(part, (std::vector<std::uint8_t>{0xE9, 4, 0x37, 4}));

    std::vector<std::uint8_t> integer(8, 0);
    bytes.GetInt64(1, integer, 0, isNull);
    EXPECT_EQ(integer, (std::vector<std::uint8_t>{42, 0, 0, 0, 0, 0, 0, 0}));
    std::vector<std::uint8_t> small(4, 0);
    EXPECT_EQ(CatchDBXError([&] { bytes.GetInt64(1, small, 0, isNull); }).ErrorCode(), 14);

    // A null leaves the buffer as it was.
    ASSERT_TRUE(reader.Next());
    row.Null = true;
    std::vector<std::uint8_t> untouched(8, 0xFF);
    bytes.GetInt64(1, untouched, 0, isNull);
    EXPECT_TRUE(isNull);
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(8, 0xFF));
    bytes.GetWideString(0, untouched, 0, isNull);
    EXPECT_TRUE(isNull);
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(8, 0xFF));
}
