// Windowless text: lazy font, auto-size, ellipsis and vertical centring.
#pragma once

#include "app/WinHandles.h"
#include "ui/ZKBaseControl.h"

#include <string>

class CZKLabel : public CZKBaseControl {
public:
    CZKLabel();
    ~CZKLabel() override;

    void Draw(HDC dc) override;

    virtual void SetText(const wchar_t* text, bool redraw);
    virtual void SetFontHeight(int height, int ignored, bool redraw);
    virtual void SetFaceName(const wchar_t* face, bool redraw);
    virtual void SetUnderline(bool on, bool redraw);
    virtual std::wstring* GetText(std::wstring* out) const;
    virtual void SetTextColor(COLORREF colour, bool redraw);
    virtual void SetFont(HFONT font);
    virtual void SetCenter();
    virtual void SetAutoSize(bool on, int maxWidth);
    virtual int GetTextWidth();
    virtual void SetBold(bool on, bool redraw);

    std::wstring m_strText;
    int m_nFontHeight = 20;
    std::wstring m_strFaceName;
    int m_bUnderline = 0;
    COLORREF m_crText = RGB(255, 255, 255);
    UniqueFont m_hFont;
    bool m_bFontDirty = false;
    UINT m_uFormat = DT_LEFT;
    bool m_bAutoSize = true;
    int m_nMaxWidth = 0;
    int m_nTextWidth = -1;
    int m_nWeight = 0;

protected:
    // Creates the font again when a setter has marked it dirty.
    void EnsureFont();
    // Draws m_strText into m_rc with `format`, shortened with "..." when it does not fit;
    // `autoSize` lets the right edge follow the text first.
    void PaintText(HDC dc, UINT format, bool autoSize);

private:
    void WidenForNewText();
};
