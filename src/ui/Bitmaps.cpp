#include "ui/Bitmaps.h"

#include "app/WinHandles.h"

bool GetBitmapSize(HBITMAP bitmap, int* width, int* height) {
    BITMAP bm = {};
    const bool ok = bitmap && GetObjectW(bitmap, sizeof(bm), &bm) == sizeof(bm);
    *width = ok ? bm.bmWidth : 0;
    *height = ok ? bm.bmHeight : 0;
    return ok;
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int width, int height, const RECT& target, bool keyed) {
    if (!bitmap)
        return;
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    if (!memory)
        return;
    SelectGuard select(memory.Get(), bitmap);
    const int w = target.right - target.left;
    const int h = target.bottom - target.top;
    if (keyed)
        TransparentBlt(dc, target.left, target.top, w, h, memory.Get(), 0, 0, width, height,
                       ZK_KEY_COLOUR);
    else
        StretchBlt(dc, target.left, target.top, w, h, memory.Get(), 0, 0, width, height, SRCCOPY);
}
