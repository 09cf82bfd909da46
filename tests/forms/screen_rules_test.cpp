// Window-free rules of the screens: page addresses, key filters and layout numbers.
#include "forms/ScreenRules.h"

#include <gtest/gtest.h>

namespace {

TEST(ScreenRulesTest, UserNameIsTheWholeRestOfTheAddress) {
    struct Case {
        const wchar_t* url;
        const wchar_t* current;
        const wchar_t* expected;
    } cases[] = {
        {L"http://h/p?wd_username=abc&wd_server=7", L"", L"abc&wd_server=7"},
        {L"http://h/p?wd_username=bob", L"old", L"bob"},
        {L"http://h/p?a=1", L"old", L"old"},           // no name: keeps the old one
        {L"http://h/p?WD_USERNAME=x", L"old", L"old"}, // case-sensitive
        {L"http://h/p?wd_username=", L"old", L""},     // present but empty
        {L"http://h/?wd_username=a&wd_username=b", L"", L"a&wd_username=b"}, // first one
        {L"", L"keep", L"keep"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UserNameFromUrl(c.url, c.current), c.expected) << c.url;
}

TEST(ScreenRulesTest, GameEntryAndServerId) {
    struct Case {
        const wchar_t* url;
        bool entry;
        const wchar_t* server;
    } cases[] = {
        {L"http://h/g?wd_entergame=1&wd_server=12&x=1", true, L"12"},
        {L"http://h/g?wd_entergame=10", true, L""}, // holds "wd_entergame=1"
        {L"http://h/g?WD_ENTERGAME=1&wd_server=3", false, L"3"},
        {L"http://h/g?wd_entergame=0&wd_server=3", false, L"3"},
        {L"http://h/g?wd_entergame=1", true, L""},
        {L"http://h/g?wd_entergame=1&wd_server=", true, L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsGameEntryUrl(c.url), c.entry) << c.url;
        EXPECT_EQ(ServerIdFromUrl(c.url), c.server) << c.url;
    }
}

TEST(ScreenRulesTest, GatewayAccountAndReturnAddresses) {
    const std::wstring gw = L"qq.example:81";
    const std::wstring acc = L"acc.example";
    struct Case {
        const wchar_t* url;
        bool gateway;
        bool account;
        bool returnLogin;
    } cases[] = {
        {L"http://qq.example:81/qqconn/oauth/redirect_to_login.php?x=1", true, false, false},
        {L"https://qq.example:81/qqconn/oauth/redirect_to_login.php", false, false, false},
        {L"http://qq.example/qqconn/oauth/redirect_to_login.php", false, false, false}, // port
        {L"http://other/?next=http://qq.example:81/qqconn/oauth/redirect_to_login.php", true, false,
         false}, // anywhere in the address
        {L"http://acc.example/login?go=1", false, true, false},
        {L"http://acc.example/login?gone", false, true, false},
        {L"http://acc.example/Login?go", false, false, false},
        {L"http://sso/cb?r=http://acc.example/login?go", false, true, false},
        {L"http://h/x?wd_returnlogin=1", false, false, true},
        {L"http://h/x?wd_returnlogin=0", false, false, false},
        {L"http://acc.example/login?go&wd_returnlogin=1", false, true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsQQGatewayUrl(c.url, gw), c.gateway) << c.url;
        EXPECT_EQ(IsAccountReturnUrl(c.url, acc), c.account) << c.url;
        EXPECT_EQ(IsReturnToLoginUrl(c.url), c.returnLogin) << c.url;
    }
}

TEST(ScreenRulesTest, OnlyWebAddressesGoToTheShell) {
    struct Case {
        const wchar_t* url;
        bool safe;
    } cases[] = {
        {L"http://www.example/pelun/", true},
        {L"https://www.example/a?b=c&d=e", true},
        {L"HTTP://WWW.EXAMPLE/", true},
        {L"hTtPs://x", true},
        {L"http://127.0.0.1:18080/setup.exe", true}, // a download is the browser's business
        {L"file:///C:/windows/system32/notepad.exe", false},
        {L"C:\\windows\\system32\\notepad.exe", false},
        {L"\\\\server\\share\\run.exe", false},
        {L"notepad.exe", false},
        {L"javascript:alert(1)", false},
        {L"ftp://h/x", false},
        {L"http:/x", false},
        {L"http://", false},
        {L"http:///C:/windows/notepad.exe", false},
        {L"http://\\\\server\\share", false},
        {L" http://x", false},
        {L"http://x\" -extoff", false}, // would end the quoted argument
        {L"http://x y", false},
        {L"http://x\ty", false},
        {L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSafeExternalUrl(c.url), c.safe) << c.url;
}

TEST(ScreenRulesTest, ToolbarPagesAndAutorunValue) {
    EXPECT_EQ(ForumUrl(L"s:1"), L"http://s:1/action/redirect_bbs.php?gid=1078");
    EXPECT_EQ(OfficialUrl(L"s:1"), L"http://s:1/pelun/");
    EXPECT_EQ(RechargeUrl(L"s", L"12", L"bob"),
              L"http://s/action/redirect_pay.php?gid=1078&sid=12&uid=bob&role_id=");
    EXPECT_EQ(ServiceUrl(L"s", L"12", L"bob"),
              L"http://s/action/redirect_kf.php?gid=1078&sid=12&uid=bob&role_id=");
    // Not yet known: empty values; values go in as they stand.
    EXPECT_EQ(ServiceUrl(L"s", L"", L""),
              L"http://s/action/redirect_kf.php?gid=1078&sid=&uid=&role_id=");
    EXPECT_EQ(RechargeUrl(L"s", L"7", L"a&b=c"),
              L"http://s/action/redirect_pay.php?gid=1078&sid=7&uid=a&b=c&role_id=");
    EXPECT_EQ(AutorunValue(L"C:\\Games\\client.exe"), L"\"C:\\Games\\client.exe\" /autorun");
    EXPECT_EQ(AutorunValue(L"C:\\Program Files\\V\\Velmora.exe"),
              L"\"C:\\Program Files\\V\\Velmora.exe\" /autorun");
}

TEST(ScreenRulesTest, KeyFilters) {
    const unsigned KEYDOWN = 0x100, KEYUP = 0x101, CHAR = 0x102, SYSKEYDOWN = 0x104, LBDOWN = 0x201,
                   LBUP = 0x202, RBDOWN = 0x204, MOVE = 0x200, WHEEL = 0x20A, TIMER = 0x113;
    using A = FilterAction;
    struct Case {
        unsigned msg;
        unsigned key;
        bool ctrl;
        A login;
        A qq;
        A game;
    } cases[] = {
        {KEYUP, 'A', false, A::OfferToView, A::OfferToView, A::OfferToView},
        {KEYDOWN, 'A', false, A::None, A::None, A::OfferToView},
        {KEYDOWN, 'C', true, A::OfferToView, A::OfferToView, A::OfferToView},
        {KEYDOWN, 'V', true, A::OfferToView, A::OfferToView, A::OfferToView},
        {KEYDOWN, 'X', true, A::OfferToView, A::OfferToView, A::OfferToView},
        {KEYDOWN, 'Z', true, A::OfferToView, A::OfferToView, A::OfferToView},
        {KEYDOWN, 'A', true, A::None, A::None, A::OfferToView},
        {KEYDOWN, 'C', false, A::None, A::None, A::OfferToView},
        {KEYDOWN, 0x09, false, A::OfferToView, A::OfferToView, A::OfferToView},
        {KEYDOWN, 0x0D, false, A::OfferToView, A::OfferToView, A::OfferToView},
        {KEYDOWN, 0x2E, false, A::OfferToView, A::OfferToView, A::OfferToView},
        {KEYDOWN, 0x74, false, A::None, A::None, A::OfferToView}, // F5 reaches the page normally
        {CHAR, 0x0D, false, A::OfferToView, A::OfferToView, A::OfferToView},
        {SYSKEYDOWN, 0x73, false, A::None, A::None, A::OfferToView},
        {LBDOWN, 0, false, A::KeepBackUnder, A::None, A::OfferToView},
        {RBDOWN, 0, false, A::KeepBackUnder, A::None, A::OfferToView},
        {LBUP, 0, false, A::None, A::None, A::OfferToView},
        {MOVE, 0, false, A::None, A::None, A::OfferToView},
        {WHEEL, 0, false, A::None, A::None, A::OfferToView},
        {TIMER, 0, false, A::None, A::None, A::None},
        {0x20F, 0, false, A::None, A::None, A::None},
        {0x10A, 0x0D, false, A::None, A::None, A::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoginKeyFilter(c.msg, c.key, c.ctrl), c.login)
            << std::hex << c.msg << " " << c.key;
        EXPECT_EQ(QQKeyFilter(c.msg, c.key, c.ctrl), c.qq) << std::hex << c.msg << " " << c.key;
        EXPECT_EQ(GameKeyFilter(c.msg), c.game) << std::hex << c.msg;
    }
}

TEST(ScreenRulesTest, GameToolbarLayout) {
    struct Case {
        int w, h;
        Box close, max, min, tray, setting, service, forum, official, recharge;
    } cases[] = {
        {1920,
         1040,
         {1892, 0, 1920, 27},
         {1865, 0, 1892, 27},
         {1837, 0, 1865, 27},
         {1810, 0, 1837, 27},
         {1752, 4, 1790, 22},
         {1709, 4, 1747, 22},
         {1666, 4, 1704, 22},
         {1623, 4, 1661, 22},
         {1580, 4, 1618, 22}},
        {1250,
         673,
         {1222, 0, 1250, 27},
         {1195, 0, 1222, 27},
         {1167, 0, 1195, 27},
         {1140, 0, 1167, 27},
         {1082, 4, 1120, 22},
         {1039, 4, 1077, 22},
         {996, 4, 1034, 22},
         {953, 4, 991, 22},
         {910, 4, 948, 22}},
    };
    for (const Case& c : cases) {
        const GameLayout l = LayoutGameToolbar(c.w, c.h);
        EXPECT_EQ(l.titleBar, (Box{0, 0, c.w, 27}));
        EXPECT_EQ(l.close, c.close);
        EXPECT_EQ(l.max, c.max);
        EXPECT_EQ(l.min, c.min);
        EXPECT_EQ(l.tray, c.tray);
        EXPECT_EQ(l.setting, c.setting);
        EXPECT_EQ(l.service, c.service);
        EXPECT_EQ(l.forum, c.forum);
        EXPECT_EQ(l.official, c.official);
        EXPECT_EQ(l.recharge, c.recharge);
        EXPECT_EQ(l.icon, (Box{5, 3, 21, 17}));
        EXPECT_EQ(l.title, (Box{31, 3, 331, 23}));
        EXPECT_EQ(l.view, (Box{0, 27, c.w, c.h}));
    }
}

TEST(ScreenRulesTest, MissingBitmapShiftsTheButtonsToItsLeft) {
    GameBitmapSizes sizes;
    sizes.max = Size2{0, 0};
    const GameLayout l = LayoutGameToolbar(1920, 1040, sizes);
    EXPECT_EQ(l.max, (Box{1892, 0, 1892, 0}));
    EXPECT_EQ(l.min, (Box{1864, 0, 1892, 27}));
    EXPECT_EQ(l.recharge, (Box{1607, 4, 1645, 22}));
}

TEST(ScreenRulesTest, Centring) {
    struct Case {
        int workRight, workBottom, w, h;
        Point2 expected;
    } cases[] = {
        {1920, 1040, 1213, 749, {353, 145}}, // login screen
        {1920, 1040, 1250, 700, {335, 170}}, // restored game window
        {1920, 1040, 800, 500, {560, 270}},  // QQ window
        {1024, 738, 1213, 749, {-94, -5}},   // larger than the screen: truncation toward zero
        {1025, 739, 1250, 700, {-112, 19}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CenterInWorkArea(c.workRight, c.workBottom, c.w, c.h), c.expected)
            << c.workRight << "x" << c.workBottom;
}

TEST(ScreenRulesTest, QQWindowLayout) {
    const QQLayout l = LayoutQQWindow(800, 500, 27, Size2{28, 27});
    EXPECT_EQ(l.title, (Box{0, 0, 800, 27}));
    EXPECT_EQ(l.close, (Box{772, 0, 800, 27}));
    EXPECT_EQ(l.caption, (Box{5, 2, 205, 22}));
    EXPECT_EQ(l.view, (Box{3, 27, 797, 496}));
}

} // namespace
