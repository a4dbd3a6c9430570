// TResourceStream: a read-only stream over a resource of the program's module (the
// resource table compiled into the executable), found by name or number and type.
// Names compare without regard to case. A missing resource raises EResNotFound
// "Resource %s not found".
#pragma once

#include <string>

#include "platform/win32.h"
#include "rtl/Stream.h"

namespace rtl {

class TResourceStream : public TCustomMemoryStream {
public:
    TResourceStream(HINSTANCE instance, const std::string& name, LPCSTR type);
    TResourceStream(HINSTANCE instance, int id, LPCSTR type);
    ~TResourceStream() override;

    // Resources are read-only: writing raises EStreamError.
    std::size_t Write(const void* buffer, std::size_t count) override;

private:
    void Initialize(HINSTANCE instance, LPCSTR name, LPCSTR type, const std::string& shownName);
    HGLOBAL FResource = nullptr;
};

// Whether the module has a resource of that name and type.
bool ResourceExists(HINSTANCE instance, const std::string& name, LPCSTR type);

} // namespace rtl
