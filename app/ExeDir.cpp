#include "app/ExeDir.h"

#include <cstddef>

#include "platform/win32.h"

namespace app {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == ':';
}

} // namespace

rtl::String ExtractExeDir(std::string_view path) {
    // Walk the path character by character so that the trailing byte of a double-byte
    // character is never taken for a separator. `last` is the 1-based position of the
    // last separator, `before` the start of the character in front of it.
    std::size_t last = 0;
    std::size_t beforeStart = 0;
    bool haveBefore = false;
    std::size_t previousStart = 0;
    bool havePrevious = false;
    for (std::size_t i = 0; i < path.size();) {
        const auto byte = static_cast<BYTE>(path[i]);
        const bool wide = IsDBCSLeadByte(byte) && i + 1 < path.size();
        if (!wide && IsSeparator(path[i])) {
            last = i + 1;
            beforeStart = previousStart;
            haveBefore = havePrevious;
        }
        previousStart = i;
        havePrevious = true;
        i += wide ? 2 : 1;
    }
    std::size_t length = last;
    if (length > 1 && path[length - 1] == '\\' && haveBefore) {
        // The character in front counts as a separator only when it is a single byte.
        const bool beforeIsSingle = beforeStart == length - 2;
        if (!(beforeIsSingle && IsSeparator(path[beforeStart])))
            --length;
    }
    return rtl::String(path.substr(0, length));
}

} // namespace app
