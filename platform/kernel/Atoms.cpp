// The process's global atom table.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/winbase.h"

namespace {

struct Atom {
    std::string Name;
    int References;
};

struct Table {
    std::mutex Lock;
    std::map<std::string, ATOM> ByName; // upper-case name
    std::map<ATOM, Atom> ByNumber;
    ATOM Next = 0xC000;
};

Table& Atoms() {
    static Table table;
    return table;
}

std::string Upper(LPCSTR s) {
    std::string r(s);
    for (char& c : r)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

// Integer atoms: MAKEINTATOM values and "#n" strings below 0xC000.
bool IntegerAtom(LPCSTR name, ATOM& out) {
    if (IS_INTRESOURCE(name)) {
        out = ATOM(ULONG_PTR(name));
        return true;
    }
    if (name[0] != '#')
        return false;
    char* end = nullptr;
    unsigned long n = std::strtoul(name + 1, &end, 10);
    if (end == name + 1 || *end || n >= 0xC000)
        return false;
    out = ATOM(n);
    return true;
}

} // namespace

ATOM GlobalAddAtomA(LPCSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ATOM integer;
    if (IntegerAtom(name, integer)) {
        if (integer == 0)
            SetLastError(ERROR_INVALID_PARAMETER);
        return integer;
    }
    if (!*name || std::strlen(name) > 255) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Table& t = Atoms();
    std::lock_guard<std::mutex> lock(t.Lock);
    std::string key = Upper(name);
    auto it = t.ByName.find(key);
    if (it != t.ByName.end()) {
        t.ByNumber[it->second].References++;
        return it->second;
    }
    if (t.Next == 0)
        return 0;
    ATOM a = t.Next++;
    t.ByName[key] = a;
    t.ByNumber[a] = Atom{name, 1};
    return a;
}

ATOM GlobalFindAtomA(LPCSTR name) {
    if (!name)
        return 0;
    ATOM integer;
    if (IntegerAtom(name, integer))
        return integer;
    Table& t = Atoms();
    std::lock_guard<std::mutex> lock(t.Lock);
    auto it = t.ByName.find(Upper(name));
    return it == t.ByName.end() ? 0 : it->second;
}

ATOM GlobalDeleteAtom(ATOM atom) {
    if (atom < 0xC000)
        return 0;
    Table& t = Atoms();
    std::lock_guard<std::mutex> lock(t.Lock);
    auto it = t.ByNumber.find(atom);
    if (it == t.ByNumber.end())
        return atom; // failure
    if (--it->second.References == 0) {
        t.ByName.erase(Upper(it->second.Name.c_str()));
        t.ByNumber.erase(it);
    }
    return 0;
}

UINT GlobalGetAtomNameA(ATOM atom, LPSTR buffer, int size) {
    if (!buffer || size <= 0 || atom == 0)
        return 0;
    std::string name;
    if (atom < 0xC000) {
        name = "#" + std::to_string(atom);
    } else {
        Table& t = Atoms();
        std::lock_guard<std::mutex> lock(t.Lock);
        auto it = t.ByNumber.find(atom);
        if (it == t.ByNumber.end())
            return 0;
        name = it->second.Name;
    }
    std::size_t n = std::min(name.size(), std::size_t(size - 1));
    std::memcpy(buffer, name.data(), n);
    buffer[n] = 0;
    return UINT(n);
}
