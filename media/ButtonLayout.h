// The arithmetic of the media player's button bar, kept apart from the control so that it
// can be checked on its own: how wide the buttons are, where each visible button lies,
// which button a point hits, where a glyph goes and where the arrow keys move the focus.
// Buttons run left to right in TMPBtnType order, invisible ones skipped; a button starting
// at x covers x to x + button width, and the next starts at x + button width - 1, so
// neighbours share one border column. Divisions truncate towards zero.
#pragma once

#include <array>
#include <optional>

#include "media/MPlayerTypes.h"
#include "rtl/Types.h"

namespace media {

using TButtonFlags = std::array<bool, MPButtonCount>;

// The number of visible buttons, 1 when none is visible (the bar keeps one button's room).
int VisibleButtonCount(const TButtonFlags& visible);
// The width of each button when the bar is `barWidth` wide: (barWidth - 1) / n + 1, and
// never less than 1.
int ButtonWidthFor(int barWidth, int count);
// The width of a bar of `count` buttons of `buttonWidth`: count * (buttonWidth - 1) + 1,
// a button width below 1 counted as 1 (so the bar is never narrower than 1).
int BarWidthFor(int count, int buttonWidth);

// The left edge of each visible button (invisible ones have none).
std::array<std::optional<int>, MPButtonCount> ButtonLefts(const TButtonFlags& visible,
                                                          int buttonWidth);

struct TButtonHit {
    TMPBtnType Button;
    int Left; // the button's left edge
};
// The first visible button, from the left, whose span left .. left + buttonWidth holds x
// (both ends included); none when no visible button does.
std::optional<TButtonHit> HitButton(const TButtonFlags& visible, int buttonWidth, int x);

// The top-left corner of a glyph of glyphWidth x glyphHeight on the button at `left` of a
// bar `height` high; one pixel further right and down when the button is pushed in.
rtl::TPoint GlyphOrigin(int left, int buttonWidth, int height, int glyphWidth, int glyphHeight,
                        bool pushedIn);

// The button that the focus moves to with the left (or right) arrow key: one step to the
// left (right) past invisible buttons, stopping at btPlay (btEject) whether it is visible
// or not.
TMPBtnType ArrowTarget(const TButtonFlags& visible, TMPBtnType focused, bool right);

} // namespace media
