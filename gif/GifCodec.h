// The LZW raster codec of GIF frames, working on plain memory so that it can be used
// (and measured) without the graphic classes:
//   - DecodeRaster turns a frame's encoded data into the pixel rows of a bitmap file
//     image, de-interlacing on the way; WriteBitmapStream builds the whole bitmap file
//     image (headers, palette from the frame's colour table, pixels) of a frame.
//   - EncodeRaster compresses the pixel rows of a 1-, 4- or 8-bit bitmap into encoded
//     data (minimum code size byte, 255-byte sub-blocks, terminator).
// Both report progress through an optional callback: starting 0 %, running percentages
// (only when they change), ending 100 % (or 0 % with the failure's message).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formstream/Graphic.h"
#include "platform/wingdi.h"
#include "rtl/Stream.h"

namespace graphics {
class TBitmap;
}

namespace gif {

class TGIFItem;

struct TGIFProgress {
    using TProc = void (*)(void* context, formstream::TProgressStage stage, std::uint8_t percent,
                           const std::string& msg);
    TProc Proc = nullptr;
    void* Context = nullptr;

    explicit operator bool() const { return Proc != nullptr; }
    void operator()(formstream::TProgressStage stage, std::uint8_t percent,
                    const std::string& msg) const {
        if (Proc)
            Proc(Context, stage, percent, msg);
    }
};

struct TDecodeParams {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    int Depth = 8;     // bits per pixel of the bitmap rows: 1, 4 or 8
    int PixelBits = 8; // bits per pixel index of the frame (its colour table), 1 to 8
    bool Interlaced = false;
    bool Tolerant = true; // GIFLoadCorrupted
    TGIFProgress Progress;
    // 1- and 4-bit frames (and 8-bit ones when this is set) are decoded through a window
    // of the most recent pixels, of about this many bytes (0: the size of the bitmap rows,
    // from 64 KB to 8 MB); it never holds less than two rows and is never larger than the
    // frame. 8-bit frames are otherwise decoded in their rows, without other pixel memory.
    std::size_t WindowBytes = 0;
};

// The largest frames that are decoded into bitmaps (the limits of the bitmap class on
// outside data): neither side above 32768 pixels, at most 512 MB of pixel rows. Larger
// frames raise "GIF image is too large" before any memory is taken.
inline constexpr std::int64_t MaxFrameDimension = 32768;
inline constexpr std::int64_t MaxFrameBytes = std::int64_t(512) << 20;

// Bitmap depth for a pixel index width: 1 -> 1, 2..4 -> 4, 5..8 -> 8; any other width
// raises "Wrong number of colors; must be a power of 2".
int BitmapDepthFor(int pixelBits);
// Bytes per bitmap row: ((width * depth + 31) div 32) * 4.
std::int64_t BitmapStride(std::int64_t width, int depth);

// Decodes `size` bytes of encoded data into `pixels`: Height rows of BitmapStride bytes,
// stored bottom-up (image row 0 last), which must be zero-filled. Returns true when the
// data were damaged (the frame is corrupted). Raises rtl::EReadError when the sub-block
// chain promises bytes it lacks, and, when not tolerant, "GIF code size not in range 2 to
// 9" or "GIF encoded data is corrupt". Never reads outside `data` nor writes outside the
// rows.
bool DecodeRaster(const std::uint8_t* data, std::size_t size, const TDecodeParams& params,
                  std::uint8_t* pixels);

// The decoding parameters of a frame's item (size, depths, the interlaced flag, the
// tolerance switch, progress).
TDecodeParams FrameParams(const TGIFItem& item, bool interlaced, bool tolerant,
                          const TGIFProgress& progress);
// Raises "GIF image is too large" for a frame beyond the limits above.
void CheckFrameSize(std::int64_t width, std::int64_t height, int depth);
// The colour table of a frame's bitmap of `depth` bits: the item's colours, then entries
// of 128 (all four bytes) up to 2^depth.
std::vector<RGBQUAD> FramePalette(const TGIFItem& item, int depth);

// Whether the bitmap of a frame is monochrome: 1 bit deep with black and white as its two
// colours. Such a bitmap stays a 1-bit bitmap; every other becomes a device bitmap.
bool FrameIsMonochrome(const TGIFItem& item);

// Makes `bitmap` the device bitmap of a frame that is not monochrome: the same pixels and
// colour table as loading the bitmap file image of WriteBitmapStream and switching it to a
// device bitmap, decoded without that image. Returns the decoder's corrupted flag; when
// decoding fails, the bitmap is left as it was.
bool DecodeDeviceBitmap(const TGIFItem& item, bool interlaced, bool tolerant,
                        const TGIFProgress& progress, graphics::TBitmap& bitmap);

// Writes the bitmap file image of a frame into `dest` (emptied first, left at position 0):
// file header, 40-byte information header, palette of 2^depth entries (the colour table,
// then entries of 128), then the decoded pixel rows. Returns the decoder's corrupted flag.
bool WriteBitmapStream(const TGIFItem& item, bool interlaced, bool tolerant,
                       const TGIFProgress& progress, rtl::TMemoryStream& dest);

// Compresses a bitmap's pixel rows (image row y at rows + y * rowStep, rowStep may be
// negative for bottom-up storage) of `depth` 1, 4 or 8 bits into `out`.
void EncodeRaster(rtl::TStream& out, std::int32_t width, std::int32_t height, int depth,
                  bool interlaced, const std::uint8_t* rows, std::ptrdiff_t rowStep,
                  const TGIFProgress& progress);

} // namespace gif
