#include "tools/affix_expander.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "exception_message.h"

using namespace tools;
using testing_support::MessageOf;
using Forms = std::vector<rtl::String>;

namespace {

// Each group exercises one part of the rules: A strips, adds and tests
// conditions (sets, negated sets); N is not crossable and carries a
// continuation flag; P and Q are prefixes with and without cross product;
// F has a two-position condition; D adds the same text twice; M holds a
// rule that lacks its add field.
constexpr std::string_view TinyAff =
    "\xEF\xBB\xBFSET UTF-8\r\n"
    "TRY абв\r\n"
    "# comment\r\n"
    "\r\n"
    "SFX A Y 4\r\n"
    "SFX A 0 лар [аоұыу]\r\n"
    "SFX A 0 лер [^аоұыу]\r\n"
    "SFX A у ды [аоұы]у\r\n"
    "SFX A ы ім ы\r\n"
    "SFX N N 1\r\n"
    "SFX N 0 ның/A .\r\n"
    "PFX P Y 2\r\n"
    "PFX P 0 қайта .\r\n"
    "PFX P қ Ж қ\r\n"
    "PFX Q N 1\r\n"
    "PFX Q 0 ең [бж]\r\n"
    "SFX F N 1\r\n"
    "SFX F 0 ыз [^у][бв]\r\n"
    "SFX D N 2\r\n"
    "SFX D 0 с .\r\n"
    "SFX D 0 с а\r\n"
    "SFX M N 2\r\n"
    "SFX M у [аы]ву\r\n"
    "SFX M 0 м .\r\n";

Forms Expand(const AffixRules& rules, rtl::StringView word, rtl::StringView flags) {
    return rules.Expand(word, rules.ParseFlags(flags));
}

}  // namespace

TEST(AffixExpander, AppliesStripAddConditionsAndCrossProducts) {
    const AffixRules rules = AffixRules::Parse(TinyAff, u"tiny.aff");
    struct Case {
        const char16_t* word;
        const char16_t* flags;
        Forms forms;
    } cases[] = {
        // clang-format off
        {u"бала", u"A", {u"бала", u"балалар"}},                      // set matches, negated set does not
        {u"көл", u"A", {u"көл", u"көллер"}},                         // negated set matches
        {u"жау", u"A", {u"жау", u"жаулар", u"жады"}},                // strip "у", two-position condition
        {u"оқу", u"A", {u"оқу", u"оқулар"}},                         // "қу" fails "[аоұы]у"
        {u"ы", u"A", {u"ы", u"ылар"}},                               // the strip may not take the whole word
        {u"бала", u"AP", {u"бала", u"балалар", u"қайтабала", u"қайтабалалар"}},  // cross product
        {u"бала", u"PA", {u"бала", u"балалар", u"қайтабала", u"қайтабалалар"}},  // flag order irrelevant
        {u"бала", u"AQ", {u"бала", u"балалар", u"еңбала"}},           // prefix without cross product
        {u"бала", u"NP", {u"бала", u"баланың", u"қайтабала"}},        // suffix without cross product
        {u"қыз", u"P", {u"қыз", u"қайтақыз", u"Жыз"}},               // prefix strip and condition
        {u"таб", u"F", {u"таб", u"табыз"}},
        {u"уб", u"F", {u"уб"}},                                      // negated first position
        {u"б", u"F", {u"б"}},                                        // word shorter than the condition
        {u"бала", u"D", {u"бала", u"балас"}},                        // same form once
        {u"бала", u"Z", {u"бала"}},                                  // flag with no group
        {u"бала", u"ZA", {u"бала", u"балалар"}},
        {u"бала", u"", {u"бала"}},
        {u"ата", u"M", {u"ата", u"атам"}},                           // malformed rule left out
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(rtl::StringToUtf8(rtl::String(c.word) + u"/" + c.flags));
        EXPECT_EQ(Expand(rules, c.word, c.flags), c.forms);
    }
    EXPECT_EQ(rules.MalformedRuleLines(), std::vector<std::size_t>{23});
}

TEST(AffixExpander, FullStripLetsTheStripTakeTheWholeWord) {
    const std::string aff = std::string(TinyAff) + "FULLSTRIP\n";
    const AffixRules rules = AffixRules::Parse(aff);
    EXPECT_EQ(Expand(rules, u"ы", u"A"), (Forms{u"ы", u"ылар", u"ім"}));
}

TEST(AffixExpander, ReadsLongAndNumericFlags) {
    const AffixRules longFlags =
        AffixRules::Parse("FLAG long\nSFX Aa Y 1\nSFX Aa 0 лар .\nSFX Ab Y 1\nSFX Ab 0 ға .\n");
    EXPECT_EQ(longFlags.ParseFlags(u"AaAb").size(), 2u);
    EXPECT_EQ(Expand(longFlags, u"бала", u"Ab"), (Forms{u"бала", u"балаға"}));
    EXPECT_EQ(Expand(longFlags, u"бала", u"AbAa"), (Forms{u"бала", u"балаға", u"балалар"}));
    EXPECT_THROW(longFlags.ParseFlags(u"AaA"), EDictionaryError);

    const AffixRules numFlags = AffixRules::Parse("FLAG num\nSFX 12 Y 1\nSFX 12 0 лар .\n");
    EXPECT_EQ(Expand(numFlags, u"бала", u"3,12"), (Forms{u"бала", u"балалар"}));
    EXPECT_EQ(Expand(numFlags, u"бала", u"1"), (Forms{u"бала"}));
    EXPECT_THROW(numFlags.ParseFlags(u"12,x"), EDictionaryError);
    EXPECT_THROW(numFlags.ParseFlags(u"70000"), EDictionaryError);
}

TEST(AffixExpander, RejectsMalformedOrUnsupportedAffixFiles) {
    struct Case {
        std::string_view text;
        const char16_t* where;
    } cases[] = {
        {"SET KOI8-R\n", u"x.aff, line 1:"},
        {"SET UTF-8\nSFX A Y 2\nSFX A 0 x .\n", u"x.aff, line 4:"},  // fewer rules than the count
        {"SFX A Y 1\nSFX B 0 x .\n", u"x.aff, line 2:"},             // rule of another group
        {"SFX A Y 1\nPFX A 0 x .\n", u"x.aff, line 2:"},
        {"SFX A Y 1\nSFX A 0 x [аб\n", u"x.aff, line 2:"},  // unterminated set
        {"SFX A Y 1\nSFX A 0 x а]\n", u"x.aff, line 2:"},
        {"SFX A X 1\n", u"x.aff, line 1:"},  // cross product not Y/N
        {"SFX A Y many\n", u"x.aff, line 1:"},
        {"SFX AB Y 1\nSFX AB 0 x .\n", u"x.aff, line 1:"},  // two flags where one belongs
        {"AF 2\nAF AB\nAF C\n", u"x.aff, line 1:"},
        {"FLAG weird\n", u"x.aff, line 1:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        const rtl::String message = MessageOf([&] { AffixRules::Parse(c.text, u"x.aff"); });
        EXPECT_TRUE(message.starts_with(c.where)) << rtl::StringToUtf8(message);
    }
}

TEST(AffixExpander, LoadsWordListsFromFiles) {
    const auto dir = std::filesystem::temp_directory_path() / ("affix_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream(dir / "t.aff", std::ios::binary) << TinyAff;
        std::ofstream(dir / "t.dic", std::ios::binary)
            << "\xEF\xBB\xBF"
               "5\r\nбала/AP\r\nжәне\r\n\r\nжау/A po:noun\r\na\\/b/A\r\nсу/Z,";
    }
    const rtl::String base = rtl::Utf8ToString(dir.string()) + u"/";
    const AffixRules rules = AffixRules::LoadFromFile(base + u"t.aff");
    const auto words = LoadDictionary(base + u"t.dic", rules);

    ASSERT_EQ(words.size(), 5u);
    EXPECT_EQ(words[0].Word, u"бала");
    EXPECT_EQ(words[0].Flags, rules.ParseFlags(u"AP"));
    EXPECT_EQ(words[1].Word, u"және");
    EXPECT_TRUE(words[1].Flags.empty());
    EXPECT_EQ(words[2].Word, u"жау");  // morphological fields dropped
    EXPECT_EQ(words[3].Word, u"a/b");  // escaped slash
    EXPECT_EQ(words[4].Word, u"су");
    EXPECT_EQ(words[4].Flags.size(), 2u);
    EXPECT_EQ(rules.Expand(words[2].Word, words[2].Flags), (Forms{u"жау", u"жаулар", u"жады"}));

    EXPECT_THROW(AffixRules::LoadFromFile(base + u"missing.aff"), EDictionaryError);
    EXPECT_THROW(LoadDictionary(base + u"missing.dic", rules), EDictionaryError);
    EXPECT_THROW(LoadDictionary(base, rules), EDictionaryError);  // a folder
    std::filesystem::remove_all(dir);
}
