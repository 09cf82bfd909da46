// Rules of the screens that need no window: page-address tests, key filtering, layout maths.
// No Windows header: these build natively too.
#pragma once

#include <string>

// ---- page addresses (case-sensitive substring tests, as the platform writes them) ----------

// The user name after the first "wd_username=", to the end of the address (not cut at '&');
// `current` when the address names none.
std::wstring UserNameFromUrl(const std::wstring& url, const std::wstring& current);

// An address holding "wd_entergame=1" (so "wd_entergame=10" counts too).
bool IsGameEntryUrl(const std::wstring& url);

// "wd_server" of a game entry, up to the next '&'; empty when absent.
std::wstring ServerIdFromUrl(const std::wstring& url);

// The QQ gateway's redirect page "http://<gateway>/qqconn/oauth/redirect_to_login.php" in one
// piece anywhere in the address.
bool IsQQGatewayUrl(const std::wstring& url, const std::wstring& gatewayHost);

// The account site's return "http://<account>/login?go" in one piece anywhere in the address.
bool IsAccountReturnUrl(const std::wstring& url, const std::wstring& accountHost);

// An address holding "wd_returnlogin=1".
bool IsReturnToLoginUrl(const std::wstring& url);

// Whether a page-supplied address may be handed to the shell: it must be a web address
// ("http://" or "https://", any letter case) with nothing the shell could read as a second
// argument or a different target (no white space, quotes or control characters). Anything
// else -- file:, UNC, a bare path to a program -- would let a page start programs.
bool IsSafeExternalUrl(const std::wstring& url);

// Toolbar pages of the game window on the platform site.
std::wstring ForumUrl(const std::wstring& siteHost);
std::wstring OfficialUrl(const std::wstring& siteHost);
std::wstring RechargeUrl(const std::wstring& siteHost, const std::wstring& serverId,
                         const std::wstring& userName);
std::wstring ServiceUrl(const std::wstring& siteHost, const std::wstring& serverId,
                        const std::wstring& userName);

// Data of the start-at-boot Run value: the quoted program path, a space, "/autorun".
std::wstring AutorunValue(const std::wstring& exePath);

// ---- keys offered to a browser view -----------------------------------------------------

enum class FilterAction {
    None,          // not consumed here; translated and dispatched as usual
    OfferToView,   // hand to the browser view's accelerator handling, return its answer
    KeepBackUnder, // login window: pull the background window under it, not consumed
};

// The login and QQ windows offer the view only key releases, Ctrl+C/V/X/Z, Tab, Enter and
// Delete, so every other key reaches the page through ordinary dispatch. The login window also
// keeps the background window under itself on a left or right press.
FilterAction LoginKeyFilter(unsigned message, unsigned key, bool ctrlDown);
FilterAction QQKeyFilter(unsigned message, unsigned key, bool ctrlDown);
// The game window offers every keyboard and mouse message.
FilterAction GameKeyFilter(unsigned message);

// ---- layout -----------------------------------------------------------------------------

struct Box { // left, top inclusive; right, bottom exclusive
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Box& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

struct Size2 {
    int cx = 0;
    int cy = 0;
};

// Sizes of the game toolbar's normal bitmaps (0 x 0 for one that failed to load).
struct GameBitmapSizes {
    Size2 titleBar{1500, 27};
    Size2 close{28, 27}, max{27, 27}, min{28, 27}, tray{27, 27};
    Size2 setting{38, 18}, service{38, 18}, forum{38, 18}, official{38, 18}, recharge{38, 18};
    Size2 icon{16, 16};
};

struct GameLayout {
    Box titleBar, close, max, min, tray, setting, service, forum, official, recharge, icon, title;
    Box view; // the browser, right below the toolbar
};

// Window buttons right to left from the right edge at top 0; the settings button 20 pixels
// left of them, then the page buttons 5 apart at top 4; icon and title at the left.
GameLayout LayoutGameToolbar(int clientWidth, int clientHeight,
                             const GameBitmapSizes& sizes = GameBitmapSizes());

// Top-left corner of a window of `width` x `height` centred within (0, 0)-(workRight,
// workBottom); the work area's left and top do not enter (divisions truncate toward zero).
struct Point2 {
    int x = 0;
    int y = 0;
    bool operator==(const Point2& o) const { return x == o.x && y == o.y; }
};
Point2 CenterInWorkArea(int workRight, int workBottom, int width, int height);

struct QQLayout {
    Box title, close, caption, view;
};
// Title strip across the top, close button in its right corner, browser inside the 3-pixel
// side borders and above the 4-pixel bottom border.
QQLayout LayoutQQWindow(int clientWidth, int clientHeight, int titleHeight, Size2 closeSize);
