// The INI reader on an arbitrary file (the input's bytes, kept in an
// in-memory file so that the reader opens it by name as it opens any file):
//
// - section names are trimmed, distinct without regard to letter case, and
//   found in any case;
// - a section's value lines are trimmed, never empty, comments or section
//   headers, their names and values trimmed on each side of the first "=";
//   ReadSection gives the lines' names in the same order;
// - ReadString gives the value of the first line of that name, in any case,
//   and the default when no line with a value has it;
// - writing what was read back as a file (with or without a byte-order mark)
//   and reading it again gives the same sections and lines.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "rtl/ini_file.h"

using rtl::String;
using rtl::StringView;
using rtl::TMemIniFile;
using rtl::TStringList;

namespace {

// No value starts with a blank, so this one is never read from a file.
constexpr StringView kAbsent = u"\x01absent";

// One in-memory file for the whole run, rewritten for every input.
class MemoryFile {
public:
    MemoryFile() : FFd(memfd_create("ini_file_fuzz", 0)) {
        FUZZ_REQUIRE(FFd >= 0);
        FName = rtl::Utf8ToString("/proc/self/fd/" + std::to_string(FFd));
    }
    const String& Write(std::string_view Bytes) {
        FUZZ_REQUIRE(ftruncate(FFd, 0) == 0);
        FUZZ_REQUIRE(pwrite(FFd, Bytes.data(), Bytes.size(), 0) == static_cast<ssize_t>(Bytes.size()));
        return FName;
    }

private:
    int FFd;
    String FName;
};

struct Section {
    String Name;
    std::vector<String> Lines;
};

std::vector<Section> Read(const TMemIniFile& Ini) {
    std::vector<Section> out;
    TStringList names;
    Ini.ReadSections(names);
    for (const String& name : names.Lines()) {
        TStringList values;
        Ini.ReadSectionValues(name, values);
        out.push_back({name, values.Lines()});
    }
    return out;
}

bool Trimmed(StringView Text) { return rtl::Trim(Text) == Text; }

void CheckSection(const TMemIniFile& Ini, const Section& S) {
    TStringList names;
    Ini.ReadSection(S.Name, names);
    FUZZ_REQUIRE(names.Count() == static_cast<int>(S.Lines.size()));
    for (std::size_t i = 0; i < S.Lines.size(); ++i) {
        const String& line = S.Lines[i];
        FUZZ_REQUIRE(!line.empty() && Trimmed(line) && line[0] != u';' && line[0] != u'#');
        FUZZ_REQUIRE(!(line.front() == u'[' && line.back() == u']'));
        const std::size_t eq = line.find(u'=');
        const String name = line.substr(0, eq);
        FUZZ_REQUIRE(names.Strings(static_cast<int>(i)) == name);
        if (eq == String::npos) continue;
        FUZZ_REQUIRE(Trimmed(name) && Trimmed(StringView(line).substr(eq + 1)));
        // The first line of that name with a value gives it.
        String expected;
        for (const String& other : S.Lines) {
            const std::size_t at = other.find(u'=');
            if (at != String::npos && rtl::SameText(StringView(other).substr(0, at), name)) {
                expected = other.substr(at + 1);
                break;
            }
        }
        FUZZ_REQUIRE(Ini.ReadString(S.Name, name, kAbsent) == expected);
        FUZZ_REQUIRE(Ini.ReadString(rtl::AnsiLowerCase(S.Name), rtl::AnsiLowerCase(name), kAbsent) == expected);
    }
    // A name that only a line without "=" has gives the default.
    for (const String& line : S.Lines) {
        if (line.find(u'=') != String::npos) continue;
        bool valued = false;
        for (const String& other : S.Lines) {
            const std::size_t at = other.find(u'=');
            valued = valued || (at != String::npos && rtl::SameText(StringView(other).substr(0, at), line));
        }
        if (!valued) FUZZ_REQUIRE(Ini.ReadString(S.Name, line, kAbsent) == kAbsent);
    }
}

std::string Serialize(const std::vector<Section>& Sections, bool ByteOrderMark) {
    String text;
    for (const Section& s : Sections) {
        text += u"[" + s.Name + u"]\r\n";
        for (const String& line : s.Lines) text += line + u"\n";
    }
    return (ByteOrderMark ? "\xEF\xBB\xBF" : "") + rtl::StringToUtf8(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static MemoryFile file;
    const TMemIniFile ini(file.Write(fuzz::Bytes(Data, Size)));
    const std::vector<Section> sections = Read(ini);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const Section& s = sections[i];
        FUZZ_REQUIRE(Trimmed(s.Name));
        FUZZ_REQUIRE(ini.SectionExists(s.Name) && ini.SectionExists(rtl::AnsiLowerCase(s.Name)));
        for (std::size_t j = 0; j < i; ++j) FUZZ_REQUIRE(!rtl::SameText(sections[j].Name, s.Name));
        CheckSection(ini, s);
    }

    const TMemIniFile again(file.Write(Serialize(sections, Size % 2 == 1)));
    const std::vector<Section> reread = Read(again);
    FUZZ_REQUIRE(reread.size() == sections.size());
    for (std::size_t i = 0; i < sections.size(); ++i)
        FUZZ_REQUIRE(reread[i].Name == sections[i].Name && reread[i].Lines == sections[i].Lines);
    return 0;
}
