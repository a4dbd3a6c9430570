#include "app/Layout.h"

namespace app {

namespace {

enum class TAnchor { Control, Start, ShowPanel, SelectImage, Offset };

struct TRule {
    std::string_view Name;
    TAnchor Anchor;
    int DX = 0; // offsets from `control`'s position, for TAnchor::Offset
    int DY = 0;
};

// Offsets are the stored design positions less the anchor's design position (286, 165).
constexpr TRule Rules[LayoutRowCount] = {
    {"control", TAnchor::Control},
    {"start", TAnchor::Start},
    {"b_korean", TAnchor::Offset, 326, 448},
    {"b_english", TAnchor::Offset, 493, 448},
    {"ShowPanel", TAnchor::ShowPanel},
    {"SelectImage", TAnchor::SelectImage},
    {"SelectImage_eng", TAnchor::SelectImage},
    {"title", TAnchor::Offset, 396, 456},
    {"manImage", TAnchor::Offset, 369, 507},
    {"womanImage", TAnchor::Offset, 521, 507},
    {"childbabyImage", TAnchor::Offset, 369, 535},
    {"childbabyImage1", TAnchor::Offset, 521, 535},
    {"title_eng", TAnchor::Offset, 409, 461},
    {"manImage_eng", TAnchor::Offset, 457, 504},
    {"womanImage_eng", TAnchor::Offset, 563, 504},
    {"childbabyImage_eng", TAnchor::Offset, 457, 523},
    {"childbabyImage1_eng", TAnchor::Offset, 563, 523},
    {"back", TAnchor::Offset, 192, 651},
    {"close", TAnchor::Offset, 402, 651},
};

} // namespace

TLayoutRows ComputeLayout(int mw, int mh, const TLayoutSizes& sizes) {
    auto centred = [&](std::string_view name, TSize size) {
        return TPlacement{name, Half(mw - size.Width), Half(mh - size.Height)};
    };
    TLayoutRows rows{};
    int cl = 0;
    int ct = 0;
    for (std::size_t i = 0; i < LayoutRowCount; ++i) {
        const TRule& rule = Rules[i];
        switch (rule.Anchor) {
        case TAnchor::Control:
            rows[i] = centred(rule.Name, sizes.Control);
            cl = rows[i].Left;
            ct = rows[i].Top;
            break;
        case TAnchor::Start:
            rows[i] = centred(rule.Name, sizes.Start);
            break;
        case TAnchor::ShowPanel:
            rows[i] = centred(rule.Name, sizes.ShowPanel);
            break;
        case TAnchor::SelectImage:
            rows[i] = centred(rule.Name, sizes.SelectImage);
            break;
        case TAnchor::Offset:
            rows[i] = TPlacement{rule.Name, cl + rule.DX, ct + rule.DY};
            break;
        }
    }
    return rows;
}

} // namespace app
