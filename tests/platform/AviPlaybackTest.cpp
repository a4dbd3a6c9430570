// AVI files made by FFmpeg's encoders, played by the digital-video device on the virtual
// clock: dropped frames, B-frames, the codecs of catalogue discs, pictures the device
// cannot show.
#include <cstring>
#include <fstream>

#include "FfmpegClip.h"
#include "MciFixture.h"
#include "platform/media/MciDriver.h"
#include "platform/media/MediaFile.h"
#include "tools/generators/clipgen/ClipPainter.h"

namespace {

using platform::testing::AdvanceClock;
using platform::testing::RunFor;

constexpr int Width = 160, Height = 120, Frames = 45, Fps = 15;

class AviPlayback : public MciTest {
protected:
    // The clip writer's clip that FFmpeg encodes from: 45 numbered frames, 3 seconds.
    const std::string& Source() {
        if (FSource.empty()) {
            FSource = Dir + "/source.avi";
            mciclip::Write(FSource, {Frames, Width, Height, Fps, true});
        }
        return FSource;
    }
    // A clip made by ffmpeg from the source with `options` for the output (and `input`
    // for the input).
    std::string Make(const std::string& name, const std::string& options,
                     const std::string& input = "") {
        const std::string path = Dir + "/" + name;
        const std::string error =
            ffclip::Ffmpeg(input + " -i " + Source() + " " + options + " " + path);
        EXPECT_EQ(error, "");
        return path;
    }
    // The frame code `panel` shows.
    static int CodeShown(HWND panel) {
        const Image shot = platform::testing::CaptureWindow(panel);
        return clipgen::ReadFrameCode(Width, Height, [&](int x, int y) { return shot.At(x, y); });
    }
    // Plays `path` into a panel of its size and reads the frame code shown in each slot,
    // the slot's start plus 1 ms; then plays on to the end.
    std::vector<int> CodesShown(const std::string& path, std::int64_t slots, int fpsNum,
                                int fpsDen) {
        HWND panel = WhiteChild(Top, 0, 0, Width, Height);
        MCIDEVICEID id = OpenOk(path);
        EXPECT_EQ(Status(id, MCI_STATUS_LENGTH), DWORD_PTR(slots));
        EXPECT_EQ(Bind(id, panel), 0u);
        EXPECT_EQ(Play(id), 0u);
        std::vector<int> codes;
        std::int64_t elapsed = 0;
        for (std::int64_t n = 0; n < slots; ++n) {
            const std::int64_t due = (n * 1000 * fpsDen + fpsNum - 1) / fpsNum + 1;
            AdvanceClock(DWORD(due - elapsed));
            elapsed = due;
            Drain();
            EXPECT_EQ(Status(id, MCI_STATUS_POSITION), DWORD_PTR(n));
            codes.push_back(CodeShown(panel));
        }
        RunFor(2000);
        EXPECT_EQ(Status(id, MCI_STATUS_POSITION), DWORD_PTR(slots));
        EXPECT_EQ(Outcomes(), std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
        EXPECT_EQ(Simple(id, MCI_CLOSE), 0u);
        DestroyWindow(panel);
        Log().clear();
        return codes;
    }

    std::string FSource;
};

// The codes FFmpeg's own decode shows in each slot of `path`.
std::vector<int> CodesExpected(const std::string& path, std::int64_t slots) {
    const std::vector<std::int64_t> pictureSlots = ffclip::PictureSlots(path);
    const std::vector<ffclip::Picture> pictures = ffclip::AllPictures(path);
    std::vector<int> codes;
    for (std::int64_t n = 0; n < slots; ++n) {
        const ffclip::Picture& p = pictures.at(ffclip::PictureOfSlot(pictureSlots, n));
        codes.push_back(
            clipgen::ReadFrameCode(p.Width, p.Height, [&](int x, int y) { return p.At(x, y); }));
    }
    return codes;
}

TEST_F(AviPlayback, FrameNIsOnShowFromNOverFpsWhateverTheEncoderReordered) {
    struct Case {
        const char* Name;
        const char* Encoder; // needed for the case, or null
        std::string Options;
        std::string Input;
        int FpsNum, FpsDen;
        bool Dropped; // some slots repeat the picture before them
    };
    const Case cases[] = {
        {"every tenth frame dropped", nullptr,
         "-vf select='mod(n\\,10)' -fps_mode vfr -c:v mpeg4 -q:v 2 -an", "", Fps, 1, true},
        {"H.264 with B-frames", "libx264", "-c:v libx264 -bf 2 -g 15 -pix_fmt yuv420p -an", "", Fps,
         1, false},
        {"H.264 with B-frames and open GOPs", "libx264",
         "-c:v libx264 -bf 3 -x264-params open-gop=1:keyint=12 -pix_fmt yuv420p -an", "", Fps, 1,
         false},
        {"MS-MPEG4 v3", "msmpeg4", "-c:v msmpeg4 -q:v 2 -an", "", Fps, 1, false},
        // The same packets, stamped 10 to the second.
        {"frame rate of the header changed to 10", nullptr, "-c:v copy -an", "-r 10", 10, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.Encoder && !ffclip::HasEncoder(c.Encoder)) {
            ADD_FAILURE() << "FFmpeg lacks the encoder " << c.Encoder;
            continue;
        }
        const std::string path = Make("placed.avi", c.Options, c.Input);
        // The muxer may keep a slot empty where it moved a picture: the file decides.
        const std::int64_t slots = ffclip::PictureSlots(path).back() + 1;
        EXPECT_EQ(slots, c.Dropped ? slots : Frames);
        const std::vector<int> expected = CodesExpected(path, slots);
        for (int n = 0; n < int(slots) && !c.Dropped; ++n)
            ASSERT_EQ(expected[std::size_t(n)], n) << "FFmpeg's own frame " << n;
        EXPECT_EQ(CodesShown(path, slots, c.FpsNum, c.FpsDen), expected);
        // Seeks back and forth land on the same pictures.
        std::unique_ptr<platform::media::MediaFile> file;
        ASSERT_EQ(platform::media::MediaFile::Open(path, file), 0u);
        platform::media::VideoImage image;
        for (std::int64_t n :
             {slots - 1, slots / 2, std::int64_t(3), slots - 8, std::int64_t(13)}) {
            ASSERT_TRUE(file->DecodeFrame(n, image));
            EXPECT_EQ(clipgen::ReadFrameCode(
                          Width, Height,
                          [&](int x, int y) { return image.Pixels[std::size_t(y * Width + x)]; }),
                      expected[std::size_t(n)])
                << "slot " << n << " after a seek";
        }
    }
}

// The dropped-frame file with its index gone or its headers' counts wrong: the chunks
// the file holds decide, since a count the file does not back is only a claim.
TEST_F(AviPlayback, DroppedFramesKeepTheirSlotsWithoutAnIndexOrWithWrongCounts) {
    const std::string path =
        Make("dropped.avi", "-vf select='mod(n\\,10)' -fps_mode vfr -c:v mpeg4 -q:v 2");
    const std::vector<std::int64_t> pictureSlots = ffclip::PictureSlots(path);
    const std::vector<ffclip::Picture> pictures = ffclip::AllPictures(path);
    ASSERT_EQ(pictures.size(), 40u) << "five of the 45 frames dropped";
    const std::vector<char> bytes = mciclip::ReadAll(path);
    auto noIndex = [](std::vector<char>& b) {
        const std::string text(b.begin(), b.end());
        std::memcpy(&b[text.find("idx1")], "JUNK", 4);
    };
    auto lie = [&](std::uint32_t n) {
        return [n, &path](std::vector<char>& b) {
            mciclip::WriteAll(path + ".lie", b);
            mciclip::LieAboutFrames(path + ".lie", n);
            b = mciclip::ReadAll(path + ".lie");
        };
    };
    using Edit = std::function<void(std::vector<char>&)>;
    const std::pair<const char*, Edit> cases[] = {
        {"intact", [](std::vector<char>&) {}},
        {"no index", noIndex},
        {"headers count more", lie(999)},
        {"headers count fewer", lie(20)},
        {"no index and headers count more", [&](std::vector<char>& b) {
             noIndex(b);
             lie(60)(b);
         }}};
    for (const auto& [name, edit] : cases) {
        SCOPED_TRACE(name);
        std::vector<char> changed = bytes;
        edit(changed);
        const std::string variant = Dir + "/variant.avi";
        mciclip::WriteAll(variant, changed);
        std::unique_ptr<platform::media::MediaFile> file;
        ASSERT_EQ(platform::media::MediaFile::Open(variant, file), 0u);
        EXPECT_EQ(file->FrameCount(), pictureSlots.back() + 1);
        platform::media::VideoImage image;
        // On to the end, then back: a seek to the key frame before, found in the index
        // or, without one, in the pictures themselves.
        for (std::int64_t slot : {0, 1, 2, 3, 11, 22, 30, 45, 27, 5}) {
            SCOPED_TRACE(slot);
            const std::size_t k = ffclip::PictureOfSlot(pictureSlots, slot);
            EXPECT_EQ(file->PictureOf(slot), std::int64_t(k));
            ASSERT_TRUE(file->DecodeFrame(slot, image));
            EXPECT_TRUE(image.Pixels == pictures[k].Pixels);
        }
    }
}

// Pictures are decoded a few ahead of the one on show: a seek while playing, back before
// them or on past them, shows the picture of its own position, and so does the play after.
TEST_F(AviPlayback, SeeksWhilePlayingShowTheirOwnPictures) {
    const std::string path =
        Make("seeks.avi", "-vf select='mod(n\\,10)' -fps_mode vfr -c:v mpeg4 -q:v 2 -an");
    const std::int64_t slots = ffclip::PictureSlots(path).back() + 1;
    const std::vector<int> expected = CodesExpected(path, slots);
    HWND panel = WhiteChild(Top, 0, 0, Width, Height);
    const MCIDEVICEID id = OpenOk(path);
    ASSERT_EQ(Bind(id, panel), 0u);
    auto shownIsPosition = [&] {
        Drain();
        const DWORD_PTR position = Status(id, MCI_STATUS_POSITION);
        EXPECT_EQ(CodeShown(panel), expected.at(position)) << "at " << position;
    };
    for (DWORD to : {20u, 4u, 38u}) {
        SCOPED_TRACE(to);
        ASSERT_EQ(Play(id, 0), 0u);
        AdvanceClock(400);
        shownIsPosition();
        MCI_SEEK_PARMS seek{0, to};
        ASSERT_EQ(mciSendCommandA(id, MCI_SEEK, MCI_TO | MCI_WAIT, DWORD_PTR(&seek)), 0u);
        EXPECT_EQ(Status(id, MCI_STATUS_POSITION), to);
        shownIsPosition();
    }
    EXPECT_EQ(Simple(id, MCI_CLOSE), 0u);
    DestroyWindow(panel);
}

TEST_F(AviPlayback, EveryCodecOfTheDiscsPlaysToItsEndWithFFmpegsPicturesAndSound) {
    struct Case {
        const char* Name;
        const char* Video; // encoder
        std::string VideoOptions;
        const char* Sound; // encoder
        int Rate, Channels;
        bool BottomUp = false; // the DIB's rows stored from the bottom
    };
    const Case cases[] = {
        {"Cinepak, 8-bit PCM", "cinepak", "", "pcm_u8", 11025, 1},
        {"Video 1, 16-bit PCM", "msvideo1", "", "pcm_s16le", 22050, 2},
        {"MS-MPEG4 v2, MS ADPCM", "msmpeg4v2", "-q:v 2", "adpcm_ms", 22050, 1},
        {"MS-MPEG4 v3, IMA ADPCM", "msmpeg4", "-q:v 2", "adpcm_ima_wav", 44100, 2},
        {"Motion JPEG, MP3", "mjpeg", "-q:v 2", "libmp3lame", 44100, 2},
        {"24-bit DIB, 8-bit PCM", "rawvideo", "-pix_fmt bgr24 -vf vflip", "pcm_u8", 22050, 2, true},
        {"8-bit DIB with a palette for each frame, 16-bit PCM", "rawvideo",
         "-filter_complex '[0:v]vflip,split[a][b];[a]palettegen=stats_mode=single[p];[b][p]"
         "paletteuse=new=1'",
         "pcm_s16le", 11025, 1, true},
    };
    HWND panel = WhiteChild(Top, 0, 0, Width, Height);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (!ffclip::HasEncoder(c.Video) || !ffclip::HasEncoder(c.Sound)) {
            ADD_FAILURE() << "FFmpeg lacks " << c.Video << " or " << c.Sound;
            continue;
        }
        std::string path =
            Make("codec.avi", "-c:v " + std::string(c.Video) + " " + c.VideoOptions + " -c:a " +
                                  c.Sound + " -ar " + std::to_string(c.Rate) + " -ac " +
                                  std::to_string(c.Channels));
        if (c.BottomUp) {
            // FFmpeg writes top-down DIBs (a negative height); the same rows with the
            // height made positive are a bottom-up DIB of the picture flipped back.
            std::vector<char> b = mciclip::ReadAll(path);
            const std::size_t strf = std::string(b.begin(), b.end()).find("strf") + 8;
            std::int32_t height;
            std::memcpy(&height, &b[strf + 8], 4);
            ASSERT_EQ(height, -Height);
            height = Height;
            std::memcpy(&b[strf + 8], &height, 4);
            mciclip::WriteAll(path, b);
        }
        // FFmpeg's encoding may leave a slot empty to keep the picture in time with the
        // sound: the slots are the file's.
        const std::vector<std::int64_t> pictureSlots = ffclip::PictureSlots(path);
        const std::vector<ffclip::Picture> pictures = ffclip::AllPictures(path);
        ASSERT_EQ(pictures.size(), pictureSlots.size());
        const std::int64_t slots = pictureSlots.back() + 1;
        MCIDEVICEID id = OpenOk(path);
        ASSERT_EQ(Status(id, MCI_STATUS_LENGTH), DWORD_PTR(slots));
        ASSERT_EQ(Bind(id, panel), 0u);
        ASSERT_EQ(Play(id), 0u);
        DWORD elapsed = 0;
        for (std::int64_t n : {std::int64_t(0), slots / 2, slots - 1}) {
            SCOPED_TRACE(n);
            const DWORD due = DWORD((n * 1000 + Fps - 1) / Fps + 1);
            AdvanceClock(due - elapsed);
            elapsed = due;
            Drain();
            ASSERT_EQ(Status(id, MCI_STATUS_POSITION), DWORD_PTR(n));
            const Image shot = platform::testing::CaptureWindow(panel);
            const ffclip::Picture& want = pictures[ffclip::PictureOfSlot(pictureSlots, n)];
            auto shown = [&](int x, int y) { return shot.At(x, y); };
            EXPECT_LT(ffclip::MeanAbsoluteError(want, Width, Height, shown), 2.0);
            EXPECT_EQ(
                clipgen::ReadFrameCode(Width, Height, shown),
                clipgen::ReadFrameCode(Width, Height, [&](int x, int y) { return want.At(x, y); }));
        }
        RunFor(2000);
        EXPECT_EQ(Status(id, MCI_STATUS_POSITION), DWORD_PTR(slots));
        EXPECT_EQ(Outcomes(), std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
        const auto sound = platform::testing::MciSoundPlayed(id);
        EXPECT_EQ(sound.Rate, c.Rate);
        EXPECT_EQ(sound.Channels, c.Channels);
        // All of FFmpeg's sound that falls within the video's length.
        EXPECT_EQ(std::int64_t(sound.Samples),
                  std::min(ffclip::SoundSamples(path), c.Rate * slots / Fps));
        EXPECT_NE(sound.Checksum, 0u);
        EXPECT_EQ(Simple(id, MCI_CLOSE), 0u);
        Log().clear();
    }
}

std::string Le32(std::uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string RiffChunk(const std::string& tag, const std::string& data) {
    return tag + Le32(std::uint32_t(data.size())) + data + std::string(data.size() % 2, '\0');
}

// An AVI file of one MPEG-4 video stream (XVID) at `fps`, a chunk for each of `frames`,
// with an index that marks the first chunk alone a key frame.
std::string MpegFourAvi(const std::vector<std::string>& frames, int width, int height, int fps) {
    const std::string strh =
        "vidsXVID" + Le32(0) + Le32(0) + Le32(0) + Le32(1) + Le32(std::uint32_t(fps)) + Le32(0) +
        Le32(std::uint32_t(frames.size())) + Le32(0) + Le32(0) + Le32(0) + std::string(8, '\0');
    const std::string strf = Le32(40) + Le32(std::uint32_t(width)) + Le32(std::uint32_t(height)) +
                             std::string{1, 0, 24, 0} + "XVID" + std::string(20, '\0');
    const std::string hdrl =
        "hdrl" + RiffChunk("avih", std::string(56, '\0')) +
        RiffChunk("LIST", "strl" + RiffChunk("strh", strh) + RiffChunk("strf", strf));
    std::string movi = "movi", index;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        index += "00dc" + Le32(k == 0 ? 0x10 : 0) + Le32(std::uint32_t(movi.size())) +
                 Le32(std::uint32_t(frames[k].size()));
        movi += RiffChunk("00dc", frames[k]);
    }
    return RiffChunk("RIFF", "AVI " + RiffChunk("LIST", hdrl) + RiffChunk("LIST", movi) +
                                 RiffChunk("idx1", index));
}

// DivX's "packed bitstream": each B-frame stored in the chunk of the frame it comes
// before in decoding, after that frame, and a not-coded frame (an N-VOP of a few bytes)
// holding its slot. The pictures come out in their slots, as when unpacked.
TEST_F(AviPlayback, PackedBFramesShowInTheirSlots) {
    constexpr int Count = 15;
    const std::string stream =
        Make("bframes.m4v",
             "-frames:v " + std::to_string(Count) + " -c:v mpeg4 -bf 1 -g 100 -q:v 2 -an -f m4v");
    const std::vector<char> bytes = mciclip::ReadAll(stream);
    // The frames (VOPs) at their start codes; the stream's headers go with the first.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 4 < bytes.size(); ++i)
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 &&
            std::uint8_t(bytes[i + 3]) == 0xB6)
            starts.push_back(i);
    ASSERT_EQ(starts.size(), std::size_t(Count));
    starts[0] = 0;
    starts.push_back(bytes.size());
    auto vop = [&](std::size_t k) {
        return std::string(bytes.begin() + std::ptrdiff_t(starts[k]),
                           bytes.begin() + std::ptrdiff_t(starts[k + 1]));
    };
    auto isB = [&](std::size_t k) {
        return k > 0 && (std::uint8_t(bytes[starts[k] + 4]) >> 6) == 2;
    };
    // A P-VOP header with 4 bits of time increment, not coded, and its stuffing.
    const std::string notCoded{0, 0, 1, char(0xB6), char(0x50), char(0x9F)};
    std::vector<std::string> chunks;
    int packed = 0;
    for (std::size_t k = 0; k < std::size_t(Count);) {
        if (k + 1 < std::size_t(Count) && isB(k + 1)) {
            chunks.push_back(vop(k) + vop(k + 1));
            chunks.push_back(notCoded);
            k += 2;
            ++packed;
        } else {
            chunks.push_back(vop(k));
            ++k;
        }
    }
    ASSERT_GT(packed, 4) << "the encoder made B-frames";
    const std::string path = Dir + "/packed.avi";
    std::ofstream(path, std::ios::binary) << MpegFourAvi(chunks, Width, Height, Fps);
    std::unique_ptr<platform::media::MediaFile> file;
    ASSERT_EQ(platform::media::MediaFile::Open(path, file), 0u);
    EXPECT_EQ(file->FrameCount(), Count);
    platform::media::VideoImage image;
    // In order, then seeks back.
    for (std::int64_t n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 3, 8, 1}) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(file->DecodeFrame(n, image));
        EXPECT_EQ(clipgen::ReadFrameCode(
                      Width, Height,
                      [&](int x, int y) { return image.Pixels[std::size_t(y * Width + x)]; }),
                  n);
    }
}

// MP3 stored as a stream of bytes (a sample size of one byte in the header: its chunks
// are timed by their bytes), the chunks cut without regard to its frames, as capture
// programs wrote it: all of its sound plays, and a seek lands within two frames of its
// target (the frame cut by the chunk, and the one the decoder needs to pick up again).
// Sound whose channels change midway plays on, converted to the channels it started with.
TEST_F(AviPlayback, ByteStreamMp3CutAnywherePlaysWhole) {
    if (!ffclip::HasEncoder("libmp3lame")) {
        ADD_FAILURE() << "FFmpeg lacks libmp3lame";
        return;
    }
    constexpr int Rate = 22050, ByteRate = 8000, FrameSamples = 576;
    auto encode = [&](const std::string& name, int channels) {
        return Make(name, "-vn -c:a libmp3lame -b:a 64k -ar 22050 -ac " + std::to_string(channels) +
                              " -write_xing 0 -id3v2_version 0 -f mp3");
    };
    const std::string mono = encode("mono.mp3", 1), stereo = encode("stereo.mp3", 2);
    struct Case {
        const char* Name;
        std::vector<std::string> Parts;
    };
    const Case cases[] = {{"mono", {mono}}, {"stereo, then mono", {stereo, mono}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<char> bytes;
        std::int64_t whole = 0;
        for (const std::string& part : c.Parts) {
            const std::vector<char> b = mciclip::ReadAll(part);
            bytes.insert(bytes.end(), b.begin(), b.end());
            whole += ffclip::SoundSamples(part);
        }
        // MPEGLAYER3WAVEFORMAT: WAVEFORMATEX and 12 bytes of its own.
        const std::string format = std::string{0x55, 0, 1, 0} + Le32(Rate) + Le32(ByteRate) +
                                   std::string{1, 0, 0, 0, 12, 0} + std::string(12, '\0');
        const std::string strh = "auds" + std::string(4, '\0') + Le32(0) + Le32(0) + Le32(0) +
                                 Le32(1) + Le32(ByteRate) + Le32(0) +
                                 Le32(std::uint32_t(bytes.size())) + Le32(0) + Le32(0) + Le32(1) +
                                 std::string(8, '\0');
        std::string movi = "movi";
        for (std::size_t at = 0; at < bytes.size(); at += 1000)
            movi += RiffChunk(
                "00wb",
                std::string(bytes.begin() + std::ptrdiff_t(at),
                            bytes.begin() + std::ptrdiff_t(std::min(at + 1000, bytes.size()))));
        const std::string hdrl =
            "hdrl" + RiffChunk("avih", std::string(56, '\0')) +
            RiffChunk("LIST", "strl" + RiffChunk("strh", strh) + RiffChunk("strf", format));
        const std::string path = Dir + "/bytes.avi";
        std::ofstream(path, std::ios::binary)
            << RiffChunk("RIFF", "AVI " + RiffChunk("LIST", hdrl) + RiffChunk("LIST", movi));
        std::unique_ptr<platform::media::MediaFile> file;
        ASSERT_EQ(platform::media::MediaFile::Open(path, file), 0u);
        ASSERT_TRUE(file->HasAudio());
        EXPECT_EQ(file->SampleRate(), Rate);
        EXPECT_EQ(file->Channels(), 1);
        auto readAll = [&] {
            std::int64_t n = 0;
            std::vector<std::int16_t> samples;
            for (std::size_t got; (got = file->ReadAudio(samples, 4096)) > 0; samples.clear())
                n += std::int64_t(got);
            return n;
        };
        EXPECT_GT(whole, Rate * 2);
        EXPECT_EQ(readAll(), whole);
        const std::int64_t ms = file->LengthMs() / 2;
        file->SeekAudio(ms);
        EXPECT_NEAR(double(readAll()), double(whole - ms * Rate / 1000), 2 * FrameSamples);
    }
}

// A file whose video the device cannot show never opens as sound alone; the text of
// the error names the file and the reason.
TEST_F(AviPlayback, VideoTheDeviceCannotShowFailsTheOpenWithItsReason) {
    const std::string big = Make("big.avi", "-frames:v 1 -vf scale=7696:4336 -c:v mjpeg");
    // The same clip with its video's codec made unknown, and with its sound's format
    // made unknown and no video.
    const std::string unknown = Dir + "/unknown.avi";
    {
        std::vector<char> b = mciclip::ReadAll(Make("known.avi", "-c:v msmpeg4v2 -c:a pcm_s16le"));
        const std::string text(b.begin(), b.end());
        std::memcpy(&b[text.find("strh") + 12], "QZQZ", 4);
        std::memcpy(&b[text.find("strf") + 8 + 16], "QZQZ", 4);
        mciclip::WriteAll(unknown, b);
    }
    const std::string noSound = Dir + "/nosound.avi";
    {
        std::vector<char> b = mciclip::ReadAll(Make("sound.avi", "-vn -c:a pcm_s16le"));
        const std::string text(b.begin(), b.end());
        const std::size_t strf = text.find("strf") + 8;
        b[strf] = char(0x34); // a wave format tag no decoder knows
        b[strf + 1] = char(0x12);
        mciclip::WriteAll(noSound, b);
    }
    struct Case {
        std::string Path;
        MCIERROR Error;
        std::string Text;
    };
    const Case cases[] = {
        {big, platform::media::MCIERR_DGV_PICTURE_TOO_LARGE,
         "The picture of " + big +
             " is 7696 x 4336 pixels, more than the device can show (7680 x 4320)."},
        {unknown, platform::media::MCIERR_DGV_VIDEO_UNSUPPORTED,
         "The video of " + unknown + " (none, 160 x 120) is in a format the device cannot decode."},
        {noSound, MCIERR_INVALID_FILE, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Path);
        MCIDEVICEID id = 0;
        EXPECT_EQ(Open(c.Path, id), c.Error);
        if (!c.Text.empty()) {
            char text[4096];
            ASSERT_TRUE(mciGetErrorStringA(c.Error, text, sizeof text));
            EXPECT_EQ(std::string(text), c.Text);
        }
    }
}

} // namespace
