#include "data/structured_fields.h"

#include "data/field_support.h"

namespace data {

using namespace field_support;

DEFINE_FIELD_CLASS(TADTField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TArrayField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TDataSetField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TReferenceField, NotBlob, AnySize)

TObjectField::TObjectField(rtl::TComponent* AOwner)
    : TField(AOwner), FFields(std::make_unique<TFields>(nullptr, this)) {}
TObjectField::~TObjectField() { FFields->Clear(); }
TADTField::TADTField(rtl::TComponent* AOwner) : TObjectField(AOwner) { SetDataTypeRaw(ftADT); }
TArrayField::TArrayField(rtl::TComponent* AOwner) : TObjectField(AOwner) { SetDataTypeRaw(ftArray); }
TDataSetField::TDataSetField(rtl::TComponent* AOwner) : TObjectField(AOwner) { SetDataTypeRaw(ftDataSet); }
TReferenceField::TReferenceField(rtl::TComponent* AOwner) : TDataSetField(AOwner) { SetDataTypeRaw(ftReference); }

}  // namespace data
