// The layered skin painted from the executable's PNG resource.
#include "UiTestSupport.h"
#include "ui/PngSkin.h"

#include <gtest/gtest.h>

namespace {

TEST(PngSkinTest, PaintsTheLayeredWindowAtTheFormSizeInTheTopLeftCorner) {
    uitest::TestForm form;
    const RECT rc = {0, 0, 1213, 749};
    form.SetRect(&rc);
    ASSERT_TRUE(form.Create(uitest::FormClassName(), L"x", GetModuleHandleW(nullptr)));
    const HWND hwnd = form.GetHwnd();
    SetWindowPos(hwnd, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    EXPECT_TRUE(ApplyPngSkin(&form));
    RECT placed = {};
    GetWindowRect(hwnd, &placed);
    EXPECT_EQ(placed.left, 0);
    EXPECT_EQ(placed.top, 0);
    EXPECT_EQ(placed.right, 1213);
    EXPECT_EQ(placed.bottom, 749);
}

TEST(PngSkinTest, FormsWithoutWindowOrSizeAreLeftAlone) {
    CZKForm none;
    EXPECT_FALSE(ApplyPngSkin(nullptr));
    EXPECT_FALSE(ApplyPngSkin(&none));
    uitest::TestForm empty;
    ASSERT_TRUE(empty.Create(uitest::FormClassName(), L"x", GetModuleHandleW(nullptr)));
    EXPECT_FALSE(ApplyPngSkin(&empty)); // a 0 x 0 form has nothing to paint
}

} // namespace
