// The built Velmora.exe carries every picture and menu the screens load, at their sizes.
#include "UiTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class ClientResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_module = LoadLibraryExW((test::ExeFolder() + L"Velmora.exe").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() {
        if (s_module)
            FreeLibrary(s_module);
        s_module = nullptr;
    }
    static const void* Resource(int id, const wchar_t* type, DWORD* size) {
        const HRSRC found = FindResourceW(s_module, MAKEINTRESOURCEW(id), type);
        if (!found)
            return nullptr;
        *size = SizeofResource(s_module, found);
        return LockResource(LoadResource(s_module, found));
    }
    static HMODULE s_module;
};
HMODULE ClientResources::s_module = nullptr;

TEST_F(ClientResources, EveryBitmapExistsAt24BitsAndItsSize) {
    ASSERT_NE(s_module, nullptr);
    struct Bitmap {
        int id, width, height;
    } bitmaps[] = {
        // login window: close, minimise (normal, hover), key-coloured picture
        {134, 40, 41},
        {168, 40, 41},
        {135, 31, 31},
        {169, 31, 31},
        {136, 8, 8},
        // game toolbar: strip, close, minimise, maximise, restore, to tray
        {148, 1500, 27},
        {138, 28, 27},
        {158, 28, 27},
        {142, 28, 27},
        {161, 28, 27},
        {141, 27, 27},
        {160, 27, 27},
        {143, 27, 27},
        {162, 27, 27},
        {137, 27, 27},
        {157, 27, 27},
        // page buttons: forum, official site, recharge, customer service, settings
        {139, 38, 18},
        {159, 38, 18},
        {144, 38, 18},
        {163, 38, 18},
        {145, 38, 18},
        {167, 38, 18},
        {146, 38, 18},
        {164, 38, 18},
        {147, 38, 18},
        {165, 38, 18},
        // toolbar icon, QQ window borders
        {140, 16, 16},
        {182, 3, 359},
        {184, 469, 4},
    };
    for (const Bitmap& b : bitmaps) {
        DWORD size = 0;
        const auto* header = static_cast<const BITMAPINFOHEADER*>(Resource(b.id, RT_BITMAP, &size));
        ASSERT_NE(header, nullptr) << b.id;
        ASSERT_GE(size, sizeof(BITMAPINFOHEADER)) << b.id;
        EXPECT_EQ(header->biWidth, b.width) << b.id;
        EXPECT_EQ(std::abs(header->biHeight), b.height) << b.id;
        EXPECT_EQ(header->biBitCount, 24) << b.id;
        EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB)) << b.id;
    }
}

TEST_F(ClientResources, SeeThroughPartsArePaintedInTheKeyColour) {
    struct Probe {
        int id;
        int x, y; // from the top
        bool key;
    } probes[] = {
        {136, 0, 0, true},   {136, 7, 7, true},    {134, 0, 0, true},  {134, 20, 20, false},
        {168, 39, 40, true}, {168, 20, 20, false}, {135, 0, 30, true}, {135, 15, 15, false},
        {169, 30, 0, true},  {169, 15, 15, false}, {140, 8, 8, false}, {148, 700, 13, false},
    };
    for (const Probe& p : probes) {
        HBITMAP bitmap = LoadBitmapW(s_module, MAKEINTRESOURCEW(p.id));
        ASSERT_NE(bitmap, nullptr) << p.id;
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        EXPECT_EQ(GetPixel(dc, p.x, p.y) == RGB(255, 128, 255), p.key) << p.id;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
}

TEST_F(ClientResources, MenusHoldTheirItemsInOrder) {
    struct Item {
        const wchar_t* text;
        UINT id;
    };
    struct Menu {
        int id;
        std::vector<Item> items;
    } menus[] = {
        {149, {{L"刷新", 32774}, {L"清理缓存", 32778}, {L"开机启动", 32776}}},
        {156, {{L"打开", 32781}, {L"退出", 32782}}},
    };
    for (const Menu& m : menus) {
        DWORD size = 0;
        const void* bytes = Resource(m.id, RT_MENU, &size);
        ASSERT_NE(bytes, nullptr) << m.id;
        HMENU bar = LoadMenuIndirectW(bytes);
        ASSERT_NE(bar, nullptr) << m.id;
        HMENU popup = GetSubMenu(bar, 0);
        ASSERT_NE(popup, nullptr) << m.id;
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(m.items.size())) << m.id;
        for (size_t i = 0; i < m.items.size(); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            EXPECT_STREQ(text, m.items[i].text) << m.id;
            EXPECT_EQ(GetMenuItemID(popup, static_cast<int>(i)), m.items[i].id) << m.id;
        }
        DestroyMenu(bar);
    }
}

TEST_F(ClientResources, SkinIsA1213By749RgbaPngTransparentAroundTheArtwork) {
    DWORD size = 0;
    const auto* png = static_cast<const unsigned char*>(Resource(170, L"PNG", &size));
    ASSERT_NE(png, nullptr);
    ASSERT_GT(size, 33u);
    EXPECT_EQ(std::memcmp(png, "\x89PNG\r\n\x1a\n", 8), 0);
    const auto be32 = [&](size_t at) {
        return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    };
    EXPECT_EQ(be32(16), 1213);
    EXPECT_EQ(be32(20), 749);
    EXPECT_EQ(png[24], 8); // bits per channel
    EXPECT_EQ(png[25], 6); // red, green, blue and alpha

    uitest::Picture picture;
    ASSERT_TRUE(uitest::DecodePng(png, size, &picture));
    ASSERT_EQ(picture.width, 1213);
    ASSERT_EQ(picture.height, 749);
    size_t clear = 0, partial = 0, outside = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t alpha = picture.At(x, y) >> 24;
            if (alpha == 0) {
                ++clear;
                continue;
            }
            if (alpha < 255)
                ++partial;
            if (x < 82 || x > 1157 || y < 70 || y > 692)
                ++outside;
        }
    }
    const double all = 1213.0 * 749.0;
    EXPECT_NEAR(clear / all, 0.43, 0.02);
    EXPECT_NEAR(partial / all, 0.05, 0.015);
    EXPECT_EQ(outside, 0u);
    // Where the login window puts its browser and buttons the artwork is solid.
    const POINT solid[] = {{383, 234}, {962, 588}, {673, 400}, {1041, 166}, {1077, 165}};
    for (const POINT& p : solid)
        EXPECT_EQ(picture.At(p.x, p.y) >> 24, 255u) << p.x << "," << p.y;
}

} // namespace
