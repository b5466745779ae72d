#include "tools/affix_expander.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "rtl/files.h"
#include "rtl/format.h"

namespace tools {

namespace {

// Affix matching works on code points so that a bracket set or a strip never
// splits a surrogate pair.
std::u32string ToCodePoints(rtl::StringView text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            out += static_cast<char32_t>(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

rtl::String FromCodePoints(std::u32string_view text) {
    rtl::String out;
    out.reserve(text.size());
    for (const char32_t c : text) {
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::u32string Utf8ToCodePoints(std::string_view utf8) { return ToCodePoints(rtl::Utf8ToString(utf8)); }

// Lines of a text file without the BOM and without CR LF / LF terminators.
std::vector<std::string_view> SplitLines(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

enum class FlagType { Char, Long, Num };

// One position of an affix condition: any character, or a character (not) in a set.
struct ConditionElement {
    bool Any = false;
    bool Negated = false;
    std::u32string Chars;

    bool Matches(char32_t c) const {
        if (Any) return true;
        return (Chars.find(c) != std::u32string::npos) != Negated;
    }
};

struct Affix {
    std::u32string Strip;
    std::u32string Add;
    std::vector<ConditionElement> Condition;
};

struct AffixGroup {
    bool CrossProduct = false;
    std::vector<Affix> Rules;
};

}  // namespace

struct AffixRules::Impl {
    FlagType Flags = FlagType::Char;
    bool FullStrip = false;
    std::vector<std::pair<AffixFlag, AffixGroup>> Suffixes;
    std::vector<std::pair<AffixFlag, AffixGroup>> Prefixes;
    std::unordered_map<AffixFlag, std::size_t> SuffixIndex;
    std::unordered_map<AffixFlag, std::size_t> PrefixIndex;
    std::vector<std::size_t> MalformedLines;

    std::vector<AffixFlag> ParseFlags(std::u32string_view text) const;

    // The word may take the affix: longer than the strip (or equal with
    // FULLSTRIP), the strip and the condition found at the affix's end.
    bool Applies(const Affix& affix, const std::u32string& word, bool prefix) const {
        const std::size_t n = word.size();
        if (n < affix.Strip.size() || (n == affix.Strip.size() && !FullStrip)) return false;
        if (n < affix.Condition.size()) return false;
        if (prefix) {
            if (word.compare(0, affix.Strip.size(), affix.Strip) != 0) return false;
            for (std::size_t i = 0; i < affix.Condition.size(); ++i)
                if (!affix.Condition[i].Matches(word[i])) return false;
        } else {
            if (word.compare(n - affix.Strip.size(), affix.Strip.size(), affix.Strip) != 0) return false;
            const std::size_t from = n - affix.Condition.size();
            for (std::size_t i = 0; i < affix.Condition.size(); ++i)
                if (!affix.Condition[i].Matches(word[from + i])) return false;
        }
        return true;
    }

    static std::u32string ApplySuffix(const Affix& affix, const std::u32string& word) {
        return word.substr(0, word.size() - affix.Strip.size()) + affix.Add;
    }
    static std::u32string ApplyPrefix(const Affix& affix, const std::u32string& word) {
        return affix.Add + word.substr(affix.Strip.size());
    }
};

std::vector<AffixFlag> AffixRules::Impl::ParseFlags(std::u32string_view text) const {
    std::vector<AffixFlag> flags;
    switch (Flags) {
        case FlagType::Char:
            for (const char32_t c : text) flags.push_back(c);
            break;
        case FlagType::Long:
            if (text.size() % 2 != 0)
                throw EDictionaryError(
                    rtl::Format(u"Flags \"%s\" are not in pairs of characters", {FromCodePoints(text)}));
            for (std::size_t i = 0; i < text.size(); i += 2)
                flags.push_back((static_cast<AffixFlag>(text[i]) << 32) | text[i + 1]);
            break;
        case FlagType::Num: {
            std::size_t start = 0;
            while (start <= text.size()) {
                auto end = text.find(U',', start);
                if (end == std::u32string_view::npos) end = text.size();
                const auto value = rtl::TryStrToInt(FromCodePoints(text.substr(start, end - start)));
                if (!value || *value <= 0 || *value > 65535)
                    throw EDictionaryError(
                        rtl::Format(u"Flags \"%s\" are not numbers from 1 to 65535", {FromCodePoints(text)}));
                flags.push_back(static_cast<AffixFlag>(*value));
                start = end + 1;
            }
            break;
        }
    }
    return flags;
}

namespace {

std::vector<ConditionElement> ParseCondition(std::u32string_view text) {
    std::vector<ConditionElement> elements;
    if (text == U".") return elements;
    for (std::size_t i = 0; i < text.size(); ++i) {
        ConditionElement element;
        if (text[i] == U'.') {
            element.Any = true;
        } else if (text[i] == U'[') {
            const auto close = text.find(U']', i + 1);
            if (close == std::u32string_view::npos) throw EDictionaryError(u"unterminated \"[\" in condition");
            std::size_t from = i + 1;
            if (from < close && text[from] == U'^') {
                element.Negated = true;
                ++from;
            }
            element.Chars = text.substr(from, close - from);
            i = close;
        } else if (text[i] == U']') {
            throw EDictionaryError(u"\"]\" without \"[\" in condition");
        } else {
            element.Chars = text.substr(i, 1);
        }
        elements.push_back(std::move(element));
    }
    return elements;
}

// "0" stands for the empty string; "/flags" after an added text names
// continuation classes, which are not applied.
std::u32string AffixText(std::string_view field) {
    if (const auto slash = field.find('/'); slash != std::string_view::npos) field = field.substr(0, slash);
    return field == "0" ? std::u32string() : Utf8ToCodePoints(field);
}

}  // namespace

AffixRules::AffixRules() : FImpl(std::make_unique<Impl>()) {}
AffixRules::~AffixRules() = default;
AffixRules::AffixRules(AffixRules&&) noexcept = default;
AffixRules& AffixRules::operator=(AffixRules&&) noexcept = default;

AffixRules AffixRules::Parse(std::string_view Utf8Text, rtl::StringView FileName) {
    AffixRules rules;
    Impl& impl = *rules.FImpl;
    const auto lines = SplitLines(Utf8Text);
    std::size_t lineNo = 0;
    auto fail = [&](rtl::StringView message) -> EDictionaryError {
        return EDictionaryError(rtl::Format(u"%s, line %d: %s", {FileName, lineNo, message}));
    };
    auto parseFlag = [&](std::string_view field) {
        std::vector<AffixFlag> flags;
        try {
            flags = impl.ParseFlags(Utf8ToCodePoints(field));
        } catch (const EDictionaryError& e) {
            throw fail(e.Message());
        }
        if (flags.size() != 1) throw fail(rtl::Format(u"\"%s\" is not a single flag", {rtl::Utf8ToString(field)}));
        return flags.front();
    };

    for (std::size_t i = 0; i < lines.size(); ++i) {
        lineNo = i + 1;
        const auto fields = SplitFields(lines[i]);
        if (fields.empty() || fields[0].starts_with('#')) continue;
        const std::string_view key = fields[0];
        if (key == "SET") {
            if (fields.size() < 2 || !rtl::SameText(rtl::Utf8ToString(fields[1]), u"UTF-8"))
                throw fail(u"only UTF-8 affix files are supported");
        } else if (key == "FLAG") {
            const std::string_view type = fields.size() < 2 ? std::string_view() : fields[1];
            if (type == "long") impl.Flags = FlagType::Long;
            else if (type == "num") impl.Flags = FlagType::Num;
            else if (type == "UTF-8" || type == "char") impl.Flags = FlagType::Char;
            else throw fail(u"unknown FLAG type");
        } else if (key == "AF") {
            throw fail(u"flag aliases (AF) are not supported");
        } else if (key == "FULLSTRIP") {
            impl.FullStrip = true;
        } else if (key == "PFX" || key == "SFX") {
            const bool prefix = key == "PFX";
            if (fields.size() < 4 || (fields[2] != "Y" && fields[2] != "N"))
                throw fail(u"an affix group starts with \"<PFX|SFX> <flag> <Y|N> <count>\"");
            const AffixFlag flag = parseFlag(fields[1]);
            const auto count = rtl::TryStrToInt(rtl::Utf8ToString(fields[3]));
            if (!count || *count < 0) throw fail(u"the rule count is not a number");

            auto& groups = prefix ? impl.Prefixes : impl.Suffixes;
            auto& index = prefix ? impl.PrefixIndex : impl.SuffixIndex;
            auto [it, added] = index.try_emplace(flag, groups.size());
            if (added) groups.emplace_back(flag, AffixGroup{});
            AffixGroup& group = groups[it->second].second;
            group.CrossProduct = fields[2] == "Y";

            for (int r = 0; r < *count; ++r) {
                ++i;
                lineNo = i + 1;
                if (i >= lines.size()) throw fail(u"the affix group has fewer rules than its count");
                const auto rule = SplitFields(lines[i]);
                if (rule.size() < 2 || rule[0] != key || parseFlag(rule[1]) != flag)
                    throw fail(u"expected a rule \"<PFX|SFX> <flag> <strip> <add> <condition>\" of the group");
                // A rule without its condition is most likely missing a field
                // (an add written as the condition); guessing would make
                // nonsense forms, so the rule is left out and reported.
                if (rule.size() < 5) {
                    impl.MalformedLines.push_back(lineNo);
                    continue;
                }
                Affix affix;
                affix.Strip = AffixText(rule[2]);
                affix.Add = AffixText(rule[3]);
                try {
                    affix.Condition = ParseCondition(Utf8ToCodePoints(rule[4]));
                } catch (const EDictionaryError& e) {
                    throw fail(e.Message());
                }
                group.Rules.push_back(std::move(affix));
            }
        }
        // Every other directive (TRY, REP, KEY, compounding, ...) does not
        // change the forms of a word.
    }
    return rules;
}

AffixRules AffixRules::LoadFromFile(rtl::StringView FileName) { return Parse(ReadFileBytes(FileName), FileName); }

const std::vector<std::size_t>& AffixRules::MalformedRuleLines() const { return FImpl->MalformedLines; }

std::vector<AffixFlag> AffixRules::ParseFlags(rtl::StringView Text) const {
    return FImpl->ParseFlags(ToCodePoints(Text));
}

std::vector<rtl::String> AffixRules::Expand(rtl::StringView Word, const std::vector<AffixFlag>& Flags) const {
    const Impl& impl = *FImpl;
    const std::u32string root = ToCodePoints(Word);
    std::vector<std::u32string> forms{root};
    auto add = [&forms](std::u32string form) {
        if (std::find(forms.begin(), forms.end(), form) == forms.end()) forms.push_back(std::move(form));
    };

    std::vector<std::u32string> crossable;
    for (const AffixFlag flag : Flags) {
        const auto it = impl.SuffixIndex.find(flag);
        if (it == impl.SuffixIndex.end()) continue;
        const AffixGroup& group = impl.Suffixes[it->second].second;
        for (const Affix& affix : group.Rules) {
            if (!impl.Applies(affix, root, false)) continue;
            std::u32string form = Impl::ApplySuffix(affix, root);
            if (group.CrossProduct) crossable.push_back(form);
            add(std::move(form));
        }
    }
    for (const AffixFlag flag : Flags) {
        const auto it = impl.PrefixIndex.find(flag);
        if (it == impl.PrefixIndex.end()) continue;
        const AffixGroup& group = impl.Prefixes[it->second].second;
        for (const Affix& affix : group.Rules) {
            if (impl.Applies(affix, root, true)) add(Impl::ApplyPrefix(affix, root));
            if (!group.CrossProduct) continue;
            for (const std::u32string& suffixed : crossable)
                if (impl.Applies(affix, suffixed, true)) add(Impl::ApplyPrefix(affix, suffixed));
        }
    }

    std::vector<rtl::String> out;
    out.reserve(forms.size());
    for (const auto& form : forms) out.push_back(FromCodePoints(form));
    return out;
}

std::vector<DictionaryWord> ParseDictionary(std::string_view Utf8Text, const AffixRules& Rules,
                                            rtl::StringView FileName) {
    const auto lines = SplitLines(Utf8Text);
    std::vector<DictionaryWord> words;
    words.reserve(lines.size());
    // The first line holds the (approximate) number of words.
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto fields = SplitFields(lines[i]);
        if (fields.empty()) continue;
        // "word/flags", where "\/" is a slash inside the word.
        const std::string_view entry = fields[0];
        std::string word;
        std::string_view flags;
        for (std::size_t k = 0; k < entry.size(); ++k) {
            if (entry[k] == '\\' && k + 1 < entry.size() && entry[k + 1] == '/') {
                word += '/';
                ++k;
            } else if (entry[k] == '/') {
                flags = entry.substr(k + 1);
                break;
            } else {
                word += entry[k];
            }
        }
        if (word.empty()) continue;
        DictionaryWord item;
        item.Word = rtl::Utf8ToString(word);
        try {
            item.Flags = Rules.ParseFlags(rtl::Utf8ToString(flags));
        } catch (const EDictionaryError& e) {
            throw EDictionaryError(rtl::Format(u"%s, line %d: %s", {FileName, i + 1, e.Message()}));
        }
        words.push_back(std::move(item));
    }
    return words;
}

std::vector<DictionaryWord> LoadDictionary(rtl::StringView FileName, const AffixRules& Rules) {
    return ParseDictionary(ReadFileBytes(FileName), Rules, FileName);
}

std::string ReadFileBytes(rtl::StringView FileName) {
    std::ifstream in;
    if (rtl::FileExists(FileName)) in.open(rtl::StringToUtf8(FileName), std::ios::binary);
    if (!in.is_open()) throw EDictionaryError(rtl::Format(u"Cannot open file \"%s\"", {FileName}));
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw EDictionaryError(rtl::Format(u"Cannot read file \"%s\"", {FileName}));
    return std::move(content).str();
}

}  // namespace tools
