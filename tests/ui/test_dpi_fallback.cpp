// A Windows older than the per-monitor DPI calls: with the calls taken away
// the form takes the screen's DPI and the classic frame calculation, and
// looks exactly as it does with them at that DPI.
#include "tests/ui/uUiTestKit.h"
#include "ui/uStdCtrls.h"
#include "ui/uWin.h"
#include "platform/uSystemProc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> GMissingAsked;

bool IsDpiCall(const char* name)
{
    return std::strcmp(name, "GetDpiForSystem") == 0 || std::strcmp(name, "GetDpiForWindow") == 0 ||
           std::strcmp(name, "AdjustWindowRectExForDpi") == 0;
}

void* WithoutDpiCalls(const char* module, const char* name)
{
    if (IsDpiCall(name)) {
        GMissingAsked.push_back(name);
        return nullptr;
    }
    return platform::DefaultSystemProc(module, name);
}

struct TShown {
    RECT Window{};
    RECT Client{};
    RECT Edit{};
    LONG FontHeight = 0;
};

TShown ShowOneForm()
{
    TForm form(nullptr);
    form.SetBorderStyle(TFormBorderStyle::bsDialog);
    form.SetClientWidth(301);
    form.SetClientHeight(201);
    auto* edit = new TEdit(&form);
    edit->SetBounds(13, 9, 121, 21);
    edit->SetParent(&form);
    form.ShowForm();
    TShown shown;
    GetWindowRect(form.Handle(), &shown.Window);
    GetClientRect(form.Handle(), &shown.Client);
    shown.Edit = RectInParent(edit->Handle());
    shown.FontHeight = WindowFont(edit->Handle()).lfHeight;
    return shown;
}

TEST(Dpi, WithoutThePerMonitorCallsTheScreensDpiAndTheClassicFrameServe)
{
    const TShown with = ShowOneForm();
    const int systemDpi = ui_detail::SystemDpi();

    const platform::TProcLookup previous = platform::SetProcLookup(WithoutDpiCalls);
    GMissingAsked.clear();
    const int fallbackDpi = ui_detail::SystemDpi();
    RECT frame{0, 0, 100, 50};
    ui_detail::AdjustRectForDpi(frame, WS_CAPTION | WS_SYSMENU | WS_POPUP, WS_EX_DLGMODALFRAME, fallbackDpi);
    const TShown without = ShowOneForm();
    platform::SetProcLookup(previous);

    // The fallbacks were the ones asked for, and answered as the screen does.
    EXPECT_NE(std::find(GMissingAsked.begin(), GMissingAsked.end(), "GetDpiForSystem"), GMissingAsked.end());
    EXPECT_NE(std::find(GMissingAsked.begin(), GMissingAsked.end(), "GetDpiForWindow"), GMissingAsked.end());
    EXPECT_NE(std::find(GMissingAsked.begin(), GMissingAsked.end(), "AdjustWindowRectExForDpi"), GMissingAsked.end());
    const int screenDpi = GetDeviceCaps(platform::win::GetWindowDc(nullptr).Get(), LOGPIXELSY);
    EXPECT_EQ(fallbackDpi, screenDpi);
    EXPECT_EQ(fallbackDpi, systemDpi) << "one DPI for everything on such a system";
    RECT classic{0, 0, 100, 50};
    AdjustWindowRectEx(&classic, WS_CAPTION | WS_SYSMENU | WS_POPUP, FALSE, WS_EX_DLGMODALFRAME);
    EXPECT_TRUE(EqualRect(&frame, &classic));

    // The same form, the same figures.
    EXPECT_TRUE(EqualRect(&with.Client, &without.Client));
    EXPECT_EQ(with.Window.right - with.Window.left, without.Window.right - without.Window.left);
    EXPECT_EQ(with.Window.bottom - with.Window.top, without.Window.bottom - without.Window.top);
    EXPECT_TRUE(EqualRect(&with.Edit, &without.Edit));
    EXPECT_EQ(with.FontHeight, without.FontHeight);
    EXPECT_EQ(without.Client.right, MulDiv(301, screenDpi, 96));
}

} // namespace
