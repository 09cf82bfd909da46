// The small HTML subset the stand-in engine shows: title, text blocks, links, meta refresh.
// No Windows header: builds natively too.
#pragma once

#include <string>
#include <vector>

struct HtmlLink {
    std::wstring href;   // absolute (resolved against the page address)
    std::wstring target; // as written: "", "_blank", "_self", a frame name...
};

struct HtmlRun {
    std::wstring text;
    int link = -1; // index into HtmlPage::links, or -1 for plain text
};

struct HtmlBlock {
    enum Kind { Paragraph, Heading, ListItem };
    Kind kind = Paragraph;
    std::vector<HtmlRun> runs;
};

struct HtmlPage {
    std::wstring title;
    std::vector<HtmlBlock> blocks;
    std::vector<HtmlLink> links;
    bool hasRefresh = false;
    int refreshSeconds = 0;
    std::wstring refreshUrl; // absolute; the page itself when the content names no address
};

// Limits that keep a hostile page from eating memory or time.
constexpr size_t kMaxHtmlChars = 4 * 1024 * 1024;
constexpr size_t kMaxHtmlBlocks = 4000;
constexpr size_t kMaxHtmlLinks = 2000;
constexpr int kMaxRefreshSeconds = 24 * 60 * 60;

// Parses `html` (already decoded to UTF-16/32 text). Never fails: garbage gives text.
HtmlPage ParseHtml(const std::wstring& html, const std::wstring& pageUrl);

// `ref` resolved against the absolute address `base` (scheme://authority/path?query#fragment).
std::wstring ResolveUrl(const std::wstring& base, const std::wstring& ref);

// The content of <meta http-equiv="refresh">: "N" or "N; url=ADDRESS". False when unusable.
bool ParseRefreshContent(const std::wstring& content, int* seconds, std::wstring* url);

// Entities (&amp; &lt; &gt; &quot; &apos; &nbsp; &#N; &#xN;) decoded; unknown ones kept.
std::wstring DecodeEntities(const std::wstring& text);

// Case-insensitive ASCII comparison helpers shared with the engine.
std::wstring AsciiLower(std::wstring text);
bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix);
