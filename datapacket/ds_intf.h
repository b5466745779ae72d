#pragma once
// The dataset engine's interfaces: the packet writer (IDSWriter), the record
// store (IDSBase) that reads packets and keeps their rows, and the cursor
// (IDSCursor) that moves over a store. Every operation returns a 16-bit result
// code, 0 on success; the engine itself never raises.

#include <cstdint>
#include <memory>
#include <string>

#include "rtl/variant.h"

namespace datapacket {

using DBResult = std::uint16_t;

// Result codes (ErrorMessage gives their texts).
inline constexpr DBResult DBERR_NONE = 0;
inline constexpr DBResult DBERR_BOF = 0x2201;
inline constexpr DBResult DBERR_EOF = 0x2202;
inline constexpr DBResult DBERR_NOMEMORY = 0x2501;
inline constexpr DBResult DBERR_OUTOFRANGE = 0x2701;
inline constexpr DBResult DBERR_INVALIDPARAM = 0x2702;
inline constexpr DBResult DBERR_NOSUCHINDEX = 0x270D;
inline constexpr DBResult DBERR_INVALIDFLDTYPE = 0x2710;
inline constexpr DBResult DBERR_NULLFIELDNAME = 0x2736;
inline constexpr DBResult DBERR_NA = 0x2A04;
inline constexpr DBResult DBERR_DELTAISEMPTY = 0x4001;
inline constexpr DBResult DBERR_NOTHINGTOUNDO = 0x4002;
inline constexpr DBResult DBERR_NOMETADATA = 0x4003;
inline constexpr DBResult DBERR_CANNOTAPPEND = 0x4004;
inline constexpr DBResult DBERR_DATAPACKETMISMATCH = 0x4005;
inline constexpr DBResult DBERR_NEWERVERSIONREQ = 0x4008;
inline constexpr DBResult DBERR_BLOBNOTFETCHED = 0x4009;
inline constexpr DBResult DBERR_DETAILSNOTFETCHED = 0x400A;
inline constexpr DBResult DBERR_NOXMLDATATYPE = 0x4010;
inline constexpr DBResult DBERR_NODELAYEDXML = 0x4011;

// The message of a result code; empty for a code the engine does not know.
const char* ErrorMessage(DBResult Code);
// The size of the 8-bit buffers GetErrorString fills (terminator included).
inline constexpr std::size_t ErrorStringSize = 2049;
// Copies the message of Code into Text (ErrorStringSize bytes, terminated),
// as every engine object's GetErrorString does.
DBResult CopyErrorString(DBResult Code, char* Text);

// --- The packet format ---

inline constexpr std::uint32_t PacketMagic = 0xBDE01996;
inline constexpr std::uint32_t PacketHeaderSize = 24;

// Header flags.
inline constexpr std::uint32_t dsfHasMetaData = 0x1;
inline constexpr std::uint32_t dsfHasRowOffset = 0x2;
inline constexpr std::uint32_t dsfXML = 0x8000;

// Field type codes: bits 0-15 size, bits 16-21 class, then the flags below.
inline constexpr std::uint32_t dsSizeBitsMask = 0xFFFF;
inline constexpr int dsClassShift = 16;
inline constexpr std::uint32_t dsClassMask = 0x3F0000;
inline constexpr std::uint32_t dsVaryingFldType = 0x400000;
inline constexpr std::uint32_t dsArrayFldType = 0x800000;
inline constexpr std::uint32_t dsPseudoFldType = 0x1000000;
inline constexpr std::uint32_t dsCompArrayFldType = 0x2000000;
inline constexpr std::uint32_t dsEmbeddedFldType = 0x4000000;
inline constexpr std::uint32_t dsIncInDelta = 0x80000000;
// A 4-byte varying prefix with this bit: the value was not fetched.
inline constexpr std::uint32_t dsDELAYEDBIT = 0x80000000;

// Field classes.
// clang-format off
enum : std::uint32_t {
    dsfldUNKNOWN = 0, dsfldINT = 1, dsfldUINT = 2, dsfldBOOL = 3, dsfldFLOATIEEE = 4, dsfldBCD = 5,
    dsfldDATE = 6, dsfldTIME = 7, dsfldTIMESTAMP = 8, dsfldZSTRING = 9, dsfldUNICODE = 10, dsfldBYTES = 11,
    dsfldADT = 12, dsfldARRAY = 13, dsfldEMBEDDEDTBL = 14, dsfldREF = 15, dsfldDATETIME = 17,
    dsfldFMTBCD = 18, dsfldSINGLE = 27, dsfldDATETIMEOFFSET = 36
};
// clang-format on
inline constexpr std::uint32_t dsfldMAXCLASS = 36;

inline constexpr std::uint32_t MakeFieldType(std::uint32_t Class, std::uint32_t Size, std::uint32_t Flags = 0) {
    return (Class << dsClassShift) | (Size & dsSizeBitsMask) | Flags;
}
inline constexpr std::uint32_t FieldClassOf(std::uint32_t Type) { return (Type & dsClassMask) >> dsClassShift; }
inline constexpr std::uint32_t FieldSizeOf(std::uint32_t Type) { return Type & dsSizeBitsMask; }

// Decimal values (classes dsfldBCD and dsfldFMTBCD) travel and are kept as the
// leading bytes of the decimal record: the precision byte, the sign and places
// byte, then the digits two to a byte. A value of Precision digits takes
// BcdValueSize bytes, in the packet and in the record store's slot alike, so
// that no digit is cut and no byte is left over; a column without a precision
// (0) keeps the whole record, 34 bytes.
inline constexpr std::uint32_t DecimalRecordSize = 34;
inline constexpr std::uint64_t BcdValueSize(std::uint64_t Precision) {
    return Precision == 0 ? DecimalRecordSize : Precision / 2 + Precision % 2 + 2;
}
// Whether a decimal column whose packet type has Size bytes holds values of
// Precision digits: exactly their size, or, without a precision, a part of
// the record no shorter than its two leading bytes.
inline constexpr bool BcdSizeFits(std::uint32_t Size, std::int64_t Precision) {
    if (Precision < 0) return false;
    if (Precision == 0) return Size >= 2 && Size <= DecimalRecordSize;
    return Size == BcdValueSize(static_cast<std::uint64_t>(Precision));
}
inline constexpr bool IsBcdClass(std::uint32_t Class) { return Class == dsfldBCD || Class == dsfldFMTBCD; }

// Column attributes (descriptor and DSFLDDesc::iFldAttr).
inline constexpr std::uint16_t fldAttrHIDDEN = 1;
inline constexpr std::uint16_t fldAttrREADONLY = 2;
inline constexpr std::uint16_t fldAttrREQUIRED = 4;
inline constexpr std::uint16_t fldAttrLINK = 8;

// PutField statuses and the two bits per column in a row's flag bytes.
inline constexpr std::uint32_t fldIsValue = 0;
inline constexpr std::uint32_t fldIsNull = 1;
inline constexpr std::uint32_t fldIsNotChanged = 2;
inline constexpr std::uint8_t BLANK_NULL = 1;
inline constexpr std::uint8_t BLANK_NOTCHANGED = 2;

// Row status bytes.
inline constexpr std::uint8_t dsRecUnmodified = 0;
inline constexpr std::uint8_t dsRecOrg = 1;
inline constexpr std::uint8_t dsRecDeleted = 2;
inline constexpr std::uint8_t dsRecNew = 4;
inline constexpr std::uint8_t dsRecModified = 8;
inline constexpr std::uint8_t dsUnused = 0x20;
inline constexpr std::uint8_t dsDetUpd = 0x40;

// AddAttribute areas.
inline constexpr std::uint32_t dsAttrField = 0;
inline constexpr std::uint32_t dsAttrPacket = 1;

// Engine logical field types (DSFLDDesc::iFldType).
// clang-format off
enum : std::uint32_t {
    fldUNKNOWN = 0, fldZSTRING = 1, fldDATE = 2, fldBLOB = 3, fldBOOL = 4, fldINT16 = 5, fldINT32 = 6,
    fldFLOAT = 7, fldBCD = 8, fldBYTES = 9, fldTIME = 10, fldTIMESTAMP = 11, fldUINT16 = 12, fldUINT32 = 13,
    fldFLOATIEEE = 14, fldVARBYTES = 15, fldINT64 = 18, fldUINT64 = 19, fldADT = 20, fldARRAY = 21,
    fldREF = 22, fldTABLE = 23, fldDATETIME = 24, fldFMTBCD = 25, fldWIDESTRING = 26, fldSINGLE = 27,
    fldINT8 = 28, fldUINT8 = 29, fldDATETIMEOFFSET = 36, fldBOOL8 = 4099, fldBOOL32 = 4100,
    fldUNICODE = 0x1007
};
// clang-format on

// Subtype codes read from "SUBTYPE" (DSFLDDesc::iFldSubType).
// clang-format off
enum : std::uint32_t {
    fldstMONEY = 21, fldstMEMO = 22, fldstBINARY = 23, fldstFMTMEMO = 24, fldstOLEOBJ = 25,
    fldstGRAPHIC = 26, fldstDBSOLEOBJ = 27, fldstTYPEDBINARY = 28, fldstAUTOINC = 29, fldstACCOLEOBJ = 30,
    fldstFIXED = 31, fldstWIDEMEMO = 32, fldstHMEMO = 33, fldstHBINARY = 34, fldstADTNESTEDTABLE = 35,
    fldstBFILE = 36, fldstADTDATE = 37, fldstGUID = 38, fldstORATIMESTAMP = 39, fldstREFERENCE = 70,
    fldstUNKNOWN = 255
};
// clang-format on

// A column as the writer is told of it (38 bytes, packed as in the packet's
// descriptor arrays).
#pragma pack(push, 1)
struct TDSDataPacketFldDesc {
    char szFieldName[32] = {};  // 8-bit, zero-terminated
    std::uint32_t iFieldType = 0;
    std::uint16_t iAttributes = 0;
};
#pragma pack(pop)
static_assert(sizeof(TDSDataPacketFldDesc) == 38);

// A column as the record store keeps it.
struct DSFLDDesc {
    char szName[32] = {};  // 8-bit (UTF-8 with dspropUTF8METADATA), zero-terminated
    std::uint32_t iFldType = 0;
    std::uint32_t iFldSubType = 0;
    std::int32_t iUnits1 = 0;   // width: characters, bytes or precision
    std::int32_t iUnits2 = 0;   // decimals
    std::uint32_t iFldLen = 0;  // slot length in bytes
    std::uint32_t iFldOffsInRec = 0;
    std::uint32_t iNullOffsInRec = 0;
    std::uint16_t iFieldID = 0;  // 1-based column number
    std::uint16_t iFieldIDParent = 0;
    bool bCalculated = false;
    std::uint16_t iFldAttr = 0;
    std::uint16_t iOptParameters = 0;
};

// The record store's description of itself.
struct DSProps {
    std::uint32_t iFields = 0;      // columns
    std::uint32_t iRecBufSize = 0;  // bytes of one engine record
    std::uint32_t iBookmarkSize = 0;
    std::uint32_t iRecords = 0;
    bool bReadOnly = false;
};

// A cursor's description of the records it copies.
struct CURProps {
    std::uint32_t iFields = 0;
    std::uint32_t iRecBufSize = 0;
    std::uint32_t iBookMarkSize = 0;
    bool bReadOnly = false;
};

// Record store properties (GetProp / SetProp).
// clang-format off
enum : std::uint32_t {
    dspropREADONLY = 1, dspropDSISPARTIAL = 4, dspropRECORDSINDS = 5, dspropINCLBLOBSINDELTA = 9,
    dspropCOMPRESSARRAYS = 11, dspropDISABLESTRINGTRIM = 23, dspropDATAHASCHANGED = 24,
    dspropUTF8METADATA = 25, dspropUTF8ERRORMSG = 26, dspropANSICODEPAGE = 27
};
// clang-format on

// The null byte that follows the slots of an engine record, one per column.
inline constexpr std::uint8_t recValue = 0;
inline constexpr std::uint8_t recNull = BLANK_NULL;
inline constexpr std::uint8_t recNotChanged = BLANK_NOTCHANGED;

// An optional parameter as the record store keeps it: the value bytes are
// encoded as in the packet (a varying value keeps its length prefix).
struct TDSOptParam {
    std::string Name;
    std::uint32_t Type = 0;  // field type code, dsIncInDelta kept
    rtl::TBytes Value;
};

// The base of the engine's objects, so that one factory makes all three.
class IDSObject {
public:
    virtual ~IDSObject() = default;
};

// Produces a data packet: the metadata (columns and parameters), then rows
// value by value. A failing call leaves the packet unfinished.
class IDSWriter : public IDSObject {
public:
    // Starts a packet that carries its metadata; Fields is the total column count.
    virtual DBResult Init_Sequential(std::uint32_t Version, std::uint16_t Fields) = 0;
    // Starts a rows-only packet with the columns FieldDescs (Fields of them);
    // a null FieldDescs keeps the columns already registered.
    virtual DBResult Init(std::uint32_t Version, std::uint16_t Fields, const TDSDataPacketFldDesc* FieldDescs) = 0;
    // Adds a parameter to the column described last (dsAttrField) or to the
    // packet (dsAttrPacket). For a varying type Len counts the prefix too and
    // Value points at the data. A null Value closes the current nested level.
    virtual DBResult AddAttribute(std::uint32_t Area, const char* Name, std::uint32_t AttrType, std::uint32_t Len,
                                  const void* Value) = 0;
    // Finishes the packet and hands it over.
    virtual DBResult GetDataPacket(rtl::TBytes& Packet) = 0;
    virtual DBResult GetSize(std::uint32_t& Size) = 0;
    // Appends the next value of the current row: Status fldIsValue, fldIsNull
    // or fldIsNotChanged; the first call of each row gives the status byte.
    virtual DBResult PutField(std::uint32_t Status, std::uint32_t Len, const void* Src) = 0;
    virtual DBResult AddColumnDesc(const TDSDataPacketFldDesc& Desc) = 0;
    // Starts the next rows-only packet with the same columns.
    virtual DBResult Reset() = 0;
    virtual DBResult GetColumnCount(std::uint32_t& Count) = 0;
    // Copies the registered columns into Descs (GetColumnCount entries).
    virtual DBResult GetColumnDescs(TDSDataPacketFldDesc* Descs) = 0;
    // Copies the message of Code into Text (ErrorStringSize bytes).
    virtual DBResult GetErrorString(DBResult Code, char* Text) = 0;
    virtual DBResult EndOfNestedRows() = 0;
    virtual DBResult SetXMLMode(std::int32_t Mode) = 0;
    virtual DBResult GetXMLMode(std::int32_t& Mode) = 0;
};

// The in-memory record store: reads packets (metadata from the first, rows
// from every one) and keeps the rows in arrival order, numbered from 1.
// Its operations are serialised by a lock of its own.
class IDSBase : public IDSObject {
public:
    // Appends the rows of Packet; a null Packet only marks the store complete.
    // HitEOF marks the store complete after the append.
    virtual DBResult AppendData(const rtl::TBytes* Packet, bool HitEOF) = 0;
    virtual DBResult GetProps(DSProps& Props) = 0;
    // Copies the column descriptors into Descs (DSProps::iFields entries).
    virtual DBResult GetFieldDescs(DSFLDDesc* Descs) = 0;
    // The optional parameter Name (compared without regard to case) of column
    // FieldNo, or of the packet when FieldNo is 0; DBERR_NOSUCHINDEX when absent.
    virtual DBResult GetOptParameter(std::uint32_t FieldNo, const char* Name, TDSOptParam& Param) = 0;
    virtual DBResult GetProp(std::uint32_t Prop, std::uint32_t& Value) = 0;
    virtual DBResult SetProp(std::uint32_t Prop, std::uint32_t Value) = 0;
    // Drops every record and blob; the columns stay.
    virtual DBResult Reset() = 0;
    virtual DBResult GetErrorString(DBResult Code, char* Text) = 0;
};

// A position over a record store's records, with cracks before the first
// (DBERR_BOF) and after the last (DBERR_EOF).
// The store must remain live while the cursor is in use.
class IDSCursor : public IDSObject {
public:
    virtual DBResult InitCursor(std::shared_ptr<IDSBase> DSBase) = 0;
    virtual DBResult GetCursorProps(CURProps& Props) = 0;
    // Copies the record under the cursor (CURProps::iRecBufSize bytes).
    virtual DBResult GetCurrentRecord(std::uint8_t* RecBuf) = 0;
    // Writes the cursor's bookmark (CURProps::iBookMarkSize bytes).
    virtual DBResult GetCurrentBookMark(std::uint8_t* Bookmark) = 0;
    virtual DBResult GetSequenceNumber(std::uint32_t& SeqNo) = 0;
    virtual DBResult GetRecordAttribute(std::uint8_t& Attribute) = 0;
    virtual DBResult GetRecordCount(std::int32_t& Count) = 0;
    virtual DBResult MoveToBOF() = 0;
    virtual DBResult MoveToEOF() = 0;
    virtual DBResult MoveRelative(std::int32_t Offset) = 0;
    virtual DBResult MoveToSeqNo(std::int32_t SeqNo) = 0;
    virtual DBResult MoveToBookMark(const std::uint8_t* Bookmark) = 0;
    // Result -1, 0 or 1 by the two bookmarks' positions.
    virtual DBResult CompareBookMarks(const std::uint8_t* Bookmark1, const std::uint8_t* Bookmark2, int& Result) = 0;
    // Copies column FieldNo's slot of the record RecBuf into Dest (unless
    // Dest is null) and tells whether it is null.
    virtual DBResult GetField(const std::uint8_t* RecBuf, std::uint32_t FieldNo, void* Dest, bool& IsBlank) = 0;
    // The length in bytes of the blob column FieldNo of RecBuf (0 when null).
    virtual DBResult GetBlobLen(const std::uint8_t* RecBuf, std::uint32_t FieldNo, std::uint32_t& Length) = 0;
    // Copies up to Length bytes of the blob from Offset into Dest; Length
    // becomes the number copied.
    virtual DBResult GetBlob(const std::uint8_t* RecBuf, std::uint32_t FieldNo, std::uint32_t Offset, void* Dest,
                             std::uint32_t& Length) = 0;
};

// --- Creating the engine's objects ---

struct TGUID {
    std::uint32_t D1;
    std::uint16_t D2, D3;
    std::uint8_t D4[8];
    bool operator==(const TGUID&) const = default;
};

// clang-format off
inline constexpr TGUID CLSID_DSBase{0x9E8D2FA1, 0x591C, 0x11D0, {0xBF, 0x52, 0x00, 0x20, 0xAF, 0x32, 0xBD, 0x64}};
inline constexpr TGUID IID_IDSBase{0x9E8D2FA2, 0x591C, 0x11D0, {0xBF, 0x52, 0x00, 0x20, 0xAF, 0x32, 0xBD, 0x64}};
inline constexpr TGUID CLSID_DSCursor{0x9E8D2FA3, 0x591C, 0x11D0, {0xBF, 0x52, 0x00, 0x20, 0xAF, 0x32, 0xBD, 0x64}};
inline constexpr TGUID IID_IDSCursor{0x9E8D2FA4, 0x591C, 0x11D0, {0xBF, 0x52, 0x00, 0x20, 0xAF, 0x32, 0xBD, 0x64}};
inline constexpr TGUID CLSID_DSWriter{0x9E8D2FA5, 0x591C, 0x11D0, {0xBF, 0x52, 0x00, 0x20, 0xAF, 0x32, 0xBD, 0x64}};
inline constexpr TGUID IID_IDSWriter{0x9E8D2FA6, 0x591C, 0x11D0, {0xBF, 0x52, 0x00, 0x20, 0xAF, 0x32, 0xBD, 0x64}};
inline constexpr TGUID CLSID_DSReader{0x9E8D2FA7, 0x591C, 0x11D0, {0xBF, 0x52, 0x00, 0x20, 0xAF, 0x32, 0xBD, 0x64}};
// clang-format on

// Creates one engine object of class ClassId through the class-object entry
// point the engine registers at start-up; raises EDBClient "Class not
// available" for a class it does not make.
std::unique_ptr<IDSObject> CreateDbClientObject(const TGUID& ClassId);

// The three kinds, typed.
std::shared_ptr<IDSBase> CreateDSBase();
std::unique_ptr<IDSCursor> CreateDSCursor();
std::unique_ptr<IDSWriter> CreateDSWriter();

// --- Packets inside variants ---

// Wraps a packet as a variant holding its bytes.
void DataPacketToVariant(rtl::TBytes Packet, rtl::Variant& V);
// The packet V holds: null for a Null V, the bytes when V holds more than 21
// of them; raises EDBClient "Invalid data packet" otherwise (an unassigned V
// included).
const rtl::TBytes* VarToDataPacket(const rtl::Variant& V);
// Destroys a packet held outside a variant: its bytes are released at once.
void FreeDataPacket(rtl::TBytes& Packet);

}  // namespace datapacket
