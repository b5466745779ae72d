#include <gtest/gtest.h>

#include <algorithm>

#include "data/data_links.h"
#include "people_fixture.h"
#include "test_util.h"

using namespace data;
using namespace testing_data;

namespace {

class Links : public PeopleWindow {
protected:
    void SetUp() override { Make(30); }
};

TEST_F(Links, NoDatasetOrDisabledSourceMeansInactiveLinks) {
    TDataSource lonely(nullptr);
    TRecordingLink link;
    link.SetDataSource(&lonely);
    EXPECT_EQ(lonely.State(), dsInactive);
    EXPECT_FALSE(link.Active());
    lonely.DataEvent(deDataSetChange, 0);
    EXPECT_TRUE(link.Events.empty());

    std::vector<std::string> calls;
    src->OnStateChange = [&](TDataSource& s) { calls.push_back("State" + std::to_string(s.State())); };
    src->OnDataChange = [&](TDataSource&, TField* f) { calls.push_back(f ? "Data(field)" : "Data"); };
    TRecordingLink grid;
    grid.SetDataSource(src.get());
    ds->Open();
    EXPECT_TRUE(grid.Active());
    EXPECT_EQ(calls, (std::vector<std::string>{"State1", "Data"}));
    calls.clear();
    src->SetEnabled(false);
    EXPECT_FALSE(grid.Active());
    EXPECT_TRUE(ds->Active());
    ds->Next();
    EXPECT_EQ(grid.Count("ActiveChanged"), 2);
    EXPECT_EQ(calls, std::vector<std::string>{"State0"});
    calls.clear();
    src->SetEnabled(true);
    EXPECT_TRUE(grid.Active());
    EXPECT_EQ(calls, (std::vector<std::string>{"State1", "Data"}));
}

TEST_F(Links, SecondViewGrowsAndShrinksTheWindow) {
    ds->Open();
    TRecordingLink small, big;
    small.SetBufferCount(3);
    small.SetDataSource(src.get());
    EXPECT_EQ(ds->BufferCount(), 3);
    ds->MoveBy(4);  // window 3..5, active 5
    EXPECT_EQ(Rows(small), (std::vector<int>{3, 4, 5}));
    big.SetBufferCount(8);
    big.SetDataSource(src.get());
    EXPECT_EQ(ds->BufferCount(), 8);
    EXPECT_EQ(ds->WindowRecordCount(), 8);
    EXPECT_EQ(Id(), 5);
    EXPECT_EQ(Rows(small), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(big.ActiveRecord() + big.FirstRecord(), ds->ActiveRecord());
    std::vector<int> bigRows = Rows(big);
    EXPECT_EQ(bigRows.size(), 8u);
    EXPECT_NE(std::find(bigRows.begin(), bigRows.end(), 5), bigRows.end());
    ds->MoveBy(6);  // to 11
    std::vector<int> before = Rows(small);
    big.SetDataSource(nullptr);
    EXPECT_EQ(ds->BufferCount(), 3);
    EXPECT_EQ(Id(), 11);
    EXPECT_EQ(Rows(small), before);  // the first view's rows stay in the window
    EXPECT_EQ(small.ActiveRecord(), 2);
    // Growing a link's own buffer count resizes at once.
    small.SetBufferCount(6);
    EXPECT_EQ(ds->BufferCount(), 6);
    EXPECT_EQ(Id(), 11);
    std::vector<int> grown = Rows(small);
    ASSERT_EQ(grown.size(), 6u);
    for (std::size_t i = 1; i < grown.size(); ++i) EXPECT_EQ(grown[i], grown[i - 1] + 1);
}

TEST_F(Links, ShrinkingAWindowThatIsNotFullKeepsOnlyRealRecords) {
    ds->Rows.resize(4);
    ds->Open();
    TRecordingLink big;
    big.SetBufferCount(8);
    big.SetDataSource(src.get());
    // A second view on a disabled source counts for the size but is inactive.
    TDataSource disabled(nullptr);
    disabled.SetEnabled(false);
    disabled.SetDataSet(ds.get());
    TRecordingLink small;
    small.SetBufferCount(2);
    small.SetDataSource(&disabled);
    ds->MoveBy(3);
    EXPECT_EQ(ds->WindowRecordCount(), 4);
    big.SetDataSource(nullptr);
    EXPECT_EQ(ds->BufferCount(), 2);
    // The active record stays; the free place is filled from before it, not
    // with the spare buffer.
    EXPECT_EQ(ds->WindowRecordCount(), 2);
    EXPECT_EQ(Id(), 4);
    disabled.SetEnabled(true);
    EXPECT_EQ(Rows(small), (std::vector<int>{3, 4}));
}

// Each of the link's rows shows a record of the window: consecutive IDs,
// one of them the active record.
void ExpectRowsInTheWindow(const char* Name, const std::vector<int>& Rows, int Count, int ActiveId) {
    SCOPED_TRACE(Name);
    ASSERT_EQ(Rows.size(), static_cast<std::size_t>(Count));
    for (std::size_t i = 1; i < Rows.size(); ++i) EXPECT_EQ(Rows[i], Rows[i - 1] + 1);
    EXPECT_NE(std::find(Rows.begin(), Rows.end(), ActiveId), Rows.end());
}

TEST_F(Links, ShrinkingOneViewKeepsTheOtherViewsRowsInTheWindow) {
    ds->Open();
    TRecordingLink big, other;
    big.SetBufferCount(15);
    big.SetDataSource(src.get());
    other.SetBufferCount(6);
    other.SetDataSource(src.get());
    ds->MoveBy(14);  // ID 15 on the last row of `other`
    ds->MoveBy(-5);  // ID 10 on its first row
    ASSERT_EQ(Rows(other), (std::vector<int>{10, 11, 12, 13, 14, 15}));
    // The window shrinks to the six records `other` needs, and `big`, now
    // showing four rows, shows the active record on its last one.
    big.SetBufferCount(4);
    EXPECT_EQ(ds->BufferCount(), 6);
    EXPECT_EQ(ds->WindowRecordCount(), 6);
    EXPECT_EQ(Id(), 10);
    ExpectRowsInTheWindow("big", Rows(big), 4, 10);
    ExpectRowsInTheWindow("other", Rows(other), 6, 10);
    EXPECT_LE(other.FirstRecord() + other.RecordCount(), ds->WindowRecordCount());
}

TEST_F(Links, ViewAttachedWhileTheWindowCannotGrowStillFollowsTheDataset) {
    ds->Open();
    ds->FailAllocAt = 4;  // a window of one record holds two buffers
    TRecordingLink grid;
    grid.SetBufferCount(6);
    EXPECT_EQ(DbErrorOf([&] { grid.SetDataSource(src.get()); }), "MemData: out of buffers");
    EXPECT_EQ(grid.DataSource(), src.get());
    EXPECT_TRUE(grid.Active());
    EXPECT_EQ(Rows(grid), std::vector<int>{1});
    grid.Clear();
    ds->Next();
    EXPECT_EQ(grid.Events, std::vector<std::string>{"deDataSetScroll(-1)"});
    EXPECT_EQ(grid.ActiveRecord(), 0);
    EXPECT_EQ(Rows(grid), std::vector<int>{2});
    // The same for a data source that joins the dataset with its views.
    TDataSource second(nullptr);
    TRecordingLink view;
    view.SetBufferCount(6);
    view.SetDataSource(&second);
    EXPECT_EQ(DbErrorOf([&] { second.SetDataSet(ds.get()); }), "MemData: out of buffers");
    EXPECT_EQ(second.DataSet(), ds.get());
    EXPECT_EQ(second.State(), dsBrowse);
    EXPECT_TRUE(view.Active());
    // Once buffers can be had, the next resize gives the views their rows.
    ds->FailAllocAt = -1;
    grid.SetBufferCount(7);
    EXPECT_EQ(ds->BufferCount(), 7);
    ExpectRowsInTheWindow("grid", Rows(grid), 7, 2);
    ExpectRowsInTheWindow("view", Rows(view), 6, 2);
}

TEST_F(Links, LinkJoiningAnOpenDatasetShowsTheActiveRecord) {
    ds->Open();
    TRecordingLink grid;
    grid.SetBufferCount(10);
    grid.SetDataSource(src.get());  // the window grows to 10 records: 1..10
    ds->MoveBy(8);
    TRecordingLink narrow;
    narrow.SetBufferCount(4);
    narrow.SetDataSource(src.get());
    // Lowest first record that still shows the active one (ID 9) on the last row.
    EXPECT_EQ(narrow.FirstRecord(), 5);
    EXPECT_EQ(narrow.ActiveRecord(), 3);
    EXPECT_EQ(Rows(narrow), (std::vector<int>{6, 7, 8, 9}));
}

TEST_F(Links, MemoSizedLinkHearsOfEveryMove) {
    ds->Open();
    TRecordingLink memo("", true, /*PassThrough=*/true);
    memo.SetDataSource(src.get());
    memo.Clear();
    ds->Next();
    ds->Next();
    ds->Prior();
    ds->Last();
    ds->First();
    EXPECT_EQ(memo.Count("RecordChanged"), 5);
    EXPECT_EQ(memo.RecordCount(), 1);
    EXPECT_EQ(memo.ActiveRecord(), 0);
}

TEST_F(Links, NonVisualLinksFirstEachGroupLastAttachedFirst) {
    std::vector<std::string> order;
    TRecordingLink a("A", true, false, &order), b("B", false, false, &order), c("C", true, false, &order),
        d("D", false, false, &order);
    for (TDataLink* l : {static_cast<TDataLink*>(&a), static_cast<TDataLink*>(&b), static_cast<TDataLink*>(&c),
                         static_cast<TDataLink*>(&d)})
        l->SetDataSource(src.get());
    ds->Open();
    order.clear();
    ds->Next();
    EXPECT_EQ(order, (std::vector<std::string>{"D:deCheckBrowseMode", "B:deCheckBrowseMode", "C:deCheckBrowseMode",
                                               "A:deCheckBrowseMode", "D:deDataSetScroll", "B:deDataSetScroll",
                                               "C:deDataSetScroll", "A:deDataSetScroll"}));
}

TEST_F(Links, AttachmentErrors) {
    TRecordingLink fixed;
    fixed.SetDataSource(src.get());
    fixed.SetDataSourceFixed(true);
    TDataSource other(nullptr);
    other.SetName(u"DataSource2");
    EXPECT_EQ(DbErrorOf([&] { fixed.SetDataSource(&other); }), "DataSource cannot be changed");
    EXPECT_EQ(DbErrorOf([&] { fixed.SetDataSource(nullptr); }), "DataSource cannot be changed");
    EXPECT_EQ(fixed.DataSource(), src.get());
    // A detail whose master source is this data source would close a loop.
    auto detail = MakePeople(1);
    detail->MasterSource = src.get();
    EXPECT_EQ(DbErrorOf([&] { src->SetDataSet(detail.get()); }), "DataSource1: Circular datalinks are not allowed");
    EXPECT_EQ(src->DataSet(), ds.get());
}

// A dataset whose master data source is set freely, so that a loop of
// masters can be built behind the circular check's back. A walk along the
// masters that does not end is stopped with an exception.
class TLoopingDetail : public TMemoryDataSet {
public:
    TLoopingDetail() : TMemoryDataSet(nullptr, {{u"ID", ftInteger}}) {}

protected:
    TDataSource* GetDataSource() override {
        if (++FWalks > 1000000) throw rtl::Exception(u"the walk along the masters does not end");
        return TMemoryDataSet::GetDataSource();
    }

private:
    int FWalks = 0;
};

TEST_F(Links, LoopOfMastersElsewhereEndsTheCircularCheck) {
    TDataSource xSource(nullptr), ySource(nullptr);
    TLoopingDetail x, y;
    xSource.SetDataSet(&x);
    ySource.SetDataSet(&y);
    // x follows y and y follows x: a loop that does not pass through src.
    x.MasterSource = &ySource;
    y.MasterSource = &xSource;
    EXPECT_EQ(DbErrorOf([&] { src->SetDataSet(&x); }), "<no error>");
    EXPECT_EQ(src->DataSet(), &x);
}

TEST_F(Links, FreeingEitherSideDetaches) {
    auto link = std::make_unique<TRecordingLink>();
    {
        TDataSource temp(nullptr);
        temp.SetDataSet(ds.get());
        link->SetDataSource(&temp);
        ds->Open();
        EXPECT_TRUE(link->Active());
    }
    EXPECT_EQ(link->DataSource(), nullptr);
    EXPECT_FALSE(link->Active());
    EXPECT_EQ(ds->DataSourceCount(), 1);  // only the fixture's source is left
    link->SetDataSource(src.get());
    ds.reset();
    EXPECT_EQ(src->DataSet(), nullptr);
    EXPECT_FALSE(link->Active());
}

// A control that can take the focus, as a windowed control would.
struct TFocusControl : rtl::TComponent, IDataControl {
    using rtl::TComponent::TComponent;
    bool CanFocus() const override { return true; }
    void SetFocus() override { ++Focused; }
    int Focused = 0;
};

TEST_F(Links, FieldDataLinkFollowsItsField) {
    TFocusControl memo(nullptr);
    memo.SetName(u"DBMemo1");
    TFieldDataLink link;
    link.SetControl(&memo);
    std::vector<std::string> shown;
    link.OnDataChange = [&](TFieldDataLink& l) { shown.push_back(l.Field() ? U8(l.Field()->AsString()) : "<none>"); };
    link.SetFieldName(u"Memo");
    link.SetDataSource(src.get());
    EXPECT_EQ(link.Field(), nullptr);
    ds->Open();
    EXPECT_EQ(link.Field(), ds->FieldByName(u"Memo"));
    ds->Next();
    ds->Next();
    EXPECT_EQ(shown, (std::vector<std::string>{"Memo text 1", "", "Memo text 3"}));
    // A new name while active: looked up and shown at once.
    shown.clear();
    link.SetFieldName(u"name");
    EXPECT_EQ(link.Field(), ds->FieldByName(u"Name"));
    EXPECT_EQ(shown, std::vector<std::string>{"Name3"});
    // Focus goes to the control of the bound field only.
    ds->FieldByName(u"ID")->FocusControl();
    EXPECT_EQ(memo.Focused, 0);
    ds->FieldByName(u"Name")->FocusControl();
    EXPECT_EQ(memo.Focused, 1);
    // Unknown names fail for the control, or for the dataset without one.
    EXPECT_EQ(DbErrorOf([&] { link.SetFieldName(u"Nope"); }), "DBMemo1: Field 'Nope' not found");
    TFieldDataLink bare;
    bare.SetDataSource(src.get());
    EXPECT_EQ(DbErrorOf([&] { bare.SetFieldName(u"Nope"); }), "MemData: Field 'Nope' not found");
    bare.SetFieldName(u"");
    // Closing leaves the link without a field, and the view is told.
    link.SetFieldName(u"ID");
    shown.clear();
    ds->Close();
    EXPECT_EQ(link.Field(), nullptr);
    EXPECT_EQ(shown, std::vector<std::string>{"<none>"});
}

TEST_F(Links, FailedFieldLookupLeavesTheDatasetOpenWithoutAfterOpen) {
    TFieldDataLink link;
    link.SetFieldName(u"Missing");
    link.SetDataSource(src.get());
    bool afterOpen = false;
    ds->AfterOpen = [&](TDataSet&) { afterOpen = true; };
    EXPECT_EQ(DbErrorOf([&] { ds->Open(); }), "MemData: Field 'Missing' not found");
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_FALSE(afterOpen);
    EXPECT_EQ(link.Field(), nullptr);
}

TEST_F(Links, FieldDataLinkEditingAndWritingBack) {
    TFieldDataLink link;
    link.SetFieldName(u"Name");
    link.SetDataSource(src.get());
    int updates = 0, dataChanges = 0, editingChanges = 0;
    link.OnUpdateData = [&](TFieldDataLink& l) {
        ++updates;
        l.Field()->SetAsString(u"Edited");
    };
    link.OnDataChange = [&](TFieldDataLink&) { ++dataChanges; };
    link.OnEditingChange = [&](TFieldDataLink&) { ++editingChanges; };
    ds->Open();
    dataChanges = 0;
    EXPECT_TRUE(link.Edit());  // AutoEdit puts the dataset into dsEdit
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_TRUE(link.Editing());
    EXPECT_EQ(editingChanges, 1);
    EXPECT_EQ(dataChanges, 1);  // deRecordChange redisplays the field
    dataChanges = 0;
    // Changes of other fields are not shown; the link's own writes are not echoed.
    ds->FieldByName(u"ID")->SetAsInteger(7);
    EXPECT_EQ(dataChanges, 0);
    link.SetModified();
    ds->Post();  // UpdateRecord asks the link to write back
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(U8(ds->Rows[0][1].AsString()), "Edited");
    EXPECT_FALSE(link.Modified());
    EXPECT_FALSE(link.Editing());
    // A read-only link neither edits nor writes.
    link.SetReadOnly(true);
    EXPECT_FALSE(link.CanModify());
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(ds->State(), dsBrowse);
}

}  // namespace
