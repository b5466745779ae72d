#include "rtl/string_list.h"

#include <gtest/gtest.h>

#include "rtl/exceptions.h"

using namespace rtl;

TEST(StringList, TextEndsEveryLineWithCrLf) {
    TStringList sql;
    EXPECT_EQ(sql.Text(), u"");
    sql.Add(u"select id from lx_items");
    sql.Add(u" where lx_word_upper  like '%А%'");
    sql.Add(u"limit 1000");
    EXPECT_EQ(sql.Text(), u"select id from lx_items\r\n where lx_word_upper  like '%А%'\r\nlimit 1000\r\n");
}

TEST(StringList, SetTextSplitsAtAnyLineBreak) {
    TStringList list;
    list.SetText(u"a\r\nb\nc\rd\r\n\r\ne");
    EXPECT_EQ(list.Lines(), (std::vector<String>{u"a", u"b", u"c", u"d", u"", u"e"}));
    list.SetText(u"x\r\n");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Text(), u"x\r\n");
}

TEST(StringList, NameValueAccessIgnoresCase) {
    TStringList params{u"DriverName=Sqlite", u"Database=/tmp/x=y.db", u"Flag"};
    EXPECT_EQ(params.Values(u"drivername"), u"Sqlite");
    EXPECT_EQ(params.Values(u"DATABASE"), u"/tmp/x=y.db");  // first "=" splits
    EXPECT_EQ(params.Values(u"Flag"), u"");                 // a line without "=" has no value
    EXPECT_EQ(params.Names(2), u"Flag");
    EXPECT_EQ(params.IndexOfName(u"missing"), -1);

    params.SetValue(u"FAILIFMISSING", u"False");
    EXPECT_EQ(params.Strings(3), u"FAILIFMISSING=False");
    params.SetValue(u"failifmissing", u"True");
    EXPECT_EQ(params.Strings(3), u"failifmissing=True");
    params.SetValue(u"DriverName", u"");  // an empty value removes the line
    EXPECT_EQ(params.Count(), 3);
    EXPECT_EQ(params.IndexOfName(u"DriverName"), -1);
}

TEST(StringList, ChangeEventsFireOncePerUpdate) {
    TStringList list;
    int changing = 0, changed = 0;
    list.OnChanging = [&](TStringList&) { ++changing; };
    list.OnChange = [&](TStringList&) { ++changed; };
    list.Add(u"a");
    list.Clear();
    EXPECT_EQ(changed, 2);
    list.BeginUpdate();
    list.Add(u"b");
    list.Add(u"c");
    list.EndUpdate();
    EXPECT_EQ(changing, 3);
    EXPECT_EQ(changed, 3);
    list.Clear();
    list.Clear();  // already empty: no change
    EXPECT_EQ(changed, 4);
}

TEST(StringList, IndexOutOfBoundsRaises) {
    TStringList list{u"only"};
    EXPECT_THROW(list.Strings(1), EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
    EXPECT_THROW(list.Insert(3, u"x"), EListError);
}
