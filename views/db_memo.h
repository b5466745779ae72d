#pragma once
// TDBMemo: a memo that shows one field of the current record. For now it
// holds the field's name; it follows a dataset once the data links exist.

#include "toolkit/std_controls.h"

namespace views {

class TDBMemo : public toolkit::TMemo {
public:
    explicit TDBMemo(rtl::TComponent* AOwner) : TMemo(AOwner) {}
    const rtl::String& DataField() const { return FDataField; }
    void SetDataField(const rtl::String& Value) { FDataField = Value; }

private:
    rtl::String FDataField;
};

}  // namespace views
