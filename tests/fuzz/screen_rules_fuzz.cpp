// Page-address rules of the screens, the start-at-boot value and the toolbar layout. Fields:
// address, a host, the user name so far, an executable path, then bytes for the layout.
#include "FuzzInput.h"
#include "app/Text.h"
#include "forms/ScreenRules.h"

namespace {

bool Has(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

bool StartsNoCase(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c + 32);
        if (c != prefix[i])
            return false;
    }
    return true;
}

// A size in 0..2047 from two characters of the layout field.
int Dim(const std::wstring& f, size_t i) {
    const int lo = i < f.size() ? f[i] & 0xFF : 0;
    const int hi = i + 1 < f.size() ? f[i + 1] & 0x07 : 0;
    return lo | (hi << 8);
}

bool Ordered(const Box& b) {
    return b.right >= b.left && b.bottom >= b.top;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::wstring> f = fuzz::DecodeFields(data, size, 5);
    const std::wstring& url = f[0];
    const std::wstring& host = f[1];

    const size_t user = url.find(L"wd_username=");
    const std::wstring name = UserNameFromUrl(url, f[2]);
    FUZZ_CHECK(name == (user == std::wstring::npos ? f[2] : url.substr(user + 12)));

    FUZZ_CHECK(IsGameEntryUrl(url) == Has(url, L"wd_entergame=1"));
    FUZZ_CHECK(IsReturnToLoginUrl(url) == Has(url, L"wd_returnlogin=1"));
    const std::wstring server = ServerIdFromUrl(url);
    FUZZ_CHECK(server == GetUrlParam(L"wd_server", url));
    FUZZ_CHECK(server.find(L'&') == std::wstring::npos);
    FUZZ_CHECK(IsQQGatewayUrl(url, host) ==
               Has(url, L"http://" + host + L"/qqconn/oauth/redirect_to_login.php"));
    FUZZ_CHECK(IsAccountReturnUrl(url, host) == Has(url, L"http://" + host + L"/login?go"));

    // What reaches the shell is a web address with a host and nothing that splits arguments.
    if (IsSafeExternalUrl(url)) {
        const bool https = StartsNoCase(url, L"https://");
        FUZZ_CHECK(https || StartsNoCase(url, L"http://"));
        for (wchar_t c : url)
            FUZZ_CHECK(c > L' ' && c != L'"' && c != 0x7F);
        const size_t host0 = https ? 8 : 7;
        FUZZ_CHECK(host0 < url.size() && url[host0] != L'/' && url[host0] != L'\\');
    }

    const std::wstring autorun = AutorunValue(f[3]);
    FUZZ_CHECK(autorun == L"\"" + f[3] + L"\" /autorun");
    for (const std::wstring& page : {ForumUrl(host), OfficialUrl(host), RechargeUrl(host, server, name),
                                     ServiceUrl(host, server, name)})
        FUZZ_CHECK(page.compare(0, 7 + host.size(), L"http://" + host) == 0);

    // Layout of the game toolbar for plausible sizes (a screen and bitmaps below 2048 pixels
    // a side); window buttons abut from the right edge, the page below the strip.
    const std::wstring& lf = f[4];
    GameBitmapSizes sizes;
    Size2* all[] = {&sizes.titleBar, &sizes.close,   &sizes.max,   &sizes.min,
                    &sizes.tray,     &sizes.setting, &sizes.service, &sizes.forum,
                    &sizes.official, &sizes.recharge, &sizes.icon};
    size_t at = 4;
    for (Size2* s : all) {
        s->cx = Dim(lf, at);
        s->cy = Dim(lf, at + 2);
        at += 4;
    }
    const int width = Dim(lf, 0);
    const int height = Dim(lf, 2);
    const GameLayout l = LayoutGameToolbar(width, height, sizes);
    FUZZ_CHECK(l.close.right == width && l.close.left == width - sizes.close.cx);
    FUZZ_CHECK(l.max.right == l.close.left && l.min.right == l.max.left &&
               l.tray.right == l.min.left);
    FUZZ_CHECK(l.setting.right == l.tray.left - 20);
    FUZZ_CHECK(l.view == (Box{0, sizes.titleBar.cy, width, height}));
    for (const Box& b : {l.titleBar, l.close, l.max, l.min, l.tray, l.setting, l.service, l.forum,
                         l.official, l.recharge, l.title})
        FUZZ_CHECK(Ordered(b));
    // The icon is drawn two pixels less high than its bitmap (any real icon is taller).
    if (sizes.icon.cy >= 2)
        FUZZ_CHECK(Ordered(l.icon) && l.icon.bottom - l.icon.top == sizes.icon.cy - 2);
    const Point2 centre = CenterInWorkArea(width, height, sizes.titleBar.cx, sizes.titleBar.cy);
    FUZZ_CHECK(centre.x == (width - sizes.titleBar.cx) / 2 &&
               centre.y == (height - sizes.titleBar.cy) / 2);
    return 0;
}
