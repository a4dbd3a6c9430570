#include "formstream/IdentMaps.h"

#include <mutex>
#include <vector>

#include "rtl/SysUtils.h"

namespace formstream {

namespace {

struct TIntConst {
    const TTypeInfo* Type;
    TIdentToInt IdentToInt;
    TIntToIdent IntToIdent;
};

struct TIntConstList {
    std::mutex Lock;
    std::vector<TIntConst> Items;
};

TIntConstList& IntConsts() {
    static TIntConstList list;
    return list;
}

const TIntConst* FindIntConst(const TTypeInfo& type) {
    auto& list = IntConsts();
    std::lock_guard lock(list.Lock);
    for (auto it = list.Items.rbegin(); it != list.Items.rend(); ++it)
        if (it->Type == &type)
            return &*it;
    return nullptr;
}

constexpr std::int32_t Sys(std::int32_t index) {
    return static_cast<std::int32_t>(0x80000000u | static_cast<std::uint32_t>(index));
}

constexpr TIdentMapEntry ColorMap[] = {
    {0x000000, "clBlack"},
    {0x000080, "clMaroon"},
    {0x008000, "clGreen"},
    {0x008080, "clOlive"},
    {0x800000, "clNavy"},
    {0x800080, "clPurple"},
    {0x808000, "clTeal"},
    {0x808080, "clGray"},
    {0xC0C0C0, "clSilver"},
    {0x0000FF, "clRed"},
    {0x00FF00, "clLime"},
    {0x00FFFF, "clYellow"},
    {0xFF0000, "clBlue"},
    {0xFF00FF, "clFuchsia"},
    {0xFFFF00, "clAqua"},
    {0xFFFFFF, "clWhite"},
    {0xC0DCC0, "clMoneyGreen"},
    {0xF0CAA6, "clSkyBlue"},
    {0xF0FBFF, "clCream"},
    {0xA4A0A0, "clMedGray"},
    {Sys(0), "clScrollBar"},
    {Sys(1), "clBackground"},
    {Sys(2), "clActiveCaption"},
    {Sys(3), "clInactiveCaption"},
    {Sys(4), "clMenu"},
    {Sys(5), "clWindow"},
    {Sys(6), "clWindowFrame"},
    {Sys(7), "clMenuText"},
    {Sys(8), "clWindowText"},
    {Sys(9), "clCaptionText"},
    {Sys(10), "clActiveBorder"},
    {Sys(11), "clInactiveBorder"},
    {Sys(12), "clAppWorkSpace"},
    {Sys(13), "clHighlight"},
    {Sys(14), "clHighlightText"},
    {Sys(15), "clBtnFace"},
    {Sys(16), "clBtnShadow"},
    {Sys(17), "clGrayText"},
    {Sys(18), "clBtnText"},
    {Sys(19), "clInactiveCaptionText"},
    {Sys(20), "clBtnHighlight"},
    {Sys(21), "cl3DDkShadow"},
    {Sys(22), "cl3DLight"},
    {Sys(23), "clInfoText"},
    {Sys(24), "clInfoBk"},
    {Sys(26), "clHotLight"},
    {Sys(27), "clGradientActiveCaption"},
    {Sys(28), "clGradientInactiveCaption"},
    {Sys(29), "clMenuHighlight"},
    {Sys(30), "clMenuBar"},
    {0x1FFFFFFF, "clNone"},
    {0x20000000, "clDefault"},
};

constexpr TIdentMapEntry CursorMap[] = {
    {0, "crDefault"},   {-2, "crArrow"},      {-3, "crCross"},      {-4, "crIBeam"},
    {-6, "crSizeNESW"}, {-7, "crSizeNS"},     {-8, "crSizeNWSE"},   {-9, "crSizeWE"},
    {-10, "crUpArrow"}, {-11, "crHourGlass"}, {-12, "crDrag"},      {-13, "crNoDrop"},
    {-14, "crHSplit"},  {-15, "crVSplit"},    {-16, "crMultiDrag"}, {-17, "crSQLWait"},
    {-18, "crNo"},      {-19, "crAppStart"},  {-20, "crHelp"},      {-21, "crHandPoint"},
    {-22, "crSizeAll"}, {-22, "crSize"},
};

constexpr TIdentMapEntry CharsetMap[] = {
    {0, "ANSI_CHARSET"},     {1, "DEFAULT_CHARSET"},      {2, "SYMBOL_CHARSET"},
    {77, "MAC_CHARSET"},     {128, "SHIFTJIS_CHARSET"},   {129, "HANGEUL_CHARSET"},
    {130, "JOHAB_CHARSET"},  {134, "GB2312_CHARSET"},     {136, "CHINESEBIG5_CHARSET"},
    {161, "GREEK_CHARSET"},  {162, "TURKISH_CHARSET"},    {177, "HEBREW_CHARSET"},
    {178, "ARABIC_CHARSET"}, {186, "BALTIC_CHARSET"},     {204, "RUSSIAN_CHARSET"},
    {222, "THAI_CHARSET"},   {238, "EASTEUROPE_CHARSET"}, {255, "OEM_CHARSET"},
};

} // namespace

const std::span<const TIdentMapEntry> ColorIdents{ColorMap};
const std::span<const TIdentMapEntry> CursorIdents{CursorMap};
const std::span<const TIdentMapEntry> CharsetIdents{CharsetMap};

void RegisterIdentMap(const TTypeInfo& type, TIdentToInt identToInt, TIntToIdent intToIdent) {
    auto& list = IntConsts();
    std::lock_guard lock(list.Lock);
    list.Items.push_back({&type, identToInt, intToIdent});
}

TIdentToInt FindIdentToInt(const TTypeInfo& type) {
    const TIntConst* c = FindIntConst(type);
    return c ? c->IdentToInt : nullptr;
}

TIntToIdent FindIntToIdent(const TTypeInfo& type) {
    const TIntConst* c = FindIntConst(type);
    return c ? c->IntToIdent : nullptr;
}

bool IdentToInt(const TTypeInfo& type, std::string_view ident, std::int32_t& value) {
    TIdentToInt f = FindIdentToInt(type);
    return f && f(ident, value);
}

bool IntToIdent(const TTypeInfo& type, std::int32_t value, std::string& ident) {
    TIntToIdent f = FindIntToIdent(type);
    return f && f(value, ident);
}

bool IdentToIntFromMap(std::string_view ident, std::int32_t& value,
                       std::span<const TIdentMapEntry> map) {
    for (const auto& e : map)
        if (rtl::SameText(e.Name, ident)) {
            value = e.Value;
            return true;
        }
    return false;
}

bool IntToIdentFromMap(std::int32_t value, std::string& ident,
                       std::span<const TIdentMapEntry> map) {
    for (const auto& e : map)
        if (e.Value == value) {
            ident = e.Name;
            return true;
        }
    return false;
}

bool ColorToIdent(std::int32_t v, std::string& i) {
    return IntToIdentFromMap(v, i, ColorMap);
}
bool IdentToColor(std::string_view i, std::int32_t& v) {
    return IdentToIntFromMap(i, v, ColorMap);
}
bool CursorToIdent(std::int32_t v, std::string& i) {
    return IntToIdentFromMap(v, i, CursorMap);
}
bool IdentToCursor(std::string_view i, std::int32_t& v) {
    return IdentToIntFromMap(i, v, CursorMap);
}
bool CharsetToIdent(std::int32_t v, std::string& i) {
    return IntToIdentFromMap(v, i, CharsetMap);
}
bool IdentToCharset(std::string_view i, std::int32_t& v) {
    return IdentToIntFromMap(i, v, CharsetMap);
}

void RegisterStandardIdentMaps() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterIdentMap(TypeInfoOf<TColor>, IdentToColor, ColorToIdent);
        RegisterIdentMap(TypeInfoOf<TCursor>, IdentToCursor, CursorToIdent);
        RegisterIdentMap(TypeInfoOf<TFontCharset>, IdentToCharset, CharsetToIdent);
    });
}

void ResetIdentMaps() {
    auto& list = IntConsts();
    std::lock_guard lock(list.Lock);
    list.Items.clear();
}

} // namespace formstream
