#include "ui/ZKImage.h"

#include "ui/Bitmaps.h"

CZKImage::~CZKImage() {
    if (m_hBitmap)
        DeleteObject(m_hBitmap);
}

void CZKImage::Draw(HDC dc) {
    DrawBitmap(dc, m_hBitmap, m_nWidth, m_nHeight, m_rc, m_bKeyed);
}

void CZKImage::SetBitmap(HBITMAP bitmap, bool keyed) {
    if (m_hBitmap && m_hBitmap != bitmap)
        DeleteObject(m_hBitmap);
    m_hBitmap = bitmap;
    GetBitmapSize(bitmap, &m_nWidth, &m_nHeight);
    m_bKeyed = keyed;
}
