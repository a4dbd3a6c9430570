// TCollection and TCollectionItem: an ordered list of items of one class that a form
// stream stores as one collection value ("Items = <item ... end>"). The collection owns
// its items; an item knows its collection and its index. BeginUpdate / EndUpdate
// suspend the Update notification, which runs once when the last EndUpdate comes.
//
// Item classes must be default-constructible (the collection makes them through their
// class reference).
#pragma once

#include <vector>

#include "formstream/Persistent.h"

namespace formstream {

class TCollection;

class TCollectionItem : public TPersistent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    TCollectionItem() = default;
    // Leaves the collection it is in.
    ~TCollectionItem() override;

    TCollection* Collection() const { return FCollection; }
    // Moves the item into another collection (or out of any, with null).
    void SetCollection(TCollection* collection);
    // The position in the collection, -1 outside one.
    int Index() const;
    int ID() const { return FID; }

protected:
    // Tells the collection that this item changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

class TCollection : public TPersistent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    // `itemClass` must descend from TCollectionItem.
    explicit TCollection(TClass itemClass);
    ~TCollection() override;

    TClass ItemClass() const { return FItemClass; }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EListError "List index out of bounds (%d)" outside 0..Count()-1.
    TCollectionItem* Items(int index) const;
    // Makes a new item of the item class at the end.
    TCollectionItem* Add();
    void Delete(int index);
    void Clear();

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Copies the items of another collection (by Assign of each item).
    void Assign(TPersistent* source) override;

protected:
    // Runs after a change when no update is pending: `item` is the changed item, or null
    // when the list itself changed.
    virtual void Update(TCollectionItem* item);
    void Changed();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);

    TClass FItemClass;
    std::vector<TCollectionItem*> FItems;
    int FUpdateCount = 0;
    int FNextID = 0;
};

} // namespace formstream
