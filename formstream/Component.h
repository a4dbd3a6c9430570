// TComponent: a named object owned by another component, which destroys it. The owner
// keeps its components in creation order, points its published field of the same name
// at each (so a form's MainImage field finds its image), and hears of their insertion and
// removal (Notification). A component may also ask another, outside its owner, to tell it
// when it is destroyed (FreeNotification).
//
// Destroy components with Free(c) (or TOwned<T>): the destruction protocol (stDestroying,
// notifications, owned components last-first, leaving the owner) runs in
// BeforeDestruction, while every class of the object is still alive.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formstream/Persistent.h"

namespace formstream {

enum TComponentStateItem : std::uint8_t {
    stLoading,
    stReading,
    stWriting,
    stDestroying,
    stDesigning,
    stAncestor,
    stUpdating,
    stFixups,
    stFreeNotification,
    stInline,
};
using TComponentState = TSet<TComponentStateItem>;

enum TComponentStyleItem : std::uint8_t {
    csInheritable,
    csCheckPropAvail,
    csSubComponent,
    csTransient
};
using TComponentStyle = TSet<TComponentStyleItem>;

enum TOperation : std::uint8_t { opInsert, opRemove };

class TComponent : public TPersistent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    void BeforeDestruction() override;

    // --- name, tag, owner
    const std::string& Name() const { return FName; }
    // Assigns the name by the renaming rules; raises EComponentError for a name that is
    // no identifier or that another component of the owner has. A failed rename changes
    // nothing.
    void SetName(const std::string& newName) { SetComponentName(newName); }
    std::int32_t Tag() const { return FTag; }
    void SetTag(std::int32_t tag) { FTag = tag; }
    TComponent* Owner() const { return FOwner; }

    // --- owned components
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    // Raises EListError "List index out of bounds (%d)" outside 0..ComponentCount()-1.
    TComponent* Components(int index) const;
    // This component's index in its owner's list, -1 without owner.
    int ComponentIndex() const;
    // Moves this component within its owner's list; the index is clamped to the list.
    void SetComponentIndex(int index);
    // The first owned component whose name equals `name` without regard to ASCII case;
    // none for an empty name.
    TComponent* FindOwnedComponent(std::string_view name) const;
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    // Destroys the owned components, last first.
    void DestroyComponents();

    // --- free notification
    // Asks this component to tell `component` of its destruction.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // --- state
    TComponentState ComponentState() const { return FComponentState; }
    TComponentStyle ComponentStyle() const { return FComponentStyle; }
    bool HasState(TComponentStateItem s) const { return FComponentState.Contains(s); }
    void SetState(TComponentStateItem s) { FComponentState.Include(s); }
    void ClearState(TComponentStateItem s) { FComponentState.Exclude(s); }
    void SetSubComponent(bool value);
    // Marks this component and everything it owns as being destroyed.
    void Destroying();

    // Design position of non-visual components ("Left" / "Top" in streams).
    std::int16_t DesignLeft() const { return FDesignLeft; }
    std::int16_t DesignTop() const { return FDesignTop; }
    void SetDesignPosition(std::int16_t left, std::int16_t top) {
        FDesignLeft = left;
        FDesignTop = top;
    }

    // --- overridable parts of the model and of reading and writing
    // Called once the whole stream has been read; clears stLoading.
    virtual void Loaded();
    virtual void Notification(TComponent* component, TOperation operation);
    // Reads this component's properties and children; the default is the reader's
    // ReadComponentData.
    virtual void ReadStoredState(TReader& reader);
    virtual void WriteStoredState(TWriter& writer);
    virtual void SetComponentName(const std::string& newName);
    virtual void UpdateRegistration(bool) {}
    // Checks a rename of `component` (owned by this one) from `curName` to `newName`;
    // raises EComponentError "A component named %s already exists" on a clash.
    virtual void CheckRename(TComponent* component, const std::string& curName,
                             const std::string& newName);
    virtual TComponent* ChildParentForReading() { return this; }
    virtual TComponent* ChildOwnerForReading() { return nullptr; }
    virtual void AttachToParent(TComponent*) {}
    virtual void SetChildPosition(TComponent*, int) {}
    virtual TComponent* ParentForReading() { return nullptr; }

    void DefineProperties(TFiler& filer) override;

private:
    void Insert(TComponent* component);
    void Remove(TComponent* component);
    void SetReference(bool enable);
    void AddFreeNotifyPartner(TComponent* component);
    void RemoveFreeNotifyPartner(TComponent* component);
    void ReadDesignLeft(TReader& reader);
    void ReadDesignTop(TReader& reader);
    void WriteDesignLeft(TWriter& writer);
    void WriteDesignTop(TWriter& writer);
    std::string GetName() const { return FName; }
    void SetNameProp(std::string n) { SetName(n); }

    TComponent* FOwner = nullptr;
    std::string FName;
    std::int32_t FTag = 0;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    TComponentState FComponentState;
    TComponentStyle FComponentStyle;
    std::int16_t FDesignLeft = 0;
    std::int16_t FDesignTop = 0;
    bool FDestroyed = false;

    static const TPropInfo Published[];
};

} // namespace formstream
