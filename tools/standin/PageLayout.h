// Line layout of a parsed page for a given width, with text measured by the caller.
// No Windows header: builds natively too.
#pragma once

#include "HtmlPage.h"

#include <functional>
#include <string>
#include <vector>

enum class TextStyle { Title, Heading, Body, Link };

struct LaidText {
    int x = 0, y = 0, width = 0, height = 0;
    std::wstring text;
    TextStyle style = TextStyle::Body;
    int link = -1;
};

struct LayoutMetrics {
    int titleHeight = 30;
    int headingHeight = 24;
    int bodyHeight = 20;
    int margin = 12;
    int blockGap = 8;
    int bulletIndent = 18;
};

struct PageLayout {
    std::vector<LaidText> pieces;
    int height = 0; // bottom of the last line plus the margin
};

// Pixel width of `text` drawn in `style`; must be >= 0.
using MeasureText = std::function<int(TextStyle, const std::wstring&)>;

// Lays out title, blocks and links into lines no wider than `width` (words wrap; CJK text
// breaks between any two characters; a word wider than a line is broken by characters).
PageLayout LayoutPage(const HtmlPage& page, int width, const MeasureText& measure,
                      const LayoutMetrics& metrics = LayoutMetrics());

// Index of the link under (x, y), or -1.
int LinkAt(const PageLayout& layout, int x, int y);
