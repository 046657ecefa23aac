// Frames, glyphs, texts and measures; the run-time binding of UxTheme.
#include "system/Draw.h"

#include <atomic>
#include <cstring>

namespace {

template <class F>
void Bind(HMODULE m, F& fn, const char* name) {
    fn = m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

struct UxThemeLoader {
    UxThemeApi api;
    UxThemeLoader() {
        memset(&api, 0, sizeof api);
        HMODULE m = LoadLibraryA("uxtheme.dll");
        if (!m) return;
        Bind(m, api.OpenThemeData, "OpenThemeData");
        Bind(m, api.CloseThemeData, "CloseThemeData");
        Bind(m, api.DrawThemeBackground, "DrawThemeBackground");
        Bind(m, api.DrawThemeEdge, "DrawThemeEdge");
        Bind(m, api.DrawThemeText, "DrawThemeText");
        Bind(m, api.GetThemePartSize, "GetThemePartSize");
        Bind(m, api.DrawThemeParentBackground, "DrawThemeParentBackground");
        Bind(m, api.IsThemeActive, "IsThemeActive");
        Bind(m, api.IsAppThemed, "IsAppThemed");
        Bind(m, api.BufferedPaintInit, "BufferedPaintInit");
        Bind(m, api.BufferedPaintUnInit, "BufferedPaintUnInit");
        Bind(m, api.BeginBufferedPaint, "BeginBufferedPaint");
        Bind(m, api.EndBufferedPaint, "EndBufferedPaint");
    }
};

void FillSolid(HDC hdc, int x, int y, int w, int h, COLORREF c) {
    if (w <= 0 || h <= 0) return;
    RECT r = {x, y, x + w, y + h};
    COLORREF old = SetBkColor(hdc, c);
    ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    SetBkColor(hdc, old);
}

void FrameOnce(HDC hdc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    FillSolid(hdc, r.left, r.top, w - 1, 1, topLeft);
    FillSolid(hdc, r.left, r.top, 1, h - 1, topLeft);
    FillSolid(hdc, r.right - 1, r.top, 1, h, bottomRight);
    FillSolid(hdc, r.left, r.bottom - 1, w, 1, bottomRight);
}

}  // namespace

const UxThemeApi* GetUxTheme() {
    static const UxThemeLoader s_loader;
    return &s_loader.api;
}

bool IsVisualStyleActive() {
    const UxThemeApi* t = GetUxTheme();
    return t->OpenThemeData && t->IsThemeActive && t->IsAppThemed && t->IsThemeActive() && t->IsAppThemed();
}

HTHEME OpenTheme(HWND hwnd, LPCWSTR classList) {
    if (!IsVisualStyleActive()) return nullptr;
    return GetUxTheme()->OpenThemeData(hwnd, classList);
}

void CloseTheme(HTHEME theme) {
    const UxThemeApi* t = GetUxTheme();
    if (theme && t->CloseThemeData) t->CloseThemeData(theme);
}

void Draw3dFrame(HDC hdc, const RECT* rect, COLORREF light, COLORREF dark, UINT flags) {
    if (!hdc || !rect) return;
    if (light == CLR_DEFAULT) light = GetSysColor(COLOR_BTNHIGHLIGHT);
    if (dark == CLR_DEFAULT) dark = GetSysColor(COLOR_BTNSHADOW);
    RECT r = *rect;
    bool sunken = (flags & D3F_SUNKEN) != 0;
    if (flags & D3F_DOUBLE) {
        COLORREF outerLight = GetSysColor(COLOR_3DLIGHT), outerDark = GetSysColor(COLOR_3DDKSHADOW);
        if (sunken)
            FrameOnce(hdc, r, dark, light);
        else
            FrameOnce(hdc, r, outerLight, outerDark);
        InflateRect(&r, -1, -1);
        if (sunken)
            FrameOnce(hdc, r, outerDark, outerLight);
        else
            FrameOnce(hdc, r, light, dark);
    } else {
        FrameOnce(hdc, r, sunken ? dark : light, sunken ? light : dark);
    }
    if (flags & D3F_FILL) {
        InflateRect(&r, -1, -1);
        FillSolid(hdc, r.left, r.top, r.right - r.left, r.bottom - r.top, GetSysColor(COLOR_BTNFACE));
    }
}

BOOL DrawThemedFrame(HDC hdc, HTHEME theme, const RECT* rect, int kind, UINT flags) {
    if (!hdc || !rect || kind < 1 || kind > 4) return FALSE;
    const UxThemeApi* t = GetUxTheme();
    if (theme && t->DrawThemeBackground) {
        // TOOLBAR, part TP_BUTTON: normal 1, hot 2, pressed 3, disabled 4, checked 5.
        int state = kind;
        if (kind == 3 && (flags & DTF_CHECKED)) state = 5;
        return SUCCEEDED(t->DrawThemeBackground(theme, hdc, 1, state, rect, nullptr));
    }
    switch (kind) {
    case 2: Draw3dFrame(hdc, rect); break;
    case 3: Draw3dFrame(hdc, rect, CLR_DEFAULT, CLR_DEFAULT, D3F_SUNKEN); break;
    default:
        if (flags & DTF_ALWAYS) Draw3dFrame(hdc, rect);
        break;
    }
    return TRUE;
}

void DrawFrameButton(HDC hdc, const RECT* rect, int state, UINT flags) {
    if (!hdc || !rect) return;
    bool radio = (flags & DFB_RADIO) != 0;
    if (flags & DFB_THEMED) {
        HTHEME theme = OpenTheme(nullptr, L"BUTTON");
        if (theme) {
            // BP_RADIOBUTTON 2 / BP_CHECKBOX 3; states: unchecked 1-4, checked 5-8.
            int s = (state & DFB_DISABLED) ? 4 : ((state & DFB_HOT) ? 2 : 1);
            if (state & DFB_CHECKED) s += 4;
            GetUxTheme()->DrawThemeBackground(theme, hdc, radio ? 2 : 3, s, rect, nullptr);
            CloseTheme(theme);
            return;
        }
    }
    RECT r = *rect;
    UINT dfcs = radio ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
    if (state & DFB_CHECKED) dfcs |= DFCS_CHECKED;
    if (state & DFB_HOT) dfcs |= DFCS_PUSHED;
    if (state & DFB_DISABLED) dfcs |= DFCS_INACTIVE;
    DrawFrameControl(hdc, &r, DFC_BUTTON, dfcs);
}

namespace {

struct DisabledText {
    LPCWSTR text;
    int length;
    UINT flags;
    HFONT font;
};

BOOL CALLBACK DrawDisabledTextProc(HDC hdc, LPARAM data, WPARAM, int cx, int cy) {
    const DisabledText* d = reinterpret_cast<const DisabledText*>(data);
    HGDIOBJ old = d->font ? SelectObject(hdc, d->font) : nullptr;
    RECT r = {0, 0, cx, cy};
    SetBkMode(hdc, TRANSPARENT);
    DrawTextW(hdc, d->text, d->length, &r, d->flags);
    if (old) SelectObject(hdc, old);
    return TRUE;
}

}  // namespace

void DrawDisabledTextW(HDC hdc, LPCWSTR text, int length, const RECT* rect, UINT dtFlags) {
    if (!hdc || !text || !rect) return;
    if (length < 0) length = int(wcslen(text));
    DisabledText d = {text, length, dtFlags & ~UINT(DT_CALCRECT), static_cast<HFONT>(GetCurrentObject(hdc, OBJ_FONT))};
    DrawStateW(hdc, nullptr, DrawDisabledTextProc, reinterpret_cast<LPARAM>(&d), WPARAM(length), rect->left,
               rect->top, rect->right - rect->left, rect->bottom - rect->top, DST_COMPLEX | DSS_DISABLED);
}

namespace {

// -1 not looked up yet, 0 missing, 1 present.
std::atomic<int> g_marlett(-1);

HFONT CreateMarlettFont(int size) {
    return CreateFontW(-size, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Marlett");
}

// One glyph's lines and polygons in colour, dx and dy pixels off its place.
void DrawShape(HDC hdc, const RECT& r, int glyph, COLORREF color, int dx, int dy) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int s = w < h ? w : h;
    const int cx = (r.left + r.right) / 2 + dx, cy = (r.top + r.bottom) / 2 + dy;
    const int x0 = cx - s / 2, y0 = cy - s / 2;
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HBRUSH brush = CreateSolidBrush(color);
    HGDIOBJ oldPen = SelectObject(hdc, pen), oldBrush = SelectObject(hdc, brush);
    // An arrow: half its base b, as high as b, its tip lo / hi from the middle.
    const int b = s / 4 > 2 ? s / 4 : 2, lo = b / 2, hi = b - b / 2;
    POINT p[3];
    switch (glyph) {
    case MARLETT_CHECK: {
        // Two strokes, as thick as an eighth of the size, the short one down to the left.
        const int t = s / 8 > 1 ? s / 8 : 1;
        for (int k = 0; k <= t; ++k) {
            POINT tick[3] = {{x0 + s * 2 / 10, y0 + s * 5 / 10 + k - t / 2},
                             {x0 + s * 4 / 10, y0 + s * 7 / 10 + k - t / 2},
                             {x0 + s * 8 / 10, y0 + s * 3 / 10 + k - t / 2}};
            Polyline(hdc, tick, 3);
        }
        break;
    }
    case MARLETT_RADIO_DOT: {
        const int d = s * 2 / 5 > 2 ? s * 2 / 5 : 2;
        Ellipse(hdc, cx - d / 2, cy - d / 2, cx - d / 2 + d, cy - d / 2 + d);
        break;
    }
    case MARLETT_ARROW_DOWN:
        p[0] = {cx - b, cy - lo}, p[1] = {cx + b, cy - lo}, p[2] = {cx, cy + hi};
        Polygon(hdc, p, 3);
        break;
    case MARLETT_ARROW_UP:
        p[0] = {cx - b, cy + hi}, p[1] = {cx + b, cy + hi}, p[2] = {cx, cy - lo};
        Polygon(hdc, p, 3);
        break;
    case MARLETT_ARROW_RIGHT:
        p[0] = {cx - lo, cy - b}, p[1] = {cx - lo, cy + b}, p[2] = {cx + hi, cy};
        Polygon(hdc, p, 3);
        break;
    case MARLETT_ARROW_LEFT:
        p[0] = {cx + hi, cy - b}, p[1] = {cx + hi, cy + b}, p[2] = {cx - lo, cy};
        Polygon(hdc, p, 3);
        break;
    default: break;
    }
    SelectObject(hdc, oldPen);
    SelectObject(hdc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

}  // namespace

bool HasMarlettFont() {
    int known = g_marlett.load();
    if (known >= 0) return known != 0;
    // The font mapper gives another face when the system lacks the font.
    bool present = false;
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateMarlettFont(16);
    if (dc && font) {
        HGDIOBJ old = SelectObject(dc, font);
        wchar_t face[LF_FACESIZE] = L"";
        GetTextFaceW(dc, LF_FACESIZE, face);
        SelectObject(dc, old);
        present = lstrcmpiW(face, L"Marlett") == 0;
    }
    if (font) DeleteObject(font);
    if (dc) DeleteDC(dc);
    int unknown = -1;
    g_marlett.compare_exchange_strong(unknown, present ? 1 : 0);
    return g_marlett.load() != 0;
}

void UseMarlettFont(bool use) { g_marlett.store(use ? -1 : 0); }

void DrawGlyphShape(HDC hdc, const RECT* rect, UINT glyph) {
    if (!hdc || !rect || rect->right <= rect->left || rect->bottom <= rect->top) return;
    const int g = int(glyph & 0xFF);
    if (glyph & DMG_DISABLED) {
        DrawShape(hdc, *rect, g, GetSysColor(COLOR_3DHILIGHT), 1, 1);
        DrawShape(hdc, *rect, g, GetSysColor(COLOR_GRAYTEXT), 0, 0);
    } else {
        DrawShape(hdc, *rect, g, GetTextColor(hdc), 0, 0);
    }
}

void DrawMarlettGlyph(HDC hdc, const RECT* rect, UINT glyph) {
    if (!hdc || !rect) return;
    if (!HasMarlettFont()) return DrawGlyphShape(hdc, rect, glyph);
    int w = rect->right - rect->left, h = rect->bottom - rect->top;
    int size = w < h ? w : h;
    if (size <= 0) return;
    HFONT font = CreateMarlettFont(size);
    if (!font) return;
    int saved = SaveDC(hdc);
    SelectObject(hdc, font);
    SetBkMode(hdc, TRANSPARENT);
    wchar_t ch[2] = {wchar_t(glyph & 0xFF), 0};
    RECT r = *rect;
    UINT dt = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP;
    if (glyph & DMG_DISABLED) {
        OffsetRect(&r, 1, 1);
        SetTextColor(hdc, GetSysColor(COLOR_3DHILIGHT));
        DrawTextW(hdc, ch, 1, &r, dt);
        OffsetRect(&r, -1, -1);
        SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
    }
    DrawTextW(hdc, ch, 1, &r, dt);
    RestoreDC(hdc, saved);
    DeleteObject(font);
}

DWORD GetTextSizeW(HDC hdc, LPCWSTR text, int length, UINT flags, HFONT font) {
    HDC dc = hdc ? hdc : GetDC(nullptr);
    if (!dc) return 0;
    HFONT use = font ? font : (hdc ? nullptr : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    HGDIOBJ old = use ? SelectObject(dc, use) : nullptr;
    if (!text) text = L"";
    if (length < 0) length = int(wcslen(text));
    int width = 0, height = 0;
    if (length) {
        // A wrapping layout gets room enough not to wrap: the caller asks for one line's size.
        RECT r = {0, 0, (flags & DT_WORDBREAK) ? 0x7FFF : 0, 0};
        DrawTextW(dc, text, length, &r, (flags & ~GTS_FONT_HEIGHT) | DT_CALCRECT);
        width = r.right - r.left;
        height = r.bottom - r.top;
    }
    if (flags & GTS_FONT_HEIGHT) {
        TEXTMETRICW tm;
        if (GetTextMetricsW(dc, &tm)) height = tm.tmHeight;
    }
    if (old) SelectObject(dc, old);
    if (!hdc) ReleaseDC(nullptr, dc);
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    return MAKELONG(WORD(width > 0xFFFF ? 0xFFFF : width), WORD(height > 0xFFFF ? 0xFFFF : height));
}

BOOL GetUiMetricPair(int kind, SIZE* out) {
    if (!out) return FALSE;
    int cx, cy;
    switch (kind) {
    case 0: cx = SM_CXMENUCHECK; cy = SM_CYMENUCHECK; break;
    case 1: cx = SM_CXSMICON; cy = SM_CYSMICON; break;
    case 2: cx = SM_CXICON; cy = SM_CYICON; break;
    case 3: cx = SM_CXEDGE; cy = SM_CYEDGE; break;
    case 4: cx = SM_CXBORDER; cy = SM_CYBORDER; break;
    default: return FALSE;
    }
    out->cx = GetSystemMetrics(cx);
    out->cy = GetSystemMetrics(cy);
    return TRUE;
}
