#pragma once
// The mappings between the dataset core's field types and the packet: the
// packet field class of each TFieldType (provider side), the subtype names
// written in "SUBTYPE", and the TFieldType of each engine logical type and
// subtype (client side).

#include <cstdint>

#include "data/field_types.h"

namespace datapacket {

// The packet field class of each field type (dsfldUNKNOWN for none).
std::uint32_t PacketTypeMap(data::TFieldType FieldType);

// The "SUBTYPE" name of a field type, or null. FixedChar applies to
// ftString and ftWideString only when the field has a fixed length, and
// ADTNestedTable to ftADT only under a reference or dataset field.
const char* SubtypeName(data::TFieldType FieldType, bool Fixed, bool NestedADT);

// The field type of an engine logical type (ftUnknown for types without one),
// with the subtype adjustments (blob subtypes, Autoinc, Money, Guid, ...).
data::TFieldType DataTypeMap(std::uint32_t LogicalType, std::uint32_t SubType);

}  // namespace datapacket
