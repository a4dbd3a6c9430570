// A recorded MCI command as one line that reads as the command does:
// "dev=1 MCI_PLAY notify from=0 to=494 callback=0x10012". The flags are named (with the
// record's field that each one names), item codes and time formats by their names,
// results by the error's name.
#include <cstdio>
#include <vector>

#include "platform/testing/Testing.h"

namespace platform::testing {

namespace {

struct Name {
    DWORD Code;
    const char* Text;
};

constexpr Name StatusItems[] = {
    {MCI_STATUS_LENGTH, "length"},
    {MCI_STATUS_POSITION, "position"},
    {MCI_STATUS_NUMBER_OF_TRACKS, "tracks"},
    {MCI_STATUS_MODE, "mode"},
    {MCI_STATUS_MEDIA_PRESENT, "media_present"},
    {MCI_STATUS_TIME_FORMAT, "time_format"},
    {MCI_STATUS_READY, "ready"},
    {MCI_STATUS_CURRENT_TRACK, "current_track"},
};

constexpr Name CapsItems[] = {
    {MCI_GETDEVCAPS_CAN_RECORD, "can_record"}, {MCI_GETDEVCAPS_HAS_AUDIO, "has_audio"},
    {MCI_GETDEVCAPS_HAS_VIDEO, "has_video"},   {MCI_GETDEVCAPS_DEVICE_TYPE, "device_type"},
    {MCI_GETDEVCAPS_USES_FILES, "uses_files"}, {MCI_GETDEVCAPS_COMPOUND_DEVICE, "compound"},
    {MCI_GETDEVCAPS_CAN_EJECT, "can_eject"},   {MCI_GETDEVCAPS_CAN_PLAY, "can_play"},
    {MCI_GETDEVCAPS_CAN_SAVE, "can_save"},
};

constexpr Name TimeFormats[] = {
    {MCI_FORMAT_MILLISECONDS, "milliseconds"},
    {MCI_FORMAT_HMS, "hms"},
    {MCI_FORMAT_MSF, "msf"},
    {MCI_FORMAT_FRAMES, "frames"},
    {MCI_FORMAT_SMPTE_24, "smpte_24"},
    {MCI_FORMAT_SMPTE_25, "smpte_25"},
    {MCI_FORMAT_SMPTE_30, "smpte_30"},
    {MCI_FORMAT_SMPTE_30DROP, "smpte_30drop"},
    {MCI_FORMAT_BYTES, "bytes"},
    {MCI_FORMAT_SAMPLES, "samples"},
    {MCI_FORMAT_TMSF, "tmsf"},
};

constexpr Name Errors[] = {
    {MCIERR_INVALID_DEVICE_ID, "MCIERR_INVALID_DEVICE_ID"},
    {MCIERR_UNRECOGNIZED_COMMAND, "MCIERR_UNRECOGNIZED_COMMAND"},
    {MCIERR_HARDWARE, "MCIERR_HARDWARE"},
    {MCIERR_INVALID_DEVICE_NAME, "MCIERR_INVALID_DEVICE_NAME"},
    {MCIERR_CANNOT_LOAD_DRIVER, "MCIERR_CANNOT_LOAD_DRIVER"},
    {MCIERR_MISSING_PARAMETER, "MCIERR_MISSING_PARAMETER"},
    {MCIERR_UNSUPPORTED_FUNCTION, "MCIERR_UNSUPPORTED_FUNCTION"},
    {MCIERR_FILE_NOT_FOUND, "MCIERR_FILE_NOT_FOUND"},
    {MCIERR_DEVICE_NOT_READY, "MCIERR_DEVICE_NOT_READY"},
    {MCIERR_OUTOFRANGE, "MCIERR_OUTOFRANGE"},
    {MCIERR_FLAGS_NOT_COMPATIBLE, "MCIERR_FLAGS_NOT_COMPATIBLE"},
    {MCIERR_BAD_TIME_FORMAT, "MCIERR_BAD_TIME_FORMAT"},
    {MCIERR_INVALID_FILE, "MCIERR_INVALID_FILE"},
    {MCIERR_NULL_PARAMETER_BLOCK, "MCIERR_NULL_PARAMETER_BLOCK"},
    {MCIERR_NONAPPLICABLE_FUNCTION, "MCIERR_NONAPPLICABLE_FUNCTION"},
    {MCIERR_FILENAME_REQUIRED, "MCIERR_FILENAME_REQUIRED"},
    {MCIERR_NO_WINDOW, "MCIERR_NO_WINDOW"},
    {MCIERR_FILE_READ, "MCIERR_FILE_READ"},
};

std::string Hex(std::uint64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
    return buffer;
}

template <std::size_t N> std::string NameOf(const Name (&names)[N], DWORD code) {
    for (const Name& n : names)
        if (n.Code == code)
            return n.Text;
    return std::to_string(code);
}

template <typename T> std::string Value(const std::optional<T>& v) {
    return v ? std::to_string(*v) : "?";
}

std::string Quoted(const std::optional<std::string>& s) {
    return s ? "\"" + *s + "\"" : "?";
}

struct Word {
    DWORD Bit;
    std::string Text;
};

std::string RectText(const std::optional<RECT>& r) {
    if (!r)
        return "?";
    return std::to_string(r->left) + "," + std::to_string(r->top) + " " + std::to_string(r->right) +
           "x" + std::to_string(r->bottom);
}

// The flags of each command beyond notify and wait, in the order of their bits.
std::vector<Word> WordsOf(const MciCall& c) {
    const std::string item = c.Command == MCI_STATUS ? (c.Item ? NameOf(StatusItems, *c.Item) : "?")
                                                     : (c.Item ? NameOf(CapsItems, *c.Item) : "?");
    switch (c.Command) {
    case MCI_OPEN:
        return {{MCI_OPEN_SHAREABLE, "shareable"},
                {MCI_OPEN_ELEMENT, "element=" + Quoted(c.Element)},
                {MCI_OPEN_ALIAS, "alias=" + Quoted(c.Alias)},
                {MCI_OPEN_ELEMENT_ID, "element_id"},
                {MCI_OPEN_TYPE_ID, "type_id=" + Value(c.DeviceTypeId)},
                {MCI_OPEN_TYPE, "type=" + Quoted(c.DeviceType)}};
    case MCI_PLAY:
    case MCI_RECORD:
        return {{MCI_FROM, "from=" + Value(c.From)}, {MCI_TO, "to=" + Value(c.To)},
                {MCI_RECORD_INSERT, "insert"},       {MCI_RECORD_OVERWRITE, "overwrite"},
                {MCI_DGV_PLAY_REPEAT, "repeat"},     {MCI_DGV_PLAY_REVERSE, "reverse"}};
    case MCI_SEEK:
        return {{MCI_TO, "to=" + Value(c.To)},
                {MCI_SEEK_TO_START, "to_start"},
                {MCI_SEEK_TO_END, "to_end"}};
    case MCI_STATUS:
        return {{MCI_TRACK, "track=" + Value(c.Track)},
                {MCI_STATUS_ITEM, "item=" + item},
                {MCI_STATUS_START, "start"}};
    case MCI_GETDEVCAPS:
        return {{MCI_GETDEVCAPS_ITEM, "item=" + item}};
    case MCI_SET:
        return {{MCI_SET_DOOR_OPEN, "door_open"},
                {MCI_SET_DOOR_CLOSED, "door_closed"},
                {MCI_SET_TIME_FORMAT,
                 "time_format=" + (c.TimeFormat ? NameOf(TimeFormats, *c.TimeFormat) : "?")},
                {MCI_SET_AUDIO, "audio"},
                {MCI_SET_VIDEO, "video"},
                {MCI_SET_ON, "on"},
                {MCI_SET_OFF, "off"}};
    case MCI_STEP:
        return {{MCI_DGV_STEP_REVERSE, "reverse"},
                {MCI_DGV_STEP_FRAMES, "frames=" + Value(c.Frames)}};
    case MCI_WINDOW:
        return {{MCI_DGV_WINDOW_HWND,
                 "hwnd=" + (c.Window ? Hex(reinterpret_cast<std::uintptr_t>(*c.Window)) : "?")},
                {MCI_DGV_WINDOW_STATE, "state=" + Value(c.CmdShow)},
                {MCI_DGV_WINDOW_TEXT, "text"}};
    case MCI_WHERE:
        return {{MCI_DGV_WHERE_SOURCE, "source"}, {MCI_DGV_WHERE_DESTINATION, "destination"},
                {MCI_DGV_WHERE_FRAME, "frame"},   {MCI_DGV_WHERE_VIDEO, "video"},
                {MCI_DGV_WHERE_WINDOW, "window"}, {MCI_DGV_WHERE_MAX, "max"}};
    case MCI_PUT:
        return {{MCI_DGV_RECT, "rect=" + RectText(c.Rect)},
                {MCI_DGV_PUT_SOURCE, "source"},
                {MCI_DGV_PUT_DESTINATION, "destination"},
                {MCI_DGV_PUT_FRAME, "frame"},
                {MCI_DGV_PUT_VIDEO, "video"},
                {MCI_DGV_PUT_WINDOW, "window"},
                {MCI_DGV_PUT_CLIENT, "client"}};
    default:
        return {};
    }
}

} // namespace

std::string MciCall::Text() const {
    std::string s = "dev=" + (Device == MCI_ALL_DEVICE_ID ? "all" : std::to_string(Device)) + " " +
                    MciCommandName(Command);
    DWORD rest = Flags;
    auto word = [&](DWORD bit, const std::string& text) {
        if (Flags & bit) {
            s += " " + text;
            rest &= ~bit;
        }
    };
    word(MCI_NOTIFY, "notify");
    word(MCI_WAIT, "wait");
    for (const Word& w : WordsOf(*this))
        word(w.Bit, w.Text);
    if (rest)
        s += " flags=" + Hex(rest);
    if (Callback)
        s += " callback=" + Hex(Callback);
    if (!HasRecord)
        s += " (no record)";
    if (Result)
        s += " -> " + NameOf(Errors, Result);
    return s;
}

} // namespace platform::testing
