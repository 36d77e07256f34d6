#include "uUiTestKit.h"
#include "uInputKit.h"
#include "platform/uWinOwners.h"

#include "runtime/uSysUtils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {
// Every test program initialises the application as Setup.exe does, and is
// aware of each monitor's DPI as Setup.exe's manifest makes it.
class TUiEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        using TSetAwareness = BOOL(WINAPI*)(HANDLE);
        if (auto set = reinterpret_cast<TSetAwareness>(reinterpret_cast<void*>(
                GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext"))))
            set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))); // per monitor, version 2
        Application->Initialize();
    }
};
[[maybe_unused]] testing::Environment* const GEnvironment = testing::AddGlobalTestEnvironment(new TUiEnvironment);
} // namespace

TModalScript::TModalScript(std::initializer_list<int> results)
{
    for (int r : results)
        FAnswers.push_back({r, {}});
    FPrevious = SetModalResponder([this](TModalRequest& request) -> std::optional<int> {
        if (Prepare)
            Prepare(request);
        Requests.push_back(request);
        if (FAnswers.empty()) {
            ADD_FAILURE() << "unexpected dialog: " << request.Caption << ": " << request.Text;
            return request.Kind == TModalKind::MessageDialog ? mrCancel : IDCANCEL;
        }
        TAnswer answer = FAnswers.front();
        FAnswers.pop_front();
        request.Folder = answer.Folder;
        if (answer.Result == 0)
            return std::nullopt;
        return answer.Result;
    });
}

TModalScript::~TModalScript()
{
    SetModalResponder(std::move(FPrevious));
    EXPECT_TRUE(FAnswers.empty()) << FAnswers.size() << " dialog answers left unused";
}

void PressKey(WORD key, std::initializer_list<WORD> modifiers)
{
    SendKey(key, modifiers);
    // The input reaches the queue a moment later.
    for (int i = 0; i < 5; ++i) {
        Sleep(10);
        Application->ProcessMessages();
    }
}

RECT RectInParent(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string WindowText(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

LOGFONTA WindowFont(HWND window)
{
    LOGFONTA lf{};
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    GetObjectA(font, sizeof(lf), &lf);
    return lf;
}

TEXTMETRICA TextMetrics(HWND window)
{
    const platform::win::TWindowDc dc = platform::win::GetWindowDc(window);
    const platform::win::TSelection font =
        platform::win::Select(dc.Get(), reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc.Get(), &tm);
    return tm;
}

SIZE TextExtent(HWND window, const std::string& text)
{
    const platform::win::TWindowDc dc = platform::win::GetWindowDc(window);
    const platform::win::TSelection font =
        platform::win::Select(dc.Get(), reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

std::string ScreenshotFolder()
{
    const char* bin = std::getenv("KORVANT_BINARY_DIR");
    std::string folder = std::string(bin ? bin : ".") + "/screenshots";
    ForceDirectories(folder);
    return folder;
}

namespace {
std::uint32_t Crc32(const std::uint8_t* data, size_t size, std::uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data)
{
    Put32(png, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    Put32(png, Crc32(body.data(), body.size()));
}

// A PNG with stored (uncompressed) deflate blocks: small code, valid file.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb)
{
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb.begin() + static_cast<std::ptrdiff_t>(y) * width * 3,
            rgb.begin() + static_cast<std::ptrdiff_t>(y + 1) * width * 3);
    }
    std::vector<std::uint8_t> z{0x78, 0x01};
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + n >= raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<std::uint8_t>(n));
        z.push_back(static_cast<std::uint8_t>(n >> 8));
        z.push_back(static_cast<std::uint8_t>(~n));
        z.push_back(static_cast<std::uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos), raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
        if (last)
            break;
    }
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);

    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    Put32(ihdr, static_cast<std::uint32_t>(width));
    Put32(ihdr, static_cast<std::uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}
} // namespace

bool SaveWindowPng(HWND window, const std::string& path)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Application->ProcessMessages();
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const platform::win::TWindowDc screenDc = platform::win::GetWindowDc(nullptr);
    const HDC screen = screenDc.Get();
    const platform::win::TMemoryDc memDc(CreateCompatibleDC(screen));
    const HDC mem = memDc.Get();
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const platform::TOwner<platform::TCloseWith<HGDIOBJ, &DeleteObject>> dib(
        CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib)
        return false;
    const platform::win::TSelection selected = platform::win::Select(mem, dib.Get());
    // What the screen shows: child windows and the frame included.
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    UpdateWindow(window);
    Sleep(50);
    Application->ProcessMessages();
    bool ok = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != 0;
    GdiFlush();
    std::vector<std::uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    const auto* px = static_cast<const std::uint8_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        rgb[i * 3] = px[i * 4 + 2];
        rgb[i * 3 + 1] = px[i * 4 + 1];
        rgb[i * 3 + 2] = px[i * 4];
    }
    if (!ok)
        return false;
    std::vector<std::uint8_t> png = EncodePng(w, h, rgb);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    std::fclose(f);
    return written;
}
