#include "rtl/Consts.h"

#include <atomic>

#include "platform/win32.h"

namespace rtl {

static std::atomic<TStringTableLookup> StringTableLookup{nullptr};

void SetStringTableLookup(TStringTableLookup lookup) {
    StringTableLookup = lookup;
}

std::string LoadResString(const TResStringRec& rec) {
    if (rec.Identifier != 0) {
        if (TStringTableLookup lookup = StringTableLookup.load()) {
            std::string text;
            if (lookup(rec.Identifier, text))
                return text;
        } else {
            // The executable's own string table, when it carries the entry.
            char buffer[4096];
            const int n = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(rec.Identifier),
                                      buffer, sizeof buffer);
            if (n > 0)
                return std::string(buffer, static_cast<std::size_t>(n));
        }
    }
    return std::string(rec.Text);
}

} // namespace rtl
