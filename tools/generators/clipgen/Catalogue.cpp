#include "tools/generators/clipgen/Catalogue.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "app/Clips.h"

namespace clipgen {

std::vector<TCatalogueClip> CatalogueClips() {
    // How each clip looks and sounds; which clips there are and how long they run comes
    // from the catalogue's own table.
    struct TStyle {
        std::string_view FileName;
        const char* Title;
        int ToneHz;
        std::uint32_t Background;
    };
    static const TStyle styles[] = {
        {"main.avi", "소개", 440, 0x1E2A3C}, // "Introduction"
        {"main_eng.avi", "Introduction", 494, 0x2A3C1E},
        {"man.avi", "남성", 523, 0x1E3C3A}, // "Man"
        {"man_eng.avi", "Man", 587, 0x1E3C2A},
        {"woman.avi", "여성", 659, 0x3C1E34}, // "Woman"
        {"woman_eng.avi", "Woman", 698, 0x3C1E24},
        {"baby_child.avi", "아동과 유아", 784, 0x3C341E}, // "Child and baby"
        {"baby_child_eng.avi", "Child and baby", 880, 0x3C281E},
        {"all.avi", "전체 보기", 988, 0x2A1E3C}, // "Overview"
        {"all_eng.avi", "Overview", 1047, 0x341E3C},
    };
    std::vector<TCatalogueClip> clips;
    for (const app::TClipFile& file : app::ClipFiles()) {
        const auto style = std::find_if(std::begin(styles), std::end(styles), [&](const TStyle& s) {
            return s.FileName == file.FileName;
        });
        if (style == std::end(styles))
            throw std::logic_error("no look for the clip " + std::string(file.FileName));
        TCatalogueClip clip;
        clip.FileName = file.FileName;
        clip.Spec.Title = style->Title;
        clip.Spec.Subtitle = "Quillot 05 Vol. 1 - " + clip.FileName;
        clip.Spec.Frames = file.Frames;
        clip.Spec.Width = 700;
        clip.Spec.Height = 628;
        clip.Spec.FramesPerSecond = 15;
        clip.Spec.ToneHz = style->ToneHz;
        clip.Spec.Sound = true;
        clip.Spec.Background = style->Background;
        clips.push_back(std::move(clip));
    }
    return clips;
}

void WriteClips(const std::string& dir, const std::vector<TCatalogueClip>& clips, int threads) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec)
        throw std::runtime_error("cannot make the clip folder \"" + dir + "\": " + ec.message());

    std::vector<const TCatalogueClip*> order;
    for (const TCatalogueClip& clip : clips)
        order.push_back(&clip);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto* a, const auto* b) { return a->Spec.Frames > b->Spec.Frames; });

    std::atomic<std::size_t> next{0};
    std::mutex failuresLock;
    std::vector<std::string> failures(order.size());
    auto work = [&] {
        for (std::size_t i = next++; i < order.size(); i = next++) {
            try {
                WriteClip((fs::path(dir) / order[i]->FileName).string(), order[i]->Spec);
            } catch (const std::exception& e) {
                std::lock_guard<std::mutex> lock(failuresLock);
                failures[i] = e.what();
            }
        }
    };
    const int count = std::clamp(threads, 1, std::max(1, int(order.size())));
    std::vector<std::thread> pool;
    for (int t = 1; t < count; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();

    std::string message;
    for (const std::string& failure : failures)
        if (!failure.empty())
            message += (message.empty() ? "" : "\n") + failure;
    if (!message.empty())
        throw std::runtime_error(message);
}

} // namespace clipgen
