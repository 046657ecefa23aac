// The stock frame images: a rounded border with a soft vertical gradient, tinted by one colour,
// built as a 32-bit block with alpha and blended onto the caller's bitmap.
#include "controls/FileListCtrl.h"

namespace {

// c mixed with white: part of 256 is white.
COLORREF Lighten(COLORREF c, int part) {
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return RGB(r + (255 - r) * part / 256, g + (255 - g) * part / 256, b + (255 - b) * part / 256);
}

// c mixed with black: part of 256 is black.
COLORREF Darken(COLORREF c, int part) {
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return RGB(r * (256 - part) / 256, g * (256 - part) / 256, b * (256 - part) / 256);
}

COLORREF Mix(COLORREF a, COLORREF b, int t, int range) {
    if (range <= 0) return a;
    auto ch = [&](int x, int y) { return x + (y - x) * t / range; };
    return RGB(ch(GetRValue(a), GetRValue(b)), ch(GetGValue(a), GetGValue(b)), ch(GetBValue(a), GetBValue(b)));
}

void Put(BYTE* p, COLORREF c, int alpha) {
    p[0] = GetBValue(c);
    p[1] = GetGValue(c);
    p[2] = GetRValue(c);
    p[3] = BYTE(alpha);
}

}  // namespace

BOOL DrawFrameImage(DibBlock* target, int x, int y, int width, int height, UINT flags, COLORREF color) {
    if (!DibIsBlock(target) || (target->biBitCount != 24 && target->biBitCount != 32)) return FALSE;
    if (width < 3 || height < 3) return FALSE;
    DibBlock* img = DibCreate(width, height, 32);
    if (!img) return FALSE;
    COLORREF base = (flags & DFI_COLOR) ? (color & 0xFFFFFF) : ::GetSysColor(COLOR_HIGHLIGHT);
    const bool pressed = (flags & DFI_PRESSED) != 0;
    const bool checked = (flags & DFI_CHECKED) != 0;
    COLORREF border = Darken(base, pressed ? 96 : 48);
    COLORREF top, bottom;
    if (pressed) {
        top = Lighten(base, 128);
        bottom = Lighten(base, 192);
    } else if (checked) {
        top = Lighten(base, 168);
        bottom = Lighten(base, 150);
    } else {
        top = Lighten(base, 224);
        bottom = Lighten(base, 176);
    }
    const COLORREF shine = Lighten(base, 248);
    // Rounded corners unless the edge joins the other part of a split button.
    const bool roundLeft = !(flags & DFI_SPLIT_DROP);
    const bool roundRight = !(flags & DFI_SPLIT_MAIN);
    BYTE* bits = DibGetBits(img);
    const int stride = DibGetStride(img);
    for (int j = 0; j < height; ++j) {
        // Blocks made by DibCreate are bottom-up.
        BYTE* row = bits + size_t(height - 1 - j) * size_t(stride);
        for (int i = 0; i < width; ++i) {
            BYTE* p = row + i * 4;
            const bool left = i == 0, right = i == width - 1, upper = j == 0, lower = j == height - 1;
            const bool corner = (upper || lower) && ((left && roundLeft) || (right && roundRight));
            if (corner) {
                Put(p, border, 0);
            } else if (left || right || upper || lower) {
                Put(p, border, 255);
            } else if (flags & DFI_NOFILL) {
                Put(p, base, 0);
            } else {
                const bool inner = i == 1 || i == width - 2 || j == 1 || j == height - 2;
                if (inner && !pressed) {
                    // A light inner rim lifts the raised looks.
                    Put(p, shine, 255);
                } else {
                    Put(p, Mix(top, bottom, j, height - 1), 255);
                }
            }
        }
    }
    BOOL ok = DibAlphaCopy32(target, x, y, img, 0, 0, width, height);
    DibFree(img);
    return ok;
}
