// The toolbar control's per-window state, shared by its protocol (ToolbarEx.cpp) and its
// layout and painting (ToolbarExPaint.cpp). Every field is guarded by the window's lock.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

#include "system/Draw.h"
#include "toolkit/ToolbarEx.h"

enum : WORD {  // internal button flags
    TBI_STATEMASK = 0x0007, TBI_SEPLIKE = 0x0010, TBI_MEASURED = 0x0020, TBI_IMAGE = 0x0040,
    TBI_TEXTUNDER = 0x0080, TBI_ROWGROUP = 0x0100, TBI_TEXTBESIDE = 0x0200, TBI_ROWTEXT = 0x0400,
    TBI_STALE = 0x0800, TBI_STACKED = 0x1000, TBI_STACKFIRST = 0x2000, TBI_STACKLAST = 0x4000,
    TBI_TEXTONLY = 0x8000,
    TBI_LAYOUTMARKS = TBI_ROWGROUP | TBI_STACKED | TBI_STACKFIRST | TBI_STACKLAST,
};

struct ToolbarExButton {
    int image = -1;
    int command = 0;
    BYTE state = 0;
    BYTE style = 0;
    WORD flags = 0;       // button flags
    DWORD_PTR data = 0;
    INT_PTR string = 0;
    WORD internal = 0;
    WORD bitmapNo = 0xFFFF, imageNo = 0;
    WORD cellW = 0, cellH = 0, contentW = 0, contentH = 0;
    WORD drop = 0;        // low 10 bits the content width, high 6 bits the drop-down part
    RECT rect = {0, 0, 0, 0};
    DibBlock* cache = nullptr;
    HBITMAP cacheBitmap = nullptr;
    int cacheW = 0, cacheH = 0;
    int VisualState() const { return internal & TBI_STATEMASK; }
    int DropWidth() const { return drop >> 10; }
};

struct ToolbarExBitmap {
    HINSTANCE instance = nullptr;
    UINT_PTR id = 0;
    DibBlock* dib = nullptr;
    int stride = 0;
    WORD flags = 0;       // 0x01 separator column, 0x02 fixed width, 0x04 strip, 0x08 count final, 0x10 owns HBITMAP
    WORD first = 0, count = 0;
    WORD scale = 256;
    WORD scanX = 0;       // strips: next column to scan
    std::vector<WORD> starts, widths;  // strips: the images found so far
    WORD width = 0, height = 0;
};

struct ToolbarExOverlay {
    ToolbarExOverlay* next = nullptr;
    short x = 0, y = 0;
    DWORD key = 0;
    short dx = 0, dy = 0;
    BYTE flags = 0;
    WORD tag = 0;
    std::wstring text;
};

// The window's lock: a critical section with an owner and depth of the control's own, so
// that a handler can check on its way out that it still holds the lock.
struct ToolbarExLock {
    CRITICAL_SECTION cs;
    DWORD owner = 0;
    int depth = 0;
};

struct ToolbarExData {
    HWND hwnd = nullptr;
    ToolbarExLock lock;
    HTHEME theme = nullptr, theme2 = nullptr;
    HFONT font = nullptr, measuredFont = nullptr;
    int letterHeight = 0;
    HWND notify = nullptr, command = nullptr, command2 = nullptr;
    COLORREF keys[2] = {0xFF00FF, 0x800080};
    COLORREF colors[9] = {};
    BYTE colorSet[9] = {};
    int textHeight = 0, textAscent = 0, fixedPitch = 0;
    int indent = 0;
    int scratch = 0;
    int minWidth = -1, maxWidth = -1;
    int buttonW = 23, buttonH = 22;
    int bitmapW = 16, bitmapH = 16;
    int padX = 7, padY = 7;
    int insetX = 2, insetY = 4;
    std::vector<ToolbarExBitmap> bitmaps;
    std::vector<ToolbarExButton*> buttons;
    std::vector<std::wstring> strings;
    ToolbarExOverlay* overlays = nullptr;
    int rows = 0;
    int structSize = 20;
    int scale = 256;
    int dropPress = 0;
    int hot = -1;
    int markIndex = -1, markFlags = 0;
    RECT markRect = {0, 0, 0, 0};
    int totalW = 0, totalH = 0;
    int clientW = 0, clientH = 0;
    DWORD style = 0;
    BYTE screenDepth = 24, deep = 1, enabled = 1, mouseBits = 0, dropHot = 0, themed = 0;
    BYTE dirty = 7, horizontal = 1, vertical = 0;

    int Count() const { return (int)buttons.size(); }
    ToolbarExButton* At(int i) const { return i >= 0 && i < Count() ? buttons[i] : nullptr; }
};

// ----- shared between the protocol and the painter -----

// The command lookup (TB_COMMANDTOINDEX): an index, or -1.
int ToolbarExCommandToIndex(const ToolbarExData* d, DWORD v);
// The text of a button's string (empty beyond the table).
const std::wstring& ToolbarExButtonText(const ToolbarExData* d, const ToolbarExButton* b);
// Image index -> bitmap number and image within it, with the image's source rectangle; false
// when the index is negative or beyond the images.
bool ToolbarExFindImage(ToolbarExData* d, int image, int* bitmapNo, RECT* src);
// The resting visual state: 4/5 disabled or indeterminate, else 0/1 by checked or pressed.
int ToolbarExRestingState(const ToolbarExButton* b);
// Invalidates a rectangle without erasing.
void ToolbarExInvalidate(ToolbarExData* d, const RECT* r);
// Marks every button's images out of date.
void ToolbarExMarkAllStale(ToolbarExData* d);

// Measures one button. With out the marks go there and the size is returned (width low,
// height high); else the button keeps the size and marks and the result is 1 unchanged, 2
// marks changed, 3 size changed.
DWORD ToolbarExMeasure(ToolbarExData* d, ToolbarExButton* b, bool rows, WORD* out);
// Lays the buttons out. mode 0 the normal layout, 1 also the overlays, 2 measure as rows, 4
// measure as a column (returns width | height << 16). count limits the buttons (-1 all).
DWORD ToolbarExLayout(ToolbarExData* d, int mode, int count = -1);
// Message 0x491.
DWORD ToolbarExSizeForLength(ToolbarExData* d, int length, int flags);
// Renders a button's state images when out of date.
void ToolbarExRenderButton(ToolbarExData* d, ToolbarExButton* b, HDC screen);
// Paints the control into hdc (the update rectangle rc).
void ToolbarExPaint(ToolbarExData* d, HDC hdc, const RECT* rc);
// Frees a button's state images.
void ToolbarExFreeCache(ToolbarExButton* b);
// Places the insert mark's rectangle from its button.
void ToolbarExPlaceMark(ToolbarExData* d);
// The shared fonts (weight 400 / 700).
HFONT ToolbarExDefaultFont(bool bold = false);
