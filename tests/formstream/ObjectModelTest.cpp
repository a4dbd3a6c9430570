// Published tables: properties, methods and fields found by name through a three-level
// class hierarchy, typed access through the tables, and lookups that never allocate.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "formstream/Component.h"
#include "formstream/IdentTypes.h"
#include "rtl/Exceptions.h"

using namespace formstream;

// Counts allocations so that lookups can be shown not to allocate. The replacements pair
// malloc with free; GCC, seeing free inlined where `new` was called, takes them for a
// mismatch when it optimises harder (the sanitizer build).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
static std::atomic<long> gAllocations{0};
void* operator new(std::size_t n) {
    ++gAllocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

enum TShape : std::uint8_t { shRound, shSquare, shTriangle };
inline constexpr std::string_view TShapeNames[] = {"shRound", "shSquare", "shTriangle"};

} // namespace

template <>
inline constexpr TTypeInfo formstream::TypeInfoOf<TShape> = EnumTypeInfo("TShape", TShapeNames);

namespace {

using TShapes = TSet<TShape>;

// Level 1: a component with a few plain properties.
class TBase : public TComponent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TComponent::TComponent;

    int Width() const { return FWidth; }
    void SetWidth(int w) { FWidth = w < 0 ? 0 : w; }
    int FWidth = 10;
    bool FVisible = true;
    std::string FCaption;
    static const TPropInfo Published[];
};

// Level 2: enumerations, sets, colours, events and a read-only property.
class TMiddle : public TBase {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TBase::TBase;

    TShape FShape = shRound;
    TShapes FShapes;
    TColor FColor = clWindow;
    TNotifyEvent FOnClick;
    double FRatio = 0;
    int Computed() const { return 42; }
    bool ColorStored() const { return FColor != clBtnFace; }
    static const TPropInfo Published[];
};

// Level 3: a root class with handlers and component fields.
class TRoot : public TMiddle {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TMiddle::TMiddle;

    TMiddle* Child = nullptr;
    TBase* Other = nullptr;
    int Clicks = 0;
    TObject* LastSender = nullptr;
    void ChildClick(TObject* sender) {
        ++Clicks;
        LastSender = sender;
    }
    void Resized(TObject*, int) {}
    static const TPropInfo Published[];
    static const TMethodEntry Methods[];
    static const TFieldEntry Fields[];
};

constinit const TPropInfo TBase::Published[] = {
    Prop<&TBase::Width, &TBase::SetWidth>("Width", Default(10)),
    Prop<&TBase::FVisible, &TBase::FVisible>("Visible", Default(true)),
    Prop<&TBase::FCaption, &TBase::FCaption>("Caption"),
};
constinit const TClassInfo TBase::ClassInfo = ClassInfoOf<TBase, TComponent>("TBase", Published);

constinit const TPropInfo TMiddle::Published[] = {
    Prop<&TMiddle::FShape, &TMiddle::FShape>("Shape", Default(shRound)),
    Prop<&TMiddle::FShapes, &TMiddle::FShapes>("Shapes", Default(TShapes{})),
    Prop<&TMiddle::FColor, &TMiddle::FColor>("Color", Stored<&TMiddle::ColorStored>()),
    Prop<&TMiddle::FOnClick, &TMiddle::FOnClick>("OnClick"),
    Prop<&TMiddle::FRatio, &TMiddle::FRatio>("Ratio"),
    Prop<&TMiddle::Computed>("Computed"),
};
constinit const TClassInfo TMiddle::ClassInfo = ClassInfoOf<TMiddle, TBase>("TMiddle", Published);

constinit const TPropInfo TRoot::Published[] = {
    Prop<&TRoot::Child, &TRoot::Child>("ChildRef"),
};
constinit const TMethodEntry TRoot::Methods[] = {
    Method<&TRoot::ChildClick>("ChildClick"),
    Method<&TRoot::Resized>("Resized"),
};
constinit const TFieldEntry TRoot::Fields[] = {
    Field<&TRoot::Child>("Child"),
    Field<&TRoot::Other>("Other"),
};
constinit const TClassInfo TRoot::ClassInfo =
    ClassInfoOf<TRoot, TMiddle>("TRoot", Published, Methods, Fields);

} // namespace

TEST(PublishedTables, PropertiesFoundInAnyCaseThroughAncestors) {
    struct Case {
        const char* name;
        const char* owner; // class whose table holds it; null = not found
        TTypeKind kind;
    } cases[] = {
        {"Width", "TBase", TTypeKind::tkInteger},
        {"WIDTH", "TBase", TTypeKind::tkInteger},
        {"caption", "TBase", TTypeKind::tkString},
        {"Visible", "TBase", TTypeKind::tkEnumeration},
        {"shape", "TMiddle", TTypeKind::tkEnumeration},
        {"Shapes", "TMiddle", TTypeKind::tkSet},
        {"Color", "TMiddle", TTypeKind::tkInteger},
        {"onclick", "TMiddle", TTypeKind::tkMethod},
        {"Ratio", "TMiddle", TTypeKind::tkFloat},
        {"ChildRef", "TRoot", TTypeKind::tkClass},
        {"Tag", "TComponent", TTypeKind::tkInteger},
        {"name", "TComponent", TTypeKind::tkString},
        {"Widt", nullptr, TTypeKind::tkUnknown},
        {"", nullptr, TTypeKind::tkUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TPropInfo* p = TRoot::ClassInfo.FindProp(c.name);
        if (!c.owner) {
            EXPECT_EQ(p, nullptr);
            continue;
        }
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(rtl::SameText(p->Name, c.name));
        EXPECT_EQ(p->Kind(), c.kind);
        // The entry lives in the table of the class that declares it.
        TClass holder = nullptr;
        for (TClass k = &TRoot::ClassInfo; k; k = k->Parent)
            for (const auto& e : k->Tables.Props)
                if (&e == p)
                    holder = k;
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder->Name, c.owner);
    }
    // An ancestor does not see its descendants' properties.
    EXPECT_EQ(TBase::ClassInfo.FindProp("Shape"), nullptr);
}

TEST(PublishedTables, MethodsAndFieldsFoundInAnyCase) {
    TRoot root(nullptr);
    EXPECT_TRUE(FindPublishedMethod(&root, "childclick"));
    EXPECT_TRUE(FindPublishedMethod(&root, "RESIZED"));
    EXPECT_FALSE(FindPublishedMethod(&root, "Missing"));
    TMethod m = FindPublishedMethod(&root, "ChildClick");
    EXPECT_EQ(m.Data, &root);
    EXPECT_EQ(FindPublishedMethodName(&root, m), "ChildClick");

    const TFieldEntry* f = FindPublishedField(&root, "child");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->FieldClass, &TMiddle::ClassInfo);
    EXPECT_EQ(FindPublishedField(&root, "Width"), nullptr);
    EXPECT_EQ(TRoot::ClassInfo.FindFieldClass("tmiddle"), &TMiddle::ClassInfo);
    EXPECT_EQ(TRoot::ClassInfo.FindFieldClass("TComponent"), nullptr);
}

TEST(PublishedTables, LookupsByNameDoNotAllocate) {
    TRoot root(nullptr);
    const long before = gAllocations.load();
    for (int i = 0; i < 100; ++i) {
        EXPECT_NE(TRoot::ClassInfo.FindProp("shapes"), nullptr);
        EXPECT_NE(TRoot::ClassInfo.FindProp("TAG"), nullptr);
        EXPECT_TRUE(FindPublishedMethod(&root, "childclick"));
        EXPECT_NE(FindPublishedField(&root, "OTHER"), nullptr);
        EXPECT_EQ(GetEnumValue(TypeInfoOf<TShape>, "SHTRIANGLE"), 2);
    }
    EXPECT_EQ(gAllocations.load(), before);
}

TEST(PublishedTables, TypedAccessThroughTheTable) {
    TRoot root(nullptr);
    const TClass c = root.ClassType();
    SetOrdProp(&root, *c->FindProp("Width"), -5);
    EXPECT_EQ(root.Width(), 0) << "the setter runs";
    SetOrdProp(&root, *c->FindProp("Shape"), shSquare);
    EXPECT_EQ(root.FShape, shSquare);
    SetOrdProp(&root, *c->FindProp("Shapes"), TShapes{shRound, shTriangle}.Bits());
    EXPECT_TRUE(root.FShapes.Contains(shTriangle));
    EXPECT_FALSE(root.FShapes.Contains(shSquare));
    SetStrProp(&root, *c->FindProp("Caption"), "Back");
    EXPECT_EQ(root.FCaption, "Back");
    SetPropValue(&root, *c->FindProp("Ratio"), 2.5L);
    EXPECT_EQ(root.FRatio, 2.5);
    EXPECT_EQ(GetOrdProp(&root, *c->FindProp("Computed")), 42);
    try {
        SetOrdProp(&root, *c->FindProp("Computed"), 1);
        FAIL();
    } catch (const rtl::EReadError& e) {
        EXPECT_EQ(e.Message(), "Property is read-only");
    }
}

TEST(PublishedTables, EventsBindToHandlersWithTheSameParameters) {
    TRoot root(nullptr);
    TMiddle child(&root);
    const TPropInfo& onClick = *root.ClassType()->FindProp("OnClick");
    SetMethodProp(&child, onClick, FindPublishedMethod(&root, "ChildClick"));
    child.FOnClick(&child);
    EXPECT_EQ(root.Clicks, 1);
    EXPECT_EQ(root.LastSender, &child);
    // A handler of another parameter list is refused instead of being called wrongly.
    EXPECT_THROW(SetMethodProp(&child, onClick, FindPublishedMethod(&root, "Resized")),
                 rtl::EReadError);
    SetMethodProp(&child, onClick, TMethod{});
    EXPECT_FALSE(child.FOnClick);
    child.FOnClick(&child); // an empty event does nothing
    EXPECT_EQ(root.Clicks, 1);
}

TEST(PublishedTables, ObjectPropertyRefusesAnObjectOfAnotherClass) {
    TRoot root(nullptr);
    TBase base(nullptr);
    TMiddle middle(nullptr);
    const TPropInfo& ref = *root.ClassType()->FindProp("ChildRef");
    SetObjectProp(&root, ref, &middle);
    EXPECT_EQ(root.Child, &middle);
    EXPECT_THROW(SetObjectProp(&root, ref, &base), rtl::EReadError);
    EXPECT_EQ(root.Child, &middle);
}

TEST(PublishedTables, StoredFollowsDefaultsAndStoredTests) {
    TRoot root(nullptr);
    const TClass c = root.ClassType();
    EXPECT_FALSE(IsStoredProp(&root, *c->FindProp("Width")));
    root.SetWidth(11);
    EXPECT_TRUE(IsStoredProp(&root, *c->FindProp("Width")));
    EXPECT_FALSE(IsStoredProp(&root, *c->FindProp("Visible")));
    EXPECT_TRUE(IsStoredProp(&root, *c->FindProp("Color")));
    root.FColor = clBtnFace;
    EXPECT_FALSE(IsStoredProp(&root, *c->FindProp("Color")));
    EXPECT_FALSE(IsStoredProp(&root, *c->FindProp("Name")));
}

TEST(ClassInfo, InheritsFromAndCastFollowTheChain) {
    TMiddle m(nullptr);
    EXPECT_TRUE(Isa<TBase>(&m));
    EXPECT_TRUE(Isa<TPersistent>(&m));
    EXPECT_FALSE(Isa<TRoot>(&m));
    EXPECT_EQ(DynCast<TRoot>(&m), nullptr);
    EXPECT_EQ(m.ClassName(), "TMiddle");
    EXPECT_FALSE(Isa<TBase>(nullptr));
    TOwned<TObject> made(TRoot::ClassInfo.Create(nullptr));
    ASSERT_TRUE(Isa<TRoot>(made.get()));
    TOwned<TObject> plain(TPersistent::ClassInfo.Create());
    EXPECT_EQ(plain->ClassType(), &TPersistent::ClassInfo);
    EXPECT_THROW(TObject::ClassInfo.Create(), rtl::EAbstractError) << "no constructor recorded";
}
