// Bitmap drawing shared by the controls.
#pragma once

#include <windows.h>

// Colour left out when buttons and keyed images are drawn; the login window's colour key.
constexpr COLORREF ZK_KEY_COLOUR = RGB(255, 128, 255);

// Width and height of a bitmap; false (sizes 0) for null or unknown handles.
bool GetBitmapSize(HBITMAP bitmap, int* width, int* height);

// Draws the whole of `bitmap` (width x height) stretched onto `target`; keyed leaves out
// ZK_KEY_COLOUR.
void DrawBitmap(HDC dc, HBITMAP bitmap, int width, int height, const RECT& target, bool keyed);
