// gifconv: converts between GIF and BMP files through the GIF library, and prints the
// structure of GIF files.
//
//   gifconv [--all] IN OUT    by the extensions: .gif -> .bmp (the first frame, or with
//                             --all every frame as OUT-N.bmp, N from 0), .bmp -> .gif,
//                             .gif -> .gif (read and written again)
//   gifconv --info FILE       version, screen, colour tables, frames, extensions, comments
//
// Exit codes: 0 done, 1 failure (message on stderr), 2 bad arguments (usage on stderr).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gif/GifImage.h"
#include "graphics/Bitmap.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"
#include "rtl/SysUtils.h"

using namespace gif;

namespace {

const char* const Usage = "usage: gifconv [--all] IN.gif OUT.bmp\n"
                          "       gifconv IN.bmp OUT.gif\n"
                          "       gifconv IN.gif OUT.gif\n"
                          "       gifconv --info FILE.gif\n"
                          "With --all every frame is written, as OUT-0.bmp, OUT-1.bmp, ...\n";

std::string Extension(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return rtl::LowerCase(path.substr(dot + 1));
}

std::string Stem(const std::string& path) {
    return Extension(path).empty() ? path : path.substr(0, path.find_last_of('.'));
}

void LoadGif(TGIFImage& image, const std::string& path) {
    rtl::TFileStream in(path, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    image.LoadFromStream(in);
}

// Reads the frames with their encoded rasters only: each is decoded once, when written.
// Returns the file's size.
std::int64_t ReadGifFrames(TGIFImage& image, const std::string& path) {
    rtl::TFileStream in(path, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    const std::int64_t size = in.Size();
    if (size > 0x7FFFFFFF)
        throw rtl::EReadError(rtl::SReadError);
    image.ReadStream(std::int32_t(size), in, false);
    return size;
}

void WriteBitmapFile(TGIFFrame& frame, const std::string& path) {
    rtl::TMemoryStream bmp;
    frame.SaveToBitmapStream(bmp);
    rtl::TFileStream out(path, rtl::fmCreate);
    out.WriteBuffer(bmp.Memory(), std::size_t(bmp.Size()));
}

std::string ColorText(TColor c) {
    if (c == formstream::clNone)
        return "none";
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06X", formstream::ColorValue(c) & 0xFFFFFF);
    return buf;
}

std::string Printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s)
        if (c >= 32 && c < 127)
            out += char(c);
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    return out;
}

void PrintExtension(const TExtension& ext) {
    static const char* const disposal[8] = {"undefined",        "leave",      "restore background",
                                            "restore previous", "reserved 4", "reserved 5",
                                            "reserved 6",       "reserved 7"};
    switch (ext.ExtType) {
    case ekGraphicControl:
        std::printf("    graphic control: disposal %s, delay %u/100 s, transparent %s%s\n",
                    disposal[(ext.GCPacked() >> 2) & 7], unsigned(ext.GCDelay()),
                    (ext.GCPacked() & 1) ? "index " : "none",
                    (ext.GCPacked() & 1) ? std::to_string(ext.GCTransparentIndex()).c_str() : "");
        if (ext.GCPacked() & 2)
            std::printf("      user input expected\n");
        break;
    case ekComment:
        std::printf("    comment:\n");
        if (ext.Data)
            for (const std::string& line : *ext.Data)
                std::printf("      %s\n", Printable(line).c_str());
        break;
    default:
        std::printf("    extension of kind %d\n", ext.ExtType);
        break;
    }
}

int Info(const std::string& path) {
    TGIFImage image;
    const std::int64_t size = ReadGifFrames(image, path);
    const TGIFData& data = *image.Data();
    std::printf("file: %s (%lld bytes)\n", path.c_str(), static_cast<long long>(size));
    std::printf("version: GIF%s\n", std::string(GIFVersionName(image.Version())).c_str());
    std::printf("screen: %d x %d, colour resolution %d bits, aspect ratio byte %d, background %s\n",
                image.Count() ? image.GetScreenWidth() : 0,
                image.Count() ? image.GetScreenHeight() : 0, data.ColorResolution, data.AspectRatio,
                ColorText(image.BackgroundColor()).c_str());
    if (data.ColorTable.Count > 0)
        std::printf("global colour table: %d entries\n", data.ColorTable.Count);
    else
        std::printf("global colour table: none\n");
    if (image.Looping())
        std::printf("looping: repeat count %u\n", unsigned(image.RepeatCount()));
    std::printf("frames: %d\n", image.Count());
    for (int i = 0; i < image.Count(); ++i) {
        TGIFFrame& frame = *image.Frames(i);
        const TGIFItem& item = *frame.Item();
        std::printf("frame %d: at (%d, %d), %d x %d, %s, ", i, frame.TopLeft().X, frame.TopLeft().Y,
                    item.Width, item.Height, frame.Interlaced() ? "interlaced" : "not interlaced");
        if (frame.LocalColors())
            std::printf("local colour table of %d entries", item.ColorTable.Count);
        else
            std::printf("global colours");
        const std::int64_t raster = item.Data ? item.Data->Size() : 0;
        std::printf(", %d bits per pixel, minimum code size %d, %lld raster bytes\n",
                    item.BitsPerPixel, raster > 0 ? item.Data->Memory()[0] : 0,
                    static_cast<long long>(raster));
        if (frame.Extensions())
            for (const auto& ext : *frame.Extensions())
                PrintExtension(*ext);
        std::printf("    transparent colour %s, interval %u ms\n",
                    ColorText(frame.TransparentColor()).c_str(), unsigned(frame.AnimateInterval()));
        try {
            rtl::TMemoryStream bmp;
            frame.SaveToBitmapStream(bmp);
        } catch (const rtl::Exception& e) {
            std::printf("    cannot be decoded: %s\n", e.Message().c_str());
        }
        if (frame.Corrupted())
            std::printf("    corrupted\n");
    }
    if (image.Comment().Count() > 0) {
        std::printf("comment:\n");
        for (const std::string& line : image.Comment())
            std::printf("  %s\n", Printable(line).c_str());
    }
    std::printf("corrupted: %s\n", image.GetCorrupted() ? "yes" : "no");
    return 0;
}

int Convert(const std::string& in, const std::string& out, bool all) {
    const std::string from = Extension(in);
    const std::string to = Extension(out);
    if (from == "gif" && to == "bmp") {
        TGIFImage image;
        ReadGifFrames(image, in);
        if (image.Count() == 0)
            throw rtl::EInvalidGraphicOperation(SNoGIFData);
        if (!all) {
            WriteBitmapFile(*image.Frames(0), out);
        } else {
            for (int i = 0; i < image.Count(); ++i)
                WriteBitmapFile(*image.Frames(i), Stem(out) + "-" + std::to_string(i) + ".bmp");
        }
        return 0;
    }
    if (from == "bmp" && to == "gif") {
        graphics::TBitmap bitmap;
        {
            rtl::TFileStream input(in, rtl::fmOpenRead | rtl::fmShareDenyWrite);
            bitmap.LoadFromStream(input);
        }
        TGIFImage image;
        image.Assign(&bitmap);
        rtl::TFileStream output(out, rtl::fmCreate);
        image.SaveToStream(output);
        return 0;
    }
    if (from == "gif" && to == "gif") {
        TGIFImage image;
        LoadGif(image, in);
        rtl::TFileStream output(out, rtl::fmCreate);
        image.SaveToStream(output);
        return 0;
    }
    std::fprintf(stderr, "gifconv: cannot convert .%s to .%s\n%s", from.c_str(), to.c_str(), Usage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool all = false;
    bool info = false;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--all")
            all = true;
        else if (a == "--info")
            info = true;
        else if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "gifconv: unknown option %s\n%s", a.c_str(), Usage);
            return 2;
        } else
            files.push_back(a);
    }
    if ((info && (files.size() != 1 || all)) || (!info && files.size() != 2)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    try {
        return info ? Info(files[0]) : Convert(files[0], files[1], all);
    } catch (const rtl::Exception& e) {
        std::fprintf(stderr, "gifconv: %s\n", e.Message().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gifconv: %s\n", e.what());
    }
    return 1;
}
