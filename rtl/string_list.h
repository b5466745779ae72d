#pragma once
// TStringList: an ordered list of lines with name=value access (names compare
// without regard to letter case) and change events.

#include <functional>
#include <vector>

#include "rtl/strings.h"

namespace rtl {

class TStringList {
public:
    using TNotifyEvent = std::function<void(TStringList&)>;

    TStringList() = default;
    TStringList(std::initializer_list<String> lines);

    int Count() const { return static_cast<int>(FLines.size()); }
    // Raises EListError for an index outside 0..Count-1.
    const String& Strings(int Index) const;
    void SetString(int Index, const String& S);
    const std::vector<String>& Lines() const { return FLines; }

    int Add(const String& S);
    void Insert(int Index, const String& S);
    void Delete(int Index);
    void Clear();
    void Assign(const TStringList& Source);
    // The index of the line equal to S ignoring letter case, or -1.
    int IndexOf(StringView S) const;

    // Every line followed by CR LF, the last one included.
    String Text() const;
    // Splits at CR LF, LF or CR; a final line break adds no empty line.
    void SetText(StringView Value);

    // The part before the first "=" (the whole line when there is none).
    String Names(int Index) const;
    // The part after the first "=" of line Index ("" when there is none).
    String ValueFromIndex(int Index) const;
    int IndexOfName(StringView Name) const;
    // The value of the first line named Name, or "".
    String Values(StringView Name) const;
    // Replaces the value of the line named Name, adds "Name=Value" when absent,
    // and removes the line when Value is empty.
    void SetValue(StringView Name, StringView Value);

    // Groups several changes into one pair of OnChanging/OnChange calls.
    void BeginUpdate();
    void EndUpdate();

    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;

private:
    void Changing();
    void Changed();
    void CheckIndex(int Index, int Limit) const;

    std::vector<String> FLines;
    int FUpdateCount = 0;
};

}  // namespace rtl
