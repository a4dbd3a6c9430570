// GIF decoding and encoding beside giflib, on images made here:
//   flat     1280 x 1024 artwork: large flat areas, a dozen colours of a 256-colour table
//   screen   650 x 491 artwork with finer detail (text-like strokes, gradients in bands)
//   photo    1280 x 1024 noise over gradients, all 256 colours
// Decoding: the same bytes (written by giflib) to the first frame's TBitmap (a device
// bitmap of palette pixels, and with its 32-bit pixels asked for), against DGifSlurp alone
// and DGifSlurp with its indices looked up into 32-bit pixels (also ours up to a palette
// bitmap through the bitmap file image, and the raster alone into a bitmap file image).
// Encoding: an 8-bit bitmap to GIF data, against EGifPutLine row by row. Output sizes are
// reported as counters.
#include <benchmark/benchmark.h>

#include <gif_lib.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "gif/GifImage.h"
#include "rtl/Stream.h"

using namespace gif;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct TIndexImage {
    int Width = 0, Height = 0;
    Bytes Pixels; // row-major, top row first
    std::vector<GifColorType> Palette = std::vector<GifColorType>(256);
};

TIndexImage Flat(int width, int height, unsigned seed, int shapes, int colours) {
    TIndexImage img{width, height, Bytes(std::size_t(width) * std::size_t(height), 0)};
    std::mt19937 rng(seed);
    for (int i = 0; i < 256; ++i)
        img.Palette[std::size_t(i)] = {GifByteType(rng()), GifByteType(rng()), GifByteType(rng())};
    for (int s = 0; s < shapes; ++s) {
        const int x0 = int(rng() % unsigned(width)), y0 = int(rng() % unsigned(height));
        const int w = 5 + int(rng() % unsigned(width / 3)),
                  h = 3 + int(rng() % unsigned(height / 3));
        const std::uint8_t c = std::uint8_t(rng() % unsigned(colours));
        const bool ellipse = rng() & 1;
        for (int y = y0; y < std::min(height, y0 + h); ++y)
            for (int x = x0; x < std::min(width, x0 + w); ++x) {
                if (ellipse) {
                    const double dx = (x - x0 - w / 2.0) / (w / 2.0),
                                 dy = (y - y0 - h / 2.0) / (h / 2.0);
                    if (dx * dx + dy * dy > 1)
                        continue;
                }
                img.Pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = c;
            }
    }
    return img;
}

TIndexImage Screen() {
    TIndexImage img = Flat(650, 491, 2, 60, 40);
    std::mt19937 rng(9);
    // Bands of gradient and lines of small "glyphs".
    for (int y = 400; y < 440; ++y)
        for (int x = 0; x < 650; ++x)
            img.Pixels[std::size_t(y) * 650 + std::size_t(x)] = std::uint8_t(100 + x * 50 / 650);
    for (int line = 0; line < 6; ++line)
        for (int x = 40; x < 600; x += 7)
            for (int dy = 0; dy < 9; ++dy)
                for (int dx = 0; dx < 5; ++dx)
                    if (rng() % 3 == 0)
                        img.Pixels[std::size_t(300 + line * 15 + dy) * 650 + std::size_t(x + dx)] =
                            1;
    return img;
}

TIndexImage Photo() {
    TIndexImage img{1280, 1024, Bytes(1280 * 1024)};
    std::mt19937 rng(5);
    for (int i = 0; i < 256; ++i)
        img.Palette[std::size_t(i)] = {GifByteType(i), GifByteType(255 - i), GifByteType(i / 2)};
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1280; ++x) {
            const int base =
                (x * 3 + y * 2) / 14 + int(40 * std::sin(x / 50.0) * std::cos(y / 70.0));
            img.Pixels[std::size_t(y) * 1280 + std::size_t(x)] =
                std::uint8_t(base + int(rng() % 24));
        }
    return img;
}

int WriteToVector(GifFileType* gif, const GifByteType* data, int len) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + len);
    return len;
}

// giflib's encoder: screen and image descriptors, then EGifPutLine per row.
Bytes GiflibEncode(const TIndexImage& img) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    ColorMapObject* map = GifMakeMapObject(256, img.Palette.data());
    EGifPutScreenDesc(gif, img.Width, img.Height, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, img.Width, img.Height, false, nullptr);
    for (int y = 0; y < img.Height; ++y)
        EGifPutLine(gif,
                    const_cast<GifPixelType*>(&img.Pixels[std::size_t(y) * std::size_t(img.Width)]),
                    img.Width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

struct TReadState {
    const Bytes* Data;
    std::size_t Pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int count) {
    auto* st = static_cast<TReadState*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(std::size_t(count), st->Data->size() - st->Pos);
    std::memcpy(buffer, st->Data->data() + st->Pos, n);
    st->Pos += n;
    return int(n);
}

// An 8-bit bottom-up bitmap file image of the index image.
Bytes BitmapFile(const TIndexImage& img) {
    const std::size_t stride = (std::size_t(img.Width) + 3) & ~std::size_t(3);
    const std::size_t offset = 54 + 1024;
    Bytes b(offset + stride * std::size_t(img.Height), 0);
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, std::uint32_t(b.size()));
    put(10, std::uint32_t(offset));
    put(14, 40);
    put(18, std::uint32_t(img.Width));
    put(22, std::uint32_t(img.Height));
    b[26] = 1;
    b[28] = 8;
    put(34, std::uint32_t(stride * std::size_t(img.Height)));
    for (int i = 0; i < 256; ++i) {
        b[54 + 4 * std::size_t(i)] = img.Palette[std::size_t(i)].Blue;
        b[55 + 4 * std::size_t(i)] = img.Palette[std::size_t(i)].Green;
        b[56 + 4 * std::size_t(i)] = img.Palette[std::size_t(i)].Red;
    }
    for (int y = 0; y < img.Height; ++y)
        std::memcpy(&b[offset + std::size_t(img.Height - 1 - y) * stride],
                    &img.Pixels[std::size_t(y) * std::size_t(img.Width)], std::size_t(img.Width));
    return b;
}

const TIndexImage& Image(int which) {
    static const TIndexImage images[3] = {Flat(1280, 1024, 1, 40, 12), Screen(), Photo()};
    return images[which];
}
const Bytes& GifBytes(int which) {
    static const Bytes bytes[3] = {GiflibEncode(Image(0)), GiflibEncode(Image(1)),
                                   GiflibEncode(Image(2))};
    return bytes[which];
}
const char* Name(int which) {
    static const char* names[3] = {"flat", "screen", "photo"};
    return names[which];
}

// The first frame's bitmap as the program holds it (a device bitmap of palette pixels),
// and with its 32-bit pixels asked for (ScanLine), beside giflib's 32-bit pixels.
void DecodeOurs(benchmark::State& state, bool to32) {
    const int which = int(state.range(0));
    const Bytes& gif = GifBytes(which);
    rtl::TMemoryStream in;
    in.WriteBuffer(gif.data(), gif.size());
    for (auto _ : state) {
        in.SetPosition(0);
        TGIFImage image;
        image.LoadFromStream(in);
        graphics::TBitmap* bitmap = image.GetBitmap();
        benchmark::DoNotOptimize(to32 ? bitmap->ScanLine(0) : bitmap);
    }
    state.SetLabel(Name(which));
    state.counters["gif_bytes"] = double(gif.size());
}

// The same through the bitmap file image, up to a palette TBitmap loaded from it.
void BM_DecodeOursToDib(benchmark::State& state) {
    const int which = int(state.range(0));
    const Bytes& gif = GifBytes(which);
    rtl::TMemoryStream in;
    in.WriteBuffer(gif.data(), gif.size());
    for (auto _ : state) {
        in.SetPosition(0);
        TGIFImage image;
        image.ReadStream(std::int32_t(gif.size()), in, false);
        rtl::TMemoryStream bmp;
        image.Frames(0)->SaveToBitmapStream(bmp);
        graphics::TBitmap bitmap;
        bitmap.LoadFromStream(bmp);
        benchmark::DoNotOptimize(bitmap.ScanLine(0));
    }
    state.SetLabel(Name(which));
}

void BM_DecodeOursRaster(benchmark::State& state) {
    const int which = int(state.range(0));
    const Bytes& gif = GifBytes(which);
    rtl::TMemoryStream in;
    in.WriteBuffer(gif.data(), gif.size());
    in.SetPosition(0);
    TGIFImage image;
    image.ReadStream(std::int32_t(gif.size()), in, false);
    rtl::TMemoryStream bmp;
    for (auto _ : state) {
        image.Frames(0)->SaveToBitmapStream(bmp);
        benchmark::DoNotOptimize(bmp.Memory());
    }
    state.SetLabel(Name(which));
}

// giflib reads the whole file from memory (DGifOpen, DGifSlurp); a failure marks the
// benchmark.
GifFileType* Slurp(const Bytes& gif, benchmark::State& state) {
    TReadState st{&gif, 0};
    int error = 0;
    GifFileType* g = DGifOpen(&st, ReadFromMemory, &error);
    if (DGifSlurp(g) != GIF_OK)
        state.SkipWithError("giflib failed");
    return g;
}

void Close(GifFileType* g) {
    int error = 0;
    DGifCloseFile(g, &error);
}

void BM_DecodeGiflib(benchmark::State& state) {
    const int which = int(state.range(0));
    const Bytes& gif = GifBytes(which);
    for (auto _ : state) {
        GifFileType* g = Slurp(gif, state);
        benchmark::DoNotOptimize(g->SavedImages[0].RasterBits);
        Close(g);
    }
    state.SetLabel(Name(which));
}

// giflib up to the same 32-bit pixels as ours: DGifSlurp, then each index looked up in the
// frame's colour map into bottom-up rows, as a program showing the picture would.
void BM_DecodeGiflibTo32(benchmark::State& state) {
    const int which = int(state.range(0));
    const Bytes& gif = GifBytes(which);
    std::vector<std::uint32_t> pixels;
    for (auto _ : state) {
        GifFileType* g = Slurp(gif, state);
        const SavedImage& frame = g->SavedImages[0];
        const ColorMapObject* map =
            frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : g->SColorMap;
        std::uint32_t lut[256] = {};
        for (int i = 0; i < map->ColorCount && i < 256; ++i)
            lut[i] = std::uint32_t(map->Colors[i].Blue) | std::uint32_t(map->Colors[i].Green) << 8 |
                     std::uint32_t(map->Colors[i].Red) << 16;
        const std::size_t w = std::size_t(frame.ImageDesc.Width),
                          h = std::size_t(frame.ImageDesc.Height);
        pixels.resize(w * h);
        for (std::size_t y = 0; y < h; ++y) {
            const GifByteType* in = frame.RasterBits + y * w;
            std::uint32_t* out = pixels.data() + (h - 1 - y) * w;
            for (std::size_t x = 0; x < w; ++x)
                out[x] = lut[in[x]];
        }
        benchmark::DoNotOptimize(pixels.data());
        Close(g);
    }
    state.SetLabel(Name(which));
}

void BM_EncodeOurs(benchmark::State& state) {
    const int which = int(state.range(0));
    const Bytes bmp = BitmapFile(Image(which));
    rtl::TMemoryStream in;
    in.WriteBuffer(bmp.data(), bmp.size());
    std::size_t size = 0;
    for (auto _ : state) {
        TGIFImage image;
        TGIFFrame frame(&image);
        frame.EncodeBitmapStream(in);
        size = std::size_t(frame.Item()->Data->Size());
        benchmark::DoNotOptimize(frame.Item()->Data->Memory());
    }
    state.SetLabel(Name(which));
    state.counters["raster_bytes"] = double(size);
}

void BM_EncodeOursImage(benchmark::State& state) {
    const int which = int(state.range(0));
    const Bytes bmp = BitmapFile(Image(which));
    rtl::TMemoryStream in;
    in.WriteBuffer(bmp.data(), bmp.size());
    in.SetPosition(0);
    graphics::TBitmap bitmap;
    bitmap.LoadFromStream(in);
    std::size_t size = 0;
    for (auto _ : state) {
        TGIFImage image;
        image.AddFrame(&bitmap);
        rtl::TMemoryStream out;
        image.SaveToStream(out);
        size = std::size_t(out.Size());
    }
    state.SetLabel(Name(which));
    state.counters["gif_bytes"] = double(size);
}

void BM_EncodeGiflib(benchmark::State& state) {
    const int which = int(state.range(0));
    std::size_t size = 0;
    for (auto _ : state) {
        const Bytes out = GiflibEncode(Image(which));
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(Name(which));
    state.counters["gif_bytes"] = double(size);
}

} // namespace

BENCHMARK_CAPTURE(DecodeOurs, palette, false)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeOurs, to32, true)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOursToDib)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOursRaster)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeGiflib)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeGiflibTo32)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeOurs)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeOursImage)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeGiflib)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
