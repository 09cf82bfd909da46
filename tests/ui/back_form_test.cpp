// The background form with the real application object and its window routing: styles,
// placement on the work area, the login window glued to it, the close question handed to the
// login window, and the artwork as it appears on the screen.
#include "UiTestSupport.h"
#include "TestSupport.h"
#include "app/Config.h"
#include "app/GlobalModule.h"
#include "app/Messages.h"
#include "app/RunClient.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// What the login window was asked, and what it answers to the exit question.
int g_confirmCalls = 0;
WNDPROC g_loginProc = nullptr;
const LRESULT kLoginAnswer = 77;

LRESULT CALLBACK RecordingLoginProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CONFIRM_EXIT) {
        ++g_confirmCalls;
        return kLoginAnswer;
    }
    return CallWindowProcW(g_loginProc, hwnd, msg, wParam, lParam);
}

class BackFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        uitest::ParkCursor();
        testing_hooks::SetDataFolder(m_root.Path());
        testing_hooks::SetCommandLine(L"\"C:\\Velmora\\Velmora.exe\"");
    }
    void TearDown() override {
        if (m_module) {
            for (HWND hwnd : {m_module->m_formBack.GetHwnd(), m_module->m_formLogin.GetHwnd()})
                if (IsWindow(hwnd))
                    DestroyWindow(hwnd);
            DrainQuit();
        }
        m_module.reset();
        testing_hooks::SetDataFolder(L"");
        testing_hooks::SetCommandLine(nullptr);
    }
    // The application object with the given settings, its window class and a login window.
    CGlobalModule& Start(const std::string& ini) {
        if (!ini.empty()) {
            EXPECT_TRUE(test::WriteFileBytes(m_root.Path() + L"Entrel.ini", ini));
        }
        m_module = std::make_unique<CGlobalModule>();
        m_module->m_hInstance = GetModuleHandleW(nullptr);
        wcscpy(m_module->m_szWindowClass, L"vmBackFormTest");
        wcscpy(m_module->m_szTitle, L"Velmora");
        RegisterClientWindowClass(*m_module);
        CFormLogin& login = m_module->m_formLogin;
        const RECT rc = {0, 0, 1213, 749};
        login.SetRect(&rc);
        EXPECT_TRUE(login.Create(L"vmBackFormTest", L"Velmora", GetModuleHandleW(nullptr)));
        g_confirmCalls = 0;
        g_loginProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            login.GetHwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingLoginProc)));
        CFormBack& back = m_module->m_formBack;
        back.SetRect(&rc);
        EXPECT_TRUE(back.InitForm());
        return *m_module;
    }
    void DrainQuit() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT)
                DispatchMessageW(&msg);
    }
    HWND Back() const { return m_module->m_formBack.GetHwnd(); }
    HWND Login() const { return m_module->m_formLogin.GetHwnd(); }
    static POINT Origin(HWND hwnd) {
        RECT rc = {};
        GetWindowRect(hwnd, &rc);
        return POINT{rc.left, rc.top};
    }

    test::TempFolder m_root;
    std::unique_ptr<CGlobalModule> m_module;
};

TEST_F(BackFormTest, InitFormMakesAFramelessLayeredWindowWithTheArtwork) {
    Start("");
    const LONG style = GetWindowLongW(Back(), GWL_STYLE);
    EXPECT_FALSE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    const LONG ex = GetWindowLongW(Back(), GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_LAYERED);
    EXPECT_FALSE(ex & (WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE));
    EXPECT_FALSE(ex & WS_EX_TOPMOST);
    EXPECT_FALSE(IsWindowVisible(Back()));
    RECT rc = {};
    GetWindowRect(Back(), &rc);
    EXPECT_EQ(rc.left, 0); // the skin puts it in the top-left corner
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right - rc.left, 1213);
    EXPECT_EQ(rc.bottom - rc.top, 749);
}

TEST_F(BackFormTest, ShowOnWorkAreaCentresItWithATaskbarButtonAndTheLoginWindowFollows) {
    Start("");
    SetWindowLongW(Back(), GWL_EXSTYLE, GetWindowLongW(Back(), GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    m_module->m_formBack.ShowOnWorkArea(false);
    EXPECT_TRUE(IsWindowVisible(Back()));
    EXPECT_EQ(Origin(Back()).x, 353);
    EXPECT_EQ(Origin(Back()).y, 145);
    const LONG ex = GetWindowLongW(Back(), GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_APPWINDOW);
    EXPECT_FALSE(ex & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(ex & WS_EX_TOPMOST);
    EXPECT_EQ(Origin(Login()).x, 353); // glued by the move
    EXPECT_EQ(Origin(Login()).y, 145);

    SetWindowPos(Back(), nullptr, 100, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(Origin(Login()).x, 100);
    EXPECT_EQ(Origin(Login()).y, 60);
    m_module->m_formBack.ShowOnWorkArea(true); // keeps it where it is
    EXPECT_EQ(Origin(Back()).x, 100);
    EXPECT_EQ(Origin(Back()).y, 60);
}

TEST_F(BackFormTest, TopMostSettingMakesItTopmost) {
    struct Case {
        const char* ini;
        bool topMost;
    } cases[] = {{"[Common]\r\nTopMost=1\r\n", true},
                 {"[Common]\r\nTopMost=2\r\n", false},
                 {"[Common]\r\nTopMost=0\r\n", false}};
    for (const Case& c : cases) {
        Start(c.ini);
        EXPECT_EQ((GetWindowLongW(Back(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, c.topMost) << c.ini;
        m_module->m_formBack.ShowOnWorkArea(false);
        EXPECT_EQ((GetWindowLongW(Back(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, c.topMost) << c.ini;
        TearDown();
        SetUp();
    }
}

TEST_F(BackFormTest, CloseAsksTheLoginWindowAndReturnsItsAnswer) {
    Start("");
    EXPECT_EQ(SendMessageW(Back(), WM_CLOSE, 0, 0), kLoginAnswer);
    EXPECT_EQ(g_confirmCalls, 1);
    EXPECT_TRUE(IsWindow(Back())); // closing is the login window's decision
}

TEST_F(BackFormTest, ActivationBringsTheLoginWindowOntoItsOrigin) {
    Start("");
    m_module->m_formBack.ShowOnWorkArea(false);
    SetWindowPos(Login(), nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (UINT message : {static_cast<UINT>(WM_ACTIVATE), static_cast<UINT>(WM_MOVE)}) {
        SetWindowPos(Login(), nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(SendMessageW(Back(), message, WA_ACTIVE, 0), 0);
        EXPECT_EQ(Origin(Login()).x, 353) << message;
        EXPECT_EQ(Origin(Login()).y, 145) << message;
    }
}

// A full-screen window of one colour behind the artwork.
class Backdrop {
public:
    explicit Backdrop(COLORREF colour) : m_brush(CreateSolidBrush(colour)) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = m_brush;
        wc.lpszClassName = L"vmBackdrop";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, L"vmBackdrop", L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                 1920, 1040, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        UpdateWindow(m_hwnd);
    }
    ~Backdrop() {
        DestroyWindow(m_hwnd);
        UnregisterClassW(L"vmBackdrop", GetModuleHandleW(nullptr));
        DeleteObject(m_brush);
    }
    Backdrop(const Backdrop&) = delete;
    Backdrop& operator=(const Backdrop&) = delete;

private:
    HBRUSH m_brush;
    HWND m_hwnd = nullptr;
};

// The whole screen as the user sees it, saved as a 24-bit BMP.
class Screenshot {
public:
    Screenshot() : m_pixels(1920, 1040, RGB(0, 0, 0)) {
        HDC screen = GetDC(nullptr);
        BitBlt(m_pixels.Dc(), 0, 0, 1920, 1040, screen, 0, 0, SRCCOPY | CAPTUREBLT);
        ReleaseDC(nullptr, screen);
    }
    COLORREF At(int x, int y) const { return m_pixels.Pixel(x, y); }
    bool Save(const std::wstring& path, const RECT& part) const {
        const int w = part.right - part.left;
        const int h = part.bottom - part.top;
        const int stride = (w * 3 + 3) & ~3;
        std::string bytes(54 + static_cast<size_t>(stride) * h, '\0');
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfSize = static_cast<DWORD>(bytes.size());
        file.bfOffBits = 54;
        BITMAPINFOHEADER info = {};
        info.biSize = sizeof(info);
        info.biWidth = w;
        info.biHeight = h; // bottom-up
        info.biPlanes = 1;
        info.biBitCount = 24;
        std::memcpy(&bytes[0], &file, sizeof(file));
        std::memcpy(&bytes[14], &info, sizeof(info));
        for (int y = 0; y < h; ++y) {
            char* row = &bytes[54 + static_cast<size_t>(h - 1 - y) * stride];
            for (int x = 0; x < w; ++x) {
                const COLORREF c = At(part.left + x, part.top + y);
                row[x * 3] = static_cast<char>(GetBValue(c));
                row[x * 3 + 1] = static_cast<char>(GetGValue(c));
                row[x * 3 + 2] = static_cast<char>(GetRValue(c));
            }
        }
        return test::WriteFileBytes(path, bytes);
    }

private:
    uitest::Canvas m_pixels;
};

TEST_F(BackFormTest, ScreenShowsTheArtworkAndWhatIsBehindItsTransparentPixels) {
    const COLORREF behind = RGB(40, 150, 70);
    Backdrop backdrop(behind);
    Start("");
    m_module->m_formBack.ShowOnWorkArea(false);

    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(170), L"PNG");
    ASSERT_NE(found, nullptr);
    uitest::Picture picture;
    ASSERT_TRUE(uitest::DecodePng(LockResource(LoadResource(nullptr, found)),
                                  SizeofResource(nullptr, found), &picture));
    const RECT window = {353, 145, 353 + 1213, 145 + 749};
    // A bright, solid pixel of the artwork tells when the display shows the window.
    POINT marker = {-1, -1};
    COLORREF markerColour = 0;
    for (int y = 0; y < picture.height && marker.x < 0; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t px = picture.At(x, y);
            if ((px >> 24) == 255 && ((px >> 16) & 0xFF) + ((px >> 8) & 0xFF) > 300) {
                marker = {x, y};
                markerColour = RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
                break;
            }
        }
    }
    ASSERT_GE(marker.x, 0);
    std::unique_ptr<Screenshot> taken;
    for (int attempt = 0; attempt < 50; ++attempt) { // up to about 10 seconds
        uitest::Settle(200);
        taken = std::make_unique<Screenshot>();
        if (taken->At(window.left + marker.x, window.top + marker.y) == markerColour &&
            taken->At(100, 100) == behind)
            break;
    }
    const Screenshot& shot = *taken;
    const std::wstring saved = test::ExeFolder() + L"login-artwork-screen.bmp";
    EXPECT_TRUE(shot.Save(saved, RECT{253, 45, 1666, 994}));

    EXPECT_EQ(shot.At(100, 100), behind) << "outside the window";
    int opaque = 0, opaqueMatches = 0, clear = 0, clearMatches = 0;
    for (int y = 0; y < picture.height; y += 7) {
        for (int x = 0; x < picture.width; x += 7) {
            const std::uint32_t px = picture.At(x, y);
            const std::uint32_t alpha = px >> 24;
            const COLORREF seen = shot.At(window.left + x, window.top + y);
            if (alpha == 255) {
                ++opaque;
                const COLORREF art = RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
                const int diff = std::abs(GetRValue(seen) - GetRValue(art)) +
                                 std::abs(GetGValue(seen) - GetGValue(art)) +
                                 std::abs(GetBValue(seen) - GetBValue(art));
                opaqueMatches += diff <= 6;
            } else if (alpha == 0) {
                ++clear;
                clearMatches += seen == behind;
            }
        }
    }
    ASSERT_GT(opaque, 1000);
    ASSERT_GT(clear, 1000);
    EXPECT_EQ(opaqueMatches, opaque) << "solid artwork pixels on the screen";
    EXPECT_EQ(clearMatches, clear) << "transparent pixels show the window behind";
}

} // namespace
