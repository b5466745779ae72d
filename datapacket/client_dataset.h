#pragma once
// The client dataset: a bidirectional, in-memory dataset whose rows arrive as
// data packets from a provider (found by name among its owner's components)
// and live in the engine's record store, read through an engine cursor.
// Only reading is built: the dataset is never edited.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/dataset.h"
#include "datapacket/packed_params.h"

namespace datapacket {

class IAppServer;
class IDSBase;
class IDSCursor;
class TCustomProvider;

enum TDataSetOption { doDisableInserts, doDisableDeletes, doDisableEdits, doNoResetCall };
using TDataSetOptions = rtl::Set<TDataSetOption>;

class TCustomClientDataSet : public data::TDataSet {
public:
    // Rows asked for per packet: every row.
    static constexpr std::int32_t AllRecords = -1;

    explicit TCustomClientDataSet(rtl::TComponent* AOwner);
    ~TCustomClientDataSet() override;

    const rtl::String& ProviderName() const { return FProviderName; }
    void SetProviderName(rtl::StringView Value);
    std::int32_t PacketRecords() const { return FPacketRecords; }
    void SetPacketRecords(std::int32_t Value) { FPacketRecords = Value; }
    bool FetchOnDemand() const { return FFetchOnDemand; }
    void SetFetchOnDemand(bool Value) { FFetchOnDemand = Value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool ProviderEOF() const { return FProviderEOF; }
    void SetProviderEOF(bool Value) { FProviderEOF = Value; }
    bool DisableStringTrim() const { return FDisableStringTrim; }
    void SetDisableStringTrim(bool Value) { FDisableStringTrim = Value; }
    bool IncludeBlobsInDelta() const { return FIncludeBlobsInDelta; }
    void SetIncludeBlobsInDelta(bool Value) { FIncludeBlobsInDelta = Value; }
    // The record store while the dataset is open, else null.
    IDSBase* DSBase() const { return FDSBase.get(); }
    const rtl::String& CommandText() const { return FCommandText; }
    void SetCommandText(rtl::StringView Value) { FCommandText = rtl::String(Value); }
    data::TParams& Params() { return *FParams; }
    TDataSetOptions DSOptions() const { return FDSOptions; }

    // The application server of the named provider ("Missing data provider
    // or data packet", "Circular provider references not allowed").
    IAppServer& GetAppServer();
    bool HasAppServer() const { return FAppServer != nullptr; }

    // Asks the provider for Count rows and gives its packet.
    virtual rtl::Variant DoGetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options,
                                      rtl::StringView CommandText, rtl::Variant Params);
    void FetchMoreData(bool All);
    std::int32_t GetNextPacket();
    void CheckProviderEOF();
    void AddDataPacket(const rtl::Variant& Data, bool HitEOF);
    // Opens the dataset on the packet Data holds, closing it first; Null or
    // unassigned leave it closed. Without a provider the data are kept across
    // a close and reopened from memory.
    void SetData(const rtl::Variant& Data);

    using data::TDataSet::GetFieldData;
    bool GetFieldData(data::TField* Field, void* Buffer) override;
    std::unique_ptr<rtl::TStream> CreateBlobStream(data::TField* Field, data::TBlobStreamMode Mode) override;
    int GetBlobFieldData(int FieldNo, rtl::TBytes& Buffer) override;
    using data::TDataSet::SetFieldData;
    void SetFieldData(data::TField* Field, const void* Buffer) override;
    bool BookmarkValid(const data::TBookmark& Bookmark) override;
    int CompareBookmarks(const data::TBookmark& Bookmark1, const data::TBookmark& Bookmark2) override;

    std::function<void(TCustomClientDataSet&Sender, rtl::Variant&OwnerData)> BeforeGetRecords, AfterGetRecords;

protected:
    void OpenCursor(bool InfoQuery) override;
    void CloseCursor() override;
    void InternalOpen() override;
    void InternalClose() override;
    void InternalHandleException() override {}
    void InternalInitFieldDefs() override;
    bool IsCursorOpen() override { return FDSCursor != nullptr; }
    data::TGetResult GetRecord(data::TRecordBuffer Buffer, data::TGetMode GetMode, bool DoCheck) override;
    data::TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(data::TRecordBuffer& Buffer) override;
    int GetRecordSize() override { return static_cast<int>(FRecordSize); }
    void InternalFirst() override;
    void InternalLast() override;
    void InternalSetToRecord(data::TRecordBuffer Buffer) override;
    void InternalGotoBookmark(const data::TBookmark& Bookmark) override;
    void InternalRefresh() override;
    data::TBookmarkFlag GetBookmarkFlag(data::TRecordBuffer Buffer) override;
    void SetBookmarkFlag(data::TRecordBuffer Buffer, data::TBookmarkFlag Value) override;
    void GetBookmarkData(data::TRecordBuffer Buffer, data::TBookmark& Data) override;
    void SetBookmarkData(data::TRecordBuffer Buffer, const data::TBookmark& Data) override;
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNoValue(int Value) override;
    bool GetCanModify() override { return FCanModify && !FReadOnly; }
    bool GetCanRefresh() override { return HasAppServer(); }
    // Calculated fields live after the engine record: per field a byte that
    // is 1 when it holds a value, then the value in its native form.
    void ClearCalcFields(data::TRecordBuffer Buffer) override;
    void GetCalcFields(data::TRecordBuffer Buffer) override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // Raises EDBClient with the engine's message when Status is not 0.
    void Check(std::uint16_t Status);

private:
    // The record buffer of the current state, or null when there is none.
    data::TRecordBuffer RecordBufferOfState();
    // The number of a field's definition (0 for none), by which the column
    // maps below are kept.
    std::size_t DefinitionNo(const data::TField* Field) const;
    // The engine column of a field (0 for none).
    std::uint32_t ColumnOf(const data::TField* Field) const;
    bool PacketFlag(const char* Name);
    void CheckFieldProps();
    // The engine's wide-string slot (a byte count, then UTF-16) as the
    // zero-terminated text a wide string field reads, cut to its size.
    static void EngineToText(const data::TField& Field, const std::uint8_t* Slot, void* Dest);
    void ReleaseAppServer();

    // The engine and the provider.
    std::shared_ptr<IDSBase> FDSBase;
    std::unique_ptr<IDSCursor> FDSCursor;
    std::unique_ptr<IAppServer> FAppServer;
    TCustomProvider* FProvider = nullptr;  // the provider FAppServer serves
    rtl::String FProviderName;
    rtl::String FCommandText;
    std::unique_ptr<data::TParams> FParams;
    std::int32_t FPacketRecords = AllRecords;
    bool FFetchOnDemand = true;
    bool FProviderEOF = true;
    bool FReadOnly = false;
    bool FCanModify = false;
    bool FDisableStringTrim = false;
    bool FIncludeBlobsInDelta = false;
    TDataSetOptions FDSOptions;

    // The record buffer layout: engine record, calculated fields, record
    // information, bookmark.
    std::uint32_t FRecordSize = 0;
    std::uint32_t FRecInfoOfs = 0;
    std::uint32_t FBookmarkOfs = 0;
    std::uint32_t FRecBufSize = 0;
    data::TRecordBufferPool FRecordBuffers;
    // Per definition number, the engine column and its slot length; and
    // per definition, in their order, the definition's number. A link
    // column takes a number but has no definition, so a number and a place
    // among the definitions part after one.
    std::vector<std::uint32_t> FColumnOfFieldNo;
    std::vector<std::uint32_t> FSlotLength;
    std::vector<int> FDefinitionNos;
    rtl::TBytes FScratch;

    // Data given without a provider: the packets the store was filled from,
    // kept across a close (FSavedPacket) and reopened from at the next open.
    std::vector<rtl::TBytes> FSavedPacket;
    std::vector<rtl::TBytes> FStorePackets;
    bool FSavePacketOnClose = false;
};

// The client dataset as the window's design uses it.
class TClientDataSet : public TCustomClientDataSet {
public:
    using TCustomClientDataSet::TCustomClientDataSet;
};

}  // namespace datapacket
