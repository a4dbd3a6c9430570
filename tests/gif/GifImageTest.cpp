// TGIFImage and TGIFFrame as graphics: attributes, frames, copying, drawing, greying.
#include <gtest/gtest.h>

#include <memory>

#include "GifBuilder.h"
#include "formstream/Graphic.h"
#include "gif/GifImage.h"
#include "graphics/Canvas.h"
#include "graphics/Graphics.h"
#include "platform/winuser.h"
#include "rtl/Exceptions.h"

using namespace gif;
using namespace giftest;
using formstream::clNone;
using formstream::ColorValue;
using formstream::MakeColor;
using graphics::TBitmap;

namespace {

// The structure of the main window's pictures: GIF89a, 256-colour global table (0 black,
// 1 white), one graphic control with transparent index 1, one full-screen image at
// minimum code size 8, trailer.
Bytes PictureLike(int width, int height) {
    return TGifBuilder()
        .Header("89a", width, height, 8)
        .GraphicControl(0x01, 0, 1)
        .Image(0, 0, width, height, 8)
        .Trailer()
        .B;
}

std::unique_ptr<TBitmap> LoadBmp(const Bytes& bmp) {
    auto bitmap = std::make_unique<TBitmap>();
    std::unique_ptr<rtl::TMemoryStream> s(NewStream(bmp));
    bitmap->LoadFromStream(*s);
    return bitmap;
}

std::unique_ptr<TBitmap> Canvas24(int width, int height, formstream::TColor fill) {
    auto target = std::make_unique<TBitmap>();
    target->SetPixelFormat(graphics::pf24bit);
    target->SetSize(width, height);
    target->Canvas()->Brush()->SetColor(fill);
    target->Canvas()->FillRect(rtl::Rect(0, 0, width, height));
    return target;
}

} // namespace

TEST(GifImage, PictureAttributesAfterReading) {
    auto image = Load(PictureLike(64, 48));
    EXPECT_EQ(image->Width(), 64);
    EXPECT_EQ(image->Height(), 48);
    EXPECT_EQ(image->GetScreenWidth(), 64);
    EXPECT_EQ(image->GetScreenHeight(), 48);
    EXPECT_EQ(image->Count(), 1);
    EXPECT_EQ(image->FrameIndex(), 0);
    EXPECT_EQ(image->Version(), gv89a);
    EXPECT_EQ(ColorValue(image->BackgroundColor()), 0u);
    EXPECT_EQ(ColorValue(image->GetTransparentColor()), 0xFFFFFFu);
    TGIFFrame* frame = image->Frames(0);
    EXPECT_EQ(frame->AnimateInterval(), 0);
    EXPECT_EQ(frame->DisposalMethod(), dmUndefined);
    EXPECT_TRUE(frame->HasBitmap()) << "the first frame is decoded by reading";
    EXPECT_TRUE(image->GetTransparent());
    image->SetTransparent(false);
    EXPECT_FALSE(image->GetTransparent());
    EXPECT_FALSE(image->Empty());
    EXPECT_EQ(image->GetPixelFormat(), graphics::pf8bit);

    // The pixels alternate between entry 0 (black) and entry 1 (white).
    TBitmap* bitmap = image->GetBitmap();
    EXPECT_EQ(ColorValue(bitmap->Canvas()->Pixels(0, 0)), 0u);
    EXPECT_EQ(ColorValue(bitmap->Canvas()->Pixels(1, 0)), 0xFFFFFFu);
    EXPECT_EQ(ColorValue(bitmap->Canvas()->Pixels(0, 1)), 0u) << "64 is even";
}

TEST(GifImage, WriteDataReproducesTheBytesRead) {
    const Bytes gif = PictureLike(33, 17);
    Bytes block{std::uint8_t(gif.size()), std::uint8_t(gif.size() >> 8), 0, 0};
    block.insert(block.end(), gif.begin(), gif.end());
    TGIFImage image;
    std::unique_ptr<rtl::TMemoryStream> in(NewStream(block));
    image.ReadData(*in);
    rtl::TMemoryStream out;
    image.WriteData(out);
    EXPECT_EQ(StreamBytes(out), block);
    rtl::TMemoryStream plain;
    image.SaveToStream(plain);
    EXPECT_EQ(StreamBytes(plain), gif);
}

TEST(GifImage, FrameIndexIsClamped) {
    auto image =
        Load(TGifBuilder().Header("89a", 4, 2, 1).Image(0, 0, 4, 2).Image(0, 0, 4, 2).Trailer().B);
    image->SetFrameIndex(5);
    EXPECT_EQ(image->FrameIndex(), 1);
    image->SetFrameIndex(-7);
    EXPECT_EQ(image->FrameIndex(), -1);
    EXPECT_EQ(image->GetTransparentColor(), clNone);
    EXPECT_EQ(image->Width(), 0) << "no current frame";

    auto target = Canvas24(4, 2, formstream::clRed);
    image->Draw(target->Canvas(), rtl::Rect(0, 0, 4, 2));
    EXPECT_EQ(ColorValue(target->Canvas()->Pixels(0, 0)), 0x0000FFu) << "nothing drawn";
}

TEST(GifImage, EmptyImage) {
    TGIFImage image;
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.GetScreenWidth(), 0);
    EXPECT_EQ(image.GetPalette(), nullptr);
    EXPECT_TRUE(image.Transparent() == false);
    TBitmap* bitmap = image.GetBitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_TRUE(bitmap->Empty());
    EXPECT_EQ(image.Count(), 1);
    EXPECT_EQ(image.FrameIndex(), 0);

    TGIFImage none;
    rtl::TMemoryStream out;
    try {
        none.WriteData(out);
        FAIL() << "expected an exception";
    } catch (const rtl::EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message(), "No GIF Data to write");
    }
    EXPECT_EQ(out.Size(), 0);
    EXPECT_THROW(none.Grayscale(false), rtl::EInvalidGraphicOperation);
}

TEST(GifImage, SizeCannotBeSetAndRepeatCountIsCapped) {
    TGIFImage image;
    try {
        image.SetWidth(10);
        FAIL() << "expected an exception";
    } catch (const rtl::EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message(), "Cannot change the Size of a GIF image");
    }
    EXPECT_THROW(image.SetHeight(10), rtl::EInvalidGraphicOperation);
    image.SetRepeatCount(65535);
    EXPECT_EQ(image.RepeatCount(), 30000);
}

TEST(GifImage, AssignSharesRecordsUntilCommentChanges) {
    auto a = Load(PictureLike(8, 4));
    TGIFImage b;
    b.Assign(a.get());
    EXPECT_TRUE(b.Equals(a.get()));
    EXPECT_EQ(b.Count(), 1);
    EXPECT_EQ(b.Frames(0)->Item(), a->Frames(0)->Item()) << "encoded frames are shared";
    EXPECT_EQ(b.Width(), 8);
    rtl::TStringList lines;
    lines.Add("note");
    b.SetComment(lines);
    EXPECT_FALSE(b.Equals(a.get()));
    EXPECT_EQ(a->Comment().Count(), 0);
    EXPECT_EQ(b.Comment().Text(), "note\r\n");
}

TEST(GifImage, DeleteAndMoveFrames) {
    auto image = Load(TGifBuilder()
                          .Header("89a", 4, 2, 1)
                          .Image(0, 0, 4, 2)
                          .Image(0, 0, 2, 2)
                          .Image(1, 0, 3, 2)
                          .Trailer()
                          .B);
    image->SetFrameIndex(2);
    image->DeleteFrame(2);
    EXPECT_EQ(image->Count(), 2);
    EXPECT_EQ(image->FrameIndex(), 1);
    EXPECT_EQ(image->GetScreenWidth(), 4);
    image->MoveFrame(1, 0);
    EXPECT_EQ(image->FrameIndex(), 0);
    EXPECT_EQ(image->Frames(0)->GetWidth(), 2);
    EXPECT_THROW(image->DeleteFrame(5), rtl::EListError);
}

TEST(GifImage, DrawOpaqueOrWithoutTransparentColour) {
    // Two pixels: entry 0 (black) and entry 1 (white, transparent).
    auto image = Load(
        TGifBuilder().Header("89a", 2, 1, 1).GraphicControl(1, 0, 1).Image(0, 0, 2, 1).Trailer().B);
    for (bool transparent : {true, false}) {
        SCOPED_TRACE(transparent ? "transparent" : "opaque");
        image->SetTransparent(transparent);
        auto target = Canvas24(4, 2, formstream::clRed);
        image->Draw(target->Canvas(), rtl::Rect(0, 0, 4, 2));
        EXPECT_EQ(ColorValue(target->Canvas()->Pixels(0, 0)), 0u);
        EXPECT_EQ(ColorValue(target->Canvas()->Pixels(1, 1)), 0u);
        EXPECT_EQ(ColorValue(target->Canvas()->Pixels(3, 0)), transparent ? 0x0000FFu : 0xFFFFFFu);
        EXPECT_EQ(ColorValue(target->Canvas()->Pixels(2, 1)), transparent ? 0x0000FFu : 0xFFFFFFu);
    }
}

TEST(GifImage, CopiesToAndFromBitmaps) {
    auto image = Load(
        TGifBuilder().Header("89a", 2, 1, 1).GraphicControl(1, 0, 1).Image(0, 0, 2, 1).Trailer().B);
    TBitmap bitmap;
    bitmap.Assign(image.get());
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(ColorValue(bitmap.Canvas()->Pixels(1, 0)), 0xFFFFFFu);
    EXPECT_TRUE(bitmap.Transparent());
    EXPECT_EQ(ColorValue(bitmap.TransparentColor()), 0xFFFFFFu);

    // A 4-bit bitmap becomes one frame with its palette as colour table.
    auto bmp = LoadBmp(MakeBmp(5, 3, 4, [](int x, int y) { return (x + y) % 16; }));
    TGIFImage fromBitmap;
    fromBitmap.Assign(bmp.get());
    EXPECT_EQ(fromBitmap.Count(), 1);
    EXPECT_EQ(fromBitmap.Version(), gv87a);
    EXPECT_EQ(fromBitmap.Width(), 5);
    EXPECT_EQ(fromBitmap.GetScreenWidth(), 5);

    // A frame copied into a new image keeps its global colours.
    TGIFImage fromFrame;
    fromFrame.Assign(image->Frames(0));
    EXPECT_EQ(fromFrame.Count(), 1);
    EXPECT_EQ(fromFrame.GetGlobalColorCount(), 2);
    EXPECT_TRUE(fromFrame.Frames(0)->LocalColors());
    EXPECT_EQ(ColorValue(fromFrame.GetTransparentColor()), 0xFFFFFFu);
    // And an image may take one of its own frames.
    image->Assign(image->Frames(0));
    EXPECT_EQ(image->Count(), 1);
    EXPECT_EQ(image->Width(), 2);
}

TEST(GifImage, GreyingTablesAndBackground) {
    // Global table entry i = (i, i, i) with entry 1 white; give entry 2 a colour.
    Bytes b = TGifBuilder()
                  .Header("89a", 2, 1, 2, 2)
                  .GraphicControl(1, 0, 2)
                  .Image(0, 0, 2, 1, 2)
                  .Trailer()
                  .B;
    b[13 + 6] = 200; // entry 2 red
    b[13 + 7] = 0;
    b[13 + 8] = 0;
    auto image = Load(b);
    TGIFImage copy;
    copy.Assign(image.get());
    image->Grayscale(false);
    const std::uint32_t grey = (200 * 77) >> 8;
    EXPECT_EQ(ColorValue(image->BackgroundColor()), grey | grey << 8 | grey << 16);
    EXPECT_EQ(ColorValue(image->GetTransparentColor()), grey | grey << 8 | grey << 16);
    EXPECT_TRUE(image->Frames(0)->GrayScale());
    EXPECT_EQ(image->Frames(0)->Item()->ColorTable.Colors[2],
              (TGIFColorItem{std::uint8_t(grey), std::uint8_t(grey), std::uint8_t(grey)}));
    // The copy that shared the records keeps its colours.
    EXPECT_EQ(ColorValue(copy.BackgroundColor()), 200u);
    EXPECT_EQ(copy.Frames(0)->Item()->ColorTable.Colors[2], (TGIFColorItem{200, 0, 0}));
}

TEST(GifImage, RegisteredForPictures) {
    graphics::RegisterGraphicsUnit();
    RegisterGifUnit();
    RegisterGifUnit();
    EXPECT_EQ(formstream::FindGraphicClassByName("TGIFImage"), &TGIFImage::ClassInfo);
    EXPECT_EQ(formstream::FindGraphicClassByName("TGifImage"), nullptr);
    EXPECT_EQ(formstream::FindGraphicClassByExtension("GIF"), &TGIFImage::ClassInfo);
    // Unregistered, then registered again.
    UnregisterGifUnit();
    EXPECT_EQ(formstream::FindGraphicClassByExtension("gif"), nullptr);
    EXPECT_EQ(formstream::FindGraphicClassByClipboardFormat(CF_GIF), nullptr);
    RegisterGifUnit();
    EXPECT_EQ(formstream::FindGraphicClassByExtension("gif"), &TGIFImage::ClassInfo);
    EXPECT_EQ(formstream::FindGraphicClassByClipboardFormat(CF_GIF), &TGIFImage::ClassInfo);

    const Bytes gif = PictureLike(6, 5);
    Bytes block{9};
    for (char c : std::string("TGIFImage"))
        block.push_back(std::uint8_t(c));
    block.insert(block.end(), {std::uint8_t(gif.size()), std::uint8_t(gif.size() >> 8), 0, 0});
    block.insert(block.end(), gif.begin(), gif.end());
    formstream::TPicture picture;
    std::unique_ptr<rtl::TMemoryStream> s(NewStream(block));
    picture.ReadPictureData(*s);
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Graphic()->ClassName(), "TGIFImage");
    EXPECT_EQ(picture.Width(), 6);
    rtl::TMemoryStream out;
    picture.WritePictureData(out);
    EXPECT_EQ(StreamBytes(out), block);
}

TEST(GifImage, ClipboardCarriesTheGifBesideTheBitmap) {
    RegisterGifUnit();
    ASSERT_NE(CF_GIF, 0u);
    EXPECT_EQ(formstream::FindGraphicClassByClipboardFormat(CF_GIF), &TGIFImage::ClassInfo);
    auto image =
        Load(TGifBuilder().Header("89a", 5, 3, 1).Image(0, 0, 5, 3).Image(1, 1, 2, 2).Trailer().B);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    UINT format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    image->SaveToClipboardFormat(format, data, palette);
    EXPECT_EQ(format, UINT(CF_BITMAP));
    ASSERT_NE(data, nullptr);
    SetClipboardData(format, data);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_GIF));
    CloseClipboard();

    ASSERT_TRUE(OpenClipboard(nullptr));
    TGIFImage pasted;
    pasted.LoadFromClipboardFormat(CF_BITMAP, GetClipboardData(CF_BITMAP), nullptr);
    EmptyClipboard(); // the clipboard frees what it was given
    CloseClipboard();
    EXPECT_EQ(pasted.Count(), 2);
    EXPECT_EQ(pasted.FrameIndex(), 0);
    EXPECT_EQ(pasted.Width(), 5);
    rtl::TMemoryStream a, b;
    image->SaveToStream(a);
    pasted.SaveToStream(b);
    EXPECT_EQ(StreamBytes(a), StreamBytes(b));
}

namespace {
struct TProgressLog : formstream::TObject {
    std::vector<std::string> Reports;
    bool AbortOnRunning = false;
    void OnProgress(formstream::TObject* sender, formstream::TProgressStage stage,
                    std::uint8_t percent, bool redraw, const rtl::TRect& r,
                    const std::string& msg) {
        Reports.push_back(std::string(sender ? sender->ClassName() : "null") + " " +
                          std::to_string(int(stage)) + " " + std::to_string(percent) +
                          (redraw ? " redraw" : "") + (r == rtl::TRect{} ? "" : " rect") +
                          (msg.empty() ? "" : " " + msg));
        if (AbortOnRunning && stage == formstream::psRunning)
            rtl::Abort();
    }
};
} // namespace

TEST(GifImage, ProgressReportsGoToTheImageHandler) {
    auto image = Load(
        TGifBuilder().Header("89a", 40, 30, 1).Image(0, 0, 40, 30).Image(0, 0, 40, 30).Trailer().B);
    TProgressLog log;
    image->OnProgress = formstream::TProgressEvent::Of<&TProgressLog::OnProgress>(&log);
    image->Frames(1)->GetBitmap();
    ASSERT_GE(log.Reports.size(), 2u);
    EXPECT_EQ(log.Reports.front(), "TGIFImage 0 0");
    EXPECT_EQ(log.Reports.back(), "TGIFImage 2 100");

    // A handler that cancels encoding leaves the frame empty and lets the abort through.
    auto bitmap = std::make_unique<TBitmap>();
    {
        std::unique_ptr<rtl::TMemoryStream> s(
            NewStream(MakeBmp(8, 8, 8, [](int x, int y) { return x * y; })));
        bitmap->LoadFromStream(*s);
    }
    TGIFImage made;
    made.AddFrame(bitmap.get());
    made.OnProgress = formstream::TProgressEvent::Of<&TProgressLog::OnProgress>(&log);
    log.Reports.clear();
    log.AbortOnRunning = true;
    rtl::TMemoryStream out;
    EXPECT_THROW(made.SaveToStream(out), rtl::EAbort);
    EXPECT_EQ(out.Size(), 0);
    EXPECT_FALSE(made.Frames(0)->Item()->HasData());
    EXPECT_EQ(log.Reports.back(), "TGIFImage 2 0 Operation aborted");
}

TEST(GifImage, MissingResourceRaisesResNotFound) {
    TGIFImage image;
    try {
        image.LoadFromResourceName(nullptr, "NOSUCHGIF", MAKEINTRESOURCEA(10));
        FAIL() << "expected an exception";
    } catch (const rtl::EResNotFound& e) {
        EXPECT_EQ(e.Message(), "Resource NOSUCHGIF not found");
    }
    EXPECT_THROW(image.LoadFromResourceID(nullptr, 4711, MAKEINTRESOURCEA(10)), rtl::EResNotFound);
    EXPECT_EQ(image.Count(), 0);
}
