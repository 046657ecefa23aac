// The toolbar control's protocol: class, shared resources, per-window state, buttons,
// bitmaps, strings, overlays, the common and private messages, hot tracking and clicks.
#include <stdio.h>
#include <string.h>

#include "toolkit/ToolbarExImpl.h"

namespace {

// ----- shared resources ------------------------------------------------------------------------

bool g_registered = false;
volatile LONG g_refs = 0;
HCURSOR g_cursors[3];
HFONT g_fonts[2];
int g_screenDepth = 24;
CRITICAL_SECTION g_fontLock;
volatile LONG g_fontLockInit = 0;

void EnsureFontLock() {
    if (InterlockedCompareExchange(&g_fontLockInit, 1, 0) == 0) {
        InitializeCriticalSection(&g_fontLock);
        InterlockedExchange(&g_fontLockInit, 2);
    }
    while (g_fontLockInit != 2) Sleep(0);
}

void AddSharedRef() {
    if (InterlockedIncrement(&g_refs) != 1) return;
    g_cursors[0] = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    g_cursors[1] = LoadCursorA(nullptr, (LPCSTR)IDC_HAND);
    g_cursors[2] = LoadCursorA(nullptr, (LPCSTR)IDC_NO);
    const UxThemeApi* ux = GetUxTheme();
    if (ux->BufferedPaintInit) ux->BufferedPaintInit();
    HDC screen = GetDC(nullptr);
    g_screenDepth = screen ? GetDeviceCaps(screen, BITSPIXEL) : 24;
    if (screen) ReleaseDC(nullptr, screen);
}

void ReleaseSharedRef() {
    if (InterlockedDecrement(&g_refs) != 0) return;
    const UxThemeApi* ux = GetUxTheme();
    if (ux->BufferedPaintUnInit) ux->BufferedPaintUnInit();
    EnsureFontLock();
    EnterCriticalSection(&g_fontLock);
    for (HFONT& f : g_fonts) {
        if (f) DeleteObject(f);
        f = nullptr;
    }
    LeaveCriticalSection(&g_fontLock);
}

// ----- the lock --------------------------------------------------------------------------------

class Guard {
public:
    Guard(ToolbarExData* d, int line) : d_(d), line_(line) { Lock(); }
    ~Guard() {
        if (held_) Unlock(line_);
    }
    void Lock() {
        EnterCriticalSection(&d_->lock.cs);
        d_->lock.owner = GetCurrentThreadId();
        ++d_->lock.depth;
        held_ = true;
    }
    // Leaves the lock, first checking that this thread holds it; misuse is reported with the
    // source line and the lock is not touched then.
    void Unlock(int line) {
        held_ = false;
        if (d_->lock.owner != GetCurrentThreadId() || d_->lock.depth <= 0) {
            char text[16];
            snprintf(text, sizeof text, "%i", line);
            MessageBoxA(nullptr, text, "Unlock Error", MB_OK);
            return;
        }
        if (--d_->lock.depth == 0) d_->lock.owner = 0;
        LeaveCriticalSection(&d_->lock.cs);
    }

private:
    ToolbarExData* d_;
    int line_;
    bool held_ = false;
};
#define GUARD(d) Guard guard_((d), __LINE__)
#define UNGUARD() guard_.Unlock(__LINE__)
#define REGUARD() guard_.Lock()

ToolbarExData* DataOf(HWND hwnd) { return reinterpret_cast<ToolbarExData*>(GetWindowLongPtrA(hwnd, 0)); }

// ----- colours ---------------------------------------------------------------------------------

void DefaultColors(ToolbarExData* d) {
    static const int sys[8] = {COLOR_BTNFACE, COLOR_WINDOWFRAME, COLOR_WINDOWFRAME, COLOR_3DLIGHT, -1, -1, COLOR_INFOBK,
                               COLOR_INFOTEXT};
    for (int i = 0; i < 8; ++i) {
        if (d->colorSet[i]) continue;
        d->colors[i] = sys[i] >= 0 ? GetSysColor(sys[i]) : (i == 4 ? 0x80C0FF : 0);
    }
    if (!d->colorSet[8])
        d->colors[8] = ((d->colors[7] >> 1) & 0x7F7F7F) + ((d->colors[6] >> 1) & 0x7F7F7F);
}

// ----- repaint helpers -------------------------------------------------------------------------

void InvalidateAll(ToolbarExData* d) { ToolbarExInvalidate(d, nullptr); }

void InvalidateButton(ToolbarExData* d, const ToolbarExButton* b) {
    if (b && !IsRectEmpty(&b->rect)) ToolbarExInvalidate(d, &b->rect);
}

// From the button's top-left to the right edge over its height, and everything below.
void InvalidateFrom(ToolbarExData* d, const ToolbarExButton* b) {
    if (!b || IsRectEmpty(&b->rect)) return InvalidateAll(d);
    RECT r = {b->rect.left, b->rect.top, 0x7FFF, b->rect.bottom};
    ToolbarExInvalidate(d, &r);
    RECT below = {0, b->rect.bottom, 0x7FFF, 0x7FFF};
    ToolbarExInvalidate(d, &below);
}

void Restyle(ToolbarExData* d, ToolbarExButton* b) {
    b->internal |= TBI_STALE;
    b->internal &= ~TBI_MEASURED;
    d->dirty |= 3;
}

}  // namespace

// ----- the command lookup ----------------------------------------------------------------------

int ToolbarExCommandToIndex(const ToolbarExData* d, DWORD v) {
    const int n = d->Count();
    if ((v >> 16) == 0x1234) return (int)(v & 0xFFFF);
    if ((v >> 16) == 0x1248) {
        for (int i = 0; i < n; ++i)
            if ((WORD)d->buttons[i]->command == (v & 0xFFFF) && (DWORD)d->buttons[i]->command <= 0xFFFF) return i;
        return -1;
    }
    if ((v & ~0x7FFFFFu) == 0x12800000u) {
        int nth = (v >> 16) & 0x7F;
        bool byFlags = (v & 0xFFF) == 0xE7E;
        for (int i = 0; i < n; ++i) {
            const ToolbarExButton* b = d->buttons[i];
            bool hit = byFlags ? (b->flags & v & 0xF000) != 0 : (DWORD)b->command == (v & 0xFFFF);
            if (hit && nth-- == 0) return i;
        }
        return -1;
    }
    for (int i = 0; i < n; ++i)
        if ((DWORD)d->buttons[i]->command == v) return i;
    return -1;
}

namespace {

int RefToIndex(const ToolbarExData* d, WPARAM ref) {
    DWORD v = (DWORD)ref;
    return (v >> 24) == 0x12 ? ToolbarExCommandToIndex(d, v) : (int)v;
}

// ----- visual states ---------------------------------------------------------------------------

void SetVisual(ToolbarExButton* b, int state) { b->internal = WORD((b->internal & ~TBI_STATEMASK) | state); }

// The look of one button after a state change; repaints it.
void RedrawButton(ToolbarExData* d, int i) {
    ToolbarExButton* b = d->At(i);
    if (!b || (b->state & TBSTATE_HIDDEN)) return;
    int state = ToolbarExRestingState(b);
    bool usable = (b->state & TBSTATE_ENABLED) && !(b->state & TBSTATE_INDETERMINATE);
    if (i == (d->hot & 0xFFFF) && d->hot >= 0 && usable && !(b->flags & TBXF_CHECKCELL)) {
        bool down = (b->state & (TBSTATE_CHECKED | TBSTATE_PRESSED)) || (d->mouseBits != 255 && (d->mouseBits & 1));
        state = d->dropHot ? (b->state & (TBSTATE_CHECKED | TBSTATE_PRESSED) ? 7 : 6) : (down ? 3 : 2);
    }
    SetVisual(b, state);
    InvalidateButton(d, b);
}

// ----- hit test and hot tracking ---------------------------------------------------------------

int HitTest(ToolbarExData* d, POINT pt, bool askDrop) {
    if (d->dirty & 7) ToolbarExLayout(d, 0);
    for (int i = 0; i < d->Count(); ++i) {
        const ToolbarExButton* b = d->buttons[i];
        if ((b->state & TBSTATE_HIDDEN) || (b->style & BTNS_SEP) || !PtInRect(&b->rect, pt)) continue;
        RECT hit = b->rect;
        hit.left += d->insetX / 2;
        hit.top += d->insetY / 2;
        hit.bottom -= d->insetY / 2;
        int right = b->rect.left + b->contentW - d->insetX / 2;
        if (b->contentW && right < hit.right) hit.right = right;
        if (b->rect.right - d->insetX / 2 < hit.right) hit.right = b->rect.right - d->insetX / 2;
        if ((b->internal & TBI_TEXTUNDER) && !(b->internal & TBI_TEXTONLY) && !(b->flags & TBXF_TEXTCLICKS))
            hit.bottom -= d->letterHeight + 1;
        if (!PtInRect(&hit, pt)) return -1;
        if (askDrop && b->DropWidth() && pt.x >= hit.right - b->DropWidth()) return i | TBX_HIT_DROP;
        return i;
    }
    return -1;
}

void TrackMouse(ToolbarExData* d, POINT pt, int keys) {
    int hit = HitTest(d, pt, true);
    if (hit == d->hot && keys == d->mouseBits) return;
    int oldIndex = d->hot >= 0 ? (d->hot & 0xFFFF) : -1;
    int newIndex = hit >= 0 ? (hit & 0xFFFF) : -1;
    if (oldIndex >= 0 && (oldIndex != newIndex || hit != d->hot)) {
        ToolbarExButton* ob = d->At(oldIndex);
        d->hot = -1;
        d->dropPress = 0;
        d->dropHot = 0;
        if (ob) {
            SetVisual(ob, ToolbarExRestingState(ob));
            InvalidateButton(d, ob);
        }
    }
    if (newIndex >= 0) {
        ToolbarExButton* b = d->buttons[newIndex];
        int bits = 0;
        if (!(b->flags & TBXF_CHECKCELL)) bits = (keys & 1) | ((b->flags & TBXF_SPLIT) ? (keys & 2) : 0);
        bool usable = (b->state & TBSTATE_ENABLED) && !(b->state & TBSTATE_INDETERMINATE);
        bool down = (b->state & (TBSTATE_CHECKED | TBSTATE_PRESSED)) != 0;
        d->dropHot = 0;
        d->dropPress = 0;
        int state;
        if (!usable) {
            state = down ? 5 : 4;
        } else if (hit & TBX_HIT_DROP) {
            state = down ? 7 : 6;
            d->dropPress = bits & 1;
            d->dropHot = 1;
        } else {
            state = (down || bits) ? 3 : 2;
        }
        SetVisual(b, state);
        d->hot = hit;
        InvalidateButton(d, b);
    }
    d->mouseBits = BYTE(keys);
}

int KeyBits(WPARAM mk) { return ((mk & MK_LBUTTON) ? 1 : 0) | ((mk & MK_RBUTTON) ? 2 : 0); }

POINT CursorPoint(HWND hwnd) {
    POINT pt = {-1, -1};
    GetCursorPos(&pt);
    ScreenToClient(hwnd, &pt);
    return pt;
}

// A button that may act on a click: visible, enabled and not indeterminate.
bool Clickable(const ToolbarExButton* b) {
    return (b->state & TBSTATE_ENABLED) && !(b->state & (TBSTATE_INDETERMINATE | TBSTATE_HIDDEN));
}

// ----- groups ----------------------------------------------------------------------------------

// The checked member of i's group other than i... or i itself; -1 when none.
int GroupChecked(const ToolbarExData* d, int i) {
    int first = i, last = i;
    while (first > 0 && (d->buttons[first - 1]->style & BTNS_GROUP) && !(d->buttons[first]->style & 0x80)) --first;
    while (last + 1 < d->Count() && (d->buttons[last + 1]->style & BTNS_GROUP) && !(d->buttons[last + 1]->style & 0x80))
        ++last;
    for (int j = first; j <= last; ++j)
        if (d->buttons[j]->state & TBSTATE_CHECKED) return j;
    return -1;
}

// ----- buttons ---------------------------------------------------------------------------------

int InsertButton(ToolbarExData* d, int pos, const BYTE* rec, bool clearFlags) {
    if (pos < 0 || pos > d->Count()) pos = d->Count();
    ToolbarExButton* b = new (std::nothrow) ToolbarExButton;
    if (!b) return -1;
    memcpy(&b->image, rec, 4);
    memcpy(&b->command, rec + 4, 4);
    b->state = rec[8];
    b->style = rec[9];
    memcpy(&b->flags, rec + 10, 2);
    DWORD data, str;
    memcpy(&data, rec + 12, 4);
    memcpy(&str, rec + 16, 4);
    b->data = data;
    b->string = (INT_PTR)(int)str;
    if (clearFlags) b->flags = 0;
    b->internal = TBI_STALE;
    if (d->buttons.size() == d->buttons.capacity()) d->buttons.reserve(d->buttons.capacity() * 3 / 2 + 16);
    d->buttons.insert(d->buttons.begin() + pos, b);
    if (d->hot >= 0 && (d->hot & 0xFFFF) >= pos) ++d->hot;
    if (d->markIndex >= pos) ++d->markIndex;
    if (!(b->state & TBSTATE_HIDDEN) && !(b->style & BTNS_SEP)) SetVisual(b, ToolbarExRestingState(b));
    if (pos > 0 && (d->buttons[pos - 1]->internal & (TBI_STACKED | TBI_STACKFIRST))) {
        for (int j = pos - 1; j >= 0; --j) {
            d->buttons[j]->internal |= TBI_STALE;
            if (!(d->buttons[j]->internal & TBI_STACKED)) break;
        }
    }
    d->dirty |= 1;
    if (d->rows < 2 && pos > 0) InvalidateFrom(d, d->buttons[pos - 1]);
    else InvalidateAll(d);
    return pos;
}

int DeleteButton(ToolbarExData* d, int i) {
    ToolbarExButton* b = d->At(i);
    if (!b) return 0;
    d->buttons.erase(d->buttons.begin() + i);
    ToolbarExFreeCache(b);
    if ((b->flags & TBXF_HOSTED) && b->data && GetParent((HWND)b->data) == d->hwnd) ShowWindow((HWND)b->data, SW_HIDE);
    if (d->hot >= 0) {
        int h = d->hot & 0xFFFF;
        if (h == i) {
            d->hot = -1;
            d->dropHot = 0;
            d->dropPress = 0;
        } else if (h > i) {
            --d->hot;
        }
    }
    if (d->markIndex == i) d->markIndex = -1;
    else if (d->markIndex > i) --d->markIndex;
    delete b;
    d->dirty |= 1;
    if (d->rows < 2 && i > 0) InvalidateFrom(d, d->buttons[i - 1]);
    else InvalidateAll(d);
    return 1;
}

LRESULT AddButtons(ToolbarExData* d, WPARAM wParam, const BYTE* recs, bool clearFlags) {
    int count = LOWORD(wParam), high = HIWORD(wParam), pos = d->Count();
    if (count < 1 || count > 1023 || !recs) return 0;
    if (high) {
        if ((high & 0xFC00) != 0x5000) return 0;
        pos = high & 0x3FF;
        if (pos > d->Count()) pos = d->Count();
    }
    for (int k = 0; k < count; ++k)
        if (InsertButton(d, pos + k, recs + 20 * k, clearFlags) < 0) return 0;
    return 1;
}

// State bit of TB_ENABLEBUTTON .. TB_MARKBUTTON.
LRESULT SetStateBit(ToolbarExData* d, int i, BYTE bit, bool on) {
    ToolbarExButton* b = d->At(i);
    if (!b) return 0;
    LRESULT result = 1;
    if (bit == TBSTATE_CHECKED && on && (b->style & BTNS_GROUP)) {
        int j = GroupChecked(d, i);
        // The checked member stays checked.
        if (j == i) return 0;
        if (j >= 0) {
            d->buttons[j]->state &= ~TBSTATE_CHECKED;
            RedrawButton(d, j);
        }
    }
    BYTE old = b->state;
    b->state = on ? (old | bit) : (old & ~bit);
    if (b->state == old) return result;
    if (bit == TBSTATE_HIDDEN) {
        d->dirty |= 1;
        if (on) {
            if (d->hot >= 0 && (d->hot & 0xFFFF) == i) d->hot = -1;
            if (i > 0) InvalidateFrom(d, d->buttons[i - 1]);
            else InvalidateAll(d);
        } else {
            SetVisual(b, ToolbarExRestingState(b));
            InvalidateFrom(d, i > 0 ? d->buttons[i - 1] : nullptr);
        }
    } else if (bit != TBSTATE_MARKED) {
        RedrawButton(d, i);
    }
    return result;
}

// The style and state change of 0x473 and the bulk forms.
bool ApplyStyleState(ToolbarExData* d, int i, BYTE style, BYTE styleMask, BYTE state, BYTE stateMask) {
    ToolbarExButton* b = d->buttons[i];
    styleMask &= ~1;
    BYTE oldStyle = b->style, oldState = b->state;
    b->style = BYTE((oldStyle & ~styleMask) | (style & styleMask));
    b->state = BYTE((oldState & ~stateMask) | (state & stateMask));
    BYTE ds = oldStyle ^ b->style, dt = oldState ^ b->state;
    if ((ds & 0x58) || (dt & 0x68)) {
        Restyle(d, b);
        if (dt & TBSTATE_HIDDEN) d->dirty |= 1;
        SetVisual(b, ToolbarExRestingState(b));
        return true;
    }
    if (dt & ~0x80) RedrawButton(d, i);
    return false;
}

// ----- strings ---------------------------------------------------------------------------------

template <class C>
std::wstring Widen(const C* s, int n);
template <>
std::wstring Widen<wchar_t>(const wchar_t* s, int n) { return std::wstring(s, n); }
template <>
std::wstring Widen<char>(const char* s, int n) {
    std::wstring w;
    if (n <= 0) return w;
    int need = MultiByteToWideChar(CP_ACP, 0, s, n, nullptr, 0);
    w.resize(need);
    MultiByteToWideChar(CP_ACP, 0, s, n, &w[0], need);
    return w;
}

template <class C>
int AddStrings(ToolbarExData* d, const C* text, unsigned sep) {
    if (!text) return -1;
    int first = (int)d->strings.size();
    bool once = false;
    if (sep == 0xFFFF) {
        sep = (unsigned)(std::make_unsigned_t<C>)text[0];
        if (!sep) return -1;
        ++text;
        once = true;
    } else if (sep == 0xFFFE) {
        sep = 0;
        once = true;
    }
    for (int added = 0; added < 32769; ++added) {
        if (!once && !*text) break;
        int len = 0;
        while (text[len] && (unsigned)(std::make_unsigned_t<C>)text[len] != sep) ++len;
        // The strings before it stay; the call fails all the same.
        if (len > 256) return -1;
        std::wstring w = Widen(text, len);
        if (d->strings.size() == d->strings.capacity()) d->strings.reserve(d->strings.size() + 32);
        d->strings.push_back(w);
        if (once || (sep && !text[len])) break;
        text += len + 1;
    }
    return first;
}

int AddStringResource(ToolbarExData* d, HINSTANCE inst, UINT id) {
    HRSRC res = FindResourceA(inst, MAKEINTRESOURCEA((id >> 4) + 1), (LPCSTR)RT_STRING);
    DWORD size = res ? SizeofResource(inst, res) : 0;
    if (!size) return -1;
    std::wstring buf(size / 2 + 3, L'\0');
    int n = LoadStringW(inst, id, &buf[0], (int)buf.size() - 2);
    if (n <= 0) return -1;
    buf[n] = 0;
    buf[n + 1] = 0;
    return AddStrings<wchar_t>(d, buf.c_str() + 1, buf[0] ? buf[0] : 0xFFFE);
}

int FindString(const ToolbarExData* d, int first, int count, const std::wstring& s) {
    int end = (int)d->strings.size();
    if (count > 0 && first + count < end) end = first + count;
    for (int i = first < 0 ? 0 : first; i < end; ++i)
        if (d->strings[i] == s) return i;
    return -1;
}

// Copies a UTF-16 text into an ANSI buffer of size bytes (0: unknown, trusted), cut to fit
// and terminated; returns the bytes copied.
int CopyAnsi(const std::wstring& s, char* out, int size) {
    std::string a;
    int need = s.empty() ? 0 : WideCharToMultiByte(CP_ACP, 0, s.c_str(), (int)s.size(), nullptr, 0, nullptr, nullptr);
    if (need > 0) {
        a.resize(need);
        WideCharToMultiByte(CP_ACP, 0, s.c_str(), (int)s.size(), &a[0], need, nullptr, nullptr);
    }
    int n = (int)a.size();
    if (size > 0 && n > size - 1) n = size - 1;
    memcpy(out, a.data(), n);
    out[n] = 0;
    return n;
}

int CopyWide(const std::wstring& s, wchar_t* out, int size) {
    int n = (int)s.size();
    if (size > 0 && n > size - 1) n = size - 1;
    memcpy(out, s.c_str(), n * sizeof(wchar_t));
    out[n] = 0;
    return n;
}

LRESULT SetText(ToolbarExData* d, int i, const std::wstring& text) {
    ToolbarExButton* b = d->At(i);
    if (!b) return -1;
    int s = FindString(d, 0, 0, text);
    if (s < 0) {
        if (text.size() > 256) return -1;
        d->strings.push_back(text);
        s = (int)d->strings.size() - 1;
    }
    if (b->string != s) {
        b->string = s;
        Restyle(d, b);
        InvalidateAll(d);
    }
    return s;
}

// ----- bitmaps ---------------------------------------------------------------------------------

// Scans a strip of variable widths up to image `upto` (-1: to its end). The separator colour
// is the top-left pixel; along the top row each pixel of that colour ends an image.
void ScanStrip(ToolbarExBitmap* bm, int upto) {
    if (!(bm->flags & 0x04) || (bm->flags & 0x08) || !bm->dib) return;
    const int w = DibGetWidth(bm->dib);
    COLORREF sep = DibGetPixel(bm->dib, 0, 0);
    if (bm->scanX == 0) bm->scanX = 1;
    while (bm->scanX < w && (upto < 0 || (int)bm->widths.size() <= upto)) {
        int x = bm->scanX;
        int start = x;
        while (x < w && DibGetPixel(bm->dib, x, 0) != sep) ++x;
        if (x > start) {
            bm->starts.push_back(WORD(start));
            bm->widths.push_back(WORD(x - start));
        }
        bm->scanX = WORD(x + 1);
    }
    if (bm->scanX >= w) bm->flags |= 0x08;
    bm->count = WORD(bm->widths.size());
}

void FreeBitmap(ToolbarExBitmap& bm) {
    DibFree(bm.dib);
    bm.dib = nullptr;
    if ((bm.flags & 0x10) && !bm.instance && bm.id) DeleteObject((HBITMAP)bm.id);
}

void RenumberBitmaps(ToolbarExData* d) {
    int first = 0;
    for (ToolbarExBitmap& bm : d->bitmaps) {
        bm.first = WORD(first);
        first += bm.count;
    }
}

// Loads the source of a bitmap record; false when it cannot be read or converted.
bool LoadBitmapSource(ToolbarExBitmap& bm) {
    int stride = 0;
    DibBlock* dib = bm.instance ? DibLoadResourceA(0, bm.instance, MAKEINTRESOURCEA(bm.id), 2, 0, &stride)
                                : DibFromBitmap(0, (HBITMAP)bm.id, &stride);
    if (!dib) return false;
    int bits = dib->biBitCount;
    if (bits != 4 && bits != 8 && bits != 24) {
        DibBlock* c = DibConvert(0, dib, 0, &stride);
        DibFree(dib);
        if (!c) return false;
        dib = c;
    }
    bm.dib = dib;
    bm.stride = stride ? stride : DibGetStride(dib);
    return true;
}

// Image count, width and flags of a freshly loaded record from the caller's request.
bool MeasureBitmap(ToolbarExBitmap& bm, int count, int flagsIn, int widthIn) {
    int w = DibGetWidth(bm.dib);
    bm.height = WORD(DibGetHeight(bm.dib));
    bool strip = false;
    if (flagsIn & 0x02) {
        if (widthIn == 4094) strip = true;
        else if (widthIn <= 0) return false;
        else if ((flagsIn & 0x01) && w % widthIn) strip = true;
        else {
            bm.width = WORD(widthIn);
            bm.count = WORD(w / widthIn);
        }
    } else {
        if (count < 1) return false;
        if ((flagsIn & 0x01) && w % count) strip = true;
        bm.width = WORD(w / count);
        bm.count = WORD(count);
    }
    if (strip) {
        bm.flags |= 0x04;
        bm.width = 4094;
        bm.count = 0;
        bm.scanX = 0;
        bm.starts.clear();
        bm.widths.clear();
    } else {
        if (!bm.width) return false;
        bm.flags |= 0x02 | 0x08;
    }
    return true;
}

LRESULT AddBitmap(ToolbarExData* d, WPARAM wParam, BYTE* rec) {
    if (!rec) return -1;
    HINSTANCE inst;
    UINT_PTR id;
    memcpy(&inst, rec, 4);
    memcpy(&id, rec + 4, 4);
    bool ext = HIWORD(wParam) == 0x1234;
    int flagsIn = 0, widthIn = 0, scale = 256, count = ext ? 0 : (int)wParam;
    if (ext) {
        WORD f, w, s;
        memcpy(&f, rec + 8, 2);
        memcpy(&w, rec + 12, 2);
        memcpy(&s, rec + 14, 2);
        flagsIn = f;
        widthIn = w;
        scale = s ? s : 256;
        count = LOWORD(wParam);
    }
    bool own = ext && (flagsIn & 0x04) && !inst;
    auto fail = [&]() -> LRESULT {
        if (own && id) DeleteObject((HBITMAP)id);
        return -1;
    };
    if (!(flagsIn & 0x02) && count < 1) return fail();
    for (ToolbarExBitmap& bm : d->bitmaps) {
        if (bm.instance == inst && bm.id == id) {
            if (bm.scale != scale) {
                bm.scale = WORD(scale);
                d->dirty = 7;
                ToolbarExMarkAllStale(d);
                InvalidateAll(d);
            }
            return bm.first;
        }
    }
    ToolbarExBitmap bm;
    bm.instance = inst;
    bm.id = id;
    bm.scale = WORD(scale);
    if (own) bm.flags |= 0x10;
    if (!LoadBitmapSource(bm)) return fail();
    if (!MeasureBitmap(bm, count, flagsIn, widthIn)) {
        DibFree(bm.dib);
        return fail();
    }
    if (ext && (flagsIn & 0x08)) ScanStrip(&bm, -1);
    int first = 0;
    for (const ToolbarExBitmap& o : d->bitmaps) first += o.count;
    bm.first = WORD(first);
    if (d->bitmaps.size() == d->bitmaps.capacity()) d->bitmaps.reserve(d->bitmaps.size() + 4);
    d->bitmaps.push_back(bm);
    if (ext) {
        WORD v;
        if (flagsIn & 0x08) memcpy(rec + 10, &(v = bm.count), 2);
        if (flagsIn & 0x10) memcpy(rec + 12, &(v = bm.width), 2);
        if (flagsIn & 0x20) memcpy(rec + 14, &(v = bm.height), 2);
    }
    d->dirty |= 3;
    ToolbarExMarkAllStale(d);
    InvalidateAll(d);
    return first;
}

LRESULT ReplaceBitmap(ToolbarExData* d, const TBREPLACEBITMAP* r) {
    if (!r || r->nButtons < 1) return 0;
    for (const ToolbarExBitmap& bm : d->bitmaps)
        if (bm.instance == r->hInstNew && bm.id == r->nIDNew) return 0;
    for (ToolbarExBitmap& bm : d->bitmaps) {
        if (bm.instance != r->hInstOld || bm.id != r->nIDOld) continue;
        ToolbarExBitmap nb;
        nb.instance = r->hInstNew;
        nb.id = r->nIDNew;
        nb.scale = bm.scale;
        if (!LoadBitmapSource(nb) || !MeasureBitmap(nb, r->nButtons, 0, 0)) {
            DibFree(nb.dib);
            return 0;
        }
        FreeBitmap(bm);
        bm = nb;
        RenumberBitmaps(d);
        d->dirty = 7;
        ToolbarExMarkAllStale(d);
        InvalidateAll(d);
        return 1;
    }
    return 0;
}

// A strip that a caller hands directly (0x483): scanned to its end and freed again. A header
// without its bits holds no images.
LRESULT ScanStripMessage(WPARAM wParam, LPARAM lParam) {
    if (!wParam) return 0;
    ToolbarExBitmap bm;
    DibBlock* dib = nullptr;
    if (wParam == 0xFFFF) {
        dib = DibFromBitmap(0, (HBITMAP)lParam);
    } else if (wParam < 0xFFFF) {
        dib = DibLoadResourceA(0, (HINSTANCE)lParam, MAKEINTRESOURCEA(wParam));
    } else if (lParam) {
        const BITMAPINFOHEADER* h = (const BITMAPINFOHEADER*)wParam;
        if (h->biWidth > 0 && h->biHeight != 0 && (h->biBitCount == 24 || h->biBitCount == 32)) {
            dib = DibCreate(h->biWidth, h->biHeight < 0 ? -h->biHeight : h->biHeight, h->biBitCount);
            if (dib) {
                int rows = DibGetHeight(dib), stride = DibGetStride(dib);
                const BYTE* src = (const BYTE*)lParam;
                for (int y = 0; y < rows; ++y) {
                    int from = h->biHeight < 0 ? rows - 1 - y : y;
                    memcpy(DibGetBits(dib) + (size_t)y * stride, src + (size_t)from * stride, stride);
                }
            }
        }
    }
    if (!dib) return 0;
    bm.dib = dib;
    bm.flags = 0x04;
    ScanStrip(&bm, -1);
    DibFree(dib);
    return bm.count;
}

// ----- overlays --------------------------------------------------------------------------------

void FreeOverlays(ToolbarExData* d) {
    while (d->overlays) {
        ToolbarExOverlay* o = d->overlays;
        d->overlays = o->next;
        delete o;
    }
}

bool RemoveOverlay(ToolbarExData* d, DWORD key) {
    for (ToolbarExOverlay** p = &d->overlays; *p; p = &(*p)->next) {
        ToolbarExOverlay* o = *p;
        bool byTag = (key >> 16) == 0x1222;
        if (byTag ? o->tag == (key & 0xFFFF) : o->key == key) {
            *p = o->next;
            delete o;
            return true;
        }
    }
    return false;
}

LRESULT AddOverlay(ToolbarExData* d, const DWORD* args, std::wstring text) {
    if (!args) return 0;
    ToolbarExOverlay* o = new (std::nothrow) ToolbarExOverlay;
    if (!o) return 0;
    o->key = args[0];
    o->dx = (short)LOWORD(args[1]);
    o->dy = (short)HIWORD(args[1]);
    o->flags = BYTE(args[2]) | 0x80;
    o->tag = WORD(args[2] >> 8);
    if (o->flags & 0x40) o->key = 0x12340000u | (o->key & 0xFFFF);
    if (o->flags & 0x20) RemoveOverlay(d, o->key);
    o->text = std::move(text);
    o->next = d->overlays;
    d->overlays = o;
    InvalidateAll(d);
    return 1;
}

// ----- button info -----------------------------------------------------------------------------

// A text pointer of a button-info record that asks for the text callback, which the control
// does not offer: neither a text nor a buffer.
template <class INFO>
bool TextCallback(const INFO* info) {
    return (info->dwMask & TBIF_TEXT) && !(info->dwMask & 0x08000000) && (INT_PTR)info->pszText == -1;
}

template <class INFO>
LRESULT GetButtonInfo(ToolbarExData* d, WPARAM wParam, INFO* info, bool wide) {
    if (!info || info->cbSize < 32 || TextCallback(info)) return -1;
    int i = (info->dwMask & TBIF_BYINDEX) ? (int)wParam : RefToIndex(d, wParam);
    ToolbarExButton* b = d->At(i);
    if (!b) return -1;
    if (info->dwMask & TBIF_COMMAND) info->idCommand = b->command;
    if (info->dwMask & TBIF_LPARAM) info->lParam = b->data;
    if (info->dwMask & TBIF_IMAGE) info->iImage = b->image;
    if (info->dwMask & TBIF_STATE) info->fsState = b->state;
    if (info->dwMask & TBIF_STYLE) info->fsStyle = b->style;
    if ((info->dwMask & 0x10000000) && info->cbSize >= 52) memcpy((BYTE*)info + 48, &b->flags, 2);
    if (info->dwMask & TBIF_SIZE) {
        if (d->dirty & 7) ToolbarExLayout(d, 0);
        info->cx = WORD(b->rect.right - b->rect.left);
    }
    if (info->dwMask & 0x08000000) {
        info->pszText = (decltype(info->pszText))b->string;
    } else if ((info->dwMask & TBIF_TEXT) && info->pszText && info->cchText >= 1) {
        const std::wstring& s = ToolbarExButtonText(d, b);
        if (wide) CopyWide(s, (wchar_t*)info->pszText, info->cchText);
        else CopyAnsi(s, (char*)info->pszText, info->cchText);
    }
    return i;
}

LRESULT SetFixedWidth(ToolbarExData* d, int i, int width);
LRESULT SetData(ToolbarExData* d, int i, DWORD_PTR data);
LRESULT SetImage(ToolbarExData* d, int i, int image);
LRESULT SetFlags(ToolbarExData* d, int i, WORD value, WORD mask);

template <class INFO>
LRESULT SetButtonInfo(ToolbarExData* d, WPARAM wParam, const INFO* info, bool wide) {
    if (!info || info->cbSize < 32 || TextCallback(info)) return 0;
    int i = (info->dwMask & TBIF_BYINDEX) ? (int)wParam : RefToIndex(d, wParam);
    ToolbarExButton* b = d->At(i);
    if (!b) return 0;
    DWORD m = info->dwMask;
    if (m & TBIF_COMMAND) b->command = info->idCommand;
    if (m & TBIF_LPARAM) SetData(d, i, info->lParam);
    if (m & TBIF_IMAGE) SetImage(d, i, info->iImage);
    if (m & (TBIF_STATE | TBIF_STYLE))
        ApplyStyleState(d, i, info->fsStyle, (m & TBIF_STYLE) ? 0xFF : 0, info->fsState, (m & TBIF_STATE) ? 0xFF : 0);
    if ((m & 0x10000000) && info->cbSize >= 52) {
        WORD v, mask;
        memcpy(&v, (const BYTE*)info + 48, 2);
        memcpy(&mask, (const BYTE*)info + 50, 2);
        SetFlags(d, i, v, mask);
    }
    if (m & TBIF_SIZE) SetFixedWidth(d, i, info->cx);
    if (m & 0x08000000) {
        b->string = (INT_PTR)info->pszText;
        Restyle(d, b);
        InvalidateAll(d);
    } else if ((m & TBIF_TEXT) && info->pszText) {
        SetText(d, i, wide ? std::wstring((const wchar_t*)info->pszText)
                           : Widen((const char*)info->pszText, (int)strlen((const char*)info->pszText)));
    }
    return 1;
}

LRESULT SetFixedWidth(ToolbarExData* d, int i, int width) {
    ToolbarExButton* b = d->At(i);
    if (!b || (b->flags & (TBXF_DATACOLOR | TBXF_HOSTED))) return -1;
    if (width < 0) width = 0;
    if (width > 512) width = 512;
    int old = (b->flags & TBXF_FIXEDWIDTH) ? (int)b->data : 0;
    b->flags = width ? (b->flags | TBXF_FIXEDWIDTH) : (b->flags & ~TBXF_FIXEDWIDTH);
    b->data = width;
    if (old != width) {
        Restyle(d, b);
        InvalidateAll(d);
    }
    return old;
}

LRESULT SetData(ToolbarExData* d, int i, DWORD_PTR data) {
    ToolbarExButton* b = d->At(i);
    if (!b) return 0;
    DWORD_PTR old = b->data;
    b->data = data;
    if (b->flags & TBXF_HOSTED) {
        Restyle(d, b);
        InvalidateAll(d);
    } else if ((b->flags & TBXF_DATACOLOR) && b->image >= 0) {
        b->internal |= TBI_STALE;
        InvalidateButton(d, b);
    }
    return old;
}

LRESULT SetImage(ToolbarExData* d, int i, int image) {
    ToolbarExButton* b = d->At(i);
    if (!b) return 0;
    int old = b->image;
    b->image = image;
    b->internal |= TBI_STALE;
    RECT r1 = {0, 0, 0, 0}, r2 = {0, 0, 0, 0};
    int n1 = -1, n2 = -1;
    bool f1 = ToolbarExFindImage(d, old, &n1, &r1), f2 = ToolbarExFindImage(d, image, &n2, &r2);
    if (f1 != f2 || (r1.right - r1.left) != (r2.right - r2.left) || (r1.bottom - r1.top) != (r2.bottom - r2.top)) {
        Restyle(d, b);
        InvalidateAll(d);
    } else {
        InvalidateButton(d, b);
    }
    return old;
}

LRESULT SetFlags(ToolbarExData* d, int i, WORD value, WORD mask) {
    ToolbarExButton* b = d->At(i);
    if (!b) return -1;
    WORD old = b->flags;
    b->flags = WORD((old & ~mask) | (value & mask));
    if ((old ^ b->flags) & ~TBXF_SPLIT) {
        Restyle(d, b);
        InvalidateAll(d);
    }
    return old;
}

// Bulk change of style (0), state (1) or button flags (2) over a range or a command.
LRESULT Bulk(ToolbarExData* d, int what, WPARAM wParam, LPARAM lParam) {
    WORD value = LOWORD(lParam), mask = HIWORD(lParam);
    bool byCommand = HIWORD(wParam) == 0x1248;
    int first = byCommand ? 0 : LOWORD(wParam), end = byCommand ? d->Count() : HIWORD(wParam);
    if (end > d->Count()) end = d->Count();
    int visited = 0;
    for (int i = first; i < end; ++i) {
        ToolbarExButton* b = d->buttons[i];
        if (byCommand ? (DWORD)b->command != LOWORD(wParam) : (b->style & BTNS_SEP) != 0) continue;
        ++visited;
        if (what == 0) {
            BYTE old = b->style;
            b->style = BYTE((old & ~mask) | (value & mask));
            if ((old ^ b->style) & ~0x84) Restyle(d, b);
        } else if (what == 1) {
            BYTE old = b->state;
            b->state = BYTE((old & ~mask) | (value & mask));
            if ((old ^ b->state) & 0x28) Restyle(d, b);
            if (old != b->state) RedrawButton(d, i);
        } else {
            WORD old = b->flags;
            b->flags = WORD((old & ~mask) | (value & mask));
            if ((old ^ b->flags) & ~TBXF_SPLIT) Restyle(d, b);
        }
    }
    if (d->dirty) InvalidateAll(d);
    return visited;
}

// ----- hosted windows --------------------------------------------------------------------------

int HostIndex(const ToolbarExData* d, HWND w) {
    if (!w) return -1;
    for (int i = 0; i < d->Count(); ++i)
        if ((d->buttons[i]->flags & TBXF_HOSTED) && (HWND)d->buttons[i]->data == w) return i;
    return -1;
}

void CommandTargets(ToolbarExData* d, HWND* first, HWND* second) {
    *first = d->command ? d->command : d->notify;
    *second = d->command2 == (HWND)-1 ? (HWND)SendMessageA(d->hwnd, TBX_ASKCOMMANDWND, 0, 0) : d->command2;
}

// ----- fonts -----------------------------------------------------------------------------------

void MeasureFont(ToolbarExData* d) {
    HFONT f = d->font ? d->font : ToolbarExDefaultFont();
    HDC dc = GetDC(d->hwnd);
    HGDIOBJ old = SelectObject(dc, f);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(d->hwnd, dc);
    d->textHeight = tm.tmHeight;
    d->textAscent = tm.tmAscent + 1;
    d->fixedPitch = (tm.tmPitchAndFamily & TMPF_FIXED_PITCH) ? 0 : -1;
    d->letterHeight = HIWORD(GetTextSizeW(nullptr, L"H", 1, 0x80000020, f));
    d->measuredFont = f;
}

void OpenThemes(ToolbarExData* d) {
    d->theme = OpenTheme(d->hwnd, L"TREEVIEW");
    d->themed = d->theme ? 1 : 0;
}

void CloseThemes(ToolbarExData* d) {
    CloseTheme(d->theme);
    CloseTheme(d->theme2);
    d->theme = d->theme2 = nullptr;
    d->themed = 0;
}

void Notify(ToolbarExData* d, NMHDR* h, UINT code) {
    h->hwndFrom = d->hwnd;
    h->idFrom = (UINT_PTR)GetDlgCtrlID(d->hwnd);
    h->code = code;
    if (d->notify) SendMessageA(d->notify, WM_NOTIFY, h->idFrom, (LPARAM)h);
}

void PostCommand(HWND target, const ToolbarExData* d, int command) {
    if (target) PostMessageA(target, WM_COMMAND, MAKEWPARAM(command & 0xFFFF, 0), (LPARAM)d->hwnd);
}

LRESULT OnCreate(ToolbarExData* d, HWND hwnd, const CREATESTRUCTA* cs) {
    d->enabled = IsWindowEnabled(hwnd) ? 1 : 0;
    d->style = (DWORD)GetWindowLongA(hwnd, GWL_STYLE);
    d->hwnd = hwnd;
    d->notify = cs->hwndParent;
    OpenThemes(d);
    HDC dc = GetDC(hwnd);
    d->screenDepth = BYTE(dc ? GetDeviceCaps(dc, BITSPIXEL) : 24);
    if (dc) ReleaseDC(hwnd, dc);
    d->deep = d->screenDepth > 8;
    d->vertical = (d->style & CCS_VERT) ? 1 : 0;
    SetTimer(hwnd, TBX_TIMER, 1000, nullptr);
    DefaultColors(d);
    MeasureFont(d);
    return 0;
}

void OnDestroy(ToolbarExData* d) {
    for (int i = d->Count() - 1; i >= 0; --i) DeleteButton(d, i);
    for (ToolbarExBitmap& bm : d->bitmaps) FreeBitmap(bm);
    d->bitmaps.clear();
    d->strings.clear();
    CloseThemes(d);
    std::vector<ToolbarExButton*>().swap(d->buttons);
    std::vector<ToolbarExBitmap>().swap(d->bitmaps);
    std::vector<std::wstring>().swap(d->strings);
}

LRESULT Dispatch(ToolbarExData* d, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace

// ----- shared helpers --------------------------------------------------------------------------

HFONT ToolbarExDefaultFont(bool bold) {
    EnsureFontLock();
    EnterCriticalSection(&g_fontLock);
    HFONT& f = g_fonts[bold ? 1 : 0];
    if (!f) {
        LOGFONTA lf = {};
        SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0);
        lf.lfHeight = lf.lfHeight * 3 / 4;
        if (lf.lfHeight >= -11 && lf.lfHeight <= -1) lf.lfHeight = -12;
        if (lf.lfHeight >= 1 && lf.lfHeight <= 11) lf.lfHeight = 12;
        lf.lfWeight = bold ? 700 : 400;
        f = CreateFontIndirectA(&lf);
    }
    HFONT r = f;
    LeaveCriticalSection(&g_fontLock);
    return r;
}

const std::wstring& ToolbarExButtonText(const ToolbarExData* d, const ToolbarExButton* b) {
    static const std::wstring empty;
    return b->string >= 0 && b->string < (INT_PTR)d->strings.size() ? d->strings[b->string] : empty;
}

bool ToolbarExFindImage(ToolbarExData* d, int image, int* bitmapNo, RECT* src) {
    if (image < 0) return false;
    int left = image;
    for (size_t n = 0; n < d->bitmaps.size(); ++n) {
        ToolbarExBitmap& bm = d->bitmaps[n];
        if (bm.flags & 0x04) ScanStrip(&bm, left);
        if (left < bm.count) {
            *bitmapNo = (int)n;
            if (bm.flags & 0x04) SetRect(src, bm.starts[left], 0, bm.starts[left] + bm.widths[left], bm.height);
            else SetRect(src, left * bm.width, 0, (left + 1) * bm.width - ((bm.flags & 0x01) ? 1 : 0), bm.height);
            return true;
        }
        left -= bm.count;
        if (bm.flags & 0x04) RenumberBitmaps(d);
    }
    return false;
}

int ToolbarExRestingState(const ToolbarExButton* b) {
    bool down = (b->state & (TBSTATE_CHECKED | TBSTATE_PRESSED)) != 0;
    if (!(b->state & TBSTATE_ENABLED) || (b->state & TBSTATE_INDETERMINATE)) return down ? 5 : 4;
    return down ? 1 : 0;
}

void ToolbarExInvalidate(ToolbarExData* d, const RECT* r) { InvalidateRect(d->hwnd, r, FALSE); }

void ToolbarExMarkAllStale(ToolbarExData* d) {
    for (ToolbarExButton* b : d->buttons) b->internal |= TBI_STALE;
}

int RegisterToolbarExClass(HINSTANCE instance) {
    if (g_registered) return 1;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ToolbarExWndProc;
    wc.cbWndExtra = sizeof(void*);
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = TOOLBAREX_CLASSA;
    if (!RegisterClassExA(&wc)) {
        if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return 0;
    }
    g_registered = true;
    return 1;
}

LRESULT CALLBACK ToolbarExWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ToolbarExData* d = DataOf(hwnd);
    switch (msg) {
    case WM_NCCREATE: {
        d = new (std::nothrow) ToolbarExData;
        // Without state the creation fails here; the destroy path copes with no state.
        if (!d) return 0;
        InitializeCriticalSection(&d->lock.cs);
        AddSharedRef();
        SetWindowLongPtrA(hwnd, 0, (LONG_PTR)d);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_NCDESTROY:
        if (d) {
            FreeOverlays(d);
            SetWindowLongPtrA(hwnd, 0, 0);
            DeleteCriticalSection(&d->lock.cs);
            delete d;
            ReleaseSharedRef();
        }
        return 0;
    }
    if (!d) {
        if (msg == WM_CREATE) return -1;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return Dispatch(d, hwnd, msg, wParam, lParam);
}

namespace {

LRESULT Dispatch(ToolbarExData* d, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    // ----- reads without the lock -----
    case TB_BUTTONCOUNT: return d->Count();
    case TB_GETSTYLE: return d->style;
    case TB_GETBUTTONSIZE: return MAKELONG(d->buttonW, d->buttonH);
    case TB_GETPADDING: return MAKELONG(d->padX, d->padY);
    case TB_GETEXTENDEDSTYLE: return 0;
    case TB_BUTTONSTRUCTSIZE: d->structSize = (int)wParam; return 0;
    case TBX_STRINGCOUNT: return (LRESULT)d->strings.size();
    case WM_GETFONT: return (LRESULT)d->font;
    case TB_GETTOOLTIPS:
    case TB_SETTOOLTIPS: return 0;
    case TBX_COLORKEY:
        if (!(wParam & 0x80000000u)) return wParam <= 1 ? (LRESULT)d->keys[wParam] : 0;
        break;
    case WM_CREATE: {
        GUARD(d);
        return OnCreate(d, hwnd, (const CREATESTRUCTA*)lParam);
    }
    }

    GUARD(d);
    switch (msg) {
    case WM_DESTROY: OnDestroy(d); return 0;
    case WM_SIZE: {
        int w = LOWORD(lParam), h = HIWORD(lParam);
        if (w > d->clientW) {
            RECT r = {d->clientW, 0, w, h};
            ToolbarExInvalidate(d, &r);
        }
        if (h > d->clientH) {
            RECT r = {0, d->clientH, w, h};
            ToolbarExInvalidate(d, &r);
        }
        d->clientW = w;
        d->clientH = h;
        return 0;
    }
    case WM_PAINT: {
        if (wParam) {
            RECT rc;
            GetClientRect(hwnd, &rc);
            ToolbarExPaint(d, (HDC)wParam, &rc);
        } else {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (dc) ToolbarExPaint(d, dc, &ps.rcPaint);
            EndPaint(hwnd, &ps);
        }
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_SETFOCUS: {
        NMHDR h;
        Notify(d, &h, NM_SETFOCUS);
        return 0;
    }
    case WM_KILLFOCUS:
    case WM_KEYDOWN:
    case WM_KEYUP: return 0;
    case WM_ENABLE: {
        bool on = wParam != 0;
        if (on == (d->enabled != 0)) return 0;
        DWORD style = (d->style & ~WS_DISABLED) | (on ? 0 : WS_DISABLED);
        UNGUARD();
        SetWindowLongA(hwnd, GWL_STYLE, (LONG)style);
        return 0;
    }
    case WM_STYLECHANGED: {
        if (wParam != (WPARAM)GWL_STYLE || !lParam) return 0;
        const STYLESTRUCT* ss = (const STYLESTRUCT*)lParam;
        DWORD changed = d->style ^ ss->styleNew;
        d->style = ss->styleNew;
        if (changed & WS_DISABLED) {
            d->enabled = (ss->styleNew & WS_DISABLED) ? 0 : 1;
            InvalidateAll(d);
        }
        if (changed & CCS_VERT) {
            d->vertical = (ss->styleNew & CCS_VERT) ? 1 : 0;
            d->dirty |= 3;
            InvalidateAll(d);
        }
        if (changed & 0x820) {
            d->dirty = 7;
            ToolbarExMarkAllStale(d);
            InvalidateAll(d);
        }
        return 0;
    }
    case WM_SYSCOLORCHANGE:
        CloseThemes(d);
        OpenThemes(d);
        d->dirty = 7;
        DefaultColors(d);
        ToolbarExMarkAllStale(d);
        InvalidateAll(d);
        return 0;
    case WM_SETFONT:
        d->font = (HFONT)wParam;
        MeasureFont(d);
        d->dirty = 7;
        ToolbarExMarkAllStale(d);
        if (LOWORD(lParam) || IsWindowVisible(hwnd)) InvalidateAll(d);
        return 0;
    case WM_DRAWITEM: {
        if (wParam != 1) return 0;
        HWND parent = GetParent(hwnd);
        UNGUARD();
        return parent ? SendMessageA(parent, WM_DRAWITEM, (WPARAM)GetDlgCtrlID(hwnd), lParam) : 0;
    }
    case WM_COMMAND: {
        int i = HostIndex(d, (HWND)lParam);
        if (i < 0) return 0;
        HWND first, second;
        UNGUARD();
        CommandTargets(d, &first, &second);
        HWND combo = (HWND)lParam;
        for (HWND target : {first, second}) {
            if (!target) continue;
            PostMessageA(target, WM_COMMAND, wParam, lParam);
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                LRESULT sel = SendMessageA(combo, CB_GETCURSEL, 0, 0);
                // Without a selection there is nothing to report.
                if (sel < 0) continue;
                LRESULT data = SendMessageA(combo, CB_GETITEMDATA, (WPARAM)sel, 0);
                WPARAM id = data > 0 ? (WPARAM)data : (WPARAM)(GetDlgCtrlID(combo) + sel);
                PostMessageA(target, WM_COMMAND, id, lParam);
            }
        }
        return 0;
    }
    case WM_NOTIFY: {
        const NMHDR* h = (const NMHDR*)lParam;
        if (!h || HostIndex(d, h->hwndFrom) < 0) return 0;
        HWND first, second;
        CommandTargets(d, &first, &second);
        if (first) SendMessageA(first, WM_NOTIFY, wParam, lParam);
        if (second) SendMessageA(second, WM_NOTIFY, wParam, lParam);
        return 0;
    }
    case WM_TIMER:
        if (wParam == TBX_TIMER) {
            UNGUARD();
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
        // Any other timer runs a tracking pass.
        [[fallthrough]];
    case TBX_TRACK:
        if (msg == TBX_TRACK && wParam == TBX_TIMER) {
            UNGUARD();
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
        if (d->hot >= 0) {
            int keys = ((GetAsyncKeyState(VK_LBUTTON) & 0x8000) ? 1 : 0) | ((GetAsyncKeyState(VK_RBUTTON) & 0x8000) ? 2 : 0);
            TrackMouse(d, CursorPoint(hwnd), keys);
        }
        return 0;
    case WM_MOUSEMOVE: {
        POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        TrackMouse(d, pt, KeyBits(wParam));
        if (d->hot >= 0) {
            TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, hwnd, 0};
            TrackMouseEvent(&tme);
        }
        return 0;
    }
    case WM_MOUSELEAVE:
        TrackMouse(d, CursorPoint(hwnd), 0);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        TrackMouse(d, pt, KeyBits(wParam));
        ToolbarExButton* b = d->hot >= 0 ? d->At(d->hot & 0xFFFF) : nullptr;
        if (b && d->dropHot && (b->flags & TBXF_SPLIT) && Clickable(b)) {
            NMTOOLBARA nm = {};
            nm.iItem = d->hot & 0xFFFF;
            memcpy(&nm.tbButton, &b->image, 4);
            nm.tbButton.idCommand = b->command;
            nm.tbButton.fsState = b->state;
            nm.tbButton.fsStyle = b->style;
            memcpy(nm.tbButton.bReserved, &b->flags, 2);
            nm.tbButton.dwData = b->data;
            nm.tbButton.iString = b->string;
            nm.hdr.hwndFrom = hwnd;
            nm.hdr.idFrom = (UINT_PTR)GetDlgCtrlID(hwnd);
            nm.hdr.code = TBN_DROPDOWN;
            HWND target = d->notify;
            UNGUARD();
            if (target) SendMessageA(target, WM_NOTIFY, nm.hdr.idFrom, (LPARAM)&nm);
            REGUARD();
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        int i = d->hot >= 0 && !(d->hot & TBX_HIT_DROP) ? d->hot : -1;
        ToolbarExButton* b = d->At(i);
        if (!b || (b->flags & TBXF_HOSTED)) {
            TrackMouse(d, pt, KeyBits(wParam));
            return 0;
        }
        // Unusable buttons neither toggle nor post.
        bool act = Clickable(b);
        if (act && (b->style & BTNS_CHECK)) {
            if (b->style & BTNS_GROUP) {
                int j = GroupChecked(d, i);
                if (j >= 0 && j != i) {
                    d->buttons[j]->state &= ~TBSTATE_CHECKED;
                    RedrawButton(d, j);
                }
                b->state |= TBSTATE_CHECKED;
            } else {
                b->state ^= TBSTATE_CHECKED;
            }
            d->mouseBits = 255;
        }
        TrackMouse(d, pt, KeyBits(wParam));
        HWND target = d->notify;
        int cmd = b->command;
        UNGUARD();
        if (act) PostCommand(target, d, cmd);
        return 0;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: {
        POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        TrackMouse(d, pt, KeyBits(wParam));
        UNGUARD();
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_RBUTTONUP: {
        POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        TrackMouse(d, pt, KeyBits(wParam));
        if (d->hot < 0) {
            UNGUARD();
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
        ToolbarExButton* b = (d->hot & TBX_HIT_DROP) ? nullptr : d->At(d->hot);
        if (b && (b->flags & TBXF_SPLIT) && Clickable(b)) {
            HWND target = d->notify;
            int cmd = b->command + 1;
            UNGUARD();
            PostCommand(target, d, cmd);
        }
        return 0;
    }

    // ----- the common toolbar protocol -----
    case TB_ENABLEBUTTON: return SetStateBit(d, ToolbarExCommandToIndex(d, (DWORD)wParam), TBSTATE_ENABLED, LOWORD(lParam) != 0);
    case TB_CHECKBUTTON: return SetStateBit(d, ToolbarExCommandToIndex(d, (DWORD)wParam), TBSTATE_CHECKED, LOWORD(lParam) != 0);
    case TB_PRESSBUTTON: return SetStateBit(d, ToolbarExCommandToIndex(d, (DWORD)wParam), TBSTATE_PRESSED, LOWORD(lParam) != 0);
    case TB_HIDEBUTTON: return SetStateBit(d, ToolbarExCommandToIndex(d, (DWORD)wParam), TBSTATE_HIDDEN, LOWORD(lParam) != 0);
    case TB_INDETERMINATE:
        return SetStateBit(d, ToolbarExCommandToIndex(d, (DWORD)wParam), TBSTATE_INDETERMINATE, LOWORD(lParam) != 0);
    case TB_MARKBUTTON: return SetStateBit(d, ToolbarExCommandToIndex(d, (DWORD)wParam), TBSTATE_MARKED, LOWORD(lParam) != 0);
    case TB_ISBUTTONENABLED:
    case TB_ISBUTTONCHECKED:
    case TB_ISBUTTONPRESSED:
    case TB_ISBUTTONHIDDEN:
    case TB_ISBUTTONINDETERMINATE:
    case TB_ISBUTTONHIGHLIGHTED: {
        static const BYTE bits[] = {TBSTATE_ENABLED, TBSTATE_CHECKED, TBSTATE_PRESSED,
                                    TBSTATE_HIDDEN,  TBSTATE_INDETERMINATE, TBSTATE_MARKED};
        ToolbarExButton* b = d->At(ToolbarExCommandToIndex(d, (DWORD)wParam));
        return b ? ((b->state & bits[msg - TB_ISBUTTONENABLED]) ? 1 : 0) : -1;
    }
    case TB_GETSTATE: {
        ToolbarExButton* b = d->At(ToolbarExCommandToIndex(d, (DWORD)wParam));
        return b ? b->state : -1;
    }
    case TB_ADDBITMAP: return AddBitmap(d, wParam, (BYTE*)lParam);
    case TB_ADDBUTTONSA:
    case TB_ADDBUTTONSW: return AddButtons(d, wParam, (const BYTE*)lParam, true);
    case TBX_ADDBUTTONSFLAGS: return AddButtons(d, wParam, (const BYTE*)lParam, false);
    case TB_INSERTBUTTONA:
    case TB_INSERTBUTTONW:
    case TBX_INSERTBUTTONNOFLAGS:
        if (!lParam) return 0;
        return InsertButton(d, (int)wParam, (const BYTE*)lParam, msg == TBX_INSERTBUTTONNOFLAGS) >= 0;
    case TB_DELETEBUTTON: return DeleteButton(d, RefToIndex(d, wParam));
    case TB_GETBUTTON: {
        ToolbarExButton* b = d->At(RefToIndex(d, wParam));
        if (!b || !lParam) return 0;
        BYTE rec[20];
        memcpy(rec, &b->image, 4);
        memcpy(rec + 4, &b->command, 4);
        rec[8] = b->state;
        rec[9] = b->style;
        memcpy(rec + 10, &b->flags, 2);
        DWORD data = (DWORD)b->data, str = (DWORD)b->string;
        memcpy(rec + 12, &data, 4);
        memcpy(rec + 16, &str, 4);
        int n = d->structSize < 0 ? 0 : (d->structSize > 20 ? 20 : d->structSize);
        memcpy((void*)lParam, rec, n);
        return 1;
    }
    case TB_COMMANDTOINDEX: return ToolbarExCommandToIndex(d, (DWORD)wParam);
    case TB_ADDSTRINGA:
    case TB_ADDSTRINGW: {
        if (lParam && !IS_INTRESOURCE(lParam)) {
            return msg == TB_ADDSTRINGW ? AddStrings<wchar_t>(d, (const wchar_t*)lParam, (unsigned)wParam)
                                        : AddStrings<char>(d, (const char*)lParam, (unsigned)wParam);
        }
        return lParam ? AddStringResource(d, (HINSTANCE)wParam, (UINT)lParam) : -1;
    }
    case TB_GETITEMRECT:
    case TB_GETRECT: {
        int i = msg == TB_GETRECT ? ToolbarExCommandToIndex(d, (DWORD)wParam) : RefToIndex(d, wParam);
        ToolbarExButton* b = d->At(i);
        if (!b || !lParam) return 0;
        if (d->dirty & 7) ToolbarExLayout(d, 0);
        *(RECT*)lParam = b->rect;
        return 1;
    }
    case TB_SETBUTTONSIZE: {
        int cx = (short)LOWORD(lParam), cy = (short)HIWORD(lParam);
        if (cx < 0 || cy < 0) return 0;
        if (!cx) cx = 24;
        if (!cy) cy = 24;
        int w = cx > d->buttonW + d->padX ? cx : d->buttonW + d->padX;
        int h = cy > d->buttonH + d->padY ? cy : d->buttonH + d->padY;
        if (w != d->buttonW || h != d->buttonH) {
            d->buttonW = w;
            d->buttonH = h;
            d->dirty = 7;
            InvalidateAll(d);
        }
        return 1;
    }
    case TB_SETBITMAPSIZE: {
        int cx = LOWORD(lParam), cy = HIWORD(lParam);
        d->bitmapW = cx < 2 ? 2 : cx;
        d->bitmapH = cy < 2 ? 2 : cy;
        d->dirty |= 3;
        InvalidateAll(d);
        return 1;
    }
    case TB_SETPARENT: {
        int slot = HIWORD(lParam) == 0x1234 ? LOWORD(lParam) : (lParam ? 3 : 0);
        if (slot > 2) return 0;
        HWND* p = slot == 0 ? &d->notify : slot == 1 ? &d->command : &d->command2;
        HWND old = *p;
        *p = (HWND)wParam;
        return (LRESULT)old;
    }
    case TB_CHANGEBITMAP: {
        ToolbarExButton* b = d->At(ToolbarExCommandToIndex(d, (DWORD)wParam));
        if (!b) return 0;
        b->image = (int)lParam;
        // Only this button is measured again; marks already set for the others stay.
        b->internal |= TBI_STALE;
        b->internal &= ~TBI_MEASURED;
        d->dirty |= 1;
        InvalidateFrom(d, b);
        return 1;
    }
    case TB_GETBITMAP: {
        ToolbarExButton* b = d->At(ToolbarExCommandToIndex(d, (DWORD)wParam));
        return b ? b->image : 0;
    }
    case TB_GETBUTTONTEXTA:
    case TB_GETBUTTONTEXTW: {
        ToolbarExButton* b = d->At(ToolbarExCommandToIndex(d, (DWORD)wParam));
        if (!b || !lParam) return -1;
        const std::wstring& s = ToolbarExButtonText(d, b);
        return msg == TB_GETBUTTONTEXTW ? CopyWide(s, (wchar_t*)lParam, 0) : CopyAnsi(s, (char*)lParam, 0);
    }
    case TB_REPLACEBITMAP: return ReplaceBitmap(d, (const TBREPLACEBITMAP*)lParam);
    case TB_SETINDENT:
        if ((int)wParam != d->indent) {
            d->indent = (int)wParam;
            d->dirty |= 1;
            InvalidateAll(d);
        }
        return 1;
    case TB_SETBUTTONWIDTH: {
        int lo = (short)LOWORD(lParam), hi = (short)HIWORD(lParam);
        if (lo < 0) lo = -1;
        if (hi < 0) hi = -1;
        if (lo != d->minWidth || hi != d->maxWidth) {
            d->minWidth = lo;
            d->maxWidth = hi;
            d->dirty = 7;
            InvalidateAll(d);
        }
        return 1;
    }
    case TB_GETBUTTONINFOW: return GetButtonInfo(d, wParam, (TBBUTTONINFOW*)lParam, true);
    case TB_GETBUTTONINFOA: return GetButtonInfo(d, wParam, (TBBUTTONINFOA*)lParam, false);
    case TB_SETBUTTONINFOW: return SetButtonInfo(d, wParam, (const TBBUTTONINFOW*)lParam, true);
    case TB_SETBUTTONINFOA: return SetButtonInfo(d, wParam, (const TBBUTTONINFOA*)lParam, false);
    case TB_HITTEST: {
        if (!lParam) return -1;
        return HitTest(d, *(const POINT*)lParam, wParam == TBX_HIT_ASKDROP);
    }
    case TB_SETINSERTMARK: {
        const TBINSERTMARK* m = (const TBINSERTMARK*)lParam;
        int i = m ? RefToIndex(d, (WPARAM)(DWORD)m->iButton) : -1;
        ToolbarExButton* b = d->At(i);
        if (d->markIndex >= 0) InvalidateRect(hwnd, &d->markRect, FALSE);
        if (!b || (b->state & TBSTATE_HIDDEN)) {
            d->markIndex = -1;
            return 0;
        }
        d->markIndex = i;
        d->markFlags = (int)(m->dwFlags & 1);
        if (d->dirty & 7) ToolbarExLayout(d, 0);
        ToolbarExPlaceMark(d);
        InvalidateRect(hwnd, &d->markRect, FALSE);
        return 1;
    }
    case TB_INSERTMARKHITTEST: {
        TBINSERTMARK* m = (TBINSERTMARK*)lParam;
        if (!m) return 0;
        POINT pt = {m->iButton, (LONG)m->dwFlags};
        if (d->dirty & 7) ToolbarExLayout(d, 0);
        m->iButton = -1;
        m->dwFlags = 2;
        for (int i = 0; i < d->Count(); ++i) {
            const ToolbarExButton* b = d->buttons[i];
            if ((b->state & TBSTATE_HIDDEN) || !PtInRect(&b->rect, pt)) continue;
            m->iButton = i;
            m->dwFlags = d->horizontal ? (pt.x >= (b->rect.left + b->rect.right) / 2)
                                       : (pt.y >= (b->rect.top + b->rect.bottom) / 2);
            break;
        }
        return 1;
    }
    case TB_SETPADDING: {
        int x = LOWORD(lParam), y = HIWORD(lParam);
        if (x < 2) x = 2;
        if (y < 2) y = 2;
        if (x != d->padX || y != d->padY) {
            d->padX = x;
            d->padY = y;
            d->dirty = 7;
            InvalidateAll(d);
        }
        return MAKELONG(d->padX, d->padY);
    }
    case TB_GETSTRINGW:
    case TB_GETSTRINGA: {
        int size = LOWORD(wParam), i = HIWORD(wParam);
        if (i >= (int)d->strings.size() || !lParam || size < 1) return -1;
        return msg == TB_GETSTRINGW ? CopyWide(d->strings[i], (wchar_t*)lParam, size)
                                    : CopyAnsi(d->strings[i], (char*)lParam, size);
    }
    case TB_SETLISTGAP: {
        int x = (int)wParam, y = HIWORD(lParam) == 0x1248 ? (short)LOWORD(lParam) : d->insetY;
        if (x < 0) x = 0;
        if (y < 0) y = 0;
        if (x != d->insetX || y != d->insetY) {
            d->insetX = x;
            d->insetY = y;
            d->dirty = 7;
            InvalidateAll(d);
        }
        return 0;
    }

    // ----- private messages -----
    case TBX_REMOVEOVERLAY:
        if (!RemoveOverlay(d, (DWORD)wParam)) return 0;
        InvalidateAll(d);
        return 1;
    case TBX_ADDOVERLAYW:
        return AddOverlay(d, (const DWORD*)wParam, lParam ? std::wstring((const wchar_t*)lParam) : std::wstring());
    case TBX_ADDOVERLAYA:
        return AddOverlay(d, (const DWORD*)wParam,
                          lParam ? Widen((const char*)lParam, (int)strlen((const char*)lParam)) : std::wstring());
    case TBX_SETDIRTY:
        d->dirty |= BYTE(wParam);
        if (LOWORD(lParam)) InvalidateAll(d);
        return 1;
    case TBX_SETFIXEDWIDTH: return SetFixedWidth(d, RefToIndex(d, wParam), (int)lParam);
    case TBX_FINDHOSTED: return HostIndex(d, (HWND)lParam);
    case TBX_SETTEXTW:
    case TBX_SETTEXTA: {
        if (!d->At((int)wParam)) return -1;
        std::wstring s = !lParam ? std::wstring()
                         : msg == TBX_SETTEXTW ? std::wstring((const wchar_t*)lParam)
                                               : Widen((const char*)lParam, (int)strlen((const char*)lParam));
        return SetText(d, (int)wParam, s);
    }
    case TBX_SETSTYLESTATE:
    case TBX_GETSTYLESTATE: {
        ToolbarExButton* b = d->At(RefToIndex(d, wParam));
        if (!b) return 0;
        LRESULT old = (LRESULT)b->state << 16 | b->style;
        if (msg == TBX_SETSTYLESTATE) {
            DWORD v = (DWORD)lParam;
            if ((v >> 16) == 0x73C3) v = (v & 0xFFFF) << 16;
            ApplyStyleState(d, RefToIndex(d, wParam), BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24));
            if (d->dirty) InvalidateAll(d);
        }
        return old;
    }
    case TBX_SETCOMMAND:
    case TBX_GETCOMMAND: {
        ToolbarExButton* b = d->At(RefToIndex(d, wParam));
        if (!b) return 0;
        int old = b->command;
        if (msg == TBX_SETCOMMAND) b->command = (int)lParam;
        return old;
    }
    case TBX_SETIMAGE: return SetImage(d, RefToIndex(d, wParam), (int)lParam);
    case TBX_GETIMAGE: {
        ToolbarExButton* b = d->At(RefToIndex(d, wParam));
        return b ? b->image : 0;
    }
    case TBX_SETSTRINGINDEX:
    case TBX_GETSTRINGINDEX: {
        ToolbarExButton* b = d->At(RefToIndex(d, wParam));
        if (!b) return 0;
        INT_PTR old = b->string;
        if (msg == TBX_SETSTRINGINDEX) {
            b->string = lParam;
            Restyle(d, b);
            InvalidateAll(d);
        }
        return old;
    }
    case TBX_DELETESTRINGS: {
        int first = (int)wParam, count = (int)lParam, n = (int)d->strings.size();
        if (first < 0 || first >= n || count <= 0) return 0;
        if (count > n - first) count = n - first;
        d->strings.erase(d->strings.begin() + first, d->strings.begin() + first + count);
        for (ToolbarExButton* b : d->buttons) {
            if (b->string >= first + count) b->string -= count;
            else if (b->string >= first) b->string = 0x7FFFFFFF;  // gone: reads as no text
            else continue;
            Restyle(d, b);
        }
        InvalidateAll(d);
        return count;
    }
    case TBX_FINDSTRINGW:
    case TBX_FINDSTRINGA: {
        if (!lParam) return -1;
        std::wstring s;
        if (msg == TBX_FINDSTRINGW) {
            s = (const wchar_t*)lParam;
        } else {
            int n = (int)strnlen((const char*)lParam, 255);
            if (n > 254) return -1;
            s = Widen((const char*)lParam, n);
        }
        return FindString(d, LOWORD(wParam), HIWORD(wParam), s);
    }
    case TBX_COUNTFLAGS: {
        int first = LOWORD(wParam), end = HIWORD(wParam), n = 0;
        WORD value = LOWORD(lParam), mask = HIWORD(lParam);
        if (end > d->Count()) end = d->Count();
        for (int i = first; i < end; ++i) {
            const ToolbarExButton* b = d->buttons[i];
            if (mask ? (b->flags & mask) == (value & mask) : b->command == 0) ++n;
        }
        return n;
    }
    case TBX_BULKSTYLE:
    case TBX_BULKSTATE:
    case TBX_BULKFLAGS: return Bulk(d, (int)(msg - TBX_BULKSTYLE), wParam, lParam);
    case TBX_SCANSTRIP: {
        UNGUARD();
        return ScanStripMessage(wParam, lParam);
    }
    case TBX_GETBITMAPS: {
        int first = LOWORD(wParam), count = HIWORD(wParam), filled = 0;
        if (first >= (int)d->bitmaps.size() || !lParam) return 0;
        DWORD* out = (DWORD*)lParam;
        for (int n = first; n < (int)d->bitmaps.size() && filled < count; ++n, ++filled) {
            ToolbarExBitmap& bm = d->bitmaps[n];
            if (bm.flags & 0x04) {
                ScanStrip(&bm, -1);
                RenumberBitmaps(d);
            }
            DWORD rec[6] = {(DWORD)(UINT_PTR)bm.instance, (DWORD)bm.id, bm.first, bm.count,
                            (DWORD)((bm.flags & 0x04) ? 0 : bm.width), bm.height};
            memcpy(out + 6 * filled, rec, sizeof rec);
        }
        return filled;
    }
    case TBX_GETCOMMANDS: {
        int n = (int)wParam < d->Count() ? (int)wParam : d->Count();
        if (!lParam || n < 0) return 0;
        for (int i = 0; i < n; ++i) ((DWORD*)lParam)[i] = (DWORD)d->buttons[i]->command;
        return n;
    }
    case TBX_REMOVEBITMAPS: {
        int n = (int)d->bitmaps.size();
        for (ToolbarExBitmap& bm : d->bitmaps) FreeBitmap(bm);
        d->bitmaps.clear();
        d->dirty = 7;
        ToolbarExMarkAllStale(d);
        InvalidateAll(d);
        return n;
    }
    case TBX_DELETERANGE: {
        int first = (int)wParam, end = (int)lParam < d->Count() ? (int)lParam : d->Count(), n = 0;
        for (int i = end - 1; i >= first && i >= 0; --i) n += DeleteButton(d, i);
        return n;
    }
    case TBX_ASKCOMMANDWND: return 0;
    case TBX_GETBITMAPSIZE: return MAKELONG(d->bitmapW, d->bitmapH);
    case TBX_INDEXTOCOMMAND: {
        ToolbarExButton* b = d->At((int)wParam);
        return b ? b->command : -1;
    }
    case TBX_GETFLAGS: {
        ToolbarExButton* b = d->At(RefToIndex(d, wParam));
        return b ? b->flags : -1;
    }
    case TBX_SETFLAGS: return SetFlags(d, RefToIndex(d, wParam), LOWORD(lParam), HIWORD(lParam));
    case TBX_GETDATA: {
        ToolbarExButton* b = d->At(RefToIndex(d, wParam));
        return b ? (LRESULT)b->data : 0;
    }
    case TBX_SETDATA: return SetData(d, RefToIndex(d, wParam), (DWORD_PTR)lParam);
    case TBX_SCALE: {
        int v = (int)lParam;
        if (v == 0) v = 256;
        if ((int)wParam == -1) {
            int old = d->scale;
            if (v != -1 && v != d->scale) {
                d->scale = v;
                d->dirty = 15;
                ToolbarExMarkAllStale(d);
                InvalidateAll(d);
            }
            return old;
        }
        if (wParam >= d->bitmaps.size()) return -1;
        ToolbarExBitmap& bm = d->bitmaps[wParam];
        int old = bm.scale;
        if (v != -1 && v != bm.scale) {
            bm.scale = WORD(v);
            d->dirty = 7;
            ToolbarExMarkAllStale(d);
            InvalidateAll(d);
        }
        return old;
    }
    case TBX_GETTOTALSIZE:
        if (d->dirty & 7) ToolbarExLayout(d, 0);
        return MAKELONG(d->totalW, d->totalH);
    case TBX_SIZEFORLENGTH: return ToolbarExSizeForLength(d, (int)wParam, (int)lParam);
    case TBX_COLORKEY: {
        int i = (int)(wParam & 0x7FFFFFFF);
        if (i > 1) return 0;
        COLORREF old = d->keys[i];
        if ((COLORREF)lParam != old) {
            d->keys[i] = (COLORREF)lParam;
            if (d->Count()) {
                d->dirty = 7;
                ToolbarExMarkAllStale(d);
                InvalidateAll(d);
            }
        }
        return old;
    }
    case TBX_COLOR: {
        if (wParam > 8) return -1;
        COLORREF old = d->colors[wParam];
        d->colorSet[wParam] = (LONG)lParam != -1;
        if ((LONG)lParam != -1) d->colors[wParam] = (COLORREF)lParam;
        DefaultColors(d);
        if (old != d->colors[wParam] || wParam >= 6) {
            ToolbarExMarkAllStale(d);
            InvalidateAll(d);
        }
        return old;
    }
    }
    UNGUARD();
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace
