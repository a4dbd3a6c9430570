// The cost of opening a catalogue clip and decoding its first frame, then closing it:
// the part of a click on a choice that lies before the first clip frame can be shown.
// Run it before and after a change to the media file reader on an otherwise idle machine.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/media/MediaFile.h"

namespace {

using platform::media::MediaFile;
using platform::media::VideoImage;

void OpenAndFirstFrame(benchmark::State& state, const char* name) {
    const std::string path = std::string(QUILLOT_CLIP_DIR) + "/" + name;
    for (auto _ : state) {
        std::unique_ptr<MediaFile> file;
        if (MediaFile::Open(path, file) != 0) {
            state.SkipWithError("the clip does not open");
            return;
        }
        VideoImage image; // a fresh picture, as for the first frame of a clip
        if (!file->DecodeFrame(0, image)) {
            state.SkipWithError("no first frame");
            return;
        }
        benchmark::DoNotOptimize(image.Pixels.data());
        file.reset();
    }
}

// The frames after the first, decoded into the picture before last as the device does.
void NextFrames(benchmark::State& state, const char* name) {
    const std::string path = std::string(QUILLOT_CLIP_DIR) + "/" + name;
    std::unique_ptr<MediaFile> file;
    if (MediaFile::Open(path, file) != 0) {
        state.SkipWithError("the clip does not open");
        return;
    }
    VideoImage images[2];
    std::int64_t frame = 0;
    for (auto _ : state) {
        VideoImage& image = images[frame % 2];
        if (!file->DecodeFrame(frame, image)) {
            state.SkipWithError("decoding failed");
            return;
        }
        benchmark::DoNotOptimize(image.Pixels.data());
        frame = (frame + 1) % file->FrameCount();
    }
}

BENCHMARK_CAPTURE(OpenAndFirstFrame, main_eng, "main_eng.avi")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenAndFirstFrame, all, "all.avi")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(NextFrames, all, "all.avi")->Unit(benchmark::kMicrosecond);

} // namespace
