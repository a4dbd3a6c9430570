// The types of the media player: its nine buttons and sets of them, the device types it
// can open, the outcome of a completion notification, the device modes, the events of
// the button bar and the exception it raises. Enumerations keep their ordinals, which
// form streams store and which sets use as bit numbers.
#pragma once

#include <cstdint>
#include <string_view>

#include "formstream/Object.h"
#include "formstream/TypeInfo.h"
#include "rtl/Exceptions.h"

namespace media {

enum TMPBtnType : std::uint8_t {
    btPlay,
    btPause,
    btStop,
    btNext,
    btPrev,
    btStep,
    btBack,
    btRecord,
    btEject
};
inline constexpr int MPButtonCount = 9;
inline constexpr std::string_view TMPBtnTypeNames[] = {
    "btPlay", "btPause", "btStop", "btNext", "btPrev", "btStep", "btBack", "btRecord", "btEject"};

// A set of buttons, bit n for the button of ordinal n; all nine are 0x01FF.
using TButtonSet = formstream::TSet<TMPBtnType>;
inline constexpr TButtonSet AllButtons = TButtonSet::FromBits(0x01FF);

enum TMPDeviceTypes : std::uint8_t {
    dtAutoSelect,
    dtAVIVideo,
    dtCDAudio,
    dtDAT,
    dtDigitalVideo,
    dtMMMovie,
    dtOther,
    dtOverlay,
    dtScanner,
    dtSequencer,
    dtVCR,
    dtVideodisc,
    dtWaveAudio
};
inline constexpr std::string_view TMPDeviceTypesNames[] = {
    "dtAutoSelect", "dtAVIVideo", "dtCDAudio",   "dtDAT", "dtDigitalVideo", "dtMMMovie",  "dtOther",
    "dtOverlay",    "dtScanner",  "dtSequencer", "dtVCR", "dtVideodisc",    "dtWaveAudio"};
// The name the media control interface knows each device type by ("" for automatic choice).
inline constexpr std::string_view MPDeviceTypeNames[] = {
    "",        "AVIVideo", "CDAudio",   "DAT", "DigitalVideo", "MMMovie",  "Other",
    "Overlay", "Scanner",  "Sequencer", "VCR", "Videodisc",    "WaveAudio"};

// Outcome of the last completion notification.
enum TMPNotifyValues : std::uint8_t { nvSuccessful, nvSuperseded, nvAborted, nvFailure };
inline constexpr std::string_view TMPNotifyValuesNames[] = {"nvSuccessful", "nvSuperseded",
                                                            "nvAborted", "nvFailure"};

// The device's mode: the interface's mode codes 524 (not ready) to 530 (open) less 524.
enum TMPModes : std::uint8_t {
    mpNotReady,
    mpStopped,
    mpPlaying,
    mpRecording,
    mpSeeking,
    mpPaused,
    mpOpen
};
inline constexpr std::string_view TMPModesNames[] = {
    "mpNotReady", "mpStopped", "mpPlaying", "mpRecording", "mpSeeking", "mpPaused", "mpOpen"};

// Before a button's operation: the handler may set DoDefault to false to skip it.
using EMPNotify =
    formstream::TEvent<formstream::TObject* /*Sender*/, TMPBtnType /*Button*/, bool& /*DoDefault*/>;
// After a button's operation.
using EMPPostNotify = formstream::TEvent<formstream::TObject* /*Sender*/, TMPBtnType /*Button*/>;

// Raised by a failed Open and by operations that need an open device while none is.
class EMCIDeviceError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
    const char* ClassName() const noexcept override { return "EMCIDeviceError"; }
};

} // namespace media

namespace formstream {
template <>
inline constexpr TTypeInfo TypeInfoOf<media::TMPBtnType> = EnumTypeInfo("TMPBtnType",
                                                                        media::TMPBtnTypeNames);
template <>
inline constexpr TTypeInfo
    TypeInfoOf<media::TMPDeviceTypes> = EnumTypeInfo("TMPDeviceTypes", media::TMPDeviceTypesNames);
template <>
inline constexpr TTypeInfo TypeInfoOf<media::TMPNotifyValues> =
    EnumTypeInfo("TMPNotifyValues", media::TMPNotifyValuesNames);
template <>
inline constexpr TTypeInfo TypeInfoOf<media::TMPModes> = EnumTypeInfo("TMPModes",
                                                                      media::TMPModesNames);
} // namespace formstream
