#include "data/connection.h"

#include <algorithm>

#include "data/dataset.h"

namespace data {

TScreenCursorProc ScreenCursorProc;

TCustomConnection::TCustomConnection(rtl::TComponent* AOwner) : rtl::TComponent(AOwner) {}

TCustomConnection::~TCustomConnection() {
    Destroying();
    FClients.clear();
    FDataSets.clear();
}

void TCustomConnection::SetConnected(bool Value) {
    // While the owner is read from the form a connection is only noted, to
    // be made once loading completes; a disconnection is made at once (and
    // drops a noted connection).
    if (ComponentState().Contains(rtl::csLoading)) {
        FStreamedConnected = Value;
        if (Value) return;
    }
    if (Value == GetConnected()) return;
    const bool destroying = ComponentState().Contains(rtl::csDestroying);
    if (Value) {
        Fire(BeforeConnect);
        DoConnect();
        SendConnectEvent(true);
        Fire(AfterConnect);
    } else {
        if (!destroying) Fire(BeforeDisconnect);
        SendConnectEvent(false);
        DoDisconnect();
        if (!destroying) Fire(AfterDisconnect);
    }
}

void TCustomConnection::Loaded() {
    rtl::TComponent::Loaded();
    if (!FStreamedConnected) return;
    FStreamedConnected = false;
    try {
        SetConnected(true);
    } catch (const rtl::Exception&) {
        // At design time a failed connection is shown, not raised; there is no
        // designer here, so the failure propagates.
        if (!ComponentState().Contains(rtl::csDesigning)) throw;
    }
}

void TCustomConnection::SendConnectEvent(bool Connecting) {
    // Walk a copy, since a client told of the change may unregister itself or
    // free (and so unregister) another one; a client that is no longer
    // registered when its turn comes is skipped, as it may be gone.
    const std::vector<TClientEntry> clients = FClients;
    for (const TClientEntry& c : clients) {
        if (!IsRegistered(c.Component)) continue;
        if (c.Event) c.Event(*this, Connecting);
        if (!IsRegistered(c.Component)) continue;
        if (auto* ds = dynamic_cast<TDataSet*>(c.Component)) ds->DataEvent(deConnectChange, Connecting);
    }
}

bool TCustomConnection::IsRegistered(const rtl::TComponent* Client) const {
    return std::any_of(FClients.begin(), FClients.end(), [&](const TClientEntry& c) { return c.Component == Client; });
}

void TCustomConnection::RegisterClient(rtl::TComponent* Client, TConnectChangeEvent ConnectEvent) {
    if (auto* ds = dynamic_cast<TDataSet*>(Client)) FDataSets.push_back(ds);
    FClients.push_back({Client, std::move(ConnectEvent)});
    if (Client) FreeNotification(Client);
}

void TCustomConnection::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    rtl::TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::TOperation::opRemove) UnRegisterClient(AComponent);
}

void TCustomConnection::UnRegisterClient(rtl::TComponent* Client) {
    auto it =
        std::find_if(FClients.begin(), FClients.end(), [&](const TClientEntry& c) { return c.Component == Client; });
    if (it != FClients.end()) FClients.erase(it);
    auto d = std::find(FDataSets.begin(), FDataSets.end(), Client);
    if (d != FDataSets.end()) FDataSets.erase(d);
}

TDataSet* TCustomConnection::GetDataSet(int Index) { return FDataSets.at(Index); }

int TCustomConnection::GetDataSetCount() { return static_cast<int>(FDataSets.size()); }

}  // namespace data
