#pragma once
// Interface reference fields.

#include "data/fields.h"

namespace data {

// Interface references; nothing on the system's path holds one.
class TInterfaceField : public TField {
    DATA_FIELD_CLASS(TInterfaceField)
public:
    explicit TInterfaceField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return sizeof(void*); }
};
class TIDispatchField : public TInterfaceField {
    DATA_FIELD_CLASS(TIDispatchField)
public:
    explicit TIDispatchField(rtl::TComponent* AOwner);
};

}  // namespace data
