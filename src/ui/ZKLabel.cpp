#include "ui/ZKLabel.h"

#include "ui/TextFit.h"

namespace {

const int kWidenedWidth = 800; // cleared on a text change, so a shorter text leaves no remains

// Puts back what the label changes in a DC, in reverse order.
class TextSetup {
public:
    TextSetup(HDC dc, COLORREF colour, HFONT font)
        : m_dc(dc), m_saved(SaveDC(dc)), m_oldMode(SetBkMode(dc, TRANSPARENT)),
          m_oldColour(::SetTextColor(dc, colour)),
          m_oldFont(font ? SelectObject(dc, font) : nullptr) {}
    ~TextSetup() {
        if (m_oldFont)
            SelectObject(m_dc, m_oldFont);
        ::SetTextColor(m_dc, m_oldColour);
        SetBkMode(m_dc, m_oldMode);
        RestoreDC(m_dc, m_saved);
    }
    TextSetup(const TextSetup&) = delete;
    TextSetup& operator=(const TextSetup&) = delete;

private:
    HDC m_dc;
    int m_saved;
    int m_oldMode;
    COLORREF m_oldColour;
    HGDIOBJ m_oldFont;
};

// Measures `text` from the left edge of `rc`; returns the measured rectangle, sets *height.
RECT Measure(HDC dc, const std::wstring& text, const RECT& rc, int* height) {
    RECT work = rc;
    *height = DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &work, DT_CALCRECT);
    return work;
}

} // namespace

CZKLabel::CZKLabel() : m_strFaceName(L"微软雅黑") {}

CZKLabel::~CZKLabel() = default;

void CZKLabel::EnsureFont() {
    if (!m_bFontDirty)
        return;
    m_hFont.Reset(CreateFontW(m_nFontHeight, 0, 0, 0, m_nWeight, FALSE, m_bUnderline, FALSE, 0, 0,
                              0, 0, FF_SWISS, m_strFaceName.c_str()));
    m_bFontDirty = false;
}

void CZKLabel::PaintText(HDC dc, UINT format, bool autoSize) {
    EnsureFont();
    TextSetup setup(dc, m_crText, m_hFont.Get());

    int height = 0;
    const RECT measured = Measure(dc, m_strText, m_rc, &height);
    if (autoSize)
        m_rc.right =
            m_rc.left + textfit::AutoSizeWidth(measured.right - measured.left, m_nMaxWidth);

    std::wstring shown = m_strText;
    std::size_t prefix = 0;
    const auto candidateRight = [&](std::size_t i) {
        return Measure(dc, textfit::EllipsisCandidate(m_strText, i), m_rc, &height).right;
    };
    if (textfit::ChooseEllipsis(measured.right, m_rc.right, m_strText.size(), candidateRight,
                                &prefix))
        shown = textfit::EllipsisCandidate(m_strText, prefix);

    RECT centred = m_rc;
    InflateRect(&centred, 0, -textfit::CentringInset(m_rc.bottom - m_rc.top, height));
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &centred, format);
}

void CZKLabel::Draw(HDC dc) {
    PaintText(dc, m_uFormat, m_bAutoSize);
}

void CZKLabel::WidenForNewText() {
    if (m_bAutoSize)
        m_rc.right = m_rc.left + kWidenedWidth;
}

void CZKLabel::SetText(const wchar_t* text, bool redraw) {
    WidenForNewText();
    m_strText = text ? text : L"";
    m_bFontDirty = true;
    m_nTextWidth = -1;
    if (redraw)
        Repaint();
}

void CZKLabel::SetFontHeight(int height, int, bool redraw) {
    WidenForNewText();
    m_nFontHeight = height;
    m_bFontDirty = true;
    if (redraw)
        Repaint();
}

void CZKLabel::SetFaceName(const wchar_t* face, bool redraw) {
    WidenForNewText();
    m_strFaceName = face ? face : L"";
    m_bFontDirty = true;
    if (redraw)
        Repaint();
}

void CZKLabel::SetUnderline(bool on, bool redraw) {
    m_bUnderline = on ? 1 : 0;
    m_bFontDirty = true;
    if (redraw)
        Repaint();
}

std::wstring* CZKLabel::GetText(std::wstring* out) const {
    if (out)
        *out = m_strText;
    return out;
}

void CZKLabel::SetTextColor(COLORREF colour, bool redraw) {
    if (colour == m_crText)
        return;
    m_crText = colour;
    m_bFontDirty = true;
    if (redraw)
        Repaint();
}

void CZKLabel::SetFont(HFONT font) {
    m_hFont.Reset(font);
}

void CZKLabel::SetCenter() {
    m_uFormat = DT_CENTER;
    m_bAutoSize = false;
}

void CZKLabel::SetAutoSize(bool on, int maxWidth) {
    m_bAutoSize = on;
    m_nMaxWidth = maxWidth;
}

int CZKLabel::GetTextWidth() {
    if (m_nTextWidth >= 0)
        return m_nTextWidth;
    WindowDc dc(m_hOwner);
    if (!dc.Get())
        return 0;
    EnsureFont();
    TextSetup setup(dc.Get(), m_crText, m_hFont.Get());
    int height = 0;
    const RECT measured = Measure(dc.Get(), m_strText, m_rc, &height);
    m_nTextWidth = measured.right - measured.left;
    return m_nTextWidth;
}

void CZKLabel::SetBold(bool on, bool redraw) {
    const int weight = on ? FW_BOLD : 0;
    if (weight == m_nWeight)
        return;
    m_nWeight = weight;
    m_bFontDirty = true;
    if (redraw)
        Repaint();
}
