#include "data/interface_fields.h"

#include "data/field_support.h"

namespace data {

using namespace field_support;

DEFINE_FIELD_CLASS(TInterfaceField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TIDispatchField, NotBlob, AnySize)

TInterfaceField::TInterfaceField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftInterface); }
TIDispatchField::TIDispatchField(rtl::TComponent* AOwner) : TInterfaceField(AOwner) { SetDataTypeRaw(ftIDispatch); }

}  // namespace data
