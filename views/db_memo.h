#pragma once
// TDBMemo: a multi-line text box that shows one field of the dataset's
// current record and follows the dataset as it moves; with a data source that
// can edit, what the user types is written back to the field.

#include <memory>

#include "data/data_links.h"
#include "toolkit/std_controls.h"

namespace views {

class TDBMemo : public toolkit::TMemo, public data::IDataControl {
public:
    explicit TDBMemo(rtl::TComponent* AOwner);
    ~TDBMemo() override;

    data::TDataSource* DataSource() const { return FDataLink->DataSource(); }
    void SetDataSource(data::TDataSource* Value);
    const rtl::String& DataField() const { return FDataLink->FieldName(); }
    // Fails with "Field '%s' not found", prefixed with the memo's name, when
    // the link is active and the dataset lacks the field.
    void SetDataField(const rtl::String& Value) { FDataLink->SetFieldName(Value); }
    // The link's flag; the control's own read-only flag follows EditingChange.
    bool ReadOnly() const { return FDataLink->ReadOnly(); }
    void SetReadOnly(bool Value) { FDataLink->SetReadOnly(Value); }
    // Load blob text on every record change; otherwise "(label)" shows until
    // Enter or a double click loads it.
    bool AutoDisplay() const { return FAutoDisplay; }
    void SetAutoDisplay(bool Value);
    data::TField* Field() const { return FDataLink->Field(); }
    // The link the memo follows its data through.
    data::TFieldDataLink* DataLink() const { return FDataLink.get(); }

    // Loads a blob field's text when it is not loaded yet.
    void LoadMemo();
    // Whether the memo holds the field's text (not a placeholder or nothing).
    bool MemoLoaded() const { return FMemoLoaded; }

    bool CanFocus() const override { return TMemo::CanFocus(); }
    void SetFocus() override { TMemo::SetFocus(); }

protected:
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
    void KeyDown(int& Key, TShiftState Shift) override;
    void KeyPress(char16_t& Key) override;
    bool EditRequest() override;
    bool DblClick() override;
    void DoEnter() override;
    void DoExit() override;
    void Change() override;

private:
    void DataChange();
    void EditingChange();
    void UpdateData();
    void SetLines();
    void SetFocused(bool Value);

    std::unique_ptr<data::TFieldDataLink> FDataLink;
    bool FAutoDisplay = true;
    bool FMemoLoaded = false;
    bool FFocused = false;
};

}  // namespace views
