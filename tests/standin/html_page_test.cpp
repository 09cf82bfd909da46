// Page rules of the stand-in engine: addresses, entities, refresh, parsing and line layout.
#include "HtmlPage.h"
#include "PageLayout.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out.push_back(c < 0x80 ? char(c) : '?');
    return out;
}

TEST(StandinUrl, ResolvesReferencesAgainstThePage) {
    const std::wstring base = L"http://h:8/a/b/c.html?x=1#top";
    const struct {
        const wchar_t* ref;
        const wchar_t* expected;
    } cases[] = {
        {L"http://other/x", L"http://other/x"},
        {L"javascript:void(0)", L"javascript:void(0)"},
        {L"JavaScript:go()", L"JavaScript:go()"},
        {L"//cdn/p", L"http://cdn/p"},
        {L"/root.html", L"http://h:8/root.html"},
        {L"d.html", L"http://h:8/a/b/d.html"},
        {L"./d.html?q=1", L"http://h:8/a/b/d.html?q=1"},
        {L"../up.html", L"http://h:8/a/up.html"},
        {L"../../../../top.html", L"http://h:8/top.html"},
        {L"sub/", L"http://h:8/a/b/sub/"},
        {L"..", L"http://h:8/a/"},
        {L"?y=2", L"http://h:8/a/b/c.html?y=2"},
        {L"#frag", L"http://h:8/a/b/c.html?x=1#frag"},
        {L"", L"http://h:8/a/b/c.html?x=1"},
        {L"d.html\n?z=\t3", L"http://h:8/a/b/d.html?z=3"},
        {L"/p?wd_username=a&b=/x/../y", L"http://h:8/p?wd_username=a&b=/x/../y"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.expected), ResolveUrl(base, c.ref)) << Narrow(c.ref);
    // A base without an authority leaves relative references as they are.
    EXPECT_EQ(L"d.html", ResolveUrl(L"about:blank", L"d.html"));
    EXPECT_EQ(L"http://h/", ResolveUrl(L"http://h", L""));
    EXPECT_EQ(L"http://h/x", ResolveUrl(L"http://h?q", L"x"));
}

TEST(StandinUrl, ParsesRefreshContent) {
    const struct {
        const wchar_t* content;
        bool ok;
        int seconds;
        const wchar_t* url;
    } cases[] = {
        {L"5", true, 5, L""},
        {L"0;url=next.html", true, 0, L"next.html"},
        {L"3; URL=http://h/x?a=1", true, 3, L"http://h/x?a=1"},
        {L" 2 ,url = 'quoted.html' ", true, 2, L"quoted.html"},
        {L"1.5;url=\"dq.html\"", true, 1, L"dq.html"},
        {L"7;plain.html", true, 7, L"plain.html"},
        {L"99999999999999999;url=x", true, kMaxRefreshSeconds, L"x"},
        {L"", false, 0, L""},
        {L"url=x", false, 0, L""},
        {L"-1;url=x", false, 0, L""},
    };
    for (const auto& c : cases) {
        int seconds = -1;
        std::wstring url = L"unchanged";
        EXPECT_EQ(c.ok, ParseRefreshContent(c.content, &seconds, &url)) << Narrow(c.content);
        if (c.ok) {
            EXPECT_EQ(c.seconds, seconds) << Narrow(c.content);
            EXPECT_EQ(std::wstring(c.url), url) << Narrow(c.content);
        }
    }
}

TEST(StandinHtml, DecodesEntities) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"a &amp; b", L"a & b"},
        {L"&lt;p&gt;&quot;&apos;", L"<p>\"'"},
        {L"&#65;&#x42;&#X43;", L"ABC"},
        {L"&#x4E2D;&#25991;", L"\x4E2D\x6587"},
        {L"&unknown; &amp", L"&unknown; &amp"},
        {L"&#;&#x;&#12a;", L"&#;&#x;&#12a;"},
        {L"&#0;&#xD800;&#9999999;", L"\xFFFD\xFFFD\xFFFD"},
        {L"&#99999999999;", L"&#99999999999;"}, // too long to be an entity
        {L"&", L"&"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.out), DecodeEntities(c.in)) << Narrow(c.in);
}

std::wstring BlockText(const HtmlBlock& block) {
    std::wstring text;
    for (const HtmlRun& run : block.runs)
        text += run.text;
    return text;
}

TEST(StandinHtml, ReadsTitleBlocksLinksAndRefresh) {
    const std::wstring html =
        L"<!DOCTYPE html><html><head><meta charset=utf-8>"
        L"<TITLE>  Velmora \n &amp; friends </TITLE>"
        L"<meta HTTP-EQUIV='Refresh' content=\"2;url=next.html\">"
        L"<style>p { color: red }</style><script>if (a < b) document.write('<p>x</p>');</script>"
        L"</head><body><h1>Head line</h1><!-- <p>hidden</p> -->"
        L"<p>Hello   <b>bold</b>\n world</p>"
        L"<p>Go <a href=\"/enter?wd_entergame=1&amp;wd_server=3\">enter</a> or "
        L"<a href=qq.html target=_blank>QQ</a>.</p>"
        L"<ul><li>one<li>two</ul><a name=anchor>no href</a>"
        L"</body></html>";
    const HtmlPage page = ParseHtml(html, L"http://site/pelun/wd/index.html");
    EXPECT_EQ(L"Velmora & friends", page.title);
    ASSERT_TRUE(page.hasRefresh);
    EXPECT_EQ(2, page.refreshSeconds);
    EXPECT_EQ(L"http://site/pelun/wd/next.html", page.refreshUrl);
    ASSERT_EQ(2u, page.links.size());
    EXPECT_EQ(L"http://site/enter?wd_entergame=1&wd_server=3", page.links[0].href);
    EXPECT_EQ(L"", page.links[0].target);
    EXPECT_EQ(L"http://site/pelun/wd/qq.html", page.links[1].href);
    EXPECT_EQ(L"_blank", page.links[1].target);
    ASSERT_EQ(6u, page.blocks.size());
    EXPECT_EQ(HtmlBlock::Heading, page.blocks[0].kind);
    EXPECT_EQ(L"Head line", BlockText(page.blocks[0]));
    EXPECT_EQ(L"Hello bold world", BlockText(page.blocks[1]));
    EXPECT_EQ(L"Go enter or QQ.", BlockText(page.blocks[2]));
    ASSERT_EQ(5u, page.blocks[2].runs.size());
    EXPECT_EQ(0, page.blocks[2].runs[1].link);
    EXPECT_EQ(L"enter", page.blocks[2].runs[1].text);
    EXPECT_EQ(1, page.blocks[2].runs[3].link);
    EXPECT_EQ(HtmlBlock::ListItem, page.blocks[3].kind);
    EXPECT_EQ(L"one", BlockText(page.blocks[3]));
    EXPECT_EQ(L"two", BlockText(page.blocks[4]));
    EXPECT_EQ(HtmlBlock::Paragraph, page.blocks[5].kind);
    EXPECT_EQ(L"no href", BlockText(page.blocks[5]));
    EXPECT_EQ(-1, page.blocks[5].runs[0].link);
}

TEST(StandinHtml, RefreshWithoutAddressReloadsThePageAndFirstRefreshWins) {
    const HtmlPage page = ParseHtml(
        L"<meta http-equiv=refresh content=4><meta http-equiv=refresh content='1;url=/x'>",
        L"http://h/game.html?tick=1");
    ASSERT_TRUE(page.hasRefresh);
    EXPECT_EQ(4, page.refreshSeconds);
    EXPECT_EQ(L"http://h/game.html?tick=1", page.refreshUrl);
    EXPECT_FALSE(ParseHtml(L"<meta http-equiv=refresh content=soon>", L"http://h/").hasRefresh);
}

TEST(StandinHtml, GarbageGivesDefinedText) {
    const struct {
        const wchar_t* html;
        const wchar_t* text; // all block texts joined by '|'
        const wchar_t* title;
    } cases[] = {
        {L"", L"", L""},
        {L"plain text", L"plain text", L""},
        {L"a < b and c > d", L"a < b and c > d", L""},
        {L"<p unterminated", L"", L""},
        {L"<a href='never closed>text", L"", L""},
        {L"<!-- open comment <p>x</p>", L"", L""},
        {L"<title>no end", L"", L"no end"},
        {L"<script>no end <p>x</p>", L"", L""},
        {L"<<<>>>", L"<<<>>>", L""},
        {L"<p>one</div></div></p>two", L"one|two", L""},
        {L"</a></a>x<a>y</a>", L"xy", L""},
        {L"<p =x 'y' \"z\">w</p>", L"w", L""},
        {L"<>", L"<>", L""},
        {L"&lt;script&gt;", L"<script>", L""},
    };
    for (const auto& c : cases) {
        const HtmlPage page = ParseHtml(c.html, L"http://h/");
        std::wstring joined;
        for (size_t i = 0; i < page.blocks.size(); ++i)
            joined += (i ? L"|" : L"") + BlockText(page.blocks[i]);
        EXPECT_EQ(std::wstring(c.text), joined) << Narrow(c.html);
        EXPECT_EQ(std::wstring(c.title), page.title) << Narrow(c.html);
    }
}

TEST(StandinHtml, RandomInputNeverBreaksTheParserOrTheLayout) {
    std::mt19937 random(1234);
    const wchar_t alphabet[] = L"<>/!-=\"' &#;xapbrtilemh\n\x4E2D\xFFFF";
    for (int round = 0; round < 300; ++round) {
        std::wstring html;
        const int length = int(random() % 400);
        for (int i = 0; i < length; ++i)
            html.push_back(alphabet[random() % (sizeof(alphabet) / sizeof(wchar_t) - 1)]);
        const HtmlPage page = ParseHtml(html, L"http://h/p");
        for (const HtmlBlock& block : page.blocks) {
            for (const HtmlRun& run : block.runs)
                EXPECT_LT(run.link, int(page.links.size()));
        }
        const PageLayout layout =
            LayoutPage(page, int(random() % 300),
                       [](TextStyle, const std::wstring& t) { return int(t.size()) * 7; });
        EXPECT_GE(layout.height, 0);
    }
}

TEST(StandinHtml, LimitsHoldOnHugePages) {
    std::wstring html;
    for (int i = 0; i < 5000; ++i)
        html += L"<p><a href=x>l</a></p>";
    const HtmlPage page = ParseHtml(html, L"http://h/");
    EXPECT_LE(page.blocks.size(), kMaxHtmlBlocks);
    EXPECT_LE(page.links.size(), kMaxHtmlLinks);
    const HtmlPage capped = ParseHtml(std::wstring(kMaxHtmlChars + 100, L'a'), L"http://h/");
    ASSERT_EQ(1u, capped.blocks.size());
    EXPECT_EQ(kMaxHtmlChars, BlockText(capped.blocks[0]).size());
}

// Every character is 10 pixels wide; lines are 20 pixels high; margin 10.
PageLayout Lay(const std::wstring& html, int width) {
    LayoutMetrics metrics;
    metrics.titleHeight = 30;
    metrics.headingHeight = 20;
    metrics.bodyHeight = 20;
    metrics.margin = 10;
    metrics.blockGap = 5;
    return LayoutPage(
        ParseHtml(html, L"http://h/"), width,
        [](TextStyle, const std::wstring& t) { return int(t.size()) * 10; }, metrics);
}

std::vector<std::wstring> LineTexts(const PageLayout& layout) {
    std::vector<std::wstring> lines;
    int y = -1;
    for (const LaidText& piece : layout.pieces) {
        if (piece.y != y)
            lines.emplace_back();
        y = piece.y;
        lines.back() += piece.text;
    }
    return lines;
}

TEST(StandinLayout, WrapsWordsCjkAndLongWords) {
    const struct {
        const wchar_t* html;
        int width;
        std::vector<std::wstring> lines;
    } cases[] = {
        {L"<p>aaa bbb ccc</p>", 100, {L"aaa bbb", L"ccc"}},
        {L"<p>aaa bbb ccc</p>", 130, {L"aaa bbb ccc"}},
        {L"<p>  lead  and trail  </p>", 300, {L"lead and trail"}},
        {L"<p>\x4E2D\x6587\x4E2D\x6587\x4E2D\x6587\x4E2D\x6587\x4E2D\x6587</p>",
         60,
         {L"\x4E2D\x6587\x4E2D\x6587", L"\x4E2D\x6587\x4E2D\x6587", L"\x4E2D\x6587"}},
        {L"<p>abcdefghijkl</p>", 70, {L"abcde", L"fghij", L"kl"}},
        {L"<p>ab <a href=x>cd ef</a> gh</p>", 80, {L"ab cd", L"ef gh"}},
        {L"<p>x</p><p>y</p>", 100, {L"x", L"y"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.lines, LineTexts(Lay(c.html, c.width))) << Narrow(c.html);
}

TEST(StandinLayout, PlacesBlocksAndFindsLinks) {
    const PageLayout layout = Lay(
        L"<title>T</title><p>go <a href=/a>here</a></p><ul><li><a href=/b target=_blank>b</a></ul>",
        400);
    // Title line at the margin, then the paragraph below it, then the list item indented.
    ASSERT_GE(layout.pieces.size(), 4u);
    EXPECT_EQ(TextStyle::Title, layout.pieces[0].style);
    EXPECT_EQ(10, layout.pieces[0].y);
    const LaidText* here = nullptr;
    const LaidText* b = nullptr;
    for (const LaidText& piece : layout.pieces) {
        if (piece.text == L"here")
            here = &piece;
        if (piece.text == L"b")
            b = &piece;
    }
    ASSERT_TRUE(here && b);
    EXPECT_EQ(TextStyle::Link, here->style);
    EXPECT_EQ(10 + 30 + 5, here->y);
    EXPECT_EQ(10 + 30, here->x); // after "go "
    EXPECT_EQ(0, here->link);
    EXPECT_EQ(1, b->link);
    EXPECT_GT(b->x, 10);
    EXPECT_EQ(0, LinkAt(layout, here->x + 1, here->y + 1));
    EXPECT_EQ(1, LinkAt(layout, b->x + 1, b->y + 19));
    EXPECT_EQ(-1, LinkAt(layout, here->x - 5, here->y + 1));
    EXPECT_EQ(-1, LinkAt(layout, 1000, 1000));
    EXPECT_EQ(b->y + 20 + 10, layout.height);
}

} // namespace
