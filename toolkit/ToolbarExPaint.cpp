// The toolbar control's measuring, layout in rows or one column, sizing for a length, the
// per-button six-row state images and the painting from them.
#include <string.h>

#include "controls/FileListCtrl.h"
#include "toolkit/ToolbarExImpl.h"

namespace {

int Max(int a, int b) { return a > b ? a : b; }
int Min(int a, int b) { return a < b ? a : b; }

// The image's drawn size: scaled on deep screens by the control's and the bitmap's scales.
SIZE ImageSize(const ToolbarExData* d, int bitmapNo, const RECT& src) {
    SIZE s = {src.right - src.left, src.bottom - src.top};
    const ToolbarExBitmap& bm = d->bitmaps[bitmapNo];
    long long product = (long long)(d->scale ? d->scale : 256) * (bm.scale ? bm.scale : 256);
    if (d->deep && product != 65536) {
        s.cx = (LONG)((product * s.cx + 32767) >> 16);
        s.cy = (LONG)((product * s.cy + 32767) >> 16);
    }
    return s;
}

int DropPartWidth(int imageHeight) {
    int q = (imageHeight + 2) / 4;
    q = q < 4 ? 4 : q > 6 ? 6 : q;
    return q * 13 / 4;
}

UINT TextFlags(const ToolbarExData* d) { return DT_SINGLELINE | ((d->style & 0x20) ? DT_NOPREFIX : 0); }

int ClampWidth(const ToolbarExData* d, int v) {
    if (d->minWidth >= 0 && v < d->minWidth - d->padX) v = d->minWidth - d->padX;
    if (d->maxWidth >= 0 && v > d->maxWidth - d->padX) v = d->maxWidth - d->padX;
    return v;
}

bool TextUnder(const ToolbarExData* d, const ToolbarExButton* b) {
    return (!(d->style & TBSTYLE_LIST) || (b->flags & TBXF_TEXTUNDER)) && !(b->flags & TBXF_TEXTBESIDE);
}

void FillDc(HDC dc, const RECT* r, COLORREF c) {
    SetBkColor(dc, c);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, r, nullptr, 0, nullptr);
}

void FillBlock(DibBlock* dib, COLORREF c) {
    BYTE* bits = DibGetBits(dib);
    const int stride = DibGetStride(dib), w = DibGetWidth(dib), h = DibGetHeight(dib);
    for (int y = 0; y < h; ++y) {
        BYTE* p = bits + (size_t)y * stride;
        for (int x = 0; x < w; ++x, p += 4) {
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
            p[3] = 255;
        }
    }
}

COLORREF Rgb565(DWORD v) {
    int r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return RGB(r * 255 / 31, g * 255 / 63, b * 255 / 31);
}

// Which look each of the six rows shows, after the button flags that remove looks.
struct RowLook {
    bool checked, hot, disabled;
};
RowLook LookOfRow(const ToolbarExButton* b, int row) {
    RowLook l = {row == 1 || row == 3 || row == 5, row == 2 || row == 3, row >= 4};
    if (b->flags & TBXF_NOCHECKLOOK) l.checked = false;
    if (b->flags & TBXF_NODISABLEDLOOK) l.disabled = false;
    if (b->flags & TBXF_NOHOTLOOK) l.hot = false;
    return l;
}

// Positions inside a cell of width w (without the drop-down part) and height h.
struct CellLayout {
    RECT image, text;
};
CellLayout PlaceContent(const ToolbarExData* d, const ToolbarExButton* b, int w, int h, SIZE img, int textH) {
    CellLayout c;
    const int left = d->insetX / 2, top = d->insetY / 2;
    if (b->internal & TBI_TEXTUNDER) {
        int imgTop = top + (h - 2 * top - img.cy - textH - 1) / 2;
        if (b->internal & TBI_TEXTONLY) imgTop = top;
        SetRect(&c.image, (w - img.cx) / 2, imgTop, (w - img.cx) / 2 + img.cx, imgTop + img.cy);
        int textTop = (b->internal & TBI_TEXTONLY) ? top : c.image.bottom + 1;
        SetRect(&c.text, left, textTop, w - left, (b->internal & TBI_TEXTONLY) ? h - top : textTop + textH);
    } else if (b->internal & TBI_TEXTBESIDE) {
        int x = left + d->padX / 2;
        SetRect(&c.image, x, (h - img.cy) / 2, x + img.cx, (h - img.cy) / 2 + img.cy);
        SetRect(&c.text, img.cx ? c.image.right + 2 : left, top, w - left, h - top);
    } else {
        SetRect(&c.image, (w - img.cx) / 2, (h - img.cy) / 2, (w - img.cx) / 2 + img.cx, (h - img.cy) / 2 + img.cy);
        SetRect(&c.text, 0, 0, 0, 0);
    }
    return c;
}

}  // namespace

void ToolbarExFreeCache(ToolbarExButton* b) {
    if (b->cacheBitmap) DeleteObject(b->cacheBitmap);
    DibFree(b->cache);
    b->cache = nullptr;
    b->cacheBitmap = nullptr;
    b->cacheW = b->cacheH = 0;
}

DWORD ToolbarExMeasure(ToolbarExData* d, ToolbarExButton* b, bool rows, WORD* out) {
    WORD marks = 0;
    int w = 0, h = 0, dropW = 0;
    if (b->style & BTNS_SEP) {
        marks = TBI_SEPLIKE;
        w = rows ? 8 : 0;
        h = rows ? 0 : 8;
    } else {
        if (b->flags & TBXF_SEPCELL) marks |= TBI_SEPLIKE;
        const std::wstring& text = ToolbarExButtonText(d, b);
        // An empty text is no text: such a button grows no text row.
        const bool hasText = !text.empty();
        int tw = 0, th = 0;
        HFONT font = d->font ? d->font : ToolbarExDefaultFont();
        if (hasText) {
            DWORD sz = GetTextSizeW(nullptr, text.c_str(), (int)text.size(), TextFlags(d) | GTS_FONT_HEIGHT, font);
            tw = LOWORD(sz);
            th = HIWORD(sz);
            if ((b->flags & TBXF_FIXEDWIDTH) && !(b->flags & (TBXF_DATACOLOR | TBXF_HOSTED))) tw = Max(tw, (int)b->data);
        }
        int bitmapNo = -1;
        RECT src;
        if (b->flags & TBXF_HOSTED) {
            RECT wr;
            int ww = 8, wh = 8;
            if (b->data && GetWindowRect((HWND)b->data, &wr)) {
                ww = wr.right - wr.left;
                wh = wr.bottom - wr.top;
            }
            w = ww + d->insetX + 2;
            if (hasText) {
                w = Max(w, ClampWidth(d, tw + 4));
                h = wh + d->letterHeight + 1;
                marks |= TBI_TEXTUNDER;
            } else {
                h = wh;
            }
        } else if (b->flags & TBXF_CHECKCELL) {
            SIZE g = {13, 13};
            GetUiMetricPair(0, &g);
            int adjust = d->insetX - d->insetX / 2 - 2;
            if (hasText) {
                h = Max(g.cy, th) + d->padY;
                w = d->insetX + g.cx + tw + 4 - (adjust < 0 ? adjust : 0);
                marks |= TBI_TEXTBESIDE;
            } else {
                w = d->insetX + g.cx + 2;
                h = d->insetY + g.cy + 2;
            }
        } else if (ToolbarExFindImage(d, b->image, &bitmapNo, &src)) {
            SIZE img = ImageSize(d, bitmapNo, src);
            marks |= TBI_IMAGE;
            int iw = img.cx, ih = img.cy;
            if (b->style & BTNS_DROPDOWN) {
                dropW = DropPartWidth(ih);
                iw += dropW;
            }
            if (hasText && TextUnder(d, b)) {
                w = ClampWidth(d, Max(iw, tw)) + d->padX;
                h = ih + th + 1;
                marks |= TBI_TEXTUNDER;
            } else if (hasText) {
                int adjust = d->insetX - d->insetX / 2 - 2;
                h = Max(ih + 2, th);
                w = iw + tw + 2 - (adjust < 0 ? adjust : 0);
                marks |= TBI_TEXTBESIDE;
            } else {
                w = iw;
                h = ih;
            }
            w += d->insetX + d->padX;
            h += d->insetY + d->padY;
        } else {
            if (hasText && TextUnder(d, b)) {
                w = ClampWidth(d, Max(tw, 4) + 8);
                h = d->bitmapH + th + 1;
                marks |= TBI_TEXTUNDER | TBI_TEXTONLY;
            } else if (hasText) {
                h = Max(th + 2, d->bitmapH);
                w = Max(tw + 4, d->bitmapW);
                marks |= TBI_TEXTBESIDE | TBI_TEXTONLY;
            } else {
                w = d->bitmapW;
                h = d->bitmapH;
            }
            w += d->insetX + d->padX;
            h += d->insetY + d->padY;
        }
    }
    w = Max(w, 0);
    h = Max(h, 0);
    if (out) {
        *out = marks;
        return MAKELONG(w, h);
    }
    const WORD kept = TBI_SEPLIKE | TBI_IMAGE | TBI_TEXTUNDER | TBI_TEXTBESIDE | TBI_TEXTONLY;
    WORD internal = WORD((b->internal & ~kept) | marks | TBI_MEASURED);
    WORD drop = WORD((Min(w, 1023) & 0x3FF) | (Min(dropW, 63) << 10));
    DWORD result = 1;
    if ((internal & kept) != (b->internal & kept)) result = 2;
    if (w != b->contentW || h != b->contentH || drop != b->drop) result = 3;
    b->internal = internal;
    if (result > 1) b->internal |= TBI_STALE;
    b->contentW = WORD(w);
    b->contentH = WORD(h);
    b->drop = drop;
    return result;
}

namespace {

bool Stackable(const ToolbarExButton* b) {
    return !(b->state & (TBSTATE_HIDDEN | TBSTATE_WRAP)) && !(b->internal & TBI_SEPLIKE) && !(b->style & BTNS_SEP);
}

// Puts runs of small buttons of buttons [from, to) into columns that fill the row height:
// marks first, stacked and last, and gives each its cell width and height.
void StackGroup(ToolbarExData* d, int from, int to, int line, std::vector<int>& cw, std::vector<int>& ch) {
    const int overlap = d->insetY / 2;
    int i = from;
    while (i < to) {
        ToolbarExButton* first = d->buttons[i];
        if (!Stackable(first) || first->contentH + 3 >= line) {
            ++i;
            continue;
        }
        int used = first->contentH, end = i + 1, widest = first->contentW;
        while (end < to && Stackable(d->buttons[end]) && used + d->buttons[end]->contentH - overlap <= line) {
            used += d->buttons[end]->contentH - overlap;
            widest = Max(widest, d->buttons[end]->contentW);
            ++end;
        }
        const int count = end - i;
        if (count < 2) {
            ++i;
            continue;
        }
        const int share = (line - used) / count, rest = (line - used) % count;
        for (int k = i; k < end; ++k) {
            ToolbarExButton* b = d->buttons[k];
            b->internal |= k == i ? TBI_STACKFIRST : TBI_STACKED;
            if (k == end - 1) b->internal |= TBI_STACKLAST;
            cw[k] = widest;
            ch[k] = b->contentH - (k == i ? 0 : overlap) + share + (k == end - 1 ? rest : 0);
        }
        i = end;
    }
}

}  // namespace

DWORD ToolbarExLayout(ToolbarExData* d, int mode, int count) {
    const int n = count < 0 || count > d->Count() ? d->Count() : count;
    const bool normal = (mode & 6) == 0;
    const BYTE dirty = d->dirty;
    if (normal) d->dirty = 0;
    for (ToolbarExButton* b : d->buttons) {
        b->internal &= ~(TBI_LAYOUTMARKS | TBI_ROWTEXT);
        if (dirty & 8) b->internal &= ~TBI_MEASURED;
    }
    // Orientation: one column when every two visible buttons have a wrap between them.
    bool rows;
    if (mode & 2) rows = true;
    else if (mode & 4) rows = false;
    else {
        bool column = n >= 2, seen = false, wrapped = false;
        for (int i = 0; i < n && column; ++i) {
            const ToolbarExButton* b = d->buttons[i];
            if (b->state & TBSTATE_HIDDEN) continue;
            if (!seen && (b->style & BTNS_SEP)) continue;
            if (seen && !wrapped) column = false;
            seen = true;
            wrapped = (b->state & TBSTATE_WRAP) != 0;
        }
        rows = !column;
    }
    if (normal) d->horizontal = rows ? 1 : 0;
    // Measuring.
    int line = rows ? d->bitmapH : d->bitmapW;
    bool rowText = false;
    for (int i = 0; i < n; ++i) {
        ToolbarExButton* b = d->buttons[i];
        if (b->state & TBSTATE_HIDDEN) continue;
        if ((b->style & BTNS_SEP) || (dirty & 6) || !(b->internal & TBI_MEASURED)) ToolbarExMeasure(d, b, rows, nullptr);
        if (b->style & BTNS_SEP) {
            if (rows && (b->flags & TBXF_FIXEDWIDTH)) rowText = true;
            continue;
        }
        line = Max(line, rows ? b->contentH : b->contentW);
        if ((b->flags & TBXF_SEPCELL) ||
            ((b->internal & TBI_TEXTUNDER) && !(b->internal & TBI_TEXTONLY) && !(b->flags & TBXF_TEXTCLICKS)))
            rowText = true;
    }
    if (rows && rowText) {
        bool grow = false;
        for (int i = 0; i < n; ++i) {
            ToolbarExButton* b = d->buttons[i];
            if (b->state & (TBSTATE_HIDDEN | TBSTATE_CHECKED)) continue;
            b->internal |= TBI_ROWTEXT;
            if (!(b->style & BTNS_SEP) && !(b->internal & TBI_TEXTUNDER)) grow = true;
        }
        if (grow) line += d->letterHeight + 1;
    }
    // Row groups end at separators of fixed width; with style bit 0x20 small buttons stack.
    std::vector<int> cw(n), ch(n, line);
    for (int i = 0; i < n; ++i) cw[i] = d->buttons[i]->contentW;
    if (rows) {
        int groupStart = 0;
        for (int i = 0; i <= n; ++i) {
            const bool end = i == n;
            const bool groupSep = !end && (d->buttons[i]->style & BTNS_SEP) && (d->buttons[i]->flags & TBXF_FIXEDWIDTH) &&
                                  !(d->buttons[i]->state & TBSTATE_HIDDEN);
            if (!end && !groupSep) continue;
            if (d->style & 0x20) StackGroup(d, groupStart, i, line, cw, ch);
            if (groupSep)
                for (int k = groupStart; k < i; ++k)
                    if (!(d->buttons[k]->internal & TBI_STACKED)) d->buttons[k]->internal |= TBI_ROWGROUP | TBI_ROWTEXT;
            groupStart = i + 1;
        }
    }
    // Placement.
    std::vector<RECT> rects(n);
    int stackX = 0, stackY = 0;
    int x = d->indent, y = 0, maxX = 0, maxY = 0, rowCount = 0;
    bool rowStart = true;
    if (!rows) y = d->indent;
    for (int i = 0; i < n; ++i) {
        ToolbarExButton* b = d->buttons[i];
        RECT& r = rects[i];
        SetRect(&r, 0, 0, 0, 0);
        if (b->state & TBSTATE_HIDDEN) continue;
        const bool sep = (b->style & BTNS_SEP) != 0;
        if (!rows) {
            int h = sep ? 8 : b->contentH;
            SetRect(&r, 0, y, line, y + h);
            y += h;
            maxX = line;
            maxY = y;
            ++rowCount;
            continue;
        }
        if (sep && (b->state & TBSTATE_WRAP)) {
            if (!rowStart) {
                y += line;
                x = d->indent;
                rowStart = true;
            }
            SetRect(&r, x, y, x, y + line);
            continue;
        }
        if (sep && rowStart) {
            SetRect(&r, x, y, x, y + line);
            continue;
        }
        if (b->internal & TBI_STACKED) {
            // Under the button before, in its column.
            SetRect(&r, stackX, y + stackY, stackX + cw[i], y + stackY + ch[i]);
            stackY += ch[i];
            continue;
        }
        int w = sep ? 8 : cw[i];
        if (rowStart) ++rowCount;
        SetRect(&r, x, y, x + w, y + ((b->internal & TBI_STACKFIRST) ? ch[i] : line));
        stackX = x;
        stackY = ch[i];
        x += w;
        maxX = Max(maxX, x);
        maxY = y + line;
        rowStart = false;
        if (b->state & TBSTATE_WRAP) {
            y += line;
            x = d->indent;
            rowStart = true;
        }
    }
    if (!normal) {
        d->scratch = rows ? maxX : maxY;
        return MAKELONG(Min(maxX, 0xFFFF), Min(maxY, 0xFFFF));
    }
    for (int i = 0; i < n; ++i) {
        ToolbarExButton* b = d->buttons[i];
        const RECT& r = rects[i];
        if (!EqualRect(&r, &b->rect)) {
            int w = r.right - r.left, h = r.bottom - r.top;
            if (w != b->cellW || h != b->cellH) b->internal |= TBI_STALE;
            b->rect = r;
            b->cellW = WORD(w);
            b->cellH = WORD(h);
        }
        if ((b->flags & TBXF_HOSTED) && b->data && GetParent((HWND)b->data) == d->hwnd && !IsRectEmpty(&r)) {
            RECT wr;
            GetWindowRect((HWND)b->data, &wr);
            int room = r.bottom - r.top - ((b->internal & TBI_TEXTUNDER) ? d->letterHeight + 1 : 0);
            int wx = r.left + (r.right - r.left - (wr.right - wr.left)) / 2;
            int wy = r.top + (room - (wr.bottom - wr.top)) / 2;
            SetWindowPos((HWND)b->data, nullptr, wx, wy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        }
        if (b->state & TBSTATE_WRAP) ToolbarExInvalidate(d, &b->rect);
    }
    d->totalW = maxX;
    d->totalH = maxY;
    d->rows = rowCount;
    if (d->markIndex >= 0) ToolbarExPlaceMark(d);
    if (mode & 1)
        for (ToolbarExOverlay* o = d->overlays; o; o = o->next) o->flags |= 0x80;
    return MAKELONG(Min(maxX, 0xFFFF), Min(maxY, 0xFFFF));
}

namespace {

// Sets wrap states so that the rows fit width; returns the measured size.
DWORD WrapRows(ToolbarExData* d, int width) {
    const int n = d->Count();
    int x = d->indent, last = -1;
    bool rowStart = true;
    for (int i = 0; i < n; ++i) {
        ToolbarExButton* b = d->buttons[i];
        b->state &= ~TBSTATE_WRAP;
        if (b->state & TBSTATE_HIDDEN) continue;
        const bool sep = (b->style & BTNS_SEP) != 0;
        if (sep && rowStart) continue;
        if (!(b->internal & TBI_MEASURED) || sep) ToolbarExMeasure(d, b, true, nullptr);
        int w = sep ? 8 : b->contentW;
        if (!rowStart && x + w > width && last >= 0) {
            d->buttons[last]->state |= TBSTATE_WRAP;
            x = d->indent;
            rowStart = true;
            if (sep) continue;
        }
        x += w;
        rowStart = false;
        last = i;
    }
    return ToolbarExLayout(d, 2);
}

}  // namespace

DWORD ToolbarExSizeForLength(ToolbarExData* d, int length, int flags) {
    const int n = d->Count();
    if (!n) return 0;
    std::vector<BYTE> states(n);
    for (int i = 0; i < n; ++i) states[i] = d->buttons[i]->state;
    const BYTE vertical = d->vertical;
    if (d->dirty & 6) {
        for (ToolbarExButton* b : d->buttons) b->internal &= ~TBI_MEASURED;
    }
    DWORD size;
    if (flags & 2) {
        // The narrowest width whose rows fit the height.
        int hi = LOWORD(WrapRows(d, 16384)), lo = d->indent + 1;
        size = WrapRows(d, hi);
        if (HIWORD(size) <= length) {
            while (lo < hi) {
                int mid = (lo + hi) / 2;
                if ((int)HIWORD(WrapRows(d, mid)) <= length) hi = mid;
                else lo = mid + 1;
            }
            size = WrapRows(d, hi);
        }
    } else if (length >= 16384) {
        size = WrapRows(d, 0x7FFFFFFF);
    } else if (length >= 5) {
        size = WrapRows(d, length);
    } else {
        for (ToolbarExButton* b : d->buttons)
            if (!(b->state & TBSTATE_HIDDEN)) b->state |= TBSTATE_WRAP;
        d->vertical = 1;
        size = ToolbarExLayout(d, 4);
    }
    if (flags & 1) {
        d->dirty |= 1;
        ToolbarExLayout(d, 0);
        ToolbarExInvalidate(d, nullptr);
    } else {
        for (int i = 0; i < n; ++i) d->buttons[i]->state = states[i];
    }
    d->vertical = vertical;
    return size;
}

void ToolbarExPlaceMark(ToolbarExData* d) {
    const ToolbarExButton* b = d->At(d->markIndex);
    if (!b) return;
    if (!d->horizontal) d->markFlags |= 2;
    else d->markFlags &= ~2;
    const RECT& r = b->rect;
    if (d->markFlags & 2) {
        int y = (d->markFlags & 1) ? r.bottom : r.top;
        SetRect(&d->markRect, r.left, y - 3, r.right, y + 3);
    } else {
        int x = (d->markFlags & 1) ? r.right : r.left;
        SetRect(&d->markRect, x - 3, r.top, x + 3, r.bottom);
    }
}

void ToolbarExRenderButton(ToolbarExData* d, ToolbarExButton* b, HDC screen) {
    if (!(b->internal & TBI_STALE) && b->cacheBitmap) return;
    const int W = b->cellW, H = b->cellH;
    const bool sep = (b->style & BTNS_SEP) != 0;
    const std::wstring& text = ToolbarExButtonText(d, b);
    if (W <= 0 || H <= 0 || ((b->flags & TBXF_HOSTED) && text.empty())) {
        ToolbarExFreeCache(b);
        b->internal &= ~TBI_STALE;
        return;
    }
    const int rowsN = sep ? 1 : 6;
    ToolbarExFreeCache(b);
    DibBlock* dib = DibCreate(W, H * rowsN, 32);
    if (!dib) return;
    const COLORREF bg = d->colors[0];
    FillBlock(dib, bg);
    const int dropW = b->DropWidth();
    const int mainW = W - dropW;
    const bool framed = !sep && (b->internal & TBI_IMAGE) && !(b->flags & TBXF_NOFRAME) &&
                        ((d->style & TBSTYLE_FLAT) || (b->flags & TBXF_FRAME));
    int bitmapNo = -1;
    RECT src = {0, 0, 0, 0};
    SIZE img = {0, 0};
    if (!sep && (b->internal & TBI_IMAGE) && ToolbarExFindImage(d, b->image, &bitmapNo, &src))
        img = ImageSize(d, bitmapNo, src);
    HFONT font = d->font ? d->font : ToolbarExDefaultFont();
    int textH = text.empty() ? 0 : HIWORD(GetTextSizeW(nullptr, text.c_str(), (int)text.size(),
                                                         TextFlags(d) | GTS_FONT_HEIGHT, font));
    CellLayout cell = PlaceContent(d, b, mainW, H, img, textH);
    // Images of the block: frames and the picture.
    DibBlock* pic = nullptr;
    if (img.cx > 0 && img.cy > 0) {
        const ToolbarExBitmap& bm = d->bitmaps[bitmapNo];
        pic = DibCreate(img.cx, img.cy, 32);
        if (pic) {
            int sx = (int)(((long long)(src.right - src.left) << 16) / img.cx);
            int sy = (int)(((long long)(src.bottom - src.top) << 16) / img.cy);
            DibBlit(pic, 0, 0, img.cx, img.cy, bm.dib, src.left, src.top, sx, sy);
            DibReplaceColor(pic, d->keys[1], d->keys[0]);
            if (b->flags & TBXF_DATACOLOR)
                DibReplaceColor(pic, d->keys[0], (b->flags & TBXF_COLOR565) ? Rgb565((DWORD)b->data) : (COLORREF)b->data);
        }
    }
    for (int row = 0; row < rowsN && !sep; ++row) {
        const RowLook look = LookOfRow(b, row);
        const int top = row * H;
        if (framed && d->deep && (look.hot || look.checked || (b->flags & TBXF_FRAME))) {
            UINT f = DFI_COLOR | (look.checked ? (look.hot ? (UINT)DFI_PRESSED : (UINT)DFI_CHECKED) : 0u);
            if (look.disabled && !look.checked) f = DFI_COLOR | DFI_NOFILL;
            DrawFrameImage(dib, 0, top, mainW, H, f | (dropW ? (UINT)DFI_SPLIT_MAIN : 0u), d->colors[4]);
            if (dropW) DrawFrameImage(dib, mainW, top, dropW, H, f | DFI_SPLIT_DROP, d->colors[4]);
        }
        if (pic) {
            DibBlock* use = pic;
            DibBlock* dim = nullptr;
            if (look.disabled && (dim = DibConvert(0, pic, 32)) != nullptr) {
                DibBlend(dim, bg, d->keys[0], 1, 1, DIB_BLEND_GRAY);
                use = dim;
            }
            DibBlit(dib, cell.image.left, top + cell.image.top, img.cx, img.cy, use, 0, 0, 0x10000, 0x10000, d->keys[0]);
            DibFree(dim);
        }
    }
    DibFree(pic);
    HBITMAP hbm = DibCreateBitmap(dib);
    if (!hbm) {
        DibFree(dib);
        return;
    }
    // Drawing through GDI on top: separators, classic frames, text, arrows, check cells.
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ oldBmp = SelectObject(mem, hbm);
    HGDIOBJ oldFont = SelectObject(mem, font);
    SetBkMode(mem, TRANSPARENT);
    if (sep) {
        RECT line;
        if (d->horizontal) {
            int xm = W / 2 - 1;
            SetRect(&line, xm, d->insetY / 2, xm + 1, H - d->insetY / 2);
            FillDc(mem, &line, GetSysColor(COLOR_BTNSHADOW));
            OffsetRect(&line, 1, 0);
        } else {
            int ym = H / 2 - 1;
            SetRect(&line, d->insetX / 2, ym, W - d->insetX / 2, ym + 1);
            FillDc(mem, &line, GetSysColor(COLOR_BTNSHADOW));
            OffsetRect(&line, 0, 1);
        }
        FillDc(mem, &line, RGB(255, 255, 255));
    }
    for (int row = 0; row < rowsN && !sep; ++row) {
        const RowLook look = LookOfRow(b, row);
        const int top = row * H;
        RECT cellRect = {0, top, mainW, top + H};
        if ((b->internal & TBI_TEXTONLY) && !(b->flags & TBXF_NOFRAME)) {
            int kind = look.disabled ? 4 : look.checked ? 3 : look.hot ? 2 : 1;
            if ((d->style & TBSTYLE_FLAT) || kind != 1) DrawThemedFrame(mem, nullptr, &cellRect, kind, DTF_CHECKED);
        }
        if (framed && !d->deep && (look.hot || look.checked || (b->flags & TBXF_FRAME))) {
            Draw3dFrame(mem, &cellRect, CLR_DEFAULT, CLR_DEFAULT, look.checked ? D3F_SUNKEN : 0);
        }
        if (!text.empty() && !IsRectEmpty(&cell.text)) {
            RECT tr = cell.text;
            OffsetRect(&tr, 0, top);
            UINT f = DT_CENTER | DT_VCENTER | TextFlags(d);
            if (look.disabled) {
                DrawDisabledTextW(mem, text.c_str(), (int)text.size(), &tr, f);
            } else {
                SetTextColor(mem, GetSysColor(COLOR_BTNTEXT));
                DrawTextW(mem, text.c_str(), (int)text.size(), &tr, f);
            }
        }
        if (dropW) {
            RECT ar = {mainW, top + d->insetY / 2, W, top + H - d->insetY / 2};
            if (d->themed) {
                SetTextColor(mem, GetSysColor(COLOR_BTNTEXT));
                InflateRect(&ar, -1, -(ar.bottom - ar.top - dropW) / 2);
                DrawMarlettGlyph(mem, &ar, MARLETT_ARROW_DOWN | (look.disabled ? DMG_DISABLED : 0));
            } else {
                UINT st = DFCS_SCROLLDOWN | DFCS_FLAT | (look.hot ? DFCS_HOT : 0) | (look.checked ? DFCS_PUSHED : 0) |
                          (look.disabled ? DFCS_INACTIVE : 0);
                DrawFrameControl(mem, &ar, DFC_SCROLL, st);
            }
        }
        if (b->flags & TBXF_CHECKCELL) {
            SIZE g = {13, 13};
            GetUiMetricPair(0, &g);
            int gx = d->insetX / 2 + 1, gy = top + (H - g.cy) / 2;
            RECT gr = {gx, gy, gx + g.cx, gy + g.cy};
            int state = (look.checked ? DFB_CHECKED : 0) | (look.hot ? DFB_HOT : 0) | (look.disabled ? DFB_DISABLED : 0);
            DrawFrameButton(mem, &gr, state, 0);
            if (!text.empty()) {
                RECT tr = {gr.right + 2, top, mainW, top + H};
                UINT f = DT_LEFT | DT_VCENTER | TextFlags(d);
                if (look.disabled) DrawDisabledTextW(mem, text.c_str(), (int)text.size(), &tr, f);
                else DrawTextW(mem, text.c_str(), (int)text.size(), &tr, f);
            }
        }
    }
    SelectObject(mem, oldFont);
    SelectObject(mem, oldBmp);
    DeleteDC(mem);
    b->cache = dib;
    b->cacheBitmap = hbm;
    b->cacheW = W;
    b->cacheH = H * rowsN;
    b->internal &= ~TBI_STALE;
}

namespace {

void PlaceOverlay(ToolbarExData* d, ToolbarExOverlay* o, HDC dc) {
    // A button reference, as the protocol reads them.
    const DWORD key = o->key;
    const ToolbarExButton* b = d->At((key >> 24) == 0x12 ? ToolbarExCommandToIndex(d, key) : (int)key);
    RECT t = {0, 0, 0, 0};
    if (b && !IsRectEmpty(&b->rect)) {
        DrawTextW(dc, o->text.c_str(), (int)o->text.size(), &t, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        int tw = t.right - t.left, th = t.bottom - t.top;
        int h = o->flags & 3, v = o->flags & 12;
        o->x = short(h == 1 ? (b->rect.left + b->rect.right - tw) / 2 : h == 2 ? b->rect.right - tw - 2 : b->rect.left);
        o->y = short(v == 4 ? (b->rect.top + b->rect.bottom - th) / 2 : v == 8 ? b->rect.bottom - th : b->rect.top);
        o->flags &= ~0x80;
    } else {
        o->flags = 15;
        o->x = o->y = 0;
    }
    o->x = short(o->x + o->dx);
    o->y = short(o->y + o->dy);
}

void DrawOverlay(ToolbarExData* d, const ToolbarExOverlay* o, HDC dc) {
    SIZE sz = {0, 0};
    DWORD ext = GetTabbedTextExtentW(dc, o->text.c_str(), (int)o->text.size(), 0, nullptr);
    sz.cx = LOWORD(ext);
    sz.cy = HIWORD(ext);
    const COLORREF back = d->colors[6], frame = d->colors[8];
    SetTextColor(dc, d->colors[7]);
    if (back == (COLORREF)-2) {
        SetBkMode(dc, TRANSPARENT);
    } else {
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, back);
    }
    TabbedTextOutW(dc, o->x, o->y, o->text.c_str(), (int)o->text.size(), 0, nullptr, o->x);
    if (back != (COLORREF)-2) {
        RECT after = {o->x + sz.cx, o->y, o->x + sz.cx + 1, o->y + sz.cy};
        FillDc(dc, &after, back);
    }
    if (frame != (COLORREF)-2) {
        RECT r = {o->x - 1, o->y - 1, o->x + sz.cx + 2, o->y + sz.cy + 1};
        RECT sides[4] = {{r.left, r.top, r.right, r.top + 1},
                         {r.left, r.bottom - 1, r.right, r.bottom},
                         {r.left, r.top, r.left + 1, r.bottom},
                         {r.right - 1, r.top, r.right, r.bottom}};
        for (const RECT& s : sides) FillDc(dc, &s, frame);
    }
}

}  // namespace

void ToolbarExPaint(ToolbarExData* d, HDC hdc, const RECT* rc) {
    if (d->dirty & 7) ToolbarExLayout(d, 1);
    const COLORREF bg = d->colors[0];
    HDC mem = CreateCompatibleDC(hdc);
    int saved = SaveDC(hdc);
    RECT indent = {0, 0, d->horizontal ? d->indent : 0x7FFF, d->horizontal ? 0x7FFF : d->indent};
    if (d->indent > 0) FillDc(hdc, &indent, bg);
    for (ToolbarExButton* b : d->buttons) {
        RECT x;
        if ((b->state & TBSTATE_HIDDEN) || IsRectEmpty(&b->rect) || !IntersectRect(&x, &b->rect, rc)) continue;
        ToolbarExRenderButton(d, b, hdc);
        if (!b->cacheBitmap) continue;  // painted as background below
        HGDIOBJ old = SelectObject(mem, b->cacheBitmap);
        const int W = b->rect.right - b->rect.left, H = b->rect.bottom - b->rect.top;
        const int s = b->VisualState();
        if (b->style & BTNS_SEP) {
            BitBlt(hdc, b->rect.left, b->rect.top, W, H, mem, 0, 0, SRCCOPY);
        } else {
            int row = s == 6 ? 2 : s == 7 ? 3 : s;
            int dropW = b->DropWidth();
            BitBlt(hdc, b->rect.left, b->rect.top, W - dropW, H, mem, 0, row * H, SRCCOPY);
            if (dropW) {
                int dropRow = (s == 6 || s == 7) ? (d->dropPress ? 3 : 2) : (s == 2 || s == 3) ? 1 : (s <= 1 ? 0 : s);
                BitBlt(hdc, b->rect.right - dropW, b->rect.top, dropW, H, mem, W - dropW, dropRow * H, SRCCOPY);
            }
        }
        SelectObject(mem, old);
        ExcludeClipRect(hdc, b->rect.left, b->rect.top, b->rect.right, b->rect.bottom);
    }
    FillDc(hdc, rc, bg);
    RestoreDC(hdc, saved);
    DeleteDC(mem);
    // The insert mark: an I-beam of 2-pixel bars.
    if (d->markIndex >= 0 && d->markIndex < d->Count()) {
        const RECT& m = d->markRect;
        RECT parts[3];
        if (d->markFlags & 2) {
            int y = (m.top + m.bottom) / 2 - 1;
            SetRect(&parts[0], m.left, y, m.right, y + 2);
            SetRect(&parts[1], m.left, m.top, m.left + 2, m.bottom);
            SetRect(&parts[2], m.right - 2, m.top, m.right, m.bottom);
        } else {
            int x = (m.left + m.right) / 2 - 1;
            SetRect(&parts[0], x, m.top, x + 2, m.bottom);
            SetRect(&parts[1], m.left, m.top, m.right, m.top + 2);
            SetRect(&parts[2], m.left, m.bottom - 2, m.right, m.bottom);
        }
        for (const RECT& p : parts) FillDc(hdc, &p, d->colors[5]);
    }
    if (d->overlays) {
        HGDIOBJ oldFont = SelectObject(hdc, GetStockObject(ANSI_VAR_FONT));
        for (ToolbarExOverlay* o = d->overlays; o; o = o->next) {
            if (o->flags & 0x80) PlaceOverlay(d, o, hdc);
            DrawOverlay(d, o, hdc);
        }
        SelectObject(hdc, oldFont);
    }
}
