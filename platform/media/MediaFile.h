// Internal to the platform layer: an AVI file, read by our own code and decoded through
// FFmpeg's decoders. It answers what the devices need to know at open (video size, exact
// frame count, frame rate, sound format, length of the sound) and decodes pictures by
// frame number and sound in order.
//
// One instance is used by one thread at a time.
//
// The class is implemented in the media module (platform/ffmpeg), which the program loads
// when it first needs it (MediaModule.h): the program links no FFmpeg. So every member
// the devices call on a file is virtual or inline, and Open, here in the program, loads
// the module and asks it for the file. The class itself is an interface with nothing out
// of line, so its type information stands in the program as well as in the module (the
// sanitizers' checks of dynamic types look for it on both sides); the module's class
// derives from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/mmsystem.h"

namespace platform::user {
class VideoRows;
}

namespace platform::media {

// A decoded picture, 0x00RRGGBB pixels, rows top-down.
struct VideoImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
};

class MediaFile {
public:
    virtual ~MediaFile() = default;
    MediaFile(const MediaFile&) = delete;
    MediaFile& operator=(const MediaFile&) = delete;

    // Opens `path` (backslashes count as separators). Returns 0 or the MCIERR_* code
    // the real digital-video device gives: FILE_NOT_FOUND for a missing file,
    // INVALID_FILE for one that is not an AVI file or holds no playable stream; and two
    // of this device's own, whose texts name the file: DGV_FOLDER for a folder,
    // DGV_PICTURE_TOO_LARGE for a picture larger than the device shows.
    static MCIERROR Open(const std::string& path, std::unique_ptr<MediaFile>& file);

    bool HasVideo() const { return FVideoStream >= 0; }
    bool HasAudio() const { return FAudioStream >= 0; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Frames in the video stream: its frame slots, one for each chunk of the stream,
    // empty ones (dropped frames) included, from the file's chunk list (see
    // AviChunks.h). The headers' counts are never taken.
    std::int64_t FrameCount() const { return FFrameCount; }
    // The picture shown in frame slot `frame`: slots of dropped frames show the picture
    // before them, so two slots may share one.
    virtual std::int64_t PictureOf(std::int64_t frame) const = 0;
    // Frames per second as a fraction.
    int RateNum() const { return FRateNum; }
    int RateDen() const { return FRateDen; }
    // Length in milliseconds: the video's frames, or the sound's length without video.
    std::int64_t LengthMs() const { return FLengthMs; }
    int SampleRate() const { return FSampleRate; }
    int Channels() const { return FChannels; }

    // Decodes the picture of frame `index` (0-based) into `image`, converting straight into its
    // pixels; the memory of a buffer handed in is reused. False when the stream ends before it (a
    // damaged or cut file): the caller keeps showing what it showed.
    virtual bool DecodeFrame(std::int64_t index, VideoImage& image) = 0;
    // The same, but a picture that converts band by band (FrameRows.h) stays in the
    // decoder's format and comes back in `rows`, converted only as it is drawn; `image`
    // then only takes its size and keeps its pixels. Any other picture is converted into
    // `image`, `rows` null.
    virtual bool DecodeFrame(std::int64_t index, VideoImage& image,
                             std::shared_ptr<const user::VideoRows>& rows) = 0;

    // Sound as interleaved signed 16-bit samples at SampleRate() with Channels().
    // SeekAudio positions the next read at `ms`; ReadAudio appends up to `frames` sample
    // frames and returns how many it appended (fewer at the end of the sound).
    virtual void SeekAudio(std::int64_t ms) = 0;
    virtual std::size_t ReadAudio(std::vector<std::int16_t>& out, std::size_t frames) = 0;

    // The module's own opening, behind Open.
    static MCIERROR OpenHere(const std::string& path, std::unique_ptr<MediaFile>& file);

protected:
    MediaFile() = default;

    int FVideoStream = -1;
    int FAudioStream = -1;
    int FWidth = 0, FHeight = 0;
    std::int64_t FFrameCount = 0;
    int FRateNum = 15, FRateDen = 1;
    std::int64_t FLengthMs = 0;
    int FSampleRate = 0, FChannels = 0;
};

} // namespace platform::media
