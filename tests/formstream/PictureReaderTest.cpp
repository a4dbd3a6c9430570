// Picture blocks read through the form reader: "Picture.Data" of a component in a form
// stream reaches the picture's graphic class, failures are reported under the
// component's name and path, and the picture keeps its graphic when a block fails.
#include <gtest/gtest.h>

#include "KeptBytesGraphic.h"
#include "StreamBytes.h"
#include "TestClasses.h"
#include "formstream/Graphic.h"
#include "rtl/Exceptions.h"

using namespace formstream;
using namespace testclasses;

namespace {

// Keeps the data of a GIF picture block under the GIF class's name.
class TKeptGif : public TKeptBytes {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
};
constinit const TClassInfo TKeptGif::ClassInfo = ClassInfoOf<TKeptGif, TKeptBytes>("TGIFImage");

// A second class of the same name, registered later.
class TNewerGif : public TKeptGif {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
};
constinit const TClassInfo TNewerGif::ClassInfo = ClassInfoOf<TNewerGif, TKeptGif>("TGIFImage");

// A component with a picture, like an image control.
class TPictureHolder : public TWidget {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TWidget::TWidget;
    ~TPictureHolder() override { delete FPicture; }
    TPicture* FPicture = new TPicture;
    int Changes = 0;
    TPicture* Picture() const { return FPicture; }
    void SetPicture(TPicture* p) { FPicture->Assign(p); }
    void PictureChanged(TObject*) { ++Changes; }
    static const TPropInfo Published[];
};
constinit const TPropInfo TPictureHolder::Published[] = {
    Prop<&TPictureHolder::Picture, &TPictureHolder::SetPicture>("Picture"),
};
constinit const TClassInfo TPictureHolder::ClassInfo =
    ClassInfoOf<TPictureHolder, TWidget>("TPictureHolder", TPictureHolder::Published);

// A root whose MainImage field holds the picture component.
class TPictureForm : public TTestRoot {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }
    using TTestRoot::TTestRoot;
    TPictureHolder* MainImage = nullptr;
    static const TFieldEntry Fields[];
};
constinit const TFieldEntry TPictureForm::Fields[] = {
    Field<&TPictureForm::MainImage>("MainImage"),
};
constinit const TClassInfo TPictureForm::ClassInfo =
    ClassInfoOf<TPictureForm, TTestRoot>("TPictureForm", {}, {}, TPictureForm::Fields);

// A "Data" block: name length, name, a 4-byte length and the bytes (or another length).
std::string Block(std::string_view className, std::string_view payload, long declared = -1) {
    TBytes b;
    b.Str(className).LE(declared < 0 ? payload.size() : static_cast<std::size_t>(declared), 4);
    b.Raw(payload);
    return b.Bytes();
}

// A form with MainImage whose "Picture.Data" values are the given blocks.
TBytes FormWithBlocks(std::initializer_list<std::string> blocks) {
    TBytes b;
    b.Sig().Obj("TPictureForm", "Form1").End();
    b.Obj("TPictureHolder", "MainImage");
    for (const std::string& block : blocks)
        b.Prop("Picture.Data").Tag(tagBinary).LE(block.size(), 4).Raw(block);
    b.End().End();
    b.End();
    return b;
}

class PictureBlocks : public ::testing::Test {
protected:
    void SetUp() override {
        ResetClassRegistry();
        RegisterTestClasses();
        UnregisterGraphicFormat(&TGraphic::ClassInfo);
        RegisterGraphicFormat("gif", "GIF Image", &TKeptGif::ClassInfo);
        form.reset(new TPictureForm(nullptr));
    }
    void TearDown() override {
        form.reset();
        UnregisterGraphicFormat(&TGraphic::ClassInfo);
        ResetClassRegistry();
        EXPECT_EQ(TKeptBytes::Live, 0);
    }
    // Reads into the form (which keeps what an earlier read made).
    std::string Read(const TBytes& bytes) {
        rtl::TMemoryStream s;
        bytes.LoadInto(s);
        try {
            TReader reader(s);
            reader.ReadRootEntry(form.get());
        } catch (const rtl::Exception& e) {
            return e.Message();
        }
        return "";
    }
    TKeptGif* Gif() const {
        return form->MainImage ? DynCast<TKeptGif>(form->MainImage->FPicture->Graphic()) : nullptr;
    }
    TOwned<TPictureForm> form;
};

} // namespace

TEST_F(PictureBlocks, BlockOfTheGifClassGivesItsGraphic) {
    EXPECT_EQ(Read(FormWithBlocks({Block("TGIFImage", "GIF89a...")})), "");
    ASSERT_NE(Gif(), nullptr);
    EXPECT_EQ(Gif()->Bytes, "GIF89a...");
    EXPECT_EQ(TKeptBytes::Live, 1);
}

TEST_F(PictureBlocks, EmptyNameOrNameInAnotherCaseGivesAnEmptyPicture) {
    struct Case {
        const char* what;
        std::string block;
    } cases[] = {
        {"name length 0", std::string(1, '\0')},
        {"name length 0 with data after it", std::string(1, '\0') + "junk"},
        {"lower-case class name", Block("TGifImage", "GIF")},
        {"upper-case class name", Block("TGIFIMAGE", "GIF")},
        {"unregistered class", Block("TMetafile", "x")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form.reset(new TPictureForm(nullptr));
        EXPECT_EQ(Read(FormWithBlocks({c.block})), "");
        ASSERT_NE(form->MainImage, nullptr);
        EXPECT_EQ(form->MainImage->FPicture->Graphic(), nullptr);
    }
}

TEST_F(PictureBlocks, FailuresAreReportedUnderTheComponentAndPath) {
    struct Case {
        const char* what;
        std::function<void(TBytes&)> value;
        const char* message;
    } cases[] = {
        {"data cut short",
         [](TBytes& b) {
             const std::string block = Block("TGIFImage", "GIF", 100);
             b.Tag(tagBinary).LE(block.size(), 4).Raw(block);
         },
         "Error reading MainImage.Picture.Data: Stream read error"},
        {"name longer than 63",
         [](TBytes& b) {
             const std::string block = Block(std::string(64, 'T'), "x");
             b.Tag(tagBinary).LE(block.size(), 4).Raw(block);
         },
         "Error reading MainImage.Picture.Data: Invalid property value"},
        {"not a binary value", [](TBytes& b) { b.String("TGIFImage"); },
         "Error reading MainImage.Picture.Data: Invalid property value"},
        {"block longer than the stream", [](TBytes& b) { b.Tag(tagBinary).LE(0x7FFFFFFF, 4); },
         "Error reading MainImage.Picture.Data: Stream read error"},
        {"data of an unknown path", [](TBytes& b) { b.Tag(tagBinary).LE(0, 4); }, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A first read gives the picture a graphic; the failing block must leave it.
        form.reset(new TPictureForm(nullptr));
        ASSERT_EQ(Read(FormWithBlocks({Block("TGIFImage", "first")})), "");
        TPictureHolder* image = form->MainImage;
        ASSERT_NE(image, nullptr);
        // Read the failing block straight into the existing image's entry.
        TBytes entry;
        entry.Obj("TPictureHolder", "MainImage");
        entry.Prop(c.message ? "Picture.Data" : "Picture.Nope");
        c.value(entry);
        entry.End().End();
        rtl::TMemoryStream es;
        entry.LoadInto(es);
        std::string error;
        try {
            TReader reader(es);
            reader.ReadComponentEntry(image);
        } catch (const rtl::Exception& e) {
            error = e.Message();
        }
        if (c.message)
            EXPECT_EQ(error, c.message);
        else
            EXPECT_EQ(error, "Error reading MainImage.Picture.Nope: Property Nope does not exist");
        ASSERT_NE(Gif(), nullptr);
        EXPECT_EQ(Gif()->Bytes, "first");
    }
}

TEST_F(PictureBlocks, SecondBlockReplacesTheFirstGraphic) {
    EXPECT_EQ(Read(FormWithBlocks({Block("TGIFImage", "one"), Block("TGIFImage", "two")})), "");
    ASSERT_NE(Gif(), nullptr);
    EXPECT_EQ(Gif()->Bytes, "two");
    EXPECT_EQ(TKeptBytes::Live, 1); // the first graphic was destroyed
}

TEST_F(PictureBlocks, LaterRegistrationWinsAndUnregisteringEmpties) {
    RegisterGraphicFormat("gif", "Newer GIF", &TNewerGif::ClassInfo);
    EXPECT_EQ(Read(FormWithBlocks({Block("TGIFImage", "x")})), "");
    ASSERT_NE(form->MainImage->FPicture->Graphic(), nullptr);
    EXPECT_EQ(form->MainImage->FPicture->Graphic()->ClassType(), &TNewerGif::ClassInfo);

    UnregisterGraphicFormat(&TKeptGif::ClassInfo); // both: the newer one descends from it
    form.reset(new TPictureForm(nullptr));
    EXPECT_EQ(Read(FormWithBlocks({Block("TGIFImage", "x")})), "");
    EXPECT_EQ(form->MainImage->FPicture->Graphic(), nullptr);
}

TEST_F(PictureBlocks, WriterWritesThePictureAndTheReaderReadsItBack) {
    ASSERT_EQ(Read(FormWithBlocks({Block("TGIFImage", std::string(5000, 'g'))})), "");
    rtl::TMemoryStream written;
    {
        TWriter writer(written);
        writer.WriteRootComponent(form.get());
    }
    const std::string bytes(reinterpret_cast<const char*>(written.Memory()),
                            static_cast<std::size_t>(written.Size()));
    EXPECT_NE(bytes.find("\x0CPicture.Data\x0A"), std::string::npos);
    TOwned<TPictureForm> copy(new TPictureForm(nullptr));
    written.SetPosition(0);
    {
        TReader reader(written);
        reader.ReadRootEntry(copy.get());
    }
    ASSERT_NE(copy->MainImage, nullptr);
    auto* gif = DynCast<TKeptGif>(copy->MainImage->FPicture->Graphic());
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->Bytes, std::string(5000, 'g'));
}
