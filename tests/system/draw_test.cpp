// DIB blocks (create, convert, blit, blend, alpha, filter, GDI round trips) and the frame,
// glyph, text and icon helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "system/Draw.h"

namespace {

// A 24-bit DIB section selected into a memory DC, filled white.
class Canvas {
public:
    Canvas(int w, int h) : m_w(w), m_h(h) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        m_dc = CreateCompatibleDC(nullptr);
        m_bmp = CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        m_old = SelectObject(m_dc, m_bmp);
        Fill(RGB(255, 255, 255));
    }
    ~Canvas() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bmp);
        DeleteDC(m_dc);
    }
    void Fill(COLORREF c) {
        RECT r = {0, 0, m_w, m_h};
        HBRUSH b = CreateSolidBrush(c);
        FillRect(m_dc, &r, b);
        DeleteObject(b);
        GdiFlush();
    }
    COLORREF At(int x, int y) {
        GdiFlush();
        const BYTE* p = m_bits + (size_t(y) * m_w + x) * 4;
        return RGB(p[2], p[1], p[0]);
    }
    int Count(COLORREF c) {
        int n = 0;
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) n += At(x, y) == c;
        return n;
    }
    HDC Dc() const { return m_dc; }

private:
    int m_w, m_h;
    HDC m_dc;
    HBITMAP m_bmp;
    HGDIOBJ m_old;
    BYTE* m_bits = nullptr;
};

const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255), kWhite = RGB(255, 255, 255),
               kBlack = 0, kFace = RGB(192, 192, 192);

}  // namespace

TEST(Dib, CreateAccessAndMagic) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        DibBlock* d = DibCreate(7, 5, bits);
        ASSERT_NE(d, nullptr) << bits;
        EXPECT_TRUE(DibIsBlock(d));
        EXPECT_EQ(DibGetStride(d), ((7 * bits + 31) / 32) * 4);
        EXPECT_EQ(DibGetHeight(d), 5);
        EXPECT_EQ(DibGetPixel(d, 0, 0), kBlack);
        EXPECT_TRUE(DibSetPixel(d, 6, 4, kWhite));
        EXPECT_TRUE(DibSetPixel(d, 0, 0, kWhite));
        EXPECT_EQ(DibGetPixel(d, 6, 4), kWhite) << bits;
        EXPECT_EQ(DibGetPixel(d, 1, 0), kBlack) << bits;
        EXPECT_EQ(DibGetPixel(d, 7, 0), CLR_INVALID);
        EXPECT_FALSE(DibSetPixel(d, -1, 0, kWhite));
        // Row 0 is the top: in a bottom-up DIB it is stored last.
        if (bits == 24) {
            const BYTE* last = DibGetBits(d) + 4 * DibGetStride(d);
            EXPECT_EQ(last[0], 0xFF);
        }
        DibFree(d);
    }
    EXPECT_EQ(DibCreate(0, 5, 24), nullptr);
    EXPECT_EQ(DibCreate(5, 5, 12), nullptr);
    // Foreign and null pointers are left alone.
    BITMAPINFOHEADER foreign[2] = {};
    EXPECT_FALSE(DibIsBlock(&foreign[1]));
    DibFree(&foreign[1]);
    DibFree(nullptr);
    EXPECT_EQ(DibGetBits(&foreign[1]), nullptr);
    // A given palette.
    RGBQUAD pal[2] = {{0, 0, 255, 0}, {255, 0, 0, 0}};
    DibBlock* p = DibCreate(3, 3, 1, pal, 2);
    EXPECT_EQ(DibGetPixel(p, 1, 1), kRed);
    EXPECT_TRUE(DibSetPixel(p, 1, 1, RGB(10, 10, 250)));  // nearest entry: blue
    EXPECT_EQ(DibGetPixel(p, 1, 1), kBlue);
    DibFree(p);
}

TEST(Dib, ConvertRoundTrips) {
    DibBlock* src = DibCreate(4, 2, 24);
    const COLORREF colors[8] = {kRed, kGreen, kBlue, kWhite, kBlack, kFace, RGB(128, 128, 128), RGB(255, 255, 0)};
    for (int i = 0; i < 8; ++i) DibSetPixel(src, i % 4, i / 4, colors[i]);
    int stride = 0;
    // 24 -> 32 -> 24 is exact; 32 gets opaque alpha.
    DibBlock* d32 = DibConvert(0, src, 32, &stride);
    ASSERT_NE(d32, nullptr);
    EXPECT_EQ(stride, 16);
    EXPECT_EQ(DibGetBits(d32)[3], 0xFF);
    DibBlock* back = DibConvert(0, d32, 24, nullptr);
    // 8 bits: the standard colours stay exact.
    DibBlock* d8 = DibConvert(0, src, 8, nullptr);
    DibBlock* d4 = DibConvert(0, src, 4, nullptr);
    DibBlock* d16 = DibConvert(0, src, 16, nullptr);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(DibGetPixel(back, i % 4, i / 4), colors[i]) << i;
        EXPECT_EQ(DibGetPixel(d8, i % 4, i / 4), colors[i]) << i;
        EXPECT_EQ(DibGetPixel(d4, i % 4, i / 4), colors[i]) << i;
    }
    // 5-6-5 keeps the pure colours.
    EXPECT_EQ(DibGetPixel(d16, 0, 0), kRed);
    EXPECT_EQ(DibGetPixel(d16, 3, 0), kWhite);
    COLORREF g = DibGetPixel(d16, 2, 1);
    EXPECT_NEAR(GetRValue(g), 128, 4);
    DibBlock* d1 = DibConvert(0, src, 1, nullptr);
    EXPECT_EQ(DibGetPixel(d1, 3, 0), kWhite);
    EXPECT_EQ(DibGetPixel(d1, 0, 1), kBlack);
    DibBlock* screen = DibConvert(0, src, 0, nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(DibGetPixel(screen, 1, 0), kGreen);
    EXPECT_EQ(DibConvert(0, src, 7, nullptr), nullptr);
    for (DibBlock* d : {src, d32, back, d8, d4, d16, d1, screen}) DibFree(d);
}

TEST(Dib, BlitCopiesScalesAndKeys) {
    DibBlock* src = DibCreate(2, 2, 24);
    DibSetPixel(src, 0, 0, kRed);
    DibSetPixel(src, 1, 0, kGreen);
    DibSetPixel(src, 0, 1, kBlue);
    DibSetPixel(src, 1, 1, kFace);
    DibBlock* dst = DibCreate(6, 6, 32);
    ASSERT_TRUE(DibBlit(dst, 0, 0, 2, 2, src, 0, 0));
    EXPECT_EQ(DibGetPixel(dst, 1, 0), kGreen);
    EXPECT_EQ(DibGetPixel(dst, 0, 1), kBlue);
    // Twice the size: 0x8000 source steps.
    ASSERT_TRUE(DibBlit(dst, 2, 2, 4, 4, src, 0, 0, 0x8000, 0x8000));
    EXPECT_EQ(DibGetPixel(dst, 2, 2), kRed);
    EXPECT_EQ(DibGetPixel(dst, 3, 3), kRed);
    EXPECT_EQ(DibGetPixel(dst, 4, 3), kGreen);
    EXPECT_EQ(DibGetPixel(dst, 5, 5), kFace);
    // The key colour is left out; areas outside are clipped.
    DibBlock* dst2 = DibCreate(3, 3, 24);
    ASSERT_TRUE(DibBlit(dst2, -1, -1, 3, 3, src, 0, 0, 0x10000, 0x10000, kFace));
    EXPECT_EQ(DibGetPixel(dst2, 0, 0), kBlack);  // kFace skipped
    ASSERT_TRUE(DibBlit(dst2, 1, 1, 5, 5, src, 0, 0));
    EXPECT_EQ(DibGetPixel(dst2, 1, 1), kRed);
    EXPECT_EQ(DibGetPixel(dst2, 2, 2), kFace);
    // Same-depth indexed copy; a mismatched indexed target is refused.
    DibBlock* i4 = DibConvert(0, src, 4, nullptr);
    DibBlock* j4 = DibCreate(2, 2, 4);
    EXPECT_TRUE(DibBlit(j4, 0, 0, 2, 2, i4, 0, 0));
    EXPECT_EQ(DibGetPixel(j4, 1, 1), kFace);
    DibBlock* j8 = DibCreate(2, 2, 8);
    EXPECT_FALSE(DibBlit(j8, 0, 0, 2, 2, i4, 0, 0));
    for (DibBlock* d : {src, dst, dst2, i4, j4, j8}) DibFree(d);
}

TEST(Dib, BlendAlphaFilterReplace) {
    DibBlock* d = DibCreate(2, 1, 24);
    DibSetPixel(d, 0, 0, kBlack);
    DibSetPixel(d, 1, 0, kFace);
    ASSERT_TRUE(DibBlend(d, RGB(0xDF, 0xDF, 0xDF), kFace));
    EXPECT_EQ(DibGetPixel(d, 0, 0), RGB(0x70, 0x70, 0x70));
    EXPECT_EQ(DibGetPixel(d, 1, 0), kFace);  // the key stays
    DibSetPixel(d, 0, 0, kRed);
    ASSERT_TRUE(DibBlend(d, kBlack, CLR_NONE, 1, 0, DIB_BLEND_GRAY));  // grey only
    COLORREF grey = DibGetPixel(d, 0, 0);
    EXPECT_EQ(GetRValue(grey), GetGValue(grey));
    EXPECT_NEAR(GetRValue(grey), 77, 2);
    EXPECT_FALSE(DibBlend(d, kBlack, CLR_NONE, 0, 0));

    // Half-transparent red over white.
    DibBlock* s = DibCreate(1, 1, 32);
    BYTE* px = DibGetBits(s);
    px[0] = 0;
    px[1] = 0;
    px[2] = 255;
    px[3] = 128;
    DibBlock* t = DibCreate(2, 1, 32);
    DibSetPixel(t, 0, 0, kWhite);
    DibSetPixel(t, 1, 0, kWhite);
    DibGetBits(t)[3] = 0;  // pixel 0 fully transparent before
    ASSERT_TRUE(DibAlphaCopy32(t, 0, 0, s, 0, 0, 1, 1));
    COLORREF c = DibGetPixel(t, 0, 0);
    EXPECT_EQ(GetRValue(c), 255);
    EXPECT_NEAR(GetGValue(c), 127, 1);
    EXPECT_EQ(DibGetBits(t)[3], 128);
    ASSERT_TRUE(DibAlphaCopy32(t, 1, 0, s, 0, 0, 1, 1, 0));  // constant alpha 0: nothing
    EXPECT_EQ(DibGetPixel(t, 1, 0), kWhite);
    DibBlock* t24 = DibCreate(1, 1, 24);
    EXPECT_TRUE(DibAlphaCopy32(t24, 0, 0, s, 0, 0, 5, 5));
    EXPECT_NEAR(GetRValue(DibGetPixel(t24, 0, 0)), 128, 1);
    EXPECT_FALSE(DibAlphaCopy32(t, 0, 0, t24, 0, 0, 1, 1));  // source must be 32-bit

    // A box filter spreads a white dot; the border uses its own edge pixels.
    DibBlock* f = DibCreate(3, 3, 32);
    DibSetPixel(f, 1, 1, kWhite);
    const int box[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    ASSERT_TRUE(DibFilter32(f, box, 9));
    EXPECT_EQ(GetRValue(DibGetPixel(f, 1, 1)), 255 / 9);
    EXPECT_EQ(GetRValue(DibGetPixel(f, 0, 0)), 255 * 1 / 9);
    const int identity[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    DibBlock* g = DibCreate(3, 3, 32);
    DibSetPixel(g, 2, 0, kGreen);
    ASSERT_TRUE(DibFilter32(g, identity, 1));
    EXPECT_EQ(DibGetPixel(g, 2, 0), kGreen);
    EXPECT_FALSE(DibFilter32(g, identity, 0));
    EXPECT_FALSE(DibFilter32(d, identity, 1));

    DibBlock* r = DibCreate(3, 1, 24);
    DibSetPixel(r, 0, 0, kFace);
    DibSetPixel(r, 2, 0, kFace);
    EXPECT_EQ(DibReplaceColor(r, kFace, kBlue), 2);
    EXPECT_EQ(DibGetPixel(r, 2, 0), kBlue);
    DibSetPixel(r, 1, 0, RGB(0x80, 0x80, 0x80));
    DibSetPixel(r, 2, 0, RGB(0xDF, 0xDF, 0xDF));
    EXPECT_EQ(DibMapToSysColors(r), 2);
    EXPECT_EQ(DibGetPixel(r, 1, 0), GetSysColor(COLOR_BTNSHADOW) & 0xFFFFFF);
    EXPECT_EQ(DibGetPixel(r, 2, 0), GetSysColor(COLOR_3DLIGHT) & 0xFFFFFF);
    EXPECT_EQ(MapToSysColor(kFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(MapToSysColor(kRed), kRed);
    for (DibBlock* x : {d, s, t, t24, f, g, r}) DibFree(x);
}

TEST(Dib, GdiRoundTrips) {
    // A block through a GDI bitmap and back.
    DibBlock* src = DibCreate(3, 2, 24);
    DibSetPixel(src, 0, 0, kRed);
    DibSetPixel(src, 2, 0, kGreen);
    DibSetPixel(src, 1, 1, kBlue);
    HBITMAP bmp = DibCreateBitmap(src);
    ASSERT_NE(bmp, nullptr);
    int stride = 0;
    DibBlock* back = DibFromBitmap(0, bmp, &stride);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->biBitCount, 24);
    EXPECT_EQ(stride, 12);
    EXPECT_EQ(DibGetPixel(back, 0, 0), kRed);
    EXPECT_EQ(DibGetPixel(back, 2, 0), kGreen);
    EXPECT_EQ(DibGetPixel(back, 1, 1), kBlue);
    DeleteObject(bmp);
    EXPECT_EQ(DibFromBitmap(0, nullptr, nullptr), nullptr);

    // A device-dependent bitmap painted by GDI.
    HDC screen = GetDC(nullptr);
    HBITMAP ddb = CreateCompatibleBitmap(screen, 4, 4);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, ddb);
    RECT all = {0, 0, 4, 4};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetPixelV(mem, 3, 0, kRed);
    SelectObject(mem, old);
    DibBlock* fromDdb = DibFromBitmap(0, ddb, nullptr);
    ASSERT_NE(fromDdb, nullptr);
    EXPECT_EQ(DibGetPixel(fromDdb, 3, 0), kRed);
    EXPECT_EQ(DibGetPixel(fromDdb, 0, 3), kWhite);
    DeleteObject(ddb);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    // Drawing to a device keeps the top row on top, also for a part and scaled.
    Canvas c(8, 8);
    ASSERT_TRUE(DibDrawToDevice(c.Dc(), 1, 1, -1, -1, src));
    EXPECT_EQ(c.At(1, 1), kRed);
    EXPECT_EQ(c.At(3, 1), kGreen);
    EXPECT_EQ(c.At(2, 2), kBlue);
    c.Fill(kWhite);
    ASSERT_TRUE(DibDrawToDevice(c.Dc(), 0, 0, 2, 2, src, 1, 1, 1, 1));  // the blue pixel, doubled
    EXPECT_EQ(c.At(0, 0), kBlue);
    EXPECT_EQ(c.At(1, 1), kBlue);
    EXPECT_EQ(c.At(2, 2), kWhite);
    EXPECT_FALSE(DibDrawToDevice(nullptr, 0, 0, 1, 1, src));

    // An icon with its transparency.
    HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512) /* IDI_APPLICATION */);
    ASSERT_NE(icon, nullptr);
    DibBlock* ic = DibFromIcon(icon, 16);
    ASSERT_NE(ic, nullptr);
    EXPECT_EQ(ic->biBitCount, 32);
    EXPECT_EQ(DibGetWidth(ic), 16);
    int opaque = 0, clear = 0;
    for (int i = 0; i < 16 * 16; ++i) {
        BYTE a = DibGetBits(ic)[i * 4 + 3];
        opaque += a == 255;
        clear += a == 0;
    }
    EXPECT_GT(opaque, 0);
    EXPECT_GT(opaque + clear, 0);
    DibFree(ic);
    EXPECT_EQ(DibFromIcon(nullptr), nullptr);
    DibFree(src);
    DibFree(back);
    DibFree(fromDdb);
}

TEST(Draw, FramesGlyphsAndText) {
    Canvas c(20, 20);
    RECT r = {2, 2, 12, 12};
    Draw3dFrame(c.Dc(), &r, kRed, kBlue);
    EXPECT_EQ(c.At(2, 2), kRed);
    EXPECT_EQ(c.At(10, 2), kRed);
    EXPECT_EQ(c.At(11, 2), kBlue);   // the bottom-right colour owns the corner
    EXPECT_EQ(c.At(11, 11), kBlue);
    EXPECT_EQ(c.At(2, 11), kBlue);
    EXPECT_EQ(c.At(5, 5), kWhite);
    EXPECT_EQ(c.At(12, 12), kWhite);
    Draw3dFrame(c.Dc(), &r, kRed, kBlue, D3F_SUNKEN | D3F_FILL);
    EXPECT_EQ(c.At(2, 2), kBlue);
    EXPECT_EQ(c.At(11, 11), kRed);
    EXPECT_EQ(c.At(5, 5), GetSysColor(COLOR_BTNFACE) & 0xFFFFFF);
    c.Fill(kWhite);
    Draw3dFrame(c.Dc(), &r, CLR_DEFAULT, CLR_DEFAULT, D3F_DOUBLE);
    EXPECT_EQ(c.At(3, 3), GetSysColor(COLOR_BTNHIGHLIGHT) & 0xFFFFFF);
    EXPECT_EQ(c.At(11, 11), GetSysColor(COLOR_3DDKSHADOW) & 0xFFFFFF);

    // Classic button frames: normal draws nothing, hot raised, pressed sunken.
    c.Fill(kWhite);
    EXPECT_TRUE(DrawThemedFrame(c.Dc(), nullptr, &r, 1));
    EXPECT_EQ(c.Count(kWhite), 400);
    EXPECT_TRUE(DrawThemedFrame(c.Dc(), nullptr, &r, 2));
    EXPECT_EQ(c.At(11, 11), GetSysColor(COLOR_BTNSHADOW) & 0xFFFFFF);
    EXPECT_TRUE(DrawThemedFrame(c.Dc(), nullptr, &r, 3));
    EXPECT_EQ(c.At(2, 2), GetSysColor(COLOR_BTNSHADOW) & 0xFFFFFF);
    EXPECT_FALSE(DrawThemedFrame(c.Dc(), nullptr, &r, 5));
    HTHEME theme = OpenTheme(nullptr, L"TOOLBAR");
    if (theme) {
        c.Fill(kWhite);
        EXPECT_TRUE(DrawThemedFrame(c.Dc(), theme, &r, 3));
        CloseTheme(theme);
    }

    // Check cells: checked differs from unchecked.
    c.Fill(kWhite);
    RECT cell = {0, 0, 13, 13};
    DrawFrameButton(c.Dc(), &cell, 0);
    int unchecked = c.Count(kBlack);
    c.Fill(kWhite);
    DrawFrameButton(c.Dc(), &cell, DFB_CHECKED);
    EXPECT_GT(c.Count(kBlack), unchecked);
    c.Fill(kWhite);
    DrawFrameButton(c.Dc(), &cell, DFB_CHECKED, DFB_RADIO | DFB_THEMED);
    EXPECT_LT(c.Count(kWhite), 400);

    // A tick from the Marlett font in the text colour.
    c.Fill(kWhite);
    SetTextColor(c.Dc(), kRed);
    RECT g = {0, 0, 20, 20};
    DrawMarlettGlyph(c.Dc(), &g, MARLETT_CHECK);
    EXPECT_GT(c.Count(kRed), 5);
    c.Fill(kWhite);
    DrawMarlettGlyph(c.Dc(), &g, MARLETT_CHECK | DMG_DISABLED);
    EXPECT_EQ(c.Count(kRed), 0);
    EXPECT_LT(c.Count(kWhite), 400);

    c.Fill(kWhite);
    DrawDisabledTextW(c.Dc(), L"Wm", -1, &g, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    EXPECT_LT(c.Count(kWhite), 400);

    // Text sizes.
    DWORD one = GetTextSizeW(nullptr, L"H", -1, DT_SINGLELINE, nullptr);
    DWORD two = GetTextSizeW(nullptr, L"HH", -1, DT_SINGLELINE, nullptr);
    EXPECT_GT(LOWORD(one), 0);
    EXPECT_EQ(LOWORD(two), 2 * LOWORD(one));
    EXPECT_GT(HIWORD(one), 0);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW tm;
    GetTextMetricsW(screen, &tm);
    SelectObject(screen, old);
    EXPECT_EQ(HIWORD(GetTextSizeW(screen, L"H", 1, GTS_FONT_HEIGHT | DT_SINGLELINE, font)), tm.tmHeight);
    EXPECT_EQ(HIWORD(GetTextSizeW(screen, L"", 0, GTS_FONT_HEIGHT, font)), tm.tmHeight);
    EXPECT_EQ(GetTextSizeW(screen, L"", 0, 0, font), 0u);
    ReleaseDC(nullptr, screen);
    DWORD lines = GetTextSizeW(nullptr, L"a\nb", -1, 0, nullptr);
    EXPECT_GT(HIWORD(lines), HIWORD(one));

    SIZE s;
    EXPECT_TRUE(GetUiMetricPair(0, &s));
    EXPECT_GT(s.cx, 0);
    EXPECT_GT(s.cy, 0);
    EXPECT_TRUE(GetUiMetricPair(1, &s));
    EXPECT_EQ(s.cx, GetSystemMetrics(SM_CXSMICON));
    EXPECT_FALSE(GetUiMetricPair(9, &s));
}

TEST(Draw, GlyphsWithoutTheMarlettFont) {
    UseMarlettFont(false);
    EXPECT_FALSE(HasMarlettFont());
    Canvas c(16, 16);
    SetTextColor(c.Dc(), kRed);
    const RECT g = {0, 0, 16, 16};
    // The box round the ink of a glyph drawn in 16 x 16 (the arrows as the path combo box has
    // always drawn them: 9 wide, 5 high).
    struct {
        UINT glyph;
        RECT ink;
    } rows[] = {{MARLETT_ARROW_DOWN, {4, 6, 13, 11}}, {MARLETT_ARROW_UP, {4, 6, 13, 11}},
                {MARLETT_ARROW_RIGHT, {6, 4, 11, 13}}, {MARLETT_ARROW_LEFT, {6, 4, 11, 13}},
                {MARLETT_RADIO_DOT, {5, 5, 11, 11}}, {'x', {0, 0, 0, 0}}};
    for (auto& r : rows) {
        for (bool viaFont : {false, true}) {
            c.Fill(kWhite);
            if (viaFont)
                DrawMarlettGlyph(c.Dc(), &g, r.glyph);
            else
                DrawGlyphShape(c.Dc(), &g, r.glyph);
            RECT ink = {16, 16, 0, 0};
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    if (c.At(x, y) == kRed) {
                        ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                               std::max<LONG>(ink.bottom, y + 1)};
                    }
            if (IsRectEmpty(&r.ink)) {
                EXPECT_EQ(c.Count(kWhite), 256) << r.glyph;
                continue;
            }
            EXPECT_TRUE(EqualRect(&ink, &r.ink)) << char(r.glyph) << viaFont << ": " << ink.left << "," << ink.top << ","
                                                 << ink.right << "," << ink.bottom;
        }
    }
    // The tick: its lowest ink left of the middle, its highest right of it; disabled in grey.
    c.Fill(kWhite);
    DrawMarlettGlyph(c.Dc(), &g, MARLETT_CHECK);
    int top = -1, bottom = -1;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (c.At(x, y) == kRed) {
                if (top < 0) top = y;
                bottom = y;
            }
    ASSERT_GE(top, 0);
    for (int x = 0; x < 16; ++x) {
        if (c.At(x, top) == kRed) EXPECT_GT(x, 8);
        if (c.At(x, bottom) == kRed) EXPECT_LT(x, 8);
    }
    c.Fill(kWhite);
    DrawMarlettGlyph(c.Dc(), &g, MARLETT_CHECK | DMG_DISABLED);
    EXPECT_EQ(c.Count(kRed), 0);
    EXPECT_GT(c.Count(GetSysColor(COLOR_GRAYTEXT) & 0xFFFFFF), 5);
    UseMarlettFont(true);
}

TEST(Draw, ThemeLoaderAndShellIcons) {
    const UxThemeApi* t = GetUxTheme();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t, GetUxTheme());
    EXPECT_NE(t->OpenThemeData, nullptr);
    EXPECT_NE(t->DrawThemeBackground, nullptr);

    EXPECT_NE(GetSysImageList(TRUE), nullptr);
    EXPECT_NE(GetSysImageList(FALSE), nullptr);
    int plain = GetPlainFileIconIndex();
    EXPECT_GE(plain, 0);
    EXPECT_EQ(GetPlainFileIconIndex(), plain);
    int c = GetDriveIconIndex('C');
    EXPECT_GE(c, 0);
    EXPECT_EQ(GetDriveIconIndex('c'), c);
    EXPECT_GE(GetDriveIconIndex('C', FALSE), 0);
    EXPECT_EQ(GetDriveIconIndex('1'), -1);
    DWORD drives = GetLogicalDrives();
    for (int d = 25; d >= 3; --d)
        if (!(drives & (1u << d))) {
            EXPECT_EQ(GetDriveIconIndex(char('A' + d)), -1);
            break;
        }
    EXPECT_EQ(GetSystemDriveLetter(), 'C');
}
