#pragma once
// Structured fields, whose values are their child fields: TObjectField and
// its descendants TADTField, TArrayField, TDataSetField and TReferenceField.

#include <memory>

#include "data/fields.h"

namespace data {

// Structured fields: their values are the child fields.
class TObjectField : public TField {
public:
    explicit TObjectField(rtl::TComponent* AOwner);
    ~TObjectField() override;
    TFields& Fields() { return *FFields; }

protected:
    int GetDataSize() const override { return 0; }

private:
    std::unique_ptr<TFields> FFields;
};
class TADTField : public TObjectField {
    DATA_FIELD_CLASS(TADTField)
public:
    explicit TADTField(rtl::TComponent* AOwner);
};
class TArrayField : public TObjectField {
    DATA_FIELD_CLASS(TArrayField)
public:
    explicit TArrayField(rtl::TComponent* AOwner);
};
// A nested dataset's field; nested datasets are not built here.
class TDataSetField : public TObjectField {
    DATA_FIELD_CLASS(TDataSetField)
public:
    explicit TDataSetField(rtl::TComponent* AOwner);
};
class TReferenceField : public TDataSetField {
    DATA_FIELD_CLASS(TReferenceField)
public:
    explicit TReferenceField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return Size(); }
};

}  // namespace data
