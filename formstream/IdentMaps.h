// Identifier maps of integer types: the names by which a form stream may give an
// integer value ("clBtnFace" for a TColor, "crHandPoint" for a TCursor). A map is
// registered per type; the most recently registered map of a type is the one used.
// Identifiers compare without regard to ASCII case; integer to identifier gives the
// first entry with that value.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formstream/IdentTypes.h"
#include "formstream/TypeInfo.h"

namespace formstream {

struct TIdentMapEntry {
    std::int32_t Value;
    std::string_view Name;
};

using TIdentToInt = bool (*)(std::string_view ident, std::int32_t& value);
using TIntToIdent = bool (*)(std::int32_t value, std::string& ident);

void RegisterIdentMap(const TTypeInfo& type, TIdentToInt identToInt, TIntToIdent intToIdent);
// The newest operations registered for exactly `type`, or null.
TIdentToInt FindIdentToInt(const TTypeInfo& type);
TIntToIdent FindIntToIdent(const TTypeInfo& type);

// Converts through the newest map of `type`; false when there is no map or no entry.
bool IdentToInt(const TTypeInfo& type, std::string_view ident, std::int32_t& value);
bool IntToIdent(const TTypeInfo& type, std::int32_t value, std::string& ident);

// Helpers for maps kept as tables.
bool IdentToIntFromMap(std::string_view ident, std::int32_t& value,
                       std::span<const TIdentMapEntry> map);
bool IntToIdentFromMap(std::int32_t value, std::string& ident, std::span<const TIdentMapEntry> map);

// The three maps of the framework, in their documented order.
extern const std::span<const TIdentMapEntry> ColorIdents;   // 52 entries
extern const std::span<const TIdentMapEntry> CursorIdents;  // 22 entries
extern const std::span<const TIdentMapEntry> CharsetIdents; // 18 entries

bool ColorToIdent(std::int32_t color, std::string& ident);
bool IdentToColor(std::string_view ident, std::int32_t& color);
bool CursorToIdent(std::int32_t cursor, std::string& ident);
bool IdentToCursor(std::string_view ident, std::int32_t& cursor);
bool CharsetToIdent(std::int32_t charset, std::string& ident);
bool IdentToCharset(std::string_view ident, std::int32_t& charset);

// Registers the three maps (once, however often it is called).
void RegisterStandardIdentMaps();

// For tests: forgets every registered map.
void ResetIdentMaps();

} // namespace formstream
