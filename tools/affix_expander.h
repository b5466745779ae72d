#pragma once
// Hunspell word lists: the affix rules of a .aff file and the words of a .dic
// file, and the expansion of a word into the forms its affix flags allow.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/strings.h"

namespace tools {

// A malformed or unsupported word list or affix file, or one that cannot be read.
class EDictionaryError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

using AffixFlag = std::uint64_t;

// One line of a .dic file: the word and its affix flags.
struct DictionaryWord {
    rtl::String Word;
    std::vector<AffixFlag> Flags;
};

// The PFX and SFX groups of an affix file (UTF-8; FLAG char, UTF-8, long or
// num; FULLSTRIP honoured). Continuation flags on affixes are read but not
// applied, flag aliases (AF) are refused, and rules that lack a field are
// left out (see MalformedRuleLines).
class AffixRules {
public:
    AffixRules();
    ~AffixRules();
    AffixRules(AffixRules&&) noexcept;
    AffixRules& operator=(AffixRules&&) noexcept;

    // Parses the text of an affix file; FileName only labels error messages.
    static AffixRules Parse(std::string_view Utf8Text, rtl::StringView FileName = u"");
    static AffixRules LoadFromFile(rtl::StringView FileName);

    // Line numbers of the rules left out because they have fewer than five fields.
    const std::vector<std::size_t>& MalformedRuleLines() const;

    // Splits the flag field of a word ("ABc", "AaBb", "1,2") by the FLAG type.
    std::vector<AffixFlag> ParseFlags(rtl::StringView Text) const;

    // The word itself followed by every distinct form its flags produce:
    // suffixed forms, prefixed forms, then prefixes on suffixed forms where
    // both groups allow the cross product. Unknown flags are ignored.
    std::vector<rtl::String> Expand(rtl::StringView Word, const std::vector<AffixFlag>& Flags) const;

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

// The words of a .dic file (UTF-8, optional BOM, the first line a count).
std::vector<DictionaryWord> ParseDictionary(std::string_view Utf8Text, const AffixRules& Rules,
                                            rtl::StringView FileName = u"");
std::vector<DictionaryWord> LoadDictionary(rtl::StringView FileName, const AffixRules& Rules);

// The whole content of a file, raising EDictionaryError when it cannot be read.
std::string ReadFileBytes(rtl::StringView FileName);

}  // namespace tools
