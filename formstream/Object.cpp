#include "formstream/Object.h"

#include "rtl/Exceptions.h"

namespace formstream {

using rtl::SameText;

static constexpr TClassInfo RootClassInfo() {
    TClassInfo info;
    info.Name = "TObject";
    return info;
}
constinit const TClassInfo TObject::ClassInfo = RootClassInfo();

void Free(TObject* obj) {
    if (!obj)
        return;
    obj->BeforeDestruction();
    delete obj;
}

int GetEnumValue(const TTypeInfo& type, std::string_view name) {
    for (std::size_t i = 0; i < type.EnumNames.size(); ++i)
        if (SameText(type.EnumNames[i], name))
            return static_cast<int>(i);
    return -1;
}

std::string_view GetEnumName(const TTypeInfo& type, std::int64_t ordinal) {
    if (ordinal < 0 || static_cast<std::uint64_t>(ordinal) >= type.EnumNames.size())
        return {};
    return type.EnumNames[static_cast<std::size_t>(ordinal)];
}

TObject* TClassInfo::Create(TComponent* owner) const {
    if (!Construct)
        throw rtl::EAbstractError();
    return Construct(owner);
}

const TPropInfo* TClassInfo::FindProp(std::string_view name) const {
    for (TClass c = this; c; c = c->Parent)
        for (const TPropInfo& p : c->Tables.Props)
            if (SameText(p.Name, name))
                return &p;
    return nullptr;
}

const TMethodEntry* TClassInfo::FindMethod(std::string_view name) const {
    for (TClass c = this; c; c = c->Parent)
        for (const TMethodEntry& m : c->Tables.Methods)
            if (SameText(m.Name, name))
                return &m;
    return nullptr;
}

const TMethodEntry* TClassInfo::FindMethodByCode(const void* code) const {
    if (!code)
        return nullptr;
    for (TClass c = this; c; c = c->Parent)
        for (const TMethodEntry& m : c->Tables.Methods)
            if (m.Code == code)
                return &m;
    return nullptr;
}

const TFieldEntry* TClassInfo::FindField(std::string_view name) const {
    for (TClass c = this; c; c = c->Parent)
        for (const TFieldEntry& f : c->Tables.Fields)
            if (SameText(f.Name, name))
                return &f;
    return nullptr;
}

TClass TClassInfo::FindFieldClass(std::string_view name) const {
    for (TClass c = this; c; c = c->Parent)
        for (const TFieldEntry& f : c->Tables.Fields)
            if (SameText(f.FieldClass->Name, name))
                return f.FieldClass;
    return nullptr;
}

namespace detail {

void InvalidPropertyValue() {
    throw rtl::EReadError(rtl::SInvalidPropertyValue);
}

void CheckSignature(const TMethod& m, const TSignature* expected) {
    if (m.Code && m.Signature != expected)
        InvalidPropertyValue();
}

} // namespace detail

TValue GetPropValue(const TObject* obj, const TPropInfo& prop) {
    return prop.Get(obj);
}

void SetPropValue(TObject* obj, const TPropInfo& prop, const TValue& value) {
    if (!prop.Set)
        throw rtl::EReadError(rtl::SReadOnlyProperty);
    prop.Set(obj, value);
}

std::int64_t GetOrdProp(const TObject* obj, const TPropInfo& prop) {
    return std::get<std::int64_t>(prop.Get(obj));
}
void SetOrdProp(TObject* obj, const TPropInfo& prop, std::int64_t value) {
    SetPropValue(obj, prop, value);
}
std::string GetStrProp(const TObject* obj, const TPropInfo& prop) {
    return std::get<std::string>(prop.Get(obj));
}
void SetStrProp(TObject* obj, const TPropInfo& prop, const std::string& value) {
    SetPropValue(obj, prop, value);
}
TObject* GetObjectProp(const TObject* obj, const TPropInfo& prop) {
    return std::get<TObject*>(prop.Get(obj));
}
void SetObjectProp(TObject* obj, const TPropInfo& prop, TObject* value) {
    SetPropValue(obj, prop, value);
}
TMethod GetMethodProp(const TObject* obj, const TPropInfo& prop) {
    return std::get<TMethod>(prop.Get(obj));
}
void SetMethodProp(TObject* obj, const TPropInfo& prop, const TMethod& value) {
    SetPropValue(obj, prop, value);
}

bool IsStoredProp(const TObject* obj, const TPropInfo& prop) {
    if (prop.NeverStored)
        return false;
    if (prop.IsStored && !prop.IsStored(obj))
        return false;
    if (prop.HasDefault && prop.PropType->IsOrdinal())
        return GetOrdProp(obj, prop) != prop.Default;
    return true;
}

const TPropInfo* GetPropInfo(const TObject* obj, std::string_view name) {
    return obj->ClassType()->FindProp(name);
}

TMethod FindPublishedMethod(TObject* obj, std::string_view name) {
    const TMethodEntry* m = obj->ClassType()->FindMethod(name);
    if (!m)
        return {};
    return {m->Code, obj, m->Signature};
}

std::string_view FindPublishedMethodName(const TObject* obj, const TMethod& method) {
    if (!obj || method.Data != obj)
        return {};
    const TMethodEntry* m = obj->ClassType()->FindMethodByCode(method.Code);
    return m ? m->Name : std::string_view{};
}

const TFieldEntry* FindPublishedField(const TObject* obj, std::string_view name) {
    return obj->ClassType()->FindField(name);
}

} // namespace formstream
