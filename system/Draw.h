// Drawing primitives: device-independent bitmaps in one allocation (DIB blocks), frames,
// glyphs and texts in the classic or the current visual style (UxTheme loaded at run time),
// text measuring, and the shell's system image list with drive icons.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

// ----- DIB blocks ----------------------------------------------------------------------------
// A DIB block is one allocation: a hidden header carrying DIB_MAGIC, then a packed DIB (a
// BITMAPINFOHEADER, its colour table or bit masks, the pixel rows), so that the pointer that
// callers hold can go straight to StretchDIBits and the like. Rows are bottom-up as usual
// (top-down blocks read by these functions are handled too). Coordinates (x, y) count from
// the top-left pixel. Depths: 1, 4, 8 (with a palette), 16 (5-6-5 masks when made here;
// 5-5-5 read too), 24, 32 (blue, green, red, alpha).

typedef BITMAPINFOHEADER DibBlock;
enum : DWORD { DIB_MAGIC = 0x12345678 };

// A new block, pixels zeroed (black, alpha 0). palette (paletteCount entries, at most 1 <<
// bitCount) sets the colours of depths 1, 4 and 8; without it they get grey steps (1 and 8
// bits) or the 16 standard colours (4 bits). Null for a bad size or depth, or no memory.
DibBlock* DibCreate(int width, int height, int bitCount, const RGBQUAD* palette = nullptr, int paletteCount = 0);
// Frees a block after checking its magic; null and foreign pointers are ignored.
void DibFree(DibBlock* dib);
// True for a block made by these functions (magic intact).
bool DibIsBlock(const DibBlock* dib);
// The pixel rows; null for a bad block.
BYTE* DibGetBits(const DibBlock* dib);
// Bytes per row ((width x bits + 31) / 32 x 4); 0 for a bad block.
int DibGetStride(const DibBlock* dib);
int DibGetWidth(const DibBlock* dib);
int DibGetHeight(const DibBlock* dib);   // always positive
// Colour table of depths 1-8 (null otherwise) and its number of entries.
RGBQUAD* DibGetPalette(const DibBlock* dib, int* pCount = nullptr);
// Colour of a pixel as RGB (0x00BBGGRR; a 32-bit pixel's alpha is left out); CLR_INVALID
// outside the bitmap or for a bad block.
COLORREF DibGetPixel(const DibBlock* dib, int x, int y);
// Sets a pixel of depth 16, 24 or 32 (alpha 255), or the nearest palette entry for 1-8 bits.
BOOL DibSetPixel(DibBlock* dib, int x, int y, COLORREF color);

// The bitmap resource id of module instance as a block (a copy). The first and fifth
// arguments are reserved (0); mode 2 loads the image as stored (the only mode). *pStride
// (when given) gets the bytes per row. Null when the resource is missing or unreadable.
DibBlock* DibLoadResourceA(int reserved, HINSTANCE instance, LPCSTR id, int mode = 2, int reserved2 = 0,
                           int* pStride = nullptr);
DibBlock* DibLoadResourceW(int reserved, HINSTANCE instance, LPCWSTR id, int mode = 2, int reserved2 = 0,
                           int* pStride = nullptr);
// A block copied from a GDI bitmap in its own depth (16-bit bitmaps as 5-6-5). The first
// argument is reserved (0). Null on failure.
DibBlock* DibFromBitmap(int reserved, HBITMAP bitmap, int* pStride = nullptr);
// A 32-bit block with the icon's image and its transparency as alpha (straight, not
// premultiplied). size 0 takes the icon's own size. Null on failure.
DibBlock* DibFromIcon(HICON icon, int size = 0);
// A new block with the pixels of dib in another depth: format is the bit count (1, 4, 8, 16,
// 24, 32), 0 the screen's. Palettes of 1-8 bits are the defaults of DibCreate, each pixel
// taking its nearest colour; 32-bit results get alpha 255 unless the source had alpha. The
// first argument is reserved (0). Null on failure.
DibBlock* DibConvert(int reserved, const DibBlock* dib, int format, int* pStride = nullptr);
// A GDI bitmap (a DIB section) with a copy of the block; the caller deletes it. Null on failure.
HBITMAP DibCreateBitmap(const DibBlock* dib);

// Scaled copy: each destination pixel (dx + i, dy + j) of the dw x dh area takes the source
// pixel (sx + (i * xStep >> 16), sy + (j * yStep >> 16)); steps are 16.16 factors (0x10000 =
// 1:1). Source pixels of colour key (CLR_NONE: none) are left out. Parts outside either
// bitmap are skipped. The destination must have 16, 24 or 32 bits, or the source's depth and
// palette layout for 1-8 bits (indexes are then copied). False for bad blocks or depths.
BOOL DibBlit(DibBlock* dst, int dx, int dy, int dw, int dh, const DibBlock* src, int sx, int sy, int xStep = 0x10000,
             int yStep = 0x10000, COLORREF key = CLR_NONE);
enum { DIB_BLEND_GRAY = 1 };
// Mixes every pixel (palette entry for 1-8 bits) other than the key colour (CLR_NONE: none)
// with color: (pixel x weightPixel + color x weightColor) / (weightPixel + weightColor).
// flags DIB_BLEND_GRAY first turns the pixel into its grey. DibBlend(d, 0xDFDFDF, 0xC0C0C0)
// fades an image on the classic button face. False for a bad block or weights.
BOOL DibBlend(DibBlock* dib, COLORREF color, COLORREF key = CLR_NONE, int weightPixel = 1, int weightColor = 1,
              int flags = 0);
// Draws the w x h area of a 32-bit source with straight alpha (times alpha / 255) over the
// destination (24 or 32 bits) at (dx, dy). A 32-bit destination's alpha becomes the union.
BOOL DibAlphaCopy32(DibBlock* dst, int dx, int dy, const DibBlock* src, int sx, int sy, int w, int h, int alpha = 255);
// 3 x 3 filter of a 32-bit block's colours (alpha kept): each channel becomes the kernel's
// weighted sum of its neighbourhood / divisor + bias, clamped to 0..255. Pixels of the
// one-pixel border use their nearest neighbours inside the image in place of the missing
// ones. False for a bad block, depth or divisor 0.
BOOL DibFilter32(DibBlock* dib, const int kernel[9], int divisor, int bias = 0);
// Draws the sw x sh area at (sx, sy) of the block into (x, y, w, h) of the device context
// (StretchDIBits with rop). w, h, sw or sh -1: the block's width / height. False on failure.
BOOL DibDrawToDevice(HDC hdc, int x, int y, int w, int h, const DibBlock* dib, int sx = 0, int sy = 0, int sw = -1,
                     int sh = -1, DWORD rop = SRCCOPY);
// Replaces colour from by to (palette entries for 1-8 bits; alpha kept). Returns the number
// of pixels or entries changed.
int DibReplaceColor(DibBlock* dib, COLORREF from, COLORREF to);
// The standard greys in the system's colours: 0x808080 -> COLOR_BTNSHADOW, 0xC0C0C0 ->
// COLOR_BTNFACE, 0xDFDFDF -> COLOR_3DLIGHT. Returns the number changed.
int DibMapToSysColors(DibBlock* dib);
// One colour mapped the same way; any other colour unchanged.
COLORREF MapToSysColor(COLORREF color);

// ----- visual styles (UxTheme, loaded at run time) -------------------------------------------

// The functions of uxtheme.dll that the controls use; a member is null when the system lacks
// it (or the whole library). Loaded once per process, never unloaded.
struct UxThemeApi {
    HTHEME(WINAPI* OpenThemeData)(HWND, LPCWSTR);
    HRESULT(WINAPI* CloseThemeData)(HTHEME);
    HRESULT(WINAPI* DrawThemeBackground)(HTHEME, HDC, int, int, const RECT*, const RECT*);
    HRESULT(WINAPI* DrawThemeEdge)(HTHEME, HDC, int, int, const RECT*, UINT, UINT, RECT*);
    HRESULT(WINAPI* DrawThemeText)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT*);
    HRESULT(WINAPI* GetThemePartSize)(HTHEME, HDC, int, int, const RECT*, THEMESIZE, SIZE*);
    HRESULT(WINAPI* DrawThemeParentBackground)(HWND, HDC, const RECT*);
    BOOL(WINAPI* IsThemeActive)();
    BOOL(WINAPI* IsAppThemed)();
    HRESULT(WINAPI* BufferedPaintInit)();
    HRESULT(WINAPI* BufferedPaintUnInit)();
    HPAINTBUFFER(WINAPI* BeginBufferedPaint)(HDC, const RECT*, BP_BUFFERFORMAT, BP_PAINTPARAMS*, HDC*);
    HRESULT(WINAPI* EndBufferedPaint)(HPAINTBUFFER, BOOL);
};
// Never null.
const UxThemeApi* GetUxTheme();
// True when visual styles are on for this program (the functions exist and say so).
bool IsVisualStyleActive();
// OpenThemeData when visual styles are on, else null. Close with CloseTheme (null is fine).
HTHEME OpenTheme(HWND hwnd, LPCWSTR classList);
void CloseTheme(HTHEME theme);

// ----- frames, glyphs, texts -----------------------------------------------------------------

enum {
    D3F_SUNKEN = 1,   // dark top-left, light bottom-right
    D3F_FILL = 2,     // fill the inside with COLOR_BTNFACE
    D3F_DOUBLE = 4,   // a second, inner frame (COLOR_3DLIGHT / COLOR_3DDKSHADOW outside)
};
// A one-pixel raised (or sunken) frame along the rectangle's inside, drawn with opaque
// rectangles. light / dark CLR_DEFAULT: COLOR_BTNHIGHLIGHT / COLOR_BTNSHADOW.
void Draw3dFrame(HDC hdc, const RECT* rect, COLORREF light = CLR_DEFAULT, COLORREF dark = CLR_DEFAULT, UINT flags = 0);

enum {
    DTF_CHECKED = 1,  // kind 3 shows the checked look rather than the pressed one
    DTF_ALWAYS = 2,   // classic style: kinds 1 and 4 get a raised frame too (else none)
};
// A button frame of kind 1 normal, 2 hot, 3 pressed or checked, 4 disabled: with theme (an
// open "TOOLBAR" theme) in the visual style, with null in the classic style (hot raised,
// pressed sunken). False for a bad kind.
BOOL DrawThemedFrame(HDC hdc, HTHEME theme, const RECT* rect, int kind, UINT flags = 0);

enum {
    DFB_CHECKED = 1, DFB_HOT = 2, DFB_DISABLED = 4,   // the state bits (0-7)
    DFB_RADIO = 1,                                      // flags: a radio cell instead of a check box
    DFB_THEMED = 2,                                     // flags: in the visual style when it is on
};
// A check-box (or radio) cell in the rectangle for state 0-7.
void DrawFrameButton(HDC hdc, const RECT* rect, int state, UINT flags = 0);
// Grey, embossed text (DrawStateW with DSS_DISABLED) in the DC's font, laid out by DrawTextW
// flags within the rectangle. length -1: up to the NUL.
void DrawDisabledTextW(HDC hdc, LPCWSTR text, int length, const RECT* rect, UINT dtFlags);

enum {
    MARLETT_CHECK = 'a', MARLETT_RADIO_DOT = 'h', MARLETT_ARROW_RIGHT = '4', MARLETT_ARROW_DOWN = '6',
    MARLETT_ARROW_LEFT = '3', MARLETT_ARROW_UP = '5',
    DMG_DISABLED = 0x100,     // embossed grey instead of the DC's text colour
};
// One character of the Marlett font (low byte of glyph) centred in the rectangle, as large as
// the rectangle's smaller side, in the DC's text colour on a transparent ground. Without the
// font on the system the glyphs above are drawn by DrawGlyphShape, others not at all.
void DrawMarlettGlyph(HDC hdc, const RECT* rect, UINT glyph);
// The glyphs above (MARLETT_*, with DMG_DISABLED) drawn with lines and polygons, without a
// font: a tick, a dot, or a triangle pointing its way, centred in the rectangle and scaled to
// its smaller side (16 pixels give an arrow 9 wide and 5 high), in the DC's text colour.
// Other glyphs draw nothing.
void DrawGlyphShape(HDC hdc, const RECT* rect, UINT glyph);
// True when the system has the Marlett font (looked up once per process).
bool HasMarlettFont();
// Tests of the drawn glyphs on a system that has the font: false makes HasMarlettFont answer
// false for this process, true looks the font up again.
void UseMarlettFont(bool use);

enum : UINT { GTS_FONT_HEIGHT = 0x80000000u };
// Size of a text as DrawTextW with DT_CALCRECT and flags lays it out, in font (null: the
// DC's, or the default GUI font for the screen), on hdc (null: the screen). With
// GTS_FONT_HEIGHT the height is the font's cell height (tmHeight) whatever the text. Returns
// MAKELONG(width, height); length -1: up to the NUL.
DWORD GetTextSizeW(HDC hdc, LPCWSTR text, int length, UINT flags, HFONT font);
// A pair of system measures: kind 0 the check-mark glyph, 1 a small icon, 2 an icon, 3 the
// 3-D edge, 4 the border. False for an unknown kind.
BOOL GetUiMetricPair(int kind, SIZE* out);

// ----- shell icons ---------------------------------------------------------------------------

// The shell's system image list (small or large icons); the shell owns it.
HIMAGELIST GetSysImageList(BOOL small = TRUE);
// Index of a plain file's icon in the system image list (looked up once).
int GetPlainFileIconIndex(BOOL small = TRUE);
// Index of a drive's icon ('A'-'Z', either case), -1 when the shell has none. Cached: fixed
// drives for good, others looked up again after 3000 ms. Any thread.
int GetDriveIconIndex(char letter, BOOL small = TRUE);
// Letter of the system drive: from the system folder, else the first present drive from C,
// else 'C'.
char GetSystemDriveLetter();
