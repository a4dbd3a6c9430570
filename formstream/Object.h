// The root of the object model: TObject, class references (TClass) and the published
// tables through which properties, event handlers and component fields are found by
// name at run time.
//
// Every class of the model declares, next to its other members,
//
//     static const TClassInfo ClassInfo;
//     TClass ClassType() const override { return &ClassInfo; }
//
// and defines, in its .cpp, one constant table linked to its parent's:
//
//     constinit const TPropInfo TImage::Published[] = {
//         Prop<&TImage::FAutoSize, &TImage::SetAutoSize>("AutoSize", Default(false)),
//         Prop<&TImage::GetPicture, &TImage::SetPicture>("Picture"),
//         Prop<&TImage::FStretch, &TImage::SetStretch>("Stretch", Default(false)),
//         Prop<&TImage::FOnClick>("OnClick"),                  // field read and written directly
//     };
//     constinit const TClassInfo TImage::ClassInfo =
//         ClassInfoOf<TImage, TGraphicControl>("TImage", TImage::Published);
//
// A property names its getter (a data member or a const member function) and its setter
// (a data member, a member function taking the value, or nothing for a read-only
// property); its kind and type information follow from the C++ type (TypeInfo.h). Root
// classes (forms) add their event handlers with Method<&TForm1::Timer1Timer>("Timer1Timer")
// and their component fields with Field<&TForm1::MainImage>("MainImage"), in two more
// tables passed to ClassInfoOf after the properties. Lookups walk
// the class and then its ancestors and compare names without regard to ASCII case; they
// never allocate.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "formstream/TypeInfo.h"

namespace formstream {

class TObject;
class TComponent;
using TClass = const TClassInfo*;

// An event handler bound to an object: the code to call and the object to call it on.
// Code points at the handler's thunk of a TEvent with the parameter list `Signature`
// (one constant per handler, so it also identifies the handler).
struct TMethod {
    const void* Code = nullptr;
    TObject* Data = nullptr;
    const TSignature* Signature = nullptr;
    explicit operator bool() const { return Code != nullptr; }
    bool operator==(const TMethod& o) const { return Code == o.Code && Data == o.Data; }
};

// An optional handler with parameters Args, called on the object it is bound to.
// Calling an unassigned event does nothing.
template <class... Args> class TEvent {
public:
    using TCode = void (*)(TObject* self, Args...);

    constexpr TEvent() = default;

    // The event that calls `obj->*M(args...)`.
    template <auto M, class C> static TEvent Of(C* obj) {
        return TEvent(&Code<M, C>, static_cast<TObject*>(obj));
    }
    // The thunk of handler M of class C; its address identifies the handler.
    template <auto M, class C>
    static constexpr TCode Code = +[](TObject* self, Args... args) {
        (static_cast<C*>(self)->*M)(args...);
    };

    explicit operator bool() const { return FCode != nullptr; }
    void operator()(Args... args) const {
        if (FCode)
            (*FCode)(FData, args...);
    }
    bool operator==(const TEvent& o) const { return FCode == o.FCode && FData == o.FData; }

    TObject* Data() const { return FData; }
    TMethod ToMethod() const { return {FCode, FCode ? FData : nullptr, &SignatureOf<Args...>}; }
    // The method must have this event's parameter list (checked by the caller through
    // Signature); an empty method gives an empty event.
    static TEvent FromMethod(const TMethod& m) {
        return m.Code ? TEvent(static_cast<const TCode*>(m.Code), m.Data) : TEvent();
    }

private:
    constexpr TEvent(const TCode* code, TObject* data) : FCode(code), FData(data) {}
    const TCode* FCode = nullptr;
    TObject* FData = nullptr;
};

using TNotifyEvent = TEvent<TObject* /*Sender*/>;

// The value of a variant property: empty, null, or one value of a simple type.
struct TVariant {
    enum class TVarType : std::uint8_t {
        varEmpty,
        varNull,
        varInteger,
        varInt64,
        varDouble,
        varCurrency,
        varDate,
        varString,
        varWString,
        varBoolean
    };
    TVarType VType = TVarType::varEmpty;
    std::int64_t Int = 0;  // integers, currency (ten-thousandths), boolean
    long double Float = 0; // floats and dates
    std::string Str;       // 8-bit strings
    std::u16string WStr;   // wide strings
    bool operator==(const TVariant&) const = default;
};

// A property value in transit between a stream and an object, by kind: ordinals
// (integers, characters, enumerations, sets) as int64, floats, 8-bit and wide strings,
// objects, event handlers and variants.
using TValue = std::variant<std::int64_t, long double, std::string, std::u16string, TObject*,
                            TMethod, TVariant>;

struct TPropInfo {
    std::string_view Name;
    const TTypeInfo* PropType = nullptr;
    TValue (*Get)(const TObject* obj) = nullptr;
    void (*Set)(TObject* obj, const TValue& value) = nullptr; // null: read-only
    bool (*IsStored)(const TObject* obj) = nullptr;           // null: always stored
    bool HasDefault = false;
    std::int64_t Default = 0; // for ordinal properties with HasDefault
    bool NeverStored = false;
    TTypeKind Kind() const { return PropType->Kind; }
};

struct TMethodEntry {
    std::string_view Name;
    const void* Code = nullptr;
    const TSignature* Signature = nullptr;
};

struct TFieldEntry {
    std::string_view Name;
    TClass FieldClass = nullptr; // the declared class of the field
    TComponent* (*Get)(const TObject* obj) = nullptr;
    void (*Set)(TObject* obj, TComponent* value) = nullptr;
};

struct TClassTables {
    std::span<const TPropInfo> Props;
    std::span<const TMethodEntry> Methods;
    std::span<const TFieldEntry> Fields;
};

// A class reference: the class's name, its parent, its published tables and its virtual
// constructor.
struct TClassInfo {
    std::string_view Name;
    TClass Parent = nullptr;
    // Makes an instance: components get `owner`, other classes ignore it. Null for
    // abstract classes and for classes that cannot be made without further arguments.
    TObject* (*Construct)(TComponent* owner) = nullptr;
    TClassTables Tables;

    bool InheritsFrom(TClass ancestor) const {
        for (TClass c = this; c; c = c->Parent)
            if (c == ancestor)
                return true;
        return false;
    }
    TObject* Create(TComponent* owner = nullptr) const;

    // Lookups by name through this class and its ancestors, ASCII case ignored.
    const TPropInfo* FindProp(std::string_view name) const;
    const TMethodEntry* FindMethod(std::string_view name) const;
    const TFieldEntry* FindField(std::string_view name) const;
    // The name of the published method whose code is `code`, if any.
    const TMethodEntry* FindMethodByCode(const void* code) const;
    // A class of the published fields of this class or its ancestors with this name.
    TClass FindFieldClass(std::string_view name) const;
};

class TObject {
public:
    static const TClassInfo ClassInfo;
    virtual TClass ClassType() const { return &ClassInfo; }

    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    std::string_view ClassName() const { return ClassType()->Name; }
    bool InheritsFrom(TClass c) const { return ClassType()->InheritsFrom(c); }

    // Runs before the destructor while the object is still whole; components use it to
    // tell others of their destruction and to destroy what they own.
    virtual void BeforeDestruction() {}
};

// Destroys an object the way the model expects (BeforeDestruction, then delete); accepts null.
void Free(TObject* obj);
template <class T> void FreeAndNil(T*& obj) {
    T* p = obj;
    obj = nullptr;
    Free(p);
}

// A deleter for std::unique_ptr that destroys through Free.
struct TFreeDeleter {
    void operator()(TObject* obj) const { Free(obj); }
};
template <class T> using TOwned = std::unique_ptr<T, TFreeDeleter>;

template <class T> bool Isa(const TObject* obj) {
    return obj && obj->ClassType()->InheritsFrom(&T::ClassInfo);
}
template <class T> T* DynCast(TObject* obj) {
    return Isa<T>(obj) ? static_cast<T*>(obj) : nullptr;
}
template <class T> const T* DynCast(const TObject* obj) {
    return Isa<T>(obj) ? static_cast<const T*>(obj) : nullptr;
}

// --- building the tables

namespace detail {

template <class M> struct TMemberTraits;
template <class C, class T> struct TMemberTraits<T C::*> {
    using Class = C;
    using Value = std::remove_cvref_t<T>;
};
template <class C, class T> struct TMemberTraits<T (C::*)() const> {
    using Class = C;
    using Value = std::remove_cvref_t<T>;
};

template <class M> struct TSetterTraits;
template <class C, class T> struct TSetterTraits<T C::*> { using Class = C; };
template <class C, class T> struct TSetterTraits<void (C::*)(T)> { using Class = C; };

template <class T> constexpr std::int64_t ToOrdinal(const T& v) {
    if constexpr (TIsSet<T>::value)
        return static_cast<std::int64_t>(v.Bits());
    else if constexpr (std::is_enum_v<T>)
        return static_cast<std::int64_t>(static_cast<std::underlying_type_t<T>>(v));
    else
        return static_cast<std::int64_t>(v);
}

template <class T> T FromOrdinal(std::int64_t v) {
    if constexpr (TIsSet<T>::value)
        return T::FromBits(static_cast<std::uint32_t>(v));
    else if constexpr (std::is_enum_v<T>)
        return static_cast<T>(static_cast<std::underlying_type_t<T>>(v));
    else
        return static_cast<T>(v);
}

template <class T> TValue ToValue(const T& v) {
    constexpr TTypeKind kind = TypeInfoOf<T>.Kind;
    if constexpr (kind == TTypeKind::tkFloat)
        return static_cast<long double>(v);
    else if constexpr (kind == TTypeKind::tkString || kind == TTypeKind::tkWString ||
                       kind == TTypeKind::tkVariant)
        return v;
    else if constexpr (kind == TTypeKind::tkClass)
        return static_cast<TObject*>(const_cast<std::remove_const_t<std::remove_pointer_t<T>>*>(v));
    else if constexpr (kind == TTypeKind::tkMethod)
        return v.ToMethod();
    else
        return ToOrdinal(v);
}

// Raises EReadError "Invalid property value" (the value does not fit the property).
[[noreturn]] void InvalidPropertyValue();
// Checks that a method assigned to an event has the event's parameter list.
void CheckSignature(const TMethod& m, const TSignature* expected);

template <class T> T FromValue(const TValue& v) {
    constexpr TTypeKind kind = TypeInfoOf<T>.Kind;
    if constexpr (kind == TTypeKind::tkFloat) {
        return static_cast<T>(std::get<long double>(v));
    } else if constexpr (kind == TTypeKind::tkString || kind == TTypeKind::tkWString ||
                         kind == TTypeKind::tkVariant) {
        return std::get<T>(v);
    } else if constexpr (kind == TTypeKind::tkClass) {
        TObject* obj = std::get<TObject*>(v);
        using C = std::remove_pointer_t<T>;
        if (obj && !Isa<C>(obj))
            InvalidPropertyValue();
        return static_cast<T>(obj);
    } else if constexpr (kind == TTypeKind::tkMethod) {
        const TMethod& m = std::get<TMethod>(v);
        CheckSignature(m, TypeInfoOf<T>.Signature);
        return T::FromMethod(m);
    } else {
        return FromOrdinal<T>(std::get<std::int64_t>(v));
    }
}

} // namespace detail

// Options of a property entry.
struct TPropOption {
    bool HasDefault = false;
    std::int64_t Default = 0;
    bool (*IsStored)(const TObject*) = nullptr;
    // Set with IsStored: a constant evaluation may not compare a function pointer made
    // from a lambda with null (GCC refuses it in sanitizer builds).
    bool HasStored = false;
    bool NeverStored = false;
};

// The default value of an ordinal property: not written when the value equals it.
template <class T> constexpr TPropOption Default(T value) {
    return {.HasDefault = true, .Default = detail::ToOrdinal(value)};
}
// A member function `bool C::M() const` that says whether the property is written.
template <auto M> constexpr TPropOption Stored() {
    using C = typename detail::TMemberTraits<decltype(M)>::Class;
    return {.IsStored = +[](const TObject* o) -> bool { return (static_cast<const C*>(o)->*M)(); },
            .HasStored = true};
}
// The property is published (readable from streams) but never written.
inline constexpr TPropOption NotStored{.NeverStored = true};

template <auto Getter, auto Setter = nullptr, class... O>
constexpr TPropInfo Prop(std::string_view name, O... options) {
    using Traits = detail::TMemberTraits<decltype(Getter)>;
    using C = typename Traits::Class;
    using T = typename Traits::Value;
    TPropInfo p;
    p.Name = name;
    p.PropType = &TypeInfoOf<T>;
    p.Get = +[](const TObject* o) -> TValue {
        const C* self = static_cast<const C*>(o);
        if constexpr (std::is_member_function_pointer_v<decltype(Getter)>)
            return detail::ToValue<T>((self->*Getter)());
        else
            return detail::ToValue<T>(self->*Getter);
    };
    if constexpr (!std::is_same_v<decltype(Setter), std::nullptr_t>) {
        using SC = typename detail::TSetterTraits<decltype(Setter)>::Class;
        p.Set = +[](TObject* o, const TValue& v) {
            SC* self = static_cast<SC*>(o);
            if constexpr (std::is_member_function_pointer_v<decltype(Setter)>)
                (self->*Setter)(detail::FromValue<T>(v));
            else
                self->*Setter = detail::FromValue<T>(v);
        };
    }
    static_assert((std::is_same_v<O, TPropOption> && ...), "options are Default(), Stored<>()");
    for (const TPropOption& opt : {TPropOption{}, options...}) {
        if (opt.HasDefault) {
            p.HasDefault = true;
            p.Default = opt.Default;
        }
        if (opt.HasStored)
            p.IsStored = opt.IsStored;
        if (opt.NeverStored)
            p.NeverStored = true;
    }
    return p;
}

// A published event handler of a root class: `void C::M(Args...)`.
template <auto M> constexpr TMethodEntry Method(std::string_view name);

namespace detail {
template <class M> struct TMethodTraits;
template <class C, class... Args> struct TMethodTraits<void (C::*)(Args...)> {
    using Class = C;
    using Event = TEvent<Args...>;
};
} // namespace detail

template <auto M> constexpr TMethodEntry Method(std::string_view name) {
    using Traits = detail::TMethodTraits<decltype(M)>;
    using E = typename Traits::Event;
    return {name, &E::template Code<M, typename Traits::Class>, TypeInfoOf<E>.Signature};
}

// A published component field of a root class: `TImage* C::MainImage`.
template <auto M> constexpr TFieldEntry Field(std::string_view name) {
    using Traits = detail::TMemberTraits<decltype(M)>;
    using C = typename Traits::Class;
    using P = typename Traits::Value;
    using F = std::remove_pointer_t<P>;
    return {name, &F::ClassInfo,
            +[](const TObject* o) -> TComponent* { return static_cast<const C*>(o)->*M; },
            +[](TObject* o, TComponent* c) { static_cast<C*>(o)->*M = static_cast<P>(c); }};
}

// The class reference of C, a direct descendant of Parent.
template <class C, class Parent>
constexpr TClassInfo ClassInfoOf(std::string_view name, std::span<const TPropInfo> props = {},
                                 std::span<const TMethodEntry> methods = {},
                                 std::span<const TFieldEntry> fields = {}) {
    static_assert(std::is_base_of_v<Parent, C>);
    static_assert(std::is_same_v<decltype(&C::ClassType), TClass (C::*)() const>,
                  "the class must override ClassType()");
    TClassInfo info;
    info.Name = name;
    info.Parent = &Parent::ClassInfo;
    if constexpr (!std::is_abstract_v<C> && std::is_constructible_v<C, TComponent*>)
        info.Construct = +[](TComponent* owner) -> TObject* { return new C(owner); };
    else if constexpr (!std::is_abstract_v<C> && std::is_default_constructible_v<C>)
        info.Construct = +[](TComponent*) -> TObject* { return new C(); };
    info.Tables.Props = props;
    info.Tables.Methods = methods;
    info.Tables.Fields = fields;
    return info;
}

// --- reading and writing properties of live objects

TValue GetPropValue(const TObject* obj, const TPropInfo& prop);
// Raises EReadError "Property is read-only" when the property has no setter.
void SetPropValue(TObject* obj, const TPropInfo& prop, const TValue& value);
std::int64_t GetOrdProp(const TObject* obj, const TPropInfo& prop);
void SetOrdProp(TObject* obj, const TPropInfo& prop, std::int64_t value);
std::string GetStrProp(const TObject* obj, const TPropInfo& prop);
void SetStrProp(TObject* obj, const TPropInfo& prop, const std::string& value);
TObject* GetObjectProp(const TObject* obj, const TPropInfo& prop);
void SetObjectProp(TObject* obj, const TPropInfo& prop, TObject* value);
TMethod GetMethodProp(const TObject* obj, const TPropInfo& prop);
void SetMethodProp(TObject* obj, const TPropInfo& prop, const TMethod& value);
// Whether a writer writes the property's current value: not when NotStored, not when
// its stored test says no, and not when an ordinal equals its default.
bool IsStoredProp(const TObject* obj, const TPropInfo& prop);

// Lookups on an object's class.
const TPropInfo* GetPropInfo(const TObject* obj, std::string_view name);
// The published method `name` of obj's class, bound to obj; empty when there is none.
TMethod FindPublishedMethod(TObject* obj, std::string_view name);
// The name under which obj's class publishes `method`'s code; empty when it does not.
std::string_view FindPublishedMethodName(const TObject* obj, const TMethod& method);
const TFieldEntry* FindPublishedField(const TObject* obj, std::string_view name);

} // namespace formstream
