#include "datapacket/type_maps.h"

#include <cmath>

#include "datapacket/ds_bytes.h"
#include "datapacket/ds_intf.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace datapacket {

using namespace data;

std::uint32_t PacketTypeMap(TFieldType FieldType) {
    if (IsBlobType(FieldType)) return dsfldBYTES;
    switch (FieldType) {
        case ftSmallint:
        case ftInteger:
        case ftAutoInc:
        case ftLargeint:
        case ftShortint: return dsfldINT;
        case ftWord:
        case ftLongWord:
        case ftByte: return dsfldUINT;
        case ftBoolean: return dsfldBOOL;
        case ftFloat:
        case ftCurrency:
        case ftExtended: return dsfldFLOATIEEE;
        case ftBCD: return dsfldBCD;
        case ftFMTBcd: return dsfldFMTBCD;
        case ftDate: return dsfldDATE;
        case ftTime: return dsfldTIME;
        case ftDateTime: return dsfldTIMESTAMP;
        case ftString:
        case ftFixedChar:
        case ftGuid:
        case ftOraInterval: return dsfldZSTRING;
        case ftWideString:
        case ftFixedWideChar: return dsfldUNICODE;
        case ftBytes:
        case ftVarBytes: return dsfldBYTES;
        case ftADT: return dsfldADT;
        case ftArray: return dsfldARRAY;
        case ftReference:
        case ftDataSet: return dsfldEMBEDDEDTBL;
        case ftTimeStamp:
        case ftOraTimeStamp: return dsfldDATETIME;
        case ftSingle: return dsfldSINGLE;
        case ftTimeStampOffset: return dsfldDATETIMEOFFSET;
        default: return dsfldUNKNOWN;
    }
}

const char* SubtypeName(TFieldType FieldType, bool Fixed, bool NestedADT) {
    switch (FieldType) {
        case ftString:
        case ftWideString: return Fixed ? "FixedChar" : nullptr;
        case ftCurrency: return "Money";
        case ftVarBytes:
        case ftBlob: return "Binary";
        case ftAutoInc: return "Autoinc";
        case ftMemo: return "Text";
        case ftGraphic: return "Graphics";
        case ftFmtMemo: return "Formatted";
        case ftParadoxOle: return "Ole";
        case ftDBaseOle: return "dBASEOle";
        case ftTypedBinary: return "TypedBinary";
        case ftADT: return NestedADT ? "ADTNestedTable" : nullptr;
        case ftReference: return "Reference";
        case ftOraBlob: return "HBinary";
        case ftOraClob: return "HMemo";
        case ftGuid: return "Guid";
        case ftWideMemo: return "WideText";
        default: return nullptr;
    }
}

namespace {

TFieldType BlobTypeMap(std::uint32_t SubType) {
    switch (SubType) {
        case fldstMEMO: return ftMemo;
        case fldstBINARY: return ftBlob;
        case fldstFMTMEMO: return ftFmtMemo;
        case fldstOLEOBJ: return ftParadoxOle;
        case fldstGRAPHIC: return ftGraphic;
        case fldstDBSOLEOBJ: return ftDBaseOle;
        case fldstTYPEDBINARY: return ftTypedBinary;
        case fldstWIDEMEMO: return ftWideMemo;
        case fldstHMEMO: return ftOraClob;
        case fldstHBINARY: return ftOraBlob;
        default: return ftBlob;
    }
}

}  // namespace

TFieldType DataTypeMap(std::uint32_t LogicalType, std::uint32_t SubType) {
    switch (LogicalType) {
        case fldZSTRING: return SubType == fldstGUID ? ftGuid : ftString;
        case fldDATE: return ftDate;
        case fldBLOB: return BlobTypeMap(SubType);
        case fldBOOL: return ftBoolean;
        case fldINT16: return ftSmallint;
        case fldINT32: return SubType == fldstAUTOINC ? ftAutoInc : ftInteger;
        case fldFLOAT: return SubType == fldstMONEY ? ftCurrency : ftFloat;
        case fldBCD: return ftBCD;
        case fldBYTES: return SubType == fldstGUID ? ftGuid : ftBytes;
        case fldTIME: return ftTime;
        case fldTIMESTAMP: return ftDateTime;
        case fldUINT16: return ftWord;
        case fldUINT32: return ftLongWord;
        case fldFLOATIEEE: return ftExtended;
        case fldVARBYTES: return SubType == fldstGUID ? ftGuid : ftVarBytes;
        case fldINT64:
        case fldUINT64: return ftLargeint;
        case fldADT: return SubType == fldstGUID ? ftGuid : ftADT;
        case fldARRAY: return SubType == fldstGUID ? ftGuid : ftArray;
        case fldREF: return ftReference;
        case fldTABLE: return SubType == fldstREFERENCE ? ftReference : ftDataSet;
        case fldDATETIME: return SubType == fldstORATIMESTAMP ? ftOraTimeStamp : ftTimeStamp;
        case fldFMTBCD: return ftFMTBcd;
        case fldWIDESTRING:
        case fldUNICODE: return ftWideString;
        case fldSINGLE: return ftSingle;
        case fldINT8: return ftShortint;
        case fldUINT8: return ftByte;
        case fldDATETIMEOFFSET: return ftTimeStampOffset;
        default: return ftUnknown;
    }
}

// ---- date and time values

namespace {

constexpr std::int64_t DateDelta = 693594;  // the day count of 30 December 1899
constexpr std::int64_t MSecsPerDay = 86400000;

// A TDateTime as its calendar day (from the day count's origin) and the
// milliseconds into that day. A negative TDateTime counts its days back
// but its time forward: -1.25 is 29 December 1899, 6:00.
struct TDayAndTime {
    std::int64_t Day;
    std::int64_t Milliseconds;
};

TDayAndTime Split(TDateTime Value) {
    // Beyond the years a day count of 32 bits holds (and not a number at all).
    if (!std::isfinite(Value) || std::fabs(Value) > 3e6)
        throw rtl::EConvertError(rtl::Format(u"'%s' is not a valid date and time", {rtl::FloatToStr(Value)}));
    const double whole = std::trunc(Value);
    TDayAndTime result{static_cast<std::int64_t>(whole) + DateDelta,
                       std::llround(std::fabs(Value - whole) * MSecsPerDay)};
    if (result.Milliseconds >= MSecsPerDay) {  // rounded up to the next midnight
        result.Milliseconds -= MSecsPerDay;
        ++result.Day;
    }
    return result;
}

TDateTime Join(std::int64_t Day, std::int64_t Milliseconds) {
    const auto days = static_cast<double>(Day - DateDelta);
    const double time = static_cast<double>(Milliseconds) / MSecsPerDay;
    return days < 0 ? days - time : days + time;
}

}  // namespace

bool IsDateTimeType(TFieldType FieldType) {
    return FieldType == ftDate || FieldType == ftTime || FieldType == ftDateTime;
}

std::uint32_t DateTimePacketSize(TFieldType FieldType) { return FieldType == ftDateTime ? 8 : 4; }

void DateTimeToPacket(TFieldType FieldType, TDateTime Value, std::uint8_t* Out) {
    const TDayAndTime split = Split(Value);
    switch (FieldType) {
        case ftDate: PutLE(Out, static_cast<std::int32_t>(split.Day)); break;
        case ftTime: PutLE(Out, static_cast<std::int32_t>(split.Milliseconds)); break;
        default: PutLE(Out, static_cast<double>(split.Day * MSecsPerDay + split.Milliseconds));
    }
}

TDateTime PacketToDateTime(TFieldType FieldType, const std::uint8_t* In) {
    switch (FieldType) {
        case ftDate: return Join(GetLE<std::int32_t>(In), 0);
        case ftTime: return Join(DateDelta, GetLE<std::int32_t>(In));
        default: {
            const double milliseconds = GetLE<double>(In);
            // A number no date has (from a packet made elsewhere) is not
            // split into a day and a time, whose integers it would overflow.
            if (!std::isfinite(milliseconds) || std::fabs(milliseconds) > 1e15)
                return milliseconds / MSecsPerDay - DateDelta;
            const double day = std::floor(milliseconds / MSecsPerDay);
            return Join(static_cast<std::int64_t>(day), std::llround(milliseconds - day * MSecsPerDay));
        }
    }
}

}  // namespace datapacket
