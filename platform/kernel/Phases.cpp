// Start-up marks on the standard error, when QUILLOT_PHASES asks for them.
#include "platform/phases.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace platform {

namespace {

const bool PhasesWanted = std::getenv("QUILLOT_PHASES") != nullptr;

} // namespace

void MarkPhase(const char* name) {
    if (!PhasesWanted)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "phase %s %ld.%09ld\n", name, long(now.tv_sec), long(now.tv_nsec));
}

} // namespace platform
