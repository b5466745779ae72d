// The engine's messages, its class-object entry point with the start-up
// registration through which the client side creates engine objects, and the
// variant wrapping of packets.

#include <cstring>

#include "datapacket/ds_base.h"
#include "datapacket/ds_cursor.h"
#include "datapacket/ds_errors.h"
#include "datapacket/ds_intf.h"
#include "datapacket/ds_reader.h"
#include "datapacket/ds_writer.h"

namespace datapacket {

const char* ErrorMessage(DBResult Code) {
    switch (Code) {
        case DBERR_NONE: return "Successful completion.";
        case DBERR_BOF: return "At beginning of table.";
        case DBERR_EOF: return "At end of table.";
        case DBERR_NOMEMORY: return "Insufficient memory for this operation.";
        case DBERR_OUTOFRANGE: return "Number is out of range.";
        case DBERR_INVALIDPARAM: return "Invalid parameter.";
        case DBERR_NOSUCHINDEX: return "Index does not exist.";
        case DBERR_INVALIDFLDTYPE: return "Invalid field type.";
        case DBERR_NULLFIELDNAME: return "Field name can't be null, datapacket may be corrupted";
        case DBERR_NA: return "Operation not applicable.";
        case DBERR_DELTAISEMPTY: return "Delta is empty.";
        case DBERR_NOTHINGTOUNDO: return "Nothing to undo.";
        case DBERR_NOMETADATA: return "Datapacket contains no meta data.";
        case DBERR_CANNOTAPPEND: return "Trying to append data to a non-partial dataset.";
        case DBERR_DATAPACKETMISMATCH: return "Mismatch in datapacket.";
        case DBERR_NEWERVERSIONREQ: return "Newer version required.";
        case DBERR_BLOBNOTFETCHED: return "Blob has not been fetched.";
        case DBERR_DETAILSNOTFETCHED: return "Details has not been fetched.";
        case DBERR_NOXMLDATATYPE: return "Fieldtype not supported for XML.";
        case DBERR_NODELAYEDXML: return "Delayed fetching not supported for XML.";
        default: return "";
    }
}

DBResult CopyErrorString(DBResult Code, char* Text) {
    if (!Text) return DBERR_INVALIDPARAM;
    std::strncpy(Text, ErrorMessage(Code), ErrorStringSize - 1);
    Text[ErrorStringSize - 1] = 0;
    return DBERR_NONE;
}

namespace {

using TClassObjectEntry = std::unique_ptr<IDSObject> (*)(const TGUID& ClassId);

// The entry point the client side creates engine objects through.
TClassObjectEntry& RegisteredEntry() {
    static TClassObjectEntry entry = nullptr;
    return entry;
}

std::unique_ptr<IDSObject> EngineClassObject(const TGUID& ClassId) {
    if (ClassId == CLSID_DSBase) return std::make_unique<TDSBase>();
    if (ClassId == CLSID_DSCursor) return std::make_unique<TDSCursor>();
    if (ClassId == CLSID_DSWriter) return std::make_unique<TDSWriter>();
    if (ClassId == CLSID_DSReader) return std::make_unique<TDSReader>();
    return nullptr;
}

// The engine registers its entry point as the program starts, so nothing is
// looked up or loaded at run time.
const struct TEngineRegistration {
    TEngineRegistration() { RegisteredEntry() = &EngineClassObject; }
} EngineRegistration;

[[noreturn]] void ClassNotAvailable() { throw EDBClient(u"Class not available", 0); }

template <typename I>
std::unique_ptr<I> Create(const TGUID& ClassId) {
    std::unique_ptr<IDSObject> object = CreateDbClientObject(ClassId);
    auto* typed = dynamic_cast<I*>(object.get());
    if (!typed) ClassNotAvailable();
    object.release();
    return std::unique_ptr<I>(typed);
}

}  // namespace

std::unique_ptr<IDSObject> CreateDbClientObject(const TGUID& ClassId) {
    const TClassObjectEntry entry = RegisteredEntry();
    std::unique_ptr<IDSObject> object = entry ? entry(ClassId) : nullptr;
    if (!object) ClassNotAvailable();
    return object;
}

std::shared_ptr<IDSBase> CreateDSBase() { return Create<IDSBase>(CLSID_DSBase); }
std::unique_ptr<IDSCursor> CreateDSCursor() { return Create<IDSCursor>(CLSID_DSCursor); }
std::unique_ptr<IDSWriter> CreateDSWriter() { return Create<IDSWriter>(CLSID_DSWriter); }

void DataPacketToVariant(rtl::TBytes Packet, rtl::Variant& V) { V = rtl::Variant(std::move(Packet)); }

void FreeDataPacket(rtl::TBytes& Packet) { rtl::TBytes().swap(Packet); }

const rtl::TBytes* VarToDataPacket(const rtl::Variant& V) {
    // Only Null means "no packet": an unassigned variant is an answer that
    // holds nothing, and taking it for no rows would empty a store silently.
    if (V.IsNull()) return nullptr;
    // A byte array whose upper bound is above 20, i.e. more than 21 bytes.
    if (V.VarType() == rtl::TVarType::varBytes && V.AsBytes().size() > 21) return &V.AsBytes();
    throw EDBClient(u"Invalid data packet", 0);
}

}  // namespace datapacket
