// The form reader: signature and framing, components and names, property values of
// every kind, references and their fix-ups, events, errors with their exact messages,
// buffering, and bounded handling of damaged lengths.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>

#include "StreamBytes.h"
#include "TestClasses.h"
#include "formstream/FormResources.h"
#include "rtl/Exceptions.h"

using namespace formstream;
using namespace testclasses;

namespace {

class Reader : public ::testing::Test {
protected:
    void SetUp() override {
        ResetClassRegistry();
        RegisterTestClasses();
        gEvents.clear();
        gGlobalRoots.clear();
        RemoveFixupReferences(nullptr);
    }
    void TearDown() override {
        for (TComponent* c : FRoots)
            Free(c);
        gGlobalRoots.clear();
        RemoveFixupReferences(nullptr);
        ResetClassRegistry();
    }

    // Reads `bytes` into a new root of the stream's class (kept until the test ends).
    template <class T = TTestRoot> T* Read(const TBytes& bytes, int bufSize = 4096) {
        rtl::TMemoryStream s;
        bytes.LoadInto(s);
        TReader reader(s, bufSize);
        auto* root = static_cast<T*>(reader.ReadRootEntry(nullptr));
        FRoots.push_back(root);
        return root;
    }
    // Reads into an existing root.
    void ReadInto(TComponent* root, const TBytes& bytes, int bufSize = 4096) {
        rtl::TMemoryStream s;
        bytes.LoadInto(s);
        TReader reader(s, bufSize);
        reader.ReadRootEntry(root);
    }
    // The message of the exception of type E that reading raises.
    template <class E = rtl::EReadError> std::string ReadError(const TBytes& bytes) {
        try {
            Read(bytes);
        } catch (const rtl::Exception& e) {
            if constexpr (std::is_same_v<E, rtl::Exception>)
                return e.Message();
            else if (dynamic_cast<const E*>(&e))
                return e.Message();
            return std::string("other exception ") + e.ClassName() + ": " + e.Message();
        }
        return "no exception";
    }

    std::vector<TComponent*> FRoots;
};

// A root of class TTestRoot named Form1 with the given property bytes and children.
TBytes RootWith(const std::function<void(TBytes&)>& props,
                const std::function<void(TBytes&)>& children = {}) {
    TBytes b;
    b.Sig().Obj("TTestRoot", "Form1");
    props(b);
    b.End();
    if (children)
        children(b);
    b.End();
    return b;
}

TBytes OneProp(std::string_view path, const std::function<void(TBytes&)>& value) {
    return RootWith([&](TBytes& b) {
        b.Prop(path);
        value(b);
    });
}

} // namespace

TEST_F(Reader, SignatureAndTruncationMessages) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"empty stream", "", "Stream read error"},
        {"three signature bytes", "TPF", "Stream read error"},
        {"signature only", "TPF0", "Stream read error"},
        {"other four bytes", "TPF1", "Invalid stream format"},
        {"other four bytes, then a whole entry", std::string("XPF0\x09TTestRoot\0\0\0", 16),
         "Invalid stream format"},
        {"class name cut short", "TPF0\x09TTest", "Stream read error"},
        {"no children-list end", std::string("TPF0\x09TTestRoot\x01X\0", 17), "Stream read error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TBytes b;
        b.Raw(c.bytes);
        EXPECT_EQ(ReadError(b), c.message);
    }
}

TEST_F(Reader, ReadsRootPropertiesChildrenAndLoadedOrder) {
    TBytes b;
    b.Sig().Obj("TTestRoot", "Form1");
    b.Prop("Left").Int(-4).Prop("Width").Int(1283).Prop("Caption").String("Quillot 05 Vol. 1 ");
    b.End();
    b.Obj("TWidget", "First").Prop("Left").Int(70000).End().End();
    b.Obj("TGadget", "Gadget").Prop("Caption").String("g").End().End();
    b.Obj("TWidget", "Second").End().End();
    b.End();
    b.Raw("trailing");

    rtl::TMemoryStream s;
    b.LoadInto(s);
    TTestRoot* root;
    {
        TReader reader(s, 4096);
        root = static_cast<TTestRoot*>(reader.ReadRootEntry(nullptr));
        FRoots.push_back(root);
    }
    // The reader gave back what it read ahead: the stream stands after the root entry.
    EXPECT_EQ(s.Position(), static_cast<std::int64_t>(b.Size() - 8));

    EXPECT_EQ(root->Name(), "Form1");
    EXPECT_EQ(root->FLeft, -4);
    EXPECT_EQ(root->FWidth, 1283);
    EXPECT_EQ(root->FCaption, "Quillot 05 Vol. 1 ");
    ASSERT_EQ(root->ComponentCount(), 3);
    EXPECT_EQ(root->First, root->Components(0));
    EXPECT_EQ(root->First->FLeft, 70000);
    EXPECT_EQ(root->Gadget, root->Components(1));
    EXPECT_EQ(root->Gadget->FCaption, "g");
    EXPECT_EQ(root->Second, root->Components(2));
    EXPECT_EQ(root->First->FParentSeen, root);
    const std::vector<std::string> loaded = {"Loaded Form1", "Loaded First", "Loaded Gadget",
                                             "Loaded Second"};
    EXPECT_EQ(gEvents, loaded);
    for (int i = 0; i < root->ComponentCount(); ++i)
        EXPECT_FALSE(root->Components(i)->HasState(stLoading));
    EXPECT_FALSE(root->HasState(stLoading));
    EXPECT_FALSE(root->HasState(stReading));
}

TEST_F(Reader, OneByteBufferReadsTheSameAsFourKilobytes) {
    TBytes b;
    b.Sig().Obj("TTestRoot", "Form1");
    b.Prop("Caption").Tag(tagLString).LE(300, 4).Raw(std::string(300, 'x'));
    b.Prop("Data").Tag(tagBinary).LE(5000, 4).Raw(std::string(5000, '\x5A'));
    b.Prop("Font.Style").Tag(tagSet).Str("fsBold").Str("fsItalic").End();
    b.End();
    b.Obj("TWidget", "First").Prop("Ref").Ident("Second").End().End();
    b.Obj("TWidget", "Second").Prop("Items").Tag(tagCollection);
    b.Tag(tagList).Prop("Caption").String("a").End();
    b.End().End().End();
    b.End();
    for (int size : {1, 2, 3, 7, 4096, 100000}) {
        SCOPED_TRACE(size);
        gEvents.clear();
        auto* root = Read(b, size);
        EXPECT_EQ(root->FCaption, std::string(300, 'x'));
        EXPECT_EQ(root->FData, std::vector<std::uint8_t>(5000, 0x5A));
        EXPECT_EQ(root->FFont->FStyle, (TFontStyles{fsBold, fsItalic}));
        ASSERT_NE(root->First, nullptr);
        EXPECT_EQ(root->First->FRef, root->Second);
        ASSERT_EQ(root->Second->FItems->Count(), 1);
        EXPECT_EQ(static_cast<TTestItem*>(root->Second->FItems->Items(0))->FCaption, "a");
        EXPECT_EQ(gEvents.size(), 3u);
        Free(root);
        FRoots.pop_back();
    }
}

TEST_F(Reader, IdentifiersMatchWithoutRegardToCase) {
    struct Case {
        const char* path;
        const char* ident;
        std::function<std::int64_t(TTestRoot*)> get;
        std::int64_t expected;
    } cases[] = {
        {"WindowState", "WSMAXIMIZED", [](TTestRoot* r) { return r->FWindowState; }, wsMaximized},
        {"WindowState", "wsmaximized", [](TTestRoot* r) { return r->FWindowState; }, wsMaximized},
        {"Color", "clbtnface", [](TTestRoot* r) { return r->FColor; }, std::int32_t(0x8000000F)},
        {"Color", "CLGRAY", [](TTestRoot* r) { return r->FColor; }, 0x808080},
        {"Cursor", "crhandpoint", [](TTestRoot* r) { return r->FCursor; }, -21},
        {"Font.Charset", "ansi_charset", [](TTestRoot* r) { return r->FFont->FCharset; }, 0},
        {"Align", "ALCLIENT", [](TTestRoot* r) { return r->FAlign; }, alClient},
        {"Visible", "false", [](TTestRoot* r) { return r->FVisible; }, 0},
        {"caption", nullptr, [](TTestRoot* r) { return r->FCaption == "c"; }, 1},
        {"FONT.HEIGHT", nullptr, [](TTestRoot* r) { return r->FFont->FHeight; }, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto* root = Read(OneProp(c.path, [&](TBytes& b) {
            if (c.ident)
                b.Ident(c.ident);
            else if (std::string_view(c.path) == "caption")
                b.String("c");
            else
                b.Int(5);
        }));
        EXPECT_EQ(c.get(root), c.expected);
    }
}

TEST_F(Reader, ValuesOfEveryKind) {
    struct Case {
        const char* what;
        std::function<void(TBytes&)> prop;
        std::function<bool(TTestRoot*)> check;
    } cases[] = {
        {"int16", [](TBytes& b) { b.Prop("Left").Tag(tagInt16).LE(0xFFFE, 2); },
         [](TTestRoot* r) { return r->FLeft == -2; }},
        {"int32 non-minimal", [](TBytes& b) { b.Prop("Left").Tag(tagInt32).LE(5, 4); },
         [](TTestRoot* r) { return r->FLeft == 5; }},
        {"false tag", [](TBytes& b) { b.Prop("Visible").Tag(tagFalse); },
         [](TTestRoot* r) { return !r->FVisible; }},
        {"lstring", [](TBytes& b) { b.Prop("Caption").Tag(tagLString).LE(3, 4).Raw("abc"); },
         [](TTestRoot* r) { return r->FCaption == "abc"; }},
        {"wstring into 8-bit",
         [](TBytes& b) { b.Prop("Caption").Tag(tagWString).LE(2, 4).LE(0xAC00, 2).LE('A', 2); },
         [](TTestRoot* r) {
             return r->FCaption == "\xEA\xB0\x80"
                                   "A";
         }},
        {"utf8 into 8-bit",
         [](TBytes& b) { b.Prop("Caption").Tag(tagUtf8String).LE(3, 4).Raw("\xEA\xB0\x80"); },
         [](TTestRoot* r) { return r->FCaption == "\xEA\xB0\x80"; }},
        {"string into wide", [](TBytes& b) { b.Prop("Wide").String("\xEA\xB0\x80z"); },
         [](TTestRoot* r) { return r->FWide == u"\uAC00z"; }},
        {"wstring into wide, lone surrogate kept",
         [](TBytes& b) { b.Prop("Wide").Tag(tagWString).LE(1, 4).LE(0xD800, 2); },
         [](TTestRoot* r) { return r->FWide == std::u16string(1, char16_t(0xD800)); }},
        {"char", [](TBytes& b) { b.Prop("Ch").String("Q"); },
         [](TTestRoot* r) { return r->FCh == 'Q'; }},
        {"empty char", [](TBytes& b) { b.Prop("Ch").String(""); },
         [](TTestRoot* r) { return r->FCh == 0; }},
        {"float from extended 1.5",
         [](TBytes& b) {
             b.Prop("Ratio").Tag(tagExtended).LE(0xC000000000000000ull, 8).LE(0x3FFF, 2);
         },
         [](TTestRoot* r) { return r->FRatio == 1.5; }},
        {"float from integer", [](TBytes& b) { b.Prop("Ratio").Int(-3); },
         [](TTestRoot* r) { return r->FRatio == -3.0; }},
        {"int64", [](TBytes& b) { b.Prop("Big").Tag(tagInt64).LE(0x123456789ull, 8); },
         [](TTestRoot* r) { return r->FBig == 0x123456789ll; }},
        {"int64 from int8", [](TBytes& b) { b.Prop("Big").Int(-1); },
         [](TTestRoot* r) { return r->FBig == -1; }},
        {"set with an unknown name",
         [](TBytes& b) { b.Prop("Anchors").Tag(tagSet).Str("alRIGHT").Str("alNowhere").End(); },
         [](TTestRoot* r) { return r->FAnchors == TAnchors{alRight}; }},
        {"empty set", [](TBytes& b) { b.Prop("Anchors").Tag(tagSet).End(); },
         [](TTestRoot* r) { return r->FAnchors.Empty(); }},
        {"variant null", [](TBytes& b) { b.Prop("Var").Tag(tagNull); },
         [](TTestRoot* r) { return r->FVar.VType == TVariant::TVarType::varNull; }},
        {"variant int16", [](TBytes& b) { b.Prop("Var").Int(300); },
         [](TTestRoot* r) {
             return r->FVar.VType == TVariant::TVarType::varInteger && r->FVar.Int == 300;
         }},
        {"variant currency", [](TBytes& b) { b.Prop("Var").Tag(tagCurrency).LE(15000, 8); },
         [](TTestRoot* r) {
             return r->FVar.VType == TVariant::TVarType::varCurrency && r->FVar.Int == 15000;
         }},
        {"variant true", [](TBytes& b) { b.Prop("Var").Tag(tagTrue); },
         [](TTestRoot* r) {
             return r->FVar.VType == TVariant::TVarType::varBoolean && r->FVar.Int == 1;
         }},
        {"object nil", [](TBytes& b) { b.Prop("Ref").Tag(tagNil); },
         [](TTestRoot* r) { return r->FRef == nullptr; }},
        {"event nil", [](TBytes& b) { b.Prop("OnClick").Tag(tagNil); },
         [](TTestRoot* r) { return !r->FOnClick; }},
        {"defined property", [](TBytes& b) { b.Prop("extra").Int(9); },
         [](TTestRoot* r) { return r->FExtra == 9; }},
        {"design position of TComponent", [](TBytes& b) { b.Prop("Top").Int(840); },
         [](TTestRoot* r) { return r->DesignTop() == 840; }},
        {"binary defined property", [](TBytes& b) { b.Prop("Data").Tag(tagBinary).LE(0, 4); },
         [](TTestRoot* r) { return r->FHasData && r->FData.empty(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* root = Read(RootWith(c.prop));
        EXPECT_TRUE(c.check(root));
    }
}

TEST_F(Reader, FailingPropertiesAreReportedWithComponentNameAndPath) {
    struct Case {
        const char* what;
        std::function<void(TBytes&)> widgetProps;
        const char* message;
    } cases[] = {
        {"cursor name that the map lacks", [](TBytes& b) { b.Prop("Cursor").Ident("crNone"); },
         "Error reading back.Cursor: Invalid property value"},
        {"cursor value without a name is fine as a number",
         [](TBytes& b) { b.Prop("Cursor").Int(-1).Prop("Foo").Int(1); },
         "Error reading back.Foo: Property Foo does not exist"},
        {"unknown property", [](TBytes& b) { b.Prop("Foo").Int(1); },
         "Error reading back.Foo: Property Foo does not exist"},
        {"identifier for an integer type without a map",
         [](TBytes& b) { b.Prop("Left").Ident("clRed"); },
         "Error reading back.Left: Invalid property value"},
        {"enumeration identifier that names no value",
         [](TBytes& b) { b.Prop("Align").Ident("alMiddle"); },
         "Error reading back.Align: Invalid property value"},
        {"string for an integer", [](TBytes& b) { b.Prop("Left").String("1"); },
         "Error reading back.Left: Invalid property value"},
        {"integer for a string", [](TBytes& b) { b.Prop("Caption").Int(1); },
         "Error reading back.Caption: Invalid property value"},
        {"over-long character", [](TBytes& b) { b.Prop("Ch").String("ab"); },
         "Error reading back.Ch: Invalid property value"},
        {"identifier for a set", [](TBytes& b) { b.Prop("Anchors").Ident("alTop"); },
         "Error reading back.Anchors: Invalid property value"},
        {"missing event handler", [](TBytes& b) { b.Prop("OnClick").Ident("NoSuchClick"); },
         "Error reading back.OnClick: Invalid property value"},
        {"handler with another parameter list",
         [](TBytes& b) { b.Prop("OnClick").Ident("Resized"); },
         "Error reading back.OnClick: Invalid property value"},
        {"read-only property", [](TBytes& b) { b.Prop("Fixed").Int(1); },
         "Error reading back.Fixed: Property is read-only"},
        {"path through a non-object", [](TBytes& b) { b.Prop("Left.X").Int(1); },
         "Error reading back.Left.X: Invalid property path"},
        {"path through an unknown property", [](TBytes& b) { b.Prop("Bar.X").Int(1); },
         "Error reading back.Bar.X: Property Bar does not exist"},
        {"unknown sub-property", [](TBytes& b) { b.Prop("Font.Size").Int(8); },
         "Error reading back.Font.Size: Property Size does not exist"},
        {"font name of the wrong tag", [](TBytes& b) { b.Prop("Font.Name").Int(8); },
         "Error reading back.Font.Name: Invalid property value"},
        {"binary property of the wrong tag", [](TBytes& b) { b.Prop("Data").String("x"); },
         "Error reading back.Data: Invalid property value"},
        {"collection value for a plain object",
         [](TBytes& b) { b.Prop("Font").Tag(tagCollection).End(); },
         "Error reading back.Font: Invalid property value"},
        {"unknown tag", [](TBytes& b) { b.Prop("Left").Byte(21); },
         "Error reading back.Left: Invalid property value"},
        {"variant of a list", [](TBytes& b) { b.Prop("Var").Tag(tagList).End(); },
         "Error reading back.Var: Stream read error"},
        {"custom variant", [](TBytes& b) { b.Prop("Var").Tag(tagBinary).LE(0, 4); },
         "Error reading back.Var: Stream read error"},
        {"collection item with an unknown property",
         [](TBytes& b) {
             b.Prop("Items").Tag(tagCollection).Tag(tagList).Prop("Nope").Int(1).End().End();
         },
         "Error reading back.Items: Error reading TTestItem.Nope: Property Nope does not exist"},
        {"collection item without its list begin",
         [](TBytes& b) { b.Prop("Items").Tag(tagCollection).Int(1).End().End(); },
         "Error reading back.Items: Invalid property value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TBytes b = RootWith([](TBytes&) {},
                            [&](TBytes& k) {
                                k.Obj("TWidget", "back");
                                c.widgetProps(k);
                                k.End().End();
                            });
        EXPECT_EQ(ReadError(b), c.message);
    }
    // The root's own properties are reported under its name.
    EXPECT_EQ(ReadError(OneProp("Foo", [](TBytes& b) { b.Int(1); })),
              "Error reading Form1.Foo: Property Foo does not exist");
}

TEST_F(Reader, ClassAndComponentErrors) {
    struct Case {
        const char* what;
        std::function<void(TBytes&)> child;
        const char* message;
    } cases[] = {
        {"class neither field class nor registered",
         [](TBytes& b) { b.Obj("tBogus", "x").End().End(); }, "Class tBogus not found"},
        {"class that is no component", [](TBytes& b) { b.Obj("TPersistent", "x").End().End(); },
         "Class TPersistent not found"},
        {"inherited component missing",
         [](TBytes& b) { b.Byte(0xF1).Obj("TWidget", "Ghost").End().End(); },
         "Ancestor for 'Ghost' not found"},
        {"name not an identifier", [](TBytes& b) { b.Obj("TWidget", "1abc").End().End(); },
         "''1abc'' is not a valid component name"},
        {"name used twice",
         [](TBytes& b) { b.Obj("TWidget", "Same").End().End().Obj("TWidget", "SAME").End().End(); },
         "A component named SAME already exists"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReadError<rtl::Exception>(RootWith([](TBytes&) {}, c.child)), c.message);
    }
    // The class name is resolved through the root's field classes without registration.
    auto* root =
        Read(RootWith([](TBytes&) {}, [](TBytes& b) { b.Obj("tgadget", "").End().End(); }));
    ASSERT_EQ(root->ComponentCount(), 1);
    EXPECT_EQ(root->Components(0)->ClassType(), &TGadget::ClassInfo);
    EXPECT_EQ(LookupStreamClass("TGadget"), nullptr);
}

TEST_F(Reader, FailureDestroysTheFailingComponentAndKeepsEarlierOnesOwned) {
    TOwned<TTestRoot> root(new TTestRoot(nullptr));
    TBytes b = RootWith([](TBytes&) {},
                        [](TBytes& k) {
                            k.Obj("TWidget", "First").End().End();
                            k.Obj("TWidget", "Second").Prop("Foo").Int(1).End().End();
                            k.Obj("TWidget", "Third").End().End();
                        });
    EXPECT_THROW(ReadInto(root.get(), b), rtl::EReadError);
    ASSERT_EQ(root->ComponentCount(), 1);
    EXPECT_EQ(root->Components(0)->Name(), "First");
    EXPECT_EQ(root->Second, nullptr); // the field was cleared when it went
    EXPECT_TRUE(gEvents.empty());     // no Loaded after a failure
}

TEST_F(Reader, FailureOfACreatedRootDestroysIt) {
    // A created root is destroyed: its components go with it (nothing leaks; checked by
    // the sanitizer build).
    EXPECT_EQ(
        ReadError(RootWith([](TBytes&) {},
                           [](TBytes& k) { k.Obj("TWidget", "A").Prop("X").Int(1).End().End(); })),
        "Error reading A.X: Property X does not exist");
}

TEST_F(Reader, ReferencesResolveAfterTheWholeRootInEitherOrder) {
    for (bool refFirst : {true, false}) {
        SCOPED_TRACE(refFirst);
        TBytes b = RootWith(
            [](TBytes&) {},
            [&](TBytes& k) {
                if (!refFirst)
                    k.Obj("TWidget", "ShowPanel").End().End();
                k.Obj("TWidget", "MediaPlayer1").Prop("Ref").Ident("showpanel").End().End();
                if (refFirst)
                    k.Obj("TWidget", "ShowPanel").End().End();
            });
        auto* root = Read(b);
        auto* player = static_cast<TWidget*>(root->FindOwnedComponent("MediaPlayer1"));
        EXPECT_EQ(player->FRef, root->FindOwnedComponent("ShowPanel"));
    }
}

TEST_F(Reader, ReferencePaths) {
    struct Case {
        const char* path;
        const char* expected; // "root", "A", "B" or null for none
    } cases[] = {
        {"A", "A"},   {"Owner", "root"},   {"owner.A", "A"}, {"A-B", "B"},          {"A->B", "B"},
        {"A.B", "B"}, {"Nobody", nullptr}, {"A.", nullptr},  {"A.Nobody", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        TOwned<TTestRoot> root(new TTestRoot(nullptr));
        auto* a = new TWidget(root.get());
        a->SetName("A");
        auto* b = new TWidget(a);
        b->SetName("B");
        ReadInto(root.get(), OneProp("Ref", [&](TBytes& v) { v.Ident(c.path); }));
        const std::string_view want = c.expected ? c.expected : "";
        TWidget* expected = want == "root" ? root.get()
                            : want == "A"  ? a
                            : want == "B"  ? b
                                           : nullptr;
        EXPECT_EQ(root->FRef, expected);
    }
}

TEST_F(Reader, UndottedUnknownReferenceIsNullAndDottedOneWaitsForItsRoot) {
    auto* first = Read(OneProp("Ref", [](TBytes& b) { b.Ident("Nobody"); }));
    EXPECT_EQ(first->FRef, nullptr);
    EXPECT_EQ(GlobalFixupCount(), 0);

    auto* waiting = Read(RootWith([](TBytes& p) { p.Prop("Ref").Ident("Other.Target"); }));
    EXPECT_EQ(waiting->FRef, nullptr);
    EXPECT_EQ(GlobalFixupCount(), 1);
    gGlobalRoots.push_back(waiting);

    // A root named Other with a component Target: reading it resolves the reference.
    TBytes other;
    other.Sig().Obj("TTestRoot", "Other").End().Obj("TWidget", "Target").End().End().End();
    auto* otherRoot = Read(other);
    gGlobalRoots.push_back(otherRoot);
    EXPECT_EQ(GlobalFixupCount(), 1); // resolved only once the root is known globally

    TBytes third;
    third.Sig().Obj("TTestRoot", "Third").End().End();
    Read(third);
    EXPECT_EQ(GlobalFixupCount(), 0);
    EXPECT_EQ(waiting->FRef, otherRoot->FindOwnedComponent("Target"));
}

TEST_F(Reader, WaitingReferenceIsForgottenWhenItsComponentGoes) {
    auto* waiting = Read(RootWith([](TBytes& p) { p.Prop("Ref").Ident("Other.Target"); }));
    EXPECT_EQ(GlobalFixupCount(), 1);
    Free(waiting);
    FRoots.clear();
    EXPECT_EQ(GlobalFixupCount(), 0);
}

TEST_F(Reader, SecondReadOfTheSameFormGetsANumberedName) {
    TBytes b;
    b.Sig().Obj("TTestRoot", "Form1").End().End();
    TOwned<TTestRoot> first(new TTestRoot(nullptr));
    ReadInto(first.get(), b);
    EXPECT_EQ(first->Name(), "Form1");
    gGlobalRoots.push_back(first.get());
    TOwned<TTestRoot> second(new TTestRoot(nullptr));
    ReadInto(second.get(), b);
    EXPECT_EQ(second->Name(), "Form1_1");
    gGlobalRoots.push_back(second.get());
    TOwned<TTestRoot> third(new TTestRoot(nullptr));
    ReadInto(third.get(), b);
    EXPECT_EQ(third->Name(), "Form1_2");
    gGlobalRoots.clear();
}

TEST_F(Reader, EventsAreBoundToTheRootsPublishedMethods) {
    TBytes b = RootWith([](TBytes&) {},
                        [](TBytes& k) {
                            k.Obj("TWidget", "womanImage").Prop("OnClick").Ident("buttonclick");
                            k.End().End();
                        });
    auto* root = Read(b);
    auto* image = static_cast<TWidget*>(root->FindOwnedComponent("womanImage"));
    ASSERT_TRUE(image->FOnClick);
    image->FOnClick(image);
    EXPECT_EQ(root->LastSender, image);
    EXPECT_EQ(gEvents.back(), "ButtonClick");
}

TEST_F(Reader, CollectionsWithAndWithoutItems) {
    TOwned<TTestRoot> root(new TTestRoot(nullptr));
    root->FItems->Add();
    root->FItems->Add();
    // No items: the existing ones stay.
    ReadInto(root.get(), OneProp("Items", [](TBytes& b) { b.Tag(tagCollection).End(); }));
    EXPECT_EQ(root->FItems->Count(), 2);
    // Items (with and without an index): they replace the existing ones.
    const int updatesBefore = root->FItems->Updates;
    ReadInto(root.get(),
             RootWith(
                 [](TBytes& b) {
                     b.Prop("Items").Tag(tagCollection);
                     b.Int(5).Tag(tagList).Prop("Caption").String("x").Prop("Value").Int(3).End();
                     b.Tag(tagList).Prop("Link").Ident("First").End();
                     b.End();
                 },
                 [](TBytes& k) { k.Obj("TWidget", "First").End().End(); }));
    ASSERT_EQ(root->FItems->Count(), 2);
    auto* item0 = static_cast<TTestItem*>(root->FItems->Items(0));
    auto* item1 = static_cast<TTestItem*>(root->FItems->Items(1));
    EXPECT_EQ(item0->FCaption, "x");
    EXPECT_EQ(item0->FValue, 3);
    EXPECT_EQ(item1->FLink, root->First);
    EXPECT_EQ(root->FItems->Updates, updatesBefore + 1); // one update, when reading ended
    EXPECT_EQ(root->FItems->UpdateCount(), 0);
}

TEST_F(Reader, ReplacedCollectionItemsDropTheirPendingReferences) {
    // The first Items value leaves a pending reference in an item that the second value
    // destroys; resolving must not touch the destroyed item.
    auto* root = Read(RootWith(
        [](TBytes& b) {
            b.Prop("Items").Tag(tagCollection).Tag(tagList).Prop("Link").Ident("First").End().End();
            b.Prop("Items").Tag(tagCollection).Tag(tagList).Prop("Value").Int(1).End().End();
        },
        [](TBytes& k) { k.Obj("TWidget", "First").End().End(); }));
    ASSERT_EQ(root->FItems->Count(), 1);
    EXPECT_EQ(static_cast<TTestItem*>(root->FItems->Items(0))->FLink, nullptr);
}

TEST_F(Reader, HeaderFlagsChildPositionAndInheritedComponents) {
    TOwned<TTestRoot> root(new TTestRoot(nullptr));
    auto* existing = new TWidget(root.get());
    existing->SetName("Kept");
    TBytes b = RootWith([](TBytes&) {},
                        [](TBytes& k) {
                            k.Byte(0xF1).Obj("TWidget", "kept").Prop("Left").Int(9).End().End();
                            k.Byte(0xF2).Int(300).Obj("TWidget", "Placed").End().End();
                        });
    ReadInto(root.get(), b);
    ASSERT_EQ(root->ComponentCount(), 2);
    EXPECT_EQ(existing->FLeft, 9);
    EXPECT_EQ(static_cast<TWidget*>(root->Components(1))->FChildPos, 300);
    const std::vector<std::string> loaded = {"Loaded Form1", "Loaded Kept", "Loaded Placed"};
    EXPECT_EQ(gEvents, loaded);
}

TEST_F(Reader, InlineComponentIsANestedLookupRoot) {
    // An inline entry is a nested root: an inherited child is looked up among its own
    // components, and it is loaded once.
    TOwned<TTestRoot> root(new TTestRoot(nullptr));
    auto* frame = new TWidget(root.get());
    frame->SetName("Frame1");
    auto* inner = new TWidget(frame);
    inner->SetName("Inner");
    frame->SetState(stInline);
    TBytes b = RootWith([](TBytes&) {},
                        [](TBytes& k) {
                            k.Byte(0xF5).Obj("TWidget", "Frame1").End();
                            k.Byte(0xF1).Obj("TWidget", "Inner").Prop("Left").Int(7).End().End();
                            k.End();
                        });
    ReadInto(root.get(), b);
    EXPECT_EQ(inner->FLeft, 7);
    const std::vector<std::string> loaded = {"Loaded Form1", "Loaded Inner", "Loaded Frame1"};
    EXPECT_EQ(gEvents, loaded);
}

TEST_F(Reader, DamagedLengthsFailWithoutHugeAllocations) {
    struct Case {
        const char* what;
        std::function<void(TBytes&)> prop;
    } cases[] = {
        {"binary block", [](TBytes& b) { b.Prop("Data").Tag(tagBinary).LE(0xFFFFFFF0u, 4); }},
        {"long string", [](TBytes& b) { b.Prop("Caption").Tag(tagLString).LE(0x7FFFFFFF, 4); }},
        {"wide string", [](TBytes& b) { b.Prop("Wide").Tag(tagWString).LE(0xFFFFFFFFu, 4); }},
        {"utf-8 string", [](TBytes& b) { b.Prop("Caption").Tag(tagUtf8String).LE(1u << 30, 4); }},
        {"skipped block", [](TBytes& b) { b.Prop("Nope").Tag(tagBinary).LE(0xFFFFFFF0u, 4); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string message = ReadError(RootWith(c.prop));
        EXPECT_NE(message.find("Stream read error"), std::string::npos) << message;
    }
}

TEST_F(Reader, StreamsThatCannotTellTheirSizeAreReadInPieces) {
    // A stream that can only read forward: lengths cannot be checked in advance, so big
    // blocks are read in bounded pieces and a lying length fails at the end of the data.
    class TForwardStream : public rtl::TStream {
    public:
        explicit TForwardStream(std::string bytes) : FBytes(std::move(bytes)) {}
        std::size_t Read(void* buffer, std::size_t count) override {
            const std::size_t n = std::min(count, FBytes.size() - FPos);
            std::memcpy(buffer, FBytes.data() + FPos, n);
            FPos += n;
            return n;
        }
        std::size_t Write(const void*, std::size_t) override { return 0; }
        std::int64_t Seek(std::int64_t, rtl::TSeekOrigin) override {
            throw rtl::EStreamError(rtl::SReadError);
        }

    private:
        std::string FBytes;
        std::size_t FPos = 0;
    };
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i % 251);
    TBytes good = RootWith([&](TBytes& b) {
        b.Prop("Data").Tag(tagBinary).LE(big.size(), 4).Raw(big);
        b.Prop("Caption").Tag(tagLString).LE(big.size(), 4).Raw(big);
    });
    {
        TForwardStream s(good.Bytes());
        TReader reader(s);
        TOwned<TComponent> root(reader.ReadRootEntry(nullptr));
        auto* r = static_cast<TTestRoot*>(root.get());
        ASSERT_EQ(r->FData.size(), big.size());
        EXPECT_EQ(std::memcmp(r->FData.data(), big.data(), big.size()), 0);
        EXPECT_EQ(r->FCaption, big);
    }
    for (TValueTag tag : {tagBinary, tagLString, tagWString}) {
        SCOPED_TRACE(int(tag));
        TBytes lying = OneProp(tag == tagWString  ? "Wide"
                               : tag == tagBinary ? "Data"
                                                  : "Caption",
                               [&](TBytes& b) { b.Tag(tag).LE(0xFFFFFFF0u, 4).Raw("short"); });
        TForwardStream s(lying.Bytes());
        TReader reader(s);
        try {
            reader.ReadRootEntry(nullptr);
            ADD_FAILURE() << "no exception";
        } catch (const rtl::EReadError& e) {
            EXPECT_NE(std::string(e.Message()).find("Stream read error"), std::string::npos);
        }
    }
}

TEST_F(Reader, DeepNestingFailsCleanly) {
    TBytes lists = OneProp("Nope", [](TBytes& b) {
        for (int i = 0; i < 100000; ++i)
            b.Tag(tagList);
    });
    EXPECT_EQ(ReadError(lists), "Error reading Form1.Nope: Stream read error");

    TBytes nested;
    nested.Sig().Obj("TTestRoot", "Form1").End();
    for (int i = 0; i < 5000; ++i)
        nested.Obj("TWidget", "").End();
    EXPECT_EQ(ReadError(nested), "Stream read error");
}

TEST_F(Reader, BinaryBlockArrivesInAStreamOfExactlyItsLength) {
    std::string block(70000, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 7);
    auto* root =
        Read(OneProp("Data", [&](TBytes& b) { b.Tag(tagBinary).LE(block.size(), 4).Raw(block); }));
    ASSERT_EQ(root->FData.size(), block.size());
    EXPECT_EQ(std::memcmp(root->FData.data(), block.data(), block.size()), 0);
}

TEST_F(Reader, TypedReadsOnTheirOwn) {
    TBytes b;
    b.Tag(tagCurrency).LE(25000, 8); // 2.5
    b.Int(3);                        // currency from integer
    b.Tag(tagSingle).LE(std::bit_cast<std::uint32_t>(0.25f), 4);
    b.Tag(tagDate).LE(std::bit_cast<std::uint64_t>(2.0), 8);
    b.Tag(tagNull).Tag(tagNil).Tag(tagTrue);                    // identifiers
    b.Tag(tagTrue).Int(1);                                      // bools: only the tag counts
    b.Tag(tagList).Int(1).String("s").Tag(tagList).End().End(); // a skipped list
    b.Raw("rest");
    rtl::TMemoryStream s;
    b.LoadInto(s);
    {
        TReader r(s, 3);
        EXPECT_EQ(r.ReadCurrencyValue(), 25000);
        EXPECT_EQ(r.ReadCurrencyValue(), 30000);
        EXPECT_EQ(r.ReadSingleValue(), 0.25f);
        EXPECT_EQ(r.ReadDateValue(), 2.0);
        EXPECT_EQ(r.ReadIdentValue(), "Null");
        EXPECT_EQ(r.ReadIdentValue(), "nil");
        EXPECT_EQ(r.ReadIdentValue(), "True");
        EXPECT_TRUE(r.ReadBoolValue());
        EXPECT_FALSE(r.ReadBoolValue()); // consumed the int8 tag only
        r.Read(nullptr, 0);
        std::uint8_t payload;
        r.Read(&payload, 1);
        EXPECT_EQ(payload, 1);
        r.SkipAnyValue();
        EXPECT_THROW(r.ExpectListEnd(), rtl::EReadError); // "rest" is no list end
    }
}

TEST_F(Reader, ErrorHandledBySubclassRecovers) {
    // A reader that declares every error handled skips what failed and goes on.
    class TLenientReader : public TReader {
    public:
        using TReader::TReader;
        std::vector<std::string> Errors;

    protected:
        bool Error(const std::string& message) override {
            Errors.push_back(message);
            return true;
        }
    };
    TBytes b = RootWith([](TBytes& p) { p.Prop("Foo").Int(1).Prop("Left").Int(4); },
                        [](TBytes& k) {
                            k.Obj("TBogus", "X").Prop("Left").Int(1).End();
                            k.Obj("TWidget", "Inner").End().End().End();
                            k.Obj("TWidget", "After").End().End();
                        });
    rtl::TMemoryStream s;
    b.LoadInto(s);
    TLenientReader reader(s);
    TOwned<TComponent> root(reader.ReadRootEntry(nullptr));
    auto* r = static_cast<TTestRoot*>(root.get());
    EXPECT_EQ(r->FLeft, 4);
    ASSERT_EQ(r->ComponentCount(), 1);
    EXPECT_EQ(r->Components(0)->Name(), "After");
    const std::vector<std::string> errors = {"Error reading Form1.Foo: Property Foo does not exist",
                                             "Class TBogus not found"};
    EXPECT_EQ(reader.Errors, errors);
}

TEST_F(Reader, LoadFormResourcesReadsTheClassChainAndCallsLoadedOnce) {
    static std::vector<std::string> asked;
    asked.clear();
    SetFormResourceLookup([](std::string_view name) -> std::unique_ptr<rtl::TStream> {
        asked.emplace_back(name);
        TBytes b;
        if (name == "TTestRoot")
            b.Sig()
                .Obj("TTestRoot", "Form1")
                .Prop("Left")
                .Int(1)
                .End()
                .Obj("TWidget", "First")
                .End()
                .End()
                .End();
        else if (name == "TTestRoot2")
            b.Sig()
                .Obj("TTestRoot2", "Form2")
                .Prop("Width")
                .Int(2)
                .End()
                .Obj("TWidget", "Second")
                .End()
                .End()
                .End();
        else
            return nullptr;
        auto s = std::make_unique<rtl::TMemoryStream>();
        b.LoadInto(*s);
        return s;
    });
    TOwned<TTestRoot2> form(new TTestRoot2(nullptr));
    EXPECT_TRUE(LoadFormResources(form.get(), &TWidget::ClassInfo));
    const std::vector<std::string> chain = {"TTestRoot", "TTestRoot2"};
    EXPECT_EQ(asked, chain);
    EXPECT_EQ(form->Name(), "Form2");
    EXPECT_EQ(form->FLeft, 1);
    EXPECT_EQ(form->FWidth, 2);
    EXPECT_NE(form->First, nullptr);
    EXPECT_NE(form->Second, nullptr);
    const std::vector<std::string> loaded = {"Loaded Form2", "Loaded First", "Loaded Second"};
    EXPECT_EQ(gEvents, loaded);

    // Nothing below the root ancestor: no resource, and the constructor's error.
    TOwned<TWidget> plain(new TWidget(nullptr));
    EXPECT_FALSE(LoadFormResources(plain.get(), &TWidget::ClassInfo));
    SetFormResourceLookup(nullptr);
    TOwned<TTestRoot> other(new TTestRoot(nullptr));
    try {
        InitInheritedComponent(other.get(), &TWidget::ClassInfo);
        ADD_FAILURE() << "no exception";
    } catch (const rtl::EResNotFound& e) {
        EXPECT_EQ(e.Message(), "Resource TTestRoot not found");
    }
}
