// clipgen DIR: writes the catalogue's ten clips into DIR (made if missing), two at a time.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>

#include "graphics/Graphics.h"
#include "tools/generators/clipgen/Catalogue.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0' || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: clipgen DIR\n"
                             "Writes the catalogue's ten clips (main.avi ... all_eng.avi) into "
                             "DIR.\n");
        return 2;
    }
    const std::string dir = argv[1];
    try {
        graphics::RegisterGraphicsUnit();
        const auto clips = clipgen::CatalogueClips();
        const int threads = int(std::max(1u, std::min(2u, std::thread::hardware_concurrency())));
        clipgen::WriteClips(dir, clips, threads);
        for (const auto& clip : clips) {
            const auto path = std::filesystem::path(dir) / clip.FileName;
            std::printf("clipgen: %s: %d frames, %ju bytes\n", path.string().c_str(),
                        clip.Spec.Frames, std::uintmax_t(std::filesystem::file_size(path)));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "clipgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
