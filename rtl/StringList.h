// TStringList: an ordered list of 8-bit strings. Indexed access outside the list raises
// EStringListError "List index out of bounds (%d)"; Text joins the lines with CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rtl {

class TStringList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& operator[](int index) const;
    const std::string& Strings(int index) const { return (*this)[index]; }
    void SetString(int index, std::string s);

    int Add(std::string s);
    void Insert(int index, std::string s);
    void Delete(int index);
    void Clear() { FItems.clear(); }
    void AddStrings(const TStringList& other);
    void Assign(const TStringList& other) { FItems = other.FItems; }
    // First index of a line equal to `s` without regard to ASCII case, or -1.
    int IndexOf(std::string_view s) const;

    // All lines, each followed by CR LF.
    std::string Text() const;
    // Splits at CR LF, LF or CR; a final line without a break counts.
    void SetText(std::string_view text);

    bool operator==(const TStringList& other) const { return FItems == other.FItems; }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    std::vector<std::string> FItems;
};

} // namespace rtl
