// The media module's start function, the only symbol it shows, and its way to the
// program's table of error details.
#include "platform/media/MciDriver.h"
#include "platform/media/MediaFile.h"
#include "platform/media/MediaModule.h"

#include <type_traits>

extern "C" {
#include <libavutil/log.h>
}

namespace platform::media {

namespace {

// Set once by the start function, before any file opens.
MediaErrorSink ErrorSink = nullptr;

} // namespace

void SetErrorDetail(MCIERROR error, std::string text) {
    if (ErrorSink)
        ErrorSink(error, text);
}

} // namespace platform::media

using namespace platform::media;

extern "C" __attribute__((visibility("default"))) MediaFileOpener
QuillotMediaModuleStart(int version, MediaErrorSink sink) {
    static_assert(std::is_same_v<decltype(QuillotMediaModuleStart), MediaModuleStart>);
    if (version != MediaModuleVersion || !sink)
        return nullptr;
    ErrorSink = sink;
    // Damaged files are answered with error codes; FFmpeg's own complaints stay quiet.
    av_log_set_level(AV_LOG_QUIET);
    return &MediaFile::OpenHere;
}
