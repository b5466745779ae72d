#pragma once
// TCustomConnection: the base of connection components, with the registered
// clients (datasets and others) that are told when it connects or disconnects,
// and the hook through which it shows the wait cursor.

#include <functional>
#include <vector>

#include "rtl/component.h"

namespace data {

class TDataSet;
class TCustomConnection;

// Sets the screen's mouse cursor (codes of the toolkit, -11 the hourglass);
// the toolkit installs it, and nothing happens while it is empty.
using TScreenCursorProc = std::function<void(int CursorCode)>;
extern TScreenCursorProc ScreenCursorProc;

using TConnectChangeEvent = std::function<void(TCustomConnection& Sender, bool Connecting)>;
using TConnectionNotifyEvent = std::function<void(TCustomConnection& Sender)>;

class TCustomConnection : public rtl::TComponent {
public:
    explicit TCustomConnection(rtl::TComponent* AOwner);
    // Derived classes disconnect in their own destructor (virtual calls do not
    // reach them from here); this one only forgets its clients.
    ~TCustomConnection() override;

    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    bool Connected() { return GetConnected(); }
    virtual void SetConnected(bool Value);

    TDataSet* DataSets(int Index) { return GetDataSet(Index); }
    int DataSetCount() { return GetDataSetCount(); }
    // Adds a client told of connecting and disconnecting through its
    // callback (when given) and, for a dataset, through deConnectChange.
    virtual void RegisterClient(rtl::TComponent* Client, TConnectChangeEvent ConnectEvent = nullptr);
    virtual void UnRegisterClient(rtl::TComponent* Client);

    TConnectionNotifyEvent BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;

protected:
    virtual void DoConnect() {}
    virtual void DoDisconnect() {}
    virtual bool GetConnected() { return false; }
    virtual TDataSet* GetDataSet(int Index);
    virtual int GetDataSetCount();
    void SendConnectEvent(bool Connecting);
    void Loaded() override;
    // A client that goes away unregisters itself.
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
    bool FStreamedConnected = false;

private:
    struct TClientEntry {
        rtl::TComponent* Component;
        TConnectChangeEvent Event;
    };
    bool IsRegistered(const rtl::TComponent* Client) const;
    void Fire(const TConnectionNotifyEvent& Event) {
        if (Event) Event(*this);
    }
    std::vector<TDataSet*> FDataSets;
    std::vector<TClientEntry> FClients;
};

}  // namespace data
