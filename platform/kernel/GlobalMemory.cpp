// Global memory: a moveable block is a handle to a descriptor, a fixed block is its own
// address, as in the real API.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

namespace {

struct GlobalBlock {
    unsigned char* Data;
    SIZE_T Size;
    UINT Flags;
    int Locks = 0;
};

std::mutex GlobalLockMutex;
std::unordered_map<HGLOBAL, GlobalBlock*>& Globals() {
    static std::unordered_map<HGLOBAL, GlobalBlock*> blocks;
    return blocks;
}

GlobalBlock* FindGlobal(HGLOBAL h) {
    auto it = Globals().find(h);
    return it == Globals().end() ? nullptr : it->second;
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    std::lock_guard<std::mutex> lock(GlobalLockMutex);
    auto* data = static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1));
    if (!data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (flags & GMEM_ZEROINIT)
        std::memset(data, 0, bytes ? bytes : 1);
    auto* block = new GlobalBlock{data, bytes, flags};
    HGLOBAL h = (flags & GMEM_MOVEABLE) ? static_cast<HGLOBAL>(block) : static_cast<HGLOBAL>(data);
    Globals()[h] = block;
    return h;
}

LPVOID GlobalLock(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(GlobalLockMutex);
    GlobalBlock* b = FindGlobal(memory);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++b->Locks;
    return b->Data;
}

BOOL GlobalUnlock(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(GlobalLockMutex);
    GlobalBlock* b = FindGlobal(memory);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (b->Locks > 0)
        --b->Locks;
    SetLastError(ERROR_SUCCESS);
    return b->Locks > 0 ? TRUE : FALSE;
}

SIZE_T GlobalSize(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(GlobalLockMutex);
    GlobalBlock* b = FindGlobal(memory);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return b->Size;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(GlobalLockMutex);
    GlobalBlock* b = FindGlobal(memory);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    Globals().erase(memory);
    std::free(b->Data);
    delete b;
    return nullptr;
}
