#include "formstream/Collection.h"

#include <algorithm>

#include "formstream/FixupRemoval.h"
#include "rtl/Exceptions.h"

namespace formstream {

constinit const TClassInfo TCollectionItem::ClassInfo =
    ClassInfoOf<TCollectionItem, TPersistent>("TCollectionItem");
constinit const TClassInfo TCollection::ClassInfo =
    ClassInfoOf<TCollection, TPersistent>("TCollection");

TCollectionItem::~TCollectionItem() {
    RemoveFixups(this);
    SetCollection(nullptr);
}

void TCollectionItem::SetCollection(TCollection* collection) {
    if (collection == FCollection)
        return;
    if (FCollection)
        FCollection->RemoveItem(this);
    if (collection)
        collection->InsertItem(this);
}

int TCollectionItem::Index() const {
    if (!FCollection)
        return -1;
    const auto& items = FCollection->FItems;
    auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::Changed(bool allItems) {
    if (FCollection && FCollection->FUpdateCount == 0)
        FCollection->Update(allItems ? nullptr : this);
}

TCollection::TCollection(TClass itemClass) : FItemClass(itemClass) {}

TCollection::~TCollection() {
    FUpdateCount = 1; // no notifications while the items go
    while (!FItems.empty())
        Free(FItems.back());
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count())
        throw rtl::EListError(rtl::SListIndexError, index);
    return FItems[static_cast<std::size_t>(index)];
}

TCollectionItem* TCollection::Add() {
    if (!FItemClass || !FItemClass->InheritsFrom(&TCollectionItem::ClassInfo))
        throw rtl::EInvalidOperation(rtl::SAbstractError);
    auto* item = static_cast<TCollectionItem*>(FItemClass->Create(nullptr));
    item->SetCollection(this);
    return item;
}

void TCollection::Delete(int index) {
    Free(Items(index));
}

void TCollection::Clear() {
    if (FItems.empty())
        return;
    BeginUpdate();
    try {
        while (!FItems.empty())
            Free(FItems.back());
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::BeginUpdate() {
    ++FUpdateCount;
}

void TCollection::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        Changed();
}

void TCollection::Assign(TPersistent* source) {
    auto* other = DynCast<TCollection>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this)
        return;
    BeginUpdate();
    try {
        Clear();
        for (TCollectionItem* item : other->FItems)
            Add()->Assign(item);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Changed() {
    if (FUpdateCount == 0)
        Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* item) {
    FItems.push_back(item);
    item->FCollection = this;
    item->FID = FNextID++;
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it != FItems.end())
        FItems.erase(it);
    item->FCollection = nullptr;
    Changed();
}

} // namespace formstream
