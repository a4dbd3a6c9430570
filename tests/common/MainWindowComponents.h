// The names of the main window's 23 components, in the order its form stream holds them.
#pragma once

#include <array>

namespace testcommon {

inline constexpr std::array<const char*, 23> MainWindowComponents = {"MainImage",
                                                                     "control",
                                                                     "SelectImage",
                                                                     "womanImage",
                                                                     "manImage",
                                                                     "childbabyImage",
                                                                     "title",
                                                                     "childbabyImage1",
                                                                     "back",
                                                                     "close",
                                                                     "SelectImage_eng",
                                                                     "start",
                                                                     "title_eng",
                                                                     "manImage_eng",
                                                                     "womanImage_eng",
                                                                     "childbabyImage_eng",
                                                                     "childbabyImage1_eng",
                                                                     "b_korean",
                                                                     "b_english",
                                                                     "ShowPanel",
                                                                     "MediaPlayer1",
                                                                     "Timer1",
                                                                     "Save"};

} // namespace testcommon
