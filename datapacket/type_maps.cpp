#include "datapacket/type_maps.h"

#include "datapacket/ds_intf.h"

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

}  // namespace datapacket
