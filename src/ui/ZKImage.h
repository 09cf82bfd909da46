// Bitmap picture stretched over its rectangle, optionally leaving out the key colour.
#pragma once

#include "ui/ZKBaseControl.h"

class CZKImage : public CZKBaseControl {
public:
    CZKImage() = default;
    ~CZKImage() override; // releases m_hBitmap

    void Draw(HDC dc) override;

    virtual int GetWidth() const { return m_nWidth; }
    virtual int GetHeight() const { return m_nHeight; }
    virtual HBITMAP GetBitmap() const { return m_hBitmap; }

    // Adopts `bitmap` (releasing the previous one) and takes its size.
    void SetBitmap(HBITMAP bitmap, bool keyed);

    int m_nWidth = 0;
    int m_nHeight = 0;
    HBITMAP m_hBitmap = nullptr;
    bool m_bKeyed = false;
};
