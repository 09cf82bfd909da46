#include "forms/FormCommon.h"

#include "app/Config.h"
#include "app/GlobalModule.h"
#include "forms/ScreenRules.h"

void OpenPageOutside(const std::wstring& url) {
    if (IsSafeExternalUrl(url))
        OpenInInternetExplorer(url);
}

HBITMAP LoadBitmapResource(int id) {
    return LoadBitmapW(GetGlobalModule().m_hInstance, MAKEINTRESOURCEW(id));
}

HCURSOR HandCursor() {
    return LoadCursorW(nullptr, IDC_HAND);
}
