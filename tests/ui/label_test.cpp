// Labels on real GDI: what text is drawn where, auto-size, the font's life and when they repaint.
#include "UiTestSupport.h"
#include "ui/ZKLabel.h"

#include <gtest/gtest.h>

namespace {

const COLORREF kPaper = RGB(255, 255, 255);
const COLORREF kInk = RGB(0, 0, 0);

int RightOf(HDC dc, const std::wstring& text, const RECT& rc) {
    RECT r = rc;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT);
    return r.right;
}

// What the label should show in rc: the text, or the first "..." candidate that ends within 16
// pixels of the right edge or beyond it, or else the longest one.
std::wstring ExpectedText(HDC dc, HFONT font, const std::wstring& text, const RECT& rc) {
    HGDIOBJ old = SelectObject(dc, font);
    std::wstring shown = text;
    if (!text.empty() && RightOf(dc, text, rc) > rc.right) {
        for (size_t i = 0; i < text.size(); ++i) {
            shown = text.substr(0, i) + L"...";
            if (RightOf(dc, shown, rc) + 16 > rc.right)
                break;
        }
    }
    SelectObject(dc, old);
    return shown;
}

// Draws `shown` the way a label draws: transparent, vertically centred, clipped to rc.
void DrawExpected(HDC dc, HFONT font, const std::wstring& shown, const RECT& rc, UINT format) {
    const int saved = SaveDC(dc);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kInk);
    SelectObject(dc, font);
    RECT measure = rc;
    const int h =
        DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &measure, DT_CALCRECT);
    RECT centred = rc;
    InflateRect(&centred, 0, -((rc.bottom - rc.top - h) / 2));
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &centred, format);
    RestoreDC(dc, saved);
}

class LabelTest : public ::testing::Test {
protected:
    void SetUp() override { uitest::ParkCursor(); }
    // A label with black text (so its font exists) in rc, auto-size off unless asked.
    static void Prepare(CZKLabel& label, const std::wstring& text, RECT rc, bool autoSize,
                        int maxWidth) {
        label.SetRect(&rc);
        label.SetAutoSize(autoSize, maxWidth);
        label.SetText(text.c_str(), false);
        label.SetTextColor(kInk, false);
        label.SetRect(&rc); // SetText may have widened it
    }
    static int TextWidth(HFONT font, const std::wstring& text) {
        uitest::Canvas c(10, 10, kPaper);
        HGDIOBJ old = SelectObject(c.Dc(), font);
        const RECT origin = {0, 0, 0, 0};
        const int right = RightOf(c.Dc(), text, origin);
        SelectObject(c.Dc(), old);
        return right;
    }
};

TEST_F(LabelTest, ShowsWholeTextShortenedTextOrDotsAlone) {
    const std::wstring longText = L"The dragon sleeps beneath the northern mountains";
    CZKLabel probe;
    Prepare(probe, L"...", RECT{0, 0, 100, 30}, false, 0);
    probe.GetTextWidth(); // creates the font
    const int dots = TextWidth(probe.m_hFont.Get(), L"...");
    ASSERT_GT(dots, 0);

    struct Case {
        const char* what;
        std::wstring text;
        int width;
        enum { Whole, Prefix, DotsOnly } expect;
    } cases[] = {
        {"fits", L"Velmora", 300, Case::Whole},
        {"too wide", longText, 150, Case::Prefix},
        {"narrower than dots + 16", L"Velmora", 16 + dots - 1, Case::DotsOnly},
        {"one letter in no room", L"V", 2, Case::DotsOnly},
    };
    for (const Case& c : cases) {
        CZKLabel label;
        const RECT rc = {10, 5, 10 + c.width, 35};
        Prepare(label, c.text, rc, false, 0);
        uitest::Canvas drawn(600, 40, kPaper);
        label.Draw(drawn.Dc());
        ASSERT_NE(label.m_hFont.Get(), nullptr) << c.what;

        const std::wstring shown = ExpectedText(drawn.Dc(), label.m_hFont.Get(), c.text, rc);
        if (c.expect == Case::Whole)
            EXPECT_EQ(shown, c.text) << c.what;
        else if (c.expect == Case::DotsOnly)
            EXPECT_EQ(shown, L"...") << c.what;
        else {
            EXPECT_GT(shown.size(), 3u) << c.what;
            EXPECT_EQ(shown.substr(shown.size() - 3), L"...") << c.what;
            EXPECT_EQ(c.text.compare(0, shown.size() - 3, shown, 0, shown.size() - 3), 0);
        }
        uitest::Canvas expected(600, 40, kPaper);
        DrawExpected(expected.Dc(), label.m_hFont.Get(), shown, rc, DT_LEFT);
        EXPECT_TRUE(drawn.SameAs(expected)) << c.what;
        EXPECT_FALSE(drawn.Untouched(kPaper)) << c.what;
        EXPECT_EQ(label.m_rc.right, rc.right) << c.what; // auto-size off: the rectangle stays
    }
}

TEST_F(LabelTest, EmptyTextDrawsNothingAndKeepsTheRectangle) {
    CZKLabel label;
    const RECT rc = {10, 5, 200, 35};
    Prepare(label, L"", rc, false, 0);
    uitest::Canvas drawn(300, 40, kPaper);
    label.Draw(drawn.Dc());
    EXPECT_TRUE(drawn.Untouched(kPaper));
    EXPECT_TRUE(EqualRect(&label.m_rc, &rc));
}

TEST_F(LabelTest, CentredLabelCentresHorizontallyAndStopsAutoSizing) {
    CZKLabel label;
    label.SetCenter();
    EXPECT_EQ(label.m_uFormat, static_cast<UINT>(DT_CENTER));
    EXPECT_FALSE(label.m_bAutoSize);
    const RECT rc = {10, 5, 300, 35};
    label.SetRect(&rc);
    label.SetText(L"Velmora", false);
    label.SetTextColor(kInk, false);
    uitest::Canvas drawn(320, 40, kPaper);
    label.Draw(drawn.Dc());
    uitest::Canvas expected(320, 40, kPaper);
    DrawExpected(expected.Dc(), label.m_hFont.Get(), L"Velmora", rc, DT_CENTER);
    EXPECT_TRUE(drawn.SameAs(expected));
    EXPECT_TRUE(EqualRect(&label.m_rc, &rc));
}

TEST_F(LabelTest, AutoSizeGrowsToTheTextOrStopsAtTheMaximum) {
    CZKLabel probe;
    Prepare(probe, L"x", RECT{0, 0, 10, 30}, false, 0);
    probe.GetTextWidth();
    std::wstring text = L"Velmora";
    while (TextWidth(probe.m_hFont.Get(), text) < 480)
        text += L" Velmora";
    const int textWidth = TextWidth(probe.m_hFont.Get(), text);
    ASSERT_GT(textWidth, 300);

    struct Case {
        int maxWidth;
        int expectedWidth;
        bool shortened;
    } cases[] = {{300, 300, true},
                 {0, textWidth, false},
                 {-5, textWidth, false},
                 {textWidth + 50, textWidth, false}};
    for (const Case& c : cases) {
        CZKLabel label;
        const RECT start = {10, 5, 110, 35};
        Prepare(label, text, start, true, c.maxWidth);
        uitest::Canvas drawn(800, 40, kPaper);
        label.Draw(drawn.Dc());
        EXPECT_EQ(label.m_rc.left, 10) << c.maxWidth;
        EXPECT_EQ(label.m_rc.right - label.m_rc.left, c.expectedWidth) << c.maxWidth;
        const std::wstring shown = ExpectedText(drawn.Dc(), label.m_hFont.Get(), text, label.m_rc);
        EXPECT_EQ(shown != text, c.shortened) << c.maxWidth;
        uitest::Canvas expected(800, 40, kPaper);
        DrawExpected(expected.Dc(), label.m_hFont.Get(), shown, label.m_rc, DT_LEFT);
        EXPECT_TRUE(drawn.SameAs(expected)) << c.maxWidth;
    }
}

TEST_F(LabelTest, TextFontAndFaceChangesFirstWidenTheRectangleTo800) {
    CZKLabel label;
    const RECT rc = {10, 5, 60, 35};
    using Setter = void (*)(CZKLabel&);
    const Setter setters[] = {
        [](CZKLabel& l) { l.SetText(L"abc", false); },
        [](CZKLabel& l) { l.SetFontHeight(30, 0, false); },
        [](CZKLabel& l) { l.SetFaceName(L"Tahoma", false); },
    };
    for (Setter set : setters) {
        label.SetAutoSize(true, 0);
        label.SetRect(&rc);
        set(label);
        EXPECT_EQ(label.m_rc.right, 810);
        EXPECT_TRUE(label.m_bFontDirty);
        label.SetAutoSize(false, 0);
        label.SetRect(&rc);
        set(label);
        EXPECT_EQ(label.m_rc.right, 60); // without auto-size the rectangle is left alone
    }
}

TEST_F(LabelTest, FontIsMadeLazilyAndWidthIsCachedUntilTheTextChanges) {
    CZKLabel label;
    EXPECT_EQ(label.m_hFont.Get(), nullptr); // a new label has no font and no dirty mark
    EXPECT_FALSE(label.m_bFontDirty);
    const RECT rc = {0, 0, 100, 30};
    label.SetRect(&rc);
    label.SetText(L"abc", false);
    EXPECT_EQ(label.m_hFont.Get(), nullptr); // not before it is needed
    const int narrow = label.GetTextWidth();
    const HFONT first = label.m_hFont.Get();
    EXPECT_NE(first, nullptr);
    EXPECT_FALSE(label.m_bFontDirty);
    EXPECT_GT(narrow, 0);

    label.SetFontHeight(40, 0, false);
    EXPECT_EQ(label.GetTextWidth(), narrow); // only a text change forgets the width
    label.SetText(L"abc", false);
    EXPECT_GT(label.GetTextWidth(), narrow);
    EXPECT_EQ(GetObjectType(first), 0u); // the replaced font was deleted

    HFONT adopted = CreateFontW(12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma");
    const HFONT second = label.m_hFont.Get();
    label.SetFont(adopted);
    EXPECT_EQ(label.m_hFont.Get(), adopted);
    EXPECT_EQ(GetObjectType(second), 0u);
}

TEST_F(LabelTest, SettersRepaintOnlyWhenSomethingChanged) {
    uitest::TestForm form;
    ASSERT_TRUE(form.CreateShown(40, 40, 400, 80));
    CZKLabel label;
    const RECT rc = {10, 10, 200, 40};
    label.SetRect(&rc);
    form.AddControl(&label);
    EXPECT_EQ(label.m_hOwner, form.GetHwnd());
    label.SetText(L"Velmora", true);
    EXPECT_GE(form.m_draws, 1);

    struct Step {
        const char* what;
        void (*apply)(CZKLabel&);
        int repaints;
    } steps[] = {
        {"same colour", [](CZKLabel& l) { l.SetTextColor(RGB(255, 255, 255), true); }, 0},
        {"new colour", [](CZKLabel& l) { l.SetTextColor(RGB(0, 0, 0), true); }, 1},
        {"bold", [](CZKLabel& l) { l.SetBold(true, true); }, 1},
        {"bold again", [](CZKLabel& l) { l.SetBold(true, true); }, 0},
        {"not bold", [](CZKLabel& l) { l.SetBold(false, true); }, 1},
        {"underline", [](CZKLabel& l) { l.SetUnderline(true, true); }, 1},
        {"text without redraw", [](CZKLabel& l) { l.SetText(L"x", false); }, 0},
        {"text", [](CZKLabel& l) { l.SetText(L"Velmora", true); }, 1},
    };
    for (const Step& s : steps) {
        const int before = form.m_draws;
        s.apply(label);
        EXPECT_EQ(form.m_draws - before, s.repaints) << s.what;
    }
    EXPECT_EQ(label.m_nWeight, 0);
}

TEST_F(LabelTest, NewTextOnScreenLeavesNoRemainsAndIsNotClipped) {
    uitest::TestForm form;
    ASSERT_TRUE(form.CreateShown(40, 140, 900, 60));
    CZKLabel label;
    const RECT rc = {10, 10, 20, 50};
    label.SetRect(&rc);
    label.SetTextColor(kInk, false);
    form.AddControl(&label);
    const HWND hwnd = form.GetHwnd();
    const COLORREF paper = uitest::WindowPixel(hwnd, 5, 5);
    const auto inkBetween = [&](int from, int to) {
        for (int x = from; x < to; ++x)
            for (int y = 10; y < 50; ++y)
                if (uitest::WindowPixel(hwnd, x, y) != paper)
                    return true;
        return false;
    };

    label.SetText(L"Velmora", true);
    const int shortRight = label.m_rc.right;
    label.SetText(L"Velmora Velmora Velmora Velmora", true);
    const int longRight = label.m_rc.right;
    ASSERT_GT(longRight, shortRight + 100);
    EXPECT_TRUE(inkBetween(longRight - 40, longRight)); // the longer text is drawn in full

    label.SetText(L"Velmora", true);
    EXPECT_EQ(label.m_rc.right, shortRight);
    EXPECT_FALSE(inkBetween(shortRight + 2, longRight + 2)); // nothing left of the longer one
    EXPECT_TRUE(inkBetween(10, shortRight));
}

} // namespace
