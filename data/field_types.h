#pragma once
// The field type enumeration with its display names and default field classes,
// and the small enumerations of the field model (kinds, attributes, life
// cycles, blob display and stream modes, provider flags, alignment).

#include "rtl/set.h"
#include "rtl/strings.h"

namespace rtl { class TComponent; }

namespace data {

// Ordinals are stored in data packets and cited across the system: never reorder.
enum TFieldType {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD, ftDate,
    ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo,
    ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString, ftLargeint, ftADT,
    ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant, ftInterface, ftIDispatch, ftGuid,
    ftTimeStamp, ftFMTBcd, ftFixedWideChar, ftWideMemo, ftOraTimeStamp, ftOraInterval, ftLongWord,
    ftShortint, ftByte, ftExtended, ftConnection, ftParams, ftStream, ftTimeStampOffset, ftObject,
    ftSingle
};
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

}  // namespace data
