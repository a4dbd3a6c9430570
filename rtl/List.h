// TList<T>: an ordered list whose indexed access is checked. An index outside the list
// raises EListError "List index out of bounds (%d)" naming the index.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "rtl/Exceptions.h"

namespace rtl {

[[noreturn]] void ListIndexError(std::int64_t index);

template <class T> class TList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    bool Empty() const { return FItems.empty(); }

    const T& operator[](int index) const { return FItems[Check(index)]; }
    T& operator[](int index) { return FItems[Check(index)]; }
    const T& Get(int index) const { return FItems[Check(index)]; }
    void Put(int index, T item) { FItems[Check(index)] = std::move(item); }

    int Add(T item) {
        FItems.push_back(std::move(item));
        return Count() - 1;
    }
    void Insert(int index, T item) {
        if (index < 0 || index > Count())
            ListIndexError(index);
        FItems.insert(FItems.begin() + index, std::move(item));
    }
    void Delete(int index) { FItems.erase(FItems.begin() + Check(index)); }
    // Removes the first equal item; returns its former index or -1.
    int Remove(const T& item) {
        const int i = IndexOf(item);
        if (i >= 0)
            Delete(i);
        return i;
    }
    int IndexOf(const T& item) const {
        auto it = std::find(FItems.begin(), FItems.end(), item);
        return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
    }
    // Moves the item at `from` so that it ends up at `to`.
    void Move(int from, int to) {
        if (from == to)
            return;
        T item = std::move(FItems[Check(from)]);
        FItems.erase(FItems.begin() + from);
        Insert(Check(to, Count()), std::move(item));
    }
    void Exchange(int a, int b) { std::swap(FItems[Check(a)], FItems[Check(b)]); }
    const T& First() const { return Get(0); }
    const T& Last() const { return Get(Count() - 1); }
    void Clear() { FItems.clear(); }

    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }
    auto begin() { return FItems.begin(); }
    auto end() { return FItems.end(); }
    const std::vector<T>& Items() const { return FItems; }

private:
    std::size_t Check(int index) const { return Check(index, Count() - 1); }
    static std::size_t Check(int index, int last) {
        if (index < 0 || index > last)
            ListIndexError(index);
        return static_cast<std::size_t>(index);
    }

    std::vector<T> FItems;
};

} // namespace rtl
