#pragma once
// Data sources and data links: the path between a dataset and the views that
// follow it. A dataset broadcasts data events to its data sources, each data
// source forwards them to its links, and each link turns them into the
// notifications its view overrides; a link also tells the dataset how many
// records its view shows and maps the view's rows onto the dataset's window.

#include <cstdint>
#include <functional>
#include <vector>

#include "data/dataset.h"

namespace data {

class TDataLink;

using TDataChangeEvent = std::function<void(TDataSource& Sender, TField* Field)>;
using TDataSourceNotifyEvent = std::function<void(TDataSource& Sender)>;

class TDataSource : public rtl::TComponent {
public:
    explicit TDataSource(rtl::TComponent* AOwner);
    // Detaches from the dataset (the links see it become inactive), then
    // detaches every link, last attached first.
    ~TDataSource() override;

    TDataSet* DataSet() const { return FDataSet; }
    // Fails with "Circular datalinks are not allowed" when the new dataset
    // leads back to this data source.
    void SetDataSet(TDataSet* Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    bool AutoEdit() const { return FAutoEdit; }
    void SetAutoEdit(bool Value) { FAutoEdit = Value; }
    // The dataset's state while enabled and attached, else dsInactive.
    TDataSetState State() const { return FState; }
    // Puts the dataset into dsEdit when AutoEdit is set and it is browsing.
    void Edit();
    bool IsLinkedTo(TDataSet* DataSet) const;
    // Called by the dataset.
    void DataEvent(TDataEvent Event, std::intptr_t Info);

    int DataLinkCount() const { return static_cast<int>(FDataLinks.size()); }
    TDataLink* DataLinks(int Index) const { return FDataLinks.at(Index); }

    TDataSourceNotifyEvent OnStateChange;
    TDataChangeEvent OnDataChange;
    TDataSourceNotifyEvent OnUpdateData;

private:
    friend class TDataSet;
    friend class TDataLink;
    void UpdateState();
    void AddDataLink(TDataLink* DataLink);
    void RemoveDataLink(TDataLink* DataLink);
    // Non-visual links first, then visual ones; each group last attached first.
    void NotifyDataLinks(TDataEvent Event, std::intptr_t Info);

    TDataSet* FDataSet = nullptr;
    std::vector<TDataLink*> FDataLinks;
    bool FEnabled = true;
    bool FAutoEdit = true;
    TDataSetState FState = dsInactive;
};

// A view's connection to a data source; owned by the view, detached when
// freed. Views override the virtual notifications.
class TDataLink {
public:
    TDataLink();
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return FDataSource; }
    // Fails with "DataSource cannot be changed" when the view fixes it.
    void SetDataSource(TDataSource* Value);
    TDataSet* DataSet() const;
    bool Active() const { return FActive; }
    bool Editing() const { return FEditing; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    int BufferCount() const { return FBufferCount; }
    void SetBufferCount(int Value) { SetBufferCountValue(Value); }
    // The view's row of the dataset's active record, and the raw change of it
    // (no event, no fetch: set it back after reading a row).
    int ActiveRecord() const { return GetActiveRecord(); }
    void SetActiveRecord(int Value) { SetActiveRecordValue(Value); }
    // How many of the view's rows hold records.
    int RecordCount() const { return GetRecordCount(); }
    int FirstRecord() const { return FFirstRecord; }
    bool Bof() const { return GetBOF(); }
    bool Eof() const { return GetEOF(); }
    virtual int MoveBy(int Distance);
    // Asks the data source to edit unless read-only; gives Editing.
    bool Edit();
    // Writes the view's data back (UpdateData with the updating flag set).
    void UpdateRecord();
    bool DataSourceFixed() const { return FDataSourceFixed; }
    void SetDataSourceFixed(bool Value) { FDataSourceFixed = Value; }
    bool VisualControl() const { return FVisualControl; }
    void SetVisualControl(bool Value) { FVisualControl = Value; }

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataEvent(TDataEvent Event, std::intptr_t Info);
    virtual void DataSetChanged();
    virtual void DataSetScrolled(int Distance);
    virtual void EditingChanged() {}
    // Info points at a TField* that the link taking the focus clears.
    virtual void FocusControl(TField** FieldRef);
    virtual int GetActiveRecord() const;
    virtual bool GetBOF() const;
    virtual int GetBufferCount() const { return FBufferCount; }
    virtual bool GetEOF() const;
    virtual int GetRecordCount() const;
    virtual void LayoutChanged();
    virtual void RecordChanged(TField* Field);
    virtual void SetActiveRecordValue(int Value);
    virtual void SetBufferCountValue(int Value);
    virtual void UpdateData() {}
    bool Updating() const { return FUpdating; }

private:
    friend class TDataSource;
    friend class TDataSet;
    void UpdateState();
    void SetActive(bool Value);
    void SetEditing(bool Value);
    void UpdateRange();

    TDataSource* FDataSource = nullptr;
    TDataLink* FNext = nullptr;
    int FBufferCount = 1;
    int FFirstRecord = 0;
    bool FReadOnly = false;
    bool FActive = false;
    bool FVisualControl = false;
    bool FEditing = false;
    bool FUpdating = false;
    bool FDataSourceFixed = false;
};

// What a field data link needs of its control beyond the component: whether
// it can take the focus, taking it, and following the field's alignment.
class IDataControl {
public:
    virtual ~IDataControl() = default;
    virtual bool CanFocus() const = 0;
    virtual void SetFocus() = 0;
    virtual void UpdateFieldAlignment(TField*) {}
};

using TFieldDataLinkEvent = std::function<void(class TFieldDataLink& Sender)>;

// Binds a view to one field of the dataset, by name.
class TFieldDataLink : public TDataLink {
public:
    TFieldDataLink();

    // The owning control (names it in errors, takes the focus when it is an
    // IDataControl).
    rtl::TComponent* Control() const { return FControl; }
    void SetControl(rtl::TComponent* Value) { FControl = Value; }
    const rtl::String& FieldName() const { return FFieldName; }
    void SetFieldName(rtl::StringView Value);
    TField* Field() const { return FField; }
    bool CanModify() const;
    bool Editing() const { return FEditing; }
    bool Modified() const { return FModified; }
    // Marks the control's contents as changed.
    void SetModified() { FModified = true; }
    // Redisplays the field.
    void Reset() { RecordChanged(nullptr); }
    bool Edit();

    TFieldDataLinkEvent OnDataChange;
    TFieldDataLinkEvent OnEditingChange;
    TFieldDataLinkEvent OnUpdateData;
    TFieldDataLinkEvent OnActiveChange;

protected:
    void ActiveChanged() override;
    void DataEvent(TDataEvent Event, std::intptr_t Info) override;
    void EditingChanged() override;
    void FocusControl(TField** FieldRef) override;
    void LayoutChanged() override;
    void RecordChanged(TField* Field) override;
    void UpdateData() override;

private:
    void UpdateField();
    void SetField(TField* Value);

    TField* FField = nullptr;
    rtl::String FFieldName;
    rtl::TComponent* FControl = nullptr;
    bool FEditing = false;
    bool FModified = false;
};

}  // namespace data
