// Small helpers shared by the screens.
#pragma once

#include <windows.h>

#include <string>

// Opens a page-supplied address outside the client (Internet Explorer, else the default
// handler) when it is a plain web address; anything else is dropped without a word, so a
// page can never make the client start a program or open a local file.
void OpenPageOutside(const std::wstring& url);

// A BITMAP resource of the executable (null when missing).
HBITMAP LoadBitmapResource(int id);

// The cursor every button of the screens shows.
HCURSOR HandCursor();

// RECT from edges.
inline RECT MakeRect(int left, int top, int right, int bottom) {
    RECT rc = {left, top, right, bottom};
    return rc;
}
