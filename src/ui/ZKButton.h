// Bitmap button: normal, hover and pressed looks, and an alternate set of the three.
#pragma once

#include "ui/ZKLabel.h"

class CZKButton : public CZKLabel {
public:
    enum : int {
        STATE_NORMAL = 0,
        STATE_HOVER = 1,
        STATE_PRESSED = 2,
        STATE_RELEASED = 3,
        STATE_REFRESH = 4
    };

    CZKButton();
    ~CZKButton() override; // releases every bitmap of both sets

    bool OnLButtonDown(WPARAM keys, const POINT* pt) override;
    bool OnLButtonUp(WPARAM keys, const POINT* pt) override;
    bool OnMouseMove(WPARAM keys, const POINT* pt) override;
    void Draw(HDC dc) override;

    virtual int GetBitmapWidth() const { return m_nBmpWidth; }
    virtual int GetBitmapHeight() const { return m_nBmpHeight; }

    // Loads the normal set from BITMAP resources; its normal bitmap gives the size.
    void LoadBitmaps(int normalId, int hoverId, int pressedId, HINSTANCE module);
    // Loads the alternate set likewise (the owner flips m_bAltSet and refreshes).
    void LoadAltBitmaps(int normalId, int hoverId, int pressedId, HINSTANCE module);
    void SetState(int s);

    int m_nState = STATE_NORMAL;
    int m_nBmpWidth = 0;
    int m_nBmpHeight = 0;
    bool m_bAltSet = false;
    HBITMAP m_hBmpCur = nullptr; // one of the six below, not owned separately
    HBITMAP m_hBmpNormal = nullptr;
    HBITMAP m_hBmpHover = nullptr;
    HBITMAP m_hBmpPressed = nullptr;
    HBITMAP m_hBmpAltNormal = nullptr;
    HBITMAP m_hBmpAltHover = nullptr;
    HBITMAP m_hBmpAltPressed = nullptr;

private:
    HBITMAP BitmapForState() const;
    void ReleaseSet(HBITMAP* normal, HBITMAP* hover, HBITMAP* pressed);
};
