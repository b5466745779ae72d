#pragma once
// TMemIniFile: a read-only view of an INI settings file ("[Section]" headers
// and "Name=Value" lines), loaded whole when created. Section and value names
// compare without regard to letter case.

#include <vector>

#include "rtl/string_list.h"

namespace rtl {

class TMemIniFile {
public:
    // Reads FileName as UTF-8 (a byte-order mark is skipped). A missing or
    // unreadable file gives an empty view. Lines starting with ";" or "#" are
    // comments; names and values are trimmed.
    explicit TMemIniFile(StringView FileName);

    const String& FileName() const { return FFileName; }
    bool SectionExists(StringView Section) const;
    // The section names, in file order.
    void ReadSections(TStringList& Strings) const;
    // The value names of Section.
    void ReadSection(StringView Section, TStringList& Strings) const;
    // The "Name=Value" lines of Section.
    void ReadSectionValues(StringView Section, TStringList& Strings) const;
    String ReadString(StringView Section, StringView Ident, StringView Default) const;

private:
    struct Section {
        String Name;
        TStringList Lines;
    };
    const Section* Find(StringView Name) const;

    String FFileName;
    std::vector<Section> FSections;
};

}  // namespace rtl
