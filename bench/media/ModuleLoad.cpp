// The time one process takes to load a media module (dlopen, every symbol bound, as
// the program loads it) and the shared libraries mapped after it, printed as
// "MS LIBRARIES". Run once a process (moduleload.sh): a second load in one process
// finds everything mapped already.
//   media_module_load MODULE
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: media_module_load MODULE\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (!module) {
        std::fprintf(stderr, "media_module_load: %s\n", dlerror());
        return 1;
    }
    // The distinct shared objects in the process's mappings.
    std::ifstream maps("/proc/self/maps");
    std::set<std::string> libraries;
    for (std::string line; std::getline(maps, line);) {
        const std::size_t at = line.find('/');
        if (at != std::string::npos && line.find(".so", at) != std::string::npos)
            libraries.insert(line.substr(at));
    }
    std::printf("%.2f %zu\n", took.count(), libraries.size());
    return 0;
}
