#include "rtl/ini_file.h"

#include <fstream>
#include <iterator>

namespace rtl {

TMemIniFile::TMemIniFile(StringView FileName) : FFileName(FileName) {
    std::ifstream in(StringToUtf8(FileName), std::ios::binary);
    if (!in) return;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.eof() && in.fail()) return;
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    TStringList lines;
    lines.SetText(Utf8ToString(bytes));
    Section* current = nullptr;
    for (const String& raw : lines.Lines()) {
        const String line = Trim(raw);
        if (line.empty() || line[0] == u';' || line[0] == u'#') continue;
        if (line.front() == u'[' && line.back() == u']') {
            const String name = Trim(StringView(line).substr(1, line.size() - 2));
            current = nullptr;
            for (Section& section : FSections)
                if (SameText(section.Name, name)) current = &section;
            if (!current) {
                FSections.push_back({name, {}});
                current = &FSections.back();
            }
            continue;
        }
        if (!current) continue;
        const auto eq = line.find(u'=');
        if (eq == String::npos) {
            current->Lines.Add(line);
        } else {
            current->Lines.Add(Trim(StringView(line).substr(0, eq)) + u"=" + Trim(StringView(line).substr(eq + 1)));
        }
    }
}

const TMemIniFile::Section* TMemIniFile::Find(StringView Name) const {
    for (const Section& section : FSections)
        if (SameText(section.Name, Name)) return &section;
    return nullptr;
}

bool TMemIniFile::SectionExists(StringView Section) const { return Find(Section) != nullptr; }

void TMemIniFile::ReadSections(TStringList& Strings) const {
    Strings.Clear();
    for (const Section& section : FSections) Strings.Add(section.Name);
}

void TMemIniFile::ReadSection(StringView Section, TStringList& Strings) const {
    Strings.Clear();
    if (const auto* section = Find(Section))
        for (int i = 0; i < section->Lines.Count(); ++i) Strings.Add(section->Lines.Names(i));
}

void TMemIniFile::ReadSectionValues(StringView Section, TStringList& Strings) const {
    Strings.Clear();
    if (const auto* section = Find(Section)) Strings.Assign(section->Lines);
}

String TMemIniFile::ReadString(StringView Section, StringView Ident, StringView Default) const {
    if (const auto* section = Find(Section)) {
        const int index = section->Lines.IndexOfName(Ident);
        if (index >= 0) return section->Lines.ValueFromIndex(index);
    }
    return String(Default);
}

}  // namespace rtl
