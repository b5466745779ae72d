#pragma once
// What the sources of the field classes share: the definition of a field
// class's class value (DEFINE_FIELD_CLASS, the counterpart of the
// DATA_FIELD_CLASS declaration) and the 8-bit text conversions.

#include <cstddef>
#include <cstdint>
#include <string>

#include "data/field_types.h"
#include "rtl/strings.h"

namespace data::field_support {

template <class T>
TField* MakeField(rtl::TComponent* Owner) {
    return new T(Owner);  // owned by Owner (or by the collection it joins)
}
// The class queries of TFieldClassInfo for the common cases.
bool NotBlob();
bool Blob();
void AnySize(int);

// 8-bit text is Latin-1: each byte is one character; characters above 255
// become '?'.
rtl::String Widen(const std::uint8_t* Bytes, std::size_t Count);
std::string Narrow(rtl::StringView Text);

}  // namespace data::field_support

// Defines the class value of a field class declared with DATA_FIELD_CLASS.
#define DEFINE_FIELD_CLASS(Cls, IsBlobFn, CheckFn) \
    const TFieldClassInfo Cls::ClassInfo{u"" #Cls, &field_support::MakeField<Cls>, IsBlobFn, CheckFn};
