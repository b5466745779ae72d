#include <gtest/gtest.h>

#include "data/connection.h"
#include "data/data_links.h"
#include "data/number_fields.h"
#include "people_fixture.h"
#include "test_util.h"

using namespace data;
using namespace testing_data;

namespace {

class Window : public PeopleWindow {};

TEST_F(Window, WithoutViewsOneRecordIsBuffered) {
    Make(10);
    ds->Open();
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(ds->BufferCount(), 1);
    EXPECT_EQ(ds->WindowRecordCount(), 1);
    EXPECT_EQ(ds->Fetches, 1);
    EXPECT_TRUE(ds->Bof());
    EXPECT_FALSE(ds->Eof());
    EXPECT_EQ(log, (std::vector<std::string>{"AfterOpen", "AfterScroll"}));
    ds->Next();
    EXPECT_EQ(Id(), 2);
    EXPECT_FALSE(ds->Bof());
}

TEST_F(Window, GridLinkGrowsTheWindowAndFetchesAtOnce) {
    Make(10);
    ds->Open();
    auto grid = Link(5);
    EXPECT_EQ(ds->BufferCount(), 5);
    EXPECT_EQ(ds->WindowRecordCount(), 5);
    EXPECT_EQ(ds->Fetches, 5);  // the first record, then four more at once
    EXPECT_EQ(grid->ActiveRecord(), 0);
    EXPECT_EQ(grid->RecordCount(), 5);
    // Reading a row through the link's row mapping, then restoring it.
    grid->SetActiveRecord(3);
    EXPECT_EQ(Id(), 4);
    grid->SetActiveRecord(0);
    EXPECT_EQ(Id(), 1);
}

TEST_F(Window, OpeningAnEmptyResult) {
    Make(0);
    ds->Open();
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_TRUE(ds->Bof());
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->RecordCount(), 0);
    EXPECT_EQ(log, std::vector<std::string>{"AfterOpen"});
    EXPECT_EQ(DbErrorOf([&] { ds->Delete(); }), "MemData: Cannot perform this operation on an empty dataset");
}

TEST_F(Window, MovesThatCannotMoveOnlyCallBeforeScroll) {
    Make(3);
    ds->Open();
    auto grid = Link(3);
    log.clear();
    EXPECT_EQ(ds->MoveBy(0), 0);
    EXPECT_EQ(ds->MoveBy(-1), 0);  // already at BOF
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeScroll", "BeforeScroll"}));
    EXPECT_TRUE(grid->Events.empty());
}

TEST_F(Window, MovingPastTheEndStopsAtEof) {
    Make(4);
    ds->Open();
    EXPECT_EQ(ds->MoveBy(5), 3);
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(Id(), 4);
    EXPECT_EQ(ds->MoveBy(1), 0);
    EXPECT_EQ(ds->MoveBy(-10), -3);
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(Id(), 1);
}

TEST_F(Window, SlidingAFullWindowScrollsTheLink) {
    Make(30);
    ds->Open();
    auto grid = Link(10);
    grid->Clear();
    // Within the window: no slide.
    EXPECT_EQ(ds->MoveBy(9), 9);
    EXPECT_EQ(grid->Events, std::vector<std::string>{"deDataSetScroll(0)"});
    EXPECT_EQ(grid->Log, std::vector<std::string>{"DataSetScrolled(0)"});
    EXPECT_EQ(grid->ActiveRecord(), 9);
    // From the last row: the window slides by one, the link scrolls by one.
    grid->Clear();
    EXPECT_EQ(ds->MoveBy(1), 1);
    EXPECT_EQ(grid->Events, std::vector<std::string>{"deDataSetScroll(-1)"});
    EXPECT_EQ(grid->Log, std::vector<std::string>{"DataSetScrolled(1)"});
    EXPECT_EQ(grid->FirstRecord(), 0);
    EXPECT_EQ(grid->ActiveRecord(), 9);
    EXPECT_EQ(Id(), 11);
    grid->Clear();
    EXPECT_EQ(ds->MoveBy(3), 3);
    EXPECT_EQ(grid->Events, std::vector<std::string>{"deDataSetScroll(-3)"});
    EXPECT_EQ(grid->Log, std::vector<std::string>{"DataSetScrolled(3)"});
    EXPECT_EQ(Id(), 14);
    // Backward past the top of the window: positive slide, negative scroll.
    EXPECT_EQ(ds->MoveBy(-9), -9);
    grid->Clear();
    EXPECT_EQ(ds->MoveBy(-2), -2);
    EXPECT_EQ(grid->Events, std::vector<std::string>{"deDataSetScroll(2)"});
    EXPECT_EQ(grid->Log, std::vector<std::string>{"DataSetScrolled(-2)"});
    EXPECT_EQ(Id(), 3);
    // The rows the grid shows are consecutive records.
    for (int row = 0; row < 10; ++row) {
        grid->SetActiveRecord(row);
        EXPECT_EQ(Id(), 3 + row);
    }
}

TEST_F(Window, GrowingAWindowThatIsNotFullIsAChange) {
    Make(3);
    ds->Open();
    auto grid = Link(5);
    EXPECT_EQ(ds->WindowRecordCount(), 3);
    ds->MoveBy(2);
    // Rows arrive behind the cursor: the next move fetches into the free buffers.
    ds->Rows.push_back(ds->Rows[0]);
    ds->Rows.push_back(ds->Rows[1]);
    grid->Clear();
    EXPECT_EQ(ds->MoveBy(1), 1);
    EXPECT_EQ(grid->Events, std::vector<std::string>{"deDataSetChange"});
    EXPECT_EQ(ds->WindowRecordCount(), 4);
    EXPECT_EQ(Id(), 1);  // the copy of the first row
}

TEST_F(Window, FailedBufferAllocationReleasesWhatItTook) {
    Make(10);
    ds->Open();
    EXPECT_EQ(ds->BuffersHeld(), 2);  // one record and the spare
    ds->FailAllocAt = 4;
    TRecordingLink grid;
    grid.SetBufferCount(6);
    EXPECT_EQ(DbErrorOf([&] { grid.SetDataSource(src.get()); }), "MemData: out of buffers");
    EXPECT_EQ(ds->BuffersHeld(), 2);
    EXPECT_EQ(ds->BufferCount(), 1);
    EXPECT_EQ(Id(), 1);
    ds->FailAllocAt = -1;
    ds->UpdateBufferCount();
    EXPECT_EQ(ds->BufferCount(), 6);
    EXPECT_EQ(ds->BuffersHeld(), 7);
}

TEST_F(Window, WindowFillsAfterLastAndResyncKeepsTheActiveRow) {
    Make(20);
    ds->Open();
    auto grid = Link(5);
    ds->Last();
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(Id(), 20);
    EXPECT_EQ(grid->ActiveRecord(), 4);
    ds->MoveBy(-2);
    ds->UpdateCursorPos();
    ds->Resync({});
    EXPECT_EQ(Id(), 18);
    EXPECT_EQ(ds->ActiveRecord(), 2);
    ds->First();
    ds->MoveBy(10);
    ds->UpdateCursorPos();
    ds->Resync({rmCenter});
    EXPECT_EQ(Id(), 11);
    EXPECT_EQ(ds->ActiveRecord(), 2);  // the middle of five
    grid->SetActiveRecord(0);
    EXPECT_EQ(Id(), 9);
    grid->SetActiveRecord(2);
    // The row behind the cursor vanished: an exact resync cannot re-read it.
    ds->Rows.resize(5);
    EXPECT_EQ(DbErrorOf([&] { ds->Resync({rmExact}); }), "MemData: Record not found");
}

TEST_F(Window, BookmarkReturnsToTheRecordCentred) {
    Make(30);
    ds->Open();
    auto grid = Link(5);
    ds->MoveBy(11);
    TBookmark mark = ds->GetBookmark();
    ds->Last();
    grid->Clear();
    ds->GotoBookmark(mark);
    EXPECT_EQ(Id(), 12);
    EXPECT_EQ(grid->ActiveRecord(), 2);
    EXPECT_EQ(grid->Events, std::vector<std::string>{"deDataSetChange"});
    EXPECT_EQ(Rows(*grid), (std::vector<int>{10, 11, 12, 13, 14}));
}

TEST_F(Window, BookmarkValueFormsGoThroughTheBookmark) {
    Make(30);
    ds->Open();
    ds->MoveBy(6);
    TBookmark mark = ds->GetBookmarkStr();
    EXPECT_EQ(mark, ds->GetBookmark());
    ds->First();
    ds->SetBookmarkStr(mark);
    EXPECT_EQ(Id(), 7);
    ds->FreeBookmark(mark);
    EXPECT_TRUE(mark.empty());
    ds->SetBookmarkStr(mark);  // an empty bookmark goes nowhere
    EXPECT_EQ(Id(), 7);
}

TEST_F(Window, BidirectionalDatasetKeepsItsFilterSettings) {
    Make(3);
    ds->Open();
    ds->SetFilterText(u"ID > 1");
    ds->SetFilterOptions({foCaseInsensitive, foNoPartialCompare});
    ds->SetFiltered(true);
    EXPECT_EQ(U8(ds->FilterText()), "ID > 1");
    EXPECT_TRUE(ds->FilterOptions() == (TFilterOptions{foCaseInsensitive, foNoPartialCompare}));
    EXPECT_TRUE(ds->Filtered());
}

TEST_F(Window, UnidirectionalDatasetRefusesToMoveBack) {
    Make(5, true);
    ds->Open();
    EXPECT_EQ(DbErrorOf([&] { ds->Last(); }), "MemData: Operation not allowed on a unidirectional dataset");
    ds->Next();
    EXPECT_EQ(Id(), 2);
    const std::string msg = "MemData: Operation not allowed on a unidirectional dataset";
    EXPECT_EQ(DbErrorOf([&] { ds->Prior(); }), msg);
    EXPECT_EQ(DbErrorOf([&] { ds->MoveBy(-1); }), msg);
    EXPECT_EQ(DbErrorOf([&] { ds->Last(); }), msg);
    EXPECT_EQ(DbErrorOf([&] { ds->SetFiltered(true); }), msg);
    EXPECT_EQ(DbErrorOf([&] { ds->SetFilterText(u"ID > 1"); }), msg);
    EXPECT_EQ(DbErrorOf([&] { ds->SetFilterOptions({foCaseInsensitive}); }), msg);
    EXPECT_EQ(DbErrorOf([&] { ds->SetOnFilterRecord([](TDataSet&, bool&) {}); }), msg);
    EXPECT_TRUE(ds->FilterOptions().Empty());
    // First reopens it, which runs the statement again.
    EXPECT_EQ(ds->Opens, 1);
    ds->First();
    EXPECT_EQ(ds->Opens, 2);
    EXPECT_EQ(Id(), 1);
    ds->First();  // already at BOF: no reopen
    EXPECT_EQ(ds->Opens, 2);
    EXPECT_EQ(ds->MoveBy(10), 4);
    EXPECT_TRUE(ds->Eof());
}

TEST_F(Window, UnidirectionalDatasetKeepsOneRecordWhateverItsViewsShow) {
    Make(5, true);
    auto grid = Link(3);
    ds->Open();
    // Its fields read the cursor's row: fetching ahead for the view would
    // show the last row fetched instead of the first.
    EXPECT_EQ(Id(), 1);
    EXPECT_EQ(ds->Fetches, 1);
    EXPECT_EQ(ds->BufferCount(), 1);
    EXPECT_EQ(Rows(*grid), std::vector<int>{1});
    const std::string msg = "MemData: Operation not allowed on a unidirectional dataset";
    EXPECT_EQ(DbErrorOf([&] { ds->MoveBy(-1); }), msg);  // even at BOF
    ds->Next();
    EXPECT_EQ(Id(), 2);
    EXPECT_EQ(grid->ActiveRecord(), 0);  // the view's one row follows the cursor
    EXPECT_EQ(DbErrorOf([&] { ds->MoveBy(-1); }), msg);
    EXPECT_EQ(DbErrorOf([&] { ds->Prior(); }), msg);
    EXPECT_EQ(Id(), 2);
    // A view joining the open dataset does not make it fetch ahead either.
    auto wide = Link(4);
    EXPECT_EQ(Id(), 2);
    EXPECT_EQ(Rows(*wide), std::vector<int>{2});
    EXPECT_EQ(ds->MoveBy(2), 2);
    EXPECT_EQ(Id(), 4);
    EXPECT_EQ(grid->ActiveRecord(), 0);
    EXPECT_EQ(wide->ActiveRecord(), 0);
}

TEST_F(Window, MovesUnderDisableControlsArriveAsOneChange) {
    Make(50);
    ds->Open();
    auto grid = Link(10);
    grid->Clear();
    ds->DisableControls();
    for (int i = 0; i < 20; ++i) ds->Next();
    EXPECT_TRUE(ds->ControlsDisabled());
    ds->EnableControls();
    EXPECT_EQ(grid->Events, std::vector<std::string>{"deDataSetChange"});
    EXPECT_EQ(Id(), 21);
    EXPECT_EQ(grid->ActiveRecord(), 9);
    // A layout change made meanwhile replaces the closing event; nesting counts.
    grid->Clear();
    ds->DisableControls();
    ds->DisableControls();
    ds->Next();
    ds->DataEvent(deLayoutChange, 0);
    ds->EnableControls();
    EXPECT_TRUE(grid->Events.empty());
    ds->EnableControls();
    ds->EnableControls();  // unbalanced: ignored
    EXPECT_EQ(grid->Events, std::vector<std::string>{"deLayoutChange"});
}

TEST_F(Window, CloseAndReopenWhileControlsAreDisabled) {
    Make(5);
    ds->Open();
    TFieldDataLink memo;
    memo.SetFieldName(u"Name");
    memo.SetDataSource(src.get());
    TField* before = memo.Field();
    ASSERT_NE(before, nullptr);
    ds->DisableControls();
    ds->Close();  // the link drops its field before the fields go
    EXPECT_EQ(memo.Field(), nullptr);
    ds->Open();  // and looks the new one up
    EXPECT_EQ(memo.Field(), ds->FieldByName(u"Name"));
    ds->EnableControls();
    EXPECT_TRUE(memo.Active());
}

TEST_F(Window, FailedFetchStillEndsTheMoveWithAnEvent) {
    Make(10);
    ds->Open();
    auto grid = Link(3);
    ds->FailAtRow = 4;
    grid->Clear();
    log.clear();
    EXPECT_EQ(DbErrorOf([&] { ds->MoveBy(6); }), "MemData: fetch failed");
    EXPECT_EQ(grid->Events, std::vector<std::string>{"deDataSetScroll(-1)"});
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeScroll", "AfterScroll"}));
    EXPECT_EQ(Id(), 4);
}

TEST_F(Window, FailedOpenLeavesTheDatasetClosed) {
    Make(3);
    ds->FailOpen = true;
    auto grid = Link(4);
    EXPECT_EQ(DbErrorOf([&] { ds->Open(); }), "MemData: cannot open");
    EXPECT_EQ(ds->State(), dsInactive);
    EXPECT_FALSE(grid->Active());
    EXPECT_EQ(ds->BufferCount(), 0);
    EXPECT_TRUE(log.empty());
    ds->FailOpen = false;
    ds->Open();
    EXPECT_EQ(ds->BufferCount(), 4);
    EXPECT_TRUE(grid->Active());
}

TEST_F(Window, FieldByNameAndClosedDatasetErrors) {
    Make(2);
    EXPECT_EQ(DbErrorOf([&] { ds->Next(); }), "MemData: Cannot perform this operation on a closed dataset");
    ds->Open();
    EXPECT_EQ(ds->FieldByName(u"nAmE"), ds->FieldByName(u"Name"));
    EXPECT_EQ(ds->FieldByNumber(3), ds->FieldByName(u"big"));
    EXPECT_EQ(DbErrorOf([&] { ds->FieldByName(u"Nope"); }), "MemData: Field 'Nope' not found");
}

TEST_F(Window, StreamedActiveOpensWhenLoadingCompletes) {
    Make(2);
    ds->BeginLoading();
    ds->Open();
    EXPECT_FALSE(ds->Active());
    ds->EndLoading();
    EXPECT_TRUE(ds->Active());
}

// A close while the owner is read from the form is not put off: an open
// dataset closes at once, and an open noted before it is dropped.
TEST_F(Window, CloseWhileLoadingClosesAtOnce) {
    Make(2);
    ds->Open();
    ds->BeginLoading();
    ds->Close();
    EXPECT_FALSE(ds->Active());
    ds->Open();
    ds->Close();
    ds->EndLoading();
    EXPECT_FALSE(ds->Active());
}

TEST_F(Window, BlockReadTellsOnlyNonVisualLinks) {
    Make(10);
    ds->Open();
    auto grid = Link(1);
    TRecordingLink provider("", false);
    provider.SetDataSource(src.get());
    ds->SetBlockReadSize(5);
    EXPECT_EQ(ds->State(), dsBlockRead);
    grid->Clear();
    provider.Clear();
    ds->Next();
    EXPECT_TRUE(grid->Events.empty());
    EXPECT_EQ(provider.Events, std::vector<std::string>{"deDataSetScroll(-1)"});
    ds->SetBlockReadSize(0);
    EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(Window, EditingRunsItsEventsInOrder) {
    Make(3);
    ds->Open();
    auto grid = Link(3);
    std::vector<std::string> events;
    for (auto [slot, name] : {std::pair{&ds->BeforeEdit, "BeforeEdit"},
                              {&ds->AfterEdit, "AfterEdit"},
                              {&ds->BeforePost, "BeforePost"},
                              {&ds->AfterPost, "AfterPost"},
                              {&ds->BeforeCancel, "BeforeCancel"},
                              {&ds->AfterCancel, "AfterCancel"}})
        *slot = [&events, name = std::string(name)](TDataSet& d) {
            events.push_back(name + "@" + std::to_string(d.State()));
        };
    grid->Clear();
    ds->Edit();
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_EQ(grid->Events, (std::vector<std::string>{"deUpdateState", "deRecordChange"}));
    // A validation handler sees the pending value, not the stored one.
    std::string pending;
    ds->FieldByName(u"Name")->OnValidate = [&](TField& f) { pending = U8(f.AsString()); };
    ds->FieldByName(u"Name")->SetAsString(u"Changed");
    EXPECT_EQ(pending, "Changed");
    EXPECT_TRUE(ds->Modified());
    ds->Post();
    EXPECT_EQ(U8(ds->FieldByName(u"Name")->AsString()), "Changed");
    EXPECT_EQ(U8(ds->Rows[0][1].AsString()), "Changed");
    // Closing while editing cancels first.
    ds->Edit();
    ds->Close();
    EXPECT_EQ(events, (std::vector<std::string>{"BeforeEdit@1", "AfterEdit@2", "BeforePost@2", "AfterPost@1",
                                                "BeforeEdit@1", "AfterEdit@2", "BeforeCancel@2", "AfterCancel@1"}));
    EXPECT_EQ(DbErrorOf([&] { ds->UpdateRecord(); }), "MemData: Dataset not in edit or insert mode");
    ds->ReadOnlyData = true;
    ds->Open();
    EXPECT_EQ(DbErrorOf([&] { ds->Edit(); }), "MemData: Cannot modify a read-only dataset");
}

// A dataset with a calculated field recalculates it in dsCalcFields when an
// edit begins and after each data field change; the change stays marked as
// modified, so leaving the record posts it rather than cancelling it.
TEST_F(Window, CalculatedFieldsRecalculateWithoutLosingTheChange) {
    Make(2);
    auto* twice = new TIntegerField(ds.get());
    twice->SetFieldName(u"Twice");
    twice->SetFieldKind(fkCalculated);
    twice->SetDataSet(ds.get());
    ds->FieldOptions().AutoCreateMode = acCombineComputed;  // the data fields are still made
    std::vector<TDataSetState> calcStates;
    ds->OnCalcFields = [&](TDataSet& d) { calcStates.push_back(d.State()); };
    ds->Open();
    ds->Edit();
    EXPECT_EQ(calcStates, std::vector<TDataSetState>{dsCalcFields});
    ds->FieldByName(u"Name")->SetAsString(u"Changed");
    EXPECT_EQ(calcStates.size(), 2u);
    EXPECT_TRUE(ds->Modified());
    ds->Next();
    EXPECT_EQ(U8(ds->Rows[0][1].AsString()), "Changed");
}

TEST_F(Window, AppendAndDelete) {
    Make(2);
    ds->Open();
    ds->Append();
    EXPECT_EQ(ds->State(), dsInsert);
    ds->FieldByName(u"ID")->SetAsInteger(99);
    ds->Post();
    ASSERT_EQ(ds->Rows.size(), 3u);
    EXPECT_EQ(ds->Rows[2][0].AsInteger(), 99);
    ds->First();
    ds->Delete();
    ASSERT_EQ(ds->Rows.size(), 2u);
    EXPECT_EQ(Id(), 2);
}

// A connection that only records what its base class asks of it.
class TTestConnection : public TCustomConnection {
public:
    using TCustomConnection::TCustomConnection;
    ~TTestConnection() override {
        Destroying();
        Close();
    }
    std::vector<std::string>* Log = nullptr;

protected:
    void DoConnect() override {
        Log->push_back("DoConnect");
        FConnected = true;
    }
    void DoDisconnect() override {
        Log->push_back("DoDisconnect");
        FConnected = false;
    }
    bool GetConnected() override { return FConnected; }

private:
    bool FConnected = false;
};

namespace {
struct TCountingLookupList : TLookupList {};
std::unique_ptr<TLookupList> NewCountingLookupList() { return std::make_unique<TCountingLookupList>(); }

// Binds every field named "Key" to the definition "ID", and gives its lookup
// fields lists of its own class.
struct THookedDataSet : TMemoryDataSet {
    THookedDataSet() : TMemoryDataSet(nullptr, {{u"ID", ftInteger}}) { Rows = {{rtl::Variant(std::int32_t{5})}}; }
    rtl::String GetFieldFullName(const TField* Field) override {
        return rtl::SameText(Field->FieldName(), u"Key") ? rtl::String(u"ID") : TMemoryDataSet::GetFieldFullName(Field);
    }
    TLookupListClass GetLookupListClass(const TField*) override { return &NewCountingLookupList; }
};

// A dataset that can be put in the key-entry state, and counts its posts.
struct TKeyedDataSet : TMemoryDataSet {
    TKeyedDataSet() : TMemoryDataSet(nullptr, {{u"ID", ftInteger}}) { Rows = {{rtl::Variant(std::int32_t{5})}}; }
    void EnterKeyEntry() { SetState(dsSetKey); }
    void InternalPost() override { ++Posts; }
    int Posts = 0;
};
}  // namespace

// Key entry is an edit mode: leaving it for browsing posts it, as it does
// an edit.
TEST(DataSetStates, KeyEntryIsPostedOnTheWayBackToBrowsing) {
    TKeyedDataSet ds;
    ds.Open();
    ds.EnterKeyEntry();
    ds.CheckBrowseMode();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.Posts, 1);
}

// The dataset decides the name a field binds by and its lookup list class.
TEST(DataSetHooks, FullNameAndLookupListClassComeFromTheDataset) {
    THookedDataSet ds;
    auto* key = new TIntegerField(nullptr);
    key->SetFieldName(u"Key");
    key->SetDataSet(&ds);
    auto* look = new TIntegerField(nullptr);
    look->SetFieldName(u"Look");
    look->SetFieldKind(fkLookup);
    look->SetDataSet(&ds);
    ds.Open();
    EXPECT_EQ(key->AsInteger(), 5);
    EXPECT_EQ(key->FieldNo(), 1);
    ASSERT_NE(look->LookupList(), nullptr);
    EXPECT_NE(dynamic_cast<TCountingLookupList*>(look->LookupList()), nullptr);
    // The base binds by the field's own name.
    TMemoryDataSet plain(nullptr, {{u"ID", ftInteger}});
    auto* other = new TIntegerField(nullptr);
    other->SetFieldName(u"Key");
    other->SetDataSet(&plain);
    EXPECT_EQ(DbErrorOf([&] { plain.Open(); }), "Field 'Key' not found");
}

TEST(DataSetHooks, UpdateExceptionCarriesTheFailuresMessage) {
    TMemoryDataSet ds(nullptr, {});
    std::unique_ptr<EDatabaseError> error = ds.PSGetUpdateException(rtl::Exception(u"key violation"), nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(U8(error->Message()), "key violation");
}

TEST(Connection, TellsClientsInRegistrationOrder) {
    std::vector<std::string> log;
    rtl::TComponent other(nullptr);
    auto owned = std::make_unique<TTestConnection>(nullptr);
    TTestConnection& conn = *owned;
    conn.Log = &log;
    conn.BeforeConnect = [&](TCustomConnection&) { log.push_back("BeforeConnect"); };
    conn.AfterConnect = [&](TCustomConnection&) { log.push_back("AfterConnect"); };
    conn.BeforeDisconnect = [&](TCustomConnection&) { log.push_back("BeforeDisconnect"); };
    conn.AfterDisconnect = [&](TCustomConnection&) { log.push_back("AfterDisconnect"); };
    auto ds = MakePeople(1);
    TDataSource src(nullptr);
    src.SetDataSet(ds.get());
    ds->Open();
    TRecordingLink link("", false);
    link.SetDataSource(&src);
    conn.RegisterClient(ds.get(), [&](TCustomConnection&, bool on) { log.push_back(on ? "ds:on" : "ds:off"); });
    conn.RegisterClient(&other, [&](TCustomConnection&, bool on) { log.push_back(on ? "other:on" : "other:off"); });
    EXPECT_EQ(conn.DataSetCount(), 1);
    EXPECT_EQ(conn.DataSets(0), ds.get());
    conn.Open();
    conn.Open();  // no change, nothing happens
    conn.Close();
    EXPECT_EQ(log,
              (std::vector<std::string>{"BeforeConnect", "DoConnect", "ds:on", "other:on", "AfterConnect",
                                        "BeforeDisconnect", "ds:off", "other:off", "DoDisconnect", "AfterDisconnect"}));
    EXPECT_EQ(link.Events, (std::vector<std::string>{"deConnectChange", "deConnectChange"}));
    conn.UnRegisterClient(ds.get());
    EXPECT_EQ(conn.DataSetCount(), 0);
    // A client that goes away is forgotten; destroying a connected
    // connection disconnects it without its Before/After events.
    conn.RegisterClient(ds.get(), [&](TCustomConnection&, bool on) { log.push_back(on ? "ds:on" : "ds:off"); });
    conn.Open();
    ds.reset();
    EXPECT_EQ(conn.DataSetCount(), 0);
    log.clear();
    owned.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"other:off", "DoDisconnect"}));
}

TEST(Connection, ClientFreedByAnotherClientsHandlerIsNotToldAnyMore) {
    std::vector<std::string> log;
    TTestConnection conn(nullptr);
    conn.Log = &log;
    auto doomed = MakePeople(1);
    doomed->Open();
    rtl::TComponent first(nullptr), last(nullptr);
    conn.RegisterClient(&first, [&](TCustomConnection&, bool) {
        log.push_back("first");
        doomed.reset();
    });
    conn.RegisterClient(doomed.get(), [&](TCustomConnection&, bool) { log.push_back("doomed"); });
    conn.RegisterClient(&last, [&](TCustomConnection&, bool on) { log.push_back(on ? "last:on" : "last:off"); });
    conn.Open();
    EXPECT_EQ(log, (std::vector<std::string>{"DoConnect", "first", "last:on"}));
    EXPECT_EQ(conn.DataSetCount(), 0);
    log.clear();
    conn.Close();
    EXPECT_EQ(log, (std::vector<std::string>{"first", "last:off", "DoDisconnect"}));
}

TEST(Connection, ConnectedReadFromTheFormConnectsWhenLoadingCompletes) {
    std::vector<std::string> log;
    TTestConnection conn(nullptr);
    conn.Log = &log;
    conn.BeginLoading();
    conn.Open();
    EXPECT_FALSE(conn.Connected());
    conn.EndLoading();
    EXPECT_TRUE(conn.Connected());
    EXPECT_EQ(log, std::vector<std::string>{"DoConnect"});
}

// A disconnection while the owner is read from the form is made at once,
// and drops a connection noted before it.
TEST(Connection, DisconnectingWhileLoadingDisconnectsAtOnce) {
    std::vector<std::string> log;
    TTestConnection conn(nullptr);
    conn.Log = &log;
    conn.Open();
    conn.BeginLoading();
    conn.Close();
    EXPECT_FALSE(conn.Connected());
    conn.Open();
    conn.Close();
    conn.EndLoading();
    EXPECT_FALSE(conn.Connected());
    EXPECT_EQ(log, (std::vector<std::string>{"DoConnect", "DoDisconnect"}));
}

}  // namespace
