#include "app/Clips.h"

namespace app {

namespace {

const TClipInfo* Find(int state) {
    for (const TClipInfo& clip : Clips)
        if (clip.State == state)
            return &clip;
    return nullptr;
}

} // namespace

std::string_view ClipFile(TClipState state, bool korean) {
    const TClipInfo* clip = Find(state);
    if (!clip)
        return {};
    return korean ? clip->KoreanFile : clip->EnglishFile;
}

std::optional<TClipEnd> ClipEnd(int state, bool korean) {
    switch (state) {
    case csKoreanIntro:
        return TClipEnd{Find(state)->KoreanEnd, true};
    case csEnglishIntro:
        return TClipEnd{Find(state)->EnglishEnd, false};
    case csMan:
    case csWoman:
    case csChildBaby:
    case csOverview: {
        const TClipInfo* clip = Find(state);
        return TClipEnd{korean ? clip->KoreanEnd : clip->EnglishEnd, korean};
    }
    default:
        return std::nullopt;
    }
}

} // namespace app
