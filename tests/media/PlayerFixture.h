// Shared set-up of the media player tests: the headless backend, the recording driver of
// the media control interface in place of the real devices, the bar's glyphs, and a shown
// form holding a panel (the display) and the player.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "media/MPlayer.h"
#include "platform/testing/Testing.h"
#include "platform/win32.h"
#include "ui/Forms.h"

namespace media::testing {

using formstream::TColor;

// "0x..." as the recording driver prints handles and callbacks.
std::string HexOf(const void* handle);

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Scripts a digital-video device (length 100 frames, 320 x 240, stopped at 0) and opens
    // FileName "clip.avi" on it; the calls of the open are then forgotten.
    void OpenDigitalVideo();
    // The recorded calls as lines, with "{cb}" standing for the player's window handle and
    // "{panel}" for the panel's, so expectations read as the commands do.
    std::vector<std::string> Expand(const std::vector<std::string>& lines) const;
    std::vector<std::string> Lines() const { return Recorder->Lines(); }

    std::shared_ptr<platform::testing::MciRecorder> Recorder;
    ui::TForm* Form = nullptr;
    ui::TPanel* Panel = nullptr;
    TMediaPlayer* Player = nullptr;
};

} // namespace media::testing
