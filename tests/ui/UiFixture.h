// Shared set-up of the framework tests: the headless backend with a 1280 x 1024 screen,
// a fresh application and screen object per test, form streams compiled from text forms
// and served by class name, and small helpers for pictures, pumping and pixels.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "formstream/FormResources.h"
#include "formstream/FormText.h"
#include "graphics/Graphics.h"
#include "platform/testing/Testing.h"
#include "platform/win32.h"
#include "rtl/Stream.h"
#include "ui/Forms.h"

namespace uitest {

namespace t = platform::testing;

inline std::map<std::string, std::string>& FormStreams() {
    static std::map<std::string, std::string> streams;
    return streams;
}

inline std::unique_ptr<rtl::TStream> ServeFormStream(std::string_view className) {
    for (const auto& [name, bytes] : FormStreams())
        if (rtl::SameText(name, className)) {
            auto s = std::make_unique<rtl::TMemoryStream>();
            s->WriteBuffer(bytes.data(), bytes.size());
            s->SetPosition(0);
            return s;
        }
    return nullptr;
}

// Compiles a text form and serves it as the form resource of `className`.
inline void AddFormText(const std::string& className, const std::string& text) {
    FormStreams()[className] =
        formstream::CompileFormText(text, [](const std::string& name) -> std::string {
            throw formstream::EFormTextError(0, "no file " + name);
        });
}

// A bitmap picture of one colour.
inline graphics::TBitmap* SolidBitmap(int w, int h, formstream::TColor color) {
    auto* b = new graphics::TBitmap;
    b->SetPixelFormat(graphics::pf24bit);
    b->SetSize(w, h);
    b->Canvas()->Brush()->SetColor(color);
    b->Canvas()->FillRect(rtl::Rect(0, 0, w, h));
    return b;
}

inline void SetSolidPicture(ui::TImage* image, int w, int h, formstream::TColor color) {
    formstream::TOwned<graphics::TBitmap> b(SolidBitmap(w, h, color));
    image->Picture()->SetGraphic(b.get());
}

inline std::uint32_t Rgb(formstream::TColor c) {
    const COLORREF v = graphics::ColorToRGB(c);
    return (std::uint32_t(GetRValue(v)) << 16) | (std::uint32_t(GetGValue(v)) << 8) | GetBValue(v);
}

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        t::UseHeadless();
        t::Reset();
        t::SetScreenSize(1280, 1024);
        FormStreams().clear();
        formstream::SetFormResourceLookup(&ServeFormStream);
        ui::InitApplication();
    }
    void TearDown() override {
        ui::DoneApplication();
        formstream::SetFormResourceLookup(nullptr);
        FormStreams().clear();
        t::Reset();
    }

    // A plain visible form with client area (0, 0)-(w, h) at (x, y).
    static ui::TForm* NewForm(int clientWidth = 400, int clientHeight = 300) {
        auto* form = new ui::TForm(ui::Application);
        form->SetBounds(50, 50, 400, 300);
        form->SetClientSize(clientWidth, clientHeight);
        form->Show();
        Pump();
        return form;
    }
    static void Pump() { t::PumpMessages(); }
    static t::Image Capture(ui::TWinControl* control) {
        Pump();
        return t::CaptureWindow(control->Handle());
    }
    // A single click: the clock moves past the double-click time first.
    static void Click(ui::TWinControl* control, int x, int y) {
        t::AdvanceClock(::GetDoubleClickTime() + 1);
        t::ClickClient(control->Handle(), x, y);
        Pump();
    }
    static void MouseDown(ui::TWinControl* control, int x, int y) {
        t::AdvanceClock(::GetDoubleClickTime() + 1);
        POINT p{x, y};
        ::ClientToScreen(control->Handle(), &p);
        t::MouseDown(p.x, p.y);
        Pump();
    }
    static void MouseMove(ui::TWinControl* control, int x, int y) {
        POINT p{x, y};
        ::ClientToScreen(control->Handle(), &p);
        t::MouseMove(p.x, p.y);
        Pump();
    }
    static void MouseUp(ui::TWinControl* control, int x, int y) {
        POINT p{x, y};
        ::ClientToScreen(control->Handle(), &p);
        t::MouseUp(p.x, p.y);
        Pump();
    }
};

// Records the senders of the events it is bound to.
class TRecorder : public formstream::TObject {
public:
    std::vector<std::string> Calls;
    void Clicked(formstream::TObject* sender) {
        auto* c = formstream::DynCast<formstream::TComponent>(sender);
        Calls.push_back("click " + (c ? c->Name() : std::string("?")));
    }
    void MouseUpEvent(formstream::TObject* sender, ui::TMouseButton, ui::TShiftState, int, int) {
        auto* c = formstream::DynCast<formstream::TComponent>(sender);
        Calls.push_back("up " + (c ? c->Name() : std::string("?")));
    }
    formstream::TNotifyEvent Click() {
        return formstream::TNotifyEvent::Of<&TRecorder::Clicked>(this);
    }
    ui::TMouseEvent Up() { return ui::TMouseEvent::Of<&TRecorder::MouseUpEvent>(this); }
};

} // namespace uitest
