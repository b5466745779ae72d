#include "rtl/string_list.h"

#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace rtl {

TStringList::TStringList(std::initializer_list<String> lines) : FLines(lines) {}

void TStringList::CheckIndex(int Index, int Limit) const {
    if (Index < 0 || Index > Limit) throw EListError(Format(u"List index out of bounds (%d)", {Index}));
}

const String& TStringList::Strings(int Index) const {
    CheckIndex(Index, Count() - 1);
    return FLines[Index];
}

void TStringList::SetString(int Index, const String& S) {
    CheckIndex(Index, Count() - 1);
    Changing();
    FLines[Index] = S;
    Changed();
}

int TStringList::Add(const String& S) {
    Insert(Count(), S);
    return Count() - 1;
}

void TStringList::Insert(int Index, const String& S) {
    CheckIndex(Index, Count());
    Changing();
    FLines.insert(FLines.begin() + Index, S);
    Changed();
}

void TStringList::Delete(int Index) {
    CheckIndex(Index, Count() - 1);
    Changing();
    FLines.erase(FLines.begin() + Index);
    Changed();
}

void TStringList::Clear() {
    if (FLines.empty()) return;
    Changing();
    FLines.clear();
    Changed();
}

void TStringList::Assign(const TStringList& Source) {
    if (&Source == this) return;
    BeginUpdate();
    Changing();
    FLines = Source.FLines;
    Changed();
    EndUpdate();
}

int TStringList::IndexOf(StringView S) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(FLines[i], S)) return i;
    return -1;
}

String TStringList::Text() const {
    String out;
    for (const String& s : FLines) {
        out += s;
        out += u"\r\n";
    }
    return out;
}

void TStringList::SetText(StringView Value) {
    BeginUpdate();
    Changing();
    FLines.clear();
    std::size_t start = 0;
    const std::size_t n = Value.size();
    while (start < n) {
        std::size_t end = start;
        while (end < n && Value[end] != u'\r' && Value[end] != u'\n') ++end;
        FLines.emplace_back(Value.substr(start, end - start));
        if (end < n && Value[end] == u'\r') ++end;
        if (end < n && Value[end] == u'\n') ++end;
        start = end;
    }
    Changed();
    EndUpdate();
}

String TStringList::Names(int Index) const {
    const String& line = Strings(Index);
    const auto eq = line.find(u'=');
    return eq == String::npos ? line : line.substr(0, eq);
}

String TStringList::ValueFromIndex(int Index) const {
    const String& line = Strings(Index);
    const auto eq = line.find(u'=');
    return eq == String::npos ? String() : line.substr(eq + 1);
}

int TStringList::IndexOfName(StringView Name) const {
    for (int i = 0; i < Count(); ++i) {
        const String& line = FLines[i];
        const auto eq = line.find(u'=');
        if (eq != String::npos && SameText(StringView(line).substr(0, eq), Name)) return i;
    }
    return -1;
}

String TStringList::Values(StringView Name) const {
    const int i = IndexOfName(Name);
    return i < 0 ? String() : ValueFromIndex(i);
}

void TStringList::SetValue(StringView Name, StringView Value) {
    const int i = IndexOfName(Name);
    if (Value.empty()) {
        if (i >= 0) Delete(i);
        return;
    }
    String line = String(Name) + u'=' + String(Value);
    if (i >= 0) SetString(i, line);
    else Add(line);
}

void TStringList::BeginUpdate() {
    if (FUpdateCount++ == 0 && OnChanging) OnChanging(*this);
}

void TStringList::EndUpdate() {
    if (--FUpdateCount == 0 && OnChange) OnChange(*this);
}

void TStringList::Changing() {
    if (FUpdateCount == 0 && OnChanging) OnChanging(*this);
}

void TStringList::Changed() {
    if (FUpdateCount == 0 && OnChange) OnChange(*this);
}

}  // namespace rtl
