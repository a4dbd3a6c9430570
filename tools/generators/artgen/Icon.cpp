// The program icon: a wine-red rounded square with a gold serif "Q", drawn for each size
// on its own (small sizes are not scaled down from the large one, so they stay crisp),
// written as an icon file and as PNGs.
#include <algorithm>
#include <filesystem>

#include <png.h>

#include "rtl/Exceptions.h"
#include "tools/generators/artgen/Artgen.h"
#include "tools/generators/artgen/Output.h"
#include "tools/generators/artgen/Render.h"

namespace artgen {

using formstream::TColor;

namespace {

constexpr TColor Key = Rgb(0xFF00FF);

void Put16(std::string& out, unsigned v) {
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The icon image in the layout of an icon file's entries: a 40-byte header with the
// height doubled, 32-bit pixels bottom-up, then the 1-bit mask (set where transparent).
std::string IconDib(int size, const std::vector<std::uint32_t>& argb) {
    const int maskStride = ((size + 31) / 32) * 4;
    std::string out;
    Put32(out, 40);
    Put32(out, std::uint32_t(size));
    Put32(out, std::uint32_t(size * 2));
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);
    Put32(out, std::uint32_t(size * size * 4 + maskStride * size));
    for (int i = 0; i < 4; ++i)
        Put32(out, 0);
    for (int y = size - 1; y >= 0; --y)
        for (int x = 0; x < size; ++x)
            Put32(out, argb[std::size_t(y * size + x)]);
    for (int y = size - 1; y >= 0; --y) {
        std::string row(std::size_t(maskStride), '\0');
        for (int x = 0; x < size; ++x)
            if ((argb[std::size_t(y * size + x)] >> 24) == 0)
                row[std::size_t(x / 8)] = char(row[std::size_t(x / 8)] | (0x80 >> (x % 8)));
        out += row;
    }
    return out;
}

} // namespace

std::vector<std::uint32_t> DrawIcon(int size) {
    const int scale = size <= 64 ? 8 : 4;
    TSketch s(size, size, scale);
    s.FillRect(rtl::Rect(0, 0, size, size), Key);
    const int inset = std::max(1, size / 16);
    const rtl::TRect square = rtl::Rect(inset, inset, size - inset, size - inset);
    s.RoundRectGradient(square, size * 2 / 9, Rgb(0x93405A), Rgb(0x3A1A2C));
    // A thin gold line inside the edge: a gold rounded square with the face over it.
    if (size >= 32) {
        const int ring = size / 10;
        const rtl::TRect gold = rtl::Rect(square.Left + ring, square.Top + ring,
                                          square.Right - ring, square.Bottom - ring);
        s.RoundRect(gold, size * 2 / 9 - ring, Rgb(0xD9BD8C));
        const int line = std::max(1, size / 64);
        s.RoundRectGradient(
            rtl::Rect(gold.Left + line, gold.Top + line, gold.Right - line, gold.Bottom - line),
            size * 2 / 9 - ring - line, Rgb(0x8A3A53), Rgb(0x43203A));
    }
    graphics::TCanvas* c = s.Canvas();
    const int k = s.Scale();
    DrawText(c, rtl::Rect(0, size * k / 40, size * k, size * k), "Q",
             TTextStyle{"Liberation Serif", size * k * 72 / 100, true, Rgb(0xE8CF9E)});
    return s.ReduceWithAlpha(Key);
}

std::string IconPng(int size) {
    const std::vector<std::uint32_t> argb = DrawIcon(size);
    std::vector<std::uint8_t> rgba;
    rgba.reserve(argb.size() * 4);
    for (std::uint32_t v : argb) {
        rgba.push_back(std::uint8_t(v >> 16));
        rgba.push_back(std::uint8_t(v >> 8));
        rgba.push_back(std::uint8_t(v));
        rgba.push_back(std::uint8_t(v >> 24));
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(size);
    image.height = png_uint_32(size);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t bytes = 0;
    if (!png_image_write_to_memory(&image, nullptr, &bytes, 0, rgba.data(), 0, nullptr))
        throw rtl::Exception("cannot encode the icon as PNG");
    std::string out(bytes, '\0');
    if (!png_image_write_to_memory(&image, out.data(), &bytes, 0, rgba.data(), 0, nullptr))
        throw rtl::Exception("cannot encode the icon as PNG");
    out.resize(bytes);
    return out;
}

std::string IconFile() {
    const int sizes[] = {16, 32, 48, 256};
    std::vector<std::string> images;
    for (int size : sizes)
        images.push_back(size == 256 ? IconPng(size) : IconDib(size, DrawIcon(size)));
    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, unsigned(images.size()));
    std::uint32_t offset = std::uint32_t(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out += char(sizes[i] == 256 ? 0 : sizes[i]);
        out += char(sizes[i] == 256 ? 0 : sizes[i]);
        out += '\0'; // colours: not a palette image
        out += '\0';
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, std::uint32_t(images[i].size()));
        Put32(out, offset);
        offset += std::uint32_t(images[i].size());
    }
    for (const std::string& image : images)
        out += image;
    return out;
}

void WriteIcon(const std::string& file) {
    WriteFile(file, IconFile());
    const std::filesystem::path path(file);
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
    for (int size : IconThemeSizes)
        WriteFile((dir / (path.stem().string() + "-" + std::to_string(size) + ".png")).string(),
                  IconPng(size));
}

} // namespace artgen
