#include "rtl/List.h"
#include "rtl/Locks.h"
#include "rtl/StringList.h"

namespace rtl {

void ListIndexError(std::int64_t index) {
    throw EListError(SListIndexError, index);
}

void Abort() {
    throw EAbort();
}

// --- TStringList

const std::string& TStringList::operator[](int index) const {
    if (index < 0 || index >= Count())
        throw EStringListError(SListIndexError, index);
    return FItems[static_cast<std::size_t>(index)];
}

void TStringList::SetString(int index, std::string s) {
    (void)(*this)[index];
    FItems[static_cast<std::size_t>(index)] = std::move(s);
}

int TStringList::Add(std::string s) {
    FItems.push_back(std::move(s));
    return Count() - 1;
}

void TStringList::Insert(int index, std::string s) {
    if (index < 0 || index > Count())
        throw EStringListError(SListIndexError, index);
    FItems.insert(FItems.begin() + index, std::move(s));
}

void TStringList::Delete(int index) {
    (void)(*this)[index];
    FItems.erase(FItems.begin() + index);
}

void TStringList::AddStrings(const TStringList& other) {
    FItems.insert(FItems.end(), other.FItems.begin(), other.FItems.end());
}

int TStringList::IndexOf(std::string_view s) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (SameText(FItems[i], s))
            return static_cast<int>(i);
    return -1;
}

std::string TStringList::Text() const {
    std::string r;
    for (const auto& s : FItems) {
        r += s;
        r += "\r\n";
    }
    return r;
}

void TStringList::SetText(std::string_view text) {
    FItems.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            FItems.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        FItems.emplace_back(text.substr(start));
}

// --- TMultiReadExclusiveWriteSynchronizer

void TMultiReadExclusiveWriteSynchronizer::BeginRead() {
    if (FWriter.load() == std::this_thread::get_id())
        return; // the writer may read what it writes
    FLock.lock_shared();
}

void TMultiReadExclusiveWriteSynchronizer::EndRead() {
    if (FWriter.load() == std::this_thread::get_id())
        return;
    FLock.unlock_shared();
}

void TMultiReadExclusiveWriteSynchronizer::BeginWrite() {
    if (FWriter.load() == std::this_thread::get_id()) {
        ++FWriteDepth;
        return;
    }
    FLock.lock();
    FWriter = std::this_thread::get_id();
    FWriteDepth = 1;
}

void TMultiReadExclusiveWriteSynchronizer::EndWrite() {
    if (--FWriteDepth == 0) {
        FWriter = std::thread::id();
        FLock.unlock();
    }
}

} // namespace rtl
