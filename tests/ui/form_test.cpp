// The form window: mouse dispatch, hit testing, painting order, closing, creation, centring.
#include "UiTestSupport.h"
#include "ui/ZKButton.h"
#include "ui/ZKImage.h"
#include "ui/ZKLabel.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

void Place(CZKBaseControl& control, int l, int t, int r, int b) {
    const RECT rc = {l, t, r, b};
    control.SetRect(&rc);
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        uitest::ParkCursor();
        ASSERT_TRUE(m_form.CreateShown(40, 400, 300, 200));
    }
    HWND Hwnd() const { return m_form.GetHwnd(); }
    uitest::TestForm m_form;
};

TEST_F(FormTest, MoveGoesToTheLaterOfOverlappingControlsAndToEveryControlElsewhere) {
    uitest::ProbeControl lower, upper, elsewhere;
    Place(lower, 10, 10, 100, 100);
    Place(upper, 50, 50, 150, 150);
    Place(elsewhere, 200, 0, 250, 50);
    for (CZKBaseControl* c :
         {static_cast<CZKBaseControl*>(&lower), static_cast<CZKBaseControl*>(&upper),
          static_cast<CZKBaseControl*>(&elsewhere)})
        m_form.AddControl(c);

    uitest::SendMouse(Hwnd(), WM_MOUSEMOVE, 60, 70);
    EXPECT_TRUE(lower.m_moves.empty()); // covered: no call at all for this move
    ASSERT_EQ(upper.m_moves.size(), 1u);
    EXPECT_EQ(upper.m_moves[0].x, 60);
    EXPECT_EQ(upper.m_moves[0].y, 70);
    ASSERT_EQ(elsewhere.m_moves.size(), 1u);
    EXPECT_EQ(elsewhere.m_moves[0].x, 60);

    uitest::SendMouse(Hwnd(), WM_MOUSEMOVE, 20, 20);
    EXPECT_EQ(lower.m_moves.size(), 1u);
    EXPECT_EQ(upper.m_moves.size(), 2u);
}

TEST_F(FormTest, HitTestPrefersTheLastAddedAndExcludesRightAndBottomEdges) {
    uitest::ProbeControl first, second;
    Place(first, 0, 0, 100, 100);
    Place(second, 50, 50, 150, 150);
    m_form.AddControl(&first);
    m_form.AddControl(&second);
    struct Case {
        int x, y;
        CZKBaseControl* expected;
    } cases[] = {{0, 0, &first},      {99, 99, &second},   {60, 60, &second},
                 {49, 99, &first},    {100, 10, nullptr},  {10, 100, nullptr},
                 {149, 149, &second}, {150, 150, nullptr}, {-1, 5, nullptr}};
    for (const Case& c : cases)
        EXPECT_EQ(m_form.HitTest(POINT{c.x, c.y}), c.expected) << c.x << "," << c.y;
}

TEST_F(FormTest, LeavingTheWindowMovesEveryControlToTheOrigin) {
    CZKButton button;
    button.m_hBmpNormal = uitest::SolidBitmap(4, 4, RGB(200, 0, 0));
    button.m_hBmpHover = uitest::SolidBitmap(4, 4, RGB(0, 200, 0));
    button.m_hBmpCur = button.m_hBmpNormal;
    button.m_nBmpWidth = button.m_nBmpHeight = 4;
    Place(button, 20, 20, 60, 60);
    uitest::ProbeControl corner, cover;
    Place(corner, 0, 0, 10, 10);
    Place(cover, 0, 0, 5, 5);
    m_form.AddControl(&button);
    m_form.AddControl(&corner);
    m_form.AddControl(&cover);

    uitest::SendMouse(Hwnd(), WM_MOUSEMOVE, 30, 30);
    ASSERT_EQ(button.m_nState, 1);
    corner.m_moves.clear();
    cover.m_moves.clear();

    EXPECT_EQ(SendMessageW(Hwnd(), WM_MOUSELEAVE, 0, 0), 0);
    EXPECT_EQ(button.m_nState, 0);
    EXPECT_EQ(uitest::WindowPixel(Hwnd(), 40, 40), RGB(200, 0, 0));
    ASSERT_EQ(cover.m_moves.size(), 1u); // the topmost control at (0, 0) gets the move
    EXPECT_EQ(cover.m_moves[0].x, 0);
    EXPECT_EQ(cover.m_moves[0].y, 0);
    EXPECT_TRUE(corner.m_moves.empty()); // covered by the later one
}

TEST_F(FormTest, MousePointsAreUnsigned16BitHalves) {
    uitest::ProbeControl edge;
    Place(edge, -5, 0, 5, 10); // would contain (-1, 5) if the low word were sign-extended
    m_form.AddControl(&edge);
    SendMessageW(Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(0xFFFF, 5));
    ASSERT_EQ(edge.m_moves.size(), 1u); // as a control the point is not in
    EXPECT_EQ(edge.m_moves[0].x, 65535);
    EXPECT_EQ(edge.m_moves[0].y, 5);
    SendMessageW(Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(0xFFFF, 5));
    EXPECT_EQ(edge.m_releases, 0); // hits nothing
    SendMessageW(Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 0xFFFF));
    EXPECT_EQ(edge.m_moves.back().y, 65535);
    SendMessageW(Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(2, 5));
    EXPECT_EQ(edge.m_releases, 1);
}

TEST_F(FormTest, BaseHandlesItsMessagesAndPassesTheRestOn) {
    struct Case {
        UINT message;
        LRESULT result;
    } cases[] = {{WM_MOUSEMOVE, 0},  {WM_LBUTTONDOWN, 0},   {WM_LBUTTONUP, 0},   {WM_MOUSEHOVER, 0},
                 {WM_MOUSELEAVE, 0}, {WM_LBUTTONDBLCLK, 1}, {WM_RBUTTONDOWN, 1}, {WM_SIZE, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(m_form.CZKForm::WindowProc(Hwnd(), c.message, 0, 0), c.result) << c.message;
}

TEST_F(FormTest, CloseIsRefusedWhenTheFormSaysNo) {
    m_form.m_allowClose = false;
    EXPECT_EQ(SendMessageW(Hwnd(), WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(Hwnd()));
    m_form.m_allowClose = true;
    const HWND hwnd = Hwnd();
    EXPECT_EQ(SendMessageW(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(m_form.GetHwnd(), hwnd); // the object keeps the stale handle
    EXPECT_TRUE(m_form.Close());       // and closing again does no harm
}

TEST_F(FormTest, SecondCreateChangesNothing) {
    const HWND hwnd = Hwnd();
    RECT before = {};
    GetWindowRect(hwnd, &before);
    const RECT other = {0, 0, 10, 10};
    m_form.SetRect(&other);
    EXPECT_TRUE(m_form.Create(uitest::FormClassName(), L"other", GetModuleHandleW(nullptr)));
    EXPECT_EQ(m_form.GetHwnd(), hwnd);
    RECT after = {};
    GetWindowRect(hwnd, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    wchar_t title[32] = {};
    GetWindowTextW(hwnd, title, 32);
    EXPECT_STREQ(title, L"Velmora");
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & WS_POPUP, WS_POPUP);
}

TEST_F(FormTest, ControlsArePaintedInTheOrderTheyWereAdded) {
    CZKImage below, above;
    below.SetBitmap(uitest::SolidBitmap(4, 4, RGB(10, 200, 10)), false);
    above.SetBitmap(uitest::SolidBitmap(4, 4, RGB(10, 10, 200)), false);
    Place(below, 0, 0, 100, 100);
    Place(above, 50, 50, 150, 150);
    m_form.AddControl(&below);
    m_form.AddControl(&above);
    InvalidateRect(Hwnd(), nullptr, TRUE);
    UpdateWindow(Hwnd());
    EXPECT_EQ(uitest::WindowPixel(Hwnd(), 20, 20), RGB(10, 200, 10));
    EXPECT_EQ(uitest::WindowPixel(Hwnd(), 70, 70), RGB(10, 10, 200));
    EXPECT_EQ(uitest::WindowPixel(Hwnd(), 120, 120), RGB(10, 10, 200));
}

TEST_F(FormTest, ControlsGetTheFormAsOwnerAndKeepTheirClassNames) {
    CZKLabel label;
    CZKButton button;
    CZKImage image;
    EXPECT_FALSE(m_form.AddControl(nullptr));
    EXPECT_TRUE(m_form.AddControl(&label));
    EXPECT_TRUE(m_form.AddControl(&button));
    EXPECT_TRUE(m_form.AddControl(&image));
    std::wstring name;
    struct Case {
        CZKBaseControl* control;
        const wchar_t* name;
    } cases[] = {{&label, L"CZKBaseControl"},
                 {&button, L"CZKButton"},
                 {&image, L"CZKBaseControl"},
                 {&m_form, L"CZKBaseControl"}};
    for (const Case& c : cases) {
        EXPECT_EQ(*c.control->GetClassName(&name), c.name);
        if (c.control != &m_form) {
            EXPECT_EQ(c.control->m_hOwner, Hwnd());
        }
    }
    RECT rc = {};
    EXPECT_EQ(m_form.GetRect(&rc), &rc);
    EXPECT_EQ(rc.right, 300);
}

TEST(FormLifeTest, DestroyingTheObjectLeavesTheWindow) {
    auto form = std::make_unique<CZKForm>();
    const RECT rc = {0, 0, 50, 50};
    form->SetRect(&rc);
    EXPECT_FALSE(form->ShowCentered(SW_SHOWNORMAL)); // no window yet
    ASSERT_TRUE(form->Create(uitest::FormClassName(), L"x", GetModuleHandleW(nullptr)));
    const HWND hwnd = form->GetHwnd();
    form.reset();
    EXPECT_TRUE(IsWindow(hwnd));
    DestroyWindow(hwnd);
}

TEST(FormLifeTest, ShowCentredPlacesTheClientAreaInTheMiddleOfTheWorkArea) {
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ASSERT_EQ(work.right, 1920) << "the tests expect a 1920 x 1040 work area";
    ASSERT_EQ(work.bottom, 1040);
    uitest::TestForm form;
    const RECT rc = {0, 0, 1213, 749};
    form.SetRect(&rc);
    ASSERT_TRUE(form.Create(uitest::FormClassName(), L"x", GetModuleHandleW(nullptr)));
    EXPECT_FALSE(IsWindowVisible(form.GetHwnd())); // created hidden
    EXPECT_TRUE(form.ShowCentered(SW_SHOWNORMAL));
    RECT placed = {};
    GetWindowRect(form.GetHwnd(), &placed);
    EXPECT_EQ(placed.left, 353);
    EXPECT_EQ(placed.top, 145);
    EXPECT_EQ(placed.right - placed.left, 1213);
    EXPECT_EQ(placed.bottom - placed.top, 749);
    EXPECT_TRUE(IsWindowVisible(form.GetHwnd()));
}

} // namespace
