#include "data/field_types.h"

#include "data/blob_fields.h"
#include "data/boolean_fields.h"
#include "data/bytes_fields.h"
#include "data/date_time_fields.h"
#include "data/interface_fields.h"
#include "data/number_fields.h"
#include "data/string_fields.h"
#include "data/structured_fields.h"
#include "data/variant_fields.h"

namespace data {

const char16_t* const FieldTypeNames[FieldTypeCount] = {
    u"Unknown", u"String", u"SmallInt", u"Integer", u"Word", u"Boolean", u"Float", u"Currency", u"BCD",
    u"Date", u"Time", u"DateTime", u"Bytes", u"VarBytes", u"AutoInc", u"Blob", u"Memo", u"Graphic",
    u"FmtMemo", u"ParadoxOle", u"dBaseOle", u"TypedBinary", u"Cursor", u"FixedChar", u"WideString",
    u"LargeInt", u"ADT", u"Array", u"Reference", u"DataSet", u"OraBlob", u"OraClob", u"Variant",
    u"Interface", u"IDispatch", u"Guid", u"TimeStamp", u"FMTBcd", u"FixedWideChar", u"WideMemo",
    u"OraTimeStamp", u"OraInterval", u"LongWord", u"ShortInt", u"Byte", u"Extended", u"Connection",
    u"Params", u"Stream", u"TimeStampOffset", u"Object", u"Single"};

const TFieldClass DefaultFieldClasses[FieldTypeCount] = {
    nullptr,                             // ftUnknown
    &TStringField::ClassInfo,            // ftString
    &TSmallintField::ClassInfo,          // ftSmallint
    &TIntegerField::ClassInfo,           // ftInteger
    &TWordField::ClassInfo,              // ftWord
    &TBooleanField::ClassInfo,           // ftBoolean
    &TFloatField::ClassInfo,             // ftFloat
    &TCurrencyField::ClassInfo,          // ftCurrency
    &TBCDField::ClassInfo,               // ftBCD
    &TDateField::ClassInfo,              // ftDate
    &TTimeField::ClassInfo,              // ftTime
    &TDateTimeField::ClassInfo,          // ftDateTime
    &TBytesField::ClassInfo,             // ftBytes
    &TVarBytesField::ClassInfo,          // ftVarBytes
    &TAutoIncField::ClassInfo,           // ftAutoInc
    &TBlobField::ClassInfo,              // ftBlob
    &TMemoField::ClassInfo,              // ftMemo
    &TGraphicField::ClassInfo,           // ftGraphic
    &TBlobField::ClassInfo,              // ftFmtMemo
    &TBlobField::ClassInfo,              // ftParadoxOle
    &TBlobField::ClassInfo,              // ftDBaseOle
    &TBlobField::ClassInfo,              // ftTypedBinary
    nullptr,                             // ftCursor
    &TStringField::ClassInfo,            // ftFixedChar
    &TWideStringField::ClassInfo,        // ftWideString
    &TLargeintField::ClassInfo,          // ftLargeint
    &TADTField::ClassInfo,               // ftADT
    &TArrayField::ClassInfo,             // ftArray
    &TReferenceField::ClassInfo,         // ftReference
    &TDataSetField::ClassInfo,           // ftDataSet
    &TBlobField::ClassInfo,              // ftOraBlob
    &TMemoField::ClassInfo,              // ftOraClob
    &TVariantField::ClassInfo,           // ftVariant
    &TInterfaceField::ClassInfo,         // ftInterface
    &TIDispatchField::ClassInfo,         // ftIDispatch
    &TGuidField::ClassInfo,              // ftGuid
    &TSQLTimeStampField::ClassInfo,      // ftTimeStamp
    &TFMTBCDField::ClassInfo,            // ftFMTBcd
    &TWideStringField::ClassInfo,        // ftFixedWideChar
    &TWideMemoField::ClassInfo,          // ftWideMemo
    &TSQLTimeStampField::ClassInfo,      // ftOraTimeStamp
    &TStringField::ClassInfo,            // ftOraInterval
    &TLongWordField::ClassInfo,          // ftLongWord
    &TShortintField::ClassInfo,          // ftShortint
    &TByteField::ClassInfo,              // ftByte
    &TExtendedField::ClassInfo,          // ftExtended
    nullptr,                             // ftConnection
    nullptr,                             // ftParams
    nullptr,                             // ftStream
    &TSQLTimeStampOffsetField::ClassInfo,  // ftTimeStampOffset
    nullptr,                             // ftObject
    &TSingleField::ClassInfo,            // ftSingle
};

}  // namespace data
