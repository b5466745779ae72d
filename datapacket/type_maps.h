#pragma once
// The mappings between the dataset core's field types and the packet: the
// packet field class of each TFieldType (provider side), the subtype names
// written in "SUBTYPE", the TFieldType of each engine logical type and
// subtype (client side), and the packet forms of date and time values.

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

// Date and time values. The dataset core keeps ftDate, ftTime and
// ftDateTime values as a TDateTime (days since 30 December 1899, the time
// as the fraction of a day); a packet holds a date as a 32-bit day count in
// which 693594 is 30 December 1899, a time as 32-bit milliseconds since
// midnight and a date and time as a double of milliseconds from the day
// count's origin.
bool IsDateTimeType(data::TFieldType FieldType);
// The packet form's size in bytes: 4, 4 or 8.
std::uint32_t DateTimePacketSize(data::TFieldType FieldType);
// Writes Value in the packet form of FieldType to Out (DateTimePacketSize bytes).
void DateTimeToPacket(data::TFieldType FieldType, data::TDateTime Value, std::uint8_t* Out);
data::TDateTime PacketToDateTime(data::TFieldType FieldType, const std::uint8_t* In);

}  // namespace datapacket
