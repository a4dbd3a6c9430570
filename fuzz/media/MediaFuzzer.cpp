// Feeds arbitrary bytes, as a file, to the media file layer: open, length, the picture
// of every frame slot (in order, then a few seeks), and the sound. Refusals are fine;
// a crash, a sanitizer report or a hang (libFuzzer's -timeout) is a finding. The work
// per input is bounded: at most 120 slots decoded, pictures up to 512 x 512, a few
// seconds of sound.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/media/MediaFile.h"

using platform::media::MediaFile;

namespace {

// The input's file, one per process; removed after each input (an open file keeps its
// readers), so that nothing is left behind however the run ends.
const std::string& InputPath() {
    static const std::string path = "/tmp/media-fuzz-" + std::to_string(::getpid()) + ".avi";
    return path;
}

void Exercise(MediaFile& file) {
    if (file.HasVideo() && std::int64_t(file.Width()) * file.Height() <= 512 * 512) {
        platform::media::VideoImage image;
        const std::int64_t slots = std::min<std::int64_t>(file.FrameCount(), 120);
        for (std::int64_t n = 0; n < slots; ++n)
            if (file.PictureOf(n) < 0 || !file.DecodeFrame(n, image))
                break;
        for (std::int64_t n : {file.FrameCount() - 1, file.FrameCount() / 2, std::int64_t(0)})
            file.DecodeFrame(n, image);
    }
    if (file.HasAudio()) {
        std::vector<std::int16_t> samples;
        file.ReadAudio(samples, 4096);
        file.SeekAudio(file.LengthMs() / 2);
        for (int i = 0; i < 16 && file.ReadAudio(samples, 8192) > 0; ++i)
            samples.clear();
        file.SeekAudio(0);
        file.ReadAudio(samples, 1024);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    av_log_set_level(AV_LOG_QUIET);
    std::FILE* f = std::fopen(InputPath().c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::unique_ptr<MediaFile> file;
    const bool opened = MediaFile::Open(InputPath(), file) == 0;
    std::remove(InputPath().c_str());
    if (opened)
        Exercise(*file);
    return 0;
}
