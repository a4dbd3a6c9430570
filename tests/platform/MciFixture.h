// The digital-video device's tests on the headless backend: a top-level window that
// receives the notifications, clips written into a folder of the test's own, and the
// commands as one-line calls.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "HeadlessFixture.h"
#include "MciClip.h"
#include "tests/common/TempDir.h"

using platform::testing::Image;

class MciTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        Top = TopLevel(0, 0, 400, 300);
        Drain();
        Log().clear();
    }

    std::string Clip(const std::string& name, const mciclip::Spec& spec = {}) {
        std::string path = (std::filesystem::path(Dir) / name).string();
        mciclip::Write(path, spec);
        return path;
    }
    MCIERROR Open(const std::string& path, MCIDEVICEID& id) {
        MCI_OPEN_PARMSA open{DWORD_PTR(Top), 0, nullptr, path.c_str(), nullptr};
        MCIERROR r = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, DWORD_PTR(&open));
        id = open.wDeviceID;
        return r;
    }
    MCIDEVICEID OpenOk(const std::string& path) {
        MCIDEVICEID id = 0;
        EXPECT_EQ(Open(path, id), 0u);
        EXPECT_NE(id, 0u);
        return id;
    }
    static DWORD_PTR Status(MCIDEVICEID id, DWORD item) {
        MCI_STATUS_PARMS s{0, 0xDEAD, item, 0};
        EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, DWORD_PTR(&s)), 0u);
        return s.dwReturn;
    }
    MCIERROR Play(MCIDEVICEID id, DWORD flags = MCI_NOTIFY, DWORD from = 0, DWORD to = 0) {
        MCI_PLAY_PARMS p{DWORD_PTR(Top), from, to};
        return mciSendCommandA(id, MCI_PLAY, flags, DWORD_PTR(&p));
    }
    MCIERROR Simple(MCIDEVICEID id, UINT command, DWORD flags = MCI_WAIT) {
        MCI_GENERIC_PARMS p{DWORD_PTR(Top)};
        return mciSendCommandA(id, command, flags, DWORD_PTR(&p));
    }
    MCIERROR Bind(MCIDEVICEID id, HWND hwnd) {
        MCI_DGV_WINDOW_PARMSA w{0, hwnd, 0, nullptr};
        return mciSendCommandA(id, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT, DWORD_PTR(&w));
    }
    // The outcomes the top window has received so far, in order.
    std::vector<WPARAM> Outcomes() {
        Drain();
        std::vector<WPARAM> out;
        for (const Recorded& r : Received(MM_MCINOTIFY, Top))
            out.push_back(r.WParam);
        return out;
    }

    testutil::TTempDir Temp{"mci"};
    std::string Dir = Temp.String();
    HWND Top = nullptr;
};
