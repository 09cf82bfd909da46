// Buttons and images on real GDI: looks per state, the alternate set, the key colour, the
// bitmaps from the executable and their release.
#include "UiTestSupport.h"
#include "ui/Bitmaps.h"
#include "ui/ZKButton.h"
#include "ui/ZKImage.h"

#include <gtest/gtest.h>

namespace {

const COLORREF kNormal = RGB(200, 0, 0);
const COLORREF kHover = RGB(0, 200, 0);
const COLORREF kPressed = RGB(0, 0, 200);
const COLORREF kAltNormal = RGB(200, 200, 0);
const COLORREF kAltHover = RGB(0, 200, 200);
const COLORREF kAltPressed = RGB(90, 60, 30);

void FillButton(CZKButton& button, const RECT& rc) {
    button.m_hBmpNormal = uitest::SolidBitmap(8, 8, kNormal);
    button.m_hBmpHover = uitest::SolidBitmap(8, 8, kHover);
    button.m_hBmpPressed = uitest::SolidBitmap(8, 8, kPressed);
    button.m_hBmpAltNormal = uitest::SolidBitmap(8, 8, kAltNormal);
    button.m_hBmpAltHover = uitest::SolidBitmap(8, 8, kAltHover);
    button.m_hBmpAltPressed = uitest::SolidBitmap(8, 8, kAltPressed);
    button.m_hBmpCur = button.m_hBmpNormal;
    button.m_nBmpWidth = 8;
    button.m_nBmpHeight = 8;
    button.SetRect(&rc);
}

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        uitest::ParkCursor();
        ASSERT_TRUE(m_form.CreateShown(40, 240, 300, 120));
        FillButton(m_a, RECT{20, 20, 60, 50});
        FillButton(m_b, RECT{100, 20, 140, 50});
        m_form.AddControl(&m_a);
        m_form.AddControl(&m_b);
        InvalidateRect(Hwnd(), nullptr, TRUE);
        UpdateWindow(Hwnd());
    }
    HWND Hwnd() const { return m_form.GetHwnd(); }
    COLORREF At(int x, int y) const { return uitest::WindowPixel(Hwnd(), x, y); }

    uitest::TestForm m_form;
    CZKButton m_a;
    CZKButton m_b;
};

TEST_F(ButtonTest, PressReleaseAndMovesShowTheirLooks) {
    struct Step {
        const char* what;
        UINT message;
        int x, y;
        int stateA;
        COLORREF lookA;
    } steps[] = {
        {"start", 0, 0, 0, 0, kNormal},
        {"press", WM_LBUTTONDOWN, 30, 30, 2, kPressed},
        {"release", WM_LBUTTONUP, 30, 30, 3, kHover},
        {"move inside", WM_MOUSEMOVE, 31, 31, 1, kHover},
        {"move off", WM_MOUSEMOVE, 200, 100, 0, kNormal},
        {"press again", WM_LBUTTONDOWN, 59, 49, 2, kPressed},
        {"drag inside turns pressed into hover", WM_MOUSEMOVE, 21, 21, 1, kHover},
        {"edge is outside", WM_MOUSEMOVE, 60, 30, 0, kNormal},
    };
    for (const Step& s : steps) {
        if (s.message)
            uitest::SendMouse(Hwnd(), s.message, s.x, s.y);
        EXPECT_EQ(m_a.m_nState, s.stateA) << s.what;
        EXPECT_EQ(At(40, 35), s.lookA) << s.what;
        EXPECT_EQ(At(120, 35), kNormal) << s.what; // the other button is left alone
    }
}

TEST_F(ButtonTest, RefreshShowsTheAlternateSetWithoutChangingState) {
    uitest::SendMouse(Hwnd(), WM_MOUSEMOVE, 30, 30);
    ASSERT_EQ(m_a.m_nState, 1);
    m_a.m_bAltSet = true;
    EXPECT_EQ(At(40, 35), kHover); // flipping the flag alone shows nothing new
    m_a.SetState(CZKButton::STATE_REFRESH);
    EXPECT_EQ(m_a.m_nState, 1);
    EXPECT_EQ(m_a.m_hBmpCur, m_a.m_hBmpAltHover);
    EXPECT_EQ(At(40, 35), kAltHover);

    struct Step {
        UINT message;
        int x, y;
        COLORREF look;
    } steps[] = {{WM_LBUTTONDOWN, 30, 30, kAltPressed},
                 {WM_LBUTTONUP, 30, 30, kAltHover},
                 {WM_MOUSEMOVE, 250, 100, kAltNormal}};
    for (const Step& s : steps) {
        uitest::SendMouse(Hwnd(), s.message, s.x, s.y);
        EXPECT_EQ(At(40, 35), s.look);
    }
    m_a.m_bAltSet = false;
    m_a.SetState(CZKButton::STATE_REFRESH);
    EXPECT_EQ(At(40, 35), kNormal);
    EXPECT_EQ(m_a.m_nState, 0);
}

TEST_F(ButtonTest, PressOnOneAndReleaseOnAnotherReleasesTheSecond) {
    uitest::SendMouse(Hwnd(), WM_LBUTTONDOWN, 30, 30);
    uitest::SendMouse(Hwnd(), WM_LBUTTONUP, 110, 30);
    EXPECT_EQ(m_b.m_nState, 3);
    EXPECT_EQ(At(120, 35), kHover);
    EXPECT_EQ(m_a.m_nState, 2); // until the next move reaches it
    uitest::SendMouse(Hwnd(), WM_MOUSEMOVE, 110, 30);
    EXPECT_EQ(m_a.m_nState, 0);
    EXPECT_EQ(m_b.m_nState, 1);
}

TEST_F(ButtonTest, UnknownStatesAreKeptAndShowTheNormalLook) {
    m_a.SetState(7);
    EXPECT_EQ(m_a.m_nState, 7);
    EXPECT_EQ(At(40, 35), kNormal);
    EXPECT_EQ(m_a.m_hBmpCur, m_a.m_hBmpNormal);
}

TEST(ControlLooksTest, KeyColourIsLeftOutOfButtonsAndKeyedImagesOnly) {
    // Left half key colour, right half red, stretched over 40 x 20.
    HBITMAP source = uitest::SolidBitmap(10, 10, ZK_KEY_COLOUR);
    {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, source);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        const RECT right = {5, 0, 10, 10};
        FillRect(dc, &right, red);
        DeleteObject(red);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    const COLORREF paper = RGB(10, 20, 30);
    const RECT rc = {4, 4, 44, 24};
    struct Case {
        const char* what;
        int kind; // 0 button, 1 keyed image, 2 plain image
        COLORREF left;
    } cases[] = {
        {"button", 0, paper}, {"keyed image", 1, paper}, {"plain image", 2, ZK_KEY_COLOUR}};
    for (const Case& c : cases) {
        uitest::Canvas canvas(50, 30, paper);
        if (c.kind == 0) {
            CZKButton button;
            button.m_hBmpNormal = source;
            button.m_hBmpCur = source;
            button.m_nBmpWidth = 10;
            button.m_nBmpHeight = 10;
            button.SetRect(&rc);
            button.Draw(canvas.Dc());
            button.m_hBmpNormal = nullptr; // the bitmap is used again below
        } else {
            CZKImage image;
            image.SetBitmap(source, c.kind == 1);
            image.SetRect(&rc);
            image.Draw(canvas.Dc());
            image.m_hBitmap = nullptr;
        }
        EXPECT_EQ(canvas.Pixel(6, 10), c.left) << c.what;
        EXPECT_EQ(canvas.Pixel(40, 20), RGB(255, 0, 0)) << c.what;
        EXPECT_EQ(canvas.Pixel(2, 2), paper) << c.what;   // nothing outside the rectangle
        EXPECT_EQ(canvas.Pixel(44, 24), paper) << c.what; // right and bottom are exclusive
    }
    DeleteObject(source);
}

TEST(ControlLooksTest, ControlsWithoutBitmapsDrawNothing) {
    const COLORREF paper = RGB(1, 2, 3);
    uitest::Canvas canvas(50, 30, paper);
    CZKButton button;
    CZKImage image;
    const RECT rc = {0, 0, 50, 30};
    button.SetRect(&rc);
    image.SetRect(&rc);
    button.Draw(canvas.Dc());
    image.Draw(canvas.Dc());
    EXPECT_TRUE(canvas.Untouched(paper));
}

TEST(ControlLooksTest, ButtonsLoadTheirBitmapsFromTheExecutable) {
    const HINSTANCE self = GetModuleHandleW(nullptr);
    CZKButton close;
    close.LoadBitmaps(134, 168, 168, self);
    EXPECT_EQ(close.GetBitmapWidth(), 40);
    EXPECT_EQ(close.GetBitmapHeight(), 41);
    EXPECT_EQ(close.m_hBmpCur, close.m_hBmpNormal);
    EXPECT_NE(close.m_hBmpHover, nullptr);
    EXPECT_NE(close.m_hBmpPressed, nullptr);
    EXPECT_NE(close.m_hBmpHover, close.m_hBmpPressed); // one load each, released each

    CZKButton missing;
    missing.LoadBitmaps(9999, 9998, 9997, self);
    EXPECT_EQ(missing.m_hBmpCur, nullptr);
    EXPECT_EQ(missing.GetBitmapWidth(), 0);
    EXPECT_EQ(missing.GetBitmapHeight(), 0);

    CZKButton max;
    max.LoadBitmaps(141, 160, 160, self);
    max.LoadAltBitmaps(143, 162, 162, self);
    EXPECT_EQ(max.m_hBmpCur, max.m_hBmpNormal);
    max.m_bAltSet = true;
    max.SetState(CZKButton::STATE_REFRESH);
    EXPECT_EQ(max.m_hBmpCur, max.m_hBmpAltNormal);
    EXPECT_NE(max.m_hBmpAltNormal, nullptr);
}

TEST(ControlLooksTest, BitmapsAreReleasedWithTheirControl) {
    HBITMAP shared = nullptr;
    HBITMAP first[3] = {};
    HBITMAP second[3] = {};
    HBITMAP picture = nullptr;
    HBITMAP replaced = nullptr;
    {
        CZKButton button;
        button.LoadBitmaps(138, 158, 158, GetModuleHandleW(nullptr));
        first[0] = button.m_hBmpNormal;
        first[1] = button.m_hBmpHover;
        first[2] = button.m_hBmpPressed;
        button.LoadBitmaps(142, 161, 161, GetModuleHandleW(nullptr)); // the first set goes
        for (HBITMAP h : first)
            EXPECT_EQ(GetObjectType(h), 0u);
        second[0] = button.m_hBmpNormal;
        second[1] = button.m_hBmpHover;
        second[2] = button.m_hBmpPressed;
        shared = uitest::SolidBitmap(4, 4, RGB(1, 1, 1));
        button.m_hBmpAltNormal = shared; // one handle in three slots
        button.m_hBmpAltHover = shared;
        button.m_hBmpAltPressed = shared;
        for (HBITMAP h : second)
            EXPECT_EQ(GetObjectType(h), static_cast<DWORD>(OBJ_BITMAP));

        CZKImage image;
        replaced = uitest::SolidBitmap(4, 4, RGB(2, 2, 2));
        image.SetBitmap(replaced, false);
        picture = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(148));
        image.SetBitmap(picture, true);
        EXPECT_EQ(GetObjectType(replaced), 0u);
        EXPECT_EQ(image.GetWidth(), 1500);
        EXPECT_EQ(image.GetHeight(), 27);
        EXPECT_EQ(image.GetBitmap(), picture);
        EXPECT_TRUE(image.m_bKeyed);
    }
    for (HBITMAP h : second)
        EXPECT_EQ(GetObjectType(h), 0u);
    EXPECT_EQ(GetObjectType(shared), 0u);
    EXPECT_EQ(GetObjectType(picture), 0u);
}

} // namespace
