#include "PageLayout.h"

#include <algorithm>

namespace {

// Characters that may break anywhere: CJK scripts and full-width forms.
bool BreaksAnywhere(wchar_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

bool IsBlank(wchar_t c) {
    return c == L' ';
}

class LineWriter {
public:
    LineWriter(PageLayout* layout, int left, int right, const MeasureText& measure)
        : m_layout(layout), m_left(left), m_right(right), m_measure(measure) {}

    void StartBlock(int y, int indent, int lineHeight) {
        m_y = y;
        m_lineStart = m_left + indent;
        m_x = m_lineStart;
        m_lineHeight = lineHeight;
        m_pendingSpace = false;
        m_usedLine = false;
    }

    // Places one unbreakable token (a word, a CJK character or a space).
    void Token(const std::wstring& token, TextStyle style, int link) {
        if (token.empty())
            return;
        if (IsBlank(token[0])) {
            m_pendingSpace = m_x > m_lineStart;
            m_spaceStyle = style;
            m_spaceLink = link;
            return;
        }
        const int space = m_pendingSpace ? Measure(m_spaceStyle, L" ") : 0;
        const int width = Measure(style, token);
        if (m_x > m_lineStart && m_x + space + width > m_right) {
            NewLine();
        } else if (m_pendingSpace) {
            Place(L" ", m_spaceStyle, m_spaceLink, space);
        }
        m_pendingSpace = false;
        if (m_x == m_lineStart && width > m_right - m_lineStart && token.size() > 1) {
            // Wider than a whole line: break between characters.
            std::wstring piece;
            for (wchar_t c : token) {
                std::wstring next = piece + c;
                if (!piece.empty() && m_x + Measure(style, next) > m_right) {
                    Place(piece, style, link, Measure(style, piece));
                    NewLine();
                    next = std::wstring(1, c);
                }
                piece = next;
            }
            Place(piece, style, link, Measure(style, piece));
            return;
        }
        Place(token, style, link, width);
    }

    int EndBlock() { return m_usedLine ? m_y + m_lineHeight : m_y; }

private:
    int Measure(TextStyle style, const std::wstring& text) const {
        return std::max(0, m_measure(style, text));
    }

    void NewLine() {
        m_y += m_lineHeight;
        m_x = m_lineStart;
        m_pendingSpace = false;
    }

    void Place(const std::wstring& text, TextStyle style, int link, int width) {
        m_usedLine = true;
        auto& pieces = m_layout->pieces;
        if (!pieces.empty() && pieces.back().y == m_y && pieces.back().style == style &&
            pieces.back().link == link && pieces.back().x + pieces.back().width == m_x) {
            pieces.back().text += text;
            pieces.back().width += width;
        } else {
            LaidText laid;
            laid.x = m_x;
            laid.y = m_y;
            laid.width = width;
            laid.height = m_lineHeight;
            laid.text = text;
            laid.style = style;
            laid.link = link;
            pieces.push_back(laid);
        }
        m_x += width;
    }

    PageLayout* m_layout;
    int m_left, m_right;
    const MeasureText& m_measure;
    int m_x = 0, m_y = 0, m_lineStart = 0, m_lineHeight = 0;
    bool m_pendingSpace = false;
    bool m_usedLine = false;
    TextStyle m_spaceStyle = TextStyle::Body;
    int m_spaceLink = -1;
};

void WriteText(LineWriter* writer, const std::wstring& text, TextStyle style, int link) {
    std::wstring word;
    auto flush = [&]() {
        writer->Token(word, style, link);
        word.clear();
    };
    for (wchar_t c : text) {
        if (IsBlank(c)) {
            flush();
            writer->Token(L" ", style, link);
        } else if (BreaksAnywhere(c)) {
            flush();
            writer->Token(std::wstring(1, c), style, link);
        } else {
            word.push_back(c);
        }
    }
    flush();
}

} // namespace

PageLayout LayoutPage(const HtmlPage& page, int width, const MeasureText& measure,
                      const LayoutMetrics& metrics) {
    PageLayout layout;
    const int left = metrics.margin;
    const int right = std::max(left + 1, width - metrics.margin);
    LineWriter writer(&layout, left, right, measure);
    int y = metrics.margin;
    if (!page.title.empty()) {
        writer.StartBlock(y, 0, metrics.titleHeight);
        WriteText(&writer, page.title, TextStyle::Title, -1);
        y = writer.EndBlock() + metrics.blockGap;
    }
    for (const HtmlBlock& block : page.blocks) {
        const bool heading = block.kind == HtmlBlock::Heading;
        const int lineHeight = heading ? metrics.headingHeight : metrics.bodyHeight;
        const int indent = block.kind == HtmlBlock::ListItem ? metrics.bulletIndent : 0;
        writer.StartBlock(y, indent, lineHeight);
        if (block.kind == HtmlBlock::ListItem) {
            LaidText bullet;
            bullet.x = left + indent / 3;
            bullet.y = y;
            bullet.width = std::max(0, measure(TextStyle::Body, L"\x2022"));
            bullet.height = lineHeight;
            bullet.text = L"\x2022";
            layout.pieces.push_back(bullet);
        }
        for (const HtmlRun& run : block.runs) {
            const bool isLink = run.link >= 0 && size_t(run.link) < page.links.size();
            const TextStyle style =
                isLink ? TextStyle::Link : (heading ? TextStyle::Heading : TextStyle::Body);
            WriteText(&writer, run.text, style, isLink ? run.link : -1);
        }
        y = writer.EndBlock() + metrics.blockGap;
    }
    layout.height = y - metrics.blockGap + metrics.margin;
    return layout;
}

int LinkAt(const PageLayout& layout, int x, int y) {
    for (const LaidText& piece : layout.pieces) {
        if (piece.link >= 0 && x >= piece.x && x < piece.x + piece.width && y >= piece.y &&
            y < piece.y + piece.height)
            return piece.link;
    }
    return -1;
}
