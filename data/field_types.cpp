#include "data/field_types.h"

namespace data {

const char16_t* const FieldTypeNames[FieldTypeCount] = {
    u"Unknown", u"String", u"SmallInt", u"Integer", u"Word", u"Boolean", u"Float", u"Currency", u"BCD",
    u"Date", u"Time", u"DateTime", u"Bytes", u"VarBytes", u"AutoInc", u"Blob", u"Memo", u"Graphic",
    u"FmtMemo", u"ParadoxOle", u"dBaseOle", u"TypedBinary", u"Cursor", u"FixedChar", u"WideString",
    u"LargeInt", u"ADT", u"Array", u"Reference", u"DataSet", u"OraBlob", u"OraClob", u"Variant",
    u"Interface", u"IDispatch", u"Guid", u"TimeStamp", u"FMTBcd", u"FixedWideChar", u"WideMemo",
    u"OraTimeStamp", u"OraInterval", u"LongWord", u"ShortInt", u"Byte", u"Extended", u"Connection",
    u"Params", u"Stream", u"TimeStampOffset", u"Object", u"Single"};

}  // namespace data
