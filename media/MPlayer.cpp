// TMediaPlayer: construction, published properties, loading and registration.
#include "media/MPlayer.h"

#include <atomic>

#include <algorithm>
#include <mutex>

#include "formstream/ClassRegistry.h"
#include "formstream/IdentMaps.h"
#include "rtl/SysUtils.h"

namespace media {

using formstream::Default;
using formstream::Prop;

constinit const formstream::TPropInfo TMediaPlayer::Published[] = {
    Prop<&TMediaPlayer::ColoredButtons, &TMediaPlayer::SetColoredButtons>("ColoredButtons",
                                                                          Default(AllButtons)),
    Prop<&TMediaPlayer::EnabledButtons, &TMediaPlayer::SetEnabledButtons>("EnabledButtons",
                                                                          Default(AllButtons)),
    Prop<&TMediaPlayer::VisibleButtons, &TMediaPlayer::SetVisibleButtons>("VisibleButtons",
                                                                          Default(AllButtons)),
    Prop<&TMediaPlayer::AutoEnable, &TMediaPlayer::SetAutoEnable>("AutoEnable", Default(true)),
    Prop<&TMediaPlayer::AutoOpen, &TMediaPlayer::SetAutoOpen>("AutoOpen", Default(false)),
    Prop<&TMediaPlayer::AutoRewind, &TMediaPlayer::SetAutoRewind>("AutoRewind", Default(true)),
    Prop<&TMediaPlayer::DeviceType, &TMediaPlayer::SetDeviceType>("DeviceType",
                                                                  Default(dtAutoSelect)),
    Prop<&TMediaPlayer::Display, &TMediaPlayer::SetDisplay>("Display"),
    Prop<&TMediaPlayer::FileName, &TMediaPlayer::SetFileName>("FileName"),
    Prop<&TMediaPlayer::Shareable, &TMediaPlayer::SetShareable>("Shareable", Default(false)),
    Prop<&TMediaPlayer::OnClick, &TMediaPlayer::OnClick>("OnClick"),
    Prop<&TMediaPlayer::OnNotify, &TMediaPlayer::OnNotify>("OnNotify"),
    Prop<&TMediaPlayer::OnPostClick, &TMediaPlayer::OnPostClick>("OnPostClick"),
    Prop<&ui::TWinControl::TabStop, &ui::TWinControl::SetTabStop>("TabStop", Default(true)),
};

constinit const formstream::TClassInfo TMediaPlayer::ClassInfo =
    formstream::ClassInfoOf<TMediaPlayer, ui::TCustomControl>("TMediaPlayer",
                                                              TMediaPlayer::Published);

namespace {

// Glyph resources are named "<prefix>_<button>", prefixes in glyph order.
constexpr const char* GlyphPrefixes[3] = {"EN", "DI", "CL"};
constexpr const char* GlyphButtonNames[MPButtonCount] = {
    "MPPLAY", "MPPAUSE", "MPSTOP", "MPNEXT", "MPPREV", "MPSTEP", "MPBACK", "MPRECORD", "MPEJECT"};

} // namespace

TMediaPlayer::TMediaPlayer(formstream::TComponent* owner) : ui::TCustomControl(owner) {
    SetControlStyle(ControlStyle() + ui::TControlStyle{ui::csOpaque});
    SetBounds(Left(), Top(), 240, 30);
    SetTabStop(true);
    FVisible.fill(true);
    FEnabled.fill(true);
    FColored.fill(true);
    FAutoEnabled.fill(false);
    LoadGlyphs();
}

TMediaPlayer::~TMediaPlayer() {
    if (FDeviceID != 0) {
        MCI_GENERIC_PARMS parms{};
        mciSendCommandA(FDeviceID, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&parms));
    }
}

namespace {
std::atomic<HMODULE> gGlyphModule{nullptr};
} // namespace

void SetGlyphModule(HMODULE module) {
    gGlyphModule.store(module);
}

void TMediaPlayer::LoadGlyphs() {
    HINSTANCE module = GetModuleHandleA(nullptr);
    HMODULE volume = gGlyphModule.load();
    int widest = 0;
    int tallest = 0;
    for (int b = 0; b < MPButtonCount; ++b) {
        for (int k = 0; k < 3; ++k) {
            auto& glyph = FGlyphs[b][k];
            glyph.reset(new graphics::TBitmap());
            const std::string name = rtl::Format("%s_%s", GlyphPrefixes[k], GlyphButtonNames[b]);
            // A program linked without the glyph resources gets a bar of empty faces.
            HBITMAP handle = volume ? LoadBitmapA(volume, name.c_str()) : nullptr;
            if (handle || (handle = LoadBitmapA(module, name.c_str())))
                glyph->SetHandle(handle);
            widest = std::max(widest, int(glyph->GetWidth()));
            tallest = std::max(tallest, int(glyph->GetHeight()));
        }
    }
    FMinButtonWidth = widest + 8;
    FMinHeight = tallest + 4;
}

void TMediaPlayer::Loaded() {
    ui::TCustomControl::Loaded();
    if (!HasState(formstream::stDesigning) && FAutoOpen)
        Open();
}

namespace {

// The identifier map of an enumeration: its value names, as the form reader's text
// conversions and the writer use them.
template <class E> bool EnumIdentToInt(std::string_view ident, std::int32_t& value) {
    const int ordinal = formstream::GetEnumValue(formstream::TypeInfoOf<E>, ident);
    if (ordinal < 0)
        return false;
    value = ordinal;
    return true;
}
template <class E> bool EnumIntToIdent(std::int32_t value, std::string& ident) {
    ident = formstream::GetEnumName(formstream::TypeInfoOf<E>, value);
    return !ident.empty();
}

} // namespace

void RegisterMediaUnit() {
    static std::once_flag once;
    std::call_once(once, [] {
        formstream::RegisterStreamClass(&TMediaPlayer::ClassInfo);
        formstream::RegisterIdentMap(formstream::TypeInfoOf<TMPBtnType>,
                                     &EnumIdentToInt<TMPBtnType>, &EnumIntToIdent<TMPBtnType>);
        formstream::RegisterIdentMap(formstream::TypeInfoOf<TMPDeviceTypes>,
                                     &EnumIdentToInt<TMPDeviceTypes>,
                                     &EnumIntToIdent<TMPDeviceTypes>);
    });
}

} // namespace media
