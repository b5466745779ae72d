#pragma once
// The field type enumeration with its display names and default field classes,
// and the small enumerations of the field model (kinds, attributes, life
// cycles, blob display and stream modes, provider flags, alignment).

#include <array>
#include <cstdint>

#include "rtl/set.h"
#include "rtl/strings.h"

namespace rtl {
class TComponent;
}

namespace data {

// Ordinals are stored in data packets and cited across the system: never reorder.
// clang-format off
enum TFieldType {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD, ftDate,
    ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo,
    ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString, ftLargeint, ftADT,
    ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant, ftInterface, ftIDispatch, ftGuid,
    ftTimeStamp, ftFMTBcd, ftFixedWideChar, ftWideMemo, ftOraTimeStamp, ftOraInterval, ftLongWord,
    ftShortint, ftByte, ftExtended, ftConnection, ftParams, ftStream, ftTimeStampOffset, ftObject,
    ftSingle
};
// clang-format on
inline constexpr int FieldTypeCount = ftSingle + 1;

using TFieldTypeSet = rtl::Set<TFieldType>;

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
using TFieldKinds = rtl::Set<TFieldKind>;

enum TFieldAttribute { faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed };
using TFieldAttributes = rtl::Set<TFieldAttribute>;

enum TFieldLifeCycle { lcAutomatic, lcPersistent };
using TFieldLifeCycles = rtl::Set<TFieldLifeCycle>;

enum TBlobDisplayValue { dvClass, dvFull, dvClip, dvFit };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

enum TProviderFlag { pfInUpdate, pfInWhere, pfInKey, pfHidden, pfRefreshOnInsert, pfRefreshOnUpdate };
using TProviderFlags = rtl::Set<TProviderFlag>;

// The display name of each type ("String", "SmallInt", "WideMemo", ...).
extern const char16_t* const FieldTypeNames[FieldTypeCount];

class TField;

// The value types of the typed accessors.

// Days since 1899-12-30 and the fraction of a day.
using TDateTime = double;

// A fixed-point amount: a 64-bit count of ten-thousandths (four decimals).
struct TCurrency {
    std::int64_t Scaled = 0;
    static constexpr std::int64_t Scale = 10000;
    bool operator==(const TCurrency&) const = default;
};

// A decimal number as packed digits: Precision digits, two to a byte from
// the first (high nibble first), the sign in bit 7 of SignSpecialPlaces and
// the number of digits after the point in its low six bits.
struct TBcd {
    std::uint8_t Precision = 0;
    std::uint8_t SignSpecialPlaces = 0;
    std::array<std::uint8_t, 32> Fraction{};
    bool operator==(const TBcd&) const = default;
};

struct TGUID {
    std::uint32_t D1 = 0;
    std::uint16_t D2 = 0, D3 = 0;
    std::array<std::uint8_t, 8> D4{};
    bool operator==(const TGUID&) const = default;
};

// A timestamp as stored in the record.
struct TSQLTimeStamp {
    std::int16_t Year = 0;
    std::uint16_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    // Milliseconds.
    std::uint32_t Fractions = 0;
    bool operator==(const TSQLTimeStamp&) const = default;
};
struct TSQLTimeStampOffset {
    TSQLTimeStamp TimeStamp;
    std::int16_t TimeZoneHour = 0, TimeZoneMinute = 0;
    bool operator==(const TSQLTimeStampOffset&) const = default;
};

// Conversions between the value types. Each fails with EConvertError when the
// value has no form in the target type.
TCurrency DoubleToCurrency(double Value);  // rounded to four decimals; out of range fails
double CurrencyToDouble(TCurrency Value);
rtl::String CurrencyToStr(TCurrency Value);  // "-12.5", "3", at most four decimals
TBcd StrToBcd(rtl::StringView Text);         // "[-]digits[.digits]", at most 64 digits
rtl::String BcdToStr(const TBcd& Value);
TBcd DoubleToBcd(double Value);  // at most 15 significant digits
double BcdToDouble(const TBcd& Value);
TBcd CurrencyToBcd(TCurrency Value);
TCurrency BcdToCurrency(const TBcd& Value);    // digits past the fourth decimal are rounded
rtl::String GUIDToString(const TGUID& Value);  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
TGUID StringToGUID(rtl::StringView Text);
TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime Value);
// An impossible date or time fails.
TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& Value);

// A field class as a value: its name, a factory and the queries a class
// answers without an instance. Fields made by Create are owned by Owner (or,
// without an owner, by the field collection they join).
struct TFieldClassInfo {
    const char16_t* ClassName;
    TField* (*Create)(rtl::TComponent* Owner);
    bool (*IsBlob)();
    // Raises EDatabaseError when Size is not acceptable for the class.
    void (*CheckTypeSize)(int Size);
};
using TFieldClass = const TFieldClassInfo*;

// The class TDataSet creates for a definition of each type; null for the
// types that get no field (ftUnknown, ftCursor, ftConnection, ftParams,
// ftStream, ftObject).
extern const TFieldClass DefaultFieldClasses[FieldTypeCount];

// Whether values of Type are blobs (memos, binaries, graphics): its default
// field class is a blob class.
bool IsBlobType(TFieldType Type);

}  // namespace data
