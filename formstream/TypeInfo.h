// Run-time type information of published properties: what kind of value a property
// holds and, where it matters for reading and writing forms, the names of an
// enumeration's values, the element type of a set, the class of an object property and
// the signature of an event. Every C++ type that a published property may have maps to
// one constant TTypeInfo through TypeInfoOf<T>:
//
//   bool, integers, char, floats, std::string, std::u16string   built in
//   TSet<E>, TEvent<Args...>, pointers to classes with ClassInfo  built in
//   enumerations and integer types with identifier maps          declared next to the type:
//
//     enum TAlign : std::uint8_t { alNone, alTop, alBottom };
//     inline constexpr std::string_view TAlignNames[] = {"alNone", "alTop", "alBottom"};
//     template <> inline constexpr TTypeInfo TypeInfoOf<TAlign> = EnumTypeInfo("TAlign",
//     TAlignNames);
//
//     enum TColor : std::int32_t {};   // an integer type of its own, for its identifier map
//     template <> inline constexpr TTypeInfo TypeInfoOf<TColor> = IntTypeInfo("TColor",
//     TOrdType::otSLong);
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace formstream {

struct TClassInfo;
class TObject;

enum class TTypeKind : std::uint8_t {
    tkUnknown,
    tkInteger,
    tkChar,
    tkEnumeration,
    tkFloat,
    tkString,
    tkSet,
    tkClass,
    tkMethod,
    tkWString,
    tkVariant,
    tkInterface,
    tkInt64,
};

enum class TOrdType : std::uint8_t { otSByte, otUByte, otSWord, otUWord, otSLong, otULong };
enum class TFloatType : std::uint8_t { ftSingle, ftDouble, ftExtended, ftCurr };

// Identifies the parameter list of an event; an event property accepts exactly the
// handlers whose parameter list is the same.
struct TSignature {
    std::string_view Name;
};
template <class... Args> inline constexpr TSignature SignatureOf{"method"};

struct TTypeInfo {
    TTypeKind Kind = TTypeKind::tkUnknown;
    std::string_view Name;
    TOrdType OrdType = TOrdType::otSLong;
    TFloatType FloatType = TFloatType::ftDouble;
    std::span<const std::string_view> EnumNames; // tkEnumeration: value names by ordinal
    const TTypeInfo* CompType = nullptr;         // tkSet: the element enumeration
    const TClassInfo* ClassType = nullptr;       // tkClass: the class of the object
    const TSignature* Signature = nullptr;       // tkMethod: the handler's parameter list

    bool IsOrdinal() const {
        return Kind == TTypeKind::tkInteger || Kind == TTypeKind::tkChar ||
               Kind == TTypeKind::tkEnumeration || Kind == TTypeKind::tkSet ||
               Kind == TTypeKind::tkInt64;
    }
};

constexpr TTypeInfo IntTypeInfo(std::string_view name, TOrdType ord) {
    TTypeInfo t;
    t.Kind = TTypeKind::tkInteger;
    t.Name = name;
    t.OrdType = ord;
    return t;
}

constexpr TTypeInfo EnumTypeInfo(std::string_view name, std::span<const std::string_view> names) {
    TTypeInfo t;
    t.Kind = TTypeKind::tkEnumeration;
    t.Name = name;
    t.OrdType = names.size() <= 256 ? TOrdType::otUByte : TOrdType::otUWord;
    t.EnumNames = names;
    return t;
}

// The ordinal of `name` among an enumeration's value names, compared without regard to
// ASCII case; -1 when no value has that name.
int GetEnumValue(const TTypeInfo& type, std::string_view name);
// The name of an ordinal, or an empty view when it is out of range.
std::string_view GetEnumName(const TTypeInfo& type, std::int64_t ordinal);

// A set of up to 32 values of an enumeration, kept as a bit mask (bit n = ordinal n),
// which is how sets are stored in form streams.
template <class E> class TSet {
    static_assert(std::is_enum_v<E>);

public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items) {
        for (E e : items)
            FBits |= Bit(e);
    }
    static constexpr TSet FromBits(std::uint32_t bits) {
        TSet s;
        s.FBits = bits;
        return s;
    }
    constexpr std::uint32_t Bits() const { return FBits; }
    constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet& Include(E e) {
        FBits |= Bit(e);
        return *this;
    }
    constexpr TSet& Exclude(E e) {
        FBits &= ~Bit(e);
        return *this;
    }
    constexpr TSet operator+(TSet o) const { return FromBits(FBits | o.FBits); }
    constexpr TSet operator-(TSet o) const { return FromBits(FBits & ~o.FBits); }
    constexpr TSet operator*(TSet o) const { return FromBits(FBits & o.FBits); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr std::uint32_t Bit(E e) {
        const auto n = static_cast<unsigned>(e);
        return n < 32 ? (std::uint32_t(1) << n) : 0;
    }
    std::uint32_t FBits = 0;
};

template <class T> struct TIsSet : std::false_type {};
template <class E> struct TIsSet<TSet<E>> : std::true_type { using Element = E; };

template <class... Args> class TEvent;
template <class T> struct TIsEvent : std::false_type {};
template <class... Args> struct TIsEvent<TEvent<Args...>> : std::true_type {
    static constexpr const TSignature* Signature = &SignatureOf<Args...>;
};

struct TVariant;

template <class T> consteval TTypeInfo DefaultTypeInfo();

inline constexpr std::string_view BooleanNames[] = {"False", "True"};

// The type information of T. Enumerations and integer types with identifier maps
// specialise it next to their declaration (see the header comment).
template <class T> inline constexpr TTypeInfo TypeInfoOf = DefaultTypeInfo<T>();

template <class T> consteval TTypeInfo DefaultTypeInfo() {
    TTypeInfo t;
    if constexpr (std::is_same_v<T, bool>) {
        return EnumTypeInfo("Boolean", std::span<const std::string_view>(BooleanNames));
    } else if constexpr (std::is_same_v<T, char>) {
        t.Kind = TTypeKind::tkChar;
        t.Name = "Char";
        t.OrdType = TOrdType::otUByte;
    } else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t>) {
        t.Kind = TTypeKind::tkInt64;
        t.Name = "Int64";
    } else if constexpr (std::is_integral_v<T>) {
        t.Kind = TTypeKind::tkInteger;
        if constexpr (sizeof(T) == 1)
            t.OrdType = std::is_signed_v<T> ? TOrdType::otSByte : TOrdType::otUByte;
        else if constexpr (sizeof(T) == 2)
            t.OrdType = std::is_signed_v<T> ? TOrdType::otSWord : TOrdType::otUWord;
        else
            t.OrdType = std::is_signed_v<T> ? TOrdType::otSLong : TOrdType::otULong;
        t.Name = std::is_signed_v<T> ? "Integer" : "Cardinal";
    } else if constexpr (std::is_floating_point_v<T>) {
        t.Kind = TTypeKind::tkFloat;
        t.Name = sizeof(T) == 4 ? "Single" : sizeof(T) == 8 ? "Double" : "Extended";
        t.FloatType = sizeof(T) == 4   ? TFloatType::ftSingle
                      : sizeof(T) == 8 ? TFloatType::ftDouble
                                       : TFloatType::ftExtended;
    } else if constexpr (std::is_same_v<T, std::string>) {
        t.Kind = TTypeKind::tkString;
        t.Name = "string";
    } else if constexpr (std::is_same_v<T, std::u16string>) {
        t.Kind = TTypeKind::tkWString;
        t.Name = "WideString";
    } else if constexpr (std::is_same_v<T, TVariant>) {
        t.Kind = TTypeKind::tkVariant;
        t.Name = "Variant";
    } else if constexpr (TIsSet<T>::value) {
        t.Kind = TTypeKind::tkSet;
        t.Name = "set";
        t.OrdType = TOrdType::otULong;
        t.CompType = &TypeInfoOf<typename TIsSet<T>::Element>;
    } else if constexpr (TIsEvent<T>::value) {
        t.Kind = TTypeKind::tkMethod;
        t.Name = "method";
        t.Signature = TIsEvent<T>::Signature;
    } else if constexpr (std::is_pointer_v<T> &&
                         std::is_base_of_v<TObject, std::remove_cv_t<std::remove_pointer_t<T>>>) {
        t.Kind = TTypeKind::tkClass;
        t.ClassType = &std::remove_cv_t<std::remove_pointer_t<T>>::ClassInfo;
    } else {
        static_assert(sizeof(T) == 0, "no type information for this type: declare a "
                                      "TypeInfoOf specialisation next to it");
    }
    return t;
}

} // namespace formstream
