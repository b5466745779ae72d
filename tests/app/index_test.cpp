// A dictionary with an index on its capitals, as the sample tool writes it,
// against the same dictionary without one: every search finds the same rows
// (in any order) and the same counts, and fails the same way.

#include <algorithm>
#include <set>

#include "app/dictionary_texts.h"
#include "dictionary_window.h"

using namespace app_test;

namespace {

struct Outcome {
    std::set<long long> Ids;
    std::string Count;  // panel 1
    std::vector<String> Boxes;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const Outcome& O) {
    Out << O.Ids.size() << " rows, \"" << O.Count << "\"";
    for (const String& box : O.Boxes) Out << ", box \"" << Utf8(box) << "\"";
    return Out;
}

class IndexedDictionaryTest : public DictionaryWindowTest {
protected:
    // Rows that test the edges of LIKE and = against an index: wildcards
    // and apostrophes in the words, Latin letters, NULL and empty capitals.
    void MakeAwkwardDictionary() {
        auto db = OpenDb();
        db->Exec(CreateTable);
        AddWords(*db, "кітап", "КІТАП", 1500);
        AddRows(*db,
                "('о''қу', 'т', 'с', 'О''ҚУ'), ('100%', 'т', 'с', '100%'), ('a_b', 'т', 'с', 'A_B'), "
                "('axb', 'т', 'с', 'AXB'), ('Abc', 'т', 'с', 'ABC'), ('abc', 'т', 'с', 'abc'), "
                "('бос', 'т', 'с', ''), ('жоқ', 'т', 'с', NULL), ('іні', 'т', 'с', 'ІНІ'), "
                "('кітап', 'т', 'с', 'КІТАП')");
    }

    Outcome Find(const String& Text, int Mode) {
        Outcome o;
        o.Boxes = Search(Text, Mode);
        o.Count = Panel(1);
        auto& rows = *Form->ClientDataSet1;
        if (!rows.Active()) return o;
        rows.DisableControls();  // the grid need not follow
        for (rows.First(); !rows.Eof(); rows.Next()) o.Ids.insert(rows.FieldByName(u"id")->AsLargeInt());
        rows.First();
        rows.EnableControls();
        return o;
    }

    std::vector<Outcome> EverySearch() {
        Start();
        EXPECT_EQ(StartBoxes, std::vector<String>{});
        std::vector<Outcome> out;
        for (const String& text : Texts)
            for (int mode = 0; mode < 3; ++mode) out.push_back(Find(text, mode));
        out.push_back(Outcome{{}, Panel(0), {}});
        Form.reset();
        return out;
    }

    const std::vector<String> Texts = {u"", u"кітап", u"КІТАП1", u"кітап15", u"%", u"_", u"100%",
                                       // clang-format off
                                       u"a_b",  u"a%",     u"abc",    u"о'қу",    u"і_і", u" ",   u"жоқ"};
};
// clang-format on

}  // namespace

TEST_F(IndexedDictionaryTest, FindsTheSameRowsAndCountsWithAndWithoutTheIndex) {
    MakeAwkwardDictionary();
    const std::vector<Outcome> plain = EverySearch();
    OpenDb()->Exec("create index lx_items_word_upper on lx_items (lx_word_upper)");
    const std::vector<Outcome> indexed = EverySearch();
    ASSERT_EQ(plain.size(), indexed.size());
    for (std::size_t i = 0; i + 1 < plain.size(); ++i) {
        SCOPED_TRACE("searching for \"" + Utf8(Texts[i / 3]) + "\" in mode " + std::to_string(i % 3));
        EXPECT_EQ(indexed[i], plain[i]);
    }
    EXPECT_EQ(indexed.back(), plain.back()) << "the total";
    // The cases reach what they are meant to: many rows, none, a failure.
    EXPECT_EQ(plain[1 * 3 + 1].Count, Utf8(app::MatchesFoundText(1501)));
    EXPECT_EQ(plain[6 * 3 + 2].Ids.size(), 1u);
    EXPECT_EQ(plain[10 * 3 + 2].Ids.size(), 1u) << "an apostrophe searched for as typed";
    EXPECT_EQ(plain.back().Count, Utf8(app::TotalWordsText(1510)));
}
