#pragma once
// TComponent: the base of every named part of the system. An owner frees the
// components it owns, last created first; components that asked for it are told
// when another one goes away, so no one keeps a dangling reference.

#include <memory>
#include <vector>

#include "rtl/set.h"
#include "rtl/strings.h"

namespace rtl {

enum class TOperation { opInsert, opRemove };

// clang-format off
enum TComponentStateFlag {
    csLoading, csReading, csWriting, csDestroying, csDesigning,
    csAncestor, csUpdating, csFixups, csFreeNotification, csInline, csDesignInstance
};
// clang-format on
using TComponentState = Set<TComponentStateFlag>;

class TComponent {
public:
    // Registers the new component with AOwner, which then owns it.
    explicit TComponent(TComponent* AOwner);
    virtual ~TComponent();

    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const String& Name() const { return FName; }
    // Raises EComponentError for a name that is not an identifier or that
    // another component of the same owner already has.
    virtual void SetName(const String& NewName);

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int Index) const;
    // The owned component of that name (letter case ignored), or null.
    TComponent* FindComponent(StringView AName) const;

    // Takes ownership of AComponent (which must have no owner).
    void InsertComponent(TComponent* AComponent);
    // Gives up ownership of AComponent and hands it to the caller.
    std::unique_ptr<TComponent> RemoveComponent(TComponent* AComponent);
    // Frees every owned component, last created first.
    void DestroyComponents();

    TComponentState ComponentState() const { return FComponentState; }
    // Marks the component as being destroyed; destructors of derived classes
    // call it before they tear anything down.
    void Destroying();
    // The streaming protocol: BeginLoading marks the component (and owned
    // ones) as loading; EndLoading clears the mark and calls Loaded on each.
    void BeginLoading();
    void EndLoading();

    // Asks to be told (Notification with opRemove) when AComponent goes away.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

protected:
    // Told of components inserted into or removed from the owner, and of the
    // destruction of components this one asked about. The default passes the
    // message to every owned component.
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    virtual void Loaded();

private:
    void DetachFromOwner();
    void RemoveNotification(TComponent* AComponent);

    TComponent* FOwner = nullptr;
    String FName;
    std::vector<std::unique_ptr<TComponent>> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    TComponentState FComponentState;
};

}  // namespace rtl
