#include "rtl/component.h"

#include <algorithm>

#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace rtl {
namespace {

bool IsValidIdent(StringView Ident) {
    if (Ident.empty()) return false;
    auto alpha = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_'; };
    if (!alpha(Ident[0])) return false;
    return std::all_of(Ident.begin() + 1, Ident.end(),
                       [&](char16_t c) { return alpha(c) || (c >= u'0' && c <= u'9'); });
}

}  // namespace

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // Tell everyone who asked that this component is going away.
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        other->RemoveNotification(this);
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    DetachFromOwner();
}

void TComponent::DetachFromOwner() {
    if (!FOwner) return;
    TComponent* owner = FOwner;
    // The owner's slot releases this object without deleting it again.
    std::unique_ptr<TComponent> self = owner->RemoveComponent(this);
    (void)self.release();
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount()) throw EListError(Format(u"List index out of bounds (%d)", {Index}));
    return FComponents[Index].get();
}

TComponent* TComponent::FindComponent(StringView AName) const {
    if (AName.empty()) return nullptr;
    for (const auto& c : FComponents)
        if (SameText(c->FName, AName)) return c.get();
    return nullptr;
}

void TComponent::SetName(const String& NewName) {
    if (FName == NewName) return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        throw EComponentError(Format(u"'%s' is not a valid component name", {NewName}));
    if (FOwner && !NewName.empty()) {
        TComponent* other = FOwner->FindComponent(NewName);
        if (other && other != this) throw EComponentError(Format(u"A component named %s already exists", {NewName}));
    }
    FName = NewName;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (AComponent->FOwner) throw EComponentError(u"Component already has an owner");
    if (!AComponent->FName.empty() && FindComponent(AComponent->FName))
        throw EComponentError(Format(u"A component named %s already exists", {AComponent->FName}));
    FComponents.emplace_back(AComponent);
    AComponent->FOwner = this;
    Notification(AComponent, TOperation::opInsert);
}

std::unique_ptr<TComponent> TComponent::RemoveComponent(TComponent* AComponent) {
    auto it =
        std::find_if(FComponents.begin(), FComponents.end(), [&](const auto& p) { return p.get() == AComponent; });
    if (it == FComponents.end()) return nullptr;
    std::unique_ptr<TComponent> taken = std::move(*it);
    FComponents.erase(it);
    AComponent->FOwner = nullptr;
    Notification(AComponent, TOperation::opRemove);
    return taken;
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        std::unique_ptr<TComponent> last = std::move(FComponents.back());
        FComponents.pop_back();
        last->FOwner = nullptr;
        last.reset();
    }
}

void TComponent::Destroying() { FComponentState.Include(csDestroying); }

void TComponent::BeginLoading() {
    FComponentState.Include(csLoading);
    for (const auto& c : FComponents) c->BeginLoading();
}

void TComponent::EndLoading() {
    for (const auto& c : FComponents) c->EndLoading();
    FComponentState.Exclude(csLoading);
    Loaded();
}

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
        AComponent->FFreeNotifies.push_back(this);
    FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    RemoveNotification(AComponent);
    if (AComponent) AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent), FFreeNotifies.end());
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == TOperation::opRemove && AComponent) RemoveFreeNotification(AComponent);
    // Copy: a component told of a removal may remove others.
    std::vector<TComponent*> owned;
    owned.reserve(FComponents.size());
    for (const auto& c : FComponents) owned.push_back(c.get());
    for (TComponent* c : owned)
        if (c != AComponent) c->Notification(AComponent, Operation);
}

}  // namespace rtl
