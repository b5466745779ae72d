#include "sql/dbx_properties.h"

#include "rtl/format.h"

namespace sql {

TDBXProperties::TDBXProperties(TDBXContextPtr Context) : FDBXContext(std::move(Context)) {
    FProperties.OnChange = [this](rtl::TStringList&) {
        if (OnChange) OnChange(*this);
    };
}

TDBXProperties::~TDBXProperties() = default;

String TDBXProperties::GetValue(StringView Name) const { return FProperties.Values(Name); }

void TDBXProperties::SetValue(StringView Name, StringView Value) { FProperties.SetValue(Name, Value); }

void TDBXProperties::Add(StringView Name, StringView Value) {
    String line(Name);
    line += u'=';
    line += Value;
    FProperties.Add(line);
}

void TDBXProperties::AddProperties(const rtl::TStringList& List) {
    if (FProperties.Count() == 0) {
        FProperties.Assign(List);
        return;
    }
    FProperties.BeginUpdate();
    for (int i = 0; i < List.Count(); ++i) Add(List.Names(i), rtl::Trim(List.ValueFromIndex(i)));
    FProperties.EndUpdate();
}

void TDBXProperties::AddUniqueProperties(const rtl::TStringList& List) {
    FProperties.BeginUpdate();
    for (int i = 0; i < List.Count(); ++i) {
        const String name = List.Names(i);
        if (FProperties.IndexOfName(name) < 0) Add(name, rtl::Trim(List.ValueFromIndex(i)));
    }
    FProperties.EndUpdate();
}

void TDBXProperties::MergeProperties(const rtl::TStringList& List) {
    FProperties.BeginUpdate();
    for (int i = 0; i < List.Count(); ++i) {
        const String name = List.Names(i);
        const int index = FProperties.IndexOfName(name);
        if (index >= 0) FProperties.SetString(index, FProperties.Names(index) + u"=" + List.ValueFromIndex(i));
        else FProperties.Add(List.Strings(i));
    }
    FProperties.EndUpdate();
}

std::unique_ptr<TDBXProperties> TDBXProperties::Clone() const {
    auto copy = std::make_unique<TDBXProperties>(FDBXContext);
    copy->MergeProperties(FProperties);
    return copy;
}

bool TDBXProperties::GetBoolean(StringView Name) const {
    const String value = GetValue(Name);
    return !value.empty() && (value[0] == u't' || value[0] == u'T');
}

int TDBXProperties::GetInteger(StringView Name) const {
    const String value = GetValue(Name);
    return value.empty() ? -1 : rtl::StrToInt(value);
}

String TDBXProperties::GetRequiredValue(StringView Name) const {
    String value = GetValue(Name);
    if (value.empty())
        RaiseDBXError(FDBXContext.get(), TDBXErrorCodes::InvalidArgument, rtl::Format(u"%s property not set", {Name}));
    return value;
}

}  // namespace sql
