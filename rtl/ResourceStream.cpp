#include "rtl/ResourceStream.h"

#include "rtl/Exceptions.h"

namespace rtl {

TResourceStream::TResourceStream(HINSTANCE instance, const std::string& name, LPCSTR type) {
    Initialize(instance, name.c_str(), type, name);
}

TResourceStream::TResourceStream(HINSTANCE instance, int id, LPCSTR type) {
    Initialize(instance, MAKEINTRESOURCEA(static_cast<WORD>(id)), type, IntToStr(id));
}

void TResourceStream::Initialize(HINSTANCE instance, LPCSTR name, LPCSTR type,
                                 const std::string& shownName) {
    HRSRC info = FindResourceA(instance, name, type);
    if (!info)
        throw EResNotFound(SResNotFound, shownName);
    FResource = LoadResource(instance, info);
    if (!FResource)
        throw EResNotFound(SResNotFound, shownName);
    SetPointer(LockResource(FResource), SizeofResource(instance, info));
}

TResourceStream::~TResourceStream() {
    if (FResource)
        FreeResource(FResource);
}

std::size_t TResourceStream::Write(const void*, std::size_t) {
    throw EStreamError(SResourceWrite);
}

bool ResourceExists(HINSTANCE instance, const std::string& name, LPCSTR type) {
    return FindResourceA(instance, name.c_str(), type) != nullptr;
}

} // namespace rtl
