#pragma once
// EDatabaseError and the helpers through which the dataset core reports its
// failures, with the texts of the messages it raises.

#include <initializer_list>

#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace rtl {
class TComponent;
}

namespace data {

class EDatabaseError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// Marks a component that lives inside another one: its errors name the owner
// too ("Owner.Name: message").
class ISubComponent {
public:
    virtual ~ISubComponent() = default;
};

// Raises EDatabaseError with Message prefixed by the component's name
// ("Name: message", "Owner.Name: message" for a named sub-component of a named
// owner), or the bare message when the component has no name.
[[noreturn]] void DatabaseError(rtl::StringView Message, const rtl::TComponent* Component = nullptr);
[[noreturn]] void DatabaseErrorFmt(rtl::StringView Message, std::initializer_list<rtl::FormatArg> Args,
                                   const rtl::TComponent* Component = nullptr);

// Message texts.
inline constexpr const char16_t* SUnknownFieldType = u"Field '%s' is of an unknown type";
inline constexpr const char16_t* SFieldNameMissing = u"Field name missing";
inline constexpr const char16_t* SDuplicateFieldName = u"Duplicate field name '%s'";
inline constexpr const char16_t* SInvalidFieldKind = u"Invalid FieldKind";
inline constexpr const char16_t* SInvalidFieldSize = u"Invalid field size";
inline constexpr const char16_t* SDataSetMissing = u"Field '%s' has no dataset";
inline constexpr const char16_t* SFieldAccessError = u"Cannot access field '%s' as type %s";
inline constexpr const char16_t* SFieldValueError = u"Invalid value for field '%s'";
inline constexpr const char16_t* SFieldReadOnly = u"Field '%s' cannot be modified";
inline constexpr const char16_t* SDataSetClosed = u"Cannot perform this operation on a closed dataset";
inline constexpr const char16_t* SDataSetOpen = u"Cannot perform this operation on an open dataset";
inline constexpr const char16_t* SDataSetUnidirectional = u"Operation not allowed on a unidirectional dataset";
inline constexpr const char16_t* SNotEditing = u"Dataset not in edit or insert mode";
inline constexpr const char16_t* SDataSetReadOnly = u"Cannot modify a read-only dataset";
inline constexpr const char16_t* SDataSetEmpty = u"Cannot perform this operation on an empty dataset";
inline constexpr const char16_t* SRecordNotFound = u"Record not found";
inline constexpr const char16_t* SFieldNotFound = u"Field '%s' not found";
inline constexpr const char16_t* SInvalidCalcType = u"Field '%s' cannot be a calculated or lookup field";
inline constexpr const char16_t* SFieldTypeMismatch = u"Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char16_t* SFieldSizeMismatch = u"Size mismatch for field '%s', expecting: %d actual: %d";
inline constexpr const char16_t* SCircularDataLink = u"Circular datalinks are not allowed";
inline constexpr const char16_t* SDataSourceChange = u"DataSource cannot be changed";

}  // namespace data
