#pragma once
// The data provider family: TDataSetProvider publishes the rows of a source
// dataset as data packets, written by TDataPacketWriter through the engine's
// IDSWriter; TLocalAppServer is the application server through which a
// client dataset in the same process reaches a provider.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "rtl/component.h"
#include "rtl/exceptions.h"
#include "rtl/set.h"
#include "rtl/variant.h"

namespace data {
class TDataSet;
class TField;
struct TPacketAttribute;
using TPacketAttributeList = std::vector<TPacketAttribute>;
class TParams;
}  // namespace data

namespace datapacket {

using rtl::String;
using rtl::StringView;

class IDSWriter;

// clang-format off
enum TProviderOption {
    poFetchBlobsOnDemand, poFetchDetailsOnDemand, poIncFieldProps, poCascadeDeletes, poCascadeUpdates,
    poReadOnly, poAllowMultiRecordUpdates, poDisableInserts, poDisableEdits, poDisableDeletes, poNoReset,
    poAutoRefresh, poPropogateChanges, poAllowCommandText, poRetainServerOrder, poUseQuoteChar
};
// clang-format on
using TProviderOptions = rtl::Set<TProviderOption>;

// Passed between client and provider as an integer whose bit N is option N.
enum TGetRecordOption { grMetaData, grReset, grXML, grXMLUTF8 };
using TGetRecordOptions = rtl::Set<TGetRecordOption>;
std::int32_t GetRecordOptionsToInt(TGetRecordOptions Options);
TGetRecordOptions IntToGetRecordOptions(std::int32_t Bits);

// The outcome of an application-server call: exceptions do not cross the
// server boundary; they travel as a failure code with their message.
struct TServerResult {
    static constexpr std::int32_t S_OK = 0;
    static constexpr std::int32_t E_ABORT = static_cast<std::int32_t>(0x80004004);
    static constexpr std::int32_t E_FAIL = static_cast<std::int32_t>(0x80004005);
    std::int32_t Code = S_OK;
    String Message;
};

// What a failed server call raises on the client side: the server's message.
class EAppServerError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// Raises again the failure a server call reported: a silent EAbort for an
// abort, EAppServerError with the same message otherwise.
void CheckServerResult(const TServerResult& Result);

// The application server a client dataset talks to: record requests, the
// application's own data requests, the source's parameters and commands run
// on the source. No call raises; a failure comes back as its result.
class IAppServer {
public:
    virtual ~IAppServer() = default;
    virtual TServerResult AS_GetRecords(StringView ProviderName, std::int32_t Count, std::int32_t& RecsOut,
                                        std::int32_t Options, StringView CommandText, rtl::Variant& Params,
                                        rtl::Variant& OwnerData, rtl::Variant& Result) noexcept = 0;
    virtual TServerResult AS_DataRequest(StringView ProviderName, const rtl::Variant& Data,
                                         rtl::Variant& Result) noexcept = 0;
    virtual TServerResult AS_GetParams(StringView ProviderName, rtl::Variant& OwnerData,
                                       rtl::Variant& Result) noexcept = 0;
    virtual TServerResult AS_Execute(StringView ProviderName, StringView CommandText, rtl::Variant& Params,
                                     rtl::Variant& OwnerData) noexcept = 0;
};

class TCustomProvider;

// An owner that keeps a list of the providers made with it as their owner:
// each registers itself when created and leaves when destroyed.
class IProviderContainer {
public:
    virtual ~IProviderContainer() = default;
    virtual void RegisterProvider(TCustomProvider& Provider) = 0;
    virtual void UnRegisterProvider(TCustomProvider& Provider) = 0;
};

// A component that answers a client's requests for packets, parameters,
// commands and data, with before and after events around each request.
class TCustomProvider : public rtl::TComponent {
public:
    // The before and after events of a request; OwnerData is the caller's,
    // passed through unchanged unless a handler changes it.
    using TRemoteEvent = std::function<void(TCustomProvider& Sender, rtl::Variant& OwnerData)>;
    using TDataRequestEvent = std::function<rtl::Variant(TCustomProvider& Sender, const rtl::Variant& Input)>;

    explicit TCustomProvider(rtl::TComponent* AOwner);
    ~TCustomProvider() override;

    bool Exported() const { return FExported; }
    // Calls DoGetRecords.
    rtl::Variant GetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options, StringView CommandText,
                            rtl::Variant& Params, rtl::Variant& OwnerData);
    // The source's current parameters, packed; Null without any.
    rtl::Variant GetParams(rtl::Variant& OwnerData);
    // Runs the source's command, with CommandText and Params applied first;
    // packed parameters sent come back as the source's values after the run.
    void Execute(StringView CommandText, rtl::Variant& Params, rtl::Variant& OwnerData);
    // The application's answer to Input (OnDataRequest); Null without a handler.
    rtl::Variant DataRequest(const rtl::Variant& Input);
    // The source dataset, for providers that have one (a client dataset
    // refuses a provider whose source is itself).
    virtual data::TDataSet* SourceDataSet() const { return nullptr; }

    TRemoteEvent BeforeGetRecords;
    TRemoteEvent AfterGetRecords;
    TRemoteEvent BeforeGetParams;
    TRemoteEvent AfterGetParams;
    TRemoteEvent BeforeExecute;
    TRemoteEvent AfterExecute;
    TDataRequestEvent OnDataRequest;

protected:
    virtual rtl::Variant DoGetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options,
                                      StringView CommandText, rtl::Variant& Params, rtl::Variant& OwnerData);
    // Fires BeforeGetRecords.
    virtual void DoBeforeGetRecords(std::int32_t Count, std::int32_t Options, StringView CommandText,
                                    rtl::Variant& Params, rtl::Variant& OwnerData);
    // Fires AfterGetRecords.
    virtual void DoAfterGetRecords(rtl::Variant& OwnerData);
    virtual rtl::Variant InternalGetRecords(std::int32_t Count, std::int32_t& RecsOut, TGetRecordOptions Options,
                                            StringView CommandText, rtl::Variant& Params) = 0;
    // Fire BeforeExecute and AfterExecute; InternalExecute runs the command.
    virtual void DoBeforeExecute(StringView CommandText, rtl::Variant& Params, rtl::Variant& OwnerData);
    virtual void DoAfterExecute(rtl::Variant& OwnerData);
    virtual void InternalExecute(StringView CommandText, rtl::Variant& Params);
    // The source's current parameters, given back to a client that sent some.
    virtual rtl::Variant GetParamsVariant() { return rtl::Variant(); }

    bool FExported = true;
    rtl::Variant FOwnerData;
};

// A provider whose packets are written with its provider options.
class TBaseProvider : public TCustomProvider {
public:
    explicit TBaseProvider(rtl::TComponent* AOwner);
    TProviderOptions Options() const { return FProviderOptions; }
    void SetOptions(TProviderOptions Value) { FProviderOptions = Value; }

protected:
    rtl::Variant InternalGetRecords(std::int32_t Count, std::int32_t& RecsOut, TGetRecordOptions Options,
                                    StringView CommandText, rtl::Variant& Params) override;
    virtual void CreateDataPacket(TGetRecordOptions PacketOpts, TProviderOptions ProvOpts, rtl::Variant& Result,
                                  std::int32_t& RecsOut) = 0;

    TProviderOptions FProviderOptions{poUseQuoteChar};
};

// One column of a packet: the field it is read from and the routine that
// writes its value, chosen by the field's type when the metadata was written.
struct TPutFieldInfo;

// The engine writer a packet is written through and the scratch buffer
// every value is read into (it only grows).
class TCustomPacketWriter {
public:
    TCustomPacketWriter();
    virtual ~TCustomPacketWriter();
    TCustomPacketWriter(const TCustomPacketWriter&) = delete;
    TCustomPacketWriter& operator=(const TCustomPacketWriter&) = delete;

protected:
    // Raises EDSWriter with the engine's message for a non-zero Status.
    void Check(int Status);
    std::uint8_t* Buffer(std::size_t Size);

    std::unique_ptr<IDSWriter> FIDSWriter;
    rtl::TBytes FBuffer;
};

// Writes a dataset's metadata and rows into data packets. The column list
// is built with the metadata and only re-bound to the source's current
// fields for later packets. The dataset must outlive each GetDataPacket call.
class TDataPacketWriter : public TCustomPacketWriter {
public:
    using TPutProc = void (TDataPacketWriter::*)(TPutFieldInfo& Info);

    TDataPacketWriter();
    ~TDataPacketWriter() override;

    // Writes the metadata (when asked, or when no column list exists yet)
    // and up to RecsOut rows from the current one (-1: all); RecsOut becomes
    // the number written. Data receives the packet. Only the binary form is
    // written: a request for the XML form is refused by the engine writer.
    void GetDataPacket(data::TDataSet& DataSet, std::int32_t& RecsOut, rtl::Variant& Data);

    bool Constraints = true;
    TProviderOptions Options;
    TGetRecordOptions PacketOptions;
    // Collects the packet-wide attributes.
    std::function<void(data::TDataSet& DataSet, data::TPacketAttributeList& List)> OnGetParams;

private:
    void InitPutProcs(data::TDataSet& DataSet, int& GlobalIdx);
    void InitFieldProc(data::TField& Field, TPutFieldInfo& Info, int& GlobalIdx);
    void WriteMetaData(data::TDataSet& DataSet);
    void AddColumn(TPutFieldInfo& Info);
    void AddAttribute(std::uint32_t Area, const char* Name, const rtl::Variant& Value, bool IncludeInDelta);
    void AddDataSetAttributes(data::TDataSet& DataSet);
    int WriteDataSet(data::TDataSet& DataSet, int Count);
    void RefreshPutProcs(data::TDataSet& DataSet);
    // The engine's XML mode for the request's options (0: binary).
    std::int32_t XMLMode() const;

    void PutField(TPutFieldInfo& Info);
    void PutDateTimeField(TPutFieldInfo& Info);
    void PutStringField(TPutFieldInfo& Info);
    void PutWideStringField(TPutFieldInfo& Info);
    void PutVarBytesField(TPutFieldInfo& Info);
    void PutBlobField(TPutFieldInfo& Info);
    // Reads the field's value into FBuffer, cleared over at least Least bytes
    // (and the field's data size) plus one spare zero byte. Without a value
    // it writes a null and gives nullptr.
    std::uint8_t* ReadValue(TPutFieldInfo& Info, int Least);
    // Reads a wide string field into FBuffer (zero-terminated); Bytes is its
    // length. Without a value it writes a null and gives false.
    bool ReadWideString(TPutFieldInfo& Info, std::size_t& Bytes);
    // The conversions between a wide string column and a wide memo field
    // and back, for a source that re-describes a text column.
    void PutWideMemoAsWideString(TPutFieldInfo& Info);
    void PutWideStringAsWideMemo(TPutFieldInfo& Info);
    // Refuses a value whose field changed to a type its column cannot hold.
    [[noreturn]] void PutUnconvertible(TPutFieldInfo& Info);
    void PutValue(const void* Data, std::uint32_t Len);
    void PutNull();

    std::vector<TPutFieldInfo> FPutFieldInfo;
};

// Publishes the rows of a source dataset as data packets. The source is
// forgotten when it is destroyed first; the packet writer lives as long as
// the provider.
class TDataSetProvider : public TBaseProvider {
public:
    explicit TDataSetProvider(rtl::TComponent* AOwner);
    ~TDataSetProvider() override;

    data::TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(data::TDataSet* Value);
    data::TDataSet* SourceDataSet() const override { return FDataSet; }
    bool ResolveToDataSet() const { return FResolveToDataSet; }
    void SetResolveToDataSet(bool Value) { FResolveToDataSet = Value; }
    bool Constraints() const { return FConstraints; }
    void SetConstraints(bool Value) { FConstraints = Value; }
    int RecordsSent() const { return FRecordsSent; }

    // Closes the source when the provider opened it, resets it onto its
    // first row and forgets the rows sent.
    void Reset();
    // "Missing DataSet property" without a source.
    void CheckDataSet() const;

    // Adds packet attributes of the application's own.
    std::function<void(TDataSetProvider& Sender, data::TDataSet& DataSet, data::TPacketAttributeList& List)>
        OnGetDataSetProperties;

protected:
    rtl::Variant InternalGetRecords(std::int32_t Count, std::int32_t& RecsOut, TGetRecordOptions Options,
                                    StringView CommandText, rtl::Variant& Params) override;
    void DoBeforeGetRecords(std::int32_t Count, std::int32_t Options, StringView CommandText, rtl::Variant& Params,
                            rtl::Variant& OwnerData) override;
    void CreateDataPacket(TGetRecordOptions PacketOpts, TProviderOptions ProvOpts, rtl::Variant& Result,
                          std::int32_t& RecsOut) override;
    void DoBeforeExecute(StringView CommandText, rtl::Variant& Params, rtl::Variant& OwnerData) override;
    void InternalExecute(StringView CommandText, rtl::Variant& Params) override;
    // The source's parameter list, packed (Null when it has none).
    rtl::Variant GetParamsVariant() override;
    void DoGetProviderAttributes(data::TDataSet& DataSet, data::TPacketAttributeList& List);
    void SetCommandText(StringView CommandText);
    void SetParams(const rtl::Variant& Params);
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

private:
    data::TDataSet* FDataSet = nullptr;
    bool FDataSetOpened = false;
    std::unique_ptr<TDataPacketWriter> FDSWriter;
    std::unique_ptr<data::TParams> FParams;
    bool FResolveToDataSet = false;
    int FRecordsSent = 0;
    bool FConstraints = true;
};

// The application server of a provider in the same process. Made around a
// provider, it only uses it (the provider must outlive it); made around a
// bare dataset, it creates a provider of its own and frees it with itself
// (the dataset must then outlive the requests).
class TLocalAppServer : public IAppServer {
public:
    explicit TLocalAppServer(TCustomProvider& AProvider);
    explicit TLocalAppServer(data::TDataSet& ADataSet);
    ~TLocalAppServer() override;
    TLocalAppServer(const TLocalAppServer&) = delete;
    TLocalAppServer& operator=(const TLocalAppServer&) = delete;

    TServerResult AS_GetRecords(StringView ProviderName, std::int32_t Count, std::int32_t& RecsOut,
                                std::int32_t Options, StringView CommandText, rtl::Variant& Params,
                                rtl::Variant& OwnerData, rtl::Variant& Result) noexcept override;
    TServerResult AS_DataRequest(StringView ProviderName, const rtl::Variant& Data,
                                 rtl::Variant& Result) noexcept override;
    TServerResult AS_GetParams(StringView ProviderName, rtl::Variant& OwnerData,
                               rtl::Variant& Result) noexcept override;
    TServerResult AS_Execute(StringView ProviderName, StringView CommandText, rtl::Variant& Params,
                             rtl::Variant& OwnerData) noexcept override;
    TCustomProvider& Provider() const { return *FProvider; }
    // True when the provider is this object's own.
    bool ProviderCreated() const { return FCreatedProvider != nullptr; }

private:
    // The provider made around a bare dataset; empty when serving another's.
    std::unique_ptr<TCustomProvider> FCreatedProvider;
    TCustomProvider* FProvider;
};

}  // namespace datapacket
