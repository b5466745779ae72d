#pragma once
// A data link that writes every notification it receives into a log, for
// checking what a view would see.

#include <string>
#include <vector>

#include "data/data_links.h"

namespace testing_data {

class TRecordingLink : public data::TDataLink {
public:
    // Visual links are told after non-visual ones. With PassThrough the
    // base reactions run too (DataSetChanged -> RecordChanged, ...), as for
    // a view that overrides only RecordChanged.
    explicit TRecordingLink(std::string Tag = "", bool Visual = true, bool PassThrough = false,
                            std::vector<std::string>* Shared = nullptr)
        : FTag(std::move(Tag)), FPassThrough(PassThrough), FShared(Shared) {
        SetVisualControl(Visual);
    }

    std::vector<std::string> Log;
    // The data events by name, without deCheckBrowseMode.
    std::vector<std::string> Events;
    int Count(const std::string& Entry) const {
        int n = 0;
        for (const auto& e : Log) n += e == Entry;
        return n;
    }
    void Clear() {
        Log.clear();
        Events.clear();
    }
    using data::TDataLink::UpdateRecord;

protected:
    void ActiveChanged() override { Add("ActiveChanged"); }
    void DataEvent(data::TDataEvent Event, std::intptr_t Info) override {
        static const char* const names[] = {
            // clang-format off
            "deFieldChange",     "deRecordChange",   "deDataSetChange", "deDataSetScroll",   "deLayoutChange",
            "deUpdateRecord",    "deUpdateState",    "deCheckBrowseMode", "dePropertyChange", "deFieldListChange",
            "deFocusControl",    "deParentScroll",   "deConnectChange", "deReconcileError", "deDisabledStateChange"};
        // clang-format on
        std::string e = names[Event];
        if (Event == data::deDataSetScroll || Event == data::deDisabledStateChange)
            e += "(" + std::to_string(Info) + ")";
        if (Event != data::deCheckBrowseMode) Events.push_back(e);  // every move starts with one
        if (FShared) FShared->push_back(FTag + ":" + names[Event]);
        data::TDataLink::DataEvent(Event, Info);
    }
    void DataSetChanged() override {
        Add("DataSetChanged");
        if (FPassThrough) data::TDataLink::DataSetChanged();
    }
    void DataSetScrolled(int Distance) override {
        Add("DataSetScrolled(" + std::to_string(Distance) + ")");
        if (FPassThrough) data::TDataLink::DataSetScrolled(Distance);
    }
    void LayoutChanged() override {
        Add("LayoutChanged");
        if (FPassThrough) data::TDataLink::LayoutChanged();
    }
    void RecordChanged(data::TField* Field) override {
        Add(Field ? "RecordChanged(" + rtl::StringToUtf8(Field->FieldName()) + ")" : "RecordChanged");
    }
    void EditingChanged() override { Add("EditingChanged"); }
    void UpdateData() override { Add("UpdateData"); }

private:
    void Add(const std::string& Entry) { Log.push_back(Entry); }
    std::string FTag;
    bool FPassThrough;
    std::vector<std::string>* FShared;
};

}  // namespace testing_data
