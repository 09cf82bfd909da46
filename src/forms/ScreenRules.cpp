#include "forms/ScreenRules.h"

#include "app/Text.h"

namespace {

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size())
            return false;
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// Same rule for the login and QQ windows' keyboard messages.
FilterAction KeyboardRule(unsigned message, unsigned key, bool ctrlDown) {
    const unsigned kKeyUp = 0x0101;
    if (message == kKeyUp)
        return FilterAction::OfferToView;
    if (ctrlDown && (key == 'C' || key == 'V' || key == 'X' || key == 'Z'))
        return FilterAction::OfferToView;
    const unsigned kTab = 0x09, kReturn = 0x0D, kDelete = 0x2E;
    if (key == kTab || key == kReturn || key == kDelete)
        return FilterAction::OfferToView;
    return FilterAction::None;
}

bool IsKeyboardMessage(unsigned message) {
    return message >= 0x0100 && message <= 0x0109;
}
bool IsMouseMessage(unsigned message) {
    return message >= 0x0200 && message <= 0x020E;
}

Box PlaceRight(int& x, int top, Size2 size) {
    Box b{x - size.cx, top, x, top + size.cy};
    x -= size.cx;
    return b;
}

} // namespace

std::wstring UserNameFromUrl(const std::wstring& url, const std::wstring& current) {
    static const std::wstring kKey = L"wd_username=";
    const size_t pos = url.find(kKey);
    if (pos == std::wstring::npos)
        return current;
    return url.substr(pos + kKey.size());
}

bool IsGameEntryUrl(const std::wstring& url) {
    return Contains(url, L"wd_entergame=1");
}

std::wstring ServerIdFromUrl(const std::wstring& url) {
    return GetUrlParam(L"wd_server", url);
}

bool IsQQGatewayUrl(const std::wstring& url, const std::wstring& gatewayHost) {
    return Contains(url, L"http://" + gatewayHost + L"/qqconn/oauth/redirect_to_login.php");
}

bool IsAccountReturnUrl(const std::wstring& url, const std::wstring& accountHost) {
    return Contains(url, L"http://" + accountHost + L"/login?go");
}

bool IsReturnToLoginUrl(const std::wstring& url) {
    return Contains(url, L"wd_returnlogin=1");
}

bool IsSafeExternalUrl(const std::wstring& url) {
    if (!StartsWithNoCase(url, L"http://") && !StartsWithNoCase(url, L"https://"))
        return false;
    for (wchar_t c : url) {
        if (c <= L' ' || c == L'"' || c == 0x7F)
            return false;
    }
    // Something must follow the scheme.
    const size_t afterScheme = url.find(L"//") + 2;
    return afterScheme < url.size() && url[afterScheme] != L'/' && url[afterScheme] != L'\\';
}

std::wstring ForumUrl(const std::wstring& siteHost) {
    return L"http://" + siteHost + L"/action/redirect_bbs.php?gid=1078";
}

std::wstring OfficialUrl(const std::wstring& siteHost) {
    return L"http://" + siteHost + L"/pelun/";
}

std::wstring RechargeUrl(const std::wstring& siteHost, const std::wstring& serverId,
                         const std::wstring& userName) {
    return L"http://" + siteHost + L"/action/redirect_pay.php?gid=1078&sid=" + serverId + L"&uid=" +
           userName + L"&role_id=";
}

std::wstring ServiceUrl(const std::wstring& siteHost, const std::wstring& serverId,
                        const std::wstring& userName) {
    return L"http://" + siteHost + L"/action/redirect_kf.php?gid=1078&sid=" + serverId + L"&uid=" +
           userName + L"&role_id=";
}

std::wstring AutorunValue(const std::wstring& exePath) {
    return L"\"" + exePath + L"\" /autorun";
}

FilterAction LoginKeyFilter(unsigned message, unsigned key, bool ctrlDown) {
    if (IsKeyboardMessage(message))
        return KeyboardRule(message, key, ctrlDown);
    const unsigned kLButtonDown = 0x0201, kRButtonDown = 0x0204;
    if (message == kLButtonDown || message == kRButtonDown)
        return FilterAction::KeepBackUnder;
    return FilterAction::None;
}

FilterAction QQKeyFilter(unsigned message, unsigned key, bool ctrlDown) {
    if (IsKeyboardMessage(message))
        return KeyboardRule(message, key, ctrlDown);
    return FilterAction::None;
}

FilterAction GameKeyFilter(unsigned message) {
    if (IsKeyboardMessage(message) || IsMouseMessage(message))
        return FilterAction::OfferToView;
    return FilterAction::None;
}

GameLayout LayoutGameToolbar(int clientWidth, int clientHeight, const GameBitmapSizes& s) {
    GameLayout l;
    const int w = clientWidth;
    l.titleBar = Box{0, 0, w, s.titleBar.cy};
    int x = w;
    l.close = PlaceRight(x, 0, s.close);
    l.max = PlaceRight(x, 0, s.max);
    l.min = PlaceRight(x, 0, s.min);
    l.tray = PlaceRight(x, 0, s.tray);
    x -= 20;
    l.setting = PlaceRight(x, 4, s.setting);
    x -= 5;
    l.service = PlaceRight(x, 4, s.service);
    x -= 5;
    l.forum = PlaceRight(x, 4, s.forum);
    x -= 5;
    l.official = PlaceRight(x, 4, s.official);
    x -= 5;
    l.recharge = PlaceRight(x, 4, s.recharge);
    // The icon is drawn two pixels less high than its bitmap, squeezed into the strip.
    l.icon = Box{5, 3, 5 + s.icon.cx, 3 + s.icon.cy - 2};
    if (s.icon.cy == 0)
        l.icon.bottom = 3;
    const int titleLeft = l.icon.right + 10;
    l.title = Box{titleLeft, 3, titleLeft + 300, 23};
    l.view = Box{0, s.titleBar.cy, w, clientHeight};
    return l;
}

Point2 CenterInWorkArea(int workRight, int workBottom, int width, int height) {
    return Point2{(workRight - width) / 2, (workBottom - height) / 2};
}

QQLayout LayoutQQWindow(int clientWidth, int clientHeight, int titleHeight, Size2 closeSize) {
    QQLayout l;
    l.title = Box{0, 0, clientWidth, titleHeight};
    l.close = Box{clientWidth - closeSize.cx, 0, clientWidth, closeSize.cy};
    l.caption = Box{5, 2, 205, 22};
    l.view = Box{3, titleHeight, clientWidth - 3, clientHeight - 4};
    return l;
}
