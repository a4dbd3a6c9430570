#include "formstream/Component.h"

#include <algorithm>

#include "formstream/FixupRemoval.h"
#include "rtl/Exceptions.h"

namespace formstream {

constinit const TPropInfo TComponent::Published[] = {
    Prop<&TComponent::GetName, &TComponent::SetNameProp>("Name", NotStored),
    Prop<&TComponent::FTag, &TComponent::FTag>("Tag", Default(0)),
};

constinit const TClassInfo TComponent::ClassInfo =
    ClassInfoOf<TComponent, TPersistent>("TComponent", TComponent::Published);

TComponent::TComponent(TComponent* owner) {
    FComponentStyle.Include(csInheritable);
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent() {
    // Destroyed without Free: run what can still run at this level.
    if (!FDestroyed)
        TComponent::BeforeDestruction();
}

void TComponent::BeforeDestruction() {
    if (FDestroyed)
        return;
    FDestroyed = true;
    // Pending references of a form read must not outlive the component they would set.
    RemoveFixups(this);
    Destroying();
    while (!FFreeNotifies.empty()) {
        TComponent* partner = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        partner->Notification(this, opRemove);
    }
    DestroyComponents();
    if (FOwner)
        FOwner->RemoveComponent(this);
}

void TComponent::Destroying() {
    if (HasState(stDestroying))
        return;
    SetState(stDestroying);
    for (TComponent* c : FComponents)
        c->Destroying();
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* instance = FComponents.back();
        if (instance->HasState(stFreeNotification) || (HasState(stDesigning) && HasState(stInline)))
            RemoveComponent(instance);
        else
            Remove(instance);
        Free(instance);
    }
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw rtl::EListError(rtl::SListIndexError, index);
    return FComponents[static_cast<std::size_t>(index)];
}

int TComponent::ComponentIndex() const {
    if (!FOwner)
        return -1;
    auto& list = FOwner->FComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TComponent::SetComponentIndex(int index) {
    const int current = ComponentIndex();
    if (current < 0)
        return;
    auto& list = FOwner->FComponents;
    const int count = static_cast<int>(list.size());
    index = std::clamp(index, 0, count - 1);
    if (index == current)
        return;
    list.erase(list.begin() + current);
    list.insert(list.begin() + index, this);
}

TComponent* TComponent::FindOwnedComponent(std::string_view name) const {
    if (name.empty())
        return nullptr;
    for (TComponent* c : FComponents)
        if (rtl::SameText(c->FName, name))
            return c;
    return nullptr;
}

void TComponent::Insert(TComponent* component) {
    FComponents.push_back(component);
    component->FOwner = this;
}

void TComponent::Remove(TComponent* component) {
    auto it = std::find(FComponents.begin(), FComponents.end(), component);
    if (it != FComponents.end())
        FComponents.erase(it);
    if (FComponents.empty())
        FComponents.shrink_to_fit();
    component->FOwner = nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    CheckRename(component, std::string(), component->FName);
    Insert(component);
    component->SetReference(true);
    if (HasState(stDesigning))
        component->SetState(stDesigning);
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    CheckRename(component, component->FName, std::string());
    Notification(component, opRemove);
    component->SetReference(false);
    Remove(component);
}

// Points the owner's published field of this component's name at it (or back to null).
// A field whose declared class does not fit this component is left alone.
void TComponent::SetReference(bool enable) {
    if (!FOwner || FName.empty())
        return;
    const TFieldEntry* field = FindPublishedField(FOwner, FName);
    if (!field)
        return;
    if (enable) {
        if (InheritsFrom(field->FieldClass))
            field->Set(FOwner, this);
    } else if (field->Get(FOwner) == this) {
        field->Set(FOwner, nullptr);
    }
}

void TComponent::SetComponentName(const std::string& newName) {
    if (FName == newName)
        return;
    if (!newName.empty() && !rtl::IsValidIdent(newName))
        throw rtl::EComponentError(rtl::SInvalidName, newName);
    if (FOwner)
        FOwner->CheckRename(this, FName, newName);
    else
        CheckRename(nullptr, FName, newName);
    SetReference(false);
    FName = newName;
    SetReference(true);
}

void TComponent::CheckRename(TComponent* component, const std::string& curName,
                             const std::string& newName) {
    if (component && !rtl::SameText(curName, newName) && component->FOwner == this &&
        FindOwnedComponent(newName))
        throw rtl::EComponentError(rtl::SDuplicateName, newName);
    if (HasState(stDesigning) && FOwner)
        FOwner->CheckRename(component, curName, newName);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component)
        RemoveFreeNotification(component);
    // Tell every owned component, last first; a handler may shrink the list.
    for (int i = ComponentCount() - 1; i >= 0; --i) {
        FComponents[static_cast<std::size_t>(i)]->Notification(component, operation);
        if (i > ComponentCount())
            i = ComponentCount();
    }
}

void TComponent::AddFreeNotifyPartner(TComponent* component) {
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
        FFreeNotifies.push_back(component);
}

void TComponent::RemoveFreeNotifyPartner(TComponent* component) {
    auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component);
    if (it != FFreeNotifies.end())
        FFreeNotifies.erase(it);
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this)
        return;
    if (!FOwner || component->FOwner != FOwner) {
        AddFreeNotifyPartner(component);
        component->AddFreeNotifyPartner(this);
    }
    SetState(stFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    RemoveFreeNotifyPartner(component);
    component->RemoveFreeNotifyPartner(this);
}

void TComponent::SetSubComponent(bool value) {
    if (value)
        FComponentStyle.Include(csSubComponent);
    else
        FComponentStyle.Exclude(csSubComponent);
}

void TComponent::Loaded() {
    ClearState(stLoading);
}

} // namespace formstream
