#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>

#include "data/blob_fields.h"
#include "data/bytes_fields.h"
#include "data/fields.h"
#include "data/number_fields.h"
#include "data/string_fields.h"
#include "data/structured_fields.h"
#include "memory_dataset.h"
#include "test_util.h"

using namespace data;
using namespace testing_data;

namespace {

struct TypeRow {
    TFieldType Type;
    const char* Name;
    const char* FieldClass;  // null: no field is created
};

// The whole enumeration, in ordinal order.
const TypeRow kTypes[] = {
    {ftUnknown, "Unknown", nullptr},
    {ftString, "String", "TStringField"},
    {ftSmallint, "SmallInt", "TSmallintField"},
    {ftInteger, "Integer", "TIntegerField"},
    {ftWord, "Word", "TWordField"},
    {ftBoolean, "Boolean", "TBooleanField"},
    {ftFloat, "Float", "TFloatField"},
    {ftCurrency, "Currency", "TCurrencyField"},
    {ftBCD, "BCD", "TBCDField"},
    {ftDate, "Date", "TDateField"},
    {ftTime, "Time", "TTimeField"},
    {ftDateTime, "DateTime", "TDateTimeField"},
    {ftBytes, "Bytes", "TBytesField"},
    {ftVarBytes, "VarBytes", "TVarBytesField"},
    {ftAutoInc, "AutoInc", "TAutoIncField"},
    {ftBlob, "Blob", "TBlobField"},
    {ftMemo, "Memo", "TMemoField"},
    {ftGraphic, "Graphic", "TGraphicField"},
    {ftFmtMemo, "FmtMemo", "TBlobField"},
    {ftParadoxOle, "ParadoxOle", "TBlobField"},
    {ftDBaseOle, "dBaseOle", "TBlobField"},
    {ftTypedBinary, "TypedBinary", "TBlobField"},
    {ftCursor, "Cursor", nullptr},
    {ftFixedChar, "FixedChar", "TStringField"},
    {ftWideString, "WideString", "TWideStringField"},
    {ftLargeint, "LargeInt", "TLargeintField"},
    {ftADT, "ADT", "TADTField"},
    {ftArray, "Array", "TArrayField"},
    {ftReference, "Reference", "TReferenceField"},
    {ftDataSet, "DataSet", "TDataSetField"},
    {ftOraBlob, "OraBlob", "TBlobField"},
    {ftOraClob, "OraClob", "TMemoField"},
    {ftVariant, "Variant", "TVariantField"},
    {ftInterface, "Interface", "TInterfaceField"},
    {ftIDispatch, "IDispatch", "TIDispatchField"},
    {ftGuid, "Guid", "TGuidField"},
    {ftTimeStamp, "TimeStamp", "TSQLTimeStampField"},
    {ftFMTBcd, "FMTBcd", "TFMTBCDField"},
    {ftFixedWideChar, "FixedWideChar", "TWideStringField"},
    {ftWideMemo, "WideMemo", "TWideMemoField"},
    {ftOraTimeStamp, "OraTimeStamp", "TSQLTimeStampField"},
    {ftOraInterval, "OraInterval", "TStringField"},
    {ftLongWord, "LongWord", "TLongWordField"},
    {ftShortint, "ShortInt", "TShortintField"},
    {ftByte, "Byte", "TByteField"},
    {ftExtended, "Extended", "TExtendedField"},
    {ftConnection, "Connection", nullptr},
    {ftParams, "Params", nullptr},
    {ftStream, "Stream", nullptr},
    {ftTimeStampOffset, "TimeStampOffset", "TSQLTimeStampOffsetField"},
    {ftObject, "Object", nullptr},
    {ftSingle, "Single", "TSingleField"},
};

TEST(FieldTypes, TablesCoverEveryTypeInOrder) {
    ASSERT_EQ(std::size(kTypes), 52u);
    ASSERT_EQ(FieldTypeCount, 52);
    for (int i = 0; i < FieldTypeCount; ++i) {
        const TypeRow& row = kTypes[i];
        SCOPED_TRACE(row.Name);
        EXPECT_EQ(row.Type, i);
        EXPECT_EQ(U8(FieldTypeNames[i]), row.Name);
        TFieldClass cls = DefaultFieldClasses[i];
        if (!row.FieldClass) {
            EXPECT_EQ(cls, nullptr);
            continue;
        }
        ASSERT_NE(cls, nullptr);
        EXPECT_EQ(U8(cls->ClassName), row.FieldClass);
        // The class creates a field of its own kind.
        std::unique_ptr<TField> field(cls->Create(nullptr));
        EXPECT_EQ(U8(field->ClassName()), row.FieldClass);
        EXPECT_EQ(field->IsBlob(), cls->IsBlob());
    }
}

// Every type that has a class gets a working field from its definition:
// created, bound, and readable (as null) on an open dataset.
TEST(FieldTypes, DefinitionOfEveryTypeCreatesAWorkingField) {
    std::vector<Column> columns;
    for (const TypeRow& row : kTypes)
        if (row.FieldClass && row.Type != ftADT && row.Type != ftArray && row.Type != ftReference &&
            row.Type != ftDataSet)
            columns.push_back({u"F" + rtl::Utf8ToString(row.Name), row.Type,
                               row.Type == ftString || row.Type == ftWideString || row.Type == ftBytes ? 8 : 0});
    TMemoryDataSet ds(nullptr, columns);
    ds.Rows.push_back(std::vector<rtl::Variant>(columns.size(), rtl::Variant::Null()));
    ds.Open();
    ASSERT_EQ(ds.FieldCount(), static_cast<int>(columns.size()));
    for (TField* f : ds.Fields()) {
        SCOPED_TRACE(U8(f->FieldName()));
        EXPECT_TRUE(f->IsNull());
        EXPECT_EQ(f->FieldNo(), ds.Fields().IndexOf(f) + 1);
        EXPECT_NO_THROW(f->DisplayText());
        EXPECT_EQ(f->LifeCycle(), lcAutomatic);
    }
    // The types without a class get no field and cannot be created one.
    TFieldDefs defs(&ds);
    EXPECT_EQ(DbErrorOf([&] { defs.Add(u"C", ftCursor)->CreateField(nullptr); }), "Field 'C' is of an unknown type");
}

TEST(DatabaseErrors, MessagePrefixFollowsTheComponentsNames) {
    struct TSub : rtl::TComponent, ISubComponent {
        using rtl::TComponent::TComponent;
    };
    rtl::TComponent form(nullptr);
    form.SetName(u"Form1");
    rtl::TComponent named(&form);
    named.SetName(u"Query1");
    rtl::TComponent unnamed(&form);
    TSub sub(&form);
    sub.SetName(u"Params");
    rtl::TComponent lone(nullptr);
    TSub orphan(&lone);
    orphan.SetName(u"Sub");

    EXPECT_EQ(DbErrorOf([] { DatabaseError(u"Boom"); }), "Boom");
    EXPECT_EQ(DbErrorOf([&] { DatabaseError(u"Boom", &named); }), "Query1: Boom");
    EXPECT_EQ(DbErrorOf([&] { DatabaseError(u"Boom", &unnamed); }), "Boom");
    EXPECT_EQ(DbErrorOf([&] { DatabaseError(u"Boom", &sub); }), "Form1.Params: Boom");
    EXPECT_EQ(DbErrorOf([&] { DatabaseError(u"Boom", &orphan); }), "Sub: Boom");  // owner has no name
    EXPECT_EQ(DbErrorOf([&] { DatabaseErrorFmt(SFieldNotFound, {u"X"}, &named); }), "Query1: Field 'X' not found");
}

class PeopleFields : public ::testing::Test {
protected:
    void SetUp() override {
        ds = MakePeople(3);
        ds->Open();
    }
    TField* F(const char16_t* name) { return ds->FieldByName(name); }
    std::unique_ptr<TMemoryDataSet> ds;
};

TEST_F(PeopleFields, ValuesAndDisplayTextsPerClass) {
    // Row 1: ID 1, Name "Name1", Big 0, Memo "Memo text 1"; row 2 has a null memo.
    EXPECT_EQ(U8(F(u"ID")->DisplayText()), "1");
    EXPECT_EQ(F(u"ID")->AsInteger(), 1);
    EXPECT_EQ(U8(F(u"Name")->DisplayText()), "Name1");
    EXPECT_EQ(U8(F(u"Name")->AsWideString()), "Name1");
    EXPECT_EQ(U8(F(u"Memo")->DisplayText()), "(WIDEMEMO)");
    EXPECT_EQ(U8(F(u"Memo")->Text()), "(WIDEMEMO)");
    EXPECT_EQ(U8(F(u"Memo")->AsString()), "Memo text 1");
    EXPECT_FALSE(F(u"Memo")->IsNull());
    ds->Next();
    EXPECT_EQ(F(u"Big")->AsLargeInt(), 10000000000LL);
    EXPECT_EQ(U8(F(u"Big")->DisplayText()), "10000000000");
    EXPECT_TRUE(F(u"Memo")->IsNull());
    EXPECT_EQ(U8(F(u"Memo")->DisplayText()), "(WideMemo)");
    EXPECT_EQ(U8(F(u"Memo")->AsString()), "");
    EXPECT_TRUE(F(u"Memo")->AsVariant().IsNull());
}

TEST_F(PeopleFields, NullAndNegativeNumbersAndFormats) {
    ds->Rows[0][0] = rtl::Variant::Null();
    ds->Rows[0][2] = rtl::Variant(std::int64_t(-1234567));
    ds->Refresh();
    auto* id = static_cast<TIntegerField*>(F(u"ID"));
    auto* big = static_cast<TLargeintField*>(F(u"Big"));
    EXPECT_TRUE(id->IsNull());
    EXPECT_EQ(U8(id->DisplayText()), "");
    EXPECT_EQ(id->AsInteger(), 0);
    EXPECT_EQ(U8(big->DisplayText()), "-1234567");
    big->SetDisplayFormat(u"#,##0 pcs");
    big->SetEditFormat(u"0");
    EXPECT_EQ(U8(big->DisplayText()), "-1,234,567 pcs");
    EXPECT_EQ(U8(big->Text()), "-1234567");
    EXPECT_EQ(U8(FormatFloat(u"0.00", 2.5)), "2.50");
    EXPECT_EQ(U8(FormatFloat(u"#.##", 0.5)), ".5");
    EXPECT_EQ(U8(FormatFloat(u"0;(0)", -7)), "(7)");
}

TEST_F(PeopleFields, EditMaskFormatsOnlyTheDisplayText) {
    auto saved = FormatMaskTextProc;
    FormatMaskTextProc = [](rtl::StringView mask, rtl::StringView value) {
        return rtl::String(mask) + u"|" + rtl::String(value);
    };
    F(u"Name")->SetEditMask(u"M");
    EXPECT_EQ(U8(F(u"Name")->DisplayText()), "M|Name1");
    EXPECT_EQ(U8(F(u"Name")->Text()), "Name1");
    FormatMaskTextProc = saved;
}

TEST_F(PeopleFields, OnGetTextDecidesBothTexts) {
    TField* name = F(u"Name");
    name->OnGetText = [](TField& f, rtl::String& text, bool display) {
        text = (display ? u"D:" : u"E:") + f.AsString();
    };
    EXPECT_EQ(U8(name->DisplayText()), "D:Name1");
    EXPECT_EQ(U8(name->Text()), "E:Name1");
}

TEST_F(PeopleFields, BlobDisplayValueModes) {
    auto* memo = static_cast<TBlobField*>(F(u"Memo"));
    memo->SetDisplayWidth(4);
    memo->SetDisplayValue(dvFull);
    EXPECT_EQ(U8(memo->DisplayText()), "Memo text 1");
    memo->SetDisplayValue(dvClip);
    EXPECT_EQ(U8(memo->DisplayText()), "Memo...");
    EXPECT_EQ(U8(memo->Text()), "Memo text 1");
    memo->SetDisplayValue(dvFit);
    EXPECT_EQ(U8(memo->DisplayText()), "(WIDEMEMO)");
    memo->SetDisplayWidth(40);
    EXPECT_EQ(U8(memo->DisplayText()), "Memo text 1");
}

TEST(IntegerFields, EachStoredWidthKeepsItsOwnRange) {
    TMemoryDataSet ds(nullptr, {{u"S", ftSmallint}, {u"W", ftWord}, {u"H", ftShortint}, {u"B", ftByte}});
    ds.SetName(u"MemData");
    ds.Rows = {{rtl::Variant(std::int32_t(-2)), rtl::Variant(std::int32_t(65535)), rtl::Variant(std::int32_t(-128)),
                rtl::Variant(std::int32_t(255))}};
    ds.Open();
    const struct {
        const char16_t* Name;
        // clang-format off
        std::int32_t Stored, Min, Max;
    } cases[] = {{u"S", -2, -32768, 32767}, {u"W", 65535, 0, 65535}, {u"H", -128, -128, 127}, {u"B", 255, 0, 255}};
    // clang-format on
    ds.Edit();
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.Name));
        TField* f = ds.FieldByName(c.Name);
        EXPECT_EQ(f->AsInteger(), c.Stored);
        EXPECT_EQ(DbErrorOf([&] { f->SetAsInteger(c.Max + 1); }), "Invalid value for field '" + U8(c.Name) + "'");
        EXPECT_EQ(DbErrorOf([&] { f->SetAsInteger(c.Min - 1); }), "Invalid value for field '" + U8(c.Name) + "'");
        f->SetAsInteger(c.Min);
        EXPECT_EQ(f->AsInteger(), c.Min);
        f->SetAsString(rtl::IntToStr(c.Max));
        EXPECT_EQ(f->AsInteger(), c.Max);
    }
    ds.Post();
    EXPECT_EQ(ds.Rows[0][0].AsInteger(), 32767);
    EXPECT_EQ(ds.Rows[0][1].AsInteger(), 65535);
}

// An 8-bit string column whose value fills the whole record slot, the place
// of the terminator included: as long as the field allows, and unterminated.
struct TUnterminatedStrings : TMemoryDataSet {
    using TMemoryDataSet::TMemoryDataSet;
    bool GetFieldData(TField* Field, void* Buffer) override {
        if (Field->DataType() != ftString) return TMemoryDataSet::GetFieldData(Field, Buffer);
        if (Buffer) std::memset(Buffer, 'x', static_cast<std::size_t>(Field->DataSize()));
        return true;
    }
};

TEST(StringFields, UnterminatedValueEndsAtTheFieldSize) {
    // From size 8192 on the record slot is as large as the shared I/O buffer,
    // so a read that runs past the slot also runs past the buffer.
    const struct {
        int Size;
        bool Transliterate;
    } cases[] = {{5, false}, {5, true}, {8192, false}, {8192, true}, {9000, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Size) + (c.Transliterate ? " transliterated" : " raw"));
        TUnterminatedStrings ds(nullptr, {{u"S", ftString, c.Size}});
        ds.Rows = {{rtl::Variant(u"")}};
        ds.Open();
        auto* field = static_cast<TStringField*>(ds.Fields()[0]);
        field->SetTransliterate(c.Transliterate);
        EXPECT_EQ(field->AsString(), rtl::String(static_cast<std::size_t>(c.Size), u'x'));
    }
}

TEST(WideMemoField, AsIntegerConvertsItsTextLikeACountColumn) {
    TMemoryDataSet ds(nullptr, {{u"count(*)", ftWideMemo}});
    ds.Rows = {{rtl::Variant(u"42")}, {rtl::Variant(u"abc")}, {rtl::Variant(u"12345")}};
    ds.Open();
    TField* f = ds.Fields()[0];
    EXPECT_EQ(f->AsInteger(), 42);
    ds.Next();
    // The runtime's conversion error, not a database error.
    EXPECT_EQ(DbErrorOf([&] { f->AsInteger(); }), "<other exception> 'abc' is not a valid integer value");
    ds.Next();
    EXPECT_EQ(U8(f->AsWideString()), "12345");
}

TEST_F(PeopleFields, WidthsLabelsAndAlignment) {
    TMemoryDataSet wide(
        nullptr,
        {{u"W", ftWideString, 50}, {u"S", ftString, 7}, {u"I", ftInteger}, {u"L", ftLargeint}, {u"M", ftWideMemo}});
    wide.Open();
    const struct {
        const char16_t* Name;
        int Width;
        TAlignment Align;
        // clang-format off
    } cases[] = {{u"W", 50, taLeftJustify}, {u"S", 7, taLeftJustify}, {u"I", 10, taRightJustify},
                 {u"L", 15, taRightJustify}, {u"M", 10, taLeftJustify}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.Name));
        EXPECT_EQ(wide.FieldByName(c.Name)->DisplayWidth(), c.Width);
        EXPECT_EQ(wide.FieldByName(c.Name)->Alignment(), c.Align);
    }
    TField* w = wide.FieldByName(u"W");
    w->SetDisplayWidth(3);
    EXPECT_EQ(w->DisplayWidth(), 3);
    w->SetDisplayWidth(0);
    EXPECT_EQ(w->DisplayWidth(), 50);
    EXPECT_EQ(U8(w->DisplayLabel()), "W");
    w->SetDisplayLabel(u"Word");
    EXPECT_EQ(U8(w->DisplayLabel()), "Word");
    wide.Close();
    w = nullptr;  // automatic fields go with the close
    EXPECT_EQ(wide.FieldCount(), 0);
}

TEST_F(PeopleFields, RenamingClearsALabelEqualToTheNewNameAndKeepsTheDictionary) {
    ds->Close();
    ds->Open();  // fields are recreated; rename while closed is required for persistent ones only
    TField* name = F(u"Name");
    name->SetDisplayLabel(u"Title");
    name->SetFieldName(u"Title");
    EXPECT_EQ(U8(name->DisplayLabel()), "Title");
    EXPECT_EQ(ds->FindField(u"TITLE"), name);
    EXPECT_EQ(ds->FindField(u"Name"), nullptr);
    EXPECT_EQ(DbErrorOf([&] { name->SetFieldName(u"id"); }), "MemData: Duplicate field name 'id'");
}

TEST_F(PeopleFields, ReadingErrors) {
    EXPECT_EQ(DbErrorOf([&] { F(u"Memo")->AsBoolean(); }), "Cannot access field 'Memo' as type Boolean");
    F(u"Memo")->SetName(u"PeopleMemo");
    EXPECT_EQ(DbErrorOf([&] { F(u"Memo")->AsFloat(); }), "PeopleMemo: Cannot access field 'Memo' as type Float");
    TIntegerField loose(nullptr);
    loose.SetFieldName(u"Loose");
    EXPECT_EQ(DbErrorOf([&] { loose.AsInteger(); }), "Field 'Loose' has no dataset");
}

TEST_F(PeopleFields, NonNativeReadsConvertThroughScratchAreas) {
    // Small values go through the stack area, large ones through the heap.
    TMemoryDataSet big(nullptr, {{u"Small", ftWideString, 10}, {u"Large", ftWideString, 5000}});
    rtl::String text(4999, u'x');
    big.Rows = {{rtl::Variant(u"abc"), rtl::Variant(text)}};
    big.Open();
    std::vector<char16_t> small(11), large(5001);
    EXPECT_TRUE(big.FieldByName(u"Small")->GetData(small.data(), false));
    EXPECT_EQ(rtl::String(small.data()), u"abc");
    EXPECT_TRUE(big.FieldByName(u"Large")->GetData(large.data(), false));
    EXPECT_EQ(rtl::String(large.data()), text);
    EXPECT_EQ(big.FieldByName(u"Large")->AsString(), text);
}

TEST_F(PeopleFields, CanModifyNeedsABoundWritableFieldOfAModifiableDataset) {
    EXPECT_TRUE(F(u"Name")->CanModify());
    F(u"Name")->SetReadOnly(true);
    EXPECT_FALSE(F(u"Name")->CanModify());
    ds->ReadOnlyData = true;
    EXPECT_FALSE(F(u"ID")->CanModify());
    TIntegerField unbound(nullptr);
    EXPECT_FALSE(unbound.CanModify());
}

TEST(FieldDefs, NamesIgnoreCaseAndSizesAreChecked) {
    TMemoryDataSet ds(nullptr, {});
    ds.SetName(u"DS");
    TFieldDefs& defs = ds.FieldDefs();
    defs.Add(u"Alpha", ftInteger);
    defs.Add(u"Beta", ftWideString, 30, true);
    EXPECT_EQ(defs.IndexOf(u"BETA"), 1);
    EXPECT_EQ(defs.Find(u"alpha")->DataType(), ftInteger);
    EXPECT_TRUE(defs.Find(u"beta")->Required());
    EXPECT_EQ(defs.Find(u"beta")->FieldNo(), 2);
    EXPECT_EQ(DbErrorOf([&] { defs.Find(u"Gamma"); }), "DS: Field 'Gamma' not found");
    EXPECT_EQ(DbErrorOf([&] { defs.Add(u"", ftInteger); }), "DS: Field name missing");
    EXPECT_EQ(DbErrorOf([&] { defs.Add(u"S", ftString, -1); }), "Invalid field size");
    EXPECT_EQ(DbErrorOf([&] { defs.Add(u"W", ftWideString, -5); }), "Invalid field size");
    TFieldDef* adt = defs.Add(u"Point", ftADT);
    adt->ChildDefs().Add(u"X", ftInteger);
    adt->ChildDefs().Add(u"Y", ftInteger);
    EXPECT_EQ(adt->Size(), 2);
    TFieldDefList& flat = ds.FieldDefList();
    EXPECT_EQ(flat.Count(), 5);
    EXPECT_EQ(flat.IndexOf(u"point.y"), 4);
}

TEST(FieldDefs, UniqueNameNumbersARepeatedName) {
    TFieldDefs defs(nullptr);
    const struct {
        const char16_t* Name;
        const char* Unique;
    } cases[] = {
        // clang-format off
        {u"ID", "ID"}, {u"id", "id_1"}, {u"ID", "ID_2"}, {u"Id_1", "Id_1_1"}, {u"Name", "Name"}, {u"", ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Unique);
        const rtl::String unique = defs.UniqueName(c.Name);
        EXPECT_EQ(U8(unique), c.Unique);
        if (!unique.empty()) defs.Add(unique, ftInteger);
    }
    // A free name in the middle of the sequence is taken first.
    defs.Add(u"X_2", ftInteger);
    defs.Add(u"X", ftInteger);
    EXPECT_EQ(U8(defs.UniqueName(u"x")), "x_1");
    defs.Add(u"x_1", ftInteger);
    EXPECT_EQ(U8(defs.UniqueName(u"X")), "X_3");
}

// A field made from a definition takes its properties; a field describes
// itself in a definition the same way back.
TEST(FieldDefs, PropertiesPassBetweenDefinitionsAndFields) {
    TMemoryDataSet ds(nullptr, {});
    const struct {
        TFieldType Type;
        int Size;
        TFieldAttributes Attributes;
        bool InternalCalc;
        bool FixedChar;  // string fields only
    } cases[] = {
        // clang-format off
        {ftString, 12, {faRequired}, false, false},
        {ftString, 4, {faFixed, faReadonly}, false, true},
        {ftFixedChar, 6, {}, false, true},
        {ftWideString, 30, {faReadonly}, true, false},
        {ftInteger, 0, {faRequired, faReadonly}, false, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(FieldTypeNames[c.Type]) + " " + std::to_string(c.Size));
        TFieldDefs defs(&ds);
        TFieldDef* def = defs.Add(u"A", c.Type, c.Size);
        def->SetAttributes(c.Attributes);
        def->SetInternalCalcField(c.InternalCalc);
        std::unique_ptr<TField> field(DefaultFieldClasses[c.Type]->Create(nullptr));
        ds.SetFieldProps(field.get(), *def);
        EXPECT_EQ(field->DataType(), c.Type);
        EXPECT_EQ(field->Size(), c.Size);
        EXPECT_EQ(field->Required(), c.Attributes.Contains(faRequired));
        EXPECT_EQ(field->ReadOnly(), c.Attributes.Contains(faReadonly));
        EXPECT_EQ(field->FieldKind(), c.InternalCalc ? fkInternalCalc : fkData);
        if (auto* text = dynamic_cast<TStringField*>(field.get())) {
            EXPECT_EQ(text->FixedChar(), c.FixedChar);
        }

        TFieldDef* back = defs.AddFieldDef();
        back->SetAttributes({faHiddenCol});  // attributes a field knows nothing of stay
        ds.SetFieldDefProps(*back, field.get());
        EXPECT_EQ(back->DataType(), c.Type);
        EXPECT_EQ(back->Size(), c.Size);
        EXPECT_EQ(back->InternalCalcField(), c.InternalCalc);
        TFieldAttributes expected = c.Attributes + TFieldAttributes{faHiddenCol};
        if (c.FixedChar) expected.Include(faFixed);
        EXPECT_TRUE(back->Attributes() == expected);
    }
}

TEST(Fields, CollectionRulesAndLifeCycles) {
    rtl::TComponent form(nullptr);
    auto ds = MakePeople(2);
    // A persistent field of the form, attached before opening.
    auto* persistent = new TIntegerField(&form);  // owned by the form
    persistent->SetFieldName(u"ID");
    persistent->SetDataSet(ds.get());
    EXPECT_EQ(persistent->LifeCycle(), lcPersistent);
    EXPECT_TRUE(ds->Fields().GetLifeCycles() == TFieldLifeCycles{lcPersistent});
    EXPECT_FALSE(ds->DefaultFields());

    auto* dup = new TIntegerField(&form);
    dup->SetFieldName(u"id");
    EXPECT_EQ(DbErrorOf([&] { dup->SetDataSet(ds.get()); }), "MemData: Duplicate field name 'id'");
    auto* unnamed = new TIntegerField(&form);
    EXPECT_EQ(DbErrorOf([&] { unnamed->SetDataSet(ds.get()); }), "MemData: Field name missing");

    ds->Open();
    EXPECT_EQ(ds->FieldCount(), 1);  // persistent fields only: nothing created
    EXPECT_EQ(ds->FieldByName(u"id")->AsInteger(), 1);
    EXPECT_EQ(DbErrorOf([&] { persistent->SetDataSet(nullptr); }),
              "MemData: Cannot perform this operation on an open dataset");
    ds->Close();

    // Combining creates the missing fields automatically next to the persistent one.
    ds->FieldOptions().AutoCreateMode = acCombineAlways;
    ds->Open();
    EXPECT_EQ(ds->FieldCount(), 4);
    EXPECT_TRUE(ds->Fields().GetLifeCycles() == (TFieldLifeCycles{lcAutomatic, lcPersistent}));
    EXPECT_EQ(ds->Fields().AutomaticCount(), 3);
    ds->Close();
    EXPECT_EQ(ds->FieldCount(), 1);
    EXPECT_EQ(ds->Fields()[0], persistent);

    // A collection that takes only aggregates refuses a data field.
    TFields aggregates(ds.get());
    aggregates.SetValidFieldKinds({fkAggregate});
    TIntegerField data(nullptr);
    EXPECT_EQ(DbErrorOf([&] { aggregates.Add(&data); }), "Invalid FieldKind");
}

// Fields without a text of their own show their class or type in parentheses,
// in capitals when they hold a value.
TEST(FieldClassDescriptions, ShownByDisplayText) {
    TMemoryDataSet ds(nullptr,
                      {{u"I", ftInterface}, {u"B", ftBlob}, {u"M", ftMemo}, {u"W", ftWideMemo}, {u"G", ftGraphic}});
    ds.Rows = {std::vector<rtl::Variant>(5, rtl::Variant(u"x")), std::vector<rtl::Variant>(5, rtl::Variant::Null())};
    ds.Open();
    // clang-format off
    const char* withValue[] = {"(INTERFACE)", "(BLOB)", "(MEMO)", "(WIDEMEMO)", "(GRAPHIC)"};
    const char* null[] = {"(Interface)", "(Blob)", "(Memo)", "(WideMemo)", "(Graphic)"};
    // clang-format on
    for (int i = 0; i < 5; ++i) EXPECT_EQ(U8(ds.Fields()[i]->DisplayText()), withValue[i]);
    ds.Next();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(U8(ds.Fields()[i]->DisplayText()), null[i]);
}

// A dataset with one structured column "Point" of two integers.
class TPointDataSet : public TMemoryDataSet {
public:
    TPointDataSet() : TMemoryDataSet(nullptr, {{u"Point", ftADT}, {u"X", ftInteger}, {u"Y", ftInteger}}) {
        Rows = {{rtl::Variant::Null(), rtl::Variant(std::int32_t(3)), rtl::Variant(std::int32_t(4))}};
    }

protected:
    void InternalInitFieldDefs() override {
        FieldDefs().Clear();
        TFieldDef* point = FieldDefs().Add(u"Point", ftADT);
        point->ChildDefs().Add(u"X", ftInteger);
        point->ChildDefs().Add(u"Y", ftInteger);
    }
};

TEST(StructuredFields, ObjectViewDecidesWhereChildFieldsLive) {
    TPointDataSet flat;
    flat.Open();
    // Without object view the children are top-level fields named by their full names.
    ASSERT_EQ(flat.FieldCount(), 2);
    EXPECT_EQ(U8(flat.Fields()[0]->FieldName()), "Point.X");
    EXPECT_EQ(flat.FieldByName(u"point.y")->AsInteger(), 4);

    TPointDataSet nested;
    nested.SetObjectView(true);
    nested.Open();
    ASSERT_EQ(nested.FieldCount(), 1);
    auto* point = dynamic_cast<TADTField*>(nested.Fields()[0]);
    ASSERT_NE(point, nullptr);
    ASSERT_EQ(point->Fields().Count(), 2);
    TField* x = nested.FindField(u"Point.X");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->ParentField(), point);
    EXPECT_EQ(x->FieldNo(), 2);
    EXPECT_EQ(x->AsInteger(), 3);
    EXPECT_EQ(U8(point->DisplayText()), "(ADT)");
    nested.Close();
    EXPECT_EQ(nested.FieldCount(), 0);
}

// Persistent fields that do not fit the cursor's definitions keep the dataset closed.
TEST(Binding, PersistentFieldsMustMatchTheirDefinitions) {
    struct Case {
        const char* Name;
        std::function<void(rtl::TComponent& form, TDataSet& ds)> Make;
        const char* Error;
    };
    const Case cases[] = {
        {"type family",
         [](rtl::TComponent& form, TDataSet& ds) {
             auto* f = new TStringField(&form);
             f->SetFieldName(u"ID");
             f->SetDataSet(&ds);
         },
         "MemData: Type mismatch for field 'ID', expecting: String actual: Integer"},
        {"size of fixed-size data",
         [](rtl::TComponent& form, TDataSet& ds) {
             auto* f = new TBytesField(&form);
             f->SetFieldName(u"Raw");
             f->SetSize(4);
             f->SetDataSet(&ds);
         },
         "MemData: Size mismatch for field 'Raw', expecting: 4 actual: 8"},
        {"no definition",
         [](rtl::TComponent& form, TDataSet& ds) {
             auto* f = new TIntegerField(&form);
             f->SetFieldName(u"Ghost");
             f->SetDataSet(&ds);
         },
         "MemData: Field 'Ghost' not found"},
        {"calculated blob",
         [](rtl::TComponent& form, TDataSet& ds) {
             auto* f = new TMemoField(&form);
             f->SetFieldName(u"Notes");
             f->SetFieldKind(fkCalculated);
             f->SetDataSet(&ds);
         },
         "MemData: Field 'Notes' cannot be a calculated or lookup field"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        rtl::TComponent form(nullptr);
        TMemoryDataSet ds(nullptr, {{u"ID", ftInteger}, {u"Raw", ftBytes, 8}});
        ds.SetName(u"MemData");
        ds.Rows.push_back({rtl::Variant(std::int32_t(1)), rtl::Variant::Null()});
        c.Make(form, ds);
        EXPECT_EQ(DbErrorOf([&] { ds.Open(); }), c.Error);
        EXPECT_EQ(ds.State(), dsInactive);
    }
}

}  // namespace

// A blob field asks whether it has a value with a null buffer: a dataset may
// keep something else than the value in a blob's record slot, and the
// field's own I/O buffer is too small for it.
TEST(BlobFields, NullTestPassesNoBuffer) {
    struct Recording : testing_data::TMemoryDataSet {
        using TMemoryDataSet::TMemoryDataSet;
        std::vector<bool> BlobBuffers;
        bool GetFieldData(TField* Field, void* Buffer) override {
            if (Field->IsBlob()) BlobBuffers.push_back(Buffer != nullptr);
            return TMemoryDataSet::GetFieldData(Field, Buffer);
        }
    };
    Recording ds(nullptr, {{u"Memo", ftWideMemo}});
    ds.Rows = {{rtl::Variant(u"text")}, {rtl::Variant::Null()}};
    ds.Open();
    EXPECT_FALSE(ds.Fields()[0]->IsNull());
    ds.Next();
    EXPECT_TRUE(ds.Fields()[0]->IsNull());
    EXPECT_EQ(ds.BlobBuffers, (std::vector<bool>{false, false}));
}

TEST(FieldTypes, TheBlobTypesAreTheTenWithABlobFieldClass) {
    const std::set<TFieldType> blobs{ftBlob,     ftMemo,        ftGraphic, ftFmtMemo, ftParadoxOle,
                                     ftDBaseOle, ftTypedBinary, ftOraBlob, ftOraClob, ftWideMemo};
    for (int t = 0; t < FieldTypeCount; ++t)
        EXPECT_EQ(IsBlobType(static_cast<TFieldType>(t)), blobs.count(static_cast<TFieldType>(t)) == 1)
            << rtl::StringToUtf8(FieldTypeNames[t]);
    EXPECT_FALSE(IsBlobType(static_cast<TFieldType>(FieldTypeCount)));
}
