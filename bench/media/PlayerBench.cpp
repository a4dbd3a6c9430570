// Speed of the media player component: constructing a player (its 27 glyphs loaded) and
// one Position poll while a clip plays, as the catalogue's 100 ms timer does it.
//
// The poll plays a clip close to the catalogue's size (704 x 628, 15 frames a second;
// the width a multiple of 16) that the clip writer makes in a directory of its own, or
// the file QUILLOT_BENCH_CLIP names.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "media/MPlayer.h"
#include "platform/testing/Testing.h"
#include "tools/generators/clipgen/ClipWriter.h"
#include "ui/Forms.h"

namespace {

void Prepare() {
    static bool done = false;
    if (done)
        return;
    done = true;
    platform::testing::UseHeadless();
    ui::InitApplication();
    media::RegisterMediaUnit();
}

void BM_ConstructPlayer(benchmark::State& state) {
    Prepare();
    for (auto _ : state) {
        auto* player = new media::TMediaPlayer(nullptr);
        benchmark::DoNotOptimize(player->Glyph(media::btEject, 2));
        formstream::Free(player);
    }
}
BENCHMARK(BM_ConstructPlayer)->Unit(benchmark::kMicrosecond);

void BM_PositionWhilePlaying(benchmark::State& state) {
    Prepare();
    std::string dir;
    std::string clip;
    if (const char* given = std::getenv("QUILLOT_BENCH_CLIP")) {
        clip = given;
    } else {
        dir = (std::filesystem::temp_directory_path() / "quillot-player-bench-XXXXXX").string();
        if (!mkdtemp(dir.data())) {
            state.SkipWithError("cannot make a temporary directory");
            return;
        }
        clip = dir + "/clip.avi";
        clipgen::TClipSpec spec;
        spec.Title = "bench";
        spec.Frames = 150;
        spec.Width = 704;
        clipgen::WriteClip(clip, spec);
    }
    auto* form = new ui::TForm(nullptr);
    form->SetClientSize(700, 660);
    auto* display = new ui::TPanel(form);
    display->SetParent(form);
    display->SetBounds(0, 0, 700, 628);
    auto* player = new media::TMediaPlayer(form);
    player->SetParent(form);
    player->SetDisplay(display);
    player->SetFileName(clip);
    try {
        player->Open();
    } catch (const rtl::Exception& e) {
        state.SkipWithError(e.what());
        formstream::Free(form);
        if (!dir.empty())
            std::filesystem::remove_all(dir);
        return;
    }
    player->Play();
    platform::testing::AdvanceClock(200);
    for (auto _ : state)
        benchmark::DoNotOptimize(player->Position());
    state.counters["mode"] = player->Mode();
    formstream::Free(form);
    if (!dir.empty())
        std::filesystem::remove_all(dir);
}
BENCHMARK(BM_PositionWhilePlaying)->Unit(benchmark::kMicrosecond);

} // namespace
