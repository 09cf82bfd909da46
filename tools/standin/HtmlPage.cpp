#include "HtmlPage.h"

#include <cwctype>

namespace {

bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f';
}

bool IsAsciiAlpha(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

wchar_t LowerAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c;
}

std::wstring Trim(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    while (end > begin && IsSpace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// Finds `needle` (lower-case ASCII) in `text` from `from`, ignoring ASCII case.
size_t FindNoCase(const std::wstring& text, const std::wstring& needle, size_t from) {
    if (needle.empty() || text.size() < needle.size())
        return std::wstring::npos;
    for (size_t i = from; i + needle.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && LowerAscii(text[i + k]) == needle[k])
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::wstring::npos;
}

void AppendCodePoint(std::wstring* out, unsigned long cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
        cp -= 0x10000;
        out->push_back(wchar_t(0xD800 + (cp >> 10)));
        out->push_back(wchar_t(0xDC00 + (cp & 0x3FF)));
    } else {
        out->push_back(wchar_t(cp));
    }
}

struct Tag {
    std::wstring name; // lower case
    bool closing = false;
    std::vector<std::pair<std::wstring, std::wstring>> attributes; // names lower case

    std::wstring Attribute(const wchar_t* wanted, bool* present = nullptr) const {
        for (const auto& attribute : attributes) {
            if (attribute.first == wanted) {
                if (present)
                    *present = true;
                return attribute.second;
            }
        }
        if (present)
            *present = false;
        return std::wstring();
    }
};

// Reads a tag starting at html[pos] == '<'; returns the position after it.
size_t ReadTag(const std::wstring& html, size_t pos, Tag* tag) {
    size_t i = pos + 1;
    if (i < html.size() && html[i] == L'/') {
        tag->closing = true;
        ++i;
    }
    while (i < html.size() && !IsSpace(html[i]) && html[i] != L'>' && html[i] != L'/')
        tag->name.push_back(LowerAscii(html[i++]));
    for (;;) {
        while (i < html.size() && (IsSpace(html[i]) || html[i] == L'/'))
            ++i;
        if (i >= html.size())
            return i;
        if (html[i] == L'>')
            return i + 1;
        std::wstring name;
        while (i < html.size() && !IsSpace(html[i]) && html[i] != L'>' && html[i] != L'=' &&
               html[i] != L'/')
            name.push_back(LowerAscii(html[i++]));
        while (i < html.size() && IsSpace(html[i]))
            ++i;
        std::wstring value;
        if (i < html.size() && html[i] == L'=') {
            ++i;
            while (i < html.size() && IsSpace(html[i]))
                ++i;
            if (i < html.size() && (html[i] == L'"' || html[i] == L'\'')) {
                const wchar_t quote = html[i++];
                const size_t end = html.find(quote, i);
                const size_t stop = end == std::wstring::npos ? html.size() : end;
                value = html.substr(i, stop - i);
                i = end == std::wstring::npos ? html.size() : end + 1;
            } else {
                while (i < html.size() && !IsSpace(html[i]) && html[i] != L'>')
                    value.push_back(html[i++]);
            }
        }
        if (name.empty()) { // a stray '=' or quote: step over it
            ++i;
            continue;
        }
        if (tag->attributes.size() < 64)
            tag->attributes.emplace_back(name, DecodeEntities(value));
    }
}

bool IsBlockTag(const std::wstring& name) {
    static const wchar_t* const kBlocks[] = {
        L"p",      L"div",    L"br",         L"li",  L"ul",   L"ol",      L"tr",      L"table",
        L"hr",     L"center", L"blockquote", L"pre", L"form", L"section", L"article", L"header",
        L"footer", L"nav",    L"dl",         L"dt",  L"dd",   L"body",    L"h1",      L"h2",
        L"h3",     L"h4",     L"h5",         L"h6",  L"main", L"aside",   L"address"};
    for (const wchar_t* block : kBlocks) {
        if (name == block)
            return true;
    }
    return false;
}

bool IsHeadingTag(const std::wstring& name) {
    return name.size() == 2 && name[0] == L'h' && name[1] >= L'1' && name[1] <= L'6';
}

class Builder {
public:
    Builder(HtmlPage* page, const std::wstring& pageUrl) : m_page(page), m_pageUrl(pageUrl) {}

    void Text(const std::wstring& raw) {
        const std::wstring text = DecodeEntities(raw);
        for (wchar_t c : text) {
            if (IsSpace(c)) {
                m_pendingSpace = true;
                continue;
            }
            if (m_page->blocks.size() >= kMaxHtmlBlocks && !m_open)
                return;
            if (!m_open) {
                m_page->blocks.push_back(HtmlBlock{m_kind, {}});
                m_open = true;
                m_pendingSpace = false;
            }
            HtmlBlock& block = m_page->blocks.back();
            // A space between two runs goes to the one that is not a link, so that no
            // underline starts or ends with a space.
            if (m_pendingSpace && !block.runs.empty()) {
                if (block.runs.back().link != m_link && block.runs.back().link >= 0)
                    block.runs.push_back(HtmlRun{std::wstring(), m_link});
                block.runs.back().text.push_back(L' ');
            }
            m_pendingSpace = false;
            if (block.runs.empty() || block.runs.back().link != m_link)
                block.runs.push_back(HtmlRun{std::wstring(), m_link});
            block.runs.back().text.push_back(c == 0xA0 ? L' ' : c);
        }
    }

    void OpenTag(const Tag& tag) {
        if (tag.name == L"a") {
            m_link = -1;
            bool present = false;
            const std::wstring href = Trim(tag.Attribute(L"href", &present));
            if (present && m_page->links.size() < kMaxHtmlLinks) {
                m_page->links.push_back(
                    HtmlLink{ResolveUrl(m_pageUrl, href), Trim(tag.Attribute(L"target"))});
                m_link = int(m_page->links.size()) - 1;
            }
            return;
        }
        if (tag.name == L"meta") {
            if (!m_page->hasRefresh &&
                AsciiLower(Trim(tag.Attribute(L"http-equiv"))) == L"refresh") {
                int seconds = 0;
                std::wstring url;
                if (ParseRefreshContent(tag.Attribute(L"content"), &seconds, &url)) {
                    m_page->hasRefresh = true;
                    m_page->refreshSeconds = seconds;
                    m_page->refreshUrl = url.empty() ? m_pageUrl : ResolveUrl(m_pageUrl, url);
                }
            }
            return;
        }
        if (IsBlockTag(tag.name)) {
            EndBlock();
            if (IsHeadingTag(tag.name))
                m_kind = HtmlBlock::Heading;
            else if (tag.name == L"li")
                m_kind = HtmlBlock::ListItem;
            else if (tag.name != L"br")
                m_kind = HtmlBlock::Paragraph;
        }
    }

    void CloseTag(const Tag& tag) {
        if (tag.name == L"a") {
            m_link = -1;
            return;
        }
        if (IsBlockTag(tag.name)) {
            EndBlock();
            m_kind = HtmlBlock::Paragraph;
        }
    }

    void Finish() { EndBlock(); }

private:
    void EndBlock() {
        if (m_open) {
            HtmlBlock& block = m_page->blocks.back();
            while (!block.runs.empty()) {
                std::wstring& last = block.runs.back().text;
                while (!last.empty() && last.back() == L' ')
                    last.pop_back();
                if (!last.empty())
                    break;
                block.runs.pop_back();
            }
            if (block.runs.empty())
                m_page->blocks.pop_back();
        }
        m_open = false;
        m_pendingSpace = false;
    }

    HtmlPage* m_page;
    const std::wstring& m_pageUrl;
    HtmlBlock::Kind m_kind = HtmlBlock::Paragraph;
    int m_link = -1;
    bool m_open = false;
    bool m_pendingSpace = false;
};

// Splits an absolute address into scheme "://" authority, path, and the rest (?query#frag).
bool SplitAbsolute(const std::wstring& url, std::wstring* origin, std::wstring* path,
                   std::wstring* rest) {
    const size_t scheme = url.find(L"://");
    if (scheme == std::wstring::npos || scheme == 0)
        return false;
    size_t pathStart = url.find_first_of(L"/?#", scheme + 3);
    if (pathStart == std::wstring::npos)
        pathStart = url.size();
    *origin = url.substr(0, pathStart);
    const size_t restStart = url.find_first_of(L"?#", pathStart);
    const size_t pathEnd = restStart == std::wstring::npos ? url.size() : restStart;
    *path = url.substr(pathStart, pathEnd - pathStart);
    if (path->empty())
        *path = L"/";
    *rest = url.substr(pathEnd);
    return true;
}

// Removes "." and ".." segments of an absolute path.
std::wstring NormalizePath(const std::wstring& path) {
    std::vector<std::wstring> segments;
    size_t start = 1;
    bool trailingSlash = false;
    while (start <= path.size()) {
        size_t end = path.find(L'/', start);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring segment = path.substr(start, end - start);
        trailingSlash = false;
        if (segment == L"..") {
            if (!segments.empty())
                segments.pop_back();
            trailingSlash = true;
        } else if (segment == L".") {
            trailingSlash = true;
        } else {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::wstring out;
    for (const auto& segment : segments)
        out += L"/" + segment;
    if (out.empty() || trailingSlash)
        out += L"/";
    return out;
}

bool HasScheme(const std::wstring& ref) {
    if (ref.empty() || !IsAsciiAlpha(ref[0]))
        return false;
    for (size_t i = 1; i < ref.size(); ++i) {
        const wchar_t c = ref[i];
        if (c == L':')
            return true;
        if (!(IsAsciiAlpha(c) || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.'))
            return false;
    }
    return false;
}

} // namespace

std::wstring AsciiLower(std::wstring text) {
    for (auto& c : text)
        c = LowerAscii(c);
    return text;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(prefix[i]))
            return false;
    }
    return true;
}

std::wstring DecodeEntities(const std::wstring& text) {
    if (text.find(L'&') == std::wstring::npos)
        return text;
    static const struct {
        const wchar_t* name;
        wchar_t value;
    } kNamed[] = {{L"amp", L'&'},     {L"lt", L'<'},      {L"gt", L'>'},      {L"quot", L'"'},
                  {L"apos", L'\''},   {L"nbsp", 0xA0},    {L"copy", 0xA9},    {L"middot", 0xB7},
                  {L"mdash", 0x2014}, {L"ndash", 0x2013}, {L"hellip", 0x2026}};
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&') {
            out.push_back(text[i]);
            continue;
        }
        const size_t semicolon = text.find(L';', i + 1);
        if (semicolon == std::wstring::npos || semicolon - i > 12) {
            out.push_back(L'&');
            continue;
        }
        const std::wstring name = text.substr(i + 1, semicolon - i - 1);
        bool decoded = false;
        if (name.size() >= 2 && name[0] == L'#') {
            const bool hex = name[1] == L'x' || name[1] == L'X';
            unsigned long cp = 0;
            bool valid = name.size() > (hex ? 2u : 1u);
            for (size_t k = hex ? 2 : 1; k < name.size() && valid; ++k) {
                const wchar_t c = name[k];
                int digit = -1;
                if (c >= L'0' && c <= L'9')
                    digit = c - L'0';
                else if (hex && c >= L'a' && c <= L'f')
                    digit = c - L'a' + 10;
                else if (hex && c >= L'A' && c <= L'F')
                    digit = c - L'A' + 10;
                if (digit < 0)
                    valid = false;
                else
                    cp = cp * (hex ? 16 : 10) + unsigned(digit);
                if (cp > 0x10FFFF)
                    cp = 0x110000; // stays invalid, and cannot overflow
            }
            if (valid) {
                AppendCodePoint(&out, cp);
                decoded = true;
            }
        } else {
            for (const auto& entity : kNamed) {
                if (name == entity.name) {
                    out.push_back(entity.value);
                    decoded = true;
                    break;
                }
            }
        }
        if (decoded)
            i = semicolon;
        else
            out.push_back(L'&');
    }
    return out;
}

bool ParseRefreshContent(const std::wstring& content, int* seconds, std::wstring* url) {
    size_t i = 0;
    while (i < content.size() && IsSpace(content[i]))
        ++i;
    if (i >= content.size() || content[i] < L'0' || content[i] > L'9')
        return false;
    long value = 0;
    while (i < content.size() && content[i] >= L'0' && content[i] <= L'9') {
        value = value * 10 + (content[i] - L'0');
        if (value > kMaxRefreshSeconds)
            value = kMaxRefreshSeconds;
        ++i;
    }
    while (i < content.size() && content[i] == L'.') // "1.5" counts as 1
        ++i;
    while (i < content.size() && content[i] >= L'0' && content[i] <= L'9')
        ++i;
    std::wstring address;
    while (i < content.size() && (IsSpace(content[i]) || content[i] == L';' || content[i] == L','))
        ++i;
    if (i < content.size()) {
        std::wstring rest = content.substr(i);
        if (StartsWithNoCase(rest, L"url")) {
            size_t k = 3;
            while (k < rest.size() && IsSpace(rest[k]))
                ++k;
            if (k < rest.size() && rest[k] == L'=')
                rest = rest.substr(k + 1);
        }
        address = Trim(rest);
        if (address.size() >= 2 && (address[0] == L'\'' || address[0] == L'"')) {
            const size_t close = address.find(address[0], 1);
            address =
                address.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
        }
    }
    *seconds = int(value);
    *url = Trim(address);
    return true;
}

std::wstring ResolveUrl(const std::wstring& base, const std::wstring& ref) {
    std::wstring clean;
    for (wchar_t c : ref) { // browsers drop tabs and line breaks inside addresses
        if (c != L'\t' && c != L'\r' && c != L'\n')
            clean.push_back(c);
    }
    if (HasScheme(clean))
        return clean;
    std::wstring origin, path, rest;
    if (!SplitAbsolute(base, &origin, &path, &rest))
        return clean;
    const std::wstring query = rest.substr(0, rest.find(L'#'));
    if (clean.empty())
        return origin + path + query;
    if (clean.size() >= 2 && clean[0] == L'/' && clean[1] == L'/')
        return base.substr(0, base.find(L':') + 1) + clean;
    if (clean[0] == L'#')
        return origin + path + query + clean;
    if (clean[0] == L'?')
        return origin + path + clean;
    const size_t refRest = clean.find_first_of(L"?#");
    std::wstring refPath = clean.substr(0, refRest);
    const std::wstring refTail =
        refRest == std::wstring::npos ? std::wstring() : clean.substr(refRest);
    if (refPath.empty() || refPath[0] != L'/')
        refPath = path.substr(0, path.rfind(L'/') + 1) + refPath;
    return origin + NormalizePath(refPath) + refTail;
}

HtmlPage ParseHtml(const std::wstring& input, const std::wstring& pageUrl) {
    HtmlPage page;
    const std::wstring html = input.size() > kMaxHtmlChars ? input.substr(0, kMaxHtmlChars) : input;
    Builder builder(&page, pageUrl);
    size_t i = 0;
    std::wstring text;
    while (i < html.size()) {
        const wchar_t c = html[i];
        const bool tagStart = c == L'<' && i + 1 < html.size() &&
                              (IsAsciiAlpha(html[i + 1]) || html[i + 1] == L'/' ||
                               html[i + 1] == L'!' || html[i + 1] == L'?');
        if (!tagStart) {
            text.push_back(c);
            ++i;
            continue;
        }
        builder.Text(text);
        text.clear();
        if (html.compare(i, 4, L"<!--") == 0) {
            const size_t end = html.find(L"-->", i + 4);
            i = end == std::wstring::npos ? html.size() : end + 3;
            continue;
        }
        if (html[i + 1] == L'!' || html[i + 1] == L'?') {
            const size_t end = html.find(L'>', i);
            i = end == std::wstring::npos ? html.size() : end + 1;
            continue;
        }
        Tag tag;
        i = ReadTag(html, i, &tag);
        if (tag.closing) {
            builder.CloseTag(tag);
            continue;
        }
        if (tag.name == L"script" || tag.name == L"style" || tag.name == L"title" ||
            tag.name == L"textarea") {
            // Raw text up to the matching end tag (or the end of the page).
            const size_t end = FindNoCase(html, L"</" + tag.name, i);
            const std::wstring raw =
                html.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i);
            if (tag.name == L"title" && page.title.empty()) {
                std::wstring title;
                bool space = false;
                for (wchar_t t : DecodeEntities(raw)) {
                    if (IsSpace(t) || t == 0xA0) {
                        space = !title.empty();
                        continue;
                    }
                    if (space)
                        title.push_back(L' ');
                    space = false;
                    title.push_back(t);
                }
                page.title = title.substr(0, 1024);
            } else if (tag.name == L"textarea") {
                builder.Text(raw);
            }
            if (end == std::wstring::npos) {
                i = html.size();
            } else {
                const size_t close = html.find(L'>', end);
                i = close == std::wstring::npos ? html.size() : close + 1;
            }
            continue;
        }
        builder.OpenTag(tag);
    }
    builder.Text(text);
    builder.Finish();
    return page;
}
