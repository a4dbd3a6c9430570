// Small geometric records shared by the drawing and control code: points and rectangles
// in pixels. A rectangle includes its left and top edges and excludes its right and
// bottom edges.
#pragma once

#include <cstdint>

namespace rtl {

struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;

    std::int32_t Width() const { return Right - Left; }
    std::int32_t Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(TPoint p) const {
        return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
    }
    bool operator==(const TRect&) const = default;
};

constexpr TRect Rect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    return {left, top, right, bottom};
}
constexpr TRect Bounds(std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height) {
    return {left, top, left + width, top + height};
}

} // namespace rtl
