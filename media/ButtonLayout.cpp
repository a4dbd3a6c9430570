#include "media/ButtonLayout.h"

#include <algorithm>

namespace media {

int VisibleButtonCount(const TButtonFlags& visible) {
    int n = 0;
    for (bool v : visible)
        n += v ? 1 : 0;
    return n == 0 ? 1 : n;
}

// Both widths are at least one pixel: a bar not yet laid out (width 0) or squeezed to
// nothing still has its one column, and no arithmetic here ever yields a negative size.
int ButtonWidthFor(int barWidth, int count) {
    return std::max((barWidth - 1) / std::max(count, 1) + 1, 1);
}

int BarWidthFor(int count, int buttonWidth) {
    return std::max(count, 1) * (std::max(buttonWidth, 1) - 1) + 1;
}

std::array<std::optional<int>, MPButtonCount> ButtonLefts(const TButtonFlags& visible,
                                                          int buttonWidth) {
    std::array<std::optional<int>, MPButtonCount> lefts;
    int x = 0;
    for (int i = 0; i < MPButtonCount; ++i) {
        if (!visible[i])
            continue;
        lefts[i] = x;
        x += buttonWidth - 1;
    }
    return lefts;
}

std::optional<TButtonHit> HitButton(const TButtonFlags& visible, int buttonWidth, int x) {
    const auto lefts = ButtonLefts(visible, buttonWidth);
    for (int i = 0; i < MPButtonCount; ++i) {
        if (lefts[i] && x >= *lefts[i] && x <= *lefts[i] + buttonWidth)
            return TButtonHit{static_cast<TMPBtnType>(i), *lefts[i]};
    }
    return std::nullopt;
}

rtl::TPoint GlyphOrigin(int left, int buttonWidth, int height, int glyphWidth, int glyphHeight,
                        bool pushedIn) {
    const int shift = pushedIn ? 1 : 0;
    return {left + buttonWidth / 2 - glyphWidth / 2 + shift, height / 2 - glyphHeight / 2 + shift};
}

TMPBtnType ArrowTarget(const TButtonFlags& visible, TMPBtnType focused, bool right) {
    int b = focused;
    if (right) {
        if (b < btEject) {
            ++b;
            while (b < btEject && !visible[b])
                ++b;
        }
    } else if (b > btPlay) {
        --b;
        while (b > btPlay && !visible[b])
            --b;
    }
    return static_cast<TMPBtnType>(b);
}

} // namespace media
