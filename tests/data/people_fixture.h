#pragma once
// A people dataset (see MakePeople) behind a data source named "DataSource1",
// with a log of its open and scroll events, views attached on demand, and the
// reading of a view's rows through its row mapping.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/data_links.h"
#include "memory_dataset.h"
#include "recording_link.h"

namespace testing_data {

class PeopleWindow : public ::testing::Test {
protected:
    void Make(int RowCount, bool UniDirectional = false) {
        ds = MakePeople(RowCount, UniDirectional);
        src = std::make_unique<data::TDataSource>(nullptr);
        src->SetName(u"DataSource1");
        src->SetDataSet(ds.get());
        ds->BeforeScroll = [this](data::TDataSet&) { log.push_back("BeforeScroll"); };
        ds->AfterScroll = [this](data::TDataSet&) { log.push_back("AfterScroll"); };
        ds->AfterOpen = [this](data::TDataSet&) { log.push_back("AfterOpen"); };
    }
    // A visual link showing BufferCount rows, attached to the data source.
    std::unique_ptr<TRecordingLink> Link(int BufferCount, bool PassThrough = false) {
        auto link = std::make_unique<TRecordingLink>("", true, PassThrough);
        link->SetBufferCount(BufferCount);
        link->SetDataSource(src.get());
        return link;
    }
    int Id() { return ds->FieldByName(u"ID")->AsInteger(); }
    // The IDs a link's rows show; the link's active row is restored after.
    std::vector<int> Rows(data::TDataLink& Link) {
        std::vector<int> ids;
        int saved = Link.ActiveRecord();
        for (int r = 0; r < Link.RecordCount(); ++r) {
            Link.SetActiveRecord(r);
            ids.push_back(Id());
        }
        Link.SetActiveRecord(saved);
        return ids;
    }

    std::vector<std::string> log;
    std::unique_ptr<TMemoryDataSet> ds;
    std::unique_ptr<data::TDataSource> src;
};

}  // namespace testing_data
