#include "rtl/Consts.h"

#include <atomic>

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
        }
    }
    return std::string(rec.Text);
}

} // namespace rtl
