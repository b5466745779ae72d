#include "sql/sqlite_metadata.h"

#include "rtl/format.h"

namespace sql {

namespace {

// One fixed row of values, served to the value objects of its reader.
class TDBXFixedRow : public TDBXRow {
public:
    TDBXFixedRow(TDBXContextPtr Context, std::vector<rtl::Variant> Values)
        : TDBXRow(std::move(Context)), FValues(std::move(Values)) {}

    void GetWideString(TDBXWritableValue& DbxValue, std::vector<char16_t>& Value, bool& IsNull) override {
        const rtl::Variant& v = At(DbxValue);
        IsNull = v.IsClear();
        if (IsNull) return;
        const String text = v.AsString();
        Value.assign(text.begin(), text.end());
        Value.push_back(u'\0');
    }
    using TDBXRow::GetWideString;
    void GetInt32(TDBXWritableValue& DbxValue, std::int32_t& Value, bool& IsNull) override {
        const rtl::Variant& v = At(DbxValue);
        IsNull = v.IsClear();
        if (!IsNull) Value = v.AsInteger();
    }
    void GetBoolean(TDBXWritableValue& DbxValue, bool& Value, bool& IsNull) override {
        const rtl::Variant& v = At(DbxValue);
        IsNull = v.IsClear();
        if (!IsNull) Value = v.AsBoolean();
    }

private:
    const rtl::Variant& At(TDBXWritableValue& DbxValue) const {
        return FValues.at(static_cast<std::size_t>(DbxValue.GetValueType().GetOrdinal()));
    }
    std::vector<rtl::Variant> FValues;
};

// A reader over one fixed row.
class TDBXFixedReader : public TDBXReader {
public:
    struct Column {
        const char16_t* Name;
        int DataType;
        int Size;
        rtl::Variant Value;
    };

    TDBXFixedReader(const TDBXContextPtr& Context, const std::vector<Column>& Columns)
        : TDBXReader(Context, nullptr, std::make_unique<TDBXFixedRow>(Context, ValuesOf(Columns))) {
        std::vector<std::unique_ptr<TDBXWritableValue>> values;
        for (std::size_t i = 0; i < Columns.size(); ++i) {
            auto description = TDBXDriverHelp::CreateTDBXValueType(Context);
            description->SetOrdinal(static_cast<int>(i));
            description->SetName(Columns[i].Name);
            description->SetDataType(Columns[i].DataType);
            description->SetSize(Columns[i].Size);
            values.push_back(TDBXValue::CreateValue(Context, std::move(description), FDbxRow.get(), true));
        }
        SetValues(std::move(values));
    }
    ~TDBXFixedReader() override { CloseReader(); }

protected:
    bool DerivedNext() override { return !std::exchange(FDone, true); }
    void DerivedClose() override {}

private:
    static std::vector<rtl::Variant> ValuesOf(const std::vector<Column>& Columns) {
        std::vector<rtl::Variant> values;
        for (const Column& column : Columns) values.push_back(column.Value);
        return values;
    }
    bool FDone = false;
};

class TDBXSqliteMetaDataCommand : public TDBXCommand {
public:
    TDBXSqliteMetaDataCommand(TDBXContextPtr Context, TDBXConnection& Connection)
        : TDBXCommand(std::move(Context), &Connection), FMetaConnection(Connection) {}
    ~TDBXSqliteMetaDataCommand() override { CloseOnFree(); }

    void SetRowSetSize(std::int64_t) override {}
    void SetMaxBlobSize(std::int64_t) override {}
    std::int64_t GetRowsAffected() override { return 0; }
    // Metadata commands take no parameters: the row of an empty list, so
    // that a dataset running one can set its parameter count to 0.
    std::unique_ptr<TDBXRow> CreateParameterRow() override { return std::make_unique<TDBXRow>(FDBXContext); }

protected:
    std::unique_ptr<TDBXReader> DerivedGetNextReader() override { return nullptr; }
    void DerivedOpen() override {}
    void DerivedClose() override {}
    void DerivedPrepare() override {}
    std::unique_ptr<TDBXReader> DerivedExecuteQuery() override {
        if (!rtl::SameText(FText, u"GetDatabase"))
            FDBXContext->Error(TDBXErrorCodes::NotImplemented, u"Feature not implemented");
        namespace T = TDBXDataTypes;
        const rtl::Variant quote(u"\"");
        const rtl::Variant yes(true), no(false);
        return std::make_unique<TDBXFixedReader>(
            FDBXContext,
            std::vector<TDBXFixedReader::Column>{
                // clang-format off
                {u"QuoteChar", T::WideStringType, 2, quote},
                {u"ProcedureQuoteChar", T::WideStringType, 2, quote},
                // clang-format on
                {u"MaxCommands", T::Int32Type, 4, rtl::Variant(std::int32_t(0))},
                // clang-format off
                {u"SupportsTransactions", T::BooleanType, 1, yes},
                {u"SupportsNestedTransactions", T::BooleanType, 1, yes},
                {u"SupportsRowSetSize", T::BooleanType, 1, no},
                // clang-format on
                {u"ProductVersion", T::WideStringType, 128, rtl::Variant(FMetaConnection.GetProductVersion())},
                {u"ProductName", T::WideStringType, 128, rtl::Variant(u"Sqlite")},
                // clang-format off
                {u"QuotePrefix", T::WideStringType, 2, quote},
                {u"QuoteSuffix", T::WideStringType, 2, quote},
                {u"SupportsLowerCaseIdentifiers", T::BooleanType, 1, yes},
                {u"SupportsUpperCaseIdentifiers", T::BooleanType, 1, yes},
                {u"SupportsSPReturnCode", T::BooleanType, 1, no},
                {u"SupportsParameterMetadata", T::BooleanType, 1, no},
                {u"SupportsCatalogFunctions", T::BooleanType, 1, no},
                {u"SupportsCatalogs", T::BooleanType, 1, no},
                {u"SupportsSchemas", T::BooleanType, 1, no},
                // clang-format on
            });
    }
    void DerivedExecuteUpdate() override {
        FDBXContext->Error(TDBXErrorCodes::NotImplemented, u"Feature not implemented");
    }

private:
    TDBXConnection& FMetaConnection;
};

}  // namespace

std::unique_ptr<TRegisteredObject> TDBXSqliteMetaDataCommandFactory::Create() {
    return std::make_unique<TDBXSqliteMetaDataCommandFactory>();
}

std::unique_ptr<TDBXCommand> TDBXSqliteMetaDataCommandFactory::CreateCommand(const TDBXContextPtr& Context,
                                                                             TDBXConnection& Connection,
                                                                             TDBXMorphicCommand&) {
    return std::make_unique<TDBXSqliteMetaDataCommand>(Context, Connection);
}

}  // namespace sql
