// DIB blocks: device-independent bitmaps in one allocation.
#include "system/Draw.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Lies right before the BITMAPINFOHEADER of every block.
struct HiddenHeader {
    DWORD magic;
    DWORD total;        // bytes of the whole allocation
    DWORD reserved[2];  // keeps the header 16 bytes, the DIB 8-byte aligned
};

HiddenHeader* HiddenOf(const DibBlock* dib) {
    return reinterpret_cast<HiddenHeader*>(const_cast<DibBlock*>(dib)) - 1;
}

int TableEntries(const BITMAPINFOHEADER* h) {
    if (h->biBitCount <= 8) return h->biClrUsed ? int(h->biClrUsed) : (1 << h->biBitCount);
    if (h->biCompression == BI_BITFIELDS) return 3;
    return 0;
}

int StrideOf(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

bool GoodDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// A block with a zeroed table and pixels; the caller fills the table.
DibBlock* AllocBlock(int width, int height, int bits, DWORD compression, int tableEntries) {
    if (width <= 0 || height <= 0 || !GoodDepth(bits) || width > 0x7FFF || height > 0x7FFF) return nullptr;
    size_t stride = size_t(StrideOf(width, bits));
    size_t total = sizeof(HiddenHeader) + sizeof(BITMAPINFOHEADER) + size_t(tableEntries) * 4 + stride * size_t(height);
    HiddenHeader* hh = static_cast<HiddenHeader*>(calloc(1, total));
    if (!hh) return nullptr;
    hh->magic = DIB_MAGIC;
    hh->total = DWORD(total);
    DibBlock* h = reinterpret_cast<DibBlock*>(hh + 1);
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = WORD(bits);
    h->biCompression = compression;
    h->biSizeImage = DWORD(stride * size_t(height));
    h->biClrUsed = bits <= 8 ? DWORD(tableEntries) : 0;
    return h;
}

DWORD* MasksOf(const DibBlock* dib) {
    return reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(const_cast<DibBlock*>(dib)) + dib->biSize);
}

BYTE* RowOf(const DibBlock* dib, int y) {
    int h = dib->biHeight < 0 ? -dib->biHeight : dib->biHeight;
    int stride = StrideOf(dib->biWidth, dib->biBitCount);
    BYTE* bits = DibGetBits(dib);
    return bits + size_t(dib->biHeight > 0 ? h - 1 - y : y) * size_t(stride);
}

struct MaskInfo {
    DWORD mask[3];  // red, green, blue
    int shift[3];
    int width[3];
};

MaskInfo MasksFor(const DibBlock* dib) {
    MaskInfo m;
    if (dib->biCompression == BI_BITFIELDS) {
        const DWORD* p = MasksOf(dib);
        m.mask[0] = p[0];
        m.mask[1] = p[1];
        m.mask[2] = p[2];
    } else if (dib->biBitCount == 16) {
        m.mask[0] = 0x7C00;
        m.mask[1] = 0x03E0;
        m.mask[2] = 0x001F;
    } else {
        m.mask[0] = 0xFF0000;
        m.mask[1] = 0x00FF00;
        m.mask[2] = 0x0000FF;
    }
    for (int c = 0; c < 3; ++c) {
        DWORD v = m.mask[c];
        int s = 0, w = 0;
        if (v) {
            while (!(v & 1)) {
                v >>= 1;
                ++s;
            }
            while (v & 1) {
                v >>= 1;
                ++w;
            }
        }
        m.shift[c] = s;
        m.width[c] = w;
    }
    return m;
}

inline BYTE Expand(DWORD value, int width) {
    if (width <= 0) return 0;
    if (width >= 8) return BYTE(value >> (width - 8));
    DWORD max = (1u << width) - 1;
    return BYTE((value * 255 + max / 2) / max);
}

inline DWORD Shrink(BYTE v, int width) {
    if (width <= 0) return 0;
    if (width >= 8) return DWORD(v) << (width - 8);
    DWORD max = (1u << width) - 1;
    return (DWORD(v) * max + 127) / 255;
}

// Reads pixel (x, y) as B, G, R, A; the caller checks the bounds.
void ReadPixel(const DibBlock* dib, const MaskInfo& m, int x, int y, BYTE out[4]) {
    const BYTE* row = RowOf(dib, y);
    int bits = dib->biBitCount;
    if (bits <= 8) {
        int index;
        if (bits == 8)
            index = row[x];
        else if (bits == 4)
            index = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
        else
            index = (row[x >> 3] >> (7 - (x & 7))) & 1;
        int count = 0;
        const RGBQUAD* pal = DibGetPalette(dib, &count);
        if (index < count) {
            out[0] = pal[index].rgbBlue;
            out[1] = pal[index].rgbGreen;
            out[2] = pal[index].rgbRed;
        } else {
            out[0] = out[1] = out[2] = 0;
        }
        out[3] = 255;
        return;
    }
    if (bits == 24) {
        const BYTE* p = row + x * 3;
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        out[3] = 255;
        return;
    }
    DWORD px;
    if (bits == 16) {
        px = DWORD(row[x * 2]) | (DWORD(row[x * 2 + 1]) << 8);
    } else {
        memcpy(&px, row + x * 4, 4);
    }
    out[2] = Expand((px & m.mask[0]) >> m.shift[0], m.width[0]);
    out[1] = Expand((px & m.mask[1]) >> m.shift[1], m.width[1]);
    out[0] = Expand((px & m.mask[2]) >> m.shift[2], m.width[2]);
    out[3] = bits == 32 ? BYTE(px >> 24) : 255;
}

int NearestIndex(const RGBQUAD* pal, int count, const BYTE bgr[3]) {
    int best = 0;
    long bestDist = 0x7FFFFFFF;
    for (int i = 0; i < count; ++i) {
        long db = long(pal[i].rgbBlue) - bgr[0], dg = long(pal[i].rgbGreen) - bgr[1], dr = long(pal[i].rgbRed) - bgr[2];
        long d = db * db + dg * dg + dr * dr;
        if (d < bestDist) {
            bestDist = d;
            best = i;
            if (!d) break;
        }
    }
    return best;
}

void WriteIndex(BYTE* row, int bits, int x, int index) {
    if (bits == 8) {
        row[x] = BYTE(index);
    } else if (bits == 4) {
        BYTE& b = row[x >> 1];
        b = (x & 1) ? BYTE((b & 0xF0) | (index & 0x0F)) : BYTE((b & 0x0F) | ((index & 0x0F) << 4));
    } else {
        BYTE bit = BYTE(0x80 >> (x & 7));
        row[x >> 3] = index & 1 ? BYTE(row[x >> 3] | bit) : BYTE(row[x >> 3] & ~bit);
    }
}

// Writes B, G, R, A to pixel (x, y); indexed depths take the nearest palette entry.
void WritePixel(DibBlock* dib, const MaskInfo& m, int x, int y, const BYTE in[4]) {
    BYTE* row = RowOf(dib, y);
    int bits = dib->biBitCount;
    if (bits <= 8) {
        int count = 0;
        const RGBQUAD* pal = DibGetPalette(dib, &count);
        WriteIndex(row, bits, x, NearestIndex(pal, count, in));
        return;
    }
    if (bits == 24) {
        BYTE* p = row + x * 3;
        p[0] = in[0];
        p[1] = in[1];
        p[2] = in[2];
        return;
    }
    DWORD px = (Shrink(in[2], m.width[0]) << m.shift[0]) | (Shrink(in[1], m.width[1]) << m.shift[1]) |
               (Shrink(in[0], m.width[2]) << m.shift[2]);
    if (bits == 16) {
        row[x * 2] = BYTE(px);
        row[x * 2 + 1] = BYTE(px >> 8);
    } else {
        px |= DWORD(in[3]) << 24;
        memcpy(row + x * 4, &px, 4);
    }
}

const RGBQUAD kStandard16[16] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},     {0, 128, 0, 0},     {0, 128, 128, 0},
    {128, 0, 0, 0},     {128, 0, 128, 0},   {128, 128, 0, 0},   {192, 192, 192, 0},
    {128, 128, 128, 0}, {0, 0, 255, 0},     {0, 255, 0, 0},     {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0},   {255, 255, 0, 0},   {255, 255, 255, 0},
};

void DefaultPalette(int bits, RGBQUAD* pal) {
    if (bits == 1) {
        pal[0] = RGBQUAD{0, 0, 0, 0};
        pal[1] = RGBQUAD{255, 255, 255, 0};
    } else if (bits == 4) {
        memcpy(pal, kStandard16, sizeof kStandard16);
    } else {
        // The 16 standard colours (the classic greys among them), a 6x6x6 cube, grey steps.
        memcpy(pal, kStandard16, sizeof kStandard16);
        int n = 16;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) pal[n++] = RGBQUAD{BYTE(b * 51), BYTE(g * 51), BYTE(r * 51), 0};
        for (int i = 0; n < 256; ++i, ++n) {
            BYTE v = BYTE(8 + i * 10);
            pal[n] = RGBQUAD{v, v, v, 0};
        }
    }
}

inline COLORREF ToColorRef(const BYTE p[4]) { return RGB(p[2], p[1], p[0]); }

inline void FromColorRef(COLORREF c, BYTE p[4]) {
    p[0] = GetBValue(c);
    p[1] = GetGValue(c);
    p[2] = GetRValue(c);
    p[3] = 255;
}

bool IsBlockDepth(const DibBlock* dib, int bits) { return DibIsBlock(dib) && dib->biBitCount == bits; }

// Copies a packed DIB (resource data) into a new bottom-up block.
DibBlock* FromPacked(const BYTE* data, DWORD size) {
    if (size < sizeof(BITMAPINFOHEADER)) return nullptr;
    BITMAPINFOHEADER h;
    memcpy(&h, data, sizeof h);
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > size || h.biPlanes != 1 || !GoodDepth(h.biBitCount))
        return nullptr;
    bool fields = h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32);
    if (h.biCompression != BI_RGB && !fields) return nullptr;
    int width = h.biWidth, height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    int entries = h.biBitCount <= 8 ? (h.biClrUsed ? int(h.biClrUsed) : (1 << h.biBitCount)) : 0;
    if (entries > (1 << h.biBitCount)) return nullptr;
    size_t tableBytes = size_t(entries) * 4 + ((fields && h.biSize == sizeof(BITMAPINFOHEADER)) ? 12 : 0);
    size_t offset = h.biSize + tableBytes;
    size_t stride = size_t(StrideOf(width, h.biBitCount));
    if (width <= 0 || height <= 0 || offset + stride * size_t(height) > size) return nullptr;
    DibBlock* dib = AllocBlock(width, height, h.biBitCount, fields ? BI_BITFIELDS : BI_RGB, fields ? 3 : entries);
    if (!dib) return nullptr;
    if (fields) {
        // Masks follow a plain header, or stand inside a V4/V5 header at the same place.
        memcpy(MasksOf(dib), data + sizeof(BITMAPINFOHEADER), 12);
    } else if (entries) {
        memcpy(MasksOf(dib), data + h.biSize, size_t(entries) * 4);
    }
    dib->biXPelsPerMeter = h.biXPelsPerMeter;
    dib->biYPelsPerMeter = h.biYPelsPerMeter;
    BYTE* bits = DibGetBits(dib);
    const BYTE* src = data + offset;
    for (int y = 0; y < height; ++y) {
        // Source row y of storage order; a top-down source is flipped into bottom-up.
        int dstRow = h.biHeight < 0 ? height - 1 - y : y;
        memcpy(bits + size_t(dstRow) * stride, src + size_t(y) * stride, stride);
    }
    return dib;
}

// Hands every pixel (B, G, R, A) to edit, which returns whether it changed the pixel: a
// changed pixel is written back.
template <class Edit>
void EditPixels(DibBlock* dib, Edit edit) {
    MaskInfo m = MasksFor(dib);
    int w = dib->biWidth, h = DibGetHeight(dib);
    BYTE p[4];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ReadPixel(dib, m, x, y, p);
            if (edit(p)) WritePixel(dib, m, x, y, p);
        }
}

}  // namespace

// ----- basic access --------------------------------------------------------------------------

DibBlock* DibCreate(int width, int height, int bitCount, const RGBQUAD* palette, int paletteCount) {
    int entries = bitCount <= 8 ? (1 << bitCount) : (bitCount == 16 ? 3 : 0);
    DibBlock* dib = AllocBlock(width, height, bitCount, bitCount == 16 ? BI_BITFIELDS : BI_RGB, entries);
    if (!dib) return nullptr;
    if (bitCount == 16) {
        DWORD* m = MasksOf(dib);
        m[0] = 0xF800;
        m[1] = 0x07E0;
        m[2] = 0x001F;
    } else if (bitCount <= 8) {
        RGBQUAD* pal = reinterpret_cast<RGBQUAD*>(MasksOf(dib));
        DefaultPalette(bitCount, pal);
        if (palette && paletteCount > 0) memcpy(pal, palette, size_t(paletteCount < entries ? paletteCount : entries) * 4);
    }
    return dib;
}

bool DibIsBlock(const DibBlock* dib) { return dib && HiddenOf(dib)->magic == DIB_MAGIC; }

void DibFree(DibBlock* dib) {
    if (!DibIsBlock(dib)) return;
    HiddenHeader* hh = HiddenOf(dib);
    hh->magic = 0;
    free(hh);
}

BYTE* DibGetBits(const DibBlock* dib) {
    if (!DibIsBlock(dib)) return nullptr;
    return reinterpret_cast<BYTE*>(const_cast<DibBlock*>(dib)) + dib->biSize + size_t(TableEntries(dib)) * 4;
}

int DibGetStride(const DibBlock* dib) { return DibIsBlock(dib) ? StrideOf(dib->biWidth, dib->biBitCount) : 0; }

int DibGetWidth(const DibBlock* dib) { return DibIsBlock(dib) ? dib->biWidth : 0; }

int DibGetHeight(const DibBlock* dib) {
    return DibIsBlock(dib) ? (dib->biHeight < 0 ? -dib->biHeight : dib->biHeight) : 0;
}

RGBQUAD* DibGetPalette(const DibBlock* dib, int* pCount) {
    if (pCount) *pCount = 0;
    if (!DibIsBlock(dib) || dib->biBitCount > 8) return nullptr;
    if (pCount) *pCount = TableEntries(dib);
    return reinterpret_cast<RGBQUAD*>(MasksOf(dib));
}

COLORREF DibGetPixel(const DibBlock* dib, int x, int y) {
    if (!DibIsBlock(dib) || x < 0 || y < 0 || x >= dib->biWidth || y >= DibGetHeight(dib)) return CLR_INVALID;
    BYTE p[4];
    ReadPixel(dib, MasksFor(dib), x, y, p);
    return ToColorRef(p);
}

BOOL DibSetPixel(DibBlock* dib, int x, int y, COLORREF color) {
    if (!DibIsBlock(dib) || x < 0 || y < 0 || x >= dib->biWidth || y >= DibGetHeight(dib)) return FALSE;
    BYTE p[4];
    FromColorRef(color, p);
    WritePixel(dib, MasksFor(dib), x, y, p);
    return TRUE;
}

// ----- loading and converting ----------------------------------------------------------------

namespace {

DibBlock* FinishLoad(DibBlock* dib, int* pStride) {
    if (pStride) *pStride = dib ? DibGetStride(dib) : 0;
    return dib;
}

DibBlock* LoadViaGdi(HANDLE image) {
    if (!image) return nullptr;
    DibBlock* dib = DibFromBitmap(0, static_cast<HBITMAP>(image), nullptr);
    DeleteObject(image);
    return dib;
}

// A found bitmap resource (res may be null): its packed DIB read directly, or, for compressed
// and old-style bitmaps, the image that loadImage() has GDI read.
template <class LoadImageFn>
DibBlock* LoadFoundResource(HINSTANCE instance, HRSRC res, LoadImageFn loadImage) {
    if (!res) return nullptr;
    HGLOBAL g = LoadResource(instance, res);
    const BYTE* data = g ? static_cast<const BYTE*>(LockResource(g)) : nullptr;
    if (!data) return nullptr;
    DibBlock* dib = FromPacked(data, SizeofResource(instance, res));
    return dib ? dib : LoadViaGdi(loadImage());
}

}  // namespace

DibBlock* DibLoadResourceA(int, HINSTANCE instance, LPCSTR id, int, int, int* pStride) {
    HRSRC res = FindResourceA(instance, id, MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    DibBlock* dib = LoadFoundResource(instance, res, [&] {
        return LoadImageA(instance, id, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    });
    return FinishLoad(dib, pStride);
}

DibBlock* DibLoadResourceW(int, HINSTANCE instance, LPCWSTR id, int, int, int* pStride) {
    HRSRC res = FindResourceW(instance, id, MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    DibBlock* dib = LoadFoundResource(instance, res, [&] {
        return LoadImageW(instance, id, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    });
    return FinishLoad(dib, pStride);
}

DibBlock* DibFromBitmap(int, HBITMAP bitmap, int* pStride) {
    BITMAP bm;
    if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return FinishLoad(nullptr, pStride);
    int bits = bm.bmBitsPixel * bm.bmPlanes;
    if (bits == 15) bits = 16;
    if (!GoodDepth(bits)) bits = 32;
    DibBlock* dib = DibCreate(bm.bmWidth, bm.bmHeight, bits);
    if (!dib) return FinishLoad(nullptr, pStride);
    HDC dc = GetDC(nullptr);
    int lines = GetDIBits(dc, bitmap, 0, UINT(bm.bmHeight), DibGetBits(dib), reinterpret_cast<BITMAPINFO*>(dib),
                          DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    // GetDIBits may rewrite the header; keep the block's own layout.
    dib->biSize = sizeof(BITMAPINFOHEADER);
    dib->biHeight = bm.bmHeight;
    if (bits <= 8) dib->biClrUsed = DWORD(1 << bits);
    if (lines != bm.bmHeight) {
        DibFree(dib);
        dib = nullptr;
    }
    return FinishLoad(dib, pStride);
}

DibBlock* DibFromIcon(HICON icon, int size) {
    if (!icon) return nullptr;
    int w = size, h = size;
    if (size <= 0) {
        ICONINFO ii;
        if (!GetIconInfo(icon, &ii)) return nullptr;
        BITMAP bm;
        HBITMAP ref = ii.hbmColor ? ii.hbmColor : ii.hbmMask;
        bool ok = GetObjectA(ref, sizeof bm, &bm) != 0;
        if (ii.hbmColor) DeleteObject(ii.hbmColor);
        if (ii.hbmMask) DeleteObject(ii.hbmMask);
        if (!ok) return nullptr;
        w = bm.bmWidth;
        h = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
    }
    DibBlock* dib = DibCreate(w, h, 32);
    if (!dib) return nullptr;
    // Draw on black and on white: the difference gives the transparency.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    void* pix[2] = {nullptr, nullptr};
    HBITMAP bmp[2] = {CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &pix[0], nullptr, 0),
                      CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &pix[1], nullptr, 0)};
    bool ok = mem && bmp[0] && bmp[1];
    for (int k = 0; ok && k < 2; ++k) {
        HGDIOBJ old = SelectObject(mem, bmp[k]);
        memset(pix[k], k ? 0xFF : 0x00, size_t(w) * size_t(h) * 4);
        ok = DrawIconEx(mem, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL) != 0;
        GdiFlush();
        SelectObject(mem, old);
    }
    if (ok) {
        const BYTE* black = static_cast<const BYTE*>(pix[0]);
        const BYTE* white = static_cast<const BYTE*>(pix[1]);
        BYTE* out = DibGetBits(dib);
        for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
            const BYTE* b = black + i * 4;
            const BYTE* wt = white + i * 4;
            int diff = (int(wt[0]) - b[0] + int(wt[1]) - b[1] + int(wt[2]) - b[2]) / 3;
            int a = 255 - (diff < 0 ? 0 : (diff > 255 ? 255 : diff));
            BYTE* o = out + i * 4;
            for (int c = 0; c < 3; ++c) o[c] = a ? BYTE(b[c] * 255 / a > 255 ? 255 : b[c] * 255 / a) : 0;
            o[3] = BYTE(a);
        }
    }
    if (bmp[0]) DeleteObject(bmp[0]);
    if (bmp[1]) DeleteObject(bmp[1]);
    if (mem) DeleteDC(mem);
    if (!ok) {
        DibFree(dib);
        return nullptr;
    }
    return dib;
}

DibBlock* DibConvert(int, const DibBlock* dib, int format, int* pStride) {
    if (!DibIsBlock(dib)) return FinishLoad(nullptr, pStride);
    if (format == 0) {
        HDC dc = GetDC(nullptr);
        format = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
        ReleaseDC(nullptr, dc);
        if (format == 15) format = 16;
    }
    int w = dib->biWidth, h = DibGetHeight(dib);
    DibBlock* out = DibCreate(w, h, format);
    if (!out) return FinishLoad(nullptr, pStride);
    MaskInfo ms = MasksFor(dib), md = MasksFor(out);
    // A 32-bit source whose alpha is all 0 carries none: it counts as opaque.
    bool keepAlpha = false;
    if (dib->biBitCount == 32) {
        for (int y = 0; y < h && !keepAlpha; ++y) {
            const BYTE* row = RowOf(dib, y);
            for (int x = 0; x < w; ++x)
                if (row[x * 4 + 3]) {
                    keepAlpha = true;
                    break;
                }
        }
    }
    BYTE p[4];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ReadPixel(dib, ms, x, y, p);
            if (!keepAlpha) p[3] = 255;
            WritePixel(out, md, x, y, p);
        }
    return FinishLoad(out, pStride);
}

HBITMAP DibCreateBitmap(const DibBlock* dib) {
    if (!DibIsBlock(dib)) return nullptr;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) {
        if (bmp) DeleteObject(bmp);
        return nullptr;
    }
    memcpy(bits, DibGetBits(dib), size_t(DibGetStride(dib)) * size_t(DibGetHeight(dib)));
    GdiFlush();
    return bmp;
}

// ----- pixel operations ----------------------------------------------------------------------

BOOL DibBlit(DibBlock* dst, int dx, int dy, int dw, int dh, const DibBlock* src, int sx, int sy, int xStep, int yStep,
             COLORREF key) {
    if (!DibIsBlock(dst) || !DibIsBlock(src) || xStep < 0 || yStep < 0) return FALSE;
    int dbits = dst->biBitCount;
    bool indexed = dbits <= 8;
    if (indexed && src->biBitCount != dbits) return FALSE;
    int dW = dst->biWidth, dH = DibGetHeight(dst), sW = src->biWidth, sH = DibGetHeight(src);
    MaskInfo ms = MasksFor(src), md = MasksFor(dst);
    int palCount = 0;
    const RGBQUAD* spal = DibGetPalette(src, &palCount);
    BYTE p[4];
    for (int j = 0; j < dh; ++j) {
        int y = dy + j;
        int syj = sy + int((long long)j * yStep >> 16);
        if (y < 0 || y >= dH || syj < 0 || syj >= sH) continue;
        const BYTE* srow = RowOf(src, syj);
        BYTE* drow = RowOf(dst, y);
        // 1:1 rows of one depth without a key: copy the bytes.
        if (xStep == 0x10000 && key == CLR_NONE && src->biBitCount == dbits && dbits >= 8 &&
            dst->biCompression == src->biCompression &&
            (dbits != 16 || MasksFor(dst).mask[1] == ms.mask[1])) {
            int x0 = dx < 0 ? -dx : 0;
            int n = dw;
            if (dx + n > dW) n = dW - dx;
            if (sx + x0 < 0) x0 = -sx;
            if (sx + n > sW) n = sW - sx;
            if (n > x0) {
                int bpp = dbits / 8;
                memcpy(drow + (dx + x0) * bpp, srow + (sx + x0) * bpp, size_t(n - x0) * size_t(bpp));
            }
            continue;
        }
        for (int i = 0; i < dw; ++i) {
            int x = dx + i;
            int sxi = sx + int((long long)i * xStep >> 16);
            if (x < 0 || x >= dW || sxi < 0 || sxi >= sW) continue;
            if (indexed) {
                int index;
                if (dbits == 8)
                    index = srow[sxi];
                else if (dbits == 4)
                    index = (srow[sxi >> 1] >> ((sxi & 1) ? 0 : 4)) & 0x0F;
                else
                    index = (srow[sxi >> 3] >> (7 - (sxi & 7))) & 1;
                if (key != CLR_NONE && index < palCount &&
                    RGB(spal[index].rgbRed, spal[index].rgbGreen, spal[index].rgbBlue) == key)
                    continue;
                WriteIndex(drow, dbits, x, index);
                continue;
            }
            ReadPixel(src, ms, sxi, syj, p);
            if (key != CLR_NONE && ToColorRef(p) == key) continue;
            WritePixel(dst, md, x, y, p);
        }
    }
    return TRUE;
}

BOOL DibBlend(DibBlock* dib, COLORREF color, COLORREF key, int weightPixel, int weightColor, int flags) {
    if (!DibIsBlock(dib) || weightPixel < 0 || weightColor < 0 || weightPixel + weightColor <= 0) return FALSE;
    const int sum = weightPixel + weightColor;
    const BYTE c[3] = {GetBValue(color), GetGValue(color), GetRValue(color)};
    auto mix = [&](BYTE* bgr) {
        if (flags & DIB_BLEND_GRAY) {
            BYTE g = BYTE((bgr[0] * 29 + bgr[1] * 150 + bgr[2] * 77 + 128) >> 8);
            bgr[0] = bgr[1] = bgr[2] = g;
        }
        for (int k = 0; k < 3; ++k) bgr[k] = BYTE((bgr[k] * weightPixel + c[k] * weightColor + sum / 2) / sum);
    };
    if (dib->biBitCount <= 8) {
        int count = 0;
        RGBQUAD* pal = DibGetPalette(dib, &count);
        for (int i = 0; i < count; ++i) {
            if (key != CLR_NONE && RGB(pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue) == key) continue;
            BYTE bgr[3] = {pal[i].rgbBlue, pal[i].rgbGreen, pal[i].rgbRed};
            mix(bgr);
            pal[i].rgbBlue = bgr[0];
            pal[i].rgbGreen = bgr[1];
            pal[i].rgbRed = bgr[2];
        }
        return TRUE;
    }
    EditPixels(dib, [&](BYTE p[4]) {
        if (key != CLR_NONE && ToColorRef(p) == key) return false;
        mix(p);
        return true;
    });
    return TRUE;
}

BOOL DibAlphaCopy32(DibBlock* dst, int dx, int dy, const DibBlock* src, int sx, int sy, int w, int h, int alpha) {
    if (!IsBlockDepth(src, 32) || !DibIsBlock(dst) || (dst->biBitCount != 24 && dst->biBitCount != 32)) return FALSE;
    if (alpha < 0) alpha = 0;
    if (alpha > 255) alpha = 255;
    int dW = dst->biWidth, dH = DibGetHeight(dst), sW = src->biWidth, sH = DibGetHeight(src);
    int dbpp = dst->biBitCount / 8;
    for (int j = 0; j < h; ++j) {
        int y = dy + j, ys = sy + j;
        if (y < 0 || y >= dH || ys < 0 || ys >= sH) continue;
        const BYTE* srow = RowOf(src, ys);
        BYTE* drow = RowOf(dst, y);
        for (int i = 0; i < w; ++i) {
            int x = dx + i, xs = sx + i;
            if (x < 0 || x >= dW || xs < 0 || xs >= sW) continue;
            const BYTE* s = srow + xs * 4;
            BYTE* d = drow + x * dbpp;
            int a = (s[3] * alpha + 127) / 255;
            for (int k = 0; k < 3; ++k) d[k] = BYTE((s[k] * a + d[k] * (255 - a) + 127) / 255);
            if (dbpp == 4) d[3] = BYTE(a + (d[3] * (255 - a) + 127) / 255);
        }
    }
    return TRUE;
}

BOOL DibFilter32(DibBlock* dib, const int kernel[9], int divisor, int bias) {
    if (!IsBlockDepth(dib, 32) || !kernel || divisor == 0) return FALSE;
    int w = dib->biWidth, h = DibGetHeight(dib);
    int stride = DibGetStride(dib);
    std::vector<BYTE> copy(size_t(stride) * size_t(h));
    memcpy(copy.data(), DibGetBits(dib), copy.size());
    auto at = [&](int x, int y) -> const BYTE* {
        if (x < 0) x = 0;
        if (x >= w) x = w - 1;
        if (y < 0) y = 0;
        if (y >= h) y = h - 1;
        // Offsets of the saved rows follow the block's own row order.
        return copy.data() + (RowOf(dib, y) - DibGetBits(dib)) + x * 4;
    };
    for (int y = 0; y < h; ++y) {
        BYTE* row = RowOf(dib, y);
        for (int x = 0; x < w; ++x) {
            int acc[3] = {0, 0, 0};
            for (int ky = -1; ky <= 1; ++ky)
                for (int kx = -1; kx <= 1; ++kx) {
                    const BYTE* p = at(x + kx, y + ky);
                    int k = kernel[(ky + 1) * 3 + (kx + 1)];
                    for (int c = 0; c < 3; ++c) acc[c] += p[c] * k;
                }
            for (int c = 0; c < 3; ++c) {
                int v = acc[c] / divisor + bias;
                row[x * 4 + c] = BYTE(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
        }
    }
    return TRUE;
}

BOOL DibDrawToDevice(HDC hdc, int x, int y, int w, int h, const DibBlock* dib, int sx, int sy, int sw, int sh, DWORD rop) {
    if (!hdc || !DibIsBlock(dib)) return FALSE;
    int W = dib->biWidth, H = DibGetHeight(dib);
    if (sw < 0) sw = W;
    if (sh < 0) sh = H;
    if (w < 0) w = sw;
    if (h < 0) h = sh;
    // StretchDIBits counts the source rows of a bottom-up DIB from the bottom.
    int ySrc = dib->biHeight > 0 ? H - sy - sh : sy;
    return StretchDIBits(hdc, x, y, w, h, sx, ySrc, sw, sh, DibGetBits(dib), reinterpret_cast<const BITMAPINFO*>(dib),
                         DIB_RGB_COLORS, rop) != 0;
}

int DibReplaceColor(DibBlock* dib, COLORREF from, COLORREF to) {
    if (!DibIsBlock(dib)) return 0;
    from &= 0xFFFFFF;
    int n = 0;
    if (dib->biBitCount <= 8) {
        int count = 0;
        RGBQUAD* pal = DibGetPalette(dib, &count);
        for (int i = 0; i < count; ++i)
            if (RGB(pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue) == from) {
                pal[i].rgbRed = GetRValue(to);
                pal[i].rgbGreen = GetGValue(to);
                pal[i].rgbBlue = GetBValue(to);
                ++n;
            }
        return n;
    }
    EditPixels(dib, [&](BYTE p[4]) {
        if (ToColorRef(p) != from) return false;
        BYTE a = p[3];
        FromColorRef(to, p);
        p[3] = a;
        ++n;
        return true;
    });
    return n;
}

COLORREF MapToSysColor(COLORREF color) {
    switch (color & 0xFFFFFF) {
    case 0x808080: return GetSysColor(COLOR_BTNSHADOW);
    case 0xC0C0C0: return GetSysColor(COLOR_BTNFACE);
    case 0xDFDFDF: return GetSysColor(COLOR_3DLIGHT);
    default: return color;
    }
}

int DibMapToSysColors(DibBlock* dib) {
    if (!DibIsBlock(dib)) return 0;
    const COLORREF greys[3] = {0x808080, 0xC0C0C0, 0xDFDFDF};
    // Every pixel is compared with the original greys only, so none is mapped twice.
    COLORREF targets[3];
    for (int i = 0; i < 3; ++i) targets[i] = MapToSysColor(greys[i]);
    if (dib->biBitCount <= 8) {
        int count = 0, n = 0;
        RGBQUAD* pal = DibGetPalette(dib, &count);
        for (int i = 0; i < count; ++i) {
            COLORREF c = RGB(pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue);
            for (int k = 0; k < 3; ++k)
                if (c == greys[k]) {
                    pal[i].rgbRed = GetRValue(targets[k]);
                    pal[i].rgbGreen = GetGValue(targets[k]);
                    pal[i].rgbBlue = GetBValue(targets[k]);
                    ++n;
                    break;
                }
        }
        return n;
    }
    MaskInfo m = MasksFor(dib);
    int w = dib->biWidth, h = DibGetHeight(dib), n = 0;
    BYTE p[4];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ReadPixel(dib, m, x, y, p);
            COLORREF c = ToColorRef(p);
            for (int k = 0; k < 3; ++k)
                if (c == greys[k]) {
                    BYTE a = p[3];
                    FromColorRef(targets[k], p);
                    p[3] = a;
                    WritePixel(dib, m, x, y, p);
                    ++n;
                    break;
                }
        }
    return n;
}
