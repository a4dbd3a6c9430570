// The catalogue's clips: which file each clip state plays in each language, and the
// player position at which the clip counts as finished. The end of a clip is found by
// polling the position and comparing it for equality; the media device's own end
// notification is not used.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace app {

// Values of TForm1::FClipState.
enum TClipState : int {
    csNone = 0,
    csKoreanIntro = 1,
    csEnglishIntro = 2,
    csMan = 3,
    csWoman = 4,
    csChildBaby = 5,
    csOverview = 6,
};

struct TClipInfo {
    TClipState State;
    std::string_view KoreanFile; // each name begins with a backslash, joined to the folder
    int KoreanEnd;
    std::string_view EnglishFile;
    int EnglishEnd;
};

inline constexpr TClipInfo Clips[] = {
    {csKoreanIntro, "\\main.avi", 494, "", 0},
    {csEnglishIntro, "", 0, "\\main_eng.avi", 153},
    {csMan, "\\man.avi", 849, "\\man_eng.avi", 592},
    {csWoman, "\\woman.avi", 849, "\\woman_eng.avi", 592},
    {csChildBaby, "\\baby_child.avi", 849, "\\baby_child_eng.avi", 592},
    {csOverview, "\\all.avi", 1485, "\\all_eng.avi", 1228},
};

// Every clip file of the catalogue with its length in frames, which is the position at
// which it counts as finished: for each clip state in order, the Korean file before the
// English one, named without the backslash ("main.avi"). This is the one list of the
// catalogue's clips: clipgen makes these files, the build installs them (its CMake code
// reads the names from this header) and the tests walk them.
struct TClipFile {
    std::string_view FileName;
    int Frames;
};

constexpr std::size_t ClipFileCount() {
    std::size_t count = 0;
    for (const TClipInfo& clip : Clips)
        count += std::size_t(!clip.KoreanFile.empty()) + std::size_t(!clip.EnglishFile.empty());
    return count;
}

constexpr std::array<TClipFile, ClipFileCount()> ClipFiles() {
    std::array<TClipFile, ClipFileCount()> files{};
    std::size_t i = 0;
    for (const TClipInfo& clip : Clips) {
        if (!clip.KoreanFile.empty())
            files[i++] = {clip.KoreanFile.substr(1), clip.KoreanEnd};
        if (!clip.EnglishFile.empty())
            files[i++] = {clip.EnglishFile.substr(1), clip.EnglishEnd};
    }
    return files;
}

// The file a category handler opens for `state` (3 to 6) in the chosen language.
std::string_view ClipFile(TClipState state, bool korean);

// What the timer watches for in `state`: the end position, and whether the Korean
// category screen follows (else the English one). Nothing for state 0 or a value out of
// range, so the timer does not read the position then. The introductions fix their own
// language; the other clips follow `korean`.
struct TClipEnd {
    int Position;
    bool KoreanScreen;
};
std::optional<TClipEnd> ClipEnd(int state, bool korean);

} // namespace app
